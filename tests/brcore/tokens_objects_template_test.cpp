// Templates: every conversion kind queried and set against one record, buffers, query-all and
// the round trip of a record's state through a token-value list.
#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include "foundation_support.h"

namespace {

struct Record {
    float f;
    br_fixed_ls x;
    br_int_8 i8;
    br_int_16 i16;
    br_uint_8 u8;
    br_uint_16 u16;
    br_int_32 i32;
    float vf[3];
    br_fixed_ls vx[3];
    br_int_32 words[2];
    char *name;
    br_token *tokens;
    void **pointers;
    br_uint_32 tok;
    br_uint_32 bits;
    void *handle;
};

// A string field's buffer, with a guard behind it.
struct NameBuffer {
    char text[BRTV_STRING_BUFFER];
    char guard[16];
};

br_int_32 absolute_word = 77;
const char constant_name[] = "test record";

#define F(m) offsetof(Record, m)
#define QS (BRTV_QUERY | BRTV_SET)

br_tv_template_entry entries[] = {
    {BRT_OPACITY_X, nullptr, F(f), QS | BRTV_ALL, BRTV_CONV_FIXED_FLOAT, 0, 0x1},
    {BRT_OPACITY_F, nullptr, F(x), QS | BRTV_ALL, BRTV_CONV_FLOAT_FIXED, 0, 0x2},
    {0, "TEST_SMALL_I8", F(i8), QS | BRTV_ALL, BRTV_CONV_I32_I8, 0, 0},
    {0, "TEST_MEDIUM_I16", F(i16), QS | BRTV_ALL, BRTV_CONV_I32_I16, 0, 0},
    {BRT_PIXEL_TYPE_U8, nullptr, F(u8), QS | BRTV_ALL, BRTV_CONV_I32_U8, 0, 0},
    {0, "TEST_WIDE_U16", F(u16), QS | BRTV_ALL, BRTV_CONV_I32_U16, 0, 0},
    {BRT_WIDTH_I32, nullptr, F(i32), QS | BRTV_ALL, BRTV_CONV_COPY, 0, 0x10},
    {BRT_POSITION_V3_X, nullptr, F(vf), QS | BRTV_ALL, BRTV_CONV_V3_FIXED_FLOAT, 0, 0},
    {BRT_POSITION_V3_F, nullptr, F(vx), QS | BRTV_ALL, BRTV_CONV_V3_FLOAT_FIXED, 0, 0},
    {BRT_MIN_V2_I, nullptr, F(words), QS | BRTV_ALL, BRTV_CONV_DIRECT_V2, 0, 0},
    {BRT_REGISTRY_STR, nullptr, F(name), QS | BRTV_ALL, BRTV_CONV_STR, 0, 0},
    {BRT_PARTS_TL, nullptr, F(tokens), QS, BRTV_CONV_LIST, 0, 0},
    {0, "TEST_THINGS_PL", F(pointers), QS, BRTV_CONV_LIST, 0, 0},
    {BRT_SMOOTH_B, nullptr, F(tok), QS | BRTV_ALL, BRTV_CONV_BOOL_TOKEN, BRT_LINEAR, 0},
    {BRT_DECAL_B, nullptr, F(bits), QS | BRTV_ALL, BRTV_CONV_BIT, 0x4, 0},
    {BRT_BLEND_B, nullptr, F(bits), QS | BRTV_ALL, BRTV_CONV_NOT_BIT, 0x8, 0},
    {BRT_WINDOW_HANDLE_H, nullptr, F(handle), QS | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_IDENTIFIER_CSTR, nullptr, 0, QS, BRTV_CONV_CONSTANT, (uintptr_t)constant_name, 0},
    {BRT_HEIGHT_I32, nullptr, (uintptr_t)&absolute_word, QS | BRTV_ABS, BRTV_CONV_COPY, 0, 0},
};

br_value u(br_uint_32 x)
{
    br_value v;
    v.raw = 0;
    v.u32 = x;
    return v;
}

br_value ptr(const void *x)
{
    br_value v;
    v.p = (void *)x;
    return v;
}

class TvTemplate : public FwTest {
protected:
    void SetUp() override
    {
        FwTest::SetUp();
        tpl = BrTVTemplateAllocate(nullptr, entries, sizeof(entries) / sizeof(entries[0]));
        ASSERT_NE(tpl, nullptr);
        fill(rec, names);
    }

    void TearDown() override
    {
        BrTVTemplateFree(tpl);
        FwTest::TearDown();
    }

    void fill(Record &r, NameBuffer &n)
    {
        memset(&r, 0, sizeof(r));
        memset(&n, 0, sizeof(n));
        r.f = 1.5f;
        r.x = 0x28000; // 2.5
        r.i8 = -3;
        r.i16 = -300;
        r.u8 = 200;
        r.u16 = 60000;
        r.i32 = 640;
        r.vf[0] = 1.0f, r.vf[1] = -2.5f, r.vf[2] = 0.25f;
        r.vx[0] = 0x10000, r.vx[1] = -0x8000, r.vx[2] = 0x30000;
        r.words[0] = 7, r.words[1] = -7;
        strcpy(n.text, "hello");
        r.name = n.text;
        r.tokens = token_list;
        r.pointers = pointer_list;
        r.tok = 1;
        r.bits = 0x4;
        r.handle = (void *)0x123456789abcull;
    }

    br_value query(br_token t, void *buffer = nullptr, br_size_t size = 0, br_error expect = BRE_OK)
    {
        br_value v;
        v.raw = 0xdead;
        EXPECT_EQ(BrTokenValueQuery(&v, buffer, size, t, &rec, tpl), expect) << BrTokenIdentifier(t);
        return v;
    }

    br_error set(br_token t, br_value v)
    {
        return BrTokenValueSet(&rec, &changed, t, v, tpl);
    }

    br_tv_template *tpl = nullptr;
    Record rec;
    NameBuffer names;
    br_uint_32 changed = 0;
    br_token token_list[3] = {BRT_RGB, BRT_DEPTH, 0};
    int a = 0, b = 0;
    void *pointer_list[3] = {&a, &b, nullptr};
};

TEST_F(TvTemplate, ScalarKindsQueryAndSet)
{
    EXPECT_EQ(query(BRT_OPACITY_X).x, 0x18000);           // float field through a fixed token
    EXPECT_FLOAT_EQ(query(BRT_OPACITY_F).f, 2.5f);        // fixed field through a float token
    EXPECT_EQ(query(BrTokenFind("TEST_SMALL_I8")).i32, -3); // sign-extended
    EXPECT_EQ(query(BrTokenFind("TEST_MEDIUM_I16")).i32, -300);
    EXPECT_EQ(query(BRT_PIXEL_TYPE_U8).u32, 200u);
    EXPECT_EQ(query(BrTokenFind("TEST_WIDE_U16")).u32, 60000u);
    EXPECT_EQ(query(BRT_WIDTH_I32).i32, 640);
    EXPECT_EQ(query(BRT_WINDOW_HANDLE_H).p, (void *)0x123456789abcull); // pointer-wide
    EXPECT_STREQ(query(BRT_IDENTIFIER_CSTR).cstr, "test record");
    EXPECT_EQ(query(BRT_HEIGHT_I32).i32, 77); // absolute address
    EXPECT_EQ(query(BRT_SMOOTH_B).u32, 0u);   // a field of 1 reads as false
    EXPECT_EQ(query(BRT_DECAL_B).u32, 1u);
    EXPECT_EQ(query(BRT_BLEND_B).u32, 1u);

    br_value half;
    half.raw = 0;
    half.x = 0x8000;
    ASSERT_EQ(set(BRT_OPACITY_X, half), (br_error)BRE_OK);
    EXPECT_FLOAT_EQ(rec.f, 0.5f);
    br_value third;
    third.raw = 0;
    third.f = -1.0f / 3.0f;
    ASSERT_EQ(set(BRT_OPACITY_F, third), (br_error)BRE_OK);
    EXPECT_EQ(rec.x, -21845); // truncated toward zero
    EXPECT_EQ(changed, 0x3u);

    ASSERT_EQ(set(BrTokenFind("TEST_SMALL_I8"), u((br_uint_32)-100)), (br_error)BRE_OK);
    EXPECT_EQ(rec.i8, -100);
    ASSERT_EQ(set(BRT_PIXEL_TYPE_U8, u(0x1ff)), (br_error)BRE_OK);
    EXPECT_EQ(rec.u8, 0xff);
    ASSERT_EQ(set(BRT_WINDOW_HANDLE_H, ptr((void *)0xfedcba987654ull)), (br_error)BRE_OK);
    EXPECT_EQ(rec.handle, (void *)0xfedcba987654ull);

    ASSERT_EQ(set(BRT_SMOOTH_B, u(7)), (br_error)BRE_OK);
    EXPECT_EQ(rec.tok, (br_uint_32)BRT_LINEAR);
    EXPECT_EQ(query(BRT_SMOOTH_B).u32, 1u);
    ASSERT_EQ(set(BRT_SMOOTH_B, u(0)), (br_error)BRE_OK);
    EXPECT_EQ(rec.tok, 1u);

    ASSERT_EQ(set(BRT_DECAL_B, u(0)), (br_error)BRE_OK);
    EXPECT_EQ(rec.bits, 0u);
    ASSERT_EQ(set(BRT_BLEND_B, u(0)), (br_error)BRE_OK);
    EXPECT_EQ(rec.bits, 0x8u);
    EXPECT_EQ(query(BRT_BLEND_B).u32, 0u);
    ASSERT_EQ(set(BRT_DECAL_B, u(1)), (br_error)BRE_OK);
    EXPECT_EQ(rec.bits, 0xcu);
}

TEST_F(TvTemplate, RefusedSetsAndUnknownTokens)
{
    changed = 0;
    EXPECT_EQ(set(BRT_HEIGHT_I32, u(1)), (br_error)BRE_FAIL); // absolute
    EXPECT_EQ(absolute_word, 77);
    EXPECT_EQ(set(BRT_IDENTIFIER_CSTR, ptr("x")), (br_error)BRE_UNKNOWN_TOKEN); // constant
    EXPECT_EQ(set(BRT_PARTS_TL, ptr(token_list)), (br_error)BRE_UNKNOWN_TOKEN); // list
    EXPECT_EQ(changed, 0u);

    // Inside the map's range without an entry, and outside it.
    query(BRT_TEXTURE_O, nullptr, 0, BRE_UNKNOWN_TOKEN);
    query(BRT_NONE, nullptr, 0, BRE_UNKNOWN_TOKEN);
    query(100000, nullptr, 0, BRE_UNKNOWN_TOKEN);
    EXPECT_EQ(set(BRT_TEXTURE_O, u(1)), (br_error)BRE_UNKNOWN_TOKEN);
    EXPECT_EQ(set(100000, u(1)), (br_error)BRE_UNKNOWN_TOKEN);
}

TEST_F(TvTemplate, BufferedKindsUseTheCallersBuffer)
{
    // Three floats through fixed values, three fixed values through floats, two words as they are.
    alignas(8) char buf[256];
    br_value v = query(BRT_POSITION_V3_X, buf, sizeof(buf));
    ASSERT_EQ(v.p, (void *)buf);
    EXPECT_EQ(v.vx[0], 0x10000);
    EXPECT_EQ(v.vx[1], -0x28000);
    EXPECT_EQ(v.vx[2], 0x4000);
    v = query(BRT_POSITION_V3_F, buf, sizeof(buf));
    EXPECT_FLOAT_EQ(v.vf[0], 1.0f);
    EXPECT_FLOAT_EQ(v.vf[1], -0.5f);
    EXPECT_FLOAT_EQ(v.vf[2], 3.0f);
    v = query(BRT_MIN_V2_I, buf, sizeof(buf));
    EXPECT_EQ(v.vi[0], 7);
    EXPECT_EQ(v.vi[1], -7);

    // A copy of the string, and of the 0-ended lists (tokens are 32-bit, pointers full width).
    v = query(BRT_REGISTRY_STR, buf, sizeof(buf));
    EXPECT_STREQ(v.cstr, "hello");
    EXPECT_NE(v.cstr, names.text);
    v = query(BRT_PARTS_TL, buf, sizeof(buf));
    EXPECT_EQ(v.tl[0], (br_token)BRT_RGB);
    EXPECT_EQ(v.tl[1], (br_token)BRT_DEPTH);
    EXPECT_EQ(v.tl[2], 0u);
    v = query(BrTokenFind("TEST_THINGS_PL"), buf, sizeof(buf));
    EXPECT_EQ(v.pl[0], (void *)&a);
    EXPECT_EQ(v.pl[1], (void *)&b);
    EXPECT_EQ(v.pl[2], nullptr);

    // No buffer or a short one: the value is 0 and the answer overflow.
    v = query(BRT_POSITION_V3_X, nullptr, 0, BRE_OVERFLOW);
    EXPECT_EQ(v.p, nullptr);
    v = query(BRT_MIN_V2_I, buf, 7, BRE_OVERFLOW);
    EXPECT_EQ(v.p, nullptr);
    v = query(BRT_MIN_V2_I, buf, 8);
    EXPECT_EQ(v.p, (void *)buf);

    // Setting copies from the caller's values.
    br_fixed_ls fx[3] = {0x20000, 0x8000, -0x10000};
    ASSERT_EQ(set(BRT_POSITION_V3_X, ptr(fx)), (br_error)BRE_OK);
    EXPECT_FLOAT_EQ(rec.vf[0], 2.0f);
    EXPECT_FLOAT_EQ(rec.vf[1], 0.5f);
    EXPECT_FLOAT_EQ(rec.vf[2], -1.0f);
    float fl[3] = {0.5f, -1.5f, 4.0f};
    ASSERT_EQ(set(BRT_POSITION_V3_F, ptr(fl)), (br_error)BRE_OK);
    EXPECT_EQ(rec.vx[0], 0x8000);
    EXPECT_EQ(rec.vx[1], -0x18000);
    EXPECT_EQ(rec.vx[2], 0x40000);
}

TEST_F(TvTemplate, StringSetStaysInsideItsBuffer)
{
    std::string long_text(200, 'z');
    memset(names.guard, 'G', sizeof(names.guard));
    ASSERT_EQ(set(BRT_REGISTRY_STR, ptr(long_text.c_str())), (br_error)BRE_OK);
    EXPECT_EQ(strlen(names.text), (size_t)BRTV_STRING_BUFFER - 1);
    for (char g : names.guard)
        EXPECT_EQ(g, 'G');

    ASSERT_EQ(set(BRT_REGISTRY_STR, ptr("short")), (br_error)BRE_OK);
    EXPECT_STREQ(names.text, "short");

    // No buffer to copy into.
    rec.name = nullptr;
    EXPECT_EQ(set(BRT_REGISTRY_STR, ptr("x")), (br_error)BRE_FAIL);
}

TEST_F(TvTemplate, QueryManyFillsWhatItKnows)
{
    br_value keep;
    keep.raw = 0;
    keep.u32 = 99;
    br_token_value tv[5];
    tv[0] = {BRT_WIDTH_I32, keep};
    tv[1] = {BRT_POSITION_V3_X, keep};
    tv[2] = {BRT_TEXTURE_O, keep}; // not in the template: left as it was
    tv[3] = {BRT_REGISTRY_STR, keep};
    tv[4] = {0, keep};

    br_size_t size = 0;
    ASSERT_EQ(BrTokenValueQueryManySize(&size, tv, &rec, tpl), (br_error)BRE_OK);
    EXPECT_GE(size, 12u + 6u);

    std::vector<char> buf(size);
    br_int_32 count = -1;
    ASSERT_EQ(BrTokenValueQueryMany(tv, buf.data(), buf.size(), &count, &rec, tpl), (br_error)BRE_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(tv[0].v.i32, 640);
    EXPECT_EQ(tv[1].v.vx[2], 0x4000);
    EXPECT_EQ(tv[2].v.u32, 99u);
    EXPECT_STREQ(tv[3].v.cstr, "hello");

    // One byte short: the last buffered value does not fit.
    tv[3].v = keep;
    ASSERT_EQ(BrTokenValueQueryMany(tv, buf.data(), buf.size() - 1, &count, &rec, tpl), (br_error)BRE_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(tv[3].v.p, nullptr);
}

br_tv_template_entry scalar_entries[] = {
    {BRT_WIDTH_I32, nullptr, F(i32), QS | BRTV_ALL, BRTV_CONV_COPY, 0, 0},
    {BRT_PIXEL_TYPE_U8, nullptr, F(u8), QS | BRTV_ALL, BRTV_CONV_I32_U8, 0, 0},
};

TEST_F(TvTemplate, QueryAllNeedsRoomForListAndBuffers)
{
    // Only scalars: exactly the list part is enough.
    br_tv_template *scalars = BrTVTemplateAllocate(nullptr, scalar_entries, 2);
    br_size_t size = 0;
    ASSERT_EQ(BrTokenValueQueryAllSize(&size, &rec, scalars), (br_error)BRE_OK);
    EXPECT_EQ(size, 3 * sizeof(br_token_value));
    br_token_value list[3];
    ASSERT_EQ(BrTokenValueQueryAll(list, sizeof(list), &rec, scalars), (br_error)BRE_OK);
    EXPECT_EQ(list[0].t, (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(list[1].v.u32, 200u);
    EXPECT_EQ(list[2].t, 0u);
    EXPECT_EQ(BrTokenValueQueryAll(list, sizeof(list) - 1, &rec, scalars), (br_error)BRE_OVERFLOW);
    BrTVTemplateFree(scalars);

    // With buffered entries the list part alone is not.
    br_int_32 n_all = 0;
    for (const br_tv_template_entry &e : entries)
        n_all += (e.flags & BRTV_ALL) != 0;
    ASSERT_EQ(BrTokenValueQueryAllSize(&size, &rec, tpl), (br_error)BRE_OK);
    br_size_t list_part = sizeof(br_token_value) * (br_size_t)(n_all + 1);
    EXPECT_GT(size, list_part);
    std::vector<br_token_value> big(size / sizeof(br_token_value) + 1);
    EXPECT_EQ(BrTokenValueQueryAll(big.data(), list_part, &rec, tpl), (br_error)BRE_OVERFLOW);
    EXPECT_EQ(BrTokenValueQueryAll(big.data(), size, &rec, tpl), (br_error)BRE_OK);
    EXPECT_EQ(big[n_all].t, 0u);
}

TEST_F(TvTemplate, StateRoundTripsThroughAList)
{
    br_size_t size = 0;
    ASSERT_EQ(BrTokenValueQueryAllSize(&size, &rec, tpl), (br_error)BRE_OK);
    std::vector<br_token_value> state(size / sizeof(br_token_value) + 1);
    ASSERT_EQ(BrTokenValueQueryAll(state.data(), size, &rec, tpl), (br_error)BRE_OK);

    // Apply it to a blank record, then read that one back.
    Record other;
    NameBuffer other_names;
    memset(&other, 0, sizeof(other));
    memset(&other_names, 0, sizeof(other_names));
    other.name = other_names.text;
    br_int_32 count = 0;
    br_uint_32 mask = 0;
    ASSERT_EQ(BrTokenValueSetMany(&other, &count, &mask, state.data(), tpl), (br_error)BRE_OK);
    br_int_32 n_all = 0;
    for (const br_tv_template_entry &e : entries)
        n_all += (e.flags & BRTV_ALL) != 0;
    EXPECT_EQ(count, n_all); // every query-all entry here can be set
    EXPECT_EQ(mask, 0x13u);

    std::vector<br_token_value> again(state.size());
    ASSERT_EQ(BrTokenValueQueryAll(again.data(), size, &other, tpl), (br_error)BRE_OK);
    EXPECT_TRUE(BrTokenValueCompare(state.data(), again.data()));
    EXPECT_EQ(other.i8, -3);
    EXPECT_EQ(other.handle, rec.handle);
    EXPECT_STREQ(other.name, "hello");
    EXPECT_EQ(other.bits, rec.bits);
    EXPECT_EQ(other.tok, 1u);
    EXPECT_FLOAT_EQ(other.f, rec.f);
    EXPECT_EQ(other.x, rec.x);

    // A changed field makes the lists differ.
    other.i16 = 5;
    ASSERT_EQ(BrTokenValueQueryAll(again.data(), size, &other, tpl), (br_error)BRE_OK);
    EXPECT_FALSE(BrTokenValueCompare(state.data(), again.data()));
}

br_tv_template_entry repeated_entries[] = {
    {0, "TEST_TWICE_I32", F(i32), QS, BRTV_CONV_COPY, 0, 0},
    {0, "TEST_TWICE_I32", F(u16), BRTV_QUERY, BRTV_CONV_I32_U16, 0, 0},
};

TEST_F(TvTemplate, NamesResolveAndLaterEntriesWin)
{
    br_tv_template *t = BrTVTemplateAllocate(nullptr, repeated_entries, 2);
    br_value v;
    br_token twice = BrTokenCreate("TEST_TWICE_I32", 0);
    ASSERT_EQ(BrTokenValueQuery(&v, nullptr, 0, twice, &rec, t), (br_error)BRE_OK);
    EXPECT_EQ(repeated_entries[0].token, twice);
    EXPECT_EQ(BrTokenType(twice), (br_token)BRT_INT_32);
    EXPECT_EQ(v.u32, 60000u); // the second entry answers queries
    ASSERT_EQ(BrTokenValueSet(&rec, nullptr, twice, u(5), t), (br_error)BRE_OK);
    EXPECT_EQ(rec.i32, 5); // the first is still the one that sets
    BrTVTemplateFree(t);
}

// A computed value: the record's width doubled, and a buffered copy of its name.
br_error doubled_query(br_value *pvalue, void **extra, br_size_t *extra_size, void *block,
                       const br_tv_template_entry *tep)
{
    const Record *r = (const Record *)block;
    if (tep->token == BRT_WIDTH_I32) {
        pvalue->raw = 0;
        pvalue->i32 = r->i32 * 2;
        return BRE_OK;
    }
    br_size_t need = strlen(r->name) + 1;
    if (*extra == nullptr || *extra_size < need)
        return BRE_OVERFLOW;
    memcpy(*extra, r->name, need);
    pvalue->p = *extra;
    *extra = (char *)*extra + need;
    *extra_size -= need;
    return BRE_OK;
}
br_error doubled_set(void *block, const br_value *pvalue, const br_tv_template_entry *tep)
{
    ((Record *)block)->i32 = pvalue->i32 / 2;
    return BRE_OK;
}
br_size_t doubled_size(void *block, const br_tv_template_entry *tep)
{
    return tep->token == BRT_WIDTH_I32 ? 0 : strlen(((Record *)block)->name) + 1;
}
const br_tv_custom doubled = {doubled_query, doubled_set, doubled_size};
const br_tv_custom query_only = {doubled_query, nullptr, doubled_size};

br_tv_template_entry custom_entries[] = {
    {BRT_WIDTH_I32, nullptr, 0, QS, BRTV_CONV_CUSTOM, (uintptr_t)&doubled, 0x40},
    {BRT_REGISTRY_STR, nullptr, 0, QS, BRTV_CONV_CUSTOM, (uintptr_t)&query_only, 0},
    {BRT_HEIGHT_I32, nullptr, 0, QS, BRTV_CONV_CUSTOM, 0, 0},
};

TEST_F(TvTemplate, AccessorEntriesCallTheClass)
{
    br_tv_template *t = BrTVTemplateAllocate(nullptr, custom_entries, 3);
    br_value v;
    ASSERT_EQ(BrTokenValueQuery(&v, nullptr, 0, BRT_WIDTH_I32, &rec, t), (br_error)BRE_OK);
    EXPECT_EQ(v.i32, 1280);
    br_value w;
    w.raw = 0;
    w.i32 = 100;
    br_uint_32 mask = 0;
    ASSERT_EQ(BrTokenValueSet(&rec, &mask, BRT_WIDTH_I32, w, t), (br_error)BRE_OK);
    EXPECT_EQ(rec.i32, 50);
    EXPECT_EQ(mask, 0x40u);

    char buf[8];
    ASSERT_EQ(BrTokenValueQuery(&v, buf, sizeof(buf), BRT_REGISTRY_STR, &rec, t), (br_error)BRE_OK);
    EXPECT_STREQ(v.cstr, "hello");
    EXPECT_EQ(BrTokenValueQuery(&v, nullptr, 0, BRT_REGISTRY_STR, &rec, t), (br_error)BRE_OVERFLOW);
    br_token_value many[] = {{BRT_REGISTRY_STR, {}}, {BRT_WIDTH_I32, {}}, {0, {}}};
    br_size_t size = 0;
    ASSERT_EQ(BrTokenValueQueryManySize(&size, many, &rec, t), (br_error)BRE_OK);
    EXPECT_EQ(size, 6u);

    // No set function, no table at all.
    EXPECT_EQ(BrTokenValueSet(&rec, &mask, BRT_REGISTRY_STR, w, t), (br_error)BRE_UNKNOWN_TOKEN);
    EXPECT_EQ(BrTokenValueQuery(&v, nullptr, 0, BRT_HEIGHT_I32, &rec, t), (br_error)BRE_UNKNOWN_TOKEN);
    EXPECT_EQ(BrTokenValueSet(&rec, &mask, BRT_HEIGHT_I32, w, t), (br_error)BRE_UNKNOWN_TOKEN);
    BrTVTemplateFree(t);
}

} // namespace
