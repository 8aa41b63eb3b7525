#include "ExtObjVectData.h"

#include <array>
#include <cstdint>

namespace vel {
namespace {

constexpr std::int32_t kEnd = -1;
constexpr std::int32_t kBreak = -2;

CtsxVec3f gBoneVxs[] = {{0, -0.1f, -0.1f}, {0, 0.1f, -0.1f}, {0, -0.1f, 0.1f},
                        {0, 0.1f, 0.1f},   {0.05f, 0, 0},    {-1, 0, 0}};
std::int32_t gBoneIndices[] = {0, 4, 2, 0, -2, 2, 5, 0, 2, -2, 4, 3, 2, 4, -2, 4, 1, 3, 4, -2,
                               4, 0, 1, 4, -2, 5, 1, 0, 5, -2, 5, 3, 1, 5, -2, 5, 2, 3, 5, -1};
tsxVectorObject gBone{6, gBoneVxs, gBoneIndices};

CtsxVec3f gPyramidVxs[] = {{0, 0.5f, 0.49f},  {-0.01f, 0.5f, -0.51f}, {-0.01f, -0.5f, -0.51f},
                           {0, -0.5f, 0.49f}, {-1, 0.01f, 0.01f},     {-1, 0.01f, 0},
                           {-1, 0, 0},        {-1, 0, 0.01f}};
std::int32_t gPyramidIndices[] = {5, 1, 0, 4, 5, -2, 6, 2, 1, 5, 6, -2, 7, 3, 2, 6, 7, -2,
                                  4, 0, 3, 7, 4, -2, 7, 6, 5, 4, 7, -2, 0, 1, 2, 3, 0, -1};
tsxVectorObject gPyramid{8, gPyramidVxs, gPyramidIndices};

// Joint marker: the eight corners of the central cube, then four end corners
// for each arm (+x, -x, +y, -y, +z, -z); each arm's four sides join the cube
// face it leaves from to its end square, which is drawn too.
constexpr float kHalf = 0.04f;
constexpr float kReach = 0.54f;
constexpr int kJointVxCount = 8 + 6 * 4;
constexpr int kJointIndexCount = 6 * 5 * 6;

struct TJointMarker {
    std::array<CtsxVec3f, kJointVxCount> Vxs{};
    std::array<std::int32_t, kJointIndexCount> Indices{};
    tsxVectorObject Shape{};

    // Corner k of the square across axis at along; k = 0..3 walks the square.
    static CtsxVec3f Corner(int axis, float along, int k) {
        static constexpr float kSigns[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        float p[3];
        p[axis] = along;
        p[(axis + 1) % 3] = kSigns[k][0] * kHalf;
        p[(axis + 2) % 3] = kSigns[k][1] * kHalf;
        return CtsxVec3f{p[0], p[1], p[2]};
    }
    static int CubeIndexOf(const CtsxVec3f& v) {
        return (v.x > 0 ? 1 : 0) | (v.y > 0 ? 2 : 0) | (v.z > 0 ? 4 : 0);
    }

    TJointMarker() {
        for (int i = 0; i < 8; ++i)
            Vxs[static_cast<std::size_t>(i)] = CtsxVec3f{
                (i & 1) ? kHalf : -kHalf, (i & 2) ? kHalf : -kHalf, (i & 4) ? kHalf : -kHalf};
        std::size_t n = 0;
        const auto quad = [&](int a, int b, int c, int d) {
            for (int v : {a, b, c, d, a})
                Indices[n++] = v;
            Indices[n++] = kBreak;
        };
        for (int arm = 0; arm < 6; ++arm) {
            const int axis = arm / 2;
            const float sign = (arm % 2 == 0) ? 1.0f : -1.0f;
            const int first = 8 + arm * 4;
            int inner[4];
            for (int k = 0; k < 4; ++k) {
                Vxs[static_cast<std::size_t>(first + k)] = Corner(axis, sign * kReach, k);
                inner[k] = CubeIndexOf(Corner(axis, sign * kHalf, k));
            }
            for (int k = 0; k < 4; ++k) {
                const int k2 = (k + 1) % 4;
                quad(inner[k], inner[k2], first + k2, first + k);
            }
            quad(first, first + 1, first + 2, first + 3);
        }
        Indices[n - 1] = kEnd;
        Shape = tsxVectorObject{kJointVxCount, Vxs.data(), Indices.data()};
    }
};

TJointMarker& JointMarker() {
    static TJointMarker marker;
    return marker;
}

} // namespace

PtsxVectorObject BoneShape() {
    return &gBone;
}

PtsxVectorObject PyramidShape() {
    return &gPyramid;
}

PtsxVectorObject JointMarkerShape() {
    return &JointMarker().Shape;
}

} // namespace vel
