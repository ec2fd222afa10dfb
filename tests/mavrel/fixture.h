// Fixtures of the main-program tests: a copy of the program folder with menu pictures, logos and menu
// sounds made by the project's own writers, the colours those pictures hold, and a runner for the
// copied program.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "brondel/brpixmap.h"
#include "fpk/fpkformat.h"
#include "pannix/pannix.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"

extern char **environ;

namespace mvtest {

namespace fs = std::filesystem;

// A picture as a function of its pixel position, in RGB 565 with the green's lowest bit clear, so
// that the 15-bit screen shows each colour without loss.
using Picture = std::function<uint16_t(int x, int y)>;

inline uint16_t rgb(int r5, int g5, int b5) { return uint16_t((r5 & 31) << 11 | (g5 & 31) << 6 | (b5 & 31)); }

inline uint16_t background(int x, int y) { return rgb(x * 31 / 639, y * 31 / 479, (x + y) / 40); }
inline Picture highlight(int spot)
{
    return [spot](int x, int y) { return rgb(spot * 8 + x / 8, 31 - y / 8, 31 - spot * 7); };
}
inline Picture logo(int k)
{
    return [k](int x, int y) { return rgb(k * 10, x / 20, y / 16); };
}

inline std::vector<uint8_t> rows565(int w, int h, const Picture &p)
{
    std::vector<uint8_t> out;
    out.reserve(size_t(w) * h * 2);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint16_t c = p(x, y);
            out.push_back(uint8_t(c));
            out.push_back(uint8_t(c >> 8));
        }
    return out;
}

inline void write_file(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::string slurp(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The menu pack: the background and the four highlights.
inline void write_menu_pack(const fs::path &path)
{
    std::vector<fpk::Entry> entries;
    entries.push_back(fpk::Entry{"alap.pix", fpk::stored_pixmap(640, 480, BR_PMT_RGB_565, rows565(640, 480, background)),
                                 fpk::kPixmapFlag});
    const char *names[] = {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"};
    for (int i = 0; i < 4; i++)
        entries.push_back(fpk::Entry{names[i], fpk::stored_pixmap(128, 128, BR_PMT_RGB_565, rows565(128, 128, highlight(i))),
                                     fpk::kPixmapFlag});
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fpk::build(entries, bytes, error)) << error;
    write_file(path, bytes);
}

// A pixel-map file written by Pannix's own saver.
inline void write_logo(const fs::path &path, const Picture &p)
{
    fs::create_directories(path.parent_path());
    std::vector<uint8_t> rows = rows565(640, 480, p);
    br_pixelmap *map = PxAllocPix(BR_PMT_RGB_565, 640, 480, nullptr, 0);
    ASSERT_NE(map, nullptr);
    for (int y = 0; y < 480; y++)
        memcpy(static_cast<uint8_t *>(map->pixels) + y * map->row_bytes, &rows[size_t(y) * 1280], 1280);
    ASSERT_NE(PxSavePix(path.c_str(), map), 0u);
    PxFreePix(map);
}

inline void write_menu_sounds(const fs::path &path)
{
    vokpack::SoundEntries entries;
    for (int i = 0; i < 12; i++)
        entries.emplace_back("snd" + std::to_string(i),
                             vokpack::make_wave(vokpack::tone_samples(300.0 + 40 * i, 60, 22050), 1, 22050, 16));
    write_file(path, vokpack::build_pack(entries));
}

// A picture read back with the system's readers, as the 15-bit screen shows it (converted by the same
// blitter the program uses), in the 565 form the comparisons take.
inline Picture as_shown(br_pixelmap *src)
{
    if (src == nullptr)
        return nullptr;
    const int w = src->width, h = src->height;
    br_pixelmap *screen = PxAllocPix(BR_PMT_RGB_555, w, h, nullptr, 0);
    CopyRectangle(screen, 0, 0, src, 0, 0, w, h);
    auto px = std::make_shared<std::vector<uint16_t>>(size_t(w) * h);
    for (int y = 0; y < h; y++)
        memcpy(&(*px)[size_t(y) * w], static_cast<uint8_t *>(screen->pixels) + y * screen->row_bytes, size_t(w) * 2);
    PxFreePix(screen);
    return [px, w, h](int x, int y) -> uint16_t {
        if (x >= w || y >= h)
            return 0;
        const uint16_t c = (*px)[size_t(y) * w + x];
        return uint16_t((c >> 10 & 31) << 11 | (c >> 5 & 31) << 6 | (c & 31));
    };
}

struct Png {
    std::vector<uint8_t> rgb;
    unsigned w = 0, h = 0;
    uint32_t at(int x, int y) const
    {
        const uint8_t *p = &rgb[(size_t(y) * w + x) * 3];
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
};

inline bool read_png(const fs::path &path, Png &out)
{
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    out.rgb.resize(PNG_IMAGE_SIZE(img));
    out.w = img.width;
    out.h = img.height;
    return png_image_finish_read(&img, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

// 5 bits per channel of a shown colour, and of a 565 picture colour.
inline uint32_t shown5(uint32_t rgb888) { return (rgb888 >> 19 & 31) << 10 | (rgb888 >> 11 & 31) << 5 | (rgb888 >> 3 & 31); }
inline uint32_t pic5(uint16_t c) { return uint32_t(c >> 11) << 10 | uint32_t(c >> 6 & 31) << 5 | (c & 31); }

// What the screen should show: `base`, with `over` (128x128) at x, y when given.
struct Expected {
    Picture base;
    Picture over;
    int ox = 0, oy = 0;
    uint16_t at(int x, int y) const
    {
        if (over && x >= ox && x < ox + 128 && y >= oy && y < oy + 128)
            return over(x - ox, y - oy);
        return base(x, y);
    }
};

// Compares a capture with the expected picture on a grid that also takes the edges and both sides of
// every hot-spot border; the first few differences are reported.
inline void expect_picture(const fs::path &png, const Expected &want)
{
    Png got;
    ASSERT_TRUE(read_png(png, got)) << png;
    ASSERT_EQ(got.w, 640u);
    ASSERT_EQ(got.h, 480u);
    std::vector<int> xs, ys;
    for (int x = 0; x < 640; x += 13)
        xs.push_back(x);
    for (int y = 0; y < 480; y += 11)
        ys.push_back(y);
    for (int v : {74, 75, 127, 128, 219, 220, 301, 302, 347, 348, 354, 355, 412, 413, 482, 483, 554, 555, 639})
        xs.push_back(v);
    for (int v : {39, 40, 49, 50, 127, 128, 369, 370, 379, 380, 437, 438, 451, 452, 479})
        ys.push_back(v);
    int bad = 0;
    for (int y : ys)
        for (int x : xs) {
            const uint32_t g = shown5(got.at(x, y)), w = pic5(want.at(x, y));
            if (g != w && ++bad <= 5)
                ADD_FAILURE() << png.filename() << " at " << x << "," << y << ": shown " << std::hex << g << ", wanted " << w;
        }
    EXPECT_EQ(bad, 0) << png.filename();
}

// A copy of the program folder (the program and the libraries it loads, linked, not rebuilt) with
// the generated fixtures, and a runtime folder of its own so that copies of other tests never meet
// its window or its atom.
class ProgramCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        base = fs::temp_directory_path() / ("mavrel_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(base);
        folder = base / "Velmo's Games";
        runtime = base / "run";
        fs::create_directories(folder);
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        for (const char *f : {"mavrel", "VokScore.so", "Pannix.so", "Media.so", "libplatform.so"}) {
            std::error_code ec;
            fs::create_hard_link(fs::path(VOK_BIN_DIR) / f, folder / f, ec);
            if (ec)
                fs::copy_file(fs::path(VOK_BIN_DIR) / f, folder / f);
        }
        write_menu_pack(folder / "mainpics.fpk");
        write_logo(folder / "Data" / "zuvo.pix", logo(1));
        write_logo(folder / "Data" / "brondel.pix", logo(3));
        write_menu_sounds(folder / "mnusound.pck");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(base, ec);
    }

    // Runs the copied program with `args`, the input script `script` and `env`; its exit status, or
    // -1 when it had to be killed.
    int run(const std::vector<std::string> &args, const std::string &script,
            const std::vector<std::string> &env = {}, int seconds = 60)
    {
        std::map<std::string, std::string> vars;
        for (char **e = environ; *e != nullptr; e++) {
            std::string s = *e;
            vars[s.substr(0, s.find('='))] = s.substr(s.find('=') + 1);
        }
        std::ofstream(base / "script.txt") << script;
        vars["VOK_HEADLESS"] = "1";
        vars["VOK_VIRTUAL_CLOCK"] = "1";
        vars["VOK_IDLE_QUIT_MS"] = "3000";
        vars["XDG_RUNTIME_DIR"] = runtime.string();
        vars["VOK_ATOM_DIR"] = (runtime / "atoms").string();
        vars["VOK_INPUT_SCRIPT"] = (base / "script.txt").string();
        vars["VOK_LOG"] = (base / "windows.log").string();
        vars["VOK_MSGBOX_LOG"] = (base / "boxes.log").string();
        for (const std::string &e : env)
            vars[e.substr(0, e.find('='))] = e.substr(e.find('=') + 1);
        pid_t pid = spawn(args, vars);
        if (pid <= 0)
            return -1;
        return wait(pid, seconds);
    }

    pid_t spawn(const std::vector<std::string> &args, const std::map<std::string, std::string> &vars)
    {
        std::vector<std::string> envs, argv_s{(folder / "mavrel").string()};
        for (const auto &v : vars)
            envs.push_back(v.first + "=" + v.second);
        argv_s.insert(argv_s.end(), args.begin(), args.end());
        std::vector<char *> envp, argv;
        for (std::string &s : envs)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        for (std::string &s : argv_s)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string err = (base / "stderr.txt").string();
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static int wait(pid_t pid, int seconds)
    {
        int status = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Files of the generated data tree beside the program, linked into the copy.
    void link_generated(std::initializer_list<const char *> files)
    {
        for (const char *f : files) {
            const fs::path from = fs::path(VOK_BIN_DIR) / f, to = folder / f;
            fs::create_directories(to.parent_path());
            std::error_code ec;
            fs::create_hard_link(from, to, ec);
            if (ec)
                fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        }
    }

    std::string boxes() const { return slurp(base / "boxes.log"); }
    std::string windows() const { return slurp(base / "windows.log"); }
    std::string errors() const { return slurp(base / "stderr.txt"); }
    fs::path shot(const std::string &name) const { return base / name; }

    fs::path base, folder, runtime;
};

}  // namespace mvtest
