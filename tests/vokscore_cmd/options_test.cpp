// The options screens over plain pictures: working copies written back only by OK, the nested
// screens, a reset that stays after Cancel, the CD track wrapping and heard, key capture.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "controls.h"
#include "runner.h"
#include "scene_support.h"
#include "texts.h"
#include "vokplat/sound.h"
#include "vokplat/window.h"
#include "vokscore/vokmedia.h"
#include "vokscore/wave.h"

namespace {

using vstest::solid565;

// Steps of a run, one on each tick of a window timer: each step's clicks and keys are taken before
// the next one is posted, also by the screens the steps open.
std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_next < g_steps.size())
        g_steps[g_next++]();
}

class Options : public vstest::SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        std::ifstream in(std::string(VOK_DATA_TREE) + "/Data/gn.fnp", std::ios::binary);
        std::stringstream font;
        font << in.rdbuf();
        ASSERT_FALSE(font.str().empty());
        write("Data/gn.fnp", font.str());
        std::map<std::string, std::string> pics;
        for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
            const vok::EmbeddedScreen &e = vok::kEmbeddedScreens[i];
            std::string error;
            auto d = vok::parse_screen(e.name, e.text, e.size, error);
            if (!d || d->table != vok::kTableInterface || d->entry < 60 || d->entry > 65)
                continue;
            std::vector<vok::AssetUse> uses;
            vok::list_assets(*d, uses);
            for (const vok::AssetUse &u : uses)
                if (u.kind == "picture")
                    pics[u.name] = solid565(u.width > 0 ? (u.width + 1) & ~1 : 40, u.height > 0 ? u.height : 20,
                                            uint16_t(0x1000 + pics.size()));
        }
        std::vector<std::pair<std::string, std::string>> list(pics.begin(), pics.end());
        write_pack_file("Data/options.fpk", list);
        for (const char *lang : {"US", "UK", "GE", "FR", "HU"})
            write_pack_file(std::string("Data/") + lang + "/options.fpk", list);
        screen = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
        face->screenPix = screen;
        g_steps.clear();
        g_next = 0;
    }
    void TearDown() override
    {
        face->screenPix = nullptr;
        PxFreePix(screen);
        SceneTest::TearDown();
    }

    void click(int x, int y)
    {
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        PostMessageA(window, WM_LBUTTONUP, 0, at(x, y));
    }
    std::function<void()> clicking(int x, int y)
    {
        return [this, x, y] { click(x, y); };
    }
    std::function<void()> key(int vk)
    {
        return [this, vk] { PostMessageA(window, WM_KEYDOWN, WPARAM(vk), 0); };
    }
    // Runs screen `id` through the steps; what VokPopupIFScreen answered.
    int run(int id, std::vector<std::function<void()>> steps)
    {
        g_steps = std::move(steps);
        g_next = 0;
        UINT_PTR t = SetTimer(window, 0x7701, 100, tick);
        int shown = VokPopupIFScreen(unsigned(id));
        KillTimer(window, t);
        EXPECT_EQ(g_next, g_steps.size()) << "steps left over";
        return shown;
    }
    static const char *shown_text(int session, int ikon)
    {
        VokSession *s = FindSession(session);
        VokIkon *k = s ? FindIkon(s, ikon) : nullptr;
        return k && k->shownText ? k->shownText : "";
    }
    static TrSettings &terrow() { return *static_cast<TrSettings *>(vok::general().gameBlocks[2]); }
    static KpSettings &kelpa() { return *static_cast<KpSettings *>(vok::general().gameBlocks[3]); }

    br_pixelmap *screen = nullptr;
};

// Places on the screens (the panel lies at 20, 20).
constexpr int kRowY = 422, kOkX = 450;
int step_x(int level) { return 218 + level * 22 + 10; }
int tab_x(int game) { return 67 + game * 58; }

TEST_F(Options, NestedScreenOkReturnsAndTheOuterOkWritesBoth)
{
    face->gameId = VOK_GAME_BASE + 0;
    vok::general().cdMusic = 2;
    kelpa().soundEffects = 1;
    kelpa().speed = 2;
    vok::general().texts[0][0] = 0;
    EXPECT_EQ(run(44, {clicking(step_x(1), 120),                 // music level 1
                       clicking(286, 217), [this] { PostMessageA(window, WM_CHAR, 'h', 0); PostMessageA(window, WM_CHAR, 'i', 0); },
                       clicking(tab_x(3), 335),                   // Kelpa's screen over the general one
                       [this] { EXPECT_EQ(VokGetCurScene()->screenId, 45); click(248, 120); },  // effects off
                       clicking(218 + 5 * 30 + 13, 152),          // speed 6
                       clicking(kOkX, kRowY),                     // back to the general screen
                       [this] {
                           EXPECT_EQ(VokGetCurScene()->screenId, 44);
                           EXPECT_EQ(kelpa().soundEffects, 1) << "the nested OK writes nothing";
                           EXPECT_EQ(vok::general().cdMusic, 2);
                           click(kOkX, kRowY);
                       }}),
              1) << GetLastMsgError();
    EXPECT_EQ(face->popupResult, 1);
    EXPECT_EQ(vok::general().cdMusic, 1);
    EXPECT_STREQ(vok::general().texts[0], "hi");
    EXPECT_EQ(kelpa().soundEffects, 0);
    EXPECT_EQ(kelpa().speed, 5);
    EXPECT_EQ(face->gameId, VOK_GAME_KELPA) << "the tab names the game";

    // Cancel on the outer screen, or on the nested one, writes nothing.
    face->popupResult = 77;
    EXPECT_EQ(run(44, {clicking(step_x(4), 120), key(VK_ESCAPE)}), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(run(45, {clicking(248, 120), clicking(120, kRowY), key(VK_ESCAPE)}), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(vok::general().cdMusic, 1);
    EXPECT_EQ(kelpa().soundEffects, 0);
}

TEST_F(Options, ResetStaysAfterCancel)
{
    face->gameId = VOK_GAME_TERROW;
    terrow().cdTrack = 3;
    terrow().fastRun = 1;
    terrow().keys[0] = 0x41;
    vok::general().cdMusic = 4;
    EXPECT_EQ(run(45, {clicking(300, kRowY), key(VK_ESCAPE)}), 1);
    EXPECT_EQ(face->popupResult, 0);
    EXPECT_EQ(terrow().cdTrack, 6);
    EXPECT_EQ(terrow().fastRun, 0);
    EXPECT_EQ(terrow().keys[0], 0x76);
    EXPECT_EQ(vok::general().cdMusic, 4) << "the general record is not this screen's";
    // The general screen's reset keeps the block pointers.
    void *blocks[VOK_GAME_COUNT];
    memcpy(blocks, vok::general().gameBlocks, sizeof blocks);
    vok::general().globalKeys[0] = 0x70;
    EXPECT_EQ(run(44, {clicking(130, kRowY), key(VK_ESCAPE)}), 1);
    EXPECT_EQ(vok::general().cdMusic, 2);
    EXPECT_EQ(vok::general().globalKeys[0], 13);
    EXPECT_EQ(memcmp(blocks, vok::general().gameBlocks, sizeof blocks), 0);
}

TEST_F(Options, TrackWrapsBothWaysAndIsHeard)
{
    std::filesystem::create_directories(dir / "cdaudio");
    setenv("VOK_CDAUDIO_DIR", (dir / "cdaudio").c_str(), 1);
    for (int t = 1; t <= 7; t++) {
        std::vector<uint8_t> wave = vokpack::make_wave(std::vector<uint8_t>(1600, 0x10), 1, 8000, 16);
        write("cdaudio/track0" + std::to_string(t) + ".wav", std::string(wave.begin(), wave.end()));
    }
    VokInitCD();
    vok::general().cdMusic = 2;
    vok::general().menuCdTrack = 6;
    face->gameId = VOK_GAME_BASE;
    EXPECT_EQ(run(44, {clicking(342, 89),
                       [this] {
                           EXPECT_STREQ(shown_text(3, 1), vok::text(13)) << "6 + 1 wraps to 0";
                           click(230, 89);
                       },
                       [this] {
                           EXPECT_STREQ(shown_text(3, 1), vok::text(19)) << "0 - 1 wraps to 6";
                           click(kOkX, kRowY);
                       }}),
              1);
    EXPECT_EQ(vok::general().menuCdTrack, 6);
    std::vector<VokSoundPlay> plays(VokSoundGetPlays(nullptr, 0));
    VokSoundGetPlays(plays.data(), plays.size());
    ASSERT_FALSE(plays.empty());
    EXPECT_EQ(plays.back().cd_track, 7) << "track 6 is disc track 7";
    VokKillCD();
    unsetenv("VOK_CDAUDIO_DIR");
}

TEST_F(Options, KeyCapture)
{
    face->gameId = VOK_GAME_TERROW;
    vok::default_block(2, &terrow());
    auto binding = [this](int n) { return clicking(282, 190 + n * 26 + 11); };
    // The modifiers come as input, whose state the key capture reads.
    auto input = [](const char *script) { return [script] { EXPECT_TRUE(VokLoadInputScriptText(script)); }; };
    EXPECT_EQ(run(45, {binding(1),
                       [] { EXPECT_FALSE(FindSession(98)->state & VOK_SST_HIDDEN) << "the prompt shows"; },
                       input("0 window scenes\n+1 keydown CONTROL\n+20 key F5\n+20 keyup CONTROL\n"),
                       [] {
                           EXPECT_TRUE(FindSession(98)->state & VOK_SST_HIDDEN);
                           EXPECT_EQ(std::string(shown_text(7, 92)).rfind("Ctrl+", 0), 0u) << shown_text(7, 92);
                       },
                       binding(2), input("0 window scenes\n+1 click 5 5 middle\n"),
                       binding(3), input("0 window scenes\n+1 keydown SHIFT\n+20 key Q\n+20 keyup SHIFT\n"),
                       clicking(kOkX, kRowY)}),
              1);
    EXPECT_EQ(terrow().keys[1], 0x4074);
    EXPECT_EQ(terrow().keys[2], 4) << "the middle button";
    EXPECT_EQ(terrow().keys[3], 0x2000 | 'Q');
    EXPECT_EQ(terrow().keys[0], 0x76);

    // A quit message ends the capture and the screen; the binding stays and the message is kept.
    face->popupResult = 77;
    EXPECT_EQ(run(45, {binding(0), [] { PostQuitMessage(3); }}), 0);
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(terrow().keys[0], 0x76);
    MSG m;
    bool quit = false;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        quit = quit || m.message == WM_QUIT;
    EXPECT_TRUE(quit);
}

// Left alone, the capture prompt keeps blinking; a scene ended from outside ends the capture and
// leaves the binding as it was.
TEST_F(Options, IdleCaptureBlinksAndAnAbortEndsIt)
{
    face->gameId = VOK_GAME_TERROW;
    vok::default_block(2, &terrow());
    static std::vector<bool> shown;
    shown.clear();
    auto look = [] {
        VokSession *s = FindSession(98);
        VokIkon *k = s ? FindIkon(s, 1) : nullptr;
        shown.push_back(k && !(k->state & VOK_IST_HIDDEN));
    };
    std::vector<std::function<void()>> steps{clicking(282, 190 + 11)};
    for (int i = 0; i < 12; i++)
        steps.push_back(look);
    steps.push_back([] { vok::engine().abort = true; });
    face->popupResult = 77;
    EXPECT_EQ(run(45, steps), 0);
    EXPECT_EQ(face->popupResult, -1);
    EXPECT_EQ(terrow().keys[0], 0x76);
    int changes = 0;
    for (size_t i = 1; i < shown.size(); i++)
        changes += shown[i] != shown[i - 1];
    EXPECT_GE(changes, 3) << "the prompt blinks every 300 ms while no key comes";
    // The next screen runs as usual.
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(VokPopupIFScreen(45), 1);
    EXPECT_EQ(face->popupResult, 0);
}

// The text field clicked shows its caret blinking; the other fields show none.
TEST_F(Options, TextFieldCaretBlinks)
{
    face->gameId = VOK_GAME_BASE;
    static std::vector<int> carets;
    carets.clear();
    auto look = [] {
        VokSession *s = FindSession(99);
        int lit = 0;
        for (int id = 1; s && id <= 3; id++)
            if (vok::VokEdit *e = vok::edit_of(FindIkon(s, id)); e && e->caretShown)
                lit |= 1 << id;
        carets.push_back(lit);
    };
    std::vector<std::function<void()>> steps{clicking(286, 249)};
    for (int i = 0; i < 12; i++)
        steps.push_back(look);
    steps.push_back(key(VK_ESCAPE));
    EXPECT_EQ(run(44, steps), 1);
    int changes = 0, others = 0;
    for (size_t i = 0; i < carets.size(); i++) {
        changes += i > 0 && carets[i] != carets[i - 1];
        others += (carets[i] & ~(1 << 2)) != 0;
    }
    EXPECT_GE(changes, 3);
    EXPECT_EQ(others, 0);
}

// Every options screen builds and ends twice in one process.
TEST_F(Options, ScreensBuildAndEndTwice)
{
    for (int entry = 60; entry <= 65; entry++)
        for (int round = 0; round < 2; round++) {
            face->gameId = VOK_GAME_BASE + uint32_t(entry == 60 ? 0 : entry - 61);
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_EQ(vok::run_screen(entry), 1) << entry << " " << GetLastMsgError();
        }
}

}  // namespace
