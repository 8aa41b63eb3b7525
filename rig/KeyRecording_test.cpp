#include "KeyRecording.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "CoreTestEnv.h"

namespace vel {
namespace {

using Spline = std::array<float, 3>;
const Spline kSharp{-1, 0, 0};
const Spline kPlain{0, 0, 0}; // the host's own

CtsxFrame Key(CtsxSobj obj, int kind, float time) {
    return tsxSobjGetFrame(obj, kind, 0, time);
}
// A key at time holding (v, v, v), or as much of it as the kind takes.
void PutKey(CtsxSobj obj, int kind, float time, float v = 1) {
    const CtsxVec3f data{v, v, v};
    CtsxFrame f = tsxFrameCreate(kind);
    tsxFrameSetData(f, &data);
    tsxSobjInsertFrame(obj, f, 0, time);
}
Spline SplineOf(CtsxFrame f) {
    Spline s{9, 9, 9};
    tsxFrameGetSplineParameters(f, &s[0], &s[1], &s[2]);
    return s;
}
CtsxVec3f Data(CtsxSobj obj, int kind, float time) {
    CtsxVec3f v{-5, -5, -5};
    tsxFrameGetData(Key(obj, kind, time), &v);
    return v;
}

using KeyRecordingTest = CoreTest;

TEST_F(KeyRecordingTest, RecordingKeysAtTheActiveTimeAndReusesKeysThere) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    TBone* b = s->Bones.Items(0);
    tsxAnimSetActiveTime(4);
    j[0]->SetStiff(0.25f);
    j[1]->SetFlags(jfSharpKeys, true);
    s->Record();
    EXPECT_FALSE(EditLocked());
    EXPECT_EQ(SplineOf(Key(j[0]->Node, TSX_KIND_LOCATION, 4)), kPlain);
    EXPECT_EQ(SplineOf(Key(j[1]->Node, TSX_KIND_LOCATION, 4)), kSharp);
    EXPECT_EQ(SplineOf(Key(j[0]->Node, StiffAttribute, 4)), kSharp); // always sharp
    EXPECT_EQ(SplineOf(Key(b->Node, TwistAttribute, 4)), kPlain);
    EXPECT_EQ(Data(j[0]->Node, StiffAttribute, 4).x, 0.25f);
    EXPECT_EQ(Key(j[0]->Node, TSX_KIND_LOCATION, 0), nullptr);

    // Again at the same time: the same keys, new data.
    const CtsxFrame stiff = Key(j[0]->Node, StiffAttribute, 4);
    const CtsxFrame twist = Key(b->Node, TwistAttribute, 4);
    j[0]->SetStiff(0.5f);
    j[1]->SetPosition(CtsxVec3f{1, 3, 0});
    b->Twist = CtsxVec3f{0, 1, 0};
    s->Record();
    EXPECT_EQ(Key(j[0]->Node, StiffAttribute, 4), stiff);
    EXPECT_EQ(Key(b->Node, TwistAttribute, 4), twist);
    EXPECT_EQ(Data(j[0]->Node, StiffAttribute, 4).x, 0.5f);
    EXPECT_VEC_NEAR(Data(b->Node, TwistAttribute, 4), 0, 1, 0, 0);
    EXPECT_VEC_NEAR(Data(j[1]->Node, TSX_KIND_LOCATION, 4), 1, 3, 0, 1e-6);
    EXPECT_EQ(tsxSobjGetNextTime(j[0]->Node, StiffAttribute, 4), -1.0f);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(KeyRecordingTest, ErasingTakesOnlyTheListedKindsAtThatTime) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    CtsxSobj joint = j[0]->Node, bone = s->Bones.Items(0)->Node;
    const int all[] = {TSX_KIND_LOCATION, TSX_KIND_ROTATION, TSX_KIND_SIZE, StiffAttribute,
                       TwistAttribute};
    for (CtsxSobj obj : {joint, bone, s->Bag})
        for (int kind : all) {
            PutKey(obj, kind, 3);
            PutKey(obj, kind, 7);
        }
    s->EraseKeys(3);
    EXPECT_FALSE(EditLocked());
    for (int kind : all) {
        EXPECT_EQ(Key(joint, kind, 3) != nullptr, kind == TwistAttribute) << kind;
        EXPECT_EQ(Key(bone, kind, 3) != nullptr, kind == StiffAttribute) << kind;
        EXPECT_EQ(Key(s->Bag, kind, 3) != nullptr, kind > TSX_KIND_SIZE) << kind;
        for (CtsxSobj obj : {joint, bone, s->Bag})
            EXPECT_NE(Key(obj, kind, 7), nullptr) << kind;
    }
}

TEST_F(KeyRecordingTest, CopyingAndSwappingMoveTheRecordedKinds) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {1, 0, 0}});
    CtsxSobj joint = j[0]->Node, bone = s->Bones.Items(0)->Node;
    PutKey(joint, TSX_KIND_LOCATION, 1, 1);
    PutKey(joint, StiffAttribute, 1, 0.2f);
    PutKey(joint, TSX_KIND_SIZE, 1);
    PutKey(bone, TwistAttribute, 1);
    PutKey(s->Bag, TSX_KIND_LOCATION, 1);
    PutKey(joint, StiffAttribute, 3, 0.8f);

    s->CopyKeys(1, 9);
    EXPECT_EQ(Data(joint, StiffAttribute, 9).x, 0.2f);
    EXPECT_EQ(Data(joint, StiffAttribute, 1).x, 0.2f); // a copy, not a move
    EXPECT_VEC_NEAR(Data(joint, TSX_KIND_LOCATION, 9), 1, 1, 1, 0);
    EXPECT_NE(Key(bone, TwistAttribute, 9), nullptr);
    EXPECT_EQ(Key(joint, TSX_KIND_SIZE, 9), nullptr);
    EXPECT_EQ(Key(s->Bag, TSX_KIND_LOCATION, 9), nullptr); // not attached

    s->Joints.SwapKeysAll(1, 3);
    EXPECT_EQ(Data(joint, StiffAttribute, 1).x, 0.8f);
    EXPECT_EQ(Data(joint, StiffAttribute, 3).x, 0.2f);
    EXPECT_NE(Key(joint, TSX_KIND_LOCATION, 3), nullptr);
    EXPECT_NE(Key(joint, TSX_KIND_SIZE, 1), nullptr); // size keys stay

    const CtsxFrame at9 = Key(joint, StiffAttribute, 9);
    s->Joints.SwapKeysAll(9, 9);
    EXPECT_EQ(Key(joint, StiffAttribute, 9), at9);
    EXPECT_EQ(Data(joint, StiffAttribute, 9).x, 0.2f);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(KeyRecordingTest, AnAttachedSkeletonsBagKeysLastOnlyWhileItRecords) {
    TSkeleton* root = NewSkel();
    Chain(root, {{0, 0, 0}, {0, 2, 0}});
    TSkeleton* arm = NewSkel();
    Chain(arm, {{0, 2, 0}, {1, 2, 0}});
    ASSERT_NE(root->Bones.Items(0)->AttachChild(arm->SkeletonObject), nullptr);
    ASSERT_EQ(arm->Attached, 1);
    PutKey(arm->Bag, TSX_KIND_LOCATION, 2);

    tsxhost::SetCallLog(true);
    tsxAnimSetActiveTime(6);
    arm->Record();
    EXPECT_EQ(Key(arm->Bag, TSX_KIND_LOCATION, 6), nullptr);
    EXPECT_EQ(Key(arm->Bag, TSX_KIND_ROTATION, 6), nullptr);
    EXPECT_NE(Key(arm->Bag, TSX_KIND_LOCATION, 2), nullptr);
    EXPECT_NE(Key(arm->Joints.Items(1)->Node, TSX_KIND_LOCATION, 6), nullptr);
    EXPECT_NE(Key(arm->Bones.Items(0)->Node, TwistAttribute, 6), nullptr);
    const auto& log = tsxhost::CallLog();
    const auto calls = [&](const std::string& fn) {
        return std::count_if(log.begin(), log.end(), [&](auto& l) { return l.rfind(fn, 0) == 0; });
    };
    EXPECT_EQ(calls("tsxSobjSetFrame("), 4); // two on the bag, one per joint
    EXPECT_EQ(calls("tsxFrameDelete("), 2);  // the bag's two
    tsxhost::SetCallLog(false);

    root->Record();
    EXPECT_EQ(tsxSobjGetFirstTime(root->Bag, TSX_KIND_LOCATION), -1.0f);
    arm->CopyKeys(2, 11);
    EXPECT_NE(Key(arm->Bag, TSX_KIND_LOCATION, 11), nullptr);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(KeyRecordingTest, RecordedFramesPlayBackThroughTheHost) {
    TSkeleton* s = NewSkel();
    auto j = Chain(s, {{0, 0, 0}, {0, 2, 0}});
    TBone* b = s->Bones.Items(0);
    j[1]->SetStiff(0.2f);
    b->Twist = CtsxVec3f{0, 0, 1};
    s->Record();
    tsxAnimSetActiveTime(10);
    j[1]->SetPosition(CtsxVec3f{0, 0, 2});
    j[1]->SetStiff(0.6f);
    b->Twist = CtsxVec3f{1, 0, 0};
    s->Record();

    // The bag sits at the origin, so the joints' local keys are world places.
    tsxAnimSetActiveTime(5);
    EXPECT_VEC_NEAR(NodeLocation(j[1]->Node), 0, 1, 1, 1e-5);
    EXPECT_NEAR(j[1]->Stiff(), 0.4f, 1e-6);
    EXPECT_VEC_NEAR(b->Twist, std::sqrt(0.5f), 0, std::sqrt(0.5f), 1e-5);
}

} // namespace
} // namespace vel
