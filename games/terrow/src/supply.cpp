// The supply counters and the game's rule of what may stand on what.
#include <string.h>

#include "terrow/trmsg.h"
#include "terrow/trplay.h"

namespace {

int32_t g_supply[TR_SUPPLY_COUNTERS];
const char *g_refusal = nullptr;

bool refuse(const char *text)
{
    g_refusal = text;
    return false;
}

// The rule without the free-cell test; `top` is 1 for the game's own check.
bool may_stand_on(const TrElem *target, int32_t type, int32_t direction)
{
    const int32_t t = target->io->type;
    if (type < TY_BALL_LIMIT)
        return t == TY_T_INDITO || refuse(TrMessage(15));
    if (target->io->flags & EF_BALL)
        return refuse(TrMessage(16));
    if (t == TY_T_INDITO)
        return refuse(TrMessage(17));
    if (t == TY_T_LEJTO || t == TY_T_SZOGES || t == TY_T_CEL)
        return refuse(TrMessage(16));
    if (t == TY_T_SAROK && (type != TY_T_SAROK || target->io->direction != direction))
        return refuse(TrMessage(11));
    return true;
}

}  // namespace

extern "C" {

int32_t Supply_Index(int32_t type, int32_t direction)
{
    if (type < 0 || type >= 100)
        return -1;
    if (type < TY_BALL_LIMIT)
        return type;
    if (direction < 0 || direction > 3)
        return -1;
    return type + direction * 100;
}

void Supply_Clear(void)
{
    memset(g_supply, 0, sizeof g_supply);
    TrCatalogueSupplyShow();
}

void Supply_Add(int32_t type, int32_t direction)
{
    const int32_t i = Supply_Index(type, direction);
    if (i < 0)
        return;
    g_supply[i]++;
    TrCatalogueSupplyShow();
}

int32_t Supply_Take(int32_t type, int32_t direction)
{
    const int32_t i = Supply_Index(type, direction);
    if (i < 0)
        return 0;
    const int32_t before = g_supply[i];
    if (before > 0)
        g_supply[i]--;
    TrCatalogueSupplyShow();
    return before;
}

int32_t Supply_Get(int32_t type, int32_t direction)
{
    const int32_t i = Supply_Index(type, direction);
    return i < 0 ? 0 : g_supply[i];
}

int Edit_CheckTop(const TrElem *target, int32_t carriedType, int32_t carriedDirection)
{
    g_refusal = nullptr;
    if (target == nullptr)
        return 0;
    if (target->io->flags & EF_SAMPLE)
        return refuse("Ez minta");
    if (!Palya_AboveFree(target))
        return refuse(TrMessage(14));
    return may_stand_on(target, carriedType, carriedDirection) ? 1 : 0;
}

int Edit_CheckSupport(const TrElem *below, int32_t carriedType, int32_t carriedDirection)
{
    g_refusal = nullptr;
    if (below == nullptr)
        return 0;
    if (below->io->flags & EF_SAMPLE)
        return refuse("Ez minta");
    return may_stand_on(below, carriedType, carriedDirection) ? 1 : 0;
}

void Edit_SetRefusal(const char *text)
{
    g_refusal = text;
}

const char *Edit_Refusal(void)
{
    return g_refusal;
}

}  // extern "C"
