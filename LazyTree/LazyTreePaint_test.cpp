#include "LazyDrawTree.h"
#include "LazyTreeResources.h"
#include "TreeViewTestEnv.h"

#include "ImageList.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace vel {
namespace {

// Row geometry with the defaults: indent 18 (the root shown), margin 4, row 18,
// images and buttons centred at 9. A top-level node's check box starts at 22.
constexpr int CheckX = 18 + 4;
constexpr int CheckY = 9 - 8;

class PaintTest : public TreeViewTest {
protected:
    void SetUp() override {
        TreeViewTest::SetUp();
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toCheckSupport);
    }
    // A pixel of a check image as its list draws it.
    fw::TColor CheckPixel(int Index, int X, int Y) {
        fw::TBitmap B(16, 16);
        B.Canvas().Brush().SetColor(fw::clWhite);
        B.Canvas().FillRect({0, 0, 16, 16});
        Tree->CheckImages()->Draw(B.Canvas(), 0, 0, Index, fw::dsTransparent, fw::itImage);
        return B.Canvas().Pixels(X, Y);
    }
};

TEST_F(PaintTest, CheckBoxesShowTheirStateKindAndHotLook) {
    Tree->SetCheckType(Top(0), ctTriStateCheckBox);
    Tree->SetCheckType(Top(1), ctCheckBox);
    Tree->SetCheckType(Top(2), ctRadioButton);
    Top(0)->CheckState = csMixedNormal;
    Top(1)->CheckState = csCheckedNormal;
    EXPECT_EQ(Tree->GetCheckImage(Top(0)), 17);
    EXPECT_EQ(Tree->GetCheckImage(Top(1)), 13);
    EXPECT_EQ(Tree->GetCheckImage(Top(2)), 1);
    Picture();
    // The mark of a checked box (its top-right pixel), the grey square of a mixed one,
    // the round empty radio button: each exactly as its list draws it.
    EXPECT_EQ(At(CheckX + 10, 18 + CheckY + 5), Rgb(fw::clBlack));
    EXPECT_EQ(At(CheckX + 10, 18 + CheckY + 5), CheckPixel(13, 10, 5));
    EXPECT_EQ(At(CheckX + 6, CheckY + 7), CheckPixel(17, 6, 7));
    EXPECT_EQ(At(CheckX + 6, CheckY + 7), Rgb(fw::clBtnShadow));
    EXPECT_EQ(At(CheckX + 7, 36 + CheckY + 7), CheckPixel(1, 7, 7));
    EXPECT_NE(At(CheckX + 7, 36 + CheckY + 7), CheckPixel(5, 7, 7)); // not the checked radio
    // Disabled boxes take the disabled images; a hovered one the hot image.
    Top(2)->States |= vsDisabled;
    EXPECT_EQ(Tree->GetCheckImage(Top(2)), 4);
    fw::MouseMoveTo(fw::ControlPoint(Tree, CheckX + 5, 18 + 9));
    EXPECT_EQ(Tree->HotNode(), Top(1));
    EXPECT_EQ(Tree->GetCheckImage(Top(1)), 14);
    Picture();
    EXPECT_EQ(At(CheckX + 3, 18 + CheckY + 10), CheckPixel(14, 3, 10));
    EXPECT_NE(CheckPixel(14, 3, 10), CheckPixel(13, 3, 10));
}

TEST_F(PaintTest, EveryCheckKindHasItsSharedListOfTwentyFiveImages) {
    for (TCheckImageKind K : {ckLightCheck, ckDarkCheck, ckLightTick, ckDarkTick, ckFlat, ckXP,
                              ckSystem, ckSystemFlat}) {
        Tree->SetCheckImageKind(K);
        ASSERT_NE(Tree->CheckImages(), nullptr);
        EXPECT_EQ(Tree->CheckImages()->Count(), 25);
        EXPECT_EQ(Tree->CheckImages(), CheckImageList(K));
    }
    // Custom images come from the tree's own list.
    fw::TImageList Own(nullptr, 16, 16);
    Tree->SetCheckImageKind(ckCustom);
    Tree->SetCustomCheckImages(&Own);
    EXPECT_EQ(Tree->CheckImages(), &Own);
    EXPECT_THROW(
        {
            fw::TImageList L;
            LoadInternalImages(L, "NO_SUCH_PICTURE");
        },
        ELazyTreeAssertion);
}

TEST_F(PaintTest, PressingABoxShowsItPressedAndTheReleaseChecksWithPropagation) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoTristateTracking);
    Tree->SetCheckType(Top(0), ctTriStateCheckBox);
    Tree->SetExpanded(Top(0), true);
    PLazyNode A = Tree->GetFirstChild(Top(0)), B = Tree->GetNextSibling(A);
    Tree->SetCheckType(A, ctCheckBox);
    Tree->SetCheckType(B, ctCheckBox);
    const fw::TPoint BoxA = fw::ControlPoint(Tree, 36 + 4 + 8, 18 + 9);
    fw::MouseDownAt(BoxA);
    EXPECT_EQ(A->CheckState, csUncheckedPressed);
    EXPECT_EQ(Tree->GetCheckImage(A), 11);
    fw::MouseUpAt(BoxA);
    EXPECT_EQ(A->CheckState, csCheckedNormal);
    EXPECT_EQ(Top(0)->CheckState, csMixedNormal);
    // Released beside the box: nothing changes.
    fw::AdvanceClock(1000);
    fw::MouseDownAt(fw::ControlPoint(Tree, 36 + 4 + 8, 36 + 9));
    fw::MouseUpAt(fw::ControlPoint(Tree, 200, 100));
    EXPECT_EQ(B->CheckState, csUncheckedNormal);
    // Space on the focused node checks it on the key's release; the parent follows.
    Tree->SetFocusedNode(B);
    fw::KeyDown(fw::VK_SPACE);
    EXPECT_EQ(B->CheckState, csUncheckedPressed);
    fw::KeyUp(fw::VK_SPACE);
    EXPECT_EQ(B->CheckState, csCheckedNormal);
    EXPECT_EQ(Top(0)->CheckState, csCheckedNormal);
}

// Solid images: red, green, blue, and one that is blue in its top-left corner only.
std::unique_ptr<fw::TImageList> SolidImages() {
    auto L = std::make_unique<fw::TImageList>(nullptr, 16, 16);
    fw::TBitmap B(64, 16);
    fw::TCanvas& C = B.Canvas();
    const fw::TColor Colors[] = {fw::clRed, fw::clLime, fw::clBlue, fw::clFuchsia};
    for (int I = 0; I < 4; ++I) {
        C.Brush().SetColor(Colors[I]);
        C.FillRect({16 * I, 0, 16 * I + 16, 16});
    }
    C.Brush().SetColor(fw::clBlue);
    C.FillRect({48, 0, 52, 4});
    L->AddMasked(B, fw::clFuchsia);
    return L;
}

TEST_F(PaintTest, ImagesFollowTheCheckBoxAndTheirSpotsAreHitAsSuch) {
    auto Normal = SolidImages(), State = SolidImages();
    Tree->SetImages(Normal.get());
    Tree->SetStateImages(State.get());
    Tree->SetCheckType(Top(1), ctCheckBox);
    Tree->OnGetImageIndex = [](TBaseLazyTree*, PLazyNode, TLTImageKind Kind, int, bool&,
                               int& Index) {
        Index = Kind == ikState ? 2 : Kind == ikNormal ? 0 : Kind == ikSelected ? 1 : 3;
    };
    Picture();
    // Check box at 22, state image at 40, normal image at 58, the text after 76.
    const int Y = 18 + CheckY;
    EXPECT_EQ(At(40 + 8, Y + 8), Rgb(fw::clBlue));
    EXPECT_EQ(At(58 + 8, Y + 8), Rgb(fw::clRed));
    EXPECT_EQ(At(58 + 1, Y + 1), Rgb(fw::clBlue)); // the overlay's corner
    EXPECT_EQ(Tree->GetDisplayRect(Top(1), NoColumn, true).Left, 76);
    // A selected node shows its selected image.
    Tree->SetSelected(Top(1), true);
    Picture();
    EXPECT_NE(At(58 + 8, Y + 8), Rgb(fw::clRed));
    THitInfo H;
    const std::pair<int, THitPositions> Spots[] = {
        {CheckX + 2, hpOnItemCheckbox}, {42, hpOnStateIcon}, {60, hpOnNormalIcon},
        {80, hpOnItemLabel},           {10, hpOnItemButton}};
    for (auto [X, Bit] : Spots) {
        Tree->GetHitTestInfoAt(X, 18 + 9, true, H);
        EXPECT_TRUE(H.HitPositions & Bit) << "x " << X;
    }
    // The list's change link repaints; freeing it leaves the tree without images.
    Normal.reset();
    EXPECT_EQ(Tree->Images(), nullptr);
}

TEST_F(PaintTest, SelectedTextIsHighlightTextAndTheHotNodeIsUnderlinedInItsColour) {
    Tree->SetFocusedNode(Top(0));
    Tree->SetSelected(Top(0), true);
    Tree->SetFocus();
    Picture();
    // Text "0" at 22 + 4: the glyph's stem over the focused selection colour.
    const int TextX = CheckX + 4, TextY = 3;
    bool White = false;
    for (int X = TextX; X < TextX + 6; ++X)
        for (int Y = TextY + 2; Y < TextY + 9; ++Y)
            White = White || At(X, Y) == Rgb(fw::clHighlightText);
    EXPECT_TRUE(White);
    EXPECT_EQ(At(TextX + 5, TextY + 11), Rgb(fw::clHighlight));
    // Columns that come and go leave no stale focused column: still painted selected.
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->SetFocusedColumn(1);
    Tree->Header()->Columns().Clear();
    Picture();
    EXPECT_EQ(At(TextX + 5, TextY + 11), Rgb(fw::clHighlight));
    // Unfocused: the grey selection with the normal text colour.
    fw::SetFocus(nullptr);
    Picture();
    EXPECT_EQ(At(TextX + 5, TextY + 11), Rgb(fw::clBtnFace));
    // Hot: underlined in the hot colour.
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toHotTrack);
    Tree->Colors()->SetHotColor(fw::clRed);
    fw::MouseMoveTo(fw::ControlPoint(Tree, TextX + 2, 18 + 9));
    ASSERT_EQ(Tree->HotNode(), Top(1));
    Picture();
    EXPECT_EQ(At(TextX + 1, 18 + TextY + 10), Rgb(fw::clRed));
}

TEST_F(PaintTest, TheRubberBandIsBlendedAndFramedOrDotted) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toMultiSelect);
    Tree->SetDrawSelectionMode(smBlendedRectangle);
    fw::MouseDownAt(fw::ControlPoint(Tree, 150, 5));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 120, 40), fw::ssLeft);
    ASSERT_TRUE(Tree->TreeStates().Contains(tsDrawSelecting));
    Picture();
    EXPECT_EQ(At(130, 5), Rgb(Tree->Colors()->SelectionRectangleBorderColor()));
    // Inside: white and the blend colour half and half.
    const fw::TColor Inside = At(135, 20);
    const fw::TColor Blend = Rgb(Tree->Colors()->SelectionRectangleBlendColor());
    EXPECT_EQ(Inside & 0xFF, (0xFF * 128 + (Blend & 0xFF) * 128) >> 8);
    Tree->SetDrawSelectionMode(smDottedRectangle);
    Picture();
    EXPECT_NE(At(135, 20), Inside);
    fw::MouseUpAt(fw::ControlPoint(Tree, 120, 40));
}

TEST_F(PaintTest, PaintEventsComeOncePerRowAndCellInOrder) {
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->Header()->Columns().Add()->SetWidth(100);
    std::vector<std::string> Log;
    auto Name = [](PLazyNode N) { return std::string(1, static_cast<char>('0' + N->Index)); };
    Tree->OnBeforePaint = [&](TBaseLazyTree*, fw::TCanvas&) { Log.push_back("paint"); };
    Tree->OnAfterPaint = [&](TBaseLazyTree*, fw::TCanvas&) { Log.push_back("/paint"); };
    Tree->OnBeforeItemPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, const fw::TRect&,
                                  bool& Custom) {
        Log.push_back("item" + Name(N));
        Custom = N->Index == 2; // the application paints the last row itself
    };
    Tree->OnAfterItemPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, const fw::TRect&) {
        Log.push_back("/item" + Name(N));
    };
    Tree->OnBeforeItemErase = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, const fw::TRect&,
                                  fw::TColor& C, TItemEraseAction& A) {
        Log.push_back("erase" + Name(N));
        C = fw::clYellow;
        A = eaColor;
    };
    Tree->OnAfterItemErase = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, const fw::TRect&) {
        Log.push_back("/erase" + Name(N));
    };
    Tree->OnBeforeCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, int C,
                                  const fw::TRect&) {
        Log.push_back("cell" + Name(N) + std::to_string(C));
    };
    Tree->OnAfterCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, int C,
                                 const fw::TRect&) {
        Log.push_back("/cell" + Name(N) + std::to_string(C));
    };
    Tree->OnPaintBackground = [&](TBaseLazyTree*, fw::TCanvas&, const fw::TRect&, bool& Done) {
        Log.push_back("rest");
        Done = false;
    };
    fw::TBitmap B(200, 80);
    Tree->PaintTree(B.Canvas(), {0, 0, 200, 80}, {0, 0}, ipDrawSelection);
    const std::vector<std::string> Expected = {
        "paint",  "item0",  "erase0", "/erase0", "cell00", "/cell00", "cell01", "/cell01",
        "/item0", "item1",  "erase1", "/erase1", "cell10", "/cell10", "cell11", "/cell11",
        "/item1", "item2",  "/item2", "rest",    "/paint"};
    EXPECT_EQ(Log, Expected);
    EXPECT_EQ(B.Canvas().Pixels(150, 2), fw::clYellow); // the erase colour asked for
}

// With spanning on, a cell that has text after a cell that spans nothing (or
// after the empty cells a cell spans) is painted: it was skipped, so the
// second column of every row stayed blank.
TEST_F(PaintTest, SpanningSkipsOnlyTheEmptyCells) {
    for (int I = 0; I < 3; ++I)
        Tree->Header()->Columns().Add()->SetWidth(60);
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoSpanColumns);
    Texts[{Top(0), 1}] = u""; // the first row's middle cell is empty
    std::vector<std::string> Cells;
    Tree->OnBeforeCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, int C,
                                  const fw::TRect&) {
        Cells.push_back(std::to_string(N->Index) + std::to_string(C));
    };
    fw::TBitmap B(200, 36);
    Tree->PaintTree(B.Canvas(), {0, 0, 200, 36}, {0, 0}, ipDrawSelection);
    EXPECT_EQ(Cells, (std::vector<std::string>{"00", "02", "10", "11", "12"}));
    // Positions are not columns: the last column moved to the front.
    Tree->Header()->Columns()[2].SetPosition(0);
    Cells.clear();
    Tree->PaintTree(B.Canvas(), {0, 0, 200, 36}, {0, 0}, ipDrawSelection);
    EXPECT_EQ(Cells, (std::vector<std::string>{"02", "00", "12", "10", "11"}));
}

TEST_F(PaintTest, TheBackgroundPictureStaysWithTheClientAndBandsShowTheLevels) {
    fw::TBitmap Back(4, 4);
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X)
            Back.Canvas().SetPixels(X, Y, fw::RGB(static_cast<std::uint8_t>(10 + X),
                                                  static_cast<std::uint8_t>(20 + Y), 200));
    Tree->SetBackground(&Back);
    Tree->SetBackgroundOffsetX(1);
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toShowBackground);
    Picture();
    // Client pixel (x, y) shows the picture's ((x + 1) mod 4, y mod 4), rows and rest alike.
    EXPECT_EQ(At(201, 5), fw::RGB(10 + 2, 20 + 1, 200));
    EXPECT_EQ(At(202, 150), fw::RGB(10 + 3, 20 + 2, 200));
    // Bands: the child's row has the band's left border at its parent's level.
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() & ~toShowBackground);
    Tree->SetExpanded(Top(0), true);
    Tree->SetLineMode(lmBands);
    Tree->Colors()->SetGridLineColor(fw::clRed);
    Picture();
    int Red = 0;
    for (int Y = 18; Y < 36; ++Y)
        Red += At(18, Y) == Rgb(fw::clRed);
    EXPECT_GE(Red, 8); // dotted
    // Without grid lines in the paint, bands show nothing.
    fw::TBitmap B(240, 60);
    Tree->PaintTree(B.Canvas(), {0, 0, 240, 60}, {0, 0}, 0);
    EXPECT_NE(B.Canvas().Pixels(18, 20), Rgb(fw::clRed));
}

TEST_F(PaintTest, NodeAlignmentPlacesButtonsAndImagesInTheRow) {
    Tree->SetNodeAlignment(naFromTop);
    Top(0)->Align = 6;
    Picture();
    // The button's frame: 9 pixels centred on 6, its top at 2.
    EXPECT_EQ(At(4 + 4, 2), Rgb(fw::clBtnShadow));
    EXPECT_NE(At(4 + 4, 1), Rgb(fw::clBtnShadow));
    Tree->SetNodeAlignment(naFromBottom);
    Picture();
    EXPECT_EQ(At(4 + 4, 18 - 6 - 4), Rgb(fw::clBtnShadow));
}

TEST_F(PaintTest, ARightToLeftColumnMirrorsTheRowAndItsHitSpots) {
    Tree->Header()->Columns().Add()->SetWidth(200);
    Tree->Header()->Columns()[0].SetBiDiMode(bdRightToLeft);
    Tree->SetCheckType(Top(1), ctCheckBox);
    // From the right: indent 18 and margin 4, then the 16-pixel box.
    const int BoxRight = 200 - 18 - 4;
    THitInfo H;
    Tree->GetHitTestInfoAt(BoxRight - 3, 18 + 9, true, H);
    EXPECT_TRUE(H.HitPositions & hpOnItemCheckbox);
    Tree->GetHitTestInfoAt(200 - 9, 18 + 9, true, H);
    EXPECT_TRUE(H.HitPositions & hpOnItemButton || H.HitPositions & hpOnItemIndent);
    Picture();
    EXPECT_EQ(At(BoxRight - 16 + 3, 18 + CheckY + 10), CheckPixel(9, 3, 10));
}


TEST_F(PaintTest, ASelectedNodesCheckBoxIsTintedWithTheSelectionColour) {
    Tree->SetCheckType(Top(0), ctCheckBox);
    Tree->SetCheckType(Top(1), ctCheckBox);
    Tree->SetSelected(Top(1), true);
    Tree->SetFocus();
    Picture();
    // The box's white face: plain for the unselected node, a quarter blue for the selected.
    const fw::TColor Plain = At(CheckX + 4, CheckY + 8);
    const fw::TColor Tinted = At(CheckX + 4, 18 + CheckY + 8);
    EXPECT_EQ(Plain, CheckPixel(9, 4, 8));
    const fw::TColor Sel = Rgb(Tree->Colors()->FocusedSelectionColor());
    auto Quarter = [](fw::TColor Face, fw::TColor Blend, int Shift) {
        return (((Face >> Shift) & 0xFF) * 3 + ((Blend >> Shift) & 0xFF)) / 4;
    };
    for (int Shift : {0, 8, 16})
        EXPECT_NEAR(static_cast<int>((Tinted >> Shift) & 0xFF),
                    static_cast<int>(Quarter(Plain, Sel, Shift)), 1);
    // Unfocused: tinted with the unfocused colour.
    fw::SetFocus(nullptr);
    Picture();
    const fw::TColor Grey = Rgb(Tree->Colors()->UnfocusedSelectionColor());
    EXPECT_NEAR(static_cast<int>(At(CheckX + 4, 18 + CheckY + 8) & 0xFF),
                static_cast<int>(Quarter(Plain, Grey, 0)), 1);
}

// The pixels of the vertical tree line through the second row.
std::vector<fw::TColor> LineColumn(fw::TBitmap& B) {
    std::vector<fw::TColor> R;
    for (int Y = 14; Y < 23; ++Y) // between the two rows' buttons
        R.push_back(B.Canvas().Pixels(9, Y));
    return R;
}

TEST_F(PaintTest, LineStylesSolidDottedAndTheApplicationsPattern) {
    const fw::TColor Line = Rgb(Tree->Colors()->TreeLineColor());
    Tree->SetLineStyle(lsSolid);
    Picture();
    for (fw::TColor C : LineColumn(Picture()))
        EXPECT_EQ(C, Line);
    Tree->SetLineStyle(lsDotted);
    std::vector<fw::TColor> Dotted = LineColumn(Picture());
    for (std::size_t I = 1; I < Dotted.size(); ++I)
        EXPECT_NE(Dotted[I], Dotted[I - 1]);
    // A custom style asks the application; its pattern of 2 on, 2 off shows in pairs.
    int Asked = 0;
    Tree->OnGetLineStyle = [&](TBaseLazyTree*, TLTLinePattern& Bits) {
        ++Asked;
        for (std::size_t I = 0; I < Bits.size(); ++I)
            Bits[I] = (I / 2) % 2 ? 0xFF : 0x00;
    };
    Tree->SetLineStyle(lsCustomStyle);
    EXPECT_EQ(Asked, 1);
    std::vector<fw::TColor> Custom = LineColumn(Picture());
    for (std::size_t I = 2; I < Custom.size(); ++I)
        EXPECT_NE(Custom[I], Custom[I - 2]) << I;
    EXPECT_GE(std::count(Custom.begin(), Custom.end(), Line), 4);
    EXPECT_LE(std::count(Custom.begin(), Custom.end(), Line), 5);
}

TEST_F(PaintTest, TriangleAndShadedButtons) {
    // The rectangle: framed in the line colour, a minus bar across.
    const fw::TBitmap& Plus = Tree->PlusBitmap();
    EXPECT_EQ(Plus.Canvas().Pixels(0, 0), Rgb(Tree->Colors()->TreeLineColor()));
    EXPECT_EQ(Plus.Canvas().Pixels(4, 3), Rgb(fw::clBlack));
    const fw::TColor Face = Plus.Canvas().Pixels(2, 1);
    // Shaded: the face is light at its top and darker towards its bottom.
    Tree->SetButtonFillMode(fmShaded);
    const fw::TColor Upper = Tree->PlusBitmap().Canvas().Pixels(2, 1);
    const fw::TColor Lower = Tree->PlusBitmap().Canvas().Pixels(2, 7);
    EXPECT_NE(Upper, Face);
    EXPECT_GT(Upper & 0xFF, Lower & 0xFF);
    // Triangles: pointing right when collapsed, down when expanded, no frame.
    Tree->SetButtonStyle(bsTriangle);
    const fw::TCanvas& P = Tree->PlusBitmap().Canvas();
    const fw::TCanvas& M = Tree->MinusBitmap().Canvas();
    EXPECT_EQ(P.Pixels(3, 4), Rgb(fw::clBlack));
    EXPECT_NE(P.Pixels(7, 4), Rgb(fw::clBlack));
    EXPECT_NE(P.Pixels(0, 0), Rgb(Tree->Colors()->TreeLineColor()));
    EXPECT_EQ(M.Pixels(4, 3), Rgb(fw::clBlack));
    EXPECT_NE(M.Pixels(4, 7), Rgb(fw::clBlack));
    // In the row, the expanded node shows the downward one.
    Tree->SetExpanded(Top(0), true);
    Picture();
    EXPECT_EQ(At(4 + 4, 5 + 3), Rgb(fw::clBlack)); // the button's box starts at (4, 5)
}

TEST_F(PaintTest, ACurveRadiusRoundsTheFullRowSelection) {
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toFullRowSelect);
    Tree->SetSelected(Top(1), true);
    Tree->SetFocus();
    Picture();
    const fw::TColor Border = Rgb(Tree->Colors()->FocusedSelectionBorderColor());
    EXPECT_EQ(At(0, 18), Border);
    Tree->SetSelectionCurveRadius(10);
    Picture();
    EXPECT_EQ(At(0, 18), Rgb(fw::clWhite)); // the corner is cut off
    EXPECT_EQ(At(60, 18), Border);          // the straight edge remains
    EXPECT_EQ(At(60, 26), Rgb(Tree->Colors()->FocusedSelectionColor()));
}

TEST_F(PaintTest, RepaintNodeDrawsAtOnceAndInvalidateColumnOnlyItsStrip) {
    std::vector<PLazyNode> Painted;
    Tree->OnAfterItemPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode Node, const fw::TRect&) {
        Painted.push_back(Node);
    };
    fw::ProcessMessages();
    Painted.clear();
    Tree->RepaintNode(Top(1));
    EXPECT_EQ(Painted, (std::vector<PLazyNode>{Top(1)})); // no message loop needed
    EXPECT_TRUE(Form->UpdateRect().IsEmpty());

    Tree->Header()->Columns().Add()->SetWidth(200);
    Tree->Header()->Columns().Add()->SetWidth(100); // wider than the client: a bar below
    fw::ProcessMessages();
    const int Bottom = Tree->ClientHeight();
    ASSERT_EQ(Bottom, 160 - 16);
    Tree->InvalidateColumn(1);
    EXPECT_EQ(Form->UpdateRect(), (fw::TRect{200, 0, 240, Bottom}));
    fw::ProcessMessages();
    Tree->SetOffsetX(-20); // scrolled: the strip moves along
    fw::ProcessMessages();
    Tree->InvalidateColumn(1);
    EXPECT_EQ(Form->UpdateRect(), (fw::TRect{180, 0, 240, Bottom}));
    fw::ProcessMessages();
    // No strip for a column that does not exist, nor during an update.
    Tree->InvalidateColumn(7);
    Tree->BeginUpdate();
    Tree->InvalidateColumn(0);
    EXPECT_TRUE(Form->UpdateRect().IsEmpty());
    Tree->EndUpdate();
}

TEST_F(PaintTest, TheApplicationShortensTextThatDoesNotFit) {
    Tree->Header()->Columns().Add()->SetWidth(60);
    Tree->Header()->SetMainColumn(0);
    Texts[{Top(0), 0}] = u"a text far too long for the column";
    std::vector<std::u16string> Asked;
    Tree->OnShortenString = [&](TBaseLazyTree*, fw::TCanvas*, PLazyNode, int Column,
                                const std::u16string& S, int Space, bool, std::u16string& Result,
                                bool& Done) {
        Asked.push_back(S);
        EXPECT_EQ(Column, 0);
        EXPECT_LT(Space, 60);
        Result = u"~";
        Done = true;
    };
    Picture();
    ASSERT_FALSE(Asked.empty());
    for (const std::u16string& S : Asked)
        EXPECT_EQ(S, u"a text far too long for the column");
    // The application's short text is what shows: a few pixels, not the whole text.
    // Not done: the tree's own ellipsis.
    fw::TBitmap B(10, 10);
    B.Canvas().Font().Assign(Tree->Font());
    Tree->OnShortenString = [](TBaseLazyTree*, fw::TCanvas*, PLazyNode, int,
                               const std::u16string&, int, bool, std::u16string&, bool&) {};
    const std::u16string Short = Tree->DoShortenString(&B.Canvas(), Top(0), 0, u"abcdefghijklmnop",
                                                       40, false, B.Canvas().TextWidth(u"..."));
    EXPECT_LT(Short.size(), 16u);
    EXPECT_EQ(Short.substr(Short.size() - 3), u"...");
}

TEST_F(PaintTest, TheDrawTreeLeavesNodesAndHintsToTheApplication) {
    auto* D = Place<TLazyDrawTree>(0, 0, 200, 100);
    D->SetBorderStyle(fw::bsNone);
    D->SetColor(fw::clWhite);
    D->OnDrawNode = [](TBaseLazyTree*, TLTPaintInfo& I) {
        I.Canvas->Brush().SetColor(fw::clLime);
        I.Canvas->FillRect(I.ContentRect);
    };
    D->OnGetNodeWidth = [](TBaseLazyTree*, fw::TCanvas*, PLazyNode, int, int& W) { W = 50; };
    D->SetRootNodeCount(2);
    fw::TBitmap B(200, 100);
    fw::PaintControlTo(D, B.Surface());
    // The content starts after the indentation and margin: 18 + 4.
    EXPECT_EQ(B.Canvas().Pixels(30, 9), Rgb(fw::clLime));
    EXPECT_EQ(B.Canvas().Pixels(30, 18 + 9), Rgb(fw::clLime));
    // The node's width is the application's: its label ends there.
    THitInfo Hit;
    D->GetHitTestInfoAt(30, 9, true, Hit);
    EXPECT_TRUE(Hit.HitPositions & hpOnItemLabel);
    D->GetHitTestInfoAt(22 + 50 + 10, 9, true, Hit);
    EXPECT_TRUE(Hit.HitPositions & hpOnItemRight);
    // Without the event the width is twice the text margin.
    D->OnGetNodeWidth = nullptr;
    EXPECT_EQ(D->DoGetNodeWidth(D->GetFirst(), NoColumn), 2 * D->TextMargin());
    fw::TRect R{0, 0, 1, 1};
    D->OnGetHintSize = [](TBaseLazyTree*, PLazyNode, int, fw::TRect& Size) { Size = {0, 0, 80, 20}; };
    D->DoGetHintSize(D->GetFirst(), NoColumn, R);
    EXPECT_EQ(R, (fw::TRect{0, 0, 80, 20}));
    int Drawn = 0;
    D->OnDrawHint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode, const fw::TRect&, int) { ++Drawn; };
    D->DoDrawHint(B.Canvas(), D->GetFirst(), R, NoColumn);
    EXPECT_EQ(Drawn, 1);
}

// A paint handler deletes a column: the cells after it are not read from the
// column list the row started with.
TEST_F(PaintTest, APaintHandlerDeletingAColumnLeavesNoStaleCell) {
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->Header()->Columns().Add()->SetWidth(100);
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
    bool Deleted = false;
    Tree->OnBeforeCellPaint = [&](TBaseLazyTree* S, fw::TCanvas&, PLazyNode, int C,
                                  const fw::TRect&) {
        if (!Deleted && C == 0) {
            Deleted = true;
            S->Header()->Columns().Delete(1);
        }
    };
    Picture();
    EXPECT_TRUE(Deleted);
    EXPECT_EQ(Tree->Header()->Columns().Count(), 1);
}

// Every paint-time handler, once, changes the columns every way there is;
// and a handler that resizes a column at every cell: the paint always
// finishes, every cell of the next paint shows the columns as they are.
TEST_F(PaintTest, PaintHandlersChangingColumnsEveryWay) {
    using TChange = std::function<void(TLazyTreeColumns&)>;
    const std::vector<TChange> Changes = {
        [](TLazyTreeColumns& C) { C.Delete(1); },
        [](TLazyTreeColumns& C) { C.Delete(0); },
        [](TLazyTreeColumns& C) { C.Delete(2); },
        [](TLazyTreeColumns& C) { C.Add()->SetWidth(30); },
        [](TLazyTreeColumns& C) { C[2].SetPosition(0); },
        [](TLazyTreeColumns& C) { C[1].SetOptions(C[1].Options() & ~coVisible); },
        [](TLazyTreeColumns& C) { C[0].SetWidth(10); },
        [](TLazyTreeColumns& C) { C.Clear(); },
        [](TLazyTreeColumns& C) { C.Header()->SetMainColumn(2); },
    };
    enum TWhere { BeforeItem, BeforeErase, AfterErase, BeforeCell, AfterCell, Text, PaintText,
                  CellEmpty, Background, WhereCount };
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoSpanColumns);
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toShowVertGridLines |
                                         toShowHorzGridLines | toFullVertGridLines);
    Tree->SetSelected(Top(1), true);
    auto BaseText = Tree->OnGetText;
    for (int Where = 0; Where < WhereCount; ++Where)
        for (std::size_t Change = 0; Change < Changes.size(); ++Change) {
            SCOPED_TRACE(testing::Message() << "where " << Where << " change " << Change);
            auto& Columns = Tree->Header()->Columns();
            Columns.Clear();
            for (int I = 0; I < 3; ++I)
                Columns.Add()->SetWidth(60);
            Tree->Header()->SetMainColumn(0);
            bool Armed = true;
            auto Fire = [&](TWhere At) {
                if (At == Where && Armed && Tree->TreeStates().Contains(tsPainting)) {
                    Armed = false;
                    Changes[Change](Tree->Header()->Columns());
                }
            };
            Tree->OnBeforeItemPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode,
                                          const fw::TRect&, bool&) { Fire(BeforeItem); };
            Tree->OnBeforeItemErase = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode,
                                          const fw::TRect&, fw::TColor&,
                                          TItemEraseAction&) { Fire(BeforeErase); };
            Tree->OnAfterItemErase = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode,
                                         const fw::TRect&) { Fire(AfterErase); };
            Tree->OnBeforeCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode, int,
                                          const fw::TRect&) { Fire(BeforeCell); };
            Tree->OnAfterCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode, int,
                                         const fw::TRect&) { Fire(AfterCell); };
            Tree->OnGetText = [&, BaseText](TBaseLazyTree* S, PLazyNode N, int C, TLSTTextType T,
                                            std::u16string& X) {
                Fire(Text);
                BaseText(S, N, C, T, X);
                if (C == 2) X.clear(); // a cell the one before it spans
            };
            Tree->OnPaintText = [&](TBaseLazyTree*, fw::TCanvas*, PLazyNode, int,
                                    TLSTTextType) { Fire(PaintText); };
            Tree->OnGetCellIsEmpty = [&](TBaseLazyTree*, PLazyNode, int C, bool& Empty) {
                Empty = C == 2;
                Fire(CellEmpty);
            };
            Tree->OnPaintBackground = [&](TBaseLazyTree*, fw::TCanvas&, const fw::TRect&,
                                          bool&) { Fire(Background); };
            Picture();
            EXPECT_FALSE(Armed);
            Tree->OnBeforeItemPaint = nullptr;
            Tree->OnBeforeItemErase = nullptr;
            Tree->OnAfterItemErase = nullptr;
            Tree->OnBeforeCellPaint = nullptr;
            Tree->OnAfterCellPaint = nullptr;
            Tree->OnGetText = BaseText;
            Tree->OnPaintText = nullptr;
            Tree->OnGetCellIsEmpty = nullptr;
            Tree->OnPaintBackground = nullptr;
            // The next paint is whole: the cells painted are the columns there are.
            fw::ProcessMessages();
            std::vector<int> Cells;
            Tree->OnBeforeCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode N, int C,
                                          const fw::TRect&) {
                if (N == Top(0)) Cells.push_back(C);
            };
            Picture();
            Tree->OnBeforeCellPaint = nullptr;
            std::vector<int> Expected;
            if (Columns.Count() == 0) Expected.push_back(NoColumn);
            for (TLazyTreeColumn* C : Columns.GetVisibleColumns())
                Expected.push_back(C->Index());
            EXPECT_EQ(Cells, Expected);
            if (HasFailure()) return;
        }
    // A handler that resizes a column at every cell.
    auto& Columns = Tree->Header()->Columns();
    int Calls = 0;
    Tree->OnBeforeCellPaint = [&](TBaseLazyTree*, fw::TCanvas&, PLazyNode, int, const fw::TRect&) {
        ++Calls;
        Columns[0].SetWidth(Columns[0].Width() == 60 ? 70 : 60);
    };
    Picture();
    EXPECT_GT(Calls, 0);
    Tree->OnBeforeCellPaint = nullptr;
}

// Draw handlers of the header that change the columns while it is drawn.
TEST_F(PaintTest, HeaderDrawHandlersChangingColumns) {
    auto& Columns = Tree->Header()->Columns();
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible | hoOwnerDraw);
    for (int Case = 0; Case < 6; ++Case) {
        SCOPED_TRACE(Case);
        Columns.Clear();
        for (int I = 0; I < 3; ++I)
            Columns.Add()->SetWidth(60);
        const bool Advanced = Case < 3;
        int Calls = 0;
        auto Change = [&] {
            if (Calls++ != 1) return;
            if (Case % 3 == 0) Columns.Delete(0);
            if (Case % 3 == 1) Columns.Clear();
            if (Case % 3 == 2) Columns[1].SetOptions(Columns[1].Options() & ~coVisible);
        };
        Tree->OnHeaderDrawQueryElements = nullptr;
        Tree->OnAdvancedHeaderDraw = nullptr;
        Tree->OnHeaderDraw = nullptr;
        if (Advanced) {
            Tree->OnHeaderDrawQueryElements = [](TLTHeader*, THeaderPaintInfo&,
                                                 THeaderPaintElements& E) {
                E = hpeBackground | hpeText | hpeHeaderGlyph;
            };
            Tree->OnAdvancedHeaderDraw = [&](TLTHeader*, THeaderPaintInfo& Info,
                                             THeaderPaintElements) {
                if (Info.Column) Change();
            };
        } else {
            for (int I = 0; I < Columns.Count(); ++I)
                Columns[I].SetStyle(vsOwnerDraw);
            Tree->OnHeaderDraw = [&](TLTHeader*, fw::TCanvas&, TLazyTreeColumn*, const fw::TRect&,
                                     bool, bool, TLTDropMarkMode) { Change(); };
        }
        Picture();
        EXPECT_GE(Calls, 2);
    }
    Tree->OnHeaderDrawQueryElements = nullptr;
    Tree->OnAdvancedHeaderDraw = nullptr;
    Tree->OnHeaderDraw = nullptr;
}

} // namespace
} // namespace vel
