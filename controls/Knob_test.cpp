#include "Knob.h"

#include "ControlTestEnv.h"

#include <climits>

namespace vel {
namespace {

using fw::TPoint;

class KnobTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Knob = fw::Create<TKnob>(Form.get());
        Knob->SetParent(Form.get());
        Knob->SetLeft(10);
        Knob->SetTop(10);
        Show();
    }
    TPoint At(int x, int y) const { return fw::ControlPoint(Knob, x, y); }
    TKnob* Knob = nullptr;
};

TEST_F(KnobTest, RangeSweepAndValueArithmetic) {
    EXPECT_EQ(Knob->Width(), 48); // sized to its paint box
    EXPECT_EQ(Knob->Sweep(), 270);
    Knob->SetMin(25); // above Max: ignored
    EXPECT_EQ(Knob->Min(), 0);
    Knob->SetMax(-1); // below Min: ignored
    EXPECT_EQ(Knob->Max(), 20);
    Knob->SetMax(1000); // radius 13: 408 steps a revolution
    EXPECT_EQ(Knob->Revolutions(), 2);
    EXPECT_EQ(Knob->Sweep(), 630);
    Knob->SetRevolutions(0);
    EXPECT_EQ(Knob->Sweep(), 270);
    Knob->SetRadius(1); // 31 steps a revolution: 1000 / 31 = 32
    EXPECT_EQ(Knob->Revolutions(), 32);
    Knob->SetRevolutions(INT_MAX); // saturates instead of overflowing the angle
    EXPECT_EQ(Knob->Sweep(), (INT_MAX - 270) / 360 * 360 + 270);
    Knob->SetMultiplier(2);
    Knob->SetPosition(3);
    EXPECT_EQ(Knob->Value(), 6.0f);
    Knob->SetValue(7.0); // position 3.5 rounds to even
    EXPECT_EQ(Knob->Position(), 4);
    Knob->SetValue(9.0);
    EXPECT_EQ(Knob->Position(), 4); // 4.5 rounds to 4 as well
    Knob->SetValue(1e300);          // clamped before it becomes a position
    EXPECT_EQ(Knob->Position(), 1000);
    Knob->SetDivider(0);
    EXPECT_EQ(Knob->Value(), 2000.0f);
    EXPECT_EQ(Knob->Divider(), 1);
    int changes = 0, links = 0;
    Knob->OnChange = [&](fw::TObject*) { ++changes; };
    Knob->ChangeLink = [&](fw::TObject*) { ++links; };
    Knob->SetPosition(5000); // kept in range
    EXPECT_EQ(Knob->Position(), 1000);
    Knob->SetPosition(1000);
    Knob->SetMin(10);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(links, 2);
}

TEST_F(KnobTest, DotStartsLowerLeftAndTurnsThroughTheTopToLowerRight) {
    EXPECT_DOUBLE_EQ(Knob->Angle(), -45);
    EXPECT_EQ(Knob->DotRect(), (fw::TRect{12, 24, 22, 34})); // centre (17, 29)
    Knob->SetPosition(10);
    EXPECT_DOUBLE_EQ(Knob->Angle(), 90); // straight up: dy = 13
    EXPECT_EQ(Knob->DotRect(), (fw::TRect{21, 3, 31, 13}));
    Knob->SetPosition(20);
    EXPECT_EQ(Knob->DotRect(), (fw::TRect{29, 24, 39, 34})); // centre (34, 29)
    fw::TSurface s;
    fw::PaintControlTo(Knob, s);
    EXPECT_EQ(s.Pixel(34, 29), fw::ColorToPixel32(fw::clRed));
    EXPECT_EQ(s.Pixel(34, 24), fw::ColorToPixel32(fw::clBlack)); // pen
    Knob->SetEnabled(false);
    fw::PaintControlTo(Knob, s);
    EXPECT_EQ(s.Pixel(34, 29), fw::ColorToPixel32(fw::clSilver));
}

TEST_F(KnobTest, DragStepsByGranularityFromThePressPoint) {
    Knob->SetGranularity(4);
    int changing = 0, changes = 0;
    Knob->OnChanging = [&](fw::TObject*) { ++changing; };
    Knob->OnChange = [&](fw::TObject*) { ++changes; };
    fw::MouseDownAt(At(20, 20));
    EXPECT_TRUE(Knob->Dragging());
    EXPECT_EQ(fw::CursorCounter(), -1);
    fw::MouseMoveTo(At(23, 20)); // 3 pixels: nothing yet
    EXPECT_EQ(Knob->Position(), 0);
    EXPECT_EQ(Knob->Accumulator(), 3);
    fw::MouseMoveTo(At(24, 20)); // every move counts from the press: 3 + 4
    EXPECT_EQ(Knob->Position(), 1);
    EXPECT_EQ(Knob->Accumulator(), 3);
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(fw::GetCursorPos(), At(20, 20)); // put back after the step
    fw::ProcessMessages();                     // its return adds nothing
    EXPECT_EQ(Knob->Accumulator(), 3);
    fw::MouseMoveTo(At(21, 10)); // upward dominates: +10
    EXPECT_EQ(Knob->Position(), 4);
    EXPECT_EQ(Knob->Accumulator(), 1);
    fw::MouseMoveTo(At(50, 21)); // rightward dominates, past Max
    EXPECT_EQ(Knob->Position(), 11);
    EXPECT_EQ(changes, 0);
    fw::MouseUpAt(At(20, 20));
    EXPECT_FALSE(Knob->Dragging());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCapture(), nullptr);
}

TEST_F(KnobTest, OnePixelAtATimeAddsUpAsTheAlgorithmSays) {
    Knob->SetGranularity(4);
    fw::MouseDownAt(At(20, 20));
    fw::MouseMoveTo(At(21, 20)); // 1
    fw::MouseMoveTo(At(22, 20)); // 1 + 2
    EXPECT_EQ(Knob->Position(), 0);
    fw::MouseMoveTo(At(23, 20)); // 1 + 2 + 3 = 6: one step, 2 left
    EXPECT_EQ(Knob->Position(), 1);
    EXPECT_EQ(Knob->Accumulator(), 2);
    fw::MouseMoveTo(At(18, 20)); // 2 - 2 = 0
    EXPECT_EQ(Knob->Accumulator(), 0);
    fw::MouseUpAt(At(18, 20));
}

TEST_F(KnobTest, EveryDragEndsWithOneShowWhateverEndsIt) {
    int changes = 0;
    Knob->OnChange = [&](fw::TObject*) { ++changes; };
    fw::MouseDownAt(At(20, 20));
    fw::MouseDownAt(At(20, 20), fw::mbRight); // a second button: no second hide
    EXPECT_EQ(fw::CursorCounter(), -1);
    fw::MouseMoveTo(At(30, 20));
    fw::SetCapture(Form->Handle()); // capture lost
    EXPECT_FALSE(Knob->Dragging());
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(changes, 1); // the drag did change the position
    fw::MouseUpAt(At(30, 20), fw::mbRight);
    fw::MouseUpAt(At(30, 20));
    EXPECT_EQ(fw::CursorCounter(), 0);
    fw::ReleaseCapture();
    fw::MouseDownAt(At(20, 20));
    Knob->SetEnabled(false);
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCapture(), nullptr);
    Knob->SetEnabled(true);
    fw::MouseDownAt(At(20, 20));
    fw::Free(Knob);
    EXPECT_EQ(fw::CursorCounter(), 0);
}

TEST_F(KnobTest, CursorCounterBalancesAfterAnySequence) {
    ExpectCursorBalanced(Knob, Form.get(), 9, 60, 6, [this] { return Knob->Dragging(); });
}

TEST_F(KnobTest, ArrowKeysStepAndDoubleClickGoesHome) {
    Knob->SetFocus();
    fw::PressKey(fw::VK_UP);
    fw::PressKey(fw::VK_UP);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Knob->Position(), 1);
    Knob->SetTag(7);
    int dbl = 0;
    Knob->OnDblClick = [&](fw::TObject*) { ++dbl; };
    fw::DoubleClickAt(At(5, 5));
    EXPECT_EQ(Knob->Position(), 7);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(fw::CursorCounter(), 0);
}

TEST_F(KnobTest, ImageSizesThePaintBoxAndCentresTheCircle) {
    fw::TImage* img = fw::Create<fw::TImage>(Form.get());
    img->Picture().Bitmap().SetSize(40, 30);
    img->Picture().Bitmap().Canvas().SetPixels(0, 0, fw::clFuchsia);
    Knob->SetImage(img);
    EXPECT_EQ(Knob->Image(), img);
    EXPECT_EQ(Knob->PaintBox()->Width(), 40);
    EXPECT_EQ(Knob->Width(), 40);
    EXPECT_EQ(Knob->Height(), 30);
    EXPECT_EQ(Knob->CenterX(), 20);
    EXPECT_EQ(Knob->CenterY(), 15);
    EXPECT_TRUE(img->Picture().Bitmap().Transparent());
    EXPECT_EQ(img->Picture().Bitmap().TransparentColor(), fw::clFuchsia);
    Knob->SetImage(nullptr); // changes nothing
    EXPECT_EQ(Knob->Image(), img);
    fw::TImage* blank = fw::Create<fw::TImage>(Form.get());
    Knob->SetImage(blank); // an empty picture fails quietly and clears the image
    EXPECT_EQ(Knob->Image(), nullptr);
    Knob->SetImage(img);
    fw::Free(img);
    EXPECT_EQ(Knob->Image(), nullptr);
}

class EditTest : public KnobTest {
protected:
    void SetUp() override {
        KnobTest::SetUp();
        Edit = Place<TKnobEdit>(100, 10, 80, 21);
    }
    TKnobEdit* Edit = nullptr;
};

TEST_F(EditTest, DigitsOnlyFilterAndTheRedTypingColour) {
    TOvEdit* e = fw::Create<TOvEdit>(Form.get());
    e->SetParent(Form.get());
    e->SetDigitsOnly(true);
    e->SetFocus();
    EXPECT_EQ(e->Font().Color(), fw::clWindowText);
    fw::TypeText("1,5 a*/-+.e9");
    EXPECT_EQ(e->Text(), "15-+.9");
    EXPECT_EQ(e->Font().Color(), fw::clRed);
    EXPECT_EQ(e->Tag(), fw::clWindowText);
    fw::TypeText("1"); // already red: the saved colour stays
    EXPECT_EQ(e->Tag(), fw::clWindowText);
    int enters = 0, tabs = 0;
    e->OnEnterValue = [&](fw::TObject*) { ++enters; };
    e->OnTabKey = [&](fw::TObject*) { ++tabs; };
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(e->Font().Color(), fw::clWindowText);
    EXPECT_EQ(enters, 1);
    fw::PressKey(fw::VK_TAB); // kept by the edit: no focus move
    EXPECT_EQ(tabs, 1);
    EXPECT_EQ(enters, 2);
    EXPECT_TRUE(e->Focused());
    e->SetReadOnly(true); // no filter, no colour
    fw::TypeText("x");
    EXPECT_EQ(e->Font().Color(), fw::clWindowText);
    e->SetDigitsOnly(false);
    e->SetReadOnly(false);
    fw::TypeText("x");
    EXPECT_EQ(e->Text(), "15-+.91x");
}

TEST_F(EditTest, AlignmentLivesInTheWindowStyle) {
    TOvEdit* e = fw::Create<TOvEdit>(Form.get());
    e->SetParent(Form.get());
    e->SetAlignment(fw::taRightJustify); // before the window exists
    const std::uint32_t style = fw::GetWindowStyle(e->Handle());
    EXPECT_TRUE(style & fw::ES_MULTILINE);
    EXPECT_TRUE(style & fw::ES_RIGHT);
    e->SetAlignment(fw::taCenter);
    EXPECT_EQ(fw::GetWindowStyle(e->Handle()) & (fw::ES_RIGHT | fw::ES_CENTER), fw::ES_CENTER);
    e->SetAlignment(fw::taLeftJustify);
    EXPECT_EQ(fw::GetWindowStyle(e->Handle()) & (fw::ES_RIGHT | fw::ES_CENTER), 0u);
}

TEST_F(EditTest, ShowsTheKnobsValueAndWritesNumbersBack) {
    int chained = 0;
    Knob->ChangeLink = [&](fw::TObject*) { ++chained; };
    Knob->SetDivider(2);
    Knob->SetPosition(3);
    Edit->SetKnob(Knob);
    EXPECT_TRUE(Edit->DigitsOnly());
    EXPECT_EQ(Edit->Text(), "1.5");
    Knob->SetPosition(8);
    EXPECT_EQ(Edit->Text(), "4");
    EXPECT_EQ(chained, 3); // the knob's earlier listener still hears
    Edit->SetFocus();
    Edit->SelectAll();
    fw::TypeText("2.5");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Knob->Position(), 5);
    EXPECT_EQ(Edit->Text(), "2.5");
    Edit->SetKnob(nullptr);
    Knob->SetPosition(6);
    EXPECT_EQ(chained, 5);
    EXPECT_EQ(Edit->Text(), "2.5");
}

TEST_F(EditTest, LeavingWithTextThatIsNoNumberInRangeShowsTheValueAgain) {
    Edit->SetKnob(Knob);
    Knob->SetPosition(4);
    Edit->SetFocus();
    for (const char* bad : {"", "abc", "1e9", "-1", "nan", "inf", "1.2.3", "--2"}) {
        Edit->SetText(bad);
        Form->SetActiveControl(nullptr);
        fw::SetFocus(Form->Handle()); // leave
        EXPECT_EQ(Edit->Text(), "4") << bad;
        EXPECT_EQ(Knob->Position(), 4) << bad;
        Edit->SetFocus();
    }
    Edit->SetText(" +12 ");
    fw::SetFocus(Form->Handle());
    EXPECT_EQ(Knob->Position(), 12);
    EXPECT_EQ(Edit->Text(), "12");
}

TEST_F(EditTest, EditAndKnobMayGoInEitherOrder) {
    int chained = 0;
    Knob->ChangeLink = [&](fw::TObject*) { ++chained; };
    Edit->SetKnob(Knob);
    fw::Free(Edit); // the knob's link is given back
    Knob->SetPosition(2);
    EXPECT_EQ(chained, 2);
    TKnobEdit* other = fw::Create<TKnobEdit>(Form.get());
    other->SetKnob(Knob);
    fw::Free(Knob);
    EXPECT_EQ(other->Knob(), nullptr);
}

TEST(KnobText, FormatAndParseIgnoreTheLocale) {
    EXPECT_EQ(FormatKnobValue(6), "6");
    EXPECT_EQ(FormatKnobValue(0.5), "0.5");
    EXPECT_EQ(FormatKnobValue(123456), "1.235e+05");
    EXPECT_EQ(FormatKnobValue(0.0001), "0.0001");
    double v = 0;
    EXPECT_TRUE(ParseKnobValue("-2.25", v));
    EXPECT_EQ(v, -2.25);
    EXPECT_FALSE(ParseKnobValue("2,25", v));
    EXPECT_FALSE(ParseKnobValue("+", v));
    EXPECT_FALSE(ParseKnobValue("+-1", v));
    EXPECT_FALSE(ParseKnobValue("   ", v));
}

} // namespace
} // namespace vel
