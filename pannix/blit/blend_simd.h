// Vector rows of the hot blend pairs, exact against blend_ops.h. The index picks the destination:
// 1 for RGB_565, 0 for RGB_555; alpha16 is first indexed by the source (1 for RGB_565).
#ifndef PANNIX_BLIT_BLEND_SIMD_H
#define PANNIX_BLIT_BLEND_SIMD_H

#include "blit_core.h"

namespace pxblit::simd {

// CopyRectTranspAlpha
extern const PairKernel alpha16[2][2];
extern const PairKernel alpha32[2];    // RGBA_8888 sources
extern const PairKernel alpha4444[2];  // ARGB_4444 sources
extern const PairKernel alpha_a565;    // type 10 to RGB_565

// CopyRectTransparent0
extern const PairKernel sprite32[2];
extern const PairKernel sprite4444[2];
extern const PairKernel sprite_a565;

}  // namespace pxblit::simd

#endif
