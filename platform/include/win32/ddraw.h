/* DirectDraw stand-in: only display-mode switching is offered. A set mode shows the program's windows
 * full screen on the desktop at the mode's logical size, aspect kept; surfaces are not offered. */
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

#ifdef __cplusplus

struct IDirectDraw : public IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
};

struct IDirectDraw2 : public IUnknown {
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
};

typedef IDirectDraw *LPDIRECTDRAW;
typedef IDirectDraw2 *LPDIRECTDRAW2;

DEFINE_GUID(IID_IDirectDraw, 0x6C14DB80, 0xA733, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
DEFINE_GUID(IID_IDirectDraw2, 0xB3A6F3E0, 0x2B43, 0x11CF, 0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56);

WIN32_BEGIN
/* guid must be null (the primary display); outer must be null (no aggregation). */
PLATFORM_API HRESULT WINAPI DirectDrawCreate(GUID *guid, LPDIRECTDRAW *out, IUnknown *outer);
WIN32_END

#endif

#endif
