// Actor trees in datafiles (file type 1): actors with their transforms, models and materials by
// name, their light, camera, bounds and clip-plane records, and their children.
#include <stddef.h>

#include <vector>

#include "dbfile.h"

namespace {

const DfEnumPair actor_type_pairs[] = {
    {BR_ACTOR_NONE, "BR_ACTOR_NONE"},
    {BR_ACTOR_MODEL, "BR_ACTOR_MODEL"},
    {BR_ACTOR_LIGHT, "BR_ACTOR_LIGHT"},
    {BR_ACTOR_CAMERA, "BR_ACTOR_CAMERA"},
    {_BR_ACTOR_RESERVED, "_BR_ACTOR_RESERVED"},
    {BR_ACTOR_BOUNDS, "BR_ACTOR_BOUNDS"},
    {BR_ACTOR_BOUNDS_CORRECT, "BR_ACTOR_BOUNDS_CORRECT"},
    {BR_ACTOR_CLIP_PLANE, "BR_ACTOR_CLIP_PLANE"},
    {BR_ACTOR_HORIZON_PLANE, "BR_ACTOR_HORIZON_PLANE"},
};
const DfEnumList actor_type_list = {sizeof(actor_type_pairs) / sizeof(actor_type_pairs[0]), actor_type_pairs};

const DfEnumPair render_style_pairs[] = {
    {BR_RSTYLE_DEFAULT, "BR_RSTYLE_DEFAULT"},
    {BR_RSTYLE_NONE, "BR_RSTYLE_NONE"},
    {BR_RSTYLE_POINTS, "BR_RSTYLE_POINTS"},
    {BR_RSTYLE_EDGES, "BR_RSTYLE_EDGES"},
    {BR_RSTYLE_FACES, "BR_RSTYLE_FACES"},
    {BR_RSTYLE_BOUNDING_POINTS, "BR_RSTYLE_BOUNDING_POINTS"},
    {BR_RSTYLE_BOUNDING_EDGES, "BR_RSTYLE_BOUNDING_EDGES"},
    {BR_RSTYLE_BOUNDING_FACES, "BR_RSTYLE_BOUNDING_FACES"},
};
const DfEnumList render_style_list = {sizeof(render_style_pairs) / sizeof(render_style_pairs[0]),
                                      render_style_pairs};

const DfEnumPair euler_order_pairs[] = {
    {BR_EULER_XYZ_S, "BR_EULER_XYZ_S"}, {BR_EULER_XYX_S, "BR_EULER_XYX_S"}, {BR_EULER_XZY_S, "BR_EULER_XZY_S"},
    {BR_EULER_XZX_S, "BR_EULER_XZX_S"}, {BR_EULER_YZX_S, "BR_EULER_YZX_S"}, {BR_EULER_YZY_S, "BR_EULER_YZY_S"},
    {BR_EULER_YXZ_S, "BR_EULER_YXZ_S"}, {BR_EULER_YXY_S, "BR_EULER_YXY_S"}, {BR_EULER_ZXY_S, "BR_EULER_ZXY_S"},
    {BR_EULER_ZXZ_S, "BR_EULER_ZXZ_S"}, {BR_EULER_ZYX_S, "BR_EULER_ZYX_S"}, {BR_EULER_ZYZ_S, "BR_EULER_ZYZ_S"},
    {BR_EULER_ZYX_R, "BR_EULER_ZYX_R"}, {BR_EULER_XYX_R, "BR_EULER_XYX_R"}, {BR_EULER_YZX_R, "BR_EULER_YZX_R"},
    {BR_EULER_XZX_R, "BR_EULER_XZX_R"}, {BR_EULER_XZY_R, "BR_EULER_XZY_R"}, {BR_EULER_YZY_R, "BR_EULER_YZY_R"},
    {BR_EULER_ZXY_R, "BR_EULER_ZXY_R"}, {BR_EULER_YXY_R, "BR_EULER_YXY_R"}, {BR_EULER_YXZ_R, "BR_EULER_YXZ_R"},
    {BR_EULER_ZXZ_R, "BR_EULER_ZXZ_R"}, {BR_EULER_XYZ_R, "BR_EULER_XYZ_R"}, {BR_EULER_ZYZ_R, "BR_EULER_ZYZ_R"},
};
const DfEnumList euler_order_list = {sizeof(euler_order_pairs) / sizeof(euler_order_pairs[0]), euler_order_pairs};

const DfEnumPair light_type_pairs[] = {
    {BR_LIGHT_POINT, "BR_LIGHT_POINT"},
    {BR_LIGHT_DIRECT, "BR_LIGHT_DIRECT"},
    {BR_LIGHT_SPOT, "BR_LIGHT_SPOT"},
    {BR_LIGHT_VIEW | BR_LIGHT_POINT, "BR_LIGHT_VIEW|BR_LIGHT_POINT"},
    {BR_LIGHT_VIEW | BR_LIGHT_DIRECT, "BR_LIGHT_VIEW|BR_LIGHT_DIRECT"},
    {BR_LIGHT_VIEW | BR_LIGHT_SPOT, "BR_LIGHT_VIEW|BR_LIGHT_SPOT"},
};
const DfEnumList light_type_list = {sizeof(light_type_pairs) / sizeof(light_type_pairs[0]), light_type_pairs};

// The centred kinds the games use are named too, so that a text file keeps them.
const DfEnumPair camera_type_pairs[] = {
    {BR_CAMERA_PARALLEL, "BR_CAMERA_PARALLEL"},
    {BR_CAMERA_PERSPECTIVE, "BR_CAMERA_PERSPECTIVE"},
    {BR_CAMERA_PERSPECTIVE_OLD, "BR_CAMERA_PERSPECTIVE_OLD"},
    {BR_CAMERA_PARALLEL_CENTRED, "BR_CAMERA_PARALLEL_CENTRED"},
    {BR_CAMERA_PERSPECTIVE_CENTRED, "BR_CAMERA_PERSPECTIVE_CENTRED"},
};
const DfEnumList camera_type_list = {sizeof(camera_type_pairs) / sizeof(camera_type_pairs[0]), camera_type_pairs};

const DfStructMember actor_members[] = {
    {DF_TYPE_ENUM_8, offsetof(br_actor, type), "type", &actor_type_list},
    {DF_TYPE_ENUM_8, offsetof(br_actor, render_style), "render_style", &render_style_list},
    {DF_TYPE_ASCIZ, offsetof(br_actor, identifier), "identifier", nullptr},
};
const DfStructTemplate actor_template = {"br_actor", 3, actor_members, sizeof(br_actor)};

#define XF(member) offsetof(br_transform, t.member)

const DfStructMember matrix34_members[] = {
    {DF_TYPE_VECTOR3, XF(mat.m[0]), "t.mat.m[0]", nullptr},
    {DF_TYPE_VECTOR3, XF(mat.m[1]), "t.mat.m[1]", nullptr},
    {DF_TYPE_VECTOR3, XF(mat.m[2]), "t.mat.m[2]", nullptr},
    {DF_TYPE_VECTOR3, XF(mat.m[3]), "t.mat.m[3]", nullptr},
};
const DfStructMember quat_members[] = {
    {DF_TYPE_SCALAR, XF(quat.q.x), "t.quat.q.x", nullptr},
    {DF_TYPE_SCALAR, XF(quat.q.y), "t.quat.q.y", nullptr},
    {DF_TYPE_SCALAR, XF(quat.q.z), "t.quat.q.z", nullptr},
    {DF_TYPE_SCALAR, XF(quat.q.w), "t.quat.q.w", nullptr},
    {DF_TYPE_VECTOR3, XF(quat.t), "t.quat.t", nullptr},
};
const DfStructMember euler_members[] = {
    {DF_TYPE_ENUM_8, XF(euler.e.order), "t.euler.e.order", &euler_order_list},
    {DF_TYPE_ANGLE, XF(euler.e.a), "t.euler.e.a", nullptr},
    {DF_TYPE_ANGLE, XF(euler.e.b), "t.euler.e.b", nullptr},
    {DF_TYPE_ANGLE, XF(euler.e.c), "t.euler.e.c", nullptr},
    {DF_TYPE_VECTOR3, XF(euler.t), "t.euler.t", nullptr},
};
const DfStructMember look_up_members[] = {
    {DF_TYPE_VECTOR3, XF(look_up.look), "t.look_up.look", nullptr},
    {DF_TYPE_VECTOR3, XF(look_up.up), "t.look_up.up", nullptr},
    {DF_TYPE_VECTOR3, XF(look_up.t), "t.look_up.t", nullptr},
};
const DfStructMember translation_members[] = {
    {DF_TYPE_VECTOR3, XF(translate.t), "t.translate.t", nullptr},
};

#undef XF

// By transform type; identity has no record.
const DfStructTemplate transform_templates[BR_TRANSFORM_IDENTITY] = {
    {"br_transform_matrix34", 4, matrix34_members, sizeof(br_transform)},
    {"br_transform_matrix34", 4, matrix34_members, sizeof(br_transform)},
    {"br_transform_quat", 5, quat_members, sizeof(br_transform)},
    {"br_transform_euler", 5, euler_members, sizeof(br_transform)},
    {"br_transform_look_up", 3, look_up_members, sizeof(br_transform)},
    {"br_transform_translation", 1, translation_members, sizeof(br_transform)},
};

const DfStructMember bounds_members[] = {
    {DF_TYPE_VECTOR3, offsetof(br_bounds3, min), "min", nullptr},
    {DF_TYPE_VECTOR3, offsetof(br_bounds3, max), "max", nullptr},
};
const DfStructTemplate bounds_template = {"br_bounds3", 2, bounds_members, sizeof(br_bounds3)};

const DfStructMember plane_members[] = {
    {DF_TYPE_VECTOR4, offsetof(br_plane, eqn), "eqn", nullptr},
};
const DfStructTemplate plane_template = {"br_plane", 1, plane_members, sizeof(br_plane)};

const DfStructMember light_members[] = {
    {DF_TYPE_ENUM_8, offsetof(br_light, type), "type", &light_type_list},
    {DF_TYPE_COLOUR, offsetof(br_light, colour), "colour", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_light, attenuation_c), "attenuation_c", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_light, attenuation_l), "attenuation_l", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_light, attenuation_q), "attenuation_q", nullptr},
    {DF_TYPE_ANGLE, offsetof(br_light, cone_inner), "cone_inner", nullptr},
    {DF_TYPE_ANGLE, offsetof(br_light, cone_outer), "cone_outer", nullptr},
    {DF_TYPE_ASCIZ, offsetof(br_light, identifier), "identifier", nullptr},
};
const DfStructTemplate light_template = {"br_light", 8, light_members, sizeof(br_light)};

const DfStructMember camera_members[] = {
    {DF_TYPE_ENUM_8, offsetof(br_camera, type), "type", &camera_type_list},
    {DF_TYPE_ANGLE, offsetof(br_camera, field_of_view), "field_of_view", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_camera, hither_z), "hither_z", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_camera, yon_z), "yon_z", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_camera, aspect), "aspect", nullptr},
    {DF_TYPE_ASCIZ, offsetof(br_camera, identifier), "identifier", nullptr},
};
const DfStructTemplate camera_template = {"br_camera", 6, camera_members, sizeof(br_camera)};

// A type record as the chunk that carries it, the stack type it travels under and its class.
struct type_record {
    br_uint_32 chunk;
    br_uint_32 attach_chunk;
    int stack_type;
    br_uint_8 res_class;
    const DfStructTemplate *str;
};
const type_record light_record = {FID_LIGHT, FID_ACTOR_LIGHT, DFS_LIGHT, BR_MEMORY_LIGHT, &light_template};
const type_record camera_record = {FID_CAMERA, FID_ACTOR_CAMERA, DFS_CAMERA, BR_MEMORY_CAMERA, &camera_template};
const type_record bounds_record = {FID_BOUNDS, FID_ACTOR_BOUNDS, DFS_BOUNDS, BR_MEMORY_BOUNDS, &bounds_template};
const type_record plane_record = {FID_PLANE, FID_ACTOR_CLIP_PLANE, DFS_PLANE, BR_MEMORY_CLIP_PLANE,
                                  &plane_template};

const type_record *record_of_actor(br_uint_8 type)
{
    switch (type) {
    case BR_ACTOR_LIGHT: return &light_record;
    case BR_ACTOR_CAMERA: return &camera_record;
    case BR_ACTOR_BOUNDS:
    case BR_ACTOR_BOUNDS_CORRECT: return &bounds_record;
    case BR_ACTOR_CLIP_PLANE: return &plane_record;
    default: return nullptr;
    }
}

const type_record *record_of_chunk(br_uint_32 id)
{
    for (const type_record *r : {&light_record, &camera_record, &bounds_record, &plane_record})
        if (r->chunk == id || r->attach_chunk == id)
            return r;
    return nullptr;
}

// An actor read with a type whose record the file may not carry gets the default record, so no
// light, camera or bounds actor is ever left without one.
void default_record_give(br_actor *a)
{
    if (a->type_data != nullptr || record_of_actor(a->type) == nullptr)
        return;
    br_actor *donor = BrActorAllocate(a->type, nullptr);
    if (donor == nullptr)
        return;
    a->type_data = donor->type_data;
    if (a->type_data != nullptr)
        BrResAdd(a, a->type_data);
    donor->type_data = nullptr;
    BrActorFree(donor);
}

int fop_actor(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    if (a == nullptr)
        return DFH_REFUSED;
    df->res = a;
    int whole = df->prims->struct_read(df, &actor_template, a);
    df->res = nullptr;
    if (!whole) {
        BrFailure("actor record cut short");
        BrActorFree(a);
        return DFH_REFUSED;
    }
    a->t.type = BR_TRANSFORM_IDENTITY;
    BrMatrix34Identity(&a->t.t.mat);
    default_record_give(a);
    return DbfPush(DFS_ACTOR, a, 1);
}

int fop_actor_model(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    char name[256];
    df->prims->name_read(df, name);
    br_actor *a = (br_actor *)DbfTop(DFS_ACTOR, "Actor model");
    if (a == nullptr)
        return DFH_REFUSED;
    a->model = BrModelFind(name);
    return 0;
}

int fop_actor_material(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    char name[256];
    df->prims->name_read(df, name);
    br_actor *a = (br_actor *)DbfTop(DFS_ACTOR, "Actor material");
    if (a == nullptr)
        return DFH_REFUSED;
    a->material = BrMaterialFind(name);
    return 0;
}

int fop_actor_transform(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    br_transform *t = (br_transform *)DbfPop(DFS_TRANSFORM, "Actor transform");
    if (t == nullptr)
        return DFH_REFUSED;
    br_actor *a = (br_actor *)DbfTop(DFS_ACTOR, "Actor transform");
    if (a != nullptr)
        a->t = *t;
    BrResFree(t);
    return a != nullptr ? 0 : DFH_REFUSED;
}

// The record becomes the actor's (and its child resource), in place of the one it had.
int fop_actor_record(br_datafile *, br_uint_32 id, br_uint_32, br_uint_32)
{
    const type_record *r = record_of_chunk(id);
    void *record = DbfPop(r->stack_type, "Actor type data");
    if (record == nullptr)
        return DFH_REFUSED;
    br_actor *a = (br_actor *)DbfTop(DFS_ACTOR, "Actor type data");
    // A record of another kind would be read as the one the actor's type promises.
    if (a != nullptr && record_of_actor(a->type) != r) {
        BrFailure("Actor type data: a %s record does not fit actor type %d", r->str->name, a->type);
        a = nullptr;
    }
    if (a == nullptr) {
        BrResFree(record);
        return DFH_REFUSED;
    }
    if (a->type_data != nullptr && BrResIsChild(a, a->type_data))
        BrResFree(a->type_data);
    a->type_data = BrResAdd(a, record);
    return 0;
}

int fop_actor_add_child(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    br_actor *child = (br_actor *)DbfPop(DFS_ACTOR, "Add child");
    if (child == nullptr)
        return DFH_REFUSED;
    br_actor *parent = (br_actor *)DbfTop(DFS_ACTOR, "Add child");
    if (parent == nullptr || BrActorAdd(parent, child) == nullptr) {
        BrActorFree(child);
        return DFH_REFUSED;
    }
    return 0;
}

int fop_transform(br_datafile *df, br_uint_32 id, br_uint_32, br_uint_32)
{
    br_transform *t = (br_transform *)BrResAllocate(v1db.res, sizeof(br_transform), BR_MEMORY_TRANSFORM);
    if (t == nullptr)
        return DFH_REFUSED;
    t->type = (br_uint_16)(id - FID_TRANSFORM_MATRIX34);
    BrMatrix34Identity(&t->t.mat);
    if (t->type < BR_TRANSFORM_IDENTITY && !df->prims->struct_read(df, &transform_templates[t->type], t)) {
        BrFailure("transform record cut short");
        BrResFree(t);
        return DFH_REFUSED;
    }
    return DbfPush(DFS_TRANSFORM, t, 1);
}

int fop_record(br_datafile *df, br_uint_32 id, br_uint_32, br_uint_32)
{
    const type_record *r = record_of_chunk(id);
    void *record = BrResAllocate(v1db.res, r->str->mem_size, r->res_class);
    if (record == nullptr)
        return DFH_REFUSED;
    // Strings read with the record are its children.
    df->res = record;
    int whole = df->prims->struct_read(df, r->str, record);
    df->res = nullptr;
    if (!whole) {
        BrFailure("%s record cut short", r->str->name);
        BrResFree(record);
        return DFH_REFUSED;
    }
    return DbfPush(r->stack_type, record, 1);
}

int fop_end(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    return DFH_END;
}

const DfChunkEntry actor_entries[] = {
    {FID_END, 0, fop_end},
    {FID_ACTOR, 0, fop_actor},
    {FID_ACTOR_MODEL, 0, fop_actor_model},
    {FID_ACTOR_TRANSFORM, 0, fop_actor_transform},
    {FID_ACTOR_MATERIAL, 0, fop_actor_material},
    {FID_ACTOR_LIGHT, 0, fop_actor_record},
    {FID_ACTOR_CAMERA, 0, fop_actor_record},
    {FID_ACTOR_BOUNDS, 0, fop_actor_record},
    {FID_ACTOR_CLIP_PLANE, 0, fop_actor_record},
    {FID_ACTOR_ADD_CHILD, 0, fop_actor_add_child},
    {FID_TRANSFORM_MATRIX34, 0, fop_transform},
    {FID_TRANSFORM_MATRIX34_LP, 0, fop_transform},
    {FID_TRANSFORM_QUAT, 0, fop_transform},
    {FID_TRANSFORM_EULER, 0, fop_transform},
    {FID_TRANSFORM_LOOK_UP, 0, fop_transform},
    {FID_TRANSFORM_TRANSLATION, 0, fop_transform},
    {FID_TRANSFORM_IDENTITY, 0, fop_transform},
    {FID_BOUNDS, 0, fop_record},
    {FID_LIGHT, 0, fop_record},
    {FID_CAMERA, 0, fop_record},
    {FID_PLANE, 0, fop_record},
};
const DfChunkTable actor_table = {sizeof(actor_entries) / sizeof(actor_entries[0]), actor_entries};

void record_write(br_datafile *df, br_uint_32 id, const DfStructTemplate *str, void *record)
{
    df->prims->chunk_write(df, id, df->prims->struct_size(df, str, record));
    df->prims->struct_write(df, str, record);
}

void actor_write(br_datafile *df, br_actor *a)
{
    record_write(df, FID_ACTOR, &actor_template, a);
    if (a->t.type < BR_TRANSFORM_IDENTITY) {
        record_write(df, FID_TRANSFORM_MATRIX34 + a->t.type, &transform_templates[a->t.type], &a->t);
        df->prims->chunk_write(df, FID_ACTOR_TRANSFORM, 0);
    }
    if (a->material != nullptr)
        DbfNameChunkWrite(df, FID_ACTOR_MATERIAL, a->material->identifier);
    if (a->model != nullptr)
        DbfNameChunkWrite(df, FID_ACTOR_MODEL, a->model->identifier);
    // Bounds that keep their box correct are written too: without the box the subtree would be
    // tested against nothing once loaded.
    const type_record *r = record_of_actor(a->type);
    if (r != nullptr && a->type_data != nullptr) {
        record_write(df, r->chunk, r->str, a->type_data);
        df->prims->chunk_write(df, r->attach_chunk, 0);
    }
    // Last child first: loading adds each at the head, which gives back the order.
    std::vector<br_actor *> children;
    for (br_actor *c = a->children; c != nullptr; c = c->next)
        children.push_back(c);
    for (size_t i = children.size(); i-- > 0;) {
        actor_write(df, children[i]);
        df->prims->chunk_write(df, FID_ACTOR_ADD_CHILD, 0);
    }
}

// The loader holds the file and every open ancestor on the datafile stack, plus one record of the
// deepest actor: a tree deeper than the stack allows would save but load as nothing.
constexpr int ACTOR_DEPTH_MAX = DF_STACK_SIZE - 2;

bool depth_fits(const br_actor *a, int depth)
{
    if (depth > ACTOR_DEPTH_MAX)
        return false;
    // The walk stops past the limit, so even a very deep tree cannot exhaust the stack.
    for (const br_actor *c = a->children; c != nullptr; c = c->next)
        if (!depth_fits(c, depth + 1))
            return false;
    return true;
}

} // namespace

br_uint_32 BrActorLoadMany(const char *filename, br_actor **actors, br_uint_16 num)
{
    return DbfLoadMany(filename, &actor_table, DFS_ACTOR, (void **)actors, num);
}

br_actor *BrActorLoad(const char *filename)
{
    br_actor *a = nullptr;
    return BrActorLoadMany(filename, &a, 1) == 1 ? a : nullptr;
}

br_error BrActorFileCount(const char *filename, br_uint_16 *num)
{
    return DbfFileCount(filename, &actor_table, DFS_ACTOR, num);
}

br_uint_32 BrActorSaveMany(const char *filename, br_actor **actors, br_uint_16 num)
{
    // Nothing is written when any tree is deeper than the loader can read back.
    for (br_uint_16 i = 0; actors != nullptr && i < num; i++)
        if (actors[i] != nullptr && !depth_fits(actors[i], 1))
            return 0;
    return DbfSaveItems(filename, FILE_TYPE_ACTORS, DbfItems(actors, num, nullptr), [](br_datafile *df, br_actor *a) {
        actor_write(df, a);
        DfChunkEndWrite(df);
    });
}

br_uint_32 BrActorSave(const char *filename, br_actor *actor)
{
    return actor != nullptr ? BrActorSaveMany(filename, &actor, 1) : 0;
}
