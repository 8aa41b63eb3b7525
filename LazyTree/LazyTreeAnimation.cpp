// Animated expand and collapse (the rows below a node slide open or shut) and
// the animated column resize. Both draw straight into the window, step by step
// on the framework's clock; timers and handlers may run between the steps, so
// each step measures again and the caller checks its node or column afterwards.
#include "LazyTreeInternal.h"

#include "Canvas.h"
#include "Forms.h"
#include "Screen.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

// Moves the pixels of Area (client coordinates) by (DX, DY) on the window, as a
// device context's scroll does: nothing is invalidated, the caller fills what
// the move uncovered. False when the window has no picture to move.
bool ShiftPixels(TBaseLazyTree& Tree, fw::TCanvas& C, const fw::TRect& Area, int DX, int DY) {
    if (!fw::AttachWindowCanvas(&Tree, C)) return false;
    const fw::TRect Dest = IntersectRect(fw::OffsetRect(Area, DX, DY), Area);
    if (!Dest.IsEmpty()) C.CopyRect(Dest, C, fw::OffsetRect(Dest, -DX, -DY));
    return true;
}

// Shows what was drawn straight into the window.
void ShowOnScreen(TBaseLazyTree& Tree, const fw::TRect& Area) {
    const fw::TPoint O = Tree.ClientOrigin();
    fw::ScreenAreaChanged(fw::OffsetRect(Area, O.X, O.Y));
}

} // namespace

// --- expand and collapse ---------------------------------------------------------------

void TBaseLazyTree::FillToggleStrip(fw::TCanvas& C, const fw::TRect& Strip) {
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(Color());
    C.FillRect(Strip);
    if (!HeaderUseColumns()) return;
    // Each column's part in the column's colour.
    for (TLazyTreeColumn* Column : Header()->Columns().GetVisibleColumns()) {
        const int Left = FOffsetX + Column->Left();
        const fw::TRect Part =
            IntersectRect(Strip, fw::TRect{Left, Strip.Top, Left + Column->Width(), Strip.Bottom});
        if (Part.IsEmpty()) continue;
        C.Brush().SetColor(Column->Color());
        C.FillRect(Part);
    }
}

void TBaseLazyTree::AnimateToggle(PLazyNode Node, bool Expanding) {
    if (!(FOptions->AnimationOptions() & toAnimatedToggle) || FUpdateCount > 0 ||
        InState(tsInAnimation) || InState(tsPainting) ||
        InState(Expanding ? tsExpanding : tsCollapsing) || !HandleAllocated() || !Showing())
        return;
    fw::Application()->CancelHint();
    Update(); // the rows on screen are the ones that move (its handlers may change them)
    if (((Node->States & vsExpanded) != 0) == Expanding || !FullyVisible(Node)) return;
    // The height that opens or shuts below the row.
    std::uint64_t Height = 0;
    if (Expanding) {
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            if (Run->States & vsVisible) Height += Run->TotalHeight;
        if (!GetNextVisibleNoInit(Node)) return; // nothing below to move
    } else {
        Height = Node->TotalHeight - Node->NodeHeight;
    }
    const int RowBottom = GetDisplayRect(Node, NoColumn, false, true).Bottom;
    if (RowBottom <= RowAreaTop() || RowBottom >= ClientHeight() || Height == 0) return;
    const auto Steps = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(Height, static_cast<std::uint64_t>(ClientHeight() - RowBottom) + 1));
    fw::TCanvas C;
    Animate(
        Steps, FAnimationDuration,
        [&](TBaseLazyTree*, int, int StepSize, void*) {
            if (StepSize == 0) return true;
            // Measured at each step: the client may have changed in between.
            const fw::TRect Area{0, RowBottom, ClientWidth(), ClientHeight()};
            if (Area.IsEmpty() || !HandleAllocated() ||
                !ShiftPixels(*this, C, Area, 0, Expanding ? StepSize : -StepSize))
                return false;
            FillToggleStrip(C, Expanding ? fw::TRect{0, Area.Top, Area.Right, Area.Top + StepSize}
                                         : fw::TRect{0, Area.Bottom - StepSize, Area.Right,
                                                     Area.Bottom});
            C.Attach(nullptr, {}, {});
            ShowOnScreen(*this, Area);
            return true;
        },
        nullptr);
}

// --- column resize ---------------------------------------------------------------------

void TBaseLazyTree::AnimateColumnResize(int Column, int NewWidth) {
    // The tree's freeing waits; what timers delete meanwhile goes at once (the
    // column is looked for again below).
    lt::TBusyScope Busy(*this, TBusyKind::Hold);
    TLazyTreeColumns& Columns = Header()->Columns();
    TLazyTreeColumn* C = Columns.Items(Column);
    if (!C) return;
    NewWidth = std::clamp(NewWidth, C->MinWidth(), std::max(C->MinWidth(), C->MaxWidth()));
    if (NewWidth == C->Width()) return;
    if ((C->Options() & coVisible) && HandleAllocated()) {
        const int Step = (NewWidth - C->Width()) / 32;
        int Edge = FOffsetX + C->Left() + C->Width();
        fw::TCanvas Canvas;
        for (int I = 0; I < 32; ++I) {
            // The strip right of the column, header and rows together, and
            // (narrowing) the step it moves into.
            const fw::TRect Area{std::min(Edge, Edge + Step), 0, ClientWidth(), ClientHeight()};
            if (Step != 0 && HandleAllocated() && Showing() && !Area.IsEmpty() &&
                ShiftPixels(*this, Canvas, Area, Step, 0)) {
                if (Step > 0) {
                    Canvas.Brush().SetStyle(fw::bsSolid);
                    Canvas.Brush().SetColor(Color());
                    Canvas.FillRect(fw::TRect{Edge, 0, Edge + Step, ClientHeight()});
                }
                Canvas.Attach(nullptr, {}, {});
                ShowOnScreen(*this, Area);
            }
            Edge += Step;
            fw::WaitUntil(fw::GetTickCount() + 1);
        }
        // A timer may have taken the column away meanwhile, or moved it.
        Column = Columns.IndexOf(C);
        if (Column < 0) return;
    }
    C->SetWidth(NewWidth);
}

} // namespace vel
