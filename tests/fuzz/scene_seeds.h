// Seeds of the scene-file fuzz target: a model, an actor tree of every kind and materials, each
// written by the library's own savers, and the names they refer to.
#pragma once

#include <string>

#include <brondel/brdbfile.h>
#include <brondel/brpixmap.h>
#include <brondel/brv1db.h>

namespace fuzz {

// Registered before loading, so references in the files resolve.
inline void scene_names_register()
{
    if (BrMaterialFind("paint") == nullptr)
        BrMaterialAdd(BrMaterialAllocate("paint"));
    if (BrModelFind("cube") == nullptr) {
        br_model *m = BrModelAllocate("cube", 3, 1);
        m->faces[0].vertices[1] = 1;
        m->faces[0].vertices[2] = 2;
        BrVector3Set(&m->vertices[1].p, 1, 0, 0);
        BrVector3Set(&m->vertices[2].p, 0, 1, 0);
        m->flags = BR_MODF_UPDATEABLE;
        BrModelAdd(m);
    }
    if (BrMapFind("tex") == nullptr) {
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 2, 2, nullptr, 0);
        pm->identifier = BrResStrDup(pm, "tex");
        BrMapAdd(pm);
    }
}

inline void write_scene_seeds(const std::string &dir, const std::string &suffix)
{
    scene_names_register();
    br_material *paint = BrMaterialFind("paint");

    br_model *m = BrModelAllocate("seed", 4, 2);
    const float p[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int i = 0; i < 4; i++) {
        BrVector3Set(&m->vertices[i].p, p[i][0], p[i][1], p[i][2]);
        m->vertices[i].map.v[0] = p[i][0] * 0.99f;
        m->vertices[i].map.v[1] = p[i][1] * 0.99f;
    }
    const br_uint_16 f[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int i = 0; i < 2; i++) {
        for (int k = 0; k < 3; k++)
            m->faces[i].vertices[k] = f[i][k];
        m->faces[i].smoothing = (br_uint_16)(i + 1);
    }
    m->faces[0].material = paint;
    BrVector3Set(&m->pivot, 0.5f, 0.5f, 0);
    BrModelSave((dir + "/model" + suffix).c_str(), m);
    BrModelFree(m);

    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    const br_uint_8 types[] = {BR_ACTOR_MODEL,  BR_ACTOR_LIGHT,          BR_ACTOR_CAMERA,
                               BR_ACTOR_BOUNDS, BR_ACTOR_BOUNDS_CORRECT, BR_ACTOR_CLIP_PLANE};
    br_uint_16 transform = 0;
    for (br_uint_8 t : types) {
        br_actor *a = BrActorAdd(world, BrActorAllocate(t, nullptr));
        a->identifier = BrResStrDup(a, "actor");
        a->t.type = transform++;
        a->model = BrModelFind("cube");
        a->material = paint;
        BrActorAdd(a, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    }
    BrActorSave((dir + "/actors" + suffix).c_str(), world);
    BrActorFree(world);

    br_material *mats[2] = {BrMaterialAllocate("shiny"), BrMaterialAllocate("dull")};
    mats[0]->colour_map = BrMapFind("tex");
    BrMaterialSaveMany((dir + "/materials" + suffix).c_str(), mats, 2);
    BrMaterialFree(mats[0]);
    BrMaterialFree(mats[1]);
}

} // namespace fuzz
