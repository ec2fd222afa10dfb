// Pixel maps from pack entries and picture files, and saved with Pannix's own types marked.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <string>

#include "brondel/brcore.h"
#include "brondel/brpixmap.h"
#include "brondel/brpmfile.h"
#include "pack.h"
#include "pannix/ffpack.h"
#include "pannix/pxpix.h"
#include "pixmap.h"
#include "pxstate.h"
#include "quietload.h"
#include "vokplat/export.h"
#include "vokplat/savefile.h"

namespace {

constexpr size_t kIdMax = 254;

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void note_failure(const char *) {}
br_diaghandler g_load_handler = {"Pannix picture load", note_failure, note_failure};
std::recursive_mutex g_quiet_lock;

br_pixelmap *load_file(const char *name)
{
    px::QuietLoad quiet;
    return BrPixelmapLoad(name);
}

// The 3D library writes pixel-map files through its filesystem. For the length of one save its
// writes go to a memory stream instead, so that the whole file can then be put in place in one step
// by the platform; reads still go where they went.
struct Capture {
    std::mutex lock;
    br_filesystem fs{};
    char *bytes = nullptr;
    size_t size = 0;
    bool opened = false;
};
Capture g_capture;

void *capture_open_write(const char *, int)
{
    if (g_capture.opened)
        return nullptr;
    g_capture.opened = true;
    return open_memstream(&g_capture.bytes, &g_capture.size);
}

// The standard filesystem's handles are C streams, so its other operations serve the memory stream.
uint32_t save_through_platform(const char *name, br_pixelmap *map)
{
    std::lock_guard<std::mutex> hold(g_capture.lock);
    br_filesystem *previous = BrFilesystemSet(nullptr);
    br_filesystem *standard = BrFilesystemSet(nullptr);
    g_capture.fs = *standard;
    g_capture.fs.identifier = "Pannix save";
    g_capture.fs.open_write = capture_open_write;
    g_capture.bytes = nullptr;
    g_capture.size = 0;
    g_capture.opened = false;
    BrFilesystemSet(&g_capture.fs);
    uint32_t saved = BrPixelmapSave(name, map);
    BrFilesystemSet(previous);
    uint32_t result = 0;
    if (saved != 0 && g_capture.bytes != nullptr && PlatSaveFile(name, g_capture.bytes, g_capture.size))
        result = saved;
    free(g_capture.bytes);
    g_capture.bytes = nullptr;
    return result;
}

}  // namespace

namespace px {

QuietLoad::QuietLoad()
{
    g_quiet_lock.lock();
    previous_ = BrDiagHandlerSet(&g_load_handler);
}

QuietLoad::~QuietLoad()
{
    BrDiagHandlerSet(previous_);
    g_quiet_lock.unlock();
}

}  // namespace px

VOK_EXPORT br_pixelmap *FFLoadPix(const char *name, int32_t copy)
{
    if (name == nullptr || name[0] == '\0')
        return nullptr;
    FFPACKHANDLE *pack = FFGetCurrentPack();
    if (pack == nullptr)
        return load_file(name);
    FFFILEHANDLE *file = FFOpenP(pack, px::pack_key(name));
    if (file == nullptr)
        return load_file(name);
    const FFPACKENTRY *entry = file->entry;
    FFClose(file);
    if (!(entry->flags & FF_ENTRY_PIXELMAP))
        return nullptr;
    if (entry->size < 16) {
        px::set_error("FFLoadPix: entry '%s' is too short for a pixelmap", entry->name);
        return nullptr;
    }
    const uint32_t width = le32(entry->data), height = le32(entry->data + 4), type = le32(entry->data + 12);
    const uint8_t *rows = entry->data + 16;
    const uint32_t stored = entry->size - 16;
    if (width == 0 || width > 0xFFFF || height == 0 || height > 0xFFFF || type > 0xFF) {
        px::set_error("FFLoadPix: error allocating pixelmap: %d x %d / %d", int(width), int(height), int(type));
        return nullptr;
    }

    br_pixelmap *pm = PxAllocPix(int32_t(type), int32_t(width), int32_t(height),
                                 copy ? nullptr : const_cast<uint8_t *>(rows), 0);
    if (pm == nullptr) {
        px::set_error("FFLoadPix: error allocating pixelmap: %d x %d / %d", int(width), int(height), int(type));
        return nullptr;
    }
    // Rows are the 3D library's layout for the type; the entry must hold all of them.
    const uint64_t need = uint64_t(pm->row_bytes < 0 ? -pm->row_bytes : pm->row_bytes) * height;
    if (stored < need) {
        if (!copy)
            pm->pixels = nullptr;
        PxFreePix(pm);
        px::set_error("FFLoadPix: entry '%s' holds %u bytes of pixels, %llu needed", entry->name, stored,
                      (unsigned long long)need);
        return nullptr;
    }
    if (copy)
        memcpy(pm->pixels, rows, size_t(need));
    return pm;
}

VOK_EXPORT br_pixelmap *PxLoadPixP(const char *name, int32_t copy)
{
    br_pixelmap *pm = FFLoadPix(name, copy);
    if (pm == nullptr || pm->identifier == nullptr || pm->identifier[0] != '*')
        return pm;
    if (pm->type == BR_PMT_RGB_565)
        pm->type = PX_PMT_ARGB_4444;
    else if (pm->type == BR_PMT_RGB_888)
        pm->type = PX_PMT_RGB565_ALPHA8;
    else
        return pm;
    std::string id = pm->identifier + 1;
    PxReplaceId(pm, id.empty() ? nullptr : id.c_str());
    return pm;
}

VOK_EXPORT br_pixelmap *PxLoadPix(const char *name)
{
    return PxLoadPixP(name, 1);
}

VOK_EXPORT uint32_t PxSavePix(const char *name, br_pixelmap *map)
{
    if (name == nullptr || map == nullptr)
        return 0;
    if (map->type != PX_PMT_ARGB_4444 && map->type != PX_PMT_RGB565_ALPHA8)
        return save_through_platform(name, map);
    // Saved as the type of its layout, the name marked so that loading turns it back.
    char *identifier = map->identifier;
    const br_uint_8 type = map->type;
    std::string marked = std::string("*") + (identifier ? identifier : "");
    if (marked.size() > kIdMax)
        marked.resize(kIdMax);
    map->identifier = BrResStrDup(map, marked.c_str());
    map->type = type == PX_PMT_ARGB_4444 ? BR_PMT_RGB_565 : BR_PMT_RGB_888;
    uint32_t result = save_through_platform(name, map);
    BrResFree(map->identifier);
    map->identifier = identifier;
    map->type = type;
    return result;
}
