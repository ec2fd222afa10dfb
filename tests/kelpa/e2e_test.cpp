// Kelpa end to end through the real main program, headless on the virtual clock, driven by
// tests/kelpa/level.script: the menu, the name, Kelpa's game screen, "Standard 1" won by keys, the
// results, the replay to the same end, the results again, the main menu and the exit.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../common/capture.h"

namespace {

namespace fs = std::filesystem;

using capture::count;
using capture::load;
using capture::Shot;
using capture::slurp;

TEST(KelpaE2e, MenuToStandard1WonReplayedAndBack)
{
    const fs::path bin = fs::path(MAVREL_PATH).parent_path();
    const fs::path dir = fs::temp_directory_path() / ("kelpa_e2e_" + std::to_string(getpid()));
    const std::string script = capture::script_into(KELPA_LEVEL_SCRIPT, dir);
    ASSERT_FALSE(script.empty());
    std::ofstream(dir / "level.script") << script;
    // Kind 100 keeps the player's first replay of a level: an older one goes, so that this game's
    // replay is the one played back.
    fs::remove(bin / "kp" / "kp_Tester_0_0.rep");
    // The script's keys win the level at speed 2; players.lst carries the last speed chosen (other
    // programs of the folder write it), so the run starts from speed 2 and the file is put back after.
    const fs::path players = bin / "players.lst";
    const bool hadPlayers = fs::exists(players);
    const std::string savedPlayers = hadPlayers ? slurp(players) : std::string();
    {
        std::string pinned = savedPlayers;
        if (pinned.empty() || pinned[0] < '0' || pinned[0] > '8')
            pinned = "2<Tester          >\n";
        pinned[0] = '2';
        std::ofstream(players, std::ios::binary) << pinned;
    }
    struct PutBack {
        fs::path path;
        bool had;
        std::string data;
        ~PutBack()
        {
            if (had)
                std::ofstream(path, std::ios::binary) << data;
        }
    } putBack{players, hadPlayers, savedPlayers};
    // A run that goes astray (a lost level leaves the script clicking on the wrong screen) ends here
    // with its log instead of waiting for ever.
    const std::string command = "cd '" + bin.string() + "' && VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 timeout -k 5 90 env VOK_INPUT_SCRIPT='" +
                                (dir / "level.script").string() + "' VOK_LOG='" + (dir / "log.txt").string() +
                                "' ./mavrel -q > '" + (dir / "out.txt").string() + "' 2>&1";
    const int status = system(command.c_str());
    const std::string log = slurp(dir / "log.txt");
    ASSERT_EQ(status, 0) << command << "\n" << slurp(dir / "out.txt") << "\n" << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);

    // The game and its replay end alike.
    const std::regex end("kelpa level end (won|lost)( replay)? digest ([0-9a-f]{8}) exits ([0-9]+) time ([0-9]+)");
    std::vector<std::smatch> ends;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), end); it != std::sregex_iterator(); ++it)
        ends.push_back(*it);
    ASSERT_EQ(ends.size(), 2u) << log;
    EXPECT_EQ(ends[0][1], "won");
    EXPECT_EQ(ends[0][2], "");
    EXPECT_EQ(ends[1][1], "won");
    EXPECT_EQ(ends[1][2], " replay");
    EXPECT_EQ(ends[0][3], ends[1][3]) << "the replay's end differs from the game's";
    EXPECT_EQ(ends[0][4], "1");
    EXPECT_EQ(ends[0][5], ends[1][5]);
    EXPECT_NE(log.find("kelpa level start speed"), std::string::npos);
    EXPECT_NE(log.find("kelpa level start replay"), std::string::npos);
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;
    EXPECT_NE(log.find("window destroy"), std::string::npos);

    Shot menu, board, won, replay, results, main;
    ASSERT_TRUE(load(dir / "kelpa_e2e_menu.png", menu));
    ASSERT_TRUE(load(dir / "kelpa_e2e_board.png", board));
    ASSERT_TRUE(load(dir / "kelpa_e2e_won.png", won));
    ASSERT_TRUE(load(dir / "kelpa_e2e_replay.png", replay));
    ASSERT_TRUE(load(dir / "kelpa_e2e_results.png", results));
    ASSERT_TRUE(load(dir / "kelpa_e2e_main.png", main));
    ASSERT_EQ(board.w, 640);
    ASSERT_EQ(board.h, 480);
    auto red = [](const uint8_t *p) { return p[0] > 140 && p[1] < 90 && p[2] < 90; };
    auto yellow = [](const uint8_t *p) { return p[0] > 200 && p[1] > 200 && p[2] < 120; };
    auto white = [](const uint8_t *p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; };
    auto slate = [](const uint8_t *p) {
        const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
        return lo > 50 && hi < 200 && hi - lo < 50;
    };
    auto teal = [](const uint8_t *p) { return p[1] > p[0] + 40 && p[2] > p[0] + 20; };
    // The menu: the red exit button at the top left; the main menu again at the end.
    EXPECT_GT(count(menu, 10, 8, 60, 30, red), 300);
    EXPECT_GT(count(main, 10, 8, 60, 30, red), 300);
    // The loaded board: its slate tiles in the middle, the teal start button at the bottom left,
    // nothing yellow yet.
    EXPECT_GT(count(board, 120, 120, 520, 400, slate), 20000);
    EXPECT_GT(count(board, 5, 400, 75, 475, teal), 1000);
    EXPECT_LT(count(board, 60, 60, 580, 420, yellow), 50);
    // The won level: the path glows yellow; the buttons have slid away from the bottom left.
    EXPECT_GT(count(won, 60, 60, 580, 420, yellow), 300);
    EXPECT_LT(count(won, 5, 400, 75, 475, teal), 50);
    // The replay's banner: "REPLAY" in white at the top centre.
    EXPECT_GT(count(replay, 270, 20, 370, 50, white), 40);
    EXPECT_GT(count(replay, 120, 120, 520, 400, slate), 20000);
    // The buttons stand at their places again (the slide-out at the win left them 160 px aside).
    auto blue = [](const uint8_t *p) { return p[2] > 180 && p[0] < 100; };
    EXPECT_GT(count(replay, 90, 400, 190, 470, blue), 1500);
    // The results screen over the won board.
    EXPECT_GT(count(results, 60, 100, 580, 380, yellow), 100);
    fs::remove_all(dir);
}

}  // namespace
