// The base grid's painting.
#include "Grids_ts.h"
#include "Grids_tsInternal.h"

#include "Canvas.h"
#include "Forms.h"
#include "InplaceEdit.h"
#include "Input.h"
#include "ScopeExit.h"
#include "Timers.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace vel {

using namespace gridimpl;

// ---- painting ----

void TCustomGrid_ts::ChangeGridOrientation(bool) {
    // The canvas has no mirrored mapping: right-to-left is applied to the coordinates
    // (Mirrored), to the lines, the regions' clips and the cells alike.
}

fw::TRect TCustomGrid_ts::Mirrored(const fw::TRect& R) const {
    if (!FRightToLeft) return R;
    return fw::TRect{ClientWidth() - R.Right, R.Top, ClientWidth() - R.Left, R.Bottom};
}

void TCustomGrid_ts::DrawLines(fw::TCanvas& C, const TGridDrawInfo& D, bool DoHorz, bool DoVert,
                               int Col, int Row, int X0, int Y0, fw::TColor LineColor,
                               fw::TColor BackColor, int RegionRight, int RegionBottom) {
    const int HW = D.Horz.EffectiveLineWidth;
    const int VW = D.Vert.EffectiveLineWidth;
    C.Brush().SetStyle(fw::bsSolid);
    // A line whose option is off, while its axis still has a width, takes the background.
    if (HW > 0) {
        C.Brush().SetColor(DoVert ? LineColor : BackColor);
        int X = X0;
        for (int I = Col; I < D.Horz.GridCellCount && X < RegionRight; ++I) {
            int E = D.Horz.GetExtent(I);
            if (E + HW <= 0) continue;
            X += E;
            if (X >= RegionRight) break;
            C.FillRect(Mirrored(fw::TRect{X, Y0, std::min(X + HW, RegionRight), RegionBottom}));
            X += HW;
        }
    }
    if (VW > 0) {
        C.Brush().SetColor(DoHorz ? LineColor : BackColor);
        int Y = Y0;
        for (int I = Row; I < D.Vert.GridCellCount && Y < RegionBottom; ++I) {
            int E = D.Vert.GetExtent(I);
            if (E + VW <= 0) continue;
            Y += E;
            if (Y >= RegionBottom) break;
            C.FillRect(Mirrored(fw::TRect{X0, Y, RegionRight, std::min(Y + VW, RegionBottom)}));
            Y += VW;
        }
    }
}

void TCustomGrid_ts::DrawCells(fw::TCanvas& C, int ACol, int ARow, int StartX, int StartY,
                               int StopX, int StopY, fw::TColor Color,
                               TGridDrawState IncludeDrawState, const TGridDrawInfo& D) {
    TGridRect Sel = Selection();
    bool Active = IsActiveControl();
    int Y = StartY;
    for (int R = ARow; R < FRowCount && Y < StopY; ++R) {
        int H = RowHeights(R);
        int X = StartX;
        for (int Cl = ACol; Cl < FColCount && X < StopX; ++Cl) {
            int W = ColWidths(Cl);
            const fw::TRect Laid{X, Y, X + W, Y + H};
            const fw::TRect Where = Mirrored(Laid);
            bool Covered = Cl == FCurrent.X && R == FCurrent.Y && (FOptions & goEditing) &&
                           FEditorMode && FInplaceEdit && FInplaceEdit->Visible();
            if (W > 0 && H > 0 && !Covered && C.RectVisible(Where)) {
                TGridDrawState State = IncludeDrawState;
                bool Focus = Active && Cl == FCurrent.X && R == FCurrent.Y;
                if (Focus) State |= gdFocused;
                if (PointInGridRect(Cl, R, Sel)) State |= gdSelected;
                if (FDefaultDrawing) {
                    C.Font().Assign(Font());
                    bool Hi =
                        (State & gdSelected) && !(State & gdFixed) &&
                        (!(State & gdFocused) || (FOptions & (goDrawFocusSelected | goRowSelect)));
                    C.Brush().SetStyle(fw::bsSolid);
                    if (Hi) {
                        C.Brush().SetColor(fw::clHighlight);
                        C.Font().SetColor(fw::clHighlightText);
                    } else {
                        C.Brush().SetColor(Color);
                    }
                    C.FillRect(Where);
                }
                DrawCell(Cl, R, Where, State);
                if (FDefaultDrawing && (State & gdFixed)) {
                    // Widened over the line not drawn, after the cell in reading order.
                    fw::TRect E = Laid;
                    if (!(FOptions & goFixedVertLine)) E.Right += D.Horz.EffectiveLineWidth;
                    if (!(FOptions & goFixedHorzLine)) E.Bottom += D.Vert.EffectiveLineWidth;
                    E = Mirrored(E);
                    C.DrawEdge(E, fw::BDR_RAISEDINNER, fw::BF_RECT);
                }
                if (FDefaultDrawing && (State & gdFocused) && !(FOptions & goRowSelect) &&
                    !((FOptions & goEditing) && (FOptions & goAlwaysShowEditor))) {
                    C.Brush().SetColor(Color);
                    C.Font().SetColor(fw::clWindowText);
                    C.DrawFocusRect(Where);
                }
            }
            X += W + D.Horz.EffectiveLineWidth;
        }
        Y += H + D.Vert.EffectiveLineWidth;
    }
}

void TCustomGrid_ts::Paint() {
    fw::TCanvas& C = *Canvas();
    TGridDrawInfo D;
    CalcDrawInfo(D);
    int FixedR = D.Horz.FixedBoundary, FixedB = D.Vert.FixedBoundary;
    int GridR = D.Horz.GridBoundary, GridB = D.Vert.GridBoundary;
    fw::TColor LineColor = Color() == fw::clSilver ? fw::TColor(0x808080) : fw::clSilver;
    int ScrollX = FixedR - FColOffset;
    if (D.Horz.EffectiveLineWidth > 0 || D.Vert.EffectiveLineWidth > 0) {
        bool FV = FOptions & goFixedVertLine, FH = FOptions & goFixedHorzLine;
        bool V = FOptions & goVertLine, H = FOptions & goHorzLine;
        // Fixed corner, fixed rows, fixed columns, scrolling cells.
        DrawLines(C, D, FH, FV, 0, 0, 0, 0, fw::clBlack, FFixedColor, FixedR, FixedB);
        DrawLines(C, D, FH, FV, 0, FTopLeft.Y, 0, FixedB, fw::clBlack, FFixedColor, FixedR, GridB);
        // Scrolled by pixels, the scrolling columns start left of their region: clip them.
        fw::TCanvasStateSaver S(C);
        C.IntersectClipRect(Mirrored(fw::TRect{FixedR, 0, GridR, GridB}));
        DrawLines(C, D, FH, FV, FTopLeft.X, 0, ScrollX, 0, fw::clBlack, FFixedColor, GridR, FixedB);
        DrawLines(C, D, H, V, FTopLeft.X, FTopLeft.Y, ScrollX, FixedB, LineColor, Color(), GridR,
                  GridB);
    }
    {
        fw::TCanvasStateSaver S(C);
        C.IntersectClipRect(Mirrored(fw::TRect{0, 0, FixedR, FixedB}));
        DrawCells(C, 0, 0, 0, 0, FixedR, FixedB, FFixedColor, gdFixed, D);
    }
    {
        fw::TCanvasStateSaver S(C);
        C.IntersectClipRect(Mirrored(fw::TRect{FixedR, 0, GridR, FixedB}));
        DrawCells(C, FTopLeft.X, 0, ScrollX, 0, GridR, FixedB, FFixedColor, gdFixed, D);
    }
    {
        fw::TCanvasStateSaver S(C);
        C.IntersectClipRect(Mirrored(fw::TRect{0, FixedB, FixedR, GridB}));
        DrawCells(C, 0, FTopLeft.Y, 0, FixedB, FixedR, GridB, FFixedColor, gdFixed, D);
    }
    {
        fw::TCanvasStateSaver S(C);
        C.IntersectClipRect(Mirrored(fw::TRect{FixedR, FixedB, GridR, GridB}));
        DrawCells(C, FTopLeft.X, FTopLeft.Y, ScrollX, FixedB, GridR, GridB, Color(), 0, D);
    }
    if ((FOptions & goRowSelect) && FDefaultDrawing && Focused()) {
        fw::TRect F = BoxRect(FFixedCols, FCurrent.Y, FColCount - 1, FCurrent.Y);
        C.Brush().SetColor(Color());
        C.DrawFocusRect(F);
    }
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(Color());
    if (GridR < ClientWidth())
        C.FillRect(Mirrored(fw::TRect{GridR, 0, ClientWidth(), ClientHeight()}));
    if (GridB < ClientHeight()) C.FillRect(fw::TRect{0, GridB, ClientWidth(), ClientHeight()});
    DrawStateLines(C, GridR, GridB);
}

void TCustomGrid_ts::DrawStateLines(fw::TCanvas& C, int GridR, int GridB) {
    // The sizing line (1 pixel) and the move line (5 pixels) in exclusive-or dots.
    const bool Sizing =
        FGridState == TGridState::gsColSizing || FGridState == TGridState::gsRowSizing;
    const bool Moving =
        FGridState == TGridState::gsColMoving || FGridState == TGridState::gsRowMoving;
    if (!Sizing && !Moving) return;
    fw::TCanvasStateSaver Saver(C);
    C.Pen().SetStyle(fw::psDot);
    C.Pen().SetMode(fw::pmXor);
    C.Pen().SetColor(fw::clWhite);
    C.Pen().SetWidth(Sizing ? 1 : 5);
    fw::TPoint From, To;
    if (Sizing && FGridState == TGridState::gsColSizing) {
        From = {MirroredX(FSizingPos), 0};
        To = {MirroredX(FSizingPos), GridB};
    } else if (Sizing) {
        const fw::TRect Line = Mirrored(fw::TRect{0, FSizingPos, GridR, FSizingPos});
        From = {Line.Left, FSizingPos};
        To = {Line.Right, FSizingPos};
    } else if (FGridState == TGridState::gsRowMoving) {
        const fw::TRect R = CellRect(0, FMovePos);
        const int Y = FMovePos > FMoveIndex ? R.Bottom : R.Top;
        From = {0, Y};
        To = {ClientWidth(), Y};
    } else {
        const fw::TRect R = CellRect(FMovePos, 0);
        const bool After = (FMovePos > FMoveIndex) != FRightToLeft;
        const int X = After ? R.Right : R.Left;
        From = {X, 0};
        To = {X, ClientHeight()};
    }
    C.MoveTo(From.X, From.Y);
    C.LineTo(To.X, To.Y);
}

} // namespace vel
