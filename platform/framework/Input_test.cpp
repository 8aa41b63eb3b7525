#include "FormTestEnv.h"
#include "Hooks.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

// Windowed and windowless controls that log their mouse and focus traffic.
class TWinProbe : public TCustomControl {
public:
    TWinProbe(TComponent* owner, std::vector<std::string>* log, std::string id)
        : TCustomControl(owner), Log(log), Id(std::move(id)) {}
    std::vector<std::string>* Log;
    std::string Id;
    LRESULT DlgCode = 0;
    void WndProc(TMessage& m) override {
        switch (m.Msg) {
        case WM_CAPTURECHANGED:
            Log->push_back(Id + " lost capture");
            break;
        case CM_MOUSEENTER:
            Log->push_back(Id + " enter");
            break;
        case CM_MOUSELEAVE:
            Log->push_back(Id + " leave");
            break;
        case WM_GETDLGCODE:
            m.Result = DlgCode;
            return;
        default:
            break;
        }
        TCustomControl::WndProc(m);
    }

protected:
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        Log->push_back(Id + " down" + (s & ssDouble ? " double" : "") + " " + std::to_string(x) +
                       "," + std::to_string(y) + (b == mbRight ? " right" : ""));
        TCustomControl::MouseDown(b, s, x, y);
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        Log->push_back(Id + " up");
        TCustomControl::MouseUp(b, s, x, y);
    }
    void MouseMove(TShiftState s, int x, int y) override {
        Log->push_back(Id + " move " + std::to_string(x) + "," + std::to_string(y) +
                       (s & ssShift ? " shift" : "") + (s & ssLeft ? " left" : ""));
        TCustomControl::MouseMove(s, x, y);
    }
    void KeyDown(std::uint16_t& key, TShiftState s) override {
        Log->push_back(Id + " key " + std::to_string(key));
        TCustomControl::KeyDown(key, s);
    }
    void KeyPress(char& key) override {
        Log->push_back(Id + " char " + std::string(1, key));
        TCustomControl::KeyPress(key);
    }
    void DoEnter() override { Log->push_back(Id + " enter focus"); }
    void DoExit() override { Log->push_back(Id + " exit focus"); }
};

class TGraphicProbe : public TGraphicControl {
public:
    TGraphicProbe(TComponent* owner, std::vector<std::string>* log, std::string id)
        : TGraphicControl(owner), Log(log), Id(std::move(id)) {}
    std::vector<std::string>* Log;
    std::string Id;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_CAPTURECHANGED) Log->push_back(Id + " lost capture");
        if (m.Msg == CM_MOUSEENTER) Log->push_back(Id + " enter");
        if (m.Msg == CM_MOUSELEAVE) Log->push_back(Id + " leave");
        TGraphicControl::WndProc(m);
    }

protected:
    void MouseDown(TMouseButton, TShiftState s, int x, int y) override {
        Log->push_back(Id + " down" + (s & ssDouble ? " double" : "") + " " + std::to_string(x) +
                       "," + std::to_string(y));
    }
    void MouseMove(TShiftState, int x, int y) override {
        Log->push_back(Id + " move " + std::to_string(x) + "," + std::to_string(y));
    }
    void MouseUp(TMouseButton, TShiftState, int, int) override { Log->push_back(Id + " up"); }
};

class InputTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        A = Place<TWinProbe>(10, 10, 50, 50, &Log, "A");
        A->SetTabStop(true);
        B = Place<TWinProbe>(100, 10, 50, 50, &Log, "B");
        B->SetTabStop(true);
        G = Place<TGraphicProbe>(10, 100, 40, 40, &Log, "G");
        Show();
        MouseMoveTo(TPoint{0, 0});
        Log.clear();
    }
    TPoint At(TControl* c, int x, int y) { return ControlPoint(c, x, y); }
    // The presses logged so far, in order.
    std::vector<std::string> Downs() const {
        std::vector<std::string> r;
        for (const auto& s : Log)
            if (s.find(" down") != std::string::npos) r.push_back(s);
        return r;
    }
    std::vector<std::string> Log;
    TWinProbe* A = nullptr;
    TWinProbe* B = nullptr;
    TGraphicProbe* G = nullptr;
};

TEST_F(InputTest, MouseGoesToTheControlUnderThePointInClientCoordinates) {
    MouseDownAt(At(A, 5, 7));
    MouseUpAt(At(A, 5, 7));
    MouseDownAt(At(G, 3, 4), mbRight);
    EXPECT_EQ(Log, (std::vector<std::string>{"A down 5,7", "A enter", "A lost capture", "A up",
                                             "G down 3,4", "A leave", "G enter"}));
}

TEST_F(InputTest, CaptureKeepsTheMouseAndLosingItIsReported) {
    MouseDownAt(At(A, 5, 5)); // csCaptureMouse: the press takes the capture
    EXPECT_EQ(GetCapture(), A->Handle());
    EXPECT_TRUE(A->MouseCapture());
    Log.clear();
    MouseMoveTo(At(B, 1, 1), ssLeft);
    EXPECT_EQ(Log.front(), "A move 91,1 left");
    SetCapture(B->Handle());
    EXPECT_EQ(Log.back(), "A lost capture");
    EXPECT_FALSE(A->MouseCapture());
    ReleaseCapture();
    EXPECT_EQ(Log.back(), "B lost capture");
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, AGraphicControlCapturesThroughItsParent) {
    G->SetMouseCapture(true);
    EXPECT_EQ(GetCapture(), Form->Handle());
    EXPECT_EQ(GetCaptureControl(), G);
    MouseMoveTo(At(A, 0, 0)); // over A, but G holds the mouse
    EXPECT_EQ(Log.front(), "G move 0,-90");
    Log.clear();
    SetCapture(A->Handle());
    EXPECT_EQ(Log, std::vector<std::string>{"G lost capture"});
}

TEST_F(InputTest, PressAndReleaseClickOnlyWhenReleasedInside) {
    int clicks = 0;
    A->OnClick = [&](TObject*) { ++clicks; };
    ClickAt(At(A, 2, 2));
    EXPECT_EQ(clicks, 1);
    MouseDownAt(At(A, 2, 2));
    MouseUpAt(At(B, 2, 2)); // captured: A gets the release, outside its client
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, DoubleClicksOnlyForControlsThatAskForThem) {
    DoubleClickAt(At(A, 4, 4));
    EXPECT_EQ(Downs(), (std::vector<std::string>{"A down 4,4", "A down double 4,4"}));
    Log.clear();
    B->SetControlStyle(B->ControlStyle() & ~csDoubleClicks);
    B->RecreateWnd();
    DoubleClickAt(At(B, 4, 4));
    EXPECT_EQ(Downs(), (std::vector<std::string>{"B down 4,4", "B down 4,4"}));
    Log.clear();
    DoubleClickAt(At(G, 4, 4));
    EXPECT_EQ(Downs(), (std::vector<std::string>{"G down 4,4", "G down double 4,4"}));
    Log.clear();
    G->SetControlStyle(G->ControlStyle() & ~csDoubleClicks);
    AdvanceClock(DoubleClickTime() + 1);
    DoubleClickAt(At(G, 4, 4)); // converted back to a press by the parent
    EXPECT_EQ(Downs(), (std::vector<std::string>{"G down 4,4", "G down 4,4"}));
}

TEST_F(InputTest, DoubleClicksNeedTimeAndDistance) {
    ClickAt(At(A, 4, 4));
    AdvanceClock(DoubleClickTime() + 1);
    ClickAt(At(A, 4, 4));
    ClickAt(At(A, 4 + DoubleClickDistance + 1, 4));
    for (const auto& s : Log)
        EXPECT_EQ(s.find("double"), std::string::npos) << s;
    ClickAt(At(A, 4 + DoubleClickDistance + 1, 4 + DoubleClickDistance));
    EXPECT_NE(Downs().back().find("double"), std::string::npos);
    ClickAt(At(A, 7, 6)); // a third press starts over
    EXPECT_EQ(Downs().back().find("double"), std::string::npos);
}

TEST_F(InputTest, MouseEnterAndLeaveFollowThePointer) {
    MouseMoveTo(At(A, 1, 1));
    MouseMoveTo(At(A, 2, 2));
    MouseMoveTo(At(G, 1, 1));
    MouseMoveTo(TPoint{5, 5}); // off the form
    EXPECT_EQ(Log, (std::vector<std::string>{"A move 1,1", "A enter", "A move 2,2", "G move 1,1",
                                             "A leave", "G enter", "G leave"}));
    EXPECT_EQ(MouseControl(), nullptr);
}

TEST_F(InputTest, MovingTheCursorDeliversAMoveAtTheNextPump) {
    MouseDownAt(At(A, 5, 5));
    Log.clear();
    SetCursorPos(At(A, 20, 30).X, At(A, 20, 30).Y);
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(GetCursorPos(), At(A, 20, 30));
    ProcessMessages();
    EXPECT_EQ(Log, std::vector<std::string>{"A move 20,30 left"});
    SetCursorPos(-50, 99999); // kept on the screen
    EXPECT_EQ(GetCursorPos(), (TPoint{0, ScreenHeight() - 1}));
}

TEST_F(InputTest, TheCursorCounterPairsHidesWithShows) {
    EXPECT_EQ(ShowCursor(false), -1);
    EXPECT_EQ(ShowCursor(false), -2);
    EXPECT_EQ(ShowCursor(true), -1);
    EXPECT_EQ(ShowCursor(true), 0);
    EXPECT_EQ(CursorCounter(), 0);
    SetScreenSize(800, 600);
    EXPECT_EQ(ScreenWidth(), 800);
    EXPECT_EQ(ScreenHeight(), 600);
}

LRESULT SwallowPresses(int code, WPARAM w, LPARAM l) {
    if (w == WM_LBUTTONDOWN) return 1;
    return CallNextHook(nullptr, code, w, l);
}
std::vector<std::string>* gSeen = nullptr;
THookHandle gKeyHook = nullptr;
LRESULT WatchKeys(int code, WPARAM w, LPARAM l) {
    gSeen->push_back("hook " + std::to_string(w));
    return CallNextHook(gKeyHook, code, w, l);
}

TEST_F(InputTest, HooksSeeInputFirstAndMaySwallowIt) {
    THookHandle h = InstallThreadHook(THookKind::Mouse, SwallowPresses);
    MouseDownAt(At(A, 1, 1));
    MouseUpAt(At(A, 1, 1));
    EXPECT_EQ(Log.front(), "A up");
    RemoveHook(h);
    Log.clear();
    AdvanceClock(DoubleClickTime() + 1);
    MouseDownAt(At(A, 1, 1));
    EXPECT_EQ(Log.front(), "A down 1,1");
    gSeen = &Log;
    gKeyHook = InstallThreadHook(THookKind::Keyboard, WatchKeys);
    A->SetFocus();
    Log.clear();
    KeyDown('Q');
    EXPECT_EQ(Log, (std::vector<std::string>{"hook 81", "A key 81"}));
    RemoveHook(gKeyHook);
}

TEST_F(InputTest, KeysGoToTheFocusedWindowAndTabMovesTheFocus) {
    A->SetFocus();
    EXPECT_TRUE(A->Focused());
    EXPECT_EQ(Form->ActiveControl(), A);
    PressKey('X', ssShift);
    EXPECT_EQ(Log, (std::vector<std::string>{"A enter focus", "A key 88", "A char X"}));
    Log.clear();
    PressKey(VK_TAB); // A does not want Tab: the form moves the focus
    EXPECT_TRUE(B->Focused());
    EXPECT_EQ(Log, (std::vector<std::string>{"A exit focus", "B enter focus"}));
    PressKey(VK_TAB, ssShift);
    EXPECT_TRUE(A->Focused());
    A->DlgCode = DLGC_WANTTAB;
    Log.clear();
    PressKey(VK_TAB);
    EXPECT_TRUE(A->Focused());
    EXPECT_EQ(Log, (std::vector<std::string>{"A key 9", "A char \t"}));
}

TEST_F(InputTest, HiddenDisabledOrFreedWindowsLoseTheFocus) {
    B->SetFocus();
    B->SetEnabled(false);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(B->CanFocus());
    EXPECT_THROW(B->SetFocus(), EComponentError);
    A->SetFocus();
    A->SetVisible(false);
    EXPECT_EQ(GetFocus(), nullptr);
    A->SetVisible(true);
    A->SetFocus();
    Free(A);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(Form->ActiveControl(), nullptr);
}

TEST_F(InputTest, WheelGoesToTheFocusAndUpToItsParent) {
    int formWheel = 0;
    Form->OnMouseWheel = [&](TObject*, TShiftState, int delta, TPoint, bool& handled) {
        formWheel += delta;
        handled = true;
    };
    A->SetFocus();
    MouseWheelAt(At(B, 1, 1), -120);
    EXPECT_EQ(formWheel, -120);
    A->OnMouseWheel = [&](TObject*, TShiftState s, int, TPoint p, bool& handled) {
        EXPECT_TRUE(s & ssCtrl);
        EXPECT_EQ(p, At(B, 1, 1)); // screen coordinates
        handled = true;
    };
    MouseWheelAt(At(B, 1, 1), 120, ssCtrl);
    EXPECT_EQ(formWheel, -120);
}

TEST_F(InputTest, DisabledControlsGetNoMouse) {
    A->SetEnabled(false);
    MouseDownAt(At(A, 1, 1));
    EXPECT_TRUE(std::none_of(Log.begin(), Log.end(),
                             [](const std::string& s) { return s.rfind("A down", 0) == 0; }));
    G->SetEnabled(false);
    Log.clear();
    MouseDownAt(At(G, 1, 1));
    EXPECT_TRUE(std::none_of(Log.begin(), Log.end(),
                             [](const std::string& s) { return s.rfind("G down", 0) == 0; }));
}

} // namespace
} // namespace fw
