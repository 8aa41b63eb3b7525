// The text editor steps, selects, deletes and places the caret by whole
// characters: a line break pair and a double-byte character are never split.
#include "TSGridEdit.h"

#include "CodePage.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "StdCtrls.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vel {
namespace {

class EditCharsTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Edit = Place<TtsGridEditBox>(10, 10, 60, 40);
        Show();
        Edit->SetFocus();
    }
    // The byte positions the caret may stand at.
    static std::set<int> Starts(std::initializer_list<int> L) { return std::set<int>(L); }
    // Every point of the box pressed, and dragged to from its left edge: where the caret
    // and the selection's ends land.
    std::set<int> PlacesByMouse() {
        std::set<int> Seen;
        for (int X = 0; X < Edit->Width(); ++X)
            for (int Y : {2, Edit->Height() - 3}) {
                fw::ClickAt(fw::ControlPoint(Edit, X, Y));
                Seen.insert(Edit->CaretPos());
                fw::MouseDownAt(fw::ControlPoint(Edit, 0, 2));
                fw::MouseMoveTo(fw::ControlPoint(Edit, X, Y));
                fw::MouseUpAt(fw::ControlPoint(Edit, X, Y));
                Seen.insert(Edit->SelStart());
                Seen.insert(Edit->SelStart() + Edit->SelLength());
                fw::AdvanceClock(1000); // no double clicks
            }
        return Seen;
    }
    // Every key that moves or extends from every place the caret may stand.
    std::set<int> PlacesByKeys(const std::set<int>& From) {
        std::set<int> Seen;
        for (int P : From)
            for (std::uint16_t K : {fw::VK_LEFT, fw::VK_RIGHT, fw::VK_UP, fw::VK_DOWN, fw::VK_HOME,
                                    fw::VK_END})
                for (fw::TShiftState S : {fw::TShiftState(0), fw::ssShift, fw::ssCtrl,
                                          fw::TShiftState(fw::ssShift | fw::ssCtrl)}) {
                    Edit->SetSelStart(P);
                    fw::KeyDown(K, S); // held: a press at an edge stays in the box
                    fw::KeyDown(K, S);
                    fw::KeyUp(K, S);
                    Seen.insert(Edit->CaretPos());
                    Seen.insert(Edit->SelStart());
                    Seen.insert(Edit->SelStart() + Edit->SelLength());
                }
        return Seen;
    }
    TtsGridEditBox* Edit = nullptr;
};

TEST_F(EditCharsTest, ALineBreakPairIsOneCharacterToEveryMove) {
    Edit->SetText("ab\r\ncd", false, true);
    Edit->SetSelStart(2);
    fw::PressKey(fw::VK_RIGHT);
    fw::TypeText("Y");
    EXPECT_EQ(Edit->EditText(), "ab\r\nYcd");
    Edit->SetSelStart(5);
    fw::PressKey(fw::VK_LEFT);
    fw::PressKey(fw::VK_LEFT);
    EXPECT_EQ(Edit->CaretPos(), 2);
    fw::PressKey(fw::VK_RIGHT, fw::ssShift);
    EXPECT_EQ(Edit->SelText(), "\r\n");
    // A start or an end inside the pair goes to its start; a length takes the pair whole.
    Edit->SetSelStart(3);
    EXPECT_EQ(Edit->SelStart(), 2);
    Edit->SetSelLength(1);
    EXPECT_EQ(Edit->SelText(), "\r\n");
    const std::set<int> Whole = Starts({0, 1, 2, 4, 5, 6, 7});
    for (int P : PlacesByKeys(Whole))
        EXPECT_NE(P, 3) << "a key split the pair";
    for (int P : PlacesByMouse())
        EXPECT_NE(P, 3) << "the mouse split the pair";
}

TEST_F(EditCharsTest, AnLfCrPairIsOneCharacterAndWrappedLinesKeepTheirBreaksWhole) {
    Edit->SetText("ab\n\rcd", false, true);
    Edit->SetSelStart(2);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Edit->CaretPos(), 4);
    fw::PressKey(fw::VK_BACK);
    EXPECT_EQ(Edit->EditText(), "abcd");
    // Two lines: End stops before the break, Down and Up never land inside it.
    Edit->SetWordWrap(wwOn);
    Edit->SetText("ab\r\ncd\r\nef", false, true);
    ASSERT_GE(Edit->Lines().size(), 3u);
    Edit->SetSelStart(0);
    fw::PressKey(fw::VK_END);
    EXPECT_EQ(Edit->CaretPos(), 2);
    for (int P : PlacesByKeys(Starts({0, 1, 2, 4, 5, 6, 8, 9, 10})))
        EXPECT_TRUE(P != 3 && P != 7) << P;
    for (int P : PlacesByMouse())
        EXPECT_TRUE(P != 3 && P != 7) << P;
}

// Shift-JIS: 0x88 0x9F and 0x95 0x5C are two characters (the second's trail is a backslash).
const std::string Kanji1 = "\x88\x9f";
const std::string Kanji2 = "\x95\x5c";

TEST_F(EditCharsTest, ADoubleByteCharacterIsOneCharacterToEveryMoveAndEdit) {
    fw::TCodePageScope Japanese(932);
    const std::string T = "a" + Kanji1 + Kanji2 + "b";
    Edit->SetText(T, false, true);
    Edit->SetSelStart(1);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Edit->CaretPos(), 3);
    fw::PressKey(fw::VK_RIGHT, fw::ssShift);
    EXPECT_EQ(Edit->SelText(), Kanji2);
    Edit->SetSelStart(4); // inside the second character
    EXPECT_EQ(Edit->SelStart(), 3);
    for (int P : PlacesByKeys(Starts({0, 1, 3, 5, 6})))
        EXPECT_TRUE(P != 2 && P != 4) << P;
    for (int P : PlacesByMouse())
        EXPECT_TRUE(P != 2 && P != 4) << P;
    Edit->SetSelStart(5);
    fw::PressKey(fw::VK_BACK);
    EXPECT_EQ(Edit->EditText(), "a" + Kanji1 + "b");
    Edit->SetSelStart(1);
    fw::PressKey(fw::VK_DELETE);
    EXPECT_EQ(Edit->EditText(), "ab");
    // In a single-byte code page the same bytes are characters of their own.
    fw::TCodePageScope Western(1252);
    Edit->SetText(T, false, true);
    Edit->SetSelStart(1);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Edit->CaretPos(), 2);
}

TEST_F(EditCharsTest, ALeadByteIsHeldUntilItsTrailByteComes) {
    fw::TCodePageScope Japanese(932);
    Edit->SetText("ab", false, true);
    Edit->SetSelStart(1);
    fw::TypeText(Kanji1.substr(0, 1));
    EXPECT_EQ(Edit->EditText(), "ab");
    fw::TypeText(Kanji1.substr(1));
    EXPECT_EQ(Edit->EditText(), "a" + Kanji1 + "b");
    EXPECT_EQ(Edit->CaretPos(), 3);
    // A lead byte that no trail byte follows is dropped, the next character is typed.
    fw::TypeText(Kanji1.substr(0, 1) + "1");
    EXPECT_EQ(Edit->EditText(), "a" + Kanji1 + "1b");
}

TEST_F(EditCharsTest, ADoubleByteCharacterCountsOneAgainstTheMaximum) {
    fw::TCodePageScope Japanese(932);
    Edit->SetText("ab", false, true);
    Edit->SetMaxLength(3);
    Edit->SetSelStart(2);
    fw::TypeText(Kanji1);
    EXPECT_EQ(Edit->EditText(), "ab" + Kanji1);
    fw::TypeText(Kanji2);
    EXPECT_EQ(Edit->EditText(), "ab" + Kanji1);
}

} // namespace
} // namespace vel
