// Named scopes and selection-array helpers shared by the tree's units.
#pragma once

#include "LazyTrees.h"
#include "ScopeExit.h"

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
