#include "TSGridStream.h"

#include "Grids_ts.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>

namespace vel {
namespace {

std::vector<std::string> Names(TtsGridModel& g, TtsPropKinds parts, TtsKindSet kinds,
                               bool data = false) {
    TtsGridStreamComponent c(&g);
    c.SavePropKinds = parts;
    c.Kinds = kinds;
    c.SaveData = data;
    TMemoryStream s;
    c.Write(s);
    return c.WrittenNames();
}

bool Has(const std::vector<std::string>& v, const char* n) {
    return std::find(v.begin(), v.end(), n) != v.end();
}

TEST(LayoutStream, PropertiesFollowTheirConditions) {
    TtsGridModel g("Grid1", 3, 3);
    auto n = Names(g, pkCols, Kind(prColWidth));
    EXPECT_EQ(n, (std::vector<std::string>{"Properties", "AllProperties", "ResetProps", "Cols",
                                           "DefaultColWidth", "ColProperties"}));
    n = Names(g, pkGrid | pkRows, AllKinds);
    EXPECT_TRUE(Has(n, "Grid"));
    EXPECT_FALSE(Has(n, "Rows"));
    EXPECT_FALSE(Has(n, "DefaultRowHeight"));
    n = Names(g, pkCells, AllKinds, true);
    EXPECT_FALSE(Has(n, "Data")); // the grid keeps no data of its own
    g.SetStoreData(true);
    n = Names(g, pkCells, AllKinds, true);
    EXPECT_TRUE(Has(n, "Data"));
}

TEST(LayoutStream, AlignmentKindsTravelTogether) {
    EXPECT_EQ(WidenAlignmentKinds(Kind(prHorzAlignment)),
              Kind(prAlignFlag) | Kind(prAlignment) | Kind(prHorzAlignment));
    EXPECT_EQ(WidenAlignmentKinds(Kind(prColor)), Kind(prColor));
}

TEST(LayoutStream, RoundTripOfColumnsRowsCellsAndData) {
    TtsGridModel a("Grid1", 4, 6);
    a.SetStoreData(true);
    a.Col(2)->SetWidth(120);
    a.Col(2)->SetHeading("Pose &name");
    a.Col(3)->SetColor(fw::RGB(9, 8, 7));
    a.Col(3)->SetVisible(false);
    a.Col(1)->SetDisplayCol(4);
    a.Row(2)->SetHeight(30);
    a.Row(5)->SetControlType(ctCheck);
    a.SetDisplayRow(6, 1);
    a.RowSelection.Select(a.DisplayRowOf(5), true);
    a.Cell(2, 3).SetColor(fw::RGB(1, 1, 1));
    a.Cell(2, 3).SetPictureOption(2, dopOff);
    a.Cell(4, 1).SetSpinIncrement(0.25);
    fw::TFont bold;
    bold.SetStyle(fw::fsBold);
    bold.SetSize(10);
    a.Col(4)->SetFont(&bold);
    a.Storage()->SetValue(2, 3, tagText, TtsVariant(std::string("hello")));
    TMemoryStream s;
    SaveLayout(a, s, pkCols | pkRows | pkCells, true, AllKinds);

    TtsGridModel b("Grid2", 2, 2);
    b.SetStoreData(true);
    b.Cell(1, 1).SetColor(5); // reset by the load
    s.SetPosition(0);
    LoadLayout(b, s, 1);
    EXPECT_EQ(b.Cols(), 4);
    EXPECT_EQ(b.Rows(), 6);
    EXPECT_EQ(b.Col(2)->Width(), 120);
    EXPECT_EQ(b.Col(2)->HeadingText(), "Pose &name");
    EXPECT_EQ(b.Col(3)->Color(), fw::RGB(9, 8, 7));
    EXPECT_FALSE(b.Col(3)->Visible());
    EXPECT_FALSE(b.VisibleCols.Contains(b.Col(3)->DisplayCol()));
    EXPECT_EQ(b.Col(1)->DisplayCol(), 4);
    EXPECT_EQ(b.RowStore().GetHeight(2), 30);
    EXPECT_EQ(b.EffectiveControlType(1, 5), ctCheck);
    EXPECT_EQ(b.DisplayRowOf(6), 1);
    EXPECT_TRUE(b.RowSelection.IsSelected(b.DisplayRowOf(5)));
    EXPECT_EQ(b.Cell(2, 3).Color(), fw::RGB(1, 1, 1));
    EXPECT_EQ(b.Cell(2, 3).PictureOption(2), dopOff);
    EXPECT_EQ(b.Cell(4, 1).SpinIncrement(), 0.25);
    ASSERT_NE(b.Col(4)->Font(), nullptr);
    EXPECT_FALSE(b.Col(4)->ParentFont());
    EXPECT_TRUE(b.Col(4)->Font()->SameAs(bold));
    EXPECT_EQ(b.Col(1)->Font(), nullptr);
    EXPECT_EQ(b.Cell(1, 1).Color(), clNoneTs);
    EXPECT_EQ(std::get<std::string>(b.Storage()->GetValue(2, 3)), "hello");
    EXPECT_EQ(s.Remaining(), 0u);
}

TEST(LayoutStream, WidthsOnlyKeepTheColumnCountOutsideAFullLoad) {
    TtsGridModel a("Grid1", 5, 2);
    a.Col(1)->SetWidth(99);
    a.Col(1)->SetColor(3); // not a chosen kind
    TMemoryStream s;
    SaveLayout(a, s, pkCols, false, Kind(prColWidth));
    TtsGridModel b("Grid2", 3, 2);
    s.SetPosition(0);
    LoadLayout(b, s, 0);
    EXPECT_EQ(b.Cols(), 3);
    EXPECT_EQ(b.Col(1)->Width(), 99);
    EXPECT_EQ(b.Col(1)->Color(), clNoneTs);
}

TEST(LayoutStream, ColumnsBoundByFieldNameSkipMissingOnes) {
    TtsGridModel a("Grid1", 2, 1);
    a.Col(1)->SetFieldName("Missing");
    a.Col(1)->SetWidth(40);
    a.Col(2)->SetFieldName("Frame");
    a.Col(2)->SetWidth(80);
    TMemoryStream s;
    SaveLayout(a, s, pkCols, false, AllKinds);
    TtsGridModel b("Grid2", 3, 1);
    b.Col(3)->SetFieldName("frame");
    TtsGridStreamComponent c(&b);
    c.ColBinding = bmFieldName;
    c.LoadMode = 0;
    s.SetPosition(0);
    c.Read(s);
    EXPECT_EQ(b.Col(3)->Width(), 80);
    EXPECT_EQ(b.Col(1)->Width(), 64);
    EXPECT_EQ(b.Col(2)->Width(), 64);
    EXPECT_EQ(b.FieldPositions, (std::vector<std::int32_t>{0, 3}));
}

TEST(LayoutStream, OlderSetFormOfPropertiesMeansAllKinds) {
    TMemoryStream s;
    s.WriteText("TtsGridStreamComponent");
    const std::string props = "Properties";
    s.WriteU8(static_cast<std::uint8_t>(props.size()));
    s.WriteBuffer(props.data(), props.size());
    s.WriteU8(vtSet);
    s.WriteI32(1);
    s.WriteU8(4);
    s.WriteBuffer("tsCol", 4);
    s.WriteU8(0);
    TtsGridModel g("Grid1", 1, 1);
    TtsGridStreamComponent c(&g);
    s.SetPosition(0);
    c.Read(s);
    EXPECT_TRUE(c.AllProperties());
}

TEST(LayoutStream, DamagedInputIsRefused) {
    TtsGridModel a("Grid1", 3, 3);
    a.Col(1)->SetWidth(70);
    a.Row(1)->SetHeight(20);
    a.Cell(1, 1).SetColor(4);
    TMemoryStream good;
    SaveLayout(a, good, pkCols | pkRows | pkCells, false, AllKinds);
    const auto bytes = good.Data();
    // Every truncation fails cleanly.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        TtsGridModel b("Grid2", 3, 3);
        TMemoryStream s(std::vector<std::uint8_t>(bytes.begin(),
                                                  bytes.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_THROW(LoadLayout(b, s, 1), EReadError) << "cut at " << n;
    }
    // Every single-byte change either loads or fails cleanly.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (std::uint8_t x : {std::uint8_t{0}, std::uint8_t{0xFF}}) {
            auto d = bytes;
            d[i] = x;
            TtsGridModel b("Grid2", 3, 3);
            TMemoryStream s(d);
            try {
                LoadLayout(b, s, 1);
            } catch (const EReadError&) {
            } catch (const EInvalidGridOperation&) {
            }
        }
    }
    TtsGridModel b("Grid2", 3, 3);
    TMemoryStream wrong;
    wrong.WriteText("Something");
    wrong.SetPosition(0);
    EXPECT_THROW(LoadLayout(b, wrong, 1), EReadError);
}

TEST(LayoutStream, HugeCountsAreRefused) {
    TMemoryStream s;
    s.WriteText("TtsGridStreamComponent");
    s.WriteU8(4);
    s.WriteBuffer("Rows", 4);
    s.WriteU8(vtInteger);
    s.WriteI32(0x7FFFFFFF);
    s.WriteU8(0);
    TtsGridModel g("Grid1", 1, 1);
    s.SetPosition(0);
    EXPECT_THROW(LoadLayout(g, s, 1), EReadError);
    EXPECT_EQ(g.Rows(), 1);
}

class LayoutSettings : public ::testing::Test {
protected:
    void SetUp() override {
        File = fw::TestPath("layout.ini");
        std::remove(File.c_str());
    }
    void TearDown() override { std::remove(File.c_str()); }
    std::string File;
};

TEST_F(LayoutSettings, SavedUnderAKeyAndLoadedBack) {
    TtsGridModel a("Grid1", 3, 2);
    a.Col(2)->SetWidth(33);
    SaveLayoutToSettings(a, "Software\\Orrendale\\Velmarch\\DopeSheet", "Layout", File, pkCols,
                         AllKinds);
    TtsGridModel b("Grid2", 3, 2);
    EXPECT_FALSE(LoadLayoutFromSettings(b, "Software\\Other", "Layout", File, 1));
    EXPECT_TRUE(LoadLayoutFromSettings(
        b, "\\\\HKEY_CURRENT_USER\\Software\\Orrendale\\Velmarch\\DopeSheet", "Layout", File, 1));
    EXPECT_EQ(b.Col(2)->Width(), 33);
    {
        fw::TSettingsStore store(File);
        ASSERT_TRUE(
            store.OpenKey("\\HKEY_CURRENT_USER\\Software\\Orrendale\\Velmarch\\DopeSheet", false));
        store.WriteString("Layout", "ZZ");
    }
    EXPECT_THROW(
        LoadLayoutFromSettings(b, "Software\\Orrendale\\Velmarch\\DopeSheet", "Layout", File, 1),
        EReadError);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(LayoutStream, OnlyChosenKindsAreWrittenAndApplied) {
    TtsGridModel a("Grid1", 2, 2);
    a.Col(1)->SetColor(11);
    a.Col(1)->SetReadOnly(true);
    a.Cell(1, 1).SetColor(12);
    a.Cell(1, 1).SetIs3D(true);
    TMemoryStream s;
    SaveLayout(a, s, pkCols | pkCells, false, Kind(prColor));
    TtsGridModel b("Grid2", 2, 2);
    b.Col(1)->SetColor(99);
    b.Col(2)->SetReadOnly(true); // not a chosen kind: kept
    s.SetPosition(0);
    LoadLayout(b, s, 1);
    EXPECT_EQ(b.Col(1)->Color(), 11);
    EXPECT_FALSE(b.Col(1)->ReadOnly());
    EXPECT_TRUE(b.Col(2)->ReadOnly());
    EXPECT_EQ(b.Cell(1, 1).Color(), 12);
    EXPECT_FALSE(b.Cell(1, 1).Is3D());
}

TEST(LayoutStream, ItemsForMissingLinesAndCellsAreAbsorbed) {
    TtsGridModel a("Grid1", 6, 6);
    a.Col(6)->SetWidth(10);
    a.Row(6)->SetHeight(50);
    a.Cell(6, 6).SetColor(1);
    a.Cell(1, 1).SetColor(2);
    TMemoryStream s;
    SaveLayout(a, s, pkCols | pkRows | pkCells, false, AllKinds);
    TtsGridModel b("Grid2", 2, 2);
    s.SetPosition(0);
    LoadLayout(b, s, 0); // the column count stays
    EXPECT_EQ(b.Cols(), 2);
    EXPECT_EQ(b.Rows(), 6); // rows are always applied
    EXPECT_EQ(b.RowStore().GetHeight(6), 50);
    EXPECT_EQ(b.CellProps().Count(), 1);
    EXPECT_EQ(b.Cell(1, 1).Color(), 2);
}

TEST(LayoutStream, DataColumnsFollowTheFieldPositions) {
    TtsGridModel a("Grid1", 2, 1);
    a.SetStoreData(true);
    a.Col(1)->SetFieldName("Key");
    a.Col(2)->SetFieldName("Time");
    a.Storage()->SetValue(1, 1, tagText, TtsVariant(std::string("k")));
    a.Storage()->SetValue(2, 1, tagInteger, TtsVariant(std::int32_t{30}));
    TMemoryStream s;
    SaveLayout(a, s, pkCols, true, AllKinds);
    TtsGridModel b("Grid2", 3, 1);
    b.SetStoreData(true);
    b.Col(1)->SetFieldName("Time");
    b.Col(3)->SetFieldName("Key");
    TtsGridStreamComponent c(&b);
    c.ColBinding = bmFieldName;
    s.SetPosition(0);
    c.Read(s);
    EXPECT_EQ(std::get<std::string>(b.Storage()->GetValue(3, 1)), "k");
    EXPECT_EQ(std::get<std::int32_t>(b.Storage()->GetValue(1, 1)), 30);
    EXPECT_EQ(b.Storage()->GetTag(2, 1), tagEmpty);
    // Data saved from a grid without field names lands column by column: the positions
    // of the load before do not carry over.
    TtsGridModel d("Grid3", 3, 1);
    d.SetStoreData(true);
    d.Storage()->SetValue(1, 1, tagText, TtsVariant(std::string("first")));
    d.Storage()->SetValue(3, 1, tagText, TtsVariant(std::string("third")));
    TMemoryStream t;
    SaveLayout(d, t, pkCols, true, AllKinds);
    t.SetPosition(0);
    LoadLayout(b, t, 1);
    EXPECT_EQ(std::get<std::string>(b.Storage()->GetValue(1, 1)), "first");
    EXPECT_EQ(std::get<std::string>(b.Storage()->GetValue(3, 1)), "third");
}

TEST(LayoutStream, DataTakesNoMoreRowsThanTheGridHas) {
    // Values saved from a longer grid, loaded without its row count.
    TtsGridModel a("Grid1", 1, 5000);
    a.SetStoreData(true);
    a.Storage()->SetValue(1, 2, tagInteger, TtsVariant(std::int32_t{2}));
    a.Storage()->SetValue(1, 5000, tagInteger, TtsVariant(std::int32_t{5000}));
    TMemoryStream s;
    SaveLayout(a, s, pkCols, true, AllKinds);
    TtsGridModel b("Grid2", 1, 10);
    b.SetStoreData(true);
    s.SetPosition(0);
    LoadLayout(b, s, 1);
    EXPECT_EQ(std::get<std::int32_t>(b.Storage()->GetValue(1, 2)), 2);
    EXPECT_EQ(b.Storage()->GetTag(1, 5000), tagEmpty);
    EXPECT_EQ(b.Storage()->RowSlots(), 12);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

void WriteNamed(TStream& s, const std::string& name) {
    s.WriteU8(static_cast<std::uint8_t>(name.size()));
    s.WriteBuffer(name.data(), name.size());
}

TEST(LayoutStream, LegacyAlignmentPairsAreRead) {
    TMemoryStream s;
    s.WriteText("TtsGridStreamComponent");
    WriteNamed(s, "AllProperties");
    s.WriteU8(vtBoolean);
    s.WriteU8(1);
    WriteNamed(s, "ColProperties");
    s.WriteU8(vtCollection);
    s.WriteI32(1);
    WriteNamed(s, "DataCol");
    s.WriteU8(vtInteger);
    s.WriteI32(2);
    WriteNamed(s, "Col.Alignment");
    s.WriteU8(vtInteger);
    s.WriteI32(2);
    WriteNamed(s, "Col.Align");
    s.WriteU8(vtBoolean);
    s.WriteU8(1);
    WriteNamed(s, "Col.HeadingAlign");
    s.WriteU8(vtBoolean);
    s.WriteU8(1);
    s.WriteU8(0); // end of the item
    s.WriteU8(0); // end of the record
    TtsGridModel g("Grid1", 3, 1);
    s.SetPosition(0);
    LoadLayout(g, s, 1);
    EXPECT_EQ(g.Col(2)->HorzAlignment(), htaCenter);
    EXPECT_EQ(g.Col(2)->HeadingHorzAlignment(), htaLeft);
    // A stored alignment out of its range is refused.
    TMemoryStream bad;
    bad.WriteText("TtsGridStreamComponent");
    WriteNamed(bad, "AllProperties");
    bad.WriteU8(vtBoolean);
    bad.WriteU8(1);
    WriteNamed(bad, "ColProperties");
    bad.WriteU8(vtCollection);
    bad.WriteI32(1);
    WriteNamed(bad, "Col.Alignment");
    bad.WriteU8(vtInteger);
    bad.WriteI32(7);
    bad.WriteU8(0);
    bad.WriteU8(0);
    bad.SetPosition(0);
    EXPECT_THROW(LoadLayout(g, bad, 1), EReadError);
}

} // namespace
} // namespace vel
