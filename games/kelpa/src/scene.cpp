// The 3D scene, the screen buffers over a DIB, frame rendering with dirty rectangles, presenting,
// picking, and the model and material makers of the loader.
#include <float.h>
#include <string.h>

#include <algorithm>

#include "kelpa/kelpa.h"
#include "pannix/pxblit.h"
#include "vokscore/vokloading.h"

namespace {

KpRenderer g_renderer;
KpSwitches g_switches;
KpPick g_pick;
br_vector3 g_boardHit;

void diagText(const char *text)
{
    OutputDebugStringA(text);
}

constexpr int kClockX = 250, kClockY = 450, kClockW = 160, kClockH = 30;

void presentDib(KpDib *dib, HDC dc, int x, int y, int w, int h)
{
    if (dib == nullptr || dib->info == nullptr || dc == nullptr || w <= 0 || h <= 0)
        return;
    // The DIB is bottom-up: the source rectangle counts its rows from the bottom.
    StretchDIBits(dc, x, y, w, h, x, dib->height - y - h, w, h, dib->bits, dib->info, DIB_RGB_COLORS, SRCCOPY);
}

void freeDib(KpDib *dib)
{
    if (dib == nullptr)
        return;
    HGLOBAL bits = dib->block;
    HGLOBAL self = GlobalHandle(dib);
    if (bits != nullptr) {
        GlobalUnlock(bits);
        GlobalFree(bits);
    }
    if (self != nullptr) {
        GlobalUnlock(self);
        GlobalFree(self);
    }
}

KpDib *KpMakeDib(int width, int height, int type)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(KpDib));
    KpDib *dib = h != nullptr ? static_cast<KpDib *>(GlobalLock(h)) : nullptr;
    if (dib == nullptr)
        return nullptr;
    new (dib) KpDib();
    const int bpp = type == BR_PMT_INDEX_8 ? 8 : type == BR_PMT_RGB_888 ? 24 : type == 7 || type == 8 ? 32 : 16;
    const size_t row = size_t((width * bpp / 8 + 3) & ~3);
    const size_t header = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
    dib->block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header + row * size_t(height));
    uint8_t *mem = dib->block != nullptr ? static_cast<uint8_t *>(GlobalLock(dib->block)) : nullptr;
    if (mem == nullptr) {
        freeDib(dib);
        return nullptr;
    }
    dib->info = reinterpret_cast<BITMAPINFO *>(mem);
    BITMAPINFOHEADER &bh = dib->info->bmiHeader;
    bh.biSize = 40;
    bh.biWidth = width;
    bh.biHeight = height;
    bh.biPlanes = 1;
    bh.biBitCount = WORD(bpp);
    RGBQUAD *colours = dib->info->bmiColors;
    if (bpp == 8) {
        bh.biCompression = BI_RGB;
        bh.biClrUsed = 256;
        for (int i = 0; i < 256; i++)
            colours[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    } else {
        bh.biCompression = BI_BITFIELDS;
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        memcpy(colours, masks, sizeof masks);
    }
    dib->bits = mem + header;
    dib->width = width;
    dib->height = height;
    dib->present = presentDib;
    dib->freeProc = freeDib;
    return dib;
}

void freeBuffers(KpScreen *s)
{
    KpRenderer &r = g_renderer;
    for (br_pixelmap **p : {&s->colour, &s->depth, &r.savedColour, &r.savedDepth}) {
        if (*p != nullptr)
            BrPixelmapFree(*p);
        *p = nullptr;
    }
    if (s->dib != nullptr)
        s->dib->freeProc(s->dib);
    s->dib = nullptr;
}

bool inList(br_actor *a, br_actor *const *list, int n)
{
    if (a == nullptr)
        return false;
    for (int i = 0; i < n; i++)
        if (list[i] != nullptr && (list[i] == a || (a->parent != nullptr && list[i] == a->parent)))
            return true;
    return false;
}

bool inSlots(br_actor *a, const KpCubeSlot *slots, int n)
{
    if (a == nullptr)
        return false;
    for (int i = 0; i < n; i++)
        if (slots[i].cube != nullptr && (slots[i].cube == a || slots[i].cube == a->parent))
            return true;
    return false;
}

bool wears(br_actor *a, const char *name)
{
    return a != nullptr && a->material != nullptr && a->material->identifier != nullptr &&
           strcmp(a->material->identifier, name) == 0;
}

bool editorGame()
{
    const VokInterFace *f = kpModule().interFace;
    return f != nullptr && f->gameKind == 102 && f->levelFamily != 1 && f->levelFamily != 3;
}

}  // namespace

bool KpCubeDrawn(br_actor *a, int *moving)
{
    KpObjects &o = kpObjects();
    KpSwitches &s = g_switches;
    *moving = -1;
    if (wears(a, "SikG_Material"))
        return true;
    if (editorGame()) {
        if (o.hoverMark != nullptr && (a == o.hoverMark || a->parent == o.hoverMark))
            return true;
        if (!s.paletteMode && o.heldCube != nullptr && (a == o.heldCube || a->parent == o.heldCube))
            return true;
    }
    if (s.slotsMode && inSlots(a, o.looseCubes, kKpCubes))
        return true;
    if (s.paletteMode) {
        for (br_actor *p : o.paletteCubes) {
            if (p == nullptr)
                continue;
            if (a == p && !wears(a, "Atlatszo1_Material"))
                return true;
            if (a->parent == p && !wears(a, "Atlatszo_Material"))
                return true;
        }
    }
    if (s.blinkMode && inList(a, o.matchList, o.matchCount))
        return true;
    if (s.introFrame && inList(a, o.nextWormCubes, 5))
        return true;
    bool wormCube = false;
    int index = -1;
    for (int i = 0; i < 5; i++) {
        br_actor *c = o.worm[i].cube;
        if (c != nullptr && (a == c || a->parent == c)) {
            wormCube = true;
            if (a == c)
                index = i;
        }
    }
    if (s.sceneLive && wormCube) {
        *moving = index;
        return true;
    }
    if (a == o.arrow)
        return s.indicatorLive != 0;
    if (s.fullRedraw)
        return !wormCube;
    return false;
}

namespace {

int pickModel(br_model *model, br_material *material, br_vector3 *, br_vector3 *, br_scalar t, int face, int edge,
              int vertex, br_vector3 *point, br_vector2 *map, void *arg)
{
    KpPick &best = *static_cast<KpPick *>(arg);
    if (t < best.distance) {
        best.distance = t;
        best.model = model;
        best.material = material;
        best.point = *point;
        best.face = face;
        best.edge = edge;
        best.vertex = vertex;
        best.map = *map;
    }
    return 0;
}

int pickActor(br_actor *actor, br_model *model, br_material *material, br_vector3 *pos, br_vector3 *dir,
              br_scalar t_near, br_scalar t_far, void *arg)
{
    KpPick &best = *static_cast<KpPick *>(arg);
    br_actor *held = kpObjects().heldCube;
    if (held != nullptr && (actor == held || actor->parent == held))
        return 0;
    if (actor->render_style == BR_RSTYLE_NONE)
        return 0;
    const float before = best.distance;
    BrModelPick2D(model, material != nullptr ? material : actor->material, pos, dir, t_near, t_far, pickModel, arg);
    if (best.distance < before)
        best.actor = actor;
    return 0;
}

bool named(const char *id, const char *name)
{
    return id != nullptr && strcmp(id, name) == 0;
}

}  // namespace

br_diaghandler KpDiagHandler = {"Windows Diagnostic Handler", diagText, diagText};

KpRenderer &kpRenderer()
{
    return g_renderer;
}

KpSwitches &kpSwitches()
{
    return g_switches;
}

KpPick &kpLastPick()
{
    return g_pick;
}

br_vector3 &kpBoardHit()
{
    return g_boardHit;
}

void KpBeginRenderer()
{
    if (g_renderer.begun)
        return;
    BrBegin();
    BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, kpModule().modulePath);
    BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, kpModule().modulePath);
    BrDiagHandlerSet(&KpDiagHandler);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    g_renderer.begun = true;
}

void KpEndRenderer()
{
    if (!g_renderer.begun)
        return;
    BrZbEnd();
    BrEnd();
    g_renderer.begun = false;
}

KpScene *KpCreateScene()
{
    KpScene *s = static_cast<KpScene *>(BrMemAllocate(sizeof(KpScene), BR_MEMORY_APPLICATION));
    if (s == nullptr)
        return nullptr;
    new (s) KpScene();
    s->world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    s->camera = BrActorAdd(s->world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    br_camera *cam = static_cast<br_camera *>(s->camera->type_data);
    cam->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    cam->field_of_view = 5460;
    cam->hither_z = 1.0f;
    cam->yon_z = 4.0f;
    cam->aspect = 1.6f;
    br_matrix34 &cm = s->camera->t.t.mat;
    s->camera->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Translate(&cm, 0, 0, 0);
    BrMatrix34PreRotateY(&cm, 8190);
    BrMatrix34PreRotateX(&cm, 57330);
    BrMatrix34PreTranslate(&cm, 0, 0, 3.0f);
    BrMatrix34PostTranslate(&cm, 0, -0.12f, 0);

    auto light = [&](br_uint_8 type, float c, float l) {
        br_actor *a = BrActorAdd(s->world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        br_light *d = static_cast<br_light *>(a->type_data);
        d->type = type;
        d->colour = 0xFFFFFF;
        d->attenuation_c = c;
        d->attenuation_l = l;
        d->attenuation_q = 0;
        d->cone_outer = 182;
        d->cone_inner = 182;
        a->t.type = BR_TRANSFORM_MATRIX34;
        return a;
    };
    s->light1 = light(BR_LIGHT_POINT, 1.7f, 0);
    BrMatrix34Translate(&s->light1->t.t.mat, 0, 3.5f, 0);
    BrLightEnable(s->light1);
    s->light2 = light(BR_LIGHT_POINT, 2.3f, 0);
    BrMatrix34Copy(&s->light2->t.t.mat, &cm);
    BrMatrix34PreTranslate(&s->light2->t.t.mat, 2.6f, 2.0f, 0);
    BrMatrix34PreRotateX(&s->light2->t.t.mat, br_angle(63352));
    BrMatrix34PreRotateY(&s->light2->t.t.mat, br_angle(50248));
    BrMatrix34PreRotateZ(&s->light2->t.t.mat, br_angle(63716));
    BrLightEnable(s->light2);
    s->light3 = light(BR_LIGHT_DIRECT, 2.0f, 0.2f);
    BrMatrix34Translate(&s->light3->t.t.mat, 0.2f, 0.5f, 0.6f);
    return s;
}

int KpFreeScene(KpScene *scene)
{
    if (scene == nullptr)
        return 0;
    for (br_actor *l : {scene->light1, scene->light2, scene->light3})
        if (l != nullptr)
            BrLightDisable(l);
    if (scene->world != nullptr)
        BrActorFree(scene->world);
    BrMemFree(scene);
    // Registered materials, models and maps go too; maps from the 2D library's loaders were freed
    // by the loader (they belong to that library's instance).
    br_material *mats[256];
    br_uint_32 n;
    while ((n = BrMaterialFindMany("*", mats, 256)) > 0)
        for (br_uint_32 i = 0; i < n; i++) {
            BrMaterialRemove(mats[i]);
            BrMaterialFree(mats[i]);
        }
    br_model *models[256];
    while ((n = BrModelFindMany("*", models, 256)) > 0)
        for (br_uint_32 i = 0; i < n; i++) {
            BrModelRemove(models[i]);
            BrModelFree(models[i]);
        }
    kpResources().cubeOuter = kpResources().cubeInner = nullptr;
    kpObjects() = KpObjects();
    return 1;
}

KpScreen *KpCreateScreen(HWND window, KpScene *scene)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(KpScreen));
    KpScreen *s = h != nullptr ? static_cast<KpScreen *>(GlobalLock(h)) : nullptr;
    if (s == nullptr)
        return nullptr;
    new (s) KpScreen();
    s->block = h;
    s->scene = scene;
    s->window = window;
    const KpModule &m = kpModule();
    if (m.interFace != nullptr && m.interFace->hostDC != nullptr && !m.embedded) {
        s->dc = m.interFace->hostDC;
    } else if (window != nullptr) {
        s->dc = GetDC(window);
        s->ownDc = true;
    }
    s->pixelType = BR_PMT_RGB_565;
    return s;
}

int KpFreeScreen(KpScreen *screen)
{
    if (screen == nullptr)
        return 0;
    freeBuffers(screen);
    if (screen->ownDc && screen->window != nullptr && IsWindow(screen->window))
        ReleaseDC(screen->window, screen->dc);
    HGLOBAL h = screen->block;
    screen->~KpScreen();
    GlobalUnlock(h);
    GlobalFree(h);
    if (g_renderer.screen == screen)
        g_renderer.screen = nullptr;
    return 0;
}

void KpResizeScreen(KpScreen *s, int left, int top, int width, int height)
{
    if (s == nullptr)
        return;
    width = (width + 3) & ~3;
    freeBuffers(s);
    s->left = left;
    s->top = top;
    s->width = width;
    s->height = height;
    if (width > 0 && height > 0) {
        s->dib = KpMakeDib(width, height, s->pixelType);
        if (s->dib != nullptr)
            s->colour = BrPixelmapAllocate(BR_PMT_RGB_565, width, height, s->dib->bits, 1);
        if (s->colour != nullptr) {
            s->colour->origin_x = br_int_16(width / 2);
            s->colour->origin_y = br_int_16(height / 2);
            g_renderer.savedColour = BrPixelmapClone(s->colour);
            s->depth = BrPixelmapMatch(s->colour, 1);
            g_renderer.savedDepth = BrPixelmapMatch(s->colour, 1);
            s->aspect = int32_t(float(width) / float(height) * 65536.0f);
            BrPixelmapFill(s->colour, s->background);
            if (s->depth != nullptr)
                BrPixelmapFill(s->depth, 0xFFFF);
            if (g_renderer.savedDepth != nullptr)
                BrPixelmapFill(g_renderer.savedDepth, 0xFFFF);
        }
    }
    s->dirtyX = 0;
    s->dirtyY = 0;
    s->dirtyRight = width - 1;
    s->dirtyBottom = height - 1;
}

namespace {

// Depth buffers are copied by picture position, row by row: the 2D library's copies take colour
// pictures only.
void copyDepthRect(br_pixelmap *dst, const br_pixelmap *src, int x, int y, int w, int h)
{
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    const int right = std::min<int>(x + w, std::min<int>(dst->width, src->width));
    const int bottom = std::min<int>(y + h, std::min<int>(dst->height, src->height));
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (right <= x || bottom <= y)
        return;
    const size_t bytes = size_t(right - x) * 2;
    for (int row = y; row < bottom; row++) {
        char *d = static_cast<char *>(dst->pixels) + ptrdiff_t(dst->base_y + row) * dst->row_bytes + (dst->base_x + x) * 2;
        const char *from =
            static_cast<const char *>(src->pixels) + ptrdiff_t(src->base_y + row) * src->row_bytes + (src->base_x + x) * 2;
        memcpy(d, from, bytes);
    }
}

}  // namespace

void KpRenderFrame(KpScreen *s)
{
    KpRenderer &r = g_renderer;
    KpSwitches &sw = g_switches;
    KpObjects &o = kpObjects();
    if (s == nullptr || s->colour == nullptr || s->depth == nullptr || r.savedColour == nullptr ||
        r.savedDepth == nullptr || s->scene == nullptr)
        return;
    if (o.arrow != nullptr)
        o.arrow->render_style = (o.reachedExit || !o.mayTurn || o.won) ? BR_RSTYLE_NONE : BR_RSTYLE_FACES;
    if (kpModule().firstFramePending) {
        BrPixelmapFill(s->depth, 0xFFFF);
        BrPixelmapFill(r.savedDepth, 0xFFFF);
        sw.backgroundSwitch = 1;
    }
    // A screen as wide as the wide backdrop (the results screen's preview) is drawn over it.
    br_pixelmap *backdrop = kpResources().backdrops[0];
    if (s->width > 640 && kpResources().backdrops[3] != nullptr)
        backdrop = kpResources().backdrops[3];
    const bool special = sw.blinkMode || sw.introFrame || sw.paletteMode || sw.slotsMode;
    if (sw.slideSwitch && !sw.fullRedraw) {
        BrPixelmapCopy(s->colour, r.savedColour);
        if (backdrop != nullptr)
            for (int cy : {0, 380})
                for (int cx : {0, 440})
                    CopyRectangle(s->colour, cx, cy, backdrop, cx, cy, 200, 100);
    } else if (sw.fullRedraw) {
        sw.backgroundSwitch = 1;
        BrPixelmapFill(s->depth, 0xFFFF);
        if (backdrop != nullptr) {
            CopyRectangle(r.savedColour, 0, 0, backdrop, 0, 0, s->width, s->height);
            CopyRectangle(s->colour, 0, 0, backdrop, 0, 0, s->width, s->height);
        } else {
            BrPixelmapFill(r.savedColour, s->background);
            BrPixelmapFill(s->colour, s->background);
        }
    } else if (!sw.sceneLive && !special) {
        BrPixelmapFill(s->depth, 0xFFFF);
    } else if (!sw.dirtyValid || special) {
        BrPixelmapCopy(s->depth, r.savedDepth);
        BrPixelmapCopy(s->colour, r.savedColour);
    } else {
        CopyRectangle(s->colour, kClockX, kClockY, r.savedColour, kClockX, kClockY, kClockW, kClockH);
        const int w = s->dirtyRight - s->dirtyX + 1, h = s->dirtyBottom - s->dirtyY + 1;
        copyDepthRect(s->depth, r.savedDepth, s->dirtyX, s->dirtyY, w, h);
        CopyRectangle(s->colour, s->dirtyX, s->dirtyY, r.savedColour, s->dirtyX, s->dirtyY, w, h);
    }
    br_camera *cam = static_cast<br_camera *>(s->scene->camera->type_data);
    cam->aspect = float(s->aspect) / 65536.0f;
    memset(r.projected, 0, sizeof r.projected);
    BrZbSceneRender(s->scene->world, s->scene->camera, s->colour, s->depth);
    if (!sw.sceneLive || sw.fullRedraw || sw.introFrame || sw.paletteMode || sw.slotsMode || sw.newLevelSwitch) {
        BrPixelmapCopy(r.savedDepth, s->depth);
        BrPixelmapCopy(r.savedColour, s->colour);
    }
    if (sw.backgroundSwitch) {
        KpButtonsDraw(s);
        sw.backgroundSwitch = 0;
    }
    const VokInterFace *f = kpModule().interFace;
    if (f != nullptr && f->gameKind == 102 && f->levelFamily == 2 && o.fileMenuOpen) {
        const int at[2][2] = {{190, 45}, {375, 30}};
        for (int i = 0; i < 2; i++) {
            br_pixelmap *p = kpResources().editorHeaders[i];
            if (p != nullptr)
                CopyRectTranspAlpha(s->colour, at[i][0], at[i][1], p, 0, 0, p->width, p->height, 255);
        }
    }
    kpModule().firstFramePending = 0;
    if (!sw.presentSuppressed)
        sw.backgroundSwitch = 0;
}

br_uint_32 KpCubeRender(br_actor *actor, br_model *model, br_material *material, br_order_table *, br_uint_8 style,
                        int on_screen)
{
    int moving = -1;
    if (!KpCubeDrawn(actor, &moving))
        return 0;
    if (moving >= 0) {
        static const br_vector3 centre = {{0, 0, 0}};
        br_vector2 p;
        BrPointToScreenXY(&p, &centre);
        g_renderer.projected[moving][0] = int32_t(p.v[0]);
        g_renderer.projected[moving][1] = int32_t(p.v[1]);
    }
    return BrZbModelRender(actor, model, actor->material != nullptr ? actor->material : material, style, on_screen,
                           0);
}

void KpPresentFrame(KpScreen *s)
{
    KpSwitches &sw = g_switches;
    if (s == nullptr || s->dib == nullptr) {
        sw.presentSuppressed = 0;
        sw.introFrame = 0;
        return;
    }
    if (!sw.presentSuppressed) {
        const VokInterFace *f = kpModule().interFace;
        const bool editor = f != nullptr && f->gameKind == 102 && f->levelFamily != 1 && f->levelFamily != 3;
        const bool normal = sw.sceneLive && !sw.fullRedraw && !sw.introFrame && !sw.introBefore && !sw.paletteMode &&
                            !sw.slotsMode && !sw.newLevelSwitch && !sw.blinkMode && !sw.backgroundSwitch && !editor;
        bool any = false;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (normal)
            for (const auto &p : g_renderer.projected) {
                if (p[0] <= 0 || p[1] <= 0)
                    continue;
                if (!any)
                    x0 = x1 = p[0], y0 = y1 = p[1], any = true;
                x0 = p[0] < x0 ? p[0] : x0;
                y0 = p[1] < y0 ? p[1] : y0;
                x1 = p[0] > x1 ? p[0] : x1;
                y1 = p[1] > y1 ? p[1] : y1;
            }
        if (normal && any) {
            s->dirtyX = x0 - 40 < 0 ? 0 : x0 - 40;
            s->dirtyY = y0 - 40 < 0 ? 0 : y0 - 40;
            s->dirtyRight = x1 + 40 >= s->width ? s->width - 1 : x1 + 40;
            s->dirtyBottom = y1 + 40 >= s->height ? s->height - 1 : y1 + 40;
            sw.dirtyValid = 1;
            s->dib->present(s->dib, s->dc, s->dirtyX, s->dirtyY, s->dirtyRight - s->dirtyX + 1,
                            s->dirtyBottom - s->dirtyY + 1);
            s->dib->present(s->dib, s->dc, kClockX, kClockY, kClockW, kClockH);
        } else {
            sw.dirtyValid = 0;
            if (!kpObjects().setupPending)
                s->dib->present(s->dib, s->dc, 0, 0, s->width, s->height);
        }
    }
    sw.presentSuppressed = 0;
    sw.introBefore = sw.introFrame;
    sw.introFrame = 0;
}

void KpRenderAndPresent()
{
    KpRenderFrame(g_renderer.screen);
    KpPresentFrame(g_renderer.screen);
}

br_actor *KpPickAt(KpScreen *s, int x, int y)
{
    g_pick = KpPick();
    g_pick.distance = FLT_MAX;
    if (s == nullptr || s->colour == nullptr || s->scene == nullptr)
        return nullptr;
    BrScenePick2D(s->scene->world, s->scene->camera, s->colour, x - s->colour->origin_x, y - s->colour->origin_y,
                  pickActor, &g_pick);
    if (g_pick.actor != nullptr && g_pick.model != nullptr && named(g_pick.model->identifier, "Sik_Model")) {
        // The hit point in the board's space is on the plane; the editor wants it in the world's.
        br_matrix34 m;
        BrActorToActorMatrix34(&m, g_pick.actor, s->scene->world);
        BrMatrix34ApplyP(&g_boardHit, &g_pick.point, &m);
    }
    return g_pick.actor;
}

br_model *KpMakeModel(const char *name, int nv, int nf, const float (*points)[3], const float (*uvs)[2],
                      const uint16_t (*faces)[3])
{
    if (br_model *found = BrModelFind(name))
        return found;
    br_model *m = BrModelAllocate(name, nv, nf);
    if (m == nullptr)
        return nullptr;
    m->flags |= 0x83;
    const int shift = name[0] == 'C' ? 4 : 0;
    for (int i = 0; i < nv; i++) {
        BrVector3Set(&m->vertices[i].p, points[i][0], points[i][1], points[i][2]);
        m->vertices[i].map.v[0] = uvs[i][0];
        m->vertices[i].map.v[1] = uvs[i][1];
    }
    for (int i = 0; i < nf; i++) {
        for (int k = 0; k < 3; k++)
            m->faces[i].vertices[k] = br_uint_16(faces[i][k] - shift);
        m->faces[i].smoothing = 2;
    }
    return BrModelAdd(m);
}

br_material *KpMakeMaterial(const char *name, const char *texture)
{
    KpResources &res = kpResources();
    UpdateLoadingProgressBar(unsigned(10 + res.materialCount++));
    if (br_material *found = BrMaterialFind(name))
        return found;
    br_material *m = BrMaterialAllocate(name);
    if (m == nullptr)
        return nullptr;
    struct Preset {
        uint32_t flags;
        float ka, kd, ks, power;
        int opacity;
    };
    static const char *const kPlain[] = {"Blu_Material", "Gre_Material", "Ora_Material", "Red_Material",
                                         "Whi_Material", "Yel_Material", "Tab_Material", "Mix_Material"};
    static const char *const kOne[] = {"Blu1_Material", "Gre1_Material", "Ora1_Material", "Red1_Material",
                                       "Whi1_Material", "Yel1_Material", "Tab1_Material", "Mix1_Material"};
    auto any = [&](const char *const *list, int n) {
        for (int i = 0; i < n; i++)
            if (strcmp(name, list[i]) == 0)
                return true;
        return false;
    };
    Preset p = {1, 0.1f, 0.6f, 0.3f, 11, 255};
    if (name[0] == 'S')
        p = {33, 0.1f, 0.5f, 0.3f, 4, 255};
    else if (any(kPlain, 8))
        p = {37, 0.7f, 0, 0.1f, 11, 255};
    else if (any(kOne, 8))
        p = {37, 0, 0.8f, 0, 2, 255};
    else if (!strcmp(name, "Atlatszo_Material") || !strcmp(name, "Atlatszov_Material"))
        p = {37, 0.1f, 0.9f, 0.1f, 14, 0};
    else if (!strcmp(name, "Atlatszo1_Material") || !strcmp(name, "Atlatszo1v_Material"))
        p = {37, 0.8f, 0, 0, 0, 0};
    m->flags = p.flags;
    m->ka = p.ka;
    m->kd = p.kd;
    m->ks = p.ks;
    m->power = p.power;
    m->opacity = br_uint_8(p.opacity);
    m->colour = 0xFFFFFF;
    br_pixelmap *map = nullptr;
    if (texture != nullptr) {
        const size_t len = strlen(texture);
        const bool pix = len >= 4 && strcasecmp(texture + len - 4, ".pix") == 0;
        FFSetCurrentPack(pix ? res.picturePack : res.texturePack);
        map = KpLoadPackedMap(texture);
    }
    if (map != nullptr) {
        m->colour_map = map;
        // The shade table follows the family: the stem with its plain, "1", "v" and "1v" forms.
        auto stem = [&](const char *s) { return strncmp(name, s, strlen(s)) == 0; };
        const char *table = "slcute.shd";
        static const char *const kBoard[] = {"SikB_Material", "SikG_Material", "SikBv_Material", "SikGv_Material",
                                             "tur", "tfu", "tvi", "tba", "tjo"};
        bool board = any(kBoard, 9) || (stem("SikG") && strlen(name) == 14 && name[4] >= '0' && name[4] <= '7') ||
                     ((stem("tcb") || stem("tcj")) && strlen(name) == 4 && name[3] >= '0' && name[3] <= '3');
        if (board) {
            m->ka = 0.1f, m->kd = 0.5f, m->ks = 0.3f, m->power = 4;
            table = "Tabla0.shd";
        } else if (stem("Tab") || stem("Alap")) {
            table = "Black.shd";
        } else if (stem("Blu") || stem("Atlatszo")) {
            table = "Blue.shd";
        } else if (stem("Gre")) {
            table = "Green.shd";
        } else if (stem("Ora")) {
            table = "Orange.shd";
        } else if (stem("Red")) {
            table = "Red.shd";
        } else if (stem("Whi")) {
            table = "White.shd";
        } else if (stem("Yel")) {
            table = "Yellow.shd";
        } else if (stem("Mix")) {
            table = "Mix.shd";
        }
        for (int i = 0; i < 10; i++)
            if (res.shadeTables[i] != nullptr && strcmp(kKpShadeNames[i], table) == 0)
                m->index_shade = res.shadeTables[i];
    } else {
        m->ka = 0.3f, m->kd = 0.5f, m->ks = 0.1f, m->power = 50;
        m->colour_map = nullptr;
        m->index_shade = nullptr;
        m->colour = 0xC8C8C8;
    }
    return BrMaterialAdd(m);
}
