// Settings internals shared with the fuzz target.
#ifndef PANNIX_INI_H
#define PANNIX_INI_H

#include <stdio.h>

#include "pannix/pxini.h"

namespace px {

// Reads settings lines from an open stream into the table (LoadIni without the file).
void ini_load_stream(FILE *f, INIENTRY *table, int32_t count);

}  // namespace px

#endif
