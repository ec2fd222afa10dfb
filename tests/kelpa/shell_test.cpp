// The module's start, window, display mode, loop, window procedure and text table.
#include <string.h>

#include <png.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "pannix/pxpix.h"
#include "kelpa/kprules.h"
#include "vokplat/savefile.h"
#include "vokplat/window.h"
#include "vokscore/vokpath.h"
#include "support.h"

using namespace kptest;

namespace {

VokInterFace *noRecord(uint32_t)
{
    return nullptr;
}

int g_actionCalls[KP_BTN_COUNT];
int countAction(KpButton *b)
{
    for (int i = 0; i < KP_BTN_COUNT; i++)
        if (kpButton(i) == b)
            g_actionCalls[i]++;
    return 0;
}

}  // namespace

TEST_F(Game, StartOverTheHostWindowSubclassesItAndGivesItBack)
{
    const LONG_PTR before = GetWindowLongPtrA(host, GWLP_WNDPROC);
    bool subclassed = false;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 5)
            subclassed = GetWindowLongPtrA(host, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(KpWndProc);
    };
    EXPECT_EQ(run({{WM_USER + 5, 0}}), 0);
    // The message the game does not answer reached the host's own procedure, through the game's.
    EXPECT_TRUE(subclassed);
    EXPECT_EQ(GetWindowLongPtrA(host, GWLP_WNDPROC), before);
    EXPECT_EQ(kpModule().gameWindow, host);
    // The record was closed: the settings slot points at the framework's copy again.
    EXPECT_NE(face->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE], &kpSettings());
    EXPECT_EQ(kpModule().savedHostProc, nullptr);
    EXPECT_EQ(kpRenderer().screen, nullptr);  // freed at shut-down
    EXPECT_EQ(kpRenderer().scene, nullptr);
}

TEST_F(Game, WithoutARecordTheStartFailsWithABoxAndLeavesTheHostAlone)
{
    const LONG_PTR before = GetWindowLongPtrA(host, GWLP_WNDPROC);
    KpSetInterFaceSource(noRecord);
    EXPECT_EQ(KpStartKelpa(), 0);
    const std::string log = boxes();
    EXPECT_NE(log.find("caption=\"VOK ERROR\" text=\"Interface request failed!\""), std::string::npos) << log;
    EXPECT_EQ(GetWindowLongPtrA(host, GWLP_WNDPROC), before);
}

TEST_F(Game, WindowModeAboveZeroHoldsTheSixteenBitModeWhileItRuns)
{
    face->windowMode = 1;
    const int wBefore = GetSystemMetrics(SM_CXSCREEN);
    int wDuring = 0, bitsDuring = 0;
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 7) {
            wDuring = GetSystemMetrics(SM_CXSCREEN);
            bitsDuring = GetDeviceCaps(face->hostDC, BITSPIXEL);
        }
    };
    EXPECT_EQ(run({{WM_USER + 7, 0}}), 0);
    EXPECT_EQ(wDuring, 640);
    EXPECT_EQ(bitsDuring, 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), wBefore);
    EXPECT_EQ(kpModule().directDraw, nullptr);
    EXPECT_EQ(kpModule().directDraw2, nullptr);
}

TEST_F(Game, PlayKpOpensACentredChildAndLeavesTheRecordOpen)
{
    // A replay of one frame on the built-in board under the name the caller gives.
    {
        KpLevelFile level;
        KpDefaultHeader(level.header);
        level.board[120] = KP_CELL_EXIT;
        uint8_t body[kKpLevelBytes];
        KpEncodeLevel(level, body);
        std::vector<uint8_t> rep = {4, 0, 0, 0, 1, 2, 3, 4, 4};
        rep.insert(rep.end(), 12, 0);
        rep.insert(rep.end(), body, body + kKpLevelBytes);
        rep.insert(rep.end(), {0, 0, 0, 0, 0, 0, 0});
        ASSERT_TRUE(PlatSaveFile(VokMakeWritePath("kp\\", "game.rep"), rep.data(), rep.size()));
    }
    // The embedded game does not touch the host window; its own window is closed by hand.
    HWND parent = host;
    face->hostWnd = nullptr;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    HWND own = nullptr;
    RECT r = {};
    // The close goes to the game's window once it exists: the first tick finds it.
    KpSetAfterDraw(nullptr);
    PostMessageA(parent, WM_USER + 9, 0, 0);
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 9) {
            own = ownKelpaWindow();
            if (own != nullptr) {
                GetWindowRect(own, &r);
                PostMessageA(own, WM_CLOSE, 0, 0);
            }
        }
    };
    EXPECT_EQ(KpPlayKp(parent, 0, "game.rep"), 0);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(GetParent(own), parent);
    EXPECT_EQ(r.left, sw / 2 - 320);
    EXPECT_EQ(r.top, sh / 2 - 240);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(face->gameKind, 101);
    EXPECT_NE(face->gameFlags & VOK_GF_REPLAY, 0u);
    EXPECT_STREQ(face->titleText, "game.rep");
    // The record was not closed: the Kelpa settings slot still points at the module's copy.
    EXPECT_EQ(face->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE], &kpSettings());
    EXPECT_EQ(kpModule().embedded, 0);
    DestroyWindow(own);
    // A name longer than the title is not copied past it.
    std::string longName(400, 'r');
    PostMessageA(parent, WM_USER + 9, 0, 0);
    own = nullptr;
    EXPECT_EQ(KpPlayKp(parent, 0, longName.c_str()), 0);
    EXPECT_STREQ(face->titleText, "");
    if (own != nullptr)
        DestroyWindow(own);
}

TEST_F(SetUpGame, ClickActivationDoesNotCountAsReactivation)
{
    KpWndProc(host, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(kpModule().reactivated, 0);
    KpWndProc(host, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(kpModule().reactivated, 1);
    KpWndProc(host, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(kpModule().inactive, 1);
    EXPECT_EQ(kpModule().autoPaused, 0);  // no level running
}

TEST_F(SetUpGame, KeysClickTheirButtons)
{
    struct Case {
        WPARAM key;
        int button;
    } cases[] = {{VK_RETURN, KP_BTN_START}, {VK_ESCAPE, KP_BTN_MENU}, {VK_HOME, KP_BTN_RESET}, {VK_F1, KP_BTN_HELP},
                 {39, KP_BTN_START}, {37, KP_BTN_START}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        memset(g_actionCalls, 0, sizeof g_actionCalls);
        for (int i = 0; i < KP_BTN_COUNT; i++)
            if (kpButton(i) != nullptr)
                kpButton(i)->action = countAction;
        KpWndProc(host, WM_KEYDOWN, c.key, 0);
        for (int i = 0; i < KP_BTN_COUNT; i++)
            EXPECT_EQ(g_actionCalls[i], i == c.button ? 1 : 0) << "button " << i;
        // The start button is two-state: put it back.
        KpSetButtonState(kpButton(KP_BTN_START), 0);
    }
    // A turn key during a replay does nothing.
    face->gameFlags |= VOK_GF_REPLAY;
    memset(g_actionCalls, 0, sizeof g_actionCalls);
    KpWndProc(host, WM_KEYDOWN, 39, 0);
    EXPECT_EQ(g_actionCalls[KP_BTN_START], 0);
    face->gameFlags &= ~VOK_GF_REPLAY;
}

TEST_F(SetUpGame, LevelCommandsPickTheLevelOnlyWhileNoLevelRuns)
{
    struct Case {
        int command, level;
    } cases[] = {{40002, 1}, {40008, 2}, {40010, 4}, {40014, 8}, {40021, 9}};
    for (const Case &c : cases) {
        kpObjects().levelRunning = 0;
        KpWndProc(host, WM_COMMAND, WPARAM(c.command), 0);
        EXPECT_EQ(kpModule().levelCommand, c.level) << c.command;
        kpObjects().levelRunning = 1;
        KpWndProc(host, WM_COMMAND, 40002, 0);
        EXPECT_EQ(kpModule().levelCommand, c.level) << c.command;
    }
    kpObjects().levelRunning = 0;
    KpWndProc(host, WM_COMMAND, 40007, 0);
    EXPECT_EQ(kpObjects().paused, 1);
    KpWndProc(host, WM_COMMAND, 40007, 0);
    EXPECT_EQ(kpObjects().paused, 0);
    // 40001 closes the game's window.
    KpWndProc(host, WM_COMMAND, 40001, 0);
    MSG msg;
    bool closed = false;
    while (PeekMessageA(&msg, host, 0, 0, PM_REMOVE))
        closed = closed || msg.message == WM_CLOSE;
    EXPECT_TRUE(closed);
}

TEST_F(SetUpGame, TheScreenSaverIsHeldOffOnlyDuringReplayPlayback)
{
    kpModule().savedHostProc = hostProc;
    hostLog().messages.clear();
    KpWndProc(host, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_EQ(std::count(hostLog().messages.begin(), hostLog().messages.end(), UINT(WM_SYSCOMMAND)), 1);
    face->gameFlags |= VOK_GF_REPLAY;
    KpWndProc(host, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_EQ(std::count(hostLog().messages.begin(), hostLog().messages.end(), UINT(WM_SYSCOMMAND)), 1);
    face->gameFlags &= ~VOK_GF_REPLAY;
    kpModule().savedHostProc = nullptr;
}

TEST(KelpaTexts, EachLanguageHasItsCellAndLaterLanguagesReadUs)
{
    EXPECT_STREQ(KpGetText(0, 2), "REPLAY");
    EXPECT_STREQ(KpGetText(1, 7), "Beginner");
    EXPECT_STREQ(KpGetText(2, 2), "WIEDERHOLUNG");
    EXPECT_STREQ(KpGetText(3, 3), "JOUEUR: %s");
    EXPECT_STREQ(KpGetText(4, 2), "REPLAY");
    EXPECT_STREQ(KpGetText(9, 11), "Grandmaster");
    // German and French are Windows-1252 bytes.
    const char *gross = KpGetText(2, 11);
    ASSERT_EQ(strlen(gross), 11u);
    EXPECT_EQ(static_cast<unsigned char>(gross[3]), 0xDFu);
    EXPECT_EQ(static_cast<unsigned char>(KpGetText(3, 6)[5]), 0xE9u);
    EXPECT_EQ(static_cast<unsigned char>(KpGetText(2, 7)[3]), 0xE4u);
    for (int row = 0; row < 12; row++)
        for (int lang = 0; lang < 4; lang++)
            EXPECT_LT(strlen(KpGetText(lang, row)), 100u);
}

TEST_F(Game, TwoStartsInARowRunAndFreeEverything)
{
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(kpRenderer().screen, nullptr);
        EXPECT_EQ(kpButtonList(), nullptr);
        EXPECT_FALSE(kpRenderer().begun);
        PlatMsgBoxReset();
    }
}

TEST_F(Game, KpDllAndPannixKeepTheirOwn3DInstances)
{
    // A picture of the 2D library's instance outlives the game's instance beginning and ending.
    br_pixelmap *before = PxAllocPix(BR_PMT_RGB_565, 32, 32, nullptr, 0);
    ASSERT_NE(before, nullptr);
    HMODULE dll = LoadLibraryA(VOK_BIN_DIR "/KpDll");
    ASSERT_NE(dll, nullptr);
    using Start = int (*)();
    Start start = reinterpret_cast<Start>(GetProcAddress(dll, "StartKelpa"));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(GetProcAddress(dll, "KpStartKelpa"), nullptr);  // nothing else leaves the module
    PostMessageA(host, WM_CLOSE, 0, 0);
    EXPECT_EQ(start(), 0);
    PxFillPix(before, 0x1234);
    br_pixelmap *after = PxAllocPix(BR_PMT_RGB_565, 16, 16, nullptr, 0);
    EXPECT_NE(after, nullptr);
    PxFreePix(after);
    PxFreePix(before);
    FreeLibrary(dll);
}

namespace {

struct Png {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *at(int x, int y) const { return &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
};

bool readPng(const std::string &path, Png &out)
{
    png_image im = {};
    im.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&im, path.c_str()))
        return false;
    im.format = PNG_FORMAT_RGB;
    out.w = int(im.width);
    out.h = int(im.height);
    out.rgb.resize(PNG_IMAGE_SIZE(im));
    return png_image_finish_read(&im, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

}  // namespace

TEST(KelpaRun, KprunCapturesAFinishedFirstFrame)
{
    const fs::path dir = fs::temp_directory_path() / ("kelpa_run_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // A relative name is the caller's: kprun runs in `dir` and the picture lands there.
    const std::string command = "cd '" + dir.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 '" KPRUN_PATH
                                "' --lang 2 --out first.png > run.log 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << command;
    Png png;
    ASSERT_TRUE(readPng((dir / "first.png").string(), png));
    ASSERT_EQ(png.w, 640);
    ASSERT_EQ(png.h, 480);
    auto rgb = [&](int x, int y) {
        const uint8_t *p = png.at(x, y);
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    // The start button (green), the speed button (violet), the reset button (red) on their plates.
    auto start = rgb(20, 430), speed = rgb(510, 420), reset = rgb(615, 430);
    EXPECT_GT(start[1], start[0] + 60);
    EXPECT_GT(speed[2], speed[1] + 50);
    EXPECT_GT(reset[0], reset[1] + 60);
    // The dark backdrop at the left edge.
    for (int c : rgb(5, 240))
        EXPECT_LT(c, 60);
    // The board's slate tiles fill the middle; the exit's green ring glows at the near corner.
    int slate = 0, cubes = 0;
    for (int y = 150; y < 350; y++)
        for (int x = 200; x < 440; x++) {
            auto p = rgb(x, y);
            const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
            if (lo > 50 && hi < 200 && hi - lo < 50)
                slate++;
            if (hi - lo > 90)
                cubes++;  // strongly coloured: the cubes' frames and cores
        }
    EXPECT_GT(slate, 8000);
    EXPECT_GT(cubes, 1000);
    auto ring = rgb(320, 388);
    EXPECT_GT(ring[1], ring[0] + 50);
    fs::remove_all(dir);
}

// kprun's --speed is the run's speed even where the player's list holds another, and the list keeps
// the player's own afterwards. The run has a program folder of its own (its players.lst).
TEST(KelpaRun, TheCommandLineSpeedWinsOverThePlayersList)
{
    const fs::path dir = fs::temp_directory_path() / ("kelpa_speed_" + std::to_string(getpid()));
    const fs::path bin = fs::path(KPRUN_PATH).parent_path();
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto &e : fs::directory_iterator(bin)) {
        const std::string name = e.path().filename().string();
        // The framework's folder is where its library lies: that one is copied, not linked.
        if (name == "kprun" || name == "VokScore.so")
            fs::copy_file(e.path(), dir / name);
        else if (name != "players.lst")
            fs::create_symlink(e.path(), dir / name);
    }
    std::ofstream(dir / "players.lst") << "5<Tester          >\nTester\n";
    auto speedOfRun = [&](const char *arguments) {
        const std::string command = "cd '" + dir.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_LOG=log.txt ./kprun " +
                                    arguments + " --kind 100 --level 0 --out first.png > run.log 2>&1";
        fs::remove(dir / "log.txt");
        EXPECT_EQ(system(command.c_str()), 0) << command;
        std::ifstream logFile(dir / "log.txt");
        const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
        const size_t at = log.find("set-up seed 0 speed ");
        return at == std::string::npos ? -1 : atoi(log.c_str() + at + 20);
    };
    auto listed = [&]() {
        std::ifstream in(dir / "players.lst");
        std::string line;
        std::getline(in, line);
        return line;
    };
    EXPECT_EQ(speedOfRun(""), 5);
    EXPECT_EQ(speedOfRun("--speed 7"), 7);
    EXPECT_EQ(listed(), "5<Tester          >");
    EXPECT_EQ(speedOfRun("--speed 0"), 0);
    EXPECT_EQ(listed(), "5<Tester          >");
    EXPECT_FALSE(fs::exists(dir / "kprun_speed.txt"));
    // A run that died at its own speed left that speed in the list: the next run puts the player's back.
    std::ofstream(dir / "players.lst") << "7<Tester          >\nTester\n";
    std::ofstream(dir / "kprun_speed.txt") << "5 7 Tester\n";
    EXPECT_EQ(speedOfRun(""), 5);
    EXPECT_EQ(listed(), "5<Tester          >");
    EXPECT_FALSE(fs::exists(dir / "kprun_speed.txt"));
    fs::remove_all(dir);
}

TEST(KelpaRun, TheFamiliesLayOutTheirBoards)
{
    const fs::path dir = fs::temp_directory_path() / ("kelpa_boards_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // Strongly coloured pixels over the board: the cubes standing on it.
    auto cubePixels = [&](const char *args, const char *name) {
        const std::string command = "cd '" + dir.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 '" KPRUN_PATH
                                    "' " + std::string(args) + " --out " + name + " > run.log 2>&1";
        EXPECT_EQ(system(command.c_str()), 0) << command;
        Png png;
        if (!readPng((dir / name).string(), png))
            return -1;
        int n = 0;
        for (int y = 110; y < 400; y++)
            for (int x = 60; x < 580; x++) {
                const uint8_t *p = png.at(x, y);
                const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
                n += hi - lo > 90;
            }
        return n;
    };
    const int beginner = cubePixels("--kind 101 --family 0", "b1.png");
    const int grandmaster = cubePixels("--kind 101 --family 4", "b5.png");
    const int curious = cubePixels("--kind 100 --family 1 --level 3", "c4.png");
    EXPECT_GT(beginner, 1000);
    // Board 5 holds 75 cubes, board 1 15.
    EXPECT_GT(grandmaster, 3 * beginner);
    // Curious 4 comes from its level file: more cubes than board 1, fewer than board 5.
    EXPECT_GT(curious, beginner);
    EXPECT_LT(curious, grandmaster);
    fs::remove_all(dir);
}

namespace {
int g_buttonsAtDraw = 0;
void countButtons()
{
    int n = 0;
    for (KpButton *b = kpButtonList(); b != nullptr; b = b->next)
        n++;
    g_buttonsAtDraw = n;
}
}  // namespace

TEST_F(Game, AWindowOfItsOwnIsSetUpOnce)
{
    // No host window: the game makes "BRMini"; its creation must not run the set-up a second time
    // (that would load every resource and button twice).
    face->hostWnd = nullptr;
    g_buttonsAtDraw = 0;
    KpSetAfterDraw(countButtons);
    PostQuitMessage(0);
    EXPECT_EQ(KpStartKelpa(), 0);
    KpSetAfterDraw(nullptr);
    EXPECT_EQ(g_buttonsAtDraw, KP_BTN_COUNT);
    HWND own = ownKelpaWindow();
    ASSERT_NE(own, nullptr);
    RECT r;
    GetWindowRect(own, &r);
    EXPECT_EQ(r.right - r.left, 640);
    DestroyWindow(own);
}

namespace {

fs::path shellTemp(const char *name)
{
    const fs::path p = fs::temp_directory_path() / ("kelpa_shell_" + std::to_string(getpid())) / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

std::string rootOf(const fs::path &p)
{
    std::string s = p.string();
    std::replace(s.begin(), s.end(), '/', '\\');
    return s + "\\";
}

}  // namespace

TEST_F(Game, TheLoadedModuleGivesTheHostBackOnEveryPathAndLoadsAgain)
{
    // The packs as the game finds them: whole, missing, with cube models the 3D library fails on
    // while reading them.
    const fs::path none = shellTemp("none"), broken = shellTemp("broken");
    fs::create_directories(broken / "kp");
    for (const auto &e : fs::directory_iterator(fs::path(VOK_BIN_DIR) / "kp"))
        fs::create_symlink(e.path(), broken / "kp" / e.path().filename());
    for (const char *model : {"Kockaa.mod", "Kockab.mod"}) {
        fs::remove(broken / "kp" / model);
        std::ofstream f(broken / "kp" / model, std::ios::binary | std::ios::trunc);
        f << "*FILE_INFO 1\n  type MODEL\n  name \"half\n";  // a text model cut off in its first chunk
    }
    // And once with every pack cut off at an odd place past its directory.
    const fs::path cut = shellTemp("cut");
    fs::create_directories(cut / "kp");
    for (const auto &e : fs::directory_iterator(fs::path(VOK_BIN_DIR) / "kp")) {
        std::ifstream in(e.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bytes.resize(bytes.size() / 3 + 7);
        std::ofstream(cut / "kp" / e.path().filename(), std::ios::binary) << bytes;
    }
    const std::string whole = savedRead != nullptr ? savedRead : "", missing = rootOf(none),
                      badModels = rootOf(broken), cutPacks = rootOf(cut);
    const LONG_PTR before = GetWindowLongPtrA(host, GWLP_WNDPROC);
    for (int load = 0; load < 2; load++) {
        SCOPED_TRACE(load);
        HMODULE dll = LoadLibraryA(VOK_BIN_DIR "/KpDll");
        ASSERT_NE(dll, nullptr);
        using Start = int (*)();
        using Play = int (*)(HWND, int, const char *);
        Start start = reinterpret_cast<Start>(GetProcAddress(dll, "StartKelpa"));
        Play play = reinterpret_cast<Play>(GetProcAddress(dll, "PlayKp"));
        ASSERT_NE(start, nullptr);
        ASSERT_NE(play, nullptr);
        for (const std::string *root : {&whole, &missing, &badModels, &cutPacks}) {
            SCOPED_TRACE(*root);
            face->readRoot = const_cast<char *>(root->c_str());
            face->hostWnd = host;
            bool subclassed = false;
            fs::path folder;
            hostLog().onMessage = [&](UINT m, WPARAM) {
                if (m == WM_USER + 5) {
                    subclassed = GetWindowLongPtrA(host, GWLP_WNDPROC) != before;
                    folder = fs::current_path();
                }
            };
            PostMessageA(host, WM_USER + 5, 0, 0);
            PostMessageA(host, WM_CLOSE, 0, 0);
            PlatDebugOutputClear();
            EXPECT_EQ(start(), 0);
            EXPECT_TRUE(subclassed);
            // The game works in the folder beside the module.
            EXPECT_EQ(folder, fs::canonical(fs::path(VOK_BIN_DIR) / "Kelpa"));
            if (root == &badModels) {
                // The models' failure went to the module's own handler, which returned.
                char out[4096];
                PlatDebugOutput(out, sizeof out);
                EXPECT_NE(strstr(out, "Failure"), nullptr) << out;
            }
            EXPECT_EQ(GetWindowLongPtrA(host, GWLP_WNDPROC), before);
        }
        // A replay in a window of the module's own, closed from outside once it runs.
        face->readRoot = savedRead;
        face->hostWnd = nullptr;
        HWND own = nullptr;
        void *&slot = face->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE];
        void *moduleSettings = nullptr;
        hostLog().onMessage = [&](UINT m, WPARAM) {
            if (m == WM_USER + 9 && (own = ownKelpaWindow()) != nullptr) {
                moduleSettings = slot;
                PostMessageA(own, WM_CLOSE, 0, 0);
            }
        };
        PostMessageA(host, WM_USER + 9, 0, 0);
        EXPECT_EQ(play(host, 0, "none.rep"), 0);
        EXPECT_NE(own, nullptr);
        // The replay leaves the record open, its settings slot on the module's copy, and its window
        // standing: the unload takes both back.
        EXPECT_EQ(slot, moduleSettings);
        hostLog().onMessage = nullptr;
        FreeLibrary(dll);
        EXPECT_NE(slot, moduleSettings);
        EXPECT_FALSE(own != nullptr && IsWindow(own));
        // The replay's flag stays in the record until the host chooses the next level, as its game
        // screen does; a start with it set would look for a replay.
        face->gameFlags &= ~VOK_GF_REPLAY;
    }
    fs::remove_all(none.parent_path());
}

TEST_F(Game, WhatOneGameLeftRaisedDoesNotGreetTheNext)
{
    // Closed in the middle of a blink with a level chosen, paused by a lost focus, the mouse on a button.
    hostLog().onMessage = [&](UINT m, WPARAM) {
        if (m == WM_USER + 11) {
            kpSwitches().blinkMode = 1;
            kpSwitches().paletteMode = 1;
            kpSwitches().presentSuppressed = 1;
            kpSwitches().sceneLive = 0;
            kpModule().levelCommand = 4;
            kpModule().autoPaused = 1;
            kpModule().inactive = 1;
            // A recorded level: its frame count would let the next game's first level turn early.
            kpReplay().recordingOn = 1;
            kpReplay().framesWritten = 3;
            kpReplay().frames.assign(10, 1);
        }
    };
    EXPECT_EQ(run({{WM_USER + 11, 0}}), 0);
    EXPECT_EQ(kpReplay().recordingOn, 0);
    EXPECT_EQ(kpReplay().framesWritten, 0);
    EXPECT_TRUE(kpReplay().frames.empty());
    const KpSwitches fresh, &s = kpSwitches();
    EXPECT_EQ(memcmp(&s, &fresh, sizeof fresh), 0);
    EXPECT_EQ(kpModule().levelCommand, 0);
    EXPECT_EQ(kpModule().autoPaused, 0);
    EXPECT_EQ(kpModule().inactive, 0);
}

TEST_F(Game, PlayKpWithAMissingReplaySaysSoAndEnds)
{
    DeleteFileA(VokMakeWritePath("kp\\", "missing.rep"));
    face->hostWnd = nullptr;
    // Nobody answers the message screen: the idle wait ends it soon.
    setenv("VOK_IDLE_QUIT_MS", "300", 1);
    EXPECT_EQ(KpPlayKp(host, 0, "missing.rep"), 0);
    unsetenv("VOK_IDLE_QUIT_MS");
    ASSERT_NE(face->messageText, nullptr);
    EXPECT_NE(strstr(face->messageText, "Cannot open"), nullptr) << face->messageText;
    EXPECT_EQ(ownKelpaWindow(), nullptr);
    EXPECT_EQ(kpModule().embedded, 0);
}

// "Standard 1" won live by keys at their frames (the set-up's seed is 0 on the virtual clock, the
// speed the player's list gives), the win animation caught while it plays, the results screen with
// its moving preview, and the game's replay played back to the same win.
TEST(KelpaRun, AScriptedGameWinsStandard1AndShowsTheWinAnimation)
{
    const fs::path dir = fs::temp_directory_path() / ("kelpa_win_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The start click at 500 ms; the level's frame 0 runs at 780 ms, one frame every 25 ms.
    const char *keys = "38s 102l 105L 165r 167R 226r 227R 249r 250R 279r 283R 313r 314R 354l 357L 386s 420r "
                       "421R 427l 429L 444l 446L 479l 480L 492l 495L 538l 540L";
    std::ofstream script(dir / "win.txt");
    script << "500 click 20 460\n";
    for (const char *p = keys; *p != '\0';) {
        char *end = nullptr;
        const long frame = strtol(p, &end, 10);
        const char *command = *end == 'l' ? "keydown LEFT" : *end == 'L' ? "keyup LEFT" : *end == 'r' ? "keydown RIGHT"
                              : *end == 'R' ? "keyup RIGHT" : "key SPACE";
        script << 780 + 25 * frame << " " << command << "\n";
        p = end + 1;
        while (*p == ' ')
            p++;
    }
    const fs::path glow = dir / "glow.png", results1 = dir / "results1.png", results2 = dir / "results2.png";
    script << "16500 capture " << glow.string() << "\n19000 capture " << results1.string() << "\n29000 capture "
           << results2.string() << "\n+1000 close\n";
    script.close();
    // Kind 100 keeps a level's first replay: an older one goes, so that this game's replay is kept.
    const fs::path replays = fs::path(KPRUN_PATH).parent_path() / "kp";
    auto levelReplay = [&]() {
        for (const auto &e : fs::directory_iterator(replays)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("kp_", 0) == 0 && name.size() > 8 && name.compare(name.size() - 8, 8, "_0_0.rep") == 0)
                return e.path();
        }
        return fs::path();
    };
    for (fs::path old = levelReplay(); !old.empty(); old = levelReplay())
        fs::remove(old);
    const std::string command = "cd '" + dir.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_INPUT_SCRIPT='" +
                                (dir / "win.txt").string() + "' VOK_LOG='" + (dir / "log.txt").string() + "' '" KPRUN_PATH
                                "' --kind 100 --level 0 > run.log 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << command;
    std::ifstream logFile(dir / "log.txt");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("kelpa win animation over"), std::string::npos) << "the level was not won";
    // Yellow glows along the path while the animation plays.
    Png png;
    ASSERT_TRUE(readPng(glow.string(), png));
    int yellow = 0;
    for (int y = 0; y < png.h; y++)
        for (int x = 0; x < png.w; x++) {
            const uint8_t *p = png.at(x, y);
            yellow += p[0] > 200 && p[1] > 200 && p[2] < 120;
        }
    EXPECT_GT(yellow, 300);
    // The results screen's preview moves: two pictures ten seconds apart differ over the board, and the
    // board is there behind the glows.
    Png a, b;
    ASSERT_TRUE(readPng(results1.string(), a));
    ASSERT_TRUE(readPng(results2.string(), b));
    int differ = 0, slate = 0;
    for (int y = 100; y < 400; y++)
        for (int x = 60; x < 580; x++) {
            const uint8_t *p = a.at(x, y), *q = b.at(x, y);
            differ += memcmp(p, q, 3) != 0;
            const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
            slate += lo > 50 && hi < 200 && hi - lo < 50;
        }
    EXPECT_GT(differ, 20);
    EXPECT_GT(slate, 8000);
    // The game's replay, shown through PlayKp, wins the same way and ends with its window.
    const fs::path replay = levelReplay();
    ASSERT_FALSE(replay.empty()) << "no replay of the won level in " << replays;
    fs::copy_file(replay, dir / "won.rep");
    const std::string play = "cd '" + dir.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_LOG='" +
                             (dir / "play.txt").string() + "' '" KPRUN_PATH "' --play won.rep > play.log 2>&1";
    ASSERT_EQ(system(play.c_str()), 0) << play;
    std::ifstream playFile(dir / "play.txt");
    const std::string played((std::istreambuf_iterator<char>(playFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(played.find("kelpa win animation over 15 path cells"), std::string::npos);
    EXPECT_NE(log.find("kelpa win animation over 15 path cells"), std::string::npos);
    fs::remove_all(dir);
}
