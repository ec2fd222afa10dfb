// Picture files: found by name in a fixed order, loaded by their kind, converted to the pixel type
// the caller asks for, and kept as ".pix" beside their source so that the next start loads them ready.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "blit_core.h"
#include "brondel/brpmfile.h"
#include "pannix/pxblit.h"
#include "pannix/pxpicfile.h"
#include "pannix/pxpix.h"
#include "pxstate.h"
#include "quietload.h"
#include "vokplat/export.h"
#include "vokplat/paths.h"

extern "C" {
VOK_VISIBLE br_pixelmap *pMsgPalette = nullptr;
}

namespace {

char g_data_path[px::kPathMax];

struct NameParts {
    std::string drive, dir, fname, ext;
};

// The runtime's path splitter: drive, folder up to its last separator, file name, extension.
NameParts split(const std::string &name)
{
    NameParts p;
    size_t at = 0;
    if (name.size() >= 2 && name[1] == ':') {
        p.drive = name.substr(0, 2);
        at = 2;
    }
    size_t file = at;
    for (size_t i = at; i < name.size(); i++)
        if (name[i] == '\\' || name[i] == '/')
            file = i + 1;
    p.dir = name.substr(at, file - at);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < file)
        dot = name.size();
    p.fname = name.substr(file, dot - file);
    p.ext = name.substr(dot);
    return p;
}

bool is_file(const std::string &name)
{
    char host[4 * px::kPathMax];
    struct stat st;
    return PlatResolvePath(name.c_str(), host, sizeof host) != 0 && stat(host, &st) == 0 && S_ISREG(st.st_mode);
}

// The cache is only written where the picture's folder takes new files.
bool folder_writable(const std::string &name)
{
    char host[4 * px::kPathMax];
    if (PlatResolvePath(name.c_str(), host, sizeof host) == 0)
        return false;
    std::string folder(host);
    size_t cut = folder.rfind('/');
    folder = cut == std::string::npos ? "." : folder.substr(0, cut + 1);
    return access(folder.c_str(), W_OK) == 0;
}

bool same_ext(const std::string &ext, const char *want)
{
    return strcasecmp(ext.c_str(), want) == 0;
}

}  // namespace

VOK_EXPORT br_pixelmap *ConvPixelmap(br_pixelmap *map, br_pixelmap *palette, int32_t type)
{
    if (map == nullptr)
        return nullptr;
    if (map->type == type)
        return map;
    // Already 16 bits a pixel.
    if (map->type == PX_PMT_ARGB_4444 && (type == BR_PMT_RGB_555 || type == BR_PMT_RGB_565))
        return map;
    if (map->type == BR_PMT_INDEX_8 && (palette == nullptr || palette->pixels == nullptr))
        return nullptr;
    int32_t made = type;
    if (map->type == BR_PMT_RGBA_8888) {
        // The alpha survives in the types that carry one.
        if (type == BR_PMT_RGB_565)
            made = PX_PMT_RGB565_ALPHA8;
        else if (type == BR_PMT_RGBX_888)
            made = BR_PMT_RGBA_8888;
        else if (type == BR_PMT_RGB_555)
            made = PX_PMT_ARGB_4444;
    }
    // A pair the blitters cannot copy would give an empty picture (and a warning box) as if converted.
    if (pxblit::copy_pair(map->type, made) == nullptr)
        return nullptr;
    br_pixelmap *out = PxAllocPix(made, map->width, map->height, nullptr, 0);
    if (out == nullptr)
        return nullptr;
    if (map->type == BR_PMT_INDEX_8)
        map->user = palette->pixels;
    CopyRectangle(out, 0, 0, map, 0, 0, map->width, map->height);
    if (map->identifier != nullptr)
        PxReplaceId(out, map->identifier);
    PxFreePix(map);
    return out;
}

VOK_EXPORT const char *PxDataPath(const char *name)
{
    snprintf(g_data_path, sizeof g_data_path, "%s%s", px::data_folder(), name ? name : "");
    return g_data_path;
}

VOK_EXPORT br_pixelmap *AmsgGetPixFile(const char *name, uint32_t flags)
{
    // Names are copied into path buffers of 260 characters.
    if (name == nullptr || name[0] == '\0' || strlen(name) >= px::kPathMax) {
        SetLastMsgError(PXERR_BADNAME);
        return nullptr;
    }
    std::string lowered(name);
    for (char &c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    NameParts p = split(lowered);
    int32_t copy = 0;
    if (!p.fname.empty() && p.fname[0] == '+') {
        p.fname.erase(0, 1);
        copy = 1;
    }
    // "/" starts a full host path as "\" does.
    if (p.drive.empty() && (p.dir.empty() || (p.dir[0] != '\\' && p.dir[0] != '/')))
        p.dir = px::data_folder() + p.dir;
    const std::string base = p.drive + p.dir + p.fname;
    const std::string pix = base + ".pix";

    std::string found;
    if (p.ext.empty()) {
        if (is_file(base + ".tga"))
            found = base + ".tga";
        else if (is_file(base + ".bmp"))
            found = base + ".bmp";
    } else if (is_file(base + p.ext)) {
        found = base + p.ext;
    }
    if (found.empty() && is_file(pix))
        found = pix;

    if (found.empty()) {
        if (flags >= PX_PIX_FROM_PACK) {
            if (br_pixelmap *pm = PxLoadPixP(pix.c_str(), copy))
                return pm;
        }
        SetLastMsgError(PXERR_NOTFOUND, pix.c_str());
        return nullptr;
    }

    const std::string ext = split(found).ext;
    br_pixelmap *pm;
    px::QuietLoad quiet;
    if (same_ext(ext, ".pix")) {
        pm = PxLoadPix(found.c_str());
    } else if (same_ext(ext, ".tga")) {
        pm = BrFmtTGALoad(found.c_str(), BR_FMT_TGA_ALPHA);
        // 16-bit TGA pixels are 5-5-5.
        if (pm != nullptr && pm->type == BR_PMT_RGB_565)
            pm->type = BR_PMT_RGB_555;
    } else {
        pm = BrFmtBMPLoad(found.c_str(), 0);
    }
    if (pm == nullptr) {
        SetLastMsgError(PXERR_OPEN, found.c_str());
        return nullptr;
    }

    const int32_t loaded = pm->type;
    const int32_t target = int32_t(flags & PX_PIX_TYPE_MASK);
    if (target != 0) {
        br_pixelmap *converted = ConvPixelmap(pm, pMsgPalette, target);
        if (converted == nullptr) {
            PxFreePix(pm);
            SetLastMsgError(PXERR_CONVERT, found.c_str());
            return nullptr;
        }
        pm = converted;
    }
    if (same_ext(ext, ".pix") && pm->type == loaded)
        return pm;
    // The copy is a cache: a folder that takes no files, or a failed write, costs only the next start.
    if (folder_writable(pix))
        PxSavePix(pix.c_str(), pm);
    return pm;
}
