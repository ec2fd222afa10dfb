// The tools read and write the paths they are given relative to the folder they were started in, also
// those that load Media.so (whose entry moves the process into the program's folder).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "vokplat/paths.h"
#include "win32/windows.h"

namespace fs = std::filesystem;

namespace {

TEST(ToolPath, RelativeNamesAreTheStartFolders) {
    const std::string start = PlatStartFolder();
    ASSERT_FALSE(start.empty());
    ASSERT_TRUE(SetCurrentDirectoryA("/"));  // as Media.so's entry does: somewhere else
    struct Case {
        const char* arg;
        std::string want;
    } cases[] = {
        {"f.trl", start + "/f.trl"},
        {"sub/../g.txt", start + "/sub/../g.txt"},
        {"./h", start + "/./h"},
        {"/abs/x", "/abs/x"},
        {"-", "-"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PlatToolPath(c.arg), c.want) << c.arg;
    EXPECT_EQ(PlatToolPath(nullptr), nullptr);
    const char* first = PlatToolPath("keep");
    PlatToolPath("other");
    EXPECT_STREQ(first, (start + "/keep").c_str());  // earlier answers stay valid
    ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
}

// One run of a tool: the tool, its arguments, the files it must have written in the folder it was
// started in.
struct ToolRun {
    std::string tool, args;
    std::vector<std::string> writes;
};

struct ToolCase {
    const char* name;
    std::vector<ToolRun> runs;
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class ToolsFromAnotherFolder : public ::testing::TestWithParam<ToolCase> {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vok_toolpath_" + std::to_string(getpid()) + "_" + GetParam().name);
        fs::remove_all(dir);
        fs::create_directories(dir / "pack");
        std::ofstream(dir / "pack" / "a.txt") << "a";
        std::ofstream(dir / "field.txt") << "balls 2\nfloor 3\nelem 1 1 1 2 slope 2\nelem 0 1 0 4 TY_G_FEM\n"
                                           "elem 2 1 0 0 24 0 0x6\n";
        // A 1x1 24-bit BMP.
        const unsigned char bmp[] = {0x42, 0x4d, 0x3a, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0, 1, 0, 0, 0,
                                     1, 0, 0, 0, 1, 0, 0x18, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0, 0, 0};
        std::ofstream(dir / "one.bmp", std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

TEST_P(ToolsFromAnotherFolder, RelativePathsAreTheCallers) {
    const fs::path bin = VOK_BIN_DIR;
    for (const ToolRun& r : GetParam().runs) {
        const fs::path tool = bin / r.tool;
        if (!fs::exists(tool)) GTEST_SKIP() << r.tool << " is not built here";
        for (const std::string& w : r.writes) ASSERT_FALSE(fs::exists(bin / w)) << "left over in the program folder: " << w;
        const std::string log = (dir / "tool.log").string();
        const std::string cmd = "cd '" + dir.string() + "' && VOK_HEADLESS=1 '" + tool.string() + "' " + r.args +
                                " >'" + log + "' 2>&1";
        const int status = std::system(cmd.c_str());
        std::ifstream in(log);
        const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << r.tool << " " << r.args << ":\n" << said;
        for (const std::string& w : r.writes) {
            EXPECT_TRUE(fs::exists(dir / w)) << r.tool << " " << r.args << ": " << w << " is not in its folder\n" << said;
            EXPECT_FALSE(fs::exists(bin / w)) << r.tool << " " << r.args << ": wrote " << w << " beside the program";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolsFromAnotherFolder,
    ::testing::Values(
        ToolCase{"trfield", {{"trfield", "make field.txt out_field.trl", {"out_field.trl"}},
                             {"trfield", "dump out_field.trl", {}}}},
        ToolCase{"simrun", {{"trfield", "make field.txt out_run.trl", {"out_run.trl"}},
                            {"phygen", "out_run.phy", {"out_run.phy"}},
                            {"terrow-simrun", "out_run.trl out_run.phy --steps 10", {}}}},
        ToolCase{"fpktool", {{"fpktool", "build out_pack.fpk pack", {"out_pack.fpk"}},
                             {"fpktool", "ls out_pack.fpk", {}},
                             {"fpktool", "extract out_pack.fpk out_files", {"out_files/a.txt"}}}},
        ToolCase{"pixtool", {{"pixtool", "convert one.bmp out_one.pix", {"out_one.pix"}},
                             {"pixtool", "dump out_one.pix", {}}}},
        ToolCase{"mzitool", {{"mzitool", "demo out_clip.mzi --frames 2", {"out_clip.mzi"}},
                             {"mzitool", "info out_clip.mzi", {}}}},
        ToolCase{"modtool", {{"modtool", "cube out_cube.mod", {"out_cube.mod"}}, {"modtool", "dump out_cube.mod", {}}}},
        ToolCase{"scenedemo", {{"scenedemo", "--out out_scene.png --width 16 --height 16", {"out_scene.png"}}}},
        ToolCase{"voksound", {{"voksound", "--make out_sounds.pck 2", {"out_sounds.pck"}},
                              {"voksound", "--list out_sounds.pck", {}}}},
        ToolCase{"datagen", {{"datagen", "out_root", {"out_root/Data"}}}},
        ToolCase{"kplevel", {{"kplevel", "make out_level.klv --board 2", {"out_level.klv"}},
                             {"kplevel", "dump out_level.klv", {}},
                             {"kplevel", "check out_level.klv", {}}}}),
    [](const ::testing::TestParamInfo<ToolCase>& i) {
        std::string n = i.param.name;
        for (char& ch : n)
            if (ch == '-') ch = '_';
        return n;
    });

}  // namespace
