#include "Bitmap.h"
#include "Canvas.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
namespace {

constexpr std::uint32_t White = 0xFFFFFFFFu;
constexpr std::uint32_t Black = 0xFF000000u;

// Rows of a surface region: '#' for pixels that differ from white.
std::string Pic(const TSurface& s, int w, int h, int x0 = 0, int y0 = 0) {
    std::string out;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x)
            out += s.Pixel(x, y) == White ? '.' : '#';
        out += '\n';
    }
    return out;
}

int Count(const TSurface& s, std::uint32_t p) {
    int n = 0;
    for (std::uint32_t v : s.Pixels)
        n += v == p;
    return n;
}

// A 24 x 24 white surface with a canvas over all of it.
struct Target {
    TSurface S;
    TCanvas C;
    Target() { Fresh(); }
    // A blank surface again; the canvas keeps its pen, brush and font.
    void Fresh() {
        S.SetSize(24, 24, White);
        C.Attach(&S, {0, 0}, {0, 0, 24, 24});
    }
};

struct Fixture : ::testing::Test, Target {
    Fixture() { C.Brush().SetStyle(bsClear); }
};

using Lines = Fixture;

TEST_F(Lines, LeaveOutTheEndPointAndRoundHalfAwayFromTheStart) {
    C.MoveTo(0, 0);
    C.LineTo(4, 0);
    C.MoveTo(5, 0);
    C.LineTo(5, 3);
    C.MoveTo(0, 2);
    C.LineTo(3, 5);
    C.MoveTo(0, 6);
    C.LineTo(4, 8);
    EXPECT_EQ(Pic(S, 6, 9), "####.#\n"
                            ".....#\n"
                            "#....#\n"
                            ".#....\n"
                            "..#...\n"
                            "......\n"
                            "#.....\n"
                            ".##...\n"
                            "...#..\n");
    EXPECT_EQ(C.PenPos(), (TPoint{4, 8}));
}

TEST_F(Lines, PolylineJoinsSegmentsWithoutItsLastPoint) {
    C.Polyline({{0, 0}, {3, 0}, {3, 3}});
    EXPECT_EQ(Pic(S, 4, 4), "####\n"
                            "...#\n"
                            "...#\n"
                            "....\n");
}

TEST_F(Lines, StyledPensRepeatTheirRunsAndFillGapsOnlyWhenOpaque) {
    C.Pen().SetStyle(psDot);
    C.MoveTo(0, 0);
    C.LineTo(12, 0);
    C.Pen().SetStyle(psAlternate);
    C.MoveTo(0, 1);
    C.LineTo(6, 1);
    EXPECT_EQ(Pic(S, 12, 2), "###...###...\n"
                             "#.#.#.......\n");
    // An opaque background paints the gaps in the brush colour.
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clRed);
    C.MoveTo(0, 3);
    C.LineTo(6, 3);
    EXPECT_EQ(S.Pixel(0, 3), Black);
    EXPECT_EQ(S.Pixel(1, 3), 0xFFFF0000u);
    // Wide pens are always solid: a square stamp centred on each path pixel.
    C.Pen().SetWidth(3);
    C.MoveTo(2, 10);
    C.LineTo(6, 10);
    EXPECT_EQ(Pic(S, 8, 3, 0, 9), ".######.\n"
                                  ".######.\n"
                                  ".######.\n");
}

TEST_F(Lines, XorTwiceRestoresEveryPixel) {
    TSurface before = S;
    for (int i = 0; i < 24; ++i)
        S.Row(i)[i] = 0xFF123456u; // something to invert
    before = S;
    C.Pen().SetMode(pmXor);
    C.Pen().SetColor(clWhite);
    C.Pen().SetWidth(3); // overlapping stamps must still mix once
    for (int pass = 0; pass < 2; ++pass) {
        C.Polyline({{1, 1}, {20, 5}, {3, 18}});
        C.Rectangle(2, 2, 12, 9);
        C.Ellipse(5, 5, 19, 15);
        if (pass == 0) {
            EXPECT_NE(S.Pixels, before.Pixels);
        }
    }
    EXPECT_EQ(S.Pixels, before.Pixels);
}

using Shapes = Fixture;

TEST_F(Shapes, RectangleFramesWithThePenAndFillsInsideWithTheBrush) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clRed);
    C.Rectangle(1, 1, 6, 5);
    EXPECT_EQ(Pic(S, 7, 6), ".......\n"
                            ".#####.\n"
                            ".#####.\n"
                            ".#####.\n"
                            ".#####.\n"
                            ".......\n");
    EXPECT_EQ(S.Pixel(1, 1), Black);
    EXPECT_EQ(S.Pixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(S.Pixel(5, 4), Black);
    // Reversed corners draw the same rectangle.
    Target again;
    again.C.Brush().SetColor(clRed);
    again.C.Rectangle(6, 5, 1, 1);
    EXPECT_EQ(again.S.Pixels, S.Pixels);
}

TEST_F(Shapes, RectangleWithoutPenFillsOneLessRightAndBottom) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clBlack);
    C.Pen().SetStyle(psClear);
    C.Rectangle(1, 1, 5, 4);
    EXPECT_EQ(Pic(S, 6, 5), "......\n"
                            ".###..\n"
                            ".###..\n"
                            "......\n"
                            "......\n");
}

TEST_F(Shapes, InsideFramePenStaysWithinTheBox) {
    C.Pen().SetStyle(psInsideFrame);
    C.Pen().SetWidth(2);
    C.Rectangle(1, 1, 7, 6);
    EXPECT_EQ(Pic(S, 8, 7), "........\n"
                            ".######.\n"
                            ".######.\n"
                            ".##..##.\n"
                            ".######.\n"
                            ".######.\n"
                            "........\n");
}

TEST_F(Shapes, FillRectAndFrameRectExcludeRightAndBottom) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clBlack);
    C.FillRect({1, 1, 4, 3});
    C.FrameRect({5, 0, 9, 4});
    C.FillRect({3, 3, 3, 9}); // empty
    EXPECT_EQ(Pic(S, 10, 5), ".....####.\n"
                             ".###.#..#.\n"
                             ".###.#..#.\n"
                             ".....####.\n"
                             "..........\n");
}

TEST_F(Shapes, EllipsesAreMirrorSymmetricAndTouchTheirBox) {
    for (const TRect box : {TRect{0, 0, 7, 5}, TRect{0, 0, 10, 10}, TRect{0, 0, 13, 6},
                            TRect{0, 0, 2, 9}, TRect{0, 0, 21, 17}}) {
        Fresh();
        C.Brush().SetStyle(bsSolid);
        C.Brush().SetColor(clRed);
        C.Ellipse(box);
        const int w = box.Right, h = box.Bottom;
        bool top = false, bottom = false, left = false, right = false;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                const std::uint32_t p = S.Pixel(x, y);
                if (x >= w || y >= h) {
                    ASSERT_EQ(p, White) << x << "," << y;
                    continue;
                }
                ASSERT_EQ(p, S.Pixel(w - 1 - x, y)) << "horizontal mirror " << x << "," << y;
                ASSERT_EQ(p, S.Pixel(x, h - 1 - y)) << "vertical mirror " << x << "," << y;
                if (p != White) {
                    top |= y == 0;
                    bottom |= y == h - 1;
                    left |= x == 0;
                    right |= x == w - 1;
                }
            }
        EXPECT_TRUE(top && bottom && left && right);
    }
    Fresh();
    C.Brush().SetStyle(bsClear);
    C.Ellipse(0, 0, 7, 7);
    EXPECT_EQ(Pic(S, 7, 7), "..###..\n"
                            ".#...#.\n"
                            "#.....#\n"
                            "#.....#\n"
                            "#.....#\n"
                            ".#...#.\n"
                            "..###..\n");
}

TEST_F(Shapes, RoundRectCornersAreQuarterEllipses) {
    C.RoundRect(0, 0, 9, 6, 4, 4);
    EXPECT_EQ(Pic(S, 9, 6), ".#######.\n"
                            "#.......#\n"
                            "#.......#\n"
                            "#.......#\n"
                            "#.......#\n"
                            ".#######.\n");
    // A corner as large as the box is an ellipse.
    Target e;
    e.C.Brush().SetStyle(bsClear);
    e.C.Ellipse(0, 0, 11, 8);
    Fresh();
    C.RoundRect(0, 0, 11, 8, 11, 8);
    EXPECT_EQ(S.Pixels, e.S.Pixels);
}

TEST_F(Shapes, PolygonFillsPixelCentresInsideAndOutlinesWithThePen) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clBlack);
    C.Pen().SetStyle(psClear);
    C.Polygon({{1, 1}, {5, 1}, {5, 4}, {1, 4}});
    C.Polygon({{8, 0}, {14, 0}, {8, 6}});
    EXPECT_EQ(Pic(S, 15, 7), "........#####..\n"
                             ".####...####...\n"
                             ".####...###....\n"
                             ".####...##.....\n"
                             "........#......\n"
                             "...............\n"
                             "...............\n");
    // The drop-mark arrow with a pen: its outline closes on the first point.
    Fresh();
    C.Pen().SetStyle(psSolid);
    C.Brush().SetStyle(bsClear);
    C.Polygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    EXPECT_EQ(Pic(S, 6, 6), "#####.\n"
                            "#...#.\n"
                            "#...#.\n"
                            "#...#.\n"
                            "#####.\n"
                            "......\n");
}

TEST_F(Shapes, FocusRectIsACheckerboardInvertedTwiceAway) {
    const TSurface before = S;
    C.Font().SetColor(clWhite);
    C.Brush().SetColor(clBlack);
    C.DrawFocusRect({0, 0, 5, 4});
    EXPECT_EQ(Pic(S, 6, 4), ".#.#..\n"
                            "#...#.\n"
                            "......\n"
                            "#.#.#.\n");
    C.DrawFocusRect({0, 0, 5, 4});
    EXPECT_EQ(S.Pixels, before.Pixels);
}

TEST_F(Shapes, DrawEdgeUsesTheThreeDimensionalSystemColours) {
    TRect r{0, 0, 6, 5};
    C.DrawEdge(r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    EXPECT_EQ(S.Pixel(0, 0), ColorToPixel32(cl3DLight));
    EXPECT_EQ(S.Pixel(5, 0), ColorToPixel32(cl3DDkShadow)); // far corners are dark
    EXPECT_EQ(S.Pixel(0, 4), ColorToPixel32(cl3DDkShadow));
    EXPECT_EQ(S.Pixel(1, 1), ColorToPixel32(clBtnHighlight));
    EXPECT_EQ(S.Pixel(4, 3), ColorToPixel32(clBtnShadow));
    EXPECT_EQ(S.Pixel(2, 2), ColorToPixel32(clBtnFace));
    EXPECT_EQ(r, (TRect{2, 2, 4, 3}));
}

using Brushes = Fixture;

TEST_F(Brushes, PatternFollowsTheBrushOriginNotTheCanvasOrigin) {
    // Set bits in the brush colour, clear bits in the text colour.
    C.Brush().SetPattern({0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55});
    C.Brush().SetColor(clBlack);
    C.Font().SetColor(clWhite);
    C.FillRect({0, 0, 4, 2});
    C.SetBrushOrigin({1, 0});
    C.FillRect({0, 2, 4, 4});
    EXPECT_EQ(Pic(S, 4, 4), "#.#.\n"
                            ".#.#\n"
                            ".#.#\n"
                            "#.#.\n");
    // A canvas placed at (3, 0) of the surface starts the pattern at its own (0, 0).
    TSurface s2;
    s2.SetSize(8, 1, White);
    TCanvas c2;
    c2.Attach(&s2, {3, 0}, {0, 0, 8, 1});
    c2.Brush().SetPattern({0xC0, 0, 0, 0, 0, 0, 0, 0});
    c2.Brush().SetColor(clBlack);
    c2.Font().SetColor(clWhite);
    c2.FillRect({0, 0, 3, 1});
    EXPECT_EQ(Pic(s2, 8, 1), "...##...\n");
}

TEST_F(Brushes, MonochromeBitmapAndHatchBrushes) {
    auto pattern = MakePatternBitmap({0x80, 0, 0, 0, 0, 0, 0, 0});
    C.Brush().SetBitmap(pattern.get());
    C.Brush().SetColor(clRed); // white pattern pixels
    C.Font().SetColor(clBlue); // black pattern pixels
    C.FillRect({0, 0, 9, 1});
    EXPECT_EQ(S.Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(S.Pixel(1, 0), 0xFF0000FFu);
    EXPECT_EQ(S.Pixel(8, 0), 0xFFFF0000u);
    C.Brush().SetBitmap(nullptr);
    C.Brush().SetStyle(bsHorizontal);
    C.Brush().SetColor(clBlack);
    C.FillRect({0, 2, 3, 10}); // only the hatch line (row 4 of 8) is painted
    EXPECT_EQ(Count(S, Black), 3);
    EXPECT_EQ(S.Pixel(0, 4), Black);
}

using Clipping = Fixture;

TEST_F(Clipping, AttachClipIntersectAndReset) {
    C.Attach(&S, {2, 2}, {2, 2, 8, 8});
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clBlack);
    EXPECT_EQ(C.ClipRect(), (TRect{0, 0, 6, 6}));
    C.FillRect({-5, -5, 100, 100});
    EXPECT_EQ(Count(S, Black), 36);
    EXPECT_EQ(S.Pixel(2, 2), Black);
    EXPECT_EQ(S.Pixel(1, 1), White);

    S.SetSize(24, 24, White);
    C.IntersectClipRect({1, 1, 3, 100});
    EXPECT_EQ(C.ClipRect(), (TRect{1, 1, 3, 6}));
    C.FillRect({0, 0, 10, 10});
    EXPECT_EQ(Count(S, Black), 10);
    EXPECT_FALSE(C.PtVisible({0, 0}));
    EXPECT_TRUE(C.RectVisible({2, 5, 9, 9}));
    C.ResetClipRect();
    EXPECT_EQ(C.ClipRect(), (TRect{0, 0, 6, 6}));
    C.SetClipRect({4, 4, 5, 5});
    C.SetPixels(3, 3, clRed);
    C.SetPixels(4, 4, clRed);
    EXPECT_EQ(Count(S, 0xFFFF0000u), 1);
    EXPECT_EQ(C.Pixels(4, 4), clRed);
    EXPECT_EQ(C.Pixels(3, 3), -1);
}

TEST_F(Clipping, WindowOriginMovesLogicalCoordinates) {
    C.SetWindowOrg({10, 0});
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clBlack);
    C.FillRect({10, 0, 12, 1});
    EXPECT_EQ(Pic(S, 4, 1), "##..\n");
    EXPECT_EQ(C.ClipRect(), (TRect{10, 0, 34, 24}));
}

TEST_F(Clipping, NoSurfaceOrWildCoordinatesAreHarmless) {
    TCanvas loose;
    loose.FillRect({0, 0, 10, 10});
    loose.LineTo(5, 5);
    loose.TextOut(0, 0, "x");
    EXPECT_EQ(loose.Pixels(0, 0), -1);
    EXPECT_EQ(loose.ClipRect(), TRect{});
    C.MoveTo(-2000000000, -2000000000);
    C.LineTo(2000000000, 2000000000);
    C.Ellipse(-2000000000, -5, 2000000000, 30);
    C.Rectangle(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    TRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    C.DrawText("wide", huge, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    C.TextOut(INT32_MAX, INT32_MAX, "far");
    EXPECT_GT(Count(S, Black), 0);
}

TEST_F(Fixture, SaveAndRestoreStateIncludingOnExceptions) {
    C.Pen().SetColor(clRed);
    const int level = C.SaveState();
    EXPECT_EQ(level, 1);
    C.Pen().SetColor(clBlue);
    C.Brush().SetColor(clLime);
    C.IntersectClipRect({0, 0, 2, 2});
    C.SetWindowOrg({5, 5});
    C.SaveState();
    C.Font().SetSize(20);
    EXPECT_TRUE(C.RestoreState(level)); // drops the later save too
    EXPECT_EQ(C.SavedStates(), 0);
    EXPECT_EQ(C.Pen().Color(), clRed);
    EXPECT_EQ(C.Brush().Color(), clWhite);
    EXPECT_EQ(C.Font().Size(), 8);
    EXPECT_EQ(C.ClipRect(), (TRect{0, 0, 24, 24}));
    EXPECT_EQ(C.WindowOrg(), (TPoint{0, 0}));
    EXPECT_FALSE(C.RestoreState());

    try {
        TCanvasStateSaver saver(C);
        C.Pen().SetColor(clGreen);
        throw std::runtime_error("paint failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(C.Pen().Color(), clRed);
    EXPECT_EQ(C.SavedStates(), 0);
}

using Text = Fixture;

TEST_F(Text, TextOutPaintsTheCellWhenOpaqueAndMovesThePen) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(clYellow);
    C.Font().SetColor(clBlack);
    C.TextOut(1, 1, "|");
    EXPECT_EQ(S.Pixel(1, 1), 0xFFFFFF00u); // background
    EXPECT_EQ(S.Pixel(3, 3), Black);       // the bar: column 2, rows 2..8
    EXPECT_EQ(S.Pixel(3, 9), Black);
    EXPECT_EQ(S.Pixel(7, 12), White); // outside the 6x12 cell
    EXPECT_EQ(C.PenPos(), (TPoint{7, 1}));
    EXPECT_EQ(C.TextExtent("Hello"), (TSize{30, 12}));
    EXPECT_EQ(C.TextWidth(u"\u00FCber"), 24);
    EXPECT_EQ(C.TextMetrics().Ascent, 9);
}

TEST_F(Text, TextRectClipsToItsRectangle) {
    C.Font().SetColor(clBlack);
    C.TextRect({0, 0, 3, 24}, 0, 0, u"|||");
    EXPECT_EQ(Count(S, Black), 7); // only the first bar
}

TEST_F(Text, DrawTextWrapsAlignsAndMeasures) {
    TRect r{0, 0, 42, 100};
    EXPECT_EQ(C.DrawText("aaa bbb ccc", r, DT_WORDBREAK | DT_CALCRECT), 24);
    EXPECT_EQ(r, (TRect{0, 0, 42, 24}));
    r = {0, 0, 41, 100};
    EXPECT_EQ(C.DrawText(u"aaa bbb ccc", r, DT_WORDBREAK | DT_CALCRECT), 36);
    EXPECT_EQ(r.Right, 18);

    // Right and centred single lines; "|" puts one column at cell x + 2.
    C.Font().SetColor(clBlack);
    r = {0, 0, 20, 24};
    C.DrawText("|", r, DT_RIGHT | DT_SINGLELINE);
    EXPECT_EQ(S.Pixel(16, 2), Black);
    r = {0, 0, 20, 24};
    EXPECT_EQ(C.DrawText("|", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 18);
    EXPECT_EQ(S.Pixel(9, 8), Black); // x 7 + 2, y 6 + 2
    r = {0, 0, 20, 24};
    EXPECT_EQ(C.DrawText("|", r, DT_BOTTOM | DT_SINGLELINE), 24);
    EXPECT_EQ(S.Pixel(2, 20), Black);
}

TEST_F(Text, DrawTextClipsUnlessNoClipAndHidesCutLinesOfEditControls) {
    C.Font().SetColor(clBlack);
    TRect r{0, 0, 3, 12};
    C.DrawText("||", r, DT_SINGLELINE);
    EXPECT_EQ(Count(S, Black), 7);
    r = {0, 0, 3, 12};
    C.DrawText("||", r, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_EQ(Count(S, Black), 14);

    S.SetSize(24, 24, White);
    r = {0, 0, 24, 20};
    C.DrawText("|\n|", r, DT_EDITCONTROL | DT_WORDBREAK);
    EXPECT_EQ(Count(S, Black), 7);
}

using Blits = Fixture;

TEST_F(Blits, RasterOpsCombineSourcePatternAndDestination) {
    TBitmap src(2, 1);
    src.Surface().Row(0)[0] = 0xFFCCCCCCu;
    src.Surface().Row(0)[1] = 0xFF0000FFu;
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(static_cast<TColor>(0xF0F0F0));
    const TRasterOp ops[] = {SRCCOPY,   SRCPAINT,  SRCAND,    SRCINVERT, PATCOPY,
                             PATINVERT, DSTINVERT, BLACKNESS, WHITENESS};
    for (int i = 0; i < 9; ++i) {
        S.Row(i)[0] = S.Row(i)[1] = 0xFFAAAAAAu;
        C.BitBlt(0, i, 2, 1, src.Canvas(), 0, 0, ops[i]);
        EXPECT_EQ(S.Pixel(0, i), RopPixel(ops[i], 0xFFF0F0F0u, 0xFFCCCCCCu, 0xFFAAAAAAu))
            << "op " << i;
    }
    EXPECT_EQ(S.Pixel(0, 2), 0xFF888888u);
    EXPECT_EQ(S.Pixel(1, 0), 0xFF0000FFu);
    EXPECT_EQ(S.Pixel(0, 6), 0xFF555555u);
}

TEST_F(Blits, CopiesWithinOneCanvasHandleOverlap) {
    for (int x = 0; x < 6; ++x)
        S.Row(0)[x] = 0xFF000000u | static_cast<std::uint32_t>(x);
    C.BitBlt(1, 0, 5, 1, C, 0, 0, SRCCOPY);
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(S.Pixel(x, 0), 0xFF000000u | (x - 1u));
}

TEST_F(Blits, TransparentCopyLeavesOutTheKeyColour) {
    TBitmap src(3, 1);
    src.Surface().Row(0)[0] = 0xFFFF00FFu;
    src.Surface().Row(0)[1] = 0xFF000000u;
    src.Surface().Row(0)[2] = 0xFFFF00FFu;
    S.Row(0)[0] = S.Row(0)[2] = 0xFF00FF00u;
    C.TransparentBlt({0, 0, 3, 1}, src.Canvas(), {0, 0, 3, 1}, clFuchsia);
    EXPECT_EQ(S.Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(S.Pixel(1, 0), Black);
    EXPECT_EQ(S.Pixel(2, 0), 0xFF00FF00u);
    // Draw honours the bitmap's own transparency (auto: its bottom-left pixel).
    src.SetTransparent(true);
    C.Draw(0, 2, src);
    EXPECT_EQ(Pic(S, 3, 1, 0, 2), ".#.\n");
}

TEST_F(Blits, StretchScalesByNearestPixelAndMirrors) {
    TBitmap src(2, 2);
    src.Surface().Row(0)[0] = 0xFF000001u;
    src.Surface().Row(0)[1] = 0xFF000002u;
    src.Surface().Row(1)[0] = 0xFF000003u;
    src.Surface().Row(1)[1] = 0xFF000004u;
    C.StretchDraw({0, 0, 4, 4}, src);
    const std::uint32_t expect[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(S.Pixel(x, y), 0xFF000000u | expect[y][x]);
    C.StretchBlt({7, 0, 5, 2}, src.Canvas(), {0, 0, 2, 2}, SRCCOPY); // mirrored
    EXPECT_EQ(S.Pixel(5, 0), 0xFF000002u);
    EXPECT_EQ(S.Pixel(6, 0), 0xFF000001u);
    // Shrinking takes every other pixel.
    TBitmap wide(4, 1);
    for (int x = 0; x < 4; ++x)
        wide.Surface().Row(0)[x] = 0xFF000010u + x;
    C.StretchDraw({0, 10, 2, 11}, wide);
    EXPECT_EQ(S.Pixel(0, 10), 0xFF000011u);
    EXPECT_EQ(S.Pixel(1, 10), 0xFF000013u);
}

TEST(CanvasChange, DrawingFiresOnChange) {
    TBitmap bmp(4, 4);
    int changes = 0;
    bmp.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &bmp);
        ++changes;
    };
    bmp.Canvas().FillRect({0, 0, 2, 2});
    bmp.Canvas().TextOut(0, 0, "a");
    EXPECT_EQ(changes, 2);
}

TEST(CanvasCopies, DestinationsAreLogicalOnACanvasWithAnOrigin) {
    TSurface target;
    target.SetSize(20, 20, 0xFFFFFFFF);
    TCanvas dst;
    dst.Attach(&target, TPoint{5, 6}, TRect{0, 0, 20, 20});
    dst.SetWindowOrg(TPoint{1, 1});
    TBitmap src(2, 2);
    src.Clear(clRed);
    dst.BitBlt(1, 1, 2, 2, src.Canvas(), 0, 0, SRCCOPY); // logical (1,1) lands on (5,6)
    EXPECT_EQ(target.Pixel(5, 6), ColorToPixel32(clRed));
    EXPECT_EQ(target.Pixel(6, 7), ColorToPixel32(clRed));
    EXPECT_EQ(target.Pixel(7, 8), 0xFFFFFFFFu);
    dst.Draw(3, 1, src);
    EXPECT_EQ(target.Pixel(7, 6), ColorToPixel32(clRed));
    dst.StretchDraw(TRect{1, 5, 5, 9}, src);
    EXPECT_EQ(target.Pixel(8, 13), ColorToPixel32(clRed));
    EXPECT_EQ(target.Pixel(9, 14), 0xFFFFFFFFu);
}

} // namespace
} // namespace fw

namespace fw {
namespace {

class PerPixelBlits {
public:
    PerPixelBlits() { detail::SetRowBlits(false); }
    ~PerPixelBlits() { detail::SetRowBlits(true); }
    PerPixelBlits(const PerPixelBlits&) = delete;
    PerPixelBlits& operator=(const PerPixelBlits&) = delete;
};

// One random scene drawn twice, row by row and pixel by pixel.
class RowBlitScene {
public:
    explicit RowBlitScene(std::uint32_t seed) : FRng(seed) {
        for (TSurface* s : {&FSrc, &FDst}) {
            s->SetSize(40, 30);
            for (std::uint32_t& p : s->Pixels)
                p = static_cast<std::uint32_t>(FRng());
        }
    }

    int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRng); }

    // Draws with a canvas at a random origin and clip over a copy of the
    // destination; `self` copies within the destination.
    template <class TDraw> TSurface Draw(bool rows, int brushKind, bool self, TDraw draw) {
        TSurface dst = FDst, src = FSrc;
        TCanvas c, s;
        c.Attach(&dst, {Origin[0], Origin[1]}, Clip);
        s.Attach(&src, {1, 2}, {0, 0, 40, 30});
        if (UserClip) c.IntersectClipRect(*UserClip);
        c.SetBrushOrigin({3, 5});
        c.Font().SetColor(static_cast<TColor>(0x123456));
        c.Brush().SetColor(static_cast<TColor>(0xA0B0C0));
        const TBrushStyle styles[] = {bsSolid, bsClear, bsSolid, bsDiagCross};
        c.Brush().SetStyle(styles[brushKind]);
        if (brushKind == 2) c.Brush().SetPattern({0x81, 0x42, 0x24, 0x18, 0xF0, 0x0F, 0xAA, 0x55});
        std::optional<PerPixelBlits> reference;
        if (!rows) reference.emplace();
        draw(c, self ? c : s);
        return dst;
    }

    void Shuffle() {
        Origin[0] = Rand(-3, 3);
        Origin[1] = Rand(-3, 3);
        Clip = {Rand(-2, 10), Rand(-2, 10), Rand(20, 42), Rand(15, 32)};
        if (Rand(0, 1))
            UserClip = TRect{Rand(0, 15), Rand(0, 15), Rand(10, 40), Rand(10, 30)};
        else
            UserClip.reset();
    }

    int Origin[2] = {0, 0};
    TRect Clip{0, 0, 40, 30};
    std::optional<TRect> UserClip;

private:
    std::mt19937 FRng;
    TSurface FSrc, FDst;
};

TEST(CanvasRowBlits, EveryRasterOpMatchesThePerPixelReference) {
    std::vector<TRasterOp> ops = {SRCCOPY, SRCPAINT,  SRCAND,    SRCINVERT, SRCERASE,
                                  NOTSRCCOPY, NOTSRCERASE, MERGECOPY, MERGEPAINT, PATCOPY,
                                  PATPAINT, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS};
    for (std::uint32_t t = 0; t < 256; ++t)
        ops.push_back(t << 16);
    RowBlitScene scene(31);
    for (TRasterOp op : ops) {
        for (int brush = 0; brush < 4; ++brush) {
            scene.Shuffle();
            // Copies from another canvas, clipped on both sides.
            const int x = scene.Rand(-6, 30), y = scene.Rand(-6, 25), w = scene.Rand(1, 30),
                      h = scene.Rand(1, 25), sx = scene.Rand(-6, 30), sy = scene.Rand(-6, 25);
            const auto blit = [&](TCanvas& c, TCanvas& src) { c.BitBlt(x, y, w, h, src, sx, sy, op); };
            ASSERT_EQ(scene.Draw(true, brush, false, blit).Pixels,
                      scene.Draw(false, brush, false, blit).Pixels)
                << std::hex << op << " brush " << brush;
            // Overlapping copies within one canvas, every direction.
            const int dx = scene.Rand(-3, 3), dy = scene.Rand(-3, 3);
            const auto self = [&](TCanvas& c, TCanvas&) {
                c.BitBlt(2 + dx, 3 + dy, 30, 20, c, 2, 3, op);
                c.CopyRect({5, 5 + dy, 25 + dx, 25}, c, {5 - dx, 5, 25, 25 - dy});
            };
            ASSERT_EQ(scene.Draw(true, brush, true, self).Pixels,
                      scene.Draw(false, brush, true, self).Pixels)
                << std::hex << op << " brush " << brush << std::dec << " " << dx << "," << dy;
            // Pattern blits and fills.
            const TRect r{scene.Rand(-5, 20), scene.Rand(-5, 20), scene.Rand(0, 45),
                          scene.Rand(0, 35)};
            const auto pat = [&](TCanvas& c, TCanvas&) {
                c.PatBlt(r, op);
                c.FillRect({r.Left + 2, r.Top + 1, r.Right - 3, r.Bottom});
            };
            ASSERT_EQ(scene.Draw(true, brush, false, pat).Pixels,
                      scene.Draw(false, brush, false, pat).Pixels)
                << std::hex << op << " brush " << brush;
        }
    }
}

} // namespace
} // namespace fw
