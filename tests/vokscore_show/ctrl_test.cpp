// The scene controls: list selection and paging, prefix search and deletion, the edit line's typed
// characters and caret, the scroll view, and the controls a running scene builds for its ikons.
#include <string.h>

#include "controls.h"
#include "scene_support.h"

namespace {

std::vector<int> g_sounds;
void record_sound(int index)
{
    g_sounds.push_back(index);
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_sounds.clear();
        vok::g_controlSound = record_sound;
        vok::engine().fonts = nullptr;
    }
    void TearDown() override { vok::engine().fonts = nullptr; }

    // Rows "r0".."r<n-1>" with `visible` rows shown.
    void make_list(int n, int visible)
    {
        names.clear();
        for (int i = 0; i < n; i++)
            names.push_back("r" + std::to_string(i));
        std::vector<const char *> p;
        for (auto &s : names)
            p.push_back(s.c_str());
        list = vok::VokList{};
        list.rowSize = 16;
        list.visible = visible;
        vok::list_set_rows(&list, p.data(), n);
    }
    void make_edit(int capacity, uint32_t flags = 0)
    {
        edit = vok::VokEdit{};
        edit.capacity = capacity;
        edit.flags = flags;
        edit.storage.assign(size_t(capacity) + 1, 0);
        edit.text = edit.storage.data();
        edit.visibleWidth = 100;
    }
    void type(const char *s)
    {
        for (; *s; s++)
            vok::edit_key(WM_CHAR, &edit, WPARAM(uint8_t(*s)));
    }

    std::vector<std::string> names;
    vok::VokList list;
    vok::VokEdit edit;
};

TEST_F(ControlTest, SelectClampsAndKeepsTheSelectionInTheWindow)
{
    make_list(20, 5);
    struct Case {
        int row, selected, first;
    } cases[] = {{-5, 0, 0}, {10000, 19, 15}, {7, 7, 7}, {3, 3, 3}, {12, 12, 8}};
    for (const Case &c : cases) {
        vok::list_select(&list, c.row);
        EXPECT_EQ(list.selected, c.selected) << c.row;
        EXPECT_EQ(list.first, c.first) << c.row;
    }
    EXPECT_EQ(vok::list_select(&list, 12), 0) << "no change";
}

TEST_F(ControlTest, KeysPageAndStepWithTheirSounds)
{
    make_list(20, 5);
    struct Case {
        WPARAM key;
        int selected, first;
        std::vector<int> sounds;
    } cases[] = {
        {VK_NEXT, 4, 4, {10}},   {VK_NEXT, 8, 8, {10}},   {VK_NEXT, 12, 12, {10}}, {VK_NEXT, 15, 15, {10}},
        {VK_NEXT, 15, 15, {}},   // the last window: nothing, silent
        {VK_PRIOR, 11, 11, {10}}, {VK_HOME, 0, 0, {10}},  {VK_HOME, 0, 0, {}},     {VK_DOWN, 1, 0, {8}},
        {VK_UP, 0, 0, {8}},      {VK_UP, 0, 0, {}},       {VK_END, 19, 15, {10}},
    };
    for (const Case &c : cases) {
        g_sounds.clear();
        EXPECT_EQ(vok::list_key(WM_KEYDOWN, &list, c.key), 1);
        EXPECT_EQ(list.selected, c.selected) << c.key;
        EXPECT_EQ(list.first, c.first) << c.key;
        EXPECT_EQ(g_sounds, c.sounds) << c.key;
    }
    EXPECT_EQ(vok::list_key(WM_CHAR, &list, VK_DOWN), 0);
    EXPECT_EQ(vok::list_key(WM_KEYDOWN, &list, 'A'), 0);
}

TEST_F(ControlTest, MovementCopiesTheRowIntoTheLinkedField)
{
    make_list(3, 3);
    make_edit(8);
    list.edit = &edit;
    vok::list_key(WM_KEYDOWN, &list, VK_DOWN);
    EXPECT_STREQ(edit.text, "r1");
    EXPECT_EQ(edit.caret, 2);
    // Shown from an offset, only rows whose second character is H..L are taken.
    const char *rows[] = {"dHfile", "dXdir", "dLname"};
    list.offset = 2;
    vok::list_set_rows(&list, rows, 3);
    vok::list_key(WM_KEYDOWN, &list, VK_DOWN);
    EXPECT_STREQ(edit.text, "r1") << "row 1 (X) is not copied";
    vok::list_key(WM_KEYDOWN, &list, VK_DOWN);
    EXPECT_STREQ(edit.text, "name");
}

TEST_F(ControlTest, FindAndDelete)
{
    const char *rows[] = {"apple", "apricot", "banana", "cherry"};
    list = vok::VokList{};
    list.rowSize = 16;
    list.visible = 2;
    vok::list_set_rows(&list, rows, 4);
    EXPECT_EQ(vok::list_find(&list, "apr", 3), 1);
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(vok::list_find(&list, "ban", 0), -1) << "whole-text comparison";
    EXPECT_EQ(vok::list_find(&list, "banana", 0), 2);
    EXPECT_EQ(vok::list_find(&list, "", 3), -1);
    EXPECT_EQ(list.selected, 2);
    ASSERT_EQ(vok::list_delete_selected(&list), 1);
    EXPECT_EQ(list.count, 3);
    EXPECT_STREQ(list.rows + 2 * 16, "cherry");
    EXPECT_EQ(list.selected, 2);
    ASSERT_EQ(vok::list_delete_selected(&list), 1);  // the last row: the one above is selected
    EXPECT_EQ(list.selected, 1);
    vok::list_delete_selected(&list);
    vok::list_delete_selected(&list);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.selected, -1) << "an empty list has no selection";
    EXPECT_EQ(vok::list_delete_selected(&list), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(vok::list_select(&list, 3), 0);
    EXPECT_EQ(list.selected, -1);
    EXPECT_EQ(vok::list_key(WM_KEYDOWN, &list, VK_END), 1);
    EXPECT_EQ(list.selected, -1);
}

TEST_F(ControlTest, TypingInsertsBelowCapacityAndFollowsTheList)
{
    make_edit(4);
    type("ab");
    vok::edit_key(WM_KEYDOWN, &edit, VK_LEFT);
    type("X");
    EXPECT_STREQ(edit.text, "aXb");
    EXPECT_EQ(edit.caret, 2);
    type("YZ");
    EXPECT_STREQ(edit.text, "aXYb") << "a full field takes nothing more";
    struct Case {
        WPARAM key;
        const char *text;
        int caret;
        std::vector<int> sounds;
    } cases[] = {{VK_HOME, "aXYb", 0, {9}},  {VK_BACK, "aXYb", 0, {10}}, {VK_DELETE, "XYb", 0, {}},
                 {VK_END, "XYb", 3, {9}},    {VK_BACK, "XY", 2, {}},     {VK_RIGHT, "XY", 2, {}}};
    for (const Case &c : cases) {
        g_sounds.clear();
        vok::edit_key(WM_KEYDOWN, &edit, c.key);
        EXPECT_STREQ(edit.text, c.text) << c.key;
        EXPECT_EQ(edit.caret, c.caret) << c.key;
        EXPECT_EQ(g_sounds, c.sounds) << c.key;
    }
    vok::edit_key(WM_CHAR, &edit, 0xE9);
    EXPECT_STREQ(edit.text, "XY") << "128 and above need a filter";
    edit.filter = [](int ch) { return ch != 'q' ? 1 : 0; };
    type("q\xE9");
    EXPECT_STREQ(edit.text, "XY\xE9");
    // A plain field searches its list with the whole text.
    make_list(12, 4);
    make_edit(8);
    edit.list = &list;
    type("r11");
    EXPECT_EQ(list.selected, 11);
}

// A screen routine may write the field's text directly, shorter than where the caret stood.
TEST_F(ControlTest, KeysAfterTheTextWasShortenedBehindTheCaret)
{
    struct Case {
        UINT msg;
        WPARAM key;
        uint32_t flags;
        const char *text;
        int caret;
    } cases[] = {{WM_KEYDOWN, VK_BACK, 0, "a", 1},
                 {WM_KEYDOWN, VK_DELETE, 0, "ab", 2},
                 {WM_CHAR, 'x', 0, "abx", 3},
                 {WM_CHAR, 'x', vok::kEditSearchOnly, "ab", 2}};
    for (const Case &c : cases) {
        make_edit(8, c.flags);
        edit.caret = 6;
        strcpy(edit.text, "ab");
        vok::edit_key(c.msg, &edit, c.key);
        EXPECT_STREQ(edit.text, c.text) << c.key;
        EXPECT_EQ(edit.caret, c.caret) << c.key;
    }
}

TEST_F(ControlTest, SearchOnlyKeepsOnlyCharactersThatMatchARow)
{
    const char *rows[] = {"kelpa", "kerned", "terrow"};
    list = vok::VokList{};
    list.rowSize = 16;
    list.visible = 3;
    vok::list_set_rows(&list, rows, 3);
    make_edit(8, vok::kEditSearchOnly);
    edit.list = &list;
    type("kex");
    EXPECT_STREQ(edit.text, "ke");
    type("r");
    EXPECT_STREQ(edit.text, "ker");
    EXPECT_EQ(list.selected, 1);
    vok::edit_key(WM_KEYDOWN, &edit, VK_HOME);
    type("t");
    EXPECT_STREQ(edit.text, "ter");
    EXPECT_EQ(list.selected, 2) << "the character at the caret is replaced";
}

TEST_F(ControlTest, CaretScrollsWithMarginAndLeadAndRefusesMissingGlyphs)
{
    // A font of 10-pixel glyphs without one for 'Z'.
    static PXFONT font{};
    static PXFONTSET set{};
    for (auto &g : font.glyphs)
        g.width = 10;
    font.glyphs['Z' - 32] = PXGLYPH{};
    if (!font.pic)
        font.pic = PxAllocPix(BR_PMT_RGB_565, 8, 8, nullptr, 0);  // measuring needs a glyph picture
    set.first = &font;
    set.count = 1;
    vok::engine().fonts = &set;
    make_edit(40);
    edit.visibleWidth = 50;
    type("abcdefghij");  // 100 pixels
    EXPECT_EQ(edit.textWidth, 100);
    EXPECT_EQ(edit.scroll, 100 - 48) << "2 pixels of margin right of the caret";
    vok::edit_move_caret(&edit, 3);
    EXPECT_EQ(edit.scroll, 30 - 16) << "16 pixels of text stay left of the caret";
    vok::edit_move_caret(&edit, 1);
    EXPECT_EQ(edit.scroll, 0);
    EXPECT_EQ(vok::edit_move_caret(&edit, -4), 0) << "the width did not change";
    EXPECT_EQ(edit.caret, 0);
    type("Z");
    EXPECT_STREQ(edit.text, "abcdefghij");
}

TEST_F(ControlTest, ScrollViewClampsPagesAndArmsTheRepeat)
{
    vok::VokScroll v{};
    v.length = 100;
    v.visible = 30;
    struct Case {
        WPARAM key;
        int first;
        std::vector<int> sounds;
    } cases[] = {{VK_NEXT, 29, {10}}, {VK_END, 70, {10}}, {VK_NEXT, 70, {}},
                 {VK_UP, 69, {}},     {VK_HOME, 0, {10}}, {VK_UP, 0, {}}};
    vok::engine().repeatArmed = true;
    for (const Case &c : cases) {
        g_sounds.clear();
        EXPECT_EQ(vok::scroll_key(WM_KEYDOWN, &v, c.key), 1);
        EXPECT_EQ(v.first, c.first) << c.key;
        EXPECT_EQ(g_sounds, c.sounds) << c.key;
    }
    EXPECT_EQ(vok::engine().repeatKey, VK_UP);
    vok::engine().repeatArmed = false;
    vok::engine().repeatKey = 0;
    EXPECT_EQ(vok::scroll_set(&v, 10000), 1);
    EXPECT_EQ(v.first, 70);
}

class ControlSceneTest : public vstest::SceneTest {};

TEST_F(ControlSceneTest, ARunningSceneOwnsTheControlsOfItsIkons)
{
    write_data();
    VokScene *s = parse(R"(screen 1
dataPack "t"
flags copy
session 1
  background "bg"
  ikon list
    id 1
    rect 10 10 200 100
    control list 32 8 4
  ikon edit
    id 2
    rect 10 200 200 20
    control edit 12 search
  ikon scroll
    id 3
    rect 300 10 20 200
    control scroll 500 100
)");
    ASSERT_EQ(InitScene(s, 0), 1) << GetLastMsgError();
    VokScene *run = VokGetCurScene();
    VokSession *f = &run->sessions[0];
    vok::VokList *l = vok::list_of(FindIkon(f, 1));
    vok::VokEdit *e = vok::edit_of(FindIkon(f, 2));
    vok::VokScroll *v = vok::scroll_of(FindIkon(f, 3));
    ASSERT_TRUE(l && e && v);
    EXPECT_EQ(l->rowSize, 32);
    EXPECT_EQ(l->visible, 4);
    EXPECT_EQ(e->capacity, 12);
    EXPECT_EQ(e->flags, vok::kEditSearchOnly);
    EXPECT_EQ(v->length, 500);
    EXPECT_EQ(v->visible, 100);
    EXPECT_EQ(vok::list_of(FindIkon(f, 2)), nullptr);
    const char *rows[] = {"one", "two", "three", "four", "five"};
    vok::list_set_rows(l, rows, 5);
    vok::list_select(l, 4);
    EXPECT_STREQ(FindIkon(f, 1)->shownText, "two\nthree\nfour\nfive") << "the ikon draws the visible rows";
    VokIkon *listIkon = FindIkon(f, 1);
    KillCurScene(0);
    EXPECT_EQ(vok::list_of(listIkon), nullptr) << "the controls end with their scene";
}

}  // namespace
