/* Pannix settings tables (text files of "name:<tab>values" lines, or section "Settings" of a profile
 * file), the line tokenizer they share with the cell files, and up to 32 append-only text logs. */
#ifndef PANNIX_PXINI_H
#define PANNIX_PXINI_H

#include <stddef.h>
#include <stdint.h>

#include "pannix/pxbase.h"

#define INI_INT 0
#define INI_FLOAT 1
#define INI_TEXT 2

/* One named value of a settings table; the caller owns the table and the variables. */
typedef struct INIENTRY {
    const char *name; /* none: the entry is skipped */
    int32_t type;     /* INI_INT (int32_t values), INI_FLOAT (float values), INI_TEXT (chars) */
    void *value;      /* the first variable; none: the entry is skipped */
    int32_t count;    /* numbers: how many (0 counts as 1); text: buffer size (0 = unbounded) */
} INIENTRY;

#define PX_LOG_SLOTS 32

PANNIX_API int LoadIni(const char *file, INIENTRY *table, int32_t count);
PANNIX_API int SaveIni(const char *file, const INIENTRY *table, int32_t count);
PANNIX_API int LoadIniW(const char *file, INIENTRY *table, int32_t count);
PANNIX_API int SaveIniW(const char *file, const INIENTRY *table, int32_t count);

/* Slot 1 to 32 with the file emptied, or 0. */
PANNIX_API int InitLog(const char *path);
PANNIX_API int CloseLog(int slot);
/* Appends the formatted text and a line feed; the file is closed again at once. */
PANNIX_API void AddToLog(int slot, const char *format, ...) __attribute__((format(printf, 2, 3)));

/* Tokens end at comma, blank, tab, colon, semicolon or line feed (a zero byte is written there);
 * comma, blank and tab before a token are skipped. IniNextToken gives the token or none; the others
 * give the position where the next token is looked for, or none when there was no token. */
PANNIX_API char *IniNextToken(char *line);
/* Copies the token into `buffer` of `size` bytes, cut to size - 1 characters and terminated (nothing
 * is stored when `size` is 0). */
PANNIX_API char *IniGetWord(char *line, char *buffer, size_t size);
PANNIX_API char *IniGetInt(char *line, int32_t *value);
PANNIX_API char *IniGetFloat(char *line, float *value);

#endif
