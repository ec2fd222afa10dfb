// Game screen pages: a dark bevelled glass panel; the highlighted look is lighter and the solved look
// green, all four from the same base so a rectangle copied from one fits the others.
#include "art_game.h"

#include "canvas.h"

namespace datagen::art {

namespace {

const char* const kPages[] = {"kpfam", "kpgrid", "kpchal", "kpedit", "kprepl", "fwlist", "fwedit", "vnpage", "mkfam", "mkgrid", "mkpage", "dmpage", "fwgrp", "fwglist", "stmenu", "stlevels", "stlist", "stvnlist", "stclear"};

}  // namespace

bool game_page(const std::string& pack, const std::string& name, int width, int height, Image& out) {
  if (pack.size() != 3 || pack[0] != 'm') return false;
  std::string base = name;
  bool solved = false, lit = false;
  const std::string* page = nullptr;
  for (const char* p : kPages)
    if (name.rfind(p, 0) == 0) {
      std::string rest = name.substr(std::string(p).size());
      if (rest != "" && rest != "f" && rest != "s" && rest != "sf") continue;
      solved = rest.find('s') != std::string::npos;
      lit = rest.find('f') != std::string::npos;
      base = p;
      page = &base;
    }
  if (!page) return false;
  int w = width > 0 ? width : 380, h = height > 0 ? height : 330;
  Canvas c(w, h);
  Rgb top = solved ? hex(0x1E5A34) : hex(0x1A2850), bottom = solved ? hex(0x0C2E18) : hex(0x0A1028);
  if (lit) {
    top = mix(top, hex(0x6A8AD0), 0.45f);
    bottom = mix(bottom, hex(0x3A5AA0), 0.45f);
  }
  c.vertical_gradient(top, bottom);
  c.bevel({0, 0, float(w), float(h)}, 8, 3, 0.5f);
  out = c.image();
  return true;
}

}  // namespace datagen::art
