// The picture recipes: same bytes every time, the menu's highlights fit the menu around their
// hot areas, and labels really are drawn.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "art.h"
#include "vokplat/png.h"

using datagen::art::Image;

namespace {

// DATAGEN_ART_PNG=<folder> leaves every picture a test makes there, to look at.
void keep(const Image& im, const std::string& name) {
  const char* dir = std::getenv("DATAGEN_ART_PNG");
  if (dir == nullptr || im.width <= 0) return;
  std::vector<unsigned char> rgb(im.argb.size() * 3);
  for (size_t i = 0; i < im.argb.size(); ++i) {
    rgb[3 * i] = (unsigned char)(im.argb[i] >> 16);
    rgb[3 * i + 1] = (unsigned char)(im.argb[i] >> 8);
    rgb[3 * i + 2] = (unsigned char)im.argb[i];
  }
  PlatWritePngRgb((std::string(dir) + "/" + name + ".png").c_str(), im.width, im.height, rgb.data());
}

uint32_t px(const Image& im, int x, int y) { return im.argb[size_t(y) * size_t(im.width) + size_t(x)]; }

}  // namespace

TEST(ArtMenu, Preview) {
  auto t0 = std::chrono::steady_clock::now();
  keep(datagen::art::mavrel_menu(), "alap");
  for (const char* n : {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"}) keep(datagen::art::mavrel_highlight(n), n);
  for (const char* n : {"zuvo.pix", "logonolt.pix", "brondel.pix"}) keep(datagen::art::mavrel_logo(n), n);
  keep(datagen::art::asset("sure", "quit", 320, 160, "US"), "sure_quit");
  keep(datagen::art::asset("sure", "yes", 0, 0, "GE"), "sure_yes");
  keep(datagen::art::asset("mnubgr", "tile", 32, 32, "US"), "mnubgr_tile");
  keep(datagen::art::asset("mnubgr", "+ures", 0, 0, "US"), "mnubgr_ures");
  keep(datagen::art::asset("mnubgr", "loading", 640, 48, "FR"), "mnubgr_loading");
  keep(datagen::art::asset("mnubgr", "load", 0, 0, "US"), "mnubgr_load");
  keep(datagen::art::asset("results", "puzcomp", 0, 0, "HU"), "puzcomp");
  keep(datagen::art::asset("mKp", "menu", 0, 0, "US"), "mKp_menu");
  keep(datagen::art::asset("options", "soundVolume", 200, 40, "US"), "options_sound");
  keep(datagen::art::asset("msgyn", "panel", 0, 0, "US"), "msgyn");
  printf("%.0f ms\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
}
