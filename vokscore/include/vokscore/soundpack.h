// Sound packs: named RIFF WAVE images one after another behind a magic word. The reader knows nothing
// of sound, so that a game can keep other files in the same kind of pack; the sound layer sits on it.
// Both are one static library that every module carrying them links (the framework, Terrow).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace vokpack {

constexpr uint32_t kPackMagic = 0x0130B911u;

struct Entry {
    std::string name;
    uint64_t offset = 0;  // of the data in the file
    uint32_t size = 0;
};

struct Directory {
    std::string path;
    std::vector<Entry> entries;
    size_t lastFound = 0;  // index of the last exact lookup
    size_t findPos = 0;    // position of the running enumeration
};

// Reads the entries of a pack from a stream. False when the magic is wrong. An entry whose name or data
// would run past the end of the stream ends the directory there; the entries before it stay.
bool read_directory(FILE *file, std::vector<Entry> &out);

// The directory of the pack at `path` (a system path), or null when it cannot be opened or is no pack.
Directory *read_dir(const char *path);
void free_dir(Directory *dir);

// Index of the first entry named exactly `name`, or -1; notes it as the last lookup.
int find_exact(Directory &dir, const char *name);
// The pack opened for reading at the data of entry `name`, or null.
FILE *open_entry(Directory &dir, const char *name);
// The data of entry `name` read whole (`size` its length), or false.
bool load_entry(Directory &dir, const char *name, std::vector<uint8_t> &data);
// Enumeration: names of the entries holding `substring` (any entry when null), in pack order.
void reset_find(Directory &dir);
const char *find_next(Directory &dir, const char *substring);

// The directory current for the module (one at a time): opening closes the current one first.
bool open_current(const char *path);
void close_current();
Directory *current();

// A pack image from names and data, for the tools and the tests.
using SoundEntries = std::vector<std::pair<std::string, std::vector<uint8_t>>>;
std::vector<uint8_t> build_pack(const SoundEntries &entries);

}  // namespace vokpack
