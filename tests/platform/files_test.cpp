#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "temp_dir.h"
#include "vokplat/stdio.h"
#include "win32/windows.h"

namespace {

using vok_test::TempDir;

std::string win(const std::string& host) {
    std::string s = host;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

class Files : public ::testing::Test {
protected:
    TempDir dir{"files"};
    std::string name(const std::string& rel) const { return win(dir.str(rel)); }
    HANDLE open(const std::string& rel, DWORD access, DWORD disposition, DWORD attrs = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(name(rel).c_str(), access, FILE_SHARE_READ, nullptr, disposition, attrs, nullptr);
    }
};

TEST_F(Files, WriteSeekReadAndSize) {
    HANDLE h = open("Data\\..\\new.BIN", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_END), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "6789");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // at the end: success with nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_CURRENT), 5u);
    ASSERT_TRUE(SetEndOfFile(h));
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(h, &high), 5u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(FlushFileBuffers(h));

    // The high part makes a 64-bit position; a negative result is refused and the position stays.
    LONG hi = 1;
    EXPECT_EQ(SetFilePointer(h, 16, &hi, FILE_BEGIN), 16u);
    EXPECT_EQ(hi, 1);
    EXPECT_EQ(SetFilePointer(h, -100, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    hi = 0;
    EXPECT_EQ(SetFilePointer(h, 0, &hi, FILE_CURRENT), 16u);
    EXPECT_EQ(hi, 1);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(dir.read("new.BIN"), "01234");
}

TEST_F(Files, DispositionsAndErrors) {
    dir.write("old.txt", "old");
    struct Case {
        const char* file;
        DWORD disposition;
        bool ok;
        DWORD error;
        const char* after;  // content afterwards, null when the file must not exist
    } cases[] = {
        {"old.txt", CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
        {"OLD.TXT", OPEN_EXISTING, true, NO_ERROR, "old"},
        {"old.txt", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {"fresh1.txt", OPEN_ALWAYS, true, NO_ERROR, ""},
        {"missing.txt", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"missing.txt", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"nofolder\\x.txt", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, nullptr},
        {"old.txt", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
    };
    for (const Case& c : cases) {
        SetLastError(12345);
        HANDLE h = open(c.file, GENERIC_READ | GENERIC_WRITE, c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.ok) << c.file << " " << c.disposition;
        EXPECT_EQ(GetLastError(), c.error) << c.file << " " << c.disposition;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        std::string host = dir.str(c.file);
        std::replace(host.begin(), host.end(), '\\', '/');
        if (c.after) EXPECT_EQ(dir.read(std::string(c.file) == "OLD.TXT" ? "old.txt" : c.file), c.after) << c.file;
        else EXPECT_FALSE(std::filesystem::exists(host)) << c.file;
    }
    EXPECT_EQ(open("", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("C:\\AUTOEXEC.BAT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    std::filesystem::create_directory(dir.path / "sub");
    EXPECT_EQ(open("sub", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(Files, ReadOnlyFilesRefuseWritesAndDeletion) {
    HANDLE h = open("ro.sav", GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));  // the creating handle may still write
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesA(name("RO.SAV").c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(open("ro.sav", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFileA(name("ro.sav").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    h = open("ro.sav", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));  // opened for reading only
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(h);
    EXPECT_TRUE(SetFileAttributesA(name("ro.sav").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(name("ro.sav").c_str()), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(DeleteFileA(name("ro.sav").c_str()));
    EXPECT_EQ(GetFileAttributesA(name("ro.sav").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, MappingsReadAndWriteThrough) {
    dir.write("map.dat", std::string(70000, 'a') + "tail");
    HANDLE f = open("map.dat", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    HANDLE ro = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(MapViewOfFile(ro, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(MapViewOfFile(ro, FILE_MAP_READ, 0, 100, 0), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MAPPED_ALIGNMENT);
    const char* view = static_cast<const char*>(MapViewOfFile(ro, FILE_MAP_READ, 0, 65536, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view + 70000 - 65536, 4), "tail");
    EXPECT_TRUE(CloseHandle(ro));  // the view keeps the mapping
    EXPECT_EQ(view[0], 'a');
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ADDRESS);

    // A writable mapping larger than the file grows it; writes reach the file.
    HANDLE rw = CreateFileMappingA(f, nullptr, PAGE_READWRITE, 0, 80000, nullptr);
    ASSERT_NE(rw, nullptr);
    char* w = static_cast<char*>(MapViewOfFile(rw, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(w, nullptr);
    std::memcpy(w + 79996, "END!", 4);
    EXPECT_TRUE(UnmapViewOfFile(w));
    CloseHandle(rw);
    EXPECT_EQ(GetFileSize(f, nullptr), 80000u);
    CloseHandle(f);
    EXPECT_EQ(dir.read("map.dat").substr(79996), "END!");

    dir.write("empty.dat", "");
    HANDLE e = open("empty.dat", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(CreateFileMappingA(e, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_INVALID);
    HANDLE r = open("map.dat", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(CreateFileMappingA(r, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(e);
    CloseHandle(r);
}

TEST_F(Files, FoldersMovesAndCopies) {
    EXPECT_TRUE(CreateDirectoryA(name("Save").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(name("SAVE").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA(name("a\\b").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(name("save").c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);

    dir.write("Save/game1.sav", "one");
    EXPECT_FALSE(RemoveDirectoryA(name("save").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileA(name("save").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveDirectoryA(name("save\\game1.sav").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);

    EXPECT_TRUE(CopyFileA(name("save\\GAME1.SAV").c_str(), name("save\\Game2.sav").c_str(), TRUE));
    EXPECT_FALSE(CopyFileA(name("save\\game1.sav").c_str(), name("save\\game2.sav").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    dir.write("Save/game1.sav", "uno");
    EXPECT_TRUE(CopyFileA(name("save\\game1.sav").c_str(), name("save\\game2.sav").c_str(), FALSE));
    EXPECT_EQ(dir.read("Save/Game2.sav"), "uno");
    EXPECT_FALSE(MoveFileA(name("save\\game1.sav").c_str(), name("save\\game2.sav").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileA(name("save\\game1.sav").c_str(), name("save\\Moved.sav").c_str()));
    EXPECT_EQ(dir.read("Save/Moved.sav"), "uno");
    EXPECT_FALSE(MoveFileA(name("save\\game1.sav").c_str(), name("save\\x.sav").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    EXPECT_TRUE(DeleteFileA(name("save\\moved.sav").c_str()));
    EXPECT_TRUE(DeleteFileA(name("save\\game2.sav").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(name("SAVE").c_str()));
    EXPECT_FALSE(RemoveDirectoryA(name("SAVE").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, LinksAreRemovedNotFollowed) {
    TempDir outside("outside");
    outside.write("keep.txt", "keep");
    std::filesystem::create_directory_symlink(outside.path, dir.path / "dirlink");
    std::filesystem::create_symlink(outside.path / "keep.txt", dir.path / "filelink");
    chmod(outside.str("keep.txt").c_str(), 0444);
    DWORD attr = GetFileAttributesA(name("dirlink").c_str());
    EXPECT_EQ(attr, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_TRUE(SetFileAttributesA(name("filelink").c_str(), FILE_ATTRIBUTE_NORMAL));
    struct stat st;
    ASSERT_EQ(stat(outside.str("keep.txt").c_str(), &st), 0);
    EXPECT_FALSE(st.st_mode & S_IWUSR);  // the target kept its read-only state
    EXPECT_TRUE(RemoveDirectoryA(name("dirlink").c_str()));
    EXPECT_TRUE(DeleteFileA(name("filelink").c_str()));
    EXPECT_EQ(outside.read("keep.txt"), "keep");
}

TEST_F(Files, CurrentAndTemporaryFolders) {
    char old[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, old), 0u);
    dir.write("Work/x", "");
    ASSERT_TRUE(SetCurrentDirectoryA(name("WORK").c_str()));
    char cur[MAX_PATH];
    DWORD len = GetCurrentDirectoryA(MAX_PATH, cur);
    char real[PATH_MAX];
    ASSERT_NE(realpath(dir.str("Work").c_str(), real), nullptr);
    EXPECT_EQ(std::string(cur, len), win(real));
    EXPECT_EQ(GetCurrentDirectoryA(3, cur), len + 1);  // too small: the size needed
    EXPECT_FALSE(SetCurrentDirectoryA(name("nowhere").c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(SetCurrentDirectoryA(old));

    char tmp[MAX_PATH];
    DWORD tl = GetTempPathA(MAX_PATH, tmp);
    ASSERT_GT(tl, 0u);
    EXPECT_EQ(tmp[tl - 1], '\\');

    char file1[MAX_PATH], file2[MAX_PATH];
    UINT u1 = GetTempFileNameA(name("").c_str(), "trsXYZ", 0, file1);
    UINT u2 = GetTempFileNameA(name("").c_str(), "trsXYZ", 0, file2);
    ASSERT_NE(u1, 0u);
    ASSERT_NE(u2, 0u);
    EXPECT_NE(std::string(file1), std::string(file2));
    EXPECT_NE(GetFileAttributesA(file1), INVALID_FILE_ATTRIBUTES);  // created
    std::string base1 = std::string(file1).substr(std::string(file1).find_last_of('\\') + 1);
    char expect[32];
    snprintf(expect, sizeof expect, "trs%X.tmp", u1);
    EXPECT_EQ(base1, expect);
    EXPECT_EQ(GetTempFileNameA(name("").c_str(), "ab", 0x1A2B, file1), 0x1A2Bu);
    EXPECT_EQ(GetFileAttributesA(file1), INVALID_FILE_ATTRIBUTES);  // a given number creates nothing
    EXPECT_EQ(GetTempFileNameA(name("missing").c_str(), "ab", 0, file1), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIRECTORY);
}

TEST(ModuleFileName, ProgramAndLoadedModules) {
    char real[PATH_MAX];
    ASSERT_NE(realpath("/proc/self/exe", real), nullptr);
    char buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), win(real));

    std::string lib = std::string(VOK_BIN_DIR) + "/libplatform.so";
    ASSERT_NE(realpath(lib.c_str(), real), nullptr);
    void* handle = dlopen(lib.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    n = GetModuleFileNameA(static_cast<HMODULE>(handle), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), win(real));
    dlclose(handle);
    n = GetModuleFileNameA(reinterpret_cast<HMODULE>(reinterpret_cast<void*>(&GetLastError)), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, n), win(real));

    // Too small: cut, terminated, the buffer size answered.
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 5), 5u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::strlen(buf), 4u);

    int local = 0;
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), buf, sizeof buf), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(Files, StreamsResolveNames) {
    dir.write("Data/Kelpa/Level01.KLV", "level");
    FILE* f = PlatFopen(name("data\\kelpa\\level01.klv").c_str(), "rt");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(fread(buf, 1, sizeof buf, f), 5u);
    fclose(f);
    EXPECT_EQ(std::string(buf), "level");
    f = PlatFopen(name("DATA\\New.sav").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "Data" / "New.sav"));
    EXPECT_EQ(PlatFopen("C:\\x.txt", "rb"), nullptr);
}

}  // namespace
