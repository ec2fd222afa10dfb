/* Physics warning and error boxes, the seam that shows them, and the debug text buffer. */
#ifndef TERROW_PHYS_PHMSG_H
#define TERROW_PHYS_PHMSG_H

#include <stdint.h>

#include "win32/wintypes.h"

/* How the physics shows a box and ends the process. The game uses the platform's boxes; tests
 * install a recorder that answers and turns the end into something they can observe. */
struct PhReporter {
    /* Shows `text` with `caption` ("WARNING" with OK/Cancel, "ERROR" with OK); returns IDOK or IDCANCEL. */
    int (*box)(const char *text, const char *caption, unsigned type);
    /* Closes the main window and ends the process with `code`; a test hook may return instead. */
    void (*end)(int code);
};

/* Installs a reporter (NULL restores the platform one); returns the previous one. */
PhReporter Phys_SetReporter(const PhReporter *r);
/* The window that gets the close message before the process ends. */
void Phys_SetMainWindow(HWND window);

/* OK returns; Cancel closes the main window and ends the process with code 10. */
void Phys_Warning(const char *text);
/* Always ends the process with code 10 (returns only when a test reporter's end returns). */
void Phys_Error(const char *text);

/* The physics' own texts, shown exactly as written. */
#define PHMSG_OPEN_FAILED "Error opening file: Final.phy"
#define PHMSG_NO_GRID_MEMORY "Nem sikerült helyet foglalni a pályatömb számára"
#define PHMSG_ILLEGAL_TYPE "Illegális elemtípus: "
#define PHMSG_UNINITIALISED "Using uninitialized object!"
#define PHMSG_FV3_POOL "Elfogyott az FV3 tömb!"
#define PHMSG_M33_POOL "Elfogyott az M33 tömb!"
#define PHMSG_ENV_OVERFLOW "Túlcsordul a környezetstruktúra-tömb!"
#define PHMSG_REGION_TOP "Nem jó tér (fönt)"
#define PHMSG_REGION_BOTTOM "Nem jó tér (lent)"
#define PHMSG_REGION_MIDDLE "Nem jó tér (középen)"
#define PHMSG_REGION_LEVEL "Nem jó szint"
#define PHMSG_REGION_NONE "Nincs egyik térrészben sem a golyó!"
#define PHMSG_NEITHER "Se sonka, se szalonna?"
#define PHMSG_FOOT_INSIDE "Belül van a talp a testben!"

/* Growable debug text. The text from base to cursor is always terminated; `free` counts the bytes
 * after the cursor, the terminator's included. After a failed allocation all fields are 0 and
 * appends do nothing. */
struct PhText {
    int32_t capacity;
    int32_t free;
    char *base;
    char *cursor;

    PhText();
    ~PhText();
    PhText(const PhText &) = delete;
    PhText &operator=(const PhText &) = delete;

    void Grow(int32_t n);
    PhText &operator<<(char c);
    PhText &operator<<(const char *s);
    PhText &operator<<(int16_t v);
    const char *Text() const { return base != nullptr ? base : ""; }
};

#endif
