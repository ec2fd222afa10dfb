// trview MODE [--out FILE.png] [--size WxH] [ARGS], or trview FIELD.trl [--run] [--ms N] [--out ...]
// Shows Terrow's 3D scenes with the game's models and looks, in a window (arrows turn and tilt the
// orbit camera, Page Up/Down move it nearer and further, P switches the parallel view, the face under
// the mouse is printed, Escape closes) or, with --out, once into a PNG file. Paths are the caller's.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "modes.h"
#include "vokplat/paths.h"

namespace {

const trview::Mode *const kModes[] = {&trview::kLooksMode, &trview::kFieldMode, &trview::kFxMode};

int usage()
{
    fprintf(stderr, "usage: trview MODE [--out FILE.png] [--size WxH] [ARGS]\n       trview FIELD.trl [--run] [--ms N] [--out FILE.png] [--size WxH]\nmodes:\n");
    for (const trview::Mode *m : kModes)
        fprintf(stderr, "  %-10s %s\n", m->flag, m->summary);
    return 2;
}

std::string program_folder()
{
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string p = n > 0 ? std::string(self, (size_t)n) : std::string(".");
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

}  // namespace

int main(int argc, char **argv)
{
    const trview::Mode *mode = nullptr;
    const char *out = nullptr;
    int width = 800, height = 600;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (strcmp(a, "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (strcmp(a, "--size") == 0 && i + 1 < argc) {
            if (sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 16 || height < 16 || width > 4096 ||
                height > 4096)
                return usage();
        } else if (strcmp(a, "--run") == 0 || strcmp(a, "--dark") == 0) {
            args.push_back(a);
        } else if (strcmp(a, "--ms") == 0 && i + 1 < argc) {
            args.push_back(a);
            args.push_back(argv[++i]);
        } else if (a[0] == '-' && a[1] == '-') {
            const trview::Mode *found = nullptr;
            for (const trview::Mode *m : kModes)
                if (strcmp(m->flag, a) == 0)
                    found = m;
            if (found == nullptr || mode != nullptr)
                return usage();
            mode = found;
        } else {
            // Files named on the command line are the caller's.
            args.push_back(PlatToolPath(a));
        }
    }
    // A field file alone names the field mode.
    if (mode == nullptr)
        for (const std::string &arg : args)
            if (arg.size() > 4 && strcasecmp(arg.c_str() + arg.size() - 4, ".trl") == 0)
                mode = &trview::kFieldMode;
    if (mode == nullptr)
        return usage();
    std::string outPath = out != nullptr ? PlatToolPath(out) : "";

    trview::Viewer viewer;
    if (!viewer.begin(program_folder(), width, height)) {
        fprintf(stderr, "trview: the models and looks cannot be loaded\n");
        viewer.end();
        return 1;
    }
    int result = 0;
    viewer.set_headless(out != nullptr);
    if (!mode->build(viewer, args)) {
        result = 1;
    } else if (out != nullptr) {
        viewer.render();
        if (mode->overlay != nullptr)
            mode->overlay(viewer);
        if (!viewer.write_png(outPath)) {
            fprintf(stderr, "trview: cannot write %s\n", out);
            result = 1;
        }
    } else {
        result = viewer.run_window("trview", mode->tick, mode->key);
    }
    if (mode->finish != nullptr)
        mode->finish(viewer);
    viewer.end();
    return result;
}
