// Handlers, walk callbacks and the worker's messages that change the tree in
// the middle of an operation: adding, moving, sorting and deleting while the
// operation still holds a node, a sibling chain or a count.
#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "LazyTreeEdit.h"
#include "LazyTreeStreams.h"
#include "LazyTreeWorker.h"
#include "ScrollBars.h"
#include "Streams.h"
#include "TreeInvariants.h"
#include "TreeViewTestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <stdexcept>
#include <thread>
#include <utility>
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
    // Four bytes of user data per node, so that reading meets OnLoadNode.
    // Node saved with a tag each, S left at its first node's record.
    void SaveForReading(fw::TMemoryStream& S, PLazyNode Node) {
        Tree->ValidateNode(nullptr, true);
        Tree->OnSaveNode = [](TBaseLazyTree*, PLazyNode, fw::TStream& S) { S.WriteU32(9); };
        Tree->SaveToStream(S, Node);
        S.SetPosition(16);
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
    for (const auto& Entry : Deletions) {
        SCOPED_TRACE(Entry.first);
        const auto& Delete = Entry.second;
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

// A string tree alone on a shown form, for the worker to take.
class ReentryWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fw::ResetInputState();
        Form = std::make_unique<fw::TForm>(nullptr);
        Form->SetBounds(100, 100, 300, 200);
        Tree = fw::Create<TLazyStringTree>(Form.get());
        Tree->SetParent(Form.get());
        Tree->SetBounds(0, 0, 240, 160);
        Form->Show();
        fw::ProcessMessages();
    }
    void TearDown() override {
        Form.reset();
        fw::ResetInputState();
    }
    // Until the worker has taken the tree; it then waits for its first
    // message to be heard.
    void WaitForTheWorker() {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (WorkerThread()->CurrentTree() != Tree && std::chrono::steady_clock::now() < Deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::unique_ptr<fw::TForm> Form;
    TLazyStringTree* Tree = nullptr;
};

// A node a handler deleted was freed at the end of the worker's message,
// which SetNodeHeight let through while it still held the node: its memory
// waits for the operation holding it.
TEST_F(ReentryWorkerTest, ADeletedNodesMemoryWaitsForTheOperationHoldingIt) {
    Tree->SetNodeDataSize(4);
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
    WaitForTheWorker();
    Tree->BeginUpdate(); // the handler deletes the node
    Tree->SetNodeHeight(Target, 40);
    Tree->EndUpdate();
    fw::ProcessMessages();
    EXPECT_EQ(Tree->TotalCount(), 2999u);
    EXPECT_TRUE(TreeAgrees(*Tree));
    Tree->OnUpdating = nullptr;
}

// A full expand with nothing left to toggle still writes the totals of its
// subtree at its end; from a paint handler it did so while the worker, which
// had the tree since before the paint, read them.
TEST_F(ReentryWorkerTest, AFullExpandLetsTheWorkerGoBeforeItWritesTotals) {
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates& S) {
        S |= ivsExpanded;
    };
    Tree->SetRootNodeCount(3000);
    Tree->ValidateNode(nullptr, true);
    fw::ProcessMessages();
    // The worker takes the tree and hears so; a worker done before this thread
    // looked again has told its end too, and is asked once more.
    for (int Tries = 0; Tries < 20 && !Tree->TreeStates().Contains(tsValidating); ++Tries) {
        Tree->InvalidateCache();
        WaitForTheWorker();
        // Its word may still be on its way (a busy machine): asking again at
        // once would stop it before it told. One message at a time: the one
        // after it may tell its end already.
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        do {
            if (!fw::DeliverSentMessage()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (!Tree->TreeStates().Contains(tsValidating) &&
                 WorkerThread()->CurrentTree() == Tree &&
                 std::chrono::steady_clock::now() < Deadline);
    }
    ASSERT_TRUE(Tree->TreeStates().Contains(tsValidating));
    // The expand's state is left after its totals are written.
    bool WorkerHeldIt = false;
    Tree->OnStateChange = [&](TBaseLazyTree* T, TLazyTreeStates, TLazyTreeStates Leave) {
        if (Leave.Contains(tsExpanding)) WorkerHeldIt = T->TreeStates().Contains(tsValidating);
    };
    Tree->FullExpand();
    Tree->OnStateChange = nullptr;
    EXPECT_FALSE(WorkerHeldIt);
    EXPECT_TRUE(TreeAgrees(*Tree));
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

// A handler that clears itself while it runs: the closure it runs in was
// the stored one, destroyed under it.
TEST_F(ReentryTest, AHandlerClearingItselfKeepsItsClosure) {
    std::string Seen;
    Tree->OnInitNode = [this, &Seen, Mark = std::string(64, 'x')](
                           TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) {
        Tree->OnInitNode = nullptr;
        Seen = Mark;
    };
    Tree->SetRootNodeCount(2);
    Tree->ValidateNode(nullptr, true);
    EXPECT_EQ(Seen, std::string(64, 'x'));
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

// ------------------------------------------- nodes that initialise expanded

// Every top-level node asks to be expanded when it is initialised. Each such
// toggle scrolled its children into view; the bars' measuring of the rows
// then on screen initialised the next nodes, which scrolled on: one nested
// call per node, a stack overflow at a few thousand nodes just by showing.
TEST_F(ReentryViewTest, NodesInitialisedExpandedNeitherScrollNorRunAway) {
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode, TLTInternalStates& S) {
        if (!Parent) S |= ivsHasChildren | ivsExpanded;
    };
    Tree->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 1; };
    Tree->Clear();
    Tree->SetRootNodeCount(5000);
    fw::ProcessMessages();
    EXPECT_EQ(Tree->OffsetY(), 0);
    EXPECT_EQ(Tree->GetTopNode(), Top(0));
    EXPECT_TRUE(Top(0)->States & vsExpanded);
    // The bars follow the rows the paint's initialisations opened, and a walk
    // that initialises them all sets them once, at its end.
    int Min = -1, Max = -1;
    ASSERT_TRUE(fw::GetScrollRange(Tree->Handle(), fw::SB_VERT, Min, Max));
    EXPECT_EQ(static_cast<std::uint32_t>(Max), Tree->RangeY());
    Tree->ValidateNode(nullptr, true);
    EXPECT_EQ(Tree->OffsetY(), 0);
    EXPECT_EQ(Tree->VisibleCount(), 10000u);
    ASSERT_TRUE(fw::GetScrollRange(Tree->Handle(), fw::SB_VERT, Min, Max));
    EXPECT_EQ(static_cast<std::uint32_t>(Max), Tree->RangeY());
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


// ------------------------------------------------ handlers that throw or end updates

// A state handler that throws as a walk ends left the tree iterating for good
// (every later deletion refused); one that throws as an update begins left
// the update open.
TEST_F(ReentryTest, AThrowingStateHandlerLeavesNoStateOrUpdateBehind) {
    Tree->SetRootNodeCount(2);
    Tree->OnStateChange = [](TBaseLazyTree*, TLazyTreeStates Enter, TLazyTreeStates Leave) {
        if (Leave.Contains(tsIterating) || Enter.Contains(tsUpdating))
            throw std::runtime_error("state");
    };
    EXPECT_THROW(Tree->IterateSubtree(nullptr, [](TBaseLazyTree*, PLazyNode, void*, bool&) {},
                                      nullptr),
                 std::runtime_error);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsIterating));
    EXPECT_THROW(Tree->BeginUpdate(), std::runtime_error);
    EXPECT_EQ(Tree->UpdateCount(), 0u);
    Tree->OnStateChange = nullptr;
    Tree->DeleteNode(Root(0));
    EXPECT_EQ(Tree->TotalCount(), 1u);
}

// A selection deleted node by node: a handler's exception halfway left the
// siblings of the nodes already gone numbered as before.
TEST_F(ReentryTest, DeletingTheSelectionStoppedHalfwayKeepsIndexesRight) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetRootNodeCount(4);
    Tree->SetSelected(Root(0), true);
    Tree->SetSelected(Root(2), true);
    Tree->SetFocusedNode(Root(0));
    Tree->OnFocusChanged = [](TBaseLazyTree*, PLazyNode, int) { throw std::runtime_error("focus"); };
    EXPECT_THROW(Tree->DeleteSelectedNodes(), std::runtime_error);
    Tree->OnFocusChanged = nullptr;
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// ------------------------------------------------ nodes handed back or kept

// A node AddChild hands back stays readable while the caller holds it: a
// handler deleted it, and its memory waits for the next operation.
TEST_F(ReentryTest, ANodeHandedBackOutlivesTheDeletionItsHandlerAsked) {
    Tree->SetRootNodeCount(2);
    Tree->OnStructureChange = [](TBaseLazyTree* T, PLazyNode, TChangeReason R) {
        if (R == crChildAdded) T->DeleteNode(T->RootNode()->LastChild);
    };
    PLazyNode N = Tree->AddChild(nullptr, 7);
    ASSERT_NE(N, nullptr);
    EXPECT_EQ(*Tree->GetNodeDataAs<std::uint32_t>(N), 7u);
    Tree->OnStructureChange = nullptr;
    Tree->ValidateNode(nullptr, false); // the next operation frees it
    EXPECT_EQ(Tree->TotalCount(), 2u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A handler of this tree deleting the target of a move into another tree, or
// the source of a copy from one: the other tree frees it at once, and the
// move or copy went on with it.
TEST_F(ReentryTest, AMoveOrCopyOutlivesTheOtherTreeFreeingItsNode) {
    auto Other = std::make_unique<TLazyStringTree>(nullptr);
    Other->SetNodeDataSize(4);
    Other->SetRootNodeCount(2);
    Tree->SetRootNodeCount(2);
    TLazyStringTree* O = Other.get();
    Tree->OnNodeMoving = [O](TBaseLazyTree*, PLazyNode, PLazyNode Target, bool&) {
        if (Target) O->DeleteNode(Target);
    };
    Tree->MoveTo(Root(0), O->GetFirstNoInit(), amAddChildLast, false);
    Tree->OnNodeMoving = nullptr;
    EXPECT_TRUE(TreeAgrees(*Tree));
    EXPECT_TRUE(TreeAgrees(*O));
    PLazyNode Source = Root(0);
    O->OnNodeCopying = [this, Source](TBaseLazyTree*, PLazyNode, PLazyNode, bool&) {
        Tree->DeleteNode(Source);
    };
    O->CopyTo(Source, O->GetFirstNoInit(), amAddChildLast, false);
    O->OnNodeCopying = nullptr;
    EXPECT_TRUE(TreeAgrees(*Tree));
    EXPECT_TRUE(TreeAgrees(*O));
}

// ---------------------------------------------- reads that handlers change

// A node read whole, moved out of the subtree still being read, left its
// count behind: the tree counted one node too few. Deleted there, it stayed
// in the count its parent had summed: one too many.
TEST_F(ReentryTest, ANodeTakenOutOfAReadKeepsTheCountsRight) {
    for (const bool Delete : {false, true}) {
        SCOPED_TRACE(Delete ? "deleted" : "moved");
        Tree->Clear();
        Tree->SetRootNodeCount(2);
        PLazyNode Source = Root(0);
        Tree->SetChildCount(Source, 2);
        Tree->SetChildCount(Source->FirstChild, 1);
        fw::TMemoryStream S;
        SaveForReading(S, Source);
        int Loads = 0;
        Tree->OnLoadNode = [&](TBaseLazyTree* T, PLazyNode N, fw::TStream& Stream) {
            Stream.ReadU32();
            // The second child's turn: the first one's child has been read whole.
            if (++Loads != 3 || !N->PrevSibling || !N->PrevSibling->FirstChild) return;
            if (Delete)
                T->DeleteNode(N->PrevSibling->FirstChild);
            else
                T->MoveTo(N->PrevSibling->FirstChild, T->RootNode(), amAddChildLast, false);
        };
        Tree->AddNodeFromStream(S, 2, Root(1));
        Tree->OnLoadNode = nullptr;
        EXPECT_EQ(Loads, 4);
        EXPECT_TRUE(TreeAgrees(*Tree));
    }
}

// A load handler that adds children to the node it is given, still being
// read: counted at once and again when the read ended (the tree's count ran
// far from a recount).
TEST_F(ReentryTest, ANodeBeingReadTakesNoChildrenFromItsHandlers) {
    Tree->SetRootNodeCount(2);
    Tree->SetChildCount(Root(0), 2);
    fw::TMemoryStream S;
    SaveForReading(S, Root(0));
    std::vector<PLazyNode> Answers;
    Tree->OnLoadNode = [&Answers](TBaseLazyTree* T, PLazyNode N, fw::TStream& Stream) {
        Stream.ReadU32();
        if (N && N->Parent != T->RootNode()) Answers.push_back(T->AddChild(N));
    };
    Tree->AddNodeFromStream(S, 2, Root(1));
    Tree->OnLoadNode = nullptr;
    EXPECT_EQ(Answers, (std::vector<PLazyNode>{nullptr, nullptr}));
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A handler added to the node read into, then the read failed: the dropped
// child took the handler's node out of the list with it (a leak).
TEST_F(ReentryTest, AReadThatFailsKeepsWhatAHandlerAddedAfterIt) {
    Tree->SetRootNodeCount(2);
    Tree->SetChildCount(Root(0), 2);
    fw::TMemoryStream S;
    SaveForReading(S, Root(0));
    PLazyNode Target = Root(1);
    // The second child's data: a node for the target, then the read fails.
    Tree->OnLoadNode = [Target](TBaseLazyTree* T, PLazyNode N, fw::TStream& Stream) {
        Stream.ReadU32();
        if (N && N->Parent == Target && N->Index == 1) {
            T->AddChild(Target);
            throw std::runtime_error("load");
        }
    };
    EXPECT_THROW(Tree->AddNodeFromStream(S, 2, Target), std::runtime_error);
    Tree->OnLoadNode = nullptr;
    EXPECT_EQ(Target->ChildCount, 2u); // the first child read, and the handler's
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// ---------------------------------------------- the tree going away

// A handler that adds a node once the last clear is over: the node leaked.
TEST(ReentryGoingTest, NodesAHandlerAddsWhileTheTreeGoesAreFreed) {
    auto Tree = std::make_unique<TLazyStringTree>(nullptr);
    Tree->SetNodeDataSize(4);
    Tree->SetRootNodeCount(3);
    Tree->OnUpdating = [](TBaseLazyTree* T, TLTUpdateState S) {
        if (S == usEnd) T->AddChild(nullptr);
    };
    Tree.reset(); // LeakSanitizer reports what is not freed
}

// A state handler that throws while the tree goes: the exception left the
// destructor (the process ended) and the worker kept the tree.
TEST(ReentryGoingTest, AThrowingStateHandlerCannotStopTheTreeGoing) {
    fw::ResetInputState();
    auto Form = std::make_unique<fw::TForm>(nullptr);
    auto* Tree = fw::Create<TLazyStringTree>(Form.get());
    Tree->SetParent(Form.get());
    Tree->SetRootNodeCount(3);
    Form->Show();
    fw::ProcessMessages();
    Tree->InvalidateCache();
    Tree->OnStateChange = [](TBaseLazyTree*, TLazyTreeStates, TLazyTreeStates) {
        throw std::runtime_error("state");
    };
    EXPECT_NO_THROW(Form.reset());
    fw::ResetInputState();
}


// While the tree goes, its state handler expands everything and an expanding
// handler clears the tree: the clear ran at once, under the expand.
TEST_F(ReentryWorkerTest, AClearAskedForByAHandlerWhileTheTreeGoesWaits) {
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates& S) {
        S |= ivsHasChildren;
    };
    Tree->OnInitChildren = [](TBaseLazyTree* T, PLazyNode N, std::uint32_t& Count) {
        Count = T->GetNodeLevel(N) < 2 ? 2 : 0;
    };
    Tree->SetRootNodeCount(3);
    fw::ProcessMessages();
    bool Going = false;
    int Leaves = 0;
    Tree->OnStateChange = [&](TBaseLazyTree* T, TLazyTreeStates, TLazyTreeStates Leave) {
        if (Going && Leave.Contains(tsValidating) && Leaves++ == 0) T->FullExpand();
    };
    Tree->OnExpanding = [&](TBaseLazyTree* T, PLazyNode, bool&) {
        if (Going) T->Clear();
    };
    Tree->InvalidateCache();
    // The tree's going lets the worker's messages through, and they run the handlers.
    WaitForTheWorker();
    ASSERT_EQ(WorkerThread()->CurrentTree(), Tree);
    Going = true;
    EXPECT_NO_THROW(Form.reset());
    EXPECT_EQ(Leaves, 1);
}

// --------------------------------------------------------- the view's handlers

// A handler that ends the update a full expand holds and adds two nodes:
// the expand went on with no update, and the scroll bars' walk initialised
// and expanded the new nodes, outside the subtree, leaving their totals to
// the expand's end, which counted the subtree alone.
TEST_F(ReentryViewTest, AHandlersEndUpdateHalfwayThroughAFullExpand) {
    Tree->OnInitNode = [](TBaseLazyTree* T, PLazyNode, PLazyNode Node, TLTInternalStates& States) {
        if (T->GetNodeLevel(Node) < 2) States |= ivsHasChildren;
        if (Node->Parent == T->RootNode() && Node->Index >= 3) States |= ivsExpanded;
    };
    Tree->Clear();
    Tree->SetRootNodeCount(3);
    bool Once = false;
    Tree->OnExpanded = [&Once](TBaseLazyTree* T, PLazyNode) {
        if (Once) return;
        Once = true;
        T->AddChild(nullptr);
        T->AddChild(nullptr);
        T->EndUpdate(); // not its own: a fault of the program
    };
    Tree->FullExpand(Top(0));
    Tree->OnExpanded = nullptr;
    fw::ProcessMessages();
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A node reset while the handlers at the end of its children's deletion
// gave it a child and expanded it: the reset cleared the flag alone.
TEST_F(ReentryViewTest, ANodeResetAfterItsHandlersExpandedItAgain) {
    PLazyNode Node = Top(0);
    Tree->SetExpanded(Node, true);
    Tree->OnStructureChange = [Node](TBaseLazyTree* T, PLazyNode N, TChangeReason R) {
        if (N == Node && R == crChildDeleted && T->ChildCount(Node) == 0) {
            T->AddChild(Node);
            T->SetExpanded(Node, true);
        }
    };
    Tree->ResetNode(Node);
    Tree->OnStructureChange = nullptr;
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A column deleted by the handler of its own resize: the column's setter
// went on with the freed column.
TEST_F(ReentryViewTest, AColumnDeletedByItsResizeHandlerWaits) {
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->OnColumnResize = [](TLTHeader* H, TColumnIndex C) { H->Columns().Delete(C); };
    Tree->Header()->Columns()[0].SetWidth(150);
    Tree->OnColumnResize = nullptr;
    fw::ProcessMessages();
    EXPECT_EQ(Tree->Header()->Columns().Count(), 1);
    Picture();
}

// Scrolling a node into view expands its parents. A handler run by the
// toggle's own look at the top row (measuring it) expanded the parent first;
// the toggle then collapsed it, and toAutoFreeOnCollapse freed the node being
// scrolled to.
TEST_F(ReentryViewTest, ATogglePutAheadOfByAHandlerIsNotUndone) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoFreeOnCollapse);
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) {};
    Tree->Clear();
    Tree->SetRootNodeCount(3); // none initialised yet
    PLazyNode Parent = Tree->GetFirstNoInit()->NextSibling;
    PLazyNode Child = Tree->AddChild(Parent);
    ASSERT_FALSE(Parent->States & vsExpanded);
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toVariableNodeHeight);
    Tree->OnMeasureItem = [Parent](TBaseLazyTree* T, fw::TCanvas*, PLazyNode Node, int&) {
        if (Node != Parent && Node->Parent != Parent) T->SetExpanded(Parent, true);
    };
    EXPECT_TRUE(Tree->ScrollIntoView(Child, false, false));
    EXPECT_TRUE(Parent->States & vsExpanded);
    EXPECT_EQ(Parent->FirstChild, Child);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// Shift+Down with nothing focused: the first row stands in for the focus,
// and the focus (none) left the selection: an assertion about a nil node.
TEST_F(ReentryViewTest, ExtendingTheSelectionWithNothingFocused) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetSelected(Top(1), true);
    ASSERT_EQ(Tree->FocusedNode(), nullptr);
    EXPECT_NO_THROW(Key(fw::VK_DOWN, fw::ssShift));
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A second press before the release the first one waited for (a handler
// that threw cut it short): an assertion about pending clearance.
TEST_F(ReentryViewTest, APressAfterALostReleaseStartsAfresh) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->OnDragAllowed = [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = true; };
    Tree->SetSelected(Top(0), true);
    Tree->SetSelected(Top(2), true);
    const fw::TRect Label = Tree->GetDisplayRect(Top(0), NoColumn, true);
    const fw::TPoint Row = fw::ControlPoint(Tree, (Label.Left + Label.Right) / 2, 9);
    fw::MouseDownAt(Row); // on a selected label: the clearance waits for the release
    fw::ProcessMessages();
    ASSERT_TRUE(Tree->TreeStates().Contains(tsClearPending));
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    // On a label not selected, which clears at once; no release came between.
    fw::MouseDownAt(fw::ControlPoint(Tree, Row.X - Tree->ClientOrigin().X, 27));
    EXPECT_NO_FATAL_FAILURE(fw::ProcessMessages());
    fw::MouseUpAt(fw::ControlPoint(Tree, Row.X - Tree->ClientOrigin().X, 27));
    fw::ProcessMessages();
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A handler asks for a cache build while an operation still changes nodes:
// the worker was given the tree at once and read what the operation changed.
TEST_F(ReentryViewTest, TheWorkerWaitsForTheOperationAHandlerAskedItFrom) {
    bool Queued = false;
    Tree->OnFreeNode = [&Queued](TBaseLazyTree* T, PLazyNode) {
        T->InvalidateCache();
        Queued = Queued || WorkerThread()->WaitingCount() > 0 || WorkerThread()->CurrentTree() == T;
    };
    Tree->ValidateNode(nullptr, true);
    Tree->Clear();
    Tree->OnFreeNode = nullptr;
    EXPECT_FALSE(Queued);
}


// An init handler that moves its node into another tree (a copy there, the
// node deleted here) while a program walks the rows: the walk's next step
// started from the node the move had freed.
TEST_F(ReentryTest, WalksGoOnWhileInitHandlersMoveTheirNodesAway) {
    auto OtherTree = std::make_unique<TLazyStringTree>(nullptr);
    TLazyStringTree* Other = OtherTree.get();
    Other->SetNodeDataSize(4);
    Tree->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 2; };
    Tree->OnInitNode = [Other](TBaseLazyTree* T, PLazyNode Parent, PLazyNode Node,
                               TLTInternalStates& States) {
        States |= Parent ? 0 : ivsHasChildren | ivsExpanded;
        if (Parent && Node->Index == 1) T->MoveTo(Node, Other, amAddChildLast, false);
    };
    Tree->Clear();
    Tree->SetRootNodeCount(3);
    int Rows = 0;
    for (PLazyNode N = Tree->GetFirstVisible(); N; N = Tree->GetNextVisible(N))
        ++Rows;
    int Nodes = 0;
    for (PLazyNode N = Tree->GetFirst(); N; N = Tree->GetNext(N))
        ++Nodes;
    Tree->ValidateNode(nullptr, false); // what the handlers asked to delete goes now
    EXPECT_GT(Rows, 3);
    EXPECT_GT(Nodes, 3);
    EXPECT_EQ(Other->TotalCount(), 3u);
    EXPECT_EQ(Tree->TotalCount(), 6u);
    EXPECT_TRUE(TreeAgrees(*Tree));
    EXPECT_TRUE(TreeAgrees(*Other));
}

// ------------------------------------- what an operation holds across any tree's handler

// A second string tree on the same form.
class TwoTreesTest : public TreeViewTest {
protected:
    void SetUp() override {
        TreeViewTest::SetUp();
        Other = Place<TLazyStringTree>(250, 0, 200, 160);
        Other->SetRootNodeCount(2);
        fw::ProcessMessages();
    }
    static std::uint32_t Linked(TBaseLazyTree& T) {
        std::uint32_t N = 0;
        for (PLazyNode Run = T.GetFirstNoInit(); Run; Run = T.GetNextNoInit(Run))
            ++N;
        return N;
    }
    TLazyStringTree* Other = nullptr;
};

// A free handler sorting the children being freed: the walk down the last
// children lost the node the sort put last (still focused and selected, its
// links into freed nodes, the count off by one). Moving the node whose
// children go left its counts behind.
TEST_F(TwoTreesTest, NoHandlerReordersTheNodesBeingFreed) {
    using TNodeAct = std::function<void(TBaseLazyTree*, PLazyNode)>;
    struct TCase {
        const char* Name;
        int At; // the free call that acts
        TNodeAct Delete, React;
    };
    const TNodeAct SortP = [](TBaseLazyTree* T, PLazyNode P) { T->Sort(P, 0, sdDescending, false); };
    const TNodeAct DeleteChildren = [](TBaseLazyTree* T, PLazyNode P) { T->DeleteChildren(P); };
    const std::vector<TCase> Cases = {
        {"children", 1, DeleteChildren, SortP},
        {"node", 1, [](TBaseLazyTree* T, PLazyNode P) { T->DeleteNode(P); }, SortP},
        {"clear", 2, [](TBaseLazyTree* T, PLazyNode) { T->Clear(); },
         [](TBaseLazyTree* T, PLazyNode) { T->Sort(nullptr, 0, sdDescending, false); }},
        {"children, their parent moved", 3, DeleteChildren,
         [](TBaseLazyTree* T, PLazyNode P) { T->MoveTo(P, T->GetLastNoInit(), amInsertAfter, false); }},
    };
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->OnCompareNodes = [](TBaseLazyTree*, PLazyNode A, PLazyNode B, int, int& R) {
        R = int(A->Index) - int(B->Index);
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Tree->OnFreeNode = nullptr;
        Tree->Clear();
        Tree->SetRootNodeCount(3);
        PLazyNode P = Top(0);
        Tree->SetExpanded(P, true);
        PLazyNode C0 = Tree->GetFirstChild(P), C1 = Tree->GetNextSibling(C0);
        Tree->AddChild(C1);
        Tree->AddChild(C1);
        for (PLazyNode N = Tree->GetFirst(); N; N = Tree->GetNext(N)) {}
        Tree->SetFocusedNode(C0);
        Tree->SetSelected(C0, true);
        int Freed = 0;
        Tree->OnFreeNode = [&](TBaseLazyTree* S, PLazyNode) {
            if (++Freed == C.At) C.React(S, P);
        };
        C.Delete(Tree, P);
        EXPECT_EQ(Tree->TotalCount(), Linked(*Tree));
        EXPECT_EQ(Tree->FocusedNode(), nullptr);
        EXPECT_EQ(Tree->SelectedCount(), 0);
        EXPECT_TRUE(TreeAgrees(*Tree));
    }
    Tree->OnFreeNode = nullptr;
}

// Another tree's handler, or a paint of the form, deleting or loading what an
// operation holds: the target of a copy or a move, the node an animated
// toggle opens.
TEST_F(TwoTreesTest, WhatAnOperationHoldsOutlivesAnotherTreesHandler) {
    Tree->TreeOptions()->SetAnimationOptions(Tree->TreeOptions()->AnimationOptions() |
                                             toAnimatedToggle);
    PLazyNode Target = nullptr, N = nullptr;
    fw::TMemoryStream S;
    std::function<void()> Hostile;
    auto Once = [&] {
        if (Hostile) std::exchange(Hostile, nullptr)();
    };
    Tree->OnSaveNode = [&](TBaseLazyTree*, PLazyNode, fw::TStream&) { Once(); };
    Other->OnBeforePaint = [&](TBaseLazyTree*, fw::TCanvas&) { Once(); };
    const auto DeleteTarget = [&] { Other->DeleteNode(Target); };
    const auto Toggle = [&] {
        Other->Invalidate();
        Tree->SetExpanded(N, true);
    };
    struct TCase {
        const char* Name;
        std::function<void()> Hostile, Run;
    };
    const std::vector<TCase> Cases = {
        {"copy", DeleteTarget,
         [&] { EXPECT_EQ(Tree->CopyTo(Top(2), Target, amAddChildLast, false), nullptr); }},
        {"move", DeleteTarget,
         [&] { EXPECT_FALSE(Tree->MoveTo(Top(2), Target, amInsertAfter, false)); }},
        {"animated toggle", [&] { Tree->DeleteNode(N); }, Toggle},
        {"animated toggle, the tree loaded", [&] { S.SetPosition(0); Tree->LoadFromStream(S); },
         Toggle},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Tree->Clear();
        Tree->SetRootNodeCount(3);
        Other->Clear();
        Other->SetRootNodeCount(2);
        fw::ProcessMessages();
        Target = Other->GetFirst();
        N = Top(0);
        S.SetSize(0);
        Tree->SaveToStream(S);
        Hostile = C.Hostile;
        C.Run();
        Hostile = nullptr;
        fw::ProcessMessages();
        EXPECT_EQ(Tree->TotalCount(), Linked(*Tree));
        EXPECT_EQ(Other->TotalCount(), Linked(*Other));
        EXPECT_TRUE(TreeAgrees(*Tree));
        EXPECT_TRUE(TreeAgrees(*Other));
    }
    Tree->OnSaveNode = nullptr;
    Other->OnBeforePaint = nullptr;
}

// -------------------------------------------- deletions, pastes and loads from handlers

// Read-only set by a handler of a deletion already begun: the node goes with
// both children (the focused and selected one among them), and the next
// deletion is refused.
TEST_F(ReentryViewTest, ReadOnlySetWhileANodeIsDeletedLetsThatDeletionFinish) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->ValidateNode(nullptr, true);
    PLazyNode P = Top(0);
    Tree->SetSelected(P, true);
    Tree->SetSelected(P->LastChild, true);
    Tree->SetFocusedNode(P->LastChild);
    int Freed = 0;
    Tree->OnFreeNode = [&Freed](TBaseLazyTree*, PLazyNode) { ++Freed; };
    Tree->OnChange = [](TBaseLazyTree* T, PLazyNode) {
        T->TreeOptions()->SetMiscOptions(T->MiscOptions() | toReadOnly);
    };
    Tree->DeleteNode(P);
    EXPECT_EQ(Freed, 3);
    EXPECT_EQ(Tree->SelectedCount(), 0);
    EXPECT_EQ(Tree->FocusedNode(), nullptr);
    Key(fw::VK_DOWN);
    Tree->DeleteNode(Top(0));
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    EXPECT_TRUE(TreeAgrees(*Tree));
    Tree->OnFreeNode = nullptr;
}

// A handler that deletes and then adds: the deletion takes what there was when
// it was asked, at once, and what the handler adds after it stays.
TEST_F(ReentryViewTest, AHandlerThatDeletesAndRefillsKeepsWhatItAdded) {
    Tree->ValidateNode(nullptr, true);
    PLazyNode N = Top(0);
    Tree->OnExpanding = [](TBaseLazyTree* T, PLazyNode Node, bool&) {
        T->DeleteChildren(Node);
        EXPECT_EQ(T->ChildCount(Node), 0u);
        for (int I = 0; I < 3; ++I)
            T->AddChild(Node);
    };
    Tree->SetExpanded(N, true);
    EXPECT_EQ(Tree->ChildCount(N), 3u);
    EXPECT_TRUE(Tree->Expanded(N));
    Tree->OnExpanding = nullptr;
    Tree->OnFocusChanged = [](TBaseLazyTree* T, PLazyNode, int) {
        T->OnFocusChanged = nullptr;
        T->Clear();
        EXPECT_EQ(T->GetFirst(), nullptr);
        for (int I = 0; I < 5; ++I)
            T->AddChild(nullptr);
        T->SetChildCount(T->GetFirst(), 0);
        T->SetChildCount(T->GetFirst(), 4);
    };
    Tree->SetFocusedNode(Top(1));
    EXPECT_EQ(Tree->RootNodeCount(), 5u);
    EXPECT_EQ(Tree->ChildCount(Top(0)), 4u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A tree freed from its own handler lets its nodes go inside the free, each
// with its OnFreeNode; none fires later, when its memory goes.
TEST_F(ReentryViewTest, ATreeFreedFromItsHandlerLetsItsNodesGoAtOnce) {
    Tree->ValidateNode(nullptr, true);
    int Freed = 0, AtFree = -1;
    Tree->OnFreeNode = [&Freed](TBaseLazyTree*, PLazyNode) { ++Freed; };
    Tree->OnFocusChanged = [&](TBaseLazyTree* T, PLazyNode, int) {
        if (AtFree >= 0) return;
        fw::Free(T);
        AtFree = Freed;
    };
    Key(fw::VK_DOWN);
    fw::ProcessMessages();
    EXPECT_EQ(AtFree, 7);
    EXPECT_EQ(Freed, 7);
    Tree = nullptr;
}

// A stream a handler loads: its error reaches the handler. One refused by
// its header leaves the tree as it was; one damaged further on keeps the
// top-level nodes read whole.
TEST_F(ReentryViewTest, AStreamLoadedByAHandlerReportsItsErrorThere) {
    Tree->ValidateNode(nullptr, true);
    fw::TMemoryStream Good;
    Tree->SaveToStream(Good);
    std::vector<std::uint8_t> Wrong = Good.Data(), Cut = Good.Data();
    Wrong[2] = 'X';
    Cut.resize(Cut.size() - 3);
    const std::vector<std::uint8_t>* Bytes = nullptr;
    int Code = 0;
    Tree->OnFocusChanged = [&](TBaseLazyTree* T, PLazyNode, int) {
        if (!Bytes) return;
        fw::TMemoryStream S(*std::exchange(Bytes, nullptr));
        try {
            T->LoadFromStream(S);
        } catch (const ELazyTreeError& E) {
            Code = E.HelpContext();
        }
    };
    Bytes = &Wrong;
    Tree->SetFocusedNode(Top(1));
    EXPECT_EQ(Code, 2002);
    EXPECT_EQ(Tree->TotalCount(), 7u);
    Code = 0;
    Bytes = &Cut;
    Tree->SetFocusedNode(Top(2));
    EXPECT_NE(Code, 0);
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    fw::ProcessMessages();
    EXPECT_TRUE(TreeAgrees(*Tree));
}

// A free handler pastes beside the focused node while that node's children
// go: their parent, the root, is being cleared and takes nothing, so the
// paste inserts nothing and says so (the node it linked was lost, unfreed).
TEST_F(TwoTreesTest, APasteBesideANodeWhoseChildrenGoInsertsNothing) {
    Other->SetSelected(Other->GetFirst(), true);
    Other->CopyToClipboard();
    Tree->SetDefaultPasteMode(amInsertAfter);
    Tree->ValidateNode(nullptr, true);
    Tree->SetFocusedNode(Top(1));
    int Frees = 0;
    bool Pasted = true;
    // The second node freed is the focused node's last child.
    Tree->OnFreeNode = [&](TBaseLazyTree* T, PLazyNode) {
        if (++Frees == 2) Pasted = T->PasteFromClipboard();
    };
    Tree->DeleteChildren(nullptr);
    Tree->OnFreeNode = nullptr;
    EXPECT_EQ(Frees, 7);
    EXPECT_FALSE(Pasted);
    EXPECT_EQ(Tree->TotalCount(), 0u);
    EXPECT_TRUE(TreeAgrees(*Tree));
}

} // namespace
} // namespace vel
