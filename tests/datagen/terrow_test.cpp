// Terrow's part of the generated tree, read back with the readers the game uses: the physics' tuning
// file, the element textures under the names the look table loads (stored as their identifiers, which
// the picture cache looks up), the trt pack and the sound pack.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brpmfile.h"
#include "brondel/brv1db.h"
#include "pannix/ffpack.h"
#include "pannix/pxbase.h"
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
