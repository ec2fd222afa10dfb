// A second process for the FindWindowA test: shows a "vokclass" window without activating it, tells
// the test it is ready, and ends with status 0 once another process brings it to the front.
#include <cstdio>
#include <cstdlib>

#include "win32/windows.h"

static LRESULT CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_ACTIVATE && LOWORD(w) != WA_INACTIVE) PostQuitMessage(0);
    return DefWindowProcA(h, m, w, l);
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    setenv("VOK_IDLE_QUIT_MS", "20000", 1);  // wait for the raise request, not for the idle rule
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = "vokclass";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "vokclass", "Peer", WS_POPUP, 0, 0, 32, 32, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(h, SW_SHOWNOACTIVATE);
    if (FILE* f = std::fopen(argv[1], "w")) std::fclose(f);
    MSG m;
    // The idle rule ends the wait with WM_QUIT (wParam 0) if nobody asks: report that as a failure.
    bool raised = false;
    while (GetMessageA(&m, nullptr, 0, 0)) DispatchMessageA(&m);
    raised = GetActiveWindow() == h;
    DestroyWindow(h);
    return raised ? 0 : 1;
}
