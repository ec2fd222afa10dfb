// The viewer trview's modes share: the module's 3D instance with the element looks loaded, a world
// with an orbit camera over a pivot, the window or the headless picture, picking under the mouse.
#pragma once

#include <stdint.h>

#include <string>

#include "terrow/trpick.h"

struct br_actor;
struct br_pixelmap;

namespace trview {

class Viewer {
public:
    // Starts the 3D library, loads the models and looks from the read root (the program's folder).
    bool begin(const std::string &readRoot, int width, int height);
    void end();

    br_actor *world() const { return world_; }
    // Mode scenes hang under this actor; the orbit turns about `centre`.
    br_actor *root() const { return root_; }
    void set_centre(float x, float y, float z);
    TrOrbit &orbit() { return orbit_; }
    void apply_orbit();

    void render();
    bool write_png(const std::string &path) const;
    // The window loop: arrows turn and tilt, Page Up/Down move nearer and further, P toggles the
    // parallel view, Escape closes. `tick` runs every frame (modes with time); the window waits at
    // most a frame for input.
    int run_window(const char *title, void (*tick)(Viewer &, uint32_t now) = nullptr,
                   long (*key)(Viewer &, uintptr_t key) = nullptr);
    // Set before the mode builds: the picture goes to a file, there is no window.
    bool headless() const { return headless_; }
    void set_headless(bool on) { headless_ = on; }
    // What lies under a view point, written as one line (empty for nothing).
    std::string describe_point(int x, int y);

    br_pixelmap *view() const { return view_; }
    br_pixelmap *depth() const { return depth_; }
    br_actor *camera() const { return camera_; }

private:
    br_actor *world_ = nullptr, *centre_ = nullptr, *pivot_ = nullptr, *camera_ = nullptr, *root_ = nullptr;
    br_actor *lights_[3] = {};
    br_pixelmap *view_ = nullptr, *depth_ = nullptr;
    bool onDib_ = false;
    TrOrbit orbit_ = {};
    int width_ = 0, height_ = 0;
    bool begun_ = false;
    bool headless_ = false;
};

// The side of the generated cube a face belongs to: the faces come two a side in the order
// +y, +x, -z, -x, +z, -y.
const char *cube_side_name(int face);

}  // namespace trview
