/* Images: named tables of exported functions. The framework, the pixel-map library and the host
 * publish their functions as built-in images; driver modules are loaded as images too. */
#ifndef BRONDEL_BRIMAGE_H
#define BRONDEL_BRIMAGE_H

#include "brondel/brlist.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BR_IMG_OWN 1      /* mapped by the framework's own loader from a 32-bit x86 DLL */
#define BR_IMG_RESIDENT 2 /* a table compiled into the program, never freed */
#define BR_IMG_HOST 3     /* loaded by the operating system's module loader */

/* One section of an own-loaded image. */
typedef struct br_image_section {
    char *name;
    void *base;
    br_uint_32 virtual_address;
    br_uint_32 virtual_size;
    br_uint_32 data_offset;
    br_uint_32 data_size;
} br_image_section;

/* One resolved import of an own-loaded image. Its address slots are 32 bits wide and cannot hold
 * a native address, so the resolved function is kept here beside the slot's place in the image. */
typedef struct br_image_import {
    br_uint_32 slot_rva;
    void *function;
} br_image_import;

typedef struct br_image {
    br_node node;
    const char *identifier;
    br_int_32 type;
    br_int_32 ref_count;

    br_uint_32 ordinal_base;
    br_uint_32 n_functions;
    void **functions;
    br_uint_32 n_names;
    const char **names;
    br_uint_16 *name_ordinals;

    br_uint_16 n_imports;
    struct br_image **imports;

    br_uint_16 n_sections;
    br_image_section *sections;

    void *type_pointer; /* the operating system's module handle (BR_IMG_HOST) */

    /* Own loader only: set when the image holds code of another machine than this process runs,
     * whose functions must never be called. */
    br_boolean foreign;
    br_uint_32 n_resolved;
    br_image_import *resolved;
} br_image;

/* One entry of a compiled-in export table, under its link-level name ("_BrResAllocate"). */
typedef struct br_image_export {
    const char *name;
    void *function;
} br_image_export;

/* Makes a resident image from a table of exports: names, functions and ordinals are laid out into
 * the storage given (n entries each) in byte order of the names, so a function's ordinal is 1 plus
 * the position of its name in that order. Answers 0 and leaves the image empty when a name occurs
 * twice. The image is not put on the list. */
br_boolean BrImageResidentMake(br_image *img, const char *identifier, const br_image_export *exports, br_uint_32 n,
                               const char **names, void **functions, br_uint_16 *ordinals);

br_boolean BrImageAdd(br_image *img);
br_boolean BrImageRemove(br_image *img);
br_image *BrImageFind(const char *pattern);
br_image *BrImageReference(const char *name);
void *BrImageLookupName(br_image *img, const char *name, br_uint_32 hint);
void *BrImageLookupOrdinal(br_image *img, br_uint_32 ordinal);
void BrImageDereference(br_image *img);

#ifdef __cplusplus
}
#endif

#endif
