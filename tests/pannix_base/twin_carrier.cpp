// A second carrier of the 3D library for the instance tests: begins and ends its own instance on
// request and says whether its instance is begun.
#include "brondel/brcore.h"
#if __has_include("brondel/brv1db.h")
#include "brondel/brv1db.h"
#define TWIN_DATABASE 1
#endif
#include "vokplat/export.h"

VOK_EXPORT int TwinBegin(void)
{
#ifdef TWIN_DATABASE
    return int(BrBegin());
#else
    return int(BrCoreBegin());
#endif
}

VOK_EXPORT int TwinEnd(void)
{
#ifdef TWIN_DATABASE
    return int(BrEnd());
#else
    return int(BrCoreEnd());
#endif
}
