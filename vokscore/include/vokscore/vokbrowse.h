/* VokScore's file browser: the games' open and save requests answered by a screen of the framework's
 * own, over the game's picture. */
#ifndef VOKSCORE_VOKBROWSE_H
#define VOKSCORE_VOKBROWSE_H

#include "vokplat/export.h"
#include "win32/windows.h"

/* 1 when a file was chosen: its path in lpstrFile (or the browser's own buffer when the caller gave
 * none); else 0 and the caller's buffer as it was. */
VOK_EXPORT int VokGetOpenFileName(OPENFILENAMEA *request);
VOK_EXPORT int VokGetSaveFileName(OPENFILENAMEA *request);
/* The chosen path (also copied into `path` when given, which holds 260 characters) or NULL. */
VOK_EXPORT char *VokBrowseFileOpen(char *path, const char *filter, const char *folder, const char *title);
VOK_EXPORT char *VokBrowseFileSave(char *path, const char *filter, const char *folder, const char *title);

#endif
