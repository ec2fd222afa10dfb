// fpktool: a folder packed, listed and extracted again, and the packs it writes served by Pannix.
#include <stdio.h>
#include <sys/wait.h>

#include <string>

#include "pannix/ffpack.h"
#include "support.h"

namespace {

const std::string tool = std::string(VOK_BIN_DIR) + "/fpktool";

// Runs the tool; its standard output and exit status.
std::pair<std::string, int> run(const std::string &args)
{
    std::string cmd = tool + " " + args + " 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

using FpkTool = pxtest::Scratch;

TEST_F(FpkTool, FolderRoundTrip)
{
    std::filesystem::create_directory(dir / "in");
    pxtest::write_text(path("in/Readme.TXT"), "read me");
    pxtest::write_text(path("in/b.dat"), std::string(1000, 'b'));
    pxtest::write_text(path("in/empty"), "");
    pxtest::write_bytes(path("in/icon.pix"), fpk::stored_pixmap(2, 2, 5, std::vector<uint8_t>(8, 1)));

    ASSERT_EQ(run("build --pixmap '*.PIX' " + path("out.fpk") + " " + path("in")).second, 0);
    auto listed = run("ls " + path("out.fpk"));
    EXPECT_EQ(listed.second, 0);
    EXPECT_EQ(listed.first, "b.dat\t1000\t-\nempty\t0\t-\nicon.pix\t24\tpixmap\nReadme.TXT\t7\t-\n");

    ASSERT_EQ(run("extract " + path("out.fpk") + " " + path("back")).second, 0);
    for (const char *name : {"Readme.TXT", "b.dat", "empty", "icon.pix"})
        EXPECT_EQ(pxtest::read_text(path(std::string("back/") + name)), pxtest::read_text(path(std::string("in/") + name)))
            << name;
    EXPECT_EQ(run("extract " + path("out.fpk") + " " + path("one") + " README.txt").second, 0);
    EXPECT_TRUE(std::filesystem::exists(path("one/Readme.TXT")));
    EXPECT_FALSE(std::filesystem::exists(path("one/b.dat")));
    EXPECT_EQ(run("extract " + path("out.fpk") + " " + path("one") + " nothere").second, 1);

    // Pannix reads what the tool wrote.
    FFPACKHANDLE *pack = FFOpenPack(path("out").c_str(), 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    EXPECT_EQ(pack->count, 4u);
    EXPECT_EQ(pack->directory[2].flags, 2u);
    EXPECT_EQ(memcmp(FFGetFileAddress("readme.txt"), "read me", 7), 0);
    FFClosePack(pack);
}

TEST_F(FpkTool, RefusesWhatAPackCannotHold)
{
    std::filesystem::create_directories(dir / "in/sub");
    EXPECT_EQ(run("build " + path("x.fpk") + " " + path("in")).second, 1);
    std::filesystem::remove(dir / "in/sub");
    pxtest::write_text(path("in/a.txt"), "a");
    pxtest::write_text(path("in/A.TXT"), "A");
    EXPECT_EQ(run("build " + path("x.fpk") + " " + path("in")).second, 1);
    EXPECT_FALSE(std::filesystem::exists(path("x.fpk")));
    pxtest::write_text(path("bad.fpk"), "short");
    EXPECT_EQ(run("ls " + path("bad.fpk")).second, 1);
    EXPECT_EQ(run("frobnicate").second, 2);
}

}  // namespace
