// Shared pieces of the scene datafile tests: a begun library in a fresh folder, and a writer of
// chunks by hand for files the savers would never make.
#pragma once

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

#include <brondel/brdatafile.h>
#include <brondel/brdbfile.h>

#include "db_support.h"
#include "platform/temp_dir.h"

namespace dattest {

// Both forms of every file.
enum class Form { binary, text };

inline const char *form_name(const ::testing::TestParamInfo<Form> &info)
{
    return info.param == Form::binary ? "Binary" : "Text";
}

class Dat : public dbtest::Db {
protected:
    vok_test::TempDir dir{"brondel_dat"};

    void TearDown() override
    {
        DfWriteModeSet(DF_MODE_BINARY);
        dbtest::Db::TearDown();
    }
    std::string path(const std::string &name) const { return dir.str(name); }
    static void form_set(Form f) { DfWriteModeSet(f == Form::text ? DF_MODE_TEXT : DF_MODE_BINARY); }
};

// Records of the test's own, with the names and member types the library reads.
struct Vtx {
    float x, y, z;
};
struct Uv {
    float u, v;
};
struct Face {
    br_uint_16 v[3];
    br_uint_16 smoothing;
    br_uint_8 flags;
};
struct Mod {
    br_uint_16 flags;
    char *identifier;
};

inline const DfStructMember vtx_members[] = {
    {DF_TYPE_FLOAT, offsetof(Vtx, x), "p.v[X]", nullptr},
    {DF_TYPE_FLOAT, offsetof(Vtx, y), "p.v[Y]", nullptr},
    {DF_TYPE_FLOAT, offsetof(Vtx, z), "p.v[Z]", nullptr},
};
inline const DfStructTemplate vtx_template = {"br_vertex", 3, vtx_members, sizeof(Vtx)};
inline const DfStructMember uv_members[] = {
    {DF_TYPE_FLOAT, offsetof(Uv, u), "map.v[0]", nullptr},
    {DF_TYPE_FLOAT, offsetof(Uv, v), "map.v[1]", nullptr},
};
inline const DfStructTemplate uv_template = {"br_vertex_uv", 2, uv_members, sizeof(Uv)};
inline const DfStructMember face_members[] = {
    {DF_TYPE_UINT_16, offsetof(Face, v[0]), "vertices[0]", nullptr},
    {DF_TYPE_UINT_16, offsetof(Face, v[1]), "vertices[1]", nullptr},
    {DF_TYPE_UINT_16, offsetof(Face, v[2]), "vertices[2]", nullptr},
    {DF_TYPE_UINT_16, offsetof(Face, smoothing), "smoothing", nullptr},
    {DF_TYPE_UINT_8, offsetof(Face, flags), "flags", nullptr},
};
inline const DfStructTemplate face_template = {"br_face", 5, face_members, sizeof(Face)};
inline const DfStructMember mod_members[] = {
    {DF_TYPE_UINT_16, offsetof(Mod, flags), "flags", nullptr},
    {DF_TYPE_ASCIZ, offsetof(Mod, identifier), "identifier", nullptr},
};
inline const DfStructTemplate mod_template = {"br_model", 2, mod_members, sizeof(Mod)};

// Writes chunks one by one in the current write form. Lengths are right unless a test says otherwise.
struct Writer {
    br_datafile *df;
    explicit Writer(const std::string &path, br_uint_32 file_type = FILE_TYPE_MODEL)
    {
        df = DfOpen(path.c_str(), DF_DIRECTION_WRITE, BRT_FLOAT);
        DfFileInfoWrite(df, file_type);
    }
    ~Writer() { DfClose(df); }

    void chunk(br_uint_32 id, br_uint_32 length) { df->prims->chunk_write(df, id, length); }
    void end() { DfChunkEndWrite(df); }

    void model(const char *name)
    {
        static char buf[64];
        snprintf(buf, sizeof(buf), "%s", name);
        Mod m = {0, buf};
        chunk(FID_MODEL, df->prims->struct_size(df, &mod_template, &m));
        df->prims->struct_write(df, &mod_template, &m);
    }

    // count records are written, declared is the count the chunk claims.
    template <class T>
    void array(br_uint_32 id, const DfStructTemplate *str, std::vector<T> items, br_uint_32 declared)
    {
        T zero = {};
        br_uint_32 one = df->prims->struct_size(df, str, &zero);
        chunk(id, df->prims->count_size(df) + one * (br_uint_32)items.size());
        df->prims->count_write(df, declared);
        DfStructWriteArray(df, str, items.data(), (int)items.size());
    }
    void vertices(int n, br_uint_32 declared)
    {
        std::vector<Vtx> v;
        for (int i = 0; i < n; i++)
            v.push_back({(float)i, (float)(i * 2), 1.0f});
        array(FID_VERTICES, &vtx_template, v, declared);
    }
    void vertices(int n) { vertices(n, (br_uint_32)n); }
    void uvs(int n)
    {
        std::vector<Uv> v;
        for (int i = 0; i < n; i++)
            v.push_back({0.25f * (float)i, 0.5f});
        array(FID_VERTEX_UV, &uv_template, v, (br_uint_32)n);
    }
    void faces(std::vector<Face> f) { array(FID_FACES, &face_template, f, (br_uint_32)f.size()); }
    void material_index(const std::vector<const char *> &names, br_uint_32 declared)
    {
        br_uint_32 size = df->prims->count_size(df);
        for (const char *n : names)
            size += df->prims->name_size(df, n);
        chunk(FID_MATERIAL_INDEX, size);
        df->prims->count_write(df, declared);
        for (const char *n : names)
            df->prims->name_write(df, n);
    }
    void face_materials(std::vector<br_uint_16> e)
    {
        br_uint_32 n = (br_uint_32)e.size();
        chunk(FID_FACE_MATERIAL, df->prims->block_size(df, e.data(), n, 2 * (br_int_32)n, 1, 2));
        df->prims->block_write(df, e.data(), n, 2 * (br_int_32)n, 1, 2);
    }
};

} // namespace dattest
