// The stored column, row and cell collections read item by item, layouts
// that carry fonts, date-time definitions and combo lists, the whole grid's
// record with the copy a layout of chosen kinds is written from, and stored
// columns found by field name through the grid's load.
#include "GridTestEnv.h"
#include "TSCombo.h"
#include "TSGridEdit.h"
#include "TestPaths.h"

#include <cstdio>

namespace vel {
namespace {

// A collection value built by hand: items of (name, value) pairs.
using TItem = std::vector<std::pair<std::string, TtsVariant>>;
TMemoryStream CollectionOf(const std::vector<TItem>& Items) {
    TMemoryStream S;
    S.WriteI32(static_cast<std::int32_t>(Items.size()));
    for (const TItem& I : Items) {
        for (const auto& [N, V] : I)
            WriteStoredProp(S, N, V);
        WriteStoredName(S, "");
    }
    S.SetPosition(0);
    return S;
}

TtsVariant I32(int V) {
    return TtsVariant(std::int32_t{V});
}

TEST(Collections, AColumnItemWhoseNameNoColumnHasChangesNothing) {
    TtsGridModel G("Grid1", 3, 2);
    G.Col(2)->SetFieldName("Frame");
    TtsColCollection C(&G, bmFieldName);
    TMemoryStream S = CollectionOf({{{"DataCol", I32(1)},
                                     {"FieldName", TtsVariant(std::string("Gone"))},
                                     {"Col.Width", I32(11)}},
                                    {{"DataCol", I32(2)},
                                     {"FieldName", TtsVariant(std::string("frame"))},
                                     {"Col.Width", I32(22)}}});
    C.ReadItems(S);
    ASSERT_EQ(C.Count(), 2);
    EXPECT_EQ(C.ColItem(0).BoundCol(), nullptr);
    EXPECT_TRUE(C.HasScratch()); // absorbed the width of the missing column
    EXPECT_EQ(C.ColItem(1).BoundCol(), G.Col(2));
    for (int D : {1, 3})
        EXPECT_EQ(G.Col(D)->Width(), 64);
    EXPECT_EQ(G.Col(2)->Width(), 22);
    EXPECT_EQ(G.FieldPositions, (std::vector<std::int32_t>{0, 2}));
    // By data index (the default) the same items bind by their numbers.
    TtsColCollection ByIndex(&G);
    S.SetPosition(0);
    ByIndex.ReadItems(S);
    EXPECT_EQ(G.Col(1)->Width(), 11);
    EXPECT_EQ(ByIndex.ColItem(1).FieldName(), "frame");
}

TEST(Collections, ARowItemMakesItsRowObjectEvenForDefaults) {
    TtsGridModel G("Grid1", 2, 5);
    TtsPropCollection C(&G);
    auto& Item = static_cast<TtsRowItem&>(C.Add());
    EXPECT_EQ(G.RowStore().Row(3), nullptr);
    Item.SetDataRow(3);
    ASSERT_NE(G.RowStore().Row(3), nullptr);
    EXPECT_EQ(Item.Row(), G.RowStore().Row(3));
    // Outside a read, a position and a selection apply at once.
    Item.SetDisplayRow(1);
    EXPECT_EQ(G.DataRowAt(1), 3);
    Item.SetSelected(true);
    EXPECT_TRUE(G.RowSelection.IsSelected(1));
    EXPECT_TRUE(Item.Selected());
    // Read from a stream with nothing but defaults, the object goes again.
    TtsGridModel H("Grid2", 2, 5);
    TtsPropCollection R(&H);
    TMemoryStream S = CollectionOf({{{"DataRow", I32(4)}, {"Row.Height", I32(14)}}});
    R.ReadItems(S);
    EXPECT_NE(static_cast<TtsRowItem&>(R.Items(0)).Row(), nullptr);
    EXPECT_EQ(H.RowStore().Row(4), nullptr);
}

TEST(Collections, CellItemsReadOneAfterTheOtherKeepTheirOwnCells) {
    TtsGridModel G("Grid1", 3, 3);
    TtsCellCollection C(&G);
    G.IsReadingStream = true;
    TMemoryStream S = CollectionOf({{{"DataCol", I32(1)}, {"DataRow", I32(2)}},
                                    {{"DataCol", I32(3)}, {"DataRow", I32(1)}}});
    C.ReadItems(S);
    G.IsReadingStream = false;
    ASSERT_EQ(C.Count(), 2);
    EXPECT_TRUE(C.CellItem(0).OwnsCell());
    TtsCell& First = C.CellItem(0).Cell();
    TtsCell& Second = C.CellItem(1).Cell();
    EXPECT_NE(&First, &Second);
    First.SetColor(fw::clRed);
    Second.SetColor(fw::clLime);
    EXPECT_EQ(G.Cell(1, 2).Color(), fw::clRed);
    EXPECT_EQ(G.Cell(3, 1).Color(), fw::clLime);
    // Items made outside a read share one accessor, pointed at their cell on each use.
    TtsCellCollection Shared(&G);
    auto& A = static_cast<TtsCellItem&>(Shared.Add());
    auto& B = static_cast<TtsCellItem&>(Shared.Add());
    A.SetDataCol(2);
    A.SetDataRow(2);
    B.SetDataCol(2);
    B.SetDataRow(3);
    EXPECT_FALSE(A.OwnsCell());
    EXPECT_EQ(&A.Cell(), &B.Cell());
    A.Cell().SetColor(fw::clBlue);
    EXPECT_EQ(G.Cell(2, 2).Color(), fw::clBlue);
    EXPECT_EQ(G.Cell(2, 3).Color(), clNoneTs);
}

TEST(Collections, ItemsAreWrittenInPublishedOrder) {
    TtsGridModel G("Grid1", 2, 2);
    TtsCol* C = G.Col(1);
    C->SetWidth(80);
    C->SetColor(fw::clRed);
    C->SetAllowGrayed(true);
    C->SetFieldName("Name");
    fw::TFont Bold;
    Bold.SetStyle(fw::fsBold);
    C->SetFont(&Bold);
    TtsColCollection Cols(&G);
    Cols.BuildForSave();
    TMemoryStream S;
    Cols.WriteItems(S);
    S.SetPosition(0);
    ASSERT_EQ(ReadStoredCount(S), 1);
    std::vector<std::string> Names;
    ReadStoredItem(S, [&](const TtsStoredProp& P) { Names.push_back(P.Name); });
    EXPECT_EQ(Names, (std::vector<std::string>{
                         "DataCol", "FieldName", "Col.AllowGrayed", "Col.Color",
                         "Col.FieldName", "Col.Font.Name", "Col.Font.Height", "Col.Font.Style",
                         "Col.Font.Color", "Col.ParentFont", "Col.Width"}));
}

TEST(Collections, AColumnButtonIsCopiedAnewAndKeepsItsColumnInUse) {
    TtsGridModel G("Grid1", 2, 1);
    TtsCol* A = G.Col(1);
    EXPECT_TRUE(A->IsUnused());
    TtsNormalButton* B = A->EnsureButton();
    EXPECT_EQ(A->EnsureButton(), B);
    EXPECT_EQ(B->Col(), A);
    EXPECT_TRUE(A->IsDefault());
    EXPECT_FALSE(A->IsUnused());
    G.Col(2)->Assign(*A);
    ASSERT_NE(G.Col(2)->Button(), nullptr);
    EXPECT_NE(G.Col(2)->Button(), B);
    EXPECT_EQ(G.Col(2)->Button()->Col(), G.Col(2));
    A->FreeButton();
    G.Col(2)->Assign(*A);
    EXPECT_EQ(G.Col(2)->Button(), nullptr);
}

class LayoutObjectsTest : public EngineTest {
protected:
    TMemoryStream Save(TtsPropKinds Parts, TtsKindSet Kinds, bool Data = false) {
        TMemoryStream S;
        Grid->SaveLayout(S, Parts, Data, Kinds);
        S.SetPosition(0);
        return S;
    }
    TtsGrid* Fresh() {
        auto* G = Place<TtsGrid>(0, 210, 300, 80);
        G->SetStoreData(true);
        G->SetCols(3);
        G->SetRows(20);
        return G;
    }
};

TEST_F(LayoutObjectsTest, FontsDefinitionsAndCombosTravelWithTheLayout) {
    auto* Def = fw::Create<TtsDateTimeDefComponent>(Form.get());
    Def->SetName("Dates");
    fw::TFont Big;
    Big.SetName("Serif");
    Big.SetSize(14);
    Grid->Cell(2, 3).SetFont(&Big);
    Grid->Cell(3, 4).SetDateTimeDef(Def);
    Grid->Col(1)->SetDateTimeDef(Def);
    Grid->Row(5)->SetDateTimeDef(Def);
    Grid->Col(2)->HeadingFontObject().SetStyle(fw::fsItalic);
    Grid->Col(3)->SetButtonType(btCombo);
    TtsCombo* Combo = Grid->Col(3)->EnsureCombo();
    Combo->SetDropDownRows(7);
    Combo->SetCompareType(ctCaseSensitive);
    Combo->Grid()->SetRows(2);
    Combo->Grid()->SetCellValue(1, 2, TtsVariant(std::string("Knee")));
    Grid->Row(6)->SetButtonType(btCombo);
    Grid->Row(6)->EnsureCombo()->SetDropDownStyle(ddDropDownList);
    Grid->Cell(1, 7).SetButtonType(btCombo);
    Grid->Cell(1, 7).EnsureCombo()->SetAutoSearch(asBottom);
    // A combo whose line does not drop it down is not stored.
    Grid->Row(9)->EnsureCombo()->SetDropDownRows(9);
    TMemoryStream S = Save(pkCols | pkRows | pkCells, AllKinds);

    TtsGrid* G = Fresh();
    G->LoadLayout(S, 1);
    EXPECT_EQ(S.Remaining(), 0);
    ASSERT_NE(G->Cell(2, 3).Font(), nullptr);
    EXPECT_TRUE(G->Cell(2, 3).Font()->SameAs(Big));
    EXPECT_FALSE(G->Cell(2, 3).ParentFont());
    EXPECT_EQ(G->Cell(3, 4).DateTimeDef(), Def);
    EXPECT_EQ(G->Col(1)->DateTimeDef(), Def);
    EXPECT_EQ(G->Row(5)->DateTimeDef(), Def);
    ASSERT_NE(G->Col(2)->HeadingFont(), nullptr);
    EXPECT_TRUE(G->Col(2)->HeadingFont()->Style() & fw::fsItalic);
    EXPECT_FALSE(G->Col(2)->HeadingParentFont());
    TtsCombo* C = G->Col(3)->Combo();
    ASSERT_NE(C, nullptr);
    EXPECT_NE(C, Combo);
    EXPECT_EQ(C->DropDownRows(), 7);
    EXPECT_EQ(C->CompareType(), ctCaseSensitive);
    EXPECT_EQ(C->Grid()->Rows(), 2);
    EXPECT_EQ(VarToText(C->Grid()->CellValue(1, 2)), "Knee");
    EXPECT_TRUE(C->Grid()->IsDropDownList());
    ASSERT_NE(G->Row(6)->Combo(), nullptr);
    EXPECT_EQ(G->Row(6)->DropDownStyle(), ddDropDownList);
    ASSERT_NE(G->Cell(1, 7).Combo(), nullptr);
    EXPECT_EQ(G->Cell(1, 7).Combo()->AutoSearch(), asBottom); // read, not turned to asTop
    EXPECT_EQ(G->Row(9)->Combo(), nullptr);

    // A definition the loading grid cannot find leaves none; the rest still loads.
    Def->SetName("Other");
    TtsGrid* H = Fresh();
    S.SetPosition(0);
    H->LoadLayout(S, 1);
    EXPECT_EQ(H->Col(1)->DateTimeDef(), nullptr);
    EXPECT_NE(H->Col(3)->Combo(), nullptr);
    // Without the combo kind nothing of the combos is read.
    TtsGrid* K = Fresh();
    TMemoryStream Kinds = Save(pkCols, Kind(prColor) | Kind(prButtonType));
    K->LoadLayout(Kinds, 1);
    EXPECT_EQ(K->Col(3)->ButtonType(), btCombo);
    EXPECT_EQ(K->Col(3)->Combo(), nullptr);
}

TEST_F(LayoutObjectsTest, EveryCutOfARichLayoutIsRefusedCleanly) {
    Grid->Col(2)->SetButtonType(btCombo);
    TtsComboGrid* List = Grid->Col(2)->EnsureCombo()->Grid();
    List->SetRows(1);
    List->SetCellValue(1, 1, TtsVariant(std::string("Hip")));
    fw::TFont Bold;
    Bold.SetStyle(fw::fsBold);
    Grid->Cell(1, 1).SetFont(&Bold);
    Grid->Row(2)->SetHeight(30);
    const std::vector<std::uint8_t> Bytes =
        Save(pkGrid | pkCols | pkRows | pkCells, AllKinds & ~Kind(prColor), true).Data();
    TtsGrid* G = Fresh();
    for (std::size_t N = 0; N < Bytes.size(); N += 3) {
        TMemoryStream S(std::vector<std::uint8_t>(Bytes.begin(),
                                                  Bytes.begin() + static_cast<std::ptrdiff_t>(N)));
        EXPECT_THROW(G->LoadLayout(S, 1), EReadError) << "cut at " << N;
    }
    for (std::size_t I = 0; I < Bytes.size(); I += 5) {
        auto D = Bytes;
        D[I] ^= 0xFF;
        TMemoryStream S(D);
        try {
            G->LoadLayout(S, 1);
        } catch (const EReadError&) {
        } catch (const EInvalidGridOperation&) {
        }
        EXPECT_EQ(G->Model().ColStore().Count(), G->Cols() + 1);
    }
    TMemoryStream Whole(Bytes);
    G->LoadLayout(Whole, 1);
    EXPECT_EQ(G->Row(2)->Height(), 30);
    ASSERT_NE(G->Col(2)->Combo(), nullptr);
    EXPECT_EQ(VarToText(G->Col(2)->Combo()->Grid()->CellValue(1, 1)), "Hip");
}

TEST_F(LayoutObjectsTest, TheGridRecordOfChosenKindsComesFromACopy) {
    Grid->SetRowBarOn(false);
    Grid->SetGridLines(glHorzLines);
    Grid->SetCheckBoxStyle(stCross);
    Grid->Col(1)->SetWidth(100);
    Grid->Col(1)->SetColor(fw::clRed);
    Grid->Cell(2, 2).SetColor(fw::clLime);
    TtsGridStreamComponent All(static_cast<TtsStreamGrid*>(Grid));
    All.SavePropKinds = pkGrid;
    All.Kinds = AllKinds;
    TMemoryStream S;
    All.Write(S);
    EXPECT_FALSE(All.OwnsGrid()); // every kind: the grid itself
    TtsGridStreamComponent Widths(static_cast<TtsStreamGrid*>(Grid));
    Widths.SavePropKinds = pkGrid | pkCols;
    Widths.Kinds = Kind(prColWidth);
    TMemoryStream W;
    Widths.Write(W);
    ASSERT_TRUE(Widths.OwnsGrid());
    auto* Copy = dynamic_cast<TtsGrid*>(Widths.StreamGrid());
    ASSERT_NE(Copy, nullptr); // a grid of the same class
    EXPECT_FALSE(Copy->Visible());
    EXPECT_EQ(Copy->Parent(), Grid->Parent());
    EXPECT_EQ(Copy->Col(1)->Color(), clNoneTs); // only the chosen kinds stay set
    EXPECT_EQ(Copy->Col(1)->Width(), 100);
    EXPECT_EQ(Grid->Col(1)->Color(), fw::clRed); // the grid itself keeps them
    EXPECT_EQ(Widths.WrittenNames(),
              (std::vector<std::string>{"Properties", "AllProperties", "ResetProps", "Grid",
                                        "Cols", "ColProperties"}));

    TtsGrid* G = Fresh();
    W.SetPosition(0);
    G->LoadLayout(W, 0);
    EXPECT_FALSE(G->RowBarOn());
    EXPECT_EQ(G->GridLines(), glHorzLines);
    EXPECT_EQ(G->CheckBoxStyle(), stCross);
    EXPECT_EQ(G->Col(1)->Width(), 100);
    EXPECT_EQ(G->Col(1)->Color(), clNoneTs);
    // Cells are not among the parts saved: the grid brings them whole.
    EXPECT_EQ(G->Cell(2, 2).Color(), fw::clLime);
    TtsGrid* H = Fresh();
    S.SetPosition(0);
    H->LoadLayout(S, 1);
    EXPECT_EQ(H->Col(1)->Color(), fw::clRed);
    EXPECT_EQ(H->Cell(2, 2).Color(), fw::clLime);
    // The record names the grid's class first.
    TMemoryStream R;
    Grid->WriteGridRecord(R, false);
    R.SetPosition(0);
    EXPECT_EQ(R.ReadText(), "TtsGrid");
}

TEST_F(LayoutObjectsTest, StoredColumnsFollowTheirFieldNamesThroughTheLoad) {
    Grid->Col(1)->SetFieldName("Bone");
    Grid->Col(2)->SetFieldName("Frame");
    Grid->Col(3)->SetFieldName("Gone");
    Grid->Col(2)->SetWidth(90);
    Grid->Col(3)->SetWidth(33);
    TMemoryStream S = Save(pkCols, AllKinds, true);
    TtsGrid* G = Fresh();
    G->Col(1)->SetFieldName("Frame");
    G->Col(2)->SetFieldName("Key");
    G->Col(3)->SetFieldName("Bone");
    G->SetColBinding(bmFieldName);
    G->LoadLayout(S, 0);
    EXPECT_EQ(G->Col(1)->Width(), 90);
    EXPECT_EQ(G->Col(2)->Width(), 64); // no stored column is named "Key"
    EXPECT_EQ(G->Col(3)->Width(), 64);
    EXPECT_EQ(VarToText(G->CellValue(1, 4)), "r4c2"); // the values follow their names
    EXPECT_EQ(VarToText(G->CellValue(3, 4)), "r4c1");
}

TEST_F(LayoutObjectsTest, TheGridKeepsItsLayoutInTheSettingsStore) {
    const std::string File = fw::TestPath("grid-layout.ini");
    std::remove(File.c_str());
    const std::string Key = "\\HKEY_CURRENT_USER\\Software\\Velmarch\\Grids";
    Grid->Col(3)->SetWidth(77);
    Grid->SetRowBarOn(false);
    Grid->SaveLayoutToSettings(Key, "Layout", File, pkGrid | pkCols, AllKinds);
    TtsGrid* G = Fresh();
    EXPECT_FALSE(G->LoadLayoutFromSettings(Key, "Missing", File, 1));
    EXPECT_TRUE(G->LoadLayoutFromSettings(Key, "Layout", File, 1));
    EXPECT_EQ(G->Col(3)->Width(), 77);
    EXPECT_FALSE(G->RowBarOn());
    std::remove(File.c_str());
}

TEST_F(LayoutObjectsTest, AReadOnlyCurrentColumnTakesTheEditorsEditingAway) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 3));
    TtsGridEditBox* Editor = Grid->EditStrategy().Edit();
    ASSERT_TRUE(Editor->MayModify());
    Grid->Col(2)->SetReadOnly(true);
    EXPECT_FALSE(Editor->MayModify());
    Grid->Col(2)->SetReadOnly(false);
    EXPECT_TRUE(Editor->MayModify());
    Grid->Row(3)->SetReadOnly(true);
    EXPECT_FALSE(Editor->MayModify());
}

} // namespace
} // namespace vel
