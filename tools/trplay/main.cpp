// trplay [--editor | --play] [FIELD.trl]
// Starts Terrow from TrDll.so beside the program, as the main program would: the field is played in
// the module's own window (StartTerrow), edited in Fenlow (--editor: game kind 102), or played
// through PlayTRL (--play). Escape closes the window. Paths are the caller's, also after the
// framework moved the process into the program's folder.
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "vokplat/paths.h"
#include "vokscore/vokiface.h"
#include "win32/winmod.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: trplay [--editor | --play] [FIELD.trl]\n");
    return 2;
}

std::string program_folder(const char *argv0)
{
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string p = n > 0 ? std::string(self, (size_t)n) : std::string(PlatToolPath(argv0));
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

}  // namespace

int main(int argc, char **argv)
{
    enum { kGame, kEditor, kPlay } mode = kGame;
    const char *field = nullptr;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--editor") == 0)
            mode = kEditor;
        else if (strcmp(argv[i], "--play") == 0)
            mode = kPlay;
        else if (argv[i][0] == '-' || field != nullptr)
            return usage();
        else
            field = argv[i];
    }
    if (mode == kPlay && field == nullptr)
        return usage();
    std::string fieldPath = field != nullptr ? PlatToolPath(field) : "";
    if (field != nullptr && access(fieldPath.c_str(), R_OK) != 0) {
        fprintf(stderr, "trplay: cannot read %s\n", field);
        return 1;
    }
    std::string module = program_folder(argv[0]) + "/TrDll.so";

    InitVokScore("Data\\");
    VokInterFace *face = VokGetInterFace(VOK_GAME_TERROW);
    face->gameKind = mode == kEditor ? 102 : 100;
    face->windowMode = 0;
    face->inGame = 1;
    snprintf(face->levelPath, sizeof face->levelPath, "%s", fieldPath.c_str());

    HMODULE dll = LoadLibraryA(module.c_str());
    if (dll == nullptr) {
        fprintf(stderr, "trplay: cannot load %s\n", module.c_str());
        return 1;
    }
    int result;
    if (mode == kPlay) {
        auto play = reinterpret_cast<int32_t (*)(HWND, uint32_t, const char *)>(GetProcAddress(dll, "PlayTRL"));
        result = play != nullptr ? play(nullptr, 0, fieldPath.c_str()) : -1;
    } else {
        auto start = reinterpret_cast<int32_t (*)(void)>(GetProcAddress(dll, "StartTerrow"));
        result = start != nullptr ? start() : -1;
    }
    FreeLibrary(dll);
    if (result < 0) {
        fprintf(stderr, "trplay: TrDll.so lacks its start exports\n");
        return 1;
    }
    face->inGame = 0;
    return 0;
}
