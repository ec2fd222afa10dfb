// Recordings and replay files on memory cubes in a temporary folder: a live game recorded, assembled
// and played back cube for cube, the file layout, the letter codes, the kept replays and hostile files.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kelpa_levels.h"

namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path;
    Folder()
    {
        char tmpl[] = "/tmp/kpreplayXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~Folder() { fs::remove_all(path); }
    void into(KpReplayFiles &f) const { snprintf(f.folder, sizeof f.folder, "%s/", path.c_str()); }
    std::vector<uint8_t> read(const std::string &name) const
    {
        std::ifstream in(path / name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string &name, const std::vector<uint8_t> &data) const
    {
        std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char *>(data.data()), data.size());
    }
};

struct RecordingHost : KpSeededHost {
    KpReplayFiles *files = nullptr;
    bool playing = false;
    uint32_t fixed = 1;
    void seed(uint32_t) override { state = fixed; }
    void recordFrame(const uint8_t frame[5], bool overwrite) override
    {
        if (!playing)
            KpReplayFrameWrite(*files, frame, overwrite);
    }
    void wormRowWrite(const uint8_t row[5], bool first) override
    {
        if (!playing)
            KpReplayWormWrite(*files, row, first);
    }
    bool wormRowRead(uint8_t row[5]) override { return KpReplayNextWormRow(*files, row); }
};

uint32_t positions(KpMemoryCubes &cubes)
{
    uint32_t h = 2166136261u;
    for (int c = 1; c <= kKpGameCubes; c++) {
        float v[3];
        cubes.position(c, v[0], v[1], v[2]);
        uint8_t bytes[sizeof v];
        memcpy(bytes, v, sizeof v);
        for (uint8_t b : bytes)
            h = (h ^ b) * 16777619u;
    }
    return h;
}

void bind(KpRules &r, KpMemoryCubes &cubes, KpHost &host)
{
    r.cubes = &cubes;
    r.host = &host;
    for (int i = 0; i < kKpGameCubes; i++) {
        r.queue[i].cube = i + 1;
        r.queue[i].x = r.queue[i].z = 5;
    }
    r.gameKind = 100;
}

struct LiveGame {
    std::vector<uint32_t> hashes;  // after every frame
    int verdict = 0, frames = 0, earlyTurns = 0;
    int32_t rowsDone = 0, exitsReached = 0, wormLength = 0, headIndex = 0;
    KpRules end;
};

// A kind-100 game recorded as the tick records it: key changes between two frames, an early turn at
// the first increment of a cell step, then the frame. `before` step presses precede the start.
LiveGame playLive(KpReplayFiles &files, const KpLevelFile &level, uint32_t seed, const char *keyText, int before)
{
    std::vector<KpKeyEvent> keys;
    std::string error;
    EXPECT_TRUE(KpParseKeys(keyText, keys, error)) << error;
    KpMemoryCubes cubes;
    RecordingHost host;
    host.files = &files;
    host.fixed = seed;
    static KpRules r;
    r = KpRules();
    bind(r, cubes, host);
    memcpy(r.header, level.header, sizeof r.header);
    memcpy(r.board, level.board, sizeof r.board);
    files.recordingOn = 1;  // as every set-up does
    KpLevelSetup(r);
    for (int i = 0; i < before; i++)
        KpStepKey(r);
    EXPECT_TRUE(KpReplayBegin(files, r.header, r.colourGrid));
    r.levelRunning = 1;
    KpArmTurn(r);
    KpDriveState d;
    LiveGame g;
    size_t next = 0;
    for (int frame = 0; frame < 20000; frame++) {
        bool changed = false;
        for (; next < keys.size() && keys[next].frame == frame; next++) {
            switch (keys[next].key) {
            case 'l': KpKeyDown(r, 0); break;
            case 'r': KpKeyDown(r, 1); break;
            case 'L': KpKeyUp(r, 0); break;
            case 'R': KpKeyUp(r, 1); break;
            default: KpStepKey(r); break;
            }
            changed = changed || keys[next].key != 's';
        }
        if (changed && r.subStep == 1 && files.framesWritten > 0) {
            KpEarlyTurn(r, d);
            g.earlyTurns++;
        }
        if (frame > 0)
            g.hashes.push_back(positions(cubes));
        const int outcome = KpDriveFrame(r, d, nullptr);
        if (outcome == KP_FRAME_WON || outcome == KP_FRAME_LOST) {
            g.verdict = outcome == KP_FRAME_WON ? 1 : -1;
            g.frames = frame + 1;
            break;
        }
    }
    g.hashes.push_back(positions(cubes));
    g.end = r;
    return g;
}

LiveGame playBack(KpReplayFiles &files)
{
    KpMemoryCubes cubes;
    RecordingHost host;
    host.files = &files;
    host.playing = true;
    static KpRules r;
    r = KpRules();
    bind(r, cubes, host);
    memcpy(r.header, files.level.header, sizeof r.header);
    memcpy(r.board, files.level.board, sizeof r.board);
    r.replayPlaying = 1;
    memcpy(r.wormRow, files.wormRows, 5);
    KpLevelSetup(r);
    r.levelRunning = 1;
    KpArmTurn(r);
    KpDriveState d;
    LiveGame g;
    while (KpReplayNextFrame(files)) {
        const int outcome = KpDriveFrame(r, d, files.readFrame);
        g.hashes.push_back(positions(cubes));
        g.frames++;
        if (outcome == KP_FRAME_WON || outcome == KP_FRAME_LOST) {
            g.verdict = outcome == KP_FRAME_WON ? 1 : -1;
            break;
        }
    }
    g.end = r;
    return g;
}

KpLevelFile standard1(uint32_t &seed, const char *&keys)
{
    const auto &recipe = datagen::kelpa_levels()[0];
    KpLevelFile level;
    EXPECT_TRUE(datagen::kelpa_level_file(recipe, level));
    seed = recipe.seed;
    keys = recipe.keys;
    return level;
}

TEST(Replay, LetterCodes)
{
    const struct {
        uint32_t sum;
        const char *code;
    } cases[] = {{0, "A"}, {25, "Z"}, {26, "AB"}, {27, "BB"}, {675, "ZZ"}, {676, "AAB"},
                 {0xFFFFFFFFu, "VXLRMXN"}};
    for (const auto &c : cases)
        EXPECT_EQ(KpReplayCode(c.sum), c.code) << c.sum;
}

TEST(Replay, SafeNames)
{
    const struct {
        const char *in, *out;
    } cases[] = {{"Anna", "Anna"}, {"../x", "_._x"}, {"a\\b/c:d", "a_b_c_d"}, {"", "_"},
                 {"averylongplayername", "averylongpl"}, {"tab\there", "tab_here"}};
    for (const auto &c : cases) {
        char out[12];
        KpSafeName(c.in, out);
        EXPECT_STREQ(out, c.out) << c.in;
        EXPECT_EQ(out[11], '\0');
    }
}

// The game recorded, assembled and shown again: the same cubes in the same places after every frame,
// the same end; the file is laid out as 4 + (N + 1) + 688 + 5F + 2 bytes.
TEST(Replay, RecordedGamePlaysBackExactly)
{
    uint32_t seed;
    const char *winKeys;
    const KpLevelFile level = standard1(seed, winKeys);
    // The winning keys; then a game with step presses before the start, 20 presses in one frame,
    // and turns pressed right at the start of a cell step.
    const std::string burst = std::string("5s ") + [] {
        std::string s;
        for (int i = 0; i < 20; i++)
            s += "40s ";
        return s;
    }() + "70r 71R 73l 75L 201r 202R 241l 242L";
    // The winning keys up to frame 99, then the right key pressed and released on every frame.
    std::string wiggle = "18s 27r 28R 43l 45L 57r 61R 69r 70R 93l 96L ";
    for (int f = 100; f < 140; f++)
        wiggle += std::to_string(f) + (f % 2 ? "R " : "r ");
    const struct {
        const char *keys;
        int before;
        bool won;
    } games[] = {{winKeys, 0, true}, {burst.c_str(), 3, false}, {wiggle.c_str(), 0, false}};
    int earlyTurns = 0;
    for (const auto &game : games) {
        Folder folder;
        KpReplayFiles files;
        folder.into(files);
        files.gameKind = 100;
        files.levelFamily = 0;
        files.levelNumber = 0;
        KpReplaySetPlayer(files, "Anna");
        const LiveGame live = playLive(files, level, seed, game.keys, game.before);
        if (game.won) {
            EXPECT_EQ(live.verdict, 1);
        }
        const int frames = files.framesWritten;
        earlyTurns += live.earlyTurns;
        ASSERT_GT(frames, 45) << game.keys;
        uint32_t sum = 0;
        ASSERT_EQ(KpReplayAssemble(files, true, &sum), 1);
        const std::vector<uint8_t> worm = folder.read("worm_Anna.re");
        const std::vector<uint8_t> trial = folder.read("proba_Anna.re");
        const std::vector<uint8_t> rep = folder.read("kp_Anna_0_0.rep");
        ASSERT_FALSE(worm.empty());
        ASSERT_EQ(trial.size(), size_t(688 + 5 * frames));
        ASSERT_EQ(rep.size(), 4 + (worm.size() + 1) + 688 + 5 * frames + 2);
        EXPECT_EQ(rep[0] | rep[1] << 8 | rep[2] << 16 | rep[3] << 24, int(worm.size()));
        EXPECT_EQ(rep[4 + worm.size()], worm.back());
        EXPECT_EQ(rep[rep.size() - 2], trial[trial.size() - 5]);
        EXPECT_EQ(rep[rep.size() - 1], trial[trial.size() - 4]);
        EXPECT_EQ(memcmp(rep.data() + 5 + worm.size(), trial.data(), trial.size()), 0);
        EXPECT_EQ(memcmp(trial.data(), "Anna\0\0\0\0\0\0\0\0", 12), 0);

        KpReplayFiles back;
        folder.into(back);
        ASSERT_TRUE(KpReplayOpen(back, (folder.path / "kp_Anna_0_0.rep").c_str()));
        EXPECT_STREQ(back.replayPlayer, "Anna");
        const LiveGame shown = playBack(back);
        ASSERT_EQ(shown.frames, int(live.hashes.size()));
        for (size_t i = 0; i < live.hashes.size(); i++)
            ASSERT_EQ(shown.hashes[i], live.hashes[i]) << "frame " << i;
        EXPECT_EQ(shown.verdict, live.verdict);
        EXPECT_EQ(shown.end.rowsDone, live.end.rowsDone);
        EXPECT_EQ(shown.end.exitsReached, live.end.exitsReached);
        EXPECT_EQ(shown.end.wormLength, live.end.wormLength);
        EXPECT_EQ(shown.end.headIndex, live.end.headIndex);
        EXPECT_EQ(shown.end.looseCount, live.end.looseCount);
        EXPECT_EQ(memcmp(shown.end.colourGrid, live.end.colourGrid, sizeof live.end.colourGrid), 0);
        // A replay that ends early keeps its last frame.
        uint8_t last[5];
        memcpy(last, back.readFrame, 5);
        EXPECT_FALSE(KpReplayNextFrame(back));
        EXPECT_EQ(memcmp(last, back.readFrame, 5), 0);
    }
    EXPECT_GT(earlyTurns, 0);
}

TEST(Replay, Kind100KeepsItsFirstReplayFromTheTick)
{
    Folder folder;
    KpReplayFiles files;
    folder.into(files);
    files.gameKind = 100;
    files.levelFamily = 1;
    files.levelNumber = 2;
    KpReplaySetPlayer(files, "Bo");
    KpLevelFile level;
    KpDefaultHeader(level.header);
    const uint8_t row[5] = {1, 2, 3, 4, 5}, frame[5] = {9, 8, 7, 6, 5};
    auto record = [&]() {
        ASSERT_TRUE(KpReplayBegin(files, level.header, level.board));
        KpReplayWormWrite(files, row, true);
        KpReplayFrameWrite(files, frame, false);
    };
    record();
    ASSERT_EQ(KpReplayAssemble(files, true, nullptr), 1);
    const auto first = folder.read("kp_Bo_1_2.rep");
    record();
    KpReplayFrameWrite(files, frame, false);
    EXPECT_EQ(KpReplayAssemble(files, true, nullptr), 0);
    EXPECT_EQ(folder.read("kp_Bo_1_2.rep"), first);
    // The results screen's call overwrites it.
    record();
    KpReplayFrameWrite(files, frame, false);
    EXPECT_EQ(KpReplayAssemble(files, false, nullptr), 1);
    EXPECT_EQ(folder.read("kp_Bo_1_2.rep").size(), first.size() + 5);
}

// A recording file that could not take its bytes (a full disk) makes no replay and says so.
TEST(Replay, ALostRecordingMakesNoReplay)
{
    Folder folder;
    KpReplayFiles files;
    folder.into(files);
    files.gameKind = 101;
    KpReplaySetPlayer(files, "Di");
    fs::create_symlink("/dev/full", folder.path / "worm_Di.re");
    KpLevelFile level;
    KpDefaultHeader(level.header);
    ASSERT_TRUE(KpReplayBegin(files, level.header, level.board));
    const uint8_t row[5] = {1, 2, 3, 4, 5}, frame[5] = {9, 8, 7, 6, 5};
    KpReplayWormWrite(files, row, true);
    KpReplayFrameWrite(files, frame, false);
    EXPECT_EQ(KpReplayAssemble(files, true, nullptr), 0);
    EXPECT_FALSE(fs::exists(folder.path / "kp_0_0.rep"));
    // The next level records afresh.
    fs::remove(folder.path / "worm_Di.re");
    ASSERT_TRUE(KpReplayBegin(files, level.header, level.board));
    KpReplayWormWrite(files, row, true);
    KpReplayFrameWrite(files, frame, false);
    EXPECT_EQ(KpReplayAssemble(files, true, nullptr), 1);
}

TEST(Replay, EmptyWormFileAndOverwriteBeforeTheFirstFrame)
{
    Folder folder;
    KpReplayFiles files;
    folder.into(files);
    files.gameKind = 101;
    KpReplaySetPlayer(files, "averylongplayername");
    KpLevelFile level;
    KpDefaultHeader(level.header);
    ASSERT_TRUE(KpReplayBegin(files, level.header, level.board));
    // An early turn before any frame does not reach back into the header.
    const uint8_t frame[5] = {1, 2, 3, 4, 5};
    KpReplayFrameWrite(files, frame, true);
    uint32_t sum = 0;
    ASSERT_EQ(KpReplayAssemble(files, true, &sum), 1);
    const auto rep = folder.read("kp_0_0.rep");
    ASSERT_EQ(rep.size(), 4u + 1 + 688 + 5 + 2);
    EXPECT_EQ(rep[4], 0);  // no worm rows: the doubled byte is a 0
    EXPECT_EQ(memcmp(rep.data() + 5, "averylongpl\0", 12), 0);
    EXPECT_EQ(memcmp(rep.data() + 5 + 688, frame, 5), 0);
    EXPECT_EQ(rep[rep.size() - 2], 1);
    EXPECT_EQ(rep[rep.size() - 1], 2);
}

// After a best time the replay is copied under its code, the pushed-out replay goes (a plain name
// only) and the replay becomes the player's last.
TEST(Replay, BestTimeCopyAndLast)
{
    Folder folder;
    KpReplayFiles files;
    folder.into(files);
    files.gameKind = 101;
    files.levelFamily = 2;
    files.levelNumber = 0;
    KpReplaySetPlayer(files, "Cy");
    folder.write("kp_OLD.rep", {1});
    fs::create_directories(folder.path / "sub");
    folder.write("x", {2});
    const struct {
        const char *pushedOut;
        bool oldGone;
    } cases[] = {{"../x", false}, {"sub/../kp_OLD.rep", false}, {"kp_OLD.rep", true}};
    for (const auto &c : cases) {
        folder.write("kp_2_0.rep", {7, 7, 7});
        std::string code;
        KpReplayKeep(files, true, 26, c.pushedOut, &code);
        EXPECT_EQ(code, "kp_AB.rep");
        EXPECT_EQ(folder.read("kp_AB.rep"), (std::vector<uint8_t>{7, 7, 7}));
        EXPECT_EQ(folder.read("kp_Cy_last.rep"), (std::vector<uint8_t>{7, 7, 7}));
        EXPECT_FALSE(fs::exists(folder.path / "kp_2_0.rep"));
        EXPECT_EQ(!fs::exists(folder.path / "kp_OLD.rep"), c.oldGone) << c.pushedOut;
        EXPECT_TRUE(fs::exists(folder.path / "x"));
    }
    // Not placed: only the rotation.
    folder.write("kp_2_0.rep", {5});
    KpReplayKeep(files, false, 0, nullptr, nullptr);
    EXPECT_EQ(folder.read("kp_Cy_last.rep"), (std::vector<uint8_t>{5}));
    // A rotation that cannot move the new replay in keeps the player's last one.
    KpReplayKeep(files, false, 0, nullptr, nullptr);
    EXPECT_EQ(folder.read("kp_Cy_last.rep"), (std::vector<uint8_t>{5}));
    EXPECT_FALSE(fs::exists(folder.path / "kp_Cy_last.rep.old"));
}

// The writer makes only worm sections its reader takes (N + 1 <= 5000): 999 worms make a replay
// that reads back row for row, the 1000th leaves no replay; worm files another program left at the
// largest size and one byte past it.
TEST(Replay, WormSectionsTheWriterMakesTheReaderTakes)
{
    KpLevelFile level;
    KpDefaultHeader(level.header);
    const uint8_t frame[5] = {9, 8, 7, 6, 5};
    const struct {
        int rows;        // rows recorded (0: the worm file is written whole as `bytes`)
        size_t bytes;
        bool made;
    } cases[] = {{999, 0, true}, {1000, 0, false}, {0, 4999, true}, {0, 5000, false}};
    for (const auto &c : cases) {
        Folder folder;
        KpReplayFiles files;
        folder.into(files);
        files.gameKind = 101;
        KpReplaySetPlayer(files, "Ed");
        ASSERT_TRUE(KpReplayBegin(files, level.header, level.board));
        std::vector<uint8_t> worm;
        for (int i = 0; i < c.rows; i++) {
            const uint8_t row[5] = {uint8_t(i), uint8_t(i >> 8), 1, 2, 3};
            KpReplayWormWrite(files, row, i == 0);
            if (i < 999)
                worm.insert(worm.end(), row, row + 5);
        }
        KpReplayFrameWrite(files, frame, false);
        if (c.rows == 0) {
            for (size_t i = 0; i < c.bytes; i++)
                worm.push_back(uint8_t(i * 7));
            KpReplayClose(files);
            folder.write("worm_Ed.re", worm);
        }
        EXPECT_EQ(KpReplayAssemble(files, true, nullptr), c.made ? 1 : 0) << c.rows << " " << c.bytes;
        EXPECT_EQ(fs::exists(folder.path / "kp_0_0.rep"), c.made);
        if (!c.made)
            continue;
        KpReplayFiles back;
        ASSERT_TRUE(KpReplayOpen(back, (folder.path / "kp_0_0.rep").c_str()));
        EXPECT_EQ(back.wormBytes, int(worm.size() + 1));
        EXPECT_EQ(memcmp(back.wormRows, worm.data(), worm.size()), 0);
        EXPECT_EQ(back.wormRows[worm.size()], worm.back());
        EXPECT_EQ(back.frames, std::vector<uint8_t>(frame, frame + 5));
    }
}

TEST(Replay, HostileReplaysRefused)
{
    Folder folder;
    KpLevelFile level;
    KpDefaultHeader(level.header);
    level.board[120] = KP_CELL_EXIT;
    uint8_t body[kKpLevelBytes];
    KpEncodeLevel(level, body);
    auto make = [&](uint32_t n, size_t worm, int frames, int streak, int cell) {
        std::vector<uint8_t> d;
        for (int k = 0; k < 4; k++)
            d.push_back(uint8_t(n >> (8 * k)));
        d.insert(d.end(), worm, 3);
        d.insert(d.end(), 12, 'n');
        std::vector<uint8_t> b(body, body + kKpLevelBytes);
        b[4] = uint8_t(streak);
        b[192] = uint8_t(cell);
        d.insert(d.end(), b.begin(), b.end());
        d.insert(d.end(), size_t(frames) * 5, 0x11);
        d.push_back(0);
        d.push_back(0);
        return d;
    };
    const struct {
        const char *what;
        std::vector<uint8_t> data;
        bool opens;
    } cases[] = {
        {"sound", make(9, 10, 3, 99, 0), true},
        {"no frames", make(4, 5, 0, 99, 0), true},
        {"worm section past 5000", make(5000, 5001, 1, 99, 0), false},
        {"largest worm section", make(4999, 5000, 1, 99, 0), true},
        {"N wraps", make(0xFFFFFFFFu, 10, 1, 99, 0), false},
        {"shorter than its worm section", make(4000, 10, 1, 99, 0), false},
        {"streak count 7", make(4, 5, 1, 7, 0), false},
        {"cell 10", make(4, 5, 1, 99, 10), false},
        {"three bytes", {1, 0, 0}, false},
        {"empty", {}, false},
    };
    for (const auto &c : cases) {
        folder.write("r.rep", c.data);
        KpReplayFiles f;
        folder.into(f);
        EXPECT_EQ(KpReplayOpen(f, (folder.path / "r.rep").c_str()), c.opens) << c.what;
        if (c.opens) {
            uint8_t row[5];
            int rows = 0;
            while (KpReplayNextWormRow(f, row))
                rows++;
            EXPECT_LE((rows + 1) * 5, f.wormBytes) << c.what;
        }
    }
    KpReplayFiles f;
    EXPECT_FALSE(KpReplayOpen(f, (folder.path / "missing.rep").c_str()));
    // Truncated at every length short of the closing bytes: refused, never read past.
    const auto sound = make(9, 10, 3, 99, 0);
    for (size_t n = 0; n < 4 + 10 + 688 + 2; n += 7) {
        folder.write("t.rep", std::vector<uint8_t>(sound.begin(), sound.begin() + n));
        EXPECT_FALSE(KpReplayOpen(f, (folder.path / "t.rep").c_str())) << n;
    }
}

}  // namespace
