// The audio device behind the mixer: the sdl backend's output. The device thread calls `render` for
// each block of 16-bit stereo frames at 44100 Hz.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::sound {

// Opens and starts the device named by VOK_AUDIO_DEVICE (default device when unset). False when
// there is no usable device; the caller then records instead.
bool open_audio_device(void (*render)(int16_t* out, size_t frames));

}  // namespace plat::sound
