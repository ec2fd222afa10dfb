#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "vokplat/debug.h"
#include "win32/windows.h"

namespace fs = std::filesystem;

namespace {

typedef int (*BumpProc)(void);
typedef HINSTANCE (*InstanceProc)(void);

std::string debug_output() {
    size_t n = PlatDebugOutput(nullptr, 0);
    std::string s(n + 1, '\0');
    PlatDebugOutput(s.data(), s.size());
    s.resize(n);
    return s;
}

int count_of(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t pos = hay.find(needle); pos != std::string::npos; pos = hay.find(needle, pos + 1)) ++n;
    return n;
}

int bump(HMODULE m) { return reinterpret_cast<BumpProc>(GetProcAddress(m, "ModBump"))(); }

class ModulesTest : public ::testing::Test {
protected:
    void SetUp() override { PlatDebugOutputClear(); }
};

TEST_F(ModulesTest, LoadsByWindowsNameFromTheProgramFolder) {
    const std::string dir = VOK_TEST_BIN_DIR;
    const std::string names[] = {
        "PlatModA.dll",
        "platmoda.DLL",                     // case does not matter
        "PLATMODA",                         // no extension: ".so" is meant
        "PlatModA.so",                      // the host name works as well
        dir + "/platmoda.dll",              // a folder is resolved like any file name
        dir + "\\PlatModA.Dll",             // with either separator
    };
    HMODULE first = LoadLibraryA("PlatModA.dll");
    ASSERT_NE(first, nullptr);
    for (const std::string& name : names) {
        HMODULE m = LoadLibraryA(name.c_str());
        EXPECT_EQ(m, first) << name;
        if (m) FreeLibrary(m);
    }
    // Every load of a loaded module only counts a reference: one attach in all.
    EXPECT_EQ(count_of(debug_output(), "PlatModA reason=1"), 1);
    EXPECT_EQ(count_of(debug_output(), "PlatModA reason=0"), 0);
    EXPECT_TRUE(FreeLibrary(first));
}

TEST_F(ModulesTest, MissingModulesAndExportsFailWithTheirCodes) {
    struct Case {
        const char* name;
        DWORD error;
    } cases[] = {
        {"NoSuchModule.dll", ERROR_MOD_NOT_FOUND},
        {VOK_TEST_BIN_DIR "/missing/PlatModA.dll", ERROR_MOD_NOT_FOUND},
        {"C:\\Games\\PlatModA.dll", ERROR_MOD_NOT_FOUND},
        {"", ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(c.name), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }

    HMODULE m = LoadLibraryA("PlatModA.dll");
    ASSERT_NE(m, nullptr);
    const char* missing[] = {"NoSuchExport", "DllMain", "PlatTestCounterBump", MAKEINTRESOURCEA(1)};
    for (const char* name : missing) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(m, name), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_PROC_NOT_FOUND);
    }
    // An export of a module this one uses is not its own.
    EXPECT_EQ(GetProcAddress(m, "OutputDebugStringA"), nullptr);
    EXPECT_NE(GetProcAddress(m, "ModBump"), nullptr);
    EXPECT_TRUE(FreeLibrary(m));

    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(m));  // the last reference is gone
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    int not_a_module = 0;
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&not_a_module), "ModBump"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(ModulesTest, EntryGetsAttachOnFirstLoadAndDetachOnLastFree) {
    HMODULE a = LoadLibraryA("PlatModA.dll");
    ASSERT_NE(a, nullptr);
    HMODULE again = LoadLibraryA("platmoda");
    EXPECT_EQ(again, a);
    // The instance the entry received is the handle every other call takes.
    EXPECT_EQ(reinterpret_cast<InstanceProc>(GetProcAddress(a, "ModInstance"))(), a);
    EXPECT_EQ(bump(a), 1);

    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(count_of(debug_output(), "PlatModA reason=0"), 0);
    EXPECT_EQ(GetModuleHandleA("PlatModA.dll"), a);
    EXPECT_TRUE(FreeLibrary(a));
    std::string out = debug_output();
    EXPECT_EQ(count_of(out, "PlatModA reason=1"), 1);
    EXPECT_EQ(count_of(out, "PlatModA reason=0"), 1);
    EXPECT_LT(out.find("PlatModA reason=1"), out.find("PlatModA reason=0"));
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA("PlatModA.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    // Loaded afresh, the module starts from new globals.
    a = LoadLibraryA("PlatModA.dll");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(bump(a), 1);
    EXPECT_TRUE(FreeLibrary(a));
}

TEST_F(ModulesTest, RefusedAttachFailsTheLoad) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("PlatModRefuse.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DLL_INIT_FAILED);
    std::string out = debug_output();
    EXPECT_EQ(count_of(out, "PlatModRefuse reason=1"), 1);
    EXPECT_EQ(count_of(out, "PlatModRefuse reason=0"), 1);
    EXPECT_EQ(GetModuleHandleA("PlatModRefuse.dll"), nullptr);
}

// Two modules that carry the same static library each own a copy of its globals, and the library's
// symbols do not leave either module even when its source marks them for export.
TEST_F(ModulesTest, EachModuleOwnsItsCopyOfAStaticLibrary) {
    HMODULE a = LoadLibraryA("PlatModA.dll");
    HMODULE b = LoadLibraryA("platmodb.dll");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(a, b);
    EXPECT_EQ(bump(a), 1);
    EXPECT_EQ(bump(a), 2);
    EXPECT_EQ(bump(b), 1);
    EXPECT_EQ(bump(a), 3);
    EXPECT_EQ(bump(b), 2);
    EXPECT_EQ(dlsym(a, "PlatTestCounterBump"), nullptr);
    EXPECT_EQ(dlsym(b, "PlatTestCounterBump"), nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "PlatTestCounterBump"), nullptr);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_TRUE(FreeLibrary(b));
}

TEST_F(ModulesTest, BareNamesFallBackToTheCurrentFolder) {
    fs::path dir = fs::temp_directory_path() / ("vok_modules_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(VOK_TEST_BIN_DIR) / "PlatModB.so", dir / "CwdMod.so",
                  fs::copy_options::overwrite_existing);
    fs::path old = fs::current_path();
    fs::current_path(dir);
    HMODULE m = LoadLibraryA("cwdmod.dll");
    fs::current_path(old);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(bump(m), 1);
    EXPECT_EQ(GetModuleHandleA("CWDMOD"), m);
    EXPECT_TRUE(FreeLibrary(m));
    fs::remove_all(dir);
}

TEST_F(ModulesTest, ProgramHandleAndLinkedModules) {
    HMODULE program = GetModuleHandleA(nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), program);
    // The platform library is linked at start: found by its file name, not as the program.
    HMODULE platform = GetModuleHandleA("libplatform.dll");
    ASSERT_NE(platform, nullptr);
    EXPECT_NE(platform, program);
    EXPECT_NE(GetProcAddress(platform, "LoadLibraryA"), nullptr);
    EXPECT_EQ(GetProcAddress(program, "LoadLibraryA"), nullptr);

    HMODULE a = LoadLibraryA("PlatModA.dll");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetModuleHandleA(VOK_TEST_BIN_DIR "\\PLATMODA.DLL"), a);
    EXPECT_EQ(GetModuleHandleA("platmoda"), a);
    EXPECT_EQ(GetModuleHandleA(VOK_TEST_BIN_DIR "/missing/PlatModA.dll"), nullptr);
    EXPECT_TRUE(FreeLibrary(a));
}

TEST_F(ModulesTest, ExitProcessRunsDetachEntries) {
    EXPECT_EXIT(
        {
            setenv("VOK_DEBUG_OUTPUT", "1", 1);
            LoadLibraryA("PlatModA.dll");
            LoadLibraryA("PlatModB.dll");
            ExitProcess(7);
        },
        ::testing::ExitedWithCode(7), "PlatModB reason=0[^\n]*\n.*PlatModA reason=0");
}

}  // namespace
