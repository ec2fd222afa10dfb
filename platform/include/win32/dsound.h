/* DirectSound subset: one mixer for the whole process, secondary buffers of PCM data played once or
 * looping, with volume, pan and frequency. Every call may come from any thread. */
#ifndef WIN32_DSOUND_H
#define WIN32_DSOUND_H

#include "win32/wintypes.h"
#include "win32/mmsystem.h"
#include "win32/objbase.h"

#define DS_OK S_OK
#define DSERR_ALLOCATED ((HRESULT)0x8878000AL)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001EL)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL ((HRESULT)0x88780032L)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046L)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT ((HRESULT)0x88780064L)
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NODRIVER ((HRESULT)0x88780078L)
#define DSERR_ALREADYINITIALIZED ((HRESULT)0x88780082L)
#define DSERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DSERR_BUFFERLOST ((HRESULT)0x88780096L)
#define DSERR_OTHERAPPHASPRIO ((HRESULT)0x887800A0L)
#define DSERR_UNINITIALIZED ((HRESULT)0x887800AAL)
#define DSERR_NOINTERFACE E_NOINTERFACE

#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_STICKYFOCUS 0x00004000
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000

#define DSBPLAY_LOOPING 0x00000001

#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004

#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

/* Volume and pan in hundredths of a decibel of attenuation; frequency in samples per second. */
#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBFREQUENCY_ORIGINAL 0
#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 100000
#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

/* dwSize must be sizeof(DSBUFFERDESC). A primary buffer has no size and no format. */
typedef struct _DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
} DSBUFFERDESC, *LPDSBUFFERDESC;
typedef const DSBUFFERDESC *LPCDSBUFFERDESC;

#ifdef __cplusplus

struct IDirectSoundBuffer : public IUnknown {
    virtual HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) = 0;
    virtual HRESULT GetStatus(LPDWORD status) = 0;
    /* Answers one or two regions: the second one when the range runs past the end of the buffer. */
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID *ptr1, LPDWORD bytes1, LPVOID *ptr2,
                         LPDWORD bytes2, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) = 0;
    virtual HRESULT Restore() = 0;
};
typedef IDirectSoundBuffer *LPDIRECTSOUNDBUFFER;

struct IDirectSound : public IUnknown {
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER *buffer, IUnknown *outer) = 0;
    /* The duplicate shares the original's sample data and has a play position of its own. */
    virtual HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER *duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT Initialize(const GUID *device) = 0;
};
typedef IDirectSound *LPDIRECTSOUND;

/* CoCreateInstance(CLSID_DirectSound, ...) makes an uninitialised object: Initialize(NULL) first. */
DEFINE_GUID(CLSID_DirectSound, 0x47D4D946, 0x62E8, 0x11CF, 0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
DEFINE_GUID(IID_IDirectSound, 0x279AFA83, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);
DEFINE_GUID(IID_IDirectSoundBuffer, 0x279AFA85, 0x4981, 0x11CE, 0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60);

#endif

WIN32_BEGIN

#ifdef __cplusplus
/* Creates the process's sound object for the default device (device NULL). */
PLATFORM_API HRESULT WINAPI DirectSoundCreate(const GUID *device, LPDIRECTSOUND *ds, IUnknown *outer);
#endif

WIN32_END

#endif
