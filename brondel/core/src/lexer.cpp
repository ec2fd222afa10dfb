// The lexer: a stack of text inputs (strings or files) read one token at a time.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "fwstate.h"

namespace {

void ignore_error(br_lexer *l, const char *message) {}

void string_getchar(br_lexer_source *s)
{
    const char *p = (const char *)s->ptr;
    if (*p == '\0') {
        s->next = -1;
    } else {
        s->next = (unsigned char)*p;
        s->ptr = (void *)(p + 1);
    }
}

void file_getchar(br_lexer_source *s)
{
    s->next = BrFwFileGetChar(s->ptr);
}

void set_error(br_lexer *l, const char *message)
{
    l->current.id = BRL_ERROR;
    l->current.v.string = (char *)message;
}

// Appends to the text buffer; characters past its capacity are dropped.
void text_add(br_lexer *l, int &len, int c)
{
    if (len < l->string_buffer_size - 1)
        l->string_buffer[len++] = (char)c;
}

bool is_ident_start(int c)
{
    return BrIsAlpha(c) || c == '_';
}

bool is_number_char(int c)
{
    return BrIsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == 'x' || c == 'X' || c == '.';
}

void lex_string(br_lexer *l, br_lexer_source *s)
{
    int len = 0;
    s->getchar(s); // the opening quote
    for (;;) {
        if (s->next == '"') {
            s->getchar(s);
            break;
        }
        if (s->next == '\n' || s->next == -1) {
            // The newline stays for the next advance, which counts it.
            set_error(l, "Unterminated string");
            return;
        }
        text_add(l, len, s->next);
        s->getchar(s);
    }
    l->string_buffer[len] = '\0';
    l->current.id = BRL_STRING;
    l->current.v.string = l->string_buffer;
}

void lex_ident(br_lexer *l, br_lexer_source *s)
{
    int len = 0;
    while (is_ident_start(s->next) || BrIsDigit(s->next)) {
        text_add(l, len, s->next);
        s->getchar(s);
    }
    l->string_buffer[len] = '\0';
    for (int i = 0; i < l->nkeywords; i++) {
        const char *k = l->keywords[i].name;
        if (k[0] == l->string_buffer[0] && strcasecmp(k, l->string_buffer) == 0) {
            l->current.id = l->keywords[i].id;
            return;
        }
    }
    l->current.id = BRL_IDENT;
    l->current.v.string = l->string_buffer;
}

void lex_number(br_lexer *l, br_lexer_source *s)
{
    int len = 0;
    bool real = false;
    while (is_number_char(s->next)) {
        if (s->next == '.')
            real = true;
        text_add(l, len, s->next);
        s->getchar(s);
    }
    l->string_buffer[len] = '\0';
    if (real) {
        l->current.id = BRL_REAL;
        l->current.v.real = BrStrToF(l->string_buffer, nullptr);
    } else {
        // 32-bit integers: values out of range stop at the nearest limit.
        long v = BrStrToL(l->string_buffer, nullptr, 0);
        if (v > INT32_MAX)
            v = INT32_MAX;
        if (v < INT32_MIN)
            v = INT32_MIN;
        l->current.id = BRL_INTEGER;
        l->current.v.integer = (br_int_32)v;
    }
}

void lexer_advance(br_lexer *l)
{
    for (;;) {
        br_lexer_source *s = l->source;
        if (s == nullptr) {
            l->current.id = BRL_EOF;
            return;
        }
        int c = s->next;
        if (c == -1) {
            BrLexerPop(l);
            continue;
        }
        if (l->eol_comment != 0 && c == (unsigned char)l->eol_comment) {
            while (s->next != '\n' && s->next != -1)
                s->getchar(s);
            continue;
        }
        if (c == '\n') {
            s->line++;
            s->getchar(s);
            continue;
        }
        if (BrIsSpace(c) || c == 26) {
            s->getchar(s);
            continue;
        }
        if (c == '"') {
            lex_string(l, s);
        } else if (is_ident_start(c)) {
            lex_ident(l, s);
        } else if (BrIsDigit(c)) {
            lex_number(l, s);
        } else if (BrIsPrint(c)) {
            l->current.id = c;
            s->getchar(s);
        } else {
            set_error(l, "Unexpected character");
            s->getchar(s);
        }
        return;
    }
}

br_lexer_source *push_source(br_lexer *l, const char *name)
{
    br_lexer_source *s = (br_lexer_source *)BrResAllocate(l, sizeof(br_lexer_source), BR_MEMORY_LEXER);
    if (s == nullptr)
        return nullptr;
    s->name = name;
    s->line = 1;
    s->next = -1;
    return s;
}

} // namespace

br_lexer *BrLexerAllocate(br_lexer_keyword *keywords, int nkeywords)
{
    br_lexer *l = (br_lexer *)BrResAllocate(br_fw.res, sizeof(br_lexer), BR_MEMORY_LEXER);
    if (l == nullptr)
        return nullptr;
    l->keywords = keywords;
    l->nkeywords = nkeywords;
    l->advance = lexer_advance;
    l->error = ignore_error;
    l->string_buffer_size = BR_LEXER_TEXT_SIZE;
    l->string_buffer = (char *)BrResAllocate(l, BR_LEXER_TEXT_SIZE, BR_MEMORY_LEXER);
    if (l->string_buffer == nullptr) {
        BrResFree(l);
        return nullptr;
    }
    return l;
}

void BrLexerFree(br_lexer *l)
{
    BrResFree(l);
}

char BrLexerCommentSet(br_lexer *l, char eol_comment)
{
    char old = l->eol_comment;
    l->eol_comment = eol_comment;
    return old;
}

br_lexer_error_cbfn *BrLexerErrorSet(br_lexer *l, br_lexer_error_cbfn *error)
{
    br_lexer_error_cbfn *old = l->error;
    l->error = error ? error : ignore_error;
    return old == ignore_error ? nullptr : old;
}

void *BrLexerDumpSet(br_lexer *l, void *putline, void *putline_arg, br_uint_32 options)
{
    return nullptr;
}

br_error BrLexerPushFile(br_lexer *l, const char *file)
{
    br_lexer_source *s = push_source(l, file);
    if (s == nullptr)
        return BRE_NO_MEMORY;
    void *f = BrFwFileOpenText(file);
    if (f == nullptr) {
        BrResFree(s);
        return BRE_FAIL;
    }
    BrResAdd(s, f); // closed with the input
    s->getchar = file_getchar;
    s->ptr = f;
    s->prev = l->source;
    l->source = s;
    s->getchar(s);
    return BRE_OK;
}

br_error BrLexerPushString(br_lexer *l, const char *string, const char *name)
{
    br_lexer_source *s = push_source(l, name);
    if (s == nullptr)
        return BRE_NO_MEMORY;
    s->getchar = string_getchar;
    s->ptr = (void *)string;
    s->prev = l->source;
    l->source = s;
    s->getchar(s);
    return BRE_OK;
}

br_lexer_source *BrLexerPop(br_lexer *l)
{
    br_lexer_source *s = l->source;
    if (s == nullptr)
        return nullptr;
    l->source = s->prev;
    BrResFree(s);
    return s;
}

void BrLexerPosition(br_lexer *l, char *buf, br_size_t buf_size)
{
    if (buf_size == 0)
        return;
    if (l->source != nullptr && l->source->name != nullptr)
        BrSprintfN(buf, buf_size, "%s:%d ", l->source->name, l->source->line);
    else
        buf[0] = '\0';
}

void BrLexerTokenError(br_lexer *l, br_int_32 expected)
{
    if (l->current.id != BRL_ERROR) {
        char message[256];
        switch (expected) {
        case BRL_EOF:
            BrSprintfN(message, sizeof(message), "expected end of file");
            break;
        case BRL_ERROR:
            // The current token is no error, so it has no message to show.
            BrSprintfN(message, sizeof(message), "expected an error");
            break;
        case BRL_IDENT:
            BrSprintfN(message, sizeof(message), "expected an identifier");
            break;
        case BRL_STRING:
            BrSprintfN(message, sizeof(message), "expected a string");
            break;
        case BRL_INTEGER:
            BrSprintfN(message, sizeof(message), "expected an integer");
            break;
        case BRL_REAL:
            BrSprintfN(message, sizeof(message), "expected a real number");
            break;
        default: {
            const char *name = nullptr;
            for (int i = 0; i < l->nkeywords; i++)
                if (l->keywords[i].id == expected)
                    name = l->keywords[i].name;
            if (name != nullptr)
                BrSprintfN(message, sizeof(message), "expected '%s'", name);
            else if (expected >= 128)
                BrSprintfN(message, sizeof(message), "expected unknown keyword %d", expected);
            else if (BrIsPrint(expected))
                BrSprintfN(message, sizeof(message), "expected '%c'", expected);
            else
                BrSprintfN(message, sizeof(message), "expected unknown token %d", expected);
        }
        }
        l->error(l, message);
    }
    while (l->current.id != expected && l->current.id != BRL_EOF)
        BrLexerAdvance(l);
}
