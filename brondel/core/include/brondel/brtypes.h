/* Basic scalar types of the 3D library, shared by the core and the scene side. */
#ifndef BRONDEL_BRTYPES_H
#define BRONDEL_BRTYPES_H

#include <stddef.h>
#include <stdint.h>

typedef int8_t br_int_8;
typedef uint8_t br_uint_8;
typedef int16_t br_int_16;
typedef uint16_t br_uint_16;
typedef int32_t br_int_32;
typedef uint32_t br_uint_32;
typedef int br_boolean;
typedef uint32_t br_error;
typedef size_t br_size_t;

/* This build works in single-precision floats. */
typedef float br_scalar;
/* Signed 16.16 fixed point, 1.0 = 0x10000. */
typedef int32_t br_fixed_ls;
typedef uint32_t br_fixed_lu;
typedef br_fixed_ls br_fixed;
/* 16-bit angle, 0x10000 to the turn; always read modulo 65536. */
typedef uint16_t br_angle;

#endif
