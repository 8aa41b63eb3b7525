#pragma once
// The demo character: a figure standing along +z, arms spread along x, facing
// -y, so that the front view shows all of it. Its skeleton is a tree of
// joints; its body is one mesh of tubes, one tube around each bone.
#include <string>
#include <vector>

#include "tsxapi.h"

namespace demo {

struct CharacterJoint {
    std::string Name;
    int Parent; // index of the joint the bone to this one starts at; -1 for the root
    CtsxVec3f Position;
    float Radius; // of the body around the bone that ends here
};

struct CharacterMesh {
    std::vector<CtsxVec3f> Vertices;
    std::vector<std::vector<int>> Faces;
};

// Parents come before their children, so the joints can be made in order.
const std::vector<CharacterJoint>& CharacterJoints();
int CharacterJointIndex(const std::string& name); // -1 when there is none

// rings along each bone and segments around it: the vertex count is
// bones x rings x segments.
CharacterMesh MakeCharacterMesh(int rings, int segments);

// The poses the character's pose library keeps besides its rest pose: the
// whole figure moved by an offset, so that any blend of them keeps every
// bone's length (relaxing such a pose moves nothing).
struct CharacterPose {
    const char* Name;
    CtsxVec3f Offset;
};
const std::vector<CharacterPose>& CharacterPoses();

// Where a joint's object sits in the scene once the character is built.
std::string JointPath(const std::string& name);
inline constexpr const char* kBodyName = "Body";

} // namespace demo
