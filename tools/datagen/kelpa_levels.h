// Kelpa's kind-100 levels: their recipes, the files made from them and where they go.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "kelpa/kprules.h"

namespace datagen {

struct KelpaLevelRecipe {
    int family, number;  // class 0 Standard, 1 Curious, 2 Blocked; number from 0
    const char *rows[11];
    uint32_t seed;
    const char *keys;
};
const std::vector<KelpaLevelRecipe> &kelpa_levels();
// "kp/k100_F_N.KPP"
std::string kelpa_level_name(const KelpaLevelRecipe &r);
// The level file of a recipe: default header (no pattern), tested and saved, the board. False for a
// board text that is not 11 lines of 11 cells.
bool kelpa_level_file(const KelpaLevelRecipe &r, KpLevelFile &level);

}  // namespace datagen
