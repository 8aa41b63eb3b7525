#include "Bitmap.h"
#include "Canvas.h"
#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "LazyTreeStreams.h"
#include "LazyTreeWorker.h"
#include "Messages.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace vel {
namespace {

std::uint32_t& Data(TBaseLazyTree& T, PLazyNode N) {
    return *T.GetNodeDataAs<std::uint32_t>(N);
}

// A detached tree with 4 bytes of data per node.
class ModelTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = std::make_unique<TLazyStringTree>(nullptr);
        Tree->SetNodeDataSize(4);
    }
    void TearDown() override {
        // The handlers capture the test's locals; the tree outlives them.
        Tree->OnFreeNode = nullptr;
        Tree->OnStateChange = nullptr;
        Tree->OnUpdating = nullptr;
        Tree->OnStructureChange = nullptr;
        Tree->OnChange = nullptr;
        Tree->OnFocusChanged = nullptr;
        Tree->OnFocusChanging = nullptr;
        Tree.reset();
        FormTest::TearDown();
    }
    // Top-level nodes whose data are the given values.
    void Fill(std::initializer_list<std::uint32_t> Values) {
        for (std::uint32_t V : Values)
            Tree->AddChild(nullptr, V);
    }
    std::vector<std::uint32_t> Order(PLazyNode Parent = nullptr) {
        std::vector<std::uint32_t> R;
        for (PLazyNode N = Tree->GetFirstChildNoInit(Parent); N; N = N->NextSibling)
            R.push_back(Data(*Tree, N));
        return R;
    }
    // Every node's links, indexes and totals agree with the chain.
    void ExpectConsistent() {
        std::function<std::uint32_t(PLazyNode)> Check = [&](PLazyNode P) -> std::uint32_t {
            std::uint32_t Count = 1, Index = 0;
            PLazyNode Prev = nullptr;
            for (PLazyNode C = P->FirstChild; C; C = C->NextSibling) {
                EXPECT_EQ(C->Parent, P);
                EXPECT_EQ(C->PrevSibling, Prev);
                EXPECT_EQ(C->Index, Index++);
                Count += Check(C);
                Prev = C;
            }
            EXPECT_EQ(P->LastChild, Prev);
            EXPECT_EQ(P->ChildCount, Index);
            EXPECT_EQ(Tree->NodeTotalCount(P), Count);
            return Count;
        };
        Check(Tree->RootNode());
        std::uint32_t Visible = 0;
        for (PLazyNode N = Tree->GetFirstVisibleNoInit(); N; N = Tree->GetNextVisibleNoInit(N))
            ++Visible;
        EXPECT_EQ(Tree->VisibleCount(), Visible);
        // The steps from a shown row, which skip the walk up its path, give
        // the same rows both ways.
        std::vector<PLazyNode> Shown, Back;
        for (PLazyNode N = Tree->GetFirstVisibleNoInit(); N; N = Tree->NextShownNoInit(N))
            Shown.push_back(N);
        EXPECT_EQ(Shown.size(), Visible);
        for (PLazyNode N = Tree->GetLastVisibleNoInit(); N; N = Tree->PreviousShownNoInit(N))
            Back.push_back(N);
        std::reverse(Back.begin(), Back.end());
        EXPECT_EQ(Back, Shown);
    }
    std::unique_ptr<TLazyStringTree> Tree;
};

// ------------------------------------------------------------ storage

TEST_F(ModelTest, RootCountGrowsAndShrinksFromTheEnd) {
    std::vector<std::uint32_t> Freed;
    Tree->OnInitNode = [&](TBaseLazyTree*, PLazyNode, PLazyNode N, TLTInternalStates&) {
        Data(*Tree, N) = N->Index;
    };
    Tree->OnFreeNode = [&](TBaseLazyTree*, PLazyNode N) { Freed.push_back(Data(*Tree, N)); };
    Tree->SetRootNodeCount(3);
    Tree->SetRootNodeCount(5);
    EXPECT_EQ(Tree->RootNode()->TotalCount(), 6u);
    std::uint32_t I = 0;
    for (PLazyNode N = Tree->GetFirst(); N; N = Tree->GetNextSibling(N))
        EXPECT_EQ(N->Index, I++);
    EXPECT_EQ(I, 5u);
    EXPECT_EQ(Tree->RangeY(), 5u * 18);
    Tree->SetRootNodeCount(2);
    EXPECT_EQ(Freed, (std::vector<std::uint32_t>{4, 3, 2}));
    EXPECT_EQ(Tree->VisibleCount(), 2u);
    ExpectConsistent();
}

TEST_F(ModelTest, ChildCountZeroKeepsTheButtonDeleteChildrenCanClearIt) {
    Tree->SetRootNodeCount(1);
    PLazyNode N = Tree->GetFirst();
    Tree->SetChildCount(N, 3);
    EXPECT_TRUE(N->States & vsHasChildren);
    Tree->SetChildCount(N, 0);
    EXPECT_TRUE(N->States & vsHasChildren);
    EXPECT_EQ(N->FirstChild, nullptr);
    Tree->SetChildCount(N, 2);
    Tree->DeleteChildren(N, true);
    EXPECT_FALSE(N->States & vsHasChildren);
    ExpectConsistent();
}

TEST_F(ModelTest, GrowingCollapsedNodeLeavesTotalsAboveAlone) {
    Tree->SetRootNodeCount(1);
    PLazyNode N = Tree->GetFirst();
    std::uint32_t Height = Tree->RangeY();
    Tree->SetChildCount(N, 4);
    EXPECT_EQ(Tree->RangeY(), Height);
    EXPECT_EQ(Tree->VisibleCount(), 1u);
    Tree->ToggleNode(N);
    EXPECT_EQ(Tree->RangeY(), 5u * 18);
    Tree->SetChildCount(N, 6);
    EXPECT_EQ(Tree->RangeY(), 7u * 18);
    EXPECT_EQ(Tree->VisibleCount(), 7u);
    Tree->ToggleNode(N);
    EXPECT_EQ(Tree->VisibleCount(), 1u);
    EXPECT_EQ(Tree->RangeY(), 18u);
    ExpectConsistent();
}

TEST_F(ModelTest, NodeDataSizeChangeRecreatesUninitializedNodes) {
    Fill({1, 2, 3});
    Tree->SetNodeDataSize(8);
    EXPECT_EQ(Tree->RootNodeCount(), 3u);
    for (PLazyNode N = Tree->GetFirstNoInit(); N; N = N->NextSibling) {
        EXPECT_FALSE(N->States & vsInitialized);
        EXPECT_EQ(Data(*Tree, N), 0u);
    }
}

TEST_F(ModelTest, NodeDataOfRootAndNilAndUnsetSize) {
    EXPECT_EQ(Tree->GetNodeData(nullptr), nullptr);
    EXPECT_EQ(Tree->GetNodeData(Tree->RootNode()), nullptr);
    TLazyStringTree Bare(nullptr);
    EXPECT_THROW(Bare.GetNodeData(nullptr), ELazyTreeAssertion);
    Bare.SetNodeDataSize(0);
    EXPECT_THROW(Bare.GetNodeData(nullptr), ELazyTreeAssertion);
}

TEST_F(ModelTest, ReadOnlyTreeChangesNothing) {
    Fill({1, 2});
    PLazyNode N = Tree->GetFirst();
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toReadOnly);
    Tree->SetChildCount(N, 3);
    Tree->DeleteChildren(nullptr, true);
    Tree->SetNodeHeight(N, 40);
    Tree->DeleteNode(N);
    Tree->Clear();
    EXPECT_EQ(Tree->AddChild(nullptr), nullptr);
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    EXPECT_EQ(N->ChildCount, 0u);
    EXPECT_EQ(N->NodeHeight, 18u);
}

TEST_F(ModelTest, NodePositionsCompareInTreeOrder) {
    Tree->SetRootNodeCount(5);
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 1);
    Tree->SetChildCount(A->FirstChild, 1);
    EXPECT_EQ(Tree->CompareNodePositions(A, A->FirstChild->FirstChild), -1);
    EXPECT_EQ(Tree->CompareNodePositions(A->FirstChild->FirstChild, A), 1);
    PLazyNode Four = Tree->RootNode()->LastChild;
    EXPECT_EQ(Tree->CompareNodePositions(Four, A->NextSibling), 3);
    EXPECT_THROW(Tree->CompareNodePositions(nullptr, A), ELazyTreeAssertion);
    EXPECT_EQ(TreeFromNode(A->FirstChild->FirstChild), Tree.get());
}

TEST_F(ModelTest, NodeHeightChangesTravelUpOnlyThroughExpandedParents) {
    Tree->SetRootNodeCount(1);
    PLazyNode N = Tree->GetFirst();
    Tree->SetChildCount(N, 2);
    Tree->SetNodeHeight(N->FirstChild, 30);
    EXPECT_EQ(Tree->RangeY(), 18u);
    EXPECT_EQ(N->TotalHeight, 18u);
    Tree->ToggleNode(N);
    EXPECT_EQ(Tree->RangeY(), 18u + 30 + 18);
}

// ----------------------------------------------------------- structure

TEST_F(ModelTest, AddChildStoresInitialValueOrRefusesTooSmallData) {
    PLazyNode N = Tree->AddChild(nullptr, 7);
    EXPECT_EQ(Data(*Tree, N), 7u);
    EXPECT_TRUE(N->States & vsInitialUserData);
    TLazyStringTree Small(nullptr);
    Small.SetNodeDataSize(2);
    try {
        Small.AddChild(nullptr, 7);
        FAIL();
    } catch (const ELazyTreeError& E) {
        EXPECT_EQ(E.HelpContext(), 2008);
    }
    EXPECT_EQ(Small.RootNodeCount(), 1u);
}

TEST_F(ModelTest, DeleteNodeRenumbersSiblingsAndFreesInitializedOnly) {
    Fill({10, 11, 12, 13});
    int Freed = 0;
    Tree->OnFreeNode = [&](TBaseLazyTree*, PLazyNode) { ++Freed; };
    PLazyNode Second = Tree->GetFirstNoInit()->NextSibling;
    Tree->SetChildCount(Second, 3); // never initialized: no OnFreeNode for them
    Tree->DeleteNode(Second);
    EXPECT_EQ(Freed, 1);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{10, 12, 13}));
    ExpectConsistent();
}

TEST_F(ModelTest, IterationFiltersAndRefusesDeletion) {
    Fill({1, 2, 3, 4});
    PLazyNode Third = Tree->GetFirst()->NextSibling->NextSibling;
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->SetSelected(Third, true);
    Tree->SetSelected(Tree->GetFirst(), true);
    std::vector<std::uint32_t> Seen;
    PLazyNode Stop = Tree->IterateSubtree(
        nullptr, [&](TBaseLazyTree*, PLazyNode N, void*, bool&) { Seen.push_back(Data(*Tree, N)); },
        nullptr, vsSelected);
    EXPECT_EQ(Stop, nullptr);
    EXPECT_EQ(Seen, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_THROW(Tree->IterateSubtree(
                     nullptr,
                     [&](TBaseLazyTree*, PLazyNode N, void*, bool&) { Tree->DeleteNode(N); },
                     nullptr),
                 ELazyTreeAssertion);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsIterating));
    PLazyNode Aborted = Tree->IterateSubtree(
        nullptr, [&](TBaseLazyTree*, PLazyNode N, void*, bool& Abort) { Abort = N == Third; },
        nullptr);
    EXPECT_EQ(Aborted, Third);
}

TEST_F(ModelTest, FullExpandCoversTheSubtreeOnly) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst(), B = A->NextSibling;
    Tree->SetChildCount(A, 2);
    Tree->SetChildCount(A->FirstChild, 2);
    Tree->SetChildCount(B, 2);
    Tree->FullExpand(A);
    EXPECT_TRUE(A->States & vsExpanded);
    EXPECT_TRUE(A->FirstChild->States & vsExpanded);
    EXPECT_FALSE(B->States & vsExpanded);
    EXPECT_EQ(Tree->VisibleCount(), 2u + 2 + 2);
    Tree->FullCollapse();
    EXPECT_EQ(Tree->VisibleCount(), 2u);
    ExpectConsistent();
}

TEST_F(ModelTest, MoveToRelinksAndRefusesOwnDescendant) {
    Fill({1, 2, 3});
    PLazyNode A = Tree->GetFirst(), C = Tree->RootNode()->LastChild;
    Tree->SetChildCount(A, 1);
    try {
        Tree->MoveTo(A, A->FirstChild, amAddChildLast, false);
        FAIL();
    } catch (const ELazyTreeError& E) {
        EXPECT_EQ(E.HelpContext(), 2001);
    }
    int Moved = 0;
    Tree->OnNodeMoved = [&](TBaseLazyTree*, PLazyNode) { ++Moved; };
    Tree->MoveTo(C, A, amInsertBefore, false);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{3, 1, 2}));
    Tree->ToggleNode(A);
    Tree->MoveTo(C, A, amAddChildFirst, false);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(A->FirstChild, C);
    EXPECT_EQ(Moved, 2);
    ExpectConsistent();
}

TEST_F(ModelTest, MovingChildrenKeepsTheirOrderInEveryMode) {
    for (TLTNodeAttachMode Mode :
         {amInsertBefore, amInsertAfter, amAddChildFirst, amAddChildLast}) {
        Tree->Clear();
        Fill({1, 2});
        PLazyNode A = Tree->GetFirst(), B = A->NextSibling;
        for (std::uint32_t V : {11u, 12u, 13u})
            Tree->AddChild(A, V);
        Tree->AddChild(B, 21);
        PLazyNode Target = Mode == amAddChildFirst || Mode == amAddChildLast ? B : B->FirstChild;
        Tree->MoveTo(A, Target, Mode, true);
        std::vector<std::uint32_t> Got = Order(B);
        Got.erase(std::remove(Got.begin(), Got.end(), 21u), Got.end());
        EXPECT_EQ(Got, (std::vector<std::uint32_t>{11, 12, 13})) << static_cast<int>(Mode);
        EXPECT_EQ(A->ChildCount, 0u);
        ExpectConsistent();
    }
}

TEST_F(ModelTest, MoveToAnotherTreeCopiesAndDeletesTheSource) {
    Fill({1, 2});
    Tree->OnSaveNode = [&](TBaseLazyTree* T, PLazyNode N, TStream& S) { S.WriteU32(Data(*T, N)); };
    TLazyStringTree Other(nullptr);
    Other.SetNodeDataSize(4);
    Other.OnLoadNode = [&](TBaseLazyTree* T, PLazyNode N, TStream& S) {
        Data(*T, N) = S.ReadU32();
    };
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    Tree->ValidateChildren(A, false);
    Tree->MoveTo(A, Other.RootNode(), amAddChildLast, false);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{2}));
    ASSERT_EQ(Other.RootNodeCount(), 1u);
    PLazyNode Copy = Other.GetFirstNoInit();
    EXPECT_EQ(Data(Other, Copy), 1u);
    EXPECT_EQ(Copy->ChildCount, 2u);
    EXPECT_EQ(Other.TotalCount(), 3u);
}

TEST_F(ModelTest, DeleteSelectedNodesKeepsIndexesRight) {
    Fill({1, 2, 3, 4, 5});
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    PLazyNode N = Tree->GetFirst();
    Tree->SetSelected(N->NextSibling, true);
    Tree->SetSelected(N->NextSibling->NextSibling->NextSibling, true);
    Tree->DeleteSelectedNodes();
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{1, 3, 5}));
    EXPECT_EQ(Tree->SelectedCount(), 0);
    ExpectConsistent();
}

// --------------------------------------------------------------- sorting

class SortTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        Tree->OnCompareNodes = [this](TBaseLazyTree*, PLazyNode A, PLazyNode B, int, int& R) {
            ++Compares;
            R = static_cast<int>(Data(*Tree, A) / 10) - static_cast<int>(Data(*Tree, B) / 10);
        };
    }
    int Compares = 0;
};

TEST_F(SortTest, EqualNodesKeepTheirOrderBothWays) {
    Fill({31, 12, 33, 11, 32});
    Tree->Sort(nullptr, NoColumn, sdAscending);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{12, 11, 31, 33, 32}));
    Tree->Sort(nullptr, NoColumn, sdDescending);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{31, 33, 32, 12, 11}));
    ExpectConsistent();
}

TEST_F(SortTest, WithoutCompareNothingMoves) {
    Tree->OnCompareNodes = nullptr;
    Fill({3, 1, 2});
    Tree->SortTree(NoColumn, sdAscending);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{3, 1, 2}));
}

TEST_F(SortTest, SortTreeWithInvalidColumnSortsNothing) {
    Fill({30, 10});
    Tree->SortTree(InvalidColumn, sdAscending);
    EXPECT_EQ(Compares, 0);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{30, 10}));
}

TEST_F(SortTest, WithoutInitUninitializedSubtreesStayUnsorted) {
    Tree->SetRootNodeCount(1);
    PLazyNode Top = Tree->GetFirstNoInit();
    Tree->SetChildCount(Top, 3);
    std::uint32_t V = 30;
    for (PLazyNode N = Top->FirstChild; N; N = N->NextSibling, V -= 10)
        Data(*Tree, N) = V;
    Tree->SortTree(NoColumn, sdAscending, false);
    EXPECT_EQ(Order(Top), (std::vector<std::uint32_t>{30, 20, 10}));
    Tree->SortTree(NoColumn, sdAscending, true);
    EXPECT_EQ(Order(Top), (std::vector<std::uint32_t>{10, 20, 30}));
    EXPECT_TRUE(Top->States & vsInitialized);
}

TEST_F(SortTest, AutoSortRunsOnceAtTheFinalEndUpdate) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoSort);
    Tree->BeginUpdate();
    Fill({50, 40, 30, 20, 10});
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{50, 40, 30, 20, 10}));
    EXPECT_EQ(Compares, 0);
    Tree->EndUpdate();
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{10, 20, 30, 40, 50}));
    // Outside an update every add sorts at once.
    Tree->AddChild(nullptr, 5);
    EXPECT_EQ(Order().front(), 5u);
}

// ------------------------------------------------------------ navigation

TEST_F(ModelTest, NextAndPreviousWalkTreeOrder) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    PLazyNode Last = A->LastChild;
    EXPECT_EQ(Tree->GetNextNoInit(Last), A->NextSibling);
    EXPECT_FALSE(A->NextSibling->States & vsInitialized);
    EXPECT_EQ(Tree->GetNext(Last), A->NextSibling);
    EXPECT_TRUE(A->NextSibling->States & vsInitialized);
    EXPECT_EQ(Tree->GetPrevious(A->NextSibling), Last);
    EXPECT_EQ(Tree->GetPrevious(A), nullptr);
    EXPECT_EQ(Tree->GetLast(), A->NextSibling);
    EXPECT_THROW(Tree->GetNextSibling(Tree->RootNode()), ELazyTreeAssertion);
    // Collapsed children are not visible rows.
    EXPECT_EQ(Tree->GetNextVisible(A), A->NextSibling);
    EXPECT_EQ(Tree->GetNextVisible(A->FirstChild), A->NextSibling);
    EXPECT_EQ(Tree->GetPreviousVisible(A->NextSibling), A);
}

TEST_F(ModelTest, InitChildrenAsksOnceAndZeroRemovesTheButton) {
    int Asked = 0;
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates& S) {
        S |= ivsHasChildren;
    };
    Tree->OnInitChildren = [&](TBaseLazyTree*, PLazyNode N, std::uint32_t& C) {
        ++Asked;
        C = N->Parent == Tree->RootNode() && N->Index == 0 ? 3 : 0;
    };
    Tree->SetRootNodeCount(2);
    PLazyNode A = Tree->GetFirst();
    EXPECT_EQ(Tree->GetFirstChild(A), A->FirstChild);
    EXPECT_EQ(A->ChildCount, 3u);
    PLazyNode B = Tree->GetNextSibling(A);
    Tree->ToggleNode(B);
    EXPECT_FALSE(B->States & vsHasChildren);
    EXPECT_EQ(Asked, 2);
}

TEST_F(ModelTest, NodeAtPositionAndTopNode) {
    Fill({1, 2, 3, 4});
    int Top = -1;
    EXPECT_EQ(Tree->GetNodeAt(0, 40, false, Top), Tree->GetFirst()->NextSibling->NextSibling);
    EXPECT_EQ(Top, 36);
    EXPECT_EQ(Tree->GetNodeAt(0, 4 * 18, false, Top), nullptr);
    fw::TRect R = Tree->GetDisplayRect(Tree->RootNode()->LastChild, NoColumn, false);
    EXPECT_EQ(R.Top, 54);
    EXPECT_EQ(R.Bottom, 72);
    Tree->SetBounds(0, 0, 100, 36);
    Tree->SetOffsetY(-18);
    EXPECT_EQ(Tree->GetTopNode(), Tree->GetFirst()->NextSibling);
    THitInfo Hit;
    Tree->GetHitTestInfoAt(-5, 5, true, Hit);
    EXPECT_EQ(Hit.HitNode, nullptr);
    EXPECT_TRUE(Hit.HitPositions & hpToLeft);
}

TEST_F(ModelTest, ScrollIntoViewExpandsCollapsedParents) {
    Fill({1});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    EXPECT_TRUE(Tree->ScrollIntoView(A->LastChild, false));
    EXPECT_TRUE(A->States & vsExpanded);
}

// -------------------------------------------------------------- selection

class SelectionTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
        Tree->OnChange = [this](TBaseLazyTree*, PLazyNode) { ++Changes; };
    }
    int Changes = 0;
};

TEST_F(SelectionTest, SelectedOrDisabledNodesAreNotAddedTwice) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst(), B = A->NextSibling;
    Tree->AddToSelection(A);
    EXPECT_EQ(Changes, 1);
    Tree->AddToSelection(A);
    B->States |= vsDisabled;
    Tree->AddToSelection(B);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Tree->SelectedCount(), 1);
}

TEST_F(SelectionTest, LevelConstraintHoldsUntilSelectionEmpties) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect | toLevelSelectConstraint);
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 1);
    Tree->SetSelected(A, true);
    Tree->SetSelected(A->FirstChild, true);
    EXPECT_FALSE(Tree->Selected(A->FirstChild));
    Tree->SetSelected(A, false);
    Tree->SetSelected(A->FirstChild, true);
    EXPECT_TRUE(Tree->Selected(A->FirstChild));
}

TEST_F(SelectionTest, SiblingConstraintKeepsToTheAnchorsParent) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect | toSiblingSelectConstraint);
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 1);
    Tree->SetSelected(A, true);
    Tree->SetSelected(A->FirstChild, true);
    Tree->SetSelected(A->NextSibling, true);
    EXPECT_FALSE(Tree->Selected(A->FirstChild));
    EXPECT_TRUE(Tree->Selected(A->NextSibling));
}

TEST_F(SelectionTest, BulkAddKeepsTheArraySortedForLookups) {
    Tree->SetRootNodeCount(10000);
    Tree->SelectAll(false);
    EXPECT_EQ(Tree->SelectedCount(), 10000);
    EXPECT_EQ(Changes, 1);
    int Index = 0;
    for (PLazyNode N = Tree->GetFirstNoInit(); N; N = N->NextSibling)
        ASSERT_TRUE(Tree->FindNodeInSelection(N, Index, -1, -1));
    EXPECT_EQ(Tree->GetSortedSelection(false).size(), 10000u);
}

TEST_F(SelectionTest, RemovingTheLastResetsTheAnchorToTheFocus) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst(), B = A->NextSibling;
    Tree->SetFocusedNode(B);
    Tree->SetSelected(A, true);
    EXPECT_EQ(Tree->RangeAnchor(), A);
    Tree->SetSelected(A, false);
    EXPECT_EQ(Tree->RangeAnchor(), B);
}

// Inside an update a deleted node's entry is only marked; the count leaves it out at once.
TEST_F(SelectionTest, RemovalsInsideAnUpdateAreCountedAtOnce) {
    Fill({1, 2, 3});
    PLazyNode A = Tree->GetFirst();
    Tree->SetSelected(A, true);
    Tree->SetSelected(A->NextSibling, true);
    Tree->BeginUpdate();
    Tree->DeleteNode(A->NextSibling);
    EXPECT_EQ(Tree->SelectedCount(), 1);
    Tree->EndUpdate();
    EXPECT_EQ(Tree->SelectedCount(), 1);
    EXPECT_EQ(Tree->GetFirstSelected(), A);
}

TEST_F(SelectionTest, RangesFromTheAnchor) {
    Fill({1, 2, 3, 4, 5});
    PLazyNode A = Tree->GetFirst();
    PLazyNode D = A->NextSibling->NextSibling->NextSibling;
    Tree->AddRangeToSelection(D, A->NextSibling, false);
    EXPECT_EQ(Tree->SelectedCount(), 3);
    Tree->ClearSelection();
    EXPECT_EQ(Tree->GetFirstSelected(), nullptr);
}

TEST_F(SelectionTest, FocusChangesAskAndReport) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    bool Allow = false;
    int Changed = 0;
    Tree->OnFocusChanging = [&](TBaseLazyTree*, PLazyNode, PLazyNode, int, int, bool& Ok) {
        Ok = Allow;
    };
    Tree->OnFocusChanged = [&](TBaseLazyTree*, PLazyNode, int) { ++Changed; };
    Tree->SetFocusedNode(A);
    EXPECT_EQ(Tree->FocusedNode(), nullptr);
    Allow = true;
    Tree->SetFocusedNode(A);
    EXPECT_EQ(Tree->FocusedNode(), A);
    EXPECT_EQ(Changed, 1);
    Tree->DeleteNode(A);
    EXPECT_EQ(Tree->FocusedNode(), nullptr);
    EXPECT_EQ(Changed, 2);
}

TEST_F(SelectionTest, InvertAndToggleRanges) {
    Fill({1, 2, 3, 4});
    PLazyNode A = Tree->GetFirst();
    PLazyNode B = A->NextSibling, C = B->NextSibling, D = C->NextSibling;
    Tree->SetSelected(A, true);
    Tree->InvertSelection(false);
    EXPECT_EQ(Tree->GetSortedSelection(false), (TNodeArray{B, C, D}));
    Tree->ClearSelection();
    Tree->SetSelected(A, true);
    Tree->SetSelected(C, true);
    Tree->ToggleSelectionRange(A, D); // A is the anchor and keeps its state
    EXPECT_EQ(Tree->GetSortedSelection(false), (TNodeArray{A, B, D}));
}

TEST_F(SelectionTest, RubberBandIsClampedToTheContent) {
    Fill({1, 2});
    Tree->SetBounds(0, 0, 100, 100);
    EXPECT_FALSE(Tree->UpdateDrawSelection(10, 10)); // not drawing
    Tree->DoStateChange({tsDrawSelecting});
    Tree->SetDrawSelectionStart({5, 5});
    EXPECT_TRUE(Tree->UpdateDrawSelection(500, -20));
    EXPECT_EQ(Tree->NewRect(), (fw::TRect{5, 5, 100, 0}));
    EXPECT_EQ(Tree->OldRect(), (fw::TRect{5, 5, 5, 5}));
    EXPECT_FALSE(Tree->UpdateDrawSelection(600, -30));
}

TEST_F(SelectionTest, TopMostSelectionLeavesOutSelectedDescendants) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    Tree->SetSelected(A, true);
    Tree->SetSelected(A->FirstChild, true);
    Tree->SetSelected(A->NextSibling, true);
    EXPECT_EQ(Tree->GetSortedSelection(true), (TNodeArray{A, A->NextSibling}));
    EXPECT_EQ(Tree->GetSortedSelection(false).size(), 3u);
    Tree->MarkCutCopyNodes();
    EXPECT_EQ(Tree->GetFirstCutCopy(), nullptr); // no cut or copy pending
    Tree->DoStateChange({tsCopyPending});
    EXPECT_EQ(Tree->GetFirstCutCopy(), A);
    Tree->CancelCutOrCopy();
    EXPECT_FALSE(A->States & vsCutOrCopy);
}

// ---------------------------------------------------------------- checks

class CheckTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        Fill({1});
        Parent = Tree->GetFirst();
        Parent->CheckType = ctTriStateCheckBox;
        Tree->SetChildCount(Parent, 2);
        for (PLazyNode N = Parent->FirstChild; N; N = N->NextSibling)
            N->CheckType = ctCheckBox;
    }
    PLazyNode Parent = nullptr;
};

TEST_F(CheckTest, ParentSummarizesItsBoxes) {
    PLazyNode A = Parent->FirstChild, B = Parent->LastChild;
    Tree->SetCheckState(A, csCheckedNormal);
    EXPECT_EQ(Parent->CheckState, csMixedNormal);
    Tree->SetCheckState(B, csCheckedNormal);
    EXPECT_EQ(Parent->CheckState, csCheckedNormal);
    Tree->SetCheckState(A, csUncheckedNormal);
    Tree->SetCheckState(B, csUncheckedNormal);
    EXPECT_EQ(Parent->CheckState, csUncheckedNormal);
    B->CheckState = csMixedNormal;
    EXPECT_TRUE(Tree->PropagateCheckStateUp(A, csUncheckedNormal));
    EXPECT_EQ(Parent->CheckState, csMixedNormal);
}

TEST_F(CheckTest, ParentPassesItsStateDownAndRadiosExclude) {
    Tree->SetCheckState(Parent, csCheckedNormal);
    EXPECT_EQ(Parent->FirstChild->CheckState, csCheckedNormal);
    EXPECT_EQ(Parent->LastChild->CheckState, csCheckedNormal);
    EXPECT_FALSE(Parent->States & vsChecking);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsCheckPropagation));
    Parent->FirstChild->CheckType = ctRadioButton;
    Parent->LastChild->CheckType = ctRadioButton;
    Tree->SetCheckState(Parent->FirstChild, csUncheckedNormal);
    Tree->SetCheckState(Parent->LastChild, csUncheckedNormal);
    Tree->SetCheckState(Parent->FirstChild, csCheckedNormal);
    Tree->SetCheckState(Parent->LastChild, csCheckedNormal);
    EXPECT_EQ(Parent->FirstChild->CheckState, csUncheckedNormal);
    EXPECT_EQ(Tree->DetermineNextCheckState(ctCheckBox, csCheckedNormal), csUncheckedNormal);
    EXPECT_EQ(Tree->DetermineNextCheckState(ctRadioButton, csUncheckedNormal), csCheckedNormal);
}

TEST_F(CheckTest, RefusedCheckingChangesNothing) {
    Tree->OnChecking = [](TBaseLazyTree*, PLazyNode, TCheckState&, bool& Ok) { Ok = false; };
    Tree->SetCheckState(Parent->FirstChild, csCheckedNormal);
    EXPECT_EQ(Parent->FirstChild->CheckState, csUncheckedNormal);
}

// ---------------------------------------------------------- notifications

TEST_F(ModelTest, StateChangeReportsOnlyRealTransitions) {
    int Fired = 0;
    Tree->OnStateChange = [&](TBaseLazyTree*, TLazyTreeStates, TLazyTreeStates) { ++Fired; };
    Tree->DoStateChange({tsHint});
    Tree->DoStateChange({tsHint}, {tsSizing});
    EXPECT_EQ(Fired, 1);
    EXPECT_TRUE(Tree->TreeStates().Contains(tsHint));
}

TEST_F(ModelTest, NestedUpdatesDeliverOneStructureChange) {
    std::vector<TLTUpdateState> States;
    std::vector<TChangeReason> Reasons;
    Tree->OnUpdating = [&](TBaseLazyTree*, TLTUpdateState S) { States.push_back(S); };
    Tree->OnStructureChange = [&](TBaseLazyTree*, PLazyNode, TChangeReason R) {
        Reasons.push_back(R);
    };
    Tree->BeginUpdate();
    Tree->BeginUpdate();
    Fill({1, 2});
    Tree->DeleteNode(Tree->GetFirst());
    Tree->EndUpdate();
    EXPECT_TRUE(Reasons.empty());
    Tree->EndUpdate();
    EXPECT_EQ(States, (std::vector<TLTUpdateState>{usBegin, usUpdate, usUpdate, usEnd}));
    EXPECT_EQ(Reasons, (std::vector<TChangeReason>{crAccumulated}));
    Tree->EndUpdate(); // unpaired: stays at 0
    EXPECT_EQ(Tree->UpdateCount(), 0u);
}

TEST_F(ModelTest, HidingNodesTakesTheirRowsAway) {
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    Tree->ToggleNode(A);
    Tree->SetVisible(A->FirstChild, false);
    EXPECT_EQ(Tree->VisibleCount(), 3u);
    EXPECT_EQ(Tree->RangeY(), 3u * 18);
    Tree->SetVisible(A->LastChild, false);
    EXPECT_TRUE(A->States & vsAllChildrenHidden);
    Tree->SetVisible(A, false);
    EXPECT_EQ(Tree->VisibleCount(), 1u);
    EXPECT_EQ(Tree->GetFirstVisible(), A->NextSibling);
    ExpectConsistent();
    Tree->SetVisible(A, true);
    Tree->SetVisible(A->FirstChild, true);
    EXPECT_EQ(Tree->VisibleCount(), 3u);
    EXPECT_FALSE(A->States & vsAllChildrenHidden);
    ExpectConsistent();
}

TEST_F(ModelTest, UnlinkingTheLastChildCollapsesTheParentButNeverTheRoot) {
    Fill({1});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 1);
    Tree->ToggleNode(A);
    Tree->DeleteNode(A->FirstChild);
    EXPECT_FALSE(A->States & (vsExpanded | vsHasChildren));
    Tree->DeleteNode(A);
    EXPECT_TRUE(Tree->RootNode()->States & vsExpanded);
    EXPECT_EQ(Tree->RangeY(), 0u);
    EXPECT_EQ(Tree->RootNode()->TotalCount(), 1u);
}

TEST_F(ModelTest, DefaultHeightAppliesToNewNodesOnly) {
    Fill({1});
    Tree->SetDefaultNodeHeight(0);
    EXPECT_EQ(Tree->DefaultNodeHeight(), 18u);
    Tree->SetDefaultNodeHeight(30);
    Fill({2});
    EXPECT_EQ(Tree->RangeY(), 18u + 30);
    EXPECT_THROW(Tree->AllocateInternalDataArea(4), ELazyTreeAssertion);
}

TEST_F(ModelTest, VariableHeightsAreMeasuredOnce) {
    int Measured = 0;
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toVariableNodeHeight);
    Tree->OnMeasureItem = [&](TBaseLazyTree*, fw::TCanvas*, PLazyNode N, int& H) {
        ++Measured;
        H = 10 + static_cast<int>(N->Index) * 10;
    };
    Tree->SetRootNodeCount(3);
    EXPECT_EQ(Tree->RangeY(), 10u + 20 + 30);
    Tree->GetNodeHeight(Tree->GetFirstNoInit());
    EXPECT_EQ(Measured, 3);
    Tree->OnMeasureItem = nullptr;
}

TEST_F(ModelTest, ReinitAndResetRunInitializationAgain) {
    int Inits = 0, Resets = 0;
    Tree->OnInitNode = [&](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) { ++Inits; };
    Tree->OnResetNode = [&](TBaseLazyTree*, PLazyNode) { ++Resets; };
    Tree->SetRootNodeCount(1);
    PLazyNode N = Tree->GetFirst();
    Tree->ReinitNode(N, false);
    EXPECT_EQ(Inits, 2);
    Tree->SetChildCount(N, 2);
    Tree->ResetNode(N);
    EXPECT_EQ(Resets, 1);
    EXPECT_FALSE(N->States & vsInitialized);
    EXPECT_EQ(N->ChildCount, 0u);
    Tree->OnInitNode = nullptr;
    Tree->OnResetNode = nullptr;
}

TEST_F(ModelTest, CopyToDuplicatesASubtreeInPlace) {
    Tree->OnSaveNode = [](TBaseLazyTree* T, PLazyNode N, TStream& S) { S.WriteU32(Data(*T, N)); };
    Tree->OnLoadNode = [](TBaseLazyTree* T, PLazyNode N, TStream& S) { Data(*T, N) = S.ReadU32(); };
    Fill({1, 2});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    Tree->ValidateChildren(A, false);
    PLazyNode Copy = Tree->CopyTo(A, A->NextSibling, amInsertAfter, false);
    ASSERT_NE(Copy, nullptr);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{1, 2, 1}));
    EXPECT_EQ(Copy->ChildCount, 2u);
    EXPECT_EQ(Tree->TotalCount(), 7u);
    ExpectConsistent();
}

TEST_F(ModelTest, AssignCopiesSettingsAndTheRootCountOnly) {
    Fill({1, 2, 3, 4, 5});
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->SetIndent(30);
    TLazyStringTree Other(nullptr);
    Other.Assign(*Tree);
    EXPECT_EQ(Other.RootNodeCount(), 5u);
    EXPECT_EQ(Other.NodeDataSize(), 4);
    EXPECT_EQ(Other.Indent(), 30u);
    EXPECT_EQ(Other.SelectionOptions(), toMultiSelect);
    for (PLazyNode N = Other.GetFirstNoInit(); N; N = N->NextSibling) {
        EXPECT_FALSE(N->States & vsInitialized);
        EXPECT_EQ(Data(Other, N), 0u);
    }
    Other.TreeOptions()->SetMiscOptions(Other.MiscOptions() | toReadOnly);
    EXPECT_THROW(Other.Assign(*Tree), ELazyTreeAssertion);
}

TEST_F(ModelTest, PopupMenusAreAskedUpTheParentChain) {
    Fill({1});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 1);
    TPopupMenu Menu;
    std::vector<PLazyNode> Asked;
    bool StopAsking = false;
    Tree->OnGetPopupMenu = [&](TBaseLazyTree*, PLazyNode N, int, fw::TPoint, bool& AskParent,
                               TPopupMenu*& M) {
        Asked.push_back(N);
        if (N == A) M = &Menu;
        if (StopAsking) AskParent = false;
    };
    EXPECT_EQ(Tree->DoGetPopupMenu(A->FirstChild, NoColumn, {}), &Menu);
    EXPECT_EQ(Asked, (std::vector<PLazyNode>{A->FirstChild, A}));
    StopAsking = true;
    EXPECT_EQ(Tree->DoGetPopupMenu(A->FirstChild, NoColumn, {}), nullptr);
    int Popped = 0;
    Menu.OnPopup = [&](TPopupMenu*, int, int) { ++Popped; };
    Tree->DoPopupMenu(A, NoColumn, {1, 1});
    EXPECT_EQ(Popped, 1);
    EXPECT_EQ(Menu.PopupComponent(), Tree.get());
    EXPECT_TRUE(Tree->TreeStates().Contains(tsPopupMenuShown));
    Tree->OnGetPopupMenu = nullptr;
    EXPECT_FALSE(Tree->HasPopupMenu(A, NoColumn, {}));
    // Without a handler no drag may start.
    EXPECT_FALSE(Tree->DoBeforeDrag(A, NoColumn));
}

// ---------------------------------------------------------------- streams

class StreamTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        // Plain chunks only: the layout checks below count bytes.
        dynamic_cast<TCustomStringTreeOptions*>(Tree->TreeOptions())->SetStringOptions(0);
        Tree->OnSaveNode = [this](TBaseLazyTree* T, PLazyNode N, TStream& S) {
            if (WriteData) S.WriteU32(Data(*T, N));
        };
        Tree->OnLoadNode = [](TBaseLazyTree* T, PLazyNode N, TStream& S) {
            Data(*T, N) = S.ReadU32();
        };
    }
    std::vector<std::uint8_t> Save(PLazyNode Node = nullptr) {
        TMemoryStream S;
        Tree->SaveToStream(S, Node);
        return S.Data();
    }
    void Load(std::vector<std::uint8_t> Bytes) {
        TMemoryStream S(std::move(Bytes), true);
        Tree->LoadFromStream(S);
    }
    int LoadError(std::vector<std::uint8_t> Bytes) {
        try {
            Load(std::move(Bytes));
        } catch (const ELazyTreeError& E) {
            return E.HelpContext();
        }
        return 0;
    }
    bool WriteData = true;
};

TEST_F(StreamTest, EmptyTreeIsMagicAndZeroCount) {
    std::vector<std::uint8_t> B = Save();
    ASSERT_EQ(B.size(), 16u);
    EXPECT_EQ(B[0], 0x45);
    EXPECT_EQ(B[1], 0x20);
    EXPECT_EQ(B[2], 'V');
    EXPECT_EQ(B[6], 2);
    EXPECT_EQ(B[10], 0x46);
    EXPECT_EQ(B[12], 0);
    Fill({1});
    Load(B);
    EXPECT_EQ(Tree->RootNodeCount(), 0u);
}

TEST_F(StreamTest, RoundTripKeepsStructureDataAndStates) {
    Fill({1, 2, 3});
    PLazyNode A = Tree->GetFirst();
    Tree->SetChildCount(A, 2);
    Tree->ValidateChildren(A, false);
    Data(*Tree, A->FirstChild) = 11;
    Data(*Tree, A->LastChild) = 12;
    Tree->ToggleNode(A);
    A->CheckType = ctCheckBox;
    A->CheckState = csCheckedNormal;
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->SetSelected(A->LastChild, true);
    std::vector<std::uint8_t> B = Save();
    Tree->Clear();
    int Copied = 0;
    Tree->OnNodeCopied = [&](TBaseLazyTree*, PLazyNode N) { Copied += N == nullptr; };
    Load(B);
    EXPECT_EQ(Copied, 1);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{1, 2, 3}));
    A = Tree->GetFirstNoInit();
    EXPECT_EQ(Order(A), (std::vector<std::uint32_t>{11, 12}));
    EXPECT_TRUE(A->States & vsExpanded);
    EXPECT_EQ(A->CheckState, csCheckedNormal);
    EXPECT_EQ(Tree->SelectedCount(), 1);
    EXPECT_TRUE(Tree->Selected(A->LastChild));
    EXPECT_EQ(Tree->RangeY(), 5u * 18);
    ExpectConsistent();
    // Without multi-select the saved selection is dropped.
    Tree->TreeOptions()->SetSelectionOptions(0);
    Load(B);
    EXPECT_EQ(Tree->SelectedCount(), 0);
    EXPECT_EQ(Tree->GetFirstSelected(), nullptr);
}

TEST_F(StreamTest, OneNodeAndEmptyUserChunks) {
    Fill({1, 2});
    std::vector<std::uint8_t> One = Save(Tree->GetFirst());
    EXPECT_EQ(One[12], 1);
    WriteData = false;
    std::vector<std::uint8_t> Bare = Save(Tree->GetFirst());
    EXPECT_EQ(One.size(), Bare.size() + 12); // 8 header + 4 data
    Load(One);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{1}));
}

TEST_F(StreamTest, UninitializedNodesStayLazy) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() & ~toInitOnSave);
    Tree->SetRootNodeCount(2);
    Tree->GetFirst();
    std::vector<std::uint8_t> B = Save();
    int Inits = 0;
    Tree->OnInitNode = [&](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) { ++Inits; };
    Load(B);
    EXPECT_TRUE(Tree->GetFirstNoInit()->States & vsInitialized);
    EXPECT_FALSE(Tree->GetFirstNoInit()->NextSibling->States & vsInitialized);
    Tree->GetFirst();
    Tree->GetNext(Tree->GetFirst());
    EXPECT_EQ(Inits, 1);
}

// Top-level nodes an initialisation for toInitOnSave adds while the tree is
// written: the count came first, and a read stopped at it (7 saved, 1 read).
TEST_F(StreamTest, TopLevelNodesAddedWhileSavingAreRead) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toInitOnSave);
    Tree->SetRootNodeCount(1);
    bool Once = true;
    Tree->OnInitNode = [&Once](TBaseLazyTree* T, PLazyNode, PLazyNode, TLTInternalStates&) {
        if (std::exchange(Once, false))
            for (int I = 0; I < 6; ++I)
                T->AddChild(nullptr);
    };
    std::vector<std::uint8_t> B = Save();
    Tree->OnInitNode = nullptr;
    Load(B);
    EXPECT_EQ(Tree->RootNodeCount(), 7u);
    ExpectConsistent();
}

TEST_F(StreamTest, VersionOneHasNoCountAndEveryNodeIsVisible) {
    Fill({5, 6});
    std::vector<std::uint8_t> V2 = Save();
    // Rebuild as version 1: 12-byte base bodies, no count.
    std::vector<std::uint8_t> V1(V2.begin(), V2.begin() + 12);
    V1[6] = 1;
    std::size_t P = 16;
    while (P < V2.size()) {
        // node {1,size} base {2,17} body(17) user {4,4} data(4)
        std::uint32_t Data;
        std::memcpy(&Data, &V2[P + 8 + 8 + 17 + 8], 4);
        auto Put32 = [&](std::uint32_t V) {
            for (int I = 0; I < 4; ++I)
                V1.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
        };
        Put32(1);
        Put32(8 + 12 + 8 + 4);
        Put32(2);
        Put32(12);
        Put32(0);
        Put32(18);
        V1.push_back(0x01); // initialized, old visible bit clear
        V1.push_back(50);
        V1.push_back(0);
        V1.push_back(0);
        Put32(4);
        Put32(4);
        Put32(Data);
        P += 8 + 8 + 17 + 8 + 4;
    }
    Load(V1);
    EXPECT_EQ(Order(), (std::vector<std::uint32_t>{5, 6}));
    EXPECT_EQ(Tree->VisibleCount(), 2u);
    EXPECT_TRUE(Tree->GetFirstNoInit()->States & vsVisible);
}

TEST_F(StreamTest, FilesRoundTripAndMissingFilesFailPlainly) {
    Fill({1, 2});
    WriteData = false; // empty user chunks are cut back out of the file too
    std::string Path = fw::TestPath("lazytree_stream.bin");
    {
        TFileStream F(Path, TFileStream::TMode::fmCreate);
        Tree->SaveToStream(F);
        EXPECT_EQ(F.Size(), static_cast<std::int64_t>(Save().size()));
    }
    Tree->LoadFromFile(Path);
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    EXPECT_THROW(Tree->LoadFromFile(Path + ".missing"), EStreamError);
    std::remove(Path.c_str());
}

TEST_F(StreamTest, HeaderErrors) {
    std::vector<std::uint8_t> B = Save();
    EXPECT_EQ(LoadError({1, 2, 3}), 2004);
    auto Wrong = B;
    Wrong[2] = 'X';
    EXPECT_EQ(LoadError(Wrong), 2002);
    auto Future = B;
    Future[6] = 3;
    EXPECT_EQ(LoadError(Future), 2003);
    auto Odd = B;
    Odd[8] = 0x99; // the fifth unit is ignored
    EXPECT_EQ(LoadError(Odd), 0);
}

TEST_F(StreamTest, DamagedChunksAreRefusedCleanly) {
    Fill({1, 2});
    Tree->SetChildCount(Tree->GetFirst(), 1);
    Tree->ValidateChildren(Tree->GetFirst(), false);
    std::vector<std::uint8_t> B = Save();
    auto Patch32 = [](std::vector<std::uint8_t> V, std::size_t At, std::uint32_t X) {
        std::memcpy(&V[At], &X, 4);
        return V;
    };
    EXPECT_EQ(LoadError(Patch32(B, 16, 7)), 2005);          // not a node chunk
    EXPECT_EQ(LoadError(Patch32(B, 20, 0x7FFFFFF0)), 2004); // node size past the end
    EXPECT_EQ(LoadError(Patch32(B, 20, 0xFFFFFFF0)), 2004); // negative node size
    EXPECT_EQ(LoadError(Patch32(B, 28, 0x7FFFFFF0)), 2006); // base larger than the node
    EXPECT_EQ(LoadError(Patch32(B, 32, 0xFFFFFFFF)), 2005); // four billion children
    std::vector<std::uint8_t> Cut(B.begin(), B.end() - 3);
    EXPECT_NE(LoadError(Cut), 0);
    // The tree stays usable after each refusal.
    ExpectConsistent();
    Load(B);
    EXPECT_EQ(Tree->TotalCount(), 3u);
}

TEST_F(StreamTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::vector<std::uint8_t> B = Save();
    std::vector<std::uint8_t> S(B.begin(), B.begin() + 12);
    auto Put32 = [&](std::uint32_t V) {
        for (int I = 0; I < 4; ++I)
            S.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
    };
    Put32(1);
    const int Depth = 100000;
    for (int I = 0; I < Depth; ++I) {
        Put32(1);
        Put32(0x7FFFFFFF);
        Put32(2);
        Put32(0x7FFFFFFF);
        Put32(1);
        Put32(18);
        for (int K = 0; K < 9; ++K)
            S.push_back(0);
    }
    EXPECT_NE(LoadError(S), 0);
    ExpectConsistent();
}

TEST_F(StreamTest, RandomDamageNeverBreaksTheTree) {
    Fill({1, 2, 3});
    Tree->SetChildCount(Tree->GetFirst(), 2);
    Tree->ValidateNode(nullptr, true);
    std::vector<std::uint8_t> B = Save();
    std::mt19937 Rng(7);
    for (int Round = 0; Round < 400; ++Round) {
        auto D = B;
        for (int K = 0; K < 3; ++K)
            D[Rng() % D.size()] = static_cast<std::uint8_t>(Rng());
        if (Round % 5 == 0) D.resize(Rng() % D.size());
        LoadError(D);
        ExpectConsistent();
    }
}

TEST_F(StreamTest, UserChunkReadWrongIsSkippedToItsEnd) {
    Fill({1, 2});
    std::vector<std::uint8_t> B = Save();
    Tree->OnLoadNode = [](TBaseLazyTree*, PLazyNode, TStream& S) { S.SetPosition(0); };
    EXPECT_EQ(LoadError(B), 0);
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
}

// -------------------------------------------------------------- string tree

TEST_F(ModelTest, StringTreeTextComesFromEvents) {
    Fill({1});
    PLazyNode N = Tree->GetFirst();
    EXPECT_EQ(Tree->GetText(N, NoColumn), u"Node");
    Tree->SetDefaultText(u"Item");
    EXPECT_EQ(Tree->GetText(N, NoColumn), u"Item");
    std::u16string Stored;
    Tree->OnGetText = [&](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string& T) {
        T = Stored;
    };
    Tree->OnNewText = [&](TBaseLazyTree*, PLazyNode, int, const std::u16string& T) { Stored = T; };
    Tree->SetText(N, NoColumn, u"abc");
    EXPECT_EQ(Tree->GetText(N, NoColumn), u"abc");
    EXPECT_EQ(Tree->DoIncrementalSearch(N, u"ab"), 0);
    EXPECT_EQ(Tree->DoIncrementalSearch(N, u"Ab"), 1);
    EXPECT_EQ(Tree->DoIncrementalSearch(N, u"bc"), 1);
    EXPECT_THROW(Tree->GetText(nullptr, 0), ELazyTreeAssertion);
}

TEST_F(ModelTest, NodeWidthIsMeasuredOnceAndResetByNewText) {
    Fill({1});
    PLazyNode N = Tree->GetFirst();
    std::u16string Stored = u"abc";
    int Asked = 0;
    Tree->OnGetText = [&](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string& T) {
        ++Asked;
        T = Stored;
    };
    Tree->OnNewText = [&](TBaseLazyTree*, PLazyNode, int, const std::u16string& T) { Stored = T; };
    fw::TBitmap B(10, 10);
    B.Canvas().Font().Assign(Tree->Font());
    int Expected = 2 * Tree->TextMargin() + B.Canvas().TextWidth(std::u16string_view(u"abc"));
    EXPECT_EQ(Tree->DoGetNodeWidth(N, NoColumn, &B.Canvas()), Expected);
    EXPECT_EQ(Tree->DoGetNodeWidth(N, NoColumn, &B.Canvas()), Expected);
    EXPECT_EQ(Asked, 1);
    Tree->SetText(N, NoColumn, u"abcdef");
    EXPECT_GT(Tree->DoGetNodeWidth(N, NoColumn, &B.Canvas()), Expected);
}

TEST_F(ModelTest, CaptionsTravelWithTheStream) {
    Fill({1, 2});
    Tree->OnGetText = [&](TBaseLazyTree* T, PLazyNode N, int, TLSTTextType, std::u16string& S) {
        S = u"n" + std::u16string(1, static_cast<char16_t>(u'0' + Data(*T, N)));
    };
    TMemoryStream S;
    Tree->GetFirst();
    Tree->GetNext(Tree->GetFirst());
    Tree->SaveToStream(S);
    TLazyStringTree Other(nullptr);
    Other.SetNodeDataSize(4);
    std::vector<std::u16string> Got;
    Other.OnNewText = [&](TBaseLazyTree*, PLazyNode, int, const std::u16string& T) {
        Got.push_back(T);
    };
    S.SetPosition(0);
    Other.LoadFromStream(S);
    EXPECT_EQ(Got, (std::vector<std::u16string>{u"n1", u"n2"}));
}

// ------------------------------------------------------------ worker thread

class WorkerTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = Place<TLazyStringTree>(0, 0, 200, 200);
        Tree->HandleNeeded();
    }
    // Pumps until the worker is done with the tree; the bound only guards
    // against a hang, the outcome never depends on it.
    void Settle() {
        for (int I = 0; I < 200000; ++I) {
            fw::DeliverSentMessages();
            // Waiting first: a tree taken between the two questions is current then.
            if (WorkerThread()->WaitingCount() == 0 && WorkerThread()->CurrentTree() == nullptr &&
                !Tree->TreeStates().Contains(tsValidating))
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        fw::DeliverSentMessages();
    }
    TLazyStringTree* Tree = nullptr;
};

TEST_F(WorkerTest, SmallTreesGetNoCache) {
    Tree->SetRootNodeCount(2000);
    Settle();
    EXPECT_FALSE(Tree->TreeStates().Contains(tsUseCache));
    EXPECT_TRUE(Tree->PositionCache().empty());
}

TEST_F(WorkerTest, CacheHoldsEveryTwoThousandthNode) {
    Tree->SetRootNodeCount(2001);
    Settle();
    ASSERT_TRUE(Tree->TreeStates().Contains(tsUseCache));
    ASSERT_EQ(Tree->PositionCache().size(), 2u);
    EXPECT_EQ(Tree->PositionCache()[0].Node, Tree->GetFirstNoInit());
    EXPECT_EQ(Tree->PositionCache()[1].Node, Tree->RootNode()->LastChild);
    EXPECT_EQ(Tree->PositionCache()[1].Top, 2000u * 18);
    // Look-ups through the cache agree with the walk.
    int Top = 0;
    PLazyNode N = Tree->GetNodeAt(0, 2000 * 18 + 3, false, Top);
    EXPECT_EQ(N, Tree->RootNode()->LastChild);
    EXPECT_EQ(Tree->GetDisplayRect(N, NoColumn, false).Top, 2000 * 18);
}

TEST_F(WorkerTest, StructureChangesStopTheCache) {
    Tree->SetRootNodeCount(5000);
    Settle();
    ASSERT_TRUE(Tree->TreeStates().Contains(tsUseCache));
    Tree->BeginUpdate();
    Tree->AddChild(nullptr);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsUseCache));
    EXPECT_TRUE(Tree->TreeStates().Contains(tsValidationNeeded));
    Tree->EndUpdate();
    Settle();
    EXPECT_TRUE(Tree->TreeStates().Contains(tsUseCache));
    EXPECT_EQ(Tree->PositionCache().size(), 3u);
}

TEST_F(WorkerTest, ManyTreesShareOneWorker) {
    TWorkerThread* W = WorkerThread();
    {
        TLazyStringTree A(nullptr), B(nullptr);
        EXPECT_EQ(WorkerThread(), W);
        EXPECT_EQ(W->RefCount, 3u);
    }
    EXPECT_EQ(W->RefCount, 1u);
    // Destroying a tree during a build waits for the worker.
    auto* Big = fw::Create<TLazyStringTree>(Form.get());
    Big->SetParent(Form.get());
    Big->HandleNeeded();
    Big->SetRootNodeCount(50000);
    fw::Free(Big);
    EXPECT_EQ(W->RefCount, 1u);
}

TEST_F(WorkerTest, DelayedChangesArriveOnceWithTheLastNode) {
    Tree->SetNodeDataSize(4);
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    std::vector<PLazyNode> Seen;
    Tree->OnChange = [&](TBaseLazyTree*, PLazyNode N) { Seen.push_back(N); };
    Tree->SetRootNodeCount(3);
    Tree->SetChangeDelay(200);
    PLazyNode A = Tree->GetFirst();
    Tree->SetSelected(A, true);
    Tree->SetSelected(A->NextSibling, true);
    fw::AdvanceClock(100);
    EXPECT_TRUE(Seen.empty());
    fw::AdvanceClock(150);
    EXPECT_EQ(Seen, (std::vector<PLazyNode>{A->NextSibling}));
    Tree->OnChange = nullptr;
}

// A handler that throws as an update ends: on a normal way out its exception
// reaches the caller; while another exception unwinds, that one arrives and
// the handler's is reported. Neither escapes a destructor.
TEST_F(ModelTest, HandlersThrowingAsAnUpdateEndsNeverEscapeADestructor) {
    Fill({1, 2, 3});
    Tree->OnStructureChange = [](TBaseLazyTree*, PLazyNode, TChangeReason) {
        throw std::runtime_error("structure handler");
    };
    EXPECT_THROW(Tree->Clear(), std::runtime_error);
    EXPECT_EQ(Tree->UpdateCount(), 0u);
    EXPECT_EQ(Tree->RootNodeCount(), 0u);
    Tree->OnStructureChange = nullptr;

    Fill({1, 2, 3});
    TMemoryStream Saved;
    Tree->SaveToStream(Saved);
    std::vector<std::uint8_t> Cut(Saved.Data().begin(), Saved.Data().end() - 1);
    TMemoryStream Damaged(std::move(Cut), true);
    // Loading clears the tree first: only the load's own update ends with nodes.
    Tree->OnUpdating = [](TBaseLazyTree* Sender, TLTUpdateState State) {
        if (State == usEnd && Sender->RootNodeCount() > 0)
            throw std::runtime_error("updating handler");
    };
    testing::internal::CaptureStderr();
    EXPECT_THROW(Tree->LoadFromStream(Damaged), ELazyTreeError);
    const std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_NE(Err.find("updating handler"), std::string::npos) << Err;
    EXPECT_EQ(Tree->UpdateCount(), 0u);
}

} // namespace
} // namespace vel
