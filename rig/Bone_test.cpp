#include "Bone.h"

#include "CoreTestEnv.h"
#include "Skin.h"

namespace vel {
namespace {

class BoneTest : public CoreTest {};

CtsxVec3f Apply(const CtsxTxmx3f& m, CtsxVec3f v) {
    tsxTransformVect3f(&v, &v, &m);
    return v;
}

CtsxTxmx3f Inverse(const CtsxTxmx3f& m) {
    CtsxTxmx3f r;
    tsxInvertMx3f(&r, &m);
    return r;
}

TEST_F(BoneTest, PlacementSizesTheObjectAlongTheBone) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {2, 0, 0}});
    TBone* b = s->Bones.Items(0);
    EXPECT_FLOAT_EQ(b->Length, 2);
    EXPECT_VEC_NEAR(NodeSize(b->Node), 2.1f, 0.14f, 0.14f, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(b->Node), 0, 0, 0, 1e-6);
    // The object's x axis runs from the tail back to the head.
    CtsxTxmx3f t;
    tsxGNodeGetPureTransform(b->Node, &t);
    EXPECT_VEC_NEAR((CtsxVec3f{t.m[0], t.m[4], t.m[8]}), -1, 0, 0, 1e-5);

    // Tiny bones get no rotation and a floor on their size.
    j[1]->SetPosition(CtsxVec3f{0.0005f, 0, 0});
    b->PlaceNode();
    EXPECT_VEC_NEAR(NodeSize(b->Node), 0.0105f, 0.0007f, 0.0007f, 1e-7);
    const CtsxEuler3f e = NodeRotation(b->Node);
    EXPECT_VEC_NEAR((CtsxVec3f{e.x, e.y, e.z}), 0, 0, 0, 1e-6);
}

TEST_F(BoneTest, MatrixTakesTheTailOntoNegativeXAndKeepsRollWhenCollapsed) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{1, 2, 3}, {1, 5, 7}});
    TBone* b = s->Bones.Items(0);
    CtsxTxmx3f m;
    bool made = false;
    EXPECT_FLOAT_EQ(b->GetMatrix(m, &made), 5);
    ASSERT_TRUE(made);
    EXPECT_VEC_NEAR(Apply(Inverse(m), CtsxVec3f{0, 3, 4}), -5, 0, 0, 1e-5);
    const CtsxVec3f twist = b->Twist;
    EXPECT_NEAR(tsxMagnitude3f(&twist), 1, 1e-5);
    EXPECT_NEAR(twist.y * 3 + twist.z * 4, 0, 1e-5); // re-orthogonalised

    // Collapsed onto the head: no matrix, the roll and m stay.
    j[1]->Position = j[0]->Position;
    CtsxTxmx3f untouched{};
    untouched.m[0] = 42;
    m = untouched;
    b->GetMatrix(m, &made);
    EXPECT_FALSE(made);
    EXPECT_FLOAT_EQ(m.m[0], 42);
    EXPECT_VEC_NEAR(b->Twist, twist.x, twist.y, twist.z, 0);

    // The same joint at both ends answers 1.0 with m untouched.
    b->Tail = b->Head;
    EXPECT_FLOAT_EQ(b->GetMatrix(m), 1.0f);
    EXPECT_FLOAT_EQ(m.m[0], 42);
}

TEST_F(BoneTest, SetMatrixAndTwistFromNodeRoundTrip) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {0, 3, 0}});
    TBone* b = s->Bones.Items(0);
    b->Twist = CtsxVec3f{1, 0, 0};
    CtsxTxmx3f m;
    b->GetMatrix(m);
    const CtsxVec3f twist = b->Twist;
    j[1]->SetPosition(CtsxVec3f{5, 5, 5}); // moved away; the matrix puts it back
    b->SetMatrix(m);
    EXPECT_VEC_NEAR(j[1]->Position, 0, 3, 0, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(j[1]->Node), 0, 3, 0, 1e-5);
    EXPECT_VEC_NEAR(b->Twist, twist.x, twist.y, twist.z, 1e-5);

    b->PlaceNode();
    b->Twist = CtsxVec3f{0, 0, 1};
    b->ReadTwistFromNode();
    EXPECT_VEC_NEAR(b->Twist, twist.x, twist.y, twist.z, 1e-5);
    b->TwistKeyed = 1; // a key just read wins once
    b->Twist = CtsxVec3f{0, 0, 1};
    b->ReadTwistFromNode();
    EXPECT_VEC_NEAR(b->Twist, 0, 0, 1, 0);
    EXPECT_EQ(b->TwistKeyed, 0);
}

TEST_F(BoneTest, SkinMatrixTakesRestVerticesIntoBoneSpace) {
    TSkeleton* s = NewSkel();
    Chain(s, {{1, 0, 0}, {1, 2, 0}});
    CtsxPolyh mesh = tsxhost::AddCube("Arm", 0.5f);
    const CtsxVec3f at{1, 1, 0};
    tsxGNodeSetLocation(mesh, &at);
    CtsxTxmx3f m;
    bool made = false;
    EXPECT_FLOAT_EQ(s->Bones.Items(0)->GetSkinMatrix(mesh, m, &made), 2);
    ASSERT_TRUE(made);
    // The cube's centre lies half way down the bone.
    EXPECT_VEC_NEAR(Apply(m, CtsxVec3f{0, 0, 0}), -1, 0, 0, 1e-5);
}

TEST_F(BoneTest, BoundObjectsFollowTheBone) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {2, 0, 0}});
    TBone* b = s->Bones.Items(0);
    CtsxSobj cube = tsxhost::AddCube("Cube", 0.1f);
    const CtsxVec3f at{2, 1, 0};
    tsxGNodeSetLocation(cube, &at);
    ASSERT_NE(b->AttachChild(cube), nullptr);
    EXPECT_EQ(b->AttachChild(cube), nullptr); // bound once only
    EXPECT_EQ(b->ChildCount(), 1);
    EXPECT_EQ(b->SkinAreaList.size(), 1u);
    EXPECT_EQ(b->SkinAreas(0), nullptr);
    EXPECT_EQ(b->Children(1), nullptr);

    // A quarter turn about z around the head carries the cube with it.
    j[1]->SetPosition(CtsxVec3f{0, 2, 0});
    b->PlaceNode();
    b->MoveChildren();
    EXPECT_VEC_NEAR(NodeLocation(cube), -1, 2, 0, 1e-5);

    // Rebinding takes the object where it stands.
    tsxGNodeSetLocation(cube, &at);
    b->RebindChildren();
    b->MoveChildren();
    EXPECT_VEC_NEAR(NodeLocation(cube), 2, 1, 0, 1e-5);
}

TEST_F(BoneTest, SkeletonsAreNeverAttachedToThemselvesOrInALoop) {
    TSkeleton* a = NewSkel();
    Chain(a, {{0, 0, 0}, {1, 0, 0}});
    TSkeleton* b = NewSkel();
    Chain(b, {{0, 3, 0}, {1, 3, 0}});
    TSkeleton* c = NewSkel();
    Chain(c, {{0, 6, 0}, {1, 6, 0}});

    EXPECT_EQ(a->Bones.Items(0)->AttachChild(a->Bag), nullptr);
    EXPECT_EQ(a->Bones.Items(0)->AttachChild(a->SkeletonObject), nullptr);
    ASSERT_NE(a->Bones.Items(0)->AttachChild(b->SkeletonObject), nullptr);
    ASSERT_NE(b->Bones.Items(0)->AttachChild(c->SkeletonObject), nullptr);
    EXPECT_EQ(c->ParentSkeleton, b);
    EXPECT_EQ(c->Root(), a);
    // a below c would close a loop, directly or through b.
    EXPECT_EQ(b->Bones.Items(0)->AttachChild(a->SkeletonObject), nullptr);
    EXPECT_EQ(c->Bones.Items(0)->AttachChild(a->Bag), nullptr);
    EXPECT_EQ(a->Attached, 0);

    std::vector<TSkeleton*> below;
    a->Bones.CollectChildSkeletons(below, true);
    EXPECT_EQ(below, (std::vector<TSkeleton*>{b, c}));

    // c bound again, now to a: b's bone still carries it, so c's bone must
    // not take b, or moving either would refresh the other without end.
    ASSERT_NE(a->Bones.Items(0)->AttachChild(c->SkeletonObject), nullptr);
    EXPECT_EQ(c->ParentSkeleton, a);
    EXPECT_EQ(c->Bones.Items(0)->AttachChild(b->SkeletonObject), nullptr);
    EXPECT_EQ(c->Bones.Items(0)->AttachChild(b->Bag), nullptr);
    EXPECT_EQ(b->ParentSkeleton, a);
    a->Refresh();
}

TEST_F(BoneTest, RemovingABoundObjectDetachesItFromEveryBone) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    CtsxSobj cube = tsxhost::AddCube("Cube", 0.1f);
    CtsxSobj other = tsxhost::AddCube("Other", 0.1f);
    for (auto& b : s->Bones.List)
        b->Attach(cube);
    s->Bones.Items(1)->Attach(other);
    s->Bones.Items(1)->SkinAreaList[0] = std::make_unique<TSkinArea>();
    s->Bones.RemoveObject(cube);
    for (auto& b : s->Bones.List)
        EXPECT_FALSE(b->HasChild(cube));
    TBone* mid = s->Bones.Items(1);
    ASSERT_EQ(mid->ChildCount(), 1);
    EXPECT_EQ(mid->Children(0)->Object, other);
    EXPECT_EQ(mid->SkinAreaList.size(), 1u);
    EXPECT_EQ(mid->SkinAreas(0), nullptr); // the cube's area went with it
}

TEST_F(BoneTest, ResolvingDropsBonesWithAMissingJoint) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    const int heads[3] = {0, 1, 2}, tails[3] = {1, 99, 3};
    for (int i = 0; i < 3; ++i) {
        s->Bones.Items(i)->HeadIndex = heads[i];
        s->Bones.Items(i)->TailIndex = tails[i];
        s->Bones.Items(i)->Head = s->Bones.Items(i)->Tail = nullptr;
    }
    CtsxSobj gone = s->Bones.Items(1)->Node;
    s->Bones.ResolveJointsAll(s->Joints);
    ASSERT_EQ(s->Bones.Count(), 2);
    EXPECT_FALSE(tsxIsSobj(gone));
    EXPECT_EQ(s->Bones.Items(1)->Head, s->Joints.Items(2));
    EXPECT_EQ(s->Bones.Items(1)->Tail, s->Joints.Items(3));
}

TEST_F(BoneTest, DownstreamWalksEachJointOnceAndStopsAtTheStart) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    TJoint* j3 = JointAt(s, 1, 1, 0);
    s->NewBone(j[1], j3);   // a branch off j1
    s->NewBone(j[2], j[0]); // and a loop back to the start
    std::vector<TJoint*> joints;
    s->Bones.Items(0)->CollectDownstreamJoints(s->Bones, joints);
    EXPECT_EQ(joints, (std::vector<TJoint*>{j[2], j[0], j3}));
    std::vector<TBone*> bones;
    s->Bones.Items(0)->CollectDownstreamBones(s->Bones, bones);
    EXPECT_EQ(bones,
              (std::vector<TBone*>{s->Bones.Items(1), s->Bones.Items(3), s->Bones.Items(2)}));
}

} // namespace
} // namespace vel
