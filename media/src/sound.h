// Sound tracks: one block of PCM data played through DirectSound. A .mzi player makes one per track
// of its file and starts and stops it by frame; OpenMedia's sound type builds one without data,
// which never becomes ready.
#pragma once

#include <memory>

#include "object.h"
#include "win32/dsound.h"

namespace media {

class MediaSound final : public MediaObject {
public:
    static constexpr DWORD kBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                          DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;

    // A track of a movie: `format` is the stored 18-byte wave format, `data` lies in the movie's data.
    // A failing step leaves the track silent; the movie is not affected.
    MediaSound(HWND owner, const uint8_t *format, const uint8_t *data, uint32_t length, uint32_t start_frame);
    // The OpenMedia kind: nothing to play, never ready.
    MediaSound();
    ~MediaSound() override;

    int Play() override;
    int Stop() override;
    void Close() override;

    // Whether every step succeeded.
    bool audible() const { return SUCCEEDED(last_result) && buffer_ != nullptr; }
    IDirectSoundBuffer *buffer() const { return buffer_; }

    uint32_t start_frame = 0;

private:
    void CreateDevice();
    // Keeps the result of a step; a failure writes the debugger line and stops every later step.
    bool Check(HRESULT result, int step);
    void Release();

    IDirectSound *sound_ = nullptr;
    IDirectSoundBuffer *buffer_ = nullptr;
    WAVEFORMATEX format_{};
    DSBUFFERDESC desc_{};
    uint32_t length_ = 0;
    const uint8_t *data_ = nullptr;
    HWND window_ = nullptr;
};

std::unique_ptr<MediaObject> make_sound(int32_t type, intptr_t source, ParamList list);

}  // namespace media
