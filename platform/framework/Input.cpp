#include "Input.h"

#include "Clipbrd.h"
#include "CodePage.h"
#include "DragCtrls.h"
#include "Forms.h"
#include "Hints.h"
#include "Hooks.h"
#include "Screen.h"
#include "Timers.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace fw {
namespace {

struct TInputState {
    int Beeps = 0;
    HWND Capture = nullptr;
    TControl* CaptureControl = nullptr;
    HWND Focus = nullptr;
    TPoint Cursor;
    bool MovePending = false;
    int CursorCount = 0;
    int ScreenW = 1920;
    int ScreenH = 1080;
    TControl* MouseControl = nullptr;
    HWND MouseWindow = nullptr;
    std::array<bool, 256> Keys{};
    std::uint32_t DoubleClickTime = 500;
    // The last button press, for double clicks.
    HWND LastDownWnd = nullptr;
    UINT LastDownMsg = 0;
    std::uint32_t LastDownTime = 0;
    TPoint LastDownPt;
    bool LastWasDouble = false;
    TCursor Shape = crDefault;
    TCursor ScreenCursor = crDefault;
};

TInputState& In() {
    static TInputState state;
    return state;
}

TPoint ClampToScreen(TPoint p) {
    const auto& s = In();
    return TPoint{std::clamp(p.X, 0, std::max(s.ScreenW - 1, 0)),
                  std::clamp(p.Y, 0, std::max(s.ScreenH - 1, 0))};
}

void ApplyShift(TShiftState shift) {
    auto& k = In().Keys;
    k[VK_SHIFT] = (shift & ssShift) != 0;
    k[VK_CONTROL] = (shift & ssCtrl) != 0;
    k[VK_MENU] = (shift & ssAlt) != 0;
    if (shift & ssLeft) k[VK_LBUTTON] = true;
    if (shift & ssRight) k[VK_RBUTTON] = true;
    if (shift & ssMiddle) k[VK_MBUTTON] = true;
}

WPARAM MouseKeys() {
    const auto& k = In().Keys;
    WPARAM w = 0;
    if (k[VK_LBUTTON]) w |= MK_LBUTTON;
    if (k[VK_RBUTTON]) w |= MK_RBUTTON;
    if (k[VK_MBUTTON]) w |= MK_MBUTTON;
    if (k[VK_SHIFT]) w |= MK_SHIFT;
    if (k[VK_CONTROL]) w |= MK_CONTROL;
    return w;
}

// Hint windows let the mouse through to what lies below them.
bool MouseTransparent(TWinControl* w) {
    return w->HandleAllocated() && (GetWindowExStyle(w->Handle()) & WS_EX_TRANSPARENT);
}

// The deepest enabled window under a screen point; null over a disabled
// top-level window or over nothing.
TWinControl* WindowAt(TPoint screen) {
    const std::vector<TWinControl*> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        TWinControl* w = *it;
        if (!w->Visible() || !w->BoundsRect().Contains(screen) || MouseTransparent(w)) continue;
        if (!w->Enabled()) return nullptr;
        for (;;) {
            TControl* c = w->ControlAtPos(w->ScreenToClient(screen), false, true);
            if (!c || !c->IsWindowed()) return w;
            w = static_cast<TWinControl*>(c);
        }
    }
    return nullptr;
}

HWND WindowOf(TControl* c) {
    if (!c) return nullptr;
    TWinControl* w = c->IsWindowed() ? static_cast<TWinControl*>(c) : c->Parent();
    return w ? w->Handle() : nullptr;
}

void UpdateMouseControl(TPoint screen) {
    auto& s = In();
    TControl* now = FindControlAtPos(screen, true);
    // Both are held while either hears: a handler may free the other.
    const TCallHold hold(std::vector<TControl*>{now, s.MouseControl});
    HWND nowWnd = WindowOf(now);
    if (nowWnd != s.MouseWindow) {
        HWND old = s.MouseWindow;
        s.MouseWindow = nowWnd;
        if (old && IsWindow(old)) SendMessage(old, WM_MOUSELEAVE, 0, 0);
    }
    if (now == s.MouseControl) return;
    TControl* old = s.MouseControl;
    s.MouseControl = now;
    if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
    if (now && s.MouseControl == now) now->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(now));
}

bool IsButtonDown(UINT msg) {
    return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN;
}

// Delivers one mouse message as the platform would; false when nobody got it.
bool DeliverMouse(UINT msg, TPoint screen) {
    const TLoopStep step;
    auto& s = In();
    if (DragMouseMessage(msg, screen)) return true; // the class library's drag takes it
    HWND target = s.Capture;
    if (!target) {
        TWinControl* w = WindowAt(screen);
        target = w ? w->Handle() : nullptr;
    }
    // The capture takes every point as client input; else the window says.
    const LRESULT hit = target && !s.Capture && IsWindow(target)
                            ? SendMessage(target, WM_NCHITTEST, 0, PointToLParam(screen))
                            : LRESULT{HTCLIENT};
    const bool nonClient = hit > LRESULT{HTCLIENT};
    if (target && IsButtonDown(msg)) {
        const std::uint32_t now = GetTickCount();
        const bool near = std::abs(screen.X - s.LastDownPt.X) <= DoubleClickDistance &&
                          std::abs(screen.Y - s.LastDownPt.Y) <= DoubleClickDistance;
        const bool isDouble = (GetClassStyle(target) & CS_DBLCLKS) && !s.LastWasDouble &&
                              s.LastDownWnd == target && s.LastDownMsg == msg &&
                              now - s.LastDownTime <= s.DoubleClickTime && near;
        s.LastDownWnd = target;
        s.LastDownMsg = msg;
        s.LastDownTime = now;
        s.LastDownPt = screen;
        s.LastWasDouble = isDouble;
        if (isDouble) msg += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
    }
    if (nonClient) msg += WM_NCMOUSEMOVE - WM_MOUSEMOVE;
    TMouseHookStruct hs;
    hs.pt = screen;
    hs.hwnd = target;
    hs.wHitTestCode = static_cast<UINT>(hit);
    if (RunHookChain(THookKind::Mouse, HC_ACTION, msg, reinterpret_cast<LPARAM>(&hs)) != 0)
        return false;
    bool delivered = false;
    if (target && IsWindow(target) && !s.Capture)
        SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                    static_cast<LPARAM>(static_cast<UINT>(hit) | (msg << 16)));
    if (target && IsWindow(target)) {
        TPoint client = screen;
        if (TWinControl* c = FindControl(target)) client = c->ScreenToClient(screen);
        if (nonClient)
            SendMessage(target, msg, static_cast<WPARAM>(hit), PointToLParam(screen));
        else
            SendMessage(target, msg, MouseKeys(), PointToLParam(client));
        delivered = true;
    }
    UpdateMouseControl(screen);
    TMessage hintMsg;
    hintMsg.Msg = msg;
    HintMouseMessage(screen, hintMsg);
    return delivered;
}

UINT ButtonMessage(TMouseButton b, bool down) {
    switch (b) {
    case mbRight:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case mbMiddle:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    }
}

std::uint16_t ButtonKey(TMouseButton b) {
    return b == mbRight ? VK_RBUTTON : b == mbMiddle ? VK_MBUTTON : VK_LBUTTON;
}

HWND ChangeCapture(HWND wnd, TControl* control) {
    auto& s = In();
    const HWND prevWnd = s.Capture;
    TControl* prevControl = s.CaptureControl;
    if (prevWnd == wnd && prevControl == control) return prevWnd;
    s.Capture = wnd;
    s.CaptureControl = control;
    const TCallHold hold(prevControl); // its window may free it first
    if (prevWnd && prevWnd != wnd && IsWindow(prevWnd))
        SendMessage(prevWnd, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(wnd));
    if (prevControl && prevControl != control && !prevControl->IsWindowed())
        prevControl->Perform(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(wnd));
    return prevWnd;
}

bool WantsKey(HWND target, std::uint16_t key) {
    const LRESULT code = SendMessage(target, WM_GETDLGCODE, key, 0);
    if (code & DLGC_WANTALLKEYS) return true;
    switch (key) {
    case VK_TAB:
        return (code & DLGC_WANTTAB) != 0;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        return (code & DLGC_WANTARROWS) != 0;
    default:
        return false; // Enter and Escape
    }
}

TCustomForm* FocusForm() {
    TWinControl* c = FindControl(In().Focus);
    return c ? GetParentForm(c) : nullptr;
}

// False when the key went nowhere or was taken as a dialog key.
bool SendKeyDown(std::uint16_t key, TShiftState shift) {
    const TLoopStep step;
    auto& s = In();
    ApplyShift(shift);
    const bool wasDown = s.Keys[key & 0xFF];
    s.Keys[key & 0xFF] = true;
    const LPARAM flags = 1 | (wasDown ? (LPARAM{1} << 30) : 0);
    if (RunHookChain(THookKind::Keyboard, HC_ACTION, key, flags) != 0) return false;
    TMessage hintMsg;
    hintMsg.Msg = (shift & ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN;
    hintMsg.WParam = key;
    HintKeyMessage(hintMsg);
    if (key == VK_ESCAPE && Dragging()) {
        CancelDrag();
        return false;
    }
    const HWND target = s.Focus;
    if (!target || !IsWindow(target)) return false;
    if (key == VK_TAB || key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN ||
        key == VK_RETURN || key == VK_ESCAPE) {
        if (!WantsKey(target, key))
            if (TCustomForm* form = FocusForm();
                form && form->Perform(CM_DIALOGKEY, key, flags) != 0)
                return false;
    }
    SendMessage(target, hintMsg.Msg, key, flags);
    return true;
}

char TranslateKey(std::uint16_t key, TShiftState shift) {
    if (key >= 'A' && key <= 'Z') {
        if (shift & ssCtrl) return static_cast<char>(key - 'A' + 1);
        return static_cast<char>((shift & ssShift) ? key : key - 'A' + 'a');
    }
    if (key >= '0' && key <= '9') return static_cast<char>(key);
    switch (key) {
    case VK_SPACE:
        return ' ';
    case VK_RETURN:
        return '\r';
    case VK_TAB:
        return '\t';
    case VK_BACK:
        return '\b';
    case VK_ESCAPE:
        return 0x1B;
    default:
        return 0;
    }
}

} // namespace

HWND SetCapture(HWND Wnd) {
    if (Wnd && !IsWindow(Wnd)) return In().Capture;
    return ChangeCapture(Wnd, Wnd ? static_cast<TControl*>(FindControl(Wnd)) : nullptr);
}

bool ReleaseCapture() {
    ChangeCapture(nullptr, nullptr);
    return true;
}

HWND GetCapture() {
    return In().Capture;
}
TControl* GetCaptureControl() {
    return In().CaptureControl;
}

void SetCaptureControl(TControl* Control) {
    if (Control && Control->InState(TComponentStateItem::Destroying)) return; // on its way out
    if (!Control) {
        ChangeCapture(nullptr, nullptr);
    } else if (Control->IsWindowed()) {
        ChangeCapture(static_cast<TWinControl*>(Control)->Handle(), Control);
    } else if (Control->Parent()) {
        ChangeCapture(Control->Parent()->Handle(), Control);
    }
}

HWND SetFocus(HWND Wnd) {
    auto& s = In();
    if (Wnd == s.Focus) return Wnd;
    if (Wnd) {
        if (!IsWindow(Wnd) || (GetWindowStyle(Wnd) & WS_DISABLED)) return nullptr;
        if (TWinControl* c = FindControl(Wnd); c && !c->EnabledInChain()) return nullptr;
    }
    const HWND prev = s.Focus;
    s.Focus = Wnd;
    if (prev && IsWindow(prev)) SendMessage(prev, WM_KILLFOCUS, reinterpret_cast<WPARAM>(Wnd), 0);
    if (Wnd && s.Focus == Wnd) SendMessage(Wnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(prev), 0);
    return prev;
}

HWND GetFocus() {
    return In().Focus;
}

TPoint GetCursorPos() {
    return In().Cursor;
}

void SetCursorPos(int X, int Y) {
    auto& s = In();
    s.Cursor = ClampToScreen(TPoint{X, Y});
    s.MovePending = true;
}

int ShowCursor(bool Show) {
    return Show ? ++In().CursorCount : --In().CursorCount;
}
void MessageBeep() {
    ++In().Beeps;
}

int BeepCount() {
    return In().Beeps;
}

int CursorCounter() {
    return In().CursorCount;
}
void ResetCursorCounter() {
    In().CursorCount = 0;
}
void SetCurrentCursor(TCursor Cursor) {
    In().Shape = Cursor;
}
TCursor CurrentCursor() {
    return In().Shape;
}
void SetScreenCursor(TCursor Cursor) {
    In().ScreenCursor = Cursor;
}
TCursor ScreenCursor() {
    return In().ScreenCursor;
}


int ScreenWidth() {
    return In().ScreenW;
}
int ScreenHeight() {
    return In().ScreenH;
}
void SetScreenSize(int Width, int Height) {
    In().ScreenW = std::max(Width, 1);
    In().ScreenH = std::max(Height, 1);
}

int GetSystemMetrics(int Index) {
    switch (Index) {
    case SM_CXSCREEN:
        return In().ScreenW;
    case SM_CYSCREEN:
        return In().ScreenH;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
        return 16;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_DBCSENABLED:
        return IsDBCSCodePage(GetACP()) ? 1 : 0;
    default:
        return 0;
    }
}

TControl* FindControlAtPos(TPoint ScreenPos, bool AllowDisabled) {
    const std::vector<TWinControl*> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        TWinControl* w = *it;
        if (!w->Visible() || !w->BoundsRect().Contains(ScreenPos) || MouseTransparent(w)) continue;
        if (!AllowDisabled && !w->Enabled()) return nullptr;
        for (;;) {
            TControl* c = w->ControlAtPos(w->ScreenToClient(ScreenPos), AllowDisabled, true);
            if (!c) return w;
            if (!c->IsWindowed()) return c;
            w = static_cast<TWinControl*>(c);
        }
    }
    return nullptr;
}

TControl* MouseControl() {
    return In().MouseControl;
}

std::int16_t GetKeyState(int VirtualKey) {
    if (VirtualKey < 0 || VirtualKey > 255) return 0;
    return In().Keys[static_cast<std::size_t>(VirtualKey)] ? static_cast<std::int16_t>(-128) : 0;
}

TShiftState KeysToShiftState(WPARAM Keys) {
    TShiftState s = 0;
    if (Keys & MK_SHIFT) s |= ssShift;
    if (Keys & MK_CONTROL) s |= ssCtrl;
    if (Keys & MK_LBUTTON) s |= ssLeft;
    if (Keys & MK_RBUTTON) s |= ssRight;
    if (Keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    return KeysToShiftState(MouseKeys());
}

std::uint32_t DoubleClickTime() {
    return In().DoubleClickTime;
}
void SetDoubleClickTime(std::uint32_t Ms) {
    In().DoubleClickTime = Ms;
}

namespace {

// The shift keys as given and the cursor where the user put it, with no move
// left pending.
TInputState& PlaceMouse(TPoint ScreenPos, TShiftState Shift) {
    auto& s = In();
    ApplyShift(Shift);
    s.Cursor = ClampToScreen(ScreenPos);
    s.MovePending = false;
    return s;
}

void MouseButtonAt(TPoint ScreenPos, TMouseButton Button, TShiftState Shift, bool Down) {
    auto& s = PlaceMouse(ScreenPos, Shift);
    s.Keys[ButtonKey(Button)] = Down;
    DeliverMouse(ButtonMessage(Button, Down), s.Cursor);
}

} // namespace

void MouseMoveTo(TPoint ScreenPos, TShiftState Shift) {
    DeliverMouse(WM_MOUSEMOVE, PlaceMouse(ScreenPos, Shift).Cursor);
}

void MouseDownAt(TPoint ScreenPos, TMouseButton Button, TShiftState Shift) {
    MouseButtonAt(ScreenPos, Button, Shift, true);
}

void MouseUpAt(TPoint ScreenPos, TMouseButton Button, TShiftState Shift) {
    MouseButtonAt(ScreenPos, Button, Shift, false);
}

void ClickAt(TPoint ScreenPos, TMouseButton Button, TShiftState Shift) {
    MouseDownAt(ScreenPos, Button, Shift);
    MouseUpAt(ScreenPos, Button, Shift);
}

void DoubleClickAt(TPoint ScreenPos, TMouseButton Button, TShiftState Shift) {
    ClickAt(ScreenPos, Button, Shift);
    ClickAt(ScreenPos, Button, Shift);
}

void MouseWheelAt(TPoint ScreenPos, int WheelDelta, TShiftState Shift) {
    const TLoopStep step;
    auto& s = In();
    ApplyShift(Shift);
    s.Cursor = ClampToScreen(ScreenPos);
    HWND target = s.Focus;
    if (!target) {
        TWinControl* w = WindowAt(s.Cursor);
        target = w ? w->Handle() : nullptr;
    }
    const WPARAM w = (static_cast<WPARAM>(static_cast<std::uint16_t>(WheelDelta)) << 16) |
                     (MouseKeys() & 0xFFFF);
    TMouseHookStruct hs;
    hs.pt = s.Cursor;
    hs.hwnd = target;
    hs.wHitTestCode = HTCLIENT;
    if (RunHookChain(THookKind::Mouse, HC_ACTION, WM_MOUSEWHEEL, reinterpret_cast<LPARAM>(&hs)) !=
        0)
        return;
    if (target) SendMessage(target, WM_MOUSEWHEEL, w, PointToLParam(s.Cursor));
}

TPoint ControlPoint(const TControl* Control, int X, int Y) {
    return Control ? Control->ClientToScreen(TPoint{X, Y}) : TPoint{X, Y};
}

void KeyDown(std::uint16_t Key, TShiftState Shift) {
    SendKeyDown(Key, Shift);
}

void KeyUp(std::uint16_t Key, TShiftState Shift) {
    const TLoopStep step;
    auto& s = In();
    ApplyShift(Shift);
    s.Keys[Key & 0xFF] = false;
    const LPARAM flags = 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    if (RunHookChain(THookKind::Keyboard, HC_ACTION, Key, flags) != 0) return;
    if (s.Focus && IsWindow(s.Focus))
        SendMessage(s.Focus, (Shift & ssAlt) ? WM_SYSKEYUP : WM_KEYUP, Key, flags);
}

void KeyChar(char Ch, TShiftState Shift) {
    const TLoopStep step;
    auto& s = In();
    ApplyShift(Shift);
    const auto code = static_cast<WPARAM>(static_cast<unsigned char>(Ch));
    if (Shift & ssAlt) {
        TCustomForm* form = FocusForm();
        if (!form) {
            const auto tops = TopLevelWindows();
            for (auto it = tops.rbegin(); it != tops.rend() && !form; ++it)
                form = dynamic_cast<TCustomForm*>(*it);
        }
        if (form) form->Perform(CM_DIALOGCHAR, code, 0);
        return;
    }
    if (s.Focus && IsWindow(s.Focus)) SendMessage(s.Focus, WM_CHAR, code, 1);
}

void KeyCharW(char16_t Ch) {
    const TLoopStep step;
    auto& s = In();
    if (s.Focus && IsWindow(s.Focus)) SendMessage(s.Focus, WM_CHAR, static_cast<WPARAM>(Ch), 1);
}

void TypeTextW(const std::u16string& Text) {
    for (char16_t c : Text)
        KeyCharW(c);
}

void PressKey(std::uint16_t Key, TShiftState Shift) {
    const bool delivered = SendKeyDown(Key, Shift);
    const char ch = TranslateKey(Key, Shift);
    if (delivered && ch) KeyChar(ch, Shift);
    KeyUp(Key, Shift);
}

void TypeText(const std::string& Text) {
    for (char c : Text)
        KeyChar(c, 0);
}

bool DeliverPendingInput() {
    auto& s = In();
    if (!s.MovePending) return false;
    s.MovePending = false;
    DeliverMouse(WM_MOUSEMOVE, s.Cursor);
    return true;
}

void ForgetControl(TControl* Control) {
    if (!Control) return;
    HintControlFreed(Control);
    DragControlFreed(Control);
    auto& s = In();
    auto inside = [Control](TControl* c) {
        if (!c) return false;
        if (c == Control) return true;
        return Control->IsWindowed() && static_cast<TWinControl*>(Control)->ContainsControl(c);
    };
    if (inside(s.CaptureControl)) {
        s.CaptureControl = nullptr;
        s.Capture = nullptr;
    }
    if (inside(s.MouseControl)) s.MouseControl = nullptr;
    if (Control->IsWindowed()) {
        auto* w = static_cast<TWinControl*>(Control);
        if (w->HandleAllocated()) {
            if (s.MouseWindow == w->Handle()) s.MouseWindow = nullptr;
            if (s.Focus && inside(FindControl(s.Focus))) s.Focus = nullptr;
        }
    }
}

void ResetInputState() {
    In() = TInputState{};
    ResetHints();
    ResetClipboard();
    ResetScreen();
}

} // namespace fw
