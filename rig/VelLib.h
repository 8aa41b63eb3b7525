#pragma once
// The functions scripts and other plug-ins call by name to drive the rig.
// Skeletons, bones and bound objects are named by their host objects: a
// skeleton by its "Skeleton" group, a bone by its bone object. Nothing here
// throws to the caller: a missing object answers 0, 0 (False) or nothing, and
// a null pointer argument or a non-finite number makes the call do nothing.
// Boolean results are 0 or 1; a Boolean argument is true when its byte is not
// 0.
#include <cstdint>

#include "TsxPlug.h"
#include "tsxapi.h"

// ---- frames and recording ----
// Goes to frame with every skeleton keeping its current pose.
VEL_EXPORT void velSetRecordFrame(float frame);
VEL_EXPORT void velSetActiveFrame(float frame);
// The shuttle's record command; nothing before the tool window exists.
VEL_EXPORT void velRecord(void);

// ---- skeletons ----
VEL_EXPORT void velNewSkeleton(void);
VEL_EXPORT void velClearSkeletons(void);
VEL_EXPORT int velSelectSkeleton(CtsxSobj skeleton);
VEL_EXPORT CtsxSobj velGetFirstSkeleton(void);
VEL_EXPORT CtsxSobj velGetNextSkeleton(CtsxSobj skeleton);
VEL_EXPORT CtsxSobj velGetFirstBone(CtsxSobj skeleton);
VEL_EXPORT CtsxSobj velGetNextBone(CtsxSobj skeleton, CtsxSobj bone);

// ---- modes ----
VEL_EXPORT int velIsSetupMode(void);
// Switch the tool window's page; nothing before the tool window exists.
VEL_EXPORT void velSetupMode(void);
VEL_EXPORT void velAnimateMode(void);
VEL_EXPORT int velSkeletonGetRecording(CtsxSobj skeleton);
VEL_EXPORT void velSkeletonSetRecording(CtsxSobj skeleton, std::uint8_t recording);

// ---- bones ----
// matrix is in the space of the bone object's parent; a length above 0
// becomes the bone's rest length. Runs no update: call velRefreshSkeletons.
VEL_EXPORT void velSetBoneMatrix(CtsxSobj bone, const CtsxTxmx3f* matrix, float length);
// Either pointer may be null to skip that answer.
VEL_EXPORT void velGetBoneMatrix(CtsxSobj bone, CtsxTxmx3f* matrix, float* length);
VEL_EXPORT void velRefreshSkeletons(void);

// ---- bound objects and their skins ----
VEL_EXPORT CtsxSobj velGetFirstChild(CtsxSobj bone);
// *child := the object bound after *child; 0 and *child unchanged at the end.
VEL_EXPORT int velGetNextChild(CtsxSobj bone, CtsxSobj* child);
VEL_EXPORT std::int32_t velGetChildSkinCount(CtsxSobj bone, CtsxSobj child);
// Fills velGetChildSkinCount entries of each array, in the skin area's order.
VEL_EXPORT void velGetChildVertexWeights(CtsxSobj bone, CtsxSobj child, std::int32_t* indexes,
                                         float* weights);

namespace vel {

class TBone;

// The index of the first child of bone bound to object, -1 when none.
std::int32_t ChildIndexOf(const TBone& bone, CtsxSobj object);

} // namespace vel
