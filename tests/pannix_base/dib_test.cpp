// Colour values, DIB headers and DIB buffers painted into a headless window and read back.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "pannix/pxpix.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace {

TEST(Colours, BitsAndValuesOfEachDepthAndType)
{
    const struct {
        int32_t type, bpp;
    } bpp[] = {{3, 8}, {4, 15}, {5, 16}, {6, 24}, {7, 32}, {8, 32}, {10, 24}, {18, 16}, {9, 0}, {0, 0}, {11, 0}, {-1, 0}};
    for (const auto &c : bpp)
        EXPECT_EQ(PxBr2Bpp(c.type), c.bpp) << c.type;

    EXPECT_EQ(PxConvColor(16, 255, 255, 255), 0xFFFFu);
    EXPECT_EQ(PxConvColor(15, 0, 0, 255), 0x1Fu);
    EXPECT_EQ(PxConvColor(15, 255, 255, 255), 0x7FFFu);
    EXPECT_EQ(PxConvColor(16, 0x12, 0x34, 0x56), 0x11AAu);
    EXPECT_EQ(PxConvColor(24, 0x12, 0x34, 0x56), 0x123456u);
    EXPECT_EQ(PxConvColor(32, 0x112, 0x234, 0x356), 0x123456u); // only the low 8 bits count
    EXPECT_EQ(PxConvColor(8, 1, 2, 3), 0u);

    EXPECT_EQ(PxConvColorBr(10, 255, 255, 255), 0xFFFFFFu);
    EXPECT_EQ(PxConvColorBr(18, 255, 0, 0), 0xFF00u);
    EXPECT_EQ(PxConvColorBr(18, 0x12, 0x34, 0x56), 0xF135u);
    EXPECT_EQ(PxConvColorBr(4, 0, 0, 255), 0x1Fu);
    EXPECT_EQ(PxConvColorBr(5, 255, 0, 0), 0xF800u);
    EXPECT_EQ(PxConvColorBr(7, 1, 2, 3), 0x010203u);
    for (int32_t type : {3, 9, 11, 17, 19, -5})
        EXPECT_EQ(PxConvColorBr(type, 255, 255, 255), 0u) << type;
}

TEST(DibHeader, FilledByRequestedDepth)
{
    DIBUFFER *d = CreateBmpInfo(10, 4, 24, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biSize, 40u);
    EXPECT_EQ(d->bmiHeader.biSizeImage, 128u);
    EXPECT_EQ(d->bmiHeader.biPlanes, 1);
    EXPECT_EQ(d->bmiHeader.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(d->pBits, nullptr);
    KillDIBuffer(d);

    d = CreateBmpInfo(3, 2, 15, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biBitCount, 16);
    EXPECT_EQ(d->bmiHeader.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(d->bmiHeader.biSizeImage, 16u); // rows of 6 bytes padded to 8
    KillDIBuffer(d);

    d = CreateBmpInfo(3, 2, 16, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biCompression, DWORD(BI_BITFIELDS));
    uint32_t masks[3];
    memcpy(masks, d->bmiColors, sizeof masks);
    EXPECT_EQ(masks[0], 0xF800u);
    EXPECT_EQ(masks[1], 0x07E0u);
    EXPECT_EQ(masks[2], 0x001Fu);
    EXPECT_EQ(d->bmiHeader.biClrUsed, 0u);
    KillDIBuffer(d);

    std::vector<uint32_t> palette(256);
    for (int i = 0; i < 256; i++)
        palette[i] = uint32_t(i) << 16 | uint32_t(255 - i) << 8 | 7;
    d = CreateBmpInfo(5, 5, 8, palette.data());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biClrUsed, 256u);
    EXPECT_EQ(d->bmiHeader.biClrImportant, 256u);
    EXPECT_EQ(d->bmiColors[200].rgbRed, 200);
    EXPECT_EQ(d->bmiColors[200].rgbGreen, 55);
    EXPECT_EQ(d->bmiColors[200].rgbBlue, 7);
    KillDIBuffer(d);
    d = CreateBmpInfo(5, 5, 8, nullptr);
    ASSERT_NE(d, nullptr);
    uint16_t indices[256];
    memcpy(indices, d->bmiColors, sizeof indices);
    EXPECT_EQ(indices[0], 0);
    EXPECT_EQ(indices[255], 255);
    KillDIBuffer(d);

    for (int32_t bits : {0, 1, 4, 12, 17, 48})
        EXPECT_EQ(CreateBmpInfo(10, 4, bits, nullptr), nullptr) << bits;
    // Sizes that make no picture, or one too large to address.
    EXPECT_EQ(CreateBmpInfo(0, 4, 24, nullptr), nullptr);
    EXPECT_EQ(CreateBmpInfo(4, -1, 24, nullptr), nullptr);
    EXPECT_EQ(CreateDIBuffer(100000, 100000, 32, nullptr), nullptr);
    EXPECT_EQ(KillDIBuffer(nullptr), 0);
}

HWND canvas(int w, int h)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "pannix_canvas";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "pannix_canvas", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
}

std::vector<uint32_t> paint(DIBUFFER *d, UINT usage = DIB_RGB_COLORS)
{
    const int w = d->bmiHeader.biWidth, h = d->bmiHeader.biHeight;
    HWND win = canvas(w, h);
    HDC dc = GetDC(win);
    // The record goes to the platform as it is: its head is the bitmap information.
    EXPECT_EQ(StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, d->pBits, reinterpret_cast<const BITMAPINFO *>(d), usage,
                            SRCCOPY),
              h);
    ReleaseDC(win, dc);
    std::vector<uint32_t> px(size_t(w * h));
    int cw = 0, ch = 0;
    EXPECT_TRUE(VokCaptureWindow(win, px.data(), int(px.size()), &cw, &ch));
    EXPECT_EQ(cw, w);
    EXPECT_EQ(ch, h);
    DestroyWindow(win);
    return px;
}

TEST(DibBuffer, PaintedIntoAWindowBottomRowFirst)
{
    const int w = 3, h = 2;
    // 16 bits: 565 through the bit-field masks.
    DIBUFFER *d = CreateDIBufferHic(w, h, 16);
    ASSERT_NE(d, nullptr);
    const size_t row = d->bmiHeader.biSizeImage / h;
    auto *p16 = static_cast<uint16_t *>(d->pBits);
    EXPECT_EQ(p16[0], 0); // zeroed
    // Memory row 0 is the bottom row on screen.
    p16[0] = uint16_t(PxConvColor(16, 255, 0, 0));
    p16[1] = uint16_t(PxConvColor(16, 0, 255, 0));
    p16[row / 2 + 2] = uint16_t(PxConvColor(16, 0, 0, 255));
    std::vector<uint32_t> px = paint(d);
    EXPECT_EQ(px[1 * w + 0], 0xFF0000u);
    EXPECT_EQ(px[1 * w + 1], 0x00FF00u);
    EXPECT_EQ(px[0 * w + 2], 0x0000FFu);
    EXPECT_EQ(px[0 * w + 0], 0u);
    KillDIBuffer(d);

    // 15 bits: plain 555.
    d = CreateDIBufferHic(w, h, 15);
    ASSERT_NE(d, nullptr);
    static_cast<uint16_t *>(d->pBits)[0] = uint16_t(PxConvColor(15, 0, 255, 0));
    EXPECT_EQ(paint(d)[1 * w + 0], 0x00FF00u);
    KillDIBuffer(d);

    // 24 and 32 bits.
    for (int32_t bits : {24, 32}) {
        d = CreateDIBufferHic(w, h, bits);
        ASSERT_NE(d, nullptr);
        auto *b = static_cast<uint8_t *>(d->pBits);
        const size_t stride = d->bmiHeader.biSizeImage / h, bytes = size_t(bits / 8);
        uint32_t value = PxConvColor(bits, 0x12, 0x34, 0x56);
        memcpy(b + stride + 1 * bytes, &value, 3); // top row, second pixel
        EXPECT_EQ(paint(d)[0 * w + 1], 0x123456u) << bits;
        KillDIBuffer(d);
    }

    // 8 bits with a palette.
    std::vector<uint32_t> palette(256, 0);
    palette[9] = 0xABCDEF;
    d = CreateDIBuffer8(w, h, palette.data());
    ASSERT_NE(d, nullptr);
    static_cast<uint8_t *>(d->pBits)[2] = 9;
    std::vector<uint32_t> px8 = paint(d);
    EXPECT_EQ(px8[1 * w + 2], 0xABCDEFu);
    EXPECT_EQ(px8[1 * w + 1], 0u);
    KillDIBuffer(d);
}

}  // namespace
