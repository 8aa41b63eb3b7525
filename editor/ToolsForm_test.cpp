#include "ToolsForm.h"

#include <algorithm>
#include <fstream>
#include <limits>

#include "EditorWindowsTestEnv.h"
#include "FrameControl.h"
#include "MeshRenderForm.h"
#include "PosesForm.h"
#include "SceneTreeForm.h"
#include "ShuttleForm.h"
#include "SkeletonState.h"
#include "SkelTreeForm.h"
#include "SkinPanelForm.h"
#include "ValueTrack.h"

namespace vel {
namespace {

class EditorTest : public EditorWindowsTest {
protected:
    // Index of the first logged call starting with text, at or after from;
    // -1 when there is none.
    static long Find(const std::string& text, long from = 0) {
        const auto& log = tsxhost::CallLog();
        for (long i = std::max(from, 0L); i < static_cast<long>(log.size()); ++i)
            if (log[static_cast<std::size_t>(i)].rfind(text, 0) == 0) return i;
        return -1;
    }
    static TToolsForm* OpenTools() {
        tsxhost::ClickLeft();
        return ToolsForm;
    }
    // A skeleton whose tail joint is keyed at (0, 0, 5) on frame 5.
    TJoint* KeyedTail() {
        TSkeleton* s = NewSkel();
        auto joints = Chain(s, {{0, 0, 0}, {0, 0, 2}});
        tsxAnimSetActiveTime(5);
        const CtsxVec3f keyed{0, 0, 5};
        tsxGNodeSetLocation(joints[1]->Node, &keyed);
        tsxSobjSetFrame(joints[1]->Node, TSX_KIND_LOCATION);
        const float stiff = 0.25f;
        CtsxFrame f = tsxFrameCreate(StiffAttribute);
        tsxFrameSetData(f, &stiff);
        tsxSobjInsertFrame(joints[1]->Node, f, 0, 5);
        tsxAnimSetActiveTime(0);
        joints[1]->SetPosition(CtsxVec3f{0, 0, 2});
        joints[1]->SetStiff(1.0f);
        tsxhost::ClearCallLog();
        return joints[1];
    }
};

// ---- frame controller ----

TEST_F(EditorTest, SettingTheFrameUpdatingKeepsEveryPoseAndHearsNothing) {
    TJoint* tail = KeyedTail();
    tsxhost::SetCallLog(true);
    SetActiveFrameUpdating(5);
    const long save = Find("tsxGNodeGetPureTransform");
    const long set = Find("tsxAnimSetActiveTime(5)");
    const long restore = Find("tsxGNodeSetLocation", set);
    const long refresh = Find("tsxAllViewsRefresh", restore);
    EXPECT_GE(save, 0);
    EXPECT_GT(set, save);
    EXPECT_GT(restore, set);
    EXPECT_GT(refresh, restore);
    EXPECT_VEC_NEAR(NodeLocation(tail->Node), 0, 0, 2, 1e-5); // the pose came back
    EXPECT_EQ(tail->Stiff(), 1.0f);                           // the attribute callback was ignored
    // The host's time callback was swallowed under the lock; the time views
    // followed once it ended.
    EXPECT_EQ(CurrentFrame, 5);
    EXPECT_GT(Find("tsxAnimGetActiveTime", refresh), refresh);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 5);
    EXPECT_FALSE(SettingFrame);
    EXPECT_FALSE(EditLocked());
    EXPECT_EQ(SavedStateCount(), 0);
}

TEST_F(EditorTest, SettingTheFrameLetsTheKeysAndTheTimeViewsFollow) {
    TJoint* tail = KeyedTail();
    SetActiveFrame(5);
    EXPECT_VEC_NEAR(NodeLocation(tail->Node), 0, 0, 5, 1e-5);
    EXPECT_EQ(tail->Stiff(), 0.25f);
    EXPECT_EQ(CurrentFrame, 5);

    SetCurrentFrame(2.5f); // rounded to even
    EXPECT_EQ(CurrentFrame, 2);
    SetCurrentFrame(7.6f);
    EXPECT_EQ(CurrentFrame, 8);
    SetCurrentFrame(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(CurrentFrame, 8);
    SetCurrentFrame(1e20f);
    EXPECT_EQ(CurrentFrame, INT32_MAX);

    // The host's own time changes reach the editor while the plug-in is active.
    tsxhost::SetTime(11);
    EXPECT_EQ(CurrentFrame, 11);
    OpenTools();
    EXPECT_EQ(ShuttleForm->FrameLabel->Caption(), "11"); // opening moved no time
    tsxhost::SetTime(3);
    EXPECT_EQ(ShuttleForm->FrameLabel->Caption(), "3");
    tsxhost::Deactivate();
    tsxhost::SetTime(4);
    EXPECT_EQ(CurrentFrame, 3);
}

// ---- tool window ----

TEST_F(EditorTest, MadeByEitherClickItOpensOnThePageOfTheRigsModeAndChangesNothing) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    PushUndo("Joint Moved", false);
    PushUndo("Joint Moved", false);
    for (const bool setup : {false, true})
        for (const bool right : {false, true}) {
            SCOPED_TRACE(std::string(setup ? "setup mode, " : "") + (right ? "right" : "left"));
            FreeToolsForm();
            SetupMode = setup;
            tsxhost::SetTime(25);
            if (right)
                tsxhost::ClickRight(); // made without being shown, and the about box
            else
                tsxhost::ClickLeft();
            ASSERT_NE(ToolsForm, nullptr);
            EXPECT_EQ(ToolsForm->Visible(), !right);
            EXPECT_EQ(ToolsForm->PageControl->ActivePage(),
                      setup ? ToolsForm->SetupSheet : ToolsForm->AnimateSheet);
            EXPECT_EQ(SetupMode, setup);
            EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 25);
            EXPECT_EQ(s->UndoStates.size(), 3u);
            EXPECT_EQ(ToolsForm->HistoryItems().size(), 3u);
        }
    SetupMode = false;
    FreeToolsForm();
    tsxhost::SetTime(12);
    TToolsForm* tools = OpenTools();
    ASSERT_NE(tools, nullptr);
    // Its companions live inside it.
    ASSERT_NE(ShuttleForm, nullptr);
    ASSERT_NE(SkinPanelForm, nullptr);
    EXPECT_EQ(ShuttleForm->Parent(), tools->ShuttlePanel);
    EXPECT_EQ(SkinPanelForm->Parent(), tools->SkinPanel);
    // The tree windows on pages of their own, filled as they were made.
    ASSERT_NE(SceneTreeForm, nullptr);
    ASSERT_NE(SkelTreeForm, nullptr);
    ASSERT_NE(PosesForm, nullptr);
    EXPECT_EQ(SceneTreeForm->Parent(), tools->SceneSheet);
    EXPECT_EQ(SkelTreeForm->Parent(), tools->SkeletonSheet);
    EXPECT_EQ(PosesForm->Parent(), tools->PosesSheet);
    EXPECT_EQ(tools->TreePages->ActivePage(), tools->SceneSheet);
    EXPECT_EQ(SceneTreeForm->NodeOfObject(s->SkeletonObject), SceneTreeForm->Tree()->GetFirst());
    EXPECT_EQ(SkelTreeForm->Tree()->TotalCount(), 1u);
    // Choosing a tree's page changes nothing else.
    tools->TreePages->SelectPage(tools->PosesSheet);
    EXPECT_FALSE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 12);
    // Made once: clicks on the icon keep them.
    TSkelTreeForm* skelTree = SkelTreeForm;
    OpenTools();
    EXPECT_EQ(SkelTreeForm, skelTree);
    FreeToolsForm();
    EXPECT_EQ(ShuttleForm, nullptr);
    EXPECT_EQ(SkinPanelForm, nullptr);
    EXPECT_EQ(SceneTreeForm, nullptr);
    EXPECT_EQ(SkelTreeForm, nullptr);
    EXPECT_EQ(PosesForm, nullptr);
}

TEST_F(EditorTest, SwitchingPagesMovesBetweenSetupAndTheRememberedFrame) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    tsxhost::SetTime(12);
    TToolsForm* tools = OpenTools();
    tools->PageControl->SelectPage(tools->SetupSheet);
    EXPECT_TRUE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
    EXPECT_FLOAT_EQ(tools->RememberedFrame(), 12);
    tsxhost::SetCallLog(true);
    tools->PageControl->SelectPage(tools->AnimateSheet);
    EXPECT_FALSE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 12);
    EXPECT_EQ(CurrentFrame, 12);
    // The rest frames were recorded at 0 and 1 first.
    const long zero = Find("tsxAnimSetActiveTime(0)");
    ASSERT_GE(zero, 0);
    const long one = Find("tsxAnimSetActiveTime(1)", zero);
    const long back = Find("tsxAnimSetActiveTime(12)", one);
    EXPECT_GT(one, zero);
    EXPECT_GT(back, one);
    ASSERT_EQ(s->UndoStates.size(), 1u);
    EXPECT_EQ(s->UndoStates[0]->Name, "Rest Pose");

    // The scripting exports change the page themselves and pass no sender.
    tsxhost::SetTime(20);
    tools->PageControl->SetActivePage(tools->SetupSheet);
    tools->PageControlChange(nullptr);
    EXPECT_TRUE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 0);
    EXPECT_FLOAT_EQ(tools->RememberedFrame(), 20);
}

TEST_F(EditorTest, AfterALoadTheWindowOpensOnTheAnimatePage) {
    tsxhost::SetTime(9);
    OpenOnAnimatePage = true;
    TToolsForm* tools = OpenTools();
    EXPECT_EQ(tools->PageControl->ActivePage(), tools->AnimateSheet);
    EXPECT_FALSE(SetupMode);
    EXPECT_FLOAT_EQ(tsxAnimGetActiveTime(), 9);
}

TEST_F(EditorTest, OptionsComeFromTheSettingsStore) {
    {
        std::ofstream f(settings);
        f << "[Software\\Orrendale\\Velmarch]\n"
             "OptAutoSelect=i:1\nOptKeyJoints=i:0\nOptHideAttached=i:1\n"
             "OptAutoEditSkin=s:yes\n";
    }
    EXPECT_FALSE(OptAutoSelect);
    OpenTools();
    EXPECT_TRUE(OptAutoSelect);
    EXPECT_FALSE(OptKeyJoints);
    EXPECT_TRUE(OptHideAttached);
    EXPECT_TRUE(OptAutoEditSkin); // a text where a number belongs: default kept
    EXPECT_FALSE(OptHideUnattached);

    OptHideUnattached = true;
    ToolsForm->SaveOptions();
    OptHideUnattached = false;
    ToolsForm->LoadOptions();
    EXPECT_TRUE(OptHideUnattached);
}

TEST_F(EditorTest, TheConnectButtonJoinsTwoJointsWithABone) {
    TToolsForm* tools = OpenTools();
    TSkeleton* s = NewSkel();
    TJoint* a = JointAt(s, 0, 0, 0);
    JointAt(s, 1, 0, 0);
    TJoint* c = JointAt(s, 0, 3, 0);
    tools->ConnectButton->Click(); // no joint selected: nothing to start from
    EXPECT_FALSE(tools->ConnectButton->Down());

    tsxhost::Select(a->Node);
    tools->ConnectButton->Click();
    ASSERT_TRUE(tools->ConnectButton->Down());
    tsxhost::Select(a->Node); // the same joint again: still waiting
    EXPECT_TRUE(tools->ConnectButton->Down());
    tsxhost::Select(c->Node);
    EXPECT_FALSE(tools->ConnectButton->Down());
    ASSERT_EQ(s->Bones.Count(), 1);
    EXPECT_EQ(s->Bones.Items(0)->Head, a);
    EXPECT_EQ(s->Bones.Items(0)->Tail, c);
    EXPECT_EQ(tools->HistoryItems().back(), "Connect Joints");
}

TEST_F(EditorTest, TheWeightPaintingWindowOpensOnlyForASkinAndHidesOnForget) {
    TSkeleton* s = NewSkel();
    Chain(s, {{0, 0, 0}, {1, 0, 0}});
    EditBoneSkin(); // the bone has no skinned child
    EXPECT_EQ(MeshRenderForm, nullptr);

    auto* form = fw::Application()->CreateForm<TMeshRenderForm>();
    MeshRenderForm = form;
    form->Show();
    ForgetObject(s->Bones.Items(0)->Node);
    EXPECT_FALSE(form->Visible());
    fw::Free(form);
    EXPECT_EQ(MeshRenderForm, nullptr);
}

TEST_F(EditorTest, TheTracksAreEnabledExactlyForTheSelection) {
    TToolsForm* tools = OpenTools();
    EXPECT_FALSE(tools->StiffTrack->Enabled()); // no skeleton
    EXPECT_FALSE(tools->TwistTrack->Enabled());
    TSkeleton* s = NewSkel();
    auto joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    s->SelectedBone = -1;
    s->SetSelectedJoint(nullptr);
    tools->UpdateControls();
    EXPECT_FALSE(tools->StiffTrack->Enabled());
    EXPECT_FALSE(tools->TwistTrack->Enabled());
    EXPECT_FALSE(SkinPanelForm->RootTrack->Enabled()); // no bone, no area

    tsxhost::Select(joints[1]->Node); // a joint, and with it no bone
    ASSERT_EQ(s->SelectedJoint, joints[1]);
    s->SelectedBone = -1;
    tools->UpdateControls();
    EXPECT_TRUE(tools->StiffTrack->Enabled());
    EXPECT_FALSE(tools->TwistTrack->Enabled());
    joints[1]->SetStiff(0.4f);
    tools->UpdateControls();
    EXPECT_NEAR(tools->StiffTrack->Value(), 0.4, 1e-6);
    tools->StiffTrack->SetValue(0.75);
    tools->StiffTrack->OnChange(tools->StiffTrack);
    EXPECT_FLOAT_EQ(joints[1]->Stiff(), 0.75f);

    s->SetSelectedJoint(nullptr);
    s->SelectedBone = 1;
    tools->UpdateControls();
    EXPECT_FALSE(tools->StiffTrack->Enabled());
    EXPECT_TRUE(tools->TwistTrack->Enabled());
    EXPECT_EQ(tools->TwistTrack->Value(), 0);
    // A quarter turn rolls the bone's up vector about its axis (x).
    TBone* bone = s->Bones.Items(1);
    const CtsxVec3f up = bone->Twist;
    tools->TwistTrack->SetValue(90);
    tools->TwistTrack->OnChange(tools->TwistTrack);
    EXPECT_NEAR(bone->Twist.x, 0, 1e-4);
    EXPECT_NEAR(bone->Twist.y * up.y + bone->Twist.z * up.z, 0, 1e-4);
    EXPECT_FALSE(EditLocked());
    // Another bone starts from 0 again.
    s->SelectedBone = 0;
    tools->UpdateControls();
    EXPECT_EQ(tools->TwistTrack->Value(), 0);
    SetCurrentSkeleton(nullptr);
    EXPECT_FALSE(tools->StiffTrack->Enabled());
    EXPECT_FALSE(tools->TwistTrack->Enabled());
}

} // namespace
} // namespace vel
