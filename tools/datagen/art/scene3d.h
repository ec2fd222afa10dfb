// Lit cubes rendered off-screen with the project's own 3D library and its stand-in renderer.
#pragma once
#include <cstdint>
#include <vector>

#include "canvas.h"

namespace datagen::art {

struct Cube {
  float x = 0, y = 0, z = 0;        // centre
  float sx = 1, sy = 1, sz = 1;     // half sizes
  float tilt = 0;                   // degrees about the x axis, before the turn
  float turn = 0;                   // degrees about the vertical axis
  uint32_t colour = 0xFFFFFF;
  float shine = 0.4f;               // specular strength
};

struct Lamp {
  float x = 0, y = 0, z = 0;
  uint32_t colour = 0xFFFFFF;
};

struct Scene3 {
  std::vector<Cube> cubes;
  std::vector<Lamp> lamps;
  float pitch = -30, yaw = 0;       // camera turn, degrees
  float cx = 0, cy = 0, cz = 10;    // camera position
  float fov = 40;

  void camera(float pitch_deg, float yaw_deg, float x, float y, float z, float fov_deg) {
    pitch = pitch_deg;
    yaw = yaw_deg;
    cx = x;
    cy = y;
    cz = z;
    fov = fov_deg;
  }
};

// Renders at twice the size and averages down: `colour` gets the picture and `cover` (over the
// whole canvas) how much of each pixel the cubes cover. False when the scene cannot be set up
// (no memory, a size the library refuses). Throws std::runtime_error when the caller has the library
// running. Renders one at a time: the library has one global state.
bool render_scene(const Scene3& scene, int w, int h, Canvas& colour, Mask& cover);

}  // namespace datagen::art
