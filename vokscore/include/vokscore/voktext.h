/* VokScore: the language texts and the key and mouse binding checks. */
#ifndef VOKSCORE_VOKTEXT_H
#define VOKSCORE_VOKTEXT_H

#include <stdint.h>

#include "win32/wintypes.h"
#include "vokplat/export.h"

/* Loads every text of the language pack "Data\<LANG>\mnutext": 1 when its "mnutext.txt" was read. */
VOK_EXPORT int VokLoadTextFiles(void);
VOK_EXPORT void VokFreeTextFiles(void);

/* The index of the matching global key with bit 0x100, or -1. */
VOK_EXPORT int VokCheckGlobalKeydown(int key);
/* A global match (with 0x100), else the index of the running game's matching binding, or -1. */
VOK_EXPORT int VokCheckGameKeydown(int key);
/* The index of the running game's mouse binding for a button-down message and its MK_ flags, or -1. */
VOK_EXPORT int VokCheckGameMouseclick(UINT message, WPARAM mkFlags);

#endif
