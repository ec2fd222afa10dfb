// Automation and the rest: the input script, message-box answers, the DirectDraw mode switch, the
// idle rule of GetMessage, and FindWindowA reaching a window of another process.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "helpers.h"
#include "win32/ddraw.h"

extern char** environ;

namespace {

TEST(Script, DrivesKeysCharsMouseAndClose) {
    recs().clear();
    HWND h = CreateWindowExA(0, rec_class(CS_DBLCLKS, "scripted"), "Script target", WS_POPUP | WS_VISIBLE, 100, 50,
                             64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(VokLoadInputScriptText(
        "# comment\n"
        "0 window Script target\n"
        "+10 move 5 6\n"
        "+10 dblclick 5 6\n"
        "+10 char a?\n"
        "+10 key ESCAPE\n"
        "15 answer yes\n"
        "+0 answer IDCANCEL\n"
        "+100 close\n"));
    // The script's answers wait in the message-box queue, in order.
    EXPECT_EQ(MessageBoxA(nullptr, "first", "script", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "second", "script", MB_OKCANCEL), IDCANCEL);
    MSG m;
    std::string chars;
    while (GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_CHAR) chars.push_back(static_cast<char>(m.wParam));
        TranslateMessage(&m);
        DispatchMessageA(&m);
        if (!IsWindow(h)) break;
    }
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(chars, "a?\x1b");
    EXPECT_EQ(msgs_of(h, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_CLOSE}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_CLOSE}));
    EXPECT_EQ(msgs_of(h, {WM_MOUSEMOVE}).size(), 2u);
    auto it = std::find_if(recs().begin(), recs().end(), [](const Rec& r) { return r.msg == WM_LBUTTONDOWN; });
    EXPECT_EQ(GET_X_LPARAM(it->lp), 5);
    EXPECT_EQ(GET_Y_LPARAM(it->lp), 6);
    POINT cur;
    GetCursorPos(&cur);
    EXPECT_EQ(cur.x, 105);
    EXPECT_EQ(cur.y, 56);
    // WM_SETCURSOR comes before each mouse message.
    EXPECT_FALSE(msgs_of(h, {WM_SETCURSOR}).empty());
}

TEST(Script, BadScriptsAreRefused) {
    EXPECT_FALSE(VokLoadInputScriptText("10 jump 1 2\n"));
    EXPECT_FALSE(VokLoadInputScriptText("ten key A\n"));
    EXPECT_FALSE(VokLoadInputScriptText("10 key NOSUCHKEY\n"));
    EXPECT_FALSE(VokLoadInputScriptText("10 click 5\n"));
    EXPECT_FALSE(VokLoadInputScriptText("10 answer maybe\n"));
    EXPECT_FALSE(VokLoadInputScript("/nonexistent/script.txt"));
    EXPECT_TRUE(VokLoadInputScriptText(""));
}

TEST(Messages, NothingCanArriveEndsTheWait) {
    // Headless, no timer, no script, no other thread: GetMessage answers WM_QUIT instead of hanging.
    MSG m;
    drain();
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
}

TEST(DirectDraw, ModeSwitchChangesTheScreenAndRestores) {
    HWND h = CreateWindowExA(0, rec_class(), "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                             nullptr);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    LPDIRECTDRAW2 dd2 = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)), S_OK);
    GUID bogus{1, 2, 3, {4}};
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(dd->QueryInterface(bogus, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(dd2->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(dd2->SetCooperativeLevel(h, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd2->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd2->SetCooperativeLevel(h, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd2->SetDisplayMode(640, 480, 12, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(dd2->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    // A second object cannot take the screen meanwhile.
    LPDIRECTDRAW other = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    EXPECT_EQ(other->SetCooperativeLevel(h, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(other->Release(), 0u);
    VokPump();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), sw);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), sh);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    ReleaseDC(nullptr, dc);
    // Releasing the last reference while a mode is set gives the screen back too.
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_EQ(dd2->Release(), 1u);
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), sw);
    LPDIRECTDRAW bad = nullptr;
    EXPECT_EQ(DirectDrawCreate(&bogus, &bad, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    EXPECT_EQ(bad, nullptr);
    DestroyWindow(h);
}

TEST(FindWindow, FindsAndRaisesAWindowOfAnotherProcess) {
    std::string peer = std::string(VOK_TEST_BIN_DIR) + "/platform_window_peer";
    std::string ready = std::string(VOK_TEST_BIN_DIR) + "/platform_window_peer.ready";
    std::remove(ready.c_str());
    char* argv[] = {const_cast<char*>(peer.c_str()), const_cast<char*>(ready.c_str()), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, peer.c_str(), nullptr, nullptr, argv, environ), 0);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (access(ready.c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Other test programs running beside this one may own "vokclass" windows too: ask for the peer's title.
    HWND h = FindWindowA("vokclass", "Peer");
    ASSERT_TRUE(h);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_EQ(FindWindowA("vokclass", "another title"), nullptr);
    EXPECT_EQ(FindWindowA("VOKCLASS", "Peer"), h);
    // Asked to come to the front, the peer sees itself activated and ends with status 0.
    EXPECT_TRUE(SetForegroundWindow(h));
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(FindWindowA("vokclass", "Peer"), nullptr);
}

}  // namespace
