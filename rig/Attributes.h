#pragma once
// What the rig keeps in the host besides its extension objects: the animated
// attributes "Twist" (bone objects) and "Stiff" (joint objects), and the
// per-object data blocks "Vel_j_0" (read only, an old form) and "Vel_j_1"
// that carry a joint's index, Stiff, floor anchor and flags.
#include <cstddef>
#include <cstdint>

#include "tsxapi.h"

namespace vel {

class TJoint;

inline constexpr const char* kTwistAttributeName = "Twist";
inline constexpr const char* kStiffAttributeName = "Stiff";
inline constexpr const char* kJointDataTagName = "Vel_j_0";
inline constexpr const char* kJointData2TagName = "Vel_j_1";

// Handles the host answered (0 until created or defined).
extern std::int32_t TwistAttribute;
extern std::int32_t StiffAttribute;
extern std::int32_t JointDataTag;
extern std::int32_t JointData2Tag;

// Set while a loaded scene is relinked: joint changes then store no block.
extern bool RelinkingScene;

// "Vel_j_0": stored in the host file as the raw 20 bytes.
struct TJointDataBlock {
    std::int32_t Index;
    std::uint8_t Unused[12];
    float Stiff;
};
static_assert(sizeof(TJointDataBlock) == 20, "Vel_j_0 layout");

// "Vel_j_1": stored as int32 100, then the 100 bytes.
struct TJointData2Block {
    std::uint8_t Unused0[4];
    std::int32_t Index;
    std::uint8_t Unused1[12];
    float Stiff;
    CtsxVec3f FloorAnchor;
    std::int32_t Flags;
    std::uint8_t Unused2[60];
};
static_assert(sizeof(TJointData2Block) == 100, "Vel_j_1 layout");
static_assert(offsetof(TJointData2Block, Index) == 4 && offsetof(TJointData2Block, Stiff) == 20 &&
                  offsetof(TJointData2Block, FloorAnchor) == 24 &&
                  offsetof(TJointData2Block, Flags) == 36,
              "Vel_j_1 layout");

inline constexpr std::int32_t kJointData2Version = 100;

// ---- start-up (each with the plug-in number) ----
void InitTwistAttrCallbacks();
void InitStiffAttrCallbacks();
void CreateTwistAttribute();
void CreateStiffAttribute();
void DefineJointData();
void DefineJointData2();

// ---- host callbacks ----
int TwistAttrStub1();
int TwistAttrStub2();
int StiffAttrStub1();
int StiffAttrStub2();
// Ignored while SettingFrame is set or for another attribute; answer 0.
int TwistAttrChanged(CtsxSobj object, int attribute, float time);
int StiffAttrChanged(CtsxSobj object, int attribute, float time);
int JointDataCopy(void* source, void* target);
int JointData2Copy(void* source, void* target);
// mode 0 read, 1 write, others nothing; answer the host call's answer (a
// write whose version fell short writes nothing more and answers 0). A read
// that brings a non-finite Stiff or anchor refuses those values (the joint's
// defaults stand in) and answers 0.
int JointDataFileIO(void* block, CtsxFILE fd, int mode);
int JointData2FileIO(void* block, CtsxFILE fd, int mode);

// ---- joint translation ----
bool HasJointData(CtsxSobj object);
bool HasJointData2(CtsxSobj object);
// Non-finite values in a block are skipped.
void ApplyJointData(const TJointDataBlock& block, TJoint& joint);
void ApplyJointData2(const TJointData2Block& block, TJoint& joint);
// The joint's node becomes object; answer whether a block was there.
bool LoadJointData(CtsxSobj object, TJoint& joint);
bool LoadJointData2(CtsxSobj object, TJoint& joint);
void StoreJointData2(const TJoint& joint, TJointData2Block& block);
// Mirrors the joint into the object's "Vel_j_1" block, creating it when
// missing; nothing while RelinkingScene.
void SaveJointData2(CtsxSobj object, const TJoint& joint);

namespace testing {
void ResetAttributesUnit();
}

} // namespace vel
