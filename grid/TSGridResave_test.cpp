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

} // namespace
} // namespace vel
