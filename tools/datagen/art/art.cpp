// Placeholder recipes: a gradient in a colour made from the name.
#include "art.h"

namespace datagen::art {
namespace {

uint32_t name_colour(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return 0xFF000000u | (h & 0x00FFFFFFu);
}

Image gradient(int w, int h, uint32_t c) {
  Image im{w, h, std::vector<uint32_t>(size_t(w) * size_t(h))};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t k = 128 + 127 * uint32_t(y) / uint32_t(h > 1 ? h - 1 : 1);
      uint32_t r = ((c >> 16) & 255) * k / 255, g = ((c >> 8) & 255) * k / 255, b = (c & 255) * k / 255;
      im.argb[size_t(y) * size_t(w) + size_t(x)] = 0xFF000000u | r << 16 | g << 8 | b;
    }
  return im;
}

}  // namespace

Image mavrel_logo(const std::string& name) { return gradient(640, 480, name_colour(name)); }
Image mavrel_menu() { return gradient(640, 480, name_colour("alap.pix")); }
Image mavrel_highlight(const std::string& name) { return gradient(128, 128, name_colour(name)); }
Image asset(const std::string& pack, const std::string& name, int width, int height,
            const std::string& lang) {
  return gradient(width > 0 ? width : 64, height > 0 ? height : 32, name_colour(lang + pack + name));
}

}  // namespace datagen::art
