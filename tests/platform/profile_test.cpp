#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child.h"
#include "temp_dir.h"
#include "win32/windows.h"

namespace {

using vok_test::TempDir;

constexpr int kKeysPerWriter = 100;

class Profile : public ::testing::Test {
protected:
    void SetUp() override { setenv("VOK_WINDOWS_DIR", dir.str("windows").c_str(), 1); }
    void TearDown() override { unsetenv("VOK_WINDOWS_DIR"); }
    std::string file(const std::string& rel) const { return dir.str(rel); }
    std::string get(const char* section, const char* key, const char* def, const std::string& f, DWORD size = 256,
                    DWORD* ret = nullptr) {
        std::string buf(size, '\x7F');
        DWORD n = GetPrivateProfileStringA(section, key, def, buf.data(), size, f.c_str());
        if (ret) *ret = n;
        return buf.substr(0, n);
    }
    // The whole double-NUL list a NULL section or key answers.
    std::string list(const char* section, const std::string& f, DWORD size, DWORD* ret) {
        std::string buf(size, '\x7F');
        *ret = GetPrivateProfileStringA(section, nullptr, "", buf.data(), size, f.c_str());
        return buf;
    }
    TempDir dir{"profile"};
};

TEST_F(Profile, ReadsValuesDefaultsAndListings) {
    dir.write("set.ini", "; settings\r\n[Settings]\r\n  Width = 640 \r\nName=\"Velmo\"\r\nflag\r\n\r\n"
                         "[Brondel]\r\nBRONDEL_PATH=dat;..\\dat\r\nEMPTY=\r\n");
    std::string f = file("SET.INI");
    EXPECT_EQ(get("settings", "WIDTH", "0", f), "640");
    EXPECT_EQ(get("Settings", "Name", "", f), "Velmo");
    EXPECT_EQ(get("Brondel", "brondel_path", "", f), "dat;..\\dat");
    EXPECT_EQ(get("Brondel", "EMPTY", "x", f), "");
    EXPECT_EQ(get("Brondel", "Missing", "def  ", f), "def");  // trailing blanks of the default go
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(get("Settings", "flag", "none", f), "none");
    EXPECT_EQ(get("Nowhere", "Width", nullptr, f), "");
    EXPECT_EQ(get("Settings", "Width", "d", file("missing.ini")), "d");

    DWORD n = 0;
    EXPECT_EQ(get("Brondel", "BRONDEL_PATH", "", f, 5, &n), "dat;");  // cut to size - 1
    EXPECT_EQ(n, 4u);

    EXPECT_EQ(list(nullptr, f, 64, &n).substr(0, 18), std::string("Settings\0Brondel\0\0", 18));
    EXPECT_EQ(n, 17u);
    EXPECT_EQ(list("Settings", f, 64, &n).substr(0, 12), std::string("Width\0Name\0\0", 12));
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(list(nullptr, f, 12, &n), std::string("Settings\0B\0\0", 12));  // cut: size - 2
    EXPECT_EQ(n, 10u);

    EXPECT_EQ(GetPrivateProfileIntA("Settings", "Width", 5, f.c_str()), 640u);
    EXPECT_EQ(GetPrivateProfileIntA("Settings", "Name", 5, f.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("Settings", "Height", 480, f.c_str()), 480u);

    char sec[64];
    n = GetPrivateProfileSectionA("SETTINGS", sec, sizeof sec, f.c_str());
    EXPECT_EQ(std::string(sec, n + 1), std::string("Width=640\0Name=Velmo\0flag\0\0", 27));
}

TEST_F(Profile, WritesKeepOtherLinesAndLineEndings) {
    const std::string original = "; keep me\r\n[Settings]\r\nWidth=640\r\nOld = 1\r\n\r\n[Other]\r\nA=1\r\n";
    dir.write("game.ini", original);
    std::string f = file("game.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("settings", "width", "800", f.c_str()));
    EXPECT_EQ(dir.read("game.ini"), "; keep me\r\n[Settings]\r\nWidth=800\r\nOld = 1\r\n\r\n[Other]\r\nA=1\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Settings", "Height", "600", f.c_str()));
    EXPECT_EQ(dir.read("game.ini"),
              "; keep me\r\n[Settings]\r\nWidth=800\r\nOld = 1\r\nHeight=600\r\n\r\n[Other]\r\nA=1\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("Settings", "OLD", nullptr, f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("Other", nullptr, nullptr, f.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("New", "Key", "v", f.c_str()));
    EXPECT_EQ(dir.read("game.ini"), "; keep me\r\n[Settings]\r\nWidth=800\r\nHeight=600\r\n\r\n[New]\r\nKey=v\r\n");

    // A file with LF endings and no final line break gets LF lines.
    dir.write("unix.ini", "[S]\na=1");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "b", "2", file("unix.ini").c_str()));
    EXPECT_EQ(dir.read("unix.ini"), "[S]\na=1\nb=2\n");

    // Deleting from a file that does not exist creates nothing; read-only files are refused.
    EXPECT_TRUE(WritePrivateProfileStringA("S", "a", nullptr, file("none.ini").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "none.ini"));
    std::filesystem::permissions(dir.path / "unix.ini", std::filesystem::perms::owner_read);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "c", "3", file("unix.ini").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "c", "3", file("nofolder\\x.ini").c_str()));
}

TEST_F(Profile, BareNamesLiveInTheWindowsFolder) {
    ASSERT_TRUE(WritePrivateProfileStringA("Brondel", "BRONDEL_DRIVERS", "soft", "Brondel.ini"));
    EXPECT_EQ(dir.read("windows/Brondel.ini"), "[Brondel]\r\nBRONDEL_DRIVERS=soft\r\n");
    EXPECT_EQ(get("brondel", "brondel_drivers", "", "BRONDEL.INI"), "soft");
    // A round trip through a new file.
    ASSERT_TRUE(WritePrivateProfileStringA("Settings", "Level", "12", "pannix.ini"));
    EXPECT_EQ(GetPrivateProfileIntA("Settings", "Level", 0, "Pannix.ini"), 12u);
}

// One of several processes writing their own keys into one file (started by the test below).
TEST(ProfileChild, WritesItsKeys) {
    const char* file = std::getenv("VOK_PROFILE_FILE");
    const char* id = std::getenv("VOK_PROFILE_WRITER");
    if (!file || !id) GTEST_SKIP() << "runs only as a writer process";
    for (int i = 0; i < kKeysPerWriter; ++i) {
        std::string key = std::string("w") + id + "k" + std::to_string(i);
        ASSERT_TRUE(WritePrivateProfileStringA("Keys", key.c_str(), std::to_string(i).c_str(), file)) << key;
    }
}

TEST_F(Profile, WritersInSeveralProcessesLoseNothing) {
    const int writers = 4;
    std::string f = file("shared.ini");
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; ++w)
        pids.push_back(vok_test::spawn_self("ProfileChild.WritesItsKeys",
                                            {"VOK_PROFILE_FILE=" + f, "VOK_PROFILE_WRITER=" + std::to_string(w)}));
    for (pid_t pid : pids) EXPECT_EQ(vok_test::wait_child(pid), 0);
    int missing = 0;
    for (int w = 0; w < writers; ++w)
        for (int i = 0; i < kKeysPerWriter; ++i) {
            std::string key = "w" + std::to_string(w) + "k" + std::to_string(i);
            if (get("Keys", key.c_str(), "", f) != std::to_string(i)) ++missing;
        }
    EXPECT_EQ(missing, 0) << "of " << writers * kKeysPerWriter << " keys";
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

}  // namespace
