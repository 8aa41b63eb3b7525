#include "FileIO.h"

#include "CoreTestEnv.h"
#include "Records.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "TsxHelper.h"

namespace vel {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FileIOTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        testing::ResetFileIOUnit();
        WireHandlers(true);
    }
    void TearDown() override {
        testing::ResetFileIOUnit();
        CoreTest::TearDown();
    }

    // The main form's read and write handlers, as the host reaches them.
    void WireHandlers(bool writeBones) {
        form->TsxBoneExtObj->OnReadBinary = &ReadBoneObject;
        form->TsxBoneExtObj->OnWriteBinary = writeBones ? TFileIOEvent(&WriteBoneObject) : nullptr;
        form->PoseLibExtObj->OnReadBinary = &ReadPoseLibObject;
        form->PoseLibExtObj->OnWriteBinary = &WritePoseLibObject;
    }

    static Bytes WriteWith(std::int32_t (*write)(CtsxSobj, CtsxFILE), CtsxSobj object,
                           std::int32_t* answer = nullptr) {
        CtsxFILE fd = tsxhost::OpenWriteFile();
        const std::int32_t a = write(object, fd);
        if (answer) *answer = a;
        Bytes bytes = tsxhost::FileBytes(fd);
        tsxhost::CloseFile(fd);
        return bytes;
    }

    static std::int32_t ReadWith(std::int32_t (*read)(CtsxSobj, CtsxFILE), CtsxSobj object,
                                 const Bytes& bytes) {
        CtsxFILE fd = tsxhost::OpenReadFile(bytes);
        const std::int32_t answer = read(object, fd);
        tsxhost::CloseFile(fd);
        return answer;
    }

    // A rig of two bones and a tee bone, a prop bound to the first bone, a
    // mesh skinned to the second, one pose and a size factor of 2.
    TSkeleton* BuildRig() {
        TSkeleton* s = NewSkel();
        std::vector<TJoint*> j = Chain(s, {{0, 0, 0}, {0, 2, 0}, {0, 4, 0}});
        j[1]->SetStiff(0.5f);
        s->SetSelectedJoint(j[2]);
        s->NewTeeBone();
        s->Bones.Items(0)->Attach(tsxhost::AddCube("Prop", 0.2f));
        CtsxSobj mesh = tsxhost::AddCube("Mesh", 0.5f);
        const CtsxVec3f at{0, 3, 0};
        tsxGNodeSetLocation(mesh, &at);
        s->Bones.Items(1)->Attach(mesh);
        s->EnableSkin(mesh, s->Bones.Items(1));
        s->PoseList.push_back(s->CaptureState("Pose A", false, false));
        s->SizeFactor = 2;
        s->UpdateJointSizes();
        return s;
    }

    // What the main form does when its scene-loaded timer fires.
    static void SceneLoaded() {
        DropFencedSkeletons();
        if (!HasPendingBones()) return;
        {
            TEditScope lock;
            ClearSkeletons();
            RebuildAfterSceneLoad();
        }
        RefreshAfterLoad();
    }
};

TEST_F(FileIOTest, PoseLibraryOfASkeletonWithoutPosesAndOfNoSkeleton) {
    TSkeleton* s = NewSkel();
    s->SizeFactor = 1.5f;
    const Bytes bytes = WriteWith(&WritePoseLibObject, s->PoseLibObject);
    const Bytes expected = [] {
        CtsxFILE fd = tsxhost::OpenWriteFile();
        TRecordWriter w(fd);
        for (std::uint32_t v : {101u, 0u, 100u, 0u})
            w.U32(v);
        w.F32(1.5f);
        Bytes b = tsxhost::FileBytes(fd);
        tsxhost::CloseFile(fd);
        return b;
    }();
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(ReadWith(&ReadPoseLibObject, s->PoseLibObject, bytes), 0);
    ASSERT_EQ(PoseHolders().size(), 1u);
    EXPECT_TRUE(PoseHolders()[0]->States.empty());
    EXPECT_FLOAT_EQ(PoseHolders()[0]->SizeFactor, 1.5f);

    // A pose-library object outside every bag writes nothing at all.
    CtsxSobj loose = NewPoseLibObject();
    std::int32_t answer = -1;
    EXPECT_TRUE(WriteWith(&WritePoseLibObject, loose, &answer).empty());
    EXPECT_EQ(answer, 0);
}

TEST_F(FileIOTest, RecordsWhoseWritesFellShortAnswerFailure) {
    TSkeleton* s = BuildRig();
    const CtsxSobj bone = s->Bones.Items(0)->Node;
    std::int32_t answer = 0;
    const std::size_t whole = WriteWith(&WriteBoneObject, bone, &answer).size();
    ASSERT_EQ(answer, 0);
    // A failure at any write of either record: nothing more goes out.
    for (long nth : {1L, 3L, 9L, 30L}) {
        tsxhost::SetFaults({{"tsxFILEwrite"}, nth, 0, 0});
        const Bytes part = WriteWith(&WriteBoneObject, bone, &answer);
        EXPECT_EQ(answer, kRecordNotWritten) << nth;
        EXPECT_LT(part.size(), whole);
        tsxhost::SetFaults({{"tsxFILEwrite"}, nth, 0, 0});
        WriteWith(&WritePoseLibObject, s->PoseLibObject, &answer);
        EXPECT_EQ(answer, kRecordNotWritten) << nth;
    }
    tsxhost::ClearFaults();
}

TEST_F(FileIOTest, Version100PoseLibraryLeavesTheSizeFactorAtOne) {
    TSkeleton* s = BuildRig();
    Bytes bytes = WriteWith(&WritePoseLibObject, s->PoseLibObject);
    bytes[0] = 100;
    bytes.resize(bytes.size() - 4);
    ASSERT_EQ(ReadWith(&ReadPoseLibObject, s->PoseLibObject, bytes), 0);
    ASSERT_EQ(PoseHolders().size(), 1u);
    EXPECT_EQ(PoseHolders()[0]->States.size(), 1u);
    s->Skins->List.clear();
    MovePoseHoldersToSkeletons();
    EXPECT_TRUE(PoseHolders().empty());
    EXPECT_FLOAT_EQ(s->SizeFactor, 1.0f);
    EXPECT_EQ(s->PoseList.size(), 2u);
    ASSERT_EQ(s->Skins->Count(), 1);
    EXPECT_EQ(GetNodeName(s->Skins->Items(0)->Object), "Mesh");
}

TEST_F(FileIOTest, DroppedRecordsQueueNothingAndLeaveNoObjects) {
    TSkeleton* s = BuildRig();
    const Bytes poses = WriteWith(&WritePoseLibObject, s->PoseLibObject);
    for (std::size_t n = 0; n < poses.size(); ++n) {
        const Bytes cut(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(ReadWith(&ReadPoseLibObject, s->PoseLibObject, cut), kRecordDropped) << n;
    }
    EXPECT_TRUE(PoseHolders().empty());
    // An empty record is what a library outside every skeleton left: no problem.
    ClearLoadProblems();
    ReadWith(&ReadPoseLibObject, s->PoseLibObject, Bytes{});
    EXPECT_TRUE(LoadProblems().empty());
    ReadWith(&ReadPoseLibObject, s->PoseLibObject, Bytes{101});
    EXPECT_EQ(LoadProblems().size(), 1u);

    TBone* tee = s->Bones.Items(2);
    const Bytes bones = WriteWith(&WriteBoneObject, tee->Node);
    const std::size_t nodes = tsxhost::SceneNodes().size();
    for (std::size_t n = 0; n < bones.size(); ++n) {
        const Bytes cut(bones.begin(), bones.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(ReadWith(&ReadBoneObject, tee->Node, cut), kRecordDropped) << n;
    }
    EXPECT_FALSE(HasPendingBones());
    EXPECT_EQ(tsxhost::SceneNodes().size(), nodes); // no stray "velBoneT" left

    std::int32_t answer = 0;
    EXPECT_TRUE(WriteWith(&WriteBoneObject, tsxhost::AddCube("NoBone", 1), &answer).empty());
    EXPECT_EQ(answer, kNoSuchBone);
}

TEST_F(FileIOTest, SavedSceneIsRebuiltAfterLoad) {
    TSkeleton* s = BuildRig();
    std::vector<CtsxVec3f> positions;
    for (auto& j : s->Joints.List)
        positions.push_back(j->Position);
    std::vector<std::pair<std::int32_t, std::int32_t>> ends;
    for (auto& b : s->Bones.List)
        ends.emplace_back(b->Head->Index(), b->Tail->Index());
    const Bytes scene = tsxhost::SaveSceneToBytes();

    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(scene, &error)) << error;
    EXPECT_TRUE(HasPendingBones());
    EXPECT_EQ(PoseHolders().size(), 1u);
    tsxhost::ResetStaleUses();
    SceneLoaded();
    EXPECT_EQ(tsxhost::StaleUses(), 0);
    EXPECT_TRUE(LoadProblems().empty());
    EXPECT_FALSE(HasPendingBones());

    ASSERT_EQ(SkeletonCount(), 1);
    TSkeleton* back = SkeletonByIndex(0);
    EXPECT_EQ(CurrentSkeleton, back);
    EXPECT_EQ(back->Loaded, 0);
    ASSERT_EQ(back->Joints.Count(), static_cast<std::int32_t>(positions.size()));
    for (std::int32_t i = 0; i < back->Joints.Count(); ++i) {
        EXPECT_EQ(back->Joints.Items(i)->Index(), i);
        EXPECT_LT(Distance(back->Joints.Items(i)->Position, positions[static_cast<std::size_t>(i)]),
                  1e-4f);
    }
    EXPECT_FLOAT_EQ(back->Joints.Items(1)->Stiff(), 0.5f);
    ASSERT_EQ(back->Bones.Count(), 3);
    int tees = 0;
    for (std::int32_t i = 0; i < 3; ++i) {
        TBone* b = back->Bones.Items(i);
        ASSERT_TRUE(b->Head && b->Tail);
        EXPECT_EQ(std::make_pair(b->Head->Index(), b->Tail->Index()),
                  ends[static_cast<std::size_t>(i)]);
        if (auto* t = dynamic_cast<TTeeBone*>(b)) {
            ++tees;
            EXPECT_NE(t->TeeJoint, nullptr);
            EXPECT_EQ(tsxGNodeGetParent(t->ExtraObject), back->Bag);
        }
    }
    EXPECT_EQ(tees, 1);
    ASSERT_EQ(back->Bones.Items(0)->ChildCount(), 1);
    EXPECT_EQ(GetNodeName(back->Bones.Items(0)->Children(0)->Object), "Prop");
    ASSERT_EQ(back->Bones.Items(1)->ChildCount(), 1);
    EXPECT_NE(back->Bones.Items(1)->SkinAreas(0), nullptr);
    ASSERT_EQ(back->Skins->Count(), 1);
    EXPECT_EQ(back->Skins->Items(0)->Object, back->Bones.Items(1)->Children(0)->Object);
    ASSERT_EQ(back->PoseList.size(), 1u);
    EXPECT_EQ(back->PoseList[0]->Name, "Pose A");
    EXPECT_FLOAT_EQ(back->SizeFactor, 2.0f);
    EXPECT_TRUE(IsNodeInScene(back->PoseLibObject));
    EXPECT_EQ(tsxGNodeGetParent(back->Bag), back->SkeletonObject);
}

// The user deletes a joint while the load waits for its rebuild: the bones
// on it go, the others keep their own joints, and the joints are numbered
// again so that the next save and reload bind the same ones.
TEST_F(FileIOTest, AJointDeletedBeforeTheRebuildTakesOnlyItsBones) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}, {0, 4, 0}});
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(tsxhost::SaveSceneToBytes(), &error)) << error;
    CtsxSobj gone = FindNodeByFullName("Skeleton/.BoneBag/Joint,1");
    ASSERT_NE(gone, nullptr);
    tsxhost::Delete(gone);
    SceneLoaded();
    ASSERT_EQ(SkeletonCount(), 1);
    TSkeleton* back = SkeletonByIndex(0);
    ASSERT_EQ(back->Joints.Count(), 4);
    for (std::int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back->Joints.Items(i)->Index(), i);
        EXPECT_FLOAT_EQ(back->Joints.Items(i)->Position.y, i == 0 ? 0.0f : static_cast<float>(i + 1));
    }
    ASSERT_EQ(back->Bones.Count(), 2);
    for (std::int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back->Bones.Items(i)->Head, back->Joints.Items(i + 1));
        EXPECT_EQ(back->Bones.Items(i)->Tail, back->Joints.Items(i + 2));
    }

    const Bytes saved = tsxhost::SaveSceneToBytes();
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(saved, &error)) << error;
    SceneLoaded();
    EXPECT_EQ(tsxhost::SaveSceneToBytes(), saved);
}

TEST_F(FileIOTest, SceneWithoutBoneRecordsBuildsNothingAndQueuesGoStaleSafely) {
    BuildRig();
    WireHandlers(false);
    const Bytes withoutBones = tsxhost::SaveSceneToBytes();
    WireHandlers(true);
    const Bytes withBones = tsxhost::SaveSceneToBytes();

    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(withoutBones, &error)) << error;
    const auto nodes = tsxhost::SceneNodes();
    SceneLoaded();
    EXPECT_EQ(SkeletonCount(), 0); // the old scene's skeleton went with it
    EXPECT_EQ(CurrentSkeleton, nullptr);
    EXPECT_FALSE(HasPendingBones());
    EXPECT_TRUE(LoadProblems().empty());
    EXPECT_EQ(tsxhost::SceneNodes(), nodes);
    EXPECT_EQ(PoseHolders().size(), 1u); // waits for a rebuild

    // The next load replaces that scene: the waiting holder and a bone
    // queued for it go with it at its close; the loaded scene's are queued.
    ReadWith(&ReadBoneObject, nodes.back(), Bytes{});
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(withBones, &error)) << error;
    ASSERT_EQ(PoseHolders().size(), 1u);
    ASSERT_EQ(PendingBones().size(), 3u); // two bones and a tee bone
    tsxhost::ResetStaleUses();
    SceneLoaded();
    EXPECT_EQ(tsxhost::StaleUses(), 0);
    ASSERT_EQ(SkeletonCount(), 1);
    EXPECT_EQ(SkeletonByIndex(0)->PoseList.size(), 1u);
    EXPECT_TRUE(PoseHolders().empty());
}

TEST_F(FileIOTest, JointDataInABagThatHadItsSkeletonMakesNoJoints) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    CtsxSobj stray = NewJointObject();
    s->AddToBag(stray);
    { TJoint carrier(stray); } // leaves its joint data on the object
    ASSERT_TRUE(HasJointData2(stray));
    const Bytes bone = WriteWith(&WriteBoneObject, s->Bones.Items(0)->Node);
    ASSERT_EQ(ReadWith(&ReadBoneObject, s->Bones.Items(0)->Node, bone), 0);
    RebuildAfterObjectLoad();
    EXPECT_EQ(LoadRelinkMode, 0);
    EXPECT_EQ(SkeletonCount(), 1);
    EXPECT_EQ(s->Joints.Count(), 2);
    EXPECT_EQ(s->Bones.Count(), 2);
}

TEST_F(FileIOTest, ReRecordSetupFramesKeysFrames0And1OnlyInSetupMode) {
    TSkeleton* s = NewSkel();
    std::vector<TJoint*> j = Chain(s, {{0, 0, 0}, {0, 1, 0}});
    editor.SetActiveFrame(5);
    ReRecordSetupFrames();
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
    EXPECT_EQ(tsxSobjGetFirstTime(j[0]->Node, TSX_KIND_LOCATION), -1);

    editor.SetActiveFrame(5);
    SetupMode = true;
    ReRecordSetupFrames();
    EXPECT_TRUE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
    EXPECT_FLOAT_EQ(tsxSobjGetFirstTime(j[0]->Node, TSX_KIND_LOCATION), 0);
    EXPECT_FLOAT_EQ(tsxSobjGetNextTime(j[0]->Node, TSX_KIND_LOCATION, 0), 1);
    EXPECT_FLOAT_EQ(tsxSobjGetNextTime(j[0]->Node, TSX_KIND_LOCATION, 1), -1);
}

} // namespace
} // namespace vel
