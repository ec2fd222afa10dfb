// Scenes begun and ended in turn and inside one another: the tables each start loads, the window a
// plain kill leaves, and the engine switches a scene turns on.
#include "dialog_support.h"

namespace {

using dlgtest::cell;

class Lifecycle : public dlgtest::Dialog {
protected:
    // A 256-entry table whose first entry is `first` (the rest zero).
    void save_table(const char *name, uint32_t first)
    {
        br_pixelmap *pm = PxAllocPix(BR_PMT_RGBX_888, 256, 1, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        PxFillPix(pm, 0);
        static_cast<uint32_t *>(pm->pixels)[0] = first;
        ASSERT_NE(PxSavePix(path(name).c_str(), pm), 0u) << GetLastMsgError();
        PxFreePix(pm);
    }

    static uint32_t first_entry(br_pixelmap *table) { return static_cast<uint32_t *>(table->pixels)[0]; }

    // An 8-bit scene of its own (no parent, no window) showing the 8-bit picture "dots".
    static int start_own(PXSCENE &s, PXCELLA &c, const char *palette, const char *blend, const char *shade)
    {
        c = cell(AKTYPE_STATIC, 1, 0, 0, 0, 0, 0);
        c.file = const_cast<char *>("dots");
        s.width = 16;
        s.height = 8;
        s.bits = 8;
        s.cells = &c;
        s.cellCount = 1;
        s.palette = palette;
        s.blendTable = blend;
        s.shadeTable = shade;
        return StartPannix(nullptr, 0, 0, &s, PXS_NOEXIT);
    }

    void SetUp() override
    {
        Dialog::SetUp();
        save_table("pal_a.pix", 0xA0A0A0);
        save_table("pal_b.pix", 0xB0B0B0);
        save_table("blend_a.pix", 0xA1);
        save_table("shade_b.pix", 0xB2);
        br_pixelmap *dots = PxAllocPix(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
        PxFillPix(dots, 7);
        ASSERT_NE(PxSavePix(path("dots.pix").c_str(), dots), 0u);
        PxFreePix(dots);
    }
};

TEST_F(Lifecycle, NestedScenesKeepTheTablesTheyUse)
{
    PXSCENE outer{}, inner{}, plain{};
    PXCELLA outer_cell{}, inner_cell{}, plain_cell{};
    ASSERT_EQ(start_own(outer, outer_cell, "pal_a.pix", "blend_a.pix", nullptr), 1) << GetLastMsgError();
    br_pixelmap *a = pMsgPalette, *blend = pMsgBlendTable;
    ASSERT_NE(a, nullptr);
    ASSERT_NE(blend, nullptr);
    EXPECT_EQ(pMsgShadeTable, nullptr);
    ASSERT_NE(outer_cell.pic, nullptr);
    EXPECT_EQ(outer_cell.pic->map, a);

    // An inner scene with a palette and a shade table of its own: the outer one's stay alive.
    ASSERT_EQ(start_own(inner, inner_cell, "pal_b.pix", nullptr, "shade_b.pix"), 1) << GetLastMsgError();
    ASSERT_NE(pMsgPalette, nullptr);
    EXPECT_EQ(first_entry(pMsgPalette), 0xB0B0B0u);
    EXPECT_EQ(pMsgBlendTable, blend);  // none of its own: the running one serves
    EXPECT_EQ(first_entry(pMsgShadeTable), 0xB2u);
    EXPECT_EQ(first_entry(outer_cell.pic->map), 0xA0A0A0u);
    KillPannix(&inner);
    EXPECT_EQ(pMsgPalette, a);  // the outer scene's tables are back
    EXPECT_EQ(pMsgBlendTable, blend);
    EXPECT_EQ(pMsgShadeTable, nullptr);
    EXPECT_EQ(first_entry(a), 0xA0A0A0u);
    EXPECT_EQ(first_entry(blend), 0xA1u);
    EXPECT_EQ(PannixBuildScene(&outer), 1);

    // An inner scene without tables uses the outer one's; the outer ending first leaves them to it.
    ASSERT_EQ(start_own(plain, plain_cell, nullptr, nullptr, nullptr), 1) << GetLastMsgError();
    EXPECT_EQ(plain_cell.pic->map, a);
    KillPannix(&outer);
    EXPECT_EQ(pMsgPalette, a);
    EXPECT_EQ(first_entry(plain_cell.pic->map), 0xA0A0A0u);
    EXPECT_EQ(PannixBuildScene(&plain), 1);
    KillPannix(&plain);
    EXPECT_EQ(pMsgPalette, nullptr);
    EXPECT_EQ(pMsgBlendTable, nullptr);

    // A scene started again over itself holds its tables once.
    ASSERT_EQ(start_own(outer, outer_cell, "pal_a.pix", nullptr, nullptr), 1);
    ASSERT_EQ(start_own(outer, outer_cell, "pal_b.pix", nullptr, nullptr), 1);
    EXPECT_EQ(first_entry(pMsgPalette), 0xB0B0B0u);
    KillPannix(&outer);
    EXPECT_EQ(pMsgPalette, nullptr);
}

TEST_F(Lifecycle, PlainKillAlsoEndsTheWindow)
{
    cells = {cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0)};
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(start(cells, 10, 10, 64, 32, true), 1) << GetLastMsgError();
        HWND window = scene.window;
        ASSERT_NE(window, nullptr);
        quit = false;
        if (round == 1)
            DestroyWindow(window);  // a caller that destroyed it first
        EXPECT_EQ(KillPannix(&scene), 0);
        drain();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(scene.window, nullptr);
        EXPECT_EQ(scene.dc, nullptr);
        EXPECT_EQ(scene.flags & PXS_STARTED, 0u);
        EXPECT_EQ(quit, round == 1);  // only the window's own end asks the loop to stop
    }
}

TEST_F(Lifecycle, LayoutModeEndsWithTheSceneThatTurnedItOn)
{
    cells = {cell(AKTYPE_BUTTON, 1, 0, 0, 0, 10, 10)};
    ASSERT_EQ(start(cells, 10, 10, 64, 32, true), 1) << GetLastMsgError();
    key(VK_F12, false, true);
    ASSERT_EQ(PannixLayoutMode(), 1);
    // A scene begun and ended inside it leaves the mode on for it.
    PXSCENE inner{};
    PXCELLA inner_cell = cell(AKTYPE_BUTTON, 1, 0, 0, 0, 10, 10);
    inner.width = 16;
    inner.height = 16;
    inner.bits = 16;
    inner.cells = &inner_cell;
    inner.cellCount = 1;
    ASSERT_EQ(StartPannix(parent, 0, 0, &inner, PXS_NOEXIT), 1) << GetLastMsgError();
    KillPannix(&inner);
    EXPECT_EQ(PannixLayoutMode(), 1);
    KillPannixW(&scene);
    drain();
    EXPECT_EQ(PannixLayoutMode(), 0);
    // The next scene starts outside layout mode: Tab passes over cells that take no focus.
    cells = {cell(AKTYPE_STATIC, 1, 0, 0, 0, 10, 10), cell(AKTYPE_BUTTON, 2, 0, 20, 0, 10, 10)};
    ASSERT_EQ(start(cells, 10, 10, 64, 32, true), 1) << GetLastMsgError();
    key(VK_TAB);
    EXPECT_EQ(scene.focus, 1);
}

int32_t kill_own_scene(PXSCENE *scene)
{
    KillPannix(scene);
    return 1;
}

TEST_F(Lifecycle, KeyCallbackThatKillsItsSceneLeavesItFitToStartAgain)
{
    cells = {cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0)};
    scene.keyProc = kill_own_scene;
    for (bool window : {false, true}) {
        SCOPED_TRACE(window);
        ASSERT_EQ(start(cells, 10, 10, 64, 32, window), 1) << GetLastMsgError();
        if (window)
            key(VK_ESCAPE);
        else
            PannixKbdHandler(&scene, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(scene.flags & PXS_STARTED, 0u);
        ASSERT_EQ(start(cells, 10, 10, 64, 32, window), 1) << GetLastMsgError();
        EXPECT_EQ(PannixBuildScene(&scene), 1);  // not ended at once by the last one's key
        KillPannix(&scene);
        drain();
    }
}

}  // namespace
