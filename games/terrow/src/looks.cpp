// The table of looks: one per (type, variant), with its model, texture, lighting and material; and the
// actors of an element, each with its own material copy so that highlighting one changes no other.
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brpmfile.h>
#include <brondel/brres.h>

#include "pannix/ffpack.h"
#include "terrow/trdib.h"
#include "win32/winfile.h"
#include "terrow/trfield.h"
#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trshell.h"

namespace {

// ka, ks, kd, power.
const float kDefault[4] = {0.3f, 0.1f, 0.6f, 50}, kGround[4] = {0.0f, 0.15f, 0.75f, 21},
            kTile[4] = {0.1f, 0.25f, 0.65f, 15}, kMagnet[4] = {0.7f, 0.3f, 0.0f, 24},
            kIronIcon[4] = {0.0f, 0.6f, 0.4f, 6}, kIron[4] = {0.15f, 0.9f, 0.35f, 3},
            kIronShade[4] = {0.35f, 0.0f, 0.35f, 10}, kBall3[4] = {0.4f, 0.6f, 0.4f, 6},
            kBall1[4] = {0.6f, 0.6f, 0.2f, 5}, kMarker[4] = {0.5f, 0.1f, 0.4f, 12}, kGrey[4] = {0.8f, 0.1f, 0.1f, 12},
            kMark[4] = {0.8f, 0.0f, 0.0f, 12};

struct Row {
    int type, variant;
    const char *model;  // pack file; debris: the multi-model file
    int pieces;
    const float *lighting;
    const char *texture;
};

// The ground magnet's look is the flat magnet: the second lap.mod, mapped whole.
const Row kRows[] = {
    {10, 0, "lejto.mod", 0, kTile, "aq\\2lejto.pix"},       {10, 1, "lejto.mod", 0, kTile, "aq\\raklejt.pix"},
    {10, 2, "lejto.mod", 0, kTile, "bq\\slejto.pix"},       {11, 0, "utkozo.mod", 0, kTile, "aq\\2utkozo.pix"},
    {11, 1, "utkozo.mod", 0, kTile, "aq\\rakutkoz.pix"},    {11, 2, "utkozo.mod", 0, kTile, "bq\\sutkozo.pix"},
    {20, 0, "kocka.mod", 0, kTile, "aq\\1panel.pix"},       {20, 1, "kocka.mod", 0, kDefault, "aq\\rakpanel.pix"},
    {20, 2, "kocka.mod", 0, kDefault, "bq\\spanel.pix"},    {21, 0, "magnes.mod", 0, kMagnet, "bq\\3magnes.pix"},
    {25, 0, "kocka.mod", 0, kTile, "aq\\1indito.pix"},      {25, 1, "kocka.mod", 0, kTile, "aq\\rakindit.pix"},
    {25, 2, "kocka.mod", 0, kTile, "bq\\sindit.pix"},       {24, 0, "kocka.mod", 0, kTile, "cq\\cell0001.pix"},
    {22, 0, "tuskes.mod", 0, kTile, "bq\\2tuskes.pix"},     {0, 0, "gomb.mod", 0, kIron, "bq\\fem1a.pix"},
    {0, 2, "gomb.mod", 0, kIronShade, "bq\\sfem1a.pix"},    {3, 0, "gomb.mod", 0, kBall3, "bq\\gumi.pix"},
    {3, 2, "gomb.mod", 0, kBall3, "bq\\sgumi.pix"},         {2, 0, "bomb.mod", 0, kDefault, "bq\\bomba.pix"},
    {2, 2, "bomb.mod", 0, kDefault, "bq\\sbomb.pix"},       {1, 0, "gomb.mod", 0, kBall1, "bq\\golf.pix"},
    {1, 2, "gomb.mod", 0, kBall1, "bq\\suveg.pix"},         {100, 0, "nyil.mod", 0, kMarker, "cq\\szamsav.pix"},
    {100, 1, "nyil.mod", 0, kMarker, "cq\\nomove.pix"},     {100, 2, "nyil.mod", 0, kMarker, "cq\\nodir.pix"},
    {40, 0, "lap.mod", 0, kGround, "aq\\2allapy.pix"},      {41, 0, "lapmagnes", 0, kGround, "cq\\lapmagnk.pix"},
    {70, 0, "pieces_g.mod", 12, kIronIcon, "bq\\fem1a.pix"}, {73, 0, "pieces_g.mod", 12, kBall3, "bq\\gumi.pix"},
    {72, 0, "pieces_g.mod", 12, kDefault, "bq\\bomba.pix"}, {71, 0, "pieces_g.mod", 12, kBall1, "bq\\golf.pix"},
    {90, 0, "pieces_k.mod", 12, kTile, "aq\\1panel.pix"},   {94, 0, "pieces_k.mod", 12, kTile, "cq\\cell0001.pix"},
    {95, 0, "pieces_k.mod", 12, kTile, "aq\\1indito.pix"},  {91, 0, "pieces_m.mod", 14, kMagnet, "bq\\3magnes.pix"},
    {92, 0, "pieces_k.mod", 12, kDefault, "bq\\2tuskes.pix"}, {81, 0, "utkozo_r.mod", 8, kTile, "aq\\2utkozo.pix"},
    {80, 0, "pieces_l.mod", 8, kTile, "aq\\2lejto.pix"},
};

std::vector<TrLook> g_looks;
std::vector<std::vector<br_model *>> g_pieceLists;
TrLook g_dark;
float g_darkLighting[4];
int g_materialNumber = 0;
br_pixelmap *g_shades[3] = {};
std::vector<br_material *> g_extra;  // numbers, grey, mark
std::unordered_set<TrActorLink *> g_links;

br_pixelmap *shade_table(const char *texture)
{
    int which = 0;
    if (texture != nullptr && std::strstr(texture, "bq\\") != nullptr)
        which = 1;
    else if (texture != nullptr && std::strstr(texture, "cq\\") != nullptr)
        which = 2;
    return g_shades[which];
}

void load_shades()
{
    static const char *const names[3] = {"shade\\a.shd", "shade\\b.shd", "shade\\c.shd"};
    for (int i = 0; i < 3; i++) {
        if (g_shades[i] != nullptr)
            continue;
        if (br_pixelmap *known = BrTableFind(names[i])) {
            g_shades[i] = known;
            continue;
        }
        // Our 16-bit renderer does not read them; they are registered for the indexed modes.
        br_pixelmap *t = BrPixelmapLoad(names[i]);
        if (t == nullptr)
            continue;
        t->identifier = BrResStrDup(t, names[i]);
        g_shades[i] = BrTableAdd(t);
    }
}

// Our renderer lights a texture by the material's colour: a textured look is lit white, so that its
// texture shows as drawn (the look's own colour stays the table's).
uint32_t surface_colour(uint32_t colour, const br_pixelmap *map)
{
    return map != nullptr ? 0xFFFFFFu : colour;
}

br_material *new_material(uint32_t colour, const float *lighting, br_pixelmap *map, br_pixelmap *shade)
{
    char name[32];
    snprintf(name, sizeof name, "0x00.%d", g_materialNumber++);
    br_material *m = BrMaterialAllocate(name);
    m->flags = 37;
    m->opacity = 255;
    m->colour = surface_colour(colour, map);
    m->ka = lighting[0];
    m->ks = lighting[1];
    m->kd = lighting[2];
    m->power = lighting[3];
    m->colour_map = map;
    m->index_shade = shade;
    return BrMaterialAdd(m);
}

br_material *copy_material(const br_material *from)
{
    if (from == nullptr)
        return nullptr;
    char name[32];
    snprintf(name, sizeof name, "0x00.%d", g_materialNumber++);
    br_material *m = BrMaterialAllocate(name);
    m->flags = from->flags;
    m->colour = from->colour;
    m->colour_map = from->colour_map;
    m->index_shade = from->index_shade;
    m->index_base = from->index_base;
    m->index_range = from->index_range;
    m->opacity = from->opacity;
    m->ka = from->ka;
    m->kd = from->kd;
    m->ks = from->ks;
    m->power = from->power;
    return BrMaterialAdd(m);
}

void free_material(br_material *m)
{
    if (m != nullptr)
        BrMaterialFree(BrMaterialRemove(m));
}

// A copy of the look's material with the look's lighting (the darker look's when asked).
br_material *actor_material(const TrLook *look)
{
    br_material *m = copy_material(look->material);
    if (m != nullptr && look->lighting != nullptr) {
        m->ka = look->lighting[0];
        m->ks = look->lighting[1];
        m->kd = look->lighting[2];
        m->power = look->lighting[3];
        BrMaterialUpdate(m, BR_MATU_ALL);
    }
    return m;
}

br_pixelmap *load_texture(const char *name)
{
    // The goal's texture comes keyed from the picture pack; the others are files.
    if (std::strcmp(name, "cq\\cell0001.pix") == 0)
        return TrLoadPxKeyed(name);
    return TrLoadPicture(name);
}

const TrLook *find_exact(int32_t type, int32_t variant)
{
    for (const TrLook &l : g_looks)
        if (l.type == type && l.variant == variant)
            return &l;
    return nullptr;
}

bool inside(const TrPalya *f, const EIo *io)
{
    return f != nullptr && io->x != 0 && io->x != f->extentX - 1 && io->z != 0 && io->z != f->extentZ - 1;
}

br_model *plate_of(br_model *m)
{
    if (m == Model_Get("kocka.mod", 0))
        return Model_Get("lap.mod", 0);
    if (m == Model_Get("tuskes.mod", 0))
        return Model_Get("tuskesb.mod", 0);
    if (m == Model_Get("magnes.mod", 0))
        return Model_Get("lapmagnes", 0);
    return m;
}

void free_actor_tree_materials(br_actor *a)
{
    // Only the actor's own copy: children share the parent's (debris) or are freed with their own.
    if (a != nullptr)
        free_material(a->material);
}

// The look whose material an element's actor carries: a tile or magnet on the ground shows the
// ground's look, everything else its own.
const TrLook *surface_look(const EIo *io, const TrLook *own)
{
    const TrLook *from = nullptr;
    if (io->y == 0 && (io->flags & EF_SAMPLE) == 0) {
        if (io->type == TY_T_SIMA)
            from = find_exact(TY_GROUND_TILE, 0);
        else if (io->type == TY_T_MAGNES)
            from = find_exact(TY_GROUND_MAGNET, 0);
    }
    return from != nullptr ? from : own;
}

}  // namespace

extern "C" {

int32_t Look_Build(int32_t withLooks)
{
    Look_FreeAll();
    load_shades();
    if (withLooks)
        for (const Row &r : kRows) {
            TrLook l = {};
            l.type = r.type;
            l.variant = r.variant;
            l.pieces = r.pieces;
            l.lighting = r.lighting;
            l.textureName = r.texture;
            if (r.pieces > 0) {
                std::vector<br_model *> list;
                for (int i = 0; i < r.pieces; i++)
                    list.push_back(Model_Get(r.model, i));
                g_pieceLists.push_back(list);
            } else {
                l.model = Model_Get(r.model, 0);
            }
            l.texture = load_texture(r.texture);
            l.material = new_material(0, r.lighting, l.texture, shade_table(r.texture));
            if (r.type == TY_G_GUMI && r.variant == 0) {
                l.material->opacity = 128;
                l.material->flags |= 0x1000;
            } else if (r.type == 71) {
                l.material->opacity = 128;
            }
            BrMaterialUpdate(l.material, BR_MATU_ALL);
            g_looks.push_back(l);
        }
    // The piece arrays are pointed to once the lists stop moving.
    size_t p = 0;
    for (TrLook &l : g_looks)
        if (l.pieces > 0)
            l.pieceModels = g_pieceLists[p++].data();
    br_pixelmap *digits = TrLoadPicture("cq\\szamsav.pix");
    for (int i = 0; i < 3; i++)
        g_extra.push_back(new_material(0xFF00FF, kDefault, digits, g_shades[2]));
    g_extra.push_back(new_material(0xC8C8C8, kGrey, nullptr, g_shades[0]));
    br_material *mark = new_material(0, kMark, TrLoadPicture("bq\\eroter.pix"), g_shades[1]);
    mark->opacity = 254;
    mark->flags |= 0x1020;
    BrMaterialUpdate(mark, BR_MATU_ALL);
    g_extra.push_back(mark);
    return (int32_t)g_looks.size();
}

int32_t Look_LoadAll(void)
{
    char cwd[1024] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    // The goal's texture is a picture of trt.fpk; it is copied out, so the pack closes again.
    FFPACKHANDLE *before = FFGetCurrentPack();
    FFPACKHANDLE *pictures = FFOpenPack("trt.fpk", 0);
    if (pictures != nullptr)
        FFSetCurrentPack(pictures);
    const bool ok = SetCurrentDirectoryA("fw\\") && Model_LoadAll() && Look_Build(1) > 0;
    FFSetCurrentPack(before);
    if (pictures != nullptr)
        FFClosePack(pictures);
    SetCurrentDirectoryA(cwd);
    if (!ok) {
        Look_FreeAll();
        Model_FreeAll();
    }
    return ok ? 1 : 0;
}

void Look_FreeAll(void)
{
    for (TrLook &l : g_looks)
        free_material(l.material);
    g_looks.clear();
    g_pieceLists.clear();
    for (br_material *m : g_extra)
        free_material(m);
    g_extra.clear();
    // The tables stay registered; the 3D instance that owns them may end after this.
    for (br_pixelmap *&t : g_shades)
        t = nullptr;
}

int32_t Look_Count(void)
{
    return (int32_t)g_looks.size();
}

const TrLook *Look_At(int32_t index)
{
    return index >= 0 && index < (int32_t)g_looks.size() ? &g_looks[(size_t)index] : nullptr;
}

const TrLook *Look_Find(int32_t type, int32_t variant)
{
    const TrLook *l = find_exact(type, variant & ~4);
    // A variant without a look of its own (the ring's numbered ones) shows the type's first.
    if (l == nullptr)
        l = find_exact(type, 0);
    if (l == nullptr || (variant & 4) == 0)
        return l;
    g_dark = *l;
    for (int i = 0; i < 4; i++)
        g_darkLighting[i] = l->lighting[i] * (i < 3 ? 0.8f : 1.0f);
    g_dark.lighting = g_darkLighting;
    return &g_dark;
}

br_material *Look_Material(int32_t type, int32_t variant)
{
    const TrLook *l = Look_Find(type, variant);
    return l != nullptr ? l->material : nullptr;
}

int32_t Look_NextVariant(int32_t type, int32_t variant)
{
    return find_exact(type, variant + 1) != nullptr ? variant + 1 : 0;
}

void Look_PlaceActor(TrElem *e)
{
    if (e == nullptr || e->actor == nullptr)
        return;
    const EIo *io = e->io;
    br_matrix34 *m = &e->actor->t.t.mat;
    BrMatrix34Identity(m);
    if (io->type >= TY_BALL_LIMIT && io->direction >= 0 && io->direction < 4)
        BrMatrix34RotateY(m, (br_angle)(io->direction * 16384));
    BrMatrix34PostTranslate(m, io->x * 0.1f, io->y * 0.055f, io->z * 0.1f);
}

br_actor *Look_MakeActorsIn(TrPalya *field, TrElem *e)
{
    if (e == nullptr || e->io == nullptr)
        return nullptr;
    const EIo *io = e->io;
    const TrLook *look = Look_Find(io->type, io->variant);
    if (look == nullptr) {
        TrWarning("No appearance defined for elem type %d", io->type);
        return nullptr;
    }
    br_actor *a;
    if (look->pieces > 0) {
        a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        a->material = actor_material(look);
        for (int i = 0; i < look->pieces; i++) {
            br_actor *p = BrActorAdd(a, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
            p->model = look->pieceModels[i];
        }
    } else {
        a = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
        a->model = look->model;
        if (io->y == 0 && (io->flags & EF_SAMPLE) == 0 && inside(field, io))
            a->model = plate_of(a->model);
        a->material = actor_material(surface_look(io, look));
    }
    auto *link = new TrActorLink{nullptr, e};
    g_links.insert(link);
    a->user = link;
    e->actor = a;
    e->markerActor = nullptr;
    Look_PlaceActor(e);
    if (io->type < TY_BALL_LIMIT) {
        int cls = (io->flags & EF_LEVEL_PART) == 0 ? 0 : (io->flags & EF_DIR_LOCKED) != 0 ? 2 : 1;
        Look_MakeArrow(e, TY_MARKER_ARROW, cls);
    }
    return a;
}

br_actor *Look_MakeActors(TrElem *e)
{
    return Look_MakeActorsIn(TrGetShell()->field, e);
}

void Look_MakeArrow(TrElem *e, int32_t type, int32_t variant)
{
    if (e == nullptr || e->actor == nullptr)
        return;
    const TrLook *look = Look_Find(type, variant);
    if (look == nullptr)
        return;
    br_actor *arrow = BrActorAdd(e->actor, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    arrow->material = copy_material(look->material);
    e->markerActor = arrow;
    Look_RefreshArrow(e);
}

void Look_RefreshArrow(TrElem *e)
{
    if (e == nullptr || e->markerActor == nullptr)
        return;
    const int32_t dir = e->io->direction;
    br_actor *arrow = e->markerActor;
    arrow->model = Model_Get(dir == TR_DIR_UNSET ? "picinyil.mod" : "nyil.mod", 0);
    // The arrow lies on the floor under the ball and points along its start direction
    // (0 -z, 1 -x, 2 +z, 3 +x); it is drawn along +z.
    static const int kTurn[4] = {32768, 49152, 0, 16384};
    br_matrix34 *m = &arrow->t.t.mat;
    BrMatrix34Identity(m);
    if (dir >= 0 && dir < 4)
        BrMatrix34RotateY(m, (br_angle)kTurn[dir]);
    BrMatrix34PostTranslate(m, 0, -0.026f, 0);
}

void Look_Refresh(TrElem *e)
{
    if (e == nullptr || e->actor == nullptr || e->actor->material == nullptr)
        return;
    const TrLook *look = Look_Find(e->io->type, e->io->variant);
    if (look == nullptr)
        return;
    look = surface_look(e->io, look);
    br_material *m = e->actor->material;
    m->colour_map = look->material->colour_map;
    m->colour = surface_colour(look->colour, m->colour_map);
    m->ka = look->lighting[0];
    m->ks = look->lighting[1];
    m->kd = look->lighting[2];
    m->power = look->lighting[3];
    BrMaterialUpdate(m, BR_MATU_ALL);
}

void Look_SetMaterialOf(int32_t type, TrElem *e)
{
    // Only what stands above the ground or lies in the catalogue: ground tiles keep their plates.
    if (e == nullptr || e->actor == nullptr || (e->io->y == 0 && (e->io->flags & EF_SAMPLE) == 0))
        return;
    const TrLook *look = Look_Find(type, e->io->variant);
    if (look == nullptr || look->pieces > 0)
        return;
    free_material(e->actor->material);
    e->actor->material = actor_material(look);
}

void Look_SetMaterial(TrElem *e)
{
    if (e != nullptr)
        Look_SetMaterialOf(e->io->type, e);
}

void Look_FreeActors(TrElem *e)
{
    if (e == nullptr || e->actor == nullptr)
        return;
    if (e->markerActor != nullptr) {
        free_material(e->markerActor->material);
        BrActorRemove(e->markerActor);
        BrActorFree(e->markerActor);
        e->markerActor = nullptr;
    }
    br_actor *a = e->actor;
    auto *link = static_cast<TrActorLink *>(a->user);
    if (link != nullptr && g_links.erase(link) != 0)
        delete link;
    a->user = nullptr;
    free_actor_tree_materials(a);
    if (a->parent != nullptr)
        BrActorRemove(a);
    BrActorFree(a);
    e->actor = nullptr;
}

TrElem *Look_ElemOfActor(br_actor *a)
{
    for (; a != nullptr; a = a->parent) {
        auto *link = static_cast<TrActorLink *>(a->user);
        if (link != nullptr && g_links.count(link) != 0)
            return link->elem;
    }
    return nullptr;
}

}  // extern "C"
