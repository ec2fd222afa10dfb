// Where a display mode's screen goes in a real window: whole, centred, scaled by the largest whole
// factor that fits (sharp pixels), or, in a window smaller than the mode, by the largest factor that
// keeps the aspect. Mouse positions in the window map back to the mode's screen.
#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

struct Fit {
    int x = 0, y = 0, w = 0, h = 0;  // the mode's screen in window pixels
};

inline Fit fit_mode(int win_w, int win_h, int mode_w, int mode_h) {
    Fit f;
    if (win_w <= 0 || win_h <= 0 || mode_w <= 0 || mode_h <= 0) return f;
    int s = std::min(win_w / mode_w, win_h / mode_h);
    if (s >= 1) {
        f.w = mode_w * s;
        f.h = mode_h * s;
    } else if (int64_t(win_w) * mode_h <= int64_t(win_h) * mode_w) {
        f.w = win_w;
        f.h = std::max(1, int(int64_t(mode_h) * win_w / mode_w));
    } else {
        f.h = win_h;
        f.w = std::max(1, int(int64_t(mode_w) * win_h / mode_h));
    }
    f.x = (win_w - f.w) / 2;
    f.y = (win_h - f.h) / 2;
    return f;
}

// A window position -> the mode's screen; positions on the borders around the picture go to its edge.
inline void window_to_mode(const Fit& f, int mode_w, int mode_h, int wx, int wy, int& mx, int& my) {
    if (f.w <= 0 || f.h <= 0) {
        mx = wx;
        my = wy;
        return;
    }
    auto one = [](int v, int origin, int size, int mode) {
        int64_t d = int64_t(v) - origin;
        if (d < 0) return 0;
        return int(std::min<int64_t>(d * mode / size, mode - 1));
    };
    mx = one(wx, f.x, f.w, mode_w);
    my = one(wy, f.y, f.h, mode_h);
}

// A point of the mode's screen -> the window pixel at the middle of what shows it.
inline void mode_to_window(const Fit& f, int mode_w, int mode_h, int mx, int my, int& wx, int& wy) {
    if (f.w <= 0 || f.h <= 0 || mode_w <= 0 || mode_h <= 0) {
        wx = mx;
        wy = my;
        return;
    }
    wx = f.x + int((int64_t(2 * mx + 1) * f.w) / (2 * int64_t(mode_w)));
    wy = f.y + int((int64_t(2 * my + 1) * f.h) / (2 * int64_t(mode_h)));
}

// A rectangle of the mode's screen (the client area on it) -> window pixels.
inline Fit mode_rect(const Fit& f, int mode_w, int mode_h, int x, int y, int w, int h) {
    Fit r;
    if (mode_w <= 0 || mode_h <= 0) return r;
    r.x = f.x + int(int64_t(x) * f.w / mode_w);
    r.y = f.y + int(int64_t(y) * f.h / mode_h);
    r.w = f.x + int(int64_t(x + w) * f.w / mode_w) - r.x;
    r.h = f.y + int(int64_t(y + h) * f.h / mode_h) - r.y;
    return r;
}

}  // namespace plat
