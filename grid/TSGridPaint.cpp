// The grid engine's painting: the shared memory canvas, the four regions of
// the base grid (corner, headings, row bar, cells), each cell by its kind,
// and the grid's own pictures.
#include "TSGrid.h"

#include "Bitmap.h"
#include "NoDestroy.h"
#include "Resources.h"
#include "ScopeExit.h"
#include "TSShared.h"

#include <algorithm>

namespace vel {

// --- The grid's pictures --------------------------------------------------------------------

namespace {

constexpr fw::TColor PictureKey = 0xFF00FF; // the pictures' transparent colour

std::unique_ptr<fw::TBitmap> BlankPicture(int W, int H) {
    auto B = std::make_unique<fw::TBitmap>(W, H);
    B->Canvas().Brush().SetColor(PictureKey);
    B->Canvas().FillRect(fw::TRect{0, 0, W, H});
    B->Canvas().Brush().SetColor(fw::clBlack);
    B->Canvas().Pen().SetColor(fw::clBlack);
    return B;
}

// A filled triangle, a row of pixels at a time: rows of Width narrowing to a point.
void Triangle(fw::TCanvas& C, int X, int Y, int Rows, bool Up, bool Sideways) {
    for (int I = 0; I < Rows; ++I) {
        const int Half = Up ? I : Rows - 1 - I;
        if (Sideways)
            C.FillRect(fw::TRect{X + I, Y + Rows - 1 - (Rows - 1 - I), X + I + 1,
                                 Y + Rows + (Rows - 1 - I)});
        else
            C.FillRect(fw::TRect{X + Rows - 1 - Half, Y + I, X + Rows + Half, Y + I + 1});
    }
}

std::unique_ptr<fw::TBitmap> DrawnPicture(TtsGridPicture Which) {
    switch (Which) {
    case TtsGridPicture::Arrow: { // the current-row mark: a triangle pointing right
        auto B = BlankPicture(5, 9);
        Triangle(B->Canvas(), 0, 0, 5, false, true);
        return B;
    }
    case TtsGridPicture::SortUp:
    case TtsGridPicture::SortDown: {
        auto B = BlankPicture(9, 5);
        B->Canvas().Brush().SetColor(fw::clBtnShadow);
        Triangle(B->Canvas(), 0, 0, 5, Which == TtsGridPicture::SortUp, false);
        return B;
    }
    case TtsGridPicture::SortBullet: {
        auto B = BlankPicture(5, 5);
        B->Canvas().Brush().SetColor(fw::clBtnShadow);
        B->Canvas().Pen().SetColor(fw::clBtnShadow);
        B->Canvas().Ellipse(0, 0, 5, 5);
        return B;
    }
    case TtsGridPicture::Spin: { // two small triangles, up above down
        auto B = BlankPicture(7, 9);
        Triangle(B->Canvas(), 0, 0, 4, true, false);
        Triangle(B->Canvas(), 0, 5, 4, false, false);
        return B;
    }
    case TtsGridPicture::SpinHorz: { // two small triangles, left beside right
        auto B = BlankPicture(9, 7);
        for (int I = 0; I < 4; ++I) {
            B->Canvas().FillRect(fw::TRect{3 - I, 3 - I, 4 - I, 4 + I});
            B->Canvas().FillRect(fw::TRect{5 + I, 3 - I, 6 + I, 4 + I});
        }
        return B;
    }
    }
    return BlankPicture(1, 1);
}

const char* ResourceName(TtsGridPicture Which) {
    switch (Which) {
    case TtsGridPicture::Arrow:
        return "TSGRID_ARROW";
    case TtsGridPicture::SortUp:
        return "TSGRID_SORTUP";
    case TtsGridPicture::SortDown:
        return "TSGRID_SORTDOWN";
    case TtsGridPicture::SortBullet:
        return "TSGRID_SORTBULLET";
    case TtsGridPicture::Spin:
        return "TSGRID_SPIN";
    default:
        return "TSGRID_SPINHORZ";
    }
}

std::unique_ptr<fw::TBitmap> LoadPicture(TtsGridPicture Which) {
    std::unique_ptr<fw::TBitmap> B;
    try {
        B = fw::LoadBitmapResource(ResourceName(Which));
    } catch (const std::exception&) {
        B = DrawnPicture(Which); // no resource, or one that cannot be read
    }
    B->SetTransparentColor(PictureKey);
    B->SetTransparentMode(fw::tmFixed);
    B->SetTransparent(true);
    return B;
}

} // namespace

namespace {

constexpr std::size_t PictureCount = 6;
static_assert(static_cast<std::size_t>(TtsGridPicture::SpinHorz) + 1 == PictureCount);

// Never destroyed: a grid freed by a late exit handler may still paint.
std::array<std::unique_ptr<fw::TBitmap>, PictureCount>& Pictures() {
    static fw::TNoDestroy<std::array<std::unique_ptr<fw::TBitmap>, PictureCount>> P;
    return *P;
}

} // namespace

const fw::TBitmap& GridPicture(TtsGridPicture Which) {
    std::unique_ptr<fw::TBitmap>& P = Pictures()[static_cast<std::size_t>(Which)];
    if (!P) P = LoadPicture(Which);
    return *P;
}

void LoadGridPictures() {
    for (std::size_t I = 0; I < PictureCount; ++I)
        GridPicture(static_cast<TtsGridPicture>(I));
}

void FreeGridPictures() {
    for (std::unique_ptr<fw::TBitmap>& P : Pictures())
        P.reset();
}

// --- Paint -----------------------------------------------------------------------------------

void TtsBaseGrid::Paint() {
    fw::TCanvas& Target = *Canvas();
    const fw::TRect Clip = IntersectRect(Target.ClipRect(), ClientRect());
    if (Clip.IsEmpty()) return;
    TtsMemoryCanvas& Mem = GridMemoryCanvas();
    TtsCanvasLock Lock(Mem, this);
    fw::TCanvas& C = Mem.Use(FCanvasInUse, ClientWidth(), ClientHeight());
    Mem.SetClipRect(Clip);
    PrimeCanvas(C);
    FPaintCanvas = &C;
    fw::TScopeExit Done([this] { FPaintCanvas = nullptr; });
    DrawGrid(C, Clip);
    Target.CopyRect(Clip, C, Clip);
}

void TtsBaseGrid::DrawGrid(fw::TCanvas& C, const fw::TRect& Clip) {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    const int FixedR = D.Horz.FixedBoundary, FixedB = D.Vert.FixedBoundary;
    const int GridR = D.Horz.GridBoundary, GridB = D.Vert.GridBoundary;
    const TGridCoord TL = TopLeft();
    struct TRegion {
        int Col0, Col1, Row0, Row1;
        fw::TRect Area;
    };
    const TRegion Regions[] = {
        {0, FixedCols(), 0, FixedRows(), {0, 0, FixedR, FixedB}},
        {TL.X, ColCount(), 0, FixedRows(), {FixedR, 0, GridR, FixedB}},
        {0, FixedCols(), TL.Y, RowCount(), {0, FixedB, FixedR, GridB}},
        {TL.X, ColCount(), TL.Y, RowCount(), {FixedR, FixedB, GridR, GridB}},
    };
    for (const TRegion& G : Regions) {
        const fw::TRect Area = IntersectRect(G.Area, Clip);
        if (Area.IsEmpty()) continue;
        fw::TCanvasStateSaver Saver(C);
        C.IntersectClipRect(Area);
        int Y = G.Area.Top;
        for (int R = ShownLineFrom(true, G.Row0, 1, 0); R < G.Row1 && Y < G.Area.Bottom;
             R = ShownLineFrom(true, R + 1, 1, 0)) {
            const int H = TCustomGrid_ts::RowHeights(R);
            int X = G.Area.Left;
            for (int Cl = ShownLineFrom(false, G.Col0, 1, 0); Cl < G.Col1 && X < G.Area.Right;
                 Cl = ShownLineFrom(false, Cl + 1, 1, 0)) {
                const int W = TCustomGrid_ts::ColWidths(Cl);
                const fw::TRect Cell{X, Y, X + W, Y + H};
                if (W > 0 && H > 0 && C.RectVisible(Cell)) DrawCell(Cl, R, Cell, 0);
                X += std::max(0, W);
            }
            Y += std::max(0, H);
        }
    }
    // What lies past the last line takes the grid's colour.
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(GridColor());
    if (GridR < ClientWidth()) C.FillRect(fw::TRect{GridR, 0, ClientWidth(), ClientHeight()});
    if (GridB < ClientHeight()) C.FillRect(fw::TRect{0, GridB, GridR, ClientHeight()});
}

void TtsBaseGrid::DrawCell(int ACol, int ARow, const fw::TRect& ARect, TGridDrawState) {
    fw::TCanvas& C = FPaintCanvas ? *FPaintCanvas : *Canvas();
    fw::TCanvasStateSaver Saver(C);
    C.IntersectClipRect(ARect);
    if (ARow == 0 && ACol == 0) {
        fw::TRect R = ARect;
        C.Brush().SetColor(FixedColor());
        C.FillRect(R);
        DrawCellLines(C, R, true);
    } else if (ARow == 0) {
        DrawHeading(C, ACol, ARect);
    } else if (ACol == 0) {
        DrawRowBar(C, ARow, ARect);
    } else {
        DrawDataCell(C, ACol, ARow, ARect);
    }
}

void TtsBaseGrid::DrawCellLines(fw::TCanvas& C, fw::TRect& R, bool Fixed) {
    C.Brush().SetStyle(fw::bsSolid);
    if (Fixed) {
        // A raised edge: light top and left, shadow right and bottom.
        fw::TRect E = R;
        C.DrawEdge(E, fw::BDR_RAISEDINNER, fw::BF_RECT);
        R = fw::TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
        return;
    }
    C.Brush().SetColor(FLineColor);
    if (FGridLines == glVertLines || FGridLines == glBoth) {
        C.FillRect(fw::TRect{R.Right - 1, R.Top, R.Right, R.Bottom});
        R.Right -= 1;
    }
    if (FGridLines == glHorzLines || FGridLines == glBoth) {
        C.FillRect(fw::TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom});
        R.Bottom -= 1;
    }
}

void TtsBaseGrid::DrawHeading(fw::TCanvas& C, int DisplayCol, const fw::TRect& Rect) {
    const TtsCol* Column = FModel->Col(DataColAt(DisplayCol));
    if (!Column) return;
    const bool Selected = ColSelected(DisplayCol);
    fw::TColor Back = Column->HeadingColor() != clNoneTs ? Column->HeadingColor() : FixedColor();
    C.Font().Assign(Column->HeadingFont() ? *Column->HeadingFont() : FModel->HeadingFont);
    if (Selected) {
        Back = fw::clHighlight;
        C.Font().SetColor(fw::clHighlightText);
    }
    fw::TRect R = Rect;
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(Back);
    C.FillRect(R);
    DrawCellLines(C, R, true);
    if (Column->SortPicture() != spNone) {
        const auto Which = Column->SortPicture() == spUp     ? TtsGridPicture::SortUp
                           : Column->SortPicture() == spDown ? TtsGridPicture::SortDown
                                                             : TtsGridPicture::SortBullet;
        const fw::TBitmap& Glyph = GridPicture(Which);
        const int X = R.Right - Glyph.Width() - 3;
        C.Draw(X, R.Top + (R.Bottom - R.Top - Glyph.Height()) / 2, Glyph);
        R.Right = X - 1;
    }
    int Accel = 0;
    const std::string Text = StripAccelerators(Column->Heading(), Accel);
    const TtsHorzAlignment H =
        Column->HeadingHorzAlignment() == htaDefault ? htaCenter : Column->HeadingHorzAlignment();
    const TtsVertAlignment V =
        Column->HeadingVertAlignment() == vtaDefault ? vtaCenter : Column->HeadingVertAlignment();
    DrawCellText(C, Text, R.Bottom - R.Top, Accel, Column->HeadingWordWrap() == wwOn, V, H, R.Top,
                 R.Left + CellTextLeft - 1, R);
}

void TtsBaseGrid::DrawRowBar(fw::TCanvas& C, int DisplayRow, const fw::TRect& Rect) {
    fw::TRect R = Rect;
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(RowSelected(DisplayRow) ? fw::clHighlight : FixedColor());
    C.FillRect(R);
    DrawCellLines(C, R, true);
    if (HasCurrentCell() && DisplayRow == Current().Y) {
        const fw::TBitmap& Arrow = GridPicture(TtsGridPicture::Arrow);
        C.Draw(R.Left + (R.Right - R.Left - Arrow.Width()) / 2,
               R.Top + (R.Bottom - R.Top - Arrow.Height()) / 2, Arrow);
    } else if (IsInsertRow(DisplayRow)) {
        C.Font().Assign(FModel->HeadingFont);
        DrawCellText(C, "*", R.Bottom - R.Top, 0, false, vtaCenter, htaCenter, R.Top, R.Left, R);
    }
}

bool TtsBaseGrid::CellSelected(int DisplayCol, int DisplayRow) const {
    if (RowSelected(DisplayRow) || ColSelected(DisplayCol)) return true;
    return HasCellRange() && DisplayCol >= FRange.Left && DisplayCol <= FRange.Right &&
           DisplayRow >= FRange.Top && DisplayRow <= FRange.Bottom;
}

TtsCellPaint TtsBaseGrid::CellPaintOf(int DataCol, int DataRow, bool Selected) {
    TtsCellPaint P;
    const TtsGridModel& G = *FModel;
    P.Value = CellValue(DataCol, DataRow);
    P.Color = Selected ? fw::clHighlight : G.EffectiveColor(DataCol, DataRow);
    P.HorzAlignment = G.EffectiveHorzAlignment(DataCol, DataRow);
    P.VertAlignment = G.EffectiveVertAlignment(DataCol, DataRow);
    if (P.HorzAlignment == htaDefault) P.HorzAlignment = htaLeft;
    if (P.VertAlignment == vtaDefault) P.VertAlignment = vtaTop;
    P.WordWrap = G.EffectiveWordWrap(DataCol, DataRow) == wwOn;
    if (const TtsCol* Column = G.Col(DataCol)) P.CheckBoxValues = Column->CheckBoxValues();
    return P;
}

const fw::TBitmap* TtsBaseGrid::PictureOf(const TtsVariant& Value,
                                          fw::TColor& TransparentColor) const {
    TransparentColor = clNoneTs;
    if (auto* O = std::get_if<fw::TObject*>(&Value)) {
        const auto* Bitmap = dynamic_cast<const fw::TBitmap*>(*O);
        if (Bitmap && Bitmap->Transparent()) TransparentColor = Bitmap->TransparentColor();
        return Bitmap;
    }
    TtsImageListComponent* Images = ImageList();
    if (!Images || VarIsEmpty(Value) || VarIsNull(Value) || !Images->IsValidKey(Value))
        return nullptr;
    const TtsImageItem* Image = Images->GetImage(Value);
    if (!Image) return nullptr;
    // A transparent image lets the cell's colour show around it.
    if (Image->Transparent()) TransparentColor = Image->TransparentColor();
    return &Image->Bitmap();
}

void TtsBaseGrid::DrawDataCell(fw::TCanvas& C, int DisplayCol, int DisplayRow,
                               const fw::TRect& Rect) {
    const int DC = DataColAt(DisplayCol), DR = DataRowAt(DisplayRow);
    const bool Current =
        HasCurrentCell() && DisplayCol == this->Current().X && DisplayRow == this->Current().Y;
    // A drop-down list marks its current row as a whole.
    const bool Selected = (!Current || FDropDownList) && CellSelected(DisplayCol, DisplayRow);
    fw::TRect R = Rect;
    DrawCellLines(C, R, false);
    const TtsCellPaint P = CellPaintOf(DC, DR, Selected);
    C.Font().Assign(FModel->EffectiveFont(DC, DR));
    if (Selected) C.Font().SetColor(fw::clHighlightText);
    switch (EffectiveControlType(DC, DR)) {
    case ctText:
        FEditStrategy->Paint(C, R, P);
        break;
    case ctCheck:
        FCheckStrategy->Paint(C, R, P);
        break;
    case ctPicture: {
        auto Option = [](TtsDrawOption O, bool Fallback) {
            return O == dopOn ? true : O == dopOff ? false : Fallback;
        };
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(P.Color);
        fw::TColor Transparent = clNoneTs;
        const fw::TBitmap* Picture = PictureOf(P.Value, Transparent);
        DrawPicture(C, R, Picture, Option(EffectiveKeepAspectRatio(DC, DR), KeepAspectRatio),
                    Option(EffectiveShrinkPicture(DC, DR), ShrinkPicture),
                    Option(EffectiveStretchPicture(DC, DR), StretchPicture),
                    Option(EffectiveCenterPicture(DC, DR), CenterPicture), Transparent);
        break;
    }
    default:
        C.Brush().SetColor(P.Color);
        C.FillRect(R);
        break;
    }
    if (FModel->EffectiveIs3D(DC, DR)) {
        fw::TRect Edge = R;
        C.DrawEdge(Edge, fw::BDR_RAISEDINNER, fw::BF_RECT);
    }
    if (Current && !FDropDownList) DrawCellButton(C, R);
    if (Current && !FDropDownList &&
        (Focused() || (FActive && FActive->Focused()) || FAlwaysShowFocus)) {
        C.Brush().SetColor(P.Color);
        C.Font().SetColor(fw::clWindowText);
        C.DrawFocusRect(R);
    }
}

} // namespace vel
