/* VokScore: the loading bar a game module fills while it loads, the end of the backdrop once the
 * game's first frame is ready, and the live preview a game's producer thread feeds into the results
 * screens. */
#ifndef VOKSCORE_VOKLOADING_H
#define VOKSCORE_VOKLOADING_H

#include "vokplat/export.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokscene.h"

/* Draws the bar up to `percent` (above 100 counts as 100); it never shrinks. At 100 the mouse cursor
 * is shown again. Nothing happens without a backdrop. */
VOK_EXPORT void UpdateLoadingProgressBar(unsigned percent);
/* Ends the backdrop; the argument (the game's screen picture) is not used. 0, and nothing happens,
 * when no backdrop is up. */
VOK_EXPORT int FadeInGame(void *ignored);
#ifdef __cplusplus
inline int FadeInGame(void)
{
    return FadeInGame(nullptr);
}
#endif

/* imgFlags bits beyond those of vokiface.h. */
#define VOK_IMG_WANTED 0x10u
#define VOK_IMG_REPLAY 0x20u
#define VOK_IMG_FRAMES 0x40u
#define VOK_IMG_PAUSE 0x80u

/* imgFlags is shared by the main thread and the game's producer thread: both change it only through
 * these atomic accessors. */
static inline uint32_t VokImgFlags(const VokInterFace *f)
{
    return __atomic_load_n(&f->imgFlags, __ATOMIC_SEQ_CST);
}
static inline uint32_t VokImgFlagsSet(VokInterFace *f, uint32_t bits)
{
    return __atomic_fetch_or(&f->imgFlags, bits, __ATOMIC_SEQ_CST);
}
static inline uint32_t VokImgFlagsClear(VokInterFace *f, uint32_t bits)
{
    return __atomic_fetch_and(&f->imgFlags, ~bits, __ATOMIC_SEQ_CST);
}
static inline void VokImgFlagsStore(VokInterFace *f, uint32_t value)
{
    __atomic_store_n(&f->imgFlags, value, __ATOMIC_SEQ_CST);
}

/* The preview: the session routine of the full-screen backdrop session of the results screens (opens
 * the game's data pack and starts the producer), and the preview session's own routine (registers the
 * per-frame and end procedures). */
VOK_EXPORT int VokPreviewInit(VokSession *session);
VOK_EXPORT int VokPreviewSessionInit(VokSession *session);
VOK_EXPORT int VokPreviewFrame(VokSessionProc *record);
VOK_EXPORT void VokPreviewEnd(VokSessionProc *record);

#endif
