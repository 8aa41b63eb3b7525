// Grids past a million rows and sixty-five thousand columns: every value kept,
// and every layout the grid writes read back, in the settings store too.
#include "GridTestEnv.h"
#include "TSGridStream.h"
#include "TestPaths.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vel {
namespace {

class LargeGridTest : public EngineTest {
protected:
    static constexpr int FarRow = 1100000;
    static constexpr int FarCol = 70000;
    TtsGrid* Fresh() {
        auto* G = Place<TtsGrid>(0, 210, 300, 80);
        G->SetStoreData(true);
        return G;
    }
};

TEST_F(LargeGridTest, ValuesPastAMillionRowsAndSixtyFiveThousandColumnsAreKept) {
    Grid->SetRows(FarRow);
    Grid->SetCols(FarCol);
    Grid->SetCellValue(1, FarRow, TtsVariant(std::string("far row")));
    Grid->SetCellValue(FarCol, 2, TtsVariant(std::string("far column")));
    Grid->SetCellValue(FarCol, FarRow, TtsVariant(std::int32_t{42}));
    EXPECT_EQ(Stored(1, FarRow), "far row");
    EXPECT_EQ(Stored(FarCol, 2), "far column");
    EXPECT_EQ(Stored(FarCol, FarRow), "42");
    EXPECT_EQ(Stored(2, 20), "r20c2");
    // The whole layout with its values loads into a fresh grid.
    TMemoryStream S;
    Grid->SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
    TtsGrid* Other = Fresh();
    S.SetPosition(0);
    Other->LoadLayout(S, 1);
    EXPECT_EQ(Other->Rows(), FarRow);
    EXPECT_EQ(Other->Cols(), FarCol);
    EXPECT_EQ(VarToText(Other->CellValue(1, FarRow)), "far row");
    EXPECT_EQ(VarToText(Other->CellValue(FarCol, 2)), "far column");
    EXPECT_EQ(VarToText(Other->CellValue(FarCol, FarRow)), "42");
    EXPECT_EQ(VarToText(Other->CellValue(3, 7)), "r7c3");
}

TEST_F(LargeGridTest, AWideGridsColumnLayoutLoadsBack) {
    Grid->SetCols(20000);
    Grid->Col(19999)->SetWidth(33);
    TMemoryStream S;
    Grid->SaveLayout(S, pkCols, false, AllKinds);
    Grid->SetCols(3);
    S.SetPosition(0);
    Grid->LoadLayout(S, 1);
    EXPECT_EQ(Grid->Cols(), 20000);
    EXPECT_EQ(Grid->Col(19999)->Width(), 33);
}

TEST_F(LargeGridTest, AFullGridsInsertRowKeepsItsValueAndGrowsNoFurther) {
    Grid->SetRows(MaxGridRows);
    Grid->SetGridMode(gmEditInsert);
    Focus();
    fw::PressKey(fw::VK_END, fw::ssCtrl);
    ASSERT_EQ(Grid->CurrentDataRow(), MaxGridRows);
    fw::TypeText("x");
    EXPECT_NO_THROW(fw::PressKey(fw::VK_RETURN));
    EXPECT_EQ(Stored(Grid->CurrentDataCol(), MaxGridRows), "x");
    EXPECT_EQ(Grid->Rows(), MaxGridRows);
}

TEST_F(LargeGridTest, CountsPastTheGridsLimitsAreRefusedAndChangeNothing) {
    for (auto Set : {&TtsGrid::SetRows, &TtsGrid::SetCols}) {
        const int Most = Set == &TtsGrid::SetRows ? MaxGridRows : MaxGridCols;
        try {
            (Grid->*Set)(Most + 1);
            ADD_FAILURE() << "a count past " << Most << " must be refused";
        } catch (const EInvalidGridOperation& E) {
            EXPECT_NE(std::string(E.what()).find("Grid too large for operation"), std::string::npos);
        }
        EXPECT_EQ(Grid->Rows(), 20);
        EXPECT_EQ(Grid->Cols(), 3);
        EXPECT_EQ(Grid->RowCount(), 21);
        EXPECT_EQ(Grid->ColCount(), 4);
    }
    EXPECT_THROW(TtsGridModel("Wide", MaxGridCols + 1, 1), EInvalidGridOperation);
    // A layout asking for more is refused the same way.
    TtsGridModel A("Grid1", 2, 2);
    TMemoryStream S;
    SaveLayout(A, S, pkCols | pkRows, false, AllKinds);
    auto Bytes = S.Data();
    const std::int32_t Past = MaxGridRows + 1;
    const auto At = std::search(Bytes.begin(), Bytes.end(), std::begin("Rows"), std::end("Rows") - 1);
    ASSERT_NE(At, Bytes.end());
    std::memcpy(&*(At + 5), &Past, 4); // past the name and the type byte
    TMemoryStream Bad(Bytes);
    TtsGridModel B("Grid2", 1, 1);
    EXPECT_THROW(LoadLayout(B, Bad, 1), EReadError);
    EXPECT_EQ(B.Rows(), 1);
}

TEST(LargeLayout, AGridAtItsLimitsWritesALayoutItReadsBack) {
    // The counts alone (each line's own part is read as in any smaller grid).
    TtsGridModel A("Grid1", MaxGridCols, 1);
    A.Col(MaxGridCols)->SetWidth(7);
    TMemoryStream S;
    SaveLayout(A, S, pkCols, false, Kind(prColWidth));
    A.SetCols(1);
    A.SetRows(MaxGridRows);
    SaveLayout(A, S, pkRows, false, Kind(prColor));
    TtsGridModel B("Grid2", 1, 1);
    S.SetPosition(0);
    LoadLayout(B, S, 1);
    EXPECT_EQ(B.Cols(), MaxGridCols);
    EXPECT_EQ(B.Col(MaxGridCols)->Width(), 7);
    LoadLayout(B, S, 1);
    EXPECT_EQ(B.Rows(), MaxGridRows);
}

TEST(LargeLayout, ALayoutOfMoreThanSixtyFourMegabytesLoadsBack) {
    // Values of a megabyte each: the layout is what they weigh.
    std::vector<std::uint8_t> Bytes;
    {
        TtsGridModel A("Grid1", 1, 70);
        A.SetStoreData(true);
        for (int R = 1; R <= 70; ++R)
            A.Storage()->SetValue(1, R, tagText, std::string(1u << 20, static_cast<char>('a' + R % 26)));
        TMemoryStream S;
        SaveLayout(A, S, pkCols | pkRows, true, AllKinds);
        Bytes = S.Data();
    }
    ASSERT_GT(Bytes.size(), std::size_t{64} << 20);
    TtsGridModel B("Grid2", 1, 1);
    B.SetStoreData(true);
    {
        TMemoryStream S(std::move(Bytes));
        LoadLayout(B, S, 1);
    }
    EXPECT_EQ(B.Rows(), 70);
    const TtsVariant Last = B.Storage()->GetValue(1, 70);
    ASSERT_TRUE(std::holds_alternative<std::string>(Last));
    EXPECT_EQ(std::get<std::string>(Last), std::string(1u << 20, 'a' + 70 % 26));
}

TEST(LargeLayout, ALayoutTooLargeForTheSettingsStoreIsRefusedAndTheStoreKept) {
    const std::string File = fw::TestPath("large-layout.ini");
    std::remove(File.c_str());
    const std::string Key = "Software\\Orrendale\\Velmarch\\Sheet";
    TtsGridModel Small("Grid1", 2, 2);
    Small.Col(2)->SetWidth(33);
    SaveLayoutToSettings(Small, Key, "Small", File, pkCols, AllKinds);
    // Field names of 100 KB in 45 columns (each written twice): some 9 MB of layout,
    // twice that as text.
    TtsGridModel Big("Grid2", 45, 1);
    for (int C = 1; C <= 45; ++C)
        Big.Col(C)->SetFieldName(std::string(100000, static_cast<char>('a' + C % 26)));
    EXPECT_THROW(SaveLayoutToSettings(Big, Key, "Layout", File, pkCols, AllKinds),
                 ERegistryException);
    TtsGridModel Back("Grid3", 2, 2);
    EXPECT_FALSE(LoadLayoutFromSettings(Back, Key, "Layout", File, 1));
    EXPECT_TRUE(LoadLayoutFromSettings(Back, Key, "Small", File, 1));
    EXPECT_EQ(Back.Col(2)->Width(), 33);
    std::remove(File.c_str());
}

TEST(LargeStorage, CellsAtAnyColumnAndRowAreKeptAndStreamed) {
    Tts2DStorage St(0, 0);
    St.SetValue(70000, 1, tagInteger, std::int32_t{7});
    St.SetValue(2, 1100000, tagText, std::string("far"));
    EXPECT_EQ(std::get<std::int32_t>(St.GetValue(70000, 1)), 7);
    EXPECT_EQ(std::get<std::string>(St.GetValue(2, 1100000)), "far");
    TMemoryStream S;
    St.SaveToStream(S);
    // Read as a grid of that many rows reads it.
    Tts2DStorage Back(0, 0);
    S.SetPosition(0);
    Back.LoadFromStream(S, nullptr, 1100000);
    EXPECT_EQ(std::get<std::int32_t>(Back.GetValue(70000, 1)), 7);
    EXPECT_EQ(std::get<std::string>(Back.GetValue(2, 1100000)), "far");
    // Without a row count, every row a storage keeps reads back, the largest grid's last
    // too; past it no row is kept (and a stream naming one is refused).
    St.SetValue(1, MaxGridRows, tagInteger, std::int32_t{8});
    St.SetValue(1, Tts2DStorage::MaxStoredRow + 1, tagInteger, std::int32_t{9});
    EXPECT_EQ(St.LastUsedRow(), MaxGridRows);
    TMemoryStream All;
    St.SaveToStream(All);
    All.SetPosition(0);
    Tts2DStorage Bare(0, 0);
    Bare.LoadFromStream(All, nullptr);
    EXPECT_EQ(std::get<std::string>(Bare.GetValue(2, 1100000)), "far");
    EXPECT_EQ(std::get<std::int32_t>(Bare.GetValue(1, MaxGridRows)), 8);
}

} // namespace
} // namespace vel
