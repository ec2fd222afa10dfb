// Pre- and post-concatenation of 3x4 matrices with a factor built from the arguments.
// The factor and the product live on the stack, so the calls are re-entrant and a factor
// may be the destination itself.
#include <brondel/brmatrix.h>

namespace {

void Pre(br_matrix34 *m, const br_matrix34 *x)
{
    br_matrix34 product;
    BrMatrix34Mul(&product, x, m);
    *m = product;
}

void Post(br_matrix34 *m, const br_matrix34 *x)
{
    br_matrix34 product;
    BrMatrix34Mul(&product, m, x);
    *m = product;
}

} // namespace

extern "C" {

void BrMatrix34Pre(br_matrix34 *m, const br_matrix34 *a)
{
    br_matrix34 x = *a;
    Pre(m, &x);
}

void BrMatrix34Post(br_matrix34 *m, const br_matrix34 *a)
{
    br_matrix34 x = *a;
    Post(m, &x);
}

#define BR_CONCAT_PAIR(Name, Params, Args)                                                         \
    void BrMatrix34Pre##Name Params                                                                \
    {                                                                                              \
        br_matrix34 x;                                                                             \
        BrMatrix34##Name Args;                                                                     \
        Pre(m, &x);                                                                                \
    }                                                                                              \
    void BrMatrix34Post##Name Params                                                               \
    {                                                                                              \
        br_matrix34 x;                                                                             \
        BrMatrix34##Name Args;                                                                     \
        Post(m, &x);                                                                               \
    }

BR_CONCAT_PAIR(RotateX, (br_matrix34 * m, br_angle a), (&x, a))
BR_CONCAT_PAIR(RotateY, (br_matrix34 * m, br_angle a), (&x, a))
BR_CONCAT_PAIR(RotateZ, (br_matrix34 * m, br_angle a), (&x, a))
BR_CONCAT_PAIR(Rotate, (br_matrix34 * m, br_angle a, const br_vector3 *axis), (&x, a, axis))
BR_CONCAT_PAIR(Translate, (br_matrix34 * m, br_scalar x0, br_scalar y0, br_scalar z0),
               (&x, x0, y0, z0))
BR_CONCAT_PAIR(Scale, (br_matrix34 * m, br_scalar sx, br_scalar sy, br_scalar sz), (&x, sx, sy, sz))
BR_CONCAT_PAIR(ShearX, (br_matrix34 * m, br_scalar sy, br_scalar sz), (&x, sy, sz))
BR_CONCAT_PAIR(ShearY, (br_matrix34 * m, br_scalar sx, br_scalar sz), (&x, sx, sz))
BR_CONCAT_PAIR(ShearZ, (br_matrix34 * m, br_scalar sx, br_scalar sy), (&x, sx, sy))

#undef BR_CONCAT_PAIR

} // extern "C"
