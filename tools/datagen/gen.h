// The data generator: every file of the data tree the framework and the main program read, written
// under one root folder. Each file is a pure function of the recipes, so two runs give the same bytes.
#pragma once

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "art.h"
#include "fpk/fpkformat.h"

namespace datagen {

using art::Image;

// Stored pixel types the readers accept.
constexpr uint32_t kRgb565 = 5;
constexpr uint32_t kRgb565Alpha8 = 10;
constexpr uint32_t kArgb4444 = 18;
constexpr uint32_t kIndex8 = 3;  // 8-bit masks: the grey level of each pixel

// Keeps the 3D library started while it lives (nothing to do when it already runs). Held only around
// the generator's own calls: a picture recipe may start and end the library itself.
class LibraryScope {
public:
    LibraryScope();
    ~LibraryScope();
    LibraryScope(const LibraryScope &) = delete;
    LibraryScope &operator=(const LibraryScope &) = delete;

private:
    bool began_;
};

// Rows of a picture in a stored type, top row first, each row as long as the 3D library lays it out
// for the type (row_bytes). Empty when the type is not one of the four above or the size is 0.
std::vector<uint8_t> stored_rows(const Image &image, uint32_t type, uint32_t &row_bytes);
// 565 when every pixel is opaque, else alpha + 565.
uint32_t stored_type(const Image &image);
// A pack entry holding the picture as a stored pixel map.
fpk::Entry pixmap_entry(const std::string &name, const Image &image, uint32_t type);

// Sounds, as RIFF WAVE images (22,050 Hz, 16-bit).
std::vector<uint8_t> menu_sound(int index);   // 0..14: clicks, ticks and chimes, each distinct
std::vector<uint8_t> background_loop();       // a soft pad that loops without a seam
std::vector<uint8_t> music_track(int track);  // track 1..7: a short piece, stereo

// Text files of a language folder ("US", "UK"): entry name -> Windows-1252 bytes. Empty for a language
// without texts.
std::map<std::string, std::string> language_texts(const std::string &lang);
// fwfields.txt: the names of Terrow's own fields by list.
std::string terrow_field_names();
// The file prefix of each of the five field lists, as the framework builds level paths.
const char *const *field_prefixes();
// The key-name table, one name a line in the order of the framework's key codes.
std::string key_names();

// A movie a screen names, made by its extension: .flc/.fli (8 bits, palette), .tmz (16 bits) or
// .mzi (16 bits with a tone); false for another name or a picture smaller than 2x1.
bool movie_bytes(const std::string &name, const Image &base, std::vector<uint8_t> &bytes, std::string &error);
// Where it goes: TMZ movies into the scene's data pack (the player reads them from the pack), FLI/FLC
// movies beside the programs (the player opens them as files), .mzi clips into the data folder.
std::string movie_place(const std::string &pack, const std::string &name);

// One line of the asset list: kind, data pack, name, size (0: the recipe decides), and for a picture
// of a screen with a language pack, that pack (its words are drawn in each language there).
struct Asset {
    std::string kind, pack, name;
    int width = 0, height = 0;
    std::string langpack;
    std::string from;  // the description (or code) that uses it
    bool everyLanguage = false; // the language pack holds it in every language, not only where it reads otherwise
};
// The screens' asset list (from the descriptions the framework carries) and the names the framework's
// and main program's code use outside any screen.
std::vector<Asset> screen_assets(std::string &error);
// The asset list of one screen description text.
std::vector<Asset> screen_assets(const char *name, const char *text, size_t size, std::string &error);
std::vector<Asset> code_assets();

// A picture from a recipe, for the asset `what`. A recipe that fails (the 3D library already running,
// a font face missing) or gives nothing (a size it refuses) is an error naming the asset: no empty or
// half-drawn picture is written.
bool draw(const std::string &what, const std::function<Image()> &recipe, Image &out, std::string &error);

// Every line of the list has its file under `root`, and every picture and movie of a pack its entry;
// false with the first that has none.
bool check_tree(const std::string &root, const std::vector<Asset> &list, std::string &error);

struct Picture {
    std::string label;  // where it went: "Data/sure.fpk:quit"
    Image image;
};

// Writes the tree under `root` (made when missing). Pictures written are kept for the contact sheet.
class Generator {
public:
    explicit Generator(std::string root) : root_(std::move(root)) {}
    // Assets made besides those of the screens and the code (a screen file not carried yet).
    void add_assets(const std::vector<Asset> &more) { extra_.insert(extra_.end(), more.begin(), more.end()); }
    bool run(std::string &error);
    const std::vector<Picture> &pictures() const { return pictures_; }
    // Files written, relative to the root, in order.
    const std::vector<std::string> &files() const { return files_; }

private:
    bool write(const std::string &relative, const std::vector<uint8_t> &bytes, std::string &error);
    bool write_pack(const std::string &relative, std::vector<fpk::Entry> entries, std::string &error);
    bool assets(std::string &error);
    bool mavrel(std::string &error);
    bool sounds(std::string &error);
    bool save_pixelmap(const std::string &relative, const Image &image, std::string &error);
    bool movies(std::string &error);
    bool kelpa(std::string &error);
    bool terrow(std::string &error);  // terrow.cpp
    fpk::Entry picture(const std::string &where, const std::string &name, Image image);

    std::string root_;
    std::vector<Asset> extra_;
    std::vector<Picture> pictures_;
    std::vector<std::string> files_;
};

// A grid of every picture, labelled with its place and size, each scaled into a 160x120 cell, as a PNG.
bool write_contact_sheet(const std::string &path, const std::vector<Picture> &pictures, std::string &error);

}  // namespace datagen
