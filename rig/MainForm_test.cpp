#include "MainForm.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Bone.h"
#include "ExtObjVectData.h"
#include "FileIO.h"
#include "ServicesTestEnv.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "TestPaths.h"
#include "Timers.h"
#include "VelLib.h"

namespace vel {
namespace {

class MainFormTest : public ServicesTest {
protected:
    void SetUp() override {
        ServicesTest::SetUp();
        testing::ResetFileIOUnit();
    }
    void TearDown() override {
        testing::ResetFileIOUnit();
        OptHideAttached = OptHideUnattached = SkipSubDivRebuild = false;
        ServicesTest::TearDown();
    }
    // A current skeleton with joints at x = 0, 1, 2 and two bones.
    TSkeleton* Line() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
        return s;
    }
    // Pens of the front view's polylines: a bone shape draws four-point lines,
    // a joint marker closed five-point squares.
    struct Drawn {
        std::multiset<int> bones, markers;
    };
    static Drawn Redraw() {
        tsxAllViewsRefresh();
        tsxhost::IdleRedraw();
        Drawn d;
        for (const auto& line : tsxhost::ViewLines(0))
            (line.points.size() == 4 ? d.bones : d.markers).insert(line.pen);
        return d;
    }
    static std::multiset<int> Pens(std::size_t n, int pen) {
        const std::vector<int> v(n, pen);
        return {v.begin(), v.end()};
    }
    std::vector<TJoint*> joints;
};

TEST(ExtObjVectData, ShapesAreWellFormed) {
    for (PtsxVectorObject shape : {BoneShape(), PyramidShape(), JointMarkerShape()}) {
        int n = 0;
        for (; shape->indices[n] != -1 && n < 1000; ++n)
            EXPECT_TRUE(shape->indices[n] == -2 ||
                        (shape->indices[n] >= 0 && shape->indices[n] < shape->nbrVxs));
        EXPECT_LT(n, 1000) << "no end mark";
    }
    // The marker: 30 closed squares over 32 corners, each flat across one axis.
    const PtsxVectorObject m = JointMarkerShape();
    ASSERT_EQ(m->nbrVxs, 32);
    std::set<int> used;
    for (int q = 0; q < 30; ++q) {
        const int* e = m->indices + q * 6;
        EXPECT_EQ(e[0], e[4]);
        EXPECT_EQ(e[5], q == 29 ? -1 : -2);
        int flat = 0;
        for (float CtsxVec3f::*axis : {&CtsxVec3f::x, &CtsxVec3f::y, &CtsxVec3f::z}) {
            const float c = m->vxs[e[0]].*axis;
            flat += c == m->vxs[e[1]].*axis && c == m->vxs[e[2]].*axis && c == m->vxs[e[3]].*axis;
        }
        EXPECT_EQ(flat, 1) << "quad " << q;
        used.insert(e, e + 4);
    }
    EXPECT_EQ(used.size(), 32u);
}

TEST_F(MainFormTest, FirstGetDataRunsTheStartUpInStreamOrder) {
    // The module again on a fresh host, logged from the first call.
    DropModule();
    MakeModule();
    tsxhost::SetCallLog(true);
    CtsxPluginData data;
    tsxhost::LoadSequence(7, &data);

    std::string seen;
    for (const std::string& line : tsxhost::CallLog()) {
        const std::string name = line.substr(0, line.find('('));
        const auto quote = line.find('"');
        if (name.find("Define") != std::string::npos || name == "tsxAnimCreateAttribute")
            seen += line.substr(quote + 1, line.find('"', quote + 1) - quote - 1) + " ";
        else if (name == "tsxRegisterEventCallback")
            seen += "class" + line.substr(name.size() + 1, 1) + " ";
        else if (name.size() > 2 && name.compare(name.size() - 2, 2, "CB") == 0)
            seen += name + " ";
    }
    EXPECT_EQ(seen, "velBone velSkeleton class3 class0 tsxSelectionChangedCB tsxOnDestroyCB "
                    "tsxActiveTimeChangedCB tsxCurrobjMoveCB velPoseLibrary velVolume "
                    "velVolumeCap velJointShow velBoneT Twist Stiff Vel_j_0 Vel_j_1 ");

    tsxhost::ClearCallLog();
    tsxhost::LoadSequence(7, &data);
    for (const std::string& line : tsxhost::CallLog())
        EXPECT_EQ(line.find("Define"), std::string::npos) << line;
}

TEST_F(MainFormTest, HostEventsAreFilteredByLockActivityAndType) {
    TSkeleton* first = Line();
    TSkeleton* second = NewSkel();
    BeginEdit();
    tsxhost::Select(joints[1]->Node);
    tsxhost::SetTime(5);
    EndEdit();
    EXPECT_EQ(CurrentSkeleton, second);
    EXPECT_EQ(editor.CurrentFrame, 0);
    tsxhost::Select(joints[1]->Node);
    EXPECT_EQ(CurrentSkeleton, first);

    tsxhost::Deactivate();
    tsxhost::SetTime(6);
    tsxhost::SendNotify(joints[0]->Node, TSX_NOTIFY_ANIMNAV);
    EXPECT_EQ(editor.CurrentFrame, 0);
    EXPECT_FALSE(editor.FrameDirty);
    tsxhost::ClickLeft();
    tsxhost::SetTime(7);
    tsxhost::SendNotify(joints[0]->Node, TSX_NOTIFY_ANIMNAV);
    EXPECT_EQ(editor.CurrentFrame, 7);
    EXPECT_TRUE(editor.FrameDirty);

    // Destroyed objects: not the host's own kinds (below 50), not under the
    // lock, not without a main view.
    TBone* bone = first->Bones.Items(0);
    CtsxSobj prop = tsxhost::AddNull("Prop"), cube = tsxhost::AddCube("Box", 1);
    bone->Attach(prop);
    bone->Attach(cube);
    tsxhost::Delete(prop);
    BeginEdit();
    tsxhost::Delete(cube);
    EndEdit();
    EXPECT_EQ(bone->ChildCount(), 2);
    tsxhost::SetMainViewHwnd(nullptr);
    tsxhost::Delete(first->Bag);
    tsxhost::SetMainViewHwnd(reinterpret_cast<void*>(1));
    EXPECT_EQ(SkeletonCount(), 2);
    tsxhost::Delete(second->Bag);
    EXPECT_EQ(SkeletonCount(), 1);
}

TEST_F(MainFormTest, GeneralEventsFiveSixAndSeven) {
    Line();
    tsxhost::SetTime(5);
    tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVED);
    BeginEdit();
    tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE);
    tsxhost::SendGeneralEvent(e_tsxGA_OBJLOAD);
    tsxhost::SendGeneralEvent(e_tsxGA_SCNLOAD); // this one under the lock too
    EndEdit();
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
    EXPECT_FALSE(form->ObjectLoadedTimer->Enabled());
    EXPECT_TRUE(form->SceneLoadedTimer->Enabled());

    tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE); // before a save: back to frame 0
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
    tsxhost::SendGeneralEvent(e_tsxGA_OBJLOAD);
    EXPECT_TRUE(form->ObjectLoadedTimer->Enabled());
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_FALSE(form->ObjectLoadedTimer->Enabled() || form->SceneLoadedTimer->Enabled());
    EXPECT_FALSE(form->ActivateTimer->Enabled());
}

TEST_F(MainFormTest, RenderingFollowsTheAnimationUntilItEnds) {
    TSkeleton* s = Line();
    SkipSubDivRebuild = true;
    tsxhost::SendRenderEvent(1); // begin
    EXPECT_TRUE(form->Rendering());
    EXPECT_FALSE(SkipSubDivRebuild);
    EXPECT_EQ(tsxMNodeIsVisible(joints[0]->Node), 0);

    const CtsxVec3f p{2, 1, 0};
    tsxGNodeSetLocation(joints[2]->Node, &p);
    tsxhost::SendRenderEvent(3, 1); // frame start
    EXPECT_GT(s->Joints.Items(2)->Position.y, 0.5f);

    tsxhost::Deactivate();
    tsxhost::SendRenderEvent(2); // end, after a deactivation
    EXPECT_FALSE(form->Rendering());
    EXPECT_TRUE(SkipSubDivRebuild);
    EXPECT_EQ(tsxMNodeIsVisible(joints[0]->Node), 1);

    // A begin while inactive does nothing, nor does its abort.
    tsxhost::SendRenderEvent(1);
    EXPECT_TRUE(SkipSubDivRebuild);
    tsxhost::ClickLeft();
    SkipSubDivRebuild = false;
    tsxhost::SendRenderEvent(5);
    EXPECT_FALSE(SkipSubDivRebuild);
}

TEST_F(MainFormTest, WirePensShowTheSelection) {
    TSkeleton* s = Line();
    s->SelectedBone = 1;
    joints[0]->SetStiff(0);
    tsxhost::Select(joints[1]->Node);
    Drawn d = Redraw();
    EXPECT_EQ(d.bones.count(e_tsxPEN_GREEN), 8u);
    EXPECT_EQ(d.bones.count(e_tsxPEN_BLUE), 8u);
    EXPECT_EQ(d.markers.count(e_tsxPEN_RED), 30u); // nailed
    EXPECT_EQ(d.markers.count(e_tsxPEN_GREEN), 30u);
    EXPECT_EQ(d.markers.count(e_tsxPEN_BLUE), 30u);
    tsxhost::Select(joints[0]->Node);
    EXPECT_EQ(Redraw().markers.count(e_tsxPEN_INACTIVESUB), 30u);
    SetCurrentSkeleton(nullptr);
    d = Redraw();
    EXPECT_EQ(d.markers.count(e_tsxPEN_RED) + d.bones.count(e_tsxPEN_GREEN), 0u);
}

TEST_F(MainFormTest, HideOptionsPickWhichBonesAreDrawn) {
    TSkeleton* s = Line();
    // Bone 0 carries an arm and is drawn green, bone 1 is bare and blue.
    s->Bones.Items(0)->Attach(tsxhost::AddCube("Arm", 0.2f));
    s->SelectedBone = 0;
    OptHideAttached = true;
    EXPECT_EQ(Redraw().bones, Pens(8, e_tsxPEN_BLUE));
    OptHideUnattached = true;
    EXPECT_TRUE(Redraw().bones.empty());
    OptHideAttached = false;
    EXPECT_EQ(Redraw().bones, Pens(8, e_tsxPEN_GREEN));
    ClearSkeletons(); // bones of no skeleton are drawn
    EXPECT_EQ(Redraw().bones.size(), 16u);
}

TEST_F(MainFormTest, PaintJointMessageLeavesTheLockClear) {
    Line();
    fw::SendMessage(form->Handle(), CM_PAINTJOINT, reinterpret_cast<fw::WPARAM>(joints[1]->Node),
                    1);
    EXPECT_EQ(tsxhost::PolyhMaterial(joints[1]->Node), JointMaterial(true));
    EXPECT_FALSE(EditLocked());
}

TEST_F(MainFormTest, ADraggedJointRelaxesTheSkeletonAndBecomesAnUndoEntry) {
    TSkeleton* s = Line();
    tsxhost::Select(joints[2]->Node);
    const std::size_t undo = s->UndoStates.size();
    tsxhost::Drag(TranslationMx(0, 1, 0));
    EXPECT_NEAR(Distance(joints[0]->Position, joints[1]->Position), 1.0f, 0.02f);
    EXPECT_NEAR(Distance(joints[1]->Position, joints[2]->Position), 1.0f, 0.02f);
    EXPECT_GT(joints[2]->Position.y, 0.3f);
    EXPECT_NEAR(Distance(NodeLocation(joints[2]->Node), joints[2]->Position), 0, 1e-4f);
    ASSERT_EQ(s->UndoStates.size(), undo + 1);
    EXPECT_EQ(s->UndoStates.back()->Name, "Joint Moved");

    tsxhost::SendNotify(s->Bag, TSX_NOTIFY_OBJNAV, 0); // still moving
    tsxhost::SendNotify(s->Bag, TSX_NOTIFY_OBJNAV, 1);
    ASSERT_EQ(s->UndoStates.size(), undo + 2);
    EXPECT_EQ(s->UndoStates.back()->Name, "Skeleton Moved");
}

TEST_F(MainFormTest, DraggingAJointInSetupModeSetsNewRestLengths) {
    TSkeleton* s = Line();
    SetupMode = true;
    tsxhost::Select(joints[2]->Node);
    tsxhost::Drag(TranslationMx(1, 0, 0));
    EXPECT_VEC_NEAR(joints[2]->Position, 3, 0, 0, 1e-4f);
    EXPECT_VEC_NEAR(joints[1]->Position, 1, 0, 0, 1e-4f);
    EXPECT_NEAR(s->Bones.Items(1)->Length, 2.0f, 1e-4f);
    // Under the lock the host moves the joint itself; the rig takes no part.
    BeginEdit();
    tsxhost::Drag(TranslationMx(1, 0, 0));
    EndEdit();
    EXPECT_NEAR(NodeLocation(joints[2]->Node).x, 4.0f, 1e-4f);
    EXPECT_NEAR(s->Bones.Items(1)->Length, 2.0f, 1e-4f);
}

class MainFormLoadTest : public MainFormTest {
protected:
    // A skeleton beside a helper object of each kind a load deletes, saved.
    std::vector<std::uint8_t> SavedRig() {
        Line();
        for (TTsxExtObj* helper : {form->VolumeExtObj, form->PyramidExtObj})
            tsxSceneAddObject(helper->CreateObject(), 1);
        return tsxhost::SaveSceneToBytes();
    }
    static int Helpers() {
        int n = 0;
        for (CtsxSobj o : tsxhost::SceneNodes())
            n += tsxSobjGetType(o) == MainForm->VolumeExtObj->SObjType() ||
                 tsxSobjGetType(o) == MainForm->PyramidExtObj->SObjType();
        return n;
    }
    void Load(const std::vector<std::uint8_t>& bytes) {
        std::string error;
        ASSERT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
    }
    // Every joint with its marker, by name.
    static std::vector<std::string> Markers() {
        std::vector<std::string> names;
        for (std::int32_t i = 0; i < SkeletonCount(); ++i)
            for (const auto& j : SkeletonByIndex(i)->Joints.List)
                names.push_back(GetNodeName(j->Node) + " " + GetNodeName(j->Marker));
        return names;
    }
    // Opens the scene and lets the rig rebuild it, then saves: the same
    // bytes, cycle after cycle, and each joint with the marker it had.
    void ExpectReloadsKeep(const std::vector<std::uint8_t>& first, int cycles) {
        const std::vector<std::string> markers = Markers();
        for (int cycle = 0; cycle < cycles; ++cycle) {
            Load(first);
            fw::AdvanceClock(kLoadTimerInterval);
            tsxhost::IdleRedraw();
            ASSERT_EQ(tsxhost::SaveSceneToBytes(), first) << "cycle " << cycle;
            ASSERT_EQ(Markers(), markers) << "cycle " << cycle;
        }
    }
    // Line() with a tee bone on each end and a strip bound to its two bones
    // in setup mode; then animate mode.
    TSkeleton* SkinnedLine() {
        SetupMode = true;
        TSkeleton* s = Line();
        for (TJoint* end : {joints[2], joints[0]}) {
            s->SetSelectedJoint(end);
            s->NewTeeBone();
        }
        std::vector<CtsxVec3f> vxs;
        for (int i = 0; i <= 12; ++i)
            vxs.push_back({0.2f * static_cast<float>(i) - 0.2f, i % 2 ? 0.1f : -0.1f, 0.05f});
        const CtsxPolyh strip = tsxhost::AddPolyhedron("Strip", vxs, {});
        for (std::int32_t b = 0; b < 2; ++b) {
            s->Bones.Items(b)->AttachChild(strip);
            s->EnableSkin(strip, s->Bones.Items(b));
        }
        SetupMode = false;
        s->Refresh();
        return s;
    }
};

TEST_F(MainFormLoadTest, ASavedSceneIsRebuiltOnTheTimer) {
    const std::vector<std::uint8_t> bytes = SavedRig();
    tsxhost::Deactivate();
    Load(bytes);
    EXPECT_EQ(form->DeleteAfterLoad().size(), 2u);
    fw::AdvanceClock(kLoadTimerInterval - 1);
    EXPECT_TRUE(HasPendingBones());
    fw::AdvanceClock(1);
    ASSERT_EQ(SkeletonCount(), 1);
    TSkeleton* s = SkeletonByIndex(0);
    EXPECT_EQ(CurrentSkeleton, s);
    EXPECT_EQ(s->Bones.Count(), 2);
    ASSERT_EQ(s->Joints.Count(), 3);
    EXPECT_VEC_NEAR(s->Joints.Items(2)->Position, 2, 0, 0, 1e-4f);
    // The plug-in was clicked and its window opened on the animate page.
    EXPECT_TRUE(PluginActive());
    const long animate = editor.Find("SetOpenOnAnimatePage(1)");
    EXPECT_GE(animate, 0);
    EXPECT_GT(editor.Find("MakeToolWindow", animate), animate);
    ASSERT_NE(editor.ToolWindow(), nullptr);
    EXPECT_TRUE(editor.ToolWindow()->Visible());
    EXPECT_TRUE(form->DeleteAfterLoad().empty());
    EXPECT_EQ(Helpers(), 0);
    EXPECT_FALSE(EditLocked());
}

TEST_F(MainFormLoadTest, ALoadWithoutBonesKeepsItsHelpersAndDropsTheOldRig) {
    const std::vector<std::uint8_t> full = SavedRig();
    for (CtsxSobj o : tsxhost::SceneNodes())
        if (tsxSobjGetType(o) == form->TsxBoneExtObj->SObjType()) tsxSobjDelete(o);
    const std::vector<std::uint8_t> helpersOnly = tsxhost::SaveSceneToBytes();
    ASSERT_EQ(SkeletonCount(), 1);

    tsxhost::ResetStaleUses();
    Load(helpersOnly);
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_EQ(SkeletonCount(), 0);
    EXPECT_EQ(CurrentSkeleton, nullptr);
    EXPECT_EQ(form->DeleteAfterLoad().size(), 2u);
    EXPECT_EQ(Helpers(), 2);

    // The next load with bones deletes its own helpers and passes over those
    // that went with the replaced scene.
    Load(full);
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_EQ(SkeletonCount(), 1);
    EXPECT_TRUE(form->DeleteAfterLoad().empty());
    EXPECT_EQ(Helpers(), 0);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(MainFormLoadTest, TheHelpersALoadDeletesAreNeverObjectsThatTookTheirHandles) {
    tsxhost::SetReuseHandles(true);
    SavedRig();
    const std::filesystem::path path = fw::TestPath("rig.scn");
    std::string error;
    ASSERT_TRUE(tsxhost::SaveScene(path.string(), &error)) << error;
    for (CtsxSobj o : tsxhost::SceneNodes())
        if (tsxSobjGetType(o) == form->TsxBoneExtObj->SObjType()) tsxSobjDelete(o);
    Load(tsxhost::SaveSceneToBytes()); // no bones: the helpers are listed and kept
    fw::AdvanceClock(kLoadTimerInterval);
    ASSERT_EQ(form->DeleteAfterLoad().size(), 2u);
    // The user deletes one and makes a cube, which the host gives its handle.
    const CtsxSobj helper = form->DeleteAfterLoad()[0].Object;
    tsxhost::Delete(helper);
    const CtsxSobj cube = tsxhost::AddCube("Users", 1);
    ASSERT_EQ(cube, helper);
    // Objects with bones merged: their rebuild deletes the helpers, not the cube.
    ASSERT_TRUE(tsxhost::MergeScene(path.string(), &error)) << error;
    std::filesystem::remove(path);
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_TRUE(tsxIsSobj(cube));
    EXPECT_EQ(Helpers(), 0);
}

// Whatever state a scene is saved in, a reload and a save give its bytes
// back, cycle after cycle: nothing relaxes further, no skin is bound again
// to its rounded deformation, each marker stays with its joint (three at the
// origin, two of one size, one marker made again and so last in the file),
// a mesh whose binding setup mode has not renewed yet is not deformed with
// it, and the skin of a merged copy whose mesh stands outside its group is
// dropped with the merge, not kept without a mesh (which a save in setup
// mode then bound to nothing, written without vertices).
TEST_F(MainFormLoadTest, AReloadKeepsTheSceneBitForBit) {
    tsxhost::SetReuseHandles(true);
    const std::vector<std::uint8_t> empty = tsxhost::SaveSceneToBytes();
    enum TSaved { kConflicting, kSetupEdit, kKeyed, kMerged };
    for (TSaved saved : {kConflicting, kSetupEdit, kKeyed, kMerged}) {
        SCOPED_TRACE(saved);
        Load(empty);
        // A save before the load timer leaves the closed scene's rig alone.
        tsxhost::ResetStaleUses();
        tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE);
        EXPECT_EQ(tsxhost::StaleUses(), 0);
        fw::AdvanceClock(kLoadTimerInterval);
        TSkeleton* s = SkinnedLine();
        TJoint* again = Chain(s, {{0, 0, 0}, {0, 3, 0}})[0];
        Chain(s, {{0, 0, 0}, {0, 0, 1}});
        tsxhost::Delete(again->Marker);
        s->UpdateJointSizes();
        if (saved == kConflicting) s->Bones.Items(1)->Flags |= bfTarget;
        if (saved == kKeyed) {
            s->Record();
            tsxhost::SetTime(3);
        }
        SetupMode = saved == kSetupEdit;
        tsxhost::Select(joints[2]->Node);
        tsxhost::Drag(TranslationMx(0.3f, 0.9f, -0.2f));
        if (saved != kSetupEdit) tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE);
        SetupMode = false;
        if (saved == kMerged) {
            const std::filesystem::path path = fw::TestPath("merged.scn");
            std::string error;
            ASSERT_TRUE(tsxhost::SaveScene(path.string(), &error)) << error;
            ASSERT_TRUE(tsxhost::MergeScene(path.string(), &error)) << error;
            std::filesystem::remove(path);
            fw::AdvanceClock(kLoadTimerInterval);
            SetupMode = true;
            tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE);
            SetupMode = false;
        }
        ExpectReloadsKeep(tsxhost::SaveSceneToBytes(), 3);
        if (HasFatalFailure()) return;
    }
}

// Bones connected after a record have no roll key. When a reload's keys move
// the others, such a bone is not placed again from the roll its last
// placement left, which turned it a last place further on every reload.
TEST_F(MainFormLoadTest, ABoneTheKeysDoNotMoveStaysAsReadThroughReloads) {
    TSkeleton* s = NewSkel();
    joints = Chain(s, {{0.1f, 0.2f, 0.3f}, {1.3f, 0.7f, -0.2f}, {2.1f, 1.6f, 0.4f}, {2.9f, 1.1f, 1.3f}});
    s->Record();
    for (auto [from, to] : {std::pair{0, 2}, {1, 3}, {0, 3}})
        s->NewBone(joints[from], joints[to]);
    s->Bones.PlaceAll();
    for (int drag = 0; drag < 4; ++drag) {
        tsxhost::Select(joints[drag]->Node);
        tsxhost::Drag(TranslationMx(0.37f, -0.61f + 0.3f * drag, 0.23f));
    }
    Load(tsxhost::SaveSceneToBytes());
    fw::AdvanceClock(kLoadTimerInterval);
    ExpectReloadsKeep(tsxhost::SaveSceneToBytes(), 2);
}

// A tee bone's extra object moved away from its bone is none the load can
// take over; the new one goes beside the bone, where the next load finds it.
TEST_F(MainFormLoadTest, ATeeBonesExtraObjectAwayFromItsBoneIsPlacedBesideItOnce) {
    TSkeleton* s = Line();
    s->SetSelectedJoint(joints[2]);
    s->NewTeeBone();
    auto* tee = dynamic_cast<TTeeBone*>(s->Bones.Items(2));
    ASSERT_NE(tee, nullptr);
    CtsxSobj bag = s->Bag;
    tsxAddSubobj(&bag, joints[0]->Node); // now between the bone and its extra object
    tsxAddSubobj(&bag, tee->ExtraObject);
    const std::vector<std::uint8_t> away = tsxhost::SaveSceneToBytes();
    Load(away);
    fw::AdvanceClock(kLoadTimerInterval);
    ASSERT_EQ(SkeletonCount(), 1);
    tee = dynamic_cast<TTeeBone*>(SkeletonByIndex(0)->Bones.Items(2));
    ASSERT_NE(tee, nullptr);
    EXPECT_EQ(tsxGNodeGetNext(tee->Node), tee->ExtraObject);
    ExpectReloadsKeep(tsxhost::SaveSceneToBytes(), 2);
}

// What reads the rig before the load timer finds it rebuilt: a save writes
// what a save after the timer does, for a scene opened or objects merged
// (there a script looks at the skeletons before the save).
TEST_F(MainFormLoadTest, TheRigIsRebuiltBeforeAnythingReadsItAheadOfTheTimer) {
    Line()->PoseList.push_back(SkeletonByIndex(0)->CaptureState("Pose", false, false));
    const std::vector<std::uint8_t> rig = tsxhost::SaveSceneToBytes();
    const std::filesystem::path path = fw::TestPath("pending.scn");
    std::string error;
    ASSERT_TRUE(tsxhost::SaveScene(path.string(), &error)) << error;
    for (const bool merge : {false, true}) {
        std::vector<std::uint8_t> saved[2]; // after the timer, before it
        for (const bool before : {false, true}) {
            Load(rig);
            if (merge) {
                fw::AdvanceClock(kLoadTimerInterval);
                EXPECT_TRUE(tsxhost::MergeScene(path.string(), &error)) << error;
            }
            if (!before) fw::AdvanceClock(kLoadTimerInterval);
            if (merge && before) {
                EXPECT_NE(velGetNextSkeleton(velGetFirstSkeleton()), nullptr);
            }
            tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE); // as the host's save does
            saved[before] = tsxhost::SaveSceneToBytes();
        }
        EXPECT_EQ(saved[1], saved[0]) << merge;
    }
    std::filesystem::remove(path);
}

// Another plug-in follows the selection the Joint button's new joint takes
// and calls an export there while a load waits: the rebuild would free the
// skeleton the button is still working on, so it is left to the outermost
// entry, here the next export.
TEST_F(MainFormLoadTest, AnExportFromACallbackOfTheRigsOwnWorkLeavesTheLoadWaiting) {
    Load(SavedRig());
    TSkeleton* s = NewSkel(); // made since the load: the rebuild frees it
    static CtsxSobj asked;
    asked = nullptr;
    // The host calls each plug-in's selection callback in turn.
    tsxSelectionChangedCB(PluginId(), [] {
        SelectionChangedCallback();
        asked = velGetFirstSkeleton();
    });
    const std::function<void()> jointButtonClick = [s] { s->NewJoint(false); };
    fw::CallHandler(jointButtonClick);
    tsxSelectionChangedCB(PluginId(), &SelectionChangedCallback);
    ASSERT_EQ(s->Joints.Count(), 2);
    EXPECT_EQ(s->SelectedJoint, s->Joints.Items(1));
    EXPECT_EQ(asked, s->SkeletonObject);
    EXPECT_TRUE(form->SceneLoadedTimer->Enabled());

    const CtsxSobj loaded = velGetFirstSkeleton();
    ASSERT_EQ(SkeletonCount(), 1);
    EXPECT_EQ(SkeletonByIndex(0)->SkeletonObject, loaded);
    EXPECT_EQ(SkeletonByIndex(0)->Joints.Count(), 3);
}

// The extra object a loaded tee bone was made with, deleted before the
// rebuild, takes the tee bone and its bone object along, as a deletion after
// the rebuild does; the user's cube that took its handle is left alone.
TEST_F(MainFormLoadTest, ATeeBoneWhoseObjectWentBeforeTheRebuildGoesWithIt) {
    tsxhost::SetReuseHandles(true);
    Line()->SetSelectedJoint(joints[2]);
    SkeletonByIndex(0)->NewTeeBone();
    Load(tsxhost::SaveSceneToBytes());
    ASSERT_TRUE(PendingBones().back()->LoadedTeeBone);
    const CtsxSobj extra = PendingBones().back()->LoadedTeeBone->ExtraObject;
    tsxhost::Delete(extra);
    ASSERT_EQ(tsxhost::AddCube("Users", 1), extra);
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_EQ(SkeletonByIndex(0)->Bones.Count(), 2);
    int boneObjects = 0;
    for (CtsxSobj o : tsxhost::SceneNodes())
        boneObjects += tsxSobjGetType(o) == form->TsxBoneExtObj->SObjType();
    EXPECT_EQ(boneObjects, 2);
    EXPECT_EQ(GetNodeName(extra), "Users");
    EXPECT_VEC_NEAR(NodeLocation(extra), 0, 0, 0, 0);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(MainFormLoadTest, MergedObjectsAreRebuiltOnTheirOwnTimer) {
    SavedRig();
    const std::filesystem::path path = fw::TestPath("merged.scn");
    std::string error;
    ASSERT_TRUE(tsxhost::SaveScene(path.string(), &error)) << error;
    ASSERT_TRUE(tsxhost::MergeScene(path.string(), &error)) << error;
    std::filesystem::remove(path);
    EXPECT_FALSE(form->SceneLoadedTimer->Enabled());
    fw::AdvanceClock(kLoadTimerInterval);
    // The skeleton already there stays; the merged copy gets its own.
    ASSERT_EQ(SkeletonCount(), 2);
    EXPECT_EQ(SkeletonByIndex(1)->Bones.Count(), 2);
}

} // namespace
} // namespace vel
