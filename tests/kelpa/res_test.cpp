// Resources: what a load over the generated data holds, a load without the packs, the material
// presets, the picture helpers, and the buttons (places, hit test, animations, slide-out).
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <set>

#include <algorithm>
#include <functional>

#include "fpk/fpkformat.h"
#include "kelpa/kprules.h"
#include "levelfile.h"
#include "pannix/pxpix.h"
#include "support.h"

#include <brondel/brpmfile.h>

using namespace kptest;

namespace {

fs::path tempFolder(const char *name)
{
    fs::path p = fs::temp_directory_path() / ("kelpa_res_" + std::to_string(getpid())) / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

// The host path as the framework writes its roots: backslashes and one at the end.
std::string asRoot(const fs::path &p)
{
    std::string s = p.string();
    for (char &c : s)
        if (c == '/')
            c = '\\';
    return s + "\\";
}

void writeBytes(const fs::path &p, const std::vector<uint8_t> &bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> rows565(int w, int h, uint16_t v)
{
    std::vector<uint8_t> out;
    for (int i = 0; i < w * h; i++)
        out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8));
    return out;
}

std::vector<std::pair<KpButton *, int>> g_frames;
void recordFrame(KpButton *b, int frame)
{
    g_frames.push_back({b, frame});
}
int g_actions = 0;
int countAction(KpButton *)
{
    g_actions++;
    return 0;
}

br_pixelmap *g_hooked = nullptr;
br_pixelmap *hook(br_pixelmap *pm)
{
    g_hooked = pm;
    return pm;
}

}  // namespace

TEST_F(SetUpGame, ALoadHoldsEveryTableMaterialCubeTileAndButton)
{
    KpResources &r = kpResources();
    KpObjects &o = kpObjects();
    for (int i = 0; i < 10; i++) {
        ASSERT_NE(r.shadeTables[i], nullptr) << kKpShadeNames[i];
        EXPECT_EQ(r.shadeTables[i]->type, BR_PMT_INDEX_8);
    }
    br_material *mats[128];
    EXPECT_EQ(BrMaterialFindMany("*", mats, 128), 42u);
    EXPECT_EQ(r.materialCount, 42);
    ASSERT_NE(r.cubeOuter, nullptr);
    ASSERT_NE(r.cubeInner, nullptr);
    for (br_model *m : {r.cubeOuter, r.cubeInner}) {
        EXPECT_NE(m->flags & BR_MODF_CUSTOM, 0);
        EXPECT_EQ(m->custom, KpCubeRender);
        EXPECT_EQ(m->faces[0].smoothing, 2);
    }
    auto withTwin = [](br_actor *a) { return a != nullptr && a->children != nullptr && a->children->model != nullptr; };
    for (br_actor *a : o.patternCubes) {
        EXPECT_TRUE(withTwin(a));
        EXPECT_EQ(a->render_style, BR_RSTYLE_FACES);  // "none" would hide the pattern with its twins
    }
    for (br_actor *a : o.paletteCubes)
        EXPECT_TRUE(withTwin(a));
    for (br_actor *a : o.toolCubes)
        EXPECT_TRUE(withTwin(a));
    std::set<br_actor *> cubes;
    for (const KpCubeSlot *list : {o.queue, o.looseCubes, o.worm})
        for (int i = 0; i < kKpCubes; i++)
            if (list[i].cube != nullptr) {
                EXPECT_TRUE(withTwin(list[i].cube));
                cubes.insert(list[i].cube);
            }
    EXPECT_EQ(cubes.size(), 131u);
    for (int row = 0; row < 11; row++)
        for (int column = 0; column < 11; column++) {
            br_actor *t = o.tiles[row * 11 + column];
            ASSERT_NE(t, nullptr);
            EXPECT_EQ(std::string(t->identifier), "Sik" + std::to_string(row) + std::to_string(column));
            EXPECT_NEAR(t->t.t.mat.m[3][0], 0.1f * float(column), 1e-6f);
            EXPECT_NEAR(t->t.t.mat.m[3][2], 0.1f * float(row), 1e-6f);
        }
    for (int i = 0; i < KP_BTN_COUNT; i++) {
        KpButton *b = kpButton(i);
        ASSERT_NE(b, nullptr) << kKpButtonPaths[i];
        EXPECT_EQ(b->count, i >= KP_BTN_START && i <= KP_BTN_PARE_N ? 8 : 13) << kKpButtonPaths[i];
        EXPECT_NE(b->masks, nullptr);
    }
    for (br_pixelmap *p : r.backdrops)
        ASSERT_NE(p, nullptr);
    EXPECT_EQ(r.backdrops[0]->width, 640);
    EXPECT_EQ(r.backdrops[3]->width, 960);
    EXPECT_EQ(r.backdrops[3]->height, 480);
    EXPECT_NE(r.fonts, nullptr);
    // The editor's header pictures fit their places with the file menu open: "LEVEL EDITOR" at
    // (190, 45) ends before "FILE" at (375, 30), which ends before the help button (640 - 123).
    ASSERT_NE(r.editorHeaders[0], nullptr);
    ASSERT_NE(r.editorHeaders[1], nullptr);
    EXPECT_LE(190 + r.editorHeaders[0]->width, 375);
    EXPECT_LE(375 + r.editorHeaders[1]->width, 640 - 123);
    EXPECT_LE(45 + r.editorHeaders[0]->height, 480 - 88);
    EXPECT_EQ(r.levelHeader[0], 7);
    EXPECT_EQ(r.levelHeader[1], 99);
    EXPECT_EQ(r.levelHeader[11], 1);
}

TEST_F(Game, WithoutThePacksEverySlotStaysEmptyAndTheGameStillRuns)
{
    const fs::path empty = tempFolder("empty");
    const std::string root = asRoot(empty);
    face->readRoot = const_cast<char *>(root.c_str());
    ASSERT_EQ(KpInitGame(), 1);
    kpModule().firstFramePending = 1;
    ASSERT_EQ(KpSetupGame(host, 1), 1);
    KpResources &r = kpResources();
    for (br_pixelmap *t : r.shadeTables)
        EXPECT_EQ(t, nullptr);
    EXPECT_EQ(r.cubeOuter, nullptr);
    for (br_pixelmap *p : r.backdrops)
        EXPECT_EQ(p, nullptr);
    br_material *red = BrMaterialFind("Red1_Material");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->colour, 0xC8C8C8u);
    EXPECT_EQ(red->colour_map, nullptr);
    for (int i = 0; i < KP_BTN_COUNT; i++) {
        ASSERT_NE(kpButton(i), nullptr);
        EXPECT_EQ(kpButton(i)->count, 0);
        EXPECT_EQ(kpButton(i)->width, 100);
        EXPECT_EQ(kpButton(i)->height, 50);
    }
    kpSwitches().fullRedraw = 1;
    KpRenderAndPresent();
    kpSwitches().fullRedraw = 0;
    // A button without frames shows as a rectangle of its state's colour.
    const KpButton *menu = kpButton(KP_BTN_MENU);
    const br_pixelmap *c = kpRenderer().screen->colour;
    EXPECT_EQ(reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(c->pixels) +
                                                 ptrdiff_t(menu->y + 10) * c->row_bytes)[menu->x + 10],
              0x001F);
    KpShutdown();
    // Closing twice does nothing more.
    KpReleaseDisplay();
    fs::remove_all(empty.parent_path());
}

TEST_F(Game, EveryLanguageTakesItsButtonPackAndHungarianTheUsOne)
{
    std::vector<std::vector<uint8_t>> help;
    for (int lang : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(lang);
        face->language = lang;
        kpModule() = KpModule();
        ASSERT_EQ(KpInitGame(), 1);
        kpModule().firstFramePending = 1;
        KpSetupGame(host, 1);
        EXPECT_NE(kpResources().buttonPack, nullptr);
        KpButton *b = kpButton(KP_BTN_HELP);
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(b->count, 13);
        const br_pixelmap *f = b->frames[0];
        std::vector<uint8_t> px;
        for (int y = 0; y < f->height; y++)
            px.insert(px.end(), static_cast<const uint8_t *>(f->pixels) + ptrdiff_t(y) * f->row_bytes,
                      static_cast<const uint8_t *>(f->pixels) + ptrdiff_t(y) * f->row_bytes + f->width * 2);
        help.push_back(px);
        KpShutdown();
    }
    EXPECT_NE(help[0], help[2]);  // HELP, HILFE
    EXPECT_NE(help[0], help[3]);  // AIDE
    EXPECT_EQ(help[0], help[4]);  // Hungarian: the US pack
}

TEST_F(SetUpGame, MaterialsTakeTheirPresetAndShadeTable)
{
    struct Case {
        const char *name;
        uint32_t flags;
        float ka, kd, ks, power;
        int opacity;
        const char *table;
    } cases[] = {
        {"Red_Material", 37, 0.7f, 0, 0.1f, 11, 255, "Red.shd"},
        {"Blu1_Material", 37, 0, 0.8f, 0, 2, 255, "Blue.shd"},
        {"Tab_Material", 37, 0.7f, 0, 0.1f, 11, 255, "Black.shd"},
        {"Mix1v_Material", 1, 0.1f, 0.6f, 0.3f, 11, 255, "Mix.shd"},
        {"Atlatszo_Material", 37, 0.1f, 0.9f, 0.1f, 14, 0, "Blue.shd"},
        {"Atlatszo1_Material", 37, 0.8f, 0, 0, 0, 0, "Blue.shd"},
        {"SikB_Material", 33, 0.1f, 0.5f, 0.3f, 4, 255, "Tabla0.shd"},
        {"ArrowG_Material", 1, 0.1f, 0.6f, 0.3f, 11, 255, "slcute.shd"},
        {"Grev_Material", 1, 0.1f, 0.6f, 0.3f, 11, 255, "Green.shd"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        br_material *m = BrMaterialFind(c.name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->flags, c.flags);
        EXPECT_FLOAT_EQ(m->ka, c.ka);
        EXPECT_FLOAT_EQ(m->kd, c.kd);
        EXPECT_FLOAT_EQ(m->ks, c.ks);
        EXPECT_FLOAT_EQ(m->power, c.power);
        EXPECT_EQ(m->opacity, c.opacity);
        ASSERT_NE(m->colour_map, nullptr);
        ASSERT_NE(m->index_shade, nullptr);
        EXPECT_STREQ(m->index_shade->identifier, c.table);
    }
    // A texture that is not there: the plain look, whatever the name's row.
    for (const char *name : {"Zed_Material", "Stone_Material"}) {
        br_material *m = KpMakeMaterial(name, "nothere.bmp");
        ASSERT_NE(m, nullptr);
        EXPECT_FLOAT_EQ(m->ka, 0.3f);
        EXPECT_FLOAT_EQ(m->kd, 0.5f);
        EXPECT_FLOAT_EQ(m->ks, 0.1f);
        EXPECT_FLOAT_EQ(m->power, 50);
        EXPECT_EQ(m->colour, 0xC8C8C8u);
        EXPECT_EQ(m->colour_map, nullptr);
        EXPECT_EQ(m->index_shade, nullptr);
    }
    EXPECT_EQ(KpMakeMaterial("Zed_Material", nullptr), BrMaterialFind("Zed_Material"));  // made once
}

TEST_F(SetUpGame, ImagesLoadByTheirExtensionThroughTheHookIntoTheRegistry)
{
    const fs::path dir = tempFolder("images");
    // A 2x2 24-bit BMP, bottom-up.
    std::vector<uint8_t> bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 2; i++) {
        const uint8_t row[8] = {255, 0, 0, 0, 255, 0, 0, 0};
        bmp.insert(bmp.end(), row, row + 8);
    }
    writeBytes(dir / "a.bmp", bmp);
    // A 3x1 24-bit uncompressed TGA.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    writeBytes(dir / "b.tga", tga);
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 5, 4, nullptr, 0);
    ASSERT_NE(pm, nullptr);
    pm->identifier = BrResStrDup(pm, "c.pix");
    ASSERT_NE(BrPixelmapSave((dir / "c.pix").c_str(), pm), 0u);
    BrPixelmapFree(pm);
    writeBytes(dir / "d.png", {1, 2, 3});
    struct Case {
        const char *file;
        int w, h;
    } cases[] = {{"a.bmp", 2, 2}, {"b.tga", 3, 1}, {"c.pix", 5, 4}, {"d.png", 0, 0}, {"missing.bmp", 0, 0}};
    KpSetImageHook(hook);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        g_hooked = nullptr;
        br_pixelmap *map = KpLoadImage((dir / c.file).c_str());
        if (c.w == 0) {
            EXPECT_EQ(map, nullptr);
            EXPECT_EQ(g_hooked, nullptr);
            continue;
        }
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->width, c.w);
        EXPECT_EQ(map->height, c.h);
        EXPECT_EQ(g_hooked, map);
        EXPECT_EQ(BrMapRemove(map), map);  // it was registered
        BrPixelmapFree(map);
    }
    KpClearImageHook();
    g_hooked = nullptr;
    br_pixelmap *map = KpLoadImage((dir / "c.pix").c_str());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(g_hooked, nullptr);
    BrMapRemove(map);
    BrPixelmapFree(map);
    fs::remove_all(dir.parent_path());
}

TEST(KelpaPictures, FrameNamesRoundingAndKeyedMasks)
{
    char name[64];
    EXPECT_STREQ(KpFrameName(name, "co", 4, "pix", 7), "co0007.pix");
    EXPECT_STREQ(KpFrameName(name, "menu\\A_co", 4, "bmp", 12345), "menu\\A_co12345.bmp");
    struct Case {
        float x;
        int want;
    } rounds[] = {{2.5f, 3}, {2.4f, 2}, {-2.5f, -3}, {2.49f, 2}, {0.495f, 1}, {-0.3f, 0}, {-0.30000034f, 0},
                  {1.9999f, 2}, {-1.51f, -2}};
    for (const Case &c : rounds)
        EXPECT_EQ(KpRound(c.x), c.want) << c.x;
    kpModule() = KpModule();
    KpBeginRenderer();
    br_pixelmap *m16 = BrPixelmapAllocate(BR_PMT_RGB_565, 3, 2, nullptr, 0);
    br_pixelmap *m8 = BrPixelmapAllocate(BR_PMT_INDEX_8, 3, 2, nullptr, 0);
    ASSERT_NE(m16, nullptr);
    ASSERT_NE(m8, nullptr);
    const uint16_t in[6] = {0, 0x3000, 0x3400, 0x1234, 1, 0xFFFF}, want[6] = {1, 0, 0, 0x1234, 1, 0xFFFF};
    for (int i = 0; i < 6; i++)
        reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(m16->pixels) + (i / 3) * m16->row_bytes)[i % 3] = in[i];
    memset(m8->pixels, 0, size_t(m8->row_bytes) * 2);
    KpKeyOutMask(m16);
    KpKeyOutMask(m8);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(m16->pixels) + (i / 3) * m16->row_bytes)[i % 3],
                  want[i]);
    EXPECT_EQ(static_cast<uint8_t *>(m8->pixels)[0], 0);
    BrPixelmapFree(m16);
    BrPixelmapFree(m8);
    KpEndRenderer();
}

TEST(KelpaPictures, AFrameSequenceStopsAtTheFirstGapAndAt256)
{
    const fs::path dir = tempFolder("frames");
    std::vector<fpk::Entry> entries;
    for (int i = 0; i < 300; i++) {
        char n[32];
        snprintf(n, sizeof n, "long\\co%04d.pix", i);
        entries.push_back({n, fpk::stored_pixmap(2, 2, BR_PMT_RGB_565, rows565(2, 2, uint16_t(i + 1))), fpk::kPixmapFlag});
        if (i < 5 && i != 3) {
            snprintf(n, sizeof n, "gap\\co%04d.pix", i);
            entries.push_back({n, fpk::stored_pixmap(2, 2, BR_PMT_RGB_565, rows565(2, 2, 7)), fpk::kPixmapFlag});
        }
    }
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
    writeBytes(dir / "seq.fpk", bytes);
    InitVokScore("Data\\");
    FFPACKHANDLE *pack = FFOpenPack((dir / "seq").c_str(), 0);
    ASSERT_NE(pack, nullptr);
    FFSetCurrentPack(pack);
    int count = -1;
    br_pixelmap **frames = KpLoadFrameSequence("long\\co", 4, "pix", &count);
    EXPECT_EQ(count, 256);
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(*static_cast<uint16_t *>(frames[255]->pixels), 256);
    KpFreeFrameSequence(frames, count);
    frames = KpLoadFrameSequence("gap\\co", 4, "pix", &count);
    EXPECT_EQ(count, 3);
    KpFreeFrameSequence(frames, count);
    EXPECT_EQ(KpLoadFrameSequence("none\\co", 4, "pix", &count), nullptr);
    EXPECT_EQ(count, 0);
    FFClosePack(pack);
    fs::remove_all(dir.parent_path());
}

TEST_F(SetUpGame, EachKeysPointHitsItsButtonThroughItsMask)
{
    struct Case {
        int x, y, button;
    } cases[] = {{20, 460, KP_BTN_START}, {20, 20, KP_BTN_MENU}, {620, 460, KP_BTN_RESET}, {620, 20, KP_BTN_HELP}};
    for (const Case &c : cases) {
        KpButton *b = kpButton(c.button);
        EXPECT_EQ(KpButtonAt(c.x, c.y), b) << kKpButtonPaths[c.button];
        EXPECT_NE(BrPixelmapPixelGet(b->masks[0], c.x - b->x, c.y - b->y), 0u);
    }
    // The rounded corner of the start button is transparent: the click goes through to the scene.
    KpButton *start = kpButton(KP_BTN_START);
    EXPECT_EQ(start->x, 0);
    EXPECT_EQ(start->y, 392);
    EXPECT_EQ(KpButtonAt(1, 393), nullptr);
    EXPECT_EQ(KpButtonClick(1, 393, kpRenderer().screen, 0), 0);
}

TEST_F(SetUpGame, TheNewestVisibleButtonWinsWhereTwoShare_APlace)
{
    KpButton *level = kpButton(KP_BTN_LEVEL), *fresh = kpButton(KP_BTN_NEW);
    EXPECT_EQ(level->x, fresh->x);
    const int x = level->x + 40, y = level->y + 40;
    KpShowButton(level);
    KpShowButton(fresh);
    EXPECT_EQ(KpButtonAt(x, y), fresh);
    KpHideButton(fresh);
    EXPECT_EQ(KpButtonAt(x, y), level);
    KpHideButton(level);
    EXPECT_EQ(KpButtonAt(x, y), nullptr);
}

TEST_F(SetUpGame, ClicksPlayTheirFramesAndRunTheAction)
{
    KpSetFrameSink(recordFrame);
    KpButton *start = kpButton(KP_BTN_START), *menu = kpButton(KP_BTN_MENU);
    start->action = countAction;
    menu->action = countAction;
    auto framesOf = [](KpButton *b) {
        std::vector<int> f;
        for (auto &[button, frame] : g_frames)
            if (button == b)
                f.push_back(frame);
        return f;
    };
    g_frames.clear();
    g_actions = 0;
    EXPECT_EQ(KpButtonClick(20, 460, kpRenderer().screen, 0), 1);
    EXPECT_EQ(framesOf(start), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(start->state, 1);
    g_frames.clear();
    EXPECT_EQ(KpButtonClick(20, 460, kpRenderer().screen, 0), 1);
    EXPECT_EQ(framesOf(start), (std::vector<int>{6, 5, 4, 3, 2, 1, 0}));  // back to state 0 in reverse
    EXPECT_EQ(start->state, 0);
    EXPECT_EQ(g_actions, 2);
    g_frames.clear();
    const DWORD before = timeGetTime();
    KpButtonClick(20, 20, kpRenderer().screen, 0);
    EXPECT_EQ(framesOf(menu), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_GE(timeGetTime() - before, 12u * 40u);
    // A disabled button takes the click but plays and runs nothing.
    g_frames.clear();
    g_actions = 0;
    KpEnableButton(menu, 0);
    EXPECT_EQ(KpButtonClick(20, 20, kpRenderer().screen, 0), 1);
    EXPECT_TRUE(framesOf(menu).empty());
    EXPECT_EQ(g_actions, 0);
    KpEnableButton(menu, 1);
    KpSetFrameSink(nullptr);
}

TEST_F(SetUpGame, AButtonWhoseFramesAndMasksDifferHasNoFrames)
{
    const fs::path dir = tempFolder("odd");
    std::vector<fpk::Entry> entries;
    for (const char *n : {"odd\\co0000.pix", "odd\\co0001.pix", "odd\\A_co0000.bmp"})
        entries.push_back({n, fpk::stored_pixmap(8, 8, BR_PMT_RGB_565, rows565(8, 8, 0xFFFF)), fpk::kPixmapFlag});
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
    writeBytes(dir / "odd.fpk", bytes);
    FFPACKHANDLE *pack = FFOpenPack((dir / "odd").c_str(), 0);
    ASSERT_NE(pack, nullptr);
    FFSetCurrentPack(pack);
    KpButton *b = KpButtonCreate(2, countAction, 300, 200, "odd\\co", 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->count, 0);
    EXPECT_EQ(b->width, 100);
    EXPECT_EQ(b->height, 50);
    EXPECT_EQ(KpButtonAt(350, 220), b);  // the whole rectangle hits
    KpSetButtonState(b, 1);
    kpSwitches().backgroundSwitch = 1;
    KpRenderFrame(kpRenderer().screen);
    const br_pixelmap *c = kpRenderer().screen->colour;
    EXPECT_EQ(reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(c->pixels) + ptrdiff_t(220) * c->row_bytes)[350],
              0xFFFF);
    FFClosePack(pack);
    fs::remove_all(dir.parent_path());
}

TEST_F(SetUpGame, SlidingOutMovesTheSidesApartAndHidesThem)
{
    for (int i = 0; i < KP_BTN_COUNT; i++)
        KpShowButton(kpButton(i));
    KpSlideButtonsOut();
    struct Case {
        int button, x, y;
    } cases[] = {{KP_BTN_HELP, 640 - 123 + 160, 0}, {KP_BTN_RESET, 640 - 49 + 160, 392},
                 {KP_BTN_SPEED, 640 - 196 + 160, 392}, {KP_BTN_MENU, -160, 0}, {KP_BTN_START, -160, 392},
                 {KP_BTN_LEVEL, 80 - 160, 392}};
    for (const Case &c : cases) {
        KpButton *b = kpButton(c.button);
        EXPECT_EQ(b->x, c.x) << kKpButtonPaths[c.button];
        EXPECT_EQ(b->y, c.y) << kKpButtonPaths[c.button];
        EXPECT_EQ(b->visible, 0) << kKpButtonPaths[c.button];
    }
    KpPlaceButtons();
    EXPECT_EQ(kpButton(KP_BTN_HELP)->x, 640 - 123);
    KpParkButtons();
    EXPECT_EQ(kpButton(KP_BTN_MENU)->x, 440);
    EXPECT_EQ(kpButton(KP_BTN_MENU)->y, -100);
}

TEST_F(SetUpGame, EverySetUpBringsBackTheStartButton)
{
    // A level that was started (and then lost or won) leaves its pause button up; the next set-up
    // shows the start button again, both at their first state.
    const int start = kpRules().gameKind == 101 ? KP_BTN_START : KP_BTN_START_N;
    KpButton *go = kpButton(start), *pause = kpButton(start + 1);
    ASSERT_NE(go, nullptr);
    ASSERT_NE(pause, nullptr);
    EXPECT_EQ(go->visible, 1);
    EXPECT_EQ(pause->visible, 0);
    KpTestLevel(nullptr);
    EXPECT_EQ(go->visible, 0);
    EXPECT_EQ(pause->visible, 1);
    KpSetButtonState(go, 1);
    KpSetButtonState(pause, 1);
    KpHideButton(kpButton(KP_BTN_MENU));
    kpRules().levelLost = 1;
    KpLevelSetup();
    EXPECT_EQ(go->visible, 1);
    EXPECT_EQ(go->state, 0);
    EXPECT_EQ(pause->visible, 0);
    EXPECT_EQ(pause->state, 0);
    EXPECT_EQ(kpButton(KP_BTN_MENU)->visible, 1);
    EXPECT_EQ(kpButton(KP_BTN_FILE0)->visible, 0);
    EXPECT_EQ(kpRules().levelRunning, 0);
}

TEST(KelpaLevelFiles, BuiltInBoardsRoundTripAndChecksNameEveryFault)
{
    const int randoms[5] = {15, 30, 49, 63, 75};
    for (int b = 1; b <= 5; b++) {
        kplevel::Level l = kplevel::default_level();
        ASSERT_TRUE(kplevel::builtin_board(b, l));
        EXPECT_EQ(std::count(l.board, l.board + 121, int32_t(kplevel::kRandom)), randoms[b - 1]) << b;
        const std::vector<uint8_t> bytes = kplevel::encode(l);
        ASSERT_EQ(bytes.size(), 676u);
        kplevel::Level back;
        std::string error;
        ASSERT_TRUE(kplevel::decode(bytes, back, error)) << error;
        EXPECT_TRUE(std::equal(l.board, l.board + 121, back.board));
        EXPECT_TRUE(kplevel::check(back).empty());
    }
    kplevel::Level l = kplevel::default_level();
    std::string error;
    for (size_t size : {0u, 675u, 677u})
        EXPECT_FALSE(kplevel::decode(std::vector<uint8_t>(size), l, error)) << size;
    kplevel::builtin_board(1, l);
    struct Case {
        const char *name;
        std::function<void(kplevel::Level &)> spoil;
        const char *problem;
    } cases[] = {
        {"no exit", [](kplevel::Level &v) { v.board[120] = 0; }, "ERROR: No Exit !"},
        {"half a row", [](kplevel::Level &v) { v.header[1] = 1, v.header[18] = 4; }, "ERROR: Uncompleted streak !"},
        {"bad cell", [](kplevel::Level &v) { v.board[60] = 12; }, "not a cell kind"},
        {"bad streak", [](kplevel::Level &v) { v.header[1] = 7; }, "streak count 7"},
    };
    for (const Case &c : cases) {
        kplevel::Level v = l;
        c.spoil(v);
        const std::vector<std::string> problems = kplevel::check(v);
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                                [&](const std::string &p) { return p.find(c.problem) != std::string::npos; }))
            << c.name;
    }
}

TEST(KelpaLevelFiles, TheToolWorksFromTheCallersFolder)
{
    const fs::path dir = tempFolder("kplevel");
    const std::string tool = std::string(VOK_BIN_DIR) + "/kplevel";
    const std::string cd = "cd '" + dir.string() + "' && '" + tool + "' ";
    ASSERT_EQ(system((cd + "make one.KPP --board 2 --pattern brgwy").c_str()), 0);
    EXPECT_EQ(fs::file_size(dir / "one.KPP"), 676u);
    EXPECT_EQ(system((cd + "check one.KPP > out.txt").c_str()), 0);
    std::ofstream(dir / "short.KPP") << "short";
    EXPECT_NE(system((cd + "check short.KPP > /dev/null 2>&1").c_str()), 0);
    EXPECT_NE(system((cd + "make bad.KPP --board 9 2> /dev/null").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "bad.KPP"));
    fs::remove_all(dir.parent_path());
}
