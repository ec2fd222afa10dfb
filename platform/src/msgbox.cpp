// Message boxes and beeps: shown with SDL where a display exists, otherwise answered from a queue or
// with the default button; every box and beep is logged.
#include <SDL2/SDL_messagebox.h>
#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "vokplat/msgbox.h"
#include "win/wnd.h"
#include "win32/winmisc.h"

namespace {

constexpr size_t kLogKeep = 1 << 20;

struct Button {
    int id;
    const char* label;
};

const char* answer_name(int id) {
    static const char* const names[] = {"0",       "IDOK",     "IDCANCEL", "IDABORT",
                                        "IDRETRY", "IDIGNORE", "IDYES",    "IDNO"};
    return id >= 0 && id <= IDNO ? names[id] : "?";
}

// The buttons of a set, left to right; empty for an unknown set.
std::vector<Button> buttons_of(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OK: return {{IDOK, "OK"}};
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "Yes"}, {IDNO, "No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}};
    default: return {};
    }
}

// MB_DEFBUTTONn names the n-th button; a button the set does not have falls back to the first.
int default_answer(UINT type, const std::vector<Button>& buttons) {
    size_t index = (type & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0].id;
}

bool env_on(const char* name) {
    const char* v = getenv(name);
    return v && *v && strcmp(v, "0") != 0;
}

struct State {
    std::mutex mutex;
    std::deque<int> answers;
    bool answers_read = false;
    std::string log;
};

State& state() {
    static State s;
    return s;
}

int parse_answer(const std::string& word) {
    static const char* const names[] = {"default", "ok", "cancel", "abort", "retry", "ignore", "yes", "no"};
    for (int i = 0; i <= IDNO; ++i)
        if (strcasecmp(word.c_str(), names[i]) == 0) return i;
    if (word.size() == 1 && word[0] >= '0' && word[0] <= '7') return word[0] - '0';
    fprintf(stderr, "VOK_MSGBOX_ANSWERS: unknown answer \"%s\", the default button is used\n", word.c_str());
    return 0;
}

// Called with the state locked.
void read_env_answers(State& s) {
    s.answers_read = true;
    const char* list = getenv("VOK_MSGBOX_ANSWERS");
    if (!list) return;
    std::string word;
    for (const char* p = list;; ++p) {
        if (*p == ',' || *p == 0) {
            size_t b = word.find_first_not_of(" \t"), e = word.find_last_not_of(" \t");
            if (b != std::string::npos) s.answers.push_back(parse_answer(word.substr(b, e - b + 1)));
            word.clear();
            if (*p == 0) break;
        } else {
            word += *p;
        }
    }
}

std::string escaped(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += *p;
        }
    }
    return out;
}

void write_log(const std::string& line) {
    if (env_on("VOK_MSGBOX_STDERR")) {
        fputs(line.c_str(), stderr);
        fflush(stderr);
    }
    if (const char* path = getenv("VOK_MSGBOX_LOG"); path && *path) {
        if (FILE* f = fopen(path, "a")) {
            fputs(line.c_str(), f);
            fclose(f);
        }
    }
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.log += line;
    if (s.log.size() > kLogKeep) s.log.erase(0, s.log.size() - kLogKeep);
}

// SDL wants UTF-8; the system's texts are single-byte. Valid UTF-8 passes as it is, other bytes
// above 0x7F are taken as Latin-1.
std::string to_utf8(const char* text) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        int len = *p < 0x80                ? 1
                  : (*p & 0xE0) == 0xC0 ? 2
                  : (*p & 0xF0) == 0xE0 ? 3
                  : (*p & 0xF8) == 0xF0 ? 4
                                        : 0;
        bool valid = len > 0;
        for (int i = 1; valid && i < len; ++i) valid = (p[i] & 0xC0) == 0x80;
        if (valid) {
            out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(len));
            p += len;
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
            ++p;
        }
    }
    return out;
}

bool can_show() {
    if (env_on("VOK_HEADLESS")) return false;
    const char* x = getenv("DISPLAY");
    const char* w = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// 0 when the box could not be shown, or was closed and has no Cancel button.
int show_sdl(const char* text, const char* caption, UINT type, const std::vector<Button>& buttons,
             int def) {
    std::vector<SDL_MessageBoxButtonData> data;
    bool has_cancel = false;
    for (const Button& b : buttons) has_cancel |= b.id == IDCANCEL;
    for (const Button& b : buttons) {
        Uint32 flags = 0;
        if (b.id == def) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (b.id == IDCANCEL || (!has_cancel && buttons.size() == 1))
            flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back({flags, b.id, b.label});
    }
    Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: flags |= SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: flags |= SDL_MESSAGEBOX_WARNING; break;
    case MB_ICONQUESTION:
    case MB_ICONASTERISK: flags |= SDL_MESSAGEBOX_INFORMATION; break;
    default: break;
    }
    std::string t = to_utf8(text), c = to_utf8(caption);
    SDL_MessageBoxData box{flags,        nullptr, c.c_str(), t.c_str(), static_cast<int>(data.size()),
                           data.data(), nullptr};
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) return 0;
    if (chosen <= 0) return has_cancel ? IDCANCEL : 0;  // closed: Cancel where the box has one
    return chosen;
}

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::vector<Button> buttons = buttons_of(type);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (!text) text = "";
    if (!caption) caption = "Error";
    const int def = default_answer(type, buttons);
    // A box asked before the first message pump still takes the input script's answers.
    plat::script_load();

    bool scripted = false;
    int asked = 0;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.answers_read) read_env_answers(s);
        if (!s.answers.empty()) {
            scripted = true;
            asked = s.answers.front();
            s.answers.pop_front();
        }
    }
    int answer = 0;
    std::string note;
    if (scripted) {
        for (const Button& b : buttons)
            if (b.id == asked) answer = asked;
        if (!answer && asked) note = std::string(" (scripted ") + answer_name(asked) + " not offered)";
    } else if (can_show()) {
        answer = show_sdl(text, caption, type, buttons, def);
    }
    if (!answer) answer = def;

    char tail[96];
    snprintf(tail, sizeof tail, " type=0x%x answer=%s", type, answer_name(answer));
    write_log("box caption=\"" + escaped(caption) + "\" text=\"" + escaped(text) + "\"" + tail + note + "\n");
    return answer;
}

BOOL WINAPI MessageBeep(UINT type) {
    char line[64];
    snprintf(line, sizeof line, "beep type=0x%x\n", type);
    write_log(line);
    return TRUE;
}

BOOL WINAPI Beep(DWORD frequency, DWORD duration_ms) {
    char line[80];
    snprintf(line, sizeof line, "beep frequency=%u duration=%u\n", frequency, duration_ms);
    write_log(line);
    return TRUE;
}

void PlatMsgBoxPushAnswer(int answer) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.answers_read) read_env_answers(s);
    s.answers.push_back(answer);
}

void PlatMsgBoxReset(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.answers.clear();
    s.log.clear();
    read_env_answers(s);
}

size_t PlatMsgBoxLog(char* out, size_t out_size) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (out && out_size) {
        size_t n = s.log.size() < out_size - 1 ? s.log.size() : out_size - 1;
        memcpy(out, s.log.data(), n);
        out[n] = 0;
    }
    return s.log.size();
}

}  // extern "C"
