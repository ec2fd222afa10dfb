// Debug output, the command line, the WinMain adapter and process exit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "vokplat/debug.h"
#include "vokplat/winmain.h"
#include "win32/winmisc.h"
#include "win32/winmod.h"

namespace {

constexpr size_t kDebugKeep = 1 << 20;

std::mutex g_debug_mutex;
std::string& debug_capture() {
    static std::string s;
    return s;
}

bool env_on(const char* name) {
    const char* v = getenv(name);
    return v && *v && strcmp(v, "0") != 0;
}

size_t copy_out(const std::string& s, char* out, size_t out_size) {
    if (out && out_size) {
        size_t n = s.size() < out_size - 1 ? s.size() : out_size - 1;
        memcpy(out, s.data(), n);
        out[n] = 0;
    }
    return s.size();
}

// One argument as the Windows command-line parser reads it back: quoted when it is empty or holds
// blanks or quotes; backslashes double only where they precede a quote.
std::string quote_arg(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

std::string join_args(const std::vector<std::string>& args, size_t first) {
    std::string out;
    for (size_t i = first; i < args.size(); ++i) {
        if (i > first) out += ' ';
        out += quote_arg(args[i]);
    }
    return out;
}

}  // namespace

extern "C" {

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    if (env_on("VOK_DEBUG_OUTPUT")) {
        fputs(text, stderr);
        fflush(stderr);
    }
    std::lock_guard lock(g_debug_mutex);
    std::string& cap = debug_capture();
    cap += text;
    if (cap.size() > kDebugKeep) cap.erase(0, cap.size() - kDebugKeep);
}

size_t PlatDebugOutput(char* out, size_t out_size) {
    std::lock_guard lock(g_debug_mutex);
    return copy_out(debug_capture(), out, out_size);
}

void PlatDebugOutputClear(void) {
    std::lock_guard lock(g_debug_mutex);
    debug_capture().clear();
}

LPSTR WINAPI GetCommandLineA(void) {
    static std::vector<char> line = [] {
        std::ifstream f("/proc/self/cmdline", std::ios::binary);
        std::string raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::vector<std::string> args;
        size_t pos = 0;
        while (pos < raw.size()) {
            size_t end = raw.find('\0', pos);
            if (end == std::string::npos) end = raw.size();
            args.push_back(raw.substr(pos, end - pos));
            pos = end + 1;
        }
        std::string s = join_args(args, 0);
        return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
    }();
    return line.data();
}

// Detach entries run from the modules' destructors, which exit runs, as it runs the program's.
void WINAPI ExitProcess(UINT code) {
    fflush(nullptr);
    exit(static_cast<int>(code));
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = 0;
    return TRUE;
}

int PlatRunWinMain(int argc, char** argv, PlatWinMainProc win_main) {
    std::vector<std::string> args(argv, argv + argc);
    std::string tail = join_args(args, 1);
    std::vector<char> line(tail.c_str(), tail.c_str() + tail.size() + 1);
    const int show_normal = 1;  // SW_SHOWNORMAL
    return win_main(GetModuleHandleA(nullptr), nullptr, line.data(), show_normal);
}

}  // extern "C"
