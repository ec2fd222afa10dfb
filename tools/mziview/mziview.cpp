// mziview: hands a window and a movie's path to the viewer entry of Media.so, as a system loader of
// shared libraries would. The viewer ends the process: status 0x78 (the low byte of its exit code)
// after the window closed, 1 when the path names no playable .mzi movie.
//   mziview <clip.mzi>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "media/media.h"
#include "vokplat/paths.h"
#include "win32/windows.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: mziview <clip.mzi>\n");
        return 2;
    }
    // The library moves the process into the program's folder when it loads: name the clip fully first.
    char full[PATH_MAX];
    const char *given = PlatToolPath(argv[1]);
    const char *path = realpath(given, full) != nullptr ? full : given;
    HMODULE media = LoadLibraryA("Media.dll");
    auto play = media != nullptr ? reinterpret_cast<decltype(&DllPlayMedia)>(
                                       reinterpret_cast<void *>(GetProcAddress(media, "DllPlayMedia")))
                                 : nullptr;
    if (play == nullptr) {
        fprintf(stderr, "mziview: cannot load Media\n");
        return 1;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "mziview";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "mziview", "", WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 240, nullptr, nullptr, nullptr, nullptr);
    static char line[PATH_MAX];
    snprintf(line, sizeof line, "%s", path);
    play(window, GetModuleHandleA(nullptr), line, SW_SHOW);
    return 0;  // not reached: the viewer ends the process
}
