#include "pe_writer.h"

namespace {

uint32_t align_up(uint32_t v, uint32_t a)
{
    return (v + a - 1) & ~(a - 1);
}

// The data section grows as pieces are appended; each piece gets its address.
struct Data {
    std::vector<uint8_t> bytes;
    uint32_t rva(size_t at) const { return PeLayout::data_rva + (uint32_t)at; }
    size_t take(size_t n)
    {
        size_t at = bytes.size();
        bytes.resize(at + ((n + 3) & ~size_t(3)), 0);
        return at;
    }
    uint32_t string(const std::string &s)
    {
        size_t at = take(s.size() + 1);
        std::copy(s.begin(), s.end(), bytes.begin() + at);
        return rva(at);
    }
};

} // namespace

std::vector<uint8_t> pe_write(const PeSpec &spec, PeLayout *out)
{
    PeLayout l;
    Data d;

    // Export directory.
    size_t dir = d.take(40);
    size_t funcs = d.take(4 * spec.exports.size());
    size_t names = d.take(4 * spec.exports.size());
    size_t ords = d.take(2 * spec.exports.size());
    put32(d.bytes, dir + 12, d.string(spec.export_name));
    put32(d.bytes, dir + 16, 1);
    put32(d.bytes, dir + 20, (uint32_t)spec.exports.size());
    put32(d.bytes, dir + 24, (uint32_t)spec.exports.size());
    put32(d.bytes, dir + 28, d.rva(funcs));
    put32(d.bytes, dir + 32, d.rva(names));
    put32(d.bytes, dir + 36, d.rva(ords));
    for (size_t i = 0; i < spec.exports.size(); i++) {
        put32(d.bytes, funcs + 4 * i, PeLayout::code_rva + 0x10 * (uint32_t)i);
        put32(d.bytes, names + 4 * i, d.string(spec.exports[i]));
        put16(d.bytes, ords + 2 * i, (uint16_t)i);
    }
    l.export_dir_rva = d.rva(dir);
    uint32_t export_size = (uint32_t)(d.bytes.size() - dir);

    // Import descriptors, then each import's tables.
    size_t import_dir = 0;
    uint32_t import_size = 0;
    if (!spec.imports.empty()) {
        import_dir = d.take(20 * (spec.imports.size() + 1));
        import_size = 20 * (uint32_t)(spec.imports.size() + 1);
        for (size_t i = 0; i < spec.imports.size(); i++) {
            const PeImport &imp = spec.imports[i];
            size_t n = imp.names.size() + imp.ordinals.size();
            size_t lookup = d.take(4 * (n + 1));
            size_t slots = d.take(4 * (n + 1));
            size_t k = 0;
            for (const std::string &name : imp.names) {
                size_t hn = d.take(2 + name.size() + 1);
                std::copy(name.begin(), name.end(), d.bytes.begin() + hn + 2);
                put32(d.bytes, lookup + 4 * k, d.rva(hn));
                put32(d.bytes, slots + 4 * k, d.rva(hn));
                k++;
            }
            for (uint32_t ord : imp.ordinals) {
                put32(d.bytes, lookup + 4 * k, 0x80000000u | ord);
                put32(d.bytes, slots + 4 * k, 0x80000000u | ord);
                k++;
            }
            size_t desc = import_dir + 20 * i;
            put32(d.bytes, desc, d.rva(lookup));
            put32(d.bytes, desc + 12, d.string(imp.dll));
            put32(d.bytes, desc + 16, d.rva(slots));
            l.lookup_rva.push_back(d.rva(lookup));
            l.slots_rva.push_back(d.rva(slots));
        }
    }

    // One relocation block for the code page: HIGHLOW, HIGH, LOW and a padding entry.
    uint32_t reloc_size = 0;
    if (spec.relocations) {
        size_t block = d.take(16);
        put32(d.bytes, block, PeLayout::code_rva);
        put32(d.bytes, block + 4, 16);
        put16(d.bytes, block + 8, (uint16_t)(0x3000 | (PeLayout::highlow_rva & 0xfff)));
        put16(d.bytes, block + 10, (uint16_t)(0x1000 | (PeLayout::high_rva & 0xfff)));
        put16(d.bytes, block + 12, (uint16_t)(0x2000 | (PeLayout::low_rva & 0xfff)));
        put16(d.bytes, block + 14, 0);
        l.reloc_rva = d.rva(block);
        reloc_size = 16;
    }

    // Code: breakpoints, and the words the relocations adjust.
    std::vector<uint8_t> code(0x200, 0xCC);
    uint32_t target = spec.image_base + PeLayout::data_rva;
    put32(code, PeLayout::highlow_rva - PeLayout::code_rva, target);
    put16(code, PeLayout::high_rva - PeLayout::code_rva, (uint16_t)(target >> 16));
    put16(code, PeLayout::low_rva - PeLayout::code_rva, (uint16_t)target);

    uint32_t data_raw_size = align_up((uint32_t)d.bytes.size(), 0x200);
    d.bytes.resize(data_raw_size, 0);
    l.size_of_image = PeLayout::data_rva + align_up(data_raw_size, 0x1000);
    if (spec.data_before_code_in_file) {
        l.data_raw = 0x200;
        l.code_raw = 0x200 + data_raw_size;
    } else {
        l.code_raw = 0x200;
        l.data_raw = 0x400;
    }

    std::vector<uint8_t> f(0x400 + data_raw_size, 0);
    f[0] = 'M';
    f[1] = 'Z';
    put32(f, 60, 0x40);
    f[0x40] = 'P';
    f[0x41] = 'E';
    put16(f, PeLayout::coff, 0x14C);
    put16(f, PeLayout::coff + 2, 2);
    put16(f, PeLayout::coff + 16, 224);
    put16(f, PeLayout::coff + 18, 0x2102); // executable, 32-bit machine, DLL
    size_t o = PeLayout::optional;
    put16(f, o, 0x10B);
    put32(f, o + 28, spec.image_base);
    put32(f, o + 32, 0x1000);
    put32(f, o + 36, 0x200);
    put32(f, o + 56, l.size_of_image);
    put32(f, o + 60, 0x200);
    put32(f, o + 92, 16);
    put32(f, o + 96, l.export_dir_rva);
    put32(f, o + 100, export_size);
    if (import_size != 0) {
        put32(f, o + 104, PeLayout::data_rva + (uint32_t)import_dir);
        put32(f, o + 108, import_size);
    }
    if (reloc_size != 0) {
        put32(f, o + 136, l.reloc_rva);
        put32(f, o + 140, reloc_size);
    }
    auto section = [&](int i, const char *name, uint32_t rva, uint32_t vsize, uint32_t raw_size, uint32_t raw) {
        size_t h = PeLayout::sections + 40 * i;
        for (int k = 0; name[k] != '\0' && k < 8; k++)
            f[h + k] = (uint8_t)name[k];
        put32(f, h + 8, vsize);
        put32(f, h + 12, rva);
        put32(f, h + 16, raw_size);
        put32(f, h + 20, raw);
    };
    section(0, ".text", PeLayout::code_rva, 0x200, 0x200, l.code_raw);
    section(1, ".data", PeLayout::data_rva, data_raw_size, data_raw_size, l.data_raw);
    std::copy(code.begin(), code.end(), f.begin() + l.code_raw);
    std::copy(d.bytes.begin(), d.bytes.end(), f.begin() + l.data_raw);

    if (out != nullptr)
        *out = l;
    return f;
}
