// Kelpa's generated files, also for the tests that read them back.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "brondel/brmodel.h"
#include "fontmaker/fontmaker.h"

namespace datagen {

// "Kockaa.mod" (the shell: twelve bars along the edges of a 0.1 cube) and "Kockab.mod" (the core),
// allocated with the 3D library running; the caller frees them.
std::vector<std::pair<std::string, br_model *>> kelpa_models();
// "kpsounds.pck": sounds 0 to 10.
std::vector<uint8_t> kelpa_sound_pack();
// The three fonts of "Data/kp.fnp": the clock, the level title, the plain texts.
std::vector<fontmaker::Style> kelpa_font_styles();

}  // namespace datagen
