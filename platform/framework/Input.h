#pragma once
// Mouse and keyboard: capture, focus, cursor, key state, screen metrics, and
// functions that inject input the way the operating system delivers it
// (through the thread hooks, to the capture window or the window under the
// point, graphic controls through their parent).
#include "Controls.h"

#include <cstdint>
#include <string>

namespace fw {

// Virtual keys.
constexpr std::uint16_t VK_LBUTTON = 0x01;
constexpr std::uint16_t VK_RBUTTON = 0x02;
constexpr std::uint16_t VK_MBUTTON = 0x04;
constexpr std::uint16_t VK_BACK = 0x08;
constexpr std::uint16_t VK_TAB = 0x09;
constexpr std::uint16_t VK_RETURN = 0x0D;
constexpr std::uint16_t VK_SHIFT = 0x10;
constexpr std::uint16_t VK_CONTROL = 0x11;
constexpr std::uint16_t VK_MENU = 0x12;
constexpr std::uint16_t VK_ESCAPE = 0x1B;
constexpr std::uint16_t VK_SPACE = 0x20;
constexpr std::uint16_t VK_PRIOR = 0x21;
constexpr std::uint16_t VK_NEXT = 0x22;
constexpr std::uint16_t VK_END = 0x23;
constexpr std::uint16_t VK_HOME = 0x24;
constexpr std::uint16_t VK_LEFT = 0x25;
constexpr std::uint16_t VK_UP = 0x26;
constexpr std::uint16_t VK_RIGHT = 0x27;
constexpr std::uint16_t VK_DOWN = 0x28;
constexpr std::uint16_t VK_INSERT = 0x2D;
constexpr std::uint16_t VK_DELETE = 0x2E;
constexpr std::uint16_t VK_MULTIPLY = 0x6A; // numeric pad
constexpr std::uint16_t VK_ADD = 0x6B;
constexpr std::uint16_t VK_SUBTRACT = 0x6D;
constexpr std::uint16_t VK_DIVIDE = 0x6F;
constexpr std::uint16_t VK_F1 = 0x70;
constexpr std::uint16_t VK_F2 = 0x71;
constexpr std::uint16_t VK_F4 = 0x73;
constexpr std::uint16_t VK_APPS = 0x5D; // the application (context menu) key

// --- Capture ---
// Returns the window that held the capture. The window that loses it gets
// WM_CAPTURECHANGED (LParam = the new capture window), and so does a graphic
// control that held it through that window.
HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
HWND GetCapture();
// The control holding the capture (a graphic control captures through its parent).
TControl* GetCaptureControl();
// A control on its way out (Destroying) takes no capture.
void SetCaptureControl(TControl* Control);

// --- Focus ---
// WM_KILLFOCUS (WParam = new) to the old window, WM_SETFOCUS (WParam = old)
// to the new. Returns the window that had the focus.
HWND SetFocus(HWND Wnd);
HWND GetFocus();

// --- Cursor and screen ---
TPoint GetCursorPos();
// Moves the cursor; the window under it (or the capture window) gets a
// WM_MOUSEMOVE the next time messages are pumped, as on the platform.
void SetCursorPos(int X, int Y);
// Adds one (show) or takes one away (hide); the cursor shows while the
// counter is 0 or more. Returns the new counter.
int ShowCursor(bool Show);
int CursorCounter();
void ResetCursorCounter();
// The shape the pointer shows: windows set it when they answer WM_SETCURSOR
// (sent to the window under the pointer before each mouse message while no
// window holds the capture; LParam = HTCLIENT | message << 16).
void SetCurrentCursor(TCursor Cursor);
TCursor CurrentCursor();
// The screen's forced cursor (crDefault: none); every window shows it.
void SetScreenCursor(TCursor Cursor);
TCursor ScreenCursor();
int ScreenWidth();
int ScreenHeight();
void SetScreenSize(int Width, int Height);
// System metrics at the platform's indexes: the screen size, the scroll
// bars' fixed sizes (16 pixels: bar width, arrow length, plain thumb), and
// whether the system code page is a double-byte one (CodePage.h).
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_DBCSENABLED = 42;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
int GetSystemMetrics(int Index); // 0 for other indexes
// The control under a screen point (graphic controls included), or null.
TControl* FindControlAtPos(TPoint ScreenPos, bool AllowDisabled = true);
// The control the mouse is over, as last reported by CM_MOUSEENTER.
TControl* MouseControl();

// --- Sound ---
// The warning sound of refused input; counted here (tests read the count).
void MessageBeep();
int BeepCount();

// --- Keyboard state ---
// High bit set (negative) while the key is down.
std::int16_t GetKeyState(int VirtualKey);
TShiftState KeyboardShiftState(); // Shift, Ctrl, Alt and mouse buttons now held
TShiftState KeysToShiftState(WPARAM Keys);

// --- Double clicks ---
std::uint32_t DoubleClickTime();
void SetDoubleClickTime(std::uint32_t Ms);
constexpr int DoubleClickDistance = 2; // pixels either way

// --- Injection (tests and the host program) ---
// Mouse input at a screen point; Shift gives the modifier keys held (and
// buttons other than the one pressed or released). Double clicks are made
// for windows whose class asks for them (CS_DBLCLKS), within
// DoubleClickTime on the clock and DoubleClickDistance of the last press.
// Without a capture the window is asked WM_NCHITTEST first; over its scroll
// bars (an answer above HTCLIENT) it gets the WM_NC* message instead, with
// the hit code and the screen point, and the client sees nothing.
void MouseMoveTo(TPoint ScreenPos, TShiftState Shift = 0);
void MouseDownAt(TPoint ScreenPos, TMouseButton Button = mbLeft, TShiftState Shift = 0);
void MouseUpAt(TPoint ScreenPos, TMouseButton Button = mbLeft, TShiftState Shift = 0);
void ClickAt(TPoint ScreenPos, TMouseButton Button = mbLeft, TShiftState Shift = 0);
void DoubleClickAt(TPoint ScreenPos, TMouseButton Button = mbLeft, TShiftState Shift = 0);
// Wheel input goes to the focused window (its parents when it does not handle it).
void MouseWheelAt(TPoint ScreenPos, int WheelDelta, TShiftState Shift = 0);
// The same at a point in a control's client coordinates.
TPoint ControlPoint(const TControl* Control, int X, int Y);
// Keys to the focused window, through the keyboard hooks. Tab, arrows, Enter
// and Escape that the window does not want (WM_GETDLGCODE) go to its form
// as CM_DIALOGKEY first.
void KeyDown(std::uint16_t Key, TShiftState Shift = 0);
void KeyUp(std::uint16_t Key, TShiftState Shift = 0);
// A character (WM_CHAR); with ssAlt the form is asked with CM_DIALOGCHAR.
void KeyChar(char Ch, TShiftState Shift = 0);
// A UTF-16 unit typed (WM_CHAR with the unit in WParam).
void KeyCharW(char16_t Ch);
void TypeTextW(const std::u16string& Text);
// Down, the character it types (if any), up.
void PressKey(std::uint16_t Key, TShiftState Shift = 0);
void TypeText(const std::string& Text);

// Delivers a pending cursor move (ProcessMessages calls it).
bool DeliverPendingInput();
// Forgets every reference to a control that goes away (Controls.cpp).
void ForgetControl(TControl* Control);
// Clears capture, focus, key state, cursor and click history (tests).
void ResetInputState();

} // namespace fw
