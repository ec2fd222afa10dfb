/* Pannix pack files (.fpk): named entries of one file, the one current pack of the process, and a
 * small file interface that reads a pack entry or a plain file through the same handle.
 *
 * Format, little-endian: bytes 12-15 hold the entry count; the directory of count 16-byte entries
 * (name offset, data offset, flags, size) starts at byte 32, sorted by name compared after turning
 * capitals into small letters; names end in a zero byte. Flag 2 marks a stored pixel map: width,
 * height, a spare word, the pixel type, then the rows of a map of that type, top row first. */
#ifndef PANNIX_FFPACK_H
#define PANNIX_FFPACK_H

#include <stdint.h>
#include <stdio.h>

#include "pannix/pxbase.h"

#define FF_PACK_HEADER_SIZE 32
#define FF_PACK_ENTRY_SIZE 16
#define FF_ENTRY_PIXELMAP 2  /* entry flag: stored pixel map */
#define FF_OPEN_LOAD 1       /* FFOpenPack: read the whole file instead of mapping it */
#define FF_OPEN_TEXT 1       /* FFOpen: a plain file is opened in text mode */
#define FF_OPEN_FILE_FIRST 0x100 /* FFOpen: try a plain file before the current pack */

/* One directory entry with its offsets turned into addresses. */
typedef struct FFPACKENTRY {
    const char *name;
    const uint8_t *data;
    uint32_t flags;
    uint32_t size;
} FFPACKENTRY;

typedef struct FFPACKHANDLE {
    const uint8_t *base;           /* first byte of the pack in memory */
    uint8_t header[FF_PACK_HEADER_SIZE];
    FFPACKENTRY *directory;        /* count entries, owned by the handle */
    void *file;                    /* mapped packs: file handle */
    void *mapping;                 /* mapped packs: mapping handle */
    uint32_t flags;                /* as given to FFOpenPack */
    void *resource;                /* packs served from a program resource */
    uint32_t count;                /* entries in the directory */
    uint64_t size;                 /* bytes of the pack */
} FFPACKHANDLE;

typedef struct FFFILEHANDLE {
    const FFPACKENTRY *entry;      /* none for a plain file */
    int32_t position;
    FILE *file;                    /* plain files only */
} FFFILEHANDLE;

typedef struct br_pixelmap br_pixelmap;

PANNIX_API FFPACKHANDLE *FFOpenPack(const char *name, uint32_t flags);
PANNIX_API int FFClosePack(FFPACKHANDLE *pack);
PANNIX_API void FFSetCurrentPack(FFPACKHANDLE *pack);
PANNIX_API FFPACKHANDLE *FFGetCurrentPack(void);

PANNIX_API FFFILEHANDLE *FFOpenP(FFPACKHANDLE *pack, const char *name);
PANNIX_API FFFILEHANDLE *FFOpen(const char *name, uint32_t flags);
/* Bytes read, 0 at the end, -1 on failure. */
PANNIX_API int32_t FFRead(FFFILEHANDLE *file, void *buffer, int32_t count);
/* how: 0 from the start, 1 from the position, 2 from the end. New position or -1. */
PANNIX_API int32_t FFSeek(FFFILEHANDLE *file, int32_t offset, int32_t how);
PANNIX_API int32_t FFTell(FFFILEHANDLE *file);
PANNIX_API int FFClose(FFFILEHANDLE *file);
/* Data of an entry of the current pack, read-only, valid while the pack is open. */
PANNIX_API const void *FFGetFileAddress(const char *name);
/* A stored pixel map of the current pack (copy nonzero: with pixels of its own), or a picture file
 * when there is no current pack or no such entry. */
PANNIX_API br_pixelmap *FFLoadPix(const char *name, int32_t copy);

#endif
