#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <fstream>

#include "vokplat/paths.h"
#include "win32/windows.h"

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vok_paths_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "Data" / "Kelpa");
        std::ofstream(root / "Data" / "Kelpa" / "Level01.KLV") << "x";
        std::ofstream(root / "readme.txt") << "x";
        fs::create_directories(root / "Data" / "exact");
        fs::create_directories(root / "Data" / "EXACT");
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(PathsTest, ResolvesSeparatorsAndCase) {
    struct Case {
        const char* name;
        const char* expect;  // relative to root
    } cases[] = {
        {"Data\\Kelpa\\Level01.KLV", "Data/Kelpa/Level01.KLV"},
        {"data\\kelpa\\level01.klv", "Data/Kelpa/Level01.KLV"},
        {"DATA/KELPA/LEVEL01.klv", "Data/Kelpa/Level01.KLV"},
        {"README.TXT", "readme.txt"},
        {"data\\NewFolder\\New.Sav", "Data/NewFolder/New.Sav"},  // new names keep their case
        {"Data\\\\Kelpa\\", "Data/Kelpa"},
        {"Missing\\..\\DATA\\.\\kelpa", "Data/Kelpa"},          // "." and ".." go by name
        {"data\\kelpa\\..\\..\\README.txt", "readme.txt"},
        {"data/Kelpa\\LEVEL01.klv\\inner", "Data/Kelpa/Level01.KLV/inner"},  // a file is no folder
        {"data\\exact\\x", "Data/exact/x"},                          // exact match wins over folding
        {"data\\EXACT\\x", "Data/EXACT/x"},
        {"DATA\\Exact", "Data/EXACT"},                                 // otherwise the smallest name
    };
    for (const Case& c : cases) {
        std::string full = root.string() + "/" + c.name;
        std::replace(full.begin(), full.end(), '/', '\\');  // absolute names the way the platform hands them out
        char out[MAX_PATH * 4];
        ASSERT_GT(PlatResolvePath(full.c_str(), out, sizeof out), 0u) << c.name;
        EXPECT_EQ(std::string(out), (root / c.expect).string()) << c.name;
    }
}

TEST_F(PathsTest, RefusesDriveLettersAndEmptyNames) {
    char out[64];
    SetLastError(0);
    EXPECT_EQ(PlatResolvePath("C:\\Windows\\x.ini", out, sizeof out), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    EXPECT_EQ(PlatResolvePath("", out, sizeof out), 0u);
    EXPECT_EQ(PlatResolvePath(nullptr, out, sizeof out), 0u);
    EXPECT_EQ(PlatResolvePath("/tmp/a/long/name", out, 4), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
