// The text description of a Fenlow field that trfield reads and writes: one item a line, '#' starts
// a comment.
//   balls N                    balls needed
//   camera P Y D H             pitch, yaw, distance, height
//   layout B S                 ball layout, start layout
//   camsaved N | levelflags N | pan F | lastword N
//   floor N                    N x N plain blocks on the floor, as a new field has
//   elem X Y Z DIR TYPE [VARIANT [FLAGS]]    a level part (flags: class | 0x04 unless given)
//   piece X Y Z DIR TYPE [VARIANT [FLAGS]]   a supplied piece (flags: class unless given)
// TYPE is a number, an identifier (TY_T_SIMA) or a name (iron plastic bomb rubber slope corner block
// magnet nailed goal start); numbers may be written in hex (0x...).
#pragma once

#include <string>

#include "terrow/trfield.h"

namespace trtext {

// A field from a description; NULL with `error` set ("line 3: ...") when a line cannot be read.
TrPalya *parse(const std::string &text, std::string &error);
// The description of a field; with `position` only its element lines (a saved position).
std::string format(const TrPalya *field, bool position);

}  // namespace trtext
