/* Picking the face under a window point, the orbit camera, the parallel view and the small geometry
 * the editor and the views share. */
#ifndef TERROW_TRPICK_H
#define TERROW_TRPICK_H

#include <stdint.h>

#include <brondel/brmatrix.h>

struct br_actor;
struct br_model;
struct br_material;
struct br_pixelmap;
struct TrElem;

typedef struct TrPickResult {
    struct br_actor *actor;
    struct br_model *model;
    struct br_material *material;
    float point[3];
    int32_t face;
    int32_t edge;
    int32_t vertex;
    float map[2];
    float t;
    struct br_actor *currentActor;
} TrPickResult;

typedef struct TrOrbit {
    float x, y;
    float tilt, turn; /* degrees */
    float distance;   /* 0.1 .. 16 */
    int32_t parallel;
    struct br_actor *camera;
    struct br_actor *pivot;
} TrOrbit;

#define TR_ORBIT_MIN_DISTANCE 0.1f
#define TR_ORBIT_MAX_DISTANCE 16.0f

#ifdef __cplusplus
extern "C" {
#endif

void PickInit(struct br_actor *world, struct br_actor *camera, struct br_pixelmap *view, int32_t yOffset);
/* Forgets the pick state (the world is going). */
void PickReset(void);
/* The callbacks of the scene pick and the model pick; the nearest face wins, a tie keeps the first. */
int TrPickModelCb(struct br_actor *actor, struct br_model *model, struct br_material *material, br_vector3 *rayPos,
                  br_vector3 *rayDir, br_scalar tNear, br_scalar tFar, void *record);
int TrPickFaceCb(struct br_model *model, struct br_material *material, br_vector3 *rayPos, br_vector3 *rayDir,
                 br_scalar t, int face, int edge, int vertex, br_vector3 *point, br_vector2 *map, void *record);
struct br_actor *Pick_Actor(int32_t x, int32_t y);
/* The record of the nearest face, or null (a miss leaves it cleared). */
TrPickResult *Pick_Record(int32_t x, int32_t y);
/* The element under the point (a child actor yields its element), or null. */
struct TrElem *Pick_Elem(int32_t x, int32_t y);

/* Degrees into [0, 360); a value that is not finite becomes 0. */
float Wrap360(float angle);
void Orbit_Apply(TrOrbit *orbit);
void Orbit_MakeParallel(struct br_actor *camera);
/* The parallel view's height last set. */
float Orbit_ParallelHeight(void);

void View_PointUnderCursor(struct br_actor *camera, struct br_pixelmap *view, float position[3], int32_t sx,
                           int32_t sy);
/* 0 when the point lies in the camera's plane (nothing written). */
int32_t View_Project(struct br_actor *actor, const float point[3], int32_t *sx, int32_t *sy, int32_t *depth,
                     struct br_actor *camera, struct br_pixelmap *view);
int32_t View_ProjectXY(struct br_actor *actor, const float point[3], int32_t *sx, int32_t *sy,
                       struct br_actor *camera, struct br_pixelmap *view);

void Model_Scale(struct br_model *model, const float scale[3]);
void Model_ScaleAbout(struct br_model *model, const float scale[3], const float centre[3]);
void Matrix_Decompose(const br_matrix34 *m, float scale[3], float shear[3], float angles[3], float translation[3]);
/* Frees every registered model, material and texture map of this 3D instance. */
void Br_ReleaseAll(void);

#ifdef __cplusplus
}
#endif

#endif
