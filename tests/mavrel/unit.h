// In-process fixture of the main program: a window of the program's class, the menu pictures from a
// pack of the test's own, and framework calls that the test answers and counts.
#pragma once

#include <unistd.h>

#include <vector>

#include "fixture.h"
#include "mavrel.h"
#include "vokplat/clock.h"
#include "vokplat/msgbox.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace mvtest {

struct FakeFramework {
    std::vector<unsigned> screens;   // ids asked for, in order
    std::vector<unsigned> progress;
    std::vector<int> sounds;
    int fades = 0;
    bool backdrop = false;
    // Per screen id: shown or not, and the result it leaves.
    std::map<unsigned, std::pair<int, int>> answers;
    uint32_t gameOfScreen = VOK_GAME_KELPA;
};

inline FakeFramework *g_fake = nullptr;

class Unit : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        base = fs::temp_directory_path() / ("mavrel_unit_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(base);
        fs::create_directories(base / "run");
        fs::permissions(base / "run", fs::perms::owner_all, fs::perm_options::replace);
        setenv("XDG_RUNTIME_DIR", (base / "run").c_str(), 1);
        setenv("VOK_ATOM_DIR", (base / "run" / "atoms").c_str(), 1);
        PlatSetVirtualClock(TRUE);
        PlatMsgBoxReset();
        mavrel::resetApp();
        mavrel::App &a = mavrel::app();
        a.instance = GetModuleHandleA(nullptr);
        a.face = VokGetInterFace(VOK_GAME_VARNEL);
        a.playerName = a.face->playerName;
        g_fake = &fake;
        mavrel::FrameworkCalls &fw = mavrel::framework();
        fw.popupScreen = [](unsigned id) {
            g_fake->screens.push_back(id);
            auto it = g_fake->answers.find(id);
            if (it == g_fake->answers.end())
                return 0;
            mavrel::app().face->popupResult = it->second.second;
            if (id == 17 || id == 18)
                mavrel::app().face->gameId = g_fake->gameOfScreen;
            return it->second.first;
        };
        fw.updateProgress = [](unsigned p) { g_fake->progress.push_back(p); };
        fw.backdropUp = [] { return g_fake->backdrop; };
        fw.fadeInGame = [] {
            g_fake->fades++;
            g_fake->backdrop = false;
            return 1;
        };
        fw.playMenuSound = [](int i) { g_fake->sounds.push_back(i); };
    }
    void TearDown() override
    {
        mavrel::App &a = mavrel::app();
        mavrel::freeMenuPictures();
        FFSetCurrentPack(nullptr);
        if (a.window != nullptr)
            DestroyWindow(a.window);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        mavrel::useDefaultFramework();
        g_fake = nullptr;
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("VOK_ATOM_DIR");
        std::error_code ec;
        fs::remove_all(base, ec);
    }

    void openWindow()
    {
        ASSERT_NE(mavrel::createMainWindow(), nullptr);
        mavrel::app().face->hostWnd = mavrel::app().window;
        ShowWindow(mavrel::app().window, SW_SHOW);
    }

    // The menu pictures as the program holds them, from a pack of the test's own that also carries
    // the first logo.
    void loadPictures()
    {
        write_menu_pack(base / "menu.fpk");
        std::vector<uint8_t> bytes = {};
        mavrel::App &a = mavrel::app();
        a.menuPack = FFOpenPack((base / "menu.fpk").c_str(), 0);
        ASSERT_NE(a.menuPack, nullptr);
        a.dib = CreateDIBuffer(640, 480, 15, nullptr);
        a.screen = PxMatchPixToDib(BR_PMT_RGB_555, a.dib);
        a.background = PxLoadPixP("alap.pix", 0);
        const char *names[] = {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"};
        for (int i = 0; i < 4; i++)
            a.highlights[i] = PxLoadPixP(names[i], 0);
        ASSERT_NE(a.background, nullptr);
        mavrel::drawMenu();
    }

    // The screen pixel map at x, y as 5 bits a channel.
    uint32_t screenAt(int x, int y)
    {
        const br_pixelmap *s = mavrel::app().screen;
        const uint8_t *row = static_cast<const uint8_t *>(s->pixels) + (s->base_y + y) * s->row_bytes;
        const uint16_t c = uint16_t(row[(s->base_x + x) * 2] | row[(s->base_x + x) * 2 + 1] << 8);
        return c & 0x7FFF;
    }

    static int cursorCount()
    {
        const int c = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        return c;
    }

    fs::path base;
    FakeFramework fake;
};

}  // namespace mvtest
