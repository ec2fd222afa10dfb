// Terrow end to end through the real main program, headless on the virtual clock, driven by
// tests/terrow_e2e/play.script: the menu, the name, Terrow's game screen 17, the first challenge field
// solved with the supplied ball, the game-over popup, screen 17 with the field marked solved, the
// editor placing a block and saving it through the browser, `trfield dump` of the saved file, the exit.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Shot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const uint8_t *at(int x, int y) const { return &rgb[(size_t(y) * w + x) * 3]; }
};

bool load(const fs::path &path, Shot &s)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    s.w = int(img.width);
    s.h = int(img.height);
    s.rgb.resize(PNG_IMAGE_SIZE(img));
    return png_image_finish_read(&img, nullptr, s.rgb.data(), 0, nullptr) != 0;
}

// Pixels of a rectangle for which `test` holds.
template <class F>
int count(const Shot &s, int x0, int y0, int x1, int y1, F test)
{
    int n = 0;
    for (int y = y0; y < y1 && y < s.h; y++)
        for (int x = x0; x < x1 && x < s.w; x++)
            n += test(s.at(x, y));
    return n;
}

// Pixels of a rectangle that differ clearly between two pictures.
int changed(const Shot &a, const Shot &b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            const uint8_t *p = a.at(x, y), *q = b.at(x, y);
            n += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 60;
        }
    return n;
}

TEST(TerrowE2e, FirstChallengeSolvedFromTheMenuThenABlockSavedInTheEditor)
{
    const fs::path bin = fs::path(MAVREL_PATH).parent_path();
    const fs::path dir = fs::temp_directory_path() / ("terrow_e2e_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "run");
    chmod((dir / "run").c_str(), 0700);
    // A player of this run's own, so that no earlier result marks the field solved beforehand.
    const std::string player = "TrE2e" + std::to_string(getpid() % 100000);
    std::string script = slurp(TERROW_PLAY_SCRIPT);
    ASSERT_FALSE(script.empty());
    script = std::regex_replace(script, std::regex(" capture "), " capture " + dir.string() + "/");
    script = std::regex_replace(script, std::regex("char NAME"), "char " + player);
    // The editor saves into the program folder's "Fields" (the test's lock keeps other runs out).
    const std::string fieldName = "tre2e" + std::to_string(getpid() % 100000);
    const fs::path saved = bin / "Fields" / (fieldName + ".trl");
    fs::remove(saved);
    script = std::regex_replace(script, std::regex("char FIELD"), "char " + fieldName);
    std::ofstream(dir / "play.script") << script;
    // The run makes its player the last one in players.lst (whose first line also holds Kelpa's
    // speed); the file is put back afterwards.
    const fs::path players = bin / "players.lst";
    const bool hadPlayers = fs::exists(players);
    struct PutBack {
        fs::path path;
        bool had;
        std::string data;
        ~PutBack()
        {
            if (had)
                std::ofstream(path, std::ios::binary) << data;
        }
    } putBack{players, hadPlayers, hadPlayers ? slurp(players) : std::string()};
    // The main program is one copy a desktop: its window and atom live under a runtime folder of this
    // run's own, so another program's test running beside this one is no other copy.
    const std::string command = "cd '" + bin.string() + "' && XDG_RUNTIME_DIR='" + (dir / "run").string() +
                                "' VOK_ATOM_DIR='" + (dir / "run").string() +
                                "' VOK_HEADLESS=1 VOK_VIRTUAL_CLOCK=1 timeout -k 5 400 env VOK_INPUT_SCRIPT='" +
                                (dir / "play.script").string() + "' VOK_LOG='" + (dir / "log.txt").string() +
                                "' ./mavrel -q > '" + (dir / "out.txt").string() + "' 2>&1";
    const int status = system(command.c_str());
    const std::string log = slurp(dir / "log.txt");
    // The player's saved positions go with the run.
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(bin / "save" / "fenlw", ec))
        if (e.path().filename().string().find("P^" + player + "L^") != std::string::npos)
            fs::remove(e.path());
    ASSERT_EQ(status, 0) << command << "\n" << slurp(dir / "out.txt") << "\n" << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    EXPECT_EQ(log.find("FAILED"), std::string::npos) << log;

    // The saved field through the project's field tool: the new field's floor of 10 x 10 blocks and
    // the one block placed on it, at the cell the click met (x 3, layer 1, z 5).
    ASSERT_TRUE(fs::exists(saved)) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    const std::string dump = (dir / "dump.txt").string();
    ASSERT_EQ(system(("'" + (bin / "trfield").string() + "' dump '" + saved.string() + "' > '" + dump + "' 2>&1").c_str()), 0);
    const std::string text = slurp(dump);
    fs::remove(saved);
    EXPECT_NE(text.find("# 101 elements"), std::string::npos) << text;
    const std::regex above("\\nelem [0-9]+ [1-9][0-9]* [0-9]+ [0-9]+ [a-z]+");
    std::vector<std::string> above_floor;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), above); it != std::sregex_iterator(); ++it)
        above_floor.push_back(it->str().substr(1));
    EXPECT_EQ(above_floor, std::vector<std::string>{"elem 3 1 5 0 block"}) << text;
    EXPECT_NE(log.find("window destroy"), std::string::npos);

    Shot menu, screen17, field, placed, won, back, editor, block, editmenu, browser, back2, main;
    ASSERT_TRUE(load(dir / "terrow_e2e_menu.png", menu));
    ASSERT_TRUE(load(dir / "terrow_e2e_screen17.png", screen17));
    ASSERT_TRUE(load(dir / "terrow_e2e_field.png", field));
    ASSERT_TRUE(load(dir / "terrow_e2e_placed.png", placed));
    ASSERT_TRUE(load(dir / "terrow_e2e_won.png", won));
    ASSERT_TRUE(load(dir / "terrow_e2e_back.png", back));
    ASSERT_TRUE(load(dir / "terrow_e2e_editor.png", editor));
    ASSERT_TRUE(load(dir / "terrow_e2e_block.png", block));
    ASSERT_TRUE(load(dir / "terrow_e2e_editmenu.png", editmenu));
    ASSERT_TRUE(load(dir / "terrow_e2e_browser.png", browser));
    ASSERT_TRUE(load(dir / "terrow_e2e_back2.png", back2));
    ASSERT_TRUE(load(dir / "terrow_e2e_main.png", main));
    for (const Shot *s : {&menu, &screen17, &field, &placed, &won, &back, &editor, &block, &editmenu, &browser, &back2, &main}) {
        ASSERT_EQ(s->w, 640);
        ASSERT_EQ(s->h, 480);
    }
    auto red = [](const uint8_t *p) { return p[0] > 140 && p[1] < 90 && p[2] < 90; };
    auto gold = [](const uint8_t *p) { return p[0] > 180 && p[1] > 130 && p[2] < 110; };
    auto white = [](const uint8_t *p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; };
    auto green = [](const uint8_t *p) { return p[1] > 100 && p[1] > p[0] + 40 && p[1] > p[2] + 40; };
    auto stone = [](const uint8_t *p) {
        const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
        return hi < 130 && hi - lo < 40;
    };
    // The menu: the red exit button at the top left; the main menu again at the end.
    EXPECT_GT(count(menu, 10, 8, 60, 30, red), 300);
    EXPECT_GT(count(main, 10, 8, 60, 30, red), 300);
    // Screen 17: the gold title "Terrow"; no field of the challenge list marked solved yet (the "*"
    // stands left of the first name once it is).
    EXPECT_GT(count(screen17, 220, 25, 420, 80, gold), 1500);
    EXPECT_GT(count(back, 220, 25, 420, 80, gold), 1500);
    // The field: its stone track in the middle, the status strip's text, the start button.
    EXPECT_GT(count(field, 200, 100, 420, 280, stone), 8000);
    EXPECT_GT(count(field, 150, 375, 490, 400, white), 100) << "the status line \"Get 1 ball to exit\"";
    // The ball on the start cell, where the supply's ball was the frame before.
    EXPECT_GT(changed(field, placed, 225, 180, 265, 215), 150);
    // "Well done!" in gold over the field, the popup's green Menu button, and the track lit where
    // the ball went.
    EXPECT_GT(count(won, 16, 16, 416, 88, gold), 300);
    EXPECT_GT(count(won, 40, 412, 150, 456, green), 1500);
    EXPECT_GT(changed(placed, won, 220, 120, 410, 270), 1500);
    // Back on screen 17: the first field of the list carries its "*".
    EXPECT_LT(count(screen17, 250, 124, 262, 138, white), 5);
    EXPECT_GT(count(back, 250, 124, 262, 138, white), 10);
    // The editor: the new field's floor; the block stands where the click put it.
    EXPECT_GT(count(editor, 120, 80, 520, 380, stone), 40000);
    EXPECT_GT(changed(editor, block, 270, 185, 320, 235), 300);
    // The menu opened with its four members one below the other: Quit, Test run, Save, Load.
    // Each row carries its dark word; the editor's background has nothing that dark there.
    auto ink = [](const uint8_t *p) { return std::max({p[0], p[1], p[2]}) < 70; };
    for (int row = 0; row < 4; row++) {
        EXPECT_GT(count(editmenu, 60, 8 + 26 * row, 150, 26 + 26 * row, ink), 40) << "menu row " << row;
        EXPECT_LT(count(block, 60, 8 + 26 * row, 150, 26 + 26 * row, ink), 5) << "menu row " << row;
    }
    // The browser over the editor, then screen 17 again once the editor is left.
    EXPECT_GT(changed(block, browser, 100, 100, 540, 420), 50000);
    EXPECT_GT(count(back2, 220, 25, 420, 80, gold), 1500);
    fs::remove_all(dir);
}

}  // namespace
