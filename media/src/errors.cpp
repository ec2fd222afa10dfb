#include "errors.h"

#include <cstdio>

#include "win32/dsound.h"
#include "win32/windows.h"

namespace media {

namespace {

const char *own_text(HRESULT result)
{
    switch (result) {
    case DSERR_NODRIVER:
        return "No sound driver is available.";
    case DSERR_UNINITIALIZED:
        return "The sound object has not been initialised.";
    case DSERR_BADFORMAT:
        return "The wave format is not supported.";
    case DSERR_INVALIDPARAM:
        return "An invalid parameter was passed.";
    case DSERR_OUTOFMEMORY:
        return "Not enough memory.";
    case DSERR_BUFFERLOST:
        return "The sound buffer was lost.";
    default:
        return "Unknown error.";
    }
}

}  // namespace

std::string result_text(HRESULT result)
{
    // The system's text, without its line end; our own for results the system has none for.
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(result), 0,
                             text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
        text[--n] = '\0';
    return n > 0 ? std::string(text, n) : std::string(own_text(result));
}

void report_failure(HRESULT result, int step)
{
    char line[256];
    std::snprintf(line, sizeof line, "Error: %s ( %x ) in %d\n", result_text(result).c_str(), unsigned(result),
                  step);
    OutputDebugStringA(line);
}

}  // namespace media
