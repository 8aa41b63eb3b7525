// A handler may free any component at any call the framework makes. The probe
// frees the control called, its parent or a sibling at the 1st, 2nd, ... call
// of each entry below until the entry makes no more calls; the sanitizers
// watch every run. Right after each free, what lay in the freed one is gone
// for the program: heard of (a form's OnDestroy too), found by no name,
// counted in no list, shown nowhere, holding no focus or capture; none of its
// handlers, messages or paints comes after; and at the end exactly that is gone.
#include "ComCtrls.h"
#include "DragCtrls.h"
#include "ExtCtrls.h"
#include "FormTestEnv.h"
#include "Hints.h"
#include "ImageList.h"
#include "Menus.h"
#include "ScrollBars.h"
#include "StdActns.h"
#include "StdCtrls.h"
#include "Timers.h"
#include "WideEdit.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace fw {
namespace {

// Hears each component of the scene go, and counts what reaches one after.
class TWatch : public TComponent {
public:
    TWatch() : TComponent(nullptr) {}
    std::set<const TObject*> Gone;
    std::set<const TObject*> Destroyed; // forms whose OnDestroy fired
    int Late = 0;                       // handlers, messages and paints after it went

protected:
    void Notification(TComponent* C, TOperation Op) override {
        if (Op == TOperation::Remove) Gone.insert(C);
    }
};
TWatch* gWatch = nullptr;
bool Live(const TComponent* C) {
    return !gWatch->Gone.contains(C);
}
// A handler, message or paint of Sender: none may come once it went.
void Reached(const TObject* Sender) {
    if (gWatch->Gone.contains(Sender)) ++gWatch->Late;
}

// Controls that run the probe where their handlers would.
template <class TBase> class TProbed : public TBase {
public:
    using TBase::TBase;
    void WndProc(TMessage& M) override { Reached(this), RunHandlerProbe(), TBase::WndProc(M); }

protected:
    void Paint() override { Reached(this), RunHandlerProbe(), TBase::Paint(); }
    void Notification(TComponent* C, TOperation Op) override {
        Reached(this), RunHandlerProbe(), TBase::Notification(C, Op);
    }
};
using TProbeCtl = TProbed<TCustomControl>;
using TProbeDot = TProbed<TGraphicControl>;

TPoint At(const TControl* C, int X = 5, int Y = 5) {
    return ControlPoint(C, X, Y);
}

// Each handler the scene's components fire tells the watch.
template <class T> void Watch(T* C) {
    const auto Any = [](TObject* Sender, auto&&...) { Reached(Sender); };
    if constexpr (std::is_base_of_v<TControl, T>) {
        C->OnClick = C->OnResize = Any;
        C->OnMouseDown = C->OnMouseUp = Any;
        C->OnMouseMove = Any;
    }
    if constexpr (std::is_base_of_v<TWinControl, T>) C->OnEnter = C->OnExit = Any, C->OnKeyDown = Any;
    if constexpr (std::is_base_of_v<TCustomForm, T>) {
        C->OnShow = C->OnHide = Any;
        C->OnDestroy = [](TObject* Sender) { Reached(Sender), gWatch->Destroyed.insert(Sender); };
    }
    if constexpr (std::is_same_v<T, TPaintBox>) C->OnPaint = Any;
    if constexpr (std::is_same_v<T, TTimer>) C->OnTimer = Any;
    if constexpr (std::is_same_v<T, TMenuItem>) C->OnClick = Any;
    if constexpr (std::is_same_v<T, TImageList> || std::is_same_v<T, TPageControl>) C->OnChange = Any;
    if constexpr (std::is_same_v<T, TPopupMenu>)
        C->OnPopup = [](TPopupMenu* Sender, int, int) { Reached(Sender); };
}

// Form R holds panel P with windowed A, B, paint box X (painted before the
// dots), graphic D, E, edits W and V, page control C with pages 1 and 2;
// form F holds panel Q. Menu M with item I, image list L, timer T and N
// belong to R. Each is named after its letter.
struct TScene {
    std::map<char, TComponent*> Named;
    TForm *R, *F;
    TProbeCtl *P, *A, *B, *Q;
    TProbeDot *D, *E, *N;
    TEdit* W;
    TWideEdit* V;
    TPageControl* C;
    TTabSheet *S1, *S2;
    TPopupMenu* M;
    TMenuItem* I;
    TImageList* L;
    TTimer* T;
    TChangeLink L1, L2;
    TPoint Tab; // the second page's tab

    template <class T> T* Keep(char Name, T* C) {
        C->SetName(NameOf(Name));
        gWatch->FreeNotification(Named[Name] = C);
        Watch(C);
        return C;
    }
    template <class T>
    T* Add(char Name, TComponent* Owner, TWinControl* Parent = nullptr, TRect Box = {}) {
        T* C = Create<T>(Owner);
        if constexpr (std::is_base_of_v<TControl, T>)
            if (Parent) C->SetParent(Parent), C->SetBoundsRect(Box);
        return Keep(Name, C);
    }
    static std::string NameOf(char Name) { return std::string("c") + Name; }
    TScene() {
        R = Add<TForm>('R', Application()), F = Add<TForm>('F', Application());
        R->SetBounds(50, 50, 400, 300), F->SetBounds(500, 50, 200, 200);
        Q = Add<TProbeCtl>('Q', F, F, Bounds(10, 10, 100, 100));
        P = Add<TProbeCtl>('P', R, R, Bounds(10, 10, 380, 250));
        A = Add<TProbeCtl>('A', R, P, Bounds(10, 10, 60, 40));
        B = Add<TProbeCtl>('B', R, P, Bounds(80, 10, 60, 40));
        Add<TPaintBox>('X', R, P, Bounds(90, 60, 30, 30));
        D = Add<TProbeDot>('D', R, P, Bounds(10, 60, 30, 30));
        E = Add<TProbeDot>('E', R, P, Bounds(50, 60, 30, 30));
        W = Add<TEdit>('W', R, P, Bounds(10, 100, 100, 20));
        V = Add<TWideEdit>('V', R, P, Bounds(10, 130, 100, 20));
        C = Add<TPageControl>('C', R, P, Bounds(150, 60, 140, 100));
        S1 = Add<TTabSheet>('1', R), S2 = Add<TTabSheet>('2', R);
        S1->SetPageControl(C), S2->SetPageControl(C);
        Tab = At(C, C->TabRect(1).Left + 2, 4);
        M = Add<TPopupMenu>('M', R), L = Add<TImageList>('L', R), T = Add<TTimer>('T', R);
        I = Keep('I', M->Items().Add("Item"));
        N = Add<TProbeDot>('N', R);
        L->RegisterChanges(&L1), L->RegisterChanges(&L2);
        TScrollInfo Range;
        Range.fMask = SIF_RANGE | SIF_PAGE, Range.nMax = 100, Range.nPage = 10;
        SetScrollInfo(P->Handle(), SB_VERT, Range, true);
        // Idle handlers of a form and of a control: none runs once its owner went.
        for (TComponent* Owner : {static_cast<TComponent*>(R), static_cast<TComponent*>(A)})
            AddIdleHandler(Owner, [Owner] { Reached(Owner), RunHandlerProbe(); });
        R->Show();
        ProcessMessages();
    }
};

struct TRow {
    const char* Name;
    const char* Victims;
    std::function<void(TScene&)> Run;
    const char* Ends = ""; // what the entry frees itself
};
void PrintTo(const TRow& Row, std::ostream* Out) {
    *Out << Row.Name;
}

const TRow Rows[] = {
    {"Paint", "APBD",
     [](TScene& s) {
         s.R->Invalidate(), ProcessMessages();
         TSurface Out;
         if (Live(s.P)) PaintControlTo(s.P, Out);
     }},
    {"Mouse", "DPEAB",
     [](TScene& s) {
         const TPoint Dot = At(s.D), Win = At(s.A);
         DoubleClickAt(Dot), DoubleClickAt(Win), ClickAt(Win, mbRight), MouseWheelAt(Win, 120);
         MouseDownAt(Dot), ReleaseCapture(), MouseDownAt(Dot);
         if (Live(s.E)) SetCaptureControl(s.E);
         MouseUpAt(Dot), ReleaseCapture();
     }},
    {"Drag", "DPBE",
     [](TScene& s) {
         const TPoint From = At(s.D), Over = At(s.B), Drop = At(s.E);
         s.D->SetDragMode(dmAutomatic);
         s.B->OnDragOver =
             s.E->OnDragOver = [](TObject*, TObject*, int, int, int, bool& Ok) { Ok = true; };
         MouseDownAt(From), MouseMoveTo(Over), MouseMoveTo(Drop), MouseUpAt(Drop);
         MouseDownAt(From), MouseMoveTo(Over), PressKey(VK_ESCAPE), MouseUpAt(Over);
     }},
    {"Forms", "FQR",
     [](TScene& s) {
         s.F->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
         s.F->Show(), ProcessMessages();
         for (auto Step : {&TForm::Hide, &TForm::Show, &TForm::Close})
             if (Live(s.F)) (s.F->*Step)();
         ProcessMessages();
     },
     "F"},
    {"Notifications", "N2R",
     [](TScene& s) {
         s.D->FreeNotification(s.N), s.D->FreeNotification(s.S2);
         Free(s.D);
     },
     "D"},
    {"Broadcasts", "APBD",
     [](TScene& s) {
         s.R->Font().SetSize(12), s.R->SetColor(clRed), s.R->SetShowHint(true);
         if (Live(s.P)) s.P->SetCtl3D(false);
         s.R->Hide(), s.R->Show();
         if (Live(s.P)) s.P->SetEnabled(false);
     }},
    {"Focus", "APB",
     [](TScene& s) {
         s.A->SetTabStop(true), s.B->SetTabStop(true), s.A->SetFocus();
         PressKey(VK_TAB), PressKey(VK_TAB, ssShift), PressKey('X'), KeyChar('q', ssAlt);
         if (Live(s.A)) s.A->SetFocus();
         if (Live(s.P)) s.P->RecreateWnd();
         if (Live(s.A)) s.A->RecreateWnd();
     }},
    {"Edits", "WPVA",
     [](TScene& s) {
         TEditAction Cut(nullptr, eaCut);
         s.W->SetFocus();
         if (Live(s.W)) s.W->SetSelText("ab");
         TypeText("cd"), PressKey(VK_BACK), Cut.Execute();
         if (Live(s.V)) s.V->SetFocus();
         TypeTextW(u"ef"), Cut.Execute();
     }},
    {"Components", "MLTRP",
     [](TScene& s) {
         s.M->Popup(5, 5);
         if (Live(s.L)) s.L->SetSize(20, 20);
         if (Live(s.T)) s.T->SetInterval(10);
         AdvanceClock(35);
     }},
    {"Layout", "APBD",
     [](TScene& s) {
         s.B->SetAnchors(akLeft | akTop | akRight | akBottom);
         s.A->SetAlign(alTop);
         s.R->SetBounds(50, 50, 420, 330);
         if (Live(s.P)) s.P->ScaleBy(3, 2);
         if (Live(s.A)) s.A->SetParent(s.R);
         if (Live(s.D) && Live(s.A)) s.D->SetParent(s.A);
         if (Live(s.B)) s.B->SetParent(nullptr);
     }},
    {"Hints", "APB",
     [](TScene& s) {
         const TPoint PA = At(s.A), PB = At(s.B);
         for (TControl* C : {s.A, s.B})
             if (Live(C)) C->SetHint("tip"), C->SetShowHint(true);
         MouseMoveTo(PA), AdvanceClock(600), MouseMoveTo(PB), AdvanceClock(100), AdvanceClock(6000);
     }},
    {"Pages", "1C2",
     [](TScene& s) {
         ClickAt(s.Tab);
         if (Live(s.C)) s.C->SetActivePageIndex(0);
     }},
    {"ScrollBars", "PAR",
     [](TScene& s) {
         const TPoint Arrow = At(s.P, s.P->ClientWidth() + 5, s.P->ClientHeight() - 5),
                      Off = At(s.A);
         MouseDownAt(Arrow), MouseMoveTo(Off), MouseUpAt(Off);
     }},
    // A guard on a control keeps what it lies in whole, gone as it is.
    {"Guard", "A",
     [](TScene& s) {
         const TFreeGuard Hold(s.A);
         Free(s.P);
         EXPECT_FALSE(Live(s.A));
         EXPECT_TRUE(s.A->InState(TComponentStateItem::Destroying));
     },
     "P"},
    // Guards end in any order: the first one's end leaves the later one's hold.
    {"Guards", "AB",
     [](TScene& s) {
         auto First = std::make_unique<TFreeGuard>(s.A);
         const TFreeGuard Second(s.B);
         First.reset();
         Free(s.B);
         EXPECT_TRUE(s.B->InState(TComponentStateItem::Destroying));
     },
     "B"},
    // A menu item's handler frees the form its menu belongs to, then reads the item.
    {"Menu", "IMR",
     [](TScene& s) {
         s.I->OnClick = [&s](TObject* Sender) {
             Free(s.R);
             EXPECT_EQ(static_cast<TMenuItem*>(Sender)->Caption(), "Item");
         };
         s.M->Popup(5, 5);
         if (Live(s.I)) s.I->Click();
         if (Live(s.R)) Free(s.R); // the item went first
     },
     "R"},
};

bool Within(const TComponent* C, const TComponent* Outer) {
    const auto* Ctl = dynamic_cast<const TControl*>(C);
    return C && (C == Outer || Within(C->Owner(), Outer) || (Ctl && Within(Ctl->Parent(), Outer)));
}

// Where each control that shows in Inside shows: the screen point of its middle.
std::map<const TComponent*, TPoint> Spots(const std::set<const TComponent*>& Inside) {
    std::map<const TComponent*, TPoint> Out;
    for (const TComponent* C : Inside)
        if (const auto* Ctl = dynamic_cast<const TControl*>(C); Ctl && Ctl->Showing())
            Out[C] = At(Ctl, Ctl->ClientWidth() / 2, Ctl->ClientHeight() / 2);
    return Out;
}

// Right after a free, what lay in the freed one (Inside) is gone for the
// program: heard of, found by no name, in no list, shown nowhere, holding no
// input; a form's OnDestroy fired. Nothing of Inside is read: its memory may be gone.
void ExpectGone(const TScene& S, const std::set<const TComponent*>& Inside,
                const std::map<const TComponent*, TPoint>& Shown, const std::string& Run) {
    std::vector<const TComponent*> Listers{Application()};
    for (const auto& [Name, C] : S.Named)
        if (Live(C) && !C->InState(TComponentStateItem::Destroying)) Listers.push_back(C);
    if (Live(S.M)) Listers.push_back(&S.M->Items());
    for (const auto& [Name, C] : S.Named) {
        if (!Inside.contains(C)) continue;
        EXPECT_FALSE(Live(C)) << Run << Name << " was not told of";
        for (const TComponent* O : Listers)
            EXPECT_FALSE(Inside.contains(O->FindComponent(TScene::NameOf(Name)))) << Run << Name;
    }
    for (const TForm* Form : {S.R, S.F})
        EXPECT_TRUE(!Inside.contains(Form) || gWatch->Destroyed.contains(Form)) << Run;
    for (const TComponent* O : Listers) {
        for (int I = 0; I < O->ComponentCount(); ++I)
            EXPECT_FALSE(Inside.contains(O->Components(I))) << Run << O->Name() << " owns";
        const auto* W = dynamic_cast<const TWinControl*>(O);
        for (int I = 0; W && I < W->ControlCount(); ++I)
            EXPECT_FALSE(Inside.contains(W->Controls(I))) << Run << O->Name() << " holds";
    }
    for (const TWinControl* W : TopLevelWindows())
        EXPECT_FALSE(Inside.contains(W)) << Run << "a top-level window";
    for (const auto& [C, Spot] : Shown)
        EXPECT_FALSE(Inside.contains(FindControlAtPos(Spot))) << Run << "found at its place";
    for (const TControl* Input : {static_cast<TControl*>(FindControl(GetFocus())), MouseControl(),
                                  GetCaptureControl(), HintControl()})
        EXPECT_FALSE(Inside.contains(Input)) << Run << "holds the input";
}

class FreeWhileCalled : public ::testing::TestWithParam<TRow> {
protected:
    void SetUp() override { ResetInputState(); }
    void TearDown() override { ResetInputState(); }

    // One run, the probe freeing victim I at call N: the calls made.
    int RunOnce(std::size_t I, int N) {
        const TRow& Row = GetParam();
        TWatch Watch;
        gWatch = &Watch;
        TScene S;
        // What lies in each component asked to go, as last seen before it went
        // (but what goes already, by a free running further out).
        std::map<const TComponent*, std::set<const TComponent*>> Going;
        auto Look = [&] {
            for (auto& [G, Inside] : Going)
                if (Live(G) && !G->InState(TComponentStateItem::Destroying)) {
                    Inside.clear();
                    for (const auto& [Name, C] : S.Named)
                        if (Live(C) && !C->InState(TComponentStateItem::Destroying) &&
                            Within(C, G))
                            Inside.insert(C);
                }
        };
        for (const char* E = Row.Ends; *E; ++E)
            Going[S.Named[*E]];
        Look();
        int Calls = 0;
        TComponent* V = S.Named[Row.Victims[I]];
        const std::string Run = std::string(Row.Name) + ": " + Row.Victims[I] + " freed at call " +
                                std::to_string(N) + ", ";
        const THandlerProbe Probe = [&] {
            // One already going (inside another's free) goes with it.
            if (++Calls == N && Live(V) && !V->InState(TComponentStateItem::Destroying)) {
                Going[V], Look();
                const auto Shown = Spots(Going[V]);
                Free(V);
                ExpectGone(S, Going[V], Shown, Run);
            }
            Look();
        };
        {
            const TProbeScope Scope(Probe);
            Row.Run(S);
        }
        Look();
        ProcessMessages();
        std::set<const TComponent*> Doomed;
        for (const auto& [G, Inside] : Going)
            Doomed.insert(Inside.begin(), Inside.end());
        for (const auto& [Name, C] : S.Named)
            EXPECT_EQ(Live(C), !Doomed.contains(C)) << Run << Name;
        EXPECT_EQ(Watch.Late, 0) << Run << "a handler, message or paint came after a free";
        for (TForm* Form : {S.R, S.F})
            if (Live(Form)) Free(Form);
        ProcessMessages();
        return Calls;
    }
};

TEST_P(FreeWhileCalled, LeavesNothingInUseFreed) {
    for (std::size_t I = 0; GetParam().Victims[I]; ++I)
        for (int N = 1; !HasFailure(); ++N) {
            ASSERT_LT(N, 5000) << "the entry never ends";
            if (RunOnce(I, N) <= N) break;
        }
}

INSTANTIATE_TEST_SUITE_P(Entries, FreeWhileCalled, ::testing::ValuesIn(Rows),
                         [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
} // namespace fw
