// Scope guards and selection-array helpers shared by the tree's units.
#pragma once

#include "LazyTrees.h"

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

// Enters a state for a scope and leaves it again unless it was set before.
class TStateScope {
public:
    TStateScope(TBaseLazyTree& T, TLazyTreeState S, bool WasSet) : FT(T), FS(S), FLeave(!WasSet) {
        FT.DoStateChange({FS});
    }
    ~TStateScope() {
        if (FLeave) FT.DoStateChange({}, {FS});
    }
    TStateScope(const TStateScope&) = delete;
    TStateScope& operator=(const TStateScope&) = delete;

private:
    TBaseLazyTree& FT;
    TLazyTreeState FS;
    bool FLeave;
};

// Raises the update count for a scope without OnUpdating.
class TCountScope {
public:
    explicit TCountScope(std::uint32_t& C) : FC(C) { ++FC; }
    ~TCountScope() {
        if (FC > 0) --FC;
    }
    TCountScope(const TCountScope&) = delete;
    TCountScope& operator=(const TCountScope&) = delete;

private:
    std::uint32_t& FC;
};

class TUpdateScope {
public:
    explicit TUpdateScope(TBaseLazyTree& T) : FT(T) { FT.BeginUpdate(); }
    ~TUpdateScope() { FT.EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TBaseLazyTree& FT;
};

} // namespace vel::lt
