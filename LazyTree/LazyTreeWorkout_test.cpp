// A randomised workout of two string trees and a draw tree: clicks, drags,
// keys, edits, streams, the clipboard and program calls, while about sixty
// events are answered at random by handlers that delete, add (to their node,
// its parent, a parent being cleared), set child counts, move, sort, resize,
// hide, delete columns, nest and end updates, end edits, iterate or throw;
// the callbacks of IterateSubtree do the same, and some steps let the
// worker's messages run in the middle of an operation. After every step the
// trees must agree with a recount (TreeInvariants.h), and the sanitizers must
// stay silent.
//
// With the suite a few seeds run. TREE_WORKOUT_SEEDS=N (or A-B) runs seeds
// 1..N (A..B) in one test instead; TREE_WORKOUT_STEPS sets the steps per
// seed (150); TREE_WORKOUT_TRACE=1 names each step and action on stderr, which
// a sanitizer report follows (with TREE_WORKOUT_COUNTS=1 also the trees that
// disagree after each action); TREE_WORKOUT_NO_WORKER=1 leaves the worker's
// reports unanswered, so that a seed replays the same.
#include "FormTestEnv.h"
#include "LazyDrawTree.h"
#include "LazyStringTree.h"
#include "LazyTreeEdit.h"
#include "LazyTreeWorker.h"
#include "TreeInvariants.h"
#include "TreeViewTestEnv.h"

#include "Clipbrd.h"
#include "ScopeExit.h"
#include "Streams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace vel {
namespace {

// What a handler throws on purpose.
struct TWorkoutThrow : std::runtime_error {
    TWorkoutThrow() : std::runtime_error("workout handler") {}
};

// The refusals a hostile program meets and expects.
bool ExpectedRefusal(const std::exception& E) {
    const std::string What = E.what();
    if (dynamic_cast<const TWorkoutThrow*>(&E)) return true;
    if (What.find("during tree iteration") != std::string::npos) return true;
    if (auto* L = dynamic_cast<const ELazyTreeError*>(&E))
        return L->HelpContext() == hcTFWrongMoveError;
    return false;
}

enum class TAct : std::uint8_t {
    DeleteGiven,
    DeleteOther,
    Clear,
    Throw,
    AddToGiven,
    AddToParent,
    SetCount,
    Move,
    MoveAcross,
    SortParent,
    SortTree,
    Height,
    Visibility,
    Toggle,
    FullExpand,
    FullCollapse,
    DeleteColumn,
    NestUpdate,
    EndUpdate,
    EndEdit,
    Iterate,
    Select,
    Focus,
    Cache,
    Count
};

const char* ActName(TAct A) {
    static const char* const Names[] = {
        "delete given", "delete other", "clear",     "throw",         "add to given",
        "add to parent", "set count",   "move",      "move across",   "sort parent",
        "sort tree",    "height",       "visibility", "toggle",       "full expand",
        "full collapse", "delete column", "nest update", "end update", "end edit",
        "iterate",      "select",       "focus",     "cache"};
    return Names[static_cast<int>(A)];
}

// A hang ends the run with the step it hung in, not only a time-out.
class TWatchdog {
public:
    TWatchdog() : FThread([this] { Watch(); }) {}
    ~TWatchdog() {
        {
            std::lock_guard<std::mutex> L(FLock);
            FDone = true;
        }
        FCond.notify_one();
        FThread.join();
    }
    void Beat(const std::string& Where) {
        std::lock_guard<std::mutex> L(FLock);
        FWhere = Where;
        FLast = std::chrono::steady_clock::now();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> L(FLock);
        while (!FDone) {
            FCond.wait_for(L, std::chrono::seconds(5));
            if (!FDone && std::chrono::steady_clock::now() - FLast > std::chrono::seconds(120)) {
                std::fprintf(stderr, "workout hangs in %s\n", FWhere.c_str());
                std::abort();
            }
        }
    }
    std::mutex FLock;
    std::condition_variable FCond;
    bool FDone = false;
    std::string FWhere = "setup";
    std::chrono::steady_clock::time_point FLast = std::chrono::steady_clock::now();
    std::thread FThread;
};

class WorkoutTree : public TLazyStringTree {
public:
    using TLazyStringTree::TLazyStringTree;
};

class Workout : public fw::FormTest {
protected:
    void TearDown() override {
        Disarm();
        Form.reset();
        FormTest::TearDown();
    }

    // ---------------------------------------------------------------- setup

    void Build() {
        Form = std::make_unique<fw::TForm>(nullptr);
        Form->SetBounds(50, 50, 680, 260);
        if (fw::OpenClipboard(0)) {
            fw::EmptyClipboard();
            fw::CloseClipboard();
        }
        A = Place<WorkoutTree>(0, 0, 220, 220);
        B = Place<WorkoutTree>(225, 0, 220, 220);
        D = Place<TLazyDrawTree>(450, 0, 220, 220);
        Trees = {A, B, D};
        for (TBaseLazyTree* T : Trees)
            Configure(T);
        HookAll(A);
        HookAll(B);
        HookAll(D);
        HookStrings(A);
        HookStrings(B);
        D->OnDrawNode = [this](TBaseLazyTree* S, TLTPaintInfo& P) { React(S, "OnDrawNode", {P.Node}); };
        D->OnGetNodeWidth = [this](TBaseLazyTree* S, fw::TCanvas*, PLazyNode N, int, int& W) {
            React(S, "OnGetNodeWidth", {N});
            W = 30;
        };
        Show();
        A->SetFocus();
    }

    void Configure(TBaseLazyTree* T) {
        T->SetNodeDataSize(4);
        T->SetShowHint(true);
        T->SetHintMode(hmHintAndDefault);
        T->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isAll);
        T->SetDragType(dtOLE);
        // Edits start from clicks, keys and timers too.
        TLTMiscOptions Misc = T->MiscOptions() | toCheckSupport | toAcceptOLEDrop | toEditable;
        if (Chance(2)) Misc |= toVariableNodeHeight;
        T->TreeOptions()->SetMiscOptions(Misc);
        T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect |
                                              toRightClickSelect);
        T->TreeOptions()->SetPaintOptions(T->PaintOptions() | toHotTrack);
        TLTAutoOptions Auto = T->AutoOptions() | toAutoTristateTracking | toAutoDeleteMovedNodes;
        if (Chance(3)) Auto |= toAutoSort;
        if (Chance(4)) Auto |= toAutoFreeOnCollapse;
        if (Chance(4)) Auto |= toAutoExpand;
        T->TreeOptions()->SetAutoOptions(Auto);
        for (int I = 0; I < 3; ++I)
            T->Header()->Columns().Add()->SetWidth(90);
        T->Header()->SetOptions(T->Header()->Options() | hoVisible | hoDrag | hoHotTrack);
        T->Header()->SetSortColumn(0);
    }

    // Every event of the tree: counted, and answered by a hostile action at random.
    template <class R, class... A>
    void Hook(TBaseLazyTree* T, std::function<R(A...)>& Event, const char* Name,
              std::function<R(A...)> Base = {}) {
        HookEvent(
            Event,
            [this, T, Name, &Event](const std::vector<PLazyNode>& Nodes) {
                // Now and then the handler replaces itself (with a copy) while it runs.
                if (Armed && Chance(50)) Event = std::function<R(A...)>(Event);
                React(T, Name, Nodes);
            },
            std::move(Base));
    }

    void HookAll(TBaseLazyTree* T);
    void HookStrings(WorkoutTree* T);
    void Disarm() {
        Armed = false;
    }

    // ------------------------------------------------------------ randomness

    std::uint32_t Rnd(std::uint32_t N) { return N ? static_cast<std::uint32_t>(Rng() % N) : 0; }
    bool Chance(std::uint32_t OneIn) { return Rnd(OneIn) == 0; }
    template <class T> T& Pick(std::vector<T>& V) { return V[Rnd(static_cast<std::uint32_t>(V.size()))]; }

    // Every node of T, walked by its links (bounded: a cycle fails, it does not hang).
    std::vector<PLazyNode> Nodes(TBaseLazyTree* T) {
        std::vector<PLazyNode> R;
        const std::uint64_t Bound = std::uint64_t{T->TotalCount()} + 1000;
        for (PLazyNode N = T->GetFirstNoInit(); N; N = T->GetNextNoInit(N)) {
            R.push_back(N);
            if (R.size() > Bound) {
                ++Failures;
                ADD_FAILURE() << "the walk over the tree does not end";
                Stop = true;
                break;
            }
        }
        return R;
    }
    PLazyNode AnyNode(TBaseLazyTree* T) {
        std::vector<PLazyNode> All = Nodes(T);
        return All.empty() ? nullptr : Pick(All);
    }
    TBaseLazyTree* AnyTree() { return Trees[Rnd(3)]; }
    TBaseLazyTree* Other(TBaseLazyTree* T) { return T == A ? B : A; }

    // --------------------------------------------------------------- actions

    void React(TBaseLazyTree* T, const char* Name, const std::vector<PLazyNode>& Given);
    void Act(TBaseLazyTree* T, PLazyNode Given, const char* Where);
    void ActOnce(TBaseLazyTree* T, PLazyNode Given, TAct What);
    void Trace(const char* Fmt, const std::string& A1 = "", const std::string& A2 = "",
               const std::string& A3 = "") {
        if (Tracing) std::fprintf(stderr, Fmt, A1.c_str(), A2.c_str(), A3.c_str());
    }
    std::string NameOf(const TBaseLazyTree* T) const { return T == A ? "A" : T == B ? "B" : "D"; }

    // ----------------------------------------------------------------- steps

    void RunSeed(std::uint32_t Seed, int Steps);
    void RandomStep(int Index);
    void Step(const std::string& What, const std::function<void()>& F);
    void AfterStep(const std::string& What);
    void ProgramCall(TBaseLazyTree* T);
    void WorkerMidOperation();
    void StreamStep();
    void ClipboardStep();
    void MouseStep();
    void KeysStep();
    void EditStep();
    void HeaderStep();
    void KeepSmall();
    fw::TPoint RowPoint(TBaseLazyTree* T, int X, int Row) {
        return fw::ControlPoint(T, X, T->Header()->Height() + Row * 18 + 9);
    }

    std::mt19937 Rng;
    WorkoutTree* A = nullptr;
    WorkoutTree* B = nullptr;
    TLazyDrawTree* D = nullptr;
    std::vector<TBaseLazyTree*> Trees;
    std::vector<std::string> Hostile; // events answered by actions this seed
    bool Armed = false;
    bool Stop = false;
    bool Tracing = false;
    int Budget = 0;           // actions left in this step
    int Depth = 0;            // actions running inside actions
    bool Teardown = false;    // the trees go: handlers keep to their own tree
    bool NoWorker = false;
    std::uint32_t Seed = 0;
    int StepIndex = 0;
    std::string StepName;
    std::unique_ptr<TWatchdog> Dog;
    int Failures = 0; // in this seed
};

// ------------------------------------------------------------------ handlers

#define WORKOUT_EVENTS(X)                                                                       \
    X(OnFreeNode) X(OnResetNode) X(OnMeasureItem) X(OnCompareNodes) X(OnChange)                 \
    X(OnStructureChange) X(OnUpdating) X(OnExpanding) X(OnExpanded)            \
    X(OnCollapsing) X(OnCollapsed) X(OnFocusChanging) X(OnFocusChanged) X(OnChecking)           \
    X(OnChecked) X(OnNodeMoving) X(OnNodeMoved) X(OnNodeCopying) X(OnNodeCopied)                \
    X(OnGetCellIsEmpty) X(OnIncrementalSearch) X(OnScroll) X(OnGetPopupMenu) X(OnHotChange)     \
    X(OnKeyAction) X(OnGetCursor) X(OnHeaderClick) X(OnHeaderDblClick) X(OnHeaderMouseDown)     \
    X(OnHeaderMouseUp) X(OnHeaderMouseMove) X(OnHeaderDragging) X(OnHeaderDragged)              \
    X(OnColumnResize) X(OnBeforePaint) X(OnAfterPaint) X(OnBeforeItemErase) X(OnAfterItemErase) \
    X(OnBeforeItemPaint) X(OnAfterItemPaint) X(OnBeforeCellPaint) X(OnAfterCellPaint)           \
    X(OnPaintBackground) X(OnGetImageIndex) X(OnGetHelpContext) X(OnColumnClick)                \
    X(OnColumnDblClick) X(OnEditing) X(OnEdited) X(OnEditCancelled) X(OnSaveNode)

void Workout::HookAll(TBaseLazyTree* T) {
#define HOOK(E) Hook(T, T->E, #E);
    WORKOUT_EVENTS(HOOK)
#undef HOOK
    // The worker's reports arrive when its thread gets to them: answered
    // only with the worker on, so that a seed without it replays exactly.
    T->OnStateChange = [this, T](TBaseLazyTree*, TLazyTreeStates Enter, TLazyTreeStates Leave) {
        const TLazyTreeStates Reports{tsValidating, tsUseCache};
        if (NoWorker && (!(Enter * Reports).Empty() || Leave.Contains(tsValidating))) return;
        React(T, "OnStateChange", {});
    };
    Hook(T, T->OnInitNode, "OnInitNode",
         decltype(T->OnInitNode)([this](TBaseLazyTree*, PLazyNode P, PLazyNode N,
                                        TLTInternalStates& S) {
             if (!P || N->Index % 3 == 0) S |= ivsHasChildren;
             if (N->Index % 4 == 1) S |= ivsExpanded;
             if (Rnd(8) == 0) S |= ivsSelected;
         }));
    Hook(T, T->OnInitChildren, "OnInitChildren",
         decltype(T->OnInitChildren)([](TBaseLazyTree* Sender, PLazyNode N, std::uint32_t& Count) {
             Count = Sender->GetNodeLevel(N) < 2 ? 3 : 0;
             Sender->SetCheckType(N, ctTriStateCheckBox);
         }));
    Hook(T, T->OnCreateEditor, "OnCreateEditor",
         decltype(T->OnCreateEditor)(
             [](TBaseLazyTree*, PLazyNode, int, std::shared_ptr<ILTEditLink>& Link) {
                 Link = std::make_shared<TStringEditLink>();
             }));
    Hook(T, T->OnLoadNode, "OnLoadNode",
         decltype(T->OnLoadNode)([](TBaseLazyTree*, PLazyNode, fw::TStream& S) {
             std::uint32_t Tag = 0;
             S.ReadBuffer(&Tag, sizeof Tag);
         }));
    // OnSaveNode is hooked above; its chunk is written here, behind the action.
    auto Save = T->OnSaveNode;
    T->OnSaveNode = [Save](TBaseLazyTree* S, PLazyNode N, fw::TStream& Stream) {
        Save(S, N, Stream);
        const std::uint32_t Tag = N ? N->Index : 0;
        Stream.WriteBuffer(&Tag, sizeof Tag);
    };
    HookDragAndDrop(T, [this, T](auto& Event, const char* Name, auto Answer) {
        Hook(T, Event, Name, std::move(Answer));
    });
    // A refused move or copy.
    auto Moving = T->OnNodeMoving;
    T->OnNodeMoving = [this, Moving](TBaseLazyTree* S, PLazyNode N, PLazyNode Target, bool& Ok) {
        Moving(S, N, Target, Ok);
        if (Chance(6)) Ok = false;
    };
}

void Workout::HookStrings(WorkoutTree* T) {
    Hook(T, T->OnGetText, "OnGetText",
         decltype(T->OnGetText)(
             [](TBaseLazyTree*, PLazyNode N, int Column, TLSTTextType, std::u16string& Text) {
                 if (Column > 0 && N->Index % 2) {
                     Text.clear();
                     return;
                 }
                 Text = u"node " + std::u16string(1, static_cast<char16_t>(u'a' + N->Index % 26));
             }));
    Hook(T, T->OnPaintText, "OnPaintText");
    Hook(T, T->OnGetHint, "OnGetHint");
    Hook(T, T->OnNewText, "OnNewText");
}

void Workout::React(TBaseLazyTree* T, const char* Name, const std::vector<PLazyNode>& Given) {
    if (!Armed || Stop || Budget <= 0 || Depth >= 3) return;
    if (std::find(Hostile.begin(), Hostile.end(), Name) == Hostile.end()) return;
    if (!Chance(4)) return;
    PLazyNode N = nullptr;
    for (PLazyNode P : Given)
        if (P != T->RootNode() && TreeFromNode(P) == T) N = P;
    Act(T, N, Name);
}

void Workout::Act(TBaseLazyTree* T, PLazyNode Given, const char* Where) {
    if (Budget <= 0) return;
    --Budget;
    ++Depth;
    struct TDepth {
        int& D;
        ~TDepth() { --D; }
    } Leave{Depth};
    auto What = static_cast<TAct>(Rnd(static_cast<std::uint32_t>(TAct::Count)));
    if (What == TAct::Throw && Rnd(3) != 0) What = TAct::AddToGiven;
    Trace("  %s %s: %s\n", NameOf(T), Where, ActName(What));
    if (What == TAct::Throw) throw TWorkoutThrow();
    try {
        ActOnce(T, Given, What);
        // Mid-operation the totals may lag (a batch, a read): a clue, not a failure.
        if (Tracing && std::getenv("TREE_WORKOUT_COUNTS"))
            for (TBaseLazyTree* X : Trees)
                if (::testing::AssertionResult R = TreeAgrees(*X); !R)
                    Trace("    %s after it: %s\n", NameOf(X), R.message());
    } catch (const std::exception& E) {
        // A program that does hostile things catches what it expects.
        if (!ExpectedRefusal(E) || dynamic_cast<const TWorkoutThrow*>(&E)) throw;
    }
}

void Workout::ActOnce(TBaseLazyTree* T, PLazyNode Given, TAct What) {
    PLazyNode N = Given ? Given : AnyNode(T);
    switch (What) {
    case TAct::DeleteGiven:
        if (N) T->DeleteNode(N);
        break;
    case TAct::DeleteOther:
        if (PLazyNode O = AnyNode(T)) T->DeleteNode(O);
        break;
    case TAct::Clear:
        if (Chance(3)) T->Clear();
        break;
    case TAct::Throw:
        break;
    case TAct::AddToGiven:
        T->AddChild(N);
        break;
    case TAct::AddToParent:
        // In OnFreeNode the parent is the one being cleared, or nil.
        T->AddChild(N && N->Parent ? N->Parent : nullptr);
        break;
    case TAct::SetCount:
        T->SetChildCount(Chance(3) ? nullptr : N, Rnd(5));
        break;
    case TAct::Move:
        if (PLazyNode S = AnyNode(T)) {
            PLazyNode To = Chance(5) ? nullptr : AnyNode(T);
            const auto Mode = static_cast<TLTNodeAttachMode>(1 + Rnd(4));
            T->MoveTo(S, To, Mode, Chance(4));
        }
        break;
    case TAct::MoveAcross:
        if (T != D && !Teardown)
            if (PLazyNode S = N ? N : AnyNode(T))
                T->MoveTo(S, Chance(2) ? AnyNode(Other(T)) : Other(T)->RootNode(),
                          static_cast<TLTNodeAttachMode>(1 + Rnd(4)), false);
        break;
    case TAct::SortParent:
        T->Sort(N && N->Parent != T->RootNode() ? N->Parent : nullptr, 0,
                Chance(2) ? sdAscending : sdDescending);
        break;
    case TAct::SortTree:
        T->SortTree(0, Chance(2) ? sdAscending : sdDescending);
        break;
    case TAct::Height:
        if (N) T->SetNodeHeight(N, 10 + Rnd(30));
        break;
    case TAct::Visibility:
        if (N) T->SetVisible(N, !(N->States & vsVisible));
        break;
    case TAct::Toggle:
        if (N) T->ToggleNode(N);
        break;
    case TAct::FullExpand:
        T->FullExpand(Chance(3) ? nullptr : N);
        break;
    case TAct::FullCollapse:
        T->FullCollapse(Chance(3) ? nullptr : N);
        break;
    case TAct::DeleteColumn:
        if (T->Header()->Columns().Count() > 1)
            T->Header()->Columns().Delete(static_cast<int>(Rnd(
                static_cast<std::uint32_t>(T->Header()->Columns().Count()))));
        break;
    case TAct::NestUpdate: {
        T->BeginUpdate();
        fw::TScopeExit End([T] { T->EndUpdate(); }); // as a careful program ends it
        if (N) T->AddChild(N);
        End.Leave();
        break;
    }
    case TAct::EndUpdate:
        // Ends an update an operation began: a fault of the program, which
        // the tree must survive.
        if (T->UpdateCount() > 0) T->EndUpdate();
        break;
    case TAct::EndEdit:
        if (Chance(2))
            T->EndEditNode();
        else
            T->CancelEditNode();
        break;
    case TAct::Iterate:
        T->IterateSubtree(Chance(2) ? nullptr : N,
                          [this](TBaseLazyTree* S, PLazyNode Run, void*, bool& Abort) {
                              if (Chance(3)) Act(S, Run, "IterateSubtree");
                              Abort = Chance(20);
                          },
                          nullptr, 0, Chance(2));
        break;
    case TAct::Select:
        if (N) T->SetSelected(N, !(N->States & vsSelected));
        break;
    case TAct::Focus:
        T->SetFocusedNode(N);
        break;
    case TAct::Cache:
        if (!NoWorker) T->InvalidateCache();
        break;
    case TAct::Count:
        break;
    }
}

// ---------------------------------------------------------------------- steps

void Workout::Step(const std::string& What, const std::function<void()>& F) {
    StepName = What;
    Trace("step %s %s\n", std::to_string(StepIndex), What);
    if (Dog) Dog->Beat("seed " + std::to_string(Seed) + " step " + std::to_string(StepIndex) + " " + What);
    Budget = 12;
    try {
        F();
        fw::ProcessMessages();
    } catch (const std::exception& E) {
        if (!ExpectedRefusal(E) && ++Failures) ADD_FAILURE() << "seed " << Seed << " step " << StepIndex << " "
                                               << What << ": " << E.what();
    }
    AfterStep(What);
}

void Workout::AfterStep(const std::string& What) {
    Budget = 0;
    // No handler begins an update it does not end: one left is the tree's.
    for (TBaseLazyTree* T : Trees)
        if (T->UpdateCount() > 0) {
            ++Failures;
            ADD_FAILURE() << "seed " << Seed << " step " << StepIndex << " (" << What
                          << "): an update left open";
            Stop = true;
            while (T->UpdateCount() > 0)
                T->EndUpdate();
        }
    // The worker finishes with every tree; deleted nodes are freed.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        fw::ProcessMessages();
        TBaseLazyTree* Busy = WorkerThread() ? WorkerThread()->CurrentTree() : nullptr;
        if ((Busy != A && Busy != B && Busy != D) ||
            std::chrono::steady_clock::now() > Deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    fw::ProcessMessages();
    const char* Names[] = {"A", "B", "D"};
    for (int I = 0; I < 3; ++I) {
        TBaseLazyTree* T = Trees[static_cast<std::size_t>(I)];
        ::testing::AssertionResult R = TreeAgrees(*T);
        const TLazyTreeStates S = T->TreeStates();
        if (!R || T->DeferredDeletions() > 0 || S.Contains(tsIterating) ||
            S.Contains(tsExpanding) || S.Contains(tsCollapsing) || T->HandlerRunning()) {
            ++Failures;
            ADD_FAILURE() << "seed " << Seed << " step " << StepIndex << " (" << What << "), tree "
                          << Names[I] << ": " << R.message() << " queued "
                          << T->DeferredDeletions() << (T->HandlerRunning() ? " handler" : "")
                          << (S.Contains(tsIterating) ? " iterating" : "")
                          << (S.Contains(tsExpanding) ? " expanding" : "")
                          << (S.Contains(tsCollapsing) ? " collapsing" : "");
            Stop = true;
        }
    }
}

void Workout::KeepSmall() {
    for (TBaseLazyTree* T : Trees) {
        if (T->TotalCount() > 250) T->Clear();
        if (T->RootNodeCount() < 3) T->SetRootNodeCount(3 + Rnd(6));
        while (T->Header()->Columns().Count() < 2)
            T->Header()->Columns().Add()->SetWidth(90);
    }
}

void Workout::ProgramCall(TBaseLazyTree* T) {
    PLazyNode N = AnyNode(T);
    PLazyNode M = AnyNode(T);
    const std::uint32_t Call = Rnd(26);
    Trace("  call %s on %s\n", std::to_string(Call), NameOf(T));
    switch (Call) {
    case 0: T->AddChild(Chance(3) ? nullptr : N); break;
    case 1: if (N) T->DeleteNode(N); break;
    case 2: T->SetChildCount(N, Rnd(6)); break;
    case 3: if (N) T->MoveTo(N, M, static_cast<TLTNodeAttachMode>(1 + Rnd(4)), Chance(4)); break;
    case 4: if (N && T != D) T->CopyTo(N, AnyNode(Other(T)), amAddChildLast, Chance(3)); break;
    case 5: T->Sort(N, 0, Chance(2) ? sdAscending : sdDescending); break;
    case 6: T->SortTree(0, Chance(2) ? sdAscending : sdDescending); break;
    case 7: T->FullExpand(Chance(2) ? nullptr : N); break;
    case 8: T->FullCollapse(Chance(2) ? nullptr : N); break;
    case 9: if (N) T->ToggleNode(N); break;
    case 10: if (N) T->SetVisible(N, !(N->States & vsVisible)); break;
    case 11: if (N) T->SetNodeHeight(N, 12 + Rnd(40)); break;
    case 12:
        if (N) T->SetSelected(N, true);
        if (PLazyNode O = AnyNode(T)) T->SetSelected(O, true); // picked after: N's handlers ran
        break;
    case 13: T->SelectAll(Chance(2)); break;
    case 14: T->InvertSelection(Chance(2)); break;
    case 15: T->DeleteSelectedNodes(); break;
    case 16:
        T->IterateSubtree(Chance(2) ? nullptr : N,
                          [this](TBaseLazyTree* S, PLazyNode Run, void*, bool&) {
                              if (Chance(4)) Act(S, Run, "IterateSubtree");
                          },
                          nullptr, Chance(3) ? vsSelected : 0, Chance(2), Chance(3));
        break;
    case 17: T->ValidateNode(N, Chance(2)); break;
    case 18: T->ReinitNode(N, Chance(2)); break;
    case 19: if (N) T->ResetNode(N); break;
    case 20: if (N) T->SetCheckState(N, Chance(2) ? csCheckedNormal : csUncheckedNormal); break;
    case 21: if (N) T->ScrollIntoView(N, Chance(2), Chance(2)); break;
    case 22: T->SetFocusedNode(N); break;
    case 23: T->SetRootNodeCount(Rnd(10)); break;
    case 24: {
        int Top = 0;
        T->GetNodeAt(Rnd(200), Rnd(300), Chance(2), Top);
        break;
    }
    default: if (N) T->SetExpanded(N, !(N->States & vsExpanded)); break;
    }
}

// The worker takes a tree and waits for it to hear so; an operation then
// lets its message (and OnStateChange) run in its middle.
void Workout::WorkerMidOperation() {
    TBaseLazyTree* T = AnyTree();
    T->InvalidateCache();
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (WorkerThread() && WorkerThread()->CurrentTree() != T &&
           std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ProgramCall(T);
}

void Workout::StreamStep() {
    TBaseLazyTree* From = Chance(2) ? A : B;
    TBaseLazyTree* To = Other(From);
    fw::TMemoryStream S;
    if (Chance(3)) {
        From->SaveToStream(S);
        S.SetPosition(0);
        To->LoadFromStream(S);
        return;
    }
    PLazyNode Source = AnyNode(From);
    if (!Source) return;
    From->SaveToStream(S, Source); // its handlers may free Source
    if (S.Size() <= 16) return;
    S.SetPosition(16); // past the magic and the count: one node's chunk
    PLazyNode Target = AnyNode(To);
    To->AddNodeFromStream(S, 2, Target);
}

void Workout::ClipboardStep() {
    TBaseLazyTree* From = Chance(2) ? A : B;
    TBaseLazyTree* To = Chance(3) ? From : Other(From);
    if (PLazyNode N = AnyNode(From)) From->SetSelected(N, true);
    if (Chance(2))
        From->CopyToClipboard();
    else
        From->CutToClipboard();
    To->SetFocusedNode(AnyNode(To));
    To->PasteFromClipboard();
}

void Workout::MouseStep() {
    TBaseLazyTree* T = AnyTree();
    const int Row = static_cast<int>(Rnd(9));
    const int X = static_cast<int>(8 + Rnd(200));
    const fw::TShiftState Shift = Chance(3) ? fw::ssShift : Chance(3) ? fw::ssCtrl : 0;
    switch (Rnd(6)) {
    case 0: ClickOn(T, X, T->Header()->Height() + Row * 18 + 9, Shift); break;
    case 1: fw::DoubleClickAt(RowPoint(T, X, Row)); break;
    case 2: ClickOn(T, X, T->Header()->Height() + Row * 18 + 9, 0, fw::mbRight); break;
    case 3: {
        // A drag within the tree or onto another.
        TBaseLazyTree* To = Chance(2) ? T : AnyTree();
        fw::MouseDownAt(RowPoint(T, 70, Row));
        fw::MouseMoveTo(RowPoint(T, 95, Row), fw::ssLeft);
        fw::MouseMoveTo(RowPoint(To, 70, static_cast<int>(Rnd(6))), fw::ssLeft);
        fw::MouseUpAt(RowPoint(To, 72, static_cast<int>(Rnd(6))));
        break;
    }
    case 4:
        fw::MouseMoveTo(RowPoint(T, X, Row));
        fw::AdvanceClock(1500);
        fw::ProcessMessages();
        break;
    default: fw::MouseWheelAt(RowPoint(T, X, Row), Chance(2) ? 120 : -120); break;
    }
}

void Workout::KeysStep() {
    TBaseLazyTree* T = AnyTree();
    T->SetFocus();
    static const std::uint16_t Keys[] = {fw::VK_DOWN,  fw::VK_UP,       fw::VK_RIGHT, fw::VK_LEFT,
                                         fw::VK_ADD,   fw::VK_SUBTRACT, fw::VK_MULTIPLY,
                                         fw::VK_SPACE, fw::VK_HOME,     fw::VK_END,   fw::VK_NEXT,
                                         fw::VK_PRIOR, fw::VK_TAB,      fw::VK_DIVIDE};
    for (int I = 0, N = 1 + static_cast<int>(Rnd(5)); I < N; ++I)
        fw::PressKey(Keys[Rnd(std::size(Keys))], Chance(4) ? fw::ssShift : 0);
    if (Chance(3)) {
        fw::KeyChar('n');
        fw::KeyChar('o');
        fw::AdvanceClock(1500);
    }
}

void Workout::EditStep() {
    TBaseLazyTree* T = Chance(2) ? A : B;
    PLazyNode N = AnyNode(T);
    if (!N) return;
    T->EditNode(N, static_cast<int>(Rnd(static_cast<std::uint32_t>(T->Header()->Columns().Count()))));
    fw::ProcessMessages();
    fw::KeyChar('z');
    if (Chance(2))
        fw::PressKey(fw::VK_RETURN);
    else if (Chance(2))
        fw::PressKey(fw::VK_ESCAPE);
    else
        T->EndEditNode();
}

void Workout::HeaderStep() {
    TBaseLazyTree* T = AnyTree();
    switch (Rnd(4)) {
    case 0: ClickOn(T, static_cast<int>(10 + Rnd(200)), 5); break;
    case 1:
        fw::MouseDownAt(fw::ControlPoint(T, 89, 5));
        fw::MouseMoveTo(fw::ControlPoint(T, 60 + static_cast<int>(Rnd(60)), 5), fw::ssLeft);
        fw::MouseUpAt(fw::ControlPoint(T, 100, 5));
        break;
    case 2:
        if (T->Header()->Columns().Count() > 1) T->Header()->Columns().Delete(0);
        break;
    default: T->Header()->Columns().Add()->SetWidth(60); break;
    }
}

void Workout::RandomStep(int Index) {
    StepIndex = Index;
    Armed = false;
    Step("keep small", [&] { KeepSmall(); });
    Armed = true;
    TBaseLazyTree* T = AnyTree();
    switch (Rnd(12)) {
    case 0: Step("mouse", [&] { MouseStep(); }); break;
    case 1: Step("keys", [&] { KeysStep(); }); break;
    case 2: Step("edit", [&] { EditStep(); }); break;
    case 3: Step("streams", [&] { StreamStep(); }); break;
    case 4: Step("clipboard", [&] { ClipboardStep(); }); break;
    case 5: Step("header", [&] { HeaderStep(); }); break;
    case 6: Step("worker", [&] { NoWorker ? ProgramCall(T) : WorkerMidOperation(); }); break;
    case 7: Step("paint", [&] {
        fw::TBitmap Shot;
        Shot.SetSize(T->Width(), T->Height());
        fw::PaintControlTo(T, Shot.Surface());
    }); break;
    default: Step("program", [&] { ProgramCall(T); }); break;
    }
}

void Workout::RunSeed(std::uint32_t S, int Steps) {
    Seed = S;
    Rng.seed(S);
    Stop = false;
    Armed = false;
    Tracing = std::getenv("TREE_WORKOUT_TRACE") != nullptr;
    // Without the worker's messages answered a seed runs the same every time.
    NoWorker = std::getenv("TREE_WORKOUT_NO_WORKER") != nullptr;
    if (!Dog) Dog = std::make_unique<TWatchdog>();
    Trace("seed %s%s\n", std::to_string(S));
    Build();
    // About sixty events, each answered by actions with a chance this seed.
    static const char* const All[] = {
#define NAME(E) #E,
        WORKOUT_EVENTS(NAME)
#undef NAME
            "OnStateChange", "OnInitNode", "OnInitChildren", "OnCreateEditor", "OnLoadNode", "OnDragAllowed",
        "OnDragOver", "OnDragDrop", "OnGetText", "OnPaintText", "OnGetHint", "OnNewText",
        "OnDrawNode", "OnGetNodeWidth"};
    Hostile.clear();
    for (const char* E : All)
        if (Chance(2)) Hostile.push_back(E);
    // The trees are filled before the handlers are let loose.
    for (TBaseLazyTree* T : Trees)
        T->SetRootNodeCount(4 + Rnd(5));
    Armed = true;
    for (int I = 0; I < Steps && !Stop && !HasFatalFailure(); ++I)
        RandomStep(I);
    Armed = false;
    // The trees go with the form, their handlers still armed.
    Armed = true;
    Teardown = true;
    Budget = 4;
    try {
        Form.reset();
    } catch (const std::exception& E) {
        ++Failures;
        ADD_FAILURE() << "seed " << S << ": freeing the trees raised " << E.what();
    }
    Armed = false;
    Teardown = false;
    A = B = nullptr;
    D = nullptr;
    Trees.clear();
}

int WorkoutSteps() {
    const char* S = std::getenv("TREE_WORKOUT_STEPS");
    return S ? std::max(1, std::atoi(S)) : 150;
}

class WorkoutSeeds : public Workout, public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(WorkoutSeeds, HandlersAndCallbacksNeverBreakTheTrees) {
    if (std::getenv("TREE_WORKOUT_SEEDS")) GTEST_SKIP() << "the seeds run in ManySeeds";
    RunSeed(GetParam(), WorkoutSteps());
}

INSTANTIATE_TEST_SUITE_P(Seeds, WorkoutSeeds, ::testing::Values(1u, 2u, 3u, 4u));

// TREE_WORKOUT_SEEDS=300 (or 1000-1299): many seeds, one after the other.
TEST_F(Workout, ManySeeds) {
    const char* Seeds = std::getenv("TREE_WORKOUT_SEEDS");
    if (!Seeds) GTEST_SKIP() << "set TREE_WORKOUT_SEEDS to run many seeds";
    std::uint32_t First = 1, Last = 0;
    if (const char* Dash = std::strchr(Seeds, '-')) {
        First = static_cast<std::uint32_t>(std::atoi(Seeds));
        Last = static_cast<std::uint32_t>(std::atoi(Dash + 1));
    } else {
        Last = static_cast<std::uint32_t>(std::atoi(Seeds));
    }
    int Failed = 0;
    for (std::uint32_t S = First; S <= Last; ++S) {
        Failures = 0;
        RunSeed(S, WorkoutSteps());
        if (Failures > 0) {
            ++Failed;
            std::fprintf(stderr, "workout: seed %u failed\n", S);
        }
        fw::ResetInputState();
    }
    std::fprintf(stderr, "workout: %u seeds, %d with failures\n", Last - First + 1, Failed);
}

} // namespace
} // namespace vel
