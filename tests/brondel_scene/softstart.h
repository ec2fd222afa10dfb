// Starts the compiled-in stand-in renderer as the database's renderer, for the tests that draw
// real pixels.
#ifndef BRONDEL_SCENE_SOFTSTART_H
#define BRONDEL_SCENE_SOFTSTART_H

#include <brondel/brcore.h>
#include <brondel/brpixmap.h>
#include <softrend.h>

#include "db/dbstate.h"

namespace scenetest {

inline bool softrend_start(br_pixelmap *destination)
{
    SoftrendImagesAdd();
    br_renderer_facility *rf = nullptr;
    if (BrRendererFacilityFind(&rf, nullptr, BRT_FLOAT) != BRE_OK)
        return false;
    br_token_value tv[2] = {};
    tv[0].t = BRT_DESTINATION_O;
    tv[0].v.o = (br_object *)destination;
    br_renderer *r = nullptr;
    if (rf->dispatch->_rendererNew(rf, &r, tv) != BRE_OK)
        return false;
    br_geometry *model = nullptr, *buckets = nullptr;
    if (BrGeometryFormatFind(&model, r, rf, BRT_FLOAT, BRT_GEOMETRY_V1_MODEL) != BRE_OK)
        return false;
    BrGeometryFormatFind(&buckets, r, rf, BRT_FLOAT, BRT_GEOMETRY_V1_BUCKETS);
    v1db.renderer = r;
    v1db.format_model = model;
    v1db.format_buckets = buckets;
    v1db.zb_active = 1;
    return true;
}

inline void softrend_stop()
{
    if (v1db.renderer != nullptr)
        ((br_object *)v1db.renderer)->dispatch->_free((br_object *)v1db.renderer);
    v1db.renderer = nullptr;
    v1db.format_model = nullptr;
    v1db.format_buckets = nullptr;
    v1db.zb_active = 0;
}

} // namespace scenetest

#endif
