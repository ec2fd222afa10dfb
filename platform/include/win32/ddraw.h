/* DirectDraw stand-in: display-mode switching, and off-screen surfaces in system memory that can be
 * locked and blitted onto each other. A set mode shows the program's windows full screen on the
 * desktop at the mode's logical size, aspect kept; primary surfaces, flipping, clippers and palettes
 * are not offered. */
#ifndef WIN32_DDRAW_H
#define WIN32_DDRAW_H

#include "win32/objbase.h"
#include "win32/wintypes.h"

#define DD_OK S_OK
#define DDSCL_FULLSCREEN 0x00000001L
#define DDSCL_ALLOWREBOOT 0x00000002L
#define DDSCL_NOWINDOWCHANGES 0x00000004L
#define DDSCL_NORMAL 0x00000008L
#define DDSCL_EXCLUSIVE 0x00000010L
#define DDSCL_ALLOWMODEX 0x00000040L

#define VOK_DDHRESULT(code) ((HRESULT)(0x88760000u | (code)))
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_INVALIDMODE VOK_DDHRESULT(30)
#define DDERR_INVALIDOBJECT VOK_DDHRESULT(130)
#define DDERR_NOEXCLUSIVEMODE VOK_DDHRESULT(225)
#define DDERR_EXCLUSIVEMODEALREADYSET VOK_DDHRESULT(581)
#define DDERR_HWNDALREADYSET VOK_DDHRESULT(582)
#define DDERR_NOCOOPERATIVELEVELSET VOK_DDHRESULT(584)
#define DDERR_INVALIDDIRECTDRAWGUID VOK_DDHRESULT(588)
#define DDERR_INVALIDCAPS VOK_DDHRESULT(100)
#define DDERR_INVALIDPIXELFORMAT VOK_DDHRESULT(145)
#define DDERR_INVALIDRECT VOK_DDHRESULT(150)
#define DDERR_SURFACEBUSY VOK_DDHRESULT(430)
#define DDERR_WASSTILLDRAWING VOK_DDHRESULT(540)

/* Surface descriptions. */
#define DDSD_CAPS 0x00000001L
#define DDSD_HEIGHT 0x00000002L
#define DDSD_WIDTH 0x00000004L
#define DDSD_PITCH 0x00000008L
#define DDSD_LPSURFACE 0x00000800L
#define DDSD_PIXELFORMAT 0x00001000L
#define DDSCAPS_OFFSCREENPLAIN 0x00000040L
#define DDSCAPS_PRIMARYSURFACE 0x00000200L
#define DDSCAPS_SYSTEMMEMORY 0x00000800L
#define DDSCAPS_VIDEOMEMORY 0x00004000L
#define DDPF_RGB 0x00000040L
/* Lock and blit flags: WAIT waits while the surface is locked or being blitted. */
#define DDLOCK_SURFACEMEMORYPTR 0x00000000L
#define DDLOCK_WAIT 0x00000001L
#define DDLOCK_READONLY 0x00000010L
#define DDLOCK_WRITEONLY 0x00000020L
#define DDBLTFAST_NOCOLORKEY 0x00000000L
#define DDBLTFAST_WAIT 0x00000010L

WIN32_BEGIN

/* 16-bit (5-6-5 or 5-5-5 by the masks) and 32-bit (x8-r8-g8-b8) RGB only. */
typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
} DDPIXELFORMAT, *LPDDPIXELFORMAT;

typedef struct _DDSCAPS {
    DWORD dwCaps;
} DDSCAPS, *LPDDSCAPS;

typedef struct _DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    LPVOID lpSurface;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
} DDSURFACEDESC, *LPDDSURFACEDESC;

WIN32_END

#ifdef __cplusplus

/* An off-screen surface. Lock answers the address of the rectangle's first pixel (whole surface for a
 * null rectangle) and holds the surface until Unlock; a second Lock or a blit meanwhile waits with the
 * WAIT flag and answers DDERR_SURFACEBUSY without it. BltFast copies a rectangle of the source (whole
 * for null) to x, y, converting between the pixel formats; the part outside the target is left out. */
struct IDirectDrawSurface : public IUnknown {
    virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(LPVOID bits) = 0;
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface *source, LPRECT sourceRect, DWORD flags) = 0;
    virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) = 0;
};
typedef IDirectDrawSurface *LPDIRECTDRAWSURFACE;

struct IDirectDraw : public IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    /* Off-screen surfaces only (a primary surface answers DDERR_INVALIDCAPS); needs a cooperative level;
     * width and height are required, the pixel format defaults to 16-bit 5-6-5. */
    virtual HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE *out, IUnknown *outer) = 0;
};

struct IDirectDraw2 : public IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
};

typedef IDirectDraw *LPDIRECTDRAW;
typedef IDirectDraw2 *LPDIRECTDRAW2;

DEFINE_GUID(IID_IDirectDraw, 0x6C14DB80, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
DEFINE_GUID(IID_IDirectDrawSurface, 0x6C14DB81, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
DEFINE_GUID(IID_IDirectDraw2, 0xB3A6F3E0, 0x2B43, 0x11CF, 0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56);

WIN32_BEGIN
/* guid must be null (the primary display); outer must be null (no aggregation). */
PLATFORM_API HRESULT WINAPI DirectDrawCreate(GUID *guid, LPDIRECTDRAW *out, IUnknown *outer);
WIN32_END

#endif

#endif
