// The scene tree, skeleton tree and dope sheet against the scene and the rig
// after every step of random sessions: the user's buttons, host objects made,
// picked and deleted, records, page switches, scene loads and merges (looked
// at both before and after the rig's load timer).
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "RowsFollowTestEnv.h"
#include "TestPaths.h"
#include "TreeFormTestEnv.h"
#include "VelLib.h"

namespace vel {
namespace {

class WindowsFollowTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        merged = fw::TestPath("merged.scene");
        ASSERT_NE(OpenTools(), nullptr);
    }
    void TearDown() override {
        std::filesystem::remove(merged);
        TreeFormTest::TearDown();
    }

    CtsxSobj Pick(std::mt19937& random) {
        const std::vector<CtsxSobj> nodes = SceneRows();
        if (nodes.empty()) return nullptr;
        return nodes[std::uniform_int_distribution<std::size_t>(0, nodes.size() - 1)(random)];
    }
    TJoint* PickJoint(std::mt19937& random) {
        TSkeleton* s = CurrentSkeleton;
        if (!s || s->Joints.List.empty()) return nullptr;
        return s->Joints.Items(std::uniform_int_distribution<std::int32_t>(0, s->Joints.Count() - 1)(random));
    }

    // One random step; its name.
    std::string Step(std::mt19937& random) {
        TToolsForm* tools = ToolsForm;
        switch (std::uniform_int_distribution<int>(0, 13)(random)) {
        case 0:
            tools->NewSkeletonButton->Click();
            return "skeleton";
        case 1:
            tools->NewJointButton->Click();
            return "joint";
        case 2:
            tools->NewBoneButton->Click();
            return "bone";
        case 3:
            tools->NewTeeBoneButton->Click();
            return "tee";
        case 4:
            if (TJoint* from = PickJoint(random)) {
                tsxhost::Select(from->Node);
                tools->ConnectButton->Click();
                if (TJoint* to = PickJoint(random)) tsxhost::Select(to->Node);
            }
            return "connect";
        case 5:
            tsxhost::AddCube("Box", 0.5f);
            return "cube";
        case 6:
        case 7:
            if (CtsxSobj o = Pick(random)) {
                const std::string name = GetNodeName(o);
                tsxhost::Delete(o);
                return "delete " + name;
            }
            return "delete nothing";
        case 8:
            tsxhost::Select(Pick(random));
            return "select";
        case 9:
            velSetActiveFrame(static_cast<float>(std::uniform_int_distribution<int>(0, 30)(random)));
            velRecord();
            return "record";
        case 10:
            tools->PageControl->SelectPage(tools->PageControl->ActivePage() == tools->SetupSheet
                                               ? tools->AnimateSheet
                                               : tools->SetupSheet);
            return "page";
        case 11: {
            std::string error;
            const bool empty = std::uniform_int_distribution<int>(0, 2)(random) == 0;
            const std::vector<std::uint8_t> bytes = empty ? emptyScene : tsxhost::SaveSceneToBytes();
            EXPECT_TRUE(tsxhost::LoadSceneFromBytes(bytes, &error)) << error;
            return empty ? "load a scene without a rig" : "load the scene again";
        }
        case 12: {
            std::string error;
            EXPECT_TRUE(tsxhost::MergeScene(merged.string(), &error)) << error;
            return "merge";
        }
        default:
            fw::AdvanceClock(kLoadTimerInterval);
            return "timer";
        }
    }

    // Twelve random sessions of forty steps, each step followed by a look.
    void RandomSessions();

    std::filesystem::path merged;
    std::vector<std::uint8_t> emptyScene;
};

void WindowsFollowTest::RandomSessions() {
    {
        // A scene without a rig to load, and a small rig to merge.
        tsxhost::AddCube("Table", 1);
        emptyScene = tsxhost::SaveSceneToBytes();
        TSkeleton* s = NewSkel();
        Chain(s, {{0, 0, 0}, {1, 0, 0}});
        std::string error;
        ASSERT_TRUE(tsxhost::SaveScene(merged.string(), &error)) << error;
        ASSERT_TRUE(tsxhost::LoadSceneFromBytes(emptyScene, &error)) << error;
        fw::AdvanceClock(kLoadTimerInterval);
        fw::ProcessMessages();
    }
    for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> steps;
        for (int i = 0; i < 40 && !HasFailure(); ++i) {
            steps.push_back(Step(random));
            fw::ProcessMessages();
            std::string trail;
            for (const std::string& s : steps)
                trail += s + "; ";
            ExpectRowsFollow("seed " + std::to_string(seed) + ": " + trail);
        }
        if (HasFailure()) break;
    }
}

TEST_F(WindowsFollowTest, RowsFollowTheSceneAndTheRigAfterEveryStepOfRandomSessions) {
    RandomSessions();
}

// The same sessions on a host that gives new objects the handles of those it
// freed: no window takes a new object for the one it listed.
TEST_F(WindowsFollowTest, RowsFollowWhenTheHostReusesFreedHandles) {
    tsxhost::SetReuseHandles(true);
    RandomSessions();
}

// ---- each fault seen by the probes, alone ----

class WindowsFollowCaseTest : public WindowsFollowTest {
protected:
    void SetUp() override {
        WindowsFollowTest::SetUp();
        tsxhost::AddCube("Lamp", 1);
        plain = tsxhost::SaveSceneToBytes();
        skeleton = NewSkel();
        joints = Chain(skeleton, {{0, 0, 0}, {1, 0, 0}, {3, 0, 0}});
        fw::ProcessMessages();
        ExpectRowsFollow("set up");
    }
    void Check(const std::string& step) {
        fw::ProcessMessages();
        ExpectRowsFollow(step);
    }
    TSkeleton* skeleton = nullptr;
    std::vector<TJoint*> joints;
    std::vector<std::uint8_t> plain; // the lamp alone
};

TEST_F(WindowsFollowCaseTest, ASceneLoadedWithoutARigReplacesTheRowsAtOnce) {
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(plain, &error)) << error;
    Check("replaced, before the rig's timer");
    EXPECT_EQ(Rows(SkelTreeForm), std::vector<std::string>{});
    EXPECT_EQ(DopeSheetForm->DopeGrid->Rows(), 0);
    fw::AdvanceClock(kLoadTimerInterval);
    Check("replaced, after the timer");
    ASSERT_TRUE(tsxhost::SaveScene(merged.string(), &error)) << error;
    ASSERT_TRUE(tsxhost::MergeScene(merged.string(), &error)) << error;
    Check("merged");
    EXPECT_EQ(Rows(SceneTreeForm), (std::vector<std::string>{"Lamp", "Lamp,1"}));
}

TEST_F(WindowsFollowCaseTest, DeletedJointsAndBonesLeaveTheDopeSheet) {
    tsxhost::Select(skeleton->Bones.Items(1)->Node);
    tsxhost::Delete(skeleton->Bones.Items(1)->Node);
    Check("the selected bone deleted");
    tsxhost::Delete(joints[0]->Node);
    Check("a joint deleted");
}

TEST_F(WindowsFollowCaseTest, JointsAndBonesMadeWithTheButtonsJoinEveryWindow) {
    TToolsForm* tools = ToolsForm;
    tsxhost::Select(joints[2]->Node);
    tools->NewJointButton->Click();
    Check("joint");
    tools->NewBoneButton->Click();
    Check("bone");
    tsxhost::Select(skeleton->Bones.Items(0)->Node);
    tools->NewTeeBoneButton->Click();
    Check("tee");
    tsxhost::Select(joints[0]->Node);
    tools->ConnectButton->Click();
    tsxhost::Select(joints[2]->Node);
    Check("connect");
    tools->NewSkeletonButton->Click();
    Check("skeleton");
    tools->NewBoneButton->Click();
    Check("skeleton, then bone");
    EXPECT_GT(DopeSheetForm->DopeGrid->Rows(), 0);
}

TEST_F(WindowsFollowCaseTest, RestFramesRecordedOnLeavingTheSetupPageShowTheirMarks) {
    TToolsForm* tools = ToolsForm;
    tools->PageControl->SelectPage(tools->SetupSheet);
    tools->PageControl->SelectPage(tools->AnimateSheet);
    Check("setup, then animate");
    EXPECT_NE(DopeSheetForm->ColOfFrame(1), 0);
    EXPECT_EQ(DopeSheetForm->KeysAt(DopeSheetForm->ColOfFrame(1), 1), dkLocation | dkStiff);
}

TEST_F(WindowsFollowCaseTest, ATeeBonesObjectDeletedTakesItsBoneFromEveryWindow) {
    tsxhost::Select(skeleton->Bones.Items(0)->Node);
    ToolsForm->NewTeeBoneButton->Click();
    Check("tee");
    const auto* tee = dynamic_cast<const TTeeBone*>(skeleton->Bones.List.back().get());
    ASSERT_NE(tee, nullptr);
    tsxhost::Delete(tee->ExtraObject);
    Check("the tee's object deleted");
}

} // namespace
} // namespace vel
