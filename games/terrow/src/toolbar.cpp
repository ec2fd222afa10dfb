// Animated picture buttons. The main thread draws into the screen picture; the worker draws into the
// toolbar's own buffer and presents from there, so the two never write the same pixels. A press while
// another animates joins a locked queue: the worker runs them in order and none is lost.
#include "terrow/trtoolbar.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <brondel/brpixmap.h>

#include "pannix/pxpix.h"
#include "seqload.h"
#include "terrow/trdib.h"
#include "terrow/trshell.h"
#include "win32/wintime.h"

namespace {

TrButton *g_first = nullptr;
TrButton *g_hovered = nullptr;
TrGroup *g_open = nullptr;
TrToolbarPresent g_present = nullptr;

br_pixelmap *g_buffer_pix = nullptr;
DIBUFFER *g_buffer = nullptr;

// The masked copies and the backgrounds they restore.
std::mutex g_blit;

struct Pending {
    TrButton *button;
    br_pixelmap *picture;
    int32_t toState;
};
std::mutex g_queue_lock;
std::condition_variable g_queue_signal;
std::condition_variable g_idle_signal;
std::deque<Pending> g_queue;
bool g_stop = false;
bool g_animating = false;
std::thread *g_worker = nullptr;

int32_t load_frame(const TrButton *b)
{
    return __atomic_load_n(&b->currentFrame, __ATOMIC_ACQUIRE);
}

void set_frame(TrButton *b, int32_t f)
{
    __atomic_store_n(&b->currentFrame, f, __ATOMIC_RELEASE);
}

void default_present(const TrButton *, int32_t, int32_t x, int32_t y, int32_t w, int32_t h, int32_t fromBuffer)
{
    HDC dc = TrGetShell()->dc;
    if (fromBuffer)
        TrDibPresentBuffer(dc, x, y, w, h, g_buffer);
    else
        TrDibPresentRect(dc, x, y, w, h);
}

void present(const TrButton *b, int32_t frame, int32_t x, int32_t y, int32_t w, int32_t h, int32_t fromBuffer)
{
    (g_present != nullptr ? g_present : default_present)(b, frame, x, y, w, h, fromBuffer);
}

// Copies the 16-bit pixels of `src` whose mask byte is not 0 to (x, y) of `dst` (no mask: all).
void masked_copy(br_pixelmap *dst, int32_t x, int32_t y, const br_pixelmap *src, const br_pixelmap *mask)
{
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    const int32_t w = src->width, h = src->height;
    for (int32_t r = 0; r < h; r++) {
        const int32_t dy = y + r;
        if (dy < 0 || dy >= dst->height)
            continue;
        const auto *s = reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(src->pixels) +
                                                            (size_t)r * src->row_bytes);
        auto *d = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(dst->pixels) + (size_t)dy * dst->row_bytes);
        const uint8_t *m = nullptr;
        if (mask != nullptr && mask->pixels != nullptr && r < mask->height)
            m = static_cast<const uint8_t *>(mask->pixels) + (size_t)r * mask->row_bytes;
        for (int32_t c = 0; c < w; c++) {
            const int32_t dx = x + c;
            if (dx < 0 || dx >= dst->width)
                continue;
            if (mask != nullptr && (m == nullptr || c >= mask->width || m[c] == 0))
                continue;
            d[dx] = s[c];
        }
    }
}

// A plain copy of w x h from (sx, sy) of src to (dx, dy) of dst, clipped to both.
void copy_rect(br_pixelmap *dst, int32_t dx, int32_t dy, const br_pixelmap *src, int32_t sx, int32_t sy, int32_t w,
               int32_t h)
{
    if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr)
        return;
    for (int32_t r = 0; r < h; r++) {
        const int32_t ty = dy + r, fy = sy + r;
        if (ty < 0 || ty >= dst->height || fy < 0 || fy >= src->height)
            continue;
        const auto *s = reinterpret_cast<const uint16_t *>(static_cast<const uint8_t *>(src->pixels) +
                                                            (size_t)fy * src->row_bytes);
        auto *d = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(dst->pixels) + (size_t)ty * dst->row_bytes);
        for (int32_t c = 0; c < w; c++) {
            const int32_t tx = dx + c, fx = sx + c;
            if (tx >= 0 && tx < dst->width && fx >= 0 && fx < src->width)
                d[tx] = s[fx];
        }
    }
}

const br_pixelmap *mask_of(const TrButton *b, int32_t frame)
{
    if (b->masks == nullptr || b->maskCount == 0)
        return nullptr;
    if (b->oneMask || frame >= b->maskCount)
        return b->masks[0];
    return b->masks[frame];
}

int32_t rest_frame(const TrButton *b)
{
    const int32_t f = b->stateFrames[b->state ? 1 : 0];
    return f >= 0 && f < b->frameCount ? f : 0;
}

// One frame of an animation into the toolbar buffer (or the picture for a group member), presented.
void animate_frame(TrButton *b, br_pixelmap *picture, int32_t f)
{
    const uint32_t t0 = timeGetTime();
    if (b->inGroup) {
        {
            std::lock_guard<std::mutex> hold(g_blit);
            set_frame(b, f);
            masked_copy(picture, b->x, b->y, b->frames[f], mask_of(b, f));
        }
        present(b, f, b->x, b->y, b->w, b->h, 0);
    } else {
        // The buffer is presented under the lock too: it cannot be freed while it is shown.
        std::lock_guard<std::mutex> hold(g_blit);
        set_frame(b, f);
        if (g_buffer_pix != nullptr) {
            if (b->background != nullptr)
                copy_rect(g_buffer_pix, 0, 0, b->background, 0, 0, b->w, b->h);
            masked_copy(g_buffer_pix, 0, 0, b->frames[f], mask_of(b, f));
        }
        present(b, f, b->x, b->y, b->w, b->h, 1);
    }
    const uint32_t spent = timeGetTime() - t0;
    if (spent < (uint32_t)b->frameTime)
        Sleep((DWORD)(b->frameTime - spent));
}

void animate(TrButton *b, br_pixelmap *picture, int32_t toState)
{
    if (b->frames == nullptr || b->frameCount == 0)
        return;
    if (b->kind == TR_BUTTON_TOGGLE) {
        if (toState) {
            const int32_t last = b->stateFrames[1] < b->frameCount ? b->stateFrames[1] : b->frameCount - 1;
            for (int32_t f = b->stateFrames[0] + 1; f <= last; f++)
                animate_frame(b, picture, f);
        } else {
            animate_frame(b, picture, 0);
        }
    } else {
        for (int32_t f = 1; f <= 12 && f < b->frameCount; f++)
            animate_frame(b, picture, f);
        animate_frame(b, picture, 0);
    }
    set_frame(b, -1);
}

void take_background(TrButton *b, br_pixelmap *picture)
{
    if (b->backgroundTaken || picture == nullptr || b->w <= 0 || b->h <= 0)
        return;
    std::lock_guard<std::mutex> hold(g_blit);
    if (b->background == nullptr) {
        b->background = PxAllocPix(BR_PMT_RGB_565, b->w, b->h, nullptr, 0);
        b->ownsBackground = b->background != nullptr;
    }
    if (b->background != nullptr)
        copy_rect(b->background, 0, 0, picture, b->x, b->y, b->w, b->h);
    b->backgroundTaken = 1;
}

void draw_frame(TrButton *b, br_pixelmap *picture, int32_t f)
{
    if (b->frames == nullptr || b->frameCount == 0 || picture == nullptr)
        return;
    if (f < 0 || f >= b->frameCount)
        f = 0;
    {
        std::lock_guard<std::mutex> hold(g_blit);
        if (b->ownBackground && !b->inGroup && b->background != nullptr && b->backgroundTaken)
            copy_rect(picture, b->x, b->y, b->background, 0, 0, b->w, b->h);
        masked_copy(picture, b->x, b->y, b->frames[f], mask_of(b, f));
    }
    present(b, f, b->x, b->y, b->w, b->h, 0);
}

void unlink(TrButton *b)
{
    if (b->previous != nullptr)
        b->previous->next = b->next;
    else if (g_first == b)
        g_first = b->next;
    if (b->next != nullptr)
        b->next->previous = b->previous;
    b->next = b->previous = nullptr;
}

void forget_queued(TrButton *b)
{
    std::unique_lock<std::mutex> hold(g_queue_lock);
    for (auto it = g_queue.begin(); it != g_queue.end();)
        it = it->button == b ? g_queue.erase(it) : it + 1;
    // The one animating now ends before its button goes.
    g_idle_signal.wait(hold, [] { return !g_animating || g_worker == nullptr; });
}

}  // namespace

extern "C" {

TrButton *TrButtonNewFrom(int32_t kind, TrButtonRoutine after, int32_t x, int32_t y, br_pixelmap **frames,
                          int32_t frameCount, br_pixelmap **masks, int32_t maskCount)
{
    auto *b = static_cast<TrButton *>(std::calloc(1, sizeof(TrButton)));
    if (b == nullptr)
        return nullptr;
    b->kind = kind == TR_BUTTON_TOGGLE ? TR_BUTTON_TOGGLE : TR_BUTTON_PUSH;
    b->currentFrame = -1;
    b->shown = 1;
    b->enabled = 1;
    b->ownBackground = 1;
    b->x = x;
    b->y = y;
    b->after = after;
    b->frames = frames;
    b->frameCount = frames != nullptr ? frameCount : 0;
    b->masks = masks;
    b->maskCount = masks != nullptr ? maskCount : 0;
    b->oneMask = !(b->frameCount == 1 || b->frameCount == b->maskCount);
    b->frameTime = TR_BUTTON_FRAME_MS;
    b->hoverFrame = -1;
    b->ownsFrames = 1;
    b->stateFrames[0] = 0;
    b->stateFrames[1] = b->kind == TR_BUTTON_TOGGLE && b->frameCount > 0 ? b->frameCount - 1 : 0;
    if (b->frameCount > 0 && frames[0] != nullptr) {
        b->w = frames[0]->width;
        b->h = frames[0]->height;
    } else {
        b->w = 100;
        b->h = 50;
    }
    b->hitX = x;
    b->hitY = y;
    b->hitW = b->w;
    b->hitH = b->h;
    b->next = g_first;
    if (g_first != nullptr)
        g_first->previous = b;
    g_first = b;
    return b;
}

TrButton *TrButtonNew(int32_t kind, TrButtonRoutine after, int32_t x, int32_t y, const char *picturePath)
{
    br_pixelmap *frames[TR_SEQ_MAX], *masks[TR_SEQ_MAX];
    int32_t n = 0, m = 0;
    if (picturePath != nullptr) {
        n = TrLoadSequence(picturePath, "pix", TR_SEQ_PACK, frames, TR_SEQ_MAX);
        char maskBase[300];
        TrMaskBase(picturePath, maskBase, sizeof maskBase);
        m = TrLoadSequence(maskBase, "bmp", TR_SEQ_PACK, masks, TR_SEQ_MAX);
    }
    br_pixelmap **f = nullptr, **k = nullptr;
    if (n > 0) {
        f = static_cast<br_pixelmap **>(std::calloc((size_t)n, sizeof *f));
        if (f != nullptr)
            std::memcpy(f, frames, (size_t)n * sizeof *f);
    }
    if (m > 0) {
        k = static_cast<br_pixelmap **>(std::calloc((size_t)m, sizeof *k));
        if (k != nullptr)
            std::memcpy(k, masks, (size_t)m * sizeof *k);
    }
    TrButton *b = TrButtonNewFrom(kind, after, x, y, f, f != nullptr ? n : 0, k, k != nullptr ? m : 0);
    if (b != nullptr)
        b->ownsFrames = 0;  // registered by name: they go with the registry
    if (b != nullptr && picturePath != nullptr) {
        snprintf(b->name, sizeof b->name, "%s", picturePath);
        if (char *slash = std::strchr(b->name, '\\'))
            *slash = '\0';
    }
    return b;
}

void TrButtonFree(TrButton *b)
{
    if (b == nullptr)
        return;
    forget_queued(b);
    if (g_hovered == b)
        g_hovered = nullptr;
    if (b->group != nullptr) {
        if (g_open == b->group)
            g_open = nullptr;
        for (int32_t i = 0; i < b->group->count; i++)
            if (b->group->members[i] != nullptr)
                b->group->members[i]->group = nullptr;
        std::free(b->group);
        b->group = nullptr;
    }
    unlink(b);
    // A reordered button lists some pictures twice: the pictures go by the order they were loaded in.
    br_pixelmap **frames = b->loadedFrames != nullptr ? b->loadedFrames : b->frames;
    br_pixelmap **masks = b->loadedMasks != nullptr ? b->loadedMasks : b->masks;
    if (b->ownsFrames) {
        for (int32_t i = 0; i < b->frameCount; i++)
            PxFreePix(frames[i]);
        for (int32_t i = 0; i < b->maskCount; i++)
            PxFreePix(masks[i]);
    }
    std::free(b->frames);
    std::free(b->masks);
    std::free(b->loadedFrames);
    std::free(b->loadedMasks);
    if (b->ownsBackground && b->background != nullptr)
        PxFreePix(b->background);
    std::free(b);
}

void TrButtonFreeAll(void)
{
    // Members first would leave their owner's group pointing at freed buttons: detach groups.
    for (TrButton *b = g_first; b != nullptr; b = b->next)
        if (b->group != nullptr)
            for (int32_t i = 0; i < b->group->count; i++)
                b->group->members[i] = nullptr;
    while (g_first != nullptr) {
        TrButton *b = g_first;
        // A member sharing its owner's background must not free it.
        TrButtonFree(b);
    }
    g_open = nullptr;
    g_hovered = nullptr;
}

TrButton *TrButtonFirst(void)
{
    return g_first;
}

void TrButtonHide(TrButton *b)
{
    if (b != nullptr)
        b->shown = 0;
}

void TrButtonShow(TrButton *b)
{
    if (b != nullptr) {
        b->shown = 1;
        __atomic_store_n(&b->redraw, 1, __ATOMIC_RELEASE);
    }
}

void TrButtonEnable(TrButton *b, int32_t on)
{
    if (b != nullptr)
        b->enabled = on ? 1 : 0;
}

void TrButtonBefore(TrButton *b, TrButtonRoutine routine)
{
    if (b != nullptr)
        b->before = routine;
}

void TrButtonSync(TrButton *b, int32_t on)
{
    if (b != nullptr)
        b->synchronous = on ? 1 : 0;
}

void TrButtonPressOffset(TrButton *b, int32_t rows)
{
    if (b != nullptr)
        b->pressOffset = rows;
}

void TrButtonHitRect(TrButton *b, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (b == nullptr)
        return;
    b->hitX = x;
    b->hitY = y;
    b->hitW = w;
    b->hitH = h;
}

void TrButtonMaskTest(TrButton *b, int32_t on)
{
    if (b != nullptr)
        b->maskTest = on ? 1 : 0;
}

void TrButtonSetState(TrButton *b, int32_t state)
{
    if (b == nullptr)
        return;
    state = state ? 1 : 0;
    // A state that changed shows its rest frame at the next drawing.
    if (b->state != state || b->pressOffset)
        __atomic_store_n(&b->redraw, 1, __ATOMIC_RELEASE);
    b->state = state;
}

void TrButtonReorder(TrButton *b, const int32_t *order, int32_t count)
{
    // The table reads old frames up to its largest entry: shorter sequences keep their order.
    if (b == nullptr || order == nullptr || count <= 0 || b->frameCount < count)
        return;
    if (b->loadedFrames == nullptr) {
        b->loadedFrames = static_cast<br_pixelmap **>(std::calloc((size_t)b->frameCount, sizeof(br_pixelmap *)));
        if (b->loadedFrames == nullptr)
            return;
        std::memcpy(b->loadedFrames, b->frames, (size_t)b->frameCount * sizeof(br_pixelmap *));
    }
    for (int32_t i = 0; i < count; i++)
        if (order[i] >= 0 && order[i] < b->frameCount)
            b->frames[i] = b->loadedFrames[order[i]];
    if (!b->oneMask && b->maskCount >= count) {
        if (b->loadedMasks == nullptr) {
            b->loadedMasks = static_cast<br_pixelmap **>(std::calloc((size_t)b->maskCount, sizeof(br_pixelmap *)));
            if (b->loadedMasks == nullptr)
                return;
            std::memcpy(b->loadedMasks, b->masks, (size_t)b->maskCount * sizeof(br_pixelmap *));
        }
        for (int32_t i = 0; i < count; i++)
            if (order[i] >= 0 && order[i] < b->maskCount)
                b->masks[i] = b->loadedMasks[order[i]];
    }
}

TrButton *TrButtonAt(int32_t x, int32_t y)
{
    for (TrButton *b = g_first; b != nullptr; b = b->next) {
        if (!b->shown || x < b->hitX || y < b->hitY || x >= b->hitX + b->hitW || y >= b->hitY + b->hitH)
            continue;
        if (b->maskTest) {
            const br_pixelmap *m = mask_of(b, rest_frame(b));
            const int32_t mx = x - b->x, my = y - b->y;
            if (m == nullptr || m->pixels == nullptr || mx < 0 || my < 0 || mx >= m->width || my >= m->height)
                continue;
            if (static_cast<const uint8_t *>(m->pixels)[(size_t)my * m->row_bytes + mx] == 0)
                continue;
        }
        return b;
    }
    return nullptr;
}

TrButton *TrButtonEnabledAt(int32_t x, int32_t y)
{
    TrButton *b = TrButtonAt(x, y);
    return b != nullptr && b->enabled ? b : nullptr;
}

int32_t TrButtonFrameFor(const TrButton *b, int32_t hovered)
{
    if (b == nullptr || !b->shown || b->frames == nullptr || b->frameCount == 0 || load_frame(b) >= 0)
        return -1;
    int32_t f = rest_frame(b);
    if (hovered && b->hoverFrame >= 0) {
        f = b->hoverFrame;
        if (b->kind == TR_BUTTON_TOGGLE && b->state == 1)
            f = b->frameCount - b->hoverFrame - 1;
    }
    return f >= 0 && f < b->frameCount ? f : 0;
}

int32_t TrButtonCurrentFrame(const TrButton *b)
{
    return b != nullptr ? load_frame(b) : -1;
}

void TrButtonDraw(TrButton *b, br_pixelmap *picture)
{
    const int32_t f = TrButtonFrameFor(b, b == g_hovered);
    if (f >= 0)
        draw_frame(b, picture, f);
}

void TrButtonHover(int32_t x, int32_t y, br_pixelmap *picture)
{
    TrButton *old = g_hovered;
    if (old != nullptr && old->enabled && old->shown && TrButtonAt(x, y) == old)
        return;
    TrButton *now = TrButtonEnabledAt(x, y);
    if (now == old)
        return;
    g_hovered = now;
    if (old != nullptr) {
        const int32_t f = TrButtonFrameFor(old, 0);
        if (f >= 0)
            draw_frame(old, picture, f);
    }
    if (now != nullptr) {
        const int32_t f = TrButtonFrameFor(now, 1);
        if (f >= 0)
            draw_frame(now, picture, f);
    }
}

TrButton *TrButtonHovered(void)
{
    return g_hovered;
}

void TrButtonDrawAll(br_pixelmap *picture)
{
    for (TrButton *b = g_first; b != nullptr; b = b->next)
        if (b->ownBackground && !b->inGroup)
            take_background(b, picture);
    for (TrButton *b = g_first; b != nullptr; b = b->next) {
        __atomic_store_n(&b->redraw, 0, __ATOMIC_RELEASE);
        TrButtonDraw(b, picture);
    }
}

void TrButtonPress(TrButton *b, br_pixelmap *picture)
{
    if (b == nullptr || !b->enabled)
        return;
    if (b->group != nullptr) {
        TrGroupOpen(b->group);
        if (b->frames != nullptr && b->frameCount > 0)
            draw_frame(b, picture, b->hoverFrame >= 0 ? b->hoverFrame : rest_frame(b));
    }
    if (b->kind == TR_BUTTON_TOGGLE)
        b->state = b->state ? 0 : 1;
    if (b->before != nullptr)
        b->before(b);
    if (b->ownBackground) {
        if (!b->synchronous && !b->inGroup) {
            bool queued = false;
            {
                std::lock_guard<std::mutex> hold(g_queue_lock);
                if (g_worker != nullptr) {
                    g_queue.push_back(Pending{b, picture, b->state});
                    queued = true;
                }
            }
            if (queued)
                g_queue_signal.notify_one();
            else
                animate(b, picture, b->state);  // no worker (tests, a start that failed): at once
        } else {
            animate(b, picture, b->state);
        }
    }
    if (b->inGroup)
        TrGroupClose();
    if (b->after != nullptr)
        b->after(b);
}

TrGroup *TrGroupNew(TrButton *owner)
{
    if (owner == nullptr)
        return nullptr;
    if (owner->group != nullptr)
        return owner->group;
    auto *g = static_cast<TrGroup *>(std::calloc(1, sizeof(TrGroup)));
    if (g == nullptr)
        return nullptr;
    g->owner = owner;
    g->x0 = owner->x;
    g->y0 = owner->y;
    g->x1 = owner->x + owner->w;
    g->y1 = owner->y + owner->h;
    owner->group = g;
    owner->ownBackground = 0;
    return g;
}

void TrGroupAdd(TrButton *owner, TrButton *member, int32_t shareBackground)
{
    if (owner == nullptr || member == nullptr)
        return;
    TrGroup *g = owner->group != nullptr ? owner->group : TrGroupNew(owner);
    if (g == nullptr || g->count >= TR_GROUP_MAX)
        return;
    // Members given the same place as the one before drop below it: the menu opens downwards. The one
    // before has dropped already, so the new member's place lies anywhere from the group's top to
    // the bottom of the one before.
    if (g->count > 0) {
        const TrButton *prev = g->members[g->count - 1];
        if (prev != nullptr && prev->x == member->x && g->y0 <= member->y && member->y < prev->y + prev->h) {
            const int32_t dy = prev->y + prev->h - member->y;
            member->y += dy;
            member->hitY += dy;
        }
    }
    g->members[g->count++] = member;
    if (member->x < g->x0)
        g->x0 = member->x;
    if (member->y < g->y0)
        g->y0 = member->y;
    if (member->x + member->w > g->x1)
        g->x1 = member->x + member->w;
    if (member->y + member->h > g->y1)
        g->y1 = member->y + member->h;
    member->inGroup = 1;
    member->shown = 0;
    if (shareBackground) {
        if (member->ownsBackground && member->background != nullptr)
            PxFreePix(member->background);
        member->background = owner->background;
        member->ownsBackground = 0;
    }
}

void TrGroupOpen(TrGroup *g)
{
    if (g == nullptr)
        return;
    g_open = g;
    g->owner->shown = 0;
    for (int32_t i = 0; i < g->count; i++)
        if (g->members[i] != nullptr)
            TrButtonShow(g->members[i]);
}

void TrGroupClose(void)
{
    TrGroup *g = g_open;
    if (g == nullptr)
        return;
    g_open = nullptr;
    TrButtonShow(g->owner);
    for (int32_t i = 0; i < g->count; i++)
        if (g->members[i] != nullptr) {
            g->members[i]->shown = 0;
            if (g_hovered == g->members[i])
                g_hovered = nullptr;
        }
}

TrGroup *TrGroupOpened(void)
{
    return g_open;
}

void TrGroupLeave(int32_t x, int32_t y)
{
    const TrGroup *g = g_open;
    if (g != nullptr && (x < g->x0 || y < g->y0 || x >= g->x1 || y >= g->y1))
        TrGroupClose();
}

int32_t TrToolbarBufferMake(void)
{
    TrToolbarBufferFree();
    int32_t w = 1, h = 1;
    for (TrButton *b = g_first; b != nullptr; b = b->next) {
        if (b->w > w)
            w = b->w;
        if (b->h > h)
            h = b->h;
    }
    g_buffer = PxCreateDibAndPix(BR_PMT_RGB_565, w, h, &g_buffer_pix);
    if (g_buffer == nullptr || g_buffer_pix == nullptr) {
        TrToolbarBufferFree();
        return 0;
    }
    return 1;
}

void TrToolbarBufferFree(void)
{
    std::lock_guard<std::mutex> hold(g_blit);
    if (g_buffer_pix != nullptr)
        PxFreePixNP(g_buffer_pix);
    if (g_buffer != nullptr)
        KillDIBuffer(g_buffer);
    g_buffer_pix = nullptr;
    g_buffer = nullptr;
}

br_pixelmap *TrToolbarBufferPix(void)
{
    return g_buffer_pix;
}

void TrToolbarSetPresent(TrToolbarPresent p)
{
    g_present = p;
}

void TrWorkerThread(void)
{
    std::unique_lock<std::mutex> hold(g_queue_lock);
    for (;;) {
        g_queue_signal.wait(hold, [] { return g_stop || !g_queue.empty(); });
        if (g_stop)
            break;
        const Pending p = g_queue.front();
        g_queue.pop_front();
        g_animating = true;
        hold.unlock();
        animate(p.button, p.picture, p.toState);
        __atomic_store_n(&p.button->redraw, 1, __ATOMIC_RELEASE);
        hold.lock();
        g_animating = false;
        g_idle_signal.notify_all();
    }
    g_animating = false;
    g_idle_signal.notify_all();
}

// A process that exits (or a module unloaded) while the worker runs would otherwise leave it
// animating over the queue and buffers the exit's destructors free.
static void stop_worker_at_exit(void)
{
    TrToolbarWorkerStop();
}

void TrToolbarWorkerStart(void)
{
    static bool stopAtExit = false;
    std::lock_guard<std::mutex> hold(g_queue_lock);
    if (g_worker != nullptr)
        return;
    if (!stopAtExit)
        stopAtExit = std::atexit(stop_worker_at_exit) == 0;
    g_stop = false;
    g_queue.clear();
    g_worker = new std::thread(TrWorkerThread);
}

void TrToolbarWorkerStop(void)
{
    std::thread *t;
    {
        std::lock_guard<std::mutex> hold(g_queue_lock);
        t = g_worker;
        if (t == nullptr)
            return;
        g_stop = true;
        g_queue.clear();
    }
    g_queue_signal.notify_all();
    t->join();
    std::lock_guard<std::mutex> hold(g_queue_lock);
    delete t;
    g_worker = nullptr;
    g_stop = false;
    g_idle_signal.notify_all();
}

int32_t TrToolbarWorkerAlive(void)
{
    std::lock_guard<std::mutex> hold(g_queue_lock);
    return g_worker != nullptr ? 1 : 0;
}

void TrToolbarWorkerWake(void)
{
    g_queue_signal.notify_all();
}

int32_t TrToolbarBusy(void)
{
    std::lock_guard<std::mutex> hold(g_queue_lock);
    return g_animating || !g_queue.empty() ? 1 : 0;
}

int32_t TrToolbarWaitIdle(int32_t ms)
{
    const uint32_t start = timeGetTime();
    for (;;) {
        if (!TrToolbarBusy())
            return 1;
        if ((int32_t)(timeGetTime() - start) >= ms)
            return 0;
        Sleep(1);
    }
}

}  // extern "C"
