// Allocation and freeing of models and materials, and the texture-coordinate helpers.
#include <math.h>
#include <string.h>

#include "dbstate.h"

br_model *BrModelAllocate(const char *name, int nvertices, int nfaces)
{
    // The counts are 16-bit fields.
    if (nvertices < 0 || nvertices > 0xffff || nfaces < 0 || nfaces > 0xffff) {
        BrFailure("BrModelAllocate: too many vertices or faces (%d, %d)", nvertices, nfaces);
        return nullptr;
    }
    br_model *m = (br_model *)BrResAllocate(v1db.res, sizeof(br_model), BR_MEMORY_MODEL);
    if (m == nullptr)
        return nullptr;
    m->nvertices = (br_uint_16)nvertices;
    m->nfaces = (br_uint_16)nfaces;
    if (name != nullptr)
        m->identifier = BrResStrDup(m, name);
    if (nvertices != 0)
        m->vertices = (br_vertex *)BrResAllocate(m, sizeof(br_vertex) * nvertices, BR_MEMORY_VERTICES);
    if (nfaces != 0)
        m->faces = (br_face *)BrResAllocate(m, sizeof(br_face) * nfaces, BR_MEMORY_FACES);
    return m;
}

// A freed model or material leaves its registry and lets go of its renderer objects first, so
// nothing keeps a pointer to it.
void BrModelFree(br_model *model)
{
    if (model == nullptr)
        return;
    while (BrRegistryRemove(&v1db.reg_models, model) != nullptr)
        ;
    BrModelClear(model);
    BrResFree(model);
}

br_material *BrMaterialAllocate(const char *name)
{
    br_material *m = (br_material *)BrResAllocate(v1db.res, sizeof(br_material), BR_MEMORY_MATERIAL);
    if (m == nullptr)
        return nullptr;
    if (v1db.default_material != nullptr)
        *m = *v1db.default_material;
    m->stored = nullptr;
    m->identifier = name != nullptr ? BrResStrDup(m, name) : nullptr;
    return m;
}

void BrMaterialFree(br_material *material)
{
    if (material == nullptr)
        return;
    while (BrRegistryRemove(&v1db.reg_materials, material) != nullptr)
        ;
    BrMaterialClear(material);
    BrResFree(material);
}

namespace {

constexpr float TWO_PI = 6.28318530717958647692f;

// Radians to a 16-bit angle: truncated toward zero, negative angles wrapping into 0..65535.
float angle_units(float radians)
{
    return (float)((br_int_32)(radians * 65536.0f / TWO_PI) & 0xffff);
}

} // namespace

void BrModelApplyMap(br_model *model, int map_type, br_matrix34 *xform)
{
    if (model == nullptr || model->vertices == nullptr)
        return;
    br_matrix34 identity;
    if (xform == nullptr) {
        BrMatrix34Identity(&identity);
        xform = &identity;
    }
    for (int i = 0; i < model->nvertices; i++) {
        br_vertex *v = &model->vertices[i];
        br_vector3 q;
        BrMatrix34ApplyP(&q, &v->p, xform);
        float x = q.v[0], y = q.v[1], z = q.v[2];
        float *u = &v->map.v[0], *w = &v->map.v[1];
        switch (map_type) {
        case BR_MAP_PLANAR:
            *u = (x + 1.0f) * 0.5f;
            *w = (y + 1.0f) * 0.5f;
            break;
        case BR_MAP_SPHERICAL:
            *u = angle_units(atan2f(-z, x)) / 65536.0f;
            *w = 1.0f - angle_units(atan2f(sqrtf(z * z + x * x), y)) / 32768.0f;
            break;
        case BR_MAP_CYLINDRICAL:
            *u = angle_units(atan2f(-z, x)) / 65536.0f;
            *w = (y + 1.0f) * 0.5f;
            break;
        case BR_MAP_DISC:
            *u = angle_units(atan2f(-y, x)) / 65536.0f;
            *w = sqrtf(y * y + x * x);
            break;
        case BR_MAP_NONE:
            *u = 0.0f;
            *w = 0.0f;
            break;
        default:
            break;
        }
    }
}

br_matrix34 *BrModelFitMap(br_model *model, int axis_0, int axis_1, br_matrix34 *transform)
{
    static const br_vector3 axes[6] = {
        {{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}, {{-1, 0, 0}}, {{0, -1, 0}}, {{0, 0, -1}},
    };
    if (transform == nullptr)
        return nullptr;
    BrMatrix34Identity(transform);
    if (model == nullptr || axis_0 < 0 || axis_0 > 5 || axis_1 < 0 || axis_1 > 5)
        return transform;

    const br_vector3 &a = axes[axis_0], &b = axes[axis_1];
    br_vector3 c;
    BrVector3Cross(&c, &a, &b);
    for (int i = 0; i < 3; i++) {
        transform->m[i][0] = a.v[i];
        transform->m[i][1] = b.v[i];
        transform->m[i][2] = c.v[i];
        transform->m[3][i] = 0.0f;
    }

    br_vector3 half, centre;
    for (int i = 0; i < 3; i++) {
        half.v[i] = (model->bounds.max.v[i] - model->bounds.min.v[i]) * 0.5f;
        if (half.v[i] == 0.0f)
            half.v[i] = 1.0f;
        centre.v[i] = (model->bounds.max.v[i] + model->bounds.min.v[i]) * 0.5f;
    }
    br_matrix34 s, t, tmp;
    BrMatrix34Scale(&s, 1.0f / half.v[0], 1.0f / half.v[1], 1.0f / half.v[2]);
    BrMatrix34Mul(&tmp, &s, transform);
    BrMatrix34Translate(&t, -centre.v[0], -centre.v[1], -centre.v[2]);
    BrMatrix34Mul(transform, &t, &tmp);
    return transform;
}
