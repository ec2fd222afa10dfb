// Automation: the input script, the log of windows and presents, and captures of client areas to PNG.
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sstream>
#include <strings.h>

#include "vokplat/png.h"
#include "clock.h"
#include "fsutil.h"
#include "vokplat/msgbox.h"
#include "vokplat/window.h"
#include "win/wnd.h"

namespace plat {

bool char_to_vk(int ch, int& vk, bool& shift);

namespace {

std::mutex g_auto;  // guards everything in this file; never held while taking the window lock

// ---- log ----
FILE* g_log = nullptr;
bool g_log_opened = false;

FILE* log_file() {
    if (!g_log_opened) {
        g_log_opened = true;
        const char* p = std::getenv("VOK_LOG");
        if (p && *p) g_log = std::strcmp(p, "-") == 0 ? stderr : std::fopen(p, "w");
    }
    return g_log;
}

// ---- frames kept for captures after a window is gone ----
struct Frame {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
};
std::map<HWND, Frame> g_frames;  // the last few destroyed windows only
std::deque<HWND> g_frame_order;
constexpr size_t kFramesKept = 8;
HWND g_last_top = nullptr;

// Client pixels are 0x00RRGGBB words; the writer takes RGB bytes.
bool write_png(const char* path, const uint32_t* px, int w, int h) {
    if (!path || w <= 0 || h <= 0) return false;
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        rgb[3 * i] = static_cast<unsigned char>(px[i] >> 16);
        rgb[3 * i + 1] = static_cast<unsigned char>(px[i] >> 8);
        rgb[3 * i + 2] = static_cast<unsigned char>(px[i]);
    }
    return PlatWritePngRgb(path, w, h, rgb.data());
}

bool capture(HWND hwnd, Frame& f) {
    {
        std::lock_guard<std::mutex> g(wlock());
        if (compose(hwnd, f.px, f.w, f.h)) return true;
    }
    std::lock_guard<std::mutex> g(g_auto);
    auto it = g_frames.find(hwnd);
    if (it == g_frames.end()) return false;
    f = it->second;
    return true;
}

// ---- input script ----
struct Event {
    uint64_t due;
    int line;
    std::string cmd;
    std::vector<std::string> args;
    std::string rest;  // text after the command, for "char"
};
std::deque<Event> g_events;
std::string g_target;  // class or title chosen by "window"; empty: the active window

int vk_by_name(const std::string& n) {
    static const struct {
        const char* name;
        int vk;
    } names[] = {{"BACK", VK_BACK},     {"BACKSPACE", VK_BACK}, {"TAB", VK_TAB},       {"RETURN", VK_RETURN},
                 {"ENTER", VK_RETURN},  {"SHIFT", VK_SHIFT},    {"CONTROL", VK_CONTROL}, {"CTRL", VK_CONTROL},
                 {"MENU", VK_MENU},     {"ALT", VK_MENU},       {"PAUSE", VK_PAUSE},   {"ESCAPE", VK_ESCAPE},
                 {"ESC", VK_ESCAPE},    {"SPACE", VK_SPACE},    {"PRIOR", VK_PRIOR},   {"PAGEUP", VK_PRIOR},
                 {"NEXT", VK_NEXT},     {"PAGEDOWN", VK_NEXT},  {"END", VK_END},       {"HOME", VK_HOME},
                 {"LEFT", VK_LEFT},     {"UP", VK_UP},          {"RIGHT", VK_RIGHT},   {"DOWN", VK_DOWN},
                 {"INSERT", VK_INSERT}, {"DELETE", VK_DELETE},  {"CAPITAL", VK_CAPITAL}};
    for (auto& e : names)
        if (strcasecmp(e.name, n.c_str()) == 0) return e.vk;
    if (n.size() == 1 && isalnum(static_cast<unsigned char>(n[0]))) return toupper(static_cast<unsigned char>(n[0]));
    if ((n[0] == 'F' || n[0] == 'f') && n.size() <= 3 && isdigit(static_cast<unsigned char>(n[1]))) {
        int k = std::atoi(n.c_str() + 1);
        if (k >= 1 && k <= 12) return VK_F1 + k - 1;
    }
    if (n.size() > 2 && n[0] == '0' && (n[1] == 'x' || n[1] == 'X')) return static_cast<int>(std::strtol(n.c_str(), nullptr, 16)) & 0xFF;
    return 0;
}

int answer_by_name(const std::string& n) {
    static const struct {
        const char* name;
        int id;
    } ids[] = {{"IDOK", 1}, {"OK", 1}, {"IDCANCEL", 2}, {"CANCEL", 2}, {"IDABORT", 3}, {"ABORT", 3},
               {"IDRETRY", 4}, {"RETRY", 4}, {"IDIGNORE", 5}, {"IGNORE", 5}, {"IDYES", 6}, {"YES", 6},
               {"IDNO", 7}, {"NO", 7}};
    for (auto& e : ids)
        if (strcasecmp(e.name, n.c_str()) == 0) return e.id;
    return std::atoi(n.c_str());
}

bool parse_script(const std::string& text, std::string& err) {
    std::deque<Event> evs;
    std::vector<int> answers;
    std::istringstream in(text);
    std::string line;
    uint64_t base = clock_now_ms(), last = base;
    int n = 0;
    static const char* known[] = {"key", "keydown", "keyup", "char", "move", "click", "down", "up", "dblclick",
                                  "close", "focus", "unfocus", "answer", "capture", "window"};
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        std::istringstream ls(line.substr(p));
        std::string t, cmd;
        ls >> t >> cmd;
        char* end = nullptr;
        bool rel = !t.empty() && t[0] == '+';
        unsigned long long v = std::strtoull(t.c_str() + (rel ? 1 : 0), &end, 10);
        if (t.empty() || !end || *end || cmd.empty()) {
            err = "line " + std::to_string(n) + ": expected '<ms> <command> ...'";
            return false;
        }
        bool ok = false;
        for (const char* k : known) ok |= cmd == k;
        if (!ok) {
            err = "line " + std::to_string(n) + ": unknown command '" + cmd + "'";
            return false;
        }
        Event e;
        e.due = rel ? last + v : base + v;
        last = e.due;
        e.line = n;
        e.cmd = cmd;
        std::string rest;
        std::getline(ls, rest);
        size_t q = rest.find_first_not_of(" \t");
        e.rest = q == std::string::npos ? "" : rest.substr(q);
        std::istringstream as(e.rest);
        for (std::string a; as >> a;) e.args.push_back(a);
        if (cmd == "answer") {
            int id = e.args.empty() ? 0 : answer_by_name(e.args[0]);
            if (id <= 0) {
                err = "line " + std::to_string(n) + ": unknown answer";
                return false;
            }
            answers.push_back(id);
            continue;
        }
        if ((cmd == "key" || cmd == "keydown" || cmd == "keyup") && (e.args.empty() || !vk_by_name(e.args[0]))) {
            err = "line " + std::to_string(n) + ": unknown key";
            return false;
        }
        if ((cmd == "move" || cmd == "click" || cmd == "down" || cmd == "up" || cmd == "dblclick") &&
            e.args.size() < 2) {
            err = "line " + std::to_string(n) + ": expected X Y";
            return false;
        }
        evs.push_back(e);
    }
    std::stable_sort(evs.begin(), evs.end(), [](const Event& a, const Event& b) { return a.due < b.due; });
    g_events = std::move(evs);
    g_target.clear();
    for (int a : answers) PlatMsgBoxPushAnswer(a);
    return true;
}

HWND script_target(const std::string& want) {
    std::lock_guard<std::mutex> g(wlock());
    HWND best = nullptr;
    for (auto& [h, w] : win_all()) {
        if ((w->style & WS_CHILD) || w->destroying || !(w->style & WS_VISIBLE)) continue;
        if (!want.empty() && strcasecmp(w->cls->name.c_str(), want.c_str()) != 0 && w->text != want) continue;
        best = h;  // the newest wins
    }
    return best;
}

int button_of(const std::vector<std::string>& a) {
    if (a.size() < 3) return 0;
    if (a[2] == "right") return 1;
    if (a[2] == "middle") return 2;
    return 0;
}

void run_event(const Event& e) {
    if (e.cmd == "window") {
        g_target = e.rest;
        return;
    }
    HWND top = g_target.empty() ? GetActiveWindow() : nullptr;
    if (!top) top = script_target(g_target);
    if (!top) {
        log_line("script line %d: no window for '%s'", e.line, e.cmd.c_str());
        return;
    }
    auto ev = [&](InputEvent::Kind k, int vk = 0, int x = 0, int y = 0) {
        InputEvent ie{k, top, vk, x, y};
        input_event(ie);
    };
    auto xy = [&](int i) { return std::atoi(e.args[i].c_str()); };
    if (e.cmd == "key" || e.cmd == "keydown" || e.cmd == "keyup") {
        int vk = vk_by_name(e.args[0]);
        if (e.cmd != "keyup") ev(InputEvent::KeyDown, vk);
        if (e.cmd != "keydown") ev(InputEvent::KeyUp, vk);
    } else if (e.cmd == "char") {
        for (unsigned char c : e.rest) {
            int vk;
            bool shift;
            if (char_to_vk(c, vk, shift)) {
                if (shift) ev(InputEvent::KeyDown, VK_SHIFT);
                ev(InputEvent::KeyDown, vk);
                ev(InputEvent::KeyUp, vk);
                if (shift) ev(InputEvent::KeyUp, VK_SHIFT);
            } else {
                ev(InputEvent::Char, c);
            }
        }
    } else if (e.cmd == "move") {
        ev(InputEvent::MouseMove, 0, xy(0), xy(1));
    } else if (e.cmd == "click" || e.cmd == "dblclick") {
        int b = button_of(e.args);
        ev(InputEvent::MouseMove, 0, xy(0), xy(1));
        for (int i = 0; i < (e.cmd == "click" ? 1 : 2); ++i) {
            ev(InputEvent::ButtonDown, b, xy(0), xy(1));
            ev(InputEvent::ButtonUp, b, xy(0), xy(1));
        }
    } else if (e.cmd == "down" || e.cmd == "up") {
        ev(InputEvent::MouseMove, 0, xy(0), xy(1));
        ev(e.cmd == "down" ? InputEvent::ButtonDown : InputEvent::ButtonUp, button_of(e.args), xy(0), xy(1));
    } else if (e.cmd == "close") {
        ev(InputEvent::Close);
    } else if (e.cmd == "focus") {
        ev(InputEvent::FocusIn);
    } else if (e.cmd == "unfocus") {
        ev(InputEvent::FocusOut);
    } else if (e.cmd == "capture") {
        Frame f;
        bool ok = capture(top, f) && write_png(e.rest.c_str(), f.px.data(), f.w, f.h);
        log_line("capture %s %s", e.rest.c_str(), ok ? "ok" : "FAILED");
    }
    log_line("script line %d: %s %s", e.line, e.cmd.c_str(), e.rest.c_str());
}

// Writes VOK_CAPTURE; false (with a message) when it is asked for and cannot be written.
bool write_exit_capture() {
    const char* path = std::getenv("VOK_CAPTURE");
    if (!path || !*path) return true;
    HWND h;
    {
        std::lock_guard<std::mutex> g(wlock());
        h = nullptr;
        for (auto& [k, w] : win_all())
            if (!(w->style & WS_CHILD) && (w->style & WS_VISIBLE)) h = k;
    }
    if (!h) {
        std::lock_guard<std::mutex> g(g_auto);
        h = g_last_top;
    }
    Frame f;
    if (!h || !capture(h, f)) {
        std::fprintf(stderr, "platform: the exit capture %s has no window to show\n", path);
        return false;
    }
    if (!write_png(path, f.px.data(), f.w, f.h)) {
        std::fprintf(stderr, "platform: could not write the exit capture %s: %s\n", path, std::strerror(errno));
        return false;
    }
    return true;
}

void exit_capture() { write_exit_capture(); }

std::once_flag g_env_script;

bool load_text(const char* text) {
    std::string err;
    std::lock_guard<std::mutex> g(g_auto);
    if (!parse_script(text ? text : "", err)) {
        std::fprintf(stderr, "platform: input script: %s\n", err.c_str());
        return false;
    }
    return true;
}

bool load_file(const char* path) {
    // A folder opens like a file and reads as nothing: the read's error is what refuses it.
    std::string text;
    if (!path || !read_all(path, text)) {
        std::fprintf(stderr, "platform: input script %s cannot be read: %s\n", path ? path : "(null)",
                     path ? std::strerror(errno) : "no name");
        return false;
    }
    return load_text(text.c_str());
}

void load_env_script() {
    std::call_once(g_env_script, [] {
        const char* p = std::getenv("VOK_INPUT_SCRIPT");
        if (p && *p && !load_file(p)) {
            std::fprintf(stderr, "platform: input script %s could not be used\n", p);
            std::exit(2);
        }
    });
}

}  // namespace

bool headless() { return backend_is_headless(); }

void log_line(const char* fmt, ...) {
    std::lock_guard<std::mutex> g(g_auto);
    FILE* f = log_file();
    if (!f) return;
    std::fprintf(f, "[%llu] ", static_cast<unsigned long long>(clock_now_ms()));
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(f, fmt, ap);
    va_end(ap);
    std::fputc('\n', f);
    std::fflush(f);
}

void log_window(const char* what, Window* w) {
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(exit_capture);
    }
    log_line("window %s %p class=\"%s\" title=\"%s\" %dx%d", what, static_cast<void*>(w->hwnd), w->cls->name.c_str(),
             w->text.c_str(), w->sw, w->sh);
}

void remember_frame(HWND top, const std::vector<uint32_t>& px, int w, int h) {
    std::lock_guard<std::mutex> g(g_auto);
    if (!g_frames.count(top)) g_frame_order.push_back(top);
    g_frames[top] = Frame{px, w, h};
    g_last_top = top;
    while (g_frame_order.size() > kFramesKept) {
        g_frames.erase(g_frame_order.front());
        g_frame_order.pop_front();
    }
}

void quit_capture(MSG* quit) {
    // Only the quit code can still tell that the capture failed: an exit status is fixed before the
    // capture at exit runs. A program that quits with 0 then ends with 1.
    if (!is_main_thread() || !std::getenv("VOK_CAPTURE")) return;
    if (!write_exit_capture() && quit->wParam == 0) quit->wParam = 1;
}

uint64_t script_next_due() {
    std::lock_guard<std::mutex> g(g_auto);
    return g_events.empty() ? UINT64_MAX : g_events.front().due;
}

void script_load() { load_env_script(); }

void script_pump() {
    load_env_script();
    for (;;) {
        Event e;
        {
            std::lock_guard<std::mutex> g(g_auto);
            if (g_events.empty() || g_events.front().due > clock_now_ms()) return;
            e = g_events.front();
            g_events.pop_front();
        }
        run_event(e);
    }
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

// A script loaded by the program wins over VOK_INPUT_SCRIPT.
BOOL VokLoadInputScriptText(const char* text) {
    std::call_once(g_env_script, [] {});
    return load_text(text);
}

BOOL VokLoadInputScript(const char* path) {
    std::call_once(g_env_script, [] {});
    return load_file(path);
}

void VokLog(const char* area, const char* text) { log_line("%s %s", area ? area : "", text ? text : ""); }

BOOL VokCaptureWindow(HWND hwnd, uint32_t* px, int capacity, int* w, int* h) {
    Frame f;
    if (!capture(hwnd, f)) return FALSE;
    if (w) *w = f.w;
    if (h) *h = f.h;
    if (px) {
        if (capacity < f.w * f.h) return FALSE;
        std::memcpy(px, f.px.data(), f.px.size() * sizeof(uint32_t));
    }
    return TRUE;
}

BOOL VokCaptureWindowPng(HWND hwnd, const char* path) {
    Frame f;
    return capture(hwnd, f) && write_png(path, f.px.data(), f.w, f.h);
}

WIN32_END
