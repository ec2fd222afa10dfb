// The current field: loading and releasing it, its scene, cells, adding and removing elements, the
// placement of their actors, and the supplied pieces of the game and the editor.
#include <stdlib.h>
#include <string.h>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>

#include "terrow/trfield.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"

namespace {

TrPalya *g_current = nullptr;
TrPlayHooks g_hooks{};
TrPlayMode g_mode{1, 0, 0, 0, 0, nullptr, {nullptr, nullptr}};

constexpr br_angle kQuarter = 16380;  // 90 degrees at 182 units a degree
constexpr int kSideOffsets[6][3] = {{0, 0, 1}, {0, 0, -1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};

bool under_selection(const br_actor *a, bool sample)
{
    if (a == nullptr || a->parent == nullptr)
        return false;
    if (a->parent == g_mode.selectionParents[0])
        return a->parent != nullptr;
    return sample && a->parent == g_mode.selectionParents[1] && a->parent != nullptr;
}

bool opaque(TrElem *e)
{
    if (g_hooks.lookOpaque != nullptr)
        return g_hooks.lookOpaque(e) != 0;
    if (e->actor != nullptr && e->actor->material != nullptr)
        return e->actor->material->opacity >= 255;
    return e->io->type != TY_G_GUMI;
}

void detach(TrElem *e)
{
    if (e->markerActor != nullptr && e->markerActor->parent != nullptr)
        BrActorRemove(e->markerActor);
    if (e->actor != nullptr && e->actor->parent != nullptr)
        BrActorRemove(e->actor);
}

void hang(TrElem *e, br_actor *opaqueParent, br_actor *translucentParent)
{
    if (e->actor == nullptr)
        return;
    br_actor *parent = opaque(e) ? opaqueParent : translucentParent;
    if (e->actor->parent != nullptr && e->actor->parent != parent)
        BrActorRemove(e->actor);
    if (parent != nullptr && e->actor->parent == nullptr)
        BrActorAdd(parent, e->actor);
    if (e->markerActor != nullptr && e->markerActor->parent == nullptr)
        BrActorAdd(e->actor, e->markerActor);
}

// Takes the element's actors out of the scene and gives its look back.
void drop_look(TrElem *e)
{
    detach(e);
    // A timed action still moving one of these actors (a fly-in under way) goes first.
    if (e->actor != nullptr)
        TrActionFreeForActor(e->actor);
    if (e->markerActor != nullptr)
        TrActionFreeForActor(e->markerActor);
    if (g_hooks.lookFree != nullptr) {
        g_hooks.lookFree(e);
    } else {
        if (e->markerActor != nullptr)
            BrActorFree(e->markerActor);
        if (e->actor != nullptr)
            BrActorFree(e->actor);
    }
    e->markerActor = nullptr;
    e->actor = nullptr;
}

void make_look(TrElem *e)
{
    if (g_hooks.lookMake != nullptr)
        g_hooks.lookMake(e);
}

void refresh_look(TrElem *e)
{
    if (g_hooks.lookRefresh != nullptr)
        g_hooks.lookRefresh(e);
}

TrElem *ball_on(const TrElem *e)
{
    TrElem *above = Palya_Above(e);
    return above != nullptr && (above->io->flags & EF_BALL) ? above : nullptr;
}

// A saved position's piece enters the current field as the player would put it there: added in a
// free cell, hung into the scene, placed and taken from the supply. Other fields just take it.
void place_user(TrPalya *field, TrElem *elem)
{
    if (field != g_current) {
        Palya_AddElem(field, elem);
        return;
    }
    // In the game a piece comes out of the supply: one the field does not hand out (a position
    // saved before the field changed, or a damaged file) stays out as well.
    const bool unsupplied = g_mode.game && Supply_Get(elem->io->type, elem->io->direction) < 1;
    if (unsupplied || Palya_FindCell(field, elem->io->x, elem->io->y, elem->io->z) != nullptr) {
        Elem_Free(elem);
        return;
    }
    const EIo io = *elem->io;
    Elem_Free(elem);
    if (TrElem *e = Palya_Add(io.x, io.y, io.z, io.direction, io.type, 0, io.variant)) {
        e->io->flags = io.flags & ~(EF_SAMPLE | EF_SELECTED);
        Supply_Take(io.type, io.direction);
    }
}

// Takes the current field out of the scene; `keep` leaves the record itself alone (it is installed
// again). The window shows the current field: it never holds on to one that went.
void release_field(bool keep = false)
{
    if (g_current == nullptr)
        return;
    if (TrSimGet()->runActive) {
        TrSimGet()->runActive = 0;
        Sim_Stop();
    }
    for (int32_t i = 0; i < g_current->count; i++)
        drop_look(g_current->elements[i]);
    if (!keep) {
        if (TrGetShell()->field == g_current)
            TrGetShell()->field = nullptr;
        Palya_Free(g_current);
    }
    g_current = nullptr;
}

void remove_without_mark(TrElem *e)
{
    const int was = Palya_SuppressChangeMark(1);
    Palya_RemoveElem(g_current, e);
    Palya_SuppressChangeMark(was);
}

}  // namespace

extern "C" {

TrPlayHooks TrSetPlayHooks(const TrPlayHooks *hooks)
{
    const TrPlayHooks old = g_hooks;
    g_hooks = hooks != nullptr ? *hooks : TrPlayHooks{};
    return old;
}

const TrPlayHooks *TrPlayHooksGet(void)
{
    return &g_hooks;
}

TrPlayMode *TrPlayModeGet(void)
{
    return &g_mode;
}

TrPalya *Palya_Current(void)
{
    return g_current;
}

TrElem *Palya_Identity(TrElem *elem)
{
    return elem;
}

}  // extern "C"

namespace {

bool shown_in_window()
{
    return g_current != nullptr && TrGetShell()->field == g_current;
}

int install(TrPalya *field, br_actor *opaqueParent, br_actor *translucentParent, br_actor *fieldRoot, bool shown)
{
    release_field(field == g_current);
    if (field == nullptr)
        field = Palya_New();
    g_current = field;
    // A field shown in the window is followed there by the one that replaces it.
    if (shown)
        TrGetShell()->field = field;
    Palya_SetUserPlace(place_user);
    // The ball list is the loader's; looks and parents are built here.
    for (int32_t i = 0; i < field->count; i++)
        make_look(field->elements[i]);
    Palya_AttachAll(opaqueParent, translucentParent);
    Palya_PlaceAll();
    if (fieldRoot != nullptr) {
        fieldRoot->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34Translate(&fieldRoot->t.t.mat, -field->extentX * 0.05f, 0.055f, -field->extentZ * 0.05f);
    }
    for (int32_t i = 0; i < field->count; i++)
        refresh_look(field->elements[i]);
    Supply_Clear();
    if (g_mode.game) {
        Palya_TakeBackSupplied();
    } else {
        if ((field->levelFlags & LF_SECRET) && !g_mode.secret)
            Palya_RemoveSupplied();
        Palya_CountSupplied();
    }
    field->levelFlags &= ~LF_SECRET;
    return 1;
}

}  // namespace

extern "C" {

int Palya_Install(TrPalya *field, br_actor *opaqueParent, br_actor *translucentParent, br_actor *fieldRoot)
{
    return install(field, opaqueParent, translucentParent, fieldRoot, shown_in_window());
}

int Palya_Replace(const char *path, br_actor *opaqueParent, br_actor *translucentParent, br_actor *fieldRoot)
{
    const bool shown = shown_in_window();
    release_field();
    TrPalya *field = path != nullptr ? Palya_FOpenLoad(path) : nullptr;
    return install(field, opaqueParent, translucentParent, fieldRoot, shown);
}

int Palya_ReplaceDefault(br_actor *opaqueParent, br_actor *translucentParent, br_actor *fieldRoot)
{
    return Palya_Install(Palya_New(), opaqueParent, translucentParent, fieldRoot);
}

void Palya_Release(void)
{
    release_field();
}

TrElem *Palya_FindCell(const TrPalya *field, int32_t x, int32_t y, int32_t z)
{
    if (field == nullptr || x < 0 || x >= field->extentX || z < 0 || z >= field->extentZ || y < 0)
        return nullptr;
    for (int32_t i = 0; i < field->count; i++) {
        const EIo *io = field->elements[i]->io;
        if (io->x == x && io->y == y && io->z == z)
            return field->elements[i];
    }
    return nullptr;
}

void Palya_SideOffset(int32_t side, int32_t *dx, int32_t *dy, int32_t *dz)
{
    const int *o = side >= 0 && side < 6 ? kSideOffsets[side] : kSideOffsets[4];
    *dx = o[0];
    *dy = o[1];
    *dz = o[2];
}

int Palya_CellFree(const TrElem *elem, int32_t side)
{
    if (g_current == nullptr || elem == nullptr)
        return 0;
    int32_t dx, dy, dz;
    Palya_SideOffset(side, &dx, &dy, &dz);
    const int32_t x = elem->io->x + dx, y = elem->io->y + dy, z = elem->io->z + dz;
    if (x < 0 || x >= g_current->extentX || z < 0 || z >= g_current->extentZ || y < 0 || y >= TR_LAYERS)
        return 0;
    return Palya_FindCell(g_current, x, y, z) == nullptr;
}

TrElem *Palya_Above(const TrElem *elem)
{
    return elem != nullptr ? Palya_FindCell(g_current, elem->io->x, elem->io->y + 1, elem->io->z) : nullptr;
}

int Palya_AboveFree(const TrElem *elem)
{
    return Palya_CellFree(elem, 4);
}

int Palya_TwoAboveFree(const TrElem *elem)
{
    if (!Palya_AboveFree(elem) || elem->io->y + 2 >= TR_LAYERS)
        return 0;
    return Palya_FindCell(g_current, elem->io->x, elem->io->y + 2, elem->io->z) == nullptr;
}

int Palya_AboveIsLevelPart(const TrElem *elem)
{
    const TrElem *above = Palya_Above(elem);
    return above != nullptr && (above->io->flags & EF_LEVEL_PART) ? 1 : 0;
}

TrElem *Palya_Add(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, int levelPart, int32_t variant)
{
    if (g_current == nullptr || x < 0 || z < 0 || y < 0 || x >= TR_CELLS_XZ || z >= TR_CELLS_XZ || y >= TR_LAYERS ||
        !Elem_TypeStorable(type))
        return nullptr;
    for (int32_t i = 0; i < g_current->count; i++) {
        const EIo *io = g_current->elements[i]->io;
        if (io->x == x && io->y == y && io->z == z)
            return nullptr;
    }
    if (!Elem_VariantKnown(type, variant))
        variant = 0;
    TrElem *e = Elem_NewV(x, y, z, direction, type, Elem_ClassOf(type) | (levelPart ? EF_LEVEL_PART : 0u), variant);
    Palya_AddElem(g_current, e);
    make_look(e);
    hang(e, g_current->opaqueParent, g_current->translucentParent);
    Palya_Place(e, 1);
    return e;
}

TrElem *Palya_AddAbove(const TrElem *elem, int32_t direction, int32_t type, int levelPart)
{
    return Palya_AddNext(elem, direction, type, levelPart, 4);
}

TrElem *Palya_AddNext(const TrElem *elem, int32_t direction, int32_t type, int levelPart, int32_t side)
{
    if (!Palya_CellFree(elem, side))
        return nullptr;
    int32_t dx, dy, dz;
    Palya_SideOffset(side, &dx, &dy, &dz);
    const int32_t variant = !levelPart && (type == TY_T_LEJTO || type == TY_T_SAROK || type == TY_T_SIMA ||
                                           type == TY_T_INDITO)
                                ? 1
                                : 0;
    return Palya_Add(elem->io->x + dx, elem->io->y + dy, elem->io->z + dz, direction, type, levelPart, variant);
}

int Palya_Move(TrElem *elem, const TrElem *target, int32_t side)
{
    if (!Palya_CellFree(target, side))
        return 0;
    int32_t dx, dy, dz;
    Palya_SideOffset(side, &dx, &dy, &dz);
    elem->io->x = target->io->x + dx;
    elem->io->y = target->io->y + dy;
    elem->io->z = target->io->z + dz;
    if (g_current != nullptr && Palya_IndexOf(g_current, elem) >= 0) {
        Palya_Compact(g_current);
        Palya_MarkChanged(g_current);
    }
    Palya_Place(elem, 1);
    return 1;
}

void Palya_Remove(TrElem *elem)
{
    if (g_current == nullptr || elem == nullptr)
        return;
    TrElem *ball = ball_on(elem);
    drop_look(elem);
    Palya_RemoveElem(g_current, elem);
    if (ball != nullptr)
        Palya_Place(ball, 1);
}

void Palya_Place(TrElem *elem, int inField)
{
    br_actor *a = elem->actor;
    const EIo *io = elem->io;
    const bool ball = (io->flags & EF_BALL) != 0;
    const bool sample = !inField;
    if (a != nullptr) {
        br_matrix34 *m = &a->t.t.mat;
        a->t.type = BR_TRANSFORM_MATRIX34;
        if (sample && ball)
            BrMatrix34Scale(m, 1.4285714f, 1.4285714f, 1.4285714f);
        else
            BrMatrix34Identity(m);
        const int32_t dir = io->direction >= 0 && io->direction < 4 ? io->direction : 0;
        BrMatrix34PostRotateY(m, br_angle(dir * kQuarter));
        if (under_selection(a, sample))
            BrMatrix34PostRotateX(m, kQuarter);
        if (inField)
            BrMatrix34PostTranslate(m, 0.05f + 0.1f * io->x, -0.0275f + 0.055f * io->y + (ball ? 0.0075f : 0.0f),
                                    0.05f + 0.1f * io->z);
        else
            BrMatrix34PostTranslate(m, 0.1f * io->x, 0.1f * io->y, 0.1f * io->z);
    }
    if (ball && io->type != TY_G_UVEG && inField && g_hooks.shadowUpdate != nullptr)
        g_hooks.shadowUpdate(elem);
    refresh_look(elem);
    if (elem->markerActor != nullptr) {
        elem->markerActor->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34Translate(&elem->markerActor->t.t.mat, 0.0f, 0.077f, 0.0f);
    }
}

void Palya_PlaceAll(void)
{
    if (g_current != nullptr)
        for (int32_t i = 0; i < g_current->count; i++)
            Palya_Place(g_current->elements[i], 1);
}

void Palya_AttachAll(br_actor *opaqueParent, br_actor *translucentParent)
{
    if (g_current == nullptr)
        return;
    g_current->opaqueParent = opaqueParent;
    g_current->translucentParent = translucentParent;
    for (int32_t i = 0; i < g_current->count; i++)
        hang(g_current->elements[i], opaqueParent, translucentParent);
}

void Palya_Reattach(TrElem *elem)
{
    if (g_current != nullptr && elem != nullptr)
        hang(elem, g_current->opaqueParent, g_current->translucentParent);
}

void Palya_BallsNeededAdd(int32_t delta)
{
    if (g_current == nullptr)
        return;
    int32_t v = delta == 0 ? 1 : g_current->ballsNeeded + delta;
    if (v < 1)
        v = 1;
    if (v > TR_BALLS_NEEDED_MAX)
        v = TR_BALLS_NEEDED_MAX;
    g_current->ballsNeeded = v;
    Palya_MarkChanged(g_current);
}

int32_t Palya_BallsNeeded(void)
{
    if (g_current == nullptr || g_current->ballsNeeded < 1)
        return 1;
    return g_current->ballsNeeded;
}

int Palya_AllDirectionsSet(void)
{
    if (g_current != nullptr)
        for (int32_t i = 0; i < g_current->count; i++)
            if (g_current->elements[i]->io->direction == TR_DIR_UNSET)
                return 0;
    return 1;
}

int32_t Palya_CountSunk(void)
{
    int32_t n = 0;
    if (g_current != nullptr)
        for (const TrNode *b = g_current->balls; b != nullptr; b = b->next) {
            const uint32_t f = static_cast<const TrElem *>(b->item)->io->flags;
            if ((f & EF_BALL) && (f & EF_SUNK))
                n++;
        }
    return n;
}

int Palya_HasBalls(void)
{
    return g_current != nullptr && g_current->balls != nullptr;
}

int Palya_HasStart(void)
{
    if (g_current != nullptr)
        for (int32_t i = 0; i < g_current->count; i++)
            if (g_current->elements[i]->io->type == TY_T_INDITO)
                return 1;
    return 0;
}

int Palya_SaveCurrent(const char *path)
{
    if (g_current == nullptr || !Palya_FSave(path, g_current))
        return 0;
    g_current->levelFlags &= ~LF_SECRET;
    return 1;
}

int Palya_SaveCurrentUser(const char *path)
{
    return g_current != nullptr && Palya_FSaveUser(path, g_current);
}

int Palya_LoadCurrentUser(const char *path)
{
    return g_current != nullptr ? Palya_FOpenLoadUser(path, g_current) : 0;
}

void Palya_TakeBackSupplied(void)
{
    if (g_current == nullptr)
        return;
    for (int32_t i = g_current->count - 1; i >= 0; i--) {
        TrElem *e = g_current->elements[i];
        EIo *io = e->io;
        if (!(io->flags & EF_LEVEL_PART)) {
            Supply_Add(io->type, io->direction);
            drop_look(e);
            remove_without_mark(e);
            continue;
        }
        // A fixed ball whose direction the player may set starts without one.
        if ((io->flags & EF_BALL) && !(io->flags & EF_DIR_LOCKED)) {
            io->direction = TR_DIR_UNSET;
            Palya_Place(e, 1);
        }
    }
}

void Palya_FlyInAll(void)
{
    if (g_current == nullptr || g_hooks.flyIn == nullptr)
        return;
    for (int32_t i = 0; i < g_current->count; i++)
        if (g_current->elements[i]->io->y > 0)
            g_hooks.flyIn(g_current->elements[i]);
}

void Palya_RemoveSupplied(void)
{
    if (g_current == nullptr)
        return;
    for (int32_t i = g_current->count - 1; i >= 0; i--) {
        TrElem *e = g_current->elements[i];
        if (!(e->io->flags & EF_LEVEL_PART)) {
            drop_look(e);
            Palya_RemoveElem(g_current, e);
        }
    }
    TrWarningNoFlag("%s", TrMessage(53));
}

void Palya_CountSupplied(void)
{
    if (g_current == nullptr)
        return;
    for (int32_t i = 0; i < g_current->count; i++) {
        const EIo *io = g_current->elements[i]->io;
        if (!(io->flags & EF_LEVEL_PART))
            Supply_Add(io->type, io->direction);
    }
}

void Palya_ClearToFloor(void)
{
    if (g_current == nullptr)
        return;
    for (int32_t i = g_current->count - 1; i >= 0; i--) {
        TrElem *e = g_current->elements[i];
        if (e->io->y > 0) {
            drop_look(e);
            Palya_RemoveElem(g_current, e);
        }
    }
    for (int32_t i = 0; i < g_current->count; i++) {
        TrElem *e = g_current->elements[i];
        EIo *io = e->io;
        if (io->type == TY_T_SIMA)
            continue;
        if (io->flags & EF_BALL)
            g_current->balls = Node_RemoveItem(g_current->balls, e);
        io->type = TY_T_SIMA;
        io->variant = 1;
        io->flags = EF_NOT_BALL | EF_LEVEL_PART;
        io->direction = 0;
        drop_look(e);
        make_look(e);
        hang(e, g_current->opaqueParent, g_current->translucentParent);
        Palya_Place(e, 1);
    }
    Palya_MarkChanged(g_current);
    g_current->levelFlags = 0;
    Supply_Clear();
}

void Palya_MarkerBlink(int32_t state)
{
    if (g_current == nullptr)
        return;
    if (state == 0 && g_hooks.markerMaterialShift != nullptr)
        g_hooks.markerMaterialShift(0.2f);
    if (state == 4 && g_hooks.markerMaterialShift != nullptr)
        g_hooks.markerMaterialShift(-0.2f);
    for (int32_t i = 0; i < g_current->count; i++) {
        TrElem *e = g_current->elements[i];
        if (e->io->direction != TR_DIR_UNSET)
            continue;
        if (g_hooks.markerModel != nullptr)
            g_hooks.markerModel(e, state < 4 ? 1 : 0);
        e->io->direction = state < 4 ? state : TR_DIR_UNSET;
        Palya_Place(e, 1);
        e->io->direction = TR_DIR_UNSET;
    }
}

}  // extern "C"
