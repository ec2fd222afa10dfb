// Pack internals shared with the pixel-map loader and the fuzz target.
#ifndef PANNIX_PACK_H
#define PANNIX_PACK_H

#include <stddef.h>
#include <stdint.h>

#include "pannix/ffpack.h"

namespace px {

// Reads the header and directory of a pack of `size` bytes at `base` into `pack` (base, header,
// count, size and a directory of its own). Every offset and length is checked against `size`; a
// damaged pack sets the last-error text (with `shown` as its name) and gives false.
bool pack_attach(FFPACKHANDLE *pack, const uint8_t *base, uint64_t size, const char *shown);

// Binary search of the sorted directory, case-insensitive; null when missing.
const FFPACKENTRY *pack_find(const FFPACKHANDLE *pack, const char *name);

// The file name and extension of a name with a drive or a leading separator; others unchanged.
const char *pack_key(const char *name);

}  // namespace px

#endif
