// CD music: one CD object of the playback library for the process, and the track playing on it.
#include "media/media.h"
#include "media_layer.h"
#include "scenestate.h"
#include "state.h"
#include "vokscore/vokmedia.h"

namespace {

// Lives from VokInitCD to VokKillCD.
struct CdState {
    MediaHandle handle = MEDIA_BAD_HANDLE;
    bool open = false;
    int32_t volume = 0;
    int track = 0;
    int playing = 0;  // 0x01 playing, 0x02 paused
};

CdState &cd()
{
    static CdState s;
    return s;
}

// Kelpa's own track plays on through the disc while the game runs; every other track repeats.
bool plays_on(int track)
{
    const VokInterFace &f = vok::iface();
    if (!f.inGame || f.gameId != VOK_GAME_KELPA)
        return false;
    const void *slot = vok::general().gameBlocks[VOK_GAME_KELPA - VOK_GAME_BASE];
    const auto *kelpa = static_cast<const KpSettings *>(slot != nullptr ? slot : vok::own_block(3));
    return kelpa != nullptr && kelpa->cdTrack == track;
}

}  // namespace

namespace vok {

HWND media_window()
{
    return popup_window();
}

int cd_volume()
{
    return cd().open ? cd().volume : -1;
}

}  // namespace vok

constexpr int kMaxCdTrack = 98;

VOK_EXPORT void VokInitCD(void)
{
    CdState &s = cd();
    if (s.open)
        return;  // one CD object for the process
    s = CdState{};
    s.handle = MediaOpen(MEDIA_CDAUDIO, 2, MEDIAPARAM_PARENT, vok::media_window());
    if (s.handle == MEDIA_BAD_HANDLE)
        return;
    s.open = true;
    MediaGet(s.handle, MEDIAPARAM_VOLUME, &s.volume);
}

VOK_EXPORT int VokPlayCDtrack(int track)
{
    CdState &s = cd();
    if (!s.open)
        return 0;
    // The disc track is one past the game's, and a disc holds at most 99.
    if (track < 0 || track > kMaxCdTrack)
        return 0;
    if (track == s.track)
        return track;
    VokStopCD();
    if (vok::general().cdMusic < 1)
        return 0;
    if (track != 0) {
        const bool on = plays_on(track);
        MediaSet(s.handle, MEDIAPARAM_TRACK, track + 1, MEDIAPARAM_LOOP, on ? 0 : 1, MEDIAPARAM_TOLAST, on ? 1 : 0);
        PlayMedia(s.handle);
        s.playing = 0x01;
    }
    s.track = track;
    return track;
}

VOK_EXPORT int VokReplayCDtrack(int track)
{
    cd().track = 0;
    return VokPlayCDtrack(track);
}

VOK_EXPORT void VokPauseCD(void)
{
    CdState &s = cd();
    if (s.open && (s.playing & 0x01) && !(s.playing & 0x02)) {
        PauseMedia(s.handle);
        s.playing |= 0x02;
    }
}

VOK_EXPORT void VokContinueCD(void)
{
    CdState &s = cd();
    if (s.open && vok::general().cdMusic != 0 && (s.playing & 0x02)) {
        ContinueMedia(s.handle);
        s.playing &= ~0x02;
    }
}

VOK_EXPORT void VokStopCD(void)
{
    CdState &s = cd();
    if (s.open)
        StopMedia(s.handle);
    s.track = 0;
    s.playing = 0;
}

VOK_EXPORT void VokKillCD(void)
{
    CdState &s = cd();
    if (s.open) {
        if (s.playing & 0x01)
            StopMedia(s.handle);
        CloseMedia(s.handle);
    }
    s = CdState{};
}
