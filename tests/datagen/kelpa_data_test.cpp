// Kelpa's generated files read back with the readers the game uses: the packs and every picture the
// game names, the buttons' sizes where the game places them and their masks where its keys click,
// the two cube models, the sounds, the fonts, the texts, and a lit cube for each look.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "art/kelpa.h"
#include "brondel/brcore.h"
#include "brondel/brdbfile.h"
#include "brondel/brv1db.h"
#include "gen.h"
#include "pannix/ffpack.h"
#include "pannix/pxfont.h"
#include "pannix/pxpix.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = VOK_BIN_DIR;

FFPACKHANDLE *openKp(const char *name)
{
    return FFOpenPack((kRoot / "kp" / name).c_str(), 0);
}

uint16_t pixel16(const br_pixelmap *pm, int x, int y)
{
    const uint8_t *p = static_cast<const uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes + x * 2;
    return uint16_t(p[0] | p[1] << 8);
}

}  // namespace

TEST(KelpaData, TablesTexturesAndPicturesLoadAtTheirSizes)
{
    FFPACKHANDLE *shades = openKp("kpshdek"), *textures = openKp("kpbmpek"), *pictures = openKp("kppixek");
    ASSERT_NE(shades, nullptr);
    ASSERT_NE(textures, nullptr);
    ASSERT_NE(pictures, nullptr);
    FFSetCurrentPack(shades);
    for (const char *n : {"Black.shd", "Blue.shd", "Green.shd", "Orange.shd", "Red.shd", "White.shd", "Yellow.shd",
                          "Mix.shd", "Tabla0.shd", "slcute.shd"}) {
        br_pixelmap *t = PxLoadPixP(n, 1);
        ASSERT_NE(t, nullptr) << n;
        EXPECT_EQ(t->type, BR_PMT_INDEX_8) << n;
        PxFreePix(t);
    }
    FFSetCurrentPack(textures);
    ASSERT_EQ(datagen::art::kelpa_texture_names().size(), 40u);
    for (const std::string &n : datagen::art::kelpa_texture_names()) {
        br_pixelmap *t = PxLoadPixP(n.c_str(), 1);
        ASSERT_NE(t, nullptr) << n;
        EXPECT_EQ(t->type, BR_PMT_RGB_565) << n;
        EXPECT_EQ(t->width, 64) << n;
        EXPECT_EQ(t->height, 64) << n;
        PxFreePix(t);
    }
    FFSetCurrentPack(pictures);
    struct Pic {
        const char *name;
        int w, h;
        bool alpha;
    } pics[] = {{"hatter.pix", 640, 480, false}, {"hatterb.pix", 640, 480, false}, {"hatters.pix", 640, 480, false},
                {"hattern.pix", 960, 480, false}, {"nyil1.pix", 64, 64, true},     {"nyil2.pix", 64, 64, true},
                {"kpfej1.pix", 176, 40, true},    {"kpfej2.pix", 132, 40, true}};
    for (const Pic &p : pics) {
        br_pixelmap *m = PxLoadPixP(p.name, 1);
        ASSERT_NE(m, nullptr) << p.name;
        EXPECT_EQ(m->width, p.w) << p.name;
        EXPECT_EQ(m->height, p.h) << p.name;
        EXPECT_EQ(m->type == BR_PMT_RGB_565, !p.alpha) << p.name;
        PxFreePix(m);
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(shades);
    FFClosePack(textures);
    FFClosePack(pictures);
}

TEST(KelpaData, ButtonsFitTheirPlacesAndTheKeysHitThem)
{
    // Where the game's keys click, relative to each button's place in a 640x480 window.
    struct Key {
        const char *folder;
        int x, y;
    } keys[] = {{"start", 20, 68}, {"pare", 20, 68}, {"start_n", 20, 68}, {"pare_n", 20, 68},
                {"menu", 20, 20},  {"reset", 29, 68}, {"help", 103, 20}};
    // The widest each button may be before it runs into its neighbour or out of its corner.
    struct Fit {
        const char *folder;
        int w, h;
    } fits[] = {{"start", 80, 88}, {"level", 364, 88}, {"new", 364, 88}, {"speed", 147, 88},
                {"reset", 49, 88}, {"help", 123, 100}, {"menu", 200, 100}};
    std::vector<std::vector<uint16_t>> helps;
    for (const char *packName : {"kpbuus", "kpbuuk", "kpbude", "kpbufr"}) {
        SCOPED_TRACE(packName);
        FFPACKHANDLE *pack = openKp(packName);
        ASSERT_NE(pack, nullptr);
        FFSetCurrentPack(pack);
        for (const datagen::art::KelpaButton &b : datagen::art::kelpa_buttons()) {
            SCOPED_TRACE(b.folder);
            int n = 0;
            for (;; n++) {
                char frame[64], mask[64];
                snprintf(frame, sizeof frame, "%s\\co%04d.pix", b.folder, n);
                snprintf(mask, sizeof mask, "%s\\A_co%04d.bmp", b.folder, n);
                br_pixelmap *f = PxLoadPixP(frame, 1), *m = PxLoadPixP(mask, 1);
                EXPECT_EQ(f == nullptr, m == nullptr) << n;
                if (f == nullptr || m == nullptr) {
                    PxFreePix(f);
                    PxFreePix(m);
                    break;
                }
                EXPECT_EQ(f->width, b.width);
                EXPECT_EQ(f->height, b.height);
                EXPECT_EQ(m->width, b.width);
                for (const Fit &fit : fits)
                    if (!strcmp(fit.folder, b.folder)) {
                        EXPECT_LE(f->width, fit.w);
                        EXPECT_LE(f->height, fit.h);
                    }
                // Opaque where the mask hits, transparent (0) where it does not.
                int hits = 0;
                for (int y = 0; y < f->height; y++)
                    for (int x = 0; x < f->width; x++) {
                        const bool hit = pixel16(m, x, y) != 0;
                        hits += hit;
                        EXPECT_EQ(pixel16(f, x, y) != 0, hit) << x << "," << y;
                        if (pixel16(f, x, y) != 0 && !hit)
                            goto next;
                    }
                EXPECT_GT(hits, f->width * f->height * 7 / 10);
                EXPECT_EQ(pixel16(m, 0, 0), 0);  // rounded corners let clicks through
                for (const Key &k : keys)
                    if (!strcmp(k.folder, b.folder))
                        EXPECT_NE(pixel16(m, k.x, k.y), 0);
                if (!strcmp(b.folder, "help") && n == 0) {
                    std::vector<uint16_t> px;
                    for (int y = 0; y < f->height; y++)
                        for (int x = 0; x < f->width; x++)
                            px.push_back(pixel16(f, x, y));
                    helps.push_back(px);
                }
            next:
                PxFreePix(f);
                PxFreePix(m);
            }
            EXPECT_EQ(n, b.frames);
        }
        FFSetCurrentPack(nullptr);
        FFClosePack(pack);
    }
    ASSERT_EQ(helps.size(), 4u);
    EXPECT_EQ(helps[0], helps[1]);  // HELP in both Englishes
    EXPECT_NE(helps[0], helps[2]);  // HILFE
    EXPECT_NE(helps[0], helps[3]);  // AIDE
}

TEST(KelpaData, CubeModelsSoundsFontsAndTheWorkingFolder)
{
    ASSERT_EQ(BrBegin(), BRE_OK);
    struct Model {
        const char *file;
        float half;
        int faces;
    } models[] = {{"Kockaa.mod", 0.05f, 144}, {"Kockab.mod", 0.033f, 12}};
    for (const Model &m : models) {
        br_model *model = BrModelLoad((kRoot / "kp" / m.file).c_str());
        ASSERT_NE(model, nullptr) << m.file;
        EXPECT_EQ(model->nfaces, m.faces) << m.file;
        float lo = 1, hi = -1;
        for (int i = 0; i < model->nvertices; i++)
            for (int k = 0; k < 3; k++)
                lo = std::min(lo, model->vertices[i].p.v[k]), hi = std::max(hi, model->vertices[i].p.v[k]);
        EXPECT_NEAR(lo, -m.half, 1e-4f) << m.file;
        EXPECT_NEAR(hi, m.half, 1e-4f) << m.file;
        BrModelFree(model);
    }
    BrEnd();

    FILE *f = fopen((kRoot / "kp" / "kpsounds.pck").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<vokpack::Entry> entries;
    ASSERT_TRUE(vokpack::read_directory(f, entries));
    fclose(f);
    EXPECT_EQ(entries.size(), 11u);
    vokpack::Directory *dir = vokpack::read_dir((kRoot / "kp" / "kpsounds.pck").c_str());
    ASSERT_NE(dir, nullptr);
    for (const vokpack::Entry &e : entries) {
        std::vector<uint8_t> data;
        ASSERT_TRUE(vokpack::load_entry(*dir, e.name.c_str(), data)) << e.name;
        vokpack::WaveImage wave;
        EXPECT_TRUE(vokpack::parse_wave(data.data(), data.size(), wave)) << e.name;
    }
    vokpack::free_dir(dir);

    PXFONTSET *fonts = PxLoadFontset((kRoot / "Data" / "kp").c_str(), 5, nullptr);
    ASSERT_NE(fonts, nullptr);
    for (int i = 0; i < 3; i++) {
        ASSERT_NE(PxSelectFont(fonts, i), nullptr) << i;
        EXPECT_GT(PxGetTextWidth(" 00:00.0 "), 0);
        EXPECT_GT(PxGetLetterWidth(0xDF), 0);  // the German sharp s of "Gro\xDFmeister"
    }
    PxKillAllFontset(fonts);
    EXPECT_TRUE(fs::is_directory(kRoot / "Kelpa"));
    const auto texts = datagen::language_texts("US");
    ASSERT_TRUE(texts.count("kprules.txt"));
    EXPECT_NE(texts.at("kprules.txt").find("worm"), std::string::npos);
    EXPECT_EQ(texts.at("kprules.txt").find("Roll"), std::string::npos);
}

TEST(KelpaData, EachCubeLookIsALitCubeOfItsColour)
{
    // Red, blue, yellow, green, white, orange: the strongest channel at the glowing core.
    const char want[6][4] = {"r", "b", "rg", "g", "rgb", "r"};
    for (int i = 0; i < 6; i++) {
        const datagen::art::Image im = datagen::art::kelpa_cube_icon(i, 64);
        ASSERT_EQ(im.width, 64);
        const uint32_t c = im.argb[size_t(32) * 64 + 32];
        const int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
        SCOPED_TRACE(i);
        if (!strcmp(want[i], "r"))
            EXPECT_GT(r, b + 40);
        if (!strcmp(want[i], "b"))
            EXPECT_GT(b, r + 40);
        if (!strcmp(want[i], "g"))
            EXPECT_GT(g, r + 30);
        if (!strcmp(want[i], "rg"))
            EXPECT_GT(std::min(r, g), b + 40);
        if (!strcmp(want[i], "rgb")) {
            EXPECT_GT(std::min({r, g, b}), 110);
            EXPECT_LT(std::max({r, g, b}) - std::min({r, g, b}), 40);  // light and without a hue
        }
        // A picture, not a flat card: the corners show the backdrop, not the cube.
        EXPECT_NE(im.argb[0], c);
    }
}
