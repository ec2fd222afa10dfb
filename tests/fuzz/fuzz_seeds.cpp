// Writes the seed files of one fuzz target into a folder, each made by this system's own writers.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "kelpa/kprules.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "../brcore/pe_writer.h"
#include "../brcore/picture_writers.h"
#include "brondel/brpmfile.h"
#include "df_fuzz_common.h"
#include "memfs.h"
#include "mzi/mziwriter.h"
#include "vokscore/soundpack.h"
#include "vokscore/wave.h"
#include "terrow/phys/phparams.h"
#include "win32/windows.h"
#include "pannix_seeds.h"
#include "scene_seeds.h"
#include "terrow_seeds.h"

namespace {

void put(const std::string &name, const std::string &bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

std::string pattern(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; i++)
        s += (char)(i * 7 + 3);
    return s;
}

// A picture with a colour map and a 16-bit one, in one file.
void write_pix_seed(const std::string &name)
{
    br_pixelmap *pm[2] = {BrPixelmapAllocate(BR_PMT_INDEX_8, 5, 3, nullptr, 0),
                          BrPixelmapAllocate(BR_PMT_RGB_565, 3, 2, nullptr, 0)};
    pm[0]->map = BrPixelmapAllocate(BR_PMT_RGBX_888, 1, 8, nullptr, 0);
    pm[0]->identifier = BrResStrDup(pm[0], "picture");
    BrPixelmapFill(pm[0], 3);
    BrPixelmapFill(pm[0]->map, 0x102030);
    BrPixelmapFill(pm[1], 0x1234);
    BrPixelmapSaveMany(name.c_str(), pm, 2);
    BrPixelmapFree(pm[0]->map);
    BrPixelmapFree(pm[0]);
    BrPixelmapFree(pm[1]);
}

void write_tga_seeds(const std::string &dir)
{
    pictures::Tga t;
    t.width = 4;
    t.height = 3;
    t.pixels = pattern(4 * 3 * 3);
    put(dir + "/true24.tga", t.bytes());
    t.image_type = 10;
    t.depth = 16;
    t.descriptor = 0x30;
    t.pixels = std::string("\x83\x12\x34\x03\x01\x02\x03\x04\x05\x06\x07\x08\x85\x00\x80", 15);
    put(dir + "/rle16.tga", t.bytes());
    t.image_type = 1;
    t.depth = 8;
    t.map_type = 1;
    t.map_first = 2;
    t.map_length = 4;
    t.map_entry_size = 24;
    t.map = pattern(12);
    t.id = "id";
    t.pixels = pattern(12);
    put(dir + "/mapped8.tga", t.bytes());
    t.image_type = 9;
    t.depth = 8;
    t.map_entry_size = 16;
    t.map = pattern(8);
    t.pixels = std::string("\x81\x02\x01\x03\x04\x8b\x05", 7);
    put(dir + "/rle8.tga", t.bytes());
}

void write_bmp_seeds(const std::string &dir)
{
    pictures::Bmp b;
    b.width = 5;
    b.height = 3;
    b.pixels = pattern(16 * 3);
    put(dir + "/true24.bmp", b.bytes());
    b.bit_count = 4;
    b.palette = pattern(16 * 4);
    b.pixels = pattern(4 * 3);
    put(dir + "/four.bmp", b.bytes());
    b.bit_count = 8;
    b.height = -3;
    b.colours_used = 20;
    b.palette = pattern(20 * 4);
    b.pixels = pattern(8 * 3);
    put(dir + "/eight_top_down.bmp", b.bytes());
    b.height = 3;
    b.compression = 1;
    b.pixels = std::string("\x02\x05\x00\x03\x01\x02\x03\x00\x00\x00\x00\x02\x01\x01\x04\x09\x00\x00\x00\x01", 20);
    put(dir + "/rle8.bmp", b.bytes());
    b.bit_count = 4;
    b.compression = 2;
    b.colours_used = 0;
    b.palette = pattern(16 * 4);
    b.pixels = std::string("\x03\x12\x00\x05\x12\x34\x50\x00\x00\x00\x00\x02\x01\x01\x00\x01", 16);
    put(dir + "/rle4.bmp", b.bytes());
    pictures::Bmp os2;
    os2.os2 = true;
    os2.bit_count = 8;
    os2.width = 2;
    os2.palette = pattern(256 * 3);
    os2.pixels = pattern(4);
    put(dir + "/os2.bmp", os2.bytes());
}

// Driver images as the loader's tests make them: imports by name and ordinal from the core's tables,
// one importing a further image by name, relocations, and sections out of file order.
void write_image_seeds(const std::string &dir)
{
    auto put_image = [&](const std::string &name, const PeSpec &spec) {
        std::vector<uint8_t> b = pe_write(spec, nullptr);
        put(dir + "/" + name, std::string(b.begin(), b.end()));
    };
    PeSpec s;
    put_image("plain.bdd", s);
    s.imports = {{"BRCORE1", {"BrMemAllocate", "_BrResFree"}, {1, 2}}};
    put_image("core_imports.bdd", s);
    s.imports.push_back({"other", {"_DrvAlpha"}, {1}});
    put_image("image_imports.bdd", s);
    s.imports.clear();
    s.relocations = false;
    s.image_base = 0x400000;
    put_image("no_relocations.bdd", s);
    s = PeSpec();
    s.data_before_code_in_file = true;
    put_image("out_of_order.bdd", s);
}

// Movies of each pixel format, one with a sound track and one with a header per frame.
void write_mzi_seeds(const std::string &dir)
{
    const uint32_t formats[] = {3, 4, 5, 8, 10};
    for (uint32_t format : formats) {
        mziw::Options o;
        o.fps = 5;
        o.per_frame_flag = format == 10 || format == 4;
        mziw::Writer w(o);
        const int bytes = mziw::pixel_bytes(format);
        for (int n = 0; n < 3; n++) {
            const int width = o.per_frame_flag ? 3 + n % 2 : 3;
            std::string px = pattern(size_t(width) * 2 * bytes);
            w.add_frame(format, uint16_t(width), 2, std::vector<uint8_t>(px.begin(), px.end()), n, 2 * n);
        }
        if (format == 5) {
            mziw::Track t;
            t.data = mziw::tone(440, 10, 8000, 1);
            t.start_frame = 1;
            w.add_track(t);
        }
        std::vector<uint8_t> b = w.bytes();
        put(dir + "/format" + std::to_string(format) + ".mzi", std::string(b.begin(), b.end()));
    }
}

void write_sound_seeds(const std::string &dir, bool pack)
{
    vokpack::SoundEntries entries;
    entries.emplace_back("tone8", vokpack::make_wave(std::vector<uint8_t>(400, 0x90), 1, 8000, 8));
    entries.emplace_back("tone16", vokpack::make_wave(vokpack::tone_samples(440, 20, 11025), 1, 11025, 16));
    entries.emplace_back("odd", vokpack::make_wave(std::vector<uint8_t>(33, 0x70), 1, 8000, 8));
    for (const auto &e : entries)
        if (!pack)
            put(dir + "/" + e.first + ".wav", std::string(e.second.begin(), e.second.end()));
    if (pack) {
        std::vector<uint8_t> b = vokpack::build_pack(entries);
        put(dir + "/sounds.pck", std::string(b.begin(), b.end()));
    }
}

// The tuning file as the game writes its values, and one cut short.
void write_phy_seeds(const std::string &dir)
{
    unsigned char bytes[PHY_FILE_SIZE];
    Phy_Encode(Phy_Defaults(), bytes);
    put(dir + "/Final.phy", std::string(reinterpret_cast<char *>(bytes), sizeof bytes));
    put(dir + "/short.phy", std::string(reinterpret_cast<char *>(bytes), 37));
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The platform's own files, each written by the platform in a scratch folder and led by the byte
// that picks its reader.
void write_platfile_seeds(const std::string &dir)
{
    char name[] = "/tmp/vok_fuzz_seeds_XXXXXX";
    if (mkdtemp(name) == nullptr)
        return;
    const std::string scratch = name;
    setenv("VOK_REGISTRY_DIR", scratch.c_str(), 1);
    setenv("VOK_ATOM_DIR", (scratch + "/atoms.d").c_str(), 1);
    const std::string ini = scratch + "/game.ini";
    WritePrivateProfileStringA("General", "Name", "Ann", ini.c_str());
    WritePrivateProfileStringA("General", "Level", "7", ini.c_str());
    WritePrivateProfileStringA("Other", "Key", "a=b;c", ini.c_str());
    put(dir + "/profile", std::string(1, '\0') + slurp(ini));
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vok\\Sub", &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE *>("C:\\"), 4);
        DWORD n = 12;
        RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&n), 4);
        RegCloseKey(key);
    }
    put(dir + "/hive", std::string(1, '\1') + slurp(scratch + "/user.hive"));
    GlobalAddAtomA("Vok");
    GlobalAddAtomA("Name with\nbreak");
    put(dir + "/atoms", std::string(1, '\2') + slurp(scratch + "/atoms.d/atoms"));
    put(dir + "/script", std::string(1, '\3') + "0 answer no\n100 capture /dev/null\n1000 click 100 100 left\n"
                                                 "1100 key SPACE\n1200 move 30 20\n0 answer yes\n");
    std::filesystem::remove_all(scratch);
}

// Cursors of one, four, eight and 32 bits, as resources carry them: the hot spot, then the DIB.
void write_cursor_seeds(const std::string &dir)
{
    for (int bits : {1, 4, 8, 32}) {
        const int w = 16, h = 16, colours = bits <= 8 ? 1 << bits : 0;
        const int xor_stride = (w * bits + 31) / 32 * 4, and_stride = (w + 31) / 32 * 4;
        std::string b;
        auto u16 = [&](unsigned v) { b += char(v), b += char(v >> 8); };
        auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
        u16(3), u16(5);
        u32(40), u32(w), u32(2 * h), u16(1), u16(bits), u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
        b += pattern(size_t(colours) * 4 + size_t(xor_stride + and_stride) * h);
        put(dir + "/cursor" + std::to_string(bits) + ".cur", b);
    }
}

// The framework's own files as the games leave them: a player list, best-times files (56-byte
// entries: name, two results, title) and a player's solved fields.
void write_vokfile_seeds(const std::string &dir)
{
    put(dir + "/players", std::string(1, '\0') + "2<Ann             >\r\nAnn\r\nBob\nA name of well over thirty-one characters\n");
    auto entry = [](const char *name, int a, int b, const char *title) {
        std::string e(56, '\0');
        memcpy(&e[0], name, strlen(name));
        for (int i = 0; i < 4; i++)
            e[size_t(32 + i)] = char(a >> (8 * i)), e[size_t(36 + i)] = char(b >> (8 * i));
        memcpy(&e[40], title, strlen(title));
        return e;
    };
    for (int pick = 1; pick <= 3; pick++) {
        std::string table;
        for (int i = 0; i < 24; i++)
            table += i % 6 < 3 ? entry("Ann", 100 * (i % 6 + 1), i, "level") : entry("", -1, -1, "");
        put(dir + "/table" + std::to_string(pick), std::string(1, char(pick)) + table);
    }
    std::string solved(120, '\0');
    solved[3] = solved[26] = 1;
    put(dir + "/solved", std::string(1, '\4') + solved);
}

// A language pack's texts as the fuzz target takes them: its files in a fixed order, cut by "\0\1"
// (the line table, key names, field names, a help text, rules, a tip, two demonstration scripts).
void write_text_seeds(const std::string &dir)
{
    const std::string cut("\0\1", 2);
    std::string lines;
    for (int i = 0; i < 80; i++)
        lines += "~Line " + std::to_string(i) + (i % 7 == 0 ? " of %s's %d%% \r\n" : "\n");
    std::string keys;
    for (int i = 0; i < 160; i++)
        keys += "Key" + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    const std::string fields = "#C\nFirst field\nSecond field  \r\n#e\nDemo one\n#S\nx\n#H\nA field name longer than "
                               "thirty-one characters\n#X\nLast\n";
    std::string demo;
    for (int i = 1; i <= 50; i++)
        demo += "~" + std::to_string(i * 100) + ", " + std::to_string(i * 100 + 90) + "\nStep " + std::to_string(i) + "\n";
    put(dir + "/pack", lines + cut + keys + cut + fields + cut + "Help\n\nMore help" + cut + "Rules" + cut + "Tip" +
                           cut + demo + cut + "~5,9\r\nlast\r\n~-1,x\n");
    put(dir + "/lines_only", lines);
}

// The screen files the framework carries, and one that uses every kind of field.
void write_screen_seeds(const std::string &dir)
{
    for (const auto &f : std::filesystem::directory_iterator(VOK_SCREENS_DIR))
        if (f.path().extension() == ".scr")
            std::filesystem::copy_file(f.path(), dir + "/" + f.path().filename().string(),
                                       std::filesystem::copy_options::overwrite_existing);
    put(dir + "/every.scr", "game 2\nscreenId 17\nflags copy|0x40\nfocusSessionId 2\ndataPack \"d\"\n"
                            "keyHandler r\nsession 1\n  background \"bg\"\n  focusBackground \"fb\"\n"
                            "session 2\n  flags hcentre|plain\n  rect 1 2 30 40\n  background \"*\"\n"
                            "  initRoutine r\n  content 0 90\n  ikon list\n    id 4\n    control list 8 3 2\n"
                            "    text \"a\\\"b\"\n  ikon 3\n    flags act|afterprev\n    text 12\n"
                            "    picture \"m.tmz\"\n    movie flags range fps 9 loop 1 5\n    focusPicture \"?\"\n"
                            "    key UP\n    linkId 4\n");
}

// Kelpa level files: a built-in board without a pattern, a pattern of two rows, a half-made work file.
void write_kplevel_seeds(const std::string &dir)
{
    for (int k = 0; k < 3; k++) {
        KpLevelFile l;
        KpDefaultHeader(l.header);
        KpBuiltinBoard(k + 3, l.board);
        if (k >= 1) {
            l.header[KP_H_STREAKS] = k == 1 ? 2 : 0;
            for (int i = 0; i < (k == 1 ? 10 : 3); i++)
                l.header[KP_H_PATTERN + i] = 4 + i % 6;
        }
        uint8_t bytes[kKpLevelBytes];
        KpEncodeLevel(l, bytes);
        FILE *f = fopen((dir + "/level" + std::to_string(k) + ".KPP").c_str(), "wb");
        if (f != nullptr) {
            fwrite(bytes, 1, sizeof bytes, f);
            fclose(f);
        }
    }
}

// Replays as the game writes them: worm rows, the trial header and a few frames, assembled.
void write_kpreplay_seeds(const std::string &dir)
{
    for (int frames : {0, 3, 40}) {
        KpReplayFiles f;
        snprintf(f.folder, sizeof f.folder, "%s/", dir.c_str());
        f.gameKind = 101;
        f.levelNumber = frames;
        KpReplaySetPlayer(f, "seed");
        KpLevelFile l;
        KpDefaultHeader(l.header);
        KpBuiltinBoard(1, l.board);
        f.recordingOn = 1;
        const uint8_t row[5] = {0, 1, 2, 3, 4};
        KpReplayWormWrite(f, row, true);
        KpReplayWormWrite(f, row, false);
        if (!KpReplayBegin(f, l.header, l.board))
            continue;
        for (int i = 0; i < frames; i++) {
            KpFrameInput in;
            in.left = i & 1;
            in.steps = i % 16;
            in.speed = 7;
            in.time = uint32_t(i * 3);
            uint8_t frame[5];
            KpEncodeFrame(in, frame);
            KpReplayFrameWrite(f, frame, false);
        }
        KpReplayAssemble(f, false, nullptr);
        remove((dir + "/proba_seed.re").c_str());
        remove((dir + "/worm_seed.re").c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: fuzz_seeds datafile|pix|tga|bmp|pack|settings|movie|image|scenefile|trfield|trdict|mzi|font|soundpack|wave|screen|cellfile|wavfile|phy|platfiles|cursor|vokfiles|texts|kplevel|uvd|mtlist|kpreplay folder\n");
        return 2;
    }
    std::string kind = argv[1], dir = argv[2];
    BrDiagHandlerSet(&fuzz::quiet_handler);
    BrCoreBegin();
    if (kind == "datafile") {
        DfWriteModeSet(DF_MODE_BINARY);
        fuzz::write_datafile_seed((dir + "/binary.dat").c_str());
        DfWriteModeSet(DF_MODE_TEXT);
        fuzz::write_datafile_seed((dir + "/text.dat").c_str());
    } else if (kind == "pix") {
        DfWriteModeSet(DF_MODE_BINARY);
        write_pix_seed(dir + "/binary.pix");
        DfWriteModeSet(DF_MODE_TEXT);
        write_pix_seed(dir + "/text.pix");
    } else if (kind == "tga") {
        write_tga_seeds(dir);
    } else if (kind == "bmp") {
        write_bmp_seeds(dir);
    } else if (kind == "pack") {
        fuzz::write_pack_seeds(dir);
    } else if (kind == "image") {
        write_image_seeds(dir);
    } else if (kind == "settings") {
        fuzz::write_settings_seeds(dir);
    } else if (kind == "movie") {
        fuzz::write_movie_seeds(dir);
    } else if (kind == "scenefile") {
        BrV1dbBegin();
        DfWriteModeSet(DF_MODE_BINARY);
        fuzz::write_scene_seeds(dir, ".bin");
        DfWriteModeSet(DF_MODE_TEXT);
        fuzz::write_scene_seeds(dir, ".txt");
        BrV1dbEnd();
    } else if (kind == "trfield") {
        fuzz::write_trfield_seeds(dir);
    } else if (kind == "uvd") {
        fuzz::write_uvd_seeds(dir);
    } else if (kind == "mtlist") {
        fuzz::write_mtlist_seeds(dir);
    } else if (kind == "trdict") {
        fuzz::write_trdict_seeds(dir);
    } else if (kind == "mzi") {
        write_mzi_seeds(dir);
    } else if (kind == "soundpack" || kind == "wave" || kind == "wavfile") {
        write_sound_seeds(dir, kind == "soundpack");
        if (kind == "wavfile") {
            // An odd-sized data chunk that ends the file, without its pad byte.
            std::vector<uint8_t> w = vokpack::make_wave(std::vector<uint8_t>(33, 0x70), 1, 8000, 8);
            put(dir + "/unpadded.wav", std::string(w.begin(), w.end() - (w.size() % 2 == 0 ? 1 : 0)));
        }
    } else if (kind == "phy") {
        write_phy_seeds(dir);
    } else if (kind == "platfiles") {
        write_platfile_seeds(dir);
    } else if (kind == "vokfiles") {
        write_vokfile_seeds(dir);
    } else if (kind == "texts") {
        write_text_seeds(dir);
    } else if (kind == "cursor") {
        write_cursor_seeds(dir);
    } else if (kind == "font") {
        fuzz::write_font_seeds(dir);
    } else if (kind == "screen") {
        write_screen_seeds(dir);
    } else if (kind == "cellfile") {
        fuzz::write_cellfile_seeds(dir);
    } else if (kind == "kplevel") {
        write_kplevel_seeds(dir);
    } else if (kind == "kpreplay") {
        write_kpreplay_seeds(dir);
    } else {
        fprintf(stderr, "fuzz_seeds: no seeds for %s\n", kind.c_str());
        return 2;
    }
    BrCoreEnd();
    return 0;
}
