// CD audio: tracks of the disc played through MCI, the CD line volume through the auxiliary audio
// functions. The device is process-wide: every CD object shares one device id and one play state.
#pragma once

#include <memory>

#include "object.h"

namespace media {

// CD play states.
constexpr int32_t kCdIdle = 527;
constexpr int32_t kCdPlaying = 526;
constexpr int32_t kCdPaused = 525;

struct CdDeviceState {
    MCIDEVICEID device = 0;    // 0: not open
    int32_t track = 0;         // current track
    DWORD saved_position = 0;  // TMSF, kept by a pause
    int32_t tracks = 0;
    int32_t volume = 0;        // as last set, unclamped
    int32_t state = kCdIdle;
    UINT aux_device = 0;       // the CD line's auxiliary device
    char error[257] = {};      // text of the last failed open
};

class MediaCDAudio final : public MediaObject {
public:
    MediaCDAudio(intptr_t source, ParamList list);
    ~MediaCDAudio() override;

    void SetParams(ParamList list) override;
    void GetParams(ParamList list) override;
    int Play() override;
    int Stop() override;
    int Pause() override;
    int Continue() override;
    void Close() override;

    uint8_t to_last = 0;   // 39
    int32_t track = 0;     // 42
    int32_t volume = 0;    // 45
};

std::unique_ptr<MediaObject> make_cd_audio(int32_t type, intptr_t source, ParamList list);

// Closes the device if it is still open (library stop).
void cd_release_device(CdDeviceState &cd);

}  // namespace media
