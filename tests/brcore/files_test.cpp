#include <stdio.h>
#include <string.h>

#include "config_files_support.h"

namespace {

class FilesTest : public TempWorldTest {
protected:
    void SetUp() override
    {
        TempWorldTest::SetUp();
        ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    }

    // Everything a handle opened for reading still holds.
    static std::string drain(void *f)
    {
        std::string s;
        for (int c; (c = BrFileGetChar(f)) != -1;)
            s += (char)c;
        return s;
    }
};

TEST_F(FilesTest, TheStandardFilesystemIsInstalledAtBegin)
{
    br_filesystem *fs = BrFilesystemSet(nullptr);
    ASSERT_NE(fs, nullptr);
    EXPECT_STREQ(fs->identifier, "Standard IO");
    EXPECT_EQ(BrFileAttributes(), 31u);
}

TEST_F(FilesTest, ABareNameIsFoundInTheSecondFolderOfTheSearchPath)
{
    write_file("first/other.dat", "1");
    write_file("second/Probe.DAT", "found");
    std::string search = path("first") + ";" + path("second") + "/";
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, search.c_str()), (br_error)BRE_OK);

    void *f = BrFileOpenRead("probe.dat", 0, nullptr, nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(drain(f), "found");
    BrFileClose(f);

    // A name with a folder part is taken as it stands and never searched.
    EXPECT_EQ(BrFileOpenRead("sub/probe.dat", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(BrFileOpenRead("sub\\probe.dat", 0, nullptr, nullptr), nullptr);
    // A folder of the path is no file.
    EXPECT_EQ(BrFileOpenRead("second", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(BrFileOpenRead("absent.dat", 0, nullptr, nullptr), nullptr);
}

TEST_F(FilesTest, TheIdentifyFunctionChoosesTheOpenMode)
{
    write_file("magic.bin", "TXT1 rest");
    std::string name = path("magic.bin");
    static int answer;
    static std::string seen;
    br_mode_test_cbfn *identify = [](br_uint_8 *m, br_size_t n) {
        seen.assign((const char *)m, n);
        return answer;
    };

    struct Case {
        int answer;
        bool opens;
    } cases[] = {{0, true}, {1, true}, {2, false}, {7, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer);
        DiagLog::clear();
        answer = c.answer;
        int mode = -1;
        void *f = BrFileOpenRead(name.c_str(), 4, identify, &mode);
        EXPECT_EQ(seen, "TXT1");
        EXPECT_EQ(mode, c.answer);
        EXPECT_EQ(f != nullptr, c.opens);
        if (f != nullptr) {
            EXPECT_EQ(drain(f), "TXT1 rest"); // reopened at the start
            BrFileClose(f);
        }
        EXPECT_EQ(DiagLog::failures.size(), c.answer == 7 ? 1u : 0u);
    }
    EXPECT_EQ(DiagLog::failures[0], "Failure: BrStdFileOpenRead: invalid open_mode 7");

    // Too few bytes for the magic, or more magic than anyone asks for, open nothing.
    write_file("short.bin", "ab");
    EXPECT_EQ(BrFileOpenRead(path("short.bin").c_str(), 4, identify, nullptr), nullptr);
    EXPECT_EQ(BrFileOpenRead(name.c_str(), BR_FS_MAGICS_MAX + 1, identify, nullptr), nullptr);
    // A name longer than the filesystem takes is refused, not cut.
    std::string huge = path(std::string(600, 'n'));
    EXPECT_EQ(BrFileOpenRead(huge.c_str(), 0, nullptr, nullptr), nullptr);
}

TEST_F(FilesTest, TextWrittenAndReadBackByLine)
{
    std::string name = path("out.txt");
    void *w = BrFileOpenWrite(name.c_str(), 1);
    ASSERT_NE(w, nullptr);
    BrFilePutLine("first line", w);
    BrFilePutChar('x', w);
    EXPECT_EQ(BrFilePrintf(w, "%d-%s\n", 42, "y"), 5);
    BrFilePutLine("", w);
    BrFilePutLine("last", w);
    BrFileClose(w);
    EXPECT_EQ(read_file("out.txt"), "first line\nx42-y\n\nlast\n");

    // Lines from the other system end in CRLF; the last one may have no end at all; a line longer than
    // the buffer is cut and its rest skipped.
    write_file("in.txt", "alpha\r\n\r\n0123456789abcdef\nbeta\nno end");
    void *f = BrFileOpenRead(path("in.txt").c_str(), 0, nullptr, nullptr);
    ASSERT_NE(f, nullptr);
    char buf[11];
    struct Line {
        br_size_t length;
        const char *text;
    } lines[] = {{5, "alpha"}, {0, ""}, {10, "0123456789"}, {4, "beta"}, {6, "no end"}};
    for (const Line &line : lines) {
        EXPECT_EQ(BrFileGetLine(buf, sizeof(buf), f), line.length);
        EXPECT_STREQ(buf, line.text);
    }
    EXPECT_EQ(BrFileGetLine(buf, sizeof(buf), f), 0u);
    EXPECT_NE(BrFileEof(f), 0);
    BrFileClose(f);
}

TEST_F(FilesTest, BinaryBytesPassUnchanged)
{
    const unsigned char bytes[] = {0x00, 0x0d, 0x0a, 0xff, 0x1a, 0x41, 0x42, 0x43};
    void *w = BrFileOpenWrite(path("data.bin").c_str(), 0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(BrFileWrite(bytes, 2, 4, w), 4u);
    BrFileClose(w);
    EXPECT_EQ(read_file("data.bin"), std::string((const char *)bytes, sizeof(bytes)));

    int mode = BR_FS_MODE_BINARY;
    void *f = BrFileOpenRead(path("data.bin").c_str(), 0, nullptr, &mode);
    ASSERT_NE(f, nullptr);
    unsigned char in[4] = {};
    EXPECT_EQ(BrFileRead(in, 1, 2, f), 2u);
    EXPECT_EQ(memcmp(in, bytes, 2), 0);
    BrFileAdvance(3, f);
    EXPECT_EQ(BrFileGetChar(f), 0x41);
    EXPECT_EQ(BrFileEof(f), 0);
    EXPECT_EQ(BrFileRead(in, 1, 4, f), 2u);
    EXPECT_NE(BrFileEof(f), 0);
    EXPECT_EQ(BrFileGetChar(f), -1);
    BrFileClose(f);
}

// Counts closes through a copy of the standard record, as a game's own filesystem does.
int closes;
br_filesystem counting;
void (*standard_close)(void *raw);
void counting_close(void *raw)
{
    closes++;
    standard_close(raw);
}

TEST_F(FilesTest, EachHandleClosesItsStreamExactlyOnce)
{
    write_file("a.txt", "a");
    counting = *BrFilesystemSet(nullptr);
    standard_close = counting.close;
    counting.close = counting_close;
    BrFilesystemSet(&counting);
    closes = 0;

    void *f = BrFileOpenRead(path("a.txt").c_str(), 0, nullptr, nullptr);
    ASSERT_NE(f, nullptr);
    BrFileClose(f);
    EXPECT_EQ(closes, 1);

    // A handle still open when the framework ends is closed with the rest of it.
    ASSERT_NE(BrFileOpenRead(path("a.txt").c_str(), 0, nullptr, nullptr), nullptr);
    BrFwEnd();
    EXPECT_EQ(closes, 2);
}

TEST_F(FilesTest, TheLexerReadsAFileFromTheSearchPath)
{
    write_file("scripts/scene.txt", "camera \"main\"\r\n  fov 60 # comment\r\n1.5\r\n");
    ASSERT_EQ(BrSystemConfigSetString(BRT_BRONDEL_PATH_STR, path("scripts").c_str()), (br_error)BRE_OK);
    br_lexer *l = BrLexerAllocate(nullptr, 0);
    ASSERT_NE(l, nullptr);
    BrLexerCommentSet(l, '#');
    EXPECT_EQ(BrLexerPushFile(l, "missing.txt"), (br_error)BRE_FAIL);
    ASSERT_EQ(BrLexerPushFile(l, "scene.txt"), (br_error)BRE_OK);

    std::string seen, where;
    for (BrLexerAdvance(l); BrLexerCurrent(l) != BRL_EOF && BrLexerCurrent(l) != BRL_ERROR; BrLexerAdvance(l)) {
        switch (BrLexerCurrent(l)) {
        case BRL_IDENT:
            if (strcmp(BrLexerString(l), "fov") == 0) {
                char buf[64];
                BrLexerPosition(l, buf, sizeof(buf));
                where = buf;
            }
            [[fallthrough]];
        case BRL_STRING:
            seen += std::string(BrLexerString(l)) + " ";
            break;
        case BRL_INTEGER:
            seen += std::to_string(BrLexerInteger(l)) + " ";
            break;
        case BRL_REAL:
            seen += std::to_string(BrLexerReal(l)) + " ";
            break;
        }
    }
    EXPECT_EQ(BrLexerCurrent(l), BRL_EOF);
    EXPECT_EQ(seen, "camera main fov 60 1.500000 ");
    EXPECT_EQ(where, "scene.txt:2 "); // CRLF counts as one line end
    BrLexerFree(l);
}

} // namespace
