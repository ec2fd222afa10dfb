// Token-value lists from strings, and the comparison of two lists.
#include <string.h>

#include <string>
#include <vector>

#include "foundation_support.h"

namespace {

using TokenString = FwTest;
using TokenValueCompare = FwTest;

struct Pair {
    br_token t;
    br_uint_32 v;
};

std::vector<Pair> parse(const char *s, br_size_t pairs = 16)
{
    std::vector<br_token_value> buf(pairs);
    EXPECT_EQ(BrStringToTokenValue(buf.data(), pairs * sizeof(br_token_value), s), (br_error)BRE_OK);
    std::vector<Pair> out;
    for (const br_token_value &tv : buf) {
        if (tv.t == 0)
            break;
        out.push_back({tv.t, tv.v.u32});
    }
    return out;
}

br_uint_32 bits(float f)
{
    br_uint_32 u;
    memcpy(&u, &f, 4);
    return u;
}

struct Case {
    const char *text;
    std::vector<Pair> pairs;
};

TEST_F(TokenString, ParsesNamesAndValues)
{
    const Case cases[] = {
        {"w=640,h=480,b=16", {{BRT_WIDTH_I32, 640}, {BRT_HEIGHT_I32, 480}, {BRT_PIXEL_BITS_I32, 16}}},
        {"W:1, H:2, M=3", {{BRT_WIDTH_I32, 1}, {BRT_HEIGHT_I32, 2}, {BRT_MODE_U32, 3}}},
        {"Width=800 height=600", {{BRT_WIDTH_I32, 800}, {BRT_HEIGHT_I32, 600}}},
        {"width=-5", {{BRT_WIDTH_I32, (br_uint_32)-5}}},
        {"pixel_type=300", {{BRT_PIXEL_TYPE_U8, 44}}}, // an 8-bit type keeps the low byte
        // Integers prefer float to fixed, and a real goes to float first too.
        {"opacity=2", {{BRT_OPACITY_F, bits(2.0f)}}},
        {"ambient=-1", {{BRT_AMBIENT_F, bits(-1.0f)}}},
        {"fog_min=1.5", {{BRT_FOG_MIN_F, bits(1.5f)}}},
        {"indexed=true,stereo=f", {{BRT_INDEXED_B, 1}, {BRT_STEREO_B, 0}}},
        {"indexed=5", {{BRT_INDEXED_B, 1}}},
        {"indexed", {{BRT_INDEXED_B, 129}}}, // a bare boolean name
        {"use=renderer", {{BRT_USE_T, BRT_RENDERER}}},
        {"",  {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Pair> got = parse(c.text);
        ASSERT_EQ(got.size(), c.pairs.size());
        for (size_t i = 0; i < got.size(); i++) {
            EXPECT_EQ(got[i].t, c.pairs[i].t) << i;
            EXPECT_EQ(got[i].v, c.pairs[i].v) << i;
        }
    }
}

TEST_F(TokenString, MalformedPartsAreDroppedAndTheRestKept)
{
    const Case cases[] = {
        {"nosuch=5,w=1", {{BRT_WIDTH_I32, 1}}},
        {"w=,h=480", {{BRT_HEIGHT_I32, 480}}},
        {"w=640,,,h=480", {{BRT_WIDTH_I32, 640}, {BRT_HEIGHT_I32, 480}}},
        {"w=\"text\",h=2", {{BRT_HEIGHT_I32, 2}}}, // no string-typed width
        {"use=no_such_value,h=2", {{BRT_HEIGHT_I32, 2}}},
        {"w=1.5", {}},                               // no real-typed width
        {"w=640;h=480", {{BRT_WIDTH_I32, 640}}},     // parsing stops at what is no name
        {"=5,w=1", {}},
        {"42", {}},
        {"w=\"unterminated", {}},
        {"w=-,h=3", {{BRT_HEIGHT_I32, 3}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Pair> got = parse(c.text);
        ASSERT_EQ(got.size(), c.pairs.size());
        for (size_t i = 0; i < got.size(); i++) {
            EXPECT_EQ(got[i].t, c.pairs[i].t) << i;
            EXPECT_EQ(got[i].v, c.pairs[i].v) << i;
        }
    }
    EXPECT_TRUE(DiagLog::failures.empty());
}

TEST_F(TokenString, StringsArePackedAtTheEndOfTheBuffer)
{
    br_token_value buf[8];
    ASSERT_EQ(BrStringToTokenValue(buf, sizeof(buf), "title=\"My game\",identifier=\"x\",w=3"), (br_error)BRE_OK);
    ASSERT_EQ(buf[0].t, (br_token)BRT_TITLE_CSTR);
    EXPECT_STREQ(buf[0].v.cstr, "My game");
    ASSERT_EQ(buf[1].t, (br_token)BRT_IDENTIFIER_CSTR);
    EXPECT_STREQ(buf[1].v.cstr, "x");
    EXPECT_EQ(buf[2].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(buf[3].t, 0u);
    // The first string sits at the very end, the next below it.
    EXPECT_EQ(buf[0].v.cstr, (const char *)buf + sizeof(buf) - 8);
    EXPECT_EQ(buf[1].v.cstr, buf[0].v.cstr - 2);
}

TEST_F(TokenString, RespectsTheBufferSize)
{
    // A pair is stored only while more than one pair's room is left: a buffer that holds exactly the
    // pairs and the terminator stops one pair early; one byte more takes them all.
    br_token_value exact[5];
    memset(exact, 0xAB, sizeof(exact));
    ASSERT_EQ(BrStringToTokenValue(exact, 4 * sizeof(br_token_value), "w=640,h=480,b=16"), (br_error)BRE_OK);
    EXPECT_EQ(exact[1].t, (br_token)BRT_HEIGHT_I32);
    EXPECT_EQ(exact[2].t, 0u);
    EXPECT_EQ(exact[3].t, 0xABABABABu);
    ASSERT_EQ(BrStringToTokenValue(exact, 4 * sizeof(br_token_value) + 1, "w=640,h=480,b=16"), (br_error)BRE_OK);
    EXPECT_EQ(exact[2].t, (br_token)BRT_PIXEL_BITS_I32);
    EXPECT_EQ(exact[3].t, 0u);

    // Room for one pair and its terminator with a byte to spare: the list ends early, nothing is
    // written past the buffer.
    br_token_value guard[4];
    memset(guard, 0xAB, sizeof(guard));
    ASSERT_EQ(BrStringToTokenValue(guard, 2 * sizeof(br_token_value) + 1, "w=640,h=480,b=16"), (br_error)BRE_OK);
    EXPECT_EQ(guard[0].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(guard[1].t, 0u);
    EXPECT_EQ(guard[2].t, 0xABABABABu);

    // Too small for even the terminator: untouched.
    memset(guard, 0xAB, sizeof(guard));
    ASSERT_EQ(BrStringToTokenValue(guard, sizeof(br_token_value) - 1, "w=1"), (br_error)BRE_OK);
    EXPECT_EQ(guard[0].t, 0xABABABABu);

    // A string that does not fit drops its pair only.
    br_token_value small[3];
    memset(small, 0xAB, sizeof(small));
    ASSERT_EQ(BrStringToTokenValue(small, sizeof(small), "title=\"far too long a title for this\",w=2"),
              (br_error)BRE_OK);
    EXPECT_EQ(small[0].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(small[1].t, 0u);
}

TEST_F(TokenValueCompare, ComparesByValueType)
{
    br_int_32 va[2] = {1, 2}, vb[2] = {1, 2}, vc[2] = {1, 3};
    char s1[] = "abc", s2[] = "abc", s3[] = "abd";
    br_token tl1[] = {BRT_RGB, 0}, tl2[] = {BRT_INDEX, 0};

    auto tv = [](br_token t, br_value v) {
        br_token_value p;
        p.t = t;
        p.v = v;
        return p;
    };
    auto u = [](br_uint_32 x) {
        br_value v;
        v.raw = 0;
        v.u32 = x;
        return v;
    };
    auto p = [](void *x) {
        br_value v;
        v.p = x;
        return v;
    };
    const br_token_value end = tv(0, u(0));

    struct Row {
        const char *what;
        std::vector<br_token_value> a, b;
        bool equal;
    };
    const Row rows[] = {
        {"same ints", {tv(BRT_WIDTH_I32, u(5)), end}, {tv(BRT_WIDTH_I32, u(5)), end}, true},
        {"different ints", {tv(BRT_WIDTH_I32, u(5)), end}, {tv(BRT_WIDTH_I32, u(6)), end}, false},
        {"NONE values are not compared", {tv(BRT_LINEAR, u(1)), end}, {tv(BRT_LINEAR, u(2)), end}, true},
        {"different tokens", {tv(BRT_WIDTH_I32, u(5)), end}, {tv(BRT_HEIGHT_I32, u(5)), end}, false},
        {"different lengths", {tv(BRT_WIDTH_I32, u(5)), end}, {tv(BRT_WIDTH_I32, u(5)), tv(BRT_HEIGHT_I32, u(1)), end}, false},
        {"strings by content", {tv(BRT_TITLE_CSTR, p(s1)), end}, {tv(BRT_TITLE_CSTR, p(s2)), end}, true},
        {"different strings", {tv(BRT_INI_STR, p(s1)), end}, {tv(BRT_INI_STR, p(s3)), end}, false},
        {"vectors by bytes", {tv(BRT_MIN_V2_I, p(va)), end}, {tv(BRT_MIN_V2_I, p(vb)), end}, true},
        {"different vectors", {tv(BRT_MIN_V2_I, p(va)), end}, {tv(BRT_MIN_V2_I, p(vc)), end}, false},
        {"lists are not compared", {tv(BRT_PARTS_TL, p(tl1)), end}, {tv(BRT_PARTS_TL, p(tl2)), end}, true},
        {"pointers by full width", {tv(BRT_WINDOW_HANDLE_H, p((void *)0x100000001)), end},
         {tv(BRT_WINDOW_HANDLE_H, p((void *)0x1)), end}, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<br_token_value> a = r.a, b = r.b;
        EXPECT_EQ(BrTokenValueCompare(a.data(), b.data()), (br_boolean)r.equal);
        EXPECT_EQ(BrTokenValueCompare(b.data(), a.data()), (br_boolean)r.equal);
    }

    br_token_value one[] = {end};
    EXPECT_TRUE(BrTokenValueCompare(nullptr, nullptr));
    EXPECT_FALSE(BrTokenValueCompare(one, nullptr));
    EXPECT_FALSE(BrTokenValueCompare(nullptr, one));
}

} // namespace
