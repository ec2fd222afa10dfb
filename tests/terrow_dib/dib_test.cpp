// The view DIB's header per pixel type, the presents from two threads, and the picture loaders' name
// and black-pixel rules.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <brondel/brcore.h>
#include <brondel/brpixmap.h>
#include <brondel/brmaterial.h>
#include <brondel/brpmfile.h>
#include <brondel/brv1db.h>

#include "terrow/trdib.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "win32/winmisc.h"
#include "win32/winuser.h"

namespace {

TEST(TrDib, HeaderAndSizePerType)
{
    struct Case {
        int32_t type, width, height;
        int bits;
        DWORD compression, image;
    } cases[] = {
        {BR_PMT_INDEX_8, 641, 3, 8, BI_RGB, 644 * 3},
        {BR_PMT_RGB_555, 641, 3, 16, BI_RGB, 1284 * 3},
        {BR_PMT_RGB_565, 640, 480, 16, BI_BITFIELDS, 1280 * 480},
        {BR_PMT_RGB_888, 5, 2, 24, BI_RGB, 16 * 2},
        {BR_PMT_RGB_888, 1, 1, 24, BI_RGB, 4},
    };
    for (const Case &c : cases) {
        ASSERT_NE(TrDibCreate(c.width, c.height, c.type), nullptr) << c.type;
        const TrDib *d = TrGetDib();
        EXPECT_EQ(d->header.biSize, 40u);
        EXPECT_EQ(d->header.biPlanes, 1);
        EXPECT_EQ(d->header.biBitCount, c.bits) << c.type;
        EXPECT_EQ(d->header.biCompression, c.compression) << c.type;
        EXPECT_EQ(d->header.biSizeImage, c.image) << c.type << " " << c.width;
        EXPECT_EQ(d->header.biWidth, c.width);
        EXPECT_EQ(d->header.biHeight, c.height) << "bottom-up";
        EXPECT_EQ(d->pixelType, c.type);
        if (c.type == BR_PMT_RGB_565) {
            EXPECT_EQ(d->colours[0], 0xF800u);
            EXPECT_EQ(d->colours[1], 0x07E0u);
            EXPECT_EQ(d->colours[2], 0x001Fu);
        }
        if (c.type == BR_PMT_INDEX_8) {
            EXPECT_EQ(((const uint16_t *)d->colours)[200], 200) << "palette indices";
        }
        std::vector<char> zero(c.image, 0);
        EXPECT_EQ(memcmp(d->pixels, zero.data(), c.image), 0) << "zero-filled";
    }
    for (int32_t type : {0, 7, (int)BR_PMT_DEPTH_16})
        EXPECT_EQ(TrDibCreate(16, 16, type), nullptr) << type;
    EXPECT_EQ(TrDibCreate(0, 16, BR_PMT_RGB_565), nullptr);
    EXPECT_EQ(TrGetDib()->pixels, nullptr) << "a refused DIB frees the older one";
    TrDibFree();
    TrDibFree();
}

class Presents : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = CreateWindowA("STATIC", "view", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr, nullptr,
                               nullptr);
        dc = GetDC(window);
        ASSERT_NE(TrDibCreate(64, 64, BR_PMT_RGB_565), nullptr);
        TrDibResetPresents();
    }
    void TearDown() override
    {
        TrDibSetPresentHook(nullptr);
        TrDibFree();
        ReleaseDC(window, dc);
        DestroyWindow(window);
    }
    HWND window = nullptr;
    HDC dc = nullptr;
};

TEST_F(Presents, PartialOnlyAfterAFullPresent)
{
    TrSetPaintState(2);
    EXPECT_EQ(TrDibPresentRect(dc, 0, 0, 8, 8), 0) << "paint state 2: the whole picture comes first";
    EXPECT_EQ(TrDibPresent(dc), 1);
    EXPECT_EQ(TrPaintState(), 1);
    EXPECT_EQ(TrDibPresentRect(dc, 4, 4, 8, 8), 1);
    TrSetPaintState(0);
    EXPECT_EQ(TrDibPresent(dc), 0) << "nothing while a screen is up";
    EXPECT_EQ(TrDibPresentRect(dc, 4, 4, 8, 8), 0);
    EXPECT_EQ(TrDibPresentOther(dc, 0, 0, 4, 4, nullptr), 0);
}

HDC g_dc;
std::atomic<int> g_partial{-1};

TEST_F(Presents, NoPartialPresentDuringAFullOne)
{
    g_dc = dc;
    TrSetPaintState(1);
    TrDibSetPresentHook([] {
        std::thread worker([] { g_partial = TrDibPresentRect(g_dc, 0, 0, 16, 16); });
        worker.join();
    });
    EXPECT_EQ(TrDibPresent(dc), 1);
    EXPECT_EQ(g_partial.load(), 0);
    TrDibSetPresentHook(nullptr);

    // Both threads at once, many times: every call returns, none hangs.
    std::atomic<bool> stop{false};
    std::atomic<int> drawn{0};
    std::thread worker([&] {
        while (!stop.load())
            drawn += TrDibPresentRect(g_dc, 8, 8, 16, 16);
    });
    for (int i = 0; i < 200; i++)
        EXPECT_EQ(TrDibPresent(dc), 1);
    stop = true;
    worker.join();
    EXPECT_EQ(TrPaintState(), 1);
}

std::vector<std::string> boxes;

int record_box(const char *text, unsigned)
{
    boxes.push_back(text);
    return IDOK;
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(BrBegin(), 0); }
    static void TearDownTestSuite() { BrEnd(); }
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("trdib" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        TrSetBoxHook(record_box);
        boxes.clear();
        TrGetModule()->warning = 0;
    }
    void TearDown() override
    {
        TrSetBoxHook(nullptr);
        std::filesystem::current_path("/");
        std::filesystem::remove_all(dir);
    }
    static void save(const char *file, const char *id, br_uint_8 type)
    {
        br_pixelmap *pm = BrPixelmapAllocate(type, 3, 2, nullptr, 0);
        int bytes = type == BR_PMT_INDEX_8 ? 1 : 2;
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3 * bytes; x++)
                ((uint8_t *)pm->pixels)[y * pm->row_bytes + x] = (uint8_t)((x / bytes) == 1 ? 0 : 0x55);
        pm->identifier = (char *)id;
        ASSERT_EQ(BrPixelmapSave(file, pm), 1u);
        pm->identifier = nullptr;
        BrPixelmapFree(pm);
    }
    static int pixel(br_pixelmap *pm, int x, int y)
    {
        const uint8_t *row = (const uint8_t *)pm->pixels + (ptrdiff_t)(pm->base_y + y) * pm->row_bytes;
        return pm->type == BR_PMT_INDEX_8 ? row[pm->base_x + x] : ((const uint16_t *)row)[pm->base_x + x];
    }
    std::filesystem::path dir;
};

TEST_F(Pictures, FileNames)
{
    struct Case {
        const char *name, *file;
    } cases[] = {
        {"cq\\nodir", "cq\\nodir.pix"},   {"fem\\a_co0003.bmp", "fem\\a_co0003.bmp"},
        {"a.pix.old", "a.pix.old"},       {"b.bmp", "b.bmp"},
        {"plain", "plain.pix"},           {"x.pixel", "x.pixel"},
    };
    for (const Case &c : cases) {
        char out[64];
        TrPictureFileName(c.name, out, sizeof out);
        EXPECT_STREQ(out, c.file) << c.name;
    }
}

TEST_F(Pictures, BlackBecomesAColourUnlessRaw)
{
    save("ink8.pix", "ink8", BR_PMT_INDEX_8);
    save("raw8.pix", "raw8", BR_PMT_INDEX_8);
    save("ink16.pix", "ink16", BR_PMT_RGB_565);
    br_pixelmap *ink8 = TrLoadPicture("ink8");
    br_pixelmap *raw8 = TrLoadPictureRaw("raw8.pix");
    br_pixelmap *ink16 = TrLoadPicture("ink16");
    ASSERT_TRUE(ink8 && raw8 && ink16);
    EXPECT_EQ(pixel(ink8, 1, 0), 203);
    EXPECT_EQ(pixel(ink8, 0, 1), 0x55);
    EXPECT_EQ(pixel(raw8, 1, 1), 0);
    EXPECT_EQ(pixel(ink16, 1, 0), 1);
    EXPECT_EQ(pixel(ink16, 2, 0), 0x5555);
    EXPECT_EQ(TrLoadPicture("ink8"), ink8) << "a known name is not loaded again";
    EXPECT_TRUE(boxes.empty());
    for (br_pixelmap *pm : {ink8, raw8, ink16})
        BrPixelmapFree(BrMapRemove(pm));
}

TEST_F(Pictures, AMissingPictureIsAWarning)
{
    EXPECT_EQ(TrLoadPicture("cq\\missing"), nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "pixelmap load failed: cq\\missing");
    EXPECT_EQ(TrGetModule()->warning, 1);
}

}  // namespace
