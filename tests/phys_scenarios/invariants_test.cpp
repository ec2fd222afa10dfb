// What every run must keep: a moving ball moves on or comes to rest, the balls' energy never grows
// beyond the start and what the magnets gave, nothing passes through a piece at the largest speed the
// tuning sets, and the time of impact is the first root of the contact equation.
#include <math.h>

#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "busyfield.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phsolve.h"
#include "terrow/phys/phstep.h"
#include "worldtest.h"

namespace {

constexpr int kCap = 20000;  // 500 s of game time

struct Outcome {
    bool rested = false;
    int steps = 0;
    double worstGain = 0;  // the most the total energy stood above the start and the sources
    double worstStepRise = 0;  // the most one step raised the total beyond what it booked as sources
    int worstStep = -1;
    float firstBallTravel = 0;
};

class Invariants : public wtest::World {
protected:
    void use(TrPalya *f)
    {
        Palya_Free(field);
        field = f;
    }

    // Steps the built world and tells whether ball a ever got past ball b along x; frees the world.
    bool ever_passes(const PhBall *a, const PhBall *b, int steps)
    {
        bool passed = false;
        for (int k = 0; k < steps; k++) {
            Phys_Step(field, k * PH_STEP_MS);
            passed |= a->position.x > b->position.x;
        }
        Phys_Free();
        return passed;
    }

    // Runs the field to rest, checking the energy after every step; `each` sees the world after a step.
    Outcome run(const std::function<void(int)> &each = nullptr)
    {
        Outcome out;
        Phys_Build(field);
        const double start = Phys_Energy();
        TrElem *firstBall = nullptr;
        for (int32_t i = 0; i < field->count && firstBall == nullptr; i++)
            if (field->elements[i]->io->flags & EF_BALL)
                firstBall = field->elements[i];
        const FV3 from = firstBall != nullptr && firstBall->physObject ? firstBall->physObject->position : FV3(0, 0, 0);
        // Each ball's energy before the step: a ball that leaves the field (below the floor, its
        // energy under zero) takes its own away, which is no gain for the others.
        std::unordered_map<const PhBall *, float> before;
        auto remember = [&before] {
            before.clear();
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                if (b->finishCode == 0)
                    before[b] = b->energy;
        };
        remember();
        double booked = 0;
        for (int k = 0; k < kCap && !out.rested; k++) {
            out.rested = Phys_Step(field, k * PH_STEP_MS) == 1;
            out.steps = k + 1;
            const double gain = Phys_Energy() - (start + PhysWorld.sourceEnergy);
            double rise = -(PhysWorld.sourceEnergy - booked);
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                const auto was = before.find(b);
                if (b->finishCode == 0 && was != before.end())
                    rise += double(b->energy) - was->second;
            }
            if (rise > out.worstStepRise) {
                out.worstStepRise = rise;
                out.worstStep = k;
            }
            remember();
            booked = PhysWorld.sourceEnergy;
            // Single-precision energies: a hair per ball is rounding.
            if (gain > out.worstGain)
                out.worstGain = gain;
            if (firstBall != nullptr && firstBall->physObject != nullptr)
                out.firstBallTravel = fmaxf(out.firstBallTravel,
                                            static_cast<float>((firstBall->physObject->position - from).Length()));
            if (each)
                each(k);
        }
        Phys_Free();
        return out;
    }

    void text_field(const std::vector<std::array<int, 5>> &elems)
    {
        for (const auto &e : elems)
            add(e[0], e[1], e[2], e[4], e[3]);
    }
};

}  // namespace

// A ball on the field's floor where there is no piece under it (a hole, or a piece at ground level
// that lies below the floor) rolls on and comes to rest; it used to be rewound to its place every step.
TEST_F(Invariants, BallOverGroundLevelGapMovesOnAndRests)
{
    for (int type : {-1, TY_T_SAROK, TY_T_LEJTO}) {
        SCOPED_TRACE(type);
        use(Palya_NewEmpty());
        add(2, 0, 0, TY_T_SIMA);
        if (type >= 0)
            add(1, 0, 0, type, 0);
        add(0, 1, 0, TY_G_FEM, 3);
        const Outcome o = run();
        EXPECT_TRUE(o.rested) << "no rest within the cap";
        EXPECT_GT(o.firstBallTravel, 1.0f);
        EXPECT_LT(o.worstGain, 1e-3);
    }
}

// A rubber ball between a slope and a corner: the lift onto the ramp is paid for with speed, so the
// ball loses energy at every bounce and rests.
TEST_F(Invariants, RubberBallBetweenSlopeAndCornerRests)
{
    for (int ds = 0; ds < 4; ds++)
        for (int dc = 0; dc < 4; dc++) {
            SCOPED_TRACE(ds * 10 + dc);
            use(Palya_NewEmpty());
            floor(5, 1);
            add(0, 1, 0, TY_T_LEJTO, ds);
            add(4, 1, 0, TY_T_SAROK, dc);
            add(2, 1, 0, TY_G_GUMI, 3);
            const Outcome o = run();
            EXPECT_TRUE(o.rested);
            EXPECT_LT(o.worstGain, 1e-3);
        }
}

// Generated fields with holes, every piece kind at several heights and balls of every kind: all come
// to rest within the cap, and the energy never grows beyond the start and what the magnets gave.
TEST_F(Invariants, GeneratedFieldsRestWithoutGainingEnergy)
{
    int capped = 0, gaining = 0;
    for (int k = 0; k < 300; k++) {
        // Small fields with a few balls, and the busier 10 x 10 fields with 20 (seeds 1-200: seed 167
        // has an iron ball in a floor hole pulled against a ball its magnet holds).
        const uint64_t seed = k < 100 ? uint64_t(k) + 1 : uint64_t(k) - 99;
        use(k < 100 ? busyfield::mixed(seed, 7, 6) : busyfield::mixed(seed, 10, 20));
        const Outcome o = run();
        if (!o.rested)
            ADD_FAILURE() << "field " << k << ": no rest within " << kCap << " steps";
        if (o.worstGain > 1e-3)
            ADD_FAILURE() << "field " << k << ": energy above its start by " << o.worstGain;
        capped += !o.rested;
        gaining += o.worstGain > 1e-3;
    }
    EXPECT_EQ(capped, 0);
    EXPECT_EQ(gaining, 0);
}

// The same fields step by step: no single step raises the total energy (gravity's fall is in it)
// beyond what its magnets gave. A gain in one step can hide behind losses before it in the check
// against the start; a ball lifted onto a piece beside it used to gain its height for nothing.
TEST_F(Invariants, NoStepGainsEnergyBeyondItsSources)
{
    int gaining = 0;
    for (int k = 0; k < 300; k++) {
        const uint64_t seed = k < 100 ? uint64_t(k) + 1 : uint64_t(k) - 99;
        use(k < 100 ? busyfield::mixed(seed, 7, 6) : busyfield::mixed(seed, 10, 20));
        const Outcome o = run();
        // A hair of height a resting ball keeps after its last hop is 1e-3 or so; a ball lifted onto
        // a piece for nothing gains several units.
        if (o.worstStepRise > 2e-2)
            ADD_FAILURE() << "field " << k << " (seed " << seed << "): step " << o.worstStep << " gained "
                          << o.worstStepRise;
        gaining += o.worstStepRise > 2e-2;
    }
    EXPECT_EQ(gaining, 0);
    // Busy fields where a ball grazing the floor beside a ramp was set onto the ramp for nothing.
    for (const uint64_t seed : {1121u}) {
        use(busyfield::mixed(seed, 10, 20));
        const Outcome o = run();
        EXPECT_LE(o.worstStepRise, 2e-2) << "seed " << seed << ": step " << o.worstStep;
    }
}

// A magnet holds a ball it keeps swinging or pressing against a piece only where the pull turns the
// ball back: a ball passing at speed (up to 6 units/s in these fields) is never stopped dead.
TEST_F(Invariants, MagnetHoldsATrappedBallOnlyAtTheEndOfItsSwing)
{
    int held = 0;
    float fastest = 0;
    for (uint64_t seed : {11, 43, 44, 53, 85, 122}) {
        use(busyfield::mixed(seed, 10, 20));
        std::vector<std::pair<const PhBall *, float>> before;
        run([&](int) {
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                for (const auto &e : before)
                    if (e.first == b && b->motion == MT_MAGN_ALL && b->trapSteps > PH_TRAP_STEPS &&
                        e.second >= 0) {
                        held++;
                        fastest = fmaxf(fastest, e.second);
                    }
            }
            before.clear();
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                before.push_back({b, b->motion == MT_MAGN_ALL ? -1.0f : static_cast<float>(b->velocity.Length())});
        });
    }
    EXPECT_GT(held, 5);
    EXPECT_LT(fastest, 2.5f);
}

// Fields where an iron ball a magnet pulls keeps swinging within its reach: the swing dies out and the
// field rests within the cap, without gaining energy.
TEST_F(Invariants, SwingingAttractedBallComesToRest)
{
    for (uint64_t seed : {1118, 1331, 5080, 6036, 6316, 7092}) {
        SCOPED_TRACE(seed);
        use(busyfield::mixed(seed, 10, 20));
        const Outcome o = run();
        EXPECT_TRUE(o.rested) << "no rest within the cap";
        EXPECT_LT(o.worstGain, 1e-3);
    }
}

// A ball the rest rule holds where it kept its place (here one leaning down a slope on another ball)
// rolls on once the ball it leaned on is knocked away; it used to stay put until something hit it.
TEST_F(Invariants, HeldBallRollsOnWhenTheBallItLeansOnLeaves)
{
    floor(6, 12);
    add(1, 1, 1, TY_T_LEJTO, 2);
    add(3, 1, 1, TY_T_SIMA);
    PhBall *a = nullptr, *b = nullptr;
    TrElem *ae = add(2, 1, 1, TY_G_FEM, 4);
    TrElem *be = add(1, 2, 1, TY_G_FEM, 4);
    Phys_Build(field);
    a = obj<PhBall>(ae);
    b = obj<PhBall>(be);
    b->velocity = FV3(0, -0.1f, 0);  // dropped onto the slope
    PhBall_SetMotion(*b, MT_SZE, b->position, b->velocity, 0, 0);
    int k = 0;
    while (k < 400 && Phys_Step(field, k * PH_STEP_MS) == 0)
        k++;
    ASSERT_LT(k, 400);
    ASSERT_LT((a->position - b->position).Length(), a->radius + b->radius);  // b leans on a
    // As the rule leaves a ball it holds: kept its place for the count, one ball touching it.
    b->blockedSteps = PH_BLOCKED_STEPS + 1;
    b->blockedAt = b->position;
    b->heldTouching = 1;
    a->velocity = FV3(0, 0, 3);  // knocked away sideways
    PhBall_SetMotion(*a, MT_EVE, a->position, a->velocity, a->currentTime, 1);
    const float from = b->position.x;
    for (int j = 1; j <= 40; j++)
        Phys_Step(field, (k + j) * PH_STEP_MS);
    EXPECT_GT(b->position.x - from, 0.05f);  // down the slope
}

// At the largest launch speed the tuning sets (60 units/s, 1.5 cells a step) a ball meets a raised
// block a cell thick and never passes it, from either side, whatever the step's phase against the
// block (the distance to it).
TEST_F(Invariants, FastBallNeverPassesAOneCellWall)
{
    for (float speed : {60.0f, 45.0f, 30.0f})
        for (int wall = 3; wall <= 8; wall++)
            for (int dir : {1, 3}) {
                SCOPED_TRACE(testing::Message() << "speed " << speed << " wall " << wall << " dir " << dir);
                use(Palya_NewEmpty());
                PhyParams = Phy_Defaults();
                PhyParams.launchSpeed = speed;
                floor(12, 1);
                add(wall, 1, 0, TY_T_SIMA);
                add(dir == 3 ? 0 : 11, 1, 0, TY_G_FEM, dir);
                bool passed = false;
                run([&](int) {
                    for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                        if (b->finishCode == 0)
                            passed |= dir == 3 ? b->position.x > float(wall) : b->position.x < float(wall + 1);
                });
                EXPECT_FALSE(passed);
            }
    PhyParams = Phy_Defaults();
}

// The same speed against slopes and corners of every direction, met square on and off their middle:
// the ball's centre comes no nearer the solid than half its radius anywhere along its way.
TEST_F(Invariants, FastBallNeverEntersASlopeOrCorner)
{
    for (int type : {TY_T_LEJTO, TY_T_SAROK})
        for (int key = 0; key < 4; key++)
            for (int wall = 3; wall <= 8; wall++)
                for (int dir : {1, 3})
                    for (float offset : {0.0f, 0.45f}) {
                        SCOPED_TRACE(testing::Message() << "type " << type << " key " << key << " wall " << wall
                                                        << " dir " << dir << " offset " << offset);
                        use(Palya_NewEmpty());
                        PhyParams = Phy_Defaults();
                        PhyParams.launchSpeed = 60.0f;
                        floor(12, 3);
                        TrElem *piece = add(wall, 1, 1, type, key);
                        TrElem *ballElem = add(dir == 3 ? 0 : 11, 1, 1, TY_G_FEM, dir);
                        Phys_Build(field);
                        PhBall *b = obj<PhBall>(ballElem);
                        b->position.z += offset;
                        b->prevPosition = b->position;
                        b->UpdateCell();
                        const PhRampGeom &g = *obj<PhRamp>(piece)->geom;
                        float nearest = 1e9f;
                        FV3 prev = b->position;
                        for (int k = 0; k < 400 && Phys_Step(field, k * PH_STEP_MS) == 0; k++) {
                            if (b->finishCode != 0)
                                break;
                            for (int j = 0; j <= 16; j++) {
                                FV3 toSolid;
                                const FV3 q = prev + (b->position - prev) * (j / 16.0f);
                                const int region = Ramp_Region(g, q, &toSolid);
                                nearest = fminf(nearest, region == 0 ? 0.0f : static_cast<float>(toSolid.Length()));
                            }
                            prev = b->position;
                        }
                        Phys_Free();
                        EXPECT_GE(nearest, 0.5f * 0.35f);
                    }
    PhyParams = Phy_Defaults();
}

// Nor does it pass another ball: at 60 units/s a ball used to go through a ball lying still in its
// lane (and that ball, struck later, back through it) whenever neither step's end found them touching.
TEST_F(Invariants, FastBallNeverPassesABall)
{
    for (float speed : {60.0f, 30.0f})
        for (int cell = 3; cell <= 8; cell++)
            for (float offset : {0.0f, 0.25f, 0.5f, 0.75f}) {
                SCOPED_TRACE(testing::Message() << "speed " << speed << " cell " << cell << " offset " << offset);
                use(Palya_NewEmpty());
                PhyParams = Phy_Defaults();
                PhyParams.launchSpeed = speed;
                floor(12, 1);
                TrElem *ae = add(0, 1, 0, TY_G_FEM, 3);
                TrElem *be = add(cell, 1, 0, TY_G_FEM, 4);
                Phys_Build(field);
                PhBall *a = obj<PhBall>(ae), *b = obj<PhBall>(be);
                b->position.x += offset;
                b->prevPosition = b->position;
                b->UpdateCell();
                EXPECT_FALSE(ever_passes(a, b, 200));
            }
    PhyParams = Phy_Defaults();
}

// Nor do two balls head-on at that speed, tiny ones included: balls so small that the sweep's inset
// takes their touching distance below zero.
TEST_F(Invariants, FastBallsHeadOnNeverPassEachOther)
{
    for (float radius : {0.35f, 0.0005f, 0.0004f})
        for (int cell = 4; cell <= 7; cell++) {
            SCOPED_TRACE(testing::Message() << "radius " << radius << " cell " << cell);
            use(Palya_NewEmpty());
            PhyParams = Phy_Defaults();
            PhyParams.launchSpeed = 60.0f;
            floor(12, 1);
            TrElem *ae = add(0, 1, 0, TY_G_FEM, 3);
            TrElem *be = add(cell, 1, 0, TY_G_FEM, 1);
            Phys_Build(field);
            PhBall *a = obj<PhBall>(ae), *b = obj<PhBall>(be);
            for (PhBall *p : {a, b}) {
                p->position.y -= p->radius - radius;  // still resting on the floor
                p->radius = radius;
                p->prevPosition = p->position;
                p->UpdateCell();
            }
            EXPECT_FALSE(ever_passes(a, b, 40));
        }
    PhyParams = Phy_Defaults();
}

namespace {

std::vector<std::array<double, 8>> &recorded()
{
    static std::vector<std::array<double, 8>> q;
    return q;
}

void record_quartic(const double q[8])
{
    if (q[0] != 0 && recorded().size() < 20000)
        recorded().push_back({q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]});
}

double quartic(const std::array<double, 8> &q, double s)
{
    return (((q[0] * s + q[1]) * s + q[2]) * s + q[3]) * s + q[4];
}

// The first root by sampling the interval finely and bisecting the first sign change to 1e-9; NAN
// when the samples show none.
double reference_root(const std::array<double, 8> &q)
{
    const double lo = q[6] - q[5], hi = q[7] - q[5];
    const int n = 20000;
    double a = lo, fa = quartic(q, lo);
    if (fa == 0)
        return lo;
    for (int i = 1; i <= n; i++) {
        double b = lo + (hi - lo) * i / n;
        const double fb = quartic(q, b);
        if (fb == 0)
            return b;
        if ((fa > 0) != (fb > 0)) {
            while (b - a > 1e-9) {
                const double m = 0.5 * (a + b);
                if ((quartic(q, m) > 0) == (fa > 0))
                    a = m;
                else
                    b = m;
            }
            return a;
        }
        a = b;
        fa = fb;
    }
    return NAN;
}

}  // namespace

// The contact quartics of edge and corner contacts taken from real runs: the solver's time is never
// later than the first root (it used to answer the step's end for many of them).
TEST_F(Invariants, QuarticRootsOfRealContactsAreTheFirst)
{
    recorded().clear();
    Solve4_SetObserver(record_quartic);
    // Besides the contacts the step meets, every ball's last motion against the edges and corners
    // of the pieces around it.
    auto probe = [](int) {
        for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
            if (b->finishCode != 0 || b->sinking || !(b->currentTime > b->stepStartTime))
                continue;
            for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject) {
                if (o->IsBall() || (o->centre - b->position).Length() > 1.5)
                    continue;
                FV3 closest;
                o->Classify(*b, &closest);
                const FV3 c = closest - b->position;
                if (c.Length() < 1.2 * b->radius)
                    Env_ImpactTime(*b, o, c);
            }
        }
    };
    for (uint64_t seed = 300; seed < 400 && recorded().size() < 12000; seed++) {
        use(busyfield::mixed(seed, 10, 20));
        run(probe);
    }
    Solve4_SetObserver(nullptr);
    ASSERT_GE(recorded().size(), 10000u);
    int inside = 0;
    for (const auto &q : recorded()) {
        double out = 0;
        const int found = Solve4(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], &out);
        const double ref = reference_root(q);
        if (isnan(ref)) {
            // Only a root the samples stepped over (two close crossings or a touch) may be found.
            if (found)
                EXPECT_LE(fabs(quartic(q, out - q[5])), 1e-9) << out;
            continue;
        }
        inside += ref + q[5] < q[7] - 1e-6;
        ASSERT_EQ(found, 1);
        EXPECT_LE(out, ref + q[5] + 1e-9);
        EXPECT_GE(out, ref + q[5] - 1e-6);
    }
    EXPECT_GT(inside, 10);  // the runs give roots inside the step, not only at its end
}
