#include "SkeletonState.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "Bone.h"
#include "Joint.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "TsxHelper.h"

namespace vel {

namespace {

constexpr float kSamePositionTolerance = 0.01f;

std::size_t At(std::int32_t i) {
    return static_cast<std::size_t>(i);
}

// The skeletons bound directly to this skeleton's bones, in bone order and
// child order.
std::vector<TSkeleton*> DirectChildSkeletons(const TSkeleton& skeleton) {
    std::vector<TSkeleton*> list;
    skeleton.Bones.CollectChildSkeletons(list, false);
    return list;
}

} // namespace

// ---- records and blending ----

bool SamePosition(const TJointRecord& a, const TJointRecord& b) {
    return std::fabs(a.Position.x - b.Position.x) <= kSamePositionTolerance &&
           std::fabs(a.Position.y - b.Position.y) <= kSamePositionTolerance &&
           std::fabs(a.Position.z - b.Position.z) <= kSamePositionTolerance;
}

void TJointsState::Grow(const TJointsState& from, std::int32_t n) {
    if (n < 0) n = 0;
    const std::int32_t old = Count();
    Records.resize(At(n));
    Weights.resize(At(n), 0.0f);
    Counts.resize(At(n), 0);
    for (std::int32_t i = old; i < n; ++i) {
        TJointRecord rec;
        if (i < from.Count()) rec = from.Records[At(i)];
        rec.Position = CtsxVec3f{0, 0, 0};
        rec.Stiff = -1;
        Records[At(i)] = rec;
        Weights[At(i)] = 0;
        Counts[At(i)] = 0;
    }
}

void TJointsState::MarkBlend(TJointsState& state, const TJointsState* reference, float weight) {
    if (Count() < state.Count()) Grow(state, state.Count());
    if (reference && reference->Count() < state.Count()) reference = nullptr;
    for (std::int32_t i = 0; i < state.Count(); ++i) {
        TJointRecord& rec = state.Records[At(i)];
        rec.Flags |= TJointRecord::InBlend;
        if (!reference) continue;
        if (weight <= 0) {
            rec.Flags &= ~TJointRecord::InBlend;
        } else if (i < reference->Count() && SamePosition(reference->Records[At(i)], rec)) {
            rec.Flags &= ~TJointRecord::InBlend;
        } else {
            Counts[At(i)] += 1;
            if (Counts[At(i)] == 1) Weights[At(i)] = weight;
        }
    }
}

void TJointsState::AddWeighted(const TJointsState& state, const TJointsState* other, float weight) {
    if (Count() < state.Count()) return;
    for (std::int32_t i = 0; i < state.Count(); ++i) {
        const TJointRecord& rec = state.Records[At(i)];
        if ((rec.Flags & TJointRecord::InBlend) == 0) continue;
        float w = weight;
        if (!other) {
            // The base fills in what the poses leave: all of an unmoved joint,
            // the rest of one moved by a single pose, nothing of a joint that
            // two or more poses moved.
            const std::int32_t c = Counts[At(i)];
            w = c == 0 ? 1.0f : 1.0f - Weights[At(i)];
            Weights[At(i)] = 0;
            if (c >= 2) continue;
        }
        CtsxVec3f& p = Records[At(i)].Position;
        p.x += rec.Position.x * w;
        p.y += rec.Position.y * w;
        p.z += rec.Position.z * w;
        Weights[At(i)] += w;
    }
}

void TJointsState::Normalize() {
    for (std::int32_t i = 0; i < Count(); ++i) {
        if (!HasBlend(i)) continue;
        const float f = 1.0f / Weights[At(i)];
        CtsxVec3f& p = Records[At(i)].Position;
        p.x *= f;
        p.y *= f;
        p.z *= f;
    }
}

bool TJointsState::HasBlend(std::int32_t i) const {
    return i >= 0 && i < static_cast<std::int32_t>(Weights.size()) && Weights[At(i)] != 0;
}

void TBoneState::Assign(const TBoneState& other) {
    Twist = other.Twist;
    ChildMatrices = other.ChildMatrices;
}

void TBonesState::Grow(const TBonesState& from) {
    if (Count() >= from.Count()) return;
    std::vector<std::unique_ptr<TBoneState>> grown(At(from.Count()));
    for (std::int32_t i = 0; i < from.Count(); ++i) {
        grown[At(i)] = std::make_unique<TBoneState>();
        if (from.States[At(i)]) grown[At(i)]->Assign(*from.States[At(i)]);
    }
    States = std::move(grown);
}

TSkeletonStates::TSkeletonStates() = default;
TSkeletonStates::~TSkeletonStates() = default;

void TSkeletonStates::Add(std::unique_ptr<TSkeletonState> state) {
    States.push_back(std::move(state));
}

TSkeletonState* TSkeletonStates::Items(std::int32_t i) const {
    return i >= 0 && i < Count() ? States[At(i)].get() : nullptr;
}

TSkeletonState::TSkeletonState()
    : JointsState(std::make_unique<TJointsState>()), BonesState(std::make_unique<TBonesState>()),
      ChildStates(std::make_unique<TSkeletonStates>()) {}
TSkeletonState::~TSkeletonState() = default;

// ---- joints and bones ----

void TJoint::CaptureState(TJointRecord& rec, const CtsxTxmx3f& m) {
    ReadPosition();
    rec.Stiff = Stiff();
    tsxTransformVect3f(&Position, &rec.Position, &m);
}

void TJoint::ApplyState(const TJointRecord& rec, const CtsxTxmx3f& m) {
    if (rec.Stiff >= 0) SetStiff(rec.Stiff);
    tsxTransformVect3f(&rec.Position, &Position, &m);
}

std::unique_ptr<TJointsState> TJoints::CaptureState(const CtsxTxmx3f& m) {
    auto state = std::make_unique<TJointsState>();
    state->Records.resize(List.size());
    for (std::size_t i = 0; i < List.size(); ++i)
        List[i]->CaptureState(state->Records[i], m);
    return state;
}

void TJoints::ApplyState(const TJointsState& state, const CtsxTxmx3f& m) {
    const std::int32_t n = std::min(Count(), state.Count());
    for (std::int32_t i = 0; i < n; ++i)
        Items(i)->ApplyState(state.Records[At(i)], m);
}

std::unique_ptr<TBoneState> TBone::CaptureState() const {
    auto state = std::make_unique<TBoneState>();
    state->Twist = Twist;
    return state;
}

void TBone::ApplyState(const TBoneState& bs) {
    Twist = bs.Twist;
}

void TBone::RotateTwist(float angle) {
    CtsxTxmx3f b = IdentityTxmx3f;
    bool made = false;
    GetMatrix(b, &made);
    // Without a frame there is no bone axis to roll about.
    if (!made) return;
    CtsxTxmx3f inverse;
    tsxInvertMx3f(&inverse, &b);
    CtsxVec3f v = Twist;
    ToParentSpace(v);
    tsxRotateVect3f(&v, &v, &inverse);
    CtsxTxmx3f r;
    const CtsxVec3f origin{0, 0, 0};
    const CtsxVec3f axis{1, 0, 0};
    tsxMakeRotMx3f(&r, &origin, &axis, angle * std::numbers::pi_v<float> / 180.0f);
    tsxRotateVect3f(&v, &v, &r);
    tsxRotateVect3f(&v, &v, &b);
    FromParentSpace(v);
    tsxNormalize3f(&v);
    Twist = v;
}

std::unique_ptr<TBonesState> TBones::CaptureState() const {
    auto state = std::make_unique<TBonesState>();
    for (const auto& bone : List)
        state->States.push_back(bone->CaptureState());
    return state;
}

void TBones::ApplyState(const TBonesState& state) {
    const std::int32_t n = std::min(Count(), state.Count());
    for (std::int32_t i = 0; i < n; ++i)
        if (state.States[At(i)]) Items(i)->ApplyState(*state.States[At(i)]);
}

// ---- skeletons ----

std::unique_ptr<TSkeletonState> TSkeleton::CaptureState(const std::string& name, bool moved,
                                                        bool withChildren) {
    auto state = std::make_unique<TSkeletonState>();
    tsxGNodeGetPureTransform(Bag, &state->BagMatrix);
    CtsxTxmx3f toBag;
    tsxInvertMx3f(&toBag, &state->BagMatrix);
    state->Setup = SetupMode ? 1 : 0;
    state->Name = name;
    state->Moved = moved ? 1 : 0;
    state->BonesState = Bones.CaptureState();
    state->JointsState = Joints.CaptureState(toBag);
    state->ChildStates =
        withChildren ? CaptureChildStates(name, moved) : std::make_unique<TSkeletonStates>();
    return state;
}

std::unique_ptr<TSkeletonStates> TSkeleton::CaptureChildStates(const std::string& name,
                                                               bool moved) {
    auto states = std::make_unique<TSkeletonStates>();
    for (TSkeleton* child : DirectChildSkeletons(*this))
        states->Add(child->CaptureState(name, moved, true));
    return states;
}

void TSkeleton::ApplyState(const TSkeletonState& state, bool moved, bool withChildren,
                           bool noRefresh) {
    if (moved) SetNodeTransform(Bag, state.BagMatrix);
    CtsxTxmx3f fromBag;
    tsxGNodeGetPureTransform(Bag, &fromBag);
    if (state.JointsState) Joints.ApplyState(*state.JointsState, fromBag);
    Joints.WriteAll();
    if (state.BonesState) Bones.ApplyState(*state.BonesState);
    if (withChildren && state.ChildStates) ApplyChildStates(*state.ChildStates, moved, noRefresh);
    if (!noRefresh) Refresh();
}

void TSkeleton::ApplyChildStates(const TSkeletonStates& states, bool moved, bool noRefresh) {
    const std::vector<TSkeleton*> children = DirectChildSkeletons(*this);
    if (states.Count() != static_cast<std::int32_t>(children.size())) return;
    for (std::size_t i = 0; i < children.size(); ++i)
        children[i]->ApplyState(*states.States[i], moved, true, noRefresh);
}

void TSkeleton::PushUndoState(const std::string& name, bool moved) {
    if (At(UndoIndex + 1) < UndoStates.size()) UndoStates.resize(At(UndoIndex + 1));
    UndoIndex = static_cast<std::int32_t>(UndoStates.size());
    UndoStates.push_back(CaptureState(name, moved, false));
}

void TSkeleton::Undo() {
    if (UndoIndex == -1) return;
    if (UndoIndex > 0) --UndoIndex;
    const std::size_t next = At(UndoIndex + 1);
    const bool moved = next < UndoStates.size() && UndoStates[next]->Moved != 0;
    ApplyUndoState(moved);
}

void TSkeleton::Redo() {
    const auto count = static_cast<std::int32_t>(UndoStates.size());
    if (UndoIndex >= count - 1) return;
    ++UndoIndex;
    ApplyUndoState(UndoStates[At(UndoIndex)]->Moved != 0);
}

void TSkeleton::UndoAll() {
    if (UndoStates.empty()) return;
    UndoIndex = 0;
    ApplyUndoState(UndoStates[0]->Moved != 0);
}

void TSkeleton::RedoAll() {
    const auto count = static_cast<std::int32_t>(UndoStates.size());
    if (UndoIndex >= count - 1) return;
    UndoIndex = count - 1;
    ApplyUndoState(UndoStates[At(UndoIndex)]->Moved != 0);
}

void TSkeleton::ApplyUndoState(bool moved) {
    if (UndoIndex < 0 || At(UndoIndex) >= UndoStates.size()) return;
    ApplyState(*UndoStates[At(UndoIndex)], moved, true, false);
    RefreshViews();
}

void TSkeleton::ClearUndo() {
    UndoStates.clear();
    UndoIndex = -1;
}

// ---- blending ----

void BlendPoses(TSkeleton* skeleton, const std::vector<TSkeletonState*>& states,
                const std::vector<float>& weights) {
    if (!skeleton || states.empty() || states.size() != weights.size()) return;
    // One NaN weight would reach every joint of the blend.
    for (const float w : weights)
        if (!std::isfinite(w)) return;
    for (const TSkeletonState* s : states)
        if (!s || !s->JointsState || !s->BonesState) return;
    TSkeletonState blend;
    TJointsState& acc = *blend.JointsState;
    const TJointsState* base = states[0]->JointsState.get();
    for (std::size_t i = 0; i < states.size(); ++i)
        acc.MarkBlend(*states[i]->JointsState, i == 0 ? nullptr : base, weights[i]);
    for (std::size_t i = 0; i < states.size(); ++i) {
        acc.AddWeighted(*states[i]->JointsState, i == 0 ? nullptr : base, weights[i]);
        blend.BonesState->Grow(*states[i]->BonesState);
    }
    acc.Normalize();
    // A joint that no state reached keeps its place rather than going to the
    // bag's origin.
    std::unique_ptr<TSkeletonState> current;
    for (std::int32_t i = 0; i < acc.Count(); ++i) {
        if (acc.HasBlend(i)) continue;
        if (!current) current = skeleton->CaptureState("", false, false);
        if (i < current->JointsState->Count())
            acc.Records[At(i)].Position = current->JointsState->Records[At(i)].Position;
    }
    skeleton->ApplyState(blend, false, true, false);
    RefreshViews();
}

} // namespace vel
