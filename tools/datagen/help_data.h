// Texts and clips of the help, story, credits and movie screens.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "art.h"

namespace datagen {

// Puts the help, story and credits texts and the demo scripts into a language's text files.
void help_texts(std::map<std::string, std::string> &files);

// A demo clip of 320 x 240 at 10 frames a second: the first frame whole, then only the rectangle that
// changed (a piece moving over the game's picture), with a tone of the clip's length.
std::vector<uint8_t> demo_clip(const art::Image &base, int frames, double hz, unsigned seed);

// Frames of the demo clips (20 s) and of the credits clips; the credits clips' names, page first.
constexpr int kDemoClipFrames = 200, kCreditClipFrames = 80;
extern const char *const kCreditClips[5];

}  // namespace datagen
