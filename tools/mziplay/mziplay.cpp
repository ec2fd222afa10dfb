// mziplay: plays an .mzi movie with its sound in a window of its own, through Media.so as the
// framework loads it. Space pauses and continues, Escape or closing the window ends; the program
// ends by itself when the movie does (with --loop it plays on).
//   mziplay [--loop] <clip.mzi>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "media/media.h"
#include "vokplat/paths.h"
#include "win32/windows.h"

namespace {

struct MediaCalls {
    decltype(&OpenMedia) open;
    decltype(&CloseMedia) close;
    decltype(&PlayMedia) play;
    decltype(&PauseMedia) pause;
    decltype(&ContinueMedia) resume;
    decltype(&GetMediaState) state;
    decltype(&GetMediaParams) get;
};

MediaCalls g_media;
MediaHandle g_movie = MEDIA_BAD_HANDLE;

template <class T>
bool bind(HMODULE module, const char *name, T &out)
{
    out = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    return out != nullptr;
}

LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case MEDIAMSG_STOPPED:
        // The natural end reports frame 0 and hides the movie.
        if (lParam == 0 && g_movie != MEDIA_BAD_HANDLE && g_media.state(g_movie) == MEDIA_STATE_STOPPED)
            PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(hwnd);
        else if (wParam == VK_SPACE && g_movie != MEDIA_BAD_HANDLE)
            g_media.state(g_movie) == MEDIA_STATE_PLAYING ? g_media.pause(g_movie) : g_media.resume(g_movie);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    bool loop = false;
    const char *clip = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) == "--loop")
            loop = true;
        else if (clip == nullptr && argv[i][0] != '-')
            clip = PlatToolPath(argv[i]);
        else
            clip = nullptr, i = argc;
    }
    if (clip == nullptr) {
        fprintf(stderr, "usage: mziplay [--loop] <clip.mzi>\n");
        return 2;
    }
    // The library moves the process into the program's folder when it loads: name the clip fully first.
    char full[PATH_MAX];
    if (realpath(clip, full) == nullptr) {
        fprintf(stderr, "mziplay: cannot find '%s'\n", clip);
        return 1;
    }
    HMODULE media = LoadLibraryA("Media.dll");
    if (media == nullptr || !bind(media, "OpenMedia", g_media.open) || !bind(media, "CloseMedia", g_media.close) ||
        !bind(media, "PlayMedia", g_media.play) || !bind(media, "PauseMedia", g_media.pause) ||
        !bind(media, "ContinueMedia", g_media.resume) || !bind(media, "GetMediaState", g_media.state) ||
        !bind(media, "GetMediaParams", g_media.get)) {
        fprintf(stderr, "mziplay: cannot load Media\n");
        return 1;
    }

    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "mziplay";
    RegisterClassA(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExA(0, "mziplay", clip, style, CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, nullptr,
                                  nullptr, nullptr, nullptr);
    g_movie = g_media.open(MEDIA_MZI, MEDIA_W(full), MEDIA_W(MEDIAPARAM_PARENT), MEDIA_W(window),
                           MEDIA_W(MEDIAPARAM_LOOP), MEDIA_W(loop ? 1 : 0), MEDIA_W(0));
    if (g_movie == MEDIA_BAD_HANDLE) {
        fprintf(stderr, "mziplay: '%s' is not a playable movie\n", clip);
        DestroyWindow(window);
        FreeLibrary(media);
        return 1;
    }
    int32_t source[4] = {};
    g_media.get(g_movie, MEDIA_W(MEDIAPARAM_SOURCERECT), MEDIA_W(source), MEDIA_W(0));
    RECT frame{0, 0, source[2] - source[0], source[3] - source[1]};
    AdjustWindowRect(&frame, style, FALSE);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
    g_media.play(g_movie);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_media.close(g_movie);
    g_movie = MEDIA_BAD_HANDLE;
    if (IsWindow(window))
        DestroyWindow(window);
    FreeLibrary(media);
    return 0;
}
