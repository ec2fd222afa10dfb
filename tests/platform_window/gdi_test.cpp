// Painting: every DIB format read back through capture pixel by pixel, partial and scaled transfers,
// BitBlt + GetDIBits captures, FillRect/DrawEdge, paint messages, child composition and PNG files.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>

#include "helpers.h"

namespace {

constexpr int W = 5, H = 3;

uint32_t colour(int x, int y) {
    int r = x * 50 + 13, g = y * 90 + 7, b = (x * 3 + y * 5) * 17 % 256;
    return (r << 16) | (g << 8) | b;
}

enum Fmt { Pal8, Rgb555, Bf565, Rgb24, Rgb32, Bf32 };
const char* fmt_name(Fmt f) {
    static const char* n[] = {"8-bit", "555", "565", "24-bit", "32-bit", "32-bit bitfields"};
    return n[f];
}

int e5(int q) { return (q << 3) | (q >> 2); }
int e6(int q) { return (q << 2) | (q >> 4); }

// What the screen should show for a colour after it went through the format.
uint32_t through(Fmt f, uint32_t c) {
    int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    if (f == Rgb555) return (e5(r >> 3) << 16) | (e5(g >> 3) << 8) | e5(b >> 3);
    if (f == Bf565) return (e5(r >> 3) << 16) | (e6(g >> 2) << 8) | e5(b >> 3);
    return c;
}

struct Dib {
    std::vector<uint8_t> info;  // header + colour table or masks
    std::vector<uint8_t> bits;
    const BITMAPINFO* bmi() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

Dib make_dib(Fmt f, bool bottom_up) {
    Dib d;
    int bpp = f == Pal8 ? 8 : (f == Rgb555 || f == Bf565) ? 16 : f == Rgb24 ? 24 : 32;
    int table = f == Pal8 ? 256 * 4 : (f == Bf565 || f == Bf32) ? 12 : 0;
    d.info.assign(sizeof(BITMAPINFOHEADER) + table, 0);
    BITMAPINFOHEADER hd{sizeof(BITMAPINFOHEADER), W, bottom_up ? H : -H, 1, static_cast<WORD>(bpp),
                        static_cast<DWORD>((f == Bf565 || f == Bf32) ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 0, 0};
    std::memcpy(d.info.data(), &hd, sizeof hd);
    uint8_t* tab = d.info.data() + sizeof hd;
    if (f == Bf565) {
        uint32_t m[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(tab, m, 12);
    }
    if (f == Bf32) {
        uint32_t m[3] = {0xFF0000, 0x00FF00, 0x0000FF};
        std::memcpy(tab, m, 12);
    }
    if (f == Pal8) {
        // Entry i holds the colour of pixel i, so the picture is exact.
        for (int i = 0; i < W * H; ++i) {
            uint32_t c = colour(i % W, i / W);
            tab[4 * i] = c & 255, tab[4 * i + 1] = (c >> 8) & 255, tab[4 * i + 2] = (c >> 16) & 255;
        }
    }
    size_t stride = ((W * bpp + 31) / 32) * 4;
    d.bits.assign(stride * H, 0xEE);  // padding bytes must not matter
    for (int y = 0; y < H; ++y) {
        uint8_t* row = d.bits.data() + stride * (bottom_up ? H - 1 - y : y);
        for (int x = 0; x < W; ++x) {
            uint32_t c = colour(x, y);
            int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            switch (f) {
            case Pal8: row[x] = static_cast<uint8_t>(y * W + x); break;
            case Rgb555: {
                uint16_t v = static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                row[2 * x] = v & 255, row[2 * x + 1] = v >> 8;
                break;
            }
            case Bf565: {
                uint16_t v = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
                row[2 * x] = v & 255, row[2 * x + 1] = v >> 8;
                break;
            }
            case Rgb24: row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r; break;
            case Rgb32:
            case Bf32: row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r, row[4 * x + 3] = 0x55; break;
            }
        }
    }
    return d;
}

struct Shot {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    uint32_t at(int x, int y) const { return px[y * w + x]; }
};

Shot shot(HWND h) {
    Shot s;
    EXPECT_TRUE(VokCaptureWindow(h, nullptr, 0, &s.w, &s.h));
    s.px.resize(s.w * s.h);
    EXPECT_TRUE(VokCaptureWindow(h, s.px.data(), static_cast<int>(s.px.size()), &s.w, &s.h));
    return s;
}

HWND canvas(int w, int h) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "canvas";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "canvas", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
}

TEST(Dib, EveryFormatAndOrientationLandsExactly) {
    for (Fmt f : {Pal8, Rgb555, Bf565, Rgb24, Rgb32, Bf32}) {
        for (bool bu : {true, false}) {
            SCOPED_TRACE(std::string(fmt_name(f)) + (bu ? " bottom-up" : " top-down"));
            Dib d = make_dib(f, bu);
            HWND h = canvas(24, 12);
            HDC dc = GetDC(h);
            // 1:1 at an offset.
            EXPECT_EQ(StretchDIBits(dc, 3, 2, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY), H);
            Shot s = shot(h);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) ASSERT_EQ(s.at(3 + x, 2 + y), through(f, colour(x, y))) << x << "," << y;
            EXPECT_EQ(s.at(2, 2), 0u);
            EXPECT_EQ(s.at(3 + W, 2), 0u);

            // A partial source rectangle: picture rows 1..2, columns 1..2. Bottom-up DIBs count the
            // source y from their bottom line.
            int ys = bu ? H - 1 - 2 : 1;
            StretchDIBits(dc, 12, 0, 2, 2, 1, ys, 2, 2, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY);
            // Scaled twice: each source pixel becomes a 2x2 block.
            StretchDIBits(dc, 12, 2, 2 * W, 2 * H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY);
            s = shot(h);
            EXPECT_EQ(s.at(12, 0), through(f, colour(1, 1)));
            EXPECT_EQ(s.at(13, 1), through(f, colour(2, 2)));
            for (int y = 0; y < 2 * H; ++y)
                for (int x = 0; x < 2 * W && 12 + x < 24; ++x)
                    ASSERT_EQ(s.at(12 + x, 2 + y), through(f, colour(x / 2, y / 2))) << x << "," << y;

            // SetDIBitsToDevice with only some scan lines handed over.
            HWND h2 = canvas(W, H);
            HDC dc2 = GetDC(h2);
            size_t stride = d.bits.size() / H;
            EXPECT_EQ(SetDIBitsToDevice(dc2, 0, 0, W, H, 0, 0, 1, 2, d.bits.data() + stride, d.bmi(), DIB_RGB_COLORS),
                      2);
            Shot s2 = shot(h2);
            // Scans 1..2 are picture rows 1..0 bottom-up, rows 1..2 top-down; the row not handed over stays black.
            int missing = bu ? 2 : 0;
            for (int y = 0; y < H; ++y)
                EXPECT_EQ(s2.at(1, y), y == missing ? 0u : through(f, colour(1, y))) << y;
            ReleaseDC(h2, dc2);
            DestroyWindow(h2);
            ReleaseDC(h, dc);
            DestroyWindow(h);
        }
    }
}

// The 1:1 16-bit transfer the games present with every frame, clipped by the window and by the DIB
// on every side, with source rectangles that start inside the picture.
TEST(Dib, OneToOneSixteenBitClipsOnEverySide) {
    struct Place {
        int xd, yd, w, h, xs, ys;  // ys in top-down rows
    } places[] = {{-2, -1, W, H, 0, 0}, {2, 1, W, H, 0, 0}, {-1, 0, 3, 2, 1, 1}, {0, 0, W + 3, H + 2, 2, 1},
                  {1, -2, 2, 4, 3, 0}, {3, 0, W, H, -2, 0}, {0, 0, W, H, 0, 0}};
    for (Fmt f : {Rgb555, Bf565}) {
        for (bool bu : {true, false}) {
            Dib d = make_dib(f, bu);
            for (const Place& p : places) {
                SCOPED_TRACE(std::string(fmt_name(f)) + (bu ? " bottom-up at " : " top-down at ") +
                             std::to_string(p.xd) + "," + std::to_string(p.yd) + " from " + std::to_string(p.xs) +
                             "," + std::to_string(p.ys));
                HWND h = canvas(4, 2);
                HDC dc = GetDC(h);
                int ys = bu ? H - p.ys - p.h : p.ys;
                StretchDIBits(dc, p.xd, p.yd, p.w, p.h, p.xs, ys, p.w, p.h, d.bits.data(), d.bmi(), DIB_RGB_COLORS,
                              SRCCOPY);
                Shot s = shot(h);
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 4; ++x) {
                        int sx = x - p.xd + p.xs, sy = y - p.yd + p.ys;
                        bool inside = x >= p.xd && x < p.xd + p.w && y >= p.yd && y < p.yd + p.h && sx >= 0 &&
                                      sx < W && sy >= 0 && sy < H;
                        ASSERT_EQ(s.at(x, y), inside ? through(f, colour(sx, sy)) : 0u) << x << "," << y;
                    }
                ReleaseDC(h, dc);
                DestroyWindow(h);
            }
        }
    }
}

// Every 16-bit value, through the row converter's wide steps and its tail (a row of 250 pixels),
// widens the way the pixel-by-pixel reader does.
TEST(Dib, EverySixteenBitValueWidensExactly) {
    constexpr int kW = 250, kH = 263;  // 65750 pixels: every value once, then a few again
    for (bool is565 : {true, false}) {
        SCOPED_TRACE(is565 ? "565" : "555");
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 12, 0);
        BITMAPINFOHEADER hd{sizeof(BITMAPINFOHEADER), kW, -kH, 1, 16, DWORD(is565 ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 0, 0};
        std::memcpy(info.data(), &hd, sizeof hd);
        uint32_t m[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(info.data() + sizeof hd, m, sizeof m);
        std::vector<uint16_t> bits(size_t(kW) * kH);
        for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint16_t(i);
        HWND h = canvas(kW, kH);
        HDC dc = GetDC(h);
        ASSERT_EQ(SetDIBitsToDevice(dc, 0, 0, kW, kH, 0, 0, 0, kH, bits.data(), reinterpret_cast<BITMAPINFO*>(info.data()),
                                    DIB_RGB_COLORS),
                  kH);
        Shot s = shot(h);
        int bad = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                uint32_t v = bits[size_t(y) * kW + x];
                uint32_t want = is565 ? (e5(v >> 11) << 16 | e6((v >> 5) & 63) << 8 | e5(v & 31))
                                      : (e5((v >> 10) & 31) << 16 | e5((v >> 5) & 31) << 8 | e5(v & 31));
                if (s.at(x, y) != want && ++bad < 5) ADD_FAILURE() << std::hex << v << ": " << s.at(x, y) << " not " << want;
            }
        EXPECT_EQ(bad, 0);
        ReleaseDC(h, dc);
        DestroyWindow(h);
    }
}

TEST(Dib, PaletteIndicesUseTheSelectedPaletteOrAGreyRamp) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 512, 0);
    BITMAPINFOHEADER hd{sizeof(BITMAPINFOHEADER), 2, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(info.data(), &hd, sizeof hd);
    WORD* idx = reinterpret_cast<WORD*>(info.data() + sizeof hd);
    for (int i = 0; i < 256; ++i) idx[i] = static_cast<WORD>(255 - i);
    uint8_t bits[4] = {0, 2, 0, 0};
    HWND h = canvas(2, 1);
    HDC dc = GetDC(h);
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, bits, bmi, DIB_PAL_COLORS, SRCCOPY);
    Shot s = shot(h);
    EXPECT_EQ(s.at(0, 0), 0xFFFFFFu);
    EXPECT_EQ(s.at(1, 0), 0xFDFDFDu);
    std::vector<uint8_t> lp(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY), 0);
    auto* pal = reinterpret_cast<LOGPALETTE*>(lp.data());
    pal->palVersion = 0x300;
    pal->palNumEntries = 256;
    pal->palPalEntry[255] = PALETTEENTRY{10, 20, 30, 0};
    pal->palPalEntry[253] = PALETTEENTRY{40, 50, 60, 0};
    HPALETTE hp = CreatePalette(pal);
    ASSERT_TRUE(SelectPalette(dc, hp, FALSE));
    EXPECT_EQ(RealizePalette(dc), 256u);
    StretchDIBits(dc, 0, 0, 2, 1, 0, 0, 2, 1, bits, bmi, DIB_PAL_COLORS, SRCCOPY);
    s = shot(h);
    EXPECT_EQ(s.at(0, 0), 0x0A141Eu);
    EXPECT_EQ(s.at(1, 0), 0x28323Cu);
    ReleaseDC(h, dc);
    DeleteObject(hp);
    DestroyWindow(h);
}

TEST(Dib, MalformedHeadersAreRefused) {
    Dib d = make_dib(Rgb24, true);
    HWND h = canvas(8, 8);
    HDC dc = GetDC(h);
    auto* hd = reinterpret_cast<BITMAPINFOHEADER*>(d.info.data());
    hd->biBitCount = 12;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY), 0);
    hd->biBitCount = 24;
    hd->biCompression = BI_RLE8;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY), 0);
    hd->biCompression = BI_RGB;
    hd->biWidth = 0;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, W, H, 0, 0, W, H, nullptr, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
    // Source rectangles partly outside the picture draw only what exists.
    hd->biWidth = W;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 8, 8, -3, -3, 8, 8, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY), 8);
    ReleaseDC(h, dc);
    DestroyWindow(h);
}

TEST(Capture, BitBltIntoMemoryAndGetDIBitsSixteenBit) {
    Dib d = make_dib(Rgb32, false);
    HWND h = canvas(W, H);
    HDC wdc = GetDC(h);
    StretchDIBits(wdc, 0, 0, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY);
    HDC mem = CreateCompatibleDC(wdc);
    HBITMAP bmp = CreateCompatibleBitmap(wdc, W, H);
    HGDIOBJ old = SelectObject(mem, bmp);
    ASSERT_TRUE(BitBlt(mem, 0, 0, W, H, wdc, 0, 0, SRCCOPY));
    SelectObject(mem, old);
    for (bool is565 : {true, false}) {
        SCOPED_TRACE(is565 ? "565" : "555");
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 12, 0);
        BITMAPINFOHEADER hd{sizeof(BITMAPINFOHEADER), W, H, 1, 16,
                            static_cast<DWORD>(is565 ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 0, 0};
        std::memcpy(info.data(), &hd, sizeof hd);
        if (is565) {
            uint32_t m[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(info.data() + sizeof hd, m, 12);
        }
        size_t stride = ((W * 16 + 31) / 32) * 4;
        std::vector<uint8_t> out(stride * H, 0);
        ASSERT_EQ(GetDIBits(mem, bmp, 0, H, out.data(), reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS),
                  H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                uint32_t c = colour(x, y);
                int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
                uint16_t want = is565 ? static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                      : static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                const uint8_t* p = out.data() + stride * (H - 1 - y) + 2 * x;  // bottom-up
                ASSERT_EQ(p[0] | (p[1] << 8), want) << x << "," << y;
            }
    }
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(h, wdc);
    DestroyWindow(h);
}

TEST(Paint, ChildrenComposeOverTheirParent) {
    HWND p = canvas(40, 30);
    ShowWindow(p, SW_SHOWNA);
    HWND c = CreateWindowExA(0, "canvas", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 5, 8, 6, p, nullptr, nullptr,
                             nullptr);
    ASSERT_TRUE(c);
    RECT cr;
    GetClientRect(c, &cr);
    EXPECT_EQ(cr.right, 6);
    EXPECT_EQ(cr.bottom, 4);
    POINT pt{0, 0};
    MapWindowPoints(c, p, &pt, 1);
    EXPECT_EQ(pt.x, 11);
    EXPECT_EQ(pt.y, 6);
    HDC pdc = GetDC(p), cdc = GetDC(c);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT all{0, 0, 40, 30};
    FillRect(pdc, &all, red);
    FillRect(cdc, &all, blue);  // clipped to the child's client area
    Shot s = shot(p);
    EXPECT_EQ(s.at(11, 6), 0x0000FFu);
    EXPECT_EQ(s.at(16, 9), 0x0000FFu);
    EXPECT_EQ(s.at(17, 9), 0xFF0000u);
    EXPECT_EQ(s.at(11, 10), 0xFF0000u);
    // The parent painting later does not cover a child: children are composed on top.
    FillRect(pdc, &all, red);
    EXPECT_EQ(shot(p).at(12, 7), 0x0000FFu);
    // A window DC read by BitBlt sees the children too.
    HDC mem = CreateCompatibleDC(pdc);
    HBITMAP bmp = CreateCompatibleBitmap(pdc, 40, 30);
    SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, 40, 30, pdc, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mem, 12, 7), RGB(0, 0, 255));
    ShowWindow(c, SW_HIDE);
    EXPECT_EQ(shot(p).at(12, 7), 0xFF0000u);
    DeleteDC(mem);
    DeleteObject(bmp);
    ReleaseDC(p, pdc);
    ReleaseDC(c, cdc);
    DeleteObject(red);
    DeleteObject(blue);
    DestroyWindow(p);
}

TEST(Paint, FillRectAndEtchedEdge) {
    HWND h = canvas(12, 12);
    HDC dc = GetDC(h);
    RECT r{0, 0, 12, 12};
    EXPECT_TRUE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)));
    EXPECT_EQ(shot(h).at(5, 5), 0xC0C0C0u);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    RECT e{1, 1, 11, 11};
    EXPECT_TRUE(DrawEdge(dc, &e, EDGE_ETCHED, BF_RECT | BF_ADJUST));
    EXPECT_EQ(e.left, 3);
    EXPECT_EQ(e.bottom, 9);
    Shot s = shot(h);
    EXPECT_EQ(s.at(1, 1), 0x808080u);    // outer top-left: shadow
    EXPECT_EQ(s.at(10, 10), 0xFFFFFFu);  // outer bottom-right: highlight
    EXPECT_EQ(s.at(2, 2), 0xFFFFFFu);    // inner top-left: highlight
    EXPECT_EQ(s.at(9, 9), 0x808080u);    // inner bottom-right: shadow
    EXPECT_EQ(s.at(5, 5), 0xC0C0C0u);
    EXPECT_EQ(s.at(0, 0), 0xC0C0C0u);
    ReleaseDC(h, dc);
    DestroyWindow(h);
}

TEST(Paint, PaintMessagesEraseAndValidate) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = "greypaint";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(0, "greypaint", "", WS_POPUP, 0, 0, 6, 6, nullptr, nullptr, nullptr, nullptr);
    recs().clear();
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, h, WM_PAINT, WM_PAINT, PM_NOREMOVE));  // hidden windows are not painted
    ShowWindow(h, SW_SHOW);
    drain();
    EXPECT_EQ(msgs_of(h, {WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(shot(h).at(5, 5), 0xC0C0C0u);
    EXPECT_FALSE(PeekMessageA(&m, h, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    // UpdateWindow paints at once, without a message loop.
    recs().clear();
    RECT part{1, 1, 3, 3};
    InvalidateRect(h, &part, FALSE);
    RECT u;
    EXPECT_TRUE(GetUpdateRect(h, &u, FALSE));
    EXPECT_TRUE(EqualRect(&u, &part));
    UpdateWindow(h);
    EXPECT_EQ(msgs_of(h, {WM_PAINT, WM_ERASEBKGND}), (std::vector<UINT>{WM_PAINT}));
    EXPECT_FALSE(GetUpdateRect(h, &u, FALSE));
    DestroyWindow(h);
}

TEST(Capture, PngFileHoldsTheClientArea) {
    Dib d = make_dib(Rgb24, true);
    HWND h = canvas(W, H);
    HDC dc = GetDC(h);
    StretchDIBits(dc, 0, 0, W, H, 0, 0, W, H, d.bits.data(), d.bmi(), DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(h, dc);
    std::string path = std::string(VOK_TEST_BIN_DIR) + "/platform_window_capture.png";
    std::remove(path.c_str());
    ASSERT_TRUE(VokCaptureWindowPng(h, path.c_str()));
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&img, path.c_str()));
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buf(PNG_IMAGE_SIZE(img));
    ASSERT_TRUE(png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr));
    ASSERT_EQ(img.width, static_cast<png_uint_32>(W));
    ASSERT_EQ(img.height, static_cast<png_uint_32>(H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint8_t* p = &buf[(y * W + x) * 3];
            ASSERT_EQ(static_cast<uint32_t>((p[0] << 16) | (p[1] << 8) | p[2]), colour(x, y));
        }
    // A destroyed window still answers with its last picture.
    DestroyWindow(h);
    int w = 0, hh = 0;
    EXPECT_TRUE(VokCaptureWindow(h, nullptr, 0, &w, &hh));
    EXPECT_EQ(w, W);
    EXPECT_FALSE(VokCaptureWindowPng(reinterpret_cast<HWND>(0x1234), path.c_str()));
}

}  // namespace
