// The in-scene file browser's folder list, apart from its screen.
#pragma once

#include <string>
#include <vector>

namespace vok {

constexpr int kBrowserEntries = 1024;
constexpr int kBrowserEntrySize = 36;
constexpr int kBrowserNameShown = 32;
constexpr int kBrowserFolderName = 30;
constexpr int kBrowserExtensions = 3;

// One entry: 20, the kind letter, 31, then the shown text.
struct BrowserEntry {
    char bytes[kBrowserEntrySize] = {};
    char kind() const { return bytes[1]; }
    const char *text() const { return bytes + 3; }
};
BrowserEntry browser_entry(char kind, const std::string &text);

// Up to three extensions (".trl") from the patterns of a filter ("Fenlow Field (*.trl)\0*.trl\0\0");
// "*.*" adds none.
std::vector<std::string> browser_extensions(const char *filter);

struct BrowserListing {
    std::string folder;               // system form, ending in '\'
    std::vector<std::string> extensions;
    bool terrow = false;              // Terrow's fields are sorted by the type word of their files
    bool editor = false;              // gameKind 102: every field type shows with its own letter
    bool openMode = true;
    std::string readRoot, writeRoot;  // system form, ending in '\'
};

// The entries of a folder, sorted; at most kBrowserEntries.
std::vector<BrowserEntry> browser_list(const BrowserListing &l);
// The kind letter of a Terrow field file by its type word (0: not listed).
char field_kind(const char *hostPath, bool editor);
// The sort order of the entries.
bool browser_before(const BrowserEntry &a, const BrowserEntry &b);

}  // namespace vok
