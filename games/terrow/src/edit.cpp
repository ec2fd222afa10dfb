// The mouse work on the field: the editor's side rule, fixed and supplied pieces, the hand, hover and
// highlight, the clicks of the game and of the editor, the direction mode and the right-drag orbit.
#include "terrow/tredit.h"

#include <cmath>
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>

#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "terrow/trtoolbar.h"

namespace {

constexpr int32_t kFaceSide[12] = {4, 4, 3, 3, 1, 1, 2, 2, 0, 0, 5, 5};
constexpr float kDirRadius = 70.0f;
constexpr int32_t kSupplyMax = 9;

TrEditHooks g_hooks{};

br_angle deg(int32_t degrees)
{
    return br_angle(int32_t(std::lround(degrees * 182.0444))); // a whole turn is 65536
}

struct EditState {
    TrElem *hand = nullptr;        // the catalogue item carried
    TrElem *handElem = nullptr;    // the element made for the hand (its actor is the hand model)
    int32_t handHidden = 0;        // 1 while the cursor shows the carried type
    TrElem *hover = nullptr;
    br_actor *lastActor = nullptr;
    int32_t lastSide = -1;
    int32_t arrowHover = 0;
    int32_t freshBall = 0;
    int32_t lastDirection = 0;
    int32_t dragArmed = 0;
    int32_t pressX = 0, pressY = 0;
    int32_t reHover = 0;
    TrElem *dirElem = nullptr;
    int32_t dirMode = 0;
    int32_t dirX = 0, dirY = 0;
    float dirRadius = kDirRadius;
    int32_t orbitDrag = 0;
    int32_t orbitX = 0, orbitY = 0;
    int32_t mouseX = 0, mouseY = 0; // where the mouse was last seen
    int32_t cursorDirection = 0;    // the direction the hand's cursor was last given
};
EditState g;

TrElem *g_markers[4] = {};
br_actor *g_marker_group = nullptr;

const TrPlayHooks &play()
{
    static const TrPlayHooks none{};
    const TrPlayHooks *h = TrPlayHooksGet();
    return h != nullptr ? *h : none;
}

void sound(int id)
{
    if (play().sound != nullptr)
        play().sound(id);
}

void status(const char *text)
{
    if (play().status != nullptr)
        play().status(text != nullptr ? text : "", 0);
}

void refresh(TrElem *e)
{
    if (e != nullptr && play().lookRefresh != nullptr)
        play().lookRefresh(e);
}

void tooltip(const char *text, int32_t x, int32_t y)
{
    if (g_hooks.tooltip != nullptr)
        g_hooks.tooltip(text, x, y);
}

void cursor(int32_t code, int32_t direction)
{
    if (g_hooks.cursor != nullptr)
        g_hooks.cursor(code, direction);
    else
        TrSetCursor(code, direction);
}

bool game()
{
    return TrPlayModeGet()->game != 0;
}

bool editing_allowed()
{
    return !TrSimGet()->runActive;
}

bool is_sample(const TrElem *e)
{
    return e != nullptr && (e->io->flags & EF_SAMPLE) != 0;
}

bool is_ball_type(int32_t type)
{
    return type >= 0 && type < TY_BALL_LIMIT;
}

bool fixed(const TrElem *e)
{
    return (e->io->flags & EF_LEVEL_PART) != 0;
}

bool in_field(const TrElem *e)
{
    const TrPalya *f = Palya_Current();
    return f != nullptr && e != nullptr && Palya_IndexOf(f, e) >= 0;
}

TrElem *below(const TrElem *e)
{
    return Palya_FindCell(Palya_Current(), e->io->x, e->io->y - 1, e->io->z);
}

int32_t current_tool()
{
    return g_hooks.tool != nullptr ? g_hooks.tool() : TrToolCurrent();
}

TrElem *default_pick(int32_t x, int32_t y, br_actor **actor, int32_t *face)
{
    TrPickResult *r = Pick_Record(x, y);
    *actor = r != nullptr ? r->actor : nullptr;
    *face = r != nullptr ? r->face : -1;
    return *actor != nullptr ? Look_ElemOfActor(*actor) : nullptr;
}

// A pick that never sees the hand model: its actor type is none for the pick and put back after.
TrElem *pick(int32_t x, int32_t y, br_actor **actor, int32_t *face)
{
    br_actor *hand = g.handElem != nullptr ? g.handElem->actor : nullptr;
    const uint8_t type = hand != nullptr ? hand->type : 0;
    if (hand != nullptr)
        hand->type = BR_ACTOR_NONE;
    br_actor *a = nullptr;
    int32_t f = -1;
    TrElem *e = (g_hooks.pick != nullptr ? g_hooks.pick : default_pick)(x, y, &a, &f);
    if (hand != nullptr)
        hand->type = type;
    if (actor != nullptr)
        *actor = a;
    if (face != nullptr)
        *face = f;
    return e;
}

bool is_cube(const TrElem *e)
{
    if (g_hooks.isCube != nullptr)
        return g_hooks.isCube(e) != 0;
    return e->actor != nullptr && e->actor->model != nullptr && e->actor->model == Model_Get("kocka.mod", 0);
}

void restore_look(TrElem *e)
{
    if (e == nullptr)
        return;
    e->io->flags &= ~EF_SELECTED;
    if (e->actor != nullptr && e->actor->material != nullptr && (is_sample(e) || e->io->y > 0 || in_field(e)))
        refresh(e);
}

bool near_element(int32_t x, int32_t y)
{
    const int32_t pts[4][2] = {{x - 7, y}, {x + 7, y}, {x, y - 7}, {x, y + 7}};
    for (const auto &p : pts)
        if (pick(p[0], p[1], nullptr, nullptr) != nullptr)
            return true;
    return false;
}

void hide_hand_model(bool hidden)
{
    g.handHidden = hidden ? 1 : 0;
    if (g.handElem != nullptr && g.handElem->actor != nullptr)
        g.handElem->actor->render_style = hidden ? BR_RSTYLE_NONE : BR_RSTYLE_DEFAULT;
}

// The hand model stands on the neighbour cell of the target's side.
void move_hand(const TrElem *target, int32_t side)
{
    if (g.handElem == nullptr || g.reHover || !Palya_CellFree(target, side))
        return;
    int32_t dx, dy, dz;
    Palya_SideOffset(side, &dx, &dy, &dz);
    g.handElem->io->x = target->io->x + dx;
    g.handElem->io->y = target->io->y + dy;
    g.handElem->io->z = target->io->z + dz;
    if (g.handElem->actor != nullptr) {
        TrPalya *f = Palya_Current();
        if (f != nullptr && f->opaqueParent != nullptr && g.handElem->actor->parent != f->opaqueParent) {
            if (g.handElem->actor->parent != nullptr)
                BrActorRemove(g.handElem->actor);
            BrActorAdd(f->opaqueParent, g.handElem->actor);
        }
    }
    Palya_Place(g.handElem, 1);
}

TrElem *catalogue_item(const TrElem *e)
{
    const int32_t dir = e->io->type == TY_T_MAGNES ? 0 : e->io->direction;
    return TrCatalogueFind(e->io->type, dir < 0 || dir > 3 ? 0 : dir);
}

void make_markers()
{
    if (g_marker_group != nullptr)
        return;
    g_marker_group = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    for (int32_t k = 0; k < 4; k++) {
        g_markers[k] = Elem_NewV(0, 0, 0, k, TY_MARKER_ARROW, EF_NOT_BALL, 0);
        if (g_markers[k] == nullptr)
            continue;
        if (play().lookMake != nullptr)
            play().lookMake(g_markers[k]);
        br_actor *a = g_markers[k]->actor;
        if (a != nullptr && g_marker_group != nullptr) {
            BrActorAdd(g_marker_group, a);
            // Each marker stands out from the element towards its direction (0 -z, 1 -x, 2 +z, 3 +x).
            const float off[4][2] = {{0.0f, -0.07f}, {-0.07f, 0.0f}, {0.0f, 0.07f}, {0.07f, 0.0f}};
            a->t.type = BR_TRANSFORM_MATRIX34;
            BrMatrix34RotateY(&a->t.t.mat, deg(90 * k));
            BrMatrix34PostTranslate(&a->t.t.mat, off[k][0], 0.04f, off[k][1]);
        }
    }
}

void free_markers()
{
    for (auto &m : g_markers) {
        if (m == nullptr)
            continue;
        if (m->actor != nullptr && m->actor->parent != nullptr)
            BrActorRemove(m->actor);
        if (play().lookFree != nullptr)
            play().lookFree(m);
        else if (m->actor != nullptr)
            BrActorFree(m->actor);
        m->actor = nullptr;
        Elem_Free(m);
        m = nullptr;
    }
    if (g_marker_group != nullptr) {
        if (g_marker_group->parent != nullptr)
            BrActorRemove(g_marker_group);
        BrActorFree(g_marker_group);
    }
    g_marker_group = nullptr;
}

int32_t ball_class(const TrElem *e)
{
    if (!fixed(e))
        return 0;
    return (e->io->flags & EF_DIR_LOCKED) ? 2 : 1;
}

void dir_click(TrElem *clicked)
{
    TrElem *e = g.dirElem;
    if (clicked != nullptr && clicked->io->type == TY_MARKER_ARROW && e != nullptr) {
        int32_t key = clicked->io->direction & 3;
        if (!game() && e->io->type == TY_T_MAGNES)
            key = (key + 2) % 4;
        e->io->direction = key;
        Palya_MarkChanged(Palya_Current());
        Palya_Place(e, 1);
    }
    Dir_End(e);
}

// Step 4 of both clicks: a toolbar button under the point; 1 when it took the click.
bool toolbar_press(int32_t x, int32_t y)
{
    if (g_hooks.toolbarPress != nullptr)
        return g_hooks.toolbarPress(x, y, g.hand != nullptr) != 0;
    TrButton *b = TrButtonEnabledAt(x, y);
    if (b == nullptr || (g.hand != nullptr && !TrToolbarWorksWithHand(b)))
        return false;
    status(nullptr);
    TrButtonPress(b, TrGetShell()->screenPix);
    return true;
}

void rehover(int32_t x, int32_t y, bool keepHand)
{
    g.reHover = keepHand ? 1 : 0;
    Edit_Hover(x, y);
    g.reHover = 0;
}

}  // namespace

extern "C" {

void Edit_SetHooks(const TrEditHooks *hooks)
{
    g_hooks = hooks != nullptr ? *hooks : TrEditHooks{};
}

int32_t Edit_FaceSide(int32_t face)
{
    return face >= 0 && face < 12 ? kFaceSide[face] : 4;
}

br_actor *Edit_PickActor(int32_t x, int32_t y)
{
    br_actor *a = nullptr;
    pick(x, y, &a, nullptr);
    return a;
}

int32_t Edit_PickFace(int32_t x, int32_t y)
{
    int32_t f = -1;
    br_actor *a = nullptr;
    pick(x, y, &a, &f);
    return a != nullptr ? f : -1;
}

TrElem *Edit_ElemOfActor(br_actor *actor)
{
    return actor != nullptr ? Look_ElemOfActor(actor) : nullptr;
}

int32_t Edit_ChooseSide(const TrElem *target, int32_t carriedType, int32_t x, int32_t y)
{
    if (is_ball_type(carriedType) || target == nullptr || !is_cube(target))
        return 4;
    const int32_t face = Edit_PickFace(x, y);
    return face < 0 ? 4 : Edit_FaceSide(face);
}

int Edit_CheckSide(const TrElem *target, int32_t carriedType, int32_t side)
{
    Edit_SetRefusal(nullptr);
    if (target == nullptr)
        return 0;
    if (is_sample(target)) {
        Edit_SetRefusal("Ez minta");
        return 0;
    }
    if (!Palya_CellFree(target, side)) {
        Edit_SetRefusal(TrMessage(14));
        return 0;
    }
    if (is_ball_type(carriedType)) {
        if (target->io->type == TY_T_INDITO && Palya_TwoAboveFree(target))
            return 1;
        Edit_SetRefusal(TrMessage(15));
        return 0;
    }
    if (target->io->flags & EF_BALL) {
        Edit_SetRefusal(TrMessage(16));
        return 0;
    }
    return 1;
}

TrElem *Edit_PlaceOnTop(TrElem *target, int32_t direction, int32_t type)
{
    if (!Edit_CheckTop(target, type, direction)) {
        status(Edit_Refusal());
        return nullptr;
    }
    const int32_t variant = type == TY_T_LEJTO || type == TY_T_SAROK || type == TY_T_SIMA || type == TY_T_INDITO ? 1 : 0;
    TrElem *e = Palya_Add(target->io->x, target->io->y + 1, target->io->z, direction, type, 0, variant);
    refresh(e);
    return e;
}

TrElem *Edit_PlaceAtSide(TrElem *target, int32_t direction, int32_t type, int32_t x, int32_t y)
{
    const int32_t side = Edit_ChooseSide(target, type, x, y);
    if (!Edit_CheckSide(target, type, side)) {
        status(Edit_Refusal());
        return nullptr;
    }
    int32_t dx, dy, dz;
    Palya_SideOffset(side, &dx, &dy, &dz);
    return Palya_Add(target->io->x + dx, target->io->y + dy, target->io->z + dz, direction, type, 1, 0);
}

void Edit_MakeFixed(TrElem *e)
{
    if (e == nullptr || fixed(e))
        return;
    e->io->flags |= EF_LEVEL_PART;
    if (!(e->io->flags & EF_BALL)) {
        e->io->variant = 0;
        refresh(e);
    }
    Supply_Take(e->io->type, e->io->direction);
}

void Edit_MakeSupplied(TrElem *e)
{
    if (e == nullptr || !fixed(e))
        return;
    const int32_t t = e->io->type;
    if (t == TY_T_MAGNES || t == TY_T_SZOGES || t == TY_T_CEL)
        return;
    TrElem *under = below(e);
    if (under == nullptr || !Edit_CheckSupport(under, t, e->io->direction))
        return;
    // The counter's index is guarded: a piece whose direction or type has no counter stays fixed.
    if (Supply_Index(t, e->io->direction) < 0 || Supply_Get(t, e->io->direction) >= kSupplyMax)
        return;
    e->io->flags &= ~EF_LEVEL_PART;
    if (!(e->io->flags & EF_BALL)) {
        e->io->variant = 1;
        refresh(e);
    }
    Supply_Add(t, e->io->direction);
}

void Edit_FixIfUnsupported(TrElem *under, TrElem *top)
{
    if (top == nullptr)
        return;
    if (under == nullptr || !Edit_CheckSupport(under, top->io->type, top->io->direction))
        Edit_MakeFixed(top);
}

void Edit_ClearStartBall(TrElem *e)
{
    if (e == nullptr || e->io->type != TY_T_INDITO)
        return;
    TrElem *ball = Palya_Above(e);
    if (ball == nullptr || !(ball->io->flags & EF_BALL))
        return;
    if (g.hover == ball)
        g.hover = nullptr;
    if (g.dirElem == ball)
        Dir_End(ball);
    Edit_MakeFixed(ball);
    Palya_Remove(ball);
}

void Edit_CycleBall(TrElem *ball)
{
    if (ball == nullptr)
        return;
    if (!fixed(ball)) {
        Edit_MakeFixed(ball);
    } else if (!(ball->io->flags & EF_DIR_LOCKED)) {
        ball->io->flags |= EF_DIR_LOCKED;
    } else {
        ball->io->flags &= ~EF_DIR_LOCKED;
        Edit_MakeSupplied(ball);
    }
    Palya_MarkChanged(Palya_Current());
    refresh(ball);
}

void Edit_ToggleSupplied(TrElem *tile)
{
    if (tile == nullptr)
        return;
    if (!fixed(tile))
        Edit_MakeFixed(tile);
    else
        Edit_MakeSupplied(tile);
}

int32_t Edit_CursorFor(int32_t type)
{
    switch (type) {
    case TY_G_FEM: return 2;
    case TY_G_GUMI: return 7;
    case TY_G_BOMBA: return 8;
    case TY_G_UVEG: return 9;
    case TY_T_LEJTO: return 5;
    case TY_T_SAROK: return 6;
    case TY_T_MAGNES: return 10;
    case TY_T_SZOGES: return 12;
    case TY_T_CEL: return 3;
    case TY_T_INDITO: return 11;
    default: return 4;
    }
}

void Edit_SetHandCursor(int32_t direction)
{
    if (direction < 0)
        direction = g.cursorDirection;
    g.cursorDirection = direction;
    if (g.hand == nullptr) {
        cursor(0, 0);
        return;
    }
    cursor(Edit_CursorFor(g.hand->io->type), direction);
}

void Edit_TakeInHand(TrElem *item, int32_t fromField)
{
    if (item == nullptr)
        return;
    if (g.hand != nullptr)
        Edit_ReleaseHand(1);
    sound(5);
    g.hand = item;
    g.lastDirection = item->io->direction;
    const int32_t variant = item->io->variant == 2 ? 0 : item->io->variant;
    g.handElem = Elem_NewV(0, 0, 0, item->io->direction, item->io->type, Elem_ClassOf(item->io->type), variant);
    if (g.handElem != nullptr && play().lookMake != nullptr)
        play().lookMake(g.handElem);
    Edit_SetHandCursor(item->io->direction);
    hide_hand_model(true);
    br_actor *a = g.handElem != nullptr ? g.handElem->actor : nullptr;
    if (a != nullptr && item->actor != nullptr && item->actor->parent != nullptr) {
        // From where the item stands: its transform, carried to the world root, half as deep, smaller.
        BrActorAdd(item->actor->parent, a);
        a->t = item->actor->t;
        br_actor *root = item->actor->parent;
        while (root->parent != nullptr)
            root = root->parent;
        BrActorRelink(root, a);
        a->t.t.mat.m[3][2] *= 0.5f;
        BrMatrix34PreScale(&a->t.t.mat, 0.4f, 0.4f, 0.4f);
    }
    if (!fromField)
        Supply_Take(item->io->type, item->io->direction);
    g.dragArmed = 1;
    g.freshBall = 0;
}

void Edit_ReleaseHand(int32_t restock)
{
    sound(5);
    if (g.handElem != nullptr) {
        if (g.handElem->actor != nullptr) {
            g.handElem->actor->render_style = BR_RSTYLE_NONE;
            if (g.handElem->actor->parent != nullptr)
                BrActorRemove(g.handElem->actor);
        }
        if (play().lookFree != nullptr)
            play().lookFree(g.handElem);
        else if (g.handElem->actor != nullptr)
            BrActorFree(g.handElem->actor);
        g.handElem->actor = nullptr;
        g.handElem->markerActor = nullptr;
        Elem_Free(g.handElem);
        g.handElem = nullptr;
    }
    cursor(0, 0);
    if (g.hand != nullptr && !restock)
        Supply_Add(g.hand->io->type, g.hand->io->direction);
    g.hand = nullptr;
    g.handHidden = 0;
}

void Edit_DropHandOnToolChange(void)
{
    if (current_tool() >= 2 && g.hand != nullptr)
        Edit_ReleaseHand(1);
}

TrElem *Edit_Hand(void)
{
    return g.hand;
}

TrElem *Edit_HandElem(void)
{
    return g.handElem;
}

int32_t Edit_HandModelShown(void)
{
    return g.handElem != nullptr && !g.handHidden ? 1 : 0;
}

void Edit_ShowHandModel(void)
{
    cursor(0, 0);
    hide_hand_model(false);
}

void Edit_ShowHandCursor(void)
{
    Edit_SetHandCursor(-1);
    hide_hand_model(true);
}

void Edit_HandFollow(int32_t x, int32_t y)
{
    if (g.handElem == nullptr || g.handElem->actor == nullptr || !g.handHidden)
        return;
    if (g_hooks.follow != nullptr) {
        g_hooks.follow(g.handElem->actor, x, y - 10);
        return;
    }
    TrShell *s = TrGetShell();
    if (s->cameras[0] != nullptr && s->view != nullptr) {
        float p[3];
        View_PointUnderCursor(s->cameras[0], s->view, p, x, y - 10);
        g.handElem->actor->t.t.mat.m[3][0] = p[0];
        g.handElem->actor->t.t.mat.m[3][1] = p[1];
        g.handElem->actor->t.t.mat.m[3][2] = p[2];
    }
}

void Edit_Highlight(TrElem *e, float amount)
{
    if (e == nullptr || e->actor == nullptr || e->actor->material == nullptr || e->actor->render_style == 3)
        return;
    e->io->flags |= EF_SELECTED;
    if (e->markerActor == nullptr)
        g.arrowHover = 0;
    br_material *m = g.arrowHover && e->markerActor != nullptr && e->markerActor->material != nullptr
                         ? e->markerActor->material
                         : e->actor->material;
    m->ka += amount;
    BrMaterialUpdate(m, BR_MATU_ALL);
}

void Edit_ClearHover(void)
{
    if (g.hover != nullptr) {
        restore_look(g.hover);
        g.arrowHover = 0;
    }
    g.hover = nullptr;
}

void Edit_ResetHover(void)
{
    g.hover = nullptr;
    g.lastActor = nullptr;
}

TrElem *Edit_HoverElem(void)
{
    return g.hover;
}

void Edit_Hover(int32_t x, int32_t y)
{
    if (!g.reHover) {
        g.mouseX = x;
        g.mouseY = y;
    }
    br_actor *actor = nullptr;
    TrElem *e = pick(x, y, &actor, nullptr);
    if (e == g.hover && (actor == g.lastActor || is_sample(e))) {
        if (g.hand == nullptr || e == nullptr)
            return;
        const int32_t side = Edit_ChooseSide(e, g.hand->io->type, x, y);
        if (side == g.lastSide)
            return;
        g.lastSide = side;
    }
    g.lastActor = actor;
    if (g.hover != nullptr) {
        restore_look(g.hover);
        g.arrowHover = 0;
    }
    bool shown = false;
    if (e != nullptr) {
        tooltip(nullptr, x, y);
        if (g.hand == nullptr) {
            g.arrowHover = actor != e->actor && !is_sample(e) ? 1 : 0;
            if (g.arrowHover && e->io->direction == TR_DIR_UNSET)
                Dir_Switch(e);
            if (is_sample(e)) {
                if (!(e->io->flags & EF_OUT_OF_STOCK)) {
                    Edit_Highlight(e, 0.2f);
                    tooltip(Elem_TypeName(e->io->type), x, y - 12);
                }
            } else if (game() ? !fixed(e) : e->io->y != 0) {
                Edit_Highlight(e, 0.2f);
            }
        } else if (!is_sample(e)) {
            if (game()) {
                if (Edit_CheckTop(e, g.hand->io->type, g.lastDirection)) {
                    move_hand(e, 4);
                    Edit_Highlight(e, 0.2f);
                    shown = true;
                }
            } else {
                const int32_t side = Edit_ChooseSide(e, g.hand->io->type, x, y);
                g.lastSide = side;
                if (Edit_CheckSide(e, g.hand->io->type, side)) {
                    move_hand(e, side);
                    Edit_Highlight(e, 0.2f);
                    shown = true;
                }
            }
        }
    } else {
        tooltip(nullptr, x, y);
    }
    if (g.hand != nullptr) {
        if (shown)
            Edit_ShowHandModel();
        else
            Edit_ShowHandCursor();
    }
    g.hover = e;
}

void Edit_MouseMove(int32_t x, int32_t y)
{
    g.mouseX = x;
    g.mouseY = y;
    if (g.dirMode && game())
        Dir_LeaveByDistance(x, y);
    if (g.orbitDrag) {
        const int32_t dx = x - g.orbitX, dy = g.orbitY - y;
        g.orbitX = x;
        g.orbitY = y;
        if (g_hooks.orbit != nullptr)
            g_hooks.orbit(dx * 0.5f, dy * 0.5f);
    }
}

void Edit_LeftPress(int32_t x, int32_t y)
{
    g.pressX = x;
    g.pressY = y;
    g.mouseX = x;
    g.mouseY = y;
    if (game())
        Edit_GameClick(x, y);
    else
        Edit_EditorClick(x, y);
    Edit_HandFollow(x, y);
    if (g.handElem != nullptr && !g.handHidden)
        refresh(g.handElem);
}

void Edit_LeftRelease(int32_t x, int32_t y)
{
    if (g.dragArmed) {
        const double d = std::hypot(double(x - g.pressX), double(y - g.pressY));
        if (d > 10.0) {
            g.dragArmed = 0;
            Edit_LeftPress(x, y);
        }
    }
    g.dragArmed = 0;
}

void Edit_RightPress(int32_t x, int32_t y)
{
    g.orbitX = x;
    g.orbitY = y;
    g.orbitDrag = 1;
}

void Edit_OrbitEnd(void)
{
    g.orbitDrag = 0;
}

void Edit_GameClick(int32_t x, int32_t y)
{
    br_actor *actor = nullptr;
    TrElem *e = pick(x, y, &actor, nullptr);
    if (g_hooks.flyInCountdown != nullptr && g_hooks.flyInCountdown() > 0) {
        if (g_hooks.flyInFinish != nullptr)
            g_hooks.flyInFinish();
        return;
    }
    if (g.dirMode) {
        dir_click(e);
        return;
    }
    if (toolbar_press(x, y))
        return;
    if (!editing_allowed())
        return;
    if (e == nullptr) {
        if (g.hand != nullptr && !near_element(x, y))
            Edit_ReleaseHand(0);
        status(nullptr);
        return;
    }
    if (is_sample(e)) {
        Edit_SampleClick(e);
        return;
    }
    const bool arrowHit = actor != nullptr && actor != e->actor && (e->io->flags & EF_BALL);
    if (g.hand == nullptr) {
        if (!fixed(e)) {
            if (arrowHit) {
                sound(8);
                Dir_Switch(e);
                return;
            }
            TrElem *above = Palya_Above(e);
            if (above == nullptr || fixed(above)) {
                TrElem *item = catalogue_item(e);
                if (item == nullptr)
                    return;
                Edit_TakeInHand(item, 1);
                g.lastDirection = e->io->direction;
                status(nullptr);
                Edit_ClearHover();
                if (g.dirElem == e)
                    Dir_End(e);
                Palya_Remove(e);
            }
        } else if (!(e->io->flags & EF_DIR_LOCKED) && arrowHit) {
            sound(8);
            Dir_Switch(e);
        }
        return;
    }
    const int32_t carried = g.hand->io->type;
    if (is_ball_type(carried) && (e->io->flags & EF_BALL) && !fixed(e)) {
        const int32_t variant = g.hand->io->variant == 2 ? 0 : g.hand->io->variant;
        const int32_t x0 = e->io->x, y0 = e->io->y, z0 = e->io->z, dir = e->io->direction;
        Edit_ReleaseHand(1);
        TrElem *item = catalogue_item(e);
        if (item != nullptr)
            Edit_TakeInHand(item, 1);
        g.lastDirection = dir;
        Edit_ClearHover();
        if (g.dirElem == e)
            Dir_End(e);
        Palya_Remove(e);
        TrElem *made = Palya_Add(x0, y0, z0, dir, carried, 0, variant);
        refresh(made);
        return;
    }
    const int32_t dir = is_ball_type(carried) && g.freshBall ? TR_DIR_UNSET : g.lastDirection;
    TrElem *made = Edit_PlaceOnTop(e, dir, carried);
    if (made != nullptr) {
        Edit_ReleaseHand(1);
        if (made->io->flags & EF_BALL)
            Dir_Switch(made);
    }
}

void Edit_SampleClick(TrElem *e)
{
    if (e == nullptr || !is_sample(e))
        return;
    if (g.hand != nullptr) {
        const TrElem *was = g.hand;
        Edit_ReleaseHand(0);
        status(nullptr);
        if (was->io->type == e->io->type && ((was->io->flags & EF_BALL) || was->io->direction == e->io->direction))
            return;
    }
    if (Supply_Get(e->io->type, e->io->direction) != 0) {
        Edit_TakeInHand(e, 0);
        if (e->io->flags & EF_BALL)
            g.freshBall = 1;
        status(nullptr);
    } else {
        char text[200];
        snprintf(text, sizeof text, TrMessage(30), Elem_TypeName(e->io->type));
        status(text);
    }
}

void Edit_EditorClick(int32_t x, int32_t y)
{
    br_actor *actor = nullptr;
    TrElem *e = pick(x, y, &actor, nullptr);
    if (g.dirMode) {
        dir_click(e);
        return;
    }
    if (toolbar_press(x, y))
        return;
    if (!editing_allowed())
        return;
    if (e == nullptr) {
        if (g.hand != nullptr && !near_element(x, y))
            Edit_ReleaseHand(1);
        status(nullptr);
        return;
    }
    const int32_t tool = current_tool();
    if ((tool == 0 || tool == 1) && is_sample(e)) {
        if (g.hand != nullptr) {
            const TrElem *was = g.hand;
            Edit_ReleaseHand(1);
            status(nullptr);
            if (was == e)
                return;
        }
        Edit_TakeInHand(e, 1);
        status(nullptr);
        return;
    }
    if (is_sample(e))
        return;
    const bool arrowHit = actor != nullptr && actor != e->actor && (e->io->flags & EF_BALL);
    if ((tool == 0 || tool == 1) && g.hand == nullptr) {
        if (e->io->y == 0)
            return;
        if (arrowHit) {
            sound(8);
            Dir_Switch(e);
            return;
        }
        Edit_MakeFixed(e);
        TrElem *item = TrCatalogueSetVariant(e->io->type, e->io->type == TY_T_MAGNES ? 0 : e->io->direction,
                                             e->io->variant);
        if (item == nullptr)
            item = catalogue_item(e);
        if (item != nullptr) {
            refresh(item);
            Edit_TakeInHand(item, 1);
            g.lastDirection = e->io->direction;
        }
        status(nullptr);
        Edit_ClearHover();
        if (g.dirElem == e)
            Dir_End(e);
        Edit_ClearStartBall(e);
        Edit_FixIfUnsupported(nullptr, Palya_Above(e));
        Palya_Remove(e);
        rehover(x, y, true);
        return;
    }
    const int32_t carried = g.hand != nullptr ? g.hand->io->type : -1;
    bool asBuild = tool == 0;
    if (tool == 1 && g.hand != nullptr &&
        (is_ball_type(carried) || (e->io->y == 0 && (carried == TY_T_LEJTO || carried == TY_T_SAROK))))
        asBuild = true;
    if (asBuild && g.hand != nullptr) {
        const int32_t variant = g.hand->io->variant == 2 ? 0 : g.hand->io->variant;
        TrElem *made = Edit_PlaceAtSide(e, g.lastDirection, carried, x, y);
        if (made != nullptr) {
            made->io->variant = Elem_VariantKnown(carried, variant) ? variant : 0;
            refresh(made);
            if (made->io->flags & EF_BALL) {
                Edit_MakeSupplied(made);
                refresh(made);
                Edit_ReleaseHand(1);
                Dir_Switch(made);
            } else {
                sound(5);
            }
        }
        rehover(x, y, true);
        return;
    }
    if (tool == 1 && g.hand != nullptr) {
        if (!(e->io->flags & EF_BALL) && is_ball_type(carried)) {
            rehover(x, y, true);
            return;
        }
        sound(5);
        const int32_t variant = g.hand->io->variant == 2 ? 0 : g.hand->io->variant;
        const int32_t x0 = e->io->x, y0 = e->io->y, z0 = e->io->z;
        Edit_MakeFixed(e);
        if (carried != TY_T_INDITO)
            Edit_ClearStartBall(e);
        if (g.hover == e)
            g.hover = nullptr;
        if (g.dirElem == e)
            Dir_End(e);
        Palya_Remove(e);
        TrElem *made = Palya_Add(x0, y0, z0, g.lastDirection, carried, 1, variant);
        refresh(made);
        if (made != nullptr)
            Edit_FixIfUnsupported(made, Palya_Above(made));
        g.hover = nullptr;
        hide_hand_model(true);
        return;
    }
    if (tool == 2) {
        if (e->io->y > 0) {
            sound(19);
            Edit_MakeFixed(e);
            Edit_ClearStartBall(e);
            Edit_FixIfUnsupported(nullptr, Palya_Above(e));
            if (g.dirElem == e)
                Dir_End(e);
            Palya_Remove(e);
            g.hover = nullptr;
        } else if (e->io->type != TY_T_SIMA) {
            sound(19);
            Edit_ClearHover();
            Edit_ClearStartBall(e);
            const int32_t x0 = e->io->x, z0 = e->io->z;
            Palya_Remove(e);
            Palya_Add(x0, 0, z0, 0, TY_T_SIMA, 1, 0);
        }
        rehover(x, y, false);
        return;
    }
    if (tool == 3 && e->io->y > 0) {
        sound(20);
        if (e->io->flags & EF_BALL)
            Edit_CycleBall(e);
        else
            Edit_ToggleSupplied(e);
    }
}

void Dir_Begin(TrElem *e)
{
    if (e == nullptr)
        return;
    if (e->markerActor != nullptr && e->markerActor->parent != nullptr)
        BrActorRemove(e->markerActor);
    make_markers();
    const int32_t cls = ball_class(e);
    for (TrElem *m : g_markers)
        if (m != nullptr) {
            m->io->variant = cls;
            refresh(m);
        }
    if (g_marker_group != nullptr && e->actor != nullptr) {
        if (g_marker_group->parent != nullptr)
            BrActorRemove(g_marker_group);
        BrActorAdd(e->actor, g_marker_group);
        g_marker_group->t.type = BR_TRANSFORM_MATRIX34;
        const int32_t key = e->io->direction >= 0 && e->io->direction < 4 ? e->io->direction : 0;
        BrMatrix34RotateY(&g_marker_group->t.t.mat, deg(-90 * key));
    }
    g.dirMode = 1;
    int32_t mx = 0, my = 0;
    if (g_hooks.mouse != nullptr)
        g_hooks.mouse(&mx, &my);
    else
        mx = g.mouseX, my = g.mouseY;
    g.dirX = mx;
    g.dirY = my;
    g.dirElem = e;
    g.dirRadius = kDirRadius;
}

void Dir_End(TrElem *e)
{
    sound(8);
    if (g_marker_group != nullptr && g_marker_group->parent != nullptr)
        BrActorRemove(g_marker_group);
    if (e != nullptr) {
        if (play().markerModel != nullptr)
            play().markerModel(e, e->io->direction != TR_DIR_UNSET);
        if (e->markerActor != nullptr && e->markerActor->parent == nullptr && e->actor != nullptr)
            BrActorAdd(e->actor, e->markerActor);
    }
    g.dirMode = 0;
    g.dirElem = nullptr;
}

void Dir_Switch(TrElem *e)
{
    if (g.dirMode)
        Dir_End(g.dirElem);
    Dir_Begin(e);
}

void Dir_BeginForHoverMagnet(void)
{
    if (g.hover != nullptr && g.hover->io->type == TY_T_MAGNES && !is_sample(g.hover))
        Dir_Switch(g.hover);
}

TrElem *Dir_Current(void)
{
    return g.dirElem;
}

int32_t Dir_Active(void)
{
    return g.dirMode;
}

void Dir_LeaveByDistance(int32_t x, int32_t y)
{
    if (!g.dirMode)
        return;
    if (std::hypot(double(x - g.dirX), double(y - g.dirY)) > g.dirRadius)
        Dir_End(g.dirElem);
}

TrElem *Dir_Marker(int32_t key)
{
    make_markers();
    return key >= 0 && key < 4 ? g_markers[key] : nullptr;
}

const char *Elem_TypeName(int32_t type)
{
    const int id = Elem_TypeMessage(type);
    return id >= 0 ? TrMessage(id) : "No Name";
}

void Edit_Reset(void)
{
    if (g.dirMode)
        Dir_End(g.dirElem);
    if (g.hand != nullptr || g.handElem != nullptr)
        Edit_ReleaseHand(1);
    free_markers();
    g = EditState{};
}

}  // extern "C"
