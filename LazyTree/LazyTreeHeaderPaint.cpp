// Header painting: button faces in four styles, glyph and text layout, owner draw.
#include "Canvas.h"
#include "LazyTreeHeader.h"
#include "LazyTreeResources.h"
#include "LazyTrees.h"

#include <algorithm>

namespace vel {

namespace {

// Size of the utility images: the sort and drop-mark glyphs and the hot strip.
constexpr int UtilityGlyphSize = 16;

// One third of the way from C toward (203, 199, 184), per channel, rounded.
fw::TColor DarkenStep(fw::TColor C) {
    auto Step = [](int V, int T) {
        const double D = (V - T) / 3.0;
        return V - static_cast<int>(D >= 0 ? D + 0.5 : D - 0.5);
    };
    const int R = Step(C & 0xFF, 203), G = Step((C >> 8) & 0xFF, 199),
              B = Step((C >> 16) & 0xFF, 184);
    return fw::RGB(static_cast<std::uint8_t>(R), static_cast<std::uint8_t>(G),
                   static_cast<std::uint8_t>(B));
}

void HLine(fw::TCanvas& Canvas, int X1, int X2, int Y, fw::TColor C) {
    Canvas.Brush().SetColor(C);
    Canvas.FillRect({X1, Y, X2, Y + 1});
}

void VLine(fw::TCanvas& Canvas, int X, int Y1, int Y2, fw::TColor C) {
    Canvas.Brush().SetColor(C);
    Canvas.FillRect({X, Y1, X + 1, Y2});
}

} // namespace

namespace {

// A column's header cell: the sizes and options in, the places out.
struct THeaderCellLayout {
    int W = 0, H = 0, Margin = 0, Spacing = 0;
    fw::TSize Text, Glyph, Sort;
    bool UseGlyph = false, UseSort = false, RTL = false;
    TAlignment Align = taLeftJustify;
    TLTHeaderColumnLayout Layout = blGlyphLeft;
    int GlyphX = 0, GlyphY = 0, TextX = 0, TextY = 0, TextRight = 0, SortX = 0, SortY = 0;

    bool Vertical() const { return Layout == blGlyphTop || Layout == blGlyphBottom; }
};

void PlaceVertically(THeaderCellLayout& L) {
    if (!L.Vertical() || !L.UseGlyph) {
        L.GlyphY = (L.H - L.Glyph.cy) / 2;
        L.TextY = (L.H - L.Text.cy) / 2;
    } else if (L.Layout == blGlyphTop) {
        L.GlyphY = (L.H - L.Glyph.cy - L.Text.cy - L.Spacing) / 2;
        L.TextY = L.GlyphY + L.Glyph.cy + L.Spacing;
    } else {
        L.TextY = (L.H - L.Glyph.cy - L.Text.cy - L.Spacing) / 2;
        L.GlyphY = L.TextY + L.Text.cy + L.Spacing;
    }
    L.SortY = (L.H - L.Sort.cy) / 2;
}

// Glyph and text as a group, the sort glyph beside it.
void PlaceHorizontally(THeaderCellLayout& L) {
    const bool GlyphLeft = L.UseGlyph && L.Layout == blGlyphLeft;
    const bool GlyphRight = L.UseGlyph && L.Layout == blGlyphRight;
    const bool Stacked = L.Vertical() && L.UseGlyph;
    int GroupWidth = L.Text.cx;
    if (GlyphLeft || GlyphRight)
        GroupWidth += L.Glyph.cx + (L.Text.cx ? L.Spacing : 0);
    else if (Stacked)
        GroupWidth = std::max(GroupWidth, L.Glyph.cx);
    const int SortPart = L.UseSort ? L.Sort.cx + L.Spacing : 0;

    int GroupLeft;
    switch (L.Align) {
    case taLeftJustify:
        GroupLeft = L.Margin + (L.RTL ? SortPart : 0);
        L.SortX = L.RTL ? L.Margin : GroupLeft + GroupWidth + L.Spacing;
        break;
    case taRightJustify:
        GroupLeft = L.W - L.Margin - GroupWidth - (L.RTL ? 0 : SortPart);
        L.SortX = L.RTL ? GroupLeft - L.Spacing - L.Sort.cx : L.W - L.Margin - L.Sort.cx;
        break;
    default:
        GroupLeft = (L.W - GroupWidth) / 2;
        L.SortX = L.RTL ? GroupLeft - L.Spacing - L.Sort.cx : GroupLeft + GroupWidth + L.Spacing;
        break;
    }
    L.TextX = L.GlyphX = GroupLeft;
    if (GlyphLeft) {
        L.TextX = GroupLeft + L.Glyph.cx + L.Spacing;
    } else if (GlyphRight) {
        L.GlyphX = GroupLeft + L.Text.cx + (L.Text.cx ? L.Spacing : 0);
    } else if (Stacked) {
        L.GlyphX = GroupLeft + (GroupWidth - L.Glyph.cx) / 2;
        L.TextX = GroupLeft + (GroupWidth - L.Text.cx) / 2;
        if (L.Align == taCenter && L.UseSort) L.TextX -= L.Sort.cx / 2;
    }
}

// Keeps everything inside Margin .. W - Margin; the text gives way to the glyphs.
void KeepInside(THeaderCellLayout& L) {
    if (L.UseSort)
        L.SortX = std::clamp(L.SortX, L.Margin, std::max(L.Margin, L.W - L.Margin - L.Sort.cx));
    if (L.UseGlyph)
        L.GlyphX = std::clamp(L.GlyphX, L.Margin, std::max(L.Margin, L.W - L.Margin - L.Glyph.cx));
    int SpaceLeft = L.Margin, SpaceRight = L.W - L.Margin;
    if (L.UseSort) {
        if (L.SortX >= L.TextX)
            SpaceRight = std::min(SpaceRight, L.SortX - L.Spacing);
        else
            SpaceLeft = std::max(SpaceLeft, L.SortX + L.Sort.cx + L.Spacing);
    }
    L.TextX = std::max(L.TextX, SpaceLeft);
    L.TextRight = std::min(L.TextX + L.Text.cx, std::max(L.TextX, SpaceRight));
}

} // namespace

void TLazyTreeColumn::ComputeHeaderLayout(fw::TCanvas& Canvas, const fw::TRect& Client,
                                          bool UseHeaderGlyph, bool UseSortGlyph,
                                          fw::TPoint& GlyphPos, fw::TPoint& SortGlyphPos,
                                          fw::TRect& TextBounds) const {
    const fw::TImageList* Images = Header() ? Header()->Images() : nullptr;
    THeaderCellLayout L;
    L.W = Client.Width();
    L.H = Client.Height();
    L.Margin = FMargin;
    L.Spacing = FSpacing;
    L.UseGlyph = UseHeaderGlyph && Images;
    L.UseSort = UseSortGlyph;
    L.Text = {FText.empty() ? 0 : Canvas.TextWidth(FText) + 2,
              Canvas.TextHeight(FText.empty() ? std::u16string(u"X") : FText)};
    if (L.UseGlyph) L.Glyph = {Images->Width(), Images->Height()};
    if (L.UseSort) L.Sort = {UtilityGlyphSize, UtilityGlyphSize};
    L.Layout = FLayout;
    L.Align = FAlignment;
    L.RTL = UseRightToLeftReading();
    if (L.RTL && L.Align != taCenter)
        L.Align = L.Align == taLeftJustify ? taRightJustify : taLeftJustify;
    PlaceVertically(L);
    PlaceHorizontally(L);
    KeepInside(L);
    GlyphPos = {Client.Left + L.GlyphX, Client.Top + L.GlyphY};
    SortGlyphPos = {Client.Left + L.SortX, Client.Top + L.SortY};
    TextBounds = {Client.Left + L.TextX, Client.Top + L.TextY, Client.Left + L.TextRight,
                  Client.Top + L.TextY + L.Text.cy};
}

void TLazyTreeColumns::DrawButtonText(fw::TCanvas& Canvas, const std::u16string& Caption,
                                      fw::TRect Bounds, bool Enabled, bool Hot,
                                      unsigned DrawFormat) {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    const unsigned Format = DrawFormat | fw::DT_END_ELLIPSIS | fw::DT_SINGLELINE;
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.SetBkMode(fw::bkTransparent);
    if (Enabled) {
        if (Hot && T) Canvas.Font().SetColor(T->Colors()->HeaderHotColor());
        Canvas.DrawText(Caption, Bounds, Format);
    } else {
        fw::TRect Shadow = fw::OffsetRect(Bounds, 1, 1);
        Canvas.Font().SetColor(fw::clBtnHighlight);
        Canvas.DrawText(Caption, Shadow, Format);
        Canvas.Font().SetColor(fw::clBtnShadow);
        Canvas.DrawText(Caption, Bounds, Format);
    }
}

void TLazyTreeColumns::DrawXPButton(fw::TCanvas& Canvas, fw::TRect R, bool DrawSplitter, bool Down,
                                    bool Hover) {
    fw::TCanvasStateSaver Saver(Canvas);
    const fw::TColor Fill = Down ? 0xD8DFDE : Hover ? 0xF3F8FA : 0xDBEAEB;
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(Fill);
    Canvas.FillRect(R);
    if (Down) {
        VLine(Canvas, R.Left, R.Top, R.Bottom, 0x97A5A5);
        HLine(Canvas, R.Left, R.Right, R.Bottom - 1, 0x97A5A5);
        VLine(Canvas, R.Right - 1, R.Top, R.Bottom, 0x97A5A5);
        VLine(Canvas, R.Left + 1, R.Top, R.Bottom - 1, 0xB8C2C1);
        HLine(Canvas, R.Left + 1, R.Right - 1, R.Top, 0xB8C2C1);
        VLine(Canvas, R.Left + 2, R.Top + 1, R.Bottom - 1, 0xC9D1D0);
        HLine(Canvas, R.Left + 2, R.Right - 1, R.Top + 1, 0xC9D1D0);
        return;
    }
    if (DrawSplitter) {
        VLine(Canvas, R.Right - 2, R.Top + 3, R.Bottom - 5, 0xB2C5C7);
        VLine(Canvas, R.Right - 1, R.Top + 3, R.Bottom - 5, fw::clWhite);
    }
    if (Hover) {
        // The hot strip along the bottom: its ends and a middle piece every 16 pixels.
        fw::TImageList& U = UtilityImages();
        const int Y = R.Bottom - UtilityGlyphSize;
        fw::TCanvasStateSaver Clip(Canvas);
        Canvas.IntersectClipRect({R.Left, R.Bottom - 3, R.Right, R.Bottom});
        if (R.Width() <= 2 * UtilityGlyphSize) {
            U.Draw(Canvas, R.Right - UtilityGlyphSize, Y, uiHotStripRight);
            Canvas.IntersectClipRect({R.Left, R.Top, R.Left + R.Width() / 2, R.Bottom});
            U.Draw(Canvas, R.Left, Y, uiHotStripLeft);
            return;
        }
        for (int X = R.Left + UtilityGlyphSize; X < R.Right - UtilityGlyphSize;
             X += UtilityGlyphSize)
            U.Draw(Canvas, X, Y, uiHotStripMiddle);
        U.Draw(Canvas, R.Left, Y, uiHotStripLeft);
        U.Draw(Canvas, R.Right - UtilityGlyphSize, Y, uiHotStripRight);
        return;
    }
    const fw::TColor First = DarkenStep(Fill);
    const fw::TColor Second = DarkenStep(First);
    HLine(Canvas, R.Left, R.Right, R.Bottom - 3, First);
    HLine(Canvas, R.Left, R.Right, R.Bottom - 2, Second);
    HLine(Canvas, R.Left, R.Right, R.Bottom - 1, 0xB8C7CB);
}

void TLazyTreeColumns::PaintHeader(fw::TCanvas& Canvas, fw::TRect R, int HOffset) {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    if (!T) return;
    const fw::TRect HR = T->HeaderRect();
    const int W = std::max(1, HR.Width() > 0 ? HR.Width() : R.Width());
    const int H = std::max(1, HR.Height() > 0 ? HR.Height() : R.Height());
    FHeaderBitmap.SetSize(W, H);
    fw::TCanvas& B = FHeaderBitmap.Canvas();
    B.Font().Assign(FHeader->Font());
    const TLTHeaderOptions Opts = FHeader->Options();
    THeaderPaintMode Mode;
    Mode.Advanced = (Opts & hoOwnerDraw) && T->OnHeaderDrawQueryElements && T->OnAdvancedHeaderDraw;
    Mode.OwnerDraw = !Mode.Advanced && (Opts & hoOwnerDraw) && T->OnHeaderDraw;
    // A draw handler that changes the columns makes the header start again
    // on the columns as they are (a few times at most: a handler may change
    // them at every call).
    constexpr int MaxPasses = 3;
    for (int Pass = 0; Pass < MaxPasses; ++Pass)
        if (PaintHeaderPass(B, R, HOffset, Mode)) break;
    Canvas.CopyRect(R, B, R);
}

bool TLazyTreeColumns::PaintHeaderPass(fw::TCanvas& B, const fw::TRect& R, int HOffset,
                                       const THeaderPaintMode& Mode) {
    TBaseLazyTree* T = FHeader->Treeview();
    FPaintStamp = FChangeStamp;
    const int W = FHeaderBitmap.Width(), H = FHeaderBitmap.Height();
    PaintHeaderBackground(B, {TotalWidth() + HOffset, 0, W, H}, Mode);
    int Left = HOffset;
    const std::vector<TLazyTreeColumn*> Visible = GetVisibleColumns();
    for (std::size_t VI = 0; VI < Visible.size(); ++VI) {
        if (PaintStale()) return false;
        TLazyTreeColumn* C = Visible[VI];
        const fw::TRect Button{Left, 0, Left + C->Width(), H};
        Left += C->Width();
        if (Button.Right <= R.Left) continue;
        if (Button.Left > R.Right) break;
        THeaderPaintInfo Info = ColumnPaintInfo(B, *C, Button, VI + 1 == Visible.size());
        THeaderPaintElements Elements = 0;
        if (Mode.Advanced) T->DoHeaderDrawQueryElements(Info, Elements);
        if (PaintStale()) return false;
        const bool PlainOwner = Mode.OwnerDraw && C->Style() == vsOwnerDraw;
        if (!PlainOwner) PaintColumnFace(B, Info, Mode.Advanced && (Elements & hpeBackground));
        if (PaintStale()) return false;
        fw::TRect Clipped = Button;
        Clipped.Left = std::max(Clipped.Left, R.Left);
        Clipped.Right = std::min(Clipped.Right, R.Right);
        if (PlainOwner)
            T->DoHeaderDraw(B, C, Clipped, Info.IsHoverIndex, Info.IsDownIndex, Info.DropMark);
        else
            PaintColumnContent(B, Info, Clipped, Mode.Advanced ? Elements : 0);
    }
    return !PaintStale();
}

void TLazyTreeColumns::PaintHeaderBackground(fw::TCanvas& B, const fw::TRect& Back,
                                             const THeaderPaintMode& Mode) {
    TBaseLazyTree* T = FHeader->Treeview();
    THeaderPaintInfo Info;
    Info.TargetCanvas = &B;
    Info.PaintRectangle = Back;
    THeaderPaintElements Elements = 0;
    if (Mode.Advanced) T->DoHeaderDrawQueryElements(Info, Elements);
    if (Mode.Advanced && (Elements & hpeBackground)) {
        T->DoAdvancedHeaderDraw(Info, hpeBackground);
    } else if (FHeader->Style() == hsXPStyle) {
        DrawXPButton(B, Back, false, false, false);
    } else {
        B.Brush().SetStyle(fw::bsSolid);
        B.Brush().SetColor(FHeader->Background());
        B.FillRect(Back);
    }
}

THeaderPaintInfo TLazyTreeColumns::ColumnPaintInfo(fw::TCanvas& B, TLazyTreeColumn& C,
                                                   const fw::TRect& Button, bool Last) {
    TBaseLazyTree* T = FHeader->Treeview();
    const TLTHeaderOptions Opts = FHeader->Options();
    const TColumnIndex Index = C.Index();
    THeaderPaintInfo Info;
    Info.TargetCanvas = &B;
    Info.Column = &C;
    Info.PaintRectangle = Button;
    Info.IsHoverIndex = Index == HoverIndex && (Opts & hoHotTrack) && (C.Options() & coEnabled);
    Info.IsDownIndex = Index == DownIndex;
    Info.DropMark = (C.Options() & coShowDropMark) && Index == DropTarget && Index != DragIndex
                        ? (DropBefore ? dmmLeft : dmmRight)
                        : dmmNone;
    Info.IsEnabled = (C.Options() & coEnabled) && T->Enabled();
    Info.ShowHeaderGlyph = (Opts & hoShowImages) && FHeader->Images() && C.ImageIndex() > -1;
    Info.ShowSortGlyph = (Opts & hoShowSortGlyphs) && Index == FHeader->SortColumn();
    Info.ShowRightBorder = !(Last && FHeader->Style() != hsThickButtons && (Opts & hoAutoResize));
    return Info;
}

void TLazyTreeColumns::PaintColumnFace(fw::TCanvas& B, THeaderPaintInfo& Info, bool Custom) {
    TBaseLazyTree* T = FHeader->Treeview();
    const fw::TRect& Button = Info.PaintRectangle;
    if (Custom) {
        T->DoAdvancedHeaderDraw(Info, hpeBackground);
        return;
    }
    if (FHeader->Style() == hsXPStyle) {
        DrawXPButton(B, Button, Info.ShowRightBorder, Info.IsDownIndex, Info.IsHoverIndex);
        return;
    }
    B.Brush().SetStyle(fw::bsSolid);
    B.Brush().SetColor(FHeader->Background());
    B.FillRect(Button);
    // Raised buttons leave the right border to the neighbour unless asked.
    constexpr unsigned Open = fw::BF_MIDDLE | fw::BF_LEFT | fw::BF_TOP | fw::BF_BOTTOM;
    constexpr unsigned Closed = fw::BF_MIDDLE | fw::BF_RECT;
    unsigned Edge = fw::EDGE_RAISED, Flags = Open | fw::BF_SOFT;
    const bool Clickable = (Info.Column->Options() & coAllowClick) && Info.IsEnabled;
    switch (FHeader->Style()) {
    case hsThickButtons:
        Flags = Info.IsDownIndex ? Closed | fw::BF_SOFT | fw::BF_FLAT : Open | fw::BF_SOFT;
        break;
    case hsFlatButtons:
        Edge = Info.IsDownIndex ? fw::BDR_SUNKENOUTER : fw::BDR_RAISEDINNER;
        Flags = Info.IsDownIndex ? Closed : Open;
        break;
    default:
        Edge = Info.IsDownIndex ? fw::BDR_SUNKENOUTER : fw::BDR_RAISEDINNER;
        Flags = Info.IsDownIndex                 ? Closed
                : Info.IsHoverIndex && Clickable ? Open
                                                 : Closed | fw::BF_SOFT;
        break;
    }
    if (!Info.IsDownIndex && Info.ShowRightBorder) Flags |= fw::BF_RIGHT;
    fw::TRect E = Button;
    B.DrawEdge(E, Edge, Flags);
}

void TLazyTreeColumns::PaintColumnContent(fw::TCanvas& B, THeaderPaintInfo& Info,
                                          const fw::TRect& Button, THeaderPaintElements Custom) {
    TBaseLazyTree* T = FHeader->Treeview();
    TLazyTreeColumn& C = *Info.Column;
    const fw::TRect Inner{Button.Left + 2, Button.Top + 2, Button.Right - 2, Button.Bottom - 2};
    unsigned Format = fw::DT_LEFT | fw::DT_TOP | fw::DT_NOPREFIX;
    if (C.UseRightToLeftReading()) Format |= fw::DT_RTLREADING;
    fw::TPoint GlyphPos, SortPos;
    fw::TRect TextBounds;
    C.ComputeHeaderLayout(B, Inner, Info.ShowHeaderGlyph, Info.ShowSortGlyph, GlyphPos, SortPos,
                          TextBounds);
    if (Info.IsDownIndex) {
        GlyphPos.X++, GlyphPos.Y++, SortPos.X++, SortPos.Y++;
        TextBounds = fw::OffsetRect(TextBounds, 1, 1);
    }
    Info.GlyphPos = GlyphPos;
    Info.SortGlyphPos = SortPos;
    Info.TextRectangle = TextBounds;
    fw::TCanvasStateSaver Clip(B);
    B.IntersectClipRect(Button);
    // After a handler changed the columns, C may be gone: the pass starts again.
    auto Own = [&](THeaderPaintElements E) {
        if (!(Custom & E)) return false;
        fw::TCanvasStateSaver Keep(B);
        T->DoAdvancedHeaderDraw(Info, E);
        return true;
    };
    if (Info.ShowHeaderGlyph && !Own(hpeHeaderGlyph)) {
        const bool Overlaps = Info.ShowSortGlyph && !C.UseRightToLeftReading() &&
                              GlyphPos.X + FHeader->Images()->Width() > SortPos.X;
        if (!Overlaps)
            FHeader->Images()->Draw(B, GlyphPos.X, GlyphPos.Y, C.ImageIndex(), Info.IsEnabled);
    }
    if (PaintStale()) return;
    if (!Own(hpeText))
        DrawButtonText(B, C.Text(), TextBounds, Info.IsEnabled, Info.IsHoverIndex, Format);
    if (PaintStale()) return;
    fw::TImageList& U = UtilityImages();
    if (Info.ShowSortGlyph && !Own(hpeSortGlyph))
        U.Draw(B, SortPos.X, SortPos.Y,
               FHeader->SortDirection() == sdAscending ? uiSortAscending : uiSortDescending);
    if (Info.DropMark != dmmNone && !Own(hpeDropMark)) {
        const int Y = Button.Top + (Button.Height() - UtilityGlyphSize) / 2;
        if (Info.DropMark == dmmLeft)
            U.Draw(B, Button.Left, Y, uiDropMarkLeft);
        else
            U.Draw(B, Button.Right - UtilityGlyphSize, Y, uiDropMarkRight);
    }
}

} // namespace vel
