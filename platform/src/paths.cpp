#include "paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "win32/wintypes.h"

namespace plat {
namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of `dir` that equals `comp` ignoring case; the smallest such name when several do, so
// that the answer does not depend on directory order.
bool find_folded(const std::string& dir, const std::string& comp, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool any = false;
    while (struct dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, comp.c_str()) != 0) continue;
        if (!any || found.compare(e->d_name) > 0) found = e->d_name;
        any = true;
    }
    closedir(d);
    return any;
}

}  // namespace

bool resolve_path(const char* name, std::string& out) {
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');

    std::vector<std::string> comps;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        std::string comp = path.substr(pos, next - pos);
        pos = next + 1;
        // "." and ".." are taken apart by name, as Win32 does, so "Missing\..\x" is "x".
        if (comp.empty() || comp == ".") continue;
        if (comp == ".." && !comps.empty() && comps.back() != "..") {
            comps.pop_back();
            continue;
        }
        if (comp == ".." && comps.empty() && path[0] == '/') continue;  // above the root is the root
        comps.push_back(comp);
    }

    const bool absolute = path[0] == '/';
    std::string cur = absolute ? "/" : "";
    bool searching = true;  // once a component is missing, nothing below it exists either
    for (const std::string& comp : comps) {
        std::string base = cur;
        if (!base.empty() && base.back() != '/') base += '/';
        std::string pick = comp;
        if (searching && comp != "." && comp != ".." && !exists(base + comp)) {
            std::string found;
            if (find_folded(base, comp, found))
                pick = found;
            else
                searching = false;
        }
        base += pick;
        cur = std::move(base);
    }
    if (cur.empty()) cur.assign(1, absolute ? '/' : '.');
    out = cur;
    return true;
}

}  // namespace plat

#include <cstring>

#include "vokplat/paths.h"

extern "C" size_t PlatResolvePath(const char* name, char* out, size_t out_size) {
    std::string path;
    if (!plat::resolve_path(name, path)) return 0;
    if (!out || path.size() + 1 > out_size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return path.size();
}
