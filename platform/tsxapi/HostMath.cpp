#include "HostMath.h"

#include <cmath>

#include "HostState.h"

namespace tsxhost::detail {

Affine FromTxmx(const CtsxTxmx3f& m) {
    Affine a;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            a.a[r][c] = m.m[r * 4 + c];
    return a;
}

CtsxTxmx3f ToTxmx(const Affine& a) {
    CtsxTxmx3f m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            m.m[r * 4 + c] = static_cast<float>(a.a[r][c]);
    return m;
}

Affine Compose(const Affine& a, const Affine& b) {
    Affine o;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double v = c == 3 ? a.a[r][3] : 0.0;
            for (int k = 0; k < 3; ++k)
                v += a.a[r][k] * b.a[k][c];
            o.a[r][c] = v;
        }
    }
    return o;
}

Affine Inverse(const Affine& m) {
    const auto& a = m.a;
    double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
    if (std::fabs(det) < 1e-30 || !std::isfinite(det)) return Affine{};
    double inv = 1.0 / det;
    Affine o;
    o.a[0][0] = c00 * inv;
    o.a[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv;
    o.a[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv;
    o.a[1][0] = c01 * inv;
    o.a[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv;
    o.a[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv;
    o.a[2][0] = c02 * inv;
    o.a[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv;
    o.a[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv;
    for (int r = 0; r < 3; ++r)
        o.a[r][3] = -(o.a[r][0] * a[0][3] + o.a[r][1] * a[1][3] + o.a[r][2] * a[2][3]);
    return o;
}

Vec3 ApplyLinear(const Affine& a, const Vec3& v) {
    return {a.a[0][0] * v.x + a.a[0][1] * v.y + a.a[0][2] * v.z,
            a.a[1][0] * v.x + a.a[1][1] * v.y + a.a[1][2] * v.z,
            a.a[2][0] * v.x + a.a[2][1] * v.y + a.a[2][2] * v.z};
}

Vec3 Apply(const Affine& a, const Vec3& p) {
    Vec3 v = ApplyLinear(a, p);
    return {v.x + a.a[0][3], v.y + a.a[1][3], v.z + a.a[2][3]};
}

Vec3 Translation(const Affine& a) {
    return {a.a[0][3], a.a[1][3], a.a[2][3]};
}

Rot Mul(const Rot& a, const Rot& b) {
    Rot o;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            o.r[r][c] = a.r[r][0] * b.r[0][c] + a.r[r][1] * b.r[1][c] + a.r[r][2] * b.r[2][c];
    return o;
}

Rot Transposed(const Rot& a) {
    Rot o;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            o.r[r][c] = a.r[c][r];
    return o;
}

Vec3 Apply(const Rot& m, const Vec3& v) {
    return {m.r[0][0] * v.x + m.r[0][1] * v.y + m.r[0][2] * v.z,
            m.r[1][0] * v.x + m.r[1][1] * v.y + m.r[1][2] * v.z,
            m.r[2][0] * v.x + m.r[2][1] * v.y + m.r[2][2] * v.z};
}

namespace {
double Len(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
} // namespace

Rot Orthonormal(const double cols[3][3]) {
    Vec3 x{cols[0][0], cols[1][0], cols[2][0]};
    Vec3 y{cols[0][1], cols[1][1], cols[2][1]};
    double lx = Len(x);
    if (lx < 1e-12 || !std::isfinite(lx)) return Rot{};
    x = {x.x / lx, x.y / lx, x.z / lx};
    double d = Dot(x, y);
    y = {y.x - d * x.x, y.y - d * x.y, y.z - d * x.z};
    double ly = Len(y);
    if (ly < 1e-12) {
        // Any perpendicular will do for a degenerate second axis.
        Vec3 helper = std::fabs(x.x) < 0.9 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
        y = Cross(helper, x);
        ly = Len(y);
    }
    y = {y.x / ly, y.y / ly, y.z / ly};
    Vec3 z = Cross(x, y);
    Rot o;
    o.r[0][0] = x.x, o.r[1][0] = x.y, o.r[2][0] = x.z;
    o.r[0][1] = y.x, o.r[1][1] = y.y, o.r[2][1] = y.z;
    o.r[0][2] = z.x, o.r[1][2] = z.y, o.r[2][2] = z.z;
    return o;
}

Rot LinearPart(const Affine& a) {
    double c[3][3];
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            c[r][k] = a.a[r][k];
    return Orthonormal(c);
}

Affine MakeAffine(const Rot& r, const Vec3& size, const Vec3& t) {
    Affine a;
    const double s[3] = {size.x, size.y, size.z};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            a.a[i][k] = r.r[i][k] * s[k];
    a.a[0][3] = t.x, a.a[1][3] = t.y, a.a[2][3] = t.z;
    return a;
}

Rot EulerToRot(const CtsxEuler3f& e) {
    double cx = std::cos(e.x), sx = std::sin(e.x);
    double cy = std::cos(e.y), sy = std::sin(e.y);
    double cz = std::cos(e.z), sz = std::sin(e.z);
    Rot o;
    o.r[0][0] = cz * cy, o.r[0][1] = cz * sy * sx - sz * cx, o.r[0][2] = cz * sy * cx + sz * sx;
    o.r[1][0] = sz * cy, o.r[1][1] = sz * sy * sx + cz * cx, o.r[1][2] = sz * sy * cx - cz * sx;
    o.r[2][0] = -sy, o.r[2][1] = cy * sx, o.r[2][2] = cy * cx;
    return o;
}

CtsxEuler3f RotToEuler(const Rot& m) {
    const auto& r = m.r;
    // z first; x and y then come from the rows of Rz^T R, whose entries stay
    // large near gimbal lock, so the rebuilt matrix matches to float precision.
    double z = std::atan2(r[1][0], r[0][0]);
    if (std::fabs(r[1][0]) < 1e-12 && std::fabs(r[0][0]) < 1e-12) z = 0;
    double cz = std::cos(z), sz = std::sin(z);
    double m00 = cz * r[0][0] + sz * r[1][0];
    double m11 = -sz * r[0][1] + cz * r[1][1];
    double m12 = -sz * r[0][2] + cz * r[1][2];
    double y = std::atan2(-r[2][0], m00);
    double x = std::atan2(-m12, m11);
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

} // namespace tsxhost::detail

using namespace tsxhost::detail;

namespace {
const CtsxVec3f kZero{0, 0, 0};
const CtsxVec3f& V(const CtsxVec3f* v) {
    return v ? *v : kZero;
}
} // namespace

extern "C" {

// The three calls a deformation makes per weighted vertex log last: the log
// branch is then a jump in tail position, and the common path keeps no
// arguments aside for it. They call nothing else, so the log reads the same.
void tsxAddToVec3f(CtsxVec3f* io, const CtsxVec3f* add) {
    if (io && add) io->x += add->x, io->y += add->y, io->z += add->z;
    TSX_LOG(io, add);
}

void tsxSubToVec3f(CtsxVec3f* io, const CtsxVec3f* sub) {
    TSX_LOG(io, sub);
    if (!io || !sub) return;
    io->x -= sub->x, io->y -= sub->y, io->z -= sub->z;
}

void tsxMulScalar3f(CtsxVec3f* io, float factor) {
    if (io) io->x *= factor, io->y *= factor, io->z *= factor;
    TSX_LOG(io, factor);
}

void tsxGetNormalized3f(CtsxVec3f* out, const CtsxVec3f* in) {
    TSX_LOG(out, in);
    if (!out || !in) return;
    double x = in->x, y = in->y, z = in->z;
    double l = std::sqrt(x * x + y * y + z * z);
    if (l <= 0 || !std::isfinite(l)) {
        *out = *in; // a zero vector stays zero
        return;
    }
    *out = {static_cast<float>(x / l), static_cast<float>(y / l), static_cast<float>(z / l)};
}

void tsxNormalize3f(CtsxVec3f* io) {
    TSX_LOG(io);
    if (!io) return;
    CtsxVec3f in = *io;
    double l = std::sqrt(double(in.x) * in.x + double(in.y) * in.y + double(in.z) * in.z);
    if (l <= 0 || !std::isfinite(l)) return;
    *io = {static_cast<float>(in.x / l), static_cast<float>(in.y / l),
           static_cast<float>(in.z / l)};
}

float tsxMagnitude3f(const CtsxVec3f* v) {
    TSX_LOG(v);
    if (!v) return 0;
    return static_cast<float>(
        std::sqrt(double(v->x) * v->x + double(v->y) * v->y + double(v->z) * v->z));
}

void tsxXProdVec3f(CtsxVec3f* out, const CtsxVec3f* a, const CtsxVec3f* b) {
    TSX_LOG(out, a, b);
    if (!out) return;
    const CtsxVec3f x = V(a), y = V(b);
    *out = {x.y * y.z - x.z * y.y, x.z * y.x - x.x * y.z, x.x * y.y - x.y * y.x};
}

float tsxDProdVec3f(const CtsxVec3f* a, const CtsxVec3f* b) {
    TSX_LOG(a, b);
    if (!a || !b) return 0;
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

void tsxInvertMx3f(CtsxTxmx3f* out, const CtsxTxmx3f* in) {
    TSX_LOG(out, in);
    if (!out || !in) return;
    *out = ToTxmx(Inverse(FromTxmx(*in)));
}

void tsxXProdMx3f(CtsxTxmx3f* out, const CtsxTxmx3f* a, const CtsxTxmx3f* b) {
    TSX_LOG(out, a, b);
    if (!out || !a || !b) return;
    *out = ToTxmx(Compose(FromTxmx(*a), FromTxmx(*b)));
}

void tsxTransformVect3f(const CtsxVec3f* in, CtsxVec3f* out, const CtsxTxmx3f* m) {
    if (in && out && m) {
        // Hot in skinning: the same double arithmetic as Apply, without
        // building a whole double matrix per call. in and out may alias.
        const double x = in->x, y = in->y, z = in->z;
        const float* a = m->m;
        const double rx = a[0] * x + a[1] * y + a[2] * z + a[3];
        const double ry = a[4] * x + a[5] * y + a[6] * z + a[7];
        const double rz = a[8] * x + a[9] * y + a[10] * z + a[11];
        out->x = static_cast<float>(rx);
        out->y = static_cast<float>(ry);
        out->z = static_cast<float>(rz);
    }
    TSX_LOG(in, out, m); // last, as in tsxAddToVec3f
}

void tsxRotateVect3f(const CtsxVec3f* in, CtsxVec3f* out, const CtsxTxmx3f* m) {
    TSX_LOG(in, out, m);
    if (!in || !out || !m) return;
    *out = ToF(ApplyLinear(FromTxmx(*m), ToVec(*in)));
}

void tsxMakeRotMx3f(CtsxTxmx3f* out, const CtsxVec3f* point, const CtsxVec3f* axis, float radians) {
    TSX_LOG(out, point, axis, radians);
    if (!out) return;
    Vec3 ax = ToVec(V(axis));
    double l = std::sqrt(ax.x * ax.x + ax.y * ax.y + ax.z * ax.z);
    Affine a;
    if (l > 0 && std::isfinite(l)) {
        double x = ax.x / l, y = ax.y / l, z = ax.z / l;
        double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
        double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                          {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                          {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k)
                a.a[i][k] = r[i][k];
        // Rotation about the line through point: p' = R (p - q) + q.
        Vec3 q = ToVec(V(point));
        Vec3 rq = ApplyLinear(a, q);
        a.a[0][3] = q.x - rq.x, a.a[1][3] = q.y - rq.y, a.a[2][3] = q.z - rq.z;
    }
    *out = ToTxmx(a);
}

void tsxRotateAxes3f(CtsxAxes3f* out, const CtsxAxes3f* in, const CtsxTxmx3f* m) {
    TSX_LOG(out, in, m);
    if (!out || !in || !m) return;
    Affine a = FromTxmx(*m);
    CtsxAxes3f r;
    r.xAxis = ToF(ApplyLinear(a, ToVec(in->xAxis)));
    r.yAxis = ToF(ApplyLinear(a, ToVec(in->yAxis)));
    r.zAxis = ToF(ApplyLinear(a, ToVec(in->zAxis)));
    *out = r;
}

void tsxAxesToEuler(const CtsxAxes3f* axes, CtsxEuler3f* out) {
    TSX_LOG(axes, out);
    if (!axes || !out) return;
    double cols[3][3] = {{axes->xAxis.x, axes->yAxis.x, axes->zAxis.x},
                         {axes->xAxis.y, axes->yAxis.y, axes->zAxis.y},
                         {axes->xAxis.z, axes->yAxis.z, axes->zAxis.z}};
    *out = RotToEuler(Orthonormal(cols));
}

void tsxGetMxTranslation3f(CtsxVec3f* out, const CtsxTxmx3f* m) {
    TSX_LOG(out, m);
    if (!out || !m) return;
    *out = {m->m[3], m->m[7], m->m[11]};
}

void tsxSetMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v) {
    TSX_LOG(m, v);
    if (!m || !v) return;
    CtsxVec3f t = *v;
    m->m[3] = t.x, m->m[7] = t.y, m->m[11] = t.z;
}

void tsxSubMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v) {
    TSX_LOG(m, v);
    if (!m || !v) return;
    CtsxVec3f t = *v;
    m->m[3] -= t.x, m->m[7] -= t.y, m->m[11] -= t.z;
}

void tsxAddMxTranslation3f(CtsxTxmx3f* m, const CtsxVec3f* v) {
    TSX_LOG(m, v);
    if (!m || !v) return;
    CtsxVec3f t = *v;
    m->m[3] += t.x, m->m[7] += t.y, m->m[11] += t.z;
}

void tsxBBoxInit(CtsxBBox3f* box) {
    TSX_LOG(box);
    if (!box) return;
    const float big = 3.0e38f;
    box->min = {big, big, big};
    box->max = {-big, -big, -big};
}

} // extern "C"
