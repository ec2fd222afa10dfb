// Trace marks: small squares put where a ball touches a wall, each seen for one frame. At most 20 are
// made in a frame; the frame work clears them all before the next one.
#include <brondel/bractor.h>
#include <brondel/brmatrix.h>

#include "terrow/phys/phworld.h"
#include "terrow/trfx.h"
#include "terrow/trplay.h"

namespace {

br_actor *g_parent = nullptr;
br_model *g_square = nullptr;
br_material *g_material = nullptr;
br_actor *g_marks[TRACE_MARKS_MAX] = {};
int32_t g_count = 0;

}  // namespace

extern "C" {

void TraceMarks_Init(br_actor *parent, br_model *square, br_material *material)
{
    TraceMarks_Clear();
    g_parent = parent;
    g_square = square;
    g_material = material;
}

void TraceMarks_SetParent(br_actor *parent)
{
    TraceMarks_Clear();
    g_parent = parent;
}

void TrAddTraceMark(const float point[3])
{
    if (point == nullptr || g_count >= TRACE_MARKS_MAX || g_square == nullptr)
        return;
    const TrPalya *field = Palya_Current();
    br_actor *parent = g_parent != nullptr ? g_parent : field != nullptr ? field->translucentParent : nullptr;
    if (parent == nullptr)
        return;
    br_actor *a = BrActorAllocate(BR_ACTOR_MODEL, nullptr);
    if (a == nullptr)
        return;
    a->model = g_square;
    a->material = g_material;
    a->t.type = BR_TRANSFORM_MATRIX34;
    BrMatrix34Identity(&a->t.t.mat);
    // On the walls at either end of x the square stands upright.
    const float xEnd = field != nullptr ? float(field->extentX) * 0.1f - 0.01f : 0.0f;
    if (point[0] == 0.0f || (field != nullptr && point[0] > xEnd))
        BrMatrix34RotateY(&a->t.t.mat, br_angle(90 * 182));
    BrMatrix34PostTranslate(&a->t.t.mat, point[0], point[1], point[2]);
    BrActorAdd(parent, a);
    g_marks[g_count++] = a;
}

void TraceMarks_Clear(void)
{
    for (int32_t i = 0; i < g_count; i++) {
        if (g_marks[i]->parent != nullptr)
            BrActorRemove(g_marks[i]);
        BrActorFree(g_marks[i]);
        g_marks[i] = nullptr;
    }
    g_count = 0;
}

int32_t TraceMarks_Count(void)
{
    return g_count;
}

br_actor *TraceMarks_At(int32_t index)
{
    return index >= 0 && index < g_count ? g_marks[index] : nullptr;
}

void TraceMarks_InstallHost(void)
{
    PhHost h = Phys_Host();
    h.traceMark = TrAddTraceMark;
    Phys_SetHost(&h);
}

}  // extern "C"
