// The default model (a cube) and the default material that database begin makes.
#include <string.h>

#include "dbstate.h"

namespace {

#define CUBE_VERTEX(x, y, z) {{{x, y, z}}, {{(x) > 0 ? 0.99f : 0.0f, (y) > 0 ? 0.99f : 0.0f}}, {0, 0, 0, 0}, 0, {{0, 0, 0}}}

br_vertex cube_vertices[8] = {
    CUBE_VERTEX(-1.0f, -1.0f, 1.0f), CUBE_VERTEX(1.0f, -1.0f, 1.0f),
    CUBE_VERTEX(1.0f, 1.0f, 1.0f),   CUBE_VERTEX(-1.0f, 1.0f, 1.0f),
    CUBE_VERTEX(-1.0f, -1.0f, -1.0f), CUBE_VERTEX(1.0f, -1.0f, -1.0f),
    CUBE_VERTEX(1.0f, 1.0f, -1.0f),  CUBE_VERTEX(-1.0f, 1.0f, -1.0f),
};

// Two triangles per side; the first hides its edge 2-0 and the second its edge 0-1, so the
// diagonal between them is never drawn as an edge.
#define CUBE_FACE(a, b, c, hide) {{a, b, c}, 1, nullptr, {0, 0, 0, 0}, hide, {0}, {{0, 0, 0}}, 0}

br_face cube_faces[12] = {
    CUBE_FACE(0, 1, 2, 4), CUBE_FACE(0, 2, 3, 1), CUBE_FACE(0, 4, 5, 4), CUBE_FACE(0, 5, 1, 1),
    CUBE_FACE(1, 5, 6, 4), CUBE_FACE(1, 6, 2, 1), CUBE_FACE(2, 6, 7, 4), CUBE_FACE(2, 7, 3, 1),
    CUBE_FACE(3, 7, 4, 4), CUBE_FACE(3, 4, 0, 1), CUBE_FACE(4, 7, 6, 4), CUBE_FACE(4, 6, 5, 1),
};

char default_model_name[] = "default_model";
char default_material_name[] = "default_mat";

} // namespace

const br_model br_default_model_source = {
    0, default_model_name, cube_vertices, cube_faces, 8, 12, {{0, 0, 0}}, BR_MODF_UPDATEABLE,
    nullptr, nullptr, 0, 0.0f, {{{0, 0, 0}}, {{0, 0, 0}}}, nullptr, nullptr,
};

br_material *BrDbDefaultMaterialMake(void *parent)
{
    br_material *m = (br_material *)BrResAllocate(parent, sizeof(br_material), BR_MEMORY_MATERIAL);
    if (m == nullptr)
        return nullptr;
    m->identifier = default_material_name;
    m->colour = 0xFFFFFF;
    m->opacity = 255;
    m->ka = 0.1f;
    m->kd = 0.7f;
    m->ks = 0.0f;
    m->power = 20.0f;
    m->flags = BR_MATF_LIT;
    BrMatrix23Identity(&m->map_transform);
    m->index_base = 10;
    m->index_range = 31;
    return m;
}
