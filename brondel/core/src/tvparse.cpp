// Token-value lists from strings such as "w=640,h=480,b=16", and the comparison of two lists.
#include <string.h>

#include "fwstate.h"
#include "tokenval.h"

namespace {

enum { KW_FALSE = 128, KW_TRUE = 129 };

br_lexer_keyword keywords[] = {
    {"true", KW_TRUE},
    {"t", KW_TRUE},
    {"false", KW_FALSE},
    {"f", KW_FALSE},
};

const br_token integer_types[] = {BRT_INT_32, BRT_UINT_32, BRT_INT_16, BRT_UINT_16, BRT_INT_8,
                                  BRT_UINT_8, BRT_FLOAT,  BRT_FIXED,  BRT_BOOLEAN};
const br_token negative_types[] = {BRT_INT_32, BRT_INT_16, BRT_INT_8, BRT_FLOAT, BRT_FIXED, BRT_BOOLEAN};
const br_token real_types[] = {BRT_FLOAT, BRT_FIXED};
const br_token string_types[] = {BRT_STRING, BRT_CONSTANT_STRING};
const br_token token_types[] = {BRT_TOKEN};
const br_token bare_types[] = {BRT_NONE, BRT_BOOLEAN};
const br_token boolean_types[] = {BRT_BOOLEAN};

// The first acceptable type in order of preference that has a token of that base name.
br_token find_preferred(const char *name, const br_token *types, int ntypes, br_token *ptype)
{
    for (int i = 0; i < ntypes; i++) {
        br_token t = BrTokenFindBase(name, &types[i], 1, ptype);
        if (t != 0)
            return t;
    }
    return 0;
}

br_value integer_value(br_int_32 n, br_token type)
{
    br_value v;
    v.raw = 0;
    switch (type) {
    case BRT_BOOLEAN:
        v.u32 = n != 0;
        break;
    case BRT_INT_8:
    case BRT_UINT_8:
        v.u32 = (br_uint_32)n & 0xffu;
        break;
    case BRT_INT_16:
    case BRT_UINT_16:
        v.u32 = (br_uint_32)n & 0xffffu;
        break;
    case BRT_FIXED:
        v.u32 = (br_uint_32)n << 16;
        break;
    case BRT_FLOAT:
        v.f = (float)n;
        break;
    default:
        v.i32 = n;
        break;
    }
    return v;
}

const char *alias(const char *name)
{
    if (name[0] != '\0' && name[1] == '\0') {
        switch (name[0]) {
        case 'B':
        case 'b':
            return "pixel_bits";
        case 'H':
        case 'h':
            return "height";
        case 'M':
        case 'm':
            return "mode";
        case 'W':
        case 'w':
            return "width";
        }
    }
    return name;
}

} // namespace

br_error BrStringToTokenValue(br_token_value *buffer, br_size_t buffer_size, const char *str)
{
    br_lexer *l = BrLexerAllocate(keywords, sizeof(keywords) / sizeof(keywords[0]));
    if (l == nullptr)
        return BRE_NO_MEMORY;
    if (BrLexerPushString(l, str ? str : "", "token-value string") != BRE_OK) {
        BrLexerFree(l);
        return BRE_NO_MEMORY;
    }
    BrLexerAdvance(l);

    if (buffer_size < sizeof(br_token_value)) {
        BrLexerFree(l);
        return BRE_OK;
    }

    br_token_value *tv = buffer;
    br_size_t strings = 0; // bytes taken by strings at the end of the buffer
    // Free bytes between the pairs and the strings, with room for the terminator kept aside.
    auto remaining = [&]() -> br_size_t {
        return buffer_size - sizeof(br_token_value) - (br_size_t)((char *)tv - (char *)buffer) - strings;
    };

    for (;;) {
        while (BrLexerCurrent(l) == ',')
            BrLexerAdvance(l);
        // A pair is taken only with more room left than one pair: an exact fit stops.
        if (BrLexerCurrent(l) != BRL_IDENT || remaining() <= sizeof(br_token_value))
            break;

        char name[40];
        BrStrNCpy(name, BrLexerString(l), sizeof(name) - 1);
        name[sizeof(name) - 1] = '\0';
        const char *word = alias(name);
        BrLexerAdvance(l);

        br_token t = 0, type = 0;
        br_value v;
        v.raw = 0;

        if (BrLexerCurrent(l) == ':' || BrLexerCurrent(l) == '=') {
            BrLexerAdvance(l);
            bool neg = false;
            bool sign = false;
            if (BrLexerCurrent(l) == '-' || BrLexerCurrent(l) == '+') {
                neg = BrLexerCurrent(l) == '-';
                sign = true;
                BrLexerAdvance(l);
            }
            int kind = BrLexerCurrent(l);
            if (sign && kind != BRL_INTEGER && kind != BRL_REAL)
                kind = BRL_ERROR;

            switch (kind) {
            case BRL_IDENT:
                t = find_preferred(word, token_types, 1, &type);
                v.t = BrTokenFind(BrLexerString(l));
                if (v.t == 0)
                    t = 0;
                BrLexerAdvance(l);
                break;
            case BRL_STRING: {
                t = find_preferred(word, string_types, 2, &type);
                br_size_t len = strlen(BrLexerString(l)) + 1;
                if (t != 0 && remaining() >= sizeof(br_token_value) + len) {
                    strings += len;
                    char *dst = (char *)buffer + buffer_size - strings;
                    memcpy(dst, BrLexerString(l), len);
                    v.str = dst;
                } else {
                    t = 0;
                }
                BrLexerAdvance(l);
                break;
            }
            case BRL_INTEGER: {
                br_int_32 n = BrLexerInteger(l);
                if (neg)
                    n = -n;
                if (neg)
                    t = find_preferred(word, negative_types, 6, &type);
                else
                    t = find_preferred(word, integer_types, 9, &type);
                if (t != 0)
                    v = integer_value(n, type);
                BrLexerAdvance(l);
                break;
            }
            case BRL_REAL: {
                float r = BrLexerReal(l);
                if (neg)
                    r = -r;
                t = find_preferred(word, real_types, 2, &type);
                if (type == BRT_FIXED)
                    v.x = BrTvFloatToFixed(r);
                else
                    v.f = r;
                BrLexerAdvance(l);
                break;
            }
            case KW_TRUE:
            case KW_FALSE:
                t = find_preferred(word, boolean_types, 1, &type);
                v.u32 = kind == KW_TRUE;
                BrLexerAdvance(l);
                break;
            default:
                l->error(l, "expecting a value");
                break;
            }
        } else {
            t = BrTokenFindBase(word, bare_types, 2, &type);
            if (t != 0 && type == BRT_BOOLEAN)
                v.u32 = KW_TRUE;
        }

        if (t != 0) {
            tv->t = t;
            tv->v = v;
            tv++;
        } else {
            l->error(l, "unknown token");
        }
    }

    tv->t = 0;
    tv->v.raw = 0;
    BrLexerFree(l);
    return BRE_OK;
}

namespace {

br_size_t compare_bytes(br_token type)
{
    switch (type) {
    case BRT_VECTOR2_INTEGER:
    case BRT_VECTOR2_FIXED:
    case BRT_VECTOR2_FLOAT:
        return 8;
    case BRT_VECTOR3_INTEGER:
    case BRT_VECTOR3_FIXED:
    case BRT_VECTOR3_FLOAT:
        return 12;
    case BRT_VECTOR4_INTEGER:
    case BRT_VECTOR4_FIXED:
    case BRT_VECTOR4_FLOAT:
        return 16;
    case BRT_MATRIX23_FIXED:
    case BRT_MATRIX23_FLOAT:
        return 24;
    case BRT_MATRIX34_FIXED:
    case BRT_MATRIX34_FLOAT:
        return 48;
    case BRT_MATRIX4_FIXED:
    case BRT_MATRIX4_FLOAT:
        return 64;
    default:
        return 0;
    }
}

bool values_equal(br_token t, const br_value &a, const br_value &b)
{
    br_token type = BrTokenType(t);
    if (type == BRT_NONE)
        return true;
    if (type == BRT_OBJECT_LIST || type == BRT_TOKEN_LIST || type == BRT_POINTER_LIST)
        return true;
    if (br_size_t n = compare_bytes(type)) {
        if (a.p == nullptr || b.p == nullptr)
            return a.p == b.p;
        return memcmp(a.p, b.p, n) == 0;
    }
    if (type == BRT_STRING || type == BRT_CONSTANT_STRING) {
        if (a.cstr == nullptr || b.cstr == nullptr)
            return a.cstr == b.cstr;
        return strcmp(a.cstr, b.cstr) == 0;
    }
    if (BrTvPointerValued(type))
        return a.p == b.p;
    return a.u32 == b.u32;
}

} // namespace

br_boolean BrTokenValueCompare(br_token_value *tv1, br_token_value *tv2)
{
    if (tv1 == nullptr || tv2 == nullptr)
        return tv1 == tv2;
    for (;; tv1++, tv2++) {
        if (tv1->t != tv2->t)
            return 0;
        if (tv1->t == 0)
            return 1;
        if (!values_equal(tv1->t, tv1->v, tv2->v))
            return 0;
    }
}

void BrTokenValueDump(br_token_value *tv, const char *prefix, void (*putline)(const char *, void *), void *arg) {}
