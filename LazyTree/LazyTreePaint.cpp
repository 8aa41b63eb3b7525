// Painting: the row loop, tree lines, expand buttons, selection and focus.
#include "Bitmap.h"
#include "Canvas.h"
#include "LazyTrees.h"
#include "ScopeExit.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int ButtonSize = 9;

// One-pixel dotted line in the canvas text colour over the tree colour.
void DottedHLine(fw::TCanvas& C, int Left, int Right, int Top, fw::TColor Line, fw::TColor Back) {
    if (Left > Right) std::swap(Left, Right);
    for (int X = Left; X <= Right; ++X)
        C.SetPixels(X, Top, ((X + Top) & 1) == 0 ? Line : Back);
}

void DottedVLine(fw::TCanvas& C, int Top, int Bottom, int Left, fw::TColor Line, fw::TColor Back) {
    if (Top > Bottom) std::swap(Top, Bottom);
    for (int Y = Top; Y <= Bottom; ++Y)
        C.SetPixels(Left, Y, ((Left + Y) & 1) == 0 ? Line : Back);
}

// The expand button: a framed square in the tree-line colour with a minus, or a plus.
void DrawButton(fw::TCanvas& C, int X, int Y, bool Expanded, fw::TColor Frame, fw::TColor Fill) {
    fw::TCanvasStateSaver Saver(C);
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(Fill);
    C.Pen().SetColor(Frame);
    C.Pen().SetStyle(fw::psSolid);
    C.Rectangle(X, Y, X + ButtonSize, Y + ButtonSize);
    C.Brush().SetColor(fw::clBlack);
    C.FillRect({X + 2, Y + 4, X + ButtonSize - 2, Y + 5});
    if (!Expanded) C.FillRect({X + 4, Y + 2, X + 5, Y + ButtonSize - 2});
}

} // namespace

void TBaseLazyTree::DoPaintNode(TLTPaintInfo&) {}

int TBaseLazyTree::DetermineLineImages(PLazyNode Node, TLineImage& LineImage) {
    LineImage.clear();
    if (!Node || Node == FRoot) return 0;
    const bool ShowRoot = (PaintOptions() & toShowRoot) != 0;
    const auto Level = static_cast<int>(GetNodeLevel(Node));
    const int Count = Level + (ShowRoot ? 1 : 0);
    LineImage.assign(static_cast<std::size_t>(std::max(Count, 0)), ltNone);
    int Selected = 0;
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot; Run = Run->Parent)
        if (Run->States & vsSelected) ++Selected;
    if (!(PaintOptions() & toShowTreeLines) || LineImage.empty()) return Selected;
    // Entry I belongs to the ancestor at level I - (ShowRoot ? 0 : 1) below the root.
    PLazyNode Run = Node;
    for (int I = Count - 1; I >= 0 && Run && Run != FRoot; --I, Run = Run->Parent) {
        const bool TopLevel = Run->Parent == FRoot;
        const bool LaterSibling = HasVisibleNextSibling(Run);
        if (I == Count - 1) {
            if (TopLevel) {
                // Only with toShowRoot does a top-level node have an entry.
                const bool First = GetFirstVisibleNoInit() == Run;
                if (First)
                    LineImage[static_cast<std::size_t>(I)] = LaterSibling ? ltBottomRight : ltRight;
                else
                    LineImage[static_cast<std::size_t>(I)] =
                        LaterSibling ? ltTopDownRight : ltTopRight;
            } else {
                LineImage[static_cast<std::size_t>(I)] = LaterSibling ? ltTopDownRight : ltTopRight;
            }
        } else {
            LineImage[static_cast<std::size_t>(I)] = LaterSibling ? ltTopDown : ltNone;
        }
        if (TopLevel) break;
    }
    return Selected;
}

void TBaseLazyTree::PaintTree(fw::TCanvas& TargetCanvas, const fw::TRect& Window, fw::TPoint Target,
                              TLTInternalPaintOptions PaintOptionsIn) {
    if (Window.Width() <= 0 || Window.Height() <= 0) return;
    DoStateChange({tsPainting});
    fw::TScopeExit EndPainting([this] { DoStateChange({}, {tsPainting}); });

    const TLTPaintOptions PO = PaintOptions();
    TLTInternalPaintOptions Options = PaintOptionsIn;
    if ((PO & toAlwaysHideSelection) || (!Focused() && (PO & toHideSelection)))
        Options &= static_cast<TLTInternalPaintOptions>(~ipDrawSelection);
    if (PO & toHideFocusRect) Options &= static_cast<TLTInternalPaintOptions>(~ipDrawFocusRect);

    const TLTColors& Col = *Colors();
    const fw::TColor TreeColor = Color();
    const bool UseColumns = HeaderUseColumns();
    TLTHeader* H = Header();
    const int MainColumn = H ? H->MainColumn() : NoColumn;
    const int IndentSize = static_cast<int>(FIndent);
    fw::TBitmap Row;
    Row.Canvas().Font().Assign(Font());

    int NodeTop = 0;
    PLazyNode Node = GetNodeAt(0, Window.Top, false, NodeTop);
    int Y = NodeTop;
    TLineImage Lines;
    while (Node && Y < Window.Bottom) {
        if (!(Node->States & vsInitialized)) InitNode(Node);
        const int RowHeight = static_cast<int>(GetNodeHeight(Node));
        if (RowHeight <= 0) {
            Node = GetNextVisible(Node);
            continue;
        }
        Row.SetSize(Window.Width(), RowHeight);
        fw::TCanvas& C = Row.Canvas();
        C.SetWindowOrg({Window.Left, 0});
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(TreeColor);
        C.FillRect({Window.Left, 0, Window.Right, RowHeight});
        DetermineLineImages(Node, Lines);
        const bool Selected = (Node->States & vsSelected) != 0;
        const bool DropTarget = Node == FDropTargetNode && (FLastDropMode == dmOnNode || Selected);
        const bool DrawSelected = (Selected || DropTarget) && (Options & ipDrawSelection);
        const fw::TColor SelColor = DropTarget ? Col.DropTargetColor()
                                    : Focused() || (PO & toPopupMode)
                                        ? Col.FocusedSelectionColor()
                                        : Col.UnfocusedSelectionColor();
        const fw::TColor SelBorder = DropTarget  ? Col.DropTargetBorderColor()
                                     : Focused() ? Col.FocusedSelectionBorderColor()
                                                 : Col.UnfocusedSelectionBorderColor();
        if (DrawSelected && (SelectionOptions() & toFullRowSelect)) {
            C.Brush().SetColor(SelColor);
            C.FillRect({Window.Left, 0, Window.Right, RowHeight});
        }
        // Images and the button sit at Align percent of the row.
        const int VAlign = RowHeight * std::min<int>(Node->Align, 100) / 100;

        std::vector<int> Cells;
        if (UseColumns) {
            for (TLazyTreeColumn* Column : H->Columns().GetVisibleColumns())
                Cells.push_back(Column->Index());
        } else {
            Cells.push_back(NoColumn);
        }
        for (int Column : Cells) {
            fw::TRect Cell{0, 0, std::max(Window.Right, ClientWidth() - FOffsetX), RowHeight};
            TAlignment Align = taLeftJustify;
            TBiDiMode Bidi = FBiDiMode;
            if (Column >= 0) {
                const TLazyTreeColumn& TC = H->Columns()[Column];
                Cell.Left = TC.Left();
                Cell.Right = TC.Left() + TC.Width();
                Align = TC.Alignment();
                Bidi = TC.BiDiMode();
                if ((Options & ipColumnColor) && !(TC.Options() & coParentColor) &&
                    !(DrawSelected && (SelectionOptions() & toFullRowSelect))) {
                    C.Brush().SetColor(TC.Color());
                    C.FillRect(Cell);
                }
            }
            if (Cell.Left >= Window.Right) break;
            if ((Options & ipMainOnly) && Column != MainColumn) continue;
            const bool IsMain = Column == MainColumn;
            fw::TCanvasStateSaver Saver(C);
            if (UseColumns) C.IntersectClipRect(Cell);
            TLTPaintInfo Info;
            Info.Canvas = &C;
            Info.PaintOptions = Options;
            Info.Node = Node;
            Info.Column = Column;
            Info.Position = Column >= 0 ? H->Columns()[Column].Position() : 0;
            Info.CellRect = Cell;
            Info.Alignment = Align;
            Info.BidiMode = Bidi;
            Info.VAlign = VAlign;
            int ContentLeft = Cell.Left + FMargin;
            if (IsMain) {
                const int Levels = static_cast<int>(Lines.size());
                ContentLeft = Cell.Left + Levels * IndentSize + FMargin;
                if (PO & toShowTreeLines) {
                    const fw::TColor LineColor = Col.TreeLineColor();
                    const int Half = IndentSize / 2;
                    for (int L = 0; L < Levels; ++L) {
                        const int X = Cell.Left + L * IndentSize;
                        const int Bottom = RowHeight - 1;
                        auto Vert = [&](int Top, int Bot) {
                            DottedVLine(C, Top, Bot, X + Half, LineColor, TreeColor);
                        };
                        auto Arm = [&] {
                            DottedHLine(C, X + Half, X + IndentSize, VAlign, LineColor, TreeColor);
                        };
                        switch (Lines[static_cast<std::size_t>(L)]) {
                        case ltBottomRight:
                            Vert(VAlign, Bottom);
                            Arm();
                            break;
                        case ltTopDown:
                            Vert(0, Bottom);
                            break;
                        case ltTopDownRight:
                            Vert(0, Bottom);
                            Arm();
                            break;
                        case ltRight:
                            Arm();
                            break;
                        case ltTopRight:
                            Vert(0, VAlign);
                            Arm();
                            break;
                        default:
                            break;
                        }
                    }
                }
                const bool HasButton =
                    (PO & toShowButtons) && (Node->States & vsHasChildren) &&
                    !((Node->States & vsAllChildrenHidden) && (AutoOptions() & toAutoHideButtons));
                if (HasButton && Levels > 0) {
                    const int X =
                        Cell.Left + (Levels - 1) * IndentSize + (IndentSize - ButtonSize) / 2;
                    DrawButton(C, X, VAlign - ButtonSize / 2, (Node->States & vsExpanded) != 0,
                               Col.TreeLineColor(), TreeColor);
                }
            }
            Info.ContentRect = {ContentLeft, 0, Cell.Right, RowHeight};
            Info.NodeWidth = DoGetNodeWidth(Node, Column, &C);
            // Selection and focus frame the text part of the main column.
            fw::TRect TextRect{ContentLeft, 0,
                               std::min(Cell.Right, ContentLeft + Info.NodeWidth + 2 * FTextMargin),
                               RowHeight};
            if (IsMain && DrawSelected && !(SelectionOptions() & toFullRowSelect) &&
                !(InState(tsEditing) && Node == FFocusedNode)) {
                C.Brush().SetColor(SelColor);
                C.FillRect(TextRect);
                C.Brush().SetColor(SelBorder);
                C.FrameRect(TextRect);
            }
            if ((Options & ipGridLines) && (PO & toShowHorzGridLines))
                DottedHLine(C, Cell.Left, Cell.Right - 1, RowHeight - 1, Col.GridLineColor(),
                            TreeColor);
            if (UseColumns && (Options & ipGridLines) && (PO & toShowVertGridLines))
                DottedVLine(C, 0, RowHeight - 1, Cell.Right - 1, Col.GridLineColor(), TreeColor);
            if (!(InState(tsEditing) && Node == FFocusedNode && Column == FEditColumn)) {
                C.Font().SetColor(DrawSelected ? fw::clHighlightText : Font().Color());
                if ((PO & toHotTrack) && Node == FHotNode) {
                    C.Font().SetStyle(C.Font().Style() | fw::fsUnderline);
                    if (!DrawSelected) C.Font().SetColor(Col.HotColor());
                }
                DoPaintNode(Info);
            }
            const int FocusColumn =
                (SelectionOptions() & toExtendedFocus) ? FFocusedColumn : MainColumn;
            if ((Options & ipDrawFocusRect) && Focused() && Node == FFocusedNode &&
                Column == FocusColumn) {
                C.Brush().SetColor(fw::clBlack);
                C.Font().SetColor(fw::clWhite);
                C.DrawFocusRect(TextRect);
            }
        }
        if ((Options & ipDrawDropMark) && (PO & toShowDropmark) && Node == FDropTargetNode)
            DoPaintDropMark(C, Node, {Window.Left, 0, Window.Right, RowHeight});
        TargetCanvas.CopyRect({Target.X, Target.Y + Y - Window.Top, Target.X + Window.Width(),
                               Target.Y + Y - Window.Top + RowHeight},
                              C, {Window.Left, 0, Window.Right, RowHeight});
        Y += RowHeight;
        Node = GetNextVisible(Node);
    }
    if (Y < Window.Bottom) {
        // Below the last row: the column strips or the tree colour.
        fw::TCanvasStateSaver Saver(TargetCanvas);
        TargetCanvas.Brush().SetStyle(fw::bsSolid);
        const int Top = Target.Y + std::max(Y, Window.Top) - Window.Top;
        const int Bottom = Target.Y + Window.Height();
        TargetCanvas.Brush().SetColor(TreeColor);
        TargetCanvas.FillRect({Target.X, Top, Target.X + Window.Width(), Bottom});
        if (UseColumns && (Options & ipColumnColor))
            for (TLazyTreeColumn* TC : H->Columns().GetVisibleColumns()) {
                if (TC->Options() & coParentColor) continue;
                TargetCanvas.Brush().SetColor(TC->Color());
                TargetCanvas.FillRect({Target.X + TC->Left() - Window.Left, Top,
                                       Target.X + TC->Left() + TC->Width() - Window.Left, Bottom});
            }
    }
    EndPainting.Leave();
}

void TBaseLazyTree::Paint() {
    fw::TCanvas& C = *Canvas();
    const int HeaderHeight = FHeaderRect.Height();
    if (HeaderHeight > 0 && Header())
        Header()->Columns().PaintHeader(C, {0, 0, ClientWidth(), HeaderHeight}, FOffsetX);
    const fw::TRect Window{-FOffsetX, -FOffsetY, -FOffsetX + ClientWidth(),
                           -FOffsetY + RowAreaHeight()};
    PaintTree(C, Window, {0, HeaderHeight},
              ipBackground | ipColumnColor | ipDrawFocusRect | ipDrawSelection | ipDrawDropMark |
                  ipGridLines);
}

} // namespace vel
