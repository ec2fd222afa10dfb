// The picture recipes: same bytes every time, the menu's highlights fit the menu around their
// hot areas, and labels really are drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <string>
#include <vector>

#include "art.h"
#include <brondel/brv1db.h>
#include <stdexcept>
#include "vokplat/png.h"

using datagen::art::Image;

namespace {

// DATAGEN_ART_PNG=<folder> leaves every picture a test makes there, to look at.
void keep(const Image& im, const std::string& name) {
  static auto last = std::chrono::steady_clock::now();
  auto now = std::chrono::steady_clock::now();
  printf("%s %.0f ms\n", name.c_str(), std::chrono::duration<double, std::milli>(now - last).count());
  last = now;
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

struct Spot {
  const char* name;
  int x, y, w, h;
};
// The menu's hot areas and the highlight drawn over each.
const Spot kSpots[] = {{"fwA.pix", 355, 380, 58, 58}, {"kpA.pix", 220, 370, 82, 82},
                       {"exA.pix", 0, 0, 75, 40}, {"plA.pix", 555, 0, 85, 50}};

TEST(ArtMenu, HighlightsLightTheirAreaAndMeetTheMenuAtTheirEdges) {
  Image menu = datagen::art::mavrel_menu();
  ASSERT_EQ(menu.width, 640);
  ASSERT_EQ(menu.height, 480);
  keep(menu, "alap");
  for (const Spot& s : kSpots) {
    SCOPED_TRACE(s.name);
    Image hi = datagen::art::mavrel_highlight(s.name);
    keep(hi, s.name);
    ASSERT_EQ(hi.width, 128);
    ASSERT_EQ(hi.height, 128);
    int changed = 0;
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) changed += px(hi, x, y) != px(menu, s.x + x, s.y + y);
    EXPECT_GT(changed, s.w * s.h / 4) << "the lit area looks like the plain one";
    // Where the copied box meets the rest of the menu, it must match it.
    int right = std::min(128, 640 - s.x) - 1, bottom = std::min(128, 480 - s.y) - 1;
    int seams = 0;
    for (int k = 0; k <= std::max(right, bottom); ++k) {
      if (k <= bottom) seams += px(hi, right, k) != px(menu, s.x + right, s.y + k);
      if (k <= right) seams += px(hi, k, bottom) != px(menu, s.x + k, s.y + bottom);
      if (k <= bottom && s.x > 0) seams += px(hi, 0, k) != px(menu, s.x, s.y + k);
      if (k <= right && s.y > 0) seams += px(hi, k, 0) != px(menu, s.x + k, s.y);
    }
    EXPECT_EQ(seams, 0);
  }
}

TEST(ArtRecipes, SameBytesEveryTime) {
  using datagen::art::asset;
  const std::function<Image()> makes[] = {
      [] { return datagen::art::mavrel_logo("zuvo.pix"); },
      [] { return datagen::art::mavrel_logo("logonolt.pix"); },
      [] { return datagen::art::mavrel_logo("brondel.pix"); },
      [] { return datagen::art::mavrel_highlight("kpA.pix"); },
      [] { return asset("sure", "quit", 320, 160, "FR"); },
      [] { return asset("mnubgr", "+tile", 32, 32, "US"); },
      [] { return asset("mKp", "menu", 0, 0, "GE"); },
  };
  for (size_t i = 0; i < sizeof(makes) / sizeof(makes[0]); ++i) {
    Image a = makes[i](), b = makes[i]();
    EXPECT_GT(a.width, 0) << i;
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.argb == b.argb) << i;
  }
}

TEST(ArtRecipes, SizesAsAskedOrChosen) {
  const struct {
    const char *pack, *name;
    int w, h;
  } cases[] = {{"sure", "yes", 0, 0},     {"sure", "quit", 0, 0},      {"mnubgr", "bar", 32, 32},
               {"mnubgr", "+ures", 0, 0}, {"msgyn", "panel", 0, 120}, {"help", "hlearn", 640, 480},
               {"options", "x", 1, 1},    {"options", "thin", 3, 200}, {"winkp", "kpsav0", 160, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pack) + "/" + c.name);
    Image im = datagen::art::asset(c.pack, c.name, c.w, c.h, "US");
    EXPECT_TRUE(c.w == 0 ? im.width > 0 : im.width == c.w);
    EXPECT_TRUE(c.h == 0 ? im.height > 0 : im.height == c.h);
    ASSERT_EQ(im.argb.size(), size_t(im.width) * size_t(im.height));
    for (uint32_t p : im.argb) ASSERT_EQ(p >> 24, 0xFFu);
  }
}

// Whatever a manifest holds: the size asked for (or the recipe's), every pixel opaque, no crash; a
// side above the limit gives nothing.
TEST(ArtRecipes, HostileArgumentsGiveAPictureOrNothing) {
  const std::string long_name(300, 'w');
  const struct {
    const char* pack;
    std::string name;
    int w, h;
    const char* lang;
    int want_w, want_h;  // 0: any size the recipe picks
  } cases[] = {{"options", "x", -5, -7, "US", 0, 0},
               {"options", "", 1, 1, "", 1, 1},
               {"options", "btnOk", 1, 0, "zz", 1, 8},
               {"options", "wide", 4096, 2, "US", 4096, 2},
               {"options", "thin", 2, 4096, "US", 2, 4096},
               {"options", "tall", 0, 600, "US", 1800, 600},
               {"options", long_name, 100, 36, "FR", 100, 36},
               {"options", "\xc3\x9aj/\xc3\xa9k\\n\xc3\xa9v.pix", 40, 40, "HU", 40, 40},
               {"options", "../../x/\xff\xfe", 200, 120, "GE", 200, 120},
               {"mKp", "menu", 4096, 300, "US", 4096, 300},
               {"sure", "quit", 4097, 160, "US", -1, -1},
               {"", "kp.dat", 160, 70000, "US", -1, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pack) + "/" + c.name.substr(0, 20) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
    Image im = datagen::art::asset(c.pack, c.name, c.w, c.h, c.lang);
    if (c.want_w < 0) {
      EXPECT_EQ(im.width, 0);
      EXPECT_TRUE(im.argb.empty());
      continue;
    }
    EXPECT_TRUE(c.want_w == 0 ? im.width > 0 : im.width == c.want_w) << im.width;
    EXPECT_TRUE(c.want_h == 0 ? im.height > 0 : im.height == c.want_h) << im.height;
    ASSERT_EQ(im.argb.size(), size_t(im.width) * size_t(im.height));
    for (uint32_t p : im.argb) ASSERT_EQ(p >> 24, 0xFFu);
  }
}

// The recipes begin and end the 3D library themselves: with the caller's library running they
// refuse loudly and leave it running, rather than quietly drop their cubes or end it.
TEST(ArtRecipes, RefusesWhileTheCallerRunsThe3DLibrary) {
  Image before = datagen::art::mavrel_logo("brondel.pix");
  ASSERT_EQ(BrBegin(), BRE_OK);
  EXPECT_THROW(datagen::art::mavrel_logo("brondel.pix"), std::runtime_error);
  EXPECT_EQ(BrV1dbBegin(), BRE_ALREADY_ACTIVE) << "the caller's library was ended";
  EXPECT_EQ(BrEnd(), BRE_OK);
  EXPECT_EQ(datagen::art::mavrel_logo("brondel.pix").argb, before.argb);
}

TEST(ArtRecipes, ButtonLabelsAreDrawnInTheLanguage) {
  using datagen::art::asset;
  Image us = asset("sure", "yes", 100, 36, "US"), ge = asset("sure", "yes", 100, 36, "GE");
  Image unknown = asset("sure", "yes", 100, 36, "XX");
  keep(ge, "yes_ge");
  EXPECT_NE(us.argb, ge.argb);
  EXPECT_EQ(us.argb, unknown.argb) << "an unknown language falls back to English";
  // Letters are light on the dark button face: some near-white pixels in the middle band.
  int light = 0;
  for (int y = 10; y < 26; ++y)
    for (int x = 20; x < 80; ++x) {
      uint32_t p = px(us, x, y);
      light += ((p >> 16) & 255) > 200 && ((p >> 8) & 255) > 200 && (p & 255) > 200;
    }
  EXPECT_GT(light, 20);
}

// Run with DATAGEN_ART_PNG set to look at a wider set of pictures.
TEST(ArtRecipes, Preview) {
  if (std::getenv("DATAGEN_ART_PNG") == nullptr) GTEST_SKIP();
  auto t0 = std::chrono::steady_clock::now();
  keep(datagen::art::mavrel_menu(), "alap");
  for (const char* n : {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"}) keep(datagen::art::mavrel_highlight(n), n);
  for (const char* n : {"zuvo.pix", "logonolt.pix", "brondel.pix"}) keep(datagen::art::mavrel_logo(n), n);
  keep(datagen::art::asset("sure", "quit", 320, 160, "US"), "sure_quit");
  keep(datagen::art::asset("sure", "yes", 0, 0, "GE"), "sure_yes");
  keep(datagen::art::asset("mnubgr", "+tile", 32, 32, "US"), "mnubgr_tile");
  keep(datagen::art::asset("mnubgr", "+ures", 0, 0, "US"), "mnubgr_ures");
  keep(datagen::art::asset("mnubgr", "+u", 0, 0, "US"), "mnubgr_u");
  keep(datagen::art::asset("mnubgr", "loading", 640, 48, "FR"), "mnubgr_loading");
  keep(datagen::art::asset("mnubgr", "load", 0, 0, "US"), "mnubgr_load");
  keep(datagen::art::asset("results", "puzcomp", 0, 0, "HU"), "puzcomp");
  keep(datagen::art::asset("mKp", "menu", 0, 0, "US"), "mKp_menu");
  keep(datagen::art::asset("options", "soundVolume", 200, 40, "US"), "options_sound");
  keep(datagen::art::asset("msgyn", "panel", 0, 0, "US"), "msgyn");
  keep(datagen::art::asset("sure", "solu", 320, 160, "HU"), "sure_solu_hu");
  keep(datagen::art::asset("help", "hLearn", 640, 480, "US"), "help_hlearn");
  keep(datagen::art::asset("options", "ikSound", 48, 48, "US"), "options_icon");
  keep(datagen::art::asset("", "fw.dat", 160, 120, "US"), "fw_movie");
  printf("%.0f ms\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
}
