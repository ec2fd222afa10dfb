// The exports: variadic lists read into typed ones, then the library's typed calls.
#include <cstdarg>

#include "library.h"

using namespace media;

namespace {

// The list of an unknown handle is not even read.
int32_t hand_list(MediaHandle handle, va_list args, bool (*call)(MediaHandle, ParamList))
{
    if (find(handle) == nullptr)
        return 0;
    std::vector<MediaParam> list = read_list(args);
    return call(handle, list) ? 1 : 0;
}

}  // namespace

MEDIA_API MediaHandle OpenMedia(int32_t type, intptr_t source, ...)
{
    va_list args;
    va_start(args, source);
    std::vector<MediaParam> list = read_list(args);
    va_end(args);
    return media::open(type, source, list);
}

MEDIA_API int32_t CloseMedia(MediaHandle handle)
{
    return media::close(handle) ? 1 : 0;
}

MEDIA_API int32_t PlayMedia(MediaHandle handle)
{
    return command(handle, MEDIA_CMD_PLAY) ? 1 : 0;
}

MEDIA_API int32_t PauseMedia(MediaHandle handle)
{
    return command(handle, MEDIA_CMD_PAUSE) ? 1 : 0;
}

MEDIA_API int32_t ContinueMedia(MediaHandle handle)
{
    return command(handle, MEDIA_CMD_CONTINUE) ? 1 : 0;
}

MEDIA_API int32_t StopMedia(MediaHandle handle)
{
    return command(handle, MEDIA_CMD_STOP) ? 1 : 0;
}

MEDIA_API int32_t GetMediaState(MediaHandle handle)
{
    return state(handle);
}

MEDIA_API MediaInputRecord *GetMediaMsgExtraInfo(MediaHandle handle)
{
    return input_record(handle);
}

MEDIA_API int32_t SetMediaParams(MediaHandle handle, ...)
{
    va_list args;
    va_start(args, handle);
    int32_t taken = hand_list(handle, args, set_params);
    va_end(args);
    return taken;
}

MEDIA_API int32_t GetMediaParams(MediaHandle handle, ...)
{
    va_list args;
    va_start(args, handle);
    int32_t taken = hand_list(handle, args, get_params);
    va_end(args);
    return taken;
}
