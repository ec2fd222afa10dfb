// Sound sets from generated packs: round robin, loop handles, damaged packs, lost buffers and a machine
// without sound, heard through the recorder on the virtual clock.
#include <stdlib.h>

#include "fx.h"
#include "vokscore/soundset.h"

namespace {

using fxtest::level_sounds;
using fxtest::plays;

constexpr double kTolUs = 1000;

class SoundFx : public fxtest::Framework {
protected:
    void TearDown() override
    {
        set = VokKillSound(set);
        for (int uses = IfInitSound(); uses > 0; uses--)
            IfKillSound();
        unsetenv("VOK_AUDIO_DEVICE");
        Framework::TearDown();
    }
    SoundSet *load(const fxtest::PackEntries &entries)
    {
        write_sound_pack("fx.pck", entries);
        return VokInitSound(sys("fx.pck").c_str());
    }
    static double length_us(const VokSoundPlay &p) { return double(p.end_us - p.start_us); }

    SoundSet *set = nullptr;
};

TEST_F(SoundFx, OneBufferIsNotRestartedAndTwoBuffersTakeTurns)
{
    // One buffer (a game's set): a second request while the sound plays is dropped.
    set = load(level_sounds(2));
    ASSERT_NE(set, nullptr);
    VokPlaySound(set, 1);  // 200 ms
    VokSoundAdvanceUs(50000);
    VokPlaySound(set, 1);
    VokSoundAdvanceUs(200000);
    ASSERT_EQ(plays().size(), 1u);
    EXPECT_NEAR(length_us(plays()[0]), 200000, kTolUs);
    VokPlaySound(set, 1);  // ended: plays again
    EXPECT_EQ(plays().size(), 2u);
    VokSoundAdvanceUs(250000);

    // Two buffers (the menu set): the second request starts the other buffer, the third stops and
    // rewinds the first and plays it again from the start.
    write_sound_pack("mnusound.pck", level_sounds(2));
    ASSERT_EQ(IfInitSound(), 1);
    ASSERT_EQ(IfInitSound(), 2);  // use-counted: loaded once
    VokSoundRecorderReset();
    const uint64_t t1 = VokSoundRecordStartUs();
    IfPlaySound(1);
    VokSoundAdvanceUs(50000);
    IfPlaySound(1);
    VokSoundAdvanceUs(50000);
    IfPlaySound(1);
    VokSoundAdvanceUs(400000);
    const std::vector<VokSoundPlay> p = plays();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].buffer, p[2].buffer);
    EXPECT_NE(p[0].buffer, p[1].buffer);
    EXPECT_EQ(p[0].data, p[1].data) << "the second buffer is a duplicate of the first";
    EXPECT_EQ(p[0].start_us - t1, 0u);
    EXPECT_NEAR(double(p[0].end_us - t1), 100000, kTolUs) << "stopped by the third request";
    EXPECT_EQ(p[1].start_us - t1, 50000u);
    EXPECT_EQ(p[2].start_us - t1, 100000u);
    EXPECT_NEAR(length_us(p[2]), 200000, kTolUs) << "rewound: the whole sound again";

    IfKillSound();
    IfPlaySound(0);
    EXPECT_EQ(plays().size(), 4u) << "still loaded at use count 1";
    IfKillSound();
    IfKillSound();  // below 0 nothing happens
    VokSoundRecorderReset();
    IfPlaySound(0);
    EXPECT_TRUE(plays().empty());
}

TEST_F(SoundFx, LoopHandlesOffStaleAndOutOfRange)
{
    set = load(level_sounds(3));
    ASSERT_NE(set, nullptr);

    vok::general().soundEffects = 0;
    EXPECT_EQ(VokPlayLoopSound(set, 0), VOK_LOOP_OFF);
    EXPECT_EQ(VokStopLoopSound(VOK_LOOP_OFF), 0);
    VokPlaySound(set, 0);
    EXPECT_TRUE(plays().empty());

    vok::general().soundEffects = 3;
    struct Case {
        SoundSet *set;
        int index;
    } nothing[] = {{nullptr, 0}, {set, -1}, {set, 3}};
    for (const Case &c : nothing) {
        EXPECT_EQ(VokPlayLoopSound(c.set, c.index), 0) << c.index;
        VokPlaySound(c.set, c.index);
    }
    EXPECT_EQ(VokStopLoopSound(0), 0);
    EXPECT_EQ(VokStopLoopSound(VOK_LOOP_OFF), -1) << "with effects on the value itself comes back";
    EXPECT_TRUE(plays().empty());

    VokLoopHandle loop = VokPlayLoopSound(set, 2);
    ASSERT_NE(loop, 0);
    ASSERT_NE(loop, VOK_LOOP_OFF);
    VokSoundAdvanceUs(700000);  // longer than the 300 ms sound
    ASSERT_EQ(plays().size(), 1u);
    EXPECT_TRUE(plays()[0].playing);
    EXPECT_TRUE(plays()[0].looping);
    EXPECT_EQ(VokStopLoopSound(loop), DS_OK);
    VokSoundAdvanceUs(10000);
    EXPECT_FALSE(plays()[0].playing);

    // A handle whose set was killed stops nothing, whatever was made since.
    loop = VokPlayLoopSound(set, 2);
    set = VokKillSound(set);
    set = load(level_sounds(3));
    ASSERT_NE(set, nullptr);
    VokPlaySound(set, 2);
    const size_t before = plays().size();
    EXPECT_NE(VokStopLoopSound(loop), DS_OK);
    VokSoundAdvanceUs(10000);
    EXPECT_TRUE(plays().back().playing);
    EXPECT_EQ(plays().size(), before);
}

// Builds a WAVE image with the chunks given after "WAVE" and the RIFF size given (0: the true one).
std::vector<uint8_t> riff(const std::string &chunks, uint32_t riffSize = 0)
{
    std::string s = "RIFF";
    const uint32_t size = riffSize != 0 ? riffSize : uint32_t(4 + chunks.size());
    for (int i = 0; i < 4; i++)
        s += char(size >> (8 * i));
    s += "WAVE" + chunks;
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string chunk(const char *id, const std::string &body, uint32_t declared = 0xFFFFFFFFu)
{
    std::string s(id, 4);
    const uint32_t size = declared != 0xFFFFFFFFu ? declared : uint32_t(body.size());
    for (int i = 0; i < 4; i++)
        s += char(size >> (8 * i));
    return s + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

TEST_F(SoundFx, DamagedWavesLeaveTheirSlotEmptyAndLaterIndicesPlay)
{
    const std::vector<uint8_t> good = fxtest::level_wave(1000, 100);
    vokpack::WaveImage w;
    ASSERT_TRUE(vokpack::parse_wave(good.data(), good.size(), w));
    const std::string fmt(reinterpret_cast<const char *>(good.data()) + 20, 16);
    const std::string samples(1600, '\x10');
    struct Case {
        const char *what;
        std::vector<uint8_t> image;
        bool parses;
        size_t dataSize;
    } cases[] = {
        {"not RIFF", {'R', 'I', 'F', 'X'}, false, 0},
        {"fmt of 12 bytes", riff(chunk("fmt ", fmt.substr(0, 12)) + chunk("data", samples)), false, 0},
        {"fmt longer than the image", riff(chunk("fmt ", fmt, 4000) + chunk("data", samples)), false, 0},
        {"no data chunk", riff(chunk("fmt ", fmt)), false, 0},
        {"data past the end is clamped", riff(chunk("fmt ", fmt) + chunk("data", samples, 90000)), true, 1600},
        {"odd chunk padded", riff(chunk("LIST", "abc") + chunk("fmt ", fmt) + chunk("data", samples)), true, 1600},
        {"RIFF size stops the walk", riff(chunk("fmt ", fmt) + chunk("data", samples), 4 + 24), false, 0},
        // A damaged image is looked for as a file of that name: a device there is not read.
        {"/dev/zero", {'x'}, false, 0},
    };
    fxtest::PackEntries entries;
    for (const Case &c : cases) {
        vokpack::WaveImage out;
        EXPECT_EQ(vokpack::parse_wave(c.image.data(), c.image.size(), out), c.parses) << c.what;
        if (c.parses) {
            EXPECT_EQ(out.dataSize, c.dataSize) << c.what;
        }
        entries.emplace_back(c.what, c.image);
    }
    entries.emplace_back("last", fxtest::level_wave(5000, 300));
    set = load(entries);
    ASSERT_NE(set, nullptr);
    const int last = int(entries.size()) - 1;
    for (int i = 0; i < last; i++)
        VokPlaySound(set, i);
    // Only the two images that parse were heard (at level 0x1010), both 100 ms at 8000 Hz.
    EXPECT_EQ(plays().size(), 2u);
    VokSoundAdvanceUs(200000);
    VokSoundRecorderReset();
    VokPlaySound(set, last);
    VokSoundAdvanceUs(400000);
    ASSERT_EQ(plays().size(), 1u);
    EXPECT_NEAR(length_us(plays()[0]), 300000, kTolUs);
    EXPECT_NEAR(fxtest::mix_at_us(100000), 5000, 2);
}

TEST_F(SoundFx, PackDirectoriesStopAtTheFirstEntryThatDoesNotFit)
{
    std::vector<uint8_t> two = vokpack::build_pack(level_sounds(2));
    const size_t firstEnd = 4 + 8 + 2 + level_sounds(1)[0].second.size();
    auto put32 = [](std::vector<uint8_t> &b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    std::vector<uint8_t> cut(two.begin(), two.end() - 1);
    std::vector<uint8_t> hugeName = two, hugeData = two, header = two;
    put32(hugeName, firstEnd, 0xFFFFFFFFu);
    put32(hugeData, firstEnd + 4, 0xFFFFFFF0u);
    header.resize(firstEnd + 6);  // a second header cut in the middle
    std::vector<uint8_t> badMagic = two;
    badMagic[0] ^= 1;
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        int entries;  // -1: no directory
    } cases[] = {
        {"whole", two, 2},   {"last entry cut short", cut, 1}, {"name length past the end", hugeName, 1},
        {"data length past the end", hugeData, 1}, {"header cut", header, 1}, {"bad magic", badMagic, -1},
        {"magic only", vokpack::build_pack({}), 0},
    };
    for (const Case &c : cases) {
        write("p.pck", std::string(c.bytes.begin(), c.bytes.end()));
        VokSoundPackDir *dir = VokReadSoundPackDir(sys("p.pck").c_str());
        if (c.entries < 0) {
            EXPECT_EQ(dir, nullptr) << c.what;
            continue;
        }
        ASSERT_NE(dir, nullptr) << c.what;
        int n = 0;
        while (VokFindSoundPackEntry(dir, nullptr) != nullptr)
            n++;
        EXPECT_EQ(n, c.entries) << c.what;
        VokFreeSoundPackDir(dir);
        SoundSet *s = VokInitSound(sys("p.pck").c_str());
        EXPECT_EQ(s != nullptr, c.entries > 0) << c.what << ": an empty pack gives no set";
        VokKillSound(s);
    }
    EXPECT_EQ(VokInitSound(nullptr), nullptr);
    EXPECT_EQ(VokInitSound(sys("missing.pck").c_str()), nullptr);
}

TEST_F(SoundFx, PackReaderLooksUpLoadsAndEnumerates)
{
    fxtest::PackEntries entries = {{"menu_move", {1, 2, 3}}, {"menu_open", {4, 5}}, {"crash", {}}, {"menu_move", {9}}};
    write_sound_pack("r.pck", entries);
    ASSERT_EQ(VokOpenSoundPack(sys("r.pck").c_str()), 1);
    uint32_t size = 0;
    void *data = VokLoadSoundPackEntry(nullptr, "menu_open", &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(memcmp(data, "\x04\x05", 2), 0);
    free(data);
    data = VokLoadSoundPackEntry(nullptr, "menu_move", &size);  // the first of two
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 3u);
    free(data);
    EXPECT_EQ(VokLoadSoundPackEntry(nullptr, "Menu_move", &size), nullptr) << "names compare exactly";
    FILE *f = VokOpenSoundPackEntry(nullptr, "menu_open");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fgetc(f), 4);
    fclose(f);

    std::vector<std::string> found;
    VokResetSoundPackFind();
    for (const char *n; (n = VokFindSoundPackEntry(nullptr, "menu")) != nullptr;)
        found.emplace_back(n);
    EXPECT_EQ(found, (std::vector<std::string>{"menu_move", "menu_open", "menu_move"}));
    VokResetSoundPackFind();
    EXPECT_STREQ(VokFindSoundPackEntry(nullptr, "cra"), "crash");
    VokCloseSoundPack();
    EXPECT_EQ(VokFindSoundPackEntry(nullptr, nullptr), nullptr);
    EXPECT_EQ(VokOpenSoundPack(sys("none.pck").c_str()), 0);
}

TEST_F(SoundFx, ALostBufferIsRestoredAndRefilled)
{
    set = load(level_sounds(2));
    ASSERT_NE(set, nullptr);
    VokPlaySound(set, 1);
    VokSoundAdvanceUs(50000);
    VokSoundLoseBuffers();
    VokSoundAdvanceUs(50000);
    VokSoundRecorderReset();
    VokPlaySound(set, 1);
    VokSoundAdvanceUs(250000);
    const std::vector<VokSoundPlay> p = plays();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_NEAR(length_us(p[0]), 200000, kTolUs);
    EXPECT_NEAR(fxtest::mix_at_us(100000), 2000, 2) << "the restored buffer holds the sound again";
}

TEST_F(SoundFx, WithoutSoundHardwareThereAreNoSets)
{
    write_sound_pack("mnusound.pck", level_sounds(2));
    setenv("VOK_AUDIO_DEVICE", "none", 1);
    EXPECT_EQ(VokCreateDirectSound(window), 0);
    EXPECT_FALSE(vok::sound_created());
    EXPECT_EQ(load(level_sounds(2)), nullptr);
    EXPECT_EQ(IfInitSound(), 1);
    IfPlaySound(0);
    EXPECT_EQ(VokPlayLoopSound(nullptr, 0), 0);
    EXPECT_TRUE(plays().empty());
    IfKillSound();

    // Made again, twice in a row: the second object replaces the first, and sets play.
    unsetenv("VOK_AUDIO_DEVICE");
    EXPECT_EQ(VokCreateDirectSound(window), 1);
    EXPECT_EQ(VokCreateDirectSound(window), 1);
    set = load(level_sounds(2));
    ASSERT_NE(set, nullptr);
    VokPlaySound(set, 0);
    EXPECT_EQ(plays().size(), 1u);
}

}  // namespace
