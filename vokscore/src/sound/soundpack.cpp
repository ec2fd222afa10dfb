// The sound-pack reader: directory, exact lookup, enumeration and whole-entry loads.
#include <string.h>

#include <memory>

#include "vokplat/stdio.h"
#include "vokscore/soundpack.h"

namespace vokpack {

namespace {

bool read_u32(FILE *f, uint32_t &v)
{
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4)
        return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

std::unique_ptr<Directory> &current_slot()
{
    static std::unique_ptr<Directory> dir;
    return dir;
}

}  // namespace

bool read_directory(FILE *f, std::vector<Entry> &out)
{
    out.clear();
    if (f == nullptr || fseeko(f, 0, SEEK_END) != 0)
        return false;
    const off_t end = ftello(f);
    uint32_t magic = 0;
    if (end < 4 || fseeko(f, 0, SEEK_SET) != 0 || !read_u32(f, magic) || magic != kPackMagic)
        return false;
    uint64_t pos = 4;
    for (;;) {
        uint32_t nameLen = 0, dataLen = 0;
        if (!read_u32(f, nameLen) || !read_u32(f, dataLen))
            break;
        pos += 8;
        const uint64_t left = uint64_t(end) - pos;
        // Lengths are checked against the bytes present: a damaged entry ends the directory.
        if (nameLen > left || dataLen > left - nameLen)
            break;
        Entry e;
        e.name.resize(nameLen);
        if (nameLen > 0 && fread(e.name.data(), 1, nameLen, f) != nameLen)
            break;
        e.name.resize(strnlen(e.name.c_str(), nameLen));
        e.offset = pos + nameLen;
        e.size = dataLen;
        pos = e.offset + dataLen;
        out.push_back(std::move(e));
        if (fseeko(f, off_t(pos), SEEK_SET) != 0)
            break;
    }
    return true;
}

Directory *read_dir(const char *path)
{
    if (path == nullptr)
        return nullptr;
    FILE *f = PlatFopen(path, "rb");
    if (f == nullptr)
        return nullptr;
    auto dir = std::make_unique<Directory>();
    const bool ok = read_directory(f, dir->entries);
    fclose(f);
    if (!ok)
        return nullptr;
    dir->path = path;
    return dir.release();
}

void free_dir(Directory *dir)
{
    delete dir;
}

int find_exact(Directory &dir, const char *name)
{
    if (name == nullptr)
        return -1;
    for (size_t i = 0; i < dir.entries.size(); i++)
        if (dir.entries[i].name == name) {
            dir.lastFound = i;
            return int(i);
        }
    return -1;
}

FILE *open_entry(Directory &dir, const char *name)
{
    const int i = find_exact(dir, name);
    if (i < 0)
        return nullptr;
    FILE *f = PlatFopen(dir.path.c_str(), "rb");
    if (f == nullptr)
        return nullptr;
    if (fseeko(f, off_t(dir.entries[size_t(i)].offset), SEEK_SET) != 0) {
        fclose(f);
        return nullptr;
    }
    return f;
}

bool load_entry(Directory &dir, const char *name, std::vector<uint8_t> &data)
{
    data.clear();
    FILE *f = open_entry(dir, name);
    if (f == nullptr)
        return false;
    data.resize(dir.entries[dir.lastFound].size);
    const bool ok = data.empty() || fread(data.data(), 1, data.size(), f) == data.size();
    fclose(f);
    if (!ok)
        data.clear();
    return ok;
}

void reset_find(Directory &dir)
{
    dir.findPos = 0;
}

const char *find_next(Directory &dir, const char *substring)
{
    while (dir.findPos < dir.entries.size()) {
        const Entry &e = dir.entries[dir.findPos++];
        if (substring == nullptr || strstr(e.name.c_str(), substring) != nullptr)
            return e.name.c_str();
    }
    return nullptr;
}

bool open_current(const char *path)
{
    close_current();
    current_slot().reset(read_dir(path));
    return current_slot() != nullptr;
}

void close_current()
{
    current_slot().reset();
}

Directory *current()
{
    return current_slot().get();
}

std::vector<uint8_t> build_pack(const SoundEntries &entries)
{
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    put(kPackMagic);
    for (const auto &e : entries) {
        put(uint32_t(e.first.size()));
        put(uint32_t(e.second.size()));
        out.insert(out.end(), e.first.begin(), e.first.end());
        out.insert(out.end(), e.second.begin(), e.second.end());
    }
    return out;
}

}  // namespace vokpack
