#include "Canvas.h"
#include "Controls.h"
#include "FormTestEnv.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
namespace {

// Fills its client area with one colour.
template <class TBase> class TFilled : public TBase {
public:
    TFilled(TComponent* owner, TColor fill) : TBase(owner), Fill(fill) {}
    ~TFilled() override { ++Deleted; }
    TColor Fill;
    int Paints = 0;
    static inline int Deleted = 0; // memory released

protected:
    void Paint() override {
        ++Paints;
        this->Canvas()->Brush().SetColor(Fill);
        this->Canvas()->FillRect(this->ClientRect());
    }
};
using TSwatch = TFilled<TCustomControl>; // windowed
using TDot = TFilled<TGraphicControl>;   // painted by its parent

// Logs the notifications it receives.
class TListener : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    std::vector<UINT> Got;
    void WndProc(TMessage& m) override {
        if (m.Msg >= CM_BASE) Got.push_back(m.Msg);
        TGraphicControl::WndProc(m);
    }
};

using ControlsTest = FormTest;

TEST_F(ControlsTest, ParentsAndCoordinates) {
    TSwatch* panel = Place<TSwatch>(10, 20, 100, 50, clRed);
    TDot* dot = Create<TDot>(Form.get(), clBlue);
    dot->SetParent(panel);
    dot->SetBounds(5, 6, 10, 10);
    EXPECT_EQ(Form->ControlCount(), 1);
    EXPECT_EQ(panel->Controls(0), dot);
    EXPECT_EQ(dot->ClientToScreen(TPoint{1, 1}), (TPoint{100 + 10 + 5 + 1, 100 + 20 + 6 + 1}));
    EXPECT_EQ(dot->ScreenToClient(TPoint{115, 126}), (TPoint{0, 0}));
    EXPECT_TRUE(Form->ContainsControl(dot));
    EXPECT_THROW(panel->SetParent(static_cast<TWinControl*>(panel)), EComponentError);
    EXPECT_EQ(GetParentForm(dot), Form.get());
    dot->SetParent(Form.get());
    EXPECT_EQ(panel->ControlCount(), 0);
    EXPECT_EQ(Form->ControlCount(), 2);
}

TEST_F(ControlsTest, AParentFreesOwnedChildrenAndLetsGoOfOthers) {
    auto loose = std::make_unique<TDot>(nullptr, clRed);
    TSwatch* panel = Create<TSwatch>(Form.get(), clRed);
    panel->SetParent(Form.get());
    loose->SetParent(panel);
    Free(panel);
    EXPECT_EQ(loose->Parent(), nullptr);
    EXPECT_EQ(Form->ControlCount(), 0);
    EXPECT_EQ(Form->ComponentCount(), 0);
}

TEST_F(ControlsTest, AControlFreedFromItsOwnHandlerGoesAfterTheMessage) {
    TSwatch* panel = Place<TSwatch>(10, 10, 100, 50, clRed);
    TSwatch* inner = Place<TSwatch>(0, 0, 20, 20, clBlue);
    inner->SetParent(panel);
    Show();
    int after = 0;
    const int deleted = TSwatch::Deleted;
    // The inner control's press frees its parent: both are gone at once, their
    // memory stays whole until the press is done.
    inner->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
        Free(panel);
        EXPECT_EQ(Form->ComponentCount(), 0);
        EXPECT_EQ(Form->ControlCount(), 0);
        EXPECT_EQ(inner->Parent(), nullptr);
        EXPECT_EQ(TSwatch::Deleted, deleted);
        ++after;
    };
    inner->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++after; };
    MouseDownAt(ControlPoint(inner, 5, 5));
    EXPECT_EQ(after, 1);
    EXPECT_EQ(TSwatch::Deleted, deleted + 2);
    MouseUpAt(ControlPoint(Form.get(), 5, 5));
    EXPECT_EQ(after, 1);
    // A guard holds a component's memory outside any message the same way.
    TSwatch* held = Place<TSwatch>(0, 0, 10, 10, clRed);
    {
        TFreeGuard hold(held);
        Free(held);
        EXPECT_EQ(Form->ComponentCount(), 0);
        EXPECT_EQ(TSwatch::Deleted, deleted + 2);
    }
    EXPECT_EQ(TSwatch::Deleted, deleted + 3);
    // Still held when a message ends: its memory waits on for the guard.
    TSwatch* longer = Place<TSwatch>(0, 0, 10, 10, clRed);
    TSwatch* messaged = Place<TSwatch>(20, 0, 10, 10, clRed);
    {
        TFreeGuard hold(longer);
        Free(longer);
        messaged->Perform(WM_USER, 0, 0);
        SendMessage(messaged->Handle(), WM_USER, 0, 0);
        EXPECT_EQ(Form->ComponentCount(), 1);
        EXPECT_EQ(TSwatch::Deleted, deleted + 3);
    }
    EXPECT_EQ(TSwatch::Deleted, deleted + 4);
    Free(messaged);
    // A control not busy goes at once, also from inside another's message.
    TSwatch* other = Place<TSwatch>(50, 0, 10, 10, clRed);
    TSwatch* clicked = Place<TSwatch>(0, 0, 10, 10, clRed);
    Show();
    clicked->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) {
        Free(other);
        EXPECT_EQ(TSwatch::Deleted, deleted + 6);
    };
    ClickAt(ControlPoint(clicked, 5, 5));
}

// A handler that clears or replaces itself while it runs: the closure it runs
// in (its captures on the heap) lives until it returns.
TEST_F(ControlsTest, HandlersThatClearThemselvesWhileRunning) {
    TSwatch* panel = Place<TSwatch>(10, 10, 100, 50, clRed);
    Show();
    std::vector<int> seen;
    const std::vector<int> big(64, 7);
    panel->SetWindowProc([panel, big, &seen](TMessage& m) {
        if (m.Msg == WM_USER + 1) panel->SetWindowProc({});
        seen.push_back(big[63]);
        panel->WndProc(m);
    });
    const HWND window = panel->Handle();
    seen.clear();
    SendMessage(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(seen, (std::vector<int>{7}));
    EXPECT_FALSE(panel->WindowProc());
    // Events fire through a copy the same way.
    seen.clear();
    panel->OnClick = [panel, big, &seen](TObject*) {
        panel->OnClick = nullptr;
        seen.push_back(big[63]);
    };
    panel->OnMouseDown = [panel, big, &seen](TObject*, TMouseButton, TShiftState, int, int) {
        panel->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) {};
        seen.push_back(big[0]);
    };
    ClickAt(ControlPoint(panel, 5, 5));
    EXPECT_EQ(seen, (std::vector<int>{7, 7}));
    seen.clear();
    ClickAt(ControlPoint(panel, 5, 5));
    EXPECT_TRUE(seen.empty());
}

TEST_F(ControlsTest, AlignmentFillsBandsThenTheClient) {
    auto make = [&](TAlign a, int size) {
        TDot* d = Create<TDot>(Form.get(), clRed);
        d->SetBounds(0, 0, size, size);
        d->SetParent(Form.get());
        d->SetAlign(a);
        return d;
    };
    TDot* top = make(alTop, 30);
    TDot* bottom = make(alBottom, 20);
    TDot* left = make(alLeft, 40);
    TDot* client = make(alClient, 5);
    EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 300, 30));
    EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 180, 300, 20));
    EXPECT_EQ(left->BoundsRect(), Bounds(0, 30, 40, 150));
    EXPECT_EQ(client->BoundsRect(), Bounds(40, 30, 260, 150));
    Form->SetBounds(100, 100, 400, 300); // resizing realigns
    EXPECT_EQ(client->BoundsRect(), Bounds(40, 30, 360, 250));
    top->SetVisible(false);
    EXPECT_EQ(left->BoundsRect(), Bounds(0, 0, 40, 280));
}

TEST_F(ControlsTest, PropertyChangesSendTheirNotifications) {
    TListener* l = Create<TListener>(Form.get());
    l->SetParent(Form.get());
    l->Got.clear();
    l->SetEnabled(false);
    l->SetVisible(false);
    l->SetText("x");
    l->SetCursor(crHandPoint);
    EXPECT_EQ(l->Got, (std::vector<UINT>{CM_ENABLEDCHANGED, CM_VISIBLECHANGED, CM_TEXTCHANGED,
                                         CM_CURSORCHANGED}));
    l->Got.clear();
    l->SetText("x"); // unchanged: nothing
    EXPECT_TRUE(l->Got.empty());
}

TEST_F(ControlsTest, ColourFontAndHintFlowToChildrenThatFollowTheirParent) {
    TListener* follower = Create<TListener>(Form.get());
    TListener* own = Create<TListener>(Form.get());
    follower->SetParent(Form.get());
    own->SetParent(Form.get());
    own->SetColor(clLime);
    own->Got.clear();
    follower->Got.clear();
    Form->SetColor(clAqua);
    EXPECT_EQ(follower->Color(), clAqua);
    EXPECT_EQ(own->Color(), clLime);
    EXPECT_EQ(follower->Got, (std::vector<UINT>{CM_PARENTCOLORCHANGED, CM_COLORCHANGED}));
    EXPECT_EQ(own->Got, std::vector<UINT>{CM_PARENTCOLORCHANGED});
    Form->Font().SetSize(14);
    EXPECT_EQ(follower->Font().Size(), 14);
    EXPECT_TRUE(follower->ParentFont());
    follower->Font().SetColor(clRed); // an own font stops following
    EXPECT_FALSE(follower->ParentFont());
    Form->Font().SetSize(20);
    EXPECT_EQ(follower->Font().Size(), 14);
    Form->SetShowHint(true);
    EXPECT_TRUE(follower->ShowHint());
}

class TOwnedForm : public TForm {
public:
    TOwnedForm(TComponent* owner, HWND host) : TForm(owner), Host(host) {}
    HWND Host;
    int ParamsCalls = 0;
    void CreateParams(TCreateParams& p) override {
        ++ParamsCalls;
        TForm::CreateParams(p);
        p.WndParent = Host;
    }
};

TEST_F(ControlsTest, FormsCreateTheirWindowOnFirstUseWithTheirOwner) {
    HWND host = CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    TOwnedForm f(nullptr, host);
    EXPECT_FALSE(f.HandleAllocated());
    EXPECT_FALSE(f.Visible());
    int shows = 0, hides = 0;
    f.OnShow = [&](TObject*) { ++shows; };
    f.OnHide = [&](TObject*) { ++hides; };
    f.Show();
    EXPECT_TRUE(f.HandleAllocated());
    EXPECT_EQ(f.ParamsCalls, 1);
    EXPECT_EQ(GetWindowOwner(f.Handle()), host);
    EXPECT_TRUE(f.Visible());
    EXPECT_TRUE(f.Showing());
    EXPECT_EQ(FindControl(f.Handle()), &f);
    EXPECT_TRUE(GetWindowStyle(f.Handle()) & WS_VISIBLE);
    f.Hide();
    EXPECT_FALSE(f.Showing());
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(hides, 1);
    DestroyWindowHandle(host);
}

TEST_F(ControlsTest, ApplicationOwnsFormsAndFreesThemLastFirst) {
    std::vector<std::string> freed;
    TApplication app(nullptr);
    TForm* a = app.CreateForm<TForm>();
    TForm* b = app.CreateForm<TForm>();
    a->OnDestroy = [&](TObject*) { freed.push_back("a"); };
    b->OnDestroy = [&](TObject*) { freed.push_back("b"); };
    EXPECT_EQ(app.MainForm(), a);
    EXPECT_EQ(app.FormCount(), 2);
    EXPECT_EQ(app.Forms(1), b);
    // One freed while a call holds it, with no loop step after: its OnDestroy
    // fires at once, and what it throws reaches the caller once the form is
    // gone; its memory goes with the unload, once.
    TForm* held = app.CreateForm<TForm>();
    held->OnDestroy = [&](TObject*) {
        freed.push_back("held");
        throw std::runtime_error("destroy");
    };
    Create<TSwatch>(held, clRed);
    const int deleted = TSwatch::Deleted;
    {
        const TCallHold hold(held);
        EXPECT_THROW(Free(held), std::runtime_error);
    }
    EXPECT_EQ(freed, (std::vector<std::string>{"held"}));
    EXPECT_EQ(app.FormCount(), 2);
    EXPECT_EQ(TSwatch::Deleted, deleted);
    app.DestroyForms();
    EXPECT_EQ(freed, (std::vector<std::string>{"held", "b", "a"}));
    EXPECT_EQ(TSwatch::Deleted, deleted + 1);
    EXPECT_EQ(app.FormCount(), 0);
    EXPECT_EQ(app.MainForm(), nullptr);
    EXPECT_NE(Application(), nullptr);
    EXPECT_EQ(Application(), Application());
}

TEST_F(ControlsTest, ReleaseFreesTheFormAtTheNextPump) {
    TApplication app(nullptr);
    TForm* f = app.CreateForm<TForm>();
    f->Show();
    f->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
    f->Close();
    EXPECT_EQ(app.FormCount(), 1);
    ProcessMessages();
    EXPECT_EQ(app.FormCount(), 0);
}

std::uint32_t Px(TColor c) {
    return ColorToPixel32(c);
}

TEST_F(ControlsTest, PaintingLayersBackgroundGraphicChildrenThenWindows) {
    Form->SetColor(clWhite);
    Place<TSwatch>(10, 10, 20, 20, clRed);
    // Under the window: windows paint over graphic controls.
    TDot* dot = Place<TDot>(20, 20, 20, 20, clBlue);
    TSurface s;
    PaintControlTo(Form.get(), s);
    ASSERT_EQ(s.Width, 300);
    EXPECT_EQ(s.Pixel(0, 0), Px(clWhite));
    EXPECT_EQ(s.Pixel(15, 15), Px(clRed));
    EXPECT_EQ(s.Pixel(25, 25), Px(clRed));
    EXPECT_EQ(s.Pixel(35, 35), Px(clBlue));
    EXPECT_EQ(s.Pixel(40, 40), Px(clWhite));
    dot->SetVisible(false);
    PaintControlTo(Form.get(), s);
    EXPECT_EQ(s.Pixel(35, 35), Px(clWhite));
}

TEST_F(ControlsTest, InvalidAreasArePaintedIntoTheWindowWhenPumped) {
    Form->SetColor(clWhite);
    TSwatch* win = Place<TSwatch>(10, 10, 20, 20, clRed);
    Form->Show();
    ProcessMessages();
    ASSERT_NE(Form->WindowSurface(), nullptr);
    EXPECT_EQ(Form->WindowSurface()->Pixel(12, 12), Px(clRed));
    EXPECT_EQ(win->Paints, 1);
    ProcessMessages(); // nothing invalid: no paint
    EXPECT_EQ(win->Paints, 1);
    win->Fill = clGreen;
    win->Invalidate();
    EXPECT_TRUE(Form->UpdateRect() == Bounds(10, 10, 20, 20));
    win->Update();
    EXPECT_EQ(Form->WindowSurface()->Pixel(12, 12), Px(clGreen));
    EXPECT_TRUE(Form->UpdateRect().IsEmpty());
}

// Each row in a colour of its own, from a scroll offset.
class TStripes : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Offset = 0;
    TRect LastClip;
    static TColor RowColor(int Y) {
        return RGB(static_cast<std::uint8_t>(Y * 7), static_cast<std::uint8_t>(Y * 13), 90);
    }

protected:
    void Paint() override {
        LastClip = Canvas()->ClipRect();
        for (int Y = 0; Y < ClientHeight(); ++Y) {
            Canvas()->Brush().SetColor(RowColor(Y + Offset));
            Canvas()->FillRect(TRect{0, Y, ClientWidth(), Y + 1});
        }
    }
};

TEST_F(ControlsTest, ScrollingAWindowAreaMovesItsPixelsAndRepaintsOnlyWhatItUncovered) {
    TStripes* S = Place<TStripes>(10, 10, 40, 30);
    TSwatch* Child = Create<TSwatch>(Form.get(), clRed);
    Child->SetParent(S);
    Child->SetBounds(5, 5, 6, 6);
    Form->Show();
    ProcessMessages();
    auto Matches = [&] {
        TSurface Fresh;
        PaintControlTo(S, Fresh);
        const TSurface& W = *Form->WindowSurface();
        const TPoint O = S->ClientOrigin();
        for (int Y = 0; Y < 30; ++Y)
            for (int X = 0; X < 40; ++X)
                if (W.Pixel(O.X - Form->Left() + X, O.Y - Form->Top() + Y) != Fresh.Pixel(X, Y))
                    return false;
        return true;
    };
    ASSERT_TRUE(Matches());
    // Up by 4 rows: only the bottom 4 rows and the child's two spots wait for a paint.
    S->Offset += 4;
    ScrollWindowArea(S, S->ClientRect(), 0, -4);
    EXPECT_EQ(Form->UpdateRect(), Bounds(10, 10 + 1, 40, 29)); // child spots 1..11, rows 26..30
    ProcessMessages();
    EXPECT_TRUE(Matches());
    // Sideways within a part: the rest stays, the strip at the left repaints.
    ScrollWindowArea(S, TRect{20, 0, 40, 30}, 3, 0);
    EXPECT_EQ(Form->UpdateRect(), Bounds(30, 10, 3, 30));
    ProcessMessages();
    EXPECT_EQ(S->LastClip, (TRect{20, 0, 23, 30}));
    // A paint pending over the area, or a move as large as it, repaints it whole.
    S->Offset += 2;
    S->InvalidateRect(TRect{0, 0, 2, 2});
    ScrollWindowArea(S, S->ClientRect(), 0, -2);
    EXPECT_EQ(Form->UpdateRect(), Bounds(10, 10, 40, 30));
    ProcessMessages();
    EXPECT_TRUE(Matches());
    S->Offset += 30;
    ScrollWindowArea(S, S->ClientRect(), 0, -30);
    EXPECT_EQ(Form->UpdateRect(), Bounds(10, 10, 40, 30));
    ProcessMessages();
    EXPECT_TRUE(Matches());
}

TEST_F(ControlsTest, RendersAControlToAPng) {
    TSwatch* win = Place<TSwatch>(0, 0, 8, 6, clRed);
    const std::filesystem::path path = TestPath("render.png");
    ASSERT_TRUE(RenderControlToPng(win, path.string()));
    EXPECT_GT(std::filesystem::file_size(path), 8u);
    std::filesystem::remove(path);
    win->SetBounds(0, 0, 0, 6);
    EXPECT_FALSE(RenderControlToPng(win, path.string()));
}

TEST_F(ControlsTest, PrintClientDrawsIntoTheCallersCanvasThroughTheFilter) {
    TSwatch* win = Place<TSwatch>(0, 0, 4, 4, clRed);
    TSurface s;
    s.SetSize(10, 10, Px(clWhite));
    TCanvas canvas;
    canvas.Attach(&s, TPoint{3, 3}, TRect{0, 0, 10, 10});
    int depthInside = -1;
    TMessageFilter old = SetControlMessageFilter(
        WM_PRINTCLIENT, [&](TWinControl*, TMessage& m, const std::function<void()>& inherited) {
            auto* c = reinterpret_cast<TCanvas*>(m.WParam);
            const int level = c->SaveState();
            depthInside = level;
            inherited();
            c->RestoreState(level);
        });
    SendMessage(win->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(&canvas), PRF_CLIENT);
    SetControlMessageFilter(WM_PRINTCLIENT, old);
    EXPECT_GE(depthInside, 1);
    EXPECT_EQ(s.Pixel(2, 2), Px(clWhite));
    EXPECT_EQ(s.Pixel(3, 3), Px(clRed));
    EXPECT_EQ(s.Pixel(6, 6), Px(clRed));
    EXPECT_EQ(s.Pixel(7, 7), Px(clWhite));
}

TEST_F(ControlsTest, FormLoadsItsComponentsAndTimersStayOwned) {
    class TLoadingForm : public TForm {
    public:
        using TForm::TForm;
        std::vector<std::string> Log;
        void Build() {
            LoadComponents([this] {
                TDot* d = Create<TDot>(this, clRed);
                d->SetName("Dot1");
                Log.push_back(d->InState(TComponentStateItem::Loading) ? "loading" : "not");
            });
        }
        void Loaded() override {
            Log.push_back("form loaded");
            TForm::Loaded();
        }
    };
    TLoadingForm f(nullptr);
    f.Build();
    EXPECT_EQ(f.Log, (std::vector<std::string>{"loading", "form loaded"}));
    EXPECT_NE(f.FindComponent("Dot1"), nullptr);
    EXPECT_FALSE(f.InState(TComponentStateItem::Loading));
}

TEST_F(ControlsTest, AContextMenuRequestFiresTheEventAndGoesUpUntilHandled) {
    TSwatch* Panel = Place<TSwatch>(10, 20, 100, 50, clRed);
    TSwatch* Inner = Create<TSwatch>(Form.get(), clBlue);
    Inner->SetParent(Panel);
    Inner->SetBounds(5, 6, 40, 30);
    Show();
    std::vector<std::string> Log;
    Inner->OnContextPopup = [&](TObject*, TPoint P, bool&) {
        Log.push_back("inner " + std::to_string(P.X) + "," + std::to_string(P.Y));
    };
    bool PanelTakes = true;
    Panel->OnContextPopup = [&](TObject*, TPoint P, bool& Handled) {
        Log.push_back("panel " + std::to_string(P.X) + "," + std::to_string(P.Y));
        Handled = PanelTakes;
    };
    const TPoint S = Inner->ClientToScreen(TPoint{3, 4});
    EXPECT_EQ(Inner->Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Inner->Handle()),
                             PointToLParam(S)),
              1);
    EXPECT_EQ(Log, (std::vector<std::string>{"inner 3,4", "panel 8,10"}));
    Log.clear();
    PanelTakes = false;
    // From the keyboard: no point; nobody handles it.
    EXPECT_EQ(Inner->Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Inner->Handle()), -1), 0);
    EXPECT_EQ(Log, (std::vector<std::string>{"inner -1,-1", "panel -1,-1"}));
    // A handler that clears itself runs to its end.
    Log.clear();
    Inner->OnContextPopup = [&](TObject* Sender, TPoint, bool& Handled) {
        static_cast<TControl*>(Sender)->OnContextPopup = nullptr;
        Log.push_back("once");
        Handled = true;
    };
    Inner->Perform(WM_CONTEXTMENU, 0, -1);
    Inner->Perform(WM_CONTEXTMENU, 0, -1);
    EXPECT_EQ(Log, (std::vector<std::string>{"once", "panel -1,-1"}));
}

} // namespace
} // namespace fw
