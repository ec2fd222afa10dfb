// The in-scene file browser: the folder list (parent, folders, the program's field groups, files)
// and, for Terrow, the type word at the end of a field file deciding how it is shown.
#include "browser.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <algorithm>

#include "gamesel.h"
#include "texts.h"
#include "win32/winfile.h"

namespace vok {

namespace {

constexpr char kParent = 'A', kFolder = 'B', kGroupFirst = 'C', kFieldOwn = 'H';
constexpr char kFieldTwo = 'I', kFieldOther = 'J', kFieldFour = 'K', kOtherFile = 'L';
constexpr int kTypeWordFromEnd = 12;
constexpr int kGroupText = 62;

bool has_extension(const std::string &name, const std::vector<std::string> &exts)
{
    if (exts.empty())
        return true;
    for (const std::string &e : exts)
        if (name.size() >= e.size() && strcasecmp(name.c_str() + name.size() - e.size(), e.c_str()) == 0)
            return true;
    return false;
}

std::string host_path(const std::string &system)
{
    std::string h = system;
    std::replace(h.begin(), h.end(), '\\', '/');
    return h;
}

}  // namespace

BrowserEntry browser_entry(char kind, const std::string &text)
{
    BrowserEntry e;
    e.bytes[0] = 20;
    e.bytes[1] = kind;
    e.bytes[2] = 31;
    snprintf(e.bytes + 3, kBrowserEntrySize - 3, "%.*s", kBrowserNameShown, text.c_str());
    e.name = text;
    return e;
}

bool latin1_name(const std::string &utf8, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += char(c);
            i++;
            continue;
        }
        // Two-byte forms of U+0080..U+00FF only; anything else has no Latin-1 letter.
        if ((c != 0xC2 && c != 0xC3) || i + 1 >= utf8.size())
            return false;
        unsigned char d = static_cast<unsigned char>(utf8[i + 1]);
        if ((d & 0xC0) != 0x80)
            return false;
        out += char(((c & 0x1F) << 6) | (d & 0x3F));
        i += 2;
    }
    return true;
}

std::string utf8_name(const std::string &latin1)
{
    std::string out;
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> browser_extensions(const char *filter)
{
    std::vector<std::string> out;
    if (!filter)
        return out;
    // Pairs of description and patterns, each NUL-ended, the list ended by an empty string.
    for (const char *p = filter; *p && out.size() < kBrowserExtensions;) {
        const char *patterns = p + strlen(p) + 1;
        if (!*patterns)
            break;
        std::string all = patterns;
        size_t start = 0;
        while (start <= all.size() && out.size() < kBrowserExtensions) {
            size_t end = all.find(';', start);
            std::string pat = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
            size_t dot = pat.find('.');
            if (dot != std::string::npos && pat.substr(dot) != ".*")
                out.push_back(pat.substr(dot));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        p = patterns + strlen(patterns) + 1;
    }
    return out;
}

char field_kind(const char *hostPath, bool editor)
{
    FILE *f = fopen(hostPath, "rb");
    if (!f)
        return 0;
    unsigned char word[4] = {};
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    // A file shorter than the type word's place holds no field.
    bool ok = size >= kTypeWordFromEnd && fseek(f, size - kTypeWordFromEnd, SEEK_SET) == 0 && fread(word, 1, 4, f) == 4;
    fclose(f);
    if (!ok)
        return 0;
    uint32_t type = word[0] | word[1] << 8 | word[2] << 16 | uint32_t(word[3]) << 24;
    if (type & 0x08)
        return 0;
    char kind = type & 0x04 ? kFieldFour : type & 0x02 ? kFieldTwo : kFieldOther;
    if (!editor)
        return kind == kFieldOther ? 0 : kFieldTwo;
    return kind;
}

bool browser_before(const BrowserEntry &a, const BrowserEntry &b)
{
    if (a.kind() > kFieldOwn && b.kind() > kFieldOwn) {
        int byName = strcmp(a.text(), b.text());
        if (byName != 0)
            return byName < 0;
    }
    return memcmp(a.bytes, b.bytes, kBrowserEntrySize) < 0;
}

namespace {

struct Where {
    bool root, fwFolder;
};

Where where(const BrowserListing &l)
{
    Where w;
    w.root = l.folder == "\\" || l.folder.empty();
    w.fwFolder = (!l.readRoot.empty() && strcasecmp(l.folder.c_str(), (l.readRoot + "fw\\").c_str()) == 0) ||
                 (!l.writeRoot.empty() && strcasecmp(l.folder.c_str(), (l.writeRoot + "fw\\").c_str()) == 0);
    return w;
}

// The entry a name found in the folder shows as; false when the list leaves it out.
bool entry_of(const BrowserListing &l, const Where &w, const WIN32_FIND_DATAA &data, BrowserEntry &out)
{
    std::string disk = data.cFileName, name;
    if (disk == "..") {
        if (w.root)
            return false;
        out = browser_entry(kParent, "..");
        return true;
    }
    // Dot names are the system's hidden ones; names outside Latin-1 cannot be shown or typed.
    // A backslash in a name on disk would read as a separator in the system form.
    if (disk.empty() || disk[0] == '.' || disk.find('\\') != std::string::npos || !latin1_name(disk, name))
        return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (w.fwFolder && strcasecmp(name.c_str(), "Fields") != 0)
            return false;
        out = browser_entry(kFolder, "<" + name.substr(0, kBrowserFolderName) + ">");
        out.name = name;
        out.target = disk;
        return true;
    }
    if (w.fwFolder || !has_extension(name, l.extensions))
        return false;
    char kind = kOtherFile;
    if (l.terrow) {
        kind = field_kind(host_path(l.folder + disk).c_str(), l.editor);
        if (!kind)
            return false;
    }
    out = browser_entry(kind, name);
    out.target = disk;
    return true;
}

}  // namespace

std::vector<BrowserEntry> browser_list(const BrowserListing &l)
{
    std::vector<BrowserEntry> out;
    auto add = [&](const BrowserEntry &e) {
        if (out.size() < size_t(kBrowserEntries))
            out.push_back(e);
    };
    Where w = where(l);
    if (l.terrow && l.editor && l.openMode && !l.readRoot.empty() &&
        strcasecmp(l.folder.c_str(), (l.readRoot + "fw\\Fields\\").c_str()) == 0)
        for (int g = 0; g < kFieldLists; g++) {
            const char *name = text(kGroupText + g);
            add(browser_entry(char(kGroupFirst + g), std::string("<") + (name ? name : field_prefix(g)) + ">"));
        }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((l.folder + "*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            BrowserEntry e;
            if (entry_of(l, w, data, e))
                add(e);
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    std::sort(out.begin(), out.end(), browser_before);
    return out;
}

bool browser_find_file(const BrowserListing &l, const std::vector<std::string> &names, BrowserEntry &out)
{
    Where w = where(l);
    bool found = false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((l.folder + "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        BrowserEntry e;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !entry_of(l, w, data, e))
            continue;
        for (const std::string &n : names)
            if (strcasecmp(e.name.c_str(), n.c_str()) == 0) {
                // An exact spelling wins over one that differs only in case.
                if (!found || e.name == n)
                    out = e;
                found = true;
            }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

}  // namespace vok
