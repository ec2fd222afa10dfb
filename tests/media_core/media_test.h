// Shared by the media tests: the library started for the test program, a window that records the
// notifications it receives, and a file-based kind whose operations send what a player sends.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "library.h"
#include "media/media.h"
#include "vokplat/window.h"
#include "win32/windows.h"

namespace mediatest {

struct Notice {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Notice &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const Notice &n)
{
    return os << std::hex << "{0x" << n.message << ", " << std::dec << n.wParam << ", " << n.lParam << "}";
}

// A top-level window that keeps every message of the media range; `hook` may act on each.
class NoticeWindow {
public:
    NoticeWindow();
    ~NoticeWindow();
    HWND hwnd() const { return hwnd_; }
    // The notices received since the last call.
    std::vector<Notice> take();
    std::function<void(const Notice &)> hook;

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::vector<Notice> notices_;
};

// Dispatches everything queued for this thread.
void pump();
// Pumps until `done` holds or five seconds of real time have passed; answers whether it held.
bool pump_until(const std::function<bool()> &done);

// A file-based kind for the tests: frame_count 10, ready unless the source is 1; its commands send
// STARTED/PAUSED/CONTINUED/STOPPED the way the movie kinds do. The second-pass ids 1000+ are recorded
// with the destination left seen at that moment.
class FakeFile : public media::MediaFileObject {
public:
    FakeFile(intptr_t source, media::ParamList list);
    ~FakeFile() override;

    int OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int Play() override;
    int Stop() override;
    int Pause() override;
    int Continue() override;
    void Close() override;

    struct OwnSeen {
        int32_t id;
        int32_t left;
    };
    std::vector<OwnSeen> own_seen;
    std::vector<int32_t> previous_states;  // as seen by each operation

    static int constructed;
    static int destroyed;
    static int closes;
    static int plays;

protected:
    void SetOwn(const media::MediaParam &p) override;
};

// Plugs FakeFile in as `type` for the lifetime of the guard.
class FakeKind {
public:
    explicit FakeKind(int32_t type = MEDIA_MZI);
    ~FakeKind();

private:
    int32_t type_;
    media::KindFactory old_;
};

}  // namespace mediatest
