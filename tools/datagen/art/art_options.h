// Pictures of the options screens (pack "options"), the colour choice (pack "choose") and the chat
// message's reply button.
#pragma once
#include <string>

#include "art.h"

namespace datagen::art {

// The picture `name` (lower case, no extension) of `pack`, or an empty image (width 0) for a
// picture these recipes do not draw.
Image options_asset(const std::string& pack, const std::string& name, int width, int height,
                    const std::string& lang);

}  // namespace datagen::art
