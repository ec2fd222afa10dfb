// A static library whose marked names a module passes on on purpose, beside one it keeps private.
#include "vokplat/export.h"

VOK_EXPORT int PlatTestExportedValue = 41;
VOK_EXPORT int PlatTestExportedCall(void) { return ++PlatTestExportedValue; }
VOK_EXPORT int PlatTestExportedUnlisted(void) { return 7; }
int PlatTestExportedHidden(void) { return 8; }
