// platdemo driven headless by an input script: it paints, follows the mouse, switches to full screen
// and back, asks its question twice, and leaves a capture that shows the square where the mouse was.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Png {
    std::vector<uint8_t> rgb;
    unsigned w = 0, h = 0;
    uint32_t at(unsigned x, unsigned y) const {
        const uint8_t* p = &rgb[(y * w + x) * 3];
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }
};

bool read_png(const std::string& path, Png& out) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(img));
    out.w = img.width;
    out.h = img.height;
    return png_image_finish_read(&img, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Runs platdemo with `env` added to the environment; its exit status (-1 when it was killed because it
// did not end). Its stderr goes to `err_file` when one is given.
int run_platdemo(const std::vector<std::string>& env, const std::string& err_file = "") {
    std::vector<std::string> env_s(env);
    for (char** e = environ; *e; ++e) env_s.push_back(*e);
    std::vector<char*> envp;
    for (auto& s : env_s) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string prog = std::string(VOK_BIN_DIR) + "/platdemo";
    char* argv[] = {prog.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!err_file.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    int rc = posix_spawn(&pid, prog.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Demo, HeadlessScriptLeavesTheExpectedPicture) {
    std::string dir = VOK_TEST_BIN_DIR;
    std::string script = dir + "/platdemo_script.txt", end = dir + "/platdemo_end.png",
                mid = dir + "/platdemo_mid.png", log = dir + "/platdemo.log", boxes = dir + "/platdemo_boxes.log";
    for (auto& f : {end, mid, log, boxes}) std::remove(f.c_str());
    {
        std::ofstream s(script);
        s << "0 window platdemo\n"
             "+100 move 100 80\n"
             "+100 key F\n"
             "+200 move 320 240\n"
             "+100 key ESCAPE\n"
             "+0 answer no\n"
             "+200 capture " << mid << "\n"
             "+100 key F\n"
             "+100 key ESCAPE\n"
             "+0 answer yes\n";
    }
    ASSERT_EQ(run_platdemo({"VOK_INPUT_SCRIPT=" + script, "VOK_CAPTURE=" + end, "VOK_LOG=" + log,
                            "VOK_MSGBOX_LOG=" + boxes, "VOK_VIRTUAL_CLOCK=1"}),
              0);

    Png a, b;
    ASSERT_TRUE(read_png(mid, a));
    ASSERT_TRUE(read_png(end, b));
    for (Png* p : {&a, &b}) {
        ASSERT_EQ(p->w, 640u);
        ASSERT_EQ(p->h, 480u);
        EXPECT_EQ(p->at(320, 240), 0xFFFFFFu);  // the square under the mouse
        EXPECT_EQ(p->at(312, 232), 0xFFFFFFu);
        EXPECT_NE(p->at(100, 80), 0xFFFFFFu);   // it moved away from here
        EXPECT_NE(p->at(10, 10), 0u);           // the picture was painted
    }
    EXPECT_NE(a.at(10, 10), b.at(10, 10));      // and it moved on between the captures

    std::string text = slurp(log);
    for (const char* want : {"display mode 640x480x16", "display mode restored", "window destroy"})
        EXPECT_NE(text.find(want), std::string::npos) << want;
    std::string asked = slurp(boxes);
    size_t no = asked.find("answer=IDNO"), yes = asked.find("answer=IDYES");
    EXPECT_NE(no, std::string::npos);
    EXPECT_NE(yes, std::string::npos);
    EXPECT_LT(no, yes);
}

// A script that cannot be read and a capture that cannot be written end the run with a message and a
// failing status instead of a run that waits for ever or reports success.
TEST(Demo, UnusableScriptOrCaptureFailsTheRun) {
    std::string dir = VOK_TEST_BIN_DIR;
    std::string err = dir + "/platdemo_err.txt", script = dir + "/platdemo_quit.txt";
    {
        std::ofstream s(script);
        s << "0 window platdemo\n+100 key ESCAPE\n+0 answer yes\n";
    }
    struct Case {
        std::vector<std::string> env;
        int status;
        const char* message;
    } cases[] = {
        {{"VOK_INPUT_SCRIPT=" + dir}, 2, "cannot be read"},  // a folder
        {{"VOK_INPUT_SCRIPT=" + dir + "/no_such_script.txt"}, 2, "cannot be read"},
        {{"VOK_INPUT_SCRIPT=" + script, "VOK_CAPTURE=" + dir + "/no_such_folder/end.png"}, 1,
         "could not write the exit capture"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> env = c.env;
        env.push_back("VOK_VIRTUAL_CLOCK=1");
        EXPECT_EQ(run_platdemo(env, err), c.status) << c.env[0];
        EXPECT_NE(slurp(err).find(c.message), std::string::npos) << slurp(err);
    }
}

}  // namespace
