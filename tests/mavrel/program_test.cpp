// The main program run from a copy of its folder, headless on the virtual clock, driven by input
// scripts: logos, the menu and its highlights in the captures, the questions it asks, the colour-depth
// rule, the single-instance rule and the failure of a missing menu pack.
#include "fixture.h"
#include "win32/windows.h"

namespace {

// Started again with MAVREL_TEST_HOLD_ATOM set, this test program adds the single-instance atom, says
// so on stdout and waits to be killed: a first copy that never got to delete it.
const bool g_holder = [] {
    if (getenv("MAVREL_TEST_HOLD_ATOM") == nullptr)
        return false;
    GlobalAddAtomA("Velmos's Games");
    (void)!write(1, "held\n", 5);
    for (;;)
        pause();
}();

using namespace mvtest;
namespace fs = std::filesystem;

class Program : public ProgramCopy {};

// Where each hot spot's highlight goes, and a point inside the spot.
struct SpotCase {
    int x, y, px, py;
};
const SpotCase kSpots[] = {{355, 380, 380, 400}, {220, 370, 250, 400}, {0, 0, 30, 20}, {555, 0, 600, 20}};

TEST_F(Program, LogosMenuHighlightsAndTheWayOut)
{
    std::ostringstream s;
    s << "0 answer no\n"                                     // Run fullscreen?
      << "100 capture " << shot("logo1.png").string() << "\n"
      << "1000 click 100 100 left\n"                         // a click during a logo only skips it
      << "1100 capture " << shot("logo3.png").string() << "\n"  // logonolt.pix is missing: brondel.pix
      << "3900 capture " << shot("logo3late.png").string() << "\n"
      << "3950 key SPACE\n"
      << "4100 capture " << shot("menu.png").string() << "\n";
    int t = 4200;
    for (int i = 0; i < 4; i++, t += 100)
        s << t << " move " << kSpots[i].px << " " << kSpots[i].py << "\n"
          << t + 50 << " capture " << shot("spot" + std::to_string(i) + ".png").string() << "\n";
    s << t << " move 300 200\n"
      << t + 50 << " capture " << shot("none.png").string() << "\n"
      << t + 100 << " key ESCAPE\n"
      << "0 answer ok\n"                                      // the exit screen's pack is missing here
      << "0 answer no\n"                                      // so the box asks: Really want to exit?
      << t + 200 << " capture " << shot("stay.png").string() << "\n"
      << t + 300 << " click 30 20\n"
      << "0 answer ok\n"
      << "0 answer yes\n";                                    // the exit spot
    ASSERT_EQ(run({}, s.str()), 0) << errors();

    expect_picture(shot("logo1.png"), {logo(1)});
    expect_picture(shot("logo3.png"), {logo(3)});
    expect_picture(shot("logo3late.png"), {logo(3)});  // still up: its 3000 ms are not over
    expect_picture(shot("menu.png"), {background});
    for (int i = 0; i < 4; i++)
        expect_picture(shot("spot" + std::to_string(i) + ".png"), {background, highlight(i), kSpots[i].x, kSpots[i].y});
    expect_picture(shot("none.png"), {background});
    expect_picture(shot("stay.png"), {background});

    const std::string b = boxes();
    const size_t full = b.find("text=\"Run fullscreen?\""), asked = b.find("text=\"Really want to exit?\"");
    ASSERT_NE(full, std::string::npos) << b;
    EXPECT_NE(b.find("caption=\"Velmo's Games Demo\" text=\"Run fullscreen?\" type=0x24 answer=IDNO"), std::string::npos) << b;
    ASSERT_NE(asked, std::string::npos) << b;
    EXPECT_NE(b.find("answer=IDNO", asked), std::string::npos) << b;
    EXPECT_NE(b.find("text=\"Really want to exit?\"", asked + 1), std::string::npos) << "asked twice: " << b;
    EXPECT_EQ(b.find("Error while"), std::string::npos) << b;
    const std::string w = windows();
    EXPECT_NE(w.find("class=\"vokclass\" title=\"Velmo's Games Demo\""), std::string::npos) << w;
    EXPECT_NE(w.find("window destroy"), std::string::npos) << w;
}

TEST_F(Program, GeneratedArtShowsAsDrawn)
{
    const fs::path bin = VOK_BIN_DIR;
    const char *logos[] = {"zuvo.pix", "logonolt.pix", "brondel.pix"};
    if (!fs::exists(bin / "mainpics.fpk") || !fs::exists(bin / "Data" / "zuvo.pix"))
        GTEST_SKIP() << "the build holds no generated menu pictures";
    fs::copy_file(bin / "mainpics.fpk", folder / "mainpics.fpk", fs::copy_options::overwrite_existing);
    for (const char *l : logos)
        fs::copy_file(bin / "Data" / l, folder / "Data" / l, fs::copy_options::overwrite_existing);

    std::ostringstream s;
    s << "0 answer no\n"
      << "100 capture " << shot("logo0.png").string() << "\n"
      << "3100 capture " << shot("logo1.png").string() << "\n"
      << "6200 capture " << shot("logo2.png").string() << "\n"
      << "6300 key SPACE\n"
      << "6500 capture " << shot("menu.png").string() << "\n";
    for (int i = 0; i < 4; i++)
        s << 6600 + i * 100 << " move " << kSpots[i].px << " " << kSpots[i].py << "\n"
          << 6650 + i * 100 << " capture " << shot("spot" + std::to_string(i) + ".png").string() << "\n";
    s << "7100 close\n";
    ASSERT_EQ(run({}, s.str()), 0) << errors();

    // The same pictures read back with the system's readers.
    for (int i = 0; i < 3; i++) {
        br_pixelmap *logo = PxLoadPixP((folder / "Data" / logos[i]).c_str(), 1);
        ASSERT_NE(logo, nullptr) << logos[i];
        expect_picture(shot("logo" + std::to_string(i) + ".png"), {as_shown(logo)});
        PxFreePix(logo);
    }
    FFPACKHANDLE *pack = FFOpenPack((folder / "mainpics.fpk").c_str(), 0);
    ASSERT_NE(pack, nullptr);
    br_pixelmap *menu = PxLoadPixP("alap.pix", 1);
    ASSERT_NE(menu, nullptr);
    const Picture shownMenu = as_shown(menu);
    expect_picture(shot("menu.png"), {shownMenu});
    const char *names[] = {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"};
    for (int i = 0; i < 4; i++) {
        br_pixelmap *h = PxLoadPixP(names[i], 1);
        ASSERT_NE(h, nullptr) << names[i];
        expect_picture(shot("spot" + std::to_string(i) + ".png"), {shownMenu, as_shown(h), kSpots[i].x, kSpots[i].y});
        PxFreePix(h);
    }
    PxFreePix(menu);
    FFClosePack(pack);
}

TEST_F(Program, LogoTimesOutAfterThreeSeconds)
{
    // zuvo.pix alone: up at once, still there just before 3000 ms, the menu right after.
    std::filesystem::remove(folder / "Data" / "brondel.pix");
    std::ostringstream s;
    s << "0 answer no\n"
      << "2950 capture " << shot("before.png").string() << "\n"
      << "3100 capture " << shot("after.png").string() << "\n"
      << "3200 close\n";
    ASSERT_EQ(run({}, s.str()), 0) << errors();
    expect_picture(shot("before.png"), {logo(1)});
    expect_picture(shot("after.png"), {background});
}

TEST_F(Program, QuickStartShowsTheMenuAtOnceAndFifteenBitsRun)
{
    std::ostringstream s;
    s << "0 answer no\n"
      << "20 capture " << shot("q.png").string() << "\n"
      << "100 close\n";
    ASSERT_EQ(run({"-q"}, s.str(), {"VOK_DESKTOP_BITS=15"}), 0) << errors();
    expect_picture(shot("q.png"), {background});
}

// The exit question keeps its look when it ends: after No the menu is painted again, pixel for pixel.
TEST_F(Program, NoOnTheExitQuestionGivesTheMenuBack)
{
    link_generated({"Data/sure.fpk", "Data/US/mnutext.fpk", "Data/msgfont.fnp"});
    std::ostringstream s;
    s << "0 answer no\n"
      << "100 move 300 200\n"
      << "150 capture " << shot("before.png").string() << "\n"
      << "200 key ESCAPE\n"
      << "600 capture " << shot("asked.png").string() << "\n"
      << "700 key ESCAPE\n"  // No
      << "900 capture " << shot("after.png").string() << "\n"
      << "1000 close\n";
    ASSERT_EQ(run({"-q"}, s.str()), 0) << errors();
    Png before, asked, after;
    ASSERT_TRUE(read_png(shot("before.png"), before));
    ASSERT_TRUE(read_png(shot("asked.png"), asked));
    ASSERT_TRUE(read_png(shot("after.png"), after));
    EXPECT_FALSE(asked.rgb == before.rgb) << "the question was shown";
    EXPECT_TRUE(after.rgb == before.rgb) << "the menu came back";
    expect_picture(shot("after.png"), {background});
}

// No answered with the mouse: the pointer has left the Exit button, so the menu comes back unlit.
TEST_F(Program, NoClickedOnTheExitQuestionLeavesNoButtonLit)
{
    link_generated({"Data/sure.fpk", "Data/US/mnutext.fpk", "Data/msgfont.fnp"});
    std::ostringstream s;
    s << "0 answer no\n"
      << "100 move 300 200\n"
      << "150 capture " << shot("before.png").string() << "\n"
      << "200 click 30 20\n"        // Exit
      << "600 click 385 281\n"      // No
      << "900 capture " << shot("after.png").string() << "\n"
      << "1000 close\n";
    ASSERT_EQ(run({"-q"}, s.str()), 0) << errors();
    Png before, after;
    ASSERT_TRUE(read_png(shot("before.png"), before));
    ASSERT_TRUE(read_png(shot("after.png"), after));
    EXPECT_TRUE(after.rgb == before.rgb) << "the menu came back as it was, the Exit button unlit";
}

TEST_F(Program, RefusedStarts)
{
    struct Case {
        const char *name;
        std::vector<std::string> env;
        bool removePack;
        const char *box;  // the message the run ends with (under the program's title), or none
    } cases[] = {
        {"depth 8", {"VOK_DESKTOP_BITS=8"}, false, "caption=\"Velmo's Games Demo\" text=\"Your Windows must be in 16 bit\\nor higher color depth\" type=0x10"},
        {"no menu pack", {}, true, "caption=\"Velmo's Games Demo\" text=\"Error while initializing!\" type=0x10"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(base / "boxes.log");
        if (c.removePack)
            std::filesystem::remove(folder / "mainpics.fpk");
        EXPECT_EQ(run({}, "0 answer no\n", c.env), 255) << errors();
        EXPECT_NE(boxes().find(c.box), std::string::npos) << boxes();
        // The atom goes with the run that held it.
        setenv("VOK_ATOM_DIR", (runtime / "atoms").c_str(), 1);
        EXPECT_EQ(GlobalFindAtomA("Velmos's Games"), 0);
        unsetenv("VOK_ATOM_DIR");
    }
}

TEST_F(Program, FullScreenModeIsDroppedAndTakenAgainWithTheFocus)
{
    ASSERT_EQ(run({"-q"}, "0 answer yes\n200 unfocus\n300 focus\n400 close\n"), 0) << errors();
    const std::string w = windows();
    const size_t set = w.find("display mode 640x480x16"), dropped = w.find("display mode restored", set),
                 again = w.find("display mode 640x480x16", dropped);
    EXPECT_NE(set, std::string::npos) << w;
    EXPECT_NE(dropped, std::string::npos) << w;
    EXPECT_NE(again, std::string::npos) << w;
}

TEST_F(Program, AtomWithoutWindowEndsTheSecondCopy)
{
    // A first copy that is still starting: the atom is there, no window yet.
    setenv("VOK_ATOM_DIR", (runtime / "atoms").c_str(), 1);
    const ATOM atom = GlobalAddAtomA("Velmos's Games");
    ASSERT_NE(atom, 0);
    EXPECT_EQ(run({}, "0 answer no\n"), 255) << errors();
    EXPECT_EQ(boxes().find("Run fullscreen?"), std::string::npos) << "ended before its first question";
    EXPECT_NE(errors().find("another copy holds the atom \"Velmos's Games\""), std::string::npos) << errors();
    EXPECT_NE(GlobalFindAtomA("Velmos's Games"), 0) << "the first copy's atom is left alone";
    GlobalDeleteAtom(atom);
    unsetenv("VOK_ATOM_DIR");
}

// A first copy killed while it held the atom (as at its first question) does not stop the next one.
TEST_F(Program, AtomOfAKilledCopyDoesNotStopTheNext)
{
    const std::string atoms = (runtime / "atoms").string();
    setenv("VOK_ATOM_DIR", atoms.c_str(), 1);
    setenv("MAVREL_TEST_HOLD_ATOM", "1", 1);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const pid_t holder = fork();
    if (holder == 0) {
        dup2(out[1], 1);
        execl(self.c_str(), self.c_str(), nullptr);
        _exit(127);
    }
    unsetenv("MAVREL_TEST_HOLD_ATOM");
    ASSERT_GT(holder, 0);
    close(out[1]);
    char line[16] = {};
    const ssize_t got = read(out[0], line, sizeof line - 1);
    close(out[0]);
    EXPECT_GT(got, 0);
    EXPECT_NE(GlobalFindAtomA("Velmos's Games"), 0);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    unsetenv("VOK_ATOM_DIR");

    ASSERT_EQ(run({"-q"}, "0 answer no\n100 close\n"), 0) << errors();
    EXPECT_NE(boxes().find("Run fullscreen?"), std::string::npos) << boxes();
    EXPECT_EQ(errors().find("another copy"), std::string::npos) << errors();
}

TEST_F(Program, SecondCopyRaisesTheFirstAndEnds)
{
    std::map<std::string, std::string> vars;
    for (char **e = environ; *e != nullptr; e++) {
        std::string s = *e;
        vars[s.substr(0, s.find('='))] = s.substr(s.find('=') + 1);
    }
    std::ofstream(base / "first.txt") << "0 answer no\n";
    vars["VOK_HEADLESS"] = "1";
    vars["VOK_IDLE_QUIT_MS"] = "30000";
    vars["XDG_RUNTIME_DIR"] = runtime.string();
    vars["VOK_ATOM_DIR"] = (runtime / "atoms").string();
    vars["VOK_INPUT_SCRIPT"] = (base / "first.txt").string();
    vars["VOK_LOG"] = (base / "first.log").string();
    const pid_t first = spawn({"-q"}, vars);
    ASSERT_GT(first, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (slurp(base / "first.log").find("window show") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(run({}, "0 answer no\n"), 255) << errors();
    EXPECT_EQ(boxes().find("Run fullscreen?"), std::string::npos);
    bool raised = false;
    while (!raised && std::chrono::steady_clock::now() < until) {
        raised = slurp(base / "first.log").find("raise request") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(raised) << slurp(base / "first.log");
    kill(first, SIGTERM);
    wait(first, 10);
}

}  // namespace
