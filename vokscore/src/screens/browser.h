// The in-scene file browser's folder list, apart from its screen.
#pragma once

#include <string>
#include <vector>

#include "win32/windows.h"

namespace vok {

constexpr int kBrowserEntries = 1024;
constexpr int kBrowserEntrySize = 36;
constexpr int kBrowserNameShown = 32;
constexpr int kBrowserFolderName = 30;
constexpr int kBrowserExtensions = 3;

// One entry: 20, the kind letter, 31, then the shown text.
struct BrowserEntry {
    char bytes[kBrowserEntrySize] = {};
    std::string name;   // the whole name as shown and typed (Latin-1)
    std::string target; // what it names on disk: a file or folder name, or a drive's folder
    char kind() const { return bytes[1]; }
    const char *text() const { return bytes + 3; }
};
BrowserEntry browser_entry(char kind, const std::string &text);
// A name on disk (UTF-8) as the screens show it (Latin-1); false for names outside Latin-1.
bool latin1_name(const std::string &utf8, std::string &out);
// A typed Latin-1 name back in the form the disk holds.
std::string utf8_name(const std::string &latin1);
// The path limit of the browser's folder and its results.
constexpr int kBrowserPathMax = 259;

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
// A file of the folder that the list would show under one of `names` (case aside), looked up on disk
// whatever the list's length; false when there is none.
bool browser_find_file(const BrowserListing &l, const std::vector<std::string> &names, BrowserEntry &out);
// The kind letter of a Terrow field file by its type word (0: not listed).
char field_kind(const char *hostPath, bool editor);
// The sort order of the entries.
bool browser_before(const BrowserEntry &a, const BrowserEntry &b);

// The screen's state, from its run to its end.
struct BrowserRun {
    OPENFILENAMEA request{};
    bool save = false;
    std::string folder;               // system form, ending in '\'
    std::vector<std::string> extensions;
    std::string defExt, title, pathLine;
    std::vector<BrowserEntry> entries;
    int group = -1;                   // the program's field group shown, -1: a folder
    bool marked = false;              // the marking button is chosen
    std::string result;               // the composed path once accepted
};
BrowserRun *browser_run();
// Entries of the drives button: the system's drives, then the write root and the home folder.
std::vector<BrowserEntry> browser_drives(const std::string &writeRoot);

}  // namespace vok
