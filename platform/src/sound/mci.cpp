// MCI CD audio and the CD line volume. The "drive" is a folder of track files (track01.wav,
// track02.wav, ...): VOK_CDAUDIO_DIR, or "cdaudio" beside the program. Without tracks there is no
// drive, and opening the device fails as it does on a machine without one.
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "clock.h"
#include "paths.h"
#include "sound/mixer.h"
#include "sound/wav.h"
#include "win32/mmsystem.h"

namespace plat::sound {
namespace {

constexpr uint32_t kFramesPerSecond = 75;  // CD frames
constexpr int kMaxTracks = 99;

struct Track {
    std::string path;
    WavInfo info;
    uint32_t start = 0;   // CD frames from the start of the disc
    uint32_t length = 0;  // CD frames
    std::shared_ptr<Pcm> pcm;  // loaded when first played
};

struct Instance {
    DWORD time_format = MCI_FORMAT_MSF;
    bool shareable = false;
};

struct Notify {
    HWND window = nullptr;
    MCIDEVICEID device = 0;
    bool pending = false;
};

class CdVoice;

// The one drive of the process; everything below is guarded by the mixer lock.
struct Drive {
    std::vector<Track> tracks;
    uint32_t total = 0;
    uint64_t generation = 0;  // bumped whenever the disc is dropped
    std::map<MCIDEVICEID, Instance> open;
    MCIDEVICEID next_id = 1;
    uint32_t position = 0;    // when not playing
    Notify notify;
    DWORD aux_volume = 0xFFFFFFFFu;
    CdVoice* voice = nullptr;
};

Drive& drive();

std::string cd_folder() {
    const char* env = std::getenv("VOK_CDAUDIO_DIR");
    if (env && *env) return env;
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "cdaudio";
    exe[n] = 0;
    std::string dir(exe);
    dir.resize(dir.rfind('/') + 1);
    return dir + "cdaudio";
}

std::string track_path(const std::string& folder, int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/track%02d.wav", n);
    std::string wanted = folder + name, found;
    return resolve_path(wanted.c_str(), found) ? found : wanted;
}

// Reads the track list: track01, track02, ... up to the first that is missing or unreadable.
std::vector<Track> scan_disc() {
    std::vector<Track> tracks;
    std::string folder = cd_folder();
    uint32_t start = 0;
    for (int n = 1; n <= kMaxTracks; ++n) {
        Track t;
        t.path = track_path(folder, n);
        if (!read_wav(t.path, t.info, nullptr)) break;
        t.start = start;
        t.length = uint32_t((uint64_t(t.info.frames) * kFramesPerSecond + t.info.fmt.rate - 1) / t.info.fmt.rate);
        start += t.length;
        tracks.push_back(std::move(t));
    }
    return tracks;
}

bool has_tracks() {
    WavInfo info;
    return read_wav(track_path(cd_folder(), 1), info, nullptr);
}

// Index of the track that holds disc frame `at` (the last track for the end of the disc).
size_t track_at(const Drive& d, uint32_t at) {
    size_t i = 0;
    while (i + 1 < d.tracks.size() && at >= d.tracks[i].start + d.tracks[i].length) ++i;
    return i;
}

// The sample frame of the track where a play up to disc frame `to` stops.
uint32_t segment_end(const Track& t, uint32_t to) {
    if (to >= t.start + t.length) return t.info.frames;
    return uint32_t(std::min<uint64_t>(t.info.frames, uint64_t(to - t.start) * t.info.fmt.rate / kFramesPerSecond));
}

void update_gains(Voice& v, DWORD volume) {
    v.gain_l = float(LOWORD(volume)) / 65535.0f;
    v.gain_r = float(HIWORD(volume)) / 65535.0f;
}

void finish_notify(Drive& d, uint32_t code, uint64_t at_us) {
    if (!d.notify.pending) return;
    d.notify.pending = false;
    queue_cd_notify(d.notify.window, code, d.notify.device, at_us);
}

class CdVoice final : public Voice {
public:
    size_t track = 0;
    uint32_t to = 0;

    uint32_t disc_position() const {
        const Track& t = drive().tracks[track];
        uint64_t f = (pos >> 32) * kFramesPerSecond / t.info.fmt.rate;
        return t.start + uint32_t(std::min<uint64_t>(f, t.length));
    }

    // Goes on with the next track while the play reaches beyond this one.
    bool on_end(uint64_t at_us) override {
        Drive& d = drive();
        const Track& t = d.tracks[track];
        if (to <= t.start + t.length || track + 1 >= d.tracks.size() || !d.tracks[track + 1].pcm) return false;
        ++track;
        enter_track(0);
        voice_next_play(*this, at_us);
        return true;
    }

    void on_finished(uint64_t at_us) override {
        Drive& d = drive();
        d.position = to;
        finish_notify(d, MCI_NOTIFY_SUCCESSFUL, at_us);
    }

    void enter_track(uint32_t from_frame) {
        const Track& t = drive().tracks[track];
        pcm = t.pcm;
        rate = t.info.fmt.rate;
        cd_track = int32_t(track + 1);
        pos = uint64_t(from_frame) << 32;
        end = segment_end(t, to);
    }
};

Drive& drive() {
    static Drive* d = [] {
        auto* n = new Drive;
        n->voice = new CdVoice;
        return n;
    }();
    return *d;
}

bool playing(const Drive& d) { return d.voice->playing; }

uint32_t current_position(const Drive& d) { return playing(d) ? d.voice->disc_position() : d.position; }

// Stops playback where it is.
void halt(Drive& d) {
    if (!playing(d)) return;
    d.position = d.voice->disc_position();
    voice_stop(*d.voice);
}

// Disc frames to the instance's time format and back.
DWORD msf(uint32_t f) { return MCI_MAKE_MSF(f / (60 * kFramesPerSecond), f / kFramesPerSecond % 60, f % kFramesPerSecond); }

DWORD format_position(const Drive& d, DWORD fmt, uint32_t at) {
    switch (fmt) {
    case MCI_FORMAT_MILLISECONDS:
        return DWORD(uint64_t(at) * 1000 / kFramesPerSecond);
    case MCI_FORMAT_TMSF: {
        size_t i = track_at(d, at);
        uint32_t rel = at - d.tracks[i].start;
        return MCI_MAKE_TMSF(i + 1, rel / (60 * kFramesPerSecond), rel / kFramesPerSecond % 60, rel % kFramesPerSecond);
    }
    default:
        return msf(at);
    }
}

DWORD format_length(DWORD fmt, uint32_t frames) {
    // Lengths have no track part: TMSF answers them as MSF.
    return fmt == MCI_FORMAT_MILLISECONDS ? DWORD(uint64_t(frames) * 1000 / kFramesPerSecond) : msf(frames);
}

bool parse_position(const Drive& d, DWORD fmt, DWORD value, uint32_t& at) {
    uint64_t f;
    switch (fmt) {
    case MCI_FORMAT_MILLISECONDS:
        f = uint64_t(value) * kFramesPerSecond / 1000;
        break;
    case MCI_FORMAT_TMSF: {
        unsigned t = MCI_TMSF_TRACK(value);
        if (t < 1 || t > d.tracks.size()) return false;
        if (MCI_TMSF_SECOND(value) >= 60 || MCI_TMSF_FRAME(value) >= kFramesPerSecond) return false;
        f = d.tracks[t - 1].start +
            (uint64_t(MCI_TMSF_MINUTE(value)) * 60 + MCI_TMSF_SECOND(value)) * kFramesPerSecond + MCI_TMSF_FRAME(value);
        break;
    }
    default:
        if (MCI_MSF_SECOND(value) >= 60 || MCI_MSF_FRAME(value) >= kFramesPerSecond) return false;
        f = (uint64_t(MCI_MSF_MINUTE(value)) * 60 + MCI_MSF_SECOND(value)) * kFramesPerSecond + MCI_MSF_FRAME(value);
        break;
    }
    if (f > d.total) return false;
    at = uint32_t(f);
    return true;
}

HWND callback_window(DWORD_PTR param) {
    return param ? reinterpret_cast<HWND>(reinterpret_cast<const MCI_GENERIC_PARMS*>(param)->dwCallback) : nullptr;
}

MCIERROR open_device(DWORD_PTR flags, MCI_OPEN_PARMSA* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_OPEN_TYPE) || (flags & MCI_OPEN_TYPE_ID) || !p->lpstrDeviceType ||
        strcasecmp(p->lpstrDeviceType, "cdaudio") != 0)
        return MCIERR_INVALID_DEVICE_NAME;
    Drive& d = drive();
    bool shareable = (flags & MCI_OPEN_SHAREABLE) != 0;
    if (d.open.empty()) {
        std::vector<Track> tracks = scan_disc();
        if (tracks.empty()) return MCIERR_INVALID_DEVICE_NAME;  // no drive
        d.tracks = std::move(tracks);
        d.total = d.tracks.back().start + d.tracks.back().length;
        d.position = 0;
    } else {
        for (const auto& [id, inst] : d.open)
            if (!inst.shareable || !shareable) return MCIERR_MUST_USE_SHAREABLE;
    }
    MCIDEVICEID id = d.next_id++;
    if (d.next_id == 0xFFFF) d.next_id = 1;
    d.open[id] = Instance{MCI_FORMAT_MSF, shareable};
    p->wDeviceID = id;
    return 0;
}

void close_device(Drive& d, MCIDEVICEID id) {
    if (d.notify.pending && d.notify.device == id) finish_notify(d, MCI_NOTIFY_ABORTED, now_us());
    d.open.erase(id);
    if (!d.open.empty()) return;
    // Nobody can reach the drive any more: stop it and forget the disc.
    halt(d);
    d.tracks.clear();
    d.total = 0;
    d.position = 0;
    ++d.generation;
}

MCIERROR status(const Drive& d, const Instance& inst, DWORD_PTR flags, MCI_STATUS_PARMS* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    auto track_arg = [&](size_t& i) {
        if (p->dwTrack < 1 || p->dwTrack > d.tracks.size()) return false;
        i = p->dwTrack - 1;
        return true;
    };
    size_t i = 0;
    switch (p->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        p->dwReturn = d.tracks.size();
        return 0;
    case MCI_STATUS_LENGTH:
        if (flags & MCI_TRACK) {
            if (!track_arg(i)) return MCIERR_OUTOFRANGE;
            p->dwReturn = format_length(inst.time_format, d.tracks[i].length);
        } else {
            p->dwReturn = format_length(inst.time_format, d.total);
        }
        return 0;
    case MCI_STATUS_POSITION:
        if (flags & MCI_TRACK) {
            if (!track_arg(i)) return MCIERR_OUTOFRANGE;
            p->dwReturn = format_position(d, inst.time_format, d.tracks[i].start);
        } else if (flags & MCI_STATUS_START) {
            p->dwReturn = format_position(d, inst.time_format, 0);
        } else {
            p->dwReturn = format_position(d, inst.time_format, current_position(d));
        }
        return 0;
    case MCI_STATUS_MODE:
        p->dwReturn = playing(d) ? MCI_MODE_PLAY : MCI_MODE_STOP;
        return 0;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY:
        p->dwReturn = TRUE;
        return 0;
    case MCI_STATUS_TIME_FORMAT:
        p->dwReturn = inst.time_format;
        return 0;
    case MCI_STATUS_CURRENT_TRACK:
        p->dwReturn = track_at(d, current_position(d)) + 1;
        return 0;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

struct PlayRange {
    uint32_t from = 0, to = 0;
    uint64_t generation = 0;
    std::vector<std::pair<size_t, std::string>> to_load;  // tracks whose samples are not in memory yet
};

MCIERROR plan_play(const Drive& d, const Instance& inst, DWORD_PTR flags, const MCI_PLAY_PARMS* p, PlayRange& r) {
    if ((flags & (MCI_FROM | MCI_TO)) && !p) return MCIERR_NULL_PARAMETER_BLOCK;
    r.from = current_position(d);
    r.to = d.total;
    if ((flags & MCI_FROM) && !parse_position(d, inst.time_format, p->dwFrom, r.from)) return MCIERR_OUTOFRANGE;
    if ((flags & MCI_TO) && !parse_position(d, inst.time_format, p->dwTo, r.to)) return MCIERR_OUTOFRANGE;
    if (r.from > r.to) return MCIERR_OUTOFRANGE;
    r.generation = d.generation;
    if (r.from < r.to)
        for (size_t i = track_at(d, r.from); i < d.tracks.size() && d.tracks[i].start < r.to; ++i)
            if (!d.tracks[i].pcm) r.to_load.emplace_back(i, d.tracks[i].path);
    return 0;
}

MCIERROR start_play(Drive& d, MCIDEVICEID id, DWORD_PTR flags, DWORD_PTR param, const PlayRange& r) {
    halt(d);
    if (d.notify.pending) finish_notify(d, MCI_NOTIFY_ABORTED, now_us());
    if (flags & MCI_NOTIFY) d.notify = Notify{callback_window(param), id, true};
    d.position = r.from;
    if (r.from == r.to) {
        finish_notify(d, MCI_NOTIFY_SUCCESSFUL, now_us());
        return 0;
    }
    CdVoice& v = *d.voice;
    v.track = track_at(d, r.from);
    const Track& t = d.tracks[v.track];
    if (!t.pcm) {
        d.notify.pending = false;
        return MCIERR_HARDWARE;  // the track file went away or broke since the disc was read
    }
    v.to = r.to;
    v.looping = false;
    update_gains(v, d.aux_volume);
    v.enter_track(uint32_t(uint64_t(r.from - t.start) * t.info.fmt.rate / kFramesPerSecond));
    voice_start(v);
    return 0;
}

MCIERROR play(MCIDEVICEID id, DWORD_PTR flags, DWORD_PTR param) {
    auto* p = reinterpret_cast<const MCI_PLAY_PARMS*>(param);
    if ((flags & MCI_NOTIFY) && !p) return MCIERR_NULL_PARAMETER_BLOCK;
    PlayRange r;
    {
        Guard g;
        Drive& d = drive();
        auto it = d.open.find(id);
        if (it == d.open.end()) return MCIERR_INVALID_DEVICE_ID;
        if (MCIERROR e = plan_play(d, it->second, flags, p, r)) return e;
    }
    // Track files are read without holding the mixer, which the audio thread needs.
    std::vector<std::pair<size_t, std::shared_ptr<Pcm>>> loaded;
    for (const auto& [i, path] : r.to_load) {
        WavInfo info;
        std::shared_ptr<Pcm> pcm;
        if (read_wav(path, info, &pcm)) loaded.emplace_back(i, std::move(pcm));
    }
    ensure_output();
    {
        Guard g;
        Drive& d = drive();
        if (!d.open.count(id) || d.generation != r.generation) return MCIERR_INVALID_DEVICE_ID;
        for (auto& [i, pcm] : loaded)
            if (!d.tracks[i].pcm && pcm->frames() == d.tracks[i].info.frames) d.tracks[i].pcm = std::move(pcm);
        if (MCIERROR e = start_play(d, id, flags, param, r)) return e;
    }
    if (flags & MCI_WAIT) {
        for (;;) {
            {
                Guard g;
                if (!playing(drive())) break;
            }
            clock_sleep_ms(10);
        }
    }
    return 0;
}

}  // namespace
}  // namespace plat::sound

using namespace plat::sound;

extern "C" {

PLATFORM_API MCIERROR WINAPI mciSendCommandA(MCIDEVICEID id, UINT msg, DWORD_PTR flags, DWORD_PTR param) {
    if (msg == MCI_PLAY) return play(id, flags, param);
    Guard g;
    Drive& d = drive();
    MCIERROR err = 0;
    if (msg == MCI_OPEN) {
        auto* p = reinterpret_cast<MCI_OPEN_PARMSA*>(param);
        err = open_device(flags, p);
        if (err == 0 && (flags & MCI_NOTIFY))
            queue_cd_notify(callback_window(param), MCI_NOTIFY_SUCCESSFUL, p->wDeviceID, now_us());
        return err;
    }
    auto it = d.open.find(id);
    if (it == d.open.end()) return MCIERR_INVALID_DEVICE_ID;
    Instance& inst = it->second;
    if ((flags & MCI_NOTIFY) && !param) return MCIERR_NULL_PARAMETER_BLOCK;
    switch (msg) {
    case MCI_CLOSE:
        close_device(d, id);
        break;
    case MCI_SET: {
        auto* p = reinterpret_cast<const MCI_SET_PARMS*>(param);
        if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
        if (!(flags & MCI_SET_TIME_FORMAT)) return MCIERR_MISSING_PARAMETER;
        if (p->dwTimeFormat != MCI_FORMAT_MILLISECONDS && p->dwTimeFormat != MCI_FORMAT_MSF &&
            p->dwTimeFormat != MCI_FORMAT_TMSF)
            return MCIERR_BAD_TIME_FORMAT;
        inst.time_format = p->dwTimeFormat;
        break;
    }
    case MCI_STATUS:
        err = status(d, inst, flags, reinterpret_cast<MCI_STATUS_PARMS*>(param));
        break;
    case MCI_SEEK: {
        auto* p = reinterpret_cast<const MCI_SEEK_PARMS*>(param);
        DWORD_PTR where = flags & (MCI_TO | MCI_SEEK_TO_START | MCI_SEEK_TO_END);
        if (where == 0) return MCIERR_MISSING_PARAMETER;
        if (where != MCI_TO && where != MCI_SEEK_TO_START && where != MCI_SEEK_TO_END)
            return MCIERR_FLAGS_NOT_COMPATIBLE;
        uint32_t target = where == MCI_SEEK_TO_END ? d.total : 0;
        if (where == MCI_TO) {
            if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
            if (!parse_position(d, inst.time_format, p->dwTo, target)) return MCIERR_OUTOFRANGE;
        }
        halt(d);
        finish_notify(d, MCI_NOTIFY_ABORTED, now_us());
        d.position = target;
        break;
    }
    case MCI_STOP:
        halt(d);
        finish_notify(d, MCI_NOTIFY_ABORTED, now_us());
        break;
    case MCI_PAUSE:
    case MCI_RESUME:
        return MCIERR_UNSUPPORTED_FUNCTION;
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    if (err == 0 && (flags & MCI_NOTIFY)) {
        // A notification still waiting for the end of a play gives way to this one.
        finish_notify(d, MCI_NOTIFY_SUPERSEDED, now_us());
        queue_cd_notify(callback_window(param), MCI_NOTIFY_SUCCESSFUL, id, now_us());
    }
    return err;
}

PLATFORM_API BOOL WINAPI mciGetErrorStringA(MCIERROR error, LPSTR text, UINT size) {
    const char* msg = nullptr;
    switch (error) {
    case 0: msg = "No error."; break;
    case MCIERR_INVALID_DEVICE_ID: msg = "The device id does not belong to an open MCI device."; break;
    case MCIERR_UNRECOGNIZED_COMMAND: msg = "The MCI command is not known."; break;
    case MCIERR_HARDWARE: msg = "The media device failed; check that it works."; break;
    case MCIERR_INVALID_DEVICE_NAME: msg = "No such MCI device is installed, or it is not open."; break;
    case MCIERR_OUT_OF_MEMORY: msg = "Not enough memory for the MCI command."; break;
    case MCIERR_DEVICE_OPEN: msg = "The device name is already in use by this program."; break;
    case MCIERR_MISSING_PARAMETER: msg = "The MCI command needs a parameter that was not given."; break;
    case MCIERR_UNSUPPORTED_FUNCTION: msg = "The MCI device cannot carry out this command."; break;
    case MCIERR_DEVICE_NOT_READY: msg = "The MCI device is not ready."; break;
    case MCIERR_OUTOFRANGE: msg = "A parameter of the MCI command is out of range."; break;
    case MCIERR_FLAGS_NOT_COMPATIBLE: msg = "The MCI command was given flags that exclude each other."; break;
    case MCIERR_MUST_USE_SHAREABLE: msg = "The device is in use; open it as shareable."; break;
    case MCIERR_BAD_TIME_FORMAT: msg = "The MCI device does not know this time format."; break;
    case MCIERR_NULL_PARAMETER_BLOCK: msg = "The MCI command was given no parameter record."; break;
    default: break;
    }
    if (text && size > 0) {
        const char* s = msg ? msg : "";
        size_t n = std::min<size_t>(std::strlen(s), size - 1);
        std::memcpy(text, s, n);
        text[n] = 0;
    }
    return msg ? TRUE : FALSE;
}

PLATFORM_API UINT WINAPI auxGetNumDevs(void) {
    {
        Guard g;
        if (!drive().open.empty()) return 1;
    }
    return has_tracks() ? 1 : 0;
}

PLATFORM_API MMRESULT WINAPI auxGetDevCapsA(UINT_PTR device, LPAUXCAPSA caps, UINT size) {
    if (device >= auxGetNumDevs()) return MMSYSERR_BADDEVICEID;
    if (!caps) return MMSYSERR_INVALPARAM;
    AUXCAPSA c{};
    c.wMid = 1;
    c.wPid = 1;
    c.vDriverVersion = 0x0100;
    std::snprintf(c.szPname, sizeof c.szPname, "CD Audio (track folder)");
    c.wTechnology = AUXCAPS_CDAUDIO;
    c.dwSupport = AUXCAPS_VOLUME | AUXCAPS_LRVOLUME;
    std::memcpy(caps, &c, std::min<size_t>(size, sizeof c));
    return MMSYSERR_NOERROR;
}

PLATFORM_API MMRESULT WINAPI auxGetVolume(UINT device, LPDWORD volume) {
    if (device >= auxGetNumDevs()) return MMSYSERR_BADDEVICEID;
    if (!volume) return MMSYSERR_INVALPARAM;
    Guard g;
    *volume = drive().aux_volume;
    return MMSYSERR_NOERROR;
}

PLATFORM_API MMRESULT WINAPI auxSetVolume(UINT device, DWORD volume) {
    if (device >= auxGetNumDevs()) return MMSYSERR_BADDEVICEID;
    Guard g;
    Drive& d = drive();
    d.aux_volume = volume;
    update_gains(*d.voice, volume);
    return MMSYSERR_NOERROR;
}

}  // extern "C"
