/* Automation of the window system: what tests and headless runs use to drive and look at windows. */
#ifndef VOKPLAT_WINDOW_H
#define VOKPLAT_WINDOW_H

#include "win32/wintypes.h"

WIN32_BEGIN

/* Name of the backend in use: "headless" or "sdl". */
PLATFORM_API const char *VokBackendName(void);

/* Input as a user would give it, aimed at a top-level window (client coordinates). button: 0 left,
 * 1 right, 2 middle. They are queued like real input; the program sees them when it pumps messages. */
PLATFORM_API void VokKey(HWND top, int vk, BOOL down);
PLATFORM_API void VokChar(HWND top, int ch);
PLATFORM_API void VokMouseMove(HWND top, int x, int y);
PLATFORM_API void VokMouseButton(HWND top, int button, BOOL down, int x, int y);
PLATFORM_API void VokCloseButton(HWND top);
PLATFORM_API void VokFocus(HWND top, BOOL gained);

/* Runs the main-thread pump once: windows are shown, surfaces presented, input taken. */
PLATFORM_API void VokPump(void);
/* What presenting has cost so far: the frames presented and the nanoseconds the pump spent on them
 * (composing a window's picture and handing it to the display, texture upload included; the display's
 * own swap and wait for the screen are not counted). For benchmarks. */
PLATFORM_API void VokPresentWork(unsigned long long *frames, unsigned long long *ns);

/* The client area of a window with its children composed over it, as 0x00RRGGBB pixels, top row
 * first. Returns FALSE for an unknown window; with `px` null only the size is returned. A window that
 * was destroyed answers with its last picture. */
PLATFORM_API BOOL VokCaptureWindow(HWND hwnd, uint32_t *px, int capacity, int *w, int *h);
/* The same written as an RGB PNG file. */
PLATFORM_API BOOL VokCaptureWindowPng(HWND hwnd, const char *path);

/* Input script (format in platform/README.md). Loading replaces any script; times count from now. */
PLATFORM_API BOOL VokLoadInputScript(const char *path);
PLATFORM_API BOOL VokLoadInputScriptText(const char *text);

/* The picture of a cursor that a module carries (a GROUP_CURSOR or CURSOR resource) as 0xAARRGGBB
 * pixels, top row first, alpha 0 where the mask leaves the screen; FALSE for the system cursors and
 * for resources that do not read. With `argb` null only the size and hot spot are returned. */
PLATFORM_API BOOL VokGetCursorPicture(HCURSOR cursor, int *w, int *h, int *hot_x, int *hot_y, uint32_t *argb,
                                      int capacity);

/* One line in the automation log (VOK_LOG). */
PLATFORM_API void VokLog(const char *area, const char *text);

WIN32_END

#endif
