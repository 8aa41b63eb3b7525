// The tree window's messages: the header and the drag see each first, then a
// table routes the rest to named handlers (true: the message is done there).
#include "LazyTreeInternal.h"
#include "LazyTreeResources.h"

#include "Canvas.h"
#include "DragCtrls.h"
#include "Forms.h"
#include "Hints.h"
#include "Input.h"
#include "ScopeExit.h"
#include "ScrollBars.h"
#include "StdActns.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int WheelScrollLines = 3;

} // namespace

struct TBaseLazyTree::TMessageRoute {
    fw::UINT Msg;
    bool (TBaseLazyTree::*Handler)(fw::TMessage&);
};

std::span<const TBaseLazyTree::TMessageRoute> TBaseLazyTree::MessageRoutes() {
    // A constant table: nothing to free when the module holding the trees unloads.
    static constexpr TMessageRoute Routes[] = {
        {fw::WM_GETDLGCODE, &TBaseLazyTree::WMGetDlgCode},
        {fw::WM_LBUTTONDOWN, &TBaseLazyTree::WMButton},
        {fw::WM_LBUTTONUP, &TBaseLazyTree::WMButton},
        {fw::WM_LBUTTONDBLCLK, &TBaseLazyTree::WMButton},
        {fw::WM_RBUTTONDOWN, &TBaseLazyTree::WMRButtonDown},
        {fw::WM_RBUTTONUP, &TBaseLazyTree::WMRButtonUp},
        {fw::WM_RBUTTONDBLCLK, &TBaseLazyTree::WMButton},
        {fw::WM_MBUTTONDOWN, &TBaseLazyTree::WMMButtonDown},
        {fw::WM_MBUTTONUP, &TBaseLazyTree::WMMButtonUp},
        {fw::WM_MBUTTONDBLCLK, &TBaseLazyTree::WMButton},
        {fw::WM_MOUSEMOVE, &TBaseLazyTree::WMMouseMove},
        {fw::CM_MOUSEWHEEL, &TBaseLazyTree::WMMouseWheel},
        {fw::WM_MOUSELEAVE, &TBaseLazyTree::WMMouseLeave},
        {fw::WM_SETCURSOR, &TBaseLazyTree::WMSetCursor},
        {fw::WM_TIMER, &TBaseLazyTree::WMTimer},
        {fw::WM_SETFOCUS, &TBaseLazyTree::WMSetFocus},
        {fw::WM_KILLFOCUS, &TBaseLazyTree::WMKillFocus},
        {fw::WM_CANCELMODE, &TBaseLazyTree::WMCancelMode},
        {fw::WM_CREATE, &TBaseLazyTree::WMCreate},
        {fw::WM_SIZE, &TBaseLazyTree::WMSize},
        {fw::WM_HSCROLL, &TBaseLazyTree::WMScroll},
        {fw::WM_VSCROLL, &TBaseLazyTree::WMScroll},
        {fw::WM_ERASEBKGND, &TBaseLazyTree::WMEraseBkgnd},
        {fw::WM_ENABLE, &TBaseLazyTree::WMEnable},
        {fw::WM_CONTEXTMENU, &TBaseLazyTree::WMContextMenu},
        {fw::WM_COPY, &TBaseLazyTree::WMClipboard},
        {fw::WM_CUT, &TBaseLazyTree::WMClipboard},
        {fw::WM_PASTE, &TBaseLazyTree::WMClipboard},
        {fw::WM_CLEAR, &TBaseLazyTree::WMClipboard},
        {fw::WM_CHAR, &TBaseLazyTree::WMChar},
        {fw::WM_PRINT, &TBaseLazyTree::WMPrint},
        {fw::WM_PRINTCLIENT, &TBaseLazyTree::WMPrintClient},
        {fw::CM_COLORCHANGED, &TBaseLazyTree::CMLookChanged},
        {fw::CM_FONTCHANGED, &TBaseLazyTree::CMLookChanged},
        {fw::WM_SETFONT, &TBaseLazyTree::CMLookChanged},
        {fw::WM_SYSCOLORCHANGE, &TBaseLazyTree::WMSysColorChange},
        {fw::WM_NCDESTROY, &TBaseLazyTree::WMNCDestroy},
        {fw::WM_NCPAINT, &TBaseLazyTree::WMNCPaint},
        {fw::WM_NCLBUTTONDOWN, &TBaseLazyTree::WMNCButtonDown},
        {fw::WM_NCRBUTTONDOWN, &TBaseLazyTree::WMNCButtonDown},
        {fw::WM_NCMBUTTONDOWN, &TBaseLazyTree::WMNCButtonDown},
        {fw::CM_ENABLEDCHANGED, &TBaseLazyTree::CMEnabledChanged},
        {fw::CM_CTL3DCHANGED, &TBaseLazyTree::CMCtl3DChanged},
        {fw::CM_BORDERCHANGED, &TBaseLazyTree::CMBorderChanged},
        {fw::CM_HINTSHOW, &TBaseLazyTree::CMHintShow},
        {fw::CM_HINTSHOWPAUSE, &TBaseLazyTree::CMHintShowPause},
        {fw::CM_ACTIONUPDATE, &TBaseLazyTree::CMAction},
        {fw::CM_DRAG, &TBaseLazyTree::CMDrag},
        {fw::CM_DRAGSTART, &TBaseLazyTree::CMDragStart},
        {fw::CM_DRAGEND, &TBaseLazyTree::CMDragEnd},
        {fw::CM_ACTIONEXECUTE, &TBaseLazyTree::CMAction},
    };
    return Routes;
}

void TBaseLazyTree::WndProc(fw::TMessage& Message) {
    // The worker waits for its own message to be answered: while it is handled
    // (the frees at the busy scope's end included) nothing waits for it.
    const bool FromWorker = Message.Msg == WM_TREESTATECHANGE;
    if (FromWorker) ++FWorkerMessageDepth;
    fw::TScopeExit WorkerDone([this, FromWorker] {
        if (FromWorker) --FWorkerMessageDepth;
    });
    // A message handled inside an operation (its worker wait, a message sent
    // from a handler or from column work) is a handler of that operation: what
    // it deletes keeps its memory until that operation ends.
    lt::TBusyScope Busy(*this, FBusyCount > 0 ? TBusyKind::Handler : TBusyKind::Operation);
    if (Message.Msg == lt::CM_RUNDEFERRED) {
        FDeferredPosted = false; // the busy scope's end runs them
        return;
    }
    if (Header() && Header()->HandleMessage(Message)) return;
    if (HandleDragMessage(Message)) return;
    for (const TMessageRoute& R : MessageRoutes())
        if (R.Msg == Message.Msg) {
            if ((this->*R.Handler)(Message)) return;
            break;
        }
    fw::TCustomControl::WndProc(Message);
}

THitInfo TBaseLazyTree::HitAt(const fw::TMessage& Message) {
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    THitInfo Info;
    GetHitTestInfoAt(P.X, P.Y, true, Info);
    return Info;
}

bool TBaseLazyTree::WMGetDlgCode(fw::TMessage& Message) {
    Message.Result = fw::DLGC_WANTARROWS | fw::DLGC_WANTCHARS | (FWantTabs ? fw::DLGC_WANTTAB : 0);
    return true;
}

// The framework's handling of a left press, without its automatic drag:
// the tree's own mouse code detects the drag.
void TBaseLazyTree::LeftPressDefault(fw::TMessage& Message) {
    if (DragMode() == fw::dmAutomatic && DragKind() == fw::dkDrag)
        HandleMouseMessage(Message);
    else
        fw::TCustomControl::WndProc(Message);
}

// Left presses, releases and all double clicks.
bool TBaseLazyTree::WMButton(fw::TMessage& Message) {
    const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam & 0xFFFF);
    switch (Message.Msg) {
    case fw::WM_LBUTTONDOWN:
        DoStateChange({tsLeftButtonDown});
        LeftPressDefault(Message);
        HandleMouseDown(fw::mbLeft, Shift, HitAt(Message));
        return true;
    case fw::WM_LBUTTONUP: {
        DoStateChange({}, {tsLeftButtonDown});
        HandleMouseUp(fw::mbLeft, Shift, HitAt(Message));
        fw::TCustomControl::WndProc(Message);
        return true;
    }
    case fw::WM_LBUTTONDBLCLK:
        LeftPressDefault(Message);
        HandleMouseDblClick(fw::mbLeft, Shift, HitAt(Message));
        return true;
    case fw::WM_RBUTTONDBLCLK:
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toRightClickSelect)
            HandleMouseDblClick(fw::mbRight, Shift, HitAt(Message));
        return true;
    default: // middle double click
        fw::TCustomControl::WndProc(Message);
        if (SelectionOptions() & toMiddleClickSelect)
            HandleMouseDblClick(fw::mbMiddle, Shift, HitAt(Message));
        return true;
    }
}

bool TBaseLazyTree::WMRButtonDown(fw::TMessage& Message) {
    DoStateChange({tsRightButtonDown});
    if (Header() && Header()->States != 0) return true;
    fw::TCustomControl::WndProc(Message);
    if (SelectionOptions() & toRightClickSelect)
        HandleMouseDown(fw::mbRight, fw::KeysToShiftState(Message.WParam & 0xFFFF),
                        HitAt(Message));
    return true;
}

bool TBaseLazyTree::WMRButtonUp(fw::TMessage& Message) {
    DoStateChange({}, {tsRightButtonDown, tsPopupMenuShown});
    if (Header() && Header()->States != 0) return true;
    fw::Application()->CancelHint();
    if ((InState(tsDrawSelPending) || InState(tsDrawSelecting)) && FPopupMenu) {
        DoStateChange({}, {tsDrawSelPending, tsDrawSelecting});
        Invalidate();
    }
    fw::TCustomControl::WndProc(Message);
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    // The framework's default: the control's own menu through the context-menu message.
    if (FPopupMenu) {
        const fw::TPoint S = ClientToScreen(P);
        Perform(fw::WM_CONTEXTMENU, reinterpret_cast<fw::WPARAM>(Handle()), fw::PointToLParam(S));
    }
    const THitInfo Info = HitAt(Message);
    if (SelectionOptions() & toRightClickSelect)
        HandleMouseUp(fw::mbRight, fw::KeysToShiftState(Message.WParam & 0xFFFF), Info);
    if (!FPopupMenu) DoPopupMenu(Info.HitNode, Info.HitColumn, P);
    return true;
}

bool TBaseLazyTree::WMMButtonDown(fw::TMessage& Message) {
    DoStateChange({tsMiddleButtonDown});
    if (Header() && Header()->States != 0) return true;
    fw::TCustomControl::WndProc(Message);
    const bool Panning = InState(tsWheelPanning) || InState(tsWheelScrolling);
    if ((MiscOptions() & toWheelPanning) && !Panning &&
        (static_cast<int>(FRangeX) > ClientWidth() ||
         std::int64_t{RangeY()} > RowAreaHeight())) {
        StartWheelPanning(ClientToScreen(fw::LParamToPoint(Message.LParam)));
        return true;
    }
    StopWheelPanning();
    if (SelectionOptions() & toMiddleClickSelect)
        HandleMouseDown(fw::mbMiddle, fw::KeysToShiftState(Message.WParam & 0xFFFF),
                        HitAt(Message));
    return true;
}

bool TBaseLazyTree::WMMButtonUp(fw::TMessage& Message) {
    DoStateChange({}, {tsMiddleButtonDown});
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        // A click without a drag keeps scrolling until the next press.
        if (InState(tsWheelScrolling))
            DoStateChange({}, {tsWheelPanning});
        else
            StopWheelPanning();
        return true;
    }
    if (Header() && Header()->States != 0) return true;
    fw::TCustomControl::WndProc(Message);
    if (SelectionOptions() & toMiddleClickSelect)
        HandleMouseUp(fw::mbMiddle, fw::KeysToShiftState(Message.WParam & 0xFFFF),
                      HitAt(Message));
    return true;
}

bool TBaseLazyTree::WMMouseMove(fw::TMessage& Message) {
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (MouseMoveScroll(P)) return true;
    HandleHotTrack(P.X, P.Y);
    fw::TCustomControl::WndProc(Message);
    return true;
}

bool TBaseLazyTree::WMMouseWheel(fw::TMessage& Message) {
    StopWheelPanning();
    fw::TCustomControl::WndProc(Message);
    if (Message.Result) return true;
    const auto Delta = static_cast<std::int16_t>((Message.WParam >> 16) & 0xFFFF);
    const bool Ctrl = (Message.WParam & fw::ssCtrl) != 0;
    if (std::int64_t{RangeY()} <= RowAreaHeight()) {
        std::int64_t Count = Delta / 120;
        if (Ctrl) Count *= ClientWidth();
        DoSetOffsetXY({lt::Reachable(FOffsetX + Count * FIndent), FOffsetY});
    } else {
        const int Row = static_cast<int>(std::max<std::uint32_t>(FDefaultNodeHeight, 1));
        const int Rows =
            Ctrl ? (RowAreaHeight() / Row) * (Delta / 120) : Delta * WheelScrollLines / 120;
        DoSetOffsetXY({FOffsetX, lt::Reachable(FOffsetY + std::int64_t{Rows} * Row)});
    }
    Message.Result = 1;
    return true;
}

bool TBaseLazyTree::WMMouseLeave(fw::TMessage& Message) {
    DoStateChange({}, {tsHint});
    // A rubber band holds the capture and keeps scrolling outside the window.
    if (!InState(tsWheelPanning) && !InState(tsWheelScrolling) && !InState(tsDrawSelecting) &&
        !InState(tsDrawSelPending)) {
        StopTimer(ScrollTimer);
        DoStateChange({}, {tsScrolling, tsScrollPending});
    }
    if (FHotNode) {
        PLazyNode Old = FHotNode;
        DoHotChange(Old, nullptr);
        InvalidateNode(Old);
        FHotNode = nullptr;
    }
    (void)Message;
    return false;
}

bool TBaseLazyTree::WMSetCursor(fw::TMessage& Message) {
    if (!HandleAllocated() || reinterpret_cast<fw::HWND>(Message.WParam) != Handle()) return false;
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        Message.Result = 1;
        return true;
    }
    if (fw::ScreenCursor() != fw::crDefault) return false;
    fw::TCursor C = (PaintOptions() & toHotTrack) && FHotNode ? FHotCursor : Cursor();
    DoGetCursor(C);
    fw::SetCurrentCursor(C);
    Message.Result = 1;
    return true;
}

bool TBaseLazyTree::WMTimer(fw::TMessage& Message) {
    switch (Message.WParam) {
    case SearchTimer:
        DoStateChange({}, {tsIncrementalSearching});
        StopTimer(SearchTimer);
        FSearchBuffer.clear();
        return true;
    case EditTimer:
        StopTimer(EditTimer);
        DoEdit();
        return true;
    case ExpandTimer: {
        PLazyNode Node = FExpandNode;
        StopExpandTimer();
        if (Node && (Node->States & vsHasChildren) && !(Node->States & vsExpanded))
            ToggleNode(Node);
        return true;
    }
    case ScrollTimer:
        if (InState(tsScrollPending)) {
            fw::Application()->CancelHint();
            if (HandleAllocated()) fw::SetTimer(Handle(), ScrollTimer, FAutoScrollInterval);
            DoStateChange({tsScrolling}, {tsScrollPending});
        }
        DoTimerScroll();
        return true;
    default:
        return false;
    }
}

bool TBaseLazyTree::WMSetFocus(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    if (!(FSelectionCount == 0 && (PaintOptions() & toGhostedIfUnfocused))) Invalidate();
    return true;
}

bool TBaseLazyTree::WMKillFocus(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    StopWheelPanning();
    StopExpandTimer();
    for (std::uintptr_t Id : {EditTimer, ScrollTimer, SearchTimer})
        StopTimer(Id);
    FSearchBuffer.clear();
    DoStateChange({}, {tsEditPending, tsIncrementalSearching, tsLeftButtonDown,
                       tsMiddleButtonDown, tsOLEDragPending, tsRightButtonDown, tsScrolling,
                       tsScrollPending, tsVCLDragPending});
    if (FSelectionCount == 0 && (PaintOptions() & toGhostedIfUnfocused))
        InvalidateNode(FFocusedNode);
    else
        Invalidate();
    return true;
}

bool TBaseLazyTree::WMCancelMode(fw::TMessage& Message) {
    StopExpandTimer();
    for (std::uintptr_t Id : {EditTimer, ScrollTimer, SearchTimer})
        StopTimer(Id);
    FSearchBuffer.clear();
    DoStateChange({}, {tsClearPending, tsDrawSelPending, tsDrawSelecting, tsEditPending,
                       tsIncrementalSearching, tsOLEDragPending, tsVCLDragPending});
    (void)Message;
    return false;
}

bool TBaseLazyTree::WMCreate(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    // A new window's bars follow the content and the scroll-bar options.
    if (!Loading() && FUpdateCount == 0) UpdateScrollBars(false);
    return true;
}

bool TBaseLazyTree::WMSize(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    if (InState(tsSizing) || InState(tsWindowCreating)) return true;
    if (!HandleAllocated() || ClientHeight() <= 0) {
        // No bars to follow the new size, but the offsets still must.
        if (ClientHeight() > 0) ClampOffsets();
        return true;
    }
    lt::TStateScope Sizing(*this, tsSizing, false);
    UpdateHeaderRect();
    if (Header() && (Header()->Options() & hoAutoResize))
        Header()->Columns().AdjustAutoSize(InvalidColumn);
    UpdateScrollBars(true);
    if (InState(tsEditing) && !HeaderUseColumns()) UpdateEditBounds();
    Sizing.Leave();
    return true;
}

bool TBaseLazyTree::WMScroll(fw::TMessage& Message) {
    const bool Vertical = Message.Msg == fw::WM_VSCROLL;
    const std::int64_t Offset = Vertical ? FOffsetY : FOffsetX; // the steps below worked out wide
    const int Page = Vertical ? RowAreaHeight() : ClientWidth();
    const int Line = Vertical ? ScrollBarOptions()->VerticalIncrement()
                              : ScrollBarOptions()->HorizontalIncrement();
    const std::int64_t Range = Vertical ? std::int64_t{FRoot->TotalHeight}
                                        : (HeaderUseColumns() ? Header()->Columns().TotalWidth()
                                                              : std::int64_t{FRangeX});
    std::int64_t New = Offset;
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
    case fw::SB_THUMBTRACK: {
        DoStateChange({tsThumbTracking});
        // The message carries the low 16 bits of the position; the bar, while
        // dragged, the whole tracking position.
        const int Low = static_cast<int>((Message.WParam >> 16) & 0xFFFF);
        fw::TScrollInfo Info;
        Info.fMask = fw::SIF_TRACKPOS;
        const bool Tracked =
            HandleAllocated() &&
            fw::GetScrollInfo(Handle(), Vertical ? fw::SB_VERT : fw::SB_HORZ, Info) &&
            (Info.nTrackPos & 0xFFFF) == Low;
        New = -(Tracked ? Info.nTrackPos : Low);
        break;
    }
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
        DoSetOffsetXY({FOffsetX, lt::Reachable(New)});
    else
        DoSetOffsetXY({lt::Reachable(New), FOffsetY});
    Message.Result = 0;
    return true;
}

bool TBaseLazyTree::WMEraseBkgnd(fw::TMessage& Message) {
    Message.Result = 1;
    return true;
}

bool TBaseLazyTree::WMEnable(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    Invalidate();
    return true;
}

bool TBaseLazyTree::WMContextMenu(fw::TMessage& Message) {
    DoStateChange({}, {tsClearPending, tsEditPending, tsOLEDragPending, tsVCLDragPending});
    if (InState(tsPopupMenuShown) || !FPopupMenu) return true;
    fw::TPoint S = fw::LParamToPoint(Message.LParam);
    if (Message.LParam == -1) S = ClientToScreen({0, 0});
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(S.X, S.Y);
    return true;
}

bool TBaseLazyTree::WMClipboard(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_COPY:
        CopyToClipboard();
        break;
    case fw::WM_CUT:
        CutToClipboard();
        break;
    case fw::WM_PASTE:
        PasteFromClipboard();
        break;
    default:
        DeleteSelectedNodes();
        break;
    }
    return true;
}

// A UTF-16 unit the 8-bit KeyPress cannot carry goes to the search directly.
bool TBaseLazyTree::WMChar(fw::TMessage& Message) {
    if (Message.WParam <= 0xFF || !InState(tsIncrementalSearchPending)) return false;
    lt::TStateScope Pending(*this, tsIncrementalSearchPending, false);
    HandleIncrementalSearch(static_cast<char16_t>(Message.WParam));
    Pending.Leave();
    return true;
}

bool TBaseLazyTree::WMPrint(fw::TMessage& Message) {
    if ((Message.LParam & fw::PRF_CHECKVISIBLE) && !Visible()) return false;
    auto* C = reinterpret_cast<fw::TCanvas*>(Message.WParam);
    if (C && FHeaderRect.Height() > 0 && Header())
        Header()->Columns().PaintHeader(*C, {0, 0, ClientWidth(), FHeaderRect.Height()},
                                        FOffsetX);
    return false;
}

bool TBaseLazyTree::WMPrintClient(fw::TMessage& Message) {
    if ((Message.LParam & fw::PRF_CHECKVISIBLE) && !Visible()) return true;
    auto* C = reinterpret_cast<fw::TCanvas*>(Message.WParam);
    if (!C) return true;
    // The whole content (as far as an offset reaches), at the canvas origin,
    // shifted by the scroll offsets.
    const fw::TRect Window{0, 0, std::max(ClientWidth(), static_cast<int>(FRangeX)),
                           static_cast<int>(std::min<std::int64_t>(RangeY(), MaxScrollDepth))};
    PaintTree(*C, Window, {FOffsetX, FOffsetY + RowAreaTop()},
              ipBackground | ipDrawFocusRect | ipDrawSelection | ipDrawDropMark | ipGridLines);
    return true;
}

bool TBaseLazyTree::CMLookChanged(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    PrepareBitmaps(true, false);
    if (Message.Msg != fw::CM_COLORCHANGED)
        FontChanged();
    else if (Header()) // columns with coParentColor follow the tree
        for (int I = 0; I < Header()->Columns().Count(); ++I)
            Header()->Columns()[I].ParentColorChanged();
    if (HandleAllocated()) Invalidate();
    return true;
}

void TBaseLazyTree::FontChanged() {
    if (Header() && Header()->ParentFont()) Header()->Font().Assign(Font());
}

bool TBaseLazyTree::WMSysColorChange(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    RebuildCheckImages();
    if (HandleAllocated()) Invalidate();
    return true;
}

bool TBaseLazyTree::WMNCPaint(fw::TMessage& Message) {
    if (!Message.WParam) return true;
    const auto& Target = *reinterpret_cast<const fw::TPaintTarget*>(Message.WParam);
    fw::PaintScrollBars(*this, Target);
    fw::TCanvas C;
    C.Attach(Target.Surface, Target.Origin, Target.Clip);
    PaintBorder(C);
    return true;
}

// A press on the frame or a bar focuses the tree first.
bool TBaseLazyTree::WMNCButtonDown(fw::TMessage& Message) {
    if (!fw::TComponent::InState(fw::TComponentStateItem::Designing) && CanFocus() && !Focused())
        SetFocus();
    (void)Message;
    return false;
}

bool TBaseLazyTree::CMEnabledChanged(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message); // repaints the rows
    if (fw::TComponent::InState(fw::TComponentStateItem::Designing) && HandleAllocated())
        InvalidateNonClient();
    return true;
}

bool TBaseLazyTree::CMCtl3DChanged(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    // The frame is a client edge with the 3D look, a plain border without.
    if (FBorderStyle == fw::bsSingle) RecreateWnd();
    return true;
}

bool TBaseLazyTree::CMBorderChanged(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message);
    UpdateHeaderRect();
    if (HandleAllocated() && !Loading() && FUpdateCount == 0) UpdateScrollBars(true);
    return true;
}

bool TBaseLazyTree::WMNCDestroy(fw::TMessage& Message) {
    InterruptValidation();
    StopTimer(ChangeTimer);
    StopTimer(StructureChangeTimer);
    (void)Message;
    return false;
}

bool TBaseLazyTree::CMAction(fw::TMessage& Message) {
    auto* A = reinterpret_cast<fw::TEditAction*>(Message.LParam);
    if (!A) return false;
    const bool Update = Message.Msg == fw::CM_ACTIONUPDATE;
    bool Enabled = Focused();
    switch (A->Kind()) {
    case fw::eaSelectAll:
        Enabled = Enabled && (SelectionOptions() & toMultiSelect) && TotalCount() > 0;
        if (!Update && Enabled) SelectAll(false);
        break;
    case fw::eaCopy:
        Enabled = Enabled && FSelectionCount > 0;
        if (!Update && Enabled) CopyToClipboard();
        break;
    case fw::eaCut:
    case fw::eaDelete:
        Enabled = Enabled && FSelectionCount > 0 && !ReadOnly();
        if (!Update && Enabled) {
            if (A->Kind() == fw::eaCut)
                CutToClipboard();
            else
                DeleteSelectedNodes();
        }
        break;
    case fw::eaPaste:
        Enabled = Enabled && !ReadOnly();
        if (!Update && Enabled) PasteFromClipboard();
        break;
    }
    A->SetEnabled(Enabled);
    Message.Result = 1;
    return true;
}

// --- the class library's drag --------------------------------------------------------

bool TBaseLazyTree::CMDrag(fw::TMessage& Message) {
    auto* R = reinterpret_cast<fw::TDragRec*>(Message.LParam);
    if (!R) return true;
    TBaseLazyTree* Source =
        R->Source ? dynamic_cast<TBaseLazyTree*>(R->Source->Control) : nullptr;
    const fw::TShiftState Keys = fw::KeyboardShiftState();
    std::uint32_t Effect = 0;
    if (FDragOperations & doCopy) Effect |= 1;
    if (FDragOperations & doMove) Effect |= 2;
    if (FDragOperations & doLink) Effect |= 4;
    switch (static_cast<fw::TDragMessage>(Message.WParam)) {
    case fw::dmFindTarget: {
        fw::TControl* Child = ControlAtPos(ScreenToClient(R->Pos), false, true);
        R->Target = Child ? Child : this;
        if (InState(tsVCLDragPending))
            DoStateChange({tsVCLDragging}, {tsClearPending, tsEditPending, tsVCLDragPending});
        return true;
    }
    case fw::dmDragEnter:
        DoStateChange({tsVCLDragging});
        [[fallthrough]];
    case fw::dmDragMove: {
        const fw::TPoint P = ScreenToClient(R->Pos);
        if (CanAutoScroll()) DoAutoScroll(P.X, P.Y);
        DragOver(Source, Keys, Message.WParam == static_cast<fw::WPARAM>(fw::dmDragEnter)
                                   ? dsDragEnter
                                   : dsDragMove,
                 R->Pos, Effect);
        Message.Result = (Effect & 0x7FFFFFFFu) != 0 ? 1 : 0;
        return true;
    }
    case fw::dmDragLeave:
    case fw::dmDragCancel:
        DoStateChange({}, {tsVCLDragging});
        DragOver(Source, Keys, dsDragLeave, R->Pos, Effect);
        InvalidateNode(FDropTargetNode);
        FDropTargetNode = nullptr;
        return true;
    case fw::dmDragDrop: {
        InvalidateNode(FDropTargetNode);
        DoDragDrop(Source, nullptr, {}, Keys, ScreenToClient(R->Pos), Effect, FLastDropMode);
        InvalidateNode(FDropTargetNode);
        FDropTargetNode = nullptr;
        DoStateChange({}, {tsVCLDragging});
        return true;
    }
    }
    return true;
}

bool TBaseLazyTree::CMDragStart(fw::TMessage& Message) {
    auto** Object = reinterpret_cast<fw::TDragObject**>(Message.LParam);
    fw::TCustomControl::WndProc(Message); // OnStartDrag
    if (Object && *Object) DoStateChange({tsUserDragObject});
    return true;
}

bool TBaseLazyTree::CMDragEnd(fw::TMessage& Message) {
    fw::TCustomControl::WndProc(Message); // OnEndDrag
    DragFinished();
    return true;
}

void TBaseLazyTree::DragFinished() {
    // The drag took the button's release: it is given back where the mouse is now.
    const fw::UINT Up = InState(tsRightButtonDown)    ? fw::WM_RBUTTONUP
                        : InState(tsMiddleButtonDown) ? fw::WM_MBUTTONUP
                                                      : fw::WM_LBUTTONUP;
    DoStateChange({}, {tsVCLDragging, tsVCLDragPending, tsUserDragObject});
    if (HandleAllocated())
        Perform(Up, 0, fw::PointToLParam(ScreenToClient(fw::GetCursorPos())));
}

} // namespace vel
