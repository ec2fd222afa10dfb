// The SDL backend: one real window per top-level window, its surface streamed into a texture and
// presented on the main thread; keys become virtual keys and the mouse client coordinates (also when
// the picture is scaled to a full-screen display mode); focus and the close button become events.
//
// Full screen: the window covers the desktop (the window manager's full-screen state, or, on a bare
// X server that has no window manager to resize it, a borderless window we size ourselves) and the
// display mode's screen is drawn whole and centred at the scale the window's real size allows.
#include <SDL2/SDL.h>

#include <map>

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
};

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

class Sdl final : public Backend {
public:
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
        s->ren = SDL_CreateRenderer(s->win, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!s->ren) s->ren = SDL_CreateRenderer(s->win, -1, SDL_RENDERER_SOFTWARE);
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
    }

    void destroy(void* p) override {
        auto* s = static_cast<Surf*>(p);
        if (!s) return;
        surfs_.erase(SDL_GetWindowID(s->win));
        free_surf(s);
    }

    void present(void* p, const uint32_t* px, int w, int h, int stride) override {
        auto* s = static_cast<Surf*>(p);
        if (!s || !s->ren) return;
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
        SDL_UpdateTexture(s->tex, nullptr, px, stride * 4);
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
                case SDL_WINDOWEVENT_SIZE_CHANGED: redraw(s); break;
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
