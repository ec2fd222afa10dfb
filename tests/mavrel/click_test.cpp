// The program played with the mouse: a game spot, the player's name, the game screen and back, and a
// level chosen on Kelpa's screen reaching the game module with its fields.
#include "fixture.h"

namespace {

using namespace mvtest;
namespace fs = std::filesystem;

class Click : public ProgramCopy {};

TEST_F(Click, SpotNameGameScreenAndALevel)
{
    // The whole generated data tree: the screens, their language packs and fonts.
    for (const auto &e : fs::recursive_directory_iterator(fs::path(VOK_BIN_DIR) / "Data")) {
        if (!e.is_regular_file())
            continue;
        fs::path to = folder / fs::relative(e.path(), VOK_BIN_DIR);
        fs::create_directories(to.parent_path());
        std::error_code ec;
        fs::create_hard_link(e.path(), to, ec);
        if (ec)
            fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
    }
    fs::copy_file(fs::path(VOK_STUB_DIR) / "KpDll.so", folder / "KpDll.so");
    std::ostringstream s;
    s << "0 answer no\n"
      << "100 click 380 400\n"          // Terrow's spot: the name first
      << "1500 char A\n1550 char n\n1600 char n\n1700 key RETURN\n"
      << "3000 capture " << shot("terrow.png").string() << "\n"
      << "3100 key ESCAPE\n"
      << "4000 click 250 400\n"         // Kelpa's spot: its screen at once
      << "5500 capture " << shot("kelpa.png").string() << "\n"
      << "5600 key ESCAPE\n"
      << "6500 capture " << shot("menu.png").string() << "\n"
      << "6600 click 250 400\n"
      << "8000 move 125 128\n8200 move 430 138\n8400 move 554 223\n"
      << "8600 capture " << shot("grid.png").string() << "\n"
      << "8700 click 554 223\n"
      << "12000 close\n";
    fs::path report = base / "report.txt";
    fs::path fields = base / "fields.txt";
    EXPECT_EQ(run({"-q"}, s.str(), {"MAVREL_STUB_REPORT=" + report.string(), "MAVREL_STUB_FIELDS=" + fields.string()}, 120),
              0)
        << errors();
    Png terrow, kelpa, menu, grid;
    ASSERT_TRUE(read_png(shot("terrow.png"), terrow)) << errors();
    ASSERT_TRUE(read_png(shot("kelpa.png"), kelpa));
    ASSERT_TRUE(read_png(shot("menu.png"), menu));
    ASSERT_TRUE(read_png(shot("grid.png"), grid));
    EXPECT_FALSE(terrow.rgb == menu.rgb) << "Terrow's screen was shown";
    EXPECT_FALSE(kelpa.rgb == menu.rgb) << "Kelpa's screen was shown";
    EXPECT_FALSE(kelpa.rgb == terrow.rgb);
    EXPECT_FALSE(grid.rgb == kelpa.rgb) << "the free-play page replaced the challenge page";
    EXPECT_EQ(boxes().find("No screen description"), std::string::npos) << boxes();
    std::string got = slurp(report);
    EXPECT_NE(got.find("StartKelpa inGame=1"), std::string::npos) << got << boxes();
    EXPECT_EQ(slurp(fields), "kind=100 family=1 number=2\n");
}

}  // namespace
