// Cell description files: round trips, the reader's rules on odd and hostile lines, failed saves, and
// text menus that still work after a save and a reload.
#include <strings.h>
#include <sys/stat.h>

#include <thread>

#include "dialog_support.h"

namespace {

using dlgtest::cell;

class CellFile : public dlgtest::Dialog {
protected:
    // Loads `text` into `count` zeroed cells.
    std::vector<PXCELLA> load(const std::string &text, int count)
    {
        std::vector<PXCELLA> cells(size_t(count), PXCELLA{});
        pxtest::write_text(path("in.cls"), text);
        PXSCENE s{};
        s.cells = cells.data();
        s.cellCount = count;
        EXPECT_EQ(LoadCellParams(path("in.cls").c_str(), &s), 0);
        owned.push_back(s);
        return cells;
    }
    void TearDown() override
    {
        Dialog::TearDown();
    }
    std::vector<PXSCENE> owned;
};

TEST_F(CellFile, SaveAndLoadGiveTheSameCells)
{
    std::vector<PXCELLA> cells = {
        cell(AKTYPE_BACKGR, 0, CF_HSCROLL | CF_VSCROLL, 0, 0, 0, 0),
        cell(AKTYPE_BUTTON, 0, CF_MOUSEMOVE | CF_BORDERIFCUR | CF_HCENTER, -4, 7, -2, 30),
        cell(AKTYPE_CHECKBOX, 0, CF_MOUSECLICK | CF_DELAY | CF_LINK | CF_PLAYONCE, 1, 2, 3, 4),
        cell(AKTYPE_TXTMENU, 0, CF_FOCUSABLE | CF_BALIGN, 9, 8, 7, 6),
        cell(AKTYPE_LISTBOX, 0, 0, 1, 1, 1, 1),
    };
    cells[0].file = const_cast<char *>("back\\sky.pix");
    cells[0].px = -1;
    cells[0].bw_spd = 25;
    cells[1].text = const_cast<char *>("Start game");
    cells[1].font = 2;
    cells[1].tx = -1;
    cells[1].ty = 3;
    cells[2].bh_fbc = 0xF81F;
    cells[2].bxMax = 3;
    cells[2].bxCur = 1;
    cells[3].text = const_cast<char *>("one\ntwo\\x");
    PXSCENE s{};
    s.cells = cells.data();
    s.cellCount = int32_t(cells.size());
    ASSERT_EQ(SaveCellParams(path("round.cls").c_str(), &s), 0) << GetLastMsgError();

    std::vector<PXCELLA> back(cells.size(), PXCELLA{});
    PXSCENE t{};
    t.cells = back.data();
    t.cellCount = int32_t(back.size());
    ASSERT_EQ(LoadCellParams(path("round.cls").c_str(), &t), 0);
    for (size_t i = 0; i < cells.size(); i++) {
        SCOPED_TRACE(i);
        const PXCELLA &a = cells[i], &b = back[i];
        EXPECT_EQ(b.type, a.type);
        EXPECT_EQ(b.flags, a.flags);
        EXPECT_EQ(std::vector<int32_t>({b.x, b.y, b.w, b.h, b.tx, b.ty, b.px, b.py, b.bw_spd, b.bh_fbc, b.bxMax,
                                        b.bxCur, int32_t(b.font)}),
                  std::vector<int32_t>({a.x, a.y, a.w, a.h, a.tx, a.ty, a.px, a.py, a.bw_spd, a.bh_fbc, a.bxMax,
                                        a.bxCur, int32_t(a.font)}));
        EXPECT_STREQ(b.file ? b.file : "-", a.file ? a.file : "-");
    }
    EXPECT_STREQ(back[1].text, "Start game");
    EXPECT_STREQ(back[3].text, "one\ntwo\\x");  // a text menu's items keep their line feeds
    // The writer's own words, in its order.
    const std::string saved = pxtest::read_text(path("round.cls"));
    EXPECT_NE(saved.find("flags:\tCF_HCENTER CF_BORDERIFCUR CF_MOUSEMOVE \nx:\t-4\t; relativ\n"), std::string::npos);
    EXPECT_NE(saved.find("flags:\tCF_DELAY CF_PLAYONCE CF_LINK CF_MOUSECLICK \n"), std::string::npos);
    EXPECT_NE(saved.find("type:\t8\n"), std::string::npos);
}

TEST_F(CellFile, ReaderRules)
{
    // Numbers going down keep filling the current cell; unknown keys and flag words are skipped.
    auto cells = load("Cella_nr:\t5\nx:\t1\nCella_nr:\t3\ny:\t2\nwhat:\t9\nflags:\tCF_BORDER CF_NONSENSE cf_link\n", 6);
    EXPECT_EQ(cells[5].x, 1);
    EXPECT_EQ(cells[5].y, 2);
    EXPECT_EQ(cells[5].flags, uint32_t(CF_BORDER | CF_LINK));
    EXPECT_EQ(cells[3].y, 0);

    // An unknown or missing type word disables the cell; a number names a type.
    cells = load("type:\tAKTYPE_SLIDER\nCella_nr:\t1\ntype:\nCella_nr:\t2\ntype:\t8\nCella_nr:\t3\ntype:\t99\n", 4);
    EXPECT_EQ(cells[0].type, -1);
    EXPECT_NE(cells[0].flags & CF_DISABLED, 0u);
    EXPECT_EQ(cells[1].type, -1);
    EXPECT_EQ(cells[2].type, AKTYPE_TXTMENU);
    EXPECT_EQ(cells[2].flags, 0u);
    EXPECT_EQ(cells[3].type, -1);

    // Quotes: cut at the second, to the end without one, nothing without any.
    cells = load("txt:\t\"Say \"hi\" now\"\nfile:\t\"open\nCella_nr:\t1\ntxt:\tbare\n", 2);
    EXPECT_STREQ(cells[0].text, "Say ");
    EXPECT_STREQ(cells[0].file, "open");
    EXPECT_EQ(cells[1].text, nullptr);

    // A number past the cells, or none at all, ends the reading.
    cells = load("x:\t4\nCella_nr:\t2\nx:\t5\n", 2);
    EXPECT_EQ(cells[0].x, 4);
    EXPECT_EQ(cells[1].x, 0);
    cells = load("Cella_nr:\nx:\t5\n", 2);
    EXPECT_EQ(cells[0].x, 0);

    // An integer key without a value leaves the field; an overlong line is dropped as a whole.
    cells = load("x:\t4\nx:\ny:\t" + std::string(3000, '7') + "\nh:\t9\n", 1);
    EXPECT_EQ(cells[0].x, 4);
    EXPECT_EQ(cells[0].h, 9);

    // A font number the engine would follow as an address (256 and above) or a negative one is refused.
    for (const char *font : {"256", "1000000", "-3"}) {
        SCOPED_TRACE(font);
        cells = load(std::string("font:\t4\nfont:\t") + font + "\n", 1);
        EXPECT_EQ(cells[0].font, 4);
    }
}

TEST_F(CellFile, FontHeldAtAnAddressIsSavedAsItsNumber)
{
    static uint8_t number = 3;
    std::vector<PXCELLA> cells = {cell(AKTYPE_STATIC, 0, 0, 0, 0, 0, 0)};
    cells[0].text = const_cast<char *>("Hi");
    cells[0].font = intptr_t(&number);
    PXSCENE s{};
    s.cells = cells.data();
    s.cellCount = 1;
    ASSERT_EQ(SaveCellParams(path("font.cls").c_str(), &s), 0) << GetLastMsgError();
    EXPECT_NE(pxtest::read_text(path("font.cls")).find("font:\t3\n"), std::string::npos);
}

TEST_F(CellFile, MissingFilesAndFailedSavesAreReported)
{
    std::vector<PXCELLA> cells = {cell(AKTYPE_STATIC, 1, 0, 1, 2, 3, 4)};
    PXSCENE s{};
    s.cells = cells.data();
    s.cellCount = 1;
    EXPECT_EQ(LoadCellParams(path("none.cls").c_str(), &s), -1);
    EXPECT_EQ(cells[0].x, 1);
    EXPECT_EQ(LoadCellParams(path("none.cls").c_str(), nullptr), 0);

    // A read-only file stays whole; a folder that does not exist takes nothing.
    pxtest::write_text(path("locked.cls"), "old");
    chmod(path("locked.cls").c_str(), 0444);
    EXPECT_EQ(SaveCellParams(path("locked.cls").c_str(), &s), -1);
    EXPECT_NE(std::string(GetLastMsgError()).find("locked.cls"), std::string::npos);
    EXPECT_EQ(pxtest::read_text(path("locked.cls")), "old");
    EXPECT_EQ(SaveCellParams(path("no/such/x.cls").c_str(), &s), -1);
    chmod(path("locked.cls").c_str(), 0644);

    // A scene that counts cells but holds none writes nothing.
    PXSCENE empty{};
    empty.cellCount = 3;
    EXPECT_EQ(SaveCellParams(path("empty.cls").c_str(), &empty), 0);
    struct stat st;
    EXPECT_NE(stat(path("empty.cls").c_str(), &st), 0);
}

TEST_F(CellFile, ReloadedScenesKeepTextMenusAndGrowEditBuffers)
{
    char buffer[16] = "hi";
    std::vector<PXCELLA> source = {
        cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0),
        cell(AKTYPE_TXTMENU, 2, CF_FOCUSABLE, 4, 4, 0, 0),
        cell(AKTYPE_EDITBOX, 3, 0, 4, 40, 0, 0),
    };
    source[1].text = const_cast<char *>("New\nLoad");
    source[2].file = buffer;
    source[2].bxMax = sizeof buffer;
    PXSCENE s{};
    s.cells = source.data();
    s.cellCount = 3;
    ASSERT_EQ(SaveCellParams(path("menu.cls").c_str(), &s), 0);

    cells.assign(3, PXCELLA{});
    std::vector<PXCELLA> &again = cells;
    scene.cells = again.data();
    scene.cellCount = 3;
    ASSERT_EQ(LoadCellParams(path("menu.cls").c_str(), &scene), 0);
    EXPECT_EQ(again[1].type, AKTYPE_TXTMENU);
    EXPECT_EQ(again[1].flags & CF_DISABLED, 0u);
    ASSERT_EQ(start(again), 1) << GetLastMsgError();
    EXPECT_STREQ(again[1].text, "New\nLoad");
    ASSERT_NE(PxSelectFont(scene.fontSet, 0), nullptr);
    EXPECT_GT(again[1].textH, PxGetTextHeight1());  // both items were measured
    EXPECT_EQ(scene.focus, 1);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    // The edit buffer read from the file holds bxMax bytes, so typing to the limit stays inside it.
    scene.focus = 2;
    for (int i = 0; i < 20; i++)
        PannixKbdHandler(&scene, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(strlen(again[2].file), 15u);
    // A file read into the running scene gives a new buffer that again holds bxMax bytes.
    pxtest::write_text(path("text.cls"), "Cella_nr:\t2\nfile:\t\"ab\"\nbxMax:\t12\n");
    ASSERT_EQ(LoadCellParams(path("text.cls").c_str(), &scene), 0);
    for (int i = 0; i < 20; i++)
        PannixKbdHandler(&scene, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(strlen(again[2].file), 11u);
    // One far too large keeps the buffer it has, and the editor stops there.
    pxtest::write_text(path("text.cls"), "Cella_nr:\t2\nfile:\t\"cd\"\nbxMax:\t2000000000\n");
    ASSERT_EQ(LoadCellParams(path("text.cls").c_str(), &scene), 0);
    for (int i = 0; i < 5; i++)
        PannixKbdHandler(&scene, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(strlen(again[2].file), 2u);
    KillPannix(&scene);
    EXPECT_STREQ(again[1].text, "New\nLoad");  // texts the file gave stay for the next start
    EXPECT_STREQ(again[2].file, "cd");
}

TEST_F(CellFile, SceneFromAFileStartsAgainAndTypesIntoTheCallersBuffer)
{
    char name[12] = "Anna";
    cells = {cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0), cell(AKTYPE_STATIC, 2, 0, 4, 4, 0, 0),
             cell(AKTYPE_EDITBOX, 3, 0, 4, 40, 0, 0)};
    cells[2].file = name;
    cells[2].bxMax = sizeof name;
    scene.cells = cells.data();
    scene.cellCount = 3;
    pxtest::write_text(path("form.cls"),
                       "Cella_nr:\t1\ntxt:\t\"Your name\"\nCella_nr:\t2\nfile:\t\"Bob\"\nbxMax:\t40\n");
    ASSERT_EQ(LoadCellParams(path("form.cls").c_str(), &scene), 0);
    EXPECT_EQ(cells[2].file, name);  // the file's text went into the caller's buffer
    EXPECT_STREQ(name, "Bob");
    EXPECT_EQ(cells[2].bxMax, int32_t(sizeof name));
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ASSERT_EQ(start(cells), 1) << GetLastMsgError();
        ASSERT_EQ(PannixBuildScene(&scene), 1);
        EXPECT_STREQ(cells[1].text, "Your name");
        EXPECT_GT(cells[1].textW, 0);  // the label was measured and drawn
        scene.focus = 2;
        PannixKbdHandler(&scene, WM_KEYDOWN, VK_END, 0);
        PannixKbdHandler(&scene, WM_KEYDOWN, 'K', 0);
        KillPannix(&scene);
    }
    EXPECT_EQ(strcasecmp(name, "BobKK"), 0) << name;  // what was typed, in the host's buffer
    EXPECT_EQ(cells[2].file, name);
    // Typing stops at the caller's size, even though the file asked for more.
    ASSERT_EQ(start(cells), 1) << GetLastMsgError();
    scene.focus = 2;
    for (int i = 0; i < 20; i++)
        PannixKbdHandler(&scene, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(strlen(name), sizeof name - 1);
}

TEST_F(CellFile, CallerBuffersNeverGrowPastTheirSize)
{
    // A caller's edit buffer stays the caller's: a file may lower its bxMax but never raise it.
    char buffer[8] = "hi";
    for (const char *body : {"bxMax:\t100\n", "file:\t\"hi\"\nbxMax:\t100\n", "bxMax:\t4\n"}) {
        SCOPED_TRACE(body);
        std::vector<PXCELLA> mine = {cell(AKTYPE_EDITBOX, 1, 0, 0, 0, 0, 0)};
        mine[0].file = buffer;
        mine[0].bxMax = sizeof buffer;
        pxtest::write_text(path("caller.cls"), body);
        PXSCENE s{};
        s.cells = mine.data();
        s.cellCount = 1;
        ASSERT_EQ(LoadCellParams(path("caller.cls").c_str(), &s), 0);
        EXPECT_EQ(mine[0].file, buffer);
        EXPECT_EQ(mine[0].bxMax, std::min<int32_t>(sizeof buffer, strstr(body, "\t4") ? 4 : 100));
    }
    // Other cells' bxMax (a delay, a loop end) is the file's to set.
    std::vector<PXCELLA> pic = {cell(AKTYPE_STATIC, 1, CF_DELAY, 0, 0, 0, 0)};
    pic[0].file = const_cast<char *>("tile");
    pic[0].bxMax = 10;
    pxtest::write_text(path("caller.cls"), "bxMax:\t5000\n");
    PXSCENE s{};
    s.cells = pic.data();
    s.cellCount = 1;
    ASSERT_EQ(LoadCellParams(path("caller.cls").c_str(), &s), 0);
    EXPECT_EQ(pic[0].bxMax, 5000);
}

TEST_F(CellFile, HostilePlacesStartAndDrawWithoutOverflow)
{
    // Extreme places and sizes must leave a scene that starts (or refuses) and draws without wrapping.
    const char *const lines[] = {
        "w:\t-2147483648\nh:\t-2147483648\n",
        "flags:\tCF_RALIGN CF_BALIGN\nx:\t-2147483648\ny:\t-2147483648\n",
        "flags:\tCF_HCENTER CF_VCENTER\nx:\t2147483647\ny:\t2147483647\nw:\t2147483647\n",
        "px:\t2147483647\npy:\t2147483647\ntx:\t-2147483648\nty:\t2147483647\n",
    };
    for (const char *body : lines) {
        SCOPED_TRACE(body);
        cells.assign(1, PXCELLA{});
        scene = PXSCENE{};
        scene.cells = cells.data();
        scene.cellCount = 1;
        pxtest::write_text(path("big.cls"), std::string("type:\tAKTYPE_STATIC\ntxt:\t\"Hi\"\n") + body);
        ASSERT_EQ(LoadCellParams(path("big.cls").c_str(), &scene), 0);
        if (start(cells) == 1)
            PannixBuildScene(&scene);
        KillPannix(&scene);
    }
}

TEST_F(CellFile, TypeChangesNeverEditAPictureName)
{
    // A file that turns a picture cell into an edit box: the caller's picture name is no buffer.
    cells = {cell(AKTYPE_BACKGR, 1, 0, 0, 0, 0, 0), cell(AKTYPE_STATIC, 2, 0, 4, 4, 0, 0)};
    cells[1].file = const_cast<char *>("editbox");  // a picture name held in read-only memory
    cells[1].bxMax = 100;
    scene.cells = cells.data();
    scene.cellCount = 2;
    pxtest::write_text(path("edit.cls"), "Cella_nr:\t1\ntype:\tAKTYPE_EDITBOX\n");
    ASSERT_EQ(LoadCellParams(path("edit.cls").c_str(), &scene), 0);
    EXPECT_NE(cells[1].flags & CF_DISABLED, 0u);
    ASSERT_EQ(start(cells), 1) << GetLastMsgError();
    scene.focus = 1;  // even focused by hand, it takes no keys
    for (WPARAM k : {WPARAM(VK_DELETE), WPARAM('K'), WPARAM(VK_BACK)})
        EXPECT_EQ(PannixKbdHandler(&scene, WM_KEYDOWN, k, 0), 0);
    EXPECT_STREQ(cells[1].file, "editbox");
    KillPannix(&scene);

    // In a running scene a border cell turned into a check box is set up as one before it is drawn.
    cells = {cell(AKTYPE_BORDER, 1, 0, 0, 0, 20, 20), cell(AKTYPE_CHECKBOX, 2, 0, 30, 0, 20, 12)};
    cells[1].bxMax = 3;
    ASSERT_EQ(start(cells), 1) << GetLastMsgError();
    pxtest::write_text(path("check.cls"), "type:\tAKTYPE_CHECKBOX\nbxMax:\t3\nbxCur:\t2\n");
    ASSERT_EQ(LoadCellParams(path("check.cls").c_str(), &scene), 0);
    ASSERT_EQ(PannixBuildScene(&scene), 1);
    ASSERT_NE(cells[0].sub, nullptr);
    EXPECT_EQ(dlgtest::pixel(parent, 10 + cells[0].cellX + cells[0].picX, 10 + cells[0].picY), 0x0102);
}

// Scenes run on the threads that start them: two threads loading cell files into scenes of their own
// (each text replacing the one before) share nothing.
TEST_F(CellFile, TwoThreadsLoadFilesIntoScenesOfTheirOwn)
{
    auto work = [&](int n) {
        const std::string name = path("thread" + std::to_string(n) + ".cls");
        std::vector<PXCELLA> mine(2, PXCELLA{});
        PXSCENE s{};
        s.cells = mine.data();
        s.cellCount = 2;
        for (int i = 0; i < 200; i++) {
            pxtest::write_text(name, "txt:\t\"" + std::to_string(i) + "\"\nCella_nr:\t1\nfile:\t\"f" +
                                         std::to_string(i) + "\"\n");
            EXPECT_EQ(LoadCellParams(name.c_str(), &s), 0);
        }
        EXPECT_STREQ(mine[0].text, "199");
        EXPECT_STREQ(mine[1].file, "f199");
    };
    std::thread a(work, 1), b(work, 2);
    a.join();
    b.join();
}

}  // namespace
