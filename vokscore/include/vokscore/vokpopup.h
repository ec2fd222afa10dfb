/* VokScore interface screens: a caller names a screen by its id (0..51), the framework runs it over
 * ownerWnd with screenPix under it and leaves the user's choice in the interface record's
 * popupResult. */
#ifndef VOKSCORE_VOKPOPUP_H
#define VOKSCORE_VOKPOPUP_H

#include "vokplat/export.h"
#include "vokscore/vokscene.h"

/* Ids the callers use (the others reach help, options and result pages). */
#define VOK_SCREEN_RESET 1
#define VOK_SCREEN_GAME 4
#define VOK_SCREEN_RESULTS 6
#define VOK_SCREEN_SOLUTION 8
#define VOK_SCREEN_EXIT 22
#define VOK_SCREEN_NAME 28
#define VOK_SCREEN_MESSAGE 38
#define VOK_SCREEN_OPPONENT 46
#define VOK_SCREEN_LAST 51

/* 1 when the screen (the last one of a sequence) was built and run, 0 when it was not shown. */
VOK_EXPORT int VokPopupIFScreen(unsigned id);
VOK_EXPORT int VokPopupIFScreenEx(int id);
/* 1 when a scene is current; a running screen's loop then ends (popupResult 0). */
VOK_EXPORT int VokIsAnyPopupAlive(void);
VOK_EXPORT void VokCloseAllPopup(void);

/* The common key handler of the interface screens. */
VOK_EXPORT int VokPopupKeyHandler(HWND window, UINT message, WPARAM key, LPARAM lParam);
/* Ends the running screen with `result` in popupResult after the menu sound and the press movie of
 * the button `id` of `session`. */
VOK_EXPORT void VokChooseButton(VokSession *session, int id, int sound, int result);

#endif
