// Fixtures of the scene tests: a root folder with a data pack of small plain-coloured pictures, a
// window the scenes run over, and descriptions parsed from text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "scenedesc.h"
#include "scenestate.h"
#include "support.h"
#include "vokplat/clock.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace vstest {

// A stored RGB 565 pixel map of one colour.
inline std::string solid565(int w, int h, uint16_t colour)
{
    std::vector<uint8_t> rows(size_t(w) * h * 2);
    for (size_t i = 0; i < rows.size(); i += 2)
        rows[i] = uint8_t(colour), rows[i + 1] = uint8_t(colour >> 8);
    std::vector<uint8_t> data = fpk::stored_pixmap(w, h, BR_PMT_RGB_565, rows);
    return std::string(data.begin(), data.end());
}

// 565 colours and what the window shows for them.
constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF, kGrey = 0x8410;
inline uint32_t rgb_of(uint16_t c)
{
    uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

class SceneTest : public Root {
protected:
    void SetUp() override
    {
        Root::SetUp();
        PlatSetVirtualClock(TRUE);
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.lpszClassName = "scenetest";
            RegisterClassA(&wc);
            registered = true;
        }
        window = CreateWindowExA(0, "scenetest", "scenes", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                 nullptr);
        ShowWindow(window, SW_SHOW);
        face->ownerWnd = window;
        vok::state().firstWindow = window;
        face->screenPix = nullptr;
        pictures = {{"bg", solid565(640, 480, kGrey)},  {"red40", solid565(40, 20, kRed)},
                    {"green", solid565(30, 10, kGreen)}, {"blue", solid565(30, 10, kBlue)},
                    {"white", solid565(200, 100, kWhite)}, {"panel", solid565(200, 100, kBlue)}};
    }
    void TearDown() override
    {
        while (VokGetCurScene())
            KillCurScene(0);
        vok::engine().starting = vok::engine().ending = false;
        DestroyWindow(window);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        Root::TearDown();
    }

    // Writes Data/t.fpk with `pictures` (and any extra entries).
    void write_data(const std::vector<std::pair<std::string, std::string>> &extra = {})
    {
        std::vector<fpk::Entry> entries;
        for (const auto &p : pictures)
            entries.push_back(fpk::Entry{p.first, std::vector<uint8_t>(p.second.begin(), p.second.end()),
                                         fpk::kPixmapFlag});
        for (const auto &p : extra)
            entries.push_back(fpk::Entry{p.first, std::vector<uint8_t>(p.second.begin(), p.second.end()), 0});
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write("Data/t.fpk", std::string(bytes.begin(), bytes.end()));
    }

    // A pack of stored pictures (name, bytes) at `file`, relative to the test folder.
    void write_pack_file(const std::string &file, const std::vector<std::pair<std::string, std::string>> &pics)
    {
        std::vector<fpk::Entry> entries;
        for (const auto &p : pics)
            entries.push_back(fpk::Entry{p.first, std::vector<uint8_t>(p.second.begin(), p.second.end()),
                                         fpk::kPixmapFlag});
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
        write(file, std::string(bytes.begin(), bytes.end()));
    }

    VokScene *parse(const std::string &text)
    {
        std::string error;
        descs.push_back(vok::parse_screen("t.scr", text.data(), text.size(), error));
        EXPECT_TRUE(descs.back()) << error;
        return descs.back() ? &descs.back()->scene : nullptr;
    }

    // The window's pixel at x, y (0x00RRGGBB).
    uint32_t pixel(int x, int y)
    {
        VokPump();
        std::vector<uint32_t> px(640 * 480);
        int w = 0, h = 0;
        EXPECT_TRUE(VokCaptureWindow(window, px.data(), int(px.size()), &w, &h));
        return px.at(size_t(y) * w + x);
    }

    // Keys posted to the window since the last call.
    std::vector<int> posted_keys()
    {
        std::vector<int> keys;
        MSG m;
        while (PeekMessageA(&m, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE))
            keys.push_back(int(m.wParam));
        return keys;
    }

    static LPARAM at(int x, int y) { return MAKELPARAM(x, y); }

    HWND window = nullptr;
    std::vector<std::pair<std::string, std::string>> pictures;
    std::vector<std::unique_ptr<vok::ScreenDesc>> descs;
};

}  // namespace vstest
