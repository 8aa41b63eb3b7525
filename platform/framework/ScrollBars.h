#pragma once
// The standard scroll bars of windowed controls, as the window system keeps
// them: range, page and position per bar, clamped the platform's way; a shown
// bar takes its width off the client area (right and bottom edges, so the
// client's (0,0) stays the window's) and is painted and worked by the mouse
// there. A window starts without bars, whatever its style says.
#include "Controls.h"

namespace fw {

// TScrollInfo::fMask.
constexpr UINT SIF_RANGE = 0x01;
constexpr UINT SIF_PAGE = 0x02;
constexpr UINT SIF_POS = 0x04;
constexpr UINT SIF_DISABLENOSCROLL = 0x08;
constexpr UINT SIF_TRACKPOS = 0x10;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// EnableScrollBar's arrows.
constexpr UINT ESB_ENABLE_BOTH = 0;
constexpr UINT ESB_DISABLE_LTUP = 1;
constexpr UINT ESB_DISABLE_RTDN = 2;
constexpr UINT ESB_DISABLE_BOTH = 3;

struct TScrollInfo {
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

// Sets what fMask names of SB_HORZ or SB_VERT, then clamps: the page to
// nMax - nMin + 1, the position to nMin .. nMax - max(nPage - 1, 0). A change
// of range or page shows the bar when that leaves something to scroll and
// hides it otherwise (with SIF_DISABLENOSCROLL: shows it disabled). Answers
// the new position (0 for a window without a control or another bar).
int SetScrollInfo(HWND Wnd, int Bar, const TScrollInfo& Info, bool Redraw);
// nTrackPos is the thumb's place while the user drags it, else the position.
bool GetScrollInfo(HWND Wnd, int Bar, TScrollInfo& Info);
// Answers the previous position.
int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw);
int GetScrollPos(HWND Wnd, int Bar);
bool SetScrollRange(HWND Wnd, int Bar, int Min, int Max, bool Redraw);
bool GetScrollRange(HWND Wnd, int Bar, int& Min, int& Max);
// Bar may be SB_BOTH.
bool ShowScrollBar(HWND Wnd, int Bar, bool Show);
// Disables the arrows named (ESB_*); false when nothing changed.
bool EnableScrollBar(HWND Wnd, int Bar, UINT Arrows);

// One bar's state (framework side; use the functions above).
struct TScrollBarData {
    int Min = 0;
    int Max = 0;
    UINT Page = 0;
    int Pos = 0;
    bool Shown = false;
    UINT Disabled = ESB_ENABLE_BOTH;
};

// The parts of a bar under the mouse.
enum class TScrollBarPart { sbpNone, sbpLineUp, sbpPageUp, sbpThumb, sbpPageDown, sbpLineDown };

// A press on a bar until its release (the platform's tracking loop).
struct TScrollTracking {
    int Bar = -1; // -1: none
    TScrollBarPart Part = TScrollBarPart::sbpNone;
    int Grab = 0; // pointer offset into the thumb along the bar
    int TrackPos = 0;
};

struct TWindowScrollBars {
    TScrollBarData Bars[2];
    TScrollTracking Track;
};

// Where a bar's pieces lie, in window coordinates; lengths along the bar.
struct TScrollBarLayout {
    TRect Bar;      // empty when the bar is hidden
    int Arrow = 0;  // length of each arrow button
    int Thumb = 0;  // offset of the thumb from the bar's start
    int ThumbLength = 0; // 0: no thumb (disabled, or no room)
};
TScrollBarLayout ScrollBarLayout(const TWinControl& Control, int Bar);

// Framework internals: the non-client answers of TWinControl.
UINT ScrollBarHitTest(const TWinControl& Control, TPoint ScreenPos);
void BeginScrollBarTracking(TWinControl& Control, UINT HitCode, TPoint ScreenPos);
// True when the message belonged to a running bar press.
bool TrackScrollBar(TWinControl& Control, TMessage& Message);
void PaintScrollBars(const TWinControl& Control, const TPaintTarget& Target);

} // namespace fw
