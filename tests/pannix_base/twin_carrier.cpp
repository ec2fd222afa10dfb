// A second carrier of the 3D library for the instance tests: begins and ends its own instance on
// request and says whether its instance is begun.
#include "brondel/brcore.h"
#include "brondel/brimage.h"
#include "brondel/brpixmap.h"
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

// 1 when the renderer this module links is on its own instance's image list and a z-buffer begin
// starts it; 0 when the module carries no renderer.
VOK_EXPORT int TwinRendererStarts(void)
{
#ifdef TWIN_HAS_RENDERER
    if (BrImageFind("softrend") == nullptr)
        return -1;
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    const bool started = BrV1dbRendererQuery() != nullptr;
    BrZbEnd();
    return started ? 1 : -2;
#else
    return 0;
#endif
}
