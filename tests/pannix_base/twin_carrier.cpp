// A second carrier of the 3D library for the instance tests: begins and ends its own instance on
// request and says whether its instance is begun.
#include "brondel/brcore.h"
#include "brondel/brv1db.h"
#include "vokplat/export.h"

VOK_EXPORT int TwinBegin(void)
{
    return int(BrBegin());
}

VOK_EXPORT int TwinEnd(void)
{
    return int(BrEnd());
}
