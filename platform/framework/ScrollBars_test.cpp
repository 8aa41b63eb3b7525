#include "ScrollBars.h"

#include "Canvas.h"
#include "FormTestEnv.h"
#include "Hooks.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

struct TScrollNote {
    UINT Msg;
    int Code;
    int Pos;
    friend bool operator==(const TScrollNote&, const TScrollNote&) = default;
};

// Logs its scroll requests, sizes and presses; paints red far past its client.
class TBarBox : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::vector<TScrollNote> Scrolls;
    std::vector<TSize> Sizes;
    int Presses = 0;
    int TrackPosSeen = -1; // nTrackPos at the last SB_THUMBTRACK

protected:
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_VSCROLL || m.Msg == WM_HSCROLL) {
            const int code = static_cast<int>(m.WParam & 0xFFFF);
            Scrolls.push_back({m.Msg, code, static_cast<int>(m.WParam >> 16)});
            if (code == SB_THUMBTRACK) {
                TScrollInfo info;
                info.fMask = SIF_TRACKPOS;
                GetScrollInfo(Handle(), m.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, info);
                TrackPosSeen = info.nTrackPos;
            }
        }
        if (m.Msg == WM_SIZE) Sizes.push_back({LParamX(m.LParam), LParamY(m.LParam)});
        TCustomControl::WndProc(m);
    }
    void MouseDown(TMouseButton, TShiftState, int, int) override { ++Presses; }
    void Paint() override {
        Canvas()->Brush().SetColor(clRed);
        Canvas()->FillRect(TRect{-1000, -1000, 1000, 1000});
    }
};

TScrollInfo Info(UINT mask, int min, int max, UINT page, int pos) {
    TScrollInfo i;
    i.fMask = mask;
    i.nMin = min;
    i.nMax = max;
    i.nPage = page;
    i.nPos = pos;
    return i;
}

class ScrollBarsTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Box = Place<TBarBox>(10, 10, 200, 100);
        Wnd = Box->Handle();
    }
    TScrollInfo Read(int bar) {
        TScrollInfo i;
        i.fMask = SIF_ALL;
        EXPECT_TRUE(GetScrollInfo(Wnd, bar, i));
        return i;
    }
    // The vertical bar of the samples: 100 positions, 20 a page.
    void Standard(int pos = 0) { SetScrollInfo(Wnd, SB_VERT, Info(SIF_ALL, 0, 99, 20, pos), true); }
    TPoint At(int x, int y) { return ControlPoint(Box, x, y); }
    TBarBox* Box = nullptr;
    HWND Wnd = nullptr;
};

TEST_F(ScrollBarsTest, PageAndPositionAreClampedToTheRange) {
    EXPECT_EQ(SetScrollInfo(Wnd, SB_VERT, Info(SIF_ALL, 0, 99, 20, 500), false), 80);
    TScrollInfo i = Read(SB_VERT);
    EXPECT_EQ(i.nPage, 20u);
    EXPECT_EQ(i.nTrackPos, 80); // not dragging: the position
    EXPECT_EQ(SetScrollInfo(Wnd, SB_VERT, Info(SIF_PAGE, 0, 0, 500, 0), false), 0);
    EXPECT_EQ(Read(SB_VERT).nPage, 100u); // the range and one
    EXPECT_EQ(SetScrollPos(Wnd, SB_VERT, -5, false), 0);
    EXPECT_EQ(GetScrollPos(Wnd, SB_VERT), 0);
    // Without a page the position reaches the maximum.
    SetScrollInfo(Wnd, SB_HORZ, Info(SIF_RANGE | SIF_POS, 10, 40, 0, 99), false);
    EXPECT_EQ(GetScrollPos(Wnd, SB_HORZ), 40);
    EXPECT_EQ(SetScrollPos(Wnd, SB_HORZ, 3, false), 40);
    EXPECT_EQ(GetScrollPos(Wnd, SB_HORZ), 10);
    // A reversed range is none.
    EXPECT_TRUE(SetScrollRange(Wnd, SB_HORZ, 9, 2, false));
    int lo = -1, hi = -1;
    EXPECT_TRUE(GetScrollRange(Wnd, SB_HORZ, lo, hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 0);
    EXPECT_EQ(GetScrollPos(Wnd, SB_HORZ), 0);
    // Only the two window bars exist, and only for controls.
    EXPECT_EQ(SetScrollInfo(Wnd, SB_CTL, Info(SIF_ALL, 0, 9, 0, 5), false), 0);
    TScrollInfo none;
    EXPECT_FALSE(GetScrollInfo(Wnd, SB_BOTH, none));
    HWND bare = CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_FALSE(SetScrollRange(bare, SB_VERT, 0, 9, false));
    EXPECT_FALSE(ShowScrollBar(bare, SB_VERT, true));
    DestroyWindowHandle(bare);
}

TEST_F(ScrollBarsTest, ShownBarsTakeTheirWidthOffTheClient) {
    TBarBox* child = Create<TBarBox>(Form.get());
    child->SetParent(Box);
    child->SetAlign(alClient);
    Box->Sizes.clear();
    Standard();
    EXPECT_EQ(Box->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(Box->ClientRect(), (TRect{0, 0, 184, 100}));
    EXPECT_EQ(Box->Sizes, (std::vector<TSize>{{184, 100}}));
    EXPECT_EQ(child->BoundsRect(), (TRect{0, 0, 184, 100})); // realigned in the new client
    EXPECT_TRUE(GetWindowStyle(Wnd) & WS_VSCROLL);
    // A page alone never shows a bar; one that covers the range hides it.
    SetScrollInfo(Wnd, SB_HORZ, Info(SIF_RANGE, 0, 50, 0, 0), false);
    EXPECT_EQ(Box->ClientRect(), (TRect{0, 0, 184, 84}));
    SetScrollInfo(Wnd, SB_HORZ, Info(SIF_RANGE, 0, 0, 0, 0), false);
    SetScrollInfo(Wnd, SB_HORZ, Info(SIF_PAGE, 0, 0, 5, 0), false);
    EXPECT_EQ(Box->ClientHeight(), 100);
    SetScrollInfo(Wnd, SB_VERT, Info(SIF_PAGE, 0, 0, 100, 0), false);
    EXPECT_EQ(Box->ClientWidth(), 200);
    EXPECT_FALSE(GetWindowStyle(Wnd) & WS_VSCROLL);
    SetScrollInfo(Wnd, SB_VERT, Info(SIF_PAGE, 0, 0, 20, 0), false);
    EXPECT_EQ(Box->ClientWidth(), 200);
    EXPECT_EQ(Box->Sizes, (std::vector<TSize>{{184, 100}, {184, 84}, {184, 100}, {200, 100}}));
    // Nothing to scroll but asked to stay: shown, disabled.
    SetScrollInfo(Wnd, SB_VERT, Info(SIF_ALL | SIF_DISABLENOSCROLL, 0, 9, 10, 0), false);
    EXPECT_EQ(Box->ClientWidth(), 184);
    EXPECT_EQ(Box->FindWindowScrollBars()->Bars[SB_VERT].Disabled, ESB_DISABLE_BOTH);
    EXPECT_EQ(ScrollBarLayout(*Box, SB_VERT).ThumbLength, 0);
    EXPECT_TRUE(ShowScrollBar(Wnd, SB_BOTH, false));
    EXPECT_EQ(Box->ClientRect(), (TRect{0, 0, 200, 100}));
    // Resizing the control reports the client, not the bounds.
    Standard();
    Box->Sizes.clear();
    Box->SetBounds(10, 10, 150, 90);
    EXPECT_EQ(Box->Sizes, (std::vector<TSize>{{134, 90}}));
}

TEST_F(ScrollBarsTest, ClicksOnTheBarsScrollAndNeverReachTheClient) {
    Show();
    Standard();
    SetScrollInfo(Wnd, SB_HORZ, Info(SIF_ALL, 0, 9, 0, 5), false);
    EXPECT_EQ(SendMessage(Wnd, WM_NCHITTEST, 0, PointToLParam(At(190, 5))), LRESULT{HTVSCROLL});
    EXPECT_EQ(SendMessage(Wnd, WM_NCHITTEST, 0, PointToLParam(At(5, 90))), LRESULT{HTHSCROLL});
    EXPECT_EQ(SendMessage(Wnd, WM_NCHITTEST, 0, PointToLParam(At(190, 90))), LRESULT{HTSIZE});
    EXPECT_EQ(SendMessage(Wnd, WM_NCHITTEST, 0, PointToLParam(At(5, 5))), LRESULT{HTCLIENT});
    const int v = WM_VSCROLL, h = WM_HSCROLL;
    ClickAt(At(190, 3));  // up arrow
    ClickAt(At(190, 80)); // down arrow (the bar ends above the horizontal one)
    ClickAt(At(190, 60)); // track below the thumb
    ClickAt(At(3, 90));   // left arrow
    ClickAt(At(100, 90)); // on the plain thumb: nothing moves, the press ends
    EXPECT_EQ(Box->Scrolls, (std::vector<TScrollNote>{{v, SB_LINEUP, 0},
                                                      {v, SB_ENDSCROLL, 0},
                                                      {v, SB_LINEDOWN, 0},
                                                      {v, SB_ENDSCROLL, 0},
                                                      {v, SB_PAGEDOWN, 0},
                                                      {v, SB_ENDSCROLL, 0},
                                                      {h, SB_LINEUP, 0},
                                                      {h, SB_ENDSCROLL, 0},
                                                      {h, SB_THUMBPOSITION, 5},
                                                      {h, SB_ENDSCROLL, 0}}));
    EXPECT_EQ(Box->Presses, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    ClickAt(At(5, 5));
    EXPECT_EQ(Box->Presses, 1);
    // A disabled arrow does nothing.
    Box->Scrolls.clear();
    EXPECT_TRUE(EnableScrollBar(Wnd, SB_VERT, ESB_DISABLE_LTUP));
    EXPECT_FALSE(EnableScrollBar(Wnd, SB_VERT, ESB_DISABLE_LTUP));
    ClickAt(At(190, 3));
    EXPECT_TRUE(Box->Scrolls.empty());
}

LRESULT gLastHit = 0;
UINT gLastMsg = 0;
LRESULT NoteMouse(int, WPARAM w, LPARAM l) {
    gLastMsg = static_cast<UINT>(w);
    gLastHit = reinterpret_cast<const TMouseHookStruct*>(l)->wHitTestCode;
    return 0;
}

TEST_F(ScrollBarsTest, DraggingTheThumbTracksThenSetsThePosition) {
    Show();
    Standard();
    // 68 pixels of track: a thumb of 14 at 16, 54 pixels for 80 positions.
    EXPECT_EQ(ScrollBarLayout(*Box, SB_VERT).Thumb, 16);
    EXPECT_EQ(ScrollBarLayout(*Box, SB_VERT).ThumbLength, 14);
    THookHandle hook = InstallThreadHook(THookKind::Mouse, NoteMouse);
    MouseDownAt(At(192, 20));
    RemoveHook(hook);
    EXPECT_EQ(gLastMsg, WM_NCLBUTTONDOWN);
    EXPECT_EQ(gLastHit, LRESULT{HTVSCROLL});
    EXPECT_EQ(GetCapture(), Wnd);
    MouseMoveTo(At(150, 47)); // 27 pixels down, off the bar
    EXPECT_EQ(Box->TrackPosSeen, 40);
    EXPECT_EQ(GetScrollPos(Wnd, SB_VERT), 0); // the owner moves it, not the bar
    EXPECT_EQ(ScrollBarLayout(*Box, SB_VERT).Thumb, 43); // drawn where it is dragged
    ProcessMessages();
    const TSurface& window = *Form->WindowSurface();
    EXPECT_EQ(PixelToColor(window.Pixel(10 + 192, 10 + 42)), ColorToRGB(clScrollBar));
    EXPECT_EQ(PixelToColor(window.Pixel(10 + 192, 10 + 50)), ColorToRGB(clBtnFace));
    MouseMoveTo(At(140, 47)); // still 40: no new message
    MouseUpAt(At(140, 47));
    const int v = WM_VSCROLL;
    EXPECT_EQ(Box->Scrolls, (std::vector<TScrollNote>{{v, SB_THUMBTRACK, 40},
                                                      {v, SB_THUMBPOSITION, 40},
                                                      {v, SB_ENDSCROLL, 0}}));
    EXPECT_EQ(Box->Presses, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Read(SB_VERT).nTrackPos, 0);
    // A drag whose capture is taken away ends without a position.
    Box->Scrolls.clear();
    MouseDownAt(At(192, 20));
    SetCapture(Form->Handle());
    EXPECT_EQ(Box->Scrolls, (std::vector<TScrollNote>{{v, SB_ENDSCROLL, 0}}));
    MouseUpAt(At(192, 20));
    EXPECT_EQ(Box->FindWindowScrollBars()->Track.Bar, -1);
}

TEST_F(ScrollBarsTest, ABarAskedToRedrawIsDrawnAtOnceWithoutTheClient) {
    Show();
    Standard(0);
    ProcessMessages();
    ASSERT_TRUE(Form->UpdateRect().IsEmpty());
    const TSurface& w = *Form->WindowSurface();
    auto at = [&](int x, int y) { return PixelToColor(w.Pixel(10 + x, 10 + y)); };
    const TColor track = ColorToRGB(clScrollBar);
    EXPECT_NE(at(192, 20), track); // the thumb at the top
    SetScrollPos(Wnd, SB_VERT, 40, true);
    EXPECT_TRUE(Form->UpdateRect().IsEmpty()); // no paint waits: the client stays as it is
    EXPECT_EQ(at(192, 20), track);
    EXPECT_NE(at(192, 50), track); // the thumb moved down
    // A paint pending there: the bar waits for it.
    Form->Invalidate();
    SetScrollPos(Wnd, SB_VERT, 0, true);
    EXPECT_EQ(at(192, 50), ColorToRGB(clBtnFace));
    ProcessMessages();
    EXPECT_EQ(at(192, 50), track);
}

TEST_F(ScrollBarsTest, RenderedBarsShowTheThumbAndClipTheClient) {
    Standard(40);
    TSurface s;
    PaintControlTo(Box, s);
    auto at = [&](int x, int y) { return PixelToColor(s.Pixel(x, y)); };
    const TColor track = ColorToRGB(clScrollBar);
    EXPECT_EQ(at(183, 50), clRed); // the client's last column
    EXPECT_EQ(at(192, 42), track);
    EXPECT_NE(at(192, 43), track);                   // thumb from 16 + 54 * 40 / 80
    EXPECT_EQ(at(192, 50), ColorToRGB(clBtnFace));   // its face
    EXPECT_EQ(at(192, 56), ColorToRGB(cl3DDkShadow)); // its bottom edge, 14 pixels down
    EXPECT_EQ(at(192, 57), track);
    EXPECT_EQ(at(192, 7), ColorToRGB(clBtnText)); // the up arrow's glyph
    // Disabled: no thumb, grey arrows.
    EnableScrollBar(Wnd, SB_VERT, ESB_DISABLE_BOTH);
    PaintControlTo(Box, s);
    for (int y = 16; y < 84; ++y)
        ASSERT_EQ(at(192, y), track) << y;
    EXPECT_EQ(at(192, 7), ColorToRGB(clGrayText));
    // Printing the client leaves the bars out.
    TSurface printed;
    printed.SetSize(200, 100, ColorToPixel(clWhite));
    TCanvas c;
    c.Attach(&printed, TPoint{}, TRect{0, 0, 200, 100});
    Box->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(&c), PRF_CLIENT);
    EXPECT_EQ(PixelToColor(printed.Pixel(100, 50)), clRed);
    EXPECT_EQ(PixelToColor(printed.Pixel(192, 50)), clWhite);
}

TEST_F(ScrollBarsTest, AControlWithoutBarsKeepsItsWholeArea) {
    Show();
    EXPECT_EQ(Box->ClientRect(), (TRect{0, 0, 200, 100}));
    EXPECT_EQ(SendMessage(Wnd, WM_NCHITTEST, 0, PointToLParam(At(199, 99))), LRESULT{HTCLIENT});
    ClickAt(At(199, 99));
    EXPECT_EQ(Box->Presses, 1);
    TSurface s;
    PaintControlTo(Box, s);
    EXPECT_EQ(PixelToColor(s.Pixel(199, 99)), clRed);
    EXPECT_EQ(GetScrollPos(Wnd, SB_VERT), 0);
    EXPECT_EQ(Box->FindWindowScrollBars(), nullptr); // reading made nothing
}

} // namespace
} // namespace fw
