#include "Grids_ts.h"
#include "TSGridData.h"
#include "TSShared.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

// Records what the model asks of the window half.
struct TRecordingLink : TtsGridLink {
    std::vector<int> Cols, Rows;
    std::vector<std::pair<int, int>> Cells;
    std::vector<std::pair<int, int>> Masks;
    int CurrentCol = -1, CurrentRow = -1, Updates = 0;
    bool Locked = false, MayLeave = true;
    bool IsPaintLocked() const override { return Locked; }
    bool InvalidateCol(int c) override {
        Cols.push_back(c);
        return true;
    }
    bool InvalidateRow(int r) override {
        Rows.push_back(r);
        return true;
    }
    bool InvalidateDisplayCell(int c, int r) override {
        Cells.emplace_back(c, r);
        return true;
    }
    int CurrentDisplayCol() const override { return CurrentCol; }
    int CurrentDisplayRow() const override { return CurrentRow; }
    void UpdateCellControl(bool) override { ++Updates; }
    bool CanLeaveCell() override { return MayLeave; }
    void MaskChanged(int c, int r) override { Masks.emplace_back(c, r); }
};

TEST(Properties, CellFallsThroughToColumnRowAndGrid) {
    TtsGridModel g("Grid1", 4, 5);
    g.Color = fw::clWindow;
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::clWindow);
    g.Row(3)->SetColor(fw::RGB(0, 0, 255));
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(0, 0, 255));
    g.Col(2)->SetColor(fw::RGB(255, 0, 0));
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(255, 0, 0)); // column on top by default
    g.DrawOverlap = doDrawRowOnTop;
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(0, 0, 255));
    g.Cell(2, 3).SetColor(fw::RGB(0, 255, 0));
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(0, 255, 0));
    g.Cell(2, 3).SetColor(clNoneTs);
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(0, 0, 255));
    g.Row(3)->SetColor(clNoneTs);
    EXPECT_EQ(g.EffectiveColor(2, 3), fw::RGB(255, 0, 0));
    EXPECT_EQ(g.EffectiveColor(1, 3), fw::clWindow);
}

TEST(Properties, DefaultsAtEveryLevelGiveTheGridsSetting) {
    TtsGridModel g("Grid1", 3, 3);
    EXPECT_EQ(g.EffectiveControlType(1, 1), ctText);
    EXPECT_EQ(g.EffectiveControlType(9, 1), ctNone);
    g.Row(2)->SetControlType(ctCheck);
    EXPECT_EQ(g.EffectiveControlType(1, 2), ctCheck);
    g.Cell(1, 2).SetControlType(ctPicture);
    EXPECT_EQ(g.EffectiveControlType(1, 2), ctPicture);
    g.Col(3)->SetWordWrap(wwOn);
    EXPECT_EQ(g.EffectiveWordWrap(3, 1), wwOn);
    EXPECT_EQ(g.EffectiveWordWrap(2, 1), wwOff);
    EXPECT_EQ(g.EffectivePictureOption(1, 1, 1), dopDefault);
    g.Col(1)->SetPictureOption(1, dopOn);
    EXPECT_EQ(g.EffectivePictureOption(1, 1, 1), dopOn);
    g.Cell(1, 1).SetReadOnly(roOff);
    g.Col(1)->SetReadOnly(true);
    EXPECT_FALSE(g.EffectiveReadOnly(1, 1)); // the cell's own answer wins
    EXPECT_TRUE(g.EffectiveReadOnly(1, 2));
}

TEST(Properties, LegacyAlignmentAndHorizontalAlignmentAgree) {
    TtsGridModel g("Grid1", 2, 2);
    TtsCol* c = g.Col(1);
    c->SetHorzAlignment(htaCenter);
    EXPECT_EQ(c->Alignment(), 2);
    EXPECT_TRUE(c->AlignFlag());
    c->SetAlignFlag(false);
    EXPECT_EQ(c->HorzAlignment(), htaDefault);
    c->SetAlignment(1);
    c->SetAlignFlag(true);
    EXPECT_EQ(c->HorzAlignment(), htaRight);
}

TEST(Properties, ColumnSettersRepaintAndValidate) {
    TRecordingLink link;
    TtsGridModel g("Grid1", 3, 3, &link);
    link.CurrentCol = 2;
    g.Col(2)->SetColor(fw::RGB(1, 2, 3));
    EXPECT_EQ(link.Cols, std::vector<int>{2});
    EXPECT_EQ(link.Updates, 1);
    g.Col(2)->SetColor(fw::RGB(1, 2, 3)); // same value: nothing
    EXPECT_EQ(link.Cols.size(), 1u);
    link.Locked = true;
    g.Col(1)->SetColor(0);
    EXPECT_EQ(link.Cols.size(), 1u);
    g.Col(1)->SetMaxLength(-5);
    EXPECT_EQ(g.Col(1)->MaxLength(), 0);
    g.Col(1)->SetHeading("Na&me");
    EXPECT_EQ(g.Col(1)->HeadingAccelPos(), 3);
    g.Col(1)->SetFieldName("First Name");
    g.Col(1)->SetHeading("");
    EXPECT_EQ(g.Col(1)->Heading(), "First Name");
    g.Col(1)->SetFieldName("");
    g.Col(1)->SetHeading("Last Name");
    EXPECT_EQ(g.Col(1)->GetExportFieldName(), "Last_Name");
    try {
        g.Col(1)->SetCheckBoxValues("Yes");
        FAIL();
    } catch (const EInvalidGridOperation& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Grid1: Invalid CheckBoxValues.", 0), 0u);
    }
    EXPECT_EQ(g.Col(1)->CheckBoxValues(), "");
    g.Col(1)->SetCheckBoxValues("Yes|No");
    EXPECT_EQ(g.Col(1)->CheckBoxValues(), "Yes|No");
}

TEST(Properties, HidingAColumnUpdatesVisibleListWidthAndSelection) {
    TRecordingLink link;
    TtsGridModel g("Grid1", 5, 2, &link);
    g.ColSelection.Select(3, true);
    g.Col(3)->SetVisible(false);
    EXPECT_FALSE(g.VisibleCols.Contains(3));
    EXPECT_EQ(g.VisibleCols.ItemCount(), 4);
    EXPECT_EQ(g.ColWidthAt(3), 0);
    EXPECT_FALSE(g.ColSelection.IsSelected(3));
    g.Col(3)->SetVisible(true);
    EXPECT_TRUE(g.VisibleCols.Contains(3));
    EXPECT_EQ(g.ColWidthAt(3), 64);
    link.CurrentCol = 2;
    link.MayLeave = false;
    g.Col(2)->SetVisible(false); // the current cell may not be left
    EXPECT_TRUE(g.Col(2)->Visible());
}

TEST(Properties, ResetPutsChosenKindsBack) {
    TtsGridModel g("Grid1", 2, 2);
    g.Col(1)->SetColor(5);
    g.Col(1)->SetReadOnly(true);
    g.Row(1)->SetColor(5);
    g.ResetColProperties(Kind(prColor));
    EXPECT_EQ(g.Col(1)->Color(), clNoneTs);
    EXPECT_TRUE(g.Col(1)->ReadOnly());
    g.ResetRowProperties(AllKinds);
    EXPECT_EQ(g.RowStore().Row(1), nullptr); // back at defaults: freed
}

TEST(CellProps, ElementsComeAndGoWithOverrides) {
    TRecordingLink link;
    TtsGridModel g("Grid1", 3, 3, &link);
    TtsCellPropSet& set = g.CellProps();
    EXPECT_FALSE(set.SetProperty({1, 1}, true, 0, prColor, TtsVariant(std::int32_t{clNoneTs})));
    EXPECT_EQ(set.Count(), 0);
    const auto gen = set.Generation();
    EXPECT_TRUE(set.SetProperty({1, 2}, true, 0, prColor, TtsVariant(std::int32_t{7})));
    EXPECT_EQ(set.Count(), 1);
    EXPECT_NE(set.Generation(), gen); // caches of the last cell look-up must not answer
    EXPECT_EQ(link.Cells.back(), std::make_pair(1, 2));
    ASSERT_NE(set.RowsOfCol().Get(1), nullptr);
    EXPECT_NE(set.RowsOfCol().Get(1)->Find(2), nullptr);
    EXPECT_TRUE(set.SetProperty({1, 2}, true, 0, prColor, TtsVariant(std::int32_t{clNoneTs})));
    EXPECT_EQ(set.Count(), 0);
    EXPECT_EQ(set.RowsOfCol().Get(1), nullptr);
    EXPECT_TRUE(VarIsEmpty(set.GetProperty(1, 1, prPictureOption, 5)));
    EXPECT_FALSE(set.SetProperty({1, 1}, true, 5, prPictureOption, TtsVariant(std::uint8_t{0})));
    g.Cell(2, 2).SetMaskName("mask");
    EXPECT_EQ(link.Masks.back(), std::make_pair(2, 2));
}

TEST(CellProps, ResetByKindAndSelectionKindChangesNothing) {
    TtsGridModel g("Grid1", 3, 3);
    g.Cell(1, 1).SetColor(3);
    g.Cell(1, 1).SetIs3D(true);
    g.Cell(2, 1).SetWordWrap(wwOn);
    g.ResetCellProperties(Kind(prColSelected));
    EXPECT_EQ(g.CellProps().Count(), 2);
    g.ResetCellProperties(Kind(prColor));
    EXPECT_EQ(g.CellProps().Count(), 2);
    EXPECT_EQ(g.Cell(1, 1).Color(), clNoneTs);
    g.ResetCellProperties(Kind(pr3D) | Kind(prWordWrap));
    EXPECT_EQ(g.CellProps().Count(), 0);
}

TEST(CellProps, AFontTravelsAsAPropertyValueAndCombosAreNotHeldYet) {
    TRecordingLink link;
    TtsGridModel g("Grid1", 3, 3, &link);
    fw::TFont bold;
    bold.SetStyle(fw::fsBold);
    TtsCellPropSet& set = g.CellProps();
    ASSERT_TRUE(
        set.SetProperty({2, 1}, true, 0, prFont, TtsVariant(static_cast<fw::TObject*>(&bold))));
    ASSERT_EQ(set.Count(), 1);
    EXPECT_EQ(link.Cells.back(), std::make_pair(2, 1));
    // The element keeps a copy of its own.
    const fw::TFont* own = FontOfVariant(set.GetProperty(2, 1, prFont, 0));
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, &bold);
    EXPECT_EQ(own->Style(), fw::fsBold);
    EXPECT_FALSE(VarEquals(set.GetProperty(2, 1, prParentFont, 0), TtsVariant(true)));
    EXPECT_EQ(g.EffectiveFont(2, 1).Style(), fw::fsBold);
    fw::TFont same;
    same.Assign(bold);
    EXPECT_FALSE(
        set.SetProperty({2, 1}, true, 0, prFont, TtsVariant(static_cast<fw::TObject*>(&same))));
    EXPECT_TRUE(
        set.SetProperty({2, 1}, true, 0, prFont, TtsVariant(static_cast<fw::TObject*>(nullptr))));
    EXPECT_EQ(set.Count(), 0);
    // A combo write stores nothing and says so.
    fw::TComponent combo(nullptr);
    EXPECT_FALSE(
        set.SetProperty({1, 1}, true, 0, prCombo, TtsVariant(static_cast<fw::TObject*>(&combo))));
    EXPECT_EQ(set.Count(), 0);
}

TEST(CellProps, OwnFontsAreListed) {
    TtsGridModel g("Grid1", 3, 3);
    g.CellProps().SetOwnFonts({2, 3}, true);
    int i = 0, c = 0, r = 0;
    ASSERT_TRUE(g.OwnFontCells.NextPair(i, c, r));
    EXPECT_EQ(c, 2);
    EXPECT_EQ(r, 3);
    g.CellProps().SetOwnFonts({2, 3}, false);
    EXPECT_EQ(g.OwnFontCells.Count(), 0);
    EXPECT_EQ(g.CellProps().Count(), 0);
}

TEST(Stores, ColumnsByIndexAndFieldName) {
    TtsGridModel g("Grid1", 4, 2);
    g.Col(2)->SetFieldName("Name");
    g.Col(4)->SetFieldName("NAME");
    g.ColStore().Col(0)->SetFieldName("name");
    EXPECT_EQ(g.ColStore().Find(TtsVariant(std::string("name"))), g.Col(2));
    EXPECT_EQ(g.ColStore().Find(TtsVariant(std::int32_t{3})), g.Col(3));
    EXPECT_EQ(g.ColStore().Find(TtsVariant(std::int32_t{9})), nullptr);
    g.RangeErrors = true;
    try {
        g.ColStore().Find(TtsVariant(std::int32_t{9}));
        FAIL();
    } catch (const EInvalidGridOperation& e) {
        EXPECT_STREQ(e.what(), "Grid1: Column index 9 out of range");
    }
    EXPECT_THROW(g.RowStore().Row(99), EInvalidGridOperation);
}

TEST(Stores, RowsAreMadeOnDemandAndRowZeroAlwaysExists) {
    TtsGridModel g("Grid1", 2, 4);
    EXPECT_NE(g.RowStore().Row(0), nullptr);
    EXPECT_EQ(g.RowStore().Row(2), nullptr);
    for (int r = 0; r <= 4; ++r)
        EXPECT_EQ(g.DisplayRowOf(r), r);
    g.RowStore().SetHeight(2, 14); // default on a row without object: nothing
    EXPECT_EQ(g.RowStore().Row(2), nullptr);
    g.RowStore().SetHeight(2, 30);
    EXPECT_EQ(g.RowStore().GetHeight(2), 30);
    g.RowStore().FreeRowIfUnused(0);
    EXPECT_NE(g.RowStore().Row(0), nullptr);
    g.SetRows(2);
    EXPECT_EQ(g.RowStore().Count(), 3);
}

TEST(Stores, MovingRowsAndColumnsKeepsPositions) {
    TtsGridModel g("Grid1", 4, 4);
    g.SetDisplayRow(1, 3);
    EXPECT_EQ(g.DisplayRowOf(1), 3);
    EXPECT_EQ(g.DisplayRowOf(2), 1);
    EXPECT_EQ(g.DisplayRowOf(3), 2);
    EXPECT_EQ(g.DataRowAt(3), 1);
    g.Col(1)->SetWidth(10);
    g.Col(1)->SetDisplayCol(4);
    EXPECT_EQ(g.Col(1)->DisplayCol(), 4);
    EXPECT_EQ(g.Col(2)->DisplayCol(), 1);
    EXPECT_EQ(g.DataColAt(4), 1);
    EXPECT_EQ(g.ColWidthAt(4), 10);
    g.Col(1)->SetDisplayCol(9); // outside: nothing
    EXPECT_EQ(g.Col(1)->DisplayCol(), 4);
}

TEST(VisibleItems, RemoveFindAndMove) {
    TtsVisibleItems v;
    v.SetCount(5, 1);
    bool found = false;
    EXPECT_EQ(v.Find(3, found), 3);
    EXPECT_TRUE(found);
    EXPECT_EQ(v.Find(9, found), 6);
    EXPECT_FALSE(found);
    v.Remove(3);
    EXPECT_TRUE(v.Active());
    EXPECT_EQ(v.ItemCount(), 4);
    EXPECT_EQ(v.Get(3), 4);
    v.MoveItem(2, 4);
    std::vector<int> got;
    for (int i = 1; i <= v.Count(); ++i)
        got.push_back(v.Get(i));
    EXPECT_EQ(got, (std::vector<int>{1, 3, 4, 5}));
    TtsVisibleItems all;
    all.SetCount(5, 1);
    all.Remove(9); // activates with every position
    all.MoveItem(2, 4);
    got.clear();
    for (int i = 1; i <= all.Count(); ++i)
        got.push_back(all.Get(i));
    EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4, 5}));
    all.Remove(5);
    all.MoveItem(4, 1);
    got.clear();
    for (int i = 1; i <= all.Count(); ++i)
        got.push_back(all.Get(i));
    EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4}));
}

TEST(CoordList, PairsStopBeforeAnOddEntry) {
    TtsCoordList l;
    l.AddPair(1, 2);
    l.AddPair(3, 4);
    l.Add(9);
    l.RemovePair(3, 4);
    int i = 0, c = 0, r = 0;
    EXPECT_TRUE(l.NextPair(i, c, r));
    EXPECT_EQ(i, 2);
    EXPECT_FALSE(l.NextPair(i, c, r));
    EXPECT_EQ(c, 0);
}

TEST(Selection, NextPrevCountAndShrink) {
    TtsSelection s;
    s.SetSize(11);
    for (int i : {2, 5, 8})
        s.Select(i, true);
    s.Select(0, true); // index 0 never counts
    EXPECT_EQ(s.SelectedCount(), 3);
    EXPECT_EQ(s.NextSelected(2), 5);
    EXPECT_EQ(s.NextSelected(8), -1);
    EXPECT_EQ(s.PrevSelected(2), -1);
    EXPECT_EQ(s.PrevSelected(8), 5);
    EXPECT_EQ(s.CountInRange(5, 2), s.CountInRange(2, 5));
    EXPECT_EQ(s.CountInRange(2, 5), 2);
    EXPECT_EQ(s.CountInRange(0, 100), 3);
    EXPECT_EQ(s.CountInRange(9, 10), 0);
    s.SetSize(7);
    EXPECT_EQ(s.Last(), 5);
    EXPECT_EQ(s.SelectedCount(), 2);
    TtsSelection t;
    EXPECT_TRUE(t.Assign(s));
    EXPECT_FALSE(t.Assign(s));
    EXPECT_TRUE(t.IsSelected(5));
    s.Select(2, false);
    EXPECT_EQ(s.First(), 5);
    s.Clear();
    EXPECT_EQ(s.First(), -1);
    EXPECT_EQ(s.Size(), 7);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(Stores, ColumnCountChangesKeepVisibleListSelectionAndData) {
    TtsGridModel g("Grid1", 5, 2);
    g.SetStoreData(true);
    g.Storage()->SetValue(5, 1, tagInteger, TtsVariant(std::int32_t{5}));
    g.Col(2)->SetVisible(false);
    g.ColSelection.Select(5, true);
    g.SetCols(3);
    EXPECT_EQ(g.ColStore().Count(), 4);
    EXPECT_EQ(g.VisibleCols.ItemCount(), 2);
    EXPECT_FALSE(g.VisibleCols.Contains(2));
    EXPECT_EQ(g.ColSelection.SelectedCount(), 0);
    EXPECT_EQ(g.Storage()->GetTag(5, 1), tagEmpty);
    g.SetCols(6);
    EXPECT_EQ(g.VisibleCols.ItemCount(), 5);
    EXPECT_TRUE(g.VisibleCols.Contains(6));
    EXPECT_EQ(g.Col(6)->DisplayCol(), 6);
    EXPECT_EQ(g.Col(6)->Width(), 64);
}

TEST(Stores, RowMoveEntriesKeepsEveryRow) {
    TtsGridModel g("Grid1", 1, 5);
    g.Row(2)->SetColor(2);
    g.Row(3)->SetColor(3);
    g.RowStore().MoveEntries(2, 3, 2); // overlapping block
    EXPECT_EQ(g.RowStore().Row(2), nullptr);
    ASSERT_NE(g.RowStore().Row(3), nullptr);
    EXPECT_EQ(g.RowStore().Row(3)->Color(), 2);
    EXPECT_EQ(g.RowStore().Row(4)->Color(), 3);
    g.RowStore().MoveEntries(4, 5, 2); // past the end: nothing
    EXPECT_NE(g.RowStore().Row(4), nullptr);
}

TEST(Properties, HiddenRowsLeaveTheVisibleListAndSelection) {
    TtsGridModel g("Grid1", 2, 4);
    g.RowSelection.Select(3, true);
    g.Row(3)->SetVisible(false);
    EXPECT_FALSE(g.VisibleRows.Contains(3));
    EXPECT_EQ(g.RowHeightAt(3), 0);
    EXPECT_FALSE(g.RowSelection.IsSelected(3));
    EXPECT_NE(g.RowStore().Row(3), nullptr); // a hidden row is no default row
    g.Row(3)->SetVisible(true);
    g.RowStore().FreeRowIfUnused(3);
    EXPECT_EQ(g.RowStore().Row(3), nullptr);
}

TEST(Properties, AssignCopiesAColumnAndDefaultsAreRecognised) {
    TtsGridModel g("Grid1", 3, 1);
    EXPECT_TRUE(g.Col(1)->IsDefault());
    g.Col(1)->SetHeading("H");
    g.Col(1)->SetWidth(90);
    g.Col(1)->SetWordWrap(wwOn);
    EXPECT_FALSE(g.Col(1)->IsDefault());
    g.Col(2)->Assign(*g.Col(1));
    EXPECT_EQ(g.Col(2)->HeadingText(), "H");
    EXPECT_EQ(g.Col(2)->Width(), 90);
    EXPECT_EQ(g.ColWidthAt(2), 90);
    EXPECT_EQ(g.Col(2)->WordWrap(), wwOn);
    g.Col(2)->SetDisplayCol(3);
    EXPECT_TRUE(g.Col(2)->IsDisplayColStored());
    g.Col(2)->ResetProperties(Kind(prDisplayPos));
    EXPECT_EQ(g.Col(2)->DisplayCol(), 2);
    EXPECT_FALSE(g.Col(2)->IsDisplayColStored());
}

TEST(Properties, OwnFontsFollowParentFont) {
    TtsGridModel g("Grid1", 2, 2);
    g.Font.SetSize(12);
    TtsCol* c = g.Col(1);
    EXPECT_EQ(c->Font(), nullptr);
    c->SetParentFont(false);
    ASSERT_NE(c->Font(), nullptr);
    EXPECT_EQ(c->Font()->Size(), 12);
    EXPECT_EQ(&g.EffectiveFont(1, 1), c->Font());
    c->SetParentFont(true);
    EXPECT_EQ(c->Font(), nullptr);
    EXPECT_EQ(&g.EffectiveFont(1, 1), &g.Font);
    // A column that keeps its own fonts holds a copy that follows the grid font.
    c->P.OwnFonts = true;
    c->SetParentFont(false);
    c->SetParentFont(true);
    ASSERT_NE(c->Font(), nullptr);
    g.Font.SetSize(14);
    g.FontChanged();
    EXPECT_EQ(c->Font()->Size(), 14);
    fw::TFont f;
    f.SetSize(20);
    g.Row(2)->SetFont(&f);
    g.FontChanged(); // an own font that differs stays
    EXPECT_EQ(g.Row(2)->Font()->Size(), 20);
    EXPECT_FALSE(g.Row(2)->ParentFont());
    EXPECT_EQ(g.EffectiveFont(2, 2).Size(), 20);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(CellProps, ElementsAreOrderedByRowThenColumn) {
    TtsGridModel g("Grid1", 5, 5);
    g.Cell(3, 1).SetIs3D(true);
    g.Cell(1, 2).SetIs3D(true);
    g.Cell(2, 1).SetIs3D(true);
    std::vector<std::pair<int, int>> keys;
    for (TtsSetElement* e : g.CellProps().Elements()) {
        auto* c = static_cast<TtsCellElement*>(e);
        keys.emplace_back(c->Key.Col, c->Key.Row);
    }
    EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{2, 1}, {3, 1}, {1, 2}}));
    ASSERT_NE(g.CellProps().ColsOfRow().Get(1), nullptr);
    EXPECT_EQ(g.CellProps().ColsOfRow().Get(1)->Values(), (std::vector<std::int32_t>{2, 3}));
}

TEST(CellProps, OutOfRangeValuesAreNormalised) {
    TtsGridModel g("Grid1", 2, 2);
    g.Cell(1, 1).Set(prHorzAlignment, TtsVariant(std::uint8_t{200}));
    EXPECT_EQ(g.Cell(1, 1).HorzAlignment(), htaDefault);
    EXPECT_EQ(g.CellProps().Count(), 0);
    g.Cell(1, 1).Set(prButtonType, TtsVariant(std::uint8_t{btVertSpin}));
    EXPECT_EQ(g.Cell(1, 1).ButtonType(), btVertSpin);
    g.Cell(1, 1).SetSpinIncrement(2.5);
    EXPECT_EQ(g.Cell(1, 1).SpinIncrement(), 2.5);
    g.Cell(1, 1).SetHorzAlignment(htaRight);
    EXPECT_EQ(VarAsInteger(g.Cell(1, 1).Get(prAlignment)), 1);
    EXPECT_TRUE(std::get<bool>(g.Cell(1, 1).Get(prAlignFlag)));
    // Numbers cells do not hold are ignored.
    EXPECT_FALSE(g.Cell(1, 1).Set(prColWidth, TtsVariant(std::int32_t{5})));
    EXPECT_TRUE(VarIsEmpty(g.Cell(1, 1).Get(prColWidth)));
}

TEST(CellProps, AssignPropertiesCopiesEveryKind) {
    TtsGridModel g("Grid1", 2, 2);
    TtsCellElement a(&g, {1, 1});
    a.SetProperty(TtsVariant(std::int32_t{77}), prColor, 0);
    a.SetProperty(TtsVariant(std::uint8_t{dopOff}), prPictureOption, 3);
    a.SetProperty(TtsVariant(std::string("m")), prMaskName, 0);
    a.SetProperty(TtsVariant(std::uint8_t{roOn}), prCellReadOnly, 0);
    fw::TFont f;
    f.SetSize(30);
    a.SetFont(&f);
    TtsCellElement b(&g, {2, 2});
    b.AssignProperties(a);
    EXPECT_EQ(VarAsInteger(b.GetProperty(prColor, 0)), 77);
    EXPECT_EQ(VarAsInteger(b.GetProperty(prPictureOption, 3)), dopOff);
    EXPECT_EQ(VarToText(b.GetProperty(prMaskName, 0)), "m");
    EXPECT_EQ(b.CellReadOnly, roOn);
    ASSERT_NE(b.P.Font, nullptr);
    EXPECT_EQ(b.P.Font->Size(), 30);
    EXPECT_FALSE(b.P.ParentFont);
    EXPECT_EQ(b.Key.Col, 2);
}

TEST(KindSets, FiveBytesEachWay) {
    const auto b = KindSetBytes(AllKinds);
    EXPECT_EQ(b, (std::array<std::uint8_t, 5>{0xFF, 0xFF, 0xFF, 0xFF, 0x01}));
    const std::uint8_t three[] = {0x08};
    EXPECT_EQ(KindSetFromBytes(three, 1), Kind(prColWidth));
    const std::uint8_t junk[] = {0, 0, 0, 0, 0xFE, 0x55};
    EXPECT_EQ(KindSetFromBytes(junk, 6), 0u);
}

TEST(VisibleItems, CountChangesOfAnActiveList) {
    TtsVisibleItems v;
    v.SetCount(4, 1);
    v.Remove(2);
    v.SetCount(5, 5); // two new places, positions 5 and 6
    EXPECT_EQ(v.ItemCount(), 5);
    EXPECT_TRUE(v.Contains(6));
    EXPECT_FALSE(v.Contains(2));
    v.SetCount(4, 1);
    EXPECT_FALSE(v.Contains(6));
    EXPECT_EQ(v.ItemCount(), 4);
    TtsVisibleItems copy;
    copy.AssignItems(v);
    EXPECT_TRUE(copy.Active());
    EXPECT_EQ(copy.Get(2), 3);
    TtsVisibleItems idle;
    idle.SetCount(3, 1);
    idle.Add(7); // inactive: every position is there already
    EXPECT_FALSE(idle.Active());
    idle.MoveItem(1, 3);
    EXPECT_EQ(idle.Get(1), 1);
}

TEST(SharedBitmaps, ReferencesOnlyForBitmapsInTheSet) {
    fw::TBitmap own;
    SharedBitmapRef(&own, false); // not in the set: nothing
    EXPECT_EQ(FindSharedBitmap(&own), nullptr);
    TtsBitmapElement* e = FindOrAddBitmap(EnsureSharedBitmaps(), &own);
    EXPECT_FALSE(e->Owned);
    SharedBitmapRef(&own, false);
    SharedBitmapRef(&own, false);
    EXPECT_EQ(e->RefCount, 2);
    SharedBitmapRef(&own, true);
    EXPECT_NE(FindSharedBitmap(&own), nullptr);
    SharedBitmapRef(&own, true);
    EXPECT_EQ(FindSharedBitmap(&own), nullptr); // removed, and not freed: not owned
    EXPECT_EQ(own.Width(), 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(Stores, RemovedLinesTakeTheirCellsAndDisplayPlacesAlong) {
    TtsGridModel g("Grid1", 4, 10);
    g.Cell(2, 8).SetColor(fw::clRed);
    g.Cell(4, 2).SetColor(fw::clRed);
    g.CellProps().SetOwnFonts({2, 9}, true);
    g.SetRows(5);
    g.SetRows(10);
    EXPECT_EQ(g.EffectiveColor(2, 8), g.Color);
    EXPECT_EQ(g.OwnFontCells.Count(), 0);
    g.SetCols(3);
    g.SetCols(4);
    EXPECT_EQ(g.EffectiveColor(4, 2), g.Color);
    EXPECT_EQ(g.CellProps().Count(), 0);
    // A row moved to the end that stays: the order closes up over the rows that went.
    g.SetDisplayRow(2, 10);
    g.RowSelection.Select(g.DisplayRowOf(2), true);
    g.SetRows(5);
    EXPECT_EQ(g.DisplayRowOf(2), 5);
    for (int d = 1; d <= 5; ++d)
        EXPECT_EQ(g.DisplayRowOf(g.DataRowAt(d)), d);
    EXPECT_EQ(g.DataRowAt(5), 2);
    EXPECT_TRUE(g.RowSelection.IsSelected(5));
    EXPECT_EQ(g.RowSelection.SelectedCount(), 1);
}

TEST(Stores, RemovedColumnsInTheMiddleOfTheOrderTakeTheirWidthsAlong) {
    TtsGridModel g("Grid1", 4, 2);
    g.Col(4)->SetWidth(40);
    g.Col(1)->SetWidth(11);
    g.Col(4)->SetDisplayCol(1);     // order 4 1 2 3
    g.ColSelection.Select(3, true); // data column 2
    g.SetCols(3);
    EXPECT_EQ(g.DataColAt(1), 1);
    EXPECT_EQ(g.DataColAt(3), 3);
    EXPECT_EQ(g.ColWidthAt(1), 11);
    EXPECT_EQ(g.ColWidthAt(2), 64);
    EXPECT_TRUE(g.ColSelection.IsSelected(2));
    EXPECT_EQ(g.Col(2)->DisplayCol(), 2);
}

TEST(Stores, RowsTakeStoredPositionsAtOnce) {
    TtsGridModel g("Grid1", 2, 6);
    g.Row(3)->SetHeight(30);
    // Items in any order: listed rows their place, the others the free ones in order.
    g.SetDisplayRows({{6, 1}, {3, 2}, {6, 4}, {1, 2}});
    const int expected[] = {0, 6, 3, 1, 2, 4, 5};
    for (int d = 1; d <= 6; ++d)
        EXPECT_EQ(g.DataRowAt(d), expected[d]) << d;
    EXPECT_EQ(g.RowHeightAt(2), 30);
    g.ResetRowProperties(Kind(prDisplayPos));
    for (int d = 1; d <= 6; ++d)
        EXPECT_EQ(g.DataRowAt(d), d);
    EXPECT_EQ(g.RowHeightAt(3), 30);
}

} // namespace
} // namespace vel
