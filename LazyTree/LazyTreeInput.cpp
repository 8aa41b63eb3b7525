// Keyboard and mouse: navigation keys, clicks, expand buttons, selection,
// delayed edit start and wheel scrolling.
#include "Input.h"
#include "LazyStringTree.h"
#include "ScopeExit.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int WheelScrollLines = 3;
// Ends the incremental search after its time-out.
constexpr std::uintptr_t SearchTimer = 7;

void StopTimer(TBaseLazyTree& Tree, std::uintptr_t Id) {
    if (Tree.HandleAllocated()) fw::KillTimer(Tree.Handle(), Id);
}

TCheckState Pressed(TCheckState S) {
    switch (S) {
    case csUncheckedNormal:
    case csUncheckedPressed:
        return csUncheckedPressed;
    case csCheckedNormal:
    case csCheckedPressed:
        return csCheckedPressed;
    default:
        return csMixedPressed;
    }
}

TCheckState Released(TCheckState S) {
    switch (S) {
    case csUncheckedNormal:
    case csUncheckedPressed:
        return csUncheckedNormal;
    case csCheckedNormal:
    case csCheckedPressed:
        return csCheckedNormal;
    default:
        return csMixedNormal;
    }
}

} // namespace

// --- hit testing -------------------------------------------------------------------

void TBaseLazyTree::DetermineHitPositionLTR(THitInfo& HitInfo, int X, int Right,
                                            TAlignment Alignment) {
    PLazyNode Node = HitInfo.HitNode;
    const bool IsMain = HitInfo.HitColumn == HeaderMainColumn();
    int Indent = 0;
    if (IsMain) {
        Indent = static_cast<int>(GetNodeLevel(Node) + ((PaintOptions() & toShowRoot) ? 1 : 0)) *
                 static_cast<int>(FIndent);
        if (X < Indent) {
            if ((PaintOptions() & toShowButtons) && (Node->States & vsHasChildren) &&
                X >= Indent - static_cast<int>(FIndent))
                HitInfo.HitPositions |= hpOnItemButton;
            else
                HitInfo.HitPositions |= hpOnItemIndent;
            return;
        }
    } else if (MiscOptions() & toReportMode) {
        return;
    }
    const int Start = Indent + FMargin;
    const int Width = DoGetNodeWidth(Node, HitInfo.HitColumn) + 2 * FTextMargin;
    int TextLeft = Start;
    if (Alignment == taRightJustify)
        TextLeft = Right - Width;
    else if (Alignment == taCenter)
        TextLeft = Start + (Right - Start - Width) / 2;
    if (X < TextLeft)
        HitInfo.HitPositions |= hpOnItemLeft;
    else if (X >= TextLeft + Width)
        HitInfo.HitPositions |= hpOnItemRight;
    else
        HitInfo.HitPositions |= hpOnItemLabel;
}

void TBaseLazyTree::GetViewHitTestInfoAt(int X, int Y, THitInfo& HitInfo) {
    GetHitTestInfoAt(X, Y, true, HitInfo);
    if (!HitInfo.HitNode) return;
    int CellLeft = 0, CellRight = std::max(ClientWidth(), static_cast<int>(FRangeX));
    TAlignment Alignment = taLeftJustify;
    const int ContentX = X - FOffsetX;
    if (HeaderUseColumns()) {
        int L = 0, R = 0;
        HitInfo.HitColumn = Header()->Columns().GetColumnAndBounds({X, 0}, L, R);
        if (HitInfo.HitColumn < 0) {
            HitInfo.HitColumn = InvalidColumn;
            return;
        }
        CellLeft = L - FOffsetX;
        CellRight = R - FOffsetX;
        Alignment = Header()->Columns()[HitInfo.HitColumn].Alignment();
    } else {
        HitInfo.HitColumn = NoColumn;
    }
    DetermineHitPositionLTR(HitInfo, ContentX - CellLeft, CellRight - CellLeft, Alignment);
}

// --- mouse -------------------------------------------------------------------------

void TBaseLazyTree::HandleMouseDown(fw::TMouseButton Button, fw::TShiftState Shift,
                                    const THitInfo& HitInfo) {
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        StopWheelPanning();
        return;
    }
    StopTimer(*this, EditTimer);
    DoStateChange({}, {tsEditPending});
    if (InState(tsEditing) && !DoEndEdit()) return;
    if (CanFocus() && !Focused()) SetFocus();
    if (Header()) Header()->Columns().ClickIndex = HitInfo.HitColumn;
    PLazyNode Node = HitInfo.HitNode;
    const THitPositions P = HitInfo.HitPositions;
    const bool LabelHit = (P & (hpOnItemLabel | hpOnNormalIcon)) != 0;
    const bool FullRow =
        (SelectionOptions() & toFullRowSelect) || (MiscOptions() & toGridExtensions);
    const bool CellHit = Node && !LabelHit && !(P & (hpOnItemButton | hpOnItemCheckbox)) && FullRow;
    const bool MultiSelect = (SelectionOptions() & toMultiSelect) != 0;
    const fw::TShiftState Keys = Shift & (fw::ssShift | fw::ssCtrl);

    int NewColumn = FFocusedColumn;
    if (LabelHit || FullRow)
        NewColumn = (SelectionOptions() & toExtendedFocus) ? HitInfo.HitColumn : HeaderMainColumn();
    const bool ColumnChanged = NewColumn != FFocusedColumn;

    if (Node && (P & hpOnItemButton) && (Node->States & vsHasChildren)) {
        ToggleNode(Node);
        return;
    }
    if (Node && (P & hpOnItemCheckbox)) {
        if (InState(tsKeyCheckPending) || InState(tsMouseCheckPending) ||
            (Node->States & vsDisabled))
            return;
        TCheckState Next = DetermineNextCheckState(Node->CheckType, Node->CheckState);
        if (DoChecking(Node, Next)) {
            DoStateChange({tsMouseCheckPending});
            FCheckNode = Node;
            FPendingCheckState = Next;
            Node->CheckState = Pressed(Node->CheckState);
            InvalidateNode(Node);
        }
        return;
    }
    const bool WasSelected = Node && (Node->States & vsSelected);
    if (Node && (LabelHit || CellHit) && Keys == 0 && !(WasSelected && Button == fw::mbRight)) {
        if (!WasSelected)
            ClearSelection();
        else if (FSelectionCount > 1 && InState(tsOLEDragPending))
            DoStateChange({tsClearPending}); // the others go on release, unless a drag starts
        else if (FSelectionCount > 1) {
            ClearSelection();
            AddToSelection(Node);
        }
    } else if (MultiSelect && Keys == 0 && !LabelHit && !CellHit &&
               !(MiscOptions() & toFullRowDrag)) {
        // A plain press beside the labels starts over (a band may follow).
        ClearSelection();
    }
    if (Focused() && Keys == 0 && Node && WasSelected && Node == FFocusedNode && !ColumnChanged &&
        (LabelHit || ((MiscOptions() & toGridExtensions) && (P & hpOnItem))))
        DoStateChange({tsEditPending});
    FLastClickPos = ScreenToClient(fw::GetCursorPos());
    if (!(SelectionOptions() & toDisableDrawSelection) && !LabelHit &&
        !(MiscOptions() & toFullRowDrag) && MultiSelect) {
        SetMouseCapture(true);
        DoStateChange({tsDrawSelPending});
        FDrawSelShiftState = Keys;
        SetDrawSelectionStart(
            {FLastClickPos.X - FOffsetX, FLastClickPos.Y - FOffsetY - RowAreaTop()});
        if (!CellHit) return;
    }
    if (Node && (LabelHit || CellHit)) {
        if (DoFocusChanging(FFocusedNode, Node, FFocusedColumn, NewColumn)) {
            PLazyNode LastFocused = FFocusedNode;
            SetFocusedNodeAndColumn(Node, NewColumn);
            if (Keys == 0 || !MultiSelect) {
                FRangeAnchor = Node;
                if (!(Node->States & vsSelected)) AddToSelection(Node);
            } else if (Keys == (fw::ssShift | fw::ssCtrl)) {
                AddRangeToSelection(FRangeAnchor ? FRangeAnchor : Node, Node, true);
                Invalidate();
            } else if (Keys == fw::ssCtrl) {
                if (!(SelectionOptions() & toSiblingSelectConstraint)) FRangeAnchor = Node;
                if (Node->States & vsSelected)
                    RemoveFromSelection(Node);
                else
                    AddToSelection(Node);
            } else {
                // Clearing forgets the anchor; the range starts from it all the same.
                PLazyNode Anchor = FRangeAnchor ? FRangeAnchor : GetFirstNoInit();
                ClearSelection();
                FRangeAnchor = Anchor;
                AddRangeToSelection(Anchor, Node, true);
                Invalidate();
            }
            (void)LastFocused;
        }
    }
}

void TBaseLazyTree::HandleMouseUp(fw::TMouseButton, fw::TShiftState, const THitInfo& HitInfo) {
    SetMouseCapture(false);
    if (InState(tsDrawSelPending) || InState(tsDrawSelecting)) {
        DoStateChange({}, {tsDrawSelPending, tsDrawSelecting});
        Invalidate();
    }
    DoStateChange({}, {tsLeftButtonDown, tsRightButtonDown, tsMiddleButtonDown, tsScrolling,
                       tsScrollPending});
    StopTimer(*this, ScrollTimer);
    if (InState(tsMouseCheckPending)) {
        DoStateChange({}, {tsMouseCheckPending});
        if (FCheckNode) {
            if (HitInfo.HitNode == FCheckNode && (HitInfo.HitPositions & hpOnItem)) {
                FCheckNode->CheckState = Released(FCheckNode->CheckState);
                DoCheckClick(FCheckNode, FPendingCheckState);
            } else {
                FCheckNode->CheckState = Released(FCheckNode->CheckState);
            }
            InvalidateNode(FCheckNode);
        }
        FCheckNode = nullptr;
    }
    if (InState(tsEditPending)) {
        if (HitInfo.HitNode && HitInfo.HitNode == FFocusedNode &&
            CanEdit(FFocusedNode, HitInfo.HitColumn)) {
            FEditColumn = FFocusedColumn;
            if (HandleAllocated()) fw::SetTimer(Handle(), EditTimer, FEditDelay);
        } else {
            DoStateChange({}, {tsEditPending});
        }
    }
}

void TBaseLazyTree::HandleMouseDblClick(fw::TMouseButton, fw::TShiftState,
                                        const THitInfo& HitInfo) {
    StopTimer(*this, EditTimer);
    DoStateChange({}, {tsEditPending});
    if (InState(tsEditing) && !DoEndEdit()) return;
    PLazyNode Node = HitInfo.HitNode;
    if (!Node) return;
    const THitPositions P = HitInfo.HitPositions;
    if (P & hpOnItemButton) {
        ToggleNode(Node);
        return;
    }
    if ((MiscOptions() & toToggleOnDblClick) &&
        ((P & (hpOnItemLabel | hpOnNormalIcon | hpOnStateIcon)) ||
         (SelectionOptions() & toFullRowSelect)) &&
        (Node->States & vsHasChildren))
        ToggleNode(Node);
}

// --- keyboard ------------------------------------------------------------------------

void TBaseLazyTree::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    fw::TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    if (InState(tsKeyCheckPending) && Key != fw::VK_SPACE) {
        DoStateChange({}, {tsKeyCheckPending});
        if (FCheckNode) {
            FCheckNode->CheckState = Released(FCheckNode->CheckState);
            InvalidateNode(FCheckNode);
        }
        FCheckNode = nullptr;
    }
    const bool Ctrl = (Shift & fw::ssCtrl) != 0;
    const fw::TShiftState Mods = Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt);
    const int PageHeight = RowAreaHeight();
    switch (Key) {
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
    case fw::VK_END:
    case fw::VK_HOME:
    case fw::VK_LEFT:
    case fw::VK_UP:
    case fw::VK_RIGHT:
    case fw::VK_DOWN:
    case fw::VK_BACK: {
        const bool Extend =
            (Shift & fw::ssShift) && (SelectionOptions() & toMultiSelect) && !InState(tsEditing);
        const bool RangeKey =
            Key == fw::VK_PRIOR || Key == fw::VK_NEXT || Key == fw::VK_END || Key == fw::VK_HOME;
        bool RangeSelect = RangeKey && Extend;
        const bool NeedInvalidate = RangeSelect || FSelectionCount > 1;
        const bool ClearNeeded = Mods == 0 ||
                                 ((MiscOptions() & toGridExtensions) && !(Shift & fw::ssShift)) ||
                                 !(SelectionOptions() & toMultiSelect) || Key == fw::VK_BACK;
        PLazyNode LastFocused = FFocusedNode;
        if (!LastFocused && Mods != 0) LastFocused = GetFirstVisible();
        if (!FRangeAnchor) FRangeAnchor = GetFirstSelected() ? GetFirstSelected() : GetFirst();
        PLazyNode Node = FFocusedNode;
        switch (Key) {
        case fw::VK_BACK:
            if (FFocusedNode && FFocusedNode->Parent != FRoot) Node = FFocusedNode->Parent;
            break;
        case fw::VK_PRIOR:
        case fw::VK_NEXT: {
            const bool Up = Key == fw::VK_PRIOR;
            if (Ctrl) {
                SetOffsetY(FOffsetY + (Up ? PageHeight : -PageHeight));
                return;
            }
            Node = FFocusedNode ? FFocusedNode : (Up ? GetFirstVisible() : GetLastVisible());
            int Sum = 0;
            while (Node) {
                PLazyNode Step = Up ? GetPreviousVisible(Node) : GetNextVisible(Node);
                if (!Step) break;
                Sum += static_cast<int>(GetNodeHeight(Step));
                if (Sum >= PageHeight) break;
                Node = Step;
            }
            break;
        }
        case fw::VK_HOME:
        case fw::VK_END: {
            const bool Home = Key == fw::VK_HOME;
            PLazyNode TargetNode = Home ? GetFirstVisible() : GetLastVisible();
            if (Mods == fw::ssCtrl && !(MiscOptions() & toGridExtensions)) {
                if (TargetNode)
                    ScrollIntoView(TargetNode, (SelectionOptions() & toCenterScrollIntoView) != 0);
                SetOffsetX(Home ? 0 : -0x7FFFFFF);
                return;
            }
            Node = TargetNode;
            break;
        }
        case fw::VK_LEFT:
            if (Ctrl) {
                SetOffsetX(FOffsetX + static_cast<int>(FIndent));
                return;
            }
            if (FFocusedNode && (FFocusedNode->States & vsExpanded) &&
                (FFocusedNode->States & vsHasChildren) && Mods == 0) {
                ToggleNode(FFocusedNode);
                return;
            }
            if (!FFocusedNode)
                Node = GetFirstVisible();
            else if (FFocusedNode->Parent != FRoot) {
                Node = FFocusedNode->Parent;
                if (Extend && FFocusedNode->Index > 0)
                    RangeSelect = true;
                else if (Extend && FRangeAnchor && CompareNodePositions(Node, FRangeAnchor) > 0)
                    RemoveFromSelection(FFocusedNode);
            }
            break;
        case fw::VK_RIGHT:
            if (Ctrl) {
                SetOffsetX(FOffsetX - static_cast<int>(FIndent));
                return;
            }
            if (FFocusedNode && !(FFocusedNode->States & vsExpanded) &&
                (FFocusedNode->States & vsHasChildren) && Mods == 0) {
                ToggleNode(FFocusedNode);
                return;
            }
            if (!FFocusedNode)
                Node = GetFirstVisible();
            else if (PLazyNode Child = GetFirstVisibleChild(FFocusedNode)) {
                if (Extend && FRangeAnchor && CompareNodePositions(Child, FRangeAnchor) < 0)
                    RemoveFromSelection(FFocusedNode);
                Node = Child;
            }
            break;
        case fw::VK_UP:
        case fw::VK_DOWN: {
            const bool Up = Key == fw::VK_UP;
            if (Ctrl) {
                const int Step = static_cast<int>(FDefaultNodeHeight);
                SetOffsetY(FOffsetY + (Up ? Step : -Step));
                return;
            }
            PLazyNode Next = FFocusedNode ? (Up ? GetPreviousVisible(FFocusedNode)
                                                : GetNextVisible(FFocusedNode))
                                          : (Up ? GetLastVisible() : GetFirstVisible());
            if (!Next) {
                InvalidateNode(FFocusedNode);
                break;
            }
            EndEditNode();
            if (Extend && FRangeAnchor && LastFocused) {
                const int Side = CompareNodePositions(LastFocused, FRangeAnchor);
                if ((Up && Side > 0) || (!Up && Side < 0)) RemoveFromSelection(FFocusedNode);
            }
            if (FFocusedColumn < 0) FFocusedColumn = HeaderMainColumn();
            Node = Next;
            break;
        }
        default:
            break;
        }
        const bool FocusChanged = Node != FFocusedNode;
        if (FocusChanged && Node) SetFocusedNode(Node);
        bool Cleared = false;
        if (ClearNeeded && (FocusChanged || FSelectionCount != 1)) {
            ClearSelection();
            Cleared = true;
        }
        if (Mods == 0 && FFocusedNode) FRangeAnchor = FFocusedNode;
        if (RangeSelect && FRangeAnchor && FFocusedNode)
            ToggleSelectionRange(FRangeAnchor, FFocusedNode);
        if (FFocusedNode && (FocusChanged || Cleared) && !(FFocusedNode->States & vsSelected))
            AddToSelection(FFocusedNode);
        if (NeedInvalidate) Invalidate();
        return;
    }
    default:
        break;
    }
    switch (Key) {
    case fw::VK_ADD:
        if (Ctrl && (Shift & fw::ssShift))
            FullExpand();
        else if (Ctrl && Header())
            Header()->AutoFitColumns(true);
        else if (FFocusedNode && !(FFocusedNode->States & vsExpanded))
            ToggleNode(FFocusedNode);
        break;
    case fw::VK_SUBTRACT:
        if (Ctrl && (Shift & fw::ssShift))
            FullCollapse();
        else if (Ctrl && Header())
            Header()->RestoreColumns();
        else if (FFocusedNode && (FFocusedNode->States & vsExpanded))
            ToggleNode(FFocusedNode);
        break;
    case fw::VK_MULTIPLY:
        if (FFocusedNode) FullExpand(FFocusedNode);
        break;
    case fw::VK_DIVIDE:
        if (FFocusedNode) FullCollapse(FFocusedNode);
        break;
    case fw::VK_F2:
        if (Mods == 0 && FFocusedNode && CanEdit(FFocusedNode, FFocusedColumn)) {
            FEditColumn = FFocusedColumn;
            DoEdit();
        }
        break;
    case fw::VK_ESCAPE:
        if (InState(tsDrawSelPending) || InState(tsDrawSelecting)) {
            DoStateChange({}, {tsDrawSelPending, tsDrawSelecting});
            Invalidate();
        } else if (InState(tsEditing)) {
            DoCancelEdit();
        }
        break;
    case fw::VK_SPACE:
        if ((MiscOptions() & toCheckSupport) && FFocusedNode &&
            FFocusedNode->CheckType != TCheckType::ctNone && !InState(tsKeyCheckPending) &&
            !InState(tsMouseCheckPending) && !(FFocusedNode->States & vsDisabled)) {
            TCheckState Next =
                DetermineNextCheckState(FFocusedNode->CheckType, FFocusedNode->CheckState);
            if (DoChecking(FFocusedNode, Next)) {
                DoStateChange({tsKeyCheckPending});
                FCheckNode = FFocusedNode;
                FPendingCheckState = Next;
                FFocusedNode->CheckState = Pressed(FFocusedNode->CheckState);
                InvalidateNode(FFocusedNode);
            }
        }
        break;
    case 'A':
        if (Ctrl)
            SelectAll(true);
        else
            DoStateChange({tsIncrementalSearchPending});
        break;
    default:
        // Anything else that types a character feeds the incremental search.
        if (Key > 31 && !(Shift & (fw::ssCtrl | fw::ssAlt)))
            DoStateChange({tsIncrementalSearchPending});
        break;
    }
}

void TBaseLazyTree::KeyPress(char& Key) {
    if (InState(tsIncrementalSearchPending)) {
        fw::TScopeExit EndPending([this] { DoStateChange({}, {tsIncrementalSearchPending}); });
        HandleIncrementalSearch(static_cast<char16_t>(static_cast<unsigned char>(Key)));
        EndPending.Leave();
    }
    fw::TCustomControl::KeyPress(Key);
}

void TBaseLazyTree::HandleIncrementalSearch(char16_t CharCode) {
    StopTimer(*this, SearchTimer);
    if (IncrementalSearch == TLTIncrementalSearch::isNone || CharCode == 0) return;
    DoStateChange({tsIncrementalSearching});
    if (CharCode == 8) {
        if (FSearchBuffer.size() <= 1) return;
        FSearchBuffer.pop_back();
    } else {
        FSearchBuffer.push_back(CharCode);
    }
    auto Usable = [this](PLazyNode N) {
        if (!N) return false;
        if (IncrementalSearch == TLTIncrementalSearch::isInitializedOnly)
            return (N->States & vsInitialized) != 0;
        if (IncrementalSearch == TLTIncrementalSearch::isVisibleOnly) return FullyVisible(N);
        return true;
    };
    const bool Forward = IncrementalSearchDirection == TLTSearchDirection::sdForward;
    auto Step = [&](PLazyNode N) -> PLazyNode {
        switch (IncrementalSearch) {
        case TLTIncrementalSearch::isVisibleOnly:
            return Forward ? GetNextVisible(N) : GetPreviousVisible(N);
        case TLTIncrementalSearch::isInitializedOnly:
            return Forward ? GetNextNoInit(N) : GetPreviousNoInit(N);
        default:
            return Forward ? GetNext(N) : GetPrevious(N);
        }
    };
    auto First = [&]() -> PLazyNode {
        if (IncrementalSearch == TLTIncrementalSearch::isVisibleOnly)
            return Forward ? GetFirstVisible() : GetLastVisible();
        return Forward ? GetFirst() : GetLast();
    };
    PLazyNode Start = nullptr;
    if (IncrementalSearchStart == TLTSearchStart::ssFocusedNode)
        Start = FFocusedNode;
    else if (IncrementalSearchStart == TLTSearchStart::ssLastHit)
        Start = FLastSearchNode;
    if (!Usable(Start)) Start = First();
    PLazyNode Found = nullptr;
    PLazyNode Run = Start;
    // Wraps around once; every node is asked at most once.
    for (std::uint32_t Asked = 0; Run && Asked <= TotalCount(); ++Asked) {
        if (Usable(Run) && DoIncrementalSearch(Run, FSearchBuffer) == 0) {
            Found = Run;
            break;
        }
        Run = Step(Run);
        if (!Run) Run = First();
        if (Run == Start) break;
    }
    if (Found) {
        ClearSelection();
        SetFocusedNode(Found);
        AddToSelection(Found);
        FLastSearchNode = Found;
    }
    if (HandleAllocated()) fw::SetTimer(Handle(), SearchTimer, IncrementalSearchTimeout);
}

void TBaseLazyTree::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    fw::TCustomControl::KeyUp(Key, Shift);
    if (Key == fw::VK_SPACE && InState(tsKeyCheckPending)) {
        DoStateChange({}, {tsKeyCheckPending});
        if (FCheckNode) {
            FCheckNode->CheckState = Released(FCheckNode->CheckState);
            if (FCheckNode == FFocusedNode) DoCheckClick(FCheckNode, FPendingCheckState);
            InvalidateNode(FCheckNode);
        }
        FCheckNode = nullptr;
    }
}

// --- window messages ---------------------------------------------------------------------

void TBaseLazyTree::WndProc(fw::TMessage& Message) {
    if (Header() && Header()->HandleMessage(Message)) return;
    if (HandleDragMessage(Message)) return;
    const bool HeaderBusy = Header() && Header()->States != 0;
    auto Hit = [&](THitInfo& Info) {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        GetViewHitTestInfoAt(P.X, P.Y, Info);
    };
    const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam & 0xFFFF);
    THitInfo Info;
    switch (Message.Msg) {
    case fw::WM_GETDLGCODE:
        Message.Result = fw::DLGC_WANTARROWS | fw::DLGC_WANTCHARS;
        return;
    case fw::WM_LBUTTONDOWN:
        DoStateChange({tsLeftButtonDown});
        fw::TCustomControl::WndProc(Message);
        Hit(Info);
        HandleMouseDown(fw::mbLeft, Shift, Info);
        return;
    case fw::WM_LBUTTONUP:
        DoStateChange({}, {tsLeftButtonDown});
        Hit(Info);
        HandleMouseUp(fw::mbLeft, Shift, Info);
        fw::TCustomControl::WndProc(Message);
        return;
    case fw::WM_LBUTTONDBLCLK:
        fw::TCustomControl::WndProc(Message);
        Hit(Info);
        HandleMouseDblClick(fw::mbLeft, Shift, Info);
        return;
    case fw::WM_RBUTTONDOWN:
        DoStateChange({tsRightButtonDown});
        if (HeaderBusy) return;
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toRightClickSelect) {
            Hit(Info);
            HandleMouseDown(fw::mbRight, Shift, Info);
        }
        return;
    case fw::WM_RBUTTONUP:
        DoStateChange({}, {tsRightButtonDown, tsPopupMenuShown});
        if (HeaderBusy) return;
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toRightClickSelect) {
            Hit(Info);
            HandleMouseUp(fw::mbRight, Shift, Info);
        }
        return;
    case fw::WM_MBUTTONDOWN: {
        DoStateChange({tsMiddleButtonDown});
        if (HeaderBusy) return;
        fw::TCustomControl::WndProc(Message);
        const bool Panning = InState(tsWheelPanning) || InState(tsWheelScrolling);
        if ((MiscOptions() & toWheelPanning) && !Panning &&
            (static_cast<int>(FRangeX) > ClientWidth() ||
             static_cast<int>(RangeY()) > RowAreaHeight())) {
            StartWheelPanning(ClientToScreen(fw::LParamToPoint(Message.LParam)));
            return;
        }
        StopWheelPanning();
        if (SelectionOptions() & toMiddleClickSelect) {
            Hit(Info);
            HandleMouseDown(fw::mbMiddle, Shift, Info);
        }
        return;
    }
    case fw::WM_MBUTTONUP:
        DoStateChange({}, {tsMiddleButtonDown});
        if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
            // A click without a drag keeps scrolling until the next press.
            if (InState(tsWheelScrolling))
                DoStateChange({}, {tsWheelPanning});
            else
                StopWheelPanning();
            return;
        }
        if (HeaderBusy) return;
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toMiddleClickSelect) {
            Hit(Info);
            HandleMouseUp(fw::mbMiddle, Shift, Info);
        }
        return;
    case fw::WM_MBUTTONDBLCLK:
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toMiddleClickSelect) {
            Hit(Info);
            HandleMouseDblClick(fw::mbMiddle, Shift, Info);
        }
        return;
    case fw::WM_CANCELMODE:
        StopExpandTimer();
        StopTimer(*this, EditTimer);
        StopTimer(*this, ScrollTimer);
        StopTimer(*this, SearchTimer);
        FSearchBuffer.clear();
        DoStateChange({}, {tsClearPending, tsDrawSelPending, tsDrawSelecting, tsEditPending,
                           tsIncrementalSearching, tsOLEDragPending, tsVCLDragPending, tsScrolling,
                           tsScrollPending});
        break;
    case fw::CM_MOUSEWHEEL: {
        StopWheelPanning();
        fw::TCustomControl::WndProc(Message);
        if (Message.Result) return;
        const auto Delta = static_cast<std::int16_t>((Message.WParam >> 16) & 0xFFFF);
        const bool WheelCtrl = (Message.WParam & fw::ssCtrl) != 0;
        if (static_cast<int>(RangeY()) <= RowAreaHeight()) {
            int Count = Delta / 120;
            if (WheelCtrl) Count *= ClientWidth();
            SetOffsetX(FOffsetX + Count * static_cast<int>(FIndent));
        } else {
            const int RowHeight = static_cast<int>(std::max<std::uint32_t>(FDefaultNodeHeight, 1));
            int Rows = WheelCtrl ? (RowAreaHeight() / RowHeight) * (Delta / 120)
                                 : Delta * WheelScrollLines / 120;
            SetOffsetY(FOffsetY + Rows * RowHeight);
        }
        Message.Result = 1;
        return;
    }
    case fw::WM_MOUSEMOVE: {
        fw::TCustomControl::WndProc(Message);
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (MouseMoveScroll(P)) return;
        Hit(Info);
        // Hot tracking: the label or check box, or anywhere on the row with full-row selection.
        PLazyNode Hot = Info.HitNode;
        if (Hot && !(Info.HitPositions & (hpOnItemLabel | hpOnItemCheckbox)) &&
            !(SelectionOptions() & toFullRowSelect))
            Hot = nullptr;
        if (P.Y < FHeaderRect.Height()) Hot = nullptr;
        if (Hot != FHotNode) {
            if (PaintOptions() & (toHotTrack)) {
                InvalidateNode(FHotNode);
                InvalidateNode(Hot);
            }
            FHotNode = Hot;
        }
        return;
    }
    case fw::WM_MOUSELEAVE:
        // A rubber band holds the capture and keeps scrolling outside the window.
        if (!InState(tsWheelPanning) && !InState(tsWheelScrolling) && !InState(tsDrawSelecting) &&
            !InState(tsDrawSelPending)) {
            StopTimer(*this, ScrollTimer);
            DoStateChange({}, {tsScrolling, tsScrollPending});
        }
        if (FHotNode) {
            InvalidateNode(FHotNode);
            FHotNode = nullptr;
        }
        break;
    case fw::WM_TIMER:
        if (Message.WParam == SearchTimer) {
            DoStateChange({}, {tsIncrementalSearching});
            StopTimer(*this, SearchTimer);
            FSearchBuffer.clear();
            return;
        }
        if (Message.WParam == EditTimer) {
            StopTimer(*this, EditTimer);
            DoEdit();
            return;
        }
        if (Message.WParam == ExpandTimer) {
            PLazyNode Node = FExpandNode;
            StopExpandTimer();
            if (Node && (Node->States & vsHasChildren) && !(Node->States & vsExpanded))
                ToggleNode(Node);
            return;
        }
        if (Message.WParam == ScrollTimer) {
            if (InState(tsScrollPending)) {
                if (HandleAllocated()) fw::SetTimer(Handle(), ScrollTimer, FAutoScrollInterval);
                DoStateChange({tsScrolling}, {tsScrollPending});
            }
            DoTimerScroll();
            return;
        }
        break;
    case fw::WM_KILLFOCUS:
        fw::TCustomControl::WndProc(Message);
        StopWheelPanning();
        StopExpandTimer();
        StopTimer(*this, EditTimer);
        StopTimer(*this, ScrollTimer);
        FSearchBuffer.clear();
        DoStateChange({}, {tsEditPending, tsIncrementalSearching, tsLeftButtonDown,
                           tsMiddleButtonDown, tsOLEDragPending, tsRightButtonDown, tsScrolling,
                           tsScrollPending, tsVCLDragPending});
        Invalidate();
        return;
    case fw::WM_SETFOCUS:
        fw::TCustomControl::WndProc(Message);
        Invalidate();
        return;
    case fw::WM_CREATE:
        fw::TCustomControl::WndProc(Message);
        // A new window's bars follow the content and the scroll-bar options.
        if (!Loading() && FUpdateCount == 0) UpdateScrollBars(false);
        return;
    case fw::WM_SIZE:
        fw::TCustomControl::WndProc(Message);
        UpdateHeaderRect();
        if (Header() && (Header()->Options() & hoAutoResize))
            Header()->Columns().AdjustAutoSize(InvalidColumn);
        UpdateScrollBars(true);
        return;
    case fw::WM_VSCROLL:
    case fw::WM_HSCROLL: {
        // Scroll-bar requests: the low word is the request, the high word the thumb position.
        const bool Vertical = Message.Msg == fw::WM_VSCROLL;
        const int Offset = Vertical ? FOffsetY : FOffsetX;
        const int Page = Vertical ? RowAreaHeight() : ClientWidth();
        const int Line = Vertical ? std::min<int>(ScrollBarOptions()->VerticalIncrement(), Page)
                                  : ScrollBarOptions()->HorizontalIncrement();
        const int Range = Vertical ? static_cast<int>(RangeY())
                                   : (HeaderUseColumns() ? Header()->Columns().TotalWidth()
                                                         : static_cast<int>(FRangeX));
        int New = Offset;
        switch (static_cast<int>(Message.WParam & 0xFFFF)) {
        case fw::SB_LINEUP:
            New = Offset + Line;
            break;
        case fw::SB_LINEDOWN:
            New = Offset - Line;
            break;
        case fw::SB_PAGEUP:
            New = Offset + Page;
            break;
        case fw::SB_PAGEDOWN:
            New = Offset - Page;
            break;
        case fw::SB_THUMBPOSITION:
        case fw::SB_THUMBTRACK:
            DoStateChange({tsThumbTracking});
            New = -static_cast<int>((Message.WParam >> 16) & 0xFFFF);
            break;
        case fw::SB_TOP:
            New = 0;
            break;
        case fw::SB_BOTTOM:
            New = -Range;
            break;
        case fw::SB_ENDSCROLL:
            DoStateChange({}, {tsThumbTracking});
            if (Vertical)
                UpdateScrollBars(true);
            else
                UpdateHorizontalScrollBar(true);
            break;
        default:
            break;
        }
        if (Vertical)
            SetOffsetY(New);
        else
            SetOffsetX(New);
        Message.Result = 0;
        return;
    }
    case fw::WM_ERASEBKGND:
        Message.Result = 1;
        return;
    default:
        break;
    }
    fw::TCustomControl::WndProc(Message);
}

} // namespace vel
