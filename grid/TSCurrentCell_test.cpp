#include "StdCtrls.h"
#include "TSCurrentCell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vel {
namespace {

// An engine with a current cell, an editor and a value store.
struct TEngine : TtsGridLink {
    int Col = 1, Row = 1;
    bool Editable = true, Refuse = false, EditMode = true;
    int Fetches = 0, Moves = -1;
    int SelStart = 0, SelLength = 0;
    std::map<std::pair<int, int>, TtsVariant> Values;
    std::vector<std::string> Calls;
    TtsCurrentCell* Cell = nullptr;
    bool HasCurrentCell() const override { return true; }
    bool CanEdit() const override { return Editable; }
    bool HasWindow() const override { return true; }
    bool HasEditor() const override { return true; }
    int CurrentDisplayCol() const override { return Col; }
    int CurrentDisplayRow() const override { return Row; }
    bool CheckValue(int, const TtsVariant&) override { return !Refuse; }
    void MarkRowChanged() override { Calls.push_back("changed"); }
    void StoreCellValue(int c, int r, const TtsVariant& v) override { Values[{c, r}] = v; }
    void LoadControl(const TtsVariant& v, bool) override {
        Calls.push_back("load");
        Text = VarToText(v);
        if (Cell) Cell->Load(v, false);
    }
    TtsVariant FetchCellValue(int c, int r) override {
        ++Fetches;
        auto it = Values.find({c, r});
        return it == Values.end() ? TtsVariant() : it->second;
    }
    int EditorSelStart() const override { return SelStart; }
    int EditorSelLength() const override { return SelLength; }
    bool EditorPaste(bool) override {
        Calls.push_back("paste");
        return true;
    }
    std::string EditorText() const override { return Text; }
    std::string Text; // what the editor holds
    bool IsEditInsertMode() const override { return EditMode; }
    void MoveCurrentCol(int c) override { Moves = c; }
};

TEST(CurrentCell, NoRowsMeansNoCell) {
    TEngine e;
    TtsGridModel g("Grid1", 3, 0, &e);
    TtsCurrentCell c(&g);
    EXPECT_EQ(c.DataRow(), -1);
    EXPECT_EQ(c.DataCol(), -1);
    EXPECT_FALSE(c.SetValue(TtsVariant(std::int32_t{1}), false, false));
    EXPECT_EQ(c.ControlType(), ctNone);
}

TEST(CurrentCell, ValuesAreCheckedStoredAndReloadedOnce) {
    TEngine e;
    TtsGridModel g("Grid1", 3, 3, &e);
    TtsCurrentCell c(&g);
    e.Cell = &c;
    e.Values[{2, 1}] = TtsVariant(std::string("abc"));
    e.Col = 2;
    EXPECT_EQ(std::get<std::string>(c.Value()), "abc");
    EXPECT_EQ(std::get<std::string>(c.Value()), "abc");
    EXPECT_EQ(e.Fetches, 1);
    e.Refuse = true;
    EXPECT_FALSE(c.SetValue(TtsVariant(std::string("no")), false, false));
    e.Refuse = false;
    ASSERT_TRUE(c.SetValue(TtsVariant(std::string("new")), true, false));
    EXPECT_EQ(std::get<std::string>(e.Values[{2, 1}]), "new");
    EXPECT_EQ(std::get<std::string>(c.Value()), "new");
    e.Editable = false;
    EXPECT_FALSE(c.SetValue(TtsVariant(std::string("x")), false, false));
    // Moving the current cell makes the next read fetch again.
    e.Row = 2;
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_EQ(e.Fetches, 2);
}

TEST(CurrentCell, PasteRespectsMaxLength) {
    TEngine e;
    TtsGridModel g("Grid1", 2, 2, &e);
    TtsCurrentCell c(&g);
    e.Cell = &c;
    e.Values[{1, 1}] = TtsVariant(std::string("abcd"));
    EXPECT_TRUE(c.PasteFits("anything at all"));
    g.Col(1)->SetMaxLength(6);
    e.SelLength = 1;
    EXPECT_TRUE(c.PasteFits("xyz"));
    EXPECT_FALSE(c.PasteFits("wxyz"));
    fw::SetClipboardText("too long text");
    EXPECT_FALSE(c.Paste());
    EXPECT_EQ(std::count(e.Calls.begin(), e.Calls.end(), "paste"), 0);
    fw::SetClipboardText("ok");
    EXPECT_TRUE(c.Paste());
    EXPECT_EQ(std::count(e.Calls.begin(), e.Calls.end(), "paste"), 1);
}

TEST(CurrentCell, WholeTextSelectionAndPictureFallbacks) {
    TEngine e;
    TtsGridModel g("Grid1", 2, 2, &e);
    TtsCurrentCell c(&g);
    e.Cell = &c;
    e.Values[{1, 1}] = TtsVariant(std::string("abc"));
    e.SelLength = 3;
    EXPECT_TRUE(c.IsWholeTextSelected());
    e.SelStart = 1;
    EXPECT_FALSE(c.IsWholeTextSelected());
    g.Col(1)->SetControlType(ctCheck);
    EXPECT_TRUE(c.IsWholeTextSelected());
    EXPECT_TRUE(c.StretchPicture());
    EXPECT_FALSE(c.KeepAspectRatio());
    g.Row(1)->SetPictureOption(1, dopOff);
    g.Cell(1, 1).SetPictureOption(4, dopOn);
    EXPECT_FALSE(c.StretchPicture());
    EXPECT_TRUE(c.KeepAspectRatio());
}

TEST(CurrentCell, MoveToColOnlyInEditInsertModeAndInRange) {
    TEngine e;
    TtsGridModel g("Grid1", 4, 2, &e);
    TtsCurrentCell c(&g);
    EXPECT_FALSE(c.MoveToCol(9));
    EXPECT_TRUE(c.MoveToCol(3));
    EXPECT_EQ(e.Moves, 3);
    e.EditMode = false;
    EXPECT_FALSE(c.MoveToCol(2));
    EXPECT_EQ(e.Moves, 3);
}

} // namespace
} // namespace vel
