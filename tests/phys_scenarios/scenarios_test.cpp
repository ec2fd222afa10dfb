// Whole runs of small fields to rest: each field is run twice and must end the same way both times,
// come to rest within the cap, and show its own outcome.
#include <math.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"
#include "worldtest.h"

namespace {

using wtest::World;

constexpr int kCap = 20000;  // 500 s of game time

struct Trace {
    int steps = 0;
    bool rested = false;
    bool sawNegativeVx[2] = {false, false};  // first two balls in field order
    bool sawPositiveVx[2] = {false, false};
    float maxSpeed = 0;
    float minX = 1e9f;  // of the first ball
    unsigned motions = 0;  // bit per motion state the first ball was in after a step
};

class Scenario : public World {
protected:
    std::vector<TrElem *> balls;

    TrElem *ball(int32_t x, int32_t y, int32_t z, int32_t type, int32_t dir)
    {
        TrElem *e = add(x, y, z, type, dir);
        balls.push_back(e);
        return e;
    }

    // Runs the built field to rest; `atEnd` sees the world before it is freed.
    Trace run(const std::function<void()> &atEnd = nullptr)
    {
        Trace t;
        Phys_Build(field);
        for (int k = 0; k < kCap && !t.rested; k++) {
            t.rested = Phys_Step(field, k * PH_STEP_MS) == 1;
            t.steps = k + 1;
            for (size_t i = 0; i < balls.size() && i < 2; i++)
                if (const PhElem *o = balls[i]->physObject) {
                    const FV3 &v = static_cast<const PhBall *>(o)->velocity;
                    t.sawNegativeVx[i] |= v.x < -0.1f;
                    t.sawPositiveVx[i] |= v.x > 0.1f;
                    t.maxSpeed = fmaxf(t.maxSpeed, static_cast<float>(v.Length()));
                    if (i == 0) {
                        t.minX = fminf(t.minX, o->position.x);
                        t.motions |= 1u << static_cast<const PhBall *>(o)->motion;
                    }
                    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << "step " << k;
                }
        }
        if (atEnd)
            atEnd();
        Phys_Free();
        return t;
    }

    static const PhBall *live(TrElem *e) { return static_cast<const PhBall *>(e->physObject); }
    static uint32_t ends(TrElem *e) { return e->io->flags & (EF_SUNK | EF_DESTROYED | EF_ENTERED); }
};

}  // namespace

namespace {

// One field per test, run twice; both runs must rest within the cap with identical ball hashes.
// A third run without the fast paths (plain walks, all ball pairs) must end the same way.
class Fields : public Scenario {
protected:
    uint64_t hashes[3] = {0, 0, 0};
    Trace traces[3];

    void TearDown() override
    {
        Phys_SetFastPaths(true);
        Scenario::TearDown();
    }

    void twice(const std::function<void()> &atEnd = nullptr)
    {
        for (int i = 0; i < 3; i++) {
            Phys_SetFastPaths(i < 2);
            traces[i] = run([&] {
                hashes[i] = Phys_BallHash(field);
                if (atEnd && i == 0)
                    atEnd();
            });
            EXPECT_TRUE(traces[i].rested) << "no rest within " << kCap << " steps";
        }
        Phys_SetFastPaths(true);
        EXPECT_EQ(hashes[0], hashes[1]);
        EXPECT_EQ(traces[0].steps, traces[1].steps);
        EXPECT_EQ(hashes[0], hashes[2]) << "without the fast paths";
        EXPECT_EQ(traces[0].steps, traces[2].steps) << "without the fast paths";
        EXPECT_EQ(traces[0].motions, traces[2].motions) << "without the fast paths";
    }
};

}  // namespace

TEST_F(Fields, RollsAcrossTilesIntoGoal)
{
    floor(5, 1);
    field->elements[4]->io->type = TY_T_CEL;  // (4, 0, 0)
    TrElem *b = ball(0, 1, 0, TY_G_FEM, 3);
    field->ballsNeeded = 1;
    twice();
    EXPECT_EQ(ends(b), EF_ENTERED | EF_SUNK);
    EXPECT_EQ(b->physObject, nullptr);
}

TEST_F(Fields, RollsOffRaisedTileAndLands)
{
    floor(6, 1);
    add(0, 1, 0, TY_T_SIMA);
    add(1, 1, 0, TY_T_SIMA);
    TrElem *b = ball(0, 2, 0, TY_G_FEM, 3);
    float endY = -1, endX = -1;
    twice([&] {
        endY = live(b)->position.y;
        endX = live(b)->position.x;
    });
    EXPECT_EQ(ends(b), 0u);
    EXPECT_NEAR(endY, 0.35f, 1e-3f);  // on the floor layer
    EXPECT_GT(endX, 2.0f);
}

TEST_F(Fields, RollsDownSlope)
{
    floor(5, 1);
    add(3, 1, 0, TY_T_SIMA);
    add(2, 1, 0, TY_T_LEJTO, 0);  // falls towards -x
    TrElem *b = ball(3, 2, 0, TY_G_FEM, 1);
    twice();
    EXPECT_EQ(ends(b), 0u);
    EXPECT_LT(traces[0].minX, 1.0f);      // down on the floor beyond the slope's foot
    EXPECT_GT(traces[0].maxSpeed, 1.6f);  // gravity along the slope sped it up
}

TEST_F(Fields, BombRollsOverCrestDownSlopeIntoGoal)
{
    // Leaving the raised tile the bomb rolls over the slope's crest instead of flying onto it, down
    // the slope, across the floor and into the goal, in one piece.
    floor(5, 1);
    field->elements[0]->io->type = TY_T_CEL;  // (0, 0, 0)
    add(3, 1, 0, TY_T_SIMA);
    add(2, 1, 0, TY_T_LEJTO, 0);  // falls towards -x
    TrElem *b = ball(3, 2, 0, TY_G_BOMBA, 1);
    field->ballsNeeded = 1;
    twice();
    EXPECT_EQ(ends(b), EF_ENTERED | EF_SUNK);
    const unsigned seen = traces[0].motions;
    EXPECT_TRUE(seen & (1u << MT_LEGORDUL)) << seen;
    EXPECT_TRUE(seen & (1u << MT_EVEL)) << seen;
    EXPECT_FALSE(seen & (1u << MT_SZE)) << seen;  // it never flew
}

TEST_F(Fields, BombRollsUpSlopeOverCrestIntoRaisedGoal)
{
    // Down one slope for speed, across the floor, up the other and over its crest onto the raised
    // tile beyond and into the goal after it, without leaving the surface.
    floor(8, 1);
    add(7, 1, 0, TY_T_SIMA);
    add(6, 1, 0, TY_T_LEJTO, 0);  // falls towards -x
    add(2, 1, 0, TY_T_LEJTO, 2);  // falls towards +x
    add(1, 1, 0, TY_T_SIMA);
    add(0, 1, 0, TY_T_CEL);
    TrElem *b = ball(7, 2, 0, TY_G_BOMBA, 1);
    field->ballsNeeded = 1;
    twice();
    EXPECT_EQ(ends(b), EF_ENTERED | EF_SUNK);
    const unsigned seen = traces[0].motions;
    EXPECT_TRUE(seen & (1u << MT_FOLGORDUL)) << seen;
    EXPECT_FALSE(seen & (1u << MT_SZE)) << seen;
}

TEST_F(Fields, BouncesOffFieldWall)
{
    floor(3, 1);
    TrElem *b = ball(0, 1, 0, TY_G_GUMI, 3);
    float endX = -1;
    twice([&] { endX = live(b)->position.x; });
    EXPECT_TRUE(traces[0].sawNegativeVx[0]);
    EXPECT_GE(endX, 0.35f - 1e-4f);
    EXPECT_LE(endX, 3.0f - 0.35f + 1e-4f);
}

TEST_F(Fields, MagnetCatchesIronBall)
{
    floor(5, 1);
    field->elements[3]->io->type = TY_T_MAGNES;  // (3, 0, 0) in the floor
    TrElem *b = ball(0, 1, 0, TY_G_FEM, 3);
    int motion = -1;
    uint32_t attracted = 0;
    float endX = -1;
    twice([&] {
        motion = live(b)->motion;
        attracted = live(b)->attracted;
        endX = live(b)->position.x;
    });
    EXPECT_EQ(motion, MT_MAGN_ALL);
    EXPECT_EQ(attracted, 1u);
    EXPECT_NEAR(endX, 3.5f, 0.5f);
}

TEST_F(Fields, GlassBallOnSpikesIsDestroyed)
{
    floor(5, 1);
    field->elements[2]->io->type = TY_T_SZOGES;
    TrElem *b = ball(0, 1, 0, TY_G_UVEG, 3);
    twice();
    EXPECT_EQ(ends(b), EF_DESTROYED);
    EXPECT_EQ(b->physObject, nullptr);
}

TEST_F(Fields, BombOnRaisedTileDestroysBoth)
{
    floor(5, 1);
    TrElem *tile = add(3, 1, 0, TY_T_SIMA);
    TrElem *b = ball(0, 1, 0, TY_G_BOMBA, 3);
    twice();
    EXPECT_EQ(ends(b), EF_DESTROYED);
    EXPECT_EQ(tile->io->flags & EF_DESTROYED, EF_DESTROYED);
}

TEST_F(Fields, IronBallsMeetHeadOn)
{
    floor(7, 1);
    TrElem *a = ball(0, 1, 0, TY_G_FEM, 3);
    TrElem *b = ball(6, 1, 0, TY_G_FEM, 1);
    twice();
    // Equal masses and k = 2: they swap their velocities, each turning back.
    EXPECT_TRUE(traces[0].sawNegativeVx[0]);
    EXPECT_TRUE(traces[0].sawPositiveVx[1]);
    EXPECT_EQ(ends(a) | ends(b), 0u);
}

TEST_F(Fields, BallsSettleAgainstEachOther)
{
    floor(4, 1);
    TrElem *a = ball(0, 1, 0, TY_G_GUMI, 3);
    TrElem *b = ball(2, 1, 0, TY_G_GUMI, TR_DIR_UNSET);
    float gap = 0;
    twice([&] { gap = static_cast<float>((live(a)->position - live(b)->position).Length()); });
    EXPECT_GT(gap, 0.6f);  // not sunk into each other
}

TEST_F(Fields, BallsComeToRestTogetherInDip)
{
    // A dip between two slopes: a ball rolls down into a still one at the bottom; they knock about
    // and end at rest in the dip, one leaning on the other, touching but not sunk into each other.
    floor(5, 1);
    add(0, 1, 0, TY_T_SIMA);
    add(1, 1, 0, TY_T_LEJTO, 2);  // falls towards +x
    add(3, 1, 0, TY_T_LEJTO, 0);  // falls towards -x
    add(4, 1, 0, TY_T_SIMA);
    TrElem *a = ball(4, 2, 0, TY_G_GUMI, 1);
    TrElem *b = ball(2, 1, 0, TY_G_FEM, TR_DIR_UNSET);
    float gap = 0, ax = 0, bx = 0, speed = 1;
    twice([&] {
        gap = static_cast<float>((live(a)->position - live(b)->position).Length());
        ax = live(a)->position.x;
        bx = live(b)->position.x;
        speed = static_cast<float>(live(a)->velocity.Length() + live(b)->velocity.Length());
    });
    EXPECT_EQ(ends(a) | ends(b), 0u);
    EXPECT_GT(gap, 0.6f);
    EXPECT_LT(gap, 0.7f);
    for (float x : {ax, bx}) {
        EXPECT_GT(x, 1.0f);
        EXPECT_LT(x, 4.0f);
    }
    EXPECT_EQ(speed, 0.0f);
}

// A one-ball field rolling into its goal, saved for terrow-simrun, and the tool's output and status.
class Simrun : public Fields {
protected:
    char dir[32] = "/tmp/simrunXXXXXX";
    std::string path;
    void SetUp() override
    {
        Fields::SetUp();
        floor(5, 1);
        field->elements[4]->io->type = TY_T_CEL;
        ball(0, 1, 0, TY_G_FEM, 3);
        field->ballsNeeded = 1;
        ASSERT_NE(mkdtemp(dir), nullptr);
        path = std::string(dir) + "/goal.trl";
        ASSERT_EQ(Palya_FSave(path.c_str(), field), 1);
    }
    void TearDown() override
    {
        unlink(path.c_str());
        rmdir(dir);
        Fields::TearDown();
    }
    int run(const std::string &args, std::string &out)
    {
        FILE *p = popen((std::string(SIMRUN_PATH) + " " + path + args).c_str(), "r");
        if (p == nullptr)
            return -1;
        char buf[256];
        while (fgets(buf, sizeof buf, p) != nullptr)
            out += buf;
        return pclose(p);
    }
};

TEST_F(Simrun, PrintsSolvedForGoalField)
{
    std::string out;
    EXPECT_EQ(run("", out), 0);
    EXPECT_EQ(out.rfind("solved\n", 0), 0u) << out;
    EXPECT_NE(out.find("sunk 1 of 1 needed"), std::string::npos) << out;
}

TEST_F(Simrun, StepCapKeepsTheTimeInRange)
{
    // The step time in ms is 32-bit: a cap whose last step would pass it is refused.
    const struct {
        const char *steps;
        int exitCode;
    } cases[] = {{"85899345", 0}, {"85899346", 2}, {"100000000", 2}, {"0", 2}};
    for (const auto &c : cases) {
        std::string out;
        const int status = run(std::string(" --steps ") + c.steps + " 2>/dev/null", out);
        ASSERT_NE(status, -1);
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.steps << ": " << out;
        if (c.exitCode == 0)
            EXPECT_EQ(out.rfind("solved\n", 0), 0u) << out;
    }
}
