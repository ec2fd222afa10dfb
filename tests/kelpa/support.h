// Fixtures of the Kelpa tests: the framework started on the program folder (where the generated data
// lives), a host window standing in for the main program's, and a game run over it with messages
// posted before the loop starts.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kelpa/kelpa.h"
#include "vokplat/clock.h"
#include "vokplat/debug.h"
#include "vokplat/msgbox.h"
#include "vokscore/vokiface.h"
#include "win32/windows.h"

namespace kptest {

namespace fs = std::filesystem;

struct HostLog {
    std::vector<UINT> messages;
    std::function<void(UINT, WPARAM)> onMessage;
};
inline HostLog &hostLog()
{
    static HostLog log;
    return log;
}

inline LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    hostLog().messages.push_back(m);
    if (hostLog().onMessage)
        hostLog().onMessage(m, wp);
    return DefWindowProcA(w, m, wp, lp);
}

// The game's own window in this process. FindWindowA finds other processes' windows too (another
// test's game running at the same time), after this process's own: those are not this game's.
inline HWND ownKelpaWindow()
{
    HWND w = FindWindowA("BRMini", "Kelpa");
    return w != nullptr && GetWindowThreadProcessId(w, nullptr) != 0 ? w : nullptr;
}

inline HWND makeHost()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = hostProc;
        wc.lpszClassName = "kptesthost";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassA(&wc);
        registered = true;
    }
    return CreateWindowExA(0, "kptesthost", "host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                           nullptr);
}

// Every test starts from a module as it is after loading, the framework started, a host window.
class Game : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool started = false;
        if (!started) {
            PlatSetVirtualClock(TRUE);
            InitVokScore("Data\\");
            started = true;
        }
        hostLog() = HostLog();
        kpModule() = KpModule();
        kpSwitches() = KpSwitches();
        KpSetInterFaceSource(nullptr);
        face = VokGetInterFace(VOK_GAME_KELPA);
        ASSERT_NE(face, nullptr);
        savedRead = face->readRoot;
        host = makeHost();
        ASSERT_NE(host, nullptr);
        face->hostWnd = host;
        face->ownerWnd = host;
        face->hostDC = GetDC(host);
        face->windowMode = 0;
        face->gameKind = 101;
        face->levelFamily = 0;
        face->levelNumber = 1;
        face->language = 0;
        face->popupResult = 0;
        face->gameFlags = 0;
        PlatMsgBoxReset();
        PlatDebugOutputClear();
    }
    void TearDown() override
    {
        if (face != nullptr) {
            face->readRoot = savedRead;
            face->hostWnd = nullptr;
            face->hostDC = nullptr;
        }
        if (host != nullptr && IsWindow(host))
            DestroyWindow(host);
        KpSetInterFaceSource(nullptr);
        // Drain what a run left behind (a WM_QUIT of a destroyed window and the like).
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // Posts the messages to the host window, then a close, and runs the game to its end.
    int run(const std::vector<std::pair<UINT, WPARAM>> &messages = {})
    {
        for (const auto &[m, wp] : messages)
            PostMessageA(host, m, wp, 0);
        PostMessageA(host, WM_CLOSE, 0, 0);
        return KpStartKelpa();
    }
    std::string boxes()
    {
        char log[8192];
        PlatMsgBoxLog(log, sizeof log);
        return log;
    }

    VokInterFace *face = nullptr;
    char *savedRead = nullptr;
    HWND host = nullptr;
};

// The game set up over the host window without its loop: scene, screen, resources and level.
class SetUpGame : public Game {
protected:
    void SetUp() override
    {
        Game::SetUp();
        ASSERT_EQ(KpInitGame(), 1);
        kpModule().firstFramePending = 1;
        ASSERT_EQ(KpSetupGame(host, 1), 1);
    }
    void TearDown() override
    {
        KpShutdown();
        Game::TearDown();
    }
};

}  // namespace kptest
