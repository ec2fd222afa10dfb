// What the rest of Pannix needs from the blitters beyond the exported entries.
#ifndef PANNIX_BLIT_API_H
#define PANNIX_BLIT_API_H

#include "blit_core.h"

struct br_pixelmap;

namespace pxblit {

// The blitters' view of a pixel map.
PxMap view(const br_pixelmap* map);

// The blend table of the translucent copies (256 rows of 256 bytes); PxSetTables sets it. The
// map is read at each call, so it must live while it is set.
void set_blend_table(const br_pixelmap* table);

// Where the portable blitters report a call they refuse (a source whose pixel size differs from the
// destination's): once per call, with a one-line text. Pannix points it at the last-error text.
using RefusalReport = void (*)(const char* text);
void set_refusal_report(RefusalReport report);

}  // namespace pxblit

#endif
