// Pack files: opening from a program resource, a whole-file read or a read-only mapping; the current
// pack; entries read through file handles.
#include "pack.h"

#include <stdlib.h>
#include <string.h>

#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/stdio.h"
#include "win32/winfile.h"
#include "win32/winmem.h"
#include "win32/winmisc.h"
#include "win32/winmod.h"

namespace {

FFPACKHANDLE *g_current;

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int lower(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

int compare_names(const char *a, const char *b)
{
    for (;; a++, b++) {
        int ca = lower((unsigned char)*a), cb = lower((unsigned char)*b);
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// The parts of a name as the runtime's path splitter gives them.
struct NameParts {
    char drive[3] = {};
    char dir[px::kPathMax + 1] = {};
    char fname[px::kPathMax + 1] = {};
    char ext[px::kPathMax + 1] = {};
};

bool split_name(const char *name, NameParts &out)
{
    if (strlen(name) > px::kPathMax)
        return false;
    const char *p = name;
    if (p[0] != '\0' && p[1] == ':') {
        out.drive[0] = p[0];
        out.drive[1] = ':';
        p += 2;
    }
    const char *file = p;
    for (const char *q = p; *q; q++)
        if (*q == '\\' || *q == '/')
            file = q + 1;
    memcpy(out.dir, p, size_t(file - p));
    const char *dot = strrchr(file, '.');
    if (dot == nullptr)
        dot = file + strlen(file);
    memcpy(out.fname, file, size_t(dot - file));
    strcpy(out.ext, dot);
    return true;
}

void release(FFPACKHANDLE *pack)
{
    if (pack->mapping != nullptr || pack->file != nullptr) {
        if (pack->base != nullptr)
            UnmapViewOfFile(pack->base);
        if (pack->mapping != nullptr)
            CloseHandle(pack->mapping);
        if (pack->file != nullptr)
            CloseHandle(pack->file);
    } else if (pack->resource == nullptr && pack->base != nullptr) {
        free(const_cast<uint8_t *>(pack->base));
    }
    free(pack->directory);
    free(pack);
}

// Fails an open: the message is set, everything acquired so far released.
FFPACKHANDLE *refuse(FFPACKHANDLE *pack)
{
    release(pack);
    return nullptr;
}

}  // namespace

namespace px {

bool pack_attach(FFPACKHANDLE *pack, const uint8_t *base, uint64_t size, const char *shown)
{
    pack->base = base;
    pack->size = size;
    if (size < FF_PACK_HEADER_SIZE) {
        set_error("FFOpenPack: File '%s' is not a pack (%llu bytes)", shown, (unsigned long long)size);
        return false;
    }
    memcpy(pack->header, base, FF_PACK_HEADER_SIZE);
    uint32_t count = le32(pack->header + 12);
    uint64_t dir_end = FF_PACK_HEADER_SIZE + uint64_t(count) * FF_PACK_ENTRY_SIZE;
    if (dir_end > size) {
        set_error("FFOpenPack: File '%s' is damaged: directory of %u entries past its end", shown, count);
        return false;
    }
    pack->directory = (FFPACKENTRY *)calloc(count ? count : 1, sizeof(FFPACKENTRY));
    if (pack->directory == nullptr) {
        set_error("FFOpenPack: GlobalAllocPtr Failed");
        return false;
    }
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t *raw = base + FF_PACK_HEADER_SIZE + uint64_t(i) * FF_PACK_ENTRY_SIZE;
        uint32_t name_off = le32(raw), data_off = le32(raw + 4), flags = le32(raw + 8), length = le32(raw + 12);
        if (name_off >= size || memchr(base + name_off, 0, size - name_off) == nullptr) {
            set_error("FFOpenPack: File '%s' is damaged: name of entry %u outside the pack", shown, i);
            return false;
        }
        if (uint64_t(data_off) + length > size) {
            set_error("FFOpenPack: File '%s' is damaged: data of entry %u outside the pack", shown, i);
            return false;
        }
        // Positions are signed 32-bit.
        if (length > 0x7FFFFFFFu) {
            set_error("FFOpenPack: File '%s' is damaged: entry %u too large", shown, i);
            return false;
        }
        pack->directory[i] = FFPACKENTRY{(const char *)(base + name_off), base + data_off, flags, length};
    }
    pack->count = count;
    return true;
}

const FFPACKENTRY *pack_find(const FFPACKHANDLE *pack, const char *name)
{
    uint32_t lo = 0, hi = pack->count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        int c = compare_names(name, pack->directory[mid].name);
        if (c == 0)
            return &pack->directory[mid];
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return nullptr;
}

const char *pack_key(const char *name)
{
    // "/" starts a full host path the way "\" does.
    if (name[0] != '\\' && name[0] != '/' && !(name[0] != '\0' && name[1] == ':'))
        return name;
    const char *file = name;
    for (const char *q = name; *q; q++)
        if (*q == '\\' || *q == '/' || (q == name + 1 && *q == ':'))
            file = q + 1;
    return file;
}

}  // namespace px

VOK_EXPORT FFPACKHANDLE *FFOpenPack(const char *name, uint32_t flags)
{
    NameParts parts;
    if (name == nullptr || !split_name(name, parts)) {
        px::set_error("FFOpenPack: File '%s' not found", name ? name : "");
        return nullptr;
    }
    if (parts.ext[0] == '\0')
        strcpy(parts.ext, ".fpk");

    auto *pack = (FFPACKHANDLE *)calloc(1, sizeof(FFPACKHANDLE));
    if (pack == nullptr) {
        px::set_error("FFOpenPack: memory allocation error");
        return nullptr;
    }
    pack->flags = flags;

    char file_ext[2 * px::kPathMax + 2];
    snprintf(file_ext, sizeof file_ext, "%s%s", parts.fname, parts.ext);
    char path[4 * px::kPathMax + 4];
    snprintf(path, sizeof path, "%s%s%s%s", parts.drive, parts.dir, parts.fname, parts.ext);

    // A pack the program carries wins over a file of the same name.
    if (HRSRC res = FindResourceA(nullptr, file_ext, RT_RCDATA)) {
        HGLOBAL data = LoadResource(nullptr, res);
        const void *bytes = data ? LockResource(data) : nullptr;
        if (bytes == nullptr) {
            px::set_error("FFOpenPack: unable to lock resource");
            return refuse(pack);
        }
        pack->resource = data;
        if (!px::pack_attach(pack, (const uint8_t *)bytes, SizeofResource(nullptr, res), file_ext))
            return refuse(pack);
    } else if (flags & FF_OPEN_LOAD) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(path, &found);
        if (find == INVALID_HANDLE_VALUE) {
            px::set_error("FFOpenPack: File '%s' not found", path);
            return refuse(pack);
        }
        FindClose(find);
        uint64_t size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        auto *block = size <= SIZE_MAX - 1 ? (uint8_t *)malloc(size_t(size) + 1) : nullptr;
        if (block == nullptr) {
            px::set_error("FFOpenPack: GlobalAllocPtr Failed ");
            return refuse(pack);
        }
        pack->base = block;
        FILE *f = PlatFopen(path, "rb");
        if (f == nullptr) {
            px::set_error("FFOpenPack: Could not open file '%s'", path);
            return refuse(pack);
        }
        size_t got = fread(block, 1, size_t(size), f);
        // The file may have changed since it was found: it must read exactly as long as it was.
        bool exact = got == size && fgetc(f) == EOF;
        fclose(f);
        if (!exact) {
            px::set_error("FFOpenPack: Error reading file '%s'", path);
            return refuse(pack);
        }
        if (!px::pack_attach(pack, block, size, path))
            return refuse(pack);
    } else {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_RANDOM_ACCESS, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            px::set_error("FFOpenPack: CreateFile( %s ) Failed", path);
            return refuse(pack);
        }
        pack->file = file;
        DWORD high = 0;
        DWORD low = GetFileSize(file, &high);
        uint64_t size = (uint64_t(high) << 32) | low;
        if (size < FF_PACK_HEADER_SIZE) {
            // An empty file cannot be mapped; a short one is no pack either way.
            px::pack_attach(pack, nullptr, size, path);
            return refuse(pack);
        }
        HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping == nullptr) {
            px::set_error("FFOpenPack: CreateFileMapping Failed");
            return refuse(pack);
        }
        pack->mapping = mapping;
        const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        if (view == nullptr) {
            px::set_error("FFOpenPack: MapViewOfFile Failed");
            return refuse(pack);
        }
        if (!px::pack_attach(pack, (const uint8_t *)view, size, path))
            return refuse(pack);
    }
    g_current = pack;
    return pack;
}

VOK_EXPORT int FFClosePack(FFPACKHANDLE *pack)
{
    if (pack == nullptr)
        return 0;
    if (pack == g_current)
        g_current = nullptr;
    release(pack);
    return 0;
}

VOK_EXPORT void FFSetCurrentPack(FFPACKHANDLE *pack)
{
    g_current = pack;
}

VOK_EXPORT FFPACKHANDLE *FFGetCurrentPack(void)
{
    return g_current;
}

VOK_EXPORT FFFILEHANDLE *FFOpenP(FFPACKHANDLE *pack, const char *name)
{
    if (pack == nullptr) {
        px::set_error("FFFileOpen: invalid pack");
        return nullptr;
    }
    if (name == nullptr || name[0] == '\0') {
        px::set_error("FFFileOpen: invalid name");
        return nullptr;
    }
    const FFPACKENTRY *entry = px::pack_find(pack, name);
    if (entry == nullptr) {
        px::set_error("FFFileOpen: File \"%s\" not found in pack", name);
        return nullptr;
    }
    auto *file = (FFFILEHANDLE *)calloc(1, sizeof(FFFILEHANDLE));
    if (file == nullptr) {
        px::set_error("FFFileOpen: error allocating memory for FFFILEHANDLE");
        return nullptr;
    }
    file->entry = entry;
    return file;
}

VOK_EXPORT FFFILEHANDLE *FFOpen(const char *name, uint32_t flags)
{
    if (name == nullptr || name[0] == '\0') {
        px::set_error("FFOpen: invalid filename");
        return nullptr;
    }
    if (g_current == nullptr || (flags & FF_OPEN_FILE_FIRST)) {
        if (FILE *f = PlatFopen(name, (flags & FF_OPEN_TEXT) ? "rt" : "rb")) {
            auto *file = (FFFILEHANDLE *)calloc(1, sizeof(FFFILEHANDLE));
            if (file == nullptr) {
                fclose(f);
                px::set_error("FFFileOpen: error allocating memory for FFFILEHANDLE");
                return nullptr;
            }
            file->file = f;
            return file;
        }
        if (g_current == nullptr) {
            px::set_error("FFFileOpen: fopen failed with '%s'", name);
            return nullptr;
        }
    }
    return FFOpenP(g_current, px::pack_key(name));
}

VOK_EXPORT int32_t FFRead(FFFILEHANDLE *file, void *buffer, int32_t count)
{
    if (file == nullptr || buffer == nullptr) {
        px::set_error("FFRead: invalid params");
        return -1;
    }
    if (count < 0) {
        OutputDebugStringA("FFRead: invalid size\r\n");
        return -1;
    }
    if (file->file != nullptr) {
        size_t got = fread(buffer, 1, size_t(count), file->file);
        file->position += int32_t(got);
        return int32_t(got);
    }
    int64_t left = int64_t(file->entry->size) - file->position;
    int32_t n = left <= 0 ? 0 : (left < count ? int32_t(left) : count);
    if (n > 0)
        memcpy(buffer, file->entry->data + file->position, size_t(n));
    file->position += n;
    return n;
}

VOK_EXPORT int32_t FFSeek(FFFILEHANDLE *file, int32_t offset, int32_t how)
{
    if (file == nullptr) {
        px::set_error("FFSeek: invalid handle");
        return -1;
    }
    if (how < 0 || how > 2) {
        OutputDebugStringA("FFSeek: Invalid 'how' field\r\n");
        return -1;
    }
    if (file->file != nullptr) {
        static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        long before = ftell(file->file);
        long now = -1;
        if (fseek(file->file, offset, whence[how]) == 0)
            now = ftell(file->file);
        if (now < 0 || now > INT32_MAX) {
            if (before >= 0)
                fseek(file->file, before, SEEK_SET);
            OutputDebugStringA("FFSeek: Invalid offset\r\n");
            return -1;
        }
        file->position = int32_t(now);
        return file->position;
    }
    int64_t from = how == 0 ? 0 : how == 1 ? file->position : int64_t(file->entry->size);
    int64_t target = from + offset;
    if (target < 0 || target > int64_t(file->entry->size)) {
        OutputDebugStringA("FFSeek: Invalid offset\r\n");
        return -1;
    }
    file->position = int32_t(target);
    return file->position;
}

VOK_EXPORT int32_t FFTell(FFFILEHANDLE *file)
{
    if (file == nullptr) {
        px::set_error("FFTell: invalid handle");
        return -1;
    }
    if (file->file != nullptr) {
        long now = ftell(file->file);
        if (now >= 0 && now <= INT32_MAX)
            file->position = int32_t(now);
    }
    return file->position;
}

VOK_EXPORT int FFClose(FFFILEHANDLE *file)
{
    if (file == nullptr)
        return 0;
    if (file->file != nullptr)
        fclose(file->file);
    free(file);
    return 0;
}

VOK_EXPORT const void *FFGetFileAddress(const char *name)
{
    if (name == nullptr || name[0] == '\0') {
        px::set_error("FFGetFileAddress: invalid name");
        return nullptr;
    }
    if (g_current == nullptr) {
        px::set_error("FFGetFileAddress: no open pack");
        return nullptr;
    }
    const FFPACKENTRY *entry = px::pack_find(g_current, name);
    if (entry == nullptr) {
        px::set_error("FFGetFileAddress: File \"%s\" not found in pack", name);
        return nullptr;
    }
    return entry->data;
}
