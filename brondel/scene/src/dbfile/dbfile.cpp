// The datafile stack as the database's layers use it, and the loops every family shares.
#include <vector>

#include "dbfile.h"

namespace {

const char *type_name(int type)
{
    switch (type) {
    case DFS_MATERIAL: return "material";
    case DFS_ACTOR: return "actor";
    case DFS_MATERIAL_INDEX: return "material index";
    case DFS_VERTICES: return "vertices";
    case DFS_FACES: return "faces";
    case DFS_MODEL: return "model";
    case DFS_TRANSFORM: return "transform";
    case DFS_LIGHT: return "light";
    case DFS_CAMERA: return "camera";
    case DFS_BOUNDS: return "bounds";
    case DFS_PLANE: return "plane";
    default: return "nothing";
    }
}

// Everything the chunks of this file left on the stack above the file's own entry.
void leftovers_free()
{
    for (int t = DfTopType(); t != 0 && t != DF_STACK_FILE; t = DfTopType())
        DbfEntryFree(t, DfPop(t, nullptr));
}

} // namespace

void *DbfTop(int type, const char *who)
{
    int top = DfTopType();
    if (top != type) {
        BrFailure("%s: expected %s, found %s", who, type_name(type), type_name(top));
        return nullptr;
    }
    return DfTop(type, nullptr);
}

void *DbfPop(int type, const char *who)
{
    return DbfTop(type, who) != nullptr ? DfPop(type, nullptr) : nullptr;
}

int DbfPush(int type, void *value, int count)
{
    DfPush(type, value, count);
    if (DfTopType() == type && DfTop(type, nullptr) == value)
        return 0;
    DbfEntryFree(type, value);
    return DFH_REFUSED;
}

void DbfEntryFree(int type, void *value)
{
    if (value == nullptr)
        return;
    switch (type) {
    case DFS_MATERIAL: BrMaterialFree((br_material *)value); break;
    case DFS_ACTOR: BrActorFree((br_actor *)value); break;
    case DFS_MODEL: BrModelFree((br_model *)value); break;
    case DFS_MATERIAL_INDEX:
    case DFS_VERTICES:
    case DFS_FACES:
    case DFS_TRANSFORM:
    case DFS_LIGHT:
    case DFS_CAMERA:
    case DFS_BOUNDS:
    case DFS_PLANE: BrResFree(value); break;
    default: break; // not ours: dropped as the datafile close drops it
    }
}

br_uint_32 DbfLoadMany(const char *filename, const DfChunkTable *table, int type, void **items, br_uint_16 num)
{
    if (items == nullptr || num == 0)
        return 0;
    br_datafile *df = DfOpen(filename, DF_DIRECTION_READ, BRT_FLOAT);
    if (df == nullptr)
        return 0;
    br_uint_32 count = 0;
    while (count < num) {
        int r = DfChunksInterpret(df, table);
        // A refused chunk leaves no item worth handing out.
        if (r == DFH_REFUSED)
            break;
        if (DfTopType() == type)
            items[count++] = DfPop(type, nullptr);
        if (r == 0)
            break;
    }
    leftovers_free();
    DfClose(df);
    return count;
}

br_error DbfFileCount(const char *filename, const DfChunkTable *table, int type, br_uint_16 *num)
{
    if (num == nullptr)
        return BRE_OK;
    *num = 0;
    br_datafile *df = DfOpen(filename, DF_DIRECTION_READ, BRT_FLOAT);
    if (df == nullptr)
        return BRE_FAIL;
    br_uint_32 count = 0;
    for (;;) {
        int r = DfChunksInterpret(df, table);
        if (r == DFH_REFUSED)
            break;
        if (DfTopType() == type) {
            DbfEntryFree(type, DfPop(type, nullptr));
            count++;
        }
        if (r == 0)
            break;
    }
    leftovers_free();
    DfClose(df);
    *num = (br_uint_16)(count > 0xffff ? 0xffff : count);
    return BRE_OK;
}

br_datafile *DbfSaveOpen(const char *filename, br_uint_32 file_type)
{
    br_datafile *df = DfOpen(filename, DF_DIRECTION_WRITE, BRT_FLOAT);
    if (df != nullptr)
        DfFileInfoWrite(df, file_type);
    return df;
}

bool DbfSaveClose(br_datafile *df)
{
    return DfCloseWritten(df, 1) != 0;
}

void DbfNameChunkWrite(br_datafile *df, br_uint_32 id, const char *name)
{
    df->prims->chunk_write(df, id, df->prims->name_size(df, name));
    df->prims->name_write(df, name);
}

void DbfArrayChunkWrite(br_datafile *df, br_uint_32 id, const DfStructTemplate *str, void *base, br_uint_32 count)
{
    // Every record of these templates has the same size in the file.
    br_uint_32 one = count > 0 ? df->prims->struct_size(df, str, base) : 0;
    df->prims->chunk_write(df, id, df->prims->count_size(df) + one * count);
    df->prims->count_write(df, count);
    DfStructWriteArray(df, str, base, (int)count);
}

bool DbfCountCheck(br_datafile *df, const DfStructTemplate *str, br_uint_32 count, const char *who)
{
    if (count > 0xffff) {
        BrFailure("%s: too many entries (%u)", who, count);
        return false;
    }
    std::vector<br_uint_8> zero(str->mem_size);
    uint64_t need = (uint64_t)count * df->prims->struct_size(df, str, zero.data()) + df->prims->count_size(df);
    if (need > df->chunk_length) {
        BrFailure("%s: %u entries do not fit the chunk", who, count);
        return false;
    }
    return true;
}
