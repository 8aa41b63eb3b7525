#include "TSGridQueries.h"

#include "ComCtrls.h"
#include "GridTestEnv.h"

#include <gtest/gtest.h>

#include <string>

namespace vel {
namespace {

class CellQueryTest : public EngineTest {
protected:
    fw::LRESULT Send(fw::UINT Msg, fw::WPARAM W, void* L) {
        return fw::SendMessage(Grid->Handle(), Msg, W, reinterpret_cast<fw::LPARAM>(L));
    }
    // The text of a cell as a client reads it, or "?" when refused.
    std::string CellText(int Item, int SubItem) {
        char Text[64] = "?";
        fw::TLVItemA Query;
        Query.iSubItem = SubItem;
        Query.pszText = Text;
        Query.cchTextMax = sizeof Text;
        Send(fw::LVM_GETITEMTEXTA, static_cast<fw::WPARAM>(Item), &Query);
        return Text;
    }
};

TEST_F(CellQueryTest, ReadsRowsColumnsAndCellsInDisplayOrder) {
    EXPECT_EQ(Send(fw::LVM_GETITEMCOUNT, 0, nullptr), 20);
    Grid->Col(2)->SetHeading("Second");
    Grid->Col(2)->SetWidth(40);
    char Heading[16] = {};
    fw::TLVColumnA Column;
    Column.pszText = Heading;
    Column.cchTextMax = sizeof Heading;
    EXPECT_EQ(Send(fw::LVM_GETCOLUMNA, 1, &Column), 1);
    EXPECT_STREQ(Heading, "Second");
    EXPECT_EQ(Column.cx, 40);
    EXPECT_EQ(CellText(0, 0), "r1c1");
    EXPECT_EQ(CellText(19, 2), "r20c3");

    // Moved lines are read where they are shown.
    Grid->SetDisplayCol(3, 1);
    Grid->SetDisplayRow(5, 1);
    EXPECT_EQ(CellText(0, 0), "r5c3");
    EXPECT_EQ(CellText(1, 1), "r1c1");
    EXPECT_EQ(Send(fw::LVM_GETCOLUMNA, 2, &Column), 1);
    EXPECT_STREQ(Heading, "Second");
    // A hidden column is there, 0 wide.
    Grid->Col(2)->SetVisible(false);
    EXPECT_EQ(Send(fw::LVM_GETCOLUMNA, 2, &Column), 1);
    EXPECT_EQ(Column.cx, 0);
}

TEST_F(CellQueryTest, EachKindOfCellReadsAsItShows) {
    Grid->SetStoreData(false);
    Grid->OnCellLoaded = [](fw::TObject*, int C, int R, TtsVariant& V) {
        if (C == 1) V = R == 1;
        if (C == 2) V = std::string("Keys.Diamond");
        if (C == 3) V = std::int32_t{R};
    };
    Grid->Col(1)->SetControlType(ctCheck);
    Grid->Col(2)->SetControlType(ctPicture);
    EXPECT_EQ(CellText(0, 0), "Checked");
    EXPECT_EQ(CellText(1, 0), "Unchecked");
    EXPECT_EQ(CellText(0, 1), "Keys.Diamond");
    EXPECT_EQ(CellText(6, 2), "7");
    Grid->Col(3)->SetControlType(ctNone);
    EXPECT_EQ(CellText(6, 2), "");
}

TEST_F(CellQueryTest, RefusesWhatIsOutsideTheGridAndKeepsToTheBuffer) {
    EXPECT_EQ(CellText(20, 0), "?");
    EXPECT_EQ(CellText(0, 3), "?");
    EXPECT_EQ(CellText(0, -1), "?");
    EXPECT_EQ(CellText(-1, 0), "?"); // a huge unsigned index
    fw::TLVColumnA Column;
    EXPECT_EQ(Send(fw::LVM_GETCOLUMNA, 3, &Column), 0);
    EXPECT_EQ(Send(fw::LVM_GETCOLUMNA, 0, nullptr), 0);
    EXPECT_EQ(Send(fw::LVM_GETITEMTEXTA, 0, nullptr), 0);
    // A short buffer takes what fits, ended; none takes nothing.
    char Text[3] = {'x', 'x', 'x'};
    fw::TLVItemA Query;
    Query.pszText = Text;
    Query.cchTextMax = sizeof Text;
    EXPECT_EQ(Send(fw::LVM_GETITEMTEXTA, 0, &Query), 2);
    EXPECT_STREQ(Text, "r1");
    Query.pszText = nullptr;
    EXPECT_EQ(Send(fw::LVM_GETITEMTEXTA, 0, &Query), 0);
    // A grid with no rows has no items.
    Grid->SetRows(0);
    EXPECT_EQ(Send(fw::LVM_GETITEMCOUNT, 0, nullptr), 0);
}

} // namespace
} // namespace vel
