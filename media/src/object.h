// The media object base classes: the fields every kind shares, its virtual operations in table
// order, the command state machine and the notifications to the notify window.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "media/media.h"
#include "params.h"
#include "win32/windows.h"

namespace media {

class MediaObject {
public:
    MediaObject();
    virtual ~MediaObject();
    MediaObject(const MediaObject &) = delete;
    MediaObject &operator=(const MediaObject &) = delete;

    // 0 ends the notify window procedure with 0; anything else lets it go on.
    virtual int OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void SetParams(ParamList list);
    virtual void GetParams(ParamList list);
    virtual void WaitFrame();
    virtual double GetPosition();
    virtual int Play();
    virtual int Stop();
    virtual int Pause();
    virtual int Continue();
    // Releases what the object holds; called once, by CloseMedia (or by OpenMedia for an object that
    // did not become ready, so it must cope with a constructor that stopped part-way). The object is
    // deleted afterwards and never used again.
    virtual void Close();

    MediaState State() const;
    // Runs a command: previous state kept, the kind's operation, last command stored whatever it
    // was, then one MEDIAMSG_STATE.
    virtual void RunCommand(int32_t command);
    // The kind's operation for a command (unknown commands do nothing).
    void Dispatch(int32_t command);
    // Sends a notification (MEDIAMSG_FIRST..MEDIAMSG_LAST only) to the notify window.
    void Notify(UINT message, LPARAM lParam) const;

    MediaInputRecord input{};
    uint8_t ready = 0;
    HRESULT last_result = 0;
    HWND notify_side_window = nullptr;  // the kind's own hidden window, where it has one
    HWND notify_window = nullptr;       // parameter 2
    HWND parent_window = nullptr;       // parameter 1
    MediaHandle handle = 0;
    int32_t previous_state = MEDIA_STATE_STOPPED;
    // Atomic: a player thread also sets it when it pauses or ends by itself.
    std::atomic<int32_t> last_command{MEDIA_CMD_STOP};
    double position = 0.0;
    SYSTEM_INFO system_info{};
    uint8_t loop = 0;                   // parameter 38

    // Calls in progress on this object and whether it was closed meanwhile: an object closed from
    // inside one of its own notifications is deleted when the outermost call returns.
    int busy = 0;                       // under use_lock()
    std::atomic<bool> closed{false};
};

// Base of the file-based kinds (DirectShow, stream, .mzi). Set-lists run the kind's preparation,
// the common ids in list order, then the kind's own ids in a second pass; get-lists answer the
// common ids, then the kind's own.
class MediaFileObject : public MediaObject {
public:
    static constexpr size_t kMaxPath = 260;

    explicit MediaFileObject(intptr_t source);
    ~MediaFileObject() override;

    void SetParams(ParamList list) override;
    void GetParams(ParamList list) override;
    virtual void Refresh();
    virtual void ResetRefresh();

    // Whether `source` is an address (a path) rather than a small number such as a resource id.
    static bool IsAddress(intptr_t source) { return uintptr_t(source) > 0xFFFF; }

    intptr_t source = 0;
    std::string source_path;      // the path as given, at most kMaxPath characters
    std::u16string source_wide;   // its copy through the ANSI code page
    int32_t range_start = 0;      // 36
    int32_t range_end = 0;        // 37
    uint8_t ping_pong = 0;        // 17
    uint8_t hold_at_end = 0;      // 29
    uint16_t fps = 0;             // 32
    double measured_rate = 0.0;
    RECT source_rect{};
    RECT dest_rect{};             // 9..13
    int32_t frame_count = 0;      // 30
    int32_t current_frame = 0;    // 31
    int32_t direction = 1;        // +1, -1 or 0
    intptr_t user[4] = {};        // 47..50
    HANDLE refresh_event = nullptr;

protected:
    virtual void PrepareSet() {}
    virtual void SetOwn(const MediaParam &) {}
    virtual void GetOwn(const MediaParam &) {}

private:
    void SetCommon(const MediaParam &p);
    void GetCommon(const MediaParam &p);
};

// Windows-1252 to UTF-16, at most `max` characters.
std::u16string widen_ansi(const std::string &text, size_t max);
// Back to Windows-1252 ('?' for what it cannot hold).
std::string narrow_ansi(const char16_t *text);

}  // namespace media
