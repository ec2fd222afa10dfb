// Timed actions: callbacks that animate an actor once a frame or over a span of time. The span is
// measured on the platform's monotonic clock, so a run across midnight keeps its timing.
#include <stdlib.h>

#include <vector>

#include <brondel/bractor.h>

#include "terrow/trplay.h"
#include "vokplat/clock.h"

namespace {

TrTimedAction *g_first = nullptr;
bool g_disabled = false;
bool g_finishing = false;  // the blocking run: every timed action is at its end
TrTimedAction *g_running = nullptr;  // the action whose callback runs now
bool g_runningFreed = false;         // ...and was freed by it: its block goes once it returns

uint64_t now_ms()
{
    return PlatClockNow() / 1000u;
}

void unlink(TrTimedAction *a)
{
    if (a->previous != nullptr)
        a->previous->next = a->next;
    else if (g_first == a)
        g_first = a->next;
    if (a->next != nullptr)
        a->next->previous = a->previous;
    a->previous = a->next = nullptr;
}

bool linked(const TrTimedAction *a)
{
    return a->previous != nullptr || g_first == a;
}

// Compares addresses only: `a` may have been freed.
bool listed(const TrTimedAction *a)
{
    for (const TrTimedAction *o = g_first; o != nullptr; o = o->next)
        if (o == a)
            return true;
    return false;
}

// The callback sees its actor under the parent it was made under.
int run_one(TrTimedAction *a)
{
    br_actor *current = a->actor != nullptr ? a->actor->parent : nullptr;
    const bool relink = a->savedParent != nullptr && current != nullptr && current != a->savedParent;
    if (relink)
        BrActorRelink(a->savedParent, a->actor);
    const int r = a->callback != nullptr ? a->callback(a) : 0;
    if (relink)
        BrActorRelink(current, a->actor);
    return r;
}

// Runs every action of `kind` that is listed when the pass begins. A callback may free any action,
// its own included (a stop that clears the scene): the one running is freed once it returns, and
// one freed before its turn is skipped.
template <typename Before>
void run_kind(int32_t kind, Before before, bool countFrames)
{
    std::vector<TrTimedAction *> due;
    for (TrTimedAction *a = g_first; a != nullptr; a = a->next)
        if (a->kind == kind)
            due.push_back(a);
    for (TrTimedAction *a : due) {
        if (!listed(a))
            continue;
        before(a);
        TrTimedAction *const outer = g_running;
        const bool outerFreed = g_runningFreed;
        g_running = a;
        g_runningFreed = false;
        const int r = run_one(a);
        const bool freed = g_runningFreed;
        g_running = outer;
        g_runningFreed = outerFreed;
        if (freed)
            free(a);
        else if (r == 0)
            TrActionFree(a);
        else if (countFrames)
            a->progress++;
    }
}

}  // namespace

extern "C" {

TrTimedAction *TrActionNew(int32_t kind, br_actor *actor)
{
    auto *a = static_cast<TrTimedAction *>(calloc(1, sizeof(TrTimedAction)));
    if (a == nullptr)
        return nullptr;
    a->kind = kind;
    a->actor = actor;
    a->savedParent = actor != nullptr ? actor->parent : nullptr;
    return a;
}

TrTimedAction *TrActionNewTimed(int32_t span, int32_t steps, TrActionCallback callback)
{
    TrTimedAction *a = TrActionNew(2, nullptr);
    if (a == nullptr)
        return nullptr;
    a->span = span;
    a->steps = steps;
    a->started = now_ms();
    a->callback = callback;
    return a;
}

TrTimedAction *TrActionNewFrame(br_actor *actor, const br_matrix34 *from, const br_matrix34 *to,
                                TrActionCallback callback)
{
    TrTimedAction *a = TrActionNew(1, actor);
    if (a == nullptr)
        return nullptr;
    if (from != nullptr) {
        a->fromMatrix = *from;
        a->from = &a->fromMatrix;
    }
    if (to != nullptr) {
        a->toMatrix = *to;
        a->to = &a->toMatrix;
    }
    a->callback = callback;
    return a;
}

TrTimedAction *TrActionAdd(TrTimedAction *action)
{
    if (action == nullptr)
        return nullptr;
    // Only frame and timed actions ever run: any other kind would stay listed for good, and the
    // blocking run would wait on it for ever.
    if (g_disabled || (action->kind != 1 && action->kind != 2)) {
        free(action);
        return nullptr;
    }
    action->previous = nullptr;
    action->next = g_first;
    if (g_first != nullptr)
        g_first->previous = action;
    g_first = action;
    if (action->actor != nullptr)
        for (TrTimedAction *o = action->next; o != nullptr; o = o->next)
            if (o->actor == action->actor) {
                TrActionFree(o);
                break;
            }
    return action;
}

void TrActionRemove(TrTimedAction *action)
{
    if (action != nullptr && linked(action))
        unlink(action);
}

void TrActionFree(TrTimedAction *action)
{
    if (action == nullptr)
        return;
    TrActionRemove(action);
    if (action == g_running) {
        g_runningFreed = true;
        return;
    }
    free(action);
}

void TrActionFreeAll(void)
{
    while (g_first != nullptr)
        TrActionFree(g_first);
}

void TrActionFreeForActor(br_actor *actor)
{
    // Every action on the actor: a fly-in and a later move may both hold it.
    for (TrTimedAction *a = g_first, *next = nullptr; a != nullptr; a = next) {
        next = a->next;
        if (a->actor == actor)
            TrActionFree(a);
    }
}

void TrActionRunFrame(void)
{
    run_kind(1, [](TrTimedAction *) {}, true);
}

void TrActionRunTimed(void)
{
    run_kind(
        2,
        [](TrTimedAction *a) {
            a->elapsed = now_ms() - a->started;
            if (a->span <= 0 || g_finishing) {
                a->progress = -1;  // nothing to spread: finished at once
                return;
            }
            const uint64_t p = uint64_t(a->steps < 0 ? 0 : a->steps) * a->elapsed / uint64_t(a->span);
            a->progress = p >= uint64_t(a->steps < 0 ? 0 : a->steps) ? -1 : int32_t(p);
        },
        false);
}

void TrActionRunAll(void)
{
    const bool was = g_finishing;
    g_finishing = true;
    while (g_first != nullptr) {
        TrActionRunFrame();
        TrActionRunTimed();
    }
    g_finishing = was;
}

int TrActionDisable(int on)
{
    const int was = g_disabled ? 1 : 0;
    g_disabled = on != 0;
    return was;
}

TrTimedAction *TrActionFirst(void)
{
    return g_first;
}

}  // extern "C"
