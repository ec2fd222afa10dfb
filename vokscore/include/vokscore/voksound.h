/* Sound effects from sound packs, the framework's menu sounds and the pack reader. */
#ifndef VOKSCORE_VOKSOUND_H
#define VOKSCORE_VOKSOUND_H

#include <stdint.h>
#include <stdio.h>

#include "vokplat/export.h"

/* A pack read into sounds, indexed in pack order. */
typedef struct SoundSet SoundSet;
/* The directory of a sound pack. */
typedef struct VokSoundPackDir VokSoundPackDir;

/* The buffer a looping sound plays in: 0 when nothing was played, VOK_LOOP_OFF when effects are off.
 * A handle of a set that was killed stops nothing. */
typedef intptr_t VokLoopHandle;
#define VOK_LOOP_OFF ((VokLoopHandle)-1)

VOK_EXPORT SoundSet *VokInitSound(const char *packPath);
VOK_EXPORT SoundSet *VokKillSound(SoundSet *set);
VOK_EXPORT void VokPlaySound(SoundSet *set, int index);
VOK_EXPORT VokLoopHandle VokPlayLoopSound(SoundSet *set, int index);
VOK_EXPORT int VokStopLoopSound(VokLoopHandle handle);

/* The menu sounds ("mnusound.pck" in the write root, two buffers a sound), use-counted. */
VOK_EXPORT int IfInitSound(void);
VOK_EXPORT void IfKillSound(void);
VOK_EXPORT void IfPlaySound(int index);

/* The pack reader. A null directory means the current one (VokOpenSoundPack). */
VOK_EXPORT int VokOpenSoundPack(const char *path);
VOK_EXPORT void VokCloseSoundPack(void);
VOK_EXPORT VokSoundPackDir *VokReadSoundPackDir(const char *path);
VOK_EXPORT void VokFreeSoundPackDir(VokSoundPackDir *dir);
/* The pack opened at the entry's data (close with fclose), or NULL. */
VOK_EXPORT FILE *VokOpenSoundPackEntry(VokSoundPackDir *dir, const char *name);
/* The entry's data in a block of its own (release with free), its length in *size; NULL when missing
 * or cut short. */
VOK_EXPORT void *VokLoadSoundPackEntry(VokSoundPackDir *dir, const char *name, uint32_t *size);
VOK_EXPORT void VokResetSoundPackFind(void);
VOK_EXPORT const char *VokFindSoundPackEntry(VokSoundPackDir *dir, const char *substring);

#endif
