// Movie internals shared by the player, its two readers and the fuzz target.
#ifndef PANNIX_MOVIE_H
#define PANNIX_MOVIE_H

#include <stdint.h>

#include "pannix/pxmovie.h"

namespace px {

// Opens a movie over a source that is already open: a FILE* for kinds 1 to 3, an FFFILEHANDLE* for
// kind 4. The movie owns the source from here on (also when it fails: it is closed). 0 on failure.
PMVMOVIE *movie_open(const char *name, int32_t kind, uint32_t flags, void *file);

// The largest movie side a reader takes (the system plays 640 x 480), and the most bytes the frames of
// one preloaded movie may take; a longer movie is played streamed.
constexpr int32_t kMaxMovieSide = 4096;
constexpr int64_t kMaxPreloadBytes = int64_t(512) << 20;

// Header readers: fill the record from the header and place the reader at the first frame.
bool tmz_read_header(PMVMOVIE *movie);
bool flc_read_header(PMVMOVIE *movie);

// Frame readers: 1 a frame taken (the current frame advances), 0 no frame left, -1 a header could
// not be read, the file is damaged or memory ran out. Preloading gives each frame a table entry;
// playing writes into the current pixels and the colour table.
int32_t tmz_read_frame(PMVMOVIE *movie, bool preload);
int32_t flc_read_frame(PMVMOVIE *movie, bool preload);

// A frame record without chunks: the frame repeats the one before (preloading, it shares its
// pixels); a first frame has none to repeat and is black. Advances the current frame; 1 or -1.
int32_t repeat_frame(PMVMOVIE *movie, int32_t index, bool preload);

// Preloading: the palette in force before frame `index` (the last one a frame before it brought).
const RGBQUAD *palette_before(const PMVMOVIE *movie, int32_t index);

inline uint32_t le16(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

inline uint32_t le32(const uint8_t *p)
{
    return le16(p) | le16(p + 2) << 16;
}

}  // namespace px

#endif
