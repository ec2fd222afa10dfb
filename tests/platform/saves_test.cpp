// Whole-file saves (profile files, registry hives, pictures, PlatWriteFileAtomic): through links, onto
// read-only and odd targets, and after a writer was killed half-way.
#include <gtest/gtest.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "child.h"
#include "temp_dir.h"
#include "vokplat/png.h"
#include "vokplat/save.h"
#include "vokplat/savefile.h"
#include "vokplat/stdio.h"
#include "win32/windows.h"

namespace {

namespace fs = std::filesystem;
using vok_test::TempDir;

class Saves : public ::testing::Test {
protected:
    void SetUp() override { setenv("VOK_REGISTRY_DIR", dir.str("reg").c_str(), 1); }
    void TearDown() override { unsetenv("VOK_REGISTRY_DIR"); }
    static struct stat stat_of(const std::string& path) {
        struct stat st {};
        lstat(path.c_str(), &st);
        return st;
    }
    // Names in the folder of `path` that start with its name and ".tmp".
    static std::vector<std::string> temps_beside(const std::string& path) {
        std::vector<std::string> out;
        std::string prefix = fs::path(path).filename().string() + ".tmp";
        for (const auto& e : fs::directory_iterator(fs::path(path).parent_path()))
            if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().filename().string());
        return out;
    }
    TempDir dir{"saves"};
};

const unsigned char kRgb[3] = {10, 20, 30};

TEST_F(Saves, LinksAreWrittenThroughAndKept) {
    dir.write("data/real.ini", "old");
    std::string real = dir.str("data/real.ini"), link = dir.str("link.ini"), chain = dir.str("chain.ini");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ino_t before = stat_of(real).st_ino;
    ASSERT_EQ(symlink("data/real.ini", link.c_str()), 0);
    ASSERT_EQ(symlink("link.ini", chain.c_str()), 0);

    ASSERT_TRUE(PlatWriteFileAtomic(chain.c_str(), "new", 3));
    EXPECT_TRUE(S_ISLNK(stat_of(link).st_mode));
    EXPECT_TRUE(S_ISLNK(stat_of(chain).st_mode));
    EXPECT_EQ(fs::read_symlink(link), "data/real.ini");
    EXPECT_EQ(dir.read("data/real.ini"), "new");
    EXPECT_EQ(stat_of(real).st_mode & 07777, 0640u);  // the target's mode stays
    EXPECT_NE(stat_of(real).st_ino, before);           // replaced by a rename, not rewritten in place
    EXPECT_TRUE(temps_beside(real).empty());

    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", link.c_str()));
    EXPECT_TRUE(S_ISLNK(stat_of(link).st_mode));
    EXPECT_EQ(dir.read("data/real.ini"), "new\r\n[S]\r\nk=v\r\n");

    // A link to a name that does not exist yet creates that file.
    std::string dangling = dir.str("shot.png");
    ASSERT_EQ(symlink("data/later.png", dangling.c_str()), 0);
    ASSERT_TRUE(PlatWritePngRgb(dangling.c_str(), 1, 1, kRgb));
    EXPECT_TRUE(S_ISLNK(stat_of(dangling).st_mode));
    EXPECT_TRUE(S_ISREG(stat_of(dir.str("data/later.png")).st_mode));

    // A loop of links is refused.
    ASSERT_EQ(symlink("loop2", dir.str("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", dir.str("loop2").c_str()), 0);
    errno = 0;
    EXPECT_FALSE(PlatWriteFileAtomic(dir.str("loop1").c_str(), "x", 1));
    EXPECT_EQ(errno, ELOOP);
}

TEST_F(Saves, ReadOnlyFilesAreNotWrittenByAnyPath) {
    // The tests may run as a privileged user, for whom the permission bits alone stop nothing.
    const std::string f = dir.str("locked.ini"), link = dir.str("to_locked.ini");
    ASSERT_EQ(symlink("locked.ini", link.c_str()), 0);
    auto fopen_ok = [](const std::string& p, const char* mode) {
        FILE* s = PlatFopen(p.c_str(), mode);
        if (s) std::fclose(s);
        return s != nullptr;
    };
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> write;
    };
    const Case cases[] = {
        {"PlatWriteFileAtomic", [](const std::string& p) { return PlatWriteFileAtomic(p.c_str(), "x", 1) != 0; }},
        {"WritePrivateProfileStringA",
         [](const std::string& p) { return WritePrivateProfileStringA("S", "k", "v", p.c_str()) != 0; }},
        {"PlatWritePngRgb", [](const std::string& p) { return PlatWritePngRgb(p.c_str(), 1, 1, kRgb) != 0; }},
        {"PlatFopen w", [&](const std::string& p) { return fopen_ok(p, "wb"); }},
        {"PlatFopen a", [&](const std::string& p) { return fopen_ok(p, "at"); }},
        {"PlatFopen r+", [&](const std::string& p) { return fopen_ok(p, "r+b"); }},
        {"CreateFileA", [](const std::string& p) {
             HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
             return h != INVALID_HANDLE_VALUE;
         }},
    };
    for (const Case& c : cases)
        for (const std::string& target : {f, link}) {
            dir.write("locked.ini", "[S]\r\nk=keep\r\n");
            ASSERT_EQ(chmod(f.c_str(), 0444), 0);
            errno = 0;
            SetLastError(0);
            EXPECT_FALSE(c.write(target)) << c.what << " " << target;
            if (std::string(c.what).rfind("Plat", 0) == 0) {
                EXPECT_EQ(errno, EACCES) << c.what;
            }
            if (std::string(c.what) != "CreateFileA" && std::string(c.what).rfind("PlatFopen", 0) != 0) {
                EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << c.what;
            }
            EXPECT_EQ(dir.read("locked.ini"), "[S]\r\nk=keep\r\n") << c.what;
            EXPECT_EQ(stat_of(f).st_mode & 07777, 0444u) << c.what;
            ASSERT_EQ(chmod(f.c_str(), 0644), 0);
        }
    EXPECT_TRUE(fopen_ok(f, "rb"));  // reading stays allowed

    // A read-only registry hive refuses changes the same way.
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key), ERROR_SUCCESS);
    ASSERT_EQ(chmod(dir.str("reg/user.hive").c_str(), 0444), 0);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_CANTWRITE);
    RegCloseKey(key);
}

TEST_F(Saves, FoldersAndDevicesAreNotReplaced) {
    fs::create_directories(dir.path / "folder");
    std::string fifo = dir.str("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    errno = 0;
    EXPECT_FALSE(PlatWriteFileAtomic(dir.str("folder").c_str(), "x", 1));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(PlatWritePngRgb(fifo.c_str(), 1, 1, kRgb));
    EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
    EXPECT_TRUE(S_ISFIFO(stat_of(fifo).st_mode));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 2);  // no temporary file left behind
}

// Both whole-file entries refuse the same way and tell why through errno and the last error; a write
// that fails half-way (here past a file size limit) leaves the old file whole and no temporary file.
TEST_F(Saves, BothSaveEntriesReportWhyTheyFailed) {
    using Save = BOOL (*)(const char*, const void*, size_t);
    const std::pair<const char*, Save> entries[] = {{"PlatWriteFileAtomic", PlatWriteFileAtomic},
                                                    {"PlatSaveFile", PlatSaveFile}};
    fs::create_directories(dir.path / "folder");
    const std::string f = dir.str("keep.dat");
    struct Case {
        const char* what;
        std::string target;
        const void* data;
        size_t size;
        mode_t mode;
        int err;
        DWORD last;
    };
    const std::string big(65536, 'x');
    const Case cases[] = {
        {"read-only", f, "x", 1, 0444, EACCES, ERROR_ACCESS_DENIED},
        {"folder", dir.str("folder"), "x", 1, 0644, EISDIR, ERROR_ACCESS_DENIED},
        {"no data", f, nullptr, 1, 0644, EINVAL, ERROR_INVALID_PARAMETER},
        {"too big", f, big.data(), big.size(), 0644, EFBIG, ERROR_DISK_FULL},
    };
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    for (const auto& [name, save] : entries)
        for (const Case& c : cases) {
            dir.write("keep.dat", "old");
            ASSERT_EQ(chmod(f.c_str(), c.mode), 0);
            errno = 0;
            SetLastError(0);
            bool limited = c.err == EFBIG;
            struct rlimit limit {16384, old_limit.rlim_max};
            void (*old_handler)(int) = limited ? signal(SIGXFSZ, SIG_IGN) : nullptr;
            if (limited) ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
            BOOL ok = save(c.target.c_str(), c.data, c.size);
            int err = errno;
            DWORD last = GetLastError();
            if (limited) {
                setrlimit(RLIMIT_FSIZE, &old_limit);
                signal(SIGXFSZ, old_handler);
            }
            EXPECT_FALSE(ok) << name << " " << c.what;
            EXPECT_EQ(err, c.err) << name << " " << c.what;
            EXPECT_EQ(last, c.last) << name << " " << c.what;
            EXPECT_EQ(dir.read("keep.dat"), "old") << name << " " << c.what;
            EXPECT_TRUE(temps_beside(f).empty()) << name << " " << c.what;
            ASSERT_EQ(chmod(f.c_str(), 0644), 0);
        }
}

// Started by the test below: sets a file size limit and saves more than it allows, so the kernel ends
// the process in the middle of writing its temporary file.
TEST(SavesChild, DiesWhileWriting) {
    const char* kind = std::getenv("VOK_SAVE_KIND");
    const char* target = std::getenv("VOK_SAVE_TARGET");
    if (!kind || !target) GTEST_SKIP() << "runs only as the writer that is killed";
    struct rlimit no_core {0, 0}, limit {16384, 16384};
    setrlimit(RLIMIT_CORE, &no_core);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::string big(65536, 'x');
    if (std::string(kind) == "file") {
        PlatWriteFileAtomic(target, big.data(), big.size());
    } else if (std::string(kind) == "profile") {
        WritePrivateProfileStringA("S", "big", big.c_str(), target);
    } else {
        HKEY key;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key), ERROR_SUCCESS);
        RegSetValueExA(key, "big", 0, REG_BINARY, reinterpret_cast<const BYTE*>(big.data()), DWORD(big.size()));
    }
    FAIL() << "the writer was not stopped";
}

TEST_F(Saves, AKilledWritersTemporaryFileGoesAtTheNextSave) {
    struct Case {
        const char* kind;
        std::string target;
        std::function<bool()> save;  // a small save of the same file, as the next run would do
    };
    const std::string file = dir.str("pack.bin"), ini = dir.str("game.ini"), hive = dir.str("reg/user.hive");
    auto set_value = [] {
        HKEY key;
        if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key) != ERROR_SUCCESS) return false;
        bool ok = RegSetValueExA(key, "small", 0, REG_SZ, reinterpret_cast<const BYTE*>("s"), 2) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    };
    const Case cases[] = {
        {"file", file, [&] { return PlatWriteFileAtomic(file.c_str(), "small", 5) != 0; }},
        {"profile", ini, [&] { return WritePrivateProfileStringA("S", "small", "s", ini.c_str()) != 0; }},
        {"registry", hive, set_value},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.save()) << c.kind;
        std::string before = dir.read(fs::relative(c.target, dir.path).string());
        int status = vok_test::wait_child(vok_test::spawn_self(
            "SavesChild.DiesWhileWriting", {std::string("VOK_SAVE_KIND=") + c.kind, "VOK_SAVE_TARGET=" + c.target}));
        ASSERT_EQ(status, 128 + SIGXFSZ) << c.kind;
        EXPECT_EQ(temps_beside(c.target).size(), 1u) << c.kind;  // what the killed writer left
        EXPECT_EQ(dir.read(fs::relative(c.target, dir.path).string()), before) << c.kind;

        // A temporary file of a process that still runs is someone's save in progress: it stays.
        std::string live = c.target + ".tmp" + std::to_string(getppid()) + ".0";
        std::fclose(std::fopen(live.c_str(), "w"));
        // Nor is a file that only looks like the start of one.
        std::string own = c.target + ".tmp4194303";
        std::fclose(std::fopen(own.c_str(), "w"));
        ASSERT_TRUE(c.save()) << c.kind;
        std::vector<std::string> left = temps_beside(c.target),
                                 kept = {fs::path(live).filename().string(), fs::path(own).filename().string()};
        std::sort(left.begin(), left.end());
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(left, kept) << c.kind;
        fs::remove(live);
        fs::remove(own);
    }
}

}  // namespace
