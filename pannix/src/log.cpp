// Append-only text logs: each line is written with its own open and close, so a log survives a crash.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "pannix/pxini.h"
#include "pxstate.h"
#include "vokplat/export.h"
#include "vokplat/stdio.h"
#include "win32/winfile.h"

namespace {

constexpr size_t kLogPath = 259;
constexpr size_t kLogText = 2079;

char g_slots[PX_LOG_SLOTS][kLogPath + 1];

bool in_use(int slot)
{
    return slot >= 1 && slot <= PX_LOG_SLOTS && g_slots[slot - 1][0] != '\0';
}

}  // namespace

VOK_EXPORT int InitLog(const char *path)
{
    // A longer path would have to be cut and the log would land in another file.
    if (path == nullptr || path[0] == '\0' || strlen(path) > kLogPath)
        return 0;
    for (int i = 0; i < PX_LOG_SLOTS; i++) {
        if (g_slots[i][0] == '\0') {
            strcpy(g_slots[i], path);
            DeleteFileA(path);
            return i + 1;
        }
    }
    return 0;
}

VOK_EXPORT int CloseLog(int slot)
{
    if (slot >= 1 && slot <= PX_LOG_SLOTS)
        g_slots[slot - 1][0] = '\0';
    return slot;
}

VOK_EXPORT void AddToLog(int slot, const char *format, ...)
{
    if (!in_use(slot) || format == nullptr)
        return;
    char text[kLogText + 1];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    FILE *f = PlatFopen(g_slots[slot - 1], "a+t");
    if (f == nullptr)
        return;
    fprintf(f, "%s\n", text);
    fclose(f);
}
