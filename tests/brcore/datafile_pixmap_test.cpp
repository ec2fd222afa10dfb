// Pixel-map files: every pixel type both ways in both forms, colour maps, inverted and sub maps,
// files of several maps, and damaged files.
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "brondel/brpmfile.h"
#include "datafile_support.h"

namespace {

// Stored bytes of one row.
int row_len(const br_pixelmap *pm)
{
    return (BrPixelmapPixelBits(const_cast<br_pixelmap *>(pm)) * pm->width + 7) / 8;
}

const br_uint_8 *row_at(const br_pixelmap *pm, int y)
{
    return (const br_uint_8 *)pm->pixels + (intptr_t)(pm->base_y + y) * pm->row_bytes +
           (intptr_t)pm->base_x * (BrPixelmapPixelBits(const_cast<br_pixelmap *>(pm)) / 8);
}

void fill_pattern(br_pixelmap *pm, int seed)
{
    for (int y = 0; y < pm->height; y++) {
        br_uint_8 *row = const_cast<br_uint_8 *>(row_at(pm, y));
        for (int x = 0; x < row_len(pm); x++)
            row[x] = (br_uint_8)(seed + 31 * y + 7 * x);
    }
}

void expect_same_pixels(const br_pixelmap *a, const br_pixelmap *b)
{
    ASSERT_EQ(a->width, b->width);
    ASSERT_EQ(a->height, b->height);
    for (int y = 0; y < a->height; y++)
        EXPECT_EQ(0, memcmp(row_at(a, y), row_at(b, y), row_len(a))) << "row " << y;
}

class PixFileTest : public DfTest, public ::testing::WithParamInterface<int> {};

TEST_P(PixFileTest, EveryTypeBothWays)
{
    for (br_uint_8 type = 0; type < BR_PMT_MAX; type++) {
        SCOPED_TRACE(testing::Message() << "type " << (int)type);
        br_pixelmap *pm = BrPixelmapAllocate(type, 5, 3, nullptr, 0);
        ASSERT_NE(pm, nullptr);
        pm->identifier = BrResStrDup(pm, "five by three");
        pm->origin_x = 2;
        pm->origin_y = 1;
        fill_pattern(pm, type);
        DfWriteModeSet(GetParam());
        ASSERT_EQ(BrPixelmapSave(path("one.pix").c_str(), pm), 1u);

        br_pixelmap *got = BrPixelmapLoad(path("one.pix").c_str());
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->type, type);
        EXPECT_STREQ(got->identifier, "five by three");
        EXPECT_EQ(got->origin_x, 2);
        EXPECT_EQ(got->origin_y, 1);
        EXPECT_EQ(got->row_bytes, row_len(pm));
        EXPECT_TRUE(got->flags & PIXELMAP_CONTIGUOUS);
        EXPECT_EQ(got->map, nullptr);
        expect_same_pixels(pm, got);
        BrPixelmapFree(got);
        BrPixelmapFree(pm);
    }
    EXPECT_TRUE(DiagLog::failures.empty()) << DiagLog::failures[0];
}

INSTANTIATE_TEST_SUITE_P(Forms, PixFileTest, ::testing::Values(DF_MODE_BINARY, DF_MODE_TEXT),
                         [](const auto &info) { return info.param == DF_MODE_TEXT ? "Text" : "Binary"; });

TEST_F(DfTest, PixelOrderInTheFile)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 2, 1, nullptr, 0);
    br_uint_8 *p = (br_uint_8 *)pm->pixels;
    p[0] = 0x34, p[1] = 0x12, p[2] = 0x78, p[3] = 0x56;
    DfWriteModeSet(DF_MODE_BINARY);
    ASSERT_EQ(BrPixelmapSave(path("o.pix").c_str(), pm), 1u);
    std::string b = bytes("o.pix");
    // PIXELMAP: type, row bytes 4, width 2, height 1, origins, empty identifier.
    EXPECT_EQ(hex_of(b.substr(16, 8 + 12)), "00000003" "0000000c" "05" "0004" "0002" "0001" "0000" "0000" "00");
    // PIXELS: two elements of two bytes, each high byte first.
    EXPECT_EQ(hex_of(b.substr(b.size() - 28)), "00000021" "0000000c" "00000002" "00000002" "12345678" "0000000000000000");
    BrPixelmapFree(pm);
}

TEST_F(DfTest, ColourMapTravelsWithItsPicture)
{
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 4, 4, nullptr, 0);
        br_pixelmap *pal = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 256, nullptr, 0);
        fill_pattern(pm, 1);
        fill_pattern(pal, 2);
        pm->map = pal;
        DfWriteModeSet(mode);
        ASSERT_EQ(BrPixelmapSave(path("pal.pix").c_str(), pm), 1u);
        br_pixelmap *got = BrPixelmapLoad(path("pal.pix").c_str());
        ASSERT_NE(got, nullptr);
        ASSERT_NE(got->map, nullptr);
        EXPECT_EQ(got->map->type, BR_PMT_RGBX_888);
        EXPECT_TRUE(BrResIsChild(got, got->map));
        expect_same_pixels(pm, got);
        expect_same_pixels(pal, got->map);
        BrPixelmapFree(got); // frees the colour map with it
        pm->map = nullptr;
        BrPixelmapFree(pal);
        BrPixelmapFree(pm);
    }
    EXPECT_TRUE(DiagLog::failures.empty());
}

TEST_F(DfTest, InvertedAndSubMapsSaveTheirOwnRowsTopFirst)
{
    br_pixelmap *inv = BrPixelmapAllocate(BR_PMT_RGB_888, 3, 4, nullptr, PIXELMAP_ALLOCATE_INVERTED);
    ASSERT_NE(inv, nullptr);
    ASSERT_LT(inv->row_bytes, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++)
            BrPixelmapPixelSet(inv, x, y, (br_uint_32)(y * 16 + x));
    DfWriteModeSet(DF_MODE_BINARY);
    ASSERT_EQ(BrPixelmapSave(path("inv.pix").c_str(), inv), 1u);
    br_pixelmap *got = BrPixelmapLoad(path("inv.pix").c_str());
    ASSERT_NE(got, nullptr);
    EXPECT_GT(got->row_bytes, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(BrPixelmapPixelGet(got, x, y), (br_uint_32)(y * 16 + x));
    BrPixelmapFree(got);

    br_pixelmap *sub = BrPixelmapAllocateSub(inv, 1, 1, 2, 2);
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(BrPixelmapSave(path("sub.pix").c_str(), sub), 1u);
    got = BrPixelmapLoad(path("sub.pix").c_str());
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->width, 2);
    EXPECT_EQ(got->height, 2);
    EXPECT_EQ(BrPixelmapPixelGet(got, 0, 0), 0x11u);
    EXPECT_EQ(BrPixelmapPixelGet(got, 1, 1), 0x22u);
    BrPixelmapFree(got);
    BrPixelmapFree(sub);
    BrPixelmapFree(inv);
}

TEST_F(DfTest, FilesOfSeveralMaps)
{
    br_pixelmap *maps[2] = {BrPixelmapAllocate(BR_PMT_INDEX_8, 2, 2, nullptr, 0),
                            BrPixelmapAllocate(BR_PMT_DEPTH_16, 3, 1, nullptr, 0)};
    fill_pattern(maps[0], 1);
    fill_pattern(maps[1], 2);
    DfWriteModeSet(DF_MODE_TEXT);
    ASSERT_EQ(BrPixelmapSaveMany(path("two.pix").c_str(), maps, 2), 2u);

    br_pixelmap *got[3] = {nullptr, nullptr, nullptr};
    EXPECT_EQ(BrPixelmapLoadMany(path("two.pix").c_str(), got, 3), 2u);
    ASSERT_NE(got[1], nullptr);
    EXPECT_EQ(got[0]->type, BR_PMT_INDEX_8);
    EXPECT_EQ(got[1]->type, BR_PMT_DEPTH_16);
    expect_same_pixels(maps[1], got[1]);
    BrPixelmapFree(got[0]);
    BrPixelmapFree(got[1]);

    got[1] = nullptr;
    EXPECT_EQ(BrPixelmapLoadMany(path("two.pix").c_str(), got, 1), 1u);
    EXPECT_EQ(got[0]->type, BR_PMT_INDEX_8);
    EXPECT_EQ(got[1], nullptr);
    BrPixelmapFree(got[0]);

    br_pixelmap *first = BrPixelmapLoad(path("two.pix").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->type, BR_PMT_INDEX_8);
    BrPixelmapFree(first);
    EXPECT_EQ(DfTopType(), 0);
    BrPixelmapFree(maps[0]);
    BrPixelmapFree(maps[1]);
}

// Damaged files are refused with a report; nothing crashes and the stack is left as it was.
TEST_F(DfTest, DamagedPixelMapFilesAreRefused)
{
    const char *info = "*FILE_INFO 3\n struct file_info\n enum_32 FILE_TYPE_PIXELMAP\n uint_32 2\n";
    const char *map_4x2 = "*PIXELMAP 8\n struct br_pixelmap\n enum_8 BR_PMT_INDEX_8\n uint_16 4\n uint_16 4\n"
                          " uint_16 2\n uint_16 0\n uint_16 0\n asciz \"m\"\n";
    struct Case {
        std::string body;
        const char *message;
    } cases[] = {
        {"*PIXELS 3\n block 8\n size 1\n 00000000: 0001020304050607\n*END 0\n", "DatafileStack"},
        {std::string(map_4x2) + "*PIXELS 3\n block 6\n size 1\n 00000000: 000102030405\n*END 0\n",
         "do not match its size"},
        {std::string(map_4x2) + "*PIXELS 3\n block 2\n size 2\n 00000000: 00010203\n*END 0\n", "block size mismatch"},
        {std::string(map_4x2) + "*ADD_MAP 0\n*END 0\n", "DatafileStack"},
        {std::string(map_4x2) + "*END 0\n", "has no pixels"},
        {"*PIXELMAP 8\n struct br_pixelmap\n enum_8 BR_PMT_MAX\n uint_16 4\n uint_16 4\n"
         " uint_16 2\n uint_16 0\n uint_16 0\n asciz \"m\"\n*END 0\n",
         "Unknown enum string: BR_PMT_MAX"},
        {"*PIXELMAP 8\n struct br_pixelmap\n enum_8 BR_PMT_RGBA_8888\n uint_16 4\n uint_16 60000\n"
         " uint_16 2\n uint_16 0\n uint_16 0\n asciz \"m\"\n*END 0\n",
         "not supported"},
    };
    for (const Case &c : cases) {
        DiagLog::clear();
        dir.write("bad.pix", info + c.body);
        EXPECT_EQ(BrPixelmapLoad(path("bad.pix").c_str()), nullptr) << c.body;
        EXPECT_TRUE(failed_with(c.message)) << c.body;
        EXPECT_EQ(DfTopType(), 0);
    }

    // A binary type byte above the table (enum_8 read raw).
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 2, 2, nullptr, 0);
    DfWriteModeSet(DF_MODE_BINARY);
    BrPixelmapSave(path("t.pix").c_str(), pm);
    BrPixelmapFree(pm);
    std::string b = bytes("t.pix");
    b[24] = 15;
    dir.write("t.pix", b);
    DiagLog::clear();
    EXPECT_EQ(BrPixelmapLoad(path("t.pix").c_str()), nullptr);
    EXPECT_TRUE(failed_with("not supported"));
}

// Every cut-short copy of a good file, in both forms: refused or read, never past its end.
TEST_F(DfTest, CutShortPixelMapFiles)
{
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 3, 2, nullptr, 0);
        pm->map = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 4, nullptr, 0);
        fill_pattern(pm, 3);
        fill_pattern(pm->map, 4);
        DfWriteModeSet(mode);
        BrPixelmapSave(path("good.pix").c_str(), pm);
        BrPixelmapFree(pm->map);
        BrPixelmapFree(pm);
        std::string good = bytes("good.pix");
        for (size_t n = 0; n < good.size(); n++) {
            dir.write("cut.pix", good.substr(0, n));
            br_pixelmap *got = BrPixelmapLoad(path("cut.pix").c_str());
            if (got != nullptr)
                BrPixelmapFree(got);
            EXPECT_EQ(DfTopType(), 0);
        }
    }
}

// Writers never need the scratch block: a save with it held is whole, in both forms.
TEST_F(DfTest, SavingWithTheScratchBlockHeld)
{
    void *held = BrScratchAllocate(64);
    ASSERT_NE(held, nullptr);
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        SCOPED_TRACE(mode == DF_MODE_TEXT ? "text" : "binary");
        br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 70, 40, nullptr, 0);
        pm->map = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 16, nullptr, 0);
        fill_pattern(pm, 5);
        fill_pattern(pm->map, 6);
        DfWriteModeSet(mode);
        ASSERT_EQ(BrPixelmapSave(path("held.pix").c_str(), pm), 1u);
        br_pixelmap *got = BrPixelmapLoad(path("held.pix").c_str());
        ASSERT_NE(got, nullptr);
        expect_same_pixels(pm, got);
        ASSERT_NE(got->map, nullptr);
        expect_same_pixels(pm->map, got->map);
        BrPixelmapFree(got);
        BrPixelmapFree(pm->map);
        BrPixelmapFree(pm);
    }
    BrScratchFree(held);
    EXPECT_TRUE(DiagLog::failures.empty()) << DiagLog::failures[0];
}

// A filesystem that copies the standard record, as a game's own does, with a write that stops after
// a budget of bytes, or a process that is killed there.
br_filesystem short_fs;
br_size_t (*standard_write)(const void *, br_size_t, br_size_t, void *);
size_t write_budget;
bool kill_at_budget;
br_size_t budget_write(const void *buf, br_size_t size, br_size_t n, void *f)
{
    size_t want = size * n;
    if (want > write_budget) {
        if (kill_at_budget)
            kill(getpid(), SIGKILL);
        n = write_budget / size;
    }
    write_budget -= size * n;
    return standard_write(buf, size, n, f);
}

class SaveFailure : public DfTest {
protected:
    br_pixelmap *pm = nullptr;
    std::string old;
    void SetUp() override
    {
        DfTest::SetUp();
        pm = BrPixelmapAllocate(BR_PMT_RGB_888, 64, 64, nullptr, 0); // 12 KB of pixels
        fill_pattern(pm, 9);
        br_pixelmap *small = BrPixelmapAllocate(BR_PMT_INDEX_8, 2, 2, nullptr, 0);
        fill_pattern(small, 1);
        ASSERT_EQ(BrPixelmapSave(path("old.pix").c_str(), small), 1u);
        BrPixelmapFree(small);
        old = bytes("old.pix");
    }
    void TearDown() override
    {
        BrPixelmapFree(pm);
        DfTest::TearDown();
    }
    // The old file is whole and nothing else was left in the folder.
    void expect_old_file_kept()
    {
        EXPECT_EQ(bytes("old.pix"), old);
        int entries = 0;
        for (const auto &e : std::filesystem::directory_iterator(dir.path))
            entries += e.path().filename() != "old.pix";
        EXPECT_EQ(entries, 0) << "a temporary file was left behind";
    }
    // Runs `body` in a child process; answers its exit code, or 128 + the signal that ended it.
    static int in_child(const std::function<int()> &body)
    {
        pid_t pid = fork();
        if (pid == 0)
            _exit(body());
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

TEST_F(SaveFailure, AShortWriteAnswersZeroAndKeepsTheOldFile)
{
    short_fs = *BrFilesystemSet(nullptr);
    standard_write = short_fs.write;
    short_fs.write = budget_write;
    BrFilesystemSet(&short_fs);
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT})
        for (size_t budget : {(size_t)0, (size_t)100, (size_t)4096}) {
            SCOPED_TRACE(testing::Message() << (mode == DF_MODE_TEXT ? "text" : "binary") << ", budget " << budget);
            DfWriteModeSet(mode);
            write_budget = budget;
            kill_at_budget = false;
            EXPECT_EQ(BrPixelmapSave(path("old.pix").c_str(), pm), 0u);
            br_pixelmap *many[2] = {pm, pm};
            write_budget = budget;
            EXPECT_EQ(BrPixelmapSaveMany(path("old.pix").c_str(), many, 2), 0u);
            expect_old_file_kept();
        }
    // With room for all of it, the same filesystem saves.
    write_budget = (size_t)1 << 30;
    EXPECT_EQ(BrPixelmapSave(path("old.pix").c_str(), pm), 1u);
    br_pixelmap *got = BrPixelmapLoad(path("old.pix").c_str());
    ASSERT_NE(got, nullptr);
    expect_same_pixels(pm, got);
    BrPixelmapFree(got);
}

// Each refusal answers 0 and leaves errno saying why, for the caller's message.
TEST_F(SaveFailure, FilesThatCannotBeWrittenAnswerZeroWithTheReason)
{
    chmod(path("old.pix").c_str(), 0444);
    struct Case {
        std::string name;
        int why;
        const char *what;
    } cases[] = {
        {path("old.pix"), EACCES, "read-only"},
        {path("no/such/folder/x.pix"), ENOENT, "no folder"},
        {path("old.pix/x.pix"), ENOTDIR, "a file as folder"},
        {dir.str(), EISDIR, "a folder"},
        {"/dev/full", ENOSPC, "a device that takes nothing"},
    };
    for (const Case &c : cases) {
        if (c.name == "/dev/full" && access("/dev/full", W_OK) != 0)
            continue;
        errno = 0;
        EXPECT_EQ(BrPixelmapSave(c.name.c_str(), pm), 0u) << c.what;
        EXPECT_EQ(errno, c.why) << c.what << ": " << strerror(errno);
    }
    chmod(path("old.pix").c_str(), 0644);
    expect_old_file_kept();
}

// The file size limit reached half-way (with its signal ignored, so the write itself fails), and a
// process killed half-way: the name still holds the old file.
TEST_F(SaveFailure, ALimitOrAKillHalfWayLeavesTheOldFile)
{
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        SCOPED_TRACE(mode == DF_MODE_TEXT ? "text" : "binary");
        DfWriteModeSet(mode);
        int code = in_child([&] {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit lim = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &lim);
            return BrPixelmapSave(path("old.pix").c_str(), pm) == 0 ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << "the save answers 0";
        expect_old_file_kept();

        short_fs = *BrFilesystemSet(nullptr);
        standard_write = short_fs.write;
        short_fs.write = budget_write;
        code = in_child([&] {
            BrFilesystemSet(&short_fs);
            write_budget = 6000;
            kill_at_budget = true;
            BrPixelmapSave(path("old.pix").c_str(), pm);
            return 0;
        });
        EXPECT_EQ(code, 128 + SIGKILL);
        expect_old_file_kept();
        BrFilesystemSet(nullptr);
    }
}

} // namespace
