// Node linking and initialization, navigation, positions, selection and focus.
#include "LazyTreeInternal.h"
#include "LazyTreeStreams.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_set>

namespace vel {

using namespace lt;

// ------------------------------------------------------------------ linking

void TBaseLazyTree::LinkNode(PLazyNode Node, PLazyNode Destination, TLTNodeAttachMode Mode) {
    if (Mode == amNoWhere) return;
    PLazyNode Parent =
        (Mode == amInsertBefore || Mode == amInsertAfter) ? Destination->Parent : Destination;
    switch (Mode) {
    case amInsertBefore:
        Node->PrevSibling = Destination->PrevSibling;
        Destination->PrevSibling = Node;
        Node->NextSibling = Destination;
        Node->Index = Destination->Index;
        if (Node->PrevSibling)
            Node->PrevSibling->NextSibling = Node;
        else
            Parent->FirstChild = Node;
        for (PLazyNode Run = Destination; Run; Run = Run->NextSibling)
            ++Run->Index;
        break;
    case amInsertAfter:
        Node->NextSibling = Destination->NextSibling;
        Destination->NextSibling = Node;
        Node->PrevSibling = Destination;
        if (Node->NextSibling)
            Node->NextSibling->PrevSibling = Node;
        else
            Parent->LastChild = Node;
        Node->Index = Destination->Index;
        for (PLazyNode Run = Node; Run; Run = Run->NextSibling)
            ++Run->Index;
        break;
    case amAddChildFirst:
        Node->PrevSibling = nullptr;
        Node->NextSibling = Destination->FirstChild;
        if (Destination->FirstChild)
            Destination->FirstChild->PrevSibling = Node;
        else
            Destination->LastChild = Node;
        Destination->FirstChild = Node;
        Node->Index = 0;
        for (PLazyNode Run = Node->NextSibling; Run; Run = Run->NextSibling)
            ++Run->Index;
        break;
    case amAddChildLast:
        ChainLast(Node, Destination);
        break;
    default:
        break;
    }
    Node->Parent = Parent;
    ++Parent->ChildCount;
    Parent->States |= vsHasChildren;
    NoteStructureChange();
    NoteRowsChanged();
    AdjustTotalCount(Parent, NodeTotalCount(Node), true);
    // A hidden node's rows are not part of its parent's height.
    if ((Parent->States & vsExpanded) && (Node->States & vsVisible))
        AdjustTotalHeight(Parent, Node->TotalHeight, true);
    if (FullyVisible(Node)) FVisibleCount += CountVisibleChildren(Node) + 1;
    Node->States &= 0xF7E9;
    if (Parent != FRoot) {
        if (Node->States & vsVisible)
            Parent->States &= ~vsAllChildrenHidden;
        else if (Parent->ChildCount == 1)
            Parent->States |= vsAllChildrenHidden;
    }
}

void TBaseLazyTree::UnlinkNode(PLazyNode Node, bool KeepFocus, bool Reindex) {
    LTAssert(Node != nullptr && Node != FRoot, "Node must neither be nil nor the root node.");
    if (Node == FFocusedNode && !KeepFocus) {
        DoFocusNode(nullptr, false);
        DoFocusChange(FFocusedNode, FFocusedColumn);
    }
    if (Node == FRangeAnchor) ResetRangeAnchor();
    PLazyNode Parent = Node->Parent;
    if (Parent != FRoot && !(Parent->States & vsClearing)) DetermineHiddenChildrenFlag(Parent);
    if (!(Node->States & vsDeleting)) {
        Node->States &= ~vsChecking;
        bool WasExpanded = (Parent->States & vsExpanded) != 0;
        bool Shown = FullyVisible(Node);
        --Parent->ChildCount;
        if (Parent->ChildCount == 0) {
            Parent->States &= ~(vsHasChildren | vsAllChildrenHidden);
            if (Parent != FRoot) Parent->States &= ~vsExpanded;
        }
        AdjustTotalCount(Parent, -static_cast<std::int64_t>(NodeTotalCount(Node)), true);
        if (WasExpanded && (Node->States & vsVisible))
            AdjustTotalHeight(Parent, -static_cast<std::int64_t>(Node->TotalHeight), true);
        if (Shown) FVisibleCount -= CountVisibleChildren(Node) + 1;
    }
    Unchain(Node, Reindex);
    NoteStructureChange();
    NoteRowsChanged();
}

std::uint32_t TBaseLazyTree::CountVisibleChildren(PLazyNode Node) const {
    // Nothing below a node whose children are being freed is shown.
    if (!(Node->States & vsExpanded) || (Node->States & vsClearing)) return 0;
    std::uint32_t Result = 0;
    // Pre-order over the shown part of the subtree, back up by the parent links.
    PLazyNode Run = Node->FirstChild;
    while (Run) {
        if (Run->States & vsVisible) {
            ++Result;
            if ((Run->States & vsExpanded) && Run->FirstChild && !(Run->States & vsClearing)) {
                Run = Run->FirstChild;
                continue;
            }
        }
        while (Run && !Run->NextSibling)
            Run = Run->Parent == Node ? nullptr : Run->Parent;
        if (Run) Run = Run->NextSibling;
    }
    return Result;
}

void TBaseLazyTree::DetermineHiddenChildrenFlag(PLazyNode Node) {
    if (!Node || Node == FRoot) return;
    bool AnyVisible = false;
    for (PLazyNode Run = Node->FirstChild; Run && !AnyVisible; Run = Run->NextSibling)
        AnyVisible = (Run->States & vsVisible) != 0;
    if (AnyVisible)
        Node->States &= ~vsAllChildrenHidden;
    else
        Node->States |= vsAllChildrenHidden;
}

void TBaseLazyTree::UpdateHiddenChildrenFlags() {
    for (PLazyNode Run = GetFirstNoInit(); Run; Run = GetNextNoInit(Run))
        DetermineHiddenChildrenFlag(Run);
}

int TBaseLazyTree::LevelDelta(PLazyNode Node1, PLazyNode Node2) const {
    LTAssert(Node1 != nullptr && Node2 != nullptr, "Both nodes must be Assigned.");
    return static_cast<int>(GetNodeLevel(Node2)) - static_cast<int>(GetNodeLevel(Node1));
}

void TBaseLazyTree::InitNode(PLazyNode Node) {
    // A deleted node (its memory waiting) asks no handler about itself.
    if (!Node || Node == FRoot || Doomed(Node)) return;
    lt::TBusyScope Busy(*this);
    // The worker reads the states of nodes while it builds the cache.
    if (InState(tsValidating)) InterruptValidation();
    Node->States |= vsInitialized;
    TLTInternalStates InitStates = 0;
    DoInitNode(Node->Parent == FRoot ? nullptr : Node->Parent, Node, InitStates);
    if (InitStates & ivsDisabled) Node->States |= vsDisabled;
    if (InitStates & ivsHasChildren) Node->States |= vsHasChildren;
    if ((InitStates & ivsSelected) && !(Node->States & vsSelected)) {
        TNodeArray One{Node};
        InternalAddToSelection(One, 1, true);
    }
    // Measured before it was known to be multi-line: measured again when next asked.
    if (InitStates & ivsMultiline) Node->States = (Node->States | vsMultiline) & ~vsHeightMeasured;
    bool WantExpanded = (InitStates & ivsExpanded) != 0;
    if (WantExpanded != ((Node->States & vsExpanded) != 0)) {
        if (WantExpanded) {
            PLazyNode Was = std::exchange(FInitToggleNode, Node);
            fw::TScopeExit Restore([this, Was] { FInitToggleNode = Was; });
            ToggleNode(Node);
        } else if (Node->States & vsHasChildren)
            InitChildren(Node);
    }
}

void TBaseLazyTree::InitChildren(PLazyNode Node) {
    if (!Node || Node == FRoot || !(Node->States & vsHasChildren) || Doomed(Node)) return;
    lt::TBusyScope Busy(*this);
    std::uint32_t Count = Node->ChildCount;
    DoInitChildren(Node, Count);
    if (Count == 0) {
        // Through the public door (a walk refuses it) and as the handler's
        // own deletion: an operation under way may hold the children.
        lt::TBusyScope Answer(*this, TBusyKind::Handler);
        DeleteChildren(Node, false);
        Node->States &= ~vsHasChildren;
    } else {
        SetChildCount(Node, Count);
    }
}

// ----------------------------------------------------------------- copying

PLazyNode TBaseLazyTree::CopyTo(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode,
                                bool ChildrenOnly) {
    // A target in another tree is that tree's copy: the nodes are made and
    // counted there.
    if (Target && Target != FRoot)
        if (TBaseLazyTree* Owner = TreeFromNode(Target); Owner && Owner != this)
            return Owner->CopyTo(Source, Target, Mode, ChildrenOnly);
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back the copy
    if (Mode == amNoWhere || !Source || ReadOnly()) return nullptr;
    TBaseLazyTree* SourceTree = TreeFromNode(Source);
    if (!SourceTree || lt::StaysPut(Source)) return nullptr; // a node on its way out or being read
    // A source in another tree is used while it lives: that tree's handlers
    // (called from here) free at once.
    TNodeArray Sources;
    if (ChildrenOnly)
        for (PLazyNode Run = Source->FirstChild; Run; Run = Run->NextSibling)
            Sources.push_back(Run);
    Sources.push_back(Source);
    lt::TNodeWatch SourceLive(*SourceTree, Sources), TargetLive(*this, {Target});
    if (!Target) {
        Target = FRoot;
        Mode = amAddChildLast;
    }
    if (Target == FRoot) {
        if (Mode == amInsertBefore)
            Mode = amAddChildFirst;
        else if (Mode == amInsertAfter)
            Mode = amAddChildLast;
    }
    if (!DoNodeCopying(Source, Target == FRoot ? nullptr : Target) || !SourceLive.Alive(Source))
        return nullptr;
    TMemoryStream Stream;
    if (ChildrenOnly) {
        // The children as they were asked for, while they live and stay Source's.
        Sources.pop_back();
        for (PLazyNode Run : Sources)
            if (SourceLive.Alive(Run) && Run->Parent == Source) SourceTree->WriteNode(Stream, Run);
    } else {
        SourceTree->WriteNode(Stream, Source);
    }
    Stream.SetPosition(0);
    TUpdateScope Update(*this);
    InterruptValidation();
    // A copy that fails part way takes back the nodes it made (those its
    // handlers have not freed with others meanwhile).
    std::vector<PLazyNode> Made;
    lt::TNodeWatch Alive(*this, {});
    fw::TScopeExit Rollback([this, &Made, &Alive] {
        for (auto It = Made.rbegin(); It != Made.rend(); ++It)
            if (Alive.Alive(*It)) DeleteNodeNow(*It, true);
    });
    PLazyNode Result = nullptr;
    PLazyNode Anchor = Target;
    const auto Beside = [](TLTNodeAttachMode M) { return M == amInsertBefore || M == amInsertAfter; };
    while (Stream.Position() < Stream.Size()) {
        // The first new node is placed by Mode, the next ones after it in
        // order, while the parent (as the handlers left it) takes them.
        const TLTNodeAttachMode Place = Result ? amInsertAfter : Mode;
        // The save handlers may have deleted the target (taken out of its tree).
        if (!Result && Target != FRoot && !TargetLive.Alive(Target)) break;
        PLazyNode Parent = Beside(Place) ? Anchor->Parent : Anchor;
        if (!Parent || !TakesChildren(Parent)) break;
        PLazyNode Node = MakeNewNode();
        LinkNode(Node, Anchor, Place);
        AddNewNodeFromStream(Stream, TreeStreamVersion, Node);
        Made.push_back(Node);
        Alive.Add(Node);
        if (!Result) Result = Node;
        Anchor = Node;
    }
    Rollback.Release();
    for (PLazyNode Node : Made)
        DoNodeCopied(Node);
    StructureChange(Result, crNodeCopied);
    Update.Leave();
    return Result;
}

// --------------------------------------------------------------- navigation

PLazyNode TBaseLazyTree::GetFirst() {
    return GetFirstChild(nullptr);
}

PLazyNode TBaseLazyTree::GetFirstNoInit() const {
    return FRoot->FirstChild;
}

PLazyNode TBaseLazyTree::Initialised(PLazyNode Node) {
    if (Node && !(Node->States & vsInitialized)) InitNode(Node);
    return Doomed(Node) ? nullptr : Node;
}

template <class F> PLazyNode TBaseLazyTree::SettledStep(PLazyNode From, F&& Find) {
    for (;;) {
        PLazyNode Result = Find();
        if (!Result || Initialised(Result)) return Result;
        if (Doomed(From)) return nullptr;
    }
}

PLazyNode TBaseLazyTree::ChildStep(PLazyNode Node, bool First) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node) Node = FRoot;
    if (Node != FRoot && !Initialised(Node)) return nullptr;
    if ((Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    return SettledStep(Node, [Node, First] { return First ? Node->FirstChild : Node->LastChild; });
}

PLazyNode TBaseLazyTree::GetFirstChild(PLazyNode Node) {
    return ChildStep(Node, true);
}

PLazyNode TBaseLazyTree::GetFirstChildNoInit(PLazyNode Node) const {
    return (Node ? Node : FRoot)->FirstChild;
}

PLazyNode TBaseLazyTree::GetLastChild(PLazyNode Node) {
    return ChildStep(Node, false);
}

PLazyNode TBaseLazyTree::GetLastChildNoInit(PLazyNode Node) const {
    return (Node ? Node : FRoot)->LastChild;
}

PLazyNode TBaseLazyTree::GetLast(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    return LastDown(Node, [this](PLazyNode N) { return GetLastChild(N); });
}

template <class F> PLazyNode TBaseLazyTree::LastDown(PLazyNode Node, F&& Child) {
    // The walk starts again when the node it ended on went with its children's
    // initialisation.
    for (;;) {
        PLazyNode Result = nullptr;
        for (PLazyNode Next = Child(Node); Next; Next = Child(Next))
            Result = Next;
        if (!Doomed(Result)) return Result;
        if (Doomed(Node)) return nullptr;
    }
}

PLazyNode TBaseLazyTree::GetLastNoInit(PLazyNode Node) const {
    PLazyNode Result = nullptr;
    for (PLazyNode Next = GetLastChildNoInit(Node); Next; Next = Next->LastChild)
        Result = Next;
    return Result;
}

namespace {

// The next sibling of Node or of its nearest ancestor that has one.
PLazyNode NextAfterSubtree(PLazyNode Node, PLazyNode Root) {
    for (PLazyNode Run = Node; Run && Run != Root; Run = Run->Parent)
        if (Run->NextSibling) return Run->NextSibling;
    return nullptr;
}

} // namespace

PLazyNode TBaseLazyTree::GetNext(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (PLazyNode Child = GetFirstChild(Node)) return Child;
    return SettledStep(Node, [this, Node] { return NextAfterSubtree(Node, FRoot); });
}

PLazyNode TBaseLazyTree::GetNextNoInit(PLazyNode Node) const {
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (Node->FirstChild) return Node->FirstChild;
    return NextAfterSubtree(Node, FRoot);
}

template <class S, class L>
PLazyNode TBaseLazyTree::PreviousStep(PLazyNode Node, S&& Sibling, L&& Last) {
    // The last node below the previous sibling, found again when it went
    // with its initialisation; else the parent.
    while (!Doomed(Node)) {
        PLazyNode Prev = Sibling(Node);
        if (!Prev) break;
        PLazyNode Below = Last(Prev);
        if (!Doomed(Prev)) return Below ? Below : Prev;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PLazyNode TBaseLazyTree::GetPrevious(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node || Node == FRoot) return nullptr;
    return PreviousStep(
        Node, [this](PLazyNode N) { return GetPreviousSibling(N); },
        [this](PLazyNode N) { return GetLast(N); });
}

PLazyNode TBaseLazyTree::GetPreviousNoInit(PLazyNode Node) const {
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (Node->PrevSibling) {
        PLazyNode Result = Node->PrevSibling;
        if (PLazyNode Last = GetLastNoInit(Result)) Result = Last;
        return Result;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PLazyNode TBaseLazyTree::GetNextSibling(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node) return nullptr;
    LTAssert(Node != FRoot, "Node must not be the hidden root node.");
    return SettledStep(Node, [Node] { return Node->NextSibling; });
}

PLazyNode TBaseLazyTree::GetPreviousSibling(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node) return nullptr;
    LTAssert(Node != FRoot, "Node must not be the hidden root node.");
    return SettledStep(Node, [Node] { return Node->PrevSibling; });
}

PLazyNode TBaseLazyTree::GetVisibleParent(PLazyNode Node) const {
    // The nearest ancestor that is shown as a row (none for a node out of the tree).
    PLazyNode Result = Node->Parent;
    while (Result && Result != FRoot && !FullyVisible(Result))
        Result = Result->Parent;
    return Result == FRoot ? nullptr : Result;
}

namespace {

// For a node that is not shown: the shown node standing in for it (a
// collapsed ancestor), or else the hidden child of a shown, expanded ancestor
// on its path; Collapsed says which. Nil for a node out of the tree.
PLazyNode HiddenAnchor(const TBaseLazyTree& T, PLazyNode Node, bool& Collapsed) {
    PLazyNode P = T.GetVisibleParent(Node);
    Collapsed = P && !(P->States & vsExpanded);
    if (Collapsed) return P;
    PLazyNode Stop = P ? P : T.RootNode();
    PLazyNode C = Node;
    while (C && C->Parent != Stop)
        C = C->Parent;
    return C;
}

// First node flagged visible from Run on, stepping with Step (which may initialise nodes).
template <class TStep> PLazyNode FirstVisibleFrom(PLazyNode Run, TStep Step) {
    for (; Run; Run = Step(Run))
        if (Run->States & vsVisible) return Run;
    return nullptr;
}

} // namespace

PLazyNode TBaseLazyTree::GetFirstVisibleChildNoInit(PLazyNode Node) const {
    return FirstVisibleFrom(GetFirstChildNoInit(Node), [](PLazyNode N) { return N->NextSibling; });
}

PLazyNode TBaseLazyTree::GetFirstVisibleChild(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    return FirstVisibleFrom(GetFirstChild(Node), [this](PLazyNode N) { return GetNextSibling(N); });
}

PLazyNode TBaseLazyTree::GetLastVisibleChildNoInit(PLazyNode Node) const {
    return FirstVisibleFrom(GetLastChildNoInit(Node), [](PLazyNode N) { return N->PrevSibling; });
}

PLazyNode TBaseLazyTree::GetLastVisibleChild(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    return FirstVisibleFrom(GetLastChild(Node),
                            [this](PLazyNode N) { return GetPreviousSibling(N); });
}

PLazyNode TBaseLazyTree::GetNextVisibleSiblingNoInit(PLazyNode Node) const {
    if (!Node) return nullptr;
    return FirstVisibleFrom(Node->NextSibling, [](PLazyNode N) { return N->NextSibling; });
}

PLazyNode TBaseLazyTree::GetNextVisibleSibling(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node) return nullptr;
    return FirstVisibleFrom(GetNextSibling(Node),
                            [this](PLazyNode N) { return GetNextSibling(N); });
}

PLazyNode TBaseLazyTree::GetPreviousVisibleSiblingNoInit(PLazyNode Node) const {
    if (!Node) return nullptr;
    return FirstVisibleFrom(Node->PrevSibling, [](PLazyNode N) { return N->PrevSibling; });
}

PLazyNode TBaseLazyTree::GetPreviousVisibleSibling(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node) return nullptr;
    return FirstVisibleFrom(GetPreviousSibling(Node),
                            [this](PLazyNode N) { return GetPreviousSibling(N); });
}

PLazyNode TBaseLazyTree::GetFirstVisibleNoInit() const {
    return GetFirstVisibleChildNoInit(FRoot);
}

PLazyNode TBaseLazyTree::GetFirstVisible() {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    return GetFirstVisibleChild(nullptr);
}

PLazyNode TBaseLazyTree::GetNextVisibleNoInit(PLazyNode Node) const {
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (!FullyVisible(Node)) {
        bool Collapsed = false;
        Node = HiddenAnchor(*this, Node, Collapsed);
        for (PLazyNode Run = Node; Run && Run != FRoot; Run = Run->Parent)
            if (PLazyNode Next = GetNextVisibleSiblingNoInit(Run)) return Next;
        return nullptr;
    }
    return NextShownNoInit(Node);
}

PLazyNode TBaseLazyTree::NextShownNoInit(PLazyNode Node) const {
    if (Node->States & vsExpanded)
        if (PLazyNode Child = GetFirstVisibleChildNoInit(Node)) return Child;
    for (PLazyNode Run = Node; Run && Run != FRoot; Run = Run->Parent)
        if (PLazyNode Next = GetNextVisibleSiblingNoInit(Run)) return Next;
    return nullptr;
}

PLazyNode TBaseLazyTree::GetNextVisible(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node || Node == FRoot || !Initialised(Node)) return nullptr;
    if (!FullyVisible(Node))
        return SettledStep(Node, [this, Node] { return GetNextVisibleNoInit(Node); });
    if (Node->States & vsExpanded)
        if (PLazyNode Child = GetFirstVisibleChild(Node)) return Child;
    for (PLazyNode Run = Node; Run && Run != FRoot; Run = Run->Parent)
        if (PLazyNode Next = GetNextVisibleSibling(Run)) return Next;
    return nullptr;
}

PLazyNode TBaseLazyTree::GetLastVisibleNoInit(PLazyNode Node) const {
    PLazyNode Result = nullptr;
    PLazyNode Run = Node ? Node : FRoot;
    while ((Run->States & vsExpanded)) {
        PLazyNode Next = GetLastVisibleChildNoInit(Run);
        if (!Next) break;
        Result = Next;
        Run = Next;
    }
    return Result;
}

PLazyNode TBaseLazyTree::GetLastVisible(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    return LastDown(Node, [this](PLazyNode N) {
        return ((N ? N : FRoot)->States & vsExpanded) ? GetLastVisibleChild(N) : nullptr;
    });
}

PLazyNode TBaseLazyTree::GetPreviousVisibleNoInit(PLazyNode Node) const {
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (!FullyVisible(Node)) {
        bool Collapsed = false;
        Node = HiddenAnchor(*this, Node, Collapsed);
        if (!Node || Collapsed) return Node;
    }
    return PreviousShownNoInit(Node);
}

PLazyNode TBaseLazyTree::PreviousShownNoInit(PLazyNode Node) const {
    if (PLazyNode Prev = GetPreviousVisibleSiblingNoInit(Node)) {
        PLazyNode Last = (Prev->States & vsExpanded) ? GetLastVisibleNoInit(Prev) : nullptr;
        return Last ? Last : Prev;
    }
    return Node->Parent == FRoot ? nullptr : Node->Parent;
}

PLazyNode TBaseLazyTree::GetPreviousVisible(PLazyNode Node) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    if (!Node || Node == FRoot || Doomed(Node)) return nullptr;
    if (!FullyVisible(Node)) {
        bool Collapsed = false;
        Node = HiddenAnchor(*this, Node, Collapsed);
        if (!Node || Collapsed) return Node;
    }
    return PreviousStep(
        Node, [this](PLazyNode N) { return GetPreviousVisibleSibling(N); },
        [this](PLazyNode N) { return (N->States & vsExpanded) ? GetLastVisible(N) : nullptr; });
}

PLazyNode TBaseLazyTree::GetFirstSelected() const {
    return FSelectionCount > 0 ? GetNextSelected(nullptr) : nullptr;
}

PLazyNode TBaseLazyTree::GetNextSelected(PLazyNode Node) const {
    if (FSelectionCount == 0) return nullptr;
    for (PLazyNode Run = Node ? GetNextNoInit(Node) : GetFirstNoInit(); Run;
         Run = GetNextNoInit(Run))
        if (Run->States & vsSelected) return Run;
    return nullptr;
}

PLazyNode TBaseLazyTree::GetFirstCutCopy() const {
    return GetNextCutCopy(nullptr);
}

PLazyNode TBaseLazyTree::GetNextCutCopy(PLazyNode Node) const {
    if (!InState(tsCopyPending) && !InState(tsCutPending)) return nullptr;
    for (PLazyNode Run = Node ? GetNextNoInit(Node) : GetFirstNoInit(); Run;
         Run = GetNextNoInit(Run))
        if (Run->States & vsCutOrCopy) return Run;
    return nullptr;
}

PLazyNode TBaseLazyTree::GetFirstInitialized() const {
    return GetNextInitialized(nullptr);
}

PLazyNode TBaseLazyTree::GetNextInitialized(PLazyNode Node) const {
    for (PLazyNode Run = Node ? GetNextNoInit(Node) : GetFirstNoInit(); Run;
         Run = GetNextNoInit(Run))
        if (Run->States & vsInitialized) return Run;
    return nullptr;
}

bool TBaseLazyTree::HasAsParent(PLazyNode Node, PLazyNode PotentialParent) const {
    if (!Node || !PotentialParent || Node == FRoot || PotentialParent == Node) return false;
    if (PotentialParent == FRoot) return true;
    for (PLazyNode Run = Node->Parent; Run && Run && Run != FRoot; Run = Run->Parent)
        if (Run == PotentialParent) return true;
    return false;
}

namespace {

// Appends in tree order, growing to 100 entries and then by a tenth.
void Push(TNodeArray& A, PLazyNode N) {
    if (A.size() == A.capacity()) A.reserve(A.size() < 100 ? 100 : A.size() + A.size() / 10);
    A.push_back(N);
}

// Nodes carrying State in tree order; TopMostOnly skips the subtree below a taken node.
TNodeArray CollectByState(const TBaseLazyTree& Tree, PLazyNode Root, TLazyNodeStates State,
                          bool TopMostOnly) {
    TNodeArray Result;
    PLazyNode Run = Tree.GetFirstNoInit();
    while (Run) {
        if (Run->States & State) {
            Push(Result, Run);
            if (TopMostOnly) {
                PLazyNode Next = nullptr;
                for (PLazyNode Up = Run; Up != Root; Up = Up->Parent)
                    if (Up->NextSibling) {
                        Next = Up->NextSibling;
                        break;
                    }
                Run = Next;
                continue;
            }
        }
        Run = Tree.GetNextNoInit(Run);
    }
    return Result;
}

} // namespace

TNodeArray TBaseLazyTree::GetSortedSelection(bool TopMostOnly) const {
    return CollectByState(*this, FRoot, vsSelected, TopMostOnly);
}

TNodeArray TBaseLazyTree::GetSortedCutCopySet(bool TopMostOnly) const {
    return CollectByState(*this, FRoot, vsCutOrCopy, TopMostOnly);
}

// ---------------------------------------------------------------- positions

PLazyNode TBaseLazyTree::GetNodeAt(int X, int Y) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    int Dummy = 0;
    return GetNodeAt(X, Y, true, Dummy);
}

PLazyNode TBaseLazyTree::GetNodeAt(int, int Y, bool Relative, int& NodeTop) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    std::int64_t Pos = Relative ? static_cast<std::int64_t>(Y) - FOffsetY - RowAreaTop() : Y;
    if (Pos < 0) Pos = 0;
    std::uint32_t CurrentPos = 0;
    PLazyNode Run = nullptr;
    if (InState(tsUseCache)) Run = LookUpPositionCache(static_cast<std::uint32_t>(Pos), CurrentPos);
    if (!Run) {
        Run = GetFirstVisibleNoInit();
        CurrentPos = 0;
    }
    PLazyNode Result = nullptr;
    while (Run) {
        std::uint32_t H = GetNodeHeight(Run);
        std::uint32_t Total = (Run->States & vsExpanded) ? Run->TotalHeight : H;
        if (Pos < static_cast<std::int64_t>(CurrentPos) + Total) {
            if (Pos < static_cast<std::int64_t>(CurrentPos) + H) {
                Result = Run;
                break;
            }
            // The point lies inside this subtree: descend.
            CurrentPos += H;
            Run = GetFirstVisibleChildNoInit(Run);
            continue;
        }
        CurrentPos += Total;
        PLazyNode Next = GetNextVisibleSiblingNoInit(Run);
        for (PLazyNode Up = Run; !Next && Up->Parent != FRoot && Up->Parent; Up = Up->Parent)
            Next = GetNextVisibleSiblingNoInit(Up->Parent);
        Run = Next;
    }
    NodeTop = lt::Reachable(Relative ? std::int64_t{CurrentPos} + FOffsetY + RowAreaTop()
                                     : std::int64_t{CurrentPos});
    return Result;
}

PLazyNode TBaseLazyTree::GetTopNode() {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    int Top = 0;
    return GetNodeAt(0, RowAreaTop(), true, Top);
}

void TBaseLazyTree::SetTopNode(PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    if (!Node || Node == FRoot) return;
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot; Run = Run->Parent)
        if (!(Run->States & vsExpanded)) ToggleNode(Run);
    fw::TRect R = GetDisplayRect(Node, NoColumn, false, true);
    SetOffsetY(FOffsetY - (R.Top - RowAreaTop()));
}

fw::TRect TBaseLazyTree::GetDisplayRect(PLazyNode Node, int Column, bool TextOnly, bool Unclipped) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // a query: frees none
    LTAssert(Node != nullptr, "Node must not be nil.");
    LTAssert(Node != FRoot, "Node must not be the hidden root node.");
    if (!(Node->States & vsInitialized)) InitNode(Node);
    if (!FullyVisible(Node)) return fw::TRect{};
    std::uint32_t Top = 0;
    if (InState(tsUseCache)) {
        std::uint32_t Pos = 0;
        PLazyNode Run = LookUpPositionCache(Node, Pos);
        if (Run) {
            while (Run && Run != Node) {
                Pos += GetNodeHeight(Run);
                Run = NextShownNoInit(Run);
            }
            Top = Pos;
        }
    } else {
        for (PLazyNode Run = PreviousShownNoInit(Node); Run; Run = PreviousShownNoInit(Run))
            Top += GetNodeHeight(Run);
    }
    fw::TRect R;
    R.Top = lt::Reachable(std::int64_t{Top} + FOffsetY + RowAreaTop());
    R.Bottom = R.Top + static_cast<int>(GetNodeHeight(Node));
    R.Left = FOffsetX;
    R.Right = FOffsetX + static_cast<int>(std::max<std::uint32_t>(
                             FRangeX, static_cast<std::uint32_t>(std::max(ClientWidth(), 0))));
    bool Columns = HeaderUseColumns() && Header()->Columns().IsValidColumn(Column);
    if (Columns) {
        const TLazyTreeColumn& C = Header()->Columns()[Column];
        R.Left = FOffsetX + C.Left();
        R.Right = R.Left + C.Width();
    }
    if (TextOnly) R = TextRectOf(Node, Columns ? Column : NoColumn, R, Unclipped);
    return R;
}

void TBaseLazyTree::GetHitTestInfoAt(int X, int Y, bool Relative, THitInfo& HitInfo) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // hands back a node: frees none
    HitInfo = THitInfo{};
    if (Relative) {
        X -= FOffsetX;
        Y -= FOffsetY + RowAreaTop();
    }
    std::int64_t Width = std::max<std::int64_t>(ClientWidth(), FRangeX);
    std::int64_t Height = std::max<std::int64_t>(RowAreaHeight(), RangeY());
    if (X < 0)
        HitInfo.HitPositions |= hpToLeft;
    else if (X > Width)
        HitInfo.HitPositions |= hpToRight;
    if (Y < 0)
        HitInfo.HitPositions |= hpAbove;
    else if (Y > Height)
        HitInfo.HitPositions |= hpBelow;
    if (HitInfo.HitPositions != 0) return;
    int Top = 0;
    HitInfo.HitNode = GetNodeAt(X, Y, false, Top);
    if (!HitInfo.HitNode) {
        HitInfo.HitPositions = hpNowhere;
        return;
    }
    if (!(HitInfo.HitNode->States & vsInitialized)) InitNode(HitInfo.HitNode);
    DetermineHitPositions(X, HitInfo);
}

bool TBaseLazyTree::ScrollIntoView(PLazyNode Node, bool Center, bool Horizontally) {
    lt::TBusyScope Busy(*this);
    if (!Node || Node == FRoot) return false;
    bool Expanded = false;
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot; Run = Run->Parent)
        if (!(Run->States & vsExpanded)) {
            ToggleNode(Run);
            Expanded = true;
        }
    if (!FullyVisible(Node)) return Expanded;
    const fw::TPoint Old{FOffsetX, FOffsetY};
    ScrollRowIntoView(Node, Center);
    if (Horizontally) ScrollIntoViewHorizontally(Node);
    return Expanded || Old != fw::TPoint{FOffsetX, FOffsetY};
}

// ---------------------------------------------------------------- selection

bool TBaseLazyTree::Selected(PLazyNode Node) const {
    return Node && (Node->States & vsSelected) != 0;
}

bool TBaseLazyTree::FindNodeInSelection(PLazyNode Node, int& Index, int LowBound,
                                        int HighBound) const {
    if (LowBound < 0) LowBound = 0;
    if (HighBound < 0) HighBound = FSelectionCount - 1;
    auto Key = [](PLazyNode P) { return reinterpret_cast<std::uintptr_t>(P); };
    std::uintptr_t K = Key(Node);
    int L = LowBound, H = HighBound;
    while (L <= H) {
        int M = L + (H - L) / 2;
        std::uintptr_t V = Key(FSelection[static_cast<std::size_t>(M)]);
        if (V < K)
            L = M + 1;
        else
            H = M - 1;
    }
    Index = L;
    return L <= HighBound && L < FSelectionCount && FSelection[static_cast<std::size_t>(L)] == Node;
}

bool TBaseLazyTree::InternalAddToSelection(PLazyNode Node, bool ForceInsert) {
    LTAssert(Node != nullptr, "Node must not be nil!");
    TNodeArray One{Node};
    return InternalAddToSelection(One, 1, ForceInsert);
}

bool TBaseLazyTree::InternalAddToSelection(TNodeArray& Given, int Count, bool ForceInsert) {
    Count = std::min(Count, static_cast<int>(Given.size()));
    if (Count <= 0) return false;
    // Taken before the worker's messages run handlers, which may change the
    // caller's list (the shared scratch list of another selection). A node
    // deleted already (its memory waiting) is in no selection.
    TNodeArray Nodes;
    std::copy_if(Given.begin(), Given.begin() + Count, std::back_inserter(Nodes),
                 [](PLazyNode N) { return !Doomed(N); });
    Count = static_cast<int>(Nodes.size());
    if (Count == 0) return false;
    if (InState(tsValidating)) InterruptValidation();
    if (ForceInsert) {
        for (int I = 0; I < Count; ++I)
            Nodes[static_cast<std::size_t>(I)]->States |= vsSelected;
    } else {
        TLTSelectionOptions Opt = SelectionOptions();
        if ((Opt & toLevelSelectConstraint) && FLastSelectionLevel == -1)
            FLastSelectionLevel = static_cast<int>(GetNodeLevel(Nodes[0]));
        if ((Opt & toSiblingSelectConstraint) && !FRangeAnchor) FRangeAnchor = Nodes[0];
        for (int I = 0; I < Count; ++I) {
            PLazyNode N = Nodes[static_cast<std::size_t>(I)];
            bool Take = !(N->States & (vsSelected | vsDisabled));
            if (Take && (Opt & toLevelSelectConstraint))
                Take = static_cast<int>(GetNodeLevel(N)) == FLastSelectionLevel;
            if (Take && (Opt & toSiblingSelectConstraint)) Take = N->Parent == FRangeAnchor->Parent;
            if (Take)
                N->States |= vsSelected;
            else
                Nodes[static_cast<std::size_t>(I)] = Marked(N);
        }
        int Packed = PackArray(Nodes, Count);
        if (Packed >= 0) Count = Packed;
    }
    if (Count == 0) return false;
    std::sort(Nodes.begin(), Nodes.begin() + Count, [](PLazyNode A, PLazyNode B) {
        return reinterpret_cast<std::uintptr_t>(A) < reinterpret_cast<std::uintptr_t>(B);
    });
    // Merge from the end: larger addresses move up.
    std::size_t NewCount =
        static_cast<std::size_t>(FSelectionCount) + static_cast<std::size_t>(Count);
    if (FSelection.size() < NewCount) FSelection.resize(NewCount);
    std::ptrdiff_t I = FSelectionCount - 1, J = Count - 1,
                   W = static_cast<std::ptrdiff_t>(NewCount) - 1;
    auto Key = [](PLazyNode P) { return reinterpret_cast<std::uintptr_t>(P); };
    while (J >= 0) {
        if (I >= 0 &&
            Key(FSelection[static_cast<std::size_t>(I)]) > Key(Nodes[static_cast<std::size_t>(J)]))
            FSelection[static_cast<std::size_t>(W--)] = FSelection[static_cast<std::size_t>(I--)];
        else
            FSelection[static_cast<std::size_t>(W--)] = Nodes[static_cast<std::size_t>(J--)];
    }
    FSelectionCount = static_cast<int>(NewCount);
    return true;
}

void TBaseLazyTree::AddToSelection(PLazyNode Node) {
    LTAssert(Node != nullptr, "Node must not be nil!");
    if (InternalAddToSelection(Node, false)) Change(Node);
}

void TBaseLazyTree::AddToSelection(TNodeArray& Nodes, int Count, bool ForceInsert) {
    if (InternalAddToSelection(Nodes, Count, ForceInsert)) Change(nullptr);
}

void TBaseLazyTree::InternalRemoveFromSelection(PLazyNode Node) {
    if (!(Node->States & vsSelected)) return;
    if (InState(tsValidating)) InterruptValidation();
    Node->States &= ~vsSelected;
    int Index = 0;
    if (FindNodeInSelection(Node, Index, -1, -1)) {
        FSelection.erase(FSelection.begin() + Index);
        --FSelectionCount;
    }
    FSelection.resize(static_cast<std::size_t>(FSelectionCount));
    if (FSelectionCount == 0) ResetRangeAnchor();
}

void TBaseLazyTree::RemoveFromSelection(PLazyNode Node) {
    LTAssert(Node != nullptr, "Node must not be nil!");
    if (!(Node->States & vsSelected)) return;
    InternalRemoveFromSelection(Node);
    Change(Node);
}

void TBaseLazyTree::MarkForRemoval(PLazyNode Node) {
    if (InState(tsValidating)) InterruptValidation();
    Node->States &= ~vsSelected;
    int Index = 0;
    if (FindNodeInSelection(Node, Index, -1, -1)) {
        FSelection[static_cast<std::size_t>(Index)] = Marked(Node);
        ++FSelectionMarked;
    }
}

void TBaseLazyTree::PackSelection() {
    FSelectionMarked = 0;
    int N = PackArray(FSelection, FSelectionCount);
    if (N >= 0) FSelectionCount = N;
    FSelection.resize(static_cast<std::size_t>(FSelectionCount));
    if (FSelectionCount == 0 && N >= 0) ResetRangeAnchor();
}

void TBaseLazyTree::InternalClearSelection() {
    if (InState(tsValidating)) InterruptValidation();
    if (FUpdateCount > 0) PackSelection();
    for (int I = FSelectionCount; I-- > 0;) {
        PLazyNode N = FSelection[static_cast<std::size_t>(I)];
        if (!IsMarked(N)) N->States &= ~vsSelected;
    }
    ResetRangeAnchor();
    FSelection.clear();
    FSelectionCount = 0;
    FSelectionMarked = 0;
    DoStateChange({}, {tsClearPending});
}

void TBaseLazyTree::ResetRangeAnchor() {
    FRangeAnchor = FFocusedNode;
    FLastSelectionLevel = -1;
}

void TBaseLazyTree::AddToTempCache(PLazyNode Node) {
    if (FTempNodeCount >= static_cast<int>(FTempNodeCache.size()))
        FTempNodeCache.resize(
            FTempNodeCache.size() < 100 ? 100 : FTempNodeCache.size() + FTempNodeCache.size() / 10);
    FTempNodeCache[static_cast<std::size_t>(FTempNodeCount++)] = Node;
}

void TBaseLazyTree::ClearTempCache() {
    FTempNodeCache.clear();
    FTempNodeCount = 0;
}

void TBaseLazyTree::ClearSelection() {
    lt::TBusyScope Busy(*this);
    if (FSelectionCount == 0 || Destroying()) return;
    if (FUpdateCount == 0 && HandleAllocated() && FVisibleCount > 0)
        InvalidateSelectedRowsOnScreen();
    InternalClearSelection();
    Change(nullptr);
}

void TBaseLazyTree::InvalidateSelectedRowsOnScreen() {
    // Down from the top row until every selected row was met or the client ends:
    // rows off the screen need no repaint, however many are selected.
    int Top = 0;
    PLazyNode Run = GetNodeAt(0, RowAreaTop(), true, Top);
    const int Bottom = ClientHeight();
    for (int Met = 0; Run && Top < Bottom && Met < FSelectionCount;
         Run = GetNextVisibleNoInit(Run)) {
        const int Height = static_cast<int>(GetNodeHeight(Run));
        if (Run->States & vsSelected) {
            InvalidateRect(fw::TRect{0, Top, ClientWidth(), Top + Height});
            ++Met;
        }
        Top += Height;
    }
}

void TBaseLazyTree::SetSelected(PLazyNode Node, bool Value) {
    lt::TBusyScope Busy(*this);
    if (!Node || Node == FRoot || Selected(Node) == Value || Doomed(Node)) return;
    if (Value) {
        if (FSelectionCount == 0)
            FRangeAnchor = Node;
        else if (!(SelectionOptions() & toMultiSelect))
            ClearSelection();
        AddToSelection(Node);
        if (FFocusedColumn < 0 && HeaderUseColumns()) {
            auto& Cols = Header()->Columns();
            int Main = HeaderMainColumn();
            if (Cols.IsValidColumn(Main))
                FFocusedColumn = Main;
            else
                FFocusedColumn = Cols.GetFirstVisibleColumn();
        }
        if (!FRangeAnchor) FRangeAnchor = Node;
    } else {
        RemoveFromSelection(Node);
        if (FSelectionCount == 0) ResetRangeAnchor();
    }
    if (FullyVisible(Node)) InvalidateNode(Node);
}

void TBaseLazyTree::SelectAll(bool VisibleOnly) {
    lt::TBusyScope Busy(*this);
    if (!(SelectionOptions() & toMultiSelect)) return;
    // A list of its own: the walk's handlers may select too.
    TNodeArray Add;
    PLazyNode Run = VisibleOnly ? GetFirstVisible() : GetFirst();
    while (Run) {
        if (!(Run->States & vsSelected)) Add.push_back(Run);
        Run = VisibleOnly ? GetNextVisible(Run) : GetNext(Run);
    }
    AddToSelection(Add, static_cast<int>(Add.size()));
    if (HandleAllocated()) Invalidate();
}

void TBaseLazyTree::InvertSelection(bool VisibleOnly) {
    lt::TBusyScope Busy(*this);
    if (!(SelectionOptions() & toMultiSelect)) return;
    InterruptValidation(); // once: the worker reads the states changed below
    TNodeArray Add; // a list of its own: the walk's handlers may select too
    for (PLazyNode Run = VisibleOnly ? GetFirstVisible() : GetFirst(); Run;
         Run = VisibleOnly ? GetNextVisible(Run) : GetNext(Run)) {
        if (Run->States & vsSelected)
            MarkForRemoval(Run);
        else
            Add.push_back(Run);
    }
    PackSelection();
    AddToSelection(Add, static_cast<int>(Add.size()));
    Change(nullptr);
}

void TBaseLazyTree::AddRangeToSelection(PLazyNode StartNode, PLazyNode EndNode, bool AddOnly) {
    lt::TBusyScope Busy(*this);
    LTAssert(EndNode != nullptr, "EndNode must not be nil!");
    if (!StartNode)
        StartNode = GetFirstNoInit();
    else if (!FullyVisible(StartNode)) {
        PLazyNode P = GetPreviousVisibleNoInit(StartNode);
        StartNode = P ? P : GetFirstNoInit();
    }
    if (!StartNode) return;
    PLazyNode A = StartNode, B = EndNode;
    if (CompareNodePositions(A, B) > 0) std::swap(A, B);
    PLazyNode Anchor = FRangeAnchor;
    if (!AddOnly) InternalClearSelection();
    TNodeArray Add;
    for (PLazyNode Run = A; Run; Run = GetNextVisibleNoInit(Run)) {
        Add.push_back(Run);
        if (Run == B) break;
    }
    AddToSelection(Add, static_cast<int>(Add.size()), false);
    if (Anchor && Selected(Anchor)) FRangeAnchor = Anchor;
}

void TBaseLazyTree::ToggleSelectionRange(PLazyNode StartNode, PLazyNode EndNode) {
    lt::TBusyScope Busy(*this);
    LTAssert(EndNode != nullptr, "EndNode must not be nil!");
    if (!StartNode)
        StartNode = GetFirstNoInit();
    else if (!FullyVisible(StartNode)) {
        PLazyNode P = GetPreviousVisibleNoInit(StartNode);
        StartNode = P ? P : GetFirstNoInit();
    }
    if (!StartNode || StartNode == EndNode) return;
    PLazyNode A = StartNode, B = EndNode;
    if (CompareNodePositions(A, B) > 0) std::swap(A, B);
    InterruptValidation(); // once: the worker reads the states changed below
    TNodeArray Add;
    PLazyNode Anchor = FRangeAnchor;
    auto FarSide = [&](PLazyNode N) {
        return !Anchor || (N != Anchor && CompareNodePositions(N, Anchor) != 0);
    };
    for (PLazyNode Run = A; Run; Run = GetNextVisibleNoInit(Run)) {
        bool IsEnd = Run == A || Run == B;
        if (!IsEnd || FarSide(Run)) {
            if (Run->States & vsSelected)
                MarkForRemoval(Run);
            else
                Add.push_back(Run);
        }
        if (Run == B) break;
    }
    PackSelection();
    if (Anchor && !Selected(Anchor) && std::find(Add.begin(), Add.end(), Anchor) == Add.end())
        Add.push_back(Anchor);
    AddToSelection(Add, static_cast<int>(Add.size()), false);
}

void TBaseLazyTree::MarkCutCopyNodes() {
    for (int I = 0; I < FSelectionCount; ++I) {
        PLazyNode N = FSelection[static_cast<std::size_t>(I)];
        if (!IsMarked(N) && !(N->States & vsDisabled)) N->States |= vsCutOrCopy;
    }
}

void TBaseLazyTree::CancelCutOrCopy() {
    for (PLazyNode Run = GetFirstNoInit(); Run; Run = GetNextNoInit(Run))
        Run->States &= ~vsCutOrCopy;
    DoStateChange({}, {tsCopyPending, tsCutPending});
}

// -------------------------------------------------------------------- focus

void TBaseLazyTree::DoFocusNode(PLazyNode Node, bool Ask) {
    lt::TBusyScope Busy(*this);
    // A deleted node (its memory waiting) takes no focus, nor after the handlers.
    if (Doomed(Node) || (InState(tsEditing) && !EndEditNode()) || Doomed(Node)) return;
    if (Node == FRoot) Node = nullptr;
    if (Node != FFocusedNode) {
        if (Ask &&
            (!DoFocusChanging(FFocusedNode, Node, FFocusedColumn, FFocusedColumn) || Doomed(Node)))
            return;
        PLazyNode Old = FFocusedNode;
        if (Old && Node && (AutoOptions() & toAutoExpand) && Old->Parent == Node->Parent &&
            (Old->States & vsExpanded))
            ToggleNode(Old);
        else if (Old)
            InvalidateNode(Old);
        if (Doomed(Node)) return;
        FFocusedNode = Node;
    }
    if (FFocusedNode) {
        // Without extended focus the focus stays in the main column.
        if (HeaderUseColumns() && (FFocusedColumn < 0 || !(SelectionOptions() & toExtendedFocus))) {
            const auto& Cols = Header()->Columns();
            const int Main = HeaderMainColumn();
            const int First = Cols.GetFirstVisibleColumn();
            const bool MainShown = Cols.IsValidColumn(Main) && (Cols[Main].Options() & coVisible);
            FFocusedColumn = MainShown || First < 0 ? Main : First;
        }
        if ((AutoOptions() & toAutoExpand) && !(FFocusedNode->States & vsExpanded))
            ToggleNode(FFocusedNode);
        InvalidateNode(FFocusedNode);
        if (FUpdateCount == 0 && HandleAllocated()) {
            bool Mouse = InState(tsLeftButtonDown) || InState(tsMiddleButtonDown) ||
                         InState(tsRightButtonDown);
            ScrollIntoView(FFocusedNode,
                           (SelectionOptions() & toCenterScrollIntoView) != 0 && !Mouse,
                           !(AutoOptions() & toDisableAutoscrollOnFocus));
        }
    }
    if (FSelectionCount == 0) ResetRangeAnchor();
}

void TBaseLazyTree::SetFocusedNode(PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    PLazyNode Old = FFocusedNode;
    DoFocusNode(Node, true);
    if (FFocusedNode != Old && FFocusedNode == (Node == FRoot ? nullptr : Node))
        DoFocusChange(FFocusedNode, FFocusedColumn);
}

void TBaseLazyTree::SetFocusedColumn(int Column) {
    lt::TBusyScope Busy(*this);
    if (Column == FFocusedColumn) return;
    if (!DoFocusChanging(FFocusedNode, FFocusedNode, FFocusedColumn, Column)) return;
    // The edit belongs to the column that loses the focus; one that will not
    // be cancelled keeps the focus where it is.
    if ((InState(tsEditing) || InState(tsEditPending)) && !CancelEditNode()) return;
    FFocusedColumn = Column;
    if (FFocusedNode) {
        if (HandleAllocated())
            ScrollIntoView(FFocusedNode, (SelectionOptions() & toCenterScrollIntoView) != 0,
                           !(AutoOptions() & toDisableAutoscrollOnFocus));
        InvalidateNode(FFocusedNode);
    }
    DoFocusChange(FFocusedNode, FFocusedColumn);
}

void TBaseLazyTree::ColumnDeleted(int Column) {
    if (FFocusedColumn == Column)
        FFocusedColumn = NoColumn;
    else if (FFocusedColumn > Column)
        --FFocusedColumn;
    // An edit that refused to be cancelled names no other column.
    if (FEditColumn == Column)
        FEditColumn = NoColumn;
    else if (FEditColumn > Column)
        --FEditColumn;
}

void TBaseLazyTree::SetFocusedNodeAndColumn(PLazyNode Node, int Column) {
    lt::TBusyScope Busy(*this);
    int OldColumn = FFocusedColumn;
    FFocusedColumn = Column;
    PLazyNode Old = FFocusedNode;
    DoFocusNode(Node, true);
    if (FFocusedNode != Node) {
        FFocusedColumn = OldColumn;
        return;
    }
    if (Old != FFocusedNode || OldColumn != Column) DoFocusChange(FFocusedNode, FFocusedColumn);
}

} // namespace vel

namespace vel {

int TBaseLazyTree::GetMaxColumnWidth(int Column) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // a query: frees none
    int Result = 0;
    for (PLazyNode Run = GetFirstVisible(); Run; Run = GetNextVisible(Run))
        Result = std::max(Result, ContentLead(Run, Column) + FMargin +
                                      DoGetNodeWidth(Run, Column, Canvas()));
    if (PaintOptions() & toShowVertGridLines) ++Result;
    return Result;
}

} // namespace vel

namespace vel {

bool TBaseLazyTree::UpdateDrawSelection(int X, int Y) {
    if (!InState(tsDrawSelecting)) return false;
    FOldRect = FNewRect;
    std::int64_t MaxX = std::max<std::int64_t>(ClientWidth(), FRangeX);
    std::int64_t MaxY = std::max<std::int64_t>(RowAreaHeight(), RangeY());
    FNewRect.Right = static_cast<int>(std::clamp<std::int64_t>(X - FOffsetX, 0, MaxX));
    FNewRect.Bottom =
        static_cast<int>(std::clamp<std::int64_t>(Y - FOffsetY - RowAreaTop(), 0, MaxY));
    return !(FOldRect == FNewRect);
}

} // namespace vel
