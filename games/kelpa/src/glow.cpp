// Glows painted over the rendered picture: three effect volumes looked up by the squared distance
// from their centre, colour ramps toward the glow colour, and the painters that blend a round glow
// into the picture where the depth buffer lets it through.
#include <math.h>
#include <string.h>

#include "kelpa/kelpa.h"
#include "kelpa/kprules.h"

namespace {

KpEffects g_effects;

uint16_t *pixelAt(br_pixelmap *map, int x, int y)
{
    return reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(map->pixels) +
                                        ptrdiff_t(map->base_y + y) * map->row_bytes) +
           map->base_x + x;
}

}  // namespace

KpEffects &kpEffects()
{
    return g_effects;
}

void KpBuildEffectTables()
{
    KpEffects &e = g_effects;
    for (int a = 0; a < 32; a++)
        for (int b = 0; b < 32; b++)
            for (int c = 0; c < 32; c++) {
                const double s = double((a - 16) * (a - 16) + (b - 16) * (b - 16) + (c - 16) * (c - 16));
                const double dd = trunc(4.0 * sqrt(s));
                const int d = dd > 63 ? 63 : int(dd);
                const int i = a * 1024 + b * 32 + c;
                e.falloff[i] = uint8_t(trunc(4.0 * sqrt(double(63 - d))));
                e.halo[i] = s < 256 ? uint8_t(trunc((255.0 - 64.0 * pow(s, 0.25)) / 7.0)) : 0;
                e.core[i] = d < 16 ? 63 : uint8_t(trunc(63.0 * cos(double(d - 16) * M_PI / 96.0)));
            }
    e.built = true;
}

void KpSetGlowColour(int red, int green, int blue)
{
    const int r5 = (red & 0xFF) >> 3, g6 = (green & 0xFF) >> 2, b5 = (blue & 0xFF) >> 3;
    for (int k = 0; k < 64; k++) {
        g_effects.red[k] = uint16_t(r5 * 64 * (63 - k) / 63);
        g_effects.green[k] = uint16_t(g6 * 64 * (63 - k) / 63);
        g_effects.blue[k] = uint16_t(b5 * 64 * (63 - k) / 63);
    }
}

uint16_t KpPackRgb(int r, int g, int b)
{
    return uint16_t(((g & 0xFF) + (r & 0xFF) * 64) * 32 + (b & 0xFF));
}

void KpGlowSquare(int kind, br_pixelmap *colour, br_pixelmap *depth, int left, int top, int side, int zNear,
                  int depthExtent)
{
    if (colour == nullptr || depth == nullptr || side <= 0)
        return;
    const int w = colour->width, h = colour->height;
    if (left >= w || left + side < 0 || top >= h || top + side < 0)
        return;
    // A halo without depth extent has no slices: nothing to paint.
    if (kind == KP_GLOW_HALO && depthExtent <= 0)
        return;
    const uint8_t *volume = kind == KP_GLOW_FALLOFF ? g_effects.falloff : kind == KP_GLOW_HALO ? g_effects.halo
                                                                                               : g_effects.core;
    const uint16_t zn = uint16_t(zNear), zf = uint16_t(zNear + depthExtent);
    // The halo's slices: the running single-precision sum of 32 / D, kept to 0..31.
    const float slice = kind == KP_GLOW_HALO ? 32.0f / float(depthExtent) : 0.0f;
    for (int i = 0; i < side; i++) {
        const int y = top + i;
        if (y < 0 || y >= h)
            continue;
        const int a = i * 32 / side;
        for (int j = 0; j < side; j++) {
            const int x = left + j;
            if (x < 0 || x >= w || x >= depth->width || y >= depth->height)
                continue;
            const int b = j * 32 / side;
            const uint16_t z = *pixelAt(depth, x, y);
            int cell;
            if (kind == KP_GLOW_HALO) {
                if (z < zn || z > zf)
                    continue;
                float sum = 0;
                for (int k = 0; k < int(z - zn); k++)
                    sum += slice;
                cell = int(sum);
                cell = cell < 0 ? 0 : cell > 31 ? 31 : cell;
            } else {
                if (z < zn)
                    continue;
                cell = 16;
            }
            const int hgt = volume[a * 1024 + b * 32 + cell];
            if (hgt == 0)
                continue;
            const int f = 64 - hgt;
            uint16_t *p = pixelAt(colour, x, y);
            const int old = *p;
            const int bl = ((old & 0x1F) * f + g_effects.blue[f]) >> 6;
            const int rd = ((old >> 11) * f + g_effects.red[f]) >> 6;
            const int gr = (((old >> 5) & 0x3F) * f + g_effects.green[f]) >> 6;
            *p = uint16_t(bl + (rd << 11) + (gr << 5));
        }
    }
}

void KpProjectPoint(br_actor *actor, const br_vector3 &point, int out[3], br_actor *camera, br_pixelmap *picture)
{
    br_matrix4 m;
    BrActorToScreenMatrix4(&m, actor, camera);
    float c[4];
    for (int k = 0; k < 4; k++)
        c[k] = point.v[0] * m.m[0][k] + point.v[1] * m.m[1][k] + point.v[2] * m.m[2][k] + m.m[3][k];
    if (c[3] == 0)
        c[3] = 1e-6f;
    out[0] = int((c[0] / c[3] + 1) / 2 * float(picture->width));
    out[1] = int((1 - c[1] / c[3]) / 2 * float(picture->height));
    out[2] = int(uint16_t(int(-32768.0f * c[2] / c[3]) + 32768));
}

void KpProjectedRadius(br_actor *actor, const br_vector3 &point, float radius, br_actor *camera,
                       br_pixelmap *picture, int size[2], int centre[3])
{
    // The point carried into the camera's frame, moved along the camera's x and z axes.
    br_matrix34 toCamera;
    BrActorToActorMatrix34(&toCamera, actor, camera);
    br_vector3 p;
    for (int k = 0; k < 3; k++)
        p.v[k] = point.v[0] * toCamera.m[0][k] + point.v[1] * toCamera.m[1][k] + point.v[2] * toCamera.m[2][k] +
                 toCamera.m[3][k];
    auto project = [&](float dx, float dz, int out[3]) {
        br_vector3 q = p;
        q.v[0] += dx;
        q.v[2] += dz;
        KpProjectPoint(camera, q, out, camera, picture);
    };
    int a[3], b[3];
    project(radius, 0, a);
    project(-radius, 0, b);
    size[0] = a[0] - b[0];
    project(0, -radius, a);
    project(0, radius, b);
    size[1] = a[2] - b[2];
    project(0, 0, centre);
}

void KpGlow(int kind, br_pixelmap *colour, br_pixelmap *depth, br_actor *actor, const br_vector3 &point,
            br_actor *camera, float radius)
{
    if (colour == nullptr || depth == nullptr || actor == nullptr || camera == nullptr)
        return;
    int size[2], c[3];
    KpProjectedRadius(actor, point, radius, camera, colour, size, c);
    const int s = size[0] < 0 ? -size[0] : size[0];
    const int d = size[1] < 0 ? -size[1] : size[1];
    const int left = c[0] - s / 2, top = c[1] - s / 2;
    if (kind != KP_GLOW_HALO) {
        g_effects.glowLeft = left;
        g_effects.glowTop = top;
    }
    KpGlowSquare(kind, colour, depth, left, top, s, int(uint16_t(c[2] - d / 2)), d);
}

void KpFillGlowPoints(const int32_t (*path)[2], int count)
{
    static const float shapes[4][3][3][2] = {
        // turn from +z to +x
        {{{-0.025f, -0.025f}, {0, -0.025f}, {0.025f, -0.025f}},
         {{-0.014f, 0.014f}, {0.007f, -0.007f}, {0.025f, -0.025f}},
         {{0.025f, 0.025f}, {0.025f, 0}, {0.025f, -0.025f}}},
        // turn from +x to +z
        {{{-0.025f, 0.025f}, {-0.025f, 0}, {-0.025f, -0.025f}},
         {{-0.025f, 0.025f}, {-0.007f, 0.007f}, {0.014f, -0.014f}},
         {{-0.025f, 0.025f}, {0, 0.025f}, {0.025f, 0.025f}}},
        // along +z
        {{{-0.025f, -0.025f}, {0, -0.025f}, {0.025f, -0.025f}},
         {{-0.025f, 0}, {0, 0}, {0.025f, 0}},
         {{-0.025f, 0.025f}, {0, 0.025f}, {0.025f, 0.025f}}},
        // along +x
        {{{-0.025f, 0.025f}, {-0.025f, 0}, {-0.025f, -0.025f}},
         {{0, 0.025f}, {0, 0}, {0, -0.025f}},
         {{0.025f, 0.025f}, {0.025f, 0}, {0.025f, -0.025f}}},
    };
    memset(g_effects.points, 0, sizeof g_effects.points);
    for (int q = 1; q < count && q < kKpPathMaxCells; q++) {
        const int32_t *prev = path[q - 1], *cur = path[q];
        const bool last = q == count - 1;
        const int32_t *next = last ? nullptr : path[q + 1];
        int shape = -1;
        if (!last && prev[1] < cur[1] && next[0] > cur[0])
            shape = 0;
        else if (!last && prev[0] < cur[0] && next[1] > cur[1])
            shape = 1;
        else if (prev[1] < cur[1])
            shape = 2;
        else if (prev[0] < cur[0])
            shape = 3;
        if (shape < 0)
            continue;
        memcpy(g_effects.points[3 * q], shapes[shape], sizeof shapes[shape]);
    }
}
