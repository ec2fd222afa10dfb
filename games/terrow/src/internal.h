// Entries the module's sources share beyond the public headers. The framework's message box is kept
// in a file of its own, so that programs without the framework (the fuzz targets) can put their own
// in its place.
#pragma once

#include <stdio.h>

namespace tr {

int framework_box(const char *text, unsigned type);
// Reads a dictionary from an open stream into the message table.
void read_dictionary(FILE *stream);

}  // namespace tr
