// Materials in datafiles: the material record (current and older form) and the names of the maps
// and tables it refers to.
#include <stddef.h>
#include <string.h>

#include <brondel/brpixmap.h>

#include "dbfile.h"

namespace {

#define MAT_COMMON_MEMBERS                                                                            \
    {DF_TYPE_COLOUR, offsetof(br_material, colour), "colour", nullptr},                               \
    {DF_TYPE_UINT_8, offsetof(br_material, opacity), "opacity", nullptr},                             \
    {DF_TYPE_UFRACTION, offsetof(br_material, ka), "ka", nullptr},                                    \
    {DF_TYPE_UFRACTION, offsetof(br_material, kd), "kd", nullptr},                                    \
    {DF_TYPE_UFRACTION, offsetof(br_material, ks), "ks", nullptr},                                    \
    {DF_TYPE_SCALAR, offsetof(br_material, power), "power", nullptr}

#define MAT_MAP_MEMBERS                                                                               \
    {DF_TYPE_VECTOR2, offsetof(br_material, map_transform.m[0]), "map_transform.m[0]", nullptr},      \
    {DF_TYPE_VECTOR2, offsetof(br_material, map_transform.m[1]), "map_transform.m[1]", nullptr},      \
    {DF_TYPE_VECTOR2, offsetof(br_material, map_transform.m[2]), "map_transform.m[2]", nullptr},      \
    {DF_TYPE_UINT_8, offsetof(br_material, index_base), "index_base", nullptr},                       \
    {DF_TYPE_UINT_8, offsetof(br_material, index_range), "index_range", nullptr}

const DfStructMember material_old_members[] = {
    MAT_COMMON_MEMBERS,
    // Older files hold the low 16 flag bits.
    {DF_TYPE_UINT_16, offsetof(br_material, flags), "flags", nullptr},
    MAT_MAP_MEMBERS,
    {DF_TYPE_ASCIZ, offsetof(br_material, identifier), "identifier", nullptr},
};
const DfStructTemplate material_old_template = {
    "br_material_old", sizeof(material_old_members) / sizeof(material_old_members[0]), material_old_members,
    sizeof(br_material)};

const DfStructMember material_members[] = {
    MAT_COMMON_MEMBERS,
    {DF_TYPE_UINT_32, offsetof(br_material, flags), "flags", nullptr},
    MAT_MAP_MEMBERS,
    {DF_TYPE_SCALAR, offsetof(br_material, fog_min), "fog_min", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_material, fog_max), "fog_max", nullptr},
    {DF_TYPE_COLOUR, offsetof(br_material, fog_colour), "fog_colour", nullptr},
    {DF_TYPE_INT_32, offsetof(br_material, subdivide_tolerance), "subdivide_tolerance", nullptr},
    {DF_TYPE_ASCIZ, offsetof(br_material, identifier), "identifier", nullptr},
};
const DfStructTemplate material_template = {"br_material", sizeof(material_members) / sizeof(material_members[0]),
                                            material_members, sizeof(br_material)};

#undef MAT_COMMON_MEMBERS
#undef MAT_MAP_MEMBERS

// The references in the order they are written, with the registry each is found in.
struct reference {
    br_uint_32 chunk;
    br_pixelmap *br_material::*field;
    bool table;
};
const reference references[] = {
    {FID_COLOUR_MAP_REF, &br_material::colour_map, false},
    {FID_INDEX_SHADE_REF, &br_material::index_shade, true},
    {FID_INDEX_BLEND_REF, &br_material::index_blend, true},
    {FID_SCREENDOOR_REF, &br_material::screendoor, true},
    {FID_INDEX_FOG_REF, &br_material::index_fog, true},
};

int material_read(br_datafile *df, const DfStructTemplate *str)
{
    br_material *m = BrMaterialAllocate(nullptr);
    if (m == nullptr)
        return DFH_REFUSED;
    // Flags the older record does not hold start clear.
    m->flags = 0;
    df->res = m;
    int whole = df->prims->struct_read(df, str, m);
    df->res = nullptr;
    if (!whole) {
        BrFailure("material record cut short");
        BrMaterialFree(m);
        return DFH_REFUSED;
    }
    return DbfPush(DFS_MATERIAL, m, 1);
}

// In text files both material chunks carry one name, and the name finds the older one: the current
// record is told by its length in lines, which no older record has.
int fop_material_old(br_datafile *df, br_uint_32, br_uint_32 length, br_uint_32)
{
    if (strcmp(df->prims->identifier, "Read Text") == 0) {
        br_material zero = {};
        if (length == df->prims->struct_size(df, &material_template, &zero) &&
            length != df->prims->struct_size(df, &material_old_template, &zero))
            return material_read(df, &material_template);
    }
    return material_read(df, &material_old_template);
}

int fop_material(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    return material_read(df, &material_template);
}

int fop_reference(br_datafile *df, br_uint_32 id, br_uint_32, br_uint_32)
{
    char name[256];
    df->prims->name_read(df, name);
    br_material *m = (br_material *)DbfTop(DFS_MATERIAL, "Material reference");
    if (m == nullptr)
        return DFH_REFUSED;
    for (const reference &r : references)
        if (r.chunk == id)
            m->*r.field = r.table ? BrTableFind(name) : BrMapFind(name);
    return 0;
}

int fop_end(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    return DFH_END;
}

const DfChunkEntry material_entries[] = {
    {FID_END, 0, fop_end},
    {FID_MATERIAL_OLD, 0, fop_material_old},
    {FID_MATERIAL_OLD_2, 0, fop_material},
    {FID_COLOUR_MAP_REF, 0, fop_reference},
    {FID_INDEX_BLEND_REF, 0, fop_reference},
    {FID_INDEX_SHADE_REF, 0, fop_reference},
    {FID_SCREENDOOR_REF, 0, fop_reference},
    {FID_INDEX_FOG_REF, 0, fop_reference},
};
const DfChunkTable material_table = {sizeof(material_entries) / sizeof(material_entries[0]), material_entries};

void material_write(br_datafile *df, br_material *m)
{
    df->prims->chunk_write(df, FID_MATERIAL_OLD_2, df->prims->struct_size(df, &material_template, m));
    df->prims->struct_write(df, &material_template, m);
    for (const reference &r : references)
        if (m->*r.field != nullptr)
            DbfNameChunkWrite(df, r.chunk, (m->*r.field)->identifier);
    DfChunkEndWrite(df);
}

} // namespace

br_uint_32 BrMaterialLoadMany(const char *filename, br_material **materials, br_uint_16 num)
{
    return DbfLoadMany(filename, &material_table, DFS_MATERIAL, (void **)materials, num);
}

br_material *BrMaterialLoad(const char *filename)
{
    br_material *m = nullptr;
    return BrMaterialLoadMany(filename, &m, 1) == 1 ? m : nullptr;
}

br_error BrMaterialFileCount(const char *filename, br_uint_16 *num)
{
    return DbfFileCount(filename, &material_table, DFS_MATERIAL, num);
}

br_uint_32 BrMaterialSaveMany(const char *filename, br_material **materials, br_uint_16 num)
{
    return DbfSaveItems(filename, FILE_TYPE_MATERIAL_OLD, DbfItems(materials, num, BrMaterialEnum), material_write);
}

br_uint_32 BrMaterialSave(const char *filename, br_material *material)
{
    return BrMaterialSaveMany(filename, &material, 1);
}
