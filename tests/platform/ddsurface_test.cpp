// DirectDraw off-screen surfaces: creation rules, locking, and blits that convert formats, clip at
// the target's edges and wait for a locked surface.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "win32/ddraw.h"
#include "win32/windows.h"

namespace {

DDSURFACEDESC describe(DWORD w, DWORD h, DWORD bits = 0)
{
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (bits != 0) {
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddpfPixelFormat.dwSize = sizeof d.ddpfPixelFormat;
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = bits;
        d.ddpfPixelFormat.dwRBitMask = bits == 32 ? 0xFF0000 : 0xF800;
        d.ddpfPixelFormat.dwGBitMask = bits == 32 ? 0x00FF00 : 0x07E0;
        d.ddpfPixelFormat.dwBBitMask = bits == 32 ? 0x0000FF : 0x001F;
    }
    return d;
}

class Surfaces : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK); }
    void TearDown() override { dd->Release(); }
    IDirectDrawSurface *make(DWORD w, DWORD h, DWORD bits = 0)
    {
        DDSURFACEDESC d = describe(w, h, bits);
        IDirectDrawSurface *s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }
    IDirectDraw *dd = nullptr;
};

TEST_F(Surfaces, CreationNeedsALevelASizeAndAKnownFormat)
{
    IDirectDrawSurface *s = nullptr;
    DDSURFACEDESC d = describe(4, 4);
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDCAPS);
    d = describe(0, 4);
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    d = describe(4, 4, 24);
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(s, nullptr);
    s = make(5, 3);
    ASSERT_NE(s, nullptr);
    DDSURFACEDESC got{};
    got.dwSize = sizeof got;
    ASSERT_EQ(s->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(got.dwWidth, 5u);
    EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(got.ddpfPixelFormat.dwRBitMask, 0xF800u);  // 5-6-5 by default
    EXPECT_EQ(got.lPitch, 12);                          // rows of whole 32-bit words
    EXPECT_EQ(s->Release(), 0u);
}

TEST_F(Surfaces, BlitsConvertClipAndWaitForALock)
{
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface *src = make(3, 2), *dst = make(4, 4, 32);
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) {
            const uint16_t v = x == 0 && y == 0 ? 0xF800 : 0x07E0;  // red top-left, green elsewhere
            std::memcpy(static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch + x * 2, &v, 2);
        }
    DDSURFACEDESC busy{};
    busy.dwSize = sizeof busy;
    EXPECT_EQ(src->Lock(nullptr, &busy, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_NOCOLORKEY), DDERR_WASSTILLDRAWING);
    // A waiting blit goes on once the source is unlocked.
    std::thread later([&] { EXPECT_EQ(dst->BltFast(2, 3, src, nullptr, DDBLTFAST_WAIT), DD_OK); });
    Sleep(20);
    ASSERT_EQ(src->Unlock(d.lpSurface), DD_OK);
    later.join();

    RECT one{0, 0, 1, 1};
    EXPECT_EQ(dst->BltFast(0, 0, src, &one, DDBLTFAST_WAIT), DD_OK);
    RECT outside{0, 0, 4, 2};
    EXPECT_EQ(dst->BltFast(0, 0, src, &outside, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    ASSERT_EQ(dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto at = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(at(0, 0), 0xFF0000u);  // the one-pixel blit
    EXPECT_EQ(at(1, 0), 0u);
    EXPECT_EQ(at(2, 3), 0xFF0000u);  // the waiting blit, cut at the right and bottom edges
    EXPECT_EQ(at(3, 3), 0x00FF00u);
    EXPECT_EQ(at(2, 2), 0u);
    EXPECT_EQ(dst->Unlock(d.lpSurface), DD_OK);
    EXPECT_EQ(dst->Unlock(d.lpSurface), DDERR_INVALIDPARAMS);
    src->Release();
    dst->Release();
}

TEST_F(Surfaces, BlitsWithinOneSurfaceReadEveryPixelBeforeItIsOverwritten)
{
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    // A 3 x 4 surface whose pixel (x, y) holds 10 * y + x + 1; each case moves its top-left 2 x 3.
    const struct {
        DWORD x, y;
    } moves[] = {{0, 1}, {1, 0}, {1, 1}, {0, 0}};
    for (const auto &m : moves) {
        SCOPED_TRACE(std::to_string(m.x) + "," + std::to_string(m.y));
        IDirectDrawSurface *s = make(3, 4, 32);
        DDSURFACEDESC d{};
        d.dwSize = sizeof d;
        auto at = [&](int x, int y) {
            return reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(d.lpSurface) + y * d.lPitch) + x;
        };
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 3; x++)
                *at(x, y) = uint32_t(10 * y + x + 1);
        ASSERT_EQ(s->Unlock(d.lpSurface), DD_OK);
        RECT part{0, 0, 2, 3};
        ASSERT_EQ(s->BltFast(m.x, m.y, s, &part, DDBLTFAST_WAIT), DD_OK);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 2; x++)
                EXPECT_EQ(*at(int(m.x) + x, int(m.y) + y), uint32_t(10 * y + x + 1)) << x << "," << y;
        s->Unlock(d.lpSurface);
        s->Release();
    }
}

}  // namespace
