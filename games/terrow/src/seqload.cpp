// Numbered picture sequences. The frame after the last is expected to be missing, so the probe for it
// stays quiet: a pack answers null without a box, a file is looked for before the loader warns.
#include "seqload.h"

#include <cstdio>
#include <cstring>

#include <brondel/brmaterial.h>
#include <brondel/brpixmap.h>

#include "pannix/pxpix.h"
#include "terrow/trdib.h"
#include "win32/winfile.h"

namespace {

br_pixelmap *from_pack(const char *name)
{
    if (br_pixelmap *known = BrMapFind(name))
        return known;
    br_pixelmap *pm = PxLoadPixP(name, 0);
    return pm != nullptr ? BrMapAdd(pm) : nullptr;
}

br_pixelmap *from_file(const char *name)
{
    if (br_pixelmap *known = BrMapFind(name))
        return known;
    char file[300];
    TrPictureFileName(name, file, sizeof file);
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    return TrLoadPicture(name);
}

}  // namespace

extern "C" {

void TrSequenceName(const char *base, int32_t n, const char *ext, char *out, int32_t size)
{
    if (size <= 0)
        return;
    snprintf(out, (size_t)size, "%s%04d.%s", base != nullptr ? base : "", (int)n, ext != nullptr ? ext : "pix");
}

void TrMaskBase(const char *base, char *out, int32_t size)
{
    if (size <= 0)
        return;
    if (base == nullptr)
        base = "";
    const char *slash = std::strrchr(base, '\\');
    const int folder = slash != nullptr ? (int)(slash - base + 1) : 0;
    snprintf(out, (size_t)size, "%.*sa_%s", folder, base, base + folder);
}

int32_t TrLoadSequence(const char *base, const char *ext, int32_t source, br_pixelmap **out, int32_t max)
{
    if (out == nullptr || max <= 0)
        return 0;
    if (max > TR_SEQ_MAX)
        max = TR_SEQ_MAX;
    int32_t n = 0;
    for (; n < max; n++) {
        char name[300];
        TrSequenceName(base, n, ext, name, sizeof name);
        br_pixelmap *pm = source == TR_SEQ_FILE ? from_file(name) : from_pack(name);
        if (pm == nullptr)
            break;
        out[n] = pm;
    }
    return n;
}

}  // extern "C"
