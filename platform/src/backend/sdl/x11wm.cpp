// Whether a window manager runs on the window's X server, apart from the SDL backend so that X11's
// macros (FocusIn, KeyPress...) never meet the backend's own names.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#ifdef VOK_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace plat {

#ifdef VOK_HAVE_X11
namespace {
// A manager killed without tidying up leaves the root naming a window that no longer exists; asking
// that window would end the program through Xlib's default error handler.
int ignore_error(Display*, XErrorEvent*) { return 0; }
}  // namespace
#endif

// True when a window manager runs that can put a window into its full-screen state. Only a bare X
// server lacks one (Wayland compositors and other video drivers always manage their windows).
bool has_window_manager(SDL_Window* win) {
#ifdef VOK_HAVE_X11
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(win, &wm) || wm.subsystem != SDL_SYSWM_X11) return true;
    Display* d = wm.info.x11.display;
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    // The root names the manager's window, which names itself: a stale property of a manager that
    // has gone does not pass.
    auto child_of = [&](::Window w, ::Window& out) {
        Atom type;
        int format;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(d, w, check, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) ==
                      Success &&
                  data && n == 1 && format == 32;
        if (ok) out = *reinterpret_cast<::Window*>(data);
        if (data) XFree(data);
        return ok;
    };
    ::Window manager = 0, self = 0;
    XSync(d, False);
    XErrorHandler before = XSetErrorHandler(ignore_error);
    bool found = child_of(DefaultRootWindow(d), manager) && child_of(manager, self) && self == manager;
    XSync(d, False);  // errors of the requests above arrive while ours is in place
    XSetErrorHandler(before);
    return found;
#else
    (void)win;
    return true;
#endif
}

}  // namespace plat
