// A layout loaded into a fresh grid and saved again gives the same bytes, for
// every kind of layout and every choice of parts and kinds.
#include "GridTestEnv.h"
#include "TSCombo.h"

#include <functional>
#include <vector>

namespace vel {
namespace {

class ResaveTest : public EngineTest {
protected:
    std::vector<std::uint8_t> Save(TtsGrid& G, TtsPropKinds Parts, TtsKindSet Kinds) {
        TMemoryStream S;
        G.SaveLayout(S, Parts, false, Kinds);
        return S.Data();
    }
    // Saved, loaded into a fresh grid and saved again, twice over.
    void ExpectSameBytes(const char* What) {
        const TtsPropKinds AllParts = pkGrid | pkCols | pkRows | pkCells;
        for (TtsPropKinds Parts : {AllParts, TtsPropKinds(pkCols | pkRows | pkCells)})
            for (TtsKindSet Kinds :
                 {AllKinds, Kind(prDisplayPos) | Kind(prRowHeight) | Kind(prVisible) | Kind(prColor),
                  Kind(prColWidth) | Kind(prFont) | Kind(prCombo) | Kind(prWordWrap)}) {
                SCOPED_TRACE(std::string(What) + ", parts " + std::to_string(Parts) +
                             (Kinds == AllKinds ? ", all kinds" : ", chosen kinds"));
                std::vector<std::uint8_t> Bytes = Save(*Grid, Parts, Kinds);
                for (int Round = 0; Round < 2; ++Round) {
                    auto* Fresh = Place<TtsGrid>(0, 210, 300, 80);
                    TMemoryStream S(Bytes);
                    Fresh->LoadLayout(S, 1);
                    const std::vector<std::uint8_t> Again = Save(*Fresh, Parts, Kinds);
                    EXPECT_EQ(Again.size(), Bytes.size()) << "round " << Round;
                    EXPECT_TRUE(Again == Bytes) << "round " << Round;
                    Bytes = Again;
                    fw::Free(Fresh);
                }
            }
    }
};

TEST_F(ResaveTest, MovedRowsGiveTheSameBytes) {
    Grid->SetDisplayRow(5, 2);
    ExpectSameBytes("a moved row");
    Grid->Row(9)->SetDisplayRow(15); // through the row's own object
    Grid->SetDisplayRow(20, 1);
    ExpectSameBytes("moved rows");
}

TEST_F(ResaveTest, MovedRowsBesideSizedAndHiddenRowsGiveTheSameBytes) {
    Grid->Row(4)->SetHeight(30);
    Grid->Row(7)->SetVisible(false);
    Grid->SetDisplayRow(5, 2); // row 4 now stands at position 5
    Grid->SetDisplayRow(8, 12);
    Grid->Model().RowSelection.Select(3, true);
    ExpectSameBytes("moved, sized, hidden and selected rows");
    // Loaded twice over, each row keeps its own height.
    TtsGrid* Back = Grid;
    for (int Round = 0; Round < 2; ++Round) {
        TMemoryStream S;
        Back->SaveLayout(S, pkCols | pkRows, false, AllKinds);
        Back = Place<TtsGrid>(0, 210, 300, 80);
        S.SetPosition(0);
        Back->LoadLayout(S, 1);
    }
    EXPECT_EQ(Back->Model().RowStore().GetHeight(4), 30);
    EXPECT_EQ(Back->Model().RowStore().GetHeight(5), 14);
    EXPECT_EQ(Back->RowHeights(2), 14);
    EXPECT_EQ(Back->RowHeights(5), 30);
}

TEST_F(ResaveTest, MovedHiddenAndSizedColumnsGiveTheSameBytes) {
    Grid->SetDisplayCol(3, 1);
    Grid->Col(2)->SetVisible(false);
    Grid->Col(1)->SetWidth(90);
    Grid->Col(3)->SetHeading("Third");
    ExpectSameBytes("moved, hidden and sized columns");
}

TEST_F(ResaveTest, CellPropertiesGiveTheSameBytes) {
    Grid->Cell(1, 2).SetColor(fw::clRed);
    Grid->Cell(3, 7).SetWordWrap(wwOn);
    fw::TFont Bold;
    Bold.SetStyle(fw::fsBold);
    Grid->Cell(2, 5).SetFont(&Bold);
    Grid->SetDisplayRow(7, 3);
    Grid->SetDisplayCol(3, 2);
    ExpectSameBytes("cell properties");
}

TEST_F(ResaveTest, CombosAndFontsGiveTheSameBytes) {
    Grid->Col(2)->SetButtonType(btCombo);
    TtsComboGrid* List = Grid->Col(2)->EnsureCombo()->Grid();
    List->SetRows(2);
    List->SetCellValue(1, 1, TtsVariant(std::string("Hip")));
    Grid->Row(3)->SetButtonType(btCombo);
    Grid->Row(3)->EnsureCombo()->SetAutoSearch(asBottom);
    fw::TFont Italic;
    Italic.SetStyle(fw::fsItalic);
    Grid->Row(6)->SetFont(&Italic);
    Grid->Col(1)->HeadingFontObject().SetStyle(fw::fsBold);
    Grid->SetDisplayRow(3, 9);
    ExpectSameBytes("combos and fonts");
}

TEST(ResaveCells, AValueACellTakesAsItsDefaultLeavesNoElement) {
    // Found by fuzzing: a stored word wrap of 255 the element took as "default" left an
    // element with nothing to write, and the next save wrote an empty item for it.
    TtsGridModel G("Grid1", 3, 3);
    G.Cell(1, 3).SetWordWrap(wwOn);
    G.Cell(1, 3).Set(prWordWrap, TtsVariant(std::uint8_t{255}));
    EXPECT_EQ(G.Cell(1, 3).WordWrap(), wwDefault);
    EXPECT_EQ(G.CellProps().Element(1, 3), nullptr);
}

// Whatever a setter takes, a layout holds and loads back: pixel sizes stay within
// what a line can measure, other numbers load as they were.
TEST_F(ResaveTest, EveryValueASetterTakesLoadsBack) {
    struct TCase {
        const char* What;
        std::function<void(TtsGrid&)> Set;
        std::function<int(TtsGrid&)> Get;
        int Expected;
        bool OfTheGrid = false; // a setting of the grid record alone
    };
    auto Combo = [](TtsGrid& G) {
        G.Col(2)->SetButtonType(btCombo);
        return G.Col(2)->EnsureCombo();
    };
    fw::TFont Huge;
    Huge.SetHeight(-2000);
    const std::vector<TCase> Cases = {
        {"a wide column", [](TtsGrid& G) { G.Col(1)->SetWidth(40000); },
         [](TtsGrid& G) { return G.Col(1)->Width(); }, MaxLineExtent},
        {"a column of negative width", [](TtsGrid& G) { G.Col(1)->SetWidth(-5); },
         [](TtsGrid& G) { return G.Col(1)->Width(); }, 0},
        {"a high row", [](TtsGrid& G) { G.Row(1)->SetHeight(40000); },
         [](TtsGrid& G) { return G.Model().RowStore().GetHeight(1); }, MaxLineExtent},
        {"a row of negative height", [](TtsGrid& G) { G.Row(1)->SetHeight(-5); },
         [](TtsGrid& G) { return G.Model().RowStore().GetHeight(1); }, 0},
        {"a wide default", [](TtsGrid& G) { G.SetDefaultColWidth(40000); },
         [](TtsGrid& G) { return G.DefaultColWidth(); }, MaxLineExtent},
        {"a negative default height", [](TtsGrid& G) { G.SetDefaultRowHeight(-3); },
         [](TtsGrid& G) { return G.DefaultRowHeight(); }, 0},
        {"a wide row bar", [](TtsGrid& G) { G.SetRowBarWidth(40000); },
         [](TtsGrid& G) { return G.RowBarWidth(); }, MaxLineExtent, true},
        {"a high heading", [](TtsGrid& G) { G.SetHeadingHeight(40000); },
         [](TtsGrid& G) { return G.HeadingHeight(); }, MaxLineExtent, true},
        {"a column's huge font", [&](TtsGrid& G) { G.Col(1)->SetFont(&Huge); },
         [](TtsGrid& G) { return G.Col(1)->Font()->Height(); }, -MaxStoredFontHeight},
        {"the grid's huge font", [&](TtsGrid& G) { G.SetGridFont(Huge); },
         [](TtsGrid& G) { return G.GridFont().Height(); }, -MaxStoredFontHeight, true},
        {"a long drop-down", [&](TtsGrid& G) { Combo(G)->SetDropDownRows(5000); },
         [](TtsGrid& G) { return G.Col(2)->Combo()->DropDownRows(); },
         TtsComboGrid::MaxDropDownLines},
        {"a far value column", [&](TtsGrid& G) { Combo(G)->SetValueCol(20000); },
         [](TtsGrid& G) { return G.Col(2)->Combo()->ValueCol(); }, 20000},
        {"a negative display column", [&](TtsGrid& G) { Combo(G)->SetComboDisplayCol(-1); },
         [](TtsGrid& G) { return G.Col(2)->Combo()->ComboDisplayCol(); }, -1},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        auto* G = Place<TtsGrid>(0, 210, 300, 80);
        G->SetCols(3);
        C.Set(*G);
        for (TtsPropKinds Parts : {TtsPropKinds(pkGrid | pkCols | pkRows | pkCells),
                                   TtsPropKinds(pkCols | pkRows | pkCells)}) {
            if (C.OfTheGrid && !(Parts & pkGrid)) continue;
            TMemoryStream S;
            G->SaveLayout(S, Parts, false, AllKinds);
            auto* Back = Place<TtsGrid>(0, 210, 300, 80);
            S.SetPosition(0);
            EXPECT_NO_THROW(Back->LoadLayout(S, 1));
            EXPECT_EQ(C.Get(*Back), C.Expected);
            fw::Free(Back);
        }
        fw::Free(G);
    }
}

} // namespace
} // namespace vel
