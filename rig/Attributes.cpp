#include "Attributes.h"

#include <cmath>
#include <cstring>

#include "Joint.h"
#include "SkelMgr.h"
#include "Switchboard.h"
#include "TsxHelper.h"
#include "TsxPlug.h"

namespace vel {

std::int32_t TwistAttribute = 0;
std::int32_t StiffAttribute = 0;
std::int32_t JointDataTag = 0;
std::int32_t JointData2Tag = 0;
bool RelinkingScene = false;

namespace {

constexpr int kDataTableVersion = 3;
constexpr int kJointDataSize = sizeof(TJointDataBlock);
constexpr int kJointData2Size = sizeof(TJointData2Block);

const std::int16_t TwistTypeCodes[3] = {TSX_ATTR_FLOAT, TSX_ATTR_FLOAT, TSX_ATTR_FLOAT};
const std::int16_t StiffTypeCodes[1] = {TSX_ATTR_FLOAT};

tsxAttrCallbacks TwistAttrCallbacks{};
tsxAttrCallbacks StiffAttrCallbacks{};
tsxDataDefinition JointDataDefinition{kDataTableVersion, 0, &JointDataCopy, &JointDataFileIO};
tsxDataDefinition JointData2Definition{kDataTableVersion, 0, &JointData2Copy, &JointData2FileIO};

void* BlockOf(CtsxSobj object, std::int32_t tag) {
    if (!object || tag == 0) return nullptr;
    return tsxSobjGetData(object, tag);
}

} // namespace

// ---- start-up ----

void InitTwistAttrCallbacks() {
    TwistAttrCallbacks =
        tsxAttrCallbacks{0, 0, &TwistAttrStub1, &TwistAttrStub2, &TwistAttrChanged};
}

void InitStiffAttrCallbacks() {
    StiffAttrCallbacks =
        tsxAttrCallbacks{0, 0, &StiffAttrStub1, &StiffAttrStub2, &StiffAttrChanged};
}

void CreateTwistAttribute() {
    InitTwistAttrCallbacks();
    TwistAttribute =
        tsxAnimCreateAttribute(PluginId(), kTwistAttributeName, &TwistAttrCallbacks,
                               sizeof(CtsxVec3f), TwistTypeCodes, sizeof TwistTypeCodes);
}

void CreateStiffAttribute() {
    InitStiffAttrCallbacks();
    StiffAttribute = tsxAnimCreateAttribute(PluginId(), kStiffAttributeName, &StiffAttrCallbacks,
                                            sizeof(float), StiffTypeCodes, sizeof StiffTypeCodes);
}

void DefineJointData() {
    JointDataTag =
        tsxDataDefine(PluginId(), kJointDataTagName, &JointDataDefinition, kJointDataSize);
}

void DefineJointData2() {
    JointData2Tag =
        tsxDataDefine(PluginId(), kJointData2TagName, &JointData2Definition, kJointData2Size);
}

// ---- host callbacks ----

int TwistAttrStub1() {
    return 0;
}
int TwistAttrStub2() {
    return 0;
}
int StiffAttrStub1() {
    return 0;
}
int StiffAttrStub2() {
    return 0;
}

namespace {

// A change of one of our attributes that the frame setting did not make goes
// out to the skeletons; nothing may escape into the host.
int RelayAttrChange(int attribute, int ours, void (*broadcast)(CtsxSobj, float), const char* where,
                    CtsxSobj object, float time) {
    if (SettingFrame || attribute != ours || ours == 0) return 0;
    try {
        const auto in = EnterRig();
        broadcast(object, time);
    } catch (...) {
        ReportEscaped(where);
    }
    return 0;
}

} // namespace

int TwistAttrChanged(CtsxSobj object, int attribute, float time) {
    return RelayAttrChange(attribute, TwistAttribute, BroadcastTwistChanged, "TwistAttrChanged",
                           object, time);
}

int StiffAttrChanged(CtsxSobj object, int attribute, float time) {
    return RelayAttrChange(attribute, StiffAttribute, BroadcastStiffChanged, "StiffAttrChanged",
                           object, time);
}

int JointDataCopy(void* source, void* target) {
    if (source && target) std::memmove(target, source, kJointDataSize);
    return 0;
}

int JointData2Copy(void* source, void* target) {
    if (source && target) std::memmove(target, source, kJointData2Size);
    return 0;
}

int JointDataFileIO(void* block, CtsxFILE fd, int mode) {
    if (!block) return 0;
    if (mode == 1) return tsxFILEwrite(block, kJointDataSize, 1, fd);
    if (mode != 0) return 0;
    TJointDataBlock read{};
    int answer = tsxFILEread(&read, kJointDataSize, 1, fd);
    if (!std::isfinite(read.Stiff)) {
        read.Stiff = 1.0f;
        answer = 0;
    }
    std::memcpy(block, &read, kJointDataSize);
    return answer;
}

int JointData2FileIO(void* block, CtsxFILE fd, int mode) {
    if (!block) return 0;
    if (mode == 1) {
        // Half a record is no record: a failed version write fails the block.
        const std::int32_t version = kJointData2Version;
        if (tsxFILEwrite(&version, sizeof version, 1, fd) != 1) return 0;
        return tsxFILEwrite(block, kJointData2Size, 1, fd);
    }
    if (mode != 0) return 0;
    std::int32_t version = 0; // whatever it holds, the block follows
    tsxFILEread(&version, sizeof version, 1, fd);
    TJointData2Block read{};
    int answer = tsxFILEread(&read, kJointData2Size, 1, fd);
    if (!std::isfinite(read.Stiff)) {
        read.Stiff = 1.0f;
        answer = 0;
    }
    if (!IsFinite(read.FloorAnchor)) {
        read.FloorAnchor = CtsxVec3f{0, 0, 0};
        answer = 0;
    }
    std::memcpy(block, &read, kJointData2Size);
    return answer;
}

// ---- joint translation ----

bool HasJointData(CtsxSobj object) {
    return BlockOf(object, JointDataTag) != nullptr;
}

bool HasJointData2(CtsxSobj object) {
    return BlockOf(object, JointData2Tag) != nullptr;
}

void ApplyJointData(const TJointDataBlock& block, TJoint& joint) {
    joint.SetIndex(block.Index);
    if (std::isfinite(block.Stiff)) joint.SetStiff(block.Stiff);
}

void ApplyJointData2(const TJointData2Block& block, TJoint& joint) {
    joint.SetIndex(block.Index);
    if (std::isfinite(block.Stiff)) joint.SetStiff(block.Stiff);
    if (IsFinite(block.FloorAnchor)) joint.SetFloorAnchor(block.FloorAnchor);
    joint.AssignFlags(static_cast<std::uint32_t>(block.Flags));
}

namespace {

// The joint takes the object as its node whether or not it carries the block.
template <class TBlock>
bool LoadBlock(CtsxSobj object, std::int32_t tag, TJoint& joint,
               void (*apply)(const TBlock&, TJoint&)) {
    const void* data = BlockOf(object, tag);
    if (data) {
        TBlock block;
        std::memcpy(&block, data, sizeof block);
        apply(block, joint);
    }
    joint.Node = object;
    return data != nullptr;
}

} // namespace

bool LoadJointData(CtsxSobj object, TJoint& joint) {
    return LoadBlock<TJointDataBlock>(object, JointDataTag, joint, ApplyJointData);
}

bool LoadJointData2(CtsxSobj object, TJoint& joint) {
    return LoadBlock<TJointData2Block>(object, JointData2Tag, joint, ApplyJointData2);
}

void StoreJointData2(const TJoint& joint, TJointData2Block& block) {
    block.Index = joint.Index();
    block.Stiff = joint.Stiff();
    block.FloorAnchor = joint.FloorAnchor();
    block.Flags = static_cast<std::int32_t>(joint.Flags());
}

void SaveJointData2(CtsxSobj object, const TJoint& joint) {
    if (RelinkingScene || !object || JointData2Tag == 0) return;
    void* data = tsxSobjGetData(object, JointData2Tag);
    if (!data) data = tsxSobjCreateData(object, JointData2Tag);
    if (!data) return;
    TJointData2Block block;
    std::memcpy(&block, data, sizeof block);
    StoreJointData2(joint, block);
    std::memcpy(data, &block, sizeof block);
}

namespace testing {

void ResetAttributesUnit() {
    TwistAttribute = 0;
    StiffAttribute = 0;
    JointDataTag = 0;
    JointData2Tag = 0;
    RelinkingScene = false;
}

} // namespace testing

} // namespace vel
