// Dialog fixtures: a data folder with the three control pictures and a font set, a 16-bit parent map,
// and helpers that read pixels and drive a scene window with keys.
#pragma once

#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "font_support.h"
#include "pannix/pannix.h"
#include "support.h"
#include "vokplat/clock.h"
#include "vokplat/msgbox.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace dlgtest {

constexpr uint32_t kBoxInk = 0x07E0;  // green: the control pictures' frame

inline uint16_t pixel(br_pixelmap *map, int x, int y)
{
    auto *row = static_cast<uint8_t *>(map->pixels) + (map->base_y + y) * map->row_bytes;
    return reinterpret_cast<uint16_t *>(row)[map->base_x + x];
}

// A 16-bit picture filled with `ink` (and `rows` distinct bands of ink + band number when asked).
inline void save_picture(const std::string &path, int w, int h, uint32_t ink, int bands = 1)
{
    br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, w, h, nullptr, 0);
    ASSERT_NE(pm, nullptr);
    for (int b = 0; b < bands; b++)
        PxFillPixRect(pm, 0, b * h / bands, w, h / bands, ink + uint32_t(b));
    ASSERT_NE(PxSavePix(path.c_str(), pm), 0u) << GetLastMsgError();
    PxFreePix(pm);
}

class Dialog : public pxtest::Scratch {
protected:
    void SetUp() override
    {
        Scratch::SetUp();
        PlatSetVirtualClock(TRUE);
        InitPannix((dir.string() + "/").c_str(), 640, 480, 16, 0, 1);
        fonttest::write_set(dir.string(), "main", {fonttest::font(8)});
        save_picture(path("chkbox.pix"), 12, 36, 0x0100, 3);  // three 12x12 states
        save_picture(path("editbox.pix"), 24, 14, kBoxInk);
        save_picture(path("listbox.pix"), 32, 32, kBoxInk);
        parent = PxAllocPix(BR_PMT_RGB_565, 200, 120, nullptr, 0);
        PxFillPix(parent, 0);
    }
    void TearDown() override
    {
        if ((scene.flags & PXS_STARTED) != 0)
            KillPannixW(&scene);
        drain();
        PxFreePix(parent);
        Scratch::TearDown();
    }

    // A scene of `cells` over the parent map (a window too when asked), failures returned, not fatal.
    int start(std::vector<PXCELLA> &cells, int x = 10, int y = 10, int w = 160, int h = 90, bool window = false)
    {
        scene.width = w;
        scene.height = h;
        scene.bits = 16;
        scene.fontName = "main";
        scene.cells = cells.data();
        scene.cellCount = int32_t(cells.size());
        scene.flags |= PXS_NOEXIT;
        if (!window)
            return StartPannix(parent, x, y, &scene, 0);
        const int started = StartPannixW(parent, x, y, &scene, nullptr, 0);
        if (scene.window != nullptr) {
            ShowWindow(scene.window, SW_SHOW);  // keys go to the shown, active window
            drain();
        }
        return started;
    }

    // Keys through the scene's window, with Shift and Ctrl held as asked.
    void key(int vk, bool shift = false, bool ctrl = false)
    {
        HWND w = scene.window;
        ASSERT_NE(w, nullptr);
        if (shift)
            VokKey(w, VK_SHIFT, TRUE);
        if (ctrl)
            VokKey(w, VK_CONTROL, TRUE);
        VokKey(w, vk, TRUE);
        VokKey(w, vk, FALSE);
        if (ctrl)
            VokKey(w, VK_CONTROL, FALSE);
        if (shift)
            VokKey(w, VK_SHIFT, FALSE);
        drain();
    }

    void drain()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                quit = true;
                continue;
            }
            if (m.hwnd == nullptr && m.message == WM_KEYDOWN)
                thread_keys.push_back(int32_t(m.wParam));
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }

    std::vector<PXCELLA> cells;  // outlives the test body, for the scene ended in TearDown
    PXSCENE scene{};
    br_pixelmap *parent = nullptr;
    bool quit = false;
    std::vector<int32_t> thread_keys;  // commands posted by a scene without a window
};

// The message boxes and beeps since the last reset.
inline std::string box_log()
{
    std::string log(PlatMsgBoxLog(nullptr, 0) + 1, '\0');
    log.resize(PlatMsgBoxLog(log.data(), log.size()));
    return log;
}

inline PXCELLA cell(int32_t type, int32_t id, uint32_t flags, int32_t x, int32_t y, int32_t w, int32_t h)
{
    PXCELLA c{};
    c.type = type;
    c.id = id;
    c.flags = flags;
    c.x = x;
    c.y = y;
    c.w = w;
    c.h = h;
    return c;
}

}  // namespace dlgtest
