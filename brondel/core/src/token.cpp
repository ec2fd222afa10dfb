// The token list: the predefined tokens and those made at run time.
#include <string.h>
#include <strings.h>

#include "fwstate.h"

namespace {

struct token_record {
    br_node node;
    const char *identifier;
    br_token type;
    br_token id;
    br_int_32 base_length; // name length without its type suffix; 0 for run-time tokens
};

token_record predefined[] = {
#define BR_TOKEN(name, id, type) {{nullptr, nullptr}, #name, BRT_##type, BRT_##name, 0},
#include "brondel/brtokens.def"
#undef BR_TOKEN
};

static_assert(sizeof(predefined) / sizeof(predefined[0]) == BR_PREDEFINED_TOKEN_COUNT);

struct suffix_type {
    const char *suffix;
    br_token type;
};

// Searched in this order; the first suffix that ends a longer name wins.
const suffix_type suffixes[] = {
    {"_M34_X", BRT_MATRIX34_FIXED}, {"_M23_F", BRT_MATRIX23_FLOAT}, {"_M23_X", BRT_MATRIX23_FIXED},
    {"_M34_F", BRT_MATRIX34_FLOAT}, {"_V3_X", BRT_VECTOR3_FIXED},   {"_V4_X", BRT_VECTOR4_FIXED},
    {"_M4_F", BRT_MATRIX4_FLOAT},   {"_M4_X", BRT_MATRIX4_FIXED},   {"_V3_I", BRT_VECTOR3_INTEGER},
    {"_V4_F", BRT_VECTOR4_FLOAT},   {"_V2_X", BRT_VECTOR2_FIXED},   {"_V2_I", BRT_VECTOR2_INTEGER},
    {"_CSTR", BRT_CONSTANT_STRING}, {"_V4_I", BRT_VECTOR4_INTEGER}, {"_V2_F", BRT_VECTOR2_FLOAT},
    {"_V3_F", BRT_VECTOR3_FLOAT},   {"_STR", BRT_STRING},           {"_U32", BRT_UINT_32},
    {"_RGB", BRT_COLOUR_RGB},       {"_I16", BRT_INT_16},           {"_U16", BRT_UINT_16},
    {"_TVL", BRT_TOKEN_VALUE_LIST}, {"_I32", BRT_INT_32},           {"_OL", BRT_OBJECT_LIST},
    {"_I8", BRT_INT_8},             {"_PL", BRT_POINTER_LIST},      {"_TL", BRT_TOKEN_LIST},
    {"_U8", BRT_UINT_8},            {"_H", BRT_HANDLE},             {"_P", BRT_POINTER},
    {"_X", BRT_FIXED},              {"_T", BRT_TOKEN},              {"_A", BRT_ANGLE},
    {"_O", BRT_OBJECT},             {"_F", BRT_FLOAT},              {"_B", BRT_BOOLEAN},
};

const suffix_type *suffix_of(const char *name)
{
    size_t len = strlen(name);
    for (const suffix_type &s : suffixes) {
        size_t sl = strlen(s.suffix);
        if (len > sl && strcmp(name + len - sl, s.suffix) == 0)
            return &s;
    }
    return nullptr;
}

// The base length of a predefined token: a suffix counts only when it is the one of the token's own
// type (COLOUR_RGB and GEOMETRY_X are plain names).
br_int_32 base_length(const token_record &r)
{
    size_t len = strlen(r.identifier);
    const suffix_type *s = suffix_of(r.identifier);
    if (s != nullptr && s->type == r.type)
        return (br_int_32)(len - strlen(s->suffix));
    return (br_int_32)len;
}

#define FOR_EACH_TOKEN(r)                                                                                      \
    for (token_record *r = (token_record *)br_fw.tokens.head; !BR_ENDLIST(r); r = (token_record *)r->node.next)

// The predefined tokens by id: asked for on every state change, too often for a list walk.
token_record *predefined_by_id[BR_FIRST_RUNTIME_TOKEN];

token_record *find_id(br_token t)
{
    if (!br_fw.active || t == 0)
        return nullptr;
    if (t < BR_FIRST_RUNTIME_TOKEN && predefined_by_id[t])
        return predefined_by_id[t];
    FOR_EACH_TOKEN(r)
    if (r->id == t)
        return r;
    return nullptr;
}

} // namespace

void BrFwTokensBegin(void)
{
    BrNewList(&br_fw.tokens);
    for (token_record &r : predefined) {
        r.base_length = base_length(r);
        BrAddHead(&br_fw.tokens, &r.node);
        if (r.id < BR_FIRST_RUNTIME_TOKEN)
            predefined_by_id[r.id] = &r;
    }
    br_fw.next_free_token = BR_FIRST_RUNTIME_TOKEN;
}

br_token BrTokenCreate(const char *identifier, br_token type)
{
    if (!br_fw.active || identifier == nullptr)
        return 0;
    FOR_EACH_TOKEN(r)
    if (strcmp(r->identifier, identifier) == 0)
        return r->id;
    if (type != 0)
        return 0;

    token_record *r = (token_record *)BrResAllocate(br_fw.res, sizeof(token_record), BR_MEMORY_TOKEN);
    if (r == nullptr)
        return 0;
    char *name = BrResStrDup(r, identifier);
    if (name == nullptr) {
        BrResFree(r);
        return 0;
    }
    const suffix_type *s = suffix_of(identifier);
    r->identifier = name;
    r->type = s ? s->type : (br_token)BRT_NONE;
    r->id = (br_token)br_fw.next_free_token++;
    r->base_length = 0;
    BrAddHead(&br_fw.tokens, &r->node);
    return r->id;
}

const char *BrTokenIdentifier(br_token t)
{
    token_record *r = find_id(t);
    return r ? r->identifier : nullptr;
}

br_token BrTokenType(br_token t)
{
    token_record *r = find_id(t);
    return r ? r->type : 0;
}

br_token BrTokenFind(const char *pattern)
{
    if (!br_fw.active)
        return 0;
    FOR_EACH_TOKEN(r)
    if (BrNamePatternMatch(pattern, r->identifier))
        return r->id;
    return 0;
}

br_int_32 BrTokenFindMany(const char *pattern, br_token *tokens, br_int_32 max_tokens)
{
    br_int_32 n = 0;
    if (!br_fw.active)
        return 0;
    FOR_EACH_TOKEN(r)
    {
        if (n >= max_tokens)
            break;
        if (BrNamePatternMatch(pattern, r->identifier))
            tokens[n++] = r->id;
    }
    return n;
}

br_int_32 BrTokenCount(const char *pattern)
{
    br_int_32 n = 0;
    if (!br_fw.active)
        return 0;
    FOR_EACH_TOKEN(r)
    if (BrNamePatternMatch(pattern, r->identifier))
        n++;
    return n;
}

br_token BrTokenFindBase(const char *word, const br_token *types, br_int_32 ntypes, br_token *ptype)
{
    if (!br_fw.active || word == nullptr)
        return 0;
    size_t len = strlen(word);
    FOR_EACH_TOKEN(r)
    {
        if (r->base_length == 0 || (size_t)r->base_length != len || strncasecmp(r->identifier, word, len) != 0)
            continue;
        for (br_int_32 i = 0; i < ntypes; i++) {
            if (types[i] == r->type) {
                if (ptype != nullptr)
                    *ptype = r->type;
                return r->id;
            }
        }
    }
    return 0;
}
