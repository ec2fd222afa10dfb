// Kelpa's part of the tree: under "kp/" the shade tables, textures, pictures, the four button packs,
// the two cube models and the sound pack; "Data/kp.fnp" (the game's three fonts); the "Kelpa" folder
// the module works in.
#include <math.h>
#include <string.h>

#include <filesystem>

#include "art/kelpa.h"
#include "brondel/brcore.h"
#include "brondel/brdbfile.h"
#include "brondel/brmodel.h"
#include "brondel/brpixmap.h"
#include "brondel/brv1db.h"
#include "fontmaker/fontmaker.h"
#include "gen.h"
#include "kelpa.h"
#include "kelpa_levels.h"
#include "modtool/shapes.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"

namespace datagen {
namespace {

// The stored rows of a keyed picture: 0 where it is transparent, never 0 where it is not.
std::vector<uint8_t> keyed_rows(const Image &im, bool mask, uint32_t &row_bytes)
{
    std::vector<uint8_t> rows = stored_rows(im, kRgb565, row_bytes);
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            uint8_t *p = rows.data() + size_t(y) * row_bytes + size_t(x) * 2;
            const bool on = (im.argb[size_t(y) * size_t(im.width) + size_t(x)] >> 24) != 0;
            uint16_t v = uint16_t(p[0] | p[1] << 8);
            v = !on ? 0 : mask ? 0xFFFF : v == 0 ? 1 : v;
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
        }
    return rows;
}

// Shade tables: 256 colour indices across, 64 light levels down, each a ramp to the family's tint.
std::vector<uint8_t> shade_table(int family)
{
    std::vector<uint8_t> rows(256 * 64);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 256; x++) {
            const int lift = (family * 3) % 16;
            rows[size_t(y) * 256 + size_t(x)] = uint8_t(std::min(255, x * (y + 1) / 64 + lift * y / 64));
        }
    return rows;
}

// Sounds: 16-bit mono at 22,050 Hz.
struct Synth {
    std::vector<double> s;
    explicit Synth(double seconds) : s(size_t(seconds * 22050)) {}
    void bell(double at, double length, double hz, double level)
    {
        const size_t a = size_t(at * 22050), n = size_t(length * 22050);
        for (size_t i = 0; i < n && a + i < s.size(); i++) {
            const double t = double(i) / 22050, env = std::min(1.0, t / 0.004) * exp(-t * 4.0 / length);
            s[a + i] += level * env * (sin(2 * M_PI * hz * t) + 0.3 * sin(4 * M_PI * hz * t) * exp(-t * 8 / length));
        }
    }
    void thud(double at, double length, double hz, double level)
    {
        const size_t a = size_t(at * 22050), n = size_t(length * 22050);
        for (size_t i = 0; i < n && a + i < s.size(); i++) {
            const double t = double(i) / 22050, f = hz * (1 - 0.5 * t / length);
            s[a + i] += level * exp(-t * 6 / length) * sin(2 * M_PI * f * t);
        }
    }
    std::vector<uint8_t> wave() const
    {
        std::vector<uint8_t> bytes;
        for (double v : s) {
            const int x = int(std::max(-1.0, std::min(1.0, v)) * 30000);
            bytes.push_back(uint8_t(x & 255));
            bytes.push_back(uint8_t((x >> 8) & 255));
        }
        return vokpack::make_wave(bytes, 1, 22050, 16);
    }
};

std::vector<uint8_t> kelpa_sound(int i)
{
    switch (i) {
    case 0: {  // the path's glow: a rising arpeggio that loops
        Synth s(1.2);
        const double notes[] = {523.25, 659.25, 783.99, 1046.5, 783.99, 659.25};
        for (int k = 0; k < 6; k++)
            s.bell(k * 0.2, 0.35, notes[k], 0.22);
        return s.wave();
    }
    case 1: { Synth s(0.08); s.thud(0, 0.06, 1400, 0.35); return s.wave(); }    // click
    case 2: { Synth s(0.12); s.thud(0, 0.1, 420, 0.45); return s.wave(); }      // step
    case 3: { Synth s(0.35); s.thud(0, 0.3, 110, 0.7); return s.wave(); }       // blocked
    case 4: { Synth s(0.4); s.bell(0, 0.35, 880, 0.4); s.bell(0.06, 0.3, 1320, 0.25); return s.wave(); }
    case 5: { Synth s(0.5); s.bell(0, 0.45, 1046.5, 0.4); s.bell(0.08, 0.4, 1568, 0.3); return s.wave(); }
    case 6: { Synth s(0.4); s.bell(0, 0.2, 660, 0.35); s.bell(0.15, 0.25, 440, 0.35); return s.wave(); }
    case 7: { Synth s(0.1); s.bell(0, 0.08, 990, 0.2); return s.wave(); }
    case 8: {  // reset: a falling sweep
        Synth s(0.5);
        for (int k = 0; k < 5; k++)
            s.bell(k * 0.07, 0.2, 1200.0 - 160 * k, 0.25);
        return s.wave();
    }
    case 9: { Synth s(0.45); s.bell(0, 0.25, 523.25, 0.35); s.bell(0.14, 0.3, 784, 0.4); return s.wave(); }
    default: {  // every exit reached: a short fanfare
        Synth s(1.4);
        const double notes[] = {523.25, 659.25, 783.99, 1046.5};
        for (int k = 0; k < 4; k++)
            s.bell(k * 0.14, 0.5, notes[k], 0.3);
        s.bell(0.6, 0.8, 1046.5, 0.3);
        s.bell(0.6, 0.8, 1318.5, 0.2);
        return s.wave();
    }
    }
}

// Several boxes of the shape library joined into one model (the frame of the outer cube).
br_model *joined(const char *name, const std::vector<std::pair<br_vector3, br_vector3>> &boxes)
{
    std::vector<br_model *> parts;
    int nv = 0, nf = 0;
    for (const auto &[size, at] : boxes) {
        modtool::ShapeOptions o;
        o.size = size;
        br_model *m = modtool::ShapeMake("cube", o);
        if (m == nullptr)
            break;
        for (int i = 0; i < m->nvertices; i++)
            for (int k = 0; k < 3; k++)
                m->vertices[i].p.v[k] += at.v[k];
        nv += m->nvertices;
        nf += m->nfaces;
        parts.push_back(m);
    }
    br_model *out = parts.size() == boxes.size() ? BrModelAllocate(name, nv, nf) : nullptr;
    int v = 0, f = 0;
    for (br_model *m : parts) {
        if (out != nullptr) {
            for (int i = 0; i < m->nfaces; i++) {
                out->faces[f + i] = m->faces[i];
                for (int k = 0; k < 3; k++)
                    out->faces[f + i].vertices[k] = br_uint_16(m->faces[i].vertices[k] + v);
            }
            for (int i = 0; i < m->nvertices; i++)
                out->vertices[v + i] = m->vertices[i];
        }
        v += m->nvertices;
        f += m->nfaces;
        BrModelFree(m);
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, br_model *>> kelpa_models()
{
    // Shell: twelve bevel bars along the edges of a 0.1 cube; core: a 0.066 cube inside it.
    const float e = 0.1f, t = 0.018f, h = (e - t) / 2;
    std::vector<std::pair<br_vector3, br_vector3>> bars;
    for (int axis = 0; axis < 3; axis++)
        for (float a : {-h, h})
            for (float b : {-h, h}) {
                br_vector3 size = {{t, t, t}}, at = {{0, 0, 0}};
                size.v[axis] = e;
                at.v[(axis + 1) % 3] = a;
                at.v[(axis + 2) % 3] = b;
                bars.push_back({size, at});
            }
    std::vector<std::pair<std::string, br_model *>> out;
    out.push_back({"Kockaa.mod", joined("Kocka", bars)});
    modtool::ShapeOptions core;
    core.name = "Kockab";
    core.size = {{0.066f, 0.066f, 0.066f}};
    out.push_back({"Kockab.mod", modtool::ShapeMake("cube", core)});
    return out;
}

std::vector<uint8_t> kelpa_sound_pack()
{
    vokpack::SoundEntries entries;
    for (int i = 0; i <= 10; i++) {
        char name[16];
        snprintf(name, sizeof name, "kp%02d", i);
        entries.emplace_back(name, kelpa_sound(i));
    }
    return vokpack::build_pack(entries);
}

std::vector<fontmaker::Style> kelpa_font_styles()
{
    fontmaker::Style clock;
    clock.ttf = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
    clock.size = 20;
    clock.colour = 0xBFF4FF;
    clock.gradient = true;
    clock.colour2 = 0x3FA8E0;
    clock.shadow = true;
    clock.shadow_colour = 0x05070C;
    clock.picture = "kp_0";
    fontmaker::Style title = clock;
    title.ttf = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    title.size = 24;
    title.colour = 0xFFF1B8;
    title.colour2 = 0xD99A1E;
    title.picture = "kp_1";
    fontmaker::Style plain = title;
    plain.size = 16;
    plain.gradient = false;
    plain.colour = 0xF4F0E6;
    plain.picture = "kp_2";
    return {clock, title, plain};
}

bool Generator::kelpa(std::string &error)
{
    // Textures and pictures.
    std::vector<fpk::Entry> textures, pictures, shades;
    for (const std::string &name : art::kelpa_texture_names()) {
        Image im;
        if (!draw("kp/kpbmpek.fpk:" + name, [&] { return art::kelpa_texture(name); }, im, error))
            return false;
        textures.push_back(picture("kp/kpbmpek.fpk", name, std::move(im)));
    }
    for (const char *name : {"hatter.pix", "hatterb.pix", "hatters.pix", "hattern.pix", "nyil1.pix", "nyil2.pix",
                             "kpfej1.pix", "kpfej2.pix"}) {
        Image im;
        if (!draw(std::string("kp/kppixek.fpk:") + name, [&] { return art::kelpa_picture(name); }, im, error))
            return false;
        pictures.push_back(picture("kp/kppixek.fpk", name, std::move(im)));
    }
    for (int i = 0; i < 10; i++) {
        static const char *const kNames[10] = {"Black.shd", "Blue.shd",   "Green.shd", "Orange.shd", "Red.shd",
                                               "White.shd", "Yellow.shd", "Mix.shd",   "Tabla0.shd", "slcute.shd"};
        shades.push_back({kNames[i], fpk::stored_pixmap(256, 64, kIndex8, shade_table(i)), fpk::kPixmapFlag});
    }
    if (!write_pack("kp/kpbmpek.fpk", std::move(textures), error) ||
        !write_pack("kp/kppixek.fpk", std::move(pictures), error) || !write_pack("kp/kpshdek.fpk", std::move(shades), error))
        return false;

    // The button packs, one a language.
    static const char *const kPacks[4][2] = {{"kpbuus", "US"}, {"kpbuuk", "UK"}, {"kpbude", "GE"}, {"kpbufr", "FR"}};
    for (const auto &pack : kPacks) {
        std::vector<fpk::Entry> entries;
        const std::string where = std::string("kp/") + pack[0] + ".fpk";
        for (const art::KelpaButton &b : art::kelpa_buttons())
            for (int f = 0; f < b.frames; f++) {
                Image im;
                char frame[64], mask[64];
                snprintf(frame, sizeof frame, "%s\\co%04d.pix", b.folder, f);
                snprintf(mask, sizeof mask, "%s\\A_co%04d.bmp", b.folder, f);
                if (!draw(where + ":" + frame, [&] { return art::kelpa_button_frame(b.folder, f, pack[1]); }, im, error))
                    return false;
                if (im.width != b.width || im.height != b.height) {
                    error = where + ":" + frame + ": not " + std::to_string(b.width) + "x" + std::to_string(b.height);
                    return false;
                }
                uint32_t rb = 0;
                entries.push_back({frame, fpk::stored_pixmap(uint32_t(im.width), uint32_t(im.height), kRgb565,
                                                             keyed_rows(im, false, rb)), fpk::kPixmapFlag});
                entries.push_back({mask, fpk::stored_pixmap(uint32_t(im.width), uint32_t(im.height), kRgb565,
                                                            keyed_rows(im, true, rb)), fpk::kPixmapFlag});
                if (f == 0 || (f == b.frames - 1 && b.frames == 8 && std::string(pack[1]) == "US"))
                    pictures_.push_back({where + ":" + frame, std::move(im)});
            }
        if (!write_pack(where, std::move(entries), error))
            return false;
    }

    // Each cube look, rendered as the game shows it, for the contact sheet.
    static const char *const kLooks[8] = {"red", "blue", "yellow", "green", "white", "orange", "fixed", "Mix"};
    for (int i = 0; i < 8; i++) {
        Image im;
        if (!draw(std::string("kp/look:") + kLooks[i], [&] { return art::kelpa_cube_icon(i, 96); }, im, error))
            return false;
        pictures_.push_back({std::string("kp/look:") + kLooks[i], std::move(im)});
    }

    // Models, sounds, fonts and the module's working folder.
    {
        if (BrBegin() != BRE_OK) {
            error = "kp models: the 3D library did not begin";
            return false;
        }
        bool ok = true;
        for (auto &[name, model] : kelpa_models()) {
            const std::filesystem::path path = std::filesystem::path(root_) / "kp" / name;
            std::error_code ec;
            std::filesystem::create_directories(path.parent_path(), ec);
            const std::string temporary = path.string() + ".new";
            if (ok && (model == nullptr || BrModelSave(temporary.c_str(), model) == 0 ||
                       rename(temporary.c_str(), path.c_str()) != 0)) {
                error = "cannot write " + path.string();
                remove(temporary.c_str());
                ok = false;
            }
            if (model != nullptr)
                BrModelFree(model);
            if (ok)
                files_.push_back("kp/" + name);
        }
        BrEnd();
        if (!ok)
            return false;
    }
    if (!write("kp/kpsounds.pck", kelpa_sound_pack(), error))
        return false;
    for (const KelpaLevelRecipe &recipe : kelpa_levels()) {
        KpLevelFile level;
        std::vector<uint8_t> bytes(kKpLevelBytes);
        if (!kelpa_level_file(recipe, level)) {
            error = kelpa_level_name(recipe) + ": the board text is not 11 lines of 11 cells";
            return false;
        }
        KpEncodeLevel(level, bytes.data());
        if (!write(kelpa_level_name(recipe), bytes, error))
            return false;
    }
    const std::filesystem::path fonts = std::filesystem::path(root_) / "Data" / "kp.fnp";
    std::error_code ec;
    std::filesystem::create_directories(fonts.parent_path(), ec);
    if (!fontmaker::make_font_pack(fonts.string(), kelpa_font_styles(), error)) {
        error = "Data/kp.fnp: " + error;
        return false;
    }
    files_.push_back("Data/kp.fnp");
    std::filesystem::create_directories(std::filesystem::path(root_) / "Kelpa", ec);
    if (ec) {
        error = "cannot make the folder " + (std::filesystem::path(root_) / "Kelpa").string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace datagen
