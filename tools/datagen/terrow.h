// Terrow's generated data: what its module reads from the read root and from "fw\".
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "art.h"

namespace datagen::terrow {

using art::Image;

// One picture file: where it goes under the root, the name the game loads it by (stored inside as
// its identifier, which the game's picture cache looks up), and the picture.
struct PictureFile {
    std::string file, identifier;
    Image image;
};

// Element textures (fw/aq, fw/bq, fw/cq, a 3 x 2 grid of faces each) and the shadow (bq at the root).
std::vector<PictureFile> textures();
// The goal's glowing cell and the carousel frames, and the hall's wall: the entries of trt.
std::vector<PictureFile> trt_pictures();
// Sound `index` (0..22) of zenesz1.pck as a RIFF WAVE image.
std::vector<uint8_t> sound(int index);
constexpr int kSounds = 23;

// A model file of terrow.pck: its name ("kocka.mod"), how many models it holds, its bytes.
struct ModelFile {
    std::string name;
    int count = 1;
    std::vector<uint8_t> bytes;
};
bool models(std::vector<ModelFile> &out, std::string &error);
// The main models drawn with their textures, for the contact sheet: (label, picture).
std::vector<std::pair<std::string, Image>> model_views();
// The UV map files (name, text): six integers a face into the texture's 3 x 2 grid.
std::vector<std::pair<std::string, std::string>> uv_maps();

}  // namespace datagen::terrow
