#include "text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#ifdef DATAGEN_ART_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace datagen::art {
namespace {

std::u32string decode_utf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || (extra > 0 && i + size_t(extra) >= s.size())) {
      out.push_back(U'?');
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

#ifdef DATAGEN_ART_FREETYPE
const char* face_file(Face f) {
  switch (f) {
    case Face::Sans: return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    case Face::SansBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    case Face::Serif: return "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
    case Face::SerifBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
    case Face::MonoBold: return "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
  }
  return "";
}

// The faces a thread has opened, kept for the thread's life: opening a face is the slow part.
struct Faces {
  FT_Library lib = nullptr;
  std::map<Face, FT_Face> open;
  Faces() {
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
  }
  ~Faces() {
    for (auto& f : open)
      if (f.second != nullptr) FT_Done_Face(f.second);
    if (lib != nullptr) FT_Done_FreeType(lib);
  }
  FT_Face get(Face f, int px) {
    if (lib == nullptr) return nullptr;
    auto it = open.find(f);
    if (it == open.end()) {
      FT_Face face = nullptr;
      // A picture whose labels quietly went missing would pass for a finished one.
      if (FT_New_Face(lib, face_file(f), 0, &face) != 0)
        throw std::runtime_error(std::string("picture recipes: cannot open the face ") + face_file(f) +
                                 " (scripts/deps.sh installs it)");
      it = open.emplace(f, face).first;
    }
    if (it->second == nullptr || FT_Set_Pixel_Sizes(it->second, 0, FT_UInt(px)) != 0) return nullptr;
    return it->second;
  }
};

Faces& faces() {
  thread_local Faces f;
  return f;
}
#endif

}  // namespace

Mask text_mask(const std::string& utf8, Face face, int px) {
  Mask m;
#ifdef DATAGEN_ART_FREETYPE
  FT_Face f = faces().get(face, std::max(px, 1));
  if (f == nullptr) return m;
  std::u32string text = decode_utf8(utf8);
  int ascent = int(f->size->metrics.ascender >> 6), descent = int(-(f->size->metrics.descender >> 6));
  // First pass: the advance; second pass: the coverage.
  long pen = 0;
  int left = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (FT_Load_Char(f, text[i], FT_LOAD_DEFAULT) != 0) continue;
    if (i == 0) left = std::min(0, int(f->glyph->metrics.horiBearingX >> 6));
    pen += f->glyph->advance.x;
  }
  m.w = int((pen + 63) >> 6) - left + 2;
  m.h = ascent + descent;
  if (m.w <= 0 || m.h <= 0) return Mask{};
  m.a.assign(size_t(m.w) * size_t(m.h), 0.0f);
  pen = 0;
  for (char32_t cp : text) {
    if (FT_Load_Char(f, cp, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = f->glyph;
    const FT_Bitmap& bm = g->bitmap;
    int gx = int(pen >> 6) - left + g->bitmap_left, gy = ascent - g->bitmap_top;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
      for (unsigned r = 0; r < bm.rows; ++r)
        for (unsigned c = 0; c < bm.width; ++c) {
          int x = gx + int(c), y = gy + int(r);
          if (x < 0 || y < 0 || x >= m.w || y >= m.h) continue;
          float v = float(bm.buffer[long(r) * bm.pitch + long(c)]) / 255.0f;
          float& dst = m.a[size_t(y) * size_t(m.w) + size_t(x)];
          dst = std::min(1.0f, dst + v);
        }
    pen += g->advance.x;
  }
#else
  (void)utf8;
  (void)face;
  (void)px;
#endif
  return m;
}

int fit_text(const std::string& utf8, Face face, int px, float max_width) {
  for (; px > 6; --px)
    if (float(text_mask(utf8, face, px).w) <= max_width) break;
  return px;
}

Mask draw_text(Canvas& c, const std::string& utf8, Face face, int px, float cx, float cy, const TextLook& look) {
  Mask m = text_mask(utf8, face, px);
  m.ox = int(std::lround(cx - float(m.w) * 0.5f));
  m.oy = int(std::lround(cy - float(m.h) * 0.5f));
  if (m.w == 0) return m;
  if (look.glow.r + look.glow.g + look.glow.b > 0) c.add(blur(m, look.glow_blur), look.glow);
  if (look.shadow > 0) c.shadow(m, look.shadow_dx, look.shadow_dy, look.shadow_blur, look.shadow);
  float y0 = float(m.oy), hh = float(std::max(m.h, 1));
  c.fill(m, [&](int, int y) { return mix(look.top, look.bottom, clamp01((float(y) + 0.5f - y0) / hh)); });
  return m;
}

}  // namespace datagen::art
