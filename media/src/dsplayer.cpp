#include "dsplayer.h"

#include <cstring>
#include <vector>

#include "errors.h"
#include "library.h"

namespace media {

namespace {

// Keeps a COM step's result in the object; a failure writes the debugger line with the step's number.
bool check(MediaObject &object, HRESULT result, int step)
{
    object.last_result = result;
    if (FAILED(result)) {
        report_failure(result, step);
        return false;
    }
    return true;
}

template <class T>
HRESULT query(IUnknown *from, REFIID iid, T *&out)
{
    void *p = nullptr;
    HRESULT hr = from->QueryInterface(iid, &p);
    out = static_cast<T *>(p);
    return hr;
}

template <class T>
HRESULT create(REFCLSID clsid, REFIID iid, T *&out)
{
    void *p = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &p);
    out = static_cast<T *>(p);
    return hr;
}

constexpr long kDefaultVideoStyle = 0x46000000;
constexpr long kDefaultExStyle = 0x88;

}  // namespace

// ---- movies ----

MediaDSMovie::MediaDSMovie(intptr_t src, ParamList list) : MediaFileObject(src)
{
    SetParams(list);  // the frame and position are only stored here
    notify_side_window = CreateWindowExA(WS_EX_TOOLWINDOW, kNotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                         IsWindow(parent_window) ? parent_window : nullptr, nullptr,
                                         library().instance, nullptr);
    if (notify_side_window == nullptr || !IsWindow(parent_window))
        return;
    SetWindowLongPtrA(notify_side_window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));

    if (!check(*this, create(ds::CLSID_FilterGraph, ds::IID_IGraphBuilder, graph_), 107) ||
        !check(*this, query(graph_, ds::IID_IVideoWindow, video_), 110) ||
        !check(*this, video_->put_FullScreenMode(0), 112) ||
        !check(*this, query(graph_, ds::IID_IBasicVideo, basic_), 114) ||
        !check(*this, graph_->RenderFile(source_wide.c_str(), nullptr), 117) ||
        !check(*this, query(graph_, ds::IID_IMediaControl, control_), 120))
        return;

    if (notify_window == nullptr)
        notify_window = parent_window != nullptr ? parent_window : notify_side_window;
    if (!check(*this, video_->put_AutoShow(0), 127) || !check(*this, video_->put_Caption(u""), 129) ||
        !check(*this, video_->put_WindowState(ds::kHidden), 131) ||
        !check(*this, video_->put_WindowStyle(style_), 136) ||
        !check(*this, video_->put_MessageDrain(notify_window), 144) ||
        !check(*this, video_->put_Owner(parent_window), 146))
        return;

    long width = 0, height = 0;
    if (!check(*this, basic_->get_VideoWidth(&width), 149) || !check(*this, basic_->get_VideoHeight(&height), 151))
        return;
    source_rect = RECT{0, 0, LONG(width), LONG(height)};
    dest_rect = source_rect;
    if (!check(*this, video_->put_Top(dest_rect.top), 155) || !check(*this, video_->put_Left(dest_rect.left), 157) ||
        !check(*this, query(graph_, ds::IID_IMediaPosition, position_), 159) ||
        !check(*this, query(graph_, ds::IID_IMediaSeeking, seeking_), 161))
        return;
    seeking_->SetTimeFormat(&ds::TIME_FORMAT_FRAME);
    LONGLONG at = current_frame;
    if (!check(*this, seeking_->SetPositions(&at, ds::kSeekAbsolute, nullptr, ds::kSeekNone), 166))
        return;
    position_->get_CurrentPosition(&position);
    if (!check(*this, query(graph_, ds::IID_IMediaEvent, events_), 169) ||
        !check(*this, events_->SetNotifyWindow(notify_side_window, kGraphEventMessage, 0), 171))
        return;

    // Frames and their rate, for the common ids.
    LONGLONG frames = 0;
    double seconds = 0.0;
    if (SUCCEEDED(seeking_->GetDuration(&frames)) && SUCCEEDED(position_->get_Duration(&seconds)) && seconds > 0) {
        frame_count = int32_t(frames);
        fps = uint16_t(double(frames) / seconds + 0.5);
    }
    ready = 1;
}

MediaDSMovie::~MediaDSMovie()
{
    ReleaseAll();
}

void MediaDSMovie::ReleaseAll()
{
    ds::release(events_);
    ds::release(seeking_);
    ds::release(position_);
    ds::release(control_);
    ds::release(basic_);
    ds::release(video_);
    ds::release(graph_);
    if (notify_side_window != nullptr) {
        SetWindowLongPtrA(notify_side_window, GWL_USERDATA, 0);
        DestroyWindow(notify_side_window);
        notify_side_window = nullptr;
    }
}

void MediaDSMovie::ReadFrame()
{
    current_frame = int32_t(GraphPosition());
}

LONGLONG MediaDSMovie::GraphPosition()
{
    LONGLONG at = current_frame;
    if (seeking_ != nullptr)
        seeking_->GetCurrentPosition(&at);
    return at;
}

void MediaDSMovie::Seek(LONGLONG frame)
{
    if (seeking_ != nullptr)
        seeking_->SetPositions(&frame, ds::kSeekAbsolute, nullptr, ds::kSeekNone);
}

int MediaDSMovie::OnMessage(UINT message, WPARAM, LPARAM)
{
    if (message != kGraphEventMessage || events_ == nullptr)
        return 1;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events_ != nullptr && SUCCEEDED(events_->GetEvent(&code, &p1, &p2, 0))) {
        events_->FreeEventParams(code, p1, p2);
        if (code != ds::kCompleteEvent)
            continue;
        ReadFrame();
        control_->Pause();
        long state = 0;
        control_->GetState(100, &state);
        control_->Stop();
        // The movie ends stopped, so a later Play starts it again.
        last_command = MEDIA_CMD_STOP;
        const int32_t last = current_frame;
        Notify(MEDIAMSG_STOPPED, last);
        Notify(MEDIAMSG_LASTFRAME, last);
        if (!closed) {
            current_frame = 0;
            Seek(0);
        }
        return 0;
    }
    return 1;
}

double MediaDSMovie::GetPosition()
{
    double seconds = 0.0;
    if (position_ != nullptr)
        position_->get_CurrentPosition(&seconds);
    return seconds;
}

int MediaDSMovie::Play()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    video_->SetWindowPosition(dest_rect.left, dest_rect.top, dest_rect.right - dest_rect.left,
                              dest_rect.bottom - dest_rect.top);
    video_->put_Visible(-1);
    Seek(current_frame);
    Notify(MEDIAMSG_STARTED, current_frame);
    if (!closed)
        control_->Run();
    return 1;
}

int MediaDSMovie::Stop()
{
    ReadFrame();
    if (State() == MEDIA_STATE_STOPPED)
        return 0;
    video_->put_Visible(0);
    control_->Stop();
    Notify(MEDIAMSG_STOPPED, current_frame);
    return 1;
}

int MediaDSMovie::Pause()
{
    ReadFrame();
    const int32_t state = State();
    if (state != MEDIA_STATE_PLAYING && state != MEDIA_STATE_STOPPED)
        return 0;
    control_->Pause();
    Notify(MEDIAMSG_PAUSED, current_frame);
    return 1;
}

int MediaDSMovie::Continue()
{
    ReadFrame();
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    MediaDSMovie::Play();
    if (closed)
        return 1;
    direction = 1;
    Notify(MEDIAMSG_CONTINUED, current_frame);
    return 1;
}

void MediaDSMovie::Close()
{
    if (video_ != nullptr)
        video_->put_Visible(0);
    if (control_ != nullptr)
        control_->Stop();
    // Later graph events no longer reach the object.
    if (notify_side_window != nullptr)
        SetWindowLongPtrA(notify_side_window, GWL_USERDATA, 0);
    ReleaseAll();
}

void MediaDSMovie::SetOwn(const MediaParam &p)
{
    const intptr_t v = p.value;
    switch (p.id) {
    case MEDIAPARAM_VIDEOSTYLE:
        style_ = v != 0 ? long(v) : kDefaultVideoStyle;
        break;
    case MEDIAPARAM_EXSTYLE:
        ex_style_ = v != 0 ? long(v) : kDefaultExStyle;
        break;
    case MEDIAPARAM_FRAME:
        current_frame = int32_t(v);
        Seek(current_frame);
        break;
    case MEDIAPARAM_POSLOW:
        position_low_ = uint32_t(v);
        break;
    case MEDIAPARAM_POSHIGH:
        stored_position_ = LONGLONG(uint64_t(uint32_t(v)) << 32 | position_low_);
        Seek(stored_position_);
        break;
    default:
        break;
    }
}

void MediaDSMovie::GetOwn(const MediaParam &p)
{
    const intptr_t at = p.value;
    switch (p.id) {
    case MEDIAPARAM_FRAME:
        ReadFrame();
        answer<int32_t>(at, current_frame);
        break;
    case MEDIAPARAM_POSHIGH:
        answer<int32_t>(at, int32_t(uint64_t(GraphPosition()) >> 32));
        break;
    case MEDIAPARAM_PICTURE: {
        long size = 0;
        if (basic_ == nullptr || FAILED(basic_->GetCurrentImage(&size, nullptr)) || size <= long(sizeof(BITMAPINFOHEADER)))
            break;
        std::vector<long> image(size_t(size + long(sizeof(long)) - 1) / sizeof(long));
        if (FAILED(basic_->GetCurrentImage(&size, image.data())))
            break;
        BITMAPINFOHEADER header;
        std::memcpy(&header, image.data(), sizeof header);
        const int w = header.biWidth, h = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        if (header.biBitCount != 32 || w <= 0 || h <= 0 || size < long(sizeof header) + long(w) * h * 4)
            break;
        // Bottom-up rows turned top-down for the answer.
        const auto *rows = reinterpret_cast<const uint32_t *>(reinterpret_cast<const uint8_t *>(image.data()) + sizeof header);
        std::vector<uint32_t> top(size_t(w) * size_t(h));
        for (int y = 0; y < h; y++)
            std::memcpy(top.data() + size_t(y) * size_t(w),
                        rows + size_t(header.biHeight < 0 ? y : h - 1 - y) * size_t(w), size_t(w) * 4);
        answer_picture(at, top.data(), w, h);
        break;
    }
    case MEDIAPARAM_POSLOW:
        answer<int32_t>(at, int32_t(uint32_t(uint64_t(GraphPosition()))));
        break;
    default:
        break;
    }
}

MediaDSFullScreen::MediaDSFullScreen(intptr_t src, ParamList list) : MediaDSMovie(src, list)
{
    if (!ready)
        return;
    HRESULT hr = video_->put_FullScreenMode(-1);
    if (FAILED(hr))
        report_failure(hr, 385);  // still ready: it plays in its window
}

int MediaDSFullScreen::Play()
{
    control_->Run();
    return 1;
}

int MediaDSFullScreen::Stop()
{
    control_->Stop();
    return 1;
}

// ---- the graph with the outside filter ----

MediaDSFilterGraph::MediaDSFilterGraph(intptr_t src, ParamList list) : MediaFileObject(src)
{
    SetParams(list);
    if (notify_window == nullptr)
        notify_window = parent_window;
    if (!check(*this, create(ds::CLSID_FilterGraph, ds::IID_IGraphBuilder, graph_), 71) ||
        !check(*this, create(ds::CLSID_OutsideFilter, ds::IID_IOutsideFilter, filter_), 73) ||
        !check(*this, query(filter_, ds::IID_IBaseFilter, base_), 75) ||
        !check(*this, graph_->AddFilter(base_, nullptr), 77) ||
        !check(*this, graph_->RenderFile(source_wide.c_str(), nullptr), 79))
        return;
    ready = 1;
}

MediaDSFilterGraph::~MediaDSFilterGraph()
{
    Close();
}

void MediaDSFilterGraph::Close()
{
    ds::release(base_);
    ds::release(filter_);
    ds::release(graph_);
}

// ---- the stream player ----

MediaDSStream::MediaDSStream(intptr_t src, ParamList list) : MediaFileObject(src)
{
    monitor_ = PlatMonitorCreate();
    if (!check(*this, create(ds::CLSID_FilterGraph, ds::IID_IGraphBuilder, graph_), 441))
        return;
    SetParams(list);
    if (!check(*this, create(ds::CLSID_MultiMediaStream, ds::IID_IMultiMediaStream, stream_), 446) ||
        !check(*this, stream_->Initialize(ds::kStreamRead, 0, graph_), 448) ||
        !check(*this, stream_->AddMediaStream(direct_draw_, &ds::MSPID_PrimaryVideo, 0, nullptr), 450))
        return;
    // A machine without sound hardware still shows the pictures.
    const HRESULT audio = stream_->AddMediaStream(nullptr, &ds::MSPID_PrimaryAudio, ds::kAddDefaultRenderer, nullptr);
    if ((audio != ds::kNoAudioHardware && !check(*this, audio, 453)) ||
        !check(*this, stream_->OpenFile(source_wide.c_str(), 0), 455) ||
        !check(*this, stream_->GetMediaStream(ds::MSPID_PrimaryVideo, &video_), 457) ||
        !check(*this, query(video_, ds::IID_IDirectDrawMediaStream, draw_stream_), 457) ||
        !check(*this, stream_->SetState(ds::kStreamStop), 459) ||
        !check(*this, draw_stream_->CreateSample(nullptr, nullptr, 0, &sample_), 463) ||
        !check(*this, sample_->GetSurface(&sample_surface_, &sample_rect_), 465))
        return;
    LONGLONG duration = 0;
    if (SUCCEEDED(stream_->GetDuration(&duration)))
        position = double(duration) / 1e7;
    if (notify_window == nullptr)
        notify_window = parent_window;
    dest_rect = sample_rect_;
    PublishCorner();
    thread_ = std::thread([this] { RunThread(); });  // waits at the closed gate until Play
    ready = 1;
}

MediaDSStream::~MediaDSStream()
{
    ReleaseAll();
    PlatMonitorDestroy(monitor_);
}

void MediaDSStream::Gate(bool run)
{
    PlatMonitorEnter(monitor_);
    run_ = run;
    PlatMonitorNotifyAll(monitor_);
    PlatMonitorLeave(monitor_);
}

void MediaDSStream::RunThread()
{
    for (;;) {
        PlatMonitorEnter(monitor_);
        PlatMonitorWait(monitor_, INFINITE, [](void *self) -> BOOL {
            auto *s = static_cast<MediaDSStream *>(self);
            return s->stop_ || s->run_;
        }, this);
        const bool stop = stop_;
        PlatMonitorLeave(monitor_);
        if (stop)
            return;
        // Waits for the next frame (or a frame's time when the stream is stopped or at its end).
        if (sample_->Update(0, nullptr, nullptr, 0) != S_OK)
            continue;
        IDirectDrawSurface *target;
        LONG x, y;
        {
            // Held while it blits: the host may swap id 22 and release the old surface meanwhile.
            std::lock_guard<std::mutex> hold(blit_mu_);
            target = target_;
            if (target != nullptr)
                target->AddRef();
            x = corner_x_;
            y = corner_y_;
        }
        if (target != nullptr) {
            target->BltFast(DWORD(x), DWORD(y), sample_surface_, nullptr, DDBLTFAST_WAIT);
            target->Release();
        }
    }
}

// No lock is held across the list: its commands send notices, whose handlers may set parameters of
// this object again (or close it).
void MediaDSStream::SetParams(ParamList list)
{
    MediaFileObject::SetParams(list);
    PublishCorner();
}

void MediaDSStream::PublishCorner()
{
    std::lock_guard<std::mutex> hold(blit_mu_);
    corner_x_ = dest_rect.left;
    corner_y_ = dest_rect.top;
}

double MediaDSStream::GetPosition()
{
    return position;
}

int MediaDSStream::Play()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    if (state == MEDIA_STATE_STOPPED)
        stream_->Seek(0);  // a play from stopped starts at the beginning
    Gate(true);
    stream_->SetState(ds::kStreamRun);
    Notify(MEDIAMSG_STARTED, current_frame);
    return 1;
}

int MediaDSStream::Stop()
{
    if (State() == MEDIA_STATE_STOPPED)
        return 0;
    Gate(false);
    stream_->SetState(ds::kStreamStop);
    Notify(MEDIAMSG_STOPPED, current_frame);
    return 1;
}

int MediaDSStream::Pause()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_PLAYING && state != MEDIA_STATE_STOPPED)
        return 0;
    stream_->SetState(ds::kStreamStop);
    Notify(MEDIAMSG_PAUSED, current_frame);
    return 1;
}

int MediaDSStream::Continue()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    // From stopped the blit thread was held as well: let it go again, or nothing would be drawn.
    Gate(true);
    stream_->SetState(ds::kStreamRun);
    Notify(MEDIAMSG_CONTINUED, current_frame);
    return 1;
}

void MediaDSStream::Close()
{
    if (stream_ != nullptr) {
        Stop();
        stream_->SetState(ds::kStreamStop);
    }
    ReleaseAll();
}

void MediaDSStream::ReleaseAll()
{
    if (monitor_ != nullptr) {
        PlatMonitorEnter(monitor_);
        stop_ = true;
        PlatMonitorNotifyAll(monitor_);
        PlatMonitorLeave(monitor_);
    }
    if (stream_ != nullptr)
        stream_->SetState(ds::kStreamStop);  // ends an update that waits for a frame
    if (thread_.joinable())
        thread_.join();
    ds::release(sample_surface_);
    ds::release(sample_);
    ds::release(draw_stream_);
    ds::release(video_);
    ds::release(stream_);
    ds::release(graph_);
}

void MediaDSStream::SetOwn(const MediaParam &p)
{
    const intptr_t v = p.value;
    switch (p.id) {
    case MEDIAPARAM_DIRECTDRAW:
        direct_draw_ = reinterpret_cast<IUnknown *>(v);
        break;
    case MEDIAPARAM_SURFACE: {
        // Once the list returns the host may release the old surface: the blit thread holds a
        // reference of its own to whichever it took.
        std::lock_guard<std::mutex> hold(blit_mu_);
        target_ = reinterpret_cast<IDirectDrawSurface *>(v);
        break;
    }
    case MEDIAPARAM_STREAMWORD1:
    case MEDIAPARAM_STREAMWORD2:
    case MEDIAPARAM_STREAMWORD3:
        words_[p.id - MEDIAPARAM_STREAMWORD1] = v;
        break;
    default:
        break;
    }
}

void MediaDSStream::GetOwn(const MediaParam &p)
{
    const intptr_t at = p.value;
    switch (p.id) {
    case MEDIAPARAM_SURFACE:
        answer<intptr_t>(at, reinterpret_cast<intptr_t>(target_));
        break;
    case MEDIAPARAM_STREAMWORD1:
    case MEDIAPARAM_STREAMWORD2:
    case MEDIAPARAM_STREAMWORD3:
        answer<intptr_t>(at, words_[p.id - MEDIAPARAM_STREAMWORD1]);
        break;
    default:
        break;
    }
}

std::unique_ptr<MediaObject> make_ds_movie(int32_t type, intptr_t source, ParamList list)
{
    if (type == MEDIA_DSHOW_FULLSCREEN)
        return std::make_unique<MediaDSFullScreen>(source, list);
    return std::make_unique<MediaDSMovie>(source, list);
}

std::unique_ptr<MediaObject> make_ds_filter(int32_t, intptr_t source, ParamList list)
{
    return std::make_unique<MediaDSFilterGraph>(source, list);
}

std::unique_ptr<MediaObject> make_ds_stream(int32_t, intptr_t source, ParamList list)
{
    return std::make_unique<MediaDSStream>(source, list);
}

}  // namespace media
