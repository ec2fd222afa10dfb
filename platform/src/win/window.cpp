// Window classes and windows: creation, destruction, geometry, window longs and the default procedure.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "win/wnd.h"

namespace plat {
namespace {

std::map<std::string, std::shared_ptr<WndClass>> g_classes;  // key: lower-case name
ATOM g_next_atom = 0xC000;
uintptr_t g_next_hwnd = 0x10010;
std::map<HWND, std::shared_ptr<Window>> g_windows;

std::string lower(const char* s) {
    std::string r(s ? s : "");
    for (char& c : r) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return r;
}

std::shared_ptr<WndClass> class_find(LPCSTR name) {
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM a = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& [k, c] : g_classes)
            if (c->atom == a) return c;
        return nullptr;
    }
    auto it = g_classes.find(lower(name));
    return it == g_classes.end() ? nullptr : it->second;
}

// Frame thickness and caption height that the style asks for.
void nonclient(DWORD style, DWORD ex, int& frame, int& caption) {
    caption = (style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
    if (style & WS_THICKFRAME)
        frame = GetSystemMetrics(SM_CXFRAME);
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME) || (ex & WS_EX_DLGMODALFRAME))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (style & WS_BORDER)
        frame = GetSystemMetrics(SM_CXBORDER);
    else
        frame = 0;
    if (ex & WS_EX_CLIENTEDGE) frame += 2;
}

// Window procedures handed out through the 32-bit GetWindowLongA stand for tokens, as on the real
// system where the value may be a handle that only CallWindowProc understands.
std::vector<WNDPROC> g_proc_tokens;
constexpr uint32_t kTokenBase = 0xFFFF0000u;

LONG proc_to_long(WNDPROC p) {
    uintptr_t v = reinterpret_cast<uintptr_t>(p);
    if (v <= 0x7FFFFFFF) return static_cast<LONG>(v);
    for (size_t i = 0; i < g_proc_tokens.size(); ++i)
        if (g_proc_tokens[i] == p) return static_cast<LONG>(kTokenBase + i);
    g_proc_tokens.push_back(p);
    return static_cast<LONG>(kTokenBase + g_proc_tokens.size() - 1);
}

}  // namespace

WNDPROC proc_from_value(uintptr_t v) {
    uint32_t lo = static_cast<uint32_t>(v);
    uint32_t hi = static_cast<uint32_t>(v >> 32);
    if ((hi == 0 || hi == 0xFFFFFFFFu) && lo >= kTokenBase) {
        size_t i = lo - kTokenBase;
        std::lock_guard<std::mutex> g(wlock());
        return i < g_proc_tokens.size() ? g_proc_tokens[i] : nullptr;
    }
    return reinterpret_cast<WNDPROC>(v);
}

std::map<HWND, std::shared_ptr<Window>>& win_all() { return g_windows; }

Window* win_get(HWND h) {
    auto it = g_windows.find(h);
    return it == g_windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Window> win_ref(HWND h) {
    auto it = g_windows.find(h);
    return it == g_windows.end() ? nullptr : it->second;
}

Window* top_of(Window* w) {
    while (w && (w->style & WS_CHILD) && w->parent) w = win_get(w->parent);
    return w;
}

RECT client_rect_of(const Window* w) {
    int frame, caption;
    nonclient(w->style, w->exstyle, frame, caption);
    RECT r{frame, frame + caption, (w->rect.right - w->rect.left) - frame, (w->rect.bottom - w->rect.top) - frame};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

POINT client_origin_screen(const Window* w) {
    RECT c = client_rect_of(w);
    POINT p{w->rect.left + c.left, w->rect.top + c.top};
    if ((w->style & WS_CHILD) && w->parent) {
        if (Window* par = win_get(w->parent)) {
            POINT o = client_origin_screen(par);
            p.x += o.x;
            p.y += o.y;
        }
    }
    return p;
}

void resize_surface(Window* w) {
    RECT c = client_rect_of(w);
    int nw = c.right - c.left, nh = c.bottom - c.top;
    if (nw == w->sw && nh == w->sh) return;
    std::vector<uint32_t> px(static_cast<size_t>(nw) * nh, 0);
    for (int y = 0; y < std::min(nh, w->sh); ++y)
        std::memcpy(&px[static_cast<size_t>(y) * nw], &w->pixels[static_cast<size_t>(y) * w->sw],
                    sizeof(uint32_t) * std::min(nw, w->sw));
    w->pixels.swap(px);
    w->sw = nw;
    w->sh = nh;
    w->gen++;
    mark_dirty(w);
}

void mark_dirty(Window* w) {
    if (Window* t = top_of(w)) t->dirty = true;
}

void invalidate_locked(Window* w, const RECT* r, bool erase) {
    RECT all{0, 0, w->sw, w->sh};
    RECT add = all;
    if (r) IntersectRect(&add, r, &all);
    if (IsRectEmpty(&add)) return;
    if (IsRectEmpty(&w->update))
        w->update = add;
    else
        UnionRect(&w->update, &w->update, &add);
    if (erase) w->erase = true;
    wcond().notify_all();
}

void log_window(const char* what, Window* w);

}  // namespace plat

using namespace plat;

namespace {

bool visible_chain(Window* w) {
    for (; w; w = (w->style & WS_CHILD) ? win_get(w->parent) : nullptr)
        if (!(w->style & WS_VISIBLE)) return false;
    return true;
}

void destroy_tree(HWND h) {
    SendMessageA(h, WM_DESTROY, 0, 0);
    std::vector<HWND> kids;
    {
        std::lock_guard<std::mutex> g(wlock());
        if (Window* w = win_get(h)) kids = w->children;
    }
    for (HWND c : kids) {
        {
            std::lock_guard<std::mutex> g(wlock());
            Window* cw = win_get(c);
            if (!cw || cw->destroying) continue;
            cw->destroying = true;
        }
        window_destroyed_cleanup(c);
        destroy_tree(c);
    }
    SendMessageA(h, WM_NCDESTROY, 0, 0);
    std::shared_ptr<Window> keep;
    HDC own_dc = nullptr;
    {
        std::lock_guard<std::mutex> g(wlock());
        keep = win_ref(h);
        if (!keep) return;
        Window* w = keep.get();
        if (Queue* q = queue_find(w->tid)) {
            q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                           [h](const Timer& t) { return t.hwnd == h; }),
                            q->timers.end());
        }
        if ((w->style & WS_CHILD) && w->parent) {
            if (Window* p = win_get(w->parent)) {
                p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
                mark_dirty(p);
            }
        }
        own_dc = w->own_dc;
        if (w->surface) surface_dead(w->surface);
        w->surface = nullptr;
        g_windows.erase(h);
        wcond().notify_all();
    }
    if (own_dc) DeleteDC(own_dc);
    xreg_remove(h);
}

}  // namespace

WIN32_BEGIN

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> g(wlock());
    std::string key = lower(wc->lpszClassName);
    if (g_classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto c = std::make_shared<WndClass>();
    c->name = wc->lpszClassName;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->cls_extra = std::max(0, wc->cbClsExtra);
    c->wnd_extra = std::max(0, wc->cbWndExtra);
    c->inst = wc->hInstance;
    c->icon = wc->hIcon;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    c->atom = g_next_atom++;
    g_classes[key] = c;
    return c->atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra,
                   wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName,
                   wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
    std::lock_guard<std::mutex> g(wlock());
    auto c = class_find(name);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto& [h, w] : g_windows)
        if (w->cls == c) return FALSE;
    g_classes.erase(lower(c->name.c_str()));
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR name, WNDCLASSA* out) {
    std::lock_guard<std::mutex> g(wlock());
    auto c = class_find(name);
    if (!c || !out) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *out = WNDCLASSA{c->style, c->proc, c->cls_extra, c->wnd_extra, c->inst, c->icon, c->cursor, c->background,
                     nullptr, c->name.c_str()};
    return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buf, int size) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || !buf || size <= 0) return 0;
    int n = std::min<int>(size - 1, static_cast<int>(w->cls->name.size()));
    std::memcpy(buf, w->cls->name.data(), n);
    buf[n] = 0;
    return n;
}

DWORD WINAPI GetClassLongA(HWND hwnd, int index) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return 0;
    switch (index) {
    case GCL_STYLE: return w->cls->style;
    case GCL_HCURSOR: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(w->cls->cursor));
    case GCL_HICON: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(w->cls->icon));
    case GCL_HBRBACKGROUND: return static_cast<DWORD>(reinterpret_cast<uintptr_t>(w->cls->background));
    }
    return 0;
}

HWND WINAPI CreateWindowExA(DWORD ex, LPCSTR clsname, LPCSTR name, DWORD style, int x, int y, int cx, int cy,
                            HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    HWND hwnd;
    {
        std::lock_guard<std::mutex> g(wlock());
        auto cls = class_find(clsname);
        if (!cls) {
            SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
            return nullptr;
        }
        Window* pw = parent ? win_get(parent) : nullptr;
        if (parent && !pw) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if ((style & WS_CHILD) && !pw) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto w = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(g_next_hwnd);
        g_next_hwnd += 4;
        w->hwnd = hwnd;
        w->cls = cls;
        w->style = style & ~WS_VISIBLE;
        w->exstyle = ex;
        w->proc = cls->proc;
        w->inst = inst;
        w->tid = this_tid();
        w->extra.assign(static_cast<size_t>(cls->wnd_extra) + 4, 0);
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
            pw->children.push_back(hwnd);
        } else {
            Window* ow = top_of(pw);
            w->owner = ow ? ow->hwnd : nullptr;
            w->menu = menu;
            if (x == CW_USEDEFAULT) x = 32, y = 32;
            if (cx == CW_USEDEFAULT) {
                int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
                cx = sw * 3 / 4;
                cy = sh * 3 / 4;
            }
        }
        if (x == CW_USEDEFAULT) x = 0, y = 0;
        if (cx == CW_USEDEFAULT) cx = 0, cy = 0;
        w->rect = RECT{x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
        g_windows[hwnd] = w;
        (void)queue_of(w->tid);
        resize_surface(w.get());
        invalidate_locked(w.get(), nullptr, true);
    }
    CREATESTRUCTA cs{param, inst, menu, parent, cy, cx, y, x, static_cast<LONG>(style), name, clsname, ex};
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    RECT cr;
    POINT org{0, 0};
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return nullptr;
        w->created = true;
        RECT c = client_rect_of(w);
        cr = RECT{0, 0, c.right - c.left, c.bottom - c.top};
        org = POINT{w->rect.left + c.left, w->rect.top + c.top};
        log_window("create", w);
    }
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cr.right, cr.bottom));
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(org.x, org.y));
    if (!IsWindow(hwnd)) return nullptr;
    if (!(style & WS_CHILD)) {
        std::string title;
        {
            std::lock_guard<std::mutex> g(wlock());
            if (Window* w = win_get(hwnd)) title = w->text;
        }
        xreg_add(hwnd, clsname && !IS_INTRESOURCE(clsname) ? clsname : "", title);
    }
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->destroying) return FALSE;
        w->destroying = true;
        for (auto& [h, o] : g_windows)
            if (o->owner == hwnd && !o->destroying) owned.push_back(h);
        if (!(w->style & WS_CHILD) && w->sw > 0 && w->sh > 0) {
            std::vector<uint32_t> px;
            int cw, ch;
            if (compose(hwnd, px, cw, ch)) remember_frame(hwnd, px, cw, ch);
        }
        log_window("destroy", w);
    }
    for (HWND o : owned) {
        std::lock_guard<std::mutex> g(wlock());
        if (Window* ow = win_get(o)) ow->destroying = false;
    }
    for (HWND o : owned) DestroyWindow(o);
    {
        std::lock_guard<std::mutex> g(wlock());
        if (Window* w = win_get(hwnd)) {
            if (w->style & WS_VISIBLE) {
                w->style &= ~WS_VISIBLE;
                w->gen++;
                if ((w->style & WS_CHILD) && w->parent)
                    if (Window* p = win_get(w->parent)) mark_dirty(p);
            }
        }
    }
    window_destroyed_cleanup(hwnd);
    destroy_tree(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    if (xreg_foreign(hwnd)) return xreg_foreign_alive(hwnd);
    std::lock_guard<std::mutex> g(wlock());
    return win_get(hwnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    return visible_chain(win_get(hwnd));
}

BOOL WINAPI IsIconic(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    return w && (w->style & WS_MINIMIZE);
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    for (Window* w = win_get(hwnd); w && (w->style & WS_CHILD); w = win_get(w->parent))
        if (w->parent == parent) return TRUE;
    return FALSE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return FALSE;
    BOOL was_disabled = (w->style & WS_DISABLED) != 0;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    return was_disabled;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    return w && !(w->style & WS_DISABLED);
}

HWND WINAPI GetParent(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

HWND WINAPI GetDesktopWindow(void) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000)); }

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
    if (xreg_foreign(hwnd)) return cmd != SW_HIDE && xreg_raise(hwnd);
    bool was, child, activate = false, send_show = false, show = cmd != SW_HIDE, size_msg = false;
    RECT cr{};
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        was = (w->style & WS_VISIBLE) != 0;
        child = (w->style & WS_CHILD) != 0;
        bool minimize = cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE;
        bool restore = cmd == SW_RESTORE || cmd == SW_SHOWNORMAL || cmd == SW_SHOWDEFAULT ||
                       cmd == SW_SHOWMAXIMIZED;
        if (minimize && !(w->style & WS_MINIMIZE)) {
            w->style |= WS_MINIMIZE;
            w->gen++;
        }
        if (restore && (w->style & WS_MINIMIZE)) {
            w->style &= ~WS_MINIMIZE;
            w->gen++;
            size_msg = true;
            invalidate_locked(w, nullptr, true);
        }
        send_show = show != was;
        activate = show && !child && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE &&
                   !minimize;
        RECT c = client_rect_of(w);
        cr = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    }
    if (send_show) SendMessageA(hwnd, WM_SHOWWINDOW, show, 0);
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return was;
        if (show && !(w->style & WS_VISIBLE)) {
            w->style |= WS_VISIBLE;
            w->gen++;
            invalidate_locked(w, nullptr, true);
            mark_dirty(w);
            log_window("show", w);
        } else if (!show && (w->style & WS_VISIBLE)) {
            w->style &= ~WS_VISIBLE;
            w->gen++;
            if (child) {
                if (Window* p = win_get(w->parent)) mark_dirty(p);
            }
            log_window("hide", w);
        }
    }
    if (!show) window_destroyed_cleanup(hwnd);  // hidden windows lose focus, capture and activation
    if (size_msg) SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cr.right, cr.bottom));
    if (activate) activate_window(hwnd, WA_ACTIVE);
    return was;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    bool need;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return FALSE;
        need = !IsRectEmpty(&w->update) && visible_chain(w);
    }
    if (need) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    std::vector<HWND> targets{hwnd};
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return FALSE;
        if (flags & RDW_ALLCHILDREN) {
            for (size_t i = 0; i < targets.size(); ++i)
                if (Window* t = win_get(targets[i]))
                    targets.insert(targets.end(), t->children.begin(), t->children.end());
        }
        for (HWND h : targets) {
            Window* t = win_get(h);
            if (!t) continue;
            if (flags & RDW_INVALIDATE) invalidate_locked(t, h == hwnd ? rect : nullptr, (flags & RDW_ERASE) != 0);
            if (flags & RDW_VALIDATE) t->update = RECT{};
        }
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        for (HWND h : targets) UpdateWindow(h);
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    bool moved = false, sized = false;
    RECT cr{};
    POINT org{};
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            OffsetRect(&r, x - r.left, y - r.top);
        }
        if (!(flags & SWP_NOSIZE)) {
            r.right = r.left + std::max(cx, 0);
            r.bottom = r.top + std::max(cy, 0);
        }
        moved = r.left != w->rect.left || r.top != w->rect.top;
        sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
        w->rect = r;
        if (flags & SWP_FRAMECHANGED) sized = true;
        if (sized) {
            resize_surface(w);
            invalidate_locked(w, nullptr, true);
        }
        if (moved || sized) {
            w->gen++;
            mark_dirty(w);
            if ((w->style & WS_CHILD) && w->parent)
                if (Window* p = win_get(w->parent)) mark_dirty(p);
        }
        if (!(flags & SWP_NOZORDER)) {
            if (after == HWND_TOPMOST) w->exstyle |= WS_EX_TOPMOST;
            if (after == HWND_NOTOPMOST) w->exstyle &= ~WS_EX_TOPMOST;
            if ((w->style & WS_CHILD) && w->parent) {
                if (Window* p = win_get(w->parent)) {
                    auto& k = p->children;
                    k.erase(std::remove(k.begin(), k.end(), hwnd), k.end());
                    if (after == HWND_BOTTOM)
                        k.insert(k.begin(), hwnd);
                    else
                        k.push_back(hwnd);
                    mark_dirty(p);
                }
            }
        }
        RECT c = client_rect_of(w);
        cr = RECT{0, 0, c.right - c.left, c.bottom - c.top};
        org = POINT{w->rect.left + c.left, w->rect.top + c.top};
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    if (moved) SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(org.x, org.y));
    if (sized) SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cr.right, cr.bottom));
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    if (xreg_foreign(hwnd)) return xreg_raise(hwnd);
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT c = client_rect_of(w);
    *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    if ((w->style & WS_CHILD) && w->parent) {
        if (Window* p = win_get(w->parent)) {
            POINT o = client_origin_screen(p);
            OffsetRect(rect, o.x, o.y);
        }
    }
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD ex) {
    if (!rect) return FALSE;
    int frame, caption;
    nonclient(style, ex, frame, caption);
    rect->left -= frame;
    rect->right += frame;
    rect->top -= frame + caption + (menu ? GetSystemMetrics(SM_CYMENU) : 0);
    rect->bottom += frame;
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT pt) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || !pt) return FALSE;
    POINT o = client_origin_screen(w);
    pt->x += o.x;
    pt->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT pt) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || !pt) return FALSE;
    POINT o = client_origin_screen(w);
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    std::lock_guard<std::mutex> g(wlock());
    POINT a{0, 0}, b{0, 0};
    if (from) {
        Window* w = win_get(from);
        if (!w) return 0;
        a = client_origin_screen(w);
    }
    if (to) {
        Window* w = win_get(to);
        if (!w) return 0;
        b = client_origin_screen(w);
    }
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; pts && i < count; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED: {
        int w, h;
        screen_dims(w, h);
        return w;
    }
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN:
    case SM_CYMAXIMIZED: {
        int w, h;
        screen_dims(w, h);
        return h;
    }
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CYMENU: return 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 16;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_MOUSEPRESENT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    }
    return 0;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT, PVOID p, UINT) {
    if (action == SPI_GETWORKAREA && p) {
        int w, h;
        screen_dims(w, h);
        *static_cast<RECT*>(p) = RECT{0, 0, w, h};
        return TRUE;
    }
    return FALSE;
}

DWORD WINAPI GetSysColor(int index) {
    switch (index) {
    case COLOR_BACKGROUND: return RGB(0, 128, 128);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_BTNFACE: return RGB(192, 192, 192);
    case COLOR_BTNSHADOW: return RGB(128, 128, 128);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(64, 64, 64);
    case COLOR_3DLIGHT: return RGB(223, 223, 223);
    }
    return RGB(192, 192, 192);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->inst);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exstyle);
    case GWLP_USERDATA: return w->userdata;
    case GWLP_ID: return w->id;
    }
    // Extra bytes: a pointer-sized value may sit in any 4-byte slot the class asked for.
    if (index >= 0 && index + 4 <= w->cls->wnd_extra) {
        LONG_PTR v = 0;
        std::memcpy(&v, &w->extra[index], sizeof v);
        return v;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    bool style_changed = false;
    LONG_PTR old = 0;
    {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        switch (index) {
        case GWLP_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            if (value) w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->inst);
            w->inst = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            old = reinterpret_cast<LONG_PTR>(w->owner);
            if (!(w->style & WS_CHILD)) w->owner = reinterpret_cast<HWND>(value);
            return old;
        case GWL_STYLE:
            old = static_cast<LONG>(w->style);
            w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | (w->style & WS_VISIBLE);
            style_changed = true;
            break;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exstyle);
            w->exstyle = static_cast<DWORD>(value);
            style_changed = true;
            break;
        case GWLP_USERDATA:
            old = w->userdata;
            w->userdata = value;
            return old;
        case GWLP_ID:
            old = w->id;
            w->id = value;
            return old;
        default:
            if (index >= 0 && index + 4 <= w->cls->wnd_extra) {
                std::memcpy(&old, &w->extra[index], sizeof old);
                std::memcpy(&w->extra[index], &value, sizeof value);
                return old;
            }
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (style_changed) {
            // The frame follows the style; the client area and its surface with it.
            resize_surface(w);
            w->gen++;
            mark_dirty(w);
        }
    }
    return old;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index) {
    if (index == GWL_WNDPROC) {
        LONG_PTR p = GetWindowLongPtrA(hwnd, index);
        std::lock_guard<std::mutex> g(wlock());
        return p ? proc_to_long(reinterpret_cast<WNDPROC>(p)) : 0;
    }
    if (index >= 0) {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w || index + 4 > w->cls->wnd_extra) {
            SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG v;
        std::memcpy(&v, &w->extra[index], sizeof v);
        return v;
    }
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}

LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) {
    if (index == GWL_WNDPROC) {
        WNDPROC p = proc_from_value(static_cast<uintptr_t>(static_cast<uint32_t>(value)));
        LONG_PTR old = SetWindowLongPtrA(hwnd, index, reinterpret_cast<LONG_PTR>(p));
        std::lock_guard<std::mutex> g(wlock());
        return old ? proc_to_long(reinterpret_cast<WNDPROC>(old)) : 0;
    }
    if (index >= 0) {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w || index + 4 > w->cls->wnd_extra) {
            SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LONG old;
        std::memcpy(&old, &w->extra[index], sizeof old);
        std::memcpy(&w->extra[index], &value, sizeof value);
        return old;
    }
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

WORD WINAPI GetWindowWord(HWND hwnd, int index) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || index < 0 || index + 2 > w->cls->wnd_extra) return 0;
    WORD v;
    std::memcpy(&v, &w->extra[index], sizeof v);
    return v;
}

WORD WINAPI SetWindowWord(HWND hwnd, int index, WORD value) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || index < 0 || index + 2 > w->cls->wnd_extra) return 0;
    WORD old;
    std::memcpy(&old, &w->extra[index], sizeof old);
    std::memcpy(&w->extra[index], &value, sizeof value);
    return old;
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC p = proc_from_value(reinterpret_cast<uintptr_t>(proc));
    return p ? p(hwnd, msg, wp, lp) : 0;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buf, int size) {
    if (!buf || size <= 0) return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buf)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) { return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!IsWindow(hwnd)) return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w || (w->style & WS_CHILD)) return FALSE;
    w->menu = menu;
    return TRUE;
}

HMENU WINAPI GetMenu(HWND hwnd) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    return w ? w->menu : nullptr;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    std::lock_guard<std::mutex> g(wlock());
    if (!hwnd) {
        for (auto& [h, w] : g_windows) invalidate_locked(w.get(), nullptr, erase);
        return TRUE;
    }
    Window* w = win_get(hwnd);
    if (!w) return FALSE;
    invalidate_locked(w, rect, erase);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return FALSE;
    // The update area is a bounding box: validating part of it keeps the box unless it is covered.
    if (!rect) {
        w->update = RECT{};
        w->erase = false;
    } else {
        RECT u = w->update;
        if (rect->left <= u.left && rect->top <= u.top && rect->right >= u.right && rect->bottom >= u.bottom) {
            w->update = RECT{};
            w->erase = false;
        }
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update;
    return !IsRectEmpty(&w->update);
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD pid) {
    std::lock_guard<std::mutex> g(wlock());
    Window* w = win_get(hwnd);
    if (!w) return 0;
    if (pid) *pid = static_cast<DWORD>(getpid());
    return static_cast<DWORD>(w->tid);
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        std::lock_guard<std::mutex> g(wlock());
        if (Window* w = win_get(hwnd))
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
        return TRUE;
    }
    case WM_SETTEXT: {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        if (!w) return FALSE;
        w->text = lp ? reinterpret_cast<const char*>(lp) : "";
        w->gen++;
        return TRUE;
    }
    case WM_GETTEXT: {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        char* buf = reinterpret_cast<char*>(lp);
        if (!w || !buf || wp == 0) return 0;
        size_t n = std::min<size_t>(wp - 1, w->text.size());
        std::memcpy(buf, w->text.data(), n);
        buf[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard<std::mutex> g(wlock());
        Window* w = win_get(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        switch (wp & 0xFFF0) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wp == VK_F4 && (lp & (1 << 29))) {
            HWND top = hwnd;
            {
                std::lock_guard<std::mutex> g(wlock());
                if (Window* t = top_of(win_get(hwnd))) top = t->hwnd;
            }
            PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH br;
        RECT r;
        {
            std::lock_guard<std::mutex> g(wlock());
            Window* w = win_get(hwnd);
            if (!w || !w->cls->background) return 0;
            br = w->cls->background;
            r = RECT{0, 0, w->sw, w->sh};
        }
        FillRect(reinterpret_cast<HDC>(wp), &r, br);
        return 1;
    }
    case WM_SETCURSOR: {
        HWND parent = nullptr;
        HCURSOR cur = nullptr;
        {
            std::lock_guard<std::mutex> g(wlock());
            Window* w = win_get(hwnd);
            if (!w) return FALSE;
            if (w->style & WS_CHILD) parent = w->parent;
            cur = w->cls->cursor;
        }
        if (parent && SendMessageA(parent, WM_SETCURSOR, wp, lp)) return TRUE;
        if (LOWORD(lp) == HTCLIENT && cur) {
            SetCursor(cur);
            return TRUE;
        }
        return FALSE;
    }
    case WM_NCHITTEST: return HTCLIENT;
    case WM_MOUSEACTIVATE: return 1;  // MA_ACTIVATE
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE) SetFocus(hwnd);
        return 0;
    }
    return 0;
}

WIN32_END
