// Pictures of the options screens (pack "options").
#pragma once
#include <string>

#include "art.h"

namespace datagen::art {

// The picture `name` (lower case, no extension) of the options pack, or an empty image (width 0)
// for a name this recipe does not draw.
Image options_asset(const std::string& name, int width, int height, const std::string& lang);

}  // namespace datagen::art
