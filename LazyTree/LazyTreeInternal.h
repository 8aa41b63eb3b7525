// Named scopes and selection-array helpers shared by the tree's units.
#pragma once

#include "LazyTrees.h"
#include "ScopeExit.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

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

// Posted to a tree whose handler deleted nodes (or asked for a column's
// deletion) while nothing held the tree busy: what waits goes once that
// message is handled.
constexpr fw::UINT CM_RUNDEFERRED = fw::CM_BASE + 2006;

// TLazyNode::Internal marks.
constexpr std::uint8_t nfCountStale = 1; // TotalCount waits for a recount; so do the ancestors'
constexpr std::uint8_t nfTold = 2;       // its OnFreeNode fired already (its tree was freed first)
constexpr std::uint8_t nfRaw = 4;        // being read from a stream: not yet in any total

constexpr std::uint8_t nfGoing = 8;      // DeleteNodeNow runs on it: it takes no children, stays put
constexpr std::uint8_t nfDoomed = 16;    // deleted while busy: out of the tree, its memory waits
constexpr std::uint8_t nfReadInto = 32;  // a read runs into it: it takes no other stream's nodes

// A scope that holds nodes (see TBaseLazyTree::TBusyKind): an operation, a
// handler or walk callback, or a function handing back a node. Nodes deleted
// inside leave the tree at once; their memory waits for the outermost
// operation's end, which frees it (and runs the column deletions queued); an
// exception raised there is reported and dropped, as every leave step in a
// destructor. The tree itself is held too: fw::Free of it (or of its owner)
// waits for the last scope.
// A tree to hold for a scope (fw::TFreeGuard): none on its way out, which
// nothing may free a second time.
inline fw::TComponent* Holdable(TBaseLazyTree& T) {
    fw::TComponent& C = T;
    return C.InState(fw::TComponentStateItem::Destroying) ? nullptr : &C;
}

class TBusyScope {
public:
    using TKind = TBaseLazyTree::TBusyKind;
    explicit TBusyScope(TBaseLazyTree& T, TKind Kind = TKind::Operation)
        : FHold(Holdable(T)), FTree(T), FKind(Kind) {
        T.EnterBusy(Kind);
    }
    ~TBusyScope() {
        try {
            FTree.LeaveBusy(FKind);
        } catch (...) {
            fw::ReportLeaveStepError();
        }
    }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    fw::TFreeGuard FHold;
    TBaseLazyTree& FTree;
    TKind FKind;
};

// Nodes of a tree an operation holds across handlers of any tree, or goes on
// to visit while it frees others: a node freed meanwhile leaves the set (the
// tree's ForgetNode takes it out), so it is never visited. The tree is held
// meanwhile: one freed by a handler (another tree's, of an operation across
// both) lets its nodes go at once, and its memory when the watch ends.
class TNodeWatch {
public:
    TNodeWatch(TBaseLazyTree& T, const TNodeArray& Nodes)
        : FHold(Holdable(T)), FTree(T), FLive(Nodes.begin(), Nodes.end()) {
        T.FNodeWatches.push_back(&FLive);
    }
    ~TNodeWatch() { std::erase(FTree.FNodeWatches, &FLive); }
    TNodeWatch(const TNodeWatch&) = delete;
    TNodeWatch& operator=(const TNodeWatch&) = delete;
    // A deleted node whose memory waits counts as gone.
    bool Alive(PLazyNode Node) const { return FLive.contains(Node) && !(Node->Internal & nfDoomed); }
    void Add(PLazyNode Node) { FLive.insert(Node); }
    const std::unordered_set<PLazyNode>& Live() const { return FLive; }

private:
    fw::TFreeGuard FHold;
    TBaseLazyTree& FTree;
    std::unordered_set<PLazyNode> FLive;
};

// A node whose deletion runs (DeleteNodeNow on it, or a walk freeing it): a
// deletion asked for meanwhile leaves it to that one.
inline bool DeletionRuns(PLazyNode Node) {
    return (Node->States & vsDeleting) || (Node->Internal & nfGoing);
}

// A node deleted while the tree was busy: out of the tree, its memory waiting.
inline bool Doomed(PLazyNode Node) {
    return Node && (Node->Internal & nfDoomed);
}

// A node being freed, deleted, cleared (its children freed) or read, or
// deleted already with its memory waiting, stays as it is: it is not moved,
// shown, hidden or toggled, and takes no children.
inline bool StaysPut(PLazyNode Node) {
    return (Node->States & (vsDeleting | vsClearing)) ||
           (Node->Internal & (nfGoing | nfRaw | nfDoomed));
}

// A position or offset worked out wide, as an int: further away than 32 bits
// hold with a row's height added counts as that far (offsets stop earlier,
// at MaxScrollDepth, so what is on screen is exact).
inline int Reachable(std::int64_t Value) {
    constexpr std::int64_t Far = INT32_MAX - std::int64_t{TBaseLazyTree::MaxNodeHeight} - 1;
    return static_cast<int>(std::clamp<std::int64_t>(Value, -Far, Far));
}

// Levels times the indent, worked out wide: a deep chain at a large indent
// reaches past what an int holds, and is held as far as Reachable reaches.
inline int IndentWidth(std::uint64_t Levels, std::uint32_t Indent) {
    return Reachable(static_cast<std::int64_t>(Levels) * Indent);
}

// Chains Node behind Parent's last child: links and index; counts are the caller's.
inline void ChainLast(PLazyNode Node, PLazyNode Parent) {
    Node->Parent = Parent;
    Node->NextSibling = nullptr;
    Node->PrevSibling = Parent->LastChild;
    Node->Index = Parent->LastChild ? Parent->LastChild->Index + 1 : 0;
    if (Parent->LastChild)
        Parent->LastChild->NextSibling = Node;
    else
        Parent->FirstChild = Node;
    Parent->LastChild = Node;
}

// Takes Node out of its parent's sibling chain, wherever it stands, and
// clears its links; Reindex numbers the later siblings on. Counts are the caller's.
inline void Unchain(PLazyNode Node, bool Reindex) {
    PLazyNode Parent = Node->Parent;
    if (Node->PrevSibling)
        Node->PrevSibling->NextSibling = Node->NextSibling;
    else if (Parent->FirstChild == Node)
        Parent->FirstChild = Node->NextSibling;
    if (Node->NextSibling) {
        Node->NextSibling->PrevSibling = Node->PrevSibling;
        if (Reindex) {
            std::uint32_t Index = Node->Index;
            for (PLazyNode Run = Node->NextSibling; Run; Run = Run->NextSibling)
                Run->Index = Index++;
        }
    } else if (Parent->LastChild == Node) {
        Parent->LastChild = Node->PrevSibling;
    }
    Node->Parent = nullptr;
    Node->PrevSibling = nullptr;
    Node->NextSibling = nullptr;
}

// Numbers Parent's children from 0 in sibling order.
inline void NumberChildren(PLazyNode Parent) {
    std::uint32_t Index = 0;
    for (PLazyNode Run = Parent->FirstChild; Run; Run = Run->NextSibling)
        Run->Index = Index++;
}

// Whether Node lies below Top (Top itself not counted); nil Top is the root.
inline bool Below(PLazyNode Node, PLazyNode Top) {
    for (PLazyNode Run = Node->Parent; Run; Run = Run->Parent) {
        if (Run == Top) return true;
        if (Run->NextSibling == Run) return Top == nullptr; // the hidden root
    }
    return false;
}

// Node's parent as the walk up from a node finds it before asking a handler
// about the node: the walk goes on from there when the handler deleted the
// node, and stops at an ancestor deleted too.
inline PLazyNode UpFrom(PLazyNode Node) {
    return Doomed(Node->Parent) ? nullptr : Node->Parent;
}

// Visits Node's descendants in tree order without a call stack; Visit(N)
// runs before N's children are looked at and answers whether to go into them
// (it may create them). Visit may run handlers that change the tree: when the
// structure moved, the walk goes on from N only while N is still below Node.
template <class F> void WalkBelow(TBaseLazyTree& Tree, PLazyNode Node, F&& Visit) {
    PLazyNode Run = Node->FirstChild;
    while (Run) {
        const std::uint64_t Stamp = Tree.StructureStamp();
        const bool Into = Visit(Run);
        if (Tree.StructureStamp() != Stamp && !Below(Run, Node)) return;
        if (Into && Run->FirstChild) {
            Run = Run->FirstChild;
            continue;
        }
        while (Run != Node && !Run->NextSibling)
            Run = Run->Parent;
        Run = Run == Node ? nullptr : Run->NextSibling;
    }
}

// Calls an assigned event inside a handler's busy scope, through a copy (a
// handler may replace or clear itself).
template <class TEvent, class... TArgs>
void Fire(TBaseLazyTree& Tree, const TEvent& Event, TArgs&&... Args) {
    if (!Event && !fw::HandlerProbeActive()) return;
    TBusyScope Busy(Tree, TBaseLazyTree::TBusyKind::Handler);
    fw::CallHandler(Event, std::forward<TArgs>(Args)...);
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
