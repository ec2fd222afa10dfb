// The 22 kind-100 levels: every recipe is a sound board and its kept seed and keys win it, in process
// and through `kplevel play`; `kplevel check` refuses a damaged file.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kelpa_levels.h"

namespace fs = std::filesystem;

namespace {

TEST(Kind100Levels, ClassesAndNames)
{
    const auto &levels = datagen::kelpa_levels();
    ASSERT_EQ(levels.size(), 22u);
    int perClass[3] = {};
    for (const auto &r : levels) {
        ASSERT_GE(r.family, 0);
        ASSERT_LE(r.family, 2);
        EXPECT_EQ(r.number, perClass[r.family]++);
        int family = 0, number = 0;
        char name[64];
        KpKind100Level(r.family * 9 + r.number, family, number, name, sizeof name);
        EXPECT_EQ(family, r.family);
        EXPECT_EQ(number, r.number + 1);
    }
    EXPECT_EQ(perClass[0], 9);
    EXPECT_EQ(perClass[1], 9);
    EXPECT_EQ(perClass[2], 4);
}

TEST(Kind100Levels, EachIsWonWithItsSeedAndKeys)
{
    for (const auto &r : datagen::kelpa_levels()) {
        const std::string name = datagen::kelpa_level_name(r);
        KpLevelFile level;
        ASSERT_TRUE(datagen::kelpa_level_file(r, level)) << name;
        int exits = 0;
        for (int32_t c : level.board)
            exits += c == KP_CELL_EXIT;
        EXPECT_GE(exits, 1) << name;
        EXPECT_EQ(level.board[0], KP_CELL_EMPTY) << name;
        std::vector<KpKeyEvent> keys;
        std::string error;
        ASSERT_TRUE(KpParseKeys(r.keys, keys, error)) << name << ": " << error;
        const KpPlayResult won = KpPlayLevel(level, r.seed, keys);
        EXPECT_EQ(won.verdict, 1) << name;
        EXPECT_EQ(won.exitsReached, exits) << name;
        // Without the keys the same level is not won.
        EXPECT_NE(KpPlayLevel(level, r.seed, {}, 7, 20000).verdict, 1) << name;
        // The same game twice ends with the cubes in the same places.
        EXPECT_EQ(KpPlayLevel(level, r.seed, keys).hash, won.hash) << name;
    }
}

TEST(Kind100Levels, KplevelPlaysAndChecks)
{
    const fs::path dir = fs::temp_directory_path() / ("kp_levels_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto &r = datagen::kelpa_levels()[9];
    KpLevelFile level;
    ASSERT_TRUE(datagen::kelpa_level_file(r, level));
    uint8_t bytes[kKpLevelBytes];
    KpEncodeLevel(level, bytes);
    {
        std::ofstream((dir / "one.KPP").string(), std::ios::binary).write(reinterpret_cast<char *>(bytes), sizeof bytes);
        std::ofstream((dir / "short.KPP").string(), std::ios::binary).write(reinterpret_cast<char *>(bytes), 600);
        bytes[4] = 7;  // streak count 7
        std::ofstream((dir / "streak.KPP").string(), std::ios::binary).write(reinterpret_cast<char *>(bytes), sizeof bytes);
    }
    const std::string tool = std::string(VOK_BIN_DIR) + "/kplevel";
    const std::string play = "cd '" + dir.string() + "' && '" + tool + "' play one.KPP --seed " +
                             std::to_string(r.seed) + " --keys '" + r.keys + "' > play.txt 2>&1";
    EXPECT_EQ(system(play.c_str()), 0);
    std::ifstream out((dir / "play.txt").string());
    std::string word;
    out >> word;
    EXPECT_EQ(word, "won");
    for (const char *bad : {"short.KPP", "streak.KPP"}) {
        const std::string check = "cd '" + dir.string() + "' && '" + tool + "' check " + bad + " > check.txt 2>&1";
        EXPECT_NE(system(check.c_str()), 0) << bad;
        std::ifstream c((dir / "check.txt").string());
        std::string text((std::istreambuf_iterator<char>(c)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Damaged Kelpa file !"), std::string::npos) << bad << ": " << text;
    }
    fs::remove_all(dir);
}

}  // namespace
