/* Files through the installed filesystem record (see br_filesystem in brfw.h). */
#ifndef BRONDEL_BRFILE_H
#define BRONDEL_BRFILE_H

#include "brondel/brfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Open modes, as the identify function answers them. */
#define BR_FS_MODE_BINARY 0
#define BR_FS_MODE_TEXT 1
#define BR_FS_MODE_UNKNOWN 2

/* The longest name (and search-path candidate) the standard filesystem opens. */
#define BR_FS_NAME_MAX 511
/* The most magic bytes an open for reading can ask for. */
#define BR_FS_MAGICS_MAX 16

/* A file handle is a resource (class FILE) under the framework anchor; freeing it closes the file. */
void *BrFileOpenRead(const char *name, br_size_t n_magics, br_mode_test_cbfn *identify, int *mode_result);
void *BrFileOpenWrite(const char *name, int text);
void BrFileClose(void *f);
br_uint_32 BrFileAttributes(void);
int BrFileEof(void *f);
int BrFileGetChar(void *f);
void BrFilePutChar(int c, void *f);
br_size_t BrFileRead(void *buf, br_size_t size, br_size_t n, void *f);
br_size_t BrFileWrite(const void *buf, br_size_t size, br_size_t n, void *f);
/* Reads one line without its line end ("\n" or "\r\n"); a line longer than the buffer is cut and
 * its rest skipped. */
br_size_t BrFileGetLine(char *buf, br_size_t buf_len, void *f);
void BrFilePutLine(const char *buf, void *f);
void BrFileAdvance(br_size_t count, void *f);
int BrFilePrintf(void *f, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#endif
