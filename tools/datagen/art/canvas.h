// Painting tools of the picture recipes: a float RGB canvas, coverage masks (shapes, blurred
// shadows, text), gradients, bevels and value noise. Everything is plain arithmetic on the inputs,
// so a recipe gives the same pixels on every run.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "art.h"

namespace datagen::art {

struct Rgb {
  float r = 0, g = 0, b = 0;
};

Rgb hex(uint32_t rrggbb);
Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb c, float k);
float clamp01(float v);
float smoothstep(float e0, float e1, float x);

// Coverage 0..1 over a box of the canvas whose top-left pixel is (ox, oy).
struct Mask {
  int ox = 0, oy = 0, w = 0, h = 0;
  std::vector<float> a;
  float at(int x, int y) const {  // canvas coordinates
    x -= ox;
    y -= oy;
    return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : a[size_t(y) * size_t(w) + size_t(x)];
  }
};

struct Rect {
  float x = 0, y = 0, w = 0, h = 0;
};

// Signed distance to a rounded rectangle: negative inside.
float rrect_distance(const Rect& r, float radius, float px, float py);
// Anti-aliased rounded rectangle, with `pad` free pixels round it (room for a blur).
Mask rrect_mask(const Rect& r, float radius, int pad = 0);
// Anti-aliased ellipse inside the rectangle.
Mask ellipse_mask(const Rect& r, int pad = 0);
// Three box passes each way: close to a gaussian of the given radius. Grows the box by 3·radius.
Mask blur(const Mask& m, int radius);
Mask moved(Mask m, int dx, int dy);

// Smooth value noise in about [0, 1]: `octaves` layers, the first with cells of `cell` pixels.
float noise(float x, float y, float cell, int octaves, uint32_t seed);
uint32_t hash_text(const std::string& s);

class Canvas {
 public:
  Canvas() : Canvas(0, 0) {}
  Canvas(int w, int h, Rgb fill = {});
  int width() const { return w_; }
  int height() const { return h_; }
  Rgb& at(int x, int y) { return px_[size_t(y) * size_t(w_) + size_t(x)]; }
  const Rgb& at(int x, int y) const { return px_[size_t(y) * size_t(w_) + size_t(x)]; }

  void blend(int x, int y, Rgb c, float a);
  void vertical_gradient(Rgb top, Rgb bottom);
  // Darkens the corners: 0 leaves the canvas as it is.
  void vignette(float strength);
  // Adds fine grain: a random step per pixel, up to `amount` (a fraction of full scale).
  void grain(float amount, uint32_t seed);
  void fill(const Mask& m, Rgb c, float opacity = 1);
  void fill(const Mask& m, const std::function<Rgb(int, int)>& colour, float opacity = 1);
  // Adds light under the mask (a glow), channel by channel.
  void add(const Mask& m, Rgb c, float opacity = 1);
  // Soft shadow of a shape, shifted and blurred, drawn under what comes next.
  void shadow(const Mask& shape, int dx, int dy, int radius, float opacity);
  // Light on the top-left edges and dark on the bottom-right ones, over a band `width` wide; a
  // negative strength sinks the shape instead.
  void bevel(const Rect& r, float radius, float width, float strength);
  // A filled, bevelled rounded panel with its drop shadow.
  void panel(const Rect& r, float radius, Rgb top, Rgb bottom, float bevel_width, float shadow_opacity);
  void paste(const Canvas& src, int x, int y);
  Canvas crop(int x, int y, int w, int h) const;  // outside the canvas: the nearest edge pixel
  Image image() const;

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

}  // namespace datagen::art
