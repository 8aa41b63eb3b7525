// Rubber-band selection, auto-scroll at the edges, middle-button wheel panning
// and expanding the node under a drag after a delay.
#include "Input.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeInternal.h"
#include "LazyTreeResources.h"
#include "Screen.h"
#include "Timers.h"

#include <algorithm>
#include <cstdlib>

namespace vel {

namespace {

// The platform's drag threshold: a band or a held panning starts beyond it.
constexpr int RubberBandThreshold = 4;
// Panning ignores this much movement around its start point.
constexpr int PanningDeadZone = 8;
constexpr int PanningInterval = 20;

fw::TRect Normalized(fw::TRect R) {
    if (R.Left > R.Right) std::swap(R.Left, R.Right);
    if (R.Top > R.Bottom) std::swap(R.Top, R.Bottom);
    return R;
}

// Rectangles that touch a band also count, so a zero-width band still catches a row.
bool Touches(const fw::TRect& Band, const fw::TRect& R) {
    return Band.Left <= R.Right && R.Left <= Band.Right && Band.Top < R.Bottom &&
           R.Top <= Band.Bottom && !(Band.Left == Band.Right && Band.Top == Band.Bottom);
}

} // namespace

// --- rubber band -----------------------------------------------------------------

bool TBaseLazyTree::HandleDrawSelection(int, int) {
    lt::TBusyScope Busy(*this);
    if (!InState(tsDrawSelecting) || TotalCount() < 2) return false;
    const fw::TRect OldBand = Normalized(FOldRect);
    const fw::TRect NewBand = Normalized(FNewRect);
    const int Top = std::min(OldBand.Top, NewBand.Top);
    const int Bottom = std::max(OldBand.Bottom, NewBand.Bottom);
    int NodeTop = 0;
    PLazyNode Run = GetNodeAt(0, Top, false, NodeTop);
    const bool Toggle = (FDrawSelShiftState & fw::ssCtrl) != 0;
    const bool Simple = (SelectionOptions() & toSimpleDrawSelection) != 0;
    const int RowWidth = std::max(ClientWidth(), static_cast<int>(FRangeX));
    std::vector<PLazyNode> Added;
    bool Changed = false;
    while (Run && NodeTop <= Bottom) {
        fw::TRect R{0, NodeTop, RowWidth, NodeTop + static_cast<int>(GetNodeHeight(Run))};
        if (!Simple) {
            fw::TRect T =
                GetDisplayRect(Run, HeaderUseColumns() ? HeaderMainColumn() : NoColumn, true, true);
            R.Left = T.Left - FOffsetX;
            R.Right = T.Right - FOffsetX;
        }
        const bool WasIn = Touches(OldBand, R);
        const bool IsIn = Touches(NewBand, R);
        if (WasIn != IsIn) {
            const bool Selected = (Run->States & vsSelected) != 0;
            const bool Want = Toggle ? !Selected : IsIn;
            if (Want && !Selected)
                Added.push_back(Run);
            else if (!Want && Selected) {
                RemoveFromSelection(Run);
                Changed = true;
            }
        }
        NodeTop = R.Bottom;
        Run = GetNextVisible(Run);
    }
    if (!Added.empty()) {
        TNodeArray Nodes(Added.begin(), Added.end());
        AddToSelection(Nodes, static_cast<int>(Nodes.size()));
        Changed = true;
    }
    return Changed;
}

// --- auto-scroll -----------------------------------------------------------------

bool TBaseLazyTree::CanAutoScroll() const {
    const bool Panning = InState(tsWheelPanning) || InState(tsWheelScrolling);
    if (!(AutoOptions() & toAutoScroll) && !Panning) return false;
    if (Header() && (Header()->States & hrsDragging)) return false;
    const bool DropTarget = FDragManager && FDragManager->GetIsDropTarget();
    return InState(tsDrawSelPending) || InState(tsDrawSelecting) || InState(tsOLEDragging) ||
           DropTarget || InState(tsVCLDragging) || Panning;
}

TBaseLazyTree::TScrollDirections TBaseLazyTree::DetermineScrollDirections(int X, int Y) {
    TScrollDirections D = 0;
    if (!CanAutoScroll()) return D;
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        if (X < FLastClickPos.X - PanningDeadZone) D |= sdLeft;
        if (X > FLastClickPos.X + PanningDeadZone) D |= sdRight;
        if (Y < FLastClickPos.Y - PanningDeadZone) D |= sdUp;
        if (Y > FLastClickPos.Y + PanningDeadZone) D |= sdDown;
        return D;
    }
    const int Edge = static_cast<int>(FDefaultNodeHeight);
    const int RangeW =
        HeaderUseColumns() ? Header()->Columns().TotalWidth() : static_cast<int>(FRangeX);
    const int RowY = Y - RowAreaTop();
    if (X < Edge && FOffsetX < 0) D |= sdLeft;
    if (X > ClientWidth() - Edge && ClientWidth() - FOffsetX < RangeW) D |= sdRight;
    if (RowY < Edge && FOffsetY < 0) D |= sdUp;
    if (RowY > RowAreaHeight() - Edge &&
        static_cast<std::int64_t>(RowAreaHeight()) - FOffsetY < static_cast<std::int64_t>(RangeY()))
        D |= sdDown;
    return D;
}

void TBaseLazyTree::DoAutoScroll(int X, int Y) {
    FScrollDirections = DetermineScrollDirections(X, Y);
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) return;
    if (FScrollDirections != 0) {
        if (!InState(tsScrolling) && !InState(tsScrollPending)) {
            DoStateChange({tsScrollPending});
            if (HandleAllocated()) fw::SetTimer(Handle(), ScrollTimer, FAutoScrollDelay);
        }
    } else if (InState(tsScrolling) || InState(tsScrollPending)) {
        StopTimer(ScrollTimer);
        DoStateChange({}, {tsScrolling, tsScrollPending});
    }
}

bool TBaseLazyTree::DoTimerScroll() {
    const fw::TPoint P = ScreenToClient(fw::GetCursorPos());
    const bool Panning = InState(tsWheelPanning) || InState(tsWheelScrolling);
    const bool Band = InState(tsDrawSelecting) || InState(tsDrawSelPending);
    FScrollDirections = DetermineScrollDirections(P.X, P.Y);
    int DX = 0, DY = 0;
    if (Panning) {
        const int OffX = P.X - FLastClickPos.X, OffY = P.Y - FLastClickPos.Y;
        if (std::abs(OffX) > PanningDeadZone)
            DX = OffX > 0 ? -(OffX - PanningDeadZone) : -(OffX + PanningDeadZone);
        if (std::abs(OffY) > PanningDeadZone)
            DY = OffY > 0 ? -(OffY - PanningDeadZone) : -(OffY + PanningDeadZone);
    } else {
        const bool Inside =
            P.X >= 0 && P.Y >= RowAreaTop() && P.X < ClientWidth() && P.Y < ClientHeight();
        if (Inside || Band) {
            const int VInc =
                std::min<int>(ScrollBarOptions()->VerticalIncrement(), RowAreaHeight());
            const int HInc = ScrollBarOptions()->HorizontalIncrement();
            // Farther outside the window scrolls faster.
            const int FX = P.X < 0 ? -P.X : (P.X >= ClientWidth() ? P.X - ClientWidth() + 1 : 1);
            const int FY = P.Y < RowAreaTop()
                               ? RowAreaTop() - P.Y
                               : (P.Y >= ClientHeight() ? P.Y - ClientHeight() + 1 : 1);
            if (FScrollDirections & sdLeft) DX = HInc * FX;
            if (FScrollDirections & sdRight) DX = -HInc * FX;
            if (FScrollDirections & sdUp) DY = VInc * FY;
            if (FScrollDirections & sdDown) DY = -VInc * FY;
        }
    }
    if (DX != 0 || DY != 0) {
        DoSetOffsetXY({FOffsetX + DX, FOffsetY + DY});
        if (InState(tsDrawSelecting) && UpdateDrawSelection(P.X, P.Y)) {
            HandleDrawSelection(P.X, P.Y);
            Invalidate();
        }
    }
    if (FScrollDirections == 0 && !Panning) {
        StopTimer(ScrollTimer);
        DoStateChange({}, {tsScrolling, tsScrollPending});
        return false;
    }
    return true;
}

// --- wheel panning -----------------------------------------------------------------

void TBaseLazyTree::StartWheelPanning(fw::TPoint Position) {
    StopTimer(ScrollTimer);
    DoStateChange({tsWheelPanning}, {tsScrolling, tsScrollPending});
    const bool CanX = static_cast<int>(FRangeX) > ClientWidth();
    const bool CanY = std::int64_t{RangeY()} > RowAreaHeight();
    if (!FPanningWindow) {
        FPanningWindow = fw::CreateWindowHandle(
            [](fw::HWND, fw::UINT, fw::WPARAM, fw::LPARAM) -> fw::LRESULT { return 0; },
            HandleAllocated() ? Handle() : nullptr, fw::WS_POPUP);
    }
    FPanningCursor = CanX && CanY ? "LT_MOVEALL" : (CanX ? "LT_MOVEEW" : "LT_MOVENS");
    ShowPanningImage(FPanningCursor, Position);
    FLastClickPos = ScreenToClient(Position);
    if (CanFocus() && !Focused()) SetFocus();
    SetMouseCapture(true);
    DoStateChange({tsWheelScrolling});
    if (HandleAllocated()) fw::SetTimer(Handle(), ScrollTimer, PanningInterval);
}

void TBaseLazyTree::StopWheelPanning() {
    if (!InState(tsWheelPanning) && !InState(tsWheelScrolling)) return;
    StopTimer(ScrollTimer);
    SetMouseCapture(false);
    DoStateChange({}, {tsWheelPanning, tsWheelScrolling});
    if (FPanningWindow) {
        fw::HWND W = FPanningWindow;
        FPanningWindow = nullptr;
        fw::DestroyWindowHandle(W);
    }
    ShowPanningImage({}, {});
    FPanningCursor.clear();
}

// The 32 x 32 picture centred on the panning start, its magenta pixels left
// out; an empty name takes it away.
void TBaseLazyTree::ShowPanningImage(const std::string& Name, fw::TPoint Centre) {
    if (FPanningOverlay) fw::RemoveScreenOverlay(FPanningOverlay);
    FPanningOverlay = 0;
    FPanningImage.reset();
    if (Name.empty()) return;
    FPanningImage = LoadPanningImage(Name);
    const std::vector<bool> Region = CreatePanningRegion(*FPanningImage);
    fw::TSurface Picture = FPanningImage->Surface();
    for (std::size_t I = 0; I < Picture.Pixels.size(); ++I)
        Picture.Pixels[I] = Region[I] ? (Picture.Pixels[I] | 0xFF000000u) : 0u;
    FPanningOverlay = fw::AddScreenOverlay(
        Picture, {Centre.X - Picture.Width / 2, Centre.Y - Picture.Height / 2});
}

void TBaseLazyTree::AdjustPanningCursor(int X, int Y) {
    const bool CanX = static_cast<int>(FRangeX) > ClientWidth();
    const bool CanY = std::int64_t{RangeY()} > RowAreaHeight();
    const int DX = X - FLastClickPos.X, DY = Y - FLastClickPos.Y;
    std::string V, H;
    if (CanY && DY < -PanningDeadZone) V = "N";
    if (CanY && DY > PanningDeadZone) V = "S";
    if (CanX && DX < -PanningDeadZone) H = "W";
    if (CanX && DX > PanningDeadZone) H = "E";
    if (V.empty() && H.empty())
        FPanningCursor = CanX && CanY ? "LT_MOVEALL" : (CanX ? "LT_MOVEEW" : "LT_MOVENS");
    else
        FPanningCursor = "LT_MOVE" + V + H;
}

bool TBaseLazyTree::MouseMoveScroll(fw::TPoint P) {
    lt::TBusyScope Busy(*this);
    if (InState(tsDrawSelPending)) {
        if (std::abs(P.X - FLastClickPos.X) <= RubberBandThreshold &&
            std::abs(P.Y - FLastClickPos.Y) <= RubberBandThreshold)
            return true;
        DoStateChange({tsDrawSelecting}, {tsDrawSelPending});
        UpdateDrawSelection(P.X, P.Y);
        HandleDrawSelection(P.X, P.Y);
        Invalidate();
        if (CanAutoScroll()) DoAutoScroll(P.X, P.Y);
        return true;
    }
    if (InState(tsWheelScrolling) && InState(tsWheelPanning) &&
        (std::abs(P.X - FLastClickPos.X) > RubberBandThreshold ||
         std::abs(P.Y - FLastClickPos.Y) > RubberBandThreshold))
        DoStateChange({}, {tsWheelScrolling}); // held and dragged: the release ends it
    if (CanAutoScroll()) DoAutoScroll(P.X, P.Y);
    if (InState(tsWheelPanning) || InState(tsWheelScrolling)) {
        AdjustPanningCursor(P.X, P.Y);
        return true;
    }
    if (!InState(tsDrawSelecting)) return false;
    if (!InState(tsScrolling) && UpdateDrawSelection(P.X, P.Y)) {
        HandleDrawSelection(P.X, P.Y);
        Invalidate();
    }
    return true;
}

// --- ranges and offsets -----------------------------------------------------------

void TBaseLazyTree::UpdateRangeX() {
    const int Range = HeaderUseColumns() ? Header()->Columns().TotalWidth() : GetMaxRightExtend();
    FRangeX = static_cast<std::uint32_t>(std::max(Range, 0));
}

void TBaseLazyTree::ClampOffsets() {
    SetOffsetX(FOffsetX);
    SetOffsetY(FOffsetY);
}

fw::TRect TBaseLazyTree::ScrollTargetRect(PLazyNode Node) {
    const bool Grid = (MiscOptions() & toGridExtensions) != 0;
    return GetDisplayRect(Node, HeaderUseColumns() ? FFocusedColumn : NoColumn, !Grid, !Grid);
}

void TBaseLazyTree::ScrollRowIntoView(PLazyNode Node, bool Center) {
    // A horizontal bar that the move brings up shortens the rows' area: place
    // the row once more in what is left.
    for (int Pass = 0; Pass < 2; ++Pass) {
        const int H = RowAreaHeight();
        const fw::TRect R = fw::OffsetRect(ScrollTargetRect(Node), 0, -RowAreaTop());
        if (R.Bottom <= R.Top) return;
        std::int64_t Y = FOffsetY;
        if (R.Top < 0)
            Y = Y - R.Top + (Center ? H / 2 : 0);
        else if (R.Bottom > H || Center)
            Y = Y - R.Bottom + (Center ? H / 2 : H);
        DoSetOffsetXY({FOffsetX, lt::Reachable(Y)});
        if (RowAreaHeight() == H) return;
    }
}

bool TBaseLazyTree::ScrollIntoViewHorizontally(PLazyNode Node) {
    const fw::TRect R = ScrollTargetRect(Node);
    if (R.IsEmpty() || (R.Right <= ClientWidth() && R.Left >= 0)) return false;
    UpdateRangeX();
    return DoSetOffsetXY({ClientWidth() / 2 - (-FOffsetX + (R.Left + R.Right) / 2), FOffsetY});
}

// --- auto-expand -------------------------------------------------------------------

void TBaseLazyTree::RestartExpandTimer(PLazyNode Target) {
    StopExpandTimer();
    if (!Target || !(AutoOptions() & toAutoDropExpand) || !(Target->States & vsHasChildren) ||
        (Target->States & vsExpanded))
        return;
    FExpandNode = Target;
    if (HandleAllocated()) fw::SetTimer(Handle(), ExpandTimer, FAutoExpandDelay);
}

void TBaseLazyTree::StopTimer(std::uintptr_t Id) {
    if (HandleAllocated()) fw::KillTimer(Handle(), Id);
}

void TBaseLazyTree::StopExpandTimer() {
    StopTimer(ExpandTimer);
    FExpandNode = nullptr;
}

} // namespace vel
