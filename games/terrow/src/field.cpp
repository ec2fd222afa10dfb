// The field and element records in memory: types, the default field, adding, removing and compacting,
// the ball list and change marks.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "terrow/trfield.h"
#include "terrow/trmodule.h"
#include "terrow/trmsg.h"

namespace {

// Change marks are off while debris is made during a run.
bool g_noChangeMark = false;

void *alloc_zeroed(size_t size)
{
    void *p = calloc(1, size);
    if (p == nullptr)
        TrFatal("malloc() failed");
    return p;
}

// An element at the largest coordinate keeps the extent at that coordinate rather than wrapping.
void widen_one(int32_t &extent, int32_t at)
{
    if (at >= extent)
        extent = at == INT32_MAX ? INT32_MAX : at + 1;
}

void widen(TrPalya *f, const EIo &io)
{
    widen_one(f->extentX, io.x);
    widen_one(f->extentY, io.y);
    widen_one(f->extentZ, io.z);
}

void free_elem(TrElem *e)
{
    free(e->io);
    free(e);
}

// Looks by type: which variants 0..3 have one.
struct VariantSet {
    int32_t type;
    unsigned mask;
};

const VariantSet kVariants[] = {
    {TY_G_FEM, 0x5},    {TY_G_GUMI, 0x5},   {TY_G_BOMBA, 0x5}, {TY_G_UVEG, 0x5},
    {TY_T_LEJTO, 0x7},  {TY_T_SAROK, 0x7},  {TY_T_SIMA, 0x7},  {TY_T_MAGNES, 0x1},
    {TY_T_SZOGES, 0x1}, {TY_T_CEL, 0x1},    {TY_T_INDITO, 0x7},
};

const struct {
    int32_t type;
    int message;
} kTypeTexts[] = {
    {TY_G_FEM, 18},   {TY_G_GUMI, 19},   {TY_G_BOMBA, 20},  {TY_G_UVEG, 21},
    {TY_T_SIMA, 22},  {TY_T_INDITO, 23}, {TY_T_SAROK, 24},  {TY_T_LEJTO, 25},
    {TY_T_MAGNES, 26}, {TY_T_SZOGES, 27}, {TY_T_CEL, 28},
};

}  // namespace

extern "C" {

uint32_t Elem_ClassOf(int32_t type)
{
    return type < TY_BALL_LIMIT ? EF_BALL : EF_NOT_BALL;
}

int Elem_TypeStorable(int32_t type)
{
    for (const VariantSet &v : kVariants)
        if (v.type == type)
            return 1;
    return 0;
}

int Elem_VariantKnown(int32_t type, int32_t variant)
{
    int32_t base = variant & ~4;
    if (variant < 0 || base > 3)
        return 0;
    for (const VariantSet &v : kVariants)
        if (v.type == type)
            return (v.mask >> base) & 1;
    return 0;
}

int Elem_TypeMessage(int32_t type)
{
    for (const auto &t : kTypeTexts)
        if (t.type == type)
            return t.message;
    return -1;
}

TrElem *Elem_NewV(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, uint32_t flags,
                  int32_t variant)
{
    auto *e = static_cast<TrElem *>(alloc_zeroed(sizeof(TrElem)));
    e->io = static_cast<EIo *>(alloc_zeroed(sizeof(EIo)));
    *e->io = EIo{x, y, z, direction, type, variant, flags};
    return e;
}

TrElem *Elem_New(int32_t x, int32_t y, int32_t z, int32_t direction, int32_t type, uint32_t flags)
{
    return Elem_NewV(x, y, z, direction, type, flags, 0);
}

TrElem *Elem_NewSample(int32_t type, int32_t x, int32_t y, int32_t z, int32_t direction)
{
    return Elem_New(x, y, z, direction, type, Elem_ClassOf(type) | EF_SAMPLE);
}

void Elem_Free(TrElem *elem)
{
    if (elem != nullptr)
        free_elem(elem);
}

TrNode *Node_Push(void *item, TrNode *head)
{
    auto *n = static_cast<TrNode *>(calloc(1, sizeof(TrNode)));
    if (n == nullptr)
        return head;
    n->item = item;
    n->next = head;
    if (head != nullptr)
        head->prev = n;
    return n;
}

TrNode *Node_Remove(TrNode *node)
{
    if (node == nullptr)
        return nullptr;
    TrNode *head = node;
    while (head->prev != nullptr)
        head = head->prev;
    if (head == node)
        head = node->next;
    if (node->prev != nullptr)
        node->prev->next = node->next;
    if (node->next != nullptr)
        node->next->prev = node->prev;
    free(node);
    return head;
}

TrNode *Node_RemoveItem(TrNode *head, void *item)
{
    for (TrNode *n = head; n != nullptr; n = n->next)
        if (n->item == item)
            return Node_Remove(n);
    return head;
}

void Node_FreeAll(TrNode *head)
{
    while (head != nullptr) {
        TrNode *next = head->next;
        free(head);
        head = next;
    }
}

int Palya_SuppressChangeMark(int on)
{
    int was = g_noChangeMark ? 1 : 0;
    g_noChangeMark = on != 0;
    return was;
}

void Palya_MarkChanged(TrPalya *field)
{
    if (g_noChangeMark)
        return;
    field->flags |= PF_MODIFIED;
    field->levelFlags &= ~(LF_PLAYABLE | LF_SPARE);
}

TrPalya *Palya_NewEmpty(void)
{
    auto *f = static_cast<TrPalya *>(alloc_zeroed(sizeof(TrPalya)));
    f->ballsNeeded = 1;
    f->pitch = TR_CAM_PITCH;
    f->yaw = TR_CAM_YAW;
    f->height = TR_CAM_HEIGHT;
    f->distance = TR_CAM_DISTANCE;
    return f;
}

TrPalya *Palya_New(void)
{
    TrPalya *f = Palya_NewEmpty();
    int32_t side = TrGetModule()->ini.PalyaMeret;
    if (side < 1 || side > TR_PALYA_MERET_MAX)
        side = TR_PALYA_MERET_DEFAULT;
    for (int32_t z = 0; z < side; z++)
        for (int32_t x = 0; x < side; x++)
            Palya_AddElem(f, Elem_New(x, 0, z, 0, TY_T_SIMA, EF_NOT_BALL | EF_LEVEL_PART));
    // A new field is no change of a loaded one.
    f->flags = 0;
    f->levelFlags = 0;
    return f;
}

void Palya_Free(TrPalya *field)
{
    if (field == nullptr)
        return;
    Node_FreeAll(field->balls);
    for (int32_t i = 0; i < field->count; i++)
        if (field->elements[i] != nullptr)
            free_elem(field->elements[i]);
    free(field->elements);
    free(field);
}

void Palya_AddElem(TrPalya *field, TrElem *elem)
{
    if (field->count == field->capacity) {
        int32_t room = field->capacity < 16 ? 16 : field->capacity * 2;
        void *grown = realloc(field->elements, size_t(room) * sizeof(TrElem *));
        if (grown == nullptr)
            TrFatal("realloc() failed");
        field->elements = static_cast<TrElem **>(grown);
        field->capacity = room;
    }
    field->elements[field->count++] = elem;
    widen(field, *elem->io);
    if (elem->io->flags & EF_BALL)
        field->balls = Node_Push(elem, field->balls);
    Palya_MarkChanged(field);
}

int Palya_IndexOf(const TrPalya *field, const TrElem *elem)
{
    for (int32_t i = 0; i < field->count; i++)
        if (field->elements[i] == elem)
            return i;
    return -1;
}

void Palya_Compact(TrPalya *field)
{
    int32_t kept = 0;
    field->extentX = field->extentY = field->extentZ = 0;
    for (int32_t i = 0; i < field->count; i++) {
        TrElem *e = field->elements[i];
        if (e == nullptr)
            continue;
        field->elements[kept++] = e;
        widen(field, *e->io);
    }
    field->count = kept;
    if (kept == 0) {
        free(field->elements);
        field->elements = nullptr;
        field->capacity = 0;
    } else if (kept < field->capacity) {
        void *shrunk = realloc(field->elements, size_t(kept) * sizeof(TrElem *));
        if (shrunk != nullptr) {
            field->elements = static_cast<TrElem **>(shrunk);
            field->capacity = kept;
        }
    }
}

void Palya_RemoveElem(TrPalya *field, TrElem *elem)
{
    int i = Palya_IndexOf(field, elem);
    if (i < 0)
        TrFatal("connot find elem in palya");
    field->balls = Node_RemoveItem(field->balls, elem);
    field->elements[i] = nullptr;
    free_elem(elem);
    Palya_Compact(field);
    Palya_MarkChanged(field);
}

int Palya_RemoveRunMade(TrPalya *field)
{
    bool any = false;
    for (int32_t i = 0; i < field->count; i++) {
        TrElem *e = field->elements[i];
        if (e != nullptr && (e->io->flags & EF_RUN_MADE)) {
            field->balls = Node_RemoveItem(field->balls, e);
            field->elements[i] = nullptr;
            free_elem(e);
            any = true;
        }
    }
    if (any)
        Palya_Compact(field);
    return any ? 1 : 0;
}

}  // extern "C"
