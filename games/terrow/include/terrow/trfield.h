/* Terrow's field model: the element io record stored in field files, the run-time element and field
 * records that the game and the physics share, the element types and flag bits, and the field and
 * saved-position files. */
#ifndef TERROW_TRFIELD_H
#define TERROW_TRFIELD_H

#include <stdint.h>
#include <stdio.h>

#include <brondel/brmatrix.h>

struct br_actor;
struct PhElem;

/* Element types. Types below 10 are balls. */
#define TY_G_FEM 0     /* iron ball */
#define TY_G_GUMI 1    /* ball drawn translucent */
#define TY_G_BOMBA 2   /* bomb */
#define TY_G_UVEG 3    /* ball destroyed by spikes */
#define TY_T_LEJTO 10  /* slope */
#define TY_T_SAROK 11  /* corner */
#define TY_T_SIMA 20   /* plain block */
#define TY_T_MAGNES 21 /* magnet */
#define TY_T_SZOGES 22 /* nailed (spiked) block */
#define TY_T_TALAJ 23  /* ground block: the physics' own type, never stored in a field */
#define TY_T_CEL 24    /* goal */
#define TY_T_INDITO 25 /* start position */
#define TY_BALL_LIMIT 10
/* Debris made during a run: the destroyed type + 70 for the types that have broken pieces, else 90. */
#define TY_DEBRIS_BASE 70
#define TY_DEBRIS_OTHER 90
#define TY_DEBRIS_LAST 95

/* Flag bits of EIo.flags. */
#define EF_BALL 0x001u        /* class 1 */
#define EF_NOT_BALL 0x002u    /* class 2 */
#define EF_CLASS_MASK 0x003u
#define EF_LEVEL_PART 0x004u  /* part of the level as designed; supplied pieces lack it */
#define EF_SAMPLE 0x008u      /* catalogue sample, not in the field */
#define EF_SELECTED 0x010u    /* selected or highlighted in the editor (the physics traces such a ball); cleared on every save */
#define EF_SUNK 0x020u        /* ball sunk into a goal (physics) */
#define EF_DESTROYED 0x040u   /* destroyed (physics) */
#define EF_RUN_MADE 0x080u    /* made during a run; removed before every save */
#define EF_DIR_LOCKED 0x400u  /* fixed ball whose direction the player may not change */
#define EF_ENTERED 0x200u     /* ball entered a goal (physics) */
#define EF_HANDLED 0x800u     /* event handled by the game's step handler */
#define EF_OUT_OF_STOCK 0x1000u

/* Directions: quarter turns about the vertical axis; a ball's start direction 0 -z, 1 -x, 2 +z, 3 +x. */
#define TR_DIR_UNSET 4

/* TrPalya.flags and levelFlags. */
#define PF_MODIFIED 0x01u
#define LF_PLAYABLE 0x02u
#define LF_SECRET 0x04u
#define LF_SPARE 0x08u

/* Limits of a field that can be stored: cells x, z 0..99, layers 0..9, at most 9999 elements. */
#define TR_CELLS_XZ 100
#define TR_LAYERS 10
#define TR_MAX_ELEMS 9999
#define TR_BALLS_NEEDED_MAX 12

#define TRL_MAGIC 0x7A3C7A3Cu
#define TRL_VERSION 4
#define EIO_SIZE 28

/* Element io record: seven little-endian 32-bit words in the files. */
typedef struct EIo {
    int32_t x;         /* cell column */
    int32_t y;         /* cell layer, 0 at the floor; -1 for objects made during a run */
    int32_t z;         /* cell row */
    int32_t direction; /* 0..3, TR_DIR_UNSET when not set yet */
    int32_t type;
    int32_t variant;   /* look variant within the type */
    uint32_t flags;
} EIo;

/* Run-time element, owned by its field. */
typedef struct TrElem {
    EIo *io;                            /* owned */
    struct br_actor *actor;             /* main actor in the scene */
    struct br_actor *markerActor;       /* a ball's direction arrow */
    struct br_actor *shadowActors[4];   /* a ball's shadows */
    float box[6];                       /* low x, high x, low y, high y, low z, high z (physics) */
    struct PhElem *physObject;          /* while a run is built */
    struct TrElem *shadowReceivers[4];  /* ended by the first empty slot */
    br_matrix34 savedMatrix;            /* the actor's transform while lifted out for the copies */
} TrElem;

/* A node of the small doubly linked lists (balls, debris), newest first. */
typedef struct TrNode {
    void *item;
    struct TrNode *next;
    struct TrNode *prev;
} TrNode;

/* Run-time field. */
typedef struct TrPalya {
    int32_t count;
    TrElem **elements;
    int32_t ballsNeeded;
    int32_t extentX, extentY, extentZ; /* 1 + the largest coordinate of any element, 0 when empty */
    float fieldBox[5];                 /* min x, max x, min y, min z, max z (physics) */
    struct br_actor *opaqueParent;
    struct br_actor *translucentParent;
    uint32_t flags;                    /* PF_MODIFIED */
    float pitch, yaw, height, distance;
    int32_t ballLayout;                /* 0 middle, 1 top, 2 bottom */
    int32_t startLayout;               /* 0 bottom, 1 top */
    int32_t cameraSaved;
    uint32_t levelFlags;               /* LF_ */
    float pan;
    int32_t lastWord;
    /* Beyond the stored record: room of the element array and the field's ball list. */
    int32_t capacity;
    TrNode *balls;
} TrPalya;

/* Default camera of a field. */
#define TR_CAM_PITCH 310.0f
#define TR_CAM_YAW -45.0f
#define TR_CAM_HEIGHT -0.1f
#define TR_CAM_DISTANCE 1.85f

#ifdef __cplusplus
extern "C" {
#endif

/* Class bits of a type: EF_BALL below 10, else EF_NOT_BALL. */
uint32_t Elem_ClassOf(int32_t type);
/* 1 for the types a field file may hold (balls 0..3 and 10, 11, 20, 21, 22, 24, 25). */
int Elem_TypeStorable(int32_t type);
/* 1 when (type, variant) has a look; variant value 4 (the darker copy) does not count. */
int Elem_VariantKnown(int32_t type, int32_t variant);
/* Message id of the type's display text, or -1. */
int Elem_TypeMessage(int32_t type);

TrElem *Elem_New(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, uint32_t flags);
TrElem *Elem_NewV(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, uint32_t flags,
                  int32_t variant);
TrElem *Elem_NewSample(int32_t type, int32_t x, int32_t y, int32_t z, int32_t direction);
/* Frees an element that no field owns (and its io record). */
void Elem_Free(TrElem *elem);

/* The default field: PalyaMeret x PalyaMeret plain blocks at index z * side + x. */
TrPalya *Palya_New(void);
/* An empty field with the default camera. */
TrPalya *Palya_NewEmpty(void);
void Palya_Free(TrPalya *field);
void Palya_AddElem(TrPalya *field, TrElem *elem);
/* The element must be in the field (else a fatal report). */
void Palya_RemoveElem(TrPalya *field, TrElem *elem);
void Palya_Compact(TrPalya *field);
int Palya_IndexOf(const TrPalya *field, const TrElem *elem);
/* Removes every element flagged EF_RUN_MADE without marking a change: 1 when any went. */
int Palya_RemoveRunMade(TrPalya *field);
/* Sets the modified bit and clears LF_PLAYABLE and LF_SPARE, unless change marks are suppressed. */
void Palya_MarkChanged(TrPalya *field);
/* While set, changes leave the marks alone (debris made during a run). Returns the previous value. */
int Palya_SuppressChangeMark(int on);

/* List nodes; a node that cannot be allocated is not added. */
TrNode *Node_Push(void *item, TrNode *head);
/* Unlinks and frees the node; the list's first node afterwards. */
TrNode *Node_Remove(TrNode *node);
TrNode *Node_RemoveItem(TrNode *head, void *item);
void Node_FreeAll(TrNode *head);

/* Field files (.trl). Loaders yield NULL for a missing, short, damaged or foreign file (with a
 * warning where one is due); savers replace the file whole and yield 0 with the disk-error message. */
TrPalya *Palya_FOpenLoad(const char *path);
TrPalya *Palya_FLoad(FILE *stream);
int Palya_FSave(const char *path, TrPalya *field);

/* Saved positions (.trs): the elements without EF_LEVEL_PART. */
int Palya_FSaveUser(const char *path, TrPalya *field);
/* The count read, 0 when nothing was applied (missing, short or damaged file). */
int Palya_FOpenLoadUser(const char *path, TrPalya *field);
int Palya_FLoadUser(FILE *stream, TrPalya *field);
/* How a saved position's elements enter the field: Palya_AddElem until the current-field operations
 * install theirs (adding, hanging into the scene, placing, taking from the supply). NULL restores. */
typedef void (*TrPlaceUserElem)(TrPalya *field, TrElem *elem);
void Palya_SetUserPlace(TrPlaceUserElem place);

/* Folder of the program's fields under the read root, as the framework builds level paths. */
#define TR_FIELD_FOLDER "fw\\Fields\\"
/* Read path of a field by name (".trl" added). */
char *TrFieldPath(const char *name);
/* Write path of the saved position of (game kind, player, level path): "save\fenlw\M^%dP^%sL^%s.trs"
 * with the file name of the level path ("NoName" without a backslash); characters that cannot stand
 * in a file name become '_'. Empty when it does not fit. */
char *TrSavedPositionPath(int32_t gameKind, const char *player, const char *levelPath);

#ifdef __cplusplus
}
#endif

#endif
