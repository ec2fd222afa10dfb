#include <string.h>

#include "foundation_support.h"

namespace {

enum { KW_TRUE = 128, KW_FALSE = 129 };
br_lexer_keyword keywords[] = {{"true", KW_TRUE}, {"false", KW_FALSE}};

std::vector<std::string> errors;
void record_error(br_lexer *l, const char *message)
{
    errors.push_back(message);
}

class LexerTest : public FwTest {
protected:
    br_lexer *l = nullptr;
    void SetUp() override
    {
        FwTest::SetUp();
        errors.clear();
        l = BrLexerAllocate(keywords, 2);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(BrLexerErrorSet(l, record_error), nullptr); // the default ignores
    }
    void TearDown() override
    {
        BrLexerFree(l);
        FwTest::TearDown();
    }
    void push(const char *text)
    {
        ASSERT_EQ(BrLexerPushString(l, text, "text"), (br_error)BRE_OK);
        BrLexerAdvance(l);
    }
    // The tokens of the text as kind:value words.
    std::string tokens(const char *text)
    {
        push(text);
        std::string out;
        for (int guard = 0; guard < 100; guard++) {
            char word[300];
            switch (BrLexerCurrent(l)) {
            case BRL_EOF:
                return out + "eof";
            case BRL_ERROR:
                snprintf(word, sizeof(word), "err(%s)", BrLexerString(l));
                break;
            case BRL_IDENT:
                snprintf(word, sizeof(word), "id(%s)", BrLexerString(l));
                break;
            case BRL_STRING:
                snprintf(word, sizeof(word), "str(%s)", BrLexerString(l));
                break;
            case BRL_INTEGER:
                snprintf(word, sizeof(word), "int(%d)", BrLexerInteger(l));
                break;
            case BRL_REAL:
                snprintf(word, sizeof(word), "real(%g)", BrLexerReal(l));
                break;
            default:
                if (BrLexerCurrent(l) >= 128)
                    snprintf(word, sizeof(word), "kw(%d)", BrLexerCurrent(l));
                else
                    snprintf(word, sizeof(word), "'%c'", BrLexerCurrent(l));
            }
            out += word;
            out += " ";
            BrLexerAdvance(l);
        }
        return out + "...";
    }
};

TEST_F(LexerTest, TokensByTheTable)
{
    struct {
        const char *text;
        const char *tokens;
    } cases[] = {
        {"[1,-2.5,0x10]", "'[' int(1) ',' '-' real(2.5) ',' int(16) ']' eof"},
        {"true True TRUE tRUE false", "kw(128) id(True) id(TRUE) kw(128) kw(129) eof"},
        {"_a1 b_2", "id(_a1) id(b_2) eof"},
        {"010 0x1F 7.", "int(8) int(31) real(7) eof"},
        {"99999999999", "int(2147483647) eof"},
        {"\"a b\" \"\"", "str(a b) str() eof"},
        {"\"open\nnext", "err(Unterminated string) id(next) eof"},
        {"\"open", "err(Unterminated string) eof"},
        {"a # comment \"x\n b", "id(a) id(b) eof"},
        {"x\x1a\r\ny\t", "id(x) id(y) eof"},
        {"\x01 z \xe9", "err(Unexpected character) id(z) err(Unexpected character) eof"},
        {"", "eof"},
    };
    BrLexerCommentSet(l, '#');
    for (auto &c : cases)
        EXPECT_EQ(tokens(c.text), c.tokens) << c.text;
}

TEST_F(LexerTest, LongWordsAreCutToTheBuffer)
{
    std::string word(400, 'w');
    push(word.c_str());
    EXPECT_EQ(BrLexerCurrent(l), BRL_IDENT);
    EXPECT_EQ(strlen(BrLexerString(l)), (size_t)BR_LEXER_TEXT_SIZE - 1);
    BrLexerAdvance(l);
    EXPECT_EQ(BrLexerCurrent(l), BRL_EOF);
}

TEST_F(LexerTest, InputsStackAndCountLines)
{
    char pos[64];
    BrLexerPosition(l, pos, sizeof(pos));
    EXPECT_STREQ(pos, "");
    ASSERT_EQ(BrLexerPushString(l, "outer", "a.txt"), (br_error)BRE_OK);
    ASSERT_EQ(BrLexerPushString(l, "\n\ninner", "b.txt"), (br_error)BRE_OK);
    BrLexerAdvance(l);
    EXPECT_STREQ(BrLexerString(l), "inner");
    BrLexerPosition(l, pos, sizeof(pos));
    EXPECT_STREQ(pos, "b.txt:3 ");
    BrLexerAdvance(l);
    EXPECT_STREQ(BrLexerString(l), "outer");
    BrLexerPosition(l, pos, sizeof(pos));
    EXPECT_STREQ(pos, "a.txt:1 ");
    BrLexerAdvance(l);
    EXPECT_EQ(BrLexerCurrent(l), BRL_EOF);
    EXPECT_EQ(BrLexerPop(l), nullptr);
    EXPECT_EQ(BrLexerPushFile(l, "no-such-file.txt"), (br_error)BRE_FAIL);
}

TEST_F(LexerTest, VectorParsersByTheTable)
{
    struct {
        const char *text;
        int max;
        int answer;
        std::vector<br_fixed_ls> values;
        int errors;
    } cases[] = {
        {"[1,-2.5,0x10]", 3, 3, {65536, -163840, 1048576}, 0},
        {"[ +1 , 0.5 ]", 3, 2, {65536, 32768}, 0},
        {"[]", 3, 0, {}, 0},
        {"[1,2,3,4]", 3, 4, {65536, 131072, 196608}, 1},
        {"[1 2]", 3, 1, {65536}, 2},
        {"1,2]", 3, 0, {}, 2},
        {"[1,x]", 3, 2, {65536, 0}, 1},
        {"[1,", 2, 1, {65536}, 1},
    };
    for (auto &c : cases) {
        errors.clear();
        push(c.text);
        br_fixed_ls v[8] = {};
        EXPECT_EQ(BrParseVectorFixed(l, v, c.max), c.answer) << c.text;
        EXPECT_EQ(std::vector<br_fixed_ls>(v, v + c.values.size()), c.values) << c.text;
        EXPECT_EQ((int)errors.size(), c.errors) << c.text;
        while (BrLexerCurrent(l) != BRL_EOF)
            BrLexerAdvance(l);
    }
}

TEST_F(LexerTest, NumberParsersConvertAndReport)
{
    push("-3 2.75 7 -0.5 x 8 \"s\" 1e 70000");
    EXPECT_EQ(BrParseInteger(l), -3);
    EXPECT_EQ(BrParseFixed(l), 0x2C000);
    EXPECT_EQ(BrParseFloat(l), 7.0f);
    EXPECT_EQ(BrParseFloat(l), -0.5f);
    EXPECT_EQ(BrParseFixed(l), 0); // x
    EXPECT_EQ(BrParseFixed(l), 8 << 16);
    EXPECT_EQ(BrParseFloat(l), 0.0f); // "s"
    EXPECT_EQ(BrParseInteger(l), 1);  // "1e" reads as an integer
    EXPECT_EQ(BrParseFixed(l), (br_fixed_ls)(70000u << 16)); // out of range keeps the low bits
    EXPECT_EQ(errors, (std::vector<std::string>{"expecting a fixed", "expecting a float"}));
    push("2.5");
    EXPECT_EQ(BrParseInteger(l), 0);
    EXPECT_EQ(errors.back(), "expecting an integer");
    push("1e30");
    EXPECT_EQ(BrParseFixed(l), 65536); // "1e30" has no point: integer 1
}

TEST_F(LexerTest, MatrixParsers)
{
    push("[[1,2],[3,4],[5,6]]");
    float m[6] = {};
    EXPECT_EQ(BrParseMatrixFloat(l, m, 2, 3), 3);
    EXPECT_EQ(std::vector<float>(m, m + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(BrLexerCurrent(l), BRL_EOF);
    EXPECT_TRUE(errors.empty());

    push("[[1,2]]");
    br_fixed_ls f[4] = {};
    EXPECT_EQ(BrParseMatrixFixed(l, f, 2, 2), 1);
    EXPECT_EQ(f[1], 2 << 16);

    push("[[1],[2],[3]]");
    EXPECT_EQ(BrParseMatrixFixed(l, f, 1, 2), 2);
    EXPECT_EQ(errors, (std::vector<std::string>{"expected ']'"}));
}

TEST_F(LexerTest, TokenErrorTextsAndResync)
{
    struct {
        int expected;
        const char *message;
    } cases[] = {
        {BRL_EOF, "expected end of file"},        {BRL_IDENT, "expected an identifier"},
        {BRL_STRING, "expected a string"},        {BRL_INTEGER, "expected an integer"},
        {BRL_REAL, "expected a real number"},     {KW_FALSE, "expected 'false'"},
        {200, "expected unknown keyword 200"},    {';', "expected ';'"},
        {7, "expected unknown token 7"},
    };
    for (auto &c : cases) {
        errors.clear();
        push("[ ;");
        BrLexerTokenError(l, c.expected);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0], c.message);
        EXPECT_TRUE(BrLexerCurrent(l) == c.expected || BrLexerCurrent(l) == BRL_EOF);
        while (BrLexerCurrent(l) != BRL_EOF)
            BrLexerAdvance(l);
    }
    // An error token is not reported again.
    errors.clear();
    push("\x01 ;");
    BrLexerTokenError(l, ';');
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(BrLexerCurrent(l), ';');
}

TEST(Print, BoundedFormatting)
{
    char buf[1024];
    memset(buf, '#', sizeof(buf));
    EXPECT_EQ(BrSprintfN(buf, 4, "%s", "sixlet"), 3);
    EXPECT_STREQ(buf, "six");
    EXPECT_EQ(buf[4], '#');
    EXPECT_EQ(BrSprintfN(buf, 100, "%d-%s", 12, "ab"), 5);
    EXPECT_STREQ(buf, "12-ab");

    std::string big(1000, 'z');
    memset(buf, '#', sizeof(buf));
    EXPECT_EQ(BrSprintf(buf, "%s", big.c_str()), BR_PRINTF_MAX);
    EXPECT_EQ(strlen(buf), (size_t)BR_PRINTF_MAX);
    EXPECT_EQ(buf[BR_PRINTF_MAX + 1], '#');
    EXPECT_EQ(BrSprintfN(buf, sizeof(buf), "%s", big.c_str()), BR_PRINTF_MAX);

    int a = 0;
    char word[16];
    EXPECT_EQ(BrSScanf("42 hello", "%d %15s", &a, word), 2);
    EXPECT_EQ(a, 42);
    EXPECT_STREQ(word, "hello");

    testing::internal::CaptureStderr();
    EXPECT_EQ(BrLogPrintf("log %d\n", 5), 6);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "log 5\n");
}

TEST(Print, SwapsAndRuntimeLayer)
{
    EXPECT_EQ(BrSwap32(0x11223344u), 0x44332211u);
    EXPECT_EQ(BrSwap16(0x1122), 0x2211);
    EXPECT_EQ(BrSwapFloat(BrSwapFloat(1.5f)), 1.5f);
    unsigned char bytes[] = {1, 2, 3, 4, 5, 6};
    BrSwapBlock(bytes, 2, 3);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 6), (std::vector<int>{3, 2, 1, 6, 5, 4}));
    BrSwapBlock(bytes, 6, 1);
    EXPECT_EQ(bytes[0], 3);

    EXPECT_EQ(BrMemCmp("ab", "ac", 2), -1);
    EXPECT_EQ(BrStrCmp("b", "a"), 1);
    EXPECT_EQ(BrStrCmp("\xe9", "a"), 1); // unsigned bytes
    EXPECT_EQ(BrStrICmp("ABC", "abc"), 0);
    char overlap[] = "abcdef";
    BrMemCpy(overlap + 1, overlap, 4);
    EXPECT_STREQ(overlap, "aabcdf");
    EXPECT_TRUE(BrIsPrint(' '));
    EXPECT_FALSE(BrIsPrint(0x1a));
    EXPECT_FALSE(BrIsAlpha(-1));
    EXPECT_FALSE(BrIsDigit(0xe9));
    EXPECT_EQ(BrFloatSqrt(2.25f), 1.5f);
}

} // namespace
