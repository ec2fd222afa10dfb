// Resource loading: the packs, shade tables, font set, cube models, materials, the board, palette,
// pattern and worm actors, the buttons, the backdrops and the pacing tables; and the small picture
// helpers the buttons and the loader share.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kelpa/kelpa.h"
#include "pannix/pxpix.h"
#include <brondel/brpmfile.h>
#include "vokplat/stdio.h"
#include "vokscore/vokloading.h"
#include "vokscore/vokpath.h"

namespace {

KpResources g_resources;
KpObjects g_objects;
KpImageHook g_hook = nullptr;
// Pictures read through the 2D library: they belong to its instance and go back through PxFreePix.
std::vector<br_pixelmap *> g_pannixMaps;

const float kQuadPoints[4][3] = {{-0.05f, -0.05f, 0}, {0.05f, -0.05f, 0}, {0.05f, 0.05f, 0}, {-0.05f, 0.05f, 0}};
const float kQuadUv[4][2] = {{0, 0.99f}, {0.99f, 0.99f}, {0.99f, 0}, {0, 0}};
const uint16_t kQuadFaces[2][3] = {{0, 1, 2}, {0, 2, 3}};
// The slab under the board: the board and a rim round it.
const float kNagyPoints[4][3] = {{-0.6f, -0.6f, 0}, {0.6f, -0.6f, 0}, {0.6f, 0.6f, 0}, {-0.6f, 0.6f, 0}};
const float kNagyUv[4][2] = {{0, 5.99f}, {5.99f, 5.99f}, {5.99f, 0}, {0, 0}};
const float kPatternPoints[4][3] = {{-0.3f, -0.05f, 0}, {0.3f, -0.05f, 0}, {0.3f, 0.05f, 0}, {-0.3f, 0.05f, 0}};

struct MaterialRow {
    const char *name, *texture;
};
const MaterialRow kMaterials[42] = {
    {"Red_Material", "red.bmp"},       {"Blu_Material", "blue.bmp"},       {"Yel_Material", "yellow.bmp"},
    {"Gre_Material", "green.bmp"},     {"Whi_Material", "white.bmp"},      {"Ora_Material", "orange.bmp"},
    {"Tab_Material", "black.bmp"},     {"Mix_Material", "Mix.bmp"},        {"Redv_Material", "redv.bmp"},
    {"Bluv_Material", "bluev.bmp"},    {"Yelv_Material", "yellowv.bmp"},   {"Grev_Material", "greenv.bmp"},
    {"Whiv_Material", "whitev.bmp"},   {"Orav_Material", "orangev.bmp"},   {"Tabv_Material", "blackv.bmp"},
    {"Mixv_Material", "Mixv.bmp"},     {"Red1_Material", "red1.bmp"},      {"Blu1_Material", "blue1.bmp"},
    {"Yel1_Material", "yellow1.bmp"},  {"Gre1_Material", "green1.bmp"},    {"Whi1_Material", "white1.bmp"},
    {"Ora1_Material", "orange1.bmp"},  {"Tab1_Material", "black1.bmp"},    {"Mix1_Material", "Mix1.bmp"},
    {"Red1v_Material", "redv1.bmp"},   {"Blu1v_Material", "bluev1.bmp"},   {"Yel1v_Material", "yellowv1.bmp"},
    {"Gre1v_Material", "greenv1.bmp"}, {"Whi1v_Material", "whitev1.bmp"},  {"Ora1v_Material", "orangev1.bmp"},
    {"Tab1v_Material", "blackv1.bmp"}, {"Mix1v_Material", "Mixv1.bmp"},    {"Atlatszo_Material", "atlat.bmp"},
    {"Atlatszo1_Material", "atlat1.bmp"}, {"Atlatszov_Material", "atlatv.bmp"},
    {"Atlatszo1v_Material", "atlatv1.bmp"}, {"ArrowG_Material", "nyil1.pix"}, {"ArrowR_Material", "nyil2.pix"},
    {"SikB_Material", "tabla0.bmp"},   {"SikG_Material", "tabla1.bmp"},    {"SikBv_Material", "tablav0.bmp"},
    {"SikGv_Material", "tablav1.bmp"},
};

br_actor *modelActor(br_actor *parent, br_model *model, const char *material, const char *id)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    if (a == nullptr)
        return nullptr;
    a->model = model;
    a->material = BrMaterialFind(material);
    a->render_style = BR_RSTYLE_FACES;
    a->t.type = BR_TRANSFORM_MATRIX34;
    if (id != nullptr)
        a->identifier = BrResStrDup(a, id);
    return BrActorAdd(parent, a);
}

// A cube: the outer actor with the colour material and its inner actor (the twin, first child).
br_actor *cubeActor(br_actor *parent, const char *outer, const char *inner, float x, float y, float z)
{
    KpResources &r = g_resources;
    br_actor *a = modelActor(parent, r.cubeOuter, outer, "Cube_Model");
    if (a == nullptr)
        return nullptr;
    modelActor(a, r.cubeInner, inner, "Cube_Model");
    BrMatrix34Translate(&a->t.t.mat, x, y, z);
    return a;
}

br_model *loadCubeModel(const char *name)
{
    br_model *m = BrModelLoad(VokMakeReadPath("kp\\", "%s", name));
    if (m == nullptr)
        return nullptr;
    m->flags |= 0x82;
    m->flags |= BR_MODF_CUSTOM;
    m->custom = KpCubeRender;
    return m;
}

}  // namespace

const char *const kKpShadeNames[10] = {"Black.shd", "Blue.shd",   "Green.shd",  "Orange.shd", "Red.shd",
                                       "White.shd", "Yellow.shd", "Mix.shd",    "Tabla0.shd", "slcute.shd"};
const char *const kKpButtonPacks[4] = {"kpbuus", "kpbuuk", "kpbude", "kpbufr"};

KpResources &kpResources()
{
    return g_resources;
}

KpObjects &kpObjects()
{
    return g_objects;
}

br_pixelmap *KpLoadPackedMap(const char *name)
{
    br_pixelmap *map = PxLoadPixP(name, 1);
    if (map == nullptr)
        return nullptr;
    // Found again by name through the registry.
    PxReplaceId(map, name);
    g_pannixMaps.push_back(map);
    return BrMapAdd(map);
}

void KpLoadResources(KpScene *scene)
{
    KpResources &r = g_resources;
    KpObjects &o = g_objects;
    const VokInterFace *f = kpModule().interFace;
    int language = f != nullptr ? f->language : 0;
    if (language < 0 || language > 3)
        language = 0;  // Hungarian and anything past it take the US buttons
    r.shadePack = FFOpenPack(VokMakeReadPath("kp\\", "kpshdek"), 0);
    r.buttonPack = FFOpenPack(VokMakeReadPath("kp\\", "%s", kKpButtonPacks[language]), 0);
    r.texturePack = FFOpenPack(VokMakeReadPath("kp\\", "kpbmpek"), 0);
    r.picturePack = FFOpenPack(VokMakeReadPath("kp\\", "kppixek"), 0);
    FFSetCurrentPack(r.shadePack);
    for (int i = 0; i < 10; i++) {
        br_pixelmap *t = r.shadePack != nullptr ? PxLoadPixP(kKpShadeNames[i], 1) : nullptr;
        if (t != nullptr) {
            PxReplaceId(t, kKpShadeNames[i]);
            g_pannixMaps.push_back(t);
            BrTableAdd(t);
        }
        r.shadeTables[i] = t;
    }
    UpdateLoadingProgressBar(10);

    r.fonts = PxLoadFontset(VokMakeDataPath("kp"), 5, nullptr);
    PxSetShowTextMethod(1, 0);

    if (scene == nullptr)
        return;
    scene->group = BrActorAdd(scene->world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    scene->group->t.type = BR_TRANSFORM_IDENTITY;

    r.cubeOuter = loadCubeModel("Kockaa.mod");
    r.cubeInner = loadCubeModel("Kockab.mod");
    srand(timeGetTime());
    for (br_model *m : {r.cubeOuter, r.cubeInner}) {
        if (m == nullptr)
            continue;
        for (int i = 0; i < m->nfaces; i++)
            m->faces[i].smoothing = 2;
        BrModelUpdate(m, 0x7FFF);
        BrModelAdd(m);
    }

    r.materialCount = 0;
    for (const MaterialRow &row : kMaterials)
        KpMakeMaterial(row.name, row.texture);

    // Quads: the tile, the pattern plane, the slab under the board and the turn arrow.
    br_model *tile = KpMakeModel("Sik_Model", 4, 2, kQuadPoints, kQuadUv, kQuadFaces);
    br_model *pattern = KpMakeModel("Minta_Sik_Model", 4, 2, kPatternPoints, kQuadUv, kQuadFaces);
    br_model *nagy = KpMakeModel("Nagy", 4, 2, kNagyPoints, kNagyUv, kQuadFaces);
    br_model *arrow = KpMakeModel("Arrow_Model", 4, 2, kQuadPoints, kQuadUv, kQuadFaces);

    br_actor *g = scene->group;
    const float away = 100;
    if (r.cubeOuter != nullptr && r.cubeInner != nullptr) {
        for (int i = 0; i < 30; i++) {
            // Faces, not "none": style none would skip the cube and its inner cube in every pass.
            o.patternCubes[i] = cubeActor(g, "Atlatszo1_Material", "Atlatszo_Material", away, away, away);
        }
        static const char *const kPalette[7][2] = {
            {"Tab1_Material", "Tab_Material"}, {"Whi1_Material", "Whi_Material"}, {"Blu1_Material", "Blu_Material"},
            {"Ora1_Material", "Ora_Material"}, {"Red1_Material", "Red_Material"}, {"Tab1_Material", "Tab_Material"},
            {"Tab1_Material", "Tab_Material"}};
        for (int i = 0; i < 7; i++)
            o.paletteCubes[i] = cubeActor(g, kPalette[i][0], kPalette[i][1], away, away, away);
        static const char *const kTools[9][2] = {
            {"Blu1_Material", "Blu_Material"}, {"Red1_Material", "Red_Material"}, {"Gre1_Material", "Gre_Material"},
            {"Yel1_Material", "Yel_Material"}, {"Whi1_Material", "Whi_Material"}, {"Ora1_Material", "Ora_Material"},
            {"Tab1_Material", "Tab_Material"}, {"Mix1_Material", "Mix_Material"}, {"SikG_Material", "SikG_Material"}};
        for (int i = 0; i < 9; i++)
            o.toolCubes[i] = cubeActor(g, kTools[i][0], kTools[i][1], away, away, away);
        o.exitMarker = o.toolCubes[8];
        // Every cube of the game starts out of play, in the queue.
        for (int i = 0; i < kKpCubes; i++) {
            KpCubeSlot &s = o.queue[i];
            s = KpCubeSlot();
            s.cube = cubeActor(g, "Mix1_Material", "Mix_Material", 5, 5, 5);
            s.x = 5;
            s.z = 5;
        }
    }
    o.wormLength = 5;

    br_actor *board = BrActorAdd(g, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    board->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Translate(&board->t.t.mat, -0.5f, 0, -0.5f);
    o.boardPlane = board;
    for (int row = 0; row < 11; row++)
        for (int column = 0; column < 11; column++) {
            char id[32];
            snprintf(id, sizeof id, "Sik%d%d", row, column);
            br_actor *t = modelActor(board, tile, "SikB_Material", id);
            if (t == nullptr)
                continue;
            BrMatrix34PreRotateX(&t->t.t.mat, br_angle(49156));
            BrMatrix34PostTranslate(&t->t.t.mat, 0.1f * float(column), 0, 0.1f * float(row));
            o.tiles[row * 11 + column] = t;
        }
    o.patternPlane = modelActor(g, pattern, "SikBv_Material", "Minta_Sik");
    if (o.patternPlane != nullptr) {
        BrMatrix34RotateX(&o.patternPlane->t.t.mat, br_angle(49156));
        BrMatrix34PostTranslate(&o.patternPlane->t.t.mat, 0.1f, 0, 0.85f);
        o.patternPlane->render_style = BR_RSTYLE_NONE;
    }
    o.nagy = modelActor(g, nagy, "Tab1_Material", "Nagy");
    if (o.nagy != nullptr) {
        BrMatrix34RotateX(&o.nagy->t.t.mat, br_angle(49156));
        BrMatrix34PostTranslate(&o.nagy->t.t.mat, 0, -0.01f, 0);
    }
    FFSetCurrentPack(r.picturePack);
    o.arrow = modelActor(g, arrow, "ArrowG_Material", "Arrow");
    if (o.arrow != nullptr) {
        BrMatrix34RotateX(&o.arrow->t.t.mat, br_angle(49156));
        BrMatrix34PostTranslate(&o.arrow->t.t.mat, 0, -0.06f, 0);
    }
    if (tile != nullptr)
        BrModelUpdate(tile, 64);

    // Buttons read their frames from the language's pack.
    FFSetCurrentPack(r.buttonPack);
    static const KpButtonAction kActions[KP_BTN_COUNT] = {
        KpFileMenu,     KpFileMenu,   KpFileMenu,  KpFileMenu,  KpFileMenu,     KpMenuAction,   KpHelpAction,
        KpTestLevel,    KpTestLevel,  KpTestLevel, KpTestLevel, KpResetAction,  KpSpeedAction,  KpLevelAction,
        KpNewLevel};
    static const int kSounds[KP_BTN_COUNT] = {-1, -1, -1, -1, -1, 1, 1, 9, 6, 9, 6, 8, 1, 1, -1};
    for (int i = 0; i < KP_BTN_COUNT; i++) {
        UpdateLoadingProgressBar(unsigned(62 + i));
        const bool twoState = i >= KP_BTN_START && i <= KP_BTN_PARE_N;
        // The file menu sits under the menu button and unfolds downwards.
        const int y = i <= KP_BTN_FILE4 ? 60 + 36 * i : 0;
        KpButton *b = KpButtonCreate(twoState ? 2 : 1, kActions[i], 0, y, kKpButtonPaths[i], 0);
        if (b != nullptr) {
            b->sound = kSounds[i];
            if (i >= KP_BTN_FILE1 && i <= KP_BTN_FILE4)
                b->visible = 0;
        }
        kpButton(i) = b;
    }

    FFSetCurrentPack(r.picturePack);
    static const char *const kBackdrops[4] = {"hatter.pix", "hatterb.pix", "hatters.pix", "hattern.pix"};
    static const unsigned kProgress[4] = {80, 85, 90, 95};
    for (int i = 0; i < 4; i++) {
        UpdateLoadingProgressBar(kProgress[i]);
        r.backdrops[i] = r.picturePack != nullptr ? KpLoadPackedMap(kBackdrops[i]) : nullptr;
    }
    static const char *const kHeaders[2] = {"kpfej1.pix", "kpfej2.pix"};
    for (int i = 0; i < 2; i++) {
        br_pixelmap *p = r.picturePack != nullptr ? PxLoadPixP(kHeaders[i], 1) : nullptr;
        if (p != nullptr)
            g_pannixMaps.push_back(p);
        r.editorHeaders[i] = p;
    }
    UpdateLoadingProgressBar(96);
    UpdateLoadingProgressBar(97);

    KpPacingTables();
    r.speed = 7;
    r.pacingIndex = 1;
    memset(r.levelHeader, 0, sizeof r.levelHeader);
    r.levelHeader[0] = 7;
    r.levelHeader[1] = 99;
    r.levelHeader[11] = 1;
    if (kpRenderer().screen != nullptr)
        kpRenderer().screen->words[1] = kpRenderer().screen->words[2] = 0;
    UpdateLoadingProgressBar(100);
}

void KpFreeResources()
{
    KpResources &r = g_resources;
    for (br_pixelmap *&t : r.shadeTables)
        if (t != nullptr)
            BrTableRemove(t), t = nullptr;
    // Out of both registries (and the renderer's hands) before the 2D library takes them back.
    // All leave first: a removal updates the materials that still name the other maps, which
    // must not be freed yet (the 2D library's free runs in its own 3D instance and cannot warn
    // ours).
    for (br_pixelmap *p : g_pannixMaps) {
        BrMapRemove(p);
        BrTableRemove(p);
    }
    for (br_pixelmap *p : g_pannixMaps)
        PxFreePix(p);
    g_pannixMaps.clear();
    for (br_pixelmap *&p : r.backdrops)
        p = nullptr;
    for (br_pixelmap *&p : r.editorHeaders)
        p = nullptr;
}

void KpSetImageHook(KpImageHook hook)
{
    g_hook = hook;
}

void KpClearImageHook()
{
    g_hook = nullptr;
}

br_pixelmap *KpLoadImage(const char *path)
{
    if (path == nullptr)
        return nullptr;
    FILE *f = PlatFopen(path, "rb");
    if (f == nullptr)
        return nullptr;
    fclose(f);
    const char *dot = strrchr(path, '.');
    br_pixelmap *map = nullptr;
    if (dot == nullptr)
        return nullptr;
    if (strcasecmp(dot, ".bmp") == 0)
        map = BrFmtBMPLoad(path, 0);
    else if (strcasecmp(dot, ".tga") == 0)
        map = BrFmtTGALoad(path, 0);
    else if (strcasecmp(dot, ".pix") == 0)
        map = BrPixelmapLoad(path);
    else
        return nullptr;
    if (map == nullptr)
        return nullptr;
    if (g_hook != nullptr)
        map = g_hook(map);
    return map != nullptr ? BrMapAdd(map) : nullptr;
}

char *KpFrameName(char *out, const char *prefix, int digits, const char *extension, int n)
{
    sprintf(out, "%s%0*d.%s", prefix, digits, n, extension);
    return out;
}

br_pixelmap **KpLoadFrameSequence(const char *prefix, int digits, const char *extension, int *count)
{
    br_pixelmap *found[256];
    int n = 0;
    char name[300];
    while (n < 256) {
        if (strlen(prefix) + size_t(digits) + strlen(extension) + 16 > sizeof name)
            break;
        br_pixelmap *p = PxLoadPixP(KpFrameName(name, prefix, digits, extension, n), 1);
        if (p == nullptr)
            break;
        found[n++] = p;
    }
    if (count != nullptr)
        *count = n;
    if (n == 0)
        return nullptr;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(br_pixelmap *) * size_t(n));
    br_pixelmap **frames = h != nullptr ? static_cast<br_pixelmap **>(GlobalLock(h)) : nullptr;
    if (frames == nullptr) {
        for (int i = 0; i < n; i++)
            PxFreePix(found[i]);
        if (count != nullptr)
            *count = 0;
        return nullptr;
    }
    memcpy(frames, found, sizeof(br_pixelmap *) * size_t(n));
    return frames;
}

void KpFreeFrameSequence(br_pixelmap **frames, int count)
{
    if (frames == nullptr)
        return;
    for (int i = 0; i < count; i++)
        if (frames[i] != nullptr)
            PxFreePix(frames[i]);
    HGLOBAL h = GlobalHandle(frames);
    GlobalUnlock(h);
    GlobalFree(h);
}


void KpKeyOutMask(br_pixelmap *map)
{
    if (map == nullptr || map->pixels == nullptr)
        return;
    if (map->type != BR_PMT_RGB_555 && map->type != BR_PMT_RGB_565 && map->type != BR_PMT_DEPTH_16)
        return;
    for (int y = 0; y < map->height; y++) {
        uint16_t *row = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(map->pixels) +
                                                     ptrdiff_t(y) * map->row_bytes) + map->base_x;
        for (int x = 0; x < map->width; x++) {
            if (row[x] == 0)
                row[x] = 1;
            else if (row[x] == 0x3000 || row[x] == 0x3400)
                row[x] = 0;
        }
    }
}
