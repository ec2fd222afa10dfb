// The tables of enabled lights, clip planes and horizon planes, and the environment actor.
#include "scene.h"

namespace {

void enable(br_v1db_enable *e, br_actor *a)
{
    if (a == nullptr)
        return;
    if (e->enabled == nullptr) {
        e->enabled = (br_actor **)BrResAllocate(v1db.res, sizeof(br_actor *) * (br_size_t)e->max,
                                                BR_MEMORY_ENABLED_ACTORS);
        if (e->enabled == nullptr)
            return;
    }
    for (int i = 0; i < e->max; i++)
        if (e->enabled[i] == a)
            return;
    for (int i = 0; i < e->max; i++) {
        if (e->enabled[i] == nullptr) {
            e->enabled[i] = a;
            e->count++;
            return;
        }
    }
    BrFailure("too many enabled %ss", e->name);
}

void disable(br_v1db_enable *e, br_actor *a)
{
    if (e->enabled == nullptr || a == nullptr)
        return;
    for (int i = 0; i < e->max; i++) {
        if (e->enabled[i] == a) {
            e->enabled[i] = nullptr;
            e->count--;
            return;
        }
    }
}

} // namespace

void BrLightEnable(br_actor *l) { enable(&v1db.enabled_lights, l); }
void BrLightDisable(br_actor *l) { disable(&v1db.enabled_lights, l); }
void BrClipPlaneEnable(br_actor *p) { enable(&v1db.enabled_clip_planes, p); }
void BrClipPlaneDisable(br_actor *p) { disable(&v1db.enabled_clip_planes, p); }
void BrHorizonPlaneEnable(br_actor *p) { enable(&v1db.enabled_horizon_planes, p); }
void BrHorizonPlaneDisable(br_actor *p) { disable(&v1db.enabled_horizon_planes, p); }

br_actor *BrEnvironmentSet(br_actor *a)
{
    br_actor *old = v1db.enabled_environment;
    v1db.enabled_environment = a;
    return old;
}

// Every table, whatever the actor's type: an actor enabled in a table of another type (or whose type
// changed since) must not stay behind there once freed.
void BrDbActorEnableRemove(br_actor *a)
{
    if (v1db.enabled_environment == a)
        v1db.enabled_environment = nullptr;
    disable(&v1db.enabled_lights, a);
    disable(&v1db.enabled_clip_planes, a);
    disable(&v1db.enabled_horizon_planes, a);
}
