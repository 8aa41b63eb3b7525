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
    if (OnGetCellIsEmpty) OnGetCellIsEmpty(this, Node, Column, IsEmpty);
    return IsEmpty;
}

void TBaseLazyTree::DoChange(PLazyNode Node) {
    if (HandleAllocated()) fw::KillTimer(Handle(), ChangeTimer);
    if (OnChange) OnChange(this, Node);
    DoStateChange({}, {tsChangePending});
    FLastChangedNode = nullptr;
}

void TBaseLazyTree::DoCheckClick(PLazyNode Node, TCheckState NewCheckState) {
    if (ChangeCheckState(Node, NewCheckState)) DoChecked(Node);
}

void TBaseLazyTree::DoChecked(PLazyNode Node) {
    if (OnChecked) OnChecked(this, Node);
}

bool TBaseLazyTree::DoChecking(PLazyNode Node, TCheckState& NewCheckState) {
    if (ReadOnly()) return false;
    bool Allowed = true;
    if (OnChecking) OnChecking(this, Node, NewCheckState, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoCollapsed(PLazyNode Node) {
    if (OnCollapsed) OnCollapsed(this, Node);
}

bool TBaseLazyTree::DoCollapsing(PLazyNode Node) {
    bool Allowed = true;
    if (OnCollapsing) OnCollapsing(this, Node, Allowed);
    return Allowed;
}

int TBaseLazyTree::DoCompare(PLazyNode Node1, PLazyNode Node2, int Column) {
    int Result = 0;
    if (OnCompareNodes) OnCompareNodes(this, Node1, Node2, Column, Result);
    return Result;
}

void TBaseLazyTree::DoExpanded(PLazyNode Node) {
    if (OnExpanded) OnExpanded(this, Node);
}

bool TBaseLazyTree::DoExpanding(PLazyNode Node) {
    bool Allowed = true;
    if (OnExpanding) OnExpanding(this, Node, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoFocusChange(PLazyNode Node, int Column) {
    if (OnFocusChanged) OnFocusChanged(this, Node, Column);
}

bool TBaseLazyTree::DoFocusChanging(PLazyNode OldNode, PLazyNode NewNode, int OldColumn,
                                    int NewColumn) {
    bool Allowed = true;
    if (OnFocusChanging) OnFocusChanging(this, OldNode, NewNode, OldColumn, NewColumn, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoFreeNode(PLazyNode Node) {
    if (Node == FHotNode) FHotNode = nullptr;
    if (Node == FDropTargetNode) FDropTargetNode = nullptr;
    if (Node == FExpandNode) FExpandNode = nullptr;
    if (Node == FLastSearchNode) FLastSearchNode = nullptr;
    if (Node == FCheckNode) FCheckNode = nullptr;
    // No pending notification may name a freed node.
    if (Node == FLastChangedNode) FLastChangedNode = nullptr;
    if (Node == FLastStructureChangeNode) FLastStructureChangeNode = nullptr;
    if (Node == FRangeAnchor) FRangeAnchor = nullptr;
    if (Node == FFocusedNode) FFocusedNode = nullptr;
    fw::TScopeExit Free([this, Node] { FreeNodeBlock(Node); });
    if ((Node->States & (vsInitialized | vsInitialUserData)) && OnFreeNode) OnFreeNode(this, Node);
}

void TBaseLazyTree::DoGetNodeDataSize(int& Size) {
    Size = 0;
    if (OnGetNodeDataSize) OnGetNodeDataSize(this, Size);
}

int TBaseLazyTree::DoIncrementalSearch(PLazyNode Node, const std::u16string& Text) {
    int Result = 0;
    if (OnIncrementalSearch) OnIncrementalSearch(this, Node, Text, Result);
    return Result;
}

void TBaseLazyTree::DoInitChildren(PLazyNode Node, std::uint32_t& Count) {
    if (OnInitChildren) OnInitChildren(this, Node, Count);
}

void TBaseLazyTree::DoInitNode(PLazyNode Parent, PLazyNode Node, TLTInternalStates& InitStates) {
    if (OnInitNode) OnInitNode(this, Parent, Node, InitStates);
}

void TBaseLazyTree::DoLoadUserData(PLazyNode Node, TStream& Stream) {
    if (OnLoadNode) OnLoadNode(this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseLazyTree::DoMeasureItem(fw::TCanvas* TargetCanvas, PLazyNode Node, int& NodeHeight) {
    if (OnMeasureItem) OnMeasureItem(this, TargetCanvas, Node, NodeHeight);
}

void TBaseLazyTree::DoNodeCopied(PLazyNode Node) {
    if (OnNodeCopied) OnNodeCopied(this, Node);
}

bool TBaseLazyTree::DoNodeCopying(PLazyNode Node, PLazyNode NewParent) {
    bool Allowed = true;
    if (OnNodeCopying) OnNodeCopying(this, Node, NewParent, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoNodeMoved(PLazyNode Node) {
    if (OnNodeMoved) OnNodeMoved(this, Node);
}

bool TBaseLazyTree::DoNodeMoving(PLazyNode Node, PLazyNode NewParent) {
    bool Allowed = true;
    if (OnNodeMoving) OnNodeMoving(this, Node, NewParent, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoReset(PLazyNode Node) {
    if (OnResetNode) OnResetNode(this, Node);
}

void TBaseLazyTree::DoSaveUserData(PLazyNode Node, TStream& Stream) {
    if (OnSaveNode) OnSaveNode(this, Node == FRoot ? nullptr : Node, Stream);
}

void TBaseLazyTree::DoScroll(int DeltaX, int DeltaY) {
    if (OnScroll) OnScroll(this, DeltaX, DeltaY);
}

void TBaseLazyTree::DoStructureChange(PLazyNode Node, TChangeReason Reason) {
    if (HandleAllocated()) fw::KillTimer(Handle(), StructureChangeTimer);
    if (OnStructureChange) OnStructureChange(this, Node, Reason);
    DoStateChange({}, {tsStructureChangePending});
    FLastStructureChangeNode = nullptr;
    FLastStructureChangeReason = crIgnore;
}

void TBaseLazyTree::DoUpdating(TLTUpdateState State) {
    if (OnUpdating) OnUpdating(this, State);
}

int TBaseLazyTree::DoGetNodeWidth(PLazyNode, int, fw::TCanvas*) {
    return 0;
}

void TBaseLazyTree::DoStateChange(TLazyTreeStates Enter, TLazyTreeStates Leave) {
    if (OnStateChange && (!(Enter - FStates).Empty() || !(Leave * FStates).Empty()))
        OnStateChange(this, Enter, Leave);
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
    SetAlign(Source.Align());
    SetChangeDelay(Source.ChangeDelay());
    SetColor(Source.Color());
    FColors->Assign(*Source.FColors);
    SetDefaultNodeHeight(Source.DefaultNodeHeight());
    SetDefaultPasteMode(Source.DefaultPasteMode());
    SetEnabled(Source.Enabled());
    Font().Assign(Source.Font());
    FHeader->Assign(*Source.FHeader);
    SetIndent(Source.Indent());
    SetMargin(Source.Margin());
    SetNodeDataSize(Source.NodeDataSize());
    Source.FOptions->AssignTo(*FOptions);
    SetParentColor(Source.ParentColor());
    SetParentFont(Source.ParentFont());
    SetParentShowHint(Source.ParentShowHint());
    SetRootNodeCount(Source.RootNodeCount());
    FScrollBarOptions->Assign(*Source.FScrollBarOptions);
    SetShowHint(Source.ShowHint());
    SetTabOrder(Source.TabOrder());
    SetTabStop(Source.TabStop());
    fw::TCustomControl::SetVisible(Source.Visible());
}

} // namespace vel

namespace vel {

TPopupMenu* TBaseLazyTree::DoGetPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    TPopupMenu* Menu = nullptr;
    if (!OnGetPopupMenu) return nullptr;
    bool AskParent = true;
    if (!Node || Node == FRoot) {
        OnGetPopupMenu(this, nullptr, NoColumn, P, AskParent, Menu);
        return Menu;
    }
    for (PLazyNode Run = Node; Run && Run != FRoot; Run = Run->Parent) {
        AskParent = true;
        OnGetPopupMenu(this, Run, Column, P, AskParent, Menu);
        if (Menu || !AskParent) break;
    }
    return Menu;
}

bool TBaseLazyTree::HasPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    return FPopupMenu || DoGetPopupMenu(Node, Column, P);
}

void TBaseLazyTree::DoPopupMenu(PLazyNode Node, int Column, fw::TPoint P) {
    TPopupMenu* Menu = DoGetPopupMenu(Node, Column, P);
    if (!Menu) return;
    DoStateChange({tsPopupMenuShown});
    if (HandleAllocated()) fw::KillTimer(Handle(), EditTimer);
    Menu->SetPopupComponent(this);
    fw::TPoint S = ClientToScreen(P);
    Menu->Popup(S.X, S.Y);
}

void TBaseLazyTree::DoHotChange(PLazyNode Old, PLazyNode New) {
    if (OnHotChange) OnHotChange(this, Old, New);
}

bool TBaseLazyTree::DoKeyAction(std::uint16_t& CharCode, fw::TShiftState& Shift) {
    bool DoDefault = true;
    if (OnKeyAction) OnKeyAction(this, CharCode, Shift, DoDefault);
    return DoDefault;
}

bool TBaseLazyTree::DoBeforeDrag(PLazyNode Node, int Column) {
    bool Allowed = false;
    if (OnDragAllowed) OnDragAllowed(this, Node, Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoGetCursor(fw::TCursor& Cursor) {
    if (OnGetCursor) OnGetCursor(this, Cursor);
}

} // namespace vel
