// Pictures found by name: the lookup order, the .pix cache beside the source, conversions, and
// pictures of the current pack.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "pic_support.h"
#include "vokplat/msgbox.h"

namespace {

using pictest::pixel;
using pictest::rgb565;
using pictest::Rgb;

const Rgb kRed{0xF8, 0x00, 0x00}, kGreen{0x00, 0xFC, 0x00}, kBlue{0x00, 0x00, 0xF8};

class PicFile : public pictest::DataFolder {
protected:
    // A .pix file of one colour, as the library writes it.
    void write_pix(const std::string &name, Rgb c)
    {
        br_pixelmap *pm = PxAllocPix(BR_PMT_RGB_565, 2, 2, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        PxFillPix(pm, rgb565(c));
        ASSERT_NE(PxSavePix(path(name).c_str(), pm), 0u);
        PxFreePix(pm);
    }

    ino_t inode(const std::string &name)
    {
        struct stat st {};
        return stat(path(name).c_str(), &st) == 0 ? st.st_ino : 0;
    }
};

TEST_F(PicFile, LookupOrder)
{
    pxtest::write_bytes(path("both.tga"), pictest::tga(2, 2, kRed));
    pxtest::write_bytes(path("both.bmp"), pictest::bmp(2, 2, kGreen));
    pxtest::write_bytes(path("bmponly.bmp"), pictest::bmp(2, 2, kGreen));
    write_pix("pixonly.pix", kBlue);
    pxtest::write_bytes(path("named.bmp"), pictest::bmp(2, 2, kGreen));
    write_pix("named.pix", kBlue);
    std::filesystem::create_directories(dir / "sub");
    pxtest::write_bytes(path("sub/deep.tga"), pictest::tga(2, 2, kRed));

    struct Case {
        const char *name;
        Rgb expected;
    } cases[] = {
        {"Both", kRed},          // .tga before .bmp, any case
        {"BMPONLY", kGreen},     // then .bmp
        {"pixonly", kBlue},      // then .pix
        {"named.tga", kBlue},    // a missing file: the .pix of its name
        {"named.bmp", kGreen},   // an extension is taken as given
        {"Sub\\Deep", kRed},     // folders below the data folder, "\" separated
        {"+both", kRed},         // "+" only matters for pack pictures
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        br_pixelmap *pm = AmsgGetPixFile(c.name, BR_PMT_RGB_565);
        ASSERT_NE(pm, nullptr) << GetLastMsgError();
        EXPECT_EQ(pm->type, BR_PMT_RGB_565);
        EXPECT_EQ(pixel(pm, 1, 1, 2), rgb565(c.expected));
        PxFreePix(pm);
    }
    // The full path of the same files.
    br_pixelmap *pm = AmsgGetPixFile(path("both").c_str(), BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pixel(pm, 0, 0, 2), rgb565(kRed));
    PxFreePix(pm);
}

TEST_F(PicFile, MissingAndBadNames)
{
    EXPECT_EQ(AmsgGetPixFile("missing", 0), nullptr);
    EXPECT_NE(strstr(GetLastMsgError(), (dir.string() + "/missing.pix").c_str()), nullptr) << GetLastMsgError();
    // Without the pack flag the current pack is not asked.
    EXPECT_EQ(AmsgGetPixFile("missing", BR_PMT_RGB_565), nullptr);

    SetLastMsgError("before");
    EXPECT_EQ(AmsgGetPixFile(nullptr, 0), nullptr);
    const std::string bad_name = GetLastMsgError();
    EXPECT_STRNE(bad_name.c_str(), "before");
    SetLastMsgError("before");
    EXPECT_EQ(AmsgGetPixFile(std::string(300, 'a').c_str(), 0), nullptr);
    EXPECT_EQ(bad_name, GetLastMsgError());

    // A file the loaders refuse.
    pxtest::write_text(path("junk.bmp"), "not a picture");
    EXPECT_EQ(AmsgGetPixFile("junk.bmp", 0), nullptr);
    EXPECT_NE(strstr(GetLastMsgError(), "junk.bmp"), nullptr) << GetLastMsgError();
}

TEST_F(PicFile, RelativeNamesLieBelowTheDataFolderWhereverTheProcessIs)
{
    pxtest::write_bytes(path("logo.tga"), pictest::tga(2, 2, kRed));
    std::filesystem::path elsewhere = dir / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    pxtest::write_bytes((elsewhere / "logo.tga").string(), pictest::tga(2, 2, kBlue));
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(elsewhere.c_str()), 0);
    br_pixelmap *pm = AmsgGetPixFile("logo", BR_PMT_RGB_565);
    EXPECT_EQ(chdir(cwd), 0);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pixel(pm, 0, 0, 2), rgb565(kRed));
    PxFreePix(pm);
    EXPECT_STREQ(PxDataPath("x\\y.pix"), (dir.string() + "/x\\y.pix").c_str());
    EXPECT_STREQ(PxDataPath(nullptr), (dir.string() + "/").c_str());
}

TEST_F(PicFile, ConvertedPicturesAreCachedBesideTheirSource)
{
    pxtest::write_bytes(path("photo.tga"), pictest::tga(3, 2, kGreen));
    br_pixelmap *pm = AmsgGetPixFile("photo", BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    PxFreePix(pm);
    ASSERT_TRUE(std::filesystem::exists(path("photo.pix")));

    // Without its source the cache is the picture: converted already, nothing written again.
    std::filesystem::remove(path("photo.tga"));
    const ino_t cached = inode("photo.pix");
    pm = AmsgGetPixFile("photo", BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pm->type, BR_PMT_RGB_565);
    EXPECT_EQ(pm->width, 3);
    EXPECT_EQ(pixel(pm, 2, 1, 2), rgb565(kGreen));
    PxFreePix(pm);
    EXPECT_EQ(inode("photo.pix"), cached);

    // A .pix asked for in another type is converted and its copy replaced.
    pm = AmsgGetPixFile("photo", BR_PMT_RGB_555);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pm->type, BR_PMT_RGB_555);
    PxFreePix(pm);
    pm = PxLoadPix(path("photo.pix").c_str());
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_555);
    PxFreePix(pm);

    // Imported pictures are kept in their own type when none is asked for.
    pxtest::write_bytes(path("plain.bmp"), pictest::bmp(2, 1, kRed));
    pm = AmsgGetPixFile("plain", 0);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_888);
    PxFreePix(pm);
    pm = PxLoadPix(path("plain.pix").c_str());
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, BR_PMT_RGB_888);
    EXPECT_EQ(pixel(pm, 1, 0, 3), 0xF80000u);
    PxFreePix(pm);
}

TEST_F(PicFile, ACacheThatCannotBeWrittenIsSkippedSilently)
{
    // A folder in the way of the copy.
    pxtest::write_bytes(path("blocked.tga"), pictest::tga(2, 2, kRed));
    std::filesystem::create_directories(dir / "blocked.pix");
    SetLastMsgError("untouched");
    br_pixelmap *pm = AmsgGetPixFile("blocked", BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pixel(pm, 0, 0, 2), rgb565(kRed));
    PxFreePix(pm);
    EXPECT_STREQ(GetLastMsgError(), "untouched");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "blocked.pix"));
}

TEST_F(PicFile, NoCacheInAFolderThatTakesNoFiles)
{
    std::filesystem::path ro = dir / "ro";
    std::filesystem::create_directories(ro);
    pxtest::write_bytes((ro / "pic.tga").string(), pictest::tga(2, 2, kRed));
    chmod(ro.c_str(), 0555);
    if (access(ro.c_str(), W_OK) == 0) {
        chmod(ro.c_str(), 0755);
        GTEST_SKIP() << "this user may write into read-only folders";
    }
    br_pixelmap *pm = AmsgGetPixFile("ro\\pic", BR_PMT_RGB_565);
    chmod(ro.c_str(), 0755);
    ASSERT_NE(pm, nullptr);
    PxFreePix(pm);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ro), std::filesystem::directory_iterator()), 1);
}

TEST_F(PicFile, PictureKinds)
{
    // 16-bit TGA pixels are 5-5-5.
    pxtest::write_bytes(path("sixteen.tga"), pictest::tga(2, 2, kRed, 16));
    br_pixelmap *pm = AmsgGetPixFile("sixteen", 0);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pm->type, BR_PMT_RGB_555);
    EXPECT_EQ(pixel(pm, 0, 0, 2), 0x7C00u);
    PxFreePix(pm);

    // An alpha TGA asked for in RGB_565 keeps its alpha beside the 565 word.
    pxtest::write_bytes(path("alpha.tga"), pictest::tga(2, 2, kBlue, 32, 0x40));
    pm = AmsgGetPixFile("alpha", BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pm->type, PX_PMT_RGB565_ALPHA8);
    EXPECT_EQ(pixel(pm, 1, 1, 3), 0x40u | rgb565(kBlue) << 8);
    PxFreePix(pm);
    pm = PxLoadPix(path("alpha.pix").c_str());
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->type, PX_PMT_RGB565_ALPHA8);
    PxFreePix(pm);

    // 8-bit pictures convert through the library's palette, not their own.
    pxtest::write_bytes(path("indexed.bmp"), pictest::bmp(3, 2, kRed, 8, 7));
    EXPECT_EQ(AmsgGetPixFile("indexed", BR_PMT_RGB_565), nullptr);
    EXPECT_NE(strstr(GetLastMsgError(), "indexed.bmp"), nullptr) << GetLastMsgError();
    EXPECT_FALSE(std::filesystem::exists(path("indexed.pix")));
    br_pixelmap *palette = PxAllocPix(BR_PMT_RGBX_888, 256, 1, nullptr, 0);
    ASSERT_NE(palette, nullptr);
    static_cast<uint32_t *>(palette->pixels)[7] = 0x00F80000;
    pMsgPalette = palette;
    pm = AmsgGetPixFile("indexed", BR_PMT_RGB_565);
    ASSERT_NE(pm, nullptr) << GetLastMsgError();
    EXPECT_EQ(pixel(pm, 2, 1, 2), rgb565(kRed));
    PxFreePix(pm);
    PxFreePix(palette);
}

TEST_F(PicFile, ConvPixelmap)
{
    // RGBA pixel: blue 0x10, green 0x20, red 0xF0, alpha 0x80.
    auto rgba = [] {
        br_pixelmap *pm = PxAllocPix(BR_PMT_RGBA_8888, 2, 1, nullptr, 0);
        PxFillPix(pm, 0x80F02010u);
        return pm;
    };
    const uint32_t word = (0xF0u >> 3) << 11 | (0x20u >> 2) << 5 | 0x10u >> 3;
    struct Case {
        int32_t target, made, bytes;
        uint32_t value;
    } cases[] = {
        {BR_PMT_RGB_565, PX_PMT_RGB565_ALPHA8, 3, 0x80u | word << 8},
        {BR_PMT_RGBX_888, BR_PMT_RGBA_8888, 4, 0x80F02010u},
        {BR_PMT_RGB_555, PX_PMT_ARGB_4444, 2, 0x8F21u},
        {BR_PMT_RGB_888, BR_PMT_RGB_888, 3, 0xF02010u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        br_pixelmap *out = ConvPixelmap(rgba(), nullptr, c.target);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->type, c.made);
        EXPECT_EQ(pixel(out, 1, 0, c.bytes), c.value);
        PxFreePix(out);
    }

    // Nothing to do: the same map comes back.
    br_pixelmap *same = rgba();
    EXPECT_EQ(ConvPixelmap(same, nullptr, BR_PMT_RGBA_8888), same);
    PxFreePix(same);
    br_pixelmap *argb = PxAllocPix(PX_PMT_ARGB_4444, 2, 2, nullptr, 0);
    EXPECT_EQ(ConvPixelmap(argb, nullptr, BR_PMT_RGB_565), argb);
    EXPECT_EQ(ConvPixelmap(argb, nullptr, BR_PMT_RGB_555), argb);
    EXPECT_EQ(argb->type, PX_PMT_ARGB_4444);
    PxFreePix(argb);
    EXPECT_EQ(ConvPixelmap(nullptr, nullptr, BR_PMT_RGB_565), nullptr);

    // An 8-bit map needs a palette; without one it stays as it was.
    br_pixelmap *indexed = PxAllocPix(BR_PMT_INDEX_8, 4, 1, nullptr, 0);
    PxFillPix(indexed, 3);
    EXPECT_EQ(ConvPixelmap(indexed, nullptr, BR_PMT_RGB_565), nullptr);
    EXPECT_EQ(pixel(indexed, 3, 0, 1), 3u);
    br_pixelmap *palette = PxAllocPix(BR_PMT_RGBX_888, 256, 1, nullptr, 0);
    static_cast<uint32_t *>(palette->pixels)[3] = 0x0000FC00;
    br_pixelmap *out = ConvPixelmap(indexed, palette, BR_PMT_RGB_565);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(pixel(out, 3, 0, 2), rgb565(kGreen));
    PxFreePix(out);
    PxFreePix(palette);

    // Pairs the blitters cannot copy are refused, not handed back empty; the map stays as it was.
    struct Refused {
        int32_t from, to;
    } refused[] = {{BR_PMT_RGB_565, BR_PMT_INDEX_8}, {PX_PMT_ARGB_4444, PX_PMT_RGB565_ALPHA8}};
    PlatMsgBoxReset();
    for (const Refused &r : refused) {
        SCOPED_TRACE(testing::Message() << r.from << " to " << r.to);
        br_pixelmap *pm = PxAllocPix(r.from, 2, 1, nullptr, 0);
        PxFillPix(pm, 0x1234);
        EXPECT_EQ(ConvPixelmap(pm, nullptr, r.to), nullptr);
        EXPECT_EQ(pm->type, r.from);
        EXPECT_EQ(pixel(pm, 1, 0, 2), 0x1234u);
        PxFreePix(pm);
    }
    char boxes[256];
    EXPECT_EQ(PlatMsgBoxLog(boxes, sizeof boxes), 0u) << boxes;

    // Nor is such a picture cached.
    pxtest::write_bytes(path("truecolour.bmp"), pictest::bmp(2, 2, kRed));
    EXPECT_EQ(AmsgGetPixFile("truecolour", BR_PMT_INDEX_8), nullptr);
    EXPECT_NE(strstr(GetLastMsgError(), "truecolour.bmp"), nullptr) << GetLastMsgError();
    EXPECT_FALSE(std::filesystem::exists(path("truecolour.pix")));
}

TEST_F(PicFile, PackPicturesWhenNoFileIsFound)
{
    std::vector<uint8_t> rows = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    pxtest::write_bytes(path("pics.fpk"),
                        pxtest::pack_bytes({{"sprite.pix", fpk::stored_pixmap(2, 2, PX_PMT_ARGB_4444, rows),
                                             fpk::kPixmapFlag}}));
    FFPACKHANDLE *pack = FFOpenPack(path("pics").c_str(), 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    FFSetCurrentPack(pack);
    const auto *entry = static_cast<const uint8_t *>(FFGetFileAddress("sprite.pix"));
    ASSERT_NE(entry, nullptr);
    auto inside = [&](const br_pixelmap *pm) {
        const auto *p = static_cast<const uint8_t *>(pm->pixels);
        return p >= entry && p < entry + 16 + rows.size();
    };

    // In the pack's memory, or with pixels of its own after "+"; never converted.
    br_pixelmap *in_place = AmsgGetPixFile("Menu\\Sprite", PX_PIX_FROM_PACK | BR_PMT_RGB_565);
    br_pixelmap *copied = AmsgGetPixFile("+sprite", PX_PIX_FROM_PACK);
    ASSERT_NE(in_place, nullptr) << GetLastMsgError();
    ASSERT_NE(copied, nullptr) << GetLastMsgError();
    EXPECT_TRUE(inside(in_place));
    EXPECT_FALSE(inside(copied));
    EXPECT_EQ(in_place->type, PX_PMT_ARGB_4444);
    EXPECT_EQ(pixel(copied, 1, 1, 2), 0x8877u);
    EXPECT_EQ(pixel(in_place, 1, 1, 2), 0x8877u);
    PxFreePix(in_place);
    PxFreePix(copied);
    EXPECT_FALSE(std::filesystem::exists(path("sprite.pix")));

    // Without the flag, or without such an entry: not found.
    EXPECT_EQ(AmsgGetPixFile("sprite", 0), nullptr);
    EXPECT_EQ(AmsgGetPixFile("other", PX_PIX_FROM_PACK), nullptr);
    EXPECT_NE(strstr(GetLastMsgError(), "other.pix"), nullptr) << GetLastMsgError();
    FFClosePack(pack);
}

}  // namespace
