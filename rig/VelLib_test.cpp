#include "VelLib.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ServicesTestEnv.h"
#include "Skin.h"

namespace vel {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class VelLibTest : public ServicesTest {
protected:
    // A skeleton with a chain along x whose bones are 1 and 2 long.
    TSkeleton* Arm() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}});
        return s;
    }
    // A grid of vertices along the arm, bound to its first bone with a skin.
    CtsxPolyh SkinFirstBone(TSkeleton* s) {
        std::vector<CtsxVec3f> vxs;
        for (int i = 0; i <= 30; ++i)
            for (float y : {-0.1f, 0.1f})
                vxs.push_back({0.1f * static_cast<float>(i), y, 0});
        CtsxPolyh mesh = tsxhost::AddPolyhedron("Skin", vxs, {});
        TBone* b = s->Bones.Items(0);
        b->AttachChild(mesh);
        s->EnableSkin(mesh, b);
        return mesh;
    }
    static bool HasLocationKey(CtsxSobj obj, float time) {
        return tsxSobjGetFrame(obj, TSX_KIND_LOCATION, 0, time) != nullptr;
    }

    std::vector<TJoint*> joints;
};

// ---- walking skeletons, bones and children ----

TEST_F(VelLibTest, SkeletonsAreWalkedInListOrderByTheirObjects) {
    EXPECT_EQ(velGetFirstSkeleton(), nullptr);
    velNewSkeleton();
    velNewSkeleton();
    ASSERT_EQ(SkeletonCount(), 2);
    CtsxSobj first = velGetFirstSkeleton();
    EXPECT_EQ(first, SkeletonByIndex(0)->SkeletonObject);
    CtsxSobj second = velGetNextSkeleton(first);
    EXPECT_EQ(second, SkeletonByIndex(1)->SkeletonObject);
    EXPECT_EQ(velGetNextSkeleton(second), nullptr);
    // Only a skeleton group names a skeleton, not its bag.
    EXPECT_EQ(velGetNextSkeleton(SkeletonByIndex(0)->Bag), nullptr);
    EXPECT_EQ(velGetNextSkeleton(nullptr), nullptr);

    EXPECT_EQ(velSelectSkeleton(first), 1);
    EXPECT_EQ(CurrentSkeleton, SkeletonByIndex(0));
    EXPECT_EQ(velSelectSkeleton(SkeletonByIndex(1)->Bag), 0);
    EXPECT_EQ(velSelectSkeleton(nullptr), 0);
    EXPECT_EQ(CurrentSkeleton, SkeletonByIndex(0));

    velClearSkeletons();
    EXPECT_EQ(SkeletonCount(), 0);
    EXPECT_EQ(CurrentSkeleton, nullptr);
    EXPECT_EQ(velGetFirstSkeleton(), nullptr);
}

TEST_F(VelLibTest, BonesAreWalkedInTheSkeletonsBoneOrder) {
    TSkeleton* s = Arm();
    CtsxSobj skel = s->SkeletonObject;
    CtsxSobj b0 = velGetFirstBone(skel);
    EXPECT_EQ(b0, s->Bones.Items(0)->Node);
    CtsxSobj b1 = velGetNextBone(skel, b0);
    EXPECT_EQ(b1, s->Bones.Items(1)->Node);
    EXPECT_EQ(velGetNextBone(skel, b1), nullptr);
    EXPECT_EQ(velGetNextBone(skel, joints[0]->Node), nullptr); // a joint is no bone

    TSkeleton* empty = NewSkel();
    EXPECT_EQ(velGetFirstBone(empty->SkeletonObject), nullptr);
    // A bone of another skeleton is not found in this one.
    EXPECT_EQ(velGetNextBone(empty->SkeletonObject, b0), nullptr);
    EXPECT_EQ(velGetFirstBone(b0), nullptr);
}

TEST_F(VelLibTest, ChildrenAreWalkedInBindingOrderAndTheLastLeavesTheHandle) {
    TSkeleton* s = Arm();
    TBone* bone = s->Bones.Items(1);
    CtsxSobj a = tsxhost::AddCube("A", 0.1f);
    CtsxSobj b = tsxhost::AddCube("B", 0.1f);
    EXPECT_EQ(velGetFirstChild(bone->Node), nullptr);
    bone->AttachChild(a);
    bone->AttachChild(b);

    CtsxSobj child = velGetFirstChild(bone->Node);
    EXPECT_EQ(child, a);
    EXPECT_EQ(velGetNextChild(bone->Node, &child), 1);
    EXPECT_EQ(child, b);
    EXPECT_EQ(velGetNextChild(bone->Node, &child), 0);
    EXPECT_EQ(child, b);

    CtsxSobj stranger = joints[0]->Node;
    EXPECT_EQ(velGetNextChild(bone->Node, &stranger), 0);
    EXPECT_EQ(stranger, joints[0]->Node);
    CtsxSobj none = nullptr;
    EXPECT_EQ(velGetNextChild(bone->Node, &none), 0);
    EXPECT_EQ(velGetNextChild(bone->Node, nullptr), 0);
    child = a;
    EXPECT_EQ(velGetNextChild(s->Bones.Items(0)->Node, &child), 0); // bound elsewhere
    EXPECT_EQ(velGetFirstChild(a), nullptr);
}

// ---- skins ----

TEST_F(VelLibTest, SkinCountAndWeightsAreThoseOfTheChildsArea) {
    TSkeleton* s = Arm();
    CtsxPolyh mesh = SkinFirstBone(s);
    CtsxSobj bone = s->Bones.Items(0)->Node;
    const TSkinArea* area = s->Bones.Items(0)->SkinAreas(0);
    ASSERT_NE(area, nullptr);
    velRefreshSkeletons(); // the deformation weighs the listed vertices

    const std::int32_t n = velGetChildSkinCount(bone, mesh);
    ASSERT_GT(n, 0);
    EXPECT_EQ(n, area->UsableCount());
    // One entry more than asked for: nothing is written past the count.
    std::vector<std::int32_t> indexes(static_cast<std::size_t>(n) + 1, -7);
    std::vector<float> weights(static_cast<std::size_t>(n) + 1, -7.0f);
    velGetChildVertexWeights(bone, mesh, indexes.data(), weights.data());
    float total = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(indexes[k], area->Indexes[k]);
        EXPECT_EQ(weights[k], area->AreaWeights[k]);
        total += weights[k];
    }
    EXPECT_GT(total, 0.0f);
    EXPECT_EQ(indexes.back(), -7);
    EXPECT_EQ(weights.back(), -7.0f);
    velGetChildVertexWeights(bone, mesh, nullptr, weights.data()); // refused, no crash
    velGetChildVertexWeights(bone, mesh, indexes.data(), nullptr);
}

TEST_F(VelLibTest, SkinCountIsZeroUnlessBoneChildAreaAndSkinAllExist) {
    TSkeleton* s = Arm();
    CtsxPolyh mesh = SkinFirstBone(s);
    CtsxSobj other = s->Bones.Items(1)->Node;
    EXPECT_EQ(velGetChildSkinCount(other, mesh), 0); // bound to the first bone only
    EXPECT_EQ(velGetChildSkinCount(joints[0]->Node, mesh), 0);
    EXPECT_EQ(velGetChildSkinCount(s->Bones.Items(0)->Node, nullptr), 0);

    // Bound without a skin area.
    CtsxSobj cube = tsxhost::AddCube("Plain", 0.1f);
    s->Bones.Items(1)->AttachChild(cube);
    EXPECT_EQ(velGetChildSkinCount(other, cube), 0);

    // The area is still there, but the skeleton lost the skin object.
    s->Skins->List.clear();
    EXPECT_EQ(velGetChildSkinCount(s->Bones.Items(0)->Node, mesh), 0);
    std::int32_t index = -3;
    float weight = -3;
    velGetChildVertexWeights(s->Bones.Items(0)->Node, mesh, &index, &weight);
    EXPECT_EQ(index, -3);
    EXPECT_EQ(weight, -3);
}

// ---- bone matrices ----

TEST_F(VelLibTest, BoneMatrixRoundTripsAndLengthOnlyWhenPositive) {
    TSkeleton* s = Arm();
    TBone* bone = s->Bones.Items(1);
    CtsxTxmx3f m{};
    float length = 0;
    velGetBoneMatrix(bone->Node, &m, &length);
    EXPECT_FLOAT_EQ(length, 2.0f);
    EXPECT_FLOAT_EQ(bone->Length, 2.0f);

    velSetBoneMatrix(bone->Node, &m, 3.0f);
    EXPECT_FLOAT_EQ(bone->Length, 3.0f);
    EXPECT_NEAR(Distance(bone->Head->Position, bone->Tail->Position), 3.0f, 1e-4);
    for (float keep : {0.0f, -1.0f}) {
        velSetBoneMatrix(bone->Node, &m, keep);
        EXPECT_FLOAT_EQ(bone->Length, 3.0f);
    }
    // Only one of the two answers is wanted.
    float only = 0;
    velGetBoneMatrix(bone->Node, nullptr, &only);
    EXPECT_NEAR(only, 3.0f, 1e-4);
    CtsxTxmx3f copy{};
    velGetBoneMatrix(bone->Node, &copy, nullptr);
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(copy.m[i], m.m[i], 1e-4) << i;
}

TEST_F(VelLibTest, BoneMatrixRefusesNullAndWhatIsNotFiniteInOrOut) {
    TSkeleton* s = Arm();
    TBone* bone = s->Bones.Items(1);
    CtsxTxmx3f m{};
    velGetBoneMatrix(bone->Node, &m, nullptr);
    const CtsxVec3f tail = bone->Tail->Position;
    for (float bad : {kNaN, kInf, -kInf}) {
        velSetBoneMatrix(bone->Node, &m, bad);
        EXPECT_FLOAT_EQ(bone->Length, 2.0f);
    }
    CtsxTxmx3f poisoned = m;
    poisoned.m[5] = kNaN;
    velSetBoneMatrix(bone->Node, &poisoned, 1.0f);
    velSetBoneMatrix(bone->Node, nullptr, 1.0f);
    EXPECT_FLOAT_EQ(bone->Length, 2.0f);
    EXPECT_VEC_NEAR(bone->Tail->Position, tail.x, tail.y, tail.z, 0);

    // A bone that is not found leaves both answers as they were.
    CtsxTxmx3f untouched{};
    untouched.m[0] = 42;
    float length = 42;
    velGetBoneMatrix(joints[0]->Node, &untouched, &length);
    EXPECT_EQ(untouched.m[0], 42);
    EXPECT_EQ(length, 42);

    // Finite input whose tail would not be finite: the bone points along +x,
    // and 3e38 past its head at 3e38 is past the floats.
    bone->Head->SetPosition(CtsxVec3f{3e38f, 0, 0});
    velSetBoneMatrix(bone->Node, &m, 3e38f);
    EXPECT_FLOAT_EQ(bone->Length, 2.0f);
    EXPECT_VEC_NEAR(bone->Tail->Position, tail.x, tail.y, tail.z, 0);
    EXPECT_VEC_NEAR(NodeLocation(bone->Tail->Node), tail.x, tail.y, tail.z, 0);
    // Finite all the way: taken.
    velSetBoneMatrix(bone->Node, &m, 2e37f);
    EXPECT_FLOAT_EQ(bone->Length, 2e37f);
    EXPECT_FLOAT_EQ(NodeLocation(bone->Tail->Node).x, 3.2e38f);
}

// Joints each at a finite place but too far apart for a float length: the
// bone keeps its rest length, vector and roll, scripts get no answer, and a
// setup-mode update (which takes lengths as rest lengths) stores no infinity.
TEST_F(VelLibTest, JointsTooFarApartForAFloatLengthChangeNothing) {
    TSkeleton* s = Arm();
    TBone* bone = s->Bones.Items(1);
    const float length = bone->Length;
    const CtsxVec3f rest = bone->RestVector, twist = bone->Twist;
    bone->Head->SetPosition(CtsxVec3f{-2e38f, 0, 0});
    bone->Tail->SetPosition(CtsxVec3f{1e38f, 3e38f, 3e38f});
    bone->UpdateLength();
    EXPECT_FLOAT_EQ(bone->Length, length);
    EXPECT_VEC_NEAR(bone->RestVector, rest.x, rest.y, rest.z, 0);

    CtsxTxmx3f m{};
    m.m[0] = 42;
    float answered = 42;
    velGetBoneMatrix(bone->Node, &m, &answered);
    EXPECT_EQ(m.m[0], 42);
    EXPECT_EQ(answered, 42);
    EXPECT_VEC_NEAR(bone->Twist, twist.x, twist.y, twist.z, 0);

    velSetupMode();
    tsxhost::Select(bone->Tail->Node);
    tsxhost::Drag(TranslationMx(0, 0, 0));
    for (TBone* b : {s->Bones.Items(0), bone}) {
        EXPECT_TRUE(std::isfinite(b->Length));
        EXPECT_TRUE(IsFinite(b->RestVector) && IsFinite(b->Twist));
    }
}

TEST_F(VelLibTest, RefreshRunsTheUpdateThatSetBoneMatrixLeavesOut) {
    TSkeleton* s = Arm();
    TBone* bone = s->Bones.Items(0);
    CtsxTxmx3f m{};
    velGetBoneMatrix(bone->Node, &m, nullptr);
    const CtsxVec3f before = NodeSize(bone->Node);
    velSetBoneMatrix(bone->Node, &m, 4.0f);
    EXPECT_VEC_NEAR(NodeSize(bone->Node), before.x, before.y, before.z, 0);
    velRefreshSkeletons();
    EXPECT_NE(NodeSize(bone->Node).x, before.x); // the bone object is stretched again
}

// ---- modes ----

TEST_F(VelLibTest, ModesDoNothingBeforeTheToolWindowExists) {
    EXPECT_EQ(velIsSetupMode(), 0);
    velSetupMode();
    EXPECT_EQ(velIsSetupMode(), 0);
    SetupMode = true;
    EXPECT_EQ(velIsSetupMode(), 1);
    velAnimateMode();
    EXPECT_EQ(velIsSetupMode(), 1);
    EXPECT_TRUE(editor.Calls.empty());
}

TEST_F(VelLibTest, ModesSwitchThePageAndRunItsHandlerOnlyOnAChange) {
    Arm();
    tsxhost::ClickLeft(); // the window opens on the setup page
    ASSERT_NE(editor.ToolWindow(), nullptr);
    editor.Calls.clear();
    velSetupMode(); // already there: no handler
    EXPECT_TRUE(editor.Calls.empty());

    velAnimateMode();
    EXPECT_EQ(editor.Calls,
              (std::vector<std::string>{"SetToolsActivePage(Animate)", "ToolsPageControlChange"}));
    EXPECT_EQ(editor.Page, tpAnimate);
    editor.Calls.clear();
    velAnimateMode();
    EXPECT_TRUE(editor.Calls.empty());
    velSetupMode();
    EXPECT_EQ(editor.Calls,
              (std::vector<std::string>{"SetToolsActivePage(Setup)", "ToolsPageControlChange"}));
    EXPECT_EQ(editor.Page, tpSetup);
}

// ---- frames and recording ----

TEST_F(VelLibTest, FramesMoveTheHostsTimeAndIgnoreNonFiniteFrames) {
    velSetActiveFrame(5);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
    EXPECT_EQ(editor.CurrentFrame, 5);
    velSetActiveFrame(kNaN);
    velSetRecordFrame(kInf);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
}

TEST_F(VelLibTest, RecordFrameKeepsThePosesThroughTheFrameController) {
    Arm();
    velSetRecordFrame(4);
    velSetActiveFrame(0);
    EXPECT_EQ(editor.CallsOf("SetActive"),
              (std::vector<std::string>{"SetActiveFrameUpdating(4)", "SetActiveFrame(0)"}));
}

TEST_F(VelLibTest, RecordAsksTheShuttleAndTheFlagRepaintsTheDopeSheet) {
    TSkeleton* s = Arm();
    editor.Calls.clear();
    velRecord();
    EXPECT_EQ(editor.Calls, std::vector<std::string>{"ShuttleRecordKeys"});

    editor.Calls.clear();
    velSkeletonSetRecording(s->SkeletonObject, 0);
    EXPECT_EQ(velSkeletonGetRecording(s->SkeletonObject), 0);
    velSkeletonSetRecording(s->SkeletonObject, 2); // any byte but 0 is true
    EXPECT_EQ(velSkeletonGetRecording(s->SkeletonObject), 1);
    EXPECT_EQ(s->Recording, 1);
    EXPECT_EQ(velSkeletonGetRecording(s->Bag), 0);
    velSkeletonSetRecording(nullptr, 1); // nothing to set, nothing to repaint
    EXPECT_EQ(editor.Calls, (std::vector<std::string>{"DopeGridInvalidate", "DopeGridInvalidate"}));
}

} // namespace
} // namespace vel
