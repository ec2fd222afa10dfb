#include "sound.h"

#include <algorithm>
#include <cstring>

#include "errors.h"
#include "library.h"
#include "mzifile.h"

namespace media {

namespace {
enum Step { kCreate = 11, kInitialize = 13, kBuffer = 25, kLock = 44, kUnlock = 50, kLevelNone = 66, kLevel = 89 };
}

bool MediaSound::Check(HRESULT result, int step)
{
    if (FAILED(last_result))
        return false;
    last_result = result;
    if (FAILED(result)) {
        report_failure(result, step);
        return false;
    }
    return true;
}

void MediaSound::CreateDevice()
{
    void *object = nullptr;
    if (Check(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, &object), kCreate))
        sound_ = static_cast<IDirectSound *>(object);
    if (sound_ != nullptr)
        Check(sound_->Initialize(nullptr), kInitialize);
}

MediaSound::MediaSound(HWND owner, const uint8_t *format, const uint8_t *data, uint32_t length, uint32_t start)
{
    CreateDevice();
    window_ = CreateWindowExA(0, kSoundWindowClass, "", WS_CHILD, 0, 0, 0, 0, owner, nullptr, library().instance,
                              nullptr);
    if (window_ != nullptr)
        SetWindowLongPtrA(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (sound_ != nullptr)
        Check(sound_->SetCooperativeLevel(window_, DSSCL_NORMAL), kLevel);
    length_ = length;
    // Field by field; the extra-bytes count is never trusted (plain PCM has none).
    format_.wFormatTag = mzi::get16(format);
    format_.nChannels = mzi::get16(format + 2);
    format_.nSamplesPerSec = mzi::get32(format + 4);
    format_.nAvgBytesPerSec = mzi::get32(format + 8);
    format_.nBlockAlign = mzi::get16(format + 12);
    format_.wBitsPerSample = mzi::get16(format + 14);
    format_.cbSize = 0;
    data_ = data;
    desc_.dwSize = sizeof desc_;
    desc_.dwFlags = kBufferFlags;
    desc_.dwBufferBytes = length;
    desc_.lpwfxFormat = &format_;
    if (sound_ != nullptr && Check(sound_->CreateSoundBuffer(&desc_, &buffer_, nullptr), kBuffer)) {
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (Check(buffer_->Lock(0, length_, &p1, &n1, &p2, &n2, 0), kLock)) {
            std::memcpy(p1, data_, std::min<DWORD>(n1, length_));
            if (p2 != nullptr && n1 < length_)
                std::memcpy(p2, data_ + n1, std::min<DWORD>(n2, length_ - n1));
            Check(buffer_->Unlock(p1, n1, p2, n2), kUnlock);
        }
    }
    start_frame = start;
}

MediaSound::MediaSound()
{
    CreateDevice();
    // The kind has no window of its own: the parent field is still empty here.
    if (sound_ != nullptr)
        Check(sound_->SetCooperativeLevel(parent_window, DSSCL_NORMAL), kLevelNone);
}

MediaSound::~MediaSound()
{
    Release();
}

void MediaSound::Release()
{
    if (buffer_ != nullptr) {
        buffer_->Stop();
        buffer_->Release();
        buffer_ = nullptr;
    }
    if (sound_ != nullptr) {
        sound_->Release();
        sound_ = nullptr;
    }
    if (window_ != nullptr) {
        SetWindowLongPtrA(window_, GWL_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

int MediaSound::Play()
{
    if (!audible())
        return 0;
    buffer_->SetCurrentPosition(0);
    buffer_->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
    return 1;
}

int MediaSound::Stop()
{
    if (!audible())
        return 0;
    buffer_->Stop();
    return 1;
}

void MediaSound::Close()
{
    // Stand-alone objects release everything here; the library deletes them afterwards.
    Release();
}

std::unique_ptr<MediaObject> make_sound(int32_t, intptr_t, ParamList)
{
    return std::make_unique<MediaSound>();
}

}  // namespace media
