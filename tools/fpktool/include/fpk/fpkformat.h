// The pack format (.fpk) as the pack tool and the test fixtures write and read it.
//
// Layout, little-endian: "FPAK", version 1, the file size and the entry count (bytes 12-15) in a
// 32-byte header; the directory of 16-byte entries (name offset, data offset, flags, size) sorted by
// name compared after turning capitals into small letters; the names, each ending in a zero byte;
// then the data of each entry, starting on a 16-byte boundary so that pixel rows used in place are
// aligned. A name may keep a relative folder, its parts joined with "\" ("menu\co0000.pix").
#ifndef FPK_FPKFORMAT_H
#define FPK_FPKFORMAT_H

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "vokplat/save.h"
#include "vokplat/wholefile.h"

namespace fpk {

constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kEntrySize = 16;
constexpr uint32_t kPixmapFlag = 2;
constexpr uint32_t kVersion = 1;
const char kMagic[4] = {'F', 'P', 'A', 'K'};

struct Entry {
    std::string name;
    std::vector<uint8_t> data;
    uint32_t flags = 0;
};

inline int lower(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

inline bool name_less(const std::string &a, const std::string &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return lower((unsigned char)x) < lower((unsigned char)y);
    });
}

inline void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.at(at + i) = uint8_t(v >> (8 * i));
}

inline uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The data of a stored pixel map entry: width, height, a spare word, the type, then the rows.
inline std::vector<uint8_t> stored_pixmap(uint32_t width, uint32_t height, uint32_t type,
                                          const std::vector<uint8_t> &rows)
{
    std::vector<uint8_t> out(16 + rows.size());
    put32(out, 0, width);
    put32(out, 4, height);
    put32(out, 12, type);
    std::copy(rows.begin(), rows.end(), out.begin() + 16);
    return out;
}

// The parts of a name between its "\" separators.
inline std::vector<std::string> name_parts(const std::string &name)
{
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (c == '\\')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// A relative name: parts joined with "\", none of them empty, "." or "..", no drive, no zero byte.
// Such a name can never lead outside the folder it is extracted to.
inline bool valid_name(const std::string &name)
{
    if (name.empty() || name.find_first_of(std::string(":/\0", 3)) != std::string::npos)
        return false;
    for (const std::string &part : name_parts(name))
        if (part.empty() || part == "." || part == "..")
            return false;
    return true;
}

// The bytes of a pack holding `entries`. Names are relative names (valid_name; "/" is taken for
// "\") unique without regard to case.
inline bool build(std::vector<Entry> entries, std::vector<uint8_t> &out, std::string &error)
{
    for (Entry &e : entries) {
        std::replace(e.name.begin(), e.name.end(), '/', '\\');
        if (!valid_name(e.name)) {
            error = "bad entry name '" + e.name + "'";
            return false;
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return name_less(a.name, b.name); });
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string &n = entries[i].name;
        if (i > 0 && !name_less(entries[i - 1].name, n)) {
            error = "two entries named '" + n + "'";
            return false;
        }
        if ((entries[i].flags & kPixmapFlag) && entries[i].data.size() < 16) {
            error = "stored pixel map '" + n + "' is shorter than its 16-byte head";
            return false;
        }
    }
    uint64_t at = kHeaderSize + uint64_t(entries.size()) * kEntrySize;
    std::vector<uint64_t> name_at, data_at;
    for (const Entry &e : entries) {
        name_at.push_back(at);
        at += e.name.size() + 1;
    }
    for (const Entry &e : entries) {
        at = (at + 15) & ~uint64_t(15);
        data_at.push_back(at);
        at += e.data.size();
    }
    if (at > 0xFFFFFFFFu) {
        error = "pack larger than 4 GB";
        return false;
    }
    out.assign(size_t(at), 0);
    std::copy(kMagic, kMagic + 4, out.begin());
    put32(out, 4, kVersion);
    put32(out, 8, uint32_t(at));
    put32(out, 12, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); i++) {
        size_t d = kHeaderSize + i * kEntrySize;
        put32(out, d, uint32_t(name_at[i]));
        put32(out, d + 4, uint32_t(data_at[i]));
        put32(out, d + 8, entries[i].flags);
        put32(out, d + 12, uint32_t(entries[i].data.size()));
        std::copy(entries[i].name.begin(), entries[i].name.end(), out.begin() + name_at[i]);
        std::copy(entries[i].data.begin(), entries[i].data.end(), out.begin() + data_at[i]);
    }
    return true;
}

// Reads a pack's directory, checking the magic and version this writer puts in and every offset
// and length against the bytes present.
inline bool read(const std::vector<uint8_t> &bytes, std::vector<Entry> &out, std::string &error)
{
    out.clear();
    if (bytes.size() < kHeaderSize) {
        error = "shorter than a pack header";
        return false;
    }
    if (!std::equal(kMagic, kMagic + 4, bytes.begin())) {
        error = "not a pack (no FPAK mark)";
        return false;
    }
    if (get32(bytes.data() + 4) != kVersion) {
        error = "pack version " + std::to_string(get32(bytes.data() + 4)) + " is not " + std::to_string(kVersion);
        return false;
    }
    uint32_t count = get32(bytes.data() + 12);
    if (kHeaderSize + uint64_t(count) * kEntrySize > bytes.size()) {
        error = "directory runs past the end";
        return false;
    }
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t *d = bytes.data() + kHeaderSize + uint64_t(i) * kEntrySize;
        uint32_t name = get32(d), data = get32(d + 4), flags = get32(d + 8), size = get32(d + 12);
        if (name >= bytes.size()) {
            error = "entry " + std::to_string(i) + ": name outside the pack";
            return false;
        }
        auto end = std::find(bytes.begin() + name, bytes.end(), uint8_t(0));
        if (end == bytes.end()) {
            error = "entry " + std::to_string(i) + ": name not ended";
            return false;
        }
        if (uint64_t(data) + size > bytes.size()) {
            error = "entry " + std::to_string(i) + ": data outside the pack";
            return false;
        }
        Entry e;
        e.name.assign(bytes.begin() + name, end);
        e.data.assign(bytes.begin() + data, bytes.begin() + data + size);
        e.flags = flags;
        out.push_back(std::move(e));
    }
    return true;
}

// Replaces `path` in one step (the platform's whole-file save: the old file stays whole when the write
// fails, its mode is kept).
inline bool write_file(const std::string &path, const std::vector<uint8_t> &bytes, std::string &error)
{
    if (!PlatWriteFileAtomic(path.c_str(), bytes.data(), bytes.size())) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

// The size field of a pack is 32 bits: no pack, and no entry, is larger.
constexpr uint64_t kMaxFileBytes = 0xFFFFFFFFu;

inline bool read_file(const std::string &path, std::vector<uint8_t> &bytes, std::string &error)
{
    std::string why;
    if (!vokplat::read_whole_file(path, bytes, kMaxFileBytes, why)) {
        error = "cannot read " + path + ": " + why;
        return false;
    }
    return true;
}

}  // namespace fpk

#endif
