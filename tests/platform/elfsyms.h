// Reads the names a shared object exports: the defined global and weak symbols of its dynamic symbol
// table (what the loader can find), straight from the ELF file.
#pragma once

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace elfsyms {

// Empty when the file cannot be read or is no 64-bit ELF file.
inline std::set<std::string> exported(const std::string &path)
{
    std::set<std::string> names;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof(Elf64_Ehdr) || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0 ||
        bytes[EI_CLASS] != ELFCLASS64)
        return names;
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    auto section = [&](size_t i, Elf64_Shdr &sh) {
        size_t at = eh.e_shoff + i * eh.e_shentsize;
        if (i >= eh.e_shnum || at + sizeof sh > bytes.size())
            return false;
        std::memcpy(&sh, bytes.data() + at, sizeof sh);
        return sh.sh_offset + sh.sh_size <= bytes.size();
    };
    for (size_t i = 0; i < eh.e_shnum; i++) {
        Elf64_Shdr sh, strs;
        if (!section(i, sh) || sh.sh_type != SHT_DYNSYM || !section(sh.sh_link, strs))
            continue;
        for (size_t k = 1; k < sh.sh_size / sizeof(Elf64_Sym); k++) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
            int bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) ||
                sym.st_name >= strs.sh_size)
                continue;
            const char *name = bytes.data() + strs.sh_offset + sym.st_name;
            names.insert(std::string(name, strnlen(name, strs.sh_size - sym.st_name)));
        }
    }
    return names;
}

}  // namespace elfsyms
