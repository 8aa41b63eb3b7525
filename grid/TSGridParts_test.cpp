// The engine's pastes, combo lists, base-grid notifications, property copies and
// the in-cell editor's events, as a grid on a form uses them.
#include "GridTestEnv.h"
#include "CodePage.h"
#include "InplaceEdit.h"
#include "StdCtrls.h"
#include "Timers.h"
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

// A base grid whose second column edits with an ellipsis button.
class TStyledGrid : public TCustomGrid_ts {
public:
    using TCustomGrid_ts::TCustomGrid_ts;

protected:
    TEditStyle GetEditStyle(int C, int) override {
        return C == 2 ? TEditStyle::esEllipsis : TCustomGrid_ts::GetEditStyle(C, 0);
    }
};

class BaseGridPartsTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        fw::AdvanceClock(1000);
        Grid = Place<TStyledGrid>(0, 0, 200, 100);
        Grid->SetScrollBars(ssNone);
    }
    TStyledGrid* Grid = nullptr;
};

TEST_F(BaseGridPartsTest, SizingIsOnWhileTheGridIsDesigned) {
    EXPECT_EQ(Grid->DesignOptionsBoost(), goRowSizing | goColSizing);
    ASSERT_FALSE(Grid->Options() & (goRowSizing | goColSizing));
    // The line after column 1 lies at 65 + 64 in the heading row; the one after row 1 at
    // 25 + 24 in the fixed column.
    EXPECT_FALSE(Grid->Sizing(129, 10));
    Grid->SetState(fw::TComponentStateItem::Designing);
    EXPECT_TRUE(Grid->Sizing(129, 10));
    EXPECT_TRUE(Grid->Sizing(10, 49));
    Grid->SetDesignOptionsBoost(goColSizing);
    EXPECT_TRUE(Grid->Sizing(129, 10));
    EXPECT_FALSE(Grid->Sizing(10, 49));
    Grid->ClearState(fw::TComponentStateItem::Designing);
    EXPECT_FALSE(Grid->Sizing(129, 10));
    EXPECT_FALSE(Grid->Options() & goColSizing); // the options themselves never change
}

TEST_F(BaseGridPartsTest, TheInplaceEditorTakesEachCellsEditStyle) {
    Grid->SetOptions(Grid->Options() | goEditing);
    Show();
    Grid->SetFocus();
    fw::PressKey(fw::VK_F2);
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    EXPECT_EQ(Grid->InplaceEditor()->EditStyle(), TEditStyle::esSimple);
    fw::PressKey(fw::VK_RETURN);
    Grid->FocusCell(2, 1, true);
    fw::PressKey(fw::VK_F2);
    EXPECT_EQ(Grid->InplaceEditor()->EditStyle(), TEditStyle::esEllipsis);
}

// An object of no grid class publishing a number, a text, a variant and a handler.
class TGauge : public fw::TPersistent {
public:
    double Level = 0;
    std::string Label;
    TtsVariant Extra;
    fw::TNotifyEvent OnFull;
    const fw::TPropList& PublishedProperties() const override {
        using G = TGauge;
        static const fw::TPropList List{
            fw::PublishedProperty<G>(
                "Level", [](const G& g) { return g.Level; }, [](G& g, double v) { g.Level = v; }),
            fw::PublishedProperty<G>(
                "Label", [](const G& g) { return g.Label; },
                [](G& g, const std::string& v) { g.Label = v; }),
            fw::PublishedProperty<G>(
                "Extra", [](const G& g) { return g.Extra; },
                [](G& g, const TtsVariant& v) { g.Extra = v; }),
            fw::PublishedProperty<G>(
                "OnFull", [](const G& g) { return g.OnFull; },
                [](G& g, const fw::TNotifyEvent& v) { g.OnFull = v; }),
        };
        return List;
    }
};

TEST(PropertyCopies, AnyObjectsPublishedPropertiesCopyByNameAndAllButTheExcluded) {
    TGauge A, B;
    A.Level = 2.5;
    A.Label = "tank";
    A.Extra = TtsVariant(std::int32_t{7});
    int Fired = 0;
    A.OnFull = [&](fw::TObject*) { ++Fired; };
    EXPECT_TRUE(CopyPropertyByName("LEVEL", B, A));
    EXPECT_EQ(B.Level, 2.5);
    EXPECT_EQ(B.Label, "");
    EXPECT_FALSE(CopyPropertyByName("Volume", B, A));
    CopyProperties(B, A, " label ;extra");
    EXPECT_EQ(B.Label, "");
    EXPECT_TRUE(VarIsEmpty(B.Extra));
    ASSERT_TRUE(B.OnFull);
    B.OnFull(&B); // the handler itself was copied
    EXPECT_EQ(Fired, 1);
    CopyProperties(B, A, "");
    EXPECT_EQ(B.Label, "tank");
    EXPECT_TRUE(VarEquals(B.Extra, TtsVariant(std::int32_t{7})));
    // An object that publishes nothing gives nothing; a property of another class is refused.
    fw::TObject Plain;
    EXPECT_FALSE(CopyPropertyByName("Level", B, Plain));
    CopyProperties(B, Plain, "");
    EXPECT_THROW(CopyProperties(Plain, A, ""), fw::EPropertyError);
    EXPECT_EQ(B.Level, 2.5);
}

TEST_F(EngineTest, ACombosSettingsCopyAsPublishedProperties) {
    TtsCombo* From = Grid->Col(1)->EnsureCombo();
    TtsCombo* To = Grid->Col(2)->EnsureCombo();
    From->SetDropDownRows(9);
    From->SetAutoSearch(asBottom);
    From->SetAutoFill(true);
    From->SetDropDownStyle(ddDropDownList);
    EXPECT_TRUE(CopyPropertyByName("dropdownrows", *To, *From));
    EXPECT_EQ(To->DropDownRows(), 9);
    EXPECT_EQ(To->AutoSearch(), asNone);
    CopyProperties(*To, *From, "DropDownStyle");
    EXPECT_EQ(To->AutoSearch(), asBottom);
    EXPECT_TRUE(To->AutoFill());
    EXPECT_EQ(To->DropDownStyle(), ddDropDown);
    // A column is no combo: its properties are not a combo's.
    EXPECT_THROW(CopyPropertyByName("DropDownRows", *Grid->Col(3), *From), fw::EPropertyError);
    EXPECT_FALSE(CopyPropertyByName("Heading", *To, *From));
}

TEST_F(EngineTest, ARightClickOnTheEditorAsksForAContextMenuThroughTheStrategy) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 2));
    TtsEditGridControl& Strategy = Grid->EditStrategy();
    TtsGridEditBox* Edit = Strategy.Edit();
    ASSERT_TRUE(Edit->Visible());
    std::vector<std::string> Log;
    bool EditorTakes = false;
    Strategy.SetOnContextPopup([&](fw::TObject* Sender, fw::TPoint P, bool& Handled) {
        Log.push_back((Sender == Edit ? "editor " : "? ") + std::to_string(P.X));
        Handled = EditorTakes;
    });
    Grid->OnContextPopup = [&](fw::TObject*, fw::TPoint, bool& Handled) {
        Log.push_back("grid");
        Handled = true;
    };
    fw::ClickAt(fw::ControlPoint(Edit, 7, 3), fw::mbRight);
    EXPECT_EQ(Log, (std::vector<std::string>{"editor 7", "grid"}));
    // All the events at once carry it too.
    TtsControlEvents E = Strategy.GetEvents();
    ASSERT_TRUE(E.OnContextPopup);
    Strategy.SetEvents(TtsControlEvents{});
    EXPECT_FALSE(Strategy.GetOnContextPopup());
    EditorTakes = true;
    Strategy.SetEvents(E);
    Log.clear();
    fw::ClickAt(fw::ControlPoint(Edit, 2, 3), fw::mbRight);
    EXPECT_EQ(Log, (std::vector<std::string>{"editor 2"}));
}

// A right click on a cell with no editor over it asks the grid for its menu,
// once, at the client point; the form gets what the grid leaves.
TEST_F(EngineTest, ARightClickOnACellAsksTheGridForAContextMenu) {
    std::vector<std::string> Log;
    bool GridTakes = true;
    Grid->OnContextPopup = [&](fw::TObject* Sender, fw::TPoint P, bool& Handled) {
        Log.push_back((Sender == Grid ? "grid " : "? ") + std::to_string(P.X) + "," +
                      std::to_string(P.Y));
        Handled = GridTakes;
    };
    Form->OnContextPopup = [&](fw::TObject*, fw::TPoint, bool& Handled) {
        Log.push_back("form");
        Handled = true;
    };
    Show();
    const fw::TPoint P = CellPoint(2, 4);
    fw::ClickAt(P, fw::mbRight);
    ASSERT_EQ(Log.size(), 1u);
    const fw::TPoint C = Grid->ScreenToClient(P);
    EXPECT_EQ(Log[0], "grid " + std::to_string(C.X) + "," + std::to_string(C.Y));
    GridTakes = false;
    Log.clear();
    fw::ClickAt(P, fw::mbRight);
    EXPECT_EQ(Log, (std::vector<std::string>{"grid " + std::to_string(C.X) + "," +
                                             std::to_string(C.Y),
                                             "form"}));
}

TEST_F(EngineTest, CentredWrappedTextStandsInTheEditorWhereTheCellDrawsIt) {
    Grid->Col(1)->SetHorzAlignment(htaCenter);
    Grid->Col(1)->SetWordWrap(wwOn);
    Grid->Row(2)->SetHeight(40);
    Grid->SetCellValue(1, 2, TtsVariant(std::string("ab")));
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 2));
    TtsGridEditBox* Edit = Grid->EditStrategy().Edit();
    ASSERT_TRUE(Edit->MultiLine());
    Edit->SetSelStart(0);
    // The cell (less its line) centres the line on its whole width.
    fw::TRect R = Grid->CellRect(1, 2);
    R.Right -= 1;
    const int W = Edit->Canvas()->TextWidth("ab");
    EXPECT_EQ(Edit->Left() + Edit->CaretPoint().X, R.Left + (R.Right - R.Left - W) / 2);
}

TEST_F(EngineTest, AComboFindsADoubleByteValueWithoutFoldingItsTrailByte) {
    fw::TCodePageScope Japanese(932);
    TtsComboGrid* List = Grid->Col(1)->EnsureCombo()->Grid();
    List->SetRows(2);
    // Two characters whose trail bytes are 'A' and 'a'.
    List->SetCellValue(1, 1, TtsVariant(std::string("\x88\x41")));
    List->SetCellValue(1, 2, TtsVariant(std::string("\x88\x61")));
    ASSERT_EQ(List->CompareType(), ctCaseInsensitive);
    EXPECT_EQ(List->FindValue(TtsVariant(std::string("\x88\x61"))), 2);
    List->SetCellValue(1, 1, TtsVariant(std::string("Ab")));
    EXPECT_EQ(List->FindValue(TtsVariant(std::string("aB"))), 1);
}

} // namespace
} // namespace vel
