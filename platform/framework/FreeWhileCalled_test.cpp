// A handler may free any component at any call the framework makes. The probe
// frees the control called, its parent or a sibling at the 1st, 2nd, ... call
// of each entry below until the entry makes no more calls; the sanitizers
// watch every run, and afterwards exactly what lay in the freed component is gone.
#include "DragCtrls.h"
#include "ExtCtrls.h"
#include "FormTestEnv.h"
#include "ImageList.h"
#include "Menus.h"
#include "StdCtrls.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace fw {
namespace {

// Controls and a component that run the probe where their handlers would.
template <class TBase> class TProbed : public TBase {
public:
    using TBase::TBase;
    void WndProc(TMessage& M) override {
        RunHandlerProbe();
        TBase::WndProc(M);
    }

protected:
    void Paint() override {
        RunHandlerProbe();
        TBase::Paint();
    }
};
using TProbeCtl = TProbed<TCustomControl>;
using TProbeDot = TProbed<TGraphicControl>;
class TProbeComp : public TComponent {
public:
    using TComponent::TComponent;

protected:
    void Notification(TComponent* C, TOperation Op) override {
        RunHandlerProbe();
        TComponent::Notification(C, Op);
    }
};

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

// R holds panel P with windowed A, B, graphic D, E, a paint box and an edit;
// F is a second form with panel FP; the rest are owned by R.
struct TScene {
    TForm *R = nullptr, *F = nullptr;
    TProbeCtl *P = nullptr, *A = nullptr, *B = nullptr, *FP = nullptr;
    TProbeDot *D = nullptr, *E = nullptr;
    TPaintBox* Box = nullptr;
    TEdit* Ed = nullptr;
    TPopupMenu* M = nullptr;
    TImageList* IL = nullptr;
    TTimer* T = nullptr;
    TProbeComp *N1 = nullptr, *N2 = nullptr, *N3 = nullptr;
    TChangeLink L1, L2;
    std::vector<TComponent*> All;

    template <class T> T* Add(TComponent* Owner) {
        T* C = Create<T>(Owner);
        gWatch->FreeNotification(C);
        All.push_back(C);
        return C;
    }
    template <class T> T* Put(TWinControl* Parent, TRect Box) {
        T* C = Add<T>(GetParentForm(Parent));
        C->SetParent(Parent);
        C->SetBoundsRect(Box);
        return C;
    }
    TScene() {
        R = Add<TForm>(Application());
        F = Add<TForm>(Application());
        R->SetBounds(50, 50, 400, 300);
        F->SetBounds(500, 50, 200, 200);
        FP = Put<TProbeCtl>(F, Bounds(10, 10, 100, 100));
        P = Put<TProbeCtl>(R, Bounds(10, 10, 300, 200));
        A = Put<TProbeCtl>(P, Bounds(10, 10, 60, 40));
        B = Put<TProbeCtl>(P, Bounds(80, 10, 60, 40));
        Box = Put<TPaintBox>(P, Bounds(90, 60, 30, 30)); // painted before the dots
        D = Put<TProbeDot>(P, Bounds(10, 60, 30, 30));
        E = Put<TProbeDot>(P, Bounds(50, 60, 30, 30));
        Ed = Put<TEdit>(P, Bounds(10, 100, 100, 20));
        M = Add<TPopupMenu>(R);
        IL = Add<TImageList>(R);
        T = Add<TTimer>(R);
        N1 = Add<TProbeComp>(R), N2 = Add<TProbeComp>(R), N3 = Add<TProbeComp>(R);
        IL->RegisterChanges(&L1);
        IL->RegisterChanges(&L2);
        R->Show();
        ProcessMessages();
    }
};

using TList = std::vector<TComponent*>;
struct TRow {
    const char* Name;
    std::function<TList(TScene&)> Victims;
    std::function<void(TScene&)> Run;
    std::function<void(TScene&)> Prepare = {};
    std::function<TList(TScene&)> Ends = {}; // what the entry frees itself
};
void PrintTo(const TRow& Row, std::ostream* Out) {
    *Out << Row.Name;
}
TPoint At(const TControl* C) {
    return ControlPoint(C, 5, 5);
}
void Accept(TObject*, TObject*, int, int, int, bool& Accept) {
    Accept = true;
}

const TRow Rows[] = {
    {"Paint", [](TScene& s) { return TList{s.A, s.P, s.B, s.D, s.Box}; },
     [](TScene& s) {
         s.R->Invalidate();
         ProcessMessages();
         TSurface Out;
         if (Live(s.P)) PaintControlTo(s.P, Out);
     }},
    {"Mouse", [](TScene& s) { return TList{s.D, s.P, s.E, s.A, s.B}; },
     [](TScene& s) {
         const TPoint Dot = At(s.D), Win = At(s.A);
         DoubleClickAt(Dot);
         DoubleClickAt(Win);
         ClickAt(Win, mbRight);
         MouseWheelAt(Win, 120);
     }},
    {"Drag", [](TScene& s) { return TList{s.D, s.P, s.B, s.E}; },
     [](TScene& s) {
         const TPoint From = At(s.D), Over = At(s.B), Drop = At(s.E);
         MouseDownAt(From), MouseMoveTo(Over), MouseMoveTo(Drop), MouseUpAt(Drop);
         MouseDownAt(From), MouseMoveTo(Over), PressKey(VK_ESCAPE), MouseUpAt(Over);
     },
     [](TScene& s) {
         s.D->SetDragMode(dmAutomatic);
         s.B->OnDragOver = s.E->OnDragOver = Accept;
     }},
    {"Forms", [](TScene& s) { return TList{s.F, s.FP, s.R}; },
     [](TScene& s) {
         s.F->Show();
         ProcessMessages();
         if (Live(s.F)) s.F->Hide();
         if (Live(s.F)) s.F->Show();
         if (Live(s.F)) s.F->Close();
         if (!Live(s.F)) return;
         s.F->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
         s.F->Show();
         if (Live(s.F)) s.F->Close();
         ProcessMessages();
     },
     {}, [](TScene& s) { return TList{s.F}; }},
    {"Notifications", [](TScene& s) { return TList{s.N2, s.N3, s.R}; },
     [](TScene& s) {
         s.N1->FreeNotification(s.N2);
         s.N1->FreeNotification(s.N3);
         Free(s.N1);
     },
     {}, [](TScene& s) { return TList{s.N1}; }},
    {"Broadcasts", [](TScene& s) { return TList{s.A, s.P, s.B, s.D}; },
     [](TScene& s) {
         s.R->Font().SetSize(12);
         s.R->SetColor(clRed);
         s.R->SetShowHint(true);
         if (Live(s.P)) s.P->SetCtl3D(false);
         s.R->Hide();
         s.R->Show();
         if (Live(s.P)) s.P->SetEnabled(false);
     }},
    {"Capture", [](TScene& s) { return TList{s.D, s.P, s.E}; },
     [](TScene& s) {
         const TPoint Dot = At(s.D);
         MouseDownAt(Dot);
         ReleaseCapture();
         MouseDownAt(Dot);
         if (Live(s.E)) SetCaptureControl(s.E);
         MouseUpAt(Dot);
         ReleaseCapture();
     }},
    {"Handles", [](TScene& s) { return TList{s.A, s.P, s.B}; },
     [](TScene& s) {
         s.A->SetFocus();
         if (Live(s.P)) s.P->RecreateWnd();
         if (Live(s.A)) s.A->RecreateWnd();
     }},
    {"Edit", [](TScene& s) { return TList{s.Ed, s.P, s.A}; },
     [](TScene& s) {
         s.Ed->SetFocus();
         if (Live(s.Ed)) s.Ed->SetSelText("ab");
         TypeText("cd");
         PressKey(VK_BACK);
     }},
    {"Menus", [](TScene& s) { return TList{s.M, s.R, s.P}; },
     [](TScene& s) {
         s.M->Popup(5, 5);
         if (Live(s.M)) s.M->Popup(6, 6);
     }},
    {"ImageLists", [](TScene& s) { return TList{s.IL, s.R, s.P}; },
     [](TScene& s) {
         s.IL->SetSize(20, 20);
         if (Live(s.IL)) s.IL->SetSize(24, 24);
     }},
    {"Align", [](TScene& s) { return TList{s.A, s.P, s.B}; },
     [](TScene& s) {
         s.A->SetAlign(alTop);
         s.R->SetBounds(50, 50, 420, 330);
         if (Live(s.P)) s.P->ScaleBy(3, 2);
     },
     [](TScene& s) { s.B->SetAnchors(akLeft | akTop | akRight | akBottom); }},
    {"Hints", [](TScene& s) { return TList{s.A, s.P, s.B}; },
     [](TScene& s) {
         const TPoint PA = At(s.A), PB = At(s.B);
         MouseMoveTo(PA), AdvanceClock(600), MouseMoveTo(PB), AdvanceClock(100);
         AdvanceClock(6000);
     },
     [](TScene& s) {
         for (TControl* C : {s.A, s.B}) C->SetHint("tip"), C->SetShowHint(true);
     }},
    {"Keys", [](TScene& s) { return TList{s.A, s.P, s.B}; },
     [](TScene& s) {
         s.A->SetFocus();
         PressKey(VK_TAB), PressKey(VK_TAB, ssShift), PressKey('X'), KeyChar('q', ssAlt);
     },
     [](TScene& s) { s.A->SetTabStop(true), s.B->SetTabStop(true); }},
    {"Timers", [](TScene& s) { return TList{s.T, s.R, s.P}; }, [](TScene&) { AdvanceClock(35); },
     [](TScene& s) { s.T->SetInterval(10); }},
};

class FreeWhileCalled : public ::testing::TestWithParam<TRow> {
protected:
    void SetUp() override { ResetInputState(); }
    void TearDown() override { ResetInputState(); }
    // One run, the probe freeing victim V at call N: the calls made (Count: the victims).
    int RunOnce(std::size_t V, int N, std::size_t& Count);
};

bool Within(const TComponent* C, const TComponent* Outer) {
    if (!C) return false;
    if (C == Outer) return true;
    const auto* Ctl = dynamic_cast<const TControl*>(C);
    return Within(C->Owner(), Outer) || (Ctl && Within(Ctl->Parent(), Outer));
}

int FreeWhileCalled::RunOnce(std::size_t V, int N, std::size_t& Count) {
    const TRow& Row = GetParam();
    TWatch Watch;
    gWatch = &Watch;
    TScene S;
    const TList Victims = Row.Victims(S);
    Count = Victims.size();
    if (Row.Prepare) Row.Prepare(S);
    std::set<const TComponent*> Doomed;
    auto Doom = [&](const TComponent* Victim) {
        for (const TComponent* C : S.All)
            if (Live(C) && Within(C, Victim)) Doomed.insert(C);
    };
    if (Row.Ends)
        for (TComponent* C : Row.Ends(S)) Doom(C);
    int Calls = 0;
    const THandlerProbe Probe = [&] {
        if (++Calls != N || !Live(Victims[V])) return;
        Doom(Victims[V]);
        Free(Victims[V]);
    };
    {
        const TProbeScope Scope(Probe);
        Row.Run(S);
    }
    ProcessMessages();
    for (std::size_t I = 0; I < S.All.size(); ++I)
        EXPECT_EQ(Live(S.All[I]), !Doomed.contains(S.All[I]))
            << Row.Name << ": victim " << V << " freed at call " << N << ", component " << I;
    for (TForm* Form : {S.R, S.F})
        if (Live(Form)) Free(Form);
    ProcessMessages();
    return Calls;
}

TEST_P(FreeWhileCalled, LeavesNothingInUseFreed) {
    std::size_t Count = 1;
    for (std::size_t V = 0; V < Count; ++V)
        for (int N = 1; !HasFailure(); ++N) {
            ASSERT_LT(N, 5000) << "the entry never ends";
            if (RunOnce(V, N, Count) <= N) break;
        }
}

INSTANTIATE_TEST_SUITE_P(Entries, FreeWhileCalled, ::testing::ValuesIn(Rows),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A guard on a control holds its parent too: freeing the parent frees both afterwards.
TEST(FreeGuard, FollowsTheParentChain) {
    auto Form = std::make_unique<TForm>(nullptr);
    auto* Panel = Create<TCustomControl>(Form.get());
    auto* Inner = Create<TCustomControl>(Form.get());
    Panel->SetParent(Form.get());
    Inner->SetParent(Panel);
    {
        TFreeGuard Hold(Inner);
        Free(Panel);
        EXPECT_EQ(Form->ComponentCount(), 2);
    }
    EXPECT_EQ(Form->ComponentCount(), 0);
}

} // namespace
} // namespace fw
