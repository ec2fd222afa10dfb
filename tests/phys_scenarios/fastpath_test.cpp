// The fast paths (per-cell candidate lists for the object queries, ball buckets for the pair loops)
// against the plain walks: every query over every cell and around every cell face of generated
// fields, before and after pieces are deleted, and whole runs of generated fields.
#include <math.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "busyfield.h"
#include "terrow/phys/phrun.h"
#include "terrow/phys/phstep.h"
#include "worldtest.h"

namespace {

struct FieldCase {
    const char *name;
    std::function<TrPalya *()> make;
};

// A ball whose element is not marked as a ball: its box moves, so the queries must still find it.
TrPalya *with_unmarked_ball()
{
    TrPalya *f = busyfield::mixed(7, 8, 4);
    TrElem *b = busyfield::put(f, 3, 3, 3, TY_G_FEM, 3);
    b->io->flags = (b->io->flags & ~EF_CLASS_MASK) | EF_NOT_BALL;
    return f;
}

const std::vector<FieldCase> &field_cases()
{
    static const std::vector<FieldCase> cases = {
        {"busy", [] { return busyfield::busy(12, 30); }},
        {"mixed 1", [] { return busyfield::mixed(1, 10, 15); }},
        {"mixed 2", [] { return busyfield::mixed(2, 10, 15); }},
        {"mixed 3", [] { return busyfield::mixed(3, 7, 30); }},
        {"unmarked ball", with_unmarked_ball},
    };
    return cases;
}

class FastPaths : public wtest::World {
protected:
    void TearDown() override
    {
        Phys_SetFastPaths(true);
        World::TearDown();
    }

    void use(TrPalya *f)
    {
        Palya_Free(field);
        field = f;
    }

    template <class Query>
    static auto both(Query q)
    {
        Phys_SetFastPaths(true);
        auto fast = q();
        Phys_SetFastPaths(false);
        auto walk = q();
        Phys_SetFastPaths(true);
        return std::make_pair(fast, walk);
    }

    // The goals listed near p are in goal-list order and hold every goal whose box widened by 0.1
    // across (x, z) holds p.
    static bool goals_near_hold_every_goal_in_reach(const FV3 &p)
    {
        PhElem *const *near = nullptr;
        int32_t n = 0;
        if (!Phys_GoalsNear(p, &near, &n))
            return false;
        int32_t k = 0;
        for (PhGoal *g = PhysWorld.goals; g != nullptr; g = g->nextGoal) {
            const FV3 &lo = g->boxLow, &hi = g->boxHigh;
            const bool inReach =
                !(p.x < lo.x - 0.1f || p.x > hi.x + 0.1f || p.z < lo.z - 0.1f || p.z > hi.z + 0.1f);
            const bool listed = k < n && near[k] == g;
            if (inReach && !listed)
                return false;
            k += listed;
        }
        return k == n;
    }

    int lastOpens = 0;  // cells the last compare_all found open

    // What the open-ground answer promises, by the full walk: around the cell nothing but pieces one
    // layer down that face straight up (or corners).
    static bool open_by_walk(int32_t x, int32_t gy, int32_t z)
    {
        Phys_SetFastPaths(false);
        const bool fastOff = !Phys_OpenAround(x, gy, z);
        bool open = true;
        for (int32_t dy = -1; dy <= 1; dy++)
            for (int32_t dz = -1; dz <= 1; dz++)
                for (int32_t dx = -1; dx <= 1; dx++) {
                    const PhElem *o = Phys_ObjAtCell(x + dx, gy + dy, z + dz, nullptr);
                    if (o != nullptr)
                        open &= dy == -1 && o->cellY == gy - 1 &&
                                (o->cls == PHC_CORNER || (o->up.x == 0 && o->up.y == 1 && o->up.z == 0));
                }
        Phys_SetFastPaths(true);
        return fastOff && open;
    }

    // Every cell and support query in and around the field, and the point queries at the middle and
    // just inside and outside the tolerance of every cell face; counts the points that found a piece.
    int compare_all(const std::string &where, const std::vector<const PhElem *> &excludes)
    {
        const PhWorld &w = PhysWorld;
        int found = 0, mismatches = 0, opens = 0;
        auto check = [&](bool same, const std::string &what) {
            if (!same && ++mismatches <= 5)
                ADD_FAILURE() << where << ": " << what;
        };
        for (const PhElem *ex : excludes)
            for (int32_t gy = -3; gy <= w.sizeY + 1; gy++)
                for (int32_t z = -2; z <= w.sizeZ + 1; z++)
                    for (int32_t x = -2; x <= w.sizeX + 1; x++) {
                        const std::string cell =
                            "cell " + std::to_string(x) + "," + std::to_string(gy) + "," + std::to_string(z);
                        auto o = both([&] { return Phys_ObjAtCell(x, gy, z, ex); });
                        check(o.first == o.second, cell);
                        auto s = both([&] { return Phys_SupportBelow(x, gy, z, ex); });
                        check(s.first == s.second, "support below " + cell);
                        if (ex == nullptr && Phys_OpenAround(x, gy, z)) {
                            check(open_by_walk(x, gy, z), "open around " + cell);
                            opens++;
                        }
                    }
        const float offsets[] = {-0.0011f, -0.0009f, 0.0009f, 0.0011f, 0.5f};
        const float yOffsets[] = {-0.0011f, -0.0009f, 0.0009f, 0.0011f, 0.275f};
        const PhElem *ex = excludes.back();
        for (int32_t gy = -2; gy <= w.sizeY; gy++)
            for (int32_t z = -1; z <= w.sizeZ; z++)
                for (int32_t x = -1; x <= w.sizeX; x++)
                    for (float oy : yOffsets)
                        for (float oz : offsets)
                            for (float ox : offsets) {
                                const FV3 p(x + ox, 0.55f * gy + oy, z + oz);
                                auto o = both([&] { return Phys_ObjAtPoint(field, p, ex); });
                                check(o.first == o.second, "point " + std::to_string(p.x) + "," +
                                                               std::to_string(p.y) + "," + std::to_string(p.z));
                                found += o.first != nullptr;
                                auto s = both([&] { return Phys_SlopeAtPoint(p); });
                                check(s.first == s.second, "slope at point");
                                if (Phys_NoSlopeNear(p))
                                    check(s.second == nullptr && (o.second == nullptr || o.second->cls != PHC_SLOPE),
                                          "no slope near point");
                                check(goals_near_hold_every_goal_in_reach(p), "goals near point");
                            }
        const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
        for (const FV3 &p : {FV3(nan, 0.1f, 0.5f), FV3(0.5f, nan, 0.5f), FV3(inf, -0.2f, 0.5f),
                             FV3(0.5f, -inf, 0.5f), FV3(3e9f, 0.1f, -3e9f), FV3(-1e6f, 1e6f, 2.5f)}) {
            auto o = both([&] { return Phys_ObjAtPoint(field, p, nullptr); });
            check(o.first == o.second, "far or undefined point");
            auto s = both([&] { return Phys_SlopeAtPoint(p); });
            check(s.first == s.second, "slope at far or undefined point");
        }
        EXPECT_EQ(mismatches, 0) << where;
        lastOpens = opens;
        return found;
    }
};

TEST_F(FastPaths, QueriesAnswerAsTheFullWalk)
{
    for (const FieldCase &fc : field_cases()) {
        use(fc.make());
        Phys_Build(field);
        std::vector<const PhElem *> excludes = {nullptr, PhysWorld.objects};
        if (PhysWorld.balls != nullptr)
            excludes.push_back(PhysWorld.balls);
        EXPECT_GT(compare_all(fc.name, excludes), 100) << fc.name;
        // Without lists (a moving box among the pieces) nothing is known open; else open ground is.
        if (std::string(fc.name) != "unmarked ball")
            EXPECT_GT(lastOpens, 0) << fc.name;
        // Deleted pieces leave the lists: every fifth fixed piece goes, as the step deletes them.
        std::vector<PhElem *> doomed;
        int k = 0;
        for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
            if (o->IsFixed() && k++ % 5 == 0)
                doomed.push_back(o);
        ASSERT_FALSE(doomed.empty());
        for (PhElem *o : doomed)
            destroy(o);
        compare_all(std::string(fc.name) + " after deletions", {nullptr});
        Phys_Free();
    }
}

TEST_F(FastPaths, UnmarkedBallIsFoundWhereItStands)
{
    use(with_unmarked_ball());
    Phys_Build(field);
    const PhElem *ball = nullptr;
    for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
        if (!(b->element->io->flags & EF_BALL))
            ball = b;
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(Phys_ObjAtPoint(field, ball->position, nullptr), ball);
    EXPECT_EQ(Phys_ObjAtCell(ball->cellX, ball->cellY, ball->cellZ, nullptr), ball);
}

TEST_F(FastPaths, WholeRunsEndAsWithoutThem)
{
    struct Outcome {
        uint64_t hash;
        int steps, destroyedPieces, sunk, warnings;
    };
    auto run = [&](const FieldCase &fc, bool fast) {
        Phys_SetFastPaths(fast);
        use(fc.make());
        phtest::boxes().clear();
        Outcome out{0, 0, 0, 0, 0};
        Phys_Build(field);
        for (int k = 0; k < 1200; k++) {
            out.steps = k + 1;
            if (Phys_Step(field, k * PH_STEP_MS))
                break;
        }
        out.hash = Phys_BallHash(field);
        Phys_Free();
        for (int32_t i = 0; i < field->count; i++) {
            const uint32_t f = field->elements[i]->io->flags;
            out.destroyedPieces += !(f & EF_BALL) && (f & EF_DESTROYED);
            out.sunk += (f & EF_BALL) && (f & EF_SUNK);
        }
        out.warnings = static_cast<int>(phtest::boxes().size());
        Phys_SetFastPaths(true);
        return out;
    };
    std::vector<FieldCase> cases = field_cases();
    for (uint64_t seed = 4; seed <= 8; seed++)
        cases.push_back({"mixed run", [seed] { return busyfield::mixed(seed, 10, 20); }});
    // Crowds where balls lying still have moving ones beside them.
    cases.push_back({"busy field", [] { return busyfield::busy(12, 40); }});
    // A tower of balls over four cells: each has more partners near it than a handful.
    cases.push_back({"ball tower", [] {
                         TrPalya *f = Palya_NewEmpty();
                         for (int z = 0; z < 4; z++)
                             for (int x = 0; x < 4; x++)
                                 busyfield::put(f, x, 0, z, TY_T_SIMA, 0);
                         for (int y = 1; y <= 6; y++)
                             for (int k = 0; k < 4; k++)
                                 busyfield::put(f, 1 + k % 2, y, 1 + k / 2, y % 2 ? TY_G_GUMI : TY_G_FEM, (y + k) % 4);
                         return f;
                     }});
    int destroyed = 0, sunk = 0;
    for (const FieldCase &fc : cases) {
        const Outcome a = run(fc, true), b = run(fc, false);
        EXPECT_EQ(a.hash, b.hash) << fc.name;
        EXPECT_EQ(a.steps, b.steps) << fc.name;
        EXPECT_EQ(a.destroyedPieces, b.destroyedPieces) << fc.name;
        EXPECT_EQ(a.sunk, b.sunk) << fc.name;
        EXPECT_EQ(a.warnings, b.warnings) << fc.name;
        destroyed += a.destroyedPieces;
        sunk += a.sunk;
    }
    // The runs must reach the paths that change the lists mid-run.
    EXPECT_GT(destroyed, 0);
    EXPECT_GT(sunk, 0);
}

// Balls lying still beside moving ones are left out of the step: what their step would have given
// them (the energy a ball may keep after a push, a magnet's pull on a ball it holds) must stay the
// same, or a later push ends otherwise. Step by step, every ball's state against the full walk.
TEST_F(FastPaths, BallsLeftOutOfTheStepEndAsTheFullWalk)
{
    // Between steps, when `changing`: fixed pieces deleted (as the step deletes them) and pieces of
    // every kind added where no ball is.
    auto change = [&](int k, busyfield::Rng &rng) {
        if (k == 60 || k == 200 || k == 333) {
            std::vector<PhElem *> doomed;
            int n = 0;
            for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
                if (o->IsFixed() && n++ % (4 + k % 3) == 1)
                    doomed.push_back(o);
            for (PhElem *o : doomed)
                destroy(o);
        }
        if (k == 120 || k == 260) {
            static const int k_types[] = {TY_T_SIMA, TY_T_LEJTO, TY_T_SAROK, TY_T_CEL, TY_T_MAGNES, TY_T_SZOGES, TY_T_SIMA};
            for (int t = 0; t < 6; t++) {
                const int x = rng.below(PhysWorld.sizeX), z = rng.below(PhysWorld.sizeZ), y = 1 + rng.below(2);
                bool taken = false;
                for (int32_t i = 0; i < field->count; i++) {
                    const EIo &io = *field->elements[i]->io;
                    taken |= io.x == x && io.z == z && io.y == y;
                }
                for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                    taken |= b->cellX == x && b->cellZ == z && (b->cellY == y - 1 || b->cellY == y);
                if (taken)
                    continue;
                TrElem *e = busyfield::put(field, x, y, z, k_types[rng.below(7)], rng.below(4));
                const int32_t i = field->count - 1;
                switch (e->io->type) {
                case TY_T_LEJTO: new PhSlope(e, i); break;
                case TY_T_SAROK: new PhCorner(e, i); break;
                case TY_T_MAGNES: new PhMagnet(e, i); break;
                case TY_T_SZOGES: new PhSpiked(e, i); break;
                case TY_T_CEL: new PhGoal(e, i); break;
                default: new PhTile(e, i); break;
                }
            }
        }
    };
    auto states = [&](uint64_t seed, int size, int balls, bool changing, bool fast) {
        Phys_SetFastPaths(fast);
        use(busyfield::mixed(seed, size, balls));
        Phys_Build(field);
        busyfield::Rng rng(99);
        std::vector<std::vector<float>> out;
        for (int k = 0; k < 1200; k++) {
            if (changing)
                change(k, rng);
            Phys_Step(field, k * PH_STEP_MS);
            std::vector<float> s;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                s.insert(s.end(), {b->position.x, b->position.y, b->position.z, b->velocity.x, b->velocity.y,
                                   b->velocity.z, b->allowance, float(b->motion)});
            s.push_back(PhysWorld.sourceEnergy);
            out.push_back(s);
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return out;
    };
    // Fields where a still ball a magnet pulls, or one still nudged, is then hit; and one where,
    // after pieces changed, a still ball a magnet holds (without pulling it) is hit.
    for (const auto &[seed, size, balls, changing] :
         {std::tuple<uint64_t, int, int, bool>{506, 8, 27, false}, {424, 3, 13, false}, {2140, 5, 25, true}}) {
        const auto fast = states(seed, size, balls, changing, true), walk = states(seed, size, balls, changing, false);
        size_t k = 0;
        while (k < fast.size() && fast[k] == walk[k])
            k++;
        EXPECT_EQ(k, fast.size()) << "mixed " << seed << " parts from the full walk at step " << k;
    }
}

// A bomb that shatters a piece mid-step leaves no ball's support slots naming it, quiet balls
// near it included (the slots are what the ball's shadow falls on). Fields where that happens.
TEST_F(FastPaths, SupportSlotsNeverNameAPieceGoneInTheStep)
{
    struct Case {
        uint64_t seed;
        int size, balls;
    };
    for (const Case &c : {Case{230, 8, 30}, Case{249, 15, 19}, Case{380, 14, 30}}) {
        use(busyfield::mixed(c.seed, c.size, c.balls));
        Phys_Build(field);
        int stale = 0, shattered = 0;
        for (int k = 0; k < 3000 && !Phys_Step(field, k * PH_STEP_MS); k++) {
            for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                if (b->finishCode != 0 || b->goal != nullptr || b->sinking)
                    continue;
                for (int i = 0; i < 4 && b->element->shadowReceivers[i] != nullptr; i++)
                    stale += b->element->shadowReceivers[i]->physObject == nullptr;
            }
        }
        for (int32_t i = 0; i < field->count; i++) {
            const uint32_t f = field->elements[i]->io->flags;
            shattered += !(f & EF_BALL) && (f & EF_DESTROYED);
        }
        EXPECT_GT(shattered, 0) << "seed " << c.seed;
        EXPECT_EQ(stale, 0) << "seed " << c.seed;
        Phys_Free();
    }
}

TEST_F(FastPaths, OutOfReachAgreesWithZoneCode)
{
    const FV3 lo(2.0f, 0.55f, 3.0f), hi(3.0f, 1.1f, 4.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    busyfield::Rng rng(11);
    for (float reach : {PhyParams.classifyReach, 0.0f, 0.7f, -0.2f})
        for (float r : {0.35f, 0.0f, 1.5f}) {
            PhyParams.classifyReach = reach;
            for (int k = 0; k < 4000; k++) {
                FV3 p(0.5f + rng.below(4000) / 1000.0f, -0.5f + rng.below(2600) / 1000.0f,
                      1.5f + rng.below(4000) / 1000.0f);
                if (k % 500 == 0)
                    (k / 500 % 3 == 0 ? p.x : k / 500 % 3 == 1 ? p.y : p.z) = nan;
                const PhZoneCode zc = PhElem_Classify(lo, hi, p, r, nullptr);
                bool out = false;
                for (int a = 0; a < 3; a++)
                    out |= zc.Zone(a) == 0 || zc.Zone(a) == 10;
                ASSERT_EQ(PhElem_OutOfReach(lo, hi, p, r), out)
                    << "reach " << reach << " r " << r << " at " << p.x << "," << p.y << "," << p.z;
            }
        }
}

// The bench's field after its minute, and 200 mixed fields run to rest (or 3000 steps): the ends
// these reach are pinned, so that work on the step's speed shows at once when it changes an
// outcome, a contact's order or the settling's. A deliberate change of behaviour updates them.
TEST_F(FastPaths, PinnedEndsOfTheBenchAndMixedFields)
{
    use(busyfield::busy(20, 100));
    Phys_Build(field);
    for (int k = 0; k < 2400; k++)
        Phys_Step(field, k * PH_STEP_MS);
    EXPECT_EQ(Phys_BallHash(field), 0x207613b226a90e31ull);
    Phys_Free();
    uint64_t all = 1469598103934665603ull;
    for (uint64_t seed = 1; seed <= 200; seed++) {
        use(busyfield::mixed(seed, 10, 20));
        Phys_Build(field);
        int k = 0;
        while (k < 3000 && !Phys_Step(field, k * PH_STEP_MS))
            k++;
        all = (all ^ (Phys_BallHash(field) ^ uint64_t(k))) * 1099511628211ull;
        Phys_Free();
    }
    EXPECT_EQ(all, 0x54f71bee72428e7aull);
}

}  // namespace
