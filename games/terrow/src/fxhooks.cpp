// The effects behind the current field's seams: the tally and the pulse of a run, the shards of a
// broken piece, the balls' shadows made and freed with their actors, the fly-in of a level; and the
// sprites' one set-up and clean-up.
#include <brondel/bractor.h>
#include <brondel/brmaterial.h>

#include "terrow/trdib.h"
#include "terrow/trfx.h"
#include "terrow/trlook.h"
#include "terrow/trplay.h"

namespace {

br_pixelmap *g_view = nullptr, *g_depth = nullptr;
br_actor *g_camera = nullptr;
br_material *g_markMaterial = nullptr;
void (*g_lookMake)(TrElem *) = nullptr;
void (*g_lookFree)(TrElem *) = nullptr;

void make_with_shadows(TrElem *e)
{
    if (g_lookMake != nullptr)
        g_lookMake(e);
    if (e != nullptr && e->actor != nullptr)
        Shadow_Make(e);
}

void free_with_shadows(TrElem *e)
{
    Shadow_Free(e);
    if (g_lookFree != nullptr)
        g_lookFree(e);
}

}  // namespace

extern "C" {

void TrInstallFxHooks(br_pixelmap *view, br_pixelmap *depth, br_actor *camera)
{
    g_view = view;
    g_depth = depth;
    g_camera = camera;
    TrPlayHooks h = *TrPlayHooksGet();
    if (h.lookMake != make_with_shadows) {
        g_lookMake = h.lookMake;
        h.lookMake = make_with_shadows;
    }
    if (h.lookFree != free_with_shadows) {
        g_lookFree = h.lookFree;
        h.lookFree = free_with_shadows;
    }
    h.tallyStart = Tally_Start;
    h.tallyAddBall = Tally_AddBall;
    h.glowPulse = [](br_actor *actor, int32_t) { Glow_Pulse(g_view, g_depth, g_camera, actor); };
    h.shardsNew = [](TrElem *debris, uint32_t time) -> void * { return Shards_New(debris, time); };
    h.shardsStep = [](void *set, uint32_t time) { return Shards_Step(static_cast<TrShardSet *>(set), time) ? 0 : 1; };
    h.shardsFree = [](void *set) { Shards_Free(static_cast<TrShardSet *>(set)); };
    h.shadowUpdate = Shadow_Update;
    h.shadowFindBelow = Shadow_FindBelow;
    h.flyIn = Fx_FlyIn;
    TrSetPlayHooks(&h);
}

void Sprites_Init(void)
{
    if (g_markMaterial == nullptr) {
        br_material *m = BrMaterialAllocate("trace.mark");
        if (m != nullptr) {
            m->flags = 37 | 0x1020;
            m->opacity = 254;
            m->colour = 0xFFFFFF;
            m->ka = 0.8f;
            m->power = 12.0f;
            m->colour_map = TrLoadPicture("bq\\eroter.pix");
            m->index_shade = BrTableFind("shade\\b.shd");
            g_markMaterial = BrMaterialAdd(m);
        }
    }
    TraceMarks_Init(nullptr, Model_Get("negyzet3.mod", 0), g_markMaterial);
    Tally_LoadSequences();
    Glow_BuildVolumes();
}

void Sprites_Free(void)
{
    TraceMarks_Clear();
    TraceMarks_Init(nullptr, nullptr, nullptr);
    if (g_markMaterial != nullptr) {
        g_markMaterial->colour_map = nullptr;
        BrMaterialFree(BrMaterialRemove(g_markMaterial));
        g_markMaterial = nullptr;
    }
    Tally_Stop();
    Tally_FreeSequences();
    Glow_FreePulses();
}

}  // extern "C"
