// Reader of RIFF WAVE files holding plain PCM (8 or 16 bits, one or two channels).
#pragma once

#include <memory>
#include <string>

#include "sound/mixer.h"

namespace plat::sound {

struct WavInfo {
    PcmFormat fmt;
    uint32_t frames = 0;
};

// Reads the format and length (info) and, when `samples` is given, the sample data. False when the
// file is missing or not a PCM WAVE file. Every chunk is checked against the bytes present; a data
// chunk that runs past the end of the file keeps the whole frames that are there.
bool read_wav(const std::string& path, WavInfo& info, std::shared_ptr<Pcm>* samples);

}  // namespace plat::sound
