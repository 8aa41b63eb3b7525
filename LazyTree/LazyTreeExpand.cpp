// Expanding and collapsing nodes, full expands and collapses with their
// totals settled once, and walks over a subtree (IterateSubtree).
#include "LazyTrees.h"
#include "LazyTreeInternal.h"

#include "ScopeExit.h"

#include <cstdint>
#include <vector>

namespace vel {
using namespace lt;

// ------------------------------------------------------ expand and collapse

bool TBaseLazyTree::Expanded(PLazyNode Node) const {
    return Node && (Node->States & vsExpanded) != 0;
}

void TBaseLazyTree::SetExpanded(PLazyNode Node, bool Value) {
    if (!Node || Node == FRoot || Expanded(Node) == Value) return;
    ToggleNode(Node);
}

void TBaseLazyTree::ToggleNode(PLazyNode Node) {
    LTAssert(Node != nullptr, "Node must not be nil.");
    if (Node == FRoot || StaysPut(Node)) return;
    lt::TBusyScope Busy(*this);
    const bool WasExpanded = (Node->States & vsExpanded) != 0;
    PLazyNode OldTop = FUpdateCount == 0 && Node != FInitToggleNode ? GetTopNode() : nullptr;
    // Measuring the top row runs handlers: one that toggled the node already
    // did what was asked (undoing it could free what the caller holds).
    if (((Node->States & vsExpanded) != 0) != WasExpanded) return;
    const bool Changed = WasExpanded ? CollapseNode(Node) : ExpandNode(Node);
    if (Changed) AfterToggle(Node, OldTop);
}

bool TBaseLazyTree::CollapseNode(PLazyNode Node) {
    if (!DoCollapsing(Node) || !(Node->States & vsExpanded)) return false;
    AnimateToggle(Node, false);
    if (!(Node->States & vsExpanded)) return false; // collapsed meanwhile
    InterruptValidation();
    if (!(Node->States & vsExpanded)) return false;
    if (!BatchToggle(Node)) {
        std::uint32_t Hidden = FullyVisible(Node) ? CountVisibleChildren(Node) : 0;
        AdjustTotalHeight(Node, Node->NodeHeight, false);
        FVisibleCount -= Hidden;
        NoteRowsChanged();
    }
    Node->States &= ~vsExpanded;
    DoCollapsed(Node);
    if ((AutoOptions() & toAutoFreeOnCollapse) && Node->ChildCount > 0) {
        DeleteChildren(Node, false);
        Node->States |= vsHasChildren;
    }
    return true;
}

bool TBaseLazyTree::ExpandNode(PLazyNode Node) {
    if (!DoExpanding(Node)) return false;
    if (!(Node->States & vsInitialized)) InitNode(Node);
    if ((Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    if (Node->States & vsExpanded) return false;
    AnimateToggle(Node, true);
    if (Node->States & vsExpanded) return false; // expanded meanwhile
    InterruptValidation();
    if (Node->States & vsExpanded) return false;
    Node->States |= vsExpanded;
    if (!BatchToggle(Node)) {
        std::int64_t Add = 0;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            if (Run->States & vsVisible) Add += Run->TotalHeight;
        AdjustTotalHeight(Node, Add, true);
        if (FullyVisible(Node)) FVisibleCount += CountVisibleChildren(Node);
        NoteRowsChanged();
    }
    DoExpanded(Node);
    return true;
}

void TBaseLazyTree::AfterToggle(PLazyNode Node, PLazyNode OldTop) {
    MarkValidationNeeded();
    if (FUpdateCount > 0) return;
    InvalidateCache();
    if (Node == FInitToggleNode) {
        // Expanded by its own initialisation, which a walk over the rows may
        // ask for: no scrolling (the rows scrolled to would be initialised and
        // scroll on, through every node), no measuring down to the node and
        // the bars once for the whole walk; the window is repainted whole.
        if (Node->ChildCount > 0) FScrollBarsWanted = true; // the toggle's busy end
        Invalidate();
        return;
    }
    if (Node->ChildCount == 0) {
        InvalidateNode(Node);
        return;
    }
    UpdateScrollBars(true);
    if ((AutoOptions() & toAutoScrollOnExpand) && (Node->States & vsExpanded) && HandleAllocated()) {
        // Show as much of the opened subtree as fits.
        if (Node->TotalHeight <= static_cast<std::uint32_t>(RowAreaHeight()))
            ScrollIntoView(Node->LastChild, (SelectionOptions() & toCenterScrollIntoView) != 0);
        else
            SetTopNode(Node);
    }
    if (OldTop == GetTopNode())
        InvalidateToBottom(Node);
    else
        Invalidate();
}

std::uint32_t TBaseLazyTree::ShownRowsOf(PLazyNode Node) const {
    if (Node == FRoot) return CountVisibleChildren(FRoot);
    return FullyVisible(Node) ? 1 + CountVisibleChildren(Node) : 0;
}

void TBaseLazyTree::RecomputeSubtreeTotals(PLazyNode Node) {
    // Every node of the subtree, parents first; summed children first.
    std::vector<PLazyNode> All{Node};
    for (std::size_t I = 0; I < All.size(); ++I)
        for (PLazyNode C = All[I]->FirstChild; C; C = C->NextSibling)
            All.push_back(C);
    for (auto It = All.rbegin(); It != All.rend(); ++It) {
        PLazyNode N = *It;
        std::uint64_t H = N->NodeHeight;
        if (N->States & vsExpanded)
            for (PLazyNode C = N->FirstChild; C; C = C->NextSibling)
                if (C->States & vsVisible) H += C->TotalHeight;
        N->TotalHeight = static_cast<std::uint32_t>(H);
    }
}

// Runs a full expand or collapse below Node with the totals left alone, then
// sets them once: each toggle would otherwise walk up through its ancestors.
bool TBaseLazyTree::BatchToggle(PLazyNode Node) const {
    return FTotalsBatch && FHandlerDepth == FRowWatchDepth && (Node == FBatchWalkNode || FBatchStepping);
}

void TBaseLazyTree::BatchWalkToggle(PLazyNode Node) {
    PLazyNode Was = FBatchWalkNode;
    FBatchWalkNode = Node;
    fw::TScopeExit Restore([this, Was] { FBatchWalkNode = Was; });
    ToggleNode(Node);
}

template <class F> void TBaseLazyTree::BatchTotals(PLazyNode Node, F&& Run) {
    const bool Outer = FTotalsBatch == nullptr;
    // The end writes every total of the subtree, toggled or not: the worker,
    // which may hold the tree since before a paint that runs this, lets go
    // first, and is not given it again while the operation runs.
    if (Outer) InterruptValidation();
    // A batch run by a handler of another leaves totals to that one's end.
    if (!Outer) ++FHandlerRowChanges;
    const std::uint32_t ShownBefore = Outer ? ShownRowsOf(Node) : 0;
    const std::uint32_t VisibleBefore = FVisibleCount;
    const std::uint64_t ChangesBefore = FHandlerRowChanges;
    const std::uint32_t WatchBefore = FRowWatchDepth;
    if (Outer) {
        FTotalsBatch = Node;
        FRowWatchDepth = FHandlerDepth;
    }
    fw::TScopeExit Settle([this, Node, Outer, ShownBefore, VisibleBefore, ChangesBefore,
                           WatchBefore] {
        if (!Outer) return;
        FTotalsBatch = nullptr;
        FRowWatchDepth = WatchBefore;
        // A batch or a read running this one (from a handler) counts afresh too.
        fw::TScopeExit Tell([this] { NoteRowsChanged(); });
        if (FHandlerRowChanges != ChangesBefore) {
            // Handlers changed rows meanwhile, anywhere, or moved nodes whose
            // totals waited for this end: everything is counted afresh.
            RecomputeSubtreeTotals(FRoot);
            FVisibleCount = CountVisibleChildren(FRoot);
            return;
        }
        const std::uint32_t Current = Node->TotalHeight;
        RecomputeSubtreeTotals(Node);
        const std::uint32_t Now = Node->TotalHeight;
        if (Node != FRoot) {
            Node->TotalHeight = Current;
            AdjustTotalHeight(Node, Now, false);
        }
        FVisibleCount = VisibleBefore - ShownBefore + ShownRowsOf(Node);
    });
    Run();
}

namespace {

// Whether Node is Top or lies below it (nil Top: anywhere in the tree).
bool Within(PLazyNode Node, PLazyNode Top) {
    return Node && (Node == Top || lt::Below(Node, Top));
}

// The node after Run in tree order that lies within Top (nil: the whole
// tree), initialising on the way with DoInit; it never leaves Top's subtree
// for a sibling, so no stop node is kept that a handler could move.
PLazyNode StepWithin(TBaseLazyTree& T, PLazyNode Run, PLazyNode Top, bool DoInit) {
    if (PLazyNode Child = DoInit ? T.GetFirstChild(Run) : Run->FirstChild) return Child;
    for (; Run && Run != Top && Run != T.RootNode(); Run = Run->Parent)
        if (PLazyNode Next = Run->NextSibling) {
            if (DoInit && !(Next->States & vsInitialized)) T.InitNode(Next);
            return Next;
        }
    return nullptr;
}

// Visits Top's subtree from Start on, in tree order, until Visit answers
// false. Visit and the steps may run handlers: after the structure changed the
// walk goes on only from a node still within Top.
// Stepping, when given, is set while a step runs (its initialisations).
template <class F>
void WalkWithin(TBaseLazyTree& T, PLazyNode Start, PLazyNode Top, bool DoInit, F&& Visit,
                bool* Stepping = nullptr) {
    for (PLazyNode Run = Start; Run;) {
        const std::uint64_t Stamp = T.StructureStamp();
        if (!Visit(Run)) return;
        if (T.StructureStamp() != Stamp && !Within(Run, Top)) return;
        const std::uint64_t Before = T.StructureStamp();
        {
            const bool Was = Stepping && *Stepping;
            if (Stepping) *Stepping = true;
            fw::TScopeExit Done([Stepping, Was] {
                if (Stepping) *Stepping = Was;
            });
            Run = StepWithin(T, Run, Top, DoInit);
        }
        if (T.StructureStamp() != Before && !Within(Run, Top)) return;
    }
}

} // namespace

void TBaseLazyTree::FullExpand(PLazyNode Node) {
    if (FRoot->CachedTotalCount < 2) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TStateScope S(*this, tsExpanding, InState(tsExpanding));
    PLazyNode Top = Node && Node != FRoot ? Node : nullptr;
    PLazyNode Start = Top ? Top : GetFirst();
    BatchTotals(Top ? Top : FRoot, [&] {
        WalkWithin(*this, Start, Top, true, [this](PLazyNode Run) {
            if (!(Run->States & vsExpanded)) BatchWalkToggle(Run);
            return true;
        }, &FBatchStepping);
    });
    S.Leave();
    U.Leave();
}

void TBaseLazyTree::FullCollapse(PLazyNode Node) {
    if (FRoot->CachedTotalCount < 2) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TStateScope S(*this, tsCollapsing, InState(tsCollapsing));
    if (Node == FRoot) Node = nullptr;
    BatchTotals(Node ? Node : FRoot, [&] {
        PLazyNode Run = GetLastVisibleNoInit(Node);
        while (Run && Run != FRoot) {
            const std::uint64_t Stamp = FStructureStamp;
            if ((Run->States & vsExpanded) && (Run->States & vsHasChildren)) BatchWalkToggle(Run);
            if (Run == Node) break;
            // Backwards from a node within the subtree stays within it.
            if (FStructureStamp != Stamp && !Within(Run, Node)) break;
            Run = GetPreviousNoInit(Run);
        }
    });
    S.Leave();
    U.Leave();
}

// ----------------------------------------------------------------- iteration

PLazyNode TBaseLazyTree::IterateSubtree(PLazyNode Node, const TLTGetNodeProc& Callback, void* Data,
                                        TLazyNodeStates Filter, bool DoInit, bool ChildNodesOnly) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back the node it stopped at
    LTAssert(Node != FRoot, "Node must not be the hidden root node.");
    TStateScope S(*this, tsIterating, InState(tsIterating));
    // The walk stays within Top (nil: the whole tree), whatever the callback moves.
    PLazyNode Top = Node;
    if (!Node) Node = DoInit ? GetFirst() : GetFirstNoInit();
    if (Node && ChildNodesOnly) {
        if (DoInit && (Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
        Node = Node->FirstChild;
        if (Node && DoInit && !(Node->States & vsInitialized)) InitNode(Node);
    }
    PLazyNode Stopped = nullptr;
    WalkWithin(*this, Node, Top, DoInit, [&](PLazyNode Run) {
        if (Filter != 0 && (Run->States & Filter) != Filter) return true;
        bool Abort = false;
        {
            lt::TBusyScope Handler(*this, TBusyKind::Handler);
            Callback(this, Run, Data, Abort);
        }
        if (Abort) Stopped = Run;
        return !Abort;
    });
    S.Leave();
    return Stopped;
}

} // namespace vel
