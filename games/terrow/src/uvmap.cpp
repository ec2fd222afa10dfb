// The .uvd map files: six integers a face into a 3 x 2 grid of texture cells, the vertices split
// where faces meet with other coordinates.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <brondel/brmodel.h>
#include <brondel/brres.h>

#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "vokplat/stdio.h"

namespace {

// The integers of a .uvd text as "%d" reads them: reading stops for good at the first that fails.
std::vector<long> read_integers(const char *text)
{
    std::vector<long> out;
    const char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
            p++;
        char *end = nullptr;
        errno = 0;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            break;
        if (v > 0x7fffffffL || v < -0x7fffffffL - 1)
            v = -1;  // out of an int's range: no table index
        out.push_back(v);
        p = end;
    }
    return out;
}

bool same(const br_vector2 &a, float u, float v)
{
    return a.v[0] == u && a.v[1] == v;
}

}  // namespace

extern "C" {

const float TrUTable[6] = {0.001f, 0.333f, 0.34f, 0.66f, 0.67f, 0.99f};
const float TrVTable[4] = {0.001f, 0.5f, 0.51f, 0.99f};

int32_t UVMapText(br_model *m, const char *text, const float *uTable, const float *vTable, int32_t mode)
{
    if (m == nullptr || text == nullptr || m->vertices == nullptr || m->faces == nullptr)
        return 0;
    const std::vector<long> ints = read_integers(text);
    const size_t nv = m->nvertices, nf = m->nfaces;
    // Room for every vertex and a copy for each corner: the counts are 16 bits, so more is refused.
    std::vector<br_vertex> verts(m->vertices, m->vertices + nv);
    verts.reserve(nv + 3 * nf);
    std::vector<char> given(nv, 0);
    std::vector<std::vector<uint16_t>> copies(nv);
    std::vector<uint16_t> corners(3 * nf);
    auto at = [&](size_t k) -> long { return k < ints.size() ? ints[k] : -1; };
    for (size_t f = 0; f < nf; f++)
        for (int c = 0; c < 3; c++) {
            const size_t k = f * 6 + size_t(c) * 2;
            const long ui = at(k), vi = at(k + 1);
            const float U = ui >= 0 && ui < 6 ? uTable[ui] : 0.0f, V = vi >= 0 && vi < 4 ? vTable[vi] : 0.0f;
            const uint16_t vx = m->faces[f].vertices[c];
            if (vx >= nv) {
                TrWarning("UVMap: %s has a face with a bad vertex", m->identifier ? m->identifier : "model");
                return 0;
            }
            const br_vertex &own = m->vertices[vx];
            float u = U, v = V;
            if (mode == 1) {
                // A bad U keeps the vertex's own coordinates; a bad V keeps its own V.
                if (U == 0.0f) {
                    u = own.map.v[0];
                    v = own.map.v[1];
                } else if (V == 0.0f) {
                    v = own.map.v[1];
                }
            }
            uint16_t use = vx;
            if (!given[vx]) {
                given[vx] = 1;
                verts[vx].map.v[0] = u;
                verts[vx].map.v[1] = v;
            } else if (!same(verts[vx].map, u, v)) {
                bool found = false;
                for (uint16_t cp : copies[vx])
                    if (same(verts[cp].map, u, v)) {
                        use = cp;
                        found = true;
                        break;
                    }
                if (!found) {
                    if (verts.size() >= 0xffff) {
                        TrWarning("UVMap: %s needs more than 65535 vertices", m->identifier ? m->identifier : "model");
                        return 0;
                    }
                    br_vertex copy = own;
                    copy.map.v[0] = u;
                    copy.map.v[1] = v;
                    use = uint16_t(verts.size());
                    verts.push_back(copy);
                    copies[vx].push_back(use);
                }
            }
            corners[f * 3 + size_t(c)] = use;
        }
    auto *fresh = static_cast<br_vertex *>(BrResAllocate(m, sizeof(br_vertex) * verts.size(), BR_MEMORY_VERTICES));
    if (fresh == nullptr) {
        TrWarning("UVMap: malloc failed");
        return 0;
    }
    std::memcpy(fresh, verts.data(), sizeof(br_vertex) * verts.size());
    BrResFree(m->vertices);
    m->vertices = fresh;
    m->nvertices = uint16_t(verts.size());
    for (size_t f = 0; f < nf; f++)
        for (int c = 0; c < 3; c++)
            m->faces[f].vertices[c] = corners[f * 3 + size_t(c)];
    BrModelUpdate(m, 0x7fff);
    return 1;
}

int32_t UVMap(br_model *m, const char *file, const float *uTable, const float *vTable, int32_t mode)
{
    if (m == nullptr)
        return 0;
    FILE *f = file != nullptr ? PlatFopen(file, "rt") : nullptr;
    if (f == nullptr) {
        TrWarning("UVMap: %s file not found", file != nullptr ? file : "");
        return 0;
    }
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    fclose(f);
    return UVMapText(m, text.c_str(), uTable, vTable, mode);
}

}  // extern "C"
