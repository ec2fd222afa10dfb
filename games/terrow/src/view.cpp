// The 3D side of the module: its own instance of the 3D library, the two worlds with their cameras
// and lights, the view buffers over the DIB, and the frame. Until the looks come from the packs, the
// field is drawn with plain bevelled blocks so that every start shows it.
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
#include "terrow/trfield.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"
#include "terrow/trshell.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokpath.h"

namespace {

br_model *g_block = nullptr;
br_material *g_stone = nullptr, *g_top = nullptr;

// A 3D-library warning or failure is a module warning: the set-up fails and the menu comes back.
void diag_report(const char *message)
{
    TrWarning("%s", message != nullptr ? message : "3D library failure");
}

br_diaghandler g_diag = {"Terrow", diag_report, diag_report};

br_angle degrees(float d)
{
    return (br_angle)(br_int_32)std::lround(d * 65536.0f / 360.0f);
}

br_uint_32 rgb565(int r, int g, int b)
{
    return (br_uint_32)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// A unit block, 0..1 on each axis, with its top face inset and raised for a bevel.
br_model *block_model()
{
    static const float p[8][3] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
                                  {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    static const br_uint_16 f[12][3] = {{0, 1, 2}, {0, 2, 3}, {5, 4, 7}, {5, 7, 6}, {1, 5, 6}, {1, 6, 2},
                                        {4, 0, 3}, {4, 3, 7}, {3, 2, 6}, {3, 6, 7}, {4, 5, 1}, {4, 1, 0}};
    br_model *m = BrModelAllocate("tr_block", 24, 12);
    for (int s = 0; s < 6; s++)
        for (int k = 0; k < 2; k++) {
            const br_uint_16 *face = f[2 * s + k];
            br_face &out = m->faces[2 * s + k];
            for (int c = 0; c < 3; c++) {
                int v = 4 * s + (k == 0 ? c : (c == 0 ? 0 : c + 1));
                BrVector3Set(&m->vertices[v].p, p[face[c]][0], p[face[c]][1], p[face[c]][2]);
                out.vertices[c] = (br_uint_16)v;
            }
            out.smoothing = (br_uint_16)(1u << s);
        }
    m->flags = BR_MODF_UPDATEABLE;
    return BrModelAdd(m);
}

br_material *lit_material(const char *name, br_colour colour, float ka, float kd)
{
    br_material *mat = BrMaterialAllocate(name);
    mat->colour = colour;
    mat->ka = ka;
    mat->kd = kd;
    mat->ks = 0.25f;
    mat->power = 16.0f;
    mat->flags = BR_MATF_LIT;
    return BrMaterialAdd(mat);
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
        if (g_block != nullptr)
            BrModelFree(BrModelRemove(g_block));
        if (g_stone != nullptr)
            BrMaterialFree(BrMaterialRemove(g_stone));
        if (g_top != nullptr)
            BrMaterialFree(BrMaterialRemove(g_top));
        g_block = nullptr;
        g_stone = g_top = nullptr;
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
        BrZbEnd();
        BrEnd();
        s->brondelBegun = 0;
    }
}

void TrPlaceCameras(void)
{
    TrShell *s = TrGetShell();
    TrPalya *f = s->field;
    float pitch = f != nullptr ? f->pitch : TR_CAM_PITCH, yaw = f != nullptr ? f->yaw : TR_CAM_YAW;
    float dist = f != nullptr ? f->distance : TR_CAM_DISTANCE, height = f != nullptr ? f->height : TR_CAM_HEIGHT;
    float cx = f != nullptr ? f->extentX * 0.05f : 0.5f, cz = f != nullptr ? f->extentZ * 0.05f : 0.5f;
    // Fields larger than the default are seen from further away.
    float side = f != nullptr ? (float)(f->extentX > f->extentZ ? f->extentX : f->extentZ) : 10.0f;
    if (side > 10.0f)
        dist *= side / 10.0f;
    for (int i = 0; i < 2; i++) {
        if (s->cameras[i] == nullptr)
            continue;
        br_matrix34 *m = &s->cameras[i]->t.t.mat;
        BrMatrix34Translate(m, 0.0f, 0.0f, dist);
        BrMatrix34PostRotateX(m, degrees(pitch));
        BrMatrix34PostRotateY(m, degrees(yaw));
        BrMatrix34PostTranslate(m, cx, height * -0.3f, cz);
    }
    if (s->lights[0] != nullptr) {
        BrMatrix34Translate(&s->lights[0]->t.t.mat, cx - 0.4f, 1.2f, cz + 0.6f);
        BrMatrix34Translate(&s->lights[1]->t.t.mat, cx + 0.7f, 0.9f, cz - 0.3f);
        BrLightEnable(s->lights[0]);
        BrLightEnable(s->lights[1]);
    }
}

void TrBuildFieldScene(void)
{
    TrShell *s = TrGetShell();
    TrFreeFieldScene();
    if (s->worlds[0] == nullptr || s->field == nullptr)
        return;
    if (g_block == nullptr) {
        g_block = block_model();
        g_stone = lit_material("tr_stone", 0x968C7C, 0.35f, 0.75f);
        g_top = lit_material("tr_top", 0xBAB096, 0.40f, 0.70f);
    }
    s->fieldRoot = BrActorAdd(s->worlds[0], BrActorAllocate(BR_ACTOR_NONE, nullptr));
    for (int32_t i = 0; i < s->field->count; i++) {
        const EIo *io = s->field->elements[i]->io;
        br_actor *a = BrActorAdd(s->fieldRoot, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = g_block;
        a->material = ((io->x + io->z) & 1) ? g_stone : g_top;
        br_matrix34 *m = &a->t.t.mat;
        // Cells are 0.1 wide and 0.055 high in the view; a small gap shows the joints.
        BrMatrix34Scale(m, 0.096f, 0.055f, 0.096f);
        BrMatrix34PostTranslate(m, io->x * 0.1f + 0.002f, io->y * 0.055f - 0.055f, io->z * 0.1f + 0.002f);
        s->field->elements[i]->actor = a;
    }
    TrPlaceCameras();
}

void TrFreeFieldScene(void)
{
    TrShell *s = TrGetShell();
    if (s->fieldRoot != nullptr) {
        BrActorRemove(s->fieldRoot);
        BrActorFree(s->fieldRoot);
        if (s->field != nullptr)
            for (int32_t i = 0; i < s->field->count; i++)
                s->field->elements[i]->actor = nullptr;
    }
    s->fieldRoot = nullptr;
}

void TrRenderView(void)
{
    TrShell *s = TrGetShell();
    if (s->view == nullptr || s->worlds[0] == nullptr)
        return;
    // A lit hall behind the field: light above, darker towards the floor.
    for (int y = 0; y < s->view->height; y++) {
        int t = y * 255 / (s->view->height > 1 ? s->view->height - 1 : 1);
        br_uint_32 c = rgb565(70 - t / 6, 78 - t / 6, 96 - t / 8);
        uint16_t *row = (uint16_t *)((char *)s->view->pixels + (ptrdiff_t)y * s->view->row_bytes);
        for (int x = 0; x < s->view->width; x++)
            row[x] = (uint16_t)c;
    }
    BrPixelmapFill(s->depths[0], 0xFFFFFFFF);
    BrZbSceneRender(s->worlds[0], s->cameras[0], s->view, s->depths[0]);
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
