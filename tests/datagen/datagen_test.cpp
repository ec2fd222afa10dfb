// The generated data tree: generated twice it is the same bytes and the same as the build's own tree;
// every file opens with the readers the system uses (packs, pictures, fonts, sounds, texts), and the
// names the framework and the main program look up are there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <set>
#include <sstream>

#include "brondel/brcore.h"
#include "brondel/brv1db.h"
#include "brondel/brpmfile.h"
#include "gen.h"
#include "help_data.h"
#include "pannix/ffpack.h"
#include "mzifile.h"
#include "pannix/pxfont.h"
#include "pannix/pxmovie.h"
#include "pannix/pxpix.h"
#include "scenedesc.h"
#include "state.h"
#include "texts.h"
#include "vokscore/soundpack.h"
#include "vokscore/vokscore.h"
#include "vokscore/wave.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path scratch(const char *what)
{
    fs::path dir = fs::temp_directory_path() / ("datagen_" + std::to_string(getpid()) + "_" + what);
    fs::remove_all(dir);
    return dir;
}

// Every file below `root`, relative, sorted.
std::vector<std::string> tree(const fs::path &root)
{
    std::vector<std::string> out;
    for (auto &e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// The tree the build wrote beside the programs; the built-in texts are copied before any text table
// replaces them.
class Tree : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (int i = 0; i < vok::kBuiltinCount; i++)
            builtins.push_back(vok::text(i));
        root = VOK_BIN_DIR;
        for (const std::string &f : tree(root))
            if (f.rfind("Data/", 0) == 0 || f.rfind("cdaudio/", 0) == 0 || f == "mainpics.fpk" || f == "mnusound.pck")
                files.push_back(f);
    }

    // The pack at `rel` opened by the system's pack reader.
    static FFPACKHANDLE *open_pack(const std::string &rel)
    {
        std::string name = (root / rel).string();
        name.resize(name.size() - 4);  // the reader adds ".fpk" itself
        return FFOpenPack(name.c_str(), 0);
    }

    static inline fs::path root;
    static inline std::vector<std::string> files, builtins;
};

uint16_t rgb565(uint32_t argb)
{
    return uint16_t(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
}

uint16_t pixel16(const br_pixelmap *pm, int x, int y)
{
    const uint8_t *p = static_cast<const uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes + x * 2;
    return uint16_t(p[0] | p[1] << 8);
}

TEST_F(Tree, GeneratingTwiceGivesTheSameBytesAsTheBuild)
{
    const fs::path first = scratch("a"), second = scratch("b");
    std::string error;
    datagen::Generator a(first.string()), b(second.string());
    ASSERT_TRUE(a.run(error)) << error;
    ASSERT_TRUE(b.run(error)) << error;
    ASSERT_EQ(tree(first), tree(second));
    // Every file made is listed, and the build's tree holds the same bytes, so it is not out of date.
    std::vector<std::string> listed = a.files();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, tree(first));
    for (const std::string &f : tree(first)) {
        const std::string bytes = slurp(first / f);
        EXPECT_TRUE(bytes == slurp(second / f)) << f << " differs between two runs";
        EXPECT_TRUE(bytes == slurp(root / f)) << f << " in the build is not what the generator makes";
    }
    fs::remove_all(first);
    fs::remove_all(second);
}

TEST_F(Tree, EveryPackOpensAndEveryPictureLoads)
{
    int packs = 0, maps = 0;
    for (const std::string &f : files) {
        if (fs::path(f).extension() != ".fpk" && fs::path(f).extension() != ".fnp")
            continue;
        std::vector<uint8_t> bytes;
        std::vector<fpk::Entry> entries;
        std::string error;
        ASSERT_TRUE(fpk::read_file((root / f).string(), bytes, error) && fpk::read(bytes, entries, error)) << f;
        FFPACKHANDLE *pack = f.size() > 4 && f.substr(f.size() - 4) == ".fpk" ? open_pack(f) : nullptr;
        if (fs::path(f).extension() == ".fpk") {
            ASSERT_NE(pack, nullptr) << f << ": " << GetLastMsgError();
            packs++;
        }
        for (const fpk::Entry &e : entries) {
            if (!(e.flags & fpk::kPixmapFlag) || pack == nullptr)
                continue;
            FFSetCurrentPack(pack);
            br_pixelmap *pm = FFLoadPix(e.name.c_str(), 1);
            ASSERT_NE(pm, nullptr) << f << ":" << e.name << ": " << GetLastMsgError();
            EXPECT_EQ(pm->width, fpk::get32(e.data.data())) << e.name;
            EXPECT_EQ(pm->height, fpk::get32(e.data.data() + 4)) << e.name;
            PxFreePix(pm);
            maps++;
        }
        if (pack)
            FFClosePack(pack);
    }
    FFSetCurrentPack(nullptr);
    EXPECT_GT(packs, 20);
    EXPECT_GT(maps, 20);
}

TEST_F(Tree, TheScreensAndTheCodeFindEveryNameTheyUse)
{
    std::string error;
    std::vector<datagen::Asset> list = datagen::screen_assets(error);
    ASSERT_TRUE(error.empty()) << error;
    for (auto &a : datagen::code_assets())
        list.push_back(a);
    EXPECT_TRUE(datagen::check_tree(root.string(), list, error)) << error;

    // A name without its file is reported by name.
    const fs::path copy = scratch("c");
    fs::create_directories(copy);
    fs::copy(root / "Data", copy / "Data", fs::copy_options::recursive);
    fs::remove(copy / "Data" / "sure.fpk");
    EXPECT_FALSE(datagen::check_tree(copy.string(), list, error));
    EXPECT_NE(error.find("sure"), std::string::npos) << error;
    // A picture missing from its pack too.
    list.push_back({"picture", "mnubgr", "nothere", 10, 10});
    EXPECT_FALSE(datagen::check_tree(root.string(), list, error));
    EXPECT_NE(error.find("'nothere' is not in Data/mnubgr.fpk"), std::string::npos) << error;
    fs::remove_all(copy);
}

// Each picture is made at the one size every description that shows it gives (width and height of
// the stored map), so a screen never shows it cut or stretched.
TEST_F(Tree, EveryPictureHasTheSizeItsDescriptionsShowItAt)
{
    std::string error;
    std::vector<datagen::Asset> list = datagen::screen_assets(error);
    ASSERT_TRUE(error.empty()) << error;
    for (auto &a : datagen::code_assets())
        list.push_back(a);
    std::map<std::string, std::map<std::string, std::pair<int, int>>> sizes;  // pack -> lower name -> size
    auto lower = [](std::string t) {
        for (char &c : t)
            c = char(tolower(static_cast<unsigned char>(c)));
        return t;
    };
    int checked = 0;
    for (const datagen::Asset &a : list) {
        if (a.kind != "picture" || a.pack.empty() || a.pack == "-" || a.width <= 0 || a.height <= 0)
            continue;
        if (!sizes.count(lower(a.pack))) {
            std::vector<uint8_t> bytes;
            std::vector<fpk::Entry> entries;
            ASSERT_TRUE(fpk::read_file((root / "Data" / (a.pack + ".fpk")).string(), bytes, error) &&
                        fpk::read(bytes, entries, error)) << a.pack << ": " << error;
            for (const fpk::Entry &e : entries)
                if (e.flags & fpk::kPixmapFlag)
                    sizes[lower(a.pack)][lower(e.name)] = {int(fpk::get32(e.data.data())), int(fpk::get32(e.data.data() + 4))};
        }
        auto &pack = sizes[lower(a.pack)];
        auto it = pack.find(lower(a.name));
        ASSERT_NE(it, pack.end()) << a.pack << ":" << a.name;
        EXPECT_EQ(it->second, std::make_pair(a.width, a.height)) << a.pack << ":" << a.name << " as " << a.from << " shows it";
        checked++;
    }
    EXPECT_GT(checked, 40);
    // The loading pictures in particular: the bar's bed centred on the 640-pixel screen at x 115.
    auto &mnubgr = sizes["mnubgr"];
    EXPECT_EQ(mnubgr["+ures"], std::make_pair(410, 376));
    EXPECT_EQ(mnubgr["load"], std::make_pair(640, 48));
    EXPECT_EQ(mnubgr["loading"], std::make_pair(640, 40));
    EXPECT_EQ(mnubgr.count("loadtile"), 0u) << "made though nothing shows it";
}

// A screen built over a game's preview trades its data pack for the game's: every picture it shows
// must then be in its language pack, in every language.
TEST_F(Tree, PreviewScreensFindTheirPicturesInEveryLanguagePack)
{
    void *preview = vok::find_routine("VokPreviewInit", vok::kRoutineSession);
    ASSERT_NE(preview, nullptr);
    auto lower = [](std::string t) {
        for (char &c : t)
            c = char(tolower(static_cast<unsigned char>(c)));
        return t;
    };
    int screens = 0;
    for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++) {
        const vok::EmbeddedScreen &f = vok::kEmbeddedScreens[i];
        std::string error;
        auto d = vok::parse_screen(f.name, f.text, f.size, error);
        ASSERT_TRUE(d) << error;
        if (d->sessions.empty() || reinterpret_cast<void *>(d->sessions[0].initRoutine) != preview)
            continue;
        ASSERT_TRUE(d->scene.langPack) << f.name;
        screens++;
        std::vector<vok::AssetUse> uses;
        vok::list_assets(*d, uses);
        for (const char *lang : {"US", "UK", "GE", "FR", "HU"}) {
            std::vector<uint8_t> bytes;
            std::vector<fpk::Entry> entries;
            const std::string rel = std::string("Data/") + lang + "/" + d->scene.langPack + ".fpk";
            ASSERT_TRUE(fpk::read_file((root / rel).string(), bytes, error) && fpk::read(bytes, entries, error)) << rel;
            std::set<std::string> names;
            for (const fpk::Entry &e : entries)
                names.insert(lower(e.name));
            for (const vok::AssetUse &u : uses)
                if (u.kind == "picture")
                    EXPECT_TRUE(names.count(lower(u.name))) << f.name << ": " << u.name << " not in " << rel;
        }
    }
    EXPECT_GT(screens, 20);

    // The game's picture in the frame of the first results screens comes at the size of its ikon.
    const vok::EmbeddedScreen *first = nullptr;
    for (size_t i = 0; i < vok::kEmbeddedScreenCount; i++)
        if (std::string(vok::kEmbeddedScreens[i].name).find("results00") != std::string::npos)
            first = &vok::kEmbeddedScreens[i];
    ASSERT_NE(first, nullptr);
    std::string error;
    auto d = vok::parse_screen(first->name, first->text, first->size, error);
    ASSERT_TRUE(d && d->sessions.size() > 2 && d->ikons.size() > 2 && !d->ikons[2].empty()) << error;
    const VokIkon &frame = d->ikons[2][0];
    const char *const packs[][2] = {{"winvn", "vnsav1"}, {"winmk", "mksav1"}, {"winfw", "trsav1"},
                                    {"winkp", "kpsav1"}, {"windm", "dmsav1"}};
    for (auto &[pack, name] : packs) {
        std::vector<uint8_t> bytes;
        std::vector<fpk::Entry> entries;
        ASSERT_TRUE(fpk::read_file((root / "Data" / (std::string(pack) + ".fpk")).string(), bytes, error) &&
                    fpk::read(bytes, entries, error)) << pack;
        bool found = false;
        for (const fpk::Entry &e : entries)
            if (e.name == name) {
                found = true;
                EXPECT_EQ(int(fpk::get32(e.data.data())), frame.width) << name;
                EXPECT_EQ(int(fpk::get32(e.data.data() + 4)), frame.height) << name;
            }
        EXPECT_TRUE(found) << name;
    }
}

// The loading screen over a game's picture: the game shows around the bar, headline and strip, and the
// bar's drawn part is centred on the screen.
TEST_F(Tree, TheLoadingScreenLeavesTheGamePictureAroundACentredBar)
{
    const datagen::Image bed = datagen::art::asset("mnubgr", "+ures", 410, 376, "US");
    int left = bed.width, right = -1;
    for (int y = 0; y < bed.height; y++)
        for (int x = 0; x < bed.width; x++)
            if (bed.argb[size_t(y) * bed.width + x] >> 24 > 128)
                left = std::min(left, x), right = std::max(right, x);
    ASSERT_GE(right, left);
    EXPECT_NEAR(115 + (left + right) / 2.0, 319.5, 2.0) << left << ".." << right;
    // Composed as the loading screen does, over a plain game picture: the game still shows at the sides.
    std::vector<uint32_t> screen(640 * 480, 0xFF123456u);
    auto put = [&](const datagen::Image &im, int ox, int oy) {
        for (int y = 0; y < im.height; y++)
            for (int x = 0; x < im.width; x++)
                if (im.argb[size_t(y) * im.width + x] >> 24 > 128)
                    screen[size_t(oy + y) * 640 + size_t(ox + x)] = im.argb[size_t(y) * im.width + x];
    };
    put(datagen::art::asset("mnubgr", "load", 640, 48, "US"), 0, 0);
    put(datagen::art::asset("mnubgr", "loading", 640, 40, "US"), 0, 368);
    put(bed, 115, 51);
    for (auto [x, y] : {std::pair{30, 200}, {610, 200}, {30, 440}, {610, 300}})
        EXPECT_EQ(screen[size_t(y) * 640 + x], 0xFF123456u) << x << "," << y;
}

// The message boxes' answers carry their words, in every language, and differ from one another.
TEST_F(Tree, MessageBoxButtonsCarryTheirWords)
{
    for (const char *lang : {"US", "GE", "FR", "HU"})
        for (const char *pack : {"msgok", "msgyn", "msgync"}) {
            SCOPED_TRACE(std::string(lang) + " " + pack);
            const datagen::Image yes = datagen::art::asset(pack, "yes", 80, 32, lang),
                                 no = datagen::art::asset(pack, "no", 80, 32, lang),
                                 ok = datagen::art::asset(pack, "ok", 80, 32, lang),
                                 cancel = datagen::art::asset(pack, "cancel", 80, 32, lang);
            EXPECT_TRUE(yes.argb != no.argb);
            EXPECT_TRUE(ok.argb != cancel.argb);
            EXPECT_TRUE(yes.argb != ok.argb);
        }
    // In the tree: the English words in the data pack, the German ones in the German language pack.
    std::vector<uint8_t> bytes;
    std::vector<fpk::Entry> data, german;
    std::string error;
    ASSERT_TRUE(fpk::read_file((root / "Data/msgyn.fpk").string(), bytes, error) && fpk::read(bytes, data, error)) << error;
    ASSERT_TRUE(fpk::read_file((root / "Data/GE/msgyn.fpk").string(), bytes, error) && fpk::read(bytes, german, error))
        << error;
    auto entry = [](const std::vector<fpk::Entry> &es, const char *name) -> const std::vector<uint8_t> * {
        for (const fpk::Entry &e : es)
            if (e.name == name)
                return &e.data;
        return nullptr;
    };
    ASSERT_TRUE(entry(data, "yes") && entry(data, "no"));
    EXPECT_TRUE(*entry(data, "yes") != *entry(data, "no"));
    ASSERT_TRUE(entry(german, "yes")) << "Ja";
    EXPECT_TRUE(*entry(german, "yes") != *entry(data, "yes"));
}

TEST_F(Tree, MainProgramPicturesHoldWhatWasDrawn)
{
    FFPACKHANDLE *pack = open_pack("mainpics.fpk");
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    FFSetCurrentPack(pack);
    struct Case {
        const char *name;
        int size;
    } cases[] = {{"alap.pix", 640}, {"fwA.pix", 128}, {"kpA.pix", 128}, {"exA.pix", 128}, {"plA.pix", 128}};
    for (const Case &c : cases) {
        br_pixelmap *pm = FFLoadPix(c.name, 1);
        ASSERT_NE(pm, nullptr) << c.name;
        EXPECT_EQ(pm->type, BR_PMT_RGB_565);
        EXPECT_EQ(pm->width, c.size);
        const datagen::Image im = c.size == 640 ? datagen::art::mavrel_menu() : datagen::art::mavrel_highlight(c.name);
        for (auto [x, y] : {std::pair{0, 0}, {im.width - 1, 0}, {im.width / 2, im.height / 2}, {17, im.height - 1}})
            EXPECT_EQ(pixel16(pm, x, y), rgb565(im.argb[size_t(y) * im.width + x])) << c.name << " at " << x << "," << y;
        PxFreePix(pm);
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(pack);

    // The logos are pixel-map files of the 3D library. The recipes run first: they may start and
    // end the library themselves.
    std::map<std::string, datagen::Image> logos;
    for (const char *name : {"zuvo.pix", "logonolt.pix", "brondel.pix"})
        logos[name] = datagen::art::mavrel_logo(name);
    ASSERT_EQ(BrCoreBegin(), BRE_OK);
    for (const char *name : {"zuvo.pix", "logonolt.pix", "brondel.pix"}) {
        br_pixelmap *pm = BrPixelmapLoad((root / "Data" / name).string().c_str());
        ASSERT_NE(pm, nullptr) << name;
        EXPECT_EQ(pm->type, BR_PMT_RGB_565);
        EXPECT_EQ(pm->width, 640);
        EXPECT_EQ(pm->height, 480);
        const datagen::Image &im = logos[name];
        for (auto [x, y] : {std::pair{5, 5}, {320, 240}, {639, 479}})
            EXPECT_EQ(pixel16(pm, x, y), rgb565(im.argb[size_t(y) * 640 + x])) << name;
        BrPixelmapFree(pm);
    }
    BrCoreEnd();
}

// The credits clips carry lines of white words under their titles; a movie without them has none.
TEST_F(Tree, CreditsClipsNameWhoMadeTheGames)
{
    auto words = [](const char *name) {
        const datagen::Image im = datagen::art::asset("", name, 320, 240, "US");
        int n = 0;
        for (int y = im.height * 38 / 100; y < im.height * 80 / 100; y++)
            for (int x = 0; x < im.width; x++) {
                uint32_t c = im.argb[size_t(y) * im.width + x];
                n += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
            }
        return n;
    };
    for (const char *name : datagen::kCreditClips)
        EXPECT_GT(words(name), 300) << name;
    EXPECT_LT(words("sup.dat"), 50);
}

TEST_F(Tree, StoredPixelTypesKeepColourAndAlpha)
{
    // One pixel each: opaque, half transparent, transparent; read back through the pack reader.
    datagen::Image im{3, 1, {0xFF10A0F0u, 0x80FF8000u, 0x00000000u}};
    std::vector<fpk::Entry> entries;
    for (uint32_t type : {datagen::kRgb565, datagen::kRgb565Alpha8, datagen::kArgb4444})
        entries.push_back(datagen::pixmap_entry("t" + std::to_string(type), im, type));
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(fpk::build(entries, bytes, error));
    const fs::path dir = scratch("types");
    fs::create_directories(dir);
    ASSERT_TRUE(fpk::write_file((dir / "types.fpk").string(), bytes, error));
    FFPACKHANDLE *pack = FFOpenPack((dir / "types").string().c_str(), 0);
    ASSERT_NE(pack, nullptr);
    FFSetCurrentPack(pack);
    struct Case {
        uint32_t type;
        std::vector<uint8_t> row;
    } cases[] = {
        {datagen::kRgb565, {0x1E, 0x15, 0x00, 0x82, 0x00, 0x00}},                          // half: over black
        {datagen::kRgb565Alpha8, {0xFF, 0x1E, 0x15, 0x80, 0x00, 0xFC, 0x00, 0x00, 0x00}},  // alpha byte first
        {datagen::kArgb4444, {0xAF, 0xF1, 0x80, 0x8F, 0x00, 0x00}},
    };
    for (const Case &c : cases) {
        br_pixelmap *pm = FFLoadPix(("t" + std::to_string(c.type)).c_str(), 1);
        ASSERT_NE(pm, nullptr) << c.type;
        EXPECT_EQ(pm->type, c.type);
        const uint8_t *p = static_cast<const uint8_t *>(pm->pixels);
        EXPECT_EQ(std::vector<uint8_t>(p, p + c.row.size()), c.row) << "type " << c.type;
        PxFreePix(pm);
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(pack);
    fs::remove_all(dir);
}

TEST_F(Tree, FontsLoadAsFontSets)
{
    for (const char *name : {"serif10", "gn"}) {
        PXFONTSET *set = PxLoadFontset((root / "Data" / name).string().c_str(), 0, nullptr);
        ASSERT_NE(set, nullptr) << name << ": " << GetLastMsgError();
        EXPECT_EQ(set->count, 2) << name;
        ASSERT_NE(PxSelectFont(set, 1), nullptr);
        // Letters have width; the selected font measures text.
        PxSelectFont(set, 0);
        EXPECT_GT(PxGetTextWidth("Velmo"), PxGetTextWidth("V"));
        EXPECT_GT(PxGetTextHeight1(), 5);
        PxKillAllFontset(set);
    }
}

TEST_F(Tree, SoundPacksAndMusicArePlayableWaves)
{
    struct Case {
        const char *file;
        size_t least;
    } cases[] = {{"mnusound.pck", 15}, {"Data/cw.pck", 1}};
    for (const Case &c : cases) {
        vokpack::Directory *dir = vokpack::read_dir((root / c.file).string().c_str());
        ASSERT_NE(dir, nullptr) << c.file;
        ASSERT_GE(dir->entries.size(), c.least) << c.file;
        std::set<std::vector<uint8_t>> distinct;
        for (const vokpack::Entry &e : dir->entries) {
            std::vector<uint8_t> data;
            ASSERT_TRUE(vokpack::load_entry(*dir, e.name.c_str(), data)) << e.name;
            vokpack::WaveImage w;
            ASSERT_TRUE(vokpack::parse_wave(data.data(), data.size(), w)) << e.name;
            EXPECT_EQ(w.formatTag, 1);
            EXPECT_EQ(w.bitsPerSample, 16);
            EXPECT_GT(w.dataSize, 500u) << e.name;
            distinct.insert(data);
        }
        EXPECT_EQ(distinct.size(), dir->entries.size()) << c.file << ": two sounds are the same";
        vokpack::free_dir(dir);
    }
    // Music for every track the framework plays (its track n is disc track n + 1).
    for (int t = 1; t <= 7; t++) {
        char name[32];
        snprintf(name, sizeof name, "track%02d.wav", t);
        const std::string data = slurp(root / "cdaudio" / name);
        vokpack::WaveImage w;
        ASSERT_TRUE(vokpack::parse_wave(reinterpret_cast<const uint8_t *>(data.data()), data.size(), w)) << name;
        EXPECT_EQ(w.channels, 2);
        EXPECT_GT(w.dataSize, size_t(w.avgBytesPerSec) * 5) << name << " is shorter than 5 seconds";
    }
}

TEST_F(Tree, TextTablesLoadWithTheBuiltInTextsFirst)
{
    for (const char *lang : {"US", "UK"})
        ASSERT_TRUE(fs::exists(root / "Data" / lang / "mnutext.fpk")) << lang;
    std::string system_root = root.string() + "/";
    std::replace(system_root.begin(), system_root.end(), '/', '\\');
    snprintf(vok::state().root, sizeof vok::state().root, "%s", system_root.c_str());
    VokFreeTextFiles();
    std::vector<const char *> built_in;
    for (int i = 0; i < vok::kBuiltinCount; i++)
        built_in.push_back(vok::text(i));
    ASSERT_EQ(VokLoadTextFiles(), 1);
    // Each text comes from the file (not the table's own) and reads as the built-in one.
    for (int i = 0; i < vok::kBuiltinCount; i++) {
        EXPECT_NE(vok::text(i), built_in[size_t(i)]) << "text " << i << " was not read from the file";
        EXPECT_EQ(vok::text(i), builtins[size_t(i)]) << "text " << i;
    }
    EXPECT_EQ(vok::text(vok::kBuiltinCount), nullptr);
    struct Key {
        int code;
        const char *name;
    } keys[] = {{'A', "A"}, {'7', "7"}, {0x0D, "Enter"}, {0x1B, "Esc"}, {0x20, "Space"}, {0x70, "F1"}, {0x87, "F24"}, {1, "Left Button"}};
    for (const Key &k : keys)
        EXPECT_STREQ(vok::key_name(k.code), k.name) << k.code;
    for (int s = 0; s < vok::kSpecialCount; s++)
        EXPECT_NE(vok::special_text(s), nullptr) << "special text " << s;
    for (int g = 0; g < 5; g++) {
        const vok::GameTexts *t = vok::game_texts(g);
        ASSERT_NE(t, nullptr);
        EXPECT_NE(t->rules, nullptr) << g;
        EXPECT_NE(t->controls, nullptr) << g;
        EXPECT_EQ(t->tipCount, 3) << g;
        ASSERT_NE(t->demo, nullptr) << g;
        // The cues count the demo clip's frames and end inside it.
        EXPECT_EQ(t->demo[0].start, 5) << g;
        EXPECT_LT(t->demo[2].end, datagen::kDemoClipFrames) << g;
        EXPECT_EQ(t->demo[3].start, 10000) << g;  // three steps, then the end
    }
    VokFreeTextFiles();
    // The texts are Windows-1252 (one byte a letter), not UTF-8: no lead byte followed by a
    // continuation byte, none of the bytes Windows-1252 leaves undefined.
    for (const char *lang : {"US", "UK"})
        for (auto &[file, text] : datagen::language_texts(lang))
            for (size_t i = 0; i < text.size(); i++) {
                const uint8_t c = uint8_t(text[i]), next = i + 1 < text.size() ? uint8_t(text[i + 1]) : 0;
                EXPECT_FALSE(c >= 0xC2 && c <= 0xF4 && (next & 0xC0) == 0x80) << lang << "/" << file << " at " << i;
                EXPECT_TRUE(c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D) << lang << "/" << file;
            }
    // The key table has its full length of lines.
    const std::string keys_txt = datagen::key_names();
    EXPECT_EQ(std::count(keys_txt.begin(), keys_txt.end(), '\n'), vok::kKeyNameCount);
}

TEST_F(Tree, EveryLanguageNamesTerrowsFieldsAndEachNameHasItsFile)
{
    std::string system_root = root.string() + "/";
    std::replace(system_root.begin(), system_root.end(), '/', '\\');
    snprintf(vok::state().root, sizeof vok::state().root, "%s", system_root.c_str());
    const int counts[5] = {40, 10, 10, 10, 10};
    const int language = vok::iface().language;
    for (int lang = 0; lang <= 4; lang++) {
        vok::iface().language = lang;
        ASSERT_EQ(VokLoadTextFiles(), 1) << "language " << lang;
        for (int list = 0; list < 5; list++) {
            ASSERT_EQ(vok::field_count(list), counts[list]) << "language " << lang << " list " << list;
            for (int i = 0; i < counts[list]; i++) {
                const std::string name = vok::field_name(list, i);
                // The level path: the list's prefix and the name's first two characters.
                const fs::path file = root / "fw/Fields" / (std::string(vok::field_prefix(list)) + name.substr(0, 2) + ".trl");
                EXPECT_TRUE(fs::exists(file)) << name << " -> " << file;
            }
        }
    }
    vok::iface().language = language;
    VokFreeTextFiles();
}

TEST_F(Tree, ContactSheetShowsEveryPicture)
{
    const fs::path png = scratch("sheet.png");
    std::vector<datagen::Picture> pictures(11, {"x", datagen::art::mavrel_highlight("fwA.pix")});
    std::string error;
    ASSERT_TRUE(datagen::write_contact_sheet(png.string(), pictures, error)) << error;
    const std::string data = slurp(png);
    ASSERT_GT(data.size(), 24u);
    EXPECT_EQ(data.substr(1, 3), "PNG");
    // Width and height of the sheet: eight cells a row, a row for each eight pictures.
    auto be32 = [&](size_t at) {
        return uint32_t(uint8_t(data[at])) << 24 | uint32_t(uint8_t(data[at + 1])) << 16 |
               uint32_t(uint8_t(data[at + 2])) << 8 | uint8_t(data[at + 3]);
    };
    EXPECT_EQ(be32(16), 8u * 164 + 4);
    EXPECT_EQ(be32(20), uint32_t((pictures.size() + 7) / 8) * 152 + 4);  // two label lines a cell
    fs::remove(png);
}

}  // namespace

namespace {

std::vector<uint8_t> bytes_of(const fs::path &p)
{
    const std::string s = slurp(p);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A screen with a language pack: its pictures with words are drawn in each language there.
const char kWordedScreen[] = "screen 30\n"
                             "dataPack \"words\"\n"
                             "langPack \"wordsl\"\n"
                             "session 1\n  rect 0 0 640 480\n"
                             "session 2\n  rect 0 0 320 160\n  background \"plainbg\"\n"
                             "  ikon plain\n    id 11\n    rect 40 100 100 36\n    picture \"yes\"\n";

// Names a new screen may use: movies of each kind, a picture without a data pack, sizes given twice,
// pictures of a screen with a language pack.
TEST(Assets, NewScreenNamesGetTheirFilesAndPlay)
{
    const fs::path dir = scratch("extra");
    datagen::Generator g(dir.string());
    g.add_assets({{"pack", "", "extra", 0, 0},
                  {"movie", "extra", "press.flc", 48, 32},
                  {"movie", "extra", "turn.fli", 40, 30},
                  {"movie", "extra", "spin.tmz", 64, 48},
                  {"movie", "extra", "intro.mzi", 80, 60},
                  {"picture", "extra", "Button", 0, 0},
                  {"picture", "extra", "button", 90, 20},
                  {"picture", "extra", "+copied", 32, 16},
                  {"picture", "-", "loose", 30, 20}});
    std::string error;
    const std::vector<datagen::Asset> worded =
        datagen::screen_assets("words.scr", kWordedScreen, sizeof kWordedScreen - 1, error);
    ASSERT_TRUE(error.empty()) << error;
    for (const char *name : {"yes", "plainbg"}) {
        auto it = std::find_if(worded.begin(), worded.end(), [&](const datagen::Asset &a) { return a.name == name; });
        ASSERT_NE(it, worded.end()) << name;
        EXPECT_EQ(it->pack, "words");
        EXPECT_EQ(it->langpack, "wordsl") << name;
    }
    g.add_assets(worded);
    ASSERT_TRUE(g.run(error)) << error;

    // The data pack holds both pictures in English; a language pack holds "yes" only where its words
    // differ ("plainbg" has none), drawn in that language.
    auto entries_of = [&](const fs::path &file) {
        std::vector<uint8_t> bytes;
        std::vector<fpk::Entry> entries;
        std::string e;
        EXPECT_TRUE(fpk::read_file(file.string(), bytes, e) && fpk::read(bytes, entries, e)) << file << ": " << e;
        std::map<std::string, std::vector<uint8_t>> out;
        for (fpk::Entry &en : entries)
            out[en.name] = std::move(en.data);
        return out;
    };
    auto stored = [](const char *lang) {
        const datagen::Image im = datagen::art::asset("words", "yes", 100, 36, lang);
        return datagen::pixmap_entry("yes", im, datagen::stored_type(im)).data;
    };
    const auto data = entries_of(dir / "Data" / "words.fpk");
    EXPECT_EQ(data.size(), 2u);
    EXPECT_TRUE(data.count("yes") && data.at("yes") == stored("US"));
    struct Lang {
        const char *lang;
        bool has_yes;
    } langs[] = {{"US", false}, {"UK", false}, {"GE", true}, {"FR", true}, {"HU", true}};
    for (const Lang &l : langs) {
        const auto pack = entries_of(dir / "Data" / l.lang / "wordsl.fpk");
        EXPECT_EQ(pack.size(), l.has_yes ? 1u : 0u) << l.lang;
        if (l.has_yes) {
            EXPECT_TRUE(pack.count("yes") && pack.at("yes") == stored(l.lang)) << l.lang;
        }
    }

    FFPACKHANDLE *pack = FFOpenPack((dir / "Data" / "extra").string().c_str(), 0);
    ASSERT_NE(pack, nullptr) << GetLastMsgError();
    FFSetCurrentPack(pack);
    br_pixelmap *button = FFLoadPix("button", 1);  // one entry for both uses, the larger size
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->width, 90);
    EXPECT_EQ(button->height, 20);
    PxFreePix(button);
    // "+copied" is found by its own name and as the loader asks for it, "copied.pix".
    for (const char *name : {"+copied", "copied.pix"}) {
        br_pixelmap *pm = FFLoadPix(name, 1);
        ASSERT_NE(pm, nullptr) << name;
        EXPECT_EQ(pm->width, 32) << name;
        PxFreePix(pm);
    }
    struct Case {
        std::string file;
        int kind, width, height;
    } cases[] = {{(dir / "press.flc").string(), PMV_KIND_FLC, 48, 32},
                 {(dir / "turn.fli").string(), PMV_KIND_FLI, 40, 30},
                 {"spin.tmz", PMV_KIND_TMZ, 64, 48}};
    for (const Case &c : cases) {
        PMVMOVIE *mv = OpenMovie(c.file.c_str(), c.kind, 0);
        ASSERT_NE(mv, nullptr) << c.file << ": " << GetLastMsgError();
        EXPECT_EQ(mv->width, c.width) << c.file;
        EXPECT_EQ(mv->height, c.height) << c.file;
        EXPECT_EQ(mv->frameCount, 8) << c.file;
        KillMovie(mv);
    }
    FFSetCurrentPack(nullptr);
    FFClosePack(pack);

    // A picture of a scene without a data pack is a pixel-map file of the data folder.
    ASSERT_EQ(BrCoreBegin(), BRE_OK);
    br_pixelmap *loose = BrPixelmapLoad((dir / "Data" / "loose.pix").string().c_str());
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(loose->width, 30);
    BrPixelmapFree(loose);
    BrCoreEnd();

    media::mzi::Movie clip;
    for (const char *name : {"intro.mzi", "vn.dat", "sup.dat"}) {
        const std::vector<uint8_t> data = bytes_of(dir / "Data" / name);
        ASSERT_TRUE(media::mzi::parse(data.data(), data.size(), clip, error)) << name << ": " << error;
        EXPECT_GE(clip.frames.size(), 8u) << name;
        EXPECT_EQ(clip.tracks.size(), 1u) << name;
    }

    fs::remove_all(dir);
}

// A recipe that throws or gives no picture stops the run with the asset named, and nothing of it is
// written.
TEST(Assets, FailingRecipesStopTheRunNamingTheAsset)
{
    struct Case {
        std::function<datagen::Image()> recipe;
        bool ok;
        const char *said;
    } cases[] = {
        {[]() -> datagen::Image { throw std::runtime_error("no face"); }, false, "p.fpk:x: no face"},
        {[] { return datagen::Image{}; }, false, "p.fpk:x: the recipe gives no picture"},
        {[] { return datagen::Image{2, 2, {1, 2, 3}}; }, false, "p.fpk:x: the recipe gives no picture"},
        {[] { return datagen::Image{1, 1, {0xFF000000u}}; }, true, ""},
    };
    for (const Case &c : cases) {
        datagen::Image im;
        std::string error;
        EXPECT_EQ(datagen::draw("p.fpk:x", c.recipe, im, error), c.ok) << c.said;
        EXPECT_EQ(error, c.said);
    }

    // Through the generator: a size the recipes refuse, and the 3D library left running by the caller.
    struct Run {
        datagen::Asset asset;
        bool library;
        const char *said;
    } runs[] = {
        {{"picture", "aaa", "huge", 5000, 10}, false, "Data/aaa.fpk:huge: the recipe gives no picture"},
        {{"movie", "aaa", "kp.tmz", 64, 48}, true, "Data/aaa.fpk:kp.tmz: picture recipes: the 3D library"},
    };
    for (const Run &r : runs) {
        const fs::path dir = scratch("failing");
        datagen::Generator g(dir.string());
        g.add_assets({{"pack", "", "aaa", 0, 0}, r.asset});
        if (r.library) {
            ASSERT_EQ(BrBegin(), BRE_OK);
        }
        std::string error;
        EXPECT_FALSE(g.run(error));
        if (r.library) {
            EXPECT_EQ(BrEnd(), BRE_OK);
        }
        EXPECT_EQ(error.rfind(r.said, 0), 0u) << error;
        EXPECT_FALSE(fs::exists(dir / "Data" / "aaa.fpk"));
        fs::remove_all(dir);
    }
}

// A tree that cannot be written: the run stops with the place named.
TEST(Assets, UnwritableTreesAreReported)
{
    struct Case {
        const char *blocker;  // made a file (a folder when it ends in '/') before the run
        const char *said;
    } cases[] = {
        {"Data", "cannot make the folder "},
        {"Data/browser.fpk/", "cannot write "},
    };
    for (const Case &c : cases) {
        const fs::path dir = scratch("unwritable");
        const std::string blocker = c.blocker;
        fs::create_directories(dir / fs::path(blocker).parent_path());
        if (blocker.back() == '/')
            fs::create_directories(dir / blocker);
        else
            std::ofstream(dir / blocker) << "x";
        datagen::Generator g(dir.string());
        std::string error;
        EXPECT_FALSE(g.run(error)) << c.blocker;
        EXPECT_EQ(error.rfind(c.said, 0), 0u) << error;
        EXPECT_NE(error.find((dir / "Data").string()), std::string::npos) << error;
        fs::remove_all(dir);
    }
}

TEST(Assets, ANameAskedAtTwoSizesStopsTheRunNamingBothUses)
{
    const fs::path out = scratch("twice");
    datagen::Generator g(out.string());
    g.add_assets({{"pack", "", "twice", 0, 0},
                  {"picture", "twice", "panel", 200, 100, "", "first.scr"},
                  {"picture", "twice", "Panel", 0, 0, "", "any.scr"},
                  {"picture", "twice", "PANEL", 300, 100, "", "second.scr"}});
    std::string error;
    EXPECT_FALSE(g.run(error));
    EXPECT_NE(error.find("200x100 by first.scr"), std::string::npos) << error;
    EXPECT_NE(error.find("300x100 by second.scr"), std::string::npos) << error;
    fs::remove_all(out);
}

TEST(Assets, UnknownNamesAreRefusedByName)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(datagen::movie_bytes("clip.avi", datagen::art::mavrel_highlight("fwA.pix"), bytes, error));
    EXPECT_NE(error.find("clip.avi"), std::string::npos) << error;

    const fs::path dir = scratch("bad");
    datagen::Generator g(dir.string());
    g.add_assets({{"sprite", "extra", "hero", 0, 0}});
    EXPECT_FALSE(g.run(error));
    EXPECT_NE(error.find("'sprite'"), std::string::npos) << error;
    fs::remove_all(dir);
}

}  // namespace
