// The own loader of 32-bit x86 DLL images. It reads the file header by header, maps the sections into
// an arena, fills the export arrays, resolves imports against the images already known and applies
// base relocations to its copy. Nothing of the file is trusted: every offset, address and count is
// checked against the file and the mapped image before use. The code inside cannot run in this
// process, so the image is marked foreign and nobody calls into it.
#include <string.h>

#include <vector>

#include "brondel/brfile.h"

#include "fwstate.h"
#include "images.h"

namespace {

const br_uint_16 DOS_MAGIC = 0x5A4D;
const br_uint_32 PE_MAGIC = 0x4550;
const br_uint_16 MACHINE_I386 = 0x14C;
const br_uint_16 CHAR_RELOCS_STRIPPED = 0x0001;
const br_uint_16 CHAR_EXECUTABLE = 0x0002;
const br_uint_16 CHAR_32BIT = 0x0100;
const br_uint_16 OPTIONAL_HEADER_SIZE = 224;
const br_uint_32 DOS_HEADER_SIZE = 64;
const br_uint_32 FILE_HEADER_SIZE = 20;
const br_uint_32 SECTION_HEADER_SIZE = 40;

// Limits well above any driver, so that a damaged header cannot ask for absurd amounts of memory.
const br_uint_32 MAX_IMAGE_SIZE = 64u << 20;
const br_uint_32 MAX_SECTION_ALIGN = 1u << 20;
const br_uint_16 MAX_SECTIONS = 96;
// Imports load further images; a chain deeper than this is a loop.
const int MAX_LOAD_DEPTH = 8;
// One load and the imports it pulls in share these, so that a file importing itself many times over
// cannot make the work grow with the depth.
const int MAX_LOADS = 16;
const uint64_t MAX_TOTAL_IMAGE_BYTES = 128u << 20;

int load_depth;
int load_count;
uint64_t load_bytes;

br_uint_16 rd16(const br_uint_8 *p)
{
    return (br_uint_16)(p[0] | (p[1] << 8));
}

br_uint_32 rd32(const br_uint_8 *p)
{
    return (br_uint_32)p[0] | ((br_uint_32)p[1] << 8) | ((br_uint_32)p[2] << 16) | ((br_uint_32)p[3] << 24);
}

void wr16(br_uint_8 *p, br_uint_16 v)
{
    p[0] = (br_uint_8)v;
    p[1] = (br_uint_8)(v >> 8);
}

void wr32(br_uint_8 *p, br_uint_32 v)
{
    for (int i = 0; i < 4; i++)
        p[i] = (br_uint_8)(v >> (8 * i));
}

// Sequential reads through the file layer (the installed filesystem and its search path), keeping
// the file position.
struct Reader {
    void *f = nullptr;
    br_uint_32 pos = 0;

    bool open(const char *name)
    {
        f = BrFileOpenRead(name, 0, nullptr, nullptr);
        return f != nullptr;
    }
    void close()
    {
        if (f != nullptr)
            BrFileClose(f);
        f = nullptr;
    }
    bool read(void *buf, br_uint_32 n)
    {
        if (n == 0)
            return true;
        if (BrFileRead(buf, 1, n, f) != n)
            return false;
        pos += n;
        return true;
    }
    bool skip_to(br_uint_32 offset)
    {
        if (offset < pos)
            return false;
        br_uint_8 buf[512];
        while (pos < offset) {
            br_uint_32 n = offset - pos < sizeof(buf) ? offset - pos : (br_uint_32)sizeof(buf);
            if (!read(buf, n))
                return false;
        }
        return true;
    }
};

struct Loader {
    const char *file_name;
    br_image *img = nullptr;
    br_uint_8 *base = nullptr;
    br_uint_32 size = 0; // size of the mapped image

    bool in_image(br_uint_32 rva, br_uint_32 len) const { return (uint64_t)rva + len <= size; }
    // A NUL-terminated string wholly inside the image.
    const char *string_at(br_uint_32 rva) const
    {
        if (rva >= size)
            return nullptr;
        return memchr(base + rva, 0, size - rva) != nullptr ? (const char *)(base + rva) : nullptr;
    }

    bool exports(br_uint_32 rva, br_uint_32 dir_size);
    bool imports(br_uint_32 rva, br_uint_32 dir_size);
    bool relocate(br_uint_32 rva, br_uint_32 dir_size, br_uint_32 delta);
};

bool Loader::exports(br_uint_32 rva, br_uint_32 dir_size)
{
    if (dir_size < 40 || !in_image(rva, 40))
        return false;
    const br_uint_8 *d = base + rva;
    const char *ident = string_at(rd32(d + 12));
    br_uint_32 ord_base = rd32(d + 16);
    br_uint_32 n_functions = rd32(d + 20);
    br_uint_32 n_names = rd32(d + 24);
    br_uint_32 functions_rva = rd32(d + 28), names_rva = rd32(d + 32), ordinals_rva = rd32(d + 36);

    if (ident == nullptr || n_names > n_functions || n_names > 0xffff || n_functions > size / 4 ||
        !in_image(functions_rva, n_functions * 4) || !in_image(names_rva, n_names * 4) ||
        !in_image(ordinals_rva, n_names * 2))
        return false;

    void **functions = (void **)BrResAllocate(img, sizeof(void *) * (n_functions + 1), BR_MEMORY_IMAGE_NAMES);
    const char **names = (const char **)BrResAllocate(img, sizeof(char *) * (n_names + 1), BR_MEMORY_IMAGE_NAMES);
    br_uint_16 *ordinals = (br_uint_16 *)BrResAllocate(img, sizeof(br_uint_16) * (n_names + 1), BR_MEMORY_IMAGE_NAMES);
    if (functions == nullptr || names == nullptr || ordinals == nullptr)
        return false;

    for (br_uint_32 i = 0; i < n_functions; i++) {
        br_uint_32 f = rd32(base + functions_rva + 4 * i);
        if (f != 0 && f >= size)
            return false;
        functions[i] = f != 0 ? base + f : nullptr;
    }
    for (br_uint_32 i = 0; i < n_names; i++) {
        names[i] = string_at(rd32(base + names_rva + 4 * i));
        ordinals[i] = rd16(base + ordinals_rva + 2 * i);
        if (names[i] == nullptr || ordinals[i] >= n_functions)
            return false;
    }
    img->identifier = ident;
    img->ordinal_base = ord_base;
    img->n_functions = n_functions;
    img->functions = functions;
    img->n_names = n_names;
    img->names = names;
    img->name_ordinals = ordinals;
    return true;
}

bool Loader::imports(br_uint_32 rva, br_uint_32 dir_size)
{
    br_uint_32 count = 0;
    for (;; count++) {
        uint64_t at = (uint64_t)rva + 20ull * count;
        if (at + 20 > size)
            return false;
        if (rd32(base + at) == 0)
            break;
    }
    if (count == 0)
        return true;
    if (count > 0xffff)
        return false;

    img->imports = (br_image **)BrResAllocate(img, sizeof(br_image *) * count, BR_MEMORY_IMAGE_NAMES);
    if (img->imports == nullptr)
        return false;

    std::vector<br_image_import> resolved;
    for (br_uint_32 i = 0; i < count; i++) {
        const br_uint_8 *desc = base + rva + 20 * i;
        br_uint_32 lookup = rd32(desc), name_rva = rd32(desc + 12), slots = rd32(desc + 16);
        const char *name = string_at(name_rva);
        if (name == nullptr)
            return false;
        br_image *dep = BrImageReference(name);
        if (dep == nullptr) {
            BrFailure("Could not reference image %s", name);
            return false;
        }
        img->imports[img->n_imports++] = dep;

        for (br_uint_32 k = 0;; k++) {
            uint64_t l = (uint64_t)lookup + 4ull * k, s = (uint64_t)slots + 4ull * k;
            if (l + 4 > size || s + 4 > size)
                return false;
            br_uint_32 entry = rd32(base + l);
            if (entry == 0)
                break;
            void *f;
            if (entry & 0x80000000u) {
                br_uint_32 ordinal = entry & 0x7fffffffu;
                f = BrImageLookupOrdinal(dep, ordinal);
                if (f == nullptr) {
                    BrFailure("Could not resolve imported ordinal %s:%d", name, (int)ordinal);
                    return false;
                }
            } else {
                const char *sym = in_image(entry, 2) ? string_at(entry + 2) : nullptr;
                if (sym == nullptr)
                    return false;
                br_uint_16 hint = rd16(base + entry);
                f = BrImageLookupName(dep, sym, hint);
                if (f == nullptr) {
                    BrFailure("Could not resolve imported symbol %s:%s (%d)", name, sym, (int)hint);
                    return false;
                }
            }
            resolved.push_back({(br_uint_32)s, f});
        }
    }

    if (!resolved.empty()) {
        img->resolved = (br_image_import *)BrResAllocate(img, sizeof(br_image_import) * resolved.size(),
                                                         BR_MEMORY_IMAGE_NAMES);
        if (img->resolved == nullptr)
            return false;
        memcpy(img->resolved, resolved.data(), sizeof(br_image_import) * resolved.size());
        img->n_resolved = (br_uint_32)resolved.size();
    }
    return true;
}

// The image's words hold 32-bit addresses: the difference is applied modulo 2^32.
bool Loader::relocate(br_uint_32 rva, br_uint_32 dir_size, br_uint_32 delta)
{
    br_uint_32 used = 0;
    while (used < dir_size) {
        if (dir_size - used < 8)
            return false;
        const br_uint_8 *block = base + rva + used;
        br_uint_32 page = rd32(block), block_size = rd32(block + 4);
        // A block smaller than its own header would never advance.
        if (block_size < 8 || block_size > dir_size - used)
            return false;
        for (br_uint_32 e = 0; e < (block_size - 8) / 2; e++) {
            br_uint_16 entry = rd16(block + 8 + 2 * e);
            br_uint_32 type = entry >> 12;
            uint64_t target = (uint64_t)page + (entry & 0xfff);
            if (type > 5)
                return false;
            if (type == 0)
                continue;
            br_uint_32 width = type == 3 ? 4 : 2;
            if (target + width > size)
                return false;
            br_uint_8 *p = base + target;
            switch (type) {
            case 1:
                wr16(p, (br_uint_16)(rd16(p) + (delta >> 16)));
                break;
            case 2:
                wr16(p, (br_uint_16)(rd16(p) + (delta & 0xffff)));
                break;
            case 3:
                wr32(p, rd32(p) + delta);
                break;
            default:
                return false;
            }
        }
        used += block_size;
    }
    return true;
}

br_image *load(Reader &r, Loader &ld)
{
    br_uint_8 dos[DOS_HEADER_SIZE];
    if (!r.read(dos, sizeof(dos)) || rd16(dos) != DOS_MAGIC)
        return nullptr;
    br_uint_32 new_header = rd32(dos + 60);
    if (new_header < DOS_HEADER_SIZE || !r.skip_to(new_header))
        return nullptr;

    br_uint_8 sig[4];
    if (!r.read(sig, 4) || rd32(sig) != PE_MAGIC)
        return nullptr;

    br_uint_8 fh[FILE_HEADER_SIZE];
    if (!r.read(fh, sizeof(fh)))
        return nullptr;
    br_uint_16 machine = rd16(fh), n_sections = rd16(fh + 2), opt_size = rd16(fh + 16), chars = rd16(fh + 18);
    if (machine != MACHINE_I386 || (chars & CHAR_EXECUTABLE) == 0 || (chars & CHAR_32BIT) == 0 ||
        (chars & CHAR_RELOCS_STRIPPED) != 0 || opt_size != OPTIONAL_HEADER_SIZE || n_sections > MAX_SECTIONS)
        return nullptr;

    br_uint_8 opt[OPTIONAL_HEADER_SIZE];
    if (!r.read(opt, sizeof(opt)))
        return nullptr;
    br_uint_32 image_base = rd32(opt + 28), section_align = rd32(opt + 32), image_size = rd32(opt + 56);
    br_uint_32 export_rva = rd32(opt + 96), export_size = rd32(opt + 100);
    br_uint_32 import_rva = rd32(opt + 104), import_size = rd32(opt + 108);
    br_uint_32 reloc_rva = rd32(opt + 136), reloc_size = rd32(opt + 140);
    if (section_align == 0 || (section_align & (section_align - 1)) != 0 || section_align > MAX_SECTION_ALIGN ||
        image_size == 0 || image_size > MAX_IMAGE_SIZE ||
        (load_bytes += image_size) > MAX_TOTAL_IMAGE_BYTES)
        return nullptr;

    br_image *img = (br_image *)BrResAllocate(nullptr, sizeof(br_image), BR_MEMORY_IMAGE);
    if (img == nullptr)
        return nullptr;
    ld.img = img;
    img->type = BR_IMG_OWN;
    img->foreign = 1; // i386 code, and this process is not
    if (n_sections > 0) {
        img->sections =
            (br_image_section *)BrResAllocate(img, sizeof(br_image_section) * n_sections, BR_MEMORY_IMAGE_SECTIONS);
        if (img->sections == nullptr)
            return nullptr;
    }

    struct RawSection {
        br_uint_32 va, vsize, raw_size, raw_offset;
    };
    std::vector<RawSection> raw(n_sections);
    for (br_uint_16 i = 0; i < n_sections; i++) {
        br_uint_8 sh[SECTION_HEADER_SIZE];
        if (!r.read(sh, sizeof(sh)))
            return nullptr;
        raw[i] = {rd32(sh + 12), rd32(sh + 8), rd32(sh + 16), rd32(sh + 20)};
        br_uint_32 extent = raw[i].vsize > raw[i].raw_size ? raw[i].vsize : raw[i].raw_size;
        if ((uint64_t)raw[i].va + extent > image_size)
            return nullptr;
        char *name = (char *)BrResAllocate(img->sections, 9, BR_MEMORY_STRING);
        if (name == nullptr)
            return nullptr;
        memcpy(name, sh, 8);
        name[8] = '\0';
        img->sections[i] = {name, nullptr, raw[i].va, raw[i].vsize, raw[i].raw_offset, raw[i].raw_size};
        img->n_sections = i + 1;
    }

    br_uint_8 *arena = (br_uint_8 *)BrResAllocate(img, (br_size_t)image_size + section_align - 1, BR_MEMORY_IMAGE_ARENA);
    if (arena == nullptr)
        return nullptr;
    memset(arena, 0, (br_size_t)image_size + section_align - 1);
    uintptr_t a = ((uintptr_t)arena + section_align - 1) & ~(uintptr_t)(section_align - 1);
    ld.base = (br_uint_8 *)a;
    ld.size = image_size;

    for (br_uint_16 i = 0; i < n_sections; i++) {
        img->sections[i].base = ld.base + raw[i].va;
        if (raw[i].raw_offset == 0 || raw[i].raw_size == 0)
            continue;
        // Sections are read strictly forward through the file.
        if (!r.skip_to(raw[i].raw_offset) || !r.read(ld.base + raw[i].va, raw[i].raw_size))
            return nullptr;
    }
    r.close();

    if (export_size != 0 && (!ld.in_image(export_rva, export_size) || !ld.exports(export_rva, export_size)))
        return nullptr;
    if (img->identifier == nullptr) {
        // No export directory: keep the file name so the image can still be told apart.
        img->identifier = BrResStrDup(img, ld.file_name);
    }
    if (import_size != 0 && (!ld.in_image(import_rva, import_size) || !ld.imports(import_rva, import_size)))
        return nullptr;
    if ((uintptr_t)ld.base != image_base && reloc_size != 0 &&
        (!ld.in_image(reloc_rva, reloc_size) || !ld.relocate(reloc_rva, reloc_size, (br_uint_32)((uintptr_t)ld.base - image_base))))
        return nullptr;
    return img;
}

} // namespace

br_image *BrImageLoadOwn(const char *name)
{
    if (load_depth == 0) {
        load_count = 0;
        load_bytes = 0;
    }
    if (load_depth >= MAX_LOAD_DEPTH || ++load_count > MAX_LOADS)
        return nullptr;
    Reader r;
    if (!r.open(name))
        return nullptr;
    Loader ld;
    ld.file_name = name;
    load_depth++;
    br_image *img = load(r, ld);
    load_depth--;
    r.close();
    if (img == nullptr && ld.img != nullptr)
        BrResFree(ld.img); // lets go of whatever it imported so far
    return img;
}
