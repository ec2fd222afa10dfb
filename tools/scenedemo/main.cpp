// scenedemo --out scene.png [--width W --height H] [--textured]
// Renders a lit world of cubes on a floor through a perspective camera with the 3D library and the
// compiled-in stand-in renderer, and writes the picture as a PNG file. --textured maps a made-up
// tile texture on the floor and the cubes and sets panes of glass in front of some of them.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include <brondel/brcore.h>
#include <brondel/brmaterial.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>
#include <brondel/brv1db.h>

#include "vokplat/paths.h"
#include "vokplat/png.h"

namespace {

const float cube_p[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                            {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
const br_uint_16 cube_f[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2},
                                  {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

br_angle degrees(float d)
{
    return (br_angle)(br_int_32)(d * 65536.0f / 360.0f);
}

// Four corners per side, so each side carries the whole texture (its first row at the top).
br_model *cube_model()
{
    static const float side_uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    br_model *m = BrModelAllocate("cube", 24, 12);
    for (int s = 0; s < 6; s++) {
        const br_uint_16 *f0 = cube_f[2 * s], *f1 = cube_f[2 * s + 1];
        const br_uint_16 corner[4] = {f0[0], f0[1], f0[2], f1[2]};
        for (int k = 0; k < 4; k++) {
            const float *p = cube_p[corner[k]];
            BrVector3Set(&m->vertices[4 * s + k].p, p[0], p[1], p[2]);
            m->vertices[4 * s + k].map.v[0] = side_uv[k][0];
            m->vertices[4 * s + k].map.v[1] = side_uv[k][1];
        }
        const br_uint_16 faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (int f = 0; f < 2; f++) {
            for (int c = 0; c < 3; c++)
                m->faces[2 * s + f].vertices[c] = (br_uint_16)(4 * s + faces[f][c]);
            m->faces[2 * s + f].smoothing = (br_uint_16)(1u << s); // flat sides
        }
    }
    m->flags = BR_MODF_UPDATEABLE;
    return BrModelAdd(m);
}

br_material *material(const char *name, br_colour colour)
{
    br_material *mat = BrMaterialAllocate(name);
    mat->colour = colour;
    mat->ka = 0.2f;
    mat->kd = 0.8f;
    mat->ks = 0.3f;
    mat->power = 20.0f;
    mat->flags = BR_MATF_LIT | BR_MATF_PERSPECTIVE;
    return BrMaterialAdd(mat);
}

br_actor *light(br_actor *world, br_uint_8 type, br_colour colour, float x, float y, float z)
{
    br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
    br_light *l = (br_light *)a->type_data;
    l->type = type;
    l->colour = colour;
    l->attenuation_c = 1.0f;
    l->attenuation_l = 0.01f;
    BrMatrix34Translate(&a->t.t.mat, x, y, z);
    BrLightEnable(a);
    return a;
}

std::vector<unsigned char> rgb_of(br_pixelmap *pm)
{
    std::vector<unsigned char> rgb((size_t)pm->width * pm->height * 3);
    for (int y = 0; y < pm->height; y++) {
        const br_uint_8 *row = (const br_uint_8 *)pm->pixels + (pm->base_y + y) * pm->row_bytes;
        for (int x = 0; x < pm->width; x++) {
            br_uint_16 p = ((const br_uint_16 *)row)[pm->base_x + x];
            unsigned char *o = &rgb[((size_t)y * pm->width + x) * 3];
            o[0] = (unsigned char)(((p >> 11) & 31) * 255 / 31);
            o[1] = (unsigned char)(((p >> 5) & 63) * 255 / 63);
            o[2] = (unsigned char)((p & 31) * 255 / 31);
        }
    }
    return rgb;
}

// A 64 x 64 RGB 565 tile: light stone with dark joints and a little grain.
br_pixelmap *tile_map()
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, 64, 64, nullptr, 0);
    if (pm == nullptr)
        return nullptr;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            int row = y / 16, bx = (x + (row & 1) * 16) % 32;
            bool joint = y % 16 == 0 || bx == 0;
            int grain = ((x * 7 + y * 13) ^ (x * y)) & 15;
            int r = joint ? 60 : 200 + grain, g = joint ? 55 : 180 + grain, b = joint ? 50 : 150 + grain;
            br_uint_16 p = (br_uint_16)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            memcpy((char *)pm->pixels + y * pm->row_bytes + x * 2, &p, 2);
        }
    return BrMapAdd(pm);
}

// Textures the floor (tiled 6 times) and the cubes, and sets a pane of translucent glass in front
// of every other cube. The panes go under `glass`, an actor drawn after the rest of the world
// (translucent surfaces mix with what is already drawn behind them).
void make_textured(br_pixelmap *tile, br_material *floor_mat, br_material **mats, int nmats, br_actor *group,
                   br_actor *glass_group, br_model *cube)
{
    floor_mat->colour = 0xffffff;
    floor_mat->colour_map = tile;
    BrMatrix23Scale(&floor_mat->map_transform, 6.0f, 6.0f);
    BrMaterialUpdate(floor_mat, BR_MATU_ALL);
    for (int i = 0; i < nmats; i++) {
        mats[i]->colour_map = tile;
        mats[i]->flags |= BR_MATF_SMOOTH;
        BrMaterialUpdate(mats[i], BR_MATU_ALL);
    }
    br_material *glass = BrMaterialAllocate("glass");
    glass->colour = 0xff50d0;
    glass->opacity = 128;
    glass->flags = 0; // unlit: one tint over whatever is behind
    BrMaterialAdd(glass);
    int k = 0;
    for (br_actor *a = group->children; a != nullptr; a = a->next, k++) {
        if (k % 2)
            continue;
        br_actor *pane = BrActorAdd(glass_group, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        pane->model = cube;
        pane->material = glass;
        br_matrix34 local;
        BrMatrix34Scale(&local, 1.3f, 1.3f, 0.05f);
        BrMatrix34PostTranslate(&local, 0, 0, 1.6f);
        BrMatrix34Mul(&pane->t.t.mat, &local, &a->t.t.mat);
    }
}

int usage()
{
    fprintf(stderr, "usage: scenedemo --out FILE.png [--width W] [--height H] [--textured]\n");
    return 2;
}

// A size in 16..4096: the whole argument must be a decimal number in range.
bool parse_size(const char *what, const char *text, int &out)
{
    char *end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < 16 || v > 4096) {
        fprintf(stderr, "scenedemo: %s '%s' is not a number from 16 to 4096\n", what, text);
        return false;
    }
    out = (int)v;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const char *out = nullptr;
    int w = 640, h = 480;
    bool textured = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = PlatToolPath(argv[++i]);
        else if (strcmp(argv[i], "--textured") == 0)
            textured = true;
        else if (strcmp(argv[i], "--width") == 0 && i + 1 < argc) {
            if (!parse_size("width", argv[++i], w))
                return 2;
        } else if (strcmp(argv[i], "--height") == 0 && i + 1 < argc) {
            if (!parse_size("height", argv[++i], h))
                return 2;
        } else
            return usage();
    }
    if (out == nullptr)
        return usage();

    if (BrBegin() != BRE_OK) {
        fprintf(stderr, "scenedemo: the 3D library did not begin\n");
        return 1;
    }
    br_pixelmap *colour = BrPixelmapAllocate(BR_PMT_RGB_565, w, h, nullptr, 0);
    br_pixelmap *depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, w, h, nullptr, 0);
    BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
    if (colour == nullptr || depth == nullptr || BrV1dbRendererQuery() == nullptr) {
        fprintf(stderr, "scenedemo: no renderer\n");
        BrEnd();
        return 1;
    }
    colour->origin_x = (br_int_16)(w / 2);
    colour->origin_y = (br_int_16)(h / 2);

    br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
    br_actor *camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
    br_camera *cam = (br_camera *)camera->type_data;
    cam->type = BR_CAMERA_PERSPECTIVE_CENTRED;
    cam->field_of_view = degrees(45);
    cam->hither_z = 0.5f;
    cam->yon_z = 60.0f;
    cam->aspect = (float)w / (float)h;
    BrMatrix34RotateX(&camera->t.t.mat, degrees(-32));
    BrMatrix34PostRotateY(&camera->t.t.mat, degrees(20));
    BrMatrix34PostTranslate(&camera->t.t.mat, 4.5f, 8.0f, 14.0f);

    light(world, BR_LIGHT_POINT, 0xffffff, 6, 9, 8);
    light(world, BR_LIGHT_POINT, 0x404060, -8, 4, -2);

    br_model *cube = cube_model();
    static const br_colour palette[6] = {0xd04030, 0x40a040, 0x3060d0, 0xe0c030, 0xa040c0, 0x30b0b0};
    br_material *mats[6];
    for (int i = 0; i < 6; i++) {
        char name[16];
        snprintf(name, sizeof(name), "cube%d", i);
        mats[i] = material(name, palette[i]);
    }
    br_material *floor_mat = material("floor", 0x909090);

    // The newest child is drawn first: the glass, made first, is drawn last.
    br_actor *glass_group = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    glass_group->t.type = BR_TRANSFORM_IDENTITY;
    br_actor *floor = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
    floor->model = cube;
    floor->material = floor_mat;
    BrMatrix34Scale(&floor->t.t.mat, 7.0f, 0.1f, 7.0f);
    BrMatrix34PostTranslate(&floor->t.t.mat, 0, -0.1f, 0);

    br_actor *group = BrActorAdd(world, BrActorAllocate(BR_ACTOR_NONE, nullptr));
    group->t.type = BR_TRANSFORM_IDENTITY;
    for (int gz = 0; gz < 5; gz++) {
        for (int gx = 0; gx < 5; gx++) {
            br_actor *a = BrActorAdd(group, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
            float size = 0.35f + 0.1f * (float)((gx + gz) % 3);
            float lift = 0.5f * (float)((gx * 3 + gz * 2) % 4);
            a->model = cube;
            a->material = mats[(gx + 2 * gz) % 6];
            BrMatrix34Scale(&a->t.t.mat, size, size + lift * 0.5f, size);
            BrMatrix34PostRotateY(&a->t.t.mat, degrees(9.0f * (float)(gx * 5 + gz)));
            BrMatrix34PostTranslate(&a->t.t.mat, -5.0f + 2.5f * (float)gx, size + lift * 0.5f, -5.0f + 2.5f * (float)gz);
        }
    }

    br_pixelmap *tile = textured ? tile_map() : nullptr;
    if (tile != nullptr)
        make_textured(tile, floor_mat, mats, 6, group, glass_group, cube);

    BrPixelmapFill(colour, 0x3a9d); // a bright blue sky: RGB 565 (7, 20, 29), about (57, 81, 239)
    BrPixelmapFill(depth, 0xffffffff);
    BrZbSceneRender(world, camera, colour, depth);

    bool ok = PlatWritePngRgb(out, w, h, rgb_of(colour).data());
    if (!ok)
        fprintf(stderr, "scenedemo: cannot write %s\n", out);

    BrActorFree(world);
    BrZbEnd();
    if (tile != nullptr) {
        BrMapRemove(tile);
        BrPixelmapFree(tile);
    }
    BrPixelmapFree(colour);
    BrPixelmapFree(depth);
    BrEnd();
    return ok ? 0 : 1;
}
