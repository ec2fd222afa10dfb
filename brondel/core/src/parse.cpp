// Number, vector and matrix parsers over the lexer.
#include <math.h>

#include "fwstate.h"

namespace {

// Skips a leading "+" or "-"; answers whether the value is to be negated.
bool parse_sign(br_lexer *l)
{
    if (l->current.id == '+') {
        BrLexerAdvance(l);
        return false;
    }
    if (l->current.id == '-') {
        BrLexerAdvance(l);
        return true;
    }
    return false;
}

br_int_32 negate(br_int_32 v, bool neg)
{
    return neg ? (br_int_32)(0u - (br_uint_32)v) : v;
}

// Real to 16.16, truncated; values past the range stop at its ends.
br_fixed_ls real_to_fixed(float r)
{
    double v = (double)r * 65536.0;
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return (br_fixed_ls)v;
}

void expect(br_lexer *l, br_int_32 t)
{
    if (l->current.id != t)
        BrLexerTokenError(l, t);
    if (l->current.id == t)
        BrLexerAdvance(l);
}

template <typename T, T (*parse)(br_lexer *)>
br_int_32 parse_vector(br_lexer *l, T *v, br_int_32 max)
{
    expect(l, '[');
    br_int_32 n = 0;
    while (n < max) {
        if (l->current.id == ']') {
            BrLexerAdvance(l);
            return n;
        }
        if (l->current.id == BRL_EOF) {
            // The input ended inside the vector: no element can follow.
            BrLexerTokenError(l, ']');
            return n;
        }
        v[n++] = parse(l);
        if (l->current.id == ']') {
            BrLexerAdvance(l);
            return n;
        }
        if (n < max)
            expect(l, ',');
    }
    if (l->current.id == ']') {
        BrLexerAdvance(l);
        return max;
    }
    expect(l, ']');
    return max + 1;
}

template <typename T, T (*parse)(br_lexer *)>
br_int_32 parse_matrix(br_lexer *l, T *m, br_int_32 width, br_int_32 max_h)
{
    expect(l, '[');
    br_int_32 rows = 0;
    while (rows < max_h) {
        parse_vector<T, parse>(l, m + rows * width, width);
        rows++;
        if (l->current.id == ']') {
            // Closed early: answer the rows that were read.
            BrLexerAdvance(l);
            return rows;
        }
        if (rows < max_h)
            expect(l, ',');
    }
    expect(l, ']');
    return rows;
}

} // namespace

br_int_32 BrParseInteger(br_lexer *l)
{
    bool neg = parse_sign(l);
    if (l->current.id != BRL_INTEGER) {
        l->error(l, "expecting an integer");
        BrLexerAdvance(l);
        return 0;
    }
    br_int_32 v = l->current.v.integer;
    BrLexerAdvance(l);
    return negate(v, neg);
}

br_fixed_ls BrParseFixed(br_lexer *l)
{
    bool neg = parse_sign(l);
    br_fixed_ls v;
    if (l->current.id == BRL_REAL) {
        v = real_to_fixed(l->current.v.real);
    } else if (l->current.id == BRL_INTEGER) {
        v = (br_fixed_ls)((br_uint_32)l->current.v.integer << 16);
    } else {
        l->error(l, "expecting a fixed");
        BrLexerAdvance(l);
        return 0;
    }
    BrLexerAdvance(l);
    return negate(v, neg);
}

float BrParseFloat(br_lexer *l)
{
    bool neg = parse_sign(l);
    float v;
    if (l->current.id == BRL_REAL) {
        v = l->current.v.real;
    } else if (l->current.id == BRL_INTEGER) {
        v = (float)l->current.v.integer;
    } else {
        l->error(l, "expecting a float");
        BrLexerAdvance(l);
        return 0.0f;
    }
    BrLexerAdvance(l);
    return neg ? -v : v;
}

br_int_32 BrParseVectorFixed(br_lexer *l, br_fixed_ls *v, br_int_32 max)
{
    return parse_vector<br_fixed_ls, BrParseFixed>(l, v, max);
}

br_int_32 BrParseVectorFloat(br_lexer *l, float *v, br_int_32 max)
{
    return parse_vector<float, BrParseFloat>(l, v, max);
}

br_int_32 BrParseMatrixFixed(br_lexer *l, br_fixed_ls *m, br_int_32 width, br_int_32 max_h)
{
    return parse_matrix<br_fixed_ls, BrParseFixed>(l, m, width, max_h);
}

br_int_32 BrParseMatrixFloat(br_lexer *l, float *m, br_int_32 width, br_int_32 max_h)
{
    return parse_matrix<float, BrParseFloat>(l, m, width, max_h);
}
