// The tuning file: reader word mapping, short and long files, a missing file, derivation, phygen.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "phtest.h"
#include "terrow/phys/phparams.h"

namespace {

using phtest::boxes;
using phtest::ends;

class Params : public phtest::Recording {
protected:
    void SetUp() override
    {
        Recording::SetUp();
        PhyParams = Phy_Defaults();
        dir = std::filesystem::temp_directory_path() / ("phys_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        PhyParams = Phy_Defaults();
        std::filesystem::remove_all(dir);
        Recording::TearDown();
    }
    void read_bytes(const std::vector<unsigned char> &bytes)
    {
        FILE *f = tmpfile();
        ASSERT_NE(f, nullptr);
        if (!bytes.empty())
            fwrite(bytes.data(), 1, bytes.size(), f);
        rewind(f);
        EXPECT_EQ(Phy_Read(f), 0);
        fclose(f);
    }
    static std::vector<unsigned char> words(int n, uint32_t base)
    {
        std::vector<unsigned char> b;
        for (int i = 0; i < n; i++)
            for (int k = 0; k < 4; k++)
                b.push_back(static_cast<unsigned char>((base + i) >> (8 * k)));
        return b;
    }
    static uint32_t bits(const void *p)
    {
        uint32_t w;
        memcpy(&w, p, 4);
        return w;
    }
    std::filesystem::path dir;
};

TEST_F(Params, EveryWordLandsInItsField)
{
    const uint32_t base = 0x41000000;  // word i holds base + i
    read_bytes(words(46, base));
    const PhyParamSet &p = PhyParams;
    EXPECT_EQ(bits(&p.launchSpeed), base + 0);
    EXPECT_EQ(bits(&p.classifyMargin), base + 4);
    EXPECT_EQ(bits(&p.bounceMode), base + 7);
    EXPECT_EQ(bits(&p.spareAngle11), base + 10);
    for (int k = 0; k < PHY_KINDS; k++) {
        EXPECT_EQ(bits(&p.material[k].mass), base + 11 + 3 * k) << k;
        EXPECT_EQ(bits(&p.material[k].rollFriction), base + 12 + 3 * k) << k;
        EXPECT_EQ(bits(&p.material[k].restitution), base + 13 + 3 * k) << k;
        EXPECT_EQ(bits(&p.material[k].staticFriction), base + 37 + k) << k;
    }
    EXPECT_EQ(bits(&p.epsilon), base + 29);
    EXPECT_EQ(bits(&p.bombImpactSpeed), base + 33);
    EXPECT_EQ(bits(&p.staticSpeed), base + 36);
    EXPECT_EQ(bits(&p.damping), base + 43);
    EXPECT_EQ(bits(&p.slowBounceFactor), base + 45);

    unsigned char out[PHY_FILE_SIZE];
    Phy_Encode(PhyParams, out);
    EXPECT_EQ(memcmp(out, words(46, base).data(), PHY_FILE_SIZE), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Params, ShortDamagedAndLongFiles)
{
    const PhyParamSet &d = Phy_Defaults();
    read_bytes({});
    EXPECT_EQ(memcmp(&PhyParams, &d, sizeof d), 0);

    // Three whole words and a torn fourth: only the first three change.
    std::vector<unsigned char> b = words(3, 0x40000000);
    b.push_back(0x12);
    b.push_back(0x34);
    read_bytes(b);
    EXPECT_EQ(bits(&PhyParams.classifyReach), 0x40000002u);
    EXPECT_EQ(PhyParams.magnetGain, d.magnetGain);
    EXPECT_EQ(PhyParams.slowBounceFactor, d.slowBounceFactor);

    // A longer file: the tail is ignored.
    PhyParams = d;
    std::vector<unsigned char> big(PHY_FILE_SIZE, 0);
    Phy_Encode(d, big.data());
    big.resize(200, 0xEE);
    read_bytes(big);
    EXPECT_EQ(memcmp(&PhyParams, &d, sizeof d), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Params, MissingFileWarnsAndKeepsValues)
{
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    PhyParams.gravity = 7.0f;
    Phy_FLoad();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Error opening file: Final.phy");
    EXPECT_EQ(boxes()[0].caption, "WARNING");
    EXPECT_EQ(PhyParams.gravity, 7.0f);
    EXPECT_TRUE(ends().empty());

    phtest::answer() = IDCANCEL;
    Phy_FLoad();
    EXPECT_EQ(ends(), std::vector<int>{10});

    // A folder in the file's place cannot be read either.
    phtest::answer() = IDOK;
    std::filesystem::create_directory(dir / "Final.phy");
    Phy_FLoad();
    ASSERT_EQ(boxes().size(), 3u);
    EXPECT_EQ(boxes()[2].text, "Error opening file: Final.phy");
    EXPECT_EQ(PhyParams.gravity, 7.0f);
    std::filesystem::current_path(old);
}

TEST_F(Params, DeriveFillsTheConstants)
{
    PhyParams.gravity = 2.0f;
    PhyParams.cellDiagonal = 99.0f;
    Phy_Derive();
    const PhyDerivedSet &d = PhyDerived;
    EXPECT_TRUE(d.gravity.Valid());
    EXPECT_EQ(d.gravity.y, -2.0f);
    EXPECT_EQ(PhyParams.cellDiagonal, static_cast<float>(sqrt(2.3025)));
    EXPECT_EQ(d.sinGrazing, static_cast<float>(sin(35 * M_PI / 180)));
    EXPECT_EQ(d.sinSlope, static_cast<float>(sin(50 * M_PI / 180)));
    EXPECT_EQ(d.halfRoot2, static_cast<float>(sqrt(0.5)));
    EXPECT_EQ(d.ballRadius, 0.35f);
    const float n = static_cast<float>(sqrt(1 + 0.55 * 0.55));
    EXPECT_NEAR(d.slopeDir[0].z, -0.55f / n, 1e-6f);
    EXPECT_NEAR(d.slopeDir[3].x, 0.55f / n, 1e-6f);
    EXPECT_NEAR(d.slopeDir[1].Length(), 1.0, 1e-6);
    EXPECT_TRUE(PhyDown.Valid());
    Phy_Derive();  // again at the next run: still valid, same values
    EXPECT_EQ(d.gravity.y, -2.0f);
    EXPECT_TRUE(d.slopeDir[2].Valid());
    EXPECT_TRUE(boxes().empty());

    // The file is taken with no range check: wild angles must still derive.
    PhyParams.grazingAngle = INT32_MIN;
    PhyParams.slopeAngle = INT32_MAX;
    Phy_Derive();
    EXPECT_TRUE(isfinite(d.sinGrazing) && isfinite(d.sinSlope));
}

TEST_F(Params, PhygenWritesTheDefaultsBitForBit)
{
    std::filesystem::path file = dir / "out" / "Final.phy";
    std::filesystem::create_directories(file.parent_path());
    std::string cmd = std::string(VOK_BIN_DIR) + "/phygen " + file.string();
    ASSERT_EQ(system(cmd.c_str()), 0);
    ASSERT_EQ(std::filesystem::file_size(file), static_cast<uintmax_t>(PHY_FILE_SIZE));

    PhyParams.launchSpeed = 0;
    PhyParams.material[3].staticFriction = 0;
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(file.parent_path());
    Phy_FLoad();
    std::filesystem::current_path(old);
    EXPECT_TRUE(boxes().empty());
    PhyParamSet want = Phy_Defaults();
    want.cellDiagonal = PhyParams.cellDiagonal;  // the derivation overwrites it
    EXPECT_EQ(memcmp(&PhyParams, &want, sizeof want), 0);

    // A folder in the way of the file: non-zero with a message.
    std::string bad = std::string(VOK_BIN_DIR) + "/phygen " + (dir / "out").string() + " 2>&1";
    FILE *p = popen(bad.c_str(), "r");
    char line[256] = "";
    fgets(line, sizeof line, p);
    int status = pclose(p);
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_NE(strstr(line, "phygen"), nullptr) << line;
}

}  // namespace
