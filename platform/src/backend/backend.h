// The one narrow seam between the window system and what shows it. The window system calls every
// function here on the main thread only, from the message pump, so a backend needs no locking.
// (Message boxes and the audio device talk to SDL themselves: msgbox.cpp, sound/audio_device.cpp.)
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct CursorPicture;

// What the backend needs to know about one top-level window.
struct TopWindow {
    void* hwnd = nullptr;
    std::string title;
    int x = 0, y = 0;          // client origin on the screen
    int w = 0, h = 0;          // client size (the surface size)
    bool visible = false;
    bool fullscreen = false;   // shown on the whole desktop as a mode_w x mode_h screen, aspect kept
    int mode_w = 0, mode_h = 0;
    bool raise = false;        // bring to the front now
};

// Input as the backend saw it; the window system turns it into messages.
struct InputEvent {
    enum Kind { KeyDown, KeyUp, Char, MouseMove, ButtonDown, ButtonUp, Close, FocusIn, FocusOut } kind;
    void* hwnd = nullptr;      // the top-level window concerned
    int vk = 0;                // KeyDown/KeyUp: virtual key; Char: character byte; Button*: 0 left 1 right 2 middle
    int x = 0, y = 0;          // Mouse*/Button*: client coordinates of hwnd
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    virtual void screen_size(int& w, int& h) = 0;
    virtual int screen_bits() = 0;

    virtual void* create(const TopWindow& w) = 0;
    virtual void update(void* surface, const TopWindow& w) = 0;
    virtual void destroy(void* surface) = 0;
    // Shows the w x h 0x00RRGGBB pixels of `frame`, the whole client area. The backend may keep the
    // buffer for redrawing, handing one of its own back in exchange (of any size): no frame copied.
    virtual void present(void* surface, std::vector<uint32_t>& frame, int w, int h) = 0;
    virtual void poll(std::vector<InputEvent>& out) = 0;
    virtual void raise(void* surface) {}
    virtual void warp_mouse(void* surface, int x, int y) {}
    virtual void show_cursor(bool show) {}
    // The cursor to show: `picture` for a module's own cursor (`key` names it, the same key the same
    // picture), null for the system arrow.
    virtual void set_cursor(void* key, const CursorPicture* picture) {}

};

// Time a backend spent taking a frame in (texture upload), added to the pump's present statistics.
void note_present_work(uint64_t ns);
// A line in the VOK_LOG log.
void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::unique_ptr<Backend> make_headless_backend();
// Returns null with `error` set when no display can be opened.
std::unique_ptr<Backend> make_sdl_backend(std::string& error);

// The backend of this process, chosen on first use (VOK_HEADLESS / VOK_BACKEND / a display present).
Backend& backend();
bool backend_is_headless();

}  // namespace plat
