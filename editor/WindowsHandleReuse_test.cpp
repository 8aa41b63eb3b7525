// The windows under a host that hands a freed object's handle to the next
// object it makes (tsxhost::SetReuseHandles): a window that kept a handle
// must not take the user's new object for the one it meant.
#include <cstdint>
#include <string>
#include <vector>

#include "DopeSheetForm.h"
#include "FileIO.h"
#include "MainForm.h"
#include "RowsFollowTestEnv.h"
#include "SceneTreeForm.h"
#include "SkelTreeForm.h"
#include "SkinWindowsTestEnv.h"
#include "Switchboard.h"
#include "Timers.h"
#include "ToolsForm.h"
#include "VelLib.h"

namespace vel {
namespace {

class WindowsHandleReuseTest : public SkinWindowsTest {
protected:
    void SetUp() override {
        SkinWindowsTest::SetUp();
        tsxhost::SetReuseHandles(true);
    }
    static CtsxVec3f Location(CtsxSobj object) {
        CtsxVec3f p{};
        tsxGNodeGetLocation(object, &p);
        return p;
    }
    // A cube of the user's far from the rig, in the scene.
    static CtsxSobj UsersCube() {
        const CtsxSobj cube = tsxhost::AddCube("Users", 0.5f);
        const CtsxVec3f far{40, 40, 40};
        tsxGNodeSetLocation(cube, &far);
        return cube;
    }
};

TEST_F(WindowsHandleReuseTest, TheSkinPanelNeverMovesOrDeletesAUsersObject) {
    SkinnedBone();
    TSkinPanelForm* panel = SkinPanelForm;
    panel->SetVolumeDisplay(true);
    for (TVolumePart part : {vpTipCap, vpBox}) {
        SCOPED_TRACE(part);
        const CtsxSobj made = panel->VolumeObject(part);
        ASSERT_NE(made, nullptr);
        // The user deletes the panel's object and makes one of their own,
        // which the host gives the same handle.
        tsxhost::Delete(made);
        const CtsxSobj cube = UsersCube();
        ASSERT_EQ(cube, made);
        EXPECT_EQ(panel->VolumeObject(part), nullptr);
        // The panel places its objects again: a new one of its own, the
        // user's cube left where it is.
        RefreshViews();
        EXPECT_VEC_NEAR(Location(cube), 40, 40, 40, 1e-6);
        const CtsxSobj again = panel->VolumeObject(part);
        ASSERT_NE(again, nullptr);
        EXPECT_NE(again, cube);
        // The display off deletes the panel's objects, not the user's cube.
        panel->SetVolumeDisplay(false);
        EXPECT_TRUE(tsxIsSobj(cube));
        EXPECT_FALSE(tsxIsSobj(again));
        EXPECT_VEC_NEAR(Location(cube), 40, 40, 40, 1e-6);
        tsxhost::Delete(cube);
        panel->SetVolumeDisplay(true);
    }
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

// The skeleton made for the scene a load replaced stands for objects whose
// handles name the loaded scene's objects now: no window shows it. Before
// the windows look, the load is rebuilt, and they list the loaded rig.
TEST_F(WindowsHandleReuseTest, AfterALoadTheWindowsShowOnlyTheRebuiltRig) {
    SkinnedBone();
    velAnimateMode();
    velSetActiveFrame(2);
    velRecord();
    ASSERT_GT(DopeSheetForm->DopeGrid->Rows(), 0);
    const std::uint64_t before = CurrentSkeleton->Serial.Value;
    const CtsxSobj bag = CurrentSkeleton->Bag;
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(tsxhost::SaveSceneToBytes(), &error)) << error;
    ASSERT_TRUE(tsxIsSobj(bag)); // another object of the loaded scene now
    fw::ProcessMessages();
    EXPECT_FALSE(HasPendingBones());
    ASSERT_NE(CurrentSkeleton, nullptr);
    EXPECT_NE(CurrentSkeleton->Serial.Value, before);
    ASSERT_GT(DopeSheetForm->DopeGrid->Rows(), 0);
    ExpectRowsFollow("after the load");
    // The timer finds nothing left to do.
    fw::AdvanceClock(kLoadTimerInterval);
    fw::ProcessMessages();
    ExpectRowsFollow("after the timer");
    EXPECT_EQ(tsxhost::StaleUses(), 0);
}

TEST_F(WindowsHandleReuseTest, TheConnectButtonForgetsAJointThatWent) {
    TSkeleton* s = NewSkel();
    std::vector<TJoint*> chain = Chain(s, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    tsxhost::ClickLeft();
    const CtsxSobj cube = UsersCube();
    tsxhost::Select(chain[2]->Node);
    ToolsForm->ConnectButton->Click(); // down: connecting from the last joint
    const CtsxSobj from = chain[2]->Node;
    ASSERT_EQ(ToolsForm->ConnectFrom(), from);
    // Meanwhile the user picks their cube, deletes the first joint and
    // makes new joints, one of which the host gives the first joint's handle.
    tsxhost::Select(cube);
    tsxhost::Delete(from);
    TJoint* taker = nullptr;
    for (int i = 0; i < 3 && !taker; ++i) {
        s->NewJoint(false);
        s->Joints.FindByNode(from, taker);
    }
    ASSERT_NE(taker, nullptr);
    EXPECT_EQ(ToolsForm->ConnectFrom(), nullptr);
    // The second joint picked: no bone to the new joint that has the handle.
    const std::int32_t bones = s->Bones.Count();
    tsxhost::Select(chain[0]->Node);
    EXPECT_EQ(s->Bones.Count(), bones);
    EXPECT_FALSE(ToolsForm->ConnectButton->Down());
}

} // namespace
} // namespace vel
