#include "TeeBone.h"

#include <cmath>

#include "TsxHelper.h"

namespace vel {

namespace {

constexpr float kMinTeeOffset = 1e-6f;

// One hint for every tee bone: each placement starts from where the last
// one left it.
CtsxVec3f SharedUpHint{0, 0, 1};

} // namespace

TTeeBone::TTeeBone(CtsxSobj node, CtsxSobj extra) : TBone(node), ExtraObject(extra) {}

const CtsxVec3f& TTeeBone::SharedUp() {
    return SharedUpHint;
}

void TTeeBone::ResetSharedUp() {
    SharedUpHint = CtsxVec3f{0, 0, 1};
}

float TTeeBone::GetMatrix(CtsxTxmx3f& m, bool* made) {
    if (made) *made = false;
    if (!Head || !Tail || !TeeJoint) return 1.0f;
    CtsxVec3f t = TeeJoint->Position;
    const CtsxVec3f mid = JointMidpoint(*Head, *Tail);
    tsxSubToVec3f(&t, &mid);
    // A tee joint on the midpoint names no roll: keep the last one.
    const float offset = tsxMagnitude3f(&t);
    if (offset > kMinTeeOffset && std::isfinite(offset)) {
        FromParentSpace(t);
        tsxNormalize3f(&t);
        if (IsFinite(t)) Twist = t;
    }
    return TBone::GetMatrix(m, made);
}

void TTeeBone::UpdateLength() {
    // A distance that overflows the floats keeps the last one.
    auto measure = [](float& kept, const TJoint& a, const TJoint& b) {
        if (const float d = DistanceBetween(a, b); std::isfinite(d)) kept = d;
    };
    if (Head && Tail) measure(Length, *Head, *Tail);
    if (!TeeJoint) return;
    if (Head) measure(HeadTeeDistance, *Head, *TeeJoint);
    if (Tail) measure(TailTeeDistance, *Tail, *TeeJoint);
}

void TTeeBone::PlaceNode() {
    TBone::PlaceNode();
    if (!ExtraObject || !Head || !Tail || !TeeJoint) return;
    const CtsxVec3f mid = JointMidpoint(*Head, *Tail);
    CtsxTxmx3f m;
    const float len = FrameFromPoints(mid, TeeJoint->Position, m, SharedUpHint);
    const CtsxVec3f size{1.05f * len, 0.07f * len, 0.07f * len};
    if (!IsFinite(size) || !IsFinite(mid)) return; // not placed rather than not finite
    if (len > 0.001f) {
        SetNodeRotationFromMx(ExtraObject, m);
        SetNodeSize(ExtraObject, size);
    }
    SetNodeLocation(ExtraObject, mid);
}

void TTeeBone::SolveConstraint() {
    if (!Head || !Tail) return;
    SolveDistanceConstraint(Head->Position, Tail->Position, Head->Stiff(), Tail->Stiff(), Length);
    if (!TeeJoint) return;
    SolveDistanceConstraint(Head->Position, TeeJoint->Position, Head->Stiff(), TeeJoint->Stiff(),
                            HeadTeeDistance);
    SolveDistanceConstraint(Tail->Position, TeeJoint->Position, Tail->Stiff(), TeeJoint->Stiff(),
                            TailTeeDistance);
}

void TTeeBone::Flip() {
    TJoint* oldHead = Head;
    Head = Tail;
    Tail = TeeJoint;
    TeeJoint = oldHead;
    PlaceNode();
}

void TTeeBone::ShareJointSize() {
    TBone::ShareJointSize();
    if (TeeJoint) TeeJoint->AddSize(0.3f * Length);
}

bool TTeeBone::ResolveJoints(const TJoints& joints) {
    TeeJoint = joints.ByStoredIndex(TeeIndex);
    const bool ends = TBone::ResolveJoints(joints);
    // Without its tee joint the triangle cannot hold: the bone goes too.
    return ends && TeeJoint;
}

} // namespace vel
