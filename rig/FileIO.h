#pragma once
// What the main form's file handlers call when the host saves or loads a
// scene. While the host reads a file nothing can be linked yet, so the readers
// only queue what they read: bones in the pending-bone list, pose libraries in
// pose holders. When the host has finished, the rebuild turns the queues and
// the joint objects' custom data back into skeletons.
//
// The main form's part, on its scene-loaded timer (objects-loaded likewise,
// with RebuildAfterObjectLoad and no ClearSkeletons):
//   DropFencedSkeletons();   // those of the scene the host closed
//   if (!HasPendingBones()) return;
//   no tool window yet: the editor is to open it on its animate page;
//   ActivatePlugin();
//   { TEditScope lock; ClearSkeletons(); RebuildAfterSceneLoad(); }
//   RefreshAfterLoad();
//   then delete the queued helper objects that are still scene objects.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tsxapi.h"

namespace vel {

class TBone;
class TSkeleton;
class TSkeletonState;
class TSkinsObject;

// A pose library read from a file, waiting for its skeleton.
class TPoseHolder {
public:
    TPoseHolder();
    ~TPoseHolder();
    TPoseHolder(const TPoseHolder&) = delete;
    TPoseHolder& operator=(const TPoseHolder&) = delete;

    CtsxSobj PoseLibObject = nullptr;
    std::vector<std::unique_ptr<TSkeletonState>> States;
    std::unique_ptr<TSkinsObject> Skins;
    float SizeFactor = 1.0f;

    // The skeleton takes the pose-library object and the states, in order.
    void MovePosesTo(TSkeleton& skeleton);
    // The held skins are resolved (by scene index after a scene load, under
    // the skeleton's root otherwise) and replace the skeleton's.
    void MoveSkinsTo(TSkeleton& skeleton);
};

// Pose-library record versions.
inline constexpr std::uint32_t kPoseLibVersion = 101;
inline constexpr std::uint32_t kPoseLibVersionNoSize = 100;

// A bone object that belongs to no skeleton answers this to a write request.
inline constexpr std::int32_t kNoSuchBone = -14;
// Answered for a record that was refused and dropped.
inline constexpr std::int32_t kRecordDropped = -1;
// Answered when the host took less than the whole record: the save failed.
inline constexpr std::int32_t kRecordNotWritten = -2;

// 1 when a whole scene was loaded, 0 when objects were merged into it.
extern std::int32_t LoadRelinkMode;

// Owned by the lists until a rebuild hands them over.
std::vector<std::unique_ptr<TBone>>& PendingBones();
std::vector<std::unique_ptr<TPoseHolder>>& PoseHolders();

// ---- the main form's read and write handlers ----
// The bone of object in any skeleton writes its record: 0, kRecordNotWritten
// when a write fell short, else kNoSuchBone and nothing written.
std::int32_t WriteBoneObject(CtsxSobj object, CtsxFILE fd);
// A new bone for object reads its record and is queued: 0, or kRecordDropped
// when the record was cut short or refused (nothing is queued).
std::int32_t ReadBoneObject(CtsxSobj object, CtsxFILE fd);
// The poses, skins and size factor of the skeleton whose bag holds object;
// nothing without one. Answers 0, or kRecordNotWritten when a write fell
// short.
std::int32_t WritePoseLibObject(CtsxSobj object, CtsxFILE fd);
// A new holder for object reads the record and is queued: 0, or
// kRecordDropped as for bones.
std::int32_t ReadPoseLibObject(CtsxSobj object, CtsxFILE fd);

bool HasPendingBones();

// ---- after the host has read the file ----
void RebuildAfterSceneLoad();
void RebuildAfterObjectLoad();
// Pending bones join their bag's skeleton (a new, loaded one when the bag has
// none); then the joint objects of loaded skeletons become joints.
void RelinkSceneObjects();
void AttachLoadedBones();
void MovePoseHoldersToSkeletons();
// Frame 0 (SettleAtFrameZero: only skeletons its keys move follow them, and
// nothing relaxes), skins whose mesh changed bound again, every skeleton
// regrouped, views redrawn; setup mode is off meanwhile and comes back as it
// was. A scene saved at frame 0 comes back bit for bit.
void RefreshAfterLoad();
// The host's general event 6 (before a save): in setup mode the rest frames
// 0 and 1 are recorded again; in every case the host ends on frame 0 with
// the skeletons its keys moved there in line (SettleAtFrameZero).
void ReRecordSetupFrames();
// The host closes its scene: the bones and pose libraries read for it and
// not yet rebuilt go with it.
void DropLoadQueues();

// Why records were dropped, refused in part or skipped since the last clear,
// one line each.
const std::vector<std::string>& LoadProblems();
void ClearLoadProblems();

// Unload, after the forms: frees both queues and the problems.
void FinalizeFileIOUnit();

namespace testing {
// Empties both queues and the problems; LoadRelinkMode back to 1.
void ResetFileIOUnit();
} // namespace testing

} // namespace vel
