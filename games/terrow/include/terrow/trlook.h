/* How the field's elements look: the models of terrow.pck read through the "OwnFs" filesystem, their
 * scales and texture maps (.uvd), the table of looks by (type, variant) and the actors of an element. */
#ifndef TERROW_TRLOOK_H
#define TERROW_TRLOOK_H

#include <stddef.h>
#include <stdint.h>

#include <brondel/brfw.h>

struct br_actor;
struct br_model;
struct br_material;
struct br_pixelmap;
struct TrElem;
struct TrPalya;

/* Marker looks: a ball's direction arrow, and the plates of a ground tile and a ground magnet. */
#define TY_MARKER_ARROW 100
#define TY_GROUND_TILE 40
#define TY_GROUND_MAGNET 41

typedef struct TrLook {
    int32_t type;
    int32_t variant;
    struct br_model *model;        /* the single model, null for debris */
    struct br_model **pieceModels; /* debris: `pieces` models */
    uint32_t colour;
    const float *lighting;         /* ka, ks, kd, power */
    struct br_pixelmap *texture;
    struct br_material *material;
    int32_t pieces;
    const char *textureName;
} TrLook;

/* The link an element's main actor carries in its user word. */
typedef struct TrActorLink {
    void *unused;
    struct TrElem *elem;
} TrActorLink;

#ifdef __cplusplus
extern "C" {
#endif

/* --- The pack filesystem ------------------------------------------------------------------- */
/* The pack the models come from (a system path); an older one is closed. 0 when it is no pack. */
int32_t OwnFs_OpenPack(const char *path);
void OwnFs_ClosePack(void);
void OwnFs_Install(void);
void OwnFs_Restore(void);
/* The record OwnFs_Install made (tests). */
const br_filesystem *OwnFs_Record(void);
/* A stream over the current pack's entry `name` that ends where the entry ends, or null. */
void *OwnFs_OpenRead(const char *name, br_size_t nMagics, br_mode_test_cbfn *identify, int *modeResult);
/* One model (flags 0x82) or null. */
struct br_model *OwnFs_Load(const char *name);
/* Up to `count` models of one file; the number read. */
uint32_t OwnFs_LoadMany(const char *name, struct br_model **models, uint16_t count);

/* --- Flag words of the current field --------------------------------------------------------- */
void Palya_ClearElemFlags(uint32_t bits);
void Palya_SetExtraBit2(void);
int32_t Palya_ExtraBit4(void);
int32_t Palya_Modified(void);

/* --- Models ----------------------------------------------------------------------------------- */
extern const float TrUTable[6];
extern const float TrVTable[4];
/* Loads every model from "terrow.pck" in the working folder: 1, or 0 after a warning (a missing pack
 * or model, a short multi-model file). */
int32_t Model_LoadAll(void);
/* Frees what Model_LoadAll made (the registry keeps nothing of it afterwards). */
void Model_FreeAll(void);
/* A loaded model by its pack file name ("kocka.mod"), piece `index` of a multi-model file. */
struct br_model *Model_Get(const char *file, int32_t index);
/* The models under the partial redraw, null-ended. */
struct br_model *const *Model_RedrawList(void);
/* Maps the model's faces from a .uvd file: 1, or 0 with a warning and the model unchanged. */
int32_t UVMap(struct br_model *model, const char *file, const float *uTable, const float *vTable, int32_t mode);
/* The same from the file's text (the reader the fuzz target drives). */
int32_t UVMapText(struct br_model *model, const char *text, const float *uTable, const float *vTable,
                  int32_t mode);

/* --- Decoration ------------------------------------------------------------------------------- */
#define TR_DECOR_NAME_MAX 200
/* Hangs the models of the list in "fw\mt\" under `parent`: 1 when the list was there. */
int32_t Decor_LoadList(struct br_actor *parent, const char *list);
/* Calls `each` with every name of a list text (a line each, the last also without a line break,
 * empty lines and longer names than TR_DECOR_NAME_MAX left out); the number of names. */
int32_t Decor_ParseList(const char *text, size_t size, void (*each)(const char *name, void *arg), void *arg);

/* --- Looks ------------------------------------------------------------------------------------ */
/* Empties the table and, when asked, adds every look (textures from the working folder); then the
 * extra materials. The number of looks. */
int32_t Look_Build(int32_t withLooks);
void Look_FreeAll(void);
/* From the read root: the models of "fw\\terrow.pck" and every look, the goal's picture out of
 * "trt.fpk". 1, or 0 after a warning with nothing kept. */
int32_t Look_LoadAll(void);
int32_t Look_Count(void);
const TrLook *Look_At(int32_t index);
/* The look of (type, variant); value 4 in the variant gives a darker copy; null without a look. */
const TrLook *Look_Find(int32_t type, int32_t variant);
struct br_material *Look_Material(int32_t type, int32_t variant);
int32_t Look_NextVariant(int32_t type, int32_t variant);
/* The main actor of the element in `field` (its extent tells plates from blocks), not yet linked into
 * a scene; null after a warning when the type has no look. */
struct br_actor *Look_MakeActorsIn(struct TrPalya *field, struct TrElem *elem);
/* The same in the current field. */
struct br_actor *Look_MakeActors(struct TrElem *elem);
void Look_FreeActors(struct TrElem *elem);
void Look_Refresh(struct TrElem *elem);
/* The element's material copy made again from its own look (or `type`'s of the same variant); only
 * for elements above the ground or samples. */
void Look_SetMaterial(struct TrElem *elem);
void Look_SetMaterialOf(int32_t type, struct TrElem *elem);
void Look_MakeArrow(struct TrElem *elem, int32_t type, int32_t variant);
void Look_RefreshArrow(struct TrElem *elem);
/* The element an actor shows: its link, or the first linked actor above it. */
struct TrElem *Look_ElemOfActor(struct br_actor *actor);
/* Where an element's actor stands: the cell's centre, turned by its direction. */
void Look_PlaceActor(struct TrElem *elem);

#ifdef __cplusplus
}
#endif

#endif
