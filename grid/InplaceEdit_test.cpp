#include "InplaceEdit.h"

#include "FormTestEnv.h"
#include "Grids_ts.h"
#include "Input.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <map>

namespace vel {
namespace {

// A base grid holding its cell texts, as a descendant does.
class TTextGrid : public TCustomGrid_ts {
public:
    using TCustomGrid_ts::TCustomGrid_ts;
    std::map<std::pair<int, int>, std::string> Cells;
    int Limit = 0;

protected:
    std::string GetEditText(int C, int R) override { return Cells[{C, R}]; }
    void SetEditText(int C, int R, const std::string& V) override { Cells[{C, R}] = V; }
    int GetEditLimit() override { return Limit; }
};

class InplaceEditTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        fw::AdvanceClock(1000);
        Grid = Place<TTextGrid>(0, 0, 200, 100);
        Grid->SetOptions(Grid->Options() | goEditing);
        Grid->Cells[{1, 1}] = "one";
        Grid->Cells[{1, 2}] = "two";
        Show();
        Grid->SetFocus();
    }
    TTextGrid* Grid = nullptr;
};

TEST_F(InplaceEditTest, F2OpensTheEditorAndLeavingWritesBack) {
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    EXPECT_TRUE(E->Visible());
    EXPECT_EQ(E->Text(), "one");
    EXPECT_EQ(E->BoundsRect(), Grid->CellRect(1, 1));
    EXPECT_TRUE(E->Focused());
    EXPECT_EQ(E->SelLength(), 0); // F2 puts the caret at the end
    fw::TypeText("!");
    fw::PressKey(fw::VK_DOWN); // goes to the grid
    EXPECT_EQ(Grid->Row(), 2);
    EXPECT_EQ(Grid->Cells[(std::pair<int, int>{1, 1})], "one!");
    EXPECT_FALSE(E->Visible());
}

TEST_F(InplaceEditTest, ACharacterOnTheGridOpensTheEditorWithIt) {
    fw::KeyChar('x');
    fw::ProcessMessages();
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    EXPECT_EQ(Grid->InplaceEditor()->Text(), "x"); // typed over the selected text
    fw::PressKey(fw::VK_RETURN);                   // the grid toggles the editor off
    EXPECT_FALSE(Grid->EditorMode());
    EXPECT_EQ(Grid->Cells[(std::pair<int, int>{1, 1})], "x");
}

TEST_F(InplaceEditTest, RightAtTheEndMovesOnWithAlwaysShowEditor) {
    Grid->SetOptions(Grid->Options() | goAlwaysShowEditor);
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    E->SetCaretPos(1);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(E->CaretPos(), 2);
    E->SetCaretPos(3);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(InplaceEditTest, LimitOfMinusOneMakesTheCellReadOnly) {
    Grid->Limit = -1;
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    EXPECT_FALSE(Grid->CanEditModifyFlag());
    fw::TypeText("zz");
    fw::PressKey(fw::VK_BACK);
    fw::SetClipboardText("paste");
    E->Perform(fw::WM_PASTE, 0, 0);
    E->Perform(fw::WM_CUT, 0, 0);
    EXPECT_EQ(E->Text(), "one");
}

TEST_F(InplaceEditTest, APressOnTheGridThenOnTheEditorIsADoubleClick) {
    int DblClicks = 0;
    Grid->OnDblClick = [&](fw::TObject*) { ++DblClicks; };
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    Grid->Perform(fw::WM_LBUTTONDOWN, fw::MK_LBUTTON, fw::MakeLParam(150, 80));
    Grid->Perform(fw::WM_LBUTTONUP, 0, fw::MakeLParam(150, 80));
    fw::PressKey(fw::VK_F2);
    fw::AdvanceClock(100);
    E->Perform(fw::WM_LBUTTONDOWN, fw::MK_LBUTTON, fw::MakeLParam(3, 3));
    E->Perform(fw::WM_LBUTTONUP, 0, fw::MakeLParam(3, 3));
    EXPECT_EQ(DblClicks, 1);
    EXPECT_EQ(E->ClickTime, 0);
}

TEST_F(InplaceEditTest, EnterTogglesTheSelectionInsideTheEditor) {
    Grid->SetOptions(Grid->Options() | goAlwaysShowEditor); // else Enter closes the editor
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    E->Perform(fw::WM_CHAR, '\r', 0);
    EXPECT_EQ(E->SelLength(), 3);
    E->Perform(fw::WM_CHAR, '\r', 0);
    EXPECT_EQ(E->SelLength(), 0);
}

} // namespace
} // namespace vel
