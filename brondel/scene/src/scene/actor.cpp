// Actor allocation, freeing, linking into the tree, enumeration and search by path.
#include <math.h>
#include <string.h>

#include "scene.h"

namespace {

const br_light default_light = {
    nullptr, BR_LIGHT_DIRECT, 0xffffff, 1.0f, 0.0f, 0.0f, 2730, 1820,
};

const br_camera default_camera = {
    nullptr, BR_CAMERA_PERSPECTIVE, 8190, 1.0f, 10.0f, 1.0f, 0.0f, 0.0f,
};

void *type_data_make(br_actor *a)
{
    switch (a->type) {
    case BR_ACTOR_LIGHT: {
        br_light *l = (br_light *)BrResAllocate(a, sizeof(br_light), BR_MEMORY_LIGHT);
        if (l != nullptr)
            *l = default_light;
        return l;
    }
    case BR_ACTOR_CAMERA: {
        br_camera *c = (br_camera *)BrResAllocate(a, sizeof(br_camera), BR_MEMORY_CAMERA);
        if (c != nullptr)
            *c = default_camera;
        return c;
    }
    case BR_ACTOR_BOUNDS:
    case BR_ACTOR_BOUNDS_CORRECT:
        return BrResAllocate(a, sizeof(br_bounds3), BR_MEMORY_BOUNDS);
    case BR_ACTOR_CLIP_PLANE: {
        br_plane *p = (br_plane *)BrResAllocate(a, sizeof(br_plane), BR_MEMORY_CLIP_PLANE);
        if (p != nullptr)
            p->eqn.v[2] = 1.0f;
        return p;
    }
    default:
        return nullptr;
    }
}

// Depths below an actor follow its own.
void depths_renumber(br_actor *a)
{
    for (br_actor *c = a->children; c != nullptr; c = c->next) {
        c->depth = (br_uint_16)(a->depth + 1);
        depths_renumber(c);
    }
}

void unlink(br_actor *a)
{
    BrSimpleRemove((br_simple_node *)a);
    a->parent = nullptr;
}

br_boolean is_below(const br_actor *a, const br_actor *ancestor)
{
    for (; a != nullptr; a = a->parent)
        if (a == ancestor)
            return 1;
    return 0;
}

// Next path component: skips leading '/', copies up to the next one. Returns the rest of the path
// (at its separator) or null when this was the last component.
const char *path_component(const char *path, char *out, size_t size)
{
    while (*path == '/')
        path++;
    size_t n = 0;
    while (path[n] != '\0' && path[n] != '/')
        n++;
    if (n >= size)
        n = size - 1;
    memcpy(out, path, n);
    out[n] = '\0';
    const char *rest = strchr(path, '/');
    if (rest == nullptr)
        return nullptr;
    while (*rest == '/')
        rest++;
    return *rest == '\0' ? nullptr : rest;
}

br_uint_32 search(br_actor *root, const char *pattern, br_actor **out, int max, br_uint_32 found)
{
    char name[256];
    const char *rest = path_component(pattern, name, sizeof(name));
    for (br_actor *c = root->children; c != nullptr && (int)found < max; c = c->next) {
        if (!BrNamePatternMatch(name, c->identifier))
            continue;
        if (rest == nullptr)
            out[found++] = c;
        else
            found = search(c, rest, out, max, found);
    }
    return found;
}

br_boolean linear_identity(const br_matrix34 *m)
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            if (fabsf(m->m[r][c] - (r == c ? 1.0f : 0.0f)) > 1e-5f)
                return 0;
    return 1;
}

} // namespace

br_actor *BrActorAllocate(br_uint_8 type, void *type_data)
{
    br_actor *a = (br_actor *)BrResAllocate(v1db.res, sizeof(br_actor), BR_MEMORY_ACTOR);
    if (a == nullptr)
        return nullptr;
    BrSimpleNewList((br_simple_list *)&a->children);
    a->type = type;
    a->depth = 0;
    a->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Identity(&a->t.t.mat);
    a->type_data = type_data != nullptr ? type_data : type_data_make(a);
    return a;
}

void BrActorFree(br_actor *a)
{
    if (a == nullptr)
        return;
    // A caller that forgets the remove must not leave its parent pointing at freed memory.
    if (a->parent != nullptr)
        unlink(a);
    while (a->children != nullptr) {
        br_actor *c = a->children;
        unlink(c);
        BrActorFree(c);
    }
    BrDbActorEnableRemove(a);
    BrResFree(a);
}

br_actor *BrActorAdd(br_actor *parent, br_actor *a)
{
    if (parent == nullptr || a == nullptr)
        return nullptr;
    // A cycle would make every walk of the tree endless.
    if (is_below(parent, a))
        return nullptr;
    // Still linked elsewhere: leave that list whole before joining this one.
    if (a->prev != nullptr)
        BrSimpleRemove((br_simple_node *)a);
    BrSimpleAddHead((br_simple_list *)&parent->children, (br_simple_node *)a);
    a->parent = parent;
    a->depth = (br_uint_16)(parent->depth + 1);
    depths_renumber(a);
    return a;
}

br_actor *BrActorRemove(br_actor *a)
{
    if (a == nullptr)
        return nullptr;
    if (a->prev != nullptr)
        unlink(a);
    a->parent = nullptr;
    a->depth = 0;
    depths_renumber(a);
    return a;
}

void BrActorRelink(br_actor *parent, br_actor *a)
{
    if (parent == nullptr || a == nullptr || a->parent == parent)
        return;
    if (is_below(parent, a))
        return;
    br_matrix34 m;
    BrActorToActorMatrix34(&m, a, parent);
    // An identity or translation transform cannot hold a turn: such an actor takes a matrix,
    // else it would not keep its place.
    if ((a->t.type == BR_TRANSFORM_IDENTITY || a->t.type == BR_TRANSFORM_TRANSLATION) && !linear_identity(&m))
        a->t.type = BR_TRANSFORM_MATRIX34;
    if (a->t.type == BR_TRANSFORM_IDENTITY && (m.m[3][0] != 0 || m.m[3][1] != 0 || m.m[3][2] != 0))
        a->t.type = BR_TRANSFORM_TRANSLATION;
    BrMatrix34ToTransform(&a->t, &m);
    BrActorRemove(a);
    BrActorAdd(parent, a);
}

br_uint_32 BrActorEnum(br_actor *parent, br_actor_enum_cbfn *callback, void *arg)
{
    br_actor *a = parent->children;
    while (a != nullptr) {
        br_actor *next = a->next;
        br_uint_32 r = callback(a, arg);
        if (r != 0)
            return r;
        a = next;
    }
    return 0;
}

br_uint_32 BrActorSearchMany(br_actor *root, const char *pattern, br_actor **actors, int max)
{
    if (root == nullptr || pattern == nullptr || actors == nullptr || max <= 0)
        return 0;
    return search(root, pattern, actors, max, 0);
}

br_actor *BrActorSearch(br_actor *root, const char *pattern)
{
    br_actor *a = nullptr;
    return BrActorSearchMany(root, pattern, &a, 1) == 1 ? a : nullptr;
}
