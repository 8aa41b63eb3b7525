// The tree under hard use: totals after any mix of changes, handlers that
// delete nodes or throw, and transfers that fail part way.
#include "FormTestEnv.h"
#include "Hints.h"
#include "LazyTreeStreams.h"
#include "LazyStringTree.h"
#include "LazyTreeEdit.h"
#include "Screen.h"
#include "ScrollBars.h"
#include "TreeViewTestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace vel {
namespace {

// Delivers the worker's messages, running Step after each delivery, until Done
// holds or a minute passes. A loaded machine may take seconds; the outcome
// never depends on the bound, which only guards against a hang.
template <class D, class S = void (*)()>
bool PumpUntil(D Done, S Step = [] {}) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Deadline) return false;
        fw::DeliverSentMessages();
        Step();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Counts, heights and links recounted the slow way, node by node.
struct TRecount {
    std::uint32_t Total = 0;   // nodes below the root
    std::uint32_t Visible = 0; // rows scrolling can reach
    std::uint64_t Height = 0;  // height of those rows
};

TRecount Recount(TBaseLazyTree& T) {
    TRecount R;
    // Iterative: the shown flag travels down with the node.
    std::vector<std::pair<PLazyNode, bool>> Stack;
    for (PLazyNode C = T.RootNode()->LastChild; C; C = C->PrevSibling)
        Stack.push_back({C, true});
    while (!Stack.empty()) {
        auto [N, ParentShown] = Stack.back();
        Stack.pop_back();
        ++R.Total;
        const bool Shown = ParentShown && (N->States & vsVisible);
        if (Shown) {
            ++R.Visible;
            R.Height += N->NodeHeight;
        }
        const bool ChildrenShown = Shown && (N->States & vsExpanded);
        for (PLazyNode C = N->LastChild; C; C = C->PrevSibling)
            Stack.push_back({C, ChildrenShown});
    }
    return R;
}

// Every node's own totals against its children.
void ExpectNodeTotals(TBaseLazyTree& T) {
    std::vector<PLazyNode> All;
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        All.push_back(N);
    for (auto It = All.rbegin(); It != All.rend(); ++It) {
        PLazyNode N = *It;
        std::uint32_t Count = 1, Index = 0;
        std::uint64_t Height = N->NodeHeight;
        for (PLazyNode C = N->FirstChild; C; C = C->NextSibling) {
            ASSERT_EQ(C->Parent, N);
            ASSERT_EQ(C->Index, Index++);
            Count += T.NodeTotalCount(C);
            if ((N->States & vsExpanded) && (C->States & vsVisible)) Height += C->TotalHeight;
        }
        ASSERT_EQ(N->ChildCount, Index);
        ASSERT_EQ(T.NodeTotalCount(N), Count);
        ASSERT_EQ(N->TotalHeight, Height);
    }
}

void ExpectTotals(TBaseLazyTree& T) {
    TRecount R = Recount(T);
    EXPECT_EQ(T.TotalCount(), R.Total);
    EXPECT_EQ(T.VisibleCount(), R.Visible);
    EXPECT_EQ(T.RangeY(), R.Height);
    ExpectNodeTotals(T);
}

class SoundTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = std::make_unique<TLazyStringTree>(nullptr);
        Tree->SetNodeDataSize(4);
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
    std::unique_ptr<TLazyStringTree> Tree;
};

// ------------------------------------------------------------------ totals

TEST_F(SoundTest, HiddenNodesAreNeverCountedTwice) {
    Tree->SetRootNodeCount(3);
    Tree->SetVisible(Root(1), false);
    Tree->DeleteNode(Root(1));
    EXPECT_EQ(Tree->RangeY(), 36u);
    ExpectTotals(*Tree);
    // Three hidden nodes deleted one after the other: no wrap below zero.
    Tree->SetRootNodeCount(3);
    for (int I = 0; I < 3; ++I)
        Tree->SetVisible(Root(I), false);
    for (int I = 0; I < 3; ++I)
        Tree->DeleteNode(Root(0));
    EXPECT_EQ(Tree->RangeY(), 0u);
    ExpectTotals(*Tree);
}

TEST_F(SoundTest, AHiddenNodeMovedUnderACollapsedParentKeepsTheRows) {
    Tree->SetRootNodeCount(3);
    PLazyNode A = Root(0), B = Root(1);
    Tree->SetChildCount(A, 1);
    Tree->SetVisible(B, false);
    Tree->MoveTo(B, A, amAddChildLast, false);
    EXPECT_EQ(Tree->RangeY(), 36u);
    ExpectTotals(*Tree);
    Tree->SetExpanded(A, true);
    Tree->SetVisible(B, true);
    EXPECT_EQ(Tree->RangeY(), 72u);
    ExpectTotals(*Tree);
}

// Thousands of random hides, shows, moves, deletions, toggles and count
// changes, each followed by a slow recount.
TEST_F(SoundTest, TotalsMatchARecountAfterEveryRandomChange) {
    std::mt19937 Rng(12);
    auto Pick = [&]() -> PLazyNode {
        std::vector<PLazyNode> All;
        for (PLazyNode N = Tree->GetFirstNoInit(); N; N = Tree->GetNextNoInit(N))
            All.push_back(N);
        if (All.empty()) return nullptr;
        return All[std::uniform_int_distribution<std::size_t>(0, All.size() - 1)(Rng)];
    };
    Tree->SetRootNodeCount(20);
    for (int Step = 0; Step < 3000; ++Step) {
        PLazyNode N = Pick();
        if (!N) {
            Tree->SetRootNodeCount(5);
            continue;
        }
        const unsigned Op = Rng() % 9;
        switch (Op) {
        case 0: Tree->SetVisible(N, !(N->States & vsVisible)); break;
        case 1: Tree->ToggleNode(N); break;
        case 2: Tree->SetChildCount(N, Rng() % 4); break;
        case 3: Tree->DeleteNode(N); break;
        case 4: Tree->AddChild(Rng() % 2 ? N : nullptr); break;
        case 5: {
            PLazyNode T = Pick();
            if (T && T != N && !Tree->HasAsParent(T, N))
                Tree->MoveTo(N, T, static_cast<TLTNodeAttachMode>(1 + Rng() % 4), false);
            break;
        }
        case 6: Tree->SetNodeHeight(N, 10 + Rng() % 30); break;
        case 7: {
            const bool Expand = Rng() % 2;
            const bool Whole = Rng() % 2;
            Expand ? Tree->FullExpand(N) : Tree->FullCollapse(Whole ? N : nullptr);
            break;
        }
        default: {
            Tree->BeginUpdate();
            Tree->SetVisible(N, false);
            Tree->ToggleNode(N);
            Tree->EndUpdate();
        }
        }
        ExpectTotals(*Tree);
        if (HasFailure()) {
            ADD_FAILURE() << "after step " << Step;
            return;
        }
    }
}

// ------------------------------------------------- handlers that delete nodes

TEST_F(SoundTest, FreeHandlersDeletingNodesDuringAClear) {
    Tree->SetRootNodeCount(6);
    Tree->SetChildCount(Root(2), 3);
    int Freed = 0;
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) {};
    Tree->ValidateNode(nullptr, true);
    Tree->OnFreeNode = [&](TBaseLazyTree* T, PLazyNode N) {
        ++Freed;
        T->DeleteNode(N); // the node being freed
        if (PLazyNode Other = T->GetFirstNoInit(); Other && Other != N) T->DeleteNode(Other);
        T->Clear();
    };
    Tree->Clear();
    EXPECT_EQ(Freed, 9);
    EXPECT_EQ(Tree->TotalCount(), 0u);
    EXPECT_EQ(Tree->DeferredDeletions(), 0u);
    ExpectTotals(*Tree);
}

// A node's freeing cannot be undone: a throwing free handler must not stop
// the rest of the deletion halfway, with the counts half done.
TEST_F(SoundTest, AThrowingFreeHandlerLetsTheRestOfTheDeletionGo) {
    Tree->SetRootNodeCount(4);
    Tree->SetChildCount(Root(1), 3);
    Tree->SetChildCount(Root(2), 2);
    Tree->FullExpand();
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode, TLTInternalStates&) {};
    Tree->ValidateNode(nullptr, true);
    int Freed = 0;
    Tree->OnFreeNode = [&Freed](TBaseLazyTree*, PLazyNode) {
        if (++Freed % 2 == 1) throw std::runtime_error("free");
    };
    Tree->DeleteNode(Root(1));
    EXPECT_EQ(Freed, 4);
    EXPECT_EQ(Tree->TotalCount(), 5u);
    ExpectTotals(*Tree);
    Tree->Clear();
    EXPECT_EQ(Freed, 9);
    EXPECT_EQ(Tree->TotalCount(), 0u);
    EXPECT_EQ(Tree->RangeY(), 0u);
    ExpectTotals(*Tree);
}

// A comparison that throws halfway through a sort left the sibling chain cut
// in pieces, with stale back links: later deletions freed nodes still linked.
TEST_F(SoundTest, AThrowingCompareHandlerLeavesTheChildrenWhole) {
    Tree->SetRootNodeCount(8);
    std::vector<PLazyNode> Before;
    for (PLazyNode N = Tree->GetFirstNoInit(); N; N = N->NextSibling)
        Before.push_back(N);
    int Compared = 0;
    Tree->OnCompareNodes = [&Compared](TBaseLazyTree*, PLazyNode A, PLazyNode B, int, int& R) {
        if (++Compared == 6) throw std::runtime_error("compare");
        R = A->Index < B->Index ? 1 : -1;
    };
    EXPECT_THROW(Tree->SortTree(0, sdAscending), std::runtime_error);
    std::vector<PLazyNode> Forth, Back;
    for (PLazyNode N = Root(0); N; N = N->NextSibling)
        Forth.push_back(N);
    for (PLazyNode N = Tree->RootNode()->LastChild; N; N = N->PrevSibling)
        Back.insert(Back.begin(), N);
    EXPECT_EQ(Forth, Before);
    EXPECT_EQ(Back, Before);
    ExpectTotals(*Tree);
    Tree->DeleteNode(Root(3));
    Tree->DeleteNode(Tree->RootNode()->LastChild);
    EXPECT_EQ(Tree->TotalCount(), 6u);
    ExpectTotals(*Tree);
    Tree->OnCompareNodes = nullptr;
    Tree->Clear();
}

// Selected nodes freed with their parent, or by a Clear, leave the selection
// then, not at some later update's end.
TEST_F(SoundTest, SelectedNodesFreedBelowADeletedNodeLeaveTheSelection) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetRootNodeCount(3);
    Tree->SetChildCount(Root(0), 2);
    Tree->SetChildCount(Root(1), 2);
    Tree->FullExpand();
    Tree->SelectAll(false);
    ASSERT_EQ(Tree->SelectedCount(), 7);
    Tree->DeleteChildren(Root(0));
    EXPECT_EQ(Tree->SelectedCount(), 5);
    Tree->DeleteNode(Root(1));
    EXPECT_EQ(Tree->SelectedCount(), 2);
    Tree->AddChild(Root(0));
    Tree->Clear();
    EXPECT_EQ(Tree->SelectedCount(), 0);
    ExpectTotals(*Tree);
}

TEST_F(SoundTest, AChangeHandlerDeletingTheNodeBeingDeleted) {
    Tree->SetRootNodeCount(3);
    PLazyNode B = Root(1);
    Tree->SetSelected(B, true);
    int Changes = 0;
    Tree->OnChange = [&](TBaseLazyTree* T, PLazyNode) {
        ++Changes;
        T->DeleteNode(B);
    };
    Tree->DeleteNode(B);
    EXPECT_GE(Changes, 1);
    EXPECT_EQ(Tree->TotalCount(), 2u);
    EXPECT_EQ(Tree->SelectedCount(), 0);
    ExpectTotals(*Tree);
}

TEST_F(SoundTest, AStructureHandlerClearingWhileANodeIsDeleted) {
    Tree->SetRootNodeCount(4);
    Tree->SetChildCount(Root(1), 2);
    Tree->OnStructureChange = [](TBaseLazyTree* T, PLazyNode, TChangeReason Reason) {
        if (Reason == crChildDeleted) T->Clear();
    };
    Tree->DeleteNode(Root(1)->FirstChild);
    EXPECT_EQ(Tree->TotalCount(), 0u);
    ExpectTotals(*Tree);
}

TEST_F(SoundTest, ACollapseHandlerDeletingItsAutoFreedNode) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoFreeOnCollapse);
    Tree->SetRootNodeCount(2);
    PLazyNode A = Root(0);
    Tree->SetChildCount(A, 3);
    Tree->SetExpanded(A, true);
    Tree->OnCollapsed = [](TBaseLazyTree* T, PLazyNode N) { T->DeleteNode(N); };
    Tree->SetExpanded(A, false);
    EXPECT_EQ(Tree->TotalCount(), 1u);
    ExpectTotals(*Tree);
}

// Each handler that is given a node deletes it; the tree goes on and the
// node is gone once the operation is over.
TEST_F(SoundTest, HandlersDeletingTheNodeTheyAreGiven) {
    auto Run = [&](const char* What, const std::function<void()>& Arm,
                   const std::function<void()>& Act) {
        SCOPED_TRACE(What);
        Tree = std::make_unique<TLazyStringTree>(nullptr);
        Tree->SetNodeDataSize(4);
        Tree->SetRootNodeCount(5);
        Arm();
        Act();
        EXPECT_EQ(Tree->TotalCount(), 4u);
        ExpectTotals(*Tree);
    };
    Run("focus changing", [&] {
        Tree->OnFocusChanging = [](TBaseLazyTree* T, PLazyNode, PLazyNode New, int, int, bool&) {
            if (New) T->DeleteNode(New);
        };
    }, [&] { Tree->SetFocusedNode(Root(2)); });
    Run("checked", [&] {
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toCheckSupport);
        Tree->SetCheckType(Root(1), ctCheckBox);
        Tree->OnChecked = [](TBaseLazyTree* T, PLazyNode N) { T->DeleteNode(N); };
    }, [&] { Tree->SetCheckState(Root(1), csCheckedNormal); });
    Run("compare", [&] {
        Tree->OnCompareNodes = [](TBaseLazyTree* T, PLazyNode A, PLazyNode, int, int& R) {
            R = 0;
            if (A->Index == 3) T->DeleteNode(A);
        };
    }, [&] { Tree->Sort(nullptr, NoColumn, sdDescending); });
    Run("measure", [&] {
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toVariableNodeHeight);
        Tree->OnMeasureItem = [](TBaseLazyTree* T, fw::TCanvas*, PLazyNode N, int& H) {
            H = 30;
            if (N->Index == 2) T->DeleteNode(N);
        };
    }, [&] { Tree->GetNodeHeight(Root(2)); });
    Run("get text", [&] {
        Tree->OnGetText = [](TBaseLazyTree* T, PLazyNode N, int, TLSTTextType, std::u16string& S) {
            S = u"x";
            T->DeleteNode(N);
        };
    }, [&] { EXPECT_EQ(Tree->GetText(Root(4), NoColumn), u"x"); });
}

class SoundViewTest : public TreeViewTest {};

TEST_F(SoundViewTest, PaintAndHotHandlersDeletingTheirNode) {
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toHotTrack);
    PLazyNode Doomed = Top(1);
    Tree->OnBeforeItemPaint = [&Doomed](TBaseLazyTree* T, fw::TCanvas&, PLazyNode N,
                                        const fw::TRect&, bool&) {
        if (N == Doomed) T->DeleteNode(std::exchange(Doomed, nullptr));
    };
    Picture();
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    Tree->OnBeforeItemPaint = nullptr;
    Doomed = Top(0);
    Tree->OnHotChange = [&Doomed](TBaseLazyTree* T, PLazyNode, PLazyNode New) {
        if (New && New == Doomed) T->DeleteNode(std::exchange(Doomed, nullptr));
    };
    fw::MouseMoveTo(fw::ControlPoint(Tree, 30, 5));
    fw::ProcessMessages();
    EXPECT_EQ(Tree->RootNodeCount(), 1u);
    Picture();
    ExpectTotals(*Tree);
}

// Handlers asked about a node and then about its parents, and the editor's
// maker: each deletes the node it is given.
TEST_F(SoundViewTest, HandlersDeletingTheNodeTheWalkUpStartsFrom) {
    Tree->SetExpanded(Top(0), true);
    PLazyNode Doomed = Tree->GetFirstChild(Top(0));
    std::vector<PLazyNode> Asked;
    Tree->OnGetHelpContext = [&](TBaseLazyTree* T, PLazyNode N, int, int&) {
        Asked.push_back(N);
        if (N == Doomed) T->DeleteNode(std::exchange(Doomed, nullptr));
    };
    Tree->SetFocusedNode(Doomed);
    Key(fw::VK_F1);
    EXPECT_EQ(Asked, (std::vector<PLazyNode>{Asked[0], Top(0)}));
    EXPECT_EQ(Top(0)->ChildCount, 1u);

    Doomed = Tree->GetFirstChild(Top(0));
    Asked.clear();
    Tree->OnGetPopupMenu = [&](TBaseLazyTree* T, PLazyNode N, int, fw::TPoint, bool&, TPopupMenu*&) {
        Asked.push_back(N);
        if (N == Doomed) T->DeleteNode(std::exchange(Doomed, nullptr));
    };
    Click(40, 27, 0, fw::mbRight); // the second row: the first node's child
    EXPECT_EQ(Asked.size(), 2u);
    EXPECT_EQ(Top(0)->ChildCount, 0u);

    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toEditable);
    Doomed = Top(1);
    Tree->OnCreateEditor = [&](TBaseLazyTree* T, PLazyNode N, int, std::shared_ptr<ILTEditLink>& Link) {
        Link = std::make_shared<TStringEditLink>();
        if (N == Doomed) T->DeleteNode(std::exchange(Doomed, nullptr));
    };
    Tree->EditNode(Top(1), 0);
    fw::ProcessMessages();
    EXPECT_EQ(Tree->RootNodeCount(), 2u);
    EXPECT_FALSE(Tree->IsEditing());
    Picture();
    ExpectTotals(*Tree);
}

TEST_F(SoundViewTest, RowsUpToSixteenBitsTallAreKeptAndPaint) {
    for (auto [Set, Kept] : {std::pair{40000u, 40000u}, {65535u, 65535u}, {70000u, 65535u}}) {
        Tree->SetNodeHeight(Top(1), Set);
        EXPECT_EQ(Tree->GetNodeHeight(Top(1)), Kept);
        Tree->SetDefaultNodeHeight(Set);
        EXPECT_EQ(Tree->DefaultNodeHeight(), Kept);
    }
    Tree->SetDefaultNodeHeight(18);
    ExpectTotals(*Tree);
    // Taller than a picture holds: each paint draws the part of the row on screen.
    Tree->SetNodeHeight(Top(1), 40000);
    Tree->OnBeforeItemErase = [this](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, const fw::TRect&,
                                     fw::TColor& Color, TItemEraseAction& Action) {
        Color = N == Top(1) ? fw::clRed : fw::clBlue;
        Action = eaColor;
    };
    for (auto [Offset, RedAt, BlueAt] : {std::array{0, 100, 5}, {-20000, 150, -1},
                                        {160 - 40036, 100, 150}}) {
        Tree->SetOffsetY(Offset);
        ASSERT_NO_THROW(Picture());
        EXPECT_EQ(At(200, RedAt), Rgb(fw::clRed)) << Offset;
        if (BlueAt >= 0) {
            EXPECT_EQ(At(200, BlueAt), Rgb(fw::clBlue)) << Offset;
        }
    }
    // The tooltip over its cut text: no taller than the screen.
    Tree->SetOffsetY(0);
    Tree->SetHintMode(hmTooltip);
    Tree->SetShowHint(true);
    Texts[{Top(1), NoColumn}] = std::u16string(60, u'w');
    Tree->InvalidateNode(Top(1));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 40, 27));
    ASSERT_NO_THROW(fw::AdvanceClock(fw::Application()->HintPause() + 300));
    ASSERT_TRUE(fw::HintShowing());
    EXPECT_EQ(fw::CurrentHintWindow()->Height(), fw::ScreenHeight());
    ExpectTotals(*Tree);
}

TEST_F(SoundViewTest, ContentTallerThanAnOffsetReachesScrollsToItsDeepest) {
    Tree->SetDefaultNodeHeight(65535);
    Tree->SetRootNodeCount(32800);
    ASSERT_GT(Tree->RangeY(), std::uint32_t{INT32_MAX});
    fw::MouseWheelAt(fw::ControlPoint(Tree, 50, 50), -120);
    EXPECT_EQ(Tree->OffsetY(), -3 * 65535);
    const auto Deepest = static_cast<int>(-TBaseLazyTree::MaxScrollDepth);
    for (fw::WPARAM Code : {fw::SB_BOTTOM, fw::SB_LINEDOWN, fw::SB_PAGEDOWN}) {
        Tree->Perform(fw::WM_VSCROLL, Code, 0);
        EXPECT_EQ(Tree->OffsetY(), Deepest);
        ASSERT_NO_THROW(Picture());
    }
    fw::MouseWheelAt(fw::ControlPoint(Tree, 50, 50), -120, fw::ssCtrl);
    Key(fw::VK_HOME);
    Key(fw::VK_END);
    EXPECT_EQ(Tree->OffsetY(), Deepest);
    Picture();
    Click(50, 50);
    ExpectTotals(*Tree);
}

// A text handler that measures text itself, then changes the font: the
// redirect of the font's change notice, made again inside, called itself for
// ever (and a handler that threw left it installed, wrapped at each paint).
TEST_F(SoundViewTest, AFontChangeRedirectMadeInsideAnotherCallsThrough) {
    bool Inner = true;
    Tree->OnPaintText = [&](TBaseLazyTree*, fw::TCanvas* C, PLazyNode N, int Column, TLSTTextType) {
        fw::TFont F;
        fw::TRect R;
        std::u16string Text;
        if (std::exchange(Inner, false)) Tree->GetTextInfo(N, Column, F, R, Text);
        C->Font().SetColor(fw::clRed);
    };
    fw::TFont Font;
    fw::TRect R;
    std::u16string Text;
    Tree->GetTextInfo(Top(0), 0, Font, R, Text);
    EXPECT_EQ(Font.Color(), fw::clRed);
    Picture();
    Tree->OnPaintText = nullptr;
}

// A chain 65,600 levels deep at the largest indent: the indentation lies past
// what an int holds, and is held within reach as rows are measured, painted
// and hit.
TEST_F(SoundViewTest, TheIndentationOfADeepChainIsHeldWithinReach) {
    Tree->OnInitNode = nullptr;
    Tree->OnGetText = [](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string& Text) {
        Text = u"n"; // the fixture's name of a node walks up its levels
    };
    Tree->Clear();
    PLazyNode Last = nullptr;
    Tree->BeginUpdate();
    for (int I = 0; I < 65600; ++I)
        Last = Tree->AddChild(Last);
    Tree->EndUpdate();
    Tree->SetIndent(MaxExtent);
    Tree->FullExpand();
    Tree->ScrollIntoView(Last, false);
    Picture();
    const fw::TRect R = Tree->GetDisplayRect(Last, NoColumn, true);
    EXPECT_GT(R.Left, INT32_MAX / 2);
    THitInfo Hit;
    Tree->GetHitTestInfoAt(10, R.Top + 2, true, Hit);
    EXPECT_EQ(Hit.HitNode, Last);
    EXPECT_TRUE(Hit.HitPositions & hpOnItemIndent);
}

// Tri-state boxes down a chain 100,000 deep: checking the top reaches the
// deepest box and unchecking the deepest reaches the top, with no call per level.
TEST_F(SoundTest, CheckStatesTravelAChainAHundredThousandDeep) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toCheckSupport);
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoTristateTracking);
    PLazyNode Last = nullptr;
    for (int I = 0; I < 100000; ++I) {
        Last = Tree->AddChild(Last);
        Tree->SetCheckType(Last, ctTriStateCheckBox);
    }
    PLazyNode First = Tree->GetFirstNoInit();
    Tree->SetCheckState(First, csCheckedNormal);
    EXPECT_EQ(Last->CheckState, csCheckedNormal);
    Tree->SetCheckState(Last, csUncheckedNormal);
    EXPECT_EQ(First->CheckState, csUncheckedNormal);
}

// ------------------------------------------------------- throwing handlers

TEST_F(SoundTest, AThrowingUpdateEndReachesTheCallerWithTheLockLeft) {
    Tree->SetRootNodeCount(2);
    Tree->OnUpdating = [](TBaseLazyTree*, TLTUpdateState S) {
        if (S == usEnd) throw std::runtime_error("end");
    };
    Tree->BeginUpdate();
    EXPECT_THROW(Tree->EndUpdate(), std::runtime_error);
    EXPECT_EQ(Tree->UpdateCount(), 0u);
    EXPECT_THROW(Tree->Clear(), std::runtime_error);
    EXPECT_EQ(Tree->UpdateCount(), 0u);
    Tree->OnUpdating = nullptr;
    EXPECT_EQ(Tree->TotalCount(), 0u);
}

TEST_F(SoundTest, AThrowingStructureHandlerDuringDeleteSelectedNodes) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetRootNodeCount(4);
    Tree->SetSelected(Root(0), true);
    Tree->SetSelected(Root(2), true);
    Tree->OnStructureChange = [](TBaseLazyTree*, PLazyNode, TChangeReason) {
        throw std::runtime_error("structure");
    };
    EXPECT_THROW(Tree->DeleteSelectedNodes(), std::runtime_error);
    Tree->OnStructureChange = nullptr;
    EXPECT_EQ(Tree->UpdateCount(), 0u);
    EXPECT_EQ(Tree->TotalCount(), 2u);
    EXPECT_EQ(Tree->SelectedCount(), 0);
    ExpectTotals(*Tree);
}

// ------------------------------------------------------------------- header

std::vector<std::uint8_t> HeaderBytes(TLTHeader& H) {
    TMemoryStream S;
    H.SaveToStream(S);
    return S.Data();
}

TEST_F(SoundTest, AHeaderStreamThatFailsPartWayChangesNothing) {
    auto Other = std::make_unique<TLazyStringTree>(nullptr);
    for (int I = 0; I < 3; ++I)
        Other->Header()->Columns().Add()->SetWidth(40 + I);
    const std::vector<std::uint8_t> Good = HeaderBytes(*Other->Header());
    Tree->Header()->Columns().Add()->SetWidth(77);
    Tree->Header()->SetHeight(30);
    const std::vector<std::uint8_t> Before = HeaderBytes(*Tree->Header());
    for (std::size_t Len = 0; Len < Good.size(); ++Len) {
        TMemoryStream S(std::vector<std::uint8_t>(Good.begin(), Good.begin() + static_cast<long>(Len)));
        EXPECT_ANY_THROW(Tree->Header()->LoadFromStream(S));
        ASSERT_EQ(HeaderBytes(*Tree->Header()), Before) << Len;
    }
    TMemoryStream S(Good);
    Tree->Header()->LoadFromStream(S);
    EXPECT_EQ(Tree->Header()->Columns().Count(), 3);
}

TEST_F(SoundTest, HeaderSizesBeyondReasonAreRefused) {
    auto Other = std::make_unique<TLazyStringTree>(nullptr);
    Other->Header()->Columns().Add()->SetMargin(4321);
    Other->Header()->Columns()[0].SetSpacing(3);
    // The setter holds a margin within reach: the stream is given one beyond it.
    std::vector<std::uint8_t> Margin = HeaderBytes(*Other->Header());
    const std::uint8_t Stored[] = {0xE1, 0x10, 0, 0}; // 4321
    auto At = std::search(Margin.begin(), Margin.end(), std::begin(Stored), std::end(Stored));
    ASSERT_NE(At, Margin.end());
    At[0] = 0x87, At[1] = 0xD6, At[2] = 0x12; // 1234567
    Other->Header()->Columns()[0].SetMargin(4);
    Other->Header()->Font().SetHeight(-99999999);
    std::vector<std::uint8_t> Font = HeaderBytes(*Other->Header());
    for (const auto& Bytes : {Margin, Font}) {
        TMemoryStream S(Bytes);
        EXPECT_THROW(Tree->Header()->LoadFromStream(S), EReadError);
        EXPECT_EQ(Tree->Header()->Columns().Count(), 0);
    }
}

TEST_F(SoundTest, DeletingAColumnShiftsTheIndexesThatNameColumns) {
    auto& Cols = Tree->Header()->Columns();
    for (int I = 0; I < 4; ++I)
        Cols.Add()->SetWidth(50);
    Cols.DragIndex = 3;
    Cols.DropTarget = 1;
    Tree->SetFocusedColumn(2);
    Cols.Delete(1);
    EXPECT_EQ(Cols.DragIndex, 2);
    EXPECT_EQ(Cols.DropTarget, NoColumn);
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    Cols.Delete(1);
    EXPECT_EQ(Tree->FocusedColumn(), NoColumn);
}

// --------------------------------------------------------------- the worker

class WorkerStressTest : public fw::FormTest {};

// Every change lands while the worker may be building the cache: the
// thread sanitizer (scripts/tsan) sees no node read and written at once.
TEST_F(WorkerStressTest, ChangesRaceTheCacheBuild) {
    auto* T = Place<TLazyStringTree>(0, 0, 200, 200);
    T->HandleNeeded();
    T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
    T->SetRootNodeCount(6000);
    std::mt19937 Rng(5);
    for (int Round = 0; Round < 300; ++Round) {
        T->InvalidateCache();
        std::this_thread::sleep_for(std::chrono::microseconds(Rng() % 200));
        fw::DeliverSentMessages();
        PLazyNode N = T->GetFirstNoInit();
        for (unsigned Skip = Rng() % 3000; N && Skip > 0; --Skip)
            N = N->NextSibling;
        if (!N) continue;
        switch (Rng() % 7) {
        case 0: T->AddChild(Rng() % 2 ? N : nullptr); break;
        case 1: T->DeleteNode(N); break;
        case 2: T->ToggleNode(N); break;
        case 3: T->SetNodeHeight(N, 10 + Rng() % 20); break;
        case 4: T->SetVisible(N, !(N->States & vsVisible)); break;
        case 5: T->SetSelected(N, !(N->States & vsSelected)); break;
        default: T->GetNodeAt(0, static_cast<int>(Rng() % 50000), false, *std::make_unique<int>()); break;
        }
        ExpectTotals(*T);
        if (HasFailure()) return;
    }
    // Left alone, the cache is built and agrees with the walk.
    T->InvalidateCache();
    PumpUntil([T] { return T->TreeStates().Contains(tsUseCache); });
    ASSERT_TRUE(T->TreeStates().Contains(tsUseCache));
    PLazyNode Last = T->GetLastVisibleNoInit();
    int Top = 0;
    EXPECT_EQ(T->GetNodeAt(0, static_cast<int>(T->RangeY()) - 1, false, Top), Last);
}

TEST_F(WorkerStressTest, AShownTreeNeverFocusedHasItsWindowAndCache) {
    auto* T = Place<TLazyStringTree>(0, 0, 200, 150);
    T->SetRootNodeCount(5000);
    Show();
    ASSERT_TRUE(T->HandleAllocated());
    int Min = -1, Max = -1;
    ASSERT_TRUE(fw::GetScrollRange(T->Handle(), fw::SB_VERT, Min, Max));
    EXPECT_EQ(Max, 5000 * 18);
    PumpUntil([T] { return T->TreeStates().Contains(tsUseCache); });
    EXPECT_TRUE(T->TreeStates().Contains(tsUseCache));
    EXPECT_EQ(T->PositionCache().size(), 3u);
}

// Asking for a new build of a cache that is built and in use drops it and
// builds it again; the tree is never left without one.
TEST_F(WorkerStressTest, InvalidatingABuiltCacheBuildsItAgain) {
    auto* T = Place<TLazyStringTree>(0, 0, 200, 150);
    T->SetRootNodeCount(5000);
    Show();
    ASSERT_TRUE(PumpUntil([T] { return T->TreeStates().Contains(tsUseCache); }));
    for (int Round = 0; Round < 3; ++Round) {
        T->InvalidateCache();
        EXPECT_TRUE(PumpUntil([T] { return T->TreeStates().Contains(tsUseCache); }));
        EXPECT_FALSE(T->TreeStates().Contains(tsValidationNeeded));
    }
}

// A deletion asked for while the worker's own report is handled runs at that
// message's end, while the worker still waits for its answer.
TEST_F(WorkerStressTest, AStateHandlerDeletingWhileTheWorkerReports) {
    auto* T = Place<TLazyStringTree>(0, 0, 200, 150);
    T->SetRootNodeCount(5000);
    int Deleted = 0;
    T->OnStateChange = [&Deleted](TBaseLazyTree* Sender, TLazyTreeStates Enter, TLazyTreeStates) {
        if (Enter.Contains(tsValidating) && Deleted < 3) {
            ++Deleted;
            Sender->DeleteNode(Sender->GetLast());
        }
    };
    Show();
    PumpUntil([&Deleted] { return Deleted >= 3; }, [&Deleted, T] {
        if (Deleted < 3 && !T->TreeStates().Contains(tsValidating)) T->InvalidateCache();
    });
    EXPECT_EQ(Deleted, 3);
    EXPECT_EQ(T->RootNodeCount(), 4997u);
    T->OnStateChange = nullptr;
    T->InvalidateCache();
    PumpUntil([T] { return T->TreeStates().Contains(tsUseCache); });
    EXPECT_TRUE(T->TreeStates().Contains(tsUseCache));
}

// ------------------------------------------------------------------ streams

std::uint32_t& Value(TBaseLazyTree& T, PLazyNode N) {
    return *T.GetNodeDataAs<std::uint32_t>(N);
}

// A tree whose nodes carry a 32-bit value through OnSaveNode and OnLoadNode.
std::unique_ptr<TLazyStringTree> ValueTree(bool Multi = true) {
    auto T = std::make_unique<TLazyStringTree>(nullptr);
    T->SetNodeDataSize(4);
    if (Multi) T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
    T->OnSaveNode = [](TBaseLazyTree* Sender, PLazyNode N, TStream& S) {
        S.WriteU32(Value(*Sender, N));
    };
    T->OnLoadNode = [](TBaseLazyTree* Sender, PLazyNode N, TStream& S) {
        Value(*Sender, N) = S.ReadU32();
    };
    return T;
}

// Nodes 1..9 in three levels, some hidden, collapsed, expanded or selected.
void FillValues(TBaseLazyTree& T) {
    std::uint32_t Next = 1;
    for (int I = 0; I < 3; ++I) {
        PLazyNode Top = T.AddChild(nullptr, Next++);
        for (int J = 0; J < I; ++J) {
            PLazyNode C = T.AddChild(Top, Next++);
            if (J == 1) T.AddChild(C, Next++);
        }
    }
    PLazyNode Second = T.GetFirstNoInit()->NextSibling;
    T.SetExpanded(Second, true);
    T.SetSelected(Second->FirstChild, true);
    T.SetSelected(T.GetFirstNoInit(), true);
    T.SetVisible(Second->LastChild ? Second->LastChild : Second, false);
    T.FullExpand(Second->NextSibling);
}

std::vector<std::uint8_t> Saved(TBaseLazyTree& T) {
    TMemoryStream S;
    T.SaveToStream(S);
    return S.Data();
}

// The tree as text: values in order with their levels and child counts.
std::string Shape(TBaseLazyTree& T, PLazyNode From = nullptr) {
    std::string R;
    PLazyNode Stop = From ? From->NextSibling : nullptr;
    for (PLazyNode N = From ? From : T.GetFirstNoInit(); N && N != Stop; N = T.GetNextNoInit(N))
        R += std::to_string(T.GetNodeLevel(N)) + ":" + std::to_string(Value(T, N)) + "/" +
             std::to_string(N->ChildCount) + " ";
    return R;
}

// Selected flags and the selection agree, and a single-select tree holds one at most.
void ExpectSelectionAgrees(TBaseLazyTree& T) {
    int Flagged = 0;
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        if (N->States & vsSelected) ++Flagged;
    EXPECT_EQ(Flagged, T.SelectedCount());
    if (!(T.SelectionOptions() & toMultiSelect)) {
        EXPECT_LE(Flagged, 1);
    }
}

// Loads Bytes into T; true when it loaded without error.
bool LoadInto(TBaseLazyTree& T, const std::vector<std::uint8_t>& Bytes) {
    TMemoryStream S(Bytes);
    try {
        T.LoadFromStream(S);
        return true;
    } catch (const ELazyTreeError&) {
        return false;
    }
}

class StreamSoundTest : public fw::FormTest {};

TEST_F(StreamSoundTest, EveryTruncationLeavesWholeTopNodesOnly) {
    auto Source = ValueTree();
    FillValues(*Source);
    const std::vector<std::uint8_t> Bytes = Saved(*Source);
    // The shape of each whole top-level node of the source.
    std::vector<std::string> Whole;
    for (PLazyNode N = Source->GetFirstNoInit(); N; N = N->NextSibling)
        Whole.push_back(Shape(*Source, N));
    for (std::size_t Len = 0; Len < Bytes.size(); ++Len) {
        SCOPED_TRACE(Len);
        for (bool Multi : {true, false}) {
            auto T = ValueTree(Multi);
            // A cut at a node's end reads as a shorter stream; any other cut fails.
            LoadInto(*T, {Bytes.begin(), Bytes.begin() + static_cast<long>(Len)});
            std::string Expected;
            for (std::size_t I = 0; I < T->RootNodeCount(); ++I)
                Expected += Whole[I];
            EXPECT_EQ(Shape(*T), Expected);
            ExpectTotals(*T);
            ExpectSelectionAgrees(*T);
        }
    }
}

TEST_F(StreamSoundTest, AChunkClaimingMoreChildrenThanItHoldsIsDropped) {
    auto Source = ValueTree();
    PLazyNode A = Source->AddChild(nullptr, 1);
    Source->AddChild(A, 2);
    Source->AddChild(nullptr, 3);
    std::vector<std::uint8_t> Bytes = Saved(*Source);
    // Magic, count, node chunk header, base chunk header: then the child count.
    const std::size_t ChildCountAt = 12 + 4 + 8 + 8;
    ASSERT_EQ(Bytes[ChildCountAt], 1);
    Bytes[ChildCountAt] = 3;
    auto T = ValueTree();
    EXPECT_FALSE(LoadInto(*T, Bytes));
    EXPECT_EQ(T->TotalCount(), 0u);
    ExpectTotals(*T);
}

TEST_F(StreamSoundTest, ByteFlipsLeaveAConsistentTree) {
    auto Source = ValueTree();
    FillValues(*Source);
    const std::vector<std::uint8_t> Bytes = Saved(*Source);
    for (std::size_t I = 0; I < Bytes.size(); ++I)
        for (std::uint8_t Flip : {0x01, 0x80, 0xFF}) {
            SCOPED_TRACE(I);
            std::vector<std::uint8_t> Bad = Bytes;
            Bad[I] ^= Flip;
            auto T = ValueTree(Flip != 0x80);
            LoadInto(*T, Bad);
            ExpectTotals(*T);
            ExpectSelectionAgrees(*T);
            if (HasFailure()) return;
        }
}

TEST_F(StreamSoundTest, StateBitsOutsideTheStoredSetAreNotTaken) {
    auto Source = ValueTree();
    Source->AddChild(nullptr, 1);
    std::vector<std::uint8_t> Bytes = Saved(*Source);
    // The states field of the only base chunk.
    const std::size_t StatesAt = 12 + 4 + 8 + 8 + 8;
    Bytes[StatesAt + 1] |= 0xC0 | (vsClearing >> 8);
    auto T = ValueTree();
    ASSERT_TRUE(LoadInto(*T, Bytes));
    EXPECT_EQ(T->GetFirstNoInit()->States & 0xC000, 0);
    EXPECT_EQ(T->GetFirstNoInit()->States & vsClearing, 0);
    // The height's low 16 bits are kept, all of them.
    for (std::uint16_t Height : {40000, 65535}) {
        Bytes[StatesAt - 4] = static_cast<std::uint8_t>(Height);
        Bytes[StatesAt - 3] = static_cast<std::uint8_t>(Height >> 8);
        Bytes[StatesAt - 2] = 1;
        ASSERT_TRUE(LoadInto(*T, Bytes));
        EXPECT_EQ(T->GetFirstNoInit()->NodeHeight, Height);
        ExpectTotals(*T);
    }
    T->AddChild(T->GetFirstNoInit(), 2);
    T->Clear();
    EXPECT_EQ(T->TotalCount(), 0u);
}

// Reading into a node the tree already shows, with its own shown children:
// its rows were counted before the read, and a failed read keeps the node.
// A node whose count waits for a recount (a grandchild added below it) is
// read into: the tree's count takes the nodes read.
TEST_F(StreamSoundTest, ReadingIntoANodeWhoseCountWaitsCountsTheNodesRead) {
    auto Source = ValueTree();
    FillValues(*Source);
    TMemoryStream S;
    Source->SaveToStream(S, Source->GetLastChild(nullptr)); // three nodes below it
    S.SetPosition(16); // past the magic and the count: the node's chunk
    auto T = ValueTree();
    PLazyNode Top = T->AddChild(nullptr, 100);
    T->AddChild(T->AddChild(Top, 101), 102);
    T->AddNodeFromStream(S, 2, Top);
    EXPECT_EQ(Top->ChildCount, 3u);
    EXPECT_EQ(T->TotalCount(), 6u);
    ExpectTotals(*T);
}

TEST_F(StreamSoundTest, ReadingIntoAShownNodeKeepsItsRowsAndTheNodeItself) {
    auto Source = ValueTree();
    FillValues(*Source);
    const std::vector<std::uint8_t> Bytes = Saved(*Source);
    const std::vector<std::uint8_t> Chunks(Bytes.begin() + 16, Bytes.end());
    for (std::size_t Len = 0; Len <= Chunks.size(); ++Len) {
        SCOPED_TRACE(Len);
        auto T = ValueTree();
        PLazyNode Top = T->AddChild(nullptr, 100);
        T->AddChild(T->AddChild(Top, 101), 102);
        T->AddChild(nullptr, 103);
        T->FullExpand();
        TMemoryStream S({Chunks.begin(), Chunks.begin() + static_cast<long>(Len)});
        try {
            T->AddNodeFromStream(S, 2, Top);
        } catch (const ELazyTreeError&) {
        }
        EXPECT_EQ(T->GetFirstNoInit(), Top);
        EXPECT_EQ(T->RootNodeCount(), 2u);
        ExpectTotals(*T);
        ExpectSelectionAgrees(*T);
        if (HasFailure()) return;
    }
}

// A stream read into a node replaces its states. The node leaves the selection
// when the stream says so, and shows again with its rows when it does.
TEST_F(SoundViewTest, ReadingIntoASelectedOrHiddenNodeKeepsSelectionAndRows) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetSelected(Top(1), true);
    TMemoryStream S;
    Tree->SaveToStream(S, Top(0));
    S.SetPosition(16);
    Tree->AddNodeFromStream(S, 2, Top(1));
    EXPECT_EQ(Tree->SelectedCount(), 0);
    EXPECT_EQ(Tree->RangeAnchor(), nullptr);
    Tree->DeleteNode(Top(1));
    Tree->ClearSelection();
    ExpectTotals(*Tree);

    Tree->FullExpand();
    Tree->SetVisible(Top(1), false);
    S.SetPosition(16);
    Tree->AddNodeFromStream(S, 2, Top(1));
    ExpectTotals(*Tree);
    EXPECT_EQ(Tree->RangeY(), 18u * Tree->VisibleCount());
    EXPECT_TRUE(Tree->FullyVisible(Top(1)));
}

bool Reachable(TBaseLazyTree& T, PLazyNode Node) {
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        if (N == Node) return true;
    return false;
}

// Every state of the node read into (selected, focused and the anchor, hidden,
// expanded, below a collapsed or hidden parent, inside an update) against
// every stored state of the node read: selection, counts and heights agree
// with the nodes, and the node goes again without a trace.
TEST_F(StreamSoundTest, ReadingIntoANodeOfAnyStateKeepsSelectionCountsAndHeights) {
    for (int Stored = 0; Stored < 8; ++Stored) {
        auto Source = ValueTree();
        PLazyNode N = Source->AddChild(nullptr, 1);
        Source->AddChild(N, 2);
        Source->AddChild(N, 3);
        Source->SetSelected(N, (Stored & 1) != 0);
        Source->SetVisible(N, (Stored & 2) == 0);
        Source->SetExpanded(N, (Stored & 4) != 0);
        TMemoryStream S;
        Source->SaveToStream(S, N);
        for (int Case = 0; Case < 256; ++Case) {
            SCOPED_TRACE(testing::Message() << "stored " << Stored << " case " << Case);
            const bool Multi = Case & 1, Select = Case & 2, Hide = Case & 4, Expand = Case & 8,
                       Deep = Case & 16, CollapseParent = Case & 32, HideParent = Case & 64,
                       InUpdate = Case & 128;
            if (!Deep && (CollapseParent || HideParent)) continue;
            auto T = ValueTree(Multi);
            PLazyNode A = T->AddChild(nullptr, 100);
            PLazyNode B = T->AddChild(A, 101);
            T->AddChild(B, 102);
            T->AddChild(nullptr, 103);
            T->FullExpand();
            PLazyNode Into = Deep ? B : A;
            if (Select) {
                T->SetSelected(T->GetFirstNoInit()->NextSibling, true);
                T->SetSelected(Into, true);
                T->SetFocusedNode(Into);
            }
            T->SetVisible(Into, !Hide);
            T->SetExpanded(Into, Expand);
            if (CollapseParent) T->SetExpanded(A, false);
            if (HideParent) T->SetVisible(A, false);
            if (InUpdate) T->BeginUpdate();
            S.SetPosition(16);
            T->AddNodeFromStream(S, 2, Into);
            if (InUpdate) T->EndUpdate();
            ExpectTotals(*T);
            ExpectSelectionAgrees(*T);
            if (T->RangeAnchor()) {
                EXPECT_TRUE(Reachable(*T, T->RangeAnchor()));
            }
            T->DeleteNode(Into);
            T->ClearSelection();
            ExpectTotals(*T);
            ExpectSelectionAgrees(*T);
            if (HasFailure()) return;
        }
    }
}

// A read into a node that is being freed, or whose parent's children are,
// would hang nodes where nothing counts or frees them: the chunk is passed over.
TEST_F(StreamSoundTest, AFreeHandlerReadingIntoANodeBeingFreedAddsNothing) {
    auto Source = ValueTree();
    PLazyNode N = Source->AddChild(nullptr, 1);
    Source->AddChild(N, 2);
    TMemoryStream S;
    Source->SaveToStream(S, N);
    auto T = ValueTree();
    PLazyNode A = T->AddChild(nullptr, 100);
    T->AddChild(A, 101);
    T->AddChild(A, 102);
    T->AddChild(nullptr, 103);
    int Reads = 0;
    T->OnFreeNode = [&](TBaseLazyTree* Sender, PLazyNode Node) {
        if (Value(*Sender, Node) == 100 || Value(*Sender, Node) == 102) {
            S.SetPosition(16);
            Sender->AddNodeFromStream(S, 2, Node);
            EXPECT_EQ(S.Position(), S.Size());
            ++Reads;
        }
        if (Value(*Sender, Node) == 102) { // its sibling 101 is not freed yet
            S.SetPosition(16);
            Sender->AddNodeFromStream(S, 2, A->FirstChild);
            ++Reads;
        }
    };
    T->DeleteNode(A);
    EXPECT_EQ(Reads, 3);
    EXPECT_EQ(Shape(*T), "0:103/0 ");
    ExpectTotals(*T);
}

// ---------------------------------------------------------------- transfers

TEST_F(StreamSoundTest, ARefusedMoveToAnotherTreeKeepsTheSource) {
    auto A = ValueTree(), B = ValueTree();
    PLazyNode N = A->AddChild(nullptr, 7);
    A->AddChild(N, 8);
    B->OnNodeCopying = [](TBaseLazyTree*, PLazyNode, PLazyNode, bool& Allowed) { Allowed = false; };
    A->MoveTo(N, B.get(), amAddChildLast, false);
    EXPECT_EQ(A->TotalCount(), 2u);
    EXPECT_EQ(B->TotalCount(), 0u);
    B->OnNodeCopying = nullptr;
    B->TreeOptions()->SetMiscOptions(B->MiscOptions() | toReadOnly);
    A->MoveTo(N, B.get(), amAddChildLast, true);
    EXPECT_EQ(A->TotalCount(), 2u);
    B->TreeOptions()->SetMiscOptions(B->MiscOptions() & ~toReadOnly);
    A->MoveTo(N, B.get(), amAddChildLast, false);
    EXPECT_EQ(A->TotalCount(), 0u);
    EXPECT_EQ(Shape(*B), "0:7/1 1:8/0 ");
    ExpectTotals(*A);
    ExpectTotals(*B);
}

// Asked of the source's tree, a copy to another tree's node is made there
// (it used to link the copy under the other tree while counting it in this
// one, and its walk up marked the other tree's object as a node).
TEST_F(StreamSoundTest, ACopyAskedOfTheSourceTreeLandsInTheTargetTree) {
    auto A = ValueTree(), B = ValueTree();
    PLazyNode From = A->AddChild(nullptr, 1);
    A->AddChild(From, 2);
    PLazyNode To = B->AddChild(nullptr, 3);
    B->SetExpanded(To, true);
    PLazyNode Copy = A->CopyTo(From, To, amAddChildLast, false);
    ASSERT_NE(Copy, nullptr);
    EXPECT_EQ(TreeFromNode(Copy), B.get());
    EXPECT_EQ(Shape(*B), "0:3/1 1:1/1 2:2/0 ");
    EXPECT_EQ(Shape(*A), "0:1/1 1:2/0 ");
    EXPECT_EQ(B->Owner(), nullptr);
    ExpectTotals(*A);
    ExpectTotals(*B);
}

TEST_F(StreamSoundTest, ACopyThatFailsPartWayTakesItsNodesBack) {
    auto A = ValueTree(), B = ValueTree();
    PLazyNode N = A->AddChild(nullptr, 1);
    for (std::uint32_t V = 2; V <= 4; ++V)
        A->AddChild(N, V);
    B->AddChild(nullptr, 9);
    B->OnLoadNode = [](TBaseLazyTree* T, PLazyNode Node, TStream& S) {
        Value(*T, Node) = S.ReadU32();
        if (Value(*T, Node) == 3) throw ELazyTreeError("refused", 2006);
    };
    EXPECT_THROW(B->CopyTo(N, B->GetFirstNoInit(), amAddChildLast, true), ELazyTreeError);
    EXPECT_EQ(Shape(*B), "0:9/0 ");
    ExpectTotals(*B);
}

// --------------------------------------------------------------- deep chains

// A read into an initialised node from a stream of a node never touched, and
// a node moved below a node never touched: the nodes keep being initialised
// (each is freed with its OnFreeNode), and a save writes every node there is.
TEST_F(StreamSoundTest, ASaveWritesEveryNodeThatExists) {
    auto AsTheyStand = [](TBaseLazyTree& T) { // saved without being initialised first
        T.TreeOptions()->SetMiscOptions(T.MiscOptions() & ~toInitOnSave);
    };
    auto Untouched = ValueTree();
    AsTheyStand(*Untouched);
    Untouched->SetRootNodeCount(1);
    TMemoryStream S(Saved(*Untouched));
    auto T = ValueTree();
    AsTheyStand(*T);
    PLazyNode X = T->AddChild(nullptr, 1);
    T->AddChild(X, 2);
    T->AddChild(X, 3);
    T->ValidateNode(nullptr, true);
    S.SetPosition(16);
    T->AddNodeFromStream(S, 2, X);
    EXPECT_TRUE(X->States & vsInitialized);
    PLazyNode Y = T->AddChild(nullptr, 4);
    T->MoveTo(T->AddChild(nullptr, 5), Y, amAddChildLast, false);
    ASSERT_FALSE(Y->States & vsInitialized);
    auto Copy = ValueTree();
    ASSERT_TRUE(LoadInto(*Copy, Saved(*T)));
    EXPECT_EQ(Shape(*Copy), Shape(*T));
    int Freed = 0;
    T->OnFreeNode = [&Freed](TBaseLazyTree*, PLazyNode) { ++Freed; };
    T->Clear();
    T->OnFreeNode = nullptr;
    EXPECT_EQ(Freed, 5);
}

// A chain as deep as the stream reader allows: every walk over it runs
// without a call stack per level.
TEST_F(StreamSoundTest, AChainAMillionLevelsDeep) {
    constexpr std::uint32_t Depth = MaxStreamDepth;
    auto T = ValueTree();
    T->OnCompareNodes = [](TBaseLazyTree* S, PLazyNode A, PLazyNode B, int, int& R) {
        R = static_cast<int>(Value(*S, A)) - static_cast<int>(Value(*S, B));
    };
    PLazyNode Last = nullptr;
    for (std::uint32_t I = 1; I <= Depth; ++I)
        Last = T->AddChild(Last, I);
    EXPECT_EQ(T->TotalCount(), Depth);
    EXPECT_EQ(T->NodeTotalCount(T->GetFirstNoInit()), Depth);
    T->SortTree(NoColumn, sdAscending);
    T->FullExpand();
    EXPECT_EQ(T->VisibleCount(), Depth);
    EXPECT_EQ(T->RangeY(), std::uint64_t{Depth} * 18);
    T->FullCollapse();
    EXPECT_EQ(T->VisibleCount(), 1u);
    EXPECT_EQ(T->RangeY(), 18u);
    T->ValidateNode(nullptr, true);
    T->ReinitNode(nullptr, true);
    T->FullExpand(T->GetFirstNoInit()->FirstChild);
    EXPECT_EQ(T->VisibleCount(), 1u);
    EXPECT_EQ(T->GetFirstNoInit()->FirstChild->TotalHeight, (Depth - 1) * 18);
    const std::vector<std::uint8_t> Bytes = Saved(*T);
    auto Copy = ValueTree();
    ASSERT_TRUE(LoadInto(*Copy, Bytes));
    EXPECT_EQ(Copy->TotalCount(), Depth);
    EXPECT_EQ(Copy->GetNodeLevel(Copy->GetLastNoInit()), Depth - 1);
    EXPECT_EQ(Value(*Copy, Copy->GetLastNoInit()), Depth);
    EXPECT_EQ(Copy->RangeY(), 18u);
    // One level more than the reader takes is not written.
    T->AddChild(Last, Depth + 1);
    TMemoryStream Refused;
    EXPECT_THROW(T->SaveToStream(Refused), ELazyTreeError);
    EXPECT_EQ(Refused.Size(), 0);
    T->DeleteNode(T->GetFirstNoInit()->FirstChild);
    EXPECT_EQ(T->TotalCount(), 1u);
    EXPECT_EQ(T->RangeY(), 18u);
    Copy->Clear();
    EXPECT_EQ(Copy->TotalCount(), 0u);
    Copy.reset();
    T->AddChild(T->GetFirstNoInit(), 1);
    T.reset(); // the destructor frees what is left
}

} // namespace
} // namespace vel
