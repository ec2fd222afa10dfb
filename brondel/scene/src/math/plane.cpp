// Plane through three points.
#include <brondel/brmatrix23.h>

#include <cmath>

extern "C" int BrPlaneEquation(br_vector4 *plane, const br_vector3 *p0, const br_vector3 *p1,
                               const br_vector3 *p2)
{
    br_vector3 e1, e2, n;
    BrVector3Sub(&e1, p1, p0);
    BrVector3Sub(&e2, p2, p0);
    BrVector3Cross(&n, &e1, &e2);
    br_scalar l = sqrtf(BrVector3Dot(&n, &n));
    int degenerate = l == 0.0f;
    if (degenerate)
        BrVector3Set(&n, 0.0f, 0.0f, 1.0f);
    else
        BrVector3InvScale(&n, &n, l);
    plane->v[0] = n.v[0];
    plane->v[1] = n.v[1];
    plane->v[2] = n.v[2];
    plane->v[3] = BrVector3Dot(p0, &n);
    return degenerate;
}
