// The movie player: opening, preloading, advancing by the clock, loops, holds and closing.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "movie.h"
#include "pannix/ffpack.h"
#include "vokplat/export.h"
#include "vokplat/stdio.h"
#include "win32/wintime.h"

namespace {

constexpr uint32_t kCallerFlags = PMV_LOOP | PMV_KEEPTIME | PMV_STREAM | PMV_HOLD | PMV_HOLD2 | PMV_TOPDOWN;
constexpr size_t kPaletteBytes = 256 * sizeof(RGBQUAD);

bool preloaded(const PMVMOVIE *m)
{
    return m->frames != nullptr;
}

uint8_t *colour_table(PMVMOVIE *m)
{
    return reinterpret_cast<uint8_t *>(m->bmpInfo->bmiColors);
}

bool seek_file(PMVMOVIE *m, int32_t offset)
{
    m->currentOffset = offset;
    if (m->flags & PMV_FFFILE)
        return FFSeek(static_cast<FFFILEHANDLE *>(m->file), offset, 0) == offset;
    return fseek(static_cast<FILE *>(m->file), offset, SEEK_SET) == 0;
}

// A frame that cannot be read leaves the reader where the frame begins: it fails again next time
// rather than showing a later frame under its index.
int32_t read_frame(PMVMOVIE *m, bool preload)
{
    int32_t at = m->currentOffset;
    int32_t result = m->kind == PMV_KIND_TMZ ? px::tmz_read_frame(m, preload) : px::flc_read_frame(m, preload);
    if (result < 0)
        seek_file(m, at);
    return result;
}

// Streaming: remembers where the loop-start frame begins and the picture and palette it is decoded
// over, so that a loop shows the same frames as the first pass (delta frames build on the frame
// before them; a frame without chunks repeats it).
void mark_loop(PMVMOVIE *m)
{
    m->loopOffset = m->currentOffset;
    m->loopFrame = m->currentFrame;
    memcpy(m->loopBase, m->pixels, size_t(m->frameSize));
    memcpy(m->loopBase + m->frameSize, colour_table(m), kPaletteBytes);
}

void restore_loop_base(PMVMOVIE *m)
{
    memcpy(m->pixels, m->loopBase, size_t(m->frameSize));
    memcpy(colour_table(m), m->loopBase + m->frameSize, kPaletteBytes);
}

// Streaming: puts the reader at the loop-start frame. When the player has not passed that frame
// yet, the movie starts again from its first frame and decodes its way there. 1 or -1.
int32_t rewind_to_loop(PMVMOVIE *m)
{
    if (m->loopFrame == m->loopStart) {
        restore_loop_base(m);
        m->currentFrame = m->loopStart;
        return seek_file(m, m->loopOffset) ? 1 : -1;
    }
    memset(m->pixels, 0, size_t(m->frameSize));
    if (m->kind != PMV_KIND_TMZ)
        memset(colour_table(m), 0, kPaletteBytes);
    m->currentFrame = 0;
    if (!seek_file(m, m->firstOffset))
        return -1;
    while (m->currentFrame < m->loopStart)
        if (read_frame(m, false) != 1)
            return -1;
    return 1;
}

// Preloaded: after a jump the colour table takes the palette in force before the frame.
void install_palette_before(PMVMOVIE *m, int32_t index)
{
    if (m->kind == PMV_KIND_TMZ)
        return;
    const RGBQUAD *palette = px::palette_before(m, index);
    if (palette != nullptr)
        memcpy(colour_table(m), palette, kPaletteBytes);
    else
        memset(colour_table(m), 0, kPaletteBytes);
}

// Steps 4 on of PlayMovie: the frame is due.
int32_t take_frame(PMVMOVIE *m, uint32_t now)
{
    m->lastTime = now;
    if (m->currentFrame >= m->loopEnd) {
        if (!(m->flags & PMV_LOOP))
            return 0;
        if (preloaded(m)) {
            m->currentFrame = m->loopStart;
            install_palette_before(m, m->loopStart);
        } else if (rewind_to_loop(m) < 0) {
            return -1;
        }
    }
    if (preloaded(m)) {
        if (m->currentFrame < 0 || m->currentFrame >= m->frameCount)
            return -1;
        const PMVFRAME &frame = m->frames[m->currentFrame];
        m->pixels = frame.pixels;
        if (frame.palette != nullptr)
            memcpy(colour_table(m), frame.palette, kPaletteBytes);
        m->currentFrame++;
        m->flags &= ~uint32_t(PMV_NOFRAME);
        return 1;
    }
    if (m->currentFrame == m->loopStart) {
        if (m->loopFrame != m->loopStart)
            mark_loop(m);
        else
            restore_loop_base(m);  // after a seek the loop frame is shown, not its base
    }
    int32_t result = read_frame(m, false);
    if (result == 1)
        m->flags &= ~uint32_t(PMV_NOFRAME);
    return result;
}

void close_file(PMVMOVIE *m)
{
    if (m->file == nullptr)
        return;
    if (m->flags & PMV_FFFILE)
        FFClose(static_cast<FFFILEHANDLE *>(m->file));
    else
        fclose(static_cast<FILE *>(m->file));
    m->file = nullptr;
}

bool in_pack(const PMVMOVIE *m, const void *p)
{
    auto at = reinterpret_cast<uintptr_t>(p), base = reinterpret_cast<uintptr_t>(m->packData);
    return m->packData != nullptr && at >= base && at - base < m->packSize;
}

// Frees every block of the frame table once: frames without chunks share their pixels with the
// frame before, and frames of a movie in pack memory point into the pack.
void free_frames(PMVMOVIE *m)
{
    std::vector<void *> blocks;
    blocks.reserve(size_t(m->frameCount) * 2);
    for (int32_t i = 0; i < m->frameCount; i++) {
        if (m->frames[i].pixels != nullptr && !in_pack(m, m->frames[i].pixels))
            blocks.push_back(m->frames[i].pixels);
        if (m->frames[i].palette != nullptr)
            blocks.push_back(m->frames[i].palette);
    }
    std::sort(blocks.begin(), blocks.end());
    blocks.erase(std::unique(blocks.begin(), blocks.end()), blocks.end());
    for (void *b : blocks)
        free(b);
    free(m->frames);
    m->frames = nullptr;
}

}  // namespace

namespace px {

const RGBQUAD *palette_before(const PMVMOVIE *m, int32_t index)
{
    for (int32_t i = std::min(index, m->frameCount) - 1; i >= 0; i--)
        if (m->frames[i].palette != nullptr)
            return m->frames[i].palette;
    return nullptr;
}

int32_t repeat_frame(PMVMOVIE *m, int32_t index, bool preload)
{
    if (preload) {
        PMVFRAME &frame = m->frames[index];
        frame.pixels = index > 0 ? m->frames[index - 1].pixels : calloc(1, size_t(m->frameSize));
        if (frame.pixels == nullptr)
            return -1;
        m->pixels = frame.pixels;
    }
    m->currentFrame++;
    return 1;
}

PMVMOVIE *movie_open(const char *name, int32_t kind, uint32_t flags, void *file)
{
    auto *m = static_cast<PMVMOVIE *>(calloc(1, sizeof(PMVMOVIE)));
    if (m == nullptr) {
        if (kind == PMV_KIND_TMZ)
            FFClose(static_cast<FFFILEHANDLE *>(file));
        else
            fclose(static_cast<FILE *>(file));
        return nullptr;
    }
    m->kind = kind;
    m->flags = flags & kCallerFlags;
    m->file = file;
    m->loopFrame = -1;
    m->name = strdup(name);
    if (kind == PMV_KIND_TMZ) {
        m->flags |= PMV_FFFILE;
        auto *ff = static_cast<FFFILEHANDLE *>(file);
        if (ff->file == nullptr) {
            m->flags |= PMV_INPACK;
            m->packData = ff->entry->data;
            m->packSize = ff->entry->size;
        }
    }
    bool ok = m->name != nullptr && (kind == PMV_KIND_TMZ ? tmz_read_header(m) : flc_read_header(m));
    if (ok)
        m->bmpInfo = CreateBmpInfo(m->width, m->height, m->bitsPerPixel, nullptr);
    if (m->bmpInfo == nullptr)
        return KillMovie(m);
    // Without a palette chunk yet, an 8-bit movie's palette is black.
    if (m->bitsPerPixel == 8)
        memset(colour_table(m), 0, kPaletteBytes);

    m->lastTime = timeGetTime() - 10000;
    if (flags & PMV_STREAM) {
        // Rows may be longer than the DIB's: the buffer holds whichever is larger.
        size_t bytes = std::max<size_t>(m->bmpInfo->bmiHeader.biSizeImage, size_t(m->frameSize));
        m->pixels = calloc(1, bytes);
        m->loopBase = static_cast<uint8_t *>(calloc(1, size_t(m->frameSize) + kPaletteBytes));
        if (m->pixels == nullptr || m->loopBase == nullptr)
            return KillMovie(m);
        m->flags |= PMV_ACTIVE;
        take_frame(m, timeGetTime());
        return m;
    }
    m->frames = static_cast<PMVFRAME *>(calloc(size_t(m->frameCount), sizeof(PMVFRAME)));
    if (m->frames == nullptr)
        return KillMovie(m);
    while (m->currentFrame < m->frameCount)
        if (read_frame(m, true) != 1)
            return KillMovie(m);
    close_file(m);
    m->currentFrame = 0;
    m->flags |= PMV_ACTIVE;
    take_frame(m, timeGetTime());
    return m;
}

}  // namespace px

VOK_EXPORT PMVMOVIE *OpenMovie(const char *name, int32_t kind, uint32_t flags)
{
    if (name == nullptr || kind < PMV_KIND_FLI || kind > PMV_KIND_TMZ)
        return nullptr;
    void *file;
    if (kind == PMV_KIND_TMZ)
        file = FFOpen(name, FF_OPEN_FILE_FIRST);
    else
        file = PlatFopen(name, "rb");
    if (file == nullptr)
        return nullptr;
    return px::movie_open(name, kind, flags, file);
}

VOK_EXPORT int32_t PlayMovie(PMVMOVIE *movie)
{
    if (movie == nullptr)
        return -1;
    movie->flags |= PMV_NOFRAME;
    if (movie->flags & (PMV_HOLD | PMV_HOLD2))
        return 1;
    if (!(movie->flags & PMV_ACTIVE))
        return -1;
    uint32_t now = timeGetTime();
    if (now - movie->lastTime < movie->frameTime)
        return 1;
    return take_frame(movie, now);
}

VOK_EXPORT PMVMOVIE *KillMovie(PMVMOVIE *movie)
{
    if (movie == nullptr)
        return nullptr;
    movie->flags &= ~uint32_t(PMV_ACTIVE);
    close_file(movie);
    KillDIBuffer(movie->bmpInfo);
    if (preloaded(movie))
        free_frames(movie);
    else
        free(movie->pixels);
    free(movie->loopBase);
    free(movie->name);
    free(movie);
    return nullptr;
}

VOK_EXPORT int32_t SetLoopFrames(PMVMOVIE *movie, int32_t start, int32_t end)
{
    if (movie == nullptr)
        return 0;
    // An empty range would leave no frame to show: an end of 0 counts as 1, as a negative one does.
    if (end <= 0)
        end = 1;
    if (end > movie->frameCount)
        end = movie->frameCount;
    if (start < 0)
        start = 0;
    if (start >= end)
        start = end - 1;
    movie->loopStart = start;
    movie->loopEnd = end;
    return movie->currentFrame;
}

VOK_EXPORT void PmvSeekToLoop(PMVMOVIE *movie)
{
    if (movie == nullptr)
        return;
    // Both ways the movie then shows its loop-start frame, and the next frame taken is that one.
    if (preloaded(movie)) {
        const int32_t at = movie->loopStart;
        install_palette_before(movie, at + 1);
        movie->pixels = movie->frames[at].pixels;
        movie->currentFrame = at;
    } else if (movie->file != nullptr && rewind_to_loop(movie) == 1) {
        if (movie->loopFrame != movie->loopStart)
            mark_loop(movie);
        if (read_frame(movie, false) == 1) {
            movie->currentFrame = movie->loopStart;
            seek_file(movie, movie->loopOffset);
        }
    }
}
