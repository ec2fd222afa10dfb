// voksound: the framework's sound layer from the command line.
//   voksound PACK INDEX [SECONDS]   plays sound INDEX of PACK once
//   voksound --cd TRACK [SECONDS]   plays CD track TRACK (disc track TRACK + 1)
//   voksound --list PACK            names of the pack's entries in order
//   voksound --make PACK [COUNT]    writes a pack of COUNT generated tones (default 15)
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "vokplat/paths.h"
#include "vokplat/save.h"
#include "vokscore/soundpack.h"
#include "vokscore/vokscore.h"
#include "vokscore/wave.h"
#include "win32/windows.h"

namespace {

int usage()
{
    fprintf(stderr, "usage: voksound PACK INDEX [SECONDS] | --cd TRACK [SECONDS] | --list PACK | --make PACK [COUNT]\n");
    return 2;
}

HWND make_window()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "voksound";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "voksound", "voksound", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// Lets the sound play for `seconds`, delivering what the media objects post.
void wait(double seconds)
{
    const DWORD end = GetTickCount() + DWORD(seconds * 1000);
    while (int32_t(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
}

int make_pack(const char *path, int count)
{
    vokpack::SoundEntries entries;
    for (int i = 0; i < count; i++) {
        char name[16];
        snprintf(name, sizeof name, "tone%02d", i);
        entries.emplace_back(name, vokpack::make_wave(vokpack::tone_samples(220.0 * (1.0 + i / 4.0), 150, 22050), 1,
                                                      22050, 16));
    }
    const std::vector<uint8_t> bytes = vokpack::build_pack(entries);
    if (!PlatWriteFileAtomic(path, bytes.data(), bytes.size())) {
        fprintf(stderr, "voksound: cannot write %s\n", path);
        return 1;
    }
    printf("%s: %d sounds\n", path, count);
    return 0;
}

int list_pack(const char *path)
{
    VokSoundPackDir *dir = VokReadSoundPackDir(path);
    if (dir == nullptr) {
        fprintf(stderr, "voksound: %s is no sound pack\n", path);
        return 1;
    }
    int i = 0;
    for (const char *name; (name = VokFindSoundPackEntry(dir, nullptr)) != nullptr; i++)
        printf("%d %s\n", i, name);
    VokFreeSoundPackDir(dir);
    return 0;
}

// The number of entries of the pack at `path`, or -1 when it is no sound pack.
int entry_count(const char *path)
{
    VokSoundPackDir *dir = VokReadSoundPackDir(path);
    if (dir == nullptr)
        return -1;
    int n = 0;
    while (VokFindSoundPackEntry(dir, nullptr) != nullptr)
        n++;
    VokFreeSoundPackDir(dir);
    return n;
}

// A whole decimal number in 0..max, else -1.
long number(const char *text, long max)
{
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < 0 || v > max)
        return -1;
    return v;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    if (strcmp(argv[1], "--make") == 0)
        return make_pack(PlatToolPath(argv[2]), argc > 3 ? atoi(argv[3]) : 15);
    if (strcmp(argv[1], "--list") == 0)
        return list_pack(PlatToolPath(argv[2]));

    const double seconds = argc > 3 ? atof(argv[3]) : 2.0;
    VokGetInterFace(VOK_GAME_VARNEL);
    HWND window = make_window();
    VokInitInterFace(window);
    int rc = 0;
    if (strcmp(argv[1], "--cd") == 0) {
        VokInitCD();
        const int track = atoi(argv[2]);
        if (VokPlayCDtrack(track) != track || track == 0) {
            fprintf(stderr, "voksound: no CD track %d (no disc, or music off)\n", track);
            rc = 1;
        } else {
            printf("CD track %d\n", track);
            wait(seconds);
        }
        VokKillCD();
    } else {
        const long index = number(argv[2], 1 << 30);
        const int count = index < 0 ? 0 : entry_count(PlatToolPath(argv[1]));
        SoundSet *set = nullptr;
        if (index < 0) {
            fprintf(stderr, "voksound: sound index '%s' is not a number\n", argv[2]);
            rc = 2;
        } else if (count < 0) {
            fprintf(stderr, "voksound: %s is no sound pack\n", argv[1]);
            rc = 1;
        } else if (count == 0) {
            fprintf(stderr, "voksound: %s holds no sounds\n", argv[1]);
            rc = 1;
        } else if (index >= count) {
            fprintf(stderr, "voksound: %s has no sound %ld (it holds %d, 0..%d)\n", argv[1], index, count,
                    count - 1);
            rc = 1;
        } else if ((set = VokInitSound(PlatToolPath(argv[1]))) == nullptr) {
            fprintf(stderr, "voksound: no sounds from %s (no pack, or no sound device)\n", argv[1]);
            rc = 1;
        } else {
            printf("sound %ld of %s\n", index, argv[1]);
            VokPlaySound(set, int(index));
            wait(seconds);
            VokKillSound(set);
        }
    }
    VokCloseInterFace();
    DestroyWindow(window);
    return rc;
}
