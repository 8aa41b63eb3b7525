#include "Character.h"

#include <cmath>

namespace demo {

namespace {

CtsxVec3f Sub(const CtsxVec3f& a, const CtsxVec3f& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
CtsxVec3f Cross(const CtsxVec3f& a, const CtsxVec3f& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
CtsxVec3f Unit(const CtsxVec3f& v) {
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? CtsxVec3f{v.x / l, v.y / l, v.z / l} : CtsxVec3f{0, 0, 1};
}

} // namespace

const std::vector<CharacterJoint>& CharacterJoints() {
    static const std::vector<CharacterJoint> joints = {
        {"Hip", -1, {0, 0, 3.0f}, 0},
        {"Spine", 0, {0, 0, 3.8f}, 0.36f},
        {"Chest", 1, {0, 0, 4.75f}, 0.42f},
        {"Neck", 2, {0, 0, 5.15f}, 0.13f},
        {"Head", 3, {0, 0, 5.95f}, 0.3f},
        {"Shoulder.L", 2, {0.55f, 0, 4.75f}, 0.14f},
        {"Elbow.L", 5, {1.35f, 0, 4.75f}, 0.12f},
        {"Wrist.L", 6, {2.05f, 0, 4.75f}, 0.1f},
        {"Hand.L", 7, {2.45f, 0, 4.75f}, 0.08f},
        {"Shoulder.R", 2, {-0.55f, 0, 4.75f}, 0.14f},
        {"Elbow.R", 9, {-1.35f, 0, 4.75f}, 0.12f},
        {"Wrist.R", 10, {-2.05f, 0, 4.75f}, 0.1f},
        {"Hand.R", 11, {-2.45f, 0, 4.75f}, 0.08f},
        {"Thigh.L", 0, {0.3f, 0, 2.9f}, 0.17f},
        {"Knee.L", 13, {0.32f, 0, 1.6f}, 0.17f},
        {"Ankle.L", 14, {0.34f, 0, 0.3f}, 0.13f},
        {"Toe.L", 15, {0.34f, -0.55f, 0.08f}, 0.09f},
        {"Thigh.R", 0, {-0.3f, 0, 2.9f}, 0.17f},
        {"Knee.R", 17, {-0.32f, 0, 1.6f}, 0.17f},
        {"Ankle.R", 18, {-0.34f, 0, 0.3f}, 0.13f},
        {"Toe.R", 19, {-0.34f, -0.55f, 0.08f}, 0.09f},
    };
    return joints;
}

const std::vector<CharacterPose>& CharacterPoses() {
    static const std::vector<CharacterPose> poses = {{"Hop", {0, 0, 0.6f}}, {"Sway", {0.8f, 0, 0}}};
    return poses;
}

int CharacterJointIndex(const std::string& name) {
    const auto& joints = CharacterJoints();
    for (std::size_t i = 0; i < joints.size(); ++i)
        if (joints[i].Name == name) return static_cast<int>(i);
    return -1;
}

CharacterMesh MakeCharacterMesh(int rings, int segments) {
    CharacterMesh mesh;
    for (const CharacterJoint& j : CharacterJoints()) {
        if (j.Parent < 0) continue;
        const CtsxVec3f head = CharacterJoints()[static_cast<std::size_t>(j.Parent)].Position;
        const CtsxVec3f axis = Unit(Sub(j.Position, head));
        // Any direction across the bone will do for the first ring axis.
        const CtsxVec3f across = std::fabs(axis.z) < 0.9f ? CtsxVec3f{0, 0, 1} : CtsxVec3f{1, 0, 0};
        const CtsxVec3f u = Unit(Cross(axis, across));
        const CtsxVec3f v = Cross(axis, u);
        const int first = static_cast<int>(mesh.Vertices.size());
        for (int r = 0; r < rings; ++r) {
            // From joint to joint, so that neighbouring tubes meet.
            const float t =
                rings > 1 ? static_cast<float>(r) / static_cast<float>(rings - 1) : 0.5f;
            const CtsxVec3f c{head.x + t * (j.Position.x - head.x),
                              head.y + t * (j.Position.y - head.y),
                              head.z + t * (j.Position.z - head.z)};
            for (int s = 0; s < segments; ++s) {
                const float a = 6.2831853f * static_cast<float>(s) / static_cast<float>(segments);
                const float cu = j.Radius * std::cos(a), sv = j.Radius * std::sin(a);
                mesh.Vertices.push_back({c.x + cu * u.x + sv * v.x, c.y + cu * u.y + sv * v.y,
                                         c.z + cu * u.z + sv * v.z});
            }
        }
        for (int r = 0; r + 1 < rings; ++r)
            for (int s = 0; s < segments; ++s) {
                const int a = first + r * segments + s;
                const int b = first + r * segments + (s + 1) % segments;
                mesh.Faces.push_back({a, b, b + segments, a + segments});
            }
    }
    return mesh;
}

std::string JointPath(const std::string& name) {
    return "Skeleton/.BoneBag/" + name;
}

} // namespace demo
