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
// A ball's frame sequence for the tally (15 frames: 0..4 roll, 5..14 travel): colour frames and
// their 8-bit alpha frames (0 clear .. 255 solid), `type` 0 iron, 1 glass, 2 bomb, 3 rubber.
struct BallFrame {
    Image colour;
    std::vector<uint8_t> alpha;  // width x height, top row first
};
std::vector<BallFrame> ball_frames(int type);
// An 8-bit BMP file of grey levels (rows bottom-up, padded to four bytes).
std::vector<uint8_t> grey_bmp(int width, int height, const std::vector<uint8_t> &levels);
// The status line's pictures, 29 rows high: "toolbar" (left strip), "toolures" (right strip),
// "toollezar" (the marker), "celtool" (the marker once the goal is reached).
Image status_strip(const std::string &name);

// The toolbar's buttons for trb in a language (0 English, 1 German, 2 French): per button 13 frames
// "<name>\\co%04d.pix" and their masks "<name>\\a_co%04d.bmp" (white where the button is).
std::vector<PictureFile> button_frames(int language);

// ge.dic (language 1) or fr.dic (language 2).
std::string dictionary(int language);

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
