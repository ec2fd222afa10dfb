// DirectSound: sound objects and buffers over the mixer.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "sound/dsound_class.h"
#include "sound/mixer.h"
#include "vokplat/sound.h"
#include "win32/dsound.h"

namespace plat::sound {
namespace {


bool no_sound_hardware() {
    const char* v = std::getenv("VOK_AUDIO_DEVICE");
    return v && std::strcmp(v, "none") == 0;
}

// Accepts plain PCM only: 8 or 16 bits, one or two channels, consistent block size and byte rate.
// cbSize is not looked at (PCM has no extra bytes).
bool pcm_format(const WAVEFORMATEX& w, PcmFormat& f) {
    if (w.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (w.nChannels != 1 && w.nChannels != 2) return false;
    if (w.wBitsPerSample != 8 && w.wBitsPerSample != 16) return false;
    if (w.nSamplesPerSec < DSBFREQUENCY_MIN || w.nSamplesPerSec > DSBFREQUENCY_MAX) return false;
    unsigned block = w.nChannels * w.wBitsPerSample / 8u;
    if (w.nBlockAlign != block || w.nAvgBytesPerSec != w.nSamplesPerSec * block) return false;
    f.channels = w.nChannels;
    f.bits = w.wBitsPerSample;
    f.rate = w.nSamplesPerSec;
    f.block = uint16_t(block);
    return true;
}

std::atomic<uint32_t> g_serial{1};

class Buffer final : public IDirectSoundBuffer, public Voice, public Losable {
public:
    Buffer(DWORD caps, std::shared_ptr<Pcm> data) : caps_(caps) {
        pcm = std::move(data);
        serial = g_serial.fetch_add(1);
        if (pcm) rate = pcm->fmt.rate;
        end = UINT32_MAX;  // a play runs to the end of the data
        Guard g;
        register_losable(this);
    }

    bool primary() const { return (caps_ & DSBCAPS_PRIMARYBUFFER) != 0; }

    // A duplicate: same data, volume, pan and frequency; its own position, stopped.
    Buffer* duplicate() {
        auto* d = new Buffer(caps_, pcm);
        Guard g;
        d->volume_ = volume_;
        d->pan_ = pan_;
        d->rate = rate;
        d->update_gains();
        return d;
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectSoundBuffer)) {
            AddRef();
            *ppv = static_cast<IDirectSoundBuffer*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            {
                Guard g;
                voice_stop(*this);
                unregister_losable(this);
            }
            delete this;
        }
        return left;
    }

    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) override {
        Guard g;
        DWORD p = 0, w = 0;
        if (!primary()) {
            DWORD size = DWORD(pcm->bytes.size());
            p = DWORD(pos >> 32) * pcm->fmt.block;
            if (p >= size) p = 0;
            w = p;
            if (playing) {
                // Mixing runs ahead of the play cursor by about 10 ms.
                DWORD lead = (rate / 100 + 1) * pcm->fmt.block;
                w = DWORD((uint64_t(p) + lead) % size);
            }
        }
        if (play) *play = p;
        if (write) *write = w;
        return DS_OK;
    }

    HRESULT GetStatus(LPDWORD status) override {
        if (!status) return DSERR_INVALIDPARAM;
        Guard g;
        DWORD s = 0;
        if (primary() ? primary_playing_ : playing) s |= DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0);
        if (lost_) s |= DSBSTATUS_BUFFERLOST;
        *status = s;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                 DWORD flags) override {
        if (!ptr1 || !bytes1) return DSERR_INVALIDPARAM;
        Guard g;
        if (lost_) return DSERR_BUFFERLOST;
        if (primary()) return DSERR_PRIOLEVELNEEDED;
        DWORD size = DWORD(pcm->bytes.size());
        if (flags & DSBLOCK_FROMWRITECURSOR) {
            DWORD p = DWORD(pos >> 32) * pcm->fmt.block;
            offset = playing ? DWORD((uint64_t(p) + (rate / 100 + 1) * pcm->fmt.block) % size) : p % size;
        }
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        uint8_t* base = pcm->bytes.data();
        DWORD first = std::min(bytes, size - offset);
        *ptr1 = base + offset;
        *bytes1 = first;
        if (ptr2) *ptr2 = bytes > first ? base : nullptr;
        if (bytes2) *bytes2 = ptr2 && bytes > first ? bytes - first : 0;
        return DS_OK;
    }

    HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override {
        Guard g;
        if (primary()) return DSERR_INVALIDCALL;
        if (!inside(ptr1, bytes1) || (ptr2 && !inside(ptr2, bytes2))) return DSERR_INVALIDPARAM;
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
        if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
        if (primary() && !(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
        ensure_output();
        Guard g;
        if (lost_) return DSERR_BUFFERLOST;
        looping = (flags & DSBPLAY_LOOPING) != 0;
        if (primary()) {
            primary_playing_ = true;
        } else if (playing) {
            voice_relog(*this);
        } else {
            voice_start(*this);
        }
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override {
        Guard g;
        if (primary()) return DSERR_INVALIDCALL;
        if (position >= pcm->bytes.size()) return DSERR_INVALIDPARAM;
        pos = uint64_t(position / pcm->fmt.block) << 32;
        return DS_OK;
    }

    HRESULT SetVolume(LONG volume) override {
        if (!(caps_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        Guard g;
        volume_ = volume;
        update_gains();
        return DS_OK;
    }

    HRESULT SetPan(LONG pan) override {
        if (!(caps_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        Guard g;
        pan_ = pan;
        update_gains();
        return DS_OK;
    }

    HRESULT SetFrequency(DWORD frequency) override {
        if (!(caps_ & DSBCAPS_CTRLFREQUENCY) || primary()) return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL &&
            (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        Guard g;
        rate = frequency == DSBFREQUENCY_ORIGINAL ? pcm->fmt.rate : frequency;
        return DS_OK;
    }

    HRESULT Stop() override {
        Guard g;
        if (primary())
            primary_playing_ = false;
        else
            voice_stop(*this);
        return DS_OK;
    }

    HRESULT Restore() override {
        Guard g;
        if (lost_) {
            // The memory came back, its contents did not: the owner fills it again.
            if (pcm) std::fill(pcm->bytes.begin(), pcm->bytes.end(), pcm->fmt.bits == 8 ? 0x80 : 0);
            lost_ = false;
        }
        return DS_OK;
    }

    // Voice: a play that does not loop ended; the next Play starts from the beginning.
    void on_finished(uint64_t) override { pos = 0; }

    // Losable, under the lock.
    void lose() override {
        if (!primary()) voice_stop(*this);
        primary_playing_ = false;
        lost_ = true;
    }

private:
    bool inside(const void* p, DWORD n) const {
        if (!pcm || !p) return false;
        auto* b = static_cast<const uint8_t*>(p);
        const uint8_t* base = pcm->bytes.data();
        return b >= base && b <= base + pcm->bytes.size() && n <= size_t(base + pcm->bytes.size() - b);
    }
    void update_gains() {
        float g = db_gain(volume_);
        gain_l = g * db_gain(pan_ > 0 ? -pan_ : 0);
        gain_r = g * db_gain(pan_ < 0 ? pan_ : 0);
    }

    std::atomic<ULONG> refs_{1};
    DWORD caps_;
    LONG volume_ = 0;
    LONG pan_ = 0;
    bool lost_ = false;
    bool primary_playing_ = false;
};

class Device final : public IDirectSound {
public:
    explicit Device(bool initialised) : initialised_(initialised) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectSound)) {
            AddRef();
            *ppv = static_cast<IDirectSound*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        // Buffers live on their own; they stay usable until their owner releases them.
        if (left == 0) delete this;
        return left;
    }

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* out, IUnknown* outer) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (!desc) return DSERR_INVALIDPARAM;
        if (outer) return DSERR_NOAGGREGATION;
        if (!initialised_) return DSERR_UNINITIALIZED;
        if (desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
            *out = new Buffer(desc->dwFlags, nullptr);
            return DS_OK;
        }
        if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
        PcmFormat fmt;
        if (!pcm_format(*desc->lpwfxFormat, fmt)) return DSERR_BADFORMAT;
        std::shared_ptr<Pcm> data;
        try {
            data = make_pcm(fmt, desc->dwBufferBytes);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        *out = new Buffer(desc->dwFlags, std::move(data));
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override {
        if (!duplicate) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        if (!original) return DSERR_INVALIDPARAM;
        if (!initialised_) return DSERR_UNINITIALIZED;
        auto* b = static_cast<Buffer*>(original);
        if (b->primary()) return DSERR_INVALIDCALL;
        *duplicate = b->duplicate();
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        if (!initialised_) return DSERR_UNINITIALIZED;
        if (!window || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        level_ = level;
        return DS_OK;
    }

    HRESULT Initialize(const GUID* device) override {
        if (initialised_) return DSERR_ALREADYINITIALIZED;
        static const GUID kNull{};
        if (device && !IsEqualGUID(*device, kNull)) return DSERR_NODRIVER;
        if (no_sound_hardware()) return DSERR_NODRIVER;
        initialised_ = true;
        return DS_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    std::atomic<bool> initialised_;
    std::atomic<DWORD> level_{0};
};

}  // namespace

HRESULT dsound_class_create(IUnknown* outer, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* d = new Device(false);
    HRESULT hr = d->QueryInterface(riid, out);
    d->Release();
    return hr;
}

namespace {
// The class is creatable through CoCreateInstance from the moment the library is loaded.
const bool g_registered = [] {
    PlatRegisterComClass(CLSID_DirectSound, dsound_class_create);
    return true;
}();
}  // namespace

}  // namespace plat::sound

using namespace plat::sound;

extern "C" {

PLATFORM_API HRESULT WINAPI DirectSoundCreate(const GUID* device, LPDIRECTSOUND* ds, IUnknown* outer) {
    if (!ds) return DSERR_INVALIDPARAM;
    *ds = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    auto* d = new Device(false);
    HRESULT hr = d->Initialize(device);
    if (FAILED(hr)) {
        d->Release();
        return hr;
    }
    *ds = d;
    return DS_OK;
}

PLATFORM_API uint32_t VokSoundBufferSerial(const void* buffer) {
    if (!buffer) return 0;
    auto* b = static_cast<const IDirectSoundBuffer*>(buffer);
    return static_cast<const Buffer*>(b)->serial;
}

}  // extern "C"
