// Full screen on a real X server (Xvfb), without a window manager, with one (openbox) and after one was
// killed without tidying up (the root still names its window): `mavrel -q`
// answered Yes shows the whole menu, centred at a whole scale, and the mouse finds the hot spots
// through the scale. Runs only where Xvfb and ImageMagick's import are installed.
#include <sys/stat.h>

#include <tuple>

#include "fixture.h"

namespace {

using namespace mvtest;
namespace fs = std::filesystem;

bool installed(const char *tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t start(const std::vector<std::string> &args, const std::map<std::string, std::string> &extra = {})
{
    std::map<std::string, std::string> vars;
    for (char **e = environ; *e != nullptr; e++) {
        std::string s = *e;
        vars[s.substr(0, s.find('='))] = s.substr(s.find('=') + 1);
    }
    for (const auto &v : extra)
        vars[v.first] = v.second;
    std::vector<std::string> envs;
    for (const auto &v : vars)
        envs.push_back(v.first + "=" + v.second);
    std::vector<char *> envp, argv;
    for (std::string &s : envs)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> a = args;
    for (std::string &s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid)
{
    if (pid > 0 && kill(pid, SIGTERM) == 0)
        waitpid(pid, nullptr, 0);
}

// An Xvfb on a display number of its own choosing.
struct Xserver {
    pid_t pid = -1;
    std::string display;
    Xserver(int w, int h)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        std::vector<std::string> args{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                      std::to_string(w) + "x" + std::to_string(h) + "x24", "-nolisten", "tcp",
                                      "-noreset"};  // a killed manager's root property stays
        std::vector<char *> argv;
        for (std::string &s : args)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        char buf[32] = {};
        if (pid > 0 && read(fds[0], buf, sizeof buf - 1) > 0)
            display = ":" + std::to_string(atoi(buf));
        close(fds[0]);
    }
    ~Xserver() { stop(pid); }
};

// The picture rectangle of a 640x480 screen in a w x h one: the largest whole scale, centred.
struct Rect {
    int x, y, w, h;
};
Rect fitted(int w, int h)
{
    const int s = std::max(1, std::min(w / 640, h / 480));
    return {(w - 640 * s) / 2, (h - 480 * s) / 2, 640 * s, 480 * s};
}

enum class Manager { None, Openbox, KilledOpenbox };
const char *name(Manager m)
{
    return m == Manager::None ? "None" : m == Manager::Openbox ? "Openbox" : "KilledOpenbox";
}
void PrintTo(Manager m, std::ostream *os) { *os << name(m); }

// Each manager with both ways the SDL backend shows frames: the window's own surface (what it picks
// without a GPU, as here) and the streamed texture (what it picks where a GPU draws).
class FullScreen : public ProgramCopy, public ::testing::WithParamInterface<std::tuple<Manager, const char *>> {};

TEST_P(FullScreen, WholeMenuCentredAndTheMouseMapsBack)
{
    const Manager param = std::get<0>(GetParam());
    const bool killed = param == Manager::KilledOpenbox;
    const bool manager = param == Manager::Openbox;
    if (!installed("Xvfb") || !installed("import") || !installed("xdotool"))
        GTEST_SKIP() << "Xvfb, ImageMagick's import and xdotool are needed";
    if (param != Manager::None && (!installed("openbox") || !installed("xprop")))
        GTEST_SKIP() << "openbox and xprop are needed";
    // Without a manager a screen with room for 2x; with one, 1x on 1024x768. A killed one is none.
    const int sw = manager ? 1024 : 1280, sh = manager ? 768 : 1024;
    Xserver x(sw, sh);
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
    pid_t wm = -1;
    if (param != Manager::None) {
        wm = start({"openbox"}, {{"DISPLAY", x.display}});
        ASSERT_GT(wm, 0);
        // Until the manager has announced itself on the root window.
        for (int i = 0; i < 100; i++) {
            std::string cmd = "DISPLAY=" + x.display + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'";
            if (std::system(cmd.c_str()) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (killed) {
            kill(wm, SIGKILL);
            waitpid(wm, nullptr, 0);
            wm = -1;
            const std::string cmd =
                "DISPLAY=" + x.display + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << "the root no longer names the killed manager's window";
        }
    }

    std::map<std::string, std::string> vars;
    for (char **e = environ; *e != nullptr; e++) {
        std::string s = *e;
        vars[s.substr(0, s.find('='))] = s.substr(s.find('=') + 1);
    }
    vars.erase("VOK_HEADLESS");
    vars.erase("VOK_VIRTUAL_CLOCK");
    vars["VOK_BACKEND"] = "sdl";
    vars["VOK_SDL_PRESENT"] = std::get<1>(GetParam());
    vars["DISPLAY"] = x.display;
    vars["SDL_AUDIODRIVER"] = "dummy";
    vars["VOK_MSGBOX_ANSWERS"] = "yes";
    vars["XDG_RUNTIME_DIR"] = runtime.string();
    vars["VOK_ATOM_DIR"] = (runtime / "atoms").string();
    vars["VOK_LOG"] = (base / "windows.log").string();
    vars["VOK_MSGBOX_LOG"] = (base / "boxes.log").string();
    const pid_t program = spawn({"-q"}, vars);
    ASSERT_GT(program, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (windows().find("present") == std::string::npos && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the manager's resize, the next frames

    const Rect r = fitted(sw, sh);
    const std::string grab = "DISPLAY=" + x.display + " import -window root ";
    ASSERT_EQ(std::system((grab + shot("menu.png").string()).c_str()), 0);
    // The mouse over the first hot spot, through the scale.
    const int s = r.w / 640;
    const int mx = r.x + 380 * s + s / 2, my = r.y + 400 * s + s / 2;
    std::system(("DISPLAY=" + x.display + " xdotool mousemove " + std::to_string(mx) + " " + std::to_string(my)).c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_EQ(std::system((grab + shot("spot.png").string()).c_str()), 0);
    kill(program, SIGTERM);
    wait(program, 10);
    stop(wm);

    EXPECT_NE(boxes().find("text=\"Run fullscreen?\" type=0x24 answer=IDYES"), std::string::npos) << boxes();
    const bool surface = std::string(std::get<1>(GetParam())) == "surface";
    EXPECT_NE(windows().find(surface ? "shown through its window surface" : "shown through a texture"), std::string::npos)
        << windows();
    Png menu, spot;
    ASSERT_TRUE(read_png(shot("menu.png"), menu));
    ASSERT_EQ(int(menu.w), sw);
    ASSERT_EQ(int(menu.h), sh);
    // The four corners of the picture hold the menu's corner pixels; around it the screen is black.
    struct Corner {
        int px, py, mx, my;
    } corners[] = {{r.x, r.y, 0, 0},
                   {r.x + r.w - 1, r.y, 639, 0},
                   {r.x, r.y + r.h - 1, 0, 479},
                   {r.x + r.w - 1, r.y + r.h - 1, 639, 479}};
    for (const Corner &c : corners)
        EXPECT_EQ(shown5(menu.at(c.px, c.py)), pic5(background(c.mx, c.my)))
            << (manager ? "with" : "without") << " a window manager, corner " << c.mx << "," << c.my << " at "
            << c.px << "," << c.py << "\n" << windows();
    if (r.y > 0) {
        EXPECT_EQ(menu.at(r.x + r.w / 2, r.y - 1), 0u);
    }
    if (r.x > 0) {
        EXPECT_EQ(menu.at(r.x - 1, r.y + r.h / 2), 0u);
    }
    // Whole: the middle too.
    EXPECT_EQ(shown5(menu.at(r.x + 320 * s, r.y + 240 * s)), pic5(background(320, 240)));

    ASSERT_TRUE(read_png(shot("spot.png"), spot));
    EXPECT_EQ(shown5(spot.at(mx, my)), pic5(highlight(0)(380 - 355, 400 - 380))) << "the highlight under the mouse";
    EXPECT_EQ(shown5(spot.at(r.x + 30 * s, r.y + 20 * s)), pic5(background(30, 20))) << "no other highlight";
}

INSTANTIATE_TEST_SUITE_P(WindowManager, FullScreen,
                         ::testing::Combine(::testing::Values(Manager::None, Manager::Openbox, Manager::KilledOpenbox),
                                            ::testing::Values("surface", "texture")),
                         [](const ::testing::TestParamInfo<std::tuple<Manager, const char *>> &i) {
                             return std::string(name(std::get<0>(i.param))) + "_" + std::get<1>(i.param);
                         });

}  // namespace

namespace {

// Windowed, each way the SDL backend shows frames puts the menu on the screen pixel for pixel as the
// headless run captures it.
class Windowed : public ProgramCopy, public ::testing::WithParamInterface<const char *> {};

TEST_P(Windowed, MenuOnTheScreenIsTheHeadlessCapture)
{
    if (!installed("Xvfb") || !installed("import") || !installed("xdotool"))
        GTEST_SKIP() << "Xvfb, ImageMagick's import and xdotool are needed";
    ASSERT_EQ(run({"-q"}, "200 capture " + shot("headless.png").string() + "\n", {"VOK_MSGBOX_ANSWERS=no"}), 0)
        << slurp(base / "stderr.txt");

    Xserver x(1024, 768);
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
    std::map<std::string, std::string> vars;
    for (char **e = environ; *e != nullptr; e++) {
        std::string s = *e;
        vars[s.substr(0, s.find('='))] = s.substr(s.find('=') + 1);
    }
    vars.erase("VOK_HEADLESS");
    vars.erase("VOK_VIRTUAL_CLOCK");
    vars["VOK_BACKEND"] = "sdl";
    vars["VOK_SDL_PRESENT"] = GetParam();
    vars["DISPLAY"] = x.display;
    vars["SDL_AUDIODRIVER"] = "dummy";
    vars["VOK_MSGBOX_ANSWERS"] = "no";
    vars["XDG_RUNTIME_DIR"] = runtime.string();
    vars["VOK_ATOM_DIR"] = (runtime / "atoms").string();
    vars["VOK_LOG"] = (base / "windows.log").string();
    vars["VOK_MSGBOX_LOG"] = (base / "boxes.log").string();
    const pid_t program = spawn({"-q"}, vars);
    ASSERT_GT(program, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (windows().find("present") == std::string::npos && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const std::string grab = "DISPLAY=" + x.display + " import -window \"$(DISPLAY=" + x.display +
                             " xdotool search --name \"Velmo's Games\" | head -1)\" " + shot("window.png").string();
    ASSERT_EQ(std::system(grab.c_str()), 0);
    kill(program, SIGTERM);
    wait(program, 10);
    const bool surface = std::string(GetParam()) == "surface";
    EXPECT_NE(windows().find(surface ? "shown through its window surface" : "shown through a texture"), std::string::npos)
        << windows();

    Png head, shown;
    ASSERT_TRUE(read_png(shot("headless.png"), head));
    ASSERT_TRUE(read_png(shot("window.png"), shown));
    ASSERT_EQ(shown.w, head.w);
    ASSERT_EQ(shown.h, head.h);
    int wrong = 0;
    for (int y = 0; y < int(head.h); y++)
        for (int x = 0; x < int(head.w); x++)
            if (head.at(x, y) != shown.at(x, y) && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << shown.at(x, y) << " shown, "
                              << head.at(x, y) << " captured";
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Present, Windowed, ::testing::Values("surface", "texture"),
                         [](const ::testing::TestParamInfo<const char *> &i) { return std::string(i.param); });

}  // namespace
