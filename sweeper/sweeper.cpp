// Removal extension: deletes what the games created after installation (saved games, replays, settings,
// the installed font and the save folder). Every failure is ignored: what cannot go stays.
#include <limits.h>
#include <stdlib.h>

#include <cstring>
#include <string>

#include "vokplat/export.h"
#include "vokplat/paths.h"
#include "win32/windows.h"

namespace {

const char kProductKey[] = "Software\\Ostrel Interactive\\Velmo's Games";

struct Sweep {
    const char* folder;  // below the installation folder, with its backslash; "" for the folder itself
    const char* pattern;
};

const Sweep kSweeps[] = {
    {"Save\\", "*.*"}, {"kp\\", "*.re"},  {"kp\\", "*.rep"}, {"fw\\", "*.ei*"}, {"fw\\", "*.trs"}, {"vn\\", "*.cls"},
    {"", "*.crp"},     {"", "*.dat"},     {"", "*.lst"},     {"mk\\", "*.svd"}, {"dm\\", "*.dmg"},
};

// The registered installation folder; false when the key or value is missing, empty, longer than the
// 260-byte buffer or not a terminated string.
bool read_install_path(std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[MAX_PATH];
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    LSTATUS status = RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    if (!std::memchr(buffer, '\0', size)) return false;
    path = buffer;
    return !path.empty();
}

// The real host folder of a system name; false when it is not an existing folder.
bool real_folder(const std::string& name, std::string& real) {
    char host[PATH_MAX];
    char resolved[PATH_MAX];
    if (!PlatResolvePath(name.c_str(), host, sizeof host) || !realpath(host, resolved)) return false;
    DWORD attr = GetFileAttributesA(resolved);
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
    real = resolved;
    return true;
}

// Empties `folder` (ending in a backslash) of the entries matching `pattern`: matching sub-folders are
// emptied the same way and removed, matching files are made writable and deleted. Links are removed
// themselves and never entered, so nothing outside the tree is touched.
BOOL delete_tree(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return TRUE;
    BOOL more;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string full = folder + name;
        DWORD attr = found.dwFileAttributes;
        if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (attr & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryA(full.c_str());
            else DeleteFileA(full.c_str());
        } else if (attr & FILE_ATTRIBUTE_DIRECTORY) {
            delete_tree(full + "\\", pattern);
            RemoveDirectoryA(full.c_str());
        } else {
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(full.c_str());
        }
    } while ((more = FindNextFileA(search, &found)));
    FindClose(search);
    return more;
}

void sweep() {
    std::string install;
    if (!read_install_path(install)) return;
    char last = install.back();
    if (last == '\\' || last == '/') install.pop_back();
    // An empty path or the root of the file system would aim the patterns at files that are not ours.
    std::string real;
    if (install.empty() || !real_folder(install, real) || real == "/") return;
    std::string base = install + "\\";

    DeleteFileA((base + "Zirez14.ivu").c_str());  // no font table here: the font is just its file
    for (const Sweep& s : kSweeps) {
        std::string folder = base + s.folder;
        if (*s.folder) {
            // A sub-folder that is a link leads out of the installation: leave it alone.
            std::string sub = folder.substr(0, folder.size() - 1);
            DWORD attr = GetFileAttributesA(sub.c_str());
            if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        }
        delete_tree(folder, s.pattern);
    }
    RemoveDirectoryA((base + "Save").c_str());
}

}  // namespace

VOK_EXPORT int SweeperInitialize(void) {
    try {
        sweep();
    } catch (...) {
        // The removal program must go on whatever happens here; a silent beep marks the failure.
        Beep(0, 0);
    }
    return 0;
}

VOK_EXPORT int SweeperUnInitialize(void) { return 0; }
