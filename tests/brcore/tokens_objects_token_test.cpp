// Tokens: the predefined table, tokens made at run time and the look-ups by name and type.
#include <string.h>

#include <map>
#include <set>
#include <string>

#include "foundation_support.h"

namespace {

using TokenTable = FwTest;

struct Known {
    const char *name;
    br_token id;
    br_token type;
};

TEST_F(TokenTable, NamesIdsAndTypesAsPublished)
{
    // Includes names whose suffix would suggest another type than the one they carry.
    const Known cases[] = {
        {"NONE", 1, BRT_NONE},
        {"POINTER_LIST", 35, BRT_NONE},
        {"COLOUR_RGB", 14, BRT_NONE},
        {"GEOMETRY_X", 186, BRT_NONE},
        {"DIRECT3D_RGB", 415, BRT_NONE},
        {"DITHER", 431, BRT_NONE},
        {"HANDLE", 354, BRT_NONE},
        {"WIDTH_I32", 69, BRT_INT_32},
        {"SYCHRONISE_I32", 372, BRT_INT_32},
        {"PIXEL_TYPE_U8", 75, BRT_UINT_8},
        {"FOG_RGB", 150, BRT_COLOUR_RGB},
        {"WINDOW_HANDLE_H", 405, BRT_HANDLE},
        {"MODEL_TO_VIEW_M34_X", 235, BRT_MATRIX34_FIXED},
        {"MAP_MATRIX_M23_F", 200, BRT_MATRIX23_FLOAT},
        {"IDENTIFIER_CSTR", 54, BRT_CONSTANT_STRING},
        {"BRONDEL_DEVICES_STR", 422, BRT_STRING},
        {"MATCH_TVL", 359, BRT_TOKEN_VALUE_LIST},
        {"WINDOW_FULLSCREEN_B", 406, BRT_BOOLEAN},
        {"DIRECT3D_RENDER_METHOD_T", 413, BRT_TOKEN},
        {"HEIGHT_TL", 390, BRT_TOKEN_LIST},
        {"INDEX_FOG_O", 394, BRT_OBJECT},
        {"WINDOW_PROCEDURE_P", 404, BRT_POINTER},
    };
    for (const Known &k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(BrTokenCreate(k.name, 0), k.id);
        EXPECT_STREQ(BrTokenIdentifier(k.id), k.name);
        EXPECT_EQ(BrTokenType(k.id), k.type);
    }
    // Looking up existing names makes nothing.
    EXPECT_EQ(BrTokenCount(nullptr), BR_PREDEFINED_TOKEN_COUNT);
}

TEST_F(TokenTable, EveryIdUpTo431ButOneIsTaken)
{
    std::set<std::string> names;
    for (br_token t = 1; t <= 431; t++) {
        const char *n = BrTokenIdentifier(t);
        if (t == 292) {
            EXPECT_EQ(n, nullptr);
            EXPECT_EQ(BrTokenType(t), 0u);
            continue;
        }
        ASSERT_NE(n, nullptr) << t;
        names.insert(n);
    }
    EXPECT_EQ(names.size(), 430u);
    EXPECT_EQ(BrTokenIdentifier(0), nullptr);
    EXPECT_EQ(BrTokenIdentifier(432), nullptr);
}

TEST_F(TokenTable, GroupSizesPerValueType)
{
    const std::map<br_token, int> expected = {
        {BRT_NONE, 194},           {BRT_BOOLEAN, 28},          {BRT_POINTER, 16},         {BRT_TOKEN, 30},
        {BRT_UINT_8, 1},           {BRT_INT_32, 25},           {BRT_UINT_32, 10},         {BRT_FIXED, 18},
        {BRT_FLOAT, 18},           {BRT_COLOUR_RGB, 1},        {BRT_OBJECT, 19},          {BRT_VECTOR2_INTEGER, 3},
        {BRT_VECTOR2_FIXED, 2},    {BRT_VECTOR3_FIXED, 2},     {BRT_VECTOR4_FIXED, 1},    {BRT_VECTOR2_FLOAT, 2},
        {BRT_VECTOR3_FLOAT, 2},    {BRT_VECTOR4_FLOAT, 1},     {BRT_MATRIX23_FIXED, 1},   {BRT_MATRIX34_FIXED, 2},
        {BRT_MATRIX4_FIXED, 2},    {BRT_MATRIX23_FLOAT, 1},    {BRT_MATRIX34_FLOAT, 2},   {BRT_MATRIX4_FLOAT, 2},
        {BRT_STRING, 6},           {BRT_CONSTANT_STRING, 7},   {BRT_TOKEN_LIST, 20},      {BRT_HANDLE, 1},
        {BRT_TOKEN_VALUE_LIST, 13},
    };
    std::map<br_token, int> seen;
    for (br_token t = 1; t <= 431; t++)
        if (BrTokenIdentifier(t) != nullptr)
            seen[BrTokenType(t)]++;
    EXPECT_EQ(seen, expected);
}

TEST_F(TokenTable, ListRunsInReverseNameOrder)
{
    br_token all[BR_PREDEFINED_TOKEN_COUNT + 1];
    ASSERT_EQ(BrTokenFindMany(nullptr, all, BR_PREDEFINED_TOKEN_COUNT + 1), BR_PREDEFINED_TOKEN_COUNT);
    for (int i = 1; i < BR_PREDEFINED_TOKEN_COUNT; i++)
        ASSERT_GT(strcmp(BrTokenIdentifier(all[i - 1]), BrTokenIdentifier(all[i])), 0) << i;

    // So the first match of a pattern is the alphabetically last name.
    EXPECT_EQ(BrTokenFind("width_*"), (br_token)BRT_WIDTH_TL);
    EXPECT_EQ(BrTokenCount("WIDTH_*"), 6);
    EXPECT_EQ(BrTokenFind("width_i32"), (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(BrTokenFind("no_such_token"), 0u);

    br_token two[2] = {0, 0};
    EXPECT_EQ(BrTokenFindMany("WIDTH_*", two, 2), 2);
    EXPECT_EQ(two[0], (br_token)BRT_WIDTH_TL);
    EXPECT_EQ(two[1], (br_token)BRT_WIDTH_T);

    // A made token comes first.
    br_token made = BrTokenCreate("WIDTH_ZZZ", 0);
    EXPECT_EQ(BrTokenFind("WIDTH_*"), made);
}

struct Created {
    const char *name;
    br_token type;
};

TEST_F(TokenTable, CreatedTokensTakeTheirTypeFromTheSuffix)
{
    EXPECT_EQ(BrTokenCreate("WIDTH_I32", 0), (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(BrTokenCount(nullptr), BR_PREDEFINED_TOKEN_COUNT);

    // An unknown name with a type asked for is not made.
    EXPECT_EQ(BrTokenCreate("NOT_THERE_I32", BRT_INT_32), 0u);
    EXPECT_EQ(BrTokenCount(nullptr), BR_PREDEFINED_TOKEN_COUNT);

    const Created cases[] = {
        {"MY_COUNT_I32", BRT_INT_32},
        {"MY_M_M34_X", BRT_MATRIX34_FIXED}, // the longer suffix is searched first
        {"MY_POS_V2_I", BRT_VECTOR2_INTEGER},
        {"MY_TINT_RGB", BRT_COLOUR_RGB},
        {"MY_NAME_CSTR", BRT_CONSTANT_STRING},
        {"MY_NAME_STR", BRT_STRING},
        {"MY_ARGS_TVL", BRT_TOKEN_VALUE_LIST},
        {"MY_KIDS_OL", BRT_OBJECT_LIST},
        {"MY_WIN_H", BRT_HANDLE},
        {"MY_SCALE_X", BRT_FIXED},
        {"MY_ON_B", BRT_BOOLEAN},
        {"MY_TURN_A", BRT_ANGLE},
        {"_X", BRT_NONE},          // the name must be longer than the suffix
        {"my_count_i32", BRT_NONE}, // case matters
        {"PLAIN", BRT_NONE},
    };
    br_token next = BR_FIRST_RUNTIME_TOKEN;
    for (const Created &c : cases) {
        SCOPED_TRACE(c.name);
        br_token t = BrTokenCreate(c.name, 0);
        EXPECT_EQ(t, next++);
        EXPECT_EQ(BrTokenType(t), c.type);
        EXPECT_STREQ(BrTokenIdentifier(t), c.name);
        EXPECT_EQ(BrTokenCreate(c.name, 0), t);
        EXPECT_EQ(BrTokenCreate(c.name, BRT_INT_32), t);
    }
    EXPECT_EQ(BrTokenCount(nullptr), BR_PREDEFINED_TOKEN_COUNT + (int)(sizeof(cases) / sizeof(cases[0])));

    // A new begin starts the numbering over; the made tokens went with the end.
    BrFwEnd();
    ASSERT_EQ(BrFwBegin(), (br_error)BRE_OK);
    EXPECT_EQ(BrTokenFind("MY_COUNT_I32"), 0u);
    EXPECT_EQ(BrTokenCreate("OTHER_I32", 0), (br_token)BR_FIRST_RUNTIME_TOKEN);
    EXPECT_EQ(BrTokenCount(nullptr), BR_PREDEFINED_TOKEN_COUNT + 1);
}

TEST_F(TokenTable, FindBaseMatchesTheNameWithoutItsSuffix)
{
    br_token type = 0;
    const br_token i32[] = {BRT_INT_32};
    const br_token tok[] = {BRT_TOKEN};
    const br_token flt[] = {BRT_FLOAT};
    const br_token none[] = {BRT_NONE};
    const br_token both[] = {BRT_FLOAT, BRT_FIXED};

    EXPECT_EQ(BrTokenFindBase("width", i32, 1, &type), (br_token)BRT_WIDTH_I32);
    EXPECT_EQ(type, (br_token)BRT_INT_32);
    EXPECT_EQ(BrTokenFindBase("WIDTH", tok, 1, &type), (br_token)BRT_WIDTH_T);
    EXPECT_EQ(type, (br_token)BRT_TOKEN);
    EXPECT_EQ(BrTokenFindBase("width", flt, 1, nullptr), 0u);
    EXPECT_EQ(BrTokenFindBase("widt", i32, 1, nullptr), 0u);
    EXPECT_EQ(BrTokenFindBase("width_min", i32, 1, nullptr), (br_token)BRT_WIDTH_MIN_I32);
    // A name whose suffix is not that of its type is its own base.
    EXPECT_EQ(BrTokenFindBase("colour_rgb", none, 1, nullptr), (br_token)BRT_COLOUR_RGB);
    // Several types: the first in list order, the alphabetically last name.
    EXPECT_EQ(BrTokenFindBase("fog_min", both, 2, &type), (br_token)BRT_FOG_MIN_X);
    EXPECT_EQ(type, (br_token)BRT_FIXED);

    // Tokens made at run time have no base.
    BrTokenCreate("NEWTHING_I32", 0);
    EXPECT_EQ(BrTokenFindBase("newthing", i32, 1, nullptr), 0u);
}

} // namespace
