// Global atoms in a small text table shared by the user's processes.
//
// Folder: $VOK_ATOM_DIR, else $XDG_RUNTIME_DIR/vok-atoms, else /tmp/vok-atoms-<uid>. It holds
// "atoms" (the table, replaced by rename on every change) and "atoms.lock" (flock'ed around every
// read-modify-write). Table: the line "VOKATOMS 2", then one line per atom:
// "<atom, 4 hex digits> <owners> <name>", owners being "<pid>:<start>:<references>" joined by ',',
// the name with bytes below 0x20, 0x7F and '%' written as %XX. Lines that do not parse are dropped.
//
// Every reference belongs to the process that added it (its pid and its start time, so that a
// reused pid is not taken for the old owner). References of processes that no longer run are
// dropped whenever the table is read, so a program killed before it deleted its atom does not stop
// the next start. A table of the older form carries no owners and reads as empty.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
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
constexpr const char* kHeader = "VOKATOMS 2";

struct Owner {
    long pid;
    unsigned long long start;  // clock ticks after boot at which the process started
    uint32_t refs;
};

struct Entry {
    ATOM atom;
    std::vector<Owner> owners;
    std::string name;
};

// The start time of a running process (field 22 of /proc/<pid>/stat), 0 when it cannot be read;
// false when the process is gone or only a zombie.
bool process_start(long pid, unsigned long long& start) {
    start = 0;
    if (pid <= 0) return false;
    if (kill(pid_t(pid), 0) != 0 && errno != EPERM) return false;
    std::string stat;
    if (!read_all("/proc/" + std::to_string(pid) + "/stat", stat)) return true;  // no /proc: trust kill
    size_t paren = stat.rfind(')');
    if (paren == std::string::npos || paren + 2 >= stat.size()) return true;
    char state = stat[paren + 2];
    if (state == 'Z' || state == 'X') return false;
    const char* p = stat.c_str() + paren + 2;
    for (int field = 3; field < 22 && *p; ++field) {  // skip to field 22
        p = std::strchr(p, ' ');
        if (!p) return true;
        ++p;
    }
    start = std::strtoull(p, nullptr, 10);
    return true;
}

// This process as an owner (looked up again after a fork, which makes another process). Per thread:
// threads of one process may ask at once.
Owner self() {
    static thread_local Owner me{0, 0, 0};
    if (me.pid != long(getpid())) {
        me.pid = long(getpid());
        process_start(me.pid, me.start);
    }
    return me;
}

bool same_process(const Owner& a, const Owner& b) { return a.pid == b.pid && a.start == b.start; }

// A recorded owner still runs: same pid, same start time (when both are known).
bool owner_alive(const Owner& o) {
    if (same_process(o, self())) return true;
    unsigned long long start = 0;
    if (!process_start(o.pid, start)) return false;
    return start == 0 || o.start == 0 || start == o.start;
}

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


bool parse_owners(const std::string& text, std::vector<Owner>& out) {
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        std::string one = text.substr(pos, end - pos);
        unsigned long long pid = 0, start = 0, refs = 0;
        int used = 0;
        if (std::sscanf(one.c_str(), "%llu:%llu:%llu%n", &pid, &start, &refs, &used) != 3 ||
            size_t(used) != one.size() || one.find_first_not_of("0123456789:") != std::string::npos)
            return false;
        if (pid == 0 || pid > 0x7FFFFFFF || refs == 0 || refs > UINT32_MAX) return false;
        out.push_back({long(pid), start, uint32_t(refs)});
        pos = end + 1;
    }
    return !out.empty();
}

bool parse_line(const std::string& line, Entry& e) {
    if (line.size() < 8 || line[4] != ' ') return false;
    unsigned atom = 0;
    for (int i = 0; i < 4; ++i) {
        int d = hex_digit(line[i]);
        if (d < 0) return false;
        atom = atom * 16 + unsigned(d);
    }
    size_t space = line.find(' ', 5);
    if (space == std::string::npos || atom < kFirstAtom) return false;
    if (!parse_owners(line.substr(5, space - 5), e.owners)) return false;
    if (!percent_decode(line.substr(space + 1), e.name) || e.name.empty() || e.name.size() > kMaxName) return false;
    e.atom = ATOM(atom);
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
            std::snprintf(head, sizeof head, "%04X ", unsigned(e.atom));
            text += head;
            for (size_t i = 0; i < e.owners.size(); ++i) {
                const Owner& o = e.owners[i];
                char one[80];
                std::snprintf(one, sizeof one, "%s%ld:%llu:%u", i ? "," : "", o.pid, o.start, unsigned(o.refs));
                text += one;
            }
            text += " " + percent_encode(e.name) + "\n";
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
            if (parse_line(text.substr(pos, end - pos), e) && !find(e.atom) && !find(e.name)) {
                // References of processes that have ended are gone; an atom nobody holds is free.
                auto& o = e.owners;
                o.erase(std::remove_if(o.begin(), o.end(), [](const Owner& x) { return !owner_alive(x); }), o.end());
                if (!o.empty()) entries_.push_back(std::move(e));
            }
            pos = end;
        }
    }

    std::string dir_;
    std::unique_ptr<FileLock> lock_;
    std::vector<Entry> entries_;
};

void add_reference(Entry& e) {
    for (Owner& o : e.owners)
        if (same_process(o, self())) {
            if (o.refs < UINT32_MAX) ++o.refs;
            return;
        }
    Owner me = self();
    me.refs = 1;
    e.owners.push_back(me);
}

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
        add_reference(*e);
        atom = e->atom;
    } else {
        atom = table.free_atom();
        if (!atom) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        table.entries().push_back({atom, {}, text});
        add_reference(table.entries().back());
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
    // Our own reference goes first; another process's when we hold none (any process may delete).
    auto& owners = e->owners;
    auto it = std::find_if(owners.begin(), owners.end(), [](const Owner& o) { return same_process(o, self()); });
    if (it == owners.end()) it = owners.begin();
    if (--it->refs == 0) owners.erase(it);
    if (owners.empty()) {
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
