// The preview light show the producer thread plays over a field for the framework's preview page:
// planes and rings of light sweeping the field's surface points (a short show for small fields) or
// batches of points lighting up and then twinkling (a long show). It draws only into its own maps,
// and tests the stop flag before every frame.
#include <math.h>
#include <string.h>

#include <atomic>
#include <vector>

#include <brondel/brpixmap.h>

#include "terrow/trfx.h"
#include "terrow/trmodule.h"
#include "terrow/trplay.h"
#include "vokscore/vokiface.h"
#include "vokscore/vokloading.h"

namespace {

std::atomic<int32_t> g_stop{0};
std::atomic<int32_t> g_lastKind{0};

struct Show {
    br_actor *actor;
    br_pixelmap *colour, *depth;
    br_actor *camera;
    const float (*points)[3];
    int32_t count;
    std::vector<uint16_t> work;  // the picture each frame starts from
    std::vector<int32_t> marks;

    bool stopping() const
    {
        const TrOverlayHost *h = TrOverlayHostGet();
        return h->stopRequested != nullptr ? h->stopRequested() != 0 : g_stop.load() != 0;
    }
    uint16_t *row(int32_t y) const
    {
        return reinterpret_cast<uint16_t *>(static_cast<char *>(colour->pixels) +
                                            (ptrdiff_t)(colour->base_y + y) * colour->row_bytes) +
               colour->base_x;
    }
    void save(std::vector<uint16_t> &to) const
    {
        const size_t w = colour->width;
        to.resize(w * colour->height);
        for (int32_t y = 0; y < colour->height; y++)
            memcpy(&to[w * size_t(y)], row(y), w * 2);
    }
    void restore(const std::vector<uint16_t> &from) const
    {
        const size_t w = colour->width;
        for (int32_t y = 0; y < colour->height; y++)
            memcpy(row(y), &from[w * size_t(y)], w * 2);
    }
    void present() const { Glow_Present(colour); }
    void lit(int32_t i, float halo, float core, bool white) const
    {
        const br_vector3 p = {{points[i][0], points[i][1], points[i][2]}};
        if (white) {
            Glow_HaloWhite(colour, depth, actor, &p, camera, halo);
            Glow_CoreWhite(colour, depth, actor, &p, camera, core);
        } else {
            Glow_HaloColour(colour, depth, actor, &p, camera, halo);
            Glow_CoreColour(colour, depth, actor, &p, camera, core);
        }
    }
    // A plane through `c` with normal `n`: points near it light by their closeness.
    void plane(float cx, float cz, float nx, float nz, float k) const
    {
        for (int32_t i = 0; i < count; i++) {
            const float d = (points[i][0] - cx) * nx + (points[i][2] - cz) * nz;
            const float intensity = 1.0f - fabsf(d) * k;
            if (intensity >= 0.0f)
                lit(i, 0.06f * intensity, 0.01f * intensity, true);
        }
    }
    void wanted() const
    {
        Glow_SetPartialSwitch(1);
        VokInterFace *iface = TrGetModule()->iface;
        if (iface != nullptr)
            VokImgFlagsSet(iface, VOK_IMG_WANTED);
    }
};

void short_show(Show &s)
{
    std::vector<uint16_t> before = s.work;
    // Two planes side by side step across x; their light adds up frame by frame.
    for (int f = 0; f < 5; f++) {
        if (s.stopping())
            return;
        s.restore(s.work);
        s.plane(0.2f * f, 0.0f, 1.0f, 0.0f, 12.0f);
        s.plane(0.1f + 0.2f * f, 0.0f, 1.0f, 0.0f, 12.0f);
        s.save(s.work);
        s.present();
    }
    s.work = before;
    // A growing ring from the middle, each point lit once in the colour of its moment.
    s.marks.assign(size_t(s.count), 0);
    for (int f = 0; f <= 10; f++) {
        if (s.stopping())
            return;
        const float rho = 0.072f * f;
        Glow_SetColourSet(f % 5);
        s.restore(s.work);
        for (int32_t i = 0; i < s.count; i++) {
            if (s.marks[size_t(i)])
                continue;
            const float dx = s.points[i][0] - 0.5f, dz = s.points[i][2] - 0.5f;
            if (1.0f - fabsf(sqrtf(dx * dx + dz * dz) - rho) * 10.0f >= 0.0f) {
                s.marks[size_t(i)] = 1;
                s.lit(i, 0.06f, 0.01f, false);
            }
        }
        s.save(s.work);
        s.present();
    }
    // A diagonal plane swings across the field and back.
    const float n = sinf(float(M_PI) / 4.0f);
    for (int f = 8; f < 32; f++) {
        if (s.stopping())
            return;
        const float c = 0.5f + 0.5f * sinf(float(f) * float(M_PI) / 16.0f);
        s.restore(s.work);
        s.plane(c, c, n, cosf(float(M_PI) / 4.0f), 10.0f);
        s.present();
    }
    // Then a turning plane sways about the middle until the page ends.
    for (int f = 0;; f++) {
        if (s.stopping())
            return;
        const float a = float(M_PI) / 4.0f + float(f) * float(M_PI) / 10.0f;
        const float nx = sinf(a), nz = cosf(a);
        const float off = 0.4f * fabsf(sinf(float(f) * float(M_PI) / 200.0f));
        s.restore(s.work);
        s.plane(0.5f + off * nx, 0.5f + off * nz, nx, nz, 9.0f);
        if (f > 20)
            s.wanted();
        s.present();
    }
}

void long_show(Show &s)
{
    // Batches of 50 points light up in turn, each batch in its colour.
    for (int32_t b = 0; b * 50 < s.count; b++) {
        Glow_SetColourSet(b % 5);
        const int32_t end = b * 50 + 50 < s.count ? b * 50 + 50 : s.count;
        for (int32_t size = 50; size <= 200; size += 50) {
            if (s.stopping())
                return;
            s.restore(s.work);
            for (int32_t i = b * 50; i < end; i++)
                s.lit(i, float(size) * 0.0003f, float(size) * 0.00005f, false);
            s.present();
        }
        if (!Glow_PartialSwitch())
            s.save(s.work);
    }
    // Then points twinkle at random, each fading over four passes.
    s.marks.assign(size_t(s.count), 0);
    const int32_t picks = s.count >= 451 ? 10 : 7;
    for (int32_t pass = 1;; pass++) {
        if (s.stopping())
            return;
        for (int32_t k = 0; k < picks; k++)
            s.marks[size_t(TrRand() % s.count)] = 4;
        s.restore(s.work);
        for (int32_t i = 0; i < s.count; i++) {
            int32_t &c = s.marks[size_t(i)];
            if (c <= 0)
                continue;
            s.lit(i, float(c) * 0.25f * 0.08f, float(c) * 0.25f * 0.012f, true);
            c--;
        }
        if (pass == 32)
            s.wanted();
        s.present();
    }
}

}  // namespace

extern "C" {

void Preview_RequestStop(int32_t on)
{
    g_stop.store(on != 0 ? 1 : 0);
}

int32_t Preview_Stopping(void)
{
    const TrOverlayHost *h = TrOverlayHostGet();
    return h->stopRequested != nullptr ? h->stopRequested() != 0 : g_stop.load();
}

int32_t Preview_LastKind(void)
{
    return g_lastKind.load();
}

int32_t Preview_ShowPoints(br_actor *pointsActor, br_pixelmap *colour, br_pixelmap *depth, br_actor *camera,
                           const float (*points)[3], int32_t count)
{
    if (colour == nullptr || colour->pixels == nullptr || colour->type != BR_PMT_RGB_565)
        return 0;
    if (count < 0 || points == nullptr)
        count = 0;
    if (count > PREVIEW_POINTS_MAX)
        count = PREVIEW_POINTS_MAX;
    Show s{pointsActor, colour, depth, camera, points, count, {}, {}};
    s.save(s.work);
    Glow_ResetView();
    g_lastKind.store(count > PREVIEW_SHORT_MAX ? 2 : 1);
    if (count > PREVIEW_SHORT_MAX)
        long_show(s);
    else
        short_show(s);
    return 0;
}

int32_t Preview_Show(br_actor *pointsActor, br_pixelmap *colour, br_pixelmap *depth, br_actor *camera)
{
    std::vector<float> buffer(size_t(PREVIEW_POINTS_MAX) * 3);
    auto *points = reinterpret_cast<float(*)[3]>(buffer.data());
    const int32_t count = TrSurfacePoints(points, PREVIEW_POINTS_MAX);
    return Preview_ShowPoints(pointsActor, colour, depth, camera, points, count);
}

}  // extern "C"
