// Pictures of the options screens: the panels with their titles, blank buttons the screens word
// themselves, worded ones, the game tabs, the arrows of the CD track, the level steps and the key
// fields.
#include "art_options.h"

#include <algorithm>
#include <cstdlib>

#include "canvas.h"
#include "text.h"

namespace datagen::art {

namespace {

const char* pick(const std::string& lang, const char* en, const char* ge, const char* fr, const char* hu) {
  if (lang == "GE") return ge;
  if (lang == "FR") return fr;
  if (lang == "HU") return hu;
  return en;
}

TextLook look(uint32_t top, uint32_t bottom) {
  TextLook t;
  t.top = hex(top);
  t.bottom = hex(bottom);
  t.shadow = 0.7f;
  return t;
}

// The screen's panel: a deep blue field, bevelled, the title in gold at the top and a thin rule
// under it.
Canvas panel(int w, int h, const std::string& title, uint32_t seed) {
  Canvas c(w, h);
  c.vertical_gradient(hex(0x23346A), hex(0x0C1330));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float n = noise(float(x), float(y), 90, 3, seed);
      Rgb& p = c.at(x, y);
      p = scale(p, 0.85f + 0.3f * n);
    }
  c.bevel({0, 0, float(w), float(h)}, 12, 4, 0.7f);
  Rect inner{10, 46, float(w) - 20, float(h) - 56};
  c.fill(rrect_mask(inner, 8), hex(0x070B1E), 0.35f);
  c.bevel(inner, 8, 3, -0.5f);
  TextLook gold = look(0xFFF1B8, 0xD99A1E);
  gold.shadow_blur = 3;
  int px = fit_text(title, Face::SerifBold, 28, float(w) - 60);
  draw_text(c, title, Face::SerifBold, px, float(w) * 0.5f, 24, gold);
  return c;
}

// A rounded glossy button, optionally worded.
Canvas button(int w, int h, const std::string& label, Rgb base) {
  Canvas c(w, h, hex(0x0A0F26));
  float radius = std::min(float(h) * 0.3f, 10.0f);
  c.fill(rrect_mask({0, 0, float(w), float(h)}, radius + 1), hex(0x04060E));
  c.panel({1, 1, float(w) - 2, float(h) - 2}, radius, mix(base, Rgb{1, 1, 1}, 0.15f), scale(base, 0.4f),
          std::max(2.0f, float(h) / 10), 0);
  Mask sheen = rrect_mask({3, 3, float(w) - 6, float(h) * 0.42f}, std::max(radius - 2, 1.0f));
  c.fill(sheen, Rgb{1, 1, 1}, 0.12f);
  if (!label.empty()) {
    int px = fit_text(label, Face::SansBold, std::clamp(int(float(h) * 0.45f), 8, 22), float(w) - 10);
    draw_text(c, label, Face::SansBold, px, float(w) * 0.5f, float(h) * 0.5f, look(0xFFFFFF, 0xC8D2E8));
  }
  return c;
}

// A sunken field: where a key's name or a setting's word is written.
Canvas field(int w, int h) {
  Canvas c(w, h, hex(0x0A0F26));
  c.fill(rrect_mask({0, 0, float(w), float(h)}, 4), hex(0x101A3C));
  c.bevel({0, 0, float(w), float(h)}, 4, 2, -0.6f);
  return c;
}

// One step of a level slider: a bar as high as its level, the first one an empty box.
Canvas step(int w, int h, int level) {
  Canvas c = field(w, h);
  if (level <= 0) return c;
  float bar = float(h - 6) * float(level) / 5.0f;
  Rgb top = mix(hex(0x5FD47E), hex(0xF2C23B), float(level) / 5.0f);
  c.panel({4, float(h) - 3 - bar, float(w) - 8, bar}, 2, top, scale(top, 0.5f), 1, 0);
  return c;
}

// An arrow button of the CD track.
Canvas arrow(int w, int h, bool left) {
  Canvas c = button(w, h, "", hex(0x3F7FD8));
  Mask m;
  m.w = w;
  m.h = h;
  m.a.assign(size_t(w) * size_t(h), 0.0f);
  float cx = float(w) * 0.5f, cy = float(h) * 0.5f, s = float(std::min(w, h)) * 0.28f;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float dx = (float(x) + 0.5f - cx) * (left ? -1.0f : 1.0f), dy = std::abs(float(y) + 0.5f - cy);
      // A triangle pointing along +x: inside while |dy| stays under the narrowing half-height.
      float inside = std::min(s - dx * 0.5f - dy, dx + s * 0.8f);
      m.a[size_t(y) * size_t(w) + size_t(x)] = clamp01(inside + 0.5f);
    }
  c.fill(m, hex(0xFFFFFF), 0.95f);
  return c;
}

struct Tab {
  const char* name;
  const char* title;
  uint32_t colour;
};
const Tab kTabs[] = {{"varnel", "Varnel", 0x8A5BD8}, {"mossik", "Mossik", 0x2A9A9A}, {"terrow", "Terrow", 0x3F7FD8},
                     {"kelpa", "Kelpa", 0x3FAF6A},   {"dunmar", "Dunmar", 0xC85A3A}};

uint32_t seed_of(const std::string& pack, const std::string& name) { return hash_text(pack + "/" + name); }

}  // namespace

Image options_asset(const std::string& pack, const std::string& name, int width, int height,
                    const std::string& lang) {
  auto size = [&](int dw, int dh) {
    if (width <= 0) width = dw;
    if (height <= 0) height = dh;
  };
  if (pack == "chat" && name == "reply") {
    size(110, 40);
    return button(width, height, pick(lang, "Reply", "Antworten", "Répondre", "Válasz"), hex(0x3F7FD8)).image();
  }
  if (pack == "choose" && name == "colour") {
    size(400, 200);
    return panel(width, height, pick(lang, "Choose your colour", "Wähle deine Farbe", "Choisissez votre couleur",
                                     "Válassz színt"), seed_of(pack, name)).image();
  }
  if (pack == "choose" && (name == "light" || name == "dark")) {
    size(130, 56);
    bool light = name == "light";
    Canvas c = button(width, height, light ? pick(lang, "Light", "Hell", "Clair", "Világos") : pick(lang, "Dark", "Dunkel", "Foncé", "Sötét"),
                      light ? hex(0xC8C0A8) : hex(0x303848));
    return c.image();
  }
  if ((pack == "solved" || pack == "msc") && name == "progress") {
    size(400, 270);
    return panel(width, height, "", seed_of(pack, name)).image();
  }
  if ((pack == "solved" || pack == "msc") && name == "bartrough") {
    size(125, 20);
    return field(width, height).image();
  }
  if ((pack == "solved" || pack == "msc") && (name == "barfull" || name == "barpart")) {
    // The full bar glows gold; a partial one is green.
    size(121, 16);
    Canvas c(width, height, hex(0x101A3C));
    Rgb top = name == "barfull" ? hex(0xF2C23B) : hex(0x5FD47E);
    c.panel({0, 0, float(width), float(height)}, 3, top, scale(top, 0.45f), 1.5f, 0);
    return c.image();
  }
  if (pack != "options") return Image{};
  uint32_t seed = hash_text("options/" + name);
  if (name == "general") {
    size(600, 440);
    return panel(width, height, pick(lang, "Options", "Optionen", "Options", "Beállítások"), seed).image();
  }
  if (name.size() == 5 && name.rfind("game", 0) == 0 && name[4] >= '0' && name[4] <= '4') {
    size(600, 440);
    std::string title = std::string(kTabs[name[4] - '0'].title) + pick(lang, " options", "-Optionen", " : options", " beállításai");
    return panel(width, height, title, seed).image();
  }
  if (name == "capture") {
    size(420, 90);
    Canvas c(width, height);
    c.vertical_gradient(hex(0x5A2A6A), hex(0x24102E));
    c.bevel({0, 0, float(width), float(height)}, 10, 4, 0.8f);
    return c.image();
  }
  for (const Tab& t : kTabs)
    if (name == t.name) {
      size(54, 30);
      return button(width, height, t.title, hex(t.colour)).image();
    }
  if (name == "ok" || name == "cancel" || name == "generalbtn") {
    size(100, 36);
    const char* word = name == "ok"       ? "OK"
                       : name == "cancel" ? pick(lang, "Cancel", "Abbrechen", "Annuler", "Mégse")
                                          : pick(lang, "General", "Allgemein", "Général", "Általános");
    return button(width, height, word, hex(name == "cancel" ? 0xC8603A : 0x3FAF6A)).image();
  }
  if (name == "wide" || name.rfind("slot", 0) == 0) {
    size(100, 24);
    return button(width, height, "", hex(0x2F5FA8)).image();
  }
  if (name == "keyslot") {
    size(146, 22);
    return field(width, height).image();
  }
  if (name.size() == 5 && name.rfind("step", 0) == 0 && name[4] >= '0' && name[4] <= '5') {
    size(22, 24);
    return step(width, height, name[4] - '0').image();
  }
  if (name == "left" || name == "right") {
    size(24, 26);
    return arrow(width, height, name == "left").image();
  }
  return Image{};
}

}  // namespace datagen::art
