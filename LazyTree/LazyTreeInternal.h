// Named scopes and selection-array helpers shared by the tree's units.
#pragma once

#include "LazyTrees.h"
#include "ScopeExit.h"

namespace vel {

// The pressed and the released form of a check state.
TCheckState PressedCheckState(TCheckState S);
TCheckState ReleasedCheckState(TCheckState S);

} // namespace vel

namespace vel::lt {

// The low address bit marks a selection entry for removal.
inline bool IsMarked(PLazyNode P) {
    return (reinterpret_cast<std::uintptr_t>(P) & 1) != 0;
}
inline PLazyNode Marked(PLazyNode P) {
    return reinterpret_cast<PLazyNode>(reinterpret_cast<std::uintptr_t>(P) | 1);
}

// Drops marked entries; answers the new count, or -1 when none was marked.
inline int PackArray(TNodeArray& A, int Count) {
    int W = 0;
    bool Any = false;
    for (int I = 0; I < Count; ++I) {
        if (IsMarked(A[static_cast<std::size_t>(I)])) {
            Any = true;
            continue;
        }
        A[static_cast<std::size_t>(W++)] = A[static_cast<std::size_t>(I)];
    }
    return Any ? W : -1;
}

// Posted to a tree whose handler asked for deletions while nothing held
// the tree busy: they run once that message is handled.
constexpr fw::UINT CM_RUNDEFERRED = fw::CM_BASE + 2006;

// TLazyNode::Internal marks.
constexpr std::uint8_t nfCountStale = 1; // TotalCount waits for a recount; so do the ancestors'
constexpr std::uint8_t nfCounted = 2;    // while its subtree is freed: counted in VisibleCount
constexpr std::uint8_t nfRaw = 4;        // being read from a stream: not yet in any total

// An operation that holds node pointers across handler calls, or (Handler)
// a dispatcher calling a handler: deletions asked for meanwhile wait for the
// outermost scope's end. The end runs them; an exception they raise there is
// reported and dropped, as every leave step in a destructor. The tree itself
// is held too: fw::Free of it (or of its owner) waits for the last scope.
class TBusyScope {
public:
    explicit TBusyScope(TBaseLazyTree& T, bool Handler = false)
        : FHold(Holdable(T)), FTree(T), FHandler(Handler) {
        T.EnterBusy(Handler);
    }
    ~TBusyScope() {
        try {
            FTree.LeaveBusy(FHandler);
        } catch (...) {
            fw::ReportLeaveStepError();
        }
    }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    // A tree on its way out is not held: nothing may free it a second time.
    static fw::TComponent* Holdable(TBaseLazyTree& T) {
        fw::TComponent& C = T;
        return C.InState(fw::TComponentStateItem::Destroying) ? nullptr : &C;
    }
    fw::TFreeGuard FHold;
    TBaseLazyTree& FTree;
    bool FHandler;
};

// Nodes of a tree an operation holds across handlers of any tree: a node
// freed meanwhile leaves the set (the tree's ForgetNode takes it out).
class TNodeWatch {
public:
    TNodeWatch(TBaseLazyTree& T, const TNodeArray& Nodes)
        : FTree(T), FLive(Nodes.begin(), Nodes.end()) {
        T.FNodeWatches.push_back(&FLive);
    }
    ~TNodeWatch() { std::erase(FTree.FNodeWatches, &FLive); }
    TNodeWatch(const TNodeWatch&) = delete;
    TNodeWatch& operator=(const TNodeWatch&) = delete;
    bool Alive(PLazyNode Node) const { return FLive.contains(Node); }

private:
    TBaseLazyTree& FTree;
    std::unordered_set<PLazyNode> FLive;
};

// Visits Node's descendants in tree order without a call stack; Visit(N)
// runs before N's children are looked at and answers whether to go into them
// (it may create them).
template <class F> void WalkBelow(PLazyNode Node, F&& Visit) {
    PLazyNode Run = Node->FirstChild;
    while (Run) {
        if (Visit(Run) && Run->FirstChild) {
            Run = Run->FirstChild;
            continue;
        }
        while (Run != Node && !Run->NextSibling)
            Run = Run->Parent;
        Run = Run == Node ? nullptr : Run->NextSibling;
    }
}

// Calls an assigned event inside a handler's busy scope.
template <class TEvent, class... TArgs>
void Fire(TBaseLazyTree& Tree, const TEvent& Event, TArgs&&... Args) {
    if (!Event) return;
    TBusyScope Busy(Tree, true);
    Event(std::forward<TArgs>(Args)...);
}

// The named scopes below are left on every exit path. Their leave steps call
// the tree's handlers: call Leave() at the end of the normal path so that a
// handler's exception reaches the caller (see fw::TScopeExit).

// Enters a state for a scope and leaves it again unless it was set before.
class TStateScope {
public:
    TStateScope(TBaseLazyTree& T, TLazyTreeState S, bool WasSet)
        : FGuard(fw::EnterScope([&T, S] { T.DoStateChange({S}); }, TLeaveStep{&T, S, !WasSet})) {}
    void Leave() { FGuard.Leave(); }

private:
    struct TLeaveStep {
        TBaseLazyTree* T;
        TLazyTreeState S;
        bool Leave;
        void operator()() const {
            if (Leave) T->DoStateChange({}, {S});
        }
    };
    fw::TScopeExit<TLeaveStep> FGuard;
};

// Raises the update count for a scope without OnUpdating.
class TCountScope {
public:
    explicit TCountScope(std::uint32_t& C)
        : FGuard(fw::EnterScope([&C] { ++C; }, TLeaveStep{&C})) {}

private:
    struct TLeaveStep {
        std::uint32_t* C;
        void operator()() const {
            if (*C > 0) --*C;
        }
    };
    fw::TScopeExit<TLeaveStep> FGuard;
};

// BeginUpdate for a scope, EndUpdate when it ends.
class TUpdateScope {
public:
    explicit TUpdateScope(TBaseLazyTree& T)
        : FGuard(fw::EnterScope([&T] { T.BeginUpdate(); }, TLeaveStep{&T})) {}
    void Leave() { FGuard.Leave(); }

private:
    struct TLeaveStep {
        TBaseLazyTree* T;
        void operator()() const { T->EndUpdate(); }
    };
    fw::TScopeExit<TLeaveStep> FGuard;
};

} // namespace vel::lt
