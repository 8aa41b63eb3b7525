#pragma once
// Animation keys on the rig's host objects: location and "Stiff" keys on joint
// objects, "Twist" keys on bone objects, the bag's own keys for attached
// skeletons. The key operations themselves are members of TJoint, TJoints,
// TBone, TBones and TSkeleton (declared with those classes, defined in
// KeyRecording.cpp); this unit adds what they share.
#include "tsxapi.h"

namespace vel {

// Spline parameters (tension, continuity, bias) of a sharp key.
inline constexpr float kSharpTension = -1.0f;
inline constexpr float kSharpContinuity = 0.0f;
inline constexpr float kSharpBias = 0.0f;

// Gives key sharp spline parameters.
void MakeKeySharp(CtsxFrame key);

// Keys an attribute of node at the host's active time: reuses the key of that
// kind there or makes one, gives it sharp spline parameters when sharp, and
// copies data into it (the kind's size). Answers the key, or none when the
// host would not make or take one (no such kind, no node, not a scene object);
// a key made and not taken is freed again.
CtsxFrame KeyAttribute(CtsxSobj node, int kind, const void* data, bool sharp);

} // namespace vel
