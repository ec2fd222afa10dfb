// What a module exports, read back from its dynamic symbol table: its own marked entries, the names
// it passes on from a static library on purpose, and nothing else of its static libraries.
#include <gtest/gtest.h>

#include "elfsyms.h"
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

TEST(ModExports, ReaderRefusesWhatIsNoSharedObject)
{
    EXPECT_TRUE(elfsyms::exported(module_path("NoSuchModule")).empty());
    EXPECT_TRUE(elfsyms::exported(std::string(VOK_SOURCE_DIR) + "/CMakeLists.txt").empty());
}

}  // namespace
