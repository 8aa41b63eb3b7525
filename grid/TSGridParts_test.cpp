// The engine's pastes, combo lists, base-grid notifications, property copies and
// the in-cell editor's events, as a grid on a form uses them.
#include "GridTestEnv.h"
#include "StdCtrls.h"
#include "TSCombo.h"

#include <gtest/gtest.h>

#include <string>

namespace vel {
namespace {

TEST_F(EngineTest, AnOversizePasteDoesNothingAndReportsFalse) {
    Grid->Col(1)->SetMaxLength(5);
    Grid->SetCellValue(1, 1, TtsVariant(std::string("abc")));
    int Starts = 0;
    Grid->OnStartCellEdit = [&](auto*, int, int, bool&) { ++Starts; };
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
    Grid->CurrentCell().SetSelStart(3);
    Grid->CurrentCell().SetSelLength(0);
    // The line break counts two, as the editor counts it: 3 + 3 > 5.
    fw::SetClipboardText("d\r\n");
    EXPECT_FALSE(Grid->CurrentCell().Paste());
    EXPECT_EQ(Starts, 0);
    EXPECT_EQ(VarToText(Grid->CurrentCell().Value()), "abc");
    fw::SetClipboardText("d\r");
    EXPECT_FALSE(Grid->CurrentCell().Paste()); // a lone CR is stored as CR LF
    fw::SetClipboardText("de");
    EXPECT_TRUE(Grid->CurrentCell().Paste());
    EXPECT_EQ(Starts, 1);
    // What the editor holds is the present text, not the value loaded before typing.
    Grid->CurrentCell().SetSelStart(2);
    Grid->CurrentCell().SetSelLength(0);
    fw::SetClipboardText("x");
    EXPECT_FALSE(Grid->CurrentCell().Paste());
}

TEST_F(EngineTest, APasteTheEditorRefusesReportsFalse) {
    Grid->SetCellValue(1, 1, TtsVariant(std::string("abc")));
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
    TtsGridEditBox* Edit = Grid->EditStrategy().Edit();
    Edit->OnCheckMask = [](fw::TObject*, const std::string&, int) { return false; };
    fw::SetClipboardText("x");
    EXPECT_FALSE(Grid->CurrentCell().Paste());
    Edit->OnCheckMask = nullptr;
    EXPECT_TRUE(Grid->CurrentCell().Paste());
}

TEST_F(EngineTest, AComboListIsFlatUnlessItIsReadFromAStream) {
    TtsCombo* C = Grid->Col(1)->EnsureCombo();
    EXPECT_FALSE(C->Grid()->Ctl3D());
    EXPECT_FALSE(C->Grid()->ParentCtl3D());
    Grid->SetState(fw::TComponentStateItem::Loading);
    TtsCombo* Read = Grid->Col(2)->EnsureCombo();
    Grid->ClearState(fw::TComponentStateItem::Loading);
    EXPECT_TRUE(Read->Grid()->Ctl3D());
    EXPECT_TRUE(Read->Grid()->ParentCtl3D());
}

TEST_F(EngineTest, AnOpenDropDownTakesTheSizeItIsGiven) {
    Grid->Col(2)->SetButtonType(btCombo);
    TtsCombo* C = Grid->Col(2)->EnsureCombo();
    C->Grid()->SetRows(10);
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 3));
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsDropDownOpen());
    const int RowH = C->Grid()->DefaultRowHeight();
    EXPECT_EQ(C->Grid()->Height(), 4 * RowH); // DropDownRows
    Grid->SetDropDownSize(1, 2);
    EXPECT_EQ(C->Grid()->Height(), 2 * RowH);
    Grid->SetDropDownSize(1, 20); // no more rows than the list has
    EXPECT_EQ(C->Grid()->Height(), 10 * RowH);
    EXPECT_EQ(C->DropDownRows(), 4); // the list's setting stays
}

} // namespace
} // namespace vel
