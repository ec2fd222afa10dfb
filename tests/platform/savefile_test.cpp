#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "temp_dir.h"
#include "vokplat/savefile.h"
#include "win32/windows.h"

namespace {

using vok_test::TempDir;

std::string win(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

TEST(SaveFile, ReplacesWholeOrNotAtAll) {
    TempDir dir{"savefile"};
    dir.write("Scores/VNS.DAT", "old contents");
    // Backslashes and another case find the existing file.
    ASSERT_TRUE(PlatSaveFile(win(dir.str("scores/vns.dat")).c_str(), "new", 3));
    EXPECT_EQ(dir.read("Scores/VNS.DAT"), "new");
    ASSERT_TRUE(PlatSaveFile(win(dir.str("Scores/empty")).c_str(), nullptr, 0));
    EXPECT_EQ(dir.read("Scores/empty"), "");

    chmod(dir.str("Scores/VNS.DAT").c_str(), 0444);
    SetLastError(0);
    EXPECT_FALSE(PlatSaveFile(dir.str("Scores/VNS.DAT").c_str(), "lost", 4));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(dir.read("Scores/VNS.DAT"), "new");

    EXPECT_FALSE(PlatSaveFile(dir.str("no/such/folder/x").c_str(), "x", 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PlatSaveFile(dir.str("Scores").c_str(), "x", 1));
    EXPECT_FALSE(PlatSaveFile(dir.str("Scores/x").c_str(), nullptr, 1));
    // Nothing but the saved files is left in the folder.
    size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path / "Scores")) {
        (void)e;
        files++;
    }
    EXPECT_EQ(files, 2u);
}

}  // namespace
