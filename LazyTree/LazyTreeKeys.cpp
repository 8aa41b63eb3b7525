// The keyboard: navigation keys with the selection they extend, expand and
// collapse keys, check boxes by the space bar, help, editing, the context
// menu key and the incremental search.
#include "LazyTreeInternal.h"

#include "Forms.h"
#include "Input.h"
#include "ScopeExit.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr fw::TShiftState Modifiers = fw::ssShift | fw::ssCtrl | fw::ssAlt;

bool IsNavigationKey(std::uint16_t Key) {
    switch (Key) {
    case fw::VK_BACK:
    case fw::VK_TAB:
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
    case fw::VK_END:
    case fw::VK_HOME:
    case fw::VK_LEFT:
    case fw::VK_UP:
    case fw::VK_RIGHT:
    case fw::VK_DOWN:
        return true;
    default:
        return false;
    }
}

// The keys that type "*", "+", "-" and "/" act as the numeric pad's.
std::uint16_t PadKeyOf(std::uint16_t Key, fw::TShiftState Shift) {
    constexpr std::uint16_t OemPlus = 0xBB, OemMinus = 0xBD, OemSlash = 0xBF;
    const bool Shifted = (Shift & fw::ssShift) != 0;
    if (Key == OemPlus && Shifted) return fw::VK_ADD;
    if (Key == OemMinus && !Shifted) return fw::VK_SUBTRACT;
    if (Key == OemSlash && !Shifted) return fw::VK_DIVIDE;
    if (Key == '8' && Shifted) return fw::VK_MULTIPLY;
    return Key;
}

} // namespace

void TBaseLazyTree::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    lt::TBusyScope Busy(*this);
    fw::TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    if (!DoKeyAction(Key, Shift) || Key == 0) return;
    if (InState(tsKeyCheckPending) && Key != fw::VK_SPACE) {
        DoStateChange({}, {tsKeyCheckPending});
        if (FCheckNode) {
            FCheckNode->CheckState = ReleasedCheckState(FCheckNode->CheckState);
            InvalidateNode(FCheckNode);
        }
        FCheckNode = nullptr;
    }
    if (IsNavigationKey(Key))
        HandleNavigationKey(Key, Shift);
    else
        HandleOtherKey(PadKeyOf(Key, Shift), Shift);
}

void TBaseLazyTree::HandleNavigationKey(std::uint16_t Key, fw::TShiftState Shift) {
    TNavigation N;
    N.Key = Key;
    N.Shift = Shift;
    N.Mods = Shift & Modifiers;
    N.Ctrl = (Shift & fw::ssCtrl) != 0;
    N.Extend = (Shift & fw::ssShift) && (SelectionOptions() & toMultiSelect) && !InState(tsEditing);
    const bool PageKey =
        Key == fw::VK_PRIOR || Key == fw::VK_NEXT || Key == fw::VK_END || Key == fw::VK_HOME;
    N.RangeSelect = PageKey && N.Extend;
    N.NeedInvalidate = N.RangeSelect || FSelectionCount > 1;
    N.ClearNeeded = N.Mods == 0 || ((MiscOptions() & toGridExtensions) && !(Shift & fw::ssShift)) ||
                    !(SelectionOptions() & toMultiSelect) || Key == fw::VK_BACK ||
                    Key == fw::VK_TAB;
    N.LastFocused = FFocusedNode;
    if (!N.LastFocused && N.Mods != 0) N.LastFocused = GetFirstVisible();
    if (!FRangeAnchor) FRangeAnchor = GetFirstSelected() ? GetFirstSelected() : GetFirst();
    N.Target = FFocusedNode;
    if (!NavigationTarget(N)) return;
    FinishNavigation(N);
}

// The key's own action; false when it is done (scrolling, toggling, nothing to do).
bool TBaseLazyTree::NavigationTarget(TNavigation& N) {
    switch (N.Key) {
    case fw::VK_BACK:
        if (InState(tsIncrementalSearching)) {
            DoStateChange({tsIncrementalSearchPending});
            return false;
        }
        if (FFocusedNode && FFocusedNode->Parent != FRoot) N.Target = FFocusedNode->Parent;
        return true;
    case fw::VK_TAB:
        return NavigateTab(N);
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
        return NavigatePage(N);
    case fw::VK_HOME:
    case fw::VK_END:
        return NavigateHomeEnd(N);
    case fw::VK_LEFT:
    case fw::VK_RIGHT:
        return NavigateSideways(N);
    default:
        return NavigateUpDown(N);
    }
}

bool TBaseLazyTree::NavigateTab(TNavigation& N) {
    if (!(SelectionOptions() & toExtendedFocus) || !HeaderUseColumns() || !FFocusedNode)
        return false;
    TLazyTreeColumns& Columns = Header()->Columns();
    const bool Back = (N.Shift & fw::ssShift) != 0;
    PLazyNode Node = FFocusedNode;
    int Column = FFocusedColumn;
    for (;;) {
        Column = Back ? Columns.GetPreviousVisibleColumn(Column)
                      : Columns.GetNextVisibleColumn(Column);
        if (Column < 0) {
            Node = Back ? GetPreviousVisible(Node) : GetNextVisible(Node);
            if (!Node) return false; // the end of the tree
            Column = Back ? Columns.GetLastVisibleColumn() : Columns.GetFirstVisibleColumn();
        }
        if (DoFocusChanging(FFocusedNode, Node, FFocusedColumn, Column)) break;
    }
    N.Target = Node;
    N.TargetColumn = Column;
    N.SetColumn = true;
    return true;
}

bool TBaseLazyTree::NavigatePage(TNavigation& N) {
    const bool Up = N.Key == fw::VK_PRIOR;
    const int Page = RowAreaHeight();
    if (N.Ctrl) {
        DoSetOffsetXY({FOffsetX, FOffsetY + (Up ? Page : -Page)});
        return false;
    }
    PLazyNode Node = FFocusedNode ? FFocusedNode : (Up ? GetFirstVisible() : GetLastVisible());
    int Sum = 0;
    while (Node) {
        PLazyNode Step = Up ? GetPreviousVisible(Node) : GetNextVisible(Node);
        if (!Step) break;
        Sum += static_cast<int>(GetNodeHeight(Step));
        if (Sum >= Page) break;
        Node = Step;
    }
    N.Target = Node;
    return true;
}

bool TBaseLazyTree::NavigateHomeEnd(TNavigation& N) {
    const bool Home = N.Key == fw::VK_HOME;
    PLazyNode Target = Home ? GetFirstVisible() : GetLastVisible();
    int Column = NoColumn;
    if (HeaderUseColumns()) {
        TLazyTreeColumns& Columns = Header()->Columns();
        Column = Home ? Columns.GetFirstVisibleColumn() : Columns.GetLastVisibleColumn();
        while (Column >= 0 && !DoFocusChanging(FFocusedNode, Target, FFocusedColumn, Column))
            Column = Home ? Columns.GetNextVisibleColumn(Column)
                          : Columns.GetPreviousVisibleColumn(Column);
        if (Column < 0) return false;
    }
    const bool GridExt = (MiscOptions() & toGridExtensions) != 0;
    if (N.Mods == fw::ssCtrl && !GridExt) {
        if (Target)
            ScrollIntoView(Target, (SelectionOptions() & toCenterScrollIntoView) != 0,
                           !(AutoOptions() & toDisableAutoscrollOnFocus));
        DoSetOffsetXY({Home ? 0 : -0x7FFFFFF, FOffsetY});
        return false;
    }
    if (!GridExt || N.Ctrl) N.Target = Target;
    if (GridExt && !(SelectionOptions() & toFullRowSelect) && Column >= 0) {
        N.TargetColumn = Column;
        N.SetColumn = true;
    }
    return true;
}

bool TBaseLazyTree::NavigateSideways(TNavigation& N) {
    const bool Left = N.Key == fw::VK_LEFT;
    if (N.Ctrl) {
        DoSetOffsetXY({FOffsetX + (Left ? 1 : -1) * static_cast<int>(FIndent), FOffsetY});
        return false;
    }
    if ((SelectionOptions() & toExtendedFocus) && (MiscOptions() & toGridExtensions)) {
        if (!HeaderUseColumns()) return false;
        TLazyTreeColumns& Columns = Header()->Columns();
        const int Column = Left ? Columns.GetPreviousVisibleColumn(FFocusedColumn)
                                : Columns.GetNextVisibleColumn(FFocusedColumn);
        if (Column < 0) return false;
        N.TargetColumn = Column;
        N.SetColumn = true;
        return true;
    }
    PLazyNode F = FFocusedNode;
    const TLazyNodeStates Open = vsExpanded | vsHasChildren;
    if (F && N.Mods == 0 && (F->States & vsHasChildren) &&
        ((F->States & Open) == Open) == Left) {
        ToggleNode(F);
        return false;
    }
    if (!F) {
        N.Target = GetFirstVisible();
        return true;
    }
    if (Left) {
        if (F->Parent == FRoot) return false;
        N.Target = F->Parent;
        if (N.Extend && F->Index > 0)
            N.RangeSelect = true;
        else if (N.Extend && FRangeAnchor && CompareNodePositions(N.Target, FRangeAnchor) > 0)
            RemoveFromSelection(F);
        return true;
    }
    PLazyNode Child = GetFirstVisibleChild(F);
    if (!Child) return false;
    if (N.Extend && FRangeAnchor && CompareNodePositions(Child, FRangeAnchor) < 0)
        RemoveFromSelection(F);
    N.Target = Child;
    return true;
}

bool TBaseLazyTree::NavigateUpDown(TNavigation& N) {
    const bool Up = N.Key == fw::VK_UP;
    if (N.Ctrl) {
        const int Step = static_cast<int>(FDefaultNodeHeight);
        DoSetOffsetXY({FOffsetX, FOffsetY + (Up ? Step : -Step)});
        return false;
    }
    PLazyNode Next = FFocusedNode
                         ? (Up ? GetPreviousVisible(FFocusedNode) : GetNextVisible(FFocusedNode))
                         : (Up ? GetLastVisible() : GetFirstVisible());
    if (!Next) {
        InvalidateNode(FFocusedNode);
        return false;
    }
    EndEditNode();
    if (N.Extend && FRangeAnchor && N.LastFocused) {
        const int Side = CompareNodePositions(N.LastFocused, FRangeAnchor);
        // With no node focused (the first shown one stood in) none leaves.
        if (((Up && Side > 0) || (!Up && Side < 0)) && FFocusedNode)
            RemoveFromSelection(FFocusedNode);
    }
    if (FFocusedColumn < 0) FFocusedColumn = HeaderMainColumn();
    N.Target = Next;
    return true;
}

void TBaseLazyTree::FinishNavigation(TNavigation& N) {
    const bool FocusChanged = N.Target != FFocusedNode;
    if (N.SetColumn)
        SetFocusedNodeAndColumn(N.Target ? N.Target : FFocusedNode, N.TargetColumn);
    else if (FocusChanged && N.Target)
        SetFocusedNode(N.Target);
    bool Cleared = false;
    if (N.ClearNeeded && (FocusChanged || FSelectionCount != 1)) {
        ClearSelection();
        Cleared = true;
    }
    if (N.Mods == 0 && FFocusedNode) {
        FRangeAnchor = FFocusedNode;
        FLastSelectionLevel = static_cast<int>(GetNodeLevel(FFocusedNode));
    }
    if (N.RangeSelect && FRangeAnchor && FFocusedNode)
        ToggleSelectionRange(FRangeAnchor, FFocusedNode);
    if (FFocusedNode && (FocusChanged || Cleared) && !(FFocusedNode->States & vsSelected))
        AddToSelection(FFocusedNode);
    if (N.NeedInvalidate) Invalidate();
}

void TBaseLazyTree::HandleOtherKey(std::uint16_t Key, fw::TShiftState Shift) {
    const fw::TShiftState Mods = Shift & Modifiers;
    const bool Ctrl = (Shift & fw::ssCtrl) != 0;
    const bool Searching = InState(tsIncrementalSearching);
    auto CharacterPath = [this] { DoStateChange({tsIncrementalSearchPending}); };
    switch (Key) {
    case fw::VK_MULTIPLY:
    case fw::VK_ADD:
    case fw::VK_SUBTRACT:
    case fw::VK_DIVIDE:
        if (Searching)
            CharacterPath();
        else
            HandleExpandKey(Key, Shift);
        return;
    case fw::VK_F1:
        ShowHelpOfFocusedNode();
        return;
    case fw::VK_F2:
        if (Mods == 0 && FFocusedNode && CanEdit(FFocusedNode, FFocusedColumn)) {
            FEditColumn = FFocusedColumn;
            DoEdit();
        }
        return;
    case fw::VK_ESCAPE:
        if (InState(tsDrawSelPending) || InState(tsDrawSelecting)) {
            DoStateChange({}, {tsDrawSelPending, tsDrawSelecting});
            Invalidate();
        } else if (InState(tsEditing)) {
            DoCancelEdit();
        }
        return;
    case fw::VK_SPACE:
        if ((MiscOptions() & toCheckSupport) && FFocusedNode &&
            FFocusedNode->CheckType != TCheckType::ctNone)
            PressCheckBox(FFocusedNode, true);
        else
            CharacterPath();
        return;
    case 65:
    case 97:
        if (Ctrl)
            SelectAll(true);
        else
            CharacterPath();
        return;
    case fw::VK_APPS:
        PopupAtFocusedNode();
        return;
    default:
        if (Key > 31 && !(Shift & (fw::ssCtrl | fw::ssAlt))) CharacterPath();
        return;
    }
}

void TBaseLazyTree::HandleExpandKey(std::uint16_t Key, fw::TShiftState Shift) {
    const bool Ctrl = (Shift & fw::ssCtrl) != 0;
    const bool CtrlShift = Ctrl && (Shift & fw::ssShift);
    PLazyNode F = FFocusedNode;
    switch (Key) {
    case fw::VK_MULTIPLY:
        if (F) FullExpand(F);
        break;
    case fw::VK_DIVIDE:
        if (F) FullCollapse(F);
        break;
    case fw::VK_ADD:
        if (CtrlShift)
            FullExpand();
        else if (Ctrl && Header())
            Header()->AutoFitColumns(true);
        else if (F && !(F->States & vsExpanded))
            ToggleNode(F);
        break;
    default:
        if (CtrlShift)
            FullCollapse();
        else if (Ctrl && Header())
            Header()->RestoreColumns();
        else if (F && (F->States & vsExpanded))
            ToggleNode(F);
        break;
    }
}

void TBaseLazyTree::ShowHelpOfFocusedNode() {
    int Context = 0;
    {
        lt::TBusyScope Busy(*this); // the walk up holds the nodes the handler is given
        for (PLazyNode Run = FFocusedNode; Run && Run != FRoot && Context == 0 && OnGetHelpContext;) {
            PLazyNode Up = lt::UpFrom(Run);
            lt::Fire(*this, OnGetHelpContext, this, Run, FFocusedColumn, Context);
            Run = Up;
        }
    }
    for (fw::TControl* C = this; C && Context == 0; C = C->Parent())
        Context = C->HelpContext();
    if (Context != 0) fw::Application()->HelpContext(Context);
}

void TBaseLazyTree::PopupAtFocusedNode() {
    if (!FFocusedNode) return;
    const fw::TRect R = GetDisplayRect(FFocusedNode, FFocusedColumn, true, true);
    int Width = R.Width();
    if (HeaderUseColumns() && Header()->Columns().IsValidColumn(FFocusedColumn))
        Width = std::min(Width, Header()->Columns()[FFocusedColumn].Width());
    else
        Width = std::min(Width, ClientWidth());
    DoPopupMenu(FFocusedNode, FFocusedColumn, {R.Left + Width / 2, (R.Top + R.Bottom) / 2});
}

void TBaseLazyTree::KeyPress(char& Key) {
    lt::TBusyScope Busy(*this);
    if (InState(tsIncrementalSearchPending)) {
        fw::TScopeExit EndPending([this] { DoStateChange({}, {tsIncrementalSearchPending}); });
        HandleIncrementalSearch(static_cast<char16_t>(static_cast<unsigned char>(Key)));
        EndPending.Leave();
    }
    fw::TCustomControl::KeyPress(Key);
}

void TBaseLazyTree::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    lt::TBusyScope Busy(*this);
    fw::TCustomControl::KeyUp(Key, Shift);
    if (Key != fw::VK_SPACE || !InState(tsKeyCheckPending)) return;
    DoStateChange({}, {tsKeyCheckPending});
    PLazyNode Node = FCheckNode;
    FCheckNode = nullptr;
    if (!Node) return;
    Node->CheckState = ReleasedCheckState(Node->CheckState);
    if (Node == FFocusedNode) DoCheckClick(Node, FPendingCheckState);
    InvalidateNode(Node);
}

// --- incremental search -----------------------------------------------------------------------

void TBaseLazyTree::HandleIncrementalSearch(char16_t CharCode) {
    lt::TBusyScope Busy(*this);
    StopTimer(SearchTimer);
    if (FIncrementalSearch == TLTIncrementalSearch::isNone || CharCode == 0) return;
    DoStateChange({tsIncrementalSearching});
    if (CharCode == 8) {
        if (FSearchBuffer.size() <= 1) return;
        FSearchBuffer.pop_back();
    } else {
        FSearchBuffer.push_back(CharCode);
    }
    PLazyNode Found = FindIncrementalMatch();
    if (Found) {
        ClearSelection();
        SetFocusedNode(Found);
        AddToSelection(Found);
        FLastSearchNode = Found;
    } else {
        fw::MessageBeep();
    }
    if (HandleAllocated()) fw::SetTimer(Handle(), SearchTimer, FIncrementalSearchTimeout);
}

PLazyNode TBaseLazyTree::FindIncrementalMatch() {
    const TLTIncrementalSearch Kind = FIncrementalSearch;
    auto Usable = [&](PLazyNode N) {
        if (!N) return false;
        if (Kind == TLTIncrementalSearch::isInitializedOnly) return (N->States & vsInitialized) != 0;
        if (Kind == TLTIncrementalSearch::isVisibleOnly) return FullyVisible(N);
        return true;
    };
    const bool Forward = FIncrementalSearchDirection == TLTSearchDirection::sdForward;
    auto Step = [&](PLazyNode N) -> PLazyNode {
        switch (Kind) {
        case TLTIncrementalSearch::isVisibleOnly:
            return Forward ? GetNextVisible(N) : GetPreviousVisible(N);
        case TLTIncrementalSearch::isInitializedOnly:
            return Forward ? GetNextNoInit(N) : GetPreviousNoInit(N);
        default:
            return Forward ? GetNext(N) : GetPrevious(N);
        }
    };
    auto First = [&]() -> PLazyNode {
        if (Kind == TLTIncrementalSearch::isVisibleOnly)
            return Forward ? GetFirstVisible() : GetLastVisible();
        return Forward ? GetFirst() : GetLast();
    };
    PLazyNode Start = nullptr;
    if (FIncrementalSearchStart == TLTSearchStart::ssFocusedNode)
        Start = FFocusedNode;
    else if (FIncrementalSearchStart == TLTSearchStart::ssLastHit)
        Start = FLastSearchNode;
    if (!Usable(Start)) Start = First();
    PLazyNode Run = Start;
    // Wraps around once; every node is asked at most once.
    for (std::uint32_t Asked = 0; Run && Asked <= TotalCount(); ++Asked) {
        if (Usable(Run) && DoIncrementalSearch(Run, FSearchBuffer) == 0) return Run;
        Run = Step(Run);
        if (!Run) Run = First();
        if (Run == Start) break;
    }
    return nullptr;
}

} // namespace vel
