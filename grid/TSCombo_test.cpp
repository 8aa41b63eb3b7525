// Combo cells and date-time cells: their drop-downs opened, picked from and
// closed by mouse and keys, the closing hooks between two grids, and the
// combo and date-time settings of columns, rows and cells.
#include "GridTestEnv.h"
#include "TSCombo.h"
#include "TSMonthView.h"
#include "Timers.h"

namespace vel {
namespace {

class ComboTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Grid->Col(2)->SetButtonType(btCombo);
        TtsCombo* C = Grid->Col(2)->EnsureCombo();
        ASSERT_NE(C, nullptr);
        List = C->Grid();
        List->SetRows(6);
        for (int R = 1; R <= 6; ++R)
            List->SetCellValue(1, R, TtsVariant(Bones[R - 1]));
        Grid->SetCellValue(2, 1, TtsVariant(std::string("arm")));
    }
    void Click(fw::TPoint P) {
        fw::AdvanceClock(1000);
        fw::ClickAt(P);
        fw::ProcessMessages();
    }
    fw::TPoint ButtonPoint() {
        const fw::TRect B = Grid->CellButtonRect();
        return fw::ControlPoint(Grid, (B.Left + B.Right) / 2, (B.Top + B.Bottom) / 2);
    }
    // The middle of a list row, on the screen.
    fw::TPoint ListRowPoint(TtsComboGrid* L, int Row) {
        const fw::TRect R = L->CellRect(1, L->GetDisplayRow(Row));
        return fw::ControlPoint(L, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    void GoToComboCell() {
        Focus();
        ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    }
    static constexpr const char* Bones[] = {"Hip", "Spine", "Arm", "Leg", "Neck", "Head"};
    TtsComboGrid* List = nullptr;
};

TEST_F(ComboTest, TheKeysDropTheListUnderTheCellAndPickFromIt) {
    GoToComboCell();
    EXPECT_FALSE(Grid->CellButtonRect().IsEmpty());
    // The editor leaves the button free.
    EXPECT_LE(Grid->EditStrategy().Control()->Left() + Grid->EditStrategy().Control()->Width(),
              Grid->CellButtonRect().Left);
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsComboDropped());
    EXPECT_TRUE(TtsDropDownRegistry::HooksInstalled());
    TtsDropDownForm* F = Grid->DropDownForm();
    const fw::TRect Cell = Grid->CellRect(2, 1);
    EXPECT_EQ((fw::TPoint{F->Left(), F->Top()}), Grid->ClientToScreen({Cell.Left, Cell.Bottom}));
    EXPECT_EQ(F->Height(), 4 * 14 + 2); // four rows show, in a frame
    EXPECT_EQ(List->MarkedRow(), 3); // "arm" found without regard to case
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(List->MarkedRow(), 5);
    EXPECT_TRUE(Grid->IsComboDropped()); // the arrows stay in the list
    fw::PressKey(fw::VK_RETURN);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_FALSE(F->Visible());
    EXPECT_EQ(Stored(2, 1), "Neck");
    EXPECT_FALSE(TtsDropDownRegistry::HooksInstalled());
    // Escape closes without a pick; Alt+Down opens, End and Alt+Up close.
    fw::PressKey(fw::VK_DOWN, fw::ssAlt);
    ASSERT_TRUE(Grid->IsComboDropped());
    fw::PressKey(fw::VK_END);
    EXPECT_EQ(List->MarkedRow(), 6);
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Stored(2, 1), "Neck");
    // A column without a combo button has no drop-down.
    Grid->SetCurrentCell(1, 1);
    EXPECT_TRUE(Grid->CellButtonRect().IsEmpty());
    fw::PressKey(fw::VK_F4);
    EXPECT_FALSE(Grid->IsDropDownOpen());
}

TEST_F(ComboTest, TheMouseOpensPicksAndClosesByClickingElsewhere) {
    GoToComboCell();
    Click(ButtonPoint());
    ASSERT_TRUE(Grid->IsComboDropped());
    // A press in the list, on the grid's own cell or its editor keeps it open.
    Click(fw::ControlPoint(Grid->EditStrategy().Control(), 2, 2));
    EXPECT_TRUE(Grid->IsComboDropped());
    Click(ListRowPoint(List, 2));
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Stored(2, 1), "Spine");
    // The button again, then a press on the form outside the grid: closed, no pick.
    Click(ButtonPoint());
    ASSERT_TRUE(Grid->IsComboDropped());
    Click(fw::ControlPoint(Form.get(), 390, 250));
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Stored(2, 1), "Spine");
    // The button while open closes.
    Click(ButtonPoint());
    EXPECT_TRUE(Grid->IsDropDownOpen());
    Click(ButtonPoint());
    EXPECT_FALSE(Grid->IsDropDownOpen());
    // Moving to another cell closes the list.
    Click(ButtonPoint());
    Grid->SetCurrentCell(2, 2);
    EXPECT_FALSE(Grid->IsDropDownOpen());
}

TEST_F(ComboTest, TwoGridsDropDownsCloseEachOther) {
    auto* Other = Place<TtsGrid>(0, 205, 380, 90);
    Other->SetStoreData(true);
    Other->Col(1)->SetButtonType(btCombo);
    Other->GridCombo()->Grid()->SetRows(2);
    GoToComboCell();
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsComboDropped());
    // A press on the other grid's button closes this one and opens that one.
    Other->SetFocus();
    Other->SetCurrentCell(1, 1);
    fw::ProcessMessages();
    const fw::TRect B = Other->CellButtonRect();
    Click(fw::ControlPoint(Other, (B.Left + B.Right) / 2, (B.Top + B.Bottom) / 2));
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_TRUE(Other->IsComboDropped());
    // Both open: a press outside both closes the later one first, then the other.
    Grid->SetFocus();
    Grid->DropDown();
    Other->DropDown();
    ASSERT_EQ(TtsDropDownRegistry::Grids().size(), 2u);
    Click(fw::ControlPoint(Form.get(), 395, 2));
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_FALSE(Other->IsDropDownOpen());
    // Another window activated closes every drop-down that may close.
    Grid->DropDown();
    fw::SendMessage(Form->Handle(), fw::WM_NCACTIVATE, 0, 0);
    EXPECT_FALSE(Grid->IsDropDownOpen());
}

// A grid freed from a handler with its list open (its memory waits): the list
// closes inside the free, and no press or activation the hooks see reaches it.
TEST_F(ComboTest, AGridFreedWithItsListOpenClosesItAtOnce) {
    GoToComboCell();
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsComboDropped());
    TtsDropDownForm* F = Grid->DropDownForm();
    {
        const fw::TFreeGuard Held(Grid);
        fw::Free(Grid);
        EXPECT_TRUE(TtsDropDownRegistry::Grids().empty());
        EXPECT_FALSE(TtsDropDownRegistry::HooksInstalled());
        EXPECT_FALSE(F->Showing());
    }
    Grid = nullptr;
}

TEST_F(ComboTest, APickIsAnEditTheChecksMayRefuse) {
    GoToComboCell();
    Grid->OnCheckValue = [](fw::TObject*, int, int, const TtsVariant& V, bool& Accept) {
        Accept = VarToText(V) != "Leg";
    };
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(2, 1), "arm"); // refused
    Grid->SetReadOnly(true);
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_UP);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(2, 1), "arm"); // a read-only grid stores no pick
    Grid->SetReadOnly(false);
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_UP);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(2, 1), "Spine");
    EXPECT_TRUE(Grid->RowChanged());
}

TEST_F(ComboTest, ADropDownListStyleTakesNoTyping) {
    GoToComboCell();
    Grid->Col(2)->SetDropDownStyle(ddDropDownList);
    EXPECT_EQ(Grid->Col(2)->Combo()->DropDownStyle(), ddDropDownList);
    EXPECT_FALSE(Grid->EditStrategy().GetEditEnabled());
    // The combo's own style is the column's.
    Grid->Col(2)->Combo()->SetDropDownStyle(ddDropDown);
    EXPECT_EQ(Grid->Col(2)->DropDownStyle(), ddDropDown);
    EXPECT_TRUE(Grid->EditStrategy().GetEditEnabled());
}

TEST_F(ComboTest, CombosInheritFromCellToLineToGrid) {
    // A cell's own combo goes before its column's; a column without one takes the grid's.
    TtsCombo Source(Grid);
    Source.Grid()->SetRows(1);
    Source.Grid()->SetCellValue(1, 1, TtsVariant(std::string("Tail")));
    Source.SetDropDownRows(7);
    Grid->Cell(2, 3).SetCombo(&Source);
    TtsCombo* Own = Grid->Cell(2, 3).Combo();
    ASSERT_NE(Own, nullptr);
    EXPECT_NE(Own, &Source); // a copy of the settings and items
    EXPECT_EQ(Own->DropDownRows(), 7);
    EXPECT_EQ(VarToText(Own->Grid()->CellValue(1, 1)), "Tail");
    EXPECT_FALSE(Grid->Cell(2, 3).ParentCombo());
    EXPECT_EQ(Grid->CellCombo(2, 3), Own);
    EXPECT_EQ(Grid->CellCombo(2, 4), Grid->Col(2)->Combo());
    EXPECT_EQ(Grid->CellCombo(1, 4), Grid->GridCombo());
    EXPECT_EQ(Grid->GetCellCombo(2, 3), Own);
    // The column's list takes the column's width plus 10 by default.
    EXPECT_EQ(Grid->Col(2)->Combo()->Grid()->DefaultColWidth(), Grid->Col(2)->Width() + 10);
    // Parent combo back on drops the cell's combo; so does a reset of kind 22.
    Grid->Cell(2, 3).SetParentCombo(true);
    EXPECT_EQ(Grid->Cell(2, 3).Combo(), nullptr);
    EXPECT_EQ(Grid->Model().CellProps().Element(2, 3), nullptr);
    Grid->ResetColProperties(Kind(prCombo));
    EXPECT_EQ(Grid->Col(2)->Combo(), nullptr);
    EXPECT_TRUE(Grid->Col(2)->ParentCombo());
    EXPECT_EQ(Grid->CellCombo(2, 4), Grid->GridCombo());
}

TEST_F(ComboTest, AComboFreedWhileDroppedClosesItsList) {
    GoToComboCell();
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsComboDropped());
    Grid->Col(2)->SetCombo(nullptr);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Grid->ActiveCombo(), nullptr);
    fw::PressKey(fw::VK_F4); // the grid's own combo now
    EXPECT_EQ(Grid->ActiveCombo(), Grid->GridCombo());
    Grid->Cell(2, 1).EnsureCombo();
    // The cell's element goes with its line: the list it showed goes with it.
    Grid->DropDown();
    EXPECT_EQ(Grid->ActiveCombo(), Grid->Cell(2, 1).Combo());
    Grid->SetRows(0);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Grid->ActiveCombo(), nullptr);
}

TEST_F(ComboTest, TheListGridIsMarkedAsADropDownList) {
    EXPECT_TRUE(List->IsDropDownList());
    EXPECT_EQ(List->Combo(), Grid->Col(2)->Combo());
    List->Col(1)->SetButtonType(btCombo);
    EXPECT_EQ(List->Col(1)->ButtonType(), btDefault);
    EXPECT_EQ(List->Col(1)->EnsureCombo(), nullptr);
    EXPECT_EQ(List->EnsureGridCombo(), nullptr);
    List->Cell(1, 1).SetCombo(Grid->Col(2)->Combo());
    EXPECT_EQ(List->Cell(1, 1).Combo(), nullptr);
    try {
        List->RaiseGridError("Bad");
        FAIL();
    } catch (const EInvalidGridOperation& E) {
        EXPECT_STREQ(E.what(), "Grid1.Combo: Bad");
    }
    // AutoFill turns a missing search on, and keeps one that is set.
    TtsCombo* C = Grid->Col(2)->Combo();
    C->SetAutoFill(true);
    EXPECT_EQ(C->AutoSearch(), asTop);
    C->SetAutoFill(false);
    C->SetAutoSearch(asBottom);
    C->SetAutoFill(true);
    EXPECT_EQ(C->AutoSearch(), asBottom);
    C->SetDropDownRows(9);
    C->Reset();
    EXPECT_EQ(C->DropDownRows(), 4);
    EXPECT_FALSE(C->AutoFill());
    EXPECT_EQ(C->Reserved(), 0);
}

class DateTimeTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
        Grid->Col(3)->SetButtonType(btDateTimeDropDown);
        Grid->Col(3)->SetDateTimeDef(Def);
        Grid->SetCellValue(3, 1, TtsVariant(std::string("3/14/2024")));
        Focus();
        Grid->SetCurrentCell(3, 1);
    }
    TtsDateTimeDefComponent* Def = nullptr;
};

TEST_F(DateTimeTest, TheMonthViewDropsDownAndADayIsPickedByKeysOrMouse) {
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsDateTimeDropped());
    TtsMonthView* V = Grid->MonthView();
    EXPECT_EQ(V->Date(), EncodeDayCount(2024, 3, 14));
    fw::PressKey(fw::VK_RIGHT);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(V->Date(), EncodeDayCount(2024, 3, 22));
    fw::PressKey(fw::VK_NEXT);
    EXPECT_EQ(V->ShownMonth(), 4);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Stored(3, 1), "4/22/2024");
    // The mouse: the 1st of the month shown, picked by a click.
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_HOME);
    const int First = V->Date();
    fw::TPoint At;
    for (int Y = 0; Y < V->Height() && At.X == 0; ++Y)
        for (int X = 0; X < V->Width(); ++X)
            if (V->DayAt(X, Y) == First) {
                At = {X, Y};
                break;
            }
    fw::AdvanceClock(1000);
    fw::ClickAt(fw::ControlPoint(V, At.X + 2, At.Y + 2));
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Stored(3, 1), "4/1/2024");
}

TEST_F(DateTimeTest, DefinitionsAreReleasedWhenFreed) {
    EXPECT_EQ(Grid->Model().EffectiveDateTimeDef(3, 1), Def);
    Grid->Cell(1, 2).SetDateTimeDef(Def);
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsDateTimeDropped());
    // The definition goes: the drop-down ends and no line or cell keeps it.
    fw::Free(Def);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Grid->Col(3)->DateTimeDef(), nullptr);
    EXPECT_EQ(Grid->Cell(1, 2).DateTimeDef(), nullptr);
    EXPECT_EQ(Grid->Model().CellProps().Element(1, 2), nullptr);
}

TEST_F(DateTimeTest, TheGridLetsGoOfADefinitionNoLongerUsed) {
    auto* Second = fw::Create<TtsDateTimeDefComponent>(Form.get());
    Grid->Row(4)->SetDateTimeDef(Second);
    Grid->Row(4)->SetDateTimeDef(nullptr);
    // Freed after the grid let go of it: nothing of the grid is told or touched.
    fw::Free(Second);
    Grid->Col(3)->SetDateTimeDef(nullptr);
    fw::Free(Def);
    Def = nullptr;
    EXPECT_EQ(Grid->Col(3)->DateTimeDef(), nullptr);
}

TEST_F(DateTimeTest, ALargeNumberInTheCellDropsTheCalendarInsideItsRange) {
    // Typed: the editor's text is read as a day count past 31 December 9999.
    const int Today = DayCountOf(NowDateTime());
    for (const char* Typed : {"9999999999", "2147483647", "2958466", "99999999999999999999.5"}) {
        SCOPED_TRACE(Typed);
        Grid->CurrentCell().SetSelStart(0);
        Grid->CurrentCell().SetSelLength(1000);
        fw::TypeText(Typed);
        fw::PressKey(fw::VK_F4);
        ASSERT_TRUE(Grid->IsDateTimeDropped());
        TtsMonthView* V = Grid->MonthView();
        EXPECT_GE(V->Date(), Today - 1); // refused as a date: today is shown
        EXPECT_LE(V->Date(), Today + 1);
        fw::PaintControlTo(V, Shot.Surface());
        fw::PressKey(fw::VK_ESCAPE);
    }
    // Stored: a number past the calendar, and its last day.
    fw::PressKey(fw::VK_ESCAPE);
    for (const char* Value : {"2147483647", "2958465"}) {
        ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
        Grid->SetCellValue(3, 1, TtsVariant(std::string(Value)));
        ASSERT_TRUE(Grid->SetCurrentCell(3, 1));
        fw::PressKey(fw::VK_F4);
        ASSERT_TRUE(Grid->IsDateTimeDropped());
        TtsMonthView* V = Grid->MonthView();
        EXPECT_GE(V->Date(), MinDayCount);
        EXPECT_LE(V->Date(), MaxDayCount);
        fw::PaintControlTo(V, Shot.Surface());
        fw::PressKey(fw::VK_ESCAPE);
    }
    EXPECT_EQ(Grid->MonthView()->Date(), MaxDayCount);
}

class MonthViewTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        View = Place<TtsMonthView>(0, 0, 160, 140);
        Show();
    }
    // Every day a click on the view would pick.
    std::vector<int> Clickable() {
        std::vector<int> Days;
        for (int Y = 0; Y < View->Height(); Y += 4)
            for (int X = 0; X < View->Width(); X += 4)
                if (int D = View->DayAt(X, Y); D != TtsMonthView::NoDay &&
                                                D != TtsMonthView::BackArrow &&
                                                D != TtsMonthView::NextArrow)
                    Days.push_back(D);
        return Days;
    }
    void Paint() {
        Shot.SetSize(View->Width(), View->Height());
        fw::PaintControlTo(View, Shot.Surface());
    }
    TtsMonthView* View = nullptr;
    fw::TBitmap Shot;
};

TEST_F(MonthViewTest, NavigationStopsAtTheEndsOfTheCalendar) {
    const std::uint16_t Forward[] = {fw::VK_RIGHT, fw::VK_DOWN, fw::VK_NEXT, fw::VK_END};
    const std::uint16_t Back[] = {fw::VK_LEFT, fw::VK_UP, fw::VK_PRIOR, fw::VK_HOME};
    View->SetDate(MaxDayCount - 3);
    for (int I = 0; I < 20; ++I)
        for (std::uint16_t K : Forward)
            View->KeyStep(K);
    EXPECT_EQ(View->Date(), MaxDayCount);
    View->StepMonth(1);
    View->StepMonth(2147483647);
    EXPECT_EQ(View->Date(), MaxDayCount);
    EXPECT_EQ(View->ShownYear(), 9999);
    Paint();
    for (int D : Clickable())
        EXPECT_LE(D, MaxDayCount);
    View->SetDate(MinDayCount + 3);
    for (int I = 0; I < 20; ++I)
        for (std::uint16_t K : Back)
            View->KeyStep(K);
    EXPECT_EQ(View->Date(), MinDayCount);
    View->StepMonth(-2147483647 - 1);
    EXPECT_EQ(View->Date(), MinDayCount);
    EXPECT_EQ(View->ShownYear(), 1);
    Paint();
    for (int D : Clickable())
        EXPECT_GE(D, MinDayCount);
    // Any day count a program gives is taken into the calendar.
    View->SetDate(2147483647);
    EXPECT_EQ(View->Date(), MaxDayCount);
    View->SetDate(-2147483647 - 1);
    EXPECT_EQ(View->Date(), MinDayCount);
    EXPECT_EQ(DateToText(1e300), "12/31/9999");
    EXPECT_EQ(DateToText(-1e300), "1/1/0001");
}

TEST(DayCounts, RoundTripAcrossTheCalendar) {
    EXPECT_EQ(EncodeDayCount(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDayCount(1900, 3, 1), 61);
    EXPECT_EQ(EncodeDayCount(2000, 2, 29) + 1, EncodeDayCount(2000, 3, 1));
    for (int D = -800000; D < 2900000; D += 997) {
        const TtsDate T = DecodeDayCount(D);
        ASSERT_EQ(EncodeDayCount(T.Year, T.Month, T.Day), D);
    }
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DateToText(EncodeDayCount(2024, 12, 5)), "12/5/2024");
}

} // namespace
} // namespace vel
