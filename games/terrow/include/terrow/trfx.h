/* Terrow's light effects drawn over the rendered view (glow sprites, the light pulse, the ball tally,
 * the trace marks, the preview light show) and its 3D effects (fly-in, animated textures, shards, ball
 * shadows). The game's frame and set-up reach them through TrInstallFxHooks and the overlay host. */
#ifndef TERROW_TRFX_H
#define TERROW_TRFX_H

#include <stdint.h>

#include <brondel/brmatrix.h>

#include "terrow/trfield.h"
#include "terrow/trplay.h"

struct br_actor;
struct br_model;
struct br_material;
struct br_pixelmap;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The one random source of the effects: 0..32767, seedable so that tests repeat. Safe from any
 * thread. */
#define TR_RAND_MAX 32767
int32_t TrRand(void);
void TrRandSeed(uint32_t seed);

/* ---- Where the overlay meets the game's frame and the framework. Every entry may be null. */
typedef struct TrOverlayHost {
    /* The producer's hand-off of a ready part of the view (the game's TrFrameHandOff). */
    void (*handOff)(int32_t x, int32_t y, int32_t w, int32_t h);
    /* The whole view to the window; without it the whole view goes through handOff. */
    void (*presentWhole)(struct br_pixelmap *view);
    /* The module's preview stop flag: nonzero once the preview page has ended. Without it the
     * overlay's own flag (Preview_RequestStop) is read. */
    int (*stopRequested)(void);
    /* The clock-driven timed actions, once a presented frame (the game: TrActionRunTimed). */
    void (*runTimed)(void);
    /* The pause before a partial hand-off (default: the platform's Sleep). */
    void (*sleepMs)(uint32_t ms);
    /* The ball frame sequences: fills up to `max` colour frames from "<colourBase>%04d.pix" with their
     * alpha frames "<alphaBase>%04d.bmp", stopping at the first number that does not load; the number
     * loaded. Null: the overlay's own loader (TrLoadPicture for each file that exists). */
    int32_t (*loadSequence)(const char *colourBase, const char *alphaBase, struct br_pixelmap **colour,
                            struct br_pixelmap **alpha, int32_t max);
} TrOverlayHost;
/* Installs the host (null: none); returns the previous one. */
TrOverlayHost TrSetOverlayHost(const TrOverlayHost *host);
const TrOverlayHost *TrOverlayHostGet(void);

/* ---- Glow volumes, colour sets and ramps. */
#define GLOW_SIDE 32
enum { GLOW_SOFT = 0, GLOW_HALO = 1, GLOW_CORE = 2 };
/* Builds the three volumes (idempotent). */
void Glow_BuildVolumes(void);
/* Volume `which`, GLOW_SIDE^3 bytes indexed [row][column][slice]. */
const uint8_t *Glow_Volume(int32_t which);
void Glow_SetColours(int32_t r, int32_t g, int32_t b);
/* Colour set 0..4 (red, blue, green, violet, yellow); other numbers wrap. */
void Glow_SetColourSet(int32_t set);
/* Ramp of channel 0 red, 1 green, 2 blue: 64 entries. */
const int32_t *Glow_Ramp(int32_t channel);

/* ---- Projection and drawing. */
typedef struct TrGlowSquare {
    int32_t cx, cy, cz; /* screen centre and its depth */
    int32_t size;       /* S: the square's side in pixels */
    int32_t depth;      /* D: the depth extent */
} TrGlowSquare;
/* Projects the point `p` of `actor`'s space with radius `radius` seen by `camera` into `view`; 0 (the
 * square empty) when the point lies in or behind the camera's plane. */
int32_t Glow_Project(struct br_pixelmap *view, struct br_actor *actor, const br_vector3 *p,
                     struct br_actor *camera, float radius, TrGlowSquare *out);
enum { GLOW_BLEND_WHITE = 0, GLOW_BLEND_COLOUR = 1, GLOW_BLEND_RED = 2, GLOW_BLEND_ORANGE = 3 };
/* Draws a projected square of a volume with a blend into the 565 colour map over its 16-bit depth
 * map; `dirty` adds the clipped square to the dirty rectangle. */
void Glow_DrawSquare(struct br_pixelmap *colour, struct br_pixelmap *depth, const TrGlowSquare *square,
                     int32_t volume, int32_t blend, int32_t dirty);

void Glow_SoftOrange(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                     const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_SoftRed(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                  const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_HaloWhite(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                    const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_HaloColour(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                     const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_CoreRed(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                  const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_CoreWhite(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                    const br_vector3 *p, struct br_actor *camera, float radius);
void Glow_CoreColour(struct br_pixelmap *colour, struct br_pixelmap *depth, struct br_actor *actor,
                     const br_vector3 *p, struct br_actor *camera, float radius);

/* ---- Dirty rectangle and the present. */
void Glow_ClearDirty(void);
void Glow_AddDirty(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
/* min x, min y, max x, max y; (1000, 1000, 0, 0) when empty. */
void Glow_GetDirty(int32_t out[4]);
/* The partial-present switch and the previous present's rectangle. */
int32_t Glow_PartialSwitch(void);
void Glow_SetPartialSwitch(int32_t on);
void Glow_ResetView(void);
/* Once an animation frame: the tally drawn, the timed actions run, the view presented (the union of
 * this and the last dirty rectangle once the partial switch is on), the dirty rectangle reset. */
void Glow_Present(struct br_pixelmap *view);

/* ---- The light pulse of a bomb: 400 ms in 100 steps at the actor's place (its world position at
 * the start, so the bomb may go meanwhile). */
void Glow_Pulse(struct br_pixelmap *view, struct br_pixelmap *depth, struct br_actor *camera,
                struct br_actor *actor);
/* Gives back the pulses' records (after the timed actions have gone). */
void Glow_FreePulses(void);
/* The two radii of pulse step `step` (0..99). */
void Glow_PulseRadii(int32_t step, float *outer, float *inner);

/* ---- The preview light show, on the framework's producer thread. */
#define PREVIEW_POINTS_MAX 2000
#define PREVIEW_SHORT_MAX 310
/* The show over the current field's surface points (lying in `pointsActor`'s space), into the view
 * and depth maps with `camera`, until the stop flag is set; 0. */
int32_t Preview_Show(struct br_actor *pointsActor, struct br_pixelmap *colour, struct br_pixelmap *depth,
                     struct br_actor *camera);
/* The same over given points (at most PREVIEW_POINTS_MAX are used). */
int32_t Preview_ShowPoints(struct br_actor *pointsActor, struct br_pixelmap *colour,
                           struct br_pixelmap *depth, struct br_actor *camera, const float (*points)[3],
                           int32_t count);
/* 1 short show, 2 long show: the kind the last show chose (0 before any). */
int32_t Preview_LastKind(void);
/* The overlay's own stop flag (atomic). */
void Preview_RequestStop(int32_t on);
int32_t Preview_Stopping(void);

/* ---- The ball tally in the status strip of the interface picture. */
#define TALLY_ENTRIES 48
#define TALLY_FRAMES_MAX 64
void Tally_Start(int32_t needed);
void Tally_AddBall(TrElem *ball);
void Tally_Draw(void);
void Tally_Stop(void);
/* The picture the tally draws on (the interface record's screen picture when null). */
void Tally_SetPicture(struct br_pixelmap *picture);
/* Where a rolling ball is `e` ms after it started, with end time `end` and `left` balls to collect
 * when it started: its centre and frame. */
void Tally_Path(int32_t e, int32_t end, int32_t left, int32_t *x, int32_t *y, int32_t *frame);
/* The end time of a ball that leaves `left` balls to collect: 1200 + 400 x left. */
int32_t Tally_EndTime(int32_t left);
int32_t Tally_Entries(void);
int32_t Tally_Busy(void);
int32_t Tally_Left(void);
/* Entry i: x, y (its top left) and frame; 0 past the entries. */
int32_t Tally_Entry(int32_t i, int32_t out[3]);
/* The background pieces taken at the last start (those inside the picture). */
int32_t Tally_Pieces(void);
/* The ball frame sequences of the four ball types, loaded once. */
int32_t Tally_LoadSequences(void);
void Tally_FreeSequences(void);
int32_t Tally_SequenceLength(int32_t type);
struct br_pixelmap *Tally_Frame(int32_t type, int32_t frame);

/* ---- Trace marks: at most 20 a frame, under `parent` (the field's translucent parent). */
#define TRACE_MARKS_MAX 20
void TraceMarks_Init(struct br_actor *parent, struct br_model *square, struct br_material *material);
void TraceMarks_SetParent(struct br_actor *parent);
void TrAddTraceMark(const float point[3]);
void TraceMarks_Clear(void);
int32_t TraceMarks_Count(void);
struct br_actor *TraceMarks_At(int32_t index);
/* Makes the physics call TrAddTraceMark at its contacts. */
void TraceMarks_InstallHost(void);

/* ---- Sprites: the trace-mark list (model negyzet3.mod and the mark material), the ball sequences and
 * the volumes, once with the interface set-up; Sprites_Free gives them back. */
void Sprites_Init(void);
void Sprites_Free(void);

/* ---- Fly-in. */
/* The fly-in countdown in frames: raised by each fly-in, lowered by one each frame. */
int32_t Fx_FlyInCountdown(void);
void Fx_SetFlyInCountdown(int32_t frames);
void Fx_FlyInFrame(void);
/* The offset of a cell coordinate: (c' - 5) x 0.3, c' = c - 1 below 5, else c + 1. */
float Fx_FlyInOffset(int32_t cell);
void Fx_FlyIn(TrElem *elem);
int Fx_FlyInStep(TrTimedAction *action);
/* Every fly-in finished at once (a click during the countdown). */
void Fx_FlyInFinish(void);

/* ---- Animated textures: 70 ms a frame. */
#define ANIMTEX_FRAME_MS 70
#define ANIMTEX_MATERIALS 8
typedef struct TrAnimTex {
    int32_t frameCount;
    int32_t frame;
    struct br_pixelmap **frames;
    struct br_pixelmap *target;
    int32_t x, y;
    struct br_material *materials[ANIMTEX_MATERIALS];
    int32_t materialCount;
} TrAnimTex;
/* Null for no frames, a null frame or a null target. */
TrAnimTex *AnimTex_New(int32_t frameCount, struct br_pixelmap **frames, struct br_pixelmap *target,
                       int32_t x, int32_t y);
/* 1, or 0 when the list is full. */
int32_t AnimTex_AddMaterial(TrAnimTex *tex, struct br_material *material);
/* Copies the current frame into the target, updates the materials, moves to the frame of `now`;
 * the number of full cycles since the clock's zero. */
int32_t AnimTex_StepAt(TrAnimTex *tex, uint32_t now);
int32_t AnimTex_Step(TrAnimTex *tex);
void AnimTex_Free(TrAnimTex *tex);

/* ---- Shards. */
typedef struct TrShard {
    float centre[3];
    float velocity[3];
    float start[3];
    int32_t lifetime;
    float spin;
    struct br_actor *actor;
} TrShard;
typedef struct TrShardSet {
    int32_t count;
    TrShard *shards;
    struct br_actor *actor;
    br_matrix34 startTransform;
    uint32_t startTime;
    TrElem *elem;
} TrShardSet;
TrShardSet *Shards_New(TrElem *debris, uint32_t startMs);
/* 1 while it runs, 0 once a shard has expired. */
int32_t Shards_Step(TrShardSet *set, uint32_t nowMs);
void Shards_Free(TrShardSet *set);

/* ---- Ball shadows. */
/* Loads "bq\\arny256x.pix" (once); null after a warning. */
struct br_pixelmap *Fx_LoadShadowPicture(void);
void Shadow_Make(TrElem *elem);
void Shadow_Free(TrElem *elem);
void Shadow_FindBelow(TrElem *elem);
void Shadow_Update(TrElem *ball);
void Shadow_Place(struct br_actor *ballActor, struct br_actor *shadow, TrElem *receiver);
/* The height fade of a ball `height` above its receiver's reference point. */
float Shadow_Fade(float height);
/* The texture position g(v) of an offset `v` at fade `f`, limited to 0..1. */
float Shadow_Band(float v, float fade);

/* ---- The effects behind TrPlayHooks: tally, pulse, shards, shadows, fly-in (the other hooks kept).
 * `view`, `depth` and `camera` are what the pulse draws with. */
void TrInstallFxHooks(struct br_pixelmap *view, struct br_pixelmap *depth, struct br_actor *camera);

#ifdef __cplusplus
}
#endif

#endif
