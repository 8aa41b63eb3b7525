#include "KeyRecording.h"

#include "Attributes.h"
#include "Bone.h"
#include "Joint.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "TsxHelper.h"
#include "tsxfUtils.h"

#include <cmath>

namespace vel {

static_assert(sizeof(float) == 4, "a Stiff key holds one 32-bit float");
static_assert(sizeof(CtsxVec3f) == 12, "a Twist key holds three 32-bit floats");

namespace {

float Frame(std::int32_t f) {
    return static_cast<float>(f);
}

// The transform kinds, in the order the erase operations delete them.
void EraseTransformKeys(CtsxSobj node, float time) {
    DeleteKeyFrame(node, TSX_KIND_LOCATION, time);
    DeleteKeyFrame(node, TSX_KIND_SIZE, time);
    DeleteKeyFrame(node, TSX_KIND_ROTATION, time);
}

} // namespace

void MakeKeySharp(CtsxFrame key) {
    if (key) tsxFrameSetSplineParameters(key, kSharpTension, kSharpContinuity, kSharpBias);
}

CtsxFrame KeyAttribute(CtsxSobj node, int kind, const void* data, bool sharp) {
    if (!node) return nullptr;
    const float time = tsxAnimGetActiveTime();
    CtsxFrame key = tsxSobjGetFrame(node, kind, 0, time);
    if (!key) {
        key = tsxFrameCreate(kind);
        if (!key) return nullptr;
        tsxSobjInsertFrame(node, key, 0, time);
        // The host's insert answers nothing; a key it did not take would stay
        // free for good.
        if (tsxSobjGetFrame(node, kind, 0, time) != key) {
            tsxFrameDelete(key);
            return nullptr;
        }
    }
    if (sharp) MakeKeySharp(key);
    tsxFrameSetData(key, data);
    return key;
}

// ---- TJoint ----

void TJoint::KeyLocation() {
    if (!Node || !IsFinite(Position)) return;
    tsxSobjSetFrame(Node, TSX_KIND_LOCATION);
    if (HasFlags(jfSharpKeys))
        MakeKeySharp(tsxSobjGetFrame(Node, TSX_KIND_LOCATION, 0, tsxAnimGetActiveTime()));
}

void TJoint::KeyStiff() {
    const float stiff = FStiff;
    if (std::isfinite(stiff)) KeyAttribute(Node, StiffAttribute, &stiff, true);
}

void TJoint::Record() {
    KeyLocation();
    KeyStiff();
}

void TJoint::EraseKeys(float time) {
    if (!Node) return;
    DeleteKeyFrame(Node, TSX_KIND_LOCATION, time);
    DeleteKeyFrame(Node, StiffAttribute, time);
    DeleteKeyFrame(Node, TSX_KIND_SIZE, time);
    DeleteKeyFrame(Node, TSX_KIND_ROTATION, time);
}

void TJoint::CopyKeys(std::int32_t from, std::int32_t to) {
    if (!Node) return;
    CopyKeyFrameBetween(Node, Node, TSX_KIND_LOCATION, Frame(from), Frame(to));
    CopyKeyFrameBetween(Node, Node, StiffAttribute, Frame(from), Frame(to));
}

void TJoint::SwapKeys(std::int32_t a, std::int32_t b) {
    if (!Node || a == b) return;
    SwapKeyFrames(Node, TSX_KIND_LOCATION, Frame(a), Frame(b));
    SwapKeyFrames(Node, StiffAttribute, Frame(a), Frame(b));
}

// ---- TJoints ----

void TJoints::RecordAll() {
    for (auto& j : List)
        j->Record();
}

void TJoints::EraseKeysAll(float time) {
    for (auto& j : List)
        j->EraseKeys(time);
}

void TJoints::CopyKeysAll(std::int32_t from, std::int32_t to) {
    for (auto& j : List)
        j->CopyKeys(from, to);
}

void TJoints::SwapKeysAll(std::int32_t a, std::int32_t b) {
    for (auto& j : List)
        j->SwapKeys(a, b);
}

// ---- TBone ----

void TBone::KeyTwist() {
    const CtsxVec3f twist = Twist;
    if (IsFinite(twist)) KeyAttribute(Node, TwistAttribute, &twist, false);
}

void TBone::EraseKeys(float time) {
    if (!Node) return;
    DeleteKeyFrame(Node, TwistAttribute, time);
    EraseTransformKeys(Node, time);
}

void TBone::CopyTwistKey(std::int32_t from, std::int32_t to) {
    if (!Node) return;
    CopyKeyFrameBetween(Node, Node, TwistAttribute, Frame(from), Frame(to));
}

// ---- TBones ----

void TBones::KeyTwistAll() {
    for (auto& b : List)
        b->KeyTwist();
}

void TBones::EraseKeysAll(float time) {
    for (auto& b : List)
        b->EraseKeys(time);
}

void TBones::CopyKeysAll(std::int32_t from, std::int32_t to) {
    for (auto& b : List)
        b->CopyTwistKey(from, to);
}

// ---- TSkeleton ----

void TSkeleton::Record() {
    TEditScope lock;
    // An attached skeleton's bag is placed by its parent bone, never by keys of
    // its own: they last only while the joints are keyed.
    const bool keyBag = Attached && Bag;
    if (keyBag) {
        tsxSobjSetFrame(Bag, TSX_KIND_LOCATION);
        tsxSobjSetFrame(Bag, TSX_KIND_ROTATION);
    }
    Joints.RecordAll();
    if (keyBag) {
        const float time = tsxAnimGetActiveTime();
        DeleteKeyFrame(Bag, TSX_KIND_LOCATION, time);
        DeleteKeyFrame(Bag, TSX_KIND_ROTATION, time);
    }
    Bones.KeyTwistAll();
}

void TSkeleton::EraseKeys(float time) {
    TEditScope lock;
    if (Bag) {
        DeleteKeyFrame(Bag, TSX_KIND_LOCATION, time);
        DeleteKeyFrame(Bag, TSX_KIND_ROTATION, time);
        DeleteKeyFrame(Bag, TSX_KIND_SIZE, time);
    }
    Joints.EraseKeysAll(time);
    Bones.EraseKeysAll(time);
}

void TSkeleton::CopyKeys(std::int32_t from, std::int32_t to) {
    if (Attached && Bag) {
        CopyKeyFrameBetween(Bag, Bag, TSX_KIND_LOCATION, Frame(from), Frame(to));
        CopyKeyFrameBetween(Bag, Bag, TSX_KIND_ROTATION, Frame(from), Frame(to));
    }
    Bones.CopyKeysAll(from, to);
    Joints.CopyKeysAll(from, to);
}

} // namespace vel
