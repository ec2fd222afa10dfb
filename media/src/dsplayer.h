// The DirectShow kinds: movies in a video window owned by the parent (type 1) or full screen (type 0),
// a graph with an outside filter that only keeps its state (type 2), and the stream player that blits
// each frame onto the caller's DirectDraw surface from a thread of its own (type 3). Every failing COM
// step of a constructor writes its debugger line and leaves the object not ready.
#pragma once

#include <memory>
#include <mutex>
#include <thread>

#include "dshow.h"
#include "object.h"
#include "vokplat/monitor.h"

namespace media {

// Message the graph posts to the hidden window when events are pending.
constexpr UINT kGraphEventMessage = 0x40D;

class MediaDSMovie : public MediaFileObject {
public:
    MediaDSMovie(intptr_t source, ParamList list);
    ~MediaDSMovie() override;

    int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    double GetPosition() override;
    int Play() override;
    int Stop() override;
    int Pause() override;
    int Continue() override;
    void Close() override;

    HWND hidden_window() const { return notify_side_window; }
    ds::IVideoWindow *video() const { return video_; }

protected:
    void SetOwn(const MediaParam &p) override;
    void GetOwn(const MediaParam &p) override;
    // The graph's current frame into current_frame.
    void ReadFrame();
    void Seek(LONGLONG frame);
    LONGLONG GraphPosition();
    void ReleaseAll();

    ds::IGraphBuilder *graph_ = nullptr;
    ds::IVideoWindow *video_ = nullptr;
    ds::IBasicVideo *basic_ = nullptr;
    ds::IMediaControl *control_ = nullptr;
    ds::IMediaPosition *position_ = nullptr;
    ds::IMediaSeeking *seeking_ = nullptr;
    ds::IMediaEventEx *events_ = nullptr;
    long style_ = 0x46000000;  // 3
    long ex_style_ = 0x88;     // 4
    uint32_t position_low_ = 0;  // 41
    LONGLONG stored_position_ = 0;
};

class MediaDSFullScreen final : public MediaDSMovie {
public:
    MediaDSFullScreen(intptr_t source, ParamList list);
    int Play() override;
    int Stop() override;
};

class MediaDSFilterGraph final : public MediaFileObject {
public:
    MediaDSFilterGraph(intptr_t source, ParamList list);
    ~MediaDSFilterGraph() override;
    void Close() override;

private:
    ds::IGraphBuilder *graph_ = nullptr;
    IUnknown *filter_ = nullptr;
    ds::IBaseFilter *base_ = nullptr;
};

class MediaDSStream final : public MediaFileObject {
public:
    MediaDSStream(intptr_t source, ParamList list);
    ~MediaDSStream() override;

    void SetParams(ParamList list) override;
    double GetPosition() override;
    int Play() override;
    int Stop() override;
    int Pause() override;
    int Continue() override;
    void Close() override;

    IDirectDrawSurface *sample_surface() const { return sample_surface_; }

protected:
    void SetOwn(const MediaParam &p) override;
    void GetOwn(const MediaParam &p) override;

private:
    void RunThread();
    void Gate(bool run);
    // Hands the destination corner to the blit thread.
    void PublishCorner();
    void ReleaseAll();

    ds::IGraphBuilder *graph_ = nullptr;
    ds::IAMMultiMediaStream *stream_ = nullptr;
    ds::IMediaStream *video_ = nullptr;
    ds::IDirectDrawMediaStream *draw_stream_ = nullptr;
    ds::IDirectDrawStreamSample *sample_ = nullptr;
    IDirectDrawSurface *sample_surface_ = nullptr;
    RECT sample_rect_{};
    IUnknown *direct_draw_ = nullptr;      // 21, the caller's
    IDirectDrawSurface *target_ = nullptr;  // 22, the caller's
    intptr_t words_[3] = {};               // 23..25

    // The blit thread: runs while the gate is open, ends at the stop request. It reads the target and
    // the destination corner under `blit_mu_`, held only while they change.
    std::mutex blit_mu_;
    LONG corner_x_ = 0, corner_y_ = 0;
    PlatMonitor *monitor_ = nullptr;
    bool run_ = false;
    bool stop_ = false;
    std::thread thread_;
};

std::unique_ptr<MediaObject> make_ds_movie(int32_t type, intptr_t source, ParamList list);
std::unique_ptr<MediaObject> make_ds_filter(int32_t type, intptr_t source, ParamList list);
std::unique_ptr<MediaObject> make_ds_stream(int32_t type, intptr_t source, ParamList list);

}  // namespace media
