#include "SkelMgr.h"

#include "ServicesTestEnv.h"
#include "SkeletonState.h"
#include "TsxHelper.h"

namespace vel {
namespace {

class SkelMgrTest : public ServicesTest {
protected:
    // A skeleton with n joints in a row along x.
    TSkeleton* SkelWithJoints(int n) {
        TSkeleton* s = NewSkel();
        for (int i = 0; i < n; ++i)
            JointAt(s, static_cast<float>(i), 0, 0);
        return s;
    }
    static CtsxSobj Selected() { return tsxGetCurrentSelection(); }
};

TEST_F(SkelMgrTest, FindsSkeletonsByTheirObjects) {
    TSkeleton* a = NewSkel();
    const auto ja = Chain(a, {{0, 0, 0}, {1, 0, 0}});
    TSkeleton* b = NewSkel();
    const auto jb = Chain(b, {{0, 2, 0}, {1, 2, 0}, {2, 2, 0}});
    ASSERT_EQ(SkeletonCount(), 2);
    EXPECT_EQ(SkeletonByIndex(0), a);
    EXPECT_EQ(SkeletonByIndex(1), b);
    EXPECT_EQ(SkeletonByIndex(2), nullptr);
    EXPECT_EQ(SkeletonByIndex(-1), nullptr);

    TSkeleton* found = nullptr;
    std::int32_t index = -1;
    EXPECT_TRUE(FindSkeletonByObject(b->SkeletonObject, found));
    EXPECT_EQ(found, b);
    EXPECT_TRUE(FindSkeletonByBag(a->Bag, found));
    EXPECT_EQ(found, a);
    EXPECT_FALSE(FindSkeletonByBag(a->SkeletonObject, found));
    EXPECT_EQ(found, nullptr);
    EXPECT_TRUE(FindSkeletonByJointNode(jb[2]->Node, found, index));
    EXPECT_EQ(found, b);
    EXPECT_EQ(index, 2);
    EXPECT_TRUE(FindSkeletonByBoneNode(b->Bones.Items(1)->Node, found, index));
    EXPECT_EQ(found, b);
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(FindSkeletonOfBagChild(ja[1]->Node, found));
    EXPECT_EQ(found, a);

    const CtsxSobj stranger = tsxhost::AddCube("Stranger", 1);
    EXPECT_FALSE(FindSkeletonByObject(stranger, found));
    EXPECT_FALSE(FindSkeletonByJointNode(stranger, found, index));
    EXPECT_EQ(index, -1);
    EXPECT_FALSE(FindSkeletonByBoneNode(stranger, found, index));
    EXPECT_FALSE(FindSkeletonOfBagChild(stranger, found));
    EXPECT_FALSE(FindSkeletonByObject(nullptr, found));
}

TEST_F(SkelMgrTest, NewSkeletonBuildsItsGroupsAndBecomesCurrentWithARestPose) {
    TSkeleton* s = NewSkel();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(GetNodeFullName(s->SkeletonObject), "Skeleton");
    EXPECT_EQ(GetNodeFullName(s->Bag), "Skeleton/.BoneBag");
    EXPECT_NE(s->PoseLibObject, nullptr);
    EXPECT_TRUE(MainForm->TsObjectEvents->Watches(s->Bag));
    ASSERT_EQ(s->UndoStates.size(), 1u);
    EXPECT_EQ(s->UndoStates[0]->Name, "Rest Pose");
    EXPECT_EQ(s->UndoIndex, 0);

    // The host makes no skeleton object: no skeleton without a bag.
    TTsxExtObj* type = MainForm->SkeletonExtObj;
    MainForm->SkeletonExtObj = nullptr;
    NewSkeleton();
    MainForm->SkeletonExtObj = type;
    EXPECT_EQ(CurrentSkeleton, nullptr);
    EXPECT_EQ(SkeletonCount(), 1);
}

TEST_F(SkelMgrTest, BroadcastsReachEverySkeleton) {
    TSkeleton* a = SkelWithJoints(2);
    TSkeleton* b = SkelWithJoints(1);
    SetCurrentSkeleton(a);
    ShowCurrentSkeletonOnly();
    EXPECT_EQ(tsxMNodeIsVisible(a->Bag), 1);
    EXPECT_EQ(tsxMNodeIsVisible(b->Bag), 0);
    SetCurrentSkeleton(nullptr);
    ShowCurrentSkeletonOnly();
    EXPECT_EQ(tsxMNodeIsVisible(a->Bag), 0);

    a->PushUndoState("Joint Moved", false);
    StoreRestPoseAll();
    for (TSkeleton* s : {a, b}) {
        ASSERT_EQ(s->UndoStates.size(), 1u);
        EXPECT_EQ(s->UndoStates[0]->Name, "Rest Pose");
        EXPECT_EQ(s->UndoIndex, 0);
    }
}

TEST_F(SkelMgrTest, HostSelectionMakesTheOwningSkeletonCurrent) {
    TSkeleton* a = SkelWithJoints(2);
    TSkeleton* b = SkelWithJoints(2);
    ASSERT_EQ(CurrentSkeleton, b);
    tsxhost::Select(a->Joints.Items(1)->Node);
    EXPECT_EQ(CurrentSkeleton, a);
    EXPECT_EQ(a->SelectedJoint, a->Joints.Items(1));
    tsxhost::Select(b->Bag);
    EXPECT_EQ(CurrentSkeleton, b);
    // An object of no skeleton leaves the current one.
    tsxhost::Select(tsxhost::AddCube("Loose", 1));
    EXPECT_EQ(CurrentSkeleton, b);
    // While the rig edits, the host's selection events are not its own.
    BeginEdit();
    tsxhost::Select(a->SkeletonObject);
    EndEdit();
    EXPECT_EQ(CurrentSkeleton, b);
}

TEST_F(SkelMgrTest, SelectingASkeletonGroupRedirectsToAJoint) {
    OptAutoSelect = true;
    TSkeleton* one = SkelWithJoints(1);
    TSkeleton* three = SkelWithJoints(3);
    TSkeleton* none = SkelWithJoints(0);

    tsxhost::Select(one->SkeletonObject);
    EXPECT_EQ(CurrentSkeleton, one); // at once, before the message comes
    EXPECT_EQ(Selected(), one->SkeletonObject);
    fw::ProcessMessages();
    EXPECT_EQ(Selected(), one->Joints.Items(0)->Node);
    EXPECT_EQ(one->SelectedJoint, one->Joints.Items(0));

    tsxhost::Select(three->SkeletonObject);
    fw::ProcessMessages();
    EXPECT_EQ(Selected(), three->Joints.Items(1)->Node);
    EXPECT_EQ(CurrentSkeleton, three);

    tsxhost::Select(none->SkeletonObject);
    EXPECT_EQ(fw::PendingMessageCount(), 0);
    fw::ProcessMessages();
    EXPECT_EQ(Selected(), none->SkeletonObject);
    EXPECT_EQ(CurrentSkeleton, none);
}

TEST_F(SkelMgrTest, WithAutoSelectOffTheGroupOnlyMakesItsSkeletonCurrent) {
    TSkeleton* a = SkelWithJoints(3);
    SkelWithJoints(1);
    tsxhost::Select(a->SkeletonObject);
    fw::ProcessMessages();
    EXPECT_EQ(Selected(), a->SkeletonObject);
    EXPECT_EQ(CurrentSkeleton, a);
}

TEST_F(SkelMgrTest, APostedSelectionOfAnObjectGoneMeanwhileIsDropped) {
    OptAutoSelect = true;
    TSkeleton* a = SkelWithJoints(2);
    tsxhost::Select(a->SkeletonObject);
    tsxhost::Delete(a->Joints.Items(1)->Node);
    tsxhost::ResetStaleUses();
    fw::ProcessMessages();
    EXPECT_EQ(Selected(), a->SkeletonObject);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
    EXPECT_FALSE(MainForm->EditLocked());
}

TEST_F(SkelMgrTest, DeletingASkeletonDetachesThoseAttachedToIt) {
    TSkeleton* root = NewSkel();
    Chain(root, {{0, 0, 0}, {0, 2, 0}});
    TSkeleton* arm = NewSkel();
    Chain(arm, {{0, 2, 0}, {1, 2, 0}});
    ASSERT_NE(root->Bones.Items(0)->AttachChild(arm->SkeletonObject), nullptr);
    ASSERT_EQ(arm->ParentSkeleton, root);

    SetCurrentSkeleton(root);
    ObjectDestroyed(root->Bag);
    EXPECT_EQ(SkeletonCount(), 1);
    EXPECT_EQ(SkeletonByIndex(0), arm);
    EXPECT_EQ(CurrentSkeleton, nullptr);
    EXPECT_EQ(arm->Attached, 0);
    EXPECT_EQ(arm->ParentSkeleton, nullptr);
    EXPECT_EQ(arm->Root(), arm);

    // Deleting the skeleton object works the same; a joint only leaves its skeleton.
    TSkeleton* other = SkelWithJoints(2);
    CtsxSobj joint = other->Joints.Items(0)->Node;
    HandleObjectDestroyed(joint);
    EXPECT_EQ(other->Joints.Count(), 1);
    HandleObjectDestroyed(other->SkeletonObject);
    EXPECT_EQ(SkeletonCount(), 1);
}

TEST_F(SkelMgrTest, RecordingPicksTheFamilyMembersThatRecord) {
    TSkeleton* root = NewSkel();
    Chain(root, {{0, 0, 0}, {0, 2, 0}});
    TSkeleton* arm = NewSkel();
    Chain(arm, {{0, 2, 0}, {1, 2, 0}});
    TSkeleton* hand = NewSkel();
    Chain(hand, {{1, 2, 0}, {2, 2, 0}});
    TSkeleton* stranger = SkelWithJoints(1);
    root->Bones.Items(0)->AttachChild(arm->SkeletonObject);
    arm->Bones.Items(0)->AttachChild(hand->SkeletonObject);
    root->Recording = 0;
    arm->Recording = 1;
    hand->Recording = 0;
    stranger->Recording = 1;

    SetCurrentSkeleton(arm);
    EXPECT_EQ(CurrentSkeletonFamily(false), (std::vector<TSkeleton*>{arm, hand, root}));
    EXPECT_EQ(RecordTargets(false, false), (std::vector<TSkeleton*>{arm}));
    EXPECT_EQ(RecordTargets(true, false), (std::vector<TSkeleton*>{arm, hand, root}));
    EXPECT_EQ(RecordTargets(false, true), (std::vector<TSkeleton*>{hand, arm}));
    root->Recording = 1;
    EXPECT_EQ(RecordTargets(false, false), (std::vector<TSkeleton*>{arm, root}));
    SetCurrentSkeleton(nullptr);
    EXPECT_TRUE(RecordTargets(true, false).empty());
}

TEST_F(SkelMgrTest, PushingUndoResetsTheAttachedSkeletons) {
    TSkeleton* root = NewSkel();
    Chain(root, {{0, 0, 0}, {0, 2, 0}});
    TSkeleton* arm = NewSkel();
    Chain(arm, {{0, 2, 0}, {1, 2, 0}});
    root->Bones.Items(0)->AttachChild(arm->SkeletonObject);
    arm->PushUndoState("Joint Moved", false);
    ASSERT_EQ(arm->UndoStates.size(), 2u);
    SetCurrentSkeleton(root);
    PushUndo("Joint Moved", false);
    ASSERT_EQ(arm->UndoStates.size(), 1u);
    EXPECT_EQ(arm->UndoStates[0]->Name, "Rest Pose");
    EXPECT_EQ(root->UndoStates.size(), 2u);
}

TEST_F(SkelMgrTest, RestoringAfterTheSkeletonCountChangedAppliesNothing) {
    TSkeleton* s = SkelWithJoints(2);
    TJoint* j = s->Joints.Items(1);
    SaveAllSkeletonStates();
    EXPECT_EQ(SavedStateCount(), 1);
    j->SetPosition(CtsxVec3f{5, 5, 5});
    RestoreAllSkeletonStates();
    EXPECT_VEC_NEAR(NodeLocation(j->Node), 1, 0, 0, 1e-5);
    EXPECT_EQ(SavedStateCount(), 0);

    SaveAllSkeletonStates();
    j->SetPosition(CtsxVec3f{5, 5, 5});
    NewSkel();
    RestoreAllSkeletonStates();
    EXPECT_VEC_NEAR(NodeLocation(j->Node), 5, 5, 5, 1e-5);
    EXPECT_EQ(SavedStateCount(), 0);
}

TEST_F(SkelMgrTest, SubDivisionPassesFindTheBoundSubDivisionObjects) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {0, 2, 0}});
    const CtsxSobj group = tsxhost::AddGroup("Body");
    const CtsxSobj cage = tsxhost::AddSubDiv("Torso", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                                             {{0, 1, 2, 3}}, group);
    tsxhost::AddCube("Plain", 1, group);
    s->Bones.Items(0)->AttachChild(group);

    ExtractAllControlMeshes();
    EXPECT_EQ(s->SubDivObjects, std::vector<CtsxSobj>{cage});
    EXPECT_EQ(tsxhost::SubDivInfo(cage).extractions, 1);
    MakeAllSubDivs();
    EXPECT_EQ(tsxhost::SubDivInfo(cage).makes, 1);
    ExtractAllControlMeshes();
    EXPECT_EQ(s->SubDivObjects.size(), 1u);
}

} // namespace
} // namespace vel
