#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "win32/windows.h"

namespace {

using vok_test::TempDir;

class Find : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"players.lst", "README", "Game.DAT", "a.b.c", "x.re", "x.rep", "y.REPX", "z.ei",
                              "z.eix", "t1.trs", "t22.trs", "noext."})
            dir.write(f, "12345");
        std::filesystem::create_directories(dir.path / "Sub.re");
    }
    // Names FindFirstFile/FindNextFile report for a pattern, in their order; the handle is closed.
    std::vector<std::string> list(const std::string& pattern, DWORD* error = nullptr) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        std::string full = dir.str() + "\\" + pattern;
        HANDLE h = FindFirstFileA(full.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return names;
        }
        do names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return names;
    }
    TempDir dir{"find"};
};

TEST_F(Find, PatternsMatchTheWayWin32Does) {
    using V = std::vector<std::string>;
    struct Case {
        const char* pattern;
        V names;
    } cases[] = {
        {"*.*", {".", "..", "a.b.c", "Game.DAT", "noext.", "players.lst", "README", "Sub.re", "t1.trs", "t22.trs",
                 "x.re", "x.rep", "y.REPX", "z.ei", "z.eix"}},
        {"*", {".", "..", "a.b.c", "Game.DAT", "noext.", "players.lst", "README", "Sub.re", "t1.trs", "t22.trs",
               "x.re", "x.rep", "y.REPX", "z.ei", "z.eix"}},
        {"*.re", {"Sub.re", "x.re"}},
        {"*.rep", {"x.rep"}},
        {"*.REP*", {"x.rep", "y.REPX"}},
        {"*.ei*", {"z.ei", "z.eix"}},
        {"t?.trs", {"t1.trs"}},
        {"t??.TRS", {"t22.trs"}},
        {"*.dat", {"Game.DAT"}},
        {"PLAYERS.LST", {"players.lst"}},
        {"readme.*", {"README"}},
        {"*.", {".", "..", "noext.", "README"}},
        {"*.c", {"a.b.c"}},
    };
    for (const Case& c : cases) EXPECT_EQ(list(c.pattern), c.names) << c.pattern;
}

TEST_F(Find, ReportsAttributesSizesAndMisses) {
    WIN32_FIND_DATAA fd;
    std::string full = dir.str() + "\\SUB.RE";
    HANDLE h = FindFirstFileA(full.c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
    full = dir.str() + "/game.dat";
    h = FindFirstFileA(full.c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.nFileSizeLow, 5u);
    EXPECT_EQ(fd.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_NE(fd.ftLastWriteTime.dwHighDateTime, 0u);
    EXPECT_FALSE(FindNextFileA(h, &fd));
    FindClose(h);
    EXPECT_FALSE(FindClose(h));

    DWORD error = 0;
    EXPECT_TRUE(list("*.zzz", &error).empty());
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(list("missing\\*.*", &error).empty());
    EXPECT_EQ(error, (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(list("sub.re\\", &error).empty());
    EXPECT_EQ(error, (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(Find, EntriesMayBeDeletedWhileWalking) {
    WIN32_FIND_DATAA fd;
    std::string folder = dir.str() + "\\";
    HANDLE h = FindFirstFileA((folder + "*.trs").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int seen = 0;
    do {
        EXPECT_TRUE(DeleteFileA((folder + fd.cFileName).c_str()));
        ++seen;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    EXPECT_EQ(seen, 2);
}

}  // namespace
