// Internal state of the window system: classes, windows, per-thread queues and timers. One lock
// guards all of it; window procedures and the backend are never called with the lock held.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "win32/wingdi.h"
#include "win32/winuser.h"

namespace plat {

struct WndClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cls_extra = 0, wnd_extra = 0;
    HINSTANCE inst = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    ATOM atom = 0;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WndClass> cls;
    HWND parent = nullptr;                 // WS_CHILD windows only
    HWND owner = nullptr;
    std::vector<HWND> children;            // bottom first
    DWORD style = 0, exstyle = 0;
    RECT rect{};                           // window rectangle: screen for top-level, parent client for children
    WNDPROC proc = nullptr;
    LONG_PTR userdata = 0, id = 0;
    HINSTANCE inst = nullptr;
    std::vector<uint8_t> extra;
    std::string text;
    pid_t tid = 0;
    bool destroying = false;
    bool created = false;                  // WM_CREATE answered
    RECT update{};                         // invalid part of the client area (a bounding box)
    bool erase = false;
    HMENU menu = nullptr;
    HDC own_dc = nullptr;                  // CS_OWNDC
    // Client-area surface, 0x00RRGGBB.
    int sw = 0, sh = 0;
    std::vector<uint32_t> pixels;
    // Top-level only: what the backend shows.
    void* surface = nullptr;
    bool dirty = false;
    unsigned gen = 1, shown_gen = 0;       // bumped when title/size/visibility/mode change
    bool raise = false;
};

struct SentMsg {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    LRESULT result = 0;
    bool done = false;
    bool notify = false;                   // SendNotifyMessage: nobody waits
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT ms;
    TIMERPROC proc;
    uint64_t due;
};

struct Queue {
    pid_t tid = 0;
    bool alive = true;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<SentMsg>> sent;
    std::vector<Timer> timers;
    bool quit = false;
    int quit_code = 0;
    int in_send = 0;                       // nesting of sent messages being handled
    DWORD msg_time = 0;
    BYTE keys[256] = {};                   // key state as of the last key message retrieved
};

// The one lock and its condition (notified on every post, send, reply and clock move).
std::mutex& wlock();
std::condition_variable& wcond();
using Lock = std::unique_lock<std::mutex>;

pid_t this_tid();
bool is_main_thread();

// All below: call with the lock held.
Window* win_get(HWND h);                   // live window or null
std::shared_ptr<Window> win_ref(HWND h);
std::map<HWND, std::shared_ptr<Window>>& win_all();
Queue& queue_of(pid_t tid);                // made on first use
Queue* queue_find(pid_t tid);
Window* top_of(Window* w);                 // the top-level window holding w
RECT client_rect_of(const Window* w);      // client area in the window's own rect coordinates
POINT client_origin_screen(const Window* w);
void resize_surface(Window* w);
void mark_dirty(Window* w);
void post_locked(Queue& q, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void invalidate_locked(Window* w, const RECT* r, bool erase);

// Without the lock.
LRESULT call_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
void activate_window(HWND hwnd, int how);  // how: WA_ACTIVE / WA_CLICKACTIVE
void app_deactivate();
void window_destroyed_cleanup(HWND hwnd);  // input state (focus, capture, active)

// Pump on the main thread: show windows, present dirty surfaces, take input. Any thread may call it.
void pump();
// Composes a top-level window (children over it) into `out`; returns false for an unknown window.
bool compose(HWND top, std::vector<uint32_t>& out, int& w, int& h);

// Input.
void input_event(const InputEvent& ev);
void input_on_retrieve(Queue& q, const MSG& m);  // lock held
SHORT key_state_async(int vk);
POINT cursor_locked();

// Automation: the input script's next event time (ms on the platform clock) or UINT64_MAX.
uint64_t script_next_due();
void script_pump();
// Reads VOK_INPUT_SCRIPT once (its answers join the message-box queue) without running any event.
void script_load();
void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void remember_frame(HWND top, const std::vector<uint32_t>& px, int w, int h);
// The main thread takes its quit message: VOK_CAPTURE is written then (and again at exit); when it
// cannot be, a quit code of 0 becomes 1.
void quit_capture(MSG* quit);
bool headless();

// Display mode of the DirectDraw stand-in: the screen the programs see while it is set.
bool display_mode(int& w, int& h, int& bits);
void screen_dims(int& w, int& h);
int desktop_bits();
void surface_dead(void* surface);     // lock held: the pump destroys it on the main thread
bool cursor_visible();
bool take_cursor_change();
// The cursor handle SetCursor set last.
void* current_cursor();
bool take_warp(POINT& pt);

// Registry of top-level windows for FindWindowA across processes.
void xreg_add(HWND hwnd, const std::string& cls, const std::string& title);
void xreg_remove(HWND hwnd);
void xreg_poll();
bool xreg_foreign(HWND h);           // a window of another process found by FindWindowA
bool xreg_foreign_alive(HWND h);
bool xreg_raise(HWND h);             // asks its process to bring it to the front

}  // namespace plat
