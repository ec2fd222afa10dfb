// Paths a command-line tool is given are the caller's: taken from the folder the program was started
// in, although Media.so's entry moves the process into the program's own folder when it loads.
#include <limits.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <string>

#include "vokplat/paths.h"

namespace {

// The working folder at start-up, "" when it could not be read. A plain array: it is filled before
// the library's C++ objects are constructed.
char g_start[PATH_MAX];

// Runs with the platform library's initialisers, before any module that needs the platform (and so
// before Media.so's entry) is initialised.
__attribute__((constructor(101))) void remember_start_folder() {
    if (!getcwd(g_start, sizeof g_start)) g_start[0] = '\0';
}

std::mutex g_lock;
std::deque<std::string> g_answers;  // kept for the life of the process: callers hold the pointers

}  // namespace

extern "C" {

const char* PlatStartFolder(void) { return g_start; }

const char* PlatToolPath(const char* arg) {
    if (!arg || !*arg || arg[0] == '/' || (arg[0] == '-' && !arg[1]) || !g_start[0]) return arg;
    std::string full = g_start;
    if (full.back() != '/') full += '/';
    full += arg;
    std::lock_guard<std::mutex> g(g_lock);
    g_answers.push_back(std::move(full));
    return g_answers.back().c_str();
}

}
