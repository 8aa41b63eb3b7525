// What moves on the tree's window: scrolling by pixels, bringing a node into
// view, and the animated expand, collapse and column resize.
#include "TreeViewTestEnv.h"

#include "Png.h"
#include "ScrollBars.h"
#include "TestPaths.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace vel {
namespace {

class MotionTest : public TreeViewTest {
protected:
    void SetUp() override {
        TreeViewTest::SetUp();
        Tree->OnBeforeItemPaint = [this](TBaseLazyTree*, fw::TCanvas&, PLazyNode, const fw::TRect&,
                                         bool&) { ++RowsPainted; };
        Tree->OnScroll = [this](TBaseLazyTree*, int DX, int DY) { Scrolls.push_back({DX, DY}); };
    }
    // The tree's part of its form's window: what the screen shows of it.
    fw::TSurface Shown() {
        fw::TSurface S;
        S.SetSize(Tree->Width(), Tree->Height());
        const fw::TSurface& W = *Form->WindowSurface();
        const fw::TPoint O = Tree->ClientOrigin(), F = Form->ClientOrigin();
        const fw::TPoint At{O.X - Tree->ClientOffset().X - F.X + Form->ClientOffset().X,
                            O.Y - Tree->ClientOffset().Y - F.Y + Form->ClientOffset().Y};
        for (int Y = 0; Y < S.Height; ++Y)
            for (int X = 0; X < S.Width; ++X)
                S.Row(Y)[X] = W.Pixel(At.X + X, At.Y + Y);
        return S;
    }
    // Whether the window, after scrolling its pixels, shows what a fresh paint shows.
    bool ShowsWhatAPaintShows(const std::string& Name) {
        fw::ProcessMessages();
        const fw::TSurface Window = Shown();
        const fw::TSurface& Fresh = Picture().Surface();
        fw::WritePng(fw::PicturePath(Name + "-window.png"), Window.Width, Window.Height,
                     Window.Pixels.data());
        fw::WritePng(fw::PicturePath(Name + "-fresh.png"), Fresh.Width, Fresh.Height,
                     Fresh.Pixels.data());
        return Window.Pixels == Fresh.Pixels;
    }
    // Three header columns of Width, the header shown.
    void AddColumns(int Width) {
        for (int I = 0; I < 3; ++I)
            Tree->Header()->Columns().Add()->SetWidth(Width);
        Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
        fw::ProcessMessages();
    }
    int RowsPainted = 0;
    std::vector<std::pair<int, int>> Scrolls;
};

// --- scrolling -------------------------------------------------------------------------

TEST_F(MotionTest, ScrollingMovesThePixelsAndPaintsOnlyTheRowsItUncovers) {
    Tree->SetRootNodeCount(40); // 720 pixels of rows in 160
    fw::ProcessMessages();
    RowsPainted = 0;
    EXPECT_TRUE(Tree->DoSetOffsetXY({0, -36}));
    EXPECT_EQ(Scrolls, (std::vector<std::pair<int, int>>{{0, -36}}));
    fw::ProcessMessages();
    EXPECT_LE(RowsPainted, 3); // two rows came in at the bottom, not a whole window of nine
    EXPECT_TRUE(ShowsWhatAPaintShows("up-two-rows"));
    // Back down by a part of a row.
    RowsPainted = 0;
    EXPECT_TRUE(Tree->DoSetOffsetXY({0, -27}));
    fw::ProcessMessages();
    EXPECT_LE(RowsPainted, 2);
    EXPECT_TRUE(ShowsWhatAPaintShows("down-half-a-row"));
    // A background picture does not scroll: everything on it is painted again.
    fw::TBitmap Pattern(8, 8);
    Pattern.Canvas().Brush().SetColor(fw::clYellow);
    Pattern.Canvas().FillRect({0, 0, 4, 4});
    Tree->SetBackground(&Pattern);
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toShowBackground);
    fw::ProcessMessages();
    RowsPainted = 0;
    EXPECT_TRUE(Tree->DoSetOffsetXY({0, -45}));
    fw::ProcessMessages();
    EXPECT_GE(RowsPainted, 9);
    EXPECT_TRUE(ShowsWhatAPaintShows("over-a-picture"));
}

TEST_F(MotionTest, ScrollingBothWaysIsOneScrollAndTheHeaderFollows) {
    AddColumns(150); // 450 pixels of columns in 240
    Tree->SetRootNodeCount(40);
    fw::ProcessMessages();
    Scrolls.clear();
    EXPECT_TRUE(Tree->DoSetOffsetXY({-50, -54}));
    EXPECT_EQ(Scrolls, (std::vector<std::pair<int, int>>{{-50, -54}}));
    EXPECT_EQ(fw::GetScrollPos(Tree->Handle(), fw::SB_HORZ), 50);
    EXPECT_EQ(fw::GetScrollPos(Tree->Handle(), fw::SB_VERT), 54);
    EXPECT_TRUE(ShowsWhatAPaintShows("both-ways"));
    // Past the content the offsets stop at its edges, and report only what moved.
    Scrolls.clear();
    EXPECT_TRUE(Tree->DoSetOffsetXY({-5000, 10}));
    EXPECT_EQ(Tree->OffsetX(), Tree->ClientWidth() - 450);
    EXPECT_EQ(Scrolls, (std::vector<std::pair<int, int>>{{Tree->ClientWidth() - 450 + 50, 54}}));
    EXPECT_FALSE(Tree->DoSetOffsetXY({-5000, 0}));
    EXPECT_TRUE(ShowsWhatAPaintShows("to-the-right-end"));
}

// --- scrolling a node into view ----------------------------------------------------------

TEST_F(MotionTest, AFocusedCellComesWholeIntoViewWithGridExtensions) {
    AddColumns(150);
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toGridExtensions);
    Tree->SetFocusedNode(Top(1));
    Tree->SetFocusedColumn(2); // its cell lies at 300 .. 450
    Tree->SetOffsetX(0);
    EXPECT_TRUE(Tree->ScrollIntoView(Top(1), false, true));
    const fw::TRect Cell = Tree->GetDisplayRect(Top(1), 2, false);
    EXPECT_GE(Cell.Left, 0);
    EXPECT_LE(Cell.Right, Tree->ClientWidth());
    // Without the grid extensions the text is what must show (here: it already does).
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() & ~toGridExtensions);
    Tree->SetOffsetX(-120);
    EXPECT_FALSE(Tree->ScrollIntoView(Top(1), false, true));
}

TEST_F(MotionTest, ANodeBroughtIntoViewStaysAboveTheHorizontalBarItBringsUp) {
    Tree->SetRootNodeCount(30);
    PLazyNode Wide = TopNode(*Tree, 20);
    Texts[{Wide, NoColumn}] = std::u16string(60, u'w'); // wider than the window
    Tree->ReinitNode(Wide, false);
    fw::ProcessMessages();
    const fw::TWindowScrollBars* Bars = Tree->FindWindowScrollBars();
    ASSERT_TRUE(Bars && !Bars->Bars[fw::SB_HORZ].Shown); // the rows on screen are narrow
    EXPECT_TRUE(Tree->ScrollIntoView(Wide, false));
    ASSERT_TRUE(Tree->FindWindowScrollBars()->Bars[fw::SB_HORZ].Shown);
    const fw::TRect R = Tree->GetDisplayRect(Wide, NoColumn, false);
    EXPECT_LE(R.Bottom, Tree->ClientHeight());
    EXPECT_EQ(R.Bottom, Tree->ClientHeight()); // at the bottom, not farther up
    EXPECT_TRUE(ShowsWhatAPaintShows("above-the-bar"));
    // Centred the same way.
    Tree->SetOffsetY(0);
    EXPECT_TRUE(Tree->ScrollIntoView(Wide, true));
    const fw::TRect C = Tree->GetDisplayRect(Wide, NoColumn, false);
    EXPECT_LE(std::abs(C.Bottom - Tree->ClientHeight() / 2), 1);
}

} // namespace
} // namespace vel
