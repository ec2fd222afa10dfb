// Game selection: every command and its inverse, refusals that leave the record alone, replays, and
// the search for the next unsolved level.
#include <string.h>

#include "gamesel.h"
#include "help.h"
#include "scores.h"
#include "support.h"
#include "vokplat/msgbox.h"

namespace {

using vstest::Root;

class GameSel : public Root {
protected:
    void SetUp() override
    {
        Root::SetUp();
        ASSERT_EQ(VokSetPlayerName("Ann"), 1);
        // Field names: ten challenge fields, 25 in every group but the last, which has three.
        std::string fields = "#C\n";
        for (int i = 0; i < 40; i++)
            fields += "c" + std::to_string(i) + " challenge\n";
        for (const char *g : {"E", "S", "H", "X"}) {
            fields += std::string("#") + g + "\n";
            for (int i = 0; i < (g[0] == 'X' ? 3 : 25); i++)
                fields += std::string(1, char(g[0] + 32)) + std::to_string(i % 10) + " field " + std::to_string(i) + "\n";
        }
        write_pack("data/us/mnutext.fpk", {{"mnutext.txt", "~a\n"}, {"fwfields.txt", fields}});
        ASSERT_EQ(VokLoadTextFiles(), 1);
        VokUpdateScores(VOK_KIND_FREE, VOK_GAME_KELPA, -1, 0, 0); // free-play counters of earlier tests
        face->gameFlags = 0;
    }

    std::string last_message()
    {
        char log[4096] = "";
        PlatMsgBoxLog(log, sizeof log);
        return log;
    }
};

TEST_F(GameSel, CommandsSetTheGameFieldsAndPositionsGoBack)
{
    struct Case {
        int command;
        uint32_t game;
        int kind, family, number, position;
    };
    const Case cases[] = {
        {40001, VOK_GAME_VARNEL, 100, 0, 0, 0},   {40013, VOK_GAME_VARNEL, 101, 5, 0, 5},
        {40305, VOK_GAME_VARNEL, 101, 5, 0, 5},   {40016, VOK_GAME_VARNEL, 103, 2, 0, 2},
        {40033, VOK_GAME_MOSSIK, 101, 3, 0, 3},   {40309, VOK_GAME_MOSSIK, 101, 3, 0, 3},
        {40517, VOK_GAME_MOSSIK, 100, 0, 0, 0},   {40544, VOK_GAME_MOSSIK, 100, 3, 3, 27},
        {40047, VOK_GAME_TERROW, 101, 0, 0, 0},   {40100, VOK_GAME_TERROW, 101, 2, 3, 53},
        {40347, VOK_GAME_TERROW, 100, 0, 0, 0},   {40386, VOK_GAME_TERROW, 100, 39, 0, 39},
        {40148, VOK_GAME_KELPA, 100, 0, 0, 0},    {40160, VOK_GAME_KELPA, 100, 1, 3, 12},
        {40169, VOK_GAME_KELPA, 100, 2, 3, 21},   {40310, VOK_GAME_KELPA, 101, 0, 0, 0},
        {40404, VOK_GAME_KELPA, 101, 4, 0, 4},    {40182, VOK_GAME_DUNMAR, 100, 0, 0, 0},
        {40197, VOK_GAME_DUNMAR, 101, 3, 0, 3},
    };
    for (const Case &c : cases) {
        face->colourChoice = 12;
        face->networkGame = 1;
        ASSERT_EQ(VokSelectGameByCommand(nullptr, c.command), c.command) << c.command;
        EXPECT_EQ(face->gameId, c.game) << c.command;
        EXPECT_EQ(face->gameKind, c.kind) << c.command;
        EXPECT_EQ(face->levelFamily, c.family) << c.command;
        EXPECT_EQ(face->levelNumber, c.number) << c.command;
        EXPECT_EQ(VokLevelPosition(), c.position) << c.command;
        EXPECT_EQ(VokSetLevel(c.kind, c.game, c.position), c.family) << c.command;
        if (c.game == VOK_GAME_DUNMAR)
            EXPECT_EQ(face->colourChoice, 0);
        if (c.game == VOK_GAME_DUNMAR && c.kind == 101)
            EXPECT_EQ(face->networkGame, 0);
    }
    // Terrow's field: the group's prefix and the name's first two characters under the read root.
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40100), 40100);
    EXPECT_STREQ(face->titleText, "h3 field 3");
    std::string path = face->levelPath;
    EXPECT_EQ(path.substr(path.size() - 21), "fw\\Fields\\Hard_h3.trl") << path;
    EXPECT_EQ(path.rfind(face->readRoot, 0), 0u);
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40350), 40350);
    EXPECT_STREQ(face->titleText, "c3 challenge");
    path = face->levelPath;
    EXPECT_EQ(path.substr(path.size() - 19), "fw\\Fields\\Ch_c3.trl") << path;
}

TEST_F(GameSel, OnlyVarnelsSecondThirdClearsTheResultsAnimation)
{
    vok::results_movie_flag() = true;
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40014), 40014);
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40016), 40016);
    EXPECT_TRUE(vok::results_movie_flag());
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40015), 40015);
    EXPECT_FALSE(vok::results_movie_flag());
}

TEST_F(GameSel, RefusedCommandsLeaveTheRecord)
{
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40160), 40160);
    VokInterFace before = *face;
    PlatMsgBoxReset();
    // Outside the table, a Terrow group past its names, the editor's open for a game without it,
    // the network game (no network play here), and the two notices.
    for (int command : {40000, 40007, 40200, 40420, 40545, 40146, 40125}) {
        EXPECT_EQ(VokSelectGameByCommand(nullptr, command), 0) << command;
        EXPECT_EQ(face->gameKind, before.gameKind) << command;
        EXPECT_EQ(face->gameId, before.gameId) << command;
        EXPECT_EQ(face->levelFamily, before.levelFamily) << command;
        EXPECT_EQ(face->levelNumber, before.levelNumber) << command;
        EXPECT_STREQ(face->levelPath, before.levelPath) << command;
    }
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40201), 0);
    EXPECT_EQ(face->networkGame, before.networkGame);
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40202), 0);
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40213), 0);
    face->gameId = VOK_GAME_VARNEL;
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40211), 0);
    // Terrow's own field: the browser was not answered, so nothing changes.
    face->gameId = VOK_GAME_TERROW;
    face->gameKind = 101;
    strcpy(face->levelPath, "kept");
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40211), 0);
    EXPECT_EQ(face->gameKind, 101);
    EXPECT_STREQ(face->levelPath, "kept");
    // The editor's choices of the current game.
    face->gameId = VOK_GAME_KELPA;
    for (int command : {40210, 40211, 40212}) {
        ASSERT_EQ(VokSelectGameByCommand(nullptr, command), command);
        EXPECT_EQ(face->gameKind, VOK_KIND_EDITOR);
        EXPECT_EQ(face->subMode, command - 40210);
        EXPECT_EQ(face->levelFamily, command - 40210);
    }
}

// Kelpa's editor page names what each command does: 40210 edits palette boards (family 0), 40211
// plays a board of the player's own through the browser (family 1), 40212 edits patterns (family 2).
TEST_F(GameSel, KelpaEditorPageLabelsMatchTheirFamilies)
{
    const VokScene *screen = VokGameScreen(3);
    ASSERT_NE(screen, nullptr);
    const VokSession *page = nullptr;
    for (int i = 0; i < screen->sessionCount; i++)
        if (screen->sessions[i].id == 102)
            page = &screen->sessions[i];
    ASSERT_NE(page, nullptr);
    const struct {
        int id;
        const char *text;
    } want[] = {{40210, "Edit a board"}, {40211, "Play my boards"}, {40212, "Edit a pattern"}};
    ASSERT_EQ(page->ikonCount, 3);
    for (const auto &w : want) {
        const VokIkon *ikon = nullptr;
        for (int i = 0; i < page->ikonCount; i++)
            if (page->ikons[i].id == w.id)
                ikon = &page->ikons[i];
        ASSERT_NE(ikon, nullptr) << w.id;
        ASSERT_NE(ikon->text.string, nullptr) << w.id;
        EXPECT_STREQ(ikon->text.string, w.text) << w.id;
    }
    face->gameId = VOK_GAME_KELPA;
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40211), 40211);
    EXPECT_EQ(face->levelFamily, 1);
}

TEST_F(GameSel, ReplaysNeedAStoredName)
{
    PlatMsgBoxReset();
    face->gameKind = 100;
    EXPECT_EQ(VokSelectGameByCommand(nullptr, 40412), 0);
    EXPECT_EQ(face->gameKind, 100);
    EXPECT_EQ(face->gameFlags & VOK_GF_REPLAY, 0u);
    EXPECT_NE(last_message(), "");
    // A best time of challenge 3 makes its replay possible.
    face->titleText[0] = '\0';
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_KELPA, 2, 900, 0), -1);
    ASSERT_EQ(VokSelectGameByCommand(nullptr, 40412), 40412);
    EXPECT_EQ(face->gameId, VOK_GAME_KELPA);
    EXPECT_EQ(face->gameKind, 101);
    EXPECT_EQ(face->levelFamily, 2);
    EXPECT_NE(face->gameFlags & VOK_GF_REPLAY, 0u);
    EXPECT_STREQ(face->titleText, "Ann");
    EXPECT_TRUE(vok::level_solved(vok::kGameKelpa, 101, 2));
    EXPECT_FALSE(vok::level_solved(vok::kGameKelpa, 101, 3));
}

TEST_F(GameSel, NextUnsolvedGoesOnThenBack)
{
    // Kelpa free play: 6 and 7 solved, so from 5 the next is 8.
    for (int p : {6, 7, 19, 20, 21})
        ASSERT_EQ(VokUpdateScores(100, VOK_GAME_KELPA, p, 10, 0), -1);
    VokSetLevel(100, VOK_GAME_KELPA, 5);
    face->gameFlags = 0x07;
    EXPECT_EQ(VokNextUnsolvedLevel(), 1);
    EXPECT_EQ(VokLevelPosition(), 8);
    EXPECT_EQ(face->levelFamily, 0);
    EXPECT_EQ(face->levelNumber, 8);
    EXPECT_EQ(face->gameFlags, 0u);
    // From the last level, with everything after 18 solved: back to 18.
    VokSetLevel(100, VOK_GAME_KELPA, 21);
    EXPECT_EQ(VokNextUnsolvedLevel(), 1);
    EXPECT_EQ(VokLevelPosition(), 18);
    // Terrow's groups: the next field of the group, then the next group; the short last group ends
    // at its third field, so from there the search goes back.
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 26, 1, 0), -1);
    VokSetLevel(101, VOK_GAME_TERROW, 25);
    EXPECT_EQ(VokNextUnsolvedLevel(), 1);
    EXPECT_EQ(VokLevelPosition(), 27);
    ASSERT_EQ(VokUpdateScores(101, VOK_GAME_TERROW, 76, 1, 0), -1);
    VokSetLevel(101, VOK_GAME_TERROW, 77);
    EXPECT_EQ(VokNextUnsolvedLevel(), 1);
    EXPECT_EQ(VokLevelPosition(), 75);
    // Other kinds only lose the flags.
    VokSetLevel(101, VOK_GAME_KELPA, 2);
    face->gameFlags = 0x0F;
    EXPECT_EQ(VokNextUnsolvedLevel(), 0);
    EXPECT_EQ(face->gameFlags, 0x08u);
    EXPECT_EQ(VokLevelPosition(), 2);
}

}  // namespace
