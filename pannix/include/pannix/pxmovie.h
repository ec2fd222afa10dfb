/* Pannix movies: FLI/FLC animations and the library's own TMZ movies, played frame by frame into a
 * pixel buffer that the caller wraps as a pixel map. Playback is driven by the caller's loop and the
 * system clock (timeGetTime).
 *
 * TMZ, little-endian: a 32-byte header ("TMZ1", flags (bit 0: frames carry alpha), u16 frame count,
 * width, height, bits per pixel, row bytes (0: (bits + 1) / 8 * width), frame time in ms, 12 spare),
 * a frame index of frame count u32 offsets, then the frames: a 32-byte header (0x434D5400, u32 size
 * of the frame, u16 chunk count, 22 spare) and chunks {u32 id, u32 size, size bytes}. Chunk
 * 0x434D5402 holds the frame's pixels (row bytes * height). A frame without chunks repeats the one
 * before. */
#ifndef PANNIX_PXMOVIE_H
#define PANNIX_PXMOVIE_H

#include <stdint.h>

#include "pannix/pxbase.h"
#include "pannix/pxpix.h"

/* Kinds given to OpenMovie. */
#define PMV_KIND_FLI 1 /* the reader also sets it when a kind 2 or 3 file turns out to be FLI */
#define PMV_KIND_FLC 2
#define PMV_KIND_FLC3 3
#define PMV_KIND_TMZ 4

/* Flag word: the caller's bits are given to OpenMovie, the library sets the others. */
#define PMV_LOOP 0x1        /* caller: at the loop end go back to the loop start */
#define PMV_KEEPTIME 0x2    /* caller: keep the caller's frame time */
#define PMV_PALETTE 0x4     /* library: a palette chunk has been read */
#define PMV_STREAM 0x8      /* caller: decode each frame from the file when it is due */
#define PMV_ACTIVE 0x10     /* library: open, until KillMovie */
#define PMV_HOLD 0x20       /* caller: PlayMovie takes no frame */
#define PMV_HOLD2 0x40      /* caller: the same */
#define PMV_TOPDOWN 0x80    /* caller: rows run top-down in the pixel buffer (else bottom-up) */
#define PMV_ALPHA 0x800     /* library: TMZ frames carry alpha */
#define PMV_NOFRAME 0x1000  /* library: the last PlayMovie took no new frame */
#define PMV_INPACK 0x2000   /* library: TMZ entry of a pack in memory; preloaded frames point into it */
#define PMV_FFFILE 0x4000   /* library: the file is an FFFILEHANDLE */

/* TMZ magics and chunk identifiers. */
#define TMZ_MAGIC 0x315A4D54u
#define TMZ_FRAME_MAGIC 0x434D5400u
#define TMZ_CHUNK_PIXELS 0x434D5402u
#define TMZ_CHUNK_FIRST 0x434D5401u /* 0x434D5401 to 0x434D540B: chunks of the format without data */
#define TMZ_CHUNK_LAST 0x434D540Bu

/* One preloaded frame: its pixels and, when the frame brings one, its palette (256 entries of blue,
 * green, red, 0). Frames of a movie played from pack memory point into the pack (read-only). */
typedef struct PMVFRAME {
    void *pixels;
    RGBQUAD *palette;
} PMVFRAME;

typedef struct PMVMOVIE {
    char *name;            /* the file name given to OpenMovie (the movie's own copy) */
    int32_t kind;          /* PMV_KIND_ */
    uint32_t flags;        /* PMV_ flags */
    uint32_t frameTime;    /* milliseconds from one frame to the next */
    uint32_t fps;          /* written by the caller with the frame time; not read here */
    uint32_t lastTime;     /* timeGetTime at which the last frame was taken */
    int32_t width;
    int32_t height;
    int32_t frameCount;
    int32_t currentFrame;  /* index of the next frame to take */
    int32_t loopStart;     /* first frame of the loop range */
    int32_t loopEnd;       /* one past the last frame of the loop range */
    int32_t rowBytes;
    int32_t frameSize;     /* rowBytes * height */
    int32_t bitsPerPixel;
    void *file;            /* FILE* (FLI/FLC) or FFFILEHANDLE* (TMZ); 0 after a preload */
    int32_t firstOffset;   /* file position of the first frame */
    int32_t loopOffset;    /* file position of the loop-start frame (streaming) */
    int32_t currentOffset; /* file position the reader has reached */
    DIBUFFER *bmpInfo;     /* header and colour table (the palette of an 8-bit movie); no pixels */
    void *pixels;          /* pixels of the frame last taken */
    PMVFRAME *frames;      /* preloaded movies: frameCount entries */
    const uint8_t *packData; /* TMZ entry of a pack in memory: the entry's data */

    /* Private to the library. */
    uint32_t packSize;     /* bytes of that entry */
    int64_t fileSize;      /* bytes of an FLI/FLC file */
    int32_t loopFrame;     /* frame whose position loopOffset holds; -1 none yet */
    uint8_t *loopBase;     /* streamed FLI/FLC: pixels and colour table the loop-start frame builds on */
} PMVMOVIE;

/* Opens a movie: kinds 1 to 3 an FLI/FLC file, 4 a TMZ file or entry of the current pack. Without
 * PMV_STREAM every frame is decoded now. Frame 0 is taken before it returns. 0 on failure. */
PANNIX_API PMVMOVIE *OpenMovie(const char *name, int32_t kind, uint32_t flags);
/* Takes the next frame when it is due. 1 normally (PMV_NOFRAME clear when a new frame was taken);
 * 0 when a movie without PMV_LOOP has reached its loop end; -1 when the movie is not active or a
 * frame cannot be read. */
PANNIX_API int32_t PlayMovie(PMVMOVIE *movie);
/* Closes and frees the movie (0 accepted). Always 0, for the caller to store over its pointer. */
PANNIX_API PMVMOVIE *KillMovie(PMVMOVIE *movie);
/* Sets the loop range [start, end), held inside the movie; returns the current frame. */
PANNIX_API int32_t SetLoopFrames(PMVMOVIE *movie, int32_t start, int32_t end);
/* Goes back to the loop start. */
PANNIX_API void PmvSeekToLoop(PMVMOVIE *movie);

#endif
