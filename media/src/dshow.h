// The movie graph and multimedia stream interfaces the DirectShow kinds use, with their class and
// interface identifiers. Only the calls these kinds make are declared. The classes behind them are our
// stand-in (dsgraph.cpp): it plays the project's .mzi movies, recognised by their header whatever
// their name; any other file cannot be rendered.
#pragma once

#include <cstdint>

#include "win32/ddraw.h"
#include "win32/objbase.h"
#include "win32/windows.h"

namespace media::ds {

// Results.
constexpr HRESULT kNotFound = HRESULT(0x80040216u);         // an object or name was not found
constexpr HRESULT kCannotRender = HRESULT(0x80040218u);     // no way to render the file
constexpr HRESULT kNoAudioHardware = HRESULT(0x80040256u);  // no audio device
constexpr HRESULT kEndOfStream = HRESULT(0x00040003u);      // a sample update found no more frames
constexpr HRESULT kNotRunning = HRESULT(0x80040413u);       // a sample update on a stopped stream

constexpr long kCompleteEvent = 1;  // the graph played to the end
constexpr long kFilterStopped = 0, kFilterPaused = 1, kFilterRunning = 2;
constexpr DWORD kSeekAbsolute = 0x1, kSeekNone = 0x0;
constexpr DWORD kStreamRead = 0;           // multimedia stream opened for reading
constexpr DWORD kAddDefaultRenderer = 0x1;  // audio stream played through the default renderer
constexpr DWORD kStreamStop = 0, kStreamRun = 1;
constexpr long kHidden = 0, kShown = 5;  // video window states

DEFINE_GUID(CLSID_FilterGraph, 0xE436EBB3, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IGraphBuilder, 0x56A868A9, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(CLSID_OutsideFilter, 0xF07BB140, 0xF326, 0x11D1, 0x86, 0x90, 0x00, 0x40, 0xF6, 0x34, 0xE2, 0x47);
DEFINE_GUID(IID_IOutsideFilter, 0xB1BF5160, 0xF325, 0x11D1, 0x86, 0x90, 0x00, 0x40, 0xF6, 0x34, 0xE2, 0x47);
DEFINE_GUID(IID_IBaseFilter, 0x56A86895, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(CLSID_MultiMediaStream, 0x49C47CE5, 0x9BA4, 0x11D0, 0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45);
DEFINE_GUID(IID_IMultiMediaStream, 0xBEBE595C, 0x9A6F, 0x11D0, 0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D);
DEFINE_GUID(IID_IVideoWindow, 0x56A868B4, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IBasicVideo, 0x56A868B5, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaControl, 0x56A868B1, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaPosition, 0x56A868B2, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IMediaSeeking, 0x36B73880, 0xC2C8, 0x11CF, 0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60);
DEFINE_GUID(TIME_FORMAT_FRAME, 0x7B785570, 0x8C82, 0x11CF, 0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6);
DEFINE_GUID(IID_IMediaEvent, 0x56A868C0, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(MSPID_PrimaryVideo, 0xA35FF56A, 0x9FDA, 0x11D0, 0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D);
DEFINE_GUID(MSPID_PrimaryAudio, 0xA35FF56B, 0x9FDA, 0x11D0, 0x8F, 0xDF, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D);
DEFINE_GUID(IID_IDirectDrawMediaStream, 0xF4104FCE, 0x9A70, 0x11D0, 0x8F, 0xDE, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0x9D);

struct IBaseFilter : IUnknown {};

struct IGraphBuilder : IUnknown {
    virtual HRESULT RenderFile(const char16_t *file, const char16_t *playList) = 0;
    virtual HRESULT AddFilter(IBaseFilter *filter, const char16_t *name) = 0;
};

struct IVideoWindow : IUnknown {
    virtual HRESULT put_FullScreenMode(long on) = 0;
    virtual HRESULT put_AutoShow(long on) = 0;
    virtual HRESULT put_Caption(const char16_t *caption) = 0;
    virtual HRESULT put_WindowState(long state) = 0;
    virtual HRESULT put_WindowStyle(long style) = 0;
    virtual HRESULT put_MessageDrain(HWND drain) = 0;
    virtual HRESULT put_Owner(HWND owner) = 0;
    virtual HRESULT put_Top(long top) = 0;
    virtual HRESULT put_Left(long left) = 0;
    virtual HRESULT put_Visible(long visible) = 0;
    virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
};

struct IBasicVideo : IUnknown {
    virtual HRESULT get_VideoWidth(long *width) = 0;
    virtual HRESULT get_VideoHeight(long *height) = 0;
    // The picture shown: a BITMAPINFOHEADER and 32-bit bottom-up rows; null image: the size needed.
    virtual HRESULT GetCurrentImage(long *size, long *image) = 0;
};

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(long timeoutMs, long *state) = 0;
};

struct IMediaPosition : IUnknown {
    // Seconds.
    virtual HRESULT get_CurrentPosition(double *seconds) = 0;
    virtual HRESULT get_Duration(double *seconds) = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT SetTimeFormat(const GUID *format) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG *position) = 0;
    virtual HRESULT SetPositions(LONGLONG *current, DWORD currentFlags, LONGLONG *stop, DWORD stopFlags) = 0;
    virtual HRESULT GetDuration(LONGLONG *duration) = 0;
};

struct IMediaEventEx : IUnknown {
    virtual HRESULT SetNotifyWindow(HWND window, long message, LONG_PTR param) = 0;
    // E_ABORT when nothing is pending within the time-out.
    virtual HRESULT GetEvent(long *code, LONG_PTR *param1, LONG_PTR *param2, long timeoutMs) = 0;
    virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IDirectDrawStreamSample : IUnknown {
    virtual HRESULT GetSurface(IDirectDrawSurface **surface, RECT *rect) = 0;
    // Waits for the next frame and draws it into the sample's surface: S_OK, kEndOfStream or kNotRunning.
    virtual HRESULT Update(DWORD flags, HANDLE event, void *apc, DWORD_PTR apcData) = 0;
};

struct IDirectDrawMediaStream : IUnknown {
    virtual HRESULT CreateSample(IDirectDrawSurface *surface, const RECT *rect, DWORD flags,
                                 IDirectDrawStreamSample **sample) = 0;
};

struct IMediaStream : IUnknown {};

struct IAMMultiMediaStream : IUnknown {
    virtual HRESULT Initialize(DWORD type, DWORD flags, IGraphBuilder *graph) = 0;
    virtual HRESULT AddMediaStream(IUnknown *streamObject, const GUID *purpose, DWORD flags,
                                   IMediaStream **stream) = 0;
    virtual HRESULT OpenFile(const char16_t *file, DWORD flags) = 0;
    virtual HRESULT GetMediaStream(const GUID &purpose, IMediaStream **stream) = 0;
    virtual HRESULT SetState(DWORD state) = 0;
    // Units of 100 ns.
    virtual HRESULT GetDuration(LONGLONG *duration) = 0;
    // Units of 100 ns from the start.
    virtual HRESULT Seek(LONGLONG time) = 0;
};

// Makes the stand-in classes creatable (library start) and removes them again (library stop).
void register_classes();
void unregister_classes();

// Releases an interface pointer and clears it.
template <class T>
void release(T *&p)
{
    if (p != nullptr)
        p->Release();
    p = nullptr;
}

}  // namespace media::ds
