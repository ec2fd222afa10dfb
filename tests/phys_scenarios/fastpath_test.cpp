// The fast paths (per-cell candidate lists for the object queries, ball buckets for the pair loops)
// against the plain walks: every query over every cell and around every cell face of generated
// fields, before and after pieces are deleted, and whole runs of generated fields.
#include <math.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "busyfield.h"
#include "phpairs.h"
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

// The first step at which two runs' states part (the shorter run's length where one runs on).
template <class T>
size_t first_parting(const std::vector<T> &a, const std::vector<T> &b)
{
    size_t k = 0;
    while (k < a.size() && k < b.size() && a[k] == b[k])
        k++;
    return k;
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

    // The balls of a busy field, its world built, in list order.
    std::vector<PhBall *> busy_balls()
    {
        use(busyfield::busy(12, 30));
        Phys_Build(field);
        std::vector<PhBall *> balls;
        for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
            balls.push_back(b);
        return balls;
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
    // across (x, z) holds p; where the goals' columns say none is near, none is listed.
    static bool goals_near_hold_every_goal_in_reach(const FV3 &p)
    {
        PhElem *const *near = nullptr;
        int32_t n = 0;
        if (!Phys_GoalsNear(p, &near, &n))
            return false;
        const PhGoalColumns *columns = Phys_GoalColumns();
        if (columns == nullptr || (columns->NoneNear(p.x, p.z) && n != 0))
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

    // What the cells-around answer gives, by the full walk: the cells that hold a piece, and of
    // those one layer down the ones whose piece lies there and is a corner or faces straight up.
    static void around_by_walk(int32_t x, int32_t gy, int32_t z, uint32_t *held, uint32_t *flat)
    {
        Phys_SetFastPaths(false);
        *held = *flat = 0;
        for (int32_t dz = -1, b = 0; dz <= 1; dz++)
            for (int32_t dy = -1; dy <= 1; dy++)
                for (int32_t dx = -1; dx <= 1; dx++, b++) {
                    const PhElem *o = Phys_ObjAtCell(x + dx, gy + dy, z + dz, nullptr);
                    if (o == nullptr)
                        continue;
                    *held |= 1u << b;
                    if (dy == -1 && o->cellY == gy - 1 &&
                        (o->cls == PHC_CORNER || (o->up.x == 0 && o->up.y == 1 && o->up.z == 0)))
                        *flat |= 1u << b;
                }
        Phys_SetFastPaths(true);
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
                        uint32_t held = 0, flat = 0, walkHeld = 0, walkFlat = 0;
                        if (ex == nullptr && Phys_CellsAround(x, gy, z, &held, &flat)) {
                            around_by_walk(x, gy, z, &walkHeld, &walkFlat);
                            check(held == walkHeld && flat == walkFlat, "cells around " + cell);
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
        if (std::string(fc.name) != "unmarked ball") {
            EXPECT_GT(lastOpens, 0) << fc.name;
        }
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

// Two answers a ball keeps serve the full walk too, so the comparison above cannot see them: an
// iron ball's box that no magnet reaches and its support slots. Forgetting both before every step
// must change nothing, step by step, in either mode; nor must forgetting the boxes the fast paths
// keep (where the piece pass finds nothing again, where goal entry finds no goal near).
TEST_F(FastPaths, KeptMagnetBoxAndSlotsAreWhatAFreshLookFinds)
{
    int calm = 0;
    auto states = [&](uint64_t seed, bool fast, bool forget) {
        Phys_SetFastPaths(fast);
        use(busyfield::mixed(seed, 10, 20));
        Phys_Build(field);
        std::vector<std::vector<float>> out;
        int iron = 0;
        for (int k = 0; k < 600; k++) {
            for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                iron += b->type == TY_G_FEM && b->magnetsFarKnown;
                calm += b->calmRadius == b->calmRadius;
                if (forget) {
                    b->magnetsFarKnown = b->slotsValid = false;
                    b->calmRadius = NAN;
                    b->goalFree[0] = b->goalFree[1] = 0;
                }
            }
            const int done = Phys_Step(field, k * PH_STEP_MS);
            std::vector<float> s;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                s.insert(s.end(), {b->position.x, b->position.y, b->position.z, b->velocity.x, b->velocity.y,
                                   b->velocity.z, float(b->motion), float(b->attracted)});
            out.push_back(s);
            if (done)
                break;
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return std::make_pair(out, iron);
    };
    int kept = 0;
    for (uint64_t seed = 21; seed <= 26; seed++)
        for (const bool fast : {true, false}) {
            const auto keep = states(seed, fast, false), anew = states(seed, fast, true);
            const size_t k = first_parting(keep.first, anew.first);
            EXPECT_EQ(k, keep.first.size()) << "seed " << seed << (fast ? " fast" : " walk") << " parts at step " << k;
            EXPECT_EQ(keep.first.size(), anew.first.size()) << "seed " << seed;
            kept += keep.second;
        }
    EXPECT_GT(kept, 0);  // the runs kept a magnet-free box at all
    EXPECT_GT(calm, 0);  // and a calm box
}

// Balls lying still beside moving ones are left out of the step: what their step would have given
// them (the energy a ball may keep after a push, a magnet's pull on a ball it holds) must stay the
// same, or a later push ends otherwise. Step by step, every ball's state against the full walk.
TEST_F(FastPaths, BallsLeftOutOfTheStepEndAsTheFullWalk)
{
    // Between steps, when `changing`: fixed pieces deleted (as the step deletes them), pieces of
    // every kind added where no ball is, and balls lying still moved a little by the caller.
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
        if (k % 50 == 25) {
            int n = 0;
            for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                if (b->velocity.Length2() == 0 && b->finishCode == 0 && b->goal == nullptr && !b->sinking && n++ % 3 == 0)
                    PhBall_Sync(*b, b->position + FV3(0.05f, 0, 0.03f));
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
        const size_t k = first_parting(fast, walk);
        EXPECT_EQ(k, fast.size()) << "mixed " << seed << " parts from the full walk at step " << k;
    }
}

// What callers and the step itself do to balls lying still, between steps: their magnet destroyed
// or moved a cell, a magnet added beside them, their support or a ball they lean on removed, a held
// ball pushing out, a ball moved a little, kicked or put up in the air, the world rebuilt. Step by
// step, the state the step reads later (motion it came from, lane, support, neighbours) against
// the full walk.
TEST_F(FastPaths, StillBallsChangedBetweenStepsEndAsTheFullWalk)
{
    auto balls = [](bool (*want)(const PhBall &)) {
        std::vector<PhBall *> v;
        for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
            if (b->finishCode == 0 && b->goal == nullptr && !b->sinking && want(*b))
                v.push_back(b);
        return v;
    };
    auto held = [](const PhBall &b) { return b.motion == MT_MAGN_ALL && b.attracted && b.magnet != nullptr; };
    auto still = [](const PhBall &b) { return b.velocity.Length2() == 0; };
    auto ironStill = [](const PhBall &b) { return b.velocity.Length2() == 0 && b.type == TY_G_FEM; };
    auto freeCell = [&](int x, int y, int z) {
        if (x < 0 || z < 0 || y < 0 || x >= PhysWorld.sizeX || z >= PhysWorld.sizeZ || y > 4)
            return false;
        for (int32_t i = 0; i < field->count; i++) {
            const TrElem *e = field->elements[i];
            if (e->physObject != nullptr && !e->physObject->IsBall() && e->io->x == x && e->io->z == z && e->io->y == y)
                return false;
        }
        for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
            if (b->cellX == x && b->cellZ == z && (b->cellY == y - 1 || b->cellY == y))
                return false;
        return true;
    };
    auto addMagnet = [&](int x, int y, int z) {
        if (freeCell(x, y, z))
            new PhMagnet(busyfield::put(field, x, y, z, TY_T_MAGNES, 0), field->count - 1);
    };
    auto change = [&](int k, busyfield::Rng &rng) {
        auto pick = [&](const std::vector<PhBall *> &v) { return v.empty() ? nullptr : v[size_t(rng.below(int(v.size())))]; };
        if (k % 37 == 5)
            if (PhBall *b = pick(balls(held)))
                destroy(b->magnet);
        if (k % 53 == 11)
            if (PhBall *b = pick(balls(still)); b != nullptr && b->support != nullptr && b->support->cellY >= 0)
                destroy(b->support);
        if (k % 61 == 17)
            if (PhBall *b = pick(balls(ironStill)))
                addMagnet(b->cellX + rng.below(3) - 1, b->cellY + rng.below(2), b->cellZ + rng.below(3) - 1);
        if (k % 29 == 3)
            if (PhBall *b = pick(balls(k % 2 ? +held : +still))) {
                const float d[] = {0.0f, 0.002f, 0.05f, -0.03f};
                PhBall_Sync(*b, b->position + FV3(d[rng.below(4)], 0, d[rng.below(4)]));
            }
        if (k % 97 == 50)
            if (PhBall *b = pick(balls(held))) {
                const PhMagnet *m = b->magnet;
                const int x = m->cellX + rng.below(3) - 1, y = m->cellY + 1, z = m->cellZ + rng.below(3) - 1;
                destroy(b->magnet);
                addMagnet(x, y, z);
            }
        if (k % 71 == 40)
            if (PhBall *b = pick(balls(still))) {
                const FV3 v(float(rng.below(5) - 2), 0, float(rng.below(5) - 2));
                PhBall_SetMotion(*b, MT_EVE, b->position, v, b->currentTime, 1);
            }
        if (k % 83 == 20)
            if (PhBall *b = pick(balls(held)))
                Env_PushOut(*b);
        if (k % 67 == 30)
            if (PhBall *b = pick(balls(still)))
                destroy(b);
        if (k % 131 == 77)
            if (PhBall *b = pick(balls(still)))
                PhBall_Sync(*b, FV3(rng.below(PhysWorld.sizeX) + 0.5f, 1.5f, rng.below(PhysWorld.sizeZ) + 0.5f));
        if (k == 450) {
            Phys_Free();
            Phys_Build(field);
        }
    };
    auto index = [](const PhElem *o) { return o != nullptr ? float(o->index) : -1.0f; };
    auto states = [&](TrPalya *(*make)(uint64_t), uint64_t seed, bool fast) {
        Phys_SetFastPaths(fast);
        use(make(seed));
        Phys_Build(field);
        busyfield::Rng rng(seed * 7 + 1);
        std::vector<std::vector<float>> out;
        for (int k = 0; k < 1000; k++) {
            change(k, rng);
            Phys_Step(field, k * PH_STEP_MS);
            std::vector<float> s;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                s.insert(s.end(), {float(b->index), b->position.x, b->position.y, b->position.z, b->velocity.x,
                                   b->velocity.y, b->velocity.z, b->allowance, float(b->motion), float(b->prevMotion),
                                   float(b->lane), float(b->attracted), index(b->support), float(b->firstContact),
                                   float(b->neighbourCount), b->lastVelocity.x, b->lastVelocity.z});
            s.push_back(PhysWorld.sourceEnergy);
            out.push_back(s);
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return out;
    };
    struct Case {
        const char *what;
        TrPalya *(*make)(uint64_t);
        uint64_t seed;
    };
    auto mixed = [](uint64_t seed) { return busyfield::mixed(seed, 3 + int(seed % 10), 5 + int(seed * 7 % 26)); };
    auto busy = [](uint64_t seed) { return busyfield::busy(8 + int(seed % 8), 20 + int(seed % 30)); };
    // A ball held one step only (its pull's restart still to come), one lying on a slope whose prop
    // is removed or put in the air, kicked balls (one still at rest by its magnet), and plain runs.
    for (const Case &c : {Case{"mixed", mixed, 397}, Case{"mixed", mixed, 215}, Case{"busy", busy, 30},
                          Case{"mixed", mixed, 17}, Case{"mixed", mixed, 185}, Case{"mixed", mixed, 1},
                          Case{"busy", busy, 3}}) {
        const auto fast = states(c.make, c.seed, true), walk = states(c.make, c.seed, false);
        const size_t k = first_parting(fast, walk);
        EXPECT_EQ(k, fast.size()) << c.what << " " << c.seed << " parts from the full walk at step " << k;
    }
}

// What callers do to rolling balls between steps, which the answers a rolling ball keeps (its calm
// box, goal-free cell, slots, zones and the pair buckets' lone balls) must see: its radius or kind
// changed, its place written or synced, its speed written, its support let go, its first support
// slot written by the host, a block or a goal put in its way, a ball removed, the world rebuilt. Step by step against the full walk, with the
// zones and the support slots.
TEST_F(FastPaths, RollingBallsChangedBetweenStepsStepAsTheFullWalk)
{
    auto pick = [](busyfield::Rng &rng) -> PhBall * {
        std::vector<PhBall *> v;
        for (PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
            if (b->finishCode == 0 && b->goal == nullptr && !b->sinking && b->support != nullptr && b->velocity.Length2() > 0)
                v.push_back(b);
        return v.empty() ? nullptr : v[size_t(rng.below(int(v.size())))];
    };
    // A piece of type t in the cell ahead of the ball along x, `up` layers over its own, when free.
    auto putAhead = [&](const PhBall &b, int up, int t) {
        const int x = b.cellX + (b.velocity.x > 0 ? 1 : -1), y = b.cellY + up, z = b.cellZ;
        if (x < 0 || x >= PhysWorld.sizeX || Phys_ObjAtCell(x, y - 1, z, nullptr) != nullptr ||
            Phys_ObjAtCell(x, y, z, nullptr) != nullptr)
            return;
        for (const PhBall *o = PhysWorld.balls; o != nullptr; o = o->nextBall)
            if (o->cellX == x && o->cellZ == z)
                return;
        TrElem *e = busyfield::put(field, x, y + 1, z, t, 0);
        if (t == TY_T_CEL)
            new PhGoal(e, field->count - 1);
        else
            new PhTile(e, field->count - 1);
    };
    using Change = void (*)(PhBall &, busyfield::Rng &);
    struct Case {
        const char *what;
        int every;
        Change change;
    };
    static const int k_kinds[] = {TY_G_FEM, TY_G_GUMI, TY_G_BOMBA, TY_G_UVEG};
    const Case cases[] = {
        {"radius", 7, [](PhBall &b, busyfield::Rng &rng) { b.radius *= rng.below(2) ? 0.97f : 1.03f; }},
        {"kind", 5, [](PhBall &b, busyfield::Rng &rng) { b.type = k_kinds[rng.below(4)]; }},
        {"place written", 3, [](PhBall &b, busyfield::Rng &rng) { b.position.x += rng.below(2) ? 0.01f : -0.013f; }},
        {"place synced", 4, [](PhBall &b, busyfield::Rng &rng) {
             PhBall_Sync(b, b.position + FV3(0.2f * float(rng.below(5) - 2), 0, 0.2f * float(rng.below(5) - 2)));
         }},
        {"speed written", 6, [](PhBall &b, busyfield::Rng &rng) {
             const float vy[] = {-0.5f, 0.0f, 0.3f, 30.0f};
             b.velocity = FV3(b.velocity.x * (rng.below(4) ? 1 : 40), vy[rng.below(4)], b.velocity.z);
         }},
        {"support let go", 9, [](PhBall &b, busyfield::Rng &) { b.support = nullptr; }},
        {"first slot written", 8, [](PhBall &b, busyfield::Rng &rng) {
             // As a host drawing shadows may: a piece of the field, not the one below.
             std::vector<PhElem *> pieces;
             for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
                 if (o->IsFixed())
                     pieces.push_back(o);
             if (!pieces.empty())
                 b.element->shadowReceivers[0] = pieces[size_t(rng.below(int(pieces.size())))]->element;
         }},
        {"block ahead", 11, nullptr},
        {"goal ahead", 13, nullptr},
        {"ball removed", 23, [](PhBall &b, busyfield::Rng &) { destroy(&b); }},
        {"rebuilt", 150, nullptr},
    };
    auto states = [&](const Case &c, TrPalya *(*make)(uint64_t), uint64_t seed, bool fast) {
        Phys_SetFastPaths(fast);
        use(make(seed));
        Phys_Build(field);
        busyfield::Rng rng(seed * 13 + 5);
        std::vector<std::vector<float>> out;
        for (int k = 0; k < 500; k++) {
            if (k % c.every == c.every / 2) {
                if (c.every == 150) {
                    Phys_Free();
                    Phys_Build(field);
                } else if (PhBall *b = pick(rng)) {
                    if (c.change != nullptr)
                        c.change(*b, rng);
                    else
                        putAhead(*b, c.every == 11 ? 1 : 0, c.every == 11 ? TY_T_SIMA : TY_T_CEL);
                }
            }
            Phys_Step(field, k * PH_STEP_MS);
            std::vector<float> s;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall) {
                s.insert(s.end(), {float(b->index), b->position.x, b->position.y, b->position.z, b->velocity.x,
                                   b->velocity.y, b->velocity.z, b->allowance, float(b->motion), float(b->lane),
                                   b->support != nullptr ? float(b->support->index) : -1.0f, float(b->neighbourCount),
                                   float(b->zone.bits)});
                for (const TrElem *slot : b->element->shadowReceivers) {
                    s.push_back(slot != nullptr ? float(slot->physObject->index) : -1.0f);
                    if (slot == nullptr)
                        break;
                }
            }
            s.push_back(PhysWorld.sourceEnergy);
            out.push_back(s);
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return out;
    };
    auto mixed = [](uint64_t seed) { return busyfield::mixed(seed, 6 + int(seed % 6), 8 + int(seed % 17)); };
    auto busy = [](uint64_t seed) { return busyfield::busy(8 + int(seed % 6), 15 + int(seed % 20)); };
    for (const Case &c : cases)
        for (const auto &[make, seed] : {std::pair<TrPalya *(*)(uint64_t), uint64_t>{mixed, 8}, {busy, 8}, {mixed, 20}}) {
            const auto fast = states(c, make, seed, true), walk = states(c, make, seed, false);
            const size_t k = first_parting(fast, walk);
            EXPECT_EQ(k, fast.size()) << c.what << ", field " << seed << " parts from the full walk at step " << k;
        }
}

// A ball its magnet holds keeps none of the pull (the hold stops it at once): no step in which
// every iron ball starts held gives the magnets' gift. Over the bench's field and mixed ones,
// where balls lie held while others roll by, and lie held after the rest have come to rest.
TEST_F(FastPaths, HeldBallsTakeNoGiftFromTheirMagnet)
{
    int allHeld = 0;
    for (uint64_t seed = 0; seed <= 12; seed++) {
        use(seed == 0 ? busyfield::busy(20, 100) : busyfield::mixed(seed, 10, 20));
        Phys_Build(field);
        int wrong = 0;
        for (int k = 0; k < 1600; k++) {
            bool held = true, iron = false;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                if (b->type == TY_G_FEM && b->finishCode == 0) {
                    iron = true;
                    held &= b->motion == MT_MAGN_ALL;
                }
            const double before = PhysWorld.sourceEnergy;
            Phys_Step(field, k * PH_STEP_MS);
            if (iron && held) {
                allHeld++;
                wrong += PhysWorld.sourceEnergy != before;
            }
        }
        EXPECT_EQ(wrong, 0) << "field " << seed;
        Phys_Free();
    }
    EXPECT_GT(allHeld, 1000) << "steps with every iron ball held";
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

TEST_F(FastPaths, BallZonesInItsCellAgreeWithZoneCode)
{
    // The step asks for a ball's zones in its cell several times, and a moved ball may not have its
    // new cell yet: every answer is the zone code of the cell's box, for the same place asked again
    // and for the same place with another radius, in and out of the cell and at no number.
    floor(3, 3);
    TrElem *e = add(1, 1, 1, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    busyfield::Rng rng(5);
    for (int k = 0; k < 6000; k++) {
        b.position = FV3(0.5f + rng.below(2000) / 1000.0f, 0.2f + rng.below(1200) / 1000.0f, 0.5f + rng.below(2000) / 1000.0f);
        if (k % 8 == 0)  // on a cell's face
            b.position.x = static_cast<float>(1 + rng.below(2));
        if (k % 500 == 0)
            (k / 500 % 3 == 0 ? b.position.x : k / 500 % 3 == 1 ? b.position.y : b.position.z) = nan;
        if (k % 3 != 0)
            b.UpdateCell();
        for (float r : {0.35f, 0.5f, 0.35f}) {
            b.radius = r;
            const FV3 lo(static_cast<float>(b.cellX), 0.55f * b.cellY, static_cast<float>(b.cellZ));
            const PhZoneCode want = PhElem_Classify(lo, lo + FV3(1.0f, 0.55f, 1.0f), b.position, r, nullptr);
            for (int again = 0; again < 2; again++)
                ASSERT_EQ(b.ClassifyInCell(nullptr).bits, want.bits)
                    << "at " << b.position.x << "," << b.position.y << "," << b.position.z << " r " << r;
        }
    }
}

TEST_F(FastPaths, BallsMeetAsTheirFloatDistanceSays)
{
    // Two balls are near when the distance, rounded to a float, is at most 0.9 of their radii's sum
    // (and, in different lanes, of 0.9 half a diagonal): the square compared away from that border
    // answers the same on both sides of it, for tiny and huge radii, coincident and far balls.
    floor(3, 3);
    TrElem *ea = add(0, 1, 0, TY_G_FEM), *eb = add(2, 1, 2, TY_G_FEM);
    Phys_Build(field);
    PhBall &a = *obj<PhBall>(ea), &b = *obj<PhBall>(eb);
    busyfield::Rng rng(11);
    const float denorm = std::numeric_limits<float>::denorm_min();
    int checked = 0;
    for (float r : {denorm, 3 * denorm, 1e-40f, 1e-30f, 1e-20f, 0.01f, 0.35f, 1e3f, 1e15f, 1e30f, 1e38f, 3e38f})
        for (int lanes = 0; lanes < 2; lanes++)
            for (int k = 0; k < 400; k++) {
                a.radius = r;
                b.radius = k % 2 ? r : 0.5f * r;
                a.lane = lanes ? 1 : 0;
                b.lane = lanes ? 2 : 0;
                const double c = lanes && k % 3 == 0 ? 0.9 * PhyDerived.halfRoot2 : 0.9f * (a.radius + b.radius);
                // A direction, and a distance some float steps either side of the border (or none).
                const FV3 dir = FV3(rng.below(2001) - 1000.0f, rng.below(2001) - 1000.0f, rng.below(2001) - 1000.0f);
                const double len = dir.Length();
                const double at = (k % 50 == 0 ? 0.0 : c * (1 + (static_cast<int>(rng.below(13)) - 6) * 6e-8)) / (len > 0 ? len : 1);
                a.position = a.prevPosition = FV3(r > 1e-3f && r < 1 ? 0.25f : 0, 0, 0);
                b.position = a.position + dir * static_cast<float>(at);
                b.prevPosition = b.position;
                const float d = a.DistanceTo(b);
                const bool near = !(d > 0.9f * (a.radius + b.radius)) && !(d > 0.9 * PhyDerived.halfRoot2 && lanes);
                FV3 got(-7, -7, -7);
                int code = 0;
                a.Contact(b, &got, &code, 0);
                ASSERT_EQ(got.x != -7, near) << "r " << r << " d " << d << " lanes " << lanes;
                checked++;
            }
    EXPECT_GT(checked, 0);
    // At the float's smallest steps: sqrt(5) steps apart rounds to 2, the border of two 1-step radii.
    a.radius = b.radius = denorm;
    a.lane = b.lane = 0;
    a.position = a.prevPosition = FV3(0, 0, 0);
    b.position = b.prevPosition = FV3(2 * denorm, denorm, 0);
    ASSERT_EQ(a.DistanceTo(b), 2 * denorm);
    FV3 got(-7, -7, -7);
    int code = 0;
    a.Contact(b, &got, &code, 0);
    EXPECT_NE(got.x, -7);
}

// The pair loops pass over a pair farther apart on x or z alone than the radii's sum: such a pair
// is apart for the contact test and leans on nothing, whatever the radii and differences (the
// borders of the sum, tiny, huge, infinite and not-a-number values).
TEST_F(FastPaths, PairsFarOnOneAxisAreApart)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float denorm = std::numeric_limits<float>::denorm_min();
    int far = 0;
    for (float ra : {0.0f, denorm, 1e-30f, 0.35f, 1e3f, 1e30f, 3e38f, inf, nan, -1.0f})
        for (float rb : {0.0f, denorm, 0.35f, 3e38f, nan})
            for (float dx : {0.0f, 1.0f, -1.0f, 0.999999f, 1.000001f, 3.0f, 1e30f, inf, -inf, nan})
                for (float dy : {0.0f, 0.5f, inf, nan})
                    for (int axis = 0; axis < 2; axis++) {
                        const float sum = ra + rb;
                        // dx in units of the sum (where that is a number), on x or on z.
                        const float d = std::isfinite(sum) && sum != 0 ? dx * sum : dx;
                        const float ex = axis ? 0.25f * sum : d, ez = axis ? d : 0.25f * sum;
                        if (!PhBalls_FarOnXZ(ex, dy, ez, sum))
                            continue;
                        far++;
                        EXPECT_TRUE(PhBalls_ApartAt(FV3(0, 0, 0), ra, -ex, -dy, -ez, rb)) << ra << " " << rb << " " << ex << " " << dy << " " << ez;
                        const double d2 = double(ex) * ex + double(dy) * dy + double(ez) * ez;
                        EXPECT_FALSE(sqrt(d2) < 0.9 * double(sum)) << ra << " " << rb << " " << ex << " " << dy << " " << ez;
                    }
    EXPECT_GT(far, 0);
}

TEST_F(FastPaths, BallCellIsTheBoundedCellOfItsCentre)
{
    // The step's own conversion of a centre to its cell: CellOf held within a billion cells either way,
    // at cell borders, among the denormals, past the 32-bit range, at infinities and no number.
    floor(2, 2);
    TrElem *e = add(1, 1, 1, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    const int32_t bound = 1 << 30;
    auto want = [&](float size, float v) {
        const int32_t c = CellOf(size, v);
        return c < -bound ? -bound : (c > bound ? bound : c);
    };
    std::vector<float> vals = {0.0f, -0.0f, 1e-45f, -1e-45f, -1.0f, -2.0f, 1.0f, 0.55f, -0.55f, -1.1f, 0.54999995f,
                               -0.54999995f, 1073741824.0f, -1073741824.0f, 1073741760.0f, -1073741760.0f, 1073741888.0f,
                               -1073741888.0f, 2147483648.0f, -2147483648.0f, 5e9f, -5e9f, 590558003.2f, -590558003.2f,
                               INFINITY, -INFINITY, NAN, -NAN, 3e38f, -3e38f, 16777216.5f, -16777217.0f};
    busyfield::Rng rng(3);
    for (int k = 0; k < 20000; k++) {  // and bit patterns of every sign and size
        uint32_t u = static_cast<uint32_t>(rng.below(1 << 30)) * 4u + static_cast<uint32_t>(rng.below(4));
        float f;
        memcpy(&f, &u, 4);
        vals.push_back(f);
    }
    for (float v : vals) {
        b.position = FV3(v, v, v);
        b.UpdateCell();
        ASSERT_EQ(b.cellX, want(1.0f, v)) << v;
        ASSERT_EQ(b.cellY, want(0.55f, v)) << v;
        ASSERT_EQ(b.cellZ, want(1.0f, v)) << v;
        if (v == v) {
            ASSERT_EQ(b.box[0], v - b.halfSize.x);
            ASSERT_EQ(b.box[3], v + b.halfSize.y);
        }
    }
}

TEST_F(FastPaths, RangeFoundEmptyIsLookedAtAgainWhenPiecesChange)
{
    // A ball rolling on open floor towards x finds nothing around it; a block set beside it is met
    // at once, in the same cell and zones.
    floor(5, 5);
    TrElem *e = add(2, 1, 2, TY_G_FEM);
    Phys_Build(field);
    PhBall &b = *obj<PhBall>(e);
    b.support = Phys_ObjAtCell(2, -1, 2, nullptr);
    ASSERT_NE(b.support, nullptr);
    b.position = FV3(2.9f, 0.35f, 2.5f);
    b.velocity = FV3(1, 0, 0);
    b.UpdateCell();
    PhContact table[PH_ENV_TABLE];
    int n = PH_ENV_TABLE;
    EXPECT_EQ(Env_Collect(b, table, &n), -1);
    EXPECT_EQ(n, 0);
    n = PH_ENV_TABLE;
    EXPECT_EQ(Env_Collect(b, table, &n), -1);  // asked again, the same
    EXPECT_EQ(n, 0);
    TrElem *block = add(3, 1, 2, TY_T_SIMA);
    new PhTile(block, field->count - 1);
    n = PH_ENV_TABLE;
    const int first = Env_Collect(b, table, &n);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(table[0].object, block->physObject);
}

// A ball rolling on open floor keeps the box of centres where the piece pass surely finds again
// what it found. Rolled over cells and their faces' reach, diagonally, slowly and fast, into a
// block, up a slope, along the field's wall and off it, and over a hole's edge, with a block set in
// its way between two steps or the ball put back by the caller near the wall (it rolls back into
// the box it kept): step by step as the full walk, its support slots with it, and the box kept.
TEST_F(FastPaths, BallsRollingInTheOpenStepAsTheFullWalk)
{
    struct Case {
        const char *what;
        float x, z, vx, vz;
        // 0 none, 1 a block, 2 a slope, 3 a hole, 4 a block set on the way at step 30, 5 the ball put
        // back by the caller within its radius of the wall at step 10
        int obstacle;
    };
    const Case cases[] = {
        {"to the wall", 1.5f, 3.5f, 1.3f, 0, 0},          {"to the near wall", 2.5f, 3.5f, 0, -0.7f, 0},
        {"along the wall", 0.25f, 1.5f, 0, 0.9f, 0},        {"diagonally into a block", 1.5f, 2.5f, 0.9f, 0.45f, 1},
        {"slowly into a block", 3.3f, 4.5f, 0.3f, 0, 1},     {"up a slope", 1.5f, 3.5f, 1.4f, 0.05f, 2},
        {"fast into the wall", 1.5f, 5.5f, 7.0f, 0, 0},      {"over a hole's edge", 1.5f, 6.5f, 0.8f, 0, 3},
        {"to a block set on its way", 1.5f, 4.5f, 1.0f, 0, 4}, {"off the wall and back", 1.5f, 0.9f, -1.3f, 0, 0},
        {"put by the wall, back to its box", 0.4f, 0.9f, 0.5f, 0, 5}};
    int calm = 0;
    auto states = [&](const Case &c, bool fast) {
        Phys_SetFastPaths(fast);
        use(Palya_NewEmpty());
        for (int32_t z = 0; z < 8; z++)
            for (int32_t x = 0; x < 8; x++)
                if (!(c.obstacle == 3 && x == 4 && z == 6))
                    add(x, 0, z, TY_T_SIMA);
        if (c.obstacle == 1)
            add(5, 1, c.z < 3 ? 3 : 4, TY_T_SIMA);
        if (c.obstacle == 2)
            add(4, 1, 3, TY_T_LEJTO, 0);
        TrElem *e = add(int32_t(c.x), 1, int32_t(c.z), TY_G_GUMI);
        Phys_Build(field);
        PhBall &b = *obj<PhBall>(e);
        PhBall_Sync(b, FV3(c.x, b.position.y, c.z));
        PhBall_SetMotion(b, MT_EVE, b.position, FV3(c.vx, 0, c.vz), b.currentTime, 1);
        std::vector<std::vector<float>> out;
        for (int k = 0; k < 300; k++) {
            if (c.obstacle == 4 && k == 30)
                new PhTile(add(4, 1, 4, TY_T_SIMA), field->count - 1);
            if (c.obstacle == 5 && k == 10)
                PhBall_Sync(b, FV3(0.2f, b.position.y, b.position.z));
            const int done = Phys_Step(field, k * PH_STEP_MS);
            if (fast)
                calm += b.calmRadius == b.calmRadius;
            out.push_back({b.position.x, b.position.y, b.position.z, b.velocity.x, b.velocity.y, b.velocity.z,
                           b.allowance, float(b.motion), float(b.zone.bits)});
            // The support slots too: the game places the ball's shadows on them.
            for (const TrElem *slot : e->shadowReceivers) {
                out.back().push_back(slot != nullptr ? float(slot->physObject->index) : -1.0f);
                if (slot == nullptr)
                    break;
            }
            if (done)
                break;
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return out;
    };
    for (const Case &c : cases) {
        const auto fast = states(c, true), walk = states(c, false);
        const size_t k = first_parting(fast, walk);
        EXPECT_EQ(k, fast.size()) << c.what << ": parts from the full walk at step " << k;
        EXPECT_EQ(fast.size(), walk.size()) << c.what;
    }
    EXPECT_GT(calm, 100);  // the runs kept a calm box at all
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
    EXPECT_EQ(Phys_BallHash(field), 0x892147ba97e87c83ull);
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
    EXPECT_EQ(all, 0xcd8cfd4ecedf5a3aull);
}

// What each ball keeps from its last bucket walk against a fresh walk, while balls jump next to
// others, across the field, a hair along, off the buckets and back, and the buckets are built anew;
// and a ball the buckets find touching no other (which the pair loops pass over) is apart from
// every other by the pair loops' own test.
TEST_F(FastPaths, KeptNeighboursAreThoseAFreshWalkFinds)
{
    std::vector<PhBall *> balls = busy_balls();
    PhPairGrid grid;
    grid.Build(&balls);
    ASSERT_TRUE(grid.Flat());
    const int32_t n = grid.Count();
    busyfield::Rng rng(7);
    auto offset = [&rng] { return static_cast<float>(rng.below(201) - 100) / 100.0f; };
    int64_t lone = 0;
    // Each ball's kept neighbours against its own search and that of lists built from nothing,
    // and one found lone apart from every ball by the pair loops' own test.
    auto check = [&](const std::string &where) {
        PhPairGrid anew;
        anew.Build(&balls);
        for (int32_t a = 0; a < n; a++) {
            std::vector<int32_t> kept;
            grid.ForNear(a, [&kept](int32_t j) { kept.push_back(j); });
            std::sort(kept.begin(), kept.end());
            const PhPairGrid::List fresh = grid.Near(a, -1), built = anew.Near(a, -1);
            ASSERT_EQ(kept, std::vector<int32_t>(fresh.begin(), fresh.end())) << where << ", ball " << a;
            ASSERT_EQ(kept, std::vector<int32_t>(built.begin(), built.end())) << where << ", ball " << a << " (built anew)";
            if (!grid.Lone(a))
                continue;
            lone++;
            const float *me = grid.At(a);
            for (int32_t b = 0; b < n; b++) {
                const float *o = grid.At(b);
                ASSERT_TRUE(b == a || PhBalls_ApartAt(FV3(me[0], me[1], me[2]), me[3], o[0], o[1], o[2], o[3]))
                    << where << ", ball " << a << " touches " << b;
            }
        }
    };
    for (int k = 0; k < 600; k++) {
        const int32_t i = rng.below(n);
        FV3 &p = grid.Ball(i)->position;
        const FV3 &o = grid.Ball(rng.below(n))->position;
        switch (k % 5) {
        case 0: p = FV3(o.x + offset(), p.y, o.z + offset()); break;
        case 1: p = FV3(static_cast<float>(rng.below(1200)) / 100.0f, p.y, static_cast<float>(rng.below(1200)) / 100.0f); break;
        case 2: p.x += 0.01f; break;
        case 3: p.z = k % 2 ? -40.0f : 60.0f; break;
        default: p = FV3(o.x, p.y, o.z); break;
        }
        if (k % 50 == 49)
            grid.Build(&balls);
        else
            grid.Moved(i);
        check("move " + std::to_string(k));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(lone, 0);
    // Every ball piled on one spot (a crowd past what a list holds), then one ball at a place not
    // finite on x or z (every ball near every other): as moved one by one, and as built anew.
    struct Pile {
        const char *name;
        float x, z;  // for ball 0; the rest on its spot
    };
    for (const Pile &c : {Pile{"crowd", 6.5f, 6.5f}, Pile{"x not finite", NAN, 6.5f}, Pile{"z infinite", 6.5f, INFINITY}}) {
        for (int32_t i = 0; i < n; i++) {
            FV3 &p = grid.Ball(i)->position;
            p = i == 0 ? FV3(c.x, p.y, c.z) : FV3(6.5f + 0.01f * static_cast<float>(i % 3), p.y, 6.5f);
            grid.Moved(i);
        }
        check(std::string(c.name) + " as moved");
        grid.Build(&balls);
        check(std::string(c.name) + " as built");
        if (HasFatalFailure())
            return;
    }
}

// Balls leaving the list between builds (as after a removal), some of them off the buckets: the
// buckets keep the rest renumbered, with the places and neighbours a build of the shorter list
// from nothing finds.
TEST_F(FastPaths, BallsLeftAfterSomeLeaveAreBucketedAsAFreshBuild)
{
    std::vector<PhBall *> balls = busy_balls();
    PhPairGrid grid;
    grid.Build(&balls);
    ASSERT_TRUE(grid.Flat());
    busyfield::Rng rng(11);
    for (int round = 0; balls.size() > 2; round++) {
        // Moves first, each with every ball's kept neighbours made current, so that they are mended.
        for (int k = 0; k < 12; k++) {
            const int32_t i = rng.below(grid.Count());
            FV3 &p = grid.Ball(i)->position;
            const float z = k == 5 && round % 2 ? -30.0f : static_cast<float>(rng.below(1200)) / 100.0f;
            p = FV3(static_cast<float>(rng.below(1200)) / 100.0f, p.y, z);
            grid.Moved(i);
            for (int32_t a = 0; a < grid.Count(); a++)
                grid.ForNear(a, [](int32_t) {});
        }
        std::vector<PhBall *> left;
        for (size_t i = 0; i < balls.size(); i++)
            if ((i + size_t(round)) % 3 != 0)
                left.push_back(balls[i]);
        balls = left;
        grid.Build(&balls);
        PhPairGrid fresh;
        fresh.Build(&balls);
        ASSERT_EQ(grid.Count(), fresh.Count());
        for (int32_t a = 0; a < grid.Count(); a++) {
            ASSERT_EQ(grid.Ball(a), balls[size_t(a)]);
            for (int c = 0; c < 4; c++)
                ASSERT_EQ(grid.At(a)[c], fresh.At(a)[c]) << "round " << round << ", ball " << a;
            std::vector<int32_t> kept;
            grid.ForNear(a, [&kept](int32_t j) { kept.push_back(j); });
            std::sort(kept.begin(), kept.end());
            const PhPairGrid::List found = fresh.Near(a, -1);
            ASSERT_EQ(kept, std::vector<int32_t>(found.begin(), found.end())) << "round " << round << ", ball " << a;
        }
    }
}

// A ball gone off far beyond the buckets (to the outside list) leaves every kept list not current,
// and such a list is not read until found anew. Balls leaving in two builds after it (two steps'
// removals, a dormant ball's list not asked for between them): a ball near others (their lists
// named it), then one far from them. The lists then are those a fresh build finds.
TEST_F(FastPaths, ListsNotCurrentOutlastRemovals)
{
    std::vector<PhBall *> balls = busy_balls();
    PhPairGrid grid;
    grid.Build(&balls);
    ASSERT_TRUE(grid.Flat());
    for (int32_t a = 0; a < grid.Count(); a++)
        grid.ForNear(a, [](int32_t) {});
    grid.Ball(0)->position.z = -1e6f;
    grid.Moved(0);
    balls.erase(balls.begin() + 1);
    grid.Build(&balls);
    balls.pop_back();
    grid.Build(&balls);
    PhPairGrid fresh;
    fresh.Build(&balls);
    for (int32_t a = 0; a < grid.Count(); a++) {
        std::vector<int32_t> kept;
        grid.ForNear(a, [&kept](int32_t j) { kept.push_back(j); });
        std::sort(kept.begin(), kept.end());
        const PhPairGrid::List found = fresh.Near(a, -1);
        ASSERT_EQ(kept, std::vector<int32_t>(found.begin(), found.end())) << "ball " << a;
    }
}

}  // namespace

// The pair buckets on fields of unusual shape, step by step against the full walk: one wider than
// the buckets' row bit sets cover, with crowds of sleepers stirred at once, and a long narrow strip
// whose bucket rows run past 65535 (a row number packed into 16 bits would wrap there).
TEST_F(FastPaths, OddlyShapedFieldsStepAsTheFullWalk)
{
    // A 2 x 42400 strip: floor and balls only around the rows near 65536 buckets in, each ball
    // rolling along the strip into the next.
    auto strip = [] {
        TrPalya *f = Palya_NewEmpty();
        for (int z = 42330; z < 42380; z++)
            for (int x = 0; x < 2; x++) {
                busyfield::put(f, x, 0, z, TY_T_SIMA, 0);
                if (z % 2 == 0)
                    busyfield::put(f, x, 1, z, x == 0 ? TY_G_FEM : TY_G_GUMI, (z / 2) % 4);
            }
        busyfield::put(f, 1, 0, 42399, TY_T_SIMA, 0);
        return f;
    };
    const std::vector<FieldCase> cases = {
        {"wide busy", [] { return busyfield::busy(48, 300); }},
        {"wide mixed", [] { return busyfield::mixed(11, 44, 160); }},
        {"long strip", strip},
    };
    auto states = [&](const FieldCase &fc, bool fast) {
        Phys_SetFastPaths(fast);
        use(fc.make());
        Phys_Build(field);
        std::vector<std::vector<float>> out;
        for (int k = 0; k < 400; k++) {
            Phys_Step(field, k * PH_STEP_MS);
            std::vector<float> s;
            for (const PhBall *b = PhysWorld.balls; b != nullptr; b = b->nextBall)
                s.insert(s.end(), {b->position.x, b->position.y, b->position.z, b->velocity.x, b->velocity.y,
                                   b->velocity.z, float(b->motion)});
            out.push_back(s);
        }
        Phys_Free();
        Phys_SetFastPaths(true);
        return out;
    };
    for (const FieldCase &fc : cases) {
        const auto fast = states(fc, true), walk = states(fc, false);
        const size_t k = first_parting(fast, walk);
        EXPECT_EQ(k, fast.size()) << fc.name << " parts from the full walk at step " << k;
    }
}

namespace {

// Every pair the distance test takes is in both balls' lists and neither is lone.
void expect_lists_hold_touching_pairs(PhPairGrid &grid, const char *what)
{
    if (!grid.Flat())
        return;
    for (int32_t i = 0; i < grid.Count(); i++) {
        std::vector<int32_t> near;
        grid.ForNear(i, [&near](int32_t j) { near.push_back(j); });
        for (int32_t j = 0; j < grid.Count(); j++) {
            const PhBall &a = *grid.Ball(i), &b = *grid.Ball(j);
            if (j == i || !a.position.Valid() || !b.position.Valid())
                continue;
            if (PhBalls_ApartAt(a.position, a.radius, b.position.x, b.position.y, b.position.z, b.radius))
                continue;
            EXPECT_NE(std::find(near.begin(), near.end(), j), near.end()) << what << ": " << i << " misses " << j;
            EXPECT_FALSE(grid.Lone(i)) << what << ": " << i << " lone beside " << j;
        }
    }
}

}  // namespace

// The pair lists after a build, after a few balls moved (listed anew one by one) and after many
// (swept again), for scattered balls, all on one spot (crowds), at huge places, with one radius so
// large that no reach is finite, with one x not a number, and after one goes off to an infinite
// place or onto another's spot: never short of a pair the distance test takes.
TEST_F(FastPaths, PairListsHoldEveryTouchingPair)
{
    std::vector<PhBall *> balls = busy_balls();
    struct Case {
        const char *name;
        std::function<void(PhBall &, int k, busyfield::Rng &)> put;
    };
    const Case cases[] = {
        {"scattered", [](PhBall &b, int, busyfield::Rng &r) { b.position = FV3(r.below(1200) / 100.0f, b.position.y, r.below(1200) / 100.0f); }},
        {"one spot", [](PhBall &b, int, busyfield::Rng &) { b.position = FV3(3.25f, b.position.y, 4.5f); }},
        {"huge places", [](PhBall &b, int k, busyfield::Rng &) { b.position = FV3(1e30f + k * 1e23f, b.position.y, -1e30f); }},
        {"huge radius", [](PhBall &b, int k, busyfield::Rng &) { if (k == 0) b.radius = 3e38f; }},
        {"one x not a number", [](PhBall &b, int k, busyfield::Rng &) { if (k == 3) b.position.x = NAN; }},
    };
    busyfield::Rng rng(5);
    for (const Case &c : cases) {
        std::vector<FV3> at;
        std::vector<float> radii;
        for (PhBall *b : balls) {
            at.push_back(b->position);
            radii.push_back(b->radius);
        }
        for (size_t k = 0; k < balls.size(); k++)
            c.put(*balls[k], int(k), rng);
        PhPairGrid grid;
        grid.Build(&balls);
        expect_lists_hold_touching_pairs(grid, c.name);
        // A few moved (relinked one by one), then many (swept again).
        for (int moves : {3, 6, 7, 20}) {
            for (int m = 0; m < moves; m++) {
                const int32_t i = rng.below(grid.Count());
                PhBall &b = *grid.Ball(i);
                b.position = FV3(b.position.x + (rng.below(200) - 100) / 100.0f, b.position.y,
                                 b.position.z + (rng.below(200) - 100) / 100.0f);
                grid.Moved(i);
            }
            expect_lists_hold_touching_pairs(grid, c.name);
            for (int m = 0; m < moves; m++) {
                const int32_t i = rng.below(grid.Count());
                PhBall &b = *grid.Ball(i);
                b.position = FV3(b.position.x + (rng.below(200) - 100) / 100.0f, b.position.y,
                                 b.position.z + (rng.below(200) - 100) / 100.0f);
            }
            grid.Refresh([](int32_t, PhBall &) {});
            expect_lists_hold_touching_pairs(grid, c.name);
        }
        // One gone off to an infinite place, and one onto another's spot.
        grid.Build(&balls);
        grid.Ball(1)->position.z = INFINITY;
        grid.Moved(1);
        expect_lists_hold_touching_pairs(grid, c.name);
        grid.Build(&balls);
        grid.Ball(2)->position = grid.Ball(5)->position;
        grid.Moved(2);
        expect_lists_hold_touching_pairs(grid, c.name);
        for (size_t k = 0; k < balls.size(); k++) {
            balls[k]->position = at[k];
            balls[k]->radius = radii[k];
        }
    }
}

// Where a piece's sure box says the point query surely finds it, the full walk finds it: at the
// corners, edge middles and middle of every sure box, before and after pieces are deleted and after
// a piece's box is moved (the lists those answers are found from are made anew each time).
TEST_F(FastPaths, SureBoxesHoldOnlyTheirPiece)
{
    for (const FieldCase &fc : field_cases()) {
        use(fc.make());
        Phys_Build(field);
        int boxes = 0;
        auto check = [&](const std::string &where) {
            for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject) {
                float b[6];
                Phys_SetFastPaths(true);
                if (!Phys_SureBox(*o, b))
                    continue;
                boxes++;
                Phys_SetFastPaths(false);
                for (int i = 0; i < 27; i++) {
                    const float t[3] = {float(i % 3) / 2, float(i / 3 % 3) / 2, float(i / 9) / 2};
                    const FV3 p(b[0] + (b[1] - b[0]) * t[0], b[2] + (b[3] - b[2]) * t[1], b[4] + (b[5] - b[4]) * t[2]);
                    EXPECT_EQ(Phys_ObjAtPoint(field, p, nullptr), o) << fc.name << " " << where << " at " << p.x << ","
                                                                     << p.y << "," << p.z;
                }
                Phys_SetFastPaths(true);
            }
        };
        check("as built");
        std::vector<PhElem *> doomed;
        int k = 0;
        for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
            if (o->IsFixed() && k++ % 4 == 1)
                doomed.push_back(o);
        for (PhElem *o : doomed)
            destroy(o);
        check("after deletions");
        // A piece moved half a cell over its neighbour.
        for (PhElem *o = PhysWorld.objects; o != nullptr; o = o->nextObject)
            if (o->IsFixed() && o->cls != PHC_SLOPE) {
                o->SetBox(o->boxLow + FV3(0.5f, 0, 0.5f), o->boxHigh + FV3(0.5f, 0, 0.5f), false);
                break;
            }
        check("after a move");
        if (std::string(fc.name) != "unmarked ball") {
            EXPECT_GT(boxes, 10) << fc.name;
        }
        Phys_Free();
    }
}
