// Names of fields and saved positions under the framework's roots.
#include <string.h>

#include <string>

#include "terrow/trfield.h"
#include "vokscore/vokpath.h"

namespace {

// A name part of a file name: path separators and characters that no file name may hold become '_'.
std::string name_part(const char *text, size_t limit)
{
    std::string out;
    for (const char *p = text; *p != '\0' && out.size() < limit; p++) {
        unsigned char c = (unsigned char)*p;
        out += c < 0x20 || strchr("\\/:*?\"<>|", c) != nullptr ? '_' : char(c);
    }
    return out;
}

}  // namespace

extern "C" {

char *TrFieldPath(const char *name)
{
    return VokMakeReadPath(TR_FIELD_FOLDER, "%s.trl", name != nullptr ? name : "");
}

char *TrSavedPositionPath(int32_t gameKind, const char *player, const char *levelPath)
{
    const char *file = "NoName";
    if (levelPath != nullptr) {
        // A host path ends its folders with '/'.
        const char *slash = strrchr(levelPath, '\\');
        const char *hostSlash = strrchr(levelPath, '/');
        if (hostSlash != nullptr && (slash == nullptr || hostSlash > slash))
            slash = hostSlash;
        if (slash != nullptr)
            file = slash + 1;
    }
    std::string who = name_part(player != nullptr ? player : "", 31);
    std::string what = name_part(file, 255);
    return VokMakeWritePath(nullptr, "save\\fenlw\\M^%dP^%sL^%s.trs", int(gameKind), who.c_str(), what.c_str());
}

}  // extern "C"
