// Busy scopes and the deletions asked for inside them: the nodes leave the
// tree at once, their memory waits for the outermost operation's end.
#include "LazyTrees.h"

#include "LazyTreeInternal.h"

#include "Messages.h"

#include <vector>

namespace vel {

using namespace lt;

// ------------------------------------------------- handlers that delete nodes

void TBaseLazyTree::EnterBusy(TBusyKind Kind) {
    if (FBusyCount == 0) FBusyBase = fw::HandlerDepth();
    ++FBusyCount;
    if (Kind == TBusyKind::Handler) ++FHandlerDepth;
}

void TBaseLazyTree::LeaveBusy(TBusyKind Kind) {
    if (Kind == TBusyKind::Handler && FHandlerDepth > 0) --FHandlerDepth;
    if (FBusyCount > 0) --FBusyCount;
    // Selection entries marked while counts were raised (an update, or an
    // operation's own count) go once nothing holds them: whichever scope
    // ended last need not have been an update's.
    if (FBusyCount == 0 && FUpdateCount == 0 && FSelectionMarked) PackSelection();
    if (FBusyCount == 0 && FScrollBarsWanted) UpdateWantedScrollBars();
    if (FBusyCount != 0 || (FDeferred.empty() && FDoomed.empty() && !FCacheWanted)) return;
    if (Kind == TBusyKind::Operation) {
        RunDeferred();
        if (FCacheWanted && FBusyCount == 0) {
            FCacheWanted = false;
            InvalidateCache();
        }
        return;
    }
    // A handler called outside every operation, or a node handed back: whoever
    // called may still hold the node, so its memory waits for the message
    // loop (or, with no window, for the end of the next operation).
    if (HandleAllocated() && !FDeferredPosted) {
        FDeferredPosted = true;
        fw::PostMessage(Handle(), lt::CM_RUNDEFERRED, 0, 0);
    }
}

void TBaseLazyTree::UpdateWantedScrollBars() {
    if (FUpdatingWantedBars || FGoing) return;
    FUpdatingWantedBars = true;
    fw::TScopeExit Done([this] { FUpdatingWantedBars = false; });
    // Measuring the rows on screen may initialise more that ask again.
    for (int Round = 0; FScrollBarsWanted && Round < 8; ++Round) {
        FScrollBarsWanted = false;
        UpdateScrollBars(true);
    }
}

bool TBaseLazyTree::DeletionsWait() const {
    // Inside the tree's own handler, a walk's callback, a timer or a message
    // handled inside an operation; or inside any handler (another tree's, a
    // paint's, the framework's) that a running operation called: whatever
    // that operation holds stays until it ends.
    return FHandlerDepth > 0 || (FBusyCount > 0 && fw::HandlerDepth() > FBusyBase);
}

bool TBaseLazyTree::DeferWhileBusy(std::function<void()> Run) {
    if (!DeletionsWait()) return false;
    FDeferred.push_back(std::move(Run));
    return true;
}

void TBaseLazyTree::RefuseWhileIterating() const {
    LTAssert(!InState(tsIterating),
             "Deleting nodes during tree iteration leads to invalid pointers.");
}

void TBaseLazyTree::RunDeferred() {
    // Each runs as an operation of its own (the tree is not busy meanwhile);
    // the handlers of a column's deletion or of a free queue theirs behind
    // it, for this loop.
    if (FRunningDeferred) return;
    FRunningDeferred = true;
    // One that throws stops the loop: the rest wait for the message loop.
    fw::TScopeExit Done([this] {
        FRunningDeferred = false;
        if ((!FDeferred.empty() || !FDoomed.empty()) && HandleAllocated() && !FDeferredPosted) {
            FDeferredPosted = true;
            fw::PostMessage(Handle(), lt::CM_RUNDEFERRED, 0, 0);
        }
    });
    while (!FDeferred.empty() || !FDoomed.empty()) {
        if (FDeferred.empty()) {
            FreeDoomed();
            continue;
        }
        std::function<void()> Run = std::move(FDeferred.front());
        FDeferred.pop_front();
        Run();
    }
}

// ------------------------------------------ deletions while handlers hold nodes

bool TBaseLazyTree::DoomSubtree(PLazyNode Top) {
    // Pre-order without a call stack; no handler runs.
    bool Focused = false, Anchor = false;
    for (PLazyNode Run = Top; Run;) {
        Run->Internal |= nfDoomed;
        Focused = Focused || Run == FFocusedNode;
        Anchor = Anchor || Run == FRangeAnchor;
        if (Run->States & vsSelected) MarkForRemoval(Run);
        ForgetNode(Run);
        if (Run->FirstChild) {
            Run = Run->FirstChild;
            continue;
        }
        while (Run != Top && !Run->NextSibling)
            Run = Run->Parent;
        Run = Run == Top ? nullptr : Run->NextSibling;
    }
    if (Anchor) ResetRangeAnchor();
    return Focused;
}

void TBaseLazyTree::TakeOut(PLazyNode Node, bool Reindex) {
    if (!(Node->Internal & nfRaw)) {
        UnlinkNode(Node, true, Reindex);
        return;
    }
    // A node being read is in no total of the tree yet: its links go, and
    // what the nodes read whole above it summed of it (the others sum their
    // children when they are read whole).
    const std::uint32_t Count = NodeTotalCount(Node);
    std::uint32_t Height = (Node->States & vsVisible) ? Node->TotalHeight : 0;
    PLazyNode Parent = Node->Parent;
    --Parent->ChildCount;
    Unchain(Node, Reindex);
    for (PLazyNode Run = Parent; Run && (Run->Internal & nfRaw); Run = Run->Parent) {
        Run->CachedTotalCount -= Count;
        if (!(Run->States & vsExpanded)) Height = 0;
        Run->TotalHeight -= Height;
        if (!(Run->States & vsVisible)) Height = 0;
    }
    NoteStructureChange();
    NoteRowsChanged();
}

void TBaseLazyTree::DetachNode(PLazyNode Node, bool Reindex) {
    lt::TBusyScope Busy(*this);
    InterruptValidation();
    // Its messages may have run handlers: the node is taken as it is now.
    if (!Node->Parent || DeletionRuns(Node) || Doomed(Node)) return;
    PLazyNode Parent = Node->Parent;
    const bool ParentClearing = (Parent->States & vsClearing) != 0;
    const bool WasSelected = (Node->States & vsSelected) != 0;
    // No handler runs until the tree holds none of the subtree.
    const bool Focused = DoomSubtree(Node);
    TakeOut(Node, Reindex);
    FDoomed.push_back(Node);
    if (FUpdateCount == 0 && FSelectionMarked) PackSelection();
    // Then what the deletion tells, as one that frees at once tells it.
    if (!ParentClearing) StructureChange(Parent == FRoot ? nullptr : Parent, crChildDeleted);
    if (WasSelected && FUpdateCount == 0) {
        TStateScope S(*this, tsSynchMode, InState(tsSynchMode));
        Change(Node);
        S.Leave();
    }
    AfterDetach(Focused);
}

void TBaseLazyTree::DetachChildren(PLazyNode Node, bool ResetHasChildren) {
    lt::TBusyScope Busy(*this);
    InterruptValidation();
    if ((Node->States & (vsClearing | vsDeleting)) || Doomed(Node)) return;
    // Children whose own deletion runs finish it; children being read are in
    // no total yet. No handler runs until the tree holds none of the rest.
    const bool Shown = (Node == FRoot || FullyVisible(Node)) && (Node->States & vsExpanded);
    std::int64_t Count = 0, Height = 0;
    std::uint32_t Rows = 0;
    bool Focused = false;
    for (PLazyNode Run = Node->FirstChild; Run;) {
        PLazyNode Next = Run->NextSibling;
        if (!DeletionRuns(Run)) {
            Focused = DoomSubtree(Run) || Focused;
            if (!(Run->Internal & nfRaw)) {
                Count += NodeTotalCount(Run);
                if (Run->States & vsVisible) {
                    Height += Run->TotalHeight;
                    if (Shown) Rows += 1 + CountVisibleChildren(Run);
                }
            }
            --Node->ChildCount;
            Unchain(Run, false);
            FDoomed.push_back(Run);
        }
        Run = Next;
    }
    NumberChildren(Node);
    FVisibleCount -= Rows;
    AdjustTotalCount(Node, -Count, true);
    if (Node->States & vsExpanded) AdjustTotalHeight(Node, -Height, true);
    if (!Node->FirstChild) {
        Node->ChildCount = 0;
        if (ResetHasChildren) Node->States &= ~vsHasChildren;
        if (Node != FRoot) Node->States &= ~vsExpanded;
    }
    NoteStructureChange();
    NoteRowsChanged();
    if (FUpdateCount == 0 && FSelectionMarked) PackSelection();
    StructureChange(Node == FRoot ? nullptr : Node, crChildDeleted);
    AfterDetach(Focused);
}

void TBaseLazyTree::AfterDetach(bool Focused) {
    // The focus went with the nodes; so does an edit of the focused node.
    if (Focused) {
        if (InState(tsEditing) || InState(tsEditPending)) CancelEditNode();
        DoFocusChange(FFocusedNode, FFocusedColumn);
    }
    if (InState(tsHint)) DoStateChange({}, {tsHint});
    MarkValidationNeeded();
    if (FUpdateCount == 0) {
        InvalidateCache();
        UpdateScrollBars(true);
        Invalidate();
    }
}

void TBaseLazyTree::FreeDoomed() {
    // Deepest and last first, each with its OnFreeNode; the nodes of a
    // doomed subtree take no children and stay put, and what the handlers
    // delete meanwhile joins the list.
    while (!FDoomed.empty()) {
        PLazyNode Top = FDoomed.back();
        FDoomed.pop_back();
        Top->States |= vsDeleting | vsClearing;
        FreeDescendants(Top);
        DoFreeNode(Top);
    }
}

void TBaseLazyTree::TellDoomed() {
    // Deepest and last first, as FreeDoomed goes. Doomed subtrees stay as they
    // are; what the handlers delete meanwhile joins the list.
    for (std::size_t I = 0; I < FDoomed.size(); ++I) {
        std::vector<PLazyNode> Order{FDoomed[I]};
        for (std::size_t J = 0; J < Order.size(); ++J)
            for (PLazyNode C = Order[J]->FirstChild; C; C = C->NextSibling)
                Order.push_back(C);
        for (auto It = Order.rbegin(); It != Order.rend(); ++It)
            TellFreed(*It);
    }
}

} // namespace vel
