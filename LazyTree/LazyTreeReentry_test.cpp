// Handlers, walk callbacks and the worker's messages that change the tree in
// the middle of an operation: adding, moving, sorting and deleting while the
// operation still holds a node, a sibling chain or a count.
#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "LazyTreeWorker.h"
#include "TreeInvariants.h"
#include "TreeViewTestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vel {
namespace {

// A windowless string tree with four bytes per node; nodes initialise to nothing.
class ReentryTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = std::make_unique<TLazyStringTree>(nullptr);
        Tree->SetNodeDataSize(4);
        Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) {};
    }
    void TearDown() override {
        Tree.reset();
        FormTest::TearDown();
    }
    PLazyNode Root(int I) {
        PLazyNode N = Tree->GetFirstNoInit();
        while (N && I-- > 0)
            N = N->NextSibling;
        return N;
    }
    std::vector<PLazyNode> Roots() {
        std::vector<PLazyNode> R;
        for (PLazyNode N = Tree->GetFirstNoInit(); N; N = N->NextSibling)
            R.push_back(N);
        return R;
    }
    std::unique_ptr<TLazyStringTree> Tree;
};

bool IsIterationRefusal(const ELazyTreeAssertion& E) {
    return std::string(E.what()).find("during tree iteration") != std::string::npos;
}

// ------------------------------------------------------ deleting while a walk runs

// Every deleting path refuses as DeleteNode does while a walk runs: a
// shrinking child count and the deletion of the selection freed leaves the
// walk still stood on.
TEST_F(ReentryTest, EveryDeletionFromAWalksCallbackIsRefused) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    const std::vector<std::pair<const char*, std::function<void(TBaseLazyTree*, PLazyNode)>>>
        Deletions = {
            {"shrinking child count", [](TBaseLazyTree* T, PLazyNode) { T->SetChildCount(nullptr, 1); }},
            {"zero child count", [](TBaseLazyTree* T, PLazyNode) { T->SetRootNodeCount(0); }},
            {"selected nodes", [](TBaseLazyTree* T, PLazyNode) { T->DeleteSelectedNodes(); }},
            {"node", [](TBaseLazyTree* T, PLazyNode N) { T->DeleteNode(N); }},
            {"children", [](TBaseLazyTree* T, PLazyNode) { T->DeleteChildren(nullptr); }},
            {"clear", [](TBaseLazyTree* T, PLazyNode) { T->Clear(); }},
            {"reset", [](TBaseLazyTree* T, PLazyNode N) { T->ResetNode(N->Parent); }},
        };
    for (const auto& [What, Delete] : Deletions) {
        SCOPED_TRACE(What);
        Tree->Clear();
        Tree->SetRootNodeCount(3);
        Tree->SetChildCount(Root(1), 2);
        Tree->SetSelected(Root(1), true);
        Tree->SetSelected(Root(2), true);
        bool Refused = false;
        try {
            Tree->IterateSubtree(nullptr, [&](TBaseLazyTree* T, PLazyNode N, void*, bool&) {
                if (N->Parent == Root(1) && N->Index == 1) Delete(T, N);
            }, nullptr);
        } catch (const ELazyTreeAssertion& E) {
            Refused = IsIterationRefusal(E);
        }
        EXPECT_TRUE(Refused);
        EXPECT_EQ(Tree->TotalCount(), 5u);
        EXPECT_FALSE(Tree->TreeStates().Contains(tsIterating));
        EXPECT_TRUE(TreeAgrees(*Tree));
    }
}

// ------------------------------------------- a deletion that runs inside an operation

// A deletion a handler asked for ran at the end of the worker's message,
// which SetNodeHeight let through while it still held its node.
TEST(ReentryWorkerTest, AQueuedDeletionWaitsForTheOperationHoldingItsNode) {
    fw::ResetInputState();
    auto Form = std::make_unique<fw::TForm>(nullptr);
    Form->SetBounds(100, 100, 300, 200);
    auto* Tree = fw::Create<TLazyStringTree>(Form.get());
    Tree->SetParent(Form.get());
    Tree->SetBounds(0, 0, 240, 160);
    Tree->SetNodeDataSize(4);
    Form->Show();
    fw::ProcessMessages();
    Tree->SetRootNodeCount(3000);
    fw::ProcessMessages();
    PLazyNode Target = Tree->GetFirstNoInit()->NextSibling->NextSibling;
    bool Once = false;
    Tree->OnUpdating = [&](TBaseLazyTree* T, TLTUpdateState S) {
        if (S == usBegin && !Once) {
            Once = true;
            T->DeleteNode(Target);
        }
    };
    Tree->SetNodeHeight(Tree->GetFirstNoInit(), 30); // queues a cache build
    // The worker takes the tree and waits for it to hear so.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (WorkerThread()->CurrentTree() != Tree && std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Tree->BeginUpdate(); // the handler's deletion waits
    Tree->SetNodeHeight(Target, 40);
    Tree->EndUpdate();
    fw::ProcessMessages();
    EXPECT_EQ(Tree->TotalCount(), 2999u);
    EXPECT_TRUE(TreeAgrees(*Tree));
    Tree->OnUpdating = nullptr;
    Form.reset();
    fw::ResetInputState();
}

// ------------------------------------------------- free handlers that add nodes

// A parent whose children are being freed takes none: AddChild answers nil
// rather than a node about to go, or nothing at all.
TEST_F(ReentryTest, AFreeHandlerAddingToAClearingParentGetsNil) {
    Tree->SetRootNodeCount(1);
    PLazyNode P = Tree->GetFirstNoInit();
    Tree->AddChild(P, 1);
    Tree->AddChild(P, 2);
    std::vector<PLazyNode> Answers;
    Tree->OnFreeNode = [P, &Answers](TBaseLazyTree* T, PLazyNode) {
        Answers.push_back(T->AddChild(P, 7));
    };
    Tree->DeleteChildren(P);
    Tree->OnFreeNode = nullptr;
    EXPECT_EQ(Answers, (std::vector<PLazyNode>{nullptr, nullptr}));
    EXPECT_EQ(Tree->TotalCount(), 1u);
    EXPECT_EQ(P->ChildCount, 0u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// The node being freed takes no child either: the child leaked and was counted.
TEST_F(ReentryTest, AFreeHandlerAddingToTheNodeBeingFreedGetsNil) {
    Tree->SetRootNodeCount(2);
    Tree->ValidateNode(nullptr, true);
    std::vector<PLazyNode> Answers;
    Tree->OnFreeNode = [&Answers](TBaseLazyTree* T, PLazyNode N) {
        if (N->Index == 0 && T->ChildCount(N) == 0) Answers.push_back(T->AddChild(N));
    };
    Tree->DeleteNode(Root(0));
    Tree->OnFreeNode = nullptr;
    EXPECT_EQ(Answers, (std::vector<PLazyNode>{nullptr}));
    EXPECT_EQ(Tree->TotalCount(), 1u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// ------------------------------------------------- compare handlers that change the tree

// The merge runs on its own list: the chain stays whole while the handler
// runs, and a sort whose children changed meanwhile leaves them as they are.
TEST_F(ReentryTest, ACompareHandlerChangingTheChildrenLeavesThemWhole) {
    Tree->SetRootNodeCount(4);
    PLazyNode First = Root(0), Second = Root(1);
    bool Moved = false;
    Tree->OnCompareNodes = [&](TBaseLazyTree* S, PLazyNode A, PLazyNode B, int, int& R) {
        if (!Moved) {
            Moved = true;
            S->MoveTo(First, Second, amInsertBefore, false);
        }
        R = A < B ? 1 : -1;
    };
    Tree->Sort(nullptr, 0, sdAscending);
    EXPECT_EQ(Tree->RootNodeCount(), 4u);
    EXPECT_TRUE(TreeAgrees(*Tree));

    int Added = 0;
    Tree->OnCompareNodes = [&](TBaseLazyTree* S, PLazyNode A, PLazyNode B, int, int& R) {
        if (Added++ == 0) S->AddChild(nullptr);
        R = A < B ? 1 : -1;
    };
    Tree->Sort(nullptr, 0, sdAscending);
    EXPECT_EQ(Tree->RootNodeCount(), 5u);
    EXPECT_EQ(Roots().size(), 5u);
    EXPECT_TRUE(TreeAgrees(*Tree));
    // Left alone, the handler's order is taken.
    Tree->OnCompareNodes = [](TBaseLazyTree*, PLazyNode A, PLazyNode B, int, int& R) {
        R = A < B ? -1 : 1;
    };
    Tree->Sort(nullptr, 0, sdAscending);
    std::vector<PLazyNode> Sorted = Roots();
    EXPECT_TRUE(std::is_sorted(Sorted.begin(), Sorted.end()));
    Tree->OnCompareNodes = nullptr;
}

// Ending an update from a compare handler sorts the tree again inside the
// sort: the outer sort finds the chain changed under it.
TEST_F(ReentryTest, ACompareHandlerEndingAnUpdateNestsAnAutoSort) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoSort);
    Tree->Header()->SetSortColumn(0);
    Tree->SetRootNodeCount(5);
    for (PLazyNode N : Roots())
        Tree->SetChildCount(N, 3);
    int Calls = 0;
    Tree->OnCompareNodes = [&](TBaseLazyTree* S, PLazyNode A, PLazyNode B, int, int& R) {
        if (++Calls % 7 == 0) {
            S->BeginUpdate();
            S->AddChild(A->Parent == S->RootNode() ? A : A->Parent);
            S->EndUpdate();
        }
        R = A < B ? 1 : -1;
    };
    Tree->SortTree(0, sdAscending);
    Tree->OnCompareNodes = nullptr;
    EXPECT_GT(Calls, 7);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// ----------------------------------------------------- re-entrant initialisation

// Children are counted as each one is linked: a walk that a measure handler
// sets off no longer finds the node with children linked but none counted and
// asks for them again, and again.
class ReentryViewTest : public TreeViewTest {};

TEST_F(ReentryViewTest, GrowingAChildCountNeverInitialisesTheChildrenAgain) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toVariableNodeHeight);
    Tree->OnMeasureItem = [](TBaseLazyTree*, fw::TCanvas*, PLazyNode, int& H) { H = 30; };
    std::uint32_t Children = 0;
    int Asked = 0;
    Tree->OnInitChildren = [&](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) {
        ++Asked;
        Count = Children;
    };
    PLazyNode Node = Top(0);
    Tree->ToggleNode(Node); // no children: expanded with none
    ASSERT_TRUE(Node->States & vsExpanded);
    Children = 3;
    Asked = 0;
    Tree->SetChildCount(Node, 3);
    EXPECT_EQ(Node->ChildCount, 3u);
    EXPECT_EQ(Asked, 0);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// ------------------------------------------------ handlers during a full expand

// A handler that adds a top-level node while a subtree is expanded: its row
// counts, not only those of the subtree.
TEST_F(ReentryViewTest, AnInitHandlerAddingOutsideAFullExpandKeepsItsRow) {
    bool Once = false;
    auto Base = Tree->OnInitChildren;
    Tree->OnInitChildren = [&, Base](TBaseLazyTree* T, PLazyNode N, std::uint32_t& Count) {
        if (!Once) {
            Once = true;
            T->AddChild(nullptr);
        }
        Base(T, N, Count);
    };
    Tree->FullExpand(Top(0));
    EXPECT_TRUE(Once);
    EXPECT_EQ(Tree->VisibleCount(), 6u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A handler that re-sorts the top level while the first node's subtree is
// expanded moves the walk's stop node before it: the walk ran on through the
// nodes that came after it.
TEST_F(ReentryViewTest, ResortingSiblingsDuringAFullExpandKeepsTheWalkInItsSubtree) {
    Tree->Clear();
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode, TLTInternalStates& S) {
        if (!Parent) S |= ivsHasChildren;
    };
    Tree->SetRootNodeCount(4);
    PLazyNode A = Top(0), B = Top(1), C = Top(2);
    bool Once = false;
    // B, A, C, D: the walk leaves A for C, and B, its stop, lies behind it.
    Tree->OnExpanded = [&](TBaseLazyTree* T, PLazyNode N) {
        if (N != A || Once) return;
        Once = true;
        T->MoveTo(B, A, amInsertBefore, false);
    };
    Tree->FullExpand(A);
    EXPECT_TRUE(A->States & vsExpanded);
    EXPECT_FALSE(C->States & vsExpanded);
    EXPECT_TRUE(TreeAgrees(*Tree));

    std::vector<PLazyNode> Visited;
    Once = false;
    Tree->OnExpanded = nullptr;
    Tree->IterateSubtree(A, [&](TBaseLazyTree* T, PLazyNode N, void*, bool&) {
        Visited.push_back(N);
        if (!Once) {
            Once = true;
            T->MoveTo(C, A, amInsertBefore, false); // now B, C, A, D
        }
    }, nullptr);
    EXPECT_EQ(Visited.size(), 3u); // A and its two children
    for (PLazyNode N : Visited)
        EXPECT_TRUE(N == A || N->Parent == A);
}

} // namespace
} // namespace vel
