// Focus, mouse, keys and the layout editor, driven through the scene's window with real key messages.
#include "dialog_support.h"

namespace {

using dlgtest::cell;

std::vector<int32_t> g_keys;  // what the key callback saw
int32_t g_key_answer = 0;
int32_t key_callback(PXSCENE *scene)
{
    g_keys.push_back(int32_t(scene->lastWParam));
    return g_key_answer;
}

class Input : public dlgtest::Dialog {
protected:
    void SetUp() override
    {
        Dialog::SetUp();
        g_keys.clear();
        g_key_answer = 0;
        scene.keyProc = key_callback;
    }
    void TearDown() override
    {
        if (PannixLayoutMode() != 0 && scene.window != nullptr)
            key(VK_F12, false, true);
        Dialog::TearDown();
    }
    LPARAM at(int x, int y) { return MAKELPARAM(x + scene.x, y + scene.y); }
};

TEST_F(Input, TabWrapsAndPassesOverDisabledCells)
{
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_BUTTON, 2, 0, 0, 0, 10, 10),
        cell(AKTYPE_BUTTON, 3, CF_DISABLED, 20, 0, 10, 10),
        cell(AKTYPE_STATIC, 4, 0, 40, 0, 10, 10),      // not focusable
        cell(AKTYPE_BUTTON, 5, 0, 60, 0, 10, 10),
    };
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    EXPECT_EQ(scene.focus, 1);
    const int expected[] = {4, 1, 4};
    for (int focus : expected) {
        key(VK_TAB);
        EXPECT_EQ(scene.focus, focus);
    }
    key(VK_TAB, true);  // Shift+Tab goes back, wrapping too
    EXPECT_EQ(scene.focus, 1);
    key(VK_TAB, true);
    EXPECT_EQ(scene.focus, 4);
}

TEST_F(Input, ButtonsClickArrowAndEndTheScene)
{
    cells = {
        cell(AKTYPE_BUTTON, 2, 0, 0, 0, 20, 10),
        cell(AKTYPE_BUTTON, 3, 0, 30, 0, 20, 10),
        cell(AKTYPE_CHECKBOX, 4, 0, 60, 0, 30, 12),
    };
    cells[1].command = 'Q';
    cells[0].right = 3;
    cells[1].left = 2;
    cells[2].bxMax = 3;
    cells[2].px = -1;  // the state picture at the right end
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();

    // Without a command a click only focuses; with one its command comes back as a key.
    EXPECT_EQ(PannixMouseHandler(&scene, WM_LBUTTONDOWN, 0, at(5, 5)), 1);
    drain();
    EXPECT_EQ(scene.focus, 0);
    EXPECT_TRUE(g_keys.empty());
    EXPECT_EQ(PannixMouseHandler(&scene, WM_LBUTTONDOWN, 0, at(35, 5)), 1);
    drain();
    EXPECT_EQ(scene.focus, 1);
    EXPECT_EQ(g_keys, std::vector<int32_t>{'Q'});
    // The edge of a cell is not inside it.
    scene.focus = 2;
    PannixMouseHandler(&scene, WM_LBUTTONDOWN, 0, at(30, 5));
    EXPECT_EQ(scene.focus, 2);

    // Arrows follow the identifiers a button names.
    scene.focus = 1;
    key(VK_LEFT);
    EXPECT_EQ(scene.focus, 0);
    key(VK_RIGHT);
    EXPECT_EQ(scene.focus, 1);
    key(VK_UP);  // names none
    EXPECT_EQ(scene.focus, 1);

    // The check box: a click on its state picture and Space step its state round.
    const int32_t box_x = cells[2].cellX + cells[2].picX + 2;
    PannixMouseHandler(&scene, WM_LBUTTONDOWN, 0, at(box_x, 3));
    EXPECT_EQ(cells[2].bxCur, 1);
    key(VK_SPACE);
    key(VK_SPACE);
    EXPECT_EQ(cells[2].bxCur, 0);
    PannixMouseHandler(&scene, WM_LBUTTONDOWN, 0, at(62, 3));  // on its text part: no change
    EXPECT_EQ(cells[2].bxCur, 0);

    // Escape asks the key callback; 0 keeps the scene, nonzero ends it.
    key(VK_ESCAPE);
    EXPECT_EQ(scene.flags & PXS_STARTED, PXS_STARTED);
    g_key_answer = 1;
    key(VK_ESCAPE);
    EXPECT_EQ(scene.flags & PXS_STARTED, 0u);
    EXPECT_EQ(scene.window, nullptr);
    EXPECT_TRUE(quit);
}

TEST_F(Input, MouseMoveFocusesOnlyCellsThatTakeMoves)
{
    cells = {
        cell(AKTYPE_BUTTON, 2, 0, 0, 0, 20, 10),
        cell(AKTYPE_STATIC, 3, CF_MOUSECLICK, 30, 0, 20, 10),
        cell(AKTYPE_STATIC, 4, CF_MOUSEMOVE, 60, 0, 20, 10),
    };
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    EXPECT_EQ(scene.focus, 0);
    PannixMouseHandler(&scene, WM_MOUSEMOVE, 0, at(35, 5));
    EXPECT_EQ(scene.focus, 0);
    PannixMouseHandler(&scene, WM_MOUSEMOVE, 0, at(65, 5));
    EXPECT_EQ(scene.focus, 2);
    EXPECT_EQ(PannixMouseHandler(&scene, WM_RBUTTONDOWN, 0, at(5, 5)), 0);
}

TEST_F(Input, EditBoxTypesDeletesAndUndoes)
{
    char buffer[8] = "";
    cells = {cell(AKTYPE_EDITBOX, 2, 0, 0, 0, 0, 0)};
    cells[0].file = buffer;
    cells[0].bxMax = sizeof buffer;
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    for (int vk : {int('A'), int('B'), int('1'), VK_SPACE})
        key(vk);
    key('C', true);
    EXPECT_STREQ(buffer, "ab1 C");
    key(VK_HOME);
    key(VK_DELETE);
    key(VK_END);
    key(VK_BACK);
    key(VK_LEFT);
    key('X');
    EXPECT_STREQ(buffer, "b1x ");
    for (int vk : {'D', 'E', 'F', 'G'})  // full at bxMax - 1 characters
        key(vk);
    EXPECT_STREQ(buffer, "b1xdef ");
    EXPECT_EQ(cells[0].bxCur, 6);
    key('Z', false, true);  // undo the last insertion
    EXPECT_STREQ(buffer, "b1xde ");
    for (int i = 0; i < 5; i++)
        key('Z', false, true);
    EXPECT_STREQ(buffer, "ab1 C");  // deletions come back too
    key(VK_F1);  // no character: not used
    EXPECT_STREQ(buffer, "ab1 C");
}

TEST_F(Input, UndoStopsAtTheOldestOf64Steps)
{
    char buffer[128] = "";
    cells = {cell(AKTYPE_EDITBOX, 2, 0, 0, 0, 0, 0)};
    cells[0].file = buffer;
    cells[0].bxMax = sizeof buffer;
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    for (int i = 0; i < 70; i++)
        PannixKbdHandler(&scene, WM_KEYDOWN, 'A' + i % 26, 0);
    ASSERT_EQ(strlen(buffer), 70u);
    for (int i = 0; i < 80; i++)
        key('Z', false, true);
    EXPECT_EQ(std::string(buffer), "abcdef");  // the six oldest insertions were dropped
}

TEST_F(Input, LayoutEditorMovesResizesCentresAndSaves)
{
    cells = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_STATIC, 2, CF_RALIGN, 5, 6, 20, 10),
    };
    const std::string file = path("edited.cls");
    scene.cellFile = file.c_str();
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    key(VK_F12, false, true);
    ASSERT_EQ(PannixLayoutMode(), 1);
    key(VK_TAB);  // every cell takes the focus now
    EXPECT_EQ(scene.focus, 0);
    key(VK_TAB);
    EXPECT_EQ(scene.focus, 1);
    key(VK_RIGHT, false, true);
    key(VK_DOWN);
    key(VK_RIGHT, true);
    key(VK_UP, true, true);
    EXPECT_EQ(cells[1].x, 16);
    EXPECT_EQ(cells[1].y, 7);
    EXPECT_EQ(cells[1].w, 21);
    EXPECT_EQ(cells[1].h, 1);  // never below one pixel
    EXPECT_NE(cells[1].flags & CF_REBUILD, 0u);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    EXPECT_EQ(cells[1].cellX, 160 - 21 - 16);
    // Only the focused cell is outlined, in 0xFFFF.
    EXPECT_EQ(dlgtest::pixel(parent, 10 + cells[1].cellX, 10 + cells[1].cellY), 0xFFFF);
    key('H');
    key('H', true);
    key('V', false, true);
    EXPECT_EQ(cells[1].x, 0);
    EXPECT_EQ(cells[1].flags & (CF_HCENTER | CF_RALIGN), uint32_t(CF_HCENTER));
    EXPECT_EQ(cells[1].px, -1);
    EXPECT_EQ(cells[1].ty, -1);
    key(VK_F9, false, true);
    const std::string saved = pxtest::read_text(file);
    EXPECT_NE(saved.find("Cella_nr:\t1\ntype:\tAKTYPE_STATIC\nflags:\tCF_HCENTER \nx:\t0\t; relativ\ny:\t7\n"),
              std::string::npos)
        << saved;
    key(VK_F12, false, true);
    EXPECT_EQ(PannixLayoutMode(), 0);
}

TEST_F(Input, LayoutSaveThatFailsIsShown)
{
    cells = {cell(AKTYPE_BUTTON, 1, 0, 0, 0, 10, 10)};
    const std::string file = path("missing/edited.cls");  // a folder that does not exist
    scene.cellFile = file.c_str();
    ASSERT_EQ(start(cells, 10, 10, 160, 90, true), 1) << GetLastMsgError();
    key(VK_F12, false, true);
    PlatMsgBoxReset();
    key(VK_F9, false, true);
    const std::string log = dlgtest::box_log();
    EXPECT_NE(log.find("beep type=0x10\n"), std::string::npos) << log;
    EXPECT_NE(log.find("caption=\"PANNIX\" text=\"SaveCellParams: cannot write"), std::string::npos) << log;
}

}  // namespace
