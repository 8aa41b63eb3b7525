#include <cmath>

#include <gtest/gtest.h>

#include "tsxapi.h"

namespace {

CtsxTxmx3f Identity() {
    return CtsxTxmx3f{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}};
}

CtsxTxmx3f Translate(float x, float y, float z) {
    return CtsxTxmx3f{{1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z}};
}

CtsxTxmx3f RotZ(float radians) {
    CtsxTxmx3f m;
    CtsxVec3f origin{0, 0, 0}, axis{0, 0, 1};
    tsxMakeRotMx3f(&m, &origin, &axis, radians);
    return m;
}

CtsxVec3f Xf(const CtsxTxmx3f& m, CtsxVec3f p) {
    CtsxVec3f out;
    tsxTransformVect3f(&p, &out, &m);
    return out;
}

void ExpectVec(const CtsxVec3f& v, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectMx(const CtsxTxmx3f& a, const CtsxTxmx3f& b, float eps = 1e-5f) {
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

TEST(HostMath, ProductAppliesTheSecondOperandFirstAndMayAlias) {
    const CtsxTxmx3f r = RotZ(static_cast<float>(M_PI / 2));
    const CtsxTxmx3f t = Translate(1, 0, 0);
    CtsxTxmx3f rt;
    tsxXProdMx3f(&rt, &r, &t); // translate, then rotate
    ExpectVec(Xf(rt, {0, 0, 0}), 0, 1, 0);

    CtsxTxmx3f a = r;
    tsxXProdMx3f(&a, &a, &t); // out aliases a
    ExpectMx(a, rt);
    CtsxTxmx3f b = t;
    tsxXProdMx3f(&b, &r, &b); // out aliases b
    ExpectMx(b, rt);
    CtsxTxmx3f c = r;
    tsxXProdMx3f(&c, &c, &c); // both
    ExpectVec(Xf(c, {1, 0, 0}), -1, 0, 0);
}

TEST(HostMath, InverseIsTheFullAffineInverse) {
    CtsxTxmx3f m = RotZ(0.7f);
    m.m[0] *= 2, m.m[4] *= 2, m.m[8] *= 2; // scale x by 2 after rotating
    m.m[3] = 3, m.m[7] = -1, m.m[11] = 5;
    CtsxTxmx3f inv, prod;
    tsxInvertMx3f(&inv, &m);
    tsxXProdMx3f(&prod, &inv, &m);
    ExpectMx(prod, Identity());
    tsxInvertMx3f(&m, &m); // in place
    ExpectMx(m, inv);

    CtsxTxmx3f singular{};
    tsxInvertMx3f(&inv, &singular);
    ExpectMx(inv, Identity());
}

TEST(HostMath, RotationIsRightHandedInRadiansAboutALineThroughAPoint) {
    ExpectVec(Xf(RotZ(static_cast<float>(M_PI / 2)), {1, 0, 0}), 0, 1, 0);
    CtsxTxmx3f m;
    CtsxVec3f point{1, 1, 0}, axis{0, 0, 2};
    tsxMakeRotMx3f(&m, &point, &axis, static_cast<float>(M_PI));
    ExpectVec(Xf(m, {1, 1, 5}), 1, 1, 5); // the axis stays put
    ExpectVec(Xf(m, {2, 1, 0}), 0, 1, 0);
    CtsxVec3f zero{0, 0, 0};
    tsxMakeRotMx3f(&m, &point, &zero, 1.0f);
    ExpectMx(m, Identity());
}

TEST(HostMath, VectorHelpers) {
    CtsxVec3f v{3, 0, 4};
    EXPECT_FLOAT_EQ(tsxMagnitude3f(&v), 5);
    CtsxVec3f n;
    tsxGetNormalized3f(&n, &v);
    ExpectVec(n, 0.6f, 0, 0.8f);
    CtsxVec3f zero{0, 0, 0};
    tsxNormalize3f(&zero);
    ExpectVec(zero, 0, 0, 0);
    tsxGetNormalized3f(&n, &zero);
    ExpectVec(n, 0, 0, 0);

    CtsxVec3f x{1, 0, 0}, y{0, 1, 0};
    tsxXProdVec3f(&x, &x, &y); // aliasing the output with an input
    ExpectVec(x, 0, 0, 1);
    EXPECT_FLOAT_EQ(tsxDProdVec3f(&v, &v), 25);

    CtsxVec3f a{1, 2, 3}, b{1, 1, 1};
    tsxSubToVec3f(&a, &b);
    tsxMulScalar3f(&a, 2);
    tsxAddToVec3f(&a, &b);
    ExpectVec(a, 1, 3, 5);

    CtsxTxmx3f m = RotZ(static_cast<float>(M_PI / 2));
    tsxSetMxTranslation3f(&m, &b);
    tsxAddMxTranslation3f(&m, &b);
    tsxSubMxTranslation3f(&m, &a);
    CtsxVec3f t;
    tsxGetMxTranslation3f(&t, &m);
    ExpectVec(t, 1, -1, -3);
    CtsxVec3f r;
    tsxRotateVect3f(&x, &r, &m); // translation ignored
    ExpectVec(r, 0, 0, 1);

    CtsxBBox3f box;
    tsxBBoxInit(&box);
    EXPECT_GT(box.min.x, box.max.x);
}

// Matrix from Euler angles through the host's own functions.
CtsxTxmx3f EulerMatrix(CtsxEuler3f e) {
    CtsxTxmx3f rx, ry, rz, m;
    CtsxVec3f o{0, 0, 0}, ax{1, 0, 0}, ay{0, 1, 0}, az{0, 0, 1};
    tsxMakeRotMx3f(&rx, &o, &ax, e.x);
    tsxMakeRotMx3f(&ry, &o, &ay, e.y);
    tsxMakeRotMx3f(&rz, &o, &az, e.z);
    tsxXProdMx3f(&m, &ry, &rx);
    tsxXProdMx3f(&m, &rz, &m);
    return m;
}

CtsxEuler3f ToEuler(const CtsxTxmx3f& m) {
    const CtsxAxes3f identity{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    CtsxAxes3f axes;
    tsxRotateAxes3f(&axes, &identity, &m);
    CtsxEuler3f e;
    tsxAxesToEuler(&axes, &e);
    return e;
}

TEST(HostMath, EulerRoundTripsToFloatPrecisionIncludingNearGimbalLock) {
    const float half = static_cast<float>(M_PI / 2);
    const float ys[] = {0.0f,         0.3f,         -1.2f,         half, -half,
                        half - 1e-3f, half - 1e-5f, -half + 2e-6f, 2.5f};
    for (float y : ys) {
        for (float x : {0.0f, 0.4f, -2.9f, 3.1f}) {
            for (float z : {0.0f, 1.1f, -0.6f}) {
                const CtsxTxmx3f m = EulerMatrix({x, y, z});
                const CtsxTxmx3f back = EulerMatrix(ToEuler(m));
                SCOPED_TRACE(testing::Message() << x << " " << y << " " << z);
                ExpectMx(back, m, 2e-6f);
            }
        }
    }
}

TEST(HostMath, AxesToEulerIgnoresScaleOnTheAxes) {
    CtsxTxmx3f m = EulerMatrix({0.2f, -0.5f, 1.0f});
    CtsxTxmx3f scaled = m;
    for (int r = 0; r < 3; ++r)
        scaled.m[r * 4] *= 3, scaled.m[r * 4 + 2] *= 0.5f;
    ExpectMx(EulerMatrix(ToEuler(scaled)), m, 2e-6f);
}

} // namespace
