// The models of terrow.pck: loading through OwnFs with their scales, the texture maps (.uvd files,
// planar maps, the debris taking their whole's coordinates) and the list the partial redraw uses.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brmodel.h>
#include <brondel/brpixmap.h>
#include <brondel/brres.h>

#include "terrow/trlook.h"
#include "terrow/trmsg.h"
#include "terrow/trpick.h"
#include "vokplat/stdio.h"

namespace {

enum Scale { kNone, kBlock, kBall, kCorner, kArrow, kCountPlate, kDigit };

struct ModelSlot {
    const char *slot;  // the name Model_Get knows it by
    const char *file;
    int count;
    Scale scale;
};

// In the order they load; the flat magnet is a second copy of lap.mod.
const ModelSlot kSlots[] = {
    {"kocka.mod", "kocka.mod", 1, kBlock},       {"lejto.mod", "lejto.mod", 1, kBlock},
    {"lejtof.mod", "lejtof.mod", 1, kBlock},     {"lap.mod", "lap.mod", 1, kBlock},
    {"lapf.mod", "lapf.mod", 1, kBlock},         {"tuskes.mod", "tuskes.mod", 1, kBlock},
    {"tuskesb.mod", "tuskesb.mod", 1, kBlock},   {"magnes.mod", "magnes.mod", 1, kBlock},
    {"lapmagnes", "lap.mod", 1, kBlock},         {"gomb.mod", "gomb.mod", 1, kBall},
    {"bomb.mod", "bomb.mod", 1, kBall},          {"utkozo.mod", "utkozo.mod", 1, kCorner},
    {"nyil.mod", "nyil.mod", 1, kArrow},         {"picinyil.mod", "picinyil.mod", 1, kArrow},
    {"szamlap.mod", "szamlap.mod", 1, kCountPlate}, {"palastm.mod", "palastm.mod", 1, kNone},
    {"palasta.mod", "palasta.mod", 1, kNone},    {"palastaf.mod", "palastaf.mod", 1, kNone},
    {"alap.mod", "alap.mod", 1, kNone},          {"button.mod", "button.mod", 1, kNone},
    {"bny.mod", "bny.mod", 1, kNone},            {"negyzet.mod", "negyzet.mod", 1, kNone},
    {"negyzet3.mod", "negyzet3.mod", 1, kNone},  {"pieces_g.mod", "pieces_g.mod", 12, kBall},
    {"pieces_k.mod", "pieces_k.mod", 12, kBlock}, {"pieces_l.mod", "pieces_l.mod", 8, kBlock},
    {"pieces_m.mod", "pieces_m.mod", 14, kBlock}, {"utkozo_r.mod", "utkozo_r.mod", 8, kCorner},
    {"s0.mod", "s0.mod", 1, kDigit},             {"s1.mod", "s1.mod", 1, kDigit},
    {"s2.mod", "s2.mod", 1, kDigit},             {"s3.mod", "s3.mod", 1, kDigit},
    {"s4.mod", "s4.mod", 1, kDigit},             {"s5.mod", "s5.mod", 1, kDigit},
    {"s6.mod", "s6.mod", 1, kDigit},             {"s7.mod", "s7.mod", 1, kDigit},
    {"s8.mod", "s8.mod", 1, kDigit},             {"s9.mod", "s9.mod", 1, kDigit},
};
constexpr int kSlotCount = int(sizeof kSlots / sizeof kSlots[0]);

std::vector<br_model *> g_models[kSlotCount];
std::vector<br_model *> g_redraw;
br_material *g_spikeMaterial = nullptr, *g_emptyMaterial = nullptr;

int slot_index(const char *slot)
{
    for (int i = 0; i < kSlotCount; i++)
        if (std::strcmp(kSlots[i].slot, slot) == 0)
            return i;
    return -1;
}

br_model *model(const char *slot, size_t index = 0)
{
    int i = slot_index(slot);
    return i >= 0 && index < g_models[i].size() ? g_models[i][index] : nullptr;
}

void apply_scale(br_model *m, Scale s)
{
    static const float block[3] = {1, 0.55f, 1}, ball[3] = {0.7f, 0.7f, 0.7f}, arrow[3] = {0.7f, 0.55f, 0.7f},
                       plate[3] = {0.4f, 0.55f, 0.5f}, digit[3] = {1.3f, 1.1f, 1.3f};
    const float a = 1.1f * (2.0f - 0.7f * std::sqrt(2.0f));
    const float corner[3] = {a, 0.55f, a}, centre[3] = {-0.05f, 0, -0.05f};
    switch (s) {
    case kNone: break;
    case kBlock: Model_Scale(m, block); break;
    case kBall: Model_Scale(m, ball); break;
    case kCorner: Model_ScaleAbout(m, corner, centre); break;
    case kArrow: Model_Scale(m, arrow); break;
    case kCountPlate: Model_Scale(m, plate); break;
    case kDigit: {
        Model_Scale(m, digit);
        br_matrix34 t;
        BrModelFitMap(m, BR_FIT_PLUS_X, BR_FIT_PLUS_Y, &t);
        BrMatrix34PostTranslate(&t, 0, 0.2f, 0);
        BrModelApplyMap(m, BR_MAP_PLANAR, &t);
        break;
    }
    }
}

// Each vertex takes the map coordinates of the first reference vertex at its place.
void copy_coordinates(br_model *piece, const br_model *ref, bool setUnmatched, float u, float v)
{
    if (piece == nullptr || ref == nullptr)
        return;
    for (int i = 0; i < piece->nvertices; i++) {
        br_vertex &pv = piece->vertices[i];
        bool found = false;
        for (int k = 0; k < ref->nvertices && !found; k++) {
            const br_vertex &rv = ref->vertices[k];
            if (std::fabs(rv.p.v[0] - pv.p.v[0]) < 0.001f && std::fabs(rv.p.v[1] - pv.p.v[1]) < 0.001f &&
                std::fabs(rv.p.v[2] - pv.p.v[2]) < 0.001f) {
                pv.map = rv.map;
                found = true;
            }
        }
        if (!found && setUnmatched) {
            pv.map.v[0] = u;
            pv.map.v[1] = v;
        }
    }
    BrModelUpdate(piece, BR_MODU_ALL);
}

void planar(br_model *m, int axis0, int axis1, float moveY = 0)
{
    if (m == nullptr)
        return;
    br_matrix34 t;
    BrModelFitMap(m, axis0, axis1, &t);
    if (moveY != 0)
        BrMatrix34PostTranslate(&t, 0, moveY, 0);
    BrModelApplyMap(m, BR_MAP_PLANAR, &t);
    BrModelUpdate(m, BR_MODU_ALL);
}

void set_faces_material(br_model *m, int from, br_material *mat, int to = 0xffff)
{
    if (m == nullptr)
        return;
    for (int f = from; f < m->nfaces && f < to; f++)
        m->faces[f].material = mat;
    BrModelUpdate(m, BR_MODU_ALL);
}

void finish_maps()
{
    // The grid maps.
    UVMap(model("kocka.mod"), "kocka.uvd", TrUTable, TrVTable, 0);
    UVMap(model("lap.mod"), "lap.uvd", TrUTable, TrVTable, 0);
    UVMap(model("lejto.mod"), "lejto.uvd", TrUTable, TrVTable, 0);
    UVMap(model("utkozo.mod"), "lejto.uvd", TrUTable, TrVTable, 0);
    // Debris takes the coordinates of its whole.
    for (br_model *p : g_models[slot_index("pieces_k.mod")])
        copy_coordinates(p, model("kocka.mod"), true, 1.0f / 6.0f, 0.25f);
    for (br_model *p : g_models[slot_index("pieces_g.mod")])
        copy_coordinates(p, model("gomb.mod"), false, 0, 0);
    for (br_model *p : g_models[slot_index("utkozo_r.mod")])
        copy_coordinates(p, model("utkozo.mod"), false, 0, 0);
    for (br_model *p : g_models[slot_index("pieces_l.mod")])
        copy_coordinates(p, model("lejto.mod"), true, 0, 0);
    // A hair larger, so that neighbours' faces do not fight in the depth buffer.
    static const float grow[3] = {1.01f, 1.01f, 1.01f};
    for (const char *s : {"kocka.mod", "lap.mod", "lejto.mod", "tuskes.mod", "tuskesb.mod"})
        if (br_model *m = model(s))
            Model_Scale(m, grow);
    // The spikes: a planar map over the top, the block's grid, the spikes themselves shiny metal.
    br_model *spikes = model("tuskes.mod"), *flatSpikes = model("tuskesb.mod");
    if (spikes != nullptr) {
        br_matrix34 t;
        BrModelFitMap(spikes, BR_FIT_PLUS_X, BR_FIT_PLUS_Z, &t);
        BrMatrix34PostScale(&t, 0.3f, 0.45f, 1.0f);
        BrMatrix34PreTranslate(&t, -2.67f, -2.5f, 0);
        BrModelApplyMap(spikes, BR_MAP_PLANAR, &t);
        UVMap(spikes, "szoges.uvd", TrUTable, TrVTable, 1);
        if (flatSpikes != nullptr)
            BrModelApplyMap(flatSpikes, BR_MAP_PLANAR, &t);
    }
    g_spikeMaterial = BrMaterialAllocate("yeeyeee");
    g_spikeMaterial->colour = 0xFFFFFF;
    g_spikeMaterial->ka = 0.1f;
    g_spikeMaterial->kd = 0.5f;
    g_spikeMaterial->ks = 1.5f;
    g_spikeMaterial->power = 30;
    g_spikeMaterial->flags = BR_MATF_LIT;
    BrMaterialAdd(g_spikeMaterial);
    set_faces_material(spikes, 14, g_spikeMaterial);
    set_faces_material(flatSpikes, 4, g_spikeMaterial);
    // The small arrow's base is drawn with an empty (black, keyed) map.
    br_pixelmap *empty = BrPixelmapAllocate(BR_PMT_RGB_565, 4, 4, nullptr, 0);
    if (empty != nullptr) {
        empty->identifier = BrResStrDup(empty, "ures-1");
        BrPixelmapFill(empty, 0);
        BrMapAdd(empty);
    }
    g_emptyMaterial = BrMaterialAllocate("ures-1");
    g_emptyMaterial->colour_map = empty;
    BrMaterialAdd(g_emptyMaterial);
    set_faces_material(model("picinyil.mod"), 0, g_emptyMaterial, 2);
    // Planar maps.
    for (const char *s : {"magnes.mod", "lapmagnes", "szamlap.mod", "button.mod", "bny.mod", "lapf.mod", "lejtof.mod"})
        planar(model(s), BR_FIT_PLUS_X, BR_FIT_PLUS_Z);
    for (br_model *p : g_models[slot_index("pieces_m.mod")])
        copy_coordinates(p, model("magnes.mod"), false, 0, 0);
    planar(model("nyil.mod"), BR_FIT_PLUS_X, BR_FIT_PLUS_Y, 0.40004f);
    planar(model("picinyil.mod"), BR_FIT_PLUS_X, BR_FIT_PLUS_Y, 0.40004f);
    planar(model("negyzet.mod"), BR_FIT_PLUS_X, BR_FIT_MINUS_Y);
    g_redraw.clear();
    for (const char *s : {"lejto.mod", "utkozo.mod", "kocka.mod", "magnes.mod", "tuskes.mod", "nyil.mod", "lap.mod",
                          "lapmagnes", "tuskesb.mod"})
        if (br_model *m = model(s))
            g_redraw.push_back(m);
    g_redraw.push_back(nullptr);
}

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

int32_t Model_LoadAll(void)
{
    Model_FreeAll();
    if (!OwnFs_OpenPack("terrow.pck")) {
        TrWarning("Cannot open terrow.pck");
        return 0;
    }
    for (int i = 0; i < kSlotCount; i++) {
        const ModelSlot &s = kSlots[i];
        std::vector<br_model *> got(size_t(s.count), nullptr);
        uint32_t n = s.count == 1 ? (got[0] = OwnFs_Load(s.file)) != nullptr
                                  : OwnFs_LoadMany(s.file, got.data(), uint16_t(s.count));
        got.resize(n);
        for (br_model *m : got) {
            BrModelAdd(m);
            apply_scale(m, s.scale);
            BrModelUpdate(m, BR_MODU_BOUNDS);
        }
        g_models[i] = got;
        if (n == 0) {
            TrWarning("model file: %s not found", s.file);
            Model_FreeAll();
            return 0;
        }
        if (int(n) < s.count) {
            TrWarning("multi model ld failed: %s", s.file);
            Model_FreeAll();
            return 0;
        }
    }
    finish_maps();
    return 1;
}

void Model_FreeAll(void)
{
    for (auto &list : g_models) {
        for (br_model *m : list)
            BrModelFree(BrModelRemove(m));
        list.clear();
    }
    g_redraw.clear();
    for (br_material **mat : {&g_spikeMaterial, &g_emptyMaterial})
        if (*mat != nullptr) {
            br_pixelmap *map = (*mat)->colour_map;
            BrMaterialFree(BrMaterialRemove(*mat));
            if (map != nullptr && mat == &g_emptyMaterial)
                BrPixelmapFree(BrMapRemove(map));
            *mat = nullptr;
        }
}

br_model *Model_Get(const char *file, int32_t index)
{
    return file != nullptr && index >= 0 ? model(file, size_t(index)) : nullptr;
}

br_model *const *Model_RedrawList(void)
{
    return g_redraw.empty() ? nullptr : g_redraw.data();
}

}  // extern "C"
