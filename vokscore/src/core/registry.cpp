// Values under the product key of the current user.
#include <stdio.h>
#include <string.h>

#include "state.h"
#include "vokscore/vokpath.h"
#include "win32/winreg.h"

namespace {

constexpr DWORD kMaxValue = 1024;

// Opens (creating when missing) the product key or a sub-key of it.
HKEY open_key(const char *subkey, REGSAM access)
{
    char path[512];
    bool sub = subkey != nullptr && subkey[0] != '\0';
    int n = snprintf(path, sizeof path, "Software\\Ostrel Interactive\\Velmo's Games%s%s", sub ? "\\" : "",
                     sub ? subkey : "");
    if (n < 0 || size_t(n) >= sizeof path)
        return nullptr;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Reads a value of at most `size` bytes; its length in *length.
bool read_value(const char *subkey, const char *name, void *buffer, DWORD size, DWORD *length)
{
    if (name == nullptr || buffer == nullptr)
        return false;
    HKEY key = open_key(subkey, KEY_READ);
    if (key == nullptr)
        return false;
    DWORD type = 0, need = 0;
    bool ok = RegQueryValueExA(key, name, nullptr, &type, nullptr, &need) == ERROR_SUCCESS && need <= kMaxValue &&
              need <= size;
    if (ok) {
        DWORD got = need;
        ok = RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE *>(buffer), &got) == ERROR_SUCCESS;
        *length = got;
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

VOK_EXPORT int VokRegSetValue(const char *subkey, const char *name, DWORD type, const void *data, DWORD size)
{
    if (name == nullptr || (data == nullptr && size != 0))
        return 0;
    HKEY key = open_key(subkey, KEY_WRITE);
    if (key == nullptr)
        return 0;
    bool ok = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok ? 1 : 0;
}

VOK_EXPORT int VokRegSetString(const char *subkey, const char *name, const char *text)
{
    if (text == nullptr)
        return 0;
    return VokRegSetValue(subkey, name, REG_SZ, text, DWORD(strlen(text) + 1));
}

VOK_EXPORT int VokRegGetValue(const char *subkey, const char *name, void *buffer, DWORD size)
{
    DWORD length = 0;
    return read_value(subkey, name, buffer, size, &length) ? 1 : 0;
}

VOK_EXPORT int VokRegGetString(const char *subkey, const char *name, char *buffer)
{
    DWORD length = 0;
    if (!read_value(subkey, name, buffer, VOK_PATH_SIZE, &length))
        return 0;
    // A stored text without its terminator still reads as a text.
    if (length >= VOK_PATH_SIZE)
        length = VOK_PATH_SIZE - 1;
    buffer[length] = '\0';
    return 1;
}
