#include "TSCellControls.h"

#include "FormTestEnv.h"

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
