#include "Joint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <map>

#include "Attributes.h"
#include "Switchboard.h"
#include "TsxHelper.h"

namespace vel {

// ---- TJoint ----

TJoint::TJoint(CtsxSobj node) : Node(node) {
    SetStiff(1.0f);
    SetFloorAnchor(CtsxVec3f{0, 0, 0});
}

void TJoint::Store() {
    SaveJointData2(Node, *this);
}

void TJoint::SetIndex(std::int32_t i) {
    FIndex = i;
    Store();
}

void TJoint::SetStiff(float s) {
    // A NaN would pass both comparisons below and poison every constraint.
    if (s != s) s = FStiff;
    FStiff = std::max(std::min(s, 1.0f), 0.0f);
    Store();
}

void TJoint::SetFloorAnchor(const CtsxVec3f& v) {
    FFloorAnchor = v;
    Store();
}

void TJoint::SetFlags(std::uint32_t mask, bool on) {
    if (on)
        FFlags |= mask;
    else
        FFlags &= ~mask;
    Store();
}

void TJoint::AssignFlags(std::uint32_t flags) {
    FFlags = flags;
    Store();
}

void TJoint::ReadPosition() {
    tsxGNodeGetLocation(Node, &Position);
}

void TJoint::WritePosition() {
    if (!SetNodeLocation(Node, Position)) {
        ReadPosition(); // refused: the joint stays where the scene has it
        return;
    }
    UpdateMarker();
}

void TJoint::SetPosition(const CtsxVec3f& p) {
    Position = p;
    WritePosition();
}

void TJoint::Transform(const CtsxTxmx3f& m) {
    CtsxTxmx3f t;
    tsxGNodeGetPureTransform(Node, &t);
    tsxXProdMx3f(&t, &m, &t);
    SetNodeTransform(Node, t); // refused when the product overflows
    ReadPosition();
    UpdateMarker();
}

void TJoint::SetVisible(bool visible) {
    if (visible)
        tsxMNodeSetVisible(Node);
    else
        tsxMNodeSetInvisible(Node);
}

void TJoint::ResetSize() {
    SizeSum = 0;
    SizeCount = 0;
}

void TJoint::AddSize(float v) {
    SizeSum += v;
    SizeCount += 1;
}

void TJoint::AverageSize() {
    if (SizeCount != 0) SizeSum = SizeSum / static_cast<float>(SizeCount);
}

void TJoint::ApplySize(float factor) {
    if (SizeSum < 0.001f) SizeSum = 0.1f;
    SizeSum = SizeSum * factor;
    if (!SetNodeSize(Node, CtsxVec3f{SizeSum, SizeSum, SizeSum})) return;
    UpdateMarker();
}

void TJoint::ApplyFloor() {
    if (HasFlags(jfOnFloor)) KeepAboveFloor(Position, FFloorAnchor);
}

void TJoint::UpdateMarker() {
    if (!Marker) {
        Marker = NewJointMarker();
        if (!Marker) return;
        TEditScope edit;
        const CtsxVec3f origin{0, 0, 0};
        tsxMNodeSetAxesPosition(Marker, &origin);
        CtsxSobj parent = tsxGNodeGetParent(Node);
        tsxAddSubobj(&parent, Marker);
    }
    if (!SetNodeLocation(Marker, Position)) return;
    CtsxVec3f size;
    tsxGNodeGetSize(Node, &size);
    tsxGNodeSetSize(Marker, &size);
    CtsxEuler3f rotation;
    tsxGNodeGetRotation(Node, &rotation);
    tsxGNodeSetRotation(Marker, &rotation);
    if (tsxMNodeIsVisible(Node) == 1)
        tsxMNodeSetVisible(Marker);
    else
        tsxMNodeSetInvisible(Marker);
}

// ---- TJoints ----

std::int32_t TJoints::IndexOf(const TJoint* joint) const {
    for (std::int32_t i = 0; i < Count(); ++i)
        if (Items(i) == joint) return i;
    return -1;
}

std::int32_t TJoints::IndexOfNode(CtsxSobj node) const {
    for (std::int32_t i = 0; i < Count(); ++i)
        if (Items(i)->Node == node) return i;
    return -1;
}

bool TJoints::FindByNode(CtsxSobj node, TJoint*& joint) const {
    joint = ByIndex(IndexOfNode(node));
    return joint != nullptr;
}

bool TJoints::FindIndexOfNode(CtsxSobj node, std::int32_t& i) const {
    i = IndexOfNode(node);
    return i >= 0;
}

bool TJoints::FindByMarker(CtsxSobj obj, TJoint*& joint) const {
    joint = nullptr;
    if (!obj) return false;
    for (const auto& j : List)
        if (j->Marker == obj) {
            joint = j.get();
            return true;
        }
    return false;
}

std::int32_t TJoints::Add(CtsxSobj node) {
    List.push_back(std::make_unique<TJoint>(node));
    const std::int32_t i = Count() - 1;
    List.back()->SetIndex(i);
    return i;
}

void TJoints::Remove(TJoint* joint) {
    const std::int32_t i = IndexOf(joint);
    if (i < 0) return;
    std::unique_ptr<TJoint> owned = std::move(List[static_cast<std::size_t>(i)]);
    List.erase(List.begin() + i);
    if (owned->Marker) {
        CtsxSobj marker = owned->Marker;
        owned->Marker = nullptr;
        DeleteObject(marker);
        ForgetObject(marker);
    }
    owned->Node = nullptr;
    owned.reset();
    Renumber();
}

void TJoints::Renumber() {
    for (std::int32_t i = 0; i < Count(); ++i)
        Items(i)->SetIndex(i);
}

namespace {

bool IndexesDistinct(const TJoints& joints) {
    std::vector<std::int32_t> indexes;
    indexes.reserve(joints.List.size());
    for (const auto& j : joints.List)
        indexes.push_back(j->Index());
    std::sort(indexes.begin(), indexes.end());
    return (indexes.empty() || indexes.front() >= 0) &&
           std::adjacent_find(indexes.begin(), indexes.end()) == indexes.end();
}

} // namespace

TJoint* TJoints::ByStoredIndex(std::int32_t i) const {
    if (IndexValid(i) && Items(i)->Index() == i) return Items(i);
    if (!FStoredIndexesSorted) return ByIndex(i);
    // A search, not a walk: every bone of a skeleton asks.
    const auto at = std::lower_bound(List.begin(), List.end(), i,
                                     [](const auto& j, std::int32_t v) { return j->Index() < v; });
    return at != List.end() && (*at)->Index() == i ? at->get() : nullptr;
}

void TJoints::SortByIndex() {
    FStoredIndexesSorted = IndexesDistinct(*this);
    if (FStoredIndexesSorted) {
        std::sort(List.begin(), List.end(),
                  [](const auto& a, const auto& b) { return a->Index() < b->Index(); });
        return;
    }
    // Each exchange puts one joint where its index says, so a list of
    // distinct indexes needs fewer than Count of them; more means duplicates.
    const std::int32_t n = Count();
    std::int32_t exchanges = 0;
    std::int32_t i = 0;
    while (i < n) {
        const std::int32_t j = Items(i)->Index();
        if (j < 0 || j >= n) break;
        if (j != i) {
            if (++exchanges > n) break;
            std::swap(List[static_cast<std::size_t>(i)], List[static_cast<std::size_t>(j)]);
        } else {
            ++i;
        }
    }
}

void TJoints::WriteAll() {
    for (auto& j : List)
        j->WritePosition();
}

void TJoints::ReadAll() {
    for (auto& j : List)
        j->ReadPosition();
}

bool TJoints::AllFinite() const {
    return std::all_of(List.begin(), List.end(),
                       [](const auto& j) { return IsFinite(j->Position); });
}

void TJoints::SetVisibleAll(bool visible) {
    for (auto& j : List)
        j->SetVisible(visible);
}

void TJoints::TransformAll(const CtsxTxmx3f& m) {
    for (auto& j : List)
        j->Transform(m);
}

void TJoints::ResetSizes() {
    for (auto& j : List)
        j->ResetSize();
}

void TJoints::ApplySizes(float factor) {
    for (auto& j : List) {
        j->AverageSize();
        j->ApplySize(factor);
    }
}

void TJoints::ApplyFloorAll() {
    for (auto& j : List)
        j->ApplyFloor();
}

void TJoints::CollectFlagged(std::vector<TJoint*>& list) const {
    for (const auto& j : List)
        if (j->HasFlags(jfLinked) && std::find(list.begin(), list.end(), j.get()) == list.end())
            list.push_back(j.get());
}

namespace {

// Where a node stands and, with size, how big it is, bit for bit: a marker
// takes both from its joint at every update, so a file records them alike.
using TPlace = std::array<std::uint32_t, 6>;

TPlace PlaceOf(CtsxSobj node, bool withSize) {
    CtsxVec3f v{}, size{};
    tsxGNodeGetLocation(node, &v);
    if (withSize) tsxGNodeGetSize(node, &size);
    return {std::bit_cast<std::uint32_t>(v.x),    std::bit_cast<std::uint32_t>(v.y),
            std::bit_cast<std::uint32_t>(v.z),    std::bit_cast<std::uint32_t>(size.x),
            std::bit_cast<std::uint32_t>(size.y), std::bit_cast<std::uint32_t>(size.z)};
}

// One round of AssignMarkers: markers not taken yet that stand where a
// joint without a marker stands (and, withSize, are as big).
void PairAtPlaces(std::vector<std::unique_ptr<TJoint>>& joints,
                  const std::vector<CtsxSobj>& markers, std::vector<bool>& taken, bool withSize) {
    std::map<TPlace, std::vector<std::size_t>> at;
    for (std::size_t i = 0; i < markers.size(); ++i)
        if (!taken[i]) at[PlaceOf(markers[i], withSize)].push_back(i);
    // From the back: the last joint without a marker takes the last marker
    // standing as it stands, the one before it the one before. Joints and
    // their markers are made in the same order, so two joints at one place
    // each get their own.
    for (auto j = joints.rbegin(); j != joints.rend(); ++j) {
        if ((*j)->Marker) continue;
        const auto here = at.find(PlaceOf((*j)->Node, withSize));
        if (here == at.end() || here->second.empty()) continue;
        (*j)->Marker = markers[here->second.back()];
        taken[here->second.back()] = true;
        here->second.pop_back();
    }
}

} // namespace

void TJoints::AssignMarkers(std::vector<CtsxSobj>& markers) {
    // A marker stands where its joint stands, as big as it: one found so
    // goes to that joint first, one at its place only next (the joint was
    // resized behind the rig's back). The rest pair as before: the last
    // marker left to the next joint.
    std::vector<bool> taken(markers.size(), false);
    PairAtPlaces(List, markers, taken, true);
    PairAtPlaces(List, markers, taken, false);
    std::vector<CtsxSobj> left;
    for (std::size_t i = 0; i < markers.size(); ++i)
        if (!taken[i]) left.push_back(markers[i]);
    for (auto& j : List) {
        if (left.empty()) break;
        if (!j->Marker) {
            j->Marker = left.back();
            left.pop_back();
        }
    }
    for (CtsxSobj m : left)
        DeleteObject(m);
    markers.clear();
}

void TJoints::Translate(const CtsxVec3f& offset) {
    for (auto& j : List)
        tsxAddToVec3f(&j->Position, &offset);
    WriteAll();
}

// ---- constraints ----

void SolveDistanceConstraint(CtsxVec3f& p1, CtsxVec3f& p2, double w1, double w2, double rest) {
    if (w1 + w2 == 0) {
        w1 = 1.0;
        w2 = 1.0;
    }
    CtsxVec3f d = p1;
    tsxSubToVec3f(&d, &p2);
    const float len = tsxMagnitude3f(&d);
    // No direction to move along (and NaN positions stay out of the scene).
    if (!(len > 0)) return;
    const double k = (len - rest) / ((w1 + w2) * len);
    CtsxVec3f d1 = d;
    tsxMulScalar3f(&d1, static_cast<float>(w1 * k));
    CtsxVec3f d2 = d;
    tsxMulScalar3f(&d2, static_cast<float>(w2 * k));
    tsxSubToVec3f(&p1, &d1);
    tsxAddToVec3f(&p2, &d2);
}

void KeepRigidSegment(CtsxVec3f& p1, CtsxVec3f& p2, const CtsxVec3f& offset) {
    CtsxVec3f mid = p1;
    tsxAddToVec3f(&mid, &p2);
    tsxMulScalar3f(&mid, 0.5f);
    CtsxVec3f half = offset;
    tsxMulScalar3f(&half, 0.5f);
    p1 = mid;
    tsxSubToVec3f(&p1, &half);
    p2 = p1;
    tsxAddToVec3f(&p2, &offset);
}

void KeepAboveFloor(CtsxVec3f& p, const CtsxVec3f& anchor) {
    if (p.z < anchor.z) p.z = anchor.z;
}

} // namespace vel
