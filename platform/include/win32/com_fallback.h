/* Minimal COM base (GUID, IUnknown) used by the DirectSound header while win32/objbase.h does not
 * exist yet. Once objbase.h is in the tree, dsound.h includes it instead and this file can go. */
#ifndef WIN32_COM_FALLBACK_H
#define WIN32_COM_FALLBACK_H

#include "win32/wintypes.h"

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID;
#endif
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID *LPCGUID;
#ifdef __cplusplus
typedef const IID &REFIID;
typedef const CLSID &REFCLSID;
typedef const GUID &REFGUID;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void **ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
typedef IUnknown *LPUNKNOWN;
#endif

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)

#endif
