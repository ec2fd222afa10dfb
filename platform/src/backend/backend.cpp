// Chooses the backend once per process: headless when asked for (VOK_HEADLESS=1, VOK_BACKEND=headless),
// else SDL on the display; no display and no headless request is a clear error, never a hang.
#include "backend/backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat {
namespace {

std::unique_ptr<Backend> g_backend;
std::once_flag g_once;

bool env_on(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

void choose() {
    const char* want = std::getenv("VOK_BACKEND");
    if ((want && std::strcmp(want, "headless") == 0) || (!want && env_on("VOK_HEADLESS"))) {
        g_backend = make_headless_backend();
        return;
    }
    if (want && *want && std::strcmp(want, "sdl") != 0) {
        std::fprintf(stderr, "platform: unknown VOK_BACKEND '%s' (use sdl or headless)\n", want);
        std::exit(1);
    }
    const char* d = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    if ((!d || !*d) && (!wl || !*wl)) {
        std::fprintf(stderr,
                     "platform: no display to open windows on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "          Run on a desktop, or set VOK_HEADLESS=1 to run without one.\n");
        std::exit(1);
    }
    std::string err;
    g_backend = make_sdl_backend(err);
    if (!g_backend) {
        std::fprintf(stderr, "platform: the display could not be opened: %s\n"
                             "          Set VOK_HEADLESS=1 to run without one.\n", err.c_str());
        std::exit(1);
    }
}

}  // namespace

Backend& backend() {
    std::call_once(g_once, choose);
    return *g_backend;
}

bool backend_is_headless() { return std::strcmp(backend().name(), "headless") == 0; }

}  // namespace plat
