// Path builders over the read and write roots, language folders, folder creation and the data-disc
// prompt.
#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "state.h"
#include "vokscore/vokpath.h"
#include "win32/winfile.h"
#include "win32/winmisc.h"

namespace {

const char *const kLangDirs[] = {"US\\", "UK\\", "GE\\", "FR\\", "HU\\"};

const int kDiscPromptLimit = 10;
const char *const kDiscPrompts[] = {
    "Please insert Velmo's Games CD\n\nin drive '%c:'",
    "Please insert Velmo's Games CD\n\nin drive '%c:'",
    "Bitte schiebe Velmo's Games CD\n\nin Drive '%c:'",
    "Introduire CD Velmo's Games\n\ndans commande '%c:'",
    "K\xE9rem helyezze a Velmo's Games CD-t\n\na '%c:' meghajt\xF3" "ba!",
};

char g_full[VOK_PATH_SIZE];
char g_read[VOK_PATH_SIZE];
char g_lang[VOK_PATH_SIZE];
char g_write[VOK_PATH_SIZE];
char g_found[VOK_PATH_SIZE];

int language_index()
{
    int l = vok::iface().language;
    return l >= 1 && l <= 4 ? l : 0;
}

const char *read_root()
{
    return vok::iface().readRoot != nullptr ? vok::iface().readRoot : vok::state().root;
}

const char *write_root()
{
    return vok::iface().writeRoot != nullptr ? vok::iface().writeRoot : vok::state().root;
}

// root + folders + the formatted name into `out`; an empty result when it does not fit.
char *build(char *out, const char *root, const char *folder1, const char *folder2, const char *format,
            va_list args)
{
    char name[VOK_PATH_SIZE];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = vsnprintf(name, sizeof name, format != nullptr ? format : "", args);
#pragma GCC diagnostic pop
    if (n < 0 || size_t(n) >= sizeof name) {
        out[0] = '\0';
        OutputDebugStringA("VokScore: a file name is longer than 259 characters\n");
        return out;
    }
    const char *parts[] = {root, folder1, folder2, name};
    vok::join_path(out, VOK_PATH_SIZE, parts, 4);
    return out;
}

char *build_plain(char *out, const char *root, const char *folder, const char *name)
{
    const char *parts[] = {root, folder, name};
    vok::join_path(out, VOK_PATH_SIZE, parts, 3);
    return out;
}

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

// The folder exists, or is made now.
bool ensure_folder(const char *folder)
{
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(folder, &data);
    if (h != INVALID_HANDLE_VALUE) {
        FindClose(h);
        return true;
    }
    return CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

VOK_EXPORT char *VokMakeFullPath(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    build(g_full, read_root(), nullptr, nullptr, format, args);
    va_end(args);
    return g_full;
}

VOK_EXPORT char *VokMakeReadPath(const char *subfolder, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    build(g_read, read_root(), subfolder, nullptr, format, args);
    va_end(args);
    return g_read;
}

VOK_EXPORT char *VokMakeDataPath(const char *name)
{
    return build_plain(g_read, read_root(), "Data\\", name);
}

VOK_EXPORT char *VokMakeVarnelReadPath(const char *name)
{
    return build_plain(g_read, read_root(), "vn\\", name);
}

VOK_EXPORT char *VokMakeMossikReadPath(const char *name)
{
    return build_plain(g_read, read_root(), "mk\\", name);
}

VOK_EXPORT char *VokMakeFenlowReadPath(const char *name)
{
    return build_plain(g_read, read_root(), "fw\\", name);
}

VOK_EXPORT char *VokMakeKelpaReadPath(const char *name)
{
    return build_plain(g_read, read_root(), "kp\\", name);
}

VOK_EXPORT char *VokMakeDunmarReadPath(const char *name)
{
    return build_plain(g_read, read_root(), "dm\\", name);
}

VOK_EXPORT const char *VokGetLangDir(void)
{
    return kLangDirs[language_index()];
}

VOK_EXPORT char *VokMakeLangPath(const char *subfolder, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    build(g_lang, read_root(), subfolder, VokGetLangDir(), format, args);
    va_end(args);
    return g_lang;
}

VOK_EXPORT char *VokMakeWritePath(const char *subfolder, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    build(g_write, write_root(), subfolder, nullptr, format, args);
    va_end(args);
    size_t cut = 0;
    for (size_t i = 0; g_write[i] != '\0'; i++)
        if (is_separator(g_write[i]))
            cut = i;
    if (cut > 0) {
        char folder[VOK_PATH_SIZE];
        memcpy(folder, g_write, cut);
        folder[cut] = '\0';
        VokCreatePath(folder);
    }
    return g_write;
}

VOK_EXPORT int VokCreatePath(const char *path)
{
    if (path == nullptr || path[0] == '\0')
        return 0;
    size_t len = strlen(path);
    if (len >= VOK_PATH_SIZE)
        return 0;
    size_t start = 0;
    if (isalpha((unsigned char)path[0]) && path[1] == ':')
        start = 2;
    else if (is_separator(path[0]) && is_separator(path[1]))
        start = 2;
    char prefix[VOK_PATH_SIZE];
    for (size_t i = start; i <= len; i++) {
        if (i < len && !is_separator(path[i]))
            continue;
        // Each folder prefix that ends at a separator, and the whole path.
        if (i <= start || is_separator(path[i - 1]))
            continue;
        memcpy(prefix, path, i);
        prefix[i] = '\0';
        if (!ensure_folder(prefix))
            return 0;
    }
    return 1;
}

VOK_EXPORT int CheckFileExistence(const char *path)
{
    if (path == nullptr || path[0] == '\0')
        return 0;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(h);
    return 1;
}

VOK_EXPORT char *VokFindAndMakePath(const char *subfolder, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    build(g_found, write_root(), subfolder, nullptr, format, args);
    va_end(args);
    if (CheckFileExistence(g_found)) {
        va_end(again);
        return g_found;
    }
    const char *fallback = vok::state().fallback;
    build(g_found, fallback, subfolder, nullptr, format, again);
    va_end(again);
    if (g_found[0] == '\0')
        return nullptr;
    // Only a root on a drive letter can be a disc to put in; any other root simply lacks the file.
    if (!isalpha(static_cast<unsigned char>(fallback[0])) || fallback[1] != ':')
        return CheckFileExistence(g_found) ? g_found : nullptr;
    // A box nobody can see (no display) answers OK every time: after a few asks the file counts as
    // missing, as if the player had cancelled.
    for (int asked = 0; !CheckFileExistence(g_found); asked++) {
        if (asked == kDiscPromptLimit ||
            VokMessageBox(nullptr, MB_OKCANCEL, kDiscPrompts[language_index()], fallback[0]) != IDOK)
            return nullptr;
    }
    return g_found;
}
