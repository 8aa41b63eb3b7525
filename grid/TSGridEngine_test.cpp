// The engine's column values, line counts, borders and cell property operations.
#include "GridTestEnv.h"
#include "TSGrid.h"

#include <gtest/gtest.h>

#include <random>

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

} // namespace
} // namespace vel
