// DIB buffers: the bitmap information record with its pixel block.
#include <stdlib.h>
#include <string.h>

#include "pannix/pxpix.h"
#include "pxstate.h"
#include "vokplat/export.h"

namespace px {

// Bytes of the pixel block of a DIB; 0 when the size cannot be held.
uint32_t dib_image_size(int32_t width, int32_t height, int32_t stored_bits)
{
    if (width <= 0 || height <= 0)
        return 0;
    uint64_t row = (uint64_t(stored_bits) * uint64_t(width) + 31) / 32 * 4;
    uint64_t size = row * uint64_t(height);
    return size > 0x7FFFFFFFu ? 0 : uint32_t(size);
}

}  // namespace px

VOK_EXPORT DIBUFFER *CreateBmpInfo(int32_t width, int32_t height, int32_t bits, const uint32_t *palette)
{
    int32_t stored = bits == 15 ? 16 : bits;
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return nullptr;
    // Sizes that give no image (or one past 2 GB) would make a record nothing can draw.
    uint32_t image = px::dib_image_size(width, height, stored);
    if (image == 0)
        return nullptr;
    auto *dib = (DIBUFFER *)calloc(1, sizeof(DIBUFFER));
    if (dib == nullptr)
        return nullptr;
    BITMAPINFOHEADER &h = dib->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(stored);
    h.biCompression = bits == 16 ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = image;
    if (bits == 8) {
        h.biClrUsed = h.biClrImportant = 256;
        if (palette != nullptr) {
            for (int i = 0; i < 256; i++) {
                dib->bmiColors[i].rgbRed = BYTE(palette[i] >> 16);
                dib->bmiColors[i].rgbGreen = BYTE(palette[i] >> 8);
                dib->bmiColors[i].rgbBlue = BYTE(palette[i]);
            }
        } else {
            // Indices into the palette of the device context.
            auto *indices = reinterpret_cast<uint8_t *>(dib->bmiColors);
            for (int i = 0; i < 256; i++) {
                indices[2 * i] = uint8_t(i);
                indices[2 * i + 1] = 0;
            }
        }
    } else if (bits == 16) {
        static const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
        memcpy(dib->bmiColors, masks, sizeof masks);
    }
    return dib;
}

VOK_EXPORT DIBUFFER *CreateDIBuffer(int32_t width, int32_t height, int32_t bits, const uint32_t *palette)
{
    DIBUFFER *dib = CreateBmpInfo(width, height, bits, palette);
    if (dib == nullptr)
        return nullptr;
    dib->pBits = calloc(1, dib->bmiHeader.biSizeImage);
    if (dib->pBits == nullptr) {
        free(dib);
        return nullptr;
    }
    return dib;
}

VOK_EXPORT DIBUFFER *CreateDIBuffer8(int32_t width, int32_t height, const uint32_t *palette)
{
    return CreateDIBuffer(width, height, 8, palette);
}

VOK_EXPORT DIBUFFER *CreateDIBufferHic(int32_t width, int32_t height, int32_t bits)
{
    return CreateDIBuffer(width, height, bits, nullptr);
}

VOK_EXPORT int KillDIBuffer(DIBUFFER *buffer)
{
    if (buffer != nullptr) {
        free(buffer->pBits);
        free(buffer);
    }
    return 0;
}
