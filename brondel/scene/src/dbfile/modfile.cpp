// Models in datafiles (file type 0xFACE): the record templates, the chunk handlers of the current and
// the older chunk sets, and the model saver.
#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "dbfile.h"

namespace {

// The older face records as they were laid out in memory: the material index sat over the high half
// of a 32-bit smoothing word, and the file's members are placed by those offsets.
struct old_face_stage {
    br_uint_16 vertices[3];
    br_uint_16 smoothing;
    br_uint_16 material;
    br_uint_8 _rest[30];
};

struct old_face_1_stage {
    br_uint_16 vertices[3];
    br_uint_8 smoothing;
    br_uint_8 flags;
};

const DfStructMember vertex_members[] = {
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[0]), "p.v[X]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[1]), "p.v[Y]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[2]), "p.v[Z]", nullptr},
};
const DfStructTemplate vertex_template = {"br_vertex", 3, vertex_members, sizeof(br_vertex)};

const DfStructMember vertex_uv_members[] = {
    {DF_TYPE_SCALAR, offsetof(br_vertex, map.v[0]), "map.v[0]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, map.v[1]), "map.v[1]", nullptr},
};
const DfStructTemplate vertex_uv_template = {"br_vertex_uv", 2, vertex_uv_members, sizeof(br_vertex)};

const DfStructMember old_vertex_uv_members[] = {
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[0]), "p.v[X]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[1]), "p.v[Y]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, p.v[2]), "p.v[Z]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, map.v[0]), "map.v[0]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_vertex, map.v[1]), "map.v[1]", nullptr},
};
const DfStructTemplate old_vertex_uv_template = {"br_old_vertex_uv", 5, old_vertex_uv_members, sizeof(br_vertex)};

const DfStructMember face_members[] = {
    {DF_TYPE_UINT_16, offsetof(br_face, vertices[0]), "vertices[0]", nullptr},
    {DF_TYPE_UINT_16, offsetof(br_face, vertices[1]), "vertices[1]", nullptr},
    {DF_TYPE_UINT_16, offsetof(br_face, vertices[2]), "vertices[2]", nullptr},
    {DF_TYPE_UINT_16, offsetof(br_face, smoothing), "smoothing", nullptr},
    {DF_TYPE_UINT_8, offsetof(br_face, flags), "flags", nullptr},
};
const DfStructTemplate face_template = {"br_face", 5, face_members, sizeof(br_face)};

const DfStructMember old_face_1_members[] = {
    {DF_TYPE_UINT_16, offsetof(old_face_1_stage, vertices[0]), "vertices[0]", nullptr},
    {DF_TYPE_UINT_16, offsetof(old_face_1_stage, vertices[1]), "vertices[1]", nullptr},
    {DF_TYPE_UINT_16, offsetof(old_face_1_stage, vertices[2]), "vertices[2]", nullptr},
    {DF_TYPE_UINT_8, offsetof(old_face_1_stage, smoothing), "smoothing", nullptr},
    {DF_TYPE_UINT_8, offsetof(old_face_1_stage, flags), "flags", nullptr},
};
const DfStructTemplate old_face_1_template = {"br_old_face_1", 5, old_face_1_members, sizeof(old_face_1_stage)};

const DfStructMember old_face_members[] = {
    {DF_TYPE_UINT_16, 0, "vertices[0]", nullptr},
    {DF_TYPE_UINT_16, 2, "vertices[1]", nullptr},
    {DF_TYPE_UINT_16, 4, "vertices[2]", nullptr},
    {DF_TYPE_UINT_16, 8, "material", nullptr},
    {DF_TYPE_UINT_32, 6, "smoothing", nullptr},
};
const DfStructTemplate old_face_template = {"br_old_face", 5, old_face_members, sizeof(old_face_stage)};

const DfStructMember model_members[] = {
    {DF_TYPE_UINT_16, offsetof(br_model, flags), "flags", nullptr},
    {DF_TYPE_ASCIZ, offsetof(br_model, identifier), "identifier", nullptr},
};
const DfStructTemplate model_template = {"br_model", 2, model_members, sizeof(br_model)};

const DfStructMember old_model_1_members[] = {
    {DF_TYPE_ASCIZ, offsetof(br_model, identifier), "identifier", nullptr},
};
const DfStructTemplate old_model_1_template = {"br_old_model_1", 1, old_model_1_members, sizeof(br_model)};

const DfStructMember pivot_members[] = {
    {DF_TYPE_SCALAR, offsetof(br_model, pivot.v[0]), "pivot.v[X]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_model, pivot.v[1]), "pivot.v[Y]", nullptr},
    {DF_TYPE_SCALAR, offsetof(br_model, pivot.v[2]), "pivot.v[Z]", nullptr},
};
const DfStructTemplate pivot_template = {"br_pivot", 3, pivot_members, sizeof(br_model)};

// Flags a model keeps through a file.
constexpr br_uint_16 FILE_FLAGS = 0x17;

br_uint_16 smoothing_in(br_uint_16 s)
{
    return s == 0 ? 0xffff : s;
}

// A new model whose identifier (read next) is its own child.
br_model *model_new(br_datafile *df, const DfStructTemplate *str)
{
    br_model *m = BrModelAllocate(nullptr, 0, 0);
    if (m == nullptr)
        return nullptr;
    df->res = m;
    int whole = df->prims->struct_read(df, str, m);
    df->res = nullptr;
    if (!whole) {
        BrFailure("model record cut short");
        BrModelFree(m);
        return nullptr;
    }
    return m;
}

int fop_model(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_model *m = model_new(df, &model_template);
    if (m == nullptr)
        return DFH_REFUSED;
    m->flags &= FILE_FLAGS;
    return DbfPush(DFS_MODEL, m, 1);
}

int fop_old_model_1(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_model *m = model_new(df, &old_model_1_template);
    if (m == nullptr)
        return DFH_REFUSED;
    return DbfPush(DFS_MODEL, m, 1);
}

// A new array of count records under parent, read from the file; null (reported) when cut short.
template <class T> T *array_read(br_datafile *df, void *parent, br_uint_8 res_class, const DfStructTemplate *str,
                                 br_uint_32 count, const char *who)
{
    T *a = (T *)BrResAllocate(parent, sizeof(T) * count, res_class);
    if (a == nullptr)
        return nullptr;
    if (DfStructReadArray(df, str, a, (int)count) != (int)count) {
        BrFailure("%s: cut short", who);
        BrResFree(a);
        return nullptr;
    }
    return a;
}

// A counted chunk of records as a new array of the top model, in place of the one it had.
template <class T>
int model_array(br_datafile *df, br_uint_32 count, const DfStructTemplate *str, br_uint_8 res_class, const char *who,
                T *br_model::*array, br_uint_16 br_model::*n)
{
    br_model *m = (br_model *)DbfTop(DFS_MODEL, who);
    if (m == nullptr || !DbfCountCheck(df, str, count, who))
        return DFH_REFUSED;
    T *a = nullptr;
    if (count > 0 && (a = array_read<T>(df, m, res_class, str, count, who)) == nullptr)
        return DFH_REFUSED;
    if (m->*array != nullptr)
        BrResFree(m->*array);
    m->*array = a;
    m->*n = (br_uint_16)count;
    return 0;
}

int fop_vertices(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    return model_array(df, count, &vertex_template, BR_MEMORY_VERTICES, "Vertices", &br_model::vertices,
                       &br_model::nvertices);
}

// Reads what fits into the vertices and drops the rest of the chunk's entries.
int fop_vertex_uv(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    br_model *m = (br_model *)DbfTop(DFS_MODEL, "Vertex UV");
    if (m == nullptr || !DbfCountCheck(df, &vertex_uv_template, count, "Vertex UV"))
        return DFH_REFUSED;
    br_uint_32 fit = count;
    if (count > m->nvertices) {
        BrFailure("Vertex UV: too many entries");
        fit = m->nvertices;
    }
    if (fit > 0 && DfStructReadArray(df, &vertex_uv_template, m->vertices, (int)fit) != (int)fit)
        return DFH_REFUSED;
    br_vertex spare;
    for (br_uint_32 i = fit; i < count; i++)
        if (!df->prims->struct_read(df, &vertex_uv_template, &spare))
            return DFH_REFUSED;
    return 0;
}

int fop_faces(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    if (model_array(df, count, &face_template, BR_MEMORY_FACES, "Faces", &br_model::faces, &br_model::nfaces) != 0)
        return DFH_REFUSED;
    br_model *m = (br_model *)DfTop(DFS_MODEL, nullptr);
    for (br_uint_32 i = 0; i < count; i++)
        m->faces[i].smoothing = smoothing_in(m->faces[i].smoothing);
    return 0;
}

int fop_old_faces_1(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    br_model *m = (br_model *)DbfTop(DFS_MODEL, "Old faces");
    if (m == nullptr || !DbfCountCheck(df, &old_face_1_template, count, "Old faces"))
        return DFH_REFUSED;
    std::vector<old_face_1_stage> st(count);
    if (count > 0 && DfStructReadArray(df, &old_face_1_template, st.data(), (int)count) != (int)count)
        return DFH_REFUSED;
    br_face *f = count > 0 ? (br_face *)BrResAllocate(m, sizeof(br_face) * count, BR_MEMORY_FACES) : nullptr;
    if (count > 0 && f == nullptr)
        return DFH_REFUSED;
    for (br_uint_32 i = 0; i < count; i++) {
        memcpy(f[i].vertices, st[i].vertices, sizeof(f[i].vertices));
        f[i].flags = st[i].flags;
        f[i].smoothing = st[i].smoothing == 0 ? 0xffff : (br_uint_16)(1u << ((st[i].smoothing - 1) & 15));
    }
    if (m->faces != nullptr)
        BrResFree(m->faces);
    m->faces = f;
    m->nfaces = (br_uint_16)count;
    return 0;
}

int fop_material_index(br_datafile *df, br_uint_32, br_uint_32, br_uint_32 count)
{
    // Face entries are 16-bit, and every name takes at least a byte (a line in text).
    if (count > 0xffff || count > df->chunk_length) {
        BrFailure("Material index: %u entries do not fit the chunk", count);
        return DFH_REFUSED;
    }
    br_material **index =
        (br_material **)BrResAllocate(v1db.res, sizeof(br_material *) * (count + 1), BR_MEMORY_MATERIAL_INDEX);
    if (index == nullptr)
        return DFH_REFUSED;
    char name[256];
    for (br_uint_32 i = 1; i <= count; i++) {
        df->prims->name_read(df, name);
        index[i] = BrMaterialFind(name);
    }
    return DbfPush(DFS_MATERIAL_INDEX, index, (int)count + 1);
}

// Older files: the chunk's bytes are names, each ended by a 0 byte.
int fop_old_material_index(br_datafile *df, br_uint_32, br_uint_32 length, br_uint_32)
{
    std::vector<char> bytes;
    while (bytes.size() < length) {
        size_t step = std::min<size_t>(length - bytes.size(), 65536);
        size_t at = bytes.size();
        bytes.resize(at + step);
        if (BrFileRead(bytes.data() + at, 1, step, df->h) != step) {
            BrFailure("could not read material index");
            return DFH_REFUSED;
        }
    }
    size_t n = (size_t)std::count(bytes.begin(), bytes.end(), '\0');
    br_material **index =
        (br_material **)BrResAllocate(v1db.res, sizeof(br_material *) * (n > 0 ? n : 1), BR_MEMORY_MATERIAL_INDEX);
    if (index == nullptr)
        return DFH_REFUSED;
    const char *name = bytes.data();
    for (size_t i = 0; i < n; i++) {
        index[i] = BrMaterialFind(name);
        name += strlen(name) + 1;
    }
    return DbfPush(DFS_MATERIAL_INDEX, index, (int)n);
}

int fop_face_material(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    int nindex = 0;
    if (DbfTop(DFS_MATERIAL_INDEX, "Face materials") == nullptr)
        return DFH_REFUSED;
    br_material **index = (br_material **)DfPop(DFS_MATERIAL_INDEX, &nindex);
    br_model *m = (br_model *)DbfTop(DFS_MODEL, "Face materials");
    if (m == nullptr) {
        BrResFree(index);
        return DFH_REFUSED;
    }
    br_uint_32 n = 0;
    br_uint_16 *entries = (br_uint_16 *)df->prims->block_read(df, nullptr, &n, 2, BR_MEMORY_MATERIAL_INDEX);
    if (entries == nullptr) {
        BrResFree(index);
        return DFH_REFUSED;
    }
    if (n > m->nfaces) {
        BrFailure("Face Materials: too many entries");
        n = m->nfaces;
    }
    for (br_uint_32 i = 0; i < n && m->faces != nullptr; i++)
        m->faces[i].material = entries[i] < (br_uint_32)nindex ? index[entries[i]] : nullptr;
    if (entries != nullptr)
        BrResFree(entries);
    BrResFree(index);
    return 0;
}

int fop_pivot(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_model *m = (br_model *)DbfTop(DFS_MODEL, "Pivot");
    if (m == nullptr)
        return DFH_REFUSED;
    return df->prims->struct_read(df, &pivot_template, m) ? 0 : DFH_REFUSED;
}

// Older files keep vertex and face arrays on the stack until the model record takes them.
template <class T>
int old_array(br_datafile *df, br_uint_32 length, const DfStructTemplate *str, br_uint_8 res_class, const char *who,
              T **out, br_uint_32 *count)
{
    std::vector<br_uint_8> zero(str->mem_size);
    br_uint_32 one = df->prims->struct_size(df, str, zero.data());
    *count = one > 0 ? length / one : 0;
    if (*count > 0xffff) {
        BrFailure("%s: too many entries (%u)", who, *count);
        return DFH_REFUSED;
    }
    *out = nullptr;
    if (*count > 0 && (*out = array_read<T>(df, v1db.res, res_class, str, *count, who)) == nullptr)
        return DFH_REFUSED;
    return 0;
}

int old_vertices(br_datafile *df, br_uint_32 length, const DfStructTemplate *str)
{
    br_vertex *v;
    br_uint_32 count;
    if (old_array(df, length, str, BR_MEMORY_VERTICES, "Old vertices", &v, &count) != 0)
        return DFH_REFUSED;
    return DbfPush(DFS_VERTICES, v, (int)count);
}

int fop_old_vertices(br_datafile *df, br_uint_32, br_uint_32 length, br_uint_32)
{
    return old_vertices(df, length, &vertex_template);
}

int fop_old_vertices_uv(br_datafile *df, br_uint_32, br_uint_32 length, br_uint_32)
{
    return old_vertices(df, length, &old_vertex_uv_template);
}

int fop_old_faces(br_datafile *df, br_uint_32, br_uint_32 length, br_uint_32)
{
    int nvertices = 0, nindex = 0;
    if (DbfTop(DFS_VERTICES, "Old faces") == nullptr)
        return DFH_REFUSED;
    br_vertex *vertices = (br_vertex *)DfPop(DFS_VERTICES, &nvertices);
    if (DbfTop(DFS_MATERIAL_INDEX, "Old faces") == nullptr) {
        DfPush(DFS_VERTICES, vertices, nvertices);
        return DFH_REFUSED;
    }
    br_material **index = (br_material **)DfPop(DFS_MATERIAL_INDEX, &nindex);
    DfPush(DFS_VERTICES, vertices, nvertices);

    old_face_stage *st;
    br_uint_32 count;
    int r = old_array(df, length, &old_face_template, BR_MEMORY_FACES, "Old faces", &st, &count);
    if (r != 0) {
        BrResFree(index);
        return DFH_REFUSED;
    }
    br_face *f = count > 0 ? (br_face *)BrResAllocate(v1db.res, sizeof(br_face) * count, BR_MEMORY_FACES) : nullptr;
    for (br_uint_32 i = 0; i < count && f != nullptr; i++) {
        memcpy(f[i].vertices, st[i].vertices, sizeof(f[i].vertices));
        f[i].smoothing = smoothing_in(st[i].smoothing);
        f[i].material = st[i].material < (br_uint_32)nindex ? index[st[i].material] : nullptr;
    }
    if (st != nullptr)
        BrResFree(st);
    BrResFree(index);
    if (count > 0 && f == nullptr)
        return DFH_REFUSED;
    return DbfPush(DFS_FACES, f, (int)count);
}

int fop_old_model(br_datafile *df, br_uint_32, br_uint_32, br_uint_32)
{
    br_model *m = model_new(df, &model_template);
    if (m == nullptr)
        return DFH_REFUSED;
    int nfaces = 0, nvertices = 0;
    if (DbfTop(DFS_FACES, "Old model") == nullptr) {
        BrModelFree(m);
        return DFH_REFUSED;
    }
    br_face *faces = (br_face *)DfPop(DFS_FACES, &nfaces);
    if (DbfTop(DFS_VERTICES, "Old model") == nullptr) {
        DfPush(DFS_FACES, faces, nfaces);
        BrModelFree(m);
        return DFH_REFUSED;
    }
    br_vertex *vertices = (br_vertex *)DfPop(DFS_VERTICES, &nvertices);
    m->faces = faces != nullptr ? (br_face *)BrResAdd(m, faces) : nullptr;
    m->vertices = vertices != nullptr ? (br_vertex *)BrResAdd(m, vertices) : nullptr;
    m->nfaces = (br_uint_16)nfaces;
    m->nvertices = (br_uint_16)nvertices;
    m->flags &= FILE_FLAGS;
    return DbfPush(DFS_MODEL, m, 1);
}

int fop_end(br_datafile *, br_uint_32, br_uint_32, br_uint_32)
{
    return DFH_END;
}

const DfChunkEntry model_entries[] = {
    {FID_END, 0, fop_end},
    {FID_OLD_MATERIAL_INDEX, 0, fop_old_material_index},
    {FID_OLD_VERTICES, 0, fop_old_vertices},
    {FID_OLD_VERTICES_UV, 0, fop_old_vertices_uv},
    {FID_OLD_FACES, 0, fop_old_faces},
    {FID_OLD_MODEL, 0, fop_old_model},
    {FID_OLD_FACES_1, 1, fop_old_faces_1},
    {FID_OLD_MODEL_1, 0, fop_old_model_1},
    {FID_MODEL, 0, fop_model},
    {FID_MATERIAL_INDEX, 1, fop_material_index},
    {FID_VERTICES, 1, fop_vertices},
    {FID_VERTEX_UV, 1, fop_vertex_uv},
    {FID_FACES, 1, fop_faces},
    {FID_FACE_MATERIAL, 0, fop_face_material},
    {FID_PIVOT, 0, fop_pivot},
};
const DfChunkTable model_table = {sizeof(model_entries) / sizeof(model_entries[0]), model_entries};

bool can_save(const br_model *m)
{
    if (m->vertices != nullptr && m->faces != nullptr && m->nvertices != 0 && m->nfaces != 0)
        return true;
    if (m->identifier != nullptr)
        BrWarning("%s", m->identifier);
    BrWarning("Model must have vertex and face information to save.");
    BrWarning("This information may have neem stripped on addition to");
    BrWarning("the registry. To prevent this, set the BR_MODF_UPDATEABLE");
    BrFailure("flag before adding the model to the registry.");
    return false;
}

void model_write(br_datafile *df, br_model *m)
{
    // The face materials, highest address first; no material ends up last and is not named.
    std::vector<br_material *> mats;
    for (int i = 0; i < m->nfaces; i++)
        mats.push_back(m->faces[i].material);
    std::sort(mats.begin(), mats.end(), std::greater<br_material *>());
    mats.erase(std::unique(mats.begin(), mats.end()), mats.end());
    if (!mats.empty() && mats.back() == nullptr)
        mats.pop_back();

    br_model copy = *m;
    copy.flags &= FILE_FLAGS;
    df->prims->chunk_write(df, FID_MODEL, df->prims->struct_size(df, &model_template, &copy));
    df->prims->struct_write(df, &model_template, &copy);

    DbfArrayChunkWrite(df, FID_VERTICES, &vertex_template, m->vertices, m->nvertices);
    for (int i = 0; i < m->nvertices; i++)
        if (m->vertices[i].map.v[0] != 0.0f || m->vertices[i].map.v[1] != 0.0f) {
            DbfArrayChunkWrite(df, FID_VERTEX_UV, &vertex_uv_template, m->vertices, m->nvertices);
            break;
        }
    DbfArrayChunkWrite(df, FID_FACES, &face_template, m->faces, m->nfaces);

    if (!mats.empty()) {
        br_uint_32 size = df->prims->count_size(df);
        for (br_material *mat : mats)
            size += df->prims->name_size(df, mat->identifier);
        df->prims->chunk_write(df, FID_MATERIAL_INDEX, size);
        df->prims->count_write(df, (br_uint_32)mats.size());
        for (br_material *mat : mats)
            df->prims->name_write(df, mat->identifier);

        std::vector<br_uint_16> entries(m->nfaces);
        for (int i = 0; i < m->nfaces; i++) {
            br_material *mat = m->faces[i].material;
            entries[i] = mat == nullptr ? 0
                                        : (br_uint_16)(1 + (std::find(mats.begin(), mats.end(), mat) - mats.begin()));
        }
        br_uint_32 n = m->nfaces;
        df->prims->chunk_write(df, FID_FACE_MATERIAL, df->prims->block_size(df, entries.data(), n, 2 * n, 1, 2));
        df->prims->block_write(df, entries.data(), n, 2 * (br_int_32)n, 1, 2);
    }

    // A pivot other than the origin would otherwise be lost on the way through the file.
    if (m->pivot.v[0] != 0.0f || m->pivot.v[1] != 0.0f || m->pivot.v[2] != 0.0f) {
        df->prims->chunk_write(df, FID_PIVOT, df->prims->struct_size(df, &pivot_template, m));
        df->prims->struct_write(df, &pivot_template, m);
    }
    DfChunkEndWrite(df);
}

} // namespace

br_uint_32 BrModelLoadMany(const char *filename, br_model **models, br_uint_16 num)
{
    return DbfLoadMany(filename, &model_table, DFS_MODEL, (void **)models, num);
}

br_model *BrModelLoad(const char *filename)
{
    br_model *m = nullptr;
    return BrModelLoadMany(filename, &m, 1) == 1 ? m : nullptr;
}

br_error BrModelFileCount(const char *filename, br_uint_16 *num)
{
    return DbfFileCount(filename, &model_table, DFS_MODEL, num);
}

br_uint_32 BrModelSaveMany(const char *filename, br_model **models, br_uint_16 num)
{
    std::vector<br_model *> saved;
    for (br_model *m : DbfItems(models, num, BrModelEnum))
        if (can_save(m))
            saved.push_back(m);
    return DbfSaveItems(filename, FILE_TYPE_MODEL, saved, model_write);
}

br_uint_32 BrModelSave(const char *filename, br_model *model)
{
    return BrModelSaveMany(filename, &model, 1);
}
