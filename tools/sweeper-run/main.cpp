// Stand-in for the installer's removal program: loads the removal extension by name from the folder
// this program lives in, calls its two exports and reports their results.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::fprintf(stderr, "sweeper-run: cannot find its own folder\n");
        return 1;
    }
    self[n] = '\0';
    std::string path(self);
    path = path.substr(0, path.find_last_of('/') + 1) + "Sweeper.so";

    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "sweeper-run: %s\n", dlerror());
        return 1;
    }
    using Entry = int (*)();
    auto initialize = reinterpret_cast<Entry>(dlsym(module, "SweeperInitialize"));
    auto uninitialize = reinterpret_cast<Entry>(dlsym(module, "SweeperUnInitialize"));
    if (!initialize || !uninitialize) {
        std::fprintf(stderr, "sweeper-run: %s lacks its exports\n", path.c_str());
        dlclose(module);
        return 1;
    }
    int first = initialize();
    int second = uninitialize();
    std::printf("SweeperInitialize -> %d\nSweeperUnInitialize -> %d\n", first, second);
    dlclose(module);
    return first == 0 && second == 0 ? 0 : 1;
}
