// The tree: packs, pictures, fonts, sounds, texts and movies of the framework and the main program.
#include "gen.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "brondel/brpmfile.h"
#include "fontmaker/fontmaker.h"
#include "movie/flcwriter.h"
#include "movie/tmzwriter.h"
#include "help_data.h"
#include "mzi/mziwriter.h"
#include "scenedesc.h"
#include "vokscore/soundpack.h"

namespace datagen {
namespace {

// Language folders. Only the English ones have texts; every folder has each screen's language pack,
// so a screen opens in any language (its pictures come from the data pack).
const char *const kLanguages[] = {"US", "UK", "GE", "FR", "HU"};
constexpr int kMenuSounds = 15;
constexpr int kMusicTracks = 7;

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(tolower((unsigned char)c));
    return s;
}

std::string extension(const std::string &name)
{
    const size_t dot = name.rfind('.');
    const size_t cut = name.find_last_of("\\/");
    return dot == std::string::npos || (cut != std::string::npos && dot < cut) ? "" : lower(name.substr(dot));
}

// The folder a file goes into, made when missing; a folder that cannot be made is the error, not the
// file written into it afterwards.
bool make_folder(const std::filesystem::path &folder, std::string &error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        error = "cannot make the folder " + folder.string() + ": " + ec.message();
    return !ec;
}

// A name as a relative host path: "\" between folders becomes "/".
std::string host(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// Frames of a small animation over a picture: a band of light sweeping across it.
Image frame_of(const Image &base, int frame, int frames)
{
    Image im = base;
    const int centre = (im.width + 40) * frame / std::max(1, frames - 1) - 20;
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            const int d = std::abs(x + y / 2 - centre);
            if (d >= 20)
                continue;
            uint32_t &c = im.argb[size_t(y) * size_t(im.width) + size_t(x)];
            const uint32_t k = uint32_t(20 - d) * 6;
            uint32_t out = c & 0xFF000000u;
            for (int s = 0; s < 24; s += 8)
                out |= std::min<uint32_t>(255, ((c >> s) & 255) + k) << s;
            c = out;
        }
    return im;
}

std::vector<uint8_t> flc_movie(const Image &base, bool fli)
{
    // A palette of 6 x 7 x 6 colours; pixels are their nearest entry.
    movie::Palette pal{};
    for (int i = 0; i < 252; i++) {
        pal[size_t(i) * 3] = uint8_t(i / 42 * 51), pal[size_t(i) * 3 + 1] = uint8_t(i / 6 % 7 * 255 / 6),
                    pal[size_t(i) * 3 + 2] = uint8_t(i % 6 * 51);
    }
    const int w = base.width & ~1, h = base.height, frames = 8;
    movie::FlcWriter writer(w, h, fli ? 5 : 70, fli);
    for (int f = 0; f < frames; f++) {
        const Image im = frame_of(base, f, frames);
        std::vector<uint8_t> idx(size_t(w) * size_t(h));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint32_t c = im.argb[size_t(y) * size_t(im.width) + size_t(x)];
                const int r = int(((c >> 16) & 255) + 25) / 51, g = int(((c >> 8) & 255) * 6 + 127) / 255,
                          b = int((c & 255) + 25) / 51;
                idx[size_t(y) * size_t(w) + size_t(x)] = uint8_t(r * 42 + g * 6 + b);
            }
        writer.add_frame(idx, f == 0 ? &pal : nullptr);
    }
    return writer.bytes();
}

std::vector<uint8_t> tmz_movie(const Image &base)
{
    const int frames = 8;
    movie::TmzWriter writer(base.width, base.height, 16, 70);
    for (int f = 0; f < frames; f++) {
        uint32_t row_bytes = 0;
        std::vector<uint8_t> rows = stored_rows(frame_of(base, f, frames), kRgb565, row_bytes);
        std::vector<uint8_t> pixels(size_t(writer.frame_size()));
        for (int y = 0; y < base.height; y++)
            memcpy(pixels.data() + size_t(y) * size_t(writer.row_bytes()), rows.data() + size_t(y) * row_bytes,
                   std::min<size_t>(row_bytes, size_t(writer.row_bytes())));
        writer.add_frame(pixels);
    }
    return writer.bytes();
}

std::vector<uint8_t> mzi_movie(const Image &base, int frames, double hz)
{
    mziw::Options options;
    options.fps = 10;
    mziw::Writer writer(options);
    mziw::Track track;
    track.data = mziw::tone(hz, uint32_t(frames * 100), track.rate, 1);
    writer.add_track(track);
    for (int f = 0; f < frames; f++) {
        const Image im = frame_of(base, f, frames);
        std::vector<uint8_t> pixels(size_t(im.width) * size_t(im.height) * 2);
        for (int y = 0; y < im.height; y++)  // bottom row first
            for (int x = 0; x < im.width; x++) {
                const uint32_t c = im.argb[size_t(im.height - 1 - y) * size_t(im.width) + size_t(x)];
                mziw::put_pixel(5, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255,
                                pixels.data() + (size_t(y) * size_t(im.width) + size_t(x)) * 2);
            }
        writer.add_frame(5, uint16_t(im.width), uint16_t(im.height), pixels);
    }
    return writer.bytes();
}

// Font sets: the plain font and the focus font; "serif..." sets are drawn from a serif face and a
// number at the end of the name is the size in pixels.
std::vector<fontmaker::Style> font_styles(const std::string &set)
{
    const std::string name = lower(set);
    size_t digits = name.size();
    while (digits > 0 && isdigit((unsigned char)name[digits - 1]))
        digits--;
    int size = digits < name.size() ? atoi(name.c_str() + digits) : 16;
    size = std::clamp(size, 8, 64);
    const char *face = name.rfind("serif", 0) == 0 ? "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
                                                   : "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    fontmaker::Style plain;
    plain.ttf = face;
    plain.size = size;
    plain.colour = 0xF4F0E6;
    plain.shadow = true;
    plain.shadow_colour = 0x101018;
    plain.picture = name + "_0";
    fontmaker::Style focus = plain;
    focus.colour = 0xFFE680;
    focus.gradient = true;
    focus.colour2 = 0xF0A020;
    focus.picture = name + "_1";
    return {plain, focus};
}

std::vector<uint8_t> sound_pack(int count, std::vector<uint8_t> (*make)(int), const char *prefix)
{
    vokpack::SoundEntries entries;
    for (int i = 0; i < count; i++) {
        char name[32];
        snprintf(name, sizeof name, "%s%02d", prefix, i);
        entries.emplace_back(name, make(i));
    }
    return vokpack::build_pack(entries);
}

std::vector<uint8_t> loop_entry(int)
{
    return background_loop();
}

}  // namespace

std::string movie_place(const std::string &pack, const std::string &name)
{
    const std::string ext = extension(name);
    if (ext == ".tmz" && !pack.empty() && pack != "-")
        return "Data/" + host(pack) + ".fpk";
    if (ext == ".tmz" || ext == ".mzi")
        return "Data/" + host(name);
    return host(name);
}

bool movie_bytes(const std::string &name, const Image &base, std::vector<uint8_t> &bytes, std::string &error)
{
    const std::string ext = extension(name);
    if (base.width < 2 || base.height < 1) {
        error = "the movie '" + name + "' is smaller than 2x1";
        return false;
    }
    if (ext == ".flc" || ext == ".fli")
        bytes = flc_movie(base, ext == ".fli");
    else if (ext == ".tmz")
        bytes = tmz_movie(base);
    else if (ext == ".mzi")
        bytes = mzi_movie(base, 8, 660);
    else {
        error = "no recipe for the movie '" + name + "'";
        return false;
    }
    return true;
}

std::vector<Asset> screen_assets(const char *name, const char *text, size_t size, std::string &error)
{
    auto d = vok::parse_screen(name, text, size, error);
    if (!d)
        return {};
    std::vector<vok::AssetUse> uses;
    vok::list_assets(*d, uses);
    const std::string langpack = d->scene.langPack ? d->scene.langPack : "";
    // The screens over a game's preview trade their data pack for the game's while they are built:
    // their pictures are found only in the language pack, so every language has them there.
    void *preview = vok::find_routine("VokPreviewInit", vok::kRoutineSession);
    const bool results = d->table == vok::kTableInterface &&
                         ((d->entry >= 0 && d->entry <= 19) || d->entry == 54 ||
                          (preview && !d->sessions.empty() && reinterpret_cast<void *>(d->sessions[0].initRoutine) == preview));
    std::vector<Asset> out;
    for (const vok::AssetUse &u : uses) {
        out.push_back({u.kind, u.pack, u.name, u.width, u.height, u.kind == "picture" ? langpack : "", name});
        out.back().everyLanguage = results && !langpack.empty();
    }
    return out;
}

std::vector<Asset> screen_assets(std::string &error)
{
    std::vector<Asset> out;
    for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
        std::vector<Asset> one = screen_assets(vok::kEmbeddedScreens[i].name, vok::kEmbeddedScreens[i].text,
                                               vok::kEmbeddedScreens[i].size, error);
        if (!error.empty())
            return {};
        out.insert(out.end(), one.begin(), one.end());
    }
    std::vector<vok::AssetUse> uses;
    vok::list_code_assets(uses);
    for (const vok::AssetUse &u : uses)
        out.push_back({u.kind, u.pack, u.name, u.width, u.height, "", "the framework's code"});
    return out;
}

bool draw(const std::string &what, const std::function<Image()> &recipe, Image &out, std::string &error)
{
    try {
        out = recipe();
    } catch (const std::exception &e) {
        error = what + ": " + e.what();
        return false;
    }
    if (out.width <= 0 || out.height <= 0 || out.argb.size() != size_t(out.width) * size_t(out.height)) {
        error = what + ": the recipe gives no picture";
        return false;
    }
    return true;
}

std::vector<Asset> code_assets()
{
    std::vector<Asset> out;
    auto pics = [&](const char *pack, std::initializer_list<const char *> names, int w, int h) {
        out.push_back({"pack", "", pack, 0, 0});
        for (const char *n : names)
            out.push_back({"picture", pack, n, w, h, "", "the framework's code"});
    };
    pics("sure", {"reset", "solu", "quit", "opponent"}, 320, 160);
    pics("chat", {"message"}, 400, 200);
    pics("solved", {"barfull"}, 121, 16);
    pics("mSc", {"barfull"}, 121, 16); // the general screen's progress page shows it too
    pics("browser", {"brw_secr"}, 64, 64);
    pics("help", {"hunscram", "hlearn", "hfreestu", "hstudy", "hCreate"}, 640, 480);
    // The loading pictures are the backdrop description's own (mnubgr.scr).
    for (const char *p : {"choose", "options", "msgok", "msgyn", "msgync", "study",
                          "credit", "masmoz", "mVn", "mMk", "mFw", "mKp", "mDm", "mSc"})
        pics(p, {}, 0, 0);
    static const char *const games[] = {"vn", "mk", "tr", "kp", "dm"};
    static const char *const previews[] = {"winvn", "winmk", "winfw", "winkp", "windm"};
    for (int g = 0; g < 5; g++) {
        const std::string p = games[g];
        out.push_back({"pack", "", previews[g], 0, 0});
        // The frame and its picture for the later screens; the first screens' frame holds a smaller
        // picture at the size of the ikon that shows it.
        for (const std::string &n : {p + "sav", p + "sav0"})
            out.push_back({"picture", previews[g], n, 160, 120});
        out.push_back({"picture", previews[g], p + "sav1", 120, 80});
    }
    out.push_back({"langpack", "", "mnutext", 0, 0});
    out.push_back({"soundpack", "", "mnusound.pck", 0, 0});
    out.push_back({"font", "", "serif10", 0, 0});
    out.push_back({"font", "", "gn", 0, 0});
    return out;
}

bool Generator::write(const std::string &relative, const std::vector<uint8_t> &bytes, std::string &error)
{
    const std::filesystem::path path = std::filesystem::path(root_) / relative;
    if (!make_folder(path.parent_path(), error) || !fpk::write_file(path.string(), bytes, error))
        return false;
    files_.push_back(relative);
    return true;
}

bool Generator::write_pack(const std::string &relative, std::vector<fpk::Entry> entries, std::string &error)
{
    std::vector<uint8_t> bytes;
    if (!fpk::build(std::move(entries), bytes, error)) {
        error = relative + ": " + error;
        return false;
    }
    return write(relative, bytes, error);
}

fpk::Entry Generator::picture(const std::string &where, const std::string &name, Image image)
{
    fpk::Entry e = pixmap_entry(name, image, stored_type(image));
    pictures_.push_back({where + ":" + name, std::move(image)});
    return e;
}

bool Generator::assets(std::string &error)
{
    std::vector<Asset> list = screen_assets(error);
    if (!error.empty())
        return false;
    for (Asset &a : code_assets())
        list.push_back(a);
    list.insert(list.end(), extra_.begin(), extra_.end());

    // One picture a pack and name (names compare without case, as the packs do), at the one size
    // the descriptions that show it give; a use without a size takes the others'.
    struct Wanted {
        std::string kind, name;
        int width = 0, height = 0;
        std::string from;  // the use the size came from
    };
    std::map<std::string, std::string> packs;                      // lower name -> name
    std::map<std::string, std::map<std::string, Wanted>> contents;  // pack -> lower name -> use
    std::set<std::string> langpacks, fonts, soundpacks;
    // Language pack -> lower name -> lower data pack: pictures drawn again in each language.
    std::map<std::string, std::map<std::string, std::string>> worded;
    std::map<std::string, std::set<std::string>> kept; // language pack -> pictures it holds in every language
    std::map<std::string, size_t> english;  // "pack/name" (lower) -> its picture in pictures_
    for (const Asset &a : list) {
        if (a.kind == "pack") {
            packs.emplace(lower(a.name), a.name);
        } else if (a.kind == "langpack") {
            langpacks.insert(a.name);
        } else if (a.kind == "font") {
            fonts.insert(a.name);
        } else if (a.kind == "soundpack") {
            soundpacks.insert(a.name);
        } else if (a.kind == "picture" || a.kind == "movie") {
            const std::string pack = a.pack == "-" ? "" : a.pack;
            if (!pack.empty())
                packs.emplace(lower(pack), pack);
            Wanted &w = contents[lower(pack)][lower(a.name)];
            w.kind = a.kind, w.name = a.name;
            if (a.width > 0 || a.height > 0) {
                if ((w.width > 0 || w.height > 0) && (w.width != a.width || w.height != a.height)) {
                    error = (pack.empty() ? "" : pack + ":") + a.name + " is asked at " + std::to_string(w.width) +
                            "x" + std::to_string(w.height) + " by " + w.from + " and at " +
                            std::to_string(a.width) + "x" + std::to_string(a.height) + " by " +
                            (a.from.empty() ? "an added use" : a.from);
                    return false;
                }
                w.width = a.width, w.height = a.height, w.from = a.from.empty() ? "an added use" : a.from;
            }
            if (a.kind == "picture" && !a.langpack.empty() && !pack.empty()) {
                langpacks.insert(a.langpack);
                worded[a.langpack][lower(a.name)] = lower(pack);
                if (a.everyLanguage)
                    kept[a.langpack].insert(lower(a.name));
            }
        } else {
            error = "no recipe for the asset kind '" + a.kind + "' (" + a.name + ")";
            return false;
        }
    }

    // A movie goes into `entries` when its place is the pack, else into its own file.
    auto movie = [&](const std::string &pack, const Wanted &w, std::vector<fpk::Entry> &entries) {
        const std::string place = movie_place(pack, w.name);
        Image base;
        if (!draw(place + (extension(place) == ".fpk" ? ":" + w.name : ""),
                  [&] { return art::asset(pack, w.name, w.width > 0 ? w.width : 64, w.height > 0 ? w.height : 64, "US"); },
                  base, error))
            return false;
        std::vector<uint8_t> bytes;
        if (!movie_bytes(w.name, base, bytes, error))
            return false;
        pictures_.push_back({place + (extension(place) == ".fpk" ? ":" + w.name : ""), base});
        if (extension(place) == ".fpk") {
            entries.push_back({w.name, std::move(bytes), 0});
            return true;
        }
        return write(place, bytes, error);
    };
    for (auto &[key, pack] : packs) {
        std::vector<fpk::Entry> entries;
        for (auto &[lname, w] : contents[key]) {
            if (w.kind == "movie") {
                if (!movie(pack, w, entries))
                    return false;
            } else {
                const std::string where = "Data/" + host(pack) + ".fpk";
                Image im;
                if (!draw(where + ":" + w.name, [&] { return art::asset(pack, w.name, w.width, w.height, "US"); }, im,
                          error))
                    return false;
                english[key + "/" + lname] = pictures_.size();
                entries.push_back(picture(where, w.name, std::move(im)));
                // "+name" asks the picture loader for a copy of "name.pix": that entry is there too.
                if (w.name.size() > 1 && w.name[0] == '+' && extension(w.name).empty() &&
                    !contents[key].count(lower(w.name.substr(1)) + ".pix")) {
                    fpk::Entry alias = entries.back();
                    alias.name = w.name.substr(1) + ".pix";
                    entries.push_back(std::move(alias));
                }
            }
        }
        if (!write_pack("Data/" + host(pack) + ".fpk", std::move(entries), error))
            return false;
    }
    // Pictures of scenes without a data pack are files of the data folder.
    for (auto &[lname, w] : contents[""]) {
        std::vector<fpk::Entry> none;
        if (w.kind == "movie") {
            if (!movie("", w, none))
                return false;
            continue;
        }
        const std::string ext = extension(w.name);
        const std::string file = "Data/" + host(ext.empty() ? w.name + ".pix" : w.name);
        if (ext != "" && ext != ".pix") {
            error = "no recipe for the picture file '" + w.name + "'";
            return false;
        }
        Image im;
        if (!draw(file, [&] { return art::asset("", w.name, w.width, w.height, "US"); }, im, error))
            return false;
        if (!save_pixelmap(file, im, error))
            return false;
        pictures_.push_back({file, std::move(im)});
    }

    for (const std::string &name : langpacks)
        for (const char *lang : kLanguages) {
            const std::string rel = "Data/" + std::string(lang) + "/" + name + ".fpk";
            std::vector<fpk::Entry> entries;
            if (lower(name) == "mnutext") {
                // Languages without texts of their own get the English ones, so that every language
                // folder names Terrow's fields.
                auto texts = language_texts(lang);
                if (texts.empty())
                    texts = language_texts("US");
                texts["fwfields.txt"] = terrow_field_names();
                for (auto &[file, text] : texts)
                    entries.push_back({file, std::vector<uint8_t>(text.begin(), text.end()), 0});
            }
            // The screen looks in its language pack first: a picture whose words read otherwise in this
            // language goes there; the data pack keeps the English one for every other language.
            for (auto &[lname, data] : worded[name]) {
                const Wanted &w = contents[data][lname];
                const auto drawn = english.find(data + "/" + lname);
                if (drawn == english.end())
                    continue;  // a movie of that name: movies are read from the data pack
                Image im;
                if (!draw(rel + ":" + w.name, [&] { return art::asset(packs[data], w.name, w.width, w.height, lang); },
                          im, error))
                    return false;
                if (im.argb != pictures_[drawn->second].image.argb || kept[name].count(lname))
                    entries.push_back(picture(rel, w.name, std::move(im)));
            }
            if (!write_pack(rel, std::move(entries), error))
                return false;
        }
    for (const std::string &name : fonts) {
        const std::string rel = "Data/" + name + ".fnp";
        if (!make_folder(std::filesystem::path(root_) / "Data", error))
            return false;
        if (!fontmaker::make_font_pack((std::filesystem::path(root_) / rel).string(), font_styles(name), error)) {
            error = rel + ": " + error;
            return false;
        }
        files_.push_back(rel);
    }
    for (const std::string &name : soundpacks) {
        if (lower(name) != "mnusound.pck") {
            error = "no recipe for the sound pack '" + name + "'";
            return false;
        }
        if (!write(name, sound_pack(kMenuSounds, menu_sound, "menu"), error))
            return false;
    }
    return check_tree(root_, list, error);
}

bool Generator::save_pixelmap(const std::string &relative, const Image &image, std::string &error)
{
    // A 565 pixel map of the 3D library's own file format, written beside and renamed into place.
    LibraryScope library;
    uint32_t row_bytes = 0;
    std::vector<uint8_t> rows = stored_rows(image, kRgb565, row_bytes);
    br_pixelmap *pm = rows.empty() ? nullptr
                                   : BrPixelmapAllocate(BR_PMT_RGB_565, image.width, image.height, nullptr, 0);
    if (pm == nullptr) {
        error = relative + ": no pixel map of " + std::to_string(image.width) + "x" + std::to_string(image.height);
        return false;
    }
    for (int y = 0; y < image.height; y++)
        memcpy(static_cast<uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes, rows.data() + size_t(y) * row_bytes,
               row_bytes);
    const std::string base = std::filesystem::path(relative).filename().string();
    pm->identifier = BrResStrDup(pm, base.c_str());
    const std::filesystem::path path = std::filesystem::path(root_) / relative;
    if (!make_folder(path.parent_path(), error)) {
        BrPixelmapFree(pm);
        return false;
    }
    const std::string temporary = path.string() + ".new";
    errno = 0;
    const bool saved = BrPixelmapSave(temporary.c_str(), pm) != 0;
    BrPixelmapFree(pm);
    if (!saved || rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path.string() + ": " + (errno ? strerror(errno) : "the pixel map was not saved");
        remove(temporary.c_str());
        return false;
    }
    files_.push_back(relative);
    return true;
}

bool Generator::mavrel(std::string &error)
{
    std::vector<fpk::Entry> entries;
    Image menu;
    if (!draw("mainpics.fpk:alap.pix", art::mavrel_menu, menu, error))
        return false;
    if (menu.width != 640 || menu.height != 480) {
        error = "the menu picture is not 640x480";
        return false;
    }
    entries.push_back(pixmap_entry("alap.pix", menu, kRgb565));
    pictures_.push_back({"mainpics.fpk:alap.pix", std::move(menu)});
    for (const char *name : {"fwA.pix", "kpA.pix", "exA.pix", "plA.pix"}) {
        Image im;
        if (!draw(std::string("mainpics.fpk:") + name, [&] { return art::mavrel_highlight(name); }, im, error))
            return false;
        if (im.width != 128 || im.height != 128) {
            error = std::string("the highlight ") + name + " is not 128x128";
            return false;
        }
        entries.push_back(pixmap_entry(name, im, kRgb565));
        pictures_.push_back({std::string("mainpics.fpk:") + name, std::move(im)});
    }
    if (!write_pack("mainpics.fpk", std::move(entries), error))
        return false;
    for (const char *name : {"zuvo.pix", "logonolt.pix", "brondel.pix"}) {
        Image im;
        if (!draw(std::string("Data/") + name, [&] { return art::mavrel_logo(name); }, im, error))
            return false;
        if (!save_pixelmap(std::string("Data/") + name, im, error))
            return false;
        pictures_.push_back({std::string("Data/") + name, std::move(im)});
    }
    return true;
}

bool Generator::sounds(std::string &error)
{
    if (!write("Data/cw.pck", sound_pack(1, loop_entry, "loop"), error))
        return false;
    for (int t = 1; t <= kMusicTracks; t++) {
        char name[32];
        snprintf(name, sizeof name, "cdaudio/track%02d.wav", t);
        if (!write(name, music_track(t), error))
            return false;
    }
    return true;
}

bool Generator::movies(std::string &error)
{
    // Demo movies of the games and the support movie: short clips with a tone.
    // (the demo clips, the support movie and the credits clips: help_data.cpp)
    const char *const names[] = {"vn.dat", "mk.dat", "fw.dat", "kp.dat", "dm.dat", "sup.dat", kCreditClips[0],
                                 kCreditClips[1], kCreditClips[2], kCreditClips[3], kCreditClips[4]};
    for (int i = 0; i < 11; i++) {
        Image base;
        if (!draw(std::string("Data/") + names[i], [&] { return art::asset("", names[i], 320, 240, "US"); }, base, error))
            return false;
        int frames = i < 6 ? kDemoClipFrames : kCreditClipFrames;
        if (!write(std::string("Data/") + names[i], demo_clip(base, frames, 330.0 * (1 + i / 11.0), unsigned(i)), error))
            return false;
        pictures_.push_back({std::string("Data/") + names[i], base});
    }
    return true;
}

bool check_tree(const std::string &root, const std::vector<Asset> &list, std::string &error)
{
    std::map<std::string, std::vector<fpk::Entry>> read;
    auto exists = [&](const std::string &rel) {
        std::error_code ec;
        return std::filesystem::exists(std::filesystem::path(root) / rel, ec);
    };
    for (const Asset &a : list) {
        std::string file;
        if (a.kind == "pack")
            file = "Data/" + host(a.name) + ".fpk";
        else if (a.kind == "langpack")
            file = "Data/US/" + a.name + ".fpk";
        else if (a.kind == "font")
            file = "Data/" + a.name + ".fnp";
        else if (a.kind == "soundpack")
            file = a.name;
        else if (a.kind == "movie")
            file = movie_place(a.pack, a.name);
        else if (a.pack.empty() || a.pack == "-")
            file = "Data/" + host(extension(a.name).empty() ? a.name + ".pix" : a.name);
        else
            file = "Data/" + host(a.pack) + ".fpk";
        if (!exists(file)) {
            error = a.kind + " '" + a.name + "' has no generated file (" + file + ")";
            return false;
        }
        if ((a.kind != "picture" && a.kind != "movie") || a.pack.empty() || a.pack == "-" ||
            extension(file) != ".fpk")
            continue;
        auto it = read.find(file);
        if (it == read.end()) {
            std::vector<uint8_t> bytes;
            std::vector<fpk::Entry> entries;
            if (!fpk::read_file((std::filesystem::path(root) / file).string(), bytes, error) ||
                !fpk::read(bytes, entries, error))
                return false;
            it = read.emplace(file, std::move(entries)).first;
        }
        const bool found = std::any_of(it->second.begin(), it->second.end(),
                                       [&](const fpk::Entry &e) { return lower(e.name) == lower(a.name); });
        if (!found) {
            error = a.kind + " '" + a.name + "' is not in " + file;
            return false;
        }
    }
    return true;
}

bool Generator::run(std::string &error)
{
    error.clear();
    return assets(error) && mavrel(error) && sounds(error) && movies(error) && kelpa(error) && terrow(error);
}

}  // namespace datagen
