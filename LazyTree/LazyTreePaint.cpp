// The paint loop: one row at a time into a row bitmap, each cell with its
// background, selection, grid lines, tree lines, button, check box, images
// and content, the rubber band over it, then the area below the last row.
#include "LazyTreeInternal.h"
#include "LazyTreeResources.h"
#include "LazyTreeUtils.h"

#include "Bitmap.h"
#include "Canvas.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int ButtonSize = 9;

TAlignment Mirrored(TAlignment A) {
    return A == taCenter ? A : (A == taLeftJustify ? taRightJustify : taLeftJustify);
}

// One pass of PaintTree over a window of the content.
class TTreePainter {
public:
    TTreePainter(TBaseLazyTree& Tree, fw::TCanvas& Target, const fw::TRect& Window,
                 fw::TPoint TargetPoint, TLTInternalPaintOptions Options)
        : T(Tree), FTarget(Target), W(Window), TP(TargetPoint), FOptions(Options) {}

    void Run();

private:
    void Prepare();
    // What the pass takes from the columns, again when a handler changed them.
    void TakeColumns();
    bool ColumnsChanged() const {
        return T.Header()->Columns().ChangeStamp() != FColumnStamp;
    }
    bool InSelectedSubtree(PLazyNode Node, int SelectedLevels) const;
    int VerticalAlignment(PLazyNode Node, int Height) const;
    void PaintRow(PLazyNode Node, int Y, int Height);
    bool PaintCells(PLazyNode Node, int Height, int VAlign);
    void PaintCell(TLTPaintInfo& Info, int Height);
    void PlaceImages(TLTPaintInfo& Info, bool IsMain, int& Lead, int Dir);
    void PaintCellLines(TLTPaintInfo& Info, bool IsMain, int Height);
    void PaintSelection(TLTPaintInfo& Info);
    void PaintRemainder(int Y);
    void PaintBand(fw::TCanvas& C, int ContentTop, int Height);
    TLTInternalPaintOptions CellOptions(PLazyNode Node, int Column) const;

    TBaseLazyTree& T;
    fw::TCanvas& FTarget;
    const fw::TRect W;
    const fw::TPoint TP;
    TLTInternalPaintOptions FOptions;
    fw::TBitmap FRow;
    fw::TRect FBand;
    bool FDrawBand = false;
    bool FUseBackground = false;
    bool FUseColumns = false;
    int FMainColumn = NoColumn;
    std::uint32_t FColumnStamp = 0;
    TLineImage FLines;
    std::vector<int> FCells;
};

void TTreePainter::Prepare() {
    const TLTPaintOptions PO = T.PaintOptions();
    const bool Drawing = T.TreeStates().Contains(tsDrawSelecting);
    FBand = OrderRect(T.NewRect());
    FDrawBand = Drawing && FBand.Right > FBand.Left && FBand.Bottom > FBand.Top;
    FUseBackground = (PO & toShowBackground) && T.Background().HasGraphic() &&
                     !T.Background().Bitmap().Empty() && (FOptions & ipBackground);
    if ((PO & toAlwaysHideSelection) || (!T.Focused() && (PO & toHideSelection)))
        FOptions &= static_cast<TLTInternalPaintOptions>(~ipDrawSelection);
    if (PO & toHideFocusRect) FOptions &= static_cast<TLTInternalPaintOptions>(~ipDrawFocusRect);
    TakeColumns();
    FRow.Canvas().Font().Assign(T.Font());
}

void TTreePainter::TakeColumns() {
    FColumnStamp = T.Header()->Columns().ChangeStamp();
    FUseColumns = T.HeaderUseColumns();
    FMainColumn = T.HeaderMainColumn();
    FCells.clear();
    if (FUseColumns)
        for (TLazyTreeColumn* C : T.Header()->Columns().GetVisibleColumns())
            FCells.push_back(C->Index());
    else
        FCells.push_back(NoColumn);
}

void TTreePainter::Run() {
    if (W.Width() <= 0 || W.Height() <= 0) return;
    lt::TStateScope Painting(T, tsPainting, T.TreeStates().Contains(tsPainting));
    T.DoBeforePaint(FTarget);
    Prepare();
    int NodeTop = 0;
    PLazyNode Node = T.GetNodeAt(0, W.Top, false, NodeTop);
    int Y = NodeTop;
    int SelectedLevels = Node ? T.DetermineLineImages(Node, FLines) : 0;
    while (Node && Y < W.Bottom) {
        if (!(Node->States & vsInitialized)) T.InitNode(Node);
        const int Height = static_cast<int>(T.GetNodeHeight(Node));
        if (Height > 0 && (!(FOptions & ipSelectedOnly) || InSelectedSubtree(Node, SelectedLevels)))
            PaintRow(Node, Y, Height);
        Y += std::max(Height, 0);
        Node = T.GetNextVisible(Node);
        if (Node) SelectedLevels = T.DetermineLineImages(Node, FLines);
    }
    if (Y < W.Bottom) PaintRemainder(std::max(Y, W.Top));
    Painting.Leave();
    T.DoAfterPaint(FTarget);
}

bool TTreePainter::InSelectedSubtree(PLazyNode Node, int SelectedLevels) const {
    return SelectedLevels > 0 || (Node->States & vsSelected);
}

int TTreePainter::VerticalAlignment(PLazyNode Node, int Height) const {
    switch (T.NodeAlignment()) {
    case naFromTop:
        return std::min<int>(Node->Align, Height);
    case naFromBottom:
        return std::max(Height - Node->Align, 0);
    default:
        return Height * std::min<int>(Node->Align, 100) / 100;
    }
}

void TTreePainter::PaintRow(PLazyNode Node, int Y, int Height) {
    // The row's picture holds only its part inside the window (a row may be
    // taller than a picture can be); everything draws in row coordinates.
    const int Skip = std::max(W.Top - Y, 0);
    const int Part = std::min(Height, W.Bottom - Y) - Skip;
    if (Part <= 0) return;
    FRow.SetSize(W.Width(), Part);
    fw::TCanvas& C = FRow.Canvas();
    C.SetWindowOrg({W.Left, Skip});
    C.SetBrushOrigin({((-W.Left) % 8 + 8) % 8, ((-(Y + Skip)) % 8 + 8) % 8});
    const fw::TRect RowRect{W.Left, 0, W.Right, Height};
    const int VAlign = VerticalAlignment(Node, Height);
    // A handler that changes the columns while the row is painted makes the
    // row start again on the columns as they are (a few times at most: a
    // handler may change them at every call).
    constexpr int MaxRowPasses = 3;
    const bool Custom = T.DoBeforeItemPaint(C, Node, RowRect);
    for (int Pass = 0; Pass < MaxRowPasses && !Custom; ++Pass) {
        if (ColumnsChanged()) TakeColumns();
        TLTPaintInfo Info;
        Info.Canvas = &C;
        Info.Node = Node;
        Info.PaintOptions = CellOptions(Node, NoColumn);
        Info.VAlign = VAlign;
        const int TargetTop = TP.Y + Y - W.Top;
        T.ClearNodeBackground(Info, FUseBackground, true,
                              {W.Left, TargetTop, W.Right, TargetTop + Height});
        if (PaintCells(Node, Height, VAlign)) break;
    }
    T.DoAfterItemPaint(C, Node, RowRect);
    if ((FOptions & ipDrawDropMark) && (T.PaintOptions() & toShowDropmark) &&
        Node == T.DropTargetNode())
        T.DoPaintDropMark(C, Node, RowRect);
    if (FDrawBand) PaintBand(C, Y, Height);
    const int Top = TP.Y + Y + Skip - W.Top;
    FTarget.CopyRect({TP.X, Top, TP.X + W.Width(), Top + Part}, C,
                     {W.Left, Skip, W.Right, Skip + Part});
}

TLTInternalPaintOptions TTreePainter::CellOptions(PLazyNode Node, int Column) const {
    TLTInternalPaintOptions O = FOptions;
    const bool Editing = T.IsEditing() && Node == T.FocusedNode() && Column == T.EditColumn();
    if (Editing) O &= static_cast<TLTInternalPaintOptions>(~ipDrawSelection);
    bool NoColumnColor = !FUseColumns;
    if ((Node->States & vsSelected) && (T.SelectionOptions() & toFullRowSelect) &&
        (O & ipDrawSelection))
        NoColumnColor = true;
    const TLazyTreeColumn* TC = Column >= 0 ? T.Header()->Columns().Items(Column) : nullptr;
    if (!TC || (TC->Options() & coParentColor)) NoColumnColor = true;
    if (NoColumnColor) O &= static_cast<TLTInternalPaintOptions>(~ipColumnColor);
    return O;
}

bool TTreePainter::PaintCells(PLazyNode Node, int Height, int VAlign) {
    // A cell that spans leaves the empty cells after it alone, up to the
    // next column that has something (a column, not a position: columns move).
    bool Covering = false;
    int Resume = NoColumn;
    for (std::size_t I = 0; I < FCells.size(); ++I) {
        if (ColumnsChanged()) return false;
        const int Column = FCells[I];
        TLTPaintInfo Info;
        Info.Canvas = &FRow.Canvas();
        Info.Node = Node;
        Info.Column = Column;
        Info.VAlign = VAlign;
        Info.PaintOptions = CellOptions(Node, Column);
        Info.BidiMode = T.BiDiMode();
        Info.Alignment = T.Alignment();
        Info.CellRect = {0, 0, std::max<int>(static_cast<int>(T.RangeX()), W.Right), Height};
        if (Column >= 0) {
            const TLazyTreeColumn& TC = T.Header()->Columns()[Column];
            Info.CellRect.Left = TC.Left();
            Info.CellRect.Right = TC.Left() + TC.Width();
            Info.Position = TC.Position();
            Info.BidiMode = TC.BiDiMode();
            Info.Alignment = TC.Alignment();
        }
        if (Info.CellRect.Left >= W.Right) break;
        if (Covering && Column != Resume) continue;
        if ((FOptions & ipMainOnly) && Column != FMainColumn) continue;
        int NextNonEmpty = Column;
        T.AdjustPaintCellRect(Info, NextNonEmpty);
        if (ColumnsChanged()) return false;
        Covering = NextNonEmpty != Column;
        Resume = NextNonEmpty;
        PaintCell(Info, Height);
    }
    return !ColumnsChanged();
}

void TTreePainter::PlaceImages(TLTPaintInfo& Info, bool IsMain, int& Lead, int Dir) {
    PLazyNode Node = Info.Node;
    auto Place = [&](TLTImageInfoIndex Slot, fw::TImageList* List, int Index, bool Ghosted) {
        TLTImageInfo& I = Info.ImageInfo[Slot];
        I.Index = Index;
        I.Images = List;
        I.Ghosted = Ghosted;
        I.XPos = Dir > 0 ? Lead : Lead - List->Width();
        I.YPos = Info.VAlign - List->Height() / 2;
        Lead += Dir * (List->Width() + 2);
    };
    if (IsMain && (T.MiscOptions() & toCheckSupport) && T.CheckImages() &&
        Node->CheckType != TCheckType::ctNone)
        Place(iiCheck, T.CheckImages(), T.GetCheckImage(Node), false);
    bool Ghosted = false;
    if (fw::TImageList* State = T.StateImages()) {
        const int Index = T.GetImageIndex(Node, ikState, Info.Column, Ghosted);
        if (Index > -1) Place(iiState, State, Index, Ghosted);
    }
    if (fw::TImageList* Images = T.Images()) {
        Ghosted = false;
        int Index = -1;
        if (Node->States & vsSelected) Index = T.GetImageIndex(Node, ikSelected, Info.Column, Ghosted);
        if (Index < 0) Index = T.GetImageIndex(Node, ikNormal, Info.Column, Ghosted);
        if (Index > -1) Place(iiNormal, Images, Index, Ghosted);
    }
}

void TTreePainter::PaintCell(TLTPaintInfo& Info, int Height) {
    fw::TCanvas& C = *Info.Canvas;
    PLazyNode Node = Info.Node;
    const bool IsMain = Info.Column == FMainColumn;
    const bool RTL = Info.BidiMode != bdLeftToRight;
    if (RTL) Info.Alignment = Mirrored(Info.Alignment);
    const int Dir = RTL ? -1 : 1;
    const int Indent = static_cast<int>(T.Indent());
    const std::size_t Levels = IsMain ? FLines.size() : 0;
    const int Span = lt::IndentWidth(Levels, T.Indent());
    int Lead = lt::Reachable(RTL ? std::int64_t{Info.CellRect.Right} - T.Margin() - Span
                                 : std::int64_t{Info.CellRect.Left} + T.Margin() + Span);
    PlaceImages(Info, IsMain, Lead, Dir);
    Info.ContentRect = RTL ? fw::TRect{Info.CellRect.Left, 0, Lead, Height}
                           : fw::TRect{Lead, 0, Info.CellRect.Right, Height};
    Info.NodeWidth = T.DoGetNodeWidth(Node, Info.Column, &C);
    // After each step that calls handlers: the rest of a cell whose column
    // may be gone is left to the row's next pass.
    if (ColumnsChanged()) return;
    fw::TCanvasStateSaver Saver(C);
    if (FUseColumns) C.IntersectClipRect(Info.CellRect);
    PaintSelection(Info);
    if (ColumnsChanged()) return;
    PaintCellLines(Info, IsMain, Height);
    if (ColumnsChanged()) return;
    if (IsMain) {
        if (T.PaintOptions() & toShowTreeLines)
            T.PaintTreeLines(Info, Info.VAlign, Indent, FLines);
        const bool HasButton =
            (T.PaintOptions() & toShowButtons) && (Node->States & vsHasChildren) &&
            !((Node->States & vsAllChildrenHidden) && (T.AutoOptions() & toAutoHideButtons));
        if (HasButton && Levels > 0) {
            const int ButtonX = lt::IndentWidth(Levels - 1, T.Indent()) + (Indent - ButtonSize) / 2;
            T.PaintNodeButton(C, Node, Info.Column, Info.CellRect, ButtonX,
                              Info.VAlign - ButtonSize / 2, Info.BidiMode);
        }
        if (Info.ImageInfo[iiCheck].Index > -1) T.PaintCheckImage(Info);
    }
    if (Info.ImageInfo[iiState].Index > -1) T.PaintImage(Info, iiState, false);
    if (Info.ImageInfo[iiNormal].Index > -1) T.PaintImage(Info, iiNormal, true);
    const bool Editing = T.IsEditing() && Node == T.FocusedNode() && Info.Column == T.EditColumn();
    if (!Editing) {
        fw::TCanvasStateSaver Content(C);
        T.DoPaintNode(Info);
    }
    if (ColumnsChanged()) return;
    T.DoAfterCellPaint(C, Node, Info.Column, Info.CellRect);
}

void TTreePainter::PaintCellLines(TLTPaintInfo& Info, bool IsMain, int Height) {
    if (!(Info.PaintOptions & ipGridLines)) return;
    const TLTPaintOptions PO = T.PaintOptions();
    fw::TCanvas& C = *Info.Canvas;
    fw::TCanvasStateSaver Saver(C);
    C.Font().SetColor(T.Colors()->GridLineColor());
    if (PO & toShowHorzGridLines) {
        int Left = Info.CellRect.Left;
        if (IsMain && T.LineMode() == lmBands)
            Left = lt::Reachable(std::int64_t{Left} + lt::IndentWidth(FLines.size(), T.Indent()));
        T.DrawDottedHLine(Info, Left, Info.CellRect.Right - 1, Height - 1);
    }
    if (!FUseColumns || !(PO & toShowVertGridLines)) return;
    const TLTHeader* H = T.Header();
    const bool LastColumn = Info.Column == H->Columns().GetLastVisibleColumn();
    if (LastColumn && (H->Options() & hoAutoResize)) return;
    if (Info.BidiMode != bdLeftToRight && T.DoGetCellIsEmpty(Info.Node, Info.Column)) return;
    T.DrawDottedVLine(Info, 0, Height - 1, Info.CellRect.Right - 1);
}

void TTreePainter::PaintSelection(TLTPaintInfo& Info) {
    fw::TCanvas& C = *Info.Canvas;
    PLazyNode Node = Info.Node;
    if (Info.PaintOptions & ipColumnColor) {
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(T.Header()->Columns()[Info.Column].Color());
        C.FillRect(Info.CellRect);
    }
    T.DoBeforeCellPaint(C, Node, Info.Column, Info.CellRect);
    const bool FullRow = (T.SelectionOptions() & toFullRowSelect) != 0;
    const bool GridExt = (T.MiscOptions() & toGridExtensions) != 0;
    if (Info.Column != T.PaintedFocusColumn() && !FullRow) return;
    fw::TRect R = Info.ContentRect;
    if (GridExt || FullRow) {
        R = Info.CellRect;
    } else {
        const int Width = std::min(Info.NodeWidth, R.Width());
        if (Info.Alignment == taRightJustify)
            R.Left = R.Right - Width;
        else if (Info.Alignment == taCenter)
            R.Left += (R.Width() - Width) / 2;
        R.Right = R.Left + Width;
    }
    if (T.PaintOptions() & toShowHorzGridLines) R.Bottom = std::max(R.Top, R.Bottom - 1);
    const TLTColors& Col = *T.Colors();
    const bool Active = T.Focused() || (T.PaintOptions() & toPopupMode);
    if (Info.PaintOptions & ipDrawSelection) {
        const bool Selected = (Node->States & vsSelected) != 0;
        const bool Target = Node == T.DropTargetNode() &&
                            (T.LastDropMode() == dmOnNode || Selected);
        if (Target || Selected) {
            const fw::TColor Fill = Target   ? Col.DropTargetColor()
                                    : Active ? Col.FocusedSelectionColor()
                                             : Col.UnfocusedSelectionColor();
            const fw::TColor Frame = Target   ? Col.DropTargetBorderColor()
                                     : Active ? Col.FocusedSelectionBorderColor()
                                              : Col.UnfocusedSelectionBorderColor();
            T.PaintSelectionFill(C, R, Fill, Frame);
        }
    }
    if ((Info.PaintOptions & ipDrawFocusRect) && Node == T.FocusedNode() &&
        Info.Column == T.PaintedFocusColumn() && Active) {
        fw::TCanvasStateSaver Saver(C);
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(fw::clBlack);
        C.Font().SetColor(fw::clWhite);
        C.DrawFocusRect(GridExt ? Info.CellRect : R);
    }
}

void TTreePainter::PaintBand(fw::TCanvas& C, int ContentTop, int Height) {
    const fw::TRect Band = fw::OffsetRect(FBand, 0, -ContentTop);
    T.PaintSelectionRectangle(C, 0, Band, {W.Left, 0, W.Right, Height});
}

void TTreePainter::PaintRemainder(int Y) {
    if (ColumnsChanged()) TakeColumns();
    const int Height = W.Bottom - Y;
    fw::TBitmap Rest(W.Width(), Height);
    fw::TCanvas& C = Rest.Canvas();
    C.SetWindowOrg({W.Left, 0});
    const fw::TRect R{W.Left, 0, W.Right, Height};
    const fw::TPoint TargetTop{TP.X, TP.Y + Y - W.Top};
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(T.Color());
    const bool Painted = T.DoPaintBackground(C, R);
    if (ColumnsChanged()) TakeColumns();
    if (Painted) {
        // The application painted it.
    } else if (FUseBackground) {
        T.TileBackground(T.Background().Bitmap(), C, {TargetTop.X - W.Left, TargetTop.Y}, R);
    } else if (FUseColumns) {
        C.FillRect(R);
        const bool Lines = (FOptions & ipGridLines) &&
                           (T.PaintOptions() & (toShowVertGridLines | toFullVertGridLines)) ==
                               (toShowVertGridLines | toFullVertGridLines);
        for (TLazyTreeColumn* TC : T.Header()->Columns().GetVisibleColumns()) {
            const fw::TRect Strip{TC->Left(), 0, TC->Left() + TC->Width(), Height};
            if (!(TC->Options() & coParentColor) && (FOptions & ipColumnColor)) {
                C.Brush().SetColor(TC->Color());
                C.FillRect(Strip);
            }
            if (Lines) {
                TLTPaintInfo Info;
                Info.Canvas = &C;
                fw::TCanvasStateSaver Saver(C);
                C.Font().SetColor(T.Colors()->GridLineColor());
                T.DrawDottedVLine(Info, 0, Height - 1, Strip.Right - 1);
            }
        }
    } else {
        C.FillRect(R);
    }
    if (FDrawBand) PaintBand(C, Y, Height);
    FTarget.CopyRect({TargetTop.X, TargetTop.Y, TargetTop.X + W.Width(), TargetTop.Y + Height}, C,
                     R);
}

} // namespace

void TBaseLazyTree::DoPaintNode(TLTPaintInfo&) {}

void TBaseLazyTree::PaintTree(fw::TCanvas& TargetCanvas, const fw::TRect& Window, fw::TPoint Target,
                              TLTInternalPaintOptions PaintOptionsIn) {
    lt::TBusyScope Busy(*this);
    TTreePainter(*this, TargetCanvas, Window, Target, PaintOptionsIn).Run();
}

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
        TLTLineType& Entry = LineImage[static_cast<std::size_t>(I)];
        if (I == Count - 1) {
            if (TopLevel && GetFirstVisibleNoInit() == Run)
                Entry = LaterSibling ? ltBottomRight : ltRight;
            else
                Entry = LaterSibling ? ltTopDownRight : ltTopRight;
        } else {
            Entry = LaterSibling ? ltTopDown : ltNone;
        }
        if (TopLevel) break;
    }
    return Selected;
}

void TBaseLazyTree::PrepareDragImage(fw::TPoint P) {
    if (!CanShowDragImage()) return;
    // DragWidth x DragHeight of the content round the held point, cut at the content's start.
    const fw::TPoint Hot{P.X - FOffsetX, P.Y - RowAreaTop() - FOffsetY};
    fw::TRect R{Hot.X - FDragWidth / 2, Hot.Y - FDragHeight / 2, Hot.X + FDragWidth / 2,
                Hot.Y + FDragHeight / 2};
    R.Left = std::max(R.Left, 0);
    R.Top = std::max(R.Top, 0);
    if (R.Right <= R.Left || R.Bottom <= R.Top) return;
    fw::TBitmap Picture(R.Width(), R.Height());
    Picture.Canvas().Brush().SetColor(Color());
    Picture.Canvas().FillRect({0, 0, R.Width(), R.Height()});
    TLTInternalPaintOptions Options = ipDrawSelection | ipSelectedOnly;
    if (FDragImageKind == diMainColumnOnly) Options |= ipMainOnly;
    PaintTree(Picture.Canvas(), R, {0, 0}, Options);
    DragImage()->ColorKey = Color();
    const fw::TPoint Screen = ClientToScreen({R.Left + FOffsetX, R.Top + RowAreaTop() + FOffsetY});
    DragImage()->PrepareDrag(Picture, Screen, {Hot.X - R.Left, Hot.Y - R.Top});
}

void TBaseLazyTree::Paint() {
    fw::TCanvas& C = *Canvas();
    const int HeaderHeight = FHeaderRect.Height();
    // Only the part the paint asks for: rows outside it are not drawn at all.
    const fw::TRect Update = fw::IntersectRect(C.ClipRect(), ClientRect());
    if (Update.IsEmpty()) return;
    if (HeaderHeight > 0 && Header() && Update.Top < HeaderHeight)
        Header()->Columns().PaintHeader(C, {0, 0, ClientWidth(), HeaderHeight}, FOffsetX);
    const fw::TRect Rows = fw::IntersectRect(Update, {0, HeaderHeight, ClientWidth(), ClientHeight()});
    if (Rows.IsEmpty()) return;
    const fw::TRect Window{Rows.Left - FOffsetX, Rows.Top - HeaderHeight - FOffsetY,
                           Rows.Right - FOffsetX, Rows.Bottom - HeaderHeight - FOffsetY};
    PaintTree(C, Window, {Rows.Left, Rows.Top},
              ipBackground | ipColumnColor | ipDrawFocusRect | ipDrawSelection | ipDrawDropMark |
                  ipGridLines);
}

} // namespace vel
