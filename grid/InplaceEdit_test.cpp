#include "InplaceEdit.h"

#include "FormTestEnv.h"
#include "Grids_ts.h"
#include "Input.h"
#include "Timers.h"
#include "WideEdit.h"

#include "Bitmap.h"
#include "StdCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

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
    bool CanEditAcceptKey(char Key) override { return !Digits || !(Key >= '0' && Key <= '9'); }

public:
    bool Digits = false; // digits refused
    using TCustomGrid_ts::IsActiveControl;
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

TEST_F(InplaceEditTest, ClearNeedsAModifiableCell) {
    Grid->Limit = -1;
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    E->SelectAll();
    E->Perform(fw::WM_CLEAR, 0, 0);
    EXPECT_EQ(E->Text(), "one");
    Grid->HideEditor();
    Grid->Limit = 0;
    fw::PressKey(fw::VK_F2);
    E->SetSelStart(0);
    E->SetSelLength(2);
    E->Perform(fw::WM_CLEAR, 0, 0);
    EXPECT_EQ(E->Text(), "e");
}

TEST_F(InplaceEditTest, ARefusedCharacterBeepsAndTheWheelIsTheGrids) {
    Grid->Digits = true;
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    const int Beeps = fw::BeepCount();
    fw::TypeText("7a");
    EXPECT_EQ(E->Text(), "onea");
    EXPECT_EQ(fw::BeepCount(), Beeps + 1);
    int Wheels = 0;
    Grid->OnMouseWheel = [&](fw::TObject* Sender, fw::TShiftState, int, fw::TPoint, bool& Handled) {
        EXPECT_EQ(Sender, Grid);
        ++Wheels;
        Handled = true;
    };
    ASSERT_TRUE(E->Focused());
    fw::MouseWheelAt(fw::ControlPoint(E, 3, 3), -120);
    EXPECT_EQ(Wheels, 1);
}

TEST_F(InplaceEditTest, TheEditingRectangleStartsTwoPixelsIn) {
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    fw::TRect R;
    E->Perform(fw::EM_GETRECT, 0, reinterpret_cast<fw::LPARAM>(&R));
    EXPECT_EQ(R, (fw::TRect{2, 2, E->Width() - 2, E->Height()}));
    // The text's ink starts inside it, and the editor has no frame of its own.
    fw::TBitmap Shot(E->Width(), E->Height());
    fw::PaintControlTo(E, Shot.Surface());
    int Left = E->Width(), Top = E->Height();
    for (int Y = 0; Y < E->Height(); ++Y)
        for (int X = 0; X < E->Width(); ++X)
            if (Shot.Canvas().Pixels(X, Y) == fw::ColorToRGB(fw::clWindowText)) {
                Left = std::min(Left, X);
                Top = std::min(Top, Y);
            }
    EXPECT_GE(Left, 2);
    EXPECT_GE(Top, 2);
    EXPECT_EQ(E->FrameWidth(), 0);
}

TEST_F(InplaceEditTest, TypingReachesTheCellAtOnceAndLeavingClosesTheEditor) {
    auto* Other = Place<fw::TEdit>(0, 150, 60, 20);
    fw::PressKey(fw::VK_F2);
    TInplaceEdit* E = Grid->InplaceEditor();
    ASSERT_NE(E, nullptr);
    fw::TypeText("s");
    EXPECT_EQ(Grid->Cells[(std::pair<int, int>{1, 1})], "ones"); // the change command
    // The grid's font goes to its editor.
    fw::TFont Big;
    Big.SetHeight(-20);
    Grid->Font().Assign(Big);
    EXPECT_EQ(E->Font().Height(), -20);
    // Enter is a key the grid wants while editing.
    EXPECT_EQ(Grid->Perform(fw::CM_WANTSPECIALKEY, fw::VK_RETURN, 0), 1);
    Other->SetFocus();
    EXPECT_FALSE(E->Visible());
    EXPECT_FALSE(Grid->EditorMode());
    Grid->SetOptions(Grid->Options() & ~goEditing);
    EXPECT_EQ(Grid->Perform(fw::CM_WANTSPECIALKEY, fw::VK_RETURN, 0), 0);
}

TEST(InplaceEditAlone, WithoutAFormTheGridIsActiveWhileTheFocusIsInside) {
    fw::ResetInputState();
    auto Top = std::make_unique<fw::TCustomControl>(nullptr);
    Top->SetBounds(0, 0, 300, 200);
    auto* Grid = fw::Create<TTextGrid>(Top.get());
    Grid->SetParent(Top.get());
    Grid->SetBounds(0, 0, 200, 100);
    Grid->SetOptions(Grid->Options() | goEditing | goAlwaysShowEditor);
    Grid->Cells[{1, 1}] = "one";
    Top->Show();
    Top->HandleNeeded(); // a window of its own, with no form
    fw::ProcessMessages();
    Grid->SetFocus();
    EXPECT_TRUE(Grid->IsActiveControl());
    Grid->ShowEditor();
    ASSERT_NE(Grid->InplaceEditor(), nullptr);
    Grid->InplaceEditor()->SetFocus();
    EXPECT_TRUE(Grid->IsActiveControl()); // the editor lies inside the grid
    Top->SetFocus();
    EXPECT_FALSE(Grid->IsActiveControl());
    Top.reset();
    fw::ResetInputState();
}

} // namespace
} // namespace vel
