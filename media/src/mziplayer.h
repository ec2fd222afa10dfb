// The .mzi player: a movie file (or one caller-filled frame) decoded by a thread of its own and drawn
// into a topmost child window, with the file's sound tracks started and stopped by frame.
//
// Hand-over between the host and the player thread:
// - `round_` (recursive) guards every field both sides touch. The thread holds it for the work of a
//   round; the host holds it while it changes or reads fields (parameter lists, commands).
// - The monitor carries the run gate (`run_`: set by Play, Continue, Pause from stopped and Refresh
//   when paused, cleared by Stop and by the thread when it pauses or ends the movie), the draw gate,
//   the stop request of Close, the refresh request and the frame generation, which counts finished
//   rounds: WaitFrame waits for it to move instead of catching a pulse.
// - The thread never waits for the host: it shows and hides the window by posting to it, and its
//   notifications are queued for the host's thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mzifile.h"
#include "object.h"
#include "sound.h"
#include "vokplat/monitor.h"
#include "win32/windows.h"

struct br_pixelmap;

namespace media {

// Milliseconds a round waits for a refresh: what is left of 1000 / fps after the round, at least 10.
uint32_t round_wait_ms(uint16_t fps, uint32_t round_start, uint32_t now);

class MediaMziPlayer final : public MediaFileObject {
public:
    MediaMziPlayer(int32_t type, intptr_t source, ParamList list);
    ~MediaMziPlayer() override;

    void SetParams(ParamList list) override;
    void GetParams(ParamList list) override;
    void WaitFrame() override;
    // As every object's, except that a pause or an end the thread reached meanwhile keeps its state.
    void RunCommand(int32_t command) override;
    int Play() override;
    int Stop() override;
    int Pause() override;
    int Continue() override;
    void Close() override;
    void Refresh() override;
    void ResetRefresh() override;

    // The movie window's procedure for this player (host thread).
    LRESULT WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window() const { return window_; }
    const mzi::Movie &movie() const { return movie_; }
    const std::vector<std::unique_ptr<MediaSound>> &tracks() const { return tracks_; }

protected:
    void SetOwn(const MediaParam &p) override;
    void GetOwn(const MediaParam &p) override;

private:
    // A recursive lock that knows whether the calling thread holds it.
    class RoundLock {
    public:
        void lock();
        void unlock();
        bool held_here() const { return owner_.load() == std::this_thread::get_id(); }

    private:
        std::recursive_mutex mu_;
        std::atomic<std::thread::id> owner_{};
        int depth_ = 0;
    };

    bool LoadFile();
    bool LoadFromResource();
    bool BuildFrameMovie(int32_t type);
    bool Prepare();

    // Player thread.
    void Run();
    bool GateOpen();
    // Steps of one round under `round_`; true when the thread suspended itself.
    bool Round(uint32_t start);
    void Decode(const mzi::Frame &f);
    void Draw(const mzi::Frame &f);
    void Send(UINT message, LPARAM lParam);
    void PostShow(bool show);
    void SuspendSelf();

    // Host side.
    void ShowNow(bool show);
    void Resume();
    void Suspend();
    void PulseRefresh();
    void OpenDrawGate();
    void PlaceWindow();
    void CopyBackground();
    void StopThread();
    void ReleaseAll();
    const uint8_t *FramePixels(const mzi::Frame &f) const { return data_ + f.pixels; }

    RoundLock round_;
    PlatMonitor *monitor_ = nullptr;
    bool run_ = false;
    bool draw_gate_ = false;
    bool stop_ = false;
    bool refresh_ = false;
    uint64_t frame_generation_ = 0;
    int32_t thread_changes_ = 0;       // times the thread set the state itself (under round_)
    // A platform thread, so that id 6 sets and reads its priority through its handle.
    HANDLE thread_ = nullptr;
    static DWORD WINAPI ThreadStart(LPVOID self);
    void JoinThread();

    // Data: a mapped view, a block read from the file, a resource, the caller's pixels or our own.
    const uint8_t *data_ = nullptr;
    size_t data_size_ = 0;
    std::vector<uint8_t> read_block_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    const void *view_ = nullptr;
    std::vector<uint8_t> frame_block_;  // a type-7 frame's pixels
    bool frame_mode_ = false;           // types 6 and 7
    mzi::Movie movie_;
    std::vector<std::unique_ptr<MediaSound>> tracks_;

    HWND window_ = nullptr;
    HDC dc_ = nullptr;
    HDC memory_dc_ = nullptr;
    std::atomic<uint32_t> show_serial_{0};
    std::vector<uint8_t> bitmap_info_;  // BITMAPINFO with the colour table or masks
    int drawn_bytes_ = 0;               // bytes of a drawn pixel
    int source_width_ = 0, source_height_ = 0;
    int stride_ = 0;                    // bytes of a row of the frame and blend buffers
    std::vector<uint8_t> frame_buffer_;
    std::vector<uint8_t> blend_buffer_;

    int32_t last_drawn_ = -1;
    uint32_t rate_mark_ = 0;
    int rate_rounds_ = 0;
    RECT frame_rect_{};                 // 14
    uint8_t blend_ = 0;                 // 16
    const br_pixelmap *background_ = nullptr;  // 19
    uint8_t copy_background_ = 0;       // 20
    HMODULE module_ = nullptr;          // 8
    int32_t priority_ = 0;              // 6
};

std::unique_ptr<MediaObject> make_mzi_player(int32_t type, intptr_t source, ParamList list);

// The window procedure of the "Media_MovieWindow" class.
LRESULT CALLBACK mzi_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace media
