// The removal extension over a generated installation tree and a registry of the test's own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "win32/windows.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kProduct[] = "Software\\Ostrel Interactive\\Velmo's Games";
using Entry = int (*)();

std::string win(const std::string& host) {
    std::string s = host;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

// What an installation holds after some play: files the removal must take and files it must leave.
const char* const kTree[] = {
    "Zirez14.ivu",         "players.lst",          "Best.LST",           "scores.dat",
    "intro.crp",           "readme.txt",           "mavrel",             "Brondel.ini",
    "save/fenlw/M1P^ann.trs", "save/game1.sav",    "save/old/deep/x.bin", "kp/a.re",
    "kp/b.REP",            "kp/keep.txt",          "kp/Replays.old/r.re", "kp/Old.re/inner.re",
    "kp/Old.re/inner.txt", "fw/f.ei",              "fw/f.eix",           "fw/g.trs",
    "fw/field.trl",        "vn/c.cls",             "vn/v.txt",           "mk/s.svd",
    "mk/s.txt",            "dm/d.dmg",             "dm/d.txt",
};

// What stays of kTree after a full removal ("save" and all in it goes, read-only files included).
const std::set<std::string> kSwept = {
    "Brondel.ini", "dm",          "dm/d.txt",      "fw",          "fw/field.trl", "kp",
    "kp/Old.re",   "kp/Old.re/inner.txt", "kp/Replays.old", "kp/Replays.old/r.re", "kp/keep.txt",
    "mavrel",      "mk",          "mk/s.txt",      "readme.txt",  "vn",           "vn/v.txt",
};

class Sweeper : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string path = std::string(VOK_BIN_DIR) + "/Sweeper.so";
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        initialize = reinterpret_cast<Entry>(dlsym(module, "SweeperInitialize"));
        uninitialize = reinterpret_cast<Entry>(dlsym(module, "SweeperUnInitialize"));
    }
    static void TearDownTestSuite() {
        if (module) dlclose(module);
        module = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(initialize, nullptr);
        ASSERT_NE(uninitialize, nullptr);
        base = fs::temp_directory_path() / ("vok_sweeper_" + std::to_string(getpid()));
        fs::remove_all(base);
        install = base / "Velmo's Games";
        for (const char* f : kTree) {
            fs::create_directories((install / f).parent_path());
            std::ofstream(install / f) << f;
        }
        chmod((install / "save/game1.sav").c_str(), 0444);
        setenv("VOK_REGISTRY_DIR", (base / "registry").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("VOK_REGISTRY_DIR");
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(base, ec); it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(base, ec);
    }

    void set_install_path(const std::string& value, DWORD type = REG_SZ) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kProduct, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, "InstallPath", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                 DWORD(value.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Every entry left below `root`, relative, links not followed.
    static std::set<std::string> left(const fs::path& root) {
        std::set<std::string> names;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
            names.insert(it->path().lexically_relative(root).string());
        return names;
    }
    std::set<std::string> untouched() const {
        std::set<std::string> all;
        for (const char* f : kTree)
            for (fs::path p = f; !p.empty(); p = p.parent_path()) all.insert(p.string());
        return all;
    }

    static void* module;
    static Entry initialize, uninitialize;
    fs::path base, install;
};

void* Sweeper::module = nullptr;
Entry Sweeper::initialize = nullptr;
Entry Sweeper::uninitialize = nullptr;

TEST_F(Sweeper, InstallPathCases) {
    struct Case {
        const char* what;
        int value;  // 0 none, 1 the folder, 2 the folder with a backslash, 3 with "/", 4 too long,
                    // 5 root, 6 a lone backslash, 7 a missing folder, 8 a number, 9 empty
        bool swept;
    } cases[] = {
        {"no value", 0, false},          {"plain", 1, true},           {"trailing backslash", 2, true},
        {"trailing slash", 3, true},     {"longer than 260 bytes", 4, false}, {"file system root", 5, false},
        {"lone backslash", 6, false},    {"missing folder", 7, false}, {"not a string", 8, false},
        {"empty", 9, false},
    };
    for (const Case& c : cases) {
        SetUp();
        std::string folder = win(install.string());
        switch (c.value) {
        case 1: set_install_path(folder); break;
        case 2: set_install_path(folder + "\\"); break;
        case 3: set_install_path(install.string() + "/"); break;
        case 4: {
            std::string padded = folder;
            while (padded.size() < 300) padded += "\\.";
            set_install_path(padded);
            break;
        }
        case 5: set_install_path("/"); break;
        case 6: set_install_path("\\"); break;
        case 7: set_install_path(folder + "\\Gone"); break;
        case 8: {
            HKEY key;
            RegCreateKeyA(HKEY_CURRENT_USER, kProduct, &key);
            DWORD n = 1;
            RegSetValueExA(key, "InstallPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4);
            RegCloseKey(key);
            break;
        }
        case 9: set_install_path(""); break;
        default: break;
        }
        EXPECT_EQ(initialize(), 0) << c.what;
        EXPECT_EQ(uninitialize(), 0) << c.what;
        EXPECT_EQ(left(install), c.swept ? kSwept : untouched()) << c.what;
        TearDown();
    }
}

TEST_F(Sweeper, LinksLeadingOutAreRemovedNotFollowed) {
    fs::path outside = base / "outside";
    fs::create_directories(outside / "inner");
    for (const char* f : {"keep.dat", "keep.re", "inner/keep.sav"}) std::ofstream(outside / f) << f;
    chmod((outside / "keep.dat").c_str(), 0444);
    fs::create_directory_symlink(outside, install / "save" / "link");  // entered by "*.*"
    fs::create_symlink(outside / "keep.dat", install / "linked.dat");   // a file link matching "*.dat"
    fs::remove_all(install / "mk");
    fs::create_directory_symlink(outside, install / "mk");  // a whole swept folder that leads out
    set_install_path(win(install.string()));

    EXPECT_EQ(initialize(), 0);
    std::set<std::string> expect = kSwept;
    expect.erase("mk/s.txt");  // mk is the link now, which stays as it is
    EXPECT_EQ(left(install), expect);
    EXPECT_EQ(left(outside), (std::set<std::string>{"inner", "inner/keep.sav", "keep.dat", "keep.re"}));
    struct stat st;
    ASSERT_EQ(stat((outside / "keep.dat").c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & S_IWUSR);  // its read-only state untouched
}

TEST_F(Sweeper, ProgramRemovesTheInstallation) {
    set_install_path(win(install.string()) + "\\");
    std::string program = std::string(VOK_BIN_DIR) + "/sweeper-run";
    char* argv[] = {program.data(), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(left(install), kSwept);
}

}  // namespace
