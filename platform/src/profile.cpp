// Private profile (INI) files, read and edited as they stand: lines this code does not change keep their
// bytes and line endings; new lines take the file's own line ending (CRLF for a new file). Every change
// rewrites the file through a temporary file and a rename, under a lock on the file's folder shared with
// other processes.
//
// A file name without a folder lives in the Windows folder: $VOK_WINDOWS_DIR, else
// <config folder>/windows.
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "fsutil.h"
#include "win32/winreg.h"

namespace plat {
namespace {

std::mutex g_mutex;

struct Line {
    std::string text;  // without its line ending
    std::string eol;   // "\r\n", "\n" or "" (last line without one)
};

struct IniFile {
    std::vector<Line> lines;
    std::string eol = "\r\n";
};

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// The section name of a header line, or false when the line is not one.
bool header_of(const std::string& line, std::string& name) {
    std::string t = trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// The key and value of an entry line; comments and lines without "=" are not entries.
bool entry_of(const std::string& line, std::string& key, std::string& value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
}

IniFile parse(const std::string& text) {
    IniFile ini;
    bool eol_seen = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        Line l;
        if (nl == std::string::npos) {
            l.text = text.substr(pos);
            pos = text.size();
        } else {
            bool cr = nl > pos && text[nl - 1] == '\r';
            l.text = text.substr(pos, nl - pos - (cr ? 1 : 0));
            l.eol = cr ? "\r\n" : "\n";
            if (!eol_seen) ini.eol = l.eol;
            eol_seen = true;
            pos = nl + 1;
        }
        ini.lines.push_back(std::move(l));
    }
    return ini;
}

std::string serialise(const IniFile& ini) {
    std::string out;
    for (const Line& l : ini.lines) out += l.text + l.eol;
    return out;
}

// [first, end) line range of the first section with this name, header included; false when absent.
bool find_section(const IniFile& ini, const char* section, size_t& first, size_t& end) {
    std::string name;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        if (!header_of(ini.lines[i].text, name) || !same(name, section)) continue;
        first = i;
        for (end = i + 1; end < ini.lines.size() && !header_of(ini.lines[end].text, name); ++end) {
        }
        return true;
    }
    return false;
}

std::string windows_dir() {
    const char* env = std::getenv("VOK_WINDOWS_DIR");
    if (env && *env) return env;
    return config_dir() + "/windows";
}

bool file_path(const char* file, std::string& host, bool for_write) {
    if (!file || !*file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!std::strpbrk(file, "\\/")) {
        std::string dir = windows_dir();
        if (for_write) make_dirs(dir);
        return resolve((dir + "/" + file).c_str(), host);
    }
    return resolve(file, host);
}

bool load(const char* file, IniFile& ini, std::string* host_out = nullptr) {
    std::string host, text;
    if (!file_path(file, host, false)) return false;
    if (host_out) *host_out = host;
    if (!read_all(host, text)) return false;
    ini = parse(text);
    return true;
}

// Copies one string the way the profile calls do: cut to size - 1 characters when it does not fit.
DWORD copy_string(const std::string& s, LPSTR buffer, DWORD size) {
    size_t n = s.size() < size ? s.size() : size - 1;
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return DWORD(n);
}

// Copies a list of strings, each ending with a NUL and the list with a second one; when it does not fit,
// the list is cut, closed with two NULs, and size - 2 is answered.
DWORD copy_list(const std::vector<std::string>& items, LPSTR buffer, DWORD size) {
    std::string all;
    for (const std::string& s : items) {
        all += s;
        all += '\0';
    }
    if (all.size() + 1 <= size) {
        std::memcpy(buffer, all.data(), all.size());
        buffer[all.size()] = '\0';
        if (all.empty() && size >= 2) buffer[1] = '\0';
        return DWORD(all.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, all.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

}  // namespace
}  // namespace plat

using namespace plat;

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                                      DWORD size, LPCSTR file) {
    if (!buffer || size == 0) return 0;
    std::lock_guard lock(g_mutex);
    IniFile ini;
    load(file, ini);
    if (!section) {
        std::vector<std::string> names;
        std::string name;
        for (const Line& l : ini.lines)
            if (header_of(l.text, name)) names.push_back(name);
        return copy_list(names, buffer, size);
    }
    size_t first = 0, end = 0;
    bool has_section = find_section(ini, section, first, end);
    std::string k, v;
    if (!key) {
        std::vector<std::string> keys;
        for (size_t i = first + 1; has_section && i < end; ++i)
            if (entry_of(ini.lines[i].text, k, v)) keys.push_back(k);
        return copy_list(keys, buffer, size);
    }
    for (size_t i = first + 1; has_section && i < end; ++i)
        if (entry_of(ini.lines[i].text, k, v) && same(k, key)) return copy_string(v, buffer, size);
    std::string def = default_value ? default_value : "";
    while (!def.empty() && (def.back() == ' ' || def.back() == '\t')) def.pop_back();
    DWORD n = copy_string(def, buffer, size);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return n;
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file) {
    if (!section || !key) return UINT(default_value);
    static const char kMissing[] = "\x01missing";
    char text[64];
    GetPrivateProfileStringA(section, key, kMissing, text, sizeof text, file);
    if (std::strcmp(text, kMissing) == 0) return UINT(default_value);
    // Leading decimal digits; a negative value or one that is not a number reads as 0.
    const char* p = text;
    if (*p == '-') return 0;
    if (*p == '+') p++;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + unsigned(*p - '0');
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
    }
    return UINT(v);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) {
    if (!buffer || size == 0) return 0;
    std::lock_guard lock(g_mutex);
    IniFile ini;
    load(file, ini);
    size_t first = 0, end = 0;
    std::vector<std::string> lines;
    if (section && find_section(ini, section, first, end)) {
        std::string k, v;
        for (size_t i = first + 1; i < end; ++i) {
            std::string t = trim(ini.lines[i].text);
            if (t.empty() || t[0] == ';') continue;
            lines.push_back(entry_of(t, k, v) ? k + "=" + v : t);
        }
    }
    return copy_list(lines, buffer, size);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (!section) {
        if (!key && !value) return TRUE;  // "flush the cache": there is none
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard lock(g_mutex);
    std::string host, target;
    if (!file_path(file, host, true)) return FALSE;
    if (!final_target(host, target)) return fail_errno(host);
    // Other processes edit the same file: the read, the change and the rename are one step for them too.
    // The folder is the lock, since the file itself is replaced by every write.
    FileLock folder_lock(folder_of(target), true, true);
    std::string text;
    struct stat st;
    bool exists = stat(host.c_str(), &st) == 0;
    if (exists && (S_ISDIR(st.st_mode) || is_read_only(st))) return fail(ERROR_ACCESS_DENIED);
    if (exists && !read_all(host, text)) return fail_errno(host);
    IniFile ini = parse(text);

    size_t first = 0, end = 0;
    bool has_section = find_section(ini, section, first, end);
    std::string k, v;
    size_t key_line = 0;
    bool has_key = false;
    for (size_t i = first + 1; has_section && i < end && key; ++i)
        if (entry_of(ini.lines[i].text, k, v) && same(k, key)) {
            key_line = i;
            has_key = true;
            break;
        }

    if (!key || !value) {
        // Deleting what is not there changes nothing, and creates no file.
        if (!key && has_section) ini.lines.erase(ini.lines.begin() + long(first), ini.lines.begin() + long(end));
        else if (key && has_key) ini.lines.erase(ini.lines.begin() + long(key_line));
        else return TRUE;
    } else if (has_key) {
        ini.lines[key_line].text = k + "=" + value;
    } else {
        std::string line = std::string(key) + "=" + value;
        size_t at;
        if (has_section) {
            // After the section's last non-blank line, so that a blank line before the next header stays.
            at = end;
            while (at > first + 1 && trim(ini.lines[at - 1].text).empty()) --at;
        } else {
            at = ini.lines.size();
        }
        if (at > 0 && ini.lines[at - 1].eol.empty()) ini.lines[at - 1].eol = ini.eol;
        std::vector<Line> add;
        if (!has_section) {
            std::string header("[");
            header.append(section).append("]");
            add.push_back(Line{header, ini.eol});
        }
        add.push_back(Line{line, ini.eol});
        ini.lines.insert(ini.lines.begin() + long(at), add.begin(), add.end());
    }
    if (!write_atomic(host, serialise(ini))) return fail_errno(host);
    return TRUE;
}

}  // extern "C"
