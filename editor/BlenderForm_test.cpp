#include "BlenderForm.h"

#include "EditorWindowsTestEnv.h"
#include "Input.h"
#include "Joint.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Switchboard.h"
#include "ValueTrack.h"
#include "VelLib.h"

namespace vel {
namespace {

class BlenderTest : public EditorWindowsTest {
protected:
    // A chain of three joints along x, its rest pose, and two poses: "Up"
    // lifts the middle and the end joint, "Side" moves the end joint alone.
    TSkeleton* Posed() {
        TSkeleton* s = NewSkel();
        joints = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
        tsxhost::ClickLeft();
        velSetupMode(); // the setup page: poses apply as they are
        AddPose(s, "Up", {{0, 0, 0}, {1, 0, 1}, {2, 0, 2}});
        AddPose(s, "Side", {{0, 0, 0}, {1, 0, 0}, {2, 1, 0}});
        BlenderForm->ClearSliders();
        return s;
    }
    void AddPose(TSkeleton* s, const char* name, const std::vector<CtsxVec3f>& at) {
        for (std::size_t i = 0; i < at.size(); ++i)
            joints[i]->SetPosition(at[i]);
        s->PoseList.push_back(s->CaptureState(name, false, false));
        for (std::size_t i = 0; i < at.size(); ++i)
            joints[i]->SetPosition(CtsxVec3f{static_cast<float>(i), 0, 0});
    }
    std::vector<TJoint*> joints;
};

TEST_F(BlenderTest, SlidersBlendThePosesOverTheBase) {
    TSkeleton* s = Posed();
    TBlenderForm* blender = BlenderForm;
    ASSERT_NE(blender, nullptr);
    ASSERT_EQ(blender->Sliders().size(), 2u);
    EXPECT_EQ(blender->Sliders()[0].PoseName, "Up");
    EXPECT_EQ(blender->Sliders()[1].Track->TrackName(), "Side");
    EXPECT_EQ(blender->Base(), nullptr);

    // One pose moving a joint: from the base towards it by its weight.
    blender->SetWeight(0, 0.25f);
    ASSERT_NE(blender->Base(), nullptr);
    EXPECT_VEC_NEAR(NodeLocation(joints[1]->Node), 1, 0, 0.25f, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(joints[0]->Node), 0, 0, 0, 1e-5); // moved by none
    // Two poses moving a joint: their weighted mean, without the base.
    blender->SetWeight(1, 0.5f);
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), (0.25f * 2 + 0.5f * 2) / 0.75f, 0.5f / 0.75f,
                    0.25f * 2 / 0.75f, 1e-5);
    EXPECT_VEC_NEAR(NodeLocation(joints[1]->Node), 1, 0, 0.25f, 1e-5);
    // The stiffness stays.
    EXPECT_EQ(joints[2]->Stiff(), 1.0f);

    // Every slider back at 0: the base again, and the base let go.
    blender->SetWeight(0, 0);
    blender->SetWeight(1, 0);
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 2, 0, 0, 1e-5);
    EXPECT_EQ(blender->Base(), nullptr);
    EXPECT_EQ(s, CurrentSkeleton);
    EXPECT_FALSE(EditLocked());
}

TEST_F(BlenderTest, ClearSlidersEmptiesTheBlendAndRebuildsForThePoses) {
    TSkeleton* s = Posed();
    TBlenderForm* blender = BlenderForm;
    blender->SetWeight(0, 1);
    const int builds = blender->SliderBoxBuilds();
    blender->ClearSliders();
    EXPECT_EQ(blender->SliderBoxBuilds(), builds + 1);
    ASSERT_EQ(blender->Sliders().size(), 2u);
    EXPECT_EQ(blender->Sliders()[0].Weight, 0);
    EXPECT_EQ(blender->Sliders()[0].Track->Value(), 0);
    EXPECT_EQ(blender->Base(), nullptr);

    // A pose more: the sliders follow when the window is opened again.
    s->PoseList.push_back(s->CaptureState("Third", false, false));
    blender->SyncSliders();
    EXPECT_EQ(blender->Sliders().size(), 3u);
    blender->SyncSliders(); // nothing changed
    EXPECT_EQ(blender->SliderBoxBuilds(), builds + 2);
    // Another skeleton current: the rig's call clears and refills.
    NewSkel();
    EXPECT_TRUE(blender->Sliders().empty());
    SetCurrentSkeleton(s);
    EXPECT_EQ(blender->Sliders().size(), 3u);
    SetCurrentSkeleton(nullptr);
    EXPECT_TRUE(blender->Sliders().empty());
}

TEST_F(BlenderTest, ASliderMovedAfterThePosesChangedBlendsNothing) {
    TSkeleton* s = Posed();
    TBlenderForm* blender = BlenderForm;
    s->PoseList.erase(s->PoseList.begin()); // "Up" went behind the window's back
    // The drag of the first slider, still named "Up": the sliders are built
    // again once its handler is over, and the skeleton stays.
    blender->Sliders()[0].Track->SetValue(0.5);
    blender->Sliders()[0].Track->OnChange(blender->Sliders()[0].Track);
    ASSERT_EQ(blender->Sliders().size(), 1u);
    EXPECT_EQ(blender->Sliders()[0].PoseName, "Side");
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 2, 0, 0, 1e-5);
    // A slider for no pose of the skeleton blends nothing either.
    blender->AddSlider("Loose", 0);
    blender->SetWeight(1, 1);
    EXPECT_EQ(blender->Sliders().size(), 1u);
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 2, 0, 0, 1e-5);
}

// The user drags a slider after a pose went: the dragged track's own handler
// rebuilds the sliders, and the new first slider takes the old one's name.
TEST_F(BlenderTest, ASliderDraggedAfterAPoseWentRebuildsTheSliders) {
    TSkeleton* s = Posed();
    TBlenderForm* blender = BlenderForm;
    blender->Show();
    fw::ProcessMessages();
    s->PoseList.erase(s->PoseList.begin()); // "Up" went: the Poses window, a script
    const int cursor = fw::CursorCounter();
    TpcMouseTrackButton* button = blender->Sliders()[0].Track->Button();
    fw::MouseDownAt(fw::ControlPoint(button, 5, 5));
    const fw::TPoint ref = button->ClientToScreen(button->ReferencePoint());
    fw::MouseMoveTo(fw::TPoint{ref.X + 10, ref.Y});
    fw::MouseUpAt(fw::GetCursorPos());
    ASSERT_EQ(blender->Sliders().size(), 1u);
    EXPECT_EQ(blender->Sliders()[0].PoseName, "Side");
    EXPECT_EQ(blender->FindComponent("PoseSlider0"), blender->Sliders()[0].Track);
    EXPECT_EQ(blender->SliderBox->ControlCount(), 1);
    EXPECT_EQ(blender->ComponentCount(), 2); // the box and the one track
    EXPECT_VEC_NEAR(NodeLocation(joints[2]->Node), 2, 0, 0, 1e-5);
    EXPECT_EQ(fw::CursorCounter(), cursor); // the drag's hidden cursor is back
}

TEST_F(BlenderTest, TheToolWindowMakesTheBlenderOnceAndShowsIt) {
    Posed();
    TBlenderForm* blender = BlenderForm;
    tsxhost::ClickLeft();
    EXPECT_EQ(BlenderForm, blender);
    EXPECT_FALSE(blender->Visible());
    ToolsForm->BlenderButton->Click();
    EXPECT_TRUE(blender->Visible());
    FreeToolsForm();
    EXPECT_EQ(BlenderForm, nullptr);
}

} // namespace
} // namespace vel
