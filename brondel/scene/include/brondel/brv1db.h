/* The 3D database: the whole-library begin and end, the database begin and end, and the start and
 * end of the renderer it draws with. */
#ifndef BRONDEL_BRV1DB_H
#define BRONDEL_BRV1DB_H

#include <brondel/brmaterial.h>
#include <brondel/brmodel.h>

#ifdef __cplusplus
extern "C" {
#endif

struct br_pixelmap;
struct br_renderer;

br_error BrBegin(void);
br_error BrEnd(void);

br_error BrV1dbBegin(void);
br_error BrV1dbEnd(void);

/* A renderer compiled into the carrier registers the function that puts its built-in images on the
 * image list; every database begin calls each one registered (and a database already begun gets it
 * at once), so the device code finds the renderer by name. Registering the same function again is
 * harmless; 0x1002 (BRE_FAIL) when the few slots are full. */
typedef void br_images_add_cbfn(void);
br_error BrDbImagesRegister(br_images_add_cbfn *add);

/* destination may be null; renderer null: create one through the renderer facility. */
br_error BrV1dbRendererBegin(struct br_pixelmap *destination, struct br_renderer *renderer);
struct br_renderer *BrV1dbRendererQuery(void);
br_error BrV1dbRendererEnd(void);

/* Both sides share one renderer, freed when the second side ends. The pixel types are ignored. */
void BrZbBegin(br_uint_8 colour_type, br_uint_8 depth_type);
void BrZbEnd(void);
void BrZsBegin(br_uint_8 colour_type, void *primitive_heap, br_uint_32 size);
void BrZsEnd(void);

#ifdef __cplusplus
}
#endif

#endif
