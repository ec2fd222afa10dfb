// A game module for the launcher tests: reports what it saw of the record, then leaves the current
// folder and the host window's title changed, as a game does.
#include <stdio.h>
#include <stdlib.h>

#include "vokplat/export.h"
#include "vokscore/vokiface.h"
#include "win32/windows.h"

VOK_EXPORT int StartKelpa(void)
{
    VokInterFace *face = VokGetInterFace(VOK_GAME_KELPA);
    if (const char *report = getenv("MAVREL_STUB_REPORT")) {
        if (FILE *f = fopen(report, "a")) {
            // A picture left in the record is one the menu has freed by now.
            fprintf(f, "StartKelpa inGame=%d screenPix=%s\n", face->inGame, face->screenPix != nullptr ? "left" : "none");
            fclose(f);
        }
    }
    if (const char *fields = getenv("MAVREL_STUB_FIELDS")) {
        if (FILE *f = fopen(fields, "a")) {
            fprintf(f, "kind=%d family=%d number=%d\n", face->gameKind, face->levelFamily, face->levelNumber);
            fclose(f);
        }
    }
    if (const char *away = getenv("MAVREL_STUB_AWAY"))
        SetCurrentDirectoryA(away);
    // A game leaves its own picture in the record, as Kelpa's results screens do; it goes with the module.
    static char picture[64];
    face->screenPix = reinterpret_cast<br_pixelmap *>(picture);
    if (face->hostWnd != nullptr)
        SetWindowTextA(face->hostWnd, "Kelpa");
    return 0;
}
