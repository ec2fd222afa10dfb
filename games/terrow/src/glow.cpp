// Glow sprites: round lights drawn straight into the rendered 565 view, each pixel lit only when the
// depth buffer there lies inside the light's ball-shaped volume, so a glow lights the visible surface
// around its point and nothing behind a nearer wall. The pixel loop is integer only: one depth test,
// one byte of the volume and one blend.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <brondel/bractor.h>
#include <brondel/brmatrix.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "terrow/trfx.h"
#include "terrow/trmodule.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"
#include "win32/wintime.h"

namespace {

constexpr int kSide = GLOW_SIDE;
constexpr int kCells = kSide * kSide * kSide;

uint8_t g_volumes[3][kCells];
std::atomic<bool> g_built{false};
int32_t g_ramps[3][64];

const int32_t kColourSets[5][3] = {
    {255, 64, 64}, {64, 64, 255}, {64, 255, 64}, {192, 0, 255}, {255, 255, 0}};

// The dirty rectangle of this frame and the one presented last.
int32_t g_dirty[4] = {1000, 1000, 0, 0};
int32_t g_previous[4] = {1000, 1000, 0, 0};
int32_t g_partial = 0;

TrOverlayHost g_host = {};

void empty_rect(int32_t r[4])
{
    r[0] = r[1] = 1000;
    r[2] = r[3] = 0;
}

uint16_t *colour_row(br_pixelmap *pm, int32_t row)
{
    return reinterpret_cast<uint16_t *>(static_cast<char *>(pm->pixels) +
                                        (ptrdiff_t)(pm->base_y + row) * pm->row_bytes) +
           pm->base_x;
}

const uint16_t *depth_row(br_pixelmap *pm, int32_t row)
{
    return reinterpret_cast<const uint16_t *>(static_cast<const char *>(pm->pixels) +
                                              (ptrdiff_t)(pm->base_y + row) * pm->row_bytes) +
           pm->base_x;
}

// 565 blends of intensity i (1..63).
struct BlendWhite {
    static uint16_t apply(uint16_t p, int i)
    {
        const int r = p >> 11, g = (p >> 5) & 63, b = p & 31, k = 64 - i;
        return uint16_t((((i * 32 + k * r) >> 6) << 11) | (((i * 64 + k * g) >> 6) << 5) | ((i * 32 + k * b) >> 6));
    }
};
struct BlendColour {
    static uint16_t apply(uint16_t p, int i)
    {
        const int r = p >> 11, g = (p >> 5) & 63, b = p & 31, k = 64 - i;
        return uint16_t((((r * k + g_ramps[0][i]) >> 6) << 11) | (((g * k + g_ramps[1][i]) >> 6) << 5) |
                        ((b * k + g_ramps[2][i]) >> 6));
    }
};
struct BlendRed {
    static uint16_t apply(uint16_t p, int i)
    {
        const int r = p >> 11;
        return uint16_t((((((64 - i) * r + i * 32) >> 6)) << 11) | (p & 0x07FF));
    }
};
struct BlendOrange {
    static uint16_t apply(uint16_t p, int i)
    {
        const int r = p >> 11, g = (p >> 5) & 63, h = i / 2;
        return uint16_t(((((64 - i) * r + i * 32) >> 6) << 11) | ((((64 - h) * g + h * 64) >> 6) << 5) | (p & 31));
    }
};

// The per-sprite tables: volume column of each visible pixel column, row of each visible row, slice
// of each depth step. Kept per thread (the preview show draws on the producer thread).
struct Tables {
    std::vector<int32_t> cols, rows;
    std::vector<uint8_t> slices;
};
thread_local Tables t_tables;

template <typename Blend>
void draw_pixels(br_pixelmap *colour, br_pixelmap *depth, const uint8_t *volume, int32_t left, int32_t top,
                 int32_t zmin, int32_t D, const Tables &t)
{
    const int32_t w = int32_t(t.cols.size());
    const uint8_t *slices = t.slices.data();
    for (size_t ry = 0; ry < t.rows.size(); ry++) {
        const int32_t y = top + int32_t(ry);
        uint16_t *out = colour_row(colour, y) + left;
        const uint16_t *z = depth_row(depth, y) + left;
        const uint8_t *plane = volume + t.rows[ry] * kSide * kSide;
        for (int32_t c = 0; c < w; c++) {
            const uint32_t dz = uint32_t(int32_t(z[c]) - zmin);
            if (dz >= uint32_t(D))
                continue;
            const int i = plane[t.cols[c] * kSide + slices[dz]];
            if (i != 0)
                out[c] = Blend::apply(out[c], i);
        }
    }
}

float depth_of(float ndcZ)
{
    return float(BrZbScreenZToDepth(ndcZ * -32768.0f) >> 16);
}

void draw(br_pixelmap *colour, br_pixelmap *depth, br_actor *actor, const br_vector3 *p, br_actor *camera,
          float radius, int32_t volume, int32_t blend, int32_t dirty)
{
    TrGlowSquare sq;
    if (colour == nullptr || !Glow_Project(colour, actor, p, camera, radius, &sq))
        return;
    Glow_DrawSquare(colour, depth, &sq, volume, blend, dirty);
}

}  // namespace

extern "C" {

TrOverlayHost TrSetOverlayHost(const TrOverlayHost *host)
{
    const TrOverlayHost was = g_host;
    g_host = host != nullptr ? *host : TrOverlayHost{};
    return was;
}

const TrOverlayHost *TrOverlayHostGet(void)
{
    return &g_host;
}

void Glow_BuildVolumes(void)
{
    if (g_built.load())
        return;
    for (int i = 0; i < kSide; i++)
        for (int j = 0; j < kSide; j++)
            for (int k = 0; k < kSide; k++) {
                const int d2 = (i - 16) * (i - 16) + (j - 16) * (j - 16) + (k - 16) * (k - 16);
                const int r = std::min(63, int(4.0 * sqrt(double(d2))));
                const int at = (i * kSide + j) * kSide + k;
                g_volumes[GLOW_SOFT][at] = uint8_t(int(8.0 * sqrt(double(63 - r))));
                g_volumes[GLOW_HALO][at] =
                    d2 < 256 ? uint8_t(std::max(0, int((255.0 - 64.0 * pow(double(d2), 0.25)) / 7.0))) : 0;
                g_volumes[GLOW_CORE][at] =
                    r < 16 ? 63 : uint8_t(std::max(0, int(63.0 * cos((r - 16) * M_PI / 96.0))));
            }
    g_built.store(true);
}

const uint8_t *Glow_Volume(int32_t which)
{
    Glow_BuildVolumes();
    return which >= 0 && which < 3 ? g_volumes[which] : nullptr;
}

void Glow_SetColours(int32_t r, int32_t g, int32_t b)
{
    const int32_t c[3] = {(r & 255) >> 3, (g & 255) >> 2, (b & 255) >> 3};
    for (int ch = 0; ch < 3; ch++)
        for (int k = 0; k < 64; k++)
            g_ramps[ch][k] = k * c[ch] * 64 / 63;
}

void Glow_SetColourSet(int32_t set)
{
    const int32_t s = ((set % 5) + 5) % 5;
    Glow_SetColours(kColourSets[s][0], kColourSets[s][1], kColourSets[s][2]);
}

const int32_t *Glow_Ramp(int32_t channel)
{
    return channel >= 0 && channel < 3 ? g_ramps[channel] : nullptr;
}

int32_t Glow_Project(br_pixelmap *view, br_actor *actor, const br_vector3 *p, br_actor *camera, float radius,
                     TrGlowSquare *out)
{
    *out = TrGlowSquare{};
    if (view == nullptr || actor == nullptr || camera == nullptr || p == nullptr)
        return 0;
    const float W = float(view->width), H = float(view->height);
    br_matrix4 toScreen;
    BrActorToScreenMatrix4(&toScreen, actor, camera);
    br_vector4 s;
    BrMatrix4ApplyP(&s, p, &toScreen);
    // A point in or behind the camera's plane has no place on the screen.
    if (!(s.v[3] > 1e-6f))
        return 0;
    out->cx = int32_t(W * (s.v[0] / s.v[3] + 1.0f) * 0.5f);
    out->cy = int32_t(H * (1.0f - s.v[1] / s.v[3]) * 0.5f);
    out->cz = int32_t(depth_of(s.v[2] / s.v[3]));

    br_matrix34 toCamera;
    BrActorToActorMatrix34(&toCamera, actor, camera);
    br_vector3 c;
    BrMatrix34ApplyP(&c, p, &toCamera);
    br_matrix4 proj;
    BrCameraToScreenMatrix4(&proj, camera);
    auto project = [&](float x, float y, float z, float *sx, float *depth) {
        br_vector3 q = {{x, y, z}};
        br_vector4 r;
        BrMatrix4ApplyP(&r, &q, &proj);
        if (!(r.v[3] > 1e-6f))
            return false;
        *sx = W * (r.v[0] / r.v[3] + 1.0f) * 0.5f;
        *depth = depth_of(r.v[2] / r.v[3]);
        return true;
    };
    float x0, x1, zFar, zNear, dummy;
    if (!project(c.v[0] + radius, c.v[1], c.v[2], &x1, &dummy) ||
        !project(c.v[0] - radius, c.v[1], c.v[2], &x0, &dummy) ||
        !project(c.v[0], c.v[1], c.v[2] - radius, &dummy, &zFar))
        return 0;
    // A near side behind the camera reaches the nearest depth.
    if (!project(c.v[0], c.v[1], c.v[2] + radius, &dummy, &zNear))
        zNear = 0.0f;
    const float size = float(int32_t(x1)) - float(int32_t(x0));
    // A glow wider than a few views is the camera inside it: nothing sensible to draw.
    if (!(size > 0.0f) || size > 4.0f * (W + H))
        return 0;
    out->size = int32_t(size);
    out->depth = int32_t(zFar) - int32_t(zNear);
    return 1;
}

void Glow_DrawSquare(br_pixelmap *colour, br_pixelmap *depth, const TrGlowSquare *sq, int32_t volume,
                     int32_t blend, int32_t dirty)
{
    if (colour == nullptr || sq == nullptr || volume < 0 || volume > 2 || colour->type != BR_PMT_RGB_565 ||
        colour->pixels == nullptr)
        return;
    Glow_BuildVolumes();
    const int32_t W = colour->width, H = colour->height, S = sq->size;
    const int32_t left = sq->cx - S / 2, top = sq->cy - S / 2;
    if (S <= 0 || left >= W || left + S < 0 || top >= H || top + S < 0)
        return;
    const int32_t D = sq->depth;
    const int32_t zmin = sq->cz - D / 2;
    // The clipped square: rows and columns before the view's edge skipped, the rest cut at the far edges.
    const int32_t c0 = std::max(0, -left), c1 = std::min(S, W - left);
    const int32_t r0 = std::max(0, -top), r1 = std::min(S, H - top);
    if (c1 <= c0 || r1 <= r0)
        return;
    if (dirty)
        Glow_AddDirty(left + c0, top + r0, left + c1, top + r1);
    if (D <= 0 || depth == nullptr || depth->pixels == nullptr || depth->width < W || depth->height < H)
        return;
    Tables &t = t_tables;
    t.cols.resize(size_t(c1 - c0));
    for (int32_t c = c0; c < c1; c++)
        t.cols[size_t(c - c0)] = int32_t(int64_t(32) * c / S);
    t.rows.resize(size_t(r1 - r0));
    for (int32_t r = r0; r < r1; r++)
        t.rows[size_t(r - r0)] = int32_t(int64_t(32) * r / S);
    t.slices.resize(size_t(D));
    const float step = 32.0f / float(D);
    float at = 0.0f;
    for (int32_t d = 0; d < D; d++, at += step)
        t.slices[size_t(d)] = uint8_t(std::min(31, int(at)));
    const uint8_t *vol = g_volumes[volume];
    switch (blend) {
    case GLOW_BLEND_WHITE: draw_pixels<BlendWhite>(colour, depth, vol, left + c0, top + r0, zmin, D, t); break;
    case GLOW_BLEND_COLOUR: draw_pixels<BlendColour>(colour, depth, vol, left + c0, top + r0, zmin, D, t); break;
    case GLOW_BLEND_RED: draw_pixels<BlendRed>(colour, depth, vol, left + c0, top + r0, zmin, D, t); break;
    default: draw_pixels<BlendOrange>(colour, depth, vol, left + c0, top + r0, zmin, D, t); break;
    }
}

void Glow_SoftOrange(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_SOFT, GLOW_BLEND_ORANGE, 0);
}

void Glow_SoftRed(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_SOFT, GLOW_BLEND_RED, 0);
}

void Glow_HaloWhite(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_HALO, GLOW_BLEND_WHITE, 1);
}

void Glow_HaloColour(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_HALO, GLOW_BLEND_COLOUR, 1);
}

void Glow_CoreRed(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_CORE, GLOW_BLEND_RED, 0);
}

void Glow_CoreWhite(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_CORE, GLOW_BLEND_WHITE, 1);
}

void Glow_CoreColour(br_pixelmap *c, br_pixelmap *d, br_actor *a, const br_vector3 *p, br_actor *cam, float r)
{
    draw(c, d, a, p, cam, r, GLOW_CORE, GLOW_BLEND_COLOUR, 1);
}

void Glow_ClearDirty(void)
{
    empty_rect(g_dirty);
}

void Glow_AddDirty(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    g_dirty[0] = std::min(g_dirty[0], x0);
    g_dirty[1] = std::min(g_dirty[1], y0);
    g_dirty[2] = std::max(g_dirty[2], x1);
    g_dirty[3] = std::max(g_dirty[3], y1);
}

void Glow_GetDirty(int32_t out[4])
{
    memcpy(out, g_dirty, sizeof g_dirty);
}

int32_t Glow_PartialSwitch(void)
{
    return g_partial;
}

void Glow_SetPartialSwitch(int32_t on)
{
    g_partial = on != 0;
}

void Glow_ResetView(void)
{
    empty_rect(g_dirty);
    empty_rect(g_previous);
    g_partial = 0;
}

void Glow_Present(br_pixelmap *view)
{
    Tally_Draw();
    if (g_host.runTimed != nullptr)
        g_host.runTimed();
    if (g_partial) {
        int32_t r[4] = {std::min(g_dirty[0], g_previous[0]), std::min(g_dirty[1], g_previous[1]),
                        std::max(g_dirty[2], g_previous[2]), std::max(g_dirty[3], g_previous[3])};
        memcpy(g_previous, g_dirty, sizeof g_dirty);
        if (g_host.sleepMs != nullptr)
            g_host.sleepMs(20);
        else
            Sleep(20);
        // Two empty rectangles make nothing to hand over but the frame itself.
        if (r[2] <= r[0] || r[3] <= r[1])
            r[0] = r[1] = r[2] = r[3] = 0;
        if (g_host.handOff != nullptr)
            g_host.handOff(r[0], r[1], r[2] - r[0], r[3] - r[1]);
    } else if (g_host.presentWhole != nullptr) {
        g_host.presentWhole(view);
    } else if (g_host.handOff != nullptr && view != nullptr) {
        g_host.handOff(0, 0, view->width, view->height);
    }
    Glow_ClearDirty();
    VokInterFace *iface = TrGetModule()->iface;
    if (iface != nullptr && (VokImgFlags(iface) & VOK_IMG_WANTED))
        g_partial = 1;
    VokCaptureNow();
}

// ---- The light pulse.

struct Pulse {
    br_pixelmap *view, *depth;
    br_actor *camera, *root;
    br_vector3 point;
};

void Glow_PulseRadii(int32_t step, float *outer, float *inner)
{
    const float s = sinf(float(step) * float(M_PI) / 100.0f);
    *outer = 0.05f + 0.2f * s;
    *inner = 0.005f + 0.04f * s;
}

// The records live here, not in the actions: an action freed from outside (a stop that clears the
// list) leaves its record behind, given back at the next pulse.
static std::vector<Pulse *> g_pulses;

static void prune_pulses(bool all)
{
    for (size_t i = 0; i < g_pulses.size();) {
        bool used = false;
        for (TrTimedAction *a = all ? nullptr : TrActionFirst(); a != nullptr && !used; a = a->next)
            used = a->user == g_pulses[i];
        if (used) {
            i++;
            continue;
        }
        free(g_pulses[i]);
        g_pulses.erase(g_pulses.begin() + long(i));
    }
}

static int pulse_step(TrTimedAction *a)
{
    auto *p = static_cast<Pulse *>(a->user);
    if (a->progress < 0 || p == nullptr)
        return 0;
    float outer, inner;
    Glow_PulseRadii(a->progress, &outer, &inner);
    Glow_SoftOrange(p->view, p->depth, p->root, &p->point, p->camera, outer);
    Glow_SoftOrange(p->view, p->depth, p->root, &p->point, p->camera, inner);
    return 1;
}

void Glow_Pulse(br_pixelmap *view, br_pixelmap *depth, br_actor *camera, br_actor *actor)
{
    if (actor == nullptr)
        return;
    prune_pulses(false);
    auto *p = static_cast<Pulse *>(calloc(1, sizeof(Pulse)));
    if (p == nullptr)
        return;
    br_actor *root = actor;
    while (root->parent != nullptr)
        root = root->parent;
    br_matrix34 toRoot;
    BrActorToActorMatrix34(&toRoot, actor, root);
    *p = {view, depth, camera, root, {{toRoot.m[3][0], toRoot.m[3][1], toRoot.m[3][2]}}};
    TrTimedAction *a = TrActionNewTimed(400, 100, pulse_step);
    if (a == nullptr) {
        free(p);
        return;
    }
    a->user = p;
    g_pulses.push_back(p);
    TrActionAdd(a);
}

void Glow_FreePulses(void)
{
    prune_pulses(true);
}

}  // extern "C"
