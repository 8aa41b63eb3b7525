// The mouse: hit positions within a row, presses, releases and double clicks
// (expand buttons, check boxes, selection, the rubber band, drag and edit
// starts), hot tracking and the step animation.
#include "LazyTreeDragDrop.h"
#include "LazyTreeInternal.h"

#include "DragCtrls.h"
#include "Forms.h"
#include "Input.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr THitPositions ItemParts = hpOnItemButton | hpOnItemCheckbox | hpOnItemLabel |
                                    hpOnNormalIcon | hpOnStateIcon;

} // namespace

TCheckState PressedCheckState(TCheckState S) {
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

TCheckState ReleasedCheckState(TCheckState S) {
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

// --- hit positions ---------------------------------------------------------------------

void TBaseLazyTree::DetermineHitPositionLTR(THitInfo& HitInfo, int X, int Right,
                                            TAlignment Alignment) {
    PLazyNode Node = HitInfo.HitNode;
    const bool IsMain = HitInfo.HitColumn == HeaderMainColumn();
    const int IndentSize = static_cast<int>(FIndent);
    int Indent = 0;
    if (IsMain) {
        Indent = LevelIndent(Node);
        if (X < Indent) {
            if ((PaintOptions() & toShowButtons) && (Node->States & vsHasChildren) &&
                X >= Indent - IndentSize)
                HitInfo.HitPositions |= hpOnItemButton;
            else
                HitInfo.HitPositions |= hpOnItemIndent;
            return;
        }
    } else if (MiscOptions() & toReportMode) {
        return;
    }
    std::int64_t Start = std::int64_t{Indent} + FMargin;
    // Check box, state image and normal image, each its width and 2 pixels.
    auto Take = [&](int Width, THitPositions Bit) {
        if (X >= Start && X < Start + Width + 2) {
            HitInfo.HitPositions |= Bit;
            return true;
        }
        Start += Width + 2;
        return false;
    };
    if (IsMain && (MiscOptions() & toCheckSupport) && FCheckImages &&
        Node->CheckType != TCheckType::ctNone && Take(FCheckImages->Width(), hpOnItemCheckbox))
        return;
    bool Ghosted = false;
    if (FStateImages && GetImageIndex(Node, ikState, HitInfo.HitColumn, Ghosted) > -1 &&
        Take(FStateImages->Width(), hpOnStateIcon))
        return;
    if (FImages && GetImageIndex(Node, ikNormal, HitInfo.HitColumn, Ghosted) > -1 &&
        Take(FImages->Width(), hpOnNormalIcon))
        return;
    const int Width = DoGetNodeWidth(Node, HitInfo.HitColumn);
    std::int64_t TextLeft = Start;
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

void TBaseLazyTree::DetermineHitPositionRTL(THitInfo& HitInfo, int X, int Right,
                                            TAlignment Alignment) {
    // The same parts laid out from the right edge; left of the text is its trailing side.
    THitInfo Mirror = HitInfo;
    DetermineHitPositionLTR(Mirror, Right - 1 - X, Right, Alignment);
    THitPositions P = Mirror.HitPositions;
    if (P & hpOnItemLeft)
        P = static_cast<THitPositions>((P & ~hpOnItemLeft) | hpOnItemRight);
    else if (P & hpOnItemRight)
        P = static_cast<THitPositions>((P & ~hpOnItemRight) | hpOnItemLeft);
    HitInfo.HitPositions = P;
}

void TBaseLazyTree::DetermineHitPositions(int X, THitInfo& HitInfo) {
    int Left = 0, Right = std::max(ClientWidth(), static_cast<int>(FRangeX));
    TAlignment Alignment = FAlignment;
    TBiDiMode Bidi = FBiDiMode;
    if (HeaderUseColumns()) {
        TLazyTreeColumns& Columns = Header()->Columns();
        HitInfo.HitColumn = Columns.GetColumnAndBounds({X, 0}, Left, Right, false);
        if (HitInfo.HitColumn < 0) {
            HitInfo.HitColumn = InvalidColumn;
            HitInfo.HitPositions = hpOnItem;
            return;
        }
        if (AutoOptions() & toAutoSpanColumns) {
            // Empty neighbours belong to the cell that flows into them.
            while (HitInfo.HitColumn != HeaderMainColumn() &&
                   DoGetCellIsEmpty(HitInfo.HitNode, HitInfo.HitColumn)) {
                const int Prev = Columns.GetPreviousVisibleColumn(HitInfo.HitColumn);
                if (Prev < 0) break;
                Left -= Columns[Prev].Width();
                HitInfo.HitColumn = Prev;
            }
        }
        Alignment = Columns[HitInfo.HitColumn].Alignment();
        Bidi = Columns[HitInfo.HitColumn].BiDiMode();
    } else {
        HitInfo.HitColumn = NoColumn;
    }
    HitInfo.HitPositions = hpOnItem;
    if (Bidi == bdLeftToRight)
        DetermineHitPositionLTR(HitInfo, X - Left, Right - Left, Alignment);
    else
        DetermineHitPositionRTL(HitInfo, X - Left, Right - Left, Alignment);
}

void TBaseLazyTree::GetViewHitTestInfoAt(int X, int Y, THitInfo& HitInfo) {
    GetHitTestInfoAt(X, Y, true, HitInfo);
}

// --- mouse ---------------------------------------------------------------------------------

void TBaseLazyTree::HandleMouseDown(fw::TMouseButton Button, fw::TShiftState Shift,
                                    const THitInfo& HitInfo) {
    lt::TBusyScope Busy(*this);
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        StopWheelPanning();
        return;
    }
    StopTimer(EditTimer);
    // What the last press left for its release (which a throwing handler may
    // have cut short) ends with a new press.
    DoStateChange({}, {tsEditPending, tsClearPending, tsToggleFocusedSelection});
    if (InState(tsEditing) && !DoEndEdit()) return;
    if (CanFocus() && !Focused()) SetFocus();
    if (Header()) Header()->Columns().ClickIndex = HitInfo.HitColumn;
    TMouseDownInfo M = ClassifyMouseDown(Button, Shift, HitInfo);
    if (M.Node && (HitInfo.HitPositions & hpOnItemButton) && (M.Node->States & vsHasChildren)) {
        ToggleNode(M.Node);
        return;
    }
    if (M.Node && (HitInfo.HitPositions & hpOnItemCheckbox)) {
        PressCheckBox(M.Node, false);
        return;
    }
    if ((SelectionOptions() & toLevelSelectConstraint) && TotalCount() > 0 &&
        (M.Keys == 0 || FSelectionCount == 0)) {
        PLazyNode Level = M.Node ? M.Node : GetFirst();
        if (Level) FLastSelectionLevel = static_cast<int>(GetNodeLevel(Level));
    }
    MouseDownClearance(M);
    if (Focused() && M.Keys == 0 && M.Node && (M.Node->States & vsSelected) && !M.ColumnChanged &&
        (M.LabelHit || ((MiscOptions() & toGridExtensions) && (HitInfo.HitPositions & hpOnItem))))
        DoStateChange({tsEditPending});
    FLastClickPos = ScreenToClient(fw::GetCursorPos());
    if (!(SelectionOptions() & toDisableDrawSelection) && !M.LabelHit &&
        !(MiscOptions() & toFullRowDrag) && M.MultiSelect) {
        SetMouseCapture(true);
        DoStateChange({tsDrawSelPending});
        FDrawSelShiftState = M.Keys;
        SetDrawSelectionStart(
            {FLastClickPos.X - FOffsetX, FLastClickPos.Y - FOffsetY - RowAreaTop()});
        if (!M.CellHit) return;
    }
    if (M.Node && (M.LabelHit || M.CellHit)) MouseDownFocus(M);
    if (M.DragAllowed) BeginDrag(false);
}

TBaseLazyTree::TMouseDownInfo TBaseLazyTree::ClassifyMouseDown(fw::TMouseButton Button,
                                                               fw::TShiftState Shift,
                                                               const THitInfo& HitInfo) {
    TMouseDownInfo M;
    M.Button = Button;
    M.Node = HitInfo.HitNode;
    M.Column = HitInfo.HitColumn;
    const THitPositions P = HitInfo.HitPositions;
    M.Keys = Shift & (fw::ssShift | fw::ssCtrl);
    const bool Alt = (Shift & fw::ssAlt) != 0;
    M.AltPress = Alt;
    M.LabelHit = !Alt && (P & (hpOnItemLabel | hpOnNormalIcon)) != 0;
    const bool FullRow =
        (SelectionOptions() & toFullRowSelect) || (MiscOptions() & toGridExtensions);
    M.CellHit = M.Node && !M.LabelHit && !(P & (hpOnItemButton | hpOnItemCheckbox)) && FullRow;
    M.MultiSelect = (SelectionOptions() & toMultiSelect) != 0;
    M.NewColumn = FFocusedColumn;
    if (M.LabelHit || FullRow)
        M.NewColumn = (SelectionOptions() & toExtendedFocus) ? M.Column : HeaderMainColumn();
    M.ColumnChanged = M.NewColumn != FFocusedColumn;
    // Drags start from labels (and rows with full-row drag): always in automatic
    // drag mode, else when the application allows.
    if (M.Node && !(M.CellHit && !(MiscOptions() & toFullRowDrag)) && Button == fw::mbLeft &&
        (M.LabelHit || (P & ItemParts) || (MiscOptions() & toFullRowDrag)))
        M.DragAllowed = DragMode() == fw::dmAutomatic || DoBeforeDrag(M.Node, M.Column);
    return M;
}

void TBaseLazyTree::PressCheckBox(PLazyNode Node, bool Keyboard) {
    if (InState(tsKeyCheckPending) || InState(tsMouseCheckPending) || (Node->States & vsDisabled))
        return;
    TCheckState Next = DetermineNextCheckState(Node->CheckType, Node->CheckState);
    if (!DoChecking(Node, Next)) return;
    DoStateChange({Keyboard ? tsKeyCheckPending : tsMouseCheckPending});
    FCheckNode = Node;
    FPendingCheckState = Next;
    Node->CheckState = PressedCheckState(Node->CheckState);
    InvalidateNode(Node);
}

void TBaseLazyTree::MouseDownClearance(const TMouseDownInfo& M) {
    const bool Selected = M.Node && (M.Node->States & vsSelected);
    // A plain press on one of several selected labels that may start a drag clears on release.
    if (M.MultiSelect && M.Keys == 0 && M.LabelHit && Selected && M.DragAllowed &&
        FSelectionCount > 1) {
        DoStateChange({tsClearPending});
        return;
    }
    bool Clear = false;
    if (M.MultiSelect && M.Keys == 0 && !M.LabelHit && !M.CellHit &&
        !(MiscOptions() & toFullRowDrag))
        Clear = true;
    if ((M.LabelHit || M.CellHit) && (M.Keys == 0 || !M.MultiSelect)) {
        const bool KeepForPopup =
            M.Button == fw::mbRight && HasPopupMenu(M.Node, M.Column, FLastClickPos);
        Clear = !(Selected && (M.DragAllowed || KeepForPopup));
    }
    if (!Clear) return;
    LTAssert(!InState(tsClearPending), "Pending and direct clearance are mutual exclusive!");
    if (!Selected && !(M.AltPress && M.Column == HeaderMainColumn())) {
        ClearSelection();
        return;
    }
    if (!Selected) return;
    // Only the hit node stays selected.
    const bool Several = FSelectionCount > 1;
    ClearSelection();
    AddToSelection(M.Node);
    if (Several) Invalidate();
}

void TBaseLazyTree::MouseDownFocus(const TMouseDownInfo& M) {
    if (!DoFocusChanging(FFocusedNode, M.Node, FFocusedColumn, M.NewColumn)) return;
    if (M.ColumnChanged) {
        InvalidateColumn(FFocusedColumn);
        InvalidateColumn(M.NewColumn);
        FFocusedColumn = M.NewColumn;
    }
    PLazyNode LastFocused = FFocusedNode;
    DoFocusNode(M.Node, false);
    if (FFocusedNode != M.Node) return; // the focus change was refused on the way
    if (M.Keys == 0 || !M.MultiSelect) {
        if (M.Keys == 0) FRangeAnchor = M.Node;
        if (!(M.Node->States & vsSelected)) AddToSelection(M.Node);
    } else {
        HandleClickSelection(LastFocused, M.Node, M.Keys, M.DragAllowed);
    }
    DoFocusChange(FFocusedNode, FFocusedColumn);
}

void TBaseLazyTree::HandleClickSelection(PLazyNode LastFocused, PLazyNode NewNode,
                                         fw::TShiftState Shift, bool DragPending) {
    (void)LastFocused;
    if (Shift == (fw::ssShift | fw::ssCtrl)) {
        AddRangeToSelection(FRangeAnchor ? FRangeAnchor : NewNode, NewNode, true);
        Invalidate();
    } else if (Shift == fw::ssCtrl) {
        if (!(SelectionOptions() & toSiblingSelectConstraint)) FRangeAnchor = NewNode;
        if (DragPending) {
            DoStateChange({tsToggleFocusedSelection});
        } else if (NewNode->States & vsSelected) {
            RemoveFromSelection(NewNode);
            InvalidateNode(NewNode);
        } else {
            AddToSelection(NewNode);
            InvalidateNode(NewNode);
        }
    } else if (Shift == fw::ssShift) {
        PLazyNode Anchor = FRangeAnchor ? FRangeAnchor : GetFirstNoInit();
        ClearSelection();
        FRangeAnchor = Anchor;
        AddRangeToSelection(Anchor, NewNode, true);
        Invalidate();
    } else {
        if (!(NewNode->States & vsSelected)) {
            AddToSelection(NewNode);
            InvalidateNode(NewNode);
        }
        FRangeAnchor = NewNode;
    }
}

void TBaseLazyTree::HandleMouseUp(fw::TMouseButton, fw::TShiftState Shift,
                                  const THitInfo& HitInfo) {
    lt::TBusyScope Busy(*this);
    if (InState(tsVCLDragPending)) {
        if (fw::DragPending()) return;
        DoStateChange({}, {tsVCLDragPending}); // released before the drag began
    }
    SetMouseCapture(false);
    if (InState(tsDrawSelPending) || InState(tsDrawSelecting)) {
        DoStateChange({}, {tsDrawSelPending, tsDrawSelecting});
        Invalidate();
    }
    if (InState(tsClearPending)) {
        DoStateChange({}, {tsClearPending});
        PLazyNode Keep = FFocusedNode && (FFocusedNode->States & vsSelected) ? FFocusedNode : nullptr;
        ClearSelection();
        if (Keep) AddToSelection(Keep);
    }
    if (InState(tsToggleFocusedSelection)) {
        DoStateChange({}, {tsToggleFocusedSelection});
        if (HitInfo.HitNode && HitInfo.HitNode == FFocusedNode) {
            if (FFocusedNode->States & vsSelected)
                RemoveFromSelection(FFocusedNode);
            else
                AddToSelection(FFocusedNode);
            InvalidateNode(FFocusedNode);
        }
    }
    DoStateChange({}, {tsLeftButtonDown, tsRightButtonDown, tsMiddleButtonDown, tsScrolling,
                       tsScrollPending, tsOLEDragPending});
    StopTimer(ScrollTimer);
    if (InState(tsMouseCheckPending)) ReleaseMouseCheck(HitInfo);
    if (Header() && Header()->Columns().ClickIndex >= 0 &&
        Header()->Columns().ClickIndex == HitInfo.HitColumn)
        DoColumnClick(HitInfo.HitColumn, Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt));
    if (!InState(tsEditPending)) return;
    const bool OnItem = HitInfo.HitNode == FFocusedNode && (HitInfo.HitPositions & hpOnItem);
    if (OnItem && FFocusedNode && CanEdit(FFocusedNode, HitInfo.HitColumn)) {
        FEditColumn = FFocusedColumn;
        if (HandleAllocated()) fw::SetTimer(Handle(), EditTimer, FEditDelay);
    } else {
        DoStateChange({}, {tsEditPending});
    }
}

void TBaseLazyTree::ReleaseMouseCheck(const THitInfo& HitInfo) {
    DoStateChange({}, {tsMouseCheckPending});
    PLazyNode Node = FCheckNode;
    FCheckNode = nullptr;
    if (!Node) return;
    Node->CheckState = ReleasedCheckState(Node->CheckState);
    if (HitInfo.HitNode == Node && (HitInfo.HitPositions & ItemParts))
        DoCheckClick(Node, FPendingCheckState);
    InvalidateNode(Node);
}

void TBaseLazyTree::HandleMouseDblClick(fw::TMouseButton, fw::TShiftState Shift,
                                        const THitInfo& HitInfo) {
    lt::TBusyScope Busy(*this);
    StopTimer(EditTimer);
    DoStateChange({}, {tsEditPending});
    if (InState(tsEditing) && !DoEndEdit()) return;
    if (Header() && HitInfo.HitColumn >= 0 && HitInfo.HitColumn == Header()->Columns().ClickIndex)
        DoColumnDblClick(HitInfo.HitColumn, Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt));
    PLazyNode Node = HitInfo.HitNode;
    if (!Node) return;
    const THitPositions P = HitInfo.HitPositions;
    if (P & hpOnItemCheckbox) {
        PressCheckBox(Node, false);
        return;
    }
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

// --- drags ----------------------------------------------------------------------------------

void TBaseLazyTree::BeginDrag(bool Immediate, int Threshold) {
    lt::TBusyScope Busy(*this);
    if (FDragType == dtVCL) {
        DoStateChange({tsVCLDragPending});
        fw::BeginDrag(this, Immediate, Threshold);
        return;
    }
    if (InState(tsOLEDragging) || InState(tsOLEDragPending)) return;
    FDragThreshold = Threshold < 0 ? DragThreshold : Threshold;
    FDragStart = FLastClickPos;
    if (Immediate)
        DoDragging(FLastClickPos);
    else
        DoStateChange({tsOLEDragPending});
}

bool TBaseLazyTree::Dragging() const {
    return InState(tsOLEDragging) || InState(tsOLEDragPending) || InState(tsVCLDragging) ||
           (fw::Dragging() && fw::CurrentDragObject() &&
            fw::CurrentDragObject()->Control == this);
}

// --- hot tracking ---------------------------------------------------------------------------

void TBaseLazyTree::HandleHotTrack(int X, int Y) {
    lt::TBusyScope Busy(*this);
    THitInfo Info;
    GetHitTestInfoAt(X, Y, true, Info);
    PLazyNode Hot = Info.HitNode;
    if (Hot && !(Info.HitPositions & (hpOnItemLabel | hpOnItemCheckbox)) &&
        !(SelectionOptions() & toFullRowSelect))
        Hot = nullptr;
    if (Y < RowAreaTop()) Hot = nullptr;
    if (Hot == FHotNode) return;
    PLazyNode Old = FHotNode;
    DoHotChange(Old, Hot);
    if ((PaintOptions() & toHotTrack) || (MiscOptions() & toCheckSupport)) {
        InvalidateNode(Old);
        InvalidateNode(Hot);
    }
    FHotNode = Hot;
}

// --- animation ------------------------------------------------------------------------------

void TBaseLazyTree::Animate(std::uint32_t Steps, std::uint32_t Duration,
                            const TLTAnimationCallback& Callback, void* Data) {
    if (InState(tsInAnimation) || Steps == 0 || Duration == 0 || !Callback) return;
    // Timers fire while the steps wait: what they delete keeps its memory (and the tree
    // itself, freed, waits) until the end.
    lt::TBusyScope Busy(*this, TBusyKind::Handler);
    lt::TStateScope Running(*this, tsInAnimation, false);
    int StepSize = std::max(1, static_cast<int>(static_cast<double>(Steps) / Duration + 0.5));
    int StepsLeft = static_cast<int>(Steps) / StepSize;
    std::int64_t TimeLeft = Duration;
    int Step = 0;
    bool Go = true;
    while (Go && StepsLeft > 0 && TimeLeft > 0 && !fw::Application()->Terminated()) {
        const std::uint32_t Start = fw::GetTickCount();
        Go = Callback(this, Step, StepSize, Data);
        std::int64_t Share = TimeLeft / StepsLeft;
        // When the steps run out of time, fewer and bigger steps follow.
        while (Share == 0 && StepSize < static_cast<int>(Steps)) {
            ++StepSize;
            StepsLeft = std::max(1, static_cast<int>(Steps) / StepSize - Step / StepSize);
            Share = TimeLeft / StepsLeft;
        }
        fw::WaitUntil(Start + static_cast<std::uint32_t>(Share));
        const std::int64_t Used = std::max<std::int64_t>(fw::GetTickCount() - Start, Share);
        TimeLeft -= std::min(Used, TimeLeft);
        Step += StepSize;
        --StepsLeft;
    }
    if (!fw::Application()->Terminated()) Callback(this, 0, 0, Data);
    DoStateChange({}, {tsCancelHintAnimation});
    Running.Leave();
}

} // namespace vel
