/* Reading and writing members of records in memory; the file forms go through these so that no
 * record is ever copied whole. */
#ifndef BRONDEL_DFMEMBER_H
#define BRONDEL_DFMEMBER_H

#include <float.h>
#include <string.h>

#include "dfint.h"

template <class T> inline T df_load(const void *p)
{
    T v;
    memcpy(&v, p, sizeof(v));
    return v;
}

template <class T> inline void df_store(void *p, T v)
{
    memcpy(p, &v, sizeof(v));
}

/* Elements of the vector types (2 to 4), 0 for others. */
inline int df_vector_elements(br_uint_32 t)
{
    if (t >= DF_TYPE_FIXED_VECTOR2 && t <= DF_TYPE_FIXED_VECTOR4)
        return (int)(t - DF_TYPE_FIXED_VECTOR2) + 2;
    if (t >= DF_TYPE_FLOAT_VECTOR2 && t <= DF_TYPE_FLOAT_VECTOR4)
        return (int)(t - DF_TYPE_FLOAT_VECTOR2) + 2;
    return 0;
}

inline bool df_is_fixed_vector(br_uint_32 t)
{
    return t >= DF_TYPE_FIXED_VECTOR2 && t <= DF_TYPE_FIXED_VECTOR4;
}

/* A file's double as a float, held to the float's range. */
inline float df_to_float(double v)
{
    if (v > FLT_MAX)
        return FLT_MAX;
    if (v < -FLT_MAX)
        return -FLT_MAX;
    return (float)v;
}

/* The floating value of a fixed-point or float member (types fixed, fixed_fraction, fixed_ufraction,
 * float, float_fraction, float_ufraction, double), and its store back from a file value. */
inline double df_real_get(const void *p, br_uint_32 t)
{
    switch (t) {
    case DF_TYPE_FIXED: return df_load<br_int_32>(p) / 65536.0;
    case DF_TYPE_FIXED_FRACTION: return df_load<br_int_16>(p) / 32768.0;
    case DF_TYPE_FIXED_UFRACTION: return df_load<br_uint_16>(p) / 65536.0;
    case DF_TYPE_DOUBLE: return df_load<double>(p);
    default: return df_load<float>(p);
    }
}

inline void df_real_set(void *p, br_uint_32 t, double v)
{
    switch (t) {
    case DF_TYPE_FIXED: df_store<br_int_32>(p, df_float_to_fixed(v, 65536.0, INT32_MIN, INT32_MAX)); break;
    case DF_TYPE_FIXED_FRACTION: df_store<br_int_16>(p, (br_int_16)df_float_to_fixed(v, 32768.0, -32768, 32767)); break;
    case DF_TYPE_FIXED_UFRACTION: df_store<br_uint_16>(p, (br_uint_16)df_float_to_fixed(v, 65536.0, 0, 65535)); break;
    case DF_TYPE_DOUBLE: df_store<double>(p, v); break;
    default: df_store<float>(p, df_to_float(v)); break;
    }
}

/* Integer members: width in bytes and signedness. */
inline int df_int_width(br_uint_32 t, bool *is_signed)
{
    *is_signed = t == DF_TYPE_INT_8 || t == DF_TYPE_INT_16 || t == DF_TYPE_INT_32;
    switch (t) {
    case DF_TYPE_INT_8: case DF_TYPE_UINT_8: case DF_TYPE_ENUM_8: return 1;
    case DF_TYPE_INT_16: case DF_TYPE_UINT_16: case DF_TYPE_ENUM_16: case DF_TYPE_ANGLE: return 2;
    case DF_TYPE_INT_32: case DF_TYPE_UINT_32: case DF_TYPE_ENUM_32: case DF_TYPE_COLOUR: return 4;
    default: return 0;
    }
}

inline int64_t df_int_get(const void *p, br_uint_32 t)
{
    bool s;
    switch (df_int_width(t, &s)) {
    case 1: return s ? (int64_t)df_load<br_int_8>(p) : (int64_t)df_load<br_uint_8>(p);
    case 2: return s ? (int64_t)df_load<br_int_16>(p) : (int64_t)df_load<br_uint_16>(p);
    case 4: return s ? (int64_t)df_load<br_int_32>(p) : (int64_t)df_load<br_uint_32>(p);
    default: return 0;
    }
}

inline void df_int_set(void *p, br_uint_32 t, int64_t v)
{
    bool s;
    switch (df_int_width(t, &s)) {
    case 1: df_store<br_uint_8>(p, (br_uint_8)v); break;
    case 2: df_store<br_uint_16>(p, (br_uint_16)v); break;
    case 4: df_store<br_uint_32>(p, (br_uint_32)v); break;
    default: break;
    }
}

inline bool df_is_real(br_uint_32 t)
{
    return t == DF_TYPE_FIXED || t == DF_TYPE_FLOAT || t == DF_TYPE_DOUBLE || t == DF_TYPE_FIXED_FRACTION ||
           t == DF_TYPE_FIXED_UFRACTION || t == DF_TYPE_FLOAT_FRACTION || t == DF_TYPE_FLOAT_UFRACTION;
}

inline bool df_is_enum(br_uint_32 t)
{
    return t == DF_TYPE_ENUM_8 || t == DF_TYPE_ENUM_16 || t == DF_TYPE_ENUM_32;
}

#endif
