#include "LazyTreeResources.h"
#include "TreeViewTestEnv.h"

#include "ImageList.h"

#include <memory>

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

} // namespace
} // namespace vel
