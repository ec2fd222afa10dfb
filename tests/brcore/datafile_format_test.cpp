// Datafiles: every member type both ways in both forms, the exact bytes and lines, blocks, names,
// chunk ids, the stack, and files of no known form.
#include <math.h>
#include <stddef.h>
#include <string.h>

#include <fstream>

#include "datafile_support.h"

namespace {

struct Inner {
    br_int_32 a;
    char *s;
};

struct Rec {
    br_int_8 i8;
    br_uint_8 u8;
    br_int_16 i16;
    br_uint_16 u16;
    br_int_32 i32;
    br_uint_32 u32;
    br_fixed fx;
    br_angle ang;
    float f;
    double d;
    union {
        br_fixed x;
        float f;
    } sc;
    union {
        br_int_16 x;
        float f;
    } fr;
    union {
        br_uint_16 x;
        float f;
    } ufr;
    br_uint_8 e8;
    br_uint_16 e16;
    br_uint_32 e32;
    Inner in;
    char *str;
    char *nul;
    br_uint_32 col;
    union {
        br_fixed x[4];
        float f[4];
    } v2, v3, v4;
    br_int_16 ffr;
    br_uint_16 fufr;
    float flfr;
    float flufr;
    br_fixed fv2[2], fv3[3], fv4[4];
    float flv2[2], flv3[3], flv4[4];
};

const DfEnumPair colour_pairs[] = {{0, "RED"}, {2, "GREEN"}, {0x1234, "BLUE"}, {FILE_TYPE_MODEL, "MODEL"}};
const DfEnumList colour_enum = {4, colour_pairs};

const DfStructMember inner_members[] = {
    {DF_TYPE_INT_32, offsetof(Inner, a), "a", nullptr},
    {DF_TYPE_ASCIZ, offsetof(Inner, s), "s", nullptr},
};
const DfStructTemplate inner_template = {"inner", 2, inner_members, sizeof(Inner)};

#define M(t, f) {t, offsetof(Rec, f), #f, nullptr}
const DfStructMember rec_members[] = {
    M(DF_TYPE_INT_8, i8),
    M(DF_TYPE_UINT_8, u8),
    M(DF_TYPE_INT_16, i16),
    M(DF_TYPE_UINT_16, u16),
    M(DF_TYPE_INT_32, i32),
    M(DF_TYPE_UINT_32, u32),
    M(DF_TYPE_FIXED, fx),
    M(DF_TYPE_ANGLE, ang),
    M(DF_TYPE_FLOAT, f),
    M(DF_TYPE_DOUBLE, d),
    M(DF_TYPE_SCALAR, sc),
    M(DF_TYPE_FRACTION, fr),
    M(DF_TYPE_UFRACTION, ufr),
    {DF_TYPE_ENUM_8, offsetof(Rec, e8), "e8", &colour_enum},
    {DF_TYPE_ENUM_16, offsetof(Rec, e16), "e16", &colour_enum},
    {DF_TYPE_ENUM_32, offsetof(Rec, e32), "e32", &colour_enum},
    {DF_TYPE_STRUCT, offsetof(Rec, in), "in", &inner_template},
    M(DF_TYPE_ASCIZ, str),
    M(DF_TYPE_ASCIZ, nul),
    M(DF_TYPE_COLOUR, col),
    M(DF_TYPE_VECTOR2, v2),
    M(DF_TYPE_VECTOR3, v3),
    M(DF_TYPE_VECTOR4, v4),
    M(DF_TYPE_FIXED_FRACTION, ffr),
    M(DF_TYPE_FIXED_UFRACTION, fufr),
    M(DF_TYPE_FLOAT_FRACTION, flfr),
    M(DF_TYPE_FLOAT_UFRACTION, flufr),
    M(DF_TYPE_FIXED_VECTOR2, fv2),
    M(DF_TYPE_FIXED_VECTOR3, fv3),
    M(DF_TYPE_FIXED_VECTOR4, fv4),
    M(DF_TYPE_FLOAT_VECTOR2, flv2),
    M(DF_TYPE_FLOAT_VECTOR3, flv3),
    M(DF_TYPE_FLOAT_VECTOR4, flv4),
};
#undef M
const DfStructTemplate rec_template = {"rec", sizeof(rec_members) / sizeof(rec_members[0]), rec_members,
                                       sizeof(Rec)};

char hello[] = "hello world";
char inner_text[] = "in";

Rec sample(bool fixed)
{
    Rec r;
    memset(&r, 0, sizeof(r));
    r.i8 = -128;
    r.u8 = 255;
    r.i16 = -32768;
    r.u16 = 65535;
    r.i32 = INT32_MIN;
    r.u32 = 0xffffffffu;
    r.fx = 0x18000;
    r.ang = 0x4000;
    r.f = 0.25f;
    r.d = -2.5;
    if (fixed) {
        r.sc.x = -0x28000;
        r.fr.x = 16384;
        r.ufr.x = 0x4000;
        for (int i = 0; i < 4; i++)
            r.v2.x[i] = r.v3.x[i] = r.v4.x[i] = (i + 1) * 0x8000;
    } else {
        r.sc.f = -2.5f;
        r.fr.f = 0.5f;
        r.ufr.f = 0.25f;
        for (int i = 0; i < 4; i++)
            r.v2.f[i] = r.v3.f[i] = r.v4.f[i] = (i + 1) * 0.5f;
    }
    r.e8 = 2;
    r.e16 = 0x1234;
    r.e32 = FILE_TYPE_MODEL;
    r.in.a = 77;
    r.in.s = inner_text;
    r.str = hello;
    r.nul = nullptr;
    r.col = 0x123456;
    r.ffr = -16384;
    r.fufr = 0xc000;
    r.flfr = -0.5f;
    r.flufr = 0.125f;
    for (int i = 0; i < 4; i++) {
        br_fixed v = (i - 1) * 0x14000;
        float fv = (i - 1) * 1.25f;
        if (i < 2) { r.fv2[i] = v; r.flv2[i] = fv; }
        if (i < 3) { r.fv3[i] = v; r.flv3[i] = fv; }
        r.fv4[i] = v;
        r.flv4[i] = fv;
    }
    return r;
}

void expect_same(const Rec &a, const Rec &b, bool fixed)
{
    EXPECT_EQ(a.i8, b.i8);
    EXPECT_EQ(a.u8, b.u8);
    EXPECT_EQ(a.i16, b.i16);
    EXPECT_EQ(a.u16, b.u16);
    EXPECT_EQ(a.i32, b.i32);
    EXPECT_EQ(a.u32, b.u32);
    EXPECT_EQ(a.fx, b.fx);
    EXPECT_EQ(a.ang, b.ang);
    EXPECT_EQ(a.f, b.f);
    EXPECT_EQ(a.d, b.d);
    if (fixed) {
        EXPECT_EQ(a.sc.x, b.sc.x);
        EXPECT_EQ(a.fr.x, b.fr.x);
        EXPECT_EQ(a.ufr.x, b.ufr.x);
        EXPECT_EQ(0, memcmp(a.v2.x, b.v2.x, 2 * 4));
        EXPECT_EQ(0, memcmp(a.v3.x, b.v3.x, 3 * 4));
        EXPECT_EQ(0, memcmp(a.v4.x, b.v4.x, 4 * 4));
    } else {
        EXPECT_EQ(a.sc.f, b.sc.f);
        EXPECT_EQ(a.fr.f, b.fr.f);
        EXPECT_EQ(a.ufr.f, b.ufr.f);
        EXPECT_EQ(0, memcmp(a.v2.f, b.v2.f, 2 * 4));
        EXPECT_EQ(0, memcmp(a.v3.f, b.v3.f, 3 * 4));
        EXPECT_EQ(0, memcmp(a.v4.f, b.v4.f, 4 * 4));
    }
    EXPECT_EQ(a.e8, b.e8);
    EXPECT_EQ(a.e16, b.e16);
    EXPECT_EQ(a.e32, b.e32);
    EXPECT_EQ(a.in.a, b.in.a);
    ASSERT_NE(b.in.s, nullptr);
    EXPECT_STREQ(a.in.s, b.in.s);
    ASSERT_NE(b.str, nullptr);
    EXPECT_STREQ(a.str, b.str);
    EXPECT_EQ(b.nul, nullptr);
    EXPECT_EQ(a.col, b.col);
    EXPECT_EQ(a.ffr, b.ffr);
    EXPECT_EQ(a.fufr, b.fufr);
    EXPECT_EQ(a.flfr, b.flfr);
    EXPECT_EQ(a.flufr, b.flufr);
    EXPECT_EQ(0, memcmp(a.fv2, b.fv2, sizeof(a.fv2)));
    EXPECT_EQ(0, memcmp(a.fv3, b.fv3, sizeof(a.fv3)));
    EXPECT_EQ(0, memcmp(a.fv4, b.fv4, sizeof(a.fv4)));
    EXPECT_EQ(0, memcmp(a.flv2, b.flv2, sizeof(a.flv2)));
    EXPECT_EQ(0, memcmp(a.flv3, b.flv3, sizeof(a.flv3)));
    EXPECT_EQ(0, memcmp(a.flv4, b.flv4, sizeof(a.flv4)));
}

// Writes one record chunk (id 54) and an end chunk.
void write_rec(const std::string &name, int mode, br_uint_32 scalar, Rec *rec, int n = 1)
{
    DfWriteModeSet(mode);
    br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_WRITE, scalar);
    ASSERT_NE(df, nullptr);
    DfFileInfoWrite(df, FILE_TYPE_MODEL);
    br_uint_32 size = 0;
    for (int i = 0; i < n; i++)
        size += df->prims->struct_size(df, &rec_template, &rec[i]);
    df->prims->chunk_write(df, FID_MODEL, size);
    DfStructWriteArray(df, &rec_template, rec, n);
    DfChunkEndWrite(df);
    DfClose(df);
}

struct Reader {
    static Rec *out;
    static int models;
    static int handler(br_datafile *df, br_uint_32 id, br_uint_32 length, br_uint_32 count)
    {
        if (id == FID_END)
            return 1;
        models++;
        DfStructReadArray(df, &rec_template, out, 1);
        return 0;
    }
};
Rec *Reader::out;
int Reader::models;

const DfChunkEntry reader_entries[] = {{FID_END, 0, Reader::handler}, {FID_MODEL, 0, Reader::handler}};
const DfChunkTable reader_table = {2, reader_entries};

// Opens a file for reading and steps over its FILE_INFO chunk.
br_datafile *open_after_info(const std::string &name)
{
    br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_READ, BRT_FIXED);
    if (df == nullptr)
        return nullptr;
    br_uint_32 length;
    EXPECT_EQ(df->prims->chunk_read(df, &length), FID_FILE_INFO);
    df->prims->skip(df, length);
    return df;
}

struct FormCase {
    int mode;
    br_uint_32 scalar;
};

class DfRoundTrip : public DfTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(DfRoundTrip, EveryMemberType)
{
    bool fixed = GetParam().scalar == BRT_FIXED;
    Rec in = sample(fixed);
    std::string name = path("all.dat");
    write_rec(name, GetParam().mode, GetParam().scalar, &in);

    Rec out;
    memset(&out, 0, sizeof(out));
    Reader::out = &out;
    Reader::models = 0;
    br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_READ, GetParam().scalar);
    ASSERT_NE(df, nullptr);
    EXPECT_STREQ(df->prims->identifier, GetParam().mode == DF_MODE_TEXT ? "Read Text" : "Read Binary");
    EXPECT_EQ(DfChunksInterpret(df, &reader_table), 1);
    DfClose(df);
    EXPECT_EQ(Reader::models, 1);
    expect_same(in, out, fixed);
    EXPECT_TRUE(DiagLog::failures.empty()) << DiagLog::failures[0];
}

INSTANTIATE_TEST_SUITE_P(Forms, DfRoundTrip,
                         ::testing::Values(FormCase{DF_MODE_BINARY, BRT_FIXED}, FormCase{DF_MODE_BINARY, BRT_FLOAT},
                                           FormCase{DF_MODE_TEXT, BRT_FIXED}, FormCase{DF_MODE_TEXT, BRT_FLOAT}),
                         [](const auto &info) {
                             return std::string(info.param.mode == DF_MODE_TEXT ? "Text" : "Binary") +
                                    (info.param.scalar == BRT_FIXED ? "Fixed" : "Float");
                         });

TEST_F(DfTest, BinaryBytesAreExact)
{
    Rec in = sample(true);
    write_rec(path("b.dat"), DF_MODE_BINARY, BRT_FIXED, &in);
    std::string b = bytes("b.dat");
    // FILE_INFO: header, FILE_TYPE_MODEL, version 2.
    EXPECT_EQ(hex_of(b.substr(0, 16)), "00000012000000080000face00000002");
    // The record's chunk: id 54 and its length, then the members packed without padding.
    std::string rec = b.substr(24);
    EXPECT_EQ(hex_of(b.substr(16, 4)), "00000036");
    EXPECT_EQ(hex_of(rec.substr(0, 14)), "80ff8000ffff80000000ffffffff");
    EXPECT_EQ(hex_of(rec.substr(14, 4)), "3fc00000"); // fixed 1.5 as a float
    EXPECT_EQ(hex_of(rec.substr(18, 2)), "4000");     // angle raw
    // After float, double, scalar (4), fraction (4), ufraction (4): the enums.
    EXPECT_EQ(hex_of(rec.substr(44, 7)), "021234" "0000face");
    // Nested record, strings with their 0 bytes, colour in three bytes.
    EXPECT_EQ(rec.substr(51, 4 + 3 + 12 + 1 + 3), std::string("\0\0\0\x4d" "in\0hello world\0\0\x12\x34\x56", 23));
    // fixed_fraction -16384 is -0.5.
    size_t ffr = 51 + 23 + 4 * (2 + 3 + 4);
    EXPECT_EQ(hex_of(rec.substr(ffr, 4)), "bf000000");
    EXPECT_EQ(hex_of(rec.substr(ffr + 4, 4)), "3f400000");
    // The size operation gave the chunk's length.
    br_uint_32 len = ((unsigned char)b[20] << 24) | ((unsigned char)b[21] << 16) | ((unsigned char)b[22] << 8) |
                     (unsigned char)b[23];
    EXPECT_EQ(len + 24 + 8, b.size());
}

TEST_F(DfTest, TextLinesAreExact)
{
    Rec in = sample(true);
    write_rec(path("t.dat"), DF_MODE_TEXT, BRT_FIXED, &in);
    std::string t = bytes("t.dat");
    EXPECT_EQ(t.substr(0, 8), "*FILE_IN");
    EXPECT_NE(t.find("*FILE_INFO        3\n"
                     "  struct    file_info\n"
                     "    enum_32   FILE_TYPE_MODEL                          # type\n"
                     "    uint_32   2                                        # version\n"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("    angle     90                                       # ang\n"), std::string::npos);
    EXPECT_NE(t.find("    enum_32   MODEL "), std::string::npos);
    EXPECT_NE(t.find("    struct    inner                                    # in\n"
                     "      int_32    77                                       # a\n"
                     "      asciz     \"in\"                                     # s\n"),
              std::string::npos);
    EXPECT_NE(t.find("    asciz     NULL                                     # nul\n"), std::string::npos);
    EXPECT_NE(t.find("    colour    18,52,86                                 # col\n"), std::string::npos);
    // Long type names keep a space before the value.
    EXPECT_NE(t.find("    fixed_fraction -0.5                                     # ffr\n"), std::string::npos);
    EXPECT_NE(t.find("    fixed_vector3 -1.25,0,1.25"), std::string::npos);
    EXPECT_NE(t.find("    fixed     -2.5 "), std::string::npos); // scalar under FIXED
    EXPECT_NE(t.find("*MODEL            36\n"), std::string::npos);
    EXPECT_NE(t.find("*END              0\n"), std::string::npos);
}

// A block of rows with a stride, in both forms: elements reversed, rows gathered.
TEST_F(DfTest, BlocksOfRowsAndElements)
{
    // Two rows of two 3-byte elements with one byte of padding per row.
    const br_uint_8 rows[14] = {1, 2, 3, 4, 5, 6, 0xee, 7, 8, 9, 10, 11, 12, 0xee};
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        std::string name = path(mode ? "bt.dat" : "bb.dat");
        DfWriteModeSet(mode);
        br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
        ASSERT_NE(df, nullptr);
        DfFileInfoWrite(df, FILE_TYPE_PIXELMAP);
        br_uint_32 size = df->prims->block_size(df, rows, 2, 7, 2, 3);
        EXPECT_EQ(size, mode ? 3u : 20u);
        df->prims->chunk_write(df, FID_PIXELS, size);
        df->prims->block_write(df, rows, 2, 7, 2, 3);
        DfClose(df);

        std::string b = bytes(mode ? "bt.dat" : "bb.dat");
        if (mode == DF_MODE_BINARY) {
            EXPECT_EQ(hex_of(b.substr(16)), "0000002100000014" "0000000400000003" "030201060504090807" "0c0b0a");
        } else {
            EXPECT_EQ(b.substr(b.find("*PIXELS")),
                      "*PIXELS           3\n  block 4\n  size 3\n    00000000: 0302010605040908070c0b0a\n");
        }

        df = open_after_info(name);
        ASSERT_NE(df, nullptr);
        br_uint_32 length;
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_PIXELS);
        br_uint_32 count = 0;
        br_uint_8 *got = (br_uint_8 *)df->prims->block_read(df, nullptr, &count, 3, BR_MEMORY_SCRATCH);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(count, 4u);
        EXPECT_EQ(hex_of(std::string((char *)got, 12)), "0102030405060708090a0b0c");
        BrResFree(got);
        DfClose(df);
    }
    EXPECT_TRUE(DiagLog::failures.empty());
}

// A block longer than the caller's buffer fills the buffer only, and the parse stays in step.
TEST_F(DfTest, BlockLongerThanBufferStaysInside)
{
    br_uint_16 data[40];
    for (int i = 0; i < 40; i++)
        data[i] = (br_uint_16)(0x100 + i);
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        DiagLog::clear();
        std::string name = path("long.dat");
        DfWriteModeSet(mode);
        br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
        DfFileInfoWrite(df, FILE_TYPE_MODEL);
        df->prims->chunk_write(df, FID_VERTICES, df->prims->block_size(df, data, 40, 80, 1, 2));
        df->prims->block_write(df, data, 40, 80, 1, 2);
        DfChunkEndWrite(df);
        DfClose(df);

        df = open_after_info(name);
        ASSERT_NE(df, nullptr);
        br_uint_32 length;
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_VERTICES);
        std::vector<br_uint_16> buf(11, 0xdead);
        br_uint_32 count = 10;
        EXPECT_EQ(df->prims->block_read(df, buf.data(), &count, 2, 0), buf.data());
        EXPECT_EQ(count, 10u);
        EXPECT_EQ(buf[9], 0x109);
        EXPECT_EQ(buf[10], 0xdead);
        EXPECT_TRUE(failed_with("block too long: 40"));
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_END);
        DfClose(df);
    }
}

TEST_F(DfTest, NamesAndCounts)
{
    std::string long_name(300, 'n');
    long_name[0] = 'A';
    for (int mode : {DF_MODE_BINARY, DF_MODE_TEXT}) {
        DiagLog::clear();
        std::string name = path("names.dat");
        DfWriteModeSet(mode);
        br_datafile *df = DfOpen(name.c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
        DfFileInfoWrite(df, FILE_TYPE_ACTORS);
        df->prims->chunk_write(df, FID_ACTOR, df->prims->count_size(df) + df->prims->name_size(df, long_name.c_str()));
        df->prims->count_write(df, 123456);
        df->prims->name_write(df, long_name.c_str());
        df->prims->chunk_write(df, FID_ACTOR, df->prims->name_size(df, nullptr));
        df->prims->name_write(df, nullptr);
        DfChunkEndWrite(df);
        DfClose(df);
        if (mode == DF_MODE_BINARY) {
            EXPECT_EQ(bytes("names.dat").size(), 16 + 8 + 4 + 301 + 8 + 1 + 8u);
        }

        df = open_after_info(name);
        ASSERT_NE(df, nullptr);
        br_uint_32 length;
        char buf[256];
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_ACTOR);
        EXPECT_EQ(df->prims->count_read(df), 123456u);
        df->prims->name_read(df, buf);
        // Binary keeps 255 characters; a text line keeps 256, of which the name gets what follows the
        // quote. Either way the rest is consumed and the next chunk is found.
        std::string got = buf;
        EXPECT_EQ(got, long_name.substr(0, mode == DF_MODE_BINARY ? 255 : 248));
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_ACTOR);
        df->prims->name_read(df, buf);
        EXPECT_STREQ(buf, mode == DF_MODE_BINARY ? "" : "NULL");
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_END);
        EXPECT_EQ(df->prims->chunk_read(df, &length), -1);
        DfClose(df);
        EXPECT_TRUE(DiagLog::failures.empty());
    }
}

TEST_F(DfTest, TextChunkIds)
{
    dir.write("ids.txt", "*FILE_INFO 3\n  struct    file_info\n    enum_32   FILE_TYPE_NONE\n    uint_32   2\n"
                         "\n   \t\n*0x0000004a 0\r\n*MATERIAL_OLD 0\n*NO_SUCH_CHUNK 1\nskipped line\n*0x10 0\n"
                         "not a chunk\n");
    br_datafile *df = DfOpen(path("ids.txt").c_str(), DF_DIRECTION_READ, BRT_FIXED);
    ASSERT_NE(df, nullptr);
    br_uint_32 length;
    EXPECT_EQ(df->prims->chunk_read(df, &length), FID_FILE_INFO);
    EXPECT_EQ(length, 3u);
    df->prims->skip(df, length);
    EXPECT_EQ(df->prims->chunk_read(df, &length), 74);
    EXPECT_EQ(df->prims->chunk_read(df, &length), FID_MATERIAL_OLD); // the first of the two
    br_int_32 unknown = df->prims->chunk_read(df, &length);
    EXPECT_TRUE(failed_with("Chunk ID not known: NO_SUCH_CHUNK"));
    EXPECT_NE(unknown, -1);
    df->prims->skip(df, length);
    EXPECT_EQ(df->prims->chunk_read(df, &length), 16);
    EXPECT_EQ(df->prims->chunk_read(df, &length), -1);
    EXPECT_TRUE(failed_with("Chunk ID not found"));
    DfClose(df);
}

TEST_F(DfTest, FilesOfNoKnownForm)
{
    dir.write("empty.dat", "");
    EXPECT_EQ(DfOpen(path("empty.dat").c_str(), DF_DIRECTION_READ, BRT_FIXED), nullptr);
    EXPECT_EQ(DfOpen(path("missing.dat").c_str(), DF_DIRECTION_READ, BRT_FIXED), nullptr);

    for (const char *content : {"GIF89a and more", "abc"}) {
        DiagLog::clear();
        dir.write("other.dat", content);
        br_datafile *df = DfOpen(path("other.dat").c_str(), DF_DIRECTION_READ, BRT_FIXED);
        ASSERT_NE(df, nullptr);
        EXPECT_STREQ(df->prims->identifier, "NULL");
        EXPECT_EQ(DfChunksInterpret(df, &reader_table), 0);
        EXPECT_TRUE(failed_with("Invald file primitive call"));
        DfClose(df);
    }
    // A reader's primitives refuse to write, and the other way round.
    DiagLog::clear();
    DfWriteModeSet(DF_MODE_BINARY);
    br_datafile *df = DfOpen(path("w.dat").c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
    br_uint_32 length;
    EXPECT_EQ(df->prims->chunk_read(df, &length), -1);
    EXPECT_TRUE(failed_with("Invald file primitive call"));
    DfClose(df);
}

TEST_F(DfTest, StackLimitsAndTypes)
{
    ASSERT_EQ(DfTopType(), 0);
    int depth = 0;
    // Fill to the limit: the 1025th entry is refused.
    while (DiagLog::failures.empty() && depth < 2000) {
        DfPush(7, &depth, depth);
        depth++;
    }
    EXPECT_EQ(depth, 1025);
    EXPECT_TRUE(failed_with("DatafileStack Overflow"));
    int count;
    EXPECT_EQ(DfPop(7, &count), &depth);
    EXPECT_EQ(count, 1023);
    while (DfTopType() == 7)
        DfPop(7, nullptr);

    DiagLog::clear();
    int value = 5;
    DfPush(2, &value, 1);
    EXPECT_EQ(DfTop(2, &count), &value);
    EXPECT_EQ(DfPop(3, &count), nullptr); // the wrong type is never handed out
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(failed_with("DatafileStack type mismatch, wanted 3, got 2"));
    EXPECT_EQ(DfTopType(), 0);
    DiagLog::clear();
    EXPECT_EQ(DfPop(2, nullptr), nullptr);
    EXPECT_TRUE(failed_with("DatafileStack Underflow"));
}

// A datafile pushes its own entry; closing it drops what its handlers left above.
TEST_F(DfTest, CloseDropsLeftovers)
{
    DfWriteModeSet(DF_MODE_BINARY);
    br_datafile *df = DfOpen(path("x.dat").c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
    EXPECT_EQ(DfTopType(), DF_STACK_FILE);
    int v;
    DfPush(2, &v, 1);
    DfPush(2, &v, 1);
    DfClose(df);
    EXPECT_EQ(DfTopType(), 0);
    EXPECT_TRUE(DiagLog::failures.empty());
}

// Text records: messages for each kind of damage, and the reading goes on.
TEST_F(DfTest, TextRecordDamage)
{
    struct Case {
        const char *text;
        const char *message;
    } cases[] = {
        {"  thing  rec\n", "Unknown text identifer \"thing\""},
        {"  struct  other\n", "Incorrect structure name \"other\""},
        {"  struct  rec\n    int_16  1\n", "Unknown member identifer \"int_16\""},
        {"  struct  rec\n    int_8  1\n", "Unexpected EOF in strructure"},
    };
    for (const Case &c : cases) {
        DiagLog::clear();
        dir.write("bad.txt", std::string("*FILE_INFO 3\n  struct file_info\n enum_32 FILE_TYPE_NONE\n uint_32 2\n"
                                         "*MODEL 40\n") +
                                 c.text);
        br_datafile *df = DfOpen(path("bad.txt").c_str(), DF_DIRECTION_READ, BRT_FIXED);
        ASSERT_NE(df, nullptr);
        Rec out;
        memset(&out, 0, sizeof(out));
        Reader::out = &out;
        DfChunksInterpret(df, &reader_table);
        DfClose(df);
        EXPECT_TRUE(failed_with(c.message)) << c.text;
    }

    const DfStructMember m[] = {{DF_TYPE_ENUM_32, offsetof(Rec, e32), "e", &colour_enum},
                                {DF_TYPE_COLOUR, offsetof(Rec, col), "c", nullptr},
                                {DF_TYPE_FLOAT_VECTOR3, offsetof(Rec, flv3), "v", nullptr}};
    const DfStructTemplate t = {"t", 3, m, sizeof(Rec)};
    dir.write("vals.txt", "*FILE_INFO 3\n  struct file_info\n enum_32 FILE_TYPE_NONE\n uint_32 2\n"
                          "*MODEL 4\n struct t\n enum_32 PURPLE\n colour 1,2\n float_vector3 1,2\n");
    DiagLog::clear();
    br_datafile *df = DfOpen(path("vals.txt").c_str(), DF_DIRECTION_READ, BRT_FIXED);
    br_uint_32 length;
    df->prims->chunk_read(df, &length);
    df->prims->skip(df, length);
    df->prims->chunk_read(df, &length);
    Rec out;
    memset(&out, 0xff, sizeof(out));
    EXPECT_EQ(df->prims->struct_read(df, &t, &out), 1);
    DfClose(df);
    EXPECT_TRUE(failed_with("Unknown enum string: PURPLE"));
    EXPECT_TRUE(failed_with("Incorrect colour"));
    EXPECT_TRUE(failed_with("Incorrect vector"));
    EXPECT_EQ(out.e32, 0u);

    // Writing an enum value the list lacks.
    DiagLog::clear();
    DfWriteModeSet(DF_MODE_TEXT);
    df = DfOpen(path("enum.txt").c_str(), DF_DIRECTION_WRITE, BRT_FIXED);
    out.e32 = 99;
    df->prims->struct_write(df, &t, &out);
    DfClose(df);
    EXPECT_TRUE(failed_with("Unknown enum 99"));
}

TEST_F(DfTest, ScalarTypeMustBeKnown)
{
    const DfStructMember m[] = {{DF_TYPE_SCALAR, 0, "s", nullptr}, {DF_TYPE_INT_8, 4, "i", nullptr}};
    const DfStructTemplate t = {"t", 2, m, 8};
    DfWriteModeSet(DF_MODE_BINARY);
    br_datafile *df = DfOpen(path("s.dat").c_str(), DF_DIRECTION_WRITE, 999);
    br_uint_8 rec[8] = {1, 2, 3, 4, 5};
    EXPECT_EQ(df->prims->struct_size(df, &t, rec), 1u); // the scalar writes nothing
    EXPECT_TRUE(failed_with("Incorrect scalar type"));
    DfClose(df);
}

// Blocks whose header claims more than the chunk holds, or another element size, are refused
// before anything is allocated.
TEST_F(DfTest, BlockHeadersAreChecked)
{
    std::string head("\0\0\0\x12\0\0\0\x08\0\0\0\x00\0\0\0\x02", 16);
    struct Case {
        std::string chunk;
        const char *message;
    } cases[] = {
        {std::string("\0\0\0\x21\0\0\0\x10" "\x7f\xff\xff\xff\0\0\0\x01" "abcdefgh", 24), "larger than its chunk"},
        {std::string("\0\0\0\x21\0\0\0\x10" "\0\0\0\x02\0\0\0\x02" "abcdefgh", 24), "block size mismatch"},
        {std::string("\0\0\0\x21\xff\xff\xff\xff" "\x7f\xff\xff\xff\0\0\0\x01" "abcdefgh", 24), "cut short"},
    };
    for (const Case &c : cases) {
        DiagLog::clear();
        dir.write("blk.dat", head + c.chunk);
        br_datafile *df = DfOpen(path("blk.dat").c_str(), DF_DIRECTION_READ, BRT_FIXED);
        ASSERT_NE(df, nullptr);
        br_uint_32 length, count = 0;
        df->prims->chunk_read(df, &length);
        df->prims->skip(df, length);
        EXPECT_EQ(df->prims->chunk_read(df, &length), FID_PIXELS);
        EXPECT_EQ(df->prims->block_read(df, nullptr, &count, 1, BR_MEMORY_SCRATCH), nullptr);
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(failed_with(c.message)) << c.message;
        DfClose(df);
    }
}

} // namespace
