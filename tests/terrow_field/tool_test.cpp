// trfield: a description made into a field file and dumped back; saved positions; refusals.
#include <stdio.h>
#include <sys/wait.h>

#include "fieldtext.h"
#include "support.h"

namespace {

using Tool = trtest::Scratch;

struct Result {
    int code;
    std::string out;
};

Result run(const std::string &args)
{
    std::string command = std::string(VOK_BIN_DIR) + "/trfield " + args + " 2>&1";
    Result r{-1, ""};
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr)
        return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        r.out.append(buffer, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const char kDescription[] =
    "# two balls on a small floor\n"
    "balls 2\n"
    "camera 300 -40.5 2 -0.15\n"
    "layout 1 0\n"
    "levelflags 0x02\n"
    "floor 3\n"
    "elem 1 1 1 2 slope 2\n"
    "elem 0 1 0 4 TY_G_FEM\n"
    "piece 2 1 2 3 corner 1\n"
    "elem 2 1 0 0 24 0 0x6\n";

TEST_F(Tool, MakeThenDumpGivesTheFieldBack)
{
    write("in.txt", kDescription);
    Result made = run("make " + path("in.txt") + " " + path("out.trl"));
    ASSERT_EQ(made.code, 0) << made.out;
    Result dumped = run("dump " + path("out.trl"));
    ASSERT_EQ(dumped.code, 0) << dumped.out;
    EXPECT_EQ(dumped.out,
              "balls 2\n"
              "camera 300 -40.5 2 -0.150000006\n"
              "layout 1 0\n"
              "camsaved 0\n"
              "levelflags 0x02\n"
              "pan 0\n"
              "lastword 0\n"
              "# 13 elements, extents 3 2 3\n"
              "elem 0 0 0 0 block 0 0x006\n"
              "elem 1 0 0 0 block 0 0x006\n"
              "elem 2 0 0 0 block 0 0x006\n"
              "elem 0 0 1 0 block 0 0x006\n"
              "elem 1 0 1 0 block 0 0x006\n"
              "elem 2 0 1 0 block 0 0x006\n"
              "elem 0 0 2 0 block 0 0x006\n"
              "elem 1 0 2 0 block 0 0x006\n"
              "elem 2 0 2 0 block 0 0x006\n"
              "elem 1 1 1 2 slope 2 0x006\n"
              "elem 0 1 0 4 iron 0 0x005\n"
              "elem 2 1 2 3 corner 1 0x002\n"
              "elem 2 1 0 0 goal 0 0x006\n");
    // The dump is itself a description of the same file.
    write("again.txt", dumped.out);
    ASSERT_EQ(run("make " + path("again.txt") + " " + path("again.trl")).code, 0);
    EXPECT_EQ(read("again.trl"), read("out.trl"));

    // A saved position keeps the supplied piece only.
    ASSERT_EQ(run("make " + path("in.txt") + " " + path("pos.trs")).code, 0);
    EXPECT_EQ(read("pos.trs").size(), 4u + 28u);
    Result pos = run("dump " + path("pos.trs"));
    EXPECT_EQ(pos.code, 0);
    EXPECT_EQ(pos.out, "# saved position: 1 elements\nelem 2 1 2 3 corner 1 0x002\n");
    write("empty.trs", std::string(4, '\0'));
    EXPECT_EQ(run("dump " + path("empty.trs")).out, "# saved position: 0 elements\n");
}

TEST_F(Tool, BadInputIsRefused)
{
    write("bad.txt", "balls 2\nelem 1 1 one 0 block\n");
    Result r = run("make " + path("bad.txt") + " " + path("x.trl"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("line 2: bad number 'one'"), std::string::npos) << r.out;
    write("bad.txt", "elem 1 1 1 0 wood\n");
    EXPECT_NE(run("make " + path("bad.txt") + " " + path("x.trl")).out.find("unknown type 'wood'"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("x.trl")));

    write("cut.trl", std::string("\x3c\x7a\x3c\x7a\x04\x00\x00\x00\x02\x00\x00\x00", 12));
    r = run("dump " + path("cut.trl"));
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("fread() failed"), std::string::npos) << r.out;
    write("cut.trs", std::string("\x05\x00\x00\x00", 4));
    EXPECT_EQ(run("dump " + path("cut.trs")).code, 1);
    EXPECT_EQ(run("frobnicate").code, 2);
}

TEST_F(Tool, DescriptionParserRejectsMalformedItems)
{
    const char *bad[] = {"elem 1 2 3", "floor 0", "floor 101", "camera 1 2 3", "layout x 0", "balls", "colour 3",
                         "elem 1 1 1 0 block 0 0x6 extra"};
    for (const char *text : bad) {
        std::string error;
        EXPECT_EQ(trtext::parse(text, error), nullptr) << text;
        EXPECT_EQ(error.rfind("line 1: ", 0), 0u) << error;
    }
}

}  // namespace
