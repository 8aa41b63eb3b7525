#include "TSGridEdit.h"

#include "Bitmap.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "StdCtrls.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace vel {
namespace {

// A focused 60 x 14 editor (one line) in the test form.
class EditBoxTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Edit = Place<TtsGridEditBox>(10, 10, 60, 14);
        Edit->OnCtlKeyDown = [this](fw::TObject*, std::uint16_t& K, fw::TShiftState) {
            Passed.push_back(K);
        };
        Show();
        Edit->SetFocus();
    }
    TtsGridEditBox* Edit = nullptr;
    std::vector<int> Passed; // keys the editor left to the grid
};

TEST_F(EditBoxTest, MaximumLengthLimitsTypingAndPaste) {
    Edit->SetText("abcd", false, true);
    Edit->SetMaxLength(5);
    Edit->SetSelStart(4);
    fw::TypeText("xy");
    EXPECT_EQ(Edit->EditText(), "abcdx");
    Edit->SetSelStart(4);
    Edit->SetSelLength(1);
    fw::SetClipboardText("12");
    fw::PressKey('V', fw::ssCtrl);
    EXPECT_EQ(Edit->EditText(), "abcdx"); // 5 - 1 + 2 is too long
    Edit->SetText("abcd", false, true);
    Edit->SetSelStart(3);
    Edit->SetSelLength(1);
    fw::PressKey('V', fw::ssCtrl);
    EXPECT_EQ(Edit->EditText(), "abc12");
}

TEST_F(EditBoxTest, ALineBreakCountsTwoAgainstTheMaximum) {
    Edit->SetText("abcd", false, true);
    Edit->SetMaxLength(5);
    fw::PressKey(fw::VK_RETURN, fw::ssCtrl);
    EXPECT_EQ(Edit->EditText(), "abcd");
    Edit->SetMaxLength(0);
    Edit->SetSelStart(2);
    fw::PressKey(fw::VK_RETURN, fw::ssCtrl);
    EXPECT_EQ(Edit->EditText(), "ab\r\ncd");
    // Backspace takes the break whole.
    fw::PressKey(fw::VK_BACK);
    EXPECT_EQ(Edit->EditText(), "abcd");
}

TEST_F(EditBoxTest, EscapeRestoresTheTextOfTheEditStartOnce) {
    Edit->SetText("start", true, true);
    fw::TypeText("new");
    EXPECT_EQ(Edit->EditText(), "new");
    EXPECT_TRUE(Edit->Modified());
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_EQ(Edit->EditText(), "start");
    EXPECT_FALSE(Edit->Modified());
    fw::PressKey(fw::VK_ESCAPE);
    EXPECT_EQ(Edit->EditText(), "start");
    // The undo event may refuse.
    fw::TypeText("x");
    Edit->OnUndo = [](fw::TObject*, bool, bool& Refuse) { Refuse = true; };
    fw::PressKey('Z', fw::ssCtrl);
    EXPECT_EQ(Edit->EditText(), "startx");
}

TEST_F(EditBoxTest, SelectionSettersIgnoreBadStarts) {
    Edit->SetText("abc", false, true);
    Edit->SetSelStart(7);
    EXPECT_EQ(Edit->SelStart(), 0);
    Edit->SetSelStart(1);
    Edit->SetSelLength(10);
    EXPECT_EQ(Edit->SelLength(), 2);
    EXPECT_EQ(Edit->SelText(), "bc");
    Edit->SetSelStart(-1);
    EXPECT_EQ(Edit->SelStart(), 1);
    Edit->SelectAll();
    EXPECT_EQ(Edit->SelText(), "abc");
}

TEST_F(EditBoxTest, ArrowsAtTheEdgeGoToTheGridFirst) {
    Edit->SetText("abc", false, true);
    fw::KeyDown(fw::VK_LEFT);
    EXPECT_EQ(Passed, (std::vector<int>{fw::VK_LEFT}));
    // Held (repeating), the same key stays in the editor.
    fw::KeyDown(fw::VK_LEFT);
    EXPECT_EQ(Passed.size(), 1u);
    fw::KeyUp(fw::VK_LEFT);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Edit->CaretPos(), 1);
    EXPECT_EQ(Passed.size(), 1u);
    // With the whole text selected the arrows leave the cell.
    Edit->SelectAll();
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Passed.back(), fw::VK_RIGHT);
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Passed.back(), fw::VK_HOME);
}

TEST_F(EditBoxTest, ShiftAndCtrlMoves) {
    Edit->SetText("ab  cd", false, true);
    fw::PressKey(fw::VK_RIGHT, fw::ssCtrl);
    EXPECT_EQ(Edit->CaretPos(), 4);
    fw::PressKey(fw::VK_END, fw::ssShift);
    EXPECT_EQ(Edit->SelText(), "cd");
    fw::PressKey(fw::VK_F2);
    EXPECT_EQ(Edit->SelLength(), 0);
    EXPECT_EQ(Edit->CaretPos(), 6);
    fw::PressKey(fw::VK_LEFT, fw::ssCtrl | fw::ssShift);
    EXPECT_EQ(Edit->SelText(), "cd");
    fw::PressKey(fw::VK_DELETE);
    EXPECT_EQ(Edit->EditText(), "ab  ");
}

TEST_F(EditBoxTest, ClipboardCommands) {
    Edit->SetText("hello", false, true);
    Edit->SetSelStart(1);
    Edit->SetSelLength(3);
    fw::PressKey('C', fw::ssCtrl);
    EXPECT_EQ(fw::ClipboardText(), "ell");
    fw::PressKey(fw::VK_DELETE, fw::ssShift);
    EXPECT_EQ(Edit->EditText(), "ho");
    Edit->Perform(fw::WM_PASTE, 0, 0);
    EXPECT_EQ(Edit->EditText(), "hello");
    // Read-only: no cut, no typing.
    Edit->EditEnabled = false;
    Edit->ModifyEnabled = false;
    Edit->SelectAll();
    Edit->CutToClipboard();
    fw::TypeText("x");
    EXPECT_EQ(Edit->EditText(), "hello");
}

TEST_F(EditBoxTest, MaskRefusalFiresTheInvalidCharEvent) {
    Edit->SetText("", false, true);
    int Invalid = 0;
    Edit->OnCheckMask = [](fw::TObject*, const std::string& R, int) {
        return R.find_first_not_of("0123456789") == std::string::npos;
    };
    Edit->OnInvalidChar = [&](fw::TObject*) { ++Invalid; };
    fw::TypeText("1a2");
    EXPECT_EQ(Edit->EditText(), "12");
    EXPECT_EQ(Invalid, 1);
}

TEST_F(EditBoxTest, WrappedLinesAndLineMoves) {
    Edit->SetBounds(10, 10, 60, 40);
    Edit->SetText("ab\r\ncdef", false, true);
    ASSERT_TRUE(Edit->MultiLine());
    EXPECT_EQ(Edit->Lines(), (TtsLineList{0, 4}));
    Edit->SetSelStart(1);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Edit->CaretPos(), 5);
    fw::PressKey(fw::VK_END);
    EXPECT_EQ(Edit->CaretPos(), 8);
    fw::PressKey(fw::VK_UP);
    EXPECT_EQ(Edit->CaretPos(), 2); // the column is cut to the shorter line
    Edit->SetWordWrap(wwOff);
    EXPECT_FALSE(Edit->MultiLine());
    EXPECT_EQ(Edit->Lines(), (TtsLineList{0}));
}

TEST_F(EditBoxTest, APressPlacesTheCaretAtTheNearerEdge) {
    Edit->SetText("abcdef", false, true);
    fw::ClickAt(fw::ControlPoint(Edit, 14, 5));
    EXPECT_EQ(Edit->CaretPos(), 2);
    fw::ClickAt(fw::ControlPoint(Edit, 15, 5)); // half way: after
    EXPECT_EQ(Edit->CaretPos(), 3);
    fw::MouseDownAt(fw::ControlPoint(Edit, 1, 5));
    fw::MouseMoveTo(fw::ControlPoint(Edit, 25, 5));
    fw::MouseUpAt(fw::ControlPoint(Edit, 25, 5));
    EXPECT_EQ(Edit->SelText(), "abcd");
}

TEST_F(EditBoxTest, LongTextScrollsToKeepTheCaretVisible) {
    Edit->SetText("0123456789abcdefghij", false, true);
    fw::PressKey(fw::VK_END);
    EXPECT_GT(Edit->ScrollOffset(), 0);
    fw::PressKey(fw::VK_HOME);
    EXPECT_EQ(Edit->ScrollOffset(), 0);
}

TEST_F(EditBoxTest, PaintsTheSelectionWhileFocused) {
    Edit->SetText("abcdef", false, true);
    Edit->SetSelStart(1);
    Edit->SetSelLength(2);
    fw::TBitmap Bmp;
    Bmp.SetSize(60, 14);
    fw::PaintControlTo(Edit, Bmp.Surface());
    EXPECT_EQ(Bmp.Canvas().Pixels(7, 11), fw::ColorToRGB(fw::clHighlight));
    EXPECT_NE(Bmp.Canvas().Pixels(20, 11), fw::ColorToRGB(fw::clHighlight));
    Form->SetActiveControl(nullptr);
    fw::SetFocus(Form->Handle());
    fw::PaintControlTo(Edit, Bmp.Surface());
    EXPECT_NE(Bmp.Canvas().Pixels(7, 11), fw::ColorToRGB(fw::clHighlight));
    Edit->AlwaysShowFocus = true;
    fw::PaintControlTo(Edit, Bmp.Surface());
    EXPECT_EQ(Bmp.Canvas().Pixels(7, 11), fw::ColorToRGB(fw::clHighlight));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// Mask definitions by name, telling their links of every change.
class TTestMasks : public TtsMaskDefsComponent {
public:
    using TtsMaskDefsComponent::TtsMaskDefsComponent;
    ~TTestMasks() override {
        for (TtsMaskLink* L : std::vector<TtsMaskLink*>(Links)) {
            SetLinkTarget(L, nullptr);
            L->MaskDefsFreed();
        }
    }
    std::map<std::string, std::string> Masks;
    std::vector<TtsMaskLink*> Links;
    void RemoveLink(TtsMaskLink* L) override { std::erase(Links, L); }
    void AddLink(TtsMaskLink* L) override {
        Links.push_back(L);
        SetLinkTarget(L, this);
    }
    TtsVariant FindMask(const TtsVariant& Key) override {
        auto It = Masks.find(VarToText(Key));
        if (It == Masks.end()) return {};
        return It->second;
    }
    void Change(const std::string& Name, const std::string& Mask) {
        Masks[Name] = Mask;
        for (TtsMaskLink* L : Links)
            L->MaskDefsChanged();
    }
};

TEST(EditMaskLink, FollowsTheDefinitionsByName) {
    TtsGridEditBox Edit(nullptr);
    auto Masks = std::make_unique<TTestMasks>(nullptr);
    Masks->Masks["zip"] = "99999";
    Edit.MaskLink().SetMaskDefs(Masks.get());
    Edit.SetMaskName("zip");
    EXPECT_EQ(std::get<std::string>(Edit.Mask()), "99999");
    Masks->Change("zip", "9999");
    EXPECT_EQ(std::get<std::string>(Edit.Mask()), "9999");
    Edit.SetMaskName("");
    EXPECT_TRUE(VarIsEmpty(Edit.Mask()));
    Edit.SetMaskName("zip");
    Masks.reset(); // the definitions go away: no mask, no dangling link
    EXPECT_TRUE(VarIsEmpty(Edit.Mask()));
    EXPECT_EQ(Edit.MaskLink().MaskDefs(), nullptr);
}

} // namespace
} // namespace vel
