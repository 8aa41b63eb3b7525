#include "Attributes.h"

#include <cstring>
#include <limits>

#include "ServicesTestEnv.h"

namespace vel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, const void* data, std::size_t size) {
    if (b.size() < at + size) b.resize(at + size);
    std::memcpy(b.data() + at, data, size);
}
void PutI(Bytes& b, std::size_t at, std::int32_t v) {
    Put(b, at, &v, 4);
}
void PutF(Bytes& b, std::size_t at, float v) {
    Put(b, at, &v, 4);
}

class AttributesTest : public ServicesTest {
protected:
    void KeyAttribute(CtsxSobj obj, int attribute, float time, const void* value) {
        CtsxFrame f = tsxFrameCreate(attribute);
        ASSERT_NE(f, nullptr);
        tsxFrameSetData(f, value);
        tsxSobjInsertFrame(obj, f, 0, time);
    }
    static Bytes Written(int (*io)(void*, CtsxFILE, int), void* block) {
        CtsxFILE fd = tsxhost::OpenWriteFile();
        io(block, fd, 1);
        Bytes out = tsxhost::FileBytes(fd);
        tsxhost::CloseFile(fd);
        return out;
    }
    static int Read(int (*io)(void*, CtsxFILE, int), void* block, const Bytes& bytes) {
        CtsxFILE fd = tsxhost::OpenReadFile(bytes);
        const int answer = io(block, fd, 0);
        tsxhost::CloseFile(fd);
        return answer;
    }
};

TEST_F(AttributesTest, PlugInitCreatesTheAttributesAndTagsInOrder) {
    EXPECT_NE(TwistAttribute, 0);
    EXPECT_NE(StiffAttribute, 0);
    EXPECT_NE(TwistAttribute, StiffAttribute);
    EXPECT_NE(JointDataTag, 0);
    EXPECT_NE(JointData2Tag, 0);
    EXPECT_GT(StiffAttribute, TwistAttribute);
    EXPECT_GT(JointData2Tag, JointDataTag);
}

TEST_F(AttributesTest, JointData2IsWrittenByteForByte) {
    const CtsxSobj node = tsxhost::AddCube("J", 1);
    TJoint joint(node);
    joint.SetIndex(3);
    joint.SetStiff(0.5f);
    joint.SetFloorAnchor(CtsxVec3f{1, 2, 3});
    joint.AssignFlags(5);
    void* block = tsxSobjGetData(node, JointData2Tag);
    ASSERT_NE(block, nullptr);
    StoreJointData2(joint, *static_cast<TJointData2Block*>(block));

    Bytes expected(104, 0);
    PutI(expected, 0, 100);
    PutI(expected, 4 + 4, 3);
    PutF(expected, 4 + 20, 0.5f);
    PutF(expected, 4 + 24, 1);
    PutF(expected, 4 + 28, 2);
    PutF(expected, 4 + 32, 3);
    PutI(expected, 4 + 36, 5);
    EXPECT_EQ(Written(&JointData2FileIO, block), expected);
}

TEST_F(AttributesTest, AJointBlockWhoseWriteFellShortAnswersFailure) {
    const CtsxSobj node = tsxhost::AddCube("J", 1);
    void* block = tsxSobjCreateData(node, JointData2Tag);
    ASSERT_NE(block, nullptr);
    for (long nth : {1, 2}) { // the version, then the block
        tsxhost::SetFaults({{"tsxFILEwrite"}, nth, 0, 0});
        CtsxFILE fd = tsxhost::OpenWriteFile();
        EXPECT_EQ(JointData2FileIO(block, fd, 1), 0) << nth;
        EXPECT_EQ(tsxhost::FileBytes(fd).size(), nth == 1 ? 0u : 4u);
        tsxhost::CloseFile(fd);
    }
    tsxhost::SetFaults({{"tsxFILEwrite"}, 1, 0, 0});
    CtsxFILE fd = tsxhost::OpenWriteFile();
    EXPECT_EQ(JointDataFileIO(tsxSobjCreateData(node, JointDataTag), fd, 1), 0);
    tsxhost::CloseFile(fd);
    tsxhost::ClearFaults();
}

TEST_F(AttributesTest, JointData2ReadSkipsTheVersionAndBecomesAJoint) {
    Bytes bytes(104, 0xAB);
    PutI(bytes, 0, 7); // whatever the version says
    PutI(bytes, 4 + 4, 6);
    PutF(bytes, 4 + 20, 0.25f);
    PutF(bytes, 4 + 24, -1);
    PutF(bytes, 4 + 28, 0);
    PutF(bytes, 4 + 32, 4);
    PutI(bytes, 4 + 36, 16);
    const CtsxSobj target = tsxhost::AddCube("Loaded", 1);
    void* block = tsxSobjCreateData(target, JointData2Tag);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Read(&JointData2FileIO, block, bytes), 1);

    TJoint joint(tsxhost::AddCube("Other", 1));
    EXPECT_TRUE(LoadJointData2(target, joint));
    EXPECT_EQ(joint.Node, target);
    EXPECT_EQ(joint.Index(), 6);
    EXPECT_EQ(joint.Stiff(), 0.25f);
    EXPECT_VEC_NEAR(joint.FloorAnchor(), -1, 0, 4, 0);
    EXPECT_EQ(joint.Flags(), 16u);
}

TEST_F(AttributesTest, AJointWithOnlyTheOldBlockKeepsItsAnchorAndFlags) {
    const CtsxSobj old = tsxhost::AddCube("Old", 1);
    auto* block = static_cast<TJointDataBlock*>(tsxSobjCreateData(old, JointDataTag));
    ASSERT_NE(block, nullptr);
    block->Index = 4;
    block->Stiff = 0.125f;
    EXPECT_EQ(Written(&JointDataFileIO, block).size(), 20u);

    TJoint joint(tsxhost::AddCube("Other", 1));
    joint.SetFloorAnchor(CtsxVec3f{0, 0, 2});
    joint.AssignFlags(2);
    EXPECT_TRUE(LoadJointData(old, joint));
    EXPECT_EQ(joint.Node, old);
    EXPECT_EQ(joint.Index(), 4);
    EXPECT_EQ(joint.Stiff(), 0.125f);
    EXPECT_VEC_NEAR(joint.FloorAnchor(), 0, 0, 2, 0);
    EXPECT_EQ(joint.Flags(), 2u);
    EXPECT_TRUE(HasJointData(old));
    EXPECT_FALSE(HasJointData2(old));
    EXPECT_FALSE(LoadJointData2(old, joint));

    // With both blocks, the newer one (applied second) wins. The rebuild
    // relinks, so the setters leave the blocks alone meanwhile.
    RelinkingScene = true;
    auto* newer = static_cast<TJointData2Block*>(tsxSobjCreateData(old, JointData2Tag));
    newer->Index = 9;
    newer->Stiff = 0.75f;
    LoadJointData(old, joint);
    LoadJointData2(old, joint);
    EXPECT_EQ(joint.Index(), 9);
    EXPECT_EQ(joint.Stiff(), 0.75f);
}

TEST_F(AttributesTest, NonFiniteValuesReadFromAFileAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Bytes bytes(104, 0);
    PutI(bytes, 0, 100);
    PutI(bytes, 4 + 4, 2);
    PutF(bytes, 4 + 20, nan);
    PutF(bytes, 4 + 24, inf);
    const CtsxSobj obj = tsxhost::AddCube("Bad", 1);
    auto* block = static_cast<TJointData2Block*>(tsxSobjCreateData(obj, JointData2Tag));
    EXPECT_EQ(Read(&JointData2FileIO, block, bytes), 0);
    EXPECT_EQ(block->Index, 2);
    EXPECT_EQ(block->Stiff, 1.0f);
    EXPECT_VEC_NEAR(block->FloorAnchor, 0, 0, 0, 0);

    Bytes old(20, 0);
    PutF(old, 16, -inf);
    auto* oldBlock = static_cast<TJointDataBlock*>(tsxSobjCreateData(obj, JointDataTag));
    EXPECT_EQ(Read(&JointDataFileIO, oldBlock, old), 0);
    EXPECT_EQ(oldBlock->Stiff, 1.0f);

    // A block made some other way is applied without its non-finite values.
    TJoint joint(tsxhost::AddCube("Other", 1));
    joint.SetStiff(0.5f);
    TJointDataBlock raw{};
    raw.Index = 1;
    raw.Stiff = nan;
    ApplyJointData(raw, joint);
    EXPECT_EQ(joint.Stiff(), 0.5f);
    EXPECT_EQ(joint.Index(), 1);

    // A short record reads as much as there is and the rest as zeros.
    EXPECT_EQ(Read(&JointData2FileIO, block, Bytes(10, 0)), 0);
}

TEST_F(AttributesTest, NoBlockIsStoredWhileALoadedSceneIsRelinked) {
    const CtsxSobj node = tsxhost::AddCube("Walked", 1);
    RelinkingScene = true;
    TJoint joint(node);
    joint.SetStiff(0.2f);
    EXPECT_FALSE(HasJointData2(node));
    RelinkingScene = false;
    joint.SetStiff(0.3f);
    ASSERT_TRUE(HasJointData2(node));
    EXPECT_EQ(static_cast<TJointData2Block*>(tsxSobjGetData(node, JointData2Tag))->Stiff, 0.3f);
}

TEST_F(AttributesTest, ChangeCallbacksReachTheRigUnlessSettingAFrame) {
    TSkeleton* s = NewSkel();
    auto joints = Chain(s, {{0, 0, 0}, {2, 0, 0}});
    TBone* bone = s->Bones.Items(0);
    const float stiff = 0.25f;
    KeyAttribute(joints[1]->Node, StiffAttribute, 5, &stiff);
    const CtsxVec3f twist{0, 1, 0};
    KeyAttribute(bone->Node, TwistAttribute, 5, &twist);

    // Another attribute's handle, or the rig setting the frame: ignored.
    EXPECT_EQ(StiffAttrChanged(joints[1]->Node, TwistAttribute, 5), 0);
    EXPECT_EQ(TwistAttrChanged(bone->Node, StiffAttribute, 5), 0);
    SettingFrame = true;
    StiffAttrChanged(joints[1]->Node, StiffAttribute, 5);
    TwistAttrChanged(bone->Node, TwistAttribute, 5);
    SettingFrame = false;
    EXPECT_EQ(joints[1]->Stiff(), 1.0f);
    EXPECT_EQ(bone->TwistKeyed, 0);

    StiffAttrChanged(joints[1]->Node, StiffAttribute, 5);
    EXPECT_EQ(joints[1]->Stiff(), 0.25f);
    TwistAttrChanged(bone->Node, TwistAttribute, 5.7f);
    EXPECT_VEC_NEAR(bone->Twist, 0, 1, 0, 1e-6);
    EXPECT_EQ(bone->TwistKeyed, 1);

    // The host calls them itself when its time moves.
    joints[1]->SetStiff(1.0f);
    tsxhost::SetTime(5);
    EXPECT_EQ(joints[1]->Stiff(), 0.25f);
}

} // namespace
} // namespace vel
