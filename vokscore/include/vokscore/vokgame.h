/* VokScore: game selection. A command id of a game screen's level button picks game, kind and level. */
#ifndef VOKSCORE_VOKGAME_H
#define VOKSCORE_VOKGAME_H

#include <stdint.h>

#include "win32/wintypes.h"
#include "vokplat/export.h"

/* The kind-102 choice and the field editor's kind. */
#define VOK_KIND_EDITOR 102
#define VOK_KIND_OWN_FIELD 103

/* gameFlags bits of a chosen level: it was solved before, and the replay flag of VOK_GF_REPLAY. */
#define VOK_GF_SOLVED 0x01u

/* The command's game fields set in the interface record: the command, or 0 when it is refused. */
VOK_EXPORT int VokSelectGameByCommand(HWND window, int command);
/* Sets kind, game and level from a level position; the level family, or -1 when the game has no
 * level there (the record is then unchanged). */
VOK_EXPORT int VokSetLevel(int kind, uint32_t gameId, int position);
/* The position of the record's level: the inverse of VokSetLevel. */
VOK_EXPORT int VokLevelPosition(void);
/* Moves the record to the next unsolved level of its game (1), or leaves it (0). */
VOK_EXPORT int VokNextUnsolvedLevel(void);
/* 1 when a network game could be set up: never on this system. */
VOK_EXPORT int VokProbeDirectPlay(void);
/* The key handler of the game screens. */
VOK_EXPORT int VokGameScreenKeyHandler(HWND window, UINT message, WPARAM key, LPARAM lParam);

#endif
