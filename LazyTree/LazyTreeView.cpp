// The tree's view side: header events, header rectangle, horizontal offset and
// the window procedure that lets the header see every message first.
#include "LazyTrees.h"
#include "ScrollBars.h"

#include <algorithm>

namespace vel {

// --- header event dispatchers ------------------------------------------------

void TBaseLazyTree::DoHeaderClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                  int Y) {
    if (OnHeaderClick) OnHeaderClick(Header(), Column, Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderDblClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift,
                                     int X, int Y) {
    if (OnHeaderDblClick) OnHeaderDblClick(Header(), Column, Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                      int Y) {
    if (OnHeaderMouseDown) OnHeaderMouseDown(Header(), Button, Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseMove(fw::TShiftState Shift, int X, int Y) {
    if (OnHeaderMouseMove) OnHeaderMouseMove(Header(), Shift, X, Y);
}

void TBaseLazyTree::DoHeaderMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (OnHeaderMouseUp) OnHeaderMouseUp(Header(), Button, Shift, X, Y);
}

bool TBaseLazyTree::DoHeaderDragging(int Column) {
    bool Allowed = true;
    if (OnHeaderDragging) OnHeaderDragging(Header(), Column, Allowed);
    return Allowed;
}

void TBaseLazyTree::DoHeaderDragged(int Column, int OldPosition) {
    if (OnHeaderDragged) OnHeaderDragged(Header(), Column, OldPosition);
}

void TBaseLazyTree::DoHeaderDraggedOut(int Column, fw::TPoint DropPosition) {
    if (OnHeaderDraggedOut) OnHeaderDraggedOut(Header(), Column, DropPosition);
}

void TBaseLazyTree::DoHeaderDraw(fw::TCanvas& Canvas, TLazyTreeColumn* Column, const fw::TRect& R,
                                 bool Hover, bool Pressed, TLTDropMarkMode DropMark) {
    if (OnHeaderDraw) OnHeaderDraw(Header(), Canvas, Column, R, Hover, Pressed, DropMark);
}

void TBaseLazyTree::DoHeaderDrawQueryElements(THeaderPaintInfo& PaintInfo,
                                              THeaderPaintElements& Elements) {
    if (OnHeaderDrawQueryElements) OnHeaderDrawQueryElements(Header(), PaintInfo, Elements);
}

void TBaseLazyTree::DoAdvancedHeaderDraw(THeaderPaintInfo& PaintInfo,
                                         THeaderPaintElements Elements) {
    if (OnAdvancedHeaderDraw) OnAdvancedHeaderDraw(Header(), PaintInfo, Elements);
}

void TBaseLazyTree::DoGetHeaderCursor(fw::TCursor& Cursor) {
    if (OnGetHeaderCursor) OnGetHeaderCursor(Header(), Cursor);
}

void TBaseLazyTree::DoColumnResize(int Column) {
    if (Loading() || !HandleAllocated()) return;
    // Wrapped rows get their heights measured again at the new width.
    for (PLazyNode N = GetFirstNoInit(); N; N = GetNextNoInit(N))
        if (N->States & vsMultiline) N->States &= static_cast<TLazyNodeStates>(~vsHeightMeasured);
    UpdateHorizontalScrollBar(false);
    Invalidate();
    if (OnColumnResize) OnColumnResize(Header(), Column);
}

// --- layout ------------------------------------------------------------------

void TBaseLazyTree::SetBiDiMode(TBiDiMode Value) {
    if (FBiDiMode == Value) return;
    FBiDiMode = Value;
    if (Header())
        for (int I = 0; I < Header()->Columns().Count(); ++I)
            Header()->Columns()[I].ParentBiDiModeChanged();
    Invalidate();
}

void TBaseLazyTree::UpdateHeaderRect() {
    const TLTHeader* H = Header();
    fw::TRect R{0, 0, Width(), 0};
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

bool TBaseLazyTree::DoSetOffsetXY(fw::TPoint Value) {
    const fw::TPoint Old{FOffsetX, FOffsetY};
    SetOffsetX(Value.X);
    SetOffsetY(Value.Y);
    return Old != fw::TPoint{FOffsetX, FOffsetY};
}

void TBaseLazyTree::SetOffsetXY(fw::TPoint Value) {
    SetOffsetX(Value.X);
    SetOffsetY(Value.Y);
}

} // namespace vel
