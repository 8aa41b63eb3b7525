#include "Bone.h"

#include <algorithm>
#include <cmath>

#include "SkelMgr.h"
#include "Skeleton.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TsxHelper.h"

namespace vel {

namespace {

// Below this a head-to-tail distance gives no usable direction: the frame
// would be built from noise (or from a zero vector).
constexpr float kMinFrameLength = 1e-6f;

// A frame is made along a length neither collapsed nor overflowed.
bool HasDirection(float length) {
    return length > kMinFrameLength && std::isfinite(length);
}

void ClearTranslation(CtsxTxmx3f& m) {
    m.m[3] = m.m[7] = m.m[11] = 0;
}

bool Contains(const std::vector<TJoint*>& list, const TJoint* j) {
    return std::find(list.begin(), list.end(), j) != list.end();
}

bool Contains(const std::vector<TBone*>& list, const TBone* b) {
    return std::find(list.begin(), list.end(), b) != list.end();
}

// The skeleton whose group or bag obj is.
TSkeleton* SkeletonOfGroup(CtsxSobj obj) {
    TSkeleton* s = nullptr;
    if (FindSkeletonByObject(obj, s) || FindSkeletonByBag(obj, s)) return s;
    return nullptr;
}

// t is s, or following t's attachments upward reaches s.
bool LiesAtOrBelow(TSkeleton* t, const TSkeleton* s) {
    std::vector<TSkeleton*> seen;
    for (TSkeleton* up = t; up; up = up->Attached ? up->ParentSkeleton : nullptr) {
        if (up == s) return true;
        if (std::find(seen.begin(), seen.end(), up) != seen.end()) return false;
        seen.push_back(up);
    }
    return false;
}

// t is bound, through the bones of s and of the skeletons bound to them, below s.
bool BoundBelow(TSkeleton* t, TSkeleton* s) {
    std::vector<TSkeleton*> seen{s};
    for (std::size_t k = 0; k < seen.size(); ++k)
        for (const auto& b : seen[k]->Bones.List)
            for (const auto& c : b->ChildList) {
                TSkeleton* below = SkeletonOfGroup(c->Object);
                if (!below || std::find(seen.begin(), seen.end(), below) != seen.end()) continue;
                if (below == t) return true;
                seen.push_back(below);
            }
    return false;
}

} // namespace

// ---- TBone ----

TBone::TBone(CtsxSobj node) : Node(node) {}

TBone::~TBone() = default;

float TBone::FrameFromPoints(const CtsxVec3f& head, const CtsxVec3f& tail, CtsxTxmx3f& m,
                             CtsxVec3f& up) {
    CtsxVec3f d = head;
    tsxSubToVec3f(&d, &tail);
    const float len = tsxMagnitude3f(&d);
    if (!HasDirection(len)) return len;
    tsxNormalize3f(&d);
    CtsxTxmx3f f;
    MakeFrameFromDirection(d, up, f);
    up = CtsxVec3f{f.row[2][0], f.row[2][1], f.row[2][2]};
    tsxInvertMx3f(&m, &f);
    return len;
}

float TBone::GetMatrix(CtsxTxmx3f& m, bool* made) {
    if (made) *made = false;
    if (!Head || !Tail || Head == Tail) return 1.0f;
    CtsxVec3f w = Twist;
    ToParentSpace(w);
    CtsxTxmx3f f;
    const float len = FrameFromPoints(Head->Position, Tail->Position, f, w);
    // A collapsed bone keeps its roll (and m) until it has a direction again;
    // so does one whose length overflows the floats.
    if (!HasDirection(len)) return len;
    FromParentSpace(w);
    Twist = w;
    m = f;
    if (made) *made = true;
    return len;
}

void TBone::UpdateLength() {
    Length = MeasureLength();
}

void TBone::PlaceNode() {
    if (!Node) return;
    CtsxTxmx3f m;
    bool made = false;
    float len = GetMatrix(m, &made);
    const CtsxVec3f size{1.05f * len, 0.07f * len, 0.07f * len};
    // A bone that would not be finite in the scene is not placed at all.
    if (!IsFinite(size) || (Head && !IsFinite(Head->Position))) return;
    if (len <= 0.001f) {
        const CtsxEuler3f zero{0, 0, 0};
        tsxGNodeSetRotation(Node, &zero);
        len = 0.01f;
    } else if (made) {
        SetNodeRotationFromMx(Node, m);
    } // else: no direction to show; the object keeps its rotation
    SetNodeSize(Node, CtsxVec3f{1.05f * len, 0.07f * len, 0.07f * len});
    if (Head) SetNodeLocation(Node, Head->Position);
}

void TBone::SolveConstraint() {
    if (!Head || !Tail) return;
    if (HasFlags(bfRigid)) {
        KeepRigidSegment(Head->Position, Tail->Position, RestVector);
    } else {
        const double rest = HasFlags(bfTarget) ? 0.1 : static_cast<double>(Length);
        SolveDistanceConstraint(Head->Position, Tail->Position, Head->Stiff(), Tail->Stiff(), rest);
    }
}

void TBone::Flip() {
    std::swap(Head, Tail);
}

void TBone::ShareJointSize() {
    const float v = 0.3f * Length;
    if (Head) Head->AddSize(v);
    if (Tail) Tail->AddSize(v);
}

bool TBone::ResolveJoints(const TJoints& joints) {
    Head = joints.ByStoredIndex(HeadIndex);
    Tail = joints.ByStoredIndex(TailIndex);
    return Head && Tail;
}

bool TBone::UsesJoint(CtsxSobj node) const {
    return (Head && Head->Node == node) || (Tail && Tail->Node == node);
}

float TBone::DistanceBetween(const TJoint& a, const TJoint& b) {
    CtsxVec3f d = b.Position;
    tsxSubToVec3f(&d, &a.Position);
    return tsxMagnitude3f(&d);
}

float TBone::MeasureLength() {
    if (!Head || !Tail) return Length;
    CtsxVec3f rest = Tail->Position;
    tsxSubToVec3f(&rest, &Head->Position);
    const float length = tsxMagnitude3f(&rest);
    // Joints too far apart for a float length: the bone keeps its last one.
    if (!std::isfinite(length) || !IsFinite(rest)) return Length;
    RestVector = rest;
    return length;
}

void TBone::GetParentTransform(CtsxTxmx3f& m) const {
    tsxGNodeGetPureTransform(tsxGNodeGetParent(Node), &m);
}

void TBone::GetParentInverse(CtsxTxmx3f& m) const {
    CtsxTxmx3f p;
    GetParentTransform(p);
    tsxInvertMx3f(&m, &p);
}

void TBone::ToParentSpace(CtsxVec3f& v) const {
    CtsxTxmx3f p;
    GetParentTransform(p);
    tsxRotateVect3f(&v, &v, &p);
}

void TBone::FromParentSpace(CtsxVec3f& v) const {
    CtsxTxmx3f p;
    GetParentInverse(p);
    tsxRotateVect3f(&v, &v, &p);
}

bool TBone::SetMatrix(const CtsxTxmx3f& m) {
    if (!Head || !Tail) return false;
    CtsxTxmx3f inv, r;
    GetParentInverse(inv);
    tsxXProdMx3f(&r, &m, &inv);
    ClearTranslation(r);
    CtsxVec3f d{-1, 0, 0};
    tsxTransformVect3f(&d, &d, &r);
    tsxNormalize3f(&d);
    tsxMulScalar3f(&d, Length);
    CtsxVec3f tail = Head->Position;
    tsxAddToVec3f(&tail, &d);
    // The result, not only the input, must be finite to be taken.
    if (!IsFinite(tail)) return false;
    Tail->Position = tail;
    Tail->WritePosition();
    CtsxTxmx3f ri;
    tsxInvertMx3f(&ri, &r);
    const CtsxVec3f twist{ri.row[2][0], ri.row[2][1], ri.row[2][2]};
    if (IsFinite(twist)) Twist = twist; // a roll that overflowed keeps the last one
    return true;
}

float TBone::GetSkinMatrix(CtsxSobj obj, CtsxTxmx3f& m, bool* made) {
    if (made) *made = false;
    CtsxTxmx3f b;
    bool haveFrame = false;
    const float len = GetMatrix(b, &haveFrame);
    if (!haveFrame) return len;
    CtsxTxmx3f v;
    tsxPolyhGetVxTxmx(obj, &v);
    tsxSubMxTranslation3f(&v, &Head->Position);
    CtsxTxmx3f bi;
    tsxInvertMx3f(&bi, &b);
    tsxXProdMx3f(&m, &bi, &v);
    if (made) *made = true;
    return len;
}

void TBone::ReadTwistFromNode() {
    if (!Node) return;
    if (TwistKeyed) {
        TwistKeyed = 0;
        return;
    }
    CtsxTxmx3f t;
    tsxGNodeGetPureTransform(Node, &t);
    ClearTranslation(t);
    const CtsxVec3f z{0, 0, 1};
    tsxTransformVect3f(&z, &Twist, &t);
    FromParentSpace(Twist);
}

bool TBone::FindChild(CtsxSobj obj, std::int32_t& i) const {
    for (i = 0; i < ChildCount(); ++i)
        if (ChildList[static_cast<std::size_t>(i)]->Object == obj) return true;
    i = -1;
    return false;
}

bool TBone::HasChild(CtsxSobj obj) const {
    std::int32_t i;
    return FindChild(obj, i);
}

TBoneChild* TBone::Children(std::int32_t i) const {
    if (i < 0 || i >= ChildCount()) return nullptr;
    return ChildList[static_cast<std::size_t>(i)].get();
}

TSkinArea* TBone::SkinAreas(std::int32_t i) const {
    if (i < 0 || i >= static_cast<std::int32_t>(SkinAreaList.size())) return nullptr;
    return SkinAreaList[static_cast<std::size_t>(i)].get();
}

TBoneChild* TBone::AttachChild(CtsxSobj obj) {
    if (!obj || HasChild(obj)) return nullptr;
    if (TSkeleton* s = SkeletonOfGroup(obj)) {
        TSkeleton* t = nullptr;
        if (FindSkeletonOfBagChild(Node, t)) {
            // Never a skeleton under itself, directly, through a chain of
            // attachments, or through a binding left on a former parent's
            // bone: Root and the refresh of attached skeletons would go round
            // for ever.
            if (LiesAtOrBelow(t, s) || BoundBelow(t, s)) return nullptr;
            s->AttachTo(t);
        }
    }
    tsxGNodeGetPureTransform(Node, &NodeMatrix);
    auto child = std::make_unique<TBoneChild>();
    child->Object = obj;
    CtsxTxmx3f objMatrix;
    tsxGNodeGetPureTransform(obj, &objMatrix);
    RelativeMx(NodeMatrix, objMatrix, child->Relative);
    ChildList.push_back(std::move(child));
    SkinAreaList.emplace_back();
    // Keep the two lists aligned even when a load left the areas longer.
    if (SkinAreaList.size() > ChildList.size()) SkinAreaList.resize(ChildList.size());
    return ChildList.back().get();
}

void TBone::Attach(CtsxSobj obj) {
    AttachChild(obj);
}

void TBone::AttachWithMatrix(CtsxSobj obj, const CtsxTxmx3f& m) {
    if (TBoneChild* c = AttachChild(obj)) c->Relative = m;
}

void TBone::DetachChild(CtsxSobj obj) {
    std::int32_t i;
    if (!FindChild(obj, i)) return;
    ChildList.erase(ChildList.begin() + i);
    if (i < static_cast<std::int32_t>(SkinAreaList.size()))
        SkinAreaList.erase(SkinAreaList.begin() + i);
}

void TBone::MoveChild(TBoneChild& child) {
    RotateNodeKeepPosition(child.Object, NodeMatrix, child.Relative);
    if (TSkeleton* s = SkeletonOfGroup(child.Object)) s->RefreshAttached();
}

void TBone::MoveChildren() {
    tsxGNodeGetPureTransform(Node, &NodeMatrix);
    for (std::int32_t i = 0; i < ChildCount(); ++i)
        if (!SkinAreas(i)) MoveChild(*Children(i));
}

void TBone::RebindChildren() {
    tsxGNodeGetPureTransform(Node, &NodeMatrix);
    for (auto& c : ChildList) {
        CtsxTxmx3f objMatrix;
        tsxGNodeGetPureTransform(c->Object, &objMatrix);
        RelativeMx(NodeMatrix, objMatrix, c->Relative);
    }
}

void TBone::CollectChildSkeletons(std::vector<TSkeleton*>& list, bool recursive) const {
    for (const auto& c : ChildList) {
        TSkeleton* s = nullptr;
        if (!FindSkeletonByObject(c->Object, s)) continue;
        // A skeleton reached twice is listed (and searched) once.
        if (std::find(list.begin(), list.end(), s) != list.end()) continue;
        list.push_back(s);
        if (recursive) s->Bones.CollectChildSkeletons(list, true);
    }
}

void TBone::CollectDownstream(const TBones& bones, const TBone* start, std::vector<TJoint*>* joints,
                              std::vector<TBone*>* boneList) const {
    if (!Tail) return;
    for (const auto& owned : bones.List) {
        TBone* b = owned.get();
        if (b == start || b->Head != Tail) continue;
        if (joints) {
            if (!b->Tail || Contains(*joints, b->Tail)) continue;
            joints->push_back(b->Tail);
        } else {
            if (Contains(*boneList, b)) continue;
            boneList->push_back(b);
        }
        b->CollectDownstream(bones, start, joints, boneList);
    }
}

void TBone::CollectDownstreamJoints(const TBones& bones, std::vector<TJoint*>& list) const {
    CollectDownstream(bones, this, &list, nullptr);
}

void TBone::CollectDownstreamBones(const TBones& bones, std::vector<TBone*>& list) const {
    CollectDownstream(bones, this, nullptr, &list);
}

void TBone::ReadTargetJoint() {
    if (HasFlags(bfTarget) && Tail) Tail->ReadPosition();
}

// ---- TBones ----

std::int32_t TBones::Add(std::unique_ptr<TBone> bone) {
    List.push_back(std::move(bone));
    return Count() - 1;
}

std::int32_t TBones::IndexOf(const TBone* bone) const {
    for (std::int32_t i = 0; i < Count(); ++i)
        if (Items(i) == bone) return i;
    return -1;
}

bool TBones::IndexOfNode(CtsxSobj obj, std::int32_t& i) const {
    for (i = Count() - 1; i >= 0; --i) {
        const TBone* b = Items(i);
        if (b->Node == obj) return true;
        if (auto* t = dynamic_cast<const TTeeBone*>(b); t && t->ExtraObject == obj) return true;
    }
    return false;
}

bool TBones::IndexOfTeeObject(CtsxSobj obj, std::int32_t& i) const {
    for (i = Count() - 1; i >= 0; --i)
        if (auto* t = dynamic_cast<const TTeeBone*>(Items(i)); t && t->ExtraObject == obj)
            return true;
    return false;
}

bool TBones::FindChildOwner(CtsxSobj obj, std::int32_t& i, std::int32_t from,
                            std::int32_t& c) const {
    for (i = std::max(from, 0); i < Count(); ++i)
        if (Items(i)->FindChild(obj, c)) return true;
    i = -1;
    c = -1;
    return false;
}

bool TBones::FindByJoint(CtsxSobj node, std::int32_t& i, std::int32_t from) const {
    for (i = std::max(from, 0); i < Count(); ++i)
        if (Items(i)->UsesJoint(node)) return true;
    i = -1;
    return false;
}

bool TBones::FindByTailJoint(CtsxSobj node, std::int32_t& i, std::int32_t from) const {
    for (i = std::max(from, 0); i < Count(); ++i) {
        const TBone* b = Items(i);
        if (b->Tail && b->Tail->Node == node) return true;
    }
    i = -1;
    return false;
}

void TBones::DeleteBone(std::int32_t i) {
    if (!IndexValid(i)) return;
    // Out of the list first: the host's delete callbacks must not find it.
    std::unique_ptr<TBone> bone = std::move(List[static_cast<std::size_t>(i)]);
    List.erase(List.begin() + i);
    if (auto* t = dynamic_cast<TTeeBone*>(bone.get())) DeleteObject(t->ExtraObject);
    DeleteObject(bone->Node);
}

void TBones::RemoveObject(CtsxSobj obj) {
    if (!obj) return;
    std::int32_t i;
    if (IndexOfTeeObject(obj, i)) {
        std::unique_ptr<TBone> bone = std::move(List[static_cast<std::size_t>(i)]);
        List.erase(List.begin() + i);
        DeleteObject(bone->Node);
        return;
    }
    if (IndexOfNode(obj, i)) {
        List.erase(List.begin() + i);
        return;
    }
    std::int32_t c;
    i = 0;
    while (FindChildOwner(obj, i, i, c)) {
        Items(i)->DetachChild(obj);
        ++i;
    }
}

void TBones::PlaceAll() {
    for (auto& b : List)
        b->PlaceNode();
}

void TBones::UpdateLengths() {
    for (auto& b : List)
        b->UpdateLength();
}

void TBones::RebindAllChildren() {
    for (auto& b : List)
        b->RebindChildren();
}

void TBones::MoveAllChildren() {
    for (auto& b : List)
        b->MoveChildren();
}

void TBones::SolveAll() {
    for (auto& b : List)
        b->SolveConstraint();
}

void TBones::ReadTargetJointsAll() {
    for (auto& b : List)
        b->ReadTargetJoint();
}

void TBones::ShareJointSizes() {
    for (auto& b : List)
        b->ShareJointSize();
}

void TBones::ReadTwistAll() {
    for (auto& b : List)
        b->ReadTwistFromNode();
}

void TBones::RotateTwistAll(const CtsxTxmx3f& m) {
    for (auto& b : List)
        tsxRotateVect3f(&b->Twist, &b->Twist, &m);
}

void TBones::CollectChildSkeletons(std::vector<TSkeleton*>& list, bool recursive) const {
    for (const auto& b : List)
        b->CollectChildSkeletons(list, recursive);
}

void TBones::DeformAllSkins(TSkeleton* root) {
    for (auto& b : List)
        b->DeformSkins(root);
}

void TBones::DeformAllChildSkeletons(TSkeleton* root) {
    for (auto& b : List)
        b->DeformChildSkeletons(root);
}

void TBones::RebuildSkinAreasAll(TSkeleton* skel, CtsxSobj only) {
    for (auto& b : List)
        b->RebuildSkinAreas(skel, only);
}

void TBones::ResolveJointsAll(const TJoints& joints) {
    std::int32_t i = 0;
    while (i < Count()) {
        if (Items(i)->ResolveJoints(joints))
            ++i;
        else
            DeleteBone(i);
    }
}

CtsxVec3f JointMidpoint(const TJoint& a, const TJoint& b) {
    CtsxVec3f m = a.Position;
    tsxAddToVec3f(&m, &b.Position);
    tsxMulScalar3f(&m, 0.5f);
    return m;
}

} // namespace vel
