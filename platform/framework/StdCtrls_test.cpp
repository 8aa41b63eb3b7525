#include "FormTestEnv.h"
#include "StdCtrls.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fw {
namespace {

class StdCtrlsTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(50, 50, 240, 80);
        Edit = Place<TEdit>(8, 8, 160, 21);
        Label = Place<TLabel>(8, 40, 10, 10);
        Form->Show();
        Edit->OnChange = [this](TObject*) { ++Changes; };
    }
    TEdit* Edit = nullptr;
    TLabel* Label = nullptr;
    int Changes = 0;
};

TEST_F(StdCtrlsTest, TypingInsertsAtTheCaretAndFiresOnChange) {
    Edit->SetFocus();
    TypeText("helo");
    PressKey(VK_LEFT);
    TypeText("l");
    EXPECT_EQ(Edit->Text(), "hello");
    EXPECT_EQ(Edit->CaretPos(), 4);
    EXPECT_EQ(Changes, 5);
    EXPECT_TRUE(Edit->Modified());
    PressKey(VK_END);
    PressKey(VK_BACK);
    PressKey(VK_HOME);
    PressKey(VK_DELETE);
    EXPECT_EQ(Edit->Text(), "ell");
}

TEST_F(StdCtrlsTest, ShiftArrowsSelectAndTypingReplacesTheSelection) {
    Edit->SetText("abcdef");
    Edit->SetFocus(); // keyboard focus selects all
    EXPECT_EQ(Edit->SelLength(), 6);
    PressKey(VK_HOME);
    PressKey(VK_RIGHT);
    PressKey(VK_RIGHT, ssShift);
    PressKey(VK_RIGHT, ssShift);
    EXPECT_EQ(Edit->SelStart(), 1);
    EXPECT_EQ(Edit->SelText(), "bc");
    TypeText("X");
    EXPECT_EQ(Edit->Text(), "aXdef");
    Edit->SetSelStart(1);
    Edit->SetSelLength(99);
    EXPECT_EQ(Edit->SelText(), "Xdef");
}

TEST_F(StdCtrlsTest, MaxLengthReadOnlyAndTheClipboard) {
    Edit->SetMaxLength(4);
    Edit->SetFocus();
    TypeText("abcdef");
    EXPECT_EQ(Edit->Text(), "abcd");
    PressKey('A', ssCtrl);
    PressKey('C', ssCtrl);
    EXPECT_EQ(ClipboardText(), "abcd");
    Edit->SetReadOnly(true);
    PressKey('X', ssCtrl);
    TypeText("z");
    EXPECT_EQ(Edit->Text(), "abcd");
    Edit->SetReadOnly(false);
    SetClipboardText("12\nsecond line");
    Edit->SetSelStart(4);
    Edit->PasteFromClipboard(); // no room left
    EXPECT_EQ(Edit->Text(), "abcd");
    Edit->SetText("");
    Edit->PasteFromClipboard();
    EXPECT_EQ(Edit->Text(), "12");
}

TEST_F(StdCtrlsTest, KeyEventsMayEatKeysBeforeTheEditSeesThem) {
    Edit->OnKeyPress = [](TObject*, char& k) {
        if (k == ',') k = 0;
    };
    Edit->SetFocus();
    TypeText("1,5");
    EXPECT_EQ(Edit->Text(), "15");
}

TEST_F(StdCtrlsTest, ClickingPlacesTheCaretAndTakesTheFocus) {
    Edit->SetText("abcdef");
    const int x = 2 + 6 * 3; // three 6-pixel character cells past the margin
    ClickAt(ControlPoint(Edit, x, 10));
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(Edit->CaretPos(), 3);
    EXPECT_EQ(Edit->SelLength(), 0);
    AdvanceClock(DoubleClickTime() + 1); // else the next press would be the second click
    DoubleClickAt(ControlPoint(Edit, x, 10));
    EXPECT_EQ(Edit->SelLength(), 6);
}

TEST_F(StdCtrlsTest, LabelSizesToItsCaptionAndFocusesByAccelerator) {
    Label->SetCaption("&Name");
    EXPECT_EQ(Label->Width(), 4 * 6); // the ampersand is not drawn
    EXPECT_GT(Label->Height(), 0);
    Label->SetFocusControl(Edit);
    KeyChar('n', ssAlt);
    EXPECT_TRUE(Edit->Focused());
    Free(Edit);
    EXPECT_EQ(Label->FocusControl(), nullptr);
}

TEST_F(StdCtrlsTest, PaintsTextAndRendersToPng) {
    Edit->SetText("Velmarch");
    Label->SetCaption("Label text");
    Form->SetColor(clWhite);
    TSurface s;
    PaintControlTo(Form.get(), s);
    // Some text pixels are dark inside the edit and the label.
    auto dark = [&](TRect r) {
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if ((s.Pixel(x, y) & 0xFFFFFF) == 0) return true;
        return false;
    };
    EXPECT_TRUE(dark(Bounds(10, 10, 100, 17)));
    EXPECT_TRUE(dark(Label->BoundsRect()));
    EXPECT_FALSE(dark(Bounds(180, 0, 60, 80)));
    if (std::getenv("VEL_RENDER_DIR")) {
        EXPECT_TRUE(RenderControlToPng(Form.get(), PicturePath("stdctrls.png")));
    }
}

} // namespace
} // namespace fw
