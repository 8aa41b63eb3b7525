#include "SceneTreeForm.h"

#include "SkelTreeForm.h"
#include "TreeFormTestEnv.h"

namespace vel {
namespace {

// A scene of two top-level groups and a loose object:
//   Props (Table, Shelf (Cup))   Lamp   Crowd (Anna)
// Anna is a plain node, which the plug-in is never told about.
class SceneTreeTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        props = tsxhost::AddGroup("Props");
        table = tsxhost::AddCube("Table", 1, props);
        shelf = tsxhost::AddGroup("Shelf", props);
        cup = tsxhost::AddCube("Cup", 1, shelf);
        lamp = tsxhost::AddCube("Lamp", 1);
        crowd = tsxhost::AddGroup("Crowd");
        anna = tsxhost::AddNull("Anna", crowd);
        ASSERT_NE(OpenTools(), nullptr);
        ASSERT_NE(SceneTreeForm, nullptr);
        tree = SceneTreeForm->Tree();
    }
    PLazyNode Row(CtsxSobj object) const { return SceneTreeForm->NodeOfObject(object); }
    bool Shown(CtsxSobj object) const {
        PLazyNode row = Row(object);
        return row && tree->FocusedNode() == row && tree->Selected(row) &&
               tree->SelectedCount() == 1 && tree->FullyVisible(row);
    }

    TLazyStringTree* tree = nullptr;
    CtsxSobj props{}, table{}, shelf{}, cup{}, lamp{}, crowd{}, anna{};
};

TEST_F(SceneTreeTest, ListsTheSceneByNameWithGroupsAsParents) {
    EXPECT_EQ(Rows(SceneTreeForm), (std::vector<std::string>{"Props", "  Table", "  Shelf",
                                                              "    Cup", "Lamp", "Crowd",
                                                              "  Anna"}));
    // The top level's groups are open, deeper ones closed.
    EXPECT_TRUE(tree->Expanded(Row(props)));
    EXPECT_FALSE(tree->Expanded(Row(shelf)));
    EXPECT_EQ(tree->NodeDataSize(), 4);
    EXPECT_EQ(SceneTreeForm->Keys().Count(), 7u);
    EXPECT_EQ(SceneTreeForm->ObjectOf(Row(cup)), cup);
    // Names are read whenever the row is painted.
    tsxGNodeSetName(lamp, "Lantern");
    EXPECT_EQ(SceneTreeForm->RowText(Row(lamp)), "Lantern");
}

TEST_F(SceneTreeTest, FollowsTheHostsSelection) {
    tsxhost::Select(cup); // inside a closed group
    EXPECT_TRUE(Shown(cup));
    EXPECT_TRUE(tree->Expanded(Row(shelf)));
    tsxhost::Select(lamp);
    EXPECT_TRUE(Shown(lamp));

    // An object the rows do not hold yet: the tree is filled again.
    CtsxSobj chair = tsxhost::AddCube("Chair", 1, crowd);
    EXPECT_EQ(Row(chair), nullptr);
    tsxhost::Select(chair);
    EXPECT_TRUE(Shown(chair));
    EXPECT_EQ(Rows(SceneTreeForm).size(), 8u);

    // Plain nodes are not objects the tree follows.
    tsxhost::Select(anna);
    EXPECT_EQ(tree->SelectedCount(), 0);
    tsxhost::Select(lamp);
    tsxhost::Select(nullptr);
    EXPECT_EQ(tree->SelectedCount(), 0);
}

TEST_F(SceneTreeTest, RowsOfDeletedObjectsGoAndTheirKeysFindNothing) {
    const TNodeKey shelfKey = SceneTreeForm->KeyOf(Row(shelf));
    const TNodeKey cupKey = SceneTreeForm->KeyOf(Row(cup));
    const TNodeKey lampKey = SceneTreeForm->KeyOf(Row(lamp));
    ASSERT_EQ(SceneTreeForm->ObjectOfKey(cupKey), cup);
    tsxhost::Select(cup);
    tsxhost::Delete(shelf); // with its member
    EXPECT_EQ(Rows(SceneTreeForm),
              (std::vector<std::string>{"Props", "  Table", "Lamp", "Crowd", "  Anna"}));
    EXPECT_EQ(SceneTreeForm->Keys().Find(shelfKey), nullptr);
    EXPECT_EQ(SceneTreeForm->ObjectOfKey(cupKey), nullptr);
    EXPECT_EQ(SceneTreeForm->Keys().Count(), 5u);
    EXPECT_EQ(tree->FocusedNode(), nullptr);
    EXPECT_EQ(tree->SelectedCount(), 0);

    // A scene load frees the old objects without telling anyone: until the
    // rows are filled again their keys find nothing.
    tsxhost::ResetStaleUses();
    std::string error;
    ASSERT_TRUE(tsxhost::LoadSceneFromBytes(tsxhost::SaveSceneToBytes(), &error)) << error;
    ASSERT_NE(SceneTreeForm->Keys().Find(lampKey), nullptr);
    EXPECT_EQ(SceneTreeForm->ObjectOfKey(lampKey), nullptr);
    EXPECT_EQ(SceneTreeForm->RowText(SceneTreeForm->Keys().NodeOf(lampKey)), "");
    EXPECT_EQ(tsxhost::StaleUses(), 0);
    SceneTreeForm->RefreshTree();
    EXPECT_EQ(SceneTreeForm->Keys().Find(lampKey), nullptr);
    EXPECT_EQ(Rows(SceneTreeForm),
              (std::vector<std::string>{"Props", "  Table", "Lamp", "Crowd", "  Anna"}));
}

TEST_F(SceneTreeTest, ClickingARowSelectsItsObjectAndTheTreeKeepsItsRows) {
    tsxhost::Select(lamp);
    const TNodeKey tableKey = SceneTreeForm->KeyOf(Row(table));
    ClickRow(SceneTreeForm, Row(table));
    EXPECT_EQ(tsxGetCurrentSelection(), table);
    EXPECT_TRUE(Shown(table));
    fw::ProcessMessages(); // the posted refresh
    EXPECT_TRUE(Shown(table));
    EXPECT_EQ(SceneTreeForm->KeyOf(Row(table)), tableKey); // not filled again
}

TEST_F(SceneTreeTest, ADeletionDuringItsOwnHandlerWaitsForThePostedRefresh) {
    tree->BeginUpdate(); // as inside the tree's own handler
    tsxhost::Delete(shelf);
    EXPECT_NE(Row(shelf), nullptr); // left for now: its key finds nothing
    EXPECT_EQ(SceneTreeForm->ObjectOf(Row(cup)), nullptr);
    tree->EndUpdate();
    fw::ProcessMessages();
    EXPECT_EQ(Row(shelf), nullptr);
    EXPECT_EQ(Rows(SceneTreeForm).size(), 5u);
}

TEST_F(SceneTreeTest, FollowingASelectionAmongOpenRowsKeepsThePositionCache) {
    // Dropping the cache at each selection made following one cost O(rows).
    std::vector<CtsxSobj> boxes;
    for (int i = 0; i < 5000; ++i)
        boxes.push_back(tsxhost::AddCube("Box", 1));
    ToolsForm->Show();
    ToolsForm->TreePages->SelectPage(static_cast<fw::TTabSheet*>(SceneTreeForm->Parent()));
    fw::ProcessMessages();
    for (int i = 0; i < 2000 && !tree->TreeStates().Contains(tsUseCache); ++i) {
        const std::uint64_t seen = fw::WakeupCount();
        fw::ProcessMessages();
        if (!tree->TreeStates().Contains(tsUseCache)) fw::WaitForWakeup(seen, 10);
    }
    ASSERT_TRUE(tree->TreeStates().Contains(tsUseCache));
    for (int i : {4000, 17, 2500}) {
        tsxhost::Select(boxes[static_cast<std::size_t>(i)]);
        fw::ProcessMessages();
        EXPECT_TRUE(Shown(boxes[static_cast<std::size_t>(i)]));
        EXPECT_TRUE(tree->TreeStates().Contains(tsUseCache));
    }
    tsxhost::Select(cup); // inside a closed group: opened in one update
    fw::ProcessMessages();
    EXPECT_TRUE(Shown(cup));
}

TEST_F(SceneTreeTest, GroupsNestedFiftyThousandDeepAreListedFollowedAndCleared) {
    constexpr int kDepth = 50000;
    CtsxSobj top = tsxhost::AddGroup("Deep");
    CtsxSobj deepest = top;
    for (int i = 1; i < kDepth; ++i)
        deepest = tsxhost::AddGroup("G", deepest);
    fw::ProcessMessages(); // the scene's end moved: listed again
    const unsigned before = tree->TotalCount();
    ASSERT_NE(Row(deepest), nullptr);
    EXPECT_EQ(tree->GetNodeLevel(Row(deepest)), static_cast<unsigned>(kDepth - 1));
    // The deepest picked in the host: every group above it opens, and the
    // row is scrolled to, focused and selected.
    tsxhost::Select(deepest);
    fw::ProcessMessages();
    EXPECT_TRUE(Shown(deepest));
    for (PLazyNode run = Row(deepest)->Parent; run != tree->RootNode(); run = run->Parent)
        ASSERT_TRUE(tree->Expanded(run));
    const fw::TRect shown = tree->GetDisplayRect(Row(deepest), NoColumn, false);
    EXPECT_GE(shown.Top, 0);
    EXPECT_LE(shown.Bottom, tree->ClientHeight());
    SceneTreeForm->RefreshTree(); // cleared and listed again
    EXPECT_EQ(tree->TotalCount(), before);
    tsxhost::Delete(top);
    fw::ProcessMessages();
    EXPECT_EQ(Row(deepest), nullptr);
    EXPECT_EQ(tree->TotalCount(), before - kDepth);
}

} // namespace
} // namespace vel
