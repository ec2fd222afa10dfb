// Writes Terrow's part of the data tree: the physics' tuning file, the element textures and the
// shadow, the trt picture pack, and the sound pack.
#include "terrow.h"
#include "terrow_fields.h"
#include "texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <cstdlib>
#include <unistd.h>

#include <brondel/brcore.h>
#include <brondel/brpixmap.h>
#include <brondel/brpmfile.h>

#include "fontmaker/fontmaker.h"
#include "gen.h"
#include "terrow/phys/phparams.h"
#include "vokscore/soundpack.h"

namespace datagen {

namespace {

// A 565 pixel map file whose identifier is the name the game loads it by.
bool pix_bytes(const terrow::PictureFile &p, std::vector<uint8_t> &bytes, std::string &error)
{
    LibraryScope library;
    uint32_t row_bytes = 0;
    std::vector<uint8_t> rows = stored_rows(p.image, kRgb565, row_bytes);
    br_pixelmap *pm = rows.empty() ? nullptr : BrPixelmapAllocate(BR_PMT_RGB_565, p.image.width, p.image.height, nullptr, 0);
    if (pm == nullptr) {
        error = p.file + ": no pixel map";
        return false;
    }
    for (int y = 0; y < p.image.height; y++)
        memcpy(static_cast<uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes, rows.data() + size_t(y) * row_bytes,
               row_bytes);
    pm->identifier = BrResStrDup(pm, p.identifier.c_str());
    char temporary[] = "/tmp/datagen-pixXXXXXX";
    int fd = mkstemp(temporary);
    bool ok = fd >= 0 && BrPixelmapSave(temporary, pm) == 1;
    BrPixelmapFree(pm);
    if (ok) {
        FILE *f = fopen(temporary, "rb");
        ok = f != nullptr;
        if (ok) {
            bytes.clear();
            uint8_t chunk[4096];
            size_t n;
            while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
                bytes.insert(bytes.end(), chunk, chunk + n);
            fclose(f);
        }
    }
    if (fd >= 0) {
        close(fd);
        unlink(temporary);
    }
    if (!ok)
        error = p.file + ": cannot be written";
    return ok;
}

}  // namespace

bool Generator::terrow(std::string &error)
{
    // The font set "terrow": 0 the status line, 1 its highlighted words, 2 titles, 3 the level's
    // announcement, 4 the catalogue's small counts.
    std::vector<fontmaker::Style> styles(5);
    const char *const bold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    const int sizes[5] = {14, 14, 24, 20, 11};
    const uint32_t colours[5] = {0xE8ECF2, 0xFFD860, 0xFFE9A0, 0xFFFFFF, 0xF0F0F0};
    for (int i = 0; i < 5; i++) {
        styles[size_t(i)].ttf = bold;
        styles[size_t(i)].size = sizes[i];
        styles[size_t(i)].colour = colours[i];
        styles[size_t(i)].shadow = true;
        styles[size_t(i)].shadow_colour = 0x101018;
        styles[size_t(i)].picture = "terrow_" + std::to_string(i);
    }
    styles[2].gradient = true;
    styles[2].colour2 = 0xE09020;
    styles[3].gradient = true;
    styles[3].colour2 = 0x90C8FF;
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(root_) / "Data", made);
    if (!fontmaker::make_font_pack((std::filesystem::path(root_) / "Data/terrow.fnp").string(), styles, error)) {
        error = "Data/terrow.fnp: " + error;
        return false;
    }
    files_.push_back("Data/terrow.fnp");

    // The program's fields, where the framework's level paths find them. Files of the program's own
    // lists that a former recipe made go first, so that the folder holds these fields only.
    std::error_code listed;
    for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::path(root_) / "fw/Fields", listed)) {
        const std::string name = entry.path().filename().string();
        for (int list = 0; list < 5; list++)
            if (entry.path().extension() == ".trl" && name.rfind(field_prefixes()[list], 0) == 0) {
                std::error_code gone;
                std::filesystem::remove(entry.path(), gone);
                break;
            }
    }
    for (const terrow::FieldFile &f : terrow::fields(field_prefixes()))
        if (!write("fw/Fields/" + f.file, f.bytes, error))
            return false;

    unsigned char phy[PHY_FILE_SIZE];
    Phy_Encode(Phy_Defaults(), phy);
    if (!write("fw/Final.phy", std::vector<uint8_t>(phy, phy + sizeof phy), error))
        return false;

    for (terrow::PictureFile &p : terrow::textures()) {
        std::vector<uint8_t> bytes;
        if (!pix_bytes(p, bytes, error) || !write(p.file, bytes, error))
            return false;
        pictures_.push_back({p.file, std::move(p.image)});
    }

    // The status line's strips and the tally's ball sequences, under the read root.
    for (const char *name : {"toolbar", "toolures", "toollezar", "celtool"}) {
        terrow::PictureFile p{std::string(name) + ".pix", std::string(name) + ".pix", terrow::status_strip(name)};
        std::vector<uint8_t> bytes;
        if (!pix_bytes(p, bytes, error) || !write(p.file, bytes, error))
            return false;
        pictures_.push_back({p.file, std::move(p.image)});
    }
    const char *const folders[4] = {"fem", "golf", "bomb", "laszti"};
    for (int type = 0; type < 4; type++) {
        std::vector<terrow::BallFrame> frames = terrow::ball_frames(type);
        for (size_t f = 0; f < frames.size(); f++) {
            char number[24];
            snprintf(number, sizeof number, "%04zu", f);
            const std::string folder = folders[type];
            terrow::PictureFile p{folder + "/co" + number + ".pix", folder + "\\co" + number + ".pix",
                                  frames[f].colour};
            std::vector<uint8_t> bytes;
            if (!pix_bytes(p, bytes, error) || !write(p.file, bytes, error) ||
                !write(folder + "/a_co" + number + ".bmp",
                       terrow::grey_bmp(p.image.width, p.image.height, frames[f].alpha), error))
                return false;
            if (f == 0 || f == 7)
                pictures_.push_back({p.file, std::move(p.image)});
        }
    }

    std::vector<fpk::Entry> trt;
    for (terrow::PictureFile &p : terrow::trt_pictures()) {
        trt.push_back(pixmap_entry(p.identifier, p.image, kRgb565));
        pictures_.push_back({"trt.fpk:" + p.identifier, std::move(p.image)});
    }
    // The picture packs of each language: the buttons carry their words, trt has none.
    const char *const suffixes[3] = {"", "_ge", "_fr"};
    for (int lang = 0; lang < 3; lang++) {
        std::vector<fpk::Entry> trb;
        for (terrow::PictureFile &p : terrow::button_frames(lang)) {
            const bool mask = p.identifier.find("\\a_co") != std::string::npos;
            trb.push_back(pixmap_entry(p.identifier, p.image, mask ? kIndex8 : kRgb565));
            if (!mask && (p.identifier.find("co0000") != std::string::npos || p.identifier.find("co0012") != std::string::npos) &&
                (lang == 0 || p.identifier.rfind("fm", 0) == 0 || p.identifier.rfind("quit", 0) == 0 ||
                 p.identifier.rfind("back", 0) == 0))
                pictures_.push_back({"trb" + std::string(suffixes[lang]) + ".fpk:" + p.identifier, std::move(p.image)});
        }
        if (!write_pack("trb" + std::string(suffixes[lang]) + ".fpk", std::move(trb), error))
            return false;
        if (lang > 0 && !write_pack("trt" + std::string(suffixes[lang]) + ".fpk", trt, error))
            return false;
    }
    if (!write_pack("trt.fpk", std::move(trt), error))
        return false;

    std::vector<terrow::ModelFile> models;
    if (!terrow::models(models, error))
        return false;
    vokpack::SoundEntries pack;
    for (terrow::ModelFile &m : models)
        pack.emplace_back(m.name, std::move(m.bytes));
    if (!write("fw/terrow.pck", vokpack::build_pack(pack), error))
        return false;
    for (auto &[label, image] : terrow::model_views())
        pictures_.push_back({"terrow.pck:" + label, std::move(image)});
    for (auto &[name, text] : terrow::uv_maps())
        if (!write("fw/" + name, std::vector<uint8_t>(text.begin(), text.end()), error))
            return false;

    for (int lang = 1; lang <= 2; lang++) {
        const std::string text = terrow::dictionary(lang);
        if (!write(lang == 1 ? "fw/ge.dic" : "fw/fr.dic", std::vector<uint8_t>(text.begin(), text.end()), error))
            return false;
    }

    // Shade tables for the looks: a row a light level (0 dark .. 63 full light with a highlight),
    // a column a colour index from black to the table's tone. a: the grey stone, b ("bq\\"): warm,
    // c ("cq\\"): cool metal.
    const double tones[3][3] = {{0.86, 0.86, 0.84}, {0.96, 0.80, 0.58}, {0.70, 0.80, 0.94}};
    for (int t = 0; t < 3; t++) {
        Image table;
        table.width = 256;
        table.height = 64;
        table.argb.resize(256 * 64);
        for (int y = 0; y < 64; y++)
            for (int x = 0; x < 256; x++) {
                const double light = 0.12 + 0.88 * y / 63.0, highlight = y > 48 ? (y - 48) / 15.0 * 0.25 : 0.0;
                uint32_t argb = 0xFF000000u;
                for (int c = 0; c < 3; c++) {
                    const double base = tones[t][c] * x / 255.0 * light;
                    const double v = std::min(1.0, base + (x / 255.0 - base) * highlight);
                    argb |= uint32_t(std::lround(v * 255)) << (16 - 8 * c);
                }
                table.argb[size_t(y) * 256 + size_t(x)] = argb;
            }
        if (!save_pixelmap(std::string("fw/shade/") + char('a' + t) + ".shd", table, error))
            return false;
    }

    vokpack::SoundEntries sounds;
    for (int i = 0; i < terrow::kSounds; i++) {
        char name[32];
        snprintf(name, sizeof name, "zen%02d", i);
        sounds.emplace_back(name, terrow::sound(i));
    }
    return write("fw/zenesz1.pck", vokpack::build_pack(sounds), error);
}

const char *const *field_prefixes()
{
    static const char *p[5] = {vok::field_prefix(0), vok::field_prefix(1), vok::field_prefix(2), vok::field_prefix(3),
                               vok::field_prefix(4)};
    return p;
}

std::string terrow_field_names()
{
    return terrow::fields_text(terrow::fields(field_prefixes()));
}

}  // namespace datagen
