#pragma once
// The list of all skeletons of the scene and the operations that act on
// every skeleton at once: creating and deleting skeletons, finding the
// skeleton of a host object, following the host's selection, updating,
// recording, showing, saving and restoring poses around a frame change, and
// the sub-division passes.
#include <cstdint>
#include <memory>
#include <vector>

#include "tsxapi.h"

namespace vel {

class TSkeleton;

// Owns every skeleton from its creation until it is deleted or the list is
// cleared; the list itself is never destroyed.
class TSkeletonList {
public:
    TSkeletonList();
    ~TSkeletonList();
    TSkeletonList(const TSkeletonList&) = delete;
    TSkeletonList& operator=(const TSkeletonList&) = delete;

    std::vector<std::unique_ptr<TSkeleton>> List;

    std::int32_t Count() const { return static_cast<std::int32_t>(List.size()); }
    TSkeleton* Items(std::int32_t i) const; // none out of range
    std::int32_t IndexOf(const TSkeleton* skeleton) const;
    void Add(std::unique_ptr<TSkeleton> skeleton);
    // Takes the skeleton out and hands it back; none when not listed.
    std::unique_ptr<TSkeleton> Extract(TSkeleton* skeleton);
};

// The one list, made by the unit's initialization (or on first use).
TSkeletonList& SkeletonList();

extern bool OptAutoSelect;

void InitializeSkelMgrUnit();
// After the forms are gone: frees the saved states and the skeletons (their
// host objects stay).
void FinalizeSkelMgrUnit();

// ---- creation and look-up ----
TSkeleton* CreateSkeletonForBag(CtsxSobj node);
void NewSkeleton();
void ClearSkeletons();
void SetCurrentSkeleton(TSkeleton* skeleton);
std::int32_t SkeletonCount();
TSkeleton* SkeletonByIndex(std::int32_t i);
bool FindSkeletonByObject(CtsxSobj object, TSkeleton*& skeleton);
bool FindSkeletonByBag(CtsxSobj node, TSkeleton*& skeleton);
bool FindSkeletonByJointNode(CtsxSobj node, TSkeleton*& skeleton, std::int32_t& jointIndex);
bool FindSkeletonByBoneNode(CtsxSobj node, TSkeleton*& skeleton, std::int32_t& boneIndex);
bool FindSkeletonOfBagChild(CtsxSobj node, TSkeleton*& skeleton);
void DeleteSkeleton(TSkeleton* skeleton);
void HandleObjectDestroyed(CtsxSobj object);

// ---- the host closes its scene ----
// Every skeleton leaves the list at once, and there is no current skeleton:
// what was made for the closed scene names objects that went (or, on a host
// that reuses handles, the next scene's objects), so no broadcast, look-up,
// export or window may reach it again. The skeletons are kept, out of reach,
// until the rebuild after the load frees them: a caller up the stack may
// still hold one.
void FenceSkeletonsAtSceneClose();
// Frees the fenced skeletons; answers how many went.
std::int32_t DropFencedSkeletons();
std::int32_t FencedSkeletonCount();

// ---- selection ----
void SyncCurrentSkeletonToObject(CtsxSobj object, bool allowRedirect);

// ---- broadcasts over all skeletons, in list order ----
void RelinkAllInScene();
void RelinkAllUnderRoot();
void BuildAllHierarchies();
void UpdateAllSkeletons();
void RebindAllSkins();
// After a load: only the skins whose mesh has another number of vertices than
// they were bound with bind again (with the areas on them); the others keep
// the binding the scene stored, bit for bit (binding takes the mesh as it
// stands, its last deformation rounded, for the rest shape).
void RebindChangedSkins();
void ShowAllJoints(bool show);
void BroadcastTwistChanged(CtsxSobj object, float time);
void BroadcastStiffChanged(CtsxSobj object, float time);
void RecordAllSkeletons();
void StoreRestPoseAll();
void RebuildAllSubDivSkins();
void ShowAllSkeletons(bool show);
void ShowCurrentSkeletonOnly();

// ---- the current skeleton's family ----
// The skeletons attached below the base, then the base (the current skeleton
// when currentOnly, else its root); empty without a current skeleton.
std::vector<TSkeleton*> CurrentSkeletonFamily(bool currentOnly);
// The members a record or erase acts on: all with force or currentOnly, else
// those whose Recording flag is set.
std::vector<TSkeleton*> RecordTargets(bool force, bool currentOnly);
void RecordCurrentSkeleton(bool force, bool currentOnly);
void EraseCurrentSkeletonFrame(bool force, bool currentOnly, float time);
void ResetAttachedUndo();

// ---- frame changes ----
void SaveAllSkeletonStates();
// Applies only when the number of skeletons is unchanged; the saved states
// are freed in every case.
void RestoreAllSkeletonStates();
std::int32_t SavedStateCount();
void RecordRestFrames();
// Goes to frame 0 (through the frame controller, the keys' notifications
// under the edit lock) and makes each skeleton whose joints or rolls the keys
// moved follow them there (FollowJoints with the bones whose placing moved,
// then its family's skins); the other bones and skeletons and the scene
// around them stay bit for bit as they are. Nothing is left
// for the next draw: the frame is in line. A load and a save do this.
void SettleAtFrameZero();

// ---- sub-division passes ----
void ExtractAllControlMeshes();
void MakeAllSubDivs();

namespace testing {
// Frees every skeleton and saved state; OptAutoSelect back to False.
void ResetSkelMgrUnit();
} // namespace testing

} // namespace vel
