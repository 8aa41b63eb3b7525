#include "SkelTreeForm.h"

#include <cstring>

#include "TreeFormTestEnv.h"

namespace vel {
namespace {

// A skeleton whose bones branch at the hip, named after the joints they end
// at, made in an order that sorting changes:
//   Spine (Hip - Chest) with Neck (Chest - Head) below it;
//   Thigh.R (Hip - Knee.R) and Thigh.L (Hip - Knee.L).
class SkelTreeTest : public TreeFormTest {
protected:
    void SetUp() override {
        TreeFormTest::SetUp();
        skeleton = NewSkel();
        hip = Named(JointAt(skeleton, 0, 0, 0), "Hip");
        chest = Named(JointAt(skeleton, 0, 0, 2), "Chest");
        head = Named(JointAt(skeleton, 0, 0, 3), "Head");
        kneeR = Named(JointAt(skeleton, -1, 0, -2), "Knee.R");
        kneeL = Named(JointAt(skeleton, 1, 0, -2), "Knee.L");
        spine = NewBone(hip, chest, "Spine");
        neck = NewBone(chest, head, "Neck");
        thighR = NewBone(hip, kneeR, "Thigh.R");
        thighL = NewBone(hip, kneeL, "Thigh.L");
        skeleton->Bones.PlaceAll();
        ball = tsxhost::AddCube("Ball", 0.5f);
        ASSERT_NE(OpenTools(), nullptr);
        ASSERT_NE(SkelTreeForm, nullptr);
        tree = SkelTreeForm->Tree();
        fw::ProcessMessages(); // the posted sort
    }
    static TJoint* Named(TJoint* joint, const char* name) {
        tsxGNodeSetName(joint->Node, name);
        return joint;
    }
    TBone* NewBone(TJoint* from, TJoint* to, const char* name) {
        TBone* bone = skeleton->NewBone(from, to);
        tsxGNodeSetName(bone->Node, name);
        return bone;
    }
    PLazyNode Row(const TBone* bone) const { return SkelTreeForm->NodeOfObject(bone->Node); }

    TSkeleton* skeleton = nullptr;
    TJoint *hip{}, *chest{}, *head{}, *kneeR{}, *kneeL{};
    TBone *spine{}, *neck{}, *thighR{}, *thighL{};
    CtsxSobj ball{};
    TLazyStringTree* tree = nullptr;
};

TEST_F(SkelTreeTest, ListsTheBonesAsTheirHierarchyWithTheirJointsSortedByName) {
    EXPECT_EQ(Rows(SkelTreeForm), (std::vector<std::string>{"Spine | Hip - Chest",
                                                            "  Neck | Chest - Head",
                                                            "Thigh.L | Hip - Knee.L",
                                                            "Thigh.R | Hip - Knee.R"}));
    // Rebuilt, the rows come in the bones' order until the posted sort.
    SkelTreeForm->RebuildTree();
    EXPECT_EQ(SkelTreeForm->RowText(tree->GetFirst()->NextSibling), "Thigh.R");
    fw::ProcessMessages();
    EXPECT_EQ(SkelTreeForm->RowText(tree->GetFirst()->NextSibling), "Thigh.L");
}

TEST_F(SkelTreeTest, ASortLostWithTheWindowIsAskedForAgain) {
    SkelTreeForm->RebuildTree();
    SkelTreeForm->RecreateWnd(); // the queued message goes with the old window
    fw::ProcessMessages();
    EXPECT_EQ(SkelTreeForm->RowText(tree->GetFirst()->NextSibling), "Thigh.R");
    SkelTreeForm->RebuildTree();
    fw::ProcessMessages();
    EXPECT_EQ(SkelTreeForm->RowText(tree->GetFirst()->NextSibling), "Thigh.L");
}

TEST_F(SkelTreeTest, BoundObjectsComeBeforeTheBonesBelowAndNumberedNamesInNumberOrder) {
    CtsxSobj cup10 = tsxhost::AddCube("Cup,10", 0.5f);
    CtsxSobj cup2 = tsxhost::AddCube("Cup,2", 0.5f);
    ASSERT_NE(spine->AttachChild(cup10), nullptr);
    ASSERT_NE(spine->AttachChild(cup2), nullptr);
    ASSERT_NE(spine->AttachChild(ball), nullptr);
    SkelTreeForm->RebuildTree();
    fw::ProcessMessages();
    EXPECT_EQ(Rows(SkelTreeForm), (std::vector<std::string>{
                                      "Spine | Hip - Chest", "  Ball", "  Cup,2", "  Cup,10",
                                      "  Neck | Chest - Head", "Thigh.L | Hip - Knee.L",
                                      "Thigh.R | Hip - Knee.R"}));
}

TEST_F(SkelTreeTest, ABoneAddedWithTheToolWindowShowsSelected) {
    tsxhost::Select(head->Node);
    ToolsForm->NewBoneButton->Click();
    fw::ProcessMessages();
    ASSERT_EQ(skeleton->Bones.Count(), 5);
    TBone* added = skeleton->Bones.Items(4);
    PLazyNode row = Row(added);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Parent, Row(neck));
    EXPECT_EQ(tree->FocusedNode(), row);
    EXPECT_TRUE(tree->Selected(row));
    EXPECT_EQ(SkelTreeForm->BoneOf(row), added);
}

TEST_F(SkelTreeTest, DeletingABoneKeepsTheBonesBelowItAndItsKeyFindsNothing) {
    const TNodeKey spineKey = SkelTreeForm->KeyOf(Row(spine));
    ASSERT_EQ(SkelTreeForm->BoneOfKey(spineKey), spine);
    tsxhost::Delete(spine->Node);
    // The row went with the rows below it; the posted refresh brings those back.
    EXPECT_EQ(Rows(SkelTreeForm), (std::vector<std::string>{"Thigh.L | Hip - Knee.L",
                                                            "Thigh.R | Hip - Knee.R"}));
    EXPECT_EQ(SkelTreeForm->BoneOfKey(spineKey), nullptr);
    EXPECT_EQ(SkelTreeForm->Keys().Find(spineKey), nullptr);
    fw::ProcessMessages();
    EXPECT_EQ(Rows(SkelTreeForm), (std::vector<std::string>{"Neck | Chest - Head",
                                                            "Thigh.L | Hip - Knee.L",
                                                            "Thigh.R | Hip - Knee.R"}));

    // A joint takes the bones that need it.
    const TNodeKey neckKey = SkelTreeForm->KeyOf(Row(neck));
    tsxhost::Delete(head->Node);
    fw::ProcessMessages();
    EXPECT_EQ(SkelTreeForm->BoneOfKey(neckKey), nullptr);
    EXPECT_EQ(Rows(SkelTreeForm).size(), 2u);
}

TEST_F(SkelTreeTest, ARebindingMovesTheObjectsRowAndADeletedObjectLeavesEveryBone) {
    ASSERT_NE(neck->AttachChild(ball), nullptr);
    ASSERT_NE(thighL->AttachChild(ball), nullptr);
    RefreshSkeletonViews();
    fw::ProcessMessages();
    ASSERT_EQ(SkelTreeForm->Keys().NodesOf(ball).size(), 2u);
    EXPECT_EQ(SkelTreeForm->Keys().NodesOf(ball)[0]->Parent, Row(neck));

    neck->DetachChild(ball);
    ASSERT_NE(thighR->AttachChild(ball), nullptr);
    RefreshSkeletonViews();
    fw::ProcessMessages();
    std::vector<PLazyNode> rows = SkelTreeForm->Keys().NodesOf(ball);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Rows(SkelTreeForm),
              (std::vector<std::string>{"Spine | Hip - Chest", "  Neck | Chest - Head",
                                        "Thigh.L | Hip - Knee.L", "  Ball",
                                        "Thigh.R | Hip - Knee.R", "  Ball"}));

    const TNodeKey key = SkelTreeForm->KeyOf(rows[0]);
    tsxhost::Delete(ball);
    EXPECT_TRUE(SkelTreeForm->Keys().NodesOf(ball).empty());
    EXPECT_EQ(SkelTreeForm->ObjectOfKey(key), nullptr);
    EXPECT_EQ(Rows(SkelTreeForm).size(), 4u);
}

TEST_F(SkelTreeTest, RefreshAllLeavesATreeInAnUpdateAlone) {
    const TNodeKey key = SkelTreeForm->KeyOf(Row(neck));
    tree->BeginUpdate();
    SkelTreeForm->RefreshAll();
    SkelTreeForm->RebuildTree();
    EXPECT_EQ(SkelTreeForm->KeyOf(Row(neck)), key);
    tree->EndUpdate();
    fw::ProcessMessages(); // the rebuild left for the refresh
    EXPECT_NE(SkelTreeForm->KeyOf(Row(neck)), key);
    EXPECT_EQ(SkelTreeForm->BoneOf(Row(neck)), neck);

    // Without a skeleton the refresh has nothing to rebuild from, but the
    // rebuild it stands for empties the rows.
    tree->BeginUpdate();
    SetCurrentSkeleton(nullptr);
    tree->EndUpdate();
    EXPECT_EQ(Rows(SkelTreeForm).size(), 4u);
    fw::ProcessMessages();
    EXPECT_TRUE(Rows(SkelTreeForm).empty());
}

TEST_F(SkelTreeTest, RefreshAllSelectsTheSelectedBoneAgainAndScrollsToIt) {
    // A chain long enough to scroll, from the neck's end.
    TJoint* from = head;
    for (int i = 0; i < 30; ++i) {
        TJoint* to = JointAt(skeleton, 0, 0, 4.0f + static_cast<float>(i));
        skeleton->NewBone(from, to);
        from = to;
    }
    skeleton->SelectedBone = skeleton->Bones.Count() - 1;
    SkelTreeForm->RefreshAll();
    fw::ProcessMessages();
    PLazyNode row = Row(skeleton->Bones.Items(skeleton->SelectedBone));
    EXPECT_EQ(tree->FocusedNode(), row);
    EXPECT_TRUE(tree->Selected(row));
    const fw::TRect r = tree->GetDisplayRect(row, NoColumn, false);
    EXPECT_GE(r.Top, 0);
    EXPECT_LE(r.Bottom, tree->ClientHeight());
    EXPECT_LT(tree->OffsetY(), 0);

    // Without a selected bone the focused row is kept.
    skeleton->SelectedBone = -1;
    tree->SetFocusedNode(Row(thighR));
    SkelTreeForm->RefreshAll();
    EXPECT_EQ(tree->FocusedNode(), Row(thighR));
}

TEST_F(SkelTreeTest, ClickingABoneSelectsItsObjectAndTheTreeIsRebuiltAfterwards) {
    const TNodeKey key = SkelTreeForm->KeyOf(Row(thighL));
    ClickRow(SkelTreeForm, Row(thighL));
    EXPECT_EQ(tsxGetCurrentSelection(), thighL->Node);
    EXPECT_EQ(skeleton->SelectedBone, 3);
    // The rig's refresh waited: the clicked row is still the one the tree holds.
    EXPECT_EQ(SkelTreeForm->KeyOf(tree->FocusedNode()), key);
    fw::ProcessMessages();
    EXPECT_NE(SkelTreeForm->KeyOf(tree->FocusedNode()), key);
    EXPECT_EQ(SkelTreeForm->BoneOf(tree->FocusedNode()), thighL);
}

TEST_F(SkelTreeTest, ARowKeepsAKeyNeverATruncatedPointer) {
    EXPECT_EQ(tree->NodeDataSize(), 4);
    for (PLazyNode row = tree->GetFirst(); row; row = tree->GetNext(row)) {
        TNodeKey data = 0;
        std::memcpy(&data, tree->GetNodeData(row), sizeof data);
        EXPECT_EQ(data, SkelTreeForm->KeyOf(row));
        EXPECT_NE(SkelTreeForm->Keys().Find(data), nullptr);
        TBone* bone = SkelTreeForm->BoneOf(row);
        ASSERT_NE(bone, nullptr);
        // Found again whole through its bone object, wherever it lives.
        EXPECT_EQ(bone->Node, SkelTreeForm->ObjectOf(row));
    }
}

TEST_F(SkelTreeTest, ATreeScrolledWhileItsPageWasHiddenFitsItsRowsWhenShownLarger) {
    ToolsForm->Show();
    ToolsForm->TreePages->SelectPage(ToolsForm->SceneSheet);
    fw::ProcessMessages();
    ASSERT_FALSE(tree->Showing());
    // Small while hidden, scrolled to its last row there.
    ToolsForm->SetBounds(ToolsForm->Left(), ToolsForm->Top(), 185, 290);
    fw::ProcessMessages();
    tree->ScrollIntoView(tree->GetLast(), false);
    const int hiddenOffset = tree->OffsetY();
    // Shown at a size its four rows fit in: no offset, no bar, no row cut.
    ToolsForm->SetBounds(ToolsForm->Left(), ToolsForm->Top(), 420, 660);
    ToolsForm->TreePages->SelectPage(ToolsForm->SkeletonSheet);
    fw::ProcessMessages();
    ASSERT_TRUE(tree->Showing());
    EXPECT_LE(hiddenOffset, 0);
    EXPECT_EQ(tree->OffsetY(), 0);
    EXPECT_GE(tree->GetDisplayRect(tree->GetFirst(), NoColumn, false).Top, 0);
}

} // namespace
} // namespace vel
