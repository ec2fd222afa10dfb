// libFuzzer target: bytes read as a Fenlow field file and as a saved position. Whatever is accepted
// must keep the element rules that the physics and the supply counters rely on.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "terrow/trfield.h"

namespace {

void check(const TrPalya *f)
{
    for (int32_t i = 0; i < f->count; i++) {
        const EIo &e = *f->elements[i]->io;
        bool ball = e.type < TY_BALL_LIMIT;
        if (e.x < 0 || e.x >= TR_CELLS_XZ || e.z < 0 || e.z >= TR_CELLS_XZ || e.y < 0 || e.y >= TR_LAYERS ||
            !Elem_TypeStorable(e.type) || e.direction < 0 || e.direction > (ball ? TR_DIR_UNSET : 3) ||
            !Elem_VariantKnown(e.type, e.variant) || (e.flags & EF_CLASS_MASK) != Elem_ClassOf(e.type) ||
            e.type + (ball ? 0 : e.direction) * 100 >= 400)
            abort();
    }
    if (f->extentX > TR_CELLS_XZ || f->extentY > TR_LAYERS || f->extentZ > TR_CELLS_XZ ||
        f->ballsNeeded < 0 || f->ballsNeeded > TR_BALLS_NEEDED_MAX)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *s = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (s == nullptr)
        return 0;
    if (TrPalya *f = Palya_FLoad(s)) {
        check(f);
        Palya_Free(f);
    }
    rewind(s);
    TrPalya *field = Palya_NewEmpty();
    Palya_FLoadUser(s, field);
    check(field);
    Palya_Free(field);
    fclose(s);
    return 0;
}
