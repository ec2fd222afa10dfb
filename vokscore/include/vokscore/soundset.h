// The sound layer over DirectSound: a pack read into a set of sounds in pack order, each with one or
// more buffers played round robin, and loop handles that stay safe after their set is gone. The owner
// passes its DirectSound object and its effects switch; the framework and Terrow each carry a copy.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "vokscore/wave.h"
#include "win32/dsound.h"

namespace vokpack {

struct SoundObject {
    std::string name;
    std::vector<uint8_t> image;  // the whole WAVE image, kept to refill lost buffers
    WaveImage wave;
    int position = 0;            // buffer played last
    std::vector<IDirectSoundBuffer *> buffers;
    ~SoundObject();
};

struct SoundSetData {
    std::vector<std::unique_ptr<SoundObject>> objects;  // null where a sound failed
};

// Loop handles: pointer-sized, 0 when nothing was played, kLoopOff when effects are off.
constexpr intptr_t kLoopOff = -1;

// Builds a set from the pack at `path` with `buffers` buffers per sound; null without DirectSound, for
// a pack that cannot be read, or for an empty one.
SoundSetData *build_set(IDirectSound *ds, const char *path, int buffers);
// Releases every buffer; loop handles of the set stop nothing afterwards.
void kill_set(SoundSetData *set);

// Plays sound `index` once; false when nothing was played.
bool play(SoundSetData *set, int index);
// Plays sound `index` looping: a new loop handle, or 0 when nothing was played.
intptr_t play_loop(SoundSetData *set, int index);
// Stops the loop of a handle: the Stop result, or DSERR_INVALIDCALL for a handle that names no live
// buffer.
HRESULT stop_loop(intptr_t handle);

}  // namespace vokpack
