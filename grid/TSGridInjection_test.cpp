// Hostile handlers injected at every handler call, not at random. For every
// operation of the table below (user input and program calls of the grid, its
// current cell, its editor and its combos: each can fire an event or paint)
// and every hostile action, the operation runs with the action done at the
// Nth handler call of any control (the framework's handler probe: set or not,
// every event counts), for N = 1, 2, ... until the operation makes fewer than
// N calls. After each run the grid is whole and a value set reads back, or it
// is gone when the action freed it. ASan and UBSan watch the rest.
//
// A new operation that fires events or paints joins the table. The suite
// bounds N; VEL_GRID_INJECT_DEPTH=0 runs every N, VEL_GRID_INJECT_OPS=a,b
// those operations alone, VEL_GRID_INJECT_TRACE=1 names each run on stderr.
#include "Clipbrd.h"
#include "GridInvariants.h"
#include "GridTestEnv.h"
#include "Streams.h"
#include "TSCombo.h"
#include "TSGridEdit.h"
#include "TSMonthView.h"
#include "TestPaths.h"
#include "Timers.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {
namespace {

constexpr const char* ProbeError = "probe"; // the throwing action's

int EnvInt(const char* Name, int Default) {
    const char* V = std::getenv(Name);
    return V && *V ? std::atoi(V) : Default;
}

void Keys(std::initializer_list<std::uint16_t> List, fw::TShiftState Shift = 0) {
    for (std::uint16_t K : List)
        fw::PressKey(K, Shift);
}

class InjectionTest : public fw::FormTest, public ::testing::WithParamInterface<int> {
public:
    // An operation: the current cell it starts on (column 0: where the grid
    // starts), text typed there and any other setting up, all with the probe off.
    struct TOp {
        const char* Name;
        int Col, Row;
        void (*Run)(InjectionTest&);
        void (*Setup)(InjectionTest&) = nullptr;
        const char* Typed = nullptr;
    };
    static const std::vector<TOp> Operations;
    // The hostile actions, each a test of its own; the first frees the grid.
    struct TAction {
        const char* Name;
        void (*Act)(InjectionTest&, TtsGrid&);
    };
    static const std::vector<TAction> Actions;

    TtsGrid* Grid = nullptr;
    TtsGrid* Other = nullptr;
    std::vector<std::uint8_t> Layout;

    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(100, 100, 400, 320);
        Other = PlaceOtherGrid(Form.get(), 200);
        Show();
        MakeGrid();
        Layout = WholeLayout(*Grid);
        DropGrid();
    }

    // Text, combo, picture, check, spin and date columns; small, so that each
    // run paints little (six columns and nine rows show).
    void MakeGrid() {
        if (!Images) { // an action may have freed it, or the definition
            Images = fw::Create<TtsImageList>(Form.get());
            for (const char* N : {"Off", "On"})
                Images->Images().Add()->SetName(N);
        }
        if (!Def) Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
        Grid = Place<TtsGrid>(0, 0, 270, 170);
        Grid->SetStoreData(true);
        Grid->SetDefaultColWidth(40);
        Grid->SetCols(6);
        Grid->SetRows(20);
        for (int R = 1; R <= 20; ++R)
            for (int C = 1; C <= 6; ++C)
                Grid->SetCellValue(C, R,
                                   TtsVariant(C == 3   ? "Off"
                                              : C == 5 ? "-05"
                                                       : "r" + std::to_string(R)));
        Grid->Col(2)->SetButtonType(btCombo);
        TtsComboGrid* L = Grid->Col(2)->EnsureCombo()->Grid();
        L->SetRows(4);
        for (int R = 1; R <= 4; ++R)
            L->SetCellValue(1, R, TtsVariant(std::string(Items[R - 1])));
        Grid->SetImageList(Images);
        Grid->Col(3)->SetControlType(ctPicture);
        Grid->Col(4)->SetControlType(ctCheck);
        Grid->Col(5)->SetButtonType(btVertSpin);
        Grid->Col(5)->SetSpinOptions(spoAutoIncrement | spoKeyEdit | spoAutoRepeat);
        Grid->Col(6)->SetButtonType(btDateTimeDropDown);
        Grid->Col(6)->SetDateTimeDef(Def);
        Grid->SetCellValue(6, 3, TtsVariant(std::string("3/14/2024")));
        Grid->SetFocus();
        fw::ProcessMessages();
    }
    void DropGrid() {
        if (Grid) fw::Free(std::exchange(Grid, nullptr));
        fw::ProcessMessages();
    }

    fw::TPoint At(int DisplayCol, int DisplayRow) {
        return Mid(Grid, Grid->CellRect(DisplayCol, DisplayRow));
    }
    static fw::TPoint Mid(fw::TControl* C, const fw::TRect& R) {
        return fw::ControlPoint(C, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    void Click(fw::TPoint P, fw::TShiftState Shift = 0) {
        fw::AdvanceClock(1000);
        fw::ClickAt(P, fw::mbLeft, Shift);
    }
    void Drag(fw::TPoint From, fw::TPoint To, int Ticks = 0) {
        fw::AdvanceClock(1000);
        fw::MouseDownAt(From);
        fw::MouseMoveTo(To, fw::ssLeft);
        for (int I = 0; I < Ticks; ++I)
            fw::AdvanceClock(70);
        fw::MouseUpAt(To);
    }
    // Whether the operation's next step may reach the grid (an action may have freed it).
    bool Live() const { return Grid != nullptr; }
    // Freed by a handler, the grid is gone at once: from the form's lists and
    // the drop-down hooks (its memory may wait; it is not read).
    void FreeGrid() {
        TtsGrid* G = std::exchange(Grid, nullptr);
        const fw::TControl* AsControl = G;
        const TtsDropDownOwner* AsOwner = G;
        fw::Free(G);
        for (int I = 0; I < Form->ComponentCount(); ++I)
            EXPECT_NE(Form->Components(I), AsControl) << "still owned";
        for (int I = 0; I < Form->ControlCount(); ++I)
            EXPECT_NE(Form->Controls(I), AsControl) << "still shown";
        for (const TtsDropDownOwner* O : TtsDropDownRegistry::Grids())
            EXPECT_NE(O, AsOwner) << "still hooked";
    }

protected:
    // One run: the operation with the action at handler call N. False when the
    // operation made fewer than N calls.
    bool RunAt(const TOp& Op, int N) {
        const TAction& A = Actions[static_cast<std::size_t>(GetParam())];
        const std::string Where =
            std::string(Op.Name) + ", " + A.Name + " at call " + std::to_string(N);
        if (Trace) std::fprintf(stderr, "%s\n", Where.c_str());
        MakeGrid();
        if (Op.Col > 0 && !Grid->SetCurrentCell(Op.Col, Op.Row)) ADD_FAILURE() << Where;
        if (Op.Typed) fw::TypeText(Op.Typed);
        if (Op.Setup) Op.Setup(*this);
        if (HasFatalFailure()) return false;
        fw::ProcessMessages();
        int Calls = 0;
        bool Acted = false;
        const fw::THandlerProbe Probe = [&] {
            if (++Calls != N || Acted || !Grid) return;
            Acted = true;
            A.Act(*this, *Grid);
        };
        try {
            fw::TProbeScope Scope(Probe);
            Op.Run(*this);
            fw::ProcessMessages();
        } catch (const std::exception& E) {
            if (std::string(E.what()) != ProbeError) ADD_FAILURE() << Where << ": " << E.what();
        }
        fw::ProcessMessages();
        Check(Where);
        DropGrid();
        if (Acted) Deepest = std::max(Deepest, N);
        return Acted;
    }

    void Check(const std::string& Where) {
        if (!Grid) { // freed by the action: gone once the operation ended
            for (int I = 0; I < Form->ComponentCount(); ++I) {
                fw::TComponent* C = Form->Components(I);
                EXPECT_TRUE(C == Other || !dynamic_cast<TtsGrid*>(C)) << Where << ": never freed";
            }
            return;
        }
        ASSERT_TRUE(GridIsWhole(*Grid)) << Where;
        if (Grid->StoreData() && Grid->Cols() > 0 && Grid->Rows() > 0) {
            Grid->SetCellValue(1, 1, TtsVariant(std::string("back")));
            EXPECT_EQ(VarToText(Grid->CellValue(1, 1)), "back") << Where;
        }
    }

    static constexpr const char* Items[] = {"Hip", "Spine", "Arm", "Leg"};
    TtsImageList* Images = nullptr;
    TtsDateTimeDefComponent* Def = nullptr;
    int Deepest = 0; // the largest N at which an action ran
    const bool Trace = EnvInt("VEL_GRID_INJECT_TRACE", 0) != 0;
};

using T = InjectionTest;

const std::vector<T::TAction> T::Actions = {
    {"free the grid", [](T& t, TtsGrid&) { t.FreeGrid(); }},
    {"free a combo",
     [](T&, TtsGrid& G) {
         if (G.Cols() >= 2) G.Col(2)->SetParentCombo(true);
     }},
    {"free a column", [](T&, TtsGrid& G) { G.SetCols(std::max(0, G.CurrentDataCol() - 1)); }},
    {"free the definitions",
     [](T& t, TtsGrid&) {
         fw::Free(std::exchange(t.Def, nullptr)), fw::Free(std::exchange(t.Images, nullptr));
     }},
    {"cut rows", [](T&, TtsGrid& G) { G.SetRows(2); }},
    {"no rows", [](T&, TtsGrid& G) { G.SetRows(0); }},
    {"add lines", [](T&, TtsGrid& G) { G.SetCols(G.Cols() + 2), G.SetRows(G.Rows() + 30); }},
    {"move lines",
     [](T&, TtsGrid& G) {
         if (G.Cols() > 1) G.SetDisplayCol(G.DataColAt(1), G.Cols());
         if (G.Rows() > 1) G.SetDisplayRow(G.DataRowAt(1), G.Rows());
     }},
    {"hide lines",
     [](T&, TtsGrid& G) {
         const int Col = G.CurrentDataCol(), Row = G.CurrentDataRow();
         if (Col >= 1) G.Col(Col)->SetVisible(false);
         if (TtsRow* R = Row >= 1 ? G.Row(Row) : nullptr) R->SetVisible(false);
     }},
    {"move the current cell", [](T&, TtsGrid& G) { G.SetCurrentCell(1 + G.Cols() / 2, G.Rows()); }},
    {"close the drop-down", [](T&, TtsGrid& G) { G.CloseDropDown(true); }},
    {"load a layout",
     [](T& t, TtsGrid& G) {
         TMemoryStream S(t.Layout);
         G.LoadLayout(S, 1);
     }},
    {"end the edit", [](T&, TtsGrid& G) { G.EndCellEdit(); }},
    {"cancel the edit", [](T&, TtsGrid& G) { G.UndoCellEdit(); }},
    {"throw", [](T&, TtsGrid&) { throw std::runtime_error(ProbeError); }},
};

// Opens the current cell's drop-down.
void Drop(T& t) {
    ASSERT_TRUE(t.Grid->DropDown());
}

const std::vector<T::TOp> T::Operations = {
    // --- User input ---
    {"click a cell", 0, 0, [](T& t) { t.Click(t.At(3, 6)); }},
    {"shift-click a cell", 0, 0, [](T& t) { t.Click(t.At(2, 5), fw::ssShift); }},
    {"double-click a cell", 0, 0, [](T& t) { fw::DoubleClickAt(t.At(1, 4)); }},
    {"click a check cell", 0, 0, [](T& t) { t.Click(t.At(4, 5)); }},
    {"drag a range", 0, 0, [](T& t) { t.Drag(t.At(1, 2), t.At(3, 5)); }},
    {"drag out of the grid", 0, 0,
     [](T& t) { t.Drag(t.At(2, 3), fw::ControlPoint(t.Grid, 150, 230), 4); }},
    {"click the row bar", 0, 0, [](T& t) { t.Click(t.At(0, 4)); }},
    {"click a heading", 0, 0, [](T& t) { t.Click(t.At(2, 0)); }},
    {"right-click a cell", 0, 0, [](T& t) { fw::ClickAt(t.At(1, 2), fw::mbRight); }},
    {"wheel", 0, 0, [](T& t) { fw::MouseWheelAt(t.At(1, 2), -240); }},
    {"move a row by the row bar", 0, 0,
     [](T& t) { t.Drag(t.At(0, 4), fw::ControlPoint(t.Grid, 5, 230), 5); },
     [](T& t) { t.Grid->SetOptions(t.Grid->Options() | goRowMoving); }},
    {"move a column by its heading", 0, 0,
     [](T& t) { t.Drag(t.At(1, 0), fw::ControlPoint(t.Grid, 310, 8), 5); },
     [](T& t) { t.Grid->SetOptions(t.Grid->Options() | goColMoving); }},
    {"size a column", 0, 0,
     [](T& t) {
         const int X = t.Grid->CellRect(1, 0).Right - 1;
         t.Drag(fw::ControlPoint(t.Grid, X, 8), fw::ControlPoint(t.Grid, X + 30, 8));
     },
     [](T& t) { t.Grid->SetOptions(t.Grid->Options() | goColSizing); }},
    {"arrow keys", 0, 0,
     [](T&) {
         Keys({fw::VK_DOWN, fw::VK_RIGHT, fw::VK_NEXT, fw::VK_UP});
         Keys({fw::VK_DOWN}, fw::ssShift);
         Keys({fw::VK_END}, fw::ssCtrl);
     }},
    {"tab", 0, 0, [](T&) { Keys({fw::VK_TAB}), Keys({fw::VK_TAB}, fw::ssShift); }},
    {"type and Enter", 1, 3, [](T&) { fw::TypeText("bone"), Keys({fw::VK_RETURN}); }},
    {"type and Escape", 1, 3, [](T&) { fw::TypeText("x"), Keys({fw::VK_ESCAPE}); }},
    {"type and click away", 1, 3,
     [](T& t) {
         const fw::TPoint Away = t.At(1, 7);
         fw::TypeText("x"), t.Click(Away);
     }},
    {"editing keys", 1, 3,
     [](T&) {
         Keys({fw::VK_F2, fw::VK_HOME, fw::VK_RIGHT, fw::VK_DELETE, fw::VK_BACK});
         Keys({fw::VK_END}, fw::ssShift);
         Keys({'X', 'V'}, fw::ssCtrl);
     }},
    {"clipboard keys", 1, 3, [](T&) { Keys({'C', 'V'}, fw::ssCtrl), Keys({fw::VK_ESCAPE}); },
     [](T&) { fw::SetClipboardText("clip"); }},
    {"space on a check cell", 4, 3, [](T&) { Keys({fw::VK_SPACE}); }},
    {"space on a picture cell", 3, 3, [](T&) { Keys({fw::VK_SPACE}); }},
    {"spin button held", 5, 3,
     [](T& t) {
         const fw::TRect B = t.Grid->CellButtonRect();
         const fw::TPoint Up = fw::ControlPoint(t.Grid, (B.Left + B.Right) / 2, B.Top + 2);
         fw::MouseDownAt(Up);
         for (int I = 0; I < 6; ++I) fw::AdvanceClock(100);
         fw::MouseUpAt(Up);
     }},
    {"spin by key", 5, 3, [](T&) { Keys({fw::VK_UP, fw::VK_RETURN}); }},
    {"combo by keys", 2, 3,
     [](T&) { Keys({fw::VK_DOWN}, fw::ssAlt), Keys({fw::VK_DOWN, fw::VK_RETURN}); }},
    {"combo list keys", 2, 3,
     [](T&) { Keys({fw::VK_F4, fw::VK_END, fw::VK_PRIOR, fw::VK_NEXT, fw::VK_HOME, fw::VK_TAB}); }},
    {"combo by click", 2, 3,
     [](T& t) {
         TtsComboGrid* L = t.Grid->ActiveCombo()->Grid();
         t.Click(T::Mid(L, L->CellRect(1, 2)));
     },
     Drop},
    {"combo closed by a click elsewhere", 2, 3, [](T& t) { t.Click(t.At(1, 7)); }, Drop},
    {"date by keys", 6, 3, [](T&) { Keys({fw::VK_F4, fw::VK_RIGHT, fw::VK_RETURN}); }},
    {"date page keys and Escape", 6, 3,
     [](T&) { Keys({fw::VK_F4, fw::VK_NEXT, fw::VK_END, fw::VK_ESCAPE}); }},
    {"date by click", 6, 3,
     [](T& t) {
         TtsMonthView* V = t.Grid->MonthView();
         for (int Y = V->Height() - 1; Y >= 0; --Y)
             for (int X = 0; X < V->Width(); ++X)
                 if (V->DayAt(X, Y) > 0) return t.Click(fw::ControlPoint(V, X + 2, Y - 2));
     },
     Drop},
    {"focus leaves an edit", 1, 3, [](T& t) { t.Other->SetFocus(); },
     [](T& t) { t.Other->SetVisible(true); }, "gone"},
    {"paint", 0, 0, [](T& t) { t.Grid->Invalidate(), fw::ProcessMessages(); },
     [](T& t) { t.Grid->SetStoreData(false); }},
    // --- Program calls ---
    {"SetCurrentCell", 1, 3, [](T& t) { t.Grid->SetCurrentCell(4, 9); }},
    {"CanLeaveCell", 1, 3, [](T& t) { t.Grid->CanLeaveCell(); }, nullptr, "x"},
    {"EndCellEdit", 1, 3, [](T& t) { t.Grid->EndCellEdit(); }, nullptr, "x"},
    {"UndoCellEdit", 1, 3, [](T& t) { t.Grid->UndoCellEdit(); }, nullptr, "x"},
    {"UndoRowChanges", 1, 3, [](T& t) { t.Grid->UndoRowChanges(); },
     [](T& t) { t.Grid->EndCellEdit(); }, "x"},
    {"SetCellValue of the current cell", 1, 3,
     [](T& t) { t.Grid->SetCellValue(1, 3, TtsVariant(std::string("set"))); }},
    {"CellValue without storage", 0, 0, [](T& t) { (void)t.Grid->CellValue(2, 2); },
     [](T& t) { t.Grid->SetStoreData(false); }},
    {"SpinStep", 5, 3, [](T& t) { t.Grid->SpinStep(1); }},
    {"StepPicture", 3, 3, [](T& t) { t.Grid->StepPicture(1); }},
    {"DropDown", 2, 3, [](T& t) { t.Grid->DropDown(); }},
    {"CloseDropDown", 2, 3, [](T& t) { t.Grid->CloseDropDown(false); }, Drop},
    {"SetDropDownSize", 2, 3, [](T& t) { t.Grid->SetDropDownSize(1, 2); }, Drop},
    {"StorePickedValue", 2, 3,
     [](T& t) { t.Grid->StorePickedValue(TtsVariant(std::string("Arm"))); }},
    {"current cell Paste", 1, 3,
     [](T& t) {
         t.Grid->CurrentCell().Paste();
         if (t.Live()) t.Grid->CurrentCell().PasteFromClipboard(true);
     },
     [](T&) { fw::SetClipboardText("9"); }},
    {"current cell Cut", 1, 3, [](T& t) { t.Grid->CurrentCell().CutToClipboard(true); }},
    {"current cell DeleteSelection", 1, 3,
     [](T& t) { t.Grid->CurrentCell().DeleteSelection(); }},
    {"current cell selection", 1, 3,
     [](T& t) {
         t.Grid->CurrentCell().SetSelStart(1);
         if (t.Live()) t.Grid->CurrentCell().SetSelLength(2);
     }},
    {"current cell reads without storage", 1, 3,
     [](T& t) {
         (void)t.Grid->CurrentCell().TextExtent1();
         if (t.Live()) (void)t.Grid->CurrentCell().IsWholeTextSelected();
         if (t.Live()) (void)t.Grid->CurrentCell().PasteFits("abc");
     },
     [](T& t) { t.Grid->SetStoreData(false); }},
    {"current cell SetValue", 1, 3,
     [](T& t) { t.Grid->CurrentCell().SetValue(TtsVariant(std::string("v")), true, true); }},
    {"current cell MoveToCol", 1, 3, [](T& t) { t.Grid->CurrentCell().MoveToCol(4); },
     [](T& t) { t.Grid->SetGridMode(gmEditInsert); }},
    {"editor SetText", 1, 3, [](T& t) { t.Grid->EditStrategy().Edit()->SetText("t", true, true); }},
    {"editor undo", 1, 3, [](T& t) { t.Grid->EditStrategy().Edit()->Undo(); }, nullptr, "typed"},
    {"editor strategy", 1, 3,
     [](T& t) {
         t.Grid->EditStrategy().SetSelStart(1);
         if (t.Live()) t.Grid->EditStrategy().SetValueSelect(TtsVariant(std::string("s")), true);
     }},
    {"counts", 5, 9,
     [](T& t) {
         t.Grid->SetRows(5);
         if (t.Live()) t.Grid->SetCols(2);
     }},
    {"SetDisplayCol and SetDisplayRow", 1, 3,
     [](T& t) {
         t.Grid->SetDisplayCol(1, 4);
         if (t.Live()) t.Grid->SetDisplayRow(3, 7);
     }},
    {"hide the current lines", 1, 3,
     [](T& t) {
         t.Grid->Col(1)->SetVisible(false);
         if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetVisible(false);
     }},
    {"sort the rows", 1, 3,
     [](T& t) { t.Grid->Model().SetDisplayRows({{1, 20}, {20, 1}, {3, 4}}); }},
    {"AssignGrid", 3, 5, [](T& t) { t.Grid->AssignGrid(*t.Other, true); }, nullptr, "x"},
    {"AssignGrid without data", 2, 3, [](T& t) { t.Grid->AssignGrid(*t.Other, false); }, Drop},
    {"LoadLayout", 1, 3,
     [](T& t) {
         TMemoryStream S(t.Layout);
         t.Grid->LoadLayout(S, 1);
     },
     nullptr, "x"},
    {"SaveLayout", 1, 3,
     [](T& t) {
         TMemoryStream S;
         t.Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
     },
     nullptr, "x"},
    {"layouts in the settings store and a file", 1, 3,
     [](T& t) {
         const std::string File = fw::TestPath("layout.ini"), Key = "\\Software\\Probe";
         t.Grid->SaveLayoutToSettings(Key, "Layout", File, pkGrid | pkCols, AllKinds);
         if (t.Live()) t.Grid->LoadLayoutFromSettings(Key, "Layout", File, 1);
         if (t.Live()) t.Grid->SaveLayoutToFile(fw::TestPath("layout.bin"), pkCols, true, AllKinds);
         if (t.Live()) t.Grid->LoadLayoutFromFile(fw::TestPath("layout.bin"), 1);
     },
     nullptr, "x"},
    {"stream component", 1, 3,
     [](T& t) {
         auto Carrier = t.Grid->CreateStreamComponent();
         TMemoryStream S(t.Layout);
         Carrier->Read(S);
         Carrier->SaveData = true;
         if (t.Live()) Carrier->Write(S);
     },
     nullptr, "x"},
    {"ResetColProperties", 2, 3, [](T& t) { t.Grid->ResetColProperties(AllKinds); }},
    {"ResetAllProperties", 6, 3, [](T& t) { t.Grid->ResetAllProperties(); }, Drop},
    {"SetStoreData", 1, 3, [](T& t) { t.Grid->SetStoreData(false); }},
    {"SetImageList", 3, 3, [](T& t) { t.Grid->SetImageList(nullptr); }},
    {"selections", 1, 3,
     [](T& t) {
         t.Grid->SelectRows(2, 4, true);
         if (t.Live()) t.Grid->SelectCols(1, 2, true);
         if (t.Live()) t.Grid->SelectCellRange(TGridRect{1, 1, 3, 3});
         if (t.Live()) t.Grid->ClearSelection();
     }},
    {"EndUpdate", 1, 3, [](T& t) { t.Grid->EndUpdate(); }, [](T& t) { t.Grid->BeginUpdate(); }},
    {"scroll and move by the base grid", 1, 3,
     [](T& t) {
         t.Grid->SetTopRow(6);
         if (t.Live() && t.Grid->Cols() >= 3) t.Grid->SetLeftCol(3);
         if (t.Live() && t.Grid->Rows() >= 7) t.Grid->SetRow(7); // while it is there
     }},
    {"grid settings", 1, 3,
     [](T& t) {
         t.Grid->SetGridMode(gmBrowse);
         if (t.Live()) t.Grid->SetReadOnly(true);
         if (t.Live()) t.Grid->SetGridLines(glNone);
         if (t.Live()) t.Grid->SetDrawOverlap(doDrawRowOnTop);
     },
     nullptr, "x"},
    {"row bar and headings", 1, 3,
     [](T& t) {
         t.Grid->SetRowBarOn(false);
         if (t.Live()) t.Grid->SetHeadingHeight(40);
     }},
    {"paint lock", 1, 3, [](T& t) { t.Grid->SetPaintLock(false); },
     [](T& t) { t.Grid->SetPaintLock(true); }},
    {"font, colour, bounds and visibility", 1, 3,
     [](T& t) {
         fw::TFont F;
         F.SetSize(14);
         t.Grid->SetGridFont(F);
         if (t.Live()) t.Grid->SetGridColor(fw::clYellow);
         if (t.Live()) t.Grid->SetBounds(0, 0, 200, 120);
         if (t.Live()) t.Grid->SetVisible(false);
     }},
    {"the grid takes the focus back", 1, 3, [](T& t) { t.Grid->SetFocus(); },
     [](T& t) { t.Other->SetVisible(true), t.Other->SetFocus(); }},
    {"sizes", 1, 3,
     [](T& t) {
         t.Grid->SetDefaultColWidth(90);
         if (t.Live()) t.Grid->SetDefaultRowHeight(30);
         if (t.Live()) t.Grid->Col(1)->SetWidth(120);
         if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetHeight(40);
     }},
    {"line settings of the current cell", 1, 3,
     [](T& t) {
         t.Grid->Col(1)->SetControlType(ctCheck);
         if (TtsCol* C = t.Live() ? t.Grid->Col(1) : nullptr) C->SetButtonType(btCombo);
         if (TtsCol* C = t.Live() ? t.Grid->Col(1) : nullptr) C->SetReadOnly(true);
         if (TtsCol* C = t.Live() ? t.Grid->Col(1) : nullptr) C->SetMaxLength(2);
         if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetControlType(ctText);
     }},
    {"cell settings of the current cell", 1, 3,
     [](T& t) {
         t.Grid->Cell(1, 3).SetButtonType(btVertSpin);
         if (t.Live()) t.Grid->Cell(1, 3).SetControlType(ctCheck);
     }},
    {"combo settings while open", 2, 3,
     [](T& t) {
         TtsCombo* C = t.Grid->Col(2)->Combo();
         C->SetDropDownRows(2);
         if (t.Live() && t.Grid->Cols() >= 2 && t.Grid->Col(2)->Combo() == C) C->Reset();
     },
     Drop},
    {"combo list while open", 2, 3,
     [](T& t) {
         TtsCombo* C = t.Grid->Col(2)->Combo();
         C->Grid()->SetCellValue(1, 2, TtsVariant(std::string("Neck")));
         if (t.Live() && t.Grid->Cols() >= 2 && t.Grid->Col(2)->Combo() == C) C->Grid()->SetRows(1);
     },
     Drop},
};

TEST_P(InjectionTest, AtEveryHandlerCallOfEveryOperation) {
    const int Depth = EnvInt("VEL_GRID_INJECT_DEPTH", 4);
    const char* Only = std::getenv("VEL_GRID_INJECT_OPS");
    int Runs = 0;
    for (const TOp& Op : Operations) {
        if (Only && *Only &&
            ("," + std::string(Only) + ",").find("," + std::string(Op.Name) + ",") ==
                std::string::npos)
            continue;
        for (int N = 1; Depth <= 0 || N <= Depth; ++N) {
            ++Runs;
            if (!RunAt(Op, N) || HasFatalFailure()) break;
        }
        if (HasFatalFailure()) return;
    }
    RecordProperty("runs", Runs);
    RecordProperty("deepest", Deepest);
}

INSTANTIATE_TEST_SUITE_P(Actions, InjectionTest,
                         ::testing::Range(0, static_cast<int>(T::Actions.size())));

} // namespace
} // namespace vel
