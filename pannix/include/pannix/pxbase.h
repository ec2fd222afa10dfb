/* Pannix: library entry, data folder, default screen and the library-wide last-error text. */
#ifndef PANNIX_PXBASE_H
#define PANNIX_PXBASE_H

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#ifndef PANNIX_API
#ifdef __cplusplus
#define PANNIX_API extern "C" __attribute__((visibility("default")))
#else
#define PANNIX_API __attribute__((visibility("default")))
#endif
#endif

/* Codes of SetLastMsgError; each selects a message that the further arguments fill. */
#define PXERR_OK 0          /* "Ok" */
#define PXERR_NOTFOUND 1    /* file name */
#define PXERR_BADNAME 2
#define PXERR_OPEN 3        /* file name */
#define PXERR_READ 4        /* file name */
#define PXERR_CREATE 5      /* file name */
#define PXERR_WRITE 6       /* file name */
#define PXERR_CONVERT 7     /* file name */
#define PXERR_ALLOCPIX 8    /* width, height, pixel type */
#define PXERR_ALLOCSUBPIX 9 /* x, y, width, height */
#define PXERR_ALLOCMEM 10   /* bytes */

/* Size of the last-error text, terminator included; longer texts are cut. */
#define PX_LAST_ERROR_SIZE 1024

/* Sets the data folder (a relative path goes below the current one) and the default screen of the
 * dialog engine. Always 1. */
PANNIX_API int InitPannix(const char *path, int32_t width, int32_t height, int32_t bits, int32_t directDraw,
                          int32_t fullScreen);

/* `codeOrFormat` from 0 to 10 is a PXERR_ code; other values below 0x10000 and negative values
 * give "Unknown error in Pannix!" (no format lives that low); anything else is the address of a
 * printf format. Always 0, so that a caller can return it as its failure value. */
PANNIX_API int SetLastMsgError(intptr_t codeOrFormat, ...);
/* The last-error text (owned by the library; the next failure overwrites it). */
PANNIX_API const char *GetLastMsgError(void);
/* Shows the last-error text in a box titled "PANNIX" with the stop icon; 0 when it is closed. */
PANNIX_API int ShowLastMsgError(void);

#ifdef __cplusplus
/* C++ callers pass a format directly. */
template <class... Args>
inline int SetLastMsgError(const char *format, Args... args)
{
    char text[PX_LAST_ERROR_SIZE];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(text, sizeof text, format, args...);
#pragma GCC diagnostic pop
    return SetLastMsgError((intptr_t) "%s", text);
}
#endif

#endif
