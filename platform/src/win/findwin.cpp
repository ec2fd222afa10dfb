// Top-level windows seen across processes of the same user: each process lists its windows as small
// files in the user's runtime folder, so FindWindowA finds another instance and can ask it to come to
// the front (a ".raise" file that the owner's pump picks up).
#include <dirent.h>
#include <cerrno>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <strings.h>

#include "fsutil.h"
#include "win/wnd.h"

namespace plat {
namespace {

std::mutex g_x;
struct Foreign {
    long pid;
    unsigned long long remote;
};
std::vector<Foreign> g_foreign;  // index + base = the HWND handed out
constexpr uintptr_t kForeignBase = 0x7F000000;

std::string dir() {
    const char* r = std::getenv("XDG_RUNTIME_DIR");
    std::string d = r && *r ? std::string(r) : "/tmp/vokplat-" + std::to_string(getuid());
    d += "/vokplat-windows";
    mkdir(d.substr(0, d.rfind('/')).c_str(), 0700);
    mkdir(d.c_str(), 0700);
    return d;
}

std::string entry(long pid, unsigned long long h) {
    char b[64];
    std::snprintf(b, sizeof b, "%ld-%llx", pid, h);
    return b;
}

bool alive(long pid) { return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

bool foreign_get(HWND h, Foreign& f) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if (v < kForeignBase || v >= kForeignBase + 0x100000) return false;
    std::lock_guard<std::mutex> g(g_x);
    size_t i = v - kForeignBase;
    if (i >= g_foreign.size()) return false;
    f = g_foreign[i];
    return true;
}

}  // namespace

void xreg_add(HWND hwnd, const std::string& cls, const std::string& title) {
    std::string p = dir() + "/" + entry(getpid(), reinterpret_cast<uintptr_t>(hwnd));
    plat::write_atomic(p, cls + '\n' + title + '\n');
}

void xreg_remove(HWND hwnd) {
    std::string p = dir() + "/" + entry(getpid(), reinterpret_cast<uintptr_t>(hwnd));
    std::remove(p.c_str());
    std::remove((p + ".raise").c_str());
}

void xreg_poll() {
    static auto last = std::chrono::steady_clock::time_point{};
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(50)) return;
    last = now;
    std::string d = dir();
    std::string mine = std::to_string(getpid()) + "-";
    std::vector<HWND> raise;
    if (DIR* dp = opendir(d.c_str())) {
        while (dirent* e = readdir(dp)) {
            std::string n = e->d_name;
            if (n.rfind(mine, 0) != 0 || n.size() < 7 || n.compare(n.size() - 6, 6, ".raise") != 0) continue;
            unsigned long long h = std::strtoull(n.c_str() + mine.size(), nullptr, 16);
            std::remove((d + "/" + n).c_str());
            raise.push_back(reinterpret_cast<HWND>(static_cast<uintptr_t>(h)));
        }
        closedir(dp);
    }
    for (HWND h : raise) {
        log_line("raise request for %p", static_cast<void*>(h));
        if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
        SetForegroundWindow(h);
    }
}

bool xreg_foreign(HWND h) {
    Foreign f;
    return foreign_get(h, f);
}

bool xreg_foreign_alive(HWND h) {
    Foreign f;
    return foreign_get(h, f) && alive(f.pid);
}

bool xreg_raise(HWND h) {
    Foreign f;
    if (!foreign_get(h, f) || !alive(f.pid)) return false;
    std::string p = dir() + "/" + entry(f.pid, f.remote) + ".raise";
    std::ofstream o(p);
    return static_cast<bool>(o);
}

}  // namespace plat

using namespace plat;

WIN32_BEGIN

HWND WINAPI FindWindowA(LPCSTR cls, LPCSTR title) {
    {
        std::lock_guard<std::mutex> g(wlock());
        for (auto& [h, w] : win_all()) {
            if ((w->style & WS_CHILD) || w->destroying) continue;
            if (cls && !IS_INTRESOURCE(cls) && strcasecmp(w->cls->name.c_str(), cls) != 0) continue;
            if (title && w->text != title) continue;
            return h;
        }
    }
    std::string d = dir();
    std::string mine = std::to_string(getpid()) + "-";
    DIR* dp = opendir(d.c_str());
    if (!dp) return nullptr;
    HWND found = nullptr;
    while (dirent* e = readdir(dp)) {
        std::string n = e->d_name;
        if (n[0] == '.' || n.find('.') != std::string::npos || n.rfind(mine, 0) == 0) continue;
        long pid = std::strtol(n.c_str(), nullptr, 10);
        size_t dash = n.find('-');
        if (dash == std::string::npos) continue;
        if (!alive(pid)) {
            std::remove((d + "/" + n).c_str());  // left behind by a process that died
            continue;
        }
        std::ifstream f(d + "/" + n, std::ios::binary);
        std::string c, t;
        std::getline(f, c);
        std::getline(f, t);
        if (cls && !IS_INTRESOURCE(cls) && strcasecmp(c.c_str(), cls) != 0) continue;
        if (title && t != title) continue;
        unsigned long long remote = std::strtoull(n.c_str() + dash + 1, nullptr, 16);
        std::lock_guard<std::mutex> g(g_x);
        size_t i = 0;
        for (; i < g_foreign.size(); ++i)
            if (g_foreign[i].pid == pid && g_foreign[i].remote == remote) break;
        if (i == g_foreign.size()) g_foreign.push_back(Foreign{pid, remote});
        found = reinterpret_cast<HWND>(kForeignBase + i);
        break;
    }
    closedir(dp);
    return found;
}

WIN32_END
