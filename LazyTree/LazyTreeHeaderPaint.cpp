// Header painting: button faces in four styles, glyph and text layout, owner draw.
#include "Canvas.h"
#include "LazyTreeHeader.h"
#include "LazyTrees.h"

#include <algorithm>

namespace vel {

namespace {

// Size of the sort and drop-mark glyphs the header draws itself.
constexpr int UtilityGlyphSize = 16;

// Sort arrow: a small filled triangle centred in a 16 x 16 cell.
void DrawSortGlyph(fw::TCanvas& Canvas, fw::TPoint At, bool Ascending, fw::TColor Color) {
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.Pen().SetColor(Color);
    Canvas.Brush().SetColor(Color);
    Canvas.Brush().SetStyle(fw::bsSolid);
    const int L = At.X + 4, R = At.X + 12, T = At.Y + 6, B = At.Y + 10;
    if (Ascending)
        Canvas.Polygon({{L, B}, {R, B}, {(L + R) / 2, T}});
    else
        Canvas.Polygon({{L, T}, {R, T}, {(L + R) / 2, B}});
}

// Drop mark: a vertical bar with arrow heads, left or right edge of a cell.
void DrawDropMark(fw::TCanvas& Canvas, fw::TPoint At, fw::TColor Color) {
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.Brush().SetColor(Color);
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.FillRect({At.X + 7, At.Y + 2, At.X + 9, At.Y + 14});
    Canvas.FillRect({At.X + 5, At.Y + 2, At.X + 11, At.Y + 4});
    Canvas.FillRect({At.X + 5, At.Y + 12, At.X + 11, At.Y + 14});
}

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

void TLazyTreeColumn::ComputeHeaderLayout(fw::TCanvas& Canvas, const fw::TRect& Client,
                                          bool UseHeaderGlyph, bool UseSortGlyph,
                                          fw::TPoint& GlyphPos, fw::TPoint& SortGlyphPos,
                                          fw::TRect& TextBounds) const {
    const fw::TImageList* Images = Header() ? Header()->Images() : nullptr;
    UseHeaderGlyph = UseHeaderGlyph && Images;
    const int W = Client.Width(), H = Client.Height();
    fw::TSize TextSize{FText.empty() ? 0 : Canvas.TextWidth(FText) + 2,
                       Canvas.TextHeight(FText.empty() ? std::u16string(u"X") : FText)};
    fw::TSize Glyph =
        UseHeaderGlyph ? fw::TSize{Images->Width(), Images->Height()} : fw::TSize{0, 0};
    fw::TSize Sort = UseSortGlyph ? fw::TSize{UtilityGlyphSize, UtilityGlyphSize} : fw::TSize{0, 0};
    TAlignment Align = FAlignment;
    const bool RTL = UseRightToLeftReading();
    if (RTL && Align != taCenter) Align = Align == taLeftJustify ? taRightJustify : taLeftJustify;
    const bool Vertical = FLayout == blGlyphTop || FLayout == blGlyphBottom;

    // Vertical placement.
    int GlyphY = 0, TextY = 0;
    if (!Vertical || !UseHeaderGlyph) {
        GlyphY = (H - Glyph.cy) / 2;
        TextY = (H - TextSize.cy) / 2;
    } else if (FLayout == blGlyphTop) {
        GlyphY = (H - Glyph.cy - TextSize.cy - FSpacing) / 2;
        TextY = GlyphY + Glyph.cy + FSpacing;
    } else {
        TextY = (H - Glyph.cy - TextSize.cy - FSpacing) / 2;
        GlyphY = TextY + TextSize.cy + FSpacing;
    }
    const int SortY = (H - Sort.cy) / 2;

    // Horizontal run: glyph and text as a group.
    const bool GlyphLeft = UseHeaderGlyph && FLayout == blGlyphLeft;
    const bool GlyphRight = UseHeaderGlyph && FLayout == blGlyphRight;
    int GroupWidth = TextSize.cx;
    if (GlyphLeft || GlyphRight)
        GroupWidth += Glyph.cx + (TextSize.cx ? FSpacing : 0);
    else if (Vertical && UseHeaderGlyph)
        GroupWidth = std::max(GroupWidth, Glyph.cx);
    const int SortPart = UseSortGlyph ? Sort.cx + FSpacing : 0;

    int GroupLeft;
    int SortX = 0;
    switch (Align) {
    case taLeftJustify:
        GroupLeft = FMargin + (RTL ? SortPart : 0);
        SortX = RTL ? FMargin : GroupLeft + GroupWidth + FSpacing;
        break;
    case taRightJustify:
        GroupLeft = W - FMargin - GroupWidth - (RTL ? 0 : SortPart);
        SortX = RTL ? GroupLeft - FSpacing - Sort.cx : W - FMargin - Sort.cx;
        break;
    default:
        GroupLeft = (W - GroupWidth) / 2;
        SortX = RTL ? GroupLeft - FSpacing - Sort.cx : GroupLeft + GroupWidth + FSpacing;
        break;
    }
    int TextX = GroupLeft, GlyphX = GroupLeft;
    if (GlyphLeft)
        TextX = GroupLeft + Glyph.cx + FSpacing;
    else if (GlyphRight)
        GlyphX = GroupLeft + TextSize.cx + (TextSize.cx ? FSpacing : 0);
    else if (Vertical && UseHeaderGlyph) {
        GlyphX = GroupLeft + (GroupWidth - Glyph.cx) / 2;
        TextX = GroupLeft + (GroupWidth - TextSize.cx) / 2;
        if (Align == taCenter && UseSortGlyph) TextX -= Sort.cx / 2;
    }

    // Keep everything inside Margin .. W - Margin.
    if (UseSortGlyph) SortX = std::clamp(SortX, FMargin, std::max(FMargin, W - FMargin - Sort.cx));
    if (UseHeaderGlyph)
        GlyphX = std::clamp(GlyphX, FMargin, std::max(FMargin, W - FMargin - Glyph.cx));
    int SpaceLeft = FMargin, SpaceRight = W - FMargin;
    if (UseSortGlyph) {
        if (SortX >= TextX)
            SpaceRight = std::min(SpaceRight, SortX - FSpacing);
        else
            SpaceLeft = std::max(SpaceLeft, SortX + Sort.cx + FSpacing);
    }
    TextX = std::max(TextX, SpaceLeft);
    const int TextRight = std::min(TextX + TextSize.cx, std::max(TextX, SpaceRight));

    GlyphPos = {Client.Left + GlyphX, Client.Top + GlyphY};
    SortGlyphPos = {Client.Left + SortX, Client.Top + SortY};
    TextBounds = {Client.Left + TextX, Client.Top + TextY, Client.Left + TextRight,
                  Client.Top + TextY + TextSize.cy};
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
        // The hot underline: an orange band across the bottom three rows.
        for (int I = 0; I < 3; ++I)
            HLine(Canvas, R.Left, R.Right, R.Bottom - 3 + I, I == 1 ? 0x3CC7F8 : 0x1E96E5);
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
    const bool Advanced =
        (Opts & hoOwnerDraw) && T->OnHeaderDrawQueryElements && T->OnAdvancedHeaderDraw;
    const bool OwnerDraw = !Advanced && (Opts & hoOwnerDraw) && T->OnHeaderDraw;
    const bool XP = FHeader->Style() == hsXPStyle;

    // Background right of the last column.
    {
        fw::TRect Back{TotalWidth() + HOffset, 0, W, H};
        THeaderPaintInfo Info;
        Info.TargetCanvas = &B;
        Info.PaintRectangle = Back;
        THeaderPaintElements Elements = 0;
        if (Advanced) T->DoHeaderDrawQueryElements(Info, Elements);
        if (Advanced && (Elements & hpeBackground))
            T->DoAdvancedHeaderDraw(Info, hpeBackground);
        else if (XP)
            DrawXPButton(B, Back, false, false, false);
        else {
            B.Brush().SetStyle(fw::bsSolid);
            B.Brush().SetColor(FHeader->Background());
            B.FillRect(Back);
        }
    }

    int Left = HOffset;
    const std::vector<TLazyTreeColumn*> Visible = GetVisibleColumns();
    for (std::size_t VI = 0; VI < Visible.size(); ++VI) {
        TLazyTreeColumn* C = Visible[VI];
        const TColumnIndex Index = C->Index();
        fw::TRect Button{Left, 0, Left + C->Width(), H};
        Left += C->Width();
        if (Button.Right <= R.Left) continue;
        if (Button.Left > R.Right) break;
        THeaderPaintInfo Info;
        Info.TargetCanvas = &B;
        Info.Column = C;
        Info.PaintRectangle = Button;
        Info.IsHoverIndex =
            Index == HoverIndex && (Opts & hoHotTrack) && (C->Options() & coEnabled);
        Info.IsDownIndex = Index == DownIndex;
        Info.DropMark = (C->Options() & coShowDropMark) && Index == DropTarget && Index != DragIndex
                            ? (DropBefore ? dmmLeft : dmmRight)
                            : dmmNone;
        Info.IsEnabled = (C->Options() & coEnabled) && T->Enabled();
        Info.ShowHeaderGlyph = (Opts & hoShowImages) && FHeader->Images() && C->ImageIndex() > -1;
        Info.ShowSortGlyph = (Opts & hoShowSortGlyphs) && Index == FHeader->SortColumn();
        Info.ShowRightBorder = !(VI + 1 == Visible.size() && FHeader->Style() != hsThickButtons &&
                                 (Opts & hoAutoResize));
        THeaderPaintElements Elements = 0;
        if (Advanced) T->DoHeaderDrawQueryElements(Info, Elements);

        const bool PlainOwner = OwnerDraw && C->Style() == vsOwnerDraw;
        if (!PlainOwner) {
            if (Advanced && (Elements & hpeBackground))
                T->DoAdvancedHeaderDraw(Info, hpeBackground);
            else if (XP)
                DrawXPButton(B, Button, Info.ShowRightBorder, Info.IsDownIndex, Info.IsHoverIndex);
            else {
                B.Brush().SetStyle(fw::bsSolid);
                B.Brush().SetColor(FHeader->Background());
                B.FillRect(Button);
                // Raised buttons leave the right border to the neighbour unless asked.
                constexpr unsigned Open =
                    fw::BF_ADJUST | fw::BF_MIDDLE | fw::BF_LEFT | fw::BF_TOP | fw::BF_BOTTOM;
                constexpr unsigned Closed = fw::BF_ADJUST | fw::BF_MIDDLE | fw::BF_RECT;
                unsigned Edge = fw::EDGE_RAISED, Flags = Open | fw::BF_SOFT;
                const bool Clickable = (C->Options() & coAllowClick) && Info.IsEnabled;
                switch (FHeader->Style()) {
                case hsThickButtons:
                    Flags =
                        Info.IsDownIndex ? Closed | fw::BF_SOFT | fw::BF_FLAT : Open | fw::BF_SOFT;
                    Edge = fw::EDGE_RAISED;
                    break;
                case hsFlatButtons:
                    Edge = Info.IsDownIndex ? fw::BDR_SUNKENOUTER : fw::BDR_RAISEDINNER;
                    Flags = Info.IsDownIndex ? Closed : Open;
                    break;
                default:
                    if (Info.IsDownIndex) {
                        Edge = fw::BDR_SUNKENOUTER;
                        Flags = Closed;
                    } else if (Info.IsHoverIndex && Clickable) {
                        Edge = fw::BDR_RAISEDINNER;
                        Flags = Open;
                    } else {
                        Edge = fw::BDR_RAISEDINNER;
                        Flags = Closed | fw::BF_SOFT;
                    }
                    break;
                }
                if (!Info.IsDownIndex && Info.ShowRightBorder) Flags |= fw::BF_RIGHT;
                fw::TRect E = Button;
                B.DrawEdge(E, Edge, Flags & ~fw::BF_ADJUST);
            }
        }
        Button.Left = std::max(Button.Left, R.Left);
        Button.Right = std::min(Button.Right, R.Right);
        if (PlainOwner) {
            T->DoHeaderDraw(B, C, Button, Info.IsHoverIndex, Info.IsDownIndex, Info.DropMark);
            continue;
        }
        fw::TRect Inner{Button.Left + 2, Button.Top + 2, Button.Right - 2, Button.Bottom - 2};
        unsigned Format = fw::DT_LEFT | fw::DT_TOP | fw::DT_NOPREFIX;
        if (C->UseRightToLeftReading()) Format |= fw::DT_RTLREADING;
        fw::TPoint GlyphPos, SortPos;
        fw::TRect TextBounds;
        C->ComputeHeaderLayout(B, Inner, Info.ShowHeaderGlyph, Info.ShowSortGlyph, GlyphPos,
                               SortPos, TextBounds);
        if (Info.IsDownIndex) {
            GlyphPos.X++, GlyphPos.Y++, SortPos.X++, SortPos.Y++;
            TextBounds = fw::OffsetRect(TextBounds, 1, 1);
        }
        Info.GlyphPos = GlyphPos;
        Info.SortGlyphPos = SortPos;
        Info.TextRectangle = TextBounds;
        fw::TCanvasStateSaver Clip(B);
        B.IntersectClipRect(Button);
        auto Custom = [&](THeaderPaintElements E) {
            if (!(Advanced && (Elements & E))) return false;
            fw::TCanvasStateSaver Keep(B);
            T->DoAdvancedHeaderDraw(Info, E);
            return true;
        };
        if (Info.ShowHeaderGlyph && !Custom(hpeHeaderGlyph)) {
            const bool Overlaps = Info.ShowSortGlyph && !C->UseRightToLeftReading() &&
                                  GlyphPos.X + FHeader->Images()->Width() > SortPos.X;
            if (!Overlaps)
                FHeader->Images()->Draw(B, GlyphPos.X, GlyphPos.Y, C->ImageIndex(), Info.IsEnabled);
        }
        if (!Custom(hpeText))
            DrawButtonText(B, C->Text(), TextBounds, Info.IsEnabled, Info.IsHoverIndex, Format);
        if (Info.ShowSortGlyph && !Custom(hpeSortGlyph))
            DrawSortGlyph(B, SortPos, FHeader->SortDirection() == sdAscending,
                          FHeader->Font().Color());
        if (Info.DropMark != dmmNone && !Custom(hpeDropMark)) {
            const int Y = Button.Top + (Button.Height() - UtilityGlyphSize) / 2;
            const int X = Info.DropMark == dmmLeft ? Button.Left : Button.Right - 16;
            DrawDropMark(B, {X, Y}, T->Colors()->DropMarkColor());
        }
    }
    Canvas.CopyRect(R, B, R);
}

} // namespace vel
