// The stand-alone viewer entry: opens the .mzi movie its command line names in the given window,
// turns the window into the viewer and plays the movie until the window's message loop ends, then
// ends the process.
#include "viewer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "library.h"

namespace media {

namespace {

constexpr UINT kViewerExitCode = 0x12345678;
constexpr UINT kViewerFailedCode = 1;
constexpr int kMinMovieWidth = 250;
constexpr int kMinOuterWidth = 400;
constexpr int kSpaceBelow = 150;
constexpr int kSpaceRight = 250;
constexpr int kMaxFps = 50;
const char kPanelClass[] = "Media_ViewerPanel";
const char kTextClass[] = "Media_ViewerText";
const char kTrackClass[] = "Media_ViewerTrack";
const char kWaitClass[] = "Media_ViewerWait";

}  // namespace

struct Viewer {
    MediaHandle movie = MEDIA_BAD_HANDLE;
    HWND host = nullptr;
    HINSTANCE instance = nullptr;
    WNDPROC host_proc = nullptr;
    std::string title;
    RECT source{};  // widened to at least kMinMovieWidth
    int32_t frames = 0;
    uint16_t fps = 0;
    uint8_t blend = 0;
    uint8_t loop = 0;
    int32_t track_position = 0;
    HWND control = nullptr, info = nullptr;
    HWND counter = nullptr, track = nullptr, fps_text = nullptr, alpha = nullptr, loop_text = nullptr;
    HWND full_size = nullptr, size = nullptr;
};

namespace {

Viewer *g_viewer = nullptr;  // the one viewer of the process, from viewer_start to viewer_stop

void register_viewer_classes(HINSTANCE instance);
void unregister_viewer_classes(HINSTANCE instance);

int32_t get32(MediaHandle movie, int id)
{
    int32_t v = 0;
    MediaGet(movie, id, &v);
    return v;
}

// Without std::to_string: its digit table would be exported by the module.
std::string number_text(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

void set_text(HWND w, const std::string &text)
{
    if (w != nullptr)
        SetWindowTextA(w, text.c_str());
}

void run_command(Viewer &v, int command)
{
    const int32_t frames = get32(v.movie, MEDIAPARAM_FRAMES);
    const int32_t current = get32(v.movie, MEDIAPARAM_FRAME);
    if (command >= kViewerStop && command <= kViewerLast && command != kViewerExit)
        PauseMedia(v.movie);
    if (command == kViewerPlay) {
        PlayMedia(v.movie);
    } else if (command == kViewerExit) {
        SendMessageA(v.host, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        if (std::optional<int32_t> target = viewer_target_frame(command, current, frames))
            MediaSet(v.movie, MEDIAPARAM_FRAME, *target);  // out-of-range frames are ignored
    }
}

// The keys that stand for the menu and the panel's controls.
bool key_command(Viewer &v, WPARAM key)
{
    int command = 0;
    switch (key) {
    case 'P':
    case VK_SPACE:
        command = kViewerPlay;
        break;
    case 'S':
        command = kViewerStop;
        break;
    case 'N':
    case VK_RIGHT:
        command = kViewerNext;
        break;
    case 'E':
    case VK_LEFT:
        command = kViewerPrev;
        break;
    case 'F':
    case VK_HOME:
        command = kViewerFirst;
        break;
    case 'L':
    case VK_END:
        command = kViewerLast;
        break;
    case 'X':
        command = kViewerExit;
        break;
    case VK_ESCAPE:
        SendMessageA(v.host, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    case 'O':  // the loop box
        v.loop = !v.loop;
        MediaSet(v.movie, MEDIAPARAM_LOOP, v.loop);
        set_text(v.loop_text, v.loop ? "Loop: on" : "Loop: off");
        return true;
    case VK_ADD:
    case VK_OEM_PLUS:
    case VK_SUBTRACT:
    case VK_OEM_MINUS: {  // the frames-per-second field and its arrows, 1 to 50
        const int step = (key == VK_ADD || key == VK_OEM_PLUS) ? 1 : -1;
        v.fps = uint16_t(std::clamp(int(v.fps) + step, 1, kMaxFps));
        MediaSet(v.movie, MEDIAPARAM_FPS, v.fps);
        set_text(v.fps_text, number_text(v.fps));
        return true;
    }
    default:
        return false;
    }
    run_command(v, command);
    return true;
}

// The control panel: the frame counter, the position bar and the movie's notices.
LRESULT CALLBACK control_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *v = reinterpret_cast<Viewer *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
    if (v == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_SIZE: {
        const int w = LOWORD(lParam), h = HIWORD(lParam);
        MoveWindow(v->counter, 16, h - 50, w, 26, TRUE);
        MoveWindow(v->track, 0, h - 24, w, 24, TRUE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        RECT band{0, client.bottom - 55, client.right, client.bottom - 52};
        DrawEdge(dc, &band, EDGE_ETCHED, BF_RECT);
        EndPaint(hwnd, &ps);
        MediaSet(v->movie, MEDIAPARAM_REDRAW, 1);
        return 0;
    }
    case MEDIAMSG_FRAMEDRAWN: {
        const int32_t f = int32_t(lParam);
        const std::string counter = viewer_counter_text(f, v->frames, v->fps);
        set_text(v->counter, counter);
        set_text(v->host, v->title + "  " + counter);
        v->track_position = f;
        InvalidateRect(v->track, nullptr, TRUE);
        int32_t full[4] = {}, drawn[4] = {};
        MediaGet(v->movie, MEDIAPARAM_SOURCERECT, full, MEDIAPARAM_FRAMERECT, drawn);
        char text[96];
        std::snprintf(text, sizeof text, "W:%.3d, H:%.3d", full[2] - full[0], full[3] - full[1]);
        set_text(v->full_size, text);
        std::snprintf(text, sizeof text, "X:%.3d, Y:%.3d, W:%.3d, H:%.3d", drawn[0], drawn[1], drawn[2] - drawn[0],
                      drawn[3] - drawn[1]);
        set_text(v->size, text);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

// The position bar: a grey groove with a dark thumb; a click moves the movie there, paused.
LRESULT CALLBACK track_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *v = reinterpret_cast<Viewer *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
    if (v == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    RECT client;
    GetClientRect(hwnd, &client);
    const int span = std::max(v->frames - 1, 1);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT groove{4, client.bottom / 2 - 2, client.right - 4, client.bottom / 2 + 2};
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        FillRect(dc, &groove, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        const int x = 4 + int(int64_t(client.right - 14) * std::clamp(v->track_position, 0, span) / span);
        RECT thumb{x, 2, x + 6, client.bottom - 2};
        FillRect(dc, &thumb, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        const int x = std::clamp(GET_X_LPARAM(lParam) - 4, 0, std::max<int>(client.right - 14, 1));
        PauseMedia(v->movie);
        MediaSet(v->movie, MEDIAPARAM_FRAME, int32_t(int64_t(x) * span / std::max<int>(client.right - 14, 1)));
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK host_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Viewer *v = g_viewer;
    if (v == nullptr || hwnd != v->host)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message >= MEDIAMSG_FIRST && message <= MEDIAMSG_FIRST + 0x0D) {
        // Keys pressed over the movie come back as its notice.
        if (message == MEDIAMSG_KEY && lParam != 0) {
            const auto *record = reinterpret_cast<const MediaInputRecord *>(lParam);
            if (record->message == WM_KEYDOWN)
                key_command(*v, record->wParam);
        }
        return SendMessageA(v->control, message, wParam, lParam);
    }
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        return 1;
    }
    case WM_KEYDOWN:
        if (key_command(*v, wParam))
            return 0;
        break;
    case WM_COMMAND:
        run_command(*v, LOWORD(wParam));
        return 0;
    default:
        break;
    }
    return CallWindowProcA(v->host_proc, hwnd, message, wParam, lParam);
}

HWND make_child(const char *cls, const char *text, HWND parent, int id, Viewer *v, int x, int y, int w, int h)
{
    HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                                 reinterpret_cast<HMENU>(intptr_t(id)), library().instance, nullptr);
    if (child != nullptr)
        SetWindowLongPtrA(child, GWL_USERDATA, reinterpret_cast<LONG_PTR>(v));
    return child;
}

void register_viewer_classes(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpfnWndProc = control_proc;
    wc.lpszClassName = kPanelClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = kTextClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = kWaitClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = track_proc;
    wc.lpszClassName = kTrackClass;
    RegisterClassA(&wc);
}

// The procedures live in this library: no class outlives the viewer.
void unregister_viewer_classes(HINSTANCE instance)
{
    for (const char *name : {kPanelClass, kTextClass, kWaitClass, kTrackClass})
        UnregisterClassA(name, instance);
}

}  // namespace

std::optional<int32_t> viewer_target_frame(int command, int32_t current, int32_t frames)
{
    switch (command) {
    case kViewerNext:
        return current + 1;
    case kViewerPrev:
        return current - 1;
    case kViewerFirst:
        return 0;
    case kViewerLast:
        return frames - 1;
    default:
        return std::nullopt;
    }
}

std::string viewer_counter_text(int32_t frame, int32_t frames, uint16_t fps)
{
    const double rate = fps > 0 ? double(fps) : 1.0;
    char text[96];
    std::snprintf(text, sizeof text, "%.3d / %.3d  ( %8.4f / %8.4f )", frame, frames - 1, frame / rate,
                  (frames - 1) / rate);
    return text;
}

SIZE viewer_window_size(int movie_width, int movie_height, int frame_width, int frame_height)
{
    SIZE s{LONG(movie_width + kSpaceRight + frame_width), LONG(movie_height + kSpaceBelow + frame_height)};
    s.cx = std::max<LONG>(s.cx, kMinOuterWidth);
    return s;
}

POINT viewer_window_place(SIZE size, RECT work)
{
    const LONG x = work.left + (work.right - work.left - size.cx) / 2;
    const LONG y = work.top + (work.bottom - work.top - size.cy) / 2;
    return POINT{std::max(work.left, std::min<LONG>(x, work.right - size.cx)),
                 std::max(work.top, std::min<LONG>(y, work.bottom - size.cy))};
}

Viewer *viewer_start(HWND window, HINSTANCE instance, const char *commandLine, int showState)
{
    if (g_viewer != nullptr || !IsWindow(window))
        return nullptr;
    register_viewer_classes(library().instance);
    const std::string line = commandLine != nullptr ? commandLine : "";

    // The wait note while the movie loads.
    HWND wait = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kWaitClass, line.c_str(), WS_POPUP | WS_BORDER,
                                0, 0, 260, 40, nullptr, nullptr, library().instance, nullptr);
    if (wait != nullptr) {
        make_child(kTextClass, "Starting MediaPlayer, please wait ...", wait, 0, nullptr, 8, 8, 244, 24);
        ShowWindow(wait, SW_SHOW);
        UpdateWindow(wait);
    }
    MediaHandle movie = MEDIA_BAD_HANDLE;
    if (line.find(".mzi") != std::string::npos)
        movie = MediaOpen(MEDIA_MZI, line.c_str(), MEDIAPARAM_PARENT, window, MEDIAPARAM_HOLDATEND, 1);
    if (wait != nullptr)
        DestroyWindow(wait);
    if (movie == MEDIA_BAD_HANDLE) {
        unregister_viewer_classes(library().instance);
        return nullptr;
    }

    auto v = std::make_unique<Viewer>();
    v->movie = movie;
    v->host = window;
    v->instance = instance;
    v->title = line;
    int32_t source[4] = {};
    MediaGet(movie, MEDIAPARAM_SOURCERECT, source, MEDIAPARAM_FRAMES, &v->frames, MEDIAPARAM_FPS, &v->fps,
             MEDIAPARAM_BLEND, &v->blend);
    v->source = RECT{source[0], source[1], source[2], source[3]};
    if (v->source.right - v->source.left < kMinMovieWidth)
        v->source.right = v->source.left + kMinMovieWidth;
    const int mw = v->source.right - v->source.left, mh = v->source.bottom - v->source.top;

    g_viewer = v.get();
    v->host_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(host_proc)));
    SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_CLIPCHILDREN | WS_SYSMENU);
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_TOOLWINDOW);
    SetWindowTextA(window, line.c_str());

    // Outer size from the frame the window has around its client area.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongA(window, GWL_EXSTYLE)));
    const SIZE outer = viewer_window_size(mw, mh, frame.right - frame.left, frame.bottom - frame.top);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    if (IsRectEmpty(&work))
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const POINT at = viewer_window_place(outer, work);
    SetWindowPos(window, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER);
    RECT client;
    GetClientRect(window, &client);

    Viewer *p = v.get();
    v->control = make_child(kPanelClass, "", window, kViewerControlPanel, p, mw, 0, client.right - mw, client.bottom);
    v->info = make_child(kPanelClass, "", window, kViewerInfoPanel, nullptr, 0, mh, mw, client.bottom - mh);
    const int pw = client.right - mw;
    v->loop_text = make_child(kTextClass, "Loop: off", v->control, kViewerLoop, nullptr, 16, 8, pw - 32, 20);
    v->fps_text = make_child(kTextClass, number_text(v->fps).c_str(), v->control, kViewerFps, nullptr, 16, 32,
                             pw - 32, 20);
    v->alpha = make_child(kTextClass, v->blend ? "Alpha : Yes" : "Alpha : No", v->control, kViewerAlpha, nullptr,
                          16, 56, pw - 32, 20);
    v->counter = make_child(kTextClass, "", v->control, kViewerCounter, nullptr, 16, client.bottom - 50, pw, 26);
    v->track = make_child(kTrackClass, "", v->control, kViewerTrack, p, 0, client.bottom - 24, pw, 24);
    v->full_size = make_child(kTextClass, "Full size :", v->info, kViewerFullSize, nullptr, 16, 8, mw - 32, 20);
    v->size = make_child(kTextClass, "Size :", v->info, kViewerSize, nullptr, 16, 32, mw - 32, 20);

    ShowWindow(window, showState);
    return v.release();
}

MediaHandle viewer_movie(const Viewer *viewer)
{
    return viewer != nullptr ? viewer->movie : MEDIA_BAD_HANDLE;
}

HWND viewer_item(const Viewer *v, int item)
{
    if (v == nullptr)
        return nullptr;
    switch (item) {
    case kViewerControlPanel:
        return v->control;
    case kViewerInfoPanel:
        return v->info;
    case kViewerLoop:
        return v->loop_text;
    case kViewerTrack:
        return v->track;
    case kViewerFps:
        return v->fps_text;
    case kViewerCounter:
        return v->counter;
    case kViewerAlpha:
        return v->alpha;
    case kViewerFullSize:
        return v->full_size;
    case kViewerSize:
        return v->size;
    default:
        return nullptr;
    }
}

void viewer_stop(Viewer *v)
{
    if (v == nullptr)
        return;
    CloseMedia(v->movie);
    if (IsWindow(v->host) && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(v->host, GWL_WNDPROC)) == host_proc)
        SetWindowLongPtrA(v->host, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(v->host_proc));
    for (HWND panel : {v->control, v->info})
        if (IsWindow(panel))
            DestroyWindow(panel);
    if (g_viewer == v)
        g_viewer = nullptr;
    delete v;
    unregister_viewer_classes(library().instance);
}

}  // namespace media

MEDIA_API void DllPlayMedia(HWND window, HINSTANCE instance, LPSTR commandLine, int showState)
{
    media::Viewer *viewer = media::viewer_start(window, instance, commandLine, showState);
    if (viewer == nullptr)
        ExitProcess(media::kViewerFailedCode);
    PlayMedia(media::viewer_movie(viewer));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    media::viewer_stop(viewer);
    ExitProcess(media::kViewerExitCode);
}
