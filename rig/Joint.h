#pragma once
// Joints: the points of a skeleton. Each is a small host object the user drags,
// plus the rig's working copy of its position and its stiffness. Bones relax
// their lengths by moving joint positions with the constraint routines here.
#include <cstdint>
#include <memory>
#include <vector>

#include "Serial.h"
#include "tsxapi.h"

namespace vel {

struct TJointRecord;
class TJointsState;

// TJoint::Flags bits.
enum : std::uint32_t {
    jfSharpKeys = 1,  // location keys get sharp spline parameters
    jfParentMode = 2, // moving the joint carries the joints downstream of it
    jfLinked = 4,     // moves along whenever any joint of its skeleton moves
    jfOnFloor = 16    // stays at or above its floor
};

class TJoint {
public:
    // Stiff 1.0 and FloorAnchor (0, 0, 0), both stored in the node's joint data.
    explicit TJoint(CtsxSobj node);

    // What a window keeps to know this joint again (Serial.h).
    TSerial Serial;
    CtsxSobj Node = nullptr;
    // Working copy of the node's world location.
    CtsxVec3f Position{};
    // The "velJointShow" marker beside the node, or none.
    CtsxSobj Marker = nullptr;
    // Display-size accumulator; after ApplySize it holds the applied size.
    float SizeSum = 0;
    std::int32_t SizeCount = 0;

    // Position in the skeleton's joint list.
    std::int32_t Index() const { return FIndex; }
    void SetIndex(std::int32_t i);
    // 0 nailed .. 1 free; clamped.
    float Stiff() const { return FStiff; }
    void SetStiff(float s);
    // Only z is used: the floor height.
    const CtsxVec3f& FloorAnchor() const { return FFloorAnchor; }
    void SetFloorAnchor(const CtsxVec3f& v);
    std::uint32_t Flags() const { return FFlags; }
    bool HasFlags(std::uint32_t mask) const { return (FFlags & mask) == mask; }
    void SetFlags(std::uint32_t mask, bool on);
    // Replaces the whole set (joint data read back after a load).
    void AssignFlags(std::uint32_t flags);

    void ReadPosition();
    void WritePosition();
    void SetPosition(const CtsxVec3f& p);
    // m applied after the node's own transform, as a move in world space.
    void Transform(const CtsxTxmx3f& m);
    void SetVisible(bool visible);

    void ResetSize();
    void AddSize(float v);
    void AverageSize();
    void ApplySize(float factor);
    void ApplyFloor();
    // Makes the marker when missing and puts it on the node.
    void UpdateMarker();

    // States (SkeletonState.cpp): rec takes Stiff and Position in m's space;
    // applying sets Stiff when rec's is not negative and Position := m x
    // rec's, without writing the node.
    void CaptureState(TJointRecord& rec, const CtsxTxmx3f& m);
    void ApplyState(const TJointRecord& rec, const CtsxTxmx3f& m);

    // Keys (KeyRecording.cpp), at the host's active time; copy and swap times
    // are whole frames.
    void KeyLocation();
    void KeyStiff();
    void Record();
    // The location, Stiff, size and rotation keys at time.
    void EraseKeys(float time);
    void CopyKeys(std::int32_t from, std::int32_t to);
    void SwapKeys(std::int32_t a, std::int32_t b);

private:
    void Store();

    std::int32_t FIndex = 0;
    float FStiff = 1.0f;
    CtsxVec3f FFloorAnchor{};
    std::uint32_t FFlags = 0;
};

// One skeleton's joints; owns them.
class TJoints {
public:
    std::vector<std::unique_ptr<TJoint>> List;

    std::int32_t Count() const { return static_cast<std::int32_t>(List.size()); }
    TJoint* Items(std::int32_t i) const { return List[static_cast<std::size_t>(i)].get(); }
    bool IndexValid(std::int32_t i) const { return i >= 0 && i < Count(); }
    TJoint* ByIndex(std::int32_t i) const { return IndexValid(i) ? Items(i) : nullptr; }
    std::int32_t IndexOf(const TJoint* joint) const;

    std::int32_t IndexOfNode(CtsxSobj node) const;
    bool FindByNode(CtsxSobj node, TJoint*& joint) const;
    bool FindIndexOfNode(CtsxSobj node, std::int32_t& i) const;
    bool FindByMarker(CtsxSobj obj, TJoint*& joint) const;

    // A new joint on node, appended; answers its index.
    std::int32_t Add(CtsxSobj node);
    // Frees the joint and deletes its marker; the joint's node stays.
    void Remove(TJoint* joint);
    void Renumber();
    // Puts every joint at the list position its Index names; distinct
    // indexes with gaps (a joint deleted before a load's rebuild) keep their
    // order. Ends on damaged indexes (duplicates, negative) with the rest
    // left where they are.
    void SortByIndex();
    // After SortByIndex, before Renumber: the joint a record's index names,
    // none when that joint went; by list position when the indexes are damaged.
    TJoint* ByStoredIndex(std::int32_t i) const;

    void WriteAll();
    void ReadAll();
    // Every joint's position is finite (one that is not is never written).
    bool AllFinite() const;
    void SetVisibleAll(bool visible);
    void TransformAll(const CtsxTxmx3f& m);
    void ResetSizes();
    void ApplySizes(float factor);
    void ApplyFloorAll();
    // Appends every Linked joint not in list yet.
    void CollectFlagged(std::vector<TJoint*>& list) const;
    // After a load: each joint without a marker takes a loaded marker that
    // stands where it stands (as big as it first, then of any size; several
    // at one place pair in order from the back), the others take the rest
    // from the back of markers; the leftovers are deleted from the scene.
    void AssignMarkers(std::vector<CtsxSobj>& markers);
    void Translate(const CtsxVec3f& offset);

    // States (SkeletonState.cpp): one record per joint; applying sets the
    // first min(joint count, record count) joints.
    std::unique_ptr<TJointsState> CaptureState(const CtsxTxmx3f& m);
    void ApplyState(const TJointsState& state, const CtsxTxmx3f& m);

    // Keys (KeyRecording.cpp): the joint operation on every joint in order.
    void RecordAll();
    void EraseKeysAll(float time);
    void CopyKeysAll(std::int32_t from, std::int32_t to);
    void SwapKeysAll(std::int32_t a, std::int32_t b);

private:
    // SortByIndex found distinct stored indexes and ordered the list by them.
    bool FStoredIndexesSorted = false;
};

// Moves p1 and p2 toward distance rest, each in proportion to its weight
// (two weights of 0 count as 1 and 1). Coincident points are left alone.
void SolveDistanceConstraint(CtsxVec3f& p1, CtsxVec3f& p2, double w1, double w2, double rest);
// Keeps the pair's midpoint and makes p2 - p1 exactly offset.
void KeepRigidSegment(CtsxVec3f& p1, CtsxVec3f& p2, const CtsxVec3f& offset);
// Lifts p to the anchor's height when below it.
void KeepAboveFloor(CtsxVec3f& p, const CtsxVec3f& anchor);

} // namespace vel
