// The chunks the datafile fuzz target understands, and their writer for its seeds: a record of
// every member type, a counted block and a name.
#pragma once

#include <stddef.h>
#include <string.h>

#include "brondel/brcore.h"

namespace fuzz {

struct Inner {
    br_int_32 a;
    char *s;
};

struct Rec {
    br_int_8 i8;
    br_uint_16 u16;
    br_int_32 i32;
    br_fixed fx;
    br_angle ang;
    float f;
    double d;
    br_uint_8 raw_scalar[16]; // scalar, fraction, ufraction and vectors in either memory form
    br_uint_8 raw_fraction[4];
    br_uint_8 raw_ufraction[4];
    br_uint_8 raw_vector[16];
    br_uint_32 e32;
    Inner in;
    char *str;
    br_uint_32 col;
    br_int_16 ffr;
    br_uint_16 fufr;
    float flfr;
    br_fixed fv3[3];
    float flv4[4];
};

inline const DfEnumPair enum_pairs[] = {{0, "ZERO"}, {2, "TWO"}, {0xFACE, "FACE"}};
inline const DfEnumList enum_list = {3, enum_pairs};
inline const DfStructMember inner_members[] = {
    {DF_TYPE_INT_32, offsetof(Inner, a), "a", nullptr},
    {DF_TYPE_ASCIZ, offsetof(Inner, s), "s", nullptr},
};
inline const DfStructTemplate inner_template = {"inner", 2, inner_members, sizeof(Inner)};
inline const DfStructMember rec_members[] = {
    {DF_TYPE_INT_8, offsetof(Rec, i8), "i8", nullptr},
    {DF_TYPE_UINT_16, offsetof(Rec, u16), "u16", nullptr},
    {DF_TYPE_INT_32, offsetof(Rec, i32), "i32", nullptr},
    {DF_TYPE_FIXED, offsetof(Rec, fx), "fx", nullptr},
    {DF_TYPE_ANGLE, offsetof(Rec, ang), "ang", nullptr},
    {DF_TYPE_FLOAT, offsetof(Rec, f), "f", nullptr},
    {DF_TYPE_DOUBLE, offsetof(Rec, d), "d", nullptr},
    {DF_TYPE_SCALAR, offsetof(Rec, raw_scalar), "sc", nullptr},
    {DF_TYPE_FRACTION, offsetof(Rec, raw_fraction), "fr", nullptr},
    {DF_TYPE_UFRACTION, offsetof(Rec, raw_ufraction), "ufr", nullptr},
    {DF_TYPE_VECTOR4, offsetof(Rec, raw_vector), "v4", nullptr},
    {DF_TYPE_ENUM_32, offsetof(Rec, e32), "e32", &enum_list},
    {DF_TYPE_STRUCT, offsetof(Rec, in), "in", &inner_template},
    {DF_TYPE_ASCIZ, offsetof(Rec, str), "str", nullptr},
    {DF_TYPE_COLOUR, offsetof(Rec, col), "col", nullptr},
    {DF_TYPE_FIXED_FRACTION, offsetof(Rec, ffr), "ffr", nullptr},
    {DF_TYPE_FIXED_UFRACTION, offsetof(Rec, fufr), "fufr", nullptr},
    {DF_TYPE_FLOAT_FRACTION, offsetof(Rec, flfr), "flfr", nullptr},
    {DF_TYPE_FIXED_VECTOR3, offsetof(Rec, fv3), "fv3", nullptr},
    {DF_TYPE_FLOAT_VECTOR4, offsetof(Rec, flv4), "flv4", nullptr},
};
inline const DfStructTemplate rec_template = {"rec", sizeof(rec_members) / sizeof(rec_members[0]), rec_members,
                                              sizeof(Rec)};

// A whole file of the chunks the target reads, in the current write mode.
inline void write_datafile_seed(const char *name)
{
    static char inner_s[] = "inner text";
    static char str[] = "a string";
    Rec rec;
    memset(&rec, 0, sizeof(rec));
    rec.i8 = -5;
    rec.u16 = 600;
    rec.i32 = -70000;
    rec.fx = 0x28000;
    rec.ang = 0x2000;
    rec.f = 1.5f;
    rec.d = 2.25;
    rec.e32 = 0xFACE;
    rec.in.a = 9;
    rec.in.s = inner_s;
    rec.str = str;
    rec.col = 0xff8040;
    rec.ffr = -100;
    rec.fufr = 200;
    br_uint_16 block[24];
    for (int i = 0; i < 24; i++)
        block[i] = (br_uint_16)(i * 0x101);

    br_datafile *df = DfOpen(name, DF_DIRECTION_WRITE, BRT_FIXED);
    if (df == nullptr)
        return;
    DfFileInfoWrite(df, FILE_TYPE_MODEL);
    df->prims->chunk_write(df, FID_MODEL, df->prims->struct_size(df, &rec_template, &rec) * 2);
    DfStructWriteArray(df, &rec_template, &rec, 1);
    DfStructWriteArray(df, &rec_template, &rec, 1);
    df->prims->chunk_write(df, FID_VERTICES,
                           df->prims->count_size(df) + df->prims->block_size(df, block, 24, 48, 1, 2));
    df->prims->count_write(df, 24);
    df->prims->block_write(df, block, 6, 12, 4, 2);
    df->prims->chunk_write(df, FID_ACTOR, df->prims->name_size(df, "an actor"));
    df->prims->name_write(df, "an actor");
    df->prims->chunk_write(df, 99, df->prims->name_size(df, nullptr));
    df->prims->name_write(df, nullptr);
    DfChunkEndWrite(df);
    DfClose(df);
}

} // namespace fuzz
