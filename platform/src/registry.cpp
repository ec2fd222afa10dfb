// The registry: one text file per hive in the registry folder ($VOK_REGISTRY_DIR, else
// <config folder>/registry), re-read on every call and rewritten through a temporary file and a rename
// on every change, under a lock file so that several processes share it safely.
//
// Hive file ("user.hive" for HKEY_CURRENT_USER, "machine.hive" for HKEY_LOCAL_MACHINE), one record a line:
//   VOKREG 1                              first line
//   K <tab> path                          a key ("Software\Ostrel Interactive\Velmo's Games"); the
//                                         empty path is the hive's root
//   V <tab> name <tab> type <tab> data    a value of the key above it; type in decimal (1 REG_SZ,
//                                         3 REG_BINARY, 4 REG_DWORD...), data the stored bytes
// Paths, names and data are written byte for byte, except "%", control bytes (below 0x20) and 0x7F,
// which are written as "%" and two upper-case hex digits. Lines the reader does not understand are
// skipped.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fsutil.h"
#include "win32/winreg.h"

namespace plat {
namespace {

struct Value {
    std::string name;
    DWORD type;
    std::string data;
};
struct Key {
    std::string path;  // as first created, case kept
    std::vector<Value> values;
};
using Hive = std::map<std::string, Key>;  // by folded path

const char* const kHiveFiles[] = {"user.hive", "machine.hive"};
const char kMagic[] = "VOKREG 1";

std::string fold(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return f;
}

std::string registry_dir() {
    const char* env = std::getenv("VOK_REGISTRY_DIR");
    if (env && *env) return env;
    return config_dir() + "/registry";
}


std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        size_t tab = line.find('\t', pos);
        parts.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
        if (tab == std::string::npos) break;
        pos = tab + 1;
    }
    return parts;
}

Hive parse(const std::string& text) {
    Hive hive;
    hive[""] = Key{};
    size_t pos = 0;
    bool first = true;
    Key* current = nullptr;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            first = false;
            if (line != kMagic) return hive;  // not ours: nothing in it is trusted
            continue;
        }
        std::vector<std::string> f = split_tabs(line);
        if (f[0] == "K" && f.size() == 2) {
            std::string path;
            if (!percent_decode(f[1], path)) {
                current = nullptr;
                continue;
            }
            Key& k = hive[fold(path)];
            if (k.path.empty()) k.path = path;
            current = &k;
        } else if (f[0] == "V" && f.size() == 4 && current) {
            Value v;
            char* stop = nullptr;
            unsigned long type = std::strtoul(f[2].c_str(), &stop, 10);
            if (f[2].empty() || *stop || type > 0xFFFFFFFFul) continue;
            if (!percent_decode(f[1], v.name) || !percent_decode(f[3], v.data)) continue;
            v.type = DWORD(type);
            bool replaced = false;
            for (Value& old : current->values)
                if (fold(old.name) == fold(v.name)) {
                    old = v;
                    replaced = true;
                }
            if (!replaced) current->values.push_back(v);
        }
    }
    return hive;
}

std::string serialise(const Hive& hive) {
    std::string out = std::string(kMagic) + "\n";
    for (const auto& [folded, key] : hive) {
        out += "K\t" + percent_encode(key.path) + "\n";
        for (const Value& v : key.values)
            out += "V\t" + percent_encode(v.name) + "\t" + std::to_string(v.type) + "\t" + percent_encode(v.data) + "\n";
    }
    return out;
}

// One locked session on a hive file: shared to read, exclusive to change.
class Session {
public:
    Session(int hive_index, bool write) : index_(hive_index) {
        dir_ = registry_dir();
        if (write) make_dirs(dir_);
        path_ = dir_ + "/" + kHiveFiles[index_];
        lock_ = std::make_unique<FileLock>(path_ + ".lock", write);
        std::string text;
        hive = read_all(path_, text) ? parse(text) : parse("");
    }
    bool save() { return write_atomic(path_, serialise(hive)); }

    Hive hive;

private:
    int index_;
    std::unique_ptr<FileLock> lock_;
    std::string dir_, path_;
};

struct OpenKey {
    int hive;
    std::string path;
    REGSAM access;
};

std::mutex g_mutex;  // also keeps threads of this process from racing on one hive file
std::map<uintptr_t, OpenKey> g_keys;
uintptr_t g_next_key = 0x10000;

bool predefined(HKEY key, OpenKey& out) {
    if (key == HKEY_CURRENT_USER) out = OpenKey{0, "", KEY_ALL_ACCESS};
    else if (key == HKEY_LOCAL_MACHINE) out = OpenKey{1, "", KEY_ALL_ACCESS};
    else return false;
    return true;
}

// The open key behind a handle (caller holds g_mutex).
bool lookup(HKEY key, OpenKey& out) {
    if (predefined(key, out)) return true;
    auto it = g_keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == g_keys.end()) return false;
    out = it->second;
    return true;
}

HKEY add_key(const OpenKey& k) {
    uintptr_t id = g_next_key;
    g_next_key += 4;
    g_keys[id] = k;
    return reinterpret_cast<HKEY>(id);
}

// Joins a sub-key name below a key path; empty components (a trailing "\") are dropped, a leading "\"
// is refused as on Win32.
bool join(const std::string& base, const char* sub, std::string& out, std::vector<std::string>* prefixes) {
    out = base;
    if (!sub || !*sub) return true;
    if (*sub == '\\') return false;
    std::string s(sub);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t cut = s.find('\\', pos);
        if (cut == std::string::npos) cut = s.size();
        if (cut > pos) {
            std::string comp = s.substr(pos, cut - pos);
            out = out.empty() ? comp : out + "\\" + comp;
            if (prefixes) prefixes->push_back(out);
        }
        pos = cut + 1;
    }
    return true;
}

Value* find_value(Key& k, const char* name) {
    std::string f = fold(name ? name : "");
    for (Value& v : k.values)
        if (fold(v.name) == f) return &v;
    return nullptr;
}

}  // namespace
}  // namespace plat

using namespace plat;

extern "C" {

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name, DWORD options,
                               REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    OpenKey base;
    if (!lookup(key, base)) return ERROR_INVALID_HANDLE;
    std::string path;
    std::vector<std::string> prefixes;
    if (!join(base.path, sub_key, path, &prefixes)) return ERROR_BAD_PATHNAME;
    bool created = false;
    {
        Session s(base.hive, true);
        if (!s.hive.count(fold(base.path))) return ERROR_KEY_DELETED;
        for (const std::string& p : prefixes) {
            Key& k = s.hive[fold(p)];
            if (k.path.empty()) {
                k.path = p;
                created = true;
            }
        }
        if (created) {
            if (!(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
            if (!s.save()) return ERROR_CANTWRITE;
        }
    }
    *result = add_key(OpenKey{base.hive, path, access});
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyA(HKEY key, LPCSTR sub_key, PHKEY result) {
    return RegCreateKeyExA(key, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, result,
                           nullptr);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    OpenKey base;
    if (!lookup(key, base)) return ERROR_INVALID_HANDLE;
    std::string path;
    if (!join(base.path, sub_key, path, nullptr)) return ERROR_BAD_PATHNAME;
    {
        Session s(base.hive, false);
        if (!s.hive.count(fold(path))) return ERROR_FILE_NOT_FOUND;
    }
    *result = add_key(OpenKey{base.hive, path, access});
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyA(HKEY key, LPCSTR sub_key, PHKEY result) {
    return RegOpenKeyExA(key, sub_key, 0, KEY_ALL_ACCESS, result);
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD data_size) {
    if (data && !data_size) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    OpenKey k;
    if (!lookup(key, k)) return ERROR_INVALID_HANDLE;
    if (!(k.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    Session s(k.hive, false);
    auto it = s.hive.find(fold(k.path));
    if (it == s.hive.end()) return ERROR_KEY_DELETED;
    Value* v = find_value(it->second, value_name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    DWORD size = DWORD(v->data.size());
    if (!data) {
        if (data_size) *data_size = size;
        return ERROR_SUCCESS;
    }
    if (*data_size < size) {
        *data_size = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, v->data.data(), size);
    *data_size = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD data_size) {
    if (!data && data_size) return ERROR_INVALID_PARAMETER;
    std::lock_guard lock(g_mutex);
    OpenKey k;
    if (!lookup(key, k)) return ERROR_INVALID_HANDLE;
    if (!(k.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string bytes(reinterpret_cast<const char*>(data), data ? data_size : 0);
    // A string value always keeps its terminator, so that a reader sized by the query gets a whole string.
    if ((type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) && (bytes.empty() || bytes.back() != '\0'))
        bytes += '\0';
    Session s(k.hive, true);
    auto it = s.hive.find(fold(k.path));
    if (it == s.hive.end()) return ERROR_KEY_DELETED;
    if (Value* v = find_value(it->second, value_name)) {
        v->type = type;
        v->data = bytes;
    } else {
        it->second.values.push_back(Value{value_name ? value_name : "", type, bytes});
    }
    return s.save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR value_name) {
    std::lock_guard lock(g_mutex);
    OpenKey k;
    if (!lookup(key, k)) return ERROR_INVALID_HANDLE;
    if (!(k.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    Session s(k.hive, true);
    auto it = s.hive.find(fold(k.path));
    if (it == s.hive.end()) return ERROR_KEY_DELETED;
    std::vector<Value>& values = it->second.values;
    std::string f = fold(value_name ? value_name : "");
    for (auto v = values.begin(); v != values.end(); ++v)
        if (fold(v->name) == f) {
            values.erase(v);
            return s.save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
        }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    std::lock_guard lock(g_mutex);
    OpenKey base;
    if (!lookup(key, base)) return ERROR_INVALID_HANDLE;
    std::string path;
    if (!join(base.path, sub_key, path, nullptr)) return ERROR_BAD_PATHNAME;
    if (path.empty()) return ERROR_ACCESS_DENIED;  // a hive's root stays
    Session s(base.hive, true);
    std::string f = fold(path);
    auto it = s.hive.find(f);
    if (it == s.hive.end()) return ERROR_FILE_NOT_FOUND;
    auto next = std::next(it);
    for (; next != s.hive.end() && next->first.compare(0, f.size(), f) == 0; ++next)
        if (next->first.size() > f.size() && next->first[f.size()] == '\\') return ERROR_ACCESS_DENIED;
    s.hive.erase(it);
    return s.save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    std::lock_guard lock(g_mutex);
    OpenKey k;
    if (predefined(key, k)) return ERROR_SUCCESS;
    return g_keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // extern "C"
