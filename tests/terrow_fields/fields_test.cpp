// Every field the program ships, run through the game's driver with the real physics: the driver
// must end it as the physics' own whole run does (verdict, steps and the balls' hash). And the rules
// the build checks them by must refuse broken copies.
#include <algorithm>
#include <array>
#include <filesystem>
#include <set>

#include <unistd.h>

#include <brondel/brpixmap.h>

#include "playtest.h"
#include "terrow/phys/phstep.h"
#include "terrow/trpick.h"

using playtest::Play;
using playtest::rec;

namespace {

class Fields : public Play {};

// The balls' hash without the destroyed bit: the driver's step handler takes it off what broke
// (the debris stands for it), while a bare run of the physics keeps it.
uint64_t hash_unbroken(TrPalya *f)
{
    std::vector<uint32_t> flags;
    for (int32_t i = 0; i < f->count; i++) {
        flags.push_back(f->elements[i]->io->flags);
        f->elements[i]->io->flags &= ~EF_DESTROYED;
    }
    const uint64_t h = Phys_BallHash(f);
    for (int32_t i = 0; i < f->count; i++)
        f->elements[i]->io->flags = flags[size_t(i)];
    return h;
}

// The physics alone from start to rest: the steps taken and the balls' hash at rest.
std::pair<int32_t, uint64_t> bare_run(const std::string &path)
{
    TrPalya *f = Palya_FOpenLoad(path.c_str());
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr)
        return {0, 0};
    Phys_Build(f);
    int32_t steps = 0;
    while (steps < 20000) {
        PhysCounters = {};
        const int rest = Phys_Step(f, steps * TR_STEP_MS);
        steps++;
        if (rest)
            break;
    }
    const uint64_t h = hash_unbroken(f);
    Phys_Free();
    Palya_Free(f);
    return {steps, h};
}

std::vector<std::string> shipped()
{
    std::vector<std::string> out;
    for (const auto &e : std::filesystem::directory_iterator(TERROW_FIELDS_DIR))
        if (e.path().extension() == ".trl")
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST_F(Fields, DriverEndsEveryShippedFieldAsThePhysicsDoes)
{
    const auto files = shipped();
    ASSERT_EQ(files.size(), 80u);
    for (const std::string &path : files) {
        TrPalya *copy = Palya_FOpenLoad(path.c_str());
        ASSERT_NE(copy, nullptr) << path;
        const PhRunResult expect = Phys_Run(copy, 20000);
        Palya_Free(copy);
        ASSERT_TRUE(expect.rested) << path;

        const auto [steps, hash] = bare_run(path);

        rec() = {};
        TrPlayModeGet()->game = 0;
        ASSERT_EQ(Palya_Replace(path.c_str(), opaque, translucent, nullptr), 1);
        TrPalya *f = Palya_Current();
        ASSERT_EQ(f->levelFlags & LF_PLAYABLE, LF_PLAYABLE) << path;
        ASSERT_EQ(TrRunStart(), 1) << path;
        for (int i = 0; i < 20000 && rec().keys.empty(); i++) {
            PlatAdvanceClock(40);
            TrRunFrame();
        }
        ASSERT_EQ(rec().keys, (std::vector<int>{TR_KEY_STOP})) << path;
        // Fields where something breaks too: the same steps and the same balls at rest.
        EXPECT_EQ(steps, expect.steps) << path;
        EXPECT_EQ(int32_t(TrSimGet()->simTime / TR_STEP_MS) + 1, expect.steps) << path;
        EXPECT_EQ(hash_unbroken(f), hash) << path;
        if (expect.destroyed == 0) {
            EXPECT_EQ(Phys_BallHash(f), expect.hash) << path;
        }
        const int32_t sunk = Palya_CountSunk();
        TrRunKeyStop();
        EXPECT_EQ(sunk >= f->ballsNeeded, expect.solved) << path;
        EXPECT_TRUE(expect.solved) << path;
        EXPECT_EQ(f->levelFlags & LF_PLAYABLE, LF_PLAYABLE) << path;
    }
}

TEST_F(Fields, EveryShippedFieldLiesInItsStartingView)
{
    // The game's view: 640 x 480 less the status line, its camera's field of view and aspect.
    constexpr int kW = 640, kH = 480 - 29;
    br_pixelmap view{};
    view.width = kW;
    view.height = kH;
    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    auto *c = static_cast<br_camera *>(camera->type_data);
    c->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    c->hither_z = 0.1f;
    c->yon_z = 20.0f;
    c->field_of_view = 7280;
    c->aspect = float(kW) / float(kH);
    br_actor *root = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    // The shipped fields, then the first once more with its camera brought too near to see it whole.
    std::vector<std::string> files = shipped();
    files.push_back(files.front());
    for (size_t n = 0; n < files.size(); n++) {
        const std::string &path = files[n];
        const bool near = n + 1 == files.size();
        ASSERT_EQ(Palya_Replace(path.c_str(), opaque, translucent, root), 1) << path;
        TrPalya *f = Palya_Current();
        if (near)
            f->distance = 0.5f;
        TrPlaceFieldCamera(camera, f);
        int outside = 0;
        // Every element's cell in the field root's frame (a cell 0.1 wide, a layer 0.055 high, the
        // ground layer's top at the root), and above a ball the tip of its direction arrow.
        std::vector<std::array<float, 3>> points;
        for (int32_t i = 0; i < f->count; i++) {
            const EIo *io = f->elements[i]->io;
            const float x = 0.1f * io->x, y = 0.055f * io->y, z = 0.1f * io->z;
            for (int corner = 0; corner < 8; corner++)
                points.push_back({x + (corner & 1 ? 0.1f : 0.0f), y - (corner & 2 ? 0.055f : 0.0f),
                                  z + (corner & 4 ? 0.1f : 0.0f)});
            if (io->flags & EF_BALL)
                points.push_back({x + 0.05f, y - 0.0275f + 0.0075f + 0.077f + 0.01f, z + 0.05f});
        }
        for (const auto &p : points) {
            int32_t sx = -1, sy = -1;
            ASSERT_EQ(View_ProjectXY(root, p.data(), &sx, &sy, camera, &view), 1) << path;
            const bool in = sx >= 0 && sx < kW && sy >= 0 && sy < kH;
            outside += !in;
            if (!near) {
                EXPECT_TRUE(in) << path << " point " << p[0] << ", " << p[1] << ", " << p[2] << " at " << sx << ", "
                                << sy;
            }
        }
        if (near) {
            EXPECT_GT(outside, 0) << path;
        }
    }
    Palya_Release();
    BrActorFree(world);
}

TEST_F(Fields, EveryKindOfElementIsPlayedSomewhere)
{
    std::set<int32_t> kinds, handedOut;
    for (const std::string &path : shipped()) {
        TrPalya *f = Palya_FOpenLoad(path.c_str());
        ASSERT_NE(f, nullptr) << path;
        for (int32_t i = 0; i < f->count; i++) {
            kinds.insert(f->elements[i]->io->type);
            if (!(f->elements[i]->io->flags & EF_LEVEL_PART))
                handedOut.insert(f->elements[i]->io->type);
        }
        Palya_Free(f);
    }
    const std::set<int32_t> all = {TY_G_FEM,   TY_G_GUMI,  TY_G_BOMBA,  TY_G_UVEG, TY_T_LEJTO, TY_T_SAROK,
                                   TY_T_SIMA, TY_T_MAGNES, TY_T_SZOGES, TY_T_CEL,  TY_T_INDITO};
    EXPECT_EQ(kinds, all);
    // What the player can be handed: every ball, the slope, the corner, the block and the start.
    EXPECT_EQ(handedOut, (std::set<int32_t>{TY_G_FEM, TY_G_GUMI, TY_G_BOMBA, TY_G_UVEG, TY_T_LEJTO, TY_T_SAROK,
                                            TY_T_SIMA, TY_T_INDITO}));
}

TEST_F(Fields, CheckRefusesBrokenCopies)
{
    const std::string text = "balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 2 0 0 0 goal\n"
                             "piece 1 1 0 0 block\nelem 0 1 0 3 iron\n";
    struct Case {
        std::string extra;
        const char *why;  // empty: allowed
    } cases[] = {
        {"", ""},
        {"piece 0 2 0 0 block\n", "a piece on a ball"},
        {"elem 0 2 0 0 block\n", "a piece on a ball"},
        {"piece 2 1 0 0 block\n", "a supplied piece not allowed"},
        {"elem 1 0 0 0 block\n", "two elements in one cell"},
        {"elem 1 2 0 4 plastic\n", "a ball without a direction"},
        {"piece 1 2 0 0 magnet\n", "always fixed"},
        {"piece 1 2 0 0 nailed\n", "always fixed"},
    };
    char why[160];
    for (const Case &c : cases) {
        std::string error;
        TrPalya *f = trtext::parse(text + c.extra, error);
        ASSERT_NE(f, nullptr) << error;
        const int ok = TrFieldCheck(f, why, sizeof why);
        EXPECT_EQ(ok, c.why[0] == '\0') << c.extra;
        if (!ok) {
            EXPECT_NE(std::string(why).find(c.why), std::string::npos) << why;
        }
        Palya_Free(f);
    }
    // Without a goal.
    std::string error;
    TrPalya *f = trtext::parse("balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 0 1 0 3 iron\n", error);
    EXPECT_EQ(TrFieldCheck(f, why, sizeof why), 0);
    EXPECT_STREQ(why, "no goal");
    Palya_Free(f);
}

TEST_F(Fields, SimrunFailsTheBuildOnABrokenCopy)
{
    // A shipped field with its goal made a block: --check names the reason and fails.
    const auto files = shipped();
    TrPalya *f = Palya_FOpenLoad(files.front().c_str());
    ASSERT_NE(f, nullptr);
    for (int32_t i = 0; i < f->count; i++)
        if (f->elements[i]->io->type == TY_T_CEL)
            f->elements[i]->io->type = TY_T_SIMA;
    const std::string path = ::testing::TempDir() + "/nogoal.trl";
    ASSERT_EQ(Palya_FSave(path.c_str(), f), 1);
    Palya_Free(f);
    const std::string cmd = std::string(TERROW_SIMRUN) + " " + path + " --check 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[256] = "";
    std::string out;
    while (fgets(line, sizeof line, p))
        out += line;
    EXPECT_NE(pclose(p), 0);
    EXPECT_NE(out.find("no goal"), std::string::npos) << out;
}

namespace {

std::string run_out(const std::string &cmd, int *status)
{
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    std::string out;
    char line[512];
    while (p != nullptr && fgets(line, sizeof line, p))
        out += line;
    *status = p != nullptr ? pclose(p) : -1;
    return out;
}

std::string file_bytes(const std::string &path)
{
    std::string data;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            data.append(buf, n);
        fclose(f);
    }
    return data;
}

}  // namespace

// trview plays a shipped field's solution from another folder, the field named relative to it: the
// ball rolls (the picture changes over game time) and ends in the goal; a missing or damaged file is
// refused with a message and no picture.
TEST(TrViewField, RunsTheSolutionHeadlessFromAnyFolder)
{
    const std::string dir = VOK_TEST_BIN_DIR "/trview-field";
    ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
    const std::string field = shipped().front();
    ASSERT_EQ(system(("cp " + field + " " + dir + "/f.trl").c_str()), 0);
    const std::string tv = "cd " + dir + " && " VOK_BIN_DIR "/trview ";
    int status = 0;
    std::string out = run_out(tv + "f.trl --out still.png --size 320x240", &status);
    EXPECT_EQ(status, 0) << out;
    out = run_out(tv + "f.trl --run --ms 0 --out at0.png --size 320x240", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("0 of 1 balls in the goal at 0 ms"), std::string::npos) << out;
    out = run_out(tv + "f.trl --run --ms 1500 --out at1500.png --size 320x240", &status);
    EXPECT_EQ(status, 0) << out;
    out = run_out(tv + "f.trl --run --ms 60000 --out end.png --size 320x240", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("at rest after"), std::string::npos) << out;
    EXPECT_NE(out.find("1 of 1 balls in the goal"), std::string::npos) << out;
    const std::string still = file_bytes(dir + "/still.png"), at0 = file_bytes(dir + "/at0.png"),
                      at1500 = file_bytes(dir + "/at1500.png");
    // A varied picture; the run takes the direction markers away, and the ball moves on.
    EXPECT_GT(still.size(), 5000u);
    EXPECT_TRUE(still != at0);
    EXPECT_TRUE(at0 != at1500);

    for (const char *bad : {"missing.trl", "damaged.trl"}) {
        if (std::string(bad) == "damaged.trl") {
            std::string bytes = file_bytes(dir + "/f.trl");
            bytes.resize(bytes.size() / 2);
            FILE *f = fopen((dir + "/damaged.trl").c_str(), "wb");
            ASSERT_NE(f, nullptr);
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        out = run_out(tv + bad + " --run --out bad.png", &status);
        EXPECT_NE(status, 0) << bad;
        EXPECT_NE(out.find(bad), std::string::npos) << out;
        EXPECT_EQ(access((dir + "/bad.png").c_str(), F_OK), -1) << bad;
    }
}
