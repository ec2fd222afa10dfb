// Kelpa's pictures: the cube and board textures, the backdrops, the turn arrows, the editor headers
// and the animated buttons in each language. Pure functions of their arguments, like every recipe.
#pragma once
#include <string>
#include <vector>

#include "art.h"

namespace datagen::art {

// The 40 texture names of the texture pack ("red.bmp" ... "tablav1.bmp"), in a fixed order.
const std::vector<std::string>& kelpa_texture_names();
// One 64x64 texture: cube cores (plain and "v"), cube frames ("1", "v1"), the rainbow "Mix", the
// dark stone of the fixed cube ("black"), glass ("atlat") and the board's slate and exit tiles.
Image kelpa_texture(const std::string& name);

// "hatter.pix", "hatterb.pix", "hatters.pix" (640x480), "hattern.pix" (960x480), "nyil1.pix" and
// "nyil2.pix" (64x64 arrows with alpha), "kpfej1.pix" and "kpfej2.pix" (the editor's headers, alpha).
// An empty image for another name.
Image kelpa_picture(const std::string& name);

// The buttons: folder names in the order the game creates them, their frame counts and sizes.
struct KelpaButton {
  const char* folder;
  int frames;  // 13 for push buttons, 8 for the two-state ones
  int width, height;
};
const std::vector<KelpaButton>& kelpa_buttons();
// Frame `frame` of a button in a language ("US", "UK", "GE", "FR"): pixels with alpha 0 are not
// part of the button. The mask of a frame is where its alpha is not 0.
Image kelpa_button_frame(const std::string& folder, int frame, const std::string& lang);

// A lit cube of a Kelpa colour rendered by the 3D library (the icons on the buttons and plates):
// colour index 0 red, 1 blue, 2 yellow, 3 green, 4 white, 5 orange, 6 fixed, 7 rainbow.
Image kelpa_cube_icon(int colour, int size);

}  // namespace datagen::art
