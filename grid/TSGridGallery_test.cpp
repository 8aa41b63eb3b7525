// The grid's gallery: one picture of each thing the grid shows, rendered
// through TtsGrid. With $VEL_RENDER_DIR set (scripts/gallery sets out/) the
// pictures are kept for a person to look at; each test also checks a few of
// its pixels.
#include "FormTestEnv.h"
#include "Input.h"
#include "Png.h"
#include "Screen.h"
#include "TSCombo.h"
#include "TSMaskDefs.h"
#include "TSMonthView.h"
#include "TSGrid.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace vel {
namespace {

class GridGallery : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Form->SetBounds(100, 100, 420, 240);
        Grid = Place<TtsGrid>(4, 4, 412, 232);
        Grid->SetName("Gallery");
        Grid->SetStoreData(true);
    }
    void Fill(int Cols, int Rows) {
        Grid->SetCols(Cols);
        Grid->SetRows(Rows);
    }
    void Put(int C, int R, const TtsVariant& V) { Grid->SetCellValue(C, R, V); }
    void Render(const std::string& Name) {
        Show();
        fw::ProcessMessages();
        ASSERT_TRUE(fw::RenderControlToPng(Form.get(), fw::PicturePath(Name)));
        Shot.SetSize(Grid->Width(), Grid->Height());
        fw::PaintControlTo(Grid, Shot.Surface());
    }
    fw::TColor At(int X, int Y) { return Shot.Canvas().Pixels(X, Y); }
    // The screen around the form and what drops down from it (pop-ups are windows of their own).
    void RenderScreen(const std::string& Name, int Extra) {
        fw::ProcessMessages();
        const fw::TRect R{Form->Left(), Form->Top(), Form->Left() + Form->Width(),
                          Form->Top() + Form->Height() + Extra};
        fw::ComposeScreen(R);
        fw::TSurface Out;
        fw::CaptureScreen(R, Out);
        ASSERT_TRUE(fw::WritePng(fw::PicturePath(Name), Out.Width, Out.Height, Out.Pixels.data()));
        Screen = std::move(Out);
    }
    // A screen pixel of the last screen picture, at a point of a control.
    fw::TColor ScreenAt(const fw::TControl* C, int X, int Y) {
        const fw::TPoint P = C->ClientToScreen({X, Y});
        const std::uint32_t Px = Screen.Pixel(P.X - Form->Left(), P.Y - Form->Top());
        return fw::RGB((Px >> 16) & 0xFF, (Px >> 8) & 0xFF, Px & 0xFF);
    }
    fw::TSurface Screen;
    // A flag of 16 x 12 times Scale: blue field, white cross, red centre.
    fw::TBitmap& Flag(int Scale) {
        auto& B = Flags[Scale];
        if (B) return *B;
        B = std::make_unique<fw::TBitmap>(16 * Scale, 12 * Scale);
        fw::TCanvas& C = B->Canvas();
        auto Box = [&](int L, int T, int R, int Bt) {
            C.FillRect(fw::TRect{L * Scale, T * Scale, R * Scale, Bt * Scale});
        };
        C.Brush().SetColor(fw::RGB(0, 70, 160));
        Box(0, 0, 16, 12);
        C.Brush().SetColor(fw::clWhite);
        Box(0, 5, 16, 7);
        Box(5, 0, 7, 12);
        C.Brush().SetColor(fw::clRed);
        Box(5, 5, 7, 7);
        return *B;
    }
    std::map<int, std::unique_ptr<fw::TBitmap>> Flags;
    TtsGrid* Grid = nullptr;
    fw::TBitmap Shot;
};

TEST_F(GridGallery, HeadingsSortGlyphsAndTheRowBar) {
    Fill(4, 12);
    const char* Bones[] = {"Hip",    "Spine",      "Neck",  "Head",   "Shoulder.L", "Arm.L",
                           "Hand.L", "Shoulder.R", "Arm.R", "Hand.R", "Leg.L",      "Leg.R"};
    for (int R = 1; R <= 12; ++R) {
        Put(1, R, std::string(Bones[R - 1]));
        Put(2, R, std::int32_t{R * 12});
        Put(3, R, std::int32_t{R % 3 == 0});
        Put(4, R, std::to_string(100 - R * 7) + " %");
    }
    Grid->Col(1)->SetHeading("&Bone");
    Grid->Col(1)->SetWidth(90);
    Grid->Col(1)->SetSortPicture(spUp);
    Grid->Col(1)->SetHeadingHorzAlignment(htaLeft);
    Grid->Col(2)->SetHeading("Frame");
    Grid->Col(2)->SetSortPicture(spDown);
    Grid->Col(2)->SetHorzAlignment(htaRight);
    Grid->Col(3)->SetHeading("Key");
    Grid->Col(3)->SetSortPicture(spBullet);
    Grid->Col(3)->SetControlType(ctCheck);
    Grid->Col(3)->SetWidth(40);
    Grid->Col(4)->SetHeading("Weight");
    Grid->Col(4)->SetHeadingHorzAlignment(htaRight);
    Grid->Col(4)->SetHorzAlignment(htaRight);
    Grid->SetRowBarWidth(14);
    Grid->SetCurrentCell(1, 3);
    Render("headings_rowbar.png");
    // The current row's mark stands in its row bar only.
    const fw::TRect Bar3 = Grid->CellRect(0, 3), Bar4 = Grid->CellRect(0, 4);
    EXPECT_EQ(At((Bar3.Left + Bar3.Right) / 2, (Bar3.Top + Bar3.Bottom) / 2), fw::clBlack);
    EXPECT_NE(At((Bar4.Left + Bar4.Right) / 2, (Bar4.Top + Bar4.Bottom) / 2), fw::clBlack);
}

TEST_F(GridGallery, TextInEveryAlignmentAndWrapped) {
    Fill(4, 3);
    Grid->SetDefaultRowHeight(44);
    Grid->SetDefaultColWidth(92);
    const TtsVertAlignment V[] = {vtaTop, vtaCenter, vtaBottom};
    const TtsHorzAlignment H[] = {htaLeft, htaCenter, htaRight};
    const char* VName[] = {"top", "middle", "bottom"};
    const char* HName[] = {"left", "centre", "right"};
    for (int C = 1; C <= 3; ++C) {
        Grid->Col(C)->SetHorzAlignment(H[C - 1]);
        Grid->Col(C)->SetHeading(HName[C - 1]);
        for (int R = 1; R <= 3; ++R) {
            Grid->Cell(C, R).SetVertAlignment(V[R - 1]);
            Put(C, R, std::string(HName[C - 1]) + " " + VName[R - 1]);
        }
    }
    Grid->Col(4)->SetHeading("wrapped");
    Grid->Col(4)->SetWordWrap(wwOn);
    Grid->Col(4)->SetWidth(110);
    Put(4, 1, std::string("A long text breaks between its words."));
    Put(4, 2, std::string("Two lines\r\nby a break"));
    Put(4, 3, std::string("Centred and wrapped over the lines"));
    Grid->Cell(4, 3).SetHorzAlignment(htaCenter);
    Grid->Cell(4, 3).SetVertAlignment(vtaCenter);
    Grid->SetCurrentCell(4, 3);
    Render("text_alignment.png");
}

TEST_F(GridGallery, CheckBoxesInEveryStateAndStyle) {
    // One grid a style: a plain row, a coloured row and a read-only row.
    const TtsCheckBoxStyle Styles[] = {stCheck, stCross, stFlat};
    const char* StyleNames[] = {"check", "cross", "flat"};
    const char* States[] = {"unchecked", "checked", "grayed"};
    Grid->SetBounds(4, 4, 412, 74);
    TtsGrid* Grids[] = {Grid, Place<TtsGrid>(4, 82, 412, 74), Place<TtsGrid>(4, 160, 412, 74)};
    for (int G = 0; G < 3; ++G) {
        TtsGrid* S = Grids[G];
        S->SetStoreData(true);
        S->SetCols(4);
        S->SetRows(3);
        S->SetDefaultRowHeight(17);
        S->SetCheckBoxStyle(Styles[G]);
        S->Col(1)->SetWidth(90);
        S->Col(1)->SetHeading(std::string(StyleNames[G]) + " style");
        for (int C = 2; C <= 4; ++C) {
            S->Col(C)->SetControlType(ctCheck);
            S->Col(C)->SetWidth(86);
            S->Col(C)->SetHeading(States[C - 2]);
            for (int R = 1; R <= 3; ++R)
                S->SetCellValue(C, R, std::int32_t{C - 2});
        }
        S->SetCellValue(1, 1, std::string("white cells"));
        S->SetCellValue(1, 2, std::string("yellow cells"));
        S->SetCellValue(1, 3, std::string("read only"));
        S->Row(2)->SetColor(fw::RGB(255, 240, 150));
        S->Row(3)->SetReadOnly(true);
    }
    Render("check_boxes.png");
    // The flat box takes its cell's colour inside; the others stay white.
    Grids[2]->SetFocus();
    const fw::TRect Yellow = Grids[2]->CellRect(2, 2);
    fw::TBitmap B;
    B.SetSize(Grids[2]->Width(), Grids[2]->Height());
    fw::PaintControlTo(Grids[2], B.Surface());
    const int X = (Yellow.Left + Yellow.Right) / 2 - 1, Y = (Yellow.Top + Yellow.Bottom) / 2;
    EXPECT_EQ(B.Canvas().Pixels(X, Y), fw::RGB(255, 240, 150));
    EXPECT_EQ(At(X, Y), fw::clWhite);
}

TEST_F(GridGallery, PicturesWithTheirOptions) {
    // A small picture in the first row, a large one in the second, by each option.
    Fill(5, 2);
    Grid->SetDefaultRowHeight(48);
    Grid->SetDefaultColWidth(72);
    Grid->Col(1)->SetWidth(66);
    const char* Heads[] = {"", "as it is", "stretched", "kept aspect", "by name"};
    for (int C = 2; C <= 5; ++C) {
        Grid->Col(C)->SetControlType(ctPicture);
        Grid->Col(C)->SetHeading(Heads[C - 1]);
        Put(C, 1, static_cast<fw::TObject*>(&Flag(1)));
        Put(C, 2, static_cast<fw::TObject*>(&Flag(6)));
    }
    Put(1, 1, std::string("16 x 12"));
    Put(1, 2, std::string("96 x 72"));
    Grid->Col(1)->SetVertAlignment(vtaCenter);
    Grid->Col(2)->SetPictureOption(2, dopOff); // no shrinking: a large one is cut
    Grid->Col(3)->SetPictureOption(1, dopOn);
    Grid->Col(3)->SetPictureOption(4, dopOff);
    Grid->Col(4)->SetPictureOption(1, dopOn);
    auto* Images = fw::Create<TtsImageList>(Form.get());
    TtsImage* Small = Images->Images().Add();
    Small->SetBitmap(&Flag(1));
    Small->SetName("Flags.Small");
    TtsImage* Large = Images->Images().Add();
    Large->SetBitmap(&Flag(6));
    Large->SetName("Flags.Large");
    Grid->SetImageList(Images);
    Put(5, 1, std::string("Flags.Small"));
    Put(5, 2, std::string("Flags.Large"));
    Render("pictures.png");
    const fw::TRect Stretched = Grid->CellRect(3, 1);
    EXPECT_EQ(At(Stretched.Left + 1, Stretched.Top + 1), fw::RGB(0, 70, 160));
    // Kept to its aspect, the picture stands centred with room on either side.
    const fw::TRect Kept = Grid->CellRect(4, 1);
    EXPECT_NE(At(Kept.Left + 2, (Kept.Top + Kept.Bottom) / 2), fw::RGB(0, 70, 160));
    EXPECT_EQ(At(Kept.Left + 12, Kept.Top + 2), fw::RGB(0, 70, 160));
}

TEST_F(GridGallery, SelectedRowsRangeAndColumn) {
    Fill(5, 12);
    for (int R = 1; R <= 12; ++R)
        for (int C = 1; C <= 5; ++C)
            Put(C, R, std::string(1, char('A' + C - 1)) + std::to_string(R));
    Grid->SetDefaultColWidth(70);
    for (int C = 1; C <= 5; ++C)
        Grid->Col(C)->SetHeading(std::string(1, char('A' + C - 1)));
    Show();
    Grid->SetFocus();
    Grid->SelectRows(2, 3, true);
    Grid->SelectCols(5, 5, true);
    Grid->SetCurrentCell(2, 6);
    Grid->SelectCellRange(TGridRect{2, 6, 3, 9});
    Render("selection.png");
    // The current cell stays unmarked inside the range; the rest of it is highlighted.
    const fw::TRect Inside = Grid->CellRect(3, 7);
    EXPECT_EQ(At(Inside.Left + 1, Inside.Top + 1), fw::ColorToRGB(fw::clHighlight));
}

TEST_F(GridGallery, TheCurrentCellWithItsEditorOpen) {
    Fill(3, 8);
    for (int R = 1; R <= 8; ++R) {
        Put(1, R, std::string("Pose ") + std::to_string(R));
        Put(2, R,
            std::string("frames ") + std::to_string(R * 10) + " to " + std::to_string(R * 10 + 9));
    }
    Grid->Col(1)->SetHeading("Name");
    Grid->Col(2)->SetHeading("Range");
    Grid->Col(2)->SetWidth(150);
    Grid->Col(3)->SetHeading("Note");
    Grid->Col(3)->SetWidth(140);
    Show();
    Grid->SetFocus();
    Grid->SetCurrentCell(2, 3);
    fw::PressKey(fw::VK_END); // the caret to the end of the text
    fw::TypeText(" (edited)");
    fw::PressKey(fw::VK_LEFT, fw::ssShift);
    fw::PressKey(fw::VK_LEFT, fw::ssShift);
    Render("editor.png");
    EXPECT_TRUE(Grid->EditStrategy().GetVisible());
    EXPECT_EQ(Grid->EditStrategy().GetSelText(), "d)");
}

TEST_F(GridGallery, ScrolledWithBothBars) {
    Fill(12, 400);
    for (int R = 1; R <= 400; ++R)
        for (int C = 1; C <= 12; ++C)
            Put(C, R, std::int32_t{R * 100 + C});
    for (int C = 1; C <= 12; ++C) {
        Grid->Col(C)->SetHeading("Col " + std::to_string(C));
        Grid->Col(C)->SetHorzAlignment(htaRight);
    }
    Show();
    Grid->SetCurrentCell(5, 200);
    Grid->SetLeftCol(4);
    Render("scroll_bars.png");
    EXPECT_GT(Grid->TopRow(), 150);
    EXPECT_LT(Grid->ClientWidth(), Grid->Width());
    EXPECT_LT(Grid->ClientHeight(), Grid->Height());
}

TEST_F(GridGallery, AComboCellWithItsListDroppedDown) {
    Fill(3, 8);
    const char* Joints[] = {"Hip", "Knee.L", "Ankle.L", "Knee.R", "Ankle.R", "Neck", "Wrist.L", "Wrist.R"};
    const char* Kinds[] = {"Ball", "Hinge", "Hinge", "Hinge", "Hinge", "Ball", "Saddle", "Saddle"};
    for (int R = 1; R <= 8; ++R) {
        Put(1, R, std::string(Joints[R - 1]));
        Put(2, R, std::string(Kinds[R - 1]));
        Put(3, R, std::int32_t{R * 15});
    }
    Grid->Col(1)->SetHeading("Joint");
    Grid->Col(1)->SetWidth(90);
    Grid->Col(2)->SetHeading("Kind");
    Grid->Col(2)->SetWidth(110);
    Grid->Col(2)->SetButtonType(btCombo);
    Grid->Col(3)->SetHeading("Limit");
    TtsCombo* C = Grid->Col(2)->EnsureCombo();
    const char* Items[] = {"Ball", "Hinge", "Saddle", "Pivot", "Fixed", "Slider"};
    C->Grid()->SetRows(6);
    for (int R = 1; R <= 6; ++R)
        C->Grid()->SetCellValue(1, R, std::string(Items[R - 1]));
    C->SetDropDownRows(5);
    Show();
    Grid->SetFocus();
    Grid->SetCurrentCell(2, 3);
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_DOWN);
    RenderScreen("combo_dropped.png", 40);
    ASSERT_TRUE(Grid->IsComboDropped());
    // The marked row of the list is highlighted; the list hangs under the cell.
    const fw::TRect Row = C->Grid()->CellRect(1, 3);
    EXPECT_EQ(ScreenAt(C->Grid(), Row.Left + 2, Row.Top + 2), fw::ColorToRGB(fw::clHighlight));
    EXPECT_EQ(Grid->DropDownForm()->Top(),
              Grid->ClientToScreen({0, Grid->CellRect(2, 3).Bottom}).Y);
}

TEST_F(GridGallery, ADateTimeCellWithItsCalendar) {
    Fill(2, 8);
    const char* Takes[] = {"Walk", "Run", "Jump", "Idle", "Wave", "Sit", "Turn", "Fall"};
    for (int R = 1; R <= 8; ++R) {
        Put(1, R, std::string(Takes[R - 1]));
        Put(2, R, DateToText(EncodeDayCount(2024, 5, R * 3)));
    }
    Grid->Col(1)->SetHeading("Take");
    Grid->Col(1)->SetWidth(100);
    Grid->Col(2)->SetHeading("Recorded");
    Grid->Col(2)->SetWidth(110);
    Grid->Col(2)->SetButtonType(btDateTimeDropDown);
    Show();
    Grid->SetFocus();
    Grid->SetCurrentCell(2, 2);
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_RIGHT);
    RenderScreen("date_calendar.png", 80);
    ASSERT_TRUE(Grid->IsDateTimeDropped());
    EXPECT_EQ(Grid->MonthView()->Date(), EncodeDayCount(2024, 5, 7));
}

TEST_F(GridGallery, CellsInTheirOwnFonts) {
    Fill(3, 8);
    for (int R = 1; R <= 8; ++R)
        for (int C = 1; C <= 3; ++C)
            Put(C, R, std::string("Bone ") + std::to_string(R * 10 + C));
    Grid->Col(1)->SetHeading("Plain");
    Grid->Col(2)->SetHeading("Bold column");
    Grid->Col(3)->SetHeading("Large heading");
    Grid->Col(1)->SetWidth(110);
    Grid->Col(2)->SetWidth(120);
    Grid->Col(3)->SetWidth(150);
    Grid->SetDefaultRowHeight(18);
    Grid->Col(2)->FontObject().SetStyle(fw::fsBold);
    Grid->Col(3)->HeadingFontObject().SetStyle(fw::fsBold | fw::fsUnderline);
    fw::TFont Red;
    Red.SetColor(fw::clRed);
    Red.SetStyle(fw::fsItalic);
    Grid->Cell(1, 2).SetFont(&Red);
    Grid->Row(4)->SetHeight(26);
    fw::TFont Big;
    Big.SetHeight(-20);
    Big.SetColor(fw::RGB(0, 90, 0));
    Grid->Cell(3, 4).SetFont(&Big);
    Grid->Row(6)->FontObject().SetColor(fw::clBlue);
    Render("own_fonts.png");
    EXPECT_FALSE(Grid->Col(2)->ParentFont());
    EXPECT_FALSE(Grid->Cell(1, 2).ParentFont());
    const fw::TRect R = Grid->CellRect(1, 2);
    EXPECT_TRUE([&] {
        for (int Y = R.Top; Y < R.Bottom; ++Y)
            for (int X = R.Left; X < R.Right; ++X)
                if (At(X, Y) == fw::ColorToRGB(fw::clRed)) return true;
        return false;
    }());
}

TEST_F(GridGallery, AMaskedEditInProgress) {
    Fill(3, 8);
    const char* Bones[] = {"Hip", "Spine", "Chest", "Neck", "Head", "Arm.L", "Arm.R", "Leg.L"};
    for (int R = 1; R <= 8; ++R) {
        Put(1, R, std::string(Bones[R - 1]));
        Put(2, R, std::string("BN-") + std::to_string(100 + R * 7));
        Put(3, R, std::string("(0") + std::to_string(R) + ") 2" + std::to_string(R) + "0");
    }
    auto* Masks = fw::Create<TtsMaskDefs>(Form.get());
    Masks->SetMask("Code", "LL-999");
    Masks->SetMask("Slot", "\\(99\\) 999");
    Grid->SetMaskDefs(Masks);
    Grid->Col(1)->SetHeading("Bone");
    Grid->Col(2)->SetHeading("Code (LL-999)");
    Grid->Col(2)->SetWidth(130);
    Grid->Col(2)->SetMaskName("Code");
    Grid->Col(3)->SetHeading("Slot ((99) 999)");
    Grid->Col(3)->SetWidth(130);
    Grid->Col(3)->SetMaskName("Slot");
    Show();
    Grid->SetFocus();
    Grid->SetCurrentCell(2, 4);
    fw::TypeText("nK-4x2"); // the x is refused
    Render("masked_edit.png");
    EXPECT_EQ(Grid->EditStrategy().Edit()->EditText(), "nK-42");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(GridGallery, SpinCellsMidEdit) {
    Fill(3, 6);
    const char* Joints[] = {"Hip", "Knee.L", "Knee.R", "Elbow.L", "Elbow.R", "Neck"};
    for (int R = 1; R <= 6; ++R) {
        Put(1, R, std::string(Joints[R - 1]));
        Put(2, R, std::to_string(R * 15));
        Put(3, R, std::string("0.") + std::to_string(R * 10));
    }
    Grid->Col(1)->SetHeading("Joint");
    Grid->Col(2)->SetHeading("Angle");
    Grid->Col(2)->SetButtonType(btVertSpin);
    Grid->Col(2)->SetHorzAlignment(htaRight);
    Grid->Col(2)->SetSpinIncrement(5);
    Grid->Col(3)->SetHeading("Stiffness");
    Grid->Col(3)->SetButtonType(btHorzSpin);
    Grid->Col(3)->SetSpinIncrement(0.05);
    Grid->Col(3)->SetWidth(90);
    Show();
    Grid->SetFocus();
    // A vertical spin cell stepped twice and held on its upper half, then a sideways one
    // held on its right half.
    Grid->SetCurrentCell(2, 2);
    Grid->SpinStep(1);
    const fw::TRect V = Grid->CellButtonRect();
    fw::MouseDownAt(fw::ControlPoint(Grid, (V.Left + V.Right) / 2, V.Top + 2));
    Render("spin_vertical.png");
    fw::MouseUpAt(fw::ControlPoint(Grid, (V.Left + V.Right) / 2, V.Top + 2));
    Grid->SetCurrentCell(3, 4);
    const fw::TRect B = Grid->CellButtonRect();
    fw::MouseDownAt(fw::ControlPoint(Grid, B.Right - 3, (B.Top + B.Bottom) / 2));
    Render("spin.png");
    fw::MouseUpAt(fw::ControlPoint(Grid, B.Right - 3, (B.Top + B.Bottom) / 2));
    EXPECT_EQ(VarToText(Grid->CellValue(2, 2)), "40");
    EXPECT_EQ(Grid->EditStrategy().Edit()->EditText(), "0.45");
    EXPECT_EQ(At(B.Left + 2, B.Top + 2), fw::ColorToRGB(fw::clBtnFace));
}

TEST_F(GridGallery, TheSunkenBorder) {
    Fill(3, 5);
    for (int R = 1; R <= 5; ++R)
        for (int C = 1; C <= 3; ++C)
            Put(C, R, "r" + std::to_string(R) + "c" + std::to_string(C));
    Form->SetColor(fw::clBtnFace);
    Grid->SetBounds(20, 20, 240, 100);
    Render("border.png");
    // The edge over the grid's outer pixels: shadow on the top left, light at the bottom right.
    EXPECT_EQ(At(0, 50), fw::ColorToRGB(fw::clBtnShadow));
    EXPECT_EQ(At(Grid->Width() - 1, 50), fw::ColorToRGB(fw::clBtnHighlight));
}

} // namespace
} // namespace vel
