// The pages of the game screens: the panels behind a kind's level buttons, their highlighted look
// and the solved look the screens copy over a solved level's button.
#pragma once
#include <string>

#include "art.h"

namespace datagen::art {

// A page picture of pack "m<game>": "<page>", "<page>f" (highlighted), "<page>s" and "<page>sf"
// (solved). False for any other name.
bool game_page(const std::string& pack, const std::string& name, int width, int height, Image& out);

}  // namespace datagen::art
