// The recipes: Mavrel's logos and main menu, and the framework's screen pictures.
#include "art.h"
#include "art_help.h"
#include "art_options.h"
#include "art_game.h"

#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "scene3d.h"
#include "text.h"

namespace datagen::art {
namespace {

// ---------------------------------------------------------------------------------------------
// Shared looks

struct Theme {
  Rgb deep, mid, accent;
};

const Theme kNight{hex(0x0B1230), hex(0x24305E), hex(0xF2C14E)};

// A background: vertical gradient, a soft light from the top, cloudy noise and dark corners.
void backdrop(Canvas& c, Rgb top, Rgb bottom, uint32_t seed) {
  c.vertical_gradient(top, bottom);
  float w = float(c.width()), h = float(c.height());
  Mask glow = ellipse_mask({w * 0.15f, -h * 0.35f, w * 0.7f, h * 0.8f});
  c.add(blur(glow, std::max(4, c.height() / 12)), scale(mix(top, Rgb{1, 1, 1}, 0.5f), 0.35f));
  // Clouds: the noise is smooth, so it is worked out every 4 pixels and filled in between.
  const int step = 4, gw = c.width() / step + 2, gh = c.height() / step + 2;
  std::vector<float> grid(size_t(gw) * size_t(gh));
  for (int j = 0; j < gh; ++j)
    for (int i = 0; i < gw; ++i)
      grid[size_t(j) * size_t(gw) + size_t(i)] = noise(float(i * step), float(j * step), std::max(24.0f, w / 6), 4, seed) - 0.5f;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      int i = x / step, j = y / step;
      float tx = float(x % step) / step, ty = float(y % step) / step;
      const float* g0 = &grid[size_t(j) * size_t(gw) + size_t(i)];
      const float* g1 = g0 + gw;
      float n = (g0[0] + (g0[1] - g0[0]) * tx) * (1 - ty) + (g1[0] + (g1[1] - g1[0]) * tx) * ty;
      Rgb& p = c.at(x, y);
      p = {p.r * (1 + 0.35f * n), p.g * (1 + 0.35f * n), p.b * (1 + 0.45f * n)};
    }
  c.grain(0.03f, seed ^ 0x5151u);
  c.vignette(0.45f);
}

// Text in a vertical gradient with a soft drop shadow.
TextLook text_look(uint32_t top, uint32_t bottom, float shadow = 0.6f, int shadow_blur = 2, int shadow_dy = 2) {
  TextLook t;
  t.top = hex(top);
  t.bottom = hex(bottom);
  t.shadow = shadow;
  t.shadow_blur = shadow_blur;
  t.shadow_dx = shadow_blur > 2 ? 2 : 1;
  t.shadow_dy = shadow_dy;
  return t;
}

TextLook gold_text() { return text_look(0xFFF1B8, 0xD99A1E, 0.75f, 3, 3); }

TextLook white_text(float shadow = 0.6f) { return text_look(0xFFFFFF, 0xC8D2E8, shadow); }

// The outline of a glossy rounded tile: a filled, bevelled panel with a sheen on its upper half.
void glossy_tile(Canvas& c, const Rect& r, float radius, Rgb top, Rgb bottom, float shadow) {
  c.panel(r, radius, top, bottom, std::max(2.0f, std::min(r.w, r.h) / 10), shadow);
  Rect sheen{r.x + 2, r.y + 2, r.w - 4, r.h * 0.45f};
  Mask m = rrect_mask(sheen, std::max(radius - 2, 1.0f));
  float y0 = sheen.y, hh = sheen.h;
  for (int y = m.oy; y < m.oy + m.h; ++y)
    for (int x = m.ox; x < m.ox + m.w; ++x) {
      float a = m.at(x, y) * 0.22f * (1 - clamp01((float(y) + 0.5f - y0) / hh));
      c.blend(x, y, Rgb{1, 1, 1}, a);
    }
}

// The lit look of a hot area: a golden rim just inside the area and a warm light over it.
void lit_rim(Canvas& c, const Rect& r, float radius) {
  Mask outer = rrect_mask(r, radius), inner = rrect_mask({r.x + 2, r.y + 2, r.w - 4, r.h - 4}, radius - 2);
  for (size_t i = 0; i < outer.a.size(); ++i) {
    int x = outer.ox + int(i % size_t(outer.w)), y = outer.oy + int(i / size_t(outer.w));
    float ring = clamp01(outer.a[i] - inner.at(x, y));
    c.blend(x, y, hex(0xFFD87A), ring * 0.95f);
  }
  // Warm light inside the rim only: nothing outside the area may change.
  Mask warm = blur(inner, 3);
  for (int y = warm.oy; y < warm.oy + warm.h; ++y)
    for (int x = warm.ox; x < warm.ox + warm.w; ++x)
      warm.a[size_t(y - warm.oy) * size_t(warm.w) + size_t(x - warm.ox)] *= outer.at(x, y);
  c.add(warm, hex(0x302010), 1.0f);
}

// Labels of the hot areas: the lit look changes the colour only, so the shadow stays the same.
TextLook spot_text(bool lit) {
  return lit ? text_look(0xFFF1B8, 0xF2B233) : white_text();
}

// A shaded ball, lit from the top left, with a highlight and a soft shadow under it.
void ball(Canvas& c, float cx, float cy, float radius, Rgb colour) {
  Mask shade = ellipse_mask({cx - radius * 0.9f, cy + radius * 0.7f, radius * 1.8f, radius * 0.5f});
  c.fill(blur(shade, std::max(1, int(radius / 5))), Rgb{0, 0, 0}, 0.5f);
  Mask disc = ellipse_mask({cx - radius, cy - radius, 2 * radius, 2 * radius});
  c.fill(disc, [&](int x, int y) {
    float nx = (float(x) + 0.5f - cx) / radius, ny = (float(y) + 0.5f - cy) / radius;
    float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
    float lx = -0.45f, ly = -0.6f, lz = 0.66f;
    float diffuse = std::max(0.0f, nx * lx + ny * ly + nz * lz);
    float rz = 2 * diffuse * nz - lz;  // reflection towards the viewer
    float spec = std::pow(std::max(0.0f, rz), 28.0f);
    Rgb base = scale(colour, 0.22f + 0.85f * diffuse);
    return mix(base, Rgb{1, 1, 1}, clamp01(spec));
  });
}

// ---------------------------------------------------------------------------------------------
// Words: labels made from picture names, in the language folder's language where we know it.

enum Lang { kEnglish, kGerman, kFrench, kHungarian };

// ASCII only: the <cctype> calls follow the process locale, and the same name must give the same
// picture under any locale.
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_alpha(char c) { return is_upper(c) || is_lower(c); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char to_upper(char c) { return is_lower(c) ? char(c - 'a' + 'A') : c; }
char to_lower(char c) { return is_upper(c) ? char(c - 'A' + 'a') : c; }

Lang language(const std::string& lang) {
  std::string l;
  for (char ch : lang) l += to_upper(ch);
  return l == "GE" ? kGerman : l == "FR" ? kFrench : l == "HU" ? kHungarian : kEnglish;
}

struct Word {
  const char* key;
  const char* text[4];  // English, German, French, Hungarian
};

const Word kWords[] = {
    {"yes", {"Yes", "Ja", "Oui", "Igen"}},
    {"no", {"No", "Nein", "Non", "Nem"}},
    {"ok", {"OK", "OK", "OK", "OK"}},
    {"cancel", {"Cancel", "Abbrechen", "Annuler", "Mégse"}},
    {"drives", {"Drives", "Laufwerke", "Lecteurs", "Meghajtók"}},
    {"root", {"Root", "Wurzel", "Racine", "Gyökér"}},
    {"back", {"Back", "Zurück", "Retour", "Vissza"}},
    {"exit", {"Exit", "Beenden", "Quitter", "Kilépés"}},
    {"quit", {"Quit", "Beenden", "Quitter", "Kilépés"}},
    {"start", {"Start", "Start", "Démarrer", "Indítás"}},
    {"play", {"Play", "Spielen", "Jouer", "Játék"}},
    {"options", {"Options", "Optionen", "Options", "Beállítások"}},
    {"help", {"Help", "Hilfe", "Aide", "Súgó"}},
    {"load", {"Load", "Laden", "Charger", "Betöltés"}},
    {"save", {"Save", "Speichern", "Enregistrer", "Mentés"}},
    {"next", {"Next", "Weiter", "Suivant", "Tovább"}},
    {"prev", {"Previous", "Zurück", "Précédent", "Előző"}},
    {"menu", {"Menu", "Menü", "Menu", "Menü"}},
    {"new", {"New", "Neu", "Nouveau", "Új"}},
    {"reset", {"Restart", "Neustart", "Recommencer", "Újrakezdés"}},
    {"level", {"Level", "Stufe", "Niveau", "Szint"}},
    {"speed", {"Speed", "Tempo", "Vitesse", "Sebesség"}},
    {"replay", {"Replay", "Wiederholung", "Revoir", "Visszajátszás"}},
    {"again", {"Try again", "Nochmal", "Rejouer", "Újra"}},
    {"continue", {"Continue", "Weiter", "Continuer", "Folytatás"}},
    {"credits", {"Credits", "Mitwirkende", "Crédits", "Készítők"}},
    {"name", {"Name", "Name", "Nom", "Név"}},
    {"player", {"Player", "Spieler", "Joueur", "Játékos"}},
    {"chat", {"Chat", "Chat", "Discussion", "Csevegés"}},
    {"pause", {"Pause", "Pause", "Pause", "Szünet"}},
    {"up", {"Up", "Hoch", "Haut", "Fel"}},
    {"down", {"Down", "Runter", "Bas", "Le"}},
    {"delete", {"Delete", "Löschen", "Supprimer", "Törlés"}},
    {"close", {"Close", "Schließen", "Fermer", "Bezárás"}},
};

const Word* find_word(const std::string& key) {
  for (const Word& w : kWords)
    if (key == w.key) return &w;
  return nullptr;
}

// At most `bytes` bytes of a UTF-8 text, never cutting a character in two.
std::string utf8_head(const std::string& s, size_t bytes) {
  if (s.size() <= bytes) return s;
  while (bytes > 0 && (static_cast<unsigned char>(s[bytes]) & 0xC0) == 0x80) --bytes;
  return s.substr(0, bytes);
}

std::string lower(const std::string& s) {
  std::string out;
  for (char ch : s) out += to_lower(ch);
  return out;
}

// "btnNext2" -> "Next 2"; a known word is put into the language.
std::string label_of(const std::string& name, Lang lang) {
  std::string base = name;
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  size_t cut = base.find_last_of("/\\");
  if (cut != std::string::npos) base = base.substr(cut + 1);
  std::string key = lower(base);
  while (!key.empty() && !is_alpha(key.back())) key.pop_back();
  if (const Word* w = find_word(key)) return w->text[lang];
  // Kind prefixes ("btnNext", "ikSound", "hLearn" of the help pages) say nothing to the player.
  for (const char* prefix : {"ikon", "btn", "bt", "b_", "ik", "h"}) {
    size_t k = std::string(prefix).size();
    if (key.rfind(prefix, 0) != 0 || key.size() <= k) continue;
    if (const Word* w = find_word(key.substr(k))) return w->text[lang];
    // Without a known word the prefix goes only where the name shows where it ends.
    if (is_upper(base[k]) || base[k - 1] == '_') {
      base = base.substr(k);
      break;
    }
  }
  std::string out;
  char prev = 0;
  for (char ch : base) {
    if (ch == '_' || ch == '-' || ch == '+' || ch == ' ') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      bool split = (is_upper(ch) && is_lower(prev)) ||
                   (is_digit(ch) && is_alpha(prev));
      if (split && !out.empty() && out.back() != ' ') out += ' ';
      out += ch;
    }
    prev = ch;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (!out.empty()) out[0] = to_upper(out[0]);
  // A name is no sentence: a long one would only shrink to the smallest size and take long to fit.
  return utf8_head(out, 40);
}

const char* say(Lang l, const char* en, const char* ge, const char* fr, const char* hu) {
  const char* t[4] = {en, ge, fr, hu};
  return t[l];
}

// ---------------------------------------------------------------------------------------------
// Mavrel's main menu: the hot areas and their lit looks.

struct Spot {
  int x, y, w, h;
  const char* highlight;
};

// Where the menu looks for its four hot areas; each highlight is copied to the area's corner.
const Spot kSpots[4] = {
    {355, 380, 58, 58, "fwA.pix"},  // Terrow
    {220, 370, 82, 82, "kpA.pix"},  // Kelpa
    {0, 0, 75, 40, "exA.pix"},      // exit
    {555, 0, 85, 50, "plA.pix"},    // player name
};

constexpr int kHighlight = 128;
// The largest side `asset` makes; a picture the framework shows is at most the 640 x 480 screen.
constexpr int kMaxSide = 4096;

// A board of tiles far below in two colours, its far rows melting into the sky (`fog`).
void tile_floor(Canvas& c, uint32_t light, uint32_t dark, Rgb fog) {
  Scene3 s;
  for (int gz = -4; gz < 10; ++gz)
    for (int gx = -6; gx <= 6; ++gx) {
      Cube t;
      t.x = float(gx) * 1.05f;
      t.z = -float(gz) * 1.05f;
      t.y = -1.6f;
      t.sx = t.sz = 0.5f;
      t.sy = 0.08f;
      t.colour = (gx + gz) % 2 == 0 ? light : dark;
      t.shine = 0.6f;
      s.cubes.push_back(t);
    }
  s.lamps = {{0, 6, 4, 0xFFF4E0u}, {-6, 2, -4, 0x303A80u}, {6, 1, -2, 0x602840u}};
  s.camera(-12, 0, 0, 0.6f, 6.5f, 60);
  Canvas scene;
  Mask cover;
  if (!render_scene(s, c.width(), c.height(), scene, cover)) return;
  float h = float(c.height());
  c.fill(cover, [&](int x, int y) {
    float far = 1.0f - smoothstep(h * 0.52f, h * 0.875f, float(y));
    return mix(scene.at(x, y), fog, 0.6f * far);
  });
}

// The background of the menu without its four areas: night sky, floating lit cubes, the title
// and the stand the two games sit on.
Canvas menu_base() {
  Canvas c(640, 480);
  backdrop(c, hex(0x1A2450), hex(0x07081A), 0xA1A9u);
  tile_floor(c, 0x2B3F8Cu, 0x1B2660u, hex(0x0D1236));
  Scene3 s;
  s.camera(-12, 0, 0, 0.6f, 6.5f, 60);
  Canvas scene;
  Mask cover;
  // Cubes floating over the board, in the clear air.
  const struct {
    float x, y, z, size, turn;
    uint32_t colour;
  } floating[] = {{-5.2f, 2.3f, -4.0f, 0.42f, 25, 0xE0503Cu}, {-3.2f, 0.2f, -1.0f, 0.3f, 50, 0xF2C14Eu},
                  {5.0f, 2.0f, -3.5f, 0.45f, 15, 0x3FB07Au},   {3.1f, -0.1f, -0.5f, 0.28f, 60, 0x4C8DF0u},
                  {-1.9f, 2.6f, -6.0f, 0.35f, 35, 0xA45BE0u}, {2.2f, 2.7f, -6.5f, 0.32f, 70, 0x30C0C0u}};
  s.cubes.clear();
  for (const auto& f : floating) {
    Cube k;
    k.x = f.x;
    k.y = f.y;
    k.z = f.z;
    k.sx = k.sy = k.sz = f.size;
    k.turn = f.turn;
    k.tilt = 20 + f.turn * 0.5f;
    k.colour = f.colour;
    k.shine = 0.6f;
    s.cubes.push_back(k);
  }
  s.lamps = {{-2, 6, 5, 0xFFFFFFu}, {6, 2, 0, 0x5060A0u}};
  if (render_scene(s, 640, 480, scene, cover)) {
    c.shadow(cover, 6, 14, 6, 0.35f);
    c.fill(cover, [&](int x, int y) { return scene.at(x, y); });
  }

  TextLook t = gold_text();
  t.glow = scale(hex(0xF2A93B), 0.35f);
  t.glow_blur = 8;
  draw_text(c, "Velmo's Games", Face::SerifBold, 62, 320, 118, t);
  TextLook sub = text_look(0xDDE6FF, 0x9FB2E6, 0.7f);
  draw_text(c, "D  E  M  O", Face::SansBold, 18, 320, 172, sub);
  Mask rule = rrect_mask({200, 194, 240, 2}, 1);
  c.fill(rule, hex(0xF2C14E), 0.6f);

  // The stand under the two games.
  Rect stand{196, 352, 248, 122};
  Mask sm = rrect_mask(stand, 18, 1);
  c.shadow(sm, 0, 6, 8, 0.6f);
  c.fill(sm, [&](int, int y) { return mix(hex(0x263366), hex(0x0E1230), clamp01((float(y) - stand.y) / stand.h)); }, 0.82f);
  c.bevel(stand, 18, 4, 0.35f);
  TextLook cap = text_look(0xAAB6DA, 0xAAB6DA, 0.5f);
  draw_text(c, "choose a game", Face::Sans, 12, 320, 342, cap);
  return c;
}

// One area of the menu, plain or lit. Everything a lit look changes stays inside the area's
// 128 x 128 highlight box from its corner, so the highlight fits the menu around it.
void menu_spot(Canvas& c, int index, bool lit) {
  const Spot& s = kSpots[index];
  Rect r{float(s.x) + 2, float(s.y) + 2, float(s.w) - 4, float(s.h) - 4};
  switch (index) {
    case 0: {  // Terrow: a ball on a blue tile
      // The caption sits on the tile's foot, inside the area the pointer lights.
      glossy_tile(c, r, 10, lit ? hex(0x4FA8FF) : hex(0x2F6FC8), lit ? hex(0x15438F) : hex(0x102A66), 0.6f);
      Mask ramp = rrect_mask({r.x + 8, r.y + r.h - 22, r.w - 16, 3}, 1.5f);
      c.fill(ramp, lit ? hex(0xFFE08A) : hex(0xC9A24A));
      ball(c, r.x + r.w * 0.5f, r.y + r.h * 0.34f, 11, lit ? hex(0xFF6A4A) : hex(0xD8452E));
      if (lit) lit_rim(c, r, 10);
      TextLook t = spot_text(lit);
      draw_text(c, "Terrow", Face::SansBold, fit_text("Terrow", Face::SansBold, 12, r.w - 8), r.x + r.w * 0.5f,
                r.y + r.h - 9, t);
      break;
    }
    case 1: {  // Kelpa: a worm of cubes on a green tile
      glossy_tile(c, r, 12, lit ? hex(0x5FD47E) : hex(0x2F9950), lit ? hex(0x165A2C) : hex(0x0C3A1C), 0.6f);
      Scene3 w;
      const float path[6][2] = {{-1.5f, 0.8f}, {-0.5f, 0.8f}, {0.5f, 0.8f}, {0.5f, -0.2f}, {0.5f, -1.2f}, {1.5f, -1.2f}};
      for (int k = 0; k < 6; ++k) {
        Cube q;
        q.x = path[k][0] * 0.6f;
        q.z = path[k][1] * 0.6f;
        q.sx = q.sy = q.sz = k == 5 ? 0.3f : 0.26f;
        q.turn = 0;
        q.colour = k == 5 ? (lit ? 0xFFD84Au : 0xE0B030u) : (lit ? 0xB8FF6Au : 0x8CD84Au);
        q.shine = 0.6f;
        w.cubes.push_back(q);
      }
      w.lamps = {{-2, 4, 3, lit ? 0xFFFFFFu : 0xE8E8E8u}, {3, 1, 2, 0x406080u}};
      w.camera(-50, 18, 0.9f, 2.9f, 2.4f, 40);
      int iw = int(r.w) - 8, ih = int(r.h) - 22;
      Canvas img;
      Mask cover;
      if (render_scene(w, iw, ih, img, cover)) {
        Mask placed = moved(cover, int(r.x) + 4, int(r.y) + 4);
        c.shadow(placed, 2, 3, 2, 0.45f);
        c.fill(placed, [&](int x, int y) { return img.at(x - placed.ox, y - placed.oy); });
      }
      if (lit) lit_rim(c, r, 12);
      TextLook t = spot_text(lit);
      draw_text(c, "Kelpa", Face::SansBold, 13, r.x + r.w * 0.5f, r.y + r.h - 10, t);
      break;
    }
    case 2:  // exit
    case 3: {  // player name
      bool exit = index == 2;
      Rgb top = exit ? (lit ? hex(0xFF7A5C) : hex(0xB83A2E)) : (lit ? hex(0x6CD8FF) : hex(0x2D7FB8));
      Rgb bottom = exit ? (lit ? hex(0xA8201A) : hex(0x5E1610)) : (lit ? hex(0x1A5C9A) : hex(0x10365E));
      Rect b{r.x + 3, r.y + 3, r.w - 6, r.h - 6};
      glossy_tile(c, b, 8, top, bottom, 0.6f);
      if (lit) lit_rim(c, b, 8);
      TextLook t = spot_text(lit);
      if (exit) {
        draw_text(c, "Exit", Face::SansBold, 15, b.x + b.w * 0.5f, b.y + b.h * 0.5f, t);
      } else {
        float hx = b.x + 13, hy = b.y + b.h * 0.5f;
        Rgb fig = lit ? hex(0xFFF1B8) : hex(0xE8F0FF);
        c.fill(ellipse_mask({hx - 4.5f, hy - 11, 9, 9}), fig);
        c.fill(rrect_mask({hx - 8, hy, 16, 10}, 5), fig);
        draw_text(c, "Player", Face::SansBold, fit_text("Player", Face::SansBold, 13, b.w - 28), b.x + 24 + (b.w - 26) * 0.5f,
                  b.y + b.h * 0.5f, t);
      }
      break;
    }
  }
}

Canvas menu_canvas(int lit) {
  // The menu and its four highlights share one background; it is made once.
  static const Canvas base = menu_base();
  Canvas c = base;
  for (int i = 0; i < 4; ++i) menu_spot(c, i, i == lit);
  return c;
}

// ---------------------------------------------------------------------------------------------
// Logos

Canvas logo_zuvo() {
  Canvas c(640, 480);
  backdrop(c, hex(0x05202A), hex(0x010608), 0x2001u);
  // The mark: a bevelled teal disc with a "Z" cut in gold.
  Rect disc{250, 80, 140, 140};
  Mask d = ellipse_mask(disc, 2);
  c.shadow(d, 4, 8, 10, 0.7f);
  c.fill(d, [&](int x, int y) {
    float t = clamp01((float(y) - disc.y) / disc.h), u = clamp01((float(x) - disc.x) / disc.w);
    return mix(hex(0x3FE0D0), hex(0x0B5058), 0.6f * t + 0.4f * u);
  });
  Mask ring = ellipse_mask({disc.x + 10, disc.y + 10, disc.w - 20, disc.h - 20}, 1);
  c.fill(ring, [&](int, int y) { return mix(hex(0x0E3C44), hex(0x1F8A8C), clamp01((float(y) - disc.y) / disc.h)); });
  TextLook z = gold_text();
  z.glow = scale(hex(0xF2C14E), 0.3f);
  draw_text(c, "Z", Face::SerifBold, 100, 320, 152, z);
  // The name, with a fading reflection under it.
  TextLook name = text_look(0xFFFFFF, 0x8FB8C0, 0.8f, 4, 4);
  Mask word = draw_text(c, "ZUVO", Face::SansBold, 92, 320, 300, name);
  for (int y = 0; y < word.h; ++y) {
    float fade = 0.28f * (1 - float(y) / float(std::max(word.h, 1) * 0.6f));
    if (fade <= 0) break;
    for (int x = 0; x < word.w; ++x) {
      float a = word.a[size_t(word.h - 1 - y) * size_t(word.w) + size_t(x)];
      c.blend(word.ox + x, word.oy + word.h - 8 + y, hex(0x8FB8C0), a * fade);
    }
  }
  TextLook tag = text_look(0x7FD8D0, 0x7FD8D0, 0.5f);
  draw_text(c, "I N T E R A C T I V E", Face::Sans, 16, 320, 410, tag);
  return c;
}

Canvas logo_logonolt() {
  Canvas c(640, 480);
  // Warm paper with a fine fibre.
  c.vertical_gradient(hex(0xF6F0E4), hex(0xE2D6C0));
  c.grain(0.05f, 0x7070u);
  c.vignette(0.3f);
  // The mark: three stacked bevelled bars in the company colours.
  const uint32_t colours[3][2] = {{0xE8553D, 0xA82A1A}, {0xF2B233, 0xB87808}, {0x3A78C8, 0x1A3F80}};
  for (int i = 0; i < 3; ++i) {
    Rect bar{220.0f + float(i) * 20, 110.0f + float(i) * 38, 200 - float(i) * 40 + 40, 28};
    bar.x = 320 - bar.w * 0.5f;
    c.panel(bar, 10, hex(colours[i][0]), hex(colours[i][1]), 3, 0.35f);
  }
  TextLook name = text_look(0x3A2A1C, 0x1A120A, 0.3f, 3, 3);
  draw_text(c, "Logonolt", Face::SerifBold, 76, 320, 300, name);
  Mask rule = rrect_mask({170, 352, 300, 2}, 1);
  c.fill(rule, hex(0xA8804A));
  TextLook tag = text_look(0x6A5440, 0x6A5440, 0);
  draw_text(c, "p r e s e n t s", Face::Serif, 20, 320, 386, tag);
  return c;
}

Canvas logo_brondel() {
  Canvas c(640, 480);
  backdrop(c, hex(0x1C1030), hex(0x05030A), 0xB0D1u);
  // A pyramid of lit cubes, a little apart: the library drawing itself.
  Scene3 s;
  const uint32_t colours[] = {0xE0503C, 0xF2A93B, 0xF2D64E, 0x5FD47E, 0x3FA8E0, 0x8A5BE0};
  int n = 0;
  for (int layer = 0; layer < 3; ++layer) {
    int side = 3 - layer;
    for (int i = 0; i < side; ++i)
      for (int j = 0; j < side; ++j) {
        Cube k;
        float off = -float(side - 1) * 0.5f;
        k.x = (off + float(i)) * 1.08f;
        k.z = (off + float(j)) * 1.08f;
        k.y = float(layer) * 1.08f;
        k.sx = k.sy = k.sz = 0.5f;
        k.colour = colours[(n++ + layer) % 6];
        k.shine = 0.8f;
        s.cubes.push_back(k);
      }
  }
  s.lamps = {{4, 7, 6, 0xFFF0E0u}, {-6, 2, 1, 0x5060C0u}};
  s.camera(-28, 38, 4.6f, 4.8f, 5.6f, 42);
  Mask pool = ellipse_mask({170, 230, 300, 70});
  c.add(blur(pool, 18), hex(0x4A3A8A), 0.6f);
  Canvas scene;
  Mask cover;
  if (render_scene(s, 640, 330, scene, cover)) {
    c.shadow(cover, 0, 10, 14, 0.5f);
    c.fill(cover, [&](int x, int y) { return scene.at(x, y); });
  }
  TextLook name = text_look(0xFFFFFF, 0xB8A8E0, 0.8f, 4, 3);
  name.glow = scale(hex(0x8A5BE0), 0.35f);
  name.glow_blur = 8;
  draw_text(c, "BRONDEL", Face::SansBold, 72, 320, 370, name);
  TextLook tag = text_look(0xC8B8F0, 0xC8B8F0, 0.5f);
  draw_text(c, "real-time 3D technology", Face::Sans, 18, 320, 428, tag);
  return c;
}

// ---------------------------------------------------------------------------------------------
// Screen pictures

// A full-size background with a title; a game's has the board in the game's colours under it.
Canvas background(int w, int h, const std::string& title, uint32_t seed, const uint32_t* board = nullptr) {
  Canvas c(w, h);
  Rgb top = mix(kNight.mid, hex(0x203A6A + (seed & 0x0F0F0F)), 0.5f);
  backdrop(c, top, kNight.deep, seed);
  if (board != nullptr) {
    tile_floor(c, board[0], board[1], scale(kNight.deep, 1.2f));
    // Calm the near rows: the screen's buttons sit on them.
    for (int y = 0; y < h; ++y) {
      float k = 1.0f - 0.45f * smoothstep(float(h) * 0.55f, float(h), float(y));
      for (int x = 0; x < w; ++x) c.at(x, y) = scale(c.at(x, y), k);
    }
  }
  if (!title.empty() && h >= 120) {
    TextLook t = gold_text();
    int px = fit_text(title, Face::SerifBold, std::max(16, h / 10), float(w) * 0.8f);
    draw_text(c, title, Face::SerifBold, px, float(w) * 0.5f, float(px) * 0.9f + 8, t);
  }
  return c;
}

// A dialog panel: bevelled frame round a recessed inner field, a text in the upper part.
Canvas dialog(int w, int h, const std::string& text, uint32_t seed) {
  Canvas c(w, h);
  backdrop(c, hex(0x2A3A70), hex(0x121A3A), seed);
  c.bevel({0, 0, float(w), float(h)}, 10, std::max(3.0f, float(std::min(w, h)) / 30), 0.7f);
  Rect inner{8, 8, float(w) - 16, float(h) - 16};
  Mask im = rrect_mask(inner, 8);
  c.fill(im, hex(0x0A0F26), 0.35f);
  c.bevel(inner, 8, 3, -0.5f);
  if (!text.empty()) {
    int px = fit_text(text, Face::SansBold, std::clamp(h / 8, 10, 22), float(w) - 40);
    draw_text(c, text, Face::SansBold, px, float(w) * 0.5f, float(h) * 0.3f, white_text());
  }
  return c;
}

Canvas button(int w, int h, const std::string& label, uint32_t seed) {
  Canvas c(w, h);
  c.vertical_gradient(hex(0x101838), hex(0x101838));
  static const uint32_t tops[] = {0x3F7FD8, 0x3FAF6A, 0xD87A3F, 0x8A5BD8, 0x3FB0C0};
  uint32_t topc = tops[seed % 5];
  Rgb top = hex(topc), bottom = scale(hex(topc), 0.38f);
  Rect r{1, 1, float(w) - 2, float(h) - 2};
  float radius = std::min(float(h) * 0.3f, 12.0f);
  // No room round a button for a drop shadow: the edge itself carries the depth.
  c.fill(rrect_mask({0, 0, float(w), float(h)}, radius + 1), hex(0x05070F));
  glossy_tile(c, r, radius, top, bottom, 0);
  if (!label.empty() && h >= 10) {
    int px = fit_text(label, Face::SansBold, std::clamp(int(float(h) * 0.45f), 8, 28), float(w) - 12);
    draw_text(c, label, Face::SansBold, px, float(w) * 0.5f, float(h) * 0.5f, white_text(0.7f));
  }
  return c;
}

// A small square: a bevelled gem (the loading bar's tile) or an icon with the label's letter.
Canvas tile(int w, int h, const std::string& label, uint32_t seed, bool gem) {
  Canvas c(w, h, hex(0x0A0F26));
  Rgb base = gem ? hex(0xF2A93B) : hex(0x3F7FD8 ^ (seed & 0x303030));
  Rect r{1, 1, float(w) - 2, float(h) - 2};
  glossy_tile(c, r, std::min(float(w), float(h)) * 0.2f, mix(base, Rgb{1, 1, 1}, 0.3f), scale(base, 0.45f), 0);
  if (gem) {
    Mask core = ellipse_mask({float(w) * 0.3f, float(h) * 0.25f, float(w) * 0.4f, float(h) * 0.35f});
    c.add(blur(core, std::max(1, w / 10)), hex(0xFFF0C0), 0.5f);
  } else if (!label.empty()) {
    size_t n = 1;  // the whole first character, which may take several bytes
    while (n < label.size() && (static_cast<unsigned char>(label[n]) & 0xC0) == 0x80) ++n;
    std::string letter = label.substr(0, n);
    draw_text(c, letter, Face::SansBold, std::max(8, int(float(h) * 0.55f)), float(w) * 0.5f, float(h) * 0.5f,
              white_text());
  }
  return c;
}

// A results banner: a glowing word on a dark band.
Canvas banner(int w, int h, const std::string& text, Rgb glow, uint32_t seed) {
  Canvas c(w, h);
  backdrop(c, hex(0x1A1030), hex(0x05040C), seed);
  TextLook t = gold_text();
  t.glow = scale(glow, 0.5f);
  t.glow_blur = std::max(3, h / 20);
  int px = fit_text(text, Face::SerifBold, std::max(12, h / 3), float(w) * 0.85f);
  draw_text(c, text, Face::SerifBold, px, float(w) * 0.5f, float(h) * 0.5f, t);
  return c;
}

// A recessed trough: the bed of the loading bar and its strip.
Canvas trough(int w, int h, uint32_t seed) {
  Canvas c(w, h);
  backdrop(c, hex(0x0E1636), hex(0x070A1A), seed);
  c.bevel({0, 0, float(w), float(h)}, 6, 3, -0.6f);
  return c;
}

// The loading bar's bed: a slot for every cell the bar fills, empty or with its tile in.
Canvas bar_bed(int w, int h, uint32_t seed, bool full, const Canvas& cell) {
  static const int kCells[12] = {0, 32, 65, 98, 130, 163, 195, 228, 260, 293, 325, 358};
  Canvas c = trough(w, h, seed);
  for (int row = 0; row < 11; ++row)
    for (int col = 0; col < 12; ++col) {
      int x = 10 + kCells[col], y = 6 + kCells[row];
      if (full) {
        c.paste(cell, x, y);
        continue;
      }
      Rect slot{float(x) + 2, float(y) + 2, 28, 28};
      c.fill(rrect_mask(slot, 5), hex(0x05081A), 0.6f);
      c.bevel(slot, 5, 2, -0.45f);
    }
  return c;
}

struct GameName {
  const char* code;
  const char* title;
  uint32_t board[2];
};

const GameName kGames[] = {{"vn", "Varnel", {0x5A3A9A, 0x2E1F5A}}, {"mk", "Mossik", {0x2A8A8A, 0x154848}},
                           {"fw", "Terrow", {0x2F6FC8, 0x173A70}}, {"tr", "Terrow", {0x2F6FC8, 0x173A70}},
                           {"kp", "Kelpa", {0x2F9950, 0x15502A}},  {"dm", "Dunmar", {0xA84A30, 0x5A2418}}};

const GameName* game_of(const std::string& key) {
  for (const GameName& g : kGames)
    if (key.find(g.code) != std::string::npos) return &g;
  return nullptr;
}

}  // namespace

Image mavrel_logo(const std::string& name) {
  std::string key = lower(name);
  if (key == "logonolt.pix") return logo_logonolt().image();
  if (key == "brondel.pix") return logo_brondel().image();
  return logo_zuvo().image();
}

Image mavrel_menu() { return menu_canvas(-1).image(); }

Image mavrel_highlight(const std::string& name) {
  for (int i = 0; i < 4; ++i)
    if (lower(name) == lower(kSpots[i].highlight))
      return menu_canvas(i).crop(kSpots[i].x, kSpots[i].y, kHighlight, kHighlight).image();
  return Canvas(kHighlight, kHighlight).image();
}

Image asset(const std::string& pack, const std::string& name, int width, int height, const std::string& lang) {
  if (width > kMaxSide || height > kMaxSide) return Image{};
  Lang l = language(lang);
  std::string p = lower(pack), n = lower(name), ext;
  size_t dot = n.find_last_of('.');
  if (dot != std::string::npos && dot > 0) {
    ext = n.substr(dot);
    n = n.substr(0, dot);
  }
  uint32_t seed = hash_text(p + "/" + n);
  auto size = [&](int dw, int dh) {
    if (width <= 0) width = dw;
    if (height <= 0) height = dh;
  };

  if (std::string words; help_title(p, n, lang, words) || help_button(p, n, lang, words)) {
    bool title = help_title(p, n, lang, words);
    size(title ? 640 : 92, title ? 480 : 40);
    if (!title) return button(width, height, words, seed).image();
    Canvas c = background(width, height, words, seed);
    // A credits clip names who made the games under its title.
    if (std::vector<std::string> lines; credit_lines(p, n, lines)) {
      int px = std::max(10, height / 14);
      float y = float(height) * 0.42f;
      for (const std::string& line : lines) {
        draw_text(c, line, Face::SansBold, fit_text(line, Face::SansBold, px, float(width) * 0.9f), float(width) * 0.5f, y,
                  white_text());
        y += float(px) * 1.5f;
      }
    }
    return c.image();
  }
  // Movies and their first frames: the game's title over a night sky.
  if (ext == ".dat" || ext == ".flc" || ext == ".fli" || ext == ".tmz" || ext == ".mzi") {
    size(320, 240);
    const GameName* game = game_of(n);
    return background(width, height, game ? game->title : label_of(name, l), seed, game ? game->board : nullptr).image();
  }
  // The results screens' frame of the game's picture: the game's board under its name.
  if (p.rfind("win", 0) == 0 && n.find("sav") != std::string::npos) {
    if (const GameName* game = game_of(n.substr(0, 2))) {
      size(160, 120);
      return background(width, height, game->title, seed, game->board).image();
    }
  }
  if (Image i = options_asset(p, n, width, height, lang); i.width > 0) return i;
  if (p == "sure") {
    const char* q = nullptr;
    if (n == "quit") q = say(l, "Are you sure to exit?", "Wirklich beenden?", "Voulez-vous vraiment quitter ?", "Biztosan kilépsz?");
    if (n == "reset") q = say(l, "Start this level again?", "Diese Stufe neu beginnen?", "Recommencer ce niveau ?", "Újrakezded ezt a szintet?");
    if (n == "solu") q = say(l, "Show the solution?", "Die Lösung zeigen?", "Afficher la solution ?", "Megmutassam a megoldást?");
    if (n == "opponent") q = say(l, "Play against an opponent?", "Gegen einen Gegner spielen?", "Jouer contre un adversaire ?", "Ellenfél ellen játszol?");
    if (q != nullptr) {
      size(320, 160);
      return dialog(width, height, q, seed).image();
    }
  }
  if (p == "spdlev") {
    // The choice panels carry their question at the top; the buttons under it their words.
    const char* q = nullptr;
    if (n == "speed") q = say(l, "Choose the speed", "Tempo wählen", "Choisissez la vitesse", "Válassz sebességet");
    if (n == "level4" || n == "level5")
      q = say(l, "Choose a level group", "Stufengruppe wählen", "Choisissez un groupe", "Válassz szintcsoportot");
    if (q != nullptr) {
      size(400, 300);
      Canvas c = dialog(width, height, "", seed);
      int px = fit_text(q, Face::SansBold, 22, float(width) - 40);
      draw_text(c, q, Face::SansBold, px, float(width) * 0.5f, 34, gold_text());
      return c.image();
    }
    std::string label;
    if (n.size() == 4 && n.rfind("spd", 0) == 0 && is_digit(n[3])) label = n.substr(3);
    if (n.size() == 4 && n.rfind("grp", 0) == 0 && is_digit(n[3]))
      label = std::string(say(l, "Group ", "Gruppe ", "Groupe ", "Csoport ")) + n.substr(3);
    if (n == "easy") label = say(l, "Easy", "Leicht", "Facile", "Könnyű");
    if (n == "standard") label = say(l, "Standard", "Normal", "Standard", "Normál");
    if (n == "hard") label = say(l, "Hard", "Schwer", "Difficile", "Nehéz");
    if (n == "xhard") label = say(l, "Extra Hard", "Sehr schwer", "Très difficile", "Nagyon nehéz");
    if (!label.empty()) {
      size(80, 40);
      return button(width, height, label, seed).image();
    }
  }
  if (p == "browser" && n == "brwback") {
    // The browser's panel: recessed beds under the path line, the folder list and the name line,
    // where the screen's own controls draw.
    size(460, 400);
    Canvas c = dialog(width, height, "", seed);
    for (Rect bed : {Rect{14, 40, 432, 26}, Rect{14, 68, 304, 270}, Rect{14, 348, 304, 32}}) {
      c.fill(rrect_mask(bed, 5), hex(0x05081A), 0.85f);
      c.bevel(bed, 5, 2, -0.5f);
    }
    return c.image();
  }
  if (p == "browser" && n == "brw_secr") {
    // The marking button: a closed padlock.
    size(64, 64);
    Canvas c = tile(width, height, "", seed, false);
    float w = float(width), h = float(height);
    c.fill(rrect_mask({w * 0.28f, h * 0.46f, w * 0.44f, h * 0.34f}, 4), hex(0xE0B040));
    c.fill(rrect_mask({w * 0.36f, h * 0.2f, w * 0.28f, h * 0.3f}, w * 0.14f), hex(0xE0B040));
    c.fill(rrect_mask({w * 0.42f, h * 0.27f, w * 0.16f, h * 0.22f}, w * 0.08f), hex(0x202840));
    c.fill(rrect_mask({w * 0.47f, h * 0.56f, w * 0.06f, h * 0.14f}, 2), hex(0x402808));
    return c.image();
  }
  if (p == "name" && (n == "kekmezo" || n == "name")) {
    // The name panel asks its question over a recessed line; the list panel is a plain bed.
    if (n == "name") {
      size(183, 240);
      return trough(width, height, seed).image();
    }
    size(183, 120);
    Canvas c = dialog(width, height, "", seed);
    const char* q = say(l, "Your name?", "Dein Name?", "Votre nom ?", "A neved?");
    draw_text(c, q, Face::SansBold, fit_text(q, Face::SansBold, 20, float(width) - 24), float(width) * 0.5f, 32, gold_text());
    Rect line{10, 62, float(width) - 20, 34};
    c.fill(rrect_mask(line, 5), hex(0x05081A), 0.8f);
    c.bevel(line, 5, 2, -0.5f);
    return c.image();
  }
  if (n == "besttimes") {
    size(320, 260);
    Canvas c = dialog(width, height, "", seed);
    const char* t = say(l, "Best Times", "Bestzeiten", "Meilleurs temps", "Legjobb idők");
    draw_text(c, t, Face::SansBold, fit_text(t, Face::SansBold, 22, float(width) - 40), float(width) * 0.5f, 28, gold_text());
    return c.image();
  }
  if (p == "chat" && n == "message") {
    size(400, 200);
    Canvas c = dialog(width, height, "", seed);
    const char* t = say(l, "Message", "Nachricht", "Message", "Üzenet");
    draw_text(c, t, Face::SansBold, fit_text(t, Face::SansBold, 22, float(width) - 40), float(width) * 0.5f, 34, gold_text());
    return c.image();
  }
  if (n == "choice") {
    size(360, 300);
    return dialog(width, height, "", seed).image();
  }
  if (n == "resbar") {
    size(600, 60);
    return trough(width, height, seed).image();
  }
  if (p == "mnubgr") {
    if (n == "+ures" || n == "+u") {
      size(410, 376);
      return bar_bed(width, height, seed, n == "+u", tile(32, 32, "", hash_text("mnubgr/+tile"), true)).image();
    }
    if (n == "load") {
      size(640, 48);
      return banner(width, height, say(l, "Get ready", "Mach dich bereit", "Préparez-vous", "Készülj"), hex(0x3FA8E0), seed).image();
    }
    if (n == "loading") {
      size(640, 40);
      Canvas c = trough(width, height, seed);
      std::string text = say(l, "Loading...", "Wird geladen...", "Chargement...", "Betöltés...");
      int px = fit_text(text, Face::SansBold, std::clamp(height / 3, 8, 16), float(width) - 16);
      draw_text(c, text, Face::SansBold, px, float(width) * 0.5f, float(height) * 0.5f, white_text());
      return c.image();
    }
    size(32, 32);
    if (width <= 48 && height <= 48) return tile(width, height, "", seed, true).image();
  }
  if (p == "msgok" || p == "msgyn" || p == "msgync") {
    // The answers carry their words; the panel behind the text is plain.
    if (const Word* w = find_word(n)) {
      size(80, 32);
      return button(width, height, w->text[l], hash_text(n)).image();
    }
    size(360, 180);
    return dialog(width, height, "", seed).image();
  }
  static const char* const kTitles[] = {"youlose", "gameover", "winagain", "puzcomp", "welldone",
                                        "allsolved", "solvedyet", "replayend", "draw"};
  if (std::find(std::begin(kTitles), std::end(kTitles), n) != std::end(kTitles)) {
    size(400, 200);
    const char* text = n == "youlose"    ? say(l, "You lose", "Verloren", "Perdu", "Vesztettél")
                       : n == "gameover" ? say(l, "Game over", "Spiel vorbei", "Partie terminée", "Vége a játéknak")
                       : n == "winagain" ? say(l, "You win again!", "Wieder gewonnen!", "Encore gagné !", "Megint nyertél!")
                       : n == "welldone" ? say(l, "Well done!", "Gut gemacht!", "Bravo !", "Ügyes!")
                       : n == "allsolved" ? say(l, "Every level solved!", "Alle Stufen gelöst!", "Tous les niveaux résolus !", "Minden szint kész!")
                       : n == "solvedyet" ? say(l, "Solved again", "Wieder gelöst", "Résolu à nouveau", "Újra megoldva")
                       : n == "replayend" ? say(l, "End of the replay", "Ende der Wiederholung", "Fin du replay", "A visszajátszás vége")
                       : n == "draw"      ? say(l, "Draw", "Unentschieden", "Match nul", "Döntetlen")
                                          : say(l, "Puzzle complete!", "Rätsel gelöst!", "Énigme résolue !", "Rejtvény kész!");
    Rgb glow = n == "youlose" || n == "gameover" ? hex(0xE0503C) : hex(0x5FD47E);
    return banner(width, height, text, glow, seed).image();
  }
  if (Image page; game_page(p, n, width, height, page)) return page;
  // Game screens: a pack "m<game>" holds the game's menu background.
  const GameName* game = p.size() == 3 && p[0] == 'm' ? game_of(p.substr(1)) : nullptr;
  if (game && (width == 0 || width >= 320) && (height == 0 || height >= 200) && n.rfind("extra", 0) != 0) {
    size(640, 480);
    return background(width, height, game->title, seed, game->board).image();
  }

  // Everything else by its size and name.
  std::string label = label_of(name, l);
  bool is_button = find_word(n) != nullptr || n.rfind("btn", 0) == 0 || n.rfind("bt", 0) == 0;
  if (width <= 0 && height <= 0) {
    if (is_button)
      size(100, 36);
    else
      size(240, 140);
  }
  size(width > 0 ? width : std::min(height * 3, kMaxSide), height > 0 ? height : std::max(width / 3, 8));
  if (width >= 400 && height >= 300) return background(width, height, label, seed).image();
  if (width <= 64 && height <= 64 && std::abs(width - height) <= width / 4) return tile(width, height, label, seed, false).image();
  // A worded button looks the same on every screen ("Yes" is always one colour).
  if (height <= 64 && width >= height) return button(width, height, label, find_word(n) ? hash_text(n) : seed).image();
  return dialog(width, height, label, seed).image();
}

}  // namespace datagen::art
