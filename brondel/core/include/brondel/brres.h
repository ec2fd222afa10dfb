/* Memory through the installed allocator, the resource tree and resource classes. */
#ifndef BRONDEL_BRRES_H
#define BRONDEL_BRRES_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Resource class ids of the framework. */
#define BR_MEMORY_SCRATCH 1
#define BR_MEMORY_STRING 17
#define BR_MEMORY_REGISTRY 18
#define BR_MEMORY_RESOURCE_CLASS 20
#define BR_MEMORY_FILE 21
#define BR_MEMORY_ANCHOR 22
#define BR_MEMORY_POOL 23
#define BR_MEMORY_DATAFILE 25
#define BR_MEMORY_IMAGE 26
#define BR_MEMORY_IMAGE_ARENA 27
#define BR_MEMORY_IMAGE_SECTIONS 28
#define BR_MEMORY_IMAGE_NAMES 29
#define BR_MEMORY_EXCEPTION_HANDLER 30
#define BR_MEMORY_TOKEN 32
#define BR_MEMORY_TOKEN_MAP 33
#define BR_MEMORY_OBJECT 34
#define BR_MEMORY_OBJECT_DATA 35
#define BR_MEMORY_DRIVER 36
#define BR_MEMORY_LEXER 37
#define BR_MEMORY_OBJECT_LIST 38
#define BR_MEMORY_OBJECT_LIST_ENTRY 39
#define BR_MEMORY_FMT_RESULTS 41
#define BR_MEMORY_TOKEN_VALUE 44
#define BR_MEMORY_TOKEN_TEMPLATE 45
#define BR_MEMORY_APPLICATION 128
#define BR_MEMORY_MAX 256

/* A block's class id while it is being freed. */
#define BR_RES_FREEING_CLASS 127

/* Native resource header: pointer-wide links, and the magic word as its last four bytes so a header
 * is found from a body by stepping back over the zero padding. */
#define BR_RES_HEADER_SIZE 48
#define BR_RES_MAGIC 0xdeadbeefu

typedef void br_resourcefree_cbfn(void *res, br_uint_8 res_class, br_size_t size);

typedef struct br_resource_class {
    br_uint_32 reserved;
    const char *identifier;
    br_int_32 res_class; /* 0..255 */
    br_resourcefree_cbfn *free_cb;
    br_int_32 alignment; /* 0 or negative: the default */
} br_resource_class;

typedef br_resource_class *br_resclass_find_cbfn(const char *name);
typedef br_uint_32 br_resclass_enum_cbfn(br_resource_class *rclass, void *arg);
typedef br_uint_32 br_resenum_cbfn(void *vres, void *arg);

void *BrMemAllocate(br_size_t size, br_uint_8 type);
void *BrMemCalloc(br_size_t nelems, br_size_t size, br_uint_8 type);
char *BrMemStrDup(const char *str);
void BrMemFree(void *block);
br_uint_32 BrMemInquire(br_uint_8 type);
br_uint_32 BrMemAlign(br_uint_8 type);

void *BrResAllocate(void *vparent, br_size_t size, br_uint_8 res_class);
void BrResFree(void *vres);
void BrResFreeNoCallback(void *vres);
void *BrResAdd(void *vparent, void *vres);
void *BrResRemove(void *vres);
br_uint_8 BrResClass(void *vres);
br_boolean BrResIsChild(void *vparent, void *vchild);
br_size_t BrResSize(void *vres);
br_size_t BrResSizeTotal(void *vres);
br_uint_32 BrResChildEnum(void *vres, br_resenum_cbfn *callback, void *arg);
br_boolean BrResCheck(void *vres);
char *BrResStrDup(void *vparent, const char *str);
void BrResDump(void *vres, void (*putline)(const char *str, void *arg), void *arg);

br_resource_class *BrResClassAdd(br_resource_class *rclass);
br_resource_class *BrResClassRemove(br_resource_class *rclass);
br_resource_class *BrResClassFind(const char *pattern);
br_resclass_find_cbfn *BrResClassFindHook(br_resclass_find_cbfn *hook);
br_uint_32 BrResClassAddMany(br_resource_class **items, int n);
br_uint_32 BrResClassRemoveMany(br_resource_class **items, int n);
br_uint_32 BrResClassFindMany(const char *pattern, br_resource_class **items, int max);
br_uint_32 BrResClassCount(const char *pattern);
br_uint_32 BrResClassEnum(const char *pattern, br_resclass_enum_cbfn *callback, void *arg);
const char *BrResClassIdentifier(br_uint_8 res_class);

#ifdef __cplusplus
}
#endif

#endif
