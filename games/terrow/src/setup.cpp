// The interface set-up once the window and its view exist: the language's texts, the picture packs,
// the status bar, the sounds, the scene's actor tree, the background hall, the lights, the
// catalogue, the goal's carousel; the toolbar's states; and the shut-down that gives it all back.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <cstring>

#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>

#include "gameint.h"
#include "wiring.h"
#include "pannix/ffpack.h"
#include "pannix/pxfont.h"
#include "pannix/pxpix.h"
#include "terrow/trdib.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trlook.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trredraw.h"
#include "terrow/trshell.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokpath.h"
#include "vokscore/voksound.h"
#include "win32/winfile.h"
#include "win32/wintime.h"

namespace {

FFPACKHANDLE *g_packB = nullptr, *g_packT = nullptr;
char g_packPaths[2][260] = {};
TrStatusPictures g_status = {};
SoundSet *g_sounds = nullptr;
int32_t g_lastSound = -1;
TrSceneRoots g_roots = {};
TrToolbarHooks g_toolbar = {};
br_pixelmap *g_carousel[12] = {};
br_pixelmap *g_goal = nullptr;
bool g_setUp = false;

TrShell &shell()
{
    return *TrGetShell();
}

void progress(unsigned percent)
{
    tr_progress(percent);
}

br_actor *node(br_actor *parent)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    return parent != nullptr ? BrActorAdd(parent, a) : a;
}

br_pixelmap *status_picture(const char *name)
{
    br_pixelmap *pm = TrLoadPxUncached(name);
    if (pm == nullptr)
        TrWarning("pixelmap load failed: %s", name);
    return pm;
}

br_material *hall_material(const char *name, br_pixelmap *map)
{
    br_material *m = BrMaterialAllocate(name);
    m->flags = 37;
    m->opacity = 255;
    m->colour = 0xFFFFFF;
    m->ka = 0.55f;
    m->kd = 0.6f;
    m->ks = 0.0f;
    m->power = 20.0f;
    m->colour_map = map;
    m->index_shade = BrTableFind("shade\\a.shd");
    return BrMaterialAdd(m);
}

br_actor *model_actor(br_actor *parent, const char *file, br_material *material)
{
    br_model *model = Model_Get(file, 0);
    if (model == nullptr)
        return nullptr;
    br_actor *a = BrActorAdd(parent, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    a->model = model;
    a->material = material;
    return a;
}

// The hall behind the field: its floor, and the walls with the wall picture.
br_actor *build_background()
{
    TrShell &s = shell();
    br_model *floor = Model_Get("alap.mod", 0);
    if (floor == nullptr)
        return nullptr;
    br_actor *bg = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    bg->model = floor;
    br_pixelmap *wall = TrLoadPx("palastm.pix");
    br_material *m = hall_material("bgr_palastm", wall);
    bg->material = hall_material("bgr_alapxx", nullptr);
    bg->material->colour = 0x6A7088;
    BrMaterialUpdate(bg->material, BR_MATU_ALL);
    model_actor(bg, "palastm.mod", m);
    model_actor(bg, "palasta.mod", hall_material("bgr_palasta", wall));
    model_actor(bg, "palastaf.mod", hall_material("bgr_palastaf", wall));
    BrActorAdd(s.worlds[0], bg);
    return bg;
}

void carousel_load()
{
    // The goal's picture as its look holds it (the keyed copy from the pack).
    const TrLook *look = Look_Find(TY_T_CEL, 0);
    g_goal = look != nullptr ? look->texture : nullptr;
    for (int i = 0; i < 12; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "cq\\forg%04d.pix", i);
        g_carousel[i] = PxLoadPixP(name, 0);
    }
}

void carousel_free()
{
    for (br_pixelmap *&pm : g_carousel) {
        if (pm != nullptr)
            BrPixelmapFree(pm);
        pm = nullptr;
    }
    g_goal = nullptr;
}

void sound_set_up()
{
    g_sounds = VokInitSound(VokMakeReadPath(nullptr, "%s", "fw\\zenesz1.pck"));
}

}  // namespace

// The goal's texture turns: a frame every 70 ms copied into the goal's picture.
void tr_carousel_step()
{
    if (g_goal == nullptr)
        return;
    const int frame = (int)((timeGetTime() / 70u) % 12u);
    const br_pixelmap *pm = g_carousel[frame];
    if (pm == nullptr)
        return;
    tr_copy_rect(g_goal, 0, 0, pm, 0, 0, pm->width, pm->height);
    BrMapUpdate(g_goal, BR_MAPU_ALL);
}

// The selection's groups beside the field: the slopes and corners about the first of the view's
// pair of positions, the five single pieces on the circle on from the second.
void tr_place_catalogue_nodes()
{
    float pair[2][3];
    TrCataloguePair(pair);
    auto at = [](br_actor *a, float x, float y, float z) {
        if (a == nullptr)
            return;
        a->t.type = BR_TRANSFORM_MATRIX34;
        BrMatrix34Translate(&a->t.t.mat, x, y, z);
    };
    at(g_roots.selectionParents[1], pair[0][0], 0.0f, pair[0][2]);
    const double start = std::atan2((double)pair[1][2], (double)pair[1][0]);
    for (int k = 0; k < 5; k++) {
        const double a = start + k * 3.14159265358979323846 / 20;
        at(g_roots.nodes[k], float(0.795 * std::cos(a)), 0.0f, float(0.795 * std::sin(a)));
    }
}

TrStatusPictures *tr_status_pictures()
{
    return &g_status;
}

void tr_toolbar_draw_all()
{
    if (g_toolbar.drawAll != nullptr)
        g_toolbar.drawAll();
}

void tr_toolbar_start_enable(int32_t enabled)
{
    if (g_toolbar.startEnable != nullptr)
        g_toolbar.startEnable(enabled);
}

void tr_toolbar_popup(int32_t up)
{
    if (g_toolbar.popupState != nullptr)
        g_toolbar.popupState(up);
}

void tr_toolbar_test_release()
{
    if (g_toolbar.testButtonRelease != nullptr)
        g_toolbar.testButtonRelease();
}

extern "C" {

FFPACKHANDLE *TrPackB(void)
{
    return g_packB;
}

FFPACKHANDLE *TrPackT(void)
{
    return g_packT;
}

const char *TrPackPath(int32_t which)
{
    return g_packPaths[which != 0 ? 1 : 0];
}

const char *TrPackName(int32_t which, int32_t language)
{
    static const char *const names[2][3] = {{"trb.fpk", "trb_ge.fpk", "trb_fr.fpk"},
                                            {"trt.fpk", "trt_ge.fpk", "trt_fr.fpk"}};
    const int form = language == VOK_LANG_GE ? 1 : language == VOK_LANG_FR ? 2 : 0;
    return names[which != 0 ? 1 : 0][form];
}

TrSceneRoots *TrSceneRootsGet(void)
{
    return &g_roots;
}

void TrSetToolbarHooks(const TrToolbarHooks *hooks)
{
    g_toolbar = hooks != nullptr ? *hooks : TrToolbarHooks{};
}

void TrPlaySound(int32_t id)
{
    g_lastSound = id;
    if (g_sounds != nullptr && shell().settings[1] != 0)
        VokPlaySound(g_sounds, id);
}

int32_t TrLastSound(void)
{
    return g_lastSound;
}

void TrToolbarGameState(void)
{
    if (g_toolbar.gameState != nullptr)
        g_toolbar.gameState();
}

void TrToolbarEditorState(void)
{
    if (g_toolbar.editorState != nullptr)
        g_toolbar.editorState();
}

void TrToolbarRunState(int32_t on)
{
    // In the editor the selection is out of the scene while a run goes on.
    if (!TrPlayModeGet()->game && g_roots.selection != nullptr) {
        if (on && g_roots.selection->parent != nullptr)
            BrActorRemove(g_roots.selection);
        else if (!on && g_roots.selection->parent == nullptr && g_roots.second != nullptr)
            BrActorAdd(g_roots.second, g_roots.selection);
    }
    if (g_toolbar.runState != nullptr)
        g_toolbar.runState(on);
    TrCopiesViewChanged(0);
}

int32_t TrInterfaceSetup(void)
{
    TrShell &s = shell();
    TrModule *m = TrGetModule();
    VokInterFace *f = m->iface;
    const int32_t language = f != nullptr ? f->language : VOK_LANG_US;
    TrSetPaintState(0);
    progress(10);
    // The display mode was settled with the window: reading the settings again keeps it.
    const int32_t frameless = m->frameless;
    TrLoadSettings();
    m->frameless = frameless;
    SetCurrentDirectoryA(s.readFolder);
    if (SetCurrentDirectoryA("fw\\"))
        TrLoadLanguage(language);
    SetCurrentDirectoryA(s.readFolder);

    progress(11);
    std::snprintf(g_packPaths[0], sizeof g_packPaths[0], "%s", VokMakeReadPath(nullptr, "%s", TrPackName(0, language)));
    std::snprintf(g_packPaths[1], sizeof g_packPaths[1], "%s", VokMakeReadPath(nullptr, "%s", TrPackName(1, language)));
    g_packB = FFOpenPack(g_packPaths[0], 0);
    if (g_packB == nullptr)
        TrWarning("pixelmap load failed: %s", TrPackName(0, language));
    progress(15);
    g_packT = FFOpenPack(g_packPaths[1], 0);
    if (g_packT == nullptr)
        TrWarning("pixelmap load failed: %s", TrPackName(1, language));
    // Shade tables and looks came with the models, before the window: they stand registered.
    progress(20);
    progress(24);
    progress(27);
    SetCurrentDirectoryA(s.readFolder);
    progress(30);
    FFSetCurrentPack(nullptr);
    g_status.left = status_picture("toolbar.pix");
    g_status.right = status_picture("toolures.pix");
    g_status.marker = status_picture("toollezar.pix");
    g_status.markerFull = status_picture("celtool.pix");
    progress(31);
    sound_set_up();
    progress(33);
    progress(35);

    // The actor tree: placement, the selection with its parents and nodes, the field's root.
    g_roots.placement = node(s.worlds[0]);
    g_roots.second = node(s.worlds[0]);
    g_roots.selection = node(g_roots.second);
    for (br_actor *&p : g_roots.selectionParents)
        p = node(g_roots.selection);
    FFSetCurrentPack(g_packB);
    progress(38);
    for (br_actor *&n : g_roots.nodes)
        n = node(g_roots.selection);
    progress(40);
    // The buttons come with their own work; their states reach them through the toolbar hooks.
    tr_wire_toolbar_setup();
    progress(56);
    progress(58);
    FFSetCurrentPack(g_packT);
    progress(60);

    TrCopies *c = TrCopiesGet();
    c->background = m->ini.Hatter ? build_background() : nullptr;
    progress(65);
    if (TrPlayModeGet()->game)
        TrToolbarGameState();
    else
        TrToolbarEditorState();
    if (s.lights[0] != nullptr) {
        BrLightEnable(s.lights[0]);
        BrLightEnable(s.lights[1]);
    }
    TrCameraReset();
    progress(70);

    TrPlayModeGet()->selectionParents[0] = g_roots.selectionParents[0];
    TrPlayModeGet()->selectionParents[1] = g_roots.selectionParents[1];
    TrCatalogueParents parents{};
    parents.ballSlot = g_roots.selectionParents[0];
    parents.selection = g_roots.selectionParents[1];
    for (int i = 0; i < 5; i++)
        parents.nodes[i] = g_roots.nodes[i];
    // The samples take their looks as the field's pieces do.
    TrInstallLookHooks();
    tr_wire_fx_setup();
    TrCatalogueBuild(&parents);
    tr_place_catalogue_nodes();
    progress(80);

    carousel_load();
    progress(85);
    if (s.view != nullptr)
        PickInit(s.worlds[0], s.cameras[0], s.view, 0);
    c->staticSet[0] = c->background;
    c->staticSet[1] = s.lights[0];
    c->staticSet[2] = s.lights[1];
    Redraw_Forget();
    if (br_model *const *list = Model_RedrawList())
        for (; *list != nullptr; list++)
            Redraw_Register(*list);
    TrCameraKey(0);
    progress(90);
    std::srand((unsigned)std::time(nullptr));
    progress(95);
    g_setUp = true;
    return 1;
}

void TrInterfaceShutdown(void)
{
    if (!g_setUp)
        return;
    g_setUp = false;
    tr_wire_shutdown();
    TrCopiesReset();
    TrCatalogueFree();
    carousel_free();
    if (g_sounds != nullptr)
        VokKillSound(g_sounds);
    g_sounds = nullptr;
    for (br_pixelmap **pm : {&g_status.left, &g_status.right, &g_status.marker, &g_status.markerFull}) {
        if (*pm != nullptr)
            BrPixelmapFree(*pm);
        *pm = nullptr;
    }
    FFSetCurrentPack(nullptr);
    if (g_packB != nullptr)
        FFClosePack(g_packB);
    if (g_packT != nullptr)
        FFClosePack(g_packT);
    g_packB = g_packT = nullptr;
    // The hall and the tree go with the worlds; nothing here points into them any more.
    tr_copies_forget();
    TrPlayModeGet()->selectionParents[0] = TrPlayModeGet()->selectionParents[1] = nullptr;
    g_roots = TrSceneRoots{};
    Redraw_Forget();
    TrSetToolbarHooks(nullptr);
}

}  // extern "C"
