#pragma once
// Named snapshots of a skeleton's pose: joint positions in the space of the
// skeleton's bag with their Stiff, bone twists, the bag's transform and the
// states of the skeletons attached to it. One record serves undo, the pose
// library, the rest pose and blending.
//
// The state operations of joints, bones and skeletons (TJoint::CaptureState,
// TSkeleton::PushUndoState, ...) are declared with their classes and defined
// in SkeletonState.cpp.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Serial.h"
#include "tsxapi.h"

namespace vel {

class TSkeleton;
class TRecordReader;
class TRecordWriter;

// One joint in a joints state; also its stored form.
struct TJointRecord {
    static constexpr std::uint32_t InBlend = 8; // takes part in the current blend

    float Stiff = -1; // -1: applying leaves the joint's Stiff alone
    CtsxVec3f Position{};
    std::uint32_t Flags = 0;
};
static_assert(sizeof(TJointRecord) == 20, "TJointRecord layout");

// Within 0.01 on every axis.
bool SamePosition(const TJointRecord& a, const TJointRecord& b);

// Three parallel arrays; a captured state has Records only, blending fills
// Weights (weight sums) and Counts (how many blended poses moved the joint).
class TJointsState {
public:
    std::vector<TJointRecord> Records;
    std::vector<float> Weights;
    std::vector<std::int32_t> Counts;

    std::int32_t Count() const { return static_cast<std::int32_t>(Records.size()); }

    // The accumulator's side of blending (this is the accumulator).
    // All three arrays take length n; each new record i is from's record i
    // with Position 0 and Stiff -1, its weight and count 0.
    void Grow(const TJointsState& from, std::int32_t n);
    // Sets InBlend in state's records (the flag stays with that state) and
    // counts the joints this pose moves away from reference.
    void MarkBlend(TJointsState& state, const TJointsState* reference, float weight);
    // other none: state is the base pose (its own weight is never used).
    void AddWeighted(const TJointsState& state, const TJointsState* other, float weight);
    // Divides every position by its weight sum; a record whose sum is 0 got
    // no pose at all and is left as it is.
    void Normalize();
    // Whether record i holds a blended position (its weight sum is not 0).
    bool HasBlend(std::int32_t i) const;

    // Records (Records.cpp): Records only.
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

class TBoneState {
public:
    CtsxVec3f Twist{};
    // Stored and copied, never filled by a capture.
    std::vector<CtsxTxmx3f> ChildMatrices;

    void Assign(const TBoneState& other);
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

class TBonesState {
public:
    std::vector<std::unique_ptr<TBoneState>> States;

    std::int32_t Count() const { return static_cast<std::int32_t>(States.size()); }
    // When this holds fewer states than from, it becomes a copy of from.
    void Grow(const TBonesState& from);
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

class TSkeletonState;

class TSkeletonStates {
public:
    TSkeletonStates();
    ~TSkeletonStates();
    TSkeletonStates(const TSkeletonStates&) = delete;
    TSkeletonStates& operator=(const TSkeletonStates&) = delete;

    std::vector<std::unique_ptr<TSkeletonState>> States;

    void Add(std::unique_ptr<TSkeletonState> state);
    std::int32_t Count() const { return static_cast<std::int32_t>(States.size()); }
    // None for an index out of range.
    TSkeletonState* Items(std::int32_t i) const;
    // Records (Records.cpp): the read states are appended.
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

class TSkeletonState {
public:
    TSkeletonState();
    ~TSkeletonState();
    TSkeletonState(const TSkeletonState&) = delete;
    TSkeletonState& operator=(const TSkeletonState&) = delete;

    // What a window keeps to know this state again (Serial.h).
    TSerial Serial;
    std::string Name;
    std::uint8_t Setup = 0; // the setup-mode flag when captured
    std::uint8_t Moved = 0; // applying also restores the bag's transform
    std::unique_ptr<TJointsState> JointsState;
    std::unique_ptr<TBonesState> BonesState;
    CtsxTxmx3f BagMatrix{};
    std::unique_ptr<TSkeletonStates> ChildStates;

    // Records (Records.cpp).
    void Write(TRecordWriter& out) const;
    bool Read(TRecordReader& in);
};

// Mixes states[0] (the base pose) with the others by weights (one weight per
// state) into one state and applies it to skeleton; Stiff is never changed.
// Nothing happens for no skeleton, no states, a weight count that differs or
// a weight that is not finite.
void BlendPoses(TSkeleton* skeleton, const std::vector<TSkeletonState*>& states,
                const std::vector<float>& weights);

} // namespace vel
