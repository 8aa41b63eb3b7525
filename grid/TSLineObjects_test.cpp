// Fonts of columns, rows and cells (own fonts, inherited copies, changes made
// through the font object), property copies between lines, whole-grid
// copies, windows a control owns, and layouts in files.
#include "GridTestEnv.h"
#include "TSCombo.h"
#include "TestPaths.h"

#include <filesystem>

namespace vel {
namespace {

class LineObjectsTest : public EngineTest {};

TEST_F(LineObjectsTest, AChangeThroughTheFontObjectMakesItTheLinesOwn) {
    TtsCol* C = Grid->Col(2);
    EXPECT_TRUE(C->ParentFont());
    EXPECT_EQ(C->Font(), nullptr);
    C->FontObject().SetStyle(fw::fsBold);
    EXPECT_FALSE(C->ParentFont());
    EXPECT_EQ(Grid->Model().EffectiveFont(2, 5).Style(), fw::fsBold);
    // A grid font change leaves an own font alone.
    fw::TFont Big;
    Big.SetHeight(-20);
    Grid->SetGridFont(Big);
    EXPECT_EQ(C->Font()->Height(), -11);
    // Parent font back on: the line inherits again.
    C->SetParentFont(true);
    EXPECT_EQ(C->Font(), nullptr);
    EXPECT_EQ(Grid->Model().EffectiveFont(2, 5).Height(), -20);
    // A line keeping its own fonts holds a copy that follows the grid and stays inherited.
    TtsRow* R = Grid->Row(4);
    R->SetOwnFonts(true);
    ASSERT_NE(R->Font(), nullptr);
    EXPECT_TRUE(R->ParentFont());
    EXPECT_NE(Grid->Model().OwnFontRows.Find(4), nullptr);
    Big.SetHeight(-14);
    Grid->SetGridFont(Big);
    EXPECT_EQ(R->Font()->Height(), -14);
    EXPECT_TRUE(R->ParentFont());
    R->SetOwnFonts(false);
    EXPECT_EQ(R->Font(), nullptr);
}

TEST_F(LineObjectsTest, CellFontsInheritAndKeepTheirOwn) {
    fw::TFont Red;
    Red.SetColor(fw::clRed);
    Grid->SetCellFont(1, 3, &Red);
    EXPECT_FALSE(Grid->GetCellParentFont(1, 3));
    EXPECT_EQ(Grid->GetCellFont(1, 3)->Color(), fw::clRed);
    EXPECT_EQ(Grid->Model().EffectiveFont(1, 3).Color(), fw::clRed);
    // The same font again changes nothing; none drops the element.
    EXPECT_FALSE(Grid->Model().CellProps().SetProperty(
        {1, 3}, true, 0, prFont, TtsVariant(static_cast<fw::TObject*>(&Red))));
    Grid->SetCellFont(1, 3, nullptr);
    EXPECT_EQ(Grid->Model().CellProps().Element(1, 3), nullptr);
    // Parent font off copies what the cell inherits (its column's own font here).
    Grid->Col(1)->FontObject().SetStyle(fw::fsItalic);
    Grid->SetCellParentFont(1, 4, false);
    ASSERT_NE(Grid->GetCellFont(1, 4), nullptr);
    EXPECT_EQ(Grid->GetCellFont(1, 4)->Style(), fw::fsItalic);
    // A cell keeping its own fonts follows its column while it inherits.
    Grid->Model().CellProps().SetOwnFonts({1, 5}, true);
    ASSERT_NE(Grid->GetCellFont(1, 5), nullptr);
    Grid->Col(1)->FontObject().SetStyle(fw::fsBold);
    EXPECT_EQ(Grid->GetCellFont(1, 5)->Style(), fw::fsBold);
    EXPECT_TRUE(Grid->GetCellParentFont(1, 5));
    // A change through a cell's own font object makes it the cell's own.
    const_cast<fw::TFont*>(Grid->GetCellFont(1, 5))->SetColor(fw::clBlue);
    EXPECT_FALSE(Grid->GetCellParentFont(1, 5));
    // Resetting fonts drops them all.
    Grid->ResetCellProperties(Kind(prFont));
    EXPECT_EQ(Grid->GetCellFont(1, 4), nullptr);
}

TEST_F(LineObjectsTest, HeadingFontsAndColumnWidestText) {
    TtsCol* C = Grid->Col(1);
    C->HeadingFontObject().SetStyle(fw::fsUnderline);
    EXPECT_FALSE(C->HeadingParentFont());
    EXPECT_FALSE(C->IsDefault());
    C->ResetProperties(Kind(prFont));
    EXPECT_EQ(C->HeadingFont(), nullptr);
    EXPECT_TRUE(C->HeadingParentFont());
    // The widest text of the shown cells.
    Grid->SetCellValue(1, 7, TtsVariant(std::string("a much longer text")));
    const int Wide = C->MaxTextWidth();
    EXPECT_GT(Wide, 0);
    Grid->Row(7)->SetVisible(false);
    EXPECT_LT(C->MaxTextWidth(), Wide);
    Grid->SetRows(0);
    EXPECT_EQ(C->MaxTextWidth(), 0);
}

TEST_F(LineObjectsTest, RowAssignTakesPositionPropertiesAndObjects) {
    TtsRow* From = Grid->Row(3);
    From->SetColor(fw::clYellow);
    From->SetHeight(30);
    From->SetDropDownStyle(ddDropDownList);
    From->SetButtonType(btCombo);
    From->EnsureCombo()->SetDropDownRows(8);
    Grid->SetDisplayRow(3, 6);
    TtsRow* To = Grid->Row(9);
    To->Assign(*From);
    EXPECT_EQ(To->Color(), fw::clYellow);
    EXPECT_EQ(To->Height(), 30);
    EXPECT_EQ(Grid->RowHeights(To->DisplayRow()), 30);
    EXPECT_EQ(To->DisplayRow(), 6);
    EXPECT_EQ(To->ButtonType(), btCombo);
    ASSERT_NE(To->Combo(), nullptr);
    EXPECT_NE(To->Combo(), From->Combo());
    EXPECT_EQ(To->Combo()->DropDownRows(), 8);
    EXPECT_EQ(To->DropDownStyle(), ddDropDownList);
}

TEST_F(LineObjectsTest, PropertiesCopyByNameAndAllButTheExcluded) {
    TtsCol* A = Grid->Col(1);
    TtsCol* B = Grid->Col(2);
    A->SetColor(fw::clRed);
    A->SetHeading("Alpha");
    A->SetWidth(99);
    A->FontObject().SetStyle(fw::fsBold);
    EXPECT_TRUE(CopyPropertyByName("color", *B, *A));
    EXPECT_EQ(B->Color(), fw::clRed);
    EXPECT_EQ(B->HeadingText(), "");
    EXPECT_FALSE(CopyPropertyByName("NoSuchThing", *B, *A));
    CopyProperties(*B, *A, "Width; heading");
    EXPECT_EQ(B->HeadingText(), "");
    EXPECT_EQ(B->Width(), 64);
    ASSERT_NE(B->Font(), nullptr);
    EXPECT_EQ(B->Font()->Style(), fw::fsBold);
    for (const auto& P : ColPropInfos())
        if (std::string(P.Name) == "Heading") CopyProperty(P, *B, *A);
    EXPECT_EQ(B->HeadingText(), "Alpha");
    TtsRow* R = Grid->Row(2);
    R->SetHeight(22);
    CopyProperties(*Grid->Row(5), *R, "");
    EXPECT_EQ(Grid->Row(5)->Height(), 22);
}

TEST_F(LineObjectsTest, AGridCopyTakesLinesCellsOrderAndValues) {
    Grid->Col(2)->SetHeading("Two");
    Grid->Col(2)->SetDisplayCol(1);
    Grid->Row(4)->SetHeight(25);
    Grid->SetDisplayRow(4, 1);
    Grid->Cell(3, 2).SetColor(fw::clLime);
    auto* Copy = Place<TtsGrid>(0, 0, 100, 100);
    Copy->AssignGrid(*Grid, true);
    EXPECT_EQ(Copy->Cols(), 3);
    EXPECT_EQ(Copy->Rows(), 20);
    EXPECT_EQ(Copy->DataColAt(1), 2);
    EXPECT_EQ(Copy->Col(2)->HeadingText(), "Two");
    EXPECT_EQ(Copy->DataRowAt(1), 4);
    EXPECT_EQ(Copy->Row(4)->Height(), 25);
    EXPECT_EQ(Copy->Cell(3, 2).Color(), fw::clLime);
    EXPECT_EQ(VarToText(Copy->CellValue(1, 7)), "r7c1");
}

TEST_F(LineObjectsTest, WindowsAControlOwns) {
    Focus();
    EXPECT_TRUE(ControlOwnsWindow(Grid->Handle(), Grid));
    EXPECT_TRUE(ControlOwnsWindow(Grid->Handle(), Form.get()));
    EXPECT_TRUE(ControlOwnsWindow(Grid->EditStrategy().Control()->Handle(), Form.get()));
    EXPECT_FALSE(ControlOwnsWindow(Form->Handle(), Grid));
    EXPECT_FALSE(ControlOwnsWindow(nullptr, Grid));
}

TEST_F(LineObjectsTest, ALayoutGoesToAFileAndBack) {
    Grid->Col(1)->SetWidth(120);
    const std::string Path = fw::TestPath("layout.grd");
    Grid->SaveLayoutToFile(Path, pkGrid | pkCols, true, AllKinds);
    auto* Other = Place<TtsGrid>(0, 0, 100, 100);
    Other->SetStoreData(true);
    Other->LoadLayoutFromFile(Path, 1);
    EXPECT_EQ(Other->Col(1)->Width(), 120);
    EXPECT_EQ(VarToText(Other->CellValue(2, 3)), "r3c2");
    EXPECT_FALSE(std::filesystem::exists(Path + ".new"));
    EXPECT_THROW(Other->LoadLayoutFromFile(fw::TestPath("missing.grd"), 1), fw::EStreamError);
}

} // namespace
} // namespace vel
