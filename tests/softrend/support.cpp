#include "support.h"


#include <cmath>
#include <cstdio>
#include <cstring>

namespace srtest {

Frame::Frame(int w_, int h_, sr::ColourType ct, sr::DepthType dt, bool bottom_up, int guard_)
    : w(w_), h(h_), guard(guard_)
{
    target.ctype = ct;
    target.dtype = dt;
    place(target.colour, cmem, sr::colour_bytes(ct), bottom_up);
    cpattern_ = cmem;
    if (dt != sr::DepthType::None) {
        place(target.depth, dmem, sr::depth_bytes(dt), bottom_up);
        dpattern_ = dmem;
    }
}

void Frame::place(sr::Buffer &b, std::vector<uint8_t> &mem, int bpp, bool bottom_up)
{
    int stride = (w + 2 * guard) * bpp;
    int rows = h + 2 * guard;
    mem.assign((size_t)stride * rows, 0);
    for (size_t i = 0; i < mem.size(); ++i)
        mem[i] = (uint8_t)(0xA5 ^ (i * 7));
    b.width = w;
    b.height = h;
    if (bottom_up) {
        b.row_bytes = -stride;
        b.pixels = mem.data() + (size_t)(guard + h - 1) * stride + guard * bpp;
    } else {
        b.row_bytes = stride;
        b.pixels = mem.data() + (size_t)guard * stride + guard * bpp;
    }
}

void Frame::clear(uint32_t colour_word, bool far)
{
    int cb = sr::colour_bytes(target.ctype);
    for (int y = 0; y < h; ++y) {
        uint8_t *row = target.colour.pixels + (std::ptrdiff_t)y * target.colour.row_bytes;
        for (int x = 0; x < w; ++x)
            std::memcpy(row + x * cb, &colour_word, cb);
        if (target.dtype != sr::DepthType::None) {
            int db = sr::depth_bytes(target.dtype);
            uint8_t *drow = target.depth.pixels + (std::ptrdiff_t)y * target.depth.row_bytes;
            std::memset(drow, far ? 0xff : 0x00, (size_t)w * db);
        }
    }
}

bool Frame::guards_intact() const
{
    auto check = [&](const std::vector<uint8_t> &mem, const std::vector<uint8_t> &pat, const sr::Buffer &b, int bpp) {
        int stride = (w + 2 * guard) * bpp;
        for (int r = 0; r < h + 2 * guard; ++r)
            for (int c = 0; c < stride; ++c) {
                bool inside = r >= guard && r < guard + h && c >= guard * bpp && c < (guard + w) * bpp;
                size_t i = (size_t)r * stride + c;
                if (!inside && mem[i] != pat[i])
                    return false;
            }
        return true;
    };
    bool ok = check(cmem, cpattern_, target.colour, sr::colour_bytes(target.ctype));
    if (target.dtype != sr::DepthType::None)
        ok = ok && check(dmem, dpattern_, target.depth, sr::depth_bytes(target.dtype));
    return ok;
}

uint32_t Frame::pixel(int x, int y) const
{
    int cb = sr::colour_bytes(target.ctype);
    uint32_t v = 0;
    std::memcpy(&v, target.colour.pixels + (std::ptrdiff_t)y * target.colour.row_bytes + x * cb, cb);
    return v;
}

uint32_t Frame::depth(int x, int y) const
{
    int db = sr::depth_bytes(target.dtype);
    uint32_t v = 0;
    std::memcpy(&v, target.depth.pixels + (std::ptrdiff_t)y * target.depth.row_bytes + x * db, db);
    return v;
}

int Frame::drawn(uint32_t background) const
{
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            n += pixel(x, y) != background;
    return n;
}

sr::Setup flat_setup(const Frame &f, uint32_t colour)
{
    sr::Setup s;
    s.target = f.target;
    s.lighting = false;
    s.colour = colour;
    s.cull = sr::CullType::None;
    s.parallel = true;
    return s;
}

sr::Group Mesh::group() const
{
    sr::Group g;
    g.vertices = v.data();
    g.nvertices = (uint32_t)v.size();
    g.faces = f.data();
    g.nfaces = (uint32_t)f.size();
    g.vertex_colours = vcol.empty() ? nullptr : vcol.data();
    g.face_colours = fcol.empty() ? nullptr : fcol.data();
    uint32_t edges = 0;
    for (const auto &face : f)
        for (uint16_t e : face.edges)
            edges = e > edges ? e : edges;
    g.nedges = edges + 1;
    return g;
}

void Mesh::add_vertex(float x, float y, float z, float nx, float ny, float nz)
{
    v.push_back(sr::PVertex{{x, y, z}, {0, 0}, {nx, ny, nz}});
}

void Mesh::add_face(int a, int b, int c, uint16_t e0, uint16_t e1, uint16_t e2)
{
    const float *p0 = v[a].p, *p1 = v[b].p, *p2 = v[c].p;
    float u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    float w[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    float l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (l > 0)
        for (float &k : n)
            k /= l;
    sr::PFace face{{(uint16_t)a, (uint16_t)b, (uint16_t)c}, {e0, e1, e2}, {n[0], n[1], n[2]},
                   n[0] * p0[0] + n[1] * p0[1] + n[2] * p0[2]};
    f.push_back(face);
}

Mesh cube(float h)
{
    Mesh m;
    // Per side: normal axis and sign; corners counter-clockwise seen from outside.
    const float sides[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    uint16_t edge = 1;
    for (const auto &n : sides) {
        // Two axes spanning the side, so that u x v = n.
        float u[3], w[3];
        if (n[0] != 0) {
            u[0] = 0, u[1] = 0, u[2] = -n[0];
            w[0] = 0, w[1] = 1, w[2] = 0;
        } else if (n[1] != 0) {
            u[0] = 1, u[1] = 0, u[2] = 0;
            w[0] = 0, w[1] = 0, w[2] = -n[1];
        } else {
            u[0] = n[2], u[1] = 0, u[2] = 0;
            w[0] = 0, w[1] = 1, w[2] = 0;
        }
        int base = (int)m.v.size();
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto &c : corners) {
            m.add_vertex(h * (n[0] + c[0] * u[0] + c[1] * w[0]), h * (n[1] + c[0] * u[1] + c[1] * w[1]),
                         h * (n[2] + c[0] * u[2] + c[1] * w[2]), n[0], n[1], n[2]);
            // The whole texture on every side.
            m.v.back().map[0] = c[0] > 0 ? 1.0f : 0.0f;
            m.v.back().map[1] = c[1] > 0 ? 0.0f : 1.0f;
        }
        // The diagonal is hidden (edge number 0).
        m.add_face(base, base + 1, base + 2, edge, (uint16_t)(edge + 1), 0);
        m.add_face(base, base + 2, base + 3, 0, (uint16_t)(edge + 2), (uint16_t)(edge + 3));
        edge = (uint16_t)(edge + 4);
    }
    return m;
}

sr::Mat4 perspective(float fov, float aspect, float hither, float yon)
{
    float c = std::cos(fov / 2) / std::sin(fov / 2);
    sr::Mat4 m{};
    m.m[0][0] = c / aspect;
    m.m[1][1] = c;
    m.m[2][2] = (yon + hither) / (yon - hither);
    m.m[2][3] = -1.0f;
    m.m[3][2] = 2.0f * yon * hither / (yon - hither);
    return m;
}

sr::Mat34 look_at(sr::Vec3 eye, sr::Vec3 at)
{
    auto norm = [](sr::Vec3 v) {
        float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        return sr::Vec3{v.x / l, v.y / l, v.z / l};
    };
    auto cross = [](sr::Vec3 a, sr::Vec3 b) {
        return sr::Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    sr::Vec3 back = norm({eye.x - at.x, eye.y - at.y, eye.z - at.z});
    sr::Vec3 right = norm(cross({0, 1, 0}, back));
    sr::Vec3 up = cross(back, right);
    sr::Mat34 cam{};
    cam.m[0][0] = right.x, cam.m[0][1] = right.y, cam.m[0][2] = right.z;
    cam.m[1][0] = up.x, cam.m[1][1] = up.y, cam.m[1][2] = up.z;
    cam.m[2][0] = back.x, cam.m[2][1] = back.y, cam.m[2][2] = back.z;
    cam.m[3][0] = eye.x, cam.m[3][1] = eye.y, cam.m[3][2] = eye.z;
    return sr::invert34_lp(cam);
}

Board::Board(const sr::Target &t, const sr::Texture *texture) : mesh(cube(0.38f))
{
    if (texture) {
        setup.paint.textured = true;
        setup.paint.texture = *texture;
        setup.paint.modulate = true;
    }
    setup.target = t;
    float aspect = (float)t.colour.width / (float)t.colour.height;
    setup.view_to_screen = perspective(1.0f, aspect, 0.5f, 60.0f);
    sr::Mat34 world_to_view = look_at({0.0f, 8.5f, 10.5f}, {0.0f, -0.5f, 0.5f});
    setup.model_to_view_lp = true;
    setup.smooth = true;
    setup.ka = 0.15f;
    setup.kd = 0.75f;
    setup.ks = 0.35f;
    setup.power = 16.0f;

    // A warm point light above the board and a cool direct light from the front left, both given
    // in view space as the database hands them over.
    auto to_view = [&](float x, float y, float z) {
        const float p[3] = {x, y, z};
        const sr::Mat34 &m = world_to_view;
        return sr::Vec3{p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0],
                        p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1],
                        p[0] * m.m[0][2] + p[1] * m.m[1][2] + p[2] * m.m[2][2] + m.m[3][2]};
    };
    sr::Light &pt = setup.lights[0];
    pt.type = sr::LightType::Point;
    pt.colour = 0xfff0d8;
    pt.att_c = 0.6f;
    pt.att_l = 0.06f;
    pt.position = to_view(1.5f, 4.0f, 1.0f);
    sr::Light &dir = setup.lights[1];
    dir.type = sr::LightType::Direct;
    dir.colour = 0x5060a0;
    sr::Vec3 o = to_view(0, 0, 0), d = to_view(-0.5f, 0.6f, 0.8f);
    dir.direction = {d.x - o.x, d.y - o.y, d.z - o.z};

    static const uint32_t palette[] = {0xd04040, 0x40b050, 0x4070d0, 0xd0b040, 0xb050c0, 0x40c0c0};
    for (int i = 0; i < 11; ++i)
        for (int j = 0; j < 11; ++j) {
            float a = 0.13f * (float)(i * 3 + j * 5);
            float c = std::cos(a), s = std::sin(a);
            sr::Mat34 model{};
            model.m[0][0] = c, model.m[0][2] = -s;
            model.m[1][1] = 1;
            model.m[2][0] = s, model.m[2][2] = c;
            model.m[3][0] = (float)(i - 5), model.m[3][1] = 0.1f * (float)((i + j) % 3), model.m[3][2] = (float)(j - 5);
            model_to_view.push_back(sr::mul34(model, world_to_view));
            colours.push_back(palette[(i + 2 * j) % 6]);
        }
}

void Board::render(sr::Scratch &scratch)
{
    sr::Group g = mesh.group();
    for (size_t k = 0; k < model_to_view.size(); ++k) {
        setup.model_to_view = model_to_view[k];
        setup.colour = colours[k];
        sr::render_group(setup, g, sr::Primitive::Triangle, scratch, nullptr);
    }
}


Texture565::Texture565(int n) : words((size_t)n * n)
{
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            // Rings and a diagonal stripe: every texel counts, neighbours differ.
            int r = ((x - n / 2) * (x - n / 2) + (y - n / 2) * (y - n / 2)) * 40 / (n * n / 4 + 1);
            int c0 = (r & 1) ? 200 : 90, c1 = ((x + y) / 4 & 1) ? 230 : 120;
            words[(size_t)y * n + x] = (uint16_t)(((c0 >> 3) << 11) | ((c1 >> 2) << 5) | ((x * 255 / n) >> 3));
        }
    texture.type = sr::TexelType::RGB_565;
    texture.width = texture.height = n;
    texture.row_bytes = n * 2;
    texture.pixels = (const uint8_t *)words.data();
}

std::vector<uint8_t> frame_rgb(const Frame &f)
{
    std::vector<uint8_t> out;
    out.reserve((size_t)f.w * f.h * 3);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) {
            uint32_t p = f.pixel(x, y);
            uint8_t r, g, b;
            switch (f.target.ctype) {
            case sr::ColourType::RGB_565:
                r = (uint8_t)(((p >> 11) & 31) * 255 / 31), g = (uint8_t)(((p >> 5) & 63) * 255 / 63),
                b = (uint8_t)((p & 31) * 255 / 31);
                break;
            case sr::ColourType::RGB_555:
                r = (uint8_t)(((p >> 10) & 31) * 255 / 31), g = (uint8_t)(((p >> 5) & 31) * 255 / 31),
                b = (uint8_t)((p & 31) * 255 / 31);
                break;
            default:
                r = (uint8_t)(p >> 16), g = (uint8_t)(p >> 8), b = (uint8_t)p;
                break;
            }
            out.insert(out.end(), {r, g, b});
        }
    return out;
}

std::vector<sr::SimdPath> paths_to_compare()
{
    std::vector<sr::SimdPath> paths = {sr::SimdPath::Scalar};
    for (sr::SimdPath p : {sr::SimdPath::SSE2, sr::SimdPath::AVX2})
        if (p <= sr::simd_best())
            paths.push_back(p);
    return paths;
}

} // namespace srtest
