// The stand-alone viewer entry: opens the .mzi movie its command line names in the given window,
// plays it until the window's message loop ends, then ends the process.
#include <cstring>

#include "library.h"

namespace {
constexpr UINT kViewerExitCode = 0x12345678;
}

MEDIA_API void DllPlayMedia(HWND window, HINSTANCE, LPSTR commandLine, int showState)
{
    MediaHandle movie = MEDIA_BAD_HANDLE;
    if (commandLine != nullptr && std::strstr(commandLine, ".mzi") != nullptr)
        movie = MediaOpen(MEDIA_MZI, commandLine, MEDIAPARAM_PARENT, window, MEDIAPARAM_HOLDATEND, 1);
    if (movie == MEDIA_BAD_HANDLE)
        ExitProcess(0);
    ShowWindow(window, showState);
    PlayMedia(movie);
    MSG msg;
    while (IsWindow(window) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CloseMedia(movie);
    ExitProcess(kViewerExitCode);
}
