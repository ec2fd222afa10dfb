// Writes small 32-bit x86 DLL images for the own loader's tests: two sections (code, then data
// holding the export table, the import tables and the base relocations), laid out at fixed places
// so that tests can damage one field at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImport {
    std::string dll;
    std::vector<std::string> names; // imported by name (hint 0)
    std::vector<uint32_t> ordinals; // imported by ordinal, after the names
};

struct PeSpec {
    std::string export_name = "testdrv";
    uint32_t image_base = 0x10000000;
    std::vector<std::string> exports = {"_DrvAlpha", "_DrvBeta"}; // sorted; function i at code + 0x10 * i
    std::vector<PeImport> imports;
    bool relocations = true;
    bool data_before_code_in_file = false; // sections out of file order
};

// File offsets and addresses of the fields the tests patch or check.
struct PeLayout {
    static constexpr uint32_t coff = 0x44;         // machine, then count, ..., optional size, characteristics
    static constexpr uint32_t optional = 0x58;     // 224 bytes
    static constexpr uint32_t sections = 0x138;    // section headers, 40 bytes each
    static constexpr uint32_t code_rva = 0x1000;
    static constexpr uint32_t data_rva = 0x2000;
    static constexpr uint32_t highlow_rva = 0x1100; // holds image base + data_rva, relocated
    static constexpr uint32_t high_rva = 0x1104;    // top 16 bits of the same
    static constexpr uint32_t low_rva = 0x1106;     // low 16 bits of the same
    uint32_t code_raw = 0;
    uint32_t data_raw = 0;
    uint32_t export_dir_rva = 0;
    uint32_t reloc_rva = 0;
    std::vector<uint32_t> lookup_rva; // per import: its lookup table
    std::vector<uint32_t> slots_rva;  // per import: its address table
    uint32_t size_of_image = 0;

    uint32_t data_file(uint32_t rva) const { return data_raw + (rva - data_rva); }
};

std::vector<uint8_t> pe_write(const PeSpec &spec, PeLayout *layout);

inline void put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

inline void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

inline uint32_t get32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
