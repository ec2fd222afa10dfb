// Text for the pictures: lines rasterised from the DejaVu faces with FreeType (the faces the
// project's own fonts are made from) into coverage masks.
#pragma once
#include <string>

#include "canvas.h"

namespace datagen::art {

enum class Face { Sans, SansBold, Serif, SerifBold, MonoBold };

// One line of UTF-8 text at `px` pixels per em: a mask whose box is the line's advance wide and
// its ascent plus descent high, top-left at (0, 0). Empty when built without FreeType; throws
// std::runtime_error when built with it and a face file cannot be opened.
Mask text_mask(const std::string& utf8, Face face, int px);
// The largest size up to `px` (down to 6) at which the line fits `max_width`.
int fit_text(const std::string& utf8, Face face, int px, float max_width);

struct TextLook {
  Rgb top{1, 1, 1}, bottom{1, 1, 1};  // vertical gradient over the line box
  float shadow = 0.6f;                // opacity of the soft drop shadow, 0 for none
  int shadow_blur = 2, shadow_dx = 1, shadow_dy = 2;
  Rgb glow{};                         // light added round the letters (black: none)
  int glow_blur = 4;
};

// Draws a line centred on (cx, cy); returns the mask as placed.
Mask draw_text(Canvas& c, const std::string& utf8, Face face, int px, float cx, float cy, const TextLook& look);

}  // namespace datagen::art
