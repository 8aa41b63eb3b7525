#include "TreeViewTestEnv.h"

#include "LazyTreeHint.h"

#include "Forms.h"
#include "Hints.h"
#include "Menus.h"
#include "Messages.h"
#include "ScrollBars.h"

namespace vel {
namespace {

class InputTest : public TreeViewTest {
protected:
    // Three columns of 60 pixels, the header visible (17 pixels high).
    void AddColumns() {
        for (int I = 0; I < 3; ++I) {
            TLazyTreeColumn* C = Tree->Header()->Columns().Add();
            C->SetWidth(60);
            C->SetText(u"C" + std::u16string(1, static_cast<char16_t>(u'0' + I)));
        }
        Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
        fw::ProcessMessages();
    }
    int HeaderHeight() { return Tree->Header()->Height(); }
    void MoveTo(int X, int Y) {
        fw::MouseMoveTo(fw::ControlPoint(Tree, X, Y));
        fw::ProcessMessages();
    }
};

TEST_F(InputTest, TabWalksTheCellsOnlyWhenTheTreeWantsTabs) {
    AddColumns();
    EXPECT_FALSE(Tree->Perform(fw::WM_GETDLGCODE, 0, 0) & fw::DLGC_WANTTAB);
    Tree->SetWantTabs(true);
    EXPECT_TRUE(Tree->Perform(fw::WM_GETDLGCODE, 0, 0) & fw::DLGC_WANTTAB);
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->SetFocusedNode(Top(0));
    Tree->SetFocusedColumn(1);
    Key(fw::VK_TAB);
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    Key(fw::VK_TAB); // past the last column: the next row's first
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    EXPECT_EQ(Tree->FocusedColumn(), 0);
    Key(fw::VK_TAB, fw::ssShift);
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    // A column the application refuses is stepped over.
    Tree->OnFocusChanging = [](TBaseLazyTree*, PLazyNode, PLazyNode, int, int NewColumn,
                               bool& Allowed) { Allowed = NewColumn != 1; };
    Key(fw::VK_TAB, fw::ssShift);
    EXPECT_EQ(Tree->FocusedColumn(), 0);
}

TEST_F(InputTest, ArrowsHomeAndEndMoveAlongTheColumnsWithGridExtensions) {
    AddColumns();
    Tree->SetFocusedNode(Top(1));
    Tree->SetFocusedColumn(0);
    // Without the options Right expands the node.
    Key(fw::VK_RIGHT);
    EXPECT_TRUE(Tree->Expanded(Top(1)));
    EXPECT_EQ(Tree->FocusedColumn(), 0);
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toGridExtensions);
    Key(fw::VK_RIGHT);
    Key(fw::VK_RIGHT);
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    Key(fw::VK_RIGHT); // nothing further right
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    Key(fw::VK_LEFT);
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    // Home and End keep the row; with Ctrl they go to the first or last row too.
    Key(fw::VK_END);
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    Key(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Tree->FocusedColumn(), 0);
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
}

TEST_F(InputTest, KeyActionsMayChangeOrSwallowTheKey) {
    Tree->SetFocusedNode(Top(0));
    Tree->OnKeyAction = [](TBaseLazyTree*, std::uint16_t& Code, fw::TShiftState&, bool& Default) {
        if (Code == fw::VK_DOWN) Code = fw::VK_END;
        if (Code == fw::VK_UP) Default = false;
    };
    Key(fw::VK_DOWN);
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    Key(fw::VK_UP);
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
}

TEST_F(InputTest, F1AsksTheNodeAndItsParentsThenTheControlsForHelp) {
    Tree->SetExpanded(Top(0), true);
    Tree->SetFocusedNode(Tree->GetFirstChild(Top(0)));
    std::vector<PLazyNode> Asked;
    Tree->OnGetHelpContext = [&](TBaseLazyTree*, PLazyNode Node, int, int& Context) {
        Asked.push_back(Node);
        if (Node == Top(0)) Context = 77;
    };
    int Opened = 0;
    fw::Application()->OnHelp = [&](int, std::intptr_t Data, bool&) {
        Opened = static_cast<int>(Data);
        return true;
    };
    Key(fw::VK_F1);
    EXPECT_EQ(Asked, (std::vector<PLazyNode>{Tree->GetFirstChild(Top(0)), Top(0)}));
    EXPECT_EQ(Opened, 77);
    // No node context: the tree's, else its parent's.
    Tree->OnGetHelpContext = nullptr;
    Form->SetHelpContext(12);
    Key(fw::VK_F1);
    EXPECT_EQ(Opened, 12);
    Tree->SetHelpContext(5);
    Key(fw::VK_F1);
    EXPECT_EQ(Opened, 5);
    fw::Application()->OnHelp = nullptr;
}

TEST_F(InputTest, MenusOpenOnTheRightButtonsReleaseAndTheApplicationsKey) {
    fw::TPopupMenu NodeMenu, TreeMenu;
    std::vector<PLazyNode> Asked;
    Tree->OnGetPopupMenu = [&](TBaseLazyTree*, PLazyNode Node, int, fw::TPoint, bool& AskParent,
                               fw::TPopupMenu*& Menu) {
        Asked.push_back(Node);
        if (Node == Top(1)) Menu = &NodeMenu;
        AskParent = Node != Top(2);
    };
    fw::MouseDownAt(fw::ControlPoint(Tree, 30, 18 + 9), fw::mbRight);
    fw::ProcessMessages();
    EXPECT_EQ(NodeMenu.PopupCount(), 0); // not on the press
    fw::MouseUpAt(fw::ControlPoint(Tree, 30, 18 + 9), fw::mbRight);
    fw::ProcessMessages();
    EXPECT_EQ(NodeMenu.PopupCount(), 1);
    EXPECT_EQ(NodeMenu.PopupPoint(), fw::ControlPoint(Tree, 30, 18 + 9));
    EXPECT_EQ(NodeMenu.PopupComponent(), Tree);
    // A child asks its parent unless told not to.
    Tree->SetExpanded(Top(1), true);
    Asked.clear();
    Click(40, 3 * 18 + 9, 0, fw::mbRight); // "1.1"
    EXPECT_EQ(NodeMenu.PopupCount(), 2);
    EXPECT_EQ(Asked.back(), Top(1));
    // The Applications key: the focused node's menu at the middle of its text.
    Tree->SetFocusedNode(Top(1));
    Key(fw::VK_APPS);
    EXPECT_EQ(NodeMenu.PopupCount(), 3);
    const fw::TRect R = Tree->GetDisplayRect(Top(1), NoColumn, true);
    EXPECT_EQ(NodeMenu.PopupPoint(), Tree->ClientToScreen({(R.Left + R.Right) / 2, 18 + 9}));
    // The tree's own menu comes through the context-menu message and wins.
    Tree->SetPopupMenu(&TreeMenu);
    Click(30, 18 + 9, 0, fw::mbRight);
    EXPECT_EQ(TreeMenu.PopupCount(), 1);
    EXPECT_EQ(NodeMenu.PopupCount(), 3);
    Tree->SetPopupMenu(nullptr);
}

TEST_F(InputTest, TheCursorFollowsTheHotNodeTheHandlerAndTheHeadersSplitter) {
    AddColumns();
    const int Row = HeaderHeight() + 9;
    MoveTo(30, Row);
    EXPECT_EQ(fw::CurrentCursor(), fw::crDefault);
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toHotTrack);
    Tree->SetHotCursor(fw::crHandPoint);
    MoveTo(31, Row);
    EXPECT_EQ(fw::CurrentCursor(), fw::crHandPoint);
    MoveTo(31, Row + 18 * 3 + 4); // below the rows: not hot (the cursor is asked first)
    MoveTo(32, Row + 18 * 3 + 4);
    EXPECT_EQ(fw::CurrentCursor(), fw::crDefault);
    // The handler has the last word over the rows.
    Tree->OnGetCursor = [](TBaseLazyTree*, fw::TCursor& C) { C = fw::crCross; };
    MoveTo(32, Row);
    EXPECT_EQ(fw::CurrentCursor(), fw::crCross);
    // The header's splitter between the first two columns.
    MoveTo(59, 5);
    EXPECT_EQ(fw::CurrentCursor(), crHeaderSplit);
    MoveTo(30, 5);
    EXPECT_EQ(fw::CurrentCursor(), fw::crCross);
}

TEST_F(InputTest, HintsComeAfterThePauseByHintMode) {
    Tree->SetShowHint(true);
    Tree->SetHint("The tree|long text");
    Tree->OnGetHint = [this](TBaseLazyTree*, PLazyNode Node, int, TLSTTextType,
                             std::u16string& Text) {
        Text = Node == Top(1) ? u"Second node" : u""; // it comes with the tree's hint
    };
    // hmDefault: the control's short hint wherever the mouse is.
    MoveTo(30, 18 + 9);
    fw::AdvanceClock(fw::Application()->HintPause() - 10);
    EXPECT_FALSE(fw::HintShowing());
    fw::AdvanceClock(20);
    ASSERT_TRUE(fw::HintShowing());
    EXPECT_EQ(fw::CurrentHintWindow()->HintText(), u"The tree");
    fw::CancelHint();
    // hmHint: the node's own hint, nothing over a node without one.
    Tree->SetHintMode(hmHint);
    MoveTo(30, 9);
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    EXPECT_FALSE(fw::HintShowing());
    MoveTo(31, 18 + 9);
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    ASSERT_TRUE(fw::HintShowing());
    auto* W = dynamic_cast<TLazyTreeHintWindow*>(fw::CurrentHintWindow());
    ASSERT_NE(W, nullptr);
    EXPECT_EQ(W->HintData().HintText, u"Second node");
    EXPECT_EQ(W->HintData().Node, Top(1));
    // hmHintAndDefault: the node's hint over nodes, the tree's elsewhere.
    fw::CancelHint();
    Tree->SetHintMode(hmHintAndDefault);
    MoveTo(100, 3 * 18 + 20);
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    ASSERT_TRUE(fw::HintShowing());
    EXPECT_EQ(fw::CurrentHintWindow()->HintText(), u"The tree");
}

TEST_F(InputTest, HeaderColumnsShowTheirOwnHints) {
    AddColumns();
    Tree->SetShowHint(true);
    Tree->Header()->Columns()[1].SetHint(u"Size in bytes");
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoShowHint);
    MoveTo(90, 5);
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    ASSERT_TRUE(fw::HintShowing());
    EXPECT_EQ(fw::CurrentHintWindow()->HintText(), u"Size in bytes");
    // The first column has none: nothing there, not even the tree's own hint.
    Tree->SetHint("The tree");
    MoveTo(20, 5);
    fw::AdvanceClock(fw::Application()->HintPause() + 10);
    EXPECT_FALSE(fw::HintShowing());
    // Column texts stored as 8-bit values are widened byte by byte.
    Tree->Header()->Columns()[0].ReadWideHint(std::string_view("caf\xe9"));
    EXPECT_EQ(Tree->Header()->Columns()[0].Hint(), u"caf\u00e9");
    EXPECT_TRUE(Tree->Header()->Columns()[0].WideHintStored());
    EXPECT_FALSE(Tree->Header()->Columns()[2].WideHintStored());
}

TEST_F(InputTest, AnimationsRunTheirStepsAndStopWhenTold) {
    std::vector<int> Steps;
    Tree->Animate(
        10, 100,
        [&](TBaseLazyTree*, int Step, int Size, void*) {
            Steps.push_back(Size ? Step : -1);
            return true;
        },
        nullptr);
    // Ten steps of one, then the closing call with a zero step size.
    ASSERT_EQ(Steps.size(), 11u);
    EXPECT_EQ(Steps[3], 3);
    EXPECT_EQ(Steps.back(), -1);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsInAnimation));
    // A callback that answers false stops early.
    Steps.clear();
    Tree->Animate(
        10, 100,
        [&](TBaseLazyTree*, int Step, int, void*) {
            Steps.push_back(Step);
            return Step < 2;
        },
        nullptr);
    EXPECT_EQ(Steps.size(), 4u);
}

TEST_F(InputTest, AHotNodeChangeIsReportedAndColumnsClickOnRelease) {
    AddColumns();
    const int Row = HeaderHeight() + 9;
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toHotTrack);
    std::vector<std::pair<PLazyNode, PLazyNode>> Hot;
    Tree->OnHotChange = [&](TBaseLazyTree*, PLazyNode Old, PLazyNode New) {
        Hot.push_back({Old, New});
    };
    MoveTo(30, Row);
    MoveTo(30, Row + 18);
    ASSERT_EQ(Hot.size(), 2u);
    EXPECT_EQ(Hot[1], std::make_pair(Top(0), Top(1)));
    std::vector<int> Clicked, Double;
    Tree->OnColumnClick = [&](TBaseLazyTree*, int Column, fw::TShiftState) {
        Clicked.push_back(Column);
    };
    Tree->OnColumnDblClick = [&](TBaseLazyTree*, int Column, fw::TShiftState) {
        Double.push_back(Column);
    };
    fw::MouseDownAt(fw::ControlPoint(Tree, 90, Row));
    EXPECT_TRUE(Clicked.empty());
    fw::MouseUpAt(fw::ControlPoint(Tree, 90, Row));
    EXPECT_EQ(Clicked, std::vector<int>{1});
    fw::DoubleClickAt(fw::ControlPoint(Tree, 150, Row));
    EXPECT_EQ(Double, std::vector<int>{2});
}

TEST_F(InputTest, ExpandKeysAreTypedIntoARunningSearch) {
    Tree->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isAll);
    Tree->SetFocusedNode(Top(0));
    Key('1');
    ASSERT_EQ(Tree->FocusedNode(), Top(1));
    ASSERT_TRUE(Tree->TreeStates().Contains(tsIncrementalSearching));
    Key(fw::VK_ADD);
    EXPECT_FALSE(Tree->Expanded(Top(1)));
    // Once the search has timed out the key expands.
    fw::AdvanceClock(Tree->IncrementalSearchTimeout() + 10);
    Key(fw::VK_ADD);
    EXPECT_TRUE(Tree->Expanded(Top(1)));
    // Turning the search off ends one that runs.
    Key('2');
    ASSERT_TRUE(Tree->TreeStates().Contains(tsIncrementalSearching));
    Tree->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isNone);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsIncrementalSearching));
}

TEST_F(InputTest, ASearchThatFindsNothingBeepsAndKeepsTheFocus) {
    Tree->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isAll);
    Tree->SetFocusedNode(Top(0));
    const int Beeps = fw::BeepCount();
    Key('2');
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    EXPECT_EQ(fw::BeepCount(), Beeps);
    Key('X'); // "2x" names no node
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    EXPECT_EQ(fw::BeepCount(), Beeps + 1);
    EXPECT_TRUE(Tree->TreeStates().Contains(tsIncrementalSearching));
}

TEST_F(InputTest, ATreeWithoutColumnsScrollsSidewaysToALongText) {
    Texts[{Top(1), NoColumn}] = std::u16string(80, u'w');
    Tree->ReinitNode(Top(1), false);
    Tree->BeginUpdate();
    Tree->EndUpdate();
    fw::ProcessMessages();
    fw::TScrollInfo Info;
    Info.fMask = fw::SIF_ALL;
    ASSERT_TRUE(fw::GetScrollInfo(Tree->Handle(), fw::SB_HORZ, Info));
    const int TextRight = Tree->GetDisplayRect(Top(1), NoColumn, true).Right;
    EXPECT_GT(static_cast<int>(Tree->RangeX()), Tree->ClientWidth());
    EXPECT_GE(static_cast<int>(Tree->RangeX()), TextRight);
    EXPECT_EQ(Info.nMax, static_cast<int>(Tree->RangeX()));
    EXPECT_EQ(static_cast<int>(Info.nPage), Tree->ClientWidth() + 1);
    // A node scrolled into view horizontally comes to the middle of the window.
    Tree->SetFocusedNode(Top(1));
    Tree->SetOffsetX(-(static_cast<int>(Tree->RangeX()) - Tree->ClientWidth()));
    ASSERT_LT(Tree->GetDisplayRect(Top(1), NoColumn, true).Left, 0);
    EXPECT_TRUE(Tree->ScrollIntoView(Top(1), false, true));
    const fw::TRect R = Tree->GetDisplayRect(Top(1), NoColumn, true);
    EXPECT_NEAR((R.Left + R.Right) / 2, Tree->ClientWidth() / 2, 1);
    EXPECT_FALSE(Tree->ScrollIntoView(Top(1), false, false)); // vertically already there
    // The scroll bar's line steps move the offset.
    const int Before = Tree->OffsetX();
    Tree->Perform(fw::WM_HSCROLL, fw::SB_LINEDOWN, 0);
    EXPECT_LT(Tree->OffsetX(), Before);
}

TEST_F(InputTest, MultiLineNodesGrowToTheirWrappedText) {
    Texts[{Top(1), NoColumn}] = u"one two three four five six seven eight nine ten";
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode Node, TLTInternalStates& S) {
        if (Node->Index == 1) S |= ivsMultiline;
    };
    Tree->OnMeasureItem = [this](TBaseLazyTree*, fw::TCanvas* C, PLazyNode Node, int& Height) {
        if (Node->States & vsMultiline) Height = Tree->ComputeNodeHeight(C, Node, NoColumn) + 4;
    };
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toVariableNodeHeight);
    Tree->ReinitNode(nullptr, true);
    fw::ProcessMessages();
    const int Lines = Tree->ComputeNodeHeight(nullptr, Top(1), NoColumn) / Tree->TextHeight();
    EXPECT_GE(Lines, 2); // 48 characters do not fit in 240 - 18 - 8 pixels
    EXPECT_EQ(static_cast<int>(Tree->GetNodeHeight(Top(1))), Lines * Tree->TextHeight() + 4);
    EXPECT_EQ(Tree->GetNodeHeight(Top(0)), Tree->DefaultNodeHeight());
    // A single-line node keeps its height whatever its text.
    EXPECT_EQ(Tree->ComputeNodeHeight(nullptr, Top(2), NoColumn),
              static_cast<int>(Tree->DefaultNodeHeight()));
    // A line break counts as a line.
    Texts[{Top(1), NoColumn}] = u"a\nb\nc";
    EXPECT_EQ(Tree->ComputeNodeHeight(nullptr, Top(1), NoColumn), 3 * Tree->TextHeight());
    // Children of a node that opens as it is made are measured once they are
    // known to be multi-line, not before.
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode Node, TLTInternalStates& S) {
        if (!Parent && Node->Index == 0) S |= ivsHasChildren | ivsExpanded;
        if (Parent) S |= ivsMultiline;
    };
    Texts.clear();
    Tree->OnGetText = [](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string& Text) {
        Text = u"a\nb";
    };
    Tree->SetRootNodeCount(0);
    Tree->SetRootNodeCount(1);
    Picture();
    const PLazyNode Child = Tree->GetFirstChild(Tree->GetFirst());
    ASSERT_TRUE(Child->States & vsMultiline);
    EXPECT_EQ(static_cast<int>(Tree->GetNodeHeight(Child)), 2 * Tree->TextHeight() + 4);
}

TEST_F(InputTest, TheClassLibrarysDragCarriesNodesBetweenTrees) {
    auto* Target = Place<TLazyStringTree>(250, 0, 200, 160);
    Target->SetRootNodeCount(2);
    fw::ProcessMessages();
    Tree->SetDragType(dtVCL);
    Tree->OnDragAllowed = [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = true; };
    std::vector<TDragState> States;
    PLazyNode DroppedOn = nullptr;
    Target->OnDragOver = [&](TBaseLazyTree*, TBaseLazyTree* Source, fw::TShiftState,
                             TDragState State, fw::TPoint, TDropMode, std::uint32_t&,
                             bool& Accept) {
        States.push_back(State);
        Accept = Source == Tree;
    };
    Target->OnDragDrop = [&](TBaseLazyTree* Sender, TBaseLazyTree* Source, TLTDataObject* Data,
                             const TFormatArray&, fw::TShiftState, fw::TPoint, std::uint32_t&,
                             TDropMode) {
        EXPECT_EQ(Source, Tree);
        EXPECT_EQ(Data, nullptr); // no data object in this kind of drag
        DroppedOn = Sender->DropTargetNode();
    };
    int Ended = 0;
    Tree->OnEndDrag = [&](fw::TObject*, fw::TObject* On, int, int) { Ended += On == Target; };
    fw::MouseDownAt(fw::ControlPoint(Tree, 10 + 18, 18 + 9));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 40, 30));
    ASSERT_TRUE(Tree->Dragging());
    fw::MouseMoveTo(fw::ControlPoint(Target, 30, 18 + 9));
    fw::MouseMoveTo(fw::ControlPoint(Target, 31, 18 + 9));
    fw::MouseUpAt(fw::ControlPoint(Target, 31, 18 + 9));
    EXPECT_EQ(States.front(), dsDragEnter);
    EXPECT_EQ(States.back(), dsDragMove);
    EXPECT_EQ(DroppedOn, Target->GetLast());
    EXPECT_EQ(Ended, 1);
    EXPECT_FALSE(Tree->Dragging());
    EXPECT_FALSE(Tree->TreeStates().Contains(tsLeftButtonDown));
}

TEST_F(InputTest, ColumnsAndTheHeaderFollowTheTreesColourFontAndDirection) {
    AddColumns();
    TLazyTreeColumns& C = Tree->Header()->Columns();
    C[1].SetColor(fw::clRed); // its own colour from now on
    Tree->SetColor(fw::clYellow);
    EXPECT_EQ(C[0].Color(), fw::clYellow);
    EXPECT_EQ(C[1].Color(), fw::clRed);
    Tree->Header()->SetParentFont(true);
    Tree->Font().SetSize(14);
    EXPECT_EQ(Tree->Header()->Font().Size(), 14);
    C[2].SetOptions(C[2].Options() & ~coParentBidiMode);
    Tree->SetBiDiMode(bdRightToLeft);
    EXPECT_EQ(C[0].BiDiMode(), bdRightToLeft);
    EXPECT_EQ(C[2].BiDiMode(), bdLeftToRight);
}

} // namespace
} // namespace vel
