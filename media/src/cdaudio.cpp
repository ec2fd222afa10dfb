#include "cdaudio.h"

#include <cstdio>

#include "library.h"

namespace media {

namespace {

const char kNoDevice[] = "No suitable output device is available to play CD music.\n";

CdDeviceState &cd()
{
    return library().cd;
}

MCIERROR send(UINT message, DWORD_PTR flags, void *params)
{
    return mciSendCommandA(cd().device, message, flags, reinterpret_cast<DWORD_PTR>(params));
}

void close_device()
{
    CdDeviceState &d = cd();
    if (d.device == 0)
        return;
    if (send(MCI_CLOSE, MCI_WAIT, nullptr) == 0)
        d.device = 0;
}

void fail_open()
{
    close_device();
    // A device that would not close is gone for this library all the same.
    cd().device = 0;
    std::fputs(kNoDevice, stdout);
    std::fflush(stdout);
}

void set_volume(int32_t v)
{
    CdDeviceState &d = cd();
    d.volume = v;
    DWORD channel = DWORD(v < 0 ? 0 : v > 255 ? 255 : v) * 256;
    auxSetVolume(d.aux_device, channel | (channel << 16));
}

bool open_device()
{
    CdDeviceState &d = cd();
    // A device still open is used again: opening another would overwrite its id, and nothing could
    // close it any more.
    if (d.device == 0) {
        MCI_OPEN_PARMSA open{};
        open.lpstrDeviceType = "CDAudio";
        MCIERROR err = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_SHAREABLE | MCI_WAIT,
                                       reinterpret_cast<DWORD_PTR>(&open));
        if (err != 0) {
            mciGetErrorStringA(err, d.error, sizeof d.error - 1);
            fail_open();
            return false;
        }
        d.device = open.wDeviceID;
    }
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_TMSF;
    if (send(MCI_SET, MCI_SET_TIME_FORMAT, &set) != 0) {
        fail_open();
        return false;
    }
    UINT count = auxGetNumDevs();
    for (UINT i = 0; i < count; i++) {
        AUXCAPSA caps{};
        if (auxGetDevCapsA(i, &caps, sizeof caps) != MMSYSERR_NOERROR) {
            fail_open();
            return false;
        }
        if (caps.wTechnology == AUXCAPS_CDAUDIO)
            d.aux_device = i;
    }
    DWORD volume = 0;
    if (auxGetVolume(d.aux_device, &volume) == MMSYSERR_NOERROR)
        d.volume = int32_t((volume >> 8) & 0xFF);
    set_volume(d.volume);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    d.tracks = send(MCI_STATUS, MCI_STATUS_ITEM, &status) == 0 ? int32_t(status.dwReturn) : 0;
    d.state = kCdIdle;
    return true;
}

// Length of track `t` (0 when the drive cannot tell).
DWORD track_length(int32_t t)
{
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    status.dwTrack = DWORD(t);
    return send(MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, &status) == 0 ? DWORD(status.dwReturn) : 0;
}

bool seek_to_track(int32_t t)
{
    CdDeviceState &d = cd();
    char line[32];
    std::snprintf(line, sizeof line, "Track: %d\n", t);
    OutputDebugStringA(line);
    MCI_SEEK_PARMS seek{};
    seek.dwTo = MCI_MAKE_TMSF(t, 0, 0, 0);
    bool ok = send(MCI_SEEK, MCI_TO | MCI_WAIT, &seek) == 0;
    if (d.state == kCdPaused)
        d.saved_position = DWORD(t);
    d.track = t;
    return ok;
}

// Adds the "to" position of a play from track `from`: the start of the next track, or with the
// to-last flag the start of track (tracks - 1). A "to" that would not lie after the start plays to the
// end of the disc instead of an empty stretch.
void add_to(MCI_PLAY_PARMS &play, DWORD_PTR &flags, int32_t from, bool to_last)
{
    const int32_t tracks = cd().tracks;
    if (from >= tracks)
        return;
    int32_t to = to_last ? tracks - 1 : from + 1;
    if (to <= from)
        return;
    play.dwTo = MCI_MAKE_TMSF(to, 0, 0, 0);
    flags |= MCI_TO;
}

}  // namespace

MediaCDAudio::MediaCDAudio(intptr_t source, ParamList list) : track(int32_t(source))
{
    SetParams(list);
    // The framework names only a parent: without a notify window the state notices go there.
    if (notify_window == nullptr)
        notify_window = parent_window;
    notify_side_window = CreateWindowExA(0, kNotifyWindowClass, "", WS_POPUP, 0, 0, 0, 0, parent_window, nullptr,
                                         library().instance, nullptr);
    if (notify_side_window != nullptr)
        SetWindowLongPtrA(notify_side_window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready = notify_side_window != nullptr && open_device();
    if (ready)
        volume = cd().volume;
}

MediaCDAudio::~MediaCDAudio()
{
    if (notify_side_window != nullptr && IsWindow(notify_side_window)) {
        SetWindowLongPtrA(notify_side_window, GWL_USERDATA, 0);
        DestroyWindow(notify_side_window);
    }
}

void MediaCDAudio::SetParams(ParamList list)
{
    for (const MediaParam &p : list) {
        switch (p.id) {
        case MEDIAPARAM_PARENT:
            parent_window = reinterpret_cast<HWND>(p.value);
            break;
        case MEDIAPARAM_NOTIFY:
            notify_window = reinterpret_cast<HWND>(p.value);
            break;
        case MEDIAPARAM_LOOP:
            loop = uint8_t(p.value != 0);
            break;
        case MEDIAPARAM_TOLAST:
            to_last = uint8_t(p.value != 0);
            break;
        case MEDIAPARAM_TRACK:
            track = int32_t(p.value);
            break;
        case MEDIAPARAM_VOLUME:
            volume = int32_t(p.value);
            set_volume(volume);
            break;
        default:
            break;
        }
    }
}

void MediaCDAudio::GetParams(ParamList list)
{
    for (const MediaParam &p : list) {
        switch (p.id) {
        case MEDIAPARAM_LOOP:
            answer<uint8_t>(p.value, loop);
            break;
        case MEDIAPARAM_TOLAST:
            answer<uint8_t>(p.value, to_last);
            break;
        case MEDIAPARAM_VOLUME:
            answer<int32_t>(p.value, cd().volume);
            break;
        default:
            break;
        }
    }
}

int MediaCDAudio::Play()
{
    CdDeviceState &d = cd();
    if (d.device != 0) {
        if (to_last)
            Pause();
        else
            Stop();
    }
    ready = open_device();
    if (!ready)
        return 0;
    // A track the disc does not have, or one that ends as soon as it starts, is not played: its
    // finish notice would start a looping play again at once, for ever.
    if (track < 1 || track > d.tracks || track_length(track) == 0)
        return 0;
    set_volume(volume);
    bool seeked = seek_to_track(track);
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify_side_window);
    DWORD_PTR flags = MCI_NOTIFY;
    add_to(play, flags, d.track & 0xFF, to_last);
    bool played = send(MCI_PLAY, flags, &play) == 0;
    d.state = kCdPlaying;
    return seeked && played ? 1 : 0;
}

int MediaCDAudio::Stop()
{
    CdDeviceState &d = cd();
    if (d.device == 0) {
        d.state = kCdIdle;
        return 0;
    }
    send(MCI_STOP, MCI_WAIT, nullptr);
    d.state = kCdIdle;
    close_device();
    return 1;
}

int MediaCDAudio::Pause()
{
    CdDeviceState &d = cd();
    if (d.state != kCdPlaying)
        return 0;
    send(MCI_STOP, MCI_WAIT, nullptr);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_POSITION;
    if (send(MCI_STATUS, MCI_STATUS_ITEM, &status) == 0)
        d.saved_position = DWORD(status.dwReturn);
    d.state = kCdPaused;
    return 1;
}

int MediaCDAudio::Continue()
{
    CdDeviceState &d = cd();
    if (d.state != kCdPaused)
        return 0;
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify_side_window);
    play.dwFrom = d.saved_position;
    DWORD_PTR flags = MCI_NOTIFY | MCI_FROM;
    add_to(play, flags, int32_t(MCI_TMSF_TRACK(d.saved_position)), to_last);
    bool played = send(MCI_PLAY, flags, &play) == 0;
    d.state = kCdPlaying;
    return played ? 1 : 0;
}

void MediaCDAudio::Close()
{
    Stop();
    if (notify_side_window != nullptr) {
        SetWindowLongPtrA(notify_side_window, GWL_USERDATA, 0);
        DestroyWindow(notify_side_window);
        notify_side_window = nullptr;
    }
}

std::unique_ptr<MediaObject> make_cd_audio(int32_t, intptr_t source, ParamList list)
{
    return std::make_unique<MediaCDAudio>(source, list);
}

void cd_release_device(CdDeviceState &state)
{
    if (state.device != 0)
        mciSendCommandA(state.device, MCI_CLOSE, MCI_WAIT, 0);
    state = CdDeviceState{};
}

}  // namespace media
