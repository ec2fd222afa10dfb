// Terrow's part of the generated tree, read back with the readers the game uses: the physics' tuning
// file, the element textures under the names the look table loads (stored as their identifiers, which
// the picture cache looks up), the trt pack and the sound pack.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brdbfile.h"
#include "brondel/brmodel.h"
#include "brondel/brpmfile.h"
#include "brondel/brv1db.h"
#include "pannix/ffpack.h"
#include "pannix/pxbase.h"
#include "pannix/pxfont.h"
#include "pannix/pxpix.h"
#include "terrow/phys/phparams.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = VOK_BIN_DIR;

TEST(TerrowData, PhysicsFileHoldsTheDefaults)
{
    FILE *f = fopen((kRoot / "fw/Final.phy").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char bytes[PHY_FILE_SIZE + 1];
    EXPECT_EQ(fread(bytes, 1, sizeof bytes, f), size_t(PHY_FILE_SIZE));
    fclose(f);
    unsigned char defaults[PHY_FILE_SIZE];
    Phy_Encode(Phy_Defaults(), defaults);
    EXPECT_EQ(memcmp(bytes, defaults, PHY_FILE_SIZE), 0);
}

TEST(TerrowData, EveryTextureOfTheLooksLoadsUnderItsName)
{
    // Folder-relative names as the looks, markers and shadows load them ("fw\" is the working folder).
    const char *const names[] = {
        "aq\\2lejto", "aq\\raklejt", "aq\\2utkozo", "aq\\rakutkoz", "aq\\1panel", "aq\\rakpanel", "aq\\1indito",
        "aq\\rakindit", "aq\\2allapy", "bq\\slejto", "bq\\sutkozo", "bq\\spanel", "bq\\3magnes", "bq\\sindit",
        "bq\\2tuskes", "bq\\fem1a", "bq\\sfem1a", "bq\\gumi", "bq\\sgumi", "bq\\bomba", "bq\\sbomb", "bq\\golf",
        "bq\\suveg", "bq\\eroter", "cq\\szamsav", "cq\\nomove", "cq\\nodir", "cq\\lapmagnk"};
    ASSERT_EQ(BrBegin(), 0);
    for (const char *name : names) {
        std::string file = std::string(name) + ".pix";
        std::string path = (kRoot / "fw").string() + "/" + file;
        path.replace(path.find('\\'), 1, "/");
        br_pixelmap *pm = BrPixelmapLoad(path.c_str());
        ASSERT_NE(pm, nullptr) << name;
        EXPECT_STREQ(pm->identifier, file.c_str()) << "the cache finds a picture by its identifier";
        EXPECT_EQ(pm->type, BR_PMT_RGB_565) << name;
        if (std::string(name).find("q\\s") == std::string::npos || std::string(name) == "bq\\slejto")
            EXPECT_GE(pm->width, 32) << name;
        BrPixelmapFree(pm);
    }
    br_pixelmap *shadow = BrPixelmapLoad((kRoot / "bq/arny256x.pix").c_str());
    ASSERT_NE(shadow, nullptr);
    EXPECT_STREQ(shadow->identifier, "bq\\arny256x.pix");
    BrPixelmapFree(shadow);
    BrEnd();
}

// The three shade tables: a row a light level, a column a colour index; darker rows below brighter
// ones, a brighter index never darker, and each table its own tone.
TEST(TerrowData, ShadeTablesRampWithLightAndIndex)
{
    ASSERT_EQ(BrBegin(), 0);
    std::vector<uint16_t> mids;
    for (const char *name : {"a.shd", "b.shd", "c.shd"}) {
        br_pixelmap *pm = BrPixelmapLoad((kRoot / "fw/shade" / name).c_str());
        ASSERT_NE(pm, nullptr) << name;
        EXPECT_EQ(pm->type, BR_PMT_RGB_565) << name;
        EXPECT_EQ(pm->width, 256) << name;
        EXPECT_EQ(pm->height, 64) << name;
        auto at = [pm](int x, int y) { return ((uint16_t *)((char *)pm->pixels + ptrdiff_t(y) * pm->row_bytes))[x]; };
        auto level = [](uint16_t p) { return (p >> 11) * 2 + ((p >> 5) & 63) + (p & 31) * 2; };
        for (int y = 1; y < 64; y++)
            EXPECT_GE(level(at(200, y)), level(at(200, y - 1))) << name << " row " << y;
        for (int x = 1; x < 256; x++)
            EXPECT_GE(level(at(x, 40)), level(at(x - 1, 40))) << name << " index " << x;
        EXPECT_LT(level(at(255, 0)), level(at(255, 63)) / 4) << name;
        mids.push_back(at(180, 40));
        BrPixelmapFree(pm);
    }
    EXPECT_NE(mids[0], mids[1]);
    EXPECT_NE(mids[1], mids[2]);
    BrEnd();
}

TEST(TerrowData, TrtPackHoldsTheGoalTheCarouselAndTheWall)
{
    std::string name = (kRoot / "trt").string();
    FFPACKHANDLE *pack = FFOpenPack(name.c_str(), 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    FFSetCurrentPack(pack);
    std::vector<std::string> entries = {"cq\\cell0001.pix", "palastm.pix"};
    for (int f = 0; f < 12; f++) {
        char frame[32];
        snprintf(frame, sizeof frame, "cq\\forg%04d.pix", f);
        entries.push_back(frame);
    }
    for (const std::string &e : entries) {
        br_pixelmap *pm = FFLoadPix(e.c_str(), 1);
        ASSERT_NE(pm, nullptr) << e << ": " << GetLastMsgError();
        EXPECT_GE(pm->width, 32) << e;
        PxFreePix(pm);
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(pack);
}

TEST(TerrowData, SoundPackHoldsTwentyThreeDistinctWaves)
{
    vokpack::Directory *dir = vokpack::read_dir((kRoot / "fw/zenesz1.pck").c_str());
    ASSERT_NE(dir, nullptr);
    ASSERT_EQ(dir->entries.size(), 23u);
    std::set<std::vector<uint8_t>> distinct;
    for (const vokpack::Entry &e : dir->entries) {
        std::vector<uint8_t> data;
        ASSERT_TRUE(vokpack::load_entry(*dir, e.name.c_str(), data)) << e.name;
        vokpack::WaveImage w;
        ASSERT_TRUE(vokpack::parse_wave(data.data(), data.size(), w)) << e.name;
        EXPECT_EQ(w.bitsPerSample, 16);
        EXPECT_GT(w.dataSize, 1000u) << e.name;
        distinct.insert(data);
    }
    EXPECT_EQ(distinct.size(), 23u);
    vokpack::free_dir(dir);
}

}  // namespace

namespace {

// The models of terrow.pck, each file loaded by the 3D library's own reader from its pack entry.
class TerrowModels : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(BrBegin(), 0); }
    static void TearDownTestSuite() { BrEnd(); }

    static std::vector<br_model *> load(const std::string &entry, int count)
    {
        vokpack::Directory *dir = vokpack::read_dir((kRoot / "fw/terrow.pck").c_str());
        std::vector<br_model *> out;
        if (dir == nullptr)
            return out;
        std::vector<uint8_t> data;
        bool found = vokpack::load_entry(*dir, entry.c_str(), data);
        vokpack::free_dir(dir);
        if (!found)
            return out;
        fs::path tmp = fs::temp_directory_path() / ("trmodel" + std::to_string(getpid()) + ".mod");
        FILE *f = fopen(tmp.c_str(), "wb");
        fwrite(data.data(), 1, data.size(), f);
        fclose(f);
        out.resize(size_t(count) + 1, nullptr);
        out.resize(BrModelLoadMany(tmp.c_str(), out.data(), br_uint_16(count + 1)));
        fs::remove(tmp);
        return out;
    }
    static br_vector3 normal(const br_model *m, int face)
    {
        const br_vector3 &a = m->vertices[m->faces[face].vertices[0]].p, &b = m->vertices[m->faces[face].vertices[1]].p,
                         &c = m->vertices[m->faces[face].vertices[2]].p;
        const float ux = b.v[0] - a.v[0], uy = b.v[1] - a.v[1], uz = b.v[2] - a.v[2];
        const float vx = c.v[0] - a.v[0], vy = c.v[1] - a.v[1], vz = c.v[2] - a.v[2];
        return {{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx}};
    }
    static int count_ints(const fs::path &file)
    {
        FILE *f = fopen(file.c_str(), "r");
        int n = 0, v;
        while (f != nullptr && fscanf(f, "%d", &v) == 1)
            n++;
        if (f)
            fclose(f);
        return n;
    }
};

TEST_F(TerrowModels, EveryFileHoldsItsModels)
{
    struct Case {
        const char *file;
        int count;
    } cases[] = {{"kocka.mod", 1},    {"lejto.mod", 1},    {"lejtof.mod", 1},   {"lap.mod", 1},      {"lapf.mod", 1},
                 {"tuskes.mod", 1},   {"tuskesb.mod", 1},  {"magnes.mod", 1},   {"gomb.mod", 1},     {"bomb.mod", 1},
                 {"utkozo.mod", 1},   {"nyil.mod", 1},     {"picinyil.mod", 1}, {"szamlap.mod", 1},  {"palastm.mod", 1},
                 {"palasta.mod", 1},  {"palastaf.mod", 1}, {"alap.mod", 1},     {"button.mod", 1},   {"bny.mod", 1},
                 {"negyzet.mod", 1},  {"negyzet3.mod", 1}, {"pieces_g.mod", 12}, {"pieces_k.mod", 12},
                 {"pieces_l.mod", 8}, {"pieces_m.mod", 14}, {"utkozo_r.mod", 8}};
    for (const Case &c : cases) {
        std::vector<br_model *> models = load(c.file, c.count);
        ASSERT_EQ(int(models.size()), c.count) << c.file;
        std::string stem = fs::path(c.file).stem().string();
        if (c.count == 1)
            EXPECT_STREQ(models[0]->identifier, stem == "alap" ? "bgr_alapxx" : stem.c_str())
                << "the identifier is the pack name";
        for (br_model *m : models) {
            EXPECT_GT(m->nfaces, 0) << c.file;
            BrModelFree(m);
        }
    }
    for (int d = 0; d < 10; d++) {
        std::vector<br_model *> digit = load("s" + std::to_string(d) + ".mod", 1);
        ASSERT_EQ(digit.size(), 1u) << d;
        BrModelFree(digit[0]);
    }
}

TEST_F(TerrowModels, CubeSidesComeInTheGamesOrder)
{
    std::vector<br_model *> m = load("kocka.mod", 1);
    ASSERT_EQ(m.size(), 1u);
    ASSERT_EQ(m[0]->nfaces, 12);
    // Sides 4,4,3,3,1,1,2,2,0,0,5,5: +y, +x, -z, -x, +z, -y.
    const int axis[6] = {1, 0, 2, 0, 2, 1}, sign[6] = {1, 1, -1, -1, 1, -1};
    for (int f = 0; f < 12; f++) {
        br_vector3 n = normal(m[0], f);
        const int s = f / 2;
        EXPECT_GT(n.v[axis[s]] * sign[s], 0) << "face " << f;
        EXPECT_EQ(n.v[(axis[s] + 1) % 3], 0) << "face " << f;
        EXPECT_EQ(n.v[(axis[s] + 2) % 3], 0) << "face " << f;
    }
    BrModelFree(m[0]);
}

TEST_F(TerrowModels, BallsHaveVertexZeroOnTheirSphere)
{
    for (const char *ball : {"gomb.mod", "bomb.mod"}) {
        std::vector<br_model *> m = load(ball, 1);
        ASSERT_EQ(m.size(), 1u);
        const br_vector3 &p = m[0]->vertices[0].p;
        EXPECT_NEAR(std::sqrt(p.v[0] * p.v[0] + p.v[1] * p.v[1] + p.v[2] * p.v[2]), 0.05, 1e-6) << ball;
        BrModelFree(m[0]);
    }
    // The spikes stand after the block's faces: from the 15th in the block, the 5th in the plate.
    std::vector<br_model *> spikes = load("tuskes.mod", 1), flat = load("tuskesb.mod", 1);
    ASSERT_EQ(spikes.size(), 1u);
    ASSERT_EQ(flat.size(), 1u);
    EXPECT_EQ(spikes[0]->nfaces, 14 + 36);
    EXPECT_EQ(flat[0]->nfaces, 4 + 36);
    BrModelFree(spikes[0]);
    BrModelFree(flat[0]);
}

TEST_F(TerrowModels, UvMapsHoldSixIntegersAFaceWithinTheGrid)
{
    struct Case {
        const char *uvd, *model;
    } cases[] = {{"kocka.uvd", "kocka.mod"}, {"lap.uvd", "lap.mod"}, {"lejto.uvd", "lejto.mod"},
                 {"lejto.uvd", "utkozo.mod"}, {"szoges.uvd", "tuskes.mod"}};
    for (const Case &c : cases) {
        std::vector<br_model *> m = load(c.model, 1);
        ASSERT_EQ(m.size(), 1u);
        EXPECT_EQ(count_ints(kRoot / "fw" / c.uvd), 6 * m[0]->nfaces) << c.uvd << " on " << c.model;
        BrModelFree(m[0]);
    }
    FILE *f = fopen((kRoot / "fw/kocka.uvd").c_str(), "r");
    ASSERT_NE(f, nullptr);
    int v, i = 0;
    while (fscanf(f, "%d", &v) == 1) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, i % 2 == 0 ? 5 : 3) << "U indices 0..5, V indices 0..3";
        i++;
    }
    fclose(f);
}

}  // namespace

namespace {

TEST_F(TerrowModels, ClosedBlocksFaceOutwards)
{
    for (const char *file : {"kocka.mod", "lap.mod", "lejto.mod", "utkozo.mod"}) {
        std::vector<br_model *> m = load(file, 1);
        ASSERT_EQ(m.size(), 1u);
        float centre[3] = {0, 0, 0};
        for (int i = 0; i < m[0]->nvertices; i++)
            for (int k = 0; k < 3; k++)
                centre[k] += m[0]->vertices[i].p.v[k] / m[0]->nvertices;
        for (int f = 0; f < m[0]->nfaces; f++) {
            br_vector3 n = normal(m[0], f);
            const br_vector3 &a = m[0]->vertices[m[0]->faces[f].vertices[0]].p;
            float out = 0;
            for (int k = 0; k < 3; k++)
                out += n.v[k] * (a.v[k] - centre[k]);
            EXPECT_GT(out, 0) << file << " face " << f << " faces inwards (it would not be drawn)";
        }
        BrModelFree(m[0]);
    }
}

}  // namespace

namespace {

TEST(TerrowData, FontSetHasItsFiveStyles)
{
    PXFONTSET *set = PxLoadFontset((kRoot / "Data/terrow").c_str(), 0, nullptr);
    ASSERT_NE(set, nullptr) << GetLastMsgError();
    EXPECT_EQ(set->count, 5);
    int previous = 0;
    for (int style : {4, 0, 2}) {
        ASSERT_NE(PxSelectFont(set, style), nullptr) << style;
        EXPECT_GT(PxGetTextHeight1(), previous) << "style " << style << " is larger than the one before";
        previous = PxGetTextHeight1();
    }
    PxKillAllFontset(set);
}

}  // namespace

namespace {

TEST(TerrowData, StatusStripsAndBallSequences)
{
    ASSERT_EQ(BrBegin(), 0);
    for (const char *strip : {"toolbar", "toolures", "toollezar", "celtool"}) {
        br_pixelmap *pm = BrPixelmapLoad((kRoot / (std::string(strip) + ".pix")).c_str());
        ASSERT_NE(pm, nullptr) << strip;
        EXPECT_EQ(pm->height, 29) << strip << ": the status line's height";
        BrPixelmapFree(pm);
    }
    // 178 + 22.5 x 12 balls: the left strip reaches past the last marker place.
    br_pixelmap *left = BrPixelmapLoad((kRoot / "toolbar.pix").c_str());
    ASSERT_NE(left, nullptr);
    EXPECT_GE(left->width, 448);
    BrPixelmapFree(left);
    for (const char *folder : {"fem", "golf", "bomb", "laszti"}) {
        int frames = 0;
        for (;; frames++) {
            char name[64];
            snprintf(name, sizeof name, "%s/co%04d.pix", folder, frames);
            br_pixelmap *colour = BrPixelmapLoad((kRoot / name).c_str());
            if (colour == nullptr)
                break;
            snprintf(name, sizeof name, "%s\\co%04d.pix", folder, frames);
            EXPECT_STREQ(colour->identifier, name);
            snprintf(name, sizeof name, "%s/a_co%04d.bmp", folder, frames);
            br_pixelmap *alpha = BrFmtBMPLoad((kRoot / name).c_str(), 0);
            ASSERT_NE(alpha, nullptr) << name;
            EXPECT_EQ(alpha->width, colour->width) << name;
            EXPECT_EQ(alpha->height, colour->height) << name;
            EXPECT_EQ(alpha->type, BR_PMT_INDEX_8) << name;
            BrPixelmapFree(alpha);
            BrPixelmapFree(colour);
        }
        EXPECT_EQ(frames, 15) << folder;
    }
    BrEnd();
}

}  // namespace

namespace {

TEST(TerrowData, ButtonPacksHoldFramesAndMasksInEveryLanguage)
{
    const char *const buttons[] = {"start", "left", "right", "reset", "repos", "fm0", "fm1", "fm2", "fm3",
                                   "fm4", "help", "quit", "back", "build", "change", "delete", "supply"};
    std::vector<std::vector<uint8_t>> words;
    for (const char *pack_name : {"trb", "trb_ge", "trb_fr", "trt_ge", "trt_fr"}) {
        FFPACKHANDLE *pack = FFOpenPack((kRoot / pack_name).c_str(), 0);
        ASSERT_NE(pack, nullptr) << pack_name << ": " << GetLastMsgError();
        FFSetCurrentPack(pack);
        if (std::string(pack_name).rfind("trt", 0) == 0) {
            br_pixelmap *goal = FFLoadPix("cq\\cell0001.pix", 1);
            EXPECT_NE(goal, nullptr) << pack_name;
            if (goal)
                PxFreePix(goal);
        }
        for (const char *b : buttons) {
            if (std::string(pack_name).rfind("trt", 0) == 0)
                break;
            int frames = 0;
            for (; frames < 20; frames++) {
                char name[64];
                snprintf(name, sizeof name, "%s\\co%04d.pix", b, frames);
                br_pixelmap *pic = FFLoadPix(name, 1);
                if (pic == nullptr)
                    break;
                snprintf(name, sizeof name, "%s\\a_co%04d.bmp", b, frames);
                br_pixelmap *mask = FFLoadPix(name, 1);
                ASSERT_NE(mask, nullptr) << pack_name << ":" << name;
                EXPECT_EQ(mask->type, BR_PMT_INDEX_8) << name;
                EXPECT_EQ(mask->width, pic->width) << name;
                // The mask covers the button's middle and leaves its corner.
                const uint8_t *rows = static_cast<const uint8_t *>(mask->pixels);
                EXPECT_NE(rows[(mask->height / 2) * mask->row_bytes + mask->width / 2], 0) << name;
                EXPECT_EQ(rows[0], 0) << name;
                if (std::string(b) == "fm1" && frames == 0)
                    words.emplace_back(static_cast<uint8_t *>(pic->pixels),
                                       static_cast<uint8_t *>(pic->pixels) + pic->row_bytes * pic->height);
                PxFreePix(mask);
                PxFreePix(pic);
            }
            EXPECT_EQ(frames, 13) << pack_name << ":" << b << " (the tools need 13 frames)";
        }
        FFSetCurrentPack(nullptr);
        FFClosePack(pack);
    }
    ASSERT_EQ(words.size(), 3u);
    EXPECT_NE(words[0], words[1]) << "the German pack's button has its own word";
    EXPECT_NE(words[0], words[2]) << "the French pack's button has its own word";
}

}  // namespace
