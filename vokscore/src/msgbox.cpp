// Messages of the framework. The text is formatted into one module-wide buffer that the record's
// messageText points to; without an interface screen to show it on, the platform box shows it.
#include <stdarg.h>
#include <stdio.h>

#include "state.h"
#include "texts.h"
#include "win32/winmisc.h"

namespace {

char g_message[4096];

}  // namespace

VOK_EXPORT int VokMessageBox(HWND window, unsigned type, const char *format, ...)
{
    if (format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    vsnprintf(g_message, sizeof g_message, format, args);
    va_end(args);
    VokInterFace &f = vok::iface();
    f.messageText = g_message;
    if (f.ownerWnd == nullptr)
        f.ownerWnd = window;
    const char *caption = vok::text(49);
    return MessageBoxA(window, g_message, caption != nullptr ? caption : "", type);
}
