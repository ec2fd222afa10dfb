// The 3D side of the module: its own instance of the 3D library, the two worlds with their cameras
// and lights, the view buffers over the DIB, and the frame. The field's elements are drawn with their
// looks from terrow.pck.
#include <cmath>
#include <cstring>

#include <brondel/brcore.h>
#include <brondel/brfw.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "terrow/trdib.h"
#include "win32/winfile.h"
#include "terrow/trfield.h"
#include "terrow/trgame.h"
#include "terrow/trmodule.h"
#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trpick.h"
#include "terrow/trplay.h"
#include "terrow/trshell.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"

namespace {

bool g_looksLoaded = false;

// The models and looks come from the read root beside the program.
bool load_looks_once()
{
    if (g_looksLoaded)
        return true;
    TrShell *s = TrGetShell();
    char cwd[1024] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(s->readFolder[0] != '\0' ? s->readFolder : cwd);
    bool ok = Look_LoadAll() && TrGetModule()->warning == 0;
    SetCurrentDirectoryA(cwd);
    g_looksLoaded = ok;
    if (!ok) {
        Look_FreeAll();
        Model_FreeAll();
    }
    return ok;
}

void free_looks()
{
    Look_FreeAll();
    Model_FreeAll();
    OwnFs_ClosePack();
    PickReset();
    g_looksLoaded = false;
}

// A 3D-library warning or failure is a module warning: the set-up fails and the menu comes back.
void diag_report(const char *message)
{
    TrWarning("%s", message != nullptr ? message : "3D library failure");
}

br_diaghandler g_diag = {"Terrow", diag_report, diag_report};

br_uint_32 rgb565(int r, int g, int b)
{
    return (br_uint_32)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void free_pixelmap(br_pixelmap *&pm, bool shared)
{
    if (pm == nullptr)
        return;
    if (shared)
        pm->pixels = nullptr;  // the DIB owns these
    BrPixelmapFree(pm);
    pm = nullptr;
}

// The status line until the status bar draws its strips: brushed metal with a bevel.
void draw_status_line(br_pixelmap *screen)
{
    TrDib *dib = TrGetDib();
    if (dib->pixels == nullptr || screen == nullptr)
        return;
    int32_t rb = TrDibRowBytes(dib->width, 16);
    for (int y = 0; y < TR_STATUS_HEIGHT && y < dib->height; y++) {
        // DIB rows run bottom-up: row 0 is the picture's last.
        int fromTop = TR_STATUS_HEIGHT - 1 - y;
        uint16_t *row = (uint16_t *)((char *)dib->pixels + (size_t)y * rb);
        for (int x = 0; x < dib->width; x++) {
            int grain = ((x * 37 + fromTop * 11) ^ (x >> 2)) & 7;
            int v = 120 + fromTop * 2 + grain;
            if (fromTop == 0)
                v = 225;
            else if (fromTop == 1)
                v = 190;
            else if (y == 0)
                v = 50;
            row[x] = (uint16_t)rgb565(v, v + 4 > 255 ? 255 : v + 4, v + 12 > 255 ? 255 : v + 12);
        }
    }
}

}  // namespace

extern "C" {

int32_t TrLoadLooks(void)
{
    return load_looks_once() ? 1 : 0;
}

int32_t TrBrondelBegin(int32_t pixelType)
{
    TrShell *s = TrGetShell();
    s->pixelType = pixelType;
    if (BrBegin() != 0) {
        TrWarning("The 3D library cannot start");
        return 0;
    }
    s->brondelBegun = 1;
    BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, VokMakeWritePath(nullptr, "%s", ""));
    BrDiagHandlerSet(&g_diag);
    BrZbBegin((br_uint_8)pixelType, BR_PMT_DEPTH_16);
    return TrGetModule()->warning == 0 ? 1 : 0;
}

void TrSetupCameras(void)
{
    TrShell *s = TrGetShell();
    for (int i = 0; i < 2; i++) {
        s->worlds[i] = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        s->cameras[i] = BrActorAdd(s->worlds[i], BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *c = (br_camera *)s->cameras[i]->type_data;
        c->type = 4;
        c->hither_z = 0.1f;
        c->yon_z = 20.0f;
        c->field_of_view = 7280;
        c->aspect = 1.46f;
    }
    for (int i = 0; i < 5; i++) {
        s->lights[i] = BrActorAdd(s->worlds[0], BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        br_light *l = (br_light *)s->lights[i]->type_data;
        l->type = BR_LIGHT_POINT;
        l->cone_outer = 11830;
        l->cone_inner = 7280;
        l->colour = i < 2 ? 0xFFFFFF : 0x323232;
        l->attenuation_c = i == 0 ? 1.8f : i == 1 ? 2.3f : 0.0f;
        l->attenuation_l = i < 2 ? 0.0f : 2.0f;
        l->attenuation_q = 0.0f;
    }
}

int32_t TrMakeViewBuffers(HWND window)
{
    TrShell *s = TrGetShell();
    TrFreeViewBuffers(0);
    RECT r = {};
    GetClientRect(window, &r);
    int32_t w = r.right - r.left, h = r.bottom - r.top;
    void *pixels = TrDibCreate(w, h, s->pixelType);
    if (pixels == nullptr || h <= TR_STATUS_HEIGHT) {
        TrWarning("Cannot make the view picture (%d x %d)", w, h);
        return 0;
    }
    br_uint_8 type = (br_uint_8)s->pixelType;
    int32_t rb = TrDibRowBytes(w, TrGetDib()->header.biBitCount);
    s->screenPix = BrPixelmapAllocate(type, w, h, pixels, PIXELMAP_ALLOCATE_INVERTED);
    s->screenPix->row_bytes = (br_int_16)-rb;
    s->screenPix->pixels = (char *)pixels + (size_t)rb * (h - 1);
    int32_t vh = h - TR_STATUS_HEIGHT;
    s->view = BrPixelmapAllocate(type, w, vh, (char *)pixels + (size_t)rb * TR_STATUS_HEIGHT,
                                 PIXELMAP_ALLOCATE_INVERTED);
    s->view->row_bytes = (br_int_16)-rb;
    s->view->pixels = (char *)pixels + (size_t)rb * (h - 1);
    // The centred camera draws around the origin.
    s->view->origin_x = (br_int_16)(w / 2);
    s->view->origin_y = (br_int_16)(vh / 2);
    for (int i = 0; i < 2; i++) {
        s->backs[i] = BrPixelmapAllocate(type, w, vh, nullptr, 0);
        s->backs[i]->origin_x = s->view->origin_x;
        s->backs[i]->origin_y = s->view->origin_y;
    }
    s->depths[0] = BrPixelmapMatch(s->view, BR_PM_USE_DEPTH_16);
    for (int i = 0; i < 2; i++)
        s->depths[i + 1] = BrPixelmapMatch(s->backs[i], BR_PM_USE_DEPTH_16);
    for (int i = 0; i < 2; i++)
        if (s->cameras[i] != nullptr)
            ((br_camera *)s->cameras[i]->type_data)->aspect = (float)w / (float)vh;
    draw_status_line(s->screenPix);
    if (TrGetModule()->iface != nullptr)
        TrGetModule()->iface->screenPix = s->screenPix;
    return 1;
}

void TrFreeViewBuffers(int32_t alsoEndRenderer)
{
    TrShell *s = TrGetShell();
    if (alsoEndRenderer && s->brondelBegun) {
        TrFreeFieldScene();
        for (int i = 0; i < 2; i++)
            if (s->worlds[i] != nullptr)
                BrActorFree(s->worlds[i]);
        std::memset(s->worlds, 0, sizeof s->worlds);
        std::memset(s->cameras, 0, sizeof s->cameras);
        std::memset(s->lights, 0, sizeof s->lights);
        free_looks();
    }
    for (int i = 0; i < 3; i++)
        free_pixelmap(s->depths[i], false);
    for (int i = 0; i < 2; i++)
        free_pixelmap(s->backs[i], false);
    free_pixelmap(s->view, true);
    free_pixelmap(s->screenPix, true);
    if (TrGetModule()->iface != nullptr)
        TrGetModule()->iface->screenPix = nullptr;
    TrDibFree();
    if (alsoEndRenderer && s->brondelBegun) {
        Br_ReleaseAll();
        BrZbEnd();
        BrEnd();
        s->brondelBegun = 0;
    }
}

void TrPlaceCameras(void)
{
    TrShell *s = TrGetShell();
    // The field is centred on the world's origin; each camera starts at the field's own orbit.
    for (int i = 0; i < 2; i++)
        if (s->cameras[i] != nullptr)
            TrPlaceFieldCamera(s->cameras[i], s->field);
    if (s->lights[0] != nullptr) {
        BrMatrix34Translate(&s->lights[0]->t.t.mat, -0.4f, 1.2f, 0.6f);
        BrMatrix34Translate(&s->lights[1]->t.t.mat, 0.7f, 0.9f, -0.3f);
        BrLightEnable(s->lights[0]);
        BrLightEnable(s->lights[1]);
    }
}

void TrBuildFieldScene(void)
{
    TrShell *s = TrGetShell();
    if (s->worlds[0] == nullptr || s->field == nullptr || !load_looks_once())
        return;
    if (s->field != Palya_Current()) {
        TrPalya *field = s->field;
        // A field shown before goes with its looks while its actors still hang under the old root.
        Palya_Release();
        s->field = nullptr;
        TrFreeFieldScene();
        s->field = field;
        // The field's scene goes through the current field's operations, with the looks behind them.
        TrInstallLookHooks();
        TrPlayHooks h = *TrPlayHooksGet();
        h.drawFrame = [] {
            TrShell *shell = TrGetShell();
            if (shell->view != nullptr) {
                TrRenderView();
                TrDibPresent(shell->dc);
            }
        };
        TrSetPlayHooks(&h);
        TrInstallGameHooks();
        TrSimInstallPhysics(VokMakeWritePath(nullptr, "%s", "Terrow.log"));
        TrPlayModeGet()->game = s->game != 0;
        s->fieldRoot = BrActorAdd(s->worlds[0], BrActorAllocate(BR_ACTOR_NONE, nullptr));
        br_actor *translucent = BrActorAdd(s->fieldRoot, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        br_actor *opaque = BrActorAdd(s->fieldRoot, BrActorAllocate(BR_ACTOR_NONE, nullptr));
        Palya_Install(field, opaque, translucent, s->fieldRoot);
    }
    TrPlaceCameras();
    if (s->view != nullptr)
        PickInit(s->worlds[0], s->cameras[0], s->view, 0);
}

void TrFreeFieldScene(void)
{
    TrShell *s = TrGetShell();
    if (s->field != nullptr && s->field == Palya_Current()) {
        // The current field owns the record: releasing it frees its looks and the field.
        Palya_Release();
        s->field = nullptr;
    } else if (s->field != nullptr) {
        for (int32_t i = 0; i < s->field->count; i++)
            Look_FreeActors(s->field->elements[i]);
    }
    if (s->fieldRoot != nullptr) {
        BrActorRemove(s->fieldRoot);
        BrActorFree(s->fieldRoot);
    }
    s->fieldRoot = nullptr;
}

void TrRenderView(void)
{
    TrRenderFrame();
}

void TrIdleFrame(void)
{
    TrShell *s = TrGetShell();
    if (s->view == nullptr || TrPaintState() == 0)
        return;
    TrRenderView();
    TrDibPresent(s->dc);
}

}  // extern "C"
