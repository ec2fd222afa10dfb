// Model, actor and material files in either form, read by all three loaders; loaded models are also
// prepared and picked. The datafile stack must come back to where it was.
#include <stdlib.h>

#include <brondel/brpick.h>

#include "memfs.h"
#include "scene_seeds.h"

namespace {

int on_face(br_model *, br_material *, br_vector3 *, br_vector3 *, br_scalar, int, int, int, br_vector3 *,
            br_vector2 *, void *)
{
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool begun = [] {
        __lsan_disable();
        BrV1dbBegin();
        fuzz::scene_names_register();
        __lsan_enable();
        return true;
    }();
    (void)begun;
    fuzz::serve(data, size);
    int depth = DfTopType();

    br_model *models[4];
    br_uint_32 n = BrModelLoadMany("input.mod", models, 4);
    for (br_uint_32 i = 0; i < n; i++) {
        br_model *m = models[i];
        m->flags |= BR_MODF_UPDATEABLE;
        BrModelAdd(m);
        br_vector3 pos = {{0.25f, 0.25f, 1.0f}}, dir = {{0.0f, 0.0f, -1.0f}};
        BrModelPick2D(m, nullptr, &pos, &dir, 0.0f, 2.0f, on_face, nullptr);
        BrModelFree(m);
    }
    br_actor *actors[4];
    n = BrActorLoadMany("input.act", actors, 4);
    for (br_uint_32 i = 0; i < n; i++)
        BrActorFree(actors[i]);
    br_material *materials[4];
    n = BrMaterialLoadMany("input.mat", materials, 4);
    for (br_uint_32 i = 0; i < n; i++)
        BrMaterialFree(materials[i]);
    br_uint_16 count;
    BrModelFileCount("input.mod", &count);

    if (DfTopType() != depth)
        abort();
    return 0;
}
