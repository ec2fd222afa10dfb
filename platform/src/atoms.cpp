// Global atoms in a small text table shared by the user's processes.
//
// Folder: $VOK_ATOM_DIR, else $XDG_RUNTIME_DIR/vok-atoms, else /tmp/vok-atoms-<uid>. It holds
// "atoms" (the table, replaced by rename on every change) and "atoms.lock" (flock'ed around every
// read-modify-write). Table: the line "VOKATOMS 1", then one line per atom:
// "<atom, 4 hex digits> <references> <name>", bytes below 0x20, 0x7F and '%' written as %XX.
// Lines that do not parse are dropped.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fsutil.h"
#include "win32/winatom.h"

namespace {

using plat::FileLock;
using plat::hex_digit;
using plat::percent_decode;
using plat::percent_encode;
using plat::read_all;
using plat::write_atomic;

constexpr size_t kMaxName = 255;
constexpr unsigned kFirstAtom = MAXINTATOM;
constexpr const char* kHeader = "VOKATOMS 1";

struct Entry {
    ATOM atom;
    uint32_t refs;
    std::string name;
};

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

std::string atom_dir() {
    if (const char* d = std::getenv("VOK_ATOM_DIR"); d && *d) return d;
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r) return std::string(r) + "/vok-atoms";
    return "/tmp/vok-atoms-" + std::to_string(getuid());
}

// Creates the folder and its parents (0700); refuses one that is not ours or is a link, which in
// a shared /tmp could be planted by someone else.
bool ensure_dir(const std::string& dir) {
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos < dir.size() && dir[pos] != '/') continue;
        std::string part = dir.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
}


bool parse_line(const std::string& line, Entry& e) {
    if (line.size() < 8 || line[4] != ' ') return false;
    unsigned atom = 0;
    for (int i = 0; i < 4; ++i) {
        int d = hex_digit(line[i]);
        if (d < 0) return false;
        atom = atom * 16 + unsigned(d);
    }
    size_t pos = 5;
    uint64_t refs = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && refs <= UINT32_MAX)
        refs = refs * 10 + unsigned(line[pos++] - '0');
    if (pos == 5 || pos >= line.size() || line[pos] != ' ') return false;
    if (atom < kFirstAtom || refs == 0 || refs > UINT32_MAX) return false;
    if (!percent_decode(line.substr(pos + 1), e.name) || e.name.empty() || e.name.size() > kMaxName) return false;
    e.atom = ATOM(atom);
    e.refs = uint32_t(refs);
    return true;
}

// The table, read under the lock and written back before the lock goes.
class Table {
public:
    bool open() {
        dir_ = atom_dir();
        if (!ensure_dir(dir_)) return false;
        lock_ = std::make_unique<FileLock>(dir_ + "/atoms.lock", true);
        if (!lock_->held()) return false;
        load();
        return true;
    }

    Entry* find(const std::string& name) {
        for (Entry& e : entries_)
            if (same_name(e.name, name)) return &e;
        return nullptr;
    }
    Entry* find(ATOM atom) {
        for (Entry& e : entries_)
            if (e.atom == atom) return &e;
        return nullptr;
    }
    // Lowest free string atom, or 0 when all are taken.
    ATOM free_atom() {
        for (unsigned a = kFirstAtom; a <= 0xFFFF; ++a)
            if (!find(ATOM(a))) return ATOM(a);
        return 0;
    }
    std::vector<Entry>& entries() { return entries_; }

    bool save() {
        std::string text = std::string(kHeader) + "\n";
        for (const Entry& e : entries_) {
            char head[32];
            std::snprintf(head, sizeof head, "%04X %u ", unsigned(e.atom), unsigned(e.refs));
            text += head + percent_encode(e.name) + "\n";
        }
        return write_atomic(dir_ + "/atoms", text);
    }

private:
    void load() {
        std::string text;
        if (!read_all(dir_ + "/atoms", text)) return;
        size_t pos = text.find('\n');
        if (pos == std::string::npos || text.compare(0, pos, kHeader) != 0) return;
        while (++pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            Entry e;
            if (parse_line(text.substr(pos, end - pos), e) && !find(e.atom) && !find(e.name))
                entries_.push_back(std::move(e));
            pos = end;
        }
    }

    std::string dir_;
    std::unique_ptr<FileLock> lock_;
    std::vector<Entry> entries_;
};

enum class Name { Invalid, Integer, String };

// Integer atoms: MAKEINTATOM(n) or "#n" with n in 1..0xBFFF.
Name classify(LPCSTR name, ATOM& integer, std::string& text) {
    if (!name) return Name::Invalid;
    if (IS_INTRESOURCE(name)) {
        integer = ATOM(reinterpret_cast<uintptr_t>(name));
        return integer >= 1 && integer < MAXINTATOM ? Name::Integer : Name::Invalid;
    }
    text = name;
    if (text.size() > 1 && text[0] == '#' &&
        text.find_first_not_of("0123456789", 1) == std::string::npos) {
        unsigned long n = text.size() > 6 ? MAXINTATOM : std::strtoul(text.c_str() + 1, nullptr, 10);
        if (n < 1 || n >= MAXINTATOM) return Name::Invalid;
        integer = ATOM(n);
        return Name::Integer;
    }
    if (text.empty() || text.size() > kMaxName) return Name::Invalid;
    return Name::String;
}

}  // namespace

extern "C" {

ATOM WINAPI GlobalAddAtomA(LPCSTR name) {
    ATOM integer = 0;
    std::string text;
    switch (classify(name, integer, text)) {
    case Name::Invalid:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    case Name::Integer:
        return integer;
    case Name::String:
        break;
    }
    Table table;
    if (!table.open()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    ATOM atom;
    if (Entry* e = table.find(text)) {
        if (e->refs < UINT32_MAX) ++e->refs;
        atom = e->atom;
    } else {
        atom = table.free_atom();
        if (!atom) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        table.entries().push_back({atom, 1, text});
    }
    if (!table.save()) {
        SetLastError(ERROR_WRITE_FAULT);
        return 0;
    }
    return atom;
}

ATOM WINAPI GlobalFindAtomA(LPCSTR name) {
    ATOM integer = 0;
    std::string text;
    switch (classify(name, integer, text)) {
    case Name::Invalid:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    case Name::Integer:
        return integer;
    case Name::String:
        break;
    }
    Table table;
    if (!table.open()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (Entry* e = table.find(text)) return e->atom;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

ATOM WINAPI GlobalDeleteAtom(ATOM atom) {
    if (atom < MAXINTATOM) return 0;  // integer atoms have nothing to delete
    Table table;
    if (!table.open()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return atom;
    }
    Entry* e = table.find(atom);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return atom;
    }
    if (--e->refs == 0) {
        auto& list = table.entries();
        list.erase(list.begin() + (e - list.data()));
    }
    if (!table.save()) {
        SetLastError(ERROR_WRITE_FAULT);
        return atom;
    }
    return 0;
}

}
