// The stand-in movie graph, outside filter and multimedia stream behind the DirectShow kinds. They
// play .mzi movies through the .mzi reader: a file is recognised by its header whatever its name, and
// any other file cannot be rendered. The graph shows its frames in a video window of its own, on a
// thread of its own that follows the platform clock, and reports the end of the movie as a
// completion event posted to its notify window. The stream draws frames into a DirectDraw sample
// surface, one frame per update.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "dshow.h"
#include "library.h"
#include "mzifile.h"
#include "mzipixels.h"
#include "sound.h"
#include "vokplat/monitor.h"
#include "win32/dsound.h"

namespace media::ds {

namespace {

const char kVideoWindowClass[] = "Media_VideoWindow";
constexpr long kDefaultStyle = 0x46000000;  // child, clip siblings, clip children

// A whole .mzi file read into memory and checked, with the picture its frames have drawn so far.
class Clip {
public:
    HRESULT Load(const char16_t *file)
    {
        if (file == nullptr)
            return E_POINTER;
        const std::string path = narrow_ansi(file);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return HRESULT_FROM_WIN32(GetLastError());
        DWORD size = GetFileSize(h, nullptr);
        bool read = size != INVALID_FILE_SIZE;
        if (read) {
            try {
                data_.assign(size, 0);
            } catch (const std::bad_alloc &) {
                CloseHandle(h);
                return E_OUTOFMEMORY;
            }
            DWORD got = 0;
            read = ReadFile(h, data_.data(), size, &got, nullptr) && got == size;
        }
        CloseHandle(h);
        std::string why;
        if (!read || !mzi::parse(data_.data(), data_.size(), movie_, why)) {
            data_.clear();
            return kCannotRender;
        }
        width_ = movie_.right - movie_.left;
        height_ = movie_.bottom - movie_.top;
        canvas_.assign(size_t(width_) * height_, 0);
        return S_OK;
    }

    bool loaded() const { return !data_.empty(); }
    int frames() const { return int(movie_.frames.size()); }
    int fps() const { return std::max<int>(movie_.fps, 1); }
    // At least 1 ms: a rate above 1000 must not turn the waits into busy loops.
    DWORD period() const { return DWORD(std::max(1000 / fps(), 1)); }
    int width() const { return width_; }
    int height() const { return height_; }
    const mzi::Movie &movie() const { return movie_; }
    const uint8_t *data() const { return data_.data(); }

    // Draws frame n over the picture; answers a copy of it (top-down 0x00RRGGBB).
    std::vector<uint32_t> Render(int n)
    {
        std::lock_guard<std::mutex> g(mu_);
        mzi::render_frame(movie_, data_.data(), size_t(std::clamp(n, 0, frames() - 1)), canvas_.data(), width_,
                          height_);
        return canvas_;
    }
    std::vector<uint32_t> Picture()
    {
        std::lock_guard<std::mutex> g(mu_);
        return canvas_;
    }

private:
    std::vector<uint8_t> data_;
    mzi::Movie movie_;
    int width_ = 0, height_ = 0;
    std::mutex mu_;
    std::vector<uint32_t> canvas_;
};

void draw_picture(HWND window, const std::vector<uint32_t> &picture, int width, int height, bool stretch)
{
    if (window == nullptr || picture.empty())
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(window);
    // As a video renderer does, the picture fills a window of another size.
    RECT client{};
    GetClientRect(window, &client);
    if (client.right > 0 && client.bottom > 0 && (client.right != width || client.bottom != height))
        stretch = true;
    if (stretch) {
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, width, height, picture.data(), &info,
                      DIB_RGB_COLORS, SRCCOPY);
    } else {
        SetDIBitsToDevice(dc, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), picture.data(), &info,
                          DIB_RGB_COLORS);
    }
    ReleaseDC(window, dc);
}

// ---- the filter graph ----

class FilterGraph final : public IGraphBuilder,
                          public IVideoWindow,
                          public IBasicVideo,
                          public IMediaControl,
                          public IMediaPosition,
                          public IMediaSeeking,
                          public IMediaEventEx {
public:
    FilterGraph() : monitor_(PlatMonitorCreate()) {}

    ~FilterGraph()
    {
        Shutdown();
        for (IBaseFilter *f : filters_)
            f->Release();
        PlatMonitorDestroy(monitor_);
    }

    // IUnknown
    HRESULT QueryInterface(REFIID iid, void **out) override
    {
        if (out == nullptr)
            return E_POINTER;
        void *p = nullptr;
        if (iid == IID_IUnknown || iid == IID_IGraphBuilder)
            p = static_cast<IGraphBuilder *>(this);
        else if (iid == IID_IVideoWindow)
            p = static_cast<IVideoWindow *>(this);
        else if (iid == IID_IBasicVideo)
            p = static_cast<IBasicVideo *>(this);
        else if (iid == IID_IMediaControl)
            p = static_cast<IMediaControl *>(this);
        else if (iid == IID_IMediaPosition)
            p = static_cast<IMediaPosition *>(this);
        else if (iid == IID_IMediaSeeking)
            p = static_cast<IMediaSeeking *>(this);
        else if (iid == IID_IMediaEvent)
            p = static_cast<IMediaEventEx *>(this);
        *out = p;
        if (p == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }

    // IGraphBuilder
    HRESULT RenderFile(const char16_t *file, const char16_t *) override
    {
        if (clip_.loaded())
            return E_UNEXPECTED;
        HRESULT hr = clip_.Load(file);
        if (FAILED(hr))
            return hr;
        width_ = clip_.width();
        height_ = clip_.height();
        // The first frame is the picture of a clip that has not played yet.
        clip_.Render(0);
        thread_ = std::thread([this] { Run_(); });
        Remake();
        return S_OK;
    }
    HRESULT AddFilter(IBaseFilter *filter, const char16_t *) override
    {
        if (filter == nullptr)
            return E_POINTER;
        filter->AddRef();
        filters_.push_back(filter);
        return S_OK;
    }

    // IVideoWindow: settings made before a file is rendered are kept for the window made then.
    HRESULT put_FullScreenMode(long on) override
    {
        if ((on != 0) == full_screen_)
            return S_OK;
        full_screen_ = on != 0;
        Remake();
        return S_OK;
    }
    HRESULT put_AutoShow(long on) override
    {
        auto_show_ = on != 0;
        return S_OK;
    }
    HRESULT put_Caption(const char16_t *caption) override
    {
        caption_ = narrow_ansi(caption);
        if (window_ != nullptr)
            SetWindowTextA(window_, caption_.c_str());
        return S_OK;
    }
    HRESULT put_WindowState(long state) override { return put_Visible(state == kHidden ? 0 : -1); }
    HRESULT put_WindowStyle(long style) override
    {
        style_ = style;
        return S_OK;
    }
    HRESULT put_MessageDrain(HWND drain) override
    {
        drain_ = drain;
        return S_OK;
    }
    HRESULT put_Owner(HWND owner) override
    {
        if (owner != nullptr && !IsWindow(owner))
            return E_INVALIDARG;
        owner_ = owner;
        Remake();
        return S_OK;
    }
    HRESULT put_Top(long top) override
    {
        top_ = top;
        Place();
        return S_OK;
    }
    HRESULT put_Left(long left) override
    {
        left_ = left;
        Place();
        return S_OK;
    }
    HRESULT put_Visible(long visible) override
    {
        visible_ = visible != 0;
        if (!clip_.loaded())
            return S_OK;
        if (visible_ && window_ == nullptr)
            CreateVideoWindow();
        if (window_ != nullptr) {
            ShowWindow(window_, visible_ ? SW_SHOW : SW_HIDE);
            if (visible_)
                draw_picture(window_, clip_.Picture(), width_, height_, full_screen_);
        }
        return S_OK;
    }
    HRESULT SetWindowPosition(long left, long top, long width, long height) override
    {
        left_ = left;
        top_ = top;
        win_width_ = width;
        win_height_ = height;
        Place();
        return S_OK;
    }

    // IBasicVideo
    HRESULT get_VideoWidth(long *width) override { return Answer(width, width_); }
    HRESULT get_VideoHeight(long *height) override { return Answer(height, height_); }
    HRESULT GetCurrentImage(long *size, long *image) override
    {
        if (size == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_FAIL;
        const long need = long(sizeof(BITMAPINFOHEADER)) + long(width_) * height_ * 4;
        if (image == nullptr) {
            *size = need;
            return S_OK;
        }
        if (*size < need)
            return E_OUTOFMEMORY;
        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = width_;
        header.biHeight = height_;
        header.biPlanes = 1;
        header.biBitCount = 32;
        header.biCompression = BI_RGB;
        auto *out = reinterpret_cast<uint8_t *>(image);
        std::memcpy(out, &header, sizeof header);
        const std::vector<uint32_t> picture = clip_.Picture();
        for (int y = 0; y < height_; y++)
            std::memcpy(out + sizeof header + size_t(height_ - 1 - y) * size_t(width_) * 4,
                        picture.data() + size_t(y) * size_t(width_), size_t(width_) * 4);
        return S_OK;
    }

    // IMediaControl
    HRESULT Run() override { return SetState(kFilterRunning); }
    HRESULT Pause() override { return SetState(kFilterPaused); }
    HRESULT Stop() override { return SetState(kFilterStopped); }
    HRESULT GetState(long, long *state) override
    {
        if (state == nullptr)
            return E_POINTER;
        PlatMonitorEnter(monitor_);
        *state = state_;
        PlatMonitorLeave(monitor_);
        return S_OK;
    }

    // IMediaPosition
    HRESULT get_CurrentPosition(double *seconds) override
    {
        if (seconds == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *seconds = double(Current()) / clip_.fps();
        return S_OK;
    }
    HRESULT get_Duration(double *seconds) override
    {
        if (seconds == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *seconds = double(clip_.frames()) / clip_.fps();
        return S_OK;
    }

    // IMediaSeeking: positions count frames.
    HRESULT SetTimeFormat(const GUID *format) override
    {
        if (format == nullptr)
            return E_POINTER;
        return *format == TIME_FORMAT_FRAME ? S_OK : E_INVALIDARG;
    }
    HRESULT GetCurrentPosition(LONGLONG *position) override
    {
        if (position == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *position = Current();
        return S_OK;
    }
    HRESULT SetPositions(LONGLONG *current, DWORD flags, LONGLONG *, DWORD) override
    {
        if (!clip_.loaded())
            return E_UNEXPECTED;
        if (current == nullptr || (flags & 0x3) != kSeekAbsolute)
            return S_OK;
        PlatMonitorEnter(monitor_);
        current_ = int(std::clamp<LONGLONG>(*current, 0, clip_.frames() - 1));
        at_end_ = false;
        seeks_++;
        if (state_ == kFilterPaused)
            Repaint();
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
        return S_OK;
    }
    HRESULT GetDuration(LONGLONG *duration) override
    {
        if (duration == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *duration = clip_.frames();
        return S_OK;
    }

    // IMediaEventEx
    HRESULT SetNotifyWindow(HWND window, long message, LONG_PTR param) override
    {
        std::lock_guard<std::mutex> g(events_mu_);
        notify_ = window;
        notify_message_ = UINT(message);
        notify_param_ = param;
        return S_OK;
    }
    HRESULT GetEvent(long *code, LONG_PTR *p1, LONG_PTR *p2, long) override
    {
        if (code == nullptr || p1 == nullptr || p2 == nullptr)
            return E_POINTER;
        std::lock_guard<std::mutex> g(events_mu_);
        if (events_.empty())
            return E_ABORT;
        *code = events_.front();
        *p1 = *p2 = 0;
        events_.erase(events_.begin());
        return S_OK;
    }
    HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }

    // The video window's procedure.
    LRESULT WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            draw_picture(hwnd, clip_.Picture(), width_, height_, full_screen_);
            return 0;
        }
        default:
            // Input goes on to the message drain.
            if (drain_ != nullptr && ((message >= WM_KEYFIRST && message <= 0x108) ||
                                      (message >= WM_MOUSEFIRST && message <= 0x209))) {
                PostMessageA(drain_, message, wParam, lParam);
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

private:
    HRESULT Answer(long *out, int value)
    {
        if (out == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *out = value;
        return S_OK;
    }

    int Current()
    {
        PlatMonitorEnter(monitor_);
        int n = current_;
        PlatMonitorLeave(monitor_);
        return n;
    }

    HRESULT SetState(long state)
    {
        if (!clip_.loaded())
            return E_UNEXPECTED;
        if (state != kFilterStopped && !tracks_made_) {
            // The sound tracks play through windows of the owner's.
            tracks_made_ = true;
            for (const mzi::Track &t : clip_.movie().tracks)
                tracks_.push_back(std::make_unique<MediaSound>(owner_, t.format, clip_.data() + t.data_offset,
                                                               t.length, t.start_frame));
        }
        PlatMonitorEnter(monitor_);
        const long before = state_;
        state_ = state;
        if (state == kFilterRunning)
            at_end_ = false;
        if (state == kFilterPaused && before != kFilterPaused)
            Repaint();  // a paused graph shows its current frame
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
        if (state != kFilterRunning)
            for (auto &t : tracks_)
                t->Stop();
        if (window_ != nullptr && (full_screen_ || auto_show_)) {
            if (state != kFilterStopped)
                ShowWindow(window_, SW_SHOW);
            else if (full_screen_)
                ShowWindow(window_, SW_HIDE);
        }
        return S_OK;
    }

    // Asks the thread to show the current frame once (under the monitor); the frame is the one of
    // this moment, whatever seeks follow before the thread gets to it.
    void Repaint()
    {
        repaint_ = true;
        repaint_frame_ = current_;
    }

    void CreateVideoWindow()
    {
        if (window_ != nullptr)
            return;
        DWORD style = DWORD(style_) & ~WS_VISIBLE;
        HWND parent = owner_;
        int x = left_, y = top_, w = win_width_ > 0 ? win_width_ : width_, h = win_height_ > 0 ? win_height_ : height_;
        if (full_screen_) {
            style = WS_POPUP;
            parent = nullptr;
            x = y = 0;
            w = GetSystemMetrics(SM_CXSCREEN);
            h = GetSystemMetrics(SM_CYSCREEN);
        } else if (parent == nullptr) {
            style = WS_OVERLAPPED | WS_CAPTION;
        }
        window_ = CreateWindowExA(0, kVideoWindowClass, caption_.c_str(), style, x, y, w, h, parent, nullptr,
                                  library().instance, nullptr);
        if (window_ != nullptr)
            SetWindowLongPtrA(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    // A new window for a new owner or mode, shown when the old one was.
    void Remake()
    {
        if (!clip_.loaded())
            return;
        DestroyVideoWindow();
        if (full_screen_ || owner_ != nullptr)
            CreateVideoWindow();
        if (visible_)
            put_Visible(-1);
    }

    void DestroyVideoWindow()
    {
        if (window_ == nullptr)
            return;
        SetWindowLongPtrA(window_, GWL_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }

    void Place()
    {
        if (window_ == nullptr || full_screen_)
            return;
        MoveWindow(window_, left_, top_, win_width_ > 0 ? win_width_ : width_, win_height_ > 0 ? win_height_ : height_,
                   TRUE);
    }

    void Complete()
    {
        HWND to;
        UINT message;
        LONG_PTR param;
        {
            std::lock_guard<std::mutex> g(events_mu_);
            events_.push_back(kCompleteEvent);
            to = notify_;
            message = notify_message_;
            param = notify_param_;
        }
        if (to != nullptr)
            PostMessageA(to, message, 0, param);
    }

    // The graph's thread: shows the current frame while running (or once after a pause or a seek while
    // paused), one frame per 1000 / fps ms of the platform clock; after the last frame's time it
    // reports completion and waits.
    void Run_()
    {
        PlatMonitorEnter(monitor_);
        for (;;) {
            PlatMonitorWait(monitor_, INFINITE, [](void *self) -> BOOL {
                auto *g = static_cast<FilterGraph *>(self);
                return g->stop_ || g->repaint_ || (g->state_ == kFilterRunning && !g->at_end_);
            }, this);
            if (stop_)
                break;
            const bool running = state_ == kFilterRunning && !at_end_;
            const int frame = repaint_ && !running ? repaint_frame_ : current_;
            repaint_ = false;
            const uint64_t seeks = seeks_;
            PlatMonitorLeave(monitor_);

            draw_picture(window_, clip_.Render(frame), width_, height_, full_screen_);
            if (running)
                for (auto &t : tracks_)
                    if (t->start_frame == uint32_t(frame))
                        t->Play();

            PlatMonitorEnter(monitor_);
            if (!running)
                continue;
            struct Wait {
                FilterGraph *g;
                uint64_t seeks;
            } wait{this, seeks};
            const bool cut = PlatMonitorWait(monitor_, clip_.period(), [](void *arg) -> BOOL {
                auto *w = static_cast<Wait *>(arg);
                return w->g->stop_ || w->g->state_ != kFilterRunning || w->g->seeks_ != w->seeks;
            }, &wait);
            if (cut)
                continue;
            if (current_ + 1 < clip_.frames()) {
                current_++;
            } else {
                at_end_ = true;
                PlatMonitorLeave(monitor_);
                for (auto &t : tracks_)
                    t->Stop();
                Complete();
                PlatMonitorEnter(monitor_);
            }
        }
        PlatMonitorLeave(monitor_);
    }

    void Shutdown()
    {
        PlatMonitorEnter(monitor_);
        stop_ = true;
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
        if (thread_.joinable())
            thread_.join();
        tracks_.clear();
        DestroyVideoWindow();
    }

    std::atomic<ULONG> refs_{1};
    Clip clip_;
    int width_ = 0, height_ = 0;
    std::vector<IBaseFilter *> filters_;
    std::vector<std::unique_ptr<MediaSound>> tracks_;  // made once, before the thread first reads them
    bool tracks_made_ = false;

    // Video window (made and destroyed by the host; the thread draws into it).
    std::atomic<HWND> window_{nullptr};
    HWND owner_ = nullptr;
    HWND drain_ = nullptr;
    std::string caption_;
    long style_ = kDefaultStyle;
    std::atomic<bool> full_screen_{false};
    bool auto_show_ = true;
    bool visible_ = false;
    int left_ = 0, top_ = 0, win_width_ = 0, win_height_ = 0;

    // Under the monitor.
    PlatMonitor *monitor_;
    long state_ = kFilterStopped;
    int current_ = 0;
    bool at_end_ = false;
    bool repaint_ = false;
    int repaint_frame_ = 0;
    bool stop_ = false;
    uint64_t seeks_ = 0;
    std::thread thread_;

    std::mutex events_mu_;
    std::vector<long> events_;  // few: a movie has one completion
    HWND notify_ = nullptr;
    UINT notify_message_ = 0;
    LONG_PTR notify_param_ = 0;
};

LRESULT CALLBACK video_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *graph = reinterpret_cast<FilterGraph *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
    if (graph == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return graph->WindowMessage(hwnd, message, wParam, lParam);
}

// ---- the outside filter: a filter that does nothing but exist ----

class OutsideFilter final : public IBaseFilter {
public:
    HRESULT QueryInterface(REFIID iid, void **out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOutsideFilter || iid == IID_IBaseFilter) {
            *out = static_cast<IBaseFilter *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// ---- the multimedia stream ----

class MultiMediaStream;

// The primary video stream and its one kind of sample.
class VideoStream final : public IMediaStream, public IDirectDrawMediaStream {
public:
    explicit VideoStream(MultiMediaStream *owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID iid, void **out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateSample(IDirectDrawSurface *surface, const RECT *rect, DWORD flags,
                         IDirectDrawStreamSample **sample) override;

private:
    MultiMediaStream *owner_;
};

class Sample final : public IDirectDrawStreamSample {
public:
    Sample(MultiMediaStream *owner, IDirectDrawSurface *surface, RECT rect);
    ~Sample();
    HRESULT QueryInterface(REFIID iid, void **out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown) {
            *out = static_cast<IUnknown *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }
    HRESULT GetSurface(IDirectDrawSurface **surface, RECT *rect) override
    {
        if (surface != nullptr) {
            surface_->AddRef();
            *surface = surface_;
        }
        if (rect != nullptr)
            *rect = rect_;
        return S_OK;
    }
    HRESULT Update(DWORD flags, HANDLE event, void *apc, DWORD_PTR data) override;

private:
    std::atomic<ULONG> refs_{1};
    MultiMediaStream *owner_;
    IDirectDrawSurface *surface_;
    RECT rect_;
};

class MultiMediaStream final : public IAMMultiMediaStream {
public:
    MultiMediaStream() : monitor_(PlatMonitorCreate()), video_(this) {}
    ~MultiMediaStream()
    {
        release(graph_);
        release(draw_);
        PlatMonitorDestroy(monitor_);
    }

    HRESULT QueryInterface(REFIID iid, void **out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IMultiMediaStream) {
            *out = static_cast<IAMMultiMediaStream *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }

    HRESULT Initialize(DWORD type, DWORD, IGraphBuilder *graph) override
    {
        if (type != kStreamRead)
            return E_INVALIDARG;
        if (initialised_)
            return E_UNEXPECTED;
        initialised_ = true;
        if (graph != nullptr) {
            graph->AddRef();
            graph_ = graph;
        }
        return S_OK;
    }
    HRESULT AddMediaStream(IUnknown *object, const GUID *purpose, DWORD flags, IMediaStream **stream) override
    {
        if (!initialised_ || purpose == nullptr)
            return E_UNEXPECTED;
        if (*purpose == MSPID_PrimaryVideo) {
            if (has_video_)
                return E_INVALIDARG;
            void *dd = nullptr;
            if (object != nullptr) {
                if (FAILED(object->QueryInterface(IID_IDirectDraw, &dd)))
                    return E_NOINTERFACE;
            } else {
                IDirectDraw *own = nullptr;
                HRESULT hr = DirectDrawCreate(nullptr, &own, nullptr);
                if (FAILED(hr))
                    return hr;
                own->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
                dd = own;
            }
            draw_ = static_cast<IDirectDraw *>(dd);
            has_video_ = true;
        } else if (*purpose == MSPID_PrimaryAudio) {
            if (!(flags & kAddDefaultRenderer))
                return E_INVALIDARG;
            // The default renderer needs a sound device.
            IDirectSound *sound = nullptr;
            if (FAILED(DirectSoundCreate(nullptr, &sound, nullptr)))
                return kNoAudioHardware;
            sound->Release();
            has_audio_ = true;
        } else {
            return kNotFound;
        }
        if (stream != nullptr)
            *stream = nullptr;
        return S_OK;
    }
    HRESULT OpenFile(const char16_t *file, DWORD) override
    {
        if (!has_video_)
            return E_UNEXPECTED;
        return clip_.Load(file);
    }
    HRESULT GetMediaStream(const GUID &purpose, IMediaStream **stream) override
    {
        if (stream == nullptr)
            return E_POINTER;
        *stream = nullptr;
        if (purpose != MSPID_PrimaryVideo || !has_video_)
            return kNotFound;
        video_.AddRef();
        *stream = static_cast<IMediaStream *>(&video_);
        return S_OK;
    }
    HRESULT SetState(DWORD state) override
    {
        if (!clip_.loaded())
            return E_UNEXPECTED;
        PlatMonitorEnter(monitor_);
        running_ = state == kStreamRun;
        first_ = true;
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
        return S_OK;
    }
    HRESULT GetDuration(LONGLONG *duration) override
    {
        if (duration == nullptr)
            return E_POINTER;
        if (!clip_.loaded())
            return E_UNEXPECTED;
        *duration = LONGLONG(clip_.frames()) * 10000000 / clip_.fps();
        return S_OK;
    }
    HRESULT Seek(LONGLONG time) override
    {
        if (!clip_.loaded())
            return E_UNEXPECTED;
        PlatMonitorEnter(monitor_);
        next_ = int(std::clamp<LONGLONG>(time * clip_.fps() / 10000000, 0, clip_.frames()));
        first_ = true;
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
        return S_OK;
    }

    HRESULT NewSample(IDirectDrawSurface *surface, const RECT *rect, IDirectDrawStreamSample **sample)
    {
        if (sample == nullptr)
            return E_POINTER;
        *sample = nullptr;
        if (!clip_.loaded() || draw_ == nullptr)
            return E_UNEXPECTED;
        RECT r{0, 0, clip_.width(), clip_.height()};
        if (surface == nullptr) {
            DDSURFACEDESC desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
            desc.dwWidth = DWORD(clip_.width());
            desc.dwHeight = DWORD(clip_.height());
            desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
            HRESULT hr = draw_->CreateSurface(&desc, &surface, nullptr);
            if (FAILED(hr))
                return hr;
        } else {
            surface->AddRef();
            if (rect != nullptr)
                r = *rect;
        }
        *sample = new Sample(this, surface, r);
        return S_OK;
    }

    // Waits for the next frame's time, then draws it into the surface.
    HRESULT NextFrame(IDirectDrawSurface *surface, const RECT &rect)
    {
        const DWORD period = clip_.period();
        PlatMonitorEnter(monitor_);
        if (!running_) {
            // Not a busy loop for a caller that polls a stopped stream: wait a frame's time for a start.
            PlatMonitorWait(monitor_, period, [](void *self) -> BOOL {
                return static_cast<MultiMediaStream *>(self)->running_;
            }, this);
            PlatMonitorLeave(monitor_);
            return kNotRunning;
        }
        if (!first_ || next_ >= clip_.frames()) {
            // A stop, a start or a seek ends the wait.
            PlatMonitorWait(monitor_, period, [](void *self) -> BOOL {
                auto *s = static_cast<MultiMediaStream *>(self);
                return !s->running_ || s->first_;
            }, this);
            if (!running_) {
                PlatMonitorLeave(monitor_);
                return kNotRunning;
            }
        }
        if (next_ >= clip_.frames()) {
            PlatMonitorLeave(monitor_);
            return kEndOfStream;
        }
        const int frame = next_++;
        first_ = false;
        PlatMonitorLeave(monitor_);

        const std::vector<uint32_t> picture = clip_.Render(frame);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        if (FAILED(hr))
            return hr;
        auto *base = static_cast<uint8_t *>(desc.lpSurface);
        const int bytes = int(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        const bool rgb555 = desc.ddpfPixelFormat.dwGBitMask == 0x03E0;
        for (int y = 0; y < clip_.height() && rect.top + y < LONG(desc.dwHeight); y++) {
            for (int x = 0; x < clip_.width() && rect.left + x < LONG(desc.dwWidth); x++) {
                const uint32_t c = picture[size_t(y) * clip_.width() + x];
                uint8_t *p = base + size_t(rect.top + y) * desc.lPitch + size_t(rect.left + x) * bytes;
                if (bytes == 4) {
                    std::memcpy(p, &c, 4);
                } else {
                    const uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                    const uint16_t v = rgb555 ? uint16_t((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
                                              : uint16_t((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
                    std::memcpy(p, &v, 2);
                }
            }
        }
        surface->Unlock(desc.lpSurface);
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    PlatMonitor *monitor_;
    bool initialised_ = false;
    bool has_video_ = false;
    bool has_audio_ = false;
    IGraphBuilder *graph_ = nullptr;
    IDirectDraw *draw_ = nullptr;
    Clip clip_;
    VideoStream video_;
    // Under the monitor.
    bool running_ = false;
    bool first_ = true;  // the next update draws at once
    int next_ = 0;

    friend class VideoStream;
};

HRESULT VideoStream::QueryInterface(REFIID iid, void **out)
{
    if (out == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown) {
        *out = static_cast<IMediaStream *>(this);
    } else if (iid == IID_IDirectDrawMediaStream) {
        *out = static_cast<IDirectDrawMediaStream *>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// The stream lives as long as its owner.
ULONG VideoStream::AddRef()
{
    return owner_->AddRef();
}

ULONG VideoStream::Release()
{
    return owner_->Release();
}

HRESULT VideoStream::CreateSample(IDirectDrawSurface *surface, const RECT *rect, DWORD,
                                  IDirectDrawStreamSample **sample)
{
    return owner_->NewSample(surface, rect, sample);
}

Sample::Sample(MultiMediaStream *owner, IDirectDrawSurface *surface, RECT rect)
    : owner_(owner), surface_(surface), rect_(rect)
{
    owner_->AddRef();
}

Sample::~Sample()
{
    surface_->Release();
    owner_->Release();
}

HRESULT Sample::Update(DWORD, HANDLE, void *, DWORD_PTR)
{
    return owner_->NextFrame(surface_, rect_);
}

template <class T, class I>
HRESULT create(IUnknown *outer, REFIID iid, void **out)
{
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    T *object = new T;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace

void register_classes()
{
    WNDCLASSA wc{};
    wc.hInstance = library().instance;
    wc.lpfnWndProc = video_window_proc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kVideoWindowClass;
    RegisterClassA(&wc);
    PlatRegisterComClass(CLSID_FilterGraph, create<FilterGraph, IGraphBuilder>);
    PlatRegisterComClass(CLSID_OutsideFilter, create<OutsideFilter, IBaseFilter>);
    PlatRegisterComClass(CLSID_MultiMediaStream, create<MultiMediaStream, IAMMultiMediaStream>);
}

void unregister_classes()
{
    PlatRegisterComClass(CLSID_FilterGraph, nullptr);
    PlatRegisterComClass(CLSID_OutsideFilter, nullptr);
    PlatRegisterComClass(CLSID_MultiMediaStream, nullptr);
    UnregisterClassA(kVideoWindowClass, library().instance);
}

}  // namespace media::ds
