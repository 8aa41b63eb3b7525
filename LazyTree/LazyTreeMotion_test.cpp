// What moves on the tree's window: scrolling by pixels, bringing a node into
// view, and the animated expand, collapse and column resize.
#include "TreeViewTestEnv.h"

#include "Hints.h"
#include "Png.h"
#include "ScrollBars.h"
#include "TestPaths.h"
#include "Timers.h"

#include <algorithm>
#include <functional>
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
    // Pictures of the window taken by a timer every Interval ms while something runs.
    std::vector<fw::TSurface> FramesWhile(int Interval, const std::function<void()>& Run) {
        std::vector<fw::TSurface> Frames;
        auto* Clock = fw::Create<fw::TTimer>(Form.get());
        Clock->SetInterval(Interval);
        Clock->OnTimer = [&](fw::TObject*) { Frames.push_back(Shown()); };
        Run();
        fw::Free(Clock);
        return Frames;
    }
    // A timer that runs Action once, At ms from now.
    void OnceAt(int At, std::function<void()> Action) {
        auto* Clock = fw::Create<fw::TTimer>(Form.get());
        Clock->SetInterval(At);
        Clock->OnTimer = [Clock, Action = std::move(Action)](fw::TObject*) {
            Clock->SetEnabled(false);
            Action();
        };
    }
    static void Save(const std::string& Name, const fw::TSurface& S) {
        fw::WritePng(fw::PicturePath(Name + ".png"), S.Width, S.Height, S.Pixels.data());
    }
    // How far the pixels of Area in Frame moved from Before (down, up, right or
    // left by Move's sign), the uncovered strip in Fill; -1 when no move explains them.
    static int Slid(const fw::TSurface& Frame, const fw::TSurface& Before, const fw::TRect& Area,
                    fw::TPoint Move, std::uint32_t Fill) {
        const bool Vertical = Move.Y != 0;
        const int Length = Vertical ? Area.Height() : Area.Width();
        const int Sign = (Vertical ? Move.Y : Move.X) > 0 ? 1 : -1;
        for (int K = 0; K < Length; ++K) {
            bool Fits = true;
            for (int Y = Area.Top; Fits && Y < Area.Bottom; ++Y)
                for (int X = Area.Left; Fits && X < Area.Right; ++X) {
                    const int Along = (Vertical ? Y - Area.Top : X - Area.Left);
                    const int From = Along - Sign * K;
                    const bool Gap = From < 0 || From >= Length;
                    const std::uint32_t Want =
                        Gap ? Fill
                            : Before.Pixel(Vertical ? X : Area.Left + From,
                                           Vertical ? Area.Top + From : Y);
                    const bool Stale = Sign < 0 && Gap && Vertical == false;
                    Fits = Stale || Frame.Pixel(X, Y) == Want;
                }
            if (Fits) return K;
        }
        return -1;
    }
    // Counts, visible rows and height agree with a walk over the nodes.
    void ExpectSound() {
        std::uint32_t Count = 0, Rows = 0;
        std::uint64_t Height = 0;
        for (PLazyNode N = Tree->GetFirstNoInit(); N; N = Tree->GetNextNoInit(N)) {
            ++Count;
            if (!Tree->FullyVisible(N)) continue;
            ++Rows;
            Height += N->NodeHeight;
        }
        EXPECT_EQ(Tree->TotalCount(), Count);
        EXPECT_EQ(Tree->VisibleCount(), Rows);
        EXPECT_EQ(Tree->RangeY(), Height);
    }
    bool TreeGone(fw::TComponent* Was) const {
        for (int I = 0; I < Form->ComponentCount(); ++I)
            if (Form->Components(I) == Was) return false;
        return true;
    }
    static constexpr std::uint32_t White = 0xFFFFFFFFu;
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

// --- animated expand and collapse -----------------------------------------------------------

TEST_F(MotionTest, AnAnimatedExpansionSlidesTheRowsBelowOpenOverTheAnimationDuration) {
    Tree->TreeOptions()->SetAnimationOptions(toAnimatedToggle);
    fw::ProcessMessages();
    const fw::TSurface Before = Shown();
    const std::uint32_t Start = fw::GetTickCount();
    const auto Frames = FramesWhile(50, [&] { Tree->SetExpanded(Top(0), true); });
    EXPECT_EQ(fw::GetTickCount() - Start, Tree->AnimationDuration());
    ASSERT_EQ(Frames.size(), 4u); // at 50, 100, 150 and (the last step's wait) 200 ms
    // Below the row each frame has moved on, the opening in the tree's colour.
    int Last = 0;
    for (std::size_t I = 0; I < 3; ++I) {
        Save("opening-" + std::to_string(I), Frames[I]);
        const int K = Slid(Frames[I], Before, {0, 18, 240, 160}, {0, 1}, White);
        EXPECT_GT(K, Last) << I;
        Last = K;
    }
    EXPECT_LT(Last, 36);
    EXPECT_TRUE(ShowsWhatAPaintShows("opened"));
    ExpectSound();
}

TEST_F(MotionTest, AnAnimatedCollapseSlidesTheRowsBelowShutAndColumnsKeepTheirColours) {
    AddColumns(80);
    Tree->Header()->Columns()[1].SetColor(fw::clYellow);
    Tree->SetExpanded(Top(0), true);
    Tree->TreeOptions()->SetAnimationOptions(toAnimatedToggle);
    fw::ProcessMessages();
    const fw::TSurface Before = Shown();
    const int RowBottom = 17 + 18;
    const auto Frames = FramesWhile(60, [&] { Tree->SetExpanded(Top(0), false); });
    ASSERT_EQ(Frames.size(), 3u);
    int Last = 0;
    for (std::size_t I = 0; I < Frames.size(); ++I) {
        Save("closing-" + std::to_string(I), Frames[I]);
        // The first column's part slid up over white, the second's over yellow.
        const int K = Slid(Frames[I], Before, {0, RowBottom, 80, 160}, {0, -1}, White);
        EXPECT_GT(K, Last) << I;
        EXPECT_EQ(Slid(Frames[I], Before, {80, RowBottom, 160, 160}, {0, -1}, 0xFFFFFF00u), K);
        Last = K;
    }
    EXPECT_TRUE(ShowsWhatAPaintShows("closed"));
    ExpectSound();
    // In an update, or without the option, nothing is animated and no time passes.
    const std::uint32_t Start = fw::GetTickCount();
    Tree->BeginUpdate();
    Tree->SetExpanded(Top(0), true);
    Tree->EndUpdate();
    Tree->TreeOptions()->SetAnimationOptions(0);
    Tree->SetExpanded(Top(1), true);
    EXPECT_EQ(fw::GetTickCount(), Start);
}

TEST_F(MotionTest, WhatTimersDoInTheMiddleOfAnAnimationLeavesTheTreeSound) {
    Tree->TreeOptions()->SetAnimationOptions(toAnimatedToggle);
    struct TCase {
        const char* Name;
        bool Expanding;
        std::function<void(TLazyStringTree*, PLazyNode)> Action;
        std::uint32_t Roots; // top-level nodes afterwards
        bool Expanded;       // the first of them afterwards
    };
    const std::vector<TCase> Cases = {
        {"the node deleted", true, [](TLazyStringTree* T, PLazyNode N) { T->DeleteNode(N); }, 2,
         false},
        {"the node deleted while shutting", false,
         [](TLazyStringTree* T, PLazyNode N) { T->DeleteNode(N); }, 2, false},
        {"a child deleted", false,
         [](TLazyStringTree* T, PLazyNode N) { T->DeleteNode(N->FirstChild); }, 3, false},
        {"the node toggled", true, [](TLazyStringTree* T, PLazyNode N) { T->ToggleNode(N); }, 3,
         true},
        {"the node collapsed back", false,
         [](TLazyStringTree* T, PLazyNode N) { T->ToggleNode(N); }, 3, false},
        {"children added", true, [](TLazyStringTree* T, PLazyNode N) { T->AddChild(N); }, 3, true},
        {"a row below moved up", false,
         [](TLazyStringTree* T, PLazyNode N) {
             T->MoveTo(T->GetLast(), N, amInsertBefore, false);
         },
         3, false},
        {"the tree cleared", true, [](TLazyStringTree* T, PLazyNode) { T->Clear(); }, 0, false},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Tree->TreeOptions()->SetAnimationOptions(0);
        Tree->Clear();
        Tree->SetRootNodeCount(3);
        if (!C.Expanding) Tree->SetExpanded(Top(0), true);
        Tree->TreeOptions()->SetAnimationOptions(toAnimatedToggle);
        fw::ProcessMessages();
        PLazyNode Node = Top(0);
        OnceAt(100, [this, &C, Node] { C.Action(Tree, Node); });
        Tree->SetExpanded(Node, C.Expanding);
        ExpectSound();
        EXPECT_EQ(Tree->RootNodeCount(), C.Roots);
        if (C.Roots > 0) {
            EXPECT_EQ(Tree->Expanded(Tree->GetFirstNoInit()), C.Expanded);
        }
        EXPECT_TRUE(ShowsWhatAPaintShows(std::string("after ") + C.Name));
    }
    // The tree freed from a timer goes once the toggle is done with it.
    Tree->SetRootNodeCount(3);
    fw::ProcessMessages();
    fw::TComponent* Was = Tree;
    OnceAt(100, [Was] { fw::Free(Was); });
    Tree->SetExpanded(Top(1), true);
    EXPECT_TRUE(TreeGone(Was));
    Tree = nullptr;
}

TEST_F(MotionTest, AHintWindowFreedWhileItSlidesInIsLeftAlone) {
    Tree->SetHintMode(hmTooltip);
    Tree->SetShowHint(true);
    Texts[{Top(1), NoColumn}] = std::u16string(60, u'w'); // cut: the tooltip shows it whole
    Tree->ReinitNode(Top(1), false);
    fw::MouseMoveTo(fw::ControlPoint(Tree, 40, 18 + 9));
    bool Sliding = false;
    OnceAt(50, [&] { // a tooltip comes at once and slides in for 200 ms
        Sliding = Tree->TreeStates().Contains(tsInAnimation);
        fw::FreeHintWindow();
    });
    fw::AdvanceClock(fw::Application()->HintPause() + 300);
    EXPECT_TRUE(Sliding);
    EXPECT_FALSE(fw::HintShowing());
    EXPECT_FALSE(Tree->TreeStates().Contains(tsInAnimation));
    // The next hint comes in a new window.
    fw::MouseMoveTo(fw::ControlPoint(Tree, 5, 60));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 40, 18 + 9));
    fw::AdvanceClock(fw::Application()->HintPause() + 300);
    EXPECT_TRUE(fw::HintShowing());
}

// --- animated column resize -------------------------------------------------------------------

TEST_F(MotionTest, AnAnimatedResizeSlidesWhatLiesRightOfTheColumnIn32Steps) {
    AddColumns(60);
    std::vector<int> Resized;
    Tree->OnColumnResize = [&](TLTHeader*, TColumnIndex C) { Resized.push_back(C); };
    const fw::TSurface Before = Shown();
    const std::uint32_t Start = fw::GetTickCount();
    const auto Frames =
        FramesWhile(8, [&] { Tree->Header()->Columns().AnimatedResize(0, 60 + 64); });
    EXPECT_EQ(fw::GetTickCount() - Start, 32u); // 32 steps of a millisecond
    ASSERT_EQ(Frames.size(), 4u);
    for (std::size_t I = 0; I + 1 < Frames.size(); ++I) {
        Save("widening-" + std::to_string(I), Frames[I]);
        // 8 steps of 2 pixels each per frame: header and rows alike.
        EXPECT_EQ(Slid(Frames[I], Before, {60, 0, 240, 160}, {1, 0}, White),
                  2 * 8 * static_cast<int>(I + 1))
            << I;
    }
    EXPECT_EQ(Tree->Header()->Columns()[0].Width(), 124);
    EXPECT_EQ(Resized, std::vector<int>{0});
    EXPECT_TRUE(ShowsWhatAPaintShows("widened"));
    // Narrowing slides the rest to the left; the strip at the right end waits for the paint.
    const fw::TSurface Wide = Shown(); // with a horizontal bar now, which stays where it is
    const int Bottom = Tree->ClientHeight();
    const auto Back = FramesWhile(16, [&] { Tree->Header()->Columns().AnimatedResize(0, 60); });
    ASSERT_FALSE(Back.empty());
    Save("narrowing", Back[0]);
    EXPECT_EQ(Slid(Back[0], Wide, {124 - 32, 0, 240, Bottom}, {-1, 0}, White), 32);
    EXPECT_EQ(Tree->Header()->Columns()[0].Width(), 60);
    EXPECT_TRUE(ShowsWhatAPaintShows("narrowed"));
}

TEST_F(MotionTest, AColumnOrTheTreeGoingInTheMiddleOfAResizeIsNoHarm) {
    AddColumns(60);
    OnceAt(10, [this] { Tree->Header()->Columns().Delete(0); });
    Tree->Header()->Columns().AnimatedResize(0, 150);
    ASSERT_EQ(Tree->Header()->Columns().Count(), 2);
    EXPECT_EQ(Tree->Header()->Columns()[0].Width(), 60);
    // Moved to the end, it still takes its width.
    OnceAt(10, [this] { Tree->Header()->Columns()[0].SetPosition(1); });
    TLazyTreeColumn* First = &Tree->Header()->Columns()[0];
    Tree->Header()->Columns().AnimatedResize(0, 100);
    EXPECT_EQ(First->Width(), 100);
    EXPECT_TRUE(ShowsWhatAPaintShows("after-a-column-went"));
    fw::TComponent* Was = Tree;
    OnceAt(10, [Was] { fw::Free(Was); });
    Tree->Header()->Columns().AnimatedResize(0, 150);
    EXPECT_TRUE(TreeGone(Was));
    Tree = nullptr;
}

} // namespace
} // namespace vel
