// Windows and messages: creation and destruction order, subclassing, Send vs Post, cross-thread sends,
// timers on the virtual clock, WM_CHAR translation and double-click rules.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "helpers.h"

namespace {

TEST(Windows, CreateAndDestroyOrder) {
    recs().clear();
    const char* cls = rec_class();
    HWND p = CreateWindowExA(0, cls, "parent", WS_POPUP, 0, 0, 100, 80, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(p);
    HWND c1 = CreateWindowExA(0, cls, "c1", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, p, nullptr, nullptr, nullptr);
    HWND c2 = CreateWindowExA(0, cls, "c2", WS_CHILD | WS_VISIBLE, 10, 0, 10, 10, p, nullptr, nullptr, nullptr);
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(msgs_of(p, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    char title[16];
    EXPECT_EQ(GetWindowTextA(p, title, sizeof title), 6);
    EXPECT_STREQ(title, "parent");

    recs().clear();
    ASSERT_TRUE(DestroyWindow(p));
    std::vector<std::pair<HWND, UINT>> seen;
    for (auto& r : recs())
        if (r.msg == WM_DESTROY || r.msg == WM_NCDESTROY) seen.push_back({r.hwnd, r.msg});
    std::vector<std::pair<HWND, UINT>> want{{p, WM_DESTROY},   {c1, WM_DESTROY}, {c1, WM_NCDESTROY},
                                            {c2, WM_DESTROY},  {c2, WM_NCDESTROY}, {p, WM_NCDESTROY}};
    EXPECT_EQ(seen, want);
    EXPECT_FALSE(IsWindow(p));
    EXPECT_FALSE(IsWindow(c1));
    EXPECT_FALSE(DestroyWindow(p));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

LRESULT CALLBACK refuse_create(HWND h, UINT m, WPARAM w, LPARAM l) {
    recs().push_back({h, m, w, l});
    if (m == WM_CREATE) return -1;
    return DefWindowProcA(h, m, w, l);
}

TEST(Windows, RefusedCreateDestroysAndOwnedGoFirst) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = refuse_create;
    wc.lpszClassName = "refuser";
    RegisterClassA(&wc);
    recs().clear();
    EXPECT_EQ(CreateWindowExA(0, "REFUSER", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(msgs_of(nullptr, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(CreateWindowExA(0, "nosuch", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

    // An owned window goes before its owner.
    const char* cls = rec_class();
    HWND owner = CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND owned = CreateWindowExA(WS_EX_TOOLWINDOW, cls, "", WS_POPUP, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetParent(owned), owner);
    recs().clear();
    DestroyWindow(owner);
    ASSERT_GE(recs().size(), 4u);
    EXPECT_EQ(recs().front().hwnd, owned);
    EXPECT_FALSE(IsWindow(owned));
}

std::vector<std::string> g_chain;
WNDPROC g_prev_a = nullptr;
LONG g_prev_b = 0;

LRESULT CALLBACK base_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) g_chain.push_back("base");
    return m == WM_USER ? 7 : DefWindowProcA(h, m, w, l);
}
LRESULT CALLBACK sub_a(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) g_chain.push_back("a");
    return CallWindowProcA(g_prev_a, h, m, w, l) + (m == WM_USER ? 10 : 0);
}
LRESULT CALLBACK sub_b(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) g_chain.push_back("b");
    // The previous procedure came through the 32-bit GetWindowLongA: CallWindowProc takes it as it is.
    return CallWindowProcA(reinterpret_cast<WNDPROC>(static_cast<LONG_PTR>(g_prev_b)), h, m, w, l) +
           (m == WM_USER ? 100 : 0);
}

TEST(Windows, SubclassingChainsAndWindowLongs) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = base_proc;
    wc.cbWndExtra = 4;
    wc.lpszClassName = "subbase";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "subbase", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(h);
    g_prev_a = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sub_a)));
    EXPECT_EQ(g_prev_a, base_proc);
    g_prev_b = GetWindowLongA(h, GWL_WNDPROC);
    // 32-bit window longs stand for the procedure: setting one back gives the same procedure.
    LONG before = SetWindowLongA(h, GWL_WNDPROC, g_prev_b);
    EXPECT_EQ(before, g_prev_b);
    SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sub_b));
    g_chain.clear();
    EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 117);
    EXPECT_EQ(g_chain, (std::vector<std::string>{"b", "a", "base"}));

    // Restoring the previous procedure unhooks the outer one.
    SetWindowLongA(h, GWL_WNDPROC, g_prev_b);
    g_chain.clear();
    EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 17);
    EXPECT_EQ(g_chain, (std::vector<std::string>{"a", "base"}));

    int local = 0;
    SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&local));
    EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongPtrA(h, GWLP_USERDATA)), &local);
    EXPECT_EQ(SetWindowLongA(h, 0, 0x12345678), 0);
    EXPECT_EQ(GetWindowLongA(h, 0), 0x12345678);
    EXPECT_EQ(GetWindowLongA(h, 4), 0);  // past the class's extra bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & WS_POPUP);
    DestroyWindow(h);
}

std::vector<std::string> g_order;
LRESULT CALLBACK order_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m >= WM_USER && m < WM_USER + 10) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%u:%u", m - WM_USER, static_cast<unsigned>(w));
        g_order.push_back(entry);
        // Re-entrant send from inside a handler: runs at once, nested.
        if (m == WM_USER + 1 && w < 3) SendMessageA(h, WM_USER + 1, w + 1, 0);
        return static_cast<LRESULT>(w);
    }
    return DefWindowProcA(h, m, w, l);
}

TEST(Messages, SendRunsNowPostWaitsAndNesting) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = order_proc;
    wc.lpszClassName = "order";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "order", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    drain();
    g_order.clear();
    PostMessageA(h, WM_USER + 0, 1, 0);
    PostMessageA(h, WM_USER + 0, 2, 0);
    EXPECT_EQ(SendMessageA(h, WM_USER + 1, 0, 0), 0);
    EXPECT_EQ(g_order, (std::vector<std::string>{"1:0", "1:1", "1:2", "1:3"}));
    MSG m;
    // PM_NOREMOVE leaves the message where it is; a range filter skips others.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_USER + 5, WM_USER + 6, PM_REMOVE));
    PostQuitMessage(5);
    PostMessageA(h, WM_USER + 0, 3, 0);
    std::vector<WPARAM> got;
    while (GetMessageA(&m, nullptr, 0, 0)) {
        DispatchMessageA(&m);
        got.push_back(m.wParam);
    }
    // Posted messages keep their order and all come before the quit message.
    EXPECT_EQ(got, (std::vector<WPARAM>{1, 2, 3}));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 5u);
    DestroyWindow(h);
}

pid_t tid_now() { return static_cast<pid_t>(syscall(SYS_gettid)); }

std::atomic<pid_t> g_handler_tid{0};
HWND g_main_window = nullptr;
LRESULT CALLBACK cross_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) {
        g_handler_tid = tid_now();
        return static_cast<LRESULT>(w * 2);
    }
    if (m == WM_USER + 1) {
        // Sent by the main thread to the worker's window: the worker asks back while the main
        // thread waits, which must not lock up.
        return SendMessageA(g_main_window, WM_USER, 21, 0) + 1;
    }
    if (m == WM_USER + 2) PostQuitMessage(0);
    return DefWindowProcA(h, m, w, l);
}

TEST(Messages, CrossThreadSendRunsOnTheOwnerAndWaits) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = cross_proc;
    wc.lpszClassName = "cross";
    RegisterClassA(&wc);
    g_main_window = CreateWindowExA(0, "cross", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    pid_t main_tid = tid_now();
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread t([&] {
        result = SendMessageA(g_main_window, WM_USER, 20, 0);
        done = true;
        PostMessageA(g_main_window, WM_USER + 2, 0, 0);
    });
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0)) DispatchMessageA(&m);
    t.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(result.load(), 40);
    EXPECT_EQ(g_handler_tid.load(), main_tid);

    // The other way round, with a send back from inside the handler.
    std::atomic<HWND> worker_window{nullptr};
    std::thread w([&] {
        HWND h = CreateWindowExA(0, "cross", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        worker_window = h;
        MSG wm;
        while (GetMessageA(&wm, nullptr, 0, 0)) DispatchMessageA(&wm);
        DestroyWindow(h);
    });
    while (!worker_window) std::this_thread::yield();
    EXPECT_EQ(SendMessageA(worker_window, WM_USER + 1, 0, 0), 43);
    EXPECT_EQ(g_handler_tid.load(), main_tid);
    // A notification to another thread does not wait for it.
    EXPECT_TRUE(SendNotifyMessageA(worker_window, WM_USER + 2, 0, 0));
    w.join();
    // A window whose thread has ended answers nothing, and nobody waits for it.
    HWND orphan = nullptr;
    std::thread gone([&] {
        orphan = CreateWindowExA(0, "cross", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    });
    gone.join();
    ASSERT_TRUE(orphan);
    EXPECT_EQ(SendMessageA(orphan, WM_USER, 5, 0), 0);
    EXPECT_FALSE(PostMessageA(orphan, WM_USER, 5, 0));
    DestroyWindow(g_main_window);
}

TEST(Messages, TimersFollowTheVirtualClock) {
    recs().clear();
    HWND h = CreateWindowExA(0, rec_class(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    drain();
    MSG m;
    ASSERT_EQ(SetTimer(h, 1, 100, nullptr), 1u);
    ASSERT_EQ(SetTimer(h, 2, 250, nullptr), 2u);
    DWORD t0 = GetMessageTime();
    (void)t0;
    std::vector<std::pair<UINT_PTR, DWORD>> ticks;
    DWORD start = 0;
    {
        // The clock now: the time of a message posted just now.
        PostMessageA(h, WM_NULL, 0, 0);
        GetMessageA(&m, nullptr, 0, 0);
        start = m.time;
    }
    while (ticks.size() < 7 && GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_TIMER) ticks.push_back({m.wParam, m.time - start});
        DispatchMessageA(&m);
    }
    std::vector<std::pair<UINT_PTR, DWORD>> want{{1, 100}, {1, 200}, {2, 250}, {1, 300},
                                                 {1, 400}, {1, 500}, {2, 500}};
    EXPECT_EQ(ticks, want);
    EXPECT_TRUE(KillTimer(h, 1));
    EXPECT_FALSE(KillTimer(h, 1));
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_EQ(m.time - start, 750u);
    DestroyWindow(h);
    // A destroyed window's timers die with it: nothing can arrive any more, the wait ends.
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
}

TEST(Input, KeysTranslateToCharacters) {
    recs().clear();
    HWND h = CreateWindowExA(0, rec_class(), "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                             nullptr);
    drain();
    EXPECT_EQ(GetFocus(), h);
    recs().clear();
    VokKey(h, VK_SHIFT, TRUE);
    VokKey(h, 'A', TRUE);
    VokKey(h, 'A', FALSE);
    VokKey(h, '1', TRUE);
    VokKey(h, VK_SHIFT, FALSE);
    VokKey(h, 'B', TRUE);
    VokKey(h, VK_RETURN, TRUE);
    VokKey(h, VK_LEFT, TRUE);
    MSG m;
    bool shift_seen_down = false;
    std::string chars;
    std::vector<WPARAM> downs;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_KEYDOWN) {
            downs.push_back(m.wParam);
            if (m.wParam == 'A') shift_seen_down = GetKeyState(VK_SHIFT) < 0;
        }
        if (m.message == WM_CHAR) chars.push_back(static_cast<char>(m.wParam));
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    EXPECT_TRUE(shift_seen_down);
    EXPECT_EQ(chars, "A!b\r");
    EXPECT_EQ(downs, (std::vector<WPARAM>{VK_SHIFT, 'A', '1', 'B', VK_RETURN, VK_LEFT}));
    EXPECT_LT(GetAsyncKeyState('B'), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    // Every WM_CHAR follows its WM_KEYDOWN directly.
    std::vector<UINT> seq = msgs_of(h, {WM_KEYDOWN, WM_CHAR});
    EXPECT_EQ(seq, (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR,
                                      WM_KEYDOWN, WM_CHAR, WM_KEYDOWN}));
    DestroyWindow(h);
}

TEST(Input, DoubleClickRules) {
    HWND dbl = CreateWindowExA(0, rec_class(CS_DBLCLKS, "dblrec"), "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                               nullptr, nullptr, nullptr, nullptr);
    HWND plain = CreateWindowExA(0, rec_class(), "", WS_POPUP | WS_VISIBLE, 200, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    drain();
    const UINT D = WM_LBUTTONDOWN, DD = WM_LBUTTONDBLCLK;
    struct Case {
        const char* what;
        HWND h;
        std::vector<std::pair<int, int>> at;
        int button;
        DWORD gap;
        std::vector<UINT> want;
    } cases[] = {
        {"double", dbl, {{10, 10}, {11, 11}}, 0, 100, {D, DD}},
        {"third click starts over", dbl, {{10, 10}, {10, 10}, {10, 10}}, 0, 100, {D, DD, D}},
        {"too slow", dbl, {{10, 10}, {10, 10}}, 0, 600, {D, D}},
        {"moved too far", dbl, {{10, 10}, {13, 10}}, 0, 100, {D, D}},
        {"right button", dbl, {{10, 10}, {10, 10}}, 1, 100, {WM_RBUTTONDOWN, WM_RBUTTONDBLCLK}},
        {"class without CS_DBLCLKS", plain, {{10, 10}, {10, 10}}, 0, 100, {D, D}},
    };
    for (auto& c : cases) {
        wait_ms(1000);  // forget the last case's click
        recs().clear();
        for (auto [x, y] : c.at) {
            VokMouseButton(c.h, c.button, TRUE, x, y);
            VokMouseButton(c.h, c.button, FALSE, x, y);
            drain();
            wait_ms(c.gap);
        }
        EXPECT_EQ(msgs_of(c.h, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK}), c.want)
            << c.what;
    }
    // Mouse messages carry client coordinates and the button flags.
    recs().clear();
    VokMouseButton(plain, 0, TRUE, 7, 9);
    drain();
    auto it = std::find_if(recs().begin(), recs().end(), [](const Rec& r) { return r.msg == WM_LBUTTONDOWN; });
    ASSERT_NE(it, recs().end());
    EXPECT_EQ(GET_X_LPARAM(it->lp), 7);
    EXPECT_EQ(GET_Y_LPARAM(it->lp), 9);
    EXPECT_EQ(it->wp & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    VokMouseButton(plain, 0, FALSE, 7, 9);
    drain();
    DestroyWindow(dbl);
    DestroyWindow(plain);
}

TEST(Input, ActivationFocusAndClose) {
    recs().clear();
    HWND a = CreateWindowExA(0, rec_class(), "a", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                             nullptr);
    drain();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(msgs_of(a, {WM_ACTIVATEAPP, WM_ACTIVATE}), (std::vector<UINT>{WM_ACTIVATEAPP, WM_ACTIVATE}));
    recs().clear();
    VokFocus(a, FALSE);
    drain();
    EXPECT_EQ(msgs_of(a, {WM_ACTIVATEAPP, WM_ACTIVATE}), (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP}));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    VokFocus(a, TRUE);
    drain();
    EXPECT_EQ(GetActiveWindow(), a);
    // The close button asks the window; the default answer destroys it.
    recs().clear();
    VokCloseButton(a);
    drain();
    EXPECT_EQ(msgs_of(a, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}),
              (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(a));
}

}  // namespace

namespace {

TEST(Input, CaptureCursorsAndOwnDc) {
    recs().clear();
    const char* cls = rec_class(CS_OWNDC, "owndc");
    HWND a = CreateWindowExA(0, cls, "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    HWND b = CreateWindowExA(0, cls, "", WS_POPUP | WS_VISIBLE, 100, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    drain();
    // A captured mouse reports to the capture window, in its client coordinates, even outside it.
    EXPECT_EQ(SetCapture(a), nullptr);
    recs().clear();
    VokMouseMove(b, 10, 10);
    drain();
    ASSERT_EQ(msgs_of(a, {WM_MOUSEMOVE}).size(), 1u);
    EXPECT_TRUE(msgs_of(b, {WM_MOUSEMOVE}).empty());
    auto it = std::find_if(recs().begin(), recs().end(), [](const Rec& r) { return r.msg == WM_MOUSEMOVE; });
    EXPECT_EQ(GET_X_LPARAM(it->lp), 110);
    EXPECT_TRUE(ReleaseCapture());
    recs().clear();
    VokMouseMove(b, 12, 10);
    drain();
    EXPECT_EQ(msgs_of(b, {WM_MOUSEMOVE}).size(), 1u);

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_TRUE(arrow);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    // A module's own cursor exists only when the module carries it.
    HCURSOR own = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(17));
    EXPECT_TRUE(own);
    EXPECT_NE(own, arrow);
    EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(18)), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(17)), nullptr);
    EXPECT_TRUE(LoadIconA(nullptr, IDI_APPLICATION));
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(nullptr), arrow);
    // CS_OWNDC: the same DC every time, and releasing it keeps it.
    HDC d1 = GetDC(a);
    EXPECT_EQ(ReleaseDC(a, d1), 1);
    EXPECT_EQ(GetDC(a), d1);
    EXPECT_NE(GetDC(b), d1);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Windows, AdjustedRectangleGivesTheClientSize) {
    struct {
        DWORD style, ex;
    } cases[] = {{WS_POPUP, 0},
                 {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0},
                 {WS_OVERLAPPEDWINDOW, 0},
                 {WS_POPUP | WS_DLGFRAME, WS_EX_TOPMOST},
                 {WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE}};
    for (auto& c : cases) {
        RECT r{0, 0, 640, 480};
        ASSERT_TRUE(AdjustWindowRectEx(&r, c.style, FALSE, c.ex));
        HWND h = CreateWindowExA(c.ex, rec_class(), "", c.style, 10, 20, r.right - r.left, r.bottom - r.top, nullptr,
                                 nullptr, nullptr, nullptr);
        RECT cr;
        GetClientRect(h, &cr);
        EXPECT_EQ(cr.right, 640) << std::hex << c.style;
        EXPECT_EQ(cr.bottom, 480) << std::hex << c.style;
        POINT o{0, 0};
        ClientToScreen(h, &o);
        EXPECT_EQ(o.x, 10 - r.left);
        EXPECT_EQ(o.y, 20 - r.top);
        DestroyWindow(h);
    }
}

}  // namespace

namespace {

DWORD WINAPI looping_thread(LPVOID created) {
    HWND h = CreateWindowExA(0, rec_class(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetTimer(h, 1, 1000, nullptr);  // something to wait for, so the idle rule does not end the loop
    *static_cast<std::atomic<bool>*>(created) = true;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0)) DispatchMessageA(&m);
    return 1;
}

TEST(Messages, AThreadInAMessageLoopCanBeTerminated) {
    std::atomic<bool> created{false};
    HANDLE t = CreateThread(nullptr, 0, looping_thread, &created, 0, nullptr);
    ASSERT_TRUE(t);
    while (!created) std::this_thread::yield();
    EXPECT_TRUE(TerminateThread(t, 77));
    EXPECT_EQ(WaitForSingleObject(t, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 77u);
    CloseHandle(t);
}

}  // namespace
