// kprun [--kind N] [--family N] [--level N] [--lang N] [--window-mode N] [--speed 0-8] [--out FILE.png]
// kprun --play FILE.rep [--out FILE.png]
// Starts the Kelpa module the way the main program's launcher does: the framework started on the
// program folder, the interface record filled (game, kind, level family and number, language, window
// mode), a host window handed over, KpDll loaded by name and StartKelpa called. With --out the game
// is closed after its first frame and the window's picture is written to FILE.png (relative to the
// folder kprun was started from). --speed is the speed of this run, whatever the player's list
// holds (the player's own is kept unless the game changed it; a run that died midway has it put
// back by the next). --play shows
// a replay through PlayKp in a child window of the host (relative names are the caller's). Keys and
// pictures while it runs come from an input script (VOK_INPUT_SCRIPT).
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "vokplat/savefile.h"
#include "vokplat/stdio.h"
#include "vokplat/window.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"
#include "win32/windows.h"

namespace {

int usage()
{
    fprintf(stderr,
            "usage: kprun [--kind 100|101|102] [--family N] [--level N] [--lang 0-4] [--window-mode -1|0|1]"
            " [--speed 0-8] [--out FILE.png]\n       kprun --play FILE.rep [--out FILE.png]\n");
    return 2;
}

bool number(const char *what, const char *text, long lo, long hi, int &out)
{
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < lo || v > hi) {
        fprintf(stderr, "kprun: %s '%s' is not a number from %ld to %ld\n", what, text, lo, hi);
        return false;
    }
    out = int(v);
    return true;
}

LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

// The folder of the program, with its trailing separator, as the platform writes it.
std::string programFolder()
{
    char path[1024] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path - 1);
    std::string s(path, n);
    const size_t cut = s.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : s.substr(0, cut + 1);
}

KpSettings *kelpaSettings(VokInterFace *face)
{
    return face->generalSettings != nullptr
               ? static_cast<KpSettings *>(face->generalSettings->gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE])
               : nullptr;
}

// While a run plays at a speed of its own, the player's own speed waits in this file: a run that
// died midway leaves it, and the next run puts it back before anything else.
std::string keptSpeedPath()
{
    return VokMakeWritePath("", "%s", "kprun_speed.txt");
}

// The player's own speed goes back into players.lst unless the game chose another than the run's.
void putSpeedBack(VokInterFace *face, int own, int runs)
{
    VokGetPlayerName(nullptr);
    KpSettings *settings = kelpaSettings(face);
    if (settings != nullptr && settings->speed == runs) {
        settings->speed = own;
        if (!VokSetPlayerName(face->playerName)) {
            fprintf(stderr, "kprun: players.lst cannot take the player's own speed back\n");
            return;
        }
    }
    DeleteFileA(keptSpeedPath().c_str());
}

// A speed an earlier run left in the list goes back to the player it was taken from.
void putLeftSpeedBack(VokInterFace *face)
{
    FILE *in = PlatFopen(keptSpeedPath().c_str(), "rb");
    if (in == nullptr)
        return;
    int own = -1, runs = -1;
    char name[64] = {};
    const bool read = fscanf(in, "%d %d %63[^\n]", &own, &runs, name) == 3;
    fclose(in);
    if (read && own >= 0 && own <= 8 && face->playerName != nullptr && strcmp(name, face->playerName) == 0)
        putSpeedBack(face, own, runs);
    else
        DeleteFileA(keptSpeedPath().c_str());
}

}  // namespace

int main(int argc, char **argv)
{
    int kind = 101, family = 0, level = 1, lang = 0, mode = 0;
    int speed = -1;
    const char *out = nullptr, *play = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (v == nullptr)
            return usage();
        bool ok = true;
        if (!strcmp(a, "--kind"))
            ok = number("kind", v, 100, 102, kind);
        else if (!strcmp(a, "--family"))
            ok = number("family", v, 0, 9, family);
        else if (!strcmp(a, "--level"))
            ok = number("level", v, 0, 99, level);
        else if (!strcmp(a, "--lang"))
            ok = number("language", v, 0, 4, lang);
        else if (!strcmp(a, "--window-mode"))
            ok = number("window mode", v, -1, 1, mode);
        else if (!strcmp(a, "--speed"))
            ok = number("speed", v, 0, 8, speed);
        else if (!strcmp(a, "--play"))
            play = v;
        else if (!strcmp(a, "--out"))
            out = v;
        else
            return usage();
        if (!ok)
            return 2;
        i++;
    }
    // The picture's name is the caller's: the playback library moves the process into the program
    // folder as it loads and the game into its own, so a relative name is taken against the folder
    // the shell started us in.
    char cwd[PATH_MAX];
    const char *caller = getenv("PWD");
    if (caller == nullptr || caller[0] != '/')
        caller = getcwd(cwd, sizeof cwd);
    auto callers = [&](const char *name) {
        return name[0] == '/' || caller == nullptr ? std::string(name) : std::string(caller) + "/" + name;
    };
    const std::string outPath = out != nullptr ? callers(out) : std::string();
    const std::string playPath = play != nullptr ? callers(play) : std::string();

    InitVokScore("Data\\");
    VokInterFace *face = VokGetInterFace(VOK_GAME_KELPA);
    if (face == nullptr) {
        fprintf(stderr, "kprun: no interface record\n");
        return 1;
    }
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = hostProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "vokclass";
    RegisterClassA(&wc);
    RECT r = {0, 0, 640, 480};
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    AdjustWindowRect(&r, style, FALSE);
    HWND host = CreateWindowExA(0, "vokclass", "Kelpa", style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (host == nullptr) {
        fprintf(stderr, "kprun: the window cannot be made\n");
        return 1;
    }
    ShowWindow(host, SW_SHOWNORMAL);
    UpdateWindow(host);
    face->hostWnd = host;
    face->ownerWnd = host;
    face->hostDC = GetDC(host);
    face->windowMode = mode;
    face->gameKind = kind;
    face->levelFamily = family;
    face->levelNumber = level;
    face->language = lang;
    face->inGame = 1;
    // The module asks for the record again as it starts, and that reads the player's speed from
    // players.lst: the speed asked for goes there first, and the player's own comes back after the
    // run unless the game chose another meanwhile.
    putLeftSpeedBack(face);
    KpSettings *settings = kelpaSettings(face);
    const int playersSpeed = settings != nullptr ? settings->speed : -1;
    const bool ownSpeed = speed >= 0 && settings != nullptr && speed != playersSpeed;
    if (speed >= 0 && settings != nullptr) {
        settings->speed = speed;
        if (ownSpeed) {
            const std::string kept = std::to_string(playersSpeed) + " " + std::to_string(speed) + " " +
                                     (face->playerName != nullptr ? face->playerName : "") + "\n";
            if (!PlatSaveFile(keptSpeedPath().c_str(), kept.data(), kept.size()))
                fprintf(stderr, "kprun: %s cannot be written\n", keptSpeedPath().c_str());
            if (!VokSetPlayerName(face->playerName))
                fprintf(stderr, "kprun: players.lst cannot take the speed; the player's own speed may be used\n");
        }
    }

    HMODULE module = LoadLibraryA((programFolder() + "KpDll").c_str());
    if (module == nullptr)
        module = LoadLibraryA("KpDll");
    using Start = int (*)();
    using Play = int (*)(HWND, int, const char *);
    Start start = module != nullptr ? reinterpret_cast<Start>(GetProcAddress(module, "StartKelpa")) : nullptr;
    Play playKp = module != nullptr ? reinterpret_cast<Play>(GetProcAddress(module, "PlayKp")) : nullptr;
    if (start == nullptr || playKp == nullptr) {
        fprintf(stderr, "kprun: KpDll or its StartKelpa and PlayKp cannot be found\n");
        if (ownSpeed)
            putSpeedBack(face, playersSpeed, speed);
        return 1;
    }
    // With a picture to take and no script to end it, the game ends after its first frame.
    if (out != nullptr && getenv("VOK_INPUT_SCRIPT") == nullptr)
        PostMessageA(host, WM_CLOSE, 0, 0);
    const int result = play != nullptr ? playKp(host, 0, playPath.c_str()) : start();
    face->inGame = 0;
    if (ownSpeed)
        putSpeedBack(face, playersSpeed, speed);
    int status = 0;
    if (out != nullptr && !VokCaptureWindowPng(host, outPath.c_str())) {
        fprintf(stderr, "kprun: cannot write %s\n", outPath.c_str());
        status = 1;
    }
    FreeLibrary(module);
    ReleaseDC(host, face->hostDC);
    DestroyWindow(host);
    printf("kprun: StartKelpa answered %d\n", result);
    return status;
}
