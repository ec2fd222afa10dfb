// Opening and closing datafiles, the datafile stack, the chunk loop, struct arrays, and the tables
// shared by both forms.
#include <math.h>
#include <string.h>

#include "dfint.h"
#include "fwstate.h"

namespace {

const char *const chunk_names[FID_MAX] = {
    "END", "IMAGE_PLANE", "RLE_IMAGE_PLANE", "PIXELMAP", "MATERIAL_OLD", "ADD_MATERIAL", "OLD_ACTOR",
    "OLD_ADD_SIBLING", "OLD_ADD_CHILD", "OLD_MATERIAL_INDEX", "OLD_VERTICES", "OLD_VERTICES_UV", "OLD_FACES",
    "OLD_MODEL", "ADD_MODEL", "ANIM", "ANIM_TRANSFORM", "ANIM_RATE", "FILE_INFO", "OLD_LIGHT", "OLD_CAMERA",
    "PIVOT", "MATERIAL_INDEX", "VERTICES", "VERTEX_UV", "OLD_FACES_1", "FACE_MATERIAL", "OLD_MODEL_1",
    "COLOUR_MAP_REF", "OPACITY_MAP_REF", "INDEX_BLEND_REF", "INDEX_SHADE_REF", "SCREENDOOR_REF", "PIXELS",
    "ADD_MAP", "ACTOR", "ACTOR_MODEL", "ACTOR_TRANSFORM", "ACTOR_MATERIAL", "ACTOR_LIGHT", "ACTOR_CAMERA",
    "ACTOR_BOUNDS", "ACTOR_ADD_CHILD", "TRANSFORM_MATRIX34", "TRANSFORM_MATRIX34_LP", "TRANSFORM_QUAT",
    "TRANSFORM_EULER", "TRANSFORM_LOOK_UP", "TRANSFORM_TRANSLATION", "TRANSFORM_IDENTITY", "BOUNDS", "LIGHT",
    "CAMERA", "FACES", "MODEL", "ACTOR_CLIP_PLANE", "PLANE", "SATURN_FACES", "SATURN_MODEL", "INDEX_FOG_REF",
    "MATERIAL_OLD",
};

const char *const member_type_names[DF_TYPE_MAX] = {
    "int_8",          "uint_8",          "int_16",         "uint_16",         "int_32",        "uint_32",
    "fixed",          "angle",           "float",          "double",          "scalar",        "fraction",
    "ufraction",      "enum_8",          "enum_16",        "enum_32",         "struct",        "asciz",
    "colour",         "vector2",         "vector3",        "vector4",         "fixed_fraction", "fixed_ufraction",
    "float_fraction", "float_ufraction", "fixed_vector2",  "fixed_vector3",   "fixed_vector4", "float_vector2",
    "float_vector3",  "float_vector4",
};

// The stack of objects that chunk handlers hand to one another; datafiles mark their own place.
struct df_stack_entry {
    int type;
    void *value;
    int count;
};
df_stack_entry df_stack[DF_STACK_SIZE];
int df_stack_top;

// The form the writer uses for files opened from now on.
int &write_mode()
{
    return br_fw.open_mode;
}

// The FILE_INFO record.
struct file_info {
    br_uint_32 type;
    br_uint_32 version;
};

const DfEnumPair file_type_pairs[] = {
    {FILE_TYPE_NONE, "FILE_TYPE_NONE"},
    {FILE_TYPE_ACTORS, "FILE_TYPE_ACTORS"},
    {FILE_TYPE_PIXELMAP, "FILE_TYPE_PIXELMAP"},
    {FILE_TYPE_LIGHT, "FILE_TYPE_LIGHT"},
    {FILE_TYPE_CAMERA, "FILE_TYPE_CAMERA"},
    {FILE_TYPE_MATERIAL_OLD, "FILE_TYPE_MATERIAL_OLD"},
    {FILE_TYPE_MATERIAL, "FILE_TYPE_MATERIAL"},
    {FILE_TYPE_MODEL, "FILE_TYPE_MODEL"},
    {FILE_TYPE_ANIMATION, "FILE_TYPE_ANIMATION"},
    {FILE_TYPE_TREE, "FILE_TYPE_TREE"},
};
const DfEnumList file_type_list = {sizeof(file_type_pairs) / sizeof(file_type_pairs[0]), file_type_pairs};

const DfStructMember file_info_members[] = {
    {DF_TYPE_ENUM_32, offsetof(file_info, type), "type", &file_type_list},
    {DF_TYPE_UINT_32, offsetof(file_info, version), "version", nullptr},
};
const DfStructTemplate file_info_template = {"file_info", 2, file_info_members, sizeof(file_info)};

} // namespace

// Calls in the wrong direction, or on a file of no known form. When the handler returns, each
// answers as an empty file would, so a chunk loop ends.
static void invalid_call()
{
    BrFatal("datafile", 1825, "Invald file primitive call");
}
int df_null_skip(br_datafile *, br_uint_32) { invalid_call(); return 0; }
int df_null_chunk_write(br_datafile *, br_uint_32, br_uint_32) { invalid_call(); return 0; }
br_int_32 df_null_chunk_read(br_datafile *, br_uint_32 *plength)
{
    invalid_call();
    if (plength != nullptr)
        *plength = 0;
    return -1;
}
int df_null_count_write(br_datafile *, br_uint_32) { invalid_call(); return 0; }
br_uint_32 df_null_count_read(br_datafile *) { invalid_call(); return 0; }
br_uint_32 df_null_count_size(br_datafile *) { invalid_call(); return 0; }
int df_null_struct_write(br_datafile *, const DfStructTemplate *, void *) { invalid_call(); return 0; }
int df_null_struct_read(br_datafile *, const DfStructTemplate *, void *) { invalid_call(); return 0; }
br_uint_32 df_null_struct_size(br_datafile *, const DfStructTemplate *, void *) { invalid_call(); return 0; }
int df_null_block_write(br_datafile *, const void *, br_uint_32, br_int_32, br_uint_32, br_uint_32)
{
    invalid_call();
    return 0;
}
void *df_null_block_read(br_datafile *, void *, br_uint_32 *count, br_uint_32, br_uint_8)
{
    invalid_call();
    if (count != nullptr)
        *count = 0;
    return nullptr;
}
br_uint_32 df_null_block_size(br_datafile *, const void *, br_uint_32, br_int_32, br_uint_32, br_uint_32)
{
    invalid_call();
    return 0;
}
int df_null_name_write(br_datafile *, const char *) { invalid_call(); return 0; }
char *df_null_name_read(br_datafile *, char *name)
{
    invalid_call();
    if (name != nullptr)
        name[0] = '\0';
    return name;
}
br_uint_32 df_null_name_size(br_datafile *, const char *) { invalid_call(); return 0; }


const br_file_primitives DfNullPrimitives = {
    "NULL",
    df_null_skip,
    df_null_chunk_write,
    df_null_chunk_read,
    df_null_count_write,
    df_null_count_read,
    df_null_count_size,
    df_null_struct_write,
    df_null_struct_read,
    df_null_struct_size,
    df_null_block_write,
    df_null_block_read,
    df_null_block_size,
    df_null_name_write,
    df_null_name_read,
    df_null_name_size,
};

const char *df_chunk_name(br_uint_32 id)
{
    return id < FID_MAX ? chunk_names[id] : nullptr;
}

const char *df_member_type_name(br_uint_32 type)
{
    return type < DF_TYPE_MAX ? member_type_names[type] : nullptr;
}

br_int_32 df_chunk_lookup(const char *name)
{
    for (br_int_32 i = 0; i < FID_MAX; i++)
        if (strcmp(chunk_names[i], name) == 0)
            return i;
    return -1;
}

br_uint_32 df_member_type(const br_datafile *df, br_uint_32 type)
{
    static const br_uint_8 fixed_forms[] = {DF_TYPE_FIXED, DF_TYPE_FIXED_FRACTION, DF_TYPE_FIXED_UFRACTION};
    static const br_uint_8 float_forms[] = {DF_TYPE_FLOAT, DF_TYPE_FLOAT_FRACTION, DF_TYPE_FLOAT_UFRACTION};
    int slot;
    bool vector;
    switch (type) {
    case DF_TYPE_SCALAR: case DF_TYPE_FRACTION: case DF_TYPE_UFRACTION:
        slot = type - DF_TYPE_SCALAR;
        vector = false;
        break;
    case DF_TYPE_VECTOR2: case DF_TYPE_VECTOR3: case DF_TYPE_VECTOR4:
        slot = type - DF_TYPE_VECTOR2;
        vector = true;
        break;
    default:
        return type;
    }
    if (df->scalar_type == BRT_FIXED)
        return vector ? DF_TYPE_FIXED_VECTOR2 + slot : fixed_forms[slot];
    if (df->scalar_type == BRT_FLOAT)
        return vector ? DF_TYPE_FLOAT_VECTOR2 + slot : float_forms[slot];
    BrFailure("Incorrect scalar type");
    return type;
}

void *df_res_parent(const br_datafile *df)
{
    return df->res != nullptr ? df->res : br_fw.res;
}

br_int_32 df_float_to_fixed(double f, double one, int64_t lo, int64_t hi)
{
    if (isnan(f))
        return 0;
    double v = f * one;
    if (v <= (double)lo)
        return (br_int_32)lo;
    if (v >= (double)hi)
        return (br_int_32)hi;
    return (br_int_32)llround(v);
}

bool df_block_check(const char *who, br_uint_32 file_count, br_uint_32 file_size, br_uint_32 size, uint64_t *bytes,
                    br_uint_32 limit)
{
    if (file_size != size) {
        BrFailure("block size mismatch");
        return false;
    }
    *bytes = (uint64_t)file_count * file_size;
    if (*bytes > limit) {
        BrFailure("%s: block larger than its chunk: %u", who, file_count);
        return false;
    }
    return true;
}

void df_block_swap(void *block, br_size_t count, br_uint_32 size)
{
    if (size < 2)
        return;
    br_uint_8 *p = (br_uint_8 *)block;
    for (br_size_t i = 0; i < count; i++, p += size)
        for (br_uint_32 a = 0, b = size - 1; a < b; a++, b--) {
            br_uint_8 t = p[a];
            p[a] = p[b];
            p[b] = t;
        }
}

void DfPush(int type, void *value, int count)
{
    if (df_stack_top >= DF_STACK_SIZE) {
        BrFailure("DatafileStack Overflow");
        return;
    }
    df_stack[df_stack_top++] = {type, value, count};
}

// An entry of another type is popped and reported, but never handed out as the type asked for.
void *DfPop(int type, int *countp)
{
    if (countp != nullptr)
        *countp = 0;
    if (df_stack_top <= 0) {
        BrFailure("DatafileStack Underflow");
        return nullptr;
    }
    df_stack_entry e = df_stack[--df_stack_top];
    if (e.type != type) {
        BrFailure("DatafileStack type mismatch, wanted %d, got %d", type, e.type);
        return nullptr;
    }
    if (countp != nullptr)
        *countp = e.count;
    return e.value;
}

void *DfTop(int type, int *countp)
{
    if (countp != nullptr)
        *countp = 0;
    if (df_stack_top <= 0) {
        BrFailure("DatafileStack Underflow");
        return nullptr;
    }
    const df_stack_entry &e = df_stack[df_stack_top - 1];
    if (e.type != type) {
        BrFailure("DatafileStack type mismatch, wanted %d, got %d", type, e.type);
        return nullptr;
    }
    if (countp != nullptr)
        *countp = e.count;
    return e.value;
}

int DfTopType(void)
{
    return df_stack_top > 0 ? df_stack[df_stack_top - 1].type : 0;
}

int DfWriteModeSet(int mode)
{
    int old = write_mode();
    write_mode() = mode;
    return old;
}

br_datafile *DfOpen(const char *name, int direction, br_uint_32 scalar_type)
{
    if (name == nullptr)
        return nullptr;
    void *h;
    const br_file_primitives *prims;
    if (direction == DF_DIRECTION_WRITE) {
        int text = write_mode() == DF_MODE_TEXT;
        h = df_io_open_write(name, text);
        prims = text ? &DfTextWritePrimitives : &DfBinaryWritePrimitives;
    } else {
        df_io_mode mode = DF_IO_UNKNOWN;
        h = df_io_open_read(name, &mode);
        prims = mode == DF_IO_TEXT ? &DfTextReadPrimitives
                : mode == DF_IO_BINARY ? &DfBinaryReadPrimitives
                                       : &DfNullPrimitives;
    }
    if (h == nullptr)
        return nullptr;

    br_datafile *df = (br_datafile *)BrResAllocate(br_fw.res, sizeof(br_datafile), BR_MEMORY_DATAFILE);
    if (df == nullptr) {
        if (direction == DF_DIRECTION_WRITE)
            df_io_close_written(h, 0);
        else
            df_io_close(h);
        return nullptr;
    }
    df->h = h;
    df->prims = prims;
    df->scalar_type = scalar_type;
    df->res = nullptr;
    df->chunk_length = 0xffffffffu;
    DfPush(DF_STACK_FILE, df, 1);
    return df;
}

// Takes the datafile's entry (and what lies above it) off the stack.
static void stack_drop(br_datafile *df)
{
    // Objects left above the datafile's own entry are dropped, not freed: the library's anchor or
    // their owners hold them. Entries below it (another open datafile) are left alone.
    int at = df_stack_top - 1;
    while (at >= 0 && !(df_stack[at].type == DF_STACK_FILE && df_stack[at].value == df))
        at--;
    if (at >= 0)
        df_stack_top = at;
}

void DfClose(br_datafile *df)
{
    if (df == nullptr)
        return;
    stack_drop(df);
    df_io_close(df->h);
    BrResFree(df);
}

br_boolean DfCloseWritten(br_datafile *df, br_boolean keep)
{
    if (df == nullptr)
        return 0;
    stack_drop(df);
    br_boolean ok = df_io_close_written(df->h, keep);
    BrResFree(df);
    return ok;
}

int DfFileInfoWrite(br_datafile *df, br_uint_32 type)
{
    file_info fi = {type, 2};
    df->prims->chunk_write(df, FID_FILE_INFO, df->prims->struct_size(df, &file_info_template, &fi));
    df->prims->struct_write(df, &file_info_template, &fi);
    return 0;
}

int DfChunkEndWrite(br_datafile *df)
{
    df->prims->chunk_write(df, FID_END, 0);
    return 0;
}

int DfChunksInterpret(br_datafile *df, const DfChunkTable *table)
{
    for (;;) {
        br_uint_32 length = 0;
        br_int_32 id = df->prims->chunk_read(df, &length);
        if (id == -1)
            return 0;
        const DfChunkEntry *entry = nullptr;
        for (br_uint_32 i = 0; i < table->nentries; i++)
            if (table->entries[i].id == (br_uint_32)id) {
                entry = &table->entries[i];
                break;
            }
        if (entry == nullptr) {
            df->prims->skip(df, length);
            continue;
        }
        br_uint_32 count = entry->has_count ? df->prims->count_read(df) : 0;
        int r = entry->handler(df, (br_uint_32)id, length, count);
        if (r != 0)
            return r;
    }
}

int DfStructWriteArray(br_datafile *df, const DfStructTemplate *str, void *base, int n)
{
    br_uint_8 *p = (br_uint_8 *)base;
    for (int i = 0; i < n; i++, p += str->mem_size)
        df->prims->struct_write(df, str, p);
    return n;
}

int DfStructReadArray(br_datafile *df, const DfStructTemplate *str, void *base, int n)
{
    br_uint_8 *p = (br_uint_8 *)base;
    int i;
    for (i = 0; i < n; i++, p += str->mem_size)
        if (!df->prims->struct_read(df, str, p))
            break;
    return i;
}
