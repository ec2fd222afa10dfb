// The Kelpa editor end to end through the real main program, headless on the virtual clock, driven by
// tests/kelpa/editor.script: "Edit a pattern", a pattern row and an exit placed by clicks, the trial
// run won, the level saved through the in-scene browser under a typed name and opened again.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kelpa/kpeditor.h"
#include "kelpa/kprules.h"
#include "../common/capture.h"

namespace {

namespace fs = std::filesystem;

using capture::count;
using capture::load;
using capture::Shot;
using capture::slurp;

std::string fnvOf(const std::string &bytes)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 16777619u;
    }
    char out[16];
    snprintf(out, sizeof out, "%08x", h);
    return out;
}

// A file of the program folder put back as it was when the test ends.
struct Kept {
    fs::path path;
    bool had;
    std::string data;
    explicit Kept(fs::path p) : path(std::move(p)), had(fs::exists(path)), data(had ? slurp(path) : "") {}
    ~Kept()
    {
        if (had)
            std::ofstream(path, std::ios::binary) << data;
        else
            fs::remove(path);
    }
};

TEST(KelpaEditorE2e, PatternAndExitPlacedTrialWonSavedThroughTheBrowserAndOpenedEqual)
{
    const fs::path bin = fs::path(MAVREL_PATH).parent_path();
    const fs::path dir = fs::temp_directory_path() / ("kelpa_editor_e2e_" + std::to_string(getpid()));
    const std::string script = capture::script_into(KELPA_EDITOR_SCRIPT, dir);
    ASSERT_FALSE(script.empty());
    std::ofstream(dir / "editor.script") << script;
    // The browser starts in the Kelpa folder beside the program: the level saved there goes after.
    const fs::path kps = bin / "Kelpa" / "E2ePattern.KPS", ksw = bin / "Kelpa" / "E2ePattern.KSW";
    fs::remove(kps);
    fs::remove(ksw);
    struct Gone {
        fs::path a, b;
        ~Gone()
        {
            fs::remove(a);
            fs::remove(b);
        }
    } gone{kps, ksw};
    // The worm walks into the exit at speed 2, the script's times follow that pace.
    Kept players(bin / "players.lst");
    {
        std::string pinned = players.data;
        if (pinned.empty() || pinned[0] < '0' || pinned[0] > '8')
            pinned = "2<Tester          >\n";
        pinned[0] = '2';
        std::ofstream(players.path, std::ios::binary) << pinned;
    }
    const std::string command = "cd '" + bin.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 timeout -k 5 90 env VOK_INPUT_SCRIPT='" +
                                (dir / "editor.script").string() + "' VOK_LOG='" + (dir / "log.txt").string() +
                                "' ./mavrel -q > '" + (dir / "out.txt").string() + "' 2>&1";
    const int status = system(command.c_str());
    const std::string log = slurp(dir / "log.txt");
    ASSERT_EQ(status, 0) << command << "\n" << slurp(dir / "out.txt") << "\n" << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);

    // The clicks reached the editor's places: five pattern places and the exit's cell.
    for (int p = 0; p < 5; p++)
        EXPECT_NE(log.find("kelpa editor click pattern " + std::to_string(p) + " -1 -1 held"), std::string::npos) << p;
    EXPECT_NE(log.find("kelpa editor click tile -1 3 0 held 8"), std::string::npos);
    // The trial is won, and said so.
    EXPECT_NE(log.find("kelpa level end won"), std::string::npos) << log;
    EXPECT_NE(log.find("kelpa message This level playable now !"), std::string::npos);
    EXPECT_EQ(log.find("kelpa message Test failed"), std::string::npos);
    // One trial only: a key meant for the message must not start another under the file menu.
    EXPECT_EQ(log.find("kelpa level start"), log.rfind("kelpa level start")) << "a second trial ran";
    EXPECT_EQ(log.find("kelpa message Cannot save"), std::string::npos);

    // Both files written whole through the browser's typed name, equal, and what the log said.
    ASSERT_TRUE(fs::exists(kps)) << "kept in " << dir << "\n" << log;
    ASSERT_TRUE(fs::exists(ksw));
    const std::string playable = slurp(kps), work = slurp(ksw);
    ASSERT_EQ(playable.size(), kKpLevelBytes);
    EXPECT_EQ(playable, work);
    std::smatch saved, opened;
    ASSERT_TRUE(std::regex_search(log, saved, std::regex("kelpa saved \\S*E2ePattern\\.KPS 676 bytes fnv ([0-9a-f]{8})")));
    EXPECT_EQ(saved[1], fnvOf(playable));
    EXPECT_TRUE(std::regex_search(log, std::regex("kelpa saved \\S*E2ePattern\\.KSW 676 bytes fnv " + std::string(saved[1]))))
        << log;
    // The work copy opened through the browser: the editor holds the level as saved.
    ASSERT_TRUE(std::regex_search(log, opened, std::regex("kelpa editor level fnv ([0-9a-f]{8})")));
    EXPECT_EQ(opened[1], saved[1]);

    // The file's fields: the pattern row, one streak, tested and saved, the exit alone on the board.
    KpLevelFile level;
    ASSERT_TRUE(KpDecodeLevel(reinterpret_cast<const uint8_t *>(playable.data()), playable.size(), level, false));
    const int row[5] = {KP_TOOL_BLUE, KP_TOOL_RED, KP_TOOL_GREEN, KP_TOOL_YELLOW, KP_TOOL_WHITE};
    for (int p = 0; p < 30; p++)
        EXPECT_EQ(level.header[KP_H_PATTERN + p], p < 5 ? KpToolCell(row[p]) : 0) << p;
    EXPECT_EQ(level.header[KP_H_STREAKS], 1);
    EXPECT_EQ(level.header[KP_H_TESTED], 1);
    EXPECT_EQ(level.header[KP_H_SAVED], 1);
    for (int i = 0; i < kKpCells; i++)
        EXPECT_EQ(level.board[i], i == 3 * 11 + 0 ? KP_CELL_EXIT : KP_CELL_EMPTY) << i;
    EXPECT_NE(log.find("window destroy"), std::string::npos);

    Shot menu, empty, built, won, save, reopened, main;
    ASSERT_TRUE(load(dir / "kelpa_editor_menu.png", menu));
    ASSERT_TRUE(load(dir / "kelpa_editor_empty.png", empty));
    ASSERT_TRUE(load(dir / "kelpa_editor_built.png", built));
    ASSERT_TRUE(load(dir / "kelpa_editor_won.png", won));
    ASSERT_TRUE(load(dir / "kelpa_editor_save.png", save));
    ASSERT_TRUE(load(dir / "kelpa_editor_opened.png", reopened));
    ASSERT_TRUE(load(dir / "kelpa_editor_main.png", main));
    ASSERT_EQ(built.w, 640);
    ASSERT_EQ(built.h, 480);
    auto red = [](const uint8_t *p) { return p[0] > 140 && p[1] < 90 && p[2] < 90; };
    auto white = [](const uint8_t *p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; };
    auto blue = [](const uint8_t *p) { return p[2] > 120 && p[2] > p[0] + 90 && p[1] < 130; };
    auto green = [](const uint8_t *p) { return p[1] > 100 && p[1] > p[0] + 40 && p[1] > p[2] + 10; };
    auto dark = [](const uint8_t *p) { return p[0] < 60 && p[1] < 70 && p[2] < 110; };
    EXPECT_GT(count(menu, 10, 8, 60, 30, red), 300);
    EXPECT_GT(count(main, 10, 8, 60, 30, red), 300);
    // The exit's green ring on cell (3, 0) and the blue cube on the first pattern place: not in the
    // empty editor, there once placed, and there again after the level came back from its file.
    const int ex0 = 362, ey0 = 112, ex1 = 396, ey1 = 130, px0 = 288, py0 = 40, px1 = 316, py1 = 66;
    EXPECT_LT(count(empty, ex0, ey0, ex1, ey1, green), 5);
    EXPECT_LT(count(empty, px0, py0, px1, py1, blue), 5);
    EXPECT_GT(count(built, ex0, ey0, ex1, ey1, green), 20);
    EXPECT_GT(count(built, px0, py0, px1, py1, blue), 12);
    EXPECT_GT(count(reopened, ex0, ey0, ex1, ey1, green), 20);
    EXPECT_GT(count(reopened, px0, py0, px1, py1, blue), 12);
    // The won trial's message panel in the middle, its white text; the save browser's dark list.
    EXPECT_GT(count(won, 190, 200, 450, 225, white), 150);
    // Under it the trial is over: the test button is back, not the orange pause button.
    auto orange = [](const uint8_t *p) { return p[0] > 200 && p[1] > 100 && p[1] < 200 && p[2] < 90; };
    EXPECT_LT(count(won, 5, 395, 75, 475, orange), 50);
    EXPECT_GT(count(won, 5, 395, 75, 475, green), 500);
    EXPECT_GT(count(save, 110, 110, 400, 370, dark), 50000);
    EXPECT_LT(count(reopened, 110, 110, 400, 370, dark), 50000) << "the browser is gone";
    // A run that went astray keeps its log and captures to look at.
    if (HasFailure())
        ADD_FAILURE() << "kept in " << dir << "\n" << log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    else
        fs::remove_all(dir);
}

}  // namespace
