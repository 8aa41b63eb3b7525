#include "Skeleton.h"

#include <cmath>
#include <vector>

#include "CoreTestEnv.h"
#include "TsxHelper.h"

namespace vel {
namespace {

class SkeletonTest : public CoreTest {
protected:
    // Moves a joint's host object as the user would, before an update.
    static void Place(TJoint* j, float x, float y, float z) {
        const CtsxVec3f p{x, y, z};
        tsxGNodeSetLocation(j->Node, &p);
    }

    static bool IsIdentity(const CtsxTxmx3f& m) {
        for (int i = 0; i < 12; ++i)
            if (m.m[i] != IdentityTxmx3f.m[i]) return false;
        return true;
    }
};

// ---- structure ----

TEST_F(SkeletonTest, NewJointsGrowAChainFromTheSelection) {
    TSkeleton* s = NewSkel();
    EXPECT_EQ(GetNodeFullName(s->Bag), "Skeleton/.BoneBag");
    s->NewJointAndBone();
    ASSERT_EQ(s->Joints.Count(), 2);
    ASSERT_EQ(s->Bones.Count(), 1);
    EXPECT_VEC_NEAR(s->Joints.Items(0)->Position, 0, 0, 0, 0);
    EXPECT_VEC_NEAR(s->Joints.Items(1)->Position, 1.5f, 0, 0, 0);
    EXPECT_EQ(s->SelectedJoint, s->Joints.Items(1));
    EXPECT_EQ(tsxGetCurrentSelection(), s->Joints.Items(1)->Node);
    for (CtsxSobj o : {s->Joints.Items(0)->Node, s->Bones.Items(0)->Node})
        EXPECT_EQ(tsxGNodeGetParent(o), s->Bag);
    // Sizes: 0.3 of the bone's length on each joint.
    EXPECT_VEC_NEAR(NodeSize(s->Joints.Items(0)->Node), 0.45f, 0.45f, 0.45f, 1e-6);

    TSkeleton* t = NewSkel();
    t->NewJoint(false);
    EXPECT_EQ(t->Joints.Count(), 2);
    EXPECT_EQ(t->Bones.Count(), 0);
}

TEST_F(SkeletonTest, NewJointContinuesPastTheTailOrBackPastTheHead) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {0, 2, 0}});
    s->SelectedJoint = j[1];
    s->NewJoint(false);
    EXPECT_VEC_NEAR(s->SelectedJoint->Position, 0, 4, 0, 1e-6);
    s->SelectedJoint = j[0];
    s->NewJointAndBone();
    EXPECT_VEC_NEAR(s->SelectedJoint->Position, 0, -2, 0, 1e-6);
    EXPECT_EQ(s->Bones.Items(1)->Head, j[0]);
}

TEST_F(SkeletonTest, NewTeeBoneStandsItsTeeOffTheMiddle) {
    TSkeleton* s = NewSkel();
    s->NewTeeBone();
    ASSERT_EQ(s->Bones.Count(), 1);
    auto* t = dynamic_cast<TTeeBone*>(s->Bones.Items(0));
    ASSERT_NE(t, nullptr);
    EXPECT_VEC_NEAR(t->TeeJoint->Position, 0.75f, 1, 0, 1e-6);
    EXPECT_FLOAT_EQ(t->Length, 1.5f);
    EXPECT_NEAR(t->HeadTeeDistance, 1.25f, 1e-6);
    EXPECT_EQ(tsxGNodeGetParent(t->ExtraObject), s->Bag);
    EXPECT_EQ(s->SelectedJoint, t->Tail);
}

TEST_F(SkeletonTest, BuildingTheHierarchyAgainKeepsTheBagsOrder) {
    TSkeleton* s = NewSkel();
    s->NewTeeBone();
    s->NewJointAndBone();
    const CtsxSobj loaded = tsxhost::AddCube("Loaded", 1); // a loaded tee bone's new object
    auto* t = dynamic_cast<TTeeBone*>(s->Bones.Items(0));
    ASSERT_NE(t, nullptr);
    const std::vector<CtsxSobj> before = tsxhost::SceneNodes();
    s->BuildHierarchy();
    EXPECT_EQ(tsxhost::SceneNodes(), before);
    t->ExtraObject = loaded;
    s->BuildHierarchy();
    EXPECT_EQ(tsxGNodeGetParent(loaded), s->Bag);
}

// The host may refuse any object; then the rig neither makes nor uses it, and
// what the host did make stays, in the rig as in the scene.
TEST_F(SkeletonTest, ObjectsTheHostRefusesAreNeitherMadeNorUsed) {
    tsxhost::SetFaults({{"tsxMaterialCreate"}, 1, 0, 0}); // the normal joint colour
    TSkeleton* t = NewSkel();
    t->NewJoint(false);
    EXPECT_EQ(tsxhost::PolyhMaterial(t->Joints.Items(0)->Node), nullptr);
    EXPECT_NE(tsxhost::PolyhMaterial(t->Joints.Items(1)->Node), nullptr); // asked for again

    TSkeleton* s = NewSkel();
    tsxhost::SetFaults({{"tsxObjectLoad", "tsxCreateSphere"}, 0, 1.0, 0}); // no joint objects
    s->NewJointAndBone();
    s->NewTeeBone();
    EXPECT_EQ(s->Joints.Count(), 0);
    EXPECT_EQ(s->Bones.Count(), 0);

    tsxhost::SetFaults({{"tsxObjectCreate"}, 0, 1.0, 0}); // markers and the bone's object
    s->NewJointAndBone();
    EXPECT_EQ(s->Joints.Count(), 2);
    EXPECT_EQ(s->Bones.Count(), 0);
    EXPECT_EQ(s->Joints.Items(0)->Marker, nullptr);

    // The tee bone's extra object, made after its two joints' markers and its
    // bone object: the bone object goes again.
    s->SelectedJoint = s->Joints.Items(1);
    const std::size_t objects = tsxhost::SceneNodes().size();
    tsxhost::SetFaults({{"tsxObjectCreate"}, 4, 0, 0});
    s->NewTeeBone();
    EXPECT_EQ(s->Joints.Count(), 4);
    EXPECT_EQ(s->Bones.Count(), 0);
    EXPECT_EQ(tsxhost::SceneNodes().size(), objects + 4); // two joints and their markers

    // Without a pose-library object or a "Skeleton" group the bag stands alone.
    tsxhost::SetFaults({{"tsxObjectCreate"}, 0, 1.0, 0});
    TSkeleton* alone = CreateSkeletonForBag(tsxhost::AddGroup("Bag"));
    alone->EnsurePoseLibObject();
    alone->BuildHierarchy();
    EXPECT_EQ(alone->PoseLibObject, nullptr);
    EXPECT_EQ(alone->SkeletonObject, nullptr);
    EXPECT_EQ(tsxGNodeGetParent(alone->Bag), tsxGetScene());
    tsxhost::ClearFaults();
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

// ---- relaxation ----

TEST_F(SkeletonTest, ChainRelaxesToItsLengthsAroundANailedRoot) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    j[0]->SetStiff(0);
    Place(j[3], 4, 1, 0);
    s->Update();
    EXPECT_VEC_NEAR(j[0]->Position, 0, 0, 0, 0);
    for (auto& b : s->Bones.List)
        EXPECT_NEAR(TBone::DistanceBetween(*b->Head, *b->Tail), 1, 1e-3);
    // Written back to the host, bones placed on their heads.
    EXPECT_VEC_NEAR(NodeLocation(j[2]->Node), j[2]->Position.x, j[2]->Position.y, 0, 1e-6);
    EXPECT_VEC_NEAR(NodeLocation(s->Bones.Items(2)->Node), j[2]->Position.x, j[2]->Position.y, 0,
                    1e-6);
}

TEST_F(SkeletonTest, RelaxLeavesRestingAndBonelessSkeletonsAlone) {
    TSkeleton* empty = NewSkel();
    JointAt(empty, 1, 2, 3);
    empty->Relax();
    EXPECT_VEC_NEAR(empty->Joints.Items(0)->Position, 1, 2, 3, 0);

    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {0, 0, 2}});
    j[0]->SetStiff(0);
    j[1]->SetStiff(0);
    j[0]->Position = {0, 0, -1}; // two nailed ends still meet the length
    j[1]->Position = {0, 0, 3};
    s->Relax();
    EXPECT_VEC_NEAR(j[0]->Position, 0, 0, 0, 1e-5);
    EXPECT_VEC_NEAR(j[1]->Position, 0, 0, 2, 1e-5);
}

TEST_F(SkeletonTest, TargetRigidAndFloorConstraints) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    s->Bones.Items(0)->Flags = bfTarget;
    Place(j[1], 3, 0, 0);
    s->Update();
    // The target is where the user put it; the head met it half way.
    EXPECT_VEC_NEAR(j[1]->Position, 3, 0, 0, 0);
    EXPECT_VEC_NEAR(j[0]->Position, 1.45f, 0, 0, 1e-5);

    TSkeleton* r = NewSkel();
    auto k = Chain(r, {{0, 0, 0}, {0, 1, 0}});
    r->Bones.Items(0)->Flags = bfRigid;
    Place(k[1], 2, 1, 0);
    r->Update();
    EXPECT_VEC_NEAR(k[0]->Position, 1, 0, 0, 1e-6);
    EXPECT_VEC_NEAR(k[1]->Position, 1, 1, 0, 1e-6);

    TSkeleton* f = NewSkel();
    auto g = Chain(f, {{0, 0, 0}, {1, 0, 0}});
    g[0]->SetStiff(0);
    g[1]->SetFlags(jfOnFloor, true);
    Place(g[0], 0, 0, -0.5f);
    f->Update();
    EXPECT_GE(g[1]->Position.z, 0);
    EXPECT_NEAR(Distance(g[0]->Position, g[1]->Position), 1, 1e-3);
}

TEST_F(SkeletonTest, SetupModeTakesNewRestLengthsAndRebinds) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    CtsxSobj cube = tsxhost::AddCube("Cube", 0.1f);
    s->Bones.Items(0)->Attach(cube);
    SetupMode = true;
    Place(j[1], 3, 0, 0);
    const CtsxVec3f at{5, 5, 5};
    tsxGNodeSetLocation(cube, &at);
    s->Update();
    EXPECT_FLOAT_EQ(s->Bones.Items(0)->Length, 3);
    EXPECT_VEC_NEAR(NodeLocation(cube), 5, 5, 5, 1e-6);
    SetupMode = false;
    s->Update();
    EXPECT_VEC_NEAR(NodeLocation(cube), 5, 5, 5, 1e-5);
}

// ---- moves ----

TEST_F(SkeletonTest, DraggingAJointMovesEachCarriedJointOnce) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    s->NewBone(j[3], j[1]); // a loop back to the dragged joint
    TJoint* linked = JointAt(s, 0, 5, 0);
    linked->SetFlags(jfLinked, true);
    j[1]->SetFlags(jfParentMode | jfLinked, true);
    SetupMode = true; // no relaxation: the moves show as they are
    CtsxTxmx3f m = TranslationMx(0, 0, 1);
    s->ObjectMoved(j[1]->Node, m);
    EXPECT_TRUE(IsIdentity(m));
    EXPECT_VEC_NEAR(j[0]->Position, 0, 0, 0, 0);
    for (int i = 1; i < 4; ++i)
        EXPECT_VEC_NEAR(j[static_cast<std::size_t>(i)]->Position, static_cast<float>(i), 0, 1,
                        1e-6);
    EXPECT_VEC_NEAR(linked->Position, 0, 5, 1, 1e-6);

    CtsxTxmx3f other = TranslationMx(1, 0, 0);
    s->ObjectMoved(tsxhost::AddCube("Cube", 1), other);
    EXPECT_FLOAT_EQ(other.m[3], 1); // not ours: untouched
}

TEST_F(SkeletonTest, DraggingTheGroupMovesTheJointsUnlessTheHostShould) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    OptKeyJoints = false;
    CtsxTxmx3f m = TranslationMx(0, 2, 0);
    s->ObjectMoved(s->Bag, m);
    EXPECT_FLOAT_EQ(m.m[7], 2);
    EXPECT_VEC_NEAR(j[1]->Position, 1, 0, 0, 0);

    OptKeyJoints = true;
    CtsxTxmx3f turn{}; // a quarter turn about x
    turn.m[0] = 1, turn.m[6] = -1, turn.m[9] = 1;
    s->ObjectMoved(s->SkeletonObject, turn);
    EXPECT_TRUE(IsIdentity(turn));
    EXPECT_VEC_NEAR(s->Bones.Items(0)->Twist, 0, -1, 0, 1e-5);
    m = TranslationMx(0, 2, 0);
    s->ObjectMoved(s->Bag, m);
    EXPECT_VEC_NEAR(j[1]->Position, 1, 2, 0, 1e-5);
}

// ---- host deletes and attribute changes ----

TEST_F(SkeletonTest, DeletingAJointTakesItsBonesAndKeepsTheSelectionRight) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    s->SelectedBone = 2;
    s->SelectedJoint = j[0];
    TBone* last = s->Bones.Items(2);
    CtsxSobj node = j[0]->Node;
    tsxhost::Delete(node);
    s->ObjectDeleted(node);
    ASSERT_EQ(s->Bones.Count(), 2);
    EXPECT_EQ(s->SelectedBone, 1);
    EXPECT_EQ(s->Bones.Items(1), last);
    EXPECT_EQ(s->SelectedJoint, nullptr);
    EXPECT_EQ(s->Joints.Count(), 3);
    EXPECT_EQ(j[3]->Index(), 2);

    node = j[2]->Node;
    tsxhost::Delete(node);
    s->ObjectDeleted(node);
    EXPECT_EQ(s->Bones.Count(), 0);
    EXPECT_EQ(s->SelectedBone, -1);
}

TEST_F(SkeletonTest, DeletedMarkersAndBoundObjectsAreForgotten) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    CtsxSobj marker = j[1]->Marker;
    ASSERT_NE(marker, nullptr);
    tsxhost::Delete(marker);
    s->ObjectDeleted(marker);
    EXPECT_EQ(j[1]->Marker, nullptr);
    tsxhost::ResetStaleUses();
    s->Update();
    ASSERT_NE(j[1]->Marker, nullptr);
    EXPECT_NE(j[1]->Marker, marker);
    EXPECT_EQ(tsxhost::StaleUses(), 0);

    CtsxSobj cube = tsxhost::AddCube("Cube", 0.1f);
    s->Bones.Items(0)->Attach(cube);
    tsxhost::Delete(cube);
    s->ObjectDeleted(cube);
    EXPECT_EQ(s->Bones.Items(0)->ChildCount(), 0);

    CtsxSobj bone = s->Bones.Items(0)->Node;
    tsxhost::Delete(bone);
    s->ObjectDeleted(bone);
    EXPECT_EQ(s->Bones.Count(), 0);
    EXPECT_EQ(s->Joints.Count(), 2);
}

TEST_F(SkeletonTest, KeyedTwistAndStiffReachBonesAndJoints) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    const float stiff = 0.25f;
    CtsxFrame f = tsxFrameCreate(StiffAttribute);
    tsxFrameSetData(f, &stiff);
    tsxSobjInsertFrame(j[0]->Node, f, 0, 3);
    s->StiffChanged(j[0]->Node, 3.7f);
    EXPECT_FLOAT_EQ(j[0]->Stiff(), 0.25f);

    TBone* b = s->Bones.Items(0);
    const CtsxVec3f twist{0, 2, 0};
    f = tsxFrameCreate(TwistAttribute);
    tsxFrameSetData(f, &twist);
    tsxSobjInsertFrame(b->Node, f, 0, 3);
    s->TwistChanged(b->Node, 3.2f);
    EXPECT_VEC_NEAR(b->Twist, 0, 1, 0, 1e-6);
    EXPECT_EQ(b->TwistKeyed, 1);
    s->RefreshAttached(); // reads the twist from the node, but not this time
    EXPECT_VEC_NEAR(b->Twist, 0, 1, 0, 1e-6);
    EXPECT_EQ(b->TwistKeyed, 0);

    const CtsxVec3f broken{INFINITY, 0, 0}; // as a damaged scene file may hold
    f = tsxFrameCreate(TwistAttribute);
    tsxFrameSetData(f, &broken);
    tsxSobjInsertFrame(b->Node, f, 0, 8);
    s->TwistChanged(b->Node, 8);
    EXPECT_VEC_NEAR(b->Twist, 0, 1, 0, 1e-6);
}

} // namespace
} // namespace vel
