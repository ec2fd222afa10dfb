/* Tokens, token-value lists and the templates that map tokens onto the fields of a record. */
#ifndef BRONDEL_BRTOKEN_H
#define BRONDEL_BRTOKEN_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef br_uint_32 br_token;

/* Predefined token ids, BRT_<name>. */
enum {
    BR_NULL_TOKEN = 0,
#define BR_TOKEN(name, id, type) BRT_##name = id,
#include "brondel/brtokens.def"
#undef BR_TOKEN
};

#define BR_PREDEFINED_TOKEN_COUNT 430
/* The first id handed out to a token made at run time. */
#define BR_FIRST_RUNTIME_TOKEN 432

struct br_object;

/* The value of a token-value pair: the datum itself for scalars, tokens, pointers, objects and
 * handles, a pointer for vectors, matrices, strings and lists. Pointer-wide. */
typedef union br_value {
    br_uint_32 u32;
    br_int_32 i32;
    br_uint_16 u16;
    br_int_16 i16;
    br_uint_8 u8;
    br_int_8 i8;
    br_boolean b;
    br_token t;
    br_fixed_ls x;
    float f;
    br_angle a;
    void *p;
    void *h;
    char *str;
    const char *cstr;
    struct br_object *o;
    struct br_object **ol;
    br_token *tl;
    void **pl;
    struct br_token_value *tvl;
    br_fixed_ls *vx; /* vectors and matrices of fixed values */
    float *vf;       /* vectors and matrices of floats */
    br_int_32 *vi;   /* integer vectors */
    uintptr_t raw;
} br_value;

typedef struct br_token_value {
    br_token t;
    br_value v;
} br_token_value;

br_token BrTokenCreate(const char *identifier, br_token type);
const char *BrTokenIdentifier(br_token t);
br_token BrTokenType(br_token t);
br_token BrTokenFind(const char *pattern);
br_int_32 BrTokenFindMany(const char *pattern, br_token *tokens, br_int_32 max_tokens);
br_int_32 BrTokenCount(const char *pattern);
br_token BrTokenFindBase(const char *word, const br_token *types, br_int_32 ntypes, br_token *ptype);

/* Template entry flags. */
#define BRTV_QUERY 0x0001
#define BRTV_SET 0x0002
#define BRTV_ALL 0x0004
#define BRTV_ABS 0x0008 /* offset is the field's address; such an entry cannot be set */

/* Conversion kinds: what the field holds and what the pair carries. */
enum {
    BRTV_CONV_CONSTANT = 1,   /* the entry's extra word, query only */
    BRTV_CONV_CUSTOM = 2,     /* the accessor table in extra */
    BRTV_CONV_COPY = 3,       /* 32-bit; pointer-wide for pointer-typed tokens */
    BRTV_CONV_DIRECT_V2 = 4,  /* 2, 3, 4, 6, 12, 16 words, queried as a pointer to a copy */
    BRTV_CONV_DIRECT_V3 = 5,
    BRTV_CONV_DIRECT_V4 = 6,
    BRTV_CONV_DIRECT_M23 = 7,
    BRTV_CONV_DIRECT_M34 = 8,
    BRTV_CONV_DIRECT_M4 = 9,
    BRTV_CONV_I32_I8 = 10,
    BRTV_CONV_I32_I16 = 11,
    BRTV_CONV_I32_U8 = 12,
    BRTV_CONV_I32_U16 = 13,
    BRTV_CONV_FIXED_FLOAT = 14, /* float field, fixed pair */
    BRTV_CONV_FLOAT_FIXED = 15, /* fixed field, float pair */
    BRTV_CONV_V2_FIXED_FLOAT = 16, /* even kinds: float fields, fixed pairs */
    BRTV_CONV_V2_FLOAT_FIXED = 17, /* odd kinds: fixed fields, float pairs */
    BRTV_CONV_V3_FIXED_FLOAT = 18,
    BRTV_CONV_V3_FLOAT_FIXED = 19,
    BRTV_CONV_V4_FIXED_FLOAT = 20,
    BRTV_CONV_V4_FLOAT_FIXED = 21,
    BRTV_CONV_M23_FIXED_FLOAT = 22,
    BRTV_CONV_M23_FLOAT_FIXED = 23,
    BRTV_CONV_M34_FIXED_FLOAT = 24,
    BRTV_CONV_M34_FLOAT_FIXED = 25,
    BRTV_CONV_M4_FIXED_FLOAT = 26,
    BRTV_CONV_M4_FLOAT_FIXED = 27,
    BRTV_CONV_STR = 28,       /* field points at a string buffer of BRTV_STRING_BUFFER bytes */
    BRTV_CONV_LIST = 29,      /* field points at a 0-ended list; query only */
    BRTV_CONV_BOOL_TOKEN = 30,
    BRTV_CONV_BIT = 31,
    BRTV_CONV_NOT_BIT = 32,
};

/* A string set through kind 28 is cut to fit this many bytes, terminator included. */
#define BRTV_STRING_BUFFER 64

struct br_tv_template_entry;

/* Accessors of a kind 2 entry. The query gets the caller's buffer position and remaining size and
 * moves them past whatever it stores there. */
typedef struct br_tv_custom {
    br_error (*query)(br_value *pvalue, void **extra, br_size_t *pextra_size, void *block,
                      const struct br_tv_template_entry *tep);
    br_error (*set)(void *block, const br_value *pvalue, const struct br_tv_template_entry *tep);
    br_size_t (*extra_size)(void *block, const struct br_tv_template_entry *tep);
} br_tv_custom;

typedef struct br_tv_template_entry {
    br_token token;      /* 0 until resolved from the name */
    const char *name;    /* looked up or created when present */
    uintptr_t offset;    /* field offset in the record, or its address with BRTV_ABS */
    br_uint_16 flags;
    br_uint_16 conv;
    uintptr_t conv_arg;  /* constant, accessor table, bit mask or stored true value */
    br_uint_32 mask;     /* OR'ed into the caller's changed word on a set */
} br_tv_template_entry;

typedef struct br_tv_template {
    br_int_32 n_entries;
    br_tv_template_entry *entries;
    br_int_32 map_base;
    br_int_32 n_map_entries; /* 0 until the maps are built */
    br_tv_template_entry **map_query_entry;
    br_tv_template_entry **map_set_entry;
    br_boolean names_resolved;
    void *res;
} br_tv_template;

br_tv_template *BrTVTemplateAllocate(void *res, br_tv_template_entry *entries, int n_entries);
void BrTVTemplateFree(br_tv_template *t);

br_error BrTokenValueQuery(br_value *pvalue, void *extra, br_size_t extra_size, br_token t, void *block,
                           br_tv_template *tpl);
br_error BrTokenValueQueryMany(br_token_value *tv, void *extra, br_size_t extra_size, br_int_32 *pcount,
                               void *block, br_tv_template *tpl);
br_error BrTokenValueQueryManySize(br_size_t *psize, br_token_value *tv, void *block, br_tv_template *tpl);
br_error BrTokenValueQueryAll(br_token_value *buffer, br_size_t buffer_size, void *block, br_tv_template *tpl);
br_error BrTokenValueQueryAllSize(br_size_t *psize, void *block, br_tv_template *tpl);
br_error BrTokenValueSet(void *mem, br_uint_32 *pcombined_mask, br_token t, br_value value, br_tv_template *tpl);
br_error BrTokenValueSetMany(void *mem, br_int_32 *pcount, br_uint_32 *pcombined_mask, br_token_value *tv,
                             br_tv_template *tpl);
br_error BrStringToTokenValue(br_token_value *buffer, br_size_t buffer_size, const char *str);
br_boolean BrTokenValueCompare(br_token_value *tv1, br_token_value *tv2);
void BrTokenValueDump(br_token_value *tv, const char *prefix, void (*putline)(const char *, void *), void *arg);

#ifdef __cplusplus
}
#endif

#endif
