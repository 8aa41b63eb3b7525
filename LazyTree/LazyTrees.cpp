// The tree model: node storage, the update lock, structure changes,
// sorting and the tree's properties. Expanding and walks live in
// LazyTreeExpand.cpp, checks in LazyTreeChecks.cpp, event dispatchers in
// LazyTreeEvents.cpp, busy scopes and the deletions they make wait in
// LazyTreeBusy.cpp.
#include "LazyTrees.h"

#include "LazyTreeInternal.h"
#include "LazyTreeWorker.h"

#include "Forms.h"
#include "ScrollBars.h"
#include "Timers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

namespace vel {

using namespace lt;

const char16_t* const SEditLinkIsNil = u"Edit link must not be nil.";
const char16_t* const SWrongMoveError =
    u"Target node cannot be a child node of the node to be moved.";
const char16_t* const SWrongStreamFormat = u"Unable to load tree structure, the format is wrong.";
const char16_t* const SWrongStreamVersion =
    u"Unable to load tree structure, the version is unknown.";
const char16_t* const SStreamTooSmall =
    u"Unable to load tree structure, not enough data available.";
const char16_t* const SCorruptStream1 = u"Stream data corrupt. A node's anchor chunk is missing.";
const char16_t* const SCorruptStream2 =
    u"Stream data corrupt. Unexpected data after node's end position.";
const char16_t* const SClipboardFailed = u"Clipboard operation failed.";
const char16_t* const SCannotSetUserData =
    u"Cannot set initial user data because there is not enough user data space allocated.";

namespace {

std::string Narrow(const std::u16string& S) {
    std::string R;
    R.reserve(S.size());
    for (char16_t C : S)
        R.push_back(C < 0x80 ? static_cast<char>(C) : '?');
    return R;
}

} // namespace

void ShowError(const std::u16string& Msg, int Code) {
    throw ELazyTreeError(Narrow(Msg), Code);
}

void LTAssert(bool Condition, const char* Msg) {
    if (!Condition) throw ELazyTreeAssertion(Msg);
}

TBaseLazyTree* TreeFromNode(PLazyNode Node) {
    LTAssert(Node != nullptr, "Node must not be nil.");
    while (Node->NextSibling != Node) {
        if (Node->Parent == nullptr) return nullptr;
        Node = Node->Parent;
    }
    return reinterpret_cast<TBaseLazyTree*>(Node->Parent);
}

void QuickSortPointers(std::vector<PLazyNode>& List, int L, int R) {
    auto Key = [&](int I) {
        return reinterpret_cast<std::uintptr_t>(List[static_cast<std::size_t>(I)]);
    };
    while (L < R) {
        int I = L, J = R;
        std::uintptr_t P = Key((L + R) / 2);
        do {
            while (Key(I) < P)
                ++I;
            while (Key(J) > P)
                --J;
            if (I <= J) {
                std::swap(List[static_cast<std::size_t>(I)], List[static_cast<std::size_t>(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J) QuickSortPointers(List, L, J);
        L = I;
    }
}

// ------------------------------------------------------------ construction

TBaseLazyTree::TBaseLazyTree(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    InitRootNode();
    FOptions = GetOptionsClass();
    FHeader = GetHeaderClass();
    InitializeView();
    SetBounds(Left(), Top(), 200, 100);
    SetTabStop(true);
    // A tree is a window-coloured list, not a button-faced panel; this also
    // stops it taking its parent's colour.
    SetColor(fw::clWindow);
    AddThreadReference();
}

TBaseLazyTree::~TBaseLazyTree() {
    SetState(fw::TComponentStateItem::Destroying);
    // Freed (fw::Free), its nodes went in the free with their handlers: what
    // is left goes without, as nothing of a freed tree is told afterwards.
    const bool Freed = FGoing;
    FGoing = true; // the worker is never given this tree again
    FDeferred.clear();
    FDragManager.reset(); // a drag this tree runs ends while the tree is still whole
    if (FPanningWindow) fw::DestroyWindowHandle(FPanningWindow);
    FOptions->SetMiscOptions(FOptions->MiscOptions() & ~toReadOnly);
    // A handler that throws while the tree goes away must not stop the freeing.
    try {
        InterruptValidation();
    } catch (...) {
        fw::ReportLeaveStepError();
    }
    for (auto Step : {&TBaseLazyTree::ClearNow, &TBaseLazyTree::FreeDoomed}) {
        if (Freed) break;
        try {
            (this->*Step)();
        } catch (...) {
            fw::ReportLeaveStepError();
        }
    }
    // Its state handler may still run here: the root stays until the last step.
    DropThreadReference(this);
    FHeader.reset();
    // Nodes a handler added after the last clear, or deleted after the last
    // free, go without handlers.
    for (PLazyNode Top : FDoomed)
        FreeSubtreeBlocks(Top);
    if (FRoot) FreeSubtreeBlocks(FRoot);
    FRoot = nullptr;
}

void TBaseLazyTree::BeforeDestruction() {
    // After a free no handler of the tree runs: its nodes go now, each with its
    // OnFreeNode. Only the memory of nodes a running operation holds waits.
    FGoing = true;
    InterruptValidation();
    ClearNow();
    if (DeletionsWait())
        TellDoomed();
    else
        FreeDoomed();
    fw::TCustomControl::BeforeDestruction();
}

void TBaseLazyTree::FreeSubtreeBlocks(PLazyNode Top) {
    for (PLazyNode Run = Top;;) {
        if (PLazyNode Child = Run->LastChild) {
            Run = Child;
            continue;
        }
        PLazyNode Parent = Run == Top ? nullptr : Run->Parent;
        if (Parent) Unchain(Run, false);
        FreeNodeBlock(Run);
        if (!Parent) return;
        Run = Parent;
    }
}

void TBaseLazyTree::Loaded() {
    fw::TCustomControl::Loaded();
    if (InState(tsNeedRootCountUpdate)) {
        DoStateChange({}, {tsNeedRootCountUpdate});
        std::uint32_t Count = FRoot->ChildCount;
        FRoot->ChildCount = 0;
        TLTMiscOptions Old = FOptions->MiscOptions();
        FOptions->SetMiscOptions(Old & ~toReadOnly);
        fw::TScopeExit Restore([this, Old] { FOptions->SetMiscOptions(Old); });
        TUpdateScope U(*this);
        SetChildCount(FRoot, Count);
        U.Leave();
        Restore.Leave();
    }
    // Columns added while loading get their positions and sizes now.
    HeaderLoaded();
}

// ------------------------------------------------------------ node storage

std::size_t TBaseLazyTree::NodeBlockSize() const {
    return sizeof(TLazyNode) + FTotalInternalDataSize +
           static_cast<std::size_t>(std::max(FNodeDataSize, 0));
}

void TBaseLazyTree::InitRootNode(std::uint32_t OldSize) {
    std::size_t Size = sizeof(TLazyNode) + FTotalInternalDataSize;
    if (!FRoot) {
        FRoot = static_cast<PLazyNode>(std::calloc(1, Size));
        if (!FRoot) throw std::bad_alloc();
    } else {
        void* P = std::realloc(FRoot, Size);
        if (!P) throw std::bad_alloc();
        FRoot = static_cast<PLazyNode>(P);
        if (Size > OldSize)
            std::memset(reinterpret_cast<std::uint8_t*>(FRoot) + OldSize, 0, Size - OldSize);
    }
    FRoot->Parent = reinterpret_cast<PLazyNode>(this);
    FRoot->PrevSibling = FRoot;
    FRoot->NextSibling = FRoot;
    FRoot->States = vsInitialized | vsExpanded | vsHasChildren | vsVisible;
    FRoot->NodeHeight = static_cast<std::uint16_t>(FDefaultNodeHeight);
    FRoot->TotalHeight = FDefaultNodeHeight;
    FRoot->CachedTotalCount = 1;
    FRoot->Align = 50;
}

std::uint32_t TBaseLazyTree::AllocateInternalDataArea(std::uint32_t Size) {
    LTAssert(FRoot == nullptr || FRoot->ChildCount == 0,
             "Internal data allocation must be done before any node is created.");
    std::uint32_t Offset = static_cast<std::uint32_t>(sizeof(TLazyNode)) + FTotalInternalDataSize;
    std::uint32_t Old = static_cast<std::uint32_t>(sizeof(TLazyNode)) + FTotalInternalDataSize;
    FTotalInternalDataSize += (Size + 3) & ~3u;
    InitRootNode(Old);
    return Offset;
}

PLazyNode TBaseLazyTree::MakeNewNode() {
    if (FNodeDataSize == -1) {
        int Size = 0;
        DoGetNodeDataSize(Size);
        FNodeDataSize = Size < 0 ? 0 : Size;
    }
    auto* N = static_cast<PLazyNode>(std::calloc(1, NodeBlockSize()));
    if (!N) throw std::bad_alloc();
    N->CachedTotalCount = 1;
    N->NodeHeight = static_cast<std::uint16_t>(FDefaultNodeHeight);
    N->TotalHeight = FDefaultNodeHeight;
    N->States = vsVisible;
    N->Align = 50;
    return N;
}

void TBaseLazyTree::FreeNodeBlock(PLazyNode Node) {
    std::free(Node);
}

void TBaseLazyTree::AdjustTotalCount(PLazyNode Node, std::int64_t Value, bool Relative) {
    std::int64_t Diff = Relative ? Value : Value - static_cast<std::int64_t>(NodeTotalCount(Node));
    if (Diff == 0) return;
    // A deleted node whose memory waits is out of the tree: its changes stay with it.
    if (Node->Internal & nfDoomed) {
        if (!(Node->Internal & nfCountStale))
            Node->CachedTotalCount = static_cast<std::uint32_t>(Node->CachedTotalCount + Diff);
        return;
    }
    FRoot->CachedTotalCount = static_cast<std::uint32_t>(FRoot->CachedTotalCount + Diff);
    if (Node == FRoot) return;
    if (!(Node->Internal & nfCountStale))
        Node->CachedTotalCount = static_cast<std::uint32_t>(Node->CachedTotalCount + Diff);
    // A stale node's ancestors are all stale already: marking stops there, so
    // a chain grown at its end costs no walk up.
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot && !(Run->Internal & nfCountStale);
         Run = Run->Parent)
        Run->Internal |= nfCountStale;
}

std::uint32_t TBaseLazyTree::NodeTotalCount(PLazyNode Node) const {
    return (Node ? Node : FRoot)->TotalCount();
}

std::uint32_t TLazyNode::TotalCount() const {
    if (!(Internal & nfCountStale)) return CachedTotalCount;
    // The stale part of the subtree, parents first; recounted children first.
    // Each recount clears its mark, so a node is recounted once per change below it.
    std::vector<PLazyNode> Stale{const_cast<PLazyNode>(this)};
    for (std::size_t I = 0; I < Stale.size(); ++I)
        for (PLazyNode C = Stale[I]->FirstChild; C; C = C->NextSibling)
            if (C->Internal & nfCountStale) Stale.push_back(C);
    for (auto It = Stale.rbegin(); It != Stale.rend(); ++It) {
        std::uint32_t Count = 1;
        for (PLazyNode C = (*It)->FirstChild; C; C = C->NextSibling)
            if (!(C->Internal & nfRaw)) Count += C->CachedTotalCount; // still being read
        (*It)->CachedTotalCount = Count;
        (*It)->Internal &= static_cast<std::uint8_t>(~nfCountStale);
    }
    return CachedTotalCount;
}

void TBaseLazyTree::AdjustTotalHeight(PLazyNode Node, std::int64_t Value, bool Relative) {
    std::int64_t Diff = Relative ? Value : Value - static_cast<std::int64_t>(Node->TotalHeight);
    PLazyNode Run = Node;
    for (;;) {
        Run->TotalHeight = static_cast<std::uint32_t>(Run->TotalHeight + Diff);
        if (!(Run->States & vsVisible) || Run == FRoot) break;
        // A node unlinked for its free handler has no rows above it.
        Run = Run->Parent;
        if (!Run || !(Run->States & vsExpanded)) break;
    }
}

std::uint32_t TBaseLazyTree::ChildCount(PLazyNode Node) const {
    return (Node ? Node : FRoot)->ChildCount;
}

void TBaseLazyTree::SetChildCount(PLazyNode Node, std::uint32_t NewChildCount) {
    if (ReadOnly()) return;
    if (!Node) Node = FRoot;
    if (NewChildCount == 0) {
        DeleteChildren(Node, false);
        return;
    }
    if (NewChildCount == Node->ChildCount) return;
    if (NewChildCount < Node->ChildCount) {
        // A node whose children are being freed loses none but those.
        if (Node->States & (vsClearing | vsDeleting)) return;
        RefuseWhileIterating();
    }
    lt::TBusyScope Busy(*this);
    if (NewChildCount > Node->ChildCount) {
        if (!AppendChildren(Node, NewChildCount)) return;
        if (FUpdateCount == 0 && (AutoOptions() & toAutoSort) && HeaderSortColumn() > InvalidColumn)
            Sort(Node, HeaderSortColumn(), HeaderSortDirection(), true);
        MarkValidationNeeded();
    } else {
        InterruptValidation();
        // The handlers of each deletion may add children again: no more go
        // than were too many when asked. A child whose deletion runs already
        // goes with that one, and is not counted.
        std::uint32_t Excess = 0;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            Excess += DeletionRuns(Run) ? 0 : 1;
        for (Excess = Excess > NewChildCount ? Excess - NewChildCount : 0;
             Excess > 0 && Node->ChildCount > NewChildCount; --Excess) {
            PLazyNode Last = Node->LastChild;
            while (Last && DeletionRuns(Last))
                Last = Last->PrevSibling;
            if (!Last) break;
            DeleteNodeNow(Last, true);
        }
    }
    if (FUpdateCount == 0) {
        InvalidateCache();
        // The children of a node its initialisation expands: the bars wait
        // for the end of the operation, as for its toggle.
        if (Node == FInitToggleNode)
            FScrollBarsWanted = true;
        else
            UpdateScrollBars(true);
        Invalidate();
    }
    StructureChange(Node == FRoot ? nullptr : Node, crChildAdded);
}

bool TBaseLazyTree::TakesChildren(PLazyNode Node) const {
    // A tree on its way out takes none: a call still running on it after its
    // free adds nothing there.
    return !Destroying() && !(Node->States & (vsClearing | vsDeleting)) &&
           !(Node->Internal & (nfGoing | nfRaw | nfDoomed));
}

PLazyNode TBaseLazyTree::AppendChildren(PLazyNode Node, std::uint32_t NewChildCount) {
    if (!TakesChildren(Node) || Node->ChildCount >= NewChildCount) return nullptr;
    lt::TBusyScope Busy(*this);
    InterruptValidation(); // the worker's message may have changed the node meanwhile
    const bool Measure = (MiscOptions() & toVariableNodeHeight) != 0;
    // Each child is linked and counted at once, so a handler never finds
    // children linked but not counted; heights and rows go up together once,
    // or before each handler that may run (measuring, the data size).
    std::int64_t Height = 0;
    std::uint32_t Rows = 0;
    auto Commit = [&] {
        if (Rows == 0) return;
        if (Node->States & vsExpanded) {
            AdjustTotalHeight(Node, Height, true);
            if (FullyVisible(Node)) FVisibleCount += Rows;
            NoteRowsChanged();
        }
        Height = 0;
        Rows = 0;
    };
    PLazyNode First = nullptr;
    {
        fw::TScopeExit CommitMade(Commit); // nodes made before a failure stay, counted
        while (Node->ChildCount < NewChildCount && TakesChildren(Node)) {
            if (FNodeDataSize == -1) Commit();
            PLazyNode Child = MakeNewNode();
            ChainLast(Child, Node);
            ++Node->ChildCount;
            Node->States |= vsHasChildren;
            AdjustTotalCount(Node, 1, true);
            NoteStructureChange();
            if (!First) First = Child;
            Height += Child->TotalHeight;
            ++Rows;
            if (Measure) {
                // A measured height reaches the parent through SetNodeHeight itself.
                Commit();
                GetNodeHeight(Child);
            }
        }
    }
    return First;
}

void TBaseLazyTree::DeleteChildren(PLazyNode Node, bool ResetHasChildren) {
    if (!Node) Node = FRoot;
    if (Node->ChildCount == 0 && !Node->FirstChild) return;
    if (ReadOnly() || (Node->States & (vsClearing | vsDeleting))) return;
    DeleteChildrenNow(Node, ResetHasChildren);
}

void TBaseLazyTree::DeleteChildrenNow(PLazyNode Node, bool ResetHasChildren) {
    if (Node->ChildCount == 0 && !Node->FirstChild) return;
    RefuseWhileIterating();
    if (DeletionsWait()) {
        DetachChildren(Node, ResetHasChildren);
        return;
    }
    lt::TBusyScope Busy(*this);
    int OldX = FOffsetX, OldY = FOffsetY;
    {
        TCountScope Count(FUpdateCount);
        InterruptValidation();
        // The rows below go at once: while the children are freed nothing
        // below a clearing node is shown, so what handlers add or show there
        // meanwhile (and any recount) leaves the row count alone.
        if (Node == FRoot || FullyVisible(Node)) FVisibleCount -= CountVisibleChildren(Node);
        if (Node == FRoot)
            FRoot->TotalHeight = FRoot->NodeHeight;
        else
            AdjustTotalHeight(Node, Node->NodeHeight, false);
        NoteRowsChanged();
        Node->States |= vsClearing;
        // Counted as they go: free handlers may move nodes not yet freed out,
        // or delete the node itself.
        FreeDescendants(Node);
        Node->States &= ~vsClearing;
        if (ResetHasChildren) Node->States &= ~vsHasChildren;
        if (Node != FRoot) Node->States &= ~vsExpanded;
        Node->ChildCount = 0;
        Node->FirstChild = nullptr;
        Node->LastChild = nullptr;
        if (Node != FRoot && !(Node->States & vsDeleting)) {
            // No handler runs before both totals are right again. The node's
            // own count is 1 now, whatever a recount read halfway.
            Node->CachedTotalCount = 1;
            Node->Internal &= static_cast<std::uint8_t>(~nfCountStale);
            AdjustTotalHeight(Node, Node->NodeHeight, false);
        } else if (Node == FRoot) {
            FRoot->TotalHeight = FDefaultNodeHeight;
            FRoot->CachedTotalCount = 1;
        }
    }
    // The freed nodes were only marked in the selection: outside an update
    // nothing else would take them out.
    if (FUpdateCount == 0 && FSelectionMarked) PackSelection();
    MarkValidationNeeded();
    if (FUpdateCount == 0) {
        InvalidateCache();
        UpdateScrollBars(true);
        if (OldX == FOffsetX && OldY == FOffsetY)
            InvalidateToBottom(Node);
        else
            Invalidate();
    }
    StructureChange(Node == FRoot ? nullptr : Node, crChildDeleted);
}

void TBaseLazyTree::FreeDescendants(PLazyNode Node) {
    // Down the last children, freeing each node once its own children are gone:
    // the order of the recursive definition without its stack.
    PLazyNode Run = Node;
    for (;;) {
        if (PLazyNode Child = Run->LastChild) {
            Child->States |= vsDeleting | vsClearing;
            Run = Child;
            continue;
        }
        if (Run == Node) return;
        PLazyNode Parent = Run->Parent;
        FreeClearedLeaf(Run);
        Run = Parent;
    }
}

void TBaseLazyTree::FreeClearedLeaf(PLazyNode Node) {
    // The node goes whatever its handlers do, and so do the others of the
    // same walk: an exception passed on would stop the walk halfway, its
    // nodes marked and its counts half done. It is reported as a leave step's.
    try {
        // A deleted node's change was told when it left the tree.
        if (Node->ChildCount > 0 && !(Node->Internal & nfDoomed))
            StructureChange(Node, crChildDeleted);
        if (Node->States & vsSelected) MarkForRemoval(Node);
        if (InState(tsHint)) DoStateChange({}, {tsHint});
    } catch (...) {
        fw::ReportLeaveStepError();
    }
    Node->States &= ~vsClearing;
    if (Node == FFocusedNode) {
        try {
            DoFocusNode(nullptr, false);
            DoFocusChange(FFocusedNode, FFocusedColumn);
        } catch (...) {
            fw::ReportLeaveStepError();
        }
    }
    if (Node == FRangeAnchor) ResetRangeAnchor();
    // Each node leaves the counts as it goes (a deleted one, or one being
    // read, is in none), so they hold when a handler takes a node out halfway.
    if (!(Node->Internal & (nfRaw | nfDoomed))) AdjustTotalCount(Node->Parent, -1, true);
    // Its parent's last child, unless a handler linked a node behind it.
    Unchain(Node, false);
    NoteStructureChange();
    DoFreeNode(Node);
}

void* TBaseLazyTree::GetNodeData(PLazyNode Node) const {
    LTAssert(FNodeDataSize >= 1, "NodeDataSize not initialized.");
    if (!Node || Node == FRoot) return nullptr;
    return reinterpret_cast<std::uint8_t*>(Node) + sizeof(TLazyNode) + FTotalInternalDataSize;
}

void TBaseLazyTree::MeasureItemHeight(PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    if (Node->States & vsHeightMeasured) return;
    Node->States |= vsHeightMeasured;
    int H = Node->NodeHeight;
    DoMeasureItem(Canvas(), Node, H);
    if (H != Node->NodeHeight && H >= 0) SetNodeHeight(Node, static_cast<std::uint32_t>(H));
}

std::uint32_t TBaseLazyTree::GetNodeHeight(PLazyNode Node) {
    if (!Node || Node == FRoot) return 0;
    if (!(MiscOptions() & toVariableNodeHeight)) return Node->NodeHeight;
    lt::TBusyScope Busy(*this);
    MeasureItemHeight(Node);
    return Node->NodeHeight;
}

void TBaseLazyTree::SetNodeHeight(PLazyNode Node, std::uint32_t Value) {
    Value = std::min(Value, MaxNodeHeight);
    if (!Node || Node == FRoot || Node->NodeHeight == Value || ReadOnly()) return;
    lt::TBusyScope Busy(*this); // the worker's message may run handlers: the node stays
    InterruptValidation();
    if (Node->NodeHeight == Value) return;
    std::int64_t Diff = static_cast<std::int64_t>(Value) - Node->NodeHeight;
    Node->NodeHeight = static_cast<std::uint16_t>(Value);
    AdjustTotalHeight(Node, Diff, true);
    if (FullyVisible(Node)) {
        MarkValidationNeeded();
        if (FUpdateCount == 0) {
            InvalidateCache();
            InvalidateToBottom(Node);
            UpdateScrollBars(true);
        }
    }
}

bool TBaseLazyTree::VisiblePath(PLazyNode Node) const {
    LTAssert(Node != nullptr && Node != FRoot, "Invalid parameters.");
    // A node on its way out (unlinked) has no path, and nothing below a node
    // whose children are being freed is shown.
    for (PLazyNode Run = Node->Parent; Run != FRoot; Run = Run->Parent)
        if (!Run || (Run->States & vsClearing) || !(Run->States & vsExpanded) ||
            !(Run->States & vsVisible))
            return false;
    return !(FRoot->States & vsClearing);
}

bool TBaseLazyTree::FullyVisible(PLazyNode Node) const {
    LTAssert(Node != nullptr, "Invalid parameter.");
    if (Node == FRoot) return (Node->States & vsVisible) != 0;
    return (Node->States & vsVisible) && VisiblePath(Node);
}

bool TBaseLazyTree::GetVisible(PLazyNode Node) {
    if (!Node) Node = FRoot;
    lt::TBusyScope Busy(*this);
    if (!(Node->States & vsInitialized)) InitNode(Node);
    return (Node->States & vsVisible) != 0;
}

void TBaseLazyTree::SetVisible(PLazyNode Node, bool Value) {
    lt::TBusyScope Busy(*this);
    if (!Node || Node == FRoot || ((Node->States & vsVisible) != 0) == Value || StaysPut(Node))
        return;
    InterruptValidation();
    // The worker's message may have run handlers: the node is taken as it is now.
    if (((Node->States & vsVisible) != 0) == Value || !Node->Parent) return;
    PLazyNode Parent = Node->Parent;
    // Its rows count when every ancestor is expanded, shown and not being cleared.
    bool PathShown = VisiblePath(Node);
    if (Value) {
        Node->States |= vsVisible;
        if (Parent->States & vsExpanded) AdjustTotalHeight(Parent, Node->TotalHeight, true);
        if (PathShown) FVisibleCount += 1 + CountVisibleChildren(Node);
    } else {
        if (PathShown) FVisibleCount -= 1 + CountVisibleChildren(Node);
        if (Parent->States & vsExpanded)
            AdjustTotalHeight(Parent, -static_cast<std::int64_t>(Node->TotalHeight), true);
        Node->States &= ~vsVisible;
    }
    NoteRowsChanged();
    RowsShownChanged(Parent);
}

void TBaseLazyTree::RowsShownChanged(PLazyNode Parent) {
    if (Parent && Parent != FRoot) {
        if (FUpdateCount == 0)
            DetermineHiddenChildrenFlag(Parent);
        else
            DoStateChange({tsUpdateHiddenChildrenNeeded});
    }
    MarkValidationNeeded();
    if (FUpdateCount == 0) {
        InvalidateCache();
        UpdateScrollBars(true);
        Invalidate();
    }
}

bool TBaseLazyTree::HasVisibleNextSibling(PLazyNode Node) const {
    for (PLazyNode Run = Node->NextSibling; Run; Run = Run->NextSibling)
        if (Run->States & vsVisible) return true;
    return false;
}

bool TBaseLazyTree::IsFirstVisibleChild(PLazyNode Parent, PLazyNode Node) const {
    return GetFirstVisibleChildNoInit(Parent) == Node;
}

bool TBaseLazyTree::IsLastVisibleChild(PLazyNode Parent, PLazyNode Node) const {
    return GetLastVisibleChildNoInit(Parent) == Node;
}

std::uint32_t TBaseLazyTree::GetNodeLevel(PLazyNode Node) const {
    std::uint32_t Level = 0;
    if (!Node || Node == FRoot) return 0;
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot; Run = Run->Parent)
        ++Level;
    return Level;
}

int TBaseLazyTree::CompareNodePositions(PLazyNode Node1, PLazyNode Node2) const {
    LTAssert(Node1 != nullptr && Node2 != nullptr, "Nodes must never be nil.");
    if (Node1 == Node2) return 0;
    if (HasAsParent(Node1, Node2)) return 1;
    if (HasAsParent(Node2, Node1)) return -1;
    std::uint32_t L1 = GetNodeLevel(Node1), L2 = GetNodeLevel(Node2);
    while (L1 > L2) {
        Node1 = Node1->Parent;
        --L1;
    }
    while (L2 > L1) {
        Node2 = Node2->Parent;
        --L2;
    }
    // A node out of the tree (deleted, its memory waiting) meets the other at no parent.
    while (Node1->Parent != Node2->Parent && Node1->Parent && Node2->Parent) {
        Node1 = Node1->Parent;
        Node2 = Node2->Parent;
    }
    return static_cast<int>(static_cast<std::int64_t>(Node1->Index) - Node2->Index);
}

void TBaseLazyTree::SetRootNodeCount(std::uint32_t Value) {
    if (Loading()) {
        FRoot->ChildCount = Value;
        DoStateChange({tsNeedRootCountUpdate});
        return;
    }
    if (FRoot->ChildCount == Value) return;
    TUpdateScope U(*this);
    InterruptValidation();
    SetChildCount(FRoot, Value);
    U.Leave();
}

void TBaseLazyTree::SetNodeDataSize(int Value) {
    if (Value < -1) Value = -1;
    if (Value == FNodeDataSize) return;
    FNodeDataSize = Value;
    if (!Loading()) {
        std::uint32_t Count = FRoot->ChildCount;
        Clear();
        SetRootNodeCount(Count);
    }
}

void TBaseLazyTree::SetDefaultNodeHeight(std::uint32_t Value) {
    if (Value == 0) Value = 18;
    Value = std::min(Value, MaxNodeHeight);
    if (Value == FDefaultNodeHeight) return;
    DoStateChange({tsNeedScale});
    std::int64_t Diff = static_cast<std::int64_t>(Value) - FDefaultNodeHeight;
    FRoot->TotalHeight = static_cast<std::uint32_t>(FRoot->TotalHeight + Diff);
    FRoot->NodeHeight = static_cast<std::uint16_t>(FRoot->NodeHeight + Diff);
    FDefaultNodeHeight = Value;
    MarkValidationNeeded();
    if (FUpdateCount == 0 && HandleAllocated() && !Loading()) {
        InvalidateCache();
        UpdateScrollBars(true);
        if (FFocusedNode)
            ScrollIntoView(FFocusedNode, (SelectionOptions() & toCenterScrollIntoView) != 0, true);
        Invalidate();
    }
}

// ------------------------------------------------------------- update lock

void TBaseLazyTree::BeginUpdate() {
    if (Destroying()) return;
    DoUpdating(FUpdateCount == 0 ? usBegin : usUpdate);
    ++FUpdateCount;
    // A state handler that throws leaves no update behind.
    fw::TScopeExit Undo([this] {
        if (FUpdateCount > 0) --FUpdateCount;
    });
    DoStateChange({tsUpdating});
    Undo.Release();
}

void TBaseLazyTree::EndUpdate() {
    lt::TBusyScope Busy(*this);
    if (FUpdateCount > 0) --FUpdateCount;
    if (Destroying()) return;
    if (FUpdateCount == 0 && InState(tsUpdating)) {
        if (InState(tsUpdateHiddenChildrenNeeded)) {
            UpdateHiddenChildrenFlags();
            DoStateChange({}, {tsUpdateHiddenChildrenNeeded});
        }
        DoStateChange({}, {tsUpdating});
        PackSelection();
        InvalidateCache();
        if (HandleAllocated()) UpdateScrollBars(true);
        if (InState(tsStructureChangePending))
            DoStructureChange(FLastStructureChangeNode, FLastStructureChangeReason);
        if (InState(tsChangePending)) DoChange(FLastChangedNode);
        if (AutoOptions() & toAutoSort) SortTree(HeaderSortColumn(), HeaderSortDirection(), true);
        if (HandleAllocated()) Invalidate();
    }
    DoUpdating(FUpdateCount == 0 ? usEnd : usUpdate);
}

// ------------------------------------------------------- structure changes

PLazyNode TBaseLazyTree::AddChild(PLazyNode Parent, std::uint32_t UserData) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // the node handed back stays
    if (ReadOnly()) return nullptr;
    if (InState(tsEditing)) CancelEditNode();
    if (!Parent) Parent = FRoot;
    if (!(Parent->States & vsInitialized)) InitNode(Parent);
    PLazyNode Result = nullptr;
    {
        TCountScope Count(FUpdateCount);
        // A parent being freed, cleared or read takes none: nil, as for a read-only tree.
        Result = AppendChildren(Parent, Parent->ChildCount + 1);
        if (!Result) return nullptr;
        MarkValidationNeeded();
        StructureChange(Parent == FRoot ? nullptr : Parent, crChildAdded);
        Parent->States &= ~vsAllChildrenHidden;
    }
    if (UserData != 0) {
        if (FNodeDataSize < 4) ShowError(SCannotSetUserData, hcTFCannotSetUserData);
        std::memcpy(GetNodeData(Result), &UserData, sizeof(UserData));
        Result->States |= vsInitialUserData;
    }
    if (FUpdateCount == 0) {
        InvalidateCache();
        if (InState(tsStructureChangePending))
            DoStructureChange(Parent == FRoot ? nullptr : Parent, crChildAdded);
        if ((AutoOptions() & toAutoSort) && HeaderSortColumn() > InvalidColumn)
            Sort(Parent, HeaderSortColumn(), HeaderSortDirection(), true);
        InvalidateToBottom(Parent);
        UpdateScrollBars(true);
    }
    return Result;
}

void TBaseLazyTree::DeleteNode(PLazyNode Node, bool Reindex) {
    if (!Node || Node == FRoot || ReadOnly()) return;
    RefuseWhileIterating();
    DeleteNodeNow(Node, Reindex);
}

void TBaseLazyTree::DeleteNodeNow(PLazyNode Node, bool Reindex) {
    // A node whose deletion is already running, or done (a handler's), goes anyway.
    if (!Node->Parent || DeletionRuns(Node) || Doomed(Node)) return;
    if (DeletionsWait()) {
        DetachNode(Node, Reindex);
        return;
    }
    lt::TBusyScope Busy(*this);
    // While it goes the node takes no children and is not moved; a failure
    // before it is unlinked leaves it as it was.
    Node->Internal |= nfGoing;
    fw::TScopeExit Stays([Node] { Node->Internal &= static_cast<std::uint8_t>(~nfGoing); });
    PLazyNode Parent = Node->Parent;
    bool ParentClearing = (Parent->States & vsClearing) != 0;
    int OldX = FOffsetX, OldY = FOffsetY;
    if (!ParentClearing) StructureChange(Parent == FRoot ? nullptr : Parent, crChildDeleted);
    if (Node->States & vsSelected) {
        if (FUpdateCount == 0) {
            {
                TStateScope S(*this, tsSynchMode, InState(tsSynchMode));
                RemoveFromSelection(Node);
                S.Leave();
            }
            InvalidateToBottom(Parent);
        } else {
            MarkForRemoval(Node);
        }
    } else {
        InvalidateToBottom(Parent);
    }
    if (InState(tsHint)) DoStateChange({}, {tsHint});
    InterruptValidation();
    DeleteChildrenNow(Node, false);
    UnlinkNode(Node, false, Reindex);
    Stays.Release();
    DoFreeNode(Node);
    if (!ParentClearing) {
        DetermineHiddenChildrenFlag(Parent);
        MarkValidationNeeded();
        if (FUpdateCount == 0) {
            InvalidateCache();
            UpdateScrollBars(true);
            if (OldX != FOffsetX || OldY != FOffsetY) Invalidate();
        }
    }
}

void TBaseLazyTree::DeleteSelectedNodes() {
    if (FSelectionCount == 0 || ReadOnly()) return;
    RefuseWhileIterating();
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TNodeArray Nodes = GetSortedSelection(true);
    // A deletion's handlers may move a node still to go below one going now:
    // it goes with that one, and leaves the set.
    lt::TNodeWatch Left(*this, Nodes), Parents(*this, {});
    // Each parent's children are numbered once, however many of them went
    // (and when a handler's exception stops the deletions halfway).
    fw::TScopeExit Renumber([&Parents] {
        for (PLazyNode P : Parents.Live())
            NumberChildren(P);
    });
    for (std::size_t I = Nodes.size(); I-- > 0;) {
        if (!Left.Alive(Nodes[I])) continue;
        Parents.Add(Nodes[I]->Parent);
        DeleteNodeNow(Nodes[I], false);
    }
    Renumber.Leave();
    U.Leave();
}

void TBaseLazyTree::Clear() {
    if (ReadOnly() && !Destroying()) return;
    if (FRoot->States & vsClearing) return;
    RefuseWhileIterating();
    ClearNow();
}

void TBaseLazyTree::ClearNow() {
    if (ReadOnly() && !Destroying()) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    InterruptValidation();
    if (InState(tsEditing)) CancelEditNode();
    // The nodes a pending cut or copy names go: so does its data on the clipboard.
    if (InState(tsCopyPending) || InState(tsCutPending)) {
        ReleaseClipboardData();
        DoStateChange({}, {tsCopyPending, tsCutPending});
    }
    ClearSelection();
    FFocusedNode = nullptr;
    FHotNode = nullptr;
    // The rows went with the children; handlers at the clear's end may have
    // added nodes since, which count.
    DeleteChildrenNow(FRoot, true);
    FOffsetX = 0;
    FOffsetY = 0;
    U.Leave();
}

bool TBaseLazyTree::MoveTo(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode,
                           bool ChildrenOnly) {
    lt::TBusyScope Busy(*this);
    if (Mode == amNoWhere || !Source || Source == FRoot || ReadOnly() || StaysPut(Source))
        return false;
    LTAssert(TreeFromNode(Source) == this, "The source tree must contain the source node.");
    TBaseLazyTree* TargetTree = this;
    if (!Target) {
        Target = FRoot;
        Mode = amAddChildFirst;
    } else if (!(TargetTree = TreeFromNode(Target))) {
        return false; // a node on its way out of its tree
    }
    if (Target == TargetTree->FRoot) {
        if (Mode == amInsertBefore)
            Mode = amAddChildFirst;
        else if (Mode == amInsertAfter)
            Mode = amAddChildLast;
    }
    if (Source == Target && !(ChildrenOnly && (Mode == amInsertBefore || Mode == amInsertAfter)))
        return false;
    PLazyNode EventTarget = Target == TargetTree->FRoot ? nullptr : Target;
    // What handlers of this tree delete keeps its memory until the move ends;
    // another tree frees at once: its target is used while it lives.
    lt::TNodeWatch TargetLive(*TargetTree, {Target});
    auto TargetGone = [&] {
        return fw::Gone(TargetTree) || (Target != TargetTree->FRoot && !TargetLive.Alive(Target));
    };
    if (!DoNodeMoving(Source, EventTarget) || TargetGone()) return false;
    if (TargetTree == this) return MoveWithin(Source, Target, Mode, ChildrenOnly);
    // Another tree: copy through the node-chunk format, then drop the sources,
    // which a walk running here forbids.
    LTAssert(!InState(tsIterating),
             "Deleting nodes during tree iteration leads to invalid pointers.");
    TUpdateScope TargetUpdate(*TargetTree);
    std::vector<PLazyNode> Sources;
    if (ChildrenOnly)
        for (PLazyNode Run = Source->FirstChild; Run; Run = Run->NextSibling)
            Sources.push_back(Run);
    else
        Sources.push_back(Source);
    TNodeArray Held = Sources;
    Held.push_back(Source);
    lt::TNodeWatch Live(*this, Held);
    // Only the sources that arrived leave this tree.
    std::vector<PLazyNode> Arrived;
    const bool Beside = Mode == amInsertBefore || Mode == amInsertAfter;
    for (PLazyNode S : Sources) {
        if (TargetGone() || !TargetTree->TakesChildren(Beside ? Target->Parent : Target)) break;
        PLazyNode N = Live.Alive(S) ? TargetTree->CopyTo(S, Target, Mode, false) : nullptr;
        if (!N) continue;
        Arrived.push_back(S);
        TargetTree->DoNodeMoved(N);
    }
    if (ChildrenOnly && !Arrived.empty() && Arrived.size() == Sources.size() &&
        Live.Alive(Source))
        DeleteChildren(Source, false);
    else
        for (PLazyNode S : Arrived)
            if (Live.Alive(S)) DeleteNode(S, true);
    TargetUpdate.Leave();
    return !Arrived.empty();
}

bool TBaseLazyTree::MoveWithin(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode,
                               bool ChildrenOnly) {
    if (Target != FRoot && HasAsParent(Target, Source))
        ShowError(SWrongMoveError, hcTFWrongMoveError);
    // Handlers (of the update, the worker's message, each move) may change
    // the tree: each move is checked against the tree as it is then.
    std::uint64_t Checked = FStructureStamp;
    TUpdateScope U(*this);
    InterruptValidation();
    const bool Beside = Mode == amInsertBefore || Mode == amInsertAfter;
    bool Moved = false;
    auto MoveOne = [&](PLazyNode Node) {
        if (FStructureStamp != Checked &&
            (StaysPut(Node) || Node == Target || !Node->Parent ||
             (Target != FRoot && (!Target->Parent || HasAsParent(Target, Node)))))
            return;
        if (StaysPut(Node) || !TakesChildren(Beside ? Target->Parent : Target)) return;
        UnlinkNode(Node, true, true);
        LinkNode(Node, Target, Mode);
        Checked = FStructureStamp;
        Moved = true;
        DoNodeMoved(Node);
    };
    if (ChildrenOnly) {
        // Keep the children's order: modes that place each node in front of
        // the previous one take them last first, the others first first.
        std::vector<PLazyNode> Children;
        for (PLazyNode Run = Source->FirstChild; Run; Run = Run->NextSibling)
            Children.push_back(Run);
        if (Mode == amInsertAfter || Mode == amAddChildFirst)
            std::reverse(Children.begin(), Children.end());
        for (PLazyNode Run : Children)
            MoveOne(Run);
    } else {
        MoveOne(Source);
    }
    StructureChange(Source, crNodeMoved);
    U.Leave();
    return Moved;
}

bool TBaseLazyTree::MoveTo(PLazyNode Source, TBaseLazyTree* Tree, TLTNodeAttachMode Mode,
                           bool ChildrenOnly) {
    return Tree && MoveTo(Source, Tree->FRoot, Mode, ChildrenOnly);
}

void TBaseLazyTree::ResetNode(PLazyNode Node) {
    if (!Node || Node == FRoot) {
        Clear();
        return;
    }
    // A deleted node keeps what it had (its handler may delete it too); a
    // read-only tree keeps the children.
    if (Doomed(Node)) return;
    RefuseWhileIterating();
    lt::TBusyScope Busy(*this);
    if (InState(tsEditing)) CancelEditNode();
    DoReset(Node);
    if (Doomed(Node)) return;
    if (!ReadOnly()) DeleteChildrenNow(Node, false);
    // Handlers at the deletion's end may have added children and expanded the
    // node again: it is collapsed with its totals, not by its flag alone, and
    // keeps the button of children it has.
    if (Node->States & vsExpanded) {
        if (FullyVisible(Node)) FVisibleCount -= CountVisibleChildren(Node);
        AdjustTotalHeight(Node, Node->NodeHeight, false);
        NoteRowsChanged();
    }
    TLazyNodeStates Reset = vsInitialized | vsChecking | vsCutOrCopy | vsDeleting | vsExpanded |
                            vsHeightMeasured;
    if (!Node->FirstChild) Reset |= vsHasChildren;
    Node->States &= ~Reset;
    InvalidateNode(Node);
}

namespace {

void ClearPassingStates(PLazyNode Node) {
    Node->States &= ~(vsChecking | vsCutOrCopy | vsDeleting | vsHeightMeasured);
}

} // namespace

void TBaseLazyTree::ReinitNode(PLazyNode Node, bool Recursive) {
    if (!Node || Node == FRoot) {
        if (Recursive) ReinitChildren(FRoot, true);
        return;
    }
    // A node on its way out keeps its marks: it would take children again.
    if (StaysPut(Node)) return;
    lt::TBusyScope Busy(*this);
    ClearPassingStates(Node);
    InitNode(Node);
    if (Recursive) ReinitChildren(Node, true);
}

void TBaseLazyTree::ReinitChildren(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    if (StaysPut(Node)) return;
    lt::TBusyScope Busy(*this);
    if (Node->States & vsHasChildren) InitChildren(Node);
    WalkBelow(*this, Node, [&](PLazyNode Run) {
        if (StaysPut(Run)) return false;
        ClearPassingStates(Run);
        InitNode(Run);
        if (Recursive && (Run->States & vsHasChildren)) InitChildren(Run);
        return Recursive;
    });
}

void TBaseLazyTree::ValidateChildren(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    lt::TBusyScope Busy(*this);
    if ((Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    WalkBelow(*this, Node, [&](PLazyNode Run) {
        if (!(Run->States & vsInitialized)) InitNode(Run);
        if (Recursive && (Run->States & vsHasChildren) && Run->ChildCount == 0) InitChildren(Run);
        return Recursive;
    });
}

void TBaseLazyTree::ValidateNode(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    lt::TBusyScope Busy(*this);
    if (Node != FRoot && !(Node->States & vsInitialized)) InitNode(Node);
    if (Recursive) ValidateChildren(Node, true);
}

// ----------------------------------------------------------------- sorting

namespace {

// Merge sort of Nodes[Lo, Hi): the first part takes half the nodes (rounded
// down), each part is sorted, then merged taking the second part's head only
// when it must go first, so equal nodes keep their order either way.
template <class TCompare>
void MergeSort(TNodeArray& Nodes, TNodeArray& Scratch, std::size_t Lo, std::size_t Hi,
               TCompare& Compare) {
    if (Hi - Lo < 2) return;
    const std::size_t Mid = Lo + (Hi - Lo) / 2;
    MergeSort(Nodes, Scratch, Lo, Mid, Compare);
    MergeSort(Nodes, Scratch, Mid, Hi, Compare);
    std::size_t A = Lo, B = Mid, W = Lo;
    while (A < Mid && B < Hi)
        Scratch[W++] = Compare(Nodes[A], Nodes[B]) ? Nodes[B++] : Nodes[A++];
    while (A < Mid)
        Scratch[W++] = Nodes[A++];
    while (B < Hi)
        Scratch[W++] = Nodes[B++];
    std::copy(Scratch.begin() + static_cast<std::ptrdiff_t>(Lo),
              Scratch.begin() + static_cast<std::ptrdiff_t>(Hi),
              Nodes.begin() + static_cast<std::ptrdiff_t>(Lo));
}

// Links Node's children in the order given, with their indexes and back links.
void LinkSortedChildren(PLazyNode Node, const TNodeArray& Order) {
    PLazyNode Prev = nullptr;
    std::uint32_t Index = 0;
    for (PLazyNode Run : Order) {
        Run->Index = Index++;
        Run->PrevSibling = Prev;
        if (Prev)
            Prev->NextSibling = Run;
        else
            Node->FirstChild = Run;
        Prev = Run;
    }
    Prev->NextSibling = nullptr;
    Node->LastChild = Prev;
}

} // namespace

void TBaseLazyTree::Sort(PLazyNode Node, int Column, TSortDirection Direction, bool DoInit) {
    lt::TBusyScope Busy(*this);
    InterruptValidation();
    if (InState(tsEditPending)) {
        if (HandleAllocated()) fw::KillTimer(Handle(), EditTimer);
        DoStateChange({}, {tsEditPending});
    }
    if (InState(tsEditing) && !EndEditNode()) return;
    if (!Node) Node = FRoot;
    if (!(Node->States & vsHasChildren)) return;
    if (DoInit) {
        if (Node->ChildCount == 0) InitChildren(Node);
        ValidateChildren(Node, false);
    }
    if (Node->ChildCount < 2) return;
    // The merge runs on a list of its own: the sibling chain stays whole
    // while the comparison handler runs, and a handler that throws leaves it
    // as it was. Children that changed meanwhile stay as the handler left them.
    // Children being freed (a deletion walks them last first), read or
    // deleted are not moved.
    TNodeArray Old;
    for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling) {
        if (StaysPut(Run)) return;
        Old.push_back(Run);
    }
    if (Old.size() < 2 || !TakesChildren(Node)) return;
    const std::uint64_t Stamp = FStructureStamp;
    TNodeArray Order = Old, Scratch(Old.size());
    auto TakeSecond = [this, Column, Direction](PLazyNode A, PLazyNode B) {
        const int C = DoCompare(A, B, Column);
        return Direction == sdAscending ? C > 0 : C < 0;
    };
    MergeSort(Order, Scratch, 0, Order.size(), TakeSecond);
    if (FStructureStamp != Stamp) {
        std::size_t I = 0;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            if (I >= Old.size() || Old[I++] != Run) return;
        if (I != Old.size()) return;
    }
    if (!TakesChildren(Node)) return;
    LinkSortedChildren(Node, Order);
    NoteStructureChange();
    MarkValidationNeeded();
    if (FUpdateCount == 0) {
        InvalidateCache();
        Invalidate();
    }
}

void TBaseLazyTree::SortChildrenRecursive(PLazyNode Node, int Column, TSortDirection Direction,
                                          bool DoInit) {
    Sort(Node, Column, Direction, DoInit);
    WalkBelow(*this, Node, [&](PLazyNode Run) {
        if (DoInit && !(Run->States & vsInitialized)) InitNode(Run);
        if (!(Run->States & vsInitialized)) return false;
        Sort(Run, Column, Direction, DoInit);
        return true;
    });
}

void TBaseLazyTree::SortTree(int Column, TSortDirection Direction, bool DoInit) {
    lt::TBusyScope Busy(*this);
    {
        TCountScope Count(FUpdateCount);
        if (Column > InvalidColumn) SortChildrenRecursive(FRoot, Column, Direction, DoInit);
        MarkValidationNeeded();
    }
    if (FUpdateCount == 0) {
        InvalidateCache();
        Invalidate();
    }
}

// ------------------------------------------------------------ the header link

int TBaseLazyTree::HeaderSortColumn() const {
    return FHeader ? FHeader->SortColumn() : NoColumn;
}

TSortDirection TBaseLazyTree::HeaderSortDirection() const {
    return FHeader ? FHeader->SortDirection() : sdAscending;
}

int TBaseLazyTree::HeaderMainColumn() const {
    return FHeader ? FHeader->MainColumn() : NoColumn;
}

bool TBaseLazyTree::HeaderUseColumns() const {
    return FHeader && FHeader->Columns().Count() > 0;
}

// --------------------------------------------------------------- properties

void TBaseLazyTree::SetAnimationDuration(std::uint32_t Value) {
    FAnimationDuration = Value;
    TLTAnimationOptions A = FOptions->AnimationOptions();
    FOptions->SetAnimationOptions(Value != 0 ? (A | toAnimatedToggle) : (A & ~toAnimatedToggle));
}

void TBaseLazyTree::SetIndent(std::uint32_t Value) {
    Value = std::min(Value, static_cast<std::uint32_t>(MaxExtent));
    if (FIndent == Value) return;
    FIndent = Value;
    if (HandleAllocated() && !Loading() && FUpdateCount == 0) {
        UpdateScrollBars(true);
        Invalidate();
    }
}

void TBaseLazyTree::SetMargin(int Value) {
    Value = HeldExtent(Value);
    if (FMargin == Value) return;
    FMargin = Value;
    if (HandleAllocated() && !Loading()) Invalidate();
}

void TBaseLazyTree::SetTextMargin(int Value) {
    Value = HeldExtent(Value);
    if (FTextMargin == Value) return;
    FTextMargin = Value;
    if (HandleAllocated() && !Loading()) Invalidate();
}

void TBaseLazyTree::UpdateScrollBars(bool DoRepaint) {
    if (HandleAllocated()) {
        UpdateRangeX();
        UpdateScrollBar(fw::SB_HORZ, DoRepaint);
        UpdateScrollBar(fw::SB_VERT, DoRepaint);
        if (DoRepaint) Invalidate();
        return;
    }
    // The content may have shrunk below the current offset.
    FOffsetY = std::max(FOffsetY, MinOffsetY());
}

int TBaseLazyTree::MinOffsetY() const {
    const std::int64_t Below = std::int64_t{RowAreaHeight()} - std::int64_t{RangeY()};
    return static_cast<int>(std::clamp<std::int64_t>(Below, -MaxScrollDepth, 0));
}

void TBaseLazyTree::UpdateScrollBar(int Bar, bool DoRepaint) {
    const bool Vertical = Bar == fw::SB_VERT;
    const TScrollStyle Style = ScrollBarOptions()->ScrollBars();
    const bool Always = ScrollBarOptions()->AlwaysVisible();
    auto SetOffset = [&](int Value) {
        if (Vertical)
            SetOffsetY(Value);
        else
            SetOffsetX(Value);
    };
    if (!(Vertical ? fw::HasVertScrollBar(Style) : fw::HasHorzScrollBar(Style))) {
        fw::ShowScrollBar(Handle(), Bar, false);
        SetOffset(Vertical ? FOffsetY : FOffsetX); // only limited to the content
        return;
    }
    const std::int64_t Range = Vertical ? RangeY()
                               : Header() && Header()->Columns().Count() > 0
                                   ? Header()->Columns().TotalWidth()
                                   : static_cast<std::int64_t>(FRangeX);
    const int Client = Vertical ? RowAreaHeight() : ClientWidth();
    fw::TScrollInfo Info; // all zeros for content that fits, which hides the bar
    Info.fMask = fw::SIF_ALL;
    if (Client < Range || Always) {
        // As far as an offset reaches.
        Info.nMax = static_cast<int>(
            std::min<std::int64_t>(Range, Vertical ? MaxScrollDepth + Client : INT32_MAX));
        Info.nPage = static_cast<fw::UINT>(std::max(Client + 1, 0));
        Info.nPos = -(Vertical ? FOffsetY : FOffsetX);
        if (Always) Info.fMask |= fw::SIF_DISABLENOSCROLL;
    }
    // The offset follows the bar, which kept its position inside the content.
    SetOffset(-fw::SetScrollInfo(Handle(), Bar, Info, DoRepaint));
}

void TBaseLazyTree::SetOffsetY(int Value) {
    lt::TBusyScope Busy(*this, TBusyKind::Hold); // called amid column and scroll work
    const int V = std::clamp(Value, MinOffsetY(), 0);
    if (V == FOffsetY) return;
    const int Delta = V - FOffsetY;
    FOffsetY = V;
    if (HandleAllocated() && !InState(tsThumbTracking))
        fw::SetScrollPos(Handle(), fw::SB_VERT, -FOffsetY, true);
    DoScroll(0, Delta);
    if (HandleAllocated()) Invalidate();
}

// ---------------------------------------------------------------- repainting

void TBaseLazyTree::InvalidateNode(PLazyNode Node) {
    if (FUpdateCount > 0 || !HandleAllocated() || !Node || Node == FRoot) return;
    fw::TRect R = GetDisplayRect(Node, NoColumn, false, true);
    if (R.Bottom > R.Top) InvalidateRect(R);
}

void TBaseLazyTree::InvalidateChildren(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    lt::TBusyScope Busy(*this);
    if (Node != FRoot) InvalidateNode(Node);
    if ((Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    WalkBelow(*this, Node, [&](PLazyNode Run) {
        if (!(Run->States & vsInitialized)) InitNode(Run);
        InvalidateNode(Run);
        if (Recursive && (Run->States & vsHasChildren) && Run->ChildCount == 0) InitChildren(Run);
        return Recursive;
    });
}

void TBaseLazyTree::InvalidateToBottom(PLazyNode Node) {
    if (FUpdateCount > 0 || !HandleAllocated()) return;
    if (!Node || Node == FRoot) {
        Invalidate();
        return;
    }
    if ((Node->States & vsVisible) && (Node->States & vsInitialized)) {
        fw::TRect R = GetDisplayRect(Node, NoColumn, false, true);
        if (R.Top < ClientHeight()) {
            R.Top = std::max(R.Top, RowAreaTop());
            R.Left = 0;
            R.Right = ClientWidth();
            R.Bottom = ClientHeight();
            InvalidateRect(R);
        }
    }
}

} // namespace vel
