/* Building and playing a field with the mouse: the editor's side rule, fixed and supplied pieces, the
 * hand that carries a catalogue piece, hover and highlight, the direction mode, drag and drop and the
 * right-drag orbit. Window coordinates throughout. */
#ifndef TERROW_TREDIT_H
#define TERROW_TREDIT_H

#include <stdint.h>

#include "terrow/trfield.h"

struct br_actor;
struct br_pixelmap;

#ifdef __cplusplus
extern "C" {
#endif

/* The face-to-side table of the cube's twelve triangles; an index outside 0..11 means side 4. */
int32_t Edit_FaceSide(int32_t face);

/* Picks with the hand model hidden (restored on every path). */
struct br_actor *Edit_PickActor(int32_t x, int32_t y);
int32_t Edit_PickFace(int32_t x, int32_t y);
TrElem *Edit_ElemOfActor(struct br_actor *actor);
int32_t Edit_ChooseSide(const TrElem *target, int32_t carriedType, int32_t x, int32_t y);

/* The editor's rule at a side of a target (Edit_Refusal() names a refusal). */
int Edit_CheckSide(const TrElem *target, int32_t carriedType, int32_t side);
TrElem *Edit_PlaceOnTop(TrElem *target, int32_t direction, int32_t type);
TrElem *Edit_PlaceAtSide(TrElem *target, int32_t direction, int32_t type, int32_t x, int32_t y);

void Edit_MakeFixed(TrElem *e);
void Edit_MakeSupplied(TrElem *e);
void Edit_FixIfUnsupported(TrElem *below, TrElem *top);
void Edit_ClearStartBall(TrElem *e);
void Edit_CycleBall(TrElem *ball);
void Edit_ToggleSupplied(TrElem *tile);

/* The hand. */
void Edit_TakeInHand(TrElem *item, int32_t fromField);
void Edit_ReleaseHand(int32_t restock);
void Edit_DropHandOnToolChange(void);
TrElem *Edit_Hand(void);
TrElem *Edit_HandElem(void);
int32_t Edit_HandModelShown(void);
void Edit_ShowHandModel(void);
void Edit_ShowHandCursor(void);
void Edit_HandFollow(int32_t x, int32_t y);
/* The cursor code of a carried type (0 ordinary). */
int32_t Edit_CursorFor(int32_t type);
void Edit_SetHandCursor(int32_t direction);

/* Mouse work the window procedure calls. */
void Edit_Hover(int32_t x, int32_t y);
void Edit_MouseMove(int32_t x, int32_t y);
void Edit_LeftPress(int32_t x, int32_t y);
void Edit_LeftRelease(int32_t x, int32_t y);
void Edit_RightPress(int32_t x, int32_t y);
void Edit_OrbitEnd(void);
void Edit_GameClick(int32_t x, int32_t y);
/* The game's click on a catalogue sample: the hand takes it from the supply (or puts back the same). */
void Edit_SampleClick(TrElem *sample);
void Edit_EditorClick(int32_t x, int32_t y);
void Edit_Highlight(TrElem *e, float amount);
void Edit_ClearHover(void);
void Edit_ResetHover(void);
TrElem *Edit_HoverElem(void);
/* The state a new field or a shut-down starts from (no hand, no hover, no direction mode). */
void Edit_Reset(void);

/* Direction mode. */
void Dir_Begin(TrElem *e);
void Dir_End(TrElem *e);
void Dir_Switch(TrElem *e);
void Dir_BeginForHoverMagnet(void);
TrElem *Dir_Current(void);
int32_t Dir_Active(void);
void Dir_LeaveByDistance(int32_t x, int32_t y);
/* The four markers: pickable elements of type 100 whose direction is their key. */
TrElem *Dir_Marker(int32_t key);

const char *Elem_TypeName(int32_t type);

/* Seams to the game screen; each may be null. */
typedef struct TrEditHooks {
    /* The element and face under a point (the default picks the scene with PickInit's camera). */
    TrElem *(*pick)(int32_t x, int32_t y, struct br_actor **actor, int32_t *face);
    /* 1 when the element is drawn with the cube model (null: its model is "kocka.mod"). */
    int (*isCube)(const TrElem *e);
    void (*cursor)(int32_t code, int32_t direction);
    void (*tooltip)(const char *text, int32_t x, int32_t y);
    /* The toolbar button under a point that a click presses: 1 when one took it. */
    int (*toolbarPress)(int32_t x, int32_t y, int handHeld);
    /* The orbit increments and the camera key 88. */
    void (*orbit)(float dx, float dy);
    /* The fly-in's frame countdown (above 0 while it runs); finishing it. */
    int32_t (*flyInCountdown)(void);
    void (*flyInFinish)(void);
    /* The current tool of the editor (null: the toolbar's). */
    int32_t (*tool)(void);
    /* The mouse position now (direction centre). */
    void (*mouse)(int32_t *x, int32_t *y);
    /* The hand model follows the window point. */
    void (*follow)(struct br_actor *handActor, int32_t x, int32_t y);
} TrEditHooks;
void Edit_SetHooks(const TrEditHooks *hooks);

#ifdef __cplusplus
}
#endif

#endif
