#include "SkeletonState.h"

#include <limits>

#include "ServicesTestEnv.h"

namespace vel {
namespace {

// ---- blending arithmetic (no host needed) ----

TJointsState States(std::initializer_list<CtsxVec3f> points) {
    TJointsState s;
    for (const CtsxVec3f& p : points)
        s.Records.push_back(TJointRecord{0.5f, p, 0});
    return s;
}

// The accumulator of base and poses, normalized.
TJointsState Blend(TJointsState& base, std::vector<TJointsState*> poses, std::vector<float> w) {
    TJointsState acc;
    acc.MarkBlend(base, nullptr, w[0]);
    for (std::size_t i = 0; i < poses.size(); ++i)
        acc.MarkBlend(*poses[i], &base, w[i + 1]);
    acc.AddWeighted(base, nullptr, w[0]);
    for (std::size_t i = 0; i < poses.size(); ++i)
        acc.AddWeighted(*poses[i], &base, w[i + 1]);
    acc.Normalize();
    return acc;
}

TEST(JointsBlend, OnePoseMovesItsJointByItsWeight) {
    TJointsState base = States({{0, 0, 0}, {4, 0, 0}, {0, 8, 0}});
    TJointsState pose = States({{0, 0, 0}, {8, 4, 0}, {0, 8.005f, 0}});
    TJointsState a = Blend(base, {&pose}, {1.0f, 0.25f});
    EXPECT_VEC_NEAR(a.Records[0].Position, 0, 0, 0, 1e-6);
    EXPECT_VEC_NEAR(a.Records[1].Position, 5, 1, 0, 1e-6); // 0.75 base + 0.25 pose
    // Within 0.01 of the base: not moved by the pose.
    EXPECT_VEC_NEAR(a.Records[2].Position, 0, 8, 0, 1e-6);
    EXPECT_EQ(pose.Records[2].Flags & TJointRecord::InBlend, 0u);
    EXPECT_NE(pose.Records[1].Flags & TJointRecord::InBlend, 0u);
    for (const TJointRecord& r : a.Records)
        EXPECT_EQ(r.Stiff, -1);
}

TEST(JointsBlend, TwoPosesThatMoveAJointAverageWithoutTheBase) {
    TJointsState base = States({{0, 0, 0}, {1, 1, 1}});
    TJointsState p1 = States({{3, 0, 0}, {1, 1, 1}});
    TJointsState p2 = States({{0, 6, 0}, {1, 1, 1}});
    TJointsState a = Blend(base, {&p1, &p2}, {1.0f, 0.5f, 0.25f});
    // (0.5 x P1 + 0.25 x P2) / 0.75
    EXPECT_VEC_NEAR(a.Records[0].Position, 2, 2, 0, 1e-5);
    EXPECT_VEC_NEAR(a.Records[1].Position, 1, 1, 1, 1e-6);
    EXPECT_EQ(a.Counts[0], 2);
}

TEST(JointsBlend, RecordsNoStateWeighsAreLeftUndivided) {
    // A longer pose of weight 0 reaches a joint the base lacks.
    TJointsState base = States({{1, 1, 1}});
    TJointsState pose = States({{1, 1, 1}, {7, 7, 7}});
    TJointsState a = Blend(base, {&pose}, {1.0f, 0.0f});
    ASSERT_EQ(a.Count(), 2);
    EXPECT_TRUE(a.HasBlend(0));
    EXPECT_FALSE(a.HasBlend(1));
    EXPECT_VEC_NEAR(a.Records[1].Position, 0, 0, 0, 0);
    EXPECT_TRUE(std::isfinite(a.Records[1].Position.x));
}

// ---- states of a skeleton in the host ----

class SkeletonStateTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        SetupMode = true; // applied poses stand as they are, unrelaxed
        s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
        s->ClearUndo();
    }
    void MoveTail(float x, float y) { joints[2]->SetPosition(CtsxVec3f{x, y, 0}); }
    CtsxVec3f Tail() const { return NodeLocation(joints[2]->Node); }

    TSkeleton* s = nullptr;
    std::vector<TJoint*> joints;
};

TEST_F(SkeletonStateTest, CapturesInBagSpaceAndAppliesWhereverTheBagIs) {
    CtsxVec3f offset{10, 0, 0};
    tsxGNodeSetLocation(s->Bag, &offset);
    s->Joints.ReadAll();
    auto state = s->CaptureState("Pose", false, false);
    EXPECT_EQ(state->Name, "Pose");
    ASSERT_EQ(state->JointsState->Count(), 3);
    EXPECT_VEC_NEAR(state->JointsState->Records[2].Position, 2, 2, 0, 1e-5);
    EXPECT_EQ(state->JointsState->Records[2].Stiff, 1.0f);
    EXPECT_EQ(state->BonesState->Count(), 2);

    // Applied with the bag elsewhere, the pose goes along.
    CtsxVec3f there{0, 5, 0};
    tsxGNodeSetLocation(s->Bag, &there);
    MoveTail(0, 0);
    s->ApplyState(*state, false, true, true);
    EXPECT_VEC_NEAR(Tail(), 2, 7, 0, 1e-5);
    // Moved: the bag goes back to where it was captured.
    s->ApplyState(*state, true, true, true);
    EXPECT_VEC_NEAR(NodeLocation(s->Bag), 10, 0, 0, 1e-5);
    EXPECT_VEC_NEAR(Tail(), 12, 2, 0, 1e-5);
}

TEST_F(SkeletonStateTest, ApplyingSetsOnlyWhatTheStateHas) {
    auto state = s->CaptureState("Three", false, false);
    state->JointsState->Records[0].Stiff = -1;
    state->JointsState->Records[1].Stiff = 0.25f;
    joints[0]->SetStiff(0.75f);
    TJoint* extra = JointAt(s, 9, 9, 9);
    s->ApplyState(*state, false, false, true);
    EXPECT_EQ(joints[0]->Stiff(), 0.75f);
    EXPECT_EQ(joints[1]->Stiff(), 0.25f);
    EXPECT_VEC_NEAR(NodeLocation(extra->Node), 9, 9, 9, 1e-6);
}

TEST_F(SkeletonStateTest, UndoAndRedoWalkThePushedStates) {
    s->PushUndoState("A", false); // tail at (2, 2)
    MoveTail(3, 0);
    s->PushUndoState("B", false);
    MoveTail(4, 0);
    s->PushUndoState("C", false);
    ASSERT_EQ(s->UndoIndex, 2);

    s->Undo();
    EXPECT_EQ(s->UndoIndex, 1);
    EXPECT_VEC_NEAR(Tail(), 3, 0, 0, 1e-4);
    s->Undo();
    s->Undo(); // past the start: state 0 again
    EXPECT_EQ(s->UndoIndex, 0);
    EXPECT_VEC_NEAR(Tail(), 2, 2, 0, 1e-4);
    s->Redo();
    EXPECT_EQ(s->UndoIndex, 1);
    s->RedoAll();
    EXPECT_EQ(s->UndoIndex, 2);
    EXPECT_VEC_NEAR(Tail(), 4, 0, 0, 1e-4);
    s->Redo(); // at the last state: nothing
    EXPECT_EQ(s->UndoIndex, 2);
    s->UndoAll();
    EXPECT_EQ(s->UndoIndex, 0);
    EXPECT_VEC_NEAR(Tail(), 2, 2, 0, 1e-4);
}

TEST_F(SkeletonStateTest, APushAfterUndoCutsTheRedoBranch) {
    s->PushUndoState("A", false);
    s->PushUndoState("B", false);
    s->PushUndoState("C", false);
    s->Undo();
    s->Undo();
    s->PushUndoState("D", false);
    ASSERT_EQ(s->UndoStates.size(), 2u);
    EXPECT_EQ(s->UndoStates[0]->Name, "A");
    EXPECT_EQ(s->UndoStates[1]->Name, "D");
    EXPECT_EQ(s->UndoIndex, 1);
    s->Redo();
    EXPECT_EQ(s->UndoIndex, 1);
}

TEST_F(SkeletonStateTest, UndoingAWholeSkeletonMoveRestoresTheBag) {
    auto bagAt = [this](float z) {
        CtsxVec3f p{0, 0, z};
        tsxGNodeSetLocation(s->Bag, &p);
    };
    s->PushUndoState("Rest Pose", false);
    bagAt(3);
    s->PushUndoState("Skeleton Moved", true);
    bagAt(6);
    s->Undo(); // the step undone moved the bag
    EXPECT_VEC_NEAR(NodeLocation(s->Bag), 0, 0, 0, 1e-5);
    s->Redo();
    EXPECT_VEC_NEAR(NodeLocation(s->Bag), 0, 0, 3, 1e-5);
    s->PushUndoState("Joint Moved", false);
    bagAt(9);
    s->Undo(); // the step undone only moved a joint
    EXPECT_VEC_NEAR(NodeLocation(s->Bag), 0, 0, 9, 1e-5);
}

TEST_F(SkeletonStateTest, BlendingPosesMovesJointsAndKeepsStiff) {
    joints[2]->SetStiff(0.3f);
    auto base = s->CaptureState("Base", false, false);
    MoveTail(6, 2);
    auto pose = s->CaptureState("Reach", false, false);
    pose->JointsState->Records[2].Stiff = 0.9f;
    MoveTail(0, 9);
    joints[1]->SetPosition(CtsxVec3f{5, 5, 5});
    BlendPoses(s, {base.get(), pose.get()}, {1.0f, std::numeric_limits<float>::quiet_NaN()});
    EXPECT_VEC_NEAR(Tail(), 0, 9, 0, 1e-5); // a NaN weight blends nothing
    BlendPoses(s, {base.get(), pose.get()}, {1.0f, 0.25f});
    EXPECT_VEC_NEAR(Tail(), 3, 2, 0, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(joints[1]->Node), 2, 0, 0, 1e-5); // the base's
    EXPECT_EQ(joints[2]->Stiff(), 0.3f);
    EXPECT_EQ(joints[1]->Stiff(), 1.0f);
}

TEST_F(SkeletonStateTest, BlendingLeavesAJointNoPoseReachesWhereItIs) {
    auto base = s->CaptureState("Base", false, false);
    TJoint* extra = JointAt(s, 7, 7, 7);
    auto longer = s->CaptureState("Longer", false, false);
    longer->JointsState->Records[3].Position = CtsxVec3f{1, 1, 1};
    BlendPoses(s, {base.get(), longer.get()}, {1.0f, 0.0f});
    EXPECT_VEC_NEAR(NodeLocation(extra->Node), 7, 7, 7, 1e-4);
}

TEST_F(SkeletonStateTest, ChildStatesFollowTheAttachedSkeletons) {
    TSkeleton* arm = NewSkel();
    auto armJoints = Chain(arm, {{2, 2, 0}, {3, 2, 0}});
    s->Bones.Items(1)->AttachChild(arm->SkeletonObject);
    SetCurrentSkeleton(s);
    auto state = s->CaptureState("With arm", false, true);
    ASSERT_EQ(state->ChildStates->Count(), 1);
    armJoints[1]->SetPosition(CtsxVec3f{3, 5, 0});
    s->ApplyState(*state, false, true, true);
    EXPECT_VEC_NEAR(NodeLocation(armJoints[1]->Node), 3, 2, 0, 1e-4);

    // A state for another number of attached skeletons leaves them alone.
    auto bare = s->CaptureState("Bare", false, false);
    armJoints[1]->SetPosition(CtsxVec3f{3, 5, 0});
    s->ApplyState(*bare, false, true, true);
    EXPECT_VEC_NEAR(NodeLocation(armJoints[1]->Node), 3, 5, 0, 1e-4);
}

TEST_F(SkeletonStateTest, RotateTwistRollsAboutTheBone) {
    TBone* bone = s->Bones.Items(0); // along +x
    bone->Twist = CtsxVec3f{0, 0, 1};
    bone->RotateTwist(90);
    EXPECT_NEAR(std::fabs(bone->Twist.y), 1.0f, 1e-4);
    EXPECT_NEAR(bone->Twist.x, 0.0f, 1e-4);
    EXPECT_NEAR(bone->Twist.z, 0.0f, 1e-4);
    bone->RotateTwist(-90);
    EXPECT_VEC_NEAR(bone->Twist, 0, 0, 1, 1e-4);
}

} // namespace
} // namespace vel
