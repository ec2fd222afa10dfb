// The view copies: what does not move is rendered once, in the copy world, into a picture pair that
// each frame starts from. The background copy holds the hall; the run copies also the field's fixed
// pieces while a run goes on; the editor copies the whole view while nothing changes.
#include <brondel/bractor.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "gameint.h"
#include "terrow/trlook.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "terrow/trredraw.h"
#include "terrow/trshell.h"

namespace {

TrCopies g_copies = {};
br_actor *g_editorOut[3] = {};
br_actor *g_editorOutParents[3] = {};

TrShell &shell()
{
    return *TrGetShell();
}

bool hatter()
{
    return TrGetModule()->ini.Hatter != 0;
}

uint32_t fill_colour()
{
    return (uint32_t)TrGetModule()->ini.FillColor;
}

// A light is switched off while it changes worlds: the renderer keeps its place in the world.
void move(br_actor *a, br_actor *parent)
{
    if (a == nullptr || parent == nullptr || a->parent == parent)
        return;
    const bool light = a->type == BR_ACTOR_LIGHT;
    if (light)
        BrLightDisable(a);
    BrActorRemove(a);
    BrActorAdd(parent, a);
    if (light)
        BrLightEnable(a);
}

void static_in()
{
    for (int i = 0; i < 3; i++) {
        br_actor *a = g_copies.staticSet[i];
        g_copies.staticParents[i] = a != nullptr ? a->parent : nullptr;
        move(a, shell().worlds[1]);
    }
}

void static_back()
{
    for (int i = 0; i < 3; i++)
        if (g_copies.staticSet[i] != nullptr && g_copies.staticParents[i] != nullptr)
            move(g_copies.staticSet[i], g_copies.staticParents[i]);
}

void copy_camera()
{
    TrShell &s = shell();
    if (s.cameras[0] == nullptr || s.cameras[1] == nullptr)
        return;
    s.cameras[1]->t = s.cameras[0]->t;
    *(br_camera *)s.cameras[1]->type_data = *(br_camera *)s.cameras[0]->type_data;
}

bool liftable(const TrElem *e)
{
    return e != nullptr && e->io != nullptr && e->actor != nullptr && (e->io->flags & EF_NOT_BALL) &&
           !(e->io->flags & EF_RUN_MADE) && e->io->type != TY_T_CEL;
}

// The copy world holds the lifted pieces under a copy of the field root and the opaque parent, so
// that they are drawn through the very matrices the field draws them with (a piece relinked with
// one product matrix lands an edge pixel elsewhere now and then).
br_actor *g_mirrorRoot = nullptr, *g_mirrorOpaque = nullptr;

br_actor *mirror_opaque(br_actor *opaque)
{
    TrShell &s = shell();
    if (opaque == nullptr || s.worlds[1] == nullptr)
        return nullptr;
    if (g_mirrorRoot == nullptr || g_mirrorRoot->parent != s.worlds[1]) {
        g_mirrorRoot = BrActorAdd(s.worlds[1], BrActorAllocate(BR_ACTOR_NONE, nullptr));
        g_mirrorOpaque = BrActorAdd(g_mirrorRoot, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    }
    if (opaque->parent != nullptr)
        g_mirrorRoot->t = opaque->parent->t;
    g_mirrorOpaque->t = opaque->t;
    return g_mirrorOpaque;
}

bool lifted(const TrElem *e)
{
    return e->actor->parent != nullptr && e->actor->parent == g_mirrorOpaque && g_mirrorOpaque != nullptr;
}

void lift(TrElem *e, br_actor *opaque, br_actor *mirror)
{
    if (!liftable(e) || e->actor->parent != opaque || mirror == nullptr)
        return;
    e->savedMatrix = e->actor->t.t.mat;
    BrActorRemove(e->actor);
    BrActorAdd(mirror, e->actor);
}

void put_back_all()
{
    TrPalya *f = Palya_Current();
    if (f == nullptr)
        return;
    for (int32_t i = 0; i < f->count; i++)
        TrCopiesPutBack(f->elements[i]);
    tr_order_opaque();
}

void background_home()
{
    if (g_copies.background != nullptr && shell().worlds[0] != nullptr)
        move(g_copies.background, shell().worlds[0]);
}

// The run copies' rectangle back to the hall alone (or the fill) before the copy world is drawn
// there again.
void clear_rect(int32_t x, int32_t y, int32_t w, int32_t h)
{
    TrShell &s = shell();
    if (hatter() && g_copies.backgroundValid) {
        tr_copy_rect(s.backs[1], x, y, s.backs[0], x, y, w, h);
        tr_copy_rect(s.depths[2], x, y, s.depths[1], x, y, w, h);
    } else {
        // The fill the frame itself starts from, so that a repaired copy equals a full render.
        tr_fill_rect(s.backs[1], x, y, w, h, fill_colour());
        tr_fill_rect(s.depths[2], x, y, w, h, 0xFFFFFFFFu);
    }
}

}  // namespace

// One drawing order for the field's opaque pieces, whichever way they came back: by their place in
// the field, the goals last (a frame from the run copies draws them over the fixed pieces).
void tr_order_opaque()
{
    TrPalya *f = Palya_Current();
    br_actor *parent = f != nullptr ? f->opaqueParent : nullptr;
    if (parent == nullptr)
        return;
    std::vector<br_actor *> children;
    for (br_actor *a = parent->children; a != nullptr; a = a->next)
        children.push_back(a);
    std::unordered_map<const br_actor *, int64_t> ranks;
    for (int32_t i = 0; i < f->count; i++) {
        const TrElem *e = f->elements[i];
        if (e->actor != nullptr)
            ranks[e->actor] = (e->io->type == TY_T_CEL ? (int64_t)f->count : 0) + i;
    }
    auto rank = [&](const br_actor *a) {
        auto it = ranks.find(a);
        return it != ranks.end() ? it->second : (int64_t)f->count * 3;
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](br_actor *x, br_actor *y) { return rank(x) < rank(y); });
    for (br_actor *a : children)
        BrActorRemove(a);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        BrActorAdd(parent, *it);
}

// The worlds are going: the copy world's nodes go with them.
void tr_copies_forget()
{
    g_mirrorRoot = g_mirrorOpaque = nullptr;
    g_copies = TrCopies{};
}

void tr_copy_all(br_pixelmap *dst, const br_pixelmap *src)
{
    if (dst != nullptr && src != nullptr)
        tr_copy_rect(dst, 0, 0, src, 0, 0, src->width, src->height);
}

void tr_editor_parts_out()
{
    TrPalya *f = Palya_Current();
    br_actor *parts[3] = {f != nullptr ? f->opaqueParent : nullptr, f != nullptr ? f->translucentParent : nullptr,
                          TrSceneRootsGet()->selection};
    for (int i = 0; i < 3; i++) {
        if (parts[i] == nullptr || parts[i]->parent == nullptr || g_editorOut[i] != nullptr)
            continue;
        g_editorOut[i] = parts[i];
        g_editorOutParents[i] = parts[i]->parent;
        BrActorRemove(parts[i]);
    }
}

void tr_editor_parts_in()
{
    // Added back in reverse so that the opaque parent stays ahead of the translucent one.
    for (int i = 2; i >= 0; i--) {
        if (g_editorOut[i] != nullptr && g_editorOutParents[i] != nullptr)
            BrActorAdd(g_editorOutParents[i], g_editorOut[i]);
        g_editorOut[i] = nullptr;
        g_editorOutParents[i] = nullptr;
    }
}

extern "C" {

TrCopies *TrCopiesGet(void)
{
    return &g_copies;
}

void TrCopiesPutBack(TrElem *e)
{
    TrPalya *f = Palya_Current();
    if (!liftable(e) || f == nullptr || f->opaqueParent == nullptr || !lifted(e))
        return;  // only what was lifted goes back
    BrActorRemove(e->actor);
    BrActorAdd(f->opaqueParent, e->actor);
}

void TrCopiesViewChanged(int32_t cameraKey)
{
    background_home();
    g_copies.backgroundValid = 0;
    g_copies.countdown = 2;
    if (cameraKey && g_copies.runInUse) {
        put_back_all();
        g_copies.runTaken = 0;
    }
}

void TrCopiesTakeBackground(void)
{
    TrShell &s = shell();
    if (s.worlds[1] == nullptr || s.backs[0] == nullptr || g_copies.background == nullptr)
        return;
    // Every background actor right under the main world stays in the copy world from now on.
    for (br_actor *a = s.worlds[0]->children; a != nullptr;) {
        br_actor *next = a->next;
        if (a == g_copies.background)
            move(a, s.worlds[1]);
        a = next;
    }
    static_in();
    BrPixelmapFill(s.backs[0], fill_colour());
    BrPixelmapFill(s.depths[1], 0xFFFFFFFF);
    copy_camera();
    BrZbSceneRender(s.worlds[1], s.cameras[1], s.backs[0], s.depths[1]);
    static_back();
    g_copies.backgroundValid = 1;
    if (g_copies.editorValid)
        g_copies.editorRefresh = 1;
}

void TrCopiesTakeRun(void)
{
    TrShell &s = shell();
    TrPalya *f = Palya_Current();
    if (s.worlds[1] == nullptr || s.backs[1] == nullptr || f == nullptr)
        return;
    static_in();
    // Lifted from the tail so that the copy world draws them in the order the field does.
    std::vector<br_actor *> order;
    for (br_actor *a = f->opaqueParent != nullptr ? f->opaqueParent->children : nullptr; a != nullptr; a = a->next)
        order.push_back(a);
    br_actor *mirror = mirror_opaque(f->opaqueParent);
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        lift(Look_ElemOfActor(*it), f->opaqueParent, mirror);
    if (hatter() && g_copies.backgroundValid) {
        tr_copy_all(s.backs[1], s.backs[0]);
        tr_copy_all(s.depths[2], s.depths[1]);
    } else {
        BrPixelmapFill(s.backs[1], fill_colour());
        BrPixelmapFill(s.depths[2], 0xFFFFFFFF);
    }
    copy_camera();
    BrZbSceneRender(s.worlds[1], s.cameras[1], s.backs[1], s.depths[2]);
    static_back();
    g_copies.runTaken = 1;
}

void TrCopiesRunStart(void)
{
    g_copies.runInUse = 1;
    g_copies.runTaken = 0;
    if (g_copies.countdown == 0)
        TrCopiesTakeRun();
}

void TrCopiesRunEnd(void)
{
    put_back_all();
    g_copies.runInUse = 0;
    g_copies.runTaken = 0;
}

void TrCopiesRepair(TrElem **elems, int32_t count)
{
    TrShell &s = shell();
    if (elems == nullptr || count <= 0)
        return;
    if (!g_copies.runInUse || !g_copies.runTaken || s.worlds[1] == nullptr) {
        for (int32_t i = 0; i < count; i++)
            TrCopiesPutBack(elems[i]);
        return;
    }
    static_in();
    for (int32_t i = 0; i < count; i++)
        TrCopiesPutBack(elems[i]);
    // The hall is in the restored rectangle already: it is left out of the render.
    br_actor *bg = nullptr, *bgParent = nullptr;
    if (hatter() && g_copies.backgroundValid && g_copies.background != nullptr) {
        bg = g_copies.background;
        bgParent = bg->parent;
        BrActorRemove(bg);
    }
    copy_camera();
    if (count == 1) {
        int32_t x, y, w, h;
        if (Redraw_ScreenBox(elems[0]->actor, s.cameras[0], s.view, &x, &y, &w, &h)) {
            w += 2;
            h += 2;
            clear_rect(x, y, w, h);
            Redraw_Rect(s.worlds[1], s.cameras[1], s.backs[1], s.depths[2], x, y, w, h);
        }
    } else {
        Redraw_ClearRect();
        bool any = false;
        for (int32_t i = 0; i < count; i++) {
            int32_t x, y, w, h;
            if (elems[i] == nullptr || !Redraw_ScreenBox(elems[i]->actor, s.cameras[0], s.view, &x, &y, &w, &h))
                continue;
            // The clip covers all that was cleared, margin included: a piece reaching only into the
            // margin is drawn again too.
            clear_rect(x - 4, y - 4, w + 8, h + 8);
            Redraw_GrowRect(x - 4, y - 4, w + 8, h + 8);
            any = true;
        }
        if (any)
            Redraw_Render(s.worlds[1], s.cameras[1], s.backs[1], s.depths[2]);
    }
    if (bg != nullptr && bgParent != nullptr)
        BrActorAdd(bgParent, bg);
    static_back();
}

void TrEditorCopiesTake(void)
{
    TrShell &s = shell();
    if (s.backs[1] == nullptr || s.view == nullptr)
        return;
    tr_copy_all(s.backs[1], s.view);
    tr_copy_all(s.depths[2], s.depths[0]);
    g_copies.editorValid = 1;
}

void TrEditorCopiesDrop(void)
{
    tr_editor_parts_in();
    g_copies.editorValid = 0;
    g_copies.editorRefresh = 0;
}

void TrEditorCopiesRetake(void)
{
    TrEditorCopiesDrop();
    TrRenderFrame();
    TrEditorCopiesTake();
}

void TrCopiesReset(void)
{
    if (g_copies.runInUse)
        put_back_all();
    TrEditorCopiesDrop();
    background_home();
    g_copies.backgroundValid = 0;
    g_copies.runInUse = 0;
    g_copies.runTaken = 0;
    g_copies.countdown = 2;
}

}  // extern "C"
