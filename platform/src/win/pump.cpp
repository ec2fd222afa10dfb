// The main-thread pump: keeps the backend's windows in step with ours, presents what changed and
// turns the backend's input into messages. Other threads draw; only the main thread shows.
#include <algorithm>
#include <atomic>
#include <chrono>

#include "win/cursorpic.h"
#include "win/wnd.h"

namespace plat {
namespace {

std::vector<void*> g_dead;  // surfaces of destroyed windows, waiting for the main thread
unsigned long g_presents = 0;
std::atomic<uint64_t> g_present_ns{0};  // composing and uploads, for VokPresentWork

uint64_t now_ns() {
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

struct Work {
    HWND hwnd;
    void* surface;
    bool sync;
    TopWindow info;
    bool present;
    std::vector<uint32_t> px;
    int w, h;
};

}  // namespace

void surface_dead(void* s) { g_dead.push_back(s); }

void note_present_work(uint64_t ns) { g_present_ns += ns; }

void pump() {
    if (!is_main_thread()) return;
    static thread_local bool busy = false;
    if (busy) return;
    busy = true;
    Backend& be = backend();
    std::vector<Work> work;
    std::vector<void*> dead;
    // Frame buffers live from one pump to the next: a new 1 MB buffer every frame costs more than
    // filling it.
    static std::vector<std::vector<uint32_t>> pool;
    int mw = 0, mh = 0, mbits = 0;
    bool mode = display_mode(mw, mh, mbits);
    {
        std::lock_guard<std::mutex> g(wlock());
        dead.swap(g_dead);
        for (auto& [h, w] : win_all()) {
            if ((w->style & WS_CHILD) || w->destroying) continue;
            Work k{h, w->surface, false, {}, false, {}, 0, 0};
            if (!pool.empty()) {
                k.px = std::move(pool.back());
                pool.pop_back();
            }
            if (w->gen != w->shown_gen) {
                k.sync = true;
                w->shown_gen = w->gen;
                k.info.hwnd = h;
                k.info.title = w->text;
                POINT o = client_origin_screen(w.get());
                k.info.x = o.x;
                k.info.y = o.y;
                k.info.w = w->sw;
                k.info.h = w->sh;
                k.info.visible = (w->style & WS_VISIBLE) && !(w->style & WS_MINIMIZE);
                // While a display mode is set, every shown top-level window sits on that screen.
                k.info.fullscreen = mode && k.info.visible;
                k.info.mode_w = mw;
                k.info.mode_h = mh;
                k.info.raise = w->raise;
                w->raise = false;
            }
            if ((w->dirty || k.sync) && (w->style & WS_VISIBLE) && w->sw > 0 && w->sh > 0) {
                w->dirty = false;
                k.present = true;
                const uint64_t t0 = now_ns();
                compose(h, k.px, k.w, k.h);
                g_present_ns += now_ns() - t0;
            }
            if (k.sync || k.present)
                work.push_back(std::move(k));
            else
                pool.push_back(std::move(k.px));
        }
    }
    for (void* s : dead) be.destroy(s);
    for (auto& k : work) {
        if (k.sync) {
            if (!k.surface && k.info.visible) {
                k.surface = be.create(k.info);
                std::lock_guard<std::mutex> g(wlock());
                if (Window* w = win_get(k.hwnd))
                    w->surface = k.surface;
                else if (k.surface)
                    g_dead.push_back(k.surface);
            } else if (k.surface) {
                be.update(k.surface, k.info);
            }
            if (k.surface && k.info.raise) be.raise(k.surface);
        }
        if (k.present && k.surface) {
            be.present(k.surface, k.px.data(), k.w, k.h, k.w);
            ++g_presents;
            log_line("present %p %dx%d #%lu", static_cast<void*>(k.hwnd), k.w, k.h, g_presents);
        }
    }
    for (auto& k : work) pool.push_back(std::move(k.px));
    if (take_cursor_change()) {
        CursorPicture pic;
        void* cursor = current_cursor();
        be.set_cursor(cursor, cursor && cursor_picture(cursor, pic) ? &pic : nullptr);
        be.show_cursor(cursor_visible());
    }
    POINT warp;
    if (take_warp(warp)) {
        HWND top = nullptr;
        void* surf = nullptr;
        POINT o{};
        {
            std::lock_guard<std::mutex> g(wlock());
            for (auto& [h, w] : win_all())
                if (!(w->style & WS_CHILD) && w->surface && (w->style & WS_VISIBLE)) {
                    top = h;
                    surf = w->surface;
                    o = client_origin_screen(w.get());
                }
        }
        if (top) be.warp_mouse(surf, warp.x - o.x, warp.y - o.y);
    }
    std::vector<InputEvent> in;
    be.poll(in);
    for (auto& e : in) input_event(e);
    xreg_poll();
    busy = false;
}

}  // namespace plat

using namespace plat;

#include "vokplat/window.h"

WIN32_BEGIN

const char* VokBackendName(void) { return backend().name(); }

void VokKey(HWND top, int vk, BOOL down) {
    input_event(InputEvent{down ? InputEvent::KeyDown : InputEvent::KeyUp, top, vk});
}

void VokChar(HWND top, int ch) { input_event(InputEvent{InputEvent::Char, top, ch & 0xFF}); }

void VokMouseMove(HWND top, int x, int y) { input_event(InputEvent{InputEvent::MouseMove, top, 0, x, y}); }

void VokMouseButton(HWND top, int button, BOOL down, int x, int y) {
    input_event(InputEvent{down ? InputEvent::ButtonDown : InputEvent::ButtonUp, top, button, x, y});
}

void VokCloseButton(HWND top) { input_event(InputEvent{InputEvent::Close, top}); }

void VokFocus(HWND top, BOOL gained) {
    input_event(InputEvent{gained ? InputEvent::FocusIn : InputEvent::FocusOut, top});
}

void VokPump(void) { pump(); }

void VokPresentWork(unsigned long long* frames, unsigned long long* ns) {
    if (frames) *frames = g_presents;
    if (ns) *ns = g_present_ns;
}

WIN32_END
