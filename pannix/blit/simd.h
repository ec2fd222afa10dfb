// Fast row kernels (SSE2 and AVX2, 16- and 32-bit lanes). Every intermediate fits its lane, so
// they are exact against the reference rows; tails run the reference, and no load or store
// reaches past the row's last pixel.
#ifndef PANNIX_BLIT_SIMD_H
#define PANNIX_BLIT_SIMD_H

#include "blit_core.h"

namespace pxblit::simd {

// 565 to 565 under user word 4 (half brightness); other words copy.
extern const PairKernel k565_565;
extern const PairKernel k555_565;
extern const PairKernel k565_555;
extern const PairKernel k32_565;  // RGBX_888 or RGBA_8888 to RGB_565
extern const PairKernel k32_555;
extern const PairKernel transp8, transp16, transp32;

}  // namespace pxblit::simd

#endif
