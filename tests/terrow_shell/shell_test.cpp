// The module's start over a host window and in its own windows, its message and key tables, the view
// buffers over the DIB, and the clean-up every path shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "terrow/trtoolbar.h"
#include "vokscore/vokiface.h"
#include "vokplat/window.h"
#include "win32/winmisc.h"
#include "win32/winuser.h"

namespace {

std::vector<std::string> g_boxes;
int g_host_messages = 0;
UINT g_last_host_message = 0;

int box_hook(const char *text, unsigned)
{
    g_boxes.push_back(text);
    return IDOK;
}

LRESULT CALLBACK host_proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    g_host_messages++;
    g_last_host_message = m;
    return DefWindowProcA(w, m, wp, lp);
}

class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InitVokScore("Data\\");
        WNDCLASSA wc = {};
        wc.lpfnWndProc = host_proc;
        wc.lpszClassName = "TrTestHost";
        RegisterClassA(&wc);
    }
    void SetUp() override
    {
        g_boxes.clear();
        g_host_messages = 0;
        TrSetBoxHook(box_hook);
        // The close request's screen 17 answers "leave"; the loading bar is not shown.
        TrScreenHooks screens{};
        screens.popup = [](unsigned) {
            VokGetInterFace(VOK_GAME_TERROW)->popupResult = -1;
            return 1;
        };
        screens.progress = [](unsigned) {};
        TrSetScreenHooks(&screens);
        face = VokGetInterFace(VOK_GAME_TERROW);
        face->gameKind = 100;
        face->windowMode = 0;
        face->levelPath[0] = '\0';
        face->hostWnd = nullptr;
    }
    void TearDown() override
    {
        TrWindowCleanup(TrGetShell()->window);
        TrSetFrameHook(nullptr);
        TrSetBoxHook(nullptr);
        TrSetScreenHooks(nullptr);
        face->hostWnd = nullptr;
        if (host != nullptr)
            DestroyWindow(host);
    }
    HWND make_host(int w = 640, int h = 480)
    {
        host = CreateWindowA("TrTestHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr, nullptr,
                             nullptr);
        face->hostWnd = host;
        return host;
    }
    static void pump()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT)
                continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    WNDPROC host_procedure() { return (WNDPROC)GetWindowLongPtrA(host, GWLP_WNDPROC); }

    VokInterFace *face = nullptr;
    HWND host = nullptr;
};

TEST_F(Shell, StartOverTheHostGivesItsProcedureBack)
{
    make_host();
    TrSetFrameHook([] {
        EXPECT_EQ((WNDPROC)GetWindowLongPtrA(TrGetShell()->window, GWLP_WNDPROC), TrWndProc);
        PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(StartTerrow(), 0);
    EXPECT_EQ(host_procedure(), host_proc);
    EXPECT_TRUE(IsWindow(host)) << "the host window is the main program's";
    EXPECT_FALSE(TrWorkerRunning());
    EXPECT_EQ(TrGetDib()->pixels, nullptr);
    EXPECT_EQ(face->screenPix, nullptr);
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

TEST_F(Shell, FailedSetUpIsAWarningAndStillGivesEverythingBack)
{
    // A client area too small for the status line: no view can be made.
    make_host(640, 20);
    EXPECT_EQ(StartTerrow(), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find("view picture"), std::string::npos) << g_boxes[0];
    EXPECT_EQ(host_procedure(), host_proc);
    EXPECT_FALSE(TrWorkerRunning());
    EXPECT_EQ(TrGetShell()->brondelBegun, 0);
    EXPECT_EQ(TrGetShell()->interfaceOpen, 0);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "the host must not be told to quit";
}

// A model pack cut short: the start fails with a warning before any window shows, nothing ends the
// host, and the next start with whole data plays.
TEST_F(Shell, ATruncatedModelPackFailsTheStartWithAWarning)
{
    const std::string root = std::string(VOK_TEST_BIN_DIR) + "/shell-truncated/";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "fw");
    {
        FILE *in = fopen(VOK_BIN_DIR "/fw/terrow.pck", "rb");
        ASSERT_NE(in, nullptr);
        std::vector<char> bytes(1 << 22);
        bytes.resize(fread(bytes.data(), 1, bytes.size(), in));
        fclose(in);
        FILE *out = fopen((root + "fw/terrow.pck").c_str(), "wb");
        ASSERT_NE(out, nullptr);
        fwrite(bytes.data(), 1, bytes.size() * 2 / 3, out);
        fclose(out);
    }
    make_host();
    std::vector<char> rootText(root.begin(), root.end());
    rootText.push_back('\0');
    char *const savedRoot = face->readRoot;
    face->readRoot = rootText.data();
    static int frames;
    frames = 0;
    TrSetFrameHook([] { frames++; });
    EXPECT_EQ(StartTerrow(), 0);
    face->readRoot = savedRoot;
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_TRUE(g_boxes[0].find("not found") != std::string::npos ||
                g_boxes[0].find("multi model ld failed") != std::string::npos)
        << g_boxes[0];
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(host_procedure(), host_proc);
    EXPECT_EQ(TrGetShell()->brondelBegun, 0);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "the host must not be told to quit";
    g_boxes.clear();
    TrSetFrameHook([] { PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0); });
    EXPECT_EQ(StartTerrow(), 0);
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
    std::filesystem::remove_all(root);
}

TEST_F(Shell, PlayTrlMakesItsOwnFullScreenPopupAndDestroysIt)
{
    make_host();
    static HWND seen;
    static LONG_PTR style;
    static HWND owner;
    static int frameless;
    seen = nullptr;
    TrSetFrameHook([] {
        seen = TrGetShell()->window;
        style = GetWindowLongPtrA(seen, GWL_STYLE);
        owner = (HWND)GetWindowLongPtrA(seen, GWLP_HWNDPARENT);
        frameless = TrGetModule()->frameless;
        PostMessageA(seen, WM_CLOSE, 0, 0);
    });
    PlayTRL(host, 0, "no_such_field.trl");
    ASSERT_NE(seen, nullptr);
    EXPECT_NE(seen, host);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(owner, host);
    EXPECT_EQ(frameless, 1) << "play mode asks for the full-screen mode";
    EXPECT_FALSE(IsWindow(seen));
    WNDCLASSA wc;
    EXPECT_FALSE(GetClassInfoA(TrGetShell()->instance, TR_CLASS_NAME, &wc)) << "the class goes with the module";
    EXPECT_EQ(host_procedure(), host_proc) << "play mode never takes the host over";
}

TEST_F(Shell, OwnEditorWindowShowsTheDefaultFieldAndIsDestroyedOnClose)
{
    face->gameKind = TR_EDITOR_KIND;
    static int colours;
    static HWND seen;
    colours = 0;
    TrSetFrameHook([] {
        TrShell *s = TrGetShell();
        seen = s->window;
        // The field in the middle of the view differs from the hall behind it.
        br_pixelmap *v = s->view;
        std::vector<uint16_t> found;
        for (int y = v->height / 3; y < v->height * 2 / 3; y += 7)
            for (int x = v->width / 3; x < v->width * 2 / 3; x += 7) {
                uint16_t p = *(uint16_t *)((char *)v->pixels + (ptrdiff_t)y * v->row_bytes + x * 2);
                if (std::find(found.begin(), found.end(), p) == found.end())
                    found.push_back(p);
            }
        colours = (int)found.size();
        PostMessageA(seen, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(StartTerrow(), 0);
    EXPECT_GT(colours, 8) << "a lit, joined field of blocks";
    EXPECT_FALSE(IsWindow(seen));
}

TEST_F(Shell, KeysAndMessages)
{
    face->gameKind = TR_EDITOR_KIND;
    make_host();
    ASSERT_TRUE(TrModuleInit());
    HWND w = TrGetShell()->window;
    ASSERT_EQ(w, host);
    struct Key {
        WPARAM key;
        int message;  // -1: none
    } keys[] = {{VK_F5, 42}, {VK_F5, 43}, {VK_F5, 41}, {VK_F6, 45}, {VK_F6, 44}, {VK_F7, 46}, {'Q', -1}, {VK_F9, -1}};
    for (const Key &k : keys) {
        g_boxes.clear();
        EXPECT_EQ(TrWndProc(w, WM_KEYDOWN, k.key, 0), 0);
        if (k.message < 0)
            EXPECT_TRUE(g_boxes.empty()) << k.key;
        else
            EXPECT_EQ(g_boxes, std::vector<std::string>{TrMessage(k.message)}) << k.key;
    }
    EXPECT_EQ(TrGetShell()->field->ballLayout, 0);
    EXPECT_EQ(TrGetShell()->field->startLayout, 0);
    EXPECT_EQ(TrGetShell()->field->cameraSaved, 1);

    VokKey(w, VK_CONTROL, TRUE);
    pump();
    TrWndProc(w, WM_KEYDOWN, VK_F12, 0);
    EXPECT_EQ(TrGetShell()->capture, 1);
    VokKey(w, VK_CONTROL, FALSE);
    pump();
    TrWndProc(w, WM_KEYDOWN, VK_F12, 0);
    EXPECT_EQ(TrGetShell()->capture, 0);

    g_host_messages = 0;
    EXPECT_EQ(TrWndProc(w, WM_KEYDOWN, 'Q', 0), 0);
    EXPECT_EQ(g_host_messages, 0) << "an unlisted key has no default processing";
    TrWndProc(w, WM_USER + 7, 0, 0);
    EXPECT_EQ(g_host_messages, 1);
    EXPECT_EQ(g_last_host_message, (UINT)WM_USER + 7);

    // After the clean-up, twice, everything is the host's again.
    TrWindowCleanup(w);
    TrWindowCleanup(w);
    EXPECT_EQ(host_procedure(), host_proc);
    g_host_messages = 0;
    TrWndProc(w, WM_PAINT, 0, 0);
    TrWndProc(w, WM_KEYDOWN, VK_F5, 0);
    EXPECT_EQ(g_host_messages, 2) << "no message reaches the freed module";
}

TEST(TrCursor, KindsPickTheirResourcesTurnedWithTheView)
{
    struct Case {
        int kind, sub;
        float yaw;
        int resource;
    } cases[] = {{0, 0, 0, 0},     {1, 0, 0, 0},      {2, 0, 0, 113},     {3, 0, 0, 127},    {4, 0, 0, 111},
                 {7, 0, 0, 115},   {8, 0, 0, 118},    {9, 0, 0, 116},     {10, 0, 0, 114},   {11, 0, 0, 128},
                 {12, 0, 0, 129},  {13, 0, 0, 0},     {-1, 0, 0, 0},
                 // Quarter = ((yaw + 90) mod 360) / 90.
                 {5, 0, -90, 119}, {5, 1, -90, 120},  {5, 3, -90, 122},   {5, 0, 0, 120},    {5, 3, 0, 119},
                 {5, 0, 200, 122}, {6, 0, -90, 125},  {6, 1, -90, 126},   {6, 2, -90, 124},  {6, 3, -90, 123},
                 {6, 0, -45, 125}, {6, 2, 90, 125}};
    for (const Case &c : cases)
        EXPECT_EQ(TrCursorResource(c.kind, c.sub, c.yaw), c.resource) << c.kind << " " << c.sub << " " << c.yaw;
}

TEST_F(Shell, ViewIsTheTopOfTheScreenPicture)
{
    make_host(640, 480);
    ASSERT_TRUE(TrModuleInit());
    TrShell *s = TrGetShell();
    EXPECT_EQ(TrGetDib()->width, 640);
    EXPECT_EQ(TrGetDib()->height, 480);
    ASSERT_NE(s->view, nullptr);
    EXPECT_EQ(s->screenPix, face->screenPix);
    EXPECT_EQ(s->view->width, 640);
    EXPECT_EQ(s->view->height, 480 - TR_STATUS_HEIGHT);
    auto at = [](br_pixelmap *p, int x, int y) {
        return (uint16_t *)((char *)p->pixels + (ptrdiff_t)y * p->row_bytes) + x;
    };
    EXPECT_EQ(at(s->view, 0, 0), at(s->screenPix, 0, 0));
    EXPECT_EQ(at(s->view, 639, 450), at(s->screenPix, 639, 450));
    // The picture's first row is the DIB's last (bottom-up).
    EXPECT_EQ((void *)at(s->screenPix, 0, 479), TrGetDib()->pixels);
    for (int i = 0; i < 3; i++) {
        ASSERT_NE(s->depths[i], nullptr);
        EXPECT_EQ(s->depths[i]->type, BR_PMT_DEPTH_16);
        EXPECT_EQ(s->depths[i]->height, 451);
    }
    for (int i = 0; i < 2; i++)
        EXPECT_FLOAT_EQ(((br_camera *)s->cameras[i]->type_data)->aspect, 640.0f / 451.0f);
}

TEST_F(Shell, ThreeStartsInARow)
{
    make_host();
    for (int round = 0; round < 3; round++) {
        face->gameKind = round == 1 ? TR_EDITOR_KIND : 100;
        TrSetFrameHook([] { PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0); });
        EXPECT_EQ(StartTerrow(), 0) << round;
        EXPECT_EQ(host_procedure(), host_proc) << round;
        EXPECT_FALSE(TrWorkerRunning()) << round;
    }
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

// The window and its toolbar worker a hundred times, in the game and in the editor; every round
// closes while the worker animates a button, so the stop meets an animation under way.
TEST_F(Shell, HundredWindowStartsAndStopsWithTheToolbarAnimating)
{
    make_host();
    static int pressed;
    for (int round = 0; round < 100; round++) {
        face->gameKind = round % 2 ? TR_EDITOR_KIND : 100;
        pressed = 0;
        TrSetFrameHook([] {
            if (!pressed++) {
                ASSERT_TRUE(TrWorkerRunning());
                TrButtonPress(TrToolbarButton(TR_BTN_REPOS), TrGetShell()->screenPix);
            }
            PostMessageA(TrGetShell()->window, WM_CLOSE, 0, 0);
        });
        ASSERT_EQ(StartTerrow(), 0) << round;
        ASSERT_EQ(pressed > 0, true) << round;
        ASSERT_FALSE(TrWorkerRunning()) << round;
        ASSERT_EQ(TrToolbarBusy(), 0) << round;
        ASSERT_EQ(host_procedure(), host_proc) << round;
    }
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

// Start, then stop at once: the platform gives the second press as a double click (the class asks for
// them), and the stop must still be taken. While the run lasts the editor's file group and tools are
// gone, and they come back with the stop.
TEST_F(Shell, QuickSecondPressOnStartStopsTheRunAndTheToolsComeBack)
{
    face->gameKind = TR_EDITOR_KIND;
    make_host();
    ASSERT_TRUE(TrModuleInit());
    HWND w = TrGetShell()->window;
    TrPalya *f = Palya_Current();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(Palya_Replace((std::string(VOK_BIN_DIR) + "/fw/Fields/Ch_Bo.trl").c_str(), f->opaqueParent,
                              f->translucentParent, TrGetShell()->fieldRoot));
    const LPARAM at = MAKELPARAM(40, 445);
    TrButton *start = TrToolbarButton(TR_BTN_START);
    const int editing[] = {TR_BTN_FM0_GROUP, TR_BTN_LEFT, TR_BTN_RIGHT, TR_BTN_BUILD, TR_BTN_CHANGE,
                           TR_BTN_DELETE, TR_BTN_SUPPLY};
    auto shown = [&](bool on) {
        for (int b : editing)
            EXPECT_EQ(TrToolbarButton(b)->shown, on ? 1 : 0) << b;
    };
    ASSERT_EQ(TrButtonAt(40, 445), start);
    shown(true);
    // The editor has no help button: its place is the tools'.
    EXPECT_EQ(TrToolbarButton(TR_BTN_HELP)->shown, 0);
    EXPECT_EQ(TrToolbarButton(TR_BTN_QUIT)->shown, 0);
    // The arrows stand on the status strip, which is drawn once and not every frame: it is what must
    // show where they were once they go.
    TrRenderFrame();
    TrButton *left = TrToolbarButton(TR_BTN_LEFT);
    auto strip = [&] {
        std::vector<uint16_t> px;
        br_pixelmap *pm = TrGetShell()->screenPix;
        for (int y = left->y; y < left->y + left->h && y < pm->height; y++)
            for (int x = left->x; x < left->x + left->w; x++)
                px.push_back(*(uint16_t *)((char *)pm->pixels + (ptrdiff_t)y * pm->row_bytes + x * 2));
        return px;
    };
    const std::vector<uint16_t> withArrow = strip();

    TrWndProc(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
    TrWndProc(w, WM_LBUTTONUP, 0, at);
    pump();
    ASSERT_EQ(TrSimGet()->runActive, 1);
    EXPECT_EQ(start->state, 1);
    shown(false);
    EXPECT_EQ(TrButtonAt(380, 20), nullptr) << "a hidden tool takes no press";
    TrRenderFrame();
    EXPECT_NE(strip(), withArrow) << "the left arrow still shows in the run";

    TrWndProc(w, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    TrWndProc(w, WM_LBUTTONUP, 0, at);
    pump();
    EXPECT_EQ(TrSimGet()->runActive, 0);
    EXPECT_EQ(start->state, 0);
    shown(true);
    TrRenderFrame();
    EXPECT_EQ(strip(), withArrow) << "the arrow is back";
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

// The save from the file menu: the browser opens over the field as it is once the menu has closed,
// not over a picture with the menu still open.
TEST_F(Shell, BrowserOpensOverTheScreenWithTheMenuClosed)
{
    face->gameKind = TR_EDITOR_KIND;
    make_host();
    ASSERT_TRUE(TrModuleInit());
    static std::vector<uint16_t> under;
    static int x0, y0, x1, y1, browsed;
    under.clear();
    browsed = 0;
    TrButton *save = TrToolbarButton(TR_BTN_FM1);
    x0 = save->x, y0 = save->y, x1 = save->x + save->w, y1 = save->y + save->h;
    auto region = [] {
        std::vector<uint16_t> px;
        br_pixelmap *pm = TrGetShell()->screenPix;
        for (int y = y0; y < y1 && y < pm->height; y++)
            for (int x = x0; x < x1 && x < pm->width; x++)
                px.push_back(*(uint16_t *)((char *)pm->pixels + (ptrdiff_t)y * pm->row_bytes + x * 2));
        return px;
    };
    static std::vector<uint16_t> (*take)() = +region;
    TrScreenHooks screens{};
    screens.progress = [](unsigned) {};
    screens.browseSave = [](char *, const char *, const char *, const char *) -> char * {
        browsed++;
        under = take();
        return nullptr;
    };
    TrSetScreenHooks(&screens);

    TrButtonPress(TrToolbarButton(TR_BTN_FM0_GROUP), TrGetShell()->screenPix);
    ASSERT_NE(TrGroupOpened(), nullptr);
    TrRenderFrame();
    const std::vector<uint16_t> open = region();
    TrButtonPress(save, TrGetShell()->screenPix);
    EXPECT_EQ(TrGroupOpened(), nullptr);
    pump();
    ASSERT_EQ(browsed, 1);
    TrRenderFrame();
    const std::vector<uint16_t> closed = region();
    EXPECT_NE(open, closed) << "the open menu shows in its place";
    EXPECT_EQ(under, closed) << "the browser's background still shows the menu";
}

}  // namespace

// The played field becomes the current field with its looks; a run going on when the window closes
// is stopped, and the field goes once, whichever side lets it go. Twice, as a player starts again.
TEST_F(Shell, PlayedFieldIsTheCurrentFieldAndGoesOnceWithItsRun)
{
    make_host();
    const std::string field = std::string(VOK_BIN_DIR) + "/fw/Fields/Ch_Bo.trl";
    for (int round = 0; round < 2; round++) {
        static int shown, ran;
        shown = ran = 0;
        TrSetFrameHook([] {
            TrShell *s = TrGetShell();
            TrPalya *f = Palya_Current();
            shown = f != nullptr && f == s->field && f->count > 0 && f->elements[0]->actor != nullptr;
            // A run with the real physics, left going.
            if (TrRunStart()) {
                Sim_Advance(1000);
                ran = TrSimGet()->runActive;
            }
            PostMessageA(s->window, WM_CLOSE, 0, 0);
        });
        PlayTRL(host, 0, field.c_str());
        EXPECT_EQ(shown, 1) << round;
        EXPECT_EQ(ran, 1) << round;
        EXPECT_EQ(Palya_Current(), nullptr) << round;
        EXPECT_EQ(TrGetShell()->field, nullptr) << round;
        EXPECT_EQ(TrSimGet()->runActive, 0) << round;
    }
    EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

// A field loaded over the shown one through the current field's operations (as a load in the window
// does) is the one that goes at the close; the one before went with that load.
TEST_F(Shell, FieldReplacedInTheWindowGoesOnceAtTheClose)
{
    make_host();
    static std::string other;
    other = std::string(VOK_BIN_DIR) + "/fw/Fields/Ch_Ba.trl";
    static int replaced;
    replaced = 0;
    TrSetFrameHook([] {
        TrShell *s = TrGetShell();
        TrPalya *f = Palya_Current();
        if (f != nullptr)
            replaced = Palya_Replace(other.c_str(), f->opaqueParent, f->translucentParent, s->fieldRoot);
        PostMessageA(s->window, WM_CLOSE, 0, 0);
    });
    PlayTRL(host, 0, (std::string(VOK_BIN_DIR) + "/fw/Fields/Ch_Bo.trl").c_str());
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(Palya_Current(), nullptr);
    EXPECT_EQ(TrGetShell()->field, nullptr);
}
