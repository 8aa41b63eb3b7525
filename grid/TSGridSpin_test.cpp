// Spin cells: the button, its steps, held repeats, the arrow keys and typing.
#include "GridTestEnv.h"
#include "TSGridEdit.h"
#include "Timers.h"

#include <gtest/gtest.h>
#include <string>

namespace vel {
namespace {

class SpinTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Grid->Col(2)->SetButtonType(btVertSpin);
        Grid->Col(3)->SetButtonType(btHorzSpin);
        Grid->SetCellValue(2, 1, TtsVariant(std::string("7")));
        Grid->SetCellValue(3, 1, TtsVariant(std::string("7")));
        Focus();
    }
    TtsGridEditBox& Edit() { return *Grid->EditStrategy().Edit(); }
    // A point in a half of the current cell's button: 1 the adding half, -1 the other.
    fw::TPoint Half(int Dir) {
        const fw::TRect B = Grid->CellButtonRect();
        const bool Vertical = Grid->Model().EffectiveButtonType(Grid->CurrentDataCol(), 1) == btVertSpin;
        const int X = Vertical ? (B.Left + B.Right) / 2 : Dir > 0 ? B.Right - 3 : B.Left + 3;
        const int Y = !Vertical ? (B.Top + B.Bottom) / 2 : Dir > 0 ? B.Top + 2 : B.Bottom - 2;
        return fw::ControlPoint(Grid, X, Y);
    }
    void Click(int Dir) {
        fw::MouseDownAt(Half(Dir));
        fw::MouseUpAt(Half(Dir));
    }
};

TEST_F(SpinTest, TheButtonStandsBesideTheEditorAndEachHalfSteps) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    const fw::TRect B = Grid->CellButtonRect();
    ASSERT_FALSE(B.IsEmpty());
    EXPECT_EQ(B.Right, Grid->CellRect(2, 1).Right - 1);
    EXPECT_LE(Edit().Left() + Edit().Width(), B.Left);
    Click(1);
    EXPECT_EQ(Edit().EditText(), "8");
    Click(1);
    Click(-1);
    EXPECT_EQ(Edit().EditText(), "8");
    // The step is an edit of the cell: stored when the cell is left.
    ASSERT_TRUE(Grid->SetCurrentCell(3, 1));
    EXPECT_EQ(Stored(2, 1), "8");
    // Sideways: the right half adds, the left takes away.
    Click(-1);
    Click(-1);
    EXPECT_EQ(Edit().EditText(), "5");
    Grid->SetCurrentCell(1, 1);
    EXPECT_TRUE(Grid->CellButtonRect().IsEmpty()); // a plain cell has no button
    EXPECT_EQ(Stored(3, 1), "5");
}

TEST_F(SpinTest, TheNumberUnderTheCaretStepsKeepingItsForm) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    auto StepFrom = [&](const std::string& Text, int Caret, double Increment) {
        Grid->EndCellEdit(); // the step before is stored, so the new value loads
        Grid->Col(2)->SetSpinIncrement(Increment);
        Grid->SetCellValue(2, 1, TtsVariant(Text));
        Edit().SetSelStart(Caret);
        EXPECT_TRUE(Grid->SpinStep(1));
        return Edit().EditText();
    };
    EXPECT_EQ(StepFrom("1,999", 1, 1), "2,000");
    EXPECT_EQ(StepFrom("0.50", 0, 0.25), "0.75");
    EXPECT_EQ(StepFrom("007", 0, 1), "008");
    EXPECT_EQ(StepFrom("-05", 0, 1), "-04"); // the padding stays behind the sign
    EXPECT_EQ(StepFrom("x 9 y", 2, 1), "x 10 y");
    EXPECT_EQ(StepFrom("", 0, 5), "5");
    Grid->EndCellEdit();
    Grid->SetCellValue(2, 1, TtsVariant(std::string("abc")));
    EXPECT_FALSE(Grid->SpinStep(1));
    EXPECT_EQ(Edit().EditText(), "abc");
    // A cell that may not change does not step.
    Grid->SetCellValue(2, 1, TtsVariant(std::string("3")));
    Grid->SetReadOnly(true);
    EXPECT_FALSE(Grid->SpinStep(1));
    EXPECT_EQ(Edit().EditText(), "3");
}

TEST_F(SpinTest, AStepNeverShowsTheNumberGoingBack) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    struct TCase {
        const char* Text;
        double Increment;
        bool Changes; // false: too small a step to change the number
    } const Cases[] = {{"100000000000000000000000", 1, false}, {"12345678901234567890", 1, false},
                       {"12345678901234567890", 4096, true}, {"0.1234567890123444", 1e-17, true},
                       {"0.1234567890123444", 1e-18, false}};
    for (const TCase& C : Cases)
        for (int Dir : {1, -1}) {
            SCOPED_TRACE(testing::Message() << C.Text << " by " << C.Increment * Dir);
            Grid->EndCellEdit();
            Grid->Col(2)->SetSpinIncrement(C.Increment);
            Grid->SetCellValue(2, 1, TtsVariant(std::string(C.Text)));
            EXPECT_EQ(Grid->SpinStep(Dir), C.Changes);
            const long double Shown = std::stold(Edit().EditText()), Was = std::stold(C.Text);
            EXPECT_EQ(Edit().EditText() == C.Text, !C.Changes);
            EXPECT_EQ(Grid->CellModified(), C.Changes);
            EXPECT_TRUE(!C.Changes || (Dir > 0 ? Shown > Was : Shown < Was)) << Edit().EditText();
        }
}

TEST_F(SpinTest, AHeldHalfRepeatsOnlyWithAutoRepeat) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    fw::MouseDownAt(Half(1));
    EXPECT_EQ(Edit().EditText(), "8");
    fw::AdvanceClock(400 + 80 * 3);
    const int Held = std::stoi(Edit().EditText());
    EXPECT_GE(Held, 11);
    fw::MouseUpAt(Half(1));
    fw::AdvanceClock(400);
    EXPECT_EQ(std::stoi(Edit().EditText()), Held); // released: no more steps
    Grid->Col(2)->SetSpinOptions(spoAll & ~spoAutoRepeat);
    fw::MouseDownAt(Half(-1));
    fw::AdvanceClock(1000);
    fw::MouseUpAt(Half(-1));
    EXPECT_EQ(std::stoi(Edit().EditText()), Held - 1);
}

TEST_F(SpinTest, ArrowKeysStepWithAutoIncrementAndTypingNeedsKeyEdit) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    fw::PressKey(fw::VK_UP);
    fw::PressKey(fw::VK_UP);
    EXPECT_EQ(Edit().EditText(), "9");
    EXPECT_EQ(Grid->CurrentDisplayRow(), 1);
    Grid->Col(2)->SetSpinOptions(spoAutoRepeat | spoKeyEdit);
    fw::PressKey(fw::VK_DOWN); // moves the current cell now
    EXPECT_EQ(Grid->CurrentDisplayRow(), 2);
    EXPECT_EQ(Stored(2, 1), "9");
    // Without key edits the cell takes no typing, but still steps.
    Grid->Col(2)->SetSpinOptions(spoAutoIncrement);
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    Edit().SetSelStart(1);
    fw::TypeText("5");
    fw::PressKey(fw::VK_BACK);
    EXPECT_EQ(Edit().EditText(), "9");
    fw::PressKey(fw::VK_UP);
    EXPECT_EQ(Edit().EditText(), "10");
    Grid->Col(2)->SetSpinOptions(spoAll);
    Edit().SetSelStart(2);
    fw::TypeText("5");
    EXPECT_EQ(Edit().EditText(), "105");
}

TEST_F(SpinTest, TheButtonIsPaintedWithItsHalvesAndArrows) {
    ASSERT_TRUE(Grid->SetCurrentCell(2, 1));
    Picture();
    const fw::TRect B = Grid->CellButtonRect();
    EXPECT_TRUE(Has(fw::clBtnFace, B));
    EXPECT_TRUE(Has(fw::clBlack, B)); // the arrows
    // The upper half pressed shows sunken: its top left edge turns dark.
    fw::MouseDownAt(Half(1));
    Picture();
    const fw::TColor Pressed = Shot.Canvas().Pixels(B.Left, B.Top);
    fw::MouseUpAt(Half(1));
    Picture();
    EXPECT_NE(Shot.Canvas().Pixels(B.Left, B.Top), Pressed);
}

} // namespace
} // namespace vel
