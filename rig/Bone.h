#pragma once
// Bones: a host object of type "velBone" between two joints, placed, turned
// and scaled to show the bone, with a Twist vector that fixes its roll and the
// host objects bound to it (plain objects, attached skeletons, skinned meshes).
// Bone space has the head at the origin and the bone along the negative x axis.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Joint.h"
#include "Serial.h"
#include "tsxapi.h"

namespace vel {

class TJoint;
class TJoints;
class TBones;
class TTeeBone;
class TSkeleton;
class TSkinArea;
class TBoneState;
class TBonesState;
class TRecordReader;
class TRecordWriter;

// TBone::Flags bits.
enum : std::uint32_t {
    bfRigid = 1, // the bone keeps RestVector exactly
    bfTarget = 2 // the tail is a target: pulled to 0.1, re-read after relaxing
};

// A host object bound to a bone.
class TBoneChild {
public:
    // What a window keeps to know this binding again (Serial.h).
    TSerial Serial;
    CtsxSobj Object = nullptr;
    // The object's transform relative to the bone object's at binding time.
    CtsxTxmx3f Relative{};

    // Records (Records.cpp).
    void Write(TRecordWriter& out) const;
};

// A child read from a bone record, kept until it is bound after the load.
struct TPendingChild {
    std::int32_t SceneIndex = 0; // depth-first position in the scene
    std::int32_t RootIndex = 0;  // depth-first position from its top-level node
    std::string Name;            // full name (version 106), else the own name
    CtsxTxmx3f Relative{};
};

class TBone {
public:
    explicit TBone(CtsxSobj node);
    virtual ~TBone();
    TBone(const TBone&) = delete;
    TBone& operator=(const TBone&) = delete;

    // What a window keeps to know this bone again (Serial.h).
    TSerial Serial;
    CtsxSobj Node = nullptr;
    // Either may be none while a load is being resolved.
    TJoint* Head = nullptr;
    TJoint* Tail = nullptr;
    // Rest length.
    float Length = 0;
    // Roll reference, in the space of the bone object's parent.
    CtsxVec3f Twist{0, 0, 1};
    // Tail - head at the last MeasureLength; rigid bones keep it.
    CtsxVec3f RestVector{};
    std::uint32_t Flags = 0;
    // A Twist key was just read into Twist: the next ReadTwistFromNode keeps it.
    std::uint8_t TwistKeyed = 0;
    // Bound objects in binding order, and index-aligned with them each child's
    // skin area (null for none).
    std::vector<std::unique_ptr<TBoneChild>> ChildList;
    std::vector<std::unique_ptr<TSkinArea>> SkinAreaList;
    // The bone object's pure transform, refreshed before binding and moving.
    CtsxTxmx3f NodeMatrix{};
    // Filled from a bone record.
    std::int32_t ReadVersion = 0;
    std::int32_t HeadIndex = -1;
    std::int32_t TailIndex = -1;
    std::unique_ptr<TTeeBone> LoadedTeeBone;
    // Children read from a record, bound by the ResolveChildren operations.
    std::vector<TPendingChild> PendingChildren;
    bool PendingMatrices = false;    // the record carried child matrices
    bool PendingRootIndexes = false; // the record carried root indexes

    bool HasFlags(std::uint32_t mask) const { return (Flags & mask) == mask; }

    // Virtual slots, in this order; a tee bone overrides all but the first.
    // The frame m takes points from world space into bone space; up is the
    // roll hint in and the frame's third row out. Answers |head - tail|. When
    // the points are too close to give a direction, m and up stay untouched.
    virtual float FrameFromPoints(const CtsxVec3f& head, const CtsxVec3f& tail, CtsxTxmx3f& m,
                                  CtsxVec3f& up);
    // Answers the length; made (when given) tells whether m was filled. With a
    // joint missing, the same joint twice, or collapsed points m and Twist
    // stay as they were (and the answer is 1.0 for a missing joint).
    virtual float GetMatrix(CtsxTxmx3f& m, bool* made = nullptr);
    virtual void UpdateLength();
    virtual void PlaceNode();
    virtual void SolveConstraint();
    virtual void Flip();
    virtual void ShareJointSize();
    // Records (Records.cpp). Readers answer whether the record was read to
    // its end; the reader tells a failed record from a stopped one.
    virtual bool ReadData(std::int32_t version, TRecordReader& in);
    virtual void WriteData(TRecordWriter& out);
    virtual void Save(TRecordWriter& out);
    virtual bool Load(TRecordReader& in);
    // Joints by the indexes read from a record; answers whether both are there.
    virtual bool ResolveJoints(const TJoints& joints);

    bool UsesJoint(CtsxSobj node) const;
    static float DistanceBetween(const TJoint& a, const TJoint& b);
    float MeasureLength();

    void GetParentTransform(CtsxTxmx3f& m) const;
    void GetParentInverse(CtsxTxmx3f& m) const;
    void ToParentSpace(CtsxVec3f& v) const;
    void FromParentSpace(CtsxVec3f& v) const;

    // Points the bone along m (Length kept) and takes m's roll; writes the tail.
    // False, and nothing changed, when the tail would not be finite.
    bool SetMatrix(const CtsxTxmx3f& m);
    // m takes rest vertices of obj into bone space; answers the length. made
    // as for GetMatrix.
    float GetSkinMatrix(CtsxSobj obj, CtsxTxmx3f& m, bool* made = nullptr);
    void ReadTwistFromNode();

    bool FindChild(CtsxSobj obj, std::int32_t& i) const;
    bool HasChild(CtsxSobj obj) const;
    std::int32_t ChildCount() const { return static_cast<std::int32_t>(ChildList.size()); }
    // None when i names no child.
    TBoneChild* Children(std::int32_t i) const;
    // None when i names no entry or the entry is empty.
    TSkinArea* SkinAreas(std::int32_t i) const;
    // Binds obj; none when it is bound already or binding would attach a
    // skeleton to itself or to one below it.
    TBoneChild* AttachChild(CtsxSobj obj);
    void Attach(CtsxSobj obj);
    void AttachWithMatrix(CtsxSobj obj, const CtsxTxmx3f& m);
    void DetachChild(CtsxSobj obj);
    void MoveChild(TBoneChild& child);
    void MoveChildren();
    void RebindChildren();
    // Skeletons bound to this bone; with recursive, those bound below them too.
    void CollectChildSkeletons(std::vector<TSkeleton*>& list, bool recursive) const;
    // Tails (or bones) that follow this bone's tail through the bones' chains;
    // this bone itself is never collected.
    void CollectDownstreamJoints(const TBones& bones, std::vector<TJoint*>& list) const;
    void CollectDownstreamBones(const TBones& bones, std::vector<TBone*>& list) const;
    void ReadTargetJoint();

    // Records (Records.cpp).
    void WriteChildren(TRecordWriter& out) const;
    void WriteSkinAreas(TRecordWriter& out) const;
    bool ReadChildren(std::int32_t version, TRecordReader& in);
    bool ReadSkinAreas(std::int32_t version, TRecordReader& in);
    // Binds the pending children found (by scene index before version 106,
    // else by full name), then forgets them all.
    void ResolveChildrenInScene();
    // The same under root: by root index or by name (under root first) before
    // version 106, by full name from 106.
    void ResolveChildrenUnder(CtsxSobj root);

    // Skins, defined with them in Skin.cpp.
    void BuildSkinArea(CtsxSobj obj);
    void RecollectSkinArea(CtsxSobj obj);
    // Only the areas on children bound to only, when given.
    void RebuildSkinAreas(TSkeleton* skel, CtsxSobj only = nullptr);
    void DeformChildSkin(TBoneChild& child, TSkinArea& area, TSkeleton* root);
    void DeformSkins(TSkeleton* root);
    void DeformChildSkeletons(TSkeleton* root);

    // States (SkeletonState.cpp).
    std::unique_ptr<TBoneState> CaptureState() const;
    void ApplyState(const TBoneState& bs);
    // Rolls Twist about the bone's axis by angle degrees.
    void RotateTwist(float angle);

    // Keys (KeyRecording.cpp), at the host's active time; copy times are whole
    // frames.
    void KeyTwist();
    // The Twist, location, size and rotation keys at time.
    void EraseKeys(float time);
    void CopyTwistKey(std::int32_t from, std::int32_t to);

private:
    void CollectDownstream(const TBones& bones, const TBone* start, std::vector<TJoint*>* joints,
                           std::vector<TBone*>* boneList) const;
};

// One skeleton's bones; owns them.
class TBones {
public:
    std::vector<std::unique_ptr<TBone>> List;

    std::int32_t Count() const { return static_cast<std::int32_t>(List.size()); }
    TBone* Items(std::int32_t i) const { return List[static_cast<std::size_t>(i)].get(); }
    bool IndexValid(std::int32_t i) const { return i >= 0 && i < Count(); }
    TBone* ByIndex(std::int32_t i) const { return IndexValid(i) ? Items(i) : nullptr; }
    std::int32_t Add(std::unique_ptr<TBone> bone);
    std::int32_t IndexOf(const TBone* bone) const;

    // The last bone whose object, or (tee bone) extra object, is obj.
    bool IndexOfNode(CtsxSobj obj, std::int32_t& i) const;
    bool IndexOfTeeObject(CtsxSobj obj, std::int32_t& i) const;
    bool FindChildOwner(CtsxSobj obj, std::int32_t& i, std::int32_t from, std::int32_t& c) const;
    bool FindByJoint(CtsxSobj node, std::int32_t& i, std::int32_t from) const;
    bool FindByTailJoint(CtsxSobj node, std::int32_t& i, std::int32_t from) const;

    // Deletes the bone's host objects and frees it.
    void DeleteBone(std::int32_t i);
    // obj was deleted in the host: drop the bone it shows, or the children
    // bound to it.
    void RemoveObject(CtsxSobj obj);

    void PlaceAll();
    void UpdateLengths();
    void RebindAllChildren();
    void MoveAllChildren();
    void SolveAll();
    void ReadTargetJointsAll();
    void ShareJointSizes();
    void ReadTwistAll();
    void RotateTwistAll(const CtsxTxmx3f& m);
    void CollectChildSkeletons(std::vector<TSkeleton*>& list, bool recursive) const;
    void DeformAllSkins(TSkeleton* root);
    void DeformAllChildSkeletons(TSkeleton* root);
    void RebuildSkinAreasAll(TSkeleton* skel, CtsxSobj only = nullptr);
    // Bones that do not get both joints are deleted.
    void ResolveJointsAll(const TJoints& joints);

    // States (SkeletonState.cpp): one per bone; applying sets the first
    // min(bone count, state count) bones.
    std::unique_ptr<TBonesState> CaptureState() const;
    void ApplyState(const TBonesState& state);

    // Keys (KeyRecording.cpp): the bone operation on every bone in order.
    void KeyTwistAll();
    void EraseKeysAll(float time);
    void CopyKeysAll(std::int32_t from, std::int32_t to);
};

CtsxVec3f JointMidpoint(const TJoint& a, const TJoint& b);

} // namespace vel
