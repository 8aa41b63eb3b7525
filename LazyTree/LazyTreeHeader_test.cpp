#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "LazyTreeStreams.h"
#include "Screen.h"
#include "Messages.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>

namespace vel {
namespace {

class HeaderTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = Place<TLazyStringTree>(0, 0, 250, 150);
        H = Tree->Header();
    }
    TLazyTreeColumn* AddColumn(const char16_t* Text, int Width) {
        TLazyTreeColumn* C = H->Columns().Add();
        C->SetText(Text);
        C->SetWidth(Width);
        return C;
    }
    void Send(fw::UINT Msg, int X, int Y, fw::WPARAM Keys = 0) {
        Tree->Perform(Msg, Keys, fw::PointToLParam({X, Y}));
    }
    TLazyStringTree* Tree = nullptr;
    TLTHeader* H = nullptr;
};

TEST_F(HeaderTest, EmptyHeaderHasNoColumnsAnywhere) {
    EXPECT_EQ(H->MainColumn(), NoColumn);
    EXPECT_EQ(H->Columns().TotalWidth(), 0);
    EXPECT_EQ(H->Columns().ColumnFromPosition(fw::TPoint{5, 5}), InvalidColumn);
    EXPECT_EQ(H->Columns().GetFirstVisibleColumn(), InvalidColumn);
}

TEST_F(HeaderTest, ColumnsLayOutLeftToRightAndFirstBecomesMain) {
    AddColumn(u"A", 40);
    AddColumn(u"B", 60);
    AddColumn(u"C", 30);
    EXPECT_EQ(H->MainColumn(), 0);
    EXPECT_EQ(H->Columns()[1].Left(), 40);
    EXPECT_EQ(H->Columns()[2].Left(), 100);
    EXPECT_EQ(H->Columns().TotalWidth(), 130);
    EXPECT_EQ(H->Columns().ColumnFromPosition(fw::TPoint{39, 1}), 0);
    EXPECT_EQ(H->Columns().ColumnFromPosition(fw::TPoint{40, 1}), 1);
    EXPECT_EQ(H->Columns().ColumnFromPosition(fw::TPoint{130, 1}), InvalidColumn);
    // A hidden column takes no room.
    H->Columns()[1].SetOptions(H->Columns()[1].Options() & ~coVisible);
    EXPECT_EQ(H->Columns()[2].Left(), 40);
    EXPECT_EQ(H->Columns().GetNextVisibleColumn(0), 2);
    EXPECT_EQ(H->Columns().GetPreviousVisibleColumn(2), 0);
}

TEST_F(HeaderTest, WidthIsClampedToItsLimits) {
    TLazyTreeColumn* C = AddColumn(u"A", 50);
    C->SetWidth(3);
    EXPECT_EQ(C->Width(), 10);
    EXPECT_EQ(C->LastWidth(), 50);
    C->SetWidth(80);
    C->SetMaxWidth(60);
    EXPECT_EQ(C->Width(), 60);
    C->SetMinWidth(70); // not above MaxWidth
    EXPECT_EQ(C->MinWidth(), 60);
    C->SetMargin(-3);
    EXPECT_EQ(C->Margin(), 4);
}

TEST_F(HeaderTest, DeletingColumnsShiftsHeaderIndices) {
    AddColumn(u"A", 40);
    AddColumn(u"B", 40);
    AddColumn(u"C", 40);
    H->SetSortColumn(2);
    H->Columns().Delete(0);
    EXPECT_EQ(H->MainColumn(), 0);
    EXPECT_EQ(H->Columns()[0].Text(), u"B");
    EXPECT_EQ(H->SortColumn(), 1);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{0, 1}));
    H->Columns().Delete(1);
    EXPECT_EQ(H->SortColumn(), NoColumn);
    H->Columns().Clear();
    EXPECT_EQ(H->MainColumn(), NoColumn);
}

TEST_F(HeaderTest, PositionsMoveWithoutChangingIndices) {
    AddColumn(u"A", 10);
    AddColumn(u"B", 20);
    AddColumn(u"C", 30);
    H->Columns()[0].SetPosition(2);
    EXPECT_EQ(H->Columns()[0].Text(), u"A");
    EXPECT_EQ(H->Columns()[0].Position(), 2u);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{1, 2, 0}));
    EXPECT_EQ(H->Columns()[0].Left(), 50);
    EXPECT_EQ(H->Columns().ColumnFromPosition(TColumnPosition{0}), 1);
    EXPECT_EQ(H->Columns().ColumnFromPosition(TColumnPosition{3}), NoColumn);
    // Moving the collection item keeps the array pointing at the same columns.
    H->Columns()[2].SetIndex(0);
    EXPECT_EQ(H->Columns()[0].Text(), u"C");
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{2, 0, 1}));
}

TEST_F(HeaderTest, SplitterIsHitNearTheRightEdgeOfResizableColumns) {
    AddColumn(u"A", 50);
    AddColumn(u"B", 50);
    EXPECT_TRUE(H->DetermineSplitterIndex({48, 3}));
    EXPECT_EQ(H->Columns().TrackIndex, 0);
    EXPECT_EQ(H->TrackStart, 0);
    EXPECT_TRUE(H->DetermineSplitterIndex({54, 3}));
    EXPECT_FALSE(H->DetermineSplitterIndex({47, 3}));
    EXPECT_FALSE(H->DetermineSplitterIndex({55, 3}));
    H->Columns()[0].SetOptions(H->Columns()[0].Options() & ~coResizable);
    EXPECT_FALSE(H->DetermineSplitterIndex({50, 3}));
    H->SetOptions(H->Options() | hoVisible);
    Tree->UpdateHeaderRect();
    EXPECT_EQ(HeaderCursorAt(*H, {99, 3}), crHeaderSplit);
    EXPECT_EQ(HeaderCursorAt(*H, {20, 3}), fw::crDefault);
}

TEST_F(HeaderTest, StreamRoundTripKeepsEverything) {
    TLazyTreeColumn* A = AddColumn(u"Name\u0416", 70);
    A->SetHint(u"hint");
    A->SetAlignment(taCenter);
    A->SetTag(7);
    A->SetColor(fw::clRed);
    AddColumn(u"Size", 40)->SetLayout(blGlyphRight);
    AddColumn(u"Date", 30);
    H->Columns()[0].SetPosition(2);
    H->SetSortColumn(1);
    H->SetSortDirection(sdDescending);
    H->SetHeight(22);
    H->SetStyle(hsFlatButtons);
    H->SetMainColumn(2);
    TMemoryStream W;
    H->SaveToStream(W);

    TLazyStringTree* Other = fw::Create<TLazyStringTree>(Form.get());
    TMemoryStream R(W.Data());
    Other->Header()->LoadFromStream(R);
    EXPECT_EQ(R.Remaining(), 0u);
    EXPECT_TRUE(Other->Header()->Columns().Equals(H->Columns()));
    EXPECT_EQ(Other->Header()->SortColumn(), 1);
    EXPECT_EQ(Other->Header()->SortDirection(), sdDescending);
    EXPECT_EQ(Other->Header()->Height(), 22u);
    EXPECT_EQ(Other->Header()->Style(), hsFlatButtons);
    EXPECT_EQ(Other->Header()->MainColumn(), 2);
    EXPECT_EQ(Other->Header()->Options(), H->Options());
    EXPECT_EQ(Other->Header()->Columns()[0].Text(), u"Name\u0416");
    EXPECT_EQ(Other->Header()->States, 0);
}

// An unversioned stream: column records without tag, alignment and colour.
std::vector<std::uint8_t> OldestStream(std::int32_t StoredOptions) {
    TMemoryStream W;
    W.WriteI32(1); // one column
    W.WriteI32(1);
    W.WriteBuffer("X\0", 2);
    W.WriteI32(0); // hint
    for (int V : {60, 10, 10000, 0, -1, 0, 4, 4, 0})
        W.WriteI32(V);
    W.WriteI32(StoredOptions);
    W.WriteI32(0); // position array
    for (int V : {0, 0xFF, 17, 10, 0, 0, -11})
        W.WriteI32(V);
    W.WriteI32(3);
    W.WriteBuffer("Abc", 3);
    W.WriteI32(0);
    W.WriteI32(0);
    return W.Data();
}

TEST_F(HeaderTest, OldestStreamConvertsColumnOptions) {
    // Old bits 0-3 stay, 4-6 move up one, bit 4 (parent colour) ends up clear.
    TMemoryStream R(OldestStream(0x7F));
    H->LoadFromStream(R);
    ASSERT_EQ(H->Columns().Count(), 1);
    EXPECT_EQ(H->Columns()[0].Options(), 0xEF);
    EXPECT_EQ(H->Columns()[0].Width(), 60);
    EXPECT_EQ(H->MainColumn(), 0);
}

TEST_F(HeaderTest, DamagedStreamsAreRefused) {
    AddColumn(u"A", 40);
    TMemoryStream W;
    H->SaveToStream(W);
    const std::vector<std::uint8_t> Good = W.Data();
    for (std::size_t Cut : {std::size_t{3}, std::size_t{12}, Good.size() / 2, Good.size() - 1}) {
        std::vector<std::uint8_t> Short(Good.begin(), Good.begin() + static_cast<long>(Cut));
        TMemoryStream R(Short);
        EXPECT_THROW(H->LoadFromStream(R), EReadError) << Cut;
        EXPECT_EQ(H->States & hrsLoading, 0);
        EXPECT_EQ(R.Position(), 0) << Cut; // back where the header began
    }
    // A huge text length or column count must not allocate.
    std::vector<std::uint8_t> Bad = Good;
    Bad[12] = 0xFF, Bad[13] = 0xFF, Bad[14] = 0xFF, Bad[15] = 0x7F;
    TMemoryStream R1(Bad);
    EXPECT_THROW(H->LoadFromStream(R1), EReadError);
    Bad = Good;
    Bad[8] = 0xFF, Bad[9] = 0xFF, Bad[10] = 0xFF, Bad[11] = 0x0F;
    TMemoryStream R2(Bad);
    EXPECT_THROW(H->LoadFromStream(R2), EReadError);
    // A margin or spacing of the least int (no distance at all) leaves the header as it was.
    for (std::size_t At : {46, 50}) {
        Bad = Good;
        Bad[At] = Bad[At + 1] = Bad[At + 2] = 0, Bad[At + 3] = 0x80;
        TMemoryStream R3(Bad);
        EXPECT_THROW(H->LoadFromStream(R3), EReadError) << At;
        TMemoryStream Now;
        H->SaveToStream(Now);
        EXPECT_EQ(Now.Data(), Good) << At;
    }
}

TEST_F(HeaderTest, ColumnOptionsAssignAndDisplayName) {
    TLazyTreeColumn* A = AddColumn(u"\u4E2D", 40);
    EXPECT_EQ(A->GetDisplayName(), u"Column 0");
    TLazyTreeColumn* B = AddColumn(u"plain", 40);
    EXPECT_EQ(B->GetDisplayName(), u"plain");
    B->SetColor(fw::clRed);
    A->Assign(*B);
    EXPECT_EQ(A->Color(), fw::clRed);
    EXPECT_EQ(A->Text(), u"plain");
}

class HeaderMouseTest : public HeaderTest {
protected:
    void SetUp() override {
        HeaderTest::SetUp();
        AddColumn(u"A", 50);
        AddColumn(u"B", 50);
        AddColumn(u"C", 50);
        H->SetOptions(H->Options() | hoVisible);
        Show();
        Tree->UpdateHeaderRect();
        Tree->OnHeaderClick = [this](TLTHeader*, TColumnIndex C, fw::TMouseButton, fw::TShiftState,
                                     int, int) { Clicks.push_back(C); };
        Tree->OnHeaderMouseUp = [this](TLTHeader*, fw::TMouseButton, fw::TShiftState, int, int) {
            ++MouseUps;
        };
    }
    std::vector<int> Clicks;
    int MouseUps = 0;
};

TEST_F(HeaderMouseTest, ClickRaisesHeaderClickOnlyOverThePressedColumn) {
    Send(fw::WM_LBUTTONDOWN, 70, 5, fw::MK_LBUTTON);
    EXPECT_EQ(H->Columns().DownIndex, 1);
    Send(fw::WM_LBUTTONUP, 72, 5);
    EXPECT_EQ(Clicks, (std::vector<int>{1}));
    EXPECT_EQ(H->Columns().DownIndex, NoColumn);
    Send(fw::WM_LBUTTONDOWN, 70, 5, fw::MK_LBUTTON);
    Send(fw::WM_LBUTTONUP, 120, 5);
    EXPECT_EQ(Clicks.size(), 1u);
    EXPECT_EQ(MouseUps, 2);
    // Below the header the tree, not the header, gets the click.
    Send(fw::WM_LBUTTONDOWN, 70, 60, fw::MK_LBUTTON);
    Send(fw::WM_LBUTTONUP, 70, 60);
    EXPECT_EQ(Clicks.size(), 1u);
}

TEST_F(HeaderMouseTest, SplitterDragResizesTheColumn) {
    Send(fw::WM_LBUTTONDOWN, 50, 5, fw::MK_LBUTTON);
    EXPECT_TRUE(H->States & hrsResizePending);
    Send(fw::WM_MOUSEMOVE, 80, 5, fw::MK_LBUTTON);
    EXPECT_TRUE(H->States & hrsResizing);
    EXPECT_EQ(H->Columns()[0].Width(), 80);
    EXPECT_EQ(H->Columns()[1].Left(), 80);
    Send(fw::WM_LBUTTONUP, 80, 5);
    EXPECT_EQ(H->States, 0);
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(HeaderMouseTest, DraggingColumnsReordersThem) {
    int Dragged = -1, OldPos = -1;
    Tree->OnHeaderDragged = [&](TLTHeader*, TColumnIndex C, int P) {
        Dragged = C;
        OldPos = P;
    };
    // Column 0 dropped after column 2.
    Send(fw::WM_LBUTTONDOWN, 20, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 60, 5, fw::MK_LBUTTON);
    EXPECT_TRUE(H->States & hrsDragging);
    Send(fw::WM_MOUSEMOVE, 140, 5, fw::MK_LBUTTON);
    EXPECT_EQ(H->Columns().DropTarget, 2);
    EXPECT_FALSE(H->Columns().DropBefore);
    Send(fw::WM_LBUTTONUP, 140, 5);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{1, 2, 0}));
    EXPECT_EQ(Dragged, 0);
    EXPECT_EQ(OldPos, 0);
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(HeaderMouseTest, TheDraggedColumnShowsDarkenedAtConstantStrength) {
    Send(fw::WM_LBUTTONDOWN, 20, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 60, 5, fw::MK_LBUTTON);
    TLTDragImage* D = H->DragImage();
    ASSERT_TRUE(D->Visible());
    const fw::TRect Pic = D->GetDragImageRect();
    EXPECT_EQ(Pic.Width(), 50);
    fw::TSurface Shown;
    fw::CaptureScreen(Pic, Shown);
    // Every pixel, the faded corners too: the column's colour less 50, blended
    // at 140 over what lay below.
    for (const fw::TPoint P : {fw::TPoint{0, 0}, fw::TPoint{25, 8}, fw::TPoint{49, 16}}) {
        const std::uint32_t S = D->Image()->Surface().Pixel(P.X, P.Y);
        const std::uint32_t B = D->BackImage()->Surface().Pixel(P.X, P.Y);
        const std::uint32_t Got = Shown.Pixel(P.X, P.Y);
        for (int Shift = 0; Shift < 24; Shift += 8) {
            const int Src = std::clamp(static_cast<int>((S >> Shift) & 0xFF) - 50, 0, 255);
            const int Back = static_cast<int>((B >> Shift) & 0xFF);
            EXPECT_EQ(static_cast<int>((Got >> Shift) & 0xFF), Back + (Src - Back) * 140 / 255)
                << "at " << P.X << "," << P.Y << " channel " << Shift;
        }
    }
    Send(fw::WM_LBUTTONUP, 60, 5);
    EXPECT_FALSE(D->Visible());
}

TEST_F(HeaderMouseTest, DroppingBeforeTheRightNeighbourKeepsTheOrder) {
    Send(fw::WM_LBUTTONDOWN, 20, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 55, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 60, 5, fw::MK_LBUTTON);
    EXPECT_TRUE(H->Columns().DropBefore);
    Send(fw::WM_LBUTTONUP, 60, 5);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{0, 1, 2}));
    // After the right neighbour: the two swap.
    Send(fw::WM_LBUTTONDOWN, 20, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 85, 5, fw::MK_LBUTTON); // starts the drag
    Send(fw::WM_MOUSEMOVE, 90, 5, fw::MK_LBUTTON);
    Send(fw::WM_LBUTTONUP, 90, 5);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{1, 0, 2}));
}

TEST_F(HeaderMouseTest, EscapeCancelsAColumnDrag) {
    Send(fw::WM_LBUTTONDOWN, 20, 5, fw::MK_LBUTTON);
    Send(fw::WM_MOUSEMOVE, 140, 5, fw::MK_LBUTTON);
    Tree->Perform(fw::WM_KEYDOWN, fw::VK_ESCAPE, 0);
    EXPECT_EQ(H->States, 0);
    EXPECT_EQ(H->Columns().DropTarget, NoColumn);
    Send(fw::WM_LBUTTONUP, 140, 5);
    EXPECT_EQ(H->Columns().PositionToIndex, (TIndexArray{0, 1, 2}));
}

TEST_F(HeaderMouseTest, RightClickPopsTheMenuAndStillClicks) {
    TPopupMenu Menu;
    int Pops = 0;
    Menu.OnPopup = [&](TPopupMenu*, int, int) { ++Pops; };
    H->SetPopupMenu(&Menu);
    Send(fw::WM_RBUTTONDOWN, 120, 5, fw::MK_RBUTTON);
    Send(fw::WM_RBUTTONUP, 120, 5);
    EXPECT_EQ(Pops, 1);
    EXPECT_EQ(Menu.PopupComponent(), Tree);
    EXPECT_EQ(Clicks, (std::vector<int>{2}));
    EXPECT_EQ(MouseUps, 1);
}

TEST_F(HeaderMouseTest, HeaderMouseEventsUseHeaderCoordinates) {
    int Y = -1;
    Tree->OnHeaderMouseDown = [&](TLTHeader*, fw::TMouseButton, fw::TShiftState, int, int AY) {
        Y = AY;
    };
    Send(fw::WM_LBUTTONDOWN, 20, 7, fw::MK_LBUTTON);
    EXPECT_EQ(Y, 7);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(HeaderTest, StreamsThroughTheTreesByteStreams) {
    AddColumn(u"A", 40);
    AddColumn(u"B", 60);
    TMemoryStream S;
    S.WriteU32(0xABCD);
    H->SaveToStream(S);
    S.WriteU32(0x1234);
    S.SetPosition(4);
    TLazyStringTree* Other = fw::Create<TLazyStringTree>(Form.get());
    Other->Header()->LoadFromStream(S);
    EXPECT_TRUE(Other->Header()->Columns().Equals(H->Columns()));
    EXPECT_EQ(S.ReadU32(), 0x1234u); // the stream stands right after the header
}

TEST_F(HeaderTest, AutoSortFollowsTheSortColumnOutsideUpdates) {
    AddColumn(u"A", 40);
    AddColumn(u"B", 40);
    int Compares = 0;
    Tree->OnCompareNodes = [&](TBaseLazyTree*, PLazyNode, PLazyNode, int, int& R) {
        ++Compares;
        R = 0;
    };
    Tree->SetRootNodeCount(4);
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoSort);
    Compares = 0;
    Tree->BeginUpdate();
    H->SetSortColumn(1);
    EXPECT_EQ(Compares, 0);
    Tree->EndUpdate();
    Compares = 0;
    H->SetSortColumn(0);
    EXPECT_GT(Compares, 0);
    EXPECT_EQ(H->SortColumn(), 0);
    H->SetSortColumn(7); // clamped
    EXPECT_EQ(H->SortColumn(), 1);
}

TEST_F(HeaderTest, AutoResizeGivesTheRestToTheAutoSizeColumn) {
    AddColumn(u"A", 40);
    AddColumn(u"B", 60);
    H->SetAutoSizeIndex(0);
    H->SetOptions(H->Options() | hoAutoResize);
    EXPECT_EQ(H->Columns()[0].Width(), Tree->ClientWidth() - 60);
    H->Columns()[1].SetWidth(100);
    EXPECT_EQ(H->Columns()[0].Width(), Tree->ClientWidth() - 100);
    EXPECT_EQ(H->Columns().TotalWidth(), Tree->ClientWidth());
}

} // namespace
} // namespace vel

namespace vel {
namespace {

class LayoutTest : public HeaderTest {
protected:
    // Layout of a 100 x 20 button holding "abc" (18 + 2 pixels of text).
    void Layout(TLazyTreeColumn* C, bool Sort) {
        fw::TBitmap B(10, 10);
        C->ComputeHeaderLayout(B.Canvas(), {0, 0, 100, 20}, false, Sort, Glyph, SortPos, Text);
    }
    fw::TPoint Glyph, SortPos;
    fw::TRect Text;
};

TEST_F(LayoutTest, TextFollowsTheAlignmentAndTheSortGlyphTheText) {
    TLazyTreeColumn* C = AddColumn(u"abc", 100);
    Layout(C, false);
    EXPECT_EQ(Text.Left, 4); // Margin
    EXPECT_EQ(Text.Width(), 20);
    EXPECT_EQ(Text.Top, (20 - 12) / 2);
    Layout(C, true);
    EXPECT_EQ(SortPos.X, 4 + 20 + 4); // after the text and Spacing
    C->SetAlignment(taRightJustify);
    Layout(C, true);
    EXPECT_EQ(SortPos.X, 100 - 4 - 16);
    EXPECT_EQ(Text.Right, 100 - 4 - 16 - 4);
    C->SetAlignment(taCenter);
    Layout(C, false);
    EXPECT_EQ(Text.Left, (100 - 20) / 2);
}

TEST_F(LayoutTest, ExtentsAreHeldWhereThePaintAddsThem) {
    TLazyTreeColumn* C = AddColumn(u"abc", 100);
    constexpr int Max = MaxExtent;
    // {set, margin kept, spacing kept}
    for (auto [Set, Margin, Spacing] : {std::array{INT32_MIN, 4, -Max}, {INT32_MAX, Max, Max}}) {
        C->SetMargin(Set);
        C->SetSpacing(Set);
        EXPECT_EQ(C->Margin(), Margin);
        EXPECT_EQ(C->Spacing(), Spacing);
        for (TAlignment A : {taLeftJustify, taRightJustify, taCenter}) {
            C->SetAlignment(A);
            Layout(C, true);
        }
    }
    H->SetHeight(UINT32_MAX);
    EXPECT_EQ(H->Height(), unsigned{Max});
    H->ChangeScale(INT32_MAX, 1);
    EXPECT_TRUE(WithinExtent(H->Font().Height()));
    // The tree's own: indent and margins.
    Tree->SetIndent(UINT32_MAX);
    Tree->SetMargin(INT32_MAX);
    Tree->SetTextMargin(INT32_MIN);
    EXPECT_EQ(Tree->Indent(), std::uint32_t{Max});
    EXPECT_EQ(Tree->Margin(), Max);
    EXPECT_EQ(Tree->TextMargin(), -Max);
    H->SetOptions(H->Options() | hoVisible | hoShowSortGlyphs);
    H->SetSortColumn(0);
    Tree->SetRootNodeCount(2);
    Tree->SetExpanded(Tree->GetFirst(), true);
    fw::TBitmap Shot;
    Shot.SetSize(Tree->Width(), Tree->Height());
    fw::PaintControlTo(Tree, Shot.Surface());
}

TEST_F(LayoutTest, ALongTextIsCutBeforeTheSortGlyph) {
    TLazyTreeColumn* C = AddColumn(std::u16string(30, u'x').c_str(), 100);
    Layout(C, true);
    EXPECT_LE(SortPos.X + 16, 100 - 4);
    EXPECT_LE(Text.Right, SortPos.X - 4);
    EXPECT_GE(Text.Left, 4);
}

TEST_F(HeaderMouseTest, DoubleClickOnASplitterFitsTheWidestContent) {
    H->SetOptions(H->Options() | hoDblClickResize);
    Tree->SetRootNodeCount(2);
    const int Expected = std::max(H->Columns()[0].MinWidth(), Tree->GetMaxColumnWidth(0));
    Send(fw::WM_LBUTTONDBLCLK, 50, 5, fw::MK_LBUTTON);
    EXPECT_EQ(H->Columns()[0].Width(), Expected);
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(HeaderMouseTest, HotTrackingFollowsTheMouseUntilTheTimerSeesItLeave) {
    H->SetOptions(H->Options() | hoHotTrack);
    Tree->Handle(); // the watch timer needs the window
    Send(fw::WM_MOUSEMOVE, 70, 5);
    EXPECT_EQ(H->Columns().HoverIndex, 1);
    fw::SetCursorPos(fw::ControlPoint(Tree, 70, 80).X, fw::ControlPoint(Tree, 70, 80).Y);
    fw::AdvanceClock(60);
    EXPECT_EQ(H->Columns().HoverIndex, NoColumn);
}

TEST_F(HeaderMouseTest, XPStyleAndPressedButtonsPaint) {
    H->SetStyle(hsXPStyle);
    fw::TBitmap B(250, 17);
    H->Columns().DownIndex = 1;
    H->Columns().PaintHeader(B.Canvas(), {0, 0, 250, 17}, 0);
    B.SaveToFile(fw::PicturePath("lazytree_header_xp.png"));
    EXPECT_EQ(B.Canvas().Pixels(20, 5), static_cast<fw::TColor>(0xDBEAEB));  // normal fill
    EXPECT_EQ(B.Canvas().Pixels(75, 5), static_cast<fw::TColor>(0xD8DFDE));  // pressed fill
    EXPECT_EQ(B.Canvas().Pixels(50, 5), static_cast<fw::TColor>(0x97A5A5));  // outline
    EXPECT_EQ(B.Canvas().Pixels(51, 5), static_cast<fw::TColor>(0xB8C2C1));  // inner line
    EXPECT_EQ(B.Canvas().Pixels(20, 16), static_cast<fw::TColor>(0xB8C7CB)); // bottom line
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(HeaderTest, AStringTreeWithColumnsPaintsHeaderAndTexts) {
    AddColumn(u"Name", 120)->SetOptions(DefaultColumnOptions);
    AddColumn(u"Size", 80);
    H->SetOptions(H->Options() | hoVisible | hoShowSortGlyphs);
    H->SetSortColumn(1);
    Tree->OnGetText = [](TBaseLazyTree*, PLazyNode Node, int Column, TLSTTextType,
                         std::u16string& Text) {
        Text = Column == 1 ? u"42" : u"Bone " + std::u16string(1, char16_t(u'0' + Node->Index));
    };
    Tree->SetRootNodeCount(3);
    Tree->SetFocusedNode(Tree->GetFirst());
    Tree->SetSelected(Tree->GetFirst(), true);
    fw::TBitmap B(250, 150);
    fw::PaintControlTo(Tree, B.Surface());
    B.SaveToFile(fw::PicturePath("lazytree_string.png"));
    // Some dark text pixels in the first row of the second column, none below the rows.
    int Dark = 0;
    for (int Y = 17; Y < 35; ++Y)
        for (int X = 120; X < 200; ++X)
            Dark += fw::ColorToRGB(B.Canvas().Pixels(X, Y)) == 0;
    EXPECT_GT(Dark, 10);
    // The first row's tree line: an arm at the row's middle, then down to the next row.
    int Arm = 0, Down = 0;
    for (int X = 9; X <= 18; ++X)
        Arm += fw::ColorToRGB(B.Canvas().Pixels(X, 17 + 9)) == fw::ColorToRGB(fw::clBtnShadow);
    for (int Y = 17 + 9; Y < 35; ++Y)
        Down += fw::ColorToRGB(B.Canvas().Pixels(9, Y)) == fw::ColorToRGB(fw::clBtnShadow);
    EXPECT_GE(Arm, 4);
    EXPECT_GE(Down, 4);
    int Below = 0;
    for (int X = 0; X < 250; ++X)
        Below += fw::ColorToRGB(B.Canvas().Pixels(X, 140)) == 0;
    EXPECT_EQ(Below, 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// An owner whose stored components can be loaded in a test.
struct TLoader : fw::TComponent {
    using fw::TComponent::LoadOwnedComponents;
    using fw::TComponent::TComponent;
};

TEST_F(HeaderTest, PositionsStoredWhileLoadingAreAppliedAfterwards) {
    TLazyStringTree* Loaded = nullptr;
    TLoader Owner(nullptr);
    Owner.LoadOwnedComponents([&] {
        Loaded = fw::Create<TLazyStringTree>(&Owner);
        TLTHeader* LH = Loaded->Header();
        for (int I = 0; I < 3; ++I)
            LH->Columns().Add()->SetWidth(10 * (I + 1));
        LH->Columns()[0].SetPosition(2);
        LH->Columns()[1].SetPosition(0);
        LH->Columns()[2].SetPosition(1);
        LH->SetMainColumn(9); // stored as given while loading
        EXPECT_TRUE(LH->Columns().NeedPositionsFix);
    });
    Loaded->HeaderLoaded();
    TLTHeader* LH = Loaded->Header();
    EXPECT_FALSE(LH->Columns().NeedPositionsFix);
    EXPECT_EQ(LH->Columns().PositionToIndex, (TIndexArray{1, 2, 0}));
    EXPECT_EQ(LH->Columns()[1].Left(), 0);
    EXPECT_EQ(LH->Columns()[2].Left(), 20);
    EXPECT_EQ(LH->Columns()[0].Left(), 50);
    EXPECT_EQ(LH->MainColumn(), 2);
}

} // namespace
} // namespace vel
