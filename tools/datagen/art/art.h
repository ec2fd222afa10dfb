// Procedural pictures for the generated data tree. Every picture is a pure function of its
// arguments, so generating twice gives the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace datagen::art {

// 0xAARRGGBB, rows top first. The writers convert to the stored pixel type a consumer needs.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};

// Each function below throws std::runtime_error when the 3D library is already running in the
// caller (the recipes begin and end it themselves) or a font face is missing: a picture without its
// cubes or labels must not pass unnoticed.
// Mavrel's start-up logos "zuvo.pix", "logonolt.pix", "brondel.pix": 640x480.
Image mavrel_logo(const std::string& name);
// Mavrel's main menu "alap.pix": 640x480, the four hot areas drawn where the menu expects them.
Image mavrel_menu();
// The 128x128 highlights "fwA.pix", "kpA.pix", "exA.pix", "plA.pix".
Image mavrel_highlight(const std::string& name);
// Any picture a screen description names: pack and name as the manifest gives them, the size it
// asks for (0 or less: the recipe decides), lang the language folder ("US", "UK", "GE", "FR", "HU";
// any other is English). A side above 4096 gives an empty image (width 0): nothing to write.
Image asset(const std::string& pack, const std::string& name, int width, int height,
            const std::string& lang);

}  // namespace datagen::art
