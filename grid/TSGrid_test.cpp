#include "GridTestEnv.h"
#include "TSGrid.h"
#include "TSGridEdit.h"

#include "Bitmap.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "ScrollBars.h"
#include "StdCtrls.h"
#include "TSShared.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST_F(EngineTest, DefaultsOfTheEngineOnItsBaseGrid) {
    auto* G = Place<TtsGrid>(0, 0, 300, 100);
    EXPECT_EQ(G->Options(), 0);
    EXPECT_EQ(G->TCustomGrid_ts::DefaultRowHeight(), 14);
    EXPECT_EQ(G->TCustomGrid_ts::DefaultColWidth(), 64);
    EXPECT_EQ(G->Cols(), TtsBaseGrid::DefaultCols);
    EXPECT_EQ(G->Rows(), TtsBaseGrid::DefaultRows);
    EXPECT_EQ(G->ColCount(), G->Cols() + 1);
    EXPECT_EQ(G->RowCount(), G->Rows() + 1);
    EXPECT_EQ(G->FixedCols(), 1);
    EXPECT_EQ(G->FixedRows(), 1);
    EXPECT_EQ(G->Model().Link, G);
    EXPECT_TRUE(G->WantTabs());
    EXPECT_FALSE(G->AlwaysShowFocus());
    EXPECT_EQ(G->GridMode(), gmEdit);
    G->SetThumbTracking(true);
    EXPECT_EQ(G->Options(), goThumbTracking);
    G->SetThumbTracking(false);
    EXPECT_EQ(G->Options(), 0);
    // The three strategies' controls belong to the grid and stand inside it.
    EXPECT_EQ(G->ComponentCount(), 3);
    EXPECT_EQ(G->EditStrategy().Control()->Parent(), G);
    EXPECT_EQ(G->CurrentDisplayCol(), 1);
    EXPECT_EQ(G->CurrentDisplayRow(), 1);
    EXPECT_EQ(G->CurrentControlType(), ctText);
}

TEST_F(EngineTest, WidthsAndHeightsHaveOneStore) {
    Grid->Col(2)->SetWidth(30);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(2), 30);
    EXPECT_EQ(Grid->Model().ColWidthAt(2), 30);
    Grid->Row(4)->SetHeight(40);
    EXPECT_EQ(Grid->TCustomGrid_ts::RowHeights(4), 40);
    // A move carries the width along.
    Grid->SetDisplayCol(2, 3);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(3), 30);
    EXPECT_EQ(Grid->Model().ColWidthAt(2), 64);
    // A new default leaves lines that have their own size alone.
    Grid->SetDefaultColWidth(50);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(1), 50);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(3), 30);
    EXPECT_EQ(Grid->RowBarWidth(), 12);
    Grid->SetDefaultRowHeight(20);
    EXPECT_EQ(Grid->TCustomGrid_ts::RowHeights(4), 40);
    EXPECT_EQ(Grid->TCustomGrid_ts::RowHeights(5), 20);
    EXPECT_EQ(Grid->HeadingHeight(), 18);
    // Hidden lines take no pixels and come back at their size.
    Grid->Col(1)->SetVisible(false);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(1), 0);
    Grid->Col(1)->SetVisible(true);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(1), 50);
}

TEST_F(EngineTest, ValuesComeFromTheStorageOrTheEvents) {
    EXPECT_EQ(Stored(2, 3), "r3c2");
    Grid->SetCellValue(1, 1, TtsVariant(true));
    EXPECT_EQ(Grid->Storage()->GetTag(1, 1), tagInteger);
    Grid->SetCellValue(1, 1, TtsVariant(2.5));
    EXPECT_EQ(Stored(1, 1), "2.5");
    Grid->SetCellValue(1, 1, TtsVariant(TtsNull{}));
    EXPECT_EQ(Grid->Storage()->GetTag(1, 1), tagNull);
    Grid->SetStoreData(false);
    std::vector<std::pair<int, int>> Edits;
    Grid->OnCellLoaded = [](fw::TObject*, int C, int R, TtsVariant& V) { V = C * 100 + R; };
    Grid->OnCellEdit = [&](fw::TObject*, int C, int R, const TtsVariant&) {
        Edits.emplace_back(C, R);
    };
    EXPECT_EQ(VarAsInteger(Grid->CellValue(2, 7)), 207);
    Grid->SetCellValue(3, 4, TtsVariant(std::int32_t{1}));
    EXPECT_EQ(Edits, (std::vector<std::pair<int, int>>{{3, 4}}));
    EXPECT_TRUE(VarIsEmpty(Grid->CellValue(9, 1)));
    // Turning the storage on carries the grid's flag.
    Grid->SetDataFlag(true);
    Grid->SetStoreData(true);
    EXPECT_TRUE(Grid->Storage()->Flag);
    EXPECT_EQ(Grid->Storage()->ColGrowMin(), 0);
}

TEST_F(EngineTest, ATextCellIsEditedIntoTheStorage) {
    Focus();
    ASSERT_TRUE(Grid->EditStrategy().Control()->Focused());
    EXPECT_EQ(Grid->EditStrategy().GetSelText(), "r1c1"); // typing replaces the cell
    fw::TypeText("abc");
    EXPECT_TRUE(Grid->CellModified());
    EXPECT_EQ(Stored(1, 1), "r1c1");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(1, 1), "abc");
    EXPECT_EQ(Grid->CurrentDisplayRow(), 2);
    EXPECT_TRUE(Grid->RowChanged() == false); // the row was left
    // Escape puts the stored text back.
    fw::TypeText("zz");
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_EQ(std::get<std::string>(Grid->EditStrategy().GetValue()), "r2c1");
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Stored(1, 2), "r2c1");
    EXPECT_EQ(Grid->CurrentDisplayRow(), 3);
    // Undone, the cell is unmodified: a value the program then sets shows, also after an
    // undo back to an equal text and in a spin cell.
    auto ProgramValueShows = [&](const std::string& Value) {
        fw::PressKey(fw::VK_ESCAPE);
        EXPECT_FALSE(Grid->CellModified());
        Grid->SetCellValue(1, 3, TtsVariant(Value));
        EXPECT_EQ(Grid->EditStrategy().Edit()->EditText() + VarToText(Grid->CurrentCell().Value()),
                  Value + Value);
    };
    fw::TypeText("abc");
    ProgramValueShows("7");
    Grid->Col(1)->SetButtonType(btVertSpin);
    ASSERT_TRUE(Grid->SpinStep(1));
    ProgramValueShows("9");
    Grid->EditStrategy().Edit()->SetSelStart(1);
    fw::TypeText("x");
    fw::PressKey(fw::VK_BACK);
    ProgramValueShows("again");
}

TEST_F(EngineTest, ChecksCanRefuseTheValueTheStartAndTheLeave) {
    Focus();
    bool Accept = false;
    Grid->OnCheckValue = [&](fw::TObject*, int, int, const TtsVariant&, bool& A) { A = Accept; };
    fw::TypeText("x");
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Grid->CurrentDisplayRow(), 1); // the value is refused: the cell stays
    EXPECT_EQ(Stored(1, 1), "r1c1");
    Accept = true;
    bool MayLeave = false;
    Grid->OnCanLeaveCell = [&](fw::TObject*, int, int, bool& L) { L = MayLeave; };
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Stored(1, 1), "x"); // stored, but the leave is refused
    EXPECT_EQ(Grid->CurrentDisplayRow(), 1);
    fw::ClickAt(CellPoint(2, 3));
    EXPECT_EQ(Grid->CurrentDisplayRow(), 1);
    MayLeave = true;
    fw::AdvanceClock(1000); // a new click, not a double click
    fw::ClickAt(CellPoint(2, 3));
    EXPECT_EQ(Grid->CurrentDisplayCol(), 2);
    EXPECT_EQ(Grid->CurrentDisplayRow(), 3);
    // A refused start leaves the cell as it was.
    Grid->OnStartCellEdit = [](fw::TObject*, int, int, bool& Cancel) { Cancel = true; };
    fw::TypeText("q");
    EXPECT_FALSE(Grid->CellModified());
    EXPECT_EQ(std::get<std::string>(Grid->EditStrategy().GetValue()), "r3c2");
}

TEST_F(EngineTest, ReadOnlyCellsTakeNoEdits) {
    Grid->Col(1)->SetReadOnly(true);
    Focus();
    // Read-only text is copied, selected and walked; no key changes it.
    TtsGridEditBox& Edit = *Grid->EditStrategy().Edit();
    fw::SetClipboardText("before");
    fw::PressKey('C', fw::ssCtrl);
    EXPECT_EQ(fw::ClipboardText(), "r1c1");
    fw::PressKey(fw::VK_F2);
    fw::PressKey(fw::VK_HOME);
    EXPECT_EQ(Edit.CaretPos(), 0);
    fw::PressKey(fw::VK_RIGHT, fw::ssShift);
    EXPECT_EQ(Edit.SelLength(), 1);
    for (const auto& [Key, Shift] : {std::pair{fw::VK_DELETE, fw::TShiftState{}},
                                     {fw::VK_BACK, {}},
                                     {'X', fw::ssCtrl},
                                     {'V', fw::ssCtrl},
                                     {fw::VK_DELETE, fw::ssShift},
                                     {fw::VK_RETURN, fw::ssCtrl}})
        fw::PressKey(Key, Shift);
    EXPECT_EQ(Edit.EditText(), "r1c1");
    fw::PressKey('A', fw::ssCtrl);
    fw::TypeText("abc");
    EXPECT_FALSE(Grid->CellModified());
    EXPECT_EQ(std::get<std::string>(Grid->EditStrategy().GetValue()), "r1c1");
    fw::PressKey(fw::VK_RIGHT);
    fw::TypeText("abc");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(2, 1), "abc");
    EXPECT_FALSE(Grid->CellModified());
    Grid->SetGridMode(gmBrowse);
    fw::TypeText("def");
    EXPECT_FALSE(Grid->CellModified());
}

TEST_F(EngineTest, ACheckCellStoresEachChangeAtOnce) {
    Grid->Col(2)->SetControlType(ctCheck);
    Grid->SetCellValue(2, 1, TtsVariant(std::int32_t{0}));
    Focus();
    fw::ClickAt(CellPoint(2, 1)); // the first press makes it current
    ASSERT_EQ(Grid->ActiveControl(), &Grid->CheckStrategy());
    ASSERT_TRUE(Grid->CheckStrategy().GetVisible());
    fw::AdvanceClock(1000);
    fw::ClickAt(CellPoint(2, 1));
    EXPECT_EQ(VarAsInteger(Grid->CellValue(2, 1)), 1);
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(VarAsInteger(Grid->CellValue(2, 1)), 0);
    // Check-box values of the column travel as texts.
    Grid->Col(2)->SetCheckBoxValues("Yes|No");
    Grid->SetCellValue(2, 1, TtsVariant(std::string("No")));
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(Stored(2, 1), "Yes");
}

TEST_F(EngineTest, TheStrategyFollowsTheControlType) {
    Focus();
    EXPECT_EQ(Grid->ActiveControl(), &Grid->EditStrategy());
    Grid->Col(1)->SetControlType(ctCheck);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->CheckStrategy());
    EXPECT_FALSE(Grid->EditStrategy().GetVisible());
    EXPECT_TRUE(Grid->CheckStrategy().GetVisible());
    Grid->Cell(1, 1).SetControlType(ctPicture);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->DefaultStrategy());
    EXPECT_FALSE(Grid->CheckStrategy().GetVisible());
    EXPECT_TRUE(Grid->Focused()); // no control for pictures: the grid keeps the keys
    Grid->Row(1)->SetControlType(ctText);
    Grid->SetDrawOverlap(doDrawRowOnTop);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->DefaultStrategy()); // the cell's own still wins
    Grid->Cell(1, 1).SetControlType(ctDefault);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->EditStrategy());
    EXPECT_TRUE(Grid->EditStrategy().Control()->Focused());
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(EngineTest, TheCurrentCellWorksThroughTheEngine) {
    TtsCurrentCell& C = Grid->CurrentCell();
    Focus();
    Grid->SetCurrentCell(2, 3);
    EXPECT_EQ(C.DataCol(), 2);
    EXPECT_EQ(C.DataRow(), 3);
    EXPECT_EQ(std::get<std::string>(C.Value()), "r3c2");
    EXPECT_EQ(C.ControlType(), ctText);
    EXPECT_TRUE(C.IsWholeTextSelected());
    C.SetSelStart(1);
    C.SetSelLength(2);
    EXPECT_EQ(Grid->EditStrategy().GetSelText(), "3c");
    EXPECT_FALSE(C.IsWholeTextSelected());
    ASSERT_TRUE(C.SetValue(TtsVariant(std::string("set")), true, true));
    EXPECT_EQ(Stored(2, 3), "set");
    EXPECT_EQ(std::get<std::string>(Grid->EditStrategy().GetValue()), "set");
    EXPECT_TRUE(Grid->RowChanged());
    // Clipboard commands go to the editor.
    C.SetSelStart(0);
    C.SetSelLength(3);
    EXPECT_TRUE(C.CopyToClipboard());
    EXPECT_EQ(fw::ClipboardText(), "set");
    Grid->Col(2)->SetMaxLength(4);
    EXPECT_FALSE(C.PasteFits("12345"));
    int W = 0, H = 0;
    Grid->MeasureCellText(2, 3, W, H);
    EXPECT_EQ(W, C.TextExtent1());
    EXPECT_GT(W, 0);
    EXPECT_EQ(H, C.TextExtent2());
    // No rows: no current cell.
    Grid->SetRows(0);
    EXPECT_EQ(C.DataRow(), -1);
    EXPECT_FALSE(Grid->HasCurrentCell());
    EXPECT_EQ(Grid->ActiveControl(), nullptr);
    Grid->SetRows(2);
    EXPECT_TRUE(Grid->HasCurrentCell());
    EXPECT_EQ(Grid->FixedRows(), 1);
}

TEST_F(EngineTest, ShrinkingCountsDropsTheLinesWholly) {
    Grid->Cell(2, 8).SetColor(fw::clRed);
    Grid->SetRows(5);
    Grid->SetRows(10);
    EXPECT_EQ(Grid->Model().EffectiveColor(2, 8), Grid->GridColor());
    EXPECT_TRUE(VarIsEmpty(Grid->CellValue(2, 8)));
    // A moved row that stays keeps being found from the current cell.
    Grid->SetDisplayRow(2, 10);
    Grid->SetCurrentCell(1, 10);
    Grid->SetRows(5);
    EXPECT_EQ(Grid->GetDisplayRow(2), 5);
    EXPECT_EQ(Grid->CurrentDisplayRow(), 5);
    EXPECT_EQ(Grid->CurrentCell().DataRow(), 2);
    EXPECT_EQ(Grid->RowCount(), 6);
    // Columns likewise, widths and all.
    Grid->Col(3)->SetWidth(33);
    Grid->SetDisplayCol(3, 1);
    Grid->SetCols(2);
    EXPECT_EQ(Grid->ColCount(), 3);
    EXPECT_EQ(Grid->TCustomGrid_ts::ColWidths(1), 64);
    EXPECT_EQ(Grid->GetDisplayCol(1), 1);
}

TEST_F(EngineTest, LayoutsRoundTripThroughTheEngine) {
    Grid->Col(1)->SetHeading("Name");
    Grid->Col(2)->SetWidth(90);
    Grid->Col(3)->SetControlType(ctCheck);
    Grid->Row(4)->SetHeight(30);
    Grid->SetDisplayRow(6, 2);
    Grid->SetRowSelected(7, true);
    Grid->Cell(2, 2).SetColor(fw::clRed);
    TMemoryStream S;
    Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
    auto* Copy = Place<TtsGrid>(0, 0, 300, 100);
    Copy->SetStoreData(true);
    S.SetPosition(0);
    Copy->LoadLayout(S, 1);
    EXPECT_EQ(Copy->Cols(), 3);
    EXPECT_EQ(Copy->Rows(), 20);
    EXPECT_EQ(Copy->Col(1)->Heading(), "Name");
    EXPECT_EQ(Copy->TCustomGrid_ts::ColWidths(2), 90);
    EXPECT_EQ(Copy->EffectiveControlType(3, 1), ctCheck);
    EXPECT_EQ(Copy->GetDisplayRow(6), 2);
    EXPECT_EQ(Copy->TCustomGrid_ts::RowHeights(Copy->GetDisplayRow(4)), 30);
    EXPECT_TRUE(Copy->RowSelectedOfData(7));
    EXPECT_EQ(Copy->Model().EffectiveColor(2, 2), fw::clRed);
    EXPECT_EQ(VarToText(Copy->CellValue(3, 5)), "r5c3");
    EXPECT_EQ(Copy->LoadKinds(), AllKinds);
    // A damaged layout is refused and the grid shows what was read.
    auto Bytes = S.Data();
    Bytes.resize(Bytes.size() / 2);
    TMemoryStream Half(Bytes);
    EXPECT_THROW(Copy->LoadLayout(Half, 1), EReadError);
    EXPECT_FALSE(Copy->Updating());
}

TEST_F(EngineTest, ErrorsCarryTheGridsNameAndRangesAreChecked) {
    try {
        Grid->Col(1)->SetCheckBoxValues("one");
        FAIL();
    } catch (const EInvalidGridOperation& E) {
        EXPECT_EQ(std::string(E.what()).rfind("Grid1: Invalid CheckBoxValues.", 0), 0u);
    }
    EXPECT_FALSE(Grid->CheckRange(1, 9, Grid->Cols(), 1));
    Grid->SetRangeErrors(true);
    try {
        Grid->CheckRange(0, 99, Grid->Rows(), 1);
        FAIL();
    } catch (const EInvalidGridOperation& E) {
        EXPECT_EQ(std::string(E.what()), "Grid1: Row index 99 out of range");
    }
}

TEST_F(EngineTest, PaintAndUpdateLocksHoldRepaintsBack) {
    Show();
    EXPECT_TRUE(Grid->InvalidateCol(2));
    Grid->SetPaintLock(true);
    EXPECT_FALSE(Grid->InvalidateCol(2));
    EXPECT_FALSE(Grid->InvalidateRow(2));
    EXPECT_FALSE(Grid->InvalidateCellIfUnlocked(1, 1));
    Grid->SetPaintLock(false);
    EXPECT_TRUE(Grid->InvalidateCellIfUnlocked(1, 1));
    Grid->BeginUpdate();
    EXPECT_FALSE(Grid->InvalidateDisplayCell(1, 1));
    Grid->EndUpdate();
    EXPECT_TRUE(Grid->InvalidateDisplayCell(1, 1));
}

TEST_F(EngineTest, AFreedDefinitionIsForgottenByItsLines) {
    auto* Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
    Grid->Col(2)->SetDateTimeDef(Def);
    Grid->AddFreeNotification(Def);
    fw::Free(Def);
    EXPECT_EQ(Grid->Col(2)->DateTimeDef(), nullptr);
}

TEST_F(EngineTest, TheGridsFlagsReachTheActiveControl) {
    Focus();
    Grid->SetAlwaysShowFocus(true);
    EXPECT_TRUE(Grid->EditStrategy().GetAlwaysShowFocus());
    Grid->SetWantTabs(false);
    EXPECT_FALSE(Grid->EditStrategy().GetWantTab());
    Grid->SetCheckBoxStyle(stCross);
    EXPECT_EQ(Grid->CheckStrategy().Box()->GlyphIndex[0], 0);
    Grid->EditColor = fw::clYellow;
    Grid->UpdateCellControl(false);
    EXPECT_EQ(Grid->EditStrategy().GetColor(), fw::clYellow);
    Grid->Col(1)->SetMaxLength(3);
    EXPECT_EQ(Grid->EditStrategy().GetMaxLength(), 3);
}

} // namespace
} // namespace vel
