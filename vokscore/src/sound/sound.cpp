// The DirectSound object of the process: made for the first window the framework is given and released
// at the last close of the interface.
#include <exception>

#include "state.h"
#include "win32/dsound.h"
#include "win32/winmisc.h"

namespace {

struct SoundDevice {
    IDirectSound *object = nullptr;
    bool created = false;
};

SoundDevice &device()
{
    static SoundDevice d;
    return d;
}

}  // namespace

namespace vok {

bool sound_created()
{
    return device().created;
}

IDirectSound *direct_sound()
{
    return device().object;
}

}  // namespace vok

VOK_EXPORT int VokCreateDirectSound(HWND window)
{
    SoundDevice &d = device();
    // A second call replaces the object instead of losing the first one.
    VokReleaseDirectSound();
    try {
        IDirectSound *ds = nullptr;
        if (DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK || ds == nullptr)
            return 0;
        if (ds->SetCooperativeLevel(window, DSSCL_NORMAL) != DS_OK) {
            ds->Release();
            return 0;
        }
        d.object = ds;
        d.created = true;
    } catch (const std::exception &) {
        MessageBeep(0xFFFFFFFFu);
        MessageBoxA(window, "DirectSound error.\nTry to update sound drivers", "Velmo's Games Demo", MB_OK);
        d.object = nullptr;
        return 0;
    }
    return 1;
}

VOK_EXPORT void VokReleaseDirectSound(void)
{
    SoundDevice &d = device();
    if (!d.created)
        return;
    d.created = false;
    if (d.object != nullptr)
        d.object->Release();
    d.object = nullptr;
}
