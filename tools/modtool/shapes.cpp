// The shapes of the model writer.
#include <math.h>

#include <vector>

#include <modtool/shapes.h>

namespace modtool {

namespace {

struct Mesh {
    std::vector<br_vertex> vertices;
    std::vector<br_face> faces;
    bool smooth;
    int side = 0;

    br_uint_16 group() const { return smooth ? 1 : (br_uint_16)(1u << (side % 16)); }

    br_uint_16 vertex(const br_vector3 &p, br_scalar u, br_scalar v)
    {
        br_vertex vx = {};
        vx.p = p;
        vx.map.v[0] = u;
        vx.map.v[1] = v;
        vertices.push_back(vx);
        return (br_uint_16)(vertices.size() - 1);
    }

    void face(br_uint_16 a, br_uint_16 b, br_uint_16 c, br_uint_8 flags)
    {
        br_face f = {};
        f.vertices[0] = a;
        f.vertices[1] = b;
        f.vertices[2] = c;
        f.smoothing = group();
        f.flags = flags;
        faces.push_back(f);
    }

    // Corners counter-clockwise seen from outside; the diagonal 0-2 is a hidden edge of both halves.
    void quad(const br_vector3 p[4], const br_vector2 uv[4])
    {
        br_uint_16 i[4];
        for (int k = 0; k < 4; k++)
            i[k] = vertex(p[k], uv[k].v[0], uv[k].v[1]);
        face(i[0], i[1], i[2], BR_FACEF_HIDE_EDGE_2);
        face(i[0], i[2], i[3], BR_FACEF_HIDE_EDGE_0);
    }

    void tri(const br_vector3 p[3], const br_vector2 uv[3])
    {
        br_uint_16 i[3];
        for (int k = 0; k < 3; k++)
            i[k] = vertex(p[k], uv[k].v[0], uv[k].v[1]);
        face(i[0], i[1], i[2], 0);
    }

    // One flat side: its own smoothing group unless the model is smoothed as one.
    void next_side() { side++; }
};

br_vector3 v3(br_scalar x, br_scalar y, br_scalar z)
{
    return {{x, y, z}};
}

br_vector2 v2(br_scalar u, br_scalar v)
{
    return {{u, v}};
}

// A quad's corners in order with the map corners (0,m) (m,m) (m,0) (0,0): the picture upright seen
// from outside.
void side_quad(Mesh &m, br_vector3 a, br_vector3 b, br_vector3 c, br_vector3 d, br_scalar uv)
{
    const br_vector3 p[4] = {a, b, c, d};
    const br_vector2 t[4] = {v2(0, uv), v2(uv, uv), v2(uv, 0), v2(0, 0)};
    m.quad(p, t);
    m.next_side();
}

void cube(Mesh &m, const ShapeOptions &o)
{
    br_scalar x = o.size.v[0] / 2, y = o.size.v[1] / 2, z = o.size.v[2] / 2, t = o.uv_max;
    side_quad(m, v3(-x, -y, z), v3(x, -y, z), v3(x, y, z), v3(-x, y, z), t);     // +z
    side_quad(m, v3(x, -y, -z), v3(-x, -y, -z), v3(-x, y, -z), v3(x, y, -z), t); // -z
    side_quad(m, v3(x, -y, z), v3(x, -y, -z), v3(x, y, -z), v3(x, y, z), t);     // +x
    side_quad(m, v3(-x, -y, -z), v3(-x, -y, z), v3(-x, y, z), v3(-x, y, -z), t); // -x
    side_quad(m, v3(-x, y, z), v3(x, y, z), v3(x, y, -z), v3(-x, y, -z), t);     // +y
    side_quad(m, v3(-x, -y, -z), v3(x, -y, -z), v3(x, -y, z), v3(-x, -y, z), t); // -y
}

void plate(Mesh &m, const ShapeOptions &o)
{
    int n = o.segments > 0 ? o.segments : 1;
    br_scalar x0 = -o.size.v[0] / 2, z0 = -o.size.v[2] / 2;
    br_scalar dx = o.size.v[0] / n, dz = o.size.v[2] / n, du = o.uv_max / n;
    // Cells row by row from -z; the map covers the whole plate once.
    for (int r = 0; r < n; r++)
        for (int c = 0; c < n; c++) {
            br_scalar xa = x0 + c * dx, xb = xa + dx, za = z0 + r * dz, zb = za + dz;
            const br_vector3 p[4] = {v3(xa, 0, zb), v3(xb, 0, zb), v3(xb, 0, za), v3(xa, 0, za)};
            const br_vector2 t[4] = {v2(c * du, (r + 1) * du), v2((c + 1) * du, (r + 1) * du),
                                     v2((c + 1) * du, r * du), v2(c * du, r * du)};
            m.quad(p, t);
        }
}

void slope(Mesh &m, const ShapeOptions &o)
{
    br_scalar x = o.size.v[0] / 2, h = o.size.v[1], z = o.size.v[2] / 2, t = o.uv_max;
    side_quad(m, v3(x, 0, -z), v3(-x, 0, -z), v3(-x, h, z), v3(x, h, z), t);   // slanted top, seen from -z
    side_quad(m, v3(-x, 0, -z), v3(x, 0, -z), v3(x, 0, z), v3(-x, 0, z), t);   // bottom, seen from below
    side_quad(m, v3(-x, 0, z), v3(x, 0, z), v3(x, h, z), v3(-x, h, z), t);     // back wall at +z
    const br_vector3 left[3] = {v3(-x, 0, -z), v3(-x, 0, z), v3(-x, h, z)};
    const br_vector3 right[3] = {v3(x, 0, z), v3(x, 0, -z), v3(x, h, z)};
    const br_vector2 tl[3] = {v2(0, t), v2(t, t), v2(t, 0)};
    const br_vector2 tr[3] = {v2(0, t), v2(t, t), v2(0, 0)};
    m.tri(left, tl);
    m.next_side();
    m.tri(right, tr);
    m.next_side();
}

void corner(Mesh &m, const ShapeOptions &o)
{
    br_scalar x = o.size.v[0] / 2, h = o.size.v[1], z = o.size.v[2] / 2, t = o.uv_max;
    br_vector3 b0 = v3(-x, 0, -z), b1 = v3(x, 0, -z), b2 = v3(x, 0, z), b3 = v3(-x, 0, z), apex = v3(x, h, z);
    // Each triangle from its bottom-left corner as seen from outside.
    const br_vector3 front[3] = {b1, b0, apex};
    const br_vector3 left[3] = {b0, b3, apex};
    const br_vector3 wall_x[3] = {b2, b1, apex};
    const br_vector3 wall_z[3] = {b3, b2, apex};
    const br_vector2 apex_left[3] = {v2(0, t), v2(t, t), v2(0, 0)};
    const br_vector2 apex_right[3] = {v2(0, t), v2(t, t), v2(t, 0)};
    m.tri(front, apex_left);
    m.next_side();
    m.tri(left, apex_right);
    m.next_side();
    m.tri(wall_x, apex_left);
    m.next_side();
    m.tri(wall_z, apex_right);
    m.next_side();
    side_quad(m, b0, b1, b2, b3, t); // bottom, seen from below
}

void sphere(Mesh &m, const ShapeOptions &o)
{
    int n = o.segments >= 3 ? o.segments : 3, rings = o.rings >= 2 ? o.rings : 2;
    br_scalar r = o.size.v[0] / 2, t = o.uv_max;
    const br_scalar pi = 3.14159265358979f;
    // One vertex per grid point, shared by the faces around it: the seam column is doubled so the map
    // runs 0 .. uv_max around.
    std::vector<br_uint_16> at((size_t)(rings + 1) * (n + 1));
    for (int i = 0; i <= rings; i++) {
        br_scalar lat = pi * i / rings; // 0 at the top pole
        for (int j = 0; j <= n; j++) {
            br_scalar lon = 2 * pi * j / n;
            br_vector3 p = v3(r * sinf(lat) * cosf(lon), r * cosf(lat), -r * sinf(lat) * sinf(lon));
            at[(size_t)i * (n + 1) + j] = m.vertex(p, t * j / n, t * i / rings);
        }
    }
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < n; j++) {
            br_uint_16 a = at[(size_t)i * (n + 1) + j], b = at[(size_t)(i + 1) * (n + 1) + j];
            br_uint_16 c = at[(size_t)(i + 1) * (n + 1) + j + 1], d = at[(size_t)i * (n + 1) + j + 1];
            // Counter-clockwise from outside: down the meridian, then east (east is -z at lon 90).
            if (i != 0)
                m.face(a, b, d, BR_FACEF_HIDE_EDGE_1);
            if (i != rings - 1)
                m.face(b, c, d, BR_FACEF_HIDE_EDGE_2);
        }
}

} // namespace

const char *ShapeNames()
{
    return "cube plate slope corner sphere";
}

br_model *ShapeMake(const std::string &shape, const ShapeOptions &options)
{
    ShapeOptions o = options;
    Mesh mesh;
    mesh.smooth = o.smooth;
    if (shape == "cube")
        cube(mesh, o);
    else if (shape == "plate")
        plate(mesh, o);
    else if (shape == "slope")
        slope(mesh, o);
    else if (shape == "corner")
        corner(mesh, o);
    else if (shape == "sphere") {
        mesh.smooth = true;
        sphere(mesh, o);
    } else
        return nullptr;
    if (mesh.vertices.size() > 0xffff || mesh.faces.size() > 0xffff)
        return nullptr;
    std::string name = o.name.empty() ? shape : o.name;
    br_model *m = BrModelAllocate(name.c_str(), (int)mesh.vertices.size(), (int)mesh.faces.size());
    if (m == nullptr)
        return nullptr;
    for (size_t i = 0; i < mesh.vertices.size(); i++)
        m->vertices[i] = mesh.vertices[i];
    for (size_t i = 0; i < mesh.faces.size(); i++)
        m->faces[i] = mesh.faces[i];
    m->flags = BR_MODF_UPDATEABLE;
    return m;
}

} // namespace modtool
