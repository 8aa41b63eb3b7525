#pragma once
// Double-precision affine arithmetic behind the host's float API.
#include "tsxapi.h"

namespace tsxhost::detail {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Row-major 3x4: p' = R p + t with t in column 3.
struct Affine {
    double a[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
};

struct Rot {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

Affine FromTxmx(const CtsxTxmx3f& m);
CtsxTxmx3f ToTxmx(const Affine& a);
Affine Compose(const Affine& a, const Affine& b); // a after b
// Full affine inverse; a singular matrix gives the identity.
Affine Inverse(const Affine& a);
Vec3 Apply(const Affine& a, const Vec3& p);
Vec3 ApplyLinear(const Affine& a, const Vec3& v);
Vec3 Translation(const Affine& a);

Rot Mul(const Rot& a, const Rot& b);
Rot Transposed(const Rot& a);
Vec3 Apply(const Rot& r, const Vec3& v);
// Gram-Schmidt on the columns; degenerate input falls back to the identity.
Rot Orthonormal(const double cols[3][3]);
Rot LinearPart(const Affine& a); // orthonormalised 3x3 part
Affine MakeAffine(const Rot& r, const Vec3& size, const Vec3& t);

Rot EulerToRot(const CtsxEuler3f& e);
CtsxEuler3f RotToEuler(const Rot& r);

inline Vec3 ToVec(const CtsxVec3f& v) {
    return {v.x, v.y, v.z};
}
inline CtsxVec3f ToF(const Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

} // namespace tsxhost::detail
