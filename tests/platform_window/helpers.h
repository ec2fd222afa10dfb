// Shared bits of the window tests: a class whose procedure records what it receives.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "vokplat/window.h"
#include "win32/windows.h"

struct Rec {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

inline std::vector<Rec>& recs() {
    static std::vector<Rec> r;
    return r;
}

inline LRESULT CALLBACK recording_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    recs().push_back({h, m, w, l});
    return DefWindowProcA(h, m, w, l);
}

// Registers a recording class once per process; returns its name.
inline const char* rec_class(UINT style = 0, const char* name = "rec") {
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = recording_proc;
    wc.cbWndExtra = 4;
    wc.lpszClassName = name;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassA(&wc);
    return name;
}

inline std::vector<UINT> msgs_of(HWND h, std::initializer_list<UINT> keep) {
    std::vector<UINT> r;
    for (auto& e : recs())
        if ((!h || e.hwnd == h) && std::find(keep.begin(), keep.end(), e.msg) != keep.end()) r.push_back(e.msg);
    return r;
}

// Pumps everything queued for this thread.
inline void drain() {
    MSG m;
    VokPump();
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// Lets time pass the way a program would: a thread timer and a message wait (on the virtual clock the
// wait moves the clock to the timer).
inline void wait_ms(UINT ms) {
    UINT_PTR id = SetTimer(nullptr, 0, ms, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == WM_TIMER && !m.hwnd && m.wParam == id) break;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    KillTimer(nullptr, id);
}
