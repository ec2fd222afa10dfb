// platdemo driven headless by an input script: it paints, follows the mouse, switches to full screen
// and back, asks its question twice, and leaves a capture that shows the square where the mouse was.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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
    std::vector<std::string> env_s;
    for (char** e = environ; *e; ++e) env_s.push_back(*e);
    env_s.push_back("VOK_INPUT_SCRIPT=" + script);
    env_s.push_back("VOK_CAPTURE=" + end);
    env_s.push_back("VOK_LOG=" + log);
    env_s.push_back("VOK_MSGBOX_LOG=" + boxes);
    env_s.push_back("VOK_VIRTUAL_CLOCK=1");
    std::vector<char*> env;
    for (auto& s : env_s) env.push_back(s.data());
    env.push_back(nullptr);
    std::string prog = std::string(VOK_BIN_DIR) + "/platdemo";
    char* argv[] = {prog.data(), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, prog.c_str(), nullptr, nullptr, argv, env.data()), 0);
    int status = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "platdemo did not end";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

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

    auto slurp = [](const std::string& path) {
        std::ifstream f(path);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    };
    std::string text = slurp(log);
    for (const char* want : {"display mode 640x480x16", "display mode restored", "window destroy"})
        EXPECT_NE(text.find(want), std::string::npos) << want;
    std::string asked = slurp(boxes);
    size_t no = asked.find("answer=IDNO"), yes = asked.find("answer=IDYES");
    EXPECT_NE(no, std::string::npos);
    EXPECT_NE(yes, std::string::npos);
    EXPECT_LT(no, yes);
}

}  // namespace
