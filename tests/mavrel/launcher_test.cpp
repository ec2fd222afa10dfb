// The launch of a game module in-process: the name screen first, the mode screen, the module found in
// the program folder's copy and called with inGame set, the folder and title put back, the leftover
// loading backdrop ended, and the ways a launch stops short.
#include "unit.h"

namespace {

using namespace mvtest;
using mavrel::app;

std::string systemForm(std::string host)
{
    for (char &c : host)
        if (c == '/')
            c = '\\';
    return host;
}

class Launcher : public Unit {
protected:
    void SetUp() override
    {
        Unit::SetUp();
        games = base / "games";
        fs::create_directories(games);
        fs::create_directories(base / "away");
        fs::create_directories(base / "home");
        // The module stand-in as Kelpa, and as a Terrow that lacks its start export.
        for (const char *name : {"KpDll.so", "TrDll.so"})
            fs::copy_file(fs::path(VOK_STUB_DIR) / "KpDll.so", games / name);
        app().developDir = systemForm(games.string()) + "\\";
        app().programFolder = systemForm((base / "home").string()) + "\\";
        setenv("MAVREL_STUB_REPORT", (base / "report.txt").c_str(), 1);
        setenv("MAVREL_STUB_AWAY", (base / "away").c_str(), 1);
        openWindow();
        loadPictures();
        // The player list goes to the test's own folder, never to the program folder all tests share.
        readRoot = app().programFolder;
        savedReadRoot = app().face->readRoot;
        app().face->readRoot = readRoot.data();
        VokSetPlayerName("ann");
    }
    void TearDown() override
    {
        app().face->readRoot = savedReadRoot;
        unsetenv("MAVREL_STUB_REPORT");
        unsetenv("MAVREL_STUB_AWAY");
        Unit::TearDown();
    }

    std::string title()
    {
        char text[64] = {};
        GetWindowTextA(app().window, text, sizeof text);
        return text;
    }
    std::string currentFolder()
    {
        char here[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof here, here);
        return here;
    }

    fs::path games;
    std::string readRoot;
    char *savedReadRoot = nullptr;
};

TEST_F(Launcher, FirstStartAsksTheNameThenPlaysAndComesBack)
{
    fake.answers[28] = {1, 1};
    fake.answers[18] = {1, 0};
    fake.backdrop = true;  // the stand-in never fades in
    app().state = mavrel::kLaunch;
    app().chosenScreen = 18;
    const int cursor = cursorCount();
    mavrel::stateStep();

    EXPECT_EQ(fake.screens, (std::vector<unsigned>{28, 18})) << "the name is asked although players.lst had one";
    EXPECT_TRUE(fake.sounds.empty());
    EXPECT_EQ(slurp(base / "report.txt"), "StartKelpa inGame=1 screenPix=none\n") << "the record holds no freed menu picture";
    EXPECT_EQ(app().face->inGame, 0);
    EXPECT_EQ(fake.progress, std::vector<unsigned>{5});
    EXPECT_EQ(fake.fades, 1) << "the leftover backdrop is ended";
    EXPECT_EQ(app().state, mavrel::kMenuAfterGame);
    EXPECT_TRUE(app().repaintPending);
    EXPECT_EQ(app().dib, nullptr) << "the menu pictures were given up for the game";
    EXPECT_EQ(app().face->screenPix, nullptr) << "the game's picture went with the game";
    EXPECT_EQ(currentFolder() + "\\", app().programFolder);
    EXPECT_EQ(title(), "Velmo's Games Demo");
    EXPECT_EQ(cursorCount(), cursor);

    // The second start knows the name: the start sound, no name screen; a game that faded in
    // leaves nothing to end.
    loadPictures();
    fake.screens.clear();
    fake.backdrop = false;
    app().state = mavrel::kLaunch;
    mavrel::stateStep();
    EXPECT_EQ(fake.screens, std::vector<unsigned>{18});
    EXPECT_EQ(fake.sounds, std::vector<int>{11});
    EXPECT_EQ(fake.fades, 1);
    EXPECT_EQ(slurp(base / "report.txt"), "StartKelpa inGame=1 screenPix=none\nStartKelpa inGame=1 screenPix=none\n");
}

TEST_F(Launcher, LaunchesThatStopShort)
{
    struct Case {
        const char *name;
        int nameShown, nameResult;  // the name screen
        int modeResult;             // popupResult of the mode screen
        int wantState;
        bool picturesKept;
    } cases[] = {
        {"name screen not shown", 0, 0, 0, mavrel::kMenu, true},
        {"name refused", 1, 0, 0, mavrel::kMenu, true},
        {"mode screen cancelled", 1, 1, -1, mavrel::kMenuRedraw, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        app().askName = true;
        fake.answers.clear();
        fake.screens.clear();
        fake.answers[28] = {c.nameShown, c.nameResult};
        fake.answers[18] = {1, c.modeResult};
        app().state = mavrel::kLaunch;
        DIBUFFER *dib = app().dib;
        mavrel::stateStep();
        EXPECT_EQ(app().state, c.wantState);
        EXPECT_EQ(app().dib, dib) << "no reload of the pictures";
        EXPECT_FALSE(fs::exists(base / "report.txt"));
    }
    // The cancelled screen's redraw puts the menu back.
    mavrel::stateStep();
    EXPECT_EQ(app().state, mavrel::kMenu);
    EXPECT_EQ(screenAt(5, 5), pic5(background(5, 5)));
}

TEST_F(Launcher, ModulesThatCannotRun)
{
    struct Case {
        const char *name;
        uint32_t gameId;
        unsigned progress;  // 5 when the module was loaded
        int cursorShown;
        bool restored;      // folder and title put back
    } cases[] = {
        {"no such module", VOK_GAME_VARNEL, 0, 1, true},
        {"no start export", VOK_GAME_TERROW, 1, 1, true},
        {"not in the table", VOK_GAME_BASE + 9, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fake.progress.clear();
        SetCurrentDirectoryA((base / "away").c_str());
        SetWindowTextA(app().window, "elsewhere");
        const int cursor = cursorCount();
        mavrel::launchGameModule(c.gameId);
        EXPECT_EQ(fake.progress.size(), c.progress);
        EXPECT_EQ(cursorCount() - cursor, c.cursorShown);
        EXPECT_EQ(title() == "Velmo's Games Demo", c.restored);
        EXPECT_EQ(currentFolder() + "\\" == app().programFolder, c.restored);
        if (c.cursorShown)
            ShowCursor(FALSE);
    }
    EXPECT_FALSE(fs::exists(base / "report.txt"));

    // A missing module in the whole launch: the backdrop it leaves is ended and the menu comes back.
    fake.answers[28] = {1, 1};
    fake.answers[17] = {1, 0};
    fake.gameOfScreen = VOK_GAME_VARNEL;
    fake.backdrop = true;
    app().state = mavrel::kLaunch;
    app().chosenScreen = 17;
    mavrel::stateStep();
    EXPECT_EQ(fake.fades, 1);
    EXPECT_EQ(app().state, mavrel::kMenuAfterGame);
}

}  // namespace
