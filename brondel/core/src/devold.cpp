// The old single-screen interface: one device begun at a time, its palette set through the screen.
// brcore.h names every area in the build, so this file is rebuilt when the pixel maps arrive.
#include "brondel/brcore.h"
#include "brondel/brdevice.h"

// Built with the pixel maps it draws through.
#include "brondel/brpixmap.h"

#include "fwstate.h"

br_pixelmap *BrDevBeginOld(const char *setup_string)
{
    if (BrDevLastBeginQuery() != nullptr)
        BrFailure("Device already active");
    br_pixelmap *screen = nullptr;
    if (BrDevBegin(&screen, setup_string) != BRE_OK) {
        BrFailure("Could not start driver");
        return nullptr;
    }
    return screen;
}

void BrDevEndOld(void)
{
    br_pixelmap *screen = BrDevLastBeginQuery();
    if (screen != nullptr)
        BrPixelmapFree(screen);
    BrDevLastBeginSet(nullptr);
}

br_error BrDevPaletteSetOld(br_pixelmap *pm)
{
    br_pixelmap *screen = BrDevLastBeginQuery();
    if (screen == nullptr)
        return BRE_OK;
    return BrPixelmapPaletteSet(screen, pm);
}

void BrDevPaletteEntrySetOld(br_int_32 index, br_uint_32 colour)
{
    br_pixelmap *screen = BrDevLastBeginQuery();
    if (screen != nullptr)
        BrPixelmapPaletteEntrySet(screen, index, colour);
}
