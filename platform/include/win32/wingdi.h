/* Device contexts, DIB transfers, bitmaps, brushes and palettes of the Win32 subset. */
#ifndef WIN32_WINGDI_H
#define WIN32_WINGDI_H

#include "win32/wintypes.h"

WIN32_BEGIN

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD, *LPRGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

typedef struct tagPALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
} PALETTEENTRY, *LPPALETTEENTRY;

typedef struct tagLOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
} LOGPALETTE, *LPLOGPALETTE;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *LPBITMAP;

/* DIB compressions and colour-table kinds. */
#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

/* Raster operations (only copies are drawn; the others are refused). */
#define SRCCOPY 0x00CC0020
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
#define PATCOPY 0x00F00021

/* Stock objects. */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_PALETTE 15

/* GetDeviceCaps indices. */
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define SIZEPALETTE 104
#define RC_PALETTE 0x0100

#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFFL

PLATFORM_API HDC WINAPI CreateCompatibleDC(HDC dc);
PLATFORM_API BOOL WINAPI DeleteDC(HDC dc);
PLATFORM_API int WINAPI GetDeviceCaps(HDC dc, int index);
PLATFORM_API HGDIOBJ WINAPI GetStockObject(int index);
PLATFORM_API HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ obj);
PLATFORM_API BOOL WINAPI DeleteObject(HGDIOBJ obj);
PLATFORM_API int WINAPI GetObjectA(HGDIOBJ obj, int size, LPVOID out);
PLATFORM_API HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
PLATFORM_API HBITMAP WINAPI CreateCompatibleBitmap(HDC dc, int w, int h);
PLATFORM_API int WINAPI StretchDIBits(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                                      int wSrc, int hSrc, const void *bits, const BITMAPINFO *info, UINT usage,
                                      DWORD rop);
PLATFORM_API int WINAPI SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                                          UINT startScan, UINT lines, const void *bits, const BITMAPINFO *info,
                                          UINT usage);
PLATFORM_API BOOL WINAPI BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop);
PLATFORM_API BOOL WINAPI StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, int wSrc,
                                    int hSrc, DWORD rop);
PLATFORM_API int WINAPI GetDIBits(HDC dc, HBITMAP bmp, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
                                  UINT usage);
PLATFORM_API COLORREF WINAPI SetPixel(HDC dc, int x, int y, COLORREF colour);
PLATFORM_API COLORREF WINAPI GetPixel(HDC dc, int x, int y);
PLATFORM_API HPALETTE WINAPI CreatePalette(const LOGPALETTE *pal);
PLATFORM_API HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE pal, BOOL background);
PLATFORM_API UINT WINAPI RealizePalette(HDC dc);
PLATFORM_API BOOL WINAPI GdiFlush(void);

#define GetObject GetObjectA

WIN32_END

#endif
