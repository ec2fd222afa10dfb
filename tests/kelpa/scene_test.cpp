// The 3D scene: camera and lights, the screen buffers, the restore cases of a frame, presenting,
// the cube render choice, picking, and the diagnostic handler.
#include <math.h>
#include <string.h>

#include "support.h"

using namespace kptest;

namespace {

// A pixel of a 16-bit map by its place in the picture (whatever the map's origin).
uint16_t px(const br_pixelmap *pm, int x, int y)
{
    return reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes)[x];
}

struct Rect4 {
    int x, y, w, h;
};
std::vector<Rect4> g_presented;
void recordPresent(KpDib *, HDC, int x, int y, int w, int h)
{
    g_presented.push_back({x, y, w, h});
}

// The pixel where a world point shows on the screen.
bool project(KpScreen *s, float x, float y, float z, int &sx, int &sy)
{
    br_matrix4 m;
    BrActorToScreenMatrix4(&m, s->scene->world, s->scene->camera);
    br_vector3 p = {{x, y, z}};
    br_vector4 v;
    BrMatrix4ApplyP(&v, &p, &m);
    if (v.v[3] <= 0)
        return false;
    const float hw = float(s->width / 2), hh = float(s->height / 2);
    sx = int(v.v[0] / v.v[3] * hw + hw);
    sy = int(-v.v[1] / v.v[3] * hh + hh);
    return true;
}

}  // namespace

TEST(KelpaScene, CameraAndLightsStandWhereTheGameLooksFrom)
{
    kpModule() = KpModule();
    KpBeginRenderer();
    KpScene *s = KpCreateScene();
    ASSERT_NE(s, nullptr);
    const br_camera *cam = static_cast<const br_camera *>(s->camera->type_data);
    EXPECT_EQ(cam->type, BR_CAMERA_PERSPECTIVE_CENTRED);
    EXPECT_EQ(cam->field_of_view, 5460);
    EXPECT_FLOAT_EQ(cam->hither_z, 1.0f);
    EXPECT_FLOAT_EQ(cam->yon_z, 4.0f);
    EXPECT_FLOAT_EQ(cam->aspect, 1.6f);
    // Pre-rotations apply last: back 3 along z, down about x, round about y, then lowered.
    br_matrix34 want;
    BrMatrix34Translate(&want, 0, 0, 3.0f);
    BrMatrix34PostRotateX(&want, 57330);
    BrMatrix34PostRotateY(&want, 8190);
    BrMatrix34PostTranslate(&want, 0, -0.12f, 0);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(s->camera->t.t.mat.m[r][c], want.m[r][c], 1e-5f) << r << "," << c;
    // Above the board, looking down at it.
    EXPECT_GT(s->camera->t.t.mat.m[3][1], 1.5f);
    const br_light *l1 = static_cast<const br_light *>(s->light1->type_data);
    const br_light *l2 = static_cast<const br_light *>(s->light2->type_data);
    const br_light *l3 = static_cast<const br_light *>(s->light3->type_data);
    EXPECT_EQ(l1->type, BR_LIGHT_POINT);
    EXPECT_EQ(l1->colour, 0xFFFFFFu);
    EXPECT_FLOAT_EQ(l1->attenuation_c, 1.7f);
    EXPECT_FLOAT_EQ(s->light1->t.t.mat.m[3][1], 3.5f);
    EXPECT_FLOAT_EQ(l2->attenuation_c, 2.3f);
    EXPECT_EQ(l3->type, BR_LIGHT_DIRECT);
    EXPECT_FLOAT_EQ(l3->attenuation_c, 2.0f);
    EXPECT_FLOAT_EQ(l3->attenuation_l, 0.2f);
    EXPECT_FLOAT_EQ(s->light3->t.t.mat.m[3][2], 0.6f);
    KpFreeScene(s);
    KpEndRenderer();
}

TEST(KelpaScene, ResizeRoundsTheWidthAndMakesA565Dib)
{
    kpModule() = KpModule();
    KpBeginRenderer();
    KpScreen *s = KpCreateScreen(nullptr, nullptr);
    ASSERT_NE(s, nullptr);
    struct Case {
        int w, h, wantW;
    } cases[] = {{640, 480, 640}, {642, 300, 644}, {1, 1, 4}, {0, 480, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.w);
        KpResizeScreen(s, 0, 0, c.w, c.h);
        EXPECT_EQ(s->width, c.wantW);
        EXPECT_EQ(s->dirtyRight, c.wantW - 1);
        EXPECT_EQ(s->dirtyBottom, c.h - 1);
        if (c.wantW == 0) {
            EXPECT_EQ(s->colour, nullptr);
            EXPECT_EQ(s->dib, nullptr);
            continue;
        }
        ASSERT_NE(s->dib, nullptr);
        ASSERT_NE(s->colour, nullptr);
        ASSERT_NE(s->depth, nullptr);
        EXPECT_EQ(s->colour->width, c.wantW);
        EXPECT_EQ(s->depth->type, BR_PMT_DEPTH_16);
        EXPECT_EQ(s->aspect, int32_t(float(c.wantW) / float(c.h) * 65536.0f));
        const BITMAPINFOHEADER &bh = s->dib->info->bmiHeader;
        EXPECT_EQ(bh.biBitCount, 16);
        EXPECT_EQ(bh.biCompression, DWORD(BI_BITFIELDS));
        EXPECT_EQ(bh.biHeight, c.h);  // bottom-up
        const DWORD *masks = reinterpret_cast<const DWORD *>(s->dib->info->bmiColors);
        EXPECT_EQ(masks[0], 0xF800u);
        EXPECT_EQ(masks[1], 0x07E0u);
        EXPECT_EQ(masks[2], 0x001Fu);
        // The colour buffer is the DIB: its first row is the DIB's last.
        *static_cast<uint16_t *>(s->colour->pixels) = 0xBEEF;
        const size_t row = size_t(c.wantW) * 2;
        EXPECT_EQ(*reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(s->dib->bits) + row * size_t(c.h - 1)), 0xBEEF);
    }
    KpFreeScreen(s);
    KpEndRenderer();
}

TEST_F(SetUpGame, EachRestoreCaseTakesItsSource)
{
    KpScreen *s = kpRenderer().screen;
    br_pixelmap *saved = kpRenderer().savedColour, *backdrop = kpResources().backdrops[0];
    ASSERT_NE(s, nullptr);
    ASSERT_NE(backdrop, nullptr);
    // Points the 3D picture never covers: the left edge, inside the top-left corner, the right edge,
    // the clock strip.
    const int side[2] = {5, 240}, corner[2] = {150, 50}, right[2] = {634, 240}, clock[2] = {300, 460};
    const uint16_t A = 0x1111, B = 0x2222;
    struct Case {
        const char *name;
        int slide, full, live, blink, dirty;
        // Expected source at side, corner, right, clock: 'A' saved, 'B' kept, 'K' backdrop.
        const char *want;
    } cases[] = {
        {"slide", 1, 0, 1, 0, 0, "AKAA"}, {"full redraw", 0, 1, 1, 0, 0, "KKKK"}, {"no live scene", 0, 0, 0, 0, 0, "BBBB"},
        {"blink", 0, 0, 0, 1, 0, "AAAA"}, {"no dirty rectangle", 0, 0, 1, 0, 0, "AAAA"},
        {"dirty rectangle", 0, 0, 1, 0, 1, "ABBA"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        kpModule().firstFramePending = 0;
        KpSwitches &sw = kpSwitches();
        sw = KpSwitches();
        sw.slideSwitch = c.slide;
        sw.fullRedraw = c.full;
        sw.sceneLive = c.live;
        sw.indicatorLive = 0;
        sw.blinkMode = c.blink;
        sw.dirtyValid = c.dirty;
        s->dirtyX = 0, s->dirtyY = 200, s->dirtyRight = 20, s->dirtyBottom = 260;
        BrPixelmapFill(saved, A);
        BrPixelmapFill(s->colour, B);
        KpRenderFrame(s);
        const int *points[4] = {side, corner, right, clock};
        for (int i = 0; i < 4; i++) {
            const uint16_t want = c.want[i] == 'A' ? A : c.want[i] == 'B' ? B : px(backdrop, points[i][0], points[i][1]);
            EXPECT_EQ(px(s->colour, points[i][0], points[i][1]), want) << "point " << i;
        }
    }
    kpSwitches() = KpSwitches();
}

TEST_F(SetUpGame, PresentingTakesTheMovingCubesAndTheClockOrTheWholePicture)
{
    KpScreen *s = kpRenderer().screen;
    ASSERT_NE(s, nullptr);
    s->dib->present = recordPresent;
    struct Case {
        const char *name;
        int full, setupPending, suppressed;
        std::vector<Rect4> want;
    } cases[] = {
        {"running", 0, 0, 0, {{60, 60, 131, 101}, {250, 450, 160, 30}}},
        {"full redraw", 1, 0, 0, {{0, 0, 640, 480}}},
        {"set-up pending", 1, 1, 0, {}},
        {"suppressed", 0, 0, 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g_presented.clear();
        KpSwitches &sw = kpSwitches();
        sw = KpSwitches();
        sw.fullRedraw = c.full;
        sw.presentSuppressed = c.suppressed;
        kpObjects().setupPending = c.setupPending;
        memset(kpRenderer().projected, 0, sizeof kpRenderer().projected);
        kpRenderer().projected[0][0] = 100, kpRenderer().projected[0][1] = 100;
        kpRenderer().projected[1][0] = 150, kpRenderer().projected[1][1] = 120;
        kpRenderer().projected[2][0] = 0, kpRenderer().projected[2][1] = 400;  // not on screen: left out
        KpPresentFrame(s);
        ASSERT_EQ(g_presented.size(), c.want.size());
        for (size_t i = 0; i < c.want.size(); i++) {
            EXPECT_EQ(g_presented[i].x, c.want[i].x);
            EXPECT_EQ(g_presented[i].y, c.want[i].y);
            EXPECT_EQ(g_presented[i].w, c.want[i].w);
            EXPECT_EQ(g_presented[i].h, c.want[i].h);
        }
        EXPECT_EQ(sw.dirtyValid, c.name == std::string("running") ? 1 : 0);
        EXPECT_EQ(sw.presentSuppressed, 0);
    }
    kpObjects().setupPending = 0;
    kpSwitches() = KpSwitches();
}

TEST_F(SetUpGame, TheRenderPassDrawsTheCubesItsSwitchesName)
{
    KpObjects &o = kpObjects();
    br_actor *worm = o.worm[0].cube, *loose = o.looseCubes[0].cube, *palette = o.paletteCubes[0];
    ASSERT_NE(worm, nullptr);
    ASSERT_NE(loose, nullptr);
    ASSERT_NE(palette, nullptr);
    br_actor *twin = worm->children, *exit = o.exitMarker;
    o.matchList[0] = loose;
    o.matchCount = 1;
    o.nextWormCubes[0] = worm;  // as when the next worm has just been prepared
    palette->material = BrMaterialFind("Atlatszo1_Material");
    struct Case {
        const char *name;
        int live, full, slots, palette, blink, intro, indicator;
        br_actor *actor;
        bool drawn;
        int moving;
    } cases[] = {
        {"idle worm", 0, 0, 0, 0, 0, 0, 0, worm, false, -1},
        {"exit always", 0, 0, 0, 0, 0, 0, 0, exit, true, -1},
        {"live worm", 1, 0, 0, 0, 0, 0, 0, worm, true, 0},
        {"live twin", 1, 0, 0, 0, 0, 0, 0, twin, true, -1},
        {"live loose", 1, 0, 0, 0, 0, 0, 0, loose, false, -1},
        {"full loose", 0, 1, 0, 0, 0, 0, 0, loose, true, -1},
        {"full worm", 0, 1, 0, 0, 0, 0, 0, worm, false, -1},
        {"slots loose", 0, 0, 1, 0, 0, 0, 0, loose, true, -1},
        {"palette empty look", 0, 0, 0, 1, 0, 0, 0, palette, false, -1},
        {"blink match", 0, 0, 0, 0, 1, 0, 0, loose, true, -1},
        {"intro next worm", 0, 0, 0, 0, 0, 1, 0, worm, true, -1},
        {"indicator", 0, 0, 0, 0, 0, 0, 1, o.arrow, true, -1},
        {"indicator off", 0, 1, 0, 0, 0, 0, 0, o.arrow, false, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KpSwitches &sw = kpSwitches();
        sw = KpSwitches();
        sw.sceneLive = c.live, sw.fullRedraw = c.full, sw.slotsMode = c.slots, sw.paletteMode = c.palette;
        sw.blinkMode = c.blink, sw.introFrame = c.intro, sw.indicatorLive = c.indicator;
        int moving = 7;
        EXPECT_EQ(KpCubeDrawn(c.actor, &moving), c.drawn);
        EXPECT_EQ(moving, c.moving);
    }
    // The editor's game draws the held cube, except while the palette redraws.
    face->gameKind = 102;
    o.heldCube = loose;
    kpSwitches() = KpSwitches();
    kpSwitches().sceneLive = 0;
    int moving;
    EXPECT_TRUE(KpCubeDrawn(loose, &moving));
    kpSwitches().paletteMode = 1;
    EXPECT_FALSE(KpCubeDrawn(loose, &moving));
    o.heldCube = nullptr;
    face->gameKind = 101;
    kpSwitches() = KpSwitches();
}

TEST_F(SetUpGame, APickFindsTheNearestCubeAndTheBoardPoint)
{
    KpScreen *s = kpRenderer().screen;
    KpObjects &o = kpObjects();
    br_actor *a = o.queue[120].cube, *b = o.queue[121].cube;
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    br_matrix34 cm;
    BrActorToActorMatrix34(&cm, s->scene->camera, s->scene->world);
    const float cx = cm.m[3][0], cy = cm.m[3][1], cz = cm.m[3][2];
    const float p[3] = {0, 0.25f, 0};  // held above the board, so the cube behind stays above it too
    float d[3] = {p[0] - cx, p[1] - cy, p[2] - cz};
    const float len = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (float &v : d)
        v /= len;
    int sx, sy;
    ASSERT_TRUE(project(s, p[0], p[1], p[2], sx, sy));
    // Cubes out of play are hidden; these two are brought into view.
    for (br_actor *c : {a, b}) {
        c->render_style = BR_RSTYLE_DEFAULT;
        if (c->children != nullptr)
            c->children->render_style = BR_RSTYLE_DEFAULT;
    }
    for (int swap = 0; swap < 2; swap++) {
        br_actor *front = swap ? b : a, *back = swap ? a : b;
        BrMatrix34Translate(&front->t.t.mat, p[0], p[1], p[2]);
        BrMatrix34Translate(&back->t.t.mat, p[0] + 0.15f * d[0], p[1] + 0.15f * d[1], p[2] + 0.15f * d[2]);
        br_actor *hit = KpPickAt(s, sx, sy);
        ASSERT_NE(hit, nullptr);
        EXPECT_TRUE(hit == front || hit->parent == front) << swap;
        // A held cube is looked through.
        o.heldCube = front;
        hit = KpPickAt(s, sx, sy);
        o.heldCube = nullptr;
        ASSERT_NE(hit, nullptr);
        EXPECT_TRUE(hit == back || hit->parent == back) << swap;
    }
    BrMatrix34Translate(&a->t.t.mat, 5, 5, 5);
    BrMatrix34Translate(&b->t.t.mat, 5, 5, 5);
    // An empty cell: the hit is its tile and the board point lies in it.
    ASSERT_TRUE(project(s, -0.3f, 0, -0.4f, sx, sy));
    br_actor *tile = KpPickAt(s, sx, sy);
    ASSERT_NE(tile, nullptr);
    ASSERT_NE(tile->model, nullptr);
    EXPECT_STREQ(tile->model->identifier, "Sik_Model");
    EXPECT_NEAR(kpBoardHit().v[0], -0.3f, 0.02f);
    EXPECT_NEAR(kpBoardHit().v[1], 0.0f, 0.01f);
    EXPECT_NEAR(kpBoardHit().v[2], -0.4f, 0.02f);
    // Off the board and every actor: nothing.
    EXPECT_EQ(KpPickAt(s, 2, 240), nullptr);
}

TEST(KelpaScene, LibraryFailuresGoToTheDebuggerAndReturn)
{
    kpModule() = KpModule();
    PlatDebugOutputClear();
    KpBeginRenderer();
    BrWarning("kelpa warning %d", 1);
    BrFailure("kelpa failure %d", 2);
    KpEndRenderer();
    char out[4096];
    PlatDebugOutput(out, sizeof out);
    EXPECT_NE(strstr(out, "kelpa warning 1"), nullptr) << out;
    EXPECT_NE(strstr(out, "kelpa failure 2"), nullptr) << out;
}
