#include "FormTestEnv.h"
#include "Hints.h"
#include "Screen.h"
#include "StdActns.h"
#include "StdCtrls.h"
#include "Timers.h"
#include "WideEdit.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

// A control that counts hint requests and may refuse, retext or move them.
class THintProbe : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Asked = 0;
    bool Refuse = false;
    std::u16string Wide;
    int Pause = -1;
    TRect Cursor;
    void WndProc(TMessage& M) override {
        if (M.Msg == CM_HINTSHOW) {
            ++Asked;
            auto* Info = reinterpret_cast<THintInfo*>(M.LParam);
            if (!Wide.empty()) Info->WideHint = Wide;
            if (!Cursor.IsEmpty()) Info->CursorRect = Cursor;
            M.Result = Refuse ? 1 : 0;
            return;
        }
        if (M.Msg == CM_HINTSHOWPAUSE && Pause >= 0) {
            *reinterpret_cast<int*>(M.LParam) = Pause;
            return;
        }
        TCustomControl::WndProc(M);
    }
};

class HintTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Probe = Place<THintProbe>(10, 10, 100, 60);
        Probe->SetHint("Probe hint|long help");
        Probe->SetShowHint(true);
        Show();
    }
    void MoveTo(int X, int Y) { MouseMoveTo(ControlPoint(Probe, X, Y)); }
    THintProbe* Probe = nullptr;
};

TEST_F(HintTest, HintShowsAfterThePauseWithTheShortHintBelowThePointer) {
    MoveTo(20, 20);
    AdvanceClock(HintSettings().HintPause - 1);
    EXPECT_FALSE(HintShowing());
    AdvanceClock(1);
    ASSERT_TRUE(HintShowing());
    EXPECT_EQ(Probe->Asked, 1);
    THintWindow* W = CurrentHintWindow();
    EXPECT_EQ(W->HintText(), u"Probe hint");
    const TPoint P = ControlPoint(Probe, 20, 20);
    EXPECT_EQ(W->Left(), P.X);
    EXPECT_EQ(W->Top(), P.Y + 20);
    // It goes after the hide pause, and a hint window never takes the mouse.
    MoveTo(21, 20);
    EXPECT_TRUE(HintShowing());
    EXPECT_EQ(FindControlAtPos(TPoint{W->Left() + 1, W->Top() + 1}), Probe);
    AdvanceClock(HintSettings().HintHidePause);
    EXPECT_FALSE(HintShowing());
}

TEST_F(HintTest, ARefusalAPressOrAKeyShowsOrKeepsNoHint) {
    Probe->Refuse = true;
    MoveTo(20, 20);
    AdvanceClock(1000);
    EXPECT_EQ(Probe->Asked, 1);
    EXPECT_FALSE(HintShowing());
    Probe->Refuse = false;
    MouseMoveTo(ControlPoint(Form.get(), 2, 2)); // on the form, which shows no hints
    MoveTo(20, 20);
    AdvanceClock(1000);
    ASSERT_TRUE(HintShowing());
    ClickAt(ControlPoint(Probe, 20, 20));
    EXPECT_FALSE(HintShowing());
    MoveTo(30, 30);
    AdvanceClock(1000);
    ASSERT_TRUE(HintShowing());
    Probe->SetTabStop(true);
    Probe->SetFocus();
    KeyDown(VK_DOWN);
    EXPECT_FALSE(HintShowing());
}

TEST_F(HintTest, LeavingTheCursorRectAsksAgainAfterTheShortPause) {
    Probe->Cursor = TRect{0, 0, 50, 60};
    Probe->Wide = u"\u4E2D cell";
    Probe->Pause = 100; // the control asks for its own pause
    MoveTo(20, 20);
    AdvanceClock(100);
    ASSERT_TRUE(HintShowing());
    EXPECT_EQ(CurrentHintWindow()->HintText(), u"\u4E2D cell");
    MoveTo(60, 20);
    EXPECT_FALSE(HintShowing());
    AdvanceClock(HintSettings().HintShortPause);
    EXPECT_TRUE(HintShowing());
    EXPECT_EQ(Probe->Asked, 2);
}

TEST_F(HintTest, FreeingTheHintControlCancelsTheWait) {
    MoveTo(20, 20);
    Free(Probe);
    Probe = nullptr;
    AdvanceClock(1000); // no request to a freed control
    EXPECT_FALSE(HintShowing());
}

TEST_F(HintTest, SetCursorTakesTheScreenCursorTheChildsOrTheControls) {
    Probe->SetCursor(crHandPoint);
    MoveTo(20, 20);
    EXPECT_EQ(CurrentCursor(), crHandPoint);
    MouseMoveTo(ControlPoint(Form.get(), 2, 2));
    EXPECT_EQ(CurrentCursor(), crDefault);
    SetScreenCursor(crSizeWE);
    MoveTo(20, 20);
    EXPECT_EQ(CurrentCursor(), crSizeWE);
}

TEST_F(HintTest, HelpGoesToTheApplicationUnlessItsHandlerStopsIt) {
    Application()->OnHelp = nullptr;
    EXPECT_FALSE(Application()->HelpContext(0));
    EXPECT_TRUE(Application()->HelpContext(42));
    EXPECT_EQ(Application()->LastHelpContext(), 42);
    Application()->OnHelp = [](int, std::intptr_t, bool& CallHelp) {
        CallHelp = false;
        return true;
    };
    EXPECT_TRUE(Application()->HelpContext(7));
    EXPECT_EQ(Application()->LastHelpContext(), 42);
    Application()->OnHelp = nullptr;
}

TEST_F(HintTest, TheScreenComposesWindowsAndKeepsDrawingsUntilAWindowRepaints) {
    TSurface Shot;
    CaptureScreen(Bounds(Form->Left(), Form->Top(), 4, 4), Shot);
    EXPECT_EQ(Shot.Pixel(1, 1), ColorToPixel(ColorToRGB(Form->Color())));
    TSurface Red;
    Red.SetSize(2, 2, 0xFFFF0000u);
    DrawOnScreen(Red, TPoint{Form->Left() + 1, Form->Top() + 1});
    CaptureScreen(Bounds(Form->Left(), Form->Top(), 4, 4), Shot);
    EXPECT_EQ(Shot.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(Shot.Pixel(3, 3), ColorToPixel(ColorToRGB(Form->Color())));
    Form->Invalidate();
    ProcessMessages();
    CaptureScreen(Bounds(Form->Left(), Form->Top(), 4, 4), Shot);
    EXPECT_EQ(Shot.Pixel(1, 1), ColorToPixel(ColorToRGB(Form->Color())));
}

class WideEditTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Edit = Place<TWideEdit>(10, 10, 120, 40);
        Show();
        Edit->SetFocus();
    }
    TWideEdit* Edit = nullptr;
};

TEST_F(WideEditTest, TypesAndDeletesEveryUnicodeCharacter) {
    Edit->SetWideText(u"x");
    Edit->SetCaretPos(1);
    TypeTextW(u"\u4E2D\U0001F600y");
    EXPECT_EQ(Edit->WideText(), u"x\u4E2D\U0001F600y");
    EXPECT_TRUE(Edit->Modified());
    PressKey(VK_LEFT);
    PressKey(VK_LEFT); // over the pair in one step
    EXPECT_EQ(Edit->CaretPos(), 2);
    PressKey(VK_DELETE);
    EXPECT_EQ(Edit->WideText(), u"x\u4E2Dy");
    KeyCharW(u'\b');
    EXPECT_EQ(Edit->WideText(), u"xy");
    Edit->SelectAll();
    KeyCharW(3); // Ctrl+C
    EXPECT_EQ(ClipboardWideText(), u"xy");
}

TEST_F(WideEditTest, OneLineKeepsOneLineAndTellsItsParent) {
    int Updates = 0;
    class TParent : public TCustomControl {
    public:
        using TCustomControl::TCustomControl;
        int* Count = nullptr;
        void WndProc(TMessage& M) override {
            if (M.Msg == WM_COMMAND && (M.WParam >> 16) == EN_UPDATE) ++*Count;
            TCustomControl::WndProc(M);
        }
    };
    auto* P = Place<TParent>(0, 0, 200, 100);
    P->Count = &Updates;
    Edit->SetParent(P);
    Edit->SetFocus();
    SetClipboardWideText(u"one\r\ntwo");
    Edit->PasteFromClipboard();
    EXPECT_EQ(Edit->WideText(), u"one");
    KeyCharW(u'\r');
    EXPECT_EQ(Edit->WideText(), u"one");
    EXPECT_EQ(Updates, 1);
}

TEST_F(WideEditTest, MultiLineWrapsAtTheFormatRectangleAndMovesByLines) {
    SetWindowStyle(Edit->Handle(), (GetWindowStyle(Edit->Handle()) | ES_MULTILINE) &
                                       ~ES_AUTOHSCROLL);
    Edit->SetWideText(u"aaa bbb ccc");
    TRect R{2, 2, 2 + 7 * 6, 40}; // seven characters of the built-in font
    Edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&R));
    TRect Got;
    Edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&Got));
    EXPECT_EQ(Got, R);
    const auto Lines = Edit->Lines();
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[1].Start, 8);
    Edit->SetCaretPos(1);
    PressKey(VK_DOWN);
    EXPECT_EQ(Edit->CaretPos(), 9);
    Edit->SetCaretPos(11);
    KeyCharW(u'\r');
    EXPECT_EQ(Edit->WideText(), u"aaa bbb ccc\r\n");
    EXPECT_EQ(Edit->Lines().size(), 3u);
}

// A control that takes the copy action only.
class TActionProbe : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Copies = 0;
    void WndProc(TMessage& M) override {
        auto* A = reinterpret_cast<TEditAction*>(M.LParam);
        if (M.Msg == CM_ACTIONUPDATE) {
            A->SetEnabled(A->Kind() == eaCopy);
            M.Result = 1;
            return;
        }
        if (M.Msg == CM_ACTIONEXECUTE) {
            Copies += A->Kind() == eaCopy;
            M.Result = 1;
            return;
        }
        TCustomControl::WndProc(M);
    }
};

TEST_F(HintTest, EditActionsActOnTheFocusedControl) {
    TEditAction Copy(nullptr, eaCopy), Paste(nullptr, eaPaste);
    auto* T = Place<TActionProbe>(120, 10, 50, 50);
    T->SetTabStop(true);
    Copy.Update();
    EXPECT_FALSE(Copy.Enabled()); // nothing focused
    T->SetFocus();
    Copy.Update();
    Paste.Update();
    EXPECT_TRUE(Copy.Enabled());
    EXPECT_FALSE(Paste.Enabled());
    EXPECT_TRUE(Copy.Execute());
    EXPECT_FALSE(Paste.Execute());
    EXPECT_EQ(T->Copies, 1);
}

} // namespace
} // namespace fw
