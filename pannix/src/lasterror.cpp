// The library-wide last-error text and its message box.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "pannix/pxbase.h"
#include "pxstate.h"
#if PANNIX_HAVE_BLIT
#include "blit_api.h"
#endif
#include "vokplat/export.h"
#include "win32/winmisc.h"

namespace {

// One process-wide buffer without a lock, as every caller expects.
char g_last_error[PX_LAST_ERROR_SIZE];

const char *const kMessages[] = {
    "Ok",
    "File '%s' not found!",
    "Filename is missing or invalid!",
    "Could not open file '%s'!",
    "Error while reading file '%s'!",
    "Could not create file '%s'!",
    "Error while writing file '%s'!",
    "Error converting file '%s'!",
    "Error allocating pixelmap: %d x %d / %d",
    "Error allocating subpixelmap: %d, %d  -  %d x %d",
    "Error allocating memory! (%d bytes)",
};
constexpr intptr_t kCodes = sizeof kMessages / sizeof kMessages[0];
// Values below this are codes: no format address lies in the first page of 64 KB, so a stray
// code is never read as one.
constexpr intptr_t kFirstAddress = 0x10000;

}  // namespace

namespace px {

int set_error(const char *format, ...)
{
    // Formatted aside first: an argument may be the last-error text itself.
    char text[PX_LAST_ERROR_SIZE];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    memcpy(g_last_error, text, sizeof text);
    return 0;
}

}  // namespace px

#if PANNIX_HAVE_BLIT
namespace {

// A blitter that refuses a call says why in the last-error text.
void blit_refused(const char *text)
{
    px::set_error("%s", text);
}

[[maybe_unused]] const bool g_blit_reports = (pxblit::set_refusal_report(blit_refused), true);

}  // namespace
#endif

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

VOK_EXPORT int SetLastMsgError(intptr_t codeOrFormat, ...)
{
    char text[PX_LAST_ERROR_SIZE];
    va_list ap;
    va_start(ap, codeOrFormat);
    if (codeOrFormat >= 0 && codeOrFormat < kCodes)
        vsnprintf(text, sizeof text, kMessages[codeOrFormat], ap);
    else if (codeOrFormat < kFirstAddress)
        snprintf(text, sizeof text, "%s", "Unknown error in Pannix!");
    else
        vsnprintf(text, sizeof text, reinterpret_cast<const char *>(codeOrFormat), ap);
    va_end(ap);
    memcpy(g_last_error, text, sizeof text);
    return 0;
}

VOK_EXPORT const char *GetLastMsgError(void)
{
    return g_last_error;
}

VOK_EXPORT int ShowLastMsgError(void)
{
    MessageBoxA(nullptr, g_last_error, "PANNIX", MB_ICONSTOP | MB_OK);
    return 0;
}
