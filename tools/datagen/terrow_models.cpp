// Terrow's models (terrow.pck) and their UV maps (.uvd). A cell is 0.1 wide in x and z and 0.1 high
// in y before the game's load scale of 0.55 in y; every model is centred on its cell, x and z from
// -0.05 to 0.05, full-height blocks from y -0.05 to 0.05. The faces come in the orders the game
// counts on: the cube's sides +y, +x, -z, -x, +z, -y (two triangles each), the spikes after the
// block's 14 faces (after the plate's 4 in the flat one), the small arrow's hidden base first.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <unistd.h>
#include <cstdlib>
#include <algorithm>

#include <brondel/brcore.h>
#include <brondel/brdbfile.h>
#include <brondel/brmodel.h>
#include <brondel/brv1db.h>
#include <brondel/bractor.h>
#include <brondel/brmaterial.h>
#include <brondel/brmatrix.h>
#include <brondel/brpixmap.h>
#include <brondel/brscene.h>

#include "gen.h"
#include "terrow.h"

namespace datagen::terrow {

namespace {

struct V3 {
    float x, y, z;
};

V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator*(V3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }

// A model being built: triangles with their own corners, each corner with its map coordinates and,
// for the UV map file, the grid cell and the cell corner it shows.
struct Mesh {
    struct Corner {
        V3 p;
        float u, v;
        int cell, cu, cv;  // cell 0..5, cell corner 0/1 across and down
    };
    struct Tri {
        Corner c[3];
        int group;
    };
    std::string name;
    std::vector<Tri> tris;

    void tri(Corner a, Corner b, Corner c, int group) { tris.push_back({{a, b, c}, group}); }
    // A quad a b c d counter-clockwise seen from outside: two triangles (a b c) (a c d), the whole
    // cell `cell` on it, a at the cell's top left.
    void quad(V3 a, V3 b, V3 c, V3 d, int cell, int group)
    {
        Corner A{a, 0, 0, cell, 0, 0}, B{b, 1, 0, cell, 1, 0}, C{c, 1, 1, cell, 1, 1}, D{d, 0, 1, cell, 0, 1};
        tri(A, B, C, group);
        tri(A, C, D, group);
    }
};

// The cube's sides in face order with the cell each shows: top first.
void box(Mesh &m, V3 lo, V3 hi, int group_base = 0)
{
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    m.quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, 0, group_base + 1);  // +y
    m.quad({x1, y1, z1}, {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, 1, group_base + 2);  // +x
    m.quad({x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, 2, group_base + 3);  // -z
    m.quad({x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, 3, group_base + 4);  // -x
    m.quad({x0, y1, z1}, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, 4, group_base + 5);  // +z
    m.quad({x0, y0, z1}, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, 5, group_base + 6);  // -y
}

const float H = 0.05f;

Mesh cube(const char *name)
{
    Mesh m{name, {}};
    box(m, {-H, -H, -H}, {H, H, H});
    return m;
}

// The flat plate a ground tile inside the field shows: the top of the block, 0.02 thick.
Mesh plate(const char *name)
{
    Mesh m{name, {}};
    box(m, {-H, H - 0.02f, -H}, {H, H, H});
    return m;
}

// The slope rises from -z (the block's foot) to +z (its full height): top, bottom, back, two sides.
Mesh slope(const char *name)
{
    Mesh m{name, {}};
    m.quad({-H, -H, -H}, {-H, H, H}, {H, H, H}, {H, -H, -H}, 0, 1);
    m.quad({-H, -H, H}, {-H, -H, -H}, {H, -H, -H}, {H, -H, H}, 5, 2);
    m.quad({-H, H, H}, {-H, -H, H}, {H, -H, H}, {H, H, H}, 4, 3);
    m.tri({{H, H, H}, 0, 0, 1, 0, 0}, {{H, -H, H}, 0, 1, 1, 0, 1}, {{H, -H, -H}, 1, 1, 1, 1, 1}, 4);
    m.tri({{-H, -H, -H}, 0, 1, 3, 0, 1}, {{-H, -H, H}, 1, 1, 3, 1, 1}, {{-H, H, H}, 1, 0, 3, 1, 0}, 5);
    return m;
}

// The corner: a pyramid on the cell with its top over the +x, +z corner; the two slanted sides in
// two triangles each, the two walls, the floor: eight faces, as the slope has.
Mesh corner()
{
    Mesh m{"utkozo", {}};
    const V3 top{H, H, H}, a{-H, -H, -H}, b{H, -H, -H}, c{H, -H, H}, d{-H, -H, H}, mab{0, -H, -H}, mad{-H, -H, 0};
    m.tri({top, 1, 0, 0, 1, 0}, {b, 1, 1, 0, 1, 1}, {mab, 0.5f, 1, 0, 0, 1}, 1);   // facing -z
    m.tri({top, 1, 0, 0, 1, 0}, {mab, 0.5f, 1, 0, 0, 1}, {a, 0, 1, 0, 0, 1}, 1);
    m.tri({top, 1, 0, 2, 1, 0}, {mad, 0.5f, 1, 2, 0, 1}, {d, 1, 1, 2, 1, 1}, 2);   // facing -x
    m.tri({top, 1, 0, 2, 1, 0}, {a, 0, 1, 2, 0, 1}, {mad, 0.5f, 1, 2, 0, 1}, 2);
    m.tri({top, 0, 0, 1, 0, 0}, {c, 1, 1, 1, 1, 1}, {b, 0, 1, 1, 0, 1}, 3);        // +x wall
    m.tri({top, 1, 0, 4, 1, 0}, {d, 0, 1, 4, 0, 1}, {c, 1, 1, 4, 1, 1}, 4);        // +z wall
    m.tri({d, 0, 0, 5, 0, 0}, {a, 0, 1, 5, 0, 1}, {b, 1, 1, 5, 1, 1}, 5);          // floor
    m.tri({d, 0, 0, 5, 0, 0}, {b, 1, 1, 5, 1, 1}, {c, 1, 0, 5, 1, 0}, 5);
    return m;
}

// A four-sided spike standing on (x, y, z).
void spike(Mesh &m, float x, float y, float z, float r, float h)
{
    const V3 tip{x, y + h, z}, p0{x - r, y, z - r}, p1{x + r, y, z - r}, p2{x + r, y, z + r}, p3{x - r, y, z + r};
    const V3 ring[5] = {p0, p3, p2, p1, p0};
    for (int i = 0; i < 4; i++)
        m.tri({tip, 0.5f, 0, 0, 0, 0}, {ring[i], 0, 1, 0, 0, 1}, {ring[i + 1], 1, 1, 0, 1, 1}, 8);
}

// Spikes on a block: the block's 12 faces, a raised top plate (2), then nine spikes.
Mesh spikes(bool flat)
{
    Mesh m{flat ? "tuskesb" : "tuskes", {}};
    const float base = flat ? H - 0.02f : -H;
    if (flat) {
        m.quad({-H, H, -H}, {-H, H, H}, {H, H, H}, {H, H, -H}, 0, 1);
        m.quad({-H, base, H}, {-H, base, -H}, {H, base, -H}, {H, base, H}, 5, 2);
    } else {
        box(m, {-H, base, -H}, {H, H, H});
        const float t = H + 0.004f, e = H - 0.006f;
        m.quad({-e, t, -e}, {-e, t, e}, {e, t, e}, {e, t, -e}, 0, 7);
    }
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++)
            spike(m, -0.032f + 0.032f * i, H, -0.032f + 0.032f * k, 0.012f, 0.04f);
    return m;
}

// The magnet: a block with a horseshoe on its top.
Mesh magnet()
{
    Mesh m{"magnes", {}};
    box(m, {-H, -H, -H}, {H, H, H});
    box(m, {-0.035f, H, -0.015f}, {-0.015f, H + 0.03f, 0.02f}, 10);
    box(m, {0.015f, H, -0.015f}, {0.035f, H + 0.03f, 0.02f}, 10);
    box(m, {-0.035f, H, 0.02f}, {0.035f, H + 0.03f, 0.035f}, 10);
    return m;
}

// A globe of radius r, its vertex 0 on the sphere (the top pole): the physics scales by it.
void globe(Mesh &m, float r, V3 at, int rings, int segs, int group)
{
    auto point = [&](int ring, int seg) {
        const float th = float(M_PI) * ring / rings, ph = 2 * float(M_PI) * seg / segs;
        return Mesh::Corner{at + V3{std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph)} * r,
                            float(seg) / segs, float(ring) / rings, 0, 0, 0};
    };
    for (int ring = 0; ring < rings; ring++)
        for (int seg = 0; seg < segs; seg++) {
            Mesh::Corner a = point(ring, seg), b = point(ring, seg + 1), c = point(ring + 1, seg + 1),
                         d = point(ring + 1, seg);
            if (ring != 0)
                m.tri(a, b, c, group);
            if (ring != rings - 1)
                m.tri(a, c, d, group);
        }
}

Mesh ball(const char *name, bool fuse)
{
    Mesh m{name, {}};
    globe(m, 0.05f, {0, 0, 0}, 8, 12, 1);
    if (fuse)
        box(m, {-0.006f, 0.045f, -0.006f}, {0.006f, 0.065f, 0.006f}, 2);
    return m;
}

// An arrow lying in y = 0 pointing to +z; the small one starts with a hidden base square.
Mesh arrow(const char *name, float size, bool base)
{
    Mesh m{name, {}};
    const float s = size;
    if (base)
        m.quad({-s, 0, -s}, {-s, 0, s}, {s, 0, s}, {s, 0, -s}, 0, 1);
    m.quad({-0.3f * s, 0.001f, -s}, {-0.3f * s, 0.001f, 0.1f * s}, {0.3f * s, 0.001f, 0.1f * s},
           {0.3f * s, 0.001f, -s}, 0, 2);
    m.tri({{-0.7f * s, 0.001f, 0.1f * s}, 0, 1, 0, 0, 1}, {{0, 0.001f, s}, 0.5f, 0, 0, 0, 0},
          {{0.7f * s, 0.001f, 0.1f * s}, 1, 1, 0, 1, 1}, 2);
    return m;
}

Mesh flat_square(const char *name, float half, float y = 0)
{
    Mesh m{name, {}};
    m.quad({-half, y, -half}, {-half, y, half}, {half, y, half}, {half, y, -half}, 0, 1);
    return m;
}

// The shadows' receivers: only the surface a shadow lies on (a block's top, a slope's slanted top),
// drawn over a hundred balls a frame.
Mesh shadow_slope()
{
    Mesh m{"lejtof", {}};
    m.quad({-H, -H, -H}, {-H, H, H}, {H, H, H}, {H, -H, -H}, 0, 1);
    return m;
}

// The hall: a floor with walls on two sides (the room behind the field), 4 x 4 field widths.
Mesh hall_floor()
{
    Mesh m{"bgr_alapxx", {}};
    const float s = 2.0f, f = -0.06f;
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 4; k++) {
            const float x0 = -s + i, z0 = -s + k;
            m.quad({x0, f, z0}, {x0, f, z0 + 1}, {x0 + 1, f, z0 + 1}, {x0 + 1, f, z0}, 0, 1);
        }
    return m;
}

Mesh hall_wall(const char *name, float angle)
{
    Mesh m{name, {}};
    const float s = 2.0f, h = 1.2f, c = std::cos(angle), sn = std::sin(angle);
    auto at = [&](float x, float y) { return V3{x * c - (-s) * sn, y, x * sn + (-s) * c}; };
    m.quad(at(-s, h), at(-s, -0.06f), at(s, -0.06f), at(s, h), 0, 1);
    return m;
}

// The debris: the faces of a whole model shared out into `n` pieces (their corners keep the places
// of the whole's, so they find its map coordinates), each piece its faces and their backs.
std::vector<Mesh> pieces(const Mesh &whole, int n, const char *name)
{
    std::vector<Mesh> out(static_cast<size_t>(n));
    for (int i = 0; i < n; i++)
        out[size_t(i)].name = std::string(name) + std::to_string(i);
    const size_t count = whole.tris.size();
    for (size_t t = 0; t < count; t++) {
        Mesh &p = out[t * size_t(n) / count];
        Mesh::Tri tri = whole.tris[t];
        p.tris.push_back(tri);
        std::swap(tri.c[1], tri.c[2]);
        p.tris.push_back(tri);
    }
    return out;
}

// The count digits: seven-segment figures standing in the x-y plane.
Mesh digit(int d)
{
    static const char *const on[10] = {"abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg"};
    Mesh m{"s" + std::to_string(d), {}};
    const float w = 0.03f, h = 0.05f, t = 0.008f;
    auto bar = [&](float x0, float y0, float x1, float y1) {
        m.quad({x0, y1, 0}, {x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, 0, 1);
    };
    for (const char *s = on[d]; *s; s++) {
        switch (*s) {
        case 'a': bar(-w, h - t, w, h); break;
        case 'b': bar(w - t, 0, w, h); break;
        case 'c': bar(w - t, -h, w, 0); break;
        case 'd': bar(-w, -h, w, -h + t); break;
        case 'e': bar(-w, -h, -w + t, 0); break;
        case 'f': bar(-w, 0, -w + t, h); break;
        case 'g': bar(-w, -t / 2, w, t / 2); break;
        }
    }
    return m;
}

// Corners with the same place and map coordinates share a vertex.
// The texture grid of the UV maps: U 0.001..0.333 | 0.34..0.66 | 0.67..0.99, V 0.001..0.5 | 0.51..0.99.
const float kU[6] = {0.001f, 0.333f, 0.34f, 0.66f, 0.67f, 0.99f}, kV[4] = {0.001f, 0.5f, 0.51f, 0.99f};

bool on_grid(const std::string &name)
{
    for (const char *n : {"kocka", "lejto", "lejtof", "lap", "lapf", "tuskes", "tuskesb", "magnes", "utkozo"})
        if (name == n)
            return true;
    return name.rfind("pieces_k", 0) == 0 || name.rfind("pieces_l", 0) == 0 || name.rfind("pieces_m", 0) == 0 ||
           name.rfind("utkozo_r", 0) == 0;
}

br_model *to_model(const Mesh &mesh)
{
    const bool grid = on_grid(mesh.name);
    std::vector<br_vertex> verts;
    std::vector<br_face> faces;
    for (const Mesh::Tri &t : mesh.tris) {
        br_face f{};
        for (int k = 0; k < 3; k++) {
            Mesh::Corner c = t.c[k];
            if (grid) {
                c.u = kU[(c.cell % 3) * 2 + c.cu];
                c.v = kV[(c.cell / 3) * 2 + c.cv];
            }
            size_t i = 0;
            for (; i < verts.size(); i++)
                if (verts[i].p.v[0] == c.p.x && verts[i].p.v[1] == c.p.y && verts[i].p.v[2] == c.p.z &&
                    verts[i].map.v[0] == c.u && verts[i].map.v[1] == c.v)
                    break;
            if (i == verts.size()) {
                br_vertex v{};
                BrVector3Set(&v.p, c.p.x, c.p.y, c.p.z);
                v.map.v[0] = c.u;
                v.map.v[1] = c.v;
                verts.push_back(v);
            }
            f.vertices[k] = br_uint_16(i);
        }
        f.smoothing = br_uint_16(1u << (t.group % 16));
        faces.push_back(f);
    }
    br_model *m = BrModelAllocate(mesh.name.c_str(), int(verts.size()), int(faces.size()));
    std::copy(verts.begin(), verts.end(), m->vertices);
    std::copy(faces.begin(), faces.end(), m->faces);
    m->flags = BR_MODF_UPDATEABLE;
    return m;
}

bool saved_bytes(const std::vector<Mesh> &meshes, std::vector<uint8_t> &bytes)
{
    // The model registry comes with the 3D database: the whole library is begun for the save.
    if (BrBegin() != BRE_OK)
        return false;
    std::vector<br_model *> models;
    for (const Mesh &m : meshes)
        models.push_back(BrModelAdd(to_model(m)));
    char temporary[] = "/tmp/datagen-modXXXXXX";
    int fd = mkstemp(temporary);
    bool ok = fd >= 0 && BrModelSaveMany(temporary, models.data(), br_uint_16(models.size())) == models.size();
    for (br_model *m : models)
        BrModelFree(BrModelRemove(m));
    BrEnd();
    if (ok) {
        FILE *f = fopen(temporary, "rb");
        ok = f != nullptr;
        bytes.clear();
        uint8_t chunk[4096];
        size_t n;
        while (ok && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        if (f != nullptr)
            fclose(f);
    }
    if (fd >= 0) {
        close(fd);
        unlink(temporary);
    }
    return ok;
}

// Six integers a face: for each corner the U index (2 x column, + 1 on the cell's right) and the V
// index (2 x row, + 1 at its bottom) of the 3 x 2 texture grid.
std::string uvd(const Mesh &m)
{
    std::string text;
    for (const Mesh::Tri &t : m.tris) {
        for (int k = 0; k < 3; k++) {
            const Mesh::Corner &c = t.c[k];
            char pair[16];
            snprintf(pair, sizeof pair, "%s%d %d", k ? " " : "", (c.cell % 3) * 2 + c.cu, (c.cell / 3) * 2 + c.cv);
            text += pair;
        }
        text += "\n";
    }
    return text;
}

br_pixelmap *texture_map(const Image &im, const std::string &name)
{
    br_pixelmap *pm = BrPixelmapAllocate(BR_PMT_RGB_565, im.width, im.height, nullptr, 0);
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            const uint32_t c = im.argb[size_t(y) * im.width + x];
            const uint16_t p = uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x001F));
            memcpy(static_cast<uint8_t *>(pm->pixels) + ptrdiff_t(y) * pm->row_bytes + x * 2, &p, 2);
        }
    pm->identifier = BrResStrDup(pm, name.c_str());
    return BrMapAdd(pm);
}

}  // namespace

std::vector<std::pair<std::string, Image>> model_views()
{
    struct View {
        const char *model, *texture;
        float scale_y, scale;
    };
    const View views[] = {{"kocka", "aq\\1panel.pix", 0.55f, 1},     {"kocka", "aq\\rakpanel.pix", 0.55f, 1},
                          {"lejto", "aq\\2lejto.pix", 0.55f, 1},     {"utkozo", "aq\\2utkozo.pix", 0.55f, 1},
                          {"kocka", "aq\\1indito.pix", 0.55f, 1},    {"tuskes", "bq\\2tuskes.pix", 0.55f, 1},
                          {"magnes", "bq\\3magnes.pix", 0.55f, 1},   {"gomb", "bq\\fem1a.pix", 0.7f, 0.7f},
                          {"gomb", "bq\\golf.pix", 0.7f, 0.7f},      {"bomb", "bq\\bomba.pix", 0.7f, 0.7f},
                          {"gomb", "bq\\gumi.pix", 0.7f, 0.7f},      {"kocka", "cq\\cell0001.pix", 0.55f, 1}};
    std::vector<PictureFile> textures_made = textures(), trt = trt_pictures();
    textures_made.insert(textures_made.end(), trt.begin(), trt.end());
    const Mesh meshes[] = {cube("kocka"), slope("lejto"), corner(), spikes(false), magnet(), ball("gomb", false),
                           ball("bomb", true)};
    std::vector<std::pair<std::string, Image>> out;
    const int w = 160, h = 120;
    for (const View &v : views) {
        if (BrBegin() != BRE_OK)
            break;
        br_pixelmap *colour = BrPixelmapAllocate(BR_PMT_RGB_565, w, h, nullptr, 0);
        br_pixelmap *depth = BrPixelmapAllocate(BR_PMT_DEPTH_16, w, h, nullptr, 0);
        BrZbBegin(BR_PMT_RGB_565, BR_PMT_DEPTH_16);
        colour->origin_x = w / 2;
        colour->origin_y = h / 2;
        br_actor *world = BrActorAllocate(BR_ACTOR_NONE, nullptr);
        br_actor *camera = BrActorAdd(world, BrActorAllocate(BR_ACTOR_CAMERA, nullptr));
        br_camera *cam = (br_camera *)camera->type_data;
        cam->type = BR_CAMERA_PERSPECTIVE_CENTRED;
        cam->field_of_view = br_angle(40 * 65536 / 360);
        cam->hither_z = 0.01f;
        cam->yon_z = 5;
        cam->aspect = float(w) / h;
        BrMatrix34RotateX(&camera->t.t.mat, br_angle(-35 * 65536 / 360));
        BrMatrix34PostRotateY(&camera->t.t.mat, br_angle(-35 * 65536 / 360));
        BrMatrix34PostTranslate(&camera->t.t.mat, -0.1f, 0.13f, 0.16f);
        br_actor *lamp = BrActorAdd(world, BrActorAllocate(BR_ACTOR_LIGHT, nullptr));
        br_light *l = (br_light *)lamp->type_data;
        l->type = BR_LIGHT_POINT;
        l->colour = 0xFFFFFF;
        l->attenuation_c = 1.0f;
        BrMatrix34Translate(&lamp->t.t.mat, -0.15f, 0.3f, 0.2f);
        BrLightEnable(lamp);
        br_pixelmap *map = nullptr;
        for (const PictureFile &t : textures_made)
            if (t.identifier == v.texture)
                map = texture_map(t.image, t.identifier);
        br_material *mat = BrMaterialAllocate("view");
        mat->colour = 0xFFFFFF;
        mat->ka = 0.35f;
        mat->kd = 0.7f;
        mat->ks = 0.3f;
        mat->power = 20;
        mat->flags = BR_MATF_LIT | BR_MATF_PERSPECTIVE;
        mat->colour_map = map;
        BrMaterialAdd(mat);
        br_model *model = nullptr;
        for (const Mesh &m : meshes)
            if (m.name == v.model)
                model = BrModelAdd(to_model(m));
        br_actor *a = BrActorAdd(world, BrActorAllocate(BR_ACTOR_MODEL, nullptr));
        a->model = model;
        a->material = mat;
        BrMatrix34Scale(&a->t.t.mat, v.scale, v.scale_y, v.scale);
        BrPixelmapFill(colour, 0x3186);
        BrPixelmapFill(depth, 0xFFFFFFFF);
        BrZbSceneRender(world, camera, colour, depth);
        Image im;
        im.width = w;
        im.height = h;
        im.argb.resize(size_t(w) * h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint16_t p;
                memcpy(&p, static_cast<uint8_t *>(colour->pixels) + ptrdiff_t(y) * colour->row_bytes + x * 2, 2);
                const uint32_t r = (p >> 11) * 255 / 31, g = ((p >> 5) & 63) * 255 / 63, b = (p & 31) * 255 / 31;
                im.argb[size_t(y) * w + x] = 0xFF000000u | r << 16 | g << 8 | b;
            }
        BrActorFree(world);
        BrModelFree(BrModelRemove(model));
        BrMaterialFree(BrMaterialRemove(mat));
        if (map != nullptr)
            BrPixelmapFree(BrMapRemove(map));
        BrPixelmapFree(colour);
        BrPixelmapFree(depth);
        BrZbEnd();
        BrEnd();
        out.emplace_back(std::string(v.model) + " " + v.texture, std::move(im));
    }
    return out;
}

bool models(std::vector<ModelFile> &out, std::string &error)
{
    out.clear();
    const Mesh kocka = cube("kocka"), lejto = slope("lejto"), utkozo = corner(), gomb = ball("gomb", false);
    const Mesh mag = magnet();
    std::vector<std::vector<Mesh>> files = {
        {kocka}, {lejto}, {shadow_slope()}, {plate("lap")}, {flat_square("lapf", H, H)}, {spikes(false)}, {spikes(true)},
        {mag}, {gomb}, {ball("bomb", true)}, {utkozo}, {arrow("nyil", 0.045f, false)},
        {arrow("picinyil", 0.025f, true)}, {flat_square("szamlap", 0.05f)},
        {hall_wall("palastm", 0)}, {hall_wall("palasta", float(M_PI) / 2)}, {hall_wall("palastaf", float(M_PI))},
        {hall_floor()}, {flat_square("button", 0.05f)}, {flat_square("bny", 0.04f)},
        {flat_square("negyzet", 0.05f)}, {flat_square("negyzet3", 0.15f)},
        pieces(gomb, 12, "pieces_g"), pieces(kocka, 12, "pieces_k"), pieces(lejto, 8, "pieces_l"),
        pieces(mag, 14, "pieces_m"), pieces(utkozo, 8, "utkozo_r")};
    const char *const names[] = {"kocka", "lejto", "lejtof", "lap", "lapf", "tuskes", "tuskesb", "magnes", "gomb",
                                 "bomb", "utkozo", "nyil", "picinyil", "szamlap", "palastm", "palasta", "palastaf",
                                 "alap", "button", "bny", "negyzet", "negyzet3", "pieces_g", "pieces_k",
                                 "pieces_l", "pieces_m", "utkozo_r"};
    for (int d = 0; d < 10; d++)
        files.push_back({digit(d)});
    for (size_t i = 0; i < files.size(); i++) {
        ModelFile f;
        f.name = i < sizeof names / sizeof names[0] ? std::string(names[i]) + ".mod"
                                                    : "s" + std::to_string(i - sizeof names / sizeof names[0]) + ".mod";
        f.count = int(files[i].size());
        if (!saved_bytes(files[i], f.bytes)) {
            error = f.name + ": the model file cannot be made";
            return false;
        }
        out.push_back(std::move(f));
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> uv_maps()
{
    return {{"kocka.uvd", uvd(cube("kocka"))}, {"lap.uvd", uvd(plate("lap"))}, {"lejto.uvd", uvd(slope("lejto"))},
            {"szoges.uvd", uvd(spikes(false))}};
}

}  // namespace datagen::terrow
