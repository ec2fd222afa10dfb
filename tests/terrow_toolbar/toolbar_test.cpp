// Buttons over pictures made here: hit tests with masks, presses and their frames 40 ms apart, hover,
// groups and the worker that takes every press; then the module's buttons from the generated pack.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <brondel/brv1db.h>
#include <brondel/brpixmap.h>

#include "pannix/ffpack.h"
#include "pannix/pxpix.h"
#include "seqload.h"
#include "terrow/trdib.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trtoolbar.h"
#include "vokplat/clock.h"
#include "win32/winuser.h"

namespace {

struct Shown {
    const TrButton *button;
    int32_t frame;
    uint64_t ms;
    int32_t fromBuffer;
};

std::mutex g_lock;
std::vector<Shown> g_shown;

void record(const TrButton *b, int32_t frame, int32_t, int32_t, int32_t, int32_t, int32_t fromBuffer)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_shown.push_back({b, frame, PlatClockNow() / 1000, fromBuffer});
}

std::vector<Shown> shown()
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_shown;
}

std::vector<int32_t> frames_of(const TrButton *b)
{
    std::vector<int32_t> out;
    for (const Shown &s : shown())
        if (s.button == b)
            out.push_back(s.frame);
    return out;
}

// A frame filled with `value`, 16 bits.
br_pixelmap *frame_pic(int w, int h, uint16_t value)
{
    br_pixelmap *p = PxAllocPix(BR_PMT_RGB_565, w, h, nullptr, 0);
    for (int y = 0; y < h; y++) {
        auto *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(p->pixels) + y * p->row_bytes);
        for (int x = 0; x < w; x++)
            row[x] = value;
    }
    return p;
}

// An 8-bit mask, set but for its top-left pixel; its rows are longer than its width (padding left 0).
br_pixelmap *mask_pic(int w, int h)
{
    br_pixelmap *m = PxAllocPix(BR_PMT_INDEX_8, w + 2, h, nullptr, 0);
    auto *bytes = static_cast<uint8_t *>(m->pixels);
    std::memset(bytes, 0, size_t(m->row_bytes) * h);
    m->width = uint16_t(w);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            bytes[y * m->row_bytes + x] = (x == 0 && y == 0) ? 0 : 1;
    return m;
}

struct Counts {
    int before = 0, after = 0;
} g_counts;

class Toolbar : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlatSetVirtualClock(TRUE);
        g_shown.clear();
        g_counts = Counts{};
        TrToolbarSetPresent(record);
    }
    void TearDown() override
    {
        TrToolbarWorkerStop();
        TrButtonFreeAll();
        TrToolbarBufferFree();
        TrToolbarSetPresent(nullptr);
    }
    // A button of `n` frames (frame i filled with i + 1) of 6 x 5 pixels with per-frame masks.
    TrButton *make(int32_t kind, int n, int32_t x = 10, int32_t y = 20, bool masks = true)
    {
        auto **f = static_cast<br_pixelmap **>(std::calloc(size_t(n), sizeof(br_pixelmap *)));
        auto **m = masks ? static_cast<br_pixelmap **>(std::calloc(size_t(n), sizeof(br_pixelmap *))) : nullptr;
        for (int i = 0; i < n; i++) {
            f[i] = frame_pic(6, 5, uint16_t(i + 1));
            if (m != nullptr)
                m[i] = mask_pic(6, 5);
        }
        TrButton *b = TrButtonNewFrom(kind, [](TrButton *) { g_counts.after++; }, x, y, f, n, m, masks ? n : 0);
        TrButtonBefore(b, [](TrButton *) { g_counts.before++; });
        return b;
    }
};

TEST_F(Toolbar, DisabledPressRunsNothing)
{
    TrButton *b = make(TR_BUTTON_TOGGLE, 4);
    TrButtonEnable(b, 0);
    TrButtonPress(b, nullptr);
    EXPECT_EQ(g_counts.before + g_counts.after, 0);
    EXPECT_EQ(b->state, 0);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(TrButtonEnabledAt(12, 22), nullptr);
    EXPECT_EQ(TrButtonAt(12, 22), b);
}

TEST_F(Toolbar, PushOfFiveFramesShowsOneToFourThenRestFortyMsApart)
{
    TrButton *b = make(TR_BUTTON_PUSH, 5);
    TrButtonPress(b, nullptr);
    const std::vector<Shown> s = shown();
    ASSERT_EQ(frames_of(b), (std::vector<int32_t>{1, 2, 3, 4, 0}));
    for (size_t i = 1; i < s.size(); i++)
        EXPECT_EQ(s[i].ms - s[i - 1].ms, 40u) << i;
    EXPECT_EQ(g_counts.before, 1);
    EXPECT_EQ(g_counts.after, 1);
    EXPECT_EQ(TrButtonCurrentFrame(b), -1);

    // Thirteen frames or more: the push stops at frame 12.
    g_shown.clear();
    TrButton *big = make(TR_BUTTON_PUSH, 15);
    TrButtonPress(big, nullptr);
    EXPECT_EQ(frames_of(big), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}));
}

TEST_F(Toolbar, TogglePressedTwiceAnimatesBack)
{
    TrButton *b = make(TR_BUTTON_TOGGLE, 5);
    TrButtonPress(b, nullptr);
    EXPECT_EQ(b->state, 1);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{1, 2, 3, 4}));
    g_shown.clear();
    TrButtonPress(b, nullptr);
    EXPECT_EQ(b->state, 0);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{0}));
    EXPECT_EQ(g_counts.after, 2);
}

TEST_F(Toolbar, HitTestsWithMasksAndRectangles)
{
    TrButton *b = make(TR_BUTTON_PUSH, 3, 10, 20);
    EXPECT_EQ(TrButtonAt(10, 20), b);  // no mask test: the rectangle
    EXPECT_EQ(TrButtonAt(16, 20), nullptr);
    EXPECT_EQ(TrButtonAt(15, 24), b);
    TrButtonMaskTest(b, 1);
    EXPECT_EQ(TrButtonAt(10, 20), nullptr) << "a zero mask pixel misses";
    EXPECT_EQ(TrButtonAt(11, 20), b);
    EXPECT_EQ(TrButtonAt(10, 21), b) << "rows are read at their padded width";
    TrButtonHitRect(b, 0, 0, 3, 3);
    EXPECT_EQ(TrButtonAt(11, 21), nullptr);
    EXPECT_EQ(TrButtonAt(1, 1), nullptr) << "inside the hit rectangle, outside the mask";
    TrButtonHide(b);
    TrButtonHitRect(b, 10, 20, 6, 5);
    EXPECT_EQ(TrButtonAt(11, 21), nullptr);
    // The newest of two overlapping buttons is found first.
    TrButtonShow(b);
    TrButton *top = make(TR_BUTTON_PUSH, 1, 10, 20);
    EXPECT_EQ(TrButtonAt(12, 22), top);
}

TEST_F(Toolbar, HoverShowsTheHoverFrameMirroredInStateOne)
{
    TrButton *b = make(TR_BUTTON_TOGGLE, 13);
    b->hoverFrame = 4;
    br_pixelmap *picture = frame_pic(64, 64, 0);
    TrButtonHover(12, 22, picture);
    EXPECT_EQ(TrButtonHovered(), b);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{4}));
    EXPECT_EQ(static_cast<uint16_t *>(picture->pixels)[22 * picture->row_bytes / 2 + 12], 5) << "frame 4 drawn";
    TrButtonHover(13, 22, picture);  // still over it: nothing drawn
    EXPECT_EQ(frames_of(b).size(), 1u);
    TrButtonHover(40, 40, picture);  // left: its rest frame
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{4, 0}));
    TrButtonSetState(b, 1);
    g_shown.clear();
    TrButtonHover(12, 22, picture);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{13 - 4 - 1}));
    TrButtonHover(40, 40, picture);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{8, 12}));
    PxFreePix(picture);
}

TEST_F(Toolbar, ReorderNeedsThirteenFrames)
{
    TrButton *small = make(TR_BUTTON_TOGGLE, 5);
    br_pixelmap *first = small->frames[0];
    TrButtonReorder(small, TrToolFrameOrder, 13);
    EXPECT_EQ(small->frames[0], first) << "a short sequence keeps its order";
    TrButton *tool = make(TR_BUTTON_TOGGLE, 13);
    std::vector<br_pixelmap *> old(tool->frames, tool->frames + 13);
    TrButtonReorder(tool, TrToolFrameOrder, 13);
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(tool->frames[i], old[TrToolFrameOrder[i]]) << i;
}

TEST_F(Toolbar, GroupOpensOnItsOwnerAndClosesWhenThePointLeaves)
{
    TrButton *owner = make(TR_BUTTON_PUSH, 3, 0, 0);
    TrButton *a = make(TR_BUTTON_PUSH, 3, 50, 4);
    TrButton *b = make(TR_BUTTON_PUSH, 3, 50, 4);
    TrGroupNew(owner);
    TrGroupAdd(owner, a, 1);
    TrGroupAdd(owner, b, 1);
    EXPECT_EQ(b->y, a->y + a->h) << "the second member opens below the first";
    EXPECT_FALSE(a->shown);
    EXPECT_EQ(TrButtonAt(52, 6), nullptr);
    br_pixelmap *picture = frame_pic(80, 40, 0);
    TrButtonPress(owner, picture);
    ASSERT_EQ(TrGroupOpened(), owner->group);
    EXPECT_FALSE(owner->shown);
    EXPECT_EQ(TrButtonAt(52, 6), a);
    TrGroupLeave(55, 12);  // inside the bounds (member b)
    EXPECT_NE(TrGroupOpened(), nullptr);
    TrGroupLeave(70, 30);
    EXPECT_EQ(TrGroupOpened(), nullptr);
    EXPECT_TRUE(owner->shown);
    EXPECT_FALSE(b->shown);
    // A member's press animates at once into the picture and closes the group.
    TrButtonPress(owner, picture);
    g_shown.clear();
    TrButtonSync(b, 1);
    TrButtonPress(b, picture);
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(shown()[0].fromBuffer, 0);
    EXPECT_EQ(TrGroupOpened(), nullptr);
    PxFreePix(picture);
}

TEST_F(Toolbar, EveryMemberGivenOnePlaceOpensBelowTheOneBefore)
{
    // The editor's menu: four members made at one place; each must get a row of its own, or the
    // third and fourth (save and load) lie hidden under the first.
    TrButton *owner = make(TR_BUTTON_PUSH, 3, 0, 0);
    TrButton *m[4];
    TrGroupNew(owner);
    for (TrButton *&b : m) {
        b = make(TR_BUTTON_PUSH, 3, 50, 4);
        TrGroupAdd(owner, b, 1);
    }
    for (int i = 1; i < 4; i++)
        EXPECT_EQ(m[i]->y, m[i - 1]->y + m[i - 1]->h) << i;
    br_pixelmap *picture = frame_pic(80, 40, 0);
    TrButtonPress(owner, picture);
    for (TrButton *b : m)
        EXPECT_EQ(TrButtonAt(b->x + 2, b->y + 2), b);
    TrGroupClose();
    PxFreePix(picture);
}

TEST_F(Toolbar, PressesDuringAnAnimationAllArrive)
{
    TrButton *a = make(TR_BUTTON_PUSH, 13, 0, 0);
    TrButton *b = make(TR_BUTTON_PUSH, 5, 20, 0);
    TrButton *c = make(TR_BUTTON_TOGGLE, 4, 40, 0);
    ASSERT_EQ(TrToolbarBufferMake(), 1);
    TrToolbarWorkerStart();
    TrButtonPress(a, nullptr);
    TrButtonPress(b, nullptr);
    TrButtonPress(c, nullptr);
    TrButtonPress(b, nullptr);
    EXPECT_EQ(g_counts.after, 4) << "the routines run on the pressing thread at once";
    ASSERT_EQ(TrToolbarWaitIdle(60000), 1);
    EXPECT_EQ(frames_of(a), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0}));
    EXPECT_EQ(frames_of(b), (std::vector<int32_t>{1, 2, 3, 4, 0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(frames_of(c), (std::vector<int32_t>{1, 2, 3}));
    for (const Shown &s : shown())
        EXPECT_EQ(s.fromBuffer, 1);
    // Each animation ends by asking the main thread to draw the button again.
    EXPECT_EQ(a->redraw, 1);
    TrToolbarWorkerStop();
    EXPECT_EQ(TrToolbarWorkerAlive(), 0);
}

TEST_F(Toolbar, HundredWorkerStartsAndStopsWithAnimationsUnderWay)
{
    TrButton *a = make(TR_BUTTON_PUSH, 13, 0, 0);
    TrButton *b = make(TR_BUTTON_TOGGLE, 13, 20, 0);
    ASSERT_EQ(TrToolbarBufferMake(), 1);
    for (int round = 0; round < 100; round++) {
        TrToolbarWorkerStart();
        TrButtonPress(a, nullptr);
        TrButtonPress(b, nullptr);
        if (round % 3 == 0)
            TrToolbarWaitIdle(60000);
        TrToolbarWorkerStop();
        ASSERT_EQ(TrToolbarWorkerAlive(), 0) << round;
        EXPECT_EQ(TrToolbarBusy(), 0) << round;
    }
    // A button freed while its press waits is dropped from the queue, not animated afterwards.
    TrToolbarWorkerStart();
    TrButtonPress(a, nullptr);
    TrButtonPress(b, nullptr);
    TrButtonFree(b);
    ASSERT_EQ(TrToolbarWaitIdle(60000), 1);
    TrToolbarWorkerStop();
}

// Handlers registered before the worker starts run after the toolbar's own: by then the worker
// must be gone, or it animates over what the exit frees.
void exit_sees_no_worker() { std::_Exit(TrToolbarWorkerAlive() ? 3 : 0); }

TEST_F(Toolbar, AnExitWhileAButtonAnimatesStopsTheWorkerFirst)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit(exit_sees_no_worker);
            TrButton *a = make(TR_BUTTON_PUSH, 13, 0, 0);
            TrButton *b = make(TR_BUTTON_PUSH, 5, 20, 0);
            if (TrToolbarBufferMake() != 1)
                std::_Exit(2);
            TrToolbarWorkerStart();
            TrButtonPress(a, nullptr);
            TrButtonPress(b, nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Toolbar, SequenceNamesAndMaskBases)
{
    char name[64];
    TrSequenceName("fem\\co", 7, "pix", name, sizeof name);
    EXPECT_STREQ(name, "fem\\co0007.pix");
    TrMaskBase("start\\co", name, sizeof name);
    EXPECT_STREQ(name, "start\\a_co");
    TrMaskBase("co", name, sizeof name);
    EXPECT_STREQ(name, "a_co");
    br_pixelmap *out[4];
    EXPECT_EQ(TrLoadSequence("nowhere\\co", "pix", TR_SEQ_FILE, out, 4), 0);
}

// ---- The module's buttons from the generated pack.

struct Heard {
    std::vector<int> sounds;
    std::vector<int32_t> keys;
    std::vector<int32_t> commands;
    int redraws = 0;
    bool shift = false;
} g_heard;

class ModuleButtons : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlatSetVirtualClock(TRUE);
        g_heard = Heard{};
        g_shown.clear();
        TrToolbarSetPresent(record);
        ASSERT_EQ(BrBegin(), 0);  // the pictures are registered by name
        pack = FFOpenPack(VOK_BIN_DIR "/trb", 0);
        ASSERT_NE(pack, nullptr);
        FFSetCurrentPack(pack);
        TrButtonHooks h{};
        h.sound = [](int id) { g_heard.sounds.push_back(id); };
        h.key = [](int32_t k) { g_heard.keys.push_back(k); };
        h.command = [](int32_t id) { g_heard.commands.push_back(id); };
        h.statusRedraw = [] { g_heard.redraws++; };
        h.shift = [] { return g_heard.shift ? 1 : 0; };
        TrToolbarSetHooks(&h);
        ASSERT_EQ(TrToolbarCreate(), TR_BTN_COUNT);
    }
    void TearDown() override
    {
        TrToolbarDestroy();
        TrToolbarSetHooks(nullptr);
        TrToolbarSetPresent(nullptr);
        TrSetPaintState(0);
        FFSetCurrentPack(nullptr);
        if (pack != nullptr)
            FFClosePack(pack);
        Br_ReleaseAll();
        BrEnd();
    }
    static TrButton *btn(int32_t which) { return TrToolbarButton(which); }
    FFPACKHANDLE *pack = nullptr;
};

TEST_F(ModuleButtons, LoadFromThePackAtTheirPlaces)
{
    for (int32_t w = 0; w < TR_BTN_COUNT; w++) {
        ASSERT_NE(btn(w), nullptr) << w;
        EXPECT_EQ(btn(w)->frameCount, 13) << btn(w)->name;
        EXPECT_EQ(btn(w)->maskCount, 13) << btn(w)->name;
        EXPECT_FALSE(btn(w)->oneMask);
    }
    EXPECT_EQ(btn(TR_BTN_START)->w, 72);
    EXPECT_EQ(btn(TR_BTN_START)->hitX, 21);
    EXPECT_EQ(btn(TR_BTN_START)->hitW, 45);
    EXPECT_EQ(btn(TR_BTN_START)->pressOffset, 29);
    EXPECT_EQ(btn(TR_BTN_REPOS)->x, 473);
    EXPECT_TRUE(btn(TR_BTN_RESET)->maskTest);
    EXPECT_FALSE(btn(TR_BTN_BACK)->shown);
    EXPECT_TRUE(btn(TR_BTN_FM1)->synchronous);
    EXPECT_EQ(btn(TR_BTN_SUPPLY)->hoverFrame, 6);
    EXPECT_EQ(btn(TR_BTN_SUPPLY)->x, 543);
    // The menu: fm0 owns fm4, fm3, fm1, fm2 and the plain fm0, all hidden until it opens.
    TrGroup *g = btn(TR_BTN_FM0_GROUP)->group;
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->count, 5);
    EXPECT_EQ(g->members[0], btn(TR_BTN_FM4));
    EXPECT_FALSE(btn(TR_BTN_FM1)->shown);
    EXPECT_EQ(TrButtonAt(25, 13), btn(TR_BTN_FM0_GROUP)) << "the owner over the hidden quit and back";
    // Opened, the four file commands stand one below the other, each pressed at its own place.
    TrGroupOpen(g);
    int32_t y = 4;
    for (int32_t w : {TR_BTN_FM4, TR_BTN_FM3, TR_BTN_FM1, TR_BTN_FM2}) {
        EXPECT_EQ(btn(w)->x, 50) << btn(w)->name;
        EXPECT_EQ(btn(w)->y, y) << btn(w)->name;
        EXPECT_EQ(TrButtonAt(50 + btn(w)->w / 2, y + btn(w)->h / 2), btn(w)) << btn(w)->name;
        y += btn(w)->h;
    }
    TrGroupClose();
    // The words of the menu are on its buttons: frame 0 of fm1 is not fm2's.
    EXPECT_NE(std::memcmp(btn(TR_BTN_FM1)->frames[0]->pixels, btn(TR_BTN_FM2)->frames[0]->pixels,
                          size_t(btn(TR_BTN_FM1)->frames[0]->row_bytes) * btn(TR_BTN_FM1)->h),
              0);
}

TEST_F(ModuleButtons, RadioRuleOfTheTools)
{
    TrSetPaintState(1);
    EXPECT_EQ(TrToolCurrent(), 0);
    EXPECT_EQ(btn(TR_BTN_BUILD)->state, 1);
    TrButtonPress(btn(TR_BTN_DELETE), nullptr);
    EXPECT_EQ(TrToolCurrent(), 2);
    EXPECT_EQ(btn(TR_BTN_DELETE)->state, 1);
    EXPECT_EQ(btn(TR_BTN_BUILD)->state, 0);
    EXPECT_EQ(btn(TR_BTN_CHANGE)->state, 0);
    EXPECT_EQ(btn(TR_BTN_SUPPLY)->state, 0);
    EXPECT_EQ(g_heard.sounds, (std::vector<int>{17}));
    // The chosen tool pressed again stays chosen.
    TrButtonPress(btn(TR_BTN_DELETE), nullptr);
    EXPECT_EQ(btn(TR_BTN_DELETE)->state, 1);
    TrToolSelect(3);
    EXPECT_EQ(btn(TR_BTN_DELETE)->state, 0);
    EXPECT_EQ(btn(TR_BTN_SUPPLY)->state, 1);
    EXPECT_EQ(btn(TR_BTN_SUPPLY)->redraw, 1);
}

// Brightness of a frame's middle row (the emblem lights up when pressed or chosen).
long light(const br_pixelmap *p)
{
    long sum = 0;
    const auto *row = reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(p->pixels) +
                                                         (p->height / 2) * p->row_bytes);
    for (int x = 0; x < p->width; x++)
        sum += (row[x] >> 11) + ((row[x] >> 5) & 63) / 2 + (row[x] & 31);
    return sum;
}

TEST_F(ModuleButtons, AChosenToolRestsLitTheOthersDark)
{
    for (int32_t w : {TR_BTN_BUILD, TR_BTN_CHANGE, TR_BTN_DELETE, TR_BTN_SUPPLY}) {
        const TrButton *b = btn(w);
        EXPECT_GT(light(b->frames[b->stateFrames[1]]), light(b->frames[b->stateFrames[0]]) + 20) << b->name;
        EXPECT_GT(light(b->frames[b->hoverFrame]), light(b->frames[0])) << b->name;
    }
    // A push button's press lights it too: its last frame against its rest.
    EXPECT_GT(light(btn(TR_BTN_RESET)->frames[12]), light(btn(TR_BTN_RESET)->frames[0]));
}

TEST_F(ModuleButtons, ActionsSendTheirKeysCommandsAndSounds)
{
    Palya_Install(Palya_New(), nullptr, nullptr, nullptr);
    Palya_Current()->ballsNeeded = 1;
    TrButtonPress(btn(TR_BTN_LEFT), nullptr);
    EXPECT_EQ(Palya_Current()->ballsNeeded, 1);
    TrButtonPress(btn(TR_BTN_RIGHT), nullptr);
    EXPECT_EQ(Palya_Current()->ballsNeeded, 2);
    EXPECT_EQ(g_heard.sounds, (std::vector<int>{5, 16}));
    EXPECT_EQ(g_heard.redraws, 2);
    g_heard.sounds.clear();

    TrButtonPress(btn(TR_BTN_START), nullptr);
    EXPECT_EQ(g_heard.keys, (std::vector<int32_t>{TR_KEY_START}));
    TrButtonPress(btn(TR_BTN_START), nullptr);
    EXPECT_EQ(g_heard.keys.back(), TR_KEY_STOP);
    EXPECT_EQ(g_heard.sounds, (std::vector<int>{6}));
    EXPECT_FALSE(btn(TR_BTN_START)->enabled) << "the start button rests 700 ms after a stop";
    PlatAdvanceClock(699);
    TrToolbarTick();
    EXPECT_FALSE(btn(TR_BTN_START)->enabled);
    PlatAdvanceClock(1);
    TrToolbarTick();
    EXPECT_TRUE(btn(TR_BTN_START)->enabled);

    g_heard.keys.clear();
    for (int32_t w : {TR_BTN_RESET, TR_BTN_REPOS, TR_BTN_HELP, TR_BTN_QUIT})
        TrButtonPress(btn(w), nullptr);
    EXPECT_EQ(g_heard.keys, (std::vector<int32_t>{VK_HOME, VK_END, VK_F1, VK_ESCAPE}));

    // The file commands: without Shift the browser asks for the file.
    g_heard.sounds.clear();
    TrButtonPress(btn(TR_BTN_FM1), nullptr);
    EXPECT_EQ(TrToolbarTakeSaveFlag(), 1);
    g_heard.shift = true;
    TrButtonPress(btn(TR_BTN_FM2), nullptr);
    EXPECT_EQ(TrToolbarTakeSaveFlag(), 0);
    EXPECT_EQ(g_heard.commands, (std::vector<int32_t>{40001, 40002}));
    EXPECT_EQ(g_heard.sounds, (std::vector<int>{16, 16}));
    Palya_Release();
}

}  // namespace
