/* COM: identifiers, IUnknown, apartment set-up and in-process class creation. The classes that exist
 * are the ones the platform registers (PlatRegisterComClass); any other answers REGDB_E_CLASSNOTREG,
 * as on a machine without that component. */
#ifndef WIN32_OBJBASE_H
#define WIN32_OBJBASE_H

#include <string.h>

#include "win32/wintypes.h"

#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)

#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define PURE = 0

WIN32_BEGIN

typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;

WIN32_END

#ifdef __cplusplus
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

/* Defines a named GUID constant: DEFINE_GUID(CLSID_X, 0x12345678, 0x1234, 0x1234, 0x12, ...). */
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

/* Objects count their references and destroy themselves in Release. */
struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** object) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;

protected:
    ~IUnknown() = default;
};
typedef IUnknown* LPUNKNOWN;

DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

/* Makes one object of a registered class; `outer` is the aggregating object or NULL (answer
 * CLASS_E_NOAGGREGATION when not supported). On success *object holds the asked interface with one
 * reference. */
typedef HRESULT (*PlatComFactory)(IUnknown* outer, REFIID riid, void** object);

WIN32_BEGIN

/* Counted per thread: the first call answers S_OK, the next ones S_FALSE; each needs its
 * CoUninitialize. */
PLATFORM_API HRESULT WINAPI CoInitialize(LPVOID reserved);
PLATFORM_API HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD flags);
PLATFORM_API void WINAPI CoUninitialize(void);
PLATFORM_API HRESULT WINAPI OleInitialize(LPVOID reserved);
PLATFORM_API void WINAPI OleUninitialize(void);

/* E_POINTER without `object`; CO_E_NOTINITIALIZED on a thread without CoInitialize;
 * REGDB_E_CLASSNOTREG for a class nobody registered (or a context without in-process servers). */
PLATFORM_API HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                                             LPVOID* object);

/* Makes a class creatable (a second registration replaces the first); a NULL factory removes it. */
PLATFORM_API void PlatRegisterComClass(REFCLSID clsid, PlatComFactory factory);

WIN32_END
#endif

#endif
