// A randomised workout of the grid: a user and a program drive it (clicks,
// drags, keys, drop-downs, edits, sorting, layouts, AssignGrid) while every
// event of the grid, of its combo list and of its editor answers with
// handlers that change counts, move, hide and free lines, free combos, image
// lists and definitions, load layouts and throw. After each step the grid
// must be whole: current cell and anchor inside, display order mapping both
// ways, values read back, no lock held. ASan and UBSan watch the rest.
//
// The suite runs a few seeds; VEL_GRID_WORKOUT_SEEDS=N (or FIRST:N) runs
// more, VEL_GRID_WORKOUT_STEPS the steps of each, VEL_GRID_WORKOUT_ODDS the
// percent of handler calls that change the grid (docs/grid.md).
#include "GridInvariants.h"
#include "GridTestEnv.h"
#include "ScopeExit.h"
#include "Streams.h"
#include "TSCombo.h"
#include "TSGridEdit.h"
#include "TSGridStream.h"
#include "TSShared.h"
#include "Timers.h"

#include <cstdlib>
#include <map>
#include <random>
#include <stdexcept>
#include <string>

namespace vel {
namespace {

int EnvInt(const char* Name, int Default) {
    const char* V = std::getenv(Name);
    return V && *V ? std::atoi(V) : Default;
}

class WorkoutTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Other = PlaceOtherGrid(Form.get(), 210);
        Other->SetVisible(false);
        Grid->SetCols(6);
        Arrange();
        Layout = WholeLayout(*Grid);
        Focus();
    }

    // Column kinds, a combo with items, an image list and a date-time definition;
    // the handlers on every event.
    void Arrange() {
        // Quiet handlers while the grid is set up.
        const int Was = std::exchange(Odds, 0);
        fw::TScopeExit Restore([this, Was] { Odds = Was; });
        if (Grid->Cols() < 6) Grid->SetCols(6);
        if (Grid->Rows() < 4) Grid->SetRows(20);
        Grid->Col(2)->SetButtonType(btCombo);
        if (TtsCombo* C = Grid->Col(2)->EnsureCombo()) {
            TtsComboGrid* L = C->Grid();
            L->SetRows(4);
            for (int R = 1; R <= 4; ++R)
                L->SetCellValue(1, R, TtsVariant(std::string(Items[R - 1])));
            L->OnCellChanged = [this](auto&&...) { Answer("list cell"); };
            L->OnRowChanged = [this](auto&&...) { Answer("list row"); };
            L->SetCompareType(ctOwn);
            L->OnCompare = [this](const std::string& A, const std::string& B) {
                Answer("compare");
                return A.compare(B);
            };
        }
        if (!Images) {
            Images = fw::Create<TtsImageList>(Form.get());
            for (const char* N : {"Off", "On"}) Images->Images().Add()->SetName(N);
        }
        Grid->SetImageList(Images);
        Grid->Col(3)->SetControlType(ctPicture);
        Grid->Col(4)->SetControlType(ctCheck);
        Grid->Col(5)->SetButtonType(btVertSpin);
        Grid->Col(5)->SetSpinOptions(spoAutoIncrement | spoKeyEdit);
        if (!Def) Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
        Grid->Col(6)->SetButtonType(btDateTimeDropDown);
        Grid->Col(6)->SetDateTimeDef(Def);
        auto* Editor = dynamic_cast<TtsGridEditBox*>(Grid->EditStrategy().Control());
        Editor->OnTextChange = [this](fw::TObject*) { Answer("text"); };
        Editor->OnSelChange = [this](fw::TObject*) { Answer("selection"); };
        Grid->OnCheckValue = [this](auto&&...) { Answer("check"); };
        Grid->OnStartCellEdit = [this](auto&&...) { Answer("start"); };
        Grid->OnEndCellEdit = [this](auto&&...) { Answer("end"); };
        Grid->OnCanLeaveCell = [this](auto&&...) { Answer("leave"); };
        Grid->OnCellChanged = [this](auto&&...) { Answer("cell"); };
        Grid->OnRowChanged = [this](auto&&...) { Answer("row"); };
        Grid->OnColMoved = [this](auto&&...) { Answer("col moved"); };
        Grid->OnHeadingClick = [this](auto&&...) { Answer("heading"); };
        Grid->OnSelectChanged = [this](auto&&...) { Answer("select"); };
        // Without its own storage the grid asks for values and hands edits over.
        Grid->OnCellLoaded = [this](fw::TObject*, int C, int R, TtsVariant& V) {
            Answer("loaded");
            if (auto It = Data.find({C, R}); It != Data.end()) V = It->second;
        };
        Grid->OnCellEdit = [this](fw::TObject*, int C, int R, const TtsVariant& V) {
            Answer("edit");
            Data[{C, R}] = VarToText(V);
        };
    }

    int Rand(int N) { return N <= 0 ? 0 : static_cast<int>(Rng() % static_cast<unsigned>(N)); }
    bool Chance(int Percent) { return Rand(100) < Percent; }

    // A handler: now and then it changes the grid under the call that fired it.
    void Answer(const char* Event) {
        if (Depth > 0 || !Chance(Odds)) return;
        ++Depth;
        struct Leave {
            int& D;
            ~Leave() { --D; }
        } L{Depth};
        Trace = Event;
        Mutate();
    }

    void Mutate() {
        ++Mutations;
        switch (Rand(16)) {
        case 0: Grid->SetRows(Rand(30)); break;
        case 1: Grid->SetCols(Rand(9)); break;
        case 2:
            if (Grid->Cols() > 0) Grid->SetDisplayCol(1 + Rand(Grid->Cols()), 1 + Rand(Grid->Cols()));
            break;
        case 3:
            if (Grid->Rows() > 0) Grid->SetDisplayRow(1 + Rand(Grid->Rows()), 1 + Rand(Grid->Rows()));
            break;
        case 4:
            if (Grid->Cols() > 0) {
                TtsCol* C = Grid->Col(1 + Rand(Grid->Cols()));
                C->SetVisible(!C->Visible());
            }
            break;
        case 5:
            if (Grid->Rows() > 0) {
                TtsRow* R = Grid->Row(1 + Rand(Grid->Rows()));
                R->SetVisible(!R->Visible());
            }
            break;
        case 6:
            if (Grid->Cols() >= 2) Grid->Col(2)->SetParentCombo(true);
            break;
        case 7:
            fw::Free(std::exchange(Images, nullptr));
            break;
        case 8:
            fw::Free(std::exchange(Def, nullptr));
            break;
        case 9: LoadLayout(); break;
        case 10: throw std::runtime_error("handler refused");
        case 11: Grid->ResetColProperties(AllKinds); break;
        case 12: Grid->ResetRowProperties(AllKinds); break;
        case 13:
            if (Grid->Cols() >= 2)
                if (TtsCombo* C = Grid->Col(2)->Combo()) C->Grid()->SetRows(Rand(6));
            break;
        case 14: Grid->CloseDropDown(Chance(50)); break;
        default: Grid->AssignGrid(*Other, Chance(50)); break;
        }
    }

    void LoadLayout() {
        TMemoryStream S(Layout);
        Grid->LoadLayout(S, 1);
    }

    fw::TPoint PointAt(int DisplayCol, int DisplayRow) {
        fw::TRect R = Grid->CellRect(DisplayCol, DisplayRow);
        if (R.Right <= R.Left || R.Bottom <= R.Top) R = {20, 20, 21, 21};
        return fw::ControlPoint(Grid, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    int AnyCol() { return Rand(Grid->Cols() + 1); }
    int AnyRow() { return Rand(std::min(Grid->Rows(), 14) + 1); }

    void Type() {
        static const char* Texts[] = {"x", "ab", "Hip", "Arm", "7", " "};
        std::string T = Texts[Rand(6)];
        const bool DateCell = Grid->Cols() > 0 && Grid->Rows() > 0 && Grid->Current().X >= 1 &&
                              Grid->Current().Y >= 1 &&
                              Grid->Model().EffectiveButtonType(Grid->CurrentDataCol(),
                                                                Grid->CurrentDataRow()) ==
                                  btDateTimeDropDown;
        // Long digit runs in a date cell overflow the calendar (kept apart below).
        if (DateCell && !DateNumbers && T == "7") T = "d";
        fw::TypeText(T);
    }

    void Step() {
        static const std::uint16_t Keys[] = {fw::VK_LEFT, fw::VK_RIGHT, fw::VK_UP,    fw::VK_DOWN,
                                             fw::VK_TAB,  fw::VK_RETURN, fw::VK_ESCAPE, fw::VK_F4,
                                             fw::VK_SPACE, fw::VK_PRIOR, fw::VK_NEXT,  fw::VK_HOME,
                                             fw::VK_END,  fw::VK_F2};
        switch (Rand(21)) {
        case 0:
        case 1: fw::PressKey(Keys[Rand(14)], Chance(20) ? fw::ssShift : 0); break;
        case 2: fw::PressKey(Keys[Rand(14)], Chance(50) ? fw::ssCtrl : fw::ssAlt); break;
        case 3: fw::PressKey(fw::VK_DOWN, fw::ssAlt); break;
        case 4:
        case 5: Type(); break;
        case 6:
            fw::AdvanceClock(1000);
            fw::ClickAt(PointAt(AnyCol(), AnyRow()), fw::mbLeft, Chance(20) ? fw::ssShift : 0);
            break;
        case 7: {
            // A drag, now and then out of the grid with the clock running: a timed scroll.
            fw::AdvanceClock(1000);
            fw::MouseDownAt(PointAt(AnyCol(), AnyRow()));
            fw::MouseMoveTo(PointAt(AnyCol(), AnyRow()));
            if (Chance(50)) {
                fw::MouseMoveTo(fw::ControlPoint(Grid, Chance(50) ? -20 : 400, Chance(50) ? -20 : 230));
                for (int I = 0; I < 3; ++I) fw::AdvanceClock(70);
            }
            fw::MouseUpAt(PointAt(AnyCol(), AnyRow()));
            break;
        }
        case 8:
            // A drop-down and a pick by key or by mouse.
            if (Grid->DropDown() && Grid->IsComboDropped() && Chance(50) && Grid->ActiveCombo()) {
                TtsComboGrid* L = Grid->ActiveCombo()->Grid();
                const fw::TRect R = L->CellRect(1, 1 + Rand(3));
                fw::ClickAt(fw::ControlPoint(L, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2));
            } else {
                fw::PressKey(fw::VK_DOWN);
                fw::PressKey(Chance(70) ? fw::VK_RETURN : fw::VK_ESCAPE);
            }
            break;
        case 9:
            if (Grid->Cols() > 0 && Grid->Rows() > 0)
                Grid->SetCurrentCell(1 + Rand(Grid->Cols()), 1 + Rand(Grid->Rows()));
            break;
        case 10: Sort(); break;
        case 11: {
            TMemoryStream S;
            Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, Chance(50), AllKinds);
            if (Chance(50)) Layout = S.Data();
            if (Chance(50)) LoadLayout();
            break;
        }
        case 12: Grid->AssignGrid(*Other, Chance(50)); break;
        case 13: ReadBack(); break;
        case 14: Grid->SpinStep(Chance(50) ? 1 : -1); break;
        case 15: Grid->CurrentCell().Paste(); break;
        case 16:
            if (Chance(30)) Grid->SetRows(1 + Rand(30));
            if (Chance(30)) Grid->SetCols(Rand(9));
            break;
        case 17: fw::ClickAt(PointAt(AnyCol(), 0)); break;
        case 18: fw::ClickAt(PointAt(0, AnyRow()), fw::mbLeft, Chance(30) ? fw::ssShift : 0); break;
        case 19:
            if (Chance(25)) Grid->SetStoreData(!Grid->StoreData());
            else Arrange();
            break;
        default: Arrange(); break;
        }
        fw::ProcessMessages();
        if (Chance(10)) (void)Picture();
    }

    // Rows ordered by their first column's text, as a program sorts them.
    void Sort() {
        std::vector<std::pair<std::string, int>> Keys;
        for (int R = 1; R <= Grid->Rows(); ++R)
            Keys.emplace_back(Grid->Cols() > 0 ? VarToText(Grid->CellValue(1, R)) : "", R);
        std::stable_sort(Keys.begin(), Keys.end());
        if (Chance(50)) std::reverse(Keys.begin(), Keys.end());
        std::vector<std::pair<int, int>> Positions;
        for (std::size_t D = 0; D < Keys.size(); ++D)
            Positions.emplace_back(Keys[D].second, static_cast<int>(D) + 1);
        Grid->Model().SetDisplayRows(Positions);
    }

    // A value set reads back unless a handler changed the grid meanwhile.
    void ReadBack() {
        if (Grid->Cols() <= 0 || Grid->Rows() <= 0) return;
        const int C = 1 + Rand(Grid->Cols()), R = 1 + Rand(Grid->Rows());
        const std::string V = "v" + std::to_string(Rand(1000));
        const int Before = Mutations;
        Grid->SetCellValue(C, R, TtsVariant(V));
        if (Mutations == Before) {
            EXPECT_EQ(Stored(C, R), V) << Where();
        }
    }

    std::string Where() const {
        return "seed " + std::to_string(Seed) + " step " + std::to_string(StepNo) + " after " +
               Trace;
    }

    // The grid is whole after every step, whatever its handlers did.
    void Check() {
        const std::string W = Where();
        const int Was = std::exchange(Odds, 0);
        fw::TScopeExit Restore([this, Was] { Odds = Was; });
        ASSERT_TRUE(GridIsWhole(*Grid)) << W;
    }

    void Run(unsigned S, int Steps) {
        Seed = S;
        Rng.seed(S);
        for (StepNo = 0; StepNo < Steps; ++StepNo) {
            Trace = "-";
            try {
                Step();
            } catch (const std::exception&) {
                // A handler threw: the step ends, the grid stays whole.
            }
            Check();
            if (HasFatalFailure()) return;
            if (Grid->Cols() < 2 || Grid->Rows() < 2 ? Chance(30) : Chance(2)) Arrange();
        }
        Grid->OnCanLeaveCell = nullptr;
        Grid->OnCellChanged = nullptr;
    }

    static constexpr const char* Items[] = {"Hip", "Spine", "Arm", "Leg"};
    TtsGrid* Other = nullptr;
    TtsImageList* Images = nullptr;
    TtsDateTimeDefComponent* Def = nullptr;
    std::vector<std::uint8_t> Layout;
    std::map<std::pair<int, int>, std::string> Data;
    std::mt19937 Rng;
    unsigned Seed = 0;
    int StepNo = 0;
    int Depth = 0;
    int Mutations = 0;
    int Odds = EnvInt("VEL_GRID_WORKOUT_ODDS", 12); // percent of handler calls that change the grid
    const char* Trace = "-";
    // Fault kept apart for its own mend: digits typed into a date cell.
    bool DateNumbers = EnvInt("VEL_GRID_WORKOUT_DATE_NUMBERS", 0) != 0;
};

TEST_F(WorkoutTest, HandlersChangeTheGridUnderEveryKindOfStep) {
    const char* Spec = std::getenv("VEL_GRID_WORKOUT_SEEDS");
    unsigned First = 1;
    int Count = 5;
    if (Spec && *Spec) {
        const std::string S = Spec;
        const auto Colon = S.find(':');
        if (Colon == std::string::npos) {
            Count = std::atoi(S.c_str());
        } else {
            First = static_cast<unsigned>(std::atoi(S.substr(0, Colon).c_str()));
            Count = std::atoi(S.substr(Colon + 1).c_str());
        }
    }
    const int Steps = EnvInt("VEL_GRID_WORKOUT_STEPS", 300);
    for (int I = 0; I < Count; ++I) {
        SCOPED_TRACE("seed " + std::to_string(First + static_cast<unsigned>(I)));
        if (I > 0) {
            // Each seed starts from the same grid.
            const int Was = std::exchange(Odds, 0);
            try {
                LoadLayout();
            } catch (const std::exception&) {
            }
            Odds = Was;
            Arrange();
        }
        Run(First + static_cast<unsigned>(I), Steps);
        if (HasFatalFailure()) return;
    }
}

} // namespace
} // namespace vel
