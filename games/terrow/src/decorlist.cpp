// The decoration list (mt.lst): a base name a line.
#include <cstring>
#include <string>

#include "terrow/trlook.h"

extern "C" int32_t Decor_ParseList(const char *text, size_t size, void (*each)(const char *name, void *arg), void *arg)
{
    int32_t count = 0;
    size_t at = 0;
    while (text != nullptr && at < size) {
        size_t end = at;
        while (end < size && text[end] != '\n')
            end++;
        // The last line counts also without a line break; a carriage return is no part of a name.
        size_t len = end - at;
        while (len > 0 && (text[at + len - 1] == '\r' || text[at + len - 1] == ' ' || text[at + len - 1] == '\t'))
            len--;
        const std::string name(text + at, len);
        if (len > 0 && len <= TR_DECOR_NAME_MAX && name.find('\0') == std::string::npos) {
            if (each != nullptr)
                each(name.c_str(), arg);
            count++;
        }
        at = end + 1;
    }
    return count;
}
