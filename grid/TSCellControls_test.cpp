#include "TSCellControls.h"

#include "DragCtrls.h"
#include "FormTestEnv.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vel {
namespace {

class StrategyTest : public fw::FormTest {
protected:
    TtsDefaultGridControl Default{nullptr};
    TtsEditGridControl Text{nullptr};
    TtsCheckGridControl Check{nullptr};
};

TEST_F(StrategyTest, DefaultStrategyHasNoColourOrValue) {
    EXPECT_EQ(Default.GetColor(), fw::clNone);
    Default.SetColor(fw::clRed);
    EXPECT_EQ(Default.GetColor(), fw::clNone);
    EXPECT_NE(Default.Control()->Color(), fw::clRed);
    Default.SetValue(std::string("x"));
    EXPECT_TRUE(VarIsEmpty(Default.GetValue()));
    EXPECT_FALSE(Default.GetVisible());
}

TEST_F(StrategyTest, OnlyTheTextStrategyIsATextControl) {
    EXPECT_FALSE(Default.IsTextControl());
    EXPECT_TRUE(Text.IsTextControl());
    EXPECT_FALSE(Check.IsTextControl());
}

TEST_F(StrategyTest, TextStrategyTurnsMultiLineWithABreakOrAWrap) {
    Text.SetParent(Form.get());
    Text.SetBounds(0, 0, 40, 40);
    Text.SetValue(std::string("ab"));
    EXPECT_FALSE(Text.IsMultiLine());
    Text.SetValue(std::string("ab\r\ncd"));
    EXPECT_TRUE(Text.IsMultiLine());
    Text.SetValue(std::string("aaaa bbbb cccc"));
    EXPECT_TRUE(Text.IsMultiLine());
    Text.SetBounds(0, 0, 40, 12); // one line high: never wraps
    EXPECT_FALSE(Text.IsMultiLine());
    Text.SetValueSelect(std::int32_t(42), true);
    EXPECT_EQ(std::get<std::string>(Text.GetValue()), "42");
    EXPECT_EQ(Text.GetSelText(), "42");
    Text.SetMaxLength(9);
    EXPECT_EQ(Text.GetMaxLength(), 9);
}

TEST_F(StrategyTest, FlagsPassThroughToTheWindow) {
    Check.SetWantTab(false);
    Check.SetAlwaysShowFocus(true);
    Check.SetEditEnabled(false);
    EXPECT_FALSE(Check.Control()->WantTab);
    EXPECT_TRUE(Check.Control()->AlwaysShowFocus);
    EXPECT_FALSE(Check.GetEditEnabled());
    EXPECT_TRUE(Check.IsToggleKey(fw::VK_SPACE));
    EXPECT_FALSE(Text.IsToggleKey(fw::VK_SPACE));
}

// Every event set on a strategy lands on the control's own field of that meaning, reads
// back, and a whole set travels at once.
TEST_F(StrategyTest, EachEventHandlerReachesItsFieldOfTheControl) {
    std::vector<std::string> Heard;
    auto Note = [&](const char* Name) { Heard.push_back(Name); };
    TtsGridControl& C = *Text.Control();
    Text.SetOnKeyDown([&](fw::TObject*, std::uint16_t&, fw::TShiftState) { Note("KeyDown"); });
    Text.SetOnKeyUp([&](fw::TObject*, std::uint16_t&, fw::TShiftState) { Note("KeyUp"); });
    Text.SetOnKeyPress([&](fw::TObject*, char&) { Note("KeyPress"); });
    Text.SetOnValueChanged([&](fw::TObject*, bool) { Note("ValueChanged"); });
    Text.SetOnChanged([&](fw::TObject*, bool, bool, bool) { Note("Changed"); });
    Text.SetOnStartEdit([&](fw::TObject*, bool&) { Note("StartEdit"); });
    Text.SetOnReadOnly([&](fw::TObject*, bool, bool&) { Note("ReadOnly"); });
    Text.SetOnUndo([&](fw::TObject*, bool, bool&) { Note("Undo"); });
    Text.SetOnExit([&](fw::TObject*) { Note("Exit"); });
    Text.SetOnWantKey([&](fw::TObject*, std::uint16_t, bool&) { Note("WantKey"); });
    Text.SetOnClick([&](fw::TObject*) { Note("Click"); });
    Text.SetOnDblClick([&](fw::TObject*) { Note("DblClick"); });
    Text.SetOnMouseDown([&](fw::TObject*, fw::TMouseButton, fw::TShiftState, int, int) {
        Note("MouseDown");
    });
    Text.SetOnMouseUp([&](fw::TObject*, fw::TMouseButton, fw::TShiftState, int, int) {
        Note("MouseUp");
    });
    Text.SetOnMouseMove([&](fw::TObject*, fw::TShiftState, int, int) { Note("MouseMove"); });
    Text.SetOnMouseWheel(
        [&](fw::TObject*, fw::TShiftState, int, fw::TPoint, bool&) { Note("MouseWheel"); });
    Text.SetOnResize([&](fw::TObject*) { Note("Resize"); });
    Text.SetOnStartDrag([&](fw::TObject*, fw::TDragObject*&) { Note("StartDrag"); });
    Text.SetOnEndDrag([&](fw::TObject*, fw::TObject*, int, int) { Note("EndDrag"); });
    Text.SetOnDragOver(
        [&](fw::TObject*, fw::TObject*, int, int, int, bool&) { Note("DragOver"); });
    Text.SetOnDragDrop([&](fw::TObject*, fw::TObject*, int, int) { Note("DragDrop"); });
    Text.SetOnEnter([&](fw::TObject*) { Note("Enter"); });
    Text.SetOnWindowKeyDown(
        [&](fw::TObject*, std::uint16_t&, fw::TShiftState) { Note("WindowKeyDown"); });
    Text.SetOnWindowKeyUp(
        [&](fw::TObject*, std::uint16_t&, fw::TShiftState) { Note("WindowKeyUp"); });
    Text.SetOnWindowKeyPress([&](fw::TObject*, char&) { Note("WindowKeyPress"); });
    std::uint16_t K = 0;
    char Ch = 0;
    bool B = false;
    fw::TDragObject* D = nullptr;
    auto Fire = [&](TtsGridControl& X) {
        Heard.clear();
        X.OnCtlKeyDown(&X, K, 0);
        X.OnCtlKeyUp(&X, K, 0);
        X.OnCtlKeyPress(&X, Ch);
        X.OnValueChanged(&X, true);
        X.OnChanged(&X, true, true, false);
        X.OnStartEdit(&X, B);
        X.OnReadOnly(&X, true, B);
        X.OnUndo(&X, true, B);
        X.OnExit(&X);
        X.OnWantKey(&X, 0, B);
        X.OnClick(&X);
        X.OnDblClick(&X);
        X.OnMouseDown(&X, fw::mbLeft, 0, 0, 0);
        X.OnMouseUp(&X, fw::mbLeft, 0, 0, 0);
        X.OnMouseMove(&X, 0, 0, 0);
        X.OnMouseWheel(&X, 0, 0, fw::TPoint{}, B);
        X.OnResize(&X);
        X.OnStartDrag(&X, D);
        X.OnEndDrag(&X, nullptr, 0, 0);
        X.OnDragOver(&X, nullptr, 0, 0, 0, B);
        X.OnDragDrop(&X, nullptr, 0, 0);
        X.OnEnter(&X);
        X.OnKeyDown(&X, K, 0);
        X.OnKeyUp(&X, K, 0);
        X.OnKeyPress(&X, Ch);
    };
    const std::vector<std::string> Order{
        "KeyDown",   "KeyUp",     "KeyPress",  "ValueChanged", "Changed",       "StartEdit",
        "ReadOnly",  "Undo",      "Exit",      "WantKey",      "Click",         "DblClick",
        "MouseDown", "MouseUp",   "MouseMove", "MouseWheel",   "Resize",        "StartDrag",
        "EndDrag",   "DragOver",  "DragDrop",  "Enter",        "WindowKeyDown", "WindowKeyUp",
        "WindowKeyPress"};
    Fire(C);
    EXPECT_EQ(Heard, Order);
    // The getters hand back what was set, and a whole set moves to another strategy.
    EXPECT_TRUE(Text.GetOnMouseWheel() && Text.GetOnDragDrop() && Text.GetOnWindowKeyUp());
    Check.SetEvents(Text.GetEvents());
    Fire(*Check.Control());
    EXPECT_EQ(Heard, Order);
}

TEST_F(StrategyTest, CheckStrategyCarriesValuesAndReleasesThePress) {
    Check.SetCheckBoxValues("On|Off");
    Check.SetValue(std::string("on"));
    EXPECT_EQ(Check.Box()->State, 1);
    Check.Box()->Pressing = true;
    Check.Box()->Down = true;
    Check.SetMouseCapture(false);
    EXPECT_FALSE(Check.Box()->Down);
    EXPECT_FALSE(Check.Box()->Pressing);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(StrategyOwnership, AControlFreedWithItsOwnerFirstIsOnlyForgotten) {
    auto Owner = std::make_unique<fw::TComponent>(nullptr);
    TtsCheckGridControl Check(Owner.get());
    EXPECT_EQ(Owner->ComponentCount(), 1);
    EXPECT_EQ(Owner->Components(0), Check.Control());
    Owner.reset(); // frees the check box
    EXPECT_EQ(Check.Control(), nullptr);
}

TEST(StrategyOwnership, TheStrategyFreesItsControlThroughTheOwner) {
    fw::TComponent Owner(nullptr);
    {
        TtsEditGridControl Text(&Owner);
        EXPECT_EQ(Owner.ComponentCount(), 1);
    }
    EXPECT_EQ(Owner.ComponentCount(), 0);
}

} // namespace
} // namespace vel
