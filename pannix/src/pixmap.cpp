// Px pixel maps: the 3D library's pixel maps plus Pannix's types 10 and 18, which the 3D library
// handles as the types of the same layout for the length of each call.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "pannix/pxpix.h"
#include "pixmap.h"
#include "pxstate.h"
#include "vokplat/export.h"
#if PANNIX_HAVE_BLIT
#include "blit_api.h"
#include "pannix/pxblit.h"
#endif

namespace {

br_pixelmap *g_blend_table;
int32_t g_transp_method;
uint32_t g_fix_colour = 0xFFFFFFFFu;

// The 3D library's type of the same pixel layout.
br_uint_8 brondel_type(br_uint_8 type)
{
    if (type == PX_PMT_RGB565_ALPHA8)
        return BR_PMT_RGB_888;
    if (type == PX_PMT_ARGB_4444)
        return BR_PMT_RGB_565;
    return type;
}

// Lends a map to the 3D library under the type of its layout; the map's own type comes back at the
// end of the scope, also when the call failed.
class LentAs {
public:
    explicit LentAs(br_pixelmap *pm) : pm_(pm), type_(pm->type) { pm->type = brondel_type(type_); }
    ~LentAs() { pm_->type = type_; }
    LentAs(const LentAs &) = delete;
    LentAs &operator=(const LentAs &) = delete;

private:
    br_pixelmap *pm_;
    br_uint_8 type_;
};

}  // namespace

namespace px {

uint32_t pixel_bytes(int32_t type)
{
    switch (type) {
    case BR_PMT_INDEX_8:
    case BR_PMT_ALPHA_8:
        return 1;
    case BR_PMT_RGB_555:
    case BR_PMT_RGB_565:
    case BR_PMT_DEPTH_16:
    case BR_PMT_INDEXA_88:
    case PX_PMT_ARGB_4444:
        return 2;
    case BR_PMT_RGB_888:
    case PX_PMT_RGB565_ALPHA8:
        return 3;
    case BR_PMT_RGBX_888:
    case BR_PMT_RGBA_8888:
    case BR_PMT_DEPTH_32:
        return 4;
    default:
        return 0;
    }
}

void lay_over_rows(br_pixelmap *pm, uint8_t *block, uint32_t row, int32_t height)
{
    pm->pixels = block + size_t(row) * size_t(height - 1);
    pm->row_bytes = br_int_16(-int32_t(row));
    pm->base_x = pm->base_y = 0;
    // Rows with padding are not one run of pixels.
    pm->flags = br_uint_8(pm->flags & ~(PIXELMAP_CONTIGUOUS | PIXELMAP_WHOLE_PIXEL_ROWS));
    const uint32_t bytes = pixel_bytes(pm->type);
    if (bytes != 0 && row % bytes == 0)
        pm->flags |= PIXELMAP_WHOLE_PIXEL_ROWS;
    if (bytes != 0 && row == bytes * pm->width)
        pm->flags |= PIXELMAP_CONTIGUOUS;
}

}  // namespace px

VOK_EXPORT br_pixelmap *PxAllocPix(int32_t type, int32_t width, int32_t height, void *pixels, int32_t flags)
{
    // The record holds sizes and the type in 16 and 8 bits: anything larger would wrap.
    br_pixelmap *pm = nullptr;
    if (width > 0 && width <= 0xFFFF && height > 0 && height <= 0xFFFF && type >= 0 && type <= 0xFF)
        pm = BrPixelmapAllocate(brondel_type(br_uint_8(type)), width, height, pixels, flags);
    if (pm == nullptr) {
        SetLastMsgError(PXERR_ALLOCPIX, width, height, type);
        return nullptr;
    }
    pm->type = br_uint_8(type);
    return pm;
}

VOK_EXPORT br_pixelmap *PxAllocSubPix(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height)
{
    br_pixelmap *sub = nullptr;
    if (map != nullptr && width != 0 && height != 0) {
        br_uint_8 type = map->type;
        {
            LentAs lent(map);
            sub = BrPixelmapAllocateSub(map, x, y, width, height);
        }
        if (sub != nullptr)
            sub->type = type;
    }
    if (sub == nullptr)
        SetLastMsgError(PXERR_ALLOCSUBPIX, x, y, width, height);
    return sub;
}

VOK_EXPORT int PxFreePix(br_pixelmap *map)
{
    if (map != nullptr) {
        map->type = brondel_type(map->type);
        BrPixelmapFree(map);
    }
    return 0;
}

VOK_EXPORT int PxFreePixNP(br_pixelmap *map)
{
    if (map != nullptr)
        map->pixels = nullptr;
    return PxFreePix(map);
}

VOK_EXPORT void PxCopyPix(br_pixelmap *destination, br_pixelmap *source)
{
    if (destination == nullptr || source == nullptr)
        return;
    if (destination->type == source->type && destination->row_bytes == source->row_bytes &&
        destination->height == source->height) {
        LentAs d(destination), s(source);
        BrPixelmapCopy(destination, source);
        return;
    }
#if PANNIX_HAVE_BLIT
    CopyRectangle(destination, 0, 0, source, 0, 0, source->width, source->height);
#endif
}

VOK_EXPORT int32_t PxBorder(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour)
{
    if (map == nullptr)
        return BRE_FAIL;
    LentAs lent(map);
    return BrPixelmapRectangle(map, x, y, width, height, colour);
}

VOK_EXPORT int32_t PxFillPix(br_pixelmap *map, uint32_t colour)
{
    if (map == nullptr)
        return BRE_FAIL;
    LentAs lent(map);
    return BrPixelmapFill(map, colour);
}

VOK_EXPORT int32_t PxFillPixRect(br_pixelmap *map, int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint32_t colour)
{
    if (map == nullptr)
        return BRE_FAIL;
    LentAs lent(map);
    return BrPixelmapRectangleFill(map, x, y, width, height, colour);
}

VOK_EXPORT char *PxReplaceId(br_pixelmap *map, const char *identifier)
{
    if (map == nullptr)
        return nullptr;
    // Copied first: the new name may be part of the old one.
    char *copy = identifier ? BrResStrDup(map, identifier) : nullptr;
    if (map->identifier != nullptr)
        BrResFree(map->identifier);
    map->identifier = copy;
    return copy;
}

VOK_EXPORT void PxSetTables(br_pixelmap *table)
{
    g_blend_table = table;
#if PANNIX_HAVE_BLIT
    pxblit::set_blend_table(table);
#endif
}

VOK_EXPORT void PxSetTranspMethod(int32_t method)
{
    if (method >= 0 && method < 6)
        g_transp_method = method;
}

VOK_EXPORT void PxSetFixPixColor(uint32_t colour)
{
    g_fix_colour = colour;
}

VOK_EXPORT br_pixelmap *PxMatchPixToDib(int32_t type, DIBUFFER *buffer)
{
    if (buffer == nullptr || buffer->pBits == nullptr)
        return nullptr;
    const int32_t width = buffer->bmiHeader.biWidth, height = buffer->bmiHeader.biHeight;
    const uint32_t row = height > 0 ? buffer->bmiHeader.biSizeImage / uint32_t(height) : 0;
    // The map's rows must fit the DIB's, and the stride a 16-bit row step.
    if (row == 0 || row > 0x7FFF || uint64_t(px::pixel_bytes(type)) * uint64_t(width) > row) {
        SetLastMsgError(PXERR_ALLOCPIX, width, height, type);
        return nullptr;
    }
    br_pixelmap *pm = PxAllocPix(type, width, height, buffer->pBits, PIXELMAP_ALLOCATE_INVERTED);
    if (pm == nullptr)
        return nullptr;
    px::lay_over_rows(pm, static_cast<uint8_t *>(buffer->pBits), row, height);
    return pm;
}

VOK_EXPORT DIBUFFER *PxCreateDibAndPix(int32_t type, int32_t width, int32_t height, br_pixelmap **map)
{
    DIBUFFER *dib = CreateDIBuffer(width, height, PxBr2Bpp(type), nullptr);
    if (dib != nullptr && map != nullptr) {
        *map = PxMatchPixToDib(type, dib);
        if (*map == nullptr) {
            KillDIBuffer(dib);
            dib = nullptr;
        }
    }
    if (dib == nullptr)
        SetLastMsgError("Error allocating picture buffer! (%dx%d,t=%d)", width, height, type);
    return dib;
}

VOK_EXPORT br_pixelmap *PxCreatePixAndDib(int32_t type, int32_t width, int32_t height, DIBUFFER **header)
{
    const int32_t pixel_type = type & 0xFF;
    DIBUFFER *info = CreateBmpInfo(width, height, PxBr2Bpp(type), nullptr);
    const uint32_t row = info ? info->bmiHeader.biSizeImage / uint32_t(height) : 0;
    br_pixelmap *pm = nullptr;
    if (info != nullptr && row <= 0x7FFF && px::pixel_bytes(pixel_type) * uint64_t(width) <= row) {
        // The map owns a block laid out as the DIB's rows (which the 3D library's own rows need not be).
        pm = PxAllocPix(pixel_type, width, height, nullptr, PIXELMAP_ALLOCATE_INVERTED | PIXELMAP_ALLOCATE_NO_PIXELS);
        auto *block = pm ? static_cast<uint8_t *>(BrResAllocate(pm, info->bmiHeader.biSizeImage, BR_MEMORY_PIXELS))
                         : nullptr;
        if (block != nullptr) {
            memset(block, 0, info->bmiHeader.biSizeImage);
            px::lay_over_rows(pm, block, row, height);
            info->pBits = block;
        } else {
            PxFreePix(pm);
            pm = nullptr;
        }
    }
    if (pm == nullptr || header == nullptr) {
        // The pixel block is the map's.
        if (info != nullptr)
            info->pBits = nullptr;
        KillDIBuffer(info);
    }
    if (pm == nullptr) {
        SetLastMsgError("Error allocating picture buffer! (%dx%d,t=%d)", width, height, type);
        return nullptr;
    }
    if (header != nullptr)
        *header = info;
    return pm;
}
