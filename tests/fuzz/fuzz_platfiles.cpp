// libFuzzer target: the platform's small text files that other processes write, through the calls
// that read them: a profile (INI) file, a registry hive and the atom table. The first byte picks the
// file; the rest is its content. Input scripts, which tests and players write by hand, come through
// here too. Each call then also writes the file back once.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "vokplat/window.h"
#include "win32/windows.h"

namespace {

std::string folder()
{
    static const std::string dir = [] {
        // In memory where there is such a folder: every save is flushed to disk.
        struct stat st;
        std::string name = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        name += "/vok_fuzz_platfiles_XXXXXX";
        if (mkdtemp(name.data()) == nullptr)
            abort();
        const std::string d = name;
        static std::string made = d;
        atexit([] { std::filesystem::remove_all(made); });
        setenv("VOK_REGISTRY_DIR", d.c_str(), 1);
        setenv("VOK_ATOM_DIR", (d + "/atoms.d").c_str(), 1);
        return d;
    }();
    return dir;
}

void put(const std::string &path, const uint8_t *data, size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data), long(size));
}

void profile(const std::string &path)
{
    char buffer[512];
    GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, path.c_str());
    GetPrivateProfileStringA("General", nullptr, "", buffer, sizeof buffer, path.c_str());
    GetPrivateProfileStringA("General", "Name", "none", buffer, sizeof buffer, path.c_str());
    GetPrivateProfileSectionA("General", buffer, sizeof buffer, path.c_str());
    GetPrivateProfileIntA("General", "Level", 3, path.c_str());
    WritePrivateProfileStringA("General", "Name", "Ann", path.c_str());
}

void registry()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vok", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        BYTE value[256];
        DWORD type = 0, size = sizeof value;
        RegQueryValueExA(key, "Path", nullptr, &type, value, &size);
        size = sizeof value;
        RegQueryValueExA(key, nullptr, nullptr, &type, value, &size);
        RegCloseKey(key);
    }
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vok", &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE *>("C:\\"), 4);
        RegCloseKey(key);
    }
}

void atoms()
{
    GlobalFindAtomA("Vok");
    GlobalFindAtomA("#49152");
    ATOM added = GlobalAddAtomA("Vok");
    if (added != 0)
        GlobalDeleteAtom(added);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string dir = folder();
    switch (data[0] % 4) {
    case 0:
        put(dir + "/game.ini", data + 1, size - 1);
        profile(dir + "/game.ini");
        break;
    case 1:
        put(dir + "/user.hive", data + 1, size - 1);
        registry();
        break;
    case 3: {
        std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
        VokLoadInputScriptText(text.c_str());
        VokLoadInputScriptText("");
        break;
    }
    default:
        mkdir((dir + "/atoms.d").c_str(), 0700);
        put(dir + "/atoms.d/atoms", data + 1, size - 1);
        atoms();
        break;
    }
    return 0;
}
