// fpktool: a folder packed, listed and extracted again, and the packs it writes served by Pannix.
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "pannix/ffpack.h"
#include "support.h"

namespace {

const std::string tool = std::string(VOK_BIN_DIR) + "/fpktool";

struct ToolRun {
    std::string out, err;
    int status;
};

// Runs the tool: its standard output, its error output and its exit status.
ToolRun run(const std::string &args)
{
    std::string err_file = std::filesystem::temp_directory_path() / ("fpktool_err_" + std::to_string(getpid()));
    std::string cmd = tool + " " + args + " 2>" + err_file;
    FILE *p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    std::string err = pxtest::read_text(err_file);
    remove(err_file.c_str());
    return {out, err, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

using FpkTool = pxtest::Scratch;

TEST_F(FpkTool, FolderRoundTrip)
{
    std::filesystem::create_directory(dir / "in");
    pxtest::write_text(path("in/Readme.TXT"), "read me");
    pxtest::write_text(path("in/b.dat"), std::string(1000, 'b'));
    pxtest::write_text(path("in/empty"), "");
    pxtest::write_bytes(path("in/icon.pix"), fpk::stored_pixmap(2, 2, 5, std::vector<uint8_t>(8, 1)));

    ASSERT_EQ(run("build --pixmap '*.PIX' " + path("out.fpk") + " " + path("in")).status, 0);
    auto listed = run("ls " + path("out.fpk"));
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "b.dat\t1000\t-\nempty\t0\t-\nicon.pix\t24\tpixmap\nReadme.TXT\t7\t-\n");

    ASSERT_EQ(run("extract " + path("out.fpk") + " " + path("back")).status, 0);
    for (const char *name : {"Readme.TXT", "b.dat", "empty", "icon.pix"})
        EXPECT_EQ(pxtest::read_text(path(std::string("back/") + name)), pxtest::read_text(path(std::string("in/") + name)))
            << name;
    EXPECT_EQ(run("extract " + path("out.fpk") + " " + path("one") + " README.txt").status, 0);
    EXPECT_TRUE(std::filesystem::exists(path("one/Readme.TXT")));
    EXPECT_FALSE(std::filesystem::exists(path("one/b.dat")));
    EXPECT_EQ(run("extract " + path("out.fpk") + " " + path("one") + " nothere").status, 1);

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
    std::filesystem::create_directories(dir / "in");
    pxtest::write_text(path("in/a.txt"), "a");
    pxtest::write_text(path("in/A.TXT"), "A");
    EXPECT_EQ(run("build " + path("x.fpk") + " " + path("in")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(path("x.fpk")));
    std::filesystem::remove(dir / "in/A.TXT");
    // A file whose own name holds a backslash would read as a file in a folder.
    pxtest::write_text(path("in/sub\\b.txt"), "b");
    EXPECT_EQ(run("build " + path("x.fpk") + " " + path("in")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(path("x.fpk")));
    EXPECT_EQ(run("frobnicate").status, 2);
}

// Sub-folders become "folder\name" keys that Pannix finds, and extract puts them back in place.
TEST_F(FpkTool, FolderTreeRoundTrip)
{
    std::filesystem::create_directories(dir / "in/Menu");
    std::filesystem::create_directories(dir / "in/file0/deep");
    std::filesystem::create_directories(dir / "in/nothing");
    pxtest::write_text(path("in/top.txt"), "top");
    const std::vector<uint8_t> menu_frame = fpk::stored_pixmap(1, 1, 5, {'m', 'f'});
    pxtest::write_bytes(path("in/Menu/Co0000.pix"), menu_frame);
    pxtest::write_bytes(path("in/file0/co0000.pix"), fpk::stored_pixmap(1, 1, 5, {'f', 'f'}));
    pxtest::write_text(path("in/file0/deep/x.bin"), "deep");

    // Built into the folder it packs, twice: the second run never takes the first one's output.
    for (int pass = 0; pass < 2; pass++)
        ASSERT_EQ(run("build --pixmap 'co*.pix' " + path("in/out.fpk") + " " + path("in")).status, 0);
    auto listed = run("ls " + path("in/out.fpk"));
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "file0\\co0000.pix\t18\tpixmap\n"
                          "file0\\deep\\x.bin\t4\t-\n"
                          "Menu\\Co0000.pix\t18\tpixmap\n"
                          "top.txt\t3\t-\n");

    FFPACKHANDLE *pack = FFOpenPack(path("in/out").c_str(), 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    FFFILEHANDLE *f = FFOpen("MENU\\CO0000.PIX", 0);
    ASSERT_NE(f, nullptr) << GetLastMsgError();
    std::vector<uint8_t> read(32);
    EXPECT_EQ(FFRead(f, read.data(), int32_t(read.size())), 18);
    read.resize(18);
    EXPECT_EQ(read, menu_frame);
    FFClose(f);
    EXPECT_NE(FFGetFileAddress("file0\\DEEP\\x.bin"), nullptr);
    FFClosePack(pack);

    ASSERT_EQ(run("extract " + path("in/out.fpk") + " " + path("back")).status, 0);
    for (const char *name : {"top.txt", "Menu/Co0000.pix", "file0/co0000.pix", "file0/deep/x.bin"})
        EXPECT_EQ(pxtest::read_text(path(std::string("back/") + name)), pxtest::read_text(path(std::string("in/") + name)))
            << name;
    // One entry by name, typed with either separator.
    EXPECT_EQ(run("extract " + path("in/out.fpk") + " " + path("one") + " file0/DEEP/x.bin").status, 0);
    EXPECT_EQ(pxtest::read_text(path("one/file0/deep/x.bin")), "deep");
    EXPECT_FALSE(std::filesystem::exists(path("one/top.txt")));
}

// Entry names as the pack writer takes them: relative names joined with "\" ("/" counts as "\").
TEST(PackWriter, EntryNames)
{
    struct Case {
        std::string name;
        bool accepted;
    };
    const Case cases[] = {
        {"a.txt", true},
        {"sub\\a.txt", true},
        {"sub/a.txt", true},
        {"a\\b\\c.pix", true},
        {"..a\\b..", true},
        {"", false},
        {"\\a.txt", false},
        {"/a.txt", false},
        {"C:a.txt", false},
        {"C:\\a.txt", false},
        {"..", false},
        {".\\a.txt", false},
        {"a\\..\\..\\b", false},
        {"a\\\\b", false},
        {"a\\", false},
        {std::string("a\0b", 3), false},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_EQ(fpk::build({{c.name, pxtest::bytes_of("x"), 0}}, out, error), c.accepted) << c.name;
    }
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(fpk::build({{"sub/a.txt", pxtest::bytes_of("x"), 0}}, out, error));
    std::vector<fpk::Entry> back;
    ASSERT_TRUE(fpk::read(out, back, error));
    EXPECT_EQ(back.at(0).name, "sub\\a.txt");
    // Two spellings of one key are one name.
    EXPECT_FALSE(fpk::build({{"sub/a.txt", {}, 0}, {"SUB\\A.TXT", {}, 0}}, out, error));
}

// ls and extract take only what the writer makes: its mark and its version.
TEST_F(FpkTool, OnlyPacksAreRead)
{
    std::vector<uint8_t> good;
    std::string error;
    ASSERT_TRUE(fpk::build({}, good, error));
    std::vector<uint8_t> other_mark = good, other_version = good;
    other_mark[0] = 'X';
    fpk::put32(other_version, 4, 2);
    pxtest::write_bytes(path("zeros.fpk"), std::vector<uint8_t>(64, 0));
    pxtest::write_bytes(path("mark.fpk"), other_mark);
    pxtest::write_bytes(path("version.fpk"), other_version);
    pxtest::write_text(path("short.fpk"), "short");
    for (std::string file : {std::string("/bin/ls"), path("zeros.fpk"), path("mark.fpk"), path("version.fpk"),
                             path("short.fpk"), path("missing.fpk")}) {
        for (const std::string &cmd : {"ls " + file, "extract " + file + " " + path("out")}) {
            ToolRun r = run(cmd);
            EXPECT_EQ(r.status, 1) << cmd;
            EXPECT_EQ(r.out, "") << cmd;
            // A file that cannot be read says why; one that can is named with what is wrong in it.
            const std::string lead = file == path("missing.fpk") ? "fpktool: cannot read " + file + ": No such file"
                                                                  : "fpktool: " + file + ": ";
            EXPECT_EQ(r.err.rfind(lead, 0), 0u) << cmd << " said: " << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path("out")) && !std::filesystem::is_empty(path("out")));
    pxtest::write_bytes(path("empty.fpk"), good);
    EXPECT_EQ(run("ls " + path("empty.fpk")).status, 0);
}

// Names read from a pack never lead outside the target folder, not even through a link in it.
TEST_F(FpkTool, ExtractStaysInsideTheFolder)
{
    std::filesystem::create_directories(dir / "target");
    std::filesystem::create_directories(dir / "elsewhere");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "target/link");
    std::filesystem::create_symlink(dir / "elsewhere/evil.txt", dir / "target/evil.txt");
    // Written with harmless names of the same length, then given hostile ones.
    struct Case {
        const char *stored, *hostile;
    };
    const Case cases[] = {
        {"xx\\evil.txt", "..\\evil.txt"},
        {"xevil.txt", "/evil.txt"},
        {"xxxevil.txt", "C:\\evil.txt"},
        {"a\\xx\\xx\\evil.txt", "a\\..\\..\\evil.txt"},
        {"link\\evil.txt", "link\\evil.txt"},
        {"evil.txt", "evil.txt"},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(fpk::build({{c.stored, pxtest::bytes_of("evil"), 0}}, bytes, error)) << error;
        auto at = std::search(bytes.begin(), bytes.end(), c.stored, c.stored + strlen(c.stored));
        ASSERT_NE(at, bytes.end());
        std::copy(c.hostile, c.hostile + strlen(c.hostile), at);
        pxtest::write_bytes(path("hostile.fpk"), bytes);
        ToolRun r = run("extract " + path("hostile.fpk") + " " + path("target"));
        EXPECT_EQ(r.status, 1) << c.hostile;
        EXPECT_NE(r.err, "") << c.hostile;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "evil.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/evil.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "elsewhere"));
}

}  // namespace
