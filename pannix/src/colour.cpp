// Colour values for DIB depths and pixel types.
#include "pannix/pxpix.h"
#include "vokplat/export.h"

namespace {

uint32_t rgb555(uint32_t r, uint32_t g, uint32_t b)
{
    return (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3;
}

uint32_t rgb565(uint32_t r, uint32_t g, uint32_t b)
{
    return (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3;
}

}  // namespace

VOK_EXPORT int32_t PxBr2Bpp(int32_t type)
{
    switch (type) {
    case 3:
        return 8;
    case 4:
        return 15;
    case 5:
    case PX_PMT_ARGB_4444:
        return 16;
    case 6:
    case PX_PMT_RGB565_ALPHA8:
        return 24;
    case 7:
    case 8:
        return 32;
    default:
        return 0;
    }
}

VOK_EXPORT uint32_t PxConvColor(int32_t bits, uint32_t r, uint32_t g, uint32_t b)
{
    r &= 0xFF, g &= 0xFF, b &= 0xFF;
    switch (bits) {
    case 15:
        return rgb555(r, g, b);
    case 16:
        return rgb565(r, g, b);
    case 24:
    case 32:
        return r << 16 | g << 8 | b;
    default:
        return 0;
    }
}

VOK_EXPORT uint32_t PxConvColorBr(int32_t type, uint32_t r, uint32_t g, uint32_t b)
{
    r &= 0xFF, g &= 0xFF, b &= 0xFF;
    switch (type) {
    case 4:
        return rgb555(r, g, b);
    case 5:
        return rgb565(r, g, b);
    case 6:
    case 7:
    case 8:
        return r << 16 | g << 8 | b;
    case PX_PMT_RGB565_ALPHA8:
        return rgb565(r, g, b) << 8 | 0xFF;
    case PX_PMT_ARGB_4444:
        return 0xF000 | (r & 0xF0) << 4 | (g & 0xF0) | b >> 4;
    default:
        return 0;
    }
}
