// Scenes over a parent pixel map: placement, natural sizes, alignment, drawing into the parent, set-up
// failures and the frame's end by a delay.
#include "dialog_support.h"

namespace {

using dlgtest::cell;
using dlgtest::pixel;

class Scene : public dlgtest::Dialog {};

TEST_F(Scene, PlacesCellsByNaturalSizeAndAlignment)
{
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_STATIC, 2, 0, 5, 6, -3, -2),               // natural size grown by 6 and 4
        cell(AKTYPE_STATIC, 3, CF_HCENTER, 4, 0, 20, 10),      // centred, then 4 to the right
        cell(AKTYPE_STATIC, 4, CF_RALIGN | CF_BALIGN, 3, 2, 20, 10),
        cell(AKTYPE_STATIC, 5, CF_VCENTER, 0, 0, 20, 10),
    };
    cells[1].text = const_cast<char *>("ab");
    cells[1].tx = cells[1].ty = -1;
    scene.x = scene.y = -1;
    ASSERT_EQ(start(cells, -1, -1), 1) << GetLastMsgError();
    EXPECT_EQ(scene.x, (200 - 160) / 2);  // centred in the parent
    EXPECT_EQ(scene.y, (120 - 90) / 2);

    ASSERT_NE(PxSelectFont(scene.fontSet, 0), nullptr);
    int32_t tw = 0, th = 0;
    PxGetTextWH("ab", &tw, &th);
    const PXCELLA &nat = cells[1];
    EXPECT_EQ(nat.cellW, tw + 6);
    EXPECT_EQ(nat.cellH, th + 4);
    EXPECT_EQ(nat.textX, 3);
    EXPECT_EQ(nat.textY, 2);
    EXPECT_EQ(cells[2].cellX, (160 - 20) / 2 + 4);
    EXPECT_EQ(cells[3].cellX, 160 - 20 - 3);
    EXPECT_EQ(cells[3].cellY, 90 - 10 - 2);
    EXPECT_EQ(cells[4].cellY, (90 - 10) / 2);
    EXPECT_EQ(cells[0].cellW, 160);
    EXPECT_EQ(PannixFindCella(&scene, 4), &cells[3]);
    EXPECT_EQ(PannixFindCella(&scene, 0), nullptr);
    EXPECT_EQ(PannixFindCella(&scene, 99), nullptr);
}

TEST_F(Scene, DrawsIntoTheParentAtTheScenePlace)
{
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_STATIC, 2, CF_BORDER, 10, 10, 20, 10),
        cell(AKTYPE_BUTTON, 3, CF_BORDERIFCUR, 40, 10, 20, 10),
        cell(AKTYPE_BUTTON, 4, CF_BORDERIFCUR | CF_FILLIFCUR, 70, 10, 20, 10),
    };
    cells[0].bh_fbc = 0x1234;
    cells[1].bh_fbc = 0xF800;
    cells[3].bh_fbc = 0x00FF;
    scene.focusColour = 0x001F;
    scene.firstFocus = 4;
    ASSERT_EQ(start(cells, 10, 20), 1) << GetLastMsgError();
    EXPECT_EQ(scene.focus, 3);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    const int sx = 10, sy = 20;
    EXPECT_EQ(pixel(parent, sx - 1, sy), 0);               // outside the scene: untouched
    EXPECT_EQ(pixel(parent, sx, sy), 0x1234);              // background fill
    EXPECT_EQ(pixel(parent, sx + 10, sy + 10), 0xF800);    // static cell's own border
    EXPECT_EQ(pixel(parent, sx + 15, sy + 15), 0x1234);    // its inside stays
    EXPECT_EQ(pixel(parent, sx + 40, sy + 10), 0x1234);    // unfocused button: no outline
    EXPECT_EQ(pixel(parent, sx + 70, sy + 10), 0x001F);    // focused button: focus colour
    EXPECT_EQ(pixel(parent, sx + 75, sy + 15), 0x00FF);    // and filled with its colour
}

TEST_F(Scene, ControlsDrawFromTheirPictures)
{
    char buffer[32] = "";
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_CHECKBOX, 2, 0, 0, 0, 30, 12),
        cell(AKTYPE_EDITBOX, 3, 0, 0, 20, 0, 0),
    };
    cells[1].bxMax = 3;
    cells[1].bxCur = 2;
    cells[1].px = -1;  // the state picture at the right end
    cells[2].file = buffer;
    cells[2].bxMax = sizeof buffer;
    cells[2].bw_spd = 40;
    ASSERT_EQ(start(cells, 0, 0), 1) << GetLastMsgError();
    EXPECT_EQ(cells[1].picW, 12);  // check box states are a third of the picture
    EXPECT_EQ(cells[1].picH, 12);
    EXPECT_EQ(cells[2].cellW, 40);
    EXPECT_EQ(cells[2].cellH, 14);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    EXPECT_EQ(pixel(parent, 30 - 12 + 3, 5), 0x0102);  // state 2, at the right of the cell
    EXPECT_EQ(pixel(parent, 1, 21), dlgtest::kBoxInk);  // the edit frame
    EXPECT_EQ(pixel(parent, 39, 21), dlgtest::kBoxInk);  // its right end
}

TEST_F(Scene, FailedStartsAreRefusedWithTheirReason)
{
    struct Case {
        int32_t type;
        const char *text;
    } cases[] = {
        {AKTYPE_EDITBOX, "Editbox - missing buffer"},
        {AKTYPE_LISTBOX, "Listbox - missing buffer"},
        {AKTYPE_TXTMENU, "Txt menu - missing itemlist"},
    };
    for (const Case &c : cases) {
        cells = {cell(c.type, 1, 0, 0, 0, 20, 10)};
        scene = PXSCENE{};
        EXPECT_EQ(start(cells), 0);
        EXPECT_STREQ(GetLastMsgError(), c.text);
        EXPECT_EQ(scene.pix, nullptr);  // what the start made is freed again
        EXPECT_EQ(scene.fontSet, nullptr);
        EXPECT_EQ(scene.flags & PXS_STARTED, 0u);
    }
    // A missing picture names the file.
    cells = {cell(AKTYPE_STATIC, 1, 0, 0, 0, 20, 10)};
    cells[0].file = const_cast<char *>("nothere");
    scene = PXSCENE{};
    EXPECT_EQ(start(cells), 0);
    EXPECT_NE(std::string(GetLastMsgError()).find("nothere"), std::string::npos) << GetLastMsgError();
}

int32_t g_start_result;
int32_t start_callback(PXSCENE *)
{
    return g_start_result;
}

TEST_F(Scene, StartCallbackEndsTheStartWithItsResult)
{
    char buffer[4] = "";
    cells = {cell(AKTYPE_EDITBOX, 1, 0, 0, 0, 20, 10)};
    cells[0].file = buffer;
    scene.startProc = start_callback;
    g_start_result = 7;  // cells are not set up
    EXPECT_EQ(start(cells), 7);
    EXPECT_EQ(cells[0].state & 1, 0u);
    KillPannix(&scene);
    g_start_result = -1;  // the engine goes on
    EXPECT_EQ(start(cells), 1) << GetLastMsgError();
    EXPECT_EQ(cells[0].state & 1, 1u);
}

TEST_F(Scene, DelayPostsItsCommandAndEndsTheFrame)
{
    cells = {cell(AKTYPE_BACKGR, 1, CF_DELAY, 0, 0, 0, 0)};
    cells[0].bxMax = 50;
    cells[0].command = 0x70;
    ASSERT_EQ(start(cells), 1) << GetLastMsgError();
    EXPECT_EQ(PannixBuildScene(&scene), 1);
    PlatAdvanceClock(60);
    EXPECT_EQ(PannixBuildScene(&scene), 0);
    drain();
    EXPECT_EQ(thread_keys, std::vector<int32_t>{0x70});
}

TEST_F(Scene, RebuildFlagSetsTheCellUpAgainAtTheNextFrame)
{
    cells = {cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0), cell(AKTYPE_STATIC, 2, 0, 5, 5, 10, 10)};
    ASSERT_EQ(start(cells), 1) << GetLastMsgError();
    cells[1].x = 30;
    cells[1].flags |= CF_REBUILD;
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    EXPECT_EQ(cells[1].cellX, 30);
    EXPECT_EQ(cells[1].flags & CF_REBUILD, 0u);
    ASSERT_NE(cells[1].sub, nullptr);
    EXPECT_EQ(cells[1].sub->base_x, scene.x + 30);

    // A background that no longer sets up leaves no picture behind in the scene.
    dlgtest::save_picture(path("sky.pix"), 8, 8, 0x001F);
    cells[0].file = const_cast<char *>("sky");
    cells[0].flags |= CF_REBUILD;
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    ASSERT_NE(scene.background, nullptr);
    cells[0].file = const_cast<char *>("nosuchpicture");
    cells[0].flags |= CF_REBUILD;
    PannixBuildScene(&scene);
    EXPECT_NE(cells[0].flags & CF_DISABLED, 0u);
    EXPECT_EQ(scene.background, nullptr);
}

}  // namespace
