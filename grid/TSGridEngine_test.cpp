// The engine's column values, line counts, borders and cell property operations.
#include "GridTestEnv.h"
#include "TSGrid.h"
#include "TSGridEdit.h"
#include "Clipbrd.h"
#include "TSGLib.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

namespace vel {
namespace {

TEST_F(EngineTest, TheCurrentCheckBoxTakesNewCheckBoxValuesOfItsColumn) {
    Grid->Col(1)->SetControlType(ctCheck);
    Grid->SetCellValue(1, 4, TtsVariant(std::string("Yes")));
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 4));
    ASSERT_EQ(Grid->ActiveControl(), &Grid->CheckStrategy());
    EXPECT_EQ(Grid->CheckStrategy().Box()->State, 2); // no values yet: a text is grayed
    Grid->Col(1)->SetCheckBoxValues("Yes|No");
    EXPECT_EQ(Grid->CheckStrategy().GetCheckBoxValues(), "Yes|No");
    EXPECT_EQ(Grid->CheckStrategy().Box()->State, 1);
    // A column that is not current leaves the box alone.
    Grid->Col(2)->SetControlType(ctCheck);
    Grid->Col(2)->SetCheckBoxValues("On|Off");
    EXPECT_EQ(Grid->CheckStrategy().GetCheckBoxValues(), "Yes|No");
}

TEST_F(EngineTest, CellPropertyOperationsWriteThroughTheCellPropertySet) {
    TtsGridModel& M = Grid->Model();
    // Each pair reads back what it wrote; a cell keeps an element only while it differs.
    Grid->SetCellColor(2, 3, fw::clRed);
    Grid->SetCellControlType(2, 3, ctCheck);
    Grid->SetCellSpinOptions(2, 3, spoKeyEdit);
    Grid->SetCellSpinIncrement(2, 3, 0.25);
    Grid->SetCellHorzAlignment(2, 3, htaRight);
    Grid->SetCellVertAlignment(2, 3, vtaBottom);
    Grid->SetCellIs3D(2, 3, true);
    Grid->SetCellWordWrap(2, 3, wwOn);
    Grid->SetCellButtonType(2, 3, btVertSpin);
    Grid->SetCellReadOnly(2, 3, roOn);
    Grid->SetCellMaskName(2, 3, "Digits");
    Grid->SetCellStretchPicture(2, 3, dopOn);
    Grid->SetCellShrinkPicture(2, 3, dopOff);
    Grid->SetCellCenterPicture(2, 3, dopOff);
    Grid->SetCellKeepAspectRatio(2, 3, dopOn);
    TtsCell C = Grid->Cell(2, 3);
    EXPECT_EQ(C.Color(), fw::clRed);
    EXPECT_EQ(C.ControlType(), ctCheck);
    EXPECT_EQ(C.SpinOptions(), spoKeyEdit);
    EXPECT_EQ(C.SpinIncrement(), 0.25);
    EXPECT_EQ(C.HorzAlignment(), htaRight);
    // The legacy pair follows the horizontal alignment.
    EXPECT_EQ(C.Alignment(), 1);
    EXPECT_TRUE(C.AlignFlag());
    EXPECT_EQ(C.VertAlignment(), vtaBottom);
    EXPECT_TRUE(C.Is3D());
    EXPECT_EQ(C.WordWrap(), wwOn);
    EXPECT_EQ(C.ButtonType(), btVertSpin);
    EXPECT_EQ(C.ReadOnly(), roOn);
    EXPECT_EQ(C.MaskName(), "Digits");
    EXPECT_EQ(C.StretchPicture(), dopOn);
    EXPECT_EQ(C.ShrinkPicture(), dopOff);
    EXPECT_EQ(C.CenterPicture(), dopOff);
    EXPECT_EQ(C.KeepAspectRatio(), dopOn);
    EXPECT_EQ(M.CellProps().Count(), 1);
    C.SetAlignment(2);
    EXPECT_EQ(Grid->GetCellHorzAlignment(2, 3), htaCenter);
    C.SetAlignFlag(false);
    EXPECT_EQ(Grid->GetCellHorzAlignment(2, 3), htaDefault);
    Grid->ResetCellProperties(AllKinds);
    EXPECT_EQ(M.CellProps().Count(), 0);
    // Outside the grid nothing is kept; with range errors on it raises.
    Grid->SetCellColor(9, 3, fw::clRed);
    Grid->SetCellColor(2, 99, fw::clRed);
    EXPECT_EQ(M.CellProps().Count(), 0);
    EXPECT_EQ(Grid->GetCellColor(9, 3), clNoneTs);
    Grid->SetRangeErrors(true);
    EXPECT_THROW(Grid->SetCellColor(2, 99, fw::clRed), EInvalidGridOperation);
    Grid->SetRangeErrors(false);
    // The column-selected number has a default but no place in a cell.
    EXPECT_EQ(DefaultPropertyValue(prColSelected, 0), TtsVariant(false));
    EXPECT_FALSE(Grid->SetCellProperty(2, 3, prColSelected, TtsVariant(true)));
    EXPECT_TRUE(VarIsEmpty(Grid->GetCellProperty(2, 3, prColSelected)));
    EXPECT_EQ(M.CellProps().Count(), 0);
}

TEST_F(EngineTest, CellPropertiesOfTheCurrentCellReachItsControl) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 2));
    TtsGridEditBox& Edit = *Grid->EditStrategy().Edit();
    Grid->SetCellHorzAlignment(2, 2, htaCenter);
    EXPECT_EQ(Edit.Alignment(), htaCenter);
    Grid->SetCellReadOnly(2, 2, roOn);
    EXPECT_FALSE(Edit.MayModify());
    Grid->SetCellReadOnly(2, 2, roDefault);
    EXPECT_TRUE(Edit.MayModify());
    Grid->SetCellButtonType(2, 2, btVertSpin);
    Grid->SetCellSpinOptions(2, 2, spoAutoRepeat);
    EXPECT_FALSE(Edit.EditEnabled); // a spin cell without key edits takes no typing
    Grid->SetCellControlType(2, 2, ctCheck);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->CheckStrategy());
    EXPECT_TRUE(Grid->CheckStrategy().GetVisible());
    EXPECT_FALSE(Grid->EditStrategy().GetVisible());
    Grid->SetCellControlType(2, 2, ctDefault);
    EXPECT_EQ(Grid->ActiveControl(), &Grid->EditStrategy());
}

TEST_F(EngineTest, ACellLookUpNeverAnswersFromAStaleCache) {
    TtsGridModel& M = Grid->Model();
    // Looked up without an element, then the element comes: the look-up sees it.
    EXPECT_EQ(M.EffectiveColor(2, 3), Grid->GridColor());
    Grid->SetCellColor(2, 3, fw::clRed);
    EXPECT_EQ(M.EffectiveColor(2, 3), fw::clRed);
    // The element goes (its row is cut): the cached one is not used again.
    Grid->SetRows(2);
    EXPECT_EQ(M.CellProps().Count(), 0);
    EXPECT_EQ(M.EffectiveColor(2, 3), Grid->GridColor());
    Grid->SetRows(20);
    EXPECT_EQ(M.EffectiveColor(2, 3), Grid->GridColor());
    Grid->SetCellColor(2, 3, fw::clBlue);
    EXPECT_EQ(M.EffectiveColor(2, 3), fw::clBlue);
    Grid->ClearCellCache();
    EXPECT_EQ(M.EffectiveColor(2, 3), fw::clBlue);
    Grid->SetCellColor(2, 3, clNoneTs); // freed
    EXPECT_EQ(M.EffectiveColor(2, 3), Grid->GridColor());
}

TEST_F(EngineTest, MovedColumnsAreReportedAndCellElementsIndexed) {
    std::vector<std::tuple<int, int, bool>> Moves;
    Grid->OnColMoved = [&](fw::TObject* Sender, int To, int Count, bool ByUser) {
        EXPECT_EQ(Sender, Grid);
        Moves.emplace_back(To, Count, ByUser);
    };
    Grid->SetDisplayCol(3, 1);
    ASSERT_EQ(Moves.size(), 1u);
    EXPECT_EQ(Moves[0], std::make_tuple(1, 1, false));
    Grid->SetDisplayCol(3, 1); // already there: no move
    EXPECT_EQ(Moves.size(), 1u);
    // Per column the rows with an element, per row the columns: made and freed as they come.
    TtsCellPropSet& Set = Grid->Model().CellProps();
    TtsCellElement Outside(&Grid->Model(), TtsCellKey{2, 7});
    Grid->RegisterCellElement(Outside);
    ASSERT_NE(Set.RowsOfCol().Get(2), nullptr);
    EXPECT_TRUE(Set.RowsOfCol().Get(2)->Find(7) != nullptr);
    EXPECT_TRUE(Set.ColsOfRow().Get(7)->Find(2) != nullptr);
    Grid->UnregisterCellElement(Outside);
    EXPECT_EQ(Set.RowsOfCol().Get(2), nullptr);
    EXPECT_EQ(Set.ColsOfRow().Get(7), nullptr);
}

TEST_F(EngineTest, OwnFontCellsTakeTheFontTheyInheritWhenRefreshed) {
    TtsGridModel& M = Grid->Model();
    M.CellProps().SetOwnFonts(TtsCellKey{2, 4}, true);
    fw::TFont Bold;
    Bold.Assign(Grid->GridFont());
    Bold.SetStyle(fw::fsBold);
    Grid->Col(2)->SetFont(&Bold);
    Grid->RefreshOwnFontCells();
    const TtsCellElement* E = M.CellProps().Element(2, 4);
    ASSERT_NE(E, nullptr);
    ASSERT_NE(E->P.Font, nullptr);
    EXPECT_TRUE(E->P.Font->SameAs(Bold));
    EXPECT_TRUE(E->P.ParentFont);
    Grid->Col(2)->SetFont(nullptr);
    Grid->RefreshOwnFontCells();
    EXPECT_TRUE(M.CellProps().Element(2, 4)->P.Font->SameAs(Grid->GridFont()));
}

TEST(GridText, CharactersAndBytesCountAlikeInASingleByteLocale) {
    const std::string Text = "ab\r\ncd";
    for (int N = 0; N <= static_cast<int>(Text.size()); ++N) {
        EXPECT_EQ(CharsToBytes(Text, N), N);
        EXPECT_EQ(CharsToBytes(Text, N, true), N);
        EXPECT_EQ(BytesToChars(Text, N), N);
        EXPECT_EQ(BytesToChars(Text, N, true), N);
    }
}

TEST_F(EngineTest, TheCurrentCellsClipboardCommandsWorkOnTheEditorsSelection) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 2));
    TtsCurrentCell& C = Grid->CurrentCell();
    TtsGridEditBox& Edit = *Grid->EditStrategy().Edit();
    C.SetSelStart(0);
    C.SetSelLength(2);
    EXPECT_TRUE(C.CutToClipboard(true));
    EXPECT_EQ(fw::ClipboardText(), "r2");
    EXPECT_EQ(Edit.EditText(), "c1");
    // A delete leaves the clipboard as it was.
    fw::SetClipboardText("kept");
    C.SetSelStart(0);
    C.SetSelLength(1);
    EXPECT_TRUE(C.DeleteSelection());
    EXPECT_EQ(fw::ClipboardText(), "kept");
    EXPECT_EQ(Edit.EditText(), "1");
    C.SetSelStart(1);
    EXPECT_TRUE(C.PasteFromClipboard(true));
    EXPECT_EQ(Edit.EditText(), "1kept");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(1, 2), "1kept");
    // A read-only grid takes none of them.
    Grid->SetCurrentCell(1, 3);
    Grid->SetReadOnly(true);
    C.SetSelStart(0);
    C.SetSelLength(2);
    EXPECT_FALSE(C.CutToClipboard(true));
    EXPECT_FALSE(C.DeleteSelection());
    EXPECT_FALSE(C.PasteFromClipboard(true));
    EXPECT_EQ(Stored(1, 3), "r3c1");
}

TEST_F(EngineTest, ASingleBorderIsASunkenEdgeOrAPlainLine) {
    Show();
    // What the sunken edge gives a window of the grid's size.
    fw::TBitmap Edge(Grid->Width(), Grid->Height());
    fw::TRect R{0, 0, Grid->Width(), Grid->Height()};
    Edge.Canvas().DrawEdge(R, fw::EDGE_SUNKEN, fw::BF_RECT);
    const int W = Grid->Width(), H = Grid->Height();
    auto Frame = [&](fw::TBitmap& B) {
        return std::vector<fw::TColor>{B.Canvas().Pixels(0, H / 2), B.Canvas().Pixels(1, H / 2),
                                       B.Canvas().Pixels(W / 2, 0), B.Canvas().Pixels(W - 1, H / 2),
                                       B.Canvas().Pixels(W / 2, H - 1)};
    };
    EXPECT_EQ(Frame(Picture()), Frame(Edge));
    Grid->SetCtl3D(false);
    Picture();
    const fw::TColor Line = fw::ColorToRGB(fw::clWindowFrame);
    EXPECT_EQ(Shot.Canvas().Pixels(0, H / 2), Line);
    EXPECT_EQ(Shot.Canvas().Pixels(W - 1, H / 2), Line);
    EXPECT_NE(Shot.Canvas().Pixels(1, H / 2), Line);
    Grid->SetBorderStyle(TGridBorderStyle::bsNone);
    Picture();
    EXPECT_NE(Shot.Canvas().Pixels(0, H / 2), Line);
    EXPECT_NE(Frame(Shot), Frame(Edge));
}

// After random line changes the visible lists, the display order and the base grid's
// heights agree with the rows themselves.
TEST_F(EngineTest, LinesAddedCutMovedAndHiddenAgreeEverywhere) {
    std::mt19937 Rng(11);
    auto Check = [&](int Round) {
        const int N = Grid->Rows();
        ASSERT_EQ(Grid->RowCount(), N + 1) << Round;
        int Shown = 0;
        for (int D = 1; D <= N; ++D) {
            const int R = Grid->DataRowAt(D);
            ASSERT_EQ(Grid->GetDisplayRow(R), D) << Round;
            const TtsRow* Obj = Grid->Model().RowStore().Row(R);
            const bool Visible = !Obj || Obj->Visible();
            Shown += Visible;
            ASSERT_EQ(Grid->Model().VisibleRows.Contains(D) || !Grid->Model().VisibleRows.Active(),
                      Visible)
                << Round << " position " << D;
            ASSERT_EQ(Grid->TCustomGrid_ts::RowHeights(D) > 0, Visible) << Round;
        }
        if (Grid->Model().VisibleRows.Active()) {
            ASSERT_EQ(Grid->Model().VisibleRows.Count(), Shown);
        }
    };
    for (int Round = 0; Round < 600; ++Round) {
        const int N = Grid->Rows();
        const int R = 1 + static_cast<int>(Rng() % static_cast<unsigned>(std::max(1, N)));
        switch (Rng() % 5) {
        case 0:
            Grid->SetRows(std::max(1, N + static_cast<int>(Rng() % 7) - 3));
            break;
        case 1:
            Grid->SetDisplayRow(R, 1 + static_cast<int>(Rng() % static_cast<unsigned>(N)));
            break;
        default:
            if (R <= N) Grid->Row(R)->SetVisible(Rng() % 3 == 0);
            break;
        }
        Check(Round);
        if (HasFailure()) return;
    }
}

// The black ink of a cell in the last picture.
struct TInk {
    int L = 1 << 20, T = 1 << 20, R = -1, B = -1;
    std::vector<bool> Black;
};

class EditorOverCell : public EngineTest {
protected:
    TInk Ink(const fw::TRect& Cell) {
        Picture();
        TInk I;
        for (int Y = Cell.Top + 1; Y < Cell.Bottom - 1; ++Y)
            for (int X = Cell.Left + 1; X < Cell.Right - 1; ++X) {
                const bool Black = Shot.Canvas().Pixels(X, Y) == fw::ColorToRGB(fw::clBlack);
                I.Black.push_back(Black);
                if (!Black) continue;
                I.L = std::min(I.L, X);
                I.T = std::min(I.T, Y);
                I.R = std::max(I.R, X);
                I.B = std::max(I.B, Y);
            }
        return I;
    }
    // Whether two pictures of a cell differ anywhere but in one column.
    static bool SameBut(const TInk& A, const TInk& B, const fw::TRect& Cell, int SkipX) {
        const int W = Cell.Right - Cell.Left - 2;
        for (std::size_t I = 0; I < A.Black.size(); ++I)
            if (Cell.Left + 1 + static_cast<int>(I) % W != SkipX && A.Black[I] != B.Black[I])
                return false;
        return true;
    }
    TtsGridEditBox& Edit() { return *Grid->EditStrategy().Edit(); }
    // The caret's column in the grid's picture.
    int CaretX() { return Edit().Left() + Edit().CaretPoint().X; }
    int CaretY() { return Edit().Top() + Edit().CaretPoint().Y; }
};

TEST_F(EditorOverCell, TextStandsWhereTheCellShowsItAndTheCaretFollowsEveryAlignment) {
    Grid->Row(1)->SetHeight(44);
    Grid->SetCellValue(2, 1, TtsVariant(std::string("x")));
    Focus();
    for (bool Wrap : {false, true}) {
        Grid->Col(1)->SetWidth(Wrap ? 60 : 120);
        Grid->Col(1)->SetWordWrap(Wrap ? wwOn : wwOff);
        Grid->SetCellValue(1, 1, TtsVariant(std::string(Wrap ? "Abc def ghi" : "Abc")));
        for (TtsHorzAlignment H : {htaLeft, htaRight, htaCenter})
            for (TtsVertAlignment V : {vtaTop, vtaCenter, vtaBottom}) {
                SCOPED_TRACE(testing::Message() << "wrap " << Wrap << " h " << int(H) << " v "
                                                << int(V));
                Grid->Col(1)->SetHorzAlignment(H);
                Grid->Col(1)->SetVertAlignment(V);
                ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
                const fw::TRect Cell = Grid->CellRect(1, 1);
                const TInk Shown = Ink(Cell);
                ASSERT_GE(Shown.R, Shown.L);
                ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
                ASSERT_TRUE(Grid->EditStrategy().GetVisible());
                Edit().SetSelStart(0);
                EXPECT_TRUE(SameBut(Shown, Ink(Cell), Cell, CaretX()));
                // At the start of the text the caret stands at its first character, over
                // the height of the first line.
                const int Height = Grid->Canvas()->TextMetrics().Height;
                EXPECT_LE(CaretX(), Shown.L);
                EXPECT_GE(CaretX(), Shown.L - 1);
                EXPECT_LE(CaretY(), Shown.T);
                EXPECT_GE(CaretY() + Height, std::min(Shown.B, Shown.T + Height - 3));
                if (!Wrap) {
                    Edit().SetSelStart(3);
                    EXPECT_GE(CaretX(), Shown.R);
                    EXPECT_LE(CaretX(), Shown.R + 2);
                }
            }
    }
}

TEST_F(EditorOverCell, WrappedTextKeepsItsLinesWhenEditingStarts) {
    Grid->Row(1)->SetHeight(90);
    Grid->Col(1)->SetWordWrap(wwOn);
    Grid->SetCellValue(1, 1, TtsVariant(std::string("Abc de fghi jk lmno pq rstu vw xyz ab cd")));
    Focus();
    for (int Width = 60; Width <= 80; ++Width)
        for (TtsHorzAlignment H : {htaLeft, htaRight, htaCenter}) {
            SCOPED_TRACE(testing::Message() << "width " << Width << " h " << int(H));
            Grid->Col(1)->SetWidth(Width);
            Grid->Col(1)->SetHorzAlignment(H);
            ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
            const fw::TRect Cell = Grid->CellRect(1, 1);
            const TInk Shown = Ink(Cell);
            ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
            Edit().SetSelStart(0);
            EXPECT_TRUE(SameBut(Shown, Ink(Cell), Cell, CaretX()));
        }
}

TEST_F(EditorOverCell, OneLineRightAndCentredTextScrollToTheCaret) {
    Grid->Col(1)->SetWidth(60);
    const std::string Long = "0123456789abcdefghijklmnopqrstuvwxyz";
    Grid->SetCellValue(1, 1, TtsVariant(Long));
    Focus();
    for (TtsHorzAlignment H : {htaRight, htaCenter}) {
        SCOPED_TRACE(int(H));
        Grid->Col(1)->SetHorzAlignment(H);
        ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
        TtsGridEditBox& E = Edit();
        const int W = E.ClientWidth();
        for (int At : {0, 36, 5, 30, 18, 0}) {
            E.SetSelStart(At);
            const int X = E.CaretPoint().X;
            EXPECT_GE(X, 0) << At;
            EXPECT_LE(X, W) << At;
        }
        // From the end back to the start: the text follows the caret to the left edge.
        E.SetSelStart(36);
        for (int I = 0; I < 36; ++I)
            fw::PressKey(fw::VK_LEFT);
        EXPECT_EQ(E.CaretPos(), 0);
        EXPECT_GE(E.CaretPoint().X, 0);
        EXPECT_LE(E.CaretPoint().X, W / 4 + 1);
        // Typed text keeps the caret in sight.
        for (int I = 0; I < 20; ++I)
            fw::TypeText("w");
        EXPECT_GE(E.CaretPoint().X, 0);
        EXPECT_LE(E.CaretPoint().X, W);
        fw::PressKey(fw::VK_ESCAPE);
    }
    // A short centred text shows in the middle with its caret.
    Grid->SetCellValue(1, 1, TtsVariant(std::string("ab")));
    Grid->SetCurrentCell(2, 1);
    Grid->SetCurrentCell(1, 1);
    Edit().SetSelStart(0);
    EXPECT_GT(Edit().CaretPoint().X, Edit().ClientWidth() / 4);
}

TEST_F(EditorOverCell, AnItalicCaretLeansAndTheCursorIsAnIBeamWhileEditable) {
    fw::TFont Italic;
    Italic.Assign(Grid->GridFont());
    Italic.SetStyle(fw::fsItalic);
    Grid->SetGridFont(Italic);
    Focus();
    Edit().SetSelStart(1);
    Picture();
    const fw::TPoint P{CaretX(), CaretY()};
    const int H = Edit().Canvas()->TextMetrics().Height;
    const int Lean = Grid->Canvas()->TextMetrics().Overhang;
    ASSERT_GT(Lean, 0);
    // Bottom left and top right are caret, the other corners not.
    const fw::TColor Caret = fw::ColorToRGB(fw::clWindowText);
    EXPECT_EQ(Shot.Canvas().Pixels(P.X, P.Y + H - 1), Caret);
    EXPECT_EQ(Shot.Canvas().Pixels(P.X + Lean, P.Y), Caret);
    EXPECT_NE(Shot.Canvas().Pixels(P.X + Lean, P.Y + H - 1), Caret);
    // The cursor over the editor.
    const fw::TPoint Over = fw::ControlPoint(&Edit(), 2, 2);
    fw::MouseMoveTo(Over);
    fw::ProcessMessages();
    EXPECT_EQ(fw::CurrentCursor(), fw::crIBeam);
    Grid->SetReadOnly(true);
    fw::MouseMoveTo(Over);
    fw::ProcessMessages();
    EXPECT_NE(fw::CurrentCursor(), fw::crIBeam);
    Grid->SetReadOnly(false);
    fw::SetScreenCursor(fw::crHandPoint);
    fw::MouseMoveTo(Over);
    fw::ProcessMessages();
    EXPECT_EQ(fw::CurrentCursor(), fw::crHandPoint);
    fw::SetScreenCursor(fw::crDefault);
}

} // namespace
} // namespace vel
