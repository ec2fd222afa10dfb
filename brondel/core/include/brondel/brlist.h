/* Name patterns, linked lists, registries, the scratch block and sorting. */
#ifndef BRONDEL_BRLIST_H
#define BRONDEL_BRLIST_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

br_boolean BrNamePatternMatch(const char *pattern, const char *name);

/* Doubly linked list. The head overlays two nodes: an empty list's head points at the head's null
 * word and its tail at the head itself. */
typedef struct br_node {
    struct br_node *next;
    struct br_node *prev;
} br_node;

typedef struct br_list {
    br_node *head;
    br_node *_null;
    br_node *tail;
} br_list;

void BrNewList(br_list *list);
void BrAddHead(br_list *list, br_node *node);
void BrAddTail(br_list *list, br_node *node);
br_node *BrRemHead(br_list *list);
br_node *BrRemTail(br_list *list);
void BrInsert(br_list *list, br_node *here, br_node *node);
br_node *BrRemove(br_node *node);

/* A node is the end marker when its next link is null; a list is empty when its head is that. */
#define BR_ENDLIST(n) (((br_node *)(n))->next == NULL)
#define BR_EMPTYLIST(l) ((l)->head->next == NULL)

/* Singly linked list with a back link to whatever word points at the node. */
typedef struct br_simple_node {
    struct br_simple_node *next;
    struct br_simple_node **prev;
} br_simple_node;

typedef struct br_simple_list {
    br_simple_node *head;
} br_simple_list;

void BrSimpleNewList(br_simple_list *list);
void BrSimpleAddHead(br_simple_list *list, br_simple_node *node);
br_simple_node *BrSimpleRemHead(br_simple_list *list);
void BrSimpleInsert(br_simple_list *list, br_simple_node *here, br_simple_node *node);
br_simple_node *BrSimpleRemove(br_simple_node *node);

/* Registry of caller-owned records. A record holds its identifier (a string pointer) in its second
 * word, after one reserved word. */
typedef void *br_find_failed_cbfn(const char *pattern);
typedef br_uint_32 br_enum_cbfn(void *item, void *arg);

typedef struct br_registry {
    br_list list;
    int count;
    br_find_failed_cbfn *find_failed_hook;
} br_registry;

void *BrRegistryNew(br_registry *reg);
void *BrRegistryClear(br_registry *reg);
void *BrRegistryAdd(br_registry *reg, void *item);
int BrRegistryAddMany(br_registry *reg, void **items, int n);
void *BrRegistryRemove(br_registry *reg, void *item);
int BrRegistryRemoveMany(br_registry *reg, void **items, int n);
void *BrRegistryFind(br_registry *reg, const char *pattern);
int BrRegistryFindMany(br_registry *reg, const char *pattern, void **items, int max);
int BrRegistryCount(br_registry *reg, const char *pattern);
int BrRegistryEnum(br_registry *reg, const char *pattern, br_enum_cbfn *callback, void *arg);
void *BrRegistryNewStatic(br_registry *reg, void *base, int limit);
void *BrRegistryAddStatic(br_registry *reg, void *base, void *item);
void *BrRegistryRemoveStatic(br_registry *reg, void *item);

/* The one scratch block of the instance, and a 512-byte scratch string. */
void *BrScratchAllocate(br_size_t size);
void BrScratchFree(void *scratch);
br_size_t BrScratchFlush(void);
br_size_t BrScratchInquire(void);
char *BrScratchString(void);
br_size_t BrScratchStringSize(void);

typedef int br_qsort_cbfn(const void *, const void *);
void BrQsort(void *basep, br_size_t nelems, br_size_t size, br_qsort_cbfn *comp);

#ifdef __cplusplus
}
#endif

#endif
