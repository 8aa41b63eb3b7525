// A handler may free any component at any call the framework makes. The probe
// frees the control called, its parent or a sibling at the 1st, 2nd, ... call
// of each entry below until the entry makes no more calls; the sanitizers
// watch every run, and afterwards exactly what lay in the freed one is gone.
#include "ComCtrls.h"
#include "DragCtrls.h"
#include "ExtCtrls.h"
#include "FormTestEnv.h"
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

namespace fw {
namespace {

// Controls that run the probe where their handlers would.
template <class TBase> class TProbed : public TBase {
public:
    using TBase::TBase;
    void WndProc(TMessage& M) override { RunHandlerProbe(), TBase::WndProc(M); }

protected:
    void Paint() override { RunHandlerProbe(), TBase::Paint(); }
    void Notification(TComponent* C, TOperation Op) override {
        RunHandlerProbe(), TBase::Notification(C, Op);
    }
};
using TProbeCtl = TProbed<TCustomControl>;
using TProbeDot = TProbed<TGraphicControl>;

// Hears each component of the scene go.
class TWatch : public TComponent {
public:
    TWatch() : TComponent(nullptr) {}
    std::set<const TComponent*> Gone;

protected:
    void Notification(TComponent* C, TOperation Op) override {
        if (Op == TOperation::Remove) Gone.insert(C);
    }
};
TWatch* gWatch = nullptr;
bool Live(const TComponent* C) {
    return !gWatch->Gone.contains(C);
}

TPoint At(const TControl* C, int X = 5, int Y = 5) {
    return ControlPoint(C, X, Y);
}

// Form R holds panel P with windowed A, B, paint box X (painted before the
// dots), graphic D, E, edits W and V, page control C with pages 1 and 2;
// form F holds panel Q. Menu M, image list L, timer T and N belong to R.
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
    TImageList* L;
    TTimer* T;
    TChangeLink L1, L2;
    TPoint Tab; // the second page's tab

    template <class T>
    T* Add(char Name, TComponent* Owner, TWinControl* Parent = nullptr, TRect Box = {}) {
        T* C = Create<T>(Owner);
        if constexpr (std::is_base_of_v<TControl, T>)
            if (Parent) C->SetParent(Parent), C->SetBoundsRect(Box);
        gWatch->FreeNotification(Named[Name] = C);
        return C;
    }
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
        N = Add<TProbeDot>('N', R);
        L->RegisterChanges(&L1), L->RegisterChanges(&L2);
        TScrollInfo Range;
        Range.fMask = SIF_RANGE | SIF_PAGE, Range.nMax = 100, Range.nPage = 10;
        SetScrollInfo(P->Handle(), SB_VERT, Range, true);
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
    // A guard on a control holds its parent too.
    {"Guard", "A",
     [](TScene& s) {
         const TFreeGuard Hold(s.A);
         Free(s.P);
         EXPECT_TRUE(Live(s.A));
     },
     "P"},
};

bool Within(const TComponent* C, const TComponent* Outer) {
    const auto* Ctl = dynamic_cast<const TControl*>(C);
    return C && (C == Outer || Within(C->Owner(), Outer) || (Ctl && Within(Ctl->Parent(), Outer)));
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
        // What lies in each component asked to go, as last seen before it went.
        std::map<const TComponent*, std::set<const TComponent*>> Going;
        auto Look = [&] {
            for (auto& [G, Inside] : Going)
                if (Live(G) && !G->InState(TComponentStateItem::Destroying)) {
                    Inside.clear();
                    for (const auto& [Name, C] : S.Named)
                        if (Live(C) && Within(C, G)) Inside.insert(C);
                }
        };
        for (const char* E = Row.Ends; *E; ++E)
            Going[S.Named[*E]];
        Look();
        int Calls = 0;
        TComponent* V = S.Named[Row.Victims[I]];
        const THandlerProbe Probe = [&] {
            if (++Calls == N && Live(V)) Going[V], Look(), Free(V);
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
            EXPECT_EQ(Live(C), !Doomed.contains(C))
                << Row.Name << ": " << Row.Victims[I] << " freed at call " << N << ", " << Name;
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
