#include "ScrollBars.h"

#include "Canvas.h"
#include "Hooks.h"
#include "Input.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cstdint>

namespace fw {
namespace {

constexpr int MinThumb = 8; // a proportional thumb never gets thinner

bool IsBar(int Bar) {
    return Bar == SB_HORZ || Bar == SB_VERT;
}

TWinControl* ControlOf(HWND Wnd) {
    return Wnd ? FindControl(Wnd) : nullptr;
}

// Read-only look-up that makes no state: a window never given a bar has the empty one.
const TScrollBarData* FindBar(HWND Wnd, int Bar) {
    static const TScrollBarData none;
    const TWinControl* c = ControlOf(Wnd);
    if (!c || !IsBar(Bar)) return nullptr;
    const TWindowScrollBars* s = c->FindWindowScrollBars();
    return s ? &s->Bars[Bar] : &none;
}

// The largest position: the page's last line then shows the maximum.
int MaxPos(const TScrollBarData& b) {
    return static_cast<int>(b.Max - std::max<std::int64_t>(std::int64_t{b.Page} - 1, 0));
}

// a * b / c rounded, all non-negative, c > 0.
int MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    return static_cast<int>((a * b + c / 2) / c);
}

void ShowBar(TWinControl& c, int Bar, bool Show) {
    TScrollBarData& b = c.WindowScrollBars().Bars[Bar];
    if (b.Shown == Show) return;
    b.Shown = Show;
    c.ScrollBarsChanged();
}

int Length(const TScrollBarLayout& l, int Bar) {
    return Bar == SB_VERT ? l.Bar.Height() : l.Bar.Width();
}

// A window point as an offset along the bar from its start.
int Along(const TScrollBarLayout& l, int Bar, TPoint p) {
    return Bar == SB_VERT ? p.Y - l.Bar.Top : p.X - l.Bar.Left;
}

TScrollBarPart PartAt(const TScrollBarLayout& l, int Bar, int a) {
    if (a < l.Arrow) return TScrollBarPart::sbpLineUp;
    if (a >= Length(l, Bar) - l.Arrow) return TScrollBarPart::sbpLineDown;
    if (!l.ThumbLength) return TScrollBarPart::sbpNone;
    if (a < l.Thumb) return TScrollBarPart::sbpPageUp;
    if (a < l.Thumb + l.ThumbLength) return TScrollBarPart::sbpThumb;
    return TScrollBarPart::sbpPageDown;
}

// The position that a thumb starting at offset a stands for.
int ThumbValue(const TScrollBarLayout& l, int Bar, const TScrollBarData& b, int a) {
    const int free = Length(l, Bar) - 2 * l.Arrow - l.ThumbLength;
    if (free <= 0) return b.Min;
    const int p = std::clamp(a - l.Arrow, 0, free);
    return b.Min + MulDiv(p, std::int64_t{MaxPos(b)} - b.Min, free);
}

void SendScroll(HWND Wnd, int Bar, int Code, int Pos = 0) {
    if (!IsWindow(Wnd)) return;
    const WPARAM w = static_cast<WPARAM>(Code) |
                     (static_cast<WPARAM>(static_cast<std::uint16_t>(Pos)) << 16);
    SendMessage(Wnd, Bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, w, 0);
}

// Ends a press: the thumb's place is reported when it was let go, then the end.
void EndTracking(TWinControl& Control, bool Released) {
    TScrollTracking& track = Control.WindowScrollBars().Track;
    const TScrollTracking t = track;
    track = TScrollTracking{};
    Control.InvalidateNonClient();
    const HWND h = Control.Handle();
    TScopeExit release([h, Released] {
        if (Released && GetCapture() == h) ReleaseCapture();
    });
    if (Released && t.Part == TScrollBarPart::sbpThumb)
        SendScroll(h, t.Bar, SB_THUMBPOSITION, t.TrackPos);
    SendScroll(h, t.Bar, SB_ENDSCROLL);
    release.Leave();
}

void MoveThumb(TWinControl& Control, TPoint p) {
    TWindowScrollBars& s = Control.WindowScrollBars();
    const int bar = s.Track.Bar;
    const TScrollBarLayout l = ScrollBarLayout(Control, bar);
    if (!l.ThumbLength) return;
    const int v = ThumbValue(l, bar, s.Bars[bar], Along(l, bar, p) - s.Track.Grab);
    if (v == s.Track.TrackPos) return;
    s.Track.TrackPos = v;
    Control.InvalidateNonClient();
    SendScroll(Control.Handle(), bar, SB_THUMBTRACK, v);
}

enum class TArrow { Up, Down, Left, Right };

// A triangle of n rows pointing the arrow's way, centred in r.
void Glyph(TCanvas& c, const TRect& r, TArrow dir, TColor color) {
    const int n = std::max(1, std::min(r.Width(), r.Height()) / 4);
    const int cx = r.Left + r.Width() / 2, cy = r.Top + r.Height() / 2;
    c.Brush().SetColor(color);
    for (int i = 0; i < n; ++i) {
        const bool grows = dir == TArrow::Up || dir == TArrow::Left;
        const int half = grows ? i : n - 1 - i;
        if (dir == TArrow::Up || dir == TArrow::Down) {
            const int y = cy - n / 2 + i;
            c.FillRect(TRect{cx - half, y, cx + half + 1, y + 1});
        } else {
            const int x = cx - n / 2 + i;
            c.FillRect(TRect{x, cy - half, x + 1, cy + half + 1});
        }
    }
}

void ArrowButton(TCanvas& c, TRect r, TArrow dir, bool disabled) {
    const TRect inside = r;
    c.DrawEdge(r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    if (disabled) {
        Glyph(c, OffsetRect(inside, 1, 1), dir, clBtnHighlight);
        Glyph(c, inside, dir, clGrayText);
    } else {
        Glyph(c, inside, dir, clBtnText);
    }
}

void PaintBar(TCanvas& c, const TScrollBarLayout& l, int Bar, const TScrollBarData& b) {
    if (l.Bar.IsEmpty()) return;
    const bool vert = Bar == SB_VERT;
    auto piece = [&](int from, int to) {
        return vert ? TRect{l.Bar.Left, l.Bar.Top + from, l.Bar.Right, l.Bar.Top + to}
                    : TRect{l.Bar.Left + from, l.Bar.Top, l.Bar.Left + to, l.Bar.Bottom};
    };
    const int len = Length(l, Bar);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clScrollBar);
    c.FillRect(piece(l.Arrow, len - l.Arrow));
    ArrowButton(c, piece(0, l.Arrow), vert ? TArrow::Up : TArrow::Left,
                (b.Disabled & ESB_DISABLE_LTUP) != 0);
    ArrowButton(c, piece(len - l.Arrow, len), vert ? TArrow::Down : TArrow::Right,
                (b.Disabled & ESB_DISABLE_RTDN) != 0);
    if (l.ThumbLength) {
        TRect thumb = piece(l.Thumb, l.Thumb + l.ThumbLength);
        c.DrawEdge(thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
}

// A bar asked to redraw is drawn at once, as on the platform (a paint of the
// whole frame would take the client along); before the window's first paint,
// or under a pending paint, it waits for that paint.
void RedrawBar(TWinControl& c, int Bar) {
    const TRect r = ScrollBarLayout(c, Bar).Bar;
    if (r.IsEmpty()) return;
    if (!PaintWindowPartNow(c, r, [&c](const TPaintTarget& t) { PaintScrollBars(c, t); }))
        c.InvalidateNonClient();
}

} // namespace

int SetScrollInfo(HWND Wnd, int Bar, const TScrollInfo& Info, bool Redraw) {
    TWinControl* c = ControlOf(Wnd);
    if (!c || !IsBar(Bar)) return 0;
    TScrollBarData& b = c->WindowScrollBars().Bars[Bar];
    if (Info.fMask & SIF_PAGE) b.Page = Info.nPage;
    if (Info.fMask & SIF_POS) b.Pos = Info.nPos;
    if (Info.fMask & SIF_RANGE) {
        // A reversed range, or one wider than the positions can count, is none.
        const bool bad = Info.nMin > Info.nMax ||
                         std::int64_t{Info.nMax} - Info.nMin >= std::int64_t{0x80000000};
        b.Min = bad ? 0 : Info.nMin;
        b.Max = bad ? 0 : Info.nMax;
    }
    b.Page = static_cast<UINT>(std::min<std::int64_t>(b.Page, std::int64_t{b.Max} - b.Min + 1));
    b.Pos = std::clamp(b.Pos, b.Min, MaxPos(b));
    bool show = b.Shown;
    if (Info.fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) {
        if (b.Min >= MaxPos(b)) { // nothing to scroll
            show = (Info.fMask & SIF_DISABLENOSCROLL) != 0;
            if (show) b.Disabled = ESB_DISABLE_BOTH;
        } else if (Info.fMask != SIF_PAGE) { // a page alone shows nothing
            show = true;
            b.Disabled = ESB_ENABLE_BOTH;
        }
    }
    if (show != b.Shown)
        ShowBar(*c, Bar, show);
    else if (Redraw)
        RedrawBar(*c, Bar);
    return b.Pos;
}

bool GetScrollInfo(HWND Wnd, int Bar, TScrollInfo& Info) {
    const TScrollBarData* b = FindBar(Wnd, Bar);
    if (!b) return false;
    if (Info.fMask & SIF_RANGE) {
        Info.nMin = b->Min;
        Info.nMax = b->Max;
    }
    if (Info.fMask & SIF_PAGE) Info.nPage = b->Page;
    if (Info.fMask & SIF_POS) Info.nPos = b->Pos;
    if (Info.fMask & SIF_TRACKPOS) {
        const TWindowScrollBars* s = ControlOf(Wnd)->FindWindowScrollBars();
        const bool dragging = s && s->Track.Bar == Bar && s->Track.Part == TScrollBarPart::sbpThumb;
        Info.nTrackPos = dragging ? s->Track.TrackPos : b->Pos;
    }
    return true;
}

int SetScrollPos(HWND Wnd, int Bar, int Pos, bool Redraw) {
    const int old = GetScrollPos(Wnd, Bar);
    TScrollInfo info;
    info.fMask = SIF_POS;
    info.nPos = Pos;
    SetScrollInfo(Wnd, Bar, info, Redraw);
    return old;
}

int GetScrollPos(HWND Wnd, int Bar) {
    const TScrollBarData* b = FindBar(Wnd, Bar);
    return b ? b->Pos : 0;
}

bool SetScrollRange(HWND Wnd, int Bar, int Min, int Max, bool Redraw) {
    if (!FindBar(Wnd, Bar)) return false;
    TScrollInfo info;
    info.fMask = SIF_RANGE;
    info.nMin = Min;
    info.nMax = Max;
    SetScrollInfo(Wnd, Bar, info, Redraw);
    return true;
}

bool GetScrollRange(HWND Wnd, int Bar, int& Min, int& Max) {
    const TScrollBarData* b = FindBar(Wnd, Bar);
    if (!b) return false;
    Min = b->Min;
    Max = b->Max;
    return true;
}

bool ShowScrollBar(HWND Wnd, int Bar, bool Show) {
    TWinControl* c = ControlOf(Wnd);
    if (!c || !(IsBar(Bar) || Bar == SB_BOTH)) return false;
    if (Bar != SB_VERT) ShowBar(*c, SB_HORZ, Show);
    if (Bar != SB_HORZ) ShowBar(*c, SB_VERT, Show);
    return true;
}

bool EnableScrollBar(HWND Wnd, int Bar, UINT Arrows) {
    TWinControl* c = ControlOf(Wnd);
    if (!c || !(IsBar(Bar) || Bar == SB_BOTH)) return false;
    bool changed = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (Bar != SB_BOTH && Bar != b) continue;
        UINT& d = c->WindowScrollBars().Bars[b].Disabled;
        changed = changed || d != (Arrows & ESB_DISABLE_BOTH);
        d = Arrows & ESB_DISABLE_BOTH;
    }
    if (changed) c->InvalidateNonClient();
    return changed;
}

TScrollBarLayout ScrollBarLayout(const TWinControl& Control, int Bar) {
    TScrollBarLayout l;
    const TWindowScrollBars* s = Control.FindWindowScrollBars();
    if (!s || !IsBar(Bar) || !s->Bars[Bar].Shown) return l;
    const TScrollBarData& b = s->Bars[Bar];
    const bool vert = Bar == SB_VERT;
    // The bars lie inside the frame, beside and below the client.
    const TPoint o = Control.ClientOffset();
    const TRect c = Bounds(o.X, o.Y, Control.ClientWidth(), Control.ClientHeight());
    const TRect f = Control.FrameInsets();
    const TRect in{f.Left, f.Top, Control.Width() - f.Right, Control.Height() - f.Bottom};
    if (vert)
        l.Bar = c.Left > in.Left ? TRect{in.Left, c.Top, c.Left, c.Bottom}
                                 : TRect{c.Right, c.Top, in.Right, c.Bottom};
    else
        l.Bar = TRect{c.Left, c.Bottom, c.Right, in.Bottom};
    const int len = Length(l, Bar);
    // Arrows share a bar too short for both.
    l.Arrow = std::min(GetSystemMetrics(vert ? SM_CYVSCROLL : SM_CXHSCROLL), len / 2);
    const int track = len - 2 * l.Arrow;
    if (track <= 0 || b.Disabled == ESB_DISABLE_BOTH) return l;
    const int thumb =
        b.Page ? std::max(MulDiv(track, b.Page, std::int64_t{b.Max} - b.Min + 1), MinThumb)
               : GetSystemMetrics(vert ? SM_CYVTHUMB : SM_CXHTHUMB);
    if (thumb > track) return l; // no room for a thumb
    const bool dragging = s->Track.Bar == Bar && s->Track.Part == TScrollBarPart::sbpThumb;
    const int pos = dragging ? s->Track.TrackPos : b.Pos;
    const int maxPos = MaxPos(b);
    l.Thumb = l.Arrow;
    if (b.Min < maxPos) l.Thumb += MulDiv(track - thumb, pos - b.Min, std::int64_t{maxPos} - b.Min);
    l.ThumbLength = thumb;
    return l;
}

UINT ScrollBarHitTest(const TWinControl& Control, TPoint ScreenPos) {
    const TPoint p = Control.ScreenToClient(ScreenPos) + Control.ClientOffset();
    if (!Bounds(0, 0, Control.Width(), Control.Height()).Contains(p)) return HTNOWHERE;
    const TPoint o = Control.ClientOffset();
    if (OffsetRect(Control.ClientRect(), o.X, o.Y).Contains(p)) return HTCLIENT;
    const TScrollBarLayout v = ScrollBarLayout(Control, SB_VERT);
    const TScrollBarLayout h = ScrollBarLayout(Control, SB_HORZ);
    if (v.Bar.Contains(p)) return HTVSCROLL;
    if (h.Bar.Contains(p)) return HTHSCROLL;
    // The square where both bars meet.
    if (!v.Bar.IsEmpty() && !h.Bar.IsEmpty() && p.X >= v.Bar.Left && p.X < v.Bar.Right &&
        p.Y >= h.Bar.Top && p.Y < h.Bar.Bottom)
        return HTSIZE;
    return HTBORDER;
}

void BeginScrollBarTracking(TWinControl& Control, UINT HitCode, TPoint ScreenPos) {
    const int bar = HitCode == HTVSCROLL ? SB_VERT : HitCode == HTHSCROLL ? SB_HORZ : -1;
    if (bar < 0 || !Control.HandleAllocated()) return;
    TWindowScrollBars& s = Control.WindowScrollBars();
    const TScrollBarLayout l = ScrollBarLayout(Control, bar);
    if (s.Track.Bar >= 0 || l.Bar.IsEmpty()) return;
    const TScrollBarData& b = s.Bars[bar];
    const int a = Along(l, bar, Control.ScreenToClient(ScreenPos) + Control.ClientOffset());
    const TScrollBarPart part = PartAt(l, bar, a);
    const bool back = part == TScrollBarPart::sbpLineUp || part == TScrollBarPart::sbpPageUp;
    const bool ahead = part == TScrollBarPart::sbpLineDown || part == TScrollBarPart::sbpPageDown;
    if (part == TScrollBarPart::sbpNone || (back && (b.Disabled & ESB_DISABLE_LTUP)) ||
        (ahead && (b.Disabled & ESB_DISABLE_RTDN)))
        return;
    const HWND h = Control.Handle();
    SetCapture(h);
    s.Track = TScrollTracking{bar, part, a - l.Thumb, b.Pos};
    // A handler that fails leaves no press behind.
    TScopeExit fail([&Control, h] {
        if (IsWindow(h) && Control.WindowScrollBars().Track.Bar >= 0) {
            Control.WindowScrollBars().Track = TScrollTracking{};
            if (GetCapture() == h) ReleaseCapture();
        }
    });
    switch (part) {
    case TScrollBarPart::sbpLineUp:
        SendScroll(h, bar, SB_LINEUP);
        break;
    case TScrollBarPart::sbpLineDown:
        SendScroll(h, bar, SB_LINEDOWN);
        break;
    case TScrollBarPart::sbpPageUp:
        SendScroll(h, bar, SB_PAGEUP);
        break;
    case TScrollBarPart::sbpPageDown:
        SendScroll(h, bar, SB_PAGEDOWN);
        break;
    default:
        Control.InvalidateNonClient();
        break;
    }
    fail.Release();
}

bool TrackScrollBar(TWinControl& Control, TMessage& Message) {
    if (Control.WindowScrollBars().Track.Bar < 0) return false;
    switch (Message.Msg) {
    case WM_CAPTURECHANGED: // taken away: the press ends, the window hears of it as usual
        EndTracking(Control, false);
        return false;
    case WM_MOUSEMOVE:
        if (Control.WindowScrollBars().Track.Part == TScrollBarPart::sbpThumb)
            MoveThumb(Control, LParamToPoint(Message.LParam) + Control.ClientOffset());
        return true;
    case WM_LBUTTONUP:
        EndTracking(Control, true);
        return true;
    default: // the bar holds the mouse meanwhile
        return Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK;
    }
}

void PaintScrollBars(const TWinControl& Control, const TPaintTarget& Target) {
    const TWindowScrollBars* s = Control.FindWindowScrollBars();
    if (!s || !Target.Surface) return;
    TCanvas c;
    c.Attach(Target.Surface, Target.Origin, Target.Clip);
    for (int bar : {SB_HORZ, SB_VERT})
        PaintBar(c, ScrollBarLayout(Control, bar), bar, s->Bars[bar]);
    if (s->Bars[SB_HORZ].Shown && s->Bars[SB_VERT].Shown) {
        const TRect v = ScrollBarLayout(Control, SB_VERT).Bar;
        const TRect h = ScrollBarLayout(Control, SB_HORZ).Bar;
        c.Brush().SetColor(clBtnFace);
        c.FillRect(TRect{v.Left, h.Top, v.Right, h.Bottom});
    }
}

} // namespace fw
