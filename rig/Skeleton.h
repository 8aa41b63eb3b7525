#pragma once
// A skeleton: its joints and bones, the two host groups that hold them
// ("Skeleton" and inside it ".BoneBag"), the skinned meshes it deforms, its
// attachment to a parent skeleton, its selection, undo states and poses.
// Skeletons are made and owned by the skeleton list.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Bone.h"
#include "Joint.h"
#include "Serial.h"
#include "TeeBone.h"
#include "tsxapi.h"

namespace vel {

class TSkinsObject;
class TSkeletonState;
class TSkeletonStates;

// Dragging a skeleton's group moves its joints (and the plug-in consumes the
// move) rather than letting the host move the group.
extern bool OptKeyJoints;

class TSkeleton {
public:
    TSkeleton();
    ~TSkeleton();
    TSkeleton(const TSkeleton&) = delete;
    TSkeleton& operator=(const TSkeleton&) = delete;

    // What a window keeps to know this skeleton again (Serial.h).
    TSerial Serial;
    // The "Skeleton" group (none until BuildHierarchy) and its ".BoneBag",
    // which holds every joint, bone, tee-bone and pose-library object.
    CtsxSobj SkeletonObject = nullptr;
    CtsxSobj Bag = nullptr;
    TJoints Joints;
    TBones Bones;
    std::int32_t SelectedBone = -1;
    TJoint* SelectedJoint = nullptr;
    TSkeleton* ParentSkeleton = nullptr;
    std::uint8_t Attached = 0;
    // Skinned meshes; only the root skeleton's list is used.
    std::unique_ptr<TSkinsObject> Skins;
    // Sub-division objects of the meshes, kept by the skeleton list's passes.
    std::vector<CtsxSobj> SubDivObjects;
    float SizeFactor = 1.0f;
    // Selection cache for the windows.
    TBone* SelCacheBone = nullptr;
    TJoint* SelCacheJoint = nullptr;
    CtsxVec3f SelCacheHead{};
    CtsxVec3f SelCacheTail{};
    std::uint8_t Recording = 1;
    // Set while a skeleton rebuilt from a load waits to be relinked.
    std::uint8_t Loaded = 0;
    std::vector<CtsxSobj> LoadedMarkers;
    std::vector<std::unique_ptr<TSkeletonState>> UndoStates;
    std::int32_t UndoIndex = -1;
    std::vector<std::unique_ptr<TSkeletonState>> PoseList;
    CtsxSobj PoseLibObject = nullptr;

    // ---- structure ----
    void AddToBag(CtsxSobj obj);
    std::int32_t AddJointObject(CtsxSobj obj);
    TBone* NewBone(TJoint* head, TJoint* tail);
    void NewJoint(bool withBone);
    void NewJointAndBone() { NewJoint(true); }
    void NewTeeBone();
    // Puts joint one bone's length on from the bone that uses from.
    void PlaceNewJoint(TJoint* joint, TJoint* from);
    void EnsurePoseLibObject();
    void BuildHierarchy();
    // The top skeleton reached through the attachments.
    TSkeleton* Root();
    void AttachTo(TSkeleton* parent);
    void RelinkInScene();
    void RelinkUnderRoot();

    // ---- selection ----
    void SetSelectedJoint(TJoint* j) { SelectedJoint = j; }
    void SelectObject(CtsxSobj obj);
    void UpdateSelectionCache();

    // ---- update ----
    // 128 passes of every bone's constraint and the floors; then targets are
    // re-read. Only positions change; nothing is written to the host.
    void Relax();
    void Update();
    // After the host applied keys (outside setup mode): the moved bones, the
    // bound objects and the joint sizes follow the joints where they stand,
    // and nothing relaxes, so a pose a frame change brings back comes back
    // bit for bit (relaxing again moves joints whose constraints conflict).
    void FollowJoints(const std::set<const TBone*>& moved);
    void Refresh();
    void RefreshAttached();
    void UpdateJointSizes();

    // ---- moves and host edits ----
    void TransformAll(const CtsxTxmx3f& m);
    void MoveJoint(TJoint* joint, const CtsxTxmx3f& m);
    // The host's move of obj; m becomes the identity when the rig took it.
    void ObjectMoved(CtsxSobj obj, CtsxTxmx3f& m);
    void ObjectDeleted(CtsxSobj obj);
    void TwistBone(TBone* bone, float angle);
    void TwistChanged(CtsxSobj obj, float time);
    void StiffChanged(CtsxSobj obj, float time);

    // ---- skins, defined with them in Skin.cpp ----
    void EnableSkin(CtsxSobj obj, TBone* bone);
    void RebindSkins();
    void DeformSkins(TSkeleton* root);
    void DeformRootSkins();

    // ---- states and undo, defined in SkeletonState.cpp ----
    // Joint positions are taken into the bag's space.
    std::unique_ptr<TSkeletonState> CaptureState(const std::string& name, bool moved,
                                                 bool withChildren);
    // CaptureState(name, moved, true) of every skeleton bound to one of the
    // bones, in bone order and child order.
    std::unique_ptr<TSkeletonStates> CaptureChildStates(const std::string& name, bool moved);
    void ApplyState(const TSkeletonState& state, bool moved, bool withChildren, bool noRefresh);
    // Only when states holds one state per directly attached skeleton.
    void ApplyChildStates(const TSkeletonStates& states, bool moved, bool noRefresh);
    void PushUndoState(const std::string& name, bool moved);
    void Undo();
    void Redo();
    void UndoAll();
    void RedoAll();
    void ApplyUndoState(bool moved);
    void ClearUndo();

    // ---- keys, defined in KeyRecording.cpp ----
    // Keys every joint and bone at the host's active time; an attached
    // skeleton's bag is keyed while the joints are and left with no key.
    void Record();
    // The bag's, joints' and bones' keys at time.
    void EraseKeys(float time);
    // Copies the keys at from to to (whole frames); the bag's only when
    // attached.
    void CopyKeys(std::int32_t from, std::int32_t to);

private:
    TJoint* NewJointAt(const CtsxVec3f& p);
    // The relinks' end: bones take their joints, joints their markers.
    void ResolveLoadedJoints();
};

} // namespace vel
