/* DirectDraw stand-in: only display-mode switching is offered. A set mode shows the program's windows
 * full screen on the desktop at the mode's logical size, aspect kept; surfaces are not offered. */
#ifndef WIN32_DDRAW_H
#define WIN32_DDRAW_H

#include "win32/wintypes.h"

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
#endif

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

struct IDirectDraw {
    virtual HRESULT QueryInterface(const GUID &iid, void **out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;

protected:
    ~IDirectDraw() = default;
};

struct IDirectDraw2 {
    virtual HRESULT QueryInterface(const GUID &iid, void **out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD w, DWORD h, DWORD bpp, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;

protected:
    ~IDirectDraw2() = default;
};

typedef IDirectDraw *LPDIRECTDRAW;
typedef IDirectDraw2 *LPDIRECTDRAW2;

WIN32_BEGIN
PLATFORM_API extern const GUID IID_IDirectDraw;
PLATFORM_API extern const GUID IID_IDirectDraw2;
/* guid must be null (the primary display); outer must be null. */
PLATFORM_API HRESULT WINAPI DirectDrawCreate(GUID *guid, LPDIRECTDRAW *out, void *outer);
WIN32_END

#endif

#endif
