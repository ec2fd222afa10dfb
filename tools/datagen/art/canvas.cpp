#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace datagen::art {

Rgb hex(uint32_t c) {
  return {float((c >> 16) & 255) / 255.0f, float((c >> 8) & 255) / 255.0f, float(c & 255) / 255.0f};
}

Rgb mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

float clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

float rrect_distance(const Rect& r, float radius, float px, float py) {
  float hx = r.w * 0.5f, hy = r.h * 0.5f;
  radius = std::min(radius, std::min(hx, hy));
  float qx = std::fabs(px - (r.x + hx)) - (hx - radius);
  float qy = std::fabs(py - (r.y + hy)) - (hy - radius);
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

namespace {

Mask empty_mask(const Rect& r, int pad) {
  Mask m;
  m.ox = int(std::floor(r.x)) - pad;
  m.oy = int(std::floor(r.y)) - pad;
  m.w = int(std::ceil(r.x + r.w)) + pad - m.ox;
  m.h = int(std::ceil(r.y + r.h)) + pad - m.oy;
  m.w = std::max(m.w, 0);
  m.h = std::max(m.h, 0);
  m.a.assign(size_t(m.w) * size_t(m.h), 0.0f);
  return m;
}

// One box pass along rows (step 1) or columns (step w) of the mask, in place.
void box_pass(std::vector<float>& a, int count, int lines, size_t step, size_t line_step, int radius) {
  std::vector<float> line(static_cast<size_t>(count));
  float norm = 1.0f / float(2 * radius + 1);
  for (int l = 0; l < lines; ++l) {
    size_t base = size_t(l) * line_step;
    for (int i = 0; i < count; ++i) line[size_t(i)] = a[base + size_t(i) * step];
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
      if (i >= 0 && i < count) sum += line[size_t(i)];
    for (int i = 0; i < count; ++i) {
      a[base + size_t(i) * step] = sum * norm;
      int out = i - radius, in = i + radius + 1;
      if (out >= 0) sum -= line[size_t(out)];
      if (in < count) sum += line[size_t(in)];
    }
  }
}

}  // namespace

Mask rrect_mask(const Rect& r, float radius, int pad) {
  Mask m = empty_mask(r, pad);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float d = rrect_distance(r, radius, float(m.ox + x) + 0.5f, float(m.oy + y) + 0.5f);
      m.a[size_t(y) * size_t(m.w) + size_t(x)] = clamp01(0.5f - d);
    }
  return m;
}

Mask ellipse_mask(const Rect& r, int pad) {
  Mask m = empty_mask(r, pad);
  float cx = r.x + r.w * 0.5f, cy = r.y + r.h * 0.5f, rx = r.w * 0.5f, ry = r.h * 0.5f;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float dx = (float(m.ox + x) + 0.5f - cx) / rx, dy = (float(m.oy + y) + 0.5f - cy) / ry;
      float d = (std::sqrt(dx * dx + dy * dy) - 1.0f) * std::min(rx, ry);
      m.a[size_t(y) * size_t(m.w) + size_t(x)] = clamp01(0.5f - d);
    }
  return m;
}

Mask blur(const Mask& src, int radius) {
  if (radius <= 0) return src;
  int grow = 3 * radius;
  Mask m;
  m.ox = src.ox - grow;
  m.oy = src.oy - grow;
  m.w = src.w + 2 * grow;
  m.h = src.h + 2 * grow;
  m.a.assign(size_t(m.w) * size_t(m.h), 0.0f);
  for (int y = 0; y < src.h; ++y)
    for (int x = 0; x < src.w; ++x)
      m.a[size_t(y + grow) * size_t(m.w) + size_t(x + grow)] = src.a[size_t(y) * size_t(src.w) + size_t(x)];
  for (int pass = 0; pass < 3; ++pass) {
    box_pass(m.a, m.w, m.h, 1, size_t(m.w), radius);
    box_pass(m.a, m.h, m.w, size_t(m.w), 1, radius);
  }
  return m;
}

Mask moved(Mask m, int dx, int dy) {
  m.ox += dx;
  m.oy += dy;
  return m;
}

namespace {

uint32_t mix32(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7feb352dU;
  h ^= h >> 15;
  h *= 0x846ca68bU;
  h ^= h >> 16;
  return h;
}

float lattice(int x, int y, uint32_t seed) {
  uint32_t h = mix32(uint32_t(x) * 0x9E3779B1U ^ mix32(uint32_t(y) * 0x85EBCA77U ^ seed));
  return float(h & 0xFFFFFF) / float(0xFFFFFF);
}

float value_noise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
  float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

}  // namespace

float noise(float x, float y, float cell, int octaves, uint32_t seed) {
  float sum = 0, weight = 0, amp = 1;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * value_noise(x / cell, y / cell, seed + uint32_t(o) * 1013U);
    weight += amp;
    amp *= 0.5f;
    cell *= 0.5f;
  }
  return weight > 0 ? sum / weight : 0.5f;
}

uint32_t hash_text(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return mix32(h);
}

Canvas::Canvas(int w, int h, Rgb fill) : w_(std::max(w, 0)), h_(std::max(h, 0)), px_(size_t(w_) * size_t(h_), fill) {}

void Canvas::blend(int x, int y, Rgb c, float a) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
  Rgb& p = at(x, y);
  p = mix(p, c, std::min(a, 1.0f));
}

void Canvas::vertical_gradient(Rgb top, Rgb bottom) {
  for (int y = 0; y < h_; ++y) {
    Rgb c = mix(top, bottom, h_ > 1 ? float(y) / float(h_ - 1) : 0.0f);
    for (int x = 0; x < w_; ++x) at(x, y) = c;
  }
}

void Canvas::vignette(float strength) {
  float cx = float(w_) * 0.5f, cy = float(h_) * 0.5f;
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      float dx = (float(x) + 0.5f - cx) / cx, dy = (float(y) + 0.5f - cy) / cy;
      float k = 1.0f - strength * smoothstep(0.35f, 1.45f, std::sqrt(dx * dx + dy * dy));
      at(x, y) = scale(at(x, y), k);
    }
}

void Canvas::grain(float amount, uint32_t seed) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      uint32_t h = mix32(uint32_t(x) * 0x9E3779B1U ^ mix32(uint32_t(y) ^ seed));
      float n = (float(h & 0xFFFF) / 65535.0f - 0.5f) * amount;
      Rgb& p = at(x, y);
      p = {p.r + n, p.g + n, p.b + n};
    }
}

void Canvas::fill(const Mask& m, Rgb c, float opacity) {
  fill(m, [c](int, int) { return c; }, opacity);
}

void Canvas::fill(const Mask& m, const std::function<Rgb(int, int)>& colour, float opacity) {
  int x0 = std::max(m.ox, 0), y0 = std::max(m.oy, 0);
  int x1 = std::min(m.ox + m.w, w_), y1 = std::min(m.oy + m.h, h_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float a = m.a[size_t(y - m.oy) * size_t(m.w) + size_t(x - m.ox)] * opacity;
      if (a > 0) blend(x, y, colour(x, y), a);
    }
}

void Canvas::add(const Mask& m, Rgb c, float opacity) {
  int x0 = std::max(m.ox, 0), y0 = std::max(m.oy, 0);
  int x1 = std::min(m.ox + m.w, w_), y1 = std::min(m.oy + m.h, h_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float a = m.a[size_t(y - m.oy) * size_t(m.w) + size_t(x - m.ox)] * opacity;
      Rgb& p = at(x, y);
      p = {p.r + c.r * a, p.g + c.g * a, p.b + c.b * a};
    }
}

void Canvas::shadow(const Mask& shape, int dx, int dy, int radius, float opacity) {
  fill(moved(blur(shape, radius), dx, dy), Rgb{0, 0, 0}, opacity);
}

void Canvas::bevel(const Rect& r, float radius, float width, float strength) {
  int x0 = std::max(int(std::floor(r.x)), 0), y0 = std::max(int(std::floor(r.y)), 0);
  int x1 = std::min(int(std::ceil(r.x + r.w)), w_), y1 = std::min(int(std::ceil(r.y + r.h)), h_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float px = float(x) + 0.5f, py = float(y) + 0.5f;
      float d = rrect_distance(r, radius, px, py);
      if (d > 0.5f || d < -width) continue;
      // The outward normal from the distance field; light comes from the top left.
      float nx = rrect_distance(r, radius, px + 0.5f, py) - rrect_distance(r, radius, px - 0.5f, py);
      float ny = rrect_distance(r, radius, px, py + 0.5f) - rrect_distance(r, radius, px, py - 0.5f);
      float len = std::sqrt(nx * nx + ny * ny);
      if (len <= 0) continue;
      float lit = -(nx + ny) / (len * 1.41421356f);
      if (strength < 0) lit = -lit;  // sunk into the surface: lit from the other side
      float band = 1.0f - smoothstep(0.0f, width, -d);
      float cover = clamp01(0.5f - d);
      float a = std::fabs(lit) * band * std::fabs(strength) * cover;
      blend(x, y, lit > 0 ? Rgb{1, 1, 1} : Rgb{0, 0, 0}, a);
    }
}

void Canvas::panel(const Rect& r, float radius, Rgb top, Rgb bottom, float bevel_width, float shadow_opacity) {
  Mask shape = rrect_mask(r, radius, 1);
  if (shadow_opacity > 0) shadow(shape, 3, 4, 4, shadow_opacity);
  float y0 = r.y, hh = std::max(r.h, 1.0f);
  fill(shape, [&](int, int y) { return mix(top, bottom, clamp01((float(y) + 0.5f - y0) / hh)); });
  if (bevel_width > 0) bevel(r, radius, bevel_width, 0.55f);
}

void Canvas::paste(const Canvas& src, int x, int y) {
  for (int j = 0; j < src.h_; ++j)
    for (int i = 0; i < src.w_; ++i)
      if (x + i >= 0 && y + j >= 0 && x + i < w_ && y + j < h_) at(x + i, y + j) = src.at(i, j);
}

Canvas Canvas::crop(int x, int y, int w, int h) const {
  Canvas out(w, h);
  if (w_ == 0 || h_ == 0) return out;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      out.at(i, j) = at(std::clamp(x + i, 0, w_ - 1), std::clamp(y + j, 0, h_ - 1));
  return out;
}

Image Canvas::image() const {
  Image im{w_, h_, std::vector<uint32_t>(px_.size())};
  auto q = [](float v) { return uint32_t(clamp01(v) * 255.0f + 0.5f); };
  for (size_t i = 0; i < px_.size(); ++i)
    im.argb[i] = 0xFF000000u | q(px_[i].r) << 16 | q(px_[i].g) << 8 | q(px_[i].b);
  return im;
}

}  // namespace datagen::art
