#include "mziplayer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "brondel/brpixmap.h"
#include "library.h"
#include "mzipixels.h"

namespace media {

namespace {

// Posted by the player thread to show (wParam 1) or hide its window on the window's own thread;
// lParam is the show serial at posting, so an older request never undoes a newer one.
constexpr UINT kShowMessage = WM_APP + 0x140;
constexpr size_t kTouchBlock = 8192;
const char kResourceType[] = "MEDIA_MZIRESOURCE";

void put16(uint8_t *p, uint16_t v)
{
    std::memcpy(p, &v, 2);
}

uint16_t read16(const uint8_t *p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

}  // namespace

uint32_t round_wait_ms(uint16_t fps, uint32_t round_start, uint32_t now)
{
    int64_t left = int64_t(1000 / std::max<uint16_t>(fps, 1)) - int64_t(uint32_t(now - round_start));
    return uint32_t(std::max<int64_t>(10, left));
}

void MediaMziPlayer::RoundLock::lock()
{
    mu_.lock();
    if (depth_++ == 0)
        owner_.store(std::this_thread::get_id());
}

void MediaMziPlayer::RoundLock::unlock()
{
    if (--depth_ == 0)
        owner_.store(std::thread::id());
    mu_.unlock();
}

MediaMziPlayer::MediaMziPlayer(int32_t type, intptr_t src, ParamList list)
    : MediaFileObject(type == MEDIA_MZI ? src : 0)
{
    source = src;
    monitor_ = PlatMonitorCreate();
    SetParams(list);
    if (notify_window == nullptr)
        notify_window = parent_window;

    bool loaded = type == MEDIA_MZI ? (IsAddress(src) ? LoadFile() : LoadFromResource()) : BuildFrameMovie(type);
    if (!loaded)
        return;
    fps = movie_.fps;
    frame_count = int32_t(movie_.frames.size());
    for (const mzi::Track &t : movie_.tracks)
        tracks_.push_back(std::make_unique<MediaSound>(parent_window, t.format, data_ + t.data_offset, t.length,
                                                       t.start_frame));
    thread_ = CreateThread(nullptr, 0, ThreadStart, this, 0, nullptr);
    if (thread_ == nullptr)
        return;
    if (priority_ != THREAD_PRIORITY_NORMAL)
        SetThreadPriority(thread_, priority_);  // a list's id 6 came before the thread
    if (!Prepare())
        return;
    if (type == MEDIA_MZI && IsAddress(src)) {
        // Read the data once so that it is resident before play.
        std::vector<uint8_t> scratch(kTouchBlock);
        for (size_t at = 0; at < data_size_; at += kTouchBlock)
            std::memcpy(scratch.data(), data_ + at, std::min(kTouchBlock, data_size_ - at));
    }
    ready = 1;
}

MediaMziPlayer::~MediaMziPlayer()
{
    StopThread();
    JoinThread();
    ReleaseAll();
    PlatMonitorDestroy(monitor_);
}

DWORD WINAPI MediaMziPlayer::ThreadStart(LPVOID self)
{
    static_cast<MediaMziPlayer *>(self)->Run();
    return 0;
}

void MediaMziPlayer::JoinThread()
{
    if (thread_ == nullptr)
        return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool MediaMziPlayer::LoadFile()
{
    file_ = CreateFileA(source_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file_ == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file_, nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    uint64_t granularity = std::max<DWORD>(system_info.dwAllocationGranularity, 1);
    uint64_t rounded = (uint64_t(size) + granularity - 1) / granularity * granularity;
    bool parsed;
    std::string why;
    if (uint64_t(memory.dwAvailPhys) < rounded) {
        mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping_ == nullptr)
            return false;
        view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
        if (view_ == nullptr)
            return false;
        data_ = static_cast<const uint8_t *>(view_);
    } else {
        read_block_.assign(size, 0);
        DWORD got = 0;
        if (!ReadFile(file_, read_block_.data(), size, &got, nullptr) || got != size)
            return false;
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        data_ = read_block_.data();
    }
    data_size_ = size;
    parsed = mzi::parse(data_, data_size_, movie_, why);
    if (!parsed)
        OutputDebugStringA(("Media: " + source_path + ": " + why + "\n").c_str());
    return parsed;
}

bool MediaMziPlayer::LoadFromResource()
{
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(source), kResourceType);
    if (found == nullptr)
        return false;
    HGLOBAL loaded = ::LoadResource(module_, found);
    data_ = static_cast<const uint8_t *>(LockResource(loaded));
    data_size_ = SizeofResource(module_, found);
    std::string why;
    return data_ != nullptr && mzi::parse(data_, data_size_, movie_, why);
}

bool MediaMziPlayer::BuildFrameMovie(int32_t type)
{
    frame_mode_ = true;
    int64_t w = int64_t(dest_rect.right) - dest_rect.left, h = int64_t(dest_rect.bottom) - dest_rect.top;
    if (w <= 0 || h <= 0 || w > mzi::kMaxSide || h > mzi::kMaxSide || w * h > mzi::kMaxPixels)
        return false;
    if (type == MEDIA_MZI_FRAME16 && source == 0)
        return false;
    mzi::Frame f{};
    f.width = uint16_t(w);
    f.height = uint16_t(h);
    f.format = type == MEDIA_MZI_FRAME16 ? mzi::kRgb565 : mzi::kAlpha555;
    f.row_bytes = int32_t(w * mzi::stored_bytes(f.format));
    f.pixels = 0;
    if (type == MEDIA_MZI_FRAME16) {
        data_ = reinterpret_cast<const uint8_t *>(source);  // the caller's, read at every redraw
    } else {
        frame_block_.assign(size_t(f.row_bytes) * f.height, 0);  // an empty frame of our own
        data_ = frame_block_.data();
    }
    movie_ = mzi::Movie{};
    movie_.version = mzi::kFlagsVersion;
    movie_.fps = 16;
    movie_.frames.push_back(f);
    movie_.right = int32_t(w);
    movie_.bottom = int32_t(h);
    return true;
}

// Window, bitmap header, rectangles and buffers.
bool MediaMziPlayer::Prepare()
{
    window_ = CreateWindowExA(WS_EX_TOPMOST, kMovieWindowClass, "", WS_CHILD, 0, 0, 0, 0, parent_window, nullptr,
                              library().instance, nullptr);
    if (window_ == nullptr)
        return false;
    SetWindowLongPtrA(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dc_ = GetDC(window_);
    memory_dc_ = CreateCompatibleDC(dc_);
    last_command = MEDIA_CMD_STOP;

    const mzi::Frame &first = movie_.frames.front();
    bitmap_info_.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto *header = reinterpret_cast<BITMAPINFOHEADER *>(bitmap_info_.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biPlanes = 1;
    header->biBitCount = WORD(mzi::drawn_bits(first.format));
    header->biCompression = BI_RGB;
    auto *table = reinterpret_cast<uint8_t *>(bitmap_info_.data() + sizeof(BITMAPINFOHEADER));
    if (first.format == mzi::kAlpha555 || first.format == mzi::kRgb565) {
        // 5-6-5 pixels: blended frames, and frames stored as 5-6-5.
        header->biCompression = BI_BITFIELDS;
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(table, masks, sizeof masks);
    } else if (first.format == mzi::kIndex8) {
        // The file carries no colour table: indices are shown as a grey ramp.
        header->biClrUsed = 256;
        for (int i = 0; i < 256; i++) {
            const RGBQUAD grey{BYTE(i), BYTE(i), BYTE(i), 0};
            std::memcpy(table + i * sizeof(RGBQUAD), &grey, sizeof grey);
        }
    }
    drawn_bytes_ = mzi::drawn_bits(first.format) / 8;

    source_rect = RECT{movie_.left, movie_.top, movie_.right, movie_.bottom};
    if (!movie_.per_frame_headers) {
        dest_rect.right = dest_rect.left + first.width;
        dest_rect.bottom = dest_rect.top + first.height;
    }
    source_width_ = movie_.right - movie_.left;
    source_height_ = movie_.bottom - movie_.top;
    PlaceWindow();
    stride_ = (source_width_ * drawn_bytes_ + 3) & ~3;
    size_t image = size_t(stride_) * source_height_;
    if (first.format == mzi::kAlpha555) {
        blend_ = 1;
        blend_buffer_.assign(image, 0);
    } else {
        PlatMonitorEnter(monitor_);
        draw_gate_ = true;
        PlatMonitorLeave(monitor_);
    }
    frame_buffer_.assign(image, 0);
    return true;
}

// ---- the player thread ----

bool MediaMziPlayer::GateOpen()
{
    PlatMonitorEnter(monitor_);
    bool open = !stop_ && run_ && draw_gate_;
    PlatMonitorLeave(monitor_);
    return open;
}

void MediaMziPlayer::Run()
{
    for (;;) {
        // Blocked, never spinning, while suspended or while the draw gate is closed.
        PlatMonitorEnter(monitor_);
        PlatMonitorWait(monitor_, INFINITE, [](void *self) -> BOOL {
            auto *p = static_cast<MediaMziPlayer *>(self);
            return p->stop_ || (p->run_ && p->draw_gate_);
        }, this);
        bool stop = stop_;
        PlatMonitorLeave(monitor_);
        if (stop)
            return;

        const uint32_t start = timeGetTime();
        bool suspended = false;
        uint16_t rate = 1;
        {
            std::lock_guard<RoundLock> hold(round_);
            if (!GateOpen())
                continue;  // stopped, suspended or closed meanwhile
            suspended = Round(start);
            rate = fps;
        }
        PlatMonitorEnter(monitor_);
        frame_generation_++;
        PlatMonitorNotifyAll(monitor_);
        if (!suspended) {
            PlatMonitorWait(monitor_, round_wait_ms(rate, start, timeGetTime()), [](void *self) -> BOOL {
                auto *p = static_cast<MediaMziPlayer *>(self);
                return p->stop_ || p->refresh_;
            }, this);
            refresh_ = false;
        }
        PlatMonitorLeave(monitor_);
    }
}

bool MediaMziPlayer::Round(uint32_t start)
{
    const int32_t frames = frame_count;
    const int32_t last = frames - 1;
    auto clamp_frame = [last](int32_t n) { return std::clamp(n, 0, last); };

    const bool changed = current_frame != last_drawn_;
    last_drawn_ = current_frame;
    if (++rate_rounds_ >= fps) {
        uint32_t ms = start - rate_mark_;
        if (ms > 0)
            measured_rate = double(fps) * 1000.0 / ms;
        rate_mark_ = start;
        rate_rounds_ = 0;
    }

    const mzi::Frame &f = movie_.frames[size_t(clamp_frame(current_frame))];
    frame_rect_ = RECT{f.left, f.top, f.left + f.width, f.top + f.height};
    if (f.format == mzi::kAlpha555)
        Decode(f);
    if (changed)
        Send(MEDIAMSG_FRAMEDECODED, current_frame);
    Draw(f);
    if (changed)
        Send(MEDIAMSG_FRAMEDRAWN, current_frame);

    const bool ranged = loop || ping_pong;
    if (direction != 0) {
        for (auto &track : tracks_) {
            if (current_frame == last)
                track->Stop();
            if (uint32_t(current_frame) == track->start_frame)
                track->Play();
            if (ranged && range_end != 0 && current_frame == range_end)
                track->Stop();
        }
    }
    if (changed) {
        if (current_frame == last)
            Send(MEDIAMSG_LASTFRAME, current_frame);
        if (current_frame == 0)
            Send(MEDIAMSG_FIRSTFRAME, 0);
        if (ranged && current_frame == range_start)
            Send(MEDIAMSG_RANGESTART, current_frame);
        if (ranged && current_frame == range_end)
            Send(MEDIAMSG_RANGEEND, current_frame);
    }

    if (direction == 0) {
        PostShow(true);
        Send(MEDIAMSG_PAUSED, current_frame);
        last_command = MEDIA_CMD_PAUSE;
        Send(MEDIAMSG_STATE, State());
        SuspendSelf();
        return true;
    }
    if (current_frame < frames)
        current_frame += direction;
    if (current_frame > last) {
        current_frame = last;
        if (ping_pong) {
            direction = -1;
            current_frame = frames - 2;
        } else if (loop) {
            direction = 1;
            current_frame = clamp_frame(range_start);
        } else {
            if (hold_at_end) {
                PostShow(true);
                Send(MEDIAMSG_PAUSED, 0);
                last_command = MEDIA_CMD_PAUSE;
                Send(MEDIAMSG_STATE, State());
            } else {
                PostShow(false);
                Send(MEDIAMSG_STOPPED, 0);
                Send(MEDIAMSG_PAUSED, 0);
                last_command = MEDIA_CMD_STOP;
            }
            direction = 0;
            SuspendSelf();
            return true;
        }
    }
    if (ranged && direction != 0) {
        if (range_end != 0 && current_frame > range_end) {
            if (loop) {
                current_frame = clamp_frame(range_start);
                direction = 1;
            } else {
                current_frame = clamp_frame(range_end);
                direction = -1;
            }
        } else if (current_frame < range_start) {
            direction = loop ? 1 : 0;
            current_frame = clamp_frame(range_start);
        }
    }
    if (current_frame < 0) {
        current_frame = 0;
        if (direction != 0)
            direction = 1;
    }
    return false;
}

void MediaMziPlayer::Decode(const mzi::Frame &f)
{
    const uint8_t *pixels = FramePixels(f);
    uint8_t *out = frame_buffer_.data();
    if (blend_ && background_ != nullptr && !blend_buffer_.empty()) {
        if (movie_.per_frame_headers)
            std::memcpy(out, blend_buffer_.data(), frame_buffer_.size());
        const int ox = f.left - movie_.left, oy = f.top - movie_.top;
        for (int r = 0; r < f.height; r++) {
            const int row = source_height_ - 1 - (oy + f.height - 1 - r);  // bottom-up buffer row
            if (row < 0 || row >= source_height_)
                continue;
            const uint8_t *in = pixels + size_t(r) * f.row_bytes;
            const size_t at = size_t(row) * stride_;
            for (int x = 0; x < f.width; x++) {
                const int bx = ox + x;
                if (bx < 0 || bx >= source_width_)
                    continue;
                uint16_t b = read16(blend_buffer_.data() + at + bx * 2);
                put16(out + at + bx * 2, mzi::blend_pixel(mzi::get16(in + x * 3 + 1), in[x * 3], b));
            }
        }
        return;
    }
    const int rows = std::min<int>(f.height, source_height_), cols = std::min<int>(f.width, source_width_);
    for (int r = 0; r < rows; r++) {
        const uint8_t *in = pixels + size_t(r) * f.row_bytes;
        for (int x = 0; x < cols; x++)
            put16(out + size_t(r) * stride_ + x * 2, mzi::alpha_scale(mzi::get16(in + x * 3 + 1), in[x * 3]));
    }
}

void MediaMziPlayer::Draw(const mzi::Frame &f)
{
    auto *info = reinterpret_cast<BITMAPINFO *>(bitmap_info_.data());
    BITMAPINFOHEADER &header = info->bmiHeader;
    if (f.format == mzi::kAlpha555) {
        header.biWidth = source_width_;
        header.biHeight = source_height_;
        if (movie_.per_frame_headers)
            StretchDIBits(dc_, 0, 0, source_width_, source_height_, 0, 0, source_width_, source_height_,
                          frame_buffer_.data(), info, DIB_RGB_COLORS, SRCCOPY);
        else
            SetDIBitsToDevice(dc_, 0, 0, source_width_, source_height_, 0, 0, 0, source_height_,
                              frame_buffer_.data(), info, DIB_RGB_COLORS);
        return;
    }
    const int bytes = mzi::stored_bytes(f.format);
    const uint8_t *pixels = FramePixels(f);
    int dib_width;
    if (f.row_bytes % 4 == 0 && f.row_bytes % bytes == 0) {
        dib_width = f.row_bytes / bytes;
    } else {
        // Rows that are not whole bitmap rows (odd widths of 16-bit frames) are repacked.
        const int row = (f.width * bytes + 3) & ~3;
        for (int r = 0; r < f.height; r++)
            std::memcpy(frame_buffer_.data() + size_t(r) * row, pixels + size_t(r) * f.row_bytes,
                        size_t(f.width) * bytes);
        pixels = frame_buffer_.data();
        dib_width = f.width;
    }
    header.biWidth = dib_width;
    header.biHeight = f.height;
    int x = 0, y = 0, w = source_width_, h = source_height_;
    if (movie_.per_frame_headers) {
        x = f.left - movie_.left;
        y = f.top - movie_.top;
        w = f.width;
        h = f.height;
    }
    SetDIBitsToDevice(dc_, x, y, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), pixels, info, DIB_RGB_COLORS);
}

void MediaMziPlayer::Send(UINT message, LPARAM lParam)
{
    if (notify_window != nullptr)
        SendNotifyMessageA(notify_window, message, WPARAM(handle), lParam);
}

void MediaMziPlayer::PostShow(bool show)
{
    uint32_t serial = ++show_serial_;
    PostMessageA(window_, kShowMessage, show ? 1 : 0, LPARAM(serial));
}

void MediaMziPlayer::SuspendSelf()
{
    thread_changes_++;
    Suspend();
}

// ---- the host side ----

void MediaMziPlayer::ShowNow(bool show)
{
    ++show_serial_;
    if (window_ != nullptr)
        ShowWindow(window_, show ? SW_SHOW : SW_HIDE);
}

void MediaMziPlayer::Resume()
{
    PlatMonitorEnter(monitor_);
    run_ = true;
    PlatMonitorNotifyAll(monitor_);
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::Suspend()
{
    PlatMonitorEnter(monitor_);
    run_ = false;
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::PulseRefresh()
{
    PlatMonitorEnter(monitor_);
    refresh_ = true;
    PlatMonitorNotifyAll(monitor_);
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::OpenDrawGate()
{
    PlatMonitorEnter(monitor_);
    draw_gate_ = true;
    PlatMonitorNotifyAll(monitor_);
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::PlaceWindow()
{
    if (window_ != nullptr)
        MoveWindow(window_, dest_rect.left, dest_rect.top, source_width_, source_height_, TRUE);
}

void MediaMziPlayer::StopThread()
{
    if (monitor_ == nullptr)
        return;
    PlatMonitorEnter(monitor_);
    stop_ = true;
    PlatMonitorNotifyAll(monitor_);
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::ReleaseAll()
{
    tracks_.clear();
    if (window_ != nullptr) {
        SetWindowLongPtrA(window_, GWL_USERDATA, 0);
        if (memory_dc_ != nullptr)
            DeleteDC(memory_dc_);
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
        DestroyWindow(window_);
        window_ = nullptr;
        memory_dc_ = nullptr;
        dc_ = nullptr;
    }
    frame_buffer_.clear();
    blend_buffer_.clear();
    bitmap_info_.clear();
    if (view_ != nullptr)
        UnmapViewOfFile(view_);
    view_ = nullptr;
    if (mapping_ != nullptr)
        CloseHandle(mapping_);
    mapping_ = nullptr;
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    read_block_.clear();
    frame_block_.clear();
    data_ = nullptr;
}

void MediaMziPlayer::WaitFrame()
{
    // Whoever holds the round lock keeps the thread between rounds: no frame is in progress.
    if (State() != MEDIA_STATE_PLAYING || round_.held_here() || thread_ == nullptr)
        return;
    struct Wait {
        MediaMziPlayer *self;
        uint64_t seen;
    } wait{this, 0};
    PlatMonitorEnter(monitor_);
    wait.seen = frame_generation_;
    PlatMonitorWait(monitor_, 1000u / std::max<uint16_t>(fps, 1), [](void *arg) -> BOOL {
        auto *w = static_cast<Wait *>(arg);
        return w->self->stop_ || w->self->frame_generation_ != w->seen;
    }, &wait);
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::SetParams(ParamList list)
{
    WaitFrame();
    std::lock_guard<RoundLock> hold(round_);
    MediaFileObject::SetParams(list);
}

void MediaMziPlayer::GetParams(ParamList list)
{
    std::lock_guard<RoundLock> hold(round_);
    MediaFileObject::GetParams(list);
}

void MediaMziPlayer::RunCommand(int32_t command)
{
    if (closed)
        return;
    int32_t thread_changes;
    {
        std::lock_guard<RoundLock> hold(round_);
        thread_changes = thread_changes_;
    }
    previous_state = State();
    Dispatch(command);
    {
        // A thread that paused or ended the movie meanwhile has set the state that holds, unless the
        // command was a stop: that one has held the thread and hidden the window whatever it did.
        std::lock_guard<RoundLock> hold(round_);
        if (command == MEDIA_CMD_STOP || thread_changes == thread_changes_)
            last_command = command;
    }
    Notify(MEDIAMSG_STATE, State());
}

int MediaMziPlayer::Play()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    WaitFrame();
    int32_t start;
    {
        std::lock_guard<RoundLock> hold(round_);
        direction = 1;
        current_frame = loop ? std::clamp(range_start, 0, frame_count - 1) : 0;
        start = current_frame;
        rate_mark_ = timeGetTime();
        rate_rounds_ = 0;
    }
    PlaceWindow();
    ShowNow(true);
    {
        std::lock_guard<RoundLock> hold(round_);
        Resume();
    }
    Notify(MEDIAMSG_STARTED, start);
    if (closed)
        return 1;
    OpenDrawGate();
    return 1;
}

int MediaMziPlayer::Stop()
{
    const int32_t state = State();
    if (state == MEDIA_STATE_STOPPED)
        return 0;
    ShowNow(false);
    int32_t frame;
    {
        // Also when paused: a pause from stopped may still wait at the closed draw gate.
        std::lock_guard<RoundLock> hold(round_);
        Suspend();
        frame = current_frame;
    }
    Notify(MEDIAMSG_STOPPED, frame);
    return 1;
}

int MediaMziPlayer::Pause()
{
    const int32_t state = State();
    if (state == MEDIA_STATE_PAUSED) {
        Refresh();
        return 1;
    }
    if (state != MEDIA_STATE_PLAYING && state != MEDIA_STATE_STOPPED)
        return 0;
    ShowNow(true);
    if (state == MEDIA_STATE_STOPPED) {
        std::lock_guard<RoundLock> hold(round_);
        direction = 0;
        Resume();
    } else {
        WaitFrame();
        {
            std::lock_guard<RoundLock> hold(round_);
            direction = 0;
        }
        Refresh();
        WaitFrame();
    }
    int32_t frame;
    {
        std::lock_guard<RoundLock> hold(round_);
        frame = current_frame;
    }
    Notify(MEDIAMSG_PAUSED, frame);
    return 1;
}

int MediaMziPlayer::Continue()
{
    const int32_t state = State();
    if (state != MEDIA_STATE_STOPPED && state != MEDIA_STATE_PAUSED)
        return 0;
    int32_t frame;
    {
        std::lock_guard<RoundLock> hold(round_);
        direction = 1;
        Resume();
        frame = current_frame;
    }
    Notify(MEDIAMSG_CONTINUED, frame);
    if (!closed)
        ShowNow(true);
    return 1;
}

void MediaMziPlayer::Refresh()
{
    const int32_t state = State();
    if (state == MEDIA_STATE_PLAYING) {
        WaitFrame();
        PulseRefresh();
    } else if (state == MEDIA_STATE_PAUSED) {
        std::lock_guard<RoundLock> hold(round_);
        Resume();
    }
}

void MediaMziPlayer::ResetRefresh()
{
    PlatMonitorEnter(monitor_);
    refresh_ = false;
    PlatMonitorLeave(monitor_);
}

void MediaMziPlayer::Close()
{
    RunCommand(MEDIA_CMD_STOP);
    StopThread();
    // Closed from inside one of our own calls (a notification): the thread cannot be in a round, and
    // it ends as soon as it sees the stop request; the destructor joins it.
    if (!round_.held_here())
        JoinThread();
    std::lock_guard<RoundLock> hold(round_);
    ReleaseAll();
}

void MediaMziPlayer::CopyBackground()
{
    if (background_ == nullptr || blend_buffer_.empty())
        return;
    RECT r = dest_rect;
    if (movie_.per_frame_headers) {
        r.right = r.left + source_width_;
        r.bottom = r.top + source_height_;
        current_frame = 0;
    }
    mzi::copy_background(*background_, r, blend_buffer_.data(), source_width_, source_height_, stride_);
    OpenDrawGate();
}

void MediaMziPlayer::SetOwn(const MediaParam &p)
{
    const intptr_t v = p.value;
    switch (p.id) {
    case MEDIAPARAM_PRIORITY:
        priority_ = int32_t(v);
        if (thread_ != nullptr)
            SetThreadPriority(thread_, priority_);
        break;
    case MEDIAPARAM_MODULE:
        module_ = reinterpret_cast<HMODULE>(v);
        break;
    case MEDIAPARAM_LEFT:
    case MEDIAPARAM_TOP:
        if (window_ == nullptr)
            break;
        if (movie_.per_frame_headers)
            MoveWindow(window_, dest_rect.left, dest_rect.top, source_width_, source_height_, TRUE);
        else
            MoveWindow(window_, dest_rect.left, dest_rect.top, dest_rect.right - dest_rect.left,
                       dest_rect.bottom - dest_rect.top, TRUE);
        break;
    case MEDIAPARAM_BLEND:
        blend_ = uint8_t(v != 0);
        break;
    case MEDIAPARAM_PINGPONG:
        ping_pong = uint8_t(v != 0);
        break;
    case MEDIAPARAM_BACKGROUND:
        background_ = reinterpret_cast<const br_pixelmap *>(v);
        break;
    case MEDIAPARAM_COPYBACKGROUND:
        copy_background_ = uint8_t(v != 0);
        if (copy_background_)
            CopyBackground();
        break;
    case MEDIAPARAM_FRAME: {
        const int32_t state = State();
        if (state == MEDIA_STATE_PLAYING || state == MEDIA_STATE_PAUSED)
            Refresh();
        break;
    }
    case MEDIAPARAM_REDRAW:
        Refresh();
        break;
    default:
        break;
    }
}

void MediaMziPlayer::GetOwn(const MediaParam &p)
{
    const intptr_t at = p.value;
    switch (p.id) {
    case MEDIAPARAM_PRIORITY:
        // The thread's own: a value the platform refused left it as it was.
        answer<int32_t>(at, thread_ != nullptr ? GetThreadPriority(thread_) : priority_);
        break;
    case MEDIAPARAM_MODULE:
        answer<intptr_t>(at, reinterpret_cast<intptr_t>(module_));
        break;
    case MEDIAPARAM_FRAMERECT:
        answer_rect(at, frame_rect_);
        break;
    case MEDIAPARAM_BLEND:
        answer<uint8_t>(at, blend_);
        break;
    case MEDIAPARAM_PINGPONG:
        answer<uint8_t>(at, ping_pong);
        break;
    case MEDIAPARAM_PICTURE:
        if (!movie_.frames.empty() && data_ != nullptr) {
            const int w = movie_.right - movie_.left, h = movie_.bottom - movie_.top;
            if (w > 0 && h > 0) {
                std::vector<uint32_t> canvas(size_t(w) * size_t(h), 0);
                mzi::render_frame(movie_, data_, size_t(std::clamp(current_frame, 0, frame_count - 1)), canvas.data(),
                                  w, h);
                answer_picture(at, canvas.data(), w, h);
            }
        }
        break;
    case MEDIAPARAM_PIXELS: {
        const void *shown = nullptr;
        if (!movie_.frames.empty() && data_ != nullptr) {
            const mzi::Frame &f = movie_.frames[size_t(std::clamp(current_frame, 0, frame_count - 1))];
            shown = f.format == mzi::kAlpha555 ? static_cast<const void *>(frame_buffer_.data()) : FramePixels(f);
        }
        answer<intptr_t>(at, reinterpret_cast<intptr_t>(shown));
        break;
    }
    default:
        break;
    }
}

LRESULT MediaMziPlayer::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kShowMessage:
        if (uint32_t(lParam) == show_serial_.load())
            ShowWindow(hwnd, wParam != 0 ? SW_SHOW : SW_HIDE);
        return 0;
    case WM_ACTIVATE:
        if ((LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) &&
            (GetWindowLongA(hwnd, GWL_STYLE) & WS_POPUP) != 0) {
            SetActiveWindow(reinterpret_cast<HWND>(lParam));
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_NCPAINT:
        return 0;
    default:
        if (message >= WM_MOUSEFIRST && message <= 0x209) {
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(hwnd, notify_window, &pt, 1);
            input = MediaInputRecord{message, wParam, MAKELPARAM(pt.x, pt.y)};
            Notify(MEDIAMSG_MOUSE, reinterpret_cast<LPARAM>(&input));
        } else if (message >= WM_KEYFIRST && message <= 0x108) {
            input = MediaInputRecord{message, wParam, lParam};
            Notify(MEDIAMSG_KEY, reinterpret_cast<LPARAM>(&input));
        }
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::unique_ptr<MediaObject> make_mzi_player(int32_t type, intptr_t source, ParamList list)
{
    return std::make_unique<MediaMziPlayer>(type, source, list);
}

LRESULT CALLBACK mzi_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Looked up and taken in one step: another thread may be closing the player meanwhile.
    MediaMziPlayer *player = nullptr;
    std::optional<ObjectUse> use;
    {
        std::lock_guard<std::mutex> hold(use_lock());
        player = reinterpret_cast<MediaMziPlayer *>(GetWindowLongPtrA(hwnd, GWL_USERDATA));
        if (player != nullptr && !player->closed)
            use.emplace(player, ObjectUse::Locked{});
    }
    if (!use)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return player->WindowMessage(hwnd, message, wParam, lParam);
}

}  // namespace media
