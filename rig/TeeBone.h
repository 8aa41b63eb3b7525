#pragma once
// Tee bones: a bone with a third joint standing off its middle that fixes its
// roll. The three joints form a triangle held by three distance constraints;
// an extra "velBoneT" object is drawn from the bone's midpoint to the tee joint.
#include "Bone.h"

namespace vel {

class TTeeBone : public TBone {
public:
    TTeeBone(CtsxSobj node, CtsxSobj extra);

    TJoint* TeeJoint = nullptr;
    float HeadTeeDistance = 0;
    float TailTeeDistance = 0;
    CtsxSobj ExtraObject = nullptr;
    // Read from a record, resolved by ResolveJoints.
    std::int32_t TeeIndex = -1;

    float GetMatrix(CtsxTxmx3f& m, bool* made = nullptr) override;
    void UpdateLength() override;
    void PlaceNode() override;
    void SolveConstraint() override;
    // Head takes the tail's role, tail the tee's, tee the head's.
    void Flip() override;
    void ShareJointSize() override;
    bool ReadData(std::int32_t version, TRecordReader& in) override;
    void WriteData(TRecordWriter& out) override;
    void Save(TRecordWriter& out) override;
    bool Load(TRecordReader& in) override;
    bool ResolveJoints(const TJoints& joints) override;

    // The roll hint every tee bone's extra object starts from; (0, 0, 1) at load.
    static const CtsxVec3f& SharedUp();
    static void ResetSharedUp();
};

} // namespace vel
