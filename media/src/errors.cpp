#include "errors.h"

#include <cstdio>

#include "win32/dsound.h"
#include "win32/windows.h"

namespace media {

const char *result_text(HRESULT result)
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
    case REGDB_E_CLASSNOTREG:
        return "Class not registered.";
    case CO_E_NOTINITIALIZED:
        return "CoInitialize has not been called.";
    default:
        return "Unknown error.";
    }
}

void report_failure(HRESULT result, int step)
{
    char line[256];
    std::snprintf(line, sizeof line, "Error: %s ( %x ) in %d\n", result_text(result), unsigned(result), step);
    OutputDebugStringA(line);
}

}  // namespace media
