/* CD music of the interface screens and the games, through the playback library. */
#ifndef VOKSCORE_VOKMEDIA_H
#define VOKSCORE_VOKMEDIA_H

#include "vokplat/export.h"

VOK_EXPORT void VokInitCD(void);
/* Plays track n (disc track n + 1) unless it is the current one: the track now current, 0 when the
 * CD is not open or music is off. */
VOK_EXPORT int VokPlayCDtrack(int track);
VOK_EXPORT int VokReplayCDtrack(int track);
VOK_EXPORT void VokPauseCD(void);
VOK_EXPORT void VokContinueCD(void);
VOK_EXPORT void VokStopCD(void);
VOK_EXPORT void VokKillCD(void);

#endif
