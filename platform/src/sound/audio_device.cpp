#include "sound/audio_device.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat::sound {
namespace {

void (*g_render)(int16_t*, size_t) = nullptr;

void SDLCALL callback(void*, Uint8* stream, int len) {
    g_render(reinterpret_cast<int16_t*>(stream), size_t(len) / 4);
}

}  // namespace

bool open_audio_device(void (*render)(int16_t* out, size_t frames)) {
    const char* name = std::getenv("VOK_AUDIO_DEVICE");
    if (name && !*name) name = nullptr;
    if (name && std::strcmp(name, "none") == 0) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "sound: no audio output (%s); sounds are recorded only\n", SDL_GetError());
        return false;
    }
    g_render = render;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = callback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware wants.
    SDL_AudioDeviceID dev = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (dev == 0) {
        std::fprintf(stderr, "sound: cannot open audio device %s (%s); sounds are recorded only\n",
                     name ? name : "(default)", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(dev, 0);
    return true;
}

}  // namespace plat::sound
