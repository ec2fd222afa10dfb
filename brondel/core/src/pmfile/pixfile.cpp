// Pixel maps in datafiles: each map is a PIXELMAP record, its colour map (then ADD_MAP), its PIXELS
// block and an END chunk. Records go through a staging record, never through the pixel map itself.
#include <string.h>

#include "brondel/brpmfile.h"
#include "pixmap/pmint.h"

namespace {

// The stored form of a pixel map.
struct pm_stage {
    br_uint_8 type;
    br_uint_16 row_bytes;
    br_uint_16 width;
    br_uint_16 height;
    br_uint_16 origin_x;
    br_uint_16 origin_y;
    char *identifier;
};

const DfEnumPair pixel_type_pairs[] = {
    {BR_PMT_INDEX_1, "BR_PMT_INDEX_1"},     {BR_PMT_INDEX_2, "BR_PMT_INDEX_2"},
    {BR_PMT_INDEX_4, "BR_PMT_INDEX_4"},     {BR_PMT_INDEX_8, "BR_PMT_INDEX_8"},
    {BR_PMT_RGB_555, "BR_PMT_RGB_555"},     {BR_PMT_RGB_565, "BR_PMT_RGB_565"},
    {BR_PMT_RGB_888, "BR_PMT_RGB_888"},     {BR_PMT_RGBX_888, "BR_PMT_RGBX_888"},
    {BR_PMT_RGBA_8888, "BR_PMT_RGBA_8888"}, {BR_PMT_YUYV_8888, "BR_PMT_YUYV_8888"},
    {BR_PMT_YUV_888, "BR_PMT_YUV_888"},     {BR_PMT_DEPTH_16, "BR_PMT_DEPTH_16"},
    {BR_PMT_DEPTH_32, "BR_PMT_DEPTH_32"},   {BR_PMT_ALPHA_8, "BR_PMT_ALPHA_8"},
    {BR_PMT_INDEXA_88, "BR_PMT_INDEXA_88"},
};
const DfEnumList pixel_type_list = {sizeof(pixel_type_pairs) / sizeof(pixel_type_pairs[0]), pixel_type_pairs};

const DfStructMember pixelmap_members[] = {
    {DF_TYPE_ENUM_8, offsetof(pm_stage, type), "type", &pixel_type_list},
    {DF_TYPE_UINT_16, offsetof(pm_stage, row_bytes), "row_bytes", nullptr},
    {DF_TYPE_UINT_16, offsetof(pm_stage, width), "width", nullptr},
    {DF_TYPE_UINT_16, offsetof(pm_stage, height), "height", nullptr},
    {DF_TYPE_UINT_16, offsetof(pm_stage, origin_x), "origin_x", nullptr},
    {DF_TYPE_UINT_16, offsetof(pm_stage, origin_y), "origin_y", nullptr},
    {DF_TYPE_ASCIZ, offsetof(pm_stage, identifier), "identifier", nullptr},
};
const DfStructTemplate pixelmap_template = {"br_pixelmap", 7, pixelmap_members, sizeof(pm_stage)};

// What a handler answers to stop the chunk loop: the end of one map, or a refused file.
constexpr int chunk_end = 1;
constexpr int chunk_refused = -1;

// Bytes of one row of pixels as stored: whole bytes, so 1- to 4-bit types round up.
br_uint_32 stored_row_bytes(br_uint_8 type, br_uint_32 width)
{
    return (PmTypeInfo[type].bits * width + 7) / 8;
}

int fop_pixelmap(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_INDEX_8, 0, 0, nullptr, PIXELMAP_ALLOCATE_NO_PIXELS);
    if (pm == nullptr)
        return chunk_refused;
    pm_stage st;
    memset(&st, 0, sizeof(st));
    // The identifier string becomes the map's child.
    df->res = pm;
    int whole = df->prims->struct_read(df, &pixelmap_template, &st);
    df->res = nullptr;
    if (!whole || st.type >= BR_PMT_MAX || stored_row_bytes(st.type, st.width) > 0x7fff) {
        BrFailure("Pixel map in file has a type or size that is not supported");
        BrPixelmapFree(pm);
        return chunk_refused;
    }
    pm->type = st.type;
    pm->width = st.width;
    pm->height = st.height;
    pm->origin_x = (br_int_16)st.origin_x;
    pm->origin_y = (br_int_16)st.origin_y;
    pm->identifier = st.identifier;
    pm->row_bytes = (br_int_16)stored_row_bytes(st.type, st.width);
    DfPush(DF_STACK_PIXELMAP, pm, 1);
    return 0;
}

int fop_pixels(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_pixelmap *pm = (br_pixelmap *)DfTop(DF_STACK_PIXELMAP, nullptr);
    if (pm == nullptr)
        return chunk_refused;
    if (pm->pixels != nullptr) {
        BrFailure("Pixel map '%s' has a second block of pixels", pm->identifier ? pm->identifier : "");
        return chunk_refused;
    }
    br_uint_32 size = PmTypeInfo[pm->type].element_bytes;
    br_uint_32 count = 0;
    df->res = pm;
    void *pixels = df->prims->block_read(df, nullptr, &count, size, BR_MEMORY_PIXELS);
    df->res = nullptr;
    if (pixels == nullptr)
        return chunk_refused;
    // Everything later reads height rows of row_bytes: the block must hold exactly that.
    if ((uint64_t)count * size != (uint64_t)pm->row_bytes * pm->height) {
        BrFailure("Pixels of '%s' do not match its size", pm->identifier ? pm->identifier : "");
        BrResFree(pixels);
        return chunk_refused;
    }
    pm->pixels = pixels;
    pm->flags |= PIXELMAP_CONTIGUOUS;
    return 0;
}

int fop_add_map(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_pixelmap *map = (br_pixelmap *)DfPop(DF_STACK_PIXELMAP, nullptr);
    if (map == nullptr)
        return chunk_refused;
    br_pixelmap *pm = (br_pixelmap *)DfTop(DF_STACK_PIXELMAP, nullptr);
    if (pm == nullptr || pm->map != nullptr) {
        BrPixelmapFree(map);
        return chunk_refused;
    }
    pm->map = map;
    BrResAdd(pm, map);
    return 0;
}

int fop_end(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    return chunk_end;
}

const DfChunkEntry pixelmap_entries[] = {
    {FID_END, 0, fop_end},
    {FID_PIXELMAP, 0, fop_pixelmap},
    {FID_PIXELS, 0, fop_pixels},
    {FID_ADD_MAP, 0, fop_add_map},
};
const DfChunkTable pixelmap_table = {4, pixelmap_entries};

// Maps the loop left behind: the caller gets none of them.
void free_left_maps()
{
    while (DfTopType() == DF_STACK_PIXELMAP)
        BrPixelmapFree((br_pixelmap *)DfPop(DF_STACK_PIXELMAP, nullptr));
}

bool has_pixels(const br_pixelmap *pm)
{
    return pm->pixels != nullptr || pm->row_bytes == 0 || pm->height == 0;
}

void write_pixelmap(br_datafile *df, br_pixelmap *pm)
{
    BrPixelmapDirectLock(pm, 1);
    pm_stage st;
    st.type = pm->type;
    st.row_bytes = (br_uint_16)stored_row_bytes(pm->type, pm->width);
    st.width = pm->width;
    st.height = pm->height;
    st.origin_x = (br_uint_16)pm->origin_x;
    st.origin_y = (br_uint_16)pm->origin_y;
    st.identifier = pm->identifier;
    df->prims->chunk_write(df, FID_PIXELMAP, df->prims->struct_size(df, &pixelmap_template, &st));
    df->prims->struct_write(df, &pixelmap_template, &st);

    if (pm->map != nullptr) {
        write_pixelmap(df, pm->map);
        df->prims->chunk_write(df, FID_ADD_MAP, 0);
    }

    br_uint_32 size = PmTypeInfo[pm->type].element_bytes;
    br_uint_32 per_row = st.row_bytes / size;
    // Sub-byte types start on a whole byte: their base column is taken in whole bytes.
    const br_uint_8 *first = (const br_uint_8 *)pm->pixels + (intptr_t)pm->base_y * pm->row_bytes +
                             (intptr_t)pm->base_x * PmTypeInfo[pm->type].bits / 8;
    df->prims->chunk_write(df, FID_PIXELS, df->prims->block_size(df, first, per_row, pm->row_bytes, pm->height, size));
    df->prims->block_write(df, first, per_row, pm->row_bytes, pm->height, size);
    BrPixelmapDirectUnlock(pm);
}

bool can_save(br_pixelmap *pm)
{
    for (br_pixelmap *p = pm; p != nullptr; p = p->map)
        if (p->type >= BR_PMT_MAX || p->pixels == nullptr) {
            BrFailure("Pixel map '%s' cannot be saved", p->identifier ? p->identifier : "");
            return false;
        }
    return true;
}

} // namespace

br_uint_32 BrPixelmapLoadMany(const char *filename, br_pixelmap **pixelmaps, br_uint_16 num)
{
    br_datafile *df = DfOpen(filename, DF_DIRECTION_READ, BRT_FIXED);
    if (df == nullptr)
        return 0;
    br_uint_32 count = 0;
    while (count < num) {
        int r = DfChunksInterpret(df, &pixelmap_table);
        if (r == chunk_refused)
            break;
        if (DfTopType() == DF_STACK_PIXELMAP) {
            br_pixelmap *pm = (br_pixelmap *)DfPop(DF_STACK_PIXELMAP, nullptr);
            if (!has_pixels(pm)) {
                BrFailure("Pixel map '%s' has no pixels", pm->identifier ? pm->identifier : "");
                BrPixelmapFree(pm);
                break;
            }
            pixelmaps[count++] = pm;
        }
        if (r == 0)
            break;
    }
    free_left_maps();
    DfClose(df);
    return count;
}

br_pixelmap *BrPixelmapLoad(const char *filename)
{
    br_pixelmap *pm = nullptr;
    return BrPixelmapLoadMany(filename, &pm, 1) == 1 ? pm : nullptr;
}

br_uint_32 BrPixelmapSaveMany(const char *filename, br_pixelmap **pixelmaps, br_uint_16 num)
{
    for (br_uint_16 i = 0; i < num; i++)
        if (pixelmaps[i] == nullptr || !can_save(pixelmaps[i]))
            return 0;
    br_datafile *df = DfOpen(filename, DF_DIRECTION_WRITE, BRT_FIXED);
    if (df == nullptr)
        return 0;
    DfFileInfoWrite(df, FILE_TYPE_PIXELMAP);
    for (br_uint_16 i = 0; i < num; i++) {
        write_pixelmap(df, pixelmaps[i]);
        DfChunkEndWrite(df);
    }
    // A save that did not reach the file whole is no save: the caller hears of it.
    return DfCloseWritten(df, 1) ? num : 0;
}

br_uint_32 BrPixelmapSave(const char *filename, br_pixelmap *pixelmap)
{
    return BrPixelmapSaveMany(filename, &pixelmap, 1) == 1 ? 1 : 0;
}
