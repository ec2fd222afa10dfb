// The ball tally in the status strip: each ball that reaches the goal rolls in from the left, drops
// onto the strip and rolls to its slot, where it stays for the rest of the run.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <brondel/brpixmap.h>

#include "pannix/pxblit.h"
#include "terrow/trdib.h"
#include "terrow/trfx.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "vokplat/paths.h"
#include "vokscore/vokiface.h"

namespace {

constexpr int32_t kPieceW = 24, kPieceH = 26, kPieceY = 456, kEntryY = 469;

struct Entry {
    int32_t x, y, frame, type;
};

struct Ball {
    int32_t type, left, end;
};

struct Sequence {
    br_pixelmap *colour[TALLY_FRAMES_MAX];
    br_pixelmap *alpha[TALLY_FRAMES_MAX];
    std::vector<uint8_t> masks[TALLY_FRAMES_MAX];  // alpha rows padded to four bytes
    int32_t count;
};

const char *const kBases[4][2] = {
    {"fem\\co", "fem\\a_co"}, {"golf\\co", "golf\\a_co"}, {"bomb\\co", "bomb\\a_co"}, {"laszti\\co", "laszti\\a_co"}};

Sequence g_seq[4];
bool g_seqLoaded = false;
br_pixelmap *g_picture = nullptr;
br_pixelmap *g_pieces[TALLY_ENTRIES] = {};
int32_t g_pieceCount = 0;
int32_t g_pieceH = 0;
int32_t g_left = 0;
Entry g_entries[TALLY_ENTRIES];
int32_t g_entryCount = 0;
std::atomic<int32_t> g_busy{0};
std::vector<Ball *> g_balls;  // records of the rolling balls' actions

br_pixelmap *picture()
{
    if (g_picture != nullptr)
        return g_picture;
    VokInterFace *iface = TrGetModule()->iface;
    return iface != nullptr ? iface->screenPix : nullptr;
}

int32_t piece_x(int32_t i)
{
    return int32_t(171.0 + 22.5 * i);
}

bool file_exists(const char *name)
{
    char path[1024];
    return PlatResolvePath(name, path, sizeof path) != 0 && access(path, R_OK) == 0;
}

// Stand-in for the module's sequence loader: every numbered file that exists, up to the first gap.
int32_t load_sequence(const char *colourBase, const char *alphaBase, br_pixelmap **colour, br_pixelmap **alpha,
                      int32_t max)
{
    int32_t n = 0;
    for (; n < max; n++) {
        char name[300];
        snprintf(name, sizeof name, "%s%04d.pix", colourBase, int(n));
        if (!file_exists(name) || (colour[n] = TrLoadPicture(name)) == nullptr)
            break;
        snprintf(name, sizeof name, "%s%04d.bmp", alphaBase, int(n));
        // The alpha frames keep their black: it is the weight 0 of the transparent copy.
        alpha[n] = file_exists(name) ? TrLoadPictureRaw(name) : nullptr;
    }
    return n;
}

// A ball frame's alpha goes into its user word as the transparent copy's per-pixel weights.
void attach_mask(Sequence &s, int32_t i)
{
    br_pixelmap *c = s.colour[i], *a = s.alpha[i];
    if (c == nullptr || a == nullptr || a->type != BR_PMT_INDEX_8 || a->width != c->width || a->height != c->height)
        return;
    const int32_t stride = (c->width + 3) & ~3;
    std::vector<uint8_t> &m = s.masks[i];
    m.assign(size_t(stride) * c->height, 0);
    for (int32_t y = 0; y < c->height; y++)
        memcpy(&m[size_t(stride) * y],
               static_cast<const uint8_t *>(a->pixels) + (ptrdiff_t)(a->base_y + y) * a->row_bytes + a->base_x,
               c->width);
    c->user = m.data();
}

void draw_frame(br_pixelmap *pic, int32_t type, int32_t frame, int32_t x, int32_t y)
{
    br_pixelmap *f = Tally_Frame(type, frame);
    if (pic != nullptr && f != nullptr)
        CopyRectTransparent0(pic, x, y, f, 0, 0, f->width, f->height);
}

void prune_balls(bool all)
{
    for (size_t i = 0; i < g_balls.size();) {
        bool used = false;
        for (TrTimedAction *a = all ? nullptr : TrActionFirst(); a != nullptr && !used; a = a->next)
            used = a->user == g_balls[i];
        if (used) {
            i++;
            continue;
        }
        free(g_balls[i]);
        g_balls.erase(g_balls.begin() + long(i));
    }
}

int roll_step(TrTimedAction *a)
{
    auto *b = static_cast<Ball *>(a->user);
    if (b == nullptr)
        return 0;
    // The span is the ball's end time: the action's end (or a run that finishes every action at
    // once) puts the ball into its slot.
    int32_t e = int32_t(std::min<uint64_t>(a->elapsed, uint64_t(b->end)));
    if (a->progress < 0)
        e = b->end;
    int32_t x, y, frame;
    Tally_Path(e, b->end, b->left, &x, &y, &frame);
    br_pixelmap *f = Tally_Frame(b->type, frame);
    const int32_t w = f != nullptr ? f->width : 0, h = f != nullptr ? f->height : 0;
    draw_frame(picture(), b->type, frame, x - w / 2, y - h / 2);
    if (e < b->end)
        return 1;
    // More balls than slots: the last ones still count but add no picture.
    if (g_entryCount < TALLY_ENTRIES)
        g_entries[g_entryCount++] = {x - w / 2, kEntryY - h / 2, frame, b->type};
    if (g_busy.load() > 0)
        g_busy.fetch_sub(1);
    return 0;
}

}  // namespace

extern "C" {

void Tally_SetPicture(br_pixelmap *pic)
{
    g_picture = pic;
}

int32_t Tally_EndTime(int32_t left)
{
    return 1200 + 400 * left;
}

void Tally_Path(int32_t e, int32_t end, int32_t left, int32_t *x, int32_t *y, int32_t *frame)
{
    if (e < 500) {
        *x = 119;
        *y = 463;
        *frame = e < 0 ? 0 : e / 100;
    } else if (e < 850) {
        const double u = e - 500;
        *x = int32_t(119.0 + 0.0885714 * u);
        *y = int32_t(463.0 + 0.0171429 * u);
        *frame = int32_t(u * 0.025) % 10 + 5;
    } else {
        const int32_t T = 46 + int32_t(22.4 * left);
        const double span = end > 850 ? double(end - 850) : 1.0;
        *x = int32_t(double(e - 850) * T / span + 150.0);
        *y = kEntryY;
        *frame = int32_t(double(e - 500) * 0.025) % 10 + 5;
    }
}

int32_t Tally_LoadSequences(void)
{
    if (g_seqLoaded)
        return 1;
    const TrOverlayHost *h = TrOverlayHostGet();
    for (int t = 0; t < 4; t++) {
        Sequence &s = g_seq[t];
        s.count = h->loadSequence != nullptr
                      ? h->loadSequence(kBases[t][0], kBases[t][1], s.colour, s.alpha, TALLY_FRAMES_MAX)
                      : load_sequence(kBases[t][0], kBases[t][1], s.colour, s.alpha, TALLY_FRAMES_MAX);
        s.count = std::max(0, std::min(s.count, TALLY_FRAMES_MAX));
        for (int32_t i = 0; i < s.count && i < 15; i++)
            attach_mask(s, i);
    }
    g_seqLoaded = true;
    return 1;
}

void Tally_FreeSequences(void)
{
    // The pictures are registered by name and go with the module's pictures; only the masks are ours.
    for (Sequence &s : g_seq) {
        for (int32_t i = 0; i < TALLY_FRAMES_MAX; i++) {
            if (s.colour[i] != nullptr && s.colour[i]->user == s.masks[i].data())
                s.colour[i]->user = nullptr;
            s.masks[i].clear();
            s.masks[i].shrink_to_fit();
            s.colour[i] = s.alpha[i] = nullptr;
        }
        s.count = 0;
    }
    for (br_pixelmap *&p : g_pieces) {
        if (p != nullptr)
            BrPixelmapFree(p);
        p = nullptr;
    }
    g_pieceCount = 0;
    g_seqLoaded = false;
}

int32_t Tally_SequenceLength(int32_t type)
{
    return type >= 0 && type < 4 ? g_seq[type].count : 0;
}

br_pixelmap *Tally_Frame(int32_t type, int32_t frame)
{
    if (type < 0 || type > 3 || g_seq[type].count <= 0 || frame < 0)
        return nullptr;
    return g_seq[type].colour[frame % g_seq[type].count];
}

void Tally_Start(int32_t needed)
{
    g_left = needed;
    g_entryCount = 0;
    g_busy.store(0);
    prune_balls(false);
    br_pixelmap *pic = picture();
    g_pieceCount = 0;
    if (pic == nullptr)
        return;
    // Only the pieces that lie inside the picture are kept: a wide row would reach past its edge. The
    // row itself ends two lines below a 480-line picture; those lines are left out.
    g_pieceH = std::min(kPieceH, int32_t(pic->height) - kPieceY);
    for (int32_t i = 0; i < TALLY_ENTRIES && g_pieceH > 0; i++) {
        const int32_t x = piece_x(i);
        if (x + kPieceW > pic->width)
            break;
        if (g_pieces[i] == nullptr)
            g_pieces[i] = BrPixelmapAllocate(BR_PMT_RGB_565, kPieceW, kPieceH, nullptr, 0);
        if (g_pieces[i] == nullptr)
            break;
        CopyRectangle(g_pieces[i], 0, 0, pic, x, kPieceY, kPieceW, g_pieceH);
        g_pieceCount = i + 1;
    }
}

void Tally_AddBall(TrElem *ball)
{
    if (ball == nullptr || ball->io == nullptr || ball->io->type < 0 || ball->io->type > 3)
        return;
    g_left--;
    if (g_left < 0)
        return;
    prune_balls(false);
    auto *b = static_cast<Ball *>(calloc(1, sizeof(Ball)));
    if (b == nullptr)
        return;
    *b = {ball->io->type, g_left, Tally_EndTime(g_left)};
    TrTimedAction *a = TrActionNewTimed(b->end, 20, roll_step);
    if (a == nullptr) {
        free(b);
        return;
    }
    a->user = b;
    g_balls.push_back(b);
    g_busy.fetch_add(1);
    if (TrActionAdd(a) == nullptr)
        g_busy.fetch_sub(1);
}

void Tally_Draw(void)
{
    if (g_busy.load() <= 0)
        return;
    br_pixelmap *pic = picture();
    if (pic == nullptr)
        return;
    for (int32_t i = 0; i < g_pieceCount; i++)
        CopyRectangle(pic, piece_x(i), kPieceY, g_pieces[i], 0, 0, kPieceW, g_pieceH);
    for (int32_t i = 0; i < g_entryCount; i++)
        draw_frame(pic, g_entries[i].type, g_entries[i].frame, g_entries[i].x, g_entries[i].y);
}

void Tally_Stop(void)
{
    for (TrTimedAction *a = TrActionFirst(); a != nullptr;) {
        TrTimedAction *next = a->next;
        if (a->callback == roll_step)
            TrActionFree(a);
        a = next;
    }
    prune_balls(true);
    g_busy.store(0);
}

int32_t Tally_Entries(void)
{
    return g_entryCount;
}

int32_t Tally_Busy(void)
{
    return g_busy.load();
}

int32_t Tally_Left(void)
{
    return g_left;
}

int32_t Tally_Entry(int32_t i, int32_t out[3])
{
    if (i < 0 || i >= g_entryCount)
        return 0;
    out[0] = g_entries[i].x;
    out[1] = g_entries[i].y;
    out[2] = g_entries[i].frame;
    return 1;
}

int32_t Tally_Pieces(void)
{
    return g_pieceCount;
}

}  // extern "C"
