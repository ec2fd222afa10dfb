/* Text lexer and the number, vector and matrix parsers on top of it. */
#ifndef BRONDEL_BRLEXER_H
#define BRONDEL_BRLEXER_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Token kinds; a printable punctuation character is a token of its own kind (its code), keywords
 * use the kinds of the keyword table (128 and above by convention). */
enum {
    BRL_EOF = 0,
    BRL_ERROR = 1,
    BRL_IDENT = 2,
    BRL_STRING = 3,
    BRL_INTEGER = 4,
    BRL_REAL = 5,
};

#define BR_LEXER_TEXT_SIZE 256

typedef struct br_lexer br_lexer;
typedef struct br_lexer_source br_lexer_source;

typedef struct br_lexer_keyword {
    const char *name;
    int id;
} br_lexer_keyword;

typedef void br_lexer_getchar_cbfn(br_lexer_source *source);
typedef void br_lexer_error_cbfn(br_lexer *l, const char *message);
typedef void br_lexer_advance_cbfn(br_lexer *l);

struct br_lexer_source {
    br_lexer_source *prev;
    const char *name;
    br_int_32 line;
    br_int_32 next; /* current character, -1 at the end */
    br_lexer_getchar_cbfn *getchar;
    void *ptr; /* file handle or position in the text */
};

struct br_lexer {
    br_lexer_source *source;
    struct {
        br_int_32 id;
        union {
            char *string;
            br_int_32 integer;
            float real;
        } v;
    } current;
    br_lexer_keyword *keywords;
    br_int_32 nkeywords;
    char eol_comment;
    br_lexer_advance_cbfn *advance;
    char *string_buffer;
    br_int_32 string_buffer_size;
    br_lexer_error_cbfn *error;
    void *dump;
};

#define BrLexerAdvance(l) ((l)->advance(l))
#define BrLexerCurrent(l) ((l)->current.id)
#define BrLexerString(l) ((l)->current.v.string)
#define BrLexerInteger(l) ((l)->current.v.integer)
#define BrLexerReal(l) ((l)->current.v.real)

br_lexer *BrLexerAllocate(br_lexer_keyword *keywords, int nkeywords);
void BrLexerFree(br_lexer *l);
char BrLexerCommentSet(br_lexer *l, char eol_comment);
br_lexer_error_cbfn *BrLexerErrorSet(br_lexer *l, br_lexer_error_cbfn *error);
void *BrLexerDumpSet(br_lexer *l, void *putline, void *putline_arg, br_uint_32 options);
br_error BrLexerPushFile(br_lexer *l, const char *file);
br_error BrLexerPushString(br_lexer *l, const char *string, const char *name);
/* Frees the top input; the answer is only good for a test against null. */
br_lexer_source *BrLexerPop(br_lexer *l);
void BrLexerPosition(br_lexer *l, char *buf, br_size_t buf_size);
void BrLexerTokenError(br_lexer *l, br_int_32 expected);

br_int_32 BrParseInteger(br_lexer *l);
br_fixed_ls BrParseFixed(br_lexer *l);
float BrParseFloat(br_lexer *l);
br_int_32 BrParseVectorFixed(br_lexer *l, br_fixed_ls *v, br_int_32 max);
br_int_32 BrParseVectorFloat(br_lexer *l, float *v, br_int_32 max);
br_int_32 BrParseMatrixFixed(br_lexer *l, br_fixed_ls *m, br_int_32 width, br_int_32 max_h);
br_int_32 BrParseMatrixFloat(br_lexer *l, float *m, br_int_32 width, br_int_32 max_h);

#ifdef __cplusplus
}
#endif

#endif
