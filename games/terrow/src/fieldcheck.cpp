// The rules every field the program ships keeps, checked when the fields are made.
#include <stdio.h>

#include <set>
#include <tuple>

#include "terrow/trplay.h"

namespace {

const TrElem *at(const TrPalya *f, int32_t x, int32_t y, int32_t z)
{
    for (int32_t i = 0; i < f->count; i++) {
        const EIo *io = f->elements[i]->io;
        if (io->x == x && io->y == y && io->z == z)
            return f->elements[i];
    }
    return nullptr;
}

}  // namespace

extern "C" int TrFieldCheck(const TrPalya *field, char *why, size_t size)
{
    auto fail = [&](const EIo *io, const char *what) {
        if (io != nullptr)
            snprintf(why, size, "%s at (%d, %d, %d)", what, int(io->x), int(io->y), int(io->z));
        else
            snprintf(why, size, "%s", what);
        return 0;
    };
    if (field == nullptr)
        return fail(nullptr, "no field");
    std::set<std::tuple<int32_t, int32_t, int32_t>> cells;
    bool goal = false, ball = false;
    for (int32_t i = 0; i < field->count; i++) {
        const TrElem *e = field->elements[i];
        const EIo *io = e->io;
        if (!cells.insert({io->x, io->y, io->z}).second)
            return fail(io, "two elements in one cell");
        goal |= io->type == TY_T_CEL;
        if (io->flags & EF_BALL) {
            ball = true;
            if (io->direction < 0 || io->direction > 3)
                return fail(io, "a ball without a direction");
        }
        // The editor never hands these out: a player could not take them from the supply.
        const bool alwaysFixed = io->type == TY_T_MAGNES || io->type == TY_T_SZOGES || io->type == TY_T_CEL;
        if (alwaysFixed && !(io->flags & EF_LEVEL_PART))
            return fail(io, "a supplied piece of a kind that is always fixed");
        if (io->y > 0) {
            const TrElem *below = at(field, io->x, io->y - 1, io->z);
            if (below != nullptr && (below->io->flags & EF_BALL))
                return fail(io, "a piece on a ball");
            if (!(io->flags & EF_LEVEL_PART) && !Edit_CheckSupport(below, io->type, io->direction))
                return fail(io, "a supplied piece not allowed where it stands");
        } else if (!(io->flags & EF_LEVEL_PART)) {
            return fail(io, "a supplied piece on the floor layer");
        }
    }
    if (!goal)
        return fail(nullptr, "no goal");
    if (!ball)
        return fail(nullptr, "no ball");
    return 1;
}
