// TrDll.so as the main program loads it: what it exports, and start rounds with a load and an unload
// each, beside the 3D instances of the test program and of the 2D library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brpixmap.h>
#include <brondel/brv1db.h>

#include "elfsyms.h"
#include "terrow/trmsg.h"
#include "pannix/pxpix.h"
#include "vokscore/vokiface.h"
#include "win32/winmod.h"
#include "win32/winuser.h"

namespace {

const std::string kModule = std::string(VOK_BIN_DIR) + "/TrDll.so";

TEST(TrDllModule, ExportsTheEntriesAndThePhysicsNames)
{
    std::set<std::string> names = elfsyms::exported(kModule);
    for (const char *name : {"StartTerrow", "PlayTRL", "QueueLevel", "DD_FV3toBrV3", "DD_Mtx33toBrM34",
                             "DD_Mtx34toBrM34", "VokResourceTable"})
        EXPECT_TRUE(names.count(name)) << name;
    for (const std::string &n : names)
        EXPECT_FALSE(n.rfind("Br", 0) == 0 || n.rfind("Tr", 0) == 0 || n.rfind("Palya", 0) == 0)
            << n << " leaks out of the module";
}

TEST(TrDllModule, CarriesItsIconAndCursors)
{
    HMODULE m = LoadLibraryA(kModule.c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_NE(LoadIconA(m, MAKEINTRESOURCEA(132)), nullptr);
    for (int id : {111, 113, 114, 115, 116, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 131})
        EXPECT_NE(LoadCursorA(m, MAKEINTRESOURCEA(id)), nullptr) << id;
    EXPECT_EQ(LoadCursorA(m, MAKEINTRESOURCEA(112)), nullptr);
    FreeLibrary(m);
}

LRESULT CALLBACK host_proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

TEST(TrDllModule, LoadStartUnloadThreeTimesBesideOtherInstances)
{
    InitVokScore("Data\\");
    // The test program's own 3D instance, with a picture in its registry.
    ASSERT_EQ(BrBegin(), 0);
    br_pixelmap *probe = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    probe->identifier = (char *)"probe";
    BrMapAdd(probe);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = host_proc;
    wc.lpszClassName = "TrModuleHost";
    RegisterClassA(&wc);
    HWND host = CreateWindowA("TrModuleHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                              nullptr, nullptr);
    VokInterFace *face = VokGetInterFace(VOK_GAME_TERROW);
    face->hostWnd = host;
    face->gameKind = 100;
    face->windowMode = 0;
    for (int round = 0; round < 3; round++) {
        HMODULE m = LoadLibraryA(kModule.c_str());
        ASSERT_NE(m, nullptr) << round;
        auto start = reinterpret_cast<int32_t (*)(void)>(GetProcAddress(m, "StartTerrow"));
        ASSERT_NE(start, nullptr);
        EXPECT_NE(GetProcAddress(m, "QueueLevel"), nullptr);
        // The close request opens Terrow's screen 17; its Escape leaves the module.
        PostMessageA(host, WM_CLOSE, 0, 0);
        PostMessageA(host, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(start(), 0) << round;
        EXPECT_EQ((WNDPROC)GetWindowLongPtrA(host, GWLP_WNDPROC), host_proc) << round;
        EXPECT_TRUE(FreeLibrary(m));
        EXPECT_TRUE(IsWindow(host));
    }
    EXPECT_EQ(BrMapFind("probe"), probe) << "the module ended its own instance, not ours";
    br_pixelmap *px = PxAllocPix(BR_PMT_RGB_565, 8, 8, nullptr, 0);
    EXPECT_NE(px, nullptr) << "the 2D library's instance still works";
    PxFreePix(px);
    BrMapRemove(probe);
    probe->identifier = nullptr;
    BrPixelmapFree(probe);
    BrEnd();
    face->hostWnd = nullptr;
    DestroyWindow(host);
}

}  // namespace

namespace {

// The generated dictionaries, read by the game's own reader: every entry taken (a refused one is
// logged), the texts in their language.
TEST(TrDictionaries, GermanAndFrenchLoadWholly)
{
    struct Case {
        const char *file, *help, *balls;
    } cases[] = {{"ge.dic", "Hilfe: F1", "Bring %d B\xE4lle ins Ziel"}, {"fr.dic", "Aide : F1", "Amenez %d billes au but"}};
    for (const Case &c : cases) {
        TrResetMessages();
        TrClearErrorLog();
        ASSERT_EQ(TrLoadDictionary((std::string(VOK_BIN_DIR) + "/fw/" + c.file).c_str()), 1) << c.file;
        EXPECT_STREQ(TrErrorLog(), "") << c.file;
        EXPECT_STREQ(TrMessage(1), c.help);
        EXPECT_STREQ(TrMessage(52), c.balls);
        EXPECT_NE(std::string(TrMessage(0)).find('\n'), std::string::npos) << "two lines stay two lines";
        EXPECT_EQ(std::string(TrMessage(0)).find('\r'), std::string::npos);
    }
    TrResetMessages();
}

}  // namespace

namespace {

// trplay as a player starts it: Fenlow opens on the default field, Escape closes it, and the capture
// shows the field (a blank or black window packs into a few hundred bytes).
TEST(TrPlay, EditorOpensShowsTheFieldAndEscapeClosesIt)
{
    const std::string dir = "/tmp/trplay_test_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    {
        FILE *f = fopen((dir + "/script.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs("400 capture ", f);
        // Escape leaves the field for Terrow's screen 17, whose Escape leaves the module.
        fputs((dir + "/editor.png\n+100 key ESCAPE\n+1500 key ESCAPE\n").c_str(), f);
        fclose(f);
    }
    const std::string cmd = "cd " + dir + " && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 VOK_IDLE_QUIT_MS=20000 VOK_INPUT_SCRIPT=" +
                            dir + "/script.txt VOK_CAPTURE=" + dir + "/end.png timeout 120 " + VOK_BIN_DIR +
                            "/trplay --editor >" + dir + "/out.txt 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(std::filesystem::exists(dir + "/editor.png"));
    EXPECT_GT(std::filesystem::file_size(dir + "/editor.png"), 8000u) << "the field is drawn";
    EXPECT_TRUE(std::filesystem::exists(dir + "/end.png"));
    std::filesystem::remove_all(dir);
}

}  // namespace
