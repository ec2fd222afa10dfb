// trview's modes: each builds its scene in the viewer and may tick it every frame. A new mode is one
// more row in the table of main.cpp.
#pragma once

#include <string>
#include <vector>

#include "viewer.h"

namespace trview {

struct Mode {
    const char *flag;     // "--looks"
    const char *summary;  // for the usage text
    // Builds the scene from the arguments left after the options; false (with a message) to stop.
    bool (*build)(Viewer &viewer, const std::vector<std::string> &args);
    void (*tick)(Viewer &viewer, uint32_t now);  // null: a still scene
    void (*finish)(Viewer &viewer);              // frees what build made; may be null
    // A key the mode takes in the window (wParam of WM_KEYDOWN): nonzero when taken; may be null.
    long (*key)(Viewer &viewer, uintptr_t key);
    // Draws over the rendered picture before it is written (may be null).
    void (*overlay)(Viewer &viewer);
};

extern const Mode kLooksMode;
extern const Mode kFieldMode;
extern const Mode kFxMode;

}  // namespace trview
