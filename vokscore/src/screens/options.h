// The options screens: the general one and one per game, editing working copies of the settings.
#pragma once

#include "win32/windows.h"

namespace vok {

// Keys of an options screen (screen ids 44 and 45); the common key handler hands them over.
void options_key(UINT message, WPARAM key);
// An options screen runs inside the other one.
bool options_nested();

}  // namespace vok
