// A static library that several test modules carry: its global must exist once per module.
#include "vokplat/export.h"

namespace {
int g_count = 0;
}

// Marked for export on purpose: linking a static library into a module must still keep it private.
VOK_EXPORT int PlatTestCounterBump(void) { return ++g_count; }
