// The painting primitives: row background and picture tiles, dotted lines and
// tree lines, expand buttons, check boxes, node images, the selection and the
// rubber band.
#include "LazyTrees.h"
#include "LazyTreeInternal.h"

#include "LazyTreeResources.h"
#include "LazyTreeUtils.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Input.h"
#include "ScopeExit.h"

#include <algorithm>

namespace vel {

namespace {

constexpr int ButtonSize = 9;
constexpr fw::TColor ButtonKey = fw::clFuchsia;

// The band pieces of one level (lmBands), from its tree-line piece.
TLTLineType BandPiece(TLTLineType Piece, bool Expanded, TLTLineType DeeperOriginal,
                      TLTLineType DeeperBand, bool Deepest) {
    if (Expanded) return ltLeft;
    switch (Piece) {
    case ltBottomRight:
    case ltTopDownRight:
    case ltRight:
    case ltTopRight:
        return ltLeftBottom;
    case ltLeft:
    case ltLeftBottom:
        return Piece;
    default:
        if (Deepest) return ltLeft;
        return DeeperOriginal != ltNone && DeeperOriginal != ltTopRight ? ltLeft : DeeperBand;
    }
}

} // namespace

// --- row background -----------------------------------------------------------------

void TBaseLazyTree::ClearNodeBackground(const TLTPaintInfo& PaintInfo, bool UseBackground,
                                        bool Floating, fw::TRect R) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    TItemEraseAction Action = eaDefault;
    fw::TColor Back = Color();
    fw::TPoint Origin{0, 0};
    if (Floating) {
        Origin = {FOffsetX, R.Top};
        R = fw::OffsetRect(R, 0, -R.Top);
    }
    DoBeforeItemErase(C, PaintInfo.Node, R, Back, Action);
    C.Brush().SetStyle(fw::bsSolid);
    if (Action == eaColor) {
        C.Brush().SetColor(Back);
        C.FillRect(R);
    } else if (Action == eaDefault) {
        const bool FullRowSelected = (PaintInfo.PaintOptions & ipDrawSelection) &&
                                     (SelectionOptions() & toFullRowSelect) &&
                                     (PaintInfo.Node->States & vsSelected);
        if (UseBackground) {
            TileBackground(FBackground.Bitmap(), C, Origin, R);
        } else if (FullRowSelected) {
            C.Brush().SetColor(Color());
            C.FillRect(R);
            fw::TRect S = R;
            if (PaintOptions() & toShowHorzGridLines) --S.Bottom;
            const bool Active = Focused() || (PaintOptions() & toPopupMode);
            fw::TCanvasStateSaver Saver(C);
            C.Brush().SetColor(Active ? FColors->FocusedSelectionColor()
                                      : FColors->UnfocusedSelectionColor());
            C.Pen().SetColor(Active ? FColors->FocusedSelectionBorderColor()
                                    : FColors->UnfocusedSelectionBorderColor());
            const int Radius = static_cast<int>(std::min<std::uint32_t>(FSelectionCurveRadius, 1000));
            C.RoundRect(S.Left, S.Top, S.Right, S.Bottom, Radius, Radius);
        } else {
            C.Brush().SetColor(Color());
            C.FillRect(R);
        }
    }
    DoAfterItemErase(C, PaintInfo.Node, R);
}

void TBaseLazyTree::TileBackground(const fw::TBitmap& Source, fw::TCanvas& Target,
                                   fw::TPoint Offset, const fw::TRect& Area) {
    const int W = Source.Width(), H = Source.Height();
    // Only what can be drawn on: a tall row's picture holds a part of it.
    const fw::TRect R = fw::IntersectRect(Area, Target.ClipRect());
    if (W <= 0 || H <= 0 || R.IsEmpty()) return;
    auto Mod = [](long long V, int M) { return static_cast<int>(((V % M) + M) % M); };
    int SourceY = Mod(static_cast<long long>(R.Top) + Offset.Y + FBackgroundOffsetY, H);
    for (int Y = R.Top; Y < R.Bottom;) {
        int SourceX = Mod(static_cast<long long>(R.Left) + Offset.X + FBackgroundOffsetX, W);
        const int Band = std::min(R.Bottom - Y, H - SourceY);
        for (int X = R.Left; X < R.Right;) {
            const int Width = std::min(R.Right - X, W - SourceX);
            Target.CopyRect({X, Y, X + Width, Y + Band}, Source.Canvas(),
                            {SourceX, SourceY, SourceX + Width, SourceY + Band});
            X += W - SourceX;
            SourceX = 0;
        }
        Y += H - SourceY;
        SourceY = 0;
    }
}

// --- lines ----------------------------------------------------------------------------

void TBaseLazyTree::DrawDottedHLine(const TLTPaintInfo& PaintInfo, int Left, int Right, int Top) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    fw::TCanvasStateSaver Saver(C);
    C.Brush().SetPattern(FLinePattern);
    C.Brush().SetColor(Color());
    C.FillRect({std::min(Left, Right), Top, std::max(Left, Right) + 1, Top + 1});
}

void TBaseLazyTree::DrawDottedVLine(const TLTPaintInfo& PaintInfo, int Top, int Bottom, int Left) {
    fw::TCanvas& C = *PaintInfo.Canvas;
    fw::TCanvasStateSaver Saver(C);
    C.Brush().SetPattern(FLinePattern);
    C.Brush().SetColor(Color());
    C.FillRect({Left, std::min(Top, Bottom), Left + 1, std::max(Top, Bottom) + 1});
}

void TBaseLazyTree::DrawLineImage(const TLTPaintInfo& PaintInfo, int X, int Y, int H, int VAlign,
                                  TLTLineType Style, bool Reverse) {
    const int Indent = static_cast<int>(FIndent);
    const int Half = Indent / 2;
    auto Vert = [&](int From, int To) { DrawDottedVLine(PaintInfo, From, To, X + Half); };
    auto Arm = [&] {
        DrawDottedHLine(PaintInfo, X + Half, Reverse ? X : X + Indent, Y + VAlign);
    };
    switch (Style) {
    case ltBottomRight:
        Vert(Y + VAlign, Y + H);
        Arm();
        break;
    case ltTopDown:
        Vert(Y, Y + H);
        break;
    case ltTopDownRight:
        Vert(Y, Y + H);
        Arm();
        break;
    case ltRight:
        Arm();
        break;
    case ltTopRight:
        Vert(Y, Y + VAlign);
        Arm();
        break;
    case ltLeft:
        DrawDottedVLine(PaintInfo, Y, Y + H, Reverse ? X + Indent : X);
        break;
    case ltLeftBottom:
        DrawDottedVLine(PaintInfo, Y, Y + H, Reverse ? X + Indent : X);
        DrawDottedHLine(PaintInfo, X, X + Indent, Y + H);
        break;
    default:
        break;
    }
}

void TBaseLazyTree::PaintTreeLines(const TLTPaintInfo& PaintInfo, int VAlignment, int IndentSize,
                                   const TLineImage& LineImage) {
    const bool Reverse = PaintInfo.BidiMode != bdLeftToRight;
    const int Indent = static_cast<int>(FIndent);
    const int Height = PaintInfo.CellRect.Height();
    auto XOf = [&](std::size_t Level) {
        const int Step = lt::IndentWidth(Level, FIndent);
        return lt::Reachable(Reverse ? std::int64_t{PaintInfo.CellRect.Right} - Indent - Step
                                     : std::int64_t{PaintInfo.CellRect.Left} + Step);
    };
    fw::TCanvas& C = *PaintInfo.Canvas;
    fw::TCanvasStateSaver Saver(C);
    (void)IndentSize;
    if (FLineMode == lmNormal) {
        C.Font().SetColor(FColors->TreeLineColor());
        for (std::size_t L = 0; L < LineImage.size(); ++L)
            DrawLineImage(PaintInfo, XOf(L), 0, Height, VAlignment, LineImage[L], Reverse);
        return;
    }
    if (!(PaintInfo.PaintOptions & ipGridLines)) return;
    // Bands: from the deepest level up, each level's piece becomes a band border.
    TLineImage Bands(LineImage.size(), ltNone);
    const bool Expanded = (PaintInfo.Node->States & vsExpanded) != 0;
    for (std::size_t I = LineImage.size(); I-- > 0;) {
        const bool Deepest = I + 1 == LineImage.size();
        Bands[I] = BandPiece(LineImage[I], Expanded, Deepest ? ltNone : LineImage[I + 1],
                             Deepest ? ltNone : Bands[I + 1], Deepest);
    }
    C.Font().SetColor(FColors->GridLineColor());
    for (std::size_t L = 0; L < Bands.size(); ++L)
        DrawLineImage(PaintInfo, XOf(L), 0, Height - 1, VAlignment, Bands[L], Reverse);
}

// --- buttons --------------------------------------------------------------------------

void TBaseLazyTree::PrepareBitmaps(bool NeedButtons, bool NeedLines) {
    if (NeedButtons) {
        for (fw::TBitmap* B : {&FMinusBM, &FPlusBM}) {
            const bool Plus = B == &FPlusBM;
            B->SetSize(ButtonSize, ButtonSize);
            fw::TCanvas& C = B->Canvas();
            C.Brush().SetStyle(fw::bsSolid);
            C.Brush().SetColor(ButtonKey);
            C.FillRect({0, 0, ButtonSize, ButtonSize});
            C.Pen().SetStyle(fw::psSolid);
            if (FButtonStyle == bsTriangle) {
                C.Pen().SetColor(fw::clBlack);
                C.Brush().SetColor(fw::clBlack);
                if (Plus)
                    C.Polygon({fw::TPoint{2, 0}, fw::TPoint{6, 4}, fw::TPoint{2, 8}});
                else
                    C.Polygon({fw::TPoint{0, 2}, fw::TPoint{8, 2}, fw::TPoint{4, 6}});
            } else {
                fw::TColor Fill = Color();
                if (FButtonFillMode == fmWindowColor) Fill = fw::clWindow;
                C.Pen().SetColor(FColors->TreeLineColor());
                if (FButtonFillMode == fmTransparent) {
                    C.Brush().SetStyle(fw::bsClear);
                } else if (FButtonFillMode == fmShaded) {
                    // A shaded face: lighter at the top, darker at the bottom.
                    for (int Y = 1; Y < ButtonSize - 1; ++Y) {
                        const int V = 255 - Y * 9;
                        C.Brush().SetColor(fw::RGB(static_cast<std::uint8_t>(V),
                                                   static_cast<std::uint8_t>(V),
                                                   static_cast<std::uint8_t>(V - 8)));
                        C.FillRect({1, Y, ButtonSize - 1, Y + 1});
                    }
                    C.Brush().SetStyle(fw::bsClear);
                } else {
                    C.Brush().SetColor(Fill);
                }
                C.Rectangle(0, 0, ButtonSize, ButtonSize);
                C.Brush().SetStyle(fw::bsSolid);
                C.Brush().SetColor(fw::clBlack);
                C.FillRect({2, 4, ButtonSize - 2, 5});
                if (Plus) C.FillRect({4, 2, 5, ButtonSize - 2});
            }
            B->SetTransparentMode(fw::tmFixed);
            B->SetTransparentColor(ButtonKey);
            B->SetTransparent(true);
        }
    }
    if (NeedLines) {
        switch (FLineStyle) {
        case lsSolid:
            FLinePattern.fill(0);
            break;
        case lsCustomStyle:
            FLinePattern = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
            DoGetLineStyle(FLinePattern);
            break;
        default:
            FLinePattern = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
            break;
        }
    }
}

void TBaseLazyTree::PaintNodeButton(fw::TCanvas& Canvas, PLazyNode Node, int, const fw::TRect& R,
                                    int ButtonX, int ButtonY, TBiDiMode BidiMode) {
    const fw::TBitmap& B = (Node->States & vsExpanded) ? FMinusBM : FPlusBM;
    const int X = lt::Reachable(BidiMode == bdLeftToRight
                                    ? std::int64_t{R.Left} + ButtonX
                                    : std::int64_t{R.Right} - ButtonX - B.Width());
    Canvas.Draw(X, R.Top + ButtonY, B);
}

// --- check boxes and images ---------------------------------------------------------------

int TBaseLazyTree::GetCheckImage(PLazyNode Node) {
    if (!Node || Node->CheckType == TCheckType::ctNone) return -1;
    // Columns of the table: disabled, disabled and hot, enabled, enabled and hot.
    static constexpr int Box[6][4] = {{12, 12, 9, 10},  {12, 12, 11, 11}, {16, 16, 13, 14},
                                      {16, 16, 15, 15}, {20, 20, 17, 18}, {20, 20, 19, 19}};
    static constexpr int Radio[6][4] = {{4, 4, 1, 2},     {4, 4, 3, 3},     {8, 8, 5, 6},
                                        {8, 8, 7, 7},     {20, 20, 17, 18}, {20, 20, 19, 19}};
    static constexpr int Button[6][4] = {{24, 24, 21, 22}, {24, 24, 23, 23}, {24, 24, 21, 22},
                                         {24, 24, 23, 23}, {20, 20, 17, 18}, {20, 20, 19, 19}};
    const bool Enabled = !(Node->States & vsDisabled) && this->Enabled();
    const bool Hot = Node == FHotNode;
    const int Col = (Enabled ? 2 : 0) + (Hot ? 1 : 0);
    const auto Row = static_cast<std::size_t>(Node->CheckState);
    if (Row > 5) return -1;
    switch (Node->CheckType) {
    case ctRadioButton:
        return Radio[Row][Col];
    case ctButton:
        return Button[Row][Col];
    case ctTriStateCheckBox:
    case ctCheckBox:
        return Box[Row][Col];
    default:
        return -1;
    }
}

void TBaseLazyTree::PaintCheckImage(const TLTPaintInfo& PaintInfo) {
    const TLTImageInfo& I = PaintInfo.ImageInfo[iiCheck];
    if (!I.Images || I.Index < 0) return;
    // A selected node's box takes a quarter of the selection colour (a paint
    // without the selection, as a drag picture's, leaves it plain): tinted,
    // yet its mark stays readable.
    const PLazyNode Node = PaintInfo.Node;
    const bool Tint = Node && (Node->States & vsSelected) && !I.Ghosted &&
                      (PaintInfo.PaintOptions & ipDrawSelection);
    if (!Tint) {
        I.Images->Draw(*PaintInfo.Canvas, I.XPos, I.YPos, I.Index, fw::dsTransparent, fw::itImage);
        return;
    }
    const fw::TColor Keep = I.Images->BlendColor();
    I.Images->SetBlendColor(Focused() || (PaintOptions() & toPopupMode)
                                ? FColors->FocusedSelectionColor()
                                : FColors->UnfocusedSelectionColor());
    fw::TScopeExit Restore([&] { I.Images->SetBlendColor(Keep); });
    I.Images->Draw(*PaintInfo.Canvas, I.XPos, I.YPos, I.Index, fw::dsFocus, fw::itImage);
}

int TBaseLazyTree::GetImageIndex(PLazyNode Node, TLTImageKind Kind, int Column, bool& Ghosted) {
    Ghosted = false;
    int Index = -1;
    DoGetImageIndex(Node, Kind, Column, Ghosted, Index);
    return Index;
}

void TBaseLazyTree::PaintImage(TLTPaintInfo& PaintInfo, TLTImageInfoIndex ImageInfoIndex,
                               bool DoOverlay) {
    TLTImageInfo& I = PaintInfo.ImageInfo[ImageInfoIndex];
    if (!I.Images || I.Index < 0) return;
    PLazyNode Node = PaintInfo.Node;
    fw::TCanvas& C = *PaintInfo.Canvas;
    const bool CutPending = (Node->States & vsCutOrCopy) && InState(tsCutPending);
    const bool SelectedLabel = (Node->States & vsSelected) &&
                               !(SelectionOptions() & toFullRowSelect) &&
                               !(MiscOptions() & toGridExtensions);
    const bool Blend = (PaintOptions() & toUseBlendedImages) &&
                       (Focused() || (PaintOptions() & toGhostedIfUnfocused)) &&
                       (I.Ghosted || CutPending || SelectedLabel);
    const bool Enabled = !(Node->States & vsDisabled) && this->Enabled();
    const fw::TColor Keep = I.Images->BlendColor();
    fw::TDrawingStyle Style = fw::dsTransparent;
    if (Blend && Enabled) {
        Style = fw::dsSelected;
        if (I.Ghosted || CutPending)
            I.Images->SetBlendColor(Color());
        else
            I.Images->SetBlendColor(Focused() || (PaintOptions() & toPopupMode)
                                        ? FColors->FocusedSelectionColor()
                                        : FColors->UnfocusedSelectionColor());
    }
    I.Images->Draw(C, I.XPos, I.YPos, I.Index, Style, fw::itImage, Enabled);
    if (DoOverlay) {
        bool Ghosted = false;
        const int Overlay = GetImageIndex(Node, ikOverlay, PaintInfo.Column, Ghosted);
        if (Overlay > -1)
            I.Images->Draw(C, I.XPos, I.YPos, Overlay, Style, fw::itImage, Enabled);
    }
    I.Images->SetBlendColor(Keep);
}

// --- selection ----------------------------------------------------------------------------

void TBaseLazyTree::PaintSelectionFill(fw::TCanvas& Canvas, const fw::TRect& R, fw::TColor Fill,
                                       fw::TColor Frame) {
    if (R.IsEmpty()) return;
    if (PaintOptions() & toUseBlendedSelection) {
        BlendRect(Canvas, R, Fill, FSelectionBlendFactor);
        return;
    }
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.Pen().SetStyle(fw::psSolid);
    Canvas.Pen().SetColor(Frame);
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(Fill);
    const int Radius = static_cast<int>(std::min<std::uint32_t>(FSelectionCurveRadius, 1000));
    if (Radius > 0)
        Canvas.RoundRect(R.Left, R.Top, R.Right, R.Bottom, Radius, Radius);
    else
        Canvas.Rectangle(R);
}

void TBaseLazyTree::PaintSelectionRectangle(fw::TCanvas& Canvas, int WindowOrgX,
                                            const fw::TRect& SelectionRect,
                                            const fw::TRect& TargetRect) {
    const fw::TRect R = fw::OffsetRect(OrderRect(SelectionRect), -WindowOrgX, 0);
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.IntersectClipRect(TargetRect);
    if (FDrawSelectionMode == smBlendedRectangle) {
        BlendRect(Canvas, fw::IntersectRect(R, TargetRect),
                  FColors->SelectionRectangleBlendColor(), FSelectionBlendFactor);
        Canvas.Brush().SetStyle(fw::bsSolid);
        Canvas.Brush().SetColor(FColors->SelectionRectangleBorderColor());
        Canvas.FrameRect(R);
        return;
    }
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(fw::clBlack);
    Canvas.Font().SetColor(fw::clWhite);
    Canvas.DrawFocusRect(R);
}

// --- measures ---------------------------------------------------------------------------------

int TBaseLazyTree::ContentLead(PLazyNode Node, int Column) {
    const bool IsMain = Column == HeaderMainColumn() || !HeaderUseColumns() ||
                        !Header()->Columns().IsValidColumn(Column);
    std::int64_t Lead = FMargin;
    if (IsMain) Lead += LevelIndent(Node);
    if (IsMain && (MiscOptions() & toCheckSupport) && FCheckImages &&
        Node->CheckType != TCheckType::ctNone)
        Lead += FCheckImages->Width() + 2;
    bool Ghosted = false;
    if (FStateImages && GetImageIndex(Node, ikState, Column, Ghosted) > -1)
        Lead += FStateImages->Width() + 2;
    if (FImages) {
        int Index = (Node->States & vsSelected) ? GetImageIndex(Node, ikSelected, Column, Ghosted)
                                                 : -1;
        if (Index < 0) Index = GetImageIndex(Node, ikNormal, Column, Ghosted);
        if (Index > -1) Lead += FImages->Width() + 2;
    }
    return lt::Reachable(Lead);
}

int TBaseLazyTree::LevelIndent(PLazyNode Node) const {
    return lt::IndentWidth(GetNodeLevel(Node) + ((PaintOptions() & toShowRoot) ? 1 : 0), FIndent);
}

fw::TRect TBaseLazyTree::TextRectOf(PLazyNode Node, int Column, const fw::TRect& R,
                                    bool Unclipped) {
    TAlignment A = FAlignment;
    TBiDiMode B = FBiDiMode;
    if (HeaderUseColumns() && Header()->Columns().IsValidColumn(Column)) {
        A = Header()->Columns()[Column].Alignment();
        B = Header()->Columns()[Column].BiDiMode();
    }
    const bool RTL = B != bdLeftToRight;
    if (RTL && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
    const int Lead = ContentLead(Node, Column);
    const int Width = DoGetNodeWidth(Node, Column, Canvas());
    // The content runs from the leading edge past the lead to the trailing edge.
    const fw::TRect Content =
        RTL ? fw::TRect{R.Left, R.Top, lt::Reachable(std::int64_t{R.Right} - Lead), R.Bottom}
            : fw::TRect{lt::Reachable(std::int64_t{R.Left} + Lead), R.Top, R.Right, R.Bottom};
    // A multi-line text wraps within the content.
    if (Node->States & vsMultiline) return Content;
    fw::TRect T = Content;
    std::int64_t Left = Content.Left;
    if (A == taRightJustify)
        Left = std::int64_t{Content.Right} - Width;
    else if (A == taCenter)
        Left = Content.Left + (std::int64_t{Content.Right} - Content.Left - Width) / 2;
    T.Left = lt::Reachable(Left);
    T.Right = lt::Reachable(Left + Width);
    if (!Unclipped) {
        T.Left = std::max(T.Left, Content.Left);
        T.Right = std::min(T.Right, Content.Right);
        if (T.Right < T.Left) T.Right = T.Left;
    }
    return T;
}

int TBaseLazyTree::GetMaxRightExtend() {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // a query: frees none
    std::int64_t Result = 0;
    int Top = 0;
    PLazyNode Node = GetNodeAt(0, RowAreaTop(), true, Top);
    const int Bottom = RowAreaTop() + RowAreaHeight();
    while (Node && Top < Bottom) {
        if (!(Node->States & vsInitialized)) InitNode(Node);
        std::int64_t Extent = LevelIndent(Node);
        bool Ghosted = false;
        const int Column = HeaderMainColumn();
        if (FStateImages && GetImageIndex(Node, ikState, Column, Ghosted) > -1)
            Extent += FStateImages->Width() + 2;
        if (FImages && GetImageIndex(Node, ikNormal, Column, Ghosted) > -1)
            Extent += FImages->Width() + 2;
        if ((MiscOptions() & toCheckSupport) && FCheckImages &&
            Node->CheckType != TCheckType::ctNone)
            Extent += FCheckImages->Width() + 2;
        // A multi-line text wraps within the window instead of widening the content.
        if (!(Node->States & vsMultiline)) Extent += DoGetNodeWidth(Node, Column, Canvas());
        Result = std::max(Result, Extent);
        Top += static_cast<int>(GetNodeHeight(Node));
        Node = GetNextVisible(Node);
    }
    return lt::Reachable(Result + 2 * FMargin);
}

void TBaseLazyTree::PaintBorder(fw::TCanvas& Canvas) {
    // The frame of the window style, the bevels, and the border width in the border colour.
    PaintFrame(Canvas, FColors->Color(ciBorderColor));
}

fw::TSize TBaseLazyTree::GetBorderDimensions() {
    fw::TSize Result;
    if (!HandleAllocated()) return Result;
    const std::uint32_t Style = fw::GetWindowStyle(Handle());
    const std::uint32_t Ex = fw::GetWindowExStyle(Handle());
    if (Style & fw::WS_BORDER) Result = {-1, -1};
    if (Style & fw::WS_THICKFRAME) {
        Result.cx -= fw::GetSystemMetrics(fw::SM_CXFRAME);
        Result.cy -= fw::GetSystemMetrics(fw::SM_CYFRAME);
    }
    if (Ex & fw::WS_EX_CLIENTEDGE) {
        Result.cx -= fw::GetSystemMetrics(fw::SM_CXEDGE);
        Result.cy -= fw::GetSystemMetrics(fw::SM_CYEDGE);
    }
    return Result;
}

void TBaseLazyTree::DetermineNextColumn(const TLTPaintInfo& PaintInfo, int& NextColumn) {
    NextColumn = HeaderUseColumns() ? Header()->Columns().GetNextVisibleColumn(PaintInfo.Column)
                                    : InvalidColumn;
}

void TBaseLazyTree::AdjustPaintCellRect(TLTPaintInfo&, int&) {}

void TBaseLazyTree::GetTextInfo(PLazyNode, int, fw::TFont&, fw::TRect& R, std::u16string& Text) {
    R = {};
    Text.clear();
}

} // namespace vel
