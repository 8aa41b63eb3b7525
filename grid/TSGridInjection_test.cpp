// Hostile handlers injected at every handler call, not at random. For every
// operation below (user input and program calls of the grid, its current
// cell, its editor and its combos: each can fire an event or paint) and every
// hostile action, the operation runs with the action done at the Nth handler
// call of any control (the framework's handler probe: set or not, every event
// counts), for N = 1, 2, ... until the operation makes fewer than N calls.
// After each run the grid is whole (GridIsWhole) and a value set reads back,
// or it is gone when the action freed it. ASan and UBSan watch the rest.
//
// A new operation that fires events or paints joins the table in Operations().
// The suite bounds N (VEL_GRID_INJECT_DEPTH, 0: until no call is left) and
// may follow some operations alone (VEL_GRID_INJECT_OPS=name,name; docs/grid.md).
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
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {
namespace {

enum class TAct {
    FreeGrid,
    FreeCombo,
    FreeColumn,
    FreeDefinition,
    CutRows,
    NoRows,
    AddLines,
    MoveLines,
    HideLines,
    MoveCurrent,
    CloseDropDown,
    LoadLayout,
    EndEdit,
    CancelEdit,
    Throw
};

const char* ActName(TAct A) {
    static const char* Names[] = {"free the grid",
                                  "free a combo",
                                  "free a column",
                                  "free the definitions",
                                  "cut rows",
                                  "no rows",
                                  "add lines",
                                  "move lines",
                                  "hide lines",
                                  "move the current cell",
                                  "close the drop-down",
                                  "load a layout",
                                  "end the edit",
                                  "cancel the edit",
                                  "throw"};
    return Names[static_cast<int>(A)];
}

int EnvInt(const char* Name, int Default) {
    const char* V = std::getenv(Name);
    return V && *V ? std::atoi(V) : Default;
}

class InjectionTest : public fw::FormTest, public ::testing::WithParamInterface<TAct> {
public:
    struct TOp {
        const char* Name;
        std::function<void(InjectionTest&)> Setup; // probe off
        std::function<void(InjectionTest&)> Run;   // probe on
    };
    static const std::vector<TOp>& Operations();

    TtsGrid* Grid = nullptr;
    TtsGrid* Other = nullptr;
    fw::TPoint P1, P2;

    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(100, 100, 400, 320);
        Other = Place<TtsGrid>(0, 200, 300, 80);
        Other->SetStoreData(true);
        Other->SetCols(4);
        Other->SetRows(12);
        Show();
        MakeGrid();
        TMemoryStream S;
        Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
        Layout = S.Data();
        DropGrid();
    }

    // A grid of every kind of cell: text, combo, picture, check, spin, date.
    void MakeGrid() {
        // An action may have freed the image list or the definition.
        if (!Images) {
            Images = fw::Create<TtsImageList>(Form.get());
            for (const char* N : {"Off", "On"})
                Images->Images().Add()->SetName(N);
        }
        if (!Def) Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
        // Small, so that each run paints little: six columns and nine rows show.
        Grid = Place<TtsGrid>(0, 0, 270, 170);
        Grid->SetStoreData(true);
        Grid->SetDefaultColWidth(40);
        Grid->SetCols(6);
        Grid->SetRows(20);
        for (int R = 1; R <= 20; ++R)
            for (int C = 1; C <= 6; ++C)
                Grid->SetCellValue(C, R,
                                   TtsVariant("r" + std::to_string(R) + "c" + std::to_string(C)));
        Grid->Col(2)->SetButtonType(btCombo);
        TtsComboGrid* L = Grid->Col(2)->EnsureCombo()->Grid();
        L->SetRows(4);
        for (int R = 1; R <= 4; ++R)
            L->SetCellValue(1, R, TtsVariant(std::string(Items[R - 1])));
        Grid->SetImageList(Images);
        Grid->Col(3)->SetControlType(ctPicture);
        for (int R = 1; R <= 20; ++R)
            Grid->SetCellValue(3, R, TtsVariant(std::string("Off")));
        Grid->Col(4)->SetControlType(ctCheck);
        Grid->Col(5)->SetButtonType(btVertSpin);
        Grid->Col(5)->SetSpinOptions(spoAutoIncrement | spoKeyEdit | spoAutoRepeat);
        for (int R = 1; R <= 20; ++R)
            Grid->SetCellValue(5, R, TtsVariant(std::string("-05")));
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
        const fw::TRect R = Grid->CellRect(DisplayCol, DisplayRow);
        return fw::ControlPoint(Grid, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    void Current(int C, int R) { ASSERT_TRUE(Grid->SetCurrentCell(C, R)); }
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
    // Whether the operation may still reach the grid (an action may have freed it).
    bool Live() const { return Grid != nullptr; }

protected:
    void Act() {
        const TAct A = GetParam();
        TtsGrid& G = *Grid;
        switch (A) {
        case TAct::FreeGrid:
            fw::Free(std::exchange(Grid, nullptr));
            break;
        case TAct::FreeCombo:
            if (G.Cols() >= 2) G.Col(2)->SetParentCombo(true);
            break;
        case TAct::FreeColumn:
            G.SetCols(std::max(0, G.CurrentDataCol() - 1));
            break;
        case TAct::FreeDefinition:
            fw::Free(std::exchange(Def, nullptr));
            fw::Free(std::exchange(Images, nullptr));
            break;
        case TAct::CutRows:
            G.SetRows(2);
            break;
        case TAct::NoRows:
            G.SetRows(0);
            break;
        case TAct::AddLines:
            G.SetCols(G.Cols() + 2);
            G.SetRows(G.Rows() + 30);
            break;
        case TAct::MoveLines:
            if (G.Cols() > 1) G.SetDisplayCol(G.DataColAt(1), G.Cols());
            if (G.Rows() > 1) G.SetDisplayRow(G.DataRowAt(1), G.Rows());
            break;
        case TAct::HideLines:
            if (G.CurrentDataCol() >= 1) G.Col(G.CurrentDataCol())->SetVisible(false);
            if (G.CurrentDataRow() >= 1) G.Row(G.CurrentDataRow())->SetVisible(false);
            break;
        case TAct::MoveCurrent:
            if (G.Cols() > 0 && G.Rows() > 0) G.SetCurrentCell(1 + G.Cols() / 2, G.Rows());
            break;
        case TAct::CloseDropDown:
            G.CloseDropDown(true);
            break;
        case TAct::LoadLayout: {
            TMemoryStream S(Layout);
            G.LoadLayout(S, 1);
            break;
        }
        case TAct::EndEdit:
            G.EndCellEdit();
            break;
        case TAct::CancelEdit:
            G.UndoCellEdit();
            break;
        case TAct::Throw:
            throw std::runtime_error(ProbeError);
        }
    }

    // One run: the operation with the action at handler call N. False when the
    // operation made fewer than N calls.
    bool RunAt(const TOp& Op, int N) {
        if (Trace) std::fprintf(stderr, "%s, %s at call %d\n", Op.Name, ActName(GetParam()), N);
        MakeGrid();
        Op.Setup(*this);
        if (HasFatalFailure()) return false;
        fw::ProcessMessages();
        int Calls = 0;
        bool Acted = false;
        const fw::THandlerProbe Probe = [&] {
            if (++Calls != N || Acted || !Grid) return;
            Acted = true;
            // Left out until the framework holds a control it paints: a free inside a paint.
            if (GetParam() == TAct::FreeGrid && GridMemoryCanvas().IsLocked()) return;
            Act();
        };
        try {
            fw::TProbeScope Scope(Probe);
            Op.Run(*this);
            fw::ProcessMessages();
        } catch (const std::exception& E) {
            if (std::string(E.what()) != ProbeError)
                ADD_FAILURE() << Op.Name << ", " << ActName(GetParam()) << " at call " << N << ": "
                              << E.what();
        }
        fw::ProcessMessages();
        Check(Op, N);
        DropGrid();
        if (Acted) Deepest = std::max(Deepest, N);
        return Acted;
    }

    void Check(const TOp& Op, int N) {
        const std::string Where =
            std::string(Op.Name) + ", " + ActName(GetParam()) + " at call " + std::to_string(N);
        if (!Grid) {
            // Freed by the action: gone once the operation ended.
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

    static constexpr const char* ProbeError = "probe";
    static constexpr const char* Items[] = {"Hip", "Spine", "Arm", "Leg"};
    TtsImageList* Images = nullptr;
    TtsDateTimeDefComponent* Def = nullptr;
    std::vector<std::uint8_t> Layout;
    int Deepest = 0; // the largest N at which an action ran
    const bool Trace = EnvInt("VEL_GRID_INJECT_TRACE", 0) != 0;
};

using T = InjectionTest;
void None(T&) {}

const std::vector<T::TOp>& T::Operations() {
    static const std::vector<TOp> Ops = {
        // --- User input ---
        {"click a cell", [](T& t) { t.P1 = t.At(3, 6); }, [](T& t) { t.Click(t.P1); }},
        {"shift-click a cell", [](T& t) { t.P1 = t.At(2, 5); },
         [](T& t) { t.Click(t.P1, fw::ssShift); }},
        {"double-click a cell", [](T& t) { t.P1 = t.At(1, 4); },
         [](T& t) { fw::DoubleClickAt(t.P1); }},
        {"drag a range", [](T& t) { t.P1 = t.At(1, 2), t.P2 = t.At(3, 5); },
         [](T& t) { t.Drag(t.P1, t.P2); }},
        {"drag out of the grid",
         [](T& t) { t.P1 = t.At(2, 3), t.P2 = fw::ControlPoint(t.Grid, 150, 230); },
         [](T& t) { t.Drag(t.P1, t.P2, 4); }},
        {"click the row bar", [](T& t) { t.P1 = t.At(0, 4); }, [](T& t) { t.Click(t.P1); }},
        {"click a heading", [](T& t) { t.P1 = t.At(2, 0); }, [](T& t) { t.Click(t.P1); }},
        {"right-click a cell", [](T& t) { t.P1 = t.At(1, 2); },
         [](T& t) { fw::ClickAt(t.P1, fw::mbRight); }},
        {"wheel", [](T& t) { t.P1 = t.At(1, 2); }, [](T& t) { fw::MouseWheelAt(t.P1, -240); }},
        {"move a row by the row bar",
         [](T& t) {
             t.Grid->SetOptions(t.Grid->Options() | goRowMoving);
             t.P1 = t.At(0, 4), t.P2 = fw::ControlPoint(t.Grid, 5, 230);
         },
         [](T& t) { t.Drag(t.P1, t.P2, 5); }},
        {"move a column by its heading",
         [](T& t) {
             t.Grid->SetOptions(t.Grid->Options() | goColMoving);
             t.P1 = t.At(1, 0), t.P2 = fw::ControlPoint(t.Grid, 310, 8);
         },
         [](T& t) { t.Drag(t.P1, t.P2, 5); }},
        {"size a column",
         [](T& t) {
             t.Grid->SetOptions(t.Grid->Options() | goColSizing);
             const fw::TRect R = t.Grid->CellRect(1, 0);
             t.P1 = fw::ControlPoint(t.Grid, R.Right - 1, 8);
             t.P2 = fw::ControlPoint(t.Grid, R.Right + 30, 8);
         },
         [](T& t) { t.Drag(t.P1, t.P2); }},
        {"arrow keys", None,
         [](T&) {
             for (std::uint16_t K : {fw::VK_DOWN, fw::VK_RIGHT, fw::VK_NEXT, fw::VK_UP})
                 fw::PressKey(K);
             fw::PressKey(fw::VK_DOWN, fw::ssShift);
             fw::PressKey(fw::VK_END, fw::ssCtrl);
         }},
        {"tab", None,
         [](T&) {
             fw::PressKey(fw::VK_TAB);
             fw::PressKey(fw::VK_TAB, fw::ssShift);
         }},
        {"type and Enter", [](T& t) { t.Current(1, 3); },
         [](T&) {
             fw::TypeText("bone");
             fw::PressKey(fw::VK_RETURN);
         }},
        {"type and Escape", [](T& t) { t.Current(1, 3); },
         [](T&) {
             fw::TypeText("x");
             fw::PressKey(fw::VK_ESCAPE);
         }},
        {"type and click away", [](T& t) { t.Current(1, 3), t.P1 = t.At(1, 7); },
         [](T& t) {
             fw::TypeText("x");
             t.Click(t.P1);
         }},
        {"editing keys", [](T& t) { t.Current(1, 3); },
         [](T&) {
             for (std::uint16_t K :
                  {fw::VK_F2, fw::VK_HOME, fw::VK_RIGHT, fw::VK_DELETE, fw::VK_BACK})
                 fw::PressKey(K);
             fw::PressKey(fw::VK_END, fw::ssShift);
             fw::PressKey('X', fw::ssCtrl);
             fw::PressKey('V', fw::ssCtrl);
         }},
        {"space on a check cell", [](T& t) { t.Current(4, 3); },
         [](T&) { fw::PressKey(fw::VK_SPACE); }},
        {"space on a picture cell", [](T& t) { t.Current(3, 3); },
         [](T&) { fw::PressKey(fw::VK_SPACE); }},
        {"spin button held",
         [](T& t) {
             t.Current(5, 3);
             const fw::TRect B = t.Grid->CellButtonRect();
             t.P1 = fw::ControlPoint(t.Grid, (B.Left + B.Right) / 2, B.Top + 2);
         },
         [](T& t) {
             fw::MouseDownAt(t.P1);
             for (int I = 0; I < 6; ++I)
                 fw::AdvanceClock(100);
             fw::MouseUpAt(t.P1);
         }},
        {"spin by key", [](T& t) { t.Current(5, 3); },
         [](T&) {
             fw::PressKey(fw::VK_UP);
             fw::PressKey(fw::VK_RETURN);
         }},
        {"combo by keys", [](T& t) { t.Current(2, 3); },
         [](T&) {
             fw::PressKey(fw::VK_DOWN, fw::ssAlt);
             fw::PressKey(fw::VK_DOWN);
             fw::PressKey(fw::VK_RETURN);
         }},
        {"combo by click",
         [](T& t) {
             t.Current(2, 3);
             ASSERT_TRUE(t.Grid->DropDown());
             TtsComboGrid* L = t.Grid->ActiveCombo()->Grid();
             const fw::TRect R = L->CellRect(1, 2);
             t.P1 = fw::ControlPoint(L, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
         },
         [](T& t) { t.Click(t.P1); }},
        {"combo closed by a click elsewhere",
         [](T& t) {
             t.Current(2, 3);
             ASSERT_TRUE(t.Grid->DropDown());
             t.P1 = t.At(1, 7);
         },
         [](T& t) { t.Click(t.P1); }},
        {"date by keys", [](T& t) { t.Current(6, 3); },
         [](T&) {
             fw::PressKey(fw::VK_F4);
             fw::PressKey(fw::VK_RIGHT);
             fw::PressKey(fw::VK_RETURN);
         }},
        {"date by click",
         [](T& t) {
             t.Current(6, 3);
             ASSERT_TRUE(t.Grid->DropDown());
             TtsMonthView* V = t.Grid->MonthView();
             for (int Y = V->Height() - 1; Y >= 0 && t.P1.X == 0; --Y)
                 for (int X = 0; X < V->Width(); ++X)
                     if (V->DayAt(X, Y) > 0) {
                         t.P1 = fw::ControlPoint(V, X + 2, Y - 2);
                         break;
                     }
         },
         [](T& t) { t.Click(t.P1); }},
        {"focus leaves an edit",
         [](T& t) {
             t.Current(1, 3);
             fw::TypeText("gone");
             t.Other->SetVisible(true);
         },
         [](T& t) { t.Other->SetFocus(); }},
        {"combo list keys", [](T& t) { t.Current(2, 3); },
         [](T&) {
             fw::PressKey(fw::VK_F4);
             for (std::uint16_t K : {fw::VK_END, fw::VK_PRIOR, fw::VK_NEXT, fw::VK_HOME})
                 fw::PressKey(K);
             fw::PressKey(fw::VK_TAB);
         }},
        {"date page keys and Escape", [](T& t) { t.Current(6, 3); },
         [](T&) {
             fw::PressKey(fw::VK_F4);
             fw::PressKey(fw::VK_NEXT);
             fw::PressKey(fw::VK_END);
             fw::PressKey(fw::VK_ESCAPE);
         }},
        {"click a check cell", [](T& t) { t.P1 = t.At(4, 5); }, [](T& t) { t.Click(t.P1); }},
        {"clipboard keys", [](T& t) { t.Current(1, 3), fw::SetClipboardText("clip"); },
         [](T&) {
             fw::PressKey('C', fw::ssCtrl);
             fw::PressKey('V', fw::ssCtrl);
             fw::PressKey(fw::VK_ESCAPE);
         }},
        {"paint", [](T& t) { t.Grid->SetStoreData(false); },
         [](T& t) {
             t.Grid->Invalidate();
             fw::ProcessMessages();
         }},
        // --- Program calls ---
        {"SetCurrentCell", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->SetCurrentCell(4, 9); }},
        {"EndCellEdit", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) { t.Grid->EndCellEdit(); }},
        {"UndoCellEdit", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) { t.Grid->UndoCellEdit(); }},
        {"UndoRowChanges",
         [](T& t) {
             t.Current(1, 3), fw::TypeText("x");
             t.Grid->EndCellEdit();
         },
         [](T& t) { t.Grid->UndoRowChanges(); }},
        {"SetCellValue of the current cell", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->SetCellValue(1, 3, TtsVariant(std::string("set"))); }},
        {"CellValue without storage", [](T& t) { t.Grid->SetStoreData(false); },
         [](T& t) { (void)t.Grid->CellValue(2, 2); }},
        {"SpinStep", [](T& t) { t.Current(5, 3); }, [](T& t) { t.Grid->SpinStep(1); }},
        {"StepPicture", [](T& t) { t.Current(3, 3); }, [](T& t) { t.Grid->StepPicture(1); }},
        {"DropDown", [](T& t) { t.Current(2, 3); }, [](T& t) { t.Grid->DropDown(); }},
        {"CloseDropDown", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) { t.Grid->CloseDropDown(false); }},
        {"SetDropDownSize", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) { t.Grid->SetDropDownSize(1, 2); }},
        {"StorePickedValue", [](T& t) { t.Current(2, 3); },
         [](T& t) { t.Grid->StorePickedValue(TtsVariant(std::string("Arm"))); }},
        {"current cell Paste", [](T& t) { t.Current(1, 3), fw::SetClipboardText("9"); },
         [](T& t) { t.Grid->CurrentCell().Paste(); }},
        {"current cell Cut", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->CurrentCell().CutToClipboard(true); }},
        {"current cell DeleteSelection", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->CurrentCell().DeleteSelection(); }},
        {"current cell selection", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->CurrentCell().SetSelStart(1);
             if (t.Live()) t.Grid->CurrentCell().SetSelLength(2);
         }},
        {"current cell reads without storage",
         [](T& t) { t.Grid->SetStoreData(false), t.Current(1, 3); },
         [](T& t) {
             (void)t.Grid->CurrentCell().TextExtent1();
             if (t.Live()) (void)t.Grid->CurrentCell().IsWholeTextSelected();
             if (t.Live()) (void)t.Grid->CurrentCell().PasteFits("abc");
         }},
        {"current cell SetValue", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->CurrentCell().SetValue(TtsVariant(std::string("v")), true, true); }},
        {"current cell MoveToCol", [](T& t) { t.Grid->SetGridMode(gmEditInsert), t.Current(1, 3); },
         [](T& t) { t.Grid->CurrentCell().MoveToCol(4); }},
        {"editor SetText", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->EditStrategy().Edit()->SetText("text", true, true); }},
        {"SetRows", [](T& t) { t.Current(2, 9); }, [](T& t) { t.Grid->SetRows(5); }},
        {"SetCols", [](T& t) { t.Current(5, 3); }, [](T& t) { t.Grid->SetCols(2); }},
        {"SetDisplayCol and SetDisplayRow", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SetDisplayCol(1, 4);
             if (t.Live()) t.Grid->SetDisplayRow(3, 7);
         }},
        {"hide the current lines", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->Col(1)->SetVisible(false);
             if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetVisible(false);
         }},
        {"sort the rows", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->Model().SetDisplayRows({{1, 20}, {20, 1}, {3, 4}});
         }},
        {"AssignGrid", [](T& t) { t.Current(3, 5), fw::TypeText("x"); },
         [](T& t) { t.Grid->AssignGrid(*t.Other, true); }},
        {"LoadLayout", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) {
             TMemoryStream S(t.Layout);
             t.Grid->LoadLayout(S, 1);
         }},
        {"stream component", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) {
             auto Carrier = t.Grid->CreateStreamComponent();
             TMemoryStream S(t.Layout);
             Carrier->Read(S);
             Carrier->SaveData = true;
             if (t.Live()) Carrier->Write(S);
         }},
        {"layouts in the settings store and a file",
         [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) {
             const std::string File = fw::TestPath("layout.ini"), Key = "\\Software\\Probe";
             t.Grid->SaveLayoutToSettings(Key, "Layout", File, pkGrid | pkCols, AllKinds);
             if (t.Live()) t.Grid->LoadLayoutFromSettings(Key, "Layout", File, 1);
             if (t.Live())
                 t.Grid->SaveLayoutToFile(fw::TestPath("layout.bin"), pkCols, true, AllKinds);
             if (t.Live()) t.Grid->LoadLayoutFromFile(fw::TestPath("layout.bin"), 1);
         }},
        {"CanLeaveCell", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) { t.Grid->CanLeaveCell(); }},
        {"SaveLayout", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) {
             TMemoryStream S;
             t.Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
         }},
        {"ResetColProperties", [](T& t) { t.Current(2, 3); },
         [](T& t) { t.Grid->ResetColProperties(AllKinds); }},
        {"SetStoreData", [](T& t) { t.Current(1, 3); }, [](T& t) { t.Grid->SetStoreData(false); }},
        {"SetControlType of the current column", [](T& t) { t.Current(1, 3); },
         [](T& t) { t.Grid->Col(1)->SetControlType(ctCheck); }},
        {"selections", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SelectRows(2, 4, true);
             if (t.Live()) t.Grid->SelectCols(1, 2, true);
             if (t.Live()) t.Grid->SelectCellRange(TGridRect{1, 1, 3, 3});
             if (t.Live()) t.Grid->ClearSelection();
         }},
        {"combo list rows", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) { t.Grid->Col(2)->Combo()->Grid()->SetRows(1); }},
        {"EndUpdate", [](T& t) { t.Current(1, 3), t.Grid->BeginUpdate(); },
         [](T& t) { t.Grid->EndUpdate(); }},
        {"scroll by program", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SetTopRow(6);
             if (t.Live()) t.Grid->SetLeftCol(3);
         }},
        {"SetRow of the base grid", [](T& t) { t.Current(1, 3); }, [](T& t) { t.Grid->SetRow(7); }},
        {"grid settings", [](T& t) { t.Current(1, 3), fw::TypeText("x"); },
         [](T& t) {
             t.Grid->SetGridMode(gmBrowse);
             if (t.Live()) t.Grid->SetReadOnly(true);
             if (t.Live()) t.Grid->SetGridLines(glNone);
             if (t.Live()) t.Grid->SetDrawOverlap(doDrawRowOnTop);
         }},
        {"row bar and headings", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SetRowBarOn(false);
             if (t.Live()) t.Grid->SetHeadingHeight(40);
         }},
        {"paint lock", [](T& t) { t.Current(1, 3), t.Grid->SetPaintLock(true); },
         [](T& t) { t.Grid->SetPaintLock(false); }},
        {"font and colour", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             fw::TFont F;
             F.SetSize(14);
             t.Grid->SetGridFont(F);
             if (t.Live()) t.Grid->SetGridColor(fw::clYellow);
         }},
        {"bounds and visibility", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SetBounds(0, 0, 200, 120);
             if (t.Live()) t.Grid->SetVisible(false);
         }},
        {"default sizes", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->SetDefaultColWidth(90);
             if (t.Live()) t.Grid->SetDefaultRowHeight(30);
         }},
        {"line sizes", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->Col(1)->SetWidth(120);
             if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetHeight(40);
         }},
        {"line settings of the current cell", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->Col(1)->SetButtonType(btCombo);
             if (TtsCol* C = t.Live() ? t.Grid->Col(1) : nullptr) C->SetReadOnly(true);
             if (TtsCol* C = t.Live() ? t.Grid->Col(1) : nullptr) C->SetMaxLength(2);
             if (TtsRow* R = t.Live() ? t.Grid->Row(3) : nullptr) R->SetControlType(ctCheck);
         }},
        {"cell settings of the current cell", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->Cell(1, 3).SetButtonType(btVertSpin);
             if (t.Live()) t.Grid->Cell(1, 3).SetControlType(ctCheck);
         }},
        {"AssignGrid without data", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) { t.Grid->AssignGrid(*t.Other, false); }},
        {"ResetAllProperties", [](T& t) { t.Current(6, 3), t.Grid->DropDown(); },
         [](T& t) { t.Grid->ResetAllProperties(); }},
        {"SetImageList", [](T& t) { t.Current(3, 3); },
         [](T& t) { t.Grid->SetImageList(nullptr); }},
        {"editor strategy", [](T& t) { t.Current(1, 3); },
         [](T& t) {
             t.Grid->EditStrategy().SetSelStart(1);
             if (t.Live())
                 t.Grid->EditStrategy().SetValueSelect(TtsVariant(std::string("s")), true);
         }},
        {"editor undo", [](T& t) { t.Current(1, 3), fw::TypeText("typed"); },
         [](T& t) { t.Grid->EditStrategy().Edit()->Undo(); }},
        {"combo settings while open", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) {
             TtsCombo* C = t.Grid->Col(2)->Combo();
             C->SetDropDownRows(2);
             if (t.Live() && t.Grid->Cols() >= 2 && t.Grid->Col(2)->Combo() == C) C->Reset();
         }},
        {"combo list values while open", [](T& t) { t.Current(2, 3), t.Grid->DropDown(); },
         [](T& t) {
             t.Grid->Col(2)->Combo()->Grid()->SetCellValue(1, 2, TtsVariant(std::string("Neck")));
         }},
        {"grid takes the focus back",
         [](T& t) { t.Current(1, 3), t.Other->SetVisible(true), t.Other->SetFocus(); },
         [](T& t) { t.Grid->SetFocus(); }},
    };
    return Ops;
}

TEST_P(InjectionTest, AtEveryHandlerCallOfEveryOperation) {
    const int Depth = EnvInt("VEL_GRID_INJECT_DEPTH", 4);
    const char* Only = std::getenv("VEL_GRID_INJECT_OPS");
    int Runs = 0;
    for (const TOp& Op : Operations()) {
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
                         ::testing::Values(TAct::FreeGrid, TAct::FreeCombo, TAct::FreeColumn,
                                           TAct::FreeDefinition, TAct::CutRows, TAct::NoRows,
                                           TAct::AddLines, TAct::MoveLines, TAct::HideLines,
                                           TAct::MoveCurrent, TAct::CloseDropDown, TAct::LoadLayout,
                                           TAct::EndEdit, TAct::CancelEdit, TAct::Throw));

} // namespace
} // namespace vel
