#include "TSGridCtrl.h"

#include "Bitmap.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include "Forms.h"

#include <memory>

namespace vel {
namespace {

class CellControlTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        fw::AdvanceClock(1000); // a click time of 0 means none
        LastPressNotLeft = false;
    }
    template <class T> T* Make() {
        T* C = Place<T>(10, 10, 40, 20);
        C->OnMouseDown = [this](fw::TObject*, fw::TMouseButton, fw::TShiftState Shift, int, int) {
            (Shift & fw::ssDouble) ? ++Doubles : ++Presses;
        };
        C->OnDblClick = [this](fw::TObject*) { ++DblClicks; };
        return C;
    }
    int Presses = 0;
    int Doubles = 0;
    int DblClicks = 0;
};

// A form that may refuse to have a control focused.
class TRefusingForm : public fw::TForm {
public:
    using fw::TForm::TForm;
    bool Refuse = false;
    fw::TWinControl* Asked = nullptr;
    bool SetFocusedControl(fw::TWinControl* Control) override {
        Asked = Control;
        return !Refuse && fw::TForm::SetFocusedControl(Control);
    }
};

TEST_F(CellControlTest, TheFocusIsDroppedWhenTheFormRefusesTheGrid) {
    auto Refusing = std::make_unique<TRefusingForm>(nullptr);
    TRefusingForm* F = Refusing.get();
    Form = std::move(Refusing);
    Form->SetBounds(100, 100, 300, 200);
    auto* Owner = Place<fw::TCustomControl>(0, 0, 200, 100);
    Owner->SetTabStop(true);
    auto* C = Place<TtsGridCheckBox>(10, 10, 40, 20);
    C->Grid = Owner;
    int Entered = 0;
    C->OnEnter = [&](fw::TObject*) { ++Entered; };
    Show();
    F->Refuse = true;
    C->SetFocus();
    EXPECT_EQ(F->Asked, Owner); // the form is asked about the grid, not the box
    EXPECT_EQ(Entered, 0);
    EXPECT_NE(Form->ActiveControl(), C);
    Owner->SetFocus();
    F->Refuse = false;
    C->SetFocus();
    EXPECT_EQ(Entered, 1);
    EXPECT_EQ(Form->ActiveControl(), C);
}

TEST_F(CellControlTest, FastRepeatedPressesBecomeADoubleClick) {
    auto* C = Make<TtsGridControl>();
    Show();
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    fw::AdvanceClock(100);
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    EXPECT_EQ(Presses, 1);
    EXPECT_EQ(DblClicks, 1);
    // One pixel apart: two presses.
    fw::AdvanceClock(1000);
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    fw::AdvanceClock(100);
    fw::ClickAt(fw::ControlPoint(C, 6, 5));
    EXPECT_EQ(Presses, 3);
    EXPECT_EQ(DblClicks, 1);
}

TEST_F(CellControlTest, NoOwnDoubleClickWithoutEditingOrAfterAClockWrap) {
    auto* C = Make<TtsGridControl>();
    Show();
    C->EditEnabled = false;
    C->ModifyEnabled = false;
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    fw::AdvanceClock(100);
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    EXPECT_EQ(DblClicks, 0);
    C->EditEnabled = true;
    C->LastClickTime = fw::GetTickCount() + 50; // as if the clock had wrapped since
    C->LastClickPos = fw::TPoint{5, 5};
    fw::AdvanceClock(1000);
    fw::ClickAt(fw::ControlPoint(C, 5, 5));
    EXPECT_EQ(DblClicks, 0);
}

TEST_F(CellControlTest, CanModifyAsksTheEventsInOrder) {
    auto* C = Make<TtsGridControl>();
    std::vector<std::string> Log;
    bool Cancel = false, ReadOnly = false;
    C->OnStartEdit = [&](fw::TObject*, bool& Cn) {
        Log.push_back("start");
        Cn = Cancel;
    };
    C->OnReadOnly = [&](fw::TObject*, bool, bool& Ro) {
        Log.push_back("readonly");
        Ro = ReadOnly;
    };
    C->EditEnabled = false;
    EXPECT_FALSE(C->CanModify(true));
    EXPECT_TRUE(Log.empty());
    EXPECT_TRUE(C->CanModify(false));
    EXPECT_EQ(Log, (std::vector<std::string>{"start", "readonly"}));
    Log.clear();
    Cancel = true;
    EXPECT_FALSE(C->CanModify(false));
    EXPECT_EQ(Log, (std::vector<std::string>{"start"}));
    Cancel = false;
    ReadOnly = true;
    EXPECT_FALSE(C->CanModify(false));
}

TEST_F(CellControlTest, DialogCodeWantsArrowsCharsAndTab) {
    auto* C = Make<TtsGridControl>();
    fw::LRESULT R = C->Perform(fw::WM_GETDLGCODE, 0, 0);
    EXPECT_TRUE(R & fw::DLGC_WANTARROWS);
    EXPECT_TRUE(R & fw::DLGC_WANTCHARS);
    EXPECT_TRUE(R & fw::DLGC_WANTTAB);
    C->WantTab = false;
    EXPECT_FALSE(C->Perform(fw::WM_GETDLGCODE, 0, 0) & fw::DLGC_WANTTAB);
}

// ---- check box ----

TEST_F(CellControlTest, CheckBoxStepsOnEveryFastClick) {
    auto* B = Make<TtsGridCheckBox>();
    Show();
    int Changes = 0;
    B->OnValueChanged = [&](fw::TObject*, bool) { ++Changes; };
    fw::ClickAt(fw::ControlPoint(B, 20, 10));
    fw::AdvanceClock(100);
    fw::ClickAt(fw::ControlPoint(B, 20, 10));
    EXPECT_EQ(B->State, 0); // unchecked -> checked -> unchecked
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(DblClicks, 0);
    B->AllowGrayed = true;
    fw::AdvanceClock(1000);
    fw::ClickAt(fw::ControlPoint(B, 20, 10));
    fw::AdvanceClock(1000);
    fw::ClickAt(fw::ControlPoint(B, 20, 10));
    EXPECT_EQ(B->State, 2);
    EXPECT_EQ(std::get<std::int32_t>(B->Value), 2);
}

TEST_F(CellControlTest, CheckBoxPressReleasedOutsideChangesNothing) {
    auto* B = Make<TtsGridCheckBox>();
    Show();
    fw::MouseDownAt(fw::ControlPoint(B, 20, 10));
    EXPECT_TRUE(B->Down);
    fw::MouseMoveTo(fw::ControlPoint(B, -3, 10)); // three pixels of slack on the left
    EXPECT_TRUE(B->Down);
    fw::MouseMoveTo(fw::ControlPoint(B, -4, 10));
    EXPECT_FALSE(B->Down);
    fw::MouseUpAt(fw::ControlPoint(B, -4, 10));
    EXPECT_EQ(B->State, 0);
    EXPECT_FALSE(B->Pressing);
}

TEST_F(CellControlTest, RefusedPressAndSpaceKey) {
    auto* B = Make<TtsGridCheckBox>();
    Show();
    bool Cancel = true;
    B->OnStartEdit = [&](fw::TObject*, bool& C) { C = Cancel; };
    fw::ClickAt(fw::ControlPoint(B, 20, 10));
    EXPECT_EQ(B->State, 0);
    B->SetFocus();
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(B->State, 0);
    EXPECT_FALSE(B->SpaceRefused);
    Cancel = false;
    int Clicks = 0;
    B->OnClick = [&](fw::TObject*) { ++Clicks; };
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(B->State, 1);
    EXPECT_EQ(Clicks, 1);
}

TEST_F(CellControlTest, EscapeUndoesTheFirstChangeUntilTheGridSetsAValue) {
    auto* B = Make<TtsGridCheckBox>();
    Show();
    B->SetFocus();
    fw::PressKey(fw::VK_SPACE);
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(B->State, 0);
    EXPECT_TRUE(B->Saved);
    bool Refuse = true;
    B->OnUndo = [&](fw::TObject*, bool, bool& R) { R = Refuse; };
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_TRUE(B->Saved);
    Refuse = false;
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(B->State, 1);
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_EQ(B->State, 0);
    EXPECT_FALSE(B->Saved);
    // A value from the grid ends the undo memory: Escape is not consumed.
    fw::PressKey(fw::VK_SPACE);
    B->SetValue(std::int32_t(1), false, false);
    std::uint16_t Key = fw::VK_ESCAPE;
    int Seen = 0;
    B->OnCtlKeyDown = [&](fw::TObject*, std::uint16_t& K, fw::TShiftState) { Seen = K; };
    B->Perform(fw::WM_KEYDOWN, Key, 0);
    EXPECT_EQ(Seen, fw::VK_ESCAPE);
    EXPECT_EQ(B->State, 1);
}

TEST_F(CellControlTest, CheckBoxValuesConvertBetweenStateAndText) {
    auto* B = Make<TtsGridCheckBox>();
    B->CheckBoxValues = "Yes|No";
    B->SetValue(std::int32_t(1), false, false);
    EXPECT_EQ(B->State, 1);
    EXPECT_EQ(std::get<std::string>(B->Value), "Yes");
    B->SetValue(std::string("no"), false, false);
    EXPECT_EQ(B->State, 0);
    B->SetValue(std::string("maybe"), false, false);
    EXPECT_EQ(B->State, 2);
    B->SetValue(std::string("No"), false, false);
    B->StepState();
    EXPECT_EQ(std::get<std::string>(B->Value), "Yes");
    EXPECT_EQ(B->State, 1);
}

TEST_F(CellControlTest, NumbersOutsideTheThreeStatesShowGrayed) {
    auto* B = Make<TtsGridCheckBox>();
    for (std::int32_t V : {7, 256, -1}) {
        B->SetValue(V, false, false);
        EXPECT_EQ(B->State, 2) << V;
    }
    B->SetValue(std::int32_t(1), false, false);
    EXPECT_EQ(B->State, 1);
    EXPECT_EQ(CheckStateOf(TtsVariant(true), ""), 1);
    EXPECT_EQ(CheckStateOf(TtsVariant(), ""), 2);
    EXPECT_EQ(CheckStateOf(TtsVariant(std::string("Off")), "On|Off"), 0);
}

TEST_F(CellControlTest, LoadAndEditValueAskTheirEvents) {
    auto* B = Make<TtsGridCheckBox>();
    bool ReadOnly = true;
    B->OnReadOnly = [&](fw::TObject*, bool, bool& R) { R = ReadOnly; };
    std::vector<bool> Notified;
    B->OnChanged = [&](fw::TObject*, bool N, bool, bool) { Notified.push_back(N); };
    B->LoadValue(std::int32_t(1));
    B->EditValue(std::int32_t(1), false);
    EXPECT_EQ(B->State, 0);
    ReadOnly = false;
    B->LoadValue(std::int32_t(1));
    B->EditValue(std::int32_t(0), true);
    EXPECT_EQ(B->State, 0);
    EXPECT_EQ(Notified, (std::vector<bool>{false, true}));
}

TEST_F(CellControlTest, GlyphsOfEachStyle) {
    auto* B = Make<TtsGridCheckBox>();
    fw::TRect Src;
    fw::TRasterOp Rop = 0;
    B->GetGlyph(1, true, Src, Rop);
    EXPECT_EQ(Src, (fw::TRect{0, 3 * 13, 13, 4 * 13}));
    EXPECT_EQ(Rop, fw::SRCCOPY);
    B->SetCheckBoxStyle(stFlat);
    EXPECT_EQ(B->GlyphIndex, (std::array<int, 3>{6, 7, 8}));
    B->GetGlyph(2, true, Src, Rop);
    EXPECT_EQ(Src.Top, 8 * 13);
    EXPECT_EQ(Rop, fw::MERGECOPY);
    B->SetCheckBoxStyle(stCross);
    EXPECT_EQ(B->GlyphIndex, (std::array<int, 3>{0, 1, 2}));
    B->Pressing = true;
    B->Down = true;
    B->GetGlyph(0, true, Src, Rop);
    EXPECT_EQ(Src.Top, 10 * 13);
    B->GetGlyph(0, false, Src, Rop);
    EXPECT_EQ(Src.Top, 1 * 13);
    EXPECT_EQ(CheckBoxGlyphStrip().Width(), 13);
    EXPECT_EQ(CheckBoxGlyphStrip().Height(), 234);
}

TEST_F(CellControlTest, FlatBoxTakesTheCellColourInside) {
    auto* B = Make<TtsGridCheckBox>();
    B->SetCheckBoxStyle(stFlat);
    B->SetColor(fw::clYellow);
    fw::TBitmap Bmp;
    Bmp.SetSize(40, 20);
    fw::PaintControlTo(B, Bmp.Surface());
    ASSERT_TRUE(fw::RenderControlToPng(B, fw::PicturePath("flat_box.png")));
    // The glyph sits at x 12, y 3; its middle is inside the box.
    EXPECT_EQ(Bmp.Canvas().Pixels(12 + 6, 3 + 6), fw::clYellow);
    // The merge copy ANDs the edge with the brush as well.
    EXPECT_EQ(Bmp.Canvas().Pixels(12, 3), fw::ColorToRGB(fw::clBtnShadow) & fw::clYellow);
    B->SetCheckBoxStyle(stCheck);
    fw::PaintControlTo(B, Bmp.Surface());
    EXPECT_EQ(Bmp.Canvas().Pixels(12 + 6, 3 + 2), fw::clWhite);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(GridUnitRoutines, OldAlignmentIdentifiers) {
    EXPECT_EQ(ReadOldAlignment("taLeftJustify"), 0);
    EXPECT_EQ(ReadOldAlignment("TARIGHTJUSTIFY"), 1);
    EXPECT_EQ(ReadOldAlignment("taCenter"), 2);
    EXPECT_EQ(ReadOldAlignment("whatever"), 0);
}

} // namespace
} // namespace vel
