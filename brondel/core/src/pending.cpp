// Placeholders for the areas the framework begin and end reach into that are not built yet:
// tokens, configuration, files, images, the host, pixel maps and devices. Each answers as the empty
// area would (nothing registered, nothing opened), so the foundation runs on its own. An area that
// lands replaces its placeholder here with the real call.
#include "fwstate.h"

