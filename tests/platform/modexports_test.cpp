// What a module exports, read back from its dynamic symbol table: its own marked entries, the names
// it passes on from a static library on purpose, and nothing else of its static libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "elfsyms.h"
#include <unistd.h>

#include "win32/winmod.h"

namespace {

std::string module_path(const char *name)
{
    return std::string(VOK_TEST_BIN_DIR) + "/" + name + ".so";
}

TEST(ModExports, NamedArchiveSymbolsLeaveTheModuleAndNothingElse)
{
    struct Case {
        const char *module;
        std::vector<std::string> present, absent;
    } cases[] = {
        {"PlatModExports",
         {"ModBump", "ModInstance", "PlatTestExportedValue", "PlatTestExportedCall"},
         {"PlatTestCounterBump", "PlatTestExportedHidden"}},
        {"PlatModA", {"ModBump", "ModInstance"}, {"PlatTestCounterBump", "PlatTestExportedCall"}},
    };
    for (const Case &c : cases) {
        std::set<std::string> names = elfsyms::exported(module_path(c.module));
        ASSERT_FALSE(names.empty()) << c.module;
        for (const std::string &n : c.present)
            EXPECT_TRUE(names.count(n)) << c.module << " lacks " << n;
        for (const std::string &n : c.absent)
            EXPECT_FALSE(names.count(n)) << c.module << " exports " << n;
    }
}

TEST(ModExports, PassedOnNamesAreTheModulesOwnCopy)
{
    HMODULE m = LoadLibraryA(module_path("PlatModExports").c_str());
    ASSERT_NE(m, nullptr);
    auto value = reinterpret_cast<int *>(GetProcAddress(m, "PlatTestExportedValue"));
    auto call = reinterpret_cast<int (*)(void)>(GetProcAddress(m, "PlatTestExportedCall"));
    ASSERT_NE(value, nullptr);
    ASSERT_NE(call, nullptr);
    int before = *value;
    EXPECT_EQ(call(), before + 1);
    EXPECT_EQ(*value, before + 1) << "the data export is the variable the code uses";
    FreeLibrary(m);
}

// The build's check: a module that lacks a name it must export is refused and removed, so that no
// module without its entries is left for the next start.
TEST(ModExports, BuildRefusesAModuleWithoutItsNames)
{
    namespace fs = std::filesystem;
    const fs::path copy = fs::temp_directory_path() / ("modexports" + std::to_string(getpid()) + ".so");
    auto check = [&](const char *names) {
        fs::copy_file(module_path("PlatModExports"), copy, fs::copy_options::overwrite_existing);
        std::string cmd = std::string("\"") + VOK_CMAKE_COMMAND + "\" -DMODULE=" + copy.string() + " -DNAMES=" + names +
                          " -DNM=" + VOK_NM + " -P " + VOK_CHECK_EXPORTS + " >/dev/null 2>&1";
        return std::system(cmd.c_str());
    };
    EXPECT_EQ(check("ModBump,PlatTestExportedValue"), 0);
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_NE(check("ModBump,PlatTestCounterBump"), 0) << "a hidden archive name is missing";
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_NE(check("Mod"), 0) << "a prefix of an exported name is not the name";
    fs::remove(copy);
}

TEST(ModExports, ReaderRefusesWhatIsNoSharedObject)
{
    EXPECT_TRUE(elfsyms::exported(module_path("NoSuchModule")).empty());
    EXPECT_TRUE(elfsyms::exported(std::string(VOK_SOURCE_DIR) + "/CMakeLists.txt").empty());
}

}  // namespace
