// FindFirstFileA / FindNextFileA / FindClose: a snapshot of the folder taken at the first call, so that
// deleting entries while walking them is safe; entries come in case-insensitive name order.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "fsutil.h"
#include "handles.h"
#include "win32/winfile.h"

namespace plat {
namespace {

struct FindObject : KObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

bool glob_match(const char* p, const char* n) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*n) {
        if (*p == '*') {
            star = p++;
            resume = n;
        } else if (*p == '?' || (*p && std::tolower((unsigned char)*p) == std::tolower((unsigned char)*n))) {
            p++;
            n++;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') p++;
    return !*p;
}

}  // namespace

bool wildcard_match(const char* pattern, const char* name);

// Win32 name matching: "*" any run, "?" one character, letters without regard to case; a pattern ending
// in ".*" also takes names without a dot ("*.*" takes every name, "README" included), and one ending in
// "." takes only names without a dot ("*.").
bool wildcard_match(const char* pattern, const char* name) {
    if (glob_match(pattern, name)) return true;
    size_t len = std::strlen(pattern);
    bool dotless = !std::strchr(name, '.');
    if (len >= 2 && std::strcmp(pattern + len - 2, ".*") == 0 && dotless)
        return glob_match(std::string(pattern, len - 2).c_str(), name);
    if (len >= 1 && pattern[len - 1] == '.' && dotless) {
        std::string trimmed(pattern, len);
        while (!trimmed.empty() && trimmed.back() == '.') trimmed.pop_back();
        return !trimmed.empty() && glob_match(trimmed.c_str(), name);
    }
    return false;
}

}  // namespace plat

using namespace plat;

extern "C" {

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!pattern || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string text(pattern);
    size_t cut = text.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? "." : text.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? text : text.substr(cut + 1);
    if (mask.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string dir;
    if (!resolve(folder.c_str(), dir)) return INVALID_HANDLE_VALUE;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR* d = opendir(dir.c_str());
    if (!d) {
        fail_errno(dir);
        return INVALID_HANDLE_VALUE;
    }
    if (dir.back() != '/') dir += '/';
    bool root = dir == "/";
    auto found = std::make_shared<FindObject>();
    while (struct dirent* e = readdir(d)) {
        const char* name = e->d_name;
        bool dots = !std::strcmp(name, ".") || !std::strcmp(name, "..");
        if ((root && dots) || std::strlen(name) >= MAX_PATH || !wildcard_match(mask.c_str(), name)) continue;
        struct stat est;
        DWORD attr = attributes_of(dir + name, &est);
        if (attr == INVALID_FILE_ATTRIBUTES) continue;  // vanished meanwhile
        WIN32_FIND_DATAA fd{};
        fd.dwFileAttributes = attr;
        fd.ftCreationTime = filetime_from(est.st_ctim);
        fd.ftLastAccessTime = filetime_from(est.st_atim);
        fd.ftLastWriteTime = filetime_from(est.st_mtim);
        if (S_ISREG(est.st_mode)) {
            fd.nFileSizeHigh = DWORD(uint64_t(est.st_size) >> 32);
            fd.nFileSizeLow = DWORD(uint64_t(est.st_size));
        }
        std::strcpy(fd.cFileName, name);
        found->entries.push_back(fd);
    }
    closedir(d);
    if (found->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(found->entries.begin(), found->entries.end(), [](const auto& a, const auto& b) {
        int c = strcasecmp(a.cFileName, b.cFileName);
        return c != 0 ? c < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
    });
    *data = found->entries[0];
    found->next = 1;
    SetLastError(NO_ERROR);
    return handle_add(found);
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto f = handle_get_as<FindObject>(find);
    if (!f) return fail(ERROR_INVALID_HANDLE);
    if (f->next >= f->entries.size()) return fail(ERROR_NO_MORE_FILES);
    if (!data) return fail(ERROR_INVALID_PARAMETER);
    *data = f->entries[f->next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    if (!handle_get_as<FindObject>(find)) return fail(ERROR_INVALID_HANDLE);
    handle_remove(find);
    return TRUE;
}

}  // extern "C"
