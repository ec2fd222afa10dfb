// Terrow's own fields: the five lists of puzzles ("#C" the course, then E, S, H, X), each stored with
// its solution (the supplied pieces stand where they solve it), and the fwfields.txt that names them.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace datagen::terrow {

struct FieldFile {
    int list = 0;       // 0 C, 1 E, 2 S, 3 H, 4 X
    std::string name;   // as fwfields.txt lists it
    std::string file;   // under fw/Fields/: the list's prefix and the name's first two characters
    std::vector<uint8_t> bytes;  // the .trl
};

// `prefixes` gives the file prefix of each list.
std::vector<FieldFile> fields(const char *const prefixes[5]);
// The lines of fwfields.txt for these fields.
std::string fields_text(const std::vector<FieldFile> &fields);

}  // namespace datagen::terrow
