// The tree's view side: construction of the view, the view properties, header
// events, the header rectangle and the horizontal offset.
#include "LazyTreeClipboard.h"
#include "LazyTrees.h"
#include "ScrollBars.h"

#include "LazyTreeResources.h"

#include "Filer.h"
#include "Forms.h"
#include "Input.h"
#include "ScopeExit.h"
#include "Timers.h"

#include "LazyTreeInternal.h"

#include <algorithm>
#include <map>
#include <typeinfo>

namespace vel {

// --- header event dispatchers ------------------------------------------------

void TBaseLazyTree::DoHeaderClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                  int Y) {
    lt::Fire(*this, OnHeaderClick, Header(), Column, Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderDblClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift,
                                     int X, int Y) {
    lt::Fire(*this, OnHeaderDblClick, Header(), Column, Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                      int Y) {
    lt::Fire(*this, OnHeaderMouseDown, Header(), Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseMove(fw::TShiftState Shift, int X, int Y) {
    lt::Fire(*this, OnHeaderMouseMove, Header(), Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    lt::Fire(*this, OnHeaderMouseUp, Header(), Button, Shift, X, Y);
}

bool TBaseLazyTree::DoHeaderDragging(int Column) {
    bool Allowed = true;
    lt::Fire(*this, OnHeaderDragging, Header(), Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoHeaderDragged(int Column, int OldPosition) {
    lt::Fire(*this, OnHeaderDragged, Header(), Column, OldPosition);
}

void TBaseLazyTree::DoHeaderDraggedOut(int Column, fw::TPoint DropPosition) {
    lt::Fire(*this, OnHeaderDraggedOut, Header(), Column, DropPosition);
}

void TBaseLazyTree::DoHeaderDraw(fw::TCanvas& Canvas, TLazyTreeColumn* Column, const fw::TRect& R,
                                 bool Hover, bool Pressed, TLTDropMarkMode DropMark) {
    lt::Fire(*this, OnHeaderDraw, Header(), Canvas, Column, R, Hover, Pressed, DropMark);
}

void TBaseLazyTree::DoHeaderDrawQueryElements(THeaderPaintInfo& PaintInfo,
                                              THeaderPaintElements& Elements) {
    lt::Fire(*this, OnHeaderDrawQueryElements, Header(), PaintInfo, Elements);
}

void TBaseLazyTree::DoAdvancedHeaderDraw(THeaderPaintInfo& PaintInfo,
                                         THeaderPaintElements Elements) {
    lt::Fire(*this, OnAdvancedHeaderDraw, Header(), PaintInfo, Elements);
}

void TBaseLazyTree::DoGetHeaderCursor(fw::TCursor& Cursor) {
    lt::Fire(*this, OnGetHeaderCursor, Header(), Cursor);
}

void TBaseLazyTree::DoColumnResize(int Column) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // called amid column and scroll work
    if (Loading() || !HandleAllocated()) return;
    // Wrapped rows get their heights measured again at the new width.
    for (PLazyNode N = GetFirstNoInit(); N; N = GetNextNoInit(N))
        if (N->States & vsMultiline) N->States &= static_cast<TLazyNodeStates>(~vsHeightMeasured);
    UpdateHorizontalScrollBar(false);
    Invalidate();
    lt::Fire(*this, OnColumnResize, Header(), Column);
    // A running editor follows its cell (the handler may have ended the edit).
    UpdateEditBounds();
}

// --- layout ------------------------------------------------------------------

void TBaseLazyTree::SetBiDiMode(TBiDiMode Value) {
    FParentBiDiMode = false;
    ApplyBiDiMode(Value);
}

void TBaseLazyTree::ApplyBiDiMode(TBiDiMode Value) {
    if (FBiDiMode == Value) return;
    FBiDiMode = Value;
    if (Header())
        for (int I = 0; I < Header()->Columns().Count(); ++I)
            Header()->Columns()[I].ParentBiDiModeChanged();
    // The scroll bar's side is part of the window's style.
    if (HandleAllocated())
        RecreateWnd();
    else
        Invalidate();
}

void TBaseLazyTree::SetParentBiDiMode(bool Value) {
    if (FParentBiDiMode == Value) return;
    FParentBiDiMode = Value;
    // The framework's windows read left to right.
    if (Value) ApplyBiDiMode(bdLeftToRight);
}

void TBaseLazyTree::AssignFrame(const TBaseLazyTree& Source) {
    SetBevelEdges(Source.BevelEdges());
    SetBevelInner(Source.BevelInner());
    SetBevelKind(Source.BevelKind());
    SetBevelOuter(Source.BevelOuter());
    SetBevelWidth(Source.BevelWidth());
    SetBiDiMode(Source.BiDiMode());
    SetBorderStyle(Source.BorderStyle());
    SetBorderWidth(Source.BorderWidth());
}

void TBaseLazyTree::UpdateHeaderRect() {
    // As wide as the window inside its border, bevels and border width (over the scroll bar too).
    const TLTHeader* H = Header();
    const fw::TRect F = FrameInsets();
    fw::TRect R{0, 0, Width() - F.Left - F.Right, 0};
    if (H && (H->Options() & hoVisible) && R.Right > 0)
        R.Bottom = static_cast<int>(std::min<unsigned>(H->Height(), 1u << 15));
    if (R.Right < 0) R = {};
    FHeaderRect = R;
    if (Header()) Header()->Columns().UpdateSpringColumns(R.Width());
}

void TBaseLazyTree::HeaderLoaded() {
    TLTHeader* H = Header();
    if (!H) return;
    const int Count = H->Columns().Count();
    H->SetMainColumn(Count ? std::clamp(H->RawMainColumn(), 0, Count - 1) : NoColumn);
    H->Columns().FixPositions();
    H->RecalculateHeader();
    if (H->Options() & hoAutoResize) H->Columns().AdjustAutoSize(InvalidColumn, true);
}

int TBaseLazyTree::RowAreaTop() const {
    return std::max(0, FHeaderRect.Height());
}

int TBaseLazyTree::RowAreaHeight() const {
    return std::max(0, ClientHeight() - RowAreaTop());
}

std::unique_ptr<TLazyTreeColumn> TBaseLazyTree::GetColumnClass(TLazyTreeColumns* Collection) {
    return std::make_unique<TLazyTreeColumn>(Collection);
}

void TBaseLazyTree::MainColumnChanged() {}

void TBaseLazyTree::UpdateHorizontalScrollBar(bool DoRepaint) {
    if (HandleAllocated()) UpdateRangeX();
    // The offset stays inside the content once the columns got narrower.
    if (HandleAllocated())
        UpdateScrollBar(fw::SB_HORZ, DoRepaint);
    else
        SetOffsetX(FOffsetX);
    if (DoRepaint && HandleAllocated()) Invalidate();
}

void TBaseLazyTree::UpdateVerticalScrollBar(bool DoRepaint) {
    UpdateScrollBars(DoRepaint);
}

void TBaseLazyTree::SetOffsetX(int Value) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // called amid column and scroll work
    const int Range = Header() && Header()->Columns().Count() > 0 ? Header()->Columns().TotalWidth()
                                                                  : static_cast<int>(FRangeX);
    const int MinX = std::min(0, ClientWidth() - Range);
    const int V = std::clamp(Value, MinX, 0);
    if (V == FOffsetX) return;
    const int Delta = V - FOffsetX;
    FOffsetX = V;
    if (HandleAllocated() && !InState(tsThumbTracking))
        fw::SetScrollPos(Handle(), fw::SB_HORZ, -FOffsetX, true);
    DoScroll(Delta, 0);
    if (HandleAllocated()) Invalidate();
}

bool TBaseLazyTree::DoSetOffsetXY(fw::TPoint Value, TScrollUpdateOptions Options,
                                  const fw::TRect* ClipRect) {
    lt::TBusyScope Busy(*this);
    const int RangeW = Header() && Header()->Columns().Count() > 0
                           ? Header()->Columns().TotalWidth()
                           : static_cast<int>(FRangeX);
    const int X = std::clamp(Value.X, std::min(0, ClientWidth() - RangeW), 0);
    const int Y = std::clamp(Value.Y, MinOffsetY(), 0);
    const int DX = X - FOffsetX, DY = Y - FOffsetY;
    if (DX == 0 && DY == 0) return false;
    FOffsetX = X;
    FOffsetY = Y;
    fw::Application()->CancelHint();
    if (HandleAllocated()) {
        if (FUpdateCount > 0)
            Invalidate(); // the update's end paints it all
        else
            ShowScrolled(DX, DY, Options, ClipRect);
    }
    const fw::TPoint P = ScreenToClient(fw::GetCursorPos());
    if (HandleAllocated() && ClientRect().Contains(P)) HandleHotTrack(P.X, P.Y);
    DoScroll(DX, DY);
    return true;
}

void TBaseLazyTree::ShowScrolled(int DX, int DY, TScrollUpdateOptions Options,
                                 const fw::TRect* ClipRect) {
    const bool Sizing = InState(tsSizing);
    const bool Tracking = InState(tsThumbTracking);
    if (Options & suoScrollClientArea) {
        const bool Picture = (PaintOptions() & toShowBackground) && Background().HasGraphic() &&
                             !Background().Bitmap().Empty();
        // A background picture stays where it is: everything on it is painted again.
        if (Picture)
            Invalidate();
        else
            fw::ScrollWindowArea(this, ClipRect ? *ClipRect
                                                : fw::TRect{0, RowAreaTop(), ClientWidth(),
                                                            ClientHeight()},
                                 DX, DY);
    }
    const bool Repaint = (Options & suoRepaintScrollBars) != 0;
    if (!(Options & suoUpdateNCArea)) return;
    if (DX != 0) {
        if ((Options & suoRepaintHeader) && HeaderRect().Height() > 0) InvalidateRect(HeaderRect());
        if (!Sizing && !Tracking && fw::HasHorzScrollBar(ScrollBarOptions()->ScrollBars()))
            fw::SetScrollPos(Handle(), fw::SB_HORZ, -FOffsetX, Repaint);
    }
    if (DY != 0 && !Sizing && !Tracking) {
        fw::SetScrollPos(Handle(), fw::SB_VERT, -FOffsetY, Repaint);
        // Rows of other widths came into view: the horizontal range follows them.
        if (!InState(tsDrawSelecting) && !(Header() && (Header()->States & hrsDragging)))
            UpdateHorizontalScrollBar(false);
    }
}

void TBaseLazyTree::SetOffsetXY(fw::TPoint Value) {
    SetOffsetX(Value.X);
    SetOffsetY(Value.Y);
}

} // namespace vel

namespace vel {

// --- construction ------------------------------------------------------------

std::unique_ptr<TLTHeader> TBaseLazyTree::GetHeaderClass() {
    return std::make_unique<TLTHeader>(this);
}

std::unique_ptr<TCustomLazyTreeOptions> TBaseLazyTree::GetOptionsClass() {
    return std::make_unique<TCustomLazyTreeOptions>(this);
}

namespace {

// Whether two objects are of one class (the queries may answer the class there is).
template <class T> bool SameClass(const T* A, const T* B) {
    return A && B && typeid(*A) == typeid(*B);
}

} // namespace

void TBaseLazyTree::AdoptClassObjects() {
    std::unique_ptr<TCustomLazyTreeOptions> Options = GetOptionsClass();
    if (Options && !SameClass(Options.get(), FOptions.get())) {
        FOptions->AssignTo(*Options);
        FOptions = std::move(Options);
    }
    std::unique_ptr<TLTHeader> H = GetHeaderClass();
    if (H && !SameClass(H.get(), FHeader.get())) {
        H->AdoptColumnsClass();
        H->Assign(*FHeader);
        FHeader = std::move(H);
    } else {
        FHeader->AdoptColumnsClass();
    }
}

void TBaseLazyTree::AfterConstruction() {
    fw::TCustomControl::AfterConstruction();
    AdoptClassObjects();
}

void TBaseLazyTree::InitializeView() {
    InitializeGlobalStructures();
    ClipboardFormatRegistry(); // the first tree registers the formats
    SetControlStyle((ControlStyle() | fw::csCaptureMouse | fw::csOpaque | fw::csReplicatable |
                     fw::csDoubleClicks | fw::csNonClientFrame) &
                    ~fw::csSetCaption);
    auto Repaint = [this](fw::TObject*) {
        if (HandleAllocated() && !Loading()) Invalidate();
    };
    FImageChangeLink.OnChange = Repaint;
    FStateChangeLink.OnChange = Repaint;
    FCustomCheckChangeLink.OnChange = Repaint;
    FCheckImages = CheckImageList(FCheckImageKind);
    PrepareBitmaps(true, true);
}

void TBaseLazyTree::CreateParams(fw::TCreateParams& Params) {
    fw::TCustomControl::CreateParams(Params);
    Params.WindowClassStyle &= ~(fw::CS_HREDRAW | fw::CS_VREDRAW);
    if (MiscOptions() & toFullRepaintOnResize)
        Params.WindowClassStyle |= fw::CS_HREDRAW | fw::CS_VREDRAW;
    Params.Style |= fw::WS_CLIPCHILDREN | fw::WS_CLIPSIBLINGS;
    if (fw::HasHorzScrollBar(FScrollBarOptions->ScrollBars())) Params.Style |= fw::WS_HSCROLL;
    if (fw::HasVertScrollBar(FScrollBarOptions->ScrollBars())) Params.Style |= fw::WS_VSCROLL;
    // A single border is a client edge with the 3D look, a plain border without.
    if (FBorderStyle == fw::bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= fw::WS_EX_CLIENTEDGE;
        else
            Params.Style |= fw::WS_BORDER;
    }
    if (FBiDiMode != bdLeftToRight) Params.ExStyle |= fw::WS_EX_LEFTSCROLLBAR;
}

void TBaseLazyTree::CreateWnd() {
    DoStateChange({tsWindowCreating});
    fw::TScopeExit Created([this] { DoStateChange({}, {tsWindowCreating}); });
    fw::TCustomControl::CreateWnd();
    // No theme services here: the tree never uses themes.
    DoStateChange({}, {tsUseThemes});
    if (FHeader && (FHeader->Options() & hoAutoResize))
        FHeader->Columns().AdjustAutoSize(InvalidColumn, true);
    PrepareBitmaps(true, true);
    UpdateHeaderRect();
    Created.Leave();
    // A bar shown while the window was being made narrowed the client: the other may follow.
    if (!Loading() && FUpdateCount == 0) UpdateScrollBars(false);
    // The window hears the worker: the position cache can be built now.
    MarkValidationNeeded();
    if (FUpdateCount == 0) InvalidateCache();
}

void TBaseLazyTree::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    fw::TCustomControl::Notification(AComponent, Operation);
    if (Operation != fw::TOperation::Remove) return;
    bool Changed = false;
    if (AComponent == FImages) {
        FImages = nullptr;
        Changed = true;
    }
    if (AComponent == FStateImages) {
        FStateImages = nullptr;
        Changed = true;
    }
    if (AComponent == FCustomCheckImages) {
        if (FCheckImages == FCustomCheckImages) FCheckImages = nullptr;
        FCustomCheckImages = nullptr;
        Changed = true;
    }
    if (AComponent == FPopupMenu) FPopupMenu = nullptr;
    if (FHeader && AComponent == FHeader->Images()) FHeader->SetImages(nullptr);
    if (FHeader && AComponent == FHeader->PopupMenu()) FHeader->SetPopupMenu(nullptr);
    if (Changed && HandleAllocated() && !Destroying()) Invalidate();
}

// --- the property table's view rows -------------------------------------------

namespace {

// Repaints a live tree (a window, not loading).
void RepaintLive(TBaseLazyTree& T) {
    if (T.HandleAllocated() && !T.IsLoading()) T.Invalidate();
}

// Moves a change link and the free notification from the old list to the new one.
void Relink(TBaseLazyTree& T, fw::TImageList*& Field, fw::TImageList* Value,
            fw::TChangeLink& Link) {
    if (Field) {
        Field->UnRegisterChanges(&Link);
        T.RemoveFreeNotification(Field);
    }
    Field = Value;
    if (Field) {
        Field->RegisterChanges(&Link);
        T.FreeNotification(Field);
    }
}

} // namespace

void TBaseLazyTree::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    if (!IsLoading()) Invalidate();
}

void TBaseLazyTree::SetBackground(const fw::TBitmap* Value) {
    FBackground.Assign(Value);
    RepaintLive(*this);
}

void TBaseLazyTree::SetBackgroundOffsetX(int Value) {
    if (FBackgroundOffsetX == Value) return;
    FBackgroundOffsetX = Value;
    RepaintLive(*this);
}

void TBaseLazyTree::SetBackgroundOffsetY(int Value) {
    if (FBackgroundOffsetY == Value) return;
    FBackgroundOffsetY = Value;
    RepaintLive(*this);
}

void TBaseLazyTree::SetBorderStyle(fw::TBorderStyle Value) {
    if (FBorderStyle == Value) return;
    FBorderStyle = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TBaseLazyTree::SetButtonFillMode(TLTButtonFillMode Value) {
    if (FButtonFillMode == Value) return;
    FButtonFillMode = Value;
    PrepareBitmaps(true, false);
    RepaintLive(*this);
}

void TBaseLazyTree::SetButtonStyle(TLTButtonStyle Value) {
    if (FButtonStyle == Value) return;
    FButtonStyle = Value;
    PrepareBitmaps(true, false);
    RepaintLive(*this);
}

void TBaseLazyTree::SetCheckImageKind(TCheckImageKind Value) {
    if (FCheckImageKind == Value) return;
    FCheckImageKind = Value;
    fw::TImageList* Shared = CheckImageList(Value);
    FCheckImages = Shared ? Shared : FCustomCheckImages;
    if (HandleAllocated() && FUpdateCount == 0 && !IsLoading()) Invalidate();
}

void TBaseLazyTree::SetCustomCheckImages(fw::TImageList* Value) {
    if (FCustomCheckImages == Value) return;
    if (FCheckImages == FCustomCheckImages) FCheckImages = nullptr;
    Relink(*this, FCustomCheckImages, Value, FCustomCheckChangeLink);
    if (!CheckImageList(FCheckImageKind)) FCheckImages = FCustomCheckImages;
    if (!FCheckImages) FCheckImages = CheckImageList(FCheckImageKind);
    RepaintLive(*this);
}

void TBaseLazyTree::SetClipboardFormats(const TClipboardFormats& Value) {
    FClipboardFormats.Clear();
    for (const std::string& Name : Value.Names())
        FClipboardFormats.Add(Name);
}

void TBaseLazyTree::SetImages(fw::TImageList* Value) {
    if (FImages == Value) return;
    Relink(*this, FImages, Value, FImageChangeLink);
    RepaintLive(*this);
}

void TBaseLazyTree::SetStateImages(fw::TImageList* Value) {
    if (FStateImages == Value) return;
    Relink(*this, FStateImages, Value, FStateChangeLink);
    RepaintLive(*this);
}

void TBaseLazyTree::SetLineMode(TLTLineMode Value) {
    if (FLineMode == Value) return;
    FLineMode = Value;
    RepaintLive(*this);
}

void TBaseLazyTree::SetLineStyle(TLTLineStyle Value) {
    if (FLineStyle == Value) return;
    FLineStyle = Value;
    PrepareBitmaps(false, true);
    RepaintLive(*this);
}

void TBaseLazyTree::SetNodeAlignment(TLTNodeAlignment Value) {
    if (FNodeAlignment == Value) return;
    FNodeAlignment = Value;
    RepaintLive(*this);
}

void TBaseLazyTree::SetSelectionCurveRadius(std::uint32_t Value) {
    if (FSelectionCurveRadius == Value) return;
    FSelectionCurveRadius = Value;
    RepaintLive(*this);
}

void TBaseLazyTree::SetIncrementalSearch(TLTIncrementalSearch Value) {
    if (FIncrementalSearch == Value) return;
    FIncrementalSearch = Value;
    if (Value != TLTIncrementalSearch::isNone) return;
    StopTimer(SearchTimer);
    FSearchBuffer.clear();
    DoStateChange({}, {tsIncrementalSearching, tsIncrementalSearchPending});
}

void TBaseLazyTree::ReadOldOptions(const std::vector<std::string>& Identifiers) {
    struct TOld {
        int Set; // 0 animation, 1 auto, 2 misc, 3 paint, 4 selection
        std::uint32_t Bit;
    };
    // A constant table: nothing to free when the module holding the trees unloads.
    static constexpr std::pair<const char*, TOld> Names[] = {
        {"voAcceptOLEDrop", {2, toAcceptOLEDrop}},
        {"voAnimatedToggle", {0, toAnimatedToggle}},
        {"voAutoDropExpand", {1, toAutoDropExpand}},
        {"voAutoExpand", {1, toAutoExpand}},
        {"voAutoScroll", {1, toAutoScroll}},
        {"voAutoSort", {1, toAutoSort}},
        {"voAutoSpanColumns", {1, toAutoSpanColumns}},
        {"voAutoTristateTracking", {1, toAutoTristateTracking}},
        {"voCheckSupport", {2, toCheckSupport}},
        {"voDisableDrawSelection", {4, toDisableDrawSelection}},
        {"voEditable", {2, toEditable}},
        {"voExtendedFocus", {4, toExtendedFocus}},
        {"voFullRowSelect", {4, toFullRowSelect}},
        {"voGridExtensions", {2, toGridExtensions}},
        {"voHideFocusRect", {3, toHideFocusRect}},
        {"voHideSelection", {3, toHideSelection}},
        {"voHotTrack", {3, toHotTrack}},
        {"voInitOnSave", {2, toInitOnSave}},
        {"voLevelSelectConstraint", {4, toLevelSelectConstraint}},
        {"voMiddleClickSelect", {4, toMiddleClickSelect}},
        {"voMultiSelect", {4, toMultiSelect}},
        {"voRightClickSelect", {4, toRightClickSelect}},
        {"voPopupMode", {3, toPopupMode}},
        {"voShowBackground", {3, toShowBackground}},
        {"voShowButtons", {3, toShowButtons}},
        {"voShowDropmark", {3, toShowDropmark}},
        {"voShowHorzGridLines", {3, toShowHorzGridLines}},
        {"voShowRoot", {3, toShowRoot}},
        {"voShowTreeLines", {3, toShowTreeLines}},
        {"voShowVertGridLines", {3, toShowVertGridLines}},
        {"voSiblingSelectConstraint", {4, toSiblingSelectConstraint}},
        {"voToggleOnDblClick", {2, toToggleOnDblClick}},
    };
    std::uint32_t Sets[5] = {};
    for (const std::string& Name : Identifiers)
        for (const auto& [Key, Old] : Names)
            if (Name == Key) Sets[Old.Set] |= Old.Bit;
    FOptions->SetAnimationOptions(Sets[0]);
    FOptions->SetAutoOptions(Sets[1]);
    FOptions->SetMiscOptions(Sets[2]);
    FOptions->SetPaintOptions(Sets[3]);
    FOptions->SetSelectionOptions(Sets[4]);
}

} // namespace vel

namespace vel {

// --- focus, scaling and stored extras ---------------------------------------------------------

bool TBaseLazyTree::CanFocus() const {
    if (!fw::TCustomControl::CanFocus()) return false;
    if (fw::TComponent::InState(fw::TComponentStateItem::Designing)) return true;
    const fw::TCustomForm* Form = fw::GetParentForm(this);
    return !Form || (Form->CanFocus() && Form->Visible());
}

void TBaseLazyTree::ChangeScale(int M, int D) {
    if ((AutoOptions() & toAutoChangeScale) && M != D && D != 0 &&
        (!Loading() || InState(tsNeedScale))) {
        const std::int64_t Height = static_cast<std::int64_t>(FDefaultNodeHeight) * M / D;
        SetDefaultNodeHeight(static_cast<std::uint32_t>(std::clamp<std::int64_t>(Height, 1, 0xFFFF)));
        DoStateChange({}, {tsNeedScale});
        if (Header()) Header()->ChangeScale(M, D);
    }
    fw::TCustomControl::ChangeScale(M, D);
}

void TBaseLazyTree::DefineProperties(fw::TFiler& Filer) {
    fw::TCustomControl::DefineProperties(Filer);
    // The columns go out when the header may write them and, beside an
    // ancestor tree, only when they differ from its columns.
    bool WriteColumns = Header() && Header()->CanWriteColumns();
    if (WriteColumns)
        if (const auto* Ancestor = dynamic_cast<const TBaseLazyTree*>(Filer.Ancestor());
            Ancestor && Ancestor->Header())
            WriteColumns = !Header()->Columns().Equals(Ancestor->Header()->Columns());
    Filer.DefineBinaryProperty(
        "Columns", [this](TStream& S) { ReadColumns(S); },
        [this](TStream& S) {
            S.WriteI32(ColumnStreamVersion);
            Header()->Columns().SaveToStream(S);
        },
        WriteColumns);
    Filer.DefineProperty(
        "Options",
        [this](const fw::TFilerValue& Value) {
            const auto* Names = std::get_if<std::vector<std::string>>(&Value);
            if (!Names) throw EReadError("Stream read error: Options is a set");
            ReadOldOptions(*Names);
        },
        nullptr, false);
}

void TBaseLazyTree::ReadColumns(TStream& S) {
    if (!Header()) return;
    const int Version = S.ReadI32();
    if (Version < -1 || Version > ColumnStreamVersion)
        throw EReadError("Stream read error: unknown column version");
    // A damaged stream leaves the columns that were there.
    TMemoryStream Saved;
    Header()->Columns().SaveToStream(Saved);
    try {
        Header()->Columns().LoadFromStream(S, Version);
    } catch (...) {
        Saved.SetPosition(0);
        Header()->Columns().LoadFromStream(Saved, ColumnStreamVersion);
        throw;
    }
}

} // namespace vel
