// Templates: query and set the fields of a record by token, one pair or many at a time.
#include <string.h>

#include "fwstate.h"
#include "tokenval.h"

namespace {

template <typename T> T ld(const void *p)
{
    T v;
    memcpy(&v, p, sizeof(T));
    return v;
}

template <typename T> void st(void *p, T v)
{
    memcpy(p, &v, sizeof(T));
}

br_value value32(br_uint_32 v)
{
    br_value r;
    r.raw = 0;
    r.u32 = v;
    return r;
}

// Buffered data keeps pointer alignment, so a list of pointers never lands on a misaligned address.
br_size_t round_up(br_size_t n)
{
    return (n + sizeof(void *) - 1) & ~(br_size_t)(sizeof(void *) - 1);
}

// Element count of the vector and matrix kinds 4-9 and 16-27.
br_size_t elements(int conv)
{
    static const br_size_t counts[] = {2, 3, 4, 6, 12, 16};
    if (conv >= BRTV_CONV_DIRECT_V2 && conv <= BRTV_CONV_DIRECT_M4)
        return counts[conv - BRTV_CONV_DIRECT_V2];
    if (conv >= BRTV_CONV_V2_FIXED_FLOAT && conv <= BRTV_CONV_M4_FLOAT_FIXED)
        return counts[(conv - BRTV_CONV_V2_FIXED_FLOAT) / 2];
    return 0;
}

// Element size of a 0-ended list: tokens are 32-bit, objects and pointers pointer-wide.
br_size_t list_element_size(br_token t)
{
    br_token type = BrTokenType(t);
    return (type == BRT_OBJECT_LIST || type == BRT_POINTER_LIST) ? sizeof(void *) : sizeof(br_uint_32);
}

br_size_t list_length(const void *list, br_size_t elem)
{
    br_size_t n = 0;
    if (elem == sizeof(br_uint_32)) {
        while (ld<br_uint_32>((const char *)list + n * elem) != 0)
            n++;
    } else {
        while (ld<void *>((const char *)list + n * elem) != nullptr)
            n++;
    }
    return n;
}

void *field_of(void *block, const br_tv_template_entry *tep)
{
    if (tep->flags & BRTV_ABS)
        return (void *)tep->offset;
    return (char *)block + tep->offset;
}

void resolve_names(br_tv_template *tpl)
{
    if (tpl == nullptr)
        return;
    for (int i = 0; i < tpl->n_entries; i++)
        if (tpl->entries[i].name != nullptr)
            tpl->entries[i].token = BrTokenCreate(tpl->entries[i].name, 0);
}

bool build_maps(br_tv_template *tpl)
{
    if (tpl->n_map_entries != 0)
        return true;
    resolve_names(tpl);

    br_token lo = 0, hi = 0;
    for (int i = 0; i < tpl->n_entries; i++) {
        br_token t = tpl->entries[i].token;
        if (t == 0)
            continue;
        if (lo == 0 || t < lo)
            lo = t;
        if (t > hi)
            hi = t;
    }
    if (lo == 0)
        return false;

    br_size_t n = (br_size_t)(hi - lo) + 1;
    auto **maps = (br_tv_template_entry **)BrResAllocate(tpl->res, 2 * n * sizeof(void *), BR_MEMORY_TOKEN_MAP);
    if (maps == nullptr)
        return false;
    tpl->map_base = (br_int_32)lo;
    tpl->n_map_entries = (br_int_32)n;
    tpl->map_query_entry = maps;
    tpl->map_set_entry = maps + n;

    for (int i = 0; i < tpl->n_entries; i++) {
        br_tv_template_entry *tep = &tpl->entries[i];
        if (tep->token == 0)
            continue;
        if (tep->flags & BRTV_QUERY)
            tpl->map_query_entry[tep->token - lo] = tep;
        if (tep->flags & BRTV_SET)
            tpl->map_set_entry[tep->token - lo] = tep;
    }
    return true;
}

br_tv_template_entry *lookup(br_tv_template *tpl, br_token t, bool set)
{
    if (tpl == nullptr || !build_maps(tpl))
        return nullptr;
    if (t < (br_token)tpl->map_base || t - (br_token)tpl->map_base >= (br_token)tpl->n_map_entries)
        return nullptr;
    return (set ? tpl->map_set_entry : tpl->map_query_entry)[t - tpl->map_base];
}

// Takes size bytes of the caller's buffer, or null when there is not enough.
void *take(void **extra, br_size_t *extra_size, br_size_t size)
{
    if (extra == nullptr || *extra == nullptr || extra_size == nullptr || *extra_size < size)
        return nullptr;
    void *p = *extra;
    *extra = (char *)*extra + size;
    *extra_size -= size;
    return p;
}

} // namespace

br_fixed_ls BrTvFloatToFixed(float f)
{
    double x = (double)f * 65536.0;
    if (!(x == x))
        return 0;
    if (x >= 2147483647.0)
        return INT32_MAX;
    if (x <= -2147483648.0)
        return INT32_MIN;
    return (br_fixed_ls)x; // truncates toward zero
}

float BrTvFixedToFloat(br_fixed_ls x)
{
    return (float)x * (1.0f / 65536.0f);
}

bool BrTvPointerValued(br_token type)
{
    return type == BRT_POINTER || type == BRT_OBJECT || type == BRT_HANDLE || type == BRT_TOKEN_VALUE_LIST ||
           (type >= BRT_VECTOR2_INTEGER && type <= BRT_POINTER_LIST);
}

br_size_t BrTvEntryExtraSize(void *block, const br_tv_template_entry *tep)
{
    int conv = tep->conv;
    if (br_size_t n = elements(conv))
        return round_up(n * 4);
    void *field = field_of(block, tep);
    switch (conv) {
    case BRTV_CONV_CUSTOM: {
        const br_tv_custom *c = (const br_tv_custom *)tep->conv_arg;
        return (c != nullptr && c->extra_size != nullptr) ? c->extra_size(block, tep) : 0;
    }
    case BRTV_CONV_STR: {
        const char *s = ld<const char *>(field);
        return s ? round_up(strlen(s) + 1) : 0;
    }
    case BRTV_CONV_LIST: {
        const void *list = ld<const void *>(field);
        br_size_t elem = list_element_size(tep->token);
        return round_up(list ? elem * (list_length(list, elem) + 1) : elem);
    }
    default:
        return 0;
    }
}

br_error BrTvEntryQuery(br_value *pvalue, void **extra, br_size_t *extra_size, void *block,
                        const br_tv_template_entry *tep)
{
    void *field = field_of(block, tep);
    int conv = tep->conv;

    if (br_size_t n = elements(conv)) {
        void *dst = take(extra, extra_size, round_up(n * 4));
        if (dst == nullptr) {
            pvalue->raw = 0;
            return BRE_OVERFLOW;
        }
        for (br_size_t i = 0; i < n; i++) {
            const char *src = (const char *)field + i * 4;
            char *d = (char *)dst + i * 4;
            if (conv <= BRTV_CONV_DIRECT_M4)
                memcpy(d, src, 4);
            else if ((conv - BRTV_CONV_V2_FIXED_FLOAT) % 2 == 0)
                st(d, BrTvFloatToFixed(ld<float>(src)));
            else
                st(d, BrTvFixedToFloat(ld<br_fixed_ls>(src)));
        }
        pvalue->raw = 0;
        pvalue->p = dst;
        return BRE_OK;
    }

    switch (conv) {
    case BRTV_CONV_CONSTANT:
        pvalue->raw = tep->conv_arg;
        return BRE_OK;
    case BRTV_CONV_CUSTOM: {
        const br_tv_custom *c = (const br_tv_custom *)tep->conv_arg;
        if (c == nullptr || c->query == nullptr)
            return BRE_UNKNOWN_TOKEN;
        void *none = nullptr;
        br_size_t none_size = 0;
        return c->query(pvalue, extra ? extra : &none, extra_size ? extra_size : &none_size, block, tep);
    }
    case BRTV_CONV_COPY:
        if (BrTvPointerValued(BrTokenType(tep->token))) {
            pvalue->raw = 0;
            pvalue->p = ld<void *>(field);
        } else {
            *pvalue = value32(ld<br_uint_32>(field));
        }
        return BRE_OK;
    case BRTV_CONV_I32_I8:
        *pvalue = value32((br_uint_32)(br_int_32)ld<br_int_8>(field));
        return BRE_OK;
    case BRTV_CONV_I32_I16:
        *pvalue = value32((br_uint_32)(br_int_32)ld<br_int_16>(field));
        return BRE_OK;
    case BRTV_CONV_I32_U8:
        *pvalue = value32(ld<br_uint_8>(field));
        return BRE_OK;
    case BRTV_CONV_I32_U16:
        *pvalue = value32(ld<br_uint_16>(field));
        return BRE_OK;
    case BRTV_CONV_FIXED_FLOAT:
        *pvalue = value32((br_uint_32)BrTvFloatToFixed(ld<float>(field)));
        return BRE_OK;
    case BRTV_CONV_FLOAT_FIXED:
        pvalue->raw = 0;
        pvalue->f = BrTvFixedToFloat(ld<br_fixed_ls>(field));
        return BRE_OK;
    case BRTV_CONV_STR: {
        const char *s = ld<const char *>(field);
        pvalue->raw = 0;
        if (s == nullptr)
            return BRE_OK;
        br_size_t len = strlen(s) + 1;
        char *dst = (char *)take(extra, extra_size, round_up(len));
        if (dst == nullptr)
            return BRE_OVERFLOW;
        memcpy(dst, s, len);
        pvalue->str = dst;
        return BRE_OK;
    }
    case BRTV_CONV_LIST: {
        const void *list = ld<const void *>(field);
        br_size_t elem = list_element_size(tep->token);
        br_size_t count = list ? list_length(list, elem) : 0;
        char *dst = (char *)take(extra, extra_size, round_up(elem * (count + 1)));
        pvalue->raw = 0;
        if (dst == nullptr)
            return BRE_OVERFLOW;
        if (count != 0)
            memcpy(dst, list, elem * count);
        memset(dst + elem * count, 0, elem);
        pvalue->p = dst;
        return BRE_OK;
    }
    case BRTV_CONV_BOOL_TOKEN:
        *pvalue = value32(ld<br_uint_32>(field) != 1);
        return BRE_OK;
    case BRTV_CONV_BIT:
        *pvalue = value32((ld<br_uint_32>(field) & (br_uint_32)tep->conv_arg) != 0);
        return BRE_OK;
    case BRTV_CONV_NOT_BIT:
        *pvalue = value32((ld<br_uint_32>(field) & (br_uint_32)tep->conv_arg) == 0);
        return BRE_OK;
    default:
        return BRE_UNKNOWN_TOKEN;
    }
}

static br_error entry_set(void *block, const br_value &value, const br_tv_template_entry *tep)
{
    if (tep->flags & BRTV_ABS)
        return BRE_FAIL;
    void *field = field_of(block, tep);
    int conv = tep->conv;

    if (br_size_t n = elements(conv)) {
        if (value.p == nullptr)
            return BRE_FAIL;
        for (br_size_t i = 0; i < n; i++) {
            const char *src = (const char *)value.p + i * 4;
            char *d = (char *)field + i * 4;
            if (conv <= BRTV_CONV_DIRECT_M4)
                memcpy(d, src, 4);
            else if ((conv - BRTV_CONV_V2_FIXED_FLOAT) % 2 == 0)
                st(d, BrTvFixedToFloat(ld<br_fixed_ls>(src)));
            else
                st(d, BrTvFloatToFixed(ld<float>(src)));
        }
        return BRE_OK;
    }

    switch (conv) {
    case BRTV_CONV_CUSTOM: {
        const br_tv_custom *c = (const br_tv_custom *)tep->conv_arg;
        if (c == nullptr || c->set == nullptr)
            return BRE_UNKNOWN_TOKEN;
        return c->set(block, &value, tep);
    }
    case BRTV_CONV_COPY:
        if (BrTvPointerValued(BrTokenType(tep->token)))
            st(field, value.p);
        else
            st(field, value.u32);
        return BRE_OK;
    case BRTV_CONV_I32_I8:
    case BRTV_CONV_I32_U8:
        st(field, (br_uint_8)value.u32);
        return BRE_OK;
    case BRTV_CONV_I32_I16:
    case BRTV_CONV_I32_U16:
        st(field, (br_uint_16)value.u32);
        return BRE_OK;
    case BRTV_CONV_FIXED_FLOAT:
        st(field, BrTvFixedToFloat(value.x));
        return BRE_OK;
    case BRTV_CONV_FLOAT_FIXED:
        st(field, BrTvFloatToFixed(value.f));
        return BRE_OK;
    case BRTV_CONV_STR: {
        // The field points at a buffer of BRTV_STRING_BUFFER bytes: the copy is cut to fit, terminator
        // included.
        char *dst = ld<char *>(field);
        if (dst == nullptr)
            return BRE_FAIL;
        const char *s = value.cstr ? value.cstr : "";
        size_t len = strnlen(s, BRTV_STRING_BUFFER - 1);
        memcpy(dst, s, len);
        dst[len] = '\0';
        return BRE_OK;
    }
    case BRTV_CONV_BOOL_TOKEN:
        st(field, value.u32 ? (br_uint_32)tep->conv_arg : (br_uint_32)1);
        return BRE_OK;
    case BRTV_CONV_BIT:
        st(field, value.u32 ? ld<br_uint_32>(field) | (br_uint_32)tep->conv_arg
                            : ld<br_uint_32>(field) & ~(br_uint_32)tep->conv_arg);
        return BRE_OK;
    case BRTV_CONV_NOT_BIT:
        st(field, value.u32 ? ld<br_uint_32>(field) & ~(br_uint_32)tep->conv_arg
                            : ld<br_uint_32>(field) | (br_uint_32)tep->conv_arg);
        return BRE_OK;
    default: // constants, lists and unknown kinds cannot be set
        return BRE_UNKNOWN_TOKEN;
    }
}

br_tv_template *BrTVTemplateAllocate(void *res, br_tv_template_entry *entries, int n_entries)
{
    auto *tpl = (br_tv_template *)BrResAllocate(res, sizeof(br_tv_template), BR_MEMORY_TOKEN_TEMPLATE);
    if (tpl == nullptr)
        return nullptr;
    tpl->n_entries = n_entries;
    tpl->entries = entries;
    tpl->res = tpl;
    return tpl;
}

void BrTVTemplateFree(br_tv_template *t)
{
    if (t != nullptr)
        BrResFree(t);
}

br_error BrTokenValueQuery(br_value *pvalue, void *extra, br_size_t extra_size, br_token t, void *block,
                           br_tv_template *tpl)
{
    br_tv_template_entry *tep = lookup(tpl, t, false);
    if (tep == nullptr)
        return BRE_UNKNOWN_TOKEN;
    return BrTvEntryQuery(pvalue, &extra, &extra_size, block, tep);
}

br_error BrTokenValueQueryMany(br_token_value *tv, void *extra, br_size_t extra_size, br_int_32 *pcount,
                               void *block, br_tv_template *tpl)
{
    br_int_32 n = 0;
    for (; tv != nullptr && tv->t != 0; tv++) {
        br_tv_template_entry *tep = lookup(tpl, tv->t, false);
        if (tep == nullptr)
            continue;
        br_value v = tv->v;
        br_error r = BrTvEntryQuery(&v, &extra, &extra_size, block, tep);
        if (r == BRE_OK) {
            tv->v = v;
            n++;
        } else if (r == BRE_OVERFLOW) {
            tv->v.raw = 0;
        }
    }
    if (pcount != nullptr)
        *pcount = n;
    return BRE_OK;
}

br_error BrTokenValueQueryManySize(br_size_t *psize, br_token_value *tv, void *block, br_tv_template *tpl)
{
    br_size_t size = 0;
    for (; tv != nullptr && tv->t != 0; tv++) {
        br_tv_template_entry *tep = lookup(tpl, tv->t, false);
        if (tep != nullptr)
            size += BrTvEntryExtraSize(block, tep);
    }
    *psize = size;
    return BRE_OK;
}

br_error BrTokenValueQueryAll(br_token_value *buffer, br_size_t buffer_size, void *block, br_tv_template *tpl)
{
    if (tpl == nullptr)
        return BRE_UNKNOWN_TOKEN;
    resolve_names(tpl);
    br_size_t count = 0;
    for (int i = 0; i < tpl->n_entries; i++)
        if (tpl->entries[i].token != 0 && (tpl->entries[i].flags & BRTV_ALL))
            count++;

    br_size_t list_size = sizeof(br_token_value) * (count + 1);
    if (buffer_size < list_size)
        return BRE_OVERFLOW;
    void *extra = (char *)buffer + list_size;
    br_size_t extra_size = buffer_size - list_size;

    br_token_value *tv = buffer;
    for (int i = 0; i < tpl->n_entries; i++) {
        const br_tv_template_entry *tep = &tpl->entries[i];
        if (tep->token == 0 || !(tep->flags & BRTV_ALL))
            continue;
        tv->t = tep->token;
        tv->v.raw = 0;
        br_error r = BrTvEntryQuery(&tv->v, &extra, &extra_size, block, tep);
        if (r != BRE_OK) {
            // The list stays ended where it got to.
            tv->t = 0;
            tv->v.raw = 0;
            return r;
        }
        tv++;
    }
    tv->t = 0;
    tv->v.raw = 0;
    return BRE_OK;
}

br_error BrTokenValueQueryAllSize(br_size_t *psize, void *block, br_tv_template *tpl)
{
    *psize = sizeof(br_token_value);
    if (tpl == nullptr)
        return BRE_OK;
    resolve_names(tpl);
    br_size_t count = 0, extra = 0;
    for (int i = 0; i < tpl->n_entries; i++) {
        const br_tv_template_entry *tep = &tpl->entries[i];
        if (tep->token != 0 && (tep->flags & BRTV_ALL)) {
            count++;
            extra += BrTvEntryExtraSize(block, tep);
        }
    }
    *psize = sizeof(br_token_value) * (count + 1) + extra;
    return BRE_OK;
}

br_error BrTokenValueSet(void *mem, br_uint_32 *pcombined_mask, br_token t, br_value value, br_tv_template *tpl)
{
    br_tv_template_entry *tep = lookup(tpl, t, true);
    if (tep == nullptr)
        return BRE_UNKNOWN_TOKEN;
    br_error r = entry_set(mem, value, tep);
    if (r == BRE_OK && pcombined_mask != nullptr)
        *pcombined_mask |= tep->mask;
    return r;
}

br_error BrTokenValueSetMany(void *mem, br_int_32 *pcount, br_uint_32 *pcombined_mask, br_token_value *tv,
                             br_tv_template *tpl)
{
    br_int_32 n = 0;
    for (; tv != nullptr && tv->t != 0; tv++)
        if (BrTokenValueSet(mem, pcombined_mask, tv->t, tv->v, tpl) == BRE_OK)
            n++;
    if (pcount != nullptr)
        *pcount = n;
    return BRE_OK;
}
