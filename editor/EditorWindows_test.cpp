#include "EditorWindows.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "AboutForm.h"
#include "BlenderForm.h"
#include "DopeSheetForm.h"
#include "EditorWindowsTestEnv.h"
#include "FileIO.h"
#include "MeshRenderForm.h"
#include "OnionForm.h"
#include "PosesForm.h"
#include "RowsFollowTestEnv.h"
#include "SceneTreeForm.h"
#include "ShuttleForm.h"
#include "SkeletonState.h"
#include "SkelTreeForm.h"
#include "SkinPanelForm.h"
#include "Timers.h"
#include "VelLib.h"

namespace vel {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The rig's calls as the module makes them, reaching the editor's windows.
class RigThroughEditorTest : public EditorWindowsTest {
protected:
    void SetUp() override {
        EditorWindowsTest::SetUp();
        testing::ResetFileIOUnit();
    }
    void TearDown() override {
        testing::ResetFileIOUnit();
        HomeDir.clear();
        EditorWindowsTest::TearDown();
    }
    // A skeleton with a chain along x whose bones are 1 and 2 long.
    TSkeleton* Arm() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}});
        return s;
    }
    static bool HasLocationKey(CtsxSobj obj, float time) {
        return tsxSobjGetFrame(obj, TSX_KIND_LOCATION, 0, time) != nullptr;
    }

    std::vector<TJoint*> joints;
};

// ---- the editor's start ----

TEST_F(RigThroughEditorTest, HomeDirIsTheProgramsFolderUntilTheSwitchboardStarts) {
    InitializeEditorUnit();
    EXPECT_EQ(&EditorServices(), &EditorWindows());
    EXPECT_EQ(HomeDir, std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/");
    InitializeSwitchboardUnit();
    EXPECT_EQ(HomeDir, ""); // no module of that name in the test program
}

// ---- each operation reaches its window, and only when it exists ----

TEST_F(RigThroughEditorTest, WithoutItsWindowEachOperationDoesNothing) {
    TEditorServices& editor = EditorWindows();
    TSkeleton* s = Arm();
    tsxhost::SetCallLog(true);
    EXPECT_EQ(editor.ToolWindow(), nullptr);
    EXPECT_EQ(editor.ToolsActivePage(), tpNone);
    EXPECT_FALSE(editor.MeshRenderVisible());
    CallWindowOperations(editor, s->Bag); // the arm has no skin to paint
    EXPECT_TRUE(tsxhost::CallLog().empty());
    EXPECT_EQ(ToolsForm, nullptr);
    EXPECT_EQ(AboutForm, nullptr);
    EXPECT_FALSE(HasLocationKey(joints[1]->Node, 0));
}

TEST_F(RigThroughEditorTest, OperationsReachTheWindowsThatExist) {
    TEditorServices& editor = EditorWindows();
    auto* blender = fw::Application()->CreateForm<TBlenderForm>();
    BlenderForm = blender;
    blender->AddSlider("Smile", 0.5f);
    editor.BlenderClearSliders(); // no skeleton: no pose to slide
    EXPECT_TRUE(blender->Sliders().empty());
    EXPECT_EQ(blender->SliderBoxBuilds(), 1);

    auto* onion = fw::Application()->CreateForm<TOnionForm>();
    OnionForm = onion;
    editor.OnionPaintOverlay(); // hidden
    onion->Show();
    editor.OnionPaintOverlay(); // overlay off
    onion->SetOverlayOn(true);  // paints at once
    editor.OnionPaintOverlay();
    EXPECT_EQ(onion->OverlayPaints(), 2);

    auto* painting = fw::Application()->CreateForm<TMeshRenderForm>();
    MeshRenderForm = painting;
    EXPECT_FALSE(editor.MeshRenderVisible());
    painting->Show();
    EXPECT_TRUE(editor.MeshRenderVisible());
    editor.MeshRenderHide();
    EXPECT_FALSE(painting->Visible());

    TTsOwnedForm* tools = editor.MakeToolWindow();
    EXPECT_EQ(tools, ToolsForm);
    EXPECT_EQ(editor.MakeToolWindow(), tools); // made once
    EXPECT_EQ(editor.ToolWindow(), tools);
    EXPECT_FALSE(tools->Visible());
    EXPECT_EQ(editor.ToolsActivePage(), tpAnimate); // the rig's mode
    editor.SetToolsActivePage(tpSetup);
    EXPECT_EQ(ToolsForm->PageControl->ActivePage(), ToolsForm->SetupSheet);
    EXPECT_FALSE(SetupMode); // code changed the page: no handler ran
    editor.ToolsPageControlChange();
    EXPECT_TRUE(SetupMode);

    fw::Free(blender);
    fw::Free(onion);
    fw::Free(painting);
    EXPECT_EQ(BlenderForm, nullptr);
    EXPECT_EQ(OnionForm, nullptr);
    EXPECT_EQ(MeshRenderForm, nullptr);
}

TEST_F(RigThroughEditorTest, TheTreeOperationsReachTheTreeWindowsOnlyWhileTheyExist) {
    TEditorServices& editor = EditorWindows();
    TSkeleton* s = Arm();
    tsxhost::ClickLeft();
    ASSERT_NE(SceneTreeForm, nullptr);
    ASSERT_NE(SkelTreeForm, nullptr);
    ASSERT_NE(PosesForm, nullptr);
    // Each quietly, as the rig's own edits happen: the host's events do not
    // reach the windows.
    auto quietly = [](auto step) {
        TEditScope edit;
        step();
    };

    const CtsxSobj box = tsxhost::AddCube("Box", 1);
    EXPECT_EQ(SceneTreeForm->NodeOfObject(box), nullptr);
    editor.SceneTreeRefreshTree();
    ASSERT_NE(SceneTreeForm->NodeOfObject(box), nullptr);
    quietly([&] { tsxSelectSobj(box, 0, 1); });
    editor.SceneTreeSelectCurrentObject();
    EXPECT_EQ(SceneTreeForm->Tree()->FocusedNode(), SceneTreeForm->NodeOfObject(box));
    editor.SceneTreeRemoveObjectNode(box);
    EXPECT_EQ(SceneTreeForm->NodeOfObject(box), nullptr);

    quietly([&] { s->NewBone(joints[2], JointAt(s, 4, 0, 0)); });
    EXPECT_EQ(SkelTreeForm->Tree()->TotalCount(), 2u);
    editor.SkelTreeRebuildTree();
    EXPECT_EQ(SkelTreeForm->Tree()->TotalCount(), 3u);
    const CtsxSobj last = s->Bones.Items(2)->Node;
    s->SelectedBone = 2;
    editor.SkelTreeRefreshAll();
    EXPECT_EQ(SkelTreeForm->ObjectOf(SkelTreeForm->Tree()->FocusedNode()), last);
    editor.SkelTreeRemoveObjectNode(last);
    EXPECT_EQ(SkelTreeForm->NodeOfObject(last), nullptr);

    s->PoseList.push_back(s->CaptureState("Rest", false, false));
    EXPECT_EQ(PosesForm->Tree()->RootNodeCount(), 0u);
    editor.PosesRefreshPoseTree();
    EXPECT_EQ(PosesForm->Tree()->RootNodeCount(), 1u);

    // The windows go with the tool window; the operations find none.
    FreeToolsForm();
    EXPECT_EQ(SceneTreeForm, nullptr);
    EXPECT_EQ(SkelTreeForm, nullptr);
    EXPECT_EQ(PosesForm, nullptr);
    tsxhost::SetCallLog(true);
    editor.SceneTreeRefreshTree();
    editor.SceneTreeSelectCurrentObject();
    editor.SceneTreeRemoveObjectNode(box);
    editor.SkelTreeRebuildTree();
    editor.SkelTreeRefreshAll();
    editor.SkelTreeRemoveObjectNode(last);
    editor.PosesRefreshPoseTree();
    fw::ProcessMessages();
    EXPECT_TRUE(tsxhost::CallLog().empty());
}

// ---- scripting: modes, frames and recording ----

TEST_F(RigThroughEditorTest, ModesSwitchThePageAndRunItsHandlerOnlyOnAChange) {
    Arm();
    tsxhost::ClickLeft(); // opens on the animate page, the rig's mode
    ASSERT_NE(ToolsForm, nullptr);
    EXPECT_EQ(velIsSetupMode(), 0);
    velSetupMode();
    EXPECT_EQ(ToolsForm->PageControl->ActivePage(), ToolsForm->SetupSheet);
    EXPECT_EQ(velIsSetupMode(), 1);
    tsxAnimSetActiveTime(7);
    velSetupMode(); // already there: the handler would have gone to frame 0
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 7);

    velAnimateMode();
    EXPECT_EQ(ToolsForm->PageControl->ActivePage(), ToolsForm->AnimateSheet);
    EXPECT_EQ(velIsSetupMode(), 0);
    velSetupMode();
    EXPECT_EQ(ToolsForm->PageControl->ActivePage(), ToolsForm->SetupSheet);
    EXPECT_EQ(velIsSetupMode(), 1);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
}

TEST_F(RigThroughEditorTest, FramesMoveTheHostsTimeAndIgnoreNonFiniteFrames) {
    velSetActiveFrame(5);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
    EXPECT_EQ(CurrentFrame, 5);
    velSetActiveFrame(kNaN);
    velSetRecordFrame(kInf);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
}

TEST_F(RigThroughEditorTest, RecordFrameCarriesThePoseToTheNewFrame) {
    Arm();
    // The tail is keyed elsewhere at frame 4.
    const CtsxVec3f keyed{0, 0, 5};
    CtsxFrame f = tsxFrameCreate(TSX_KIND_LOCATION);
    tsxFrameSetData(f, &keyed);
    tsxSobjInsertFrame(joints[2]->Node, f, 0, 4);
    velSetRecordFrame(4);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 4);
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 3, 0, 0, 1e-4);
    velSetActiveFrame(0);
    velSetActiveFrame(4); // a plain frame change lets the key act
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 0, 0, 5, 1e-4);
}

TEST_F(RigThroughEditorTest, TheTimeViewsFollowARecordFrameOnceTheLockEnds) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    tsxhost::ClickLeft();
    velAnimateMode();
    velSetActiveFrame(3);
    velSetRecordFrame(10);
    fw::ProcessMessages();
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 10);
    EXPECT_EQ(CurrentFrame, 10);
    ASSERT_NE(ShuttleForm, nullptr);
    EXPECT_EQ(ShuttleForm->FrameLabel->Caption(), "10");
    ASSERT_NE(DopeSheetForm, nullptr);
    const int ten = DopeSheetForm->ColOfFrame(10);
    ASSERT_NE(ten, 0);
    EXPECT_NE(DopeSheetForm->DopeGrid->Col(ten)->HeadingColor(), clNoneTs);
    EXPECT_EQ(DopeSheetForm->DopeGrid->Col(DopeSheetForm->ColOfFrame(3))->HeadingColor(),
              clNoneTs);
    EXPECT_FALSE(EditLocked());
    EXPECT_FALSE(SettingFrame);
    // A frame the host does not take leaves the views where the host's time is.
    velSetRecordFrame(kNaN);
    EXPECT_EQ(CurrentFrame, 10);
}

TEST_F(RigThroughEditorTest, RecordKeysTheSkeletonsSetToRecordOnlyOnceTheShuttleExists) {
    TSkeleton* s = Arm();
    tsxAnimSetActiveTime(3);
    velRecord();
    EXPECT_FALSE(HasLocationKey(joints[1]->Node, 3));

    tsxhost::ClickLeft();
    ASSERT_NE(ShuttleForm, nullptr);
    velAnimateMode();
    velSetActiveFrame(3);
    velSkeletonSetRecording(s->SkeletonObject, 0);
    EXPECT_EQ(velSkeletonGetRecording(s->SkeletonObject), 0);
    velRecord();
    EXPECT_FALSE(HasLocationKey(joints[1]->Node, 3));

    velSkeletonSetRecording(s->SkeletonObject, 2); // any byte but 0 is true
    EXPECT_EQ(velSkeletonGetRecording(s->SkeletonObject), 1);
    EXPECT_EQ(s->Recording, 1);
    velRecord();
    EXPECT_TRUE(HasLocationKey(joints[1]->Node, 3));
    EXPECT_EQ(velSkeletonGetRecording(s->Bag), 0);
    velSkeletonSetRecording(nullptr, 1); // nothing to set
}

// ---- loads ----

TEST_F(RigThroughEditorTest, ASavedSceneIsRebuiltWithTheToolWindowOnItsAnimatePage) {
    Arm();
    const std::vector<std::uint8_t> bytes = tsxhost::SaveSceneToBytes();
    tsxhost::Deactivate();
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
    fw::AdvanceClock(kLoadTimerInterval);
    ASSERT_EQ(SkeletonCount(), 1);
    // The plug-in was clicked and its window opened on the animate page.
    EXPECT_TRUE(PluginActive());
    ASSERT_NE(ToolsForm, nullptr);
    EXPECT_TRUE(ToolsForm->Visible());
    EXPECT_EQ(ToolsForm->PageControl->ActivePage(), ToolsForm->AnimateSheet);
    EXPECT_FALSE(SetupMode);
    EXPECT_FALSE(EditLocked());
}

// ---- extreme numbers ----

// Finite numbers at the ends of the float range, through every scripting
// function and every host event: nothing the rig writes to the scene may
// overflow into an infinity or a NaN, and a save and load bring none back.
TEST_F(RigThroughEditorTest, ExtremeFiniteNumbersLeaveTheSceneFinite) {
    TSkeleton* s = Arm();
    std::vector<CtsxVec3f> vxs;
    for (int i = 0; i <= 30; ++i)
        vxs.push_back({0.1f * static_cast<float>(i), 0.1f, 0});
    CtsxPolyh mesh = tsxhost::AddPolyhedron("Skin", vxs, {});
    s->Bones.Items(0)->AttachChild(mesh);
    s->EnableSkin(mesh, s->Bones.Items(0));
    tsxhost::ClickLeft();
    velAnimateMode();
    // The skin area's volume objects are shown throughout.
    s->SelectedBone = 0;
    SkinPanelForm->SetVolumeDisplay(true);
    velRecord();
    ASSERT_EQ(NonFiniteInScene(), 0);
    const CtsxSobj skeleton = s->SkeletonObject;
    for (float v : {3e38f, -3e38f, 1e-38f, -1e-38f, 1e30f, 7e37f}) {
        SCOPED_TRACE(v);
        for (CtsxSobj bone = velGetFirstBone(skeleton); bone;
             bone = velGetNextBone(skeleton, bone)) {
            const CtsxTxmx3f huge{{v, 0, 0, v, 0, v, 0, -v, 0, 0, v, v}};
            velSetBoneMatrix(bone, &huge, v);
            velSetBoneMatrix(bone, &IdentityTxmx3f, std::fabs(v));
        }
        velRefreshSkeletons();
        velRecord();
        EXPECT_EQ(NonFiniteInScene(), 0);
        velSetActiveFrame(v);
        velRecord();
        velSetRecordFrame(-v);
        velRecord();
        EXPECT_EQ(NonFiniteInScene(), 0);
        velSetActiveFrame(2);
        for (TJoint* j : joints) {
            tsxhost::Select(j->Node);
            tsxhost::Drag(CtsxTxmx3f{{v, v, 0, v, 0, v, v, -v, v, 0, v, v}});
            tsxhost::Drag(TranslationMx(v, -v, v));
        }
        tsxhost::Select(s->Bag);
        tsxhost::Drag(TranslationMx(v, v, v));
        velRecord();
        tsxhost::SetTime(v);
        tsxhost::SetTime(-v);
        // A render at an extreme frame, and a save: the rig updates and re-records.
        tsxhost::SendRenderEvent(1, v); // begin
        tsxhost::SendRenderEvent(3, v); // frame start
        tsxhost::SendRenderEvent(2, v); // end
        tsxhost::SendGeneralEvent(e_tsxGA_SCNSAVE);
        EXPECT_EQ(NonFiniteInScene(), 0);
        velSetupMode();
        EXPECT_EQ(velIsSetupMode(), 1);
        tsxhost::Select(joints[1]->Node);
        tsxhost::Drag(TranslationMx(v, v, v));
        velAnimateMode();
        EXPECT_EQ(NonFiniteInScene(), 0);
        EXPECT_FALSE(EditLocked());
        // What the rig answers scripts about itself is finite too.
        for (CtsxSobj bone = velGetFirstBone(skeleton); bone;
             bone = velGetNextBone(skeleton, bone)) {
            CtsxTxmx3f m{};
            float length = 0;
            velGetBoneMatrix(bone, &m, &length);
            EXPECT_TRUE(IsFinite(m) && std::isfinite(length));
            for (CtsxSobj child = velGetFirstChild(bone); child;) {
                std::vector<std::int32_t> indexes(std::size_t(velGetChildSkinCount(bone, child)));
                std::vector<float> weights(indexes.size());
                velGetChildVertexWeights(bone, child, indexes.data(), weights.data());
                EXPECT_TRUE(std::all_of(weights.begin(), weights.end(),
                                        [](float w) { return std::isfinite(w); }));
                if (!velGetNextChild(bone, &child)) break;
            }
        }
        velSkeletonSetRecording(skeleton, 0xFF);
        EXPECT_EQ(velSkeletonGetRecording(skeleton), 1);
    }
    velNewSkeleton();
    EXPECT_EQ(velSelectSkeleton(velGetFirstSkeleton()), 1);
    EXPECT_NE(velGetNextSkeleton(velGetFirstSkeleton()), nullptr);
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(tsxhost::SaveSceneToBytes(), &error)) << error;
    fw::AdvanceClock(kLoadTimerInterval);
    EXPECT_EQ(NonFiniteInScene(), 0);
    velClearSkeletons();
    EXPECT_EQ(NonFiniteInScene(), 0);
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

} // namespace
} // namespace vel
