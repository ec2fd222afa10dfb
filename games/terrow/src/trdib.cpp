// The view DIB, its presents and the picture loaders. The full present runs on the main thread and
// the toolbar's partial presents on the worker: one mutex keeps them apart, and a waiting side gives
// up after a bounded time instead of hanging on a peer that died.
#include "terrow/trdib.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <brondel/brcore.h>
#include <brondel/brpixmap.h>
#include <brondel/brpmfile.h>
#include <brondel/brmaterial.h>

#include "pannix/pxbase.h"
#include "pannix/pxpix.h"
#include "terrow/trmsg.h"
#include "win32/winmem.h"

namespace {

TrDib g_dib;
std::mutex g_present;
std::atomic<int32_t> g_paint{0};
void (*g_present_hook)(void) = nullptr;
bool g_black_rule = true;

// A full present waits this long for a partial one; the worker never holds the present longer.
constexpr int kPresentWaitMs = 250;

// The present, taken within the bounded wait (1 ms steps): false when a holder keeps it longer.
bool take_present(std::unique_lock<std::mutex> &hold)
{
    for (int waited = 0; !hold.try_lock(); waited++) {
        if (waited >= kPresentWaitMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int bits_of(int32_t type)
{
    switch (type) {
    case BR_PMT_INDEX_8: return 8;
    case BR_PMT_RGB_555: case BR_PMT_RGB_565: return 16;
    case BR_PMT_RGB_888: return 24;
    default: return 0;
    }
}

void black_rule(br_pixelmap *pm)
{
    if (pm == nullptr || pm->pixels == nullptr)
        return;
    for (int y = 0; y < pm->height; y++) {
        char *row = (char *)pm->pixels + (ptrdiff_t)(pm->base_y + y) * pm->row_bytes;
        if (pm->type == BR_PMT_INDEX_8) {
            uint8_t *p = (uint8_t *)row + pm->base_x;
            for (int x = 0; x < pm->width; x++)
                if (p[x] == 0)
                    p[x] = 203;
        } else if (pm->type == BR_PMT_RGB_555 || pm->type == BR_PMT_RGB_565) {
            uint16_t *p = (uint16_t *)row + pm->base_x;
            for (int x = 0; x < pm->width; x++)
                if (p[x] == 0)
                    p[x] = 1;
        }
    }
}

br_pixelmap *load_px(const char *name, int32_t copy, bool keep)
{
    if (name == nullptr)
        return nullptr;
    if (br_pixelmap *known = BrMapFind(name))
        return known;
    br_pixelmap *pm = PxLoadPixP(name, copy);
    if (pm == nullptr) {
        ShowLastMsgError();
        return nullptr;
    }
    return keep ? BrMapAdd(pm) : pm;
}

}  // namespace

extern "C" {

TrDib *TrGetDib(void)
{
    return &g_dib;
}

int32_t TrDibRowBytes(int32_t width, int32_t bits)
{
    return ((width * bits + 31) / 8) & ~3;
}

void *TrDibCreate(int32_t width, int32_t height, int32_t pixelType)
{
    TrDibFree();
    int bits = bits_of(pixelType);
    if (bits == 0 || width < 1 || height < 1 || width > 16384 || height > 16384)
        return nullptr;
    g_dib.pixelType = pixelType;
    BITMAPINFOHEADER &h = g_dib.header;
    h = BITMAPINFOHEADER{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bits;
    h.biCompression = pixelType == BR_PMT_RGB_565 ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = (DWORD)TrDibRowBytes(width, bits) * (DWORD)height;
    h.biClrUsed = bits == 8 ? 256 : 0;
    h.biClrImportant = h.biClrUsed;
    std::memset(g_dib.colours, 0, sizeof g_dib.colours);
    if (bits == 8) {
        uint16_t *index = (uint16_t *)g_dib.colours;
        for (int i = 0; i < 256; i++)
            index[i] = (uint16_t)i;
    } else if (pixelType == BR_PMT_RGB_565) {
        g_dib.colours[0] = 0xF800;
        g_dib.colours[1] = 0x07E0;
        g_dib.colours[2] = 0x001F;
    }
    g_dib.memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, h.biSizeImage);
    g_dib.pixels = g_dib.memory != nullptr ? GlobalLock(g_dib.memory) : nullptr;
    if (g_dib.pixels == nullptr) {
        if (g_dib.memory != nullptr)
            GlobalFree(g_dib.memory);
        g_dib.memory = nullptr;
        return nullptr;
    }
    g_dib.width = width;
    g_dib.height = height;
    return g_dib.pixels;
}

void TrDibFree(void)
{
    // Nobody presents from pixels that are going away.
    std::unique_lock<std::mutex> hold(g_present, std::defer_lock);
    take_present(hold);
    if (g_dib.memory != nullptr) {
        GlobalUnlock(g_dib.memory);
        GlobalFree(g_dib.memory);
    }
    g_dib.memory = nullptr;
    g_dib.pixels = nullptr;
    g_dib.width = g_dib.height = 0;
}

int32_t TrPaintState(void)
{
    return g_paint.load();
}

void TrSetPaintState(int32_t state)
{
    g_paint.store(state);
}

void TrDibResetPresents(void)
{
    g_paint.store(0);
    g_present_hook = nullptr;
}

void TrDibSetPresentHook(void (*hook)(void))
{
    g_present_hook = hook;
}

int32_t TrDibPresent(HDC dc)
{
    std::unique_lock<std::mutex> hold(g_present, std::defer_lock);
    if (!take_present(hold) || g_dib.pixels == nullptr || dc == nullptr)
        return 0;
    if (g_present_hook != nullptr)
        g_present_hook();
    if (g_paint.load() == 0)
        return 0;
    SetDIBitsToDevice(dc, 0, 0, (DWORD)g_dib.width, (DWORD)g_dib.height, 0, 0, 0, (UINT)g_dib.height,
                      g_dib.pixels, (const BITMAPINFO *)&g_dib.header,
                      g_dib.pixelType == BR_PMT_INDEX_8 ? DIB_PAL_COLORS : DIB_RGB_COLORS);
    g_paint.store(1);
    return 1;
}

static int32_t present_part(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, const BITMAPINFO *info,
                            const void *pixels, int32_t height, UINT use)
{
    std::unique_lock<std::mutex> hold(g_present, std::try_to_lock);
    if (!hold.owns_lock() || g_paint.load() != 1 || pixels == nullptr || dc == nullptr)
        return 0;
    StretchDIBits(dc, x, y, w, h, x, height - y - h, w, h, pixels, info, use, SRCCOPY);
    return 1;
}

int32_t TrDibPresentRect(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h)
{
    return present_part(dc, x, y, w, h, (const BITMAPINFO *)&g_dib.header, g_dib.pixels, g_dib.height,
                        g_dib.pixelType == BR_PMT_INDEX_8 ? DIB_PAL_COLORS : DIB_RGB_COLORS);
}

int32_t TrDibPresentOther(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, DIBUFFER *dib)
{
    if (dib == nullptr)
        return 0;
    return present_part(dc, x, y, w, h, (const BITMAPINFO *)&dib->bmiHeader, dib->pBits,
                        dib->bmiHeader.biHeight < 0 ? -dib->bmiHeader.biHeight : dib->bmiHeader.biHeight,
                        DIB_RGB_COLORS);
}

int32_t TrDibPresentBuffer(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, DIBUFFER *dib)
{
    if (dib == nullptr || w <= 0 || h <= 0)
        return 0;
    const LONG height = dib->bmiHeader.biHeight;
    const int32_t rows = height < 0 ? -height : height;
    if (w > dib->bmiHeader.biWidth || h > rows)
        return 0;
    std::unique_lock<std::mutex> hold(g_present, std::try_to_lock);
    if (!hold.owns_lock() || g_paint.load() != 1 || dib->pBits == nullptr || dc == nullptr)
        return 0;
    // The buffer's top-left corner; a bottom-up buffer counts its source rows from the bottom.
    StretchDIBits(dc, x, y, w, h, 0, height < 0 ? 0 : rows - h, w, h, dib->pBits, (const BITMAPINFO *)&dib->bmiHeader,
                  DIB_RGB_COLORS, SRCCOPY);
    return 1;
}

void TrPictureFileName(const char *name, char *out, int32_t size)
{
    if (size <= 0)
        return;
    if (name == nullptr)
        name = "";
    if (std::strstr(name, ".bmp") != nullptr || std::strstr(name, ".pix") != nullptr)
        snprintf(out, (size_t)size, "%s", name);
    else
        snprintf(out, (size_t)size, "%s.pix", name);
}

br_pixelmap *TrLoadPicture(const char *name)
{
    if (name == nullptr)
        return nullptr;
    if (br_pixelmap *known = BrMapFind(name))
        return known;
    char file[300];
    TrPictureFileName(name, file, sizeof file);
    br_pixelmap *pm = std::strstr(name, ".bmp") != nullptr ? BrFmtBMPLoad(file, 0) : BrPixelmapLoad(file);
    if (pm == nullptr) {
        TrWarning("pixelmap load failed: %s", name);
        return nullptr;
    }
    if (g_black_rule)
        black_rule(pm);
    return BrMapAdd(pm);
}

br_pixelmap *TrLoadPictureRaw(const char *name)
{
    g_black_rule = false;
    br_pixelmap *pm = TrLoadPicture(name);
    g_black_rule = true;
    return pm;
}

br_pixelmap *TrLoadPx(const char *name)
{
    return load_px(name, 0, true);
}

br_pixelmap *TrLoadPxKeyed(const char *name)
{
    return load_px(name, 1, true);
}

br_pixelmap *TrLoadPxUncached(const char *name)
{
    return load_px(name, 0, false);
}

DIBUFFER *TrDibBufferCreate(int32_t width, int32_t height)
{
    return CreateDIBufferHic(width, height, 16);
}

void TrDibBufferKill(DIBUFFER *buffer)
{
    if (buffer != nullptr)
        KillDIBuffer(buffer);
}

}  // extern "C"
