/* 16.16 fixed-point kernels and table-driven trigonometry on 16-bit angles. */
#ifndef BRONDEL_BRFIXED_H
#define BRONDEL_BRFIXED_H

#include "brondel/brtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BR_FIXED_ONE 0x10000

br_fixed_ls BrFixedAbs(br_fixed_ls a);
br_fixed_ls BrFixedMul(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedMac2(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d);
br_fixed_ls BrFixedMac3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f);
br_fixed_ls BrFixedMac4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                        br_fixed_ls g, br_fixed_ls h);
br_fixed_ls BrFixedSqr(br_fixed_ls a);
br_fixed_ls BrFixedSqr2(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedSqr3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c);
br_fixed_ls BrFixedSqr4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d);
br_fixed_ls BrFixedLength2(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedLength3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c);
br_fixed_ls BrFixedLength4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d);
br_fixed_ls BrFixedRLength2(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedRLength3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c);
br_fixed_ls BrFixedRLength4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d);

/* A division by zero answers the largest value of the dividend's sign instead of trapping. */
br_fixed_ls BrFixedDiv(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedDivFloor(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedDivF(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedDivAngle(br_fixed_ls a, br_fixed_ls b);
br_fixed_ls BrFixedMulDiv(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c);
br_fixed_ls BrFixedMac2Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e);
br_fixed_ls BrFixedMac3Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                           br_fixed_ls g);
br_fixed_ls BrFixedMac4Div(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                           br_fixed_ls g, br_fixed_ls h, br_fixed_ls i);
br_fixed_ls BrFixedFMac2(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d);
br_fixed_ls BrFixedFMac3(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f);
br_fixed_ls BrFixedFMac4(br_fixed_ls a, br_fixed_ls b, br_fixed_ls c, br_fixed_ls d, br_fixed_ls e, br_fixed_ls f,
                         br_fixed_ls g, br_fixed_ls h);
br_fixed_ls BrFixedRcp(br_fixed_ls a);

br_fixed_ls BrFixedSin(br_angle a);
br_fixed_ls BrFixedCos(br_angle a);
br_angle BrFixedASin(br_fixed_ls x);
br_angle BrFixedACos(br_fixed_ls x);
br_angle BrFixedATan2(br_fixed_ls y, br_fixed_ls x);
br_angle BrFixedATan2Fast(br_fixed_ls y, br_fixed_ls x);

br_uint_16 BrSqrt(br_uint_32 a);
br_uint_32 BrSqrt64(br_uint_32 high, br_uint_32 low);
br_uint_32 BrFastSqrt(br_uint_32 a);
/* 2^32 / sqrt(a); 0 for 0. */
br_uint_32 BrFastRSqrt(br_uint_32 a);
/* 2^32 / sqrt(high * 2^32 + low); 0 for 0. */
br_uint_32 BrFastRSqrt64(br_uint_32 high, br_uint_32 low);

#ifdef __cplusplus
}
#endif

#endif
