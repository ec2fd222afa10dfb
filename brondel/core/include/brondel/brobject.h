/* Objects (records whose first word is their operation table) and object containers, with the
 * default operations classes put in their tables. Drivers fill the same tables, so they are plain
 * structures of function pointers in a fixed order. */
#ifndef BRONDEL_BROBJECT_H
#define BRONDEL_BROBJECT_H

#include "brondel/brlist.h"
#include "brondel/brtoken.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct br_object br_object;
typedef struct br_object_container br_object_container;
struct br_device;

/* The operations every object class has, in this order. Every table takes the object as a plain
 * br_object, so the default operations below fit any class; a class casts to its own record. */
#define BR_OBJECT_METHODS                                                                                                 \
    void (*_reserved0)(void);                                                                                             \
    void (*_reserved1)(void);                                                                                             \
    void (*_reserved2)(void);                                                                                             \
    void (*_reserved3)(void);                                                                                             \
    void (*_free)(br_object *self);                                                                                       \
    const char *(*_identifier)(br_object *self);                                                                          \
    br_token (*_type)(br_object *self);                                                                                   \
    br_boolean (*_isType)(br_object *self, br_token t);                                                                   \
    struct br_device *(*_device)(br_object *self);                                                                        \
    br_int_32 (*_space)(br_object *self);                                                                                 \
    br_tv_template *(*_templateQuery)(br_object *self);                                                                   \
    br_error (*_query)(br_object *self, br_value *pvalue, br_token t);                                                    \
    br_error (*_queryBuffer)(br_object *self, br_value *pvalue, void *buffer, br_size_t buffer_size, br_token t);         \
    br_error (*_queryMany)(br_object *self, br_token_value *tv, void *extra, br_size_t extra_size,                        \
                           br_int_32 *pcount);                                                                            \
    br_error (*_queryManySize)(br_object *self, br_size_t *pextra_size, br_token_value *tv);                              \
    br_error (*_queryAll)(br_object *self, br_token_value *buffer, br_size_t buffer_size);                                \
    br_error (*_queryAllSize)(br_object *self, br_size_t *psize);

/* The operations a container adds after them; the container is passed as a br_object_container. */
#define BR_OBJECT_CONTAINER_METHODS                                                                                       \
    void *(*_listQuery)(br_object_container *self);                                                                       \
    void *(*_tokensMatchBegin)(br_object_container *self, br_token t, br_token_value *tv);                                \
    br_boolean (*_tokensMatch)(br_object_container *self, br_object *h, void *arg);                                       \
    void (*_tokensMatchEnd)(br_object_container *self, void *arg);                                                        \
    br_error (*_addFront)(br_object_container *self, br_object *h);                                                        \
    br_error (*_removeFront)(br_object_container *self, br_object **ph);                                                  \
    br_error (*_remove)(br_object_container *self, br_object *h);                                                         \
    br_error (*_find)(br_object_container *self, br_object **ph, br_token type, const char *pattern, br_token_value *tv); \
    br_error (*_findMany)(br_object_container *self, br_object **objects, br_int_32 max_objects, br_int_32 *pnum_objects, \
                          br_token type, const char *pattern, br_token_value *tv);                                        \
    br_error (*_count)(br_object_container *self, br_int_32 *pcount, br_token type, const char *pattern, br_token_value *tv);

typedef struct br_object_dispatch {
    BR_OBJECT_METHODS
} br_object_dispatch;

typedef struct br_object_container_dispatch {
    BR_OBJECT_METHODS
    BR_OBJECT_CONTAINER_METHODS
} br_object_container_dispatch;

struct br_object {
    const br_object_dispatch *dispatch;
};

struct br_object_container {
    const br_object_container_dispatch *dispatch;
};

#define ObjectFree(o) ((br_object *)(o))->dispatch->_free((br_object *)(o))
#define ObjectIdentifier(o) ((br_object *)(o))->dispatch->_identifier((br_object *)(o))
#define ObjectType(o) ((br_object *)(o))->dispatch->_type((br_object *)(o))
#define ObjectIsType(o, t) ((br_object *)(o))->dispatch->_isType((br_object *)(o), (t))
#define ObjectDevice(o) ((br_object *)(o))->dispatch->_device((br_object *)(o))

/* Default object operations over the class's template; the object is the record. */
br_error _M_br_object_query(br_object *self, br_value *pvalue, br_token t);
br_error _M_br_object_queryBuffer(br_object *self, br_value *pvalue, void *buffer, br_size_t buffer_size, br_token t);
br_error _M_br_object_queryMany(br_object *self, br_token_value *tv, void *extra, br_size_t extra_size,
                                br_int_32 *pcount);
br_error _M_br_object_queryManySize(br_object *self, br_size_t *pextra_size, br_token_value *tv);
br_error _M_br_object_queryAll(br_object *self, br_token_value *buffer, br_size_t buffer_size);
br_error _M_br_object_queryAllSize(br_object *self, br_size_t *psize);

/* Default container operations over the simple list that listQuery returns. */
void *_M_br_object_container_tokensMatchBegin(br_object_container *self, br_token t, br_token_value *tv);
br_boolean _M_br_object_container_tokensMatch(br_object_container *self, br_object *h, void *arg);
void _M_br_object_container_tokensMatchEnd(br_object_container *self, void *arg);
br_error _M_br_object_container_addFront(br_object_container *self, br_object *h);
br_error _M_br_object_container_removeFront(br_object_container *self, br_object **ph);
br_error _M_br_object_container_remove(br_object_container *self, br_object *h);
br_error _M_br_object_container_find(br_object_container *self, br_object **ph, br_token type, const char *pattern,
                                     br_token_value *tv);
br_error _M_br_object_container_findMany(br_object_container *self, br_object **objects, br_int_32 max_objects,
                                         br_int_32 *pnum_objects, br_token type, const char *pattern,
                                         br_token_value *tv);
br_error _M_br_object_container_count(br_object_container *self, br_int_32 *pcount, br_token type,
                                      const char *pattern, br_token_value *tv);

/* An empty object list under the parent resource. */
void *BrObjectListAllocate(void *res);
/* Removes and frees every contained object that matches. */
br_error BrObjectContainerFree(br_object_container *self, br_token type, const char *pattern, br_token_value *tv);

/* Empty prologue and epilogue hooks of driver code: one function under two names. */
void _PRO(void);
void _EPI(void);

#ifdef __cplusplus
}
#endif

#endif
