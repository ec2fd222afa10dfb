/* The current field and what works on it: the field operations shared by the game, the editor, the
 * run and the physics; the supply counters and the placement rules; the element catalogue; the timed
 * actions; the run of the simulation with its clock. The looks, effects and screens that later work
 * brings are reached through TrPlayHooks, so that all of this runs headless. */
#ifndef TERROW_TRPLAY_H
#define TERROW_TRPLAY_H

#include <stddef.h>
#include <stdint.h>

#include <brondel/brmatrix.h>

#include "terrow/trfield.h"

struct br_actor;
struct br_material;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Seams to later work; every entry may be null (nothing is done then). */
typedef struct TrPlayHooks {
    /* Looks: make, refresh and free an element's actors (the main actor and a ball's marker). */
    void (*lookMake)(TrElem *elem);
    void (*lookRefresh)(TrElem *elem);
    void (*lookFree)(TrElem *elem);
    /* 1 when the element's material is drawn opaque (no hook: opaque but for the translucent ball). */
    int (*lookOpaque)(TrElem *elem);
    /* A debris element takes the material of `type` in `variant`. */
    void (*lookSetMaterialOf)(TrElem *debris, int32_t type, int32_t variant);
    /* The direction marker: `set` 1 shows the set model, 0 the unset one; the blink moves the marker
     * material's fifth value by `delta`. */
    void (*markerModel)(TrElem *elem, int set);
    void (*markerMaterialShift)(float delta);
    /* Draws one frame at once (the marker blink). */
    void (*drawFrame)(void);
    void (*sound)(int id);
    /* A status text for `ms` milliseconds (0: until replaced). */
    void (*status)(const char *text, int32_t ms);
    void (*backgroundRepair)(TrElem **elems, int32_t count);
    void (*tallyStart)(int32_t needed);
    void (*tallyAddBall)(TrElem *ball);
    void (*glowPulse)(struct br_actor *actor, int32_t ms);
    void *(*shardsNew)(TrElem *debris, uint32_t time);
    /* 1 when the shard set has ended. */
    int (*shardsStep)(void *set, uint32_t time);
    void (*shardsFree)(void *set);
    void (*shadowUpdate)(TrElem *ball);
    void (*shadowFindBelow)(TrElem *elem);
    void (*flyIn)(TrElem *elem);
    /* Key 22222 or 22223 to the window (the stop is posted, not run inside the frame). */
    void (*postKey)(int32_t key);
    /* The start button: `enabled` 0 greys it for `ms`; the run state of the toolbar. */
    void (*startButton)(int enabled, int32_t ms);
    void (*toolbarRun)(int running);
    /* The field became playable or a test run passed; the game's victory or game-over sequence. */
    void (*victory)(void);
    /* A catalogue sample's marker shows the count model of `count` (0..9). */
    void (*countModel)(TrElem *sample, int32_t count);
} TrPlayHooks;
/* Installs the hooks (null: none); returns the previous ones. */
TrPlayHooks TrSetPlayHooks(const TrPlayHooks *hooks);
const TrPlayHooks *TrPlayHooksGet(void);

/* ---- How the field is used: the game (1) or the editor (0), a test run from the editor, the
 * editor's secret mode, the debug texts. */
typedef struct TrPlayMode {
    int32_t game;
    int32_t testRun;
    int32_t secret;
    int32_t debug;
    int32_t fast;       /* the fast run switch, read at each run start... */
    const int32_t *fastSwitch; /* ...from here when set (the settings' dword 2) */
    struct br_actor *selectionParents[2]; /* the editor's selection parents (a quarter turn about x) */
} TrPlayMode;
TrPlayMode *TrPlayModeGet(void);

/* ---- The current field. */
TrPalya *Palya_Current(void);
TrElem *Palya_Identity(TrElem *elem);
/* Makes `field` current (owned from now on) and builds its scene under the parents (each may be
 * null); the old one is released. 1 on success. */
int Palya_Install(TrPalya *field, struct br_actor *opaqueParent, struct br_actor *translucentParent,
                  struct br_actor *fieldRoot);
int Palya_Replace(const char *path, struct br_actor *opaqueParent, struct br_actor *translucentParent,
                  struct br_actor *fieldRoot);
int Palya_ReplaceDefault(struct br_actor *opaqueParent, struct br_actor *translucentParent,
                         struct br_actor *fieldRoot);
void Palya_Release(void);
TrElem *Palya_FindCell(const TrPalya *field, int32_t x, int32_t y, int32_t z);
/* Cell offsets of the six sides: 0 +z, 1 -z, 2 -x, 3 +x, 4 above, 5 below. */
void Palya_SideOffset(int32_t side, int32_t *dx, int32_t *dy, int32_t *dz);
int Palya_CellFree(const TrElem *elem, int32_t side);
TrElem *Palya_Above(const TrElem *elem);
int Palya_AboveFree(const TrElem *elem);
int Palya_TwoAboveFree(const TrElem *elem);
int Palya_AboveIsLevelPart(const TrElem *elem);
TrElem *Palya_Add(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, int levelPart,
                  int32_t variant);
TrElem *Palya_AddAbove(const TrElem *elem, int32_t direction, int32_t type, int levelPart);
TrElem *Palya_AddNext(const TrElem *elem, int32_t direction, int32_t type, int levelPart, int32_t side);
int Palya_Move(TrElem *elem, const TrElem *target, int32_t side);
void Palya_Remove(TrElem *elem);
void Palya_Place(TrElem *elem, int inField);
void Palya_PlaceAll(void);
void Palya_AttachAll(struct br_actor *opaqueParent, struct br_actor *translucentParent);
void Palya_Reattach(TrElem *elem);
void Palya_BallsNeededAdd(int32_t delta);
int Palya_AllDirectionsSet(void);
int32_t Palya_CountSunk(void);
int Palya_HasBalls(void);
int Palya_HasStart(void);
int Palya_SaveCurrent(const char *path);
int Palya_SaveCurrentUser(const char *path);
int Palya_LoadCurrentUser(const char *path);
void Palya_TakeBackSupplied(void);
void Palya_FlyInAll(void);
void Palya_RemoveSupplied(void);
void Palya_CountSupplied(void);
void Palya_ClearToFloor(void);
void Palya_MarkerBlink(int32_t state);
/* The balls the game asks for: a field's 0 counts as 1. */
int32_t Palya_BallsNeeded(void);

/* ---- Supply counters: 400, index type + d * 100 (d the direction for tiles, 0 for balls). */
#define TR_SUPPLY_COUNTERS 400
void Supply_Clear(void);
void Supply_Add(int32_t type, int32_t direction);
/* The value before; decrements only a counter above 0. */
int32_t Supply_Take(int32_t type, int32_t direction);
int32_t Supply_Get(int32_t type, int32_t direction);
/* The counter's index, -1 for a type or direction that has none. */
int32_t Supply_Index(int32_t type, int32_t direction);

/* ---- Placement rules: 1 allowed, 0 refused (Edit_Refusal() then names why). */
int Edit_CheckTop(const TrElem *target, int32_t carriedType, int32_t carriedDirection);
/* The game rule without the free-cell test: may a supplied piece stand on `below`? */
int Edit_CheckSupport(const TrElem *below, int32_t carriedType, int32_t carriedDirection);
const char *Edit_Refusal(void);
void Edit_SetRefusal(const char *text);

/* ---- Element catalogue. */
#define TR_CATALOGUE_SAMPLES 17
typedef struct TrCatalogueParents {
    struct br_actor *ballSlot;        /* parent of the ball samples */
    struct br_actor *selection;       /* the second selection parent (slopes, corners) */
    struct br_actor *nodes[5];        /* nodes 1..5: block, start, magnet, nailed, goal */
} TrCatalogueParents;
void TrCatalogueBuild(const TrCatalogueParents *parents);
void TrCatalogueFree(void);
int32_t TrCatalogueCount(void);
TrElem *TrCatalogueFind(int32_t type, int32_t direction);
TrElem *TrCatalogueSetVariant(int32_t type, int32_t direction, int32_t variant);
TrElem *TrCatalogueAt(int32_t index);
/* The ball slots: position of slot k (0..3) times `factor` in x and z. */
void TrCatalogueSlotPosition(int32_t slot, float factor, float out[3]);
float TrCatalogueLayoutFactor(void);
void TrCatalogueSlot(int32_t type, int32_t slot, float factor);
int TrCatalogueSlotIfSupplied(int32_t type, int32_t slot, float factor);
/* The view's pair of positions the layouts fill. */
void TrCataloguePair(float out[2][3]);
void TrCatalogueLayoutEditor(void);
void TrCatalogueLayoutGame(void);
void TrCatalogueShowAll(void);
void TrCatalogueShowSupplied(void);
void TrCatalogueSupplyShow(void);
/* The count a sample's marker shows (held to 0..9), -1 for a hidden marker. */
int32_t TrCatalogueShownCount(int32_t index);
int TrCatalogueShown(int32_t index);
/* The ring: 16 samples of type 100 (variants 0..15) under `root`. */
void TrRingBuild(struct br_actor *root);
TrElem *TrRingAt(int32_t index);
/* The ring's materials made again from the ring piece's look, sample k from variant base + k. */
void TrRingRefresh(int32_t variantBase);
/* Moves the ambient value of every ring material by `delta`. */
void TrRingShift(float delta);
/* Up to `max` points on the surface of the current field's elements other than balls (their models'
 * vertices where the elements stand, in the field root's frame), none nearer than 0.02 to one taken
 * before; a nailed block leaves out the vertices about its middle height. The number of points. */
int32_t TrSurfacePoints(float (*points)[3], int32_t max);

/* ---- The game's looks behind the seams: installs lookMake .. countModel into the current hooks
 * (the others are kept). */
void TrInstallLookHooks(void);
/* The starting orbit of a field: its camera about the field's centre. */
struct TrOrbit;
void TrOrbitFromField(struct TrOrbit *orbit, const TrPalya *field);
/* Puts a camera without a pivot where that orbit puts it (the field centred on the origin; null: the
 * default camera). */
void TrPlaceFieldCamera(struct br_actor *camera, const TrPalya *field);

/* ---- Timed actions. */
typedef struct TrTimedAction TrTimedAction;
typedef int (*TrActionCallback)(TrTimedAction *action);
struct TrTimedAction {
    TrTimedAction *previous, *next;
    int32_t kind; /* 1 frame action, 2 timed action */
    struct br_actor *actor;
    struct br_actor *savedParent;
    int32_t steps;
    br_matrix34 fromMatrix, toMatrix;
    br_matrix34 *from, *to;
    int32_t progress;
    int32_t span;
    uint64_t started;
    uint64_t elapsed;
    TrActionCallback callback;
    void *user;
};
TrTimedAction *TrActionNew(int32_t kind, struct br_actor *actor);
TrTimedAction *TrActionNewTimed(int32_t span, int32_t steps, TrActionCallback callback);
TrTimedAction *TrActionNewFrame(struct br_actor *actor, const br_matrix34 *from, const br_matrix34 *to,
                                TrActionCallback callback);
TrTimedAction *TrActionAdd(TrTimedAction *action);
void TrActionRemove(TrTimedAction *action);
void TrActionFree(TrTimedAction *action);
void TrActionFreeAll(void);
void TrActionFreeForActor(struct br_actor *actor);
void TrActionRunFrame(void);
void TrActionRunTimed(void);
void TrActionRunAll(void);
/* While on, new actions are refused (freed). Returns the previous setting. */
int TrActionDisable(int on);
TrTimedAction *TrActionFirst(void);

/* ---- The run. */
#define TR_STEP_MS 25
#ifndef TR_KEY_STOP
#define TR_KEY_STOP 22222
#define TR_KEY_START 22223
#endif
typedef struct TrSimState {
    uint32_t simTime;
    int32_t runActive;
    int32_t paused;
    uint32_t clockStart;
    uint32_t pauseStart;
    uint32_t lastClock;
    int32_t capture;
    int32_t fast;
    int32_t runOver;        /* 20 after a failed run until the next frame sends the stop */
    uint32_t runOverDeadline;
    int32_t testPassed;     /* a test run from the editor ended solved */
    TrNode *debris;
} TrSimState;
TrSimState *TrSimGet(void);
int Sim_Start(void);
int Sim_Advance(uint32_t targetTime);
int Sim_Stop(void);
void TrStepHandler(uint32_t time);
uint32_t TrGameClock(void);
void TrSetPaused(int32_t paused);
void TrSetCapture(int32_t on);
int TrRunStart(void);
/* Key 22223 (start, or pause and go on) and key 22222 (stop). */
void TrRunKeyStart(void);
void TrRunKeyStop(void);
/* The frame's part of a run (before rendering); `now` is the platform clock. */
void TrRunFrame(void);
/* The failure sequence after a run that ends unsolved in the game. */
void TrRunFailed(void);
/* The debris type of a destroyed type: + 70 for the types with broken pieces, else 90. */
int32_t TrDebrisType(int32_t type);
/* The rules a shipped field keeps: a goal, every ball turned, one element a cell, nothing on a ball,
 * every supplied piece allowed on what stands below it. 1, or 0 with the reason in `why`. */
int TrFieldCheck(const TrPalya *field, char *why, size_t size);
/* Installs the physics' host and log path for the game (the write folder's "Terrow.log"). */
void TrSimInstallPhysics(const char *logPath);

#ifdef __cplusplus
}
#endif

#endif
