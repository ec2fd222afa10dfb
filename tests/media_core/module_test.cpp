// Media.so as the framework loads it: its exports, its start (window classes, the program's folder)
// and its calls through the module.
#include <elf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "media/media.h"
#include "win32/windows.h"

namespace {

const std::string kModule = std::string(VOK_BIN_DIR) + "/Media.so";

// Names of the functions and data a shared object exports (defined, global or weak, visible).
std::set<std::string> exported_names(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr))
        return names;
    const auto *eh = reinterpret_cast<const Elf64_Ehdr *>(bytes.data());
    if (eh->e_shoff == 0 || eh->e_shoff + uint64_t(eh->e_shnum) * sizeof(Elf64_Shdr) > bytes.size())
        return names;
    const auto *sh = reinterpret_cast<const Elf64_Shdr *>(bytes.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; i++) {
        if (sh[i].sh_type != SHT_DYNSYM || sh[i].sh_link >= eh->e_shnum)
            continue;
        const Elf64_Shdr &strings = sh[sh[i].sh_link];
        if (sh[i].sh_offset + sh[i].sh_size > bytes.size() || strings.sh_offset + strings.sh_size > bytes.size())
            return names;
        const auto *sym = reinterpret_cast<const Elf64_Sym *>(bytes.data() + sh[i].sh_offset);
        for (size_t k = 0; k < sh[i].sh_size / sizeof(Elf64_Sym); k++) {
            int type = ELF64_ST_TYPE(sym[k].st_info), bind = ELF64_ST_BIND(sym[k].st_info);
            if (sym[k].st_shndx == SHN_UNDEF || (type != STT_FUNC && type != STT_OBJECT) ||
                (bind != STB_GLOBAL && bind != STB_WEAK) || sym[k].st_name >= strings.sh_size)
                continue;
            names.insert(bytes.data() + strings.sh_offset + sym[k].st_name);
        }
    }
    return names;
}

TEST(MediaModule, ExportsExactlyItsElevenEntries)
{
    const std::set<std::string> expected = {"OpenMedia",     "CloseMedia",     "PlayMedia",
                                            "PauseMedia",    "ContinueMedia",  "StopMedia",
                                            "GetMediaState", "GetMediaMsgExtraInfo", "SetMediaParams",
                                            "GetMediaParams", "DllPlayMedia"};
    EXPECT_EQ(exported_names(kModule), expected);
}

TEST(MediaModule, LoadingStartsTheLibraryInTheProgramsFolder)
{
    ASSERT_EQ(chdir("/"), 0);
    HMODULE module = LoadLibraryA(kModule.c_str());
    ASSERT_NE(module, nullptr);
    char cwd[4096] = {};
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), std::string(VOK_TEST_BIN_DIR));

    WNDCLASSA wc{};
    ASSERT_TRUE(GetClassInfoA(module, "Media_MovieWindow", &wc));
    EXPECT_EQ(wc.style, UINT(CS_OWNDC | CS_DBLCLKS));
    EXPECT_EQ(wc.hbrBackground, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    ASSERT_TRUE(GetClassInfoA(module, "Media_NotifyWindow", &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_TRUE(GetClassInfoA(module, "Media_SoundWindow", &wc));

    auto open = reinterpret_cast<decltype(&OpenMedia)>(GetProcAddress(module, "OpenMedia"));
    auto state = reinterpret_cast<decltype(&GetMediaState)>(GetProcAddress(module, "GetMediaState"));
    ASSERT_TRUE(open && state);
    EXPECT_EQ(open(4, 0, MEDIA_W(0)), -1);
    EXPECT_EQ(state(1), MEDIA_STATE_UNKNOWN);

    // Unloading stops the library: its classes go with it.
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(GetClassInfoA(nullptr, "Media_NotifyWindow", &wc));
}

}  // namespace
