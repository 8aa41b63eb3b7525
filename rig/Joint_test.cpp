#include "Joint.h"

#include <algorithm>
#include <cmath>

#include "CoreTestEnv.h"

namespace vel {
namespace {

// ---- constraint routines (no host objects needed) ----

TEST(DistanceConstraint, MovesEachEndByItsWeight) {
    // Stretched: length 4, rest 2, equal weights: each end goes half way.
    CtsxVec3f a{0, 0, 0}, b{4, 0, 0};
    SolveDistanceConstraint(a, b, 1, 1, 2);
    EXPECT_VEC_NEAR(a, 1, 0, 0, 1e-6);
    EXPECT_VEC_NEAR(b, 3, 0, 0, 1e-6);

    // Compressed: length 1, rest 3: they move apart, about the midpoint.
    a = {0, 0, 0}, b = {0, 1, 0};
    SolveDistanceConstraint(a, b, 0.5, 0.5, 3);
    EXPECT_VEC_NEAR(a, 0, -1, 0, 1e-6);
    EXPECT_VEC_NEAR(b, 0, 2, 0, 1e-6);

    // One end nailed: only the other moves, and lands at rest.
    a = {1, 1, 1}, b = {4, 5, 1};
    SolveDistanceConstraint(a, b, 0, 1, 2.5);
    EXPECT_VEC_NEAR(a, 1, 1, 1, 0);
    EXPECT_NEAR(Distance(a, b), 2.5f, 1e-6);
    EXPECT_VEC_NEAR(b, 1 + 1.5f, 1 + 2.0f, 1, 1e-6);

    // Uneven weights share the correction 1:3.
    a = {0, 0, 0}, b = {0, 0, 6};
    SolveDistanceConstraint(a, b, 0.25, 0.75, 2);
    EXPECT_VEC_NEAR(a, 0, 0, 1, 1e-6);
    EXPECT_VEC_NEAR(b, 0, 0, 3, 1e-6);
}

TEST(DistanceConstraint, TwoZeroWeightsCountAsOneAndCoincidentPointsStay) {
    CtsxVec3f a{0, 0, 0}, b{4, 0, 0};
    SolveDistanceConstraint(a, b, 0, 0, 2);
    EXPECT_VEC_NEAR(a, 1, 0, 0, 1e-6);
    EXPECT_VEC_NEAR(b, 3, 0, 0, 1e-6);

    a = b = {2, 3, 4};
    SolveDistanceConstraint(a, b, 1, 1, 1);
    EXPECT_VEC_NEAR(a, 2, 3, 4, 0);
    EXPECT_VEC_NEAR(b, 2, 3, 4, 0);
}

TEST(RigidSegment, KeepsMidpointAndTakesOffset) {
    CtsxVec3f a{0, 0, 0}, b{2, 2, 0};
    KeepRigidSegment(a, b, CtsxVec3f{0, 0, 4});
    EXPECT_VEC_NEAR(a, 1, 1, -2, 1e-6);
    EXPECT_VEC_NEAR(b, 1, 1, 2, 1e-6);
}

TEST(Floor, LiftsOnlyZAndOnlyWhenBelow) {
    CtsxVec3f p{3, 4, -1};
    KeepAboveFloor(p, CtsxVec3f{9, 9, 0.5f});
    EXPECT_VEC_NEAR(p, 3, 4, 0.5f, 0);
    p = {3, 4, 0.5f};
    KeepAboveFloor(p, CtsxVec3f{0, 0, 0.5f});
    EXPECT_VEC_NEAR(p, 3, 4, 0.5f, 0);
    p = {3, 4, 2};
    KeepAboveFloor(p, CtsxVec3f{0, 0, 0.5f});
    EXPECT_FLOAT_EQ(p.z, 2);
}

// ---- joints on host objects ----

class JointTest : public CoreTest {
protected:
    TJointData2Block Block(const TJoint& j) {
        auto* b = static_cast<TJointData2Block*>(tsxSobjGetData(j.Node, JointData2Tag));
        EXPECT_NE(b, nullptr);
        return b ? *b : TJointData2Block{};
    }
};

TEST_F(JointTest, SettersClampAndStoreTheJointData) {
    TSkeleton* s = NewSkel();
    TJoint* j = JointAt(s, 0, 0, 0);
    EXPECT_FLOAT_EQ(Block(*j).Stiff, 1.0f);
    j->SetStiff(1.7f);
    EXPECT_FLOAT_EQ(j->Stiff(), 1.0f);
    j->SetStiff(-0.2f);
    EXPECT_FLOAT_EQ(j->Stiff(), 0.0f);
    EXPECT_FLOAT_EQ(Block(*j).Stiff, 0.0f);
    j->SetStiff(NAN);
    EXPECT_FLOAT_EQ(j->Stiff(), 0.0f);

    j->SetFlags(jfOnFloor | jfLinked, true);
    EXPECT_EQ(Block(*j).Flags, static_cast<std::int32_t>(jfOnFloor | jfLinked));
    j->SetFlags(jfLinked, false);
    EXPECT_EQ(Block(*j).Flags, static_cast<std::int32_t>(jfOnFloor));
    EXPECT_TRUE(j->HasFlags(jfOnFloor));
    EXPECT_FALSE(j->HasFlags(jfOnFloor | jfLinked));

    j->SetFloorAnchor(CtsxVec3f{0, 0, 2});
    j->SetIndex(7);
    EXPECT_EQ(Block(*j).Index, 7);
    EXPECT_FLOAT_EQ(Block(*j).FloorAnchor.z, 2.0f);
}

TEST_F(JointTest, SizesAverageApplyAndReachTheMarker) {
    TSkeleton* s = NewSkel();
    TJoint* j = JointAt(s, 1, 2, 3);
    j->ResetSize();
    j->AverageSize(); // no values: unchanged
    EXPECT_FLOAT_EQ(j->SizeSum, 0);
    j->SizeSum = 0.0005f;
    j->ApplySize(2.0f);
    EXPECT_VEC_NEAR(NodeSize(j->Node), 0.2f, 0.2f, 0.2f, 1e-6);
    j->ResetSize();
    j->AddSize(0.3f);
    j->AddSize(0.7f);
    j->AverageSize();
    j->ApplySize(2.0f);
    EXPECT_VEC_NEAR(NodeSize(j->Node), 1, 1, 1, 1e-6);

    // The marker stands beside the joint, in the same group, at its place.
    ASSERT_NE(j->Marker, nullptr);
    EXPECT_EQ(tsxGNodeGetParent(j->Marker), tsxGNodeGetParent(j->Node));
    EXPECT_VEC_NEAR(NodeLocation(j->Marker), 1, 2, 3, 1e-5);
    EXPECT_VEC_NEAR(NodeSize(j->Marker), 1, 1, 1, 1e-6);
    j->SetVisible(false);
    j->UpdateMarker();
    EXPECT_EQ(tsxMNodeIsVisible(j->Marker), 0);
}

TEST_F(JointTest, TransformMovesInWorldSpace) {
    TSkeleton* s = NewSkel();
    TJoint* j = JointAt(s, 1, 0, 0);
    CtsxTxmx3f turn{}; // a quarter turn about z, then up by 2
    turn.m[1] = -1, turn.m[4] = 1, turn.m[10] = 1, turn.m[11] = 2;
    j->Transform(turn);
    EXPECT_VEC_NEAR(j->Position, 0, 1, 2, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(j->Node), 0, 1, 2, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(j->Marker), 0, 1, 2, 1e-5);
}

TEST_F(JointTest, SortByIndexOrdersAndEndsOnDamagedIndexes) {
    TSkeleton* s = NewSkel();
    std::vector<TJoint*> j;
    for (int i = 0; i < 4; ++i)
        j.push_back(JointAt(s, static_cast<float>(i), 0, 0));
    const int order[4] = {2, 0, 3, 1};
    for (int i = 0; i < 4; ++i)
        j[static_cast<std::size_t>(i)]->SetIndex(order[i]);
    s->Joints.SortByIndex();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s->Joints.Items(i)->Index(), i);

    // Duplicates and negative indexes: the loop ends, every joint stays listed.
    for (int dup : {1, -3}) {
        j[0]->SetIndex(1);
        j[1]->SetIndex(dup);
        j[2]->SetIndex(1);
        j[3]->SetIndex(0);
        s->Joints.SortByIndex();
        EXPECT_EQ(s->Joints.Count(), 4);
        for (TJoint* x : j)
            EXPECT_GE(s->Joints.IndexOf(x), 0);
    }
}

TEST_F(JointTest, CollectFlaggedAddsLinkedJointsOnce) {
    TSkeleton* s = NewSkel();
    TJoint* a = JointAt(s, 0, 0, 0);
    TJoint* b = JointAt(s, 1, 0, 0);
    JointAt(s, 2, 0, 0);
    a->SetFlags(jfLinked, true);
    b->SetFlags(jfLinked, true);
    std::vector<TJoint*> list{b};
    s->Joints.CollectFlagged(list);
    s->Joints.CollectFlagged(list);
    EXPECT_EQ(list, (std::vector<TJoint*>{b, a}));
}

TEST_F(JointTest, AssignMarkersTakesFromTheBackAndDeletesTheRest) {
    TSkeleton* s = NewSkel();
    std::vector<TJoint*> j;
    for (int i = 0; i < 3; ++i)
        j.push_back(JointAt(s, 0, 0, 0));
    CtsxSobj kept = j[1]->Marker;
    DeleteObject(kept);
    s->ObjectDeleted(kept); // the joint forgets the dead marker
    ASSERT_EQ(j[1]->Marker, nullptr);
    CtsxSobj first = NewJointMarker(), second = NewJointMarker();
    std::vector<CtsxSobj> loaded{first, second};
    s->Joints.AssignMarkers(loaded);
    EXPECT_EQ(j[1]->Marker, second);
    EXPECT_TRUE(loaded.empty());
    EXPECT_FALSE(tsxIsSobj(first));
}

TEST_F(JointTest, RemoveDeletesTheMarkerKeepsTheNodeAndRenumbers) {
    TSkeleton* s = NewSkel();
    TJoint* a = JointAt(s, 0, 0, 0);
    TJoint* b = JointAt(s, 1, 0, 0);
    CtsxSobj node = a->Node, marker = a->Marker;
    s->Joints.Remove(a);
    EXPECT_TRUE(tsxIsSobj(node));
    EXPECT_FALSE(tsxIsSobj(marker));
    ASSERT_EQ(s->Joints.Count(), 1);
    EXPECT_EQ(b->Index(), 0);
    EXPECT_EQ(s->Joints.IndexOfNode(node), -1);
}

} // namespace
} // namespace vel
