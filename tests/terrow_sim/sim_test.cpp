// The run on the virtual clock: the game clock and its stall rule, pausing, the fixed steps, what a
// step handler makes of the physics' reports, the refusals, the stop's outcomes and timed actions.
#include "playtest.h"
#include "win32/wintime.h"

using playtest::Play;
using playtest::rec;

namespace {

// A ball that rolls two cells into a goal.
const char *kGoal = "balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 2 0 0 0 goal\nelem 0 1 0 3 iron\n";
// A ball that rolls and stays out of the goal.
const char *kMiss = "balls 2\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 2 0 0 0 goal\nelem 0 1 0 3 iron\n";

class Sim : public Play {
protected:
    void start_clock()
    {
        TrSimState &s = *TrSimGet();
        s.paused = 0;
        s.clockStart = timeGetTime();
        s.lastClock = 0;
    }
    // Frames every `ms` until the run posts its stop; the steps the physics took.
    void run_to_stop(uint32_t ms = 40)
    {
        for (int i = 0; i < 10000 && rec().keys.empty() && TrSimGet()->runActive; i++) {
            PlatAdvanceClock(ms);
            TrRunFrame();
        }
    }
};

}  // namespace

TEST_F(Sim, ClockTable)
{
    start_clock();
    TrSimState &s = *TrSimGet();
    struct Frame {
        uint32_t realMs;
        int fast, capture;
        uint32_t gameAdvance;
    } frames[] = {
        {40, 0, 0, 40},  {2000, 0, 0, 55}, {500, 0, 0, 500}, {501, 0, 0, 55},
        {0, 0, 1, 55},   {300, 0, 1, 55},  {100, 1, 0, 300}, {3000, 1, 0, 165},
        {10, 1, 1, 165},
    };
    uint32_t last = TrGameClock();
    for (const Frame &f : frames) {
        s.fast = f.fast;
        s.capture = f.capture;
        PlatAdvanceClock(f.realMs);
        // The fast clock triples the whole reading: compare like with like.
        const uint32_t before = f.fast ? s.lastClock * 3 : s.lastClock;
        const uint32_t now = TrGameClock();
        EXPECT_EQ(now - before, f.gameAdvance) << f.realMs << " ms fast " << f.fast << " capture " << f.capture;
        last = now;
    }
    (void)last;
    // A last reading ahead of the clock (the start moved) is pulled back, never run backwards.
    s.fast = s.capture = 0;
    s.lastClock += 1000;
    const uint32_t t = TrGameClock();
    EXPECT_EQ(s.lastClock, t);
}

TEST_F(Sim, FastFrameOfAHundredMillisecondsRunsTwelveSteps)
{
    load(kMiss);
    ASSERT_EQ(Sim_Start(), 1);
    start_clock();
    TrSimGet()->fast = 1;
    PlatAdvanceClock(100);
    EXPECT_EQ(Sim_Advance(TrGameClock()), 0);
    EXPECT_EQ(TrSimGet()->simTime, 300u);  // 12 steps of 25 ms
    Phys_Free();
}

TEST_F(Sim, PauseOfTenSecondsContinuesTheGameTime)
{
    start_clock();
    PlatAdvanceClock(300);
    EXPECT_EQ(TrGameClock(), 300u);
    TrSetPaused(1);
    PlatAdvanceClock(10000);
    EXPECT_EQ(TrGameClock(), 300u);
    TrSetPaused(0);
    PlatAdvanceClock(40);
    EXPECT_EQ(TrGameClock(), 340u);
}

TEST_F(Sim, StepHandlerTurnsReportsIntoDebrisAndSounds)
{
    struct Debris {
        int32_t type, debris;
    } types[] = {{0, 70}, {1, 71}, {2, 72}, {3, 73}, {10, 80}, {11, 81}, {20, 90}, {21, 91},
                 {22, 92}, {23, 90}, {24, 94}, {25, 95}};
    for (const Debris &d : types)
        EXPECT_EQ(TrDebrisType(d.type), d.debris) << d.type;

    TrPalya *f = load("balls 1\nelem 0 0 0 0 block\nelem 1 0 0 0 goal\nelem 0 1 0 3 iron\nelem 2 0 0 0 block\n"
                      "elem 2 1 0 3 bomb\n");
    TrElem *iron = at(0, 1, 0), *bomb = at(2, 1, 0), *block = at(2, 0, 0);
    const int32_t count = f->count;
    // The iron ball sank; the bomb and the block under it broke.
    iron->io->flags |= EF_SUNK;
    bomb->io->flags |= EF_DESTROYED;
    block->io->flags |= EF_DESTROYED;
    PhysWorld.removed[0] = iron;
    PhysWorld.removed[1] = bomb;
    PhysWorld.removed[2] = block;
    PhysWorld.removedCount = 3;
    PhysCounters = {};
    PhysCounters.uveg = 2;
    PhysCounters.gumi = 1;
    PhysCounters.magnet = 1;
    TrStepHandler(100);
    EXPECT_EQ(rec().sounds, (std::vector<int>{7, 2, 1, 22, 10}));
    EXPECT_EQ(iron->actor->type, BR_ACTOR_NONE);
    EXPECT_TRUE(iron->io->flags & EF_HANDLED);
    EXPECT_EQ(bomb->io->flags & EF_DESTROYED, 0u);
    ASSERT_EQ(f->count, count + 2);
    EXPECT_EQ(f->elements[count]->io->type, 72);
    EXPECT_EQ(f->elements[count + 1]->io->type, 90);
    EXPECT_EQ(f->elements[count]->io->flags, EF_RUN_MADE);  // a broken ball is no ball any more
    EXPECT_EQ(Node_RemoveItem(f->balls, f->elements[count]), f->balls);
    EXPECT_EQ(f->flags & PF_MODIFIED, 0u);
    // Handled once: the same report again plays no second sink.
    rec().sounds.clear();
    PhysWorld.removedCount = 1;
    PhysCounters = {};
    TrStepHandler(125);
    EXPECT_TRUE(rec().sounds.empty());
    PhysWorld.removedCount = 0;
    // The stop's clean-up takes the debris away and shows every actor again.
    EXPECT_EQ(Sim_Stop(), 1);
    EXPECT_EQ(f->count, count);
    EXPECT_EQ(iron->actor->type, BR_ACTOR_MODEL);
    EXPECT_EQ(iron->io->flags & (EF_SUNK | EF_HANDLED), 0u);
}

TEST_F(Sim, StopWithDebrisPendingRunsOn)
{
    TrPlayHooks h = *TrPlayHooksGet();
    h.shardsNew = [](TrElem *, uint32_t) -> void * { return &rec(); };
    h.shardsStep = [](void *, uint32_t) { return --rec().shardsLeft <= 0 ? 1 : 0; };
    h.shardsFree = [](void *) { rec().shardsFreed++; };
    TrSetPlayHooks(&h);
    // A bomb that breaks on the block in its way, and nothing else that rolls.
    TrPalya *f = load("balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 2 0 0 0 block\nelem 3 0 0 0 goal\n"
                      "elem 2 1 0 0 block\nelem 0 1 0 3 bomb\n");
    rec().shardsLeft = 1000000;
    ASSERT_EQ(TrRunStart(), 1);
    uint32_t stoppedAt = 0;
    for (int i = 0; i < 400 && rec().keys.empty(); i++) {
        PlatAdvanceClock(40);
        TrRunFrame();
        if (TrSimGet()->debris != nullptr && rec().shardsLeft > 5)
            rec().shardsLeft = 5;  // the shards end a few frames after the break
        if (!rec().keys.empty())
            stoppedAt = TrSimGet()->simTime;
    }
    ASSERT_EQ(rec().keys, (std::vector<int>{TR_KEY_STOP}));
    EXPECT_EQ(rec().shardsFreed, 2);  // the bomb's and the block's
    EXPECT_EQ(TrSimGet()->debris, nullptr);
    EXPECT_GT(stoppedAt, 0u);
    TrRunKeyStop();
    EXPECT_EQ(f->count, 6);
    // The physics' own run ends earlier: the rest waited for the debris.
    std::string error;
    TrPalya *copy = trtext::parse(trtext::format(f, false), error);
    const PhRunResult r = Phys_Run(copy, 20000);
    Palya_Free(copy);
    EXPECT_EQ(r.destroyed, 2);
    EXPECT_LT(uint32_t(r.steps - 1) * 25u, stoppedAt);
}

TEST_F(Sim, RunStartRefusals)
{
    // A ball without a direction: message 38 and a full blink of the markers.
    load("balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 goal\nelem 0 1 0 4 iron\n");
    EXPECT_EQ(TrRunStart(), 0);
    EXPECT_EQ(rec().texts, (std::vector<std::string>{TrMessage(38)}));
    EXPECT_EQ(rec().frames, 4);
    EXPECT_FLOAT_EQ(rec().markerShift, 0.0f);
    EXPECT_EQ(at(0, 1, 0)->io->direction, TR_DIR_UNSET);
    EXPECT_EQ(PhysWorld.objects, nullptr);
    // No ball: message 3 without a start position in the editor, else 2; the world is freed again.
    struct Case {
        const char *field;
        int game, message;
    } cases[] = {{"elem 0 0 0 0 block\nelem 1 0 0 0 goal\n", 0, 3},
                 {"elem 0 0 0 0 start\nelem 1 0 0 0 goal\n", 0, 2},
                 {"elem 0 0 0 0 block\nelem 1 0 0 0 goal\n", 1, 2}};
    for (const Case &c : cases) {
        rec().texts.clear();
        load(c.field, c.game);
        EXPECT_EQ(TrRunStart(), 0);
        EXPECT_EQ(rec().texts, (std::vector<std::string>{TrMessage(c.message)}));
        EXPECT_EQ(PhysWorld.objects, nullptr);
        EXPECT_FALSE(TrSimGet()->runActive);
    }
}

TEST_F(Sim, StopOutcomes)
{
    // The editor: a solved run makes the field playable.
    TrPalya *f = load(kGoal, 0);
    f->levelFlags = 0;
    ASSERT_EQ(TrRunStart(), 1);
    EXPECT_EQ(rec().sounds.front(), 0);
    run_to_stop();
    ASSERT_EQ(rec().keys, (std::vector<int>{TR_KEY_STOP}));
    TrRunKeyStop();
    EXPECT_FALSE(TrSimGet()->runActive);
    EXPECT_EQ(f->levelFlags & LF_PLAYABLE, LF_PLAYABLE);
    EXPECT_EQ(rec().texts.back(), TrMessage(48));
    EXPECT_NE(at(0, 1, 0), nullptr);  // the ball is back on its start

    // A test run from the editor.
    rec() = {};
    TrPlayModeGet()->testRun = 1;
    TrPlayModeGet()->game = 1;
    ASSERT_EQ(TrRunStart(), 1);
    run_to_stop();
    TrRunKeyStop();
    EXPECT_EQ(rec().texts.back(), TrMessage(47));
    EXPECT_EQ(TrSimGet()->testPassed, 1);

    // The game, solved: the victory sequence.
    rec() = {};
    TrPlayModeGet()->testRun = 0;
    ASSERT_EQ(TrRunStart(), 1);
    run_to_stop();
    EXPECT_EQ(rec().victories, 1);
    EXPECT_FALSE(TrSimGet()->runActive);
}

TEST_F(Sim, FailedRunInTheGame)
{
    for (int needed : {1, 2}) {
        rec() = {};
        TrPalya *f = load(needed == 1 ? "balls 1\nelem 0 0 0 0 start\nelem 1 0 0 0 block\nelem 2 0 0 0 block\n"
                                        "elem 3 0 0 0 goal\nelem 2 1 0 0 block\nelem 0 1 0 3 iron 0 0x405\n"
                                      : kMiss,
                          1);
        if (needed == 2)
            at(0, 1, 0)->io->flags |= EF_DIR_LOCKED, at(0, 1, 0)->io->direction = 3;
        ASSERT_EQ(f->ballsNeeded, needed);
        ASSERT_EQ(TrRunStart(), 1);
        for (int i = 0; i < 10000 && TrSimGet()->runOver == 0 && TrSimGet()->runActive; i++) {
            PlatAdvanceClock(40);
            TrRunFrame();
        }
        ASSERT_EQ(TrSimGet()->runOver, 20);
        EXPECT_EQ(rec().startButton, (std::vector<int>{0, 500}));
        char text[64];
        snprintf(text, sizeof text, TrMessage(49), needed);
        EXPECT_EQ(rec().texts.back(), needed == 1 ? std::string(TrMessage(50)) : std::string(text));
        EXPECT_TRUE(rec().keys.empty());
        TrRunFrame();  // the next frame sends the stop
        EXPECT_EQ(rec().keys, (std::vector<int>{TR_KEY_STOP}));
        TrRunKeyStop();
        EXPECT_EQ(rec().victories, 0);
    }
}

namespace {

std::vector<int> g_progress;
int g_finishAfter = 0;

int note_progress(TrTimedAction *a)
{
    g_progress.push_back(a->progress);
    return a->progress == -1 && --g_finishAfter <= 0 ? 0 : 1;
}

}  // namespace

TEST_F(Sim, TimedActionSpreadsItsStepsOverTheSpan)
{
    g_progress.clear();
    g_finishAfter = 2;
    ASSERT_NE(TrActionAdd(TrActionNewTimed(1000, 10, note_progress)), nullptr);
    for (int i = 0; i < 12; i++) {
        TrActionRunTimed();
        PlatAdvanceClock(100);
    }
    EXPECT_EQ(g_progress, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, -1}));
    EXPECT_EQ(TrActionFirst(), nullptr);
    // A span of 0 is finished at once.
    g_progress.clear();
    g_finishAfter = 1;
    TrActionAdd(TrActionNewTimed(0, 10, note_progress));
    TrActionRunTimed();
    EXPECT_EQ(g_progress, (std::vector<int>{-1}));
    EXPECT_EQ(TrActionFirst(), nullptr);
    // Many steps over a long span: steps x elapsed passes 32 bits long before the end.
    g_progress.clear();
    g_finishAfter = 1;
    TrActionAdd(TrActionNewTimed(2000000000, 2000000000, note_progress));
    PlatAdvanceClock(3000);
    TrActionRunTimed();
    EXPECT_EQ(g_progress, (std::vector<int>{3000}));
    TrActionFreeAll();
}

TEST_F(Sim, OneActionPerActorAndTheDisableSwitch)
{
    br_actor *a = BrActorAllocate(BR_ACTOR_MODEL, nullptr), *b = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    TrTimedAction *first = TrActionAdd(TrActionNewFrame(a, nullptr, nullptr, [](TrTimedAction *) { return 1; }));
    TrActionAdd(TrActionNewFrame(b, nullptr, nullptr, [](TrTimedAction *) { return 1; }));
    TrTimedAction *second = TrActionAdd(TrActionNewFrame(a, nullptr, nullptr, [](TrTimedAction *) { return 1; }));
    int n = 0;
    for (TrTimedAction *x = TrActionFirst(); x != nullptr; x = x->next) {
        n++;
        EXPECT_NE(x, first);
    }
    EXPECT_EQ(n, 2);
    EXPECT_EQ(TrActionFirst(), second);
    TrActionRunFrame();
    TrActionRunFrame();
    EXPECT_EQ(second->progress, 2);
    EXPECT_EQ(TrActionDisable(1), 0);
    EXPECT_EQ(TrActionAdd(TrActionNewTimed(100, 1, note_progress)), nullptr);
    TrActionDisable(0);
    // An action of no kind that runs is refused too: the blocking run would never see it end.
    EXPECT_EQ(TrActionAdd(TrActionNew(0, nullptr)), nullptr);
    EXPECT_EQ(TrActionAdd(TrActionNew(3, nullptr)), nullptr);
    TrActionFreeForActor(a);
    EXPECT_EQ(TrActionFirst()->actor, b);
    TrActionFreeAll();
    EXPECT_EQ(TrActionFirst(), nullptr);
    BrActorFree(a);
    BrActorFree(b);
}

TEST_F(Sim, ActionRunsUnderTheParentItWasMadeUnder)
{
    br_actor *made = BrActorAllocate(BR_ACTOR_NONE, nullptr), *now = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *actor = BrActorAdd(made, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    static br_actor *seen;
    static br_actor *expected;
    expected = made;
    TrTimedAction *act = TrActionNewFrame(actor, nullptr, nullptr, [](TrTimedAction *x) {
        seen = x->actor->parent;
        return 1;
    });
    TrActionAdd(act);
    BrActorRelink(now, actor);
    TrActionRunFrame();
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(actor->parent, now);
    TrActionFreeAll();
    BrActorFree(made);
    BrActorFree(now);
}

TEST_F(Sim, RunsAgainAlikeAfterStopsPausesAndAClockWrap)
{
    load(kGoal, 0);
    uint32_t firstStop = 0;
    for (int cycle = 0; cycle < 6; cycle++) {
        rec() = {};
        ASSERT_EQ(TrRunStart(), 1) << cycle;
        if (cycle == 2) {
            // A pause long enough to wrap the platform's 32-bit millisecond clock.
            TrRunKeyStart();
            PlatAdvanceClock(0xFFFFFF00ull);
            TrRunKeyStart();
        }
        if (cycle == 3) {
            TrRunKeyStop();  // stopped at once, and a second stop does nothing
            TrRunKeyStop();
            continue;
        }
        run_to_stop(cycle == 4 ? 3000 : 40);
        ASSERT_EQ(rec().keys, (std::vector<int>{TR_KEY_STOP})) << cycle;
        if (firstStop == 0)
            firstStop = TrSimGet()->simTime;
        EXPECT_EQ(TrSimGet()->simTime, firstStop) << cycle;
        TrRunKeyStop();
        EXPECT_EQ(rec().texts.back(), TrMessage(48)) << cycle;
    }
    // Another field loaded during a run ends the run and frees its world.
    ASSERT_EQ(TrRunStart(), 1);
    PlatAdvanceClock(100);
    TrRunFrame();
    load(kMiss, 0);
    EXPECT_FALSE(TrSimGet()->runActive);
    EXPECT_EQ(PhysWorld.objects, nullptr);
}

TEST_F(Sim, CallbacksMayFreeActionsTheirOwnIncluded)
{
    static int calls;
    calls = 0;
    br_actor *actor = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    // Older actions run later in a pass: one frees itself, one frees everything, one would run after.
    TrActionAdd(TrActionNewFrame(nullptr, nullptr, nullptr, [](TrTimedAction *) { return ++calls, 1; }));
    TrActionAdd(TrActionNewFrame(nullptr, nullptr, nullptr, [](TrTimedAction *) {
        calls++;
        TrActionFreeAll();
        return 1;
    }));
    TrActionAdd(TrActionNewFrame(actor, nullptr, nullptr, [](TrTimedAction *a) {
        calls++;
        TrActionFreeForActor(a->actor);
        return 0;
    }));
    TrActionRunFrame();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(TrActionFirst(), nullptr);
    TrActionAdd(TrActionNewTimed(100, 10, [](TrTimedAction *a) {
        TrActionFree(a);
        return 1;
    }));
    TrActionRunTimed();
    EXPECT_EQ(TrActionFirst(), nullptr);
    BrActorFree(actor);
}
