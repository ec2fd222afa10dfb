// Keyboard and mouse: input events become queued messages for the focus or the window under the
// mouse; key state, cursor, capture, activation and focus; WM_CHAR translation.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock.h"
#include "win/cursorpic.h"
#include "win/wnd.h"
#include "win32/winmod.h"

namespace plat {

int scan_code_of(int vk);

namespace {

BYTE g_async[256];
BYTE g_pressed[256];  // pressed since the last GetAsyncKeyState
POINT g_cursor{0, 0};
HWND g_capture = nullptr, g_active = nullptr, g_focus = nullptr;
bool g_app_active = false;
int g_show_count = 0;
HCURSOR g_cursor_handle = nullptr;
bool g_cursor_changed = false;
bool g_warp_pending = false;

struct LastClick {
    HWND hwnd = nullptr;
    int button = -1;
    uint64_t time = 0;
    POINT pt{};
    bool valid = false;
};
LastClick g_last;

// Deepest visible, enabled window at a screen point. Lock held.
HWND hit_test(POINT pt) {
    std::vector<Window*> tops;
    for (auto& [h, w] : win_all())
        if (!(w->style & WS_CHILD) && (w->style & WS_VISIBLE) && !w->destroying) tops.push_back(w.get());
    // Topmost first, then the active window, then the newest.
    std::stable_sort(tops.begin(), tops.end(), [](Window* a, Window* b) {
        int ka = ((a->exstyle & WS_EX_TOPMOST) ? 2 : 0) + (a->hwnd == g_active ? 1 : 0);
        int kb = ((b->exstyle & WS_EX_TOPMOST) ? 2 : 0) + (b->hwnd == g_active ? 1 : 0);
        if (ka != kb) return ka > kb;
        return a->hwnd > b->hwnd;
    });
    for (Window* t : tops) {
        if (!PtInRect(&t->rect, pt)) continue;
        Window* cur = t;
        for (bool descended = true; descended;) {
            descended = false;
            POINT o = client_origin_screen(cur);
            POINT local{pt.x - o.x, pt.y - o.y};
            for (auto it = cur->children.rbegin(); it != cur->children.rend(); ++it) {
                Window* c = win_get(*it);
                if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED) || c->destroying) continue;
                if (PtInRect(&c->rect, local)) {
                    cur = c;
                    descended = true;
                    break;
                }
            }
        }
        return cur->hwnd;
    }
    return nullptr;
}

WPARAM mouse_flags() {
    WPARAM f = 0;
    if (g_async[VK_LBUTTON] & 0x80) f |= MK_LBUTTON;
    if (g_async[VK_RBUTTON] & 0x80) f |= MK_RBUTTON;
    if (g_async[VK_MBUTTON] & 0x80) f |= MK_MBUTTON;
    if (g_async[VK_SHIFT] & 0x80) f |= MK_SHIFT;
    if (g_async[VK_CONTROL] & 0x80) f |= MK_CONTROL;
    return f;
}

void post_input(HWND target, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = win_get(target);
    if (!w) return;
    Queue* q = queue_find(w->tid);
    if (!q) return;
    MSG m{target, msg, wp, lp, static_cast<DWORD>(clock_now_ms()), g_cursor};
    if (msg == WM_MOUSEMOVE && !q->input.empty() && q->input.back().message == WM_MOUSEMOVE &&
        q->input.back().hwnd == target) {
        q->input.back() = m;  // moves are merged, as the real queue does
    } else {
        q->input.push_back(m);
    }
    wcond().notify_all();
}

// Posts a mouse message for a screen point; `button` -1 for a move. Lock held.
void mouse_locked(POINT screen, UINT kind, int button) {
    g_cursor = screen;
    HWND target = g_capture ? g_capture : hit_test(screen);
    if (!target) return;
    Window* w = win_get(target);
    POINT o = client_origin_screen(w);
    LPARAM lp = MAKELPARAM(static_cast<WORD>(screen.x - o.x), static_cast<WORD>(screen.y - o.y));
    static const UINT downs[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static const UINT ups[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    static const UINT dbls[3] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
    static const int vks[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    if (kind == WM_MOUSEMOVE) {
        post_input(target, WM_MOUSEMOVE, mouse_flags(), lp);
        return;
    }
    if (button < 0 || button > 2) return;
    int vk = vks[button];
    if (kind == WM_LBUTTONDOWN) {
        g_async[vk] |= 0x80;
        g_pressed[vk] = 1;
        uint64_t now = clock_now_ms();
        bool dbl = (w->cls->style & CS_DBLCLKS) && g_last.valid && g_last.hwnd == target && g_last.button == button &&
                   now - g_last.time <= GetDoubleClickTime() &&
                   std::abs(screen.x - g_last.pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                   std::abs(screen.y - g_last.pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        if (dbl) {
            g_last.valid = false;  // a third click starts over
        } else {
            g_last = LastClick{target, button, now, screen, true};
        }
        post_input(target, dbl ? dbls[button] : downs[button], mouse_flags(), lp);
    } else {
        g_async[vk] &= ~0x80;
        post_input(target, ups[button], mouse_flags(), lp);
    }
}

HWND top_level_of(HWND h) {
    Window* t = top_of(win_get(h));
    return t ? t->hwnd : nullptr;
}

std::vector<HWND> top_levels() {
    std::vector<HWND> r;
    for (auto& [h, w] : win_all())
        if (!(w->style & WS_CHILD) && !w->destroying) r.push_back(h);
    return r;
}

}  // namespace

// Character a key gives on a US layout, or 0.
int vk_to_char(int vk, bool shift, bool caps, bool ctrl) {
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return vk - 'A' + 1;
        return (shift != caps) ? vk : vk + 32;
    }
    if (ctrl) return 0;
    if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + vk - VK_NUMPAD0;
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    }
    return 0;
}

// The key (and whether Shift is needed) that types a character on a US layout; false when none does.
bool char_to_vk(int ch, int& vk, bool& shift) {
    for (int v = 1; v < 256; ++v) {
        if (v >= VK_NUMPAD0 && v <= VK_DIVIDE) continue;
        for (int s = 0; s < 2; ++s) {
            if (vk_to_char(v, s, false, false) == ch) {
                vk = v;
                shift = s;
                return true;
            }
        }
    }
    return false;
}

void input_event(const InputEvent& ev) {
    Lock lk(wlock());
    Window* top = win_get(static_cast<HWND>(ev.hwnd));
    switch (ev.kind) {
    case InputEvent::KeyDown:
    case InputEvent::KeyUp: {
        int vk = ev.vk & 0xFF;
        bool down = ev.kind == InputEvent::KeyDown;
        bool was = (g_async[vk] & 0x80) != 0;
        if (down) {
            g_async[vk] |= 0x80;
            g_pressed[vk] = 1;
            if (!was) g_async[vk] ^= 0x01;
        } else {
            g_async[vk] &= ~0x80;
        }
        HWND target = g_focus ? g_focus : g_active;
        if (!target) return;
        bool alt = (g_async[VK_MENU] & 0x80) != 0;
        bool sys = (alt && !(g_async[VK_CONTROL] & 0x80)) || vk == VK_F10 || vk == VK_MENU;
        UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
        LPARAM lp = 1 | (static_cast<LPARAM>(scan_code_of(vk)) << 16) | (alt ? (1L << 29) : 0);
        if (down && was) lp |= 1L << 30;
        if (!down) lp |= (1L << 30) | (1L << 31);
        post_input(target, msg, static_cast<WPARAM>(vk), lp);
        return;
    }
    case InputEvent::Char: {
        HWND target = g_focus ? g_focus : g_active;
        if (target) post_input(target, WM_CHAR, static_cast<WPARAM>(ev.vk & 0xFF), 1);
        return;
    }
    case InputEvent::MouseMove:
    case InputEvent::ButtonDown:
    case InputEvent::ButtonUp: {
        if (!top) return;
        POINT o = client_origin_screen(top);
        POINT s{o.x + ev.x, o.y + ev.y};
        if (ev.kind == InputEvent::ButtonDown && !g_capture) {
            HWND hit = hit_test(s);
            HWND ht = hit ? top_level_of(hit) : nullptr;
            if (ht && ht != g_active) {
                lk.unlock();
                activate_window(ht, WA_CLICKACTIVE);
                lk.lock();
            }
        }
        mouse_locked(s, ev.kind == InputEvent::MouseMove    ? WM_MOUSEMOVE
                        : ev.kind == InputEvent::ButtonDown ? WM_LBUTTONDOWN
                                                            : WM_LBUTTONUP,
                     ev.kind == InputEvent::MouseMove ? -1 : ev.vk);
        return;
    }
    case InputEvent::Close:
        if (top) post_locked(queue_of(top->tid), top->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case InputEvent::FocusIn:
        if (top && (g_active != top->hwnd || !g_app_active)) {
            HWND h = top->hwnd;
            lk.unlock();
            activate_window(h, WA_ACTIVE);
        }
        return;
    case InputEvent::FocusOut:
        lk.unlock();
        app_deactivate();
        return;
    }
}

void input_on_retrieve(Queue& q, const MSG& m) {
    switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        BYTE& k = q.keys[m.wParam & 0xFF];
        if (!(k & 0x80)) k ^= 0x01;
        k |= 0x80;
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: q.keys[m.wParam & 0xFF] &= ~0x80; break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: q.keys[VK_LBUTTON] |= 0x80; break;
    case WM_LBUTTONUP: q.keys[VK_LBUTTON] &= ~0x80; break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: q.keys[VK_RBUTTON] |= 0x80; break;
    case WM_RBUTTONUP: q.keys[VK_RBUTTON] &= ~0x80; break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: q.keys[VK_MBUTTON] |= 0x80; break;
    case WM_MBUTTONUP: q.keys[VK_MBUTTON] &= ~0x80; break;
    }
}

// A rough set-1 scan code, enough for programs that look at lParam bits 16-23.
int scan_code_of(int vk) {
    static const char* row1 = "QWERTYUIOP";
    static const char* row2 = "ASDFGHJKL";
    static const char* row3 = "ZXCVBNM";
    for (int i = 0; row1[i]; ++i)
        if (vk == row1[i]) return 0x10 + i;
    for (int i = 0; row2[i]; ++i)
        if (vk == row2[i]) return 0x1E + i;
    for (int i = 0; row3[i]; ++i)
        if (vk == row3[i]) return 0x2C + i;
    if (vk >= '1' && vk <= '9') return 0x02 + vk - '1';
    switch (vk) {
    case '0': return 0x0B;
    case VK_ESCAPE: return 0x01;
    case VK_RETURN: return 0x1C;
    case VK_SPACE: return 0x39;
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_SHIFT: return 0x2A;
    case VK_CONTROL: return 0x1D;
    case VK_MENU: return 0x38;
    case VK_UP: return 0x48;
    case VK_DOWN: return 0x50;
    case VK_LEFT: return 0x4B;
    case VK_RIGHT: return 0x4D;
    }
    if (vk >= VK_F1 && vk <= VK_F10) return 0x3B + vk - VK_F1;
    return 0;
}

POINT cursor_locked() { return g_cursor; }

SHORT key_state_async(int vk) { return (g_async[vk & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0; }

void activate_window(HWND hwnd, int how) {
    HWND old;
    bool was_app;
    bool iconic;
    std::vector<HWND> tops;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w || (w->style & WS_CHILD)) return;
        if (g_active == hwnd && g_app_active) return;
        old = g_active;
        was_app = g_app_active;
        g_active = hwnd;
        g_app_active = true;
        iconic = (w->style & WS_MINIMIZE) != 0;
        tops = top_levels();
        log_line("activate %p", static_cast<void*>(hwnd));
    }
    // Notifications, not sends: the input pump must never block on another thread's window.
    if (old && old != hwnd) SendNotifyMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (!was_app)
        for (HWND t : tops) SendNotifyMessageA(t, WM_ACTIVATEAPP, TRUE, 0);
    SendNotifyMessageA(hwnd, WM_ACTIVATE, MAKEWPARAM(how, iconic ? 1 : 0), reinterpret_cast<LPARAM>(old));
}

void app_deactivate() {
    HWND old;
    std::vector<HWND> tops;
    {
        std::lock_guard<std::mutex> g(wlock());
        if (!g_app_active) return;
        g_app_active = false;
        old = g_active;
        g_active = nullptr;
        tops = top_levels();
        log_line("deactivate");
    }
    if (old) SendNotifyMessageA(old, WM_ACTIVATE, WA_INACTIVE, 0);
    for (HWND t : tops) SendNotifyMessageA(t, WM_ACTIVATEAPP, FALSE, 0);
    SetFocus(nullptr);
}

void window_destroyed_cleanup(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    if (g_capture == hwnd) g_capture = nullptr;
    if (g_focus == hwnd) g_focus = nullptr;
    if (g_active == hwnd) g_active = nullptr;
    if (g_last.hwnd == hwnd) g_last.valid = false;
}

// Backend-facing state: what the pump should tell the backend about the cursor.
bool cursor_visible() {
    std::lock_guard<std::mutex> g(wlock());
    return g_show_count >= 0 && g_cursor_handle != nullptr;
}

void* current_cursor() {
    std::lock_guard<std::mutex> g(wlock());
    return g_cursor_handle;
}

bool take_cursor_change() {
    std::lock_guard<std::mutex> g(wlock());
    bool c = g_cursor_changed;
    g_cursor_changed = false;
    return c;
}

bool take_warp(POINT& pt) {
    std::lock_guard<std::mutex> g(wlock());
    bool w = g_warp_pending;
    g_warp_pending = false;
    pt = g_cursor;
    return w;
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

BOOL WINAPI TranslateMessage(const MSG* m) {
    if (!m || (m->message != WM_KEYDOWN && m->message != WM_SYSKEYDOWN)) return FALSE;
    std::lock_guard<std::mutex> g(wlock());
    Queue& q = queue_of(this_tid());
    bool shift = (q.keys[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (q.keys[VK_CONTROL] & 0x80) != 0;
    bool caps = (q.keys[VK_CAPITAL] & 0x01) != 0;
    int ch = vk_to_char(static_cast<int>(m->wParam), shift, caps, ctrl);
    if (!ch) return FALSE;
    MSG c = *m;
    c.message = m->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    c.wParam = static_cast<WPARAM>(ch);
    q.posted.push_front(c);
    return TRUE;
}

SHORT WINAPI GetAsyncKeyState(int vk) {
    std::lock_guard<std::mutex> g(wlock());
    vk &= 0xFF;
    SHORT r = key_state_async(vk);
    if (g_pressed[vk]) r |= 1;
    g_pressed[vk] = 0;
    return r;
}

SHORT WINAPI GetKeyState(int vk) {
    std::lock_guard<std::mutex> g(wlock());
    Queue& q = queue_of(this_tid());
    BYTE k = q.keys[vk & 0xFF];
    return static_cast<SHORT>(((k & 0x80) ? 0xFF80 : 0) | (k & 0x01));
}

BOOL WINAPI GetKeyboardState(PBYTE state) {
    if (!state) return FALSE;
    std::lock_guard<std::mutex> g(wlock());
    Queue& q = queue_of(this_tid());
    std::copy(q.keys, q.keys + 256, state);
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT pt) {
    if (!pt) return FALSE;
    std::lock_guard<std::mutex> g(wlock());
    *pt = g_cursor;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    std::lock_guard<std::mutex> g(wlock());
    int sw, sh;
    screen_dims(sw, sh);
    POINT p{std::clamp(x, 0, sw - 1), std::clamp(y, 0, sh - 1)};
    g_warp_pending = true;
    mouse_locked(p, WM_MOUSEMOVE, -1);
    return TRUE;
}

HWND WINAPI SetCapture(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    HWND old = g_capture;
    g_capture = win_get(hwnd) ? hwnd : nullptr;
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    std::lock_guard<std::mutex> g(wlock());
    g_capture = nullptr;
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    std::lock_guard<std::mutex> g(wlock());
    return g_capture;
}

int WINAPI ShowCursor(BOOL show) {
    std::lock_guard<std::mutex> g(wlock());
    g_show_count += show ? 1 : -1;
    g_cursor_changed = true;
    return g_show_count;
}

HCURSOR WINAPI SetCursor(HCURSOR c) {
    std::lock_guard<std::mutex> g(wlock());
    HCURSOR old = g_cursor_handle;
    if (old != c) g_cursor_changed = true;
    g_cursor_handle = c;
    return old;
}

HCURSOR WINAPI GetCursor(void) {
    std::lock_guard<std::mutex> g(wlock());
    return g_cursor_handle;
}

// Cursors and icons are handles naming a picture: the system ones (IDC_ARROW...) and those a module
// carries as resources (which must exist, as on the real system). The backend draws a module's cursor
// picture and the system arrow for the rest.
static void* picture_handle(HINSTANCE inst, LPCSTR name, bool icon) {
    static std::map<std::string, uintptr_t> handles;
    static uintptr_t next = 0x30000;
    if (!name) return nullptr;
    if (!inst) {
        uintptr_t id = reinterpret_cast<uintptr_t>(name);
        if (!IS_INTRESOURCE(name) || id < 32512 || id > 32650) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
    } else if (!FindResourceA(inst, name, icon ? RT_GROUP_ICON : RT_GROUP_CURSOR) &&
               !FindResourceA(inst, name, icon ? RT_ICON : RT_CURSOR)) {
        return nullptr;
    }
    char head[64];
    std::snprintf(head, sizeof head, "%c:%lx:", icon ? 'i' : 'c', static_cast<unsigned long>(reinterpret_cast<uintptr_t>(inst)));
    std::string key = head;
    if (IS_INTRESOURCE(name)) {
        std::snprintf(head, sizeof head, "#%lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(name)));
        key += head;
    } else {
        for (const char* p = name; *p; ++p) key.push_back(static_cast<char>(toupper(static_cast<unsigned char>(*p))));
    }
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> g(wlock());
        auto it = handles.find(key);
        if (it != handles.end()) return reinterpret_cast<void*>(it->second);
        handles[key] = next;
        next += 4;
        handle = reinterpret_cast<void*>(handles[key]);
    }
    if (inst && !icon) remember_cursor_source(handle, inst, name);
    return handle;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE inst, LPCSTR name) { return static_cast<HCURSOR>(picture_handle(inst, name, false)); }

HICON WINAPI LoadIconA(HINSTANCE inst, LPCSTR name) { return static_cast<HICON>(picture_handle(inst, name, true)); }

UINT WINAPI GetDoubleClickTime(void) { return 500; }

HWND WINAPI SetFocus(HWND hwnd) {
    HWND old;
    {
        std::lock_guard<std::mutex> g(wlock());
        if (hwnd && !win_get(hwnd)) return nullptr;
        old = g_focus;
        if (old == hwnd) return old;
        g_focus = hwnd;
    }
    if (old) SendNotifyMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd) SendNotifyMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetFocus(void) {
    std::lock_guard<std::mutex> g(wlock());
    return g_focus;
}

HWND WINAPI GetActiveWindow(void) {
    std::lock_guard<std::mutex> g(wlock());
    return g_active;
}

HWND WINAPI GetForegroundWindow(void) { return GetActiveWindow(); }

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    activate_window(hwnd, WA_ACTIVE);
    return old;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    if (xreg_foreign(hwnd)) return xreg_raise(hwnd);
    if (!IsWindow(hwnd)) return FALSE;
    HWND top;
    {
        std::lock_guard<std::mutex> g(wlock());
        top = top_level_of(hwnd);
        if (Window* w = win_get(top)) w->raise = true, w->gen++;  // the pump raises it
    }
    activate_window(top, WA_ACTIVE);
    return TRUE;
}

HWND WINAPI WindowFromPoint(POINT pt) {
    std::lock_guard<std::mutex> g(wlock());
    return hit_test(pt);
}

WIN32_END
