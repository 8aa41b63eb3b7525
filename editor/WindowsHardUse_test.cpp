// The editor windows under hard use: the host deleting what is selected while
// the sheet records, a very deep bone chain, skeletons switched while a tree's
// worker measures its rows, and handlers that throw.
#include <stdexcept>
#include <utility>
#include <vector>

#include "DopeSheetForm.h"
#include "SceneTreeForm.h"
#include "SkelMgr.h"
#include "SkelTreeForm.h"
#include "TreeFormTestEnv.h"
#include "VelLib.h"

namespace vel {
namespace {

class WindowsHardUseTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        ASSERT_NE(OpenTools(), nullptr);
        ToolsForm->Show();
    }
    // A skeleton of a straight chain of n bones, current.
    TSkeleton* ChainOf(int bones, float y = 0) {
        TSkeleton* s = NewSkel();
        std::vector<CtsxVec3f> points;
        for (int i = 0; i <= bones; ++i)
            points.push_back({static_cast<float>(i), y, 0});
        Chain(s, points);
        return s;
    }
    // Every window's rows against the rig and the scene, with each row's key.
    static void ExpectRowsFollow(TSkeleton* s) {
        const std::size_t parts = s ? s->Joints.List.size() + s->Bones.List.size() : 0;
        EXPECT_EQ(DopeSheetForm->DopeGrid->Rows(), static_cast<int>(parts));
        TLazyStringTree* skel = SkelTreeForm->Tree();
        EXPECT_EQ(skel->TotalCount(), s ? s->Bones.List.size() : 0u);
        EXPECT_EQ(SkelTreeForm->Keys().Count(), skel->TotalCount());
        EXPECT_EQ(skel->UpdateCount(), 0u);
        EXPECT_EQ(skel->VisibleCount(), skel->TotalCount()); // every bone open
        std::size_t nodes = 0;
        for (CtsxSobj n : tsxhost::SceneNodes())
            nodes += n != nullptr;
        TLazyStringTree* scene = SceneTreeForm->Tree();
        EXPECT_EQ(scene->TotalCount(), nodes);
        EXPECT_EQ(SceneTreeForm->Keys().Count(), nodes);
        EXPECT_EQ(scene->UpdateCount(), 0u);
    }
    static void Pump() {
        fw::ProcessMessages();
        fw::ProcessMessages();
    }
};

TEST_F(WindowsHardUseTest, TheHostDeletesTheSelectedJointAndBoneWhileTheSheetRecords) {
    TSkeleton* s = ChainOf(6);
    s->Recording = 1;
    DopeSheetForm->Show();
    for (int frame = 0; frame < 8; ++frame) {
        velSetActiveFrame(static_cast<float>(frame));
        velRecord();
        Pump();
        if (frame == 2 || frame == 5) {
            // The user picks the tip joint, then deletes it in the host.
            CtsxSobj tip = s->Joints.List.back()->Node;
            tsxhost::Select(tip);
            Pump();
            tsxhost::Delete(tip);
        }
        if (frame == 3) {
            CtsxSobj bone = s->Bones.List.front()->Node;
            tsxhost::Select(bone);
            Pump();
            tsxhost::Delete(bone);
        }
        Pump();
        ASSERT_EQ(CurrentSkeleton, s);
        ExpectRowsFollow(s);
        if (HasFailure()) return;
    }
}

TEST_F(WindowsHardUseTest, ABoneChainTwentyThousandDeepIsListedSelectedAndSheeted) {
    constexpr int kBones = 20000;
    TSkeleton* s = ChainOf(kBones);
    Pump();
    ExpectRowsFollow(s);
    // The deepest bone selected: every bone above it opens.
    s->SelectedBone = kBones - 1;
    SkelTreeForm->RefreshAll();
    Pump();
    TLazyStringTree* tree = SkelTreeForm->Tree();
    PLazyNode deepest = SkelTreeForm->NodeOfObject(s->Bones.List.back()->Node);
    ASSERT_NE(deepest, nullptr);
    EXPECT_EQ(tree->GetNodeLevel(deepest), static_cast<unsigned>(kBones - 1));
    EXPECT_EQ(tree->FocusedNode(), deepest);
    EXPECT_TRUE(tree->FullyVisible(deepest));
    velRecord();
    Pump();
    ExpectRowsFollow(s);
    DeleteSkeleton(s);
    Pump();
    ExpectRowsFollow(CurrentSkeleton);
}

TEST_F(WindowsHardUseTest, SkeletonsSwitchedWhileTheTreesWorkerMeasuresItsRows) {
    TSkeleton* a = ChainOf(3000);
    TSkeleton* b = ChainOf(2500, 5);
    ToolsForm->TreePages->SelectPage(static_cast<fw::TTabSheet*>(SkelTreeForm->Parent()));
    for (int i = 0; i < 12; ++i) {
        // Picked in the host: the other skeleton becomes current, and its
        // tree is built while the worker may still measure the last one.
        TSkeleton* next = (i % 2) ? a : b;
        tsxhost::Select(next->Joints.List[static_cast<std::size_t>(i * 97)]->Node);
        fw::ProcessMessages();
        ASSERT_EQ(CurrentSkeleton, next);
        ExpectRowsFollow(next);
        if (HasFailure()) return;
    }
    // Left alone, the worker's measure agrees with the rows.
    TLazyStringTree* tree = SkelTreeForm->Tree();
    for (int i = 0; i < 2000 && !tree->TreeStates().Contains(tsUseCache); ++i) {
        const std::uint64_t seen = fw::WakeupCount();
        fw::ProcessMessages();
        if (!tree->TreeStates().Contains(tsUseCache)) fw::WaitForWakeup(seen, 10);
    }
    ASSERT_TRUE(tree->TreeStates().Contains(tsUseCache));
    int top = 0;
    EXPECT_EQ(tree->GetNodeAt(0, static_cast<int>(tree->RangeY()) - 1, false, top),
              tree->GetLastVisibleNoInit());
}

TEST_F(WindowsHardUseTest, HandlersThatThrowLeaveEveryWindowFollowingAfterwards) {
    TSkeleton* s = ChainOf(4);
    Pump();
    // A tree's handler throws once while the window lists its rows afresh:
    // the exception reaches the loop, and the next idle lists them again.
    int throws = 0;
    auto throwOnce = [&](TBaseLazyTree*, PLazyNode) {
        if (throws++ == 0) throw std::runtime_error("expanded");
    };
    TLazyStringTree* skel = SkelTreeForm->Tree();
    skel->OnExpanded = throwOnce;
    TJoint* tip = JointAt(s, 9, 9, 0);
    s->NewBone(s->Joints.List[2].get(), tip);
    EXPECT_THROW(Pump(), std::runtime_error);
    Pump();
    skel->OnExpanded = nullptr;
    EXPECT_GT(throws, 1); // listed again
    ExpectRowsFollow(s);

    TLazyStringTree* scene = SceneTreeForm->Tree();
    throws = 0;
    scene->OnExpanded = throwOnce;
    CtsxSobj group = tsxhost::AddGroup("Props");
    tsxhost::AddCube("Table", 1, group);
    EXPECT_THROW(Pump(), std::runtime_error);
    Pump();
    scene->OnExpanded = nullptr;
    EXPECT_GT(throws, 1);
    EXPECT_TRUE(scene->Expanded(SceneTreeForm->NodeOfObject(group)));
    ExpectRowsFollow(s);
    // The end of the update that opens a picked row's groups throws: the
    // rig's call sees it, and the next call shows the row.
    CtsxSobj shelf = tsxhost::AddGroup("Shelf", group);
    CtsxSobj cup = tsxhost::AddCube("Cup", 1, shelf);
    tsxhost::Select(cup);
    Pump();
    scene->SetExpanded(SceneTreeForm->NodeOfObject(shelf), false);
    bool ended = false;
    scene->OnUpdating = [&](TBaseLazyTree*, TLTUpdateState state) {
        if (state == usEnd && !std::exchange(ended, true)) throw std::runtime_error("end");
    };
    EXPECT_THROW(SceneTreeForm->SelectCurrentObject(), std::runtime_error);
    scene->OnUpdating = nullptr;
    SceneTreeForm->SelectCurrentObject();
    EXPECT_EQ(scene->FocusedNode(), SceneTreeForm->NodeOfObject(cup));
    EXPECT_TRUE(scene->FullyVisible(SceneTreeForm->NodeOfObject(cup)));
    EXPECT_EQ(scene->UpdateCount(), 0u);

    // The sheet's cells throw once as they are painted.
    auto loaded = DopeSheetForm->DopeGrid->OnCellLoaded;
    bool cellThrown = false;
    DopeSheetForm->DopeGrid->OnCellLoaded = [&](fw::TObject* o, int c, int r, TtsVariant& v) {
        if (!std::exchange(cellThrown, true)) throw std::runtime_error("cell");
        loaded(o, c, r, v);
    };
    ToolsForm->TreePages->SelectPage(ToolsForm->KeysSheet);
    velRecord();
    EXPECT_THROW(Pump(), std::runtime_error);
    Pump();
    DopeSheetForm->DopeGrid->OnCellLoaded = loaded;
    TJoint* more = JointAt(s, 9, 12, 0);
    s->NewBone(tip, more);
    Pump();
    ExpectRowsFollow(s);
}

} // namespace
} // namespace vel
