// The tree model: node storage, the update lock, structure changes,
// expanding, iteration, sorting and the tree's properties. Checks live in
// LazyTreeChecks.cpp, event dispatchers in LazyTreeEvents.cpp.
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
    FDeferred.clear();
    FDragManager.reset(); // a drag this tree runs ends while the tree is still whole
    if (FPanningWindow) fw::DestroyWindowHandle(FPanningWindow);
    FOptions->SetMiscOptions(FOptions->MiscOptions() & ~toReadOnly);
    InterruptValidation();
    try {
        ClearNow();
    } catch (...) {
        // A handler that throws while the tree goes away must not stop the freeing.
    }
    FHeader.reset();
    if (FRoot) {
        FreeNodeBlock(FRoot);
        FRoot = nullptr;
    }
    DropThreadReference(this);
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
    FRoot->TotalCount = 1;
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
    N->TotalCount = 1;
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
    FRoot->TotalCount = static_cast<std::uint32_t>(FRoot->TotalCount + Diff);
    if (Node == FRoot) return;
    if (!(Node->Internal & nfCountStale))
        Node->TotalCount = static_cast<std::uint32_t>(Node->TotalCount + Diff);
    // A stale node's ancestors are all stale already: marking stops there, so
    // a chain grown at its end costs no walk up.
    for (PLazyNode Run = Node->Parent; Run && Run != FRoot && !(Run->Internal & nfCountStale);
         Run = Run->Parent)
        Run->Internal |= nfCountStale;
}

std::uint32_t TBaseLazyTree::NodeTotalCount(PLazyNode Node) const {
    if (!Node) Node = FRoot;
    if (!(Node->Internal & nfCountStale)) return Node->TotalCount;
    // The stale part of the subtree, parents first; recounted children first.
    std::vector<PLazyNode> Stale{Node};
    for (std::size_t I = 0; I < Stale.size(); ++I)
        for (PLazyNode C = Stale[I]->FirstChild; C; C = C->NextSibling)
            if (C->Internal & nfCountStale) Stale.push_back(C);
    for (auto It = Stale.rbegin(); It != Stale.rend(); ++It) {
        std::uint32_t Count = 1;
        for (PLazyNode C = (*It)->FirstChild; C; C = C->NextSibling)
            Count += C->TotalCount;
        (*It)->TotalCount = Count;
        (*It)->Internal &= static_cast<std::uint8_t>(~nfCountStale);
    }
    return Node->TotalCount;
}

void TBaseLazyTree::AdjustTotalHeight(PLazyNode Node, std::int64_t Value, bool Relative) {
    std::int64_t Diff = Relative ? Value : Value - static_cast<std::int64_t>(Node->TotalHeight);
    PLazyNode Run = Node;
    for (;;) {
        Run->TotalHeight = static_cast<std::uint32_t>(Run->TotalHeight + Diff);
        if (!(Run->States & vsVisible) || Run == FRoot) break;
        Run = Run->Parent;
        if (!(Run->States & vsExpanded)) break;
    }
}

std::uint32_t TBaseLazyTree::ChildCount(PLazyNode Node) const {
    return (Node ? Node : FRoot)->ChildCount;
}

void TBaseLazyTree::SetChildCount(PLazyNode Node, std::uint32_t NewChildCount) {
    if (ReadOnly()) return;
    if (!Node) Node = FRoot;
    // A node whose children are being freed takes no new ones.
    if (Node->States & (vsClearing | vsDeleting)) return;
    if (NewChildCount == 0) {
        DeleteChildren(Node, false);
        return;
    }
    std::int64_t Count = static_cast<std::int64_t>(NewChildCount) - Node->ChildCount;
    if (Count == 0) return;
    if (Count < 0 && DeferWhileHandling(Node, [this, Node, NewChildCount] {
            SetChildCount(Node, NewChildCount);
        }))
        return;
    lt::TBusyScope Busy(*this);
    InterruptValidation();
    if (Count > 0) {
        std::uint32_t Index = 0;
        if (Node->LastChild)
            Index = Node->LastChild->Index + 1;
        else
            Node->States |= vsHasChildren;
        std::int64_t NewHeight = 0;
        std::int64_t Made = 0;
        // Nodes made before a failed allocation stay linked and counted.
        {
            fw::TScopeExit Commit([this, Node, &Made, &NewHeight] {
                if (Node->States & vsExpanded) {
                    AdjustTotalHeight(Node, NewHeight, true);
                    if (FullyVisible(Node)) FVisibleCount += static_cast<std::uint32_t>(Made);
                }
                AdjustTotalCount(Node, Made, true);
                Node->ChildCount += static_cast<std::uint32_t>(Made);
            });
            for (std::int64_t I = 0; I < Count; ++I) {
                PLazyNode Child = MakeNewNode();
                Child->Index = Index++;
                Child->PrevSibling = Node->LastChild;
                Child->Parent = Node;
                if (Node->LastChild)
                    Node->LastChild->NextSibling = Child;
                else
                    Node->FirstChild = Child;
                Node->LastChild = Child;
                ++Made;
                // A measured height reaches the parent through SetNodeHeight itself.
                NewHeight += Child->TotalHeight;
                GetNodeHeight(Child);
            }
        }
        if (FUpdateCount == 0 && (AutoOptions() & toAutoSort) && HeaderSortColumn() > InvalidColumn)
            Sort(Node, HeaderSortColumn(), HeaderSortDirection(), true);
        MarkValidationNeeded();
    } else {
        while (static_cast<std::int64_t>(Node->ChildCount) > NewChildCount && Node->LastChild)
            DeleteNodeNow(Node->LastChild, true);
    }
    if (FUpdateCount == 0) {
        InvalidateCache();
        UpdateScrollBars(true);
        Invalidate();
    }
    StructureChange(Node == FRoot ? nullptr : Node, crChildAdded);
}

void TBaseLazyTree::DeleteChildren(PLazyNode Node, bool ResetHasChildren) {
    if (!Node) Node = FRoot;
    if (Node->ChildCount == 0 && !Node->FirstChild) return;
    if (ReadOnly() || (Node->States & (vsClearing | vsDeleting))) return;
    if (DeferWhileHandling(Node, [this, Node, ResetHasChildren] {
            DeleteChildren(Node, ResetHasChildren);
        }))
        return;
    DeleteChildrenNow(Node, ResetHasChildren);
}

void TBaseLazyTree::DeleteChildrenNow(PLazyNode Node, bool ResetHasChildren) {
    if (Node->ChildCount == 0 && !Node->FirstChild) return;
    if (ReadOnly() && !Destroying()) return;
    LTAssert(!InState(tsIterating),
             "Deleting nodes during tree iteration leads to invalid pointers.");
    lt::TBusyScope Busy(*this);
    int OldX = FOffsetX, OldY = FOffsetY;
    {
        TCountScope Count(FUpdateCount);
        InterruptValidation();
        // Counted before the children go: a stale count is taken while they are there.
        const std::uint32_t Removed = NodeTotalCount(Node) - 1;
        if (Node == FRoot || (FullyVisible(Node) && (Node->States & vsExpanded)))
            Node->Internal |= nfCounted;
        else
            Node->Internal &= static_cast<std::uint8_t>(~nfCounted);
        Node->States |= vsClearing;
        FreeDescendants(Node);
        Node->Internal &= static_cast<std::uint8_t>(~nfCounted);
        Node->States &= ~vsClearing;
        if (ResetHasChildren) Node->States &= ~vsHasChildren;
        if (Node != FRoot) Node->States &= ~vsExpanded;
        Node->ChildCount = 0;
        Node->FirstChild = nullptr;
        Node->LastChild = nullptr;
        if (Node != FRoot && !(Node->States & vsDeleting)) {
            AdjustTotalHeight(Node, GetNodeHeight(Node), false);
            AdjustTotalCount(Node, -static_cast<std::int64_t>(Removed), true);
        } else if (Node == FRoot) {
            FRoot->TotalHeight = FDefaultNodeHeight;
            FRoot->TotalCount = 1;
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
            // Counted in VisibleCount: visible below a counted, expanded parent.
            const bool Shown = (Run->Internal & nfCounted) && (Child->States & vsVisible);
            if (Shown) --FVisibleCount;
            if (Shown && (Child->States & vsExpanded))
                Child->Internal |= nfCounted;
            else
                Child->Internal &= static_cast<std::uint8_t>(~nfCounted);
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
    PLazyNode Parent = Node->Parent;
    if (Node->ChildCount > 0) StructureChange(Node, crChildDeleted);
    if (Node->States & vsSelected) MarkForRemoval(Node);
    if (InState(tsHint)) DoStateChange({}, {tsHint});
    Node->States &= ~vsClearing;
    if (Node == FFocusedNode) {
        DoFocusNode(nullptr, false);
        DoFocusChange(FFocusedNode, FFocusedColumn);
    }
    if (Node == FRangeAnchor) ResetRangeAnchor();
    // Always the last child: its parent's list loses its end.
    Parent->LastChild = Node->PrevSibling;
    if (Node->PrevSibling)
        Node->PrevSibling->NextSibling = nullptr;
    else
        Parent->FirstChild = nullptr;
    Node->Parent = nullptr;
    Node->PrevSibling = nullptr;
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
    InterruptValidation();
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
    for (PLazyNode Run = Node->Parent; Run != FRoot; Run = Run->Parent)
        if (!(Run->States & vsExpanded) || !(Run->States & vsVisible)) return false;
    return true;
}

bool TBaseLazyTree::FullyVisible(PLazyNode Node) const {
    LTAssert(Node != nullptr, "Invalid parameter.");
    if (Node == FRoot) return (Node->States & vsVisible) != 0;
    return (Node->States & vsVisible) && VisiblePath(Node);
}

bool TBaseLazyTree::GetVisible(PLazyNode Node) {
    if (!Node) Node = FRoot;
    if (!(Node->States & vsInitialized)) InitNode(Node);
    return (Node->States & vsVisible) != 0;
}

void TBaseLazyTree::SetVisible(PLazyNode Node, bool Value) {
    lt::TBusyScope Busy(*this);
    if (!Node || Node == FRoot || ((Node->States & vsVisible) != 0) == Value) return;
    InterruptValidation();
    PLazyNode Parent = Node->Parent;
    bool PathShown = (Parent == FRoot || FullyVisible(Parent)) && (Parent->States & vsExpanded);
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
    if (Parent != FRoot) {
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
    for (PLazyNode Run = Node->Parent; Run != FRoot; Run = Run->Parent)
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
    while (Node1->Parent != Node2->Parent) {
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
    DoStateChange({tsUpdating});
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
    lt::TBusyScope Busy(*this);
    if (ReadOnly()) return nullptr;
    if (InState(tsEditing)) CancelEditNode();
    if (!Parent) Parent = FRoot;
    if (!(Parent->States & vsInitialized)) InitNode(Parent);
    {
        TCountScope Count(FUpdateCount);
        SetChildCount(Parent, Parent->ChildCount + 1);
        Parent->States &= ~vsAllChildrenHidden;
    }
    PLazyNode Result = Parent->LastChild;
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
    LTAssert(!InState(tsIterating),
             "Deleting nodes during tree iteration leads to invalid pointers.");
    // A node whose deletion is already running goes anyway.
    if (Node->States & vsDeleting) return;
    if (DeferWhileHandling(Node, [this, Node, Reindex] { DeleteNode(Node, Reindex); })) return;
    DeleteNodeNow(Node, Reindex);
}

void TBaseLazyTree::DeleteNodeNow(PLazyNode Node, bool Reindex) {
    lt::TBusyScope Busy(*this);
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
    if (DeferWhileHandling(nullptr, [this] { DeleteSelectedNodes(); })) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TNodeArray Nodes = GetSortedSelection(true);
    for (std::size_t I = Nodes.size(); I-- > 0;) {
        bool Reindex = I == 0 || Nodes[I]->Parent != Nodes[I - 1]->Parent;
        DeleteNodeNow(Nodes[I], Reindex);
    }
    U.Leave();
}

void TBaseLazyTree::Clear() {
    if (ReadOnly() && !Destroying()) return;
    if (FRoot->States & vsClearing) return;
    if (DeferWhileHandling(nullptr, [this] { Clear(); })) return;
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
    DeleteChildrenNow(FRoot, true);
    FVisibleCount = 0;
    FOffsetX = 0;
    FOffsetY = 0;
    U.Leave();
}

// ------------------------------------------------- handlers that delete nodes

void TBaseLazyTree::EnterBusy(bool Handler) {
    ++FBusyCount;
    if (Handler) ++FHandlerDepth;
}

void TBaseLazyTree::LeaveBusy(bool Handler) {
    if (Handler && FHandlerDepth > 0) --FHandlerDepth;
    if (FBusyCount > 0) --FBusyCount;
    if (FBusyCount != 0 || FDeferred.empty()) return;
    if (!Handler) {
        RunDeferred();
        return;
    }
    // A handler called outside every operation: whoever called it may still
    // hold the node, so the deletions wait for the message loop (or, with no
    // window, for the end of the next operation).
    if (HandleAllocated() && !FDeferredPosted) {
        FDeferredPosted = true;
        fw::PostMessage(Handle(), lt::CM_RUNDEFERRED, 0, 0);
    }
}

bool TBaseLazyTree::DeferWhileHandling(PLazyNode Node, std::function<void()> Run) {
    if (FHandlerDepth == 0) return false;
    FDeferred.push_back({Node, std::move(Run)});
    return true;
}

void TBaseLazyTree::RunDeferred() {
    // A deletion's own handlers queue theirs behind it.
    lt::TBusyScope Busy(*this);
    while (!FDeferred.empty()) {
        TDeferredDeletion D = std::move(FDeferred.front());
        FDeferred.pop_front();
        D.Run();
    }
}

bool TBaseLazyTree::MoveTo(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode,
                           bool ChildrenOnly) {
    lt::TBusyScope Busy(*this);
    if (Mode == amNoWhere || !Source || Source == FRoot || ReadOnly()) return false;
    LTAssert(TreeFromNode(Source) == this, "The source tree must contain the source node.");
    TBaseLazyTree* TargetTree = this;
    if (!Target) {
        Target = FRoot;
        Mode = amAddChildFirst;
    } else {
        TargetTree = TreeFromNode(Target);
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
    // Handlers of this tree wait with their deletions until the move ends;
    // those of another tree do not: its target is used while it lives.
    lt::TNodeWatch TargetLive(*TargetTree, {Target});
    auto TargetGone = [&] { return Target != TargetTree->FRoot && !TargetLive.Alive(Target); };
    if (!DoNodeMoving(Source, EventTarget) || TargetGone()) return false;
    if (TargetTree == this) {
        if (Target != FRoot && HasAsParent(Target, Source))
            ShowError(SWrongMoveError, hcTFWrongMoveError);
        TUpdateScope U(*this);
        InterruptValidation();
        auto MoveOne = [&](PLazyNode Node) {
            UnlinkNode(Node, true, true);
            LinkNode(Node, Target, Mode);
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
        return true;
    } else {
        // Another tree: copy through the node-chunk format, then drop the sources.
        TUpdateScope TargetUpdate(*TargetTree);
        std::vector<PLazyNode> Sources;
        if (ChildrenOnly)
            for (PLazyNode Run = Source->FirstChild; Run; Run = Run->NextSibling)
                Sources.push_back(Run);
        else
            Sources.push_back(Source);
        // The other tree's handlers may free nodes of this one too.
        TNodeArray Held = Sources;
        Held.push_back(Source);
        lt::TNodeWatch Live(*this, Held);
        // Only the sources that arrived leave this tree.
        std::vector<PLazyNode> Arrived;
        for (PLazyNode S : Sources) {
            const bool Usable = Live.Alive(S) && !TargetGone();
            PLazyNode N = Usable ? TargetTree->CopyTo(S, Target, Mode, false) : nullptr;
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
    if (DeferWhileHandling(Node, [this, Node] { ResetNode(Node); })) return;
    lt::TBusyScope Busy(*this);
    if (InState(tsEditing)) CancelEditNode();
    DoReset(Node);
    DeleteChildrenNow(Node, false);
    Node->States &= ~(vsInitialized | vsChecking | vsCutOrCopy | vsDeleting | vsExpanded |
                      vsHasChildren | vsHeightMeasured);
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
    lt::TBusyScope Busy(*this);
    ClearPassingStates(Node);
    InitNode(Node);
    if (Recursive) ReinitChildren(Node, true);
}

void TBaseLazyTree::ReinitChildren(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    lt::TBusyScope Busy(*this);
    if (Node->States & vsHasChildren) InitChildren(Node);
    WalkBelow(Node, [&](PLazyNode Run) {
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
    WalkBelow(Node, [&](PLazyNode Run) {
        if (!(Run->States & vsInitialized)) InitNode(Run);
        if (Recursive && (Run->States & vsHasChildren) && Run->ChildCount == 0) InitChildren(Run);
        return Recursive;
    });
}

void TBaseLazyTree::ValidateNode(PLazyNode Node, bool Recursive) {
    if (!Node) Node = FRoot;
    if (Node != FRoot && !(Node->States & vsInitialized)) InitNode(Node);
    if (Recursive) ValidateChildren(Node, true);
}

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
    if (Node == FRoot || (Node->States & vsDeleting)) return;
    lt::TBusyScope Busy(*this);
    PLazyNode OldTop = FUpdateCount == 0 ? GetTopNode() : nullptr;
    const bool Changed = (Node->States & vsExpanded) ? CollapseNode(Node) : ExpandNode(Node);
    if (Changed) AfterToggle(Node, OldTop);
}

bool TBaseLazyTree::CollapseNode(PLazyNode Node) {
    if (!DoCollapsing(Node) || !(Node->States & vsExpanded)) return false;
    AnimateToggle(Node, false);
    if (!(Node->States & vsExpanded)) return false; // collapsed meanwhile
    InterruptValidation();
    if (!FTotalsBatch) {
        std::uint32_t Hidden = FullyVisible(Node) ? CountVisibleChildren(Node) : 0;
        AdjustTotalHeight(Node, Node->NodeHeight, false);
        FVisibleCount -= Hidden;
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
    Node->States |= vsExpanded;
    if (!FTotalsBatch) {
        std::int64_t Add = 0;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            if (Run->States & vsVisible) Add += Run->TotalHeight;
        AdjustTotalHeight(Node, Add, true);
        if (FullyVisible(Node)) FVisibleCount += CountVisibleChildren(Node);
    }
    DoExpanded(Node);
    return true;
}

void TBaseLazyTree::AfterToggle(PLazyNode Node, PLazyNode OldTop) {
    MarkValidationNeeded();
    if (FUpdateCount > 0) return;
    InvalidateCache();
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
template <class F> void TBaseLazyTree::BatchTotals(PLazyNode Node, F&& Run) {
    const bool Outer = FTotalsBatch == nullptr;
    const std::uint32_t ShownBefore = Outer ? ShownRowsOf(Node) : 0;
    const std::uint32_t VisibleBefore = FVisibleCount;
    if (Outer) FTotalsBatch = Node;
    fw::TScopeExit Settle([this, Node, Outer, ShownBefore, VisibleBefore] {
        if (!Outer) return;
        FTotalsBatch = nullptr;
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

void TBaseLazyTree::FullExpand(PLazyNode Node) {
    if (FRoot->TotalCount < 2) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TStateScope S(*this, tsExpanding, InState(tsExpanding));
    PLazyNode Stop = nullptr;
    PLazyNode Start = Node && Node != FRoot ? Node : GetFirst();
    if (Node && Node != FRoot)
        for (PLazyNode Run = Node; Run != FRoot; Run = Run->Parent)
            if (Run->NextSibling) {
                Stop = Run->NextSibling;
                break;
            }
    BatchTotals(Node && Node != FRoot ? Node : FRoot, [&] {
        for (PLazyNode Run = Start; Run && Run != Stop; Run = GetNext(Run))
            if (!(Run->States & vsExpanded)) ToggleNode(Run);
    });
    S.Leave();
    U.Leave();
}

void TBaseLazyTree::FullCollapse(PLazyNode Node) {
    if (FRoot->TotalCount < 2) return;
    lt::TBusyScope Busy(*this);
    TUpdateScope U(*this);
    TStateScope S(*this, tsCollapsing, InState(tsCollapsing));
    if (Node == FRoot) Node = nullptr;
    BatchTotals(Node ? Node : FRoot, [&] {
        PLazyNode Run = GetLastVisibleNoInit(Node);
        while (Run && Run != FRoot) {
            if ((Run->States & vsExpanded) && (Run->States & vsHasChildren)) ToggleNode(Run);
            if (Run == Node) break;
            Run = GetPreviousNoInit(Run);
        }
    });
    S.Leave();
    U.Leave();
}

// ----------------------------------------------------------------- iteration

PLazyNode TBaseLazyTree::IterateSubtree(PLazyNode Node, const TLTGetNodeProc& Callback, void* Data,
                                        TLazyNodeStates Filter, bool DoInit, bool ChildNodesOnly) {
    lt::TBusyScope Busy(*this);
    LTAssert(Node != FRoot, "Node must not be the hidden root node.");
    TStateScope S(*this, tsIterating, InState(tsIterating));
    PLazyNode Stop = nullptr;
    if (!Node) {
        Node = DoInit ? GetFirst() : GetFirstNoInit();
    } else {
        for (PLazyNode Run = Node; Run != FRoot; Run = Run->Parent)
            if (Run->NextSibling) {
                Stop = Run->NextSibling;
                break;
            }
    }
    if (Node && ChildNodesOnly) {
        if (DoInit && (Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
        Node = Node->FirstChild;
        if (Node && DoInit && !(Node->States & vsInitialized)) InitNode(Node);
    }
    bool Abort = false;
    while (Node && Node != Stop) {
        if (Filter == 0 || (Node->States & Filter) == Filter) {
            Callback(this, Node, Data, Abort);
            if (Abort) break;
        }
        Node = DoInit ? GetNext(Node) : GetNextNoInit(Node);
    }
    S.Leave();
    return Abort ? Node : nullptr;
}

// ----------------------------------------------------------------- sorting

PLazyNode TBaseLazyTree::MergeSort(PLazyNode List, std::uint32_t Count, int Column,
                                   TSortDirection Direction) {
    if (Count < 2) {
        if (List) List->NextSibling = nullptr;
        return List;
    }
    std::uint32_t FirstCount = Count / 2;
    PLazyNode Second = List;
    for (std::uint32_t I = 0; I < FirstCount; ++I)
        Second = Second->NextSibling;
    PLazyNode A = MergeSort(List, FirstCount, Column, Direction);
    PLazyNode B = MergeSort(Second, Count - FirstCount, Column, Direction);
    PLazyNode Head = nullptr;
    PLazyNode* Tail = &Head;
    while (A && B) {
        int C = DoCompare(A, B, Column);
        bool TakeSecond = Direction == sdAscending ? C > 0 : C < 0;
        if (TakeSecond) {
            *Tail = B;
            B = B->NextSibling;
        } else {
            *Tail = A;
            A = A->NextSibling;
        }
        Tail = &(*Tail)->NextSibling;
    }
    *Tail = A ? A : B;
    return Head;
}

// Makes the back links, indexes and ends of Node's children follow the
// forward chain from Head.
static void LinkSortedChildren(PLazyNode Node, PLazyNode Head) {
    Node->FirstChild = Head;
    PLazyNode Prev = nullptr;
    std::uint32_t Index = 0;
    for (PLazyNode Run = Head; Run; Run = Run->NextSibling) {
        Run->Index = Index++;
        Run->PrevSibling = Prev;
        Prev = Run;
    }
    Node->LastChild = Prev;
}

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
    if (Node->ChildCount > 1) {
        // The chain itself counts: a node's ChildCount is trusted only as an
        // upper bound. A comparison handler that throws halfway leaves the
        // chain cut in pieces: the old order is linked back before it passes.
        TNodeArray Old;
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            Old.push_back(Run);
        fw::TScopeExit Restore([&Old, Node] {
            for (std::size_t I = 0; I < Old.size(); ++I)
                Old[I]->NextSibling = I + 1 < Old.size() ? Old[I + 1] : nullptr;
            LinkSortedChildren(Node, Old.front());
        });
        PLazyNode Head =
            MergeSort(Node->FirstChild, static_cast<std::uint32_t>(Old.size()), Column, Direction);
        Restore.Release();
        LinkSortedChildren(Node, Head);
        MarkValidationNeeded();
        if (FUpdateCount == 0) {
            InvalidateCache();
            Invalidate();
        }
    }
}

void TBaseLazyTree::SortChildrenRecursive(PLazyNode Node, int Column, TSortDirection Direction,
                                          bool DoInit) {
    Sort(Node, Column, Direction, DoInit);
    WalkBelow(Node, [&](PLazyNode Run) {
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
    if (FIndent == Value) return;
    FIndent = Value;
    if (HandleAllocated() && !Loading() && FUpdateCount == 0) {
        UpdateScrollBars(true);
        Invalidate();
    }
}

void TBaseLazyTree::SetMargin(int Value) {
    if (FMargin == Value) return;
    FMargin = Value;
    if (HandleAllocated() && !Loading()) Invalidate();
}

void TBaseLazyTree::SetTextMargin(int Value) {
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
    std::int64_t MinY = std::min<std::int64_t>(0, static_cast<std::int64_t>(RowAreaHeight()) -
                                                      static_cast<std::int64_t>(RangeY()));
    if (FOffsetY < MinY) FOffsetY = static_cast<int>(MinY);
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
        Info.nMax = static_cast<int>(std::min<std::int64_t>(Range, INT32_MAX));
        Info.nPage = static_cast<fw::UINT>(std::max(Client + 1, 0));
        Info.nPos = -(Vertical ? FOffsetY : FOffsetX);
        if (Always) Info.fMask |= fw::SIF_DISABLENOSCROLL;
    }
    // The offset follows the bar, which kept its position inside the content.
    SetOffset(-fw::SetScrollInfo(Handle(), Bar, Info, DoRepaint));
}

void TBaseLazyTree::SetOffsetY(int Value) {
    std::int64_t MinY = std::min<std::int64_t>(0, static_cast<std::int64_t>(RowAreaHeight()) -
                                                      static_cast<std::int64_t>(RangeY()));
    std::int64_t V = std::clamp<std::int64_t>(Value, MinY, 0);
    if (V == FOffsetY) return;
    int Delta = static_cast<int>(V - FOffsetY);
    FOffsetY = static_cast<int>(V);
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
    WalkBelow(Node, [&](PLazyNode Run) {
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
