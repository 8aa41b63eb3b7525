// Event dispatchers: each sets the defaults of its var arguments, tests
// whether the event is assigned and calls it; and the tree's own messages.
#include "LazyTrees.h"

#include "LazyTreeInternal.h"
#include "LazyTreeItemQueries.h"

#include "Forms.h"
#include "Timers.h"

namespace vel {

using namespace lt;

// ------------------------------------------------------------- dispatchers

bool TBaseLazyTree::DoGetCellIsEmpty(PLazyNode Node, int Column) {
    bool IsEmpty = true;
    lt::Fire(*this, OnGetCellIsEmpty, this, Node, Column, IsEmpty);
    return IsEmpty;
}

void TBaseLazyTree::DoChange(PLazyNode Node) {
    StopTimer(ChangeTimer);
    lt::Fire(*this, OnChange, this, Node);
    DoStateChange({}, {tsChangePending});
    FLastChangedNode = nullptr;
}

void TBaseLazyTree::DoCheckClick(PLazyNode Node, TCheckState NewCheckState) {
    lt::TBusyScope Busy(*this);
    if (ChangeCheckState(Node, NewCheckState)) DoChecked(Node);
}

void TBaseLazyTree::DoChecked(PLazyNode Node) {
    lt::Fire(*this, OnChecked, this, Node);
}

bool TBaseLazyTree::DoChecking(PLazyNode Node, TCheckState& NewCheckState) {
    if (ReadOnly()) return false;
    bool Allowed = true;
    lt::Fire(*this, OnChecking, this, Node, NewCheckState, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoCollapsed(PLazyNode Node) {
    lt::Fire(*this, OnCollapsed, this, Node);
}

bool TBaseLazyTree::DoCollapsing(PLazyNode Node) {
    bool Allowed = true;
    lt::Fire(*this, OnCollapsing, this, Node, Allowed);
    return Allowed;
}

int TBaseLazyTree::DoCompare(PLazyNode Node1, PLazyNode Node2, int Column) {
    int Result = 0;
    lt::Fire(*this, OnCompareNodes, this, Node1, Node2, Column, Result);
    return Result;
}

void TBaseLazyTree::DoExpanded(PLazyNode Node) {
    lt::Fire(*this, OnExpanded, this, Node);
}

bool TBaseLazyTree::DoExpanding(PLazyNode Node) {
    bool Allowed = true;
    lt::Fire(*this, OnExpanding, this, Node, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoFocusChange(PLazyNode Node, int Column) {
    lt::Fire(*this, OnFocusChanged, this, Node, Column);
}

bool TBaseLazyTree::DoFocusChanging(PLazyNode OldNode, PLazyNode NewNode, int OldColumn,
                                    int NewColumn) {
    bool Allowed = true;
    lt::Fire(*this, OnFocusChanging, this, OldNode, NewNode, OldColumn, NewColumn, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoFreeNode(PLazyNode Node) {
    // An edit of the node ends first: the edit link must not keep it.
    if (Node == FFocusedNode && InState(tsEditing)) CancelEditNode();
    ForgetNode(Node);
    // The handler may have pointed the tree at the node again.
    fw::TScopeExit Free([this, Node] {
        ForgetNode(Node);
        FreeNodeBlock(Node);
    });
    TellFreed(Node);
}

void TBaseLazyTree::TellFreed(PLazyNode Node) {
    if (!(Node->States & (vsInitialized | vsInitialUserData)) || (Node->Internal & nfTold)) return;
    Node->Internal |= nfTold;
    // The node goes whatever the handler does, and so do the others of the
    // same deletion: an exception passed on would stop that walk halfway,
    // with its counts half done, so it is reported as a leave step's is.
    try {
        lt::Fire(*this, OnFreeNode, this, Node);
    } catch (...) {
        fw::ReportLeaveStepError();
    }
}

void TBaseLazyTree::ForgetNode(PLazyNode Node) {
    for (PLazyNode* P : {&FHotNode, &FDropTargetNode, &FExpandNode, &FLastSearchNode, &FCheckNode,
                         &FLastChangedNode, &FLastStructureChangeNode, &FRangeAnchor,
                         &FFocusedNode})
        if (*P == Node) *P = nullptr;
    if (FHintData.Node == Node) FHintData.Node = nullptr;
    FDragLive.erase(Node);
    for (std::unordered_set<PLazyNode>* Watch : FNodeWatches)
        Watch->erase(Node);
    if (Node->States & vsSelected) {
        if (FUpdateCount > 0)
            MarkForRemoval(Node);
        else
            InternalRemoveFromSelection(Node);
    }
}

void TBaseLazyTree::DoGetNodeDataSize(int& Size) {
    Size = 0;
    lt::Fire(*this, OnGetNodeDataSize, this, Size);
}

int TBaseLazyTree::DoIncrementalSearch(PLazyNode Node, const std::u16string& Text) {
    int Result = 0;
    lt::Fire(*this, OnIncrementalSearch, this, Node, Text, Result);
    return Result;
}

void TBaseLazyTree::DoInitChildren(PLazyNode Node, std::uint32_t& Count) {
    lt::Fire(*this, OnInitChildren, this, Node, Count);
}

void TBaseLazyTree::DoInitNode(PLazyNode Parent, PLazyNode Node, TLTInternalStates& InitStates) {
    lt::Fire(*this, OnInitNode, this, Parent, Node, InitStates);
}

void TBaseLazyTree::DoLoadUserData(PLazyNode Node, TStream& Stream) {
    lt::Fire(*this, OnLoadNode, this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseLazyTree::DoMeasureItem(fw::TCanvas* TargetCanvas, PLazyNode Node, int& NodeHeight) {
    lt::Fire(*this, OnMeasureItem, this, TargetCanvas, Node, NodeHeight);
}

void TBaseLazyTree::DoNodeCopied(PLazyNode Node) {
    lt::Fire(*this, OnNodeCopied, this, Node);
}

bool TBaseLazyTree::DoNodeCopying(PLazyNode Node, PLazyNode NewParent) {
    bool Allowed = true;
    lt::Fire(*this, OnNodeCopying, this, Node, NewParent, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoNodeMoved(PLazyNode Node) {
    lt::Fire(*this, OnNodeMoved, this, Node);
}

bool TBaseLazyTree::DoNodeMoving(PLazyNode Node, PLazyNode NewParent) {
    bool Allowed = true;
    lt::Fire(*this, OnNodeMoving, this, Node, NewParent, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoReset(PLazyNode Node) {
    lt::Fire(*this, OnResetNode, this, Node);
}

void TBaseLazyTree::DoSaveUserData(PLazyNode Node, TStream& Stream) {
    lt::Fire(*this, OnSaveNode, this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseLazyTree::DoScroll(int DeltaX, int DeltaY) {
    lt::Fire(*this, OnScroll, this, DeltaX, DeltaY);
}

void TBaseLazyTree::DoStructureChange(PLazyNode Node, TChangeReason Reason) {
    StopTimer(StructureChangeTimer);
    lt::Fire(*this, OnStructureChange, this, Node, Reason);
    DoStateChange({}, {tsStructureChangePending});
    FLastStructureChangeNode = nullptr;
    FLastStructureChangeReason = crIgnore;
}

void TBaseLazyTree::DoUpdating(TLTUpdateState State) {
    lt::Fire(*this, OnUpdating, this, State);
}

int TBaseLazyTree::DoGetNodeWidth(PLazyNode, int, fw::TCanvas*) {
    return 0;
}

void TBaseLazyTree::DoStateChange(TLazyTreeStates Enter, TLazyTreeStates Leave) {
    // A state the tree leaves is left whatever the handler does, or a
    // handler that throws would keep the tree in a state its operation has
    // ended; one it enters is entered once the handler returns (an enter step
    // that throws leaves nothing to undo).
    // Stopping the worker cannot be refused either.
    fw::TScopeExit LeaveAnyway([this, Enter, Leave] {
        FStates = (FStates + (Enter * TLazyTreeStates{tsStopValidation})) - Leave;
        FStopValidation.store(FStates.Contains(tsStopValidation));
    });
    if (OnStateChange && (!(Enter - FStates).Empty() || !(Leave * FStates).Empty()))
        lt::Fire(*this, OnStateChange, this, Enter, Leave);
    LeaveAnyway.Release();
    FStates = (FStates + Enter) - Leave;
    FStopValidation.store(FStates.Contains(tsStopValidation));
}

void TBaseLazyTree::Change(PLazyNode Node) {
    if (InState(tsChangePending)) {
        if (HandleAllocated() && FChangeDelay > 0 && !InState(tsSynchMode))
            fw::KillTimer(Handle(), ChangeTimer);
    } else {
        DoStateChange({tsChangePending});
    }
    FLastChangedNode = Node;
    if (FUpdateCount > 0) return;
    if (FChangeDelay > 0 && !InState(tsSynchMode) && HandleAllocated())
        fw::SetTimer(Handle(), ChangeTimer, FChangeDelay);
    else
        DoChange(Node);
}

void TBaseLazyTree::StructureChange(PLazyNode Node, TChangeReason Reason) {
    if (InState(tsStructureChangePending)) {
        if (HandleAllocated() && FChangeDelay > 0 && !InState(tsSynchMode))
            fw::KillTimer(Handle(), StructureChangeTimer);
    } else {
        DoStateChange({tsStructureChangePending});
    }
    FLastStructureChangeNode = Node;
    if (FLastStructureChangeReason == crIgnore)
        FLastStructureChangeReason = Reason;
    else if (Reason != crIgnore)
        FLastStructureChangeReason = crAccumulated;
    if (FUpdateCount > 0) return;
    if (FChangeDelay > 0 && !InState(tsSynchMode) && HandleAllocated())
        fw::SetTimer(Handle(), StructureChangeTimer, FChangeDelay);
    else
        DoStructureChange(Node, FLastStructureChangeReason);
}

void TBaseLazyTree::Dispatch(fw::TMessage& Message) {
    if (AnswerItemQuery(*this, Message)) return;
    switch (Message.Msg) {
    case WM_TREESTATECHANGE:
        WMTreeStateChange(Message);
        return;
    case fw::WM_DESTROY:
        // The worker must not report to a window that goes.
        InterruptValidation();
        break;
    case fw::CM_SHOWINGCHANGED:
        // A tree that starts showing takes its window: bars, border and cache.
        fw::TCustomControl::Dispatch(Message);
        if (Showing()) HandleNeeded();
        return;
    case fw::WM_TIMER:
        if (Message.WParam == ChangeTimer) {
            fw::KillTimer(Handle(), ChangeTimer);
            DoChange(FLastChangedNode);
            return;
        }
        if (Message.WParam == StructureChangeTimer) {
            fw::KillTimer(Handle(), StructureChangeTimer);
            DoStructureChange(FLastStructureChangeNode, FLastStructureChangeReason);
            return;
        }
        break;
    default:
        break;
    }
    fw::TCustomControl::Dispatch(Message);
}

} // namespace vel

namespace vel {

void TBaseLazyTree::Assign(const TBaseLazyTree& Source) {
    if (ReadOnly() || &Source == this)
        throw ELazyTreeAssertion("Cannot assign to a read-only tree.");
    // In the table's order.
    SetAlign(Source.Align());
    SetAnchors(Source.Anchors());
    SetAutoScrollDelay(Source.AutoScrollDelay());
    SetAutoScrollInterval(Source.AutoScrollInterval());
    SetAutoSize(Source.AutoSize());
    SetBackground(Source.FBackground.HasGraphic() ? &const_cast<fw::TPicture&>(Source.FBackground).Bitmap()
                                                  : nullptr);
    AssignFrame(Source);
    SetChangeDelay(Source.ChangeDelay());
    SetCheckImageKind(Source.CheckImageKind());
    SetColor(Source.Color());
    FColors->Assign(*Source.FColors);
    SetConstraints(Source.Constraints());
    SetCtl3D(Source.Ctl3D());
    SetDefaultNodeHeight(Source.DefaultNodeHeight());
    SetDefaultPasteMode(Source.DefaultPasteMode());
    SetDragCursor(Source.DragCursor());
    SetDragImageKind(Source.DragImageKind());
    SetDragKind(Source.DragKind());
    SetDragMode(Source.DragMode());
    SetEnabled(Source.Enabled());
    Font().Assign(Source.Font());
    FHeader->Assign(*Source.FHeader);
    SetHintAnimation(Source.HintAnimation());
    SetHintMode(Source.HintMode());
    SetHotCursor(Source.HotCursor());
    SetImages(Source.Images());
    SetImeMode(Source.ImeMode());
    SetImeName(Source.ImeName());
    SetIndent(Source.Indent());
    SetMargin(Source.Margin());
    SetNodeAlignment(Source.NodeAlignment());
    SetNodeDataSize(Source.NodeDataSize());
    Source.FOptions->AssignTo(*FOptions);
    SetParentBiDiMode(Source.ParentBiDiMode());
    SetParentColor(Source.ParentColor());
    SetParentCtl3D(Source.ParentCtl3D());
    SetParentFont(Source.ParentFont());
    SetParentShowHint(Source.ParentShowHint());
    SetPopupMenu(Source.PopupMenu());
    SetRootNodeCount(Source.RootNodeCount());
    FScrollBarOptions->Assign(*Source.FScrollBarOptions);
    SetShowHint(Source.ShowHint());
    SetStateImages(Source.StateImages());
    SetTabOrder(Source.TabOrder());
    SetTabStop(Source.TabStop());
    fw::TCustomControl::SetVisible(Source.Visible());
    SetSelectionCurveRadius(Source.SelectionCurveRadius());
    SetSelectionBlendFactor(Source.SelectionBlendFactor());
}

} // namespace vel

namespace vel {

TPopupMenu* TBaseLazyTree::DoGetPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    TPopupMenu* Menu = nullptr;
    if (!OnGetPopupMenu) return nullptr;
    lt::TBusyScope Busy(*this); // the walk up holds the nodes the handler is given
    bool AskParent = true;
    if (!Node || Node == FRoot) {
        lt::Fire(*this, OnGetPopupMenu, this, nullptr, NoColumn, P, AskParent, Menu);
        return Menu;
    }
    for (PLazyNode Run = Node; Run && Run != FRoot;) {
        PLazyNode Up = lt::UpFrom(Run);
        AskParent = true;
        lt::Fire(*this, OnGetPopupMenu, this, Run, Column, P, AskParent, Menu);
        if (Menu || !AskParent) break;
        Run = Up;
    }
    return Menu;
}

std::shared_ptr<TLTDataObject> TBaseLazyTree::DoCreateDataObject() {
    std::shared_ptr<TLTDataObject> Result;
    lt::Fire(*this, OnCreateDataObject, this, Result);
    return Result;
}

std::shared_ptr<TLTDragManager> TBaseLazyTree::DoCreateDragManager() {
    std::shared_ptr<TLTDragManager> Result;
    lt::Fire(*this, OnCreateDragManager, this, Result);
    return Result;
}

bool TBaseLazyTree::HasPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    return FPopupMenu || DoGetPopupMenu(Node, Column, P);
}

void TBaseLazyTree::DoPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    TPopupMenu* Menu = DoGetPopupMenu(Node, Column, P);
    if (!Menu) return;
    DoStateChange({tsPopupMenuShown});
    StopTimer(EditTimer);
    Menu->SetPopupComponent(this);
    fw::TPoint S = ClientToScreen(P);
    Menu->Popup(S.X, S.Y);
}

void TBaseLazyTree::DoHotChange(PLazyNode Old, PLazyNode New) {
    lt::Fire(*this, OnHotChange, this, Old, New);
}

bool TBaseLazyTree::DoKeyAction(std::uint16_t& CharCode, fw::TShiftState& Shift) {
    bool DoDefault = true;
    lt::Fire(*this, OnKeyAction, this, CharCode, Shift, DoDefault);
    return DoDefault;
}

bool TBaseLazyTree::DoBeforeDrag(PLazyNode Node, int Column) {
    bool Allowed = false;
    lt::Fire(*this, OnDragAllowed, this, Node, Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoGetCursor(fw::TCursor& Cursor) {
    lt::Fire(*this, OnGetCursor, this, Cursor);
}

} // namespace vel

namespace vel {

// ------------------------------------------------- paint and view dispatchers

void TBaseLazyTree::DoBeforePaint(fw::TCanvas& Canvas) {
    lt::Fire(*this, OnBeforePaint, this, Canvas);
}

void TBaseLazyTree::DoAfterPaint(fw::TCanvas& Canvas) {
    lt::Fire(*this, OnAfterPaint, this, Canvas);
}

void TBaseLazyTree::DoBeforeItemErase(fw::TCanvas& Canvas, PLazyNode Node,
                                      const fw::TRect& ItemRect, fw::TColor& Color,
                                      TItemEraseAction& EraseAction) {
    lt::Fire(*this, OnBeforeItemErase, this, Canvas, Node, ItemRect, Color, EraseAction);
}

void TBaseLazyTree::DoAfterItemErase(fw::TCanvas& Canvas, PLazyNode Node,
                                     const fw::TRect& ItemRect) {
    lt::Fire(*this, OnAfterItemErase, this, Canvas, Node, ItemRect);
}

bool TBaseLazyTree::DoBeforeItemPaint(fw::TCanvas& Canvas, PLazyNode Node,
                                      const fw::TRect& ItemRect) {
    bool CustomDraw = false;
    lt::Fire(*this, OnBeforeItemPaint, this, Canvas, Node, ItemRect, CustomDraw);
    return CustomDraw;
}

void TBaseLazyTree::DoAfterItemPaint(fw::TCanvas& Canvas, PLazyNode Node,
                                     const fw::TRect& ItemRect) {
    lt::Fire(*this, OnAfterItemPaint, this, Canvas, Node, ItemRect);
}

void TBaseLazyTree::DoBeforeCellPaint(fw::TCanvas& Canvas, PLazyNode Node, int Column,
                                      const fw::TRect& CellRect) {
    lt::Fire(*this, OnBeforeCellPaint, this, Canvas, Node, Column, CellRect);
}

void TBaseLazyTree::DoAfterCellPaint(fw::TCanvas& Canvas, PLazyNode Node, int Column,
                                     const fw::TRect& CellRect) {
    lt::Fire(*this, OnAfterCellPaint, this, Canvas, Node, Column, CellRect);
}

bool TBaseLazyTree::DoPaintBackground(fw::TCanvas& Canvas, const fw::TRect& R) {
    bool Handled = false;
    lt::Fire(*this, OnPaintBackground, this, Canvas, R, Handled);
    return Handled;
}

void TBaseLazyTree::DoGetImageIndex(PLazyNode Node, TLTImageKind Kind, int Column, bool& Ghosted,
                                    int& Index) {
    lt::Fire(*this, OnGetImageIndex, this, Node, Kind, Column, Ghosted, Index);
}

void TBaseLazyTree::DoGetLineStyle(TLTLinePattern& Bits) {
    lt::Fire(*this, OnGetLineStyle, this, Bits);
}

HRESULT TBaseLazyTree::DoRenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                                       bool ForClipboard) {
    HRESULT Result = static_cast<HRESULT>(0x80004005u); // E_FAIL
    lt::Fire(*this, OnRenderOLEData, this, FormatEtcIn, Medium, ForClipboard, Result);
    return Result;
}

void TBaseLazyTree::DoGetUserClipboardFormats(std::vector<TFormatEtc>& Formats) {
    lt::Fire(*this, OnGetUserClipboardFormats, this, Formats);
}

void TBaseLazyTree::DoColumnClick(int Column, fw::TShiftState Shift) {
    lt::Fire(*this, OnColumnClick, this, Column, Shift);
}

void TBaseLazyTree::DoColumnDblClick(int Column, fw::TShiftState Shift) {
    lt::Fire(*this, OnColumnDblClick, this, Column, Shift);
}

std::u16string TBaseLazyTree::DoGetNodeHint(PLazyNode, int) {
    std::u16string Result;
    for (char C : Hint())
        Result.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
    return Result;
}

std::u16string TBaseLazyTree::DoGetNodeTooltip(PLazyNode Node, int Column) {
    return TBaseLazyTree::DoGetNodeHint(Node, Column);
}

THintAnimationType TBaseLazyTree::DoGetAnimationType() {
    // The system's tooltip setting here: tooltips slide in.
    return FHintAnimation == hatSystemDefault ? hatSlide : FHintAnimation;
}

} // namespace vel
