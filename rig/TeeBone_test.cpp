#include "TeeBone.h"

#include <cmath>

#include "CoreTestEnv.h"

namespace vel {
namespace {

class TeeBoneTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        s = NewSkel();
        head = JointAt(s, 0, 0, 0);
        tail = JointAt(s, 2, 0, 0);
        tee = JointAt(s, 1, 0, 1);
        auto bone = std::make_unique<TTeeBone>(NewBoneObject(), NewTeeBoneObject());
        t = bone.get();
        t->Head = head;
        t->Tail = tail;
        t->TeeJoint = tee;
        s->AddToBag(t->Node);
        s->AddToBag(t->ExtraObject);
        s->Bones.Add(std::move(bone));
        t->UpdateLength();
    }

    TSkeleton* s = nullptr;
    TJoint *head = nullptr, *tail = nullptr, *tee = nullptr;
    TTeeBone* t = nullptr;
};

TEST_F(TeeBoneTest, LengthsAndRollComeFromTheTriangle) {
    EXPECT_FLOAT_EQ(t->Length, 2);
    EXPECT_FLOAT_EQ(t->HeadTeeDistance, std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(t->TailTeeDistance, std::sqrt(2.0f));
    t->Twist = CtsxVec3f{0, 1, 0};
    CtsxTxmx3f m;
    t->GetMatrix(m);
    EXPECT_VEC_NEAR(t->Twist, 0, 0, 1, 1e-5);

    head->ResetSize();
    tee->ResetSize();
    t->ShareJointSize();
    EXPECT_FLOAT_EQ(head->SizeSum, 0.6f);
    EXPECT_FLOAT_EQ(tee->SizeSum, 0.6f);
}

TEST_F(TeeBoneTest, ThreeFlipsRestoreTheRoles) {
    t->Flip();
    EXPECT_EQ(t->Head, tail);
    EXPECT_EQ(t->Tail, tee);
    EXPECT_EQ(t->TeeJoint, head);
    t->Flip();
    t->Flip();
    EXPECT_EQ(t->Head, head);
    EXPECT_EQ(t->Tail, tail);
    EXPECT_EQ(t->TeeJoint, tee);
}

TEST_F(TeeBoneTest, NailedJointStaysWhileTheOthersKeepTheTriangle) {
    head->SetStiff(0);
    tail->Position = CtsxVec3f{3, 0, 0};
    tee->Position = CtsxVec3f{1, 0, 2};
    for (int i = 0; i < 200; ++i)
        t->SolveConstraint();
    EXPECT_VEC_NEAR(head->Position, 0, 0, 0, 0);
    EXPECT_NEAR(Distance(head->Position, tail->Position), 2, 1e-4);
    EXPECT_NEAR(Distance(head->Position, tee->Position), std::sqrt(2.0f), 1e-4);
    EXPECT_NEAR(Distance(tail->Position, tee->Position), std::sqrt(2.0f), 1e-4);
}

TEST_F(TeeBoneTest, ExtraObjectRunsToTheTeeAndHoldsWhenItCollapses) {
    t->PlaceNode();
    EXPECT_VEC_NEAR(NodeLocation(t->ExtraObject), 1, 0, 0, 1e-6);
    EXPECT_VEC_NEAR(NodeSize(t->ExtraObject), 1.05f, 0.07f, 0.07f, 1e-5);
    const CtsxEuler3f rot = NodeRotation(t->ExtraObject);
    const CtsxVec3f up = TTeeBone::SharedUp();
    const CtsxVec3f twist = t->Twist;

    // The tee joint on the midpoint: only the location follows.
    head->SetPosition(CtsxVec3f{0, 0, 1});
    tail->SetPosition(CtsxVec3f{2, 0, 1});
    t->PlaceNode();
    EXPECT_VEC_NEAR(NodeLocation(t->ExtraObject), 1, 0, 1, 1e-6);
    EXPECT_VEC_NEAR(NodeSize(t->ExtraObject), 1.05f, 0.07f, 0.07f, 1e-5);
    const CtsxEuler3f now = NodeRotation(t->ExtraObject);
    EXPECT_VEC_NEAR((CtsxVec3f{now.x, now.y, now.z}), rot.x, rot.y, rot.z, 1e-6);
    EXPECT_VEC_NEAR(TTeeBone::SharedUp(), up.x, up.y, up.z, 0);
    EXPECT_VEC_NEAR(t->Twist, twist.x, twist.y, twist.z, 1e-6);
    EXPECT_FALSE(std::isnan(t->Twist.x));
}

TEST_F(TeeBoneTest, DeletingTheTeeJointDeletesTheTeeBone) {
    CtsxSobj node = t->Node, extra = t->ExtraObject;
    s->SelectedBone = 0;
    CtsxSobj teeNode = tee->Node;
    tsxhost::Delete(teeNode);
    s->ObjectDeleted(teeNode); // nothing more when the main form passed it on

    EXPECT_EQ(s->Bones.Count(), 0);
    EXPECT_EQ(s->SelectedBone, -1);
    EXPECT_FALSE(tsxIsSobj(node));
    EXPECT_FALSE(tsxIsSobj(extra));
    EXPECT_EQ(s->Joints.Count(), 2);
}

} // namespace
} // namespace vel
