// Kelpa's recipes: textures, backdrops, arrows, editor headers, buttons and cube icons.
#include "kelpa.h"

#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "scene3d.h"
#include "text.h"

namespace datagen::art {
namespace {

constexpr float kPi = 3.14159265f;

struct Family {
  const char* texture;  // texture stem
  uint32_t colour;
};
// Colour index order of the game: red, blue, yellow, green, white, orange, fixed, rainbow.
const Family kFamilies[8] = {{"red", 0xE0402F},   {"blue", 0x2F7BE8},   {"yellow", 0xF2C92E},
                             {"green", 0x36C45A}, {"white", 0xE6EAF0},  {"orange", 0xF08A24},
                             {"black", 0x4A4A54}, {"Mix", 0xFFFFFF}};

Rgb hue(float h) {
  h = h - std::floor(h);
  float r = clamp01(std::fabs(h * 6 - 3) - 1), g = clamp01(2 - std::fabs(h * 6 - 2)), b = clamp01(2 - std::fabs(h * 6 - 4));
  return {r, g, b};
}

Image opaque(const Canvas& c) { return c.image(); }

// Colour where the coverage reaches half, fully transparent elsewhere (the button copy keys out 0).
Image keyed(const Canvas& c, const Mask& cover) {
  Image im = c.image();
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      uint32_t& p = im.argb[size_t(y) * size_t(im.width) + size_t(x)];
      p = cover.at(x, y) >= 0.5f ? (p | 0xFF000000u) : 0u;
    }
  return im;
}

// Alpha from the coverage, for the pictures drawn with their own alpha.
Image with_alpha(const Canvas& c, const Mask& cover) {
  Image im = c.image();
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      uint32_t& p = im.argb[size_t(y) * size_t(im.width) + size_t(x)];
      const uint32_t a = uint32_t(clamp01(cover.at(x, y)) * 255.0f + 0.5f);
      p = (p & 0xFFFFFFu) | (a << 24);
    }
  return im;
}

Mask full(int w, int h, float v = 1) { return Mask{0, 0, w, h, std::vector<float>(size_t(w) * size_t(h), v)}; }

// ---------------------------------------------------------------------------------------------
// Textures

// A glowing core: bright in the middle, deeper towards the rim.
Canvas core(std::function<Rgb(float, float)> colour, float bright) {
  Canvas c(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float u = (float(x) + 0.5f) / 64, v = (float(y) + 0.5f) / 64;
      float d = std::sqrt((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f)) / 0.7071f;
      Rgb base = colour(u, v);
      Rgb deep = scale(base, 0.55f + 0.15f * bright);
      Rgb hot = mix(base, Rgb{1, 1, 1}, 0.35f + 0.35f * bright);
      c.at(x, y) = mix(hot, deep, smoothstep(0.0f, 1.0f, d));
    }
  c.grain(0.02f, 0x6B1Cu);
  return c;
}

// A bevelled frame: light on the top and left edges, shade on the bottom and right ones, a fine rim.
Canvas frame(std::function<Rgb(float, float)> colour, float bright, Rgb rim) {
  Canvas c(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float u = (float(x) + 0.5f) / 64, v = (float(y) + 0.5f) / 64;
      c.at(x, y) = scale(colour(u, v), 0.78f + 0.22f * bright);
    }
  c.bevel({0, 0, 64, 64}, 4, 12, 0.75f);
  Mask outer = rrect_mask({3, 3, 58, 58}, 6), inner = rrect_mask({5, 5, 54, 54}, 5);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) c.blend(x, y, rim, clamp01(outer.at(x, y) - inner.at(x, y)) * (0.35f + 0.4f * bright));
  c.grain(0.025f, 0x2F17u);
  return c;
}

Rgb stone(float u, float v) {
  float n = noise(u * 64, v * 64, 14, 4, 0x57A1u);
  float s = noise(u * 64, v * 64, 3, 2, 0x99E1u);
  return mix(hex(0x23232A), hex(0x595A66), clamp01(n * 0.9f + (s > 0.72f ? 0.25f : 0.0f)));
}

Canvas slate(bool lit) {
  Canvas c(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float n = noise(float(x), float(y), 16, 4, 0x51A7u), streak = noise(float(x) * 0.25f, float(y) * 2.0f, 10, 2, 0x3377u);
      Rgb base = mix(hex(0x5E6E82), hex(0x8C9CB2), clamp01(n * 0.8f + streak * 0.3f));
      c.at(x, y) = lit ? mix(base, hex(0xFFE7A0), 0.25f) : base;
    }
  c.bevel({1, 1, 62, 62}, 3, 6, 0.8f);
  // Dark joints round the tile.
  Mask edge = rrect_mask({0, 0, 64, 64}, 2), in = rrect_mask({1.5f, 1.5f, 61, 61}, 2);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) c.blend(x, y, hex(0x141820), clamp01(edge.at(x, y) - in.at(x, y)));
  return c;
}

Canvas exit_tile(bool lit) {
  Canvas c = slate(lit);
  Mask ring = ellipse_mask({10, 10, 44, 44}), hole = ellipse_mask({19, 19, 26, 26});
  Mask band = ring;
  for (size_t i = 0; i < band.a.size(); ++i) {
    int x = band.ox + int(i % size_t(band.w)), y = band.oy + int(i / size_t(band.w));
    band.a[i] = clamp01(ring.a[i] - hole.at(x, y));
  }
  c.add(blur(band, 3), hex(0x2CFF6A), 0.55f);
  c.fill(band, [&](int x, int y) { return mix(hex(0x9BFFB8), hex(0x19A040), float(y - 10) / 44); });
  c.add(blur(hole, 4), hex(0x1E8C3C), lit ? 0.6f : 0.35f);
  return c;
}

Canvas glass(bool frame_side, bool lit) {
  Canvas c(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float t = float(x + y) / 128;
      c.at(x, y) = mix(hex(lit ? 0xD8F4FF : 0xA8D8F0), hex(lit ? 0x8CC8F0 : 0x5A94C0), t);
    }
  // A bright streak across the pane.
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float d = std::fabs(float(x - y) + 18) / 6;
      c.blend(x, y, Rgb{1, 1, 1}, clamp01(1 - d) * 0.6f);
    }
  if (frame_side) c.bevel({0, 0, 64, 64}, 4, 10, 0.6f);
  return c;
}

// ---------------------------------------------------------------------------------------------
// Backdrops

void plate(Canvas& c, const Rect& r, float radius, Rgb top, Rgb bottom) {
  c.panel(r, radius, top, bottom, 5, 0.55f);
  // A faint inner line, as on machined metal.
  Mask outer = rrect_mask({r.x + 7, r.y + 7, r.w - 14, r.h - 14}, std::max(radius - 6, 2.0f));
  Mask inner = rrect_mask({r.x + 8, r.y + 8, r.w - 16, r.h - 16}, std::max(radius - 7, 2.0f));
  for (int y = outer.oy; y < outer.oy + outer.h; ++y)
    for (int x = outer.ox; x < outer.ox + outer.w; ++x)
      c.blend(x, y, Rgb{1, 1, 1}, clamp01(outer.at(x, y) - inner.at(x, y)) * 0.08f);
}

Canvas backdrop(int w, int h, Rgb top, Rgb bottom, Rgb glow, uint32_t seed) {
  Canvas c(w, h);
  c.vertical_gradient(top, bottom);
  Mask pool = ellipse_mask({float(w) * 0.5f - 300, 80, 600, 330});
  c.add(blur(pool, 60), glow, 0.5f);
  for (int y = 0; y < h; y += 1)
    for (int x = 0; x < w; x += 1) {
      float n = noise(float(x), float(y), 90, 4, seed) - 0.5f;
      Rgb& p = c.at(x, y);
      p = {p.r * (1 + 0.3f * n), p.g * (1 + 0.3f * n), p.b * (1 + 0.4f * n)};
    }
  c.grain(0.02f, seed ^ 0xA5A5u);
  c.vignette(0.5f);
  return c;
}

Canvas hatter(int w, Rgb top, Rgb bottom, Rgb glow, Rgb metal_top, Rgb metal_bottom, uint32_t seed) {
  Canvas c = backdrop(w, 480, top, bottom, glow, seed);
  // Plates under the four corners, where the buttons sit; the right ones follow the width.
  const float r = float(w);
  plate(c, {-20, -20, 160, 90}, 16, metal_top, metal_bottom);
  plate(c, {r - 140, -20, 160, 90}, 16, metal_top, metal_bottom);
  plate(c, {-20, 386, 224, 114}, 18, metal_top, metal_bottom);
  plate(c, {r - 206, 386, 226, 114}, 18, metal_top, metal_bottom);
  // The clock's recess at the bottom and the title's at the top.
  c.panel({252, 448, 156, 30}, 10, scale(bottom, 0.6f), scale(bottom, 0.9f), 3, 0.4f);
  c.bevel({252, 448, 156, 30}, 10, 3, -0.6f);
  return c;
}

Canvas arrow(Rgb light, Rgb dark, Mask& cover) {
  Canvas c(64, 64);
  cover = full(64, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float px = float(x) + 0.5f, py = float(y) + 0.5f;
      // Head: a triangle pointing up; shaft below it.
      float head = (py >= 6 && py <= 34 && std::fabs(px - 32) <= (py - 6) * 0.9f) ? 1.0f : 0.0f;
      float shaft = (py > 33 && py <= 58 && std::fabs(px - 32) <= 9) ? 1.0f : 0.0f;
      float a = std::max(head, shaft);
      cover.a[size_t(y) * 64 + size_t(x)] = a;
      c.at(x, y) = mix(light, dark, py / 64);
    }
  c.bevel({20, 6, 24, 52}, 6, 4, 0.5f);
  return c;
}

// The editor's header pictures stand at (190, 45) and (375, 30) with the file menu open: each fits
// between its place and the next picture (the help button beyond the second), so none covers another.
Canvas header(const std::string& text, int w, int h, Mask& cover) {
  Canvas c(w, h);
  cover = rrect_mask({2, 2, float(w) - 4, float(h) - 4}, 12);
  c.fill(cover, [&](int, int y) { return mix(hex(0x33507A), hex(0x182A48), float(y) / h); });
  c.bevel({2, 2, float(w) - 4, float(h) - 4}, 12, 4, 0.6f);
  TextLook t;
  t.top = hex(0xFFFFFF);
  t.bottom = hex(0xBFD4F2);
  draw_text(c, text, Face::SansBold, fit_text(text, Face::SansBold, 22, float(w) - 30), float(w) / 2, float(h) / 2, t);
  for (float& a : cover.a) a *= 0.92f;
  return c;
}

// ---------------------------------------------------------------------------------------------
// Buttons

const std::vector<KelpaButton> kButtons = {
    {"file0", 13, 110, 34}, {"file1", 13, 110, 34}, {"file2", 13, 110, 34}, {"file3", 13, 110, 34},
    {"file4", 13, 110, 34}, {"menu", 13, 123, 60},  {"help", 13, 123, 60},  {"start", 8, 80, 88},
    {"pare", 8, 80, 88},    {"start_n", 8, 80, 88}, {"pare_n", 8, 80, 88},  {"reset", 13, 49, 88},
    {"speed", 13, 140, 88}, {"level", 13, 120, 88}, {"new", 13, 120, 88},
};

enum class Icon { None, Play, Pause, Reset, Gauge, Cube, Question, Bars };

struct Look {
  uint32_t top, bottom;
  Icon icon;
  const char* words[4];  // US, UK, GE, FR (Windows-1252 words as UTF-8 here)
};

Look look_of(const std::string& folder, int state) {
  if (folder == "start" || folder == "start_n") {
    const bool trial = folder == "start_n";
    if (state == 0)
      return {trial ? 0x3CB8A8u : 0x3CC45Au, trial ? 0x1A6A60u : 0x1C7A34u, Icon::Play,
              {trial ? "TEST" : "START", trial ? "TEST" : "START", trial ? "TESTEN" : "START", trial ? "ESSAI" : "JOUER"}};
    return {0xF2B33Cu, 0xA8641Cu, Icon::Pause, {"PAUSE", "PAUSE", "PAUSE", "PAUSE"}};
  }
  if (folder == "pare" || folder == "pare_n") {
    if (state == 0) return {0xF2B33Cu, 0xA8641Cu, Icon::Pause, {"PAUSE", "PAUSE", "PAUSE", "PAUSE"}};
    return {0x3CC45Au, 0x1C7A34u, Icon::Play, {"GO ON", "GO ON", "WEITER", "REPRISE"}};
  }
  if (folder == "menu") return {0x5A6E96u, 0x2A3658u, Icon::Bars, {"MENU", "MENU", "MEN\xC3\x9C", "MENU"}};
  if (folder == "help") return {0x5A6E96u, 0x2A3658u, Icon::Question, {"HELP", "HELP", "HILFE", "AIDE"}};
  if (folder == "reset") return {0xE0583Cu, 0x8A2418u, Icon::Reset, {"", "", "", ""}};
  if (folder == "speed") return {0x8A64D8u, 0x48307Eu, Icon::Gauge, {"SPEED", "SPEED", "TEMPO", "VITESSE"}};
  if (folder == "level") return {0x3C8CE0u, 0x1C4A88u, Icon::Cube, {"LEVEL", "LEVEL", "LEVEL", "NIVEAU"}};
  if (folder == "new") return {0x3C8CE0u, 0x1C4A88u, Icon::Cube, {"NEW", "NEW", "NEU", "NOUVEAU"}};
  if (folder == "file0") return {0x6A7A90u, 0x36404Eu, Icon::None, {"FILE", "FILE", "DATEI", "FICHIER"}};
  if (folder == "file1") return {0x6A7A90u, 0x36404Eu, Icon::None, {"OPEN", "OPEN", "\xC3\x96" "FFNEN", "OUVRIR"}};
  if (folder == "file2") return {0x6A7A90u, 0x36404Eu, Icon::None, {"SAVE DRAFT", "SAVE DRAFT", "ENTWURF", "BROUILLON"}};
  if (folder == "file3") return {0x6A7A90u, 0x36404Eu, Icon::None, {"SAVE", "SAVE", "SPEICHERN", "ENREGISTRER"}};
  return {0x6A7A90u, 0x36404Eu, Icon::None, {"MENU", "MENU", "MEN\xC3\x9C", "MENU"}};
}

int lang_index(const std::string& lang) {
  if (lang == "UK") return 1;
  if (lang == "GE" || lang == "DE") return 2;
  if (lang == "FR") return 3;
  return 0;
}

void draw_icon(Canvas& c, Icon icon, float cx, float cy, float s, Rgb ink, const Canvas* cube) {
  Mask m = full(c.width(), c.height(), 0);
  auto put = [&](int x, int y, float a) {
    if (x >= 0 && y >= 0 && x < m.w && y < m.h) m.a[size_t(y) * size_t(m.w) + size_t(x)] = std::max(m.a[size_t(y) * size_t(m.w) + size_t(x)], clamp01(a));
  };
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      float px = (float(x) + 0.5f - cx) / s, py = (float(y) + 0.5f - cy) / s;
      float a = 0;
      switch (icon) {
        case Icon::Play: a = (px >= -0.45f && px <= 0.55f && std::fabs(py) <= (0.55f - px) * 0.62f) ? 1.0f : 0.0f; break;
        case Icon::Pause: a = (std::fabs(py) <= 0.5f && ((px >= -0.42f && px <= -0.12f) || (px >= 0.12f && px <= 0.42f))) ? 1.0f : 0.0f; break;
        case Icon::Reset: {
          float r = std::sqrt(px * px + py * py), ang = std::atan2(py, px);
          a = (r >= 0.32f && r <= 0.52f && ang > -2.4f) ? 1.0f : 0.0f;
          // The arrow's head at the open end.
          float hx = px - 0.42f * std::cos(-2.4f), hy = py - 0.42f * std::sin(-2.4f);
          if (std::fabs(hx) + std::fabs(hy) < 0.2f) a = 1;
          break;
        }
        case Icon::Gauge: {
          float r = std::sqrt(px * px + py * py), ang = std::atan2(py, px);
          a = (r >= 0.4f && r <= 0.55f && py <= 0.1f) ? 1.0f : 0.0f;
          float nd = std::fabs(px * std::sin(-0.7f) - py * std::cos(-0.7f));
          if (nd < 0.07f && r < 0.45f && px * std::cos(-0.7f) + py * std::sin(-0.7f) > -0.05f) a = 1;
          if (r < 0.1f) a = 1;
          (void)ang;
          break;
        }
        case Icon::Question: {
          float r = std::sqrt(px * px + (py + 0.18f) * (py + 0.18f)), ang = std::atan2(py + 0.18f, px);
          a = (r >= 0.2f && r <= 0.36f && (ang < 1.2f || ang > 2.6f)) ? 1.0f : 0.0f;
          if (std::fabs(px) < 0.08f && py > 0.1f && py < 0.3f) a = 1;
          if (px * px + (py - 0.48f) * (py - 0.48f) < 0.012f) a = 1;
          break;
        }
        case Icon::Bars:
          for (float b : {-0.35f, 0.0f, 0.35f})
            if (std::fabs(py - b) <= 0.09f && std::fabs(px) <= 0.5f) a = 1;
          break;
        default: break;
      }
      put(x, y, a);
    }
  if (icon == Icon::Cube && cube != nullptr) {
    const int ox = int(cx - float(cube->width()) / 2), oy = int(cy - float(cube->height()) / 2);
    for (int y = 0; y < cube->height(); ++y)
      for (int x = 0; x < cube->width(); ++x) {
        const Rgb& p = cube->at(x, y);
        if (p.r + p.g + p.b > 0.02f && ox + x >= 0 && oy + y >= 0 && ox + x < c.width() && oy + y < c.height())
          c.at(ox + x, oy + y) = p;
      }
    return;
  }
  c.shadow(m, 1, 2, 2, 0.45f);
  c.fill(m, ink);
}

// The lit cube of the icons: a frame of bars round a glowing core, seen from above a corner.
bool cube_render(int colour, int size, Canvas& out, Mask& cover) {
  Scene3 s;
  const float t = 0.16f, h = 0.5f - t / 2;
  Rgb base = colour == 7 ? hue(0.0f) : hex(kFamilies[colour & 7].colour);
  auto rgb = [](Rgb c) {
    return (uint32_t(clamp01(c.r) * 255) << 16) | (uint32_t(clamp01(c.g) * 255) << 8) | uint32_t(clamp01(c.b) * 255);
  };
  int n = 0;
  for (int axis = 0; axis < 3; ++axis)
    for (float a : {-h, h})
      for (float b : {-h, h}) {
        Cube k;
        float p[3] = {0, 0, 0};
        p[(axis + 1) % 3] = a;
        p[(axis + 2) % 3] = b;
        k.x = p[0], k.y = p[1], k.z = p[2];
        float sz[3] = {t / 2, t / 2, t / 2};
        sz[axis] = 0.5f;
        k.sx = sz[0], k.sy = sz[1], k.sz = sz[2];
        Rgb c = colour == 7 ? hue(float(n) / 12) : base;
        k.colour = rgb(scale(c, 0.85f));
        k.shine = 0.5f;
        s.cubes.push_back(k);
        ++n;
      }
  Cube inner;
  inner.sx = inner.sy = inner.sz = 0.33f;
  inner.colour = rgb(colour == 7 ? Rgb{1, 0.9f, 0.7f} : mix(base, Rgb{1, 1, 1}, 0.35f));
  inner.shine = 0.9f;
  s.cubes.push_back(inner);
  s.lamps = {{3, 5, 4, 0xFFFFFFu}, {-4, 2, -1, 0x6070A0u}};
  const float pitch = -32, yaw = 40, d = 4.2f;
  const float cp = std::cos(pitch * kPi / 180), sp = std::sin(-pitch * kPi / 180);
  s.camera(pitch, yaw, d * cp * std::sin(yaw * kPi / 180), d * sp, d * cp * std::cos(yaw * kPi / 180), 30);
  return render_scene(s, size, size, out, cover);
}

Canvas button_frame(const KelpaButton& b, int frame, int lang, Mask& cover) {
  const float w = float(b.width), h = float(b.height);
  const int last = b.frames - 1;
  // Two-state buttons move from one state's look to the other's, pressing in on the way; push
  // buttons press in and spring back.
  const bool two = b.frames == 8;
  const float t = last > 0 ? float(frame) / float(last) : 0.0f;
  const float press = two ? std::sin(kPi * t) : (frame == 0 ? 0.0f : std::sin(kPi * float(frame) / 12.0f));
  const int state = two && t >= 0.5f ? 1 : 0;
  const Look lk = look_of(b.folder, state);
  Canvas c(b.width, b.height);
  // Edge colours are mixed with the plate the button sits on.
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) c.at(x, y) = hex(0x2A3240);
  const float inset = 4 + press * 2;
  const Rect body{inset, inset + press * 2, w - 2 * inset, h - 2 * inset};
  const float radius = std::min(body.w, body.h) * 0.22f;
  cover = rrect_mask({4, 4, w - 8, h - 8}, std::min(w - 8, h - 8) * 0.22f);
  Rgb top = scale(hex(lk.top), 1 - 0.25f * press), bottom = scale(hex(lk.bottom), 1 - 0.25f * press);
  c.panel(body, radius, top, bottom, std::max(2.0f, std::min(body.w, body.h) / 9), 0);
  // Sheen on the upper half, weaker when pressed.
  Mask sheen = rrect_mask({body.x + 3, body.y + 2, body.w - 6, body.h * 0.42f}, std::max(radius - 3, 1.0f));
  for (int y = sheen.oy; y < sheen.oy + sheen.h; ++y)
    for (int x = sheen.ox; x < sheen.ox + sheen.w; ++x)
      c.blend(x, y, Rgb{1, 1, 1}, sheen.at(x, y) * (0.22f - 0.12f * press) * (1 - clamp01((float(y) - body.y) / (body.h * 0.42f))));
  const std::string word = lk.words[lang];
  const bool tall = h >= 80;
  const float cx = body.x + body.w / 2;
  Rgb ink = hex(0xFFFFFF);
  static Canvas cube_icon;
  static bool cube_done = false;
  if (lk.icon == Icon::Cube && !cube_done) {
    Mask m;
    cube_done = true;
    if (!cube_render(1, 44, cube_icon, m)) cube_icon = Canvas();
  }
  if (lk.icon != Icon::None) {
    const float icon_y = word.empty() || !tall ? body.y + body.h / 2 : body.y + body.h * 0.40f;
    const float s = word.empty() ? std::min(body.w, body.h) * 0.62f : std::min(body.w * 0.5f, body.h * 0.42f);
    draw_icon(c, lk.icon, lk.icon == Icon::Bars || lk.icon == Icon::Question ? (word.empty() ? cx : body.x + body.h * 0.5f) : cx,
              tall || word.empty() ? icon_y : body.y + body.h / 2, s, ink, &cube_icon);
  }
  if (!word.empty()) {
    TextLook look;
    look.top = hex(0xFFFFFF);
    look.bottom = hex(0xDDE6F4);
    look.shadow = 0.7f;
    const bool side = !tall && lk.icon != Icon::None;
    const float room = side ? body.w - body.h - 8 : body.w - 10;
    const float ty = tall ? body.y + body.h * 0.80f : body.y + body.h / 2;
    const float tx = side ? body.x + body.h + room / 2 : cx;
    draw_text(c, word, Face::SansBold, fit_text(word, Face::SansBold, tall ? 15 : 17, room), tx, ty, look);
  }
  // The pressed state of a two-state button glows at its rim.
  if (two && state == 1) c.bevel(body, radius, 3, -0.4f);
  return c;
}

}  // namespace

const std::vector<std::string>& kelpa_texture_names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const char* suffix : {"", "v", "1", "v1"})
      for (const Family& f : kFamilies) n.push_back(std::string(f.texture) + suffix + ".bmp");
    for (const char* s : {"atlat.bmp", "atlat1.bmp", "atlatv.bmp", "atlatv1.bmp", "tabla0.bmp", "tabla1.bmp",
                          "tablav0.bmp", "tablav1.bmp"})
      n.push_back(s);
    return n;
  }();
  return names;
}

Image kelpa_texture(const std::string& name) {
  std::string stem = name.substr(0, name.rfind('.'));
  if (stem == "atlat") return opaque(glass(false, false));
  if (stem == "atlatv") return opaque(glass(false, true));
  if (stem == "atlat1") return opaque(glass(true, false));
  if (stem == "atlatv1") return opaque(glass(true, true));
  if (stem == "tabla0") return opaque(slate(false));
  if (stem == "tablav0") return opaque(slate(true));
  if (stem == "tabla1") return opaque(exit_tile(false));
  if (stem == "tablav1") return opaque(exit_tile(true));
  for (const Family& f : kFamilies) {
    const std::string t = f.texture;
    if (stem.rfind(t, 0) != 0) continue;
    const std::string form = stem.substr(t.size());
    if (form != "" && form != "v" && form != "1" && form != "v1") continue;
    const bool lit = form == "v" || form == "v1";
    std::function<Rgb(float, float)> colour;
    if (t == "Mix")
      colour = [](float u, float v) { return hue((u + v) * 0.5f); };
    else if (t == "black")
      colour = stone;
    else {
      const Rgb base = hex(f.colour);
      colour = [base](float, float) { return base; };
    }
    if (form == "" || form == "v") return opaque(core(colour, lit ? 1.0f : 0.0f));
    return opaque(frame(colour, lit ? 1.0f : 0.0f, lit ? hex(0xFFF0B0) : Rgb{1, 1, 1}));
  }
  return Image{};
}

Image kelpa_picture(const std::string& name) {
  if (name == "hatter.pix")
    return opaque(hatter(640, hex(0x18223A), hex(0x06080F), hex(0x2E4A78), hex(0x4A5568), hex(0x232A36), 0x4B50u));
  if (name == "hatterb.pix")
    return opaque(hatter(640, hex(0x102A34), hex(0x040A0C), hex(0x1E6070), hex(0x3E5A62), hex(0x1C2A2E), 0x4B51u));
  if (name == "hatters.pix")
    return opaque(hatter(640, hex(0x2A1830), hex(0x0A050C), hex(0x6A3A78), hex(0x5A4A66), hex(0x2A2232), 0x4B52u));
  if (name == "hattern.pix")
    return opaque(hatter(960, hex(0x18223A), hex(0x06080F), hex(0x2E4A78), hex(0x4A5568), hex(0x232A36), 0x4B53u));
  if (name == "nyil1.pix" || name == "nyil2.pix") {
    Mask cover;
    const bool red = name == "nyil2.pix";
    Canvas c = arrow(hex(red ? 0xFF8A6A : 0x9CFFA8), hex(red ? 0xC02010 : 0x18A040), cover);
    return with_alpha(c, cover);
  }
  if (name == "kpfej1.pix" || name == "kpfej2.pix") {
    Mask cover;
    const bool level = name == "kpfej1.pix";
    Canvas c = header(level ? "LEVEL EDITOR" : "FILE", level ? 176 : 132, 40, cover);
    return with_alpha(c, cover);
  }
  return Image{};
}

const std::vector<KelpaButton>& kelpa_buttons() { return kButtons; }

Image kelpa_button_frame(const std::string& folder, int frame, const std::string& lang) {
  for (const KelpaButton& b : kButtons)
    if (folder == b.folder) {
      if (frame < 0 || frame >= b.frames) return Image{};
      Mask cover;
      Canvas c = button_frame(b, frame, lang_index(lang), cover);
      return keyed(c, cover);
    }
  return Image{};
}

Image kelpa_cube_icon(int colour, int size) {
  Canvas c;
  Mask cover;
  if (!cube_render(colour & 7, size, c, cover)) return Image{};
  Canvas bg(size, size);
  bg.vertical_gradient(hex(0x1C2640), hex(0x080A12));
  bg.fill(cover, [&](int x, int y) { return c.at(x, y); });
  return bg.image();
}

}  // namespace datagen::art
