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

}  // namespace

extern "C" {

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
