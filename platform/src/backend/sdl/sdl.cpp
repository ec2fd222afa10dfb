// The SDL backend: one real window per top-level window, its pixels shown on the main thread (through
// a streamed texture where a GPU draws, written straight into the window's own surface where the
// drawing would be done on the CPU anyway); keys become virtual keys and the mouse client coordinates (also when
// the picture is scaled to a full-screen display mode); focus and the close button become events.
//
// Full screen: the window covers the desktop (the window manager's full-screen state, or, on a bare
// X server that has no window manager to resize it, a borderless window we size ourselves) and the
// display mode's screen is drawn whole and centred at the scale the window's real size allows.
#include <SDL2/SDL.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "backend/backend.h"
#include "backend/fit.h"
#include "win/cursorpic.h"
#include "win32/winuser.h"

namespace plat {

// True when a window manager runs that can put the window into its full-screen state (x11wm.cpp).
bool has_window_manager(SDL_Window* win);

namespace {

struct Surf {
    SDL_Window* win = nullptr;
    SDL_Renderer* ren = nullptr;
    SDL_Texture* tex = nullptr;
    int tw = 0, th = 0;
    TopWindow info;
    bool own_full = false;  // full screen by our own geometry (no window manager)
    bool direct = false;    // shown through the window's own surface, not a renderer
    // The window-surface path: the last frame (redrawn after a resize) and the surface and picture
    // rectangle the black borders were last cleared for.
    std::vector<uint32_t> frame;
    int fw = 0, fh = 0;
    void* cleared_px = nullptr;
    int cleared_w = -1, cleared_h = -1;
    Fit cleared_at;
};

// True when the renderer SDL would choose draws on the CPU: the software renderer, or OpenGL on a
// software rasteriser (llvmpipe and kin, what a machine without a GPU has). Then a texture is only
// a detour: an upload into the rasteriser, a draw and a read back into the X image, each a full
// frame, where writing the X image itself is one copy.
bool renders_on_cpu() {
    // VOK_SDL_PRESENT chooses the path outright (tests drive both on the same display).
    if (const char* force = std::getenv("VOK_SDL_PRESENT"); force && *force) {
        if (std::strcmp(force, "texture") == 0) return false;
        if (std::strcmp(force, "surface") == 0) return true;
        std::fprintf(stderr, "platform: unknown VOK_SDL_PRESENT '%s' (use texture or surface); chosen by the display\n",
                     force);
    }
    const char* want = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (want && SDL_strcasecmp(want, "software") == 0) return true;
    SDL_Window* w = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
    if (!w) return true;
    bool cpu = true;
    if (SDL_Renderer* r = SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED)) {
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(r, &info) == 0 && !(info.flags & SDL_RENDERER_SOFTWARE) &&
            SDL_strcmp(info.name, "software") != 0) {
            cpu = false;
            if (SDL_strncmp(info.name, "opengl", 6) == 0) {
                // The renderer's context is current: ask it who draws.
                using GetString = const unsigned char* (*)(unsigned);
                auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
                const unsigned char* by = get ? get(0x1F01 /* GL_RENDERER */) : nullptr;
                if (by) {
                    const char* n = reinterpret_cast<const char*>(by);
                    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software", "SwiftShader"})
                        if (std::strstr(n, soft)) cpu = true;
                }
            }
        }
        SDL_DestroyRenderer(r);
    }
    SDL_DestroyWindow(w);
    return cpu;
}

int vk_of(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return VK_NUMPAD1 + (k - SDLK_KP_1);
    switch (k) {
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    }
    return 0;
}

// One row of pixels. Not memcpy: glibc copies rows of a few KB with `rep movsb`, which on some CPUs
// (AMD's among them) runs many times slower for some source and destination offsets; a frame copied
// row by row that way cost 15 times a memcpy of the whole frame (SDL's own texture upload does just
// that, which is what made the software renderer's upload slow).
inline void copy_row(uint32_t* to, const uint32_t* from, size_t n) {
    size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 4));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 8));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 4), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 8), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 12), d);
    }
#endif
    for (; i < n; ++i) to[i] = from[i];
}

class Sdl final : public Backend {
public:
    Sdl() : direct_(renders_on_cpu()) {
        // The window surface as an X image of its own, not a texture of the (software) GL renderer.
        if (direct_) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }

    ~Sdl() override {
        for (auto& [id, s] : surfs_) free_surf(s);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* name() const override { return "sdl"; }

    void screen_size(int& w, int& h) override {
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(0, &m) == 0) {
            w = m.w;
            h = m.h;
        } else {
            w = 1024;
            h = 768;
        }
    }

    int screen_bits() override {
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(0, &m) != 0) return 32;
        int b = SDL_BITSPERPIXEL(m.format);
        return b == 24 ? 32 : b;
    }

    void* create(const TopWindow& w) override {
        auto* s = new Surf;
        Uint32 flags = w.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
        s->win = SDL_CreateWindow(w.title.c_str(), w.x, w.y, std::max(w.w, 1), std::max(w.h, 1), flags);
        if (!s->win) {
            SDL_Log("platform: window not created: %s", SDL_GetError());
            delete s;
            return nullptr;
        }
        // A video driver with no surface of its own (none under this hint) gets the renderer after all.
        s->direct = direct_ && SDL_GetWindowSurface(s->win);
        if (!s->direct) {
            s->ren = SDL_CreateRenderer(s->win, -1, SDL_RENDERER_PRESENTVSYNC);
            if (!s->ren) s->ren = SDL_CreateRenderer(s->win, -1, SDL_RENDERER_SOFTWARE);
        }
        log_line("sdl %p shown through %s", static_cast<void*>(w.hwnd), s->direct ? "its window surface" : "a texture");
        s->info = TopWindow{};
        surfs_[SDL_GetWindowID(s->win)] = s;
        update(s, w);
        return s;
    }

    void update(void* p, const TopWindow& w) override {
        auto* s = static_cast<Surf*>(p);
        if (!s) return;
        TopWindow old = s->info;
        s->info = w;
        if (old.title != w.title) SDL_SetWindowTitle(s->win, w.title.c_str());
        if (old.fullscreen != w.fullscreen) {
            if (w.fullscreen) {
                s->own_full = !has_window_manager(s->win);
                if (s->own_full) {
                    // Nobody would resize the window for the full-screen state: cover the display.
                    SDL_Rect b{0, 0, 1024, 768};
                    SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(s->win)), &b);
                    SDL_SetWindowBordered(s->win, SDL_FALSE);
                    SDL_SetWindowPosition(s->win, b.x, b.y);
                    SDL_SetWindowSize(s->win, b.w, b.h);
                    SDL_RaiseWindow(s->win);
                } else {
                    SDL_SetWindowFullscreen(s->win, SDL_WINDOW_FULLSCREEN_DESKTOP);
                }
            } else {
                if (s->own_full)
                    SDL_SetWindowBordered(s->win, SDL_TRUE);
                else
                    SDL_SetWindowFullscreen(s->win, 0);
                s->own_full = false;
                SDL_SetWindowSize(s->win, std::max(w.w, 1), std::max(w.h, 1));
                SDL_SetWindowPosition(s->win, w.x, w.y);
            }
        }
        if (!w.fullscreen && old.fullscreen == w.fullscreen) {
            if (old.w != w.w || old.h != w.h) SDL_SetWindowSize(s->win, std::max(w.w, 1), std::max(w.h, 1));
            if (old.x != w.x || old.y != w.y) SDL_SetWindowPosition(s->win, w.x, w.y);
        }
        if (old.visible != w.visible) {
            if (w.visible)
                SDL_ShowWindow(s->win);
            else
                SDL_HideWindow(s->win);
        }
        if (s->direct && old.fullscreen != w.fullscreen) paint(s);
    }

    void destroy(void* p) override {
        auto* s = static_cast<Surf*>(p);
        if (!s) return;
        surfs_.erase(SDL_GetWindowID(s->win));
        free_surf(s);
    }

    void present(void* p, std::vector<uint32_t>& frame, int w, int h) override {
        auto* s = static_cast<Surf*>(p);
        if (!s || w <= 0 || h <= 0 || frame.size() < size_t(w) * size_t(h)) return;
        if (s->direct) {
            s->frame.swap(frame);  // kept for redraws after a resize
            s->fw = w;
            s->fh = h;
            paint(s, SDL_GetPerformanceCounter());
            return;
        }
        if (!s->ren) return;
        if (!s->tex || s->tw != w || s->th != h) {
            if (s->tex) SDL_DestroyTexture(s->tex);
            // SDL's own 32-bit layout: taken in without a conversion. The byte above the colour is
            // 0 in our pixels, so the texture must not blend.
            s->tex = SDL_CreateTexture(s->ren, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
            if (s->tex) SDL_SetTextureBlendMode(s->tex, SDL_BLENDMODE_NONE);
            s->tw = w;
            s->th = h;
        }
        if (!s->tex) return;
        const Uint64 t0 = SDL_GetPerformanceCounter();
        SDL_UpdateTexture(s->tex, nullptr, frame.data(), w * 4);
        note_present_work((SDL_GetPerformanceCounter() - t0) * 1000000000ull / SDL_GetPerformanceFrequency());
        redraw(s);
    }

    void poll(std::vector<InputEvent>& out) override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            switch (e.type) {
            case SDL_WINDOWEVENT: {
                Surf* s = find(e.window.windowID);
                if (!s) break;
                switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE: out.push_back({InputEvent::Close, s->info.hwnd}); break;
                case SDL_WINDOWEVENT_FOCUS_GAINED: out.push_back({InputEvent::FocusIn, s->info.hwnd}); break;
                case SDL_WINDOWEVENT_FOCUS_LOST: out.push_back({InputEvent::FocusOut, s->info.hwnd}); break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    // Uncovered or resized (a new surface, perhaps in the old one's memory): the borders
                    // are cleared and sent again too, not only the picture.
                    s->cleared_px = nullptr;
                    if (s->direct)
                        paint(s);
                    else
                        redraw(s);
                    break;
                }
                break;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                Surf* s = find(e.key.windowID);
                int vk = vk_of(e.key.keysym.sym);
                if (vk)
                    out.push_back({e.type == SDL_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp,
                                   s ? s->info.hwnd : nullptr, vk});
                break;
            }
            case SDL_MOUSEMOTION: {
                Surf* s = find(e.motion.windowID);
                if (!s) break;
                int x, y;
                to_client(s, e.motion.x, e.motion.y, x, y);
                out.push_back({InputEvent::MouseMove, s->info.hwnd, 0, x, y});
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                Surf* s = find(e.button.windowID);
                int b = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1
                        : e.button.button == SDL_BUTTON_MIDDLE                                       ? 2
                                                                                                     : -1;
                if (!s || b < 0) break;
                int x, y;
                to_client(s, e.button.x, e.button.y, x, y);
                out.push_back({e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::ButtonDown : InputEvent::ButtonUp,
                               s->info.hwnd, b, x, y});
                break;
            }
            }
        }
    }

    void raise(void* p) override {
        if (auto* s = static_cast<Surf*>(p)) SDL_RaiseWindow(s->win);
    }

    void warp_mouse(void* p, int x, int y) override {
        auto* s = static_cast<Surf*>(p);
        if (!s) return;
        if (s->info.fullscreen) {
            int ww = 0, wh = 0;
            SDL_GetWindowSize(s->win, &ww, &wh);
            mode_to_window(fit_mode(ww, wh, s->info.mode_w, s->info.mode_h), s->info.mode_w, s->info.mode_h,
                           s->info.x + x, s->info.y + y, x, y);
        }
        SDL_WarpMouseInWindow(s->win, x, y);
    }

    void show_cursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

    void set_cursor(void* key, const CursorPicture* pic) override {
        SDL_Cursor* c = nullptr;
        if (pic) {
            auto it = cursors_.find(key);
            if (it != cursors_.end()) {
                c = it->second;
            } else {
                SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                    const_cast<uint32_t*>(pic->argb.data()), pic->w, pic->h, 32, pic->w * 4, SDL_PIXELFORMAT_ARGB8888);
                if (surface) {
                    c = SDL_CreateColorCursor(surface, pic->hot_x, pic->hot_y);
                    SDL_FreeSurface(surface);
                }
                if (c) cursors_[key] = c;
            }
        }
        if (!c) {
            if (!arrow_) arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
            c = arrow_;
        }
        if (c) SDL_SetCursor(c);
    }

private:
    const bool direct_;  // pictures go straight into the windows' own surfaces where they can
    std::map<Uint32, Surf*> surfs_;
    std::map<void*, SDL_Cursor*> cursors_;  // module cursors by handle, kept for the process
    SDL_Cursor* arrow_ = nullptr;

    Surf* find(Uint32 id) {
        auto it = surfs_.find(id);
        return it == surfs_.end() ? nullptr : it->second;
    }

    void free_surf(Surf* s) {
        if (s->tex) SDL_DestroyTexture(s->tex);
        if (s->ren) SDL_DestroyRenderer(s->ren);
        if (s->win) SDL_DestroyWindow(s->win);
        delete s;
    }

    void redraw(Surf* s) {
        if (!s->ren) return;
        SDL_SetRenderDrawColor(s->ren, 0, 0, 0, 255);
        SDL_RenderClear(s->ren);
        if (s->tex) {
            if (s->info.fullscreen) {
                // The client area sits where it would on a screen of the display mode's size, and
                // that screen is scaled into the window's real size.
                int ow = 0, oh = 0;
                SDL_GetRendererOutputSize(s->ren, &ow, &oh);
                const TopWindow& i = s->info;
                Fit r = mode_rect(fit_mode(ow, oh, i.mode_w, i.mode_h), i.mode_w, i.mode_h, i.x, i.y, s->tw, s->th);
                SDL_Rect dst{r.x, r.y, r.w, r.h};
                SDL_RenderCopy(s->ren, s->tex, nullptr, &dst);
            } else {
                SDL_RenderCopy(s->ren, s->tex, nullptr, nullptr);
            }
        }
        SDL_RenderPresent(s->ren);
    }

    // The window-surface path: the last frame written into the window's surface (scaled in full
    // screen, with black borders) and shown. `t0` set: the writing counts as the frame's upload.
    void paint(Surf* s, Uint64 t0 = 0) {
        SDL_Surface* dst = SDL_GetWindowSurface(s->win);
        if (!dst || s->frame.empty()) return;
        Fit r{0, 0, s->fw, s->fh};
        if (s->info.fullscreen) {
            const TopWindow& i = s->info;
            r = mode_rect(fit_mode(dst->w, dst->h, i.mode_w, i.mode_h), i.mode_w, i.mode_h, i.x, i.y, s->fw, s->fh);
        }
        bool whole = false;
        if (dst->pixels != s->cleared_px || dst->w != s->cleared_w || dst->h != s->cleared_h || r.x != s->cleared_at.x ||
            r.y != s->cleared_at.y || r.w != s->cleared_at.w || r.h != s->cleared_at.h) {
            // A new surface or place: what the picture does not cover is black (the surface keeps it).
            SDL_FillRect(dst, nullptr, SDL_MapRGB(dst->format, 0, 0, 0));
            s->cleared_px = dst->pixels;
            s->cleared_w = dst->w;
            s->cleared_h = dst->h;
            s->cleared_at = r;
            whole = true;
        }
        if (SDL_MUSTLOCK(dst)) SDL_LockSurface(dst);
        write_scaled(s->frame.data(), s->fw, s->fh, r, dst);
        if (SDL_MUSTLOCK(dst)) SDL_UnlockSurface(dst);
        if (t0) note_present_work((SDL_GetPerformanceCounter() - t0) * 1000000000ull / SDL_GetPerformanceFrequency());
        // Otherwise the borders are as they were: only the picture goes to the display.
        SDL_Rect show{std::max(0, r.x), std::max(0, r.y), 0, 0};
        show.w = std::min(dst->w, r.x + r.w) - show.x;
        show.h = std::min(dst->h, r.y + r.h) - show.y;
        if (whole)
            SDL_UpdateWindowSurface(s->win);
        else if (show.w > 0 && show.h > 0)
            SDL_UpdateWindowSurfaceRects(s->win, &show, 1);
    }

    // 0x00RRGGBB pixels of w x h into `r` of the surface (nearest pixel when the sizes differ), clipped
    // to it. The X image of a 24/32-bit display has our layout and takes rows as they are.
    static void write_scaled(const uint32_t* src, int w, int h, const Fit& r, SDL_Surface* dst) {
        if (r.w <= 0 || r.h <= 0 || w <= 0 || h <= 0) return;
        const int x0 = std::max(0, r.x), x1 = std::min(dst->w, r.x + r.w);
        const int y0 = std::max(0, r.y), y1 = std::min(dst->h, r.y + r.h);
        if (x0 >= x1 || y0 >= y1) return;
        const Uint32 fmt = dst->format->format;
        const bool same = fmt == SDL_PIXELFORMAT_RGB888;
        const int bpp = dst->format->BytesPerPixel;
        const bool one = r.w == w && r.h == h;
        std::vector<int> cols;
        if (!one) {
            cols.resize(size_t(x1 - x0));
            for (int x = x0; x < x1; ++x) cols[size_t(x - x0)] = int(int64_t(x - r.x) * w / r.w);
        }
        std::vector<uint32_t> row;
        if (!same) row.resize(size_t(x1 - x0));
        auto* base = static_cast<uint8_t*>(dst->pixels);
        int last = -1;
        uint8_t* last_out = nullptr;
        for (int y = y0; y < y1; ++y) {
            const int sy = one ? y - r.y : int(int64_t(y - r.y) * h / r.h);
            uint8_t* out = base + size_t(y) * dst->pitch + size_t(x0) * bpp;
            if (sy == last) {  // a row shown again: copy the one just written
                if (bpp == 4)
                    copy_row(reinterpret_cast<uint32_t*>(out), reinterpret_cast<const uint32_t*>(last_out), size_t(x1 - x0));
                else
                    std::memcpy(out, last_out, size_t(x1 - x0) * bpp);
                continue;
            }
            const uint32_t* in = src + size_t(sy) * w;
            uint32_t* to = same ? reinterpret_cast<uint32_t*>(out) : row.data();
            if (one) {
                copy_row(to, in + (x0 - r.x), size_t(x1 - x0));
            } else {
                for (size_t i = 0; i < cols.size(); ++i) to[i] = in[cols[i]];
            }
            if (!same) {
                for (uint32_t& p : row) p |= 0xFF000000u;
                SDL_ConvertPixels(x1 - x0, 1, SDL_PIXELFORMAT_ARGB8888, row.data(), (x1 - x0) * 4, fmt, out,
                                  (x1 - x0) * bpp);
            }
            last = sy;
            last_out = out;
        }
    }

    // Mouse positions arrive in window coordinates; in full screen they map back through the scale.
    void to_client(Surf* s, int x, int y, int& cx, int& cy) {
        if (s->info.fullscreen) {
            int ww = 0, wh = 0;
            SDL_GetWindowSize(s->win, &ww, &wh);
            const TopWindow& i = s->info;
            int mx, my;
            window_to_mode(fit_mode(ww, wh, i.mode_w, i.mode_h), i.mode_w, i.mode_h, x, y, mx, my);
            cx = mx - i.x;
            cy = my - i.y;
        } else {
            cx = x;
            cy = y;
        }
    }
};

}  // namespace

std::unique_ptr<Backend> make_sdl_backend(std::string& error) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // SIGINT/SIGTERM end the program as usual
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    return std::make_unique<Sdl>();
}

}  // namespace plat
