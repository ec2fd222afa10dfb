// The run of the current field: the game clock, the fixed 25 ms steps of the physics, what each step
// reported (sounds, debris, balls sunk), the stop with its verdict, and the start and stop keys.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmodel.h>

#include "terrow/phys/phstep.h"
#include "terrow/phys/phworld.h"
#include "terrow/trmsg.h"
#include "terrow/trplay.h"
#include "win32/wintime.h"

namespace {

TrSimState g_sim = [] {
    TrSimState s{};
    s.paused = 1;
    return s;
}();

// A debris element and the shard set made from it.
struct Debris {
    TrElem *elem;
    void *shards;
};

const TrPlayHooks &hooks()
{
    return *TrPlayHooksGet();
}

void sound(int id)
{
    if (hooks().sound != nullptr)
        hooks().sound(id);
}

void status(const char *text, int32_t ms)
{
    if (hooks().status != nullptr)
        hooks().status(text, ms);
}

void post(int32_t key)
{
    if (hooks().postKey != nullptr)
        hooks().postKey(key);
}

void remove_quietly(TrElem *e)
{
    TrPalya *field = Palya_Current();
    if (field == nullptr || Palya_IndexOf(field, e) < 0)
        return;
    const int was = Palya_SuppressChangeMark(1);
    Palya_Remove(e);
    Palya_SuppressChangeMark(was);
}

// Frees the node's shard set and removes its debris element: the node's successor.
TrNode *drop_debris(TrNode *node)
{
    auto *d = static_cast<Debris *>(node->item);
    TrNode *next = node->next;
    const bool first = node == g_sim.debris;
    if (d->shards != nullptr && hooks().shardsFree != nullptr)
        hooks().shardsFree(d->shards);
    remove_quietly(d->elem);
    free(d);
    TrNode *head = Node_Remove(node);
    if (first)
        g_sim.debris = head;
    return next;
}

void markers_out(bool out)
{
    TrPalya *field = Palya_Current();
    if (field == nullptr)
        return;
    for (int32_t i = 0; i < field->count; i++) {
        TrElem *e = field->elements[i];
        if (e->markerActor == nullptr)
            continue;
        if (out && e->markerActor->parent != nullptr)
            BrActorRemove(e->markerActor);
        else if (!out && e->markerActor->parent == nullptr && e->actor != nullptr)
            BrActorAdd(e->actor, e->markerActor);
    }
}

void make_debris(TrElem *e, uint32_t time)
{
    TrPalya *field = Palya_Current();
    const EIo &io = *e->io;
    // Debris carries no class: it is neither a ball nor a piece of the field.
    TrElem *d = Elem_NewV(-1, -1, -1, io.direction, TrDebrisType(io.type), EF_RUN_MADE, 0);
    const int was = Palya_SuppressChangeMark(1);
    Palya_AddElem(field, d);
    Palya_SuppressChangeMark(was);
    if (hooks().lookMake != nullptr)
        hooks().lookMake(d);
    Palya_Reattach(d);
    if (io.variant != 0 && hooks().lookSetMaterialOf != nullptr)
        hooks().lookSetMaterialOf(d, io.type, io.variant);
    if (d->actor != nullptr && e->actor != nullptr)
        d->actor->t = e->actor->t;
    void *shards = hooks().shardsNew != nullptr ? hooks().shardsNew(d, time) : nullptr;
    if (shards == nullptr)
        return;  // without shards the piece goes at the clean-up
    auto *item = static_cast<Debris *>(malloc(sizeof(Debris)));
    if (item == nullptr) {
        if (hooks().shardsFree != nullptr)
            hooks().shardsFree(shards);
        return;
    }
    *item = {d, shards};
    TrNode *head = Node_Push(item, g_sim.debris);
    if (head == g_sim.debris) {
        if (hooks().shardsFree != nullptr)
            hooks().shardsFree(shards);
        free(item);
        return;
    }
    g_sim.debris = head;
}

void cleanup()
{
    while (g_sim.debris != nullptr)
        drop_debris(g_sim.debris);
    TrPalya *field = Palya_Current();
    if (field == nullptr)
        return;
    for (int32_t i = field->count - 1; i >= 0; i--) {
        TrElem *e = field->elements[i];
        if (e->actor != nullptr) {
            e->actor->type = BR_ACTOR_MODEL;
            TrActionFreeForActor(e->actor);
            if (e->actor->parent == nullptr ||
                (e->actor->parent != field->opaqueParent && e->actor->parent != field->translucentParent))
                Palya_Reattach(e);
        }
        if (e->io->flags & EF_RUN_MADE)
            remove_quietly(e);
    }
    for (int32_t i = 0; i < field->count; i++)
        field->elements[i]->io->flags &= ~(EF_SUNK | EF_DESTROYED | EF_HANDLED);
}

void counter_sound(int32_t level, int hard, int soft)
{
    if (level == 2)
        sound(hard);
    else if (level == 1)
        sound(soft);
}

uint32_t now()
{
    return timeGetTime();
}

}  // namespace

extern "C" {

TrSimState *TrSimGet(void)
{
    return &g_sim;
}

int32_t TrDebrisType(int32_t type)
{
    switch (type) {
    case 0: case 1: case 2: case 3: case 10: case 11: case 21: case 22: case 24: case 25:
        return type + TY_DEBRIS_BASE;
    default:
        return TY_DEBRIS_OTHER;
    }
}

uint32_t TrGameClock(void)
{
    const uint32_t real = g_sim.paused ? g_sim.pauseStart : now();
    const uint32_t t = real - g_sim.clockStart;
    if (g_sim.lastClock > t)
        g_sim.lastClock = t;
    uint32_t out;
    if (t - g_sim.lastClock < 501 && !g_sim.capture) {
        g_sim.lastClock = t;
        out = t;
    } else {
        // After a stall, and for every captured frame, the game moves on by one 55 ms slice.
        g_sim.clockStart -= g_sim.lastClock - t + 55;
        g_sim.lastClock += 55;
        out = g_sim.lastClock;
    }
    return g_sim.fast ? out * 3 : out;
}

void TrSetPaused(int32_t paused)
{
    paused = paused != 0;
    if (paused == g_sim.paused)
        return;
    if (paused) {
        g_sim.pauseStart = now();
        g_sim.paused = 1;
    } else {
        g_sim.clockStart += now() - g_sim.pauseStart;
        g_sim.paused = 0;
    }
}

void TrSetCapture(int32_t on)
{
    g_sim.capture = on != 0;
}

int Sim_Start(void)
{
    g_sim.simTime = 0;
    PhysCounters = {};
    TrPalya *field = Palya_Current();
    return field != nullptr ? Phys_Build(field) : 0;
}

int Sim_Advance(uint32_t target)
{
    for (TrNode *n = g_sim.debris; n != nullptr;) {
        auto *d = static_cast<Debris *>(n->item);
        if (hooks().shardsStep != nullptr && hooks().shardsStep(d->shards, target))
            n = drop_debris(n);
        else
            n = n->next;
    }
    if (!TrPlayModeGet()->game && TrPlayModeGet()->debug) {
        char text[64];
        snprintf(text, sizeof text, "Running %5d s %3d ms", int(target / 1000), int(target % 1000));
        status(text, 0);
    }
    TrPalya *field = Palya_Current();
    if (field == nullptr || g_sim.simTime >= target)
        return 0;
    for (;;) {
        PhysCounters = {};
        const int event = Phys_Step(field, int32_t(g_sim.simTime));
        TrStepHandler(g_sim.simTime);
        if (event != 0 && g_sim.debris == nullptr)
            return 1;
        g_sim.simTime += TR_STEP_MS;
        if (g_sim.simTime >= target)
            return 0;
    }
}

void TrStepHandler(uint32_t time)
{
    PhWorld &w = PhysWorld;
    std::vector<TrElem *> collected;
    for (int32_t i = 0; i < w.removedCount; i++) {
        TrElem *e = w.removed[i];
        uint32_t &f = e->io->flags;
        if (!(f & (EF_SUNK | EF_DESTROYED)) || (f & EF_HANDLED) || e->actor == nullptr ||
            e->actor->type != BR_ACTOR_MODEL)
            continue;
        e->actor->type = BR_ACTOR_NONE;
        if (!(f & EF_DESTROYED)) {
            if (hooks().tallyAddBall != nullptr)
                hooks().tallyAddBall(e);
            sound(7);
        }
        f |= EF_HANDLED;
        if (f & EF_NOT_BALL)
            collected.push_back(e);
    }
    if (!collected.empty() && hooks().backgroundRepair != nullptr)
        hooks().backgroundRepair(collected.data(), int32_t(collected.size()));
    for (int32_t i = 0; i < w.removedCount; i++) {
        TrElem *e = w.removed[i];
        if (!(e->io->flags & EF_DESTROYED))
            continue;
        e->io->flags &= ~EF_DESTROYED;
        if (e->io->type == TY_G_BOMBA) {
            sound(2);
            if (hooks().glowPulse != nullptr && e->actor != nullptr)
                hooks().glowPulse(e->actor, 400);
        } else if (e->io->type == TY_G_UVEG) {
            sound(3);
        }
        e->shadowReceivers[0] = nullptr;
        make_debris(e, time);
    }
    counter_sound(PhysCounters.bomba, 4, 9);
    counter_sound(PhysCounters.fem, 4, 9);
    counter_sound(PhysCounters.uveg, 1, 21);
    counter_sound(PhysCounters.gumi, 14, 22);
    if (PhysCounters.magnet != 0)
        sound(10);
}

int Sim_Stop(void)
{
    TrPalya *field = Palya_Current();
    // Counted while the world stands: freeing it gives the balls their flags from before the run.
    const int solved = field != nullptr && Palya_CountSunk() >= Palya_BallsNeeded();
    Phys_Free();
    cleanup();
    if (field != nullptr && hooks().shadowFindBelow != nullptr)
        for (int32_t i = 0; i < field->count; i++)
            hooks().shadowFindBelow(field->elements[i]);
    return solved;
}

int TrRunStart(void)
{
    const TrPlayMode &mode = *TrPlayModeGet();
    if (!Palya_AllDirectionsSet()) {
        status(TrMessage(38), 0);
        for (int32_t s = 0; s < 4; s++) {
            Palya_MarkerBlink(s);
            if (hooks().drawFrame != nullptr)
                hooks().drawFrame();
        }
        Palya_MarkerBlink(4);
        return 0;
    }
    if (!Sim_Start())
        return 0;
    if (!Palya_HasBalls()) {
        // Nothing could roll: the world just built goes again.
        status(TrMessage(!mode.game && !Palya_HasStart() ? 3 : 2), 0);
        Phys_Free();
        return 0;
    }
    g_sim.fast = (mode.fastSwitch != nullptr ? *mode.fastSwitch : mode.fast) != 0;
    sound(0);
    g_sim.paused = 0;
    g_sim.runOver = 0;
    g_sim.testPassed = 0;
    markers_out(true);
    if (hooks().toolbarRun != nullptr)
        hooks().toolbarRun(1);
    g_sim.clockStart = now();
    g_sim.lastClock = 0;
    g_sim.runActive = 1;
    if (hooks().tallyStart != nullptr)
        hooks().tallyStart(Palya_BallsNeeded());
    return 1;
}

void TrRunKeyStart(void)
{
    if (!g_sim.runActive) {
        TrRunStart();
        return;
    }
    TrSetPaused(!g_sim.paused);
    const bool debug = TrPlayModeGet()->debug != 0;
    if (!g_sim.paused) {
        if (debug)
            status("Running", 0);
        return;
    }
    if (Sim_Advance(TrGameClock()))
        post(TR_KEY_STOP);
    if (debug)
        status("Stopped", 0);
}

void TrRunKeyStop(void)
{
    if (!g_sim.runActive)
        return;
    const TrPlayMode &mode = *TrPlayModeGet();
    TrSetPaused(1);
    const int solved = Sim_Stop();
    g_sim.runActive = 0;
    g_sim.runOver = 0;
    markers_out(false);
    Palya_PlaceAll();
    if (hooks().toolbarRun != nullptr)
        hooks().toolbarRun(0);
    if (!solved)
        return;
    if (mode.testRun) {
        status(TrMessage(47), 0);
        g_sim.testPassed = 1;
    } else if (mode.game) {
        if (hooks().victory != nullptr)
            hooks().victory();
    } else {
        if (TrPalya *f = Palya_Current())
            f->levelFlags |= LF_PLAYABLE;
        status(TrMessage(48), 30000);
    }
}

void TrRunFailed(void)
{
    if (hooks().startButton != nullptr)
        hooks().startButton(0, 500);
    g_sim.runOver = 20;
    g_sim.runOverDeadline = now();
    const int32_t needed = Palya_BallsNeeded();
    char text[128];
    if (needed == 1)
        snprintf(text, sizeof text, "%s", TrMessage(50));
    else
        snprintf(text, sizeof text, TrMessage(49), int(needed));
    status(text, 500);
}

void TrRunFrame(void)
{
    const TrPlayMode &mode = *TrPlayModeGet();
    if (g_sim.runOver != 0) {
        g_sim.runOver = 0;
        post(TR_KEY_STOP);
        return;
    }
    if (!g_sim.runActive || g_sim.paused)
        return;
    TrPalya *field = Palya_Current();
    if (Sim_Advance(TrGameClock())) {
        if (!mode.game || mode.testRun) {
            post(TR_KEY_STOP);
        } else if (Palya_CountSunk() >= Palya_BallsNeeded()) {
            TrRunKeyStop();
        } else {
            TrRunFailed();
        }
        return;
    }
    if (field == nullptr)
        return;
    if (Palya_BallsNeeded() - Palya_CountSunk() < 1) {
        if (!mode.game || mode.testRun)
            field->levelFlags |= LF_PLAYABLE;
        else
            TrRunKeyStop();
    }
}

void TrSimInstallPhysics(const char *logPath)
{
    PhHost host = Phys_Host();
    host.modelUpdate = [](br_model *model, uint16_t flags) { BrModelUpdate(model, flags); };
    host.traceMark = nullptr;
    Phys_SetHost(&host);
    Phys_SetLogPath(logPath);
}

}  // extern "C"
