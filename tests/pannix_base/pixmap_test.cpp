// Px pixel maps: Pannix's own types through the 3D library, sub-maps, stored maps loaded from packs
// with and without copying, saved and loaded files, and maps over DIB buffers painted into a window.
#include <string.h>

#include <filesystem>
#include <string>

#include "brondel/brpixmap.h"
#include "pannix/pannix.h"
#include "support.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace {

uint8_t *row_of(br_pixelmap *pm, int y)
{
    return static_cast<uint8_t *>(pm->pixels) + intptr_t(pm->row_bytes) * (pm->base_y + y) +
           intptr_t(pm->base_x) * (pm->type == PX_PMT_RGB565_ALPHA8 ? 3 : 2);
}

uint16_t px16(br_pixelmap *pm, int x, int y)
{
    uint16_t v;
    memcpy(&v, row_of(pm, y) + 2 * x, 2);
    return v;
}

TEST(PxPix, OwnTypesKeepTheirTypeThroughEveryCall)
{
    br_pixelmap *argb = PxAllocPix(PX_PMT_ARGB_4444, 5, 3, nullptr, 0);
    ASSERT_NE(argb, nullptr) << GetLastMsgError();
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);
    EXPECT_EQ(PxFillPix(argb, 0xF123), 0);
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);
    EXPECT_EQ(px16(argb, 4, 2), 0xF123);
    EXPECT_EQ(PxFillPixRect(argb, 1, 1, 2, 1, 0x0ABC), 0);
    EXPECT_EQ(px16(argb, 1, 1), 0x0ABC);
    EXPECT_EQ(px16(argb, 3, 1), 0xF123);
    EXPECT_EQ(PxBorder(argb, 0, 0, 5, 3, 0x1111), 0);
    EXPECT_EQ(px16(argb, 0, 0), 0x1111);
    EXPECT_EQ(px16(argb, 2, 1), 0x0ABC);
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);

    // A whole copy between maps of one layout.
    br_pixelmap *copy = PxAllocPix(PX_PMT_ARGB_4444, 5, 3, nullptr, 0);
    PxCopyPix(copy, argb);
    EXPECT_EQ(px16(copy, 1, 1), 0x0ABC);
    EXPECT_EQ(copy->type, PX_PMT_ARGB_4444);
    PxCopyPix(copy, nullptr);
    PxFreePix(copy);

    // Type 10: alpha byte first, then the 565 word.
    br_pixelmap *alpha = PxAllocPix(PX_PMT_RGB565_ALPHA8, 4, 2, nullptr, 0);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(PxFillPix(alpha, PxConvColorBr(PX_PMT_RGB565_ALPHA8, 255, 0, 0)), 0);
    const uint8_t *p = row_of(alpha, 1) + 3 * 3;
    EXPECT_EQ(p[0], 0xFF);
    EXPECT_EQ(p[1] | p[2] << 8, 0xF800);
    EXPECT_EQ(alpha->type, PX_PMT_RGB565_ALPHA8);

    // Sub-maps share the pixels and keep the parent's type.
    br_pixelmap *sub = PxAllocSubPix(argb, 1, 1, 2, 2);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->type, PX_PMT_ARGB_4444);
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);
    PxFillPix(sub, 0x2222);
    EXPECT_EQ(px16(argb, 2, 2), 0x2222);
    EXPECT_EQ(px16(argb, 3, 1), 0xF123);
    PxFreePix(sub);
    EXPECT_EQ(PxAllocSubPix(argb, 0, 0, 0, 2), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating subpixelmap: 0, 0  -  0 x 2");
    EXPECT_EQ(PxAllocSubPix(nullptr, 1, 2, 3, 4), nullptr);

    EXPECT_STREQ(PxReplaceId(argb, "icon"), "icon");
    EXPECT_STREQ(PxReplaceId(argb, argb->identifier + 1), "con");
    EXPECT_EQ(PxFreePix(argb), 0);
    EXPECT_EQ(PxFreePix(alpha), 0);
    EXPECT_EQ(PxFreePix(nullptr), 0);
    EXPECT_EQ(PxFillPix(nullptr, 0), BRE_FAIL);
}

TEST(PxPix, SizesOutsideTheRecordAreRefused)
{
    EXPECT_EQ(PxAllocPix(PX_PMT_ARGB_4444, 0, 5, nullptr, 0), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating pixelmap: 0 x 5 / 18");
    EXPECT_EQ(PxAllocPix(BR_PMT_RGB_565, 70000, 1, nullptr, 0), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating pixelmap: 70000 x 1 / 5");
    EXPECT_EQ(PxAllocPix(BR_PMT_RGB_565, 4, -1, nullptr, 0), nullptr);
    EXPECT_EQ(PxAllocPix(300, 4, 4, nullptr, 0), nullptr);
}

// Row bytes of a map of that type and width, as the stored rows of a pack lay them out.
int row_bytes_of(int32_t type, int32_t width)
{
    br_pixelmap *pm = PxAllocPix(type, width, 1, nullptr, 0);
    int rb = pm ? pm->row_bytes : 0;
    PxFreePix(pm);
    return rb;
}

class PackPixmaps : public pxtest::Scratch {
protected:
    void SetUp() override
    {
        pxtest::Scratch::SetUp();
        rb = row_bytes_of(PX_PMT_ARGB_4444, 3);
        std::vector<uint8_t> rows(size_t(rb) * 2, 0);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++) {
                uint16_t v = uint16_t(0xF000 + y * 16 + x);
                memcpy(&rows[size_t(y * rb + 2 * x)], &v, 2);
            }
        std::vector<uint8_t> short_rows(rows.begin(), rows.end() - 1);
        std::vector<fpk::Entry> entries = {
            {"Sprite.pix", fpk::stored_pixmap(3, 2, PX_PMT_ARGB_4444, rows), fpk::kPixmapFlag},
            {"short.pix", fpk::stored_pixmap(3, 2, PX_PMT_ARGB_4444, short_rows), fpk::kPixmapFlag},
            {"huge.pix", fpk::stored_pixmap(70000, 1, BR_PMT_RGB_565, rows), fpk::kPixmapFlag},
            {"plain.pix", fpk::stored_pixmap(3, 2, PX_PMT_ARGB_4444, rows), 0},
            {"tiny.pix", pxtest::bytes_of("abc"), 0},
        };
        std::vector<uint8_t> bytes = pxtest::pack_bytes(entries);
        // The writer refuses a stored map shorter than its head: mark one by hand.
        std::vector<fpk::Entry> listed;
        std::string error;
        ASSERT_TRUE(fpk::read(bytes, listed, error));
        for (size_t i = 0; i < listed.size(); i++)
            if (listed[i].name == "tiny.pix")
                fpk::put32(bytes, fpk::kHeaderSize + i * fpk::kEntrySize + 8, fpk::kPixmapFlag);
        pxtest::write_bytes(path("pics.fpk"), bytes);
        pack = FFOpenPack(path("pics.fpk").c_str(), 0);
        ASSERT_NE(pack, nullptr) << GetLastMsgError();
    }
    void TearDown() override
    {
        FFClosePack(pack);
        pxtest::Scratch::TearDown();
    }
    int rb = 0;
    FFPACKHANDLE *pack = nullptr;
};

TEST_F(PackPixmaps, LoadedWithAndWithoutCopy)
{
    const auto *entry = static_cast<const uint8_t *>(FFGetFileAddress("sprite.pix"));
    ASSERT_NE(entry, nullptr);

    br_pixelmap *owned = PxLoadPixP("\\Data\\SPRITE.PIX", 1);
    ASSERT_NE(owned, nullptr) << GetLastMsgError();
    EXPECT_EQ(owned->type, PX_PMT_ARGB_4444);
    EXPECT_EQ(owned->width, 3);
    EXPECT_EQ(owned->height, 2);
    EXPECT_EQ(px16(owned, 2, 1), 0xF012);
    const auto *own_pixels = static_cast<const uint8_t *>(owned->pixels);
    EXPECT_TRUE(own_pixels < entry || own_pixels >= entry + 16 + 2 * rb);
    PxFillPix(owned, 0x1234); // its own pixels: the pack is untouched
    EXPECT_EQ(entry[16], 0x00);
    EXPECT_EQ(entry[17], 0xF0);

    br_pixelmap *in_place = PxLoadPixP("sprite.pix", 0);
    ASSERT_NE(in_place, nullptr);
    EXPECT_EQ(in_place->pixels, entry + 16);
    EXPECT_EQ(px16(in_place, 1, 1), 0xF011);
    EXPECT_EQ(PxFreePixNP(in_place), 0);
    PxFreePix(owned);

    EXPECT_EQ(PxLoadPix("plain.pix"), nullptr); // not a stored map
    for (const char *bad : {"short.pix", "huge.pix", "tiny.pix"}) {
        for (int copy : {0, 1}) {
            SetLastMsgError("untouched");
            EXPECT_EQ(FFLoadPix(bad, copy), nullptr) << bad;
            EXPECT_EQ(std::string(GetLastMsgError()).rfind("FFLoadPix: ", 0), 0u) << GetLastMsgError();
        }
    }
    EXPECT_EQ(FFLoadPix(nullptr, 1), nullptr);
    EXPECT_EQ(FFLoadPix("", 1), nullptr);
    // A name the pack does not hold goes to the picture files, where there is none either.
    EXPECT_EQ(FFLoadPix(path("nowhere.pix").c_str(), 1), nullptr);
}

TEST_F(PackPixmaps, OwnTypesSurviveASaveAndLoad)
{
    FFSetCurrentPack(nullptr);
    br_pixelmap *argb = PxAllocPix(PX_PMT_ARGB_4444, 4, 2, nullptr, 0);
    PxFillPix(argb, 0x8421);
    PxReplaceId(argb, "button");
    ASSERT_NE(PxSavePix(path("b.pix").c_str(), argb), 0u);
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);
    EXPECT_STREQ(argb->identifier, "button");
    br_pixelmap *back = PxLoadPix(path("b.pix").c_str());
    ASSERT_NE(back, nullptr) << GetLastMsgError();
    EXPECT_EQ(back->type, PX_PMT_ARGB_4444);
    EXPECT_STREQ(back->identifier, "button");
    EXPECT_EQ(px16(back, 3, 1), 0x8421);
    PxFreePix(back);
    PxFreePix(argb);

    br_pixelmap *alpha = PxAllocPix(PX_PMT_RGB565_ALPHA8, 2, 2, nullptr, 0);
    ASSERT_NE(PxSavePix(path("a.pix").c_str(), alpha), 0u);
    EXPECT_EQ(alpha->identifier, nullptr);
    back = PxLoadPix(path("a.pix").c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->type, PX_PMT_RGB565_ALPHA8);
    EXPECT_EQ(back->identifier, nullptr);
    PxFreePix(back);
    PxFreePix(alpha);
    EXPECT_EQ(PxSavePix(nullptr, alpha), 0u);
}

TEST(PxPix, CopiesBetweenDifferentStridesGoThroughTheBlitter)
{
    br_pixelmap *src = PxAllocPix(BR_PMT_RGB_565, 3, 2, nullptr, 0);
    br_pixelmap *dst = PxAllocPix(BR_PMT_RGB_565, 6, 3, nullptr, 0);
    ASSERT_NE(src->row_bytes, dst->row_bytes);
    PxFillPix(src, 0x1234);
    PxFillPix(dst, 0x5555);
    PxCopyPix(dst, src);
    EXPECT_EQ(px16(dst, 0, 0), 0x1234);
    EXPECT_EQ(px16(dst, 2, 1), 0x1234);
    EXPECT_EQ(px16(dst, 3, 1), 0x5555);
    EXPECT_EQ(px16(dst, 0, 2), 0x5555);
    PxFreePix(src);
    PxFreePix(dst);
}

// A portable blitter that refuses a source of another pixel size says so in the last-error text.
TEST(PxPix, RefusedPortableBlitsLeaveTheLastError)
{
    br_pixelmap *glyphs = PxAllocPix(BR_PMT_INDEX_8, 4, 2, nullptr, 0);
    br_pixelmap *dst = PxAllocPix(BR_PMT_RGB_565, 4, 2, nullptr, 0);
    PxFillPix(glyphs, 1);
    PxFillPix(dst, 0x5555);
    SetLastMsgError(PXERR_OK);
    CopyRectTransparent0fill(dst, 0, 0, glyphs, 0, 0, 4, 2, 0x1234);
    EXPECT_EQ(px16(dst, 0, 0), 0x5555);
    EXPECT_EQ(std::string(GetLastMsgError()),
              "CopyRectTransparent0fill: source pixel type 3 differs in size from destination type 5; nothing drawn");
    PxFreePix(glyphs);
    PxFreePix(dst);
}

// What a window shows after a DIB is painted 1:1 into it.
std::vector<uint32_t> paint(DIBUFFER *d)
{
    const int w = d->bmiHeader.biWidth, h = d->bmiHeader.biHeight;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "pannix_pix_canvas";
    RegisterClassA(&wc);
    HWND win = CreateWindowExA(0, "pannix_pix_canvas", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
    HDC dc = GetDC(win);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, d->pBits, reinterpret_cast<const BITMAPINFO *>(d),
                            DIB_RGB_COLORS, SRCCOPY),
              h);
    ReleaseDC(win, dc);
    std::vector<uint32_t> px(size_t(w * h));
    int cw = 0, ch = 0;
    EXPECT_TRUE(VokCaptureWindow(win, px.data(), int(px.size()), &cw, &ch));
    DestroyWindow(win);
    return px;
}

TEST(DibPixmaps, MapRowZeroIsTheTopOfThePicture)
{
    const int w = 5, h = 3;
    br_pixelmap *pm = nullptr;
    DIBUFFER *dib = PxCreateDibAndPix(BR_PMT_RGB_565, w, h, &pm);
    ASSERT_NE(dib, nullptr) << GetLastMsgError();
    ASSERT_NE(pm, nullptr);
    const int row = int(dib->bmiHeader.biSizeImage) / h;
    EXPECT_EQ(pm->row_bytes, -row);
    EXPECT_EQ(pm->pixels, static_cast<uint8_t *>(dib->pBits) + (h - 1) * row);
    PxFillPix(pm, PxConvColorBr(BR_PMT_RGB_565, 0, 0, 255));
    PxFillPixRect(pm, 0, 0, 2, 1, PxConvColorBr(BR_PMT_RGB_565, 255, 0, 0));
    PxFillPixRect(pm, 4, 2, 1, 1, PxConvColorBr(BR_PMT_RGB_565, 0, 255, 0));
    std::vector<uint32_t> shown = paint(dib);
    EXPECT_EQ(shown[0], 0xFF0000u);
    EXPECT_EQ(shown[1], 0xFF0000u);
    EXPECT_EQ(shown[2], 0x0000FFu);
    EXPECT_EQ(shown[2 * w + 4], 0x00FF00u);
    PxFreePixNP(pm);
    KillDIBuffer(dib);

    // A map whose pixels do not fit the DIB's rows is refused.
    dib = CreateDIBufferHic(w, h, 16);
    EXPECT_EQ(PxMatchPixToDib(BR_PMT_RGBX_888, dib), nullptr);
    EXPECT_EQ(PxMatchPixToDib(BR_PMT_RGB_565, nullptr), nullptr);
    KillDIBuffer(dib);
    EXPECT_EQ(PxCreateDibAndPix(9, w, h, &pm), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating picture buffer! (5x3,t=9)");
}

TEST(DibPixmaps, AMapWithItsOwnRowsShownThroughAHeader)
{
    // 24-bit rows of 10 pixels: 30 bytes padded to 32 in the DIB.
    const int w = 10, h = 4;
    DIBUFFER *info = nullptr;
    br_pixelmap *pm = PxCreatePixAndDib(BR_PMT_RGB_888, w, h, &info);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->bmiHeader.biSizeImage, 128u);
    EXPECT_EQ(pm->row_bytes, -32);
    EXPECT_EQ(pm->pixels, static_cast<uint8_t *>(info->pBits) + 3 * 32);
    PxFillPix(pm, 0x102030);
    PxFillPixRect(pm, 9, 0, 1, 1, 0xFFFFFF);
    std::vector<uint32_t> shown = paint(info);
    EXPECT_EQ(shown[9], 0xFFFFFFu);
    EXPECT_EQ(shown[0], 0x102030u);
    EXPECT_EQ(shown[3 * w + 9], 0x102030u);
    // The block is the map's: the header lets go of it first.
    info->pBits = nullptr;
    KillDIBuffer(info);
    PxFreePix(pm);

    pm = PxCreatePixAndDib(BR_PMT_RGB_565, w, h, nullptr);
    ASSERT_NE(pm, nullptr);
    PxFreePix(pm);
    EXPECT_EQ(PxCreatePixAndDib(BR_PMT_RGB_565, 0, h, &info), nullptr);
    EXPECT_STREQ(GetLastMsgError(), "Error allocating picture buffer! (0x4,t=5)");
}

}  // namespace
