// The lazy tree control: node storage, structure, sorting, navigation,
// selection, streams, events and the shared position-cache worker.
#pragma once

#include "LazyTreeTypes.h"
#include "LazyTreeHeader.h"
#include "LazyTreeOptions.h"

#include "Controls.h"
#include "ExtCtrls.h"
#include "Messages.h"
#include "Types.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace fw {
class TCanvas;
}

namespace vel {

// ------------------------------------------------------------------ the tree

class TBaseLazyTree : public fw::TCustomControl {
public:
    explicit TBaseLazyTree(fw::TComponent* AOwner);
    ~TBaseLazyTree() override;

    // ---- events (tested before each call; dispatched by the Do* members)
    TLTGetNodeDataSizeEvent OnGetNodeDataSize;
    TLTInitNodeEvent OnInitNode;
    TLTInitChildrenEvent OnInitChildren;
    TLTNodeEvent OnFreeNode;
    TLTNodeEvent OnResetNode;
    TLTMeasureItemEvent OnMeasureItem;
    TLTCompareEvent OnCompareNodes;
    TLTNodeEvent OnChange;
    TLTStructureChangeEvent OnStructureChange;
    TLTStateChangeEvent OnStateChange;
    TLTUpdatingEvent OnUpdating;
    TLTChangingEvent OnExpanding;
    TLTNodeEvent OnExpanded;
    TLTChangingEvent OnCollapsing;
    TLTNodeEvent OnCollapsed;
    TLTFocusChangingEvent OnFocusChanging;
    TLTFocusChangeEvent OnFocusChanged;
    TLTCheckChangingEvent OnChecking;
    TLTNodeEvent OnChecked;
    TLTNodeCopyMoveEvent OnNodeMoving;
    TLTNodeEvent OnNodeMoved;
    TLTNodeCopyMoveEvent OnNodeCopying;
    TLTNodeEvent OnNodeCopied;
    TLTSaveNodeEvent OnSaveNode;
    TLTSaveNodeEvent OnLoadNode;
    TLTGetCellIsEmptyEvent OnGetCellIsEmpty;
    TLTIncrementalSearchEvent OnIncrementalSearch;
    TLTScrollEvent OnScroll;
    TLTGetPopupMenuEvent OnGetPopupMenu;
    TLTHotNodeChangeEvent OnHotChange;
    TLTKeyActionEvent OnKeyAction;
    TLTDragAllowedEvent OnDragAllowed;
    TLTGetCursorEvent OnGetCursor;

    // ---- storage (node record and tree storage)
    PLazyNode RootNode() const { return FRoot; }
    std::uint32_t RootNodeCount() const { return FRoot->ChildCount; }
    void SetRootNodeCount(std::uint32_t Value);
    int NodeDataSize() const { return FNodeDataSize; }
    void SetNodeDataSize(int Value);
    std::uint32_t TotalInternalDataSize() const { return FTotalInternalDataSize; }
    std::uint32_t DefaultNodeHeight() const { return FDefaultNodeHeight; }
    void SetDefaultNodeHeight(std::uint32_t Value);
    std::uint32_t VisibleCount() const { return FVisibleCount; }
    std::uint32_t TotalCount() const { return FRoot->CachedTotalCount - 1; }
    // A node's TotalCount (nil: the root's); the root's is always exact.
    std::uint32_t NodeTotalCount(PLazyNode Node) const;
    std::uint32_t UpdateCount() const { return FUpdateCount; }
    TLazyTreeStates TreeStates() const { return FStates; }

    // Reserves Size bytes (rounded up to 4) in every node; answers their offset.
    std::uint32_t AllocateInternalDataArea(std::uint32_t Size);
    void SetChildCount(PLazyNode Node, std::uint32_t NewChildCount);
    std::uint32_t ChildCount(PLazyNode Node) const;
    void DeleteChildren(PLazyNode Node, bool ResetHasChildren = false);
    void* GetNodeData(PLazyNode Node) const;
    template <class T> T* GetNodeDataAs(PLazyNode Node) const {
        return static_cast<T*>(GetNodeData(Node));
    }
    std::uint32_t GetNodeHeight(PLazyNode Node);
    // The tallest row: what the node's 16 bits hold (a taller one is set as this).
    static constexpr std::uint32_t MaxNodeHeight = 0xFFFF;
    void SetNodeHeight(PLazyNode Node, std::uint32_t Value);
    bool FullyVisible(PLazyNode Node) const;
    bool VisiblePath(PLazyNode Node) const;
    bool GetVisible(PLazyNode Node);
    void SetVisible(PLazyNode Node, bool Value);
    using fw::TCustomControl::SetVisible; // the control's own
    bool HasVisibleNextSibling(PLazyNode Node) const;
    bool IsFirstVisibleChild(PLazyNode Parent, PLazyNode Node) const;
    bool IsLastVisibleChild(PLazyNode Parent, PLazyNode Node) const;
    std::uint32_t GetNodeLevel(PLazyNode Node) const;
    int CompareNodePositions(PLazyNode Node1, PLazyNode Node2) const;

    // Copies the published settings and the root node count (no nodes, no
    // data); a read-only target refuses with ELazyTreeAssertion.
    virtual void Assign(const TBaseLazyTree& Source);

    // ---- handlers and operations that hold nodes (docs/tree.md, "re-entrancy")
    // A deletion asked for while a handler, a walk's callback or a message
    // handled inside an operation runs (DeleteNode, DeleteChildren, Clear,
    // shrinking child counts, ...) takes its nodes out of the tree at once;
    // only their memory (and OnFreeNode) waits until the outermost operation
    // that may hold them has finished. A walk refuses them. Every change
    // bumps StructureStamp(): whoever keeps a position, a chain or a count
    // across a handler checks it.
    enum class TBusyKind : std::uint8_t {
        Operation, // its outermost end frees what waits
        Handler,   // a handler, a walk's callback or a nested message
        Hold       // hands back a node: frees none, leaves that for later
    };
    void EnterBusy(TBusyKind Kind);
    void LeaveBusy(TBusyKind Kind);
    void UpdateWantedScrollBars();
    bool HandlerRunning() const { return FHandlerDepth > 0; }
    // Whether the memory of nodes deleted now waits for the operations running (see above).
    bool DeletionsWait() const;
    // Queued column deletions and deleted nodes whose memory waits.
    std::size_t DeferredDeletions() const { return FDeferred.size() + FDoomed.size(); }
    std::uint64_t StructureStamp() const { return FStructureStamp; }
    // Queues Run (a column's deletion) for the end of the outermost operation
    // while a handler runs; false when none does, and the caller goes on now.
    bool DeferWhileBusy(std::function<void()> Run);

    // ---- update lock
    void BeginUpdate();
    void EndUpdate();

    // ---- structure
    PLazyNode AddChild(PLazyNode Parent, std::uint32_t UserData = 0);
    void DeleteNode(PLazyNode Node, bool Reindex = true);
    void DeleteSelectedNodes();
    virtual void Clear();
    // True when the node (or a child of it) moved; the source's OnNodeMoving
    // or the target tree may refuse.
    bool MoveTo(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode, bool ChildrenOnly);
    bool MoveTo(PLazyNode Source, TBaseLazyTree* Tree, TLTNodeAttachMode Mode, bool ChildrenOnly);
    // Copies Source (of any tree) to Target; a target in another tree copies there.
    PLazyNode CopyTo(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode, bool ChildrenOnly);
    void ResetNode(PLazyNode Node);
    virtual void ReinitNode(PLazyNode Node, bool Recursive);
    void ReinitChildren(PLazyNode Node, bool Recursive);
    void ValidateChildren(PLazyNode Node, bool Recursive);
    void ValidateNode(PLazyNode Node, bool Recursive);
    void ToggleNode(PLazyNode Node);
    bool Expanded(PLazyNode Node) const;
    void SetExpanded(PLazyNode Node, bool Value);
    void FullExpand(PLazyNode Node = nullptr);
    void FullCollapse(PLazyNode Node = nullptr);
    PLazyNode IterateSubtree(PLazyNode Node, const TLTGetNodeProc& Callback, void* Data,
                             TLazyNodeStates Filter = 0, bool DoInit = false,
                             bool ChildNodesOnly = false);

    // ---- sorting
    virtual void Sort(PLazyNode Node, int Column, TSortDirection Direction, bool DoInit = true);
    void SortTree(int Column, TSortDirection Direction, bool DoInit = true);

    // ---- navigation
    PLazyNode GetFirst();
    PLazyNode GetFirstNoInit() const;
    PLazyNode GetLast(PLazyNode Node = nullptr);
    PLazyNode GetLastNoInit(PLazyNode Node = nullptr) const;
    PLazyNode GetFirstChild(PLazyNode Node);
    PLazyNode GetFirstChildNoInit(PLazyNode Node) const;
    PLazyNode GetLastChild(PLazyNode Node);
    PLazyNode GetLastChildNoInit(PLazyNode Node) const;
    PLazyNode GetNext(PLazyNode Node);
    PLazyNode GetNextNoInit(PLazyNode Node) const;
    PLazyNode GetPrevious(PLazyNode Node);
    PLazyNode GetPreviousNoInit(PLazyNode Node) const;
    PLazyNode GetNextSibling(PLazyNode Node);
    PLazyNode GetPreviousSibling(PLazyNode Node);
    PLazyNode GetVisibleParent(PLazyNode Node) const;
    PLazyNode GetFirstVisible();
    PLazyNode GetFirstVisibleNoInit() const;
    PLazyNode GetLastVisible(PLazyNode Node = nullptr);
    PLazyNode GetLastVisibleNoInit(PLazyNode Node = nullptr) const;
    PLazyNode GetNextVisible(PLazyNode Node);
    PLazyNode GetNextVisibleNoInit(PLazyNode Node) const;
    PLazyNode GetPreviousVisible(PLazyNode Node);
    PLazyNode GetPreviousVisibleNoInit(PLazyNode Node) const;
    // The same steps from a node known to be shown: no walk up its path to
    // check it, so a walk over k rows costs O(k) at any depth.
    PLazyNode NextShownNoInit(PLazyNode Node) const;
    PLazyNode PreviousShownNoInit(PLazyNode Node) const;
    PLazyNode GetFirstVisibleChild(PLazyNode Node);
    PLazyNode GetFirstVisibleChildNoInit(PLazyNode Node) const;
    PLazyNode GetLastVisibleChild(PLazyNode Node);
    PLazyNode GetLastVisibleChildNoInit(PLazyNode Node) const;
    PLazyNode GetNextVisibleSibling(PLazyNode Node);
    PLazyNode GetNextVisibleSiblingNoInit(PLazyNode Node) const;
    PLazyNode GetPreviousVisibleSibling(PLazyNode Node);
    PLazyNode GetPreviousVisibleSiblingNoInit(PLazyNode Node) const;
    PLazyNode GetFirstSelected() const;
    PLazyNode GetNextSelected(PLazyNode Node) const;
    PLazyNode GetFirstCutCopy() const;
    PLazyNode GetNextCutCopy(PLazyNode Node) const;
    PLazyNode GetFirstInitialized() const;
    PLazyNode GetNextInitialized(PLazyNode Node) const;
    bool HasAsParent(PLazyNode Node, PLazyNode PotentialParent) const;
    TNodeArray GetSortedSelection(bool TopMostOnly) const;
    TNodeArray GetSortedCutCopySet(bool TopMostOnly) const;

    // ---- positions
    PLazyNode GetNodeAt(int X, int Y, bool Relative, int& NodeTop);
    PLazyNode GetNodeAt(int X, int Y);
    PLazyNode GetTopNode();
    void SetTopNode(PLazyNode Node);
    // Row rectangle of Node in client coordinates (empty when not shown).
    fw::TRect GetDisplayRect(PLazyNode Node, int Column, bool TextOnly, bool Unclipped = false);
    void GetHitTestInfoAt(int X, int Y, bool Relative, THitInfo& HitInfo);
    // Widest content of a column over the visible nodes (the header's auto-fit uses it).
    int GetMaxColumnWidth(int Column);
    bool ScrollIntoView(PLazyNode Node, bool Center, bool Horizontally = false);
    // The horizontal part: what ScrollTargetRect measures, reaching past either
    // edge, is centred.
    bool ScrollIntoViewHorizontally(PLazyNode Node);
    // What scrolling into view brings in: the focused column's cell with
    // toGridExtensions, else the node's text in it (in the row without columns).
    fw::TRect ScrollTargetRect(PLazyNode Node);
    // The columns' total width, or without columns the widest row on screen.
    void UpdateRangeX();
    // Brings both offsets back inside the content at the present size; a
    // size or content change with no window to update the bars still owes it.
    void ClampOffsets();
    int OffsetX() const { return FOffsetX; }
    int OffsetY() const { return FOffsetY; }
    void SetOffsetY(int Value);
    std::uint32_t RangeX() const { return FRangeX; }
    // Height of the whole content.
    std::uint32_t RangeY() const { return FRoot ? FRoot->TotalHeight - FRoot->NodeHeight : 0; }
    // The deepest vertical offset: content further down is out of reach, so that
    // tree coordinates of what is on screen (and a row below it) stay in 32 bits.
    static constexpr std::int64_t MaxScrollDepth = INT32_MAX - (std::int64_t{1} << 24);
    int MinOffsetY() const;

    // ---- selection and focus
    PLazyNode FocusedNode() const { return FFocusedNode; }
    void SetFocusedNode(PLazyNode Node);
    int FocusedColumn() const { return FFocusedColumn; }
    void SetFocusedColumn(int Column);
    // A column went: the focused and edited column indexes follow it.
    void ColumnDeleted(int Column);
    // The focused column as painted: NoColumn while the header shows no columns.
    int PaintedFocusColumn() const { return HeaderUseColumns() ? FFocusedColumn : NoColumn; }
    bool Selected(PLazyNode Node) const;
    void SetSelected(PLazyNode Node, bool Value);
    // Entries a deletion inside an update marked wait in the array, not in the count.
    int SelectedCount() const { return FSelectionCount - FSelectionMarked; }
    PLazyNode RangeAnchor() const { return FRangeAnchor; }
    void ClearSelection();
    void SelectAll(bool VisibleOnly);
    void InvertSelection(bool VisibleOnly);
    bool FindNodeInSelection(PLazyNode Node, int& Index, int LowBound, int HighBound) const;
    void AddToSelection(PLazyNode Node);
    void AddToSelection(TNodeArray& Nodes, int Count, bool ForceInsert = false);
    void RemoveFromSelection(PLazyNode Node);
    void AddRangeToSelection(PLazyNode StartNode, PLazyNode EndNode, bool AddOnly);
    void ToggleSelectionRange(PLazyNode StartNode, PLazyNode EndNode);
    void MarkCutCopyNodes();
    void CancelCutOrCopy();
    void SetFocusedNodeAndColumn(PLazyNode Node, int Column);
    // Rubber band in tree coordinates, before and after the last mouse move.
    fw::TRect OldRect() const { return FOldRect; }
    fw::TRect NewRect() const { return FNewRect; }
    void SetDrawSelectionStart(fw::TPoint P) {
        FOldRect = FNewRect = fw::TRect{P.X, P.Y, P.X, P.Y};
    }
    // While tsDrawSelecting: moves the band's corner to the client point (X, Y);
    // true when the band changed.
    bool UpdateDrawSelection(int X, int Y);

    // ---- repaint requests (cheap when no window exists)
    virtual void InvalidateNode(PLazyNode Node);
    void InvalidateChildren(PLazyNode Node, bool Recursive);
    void InvalidateToBottom(PLazyNode Node);

    // ---- checks
    TCheckState CheckState(PLazyNode Node) const;
    void SetCheckState(PLazyNode Node, TCheckState Value);
    TCheckType CheckType(PLazyNode Node) const;
    void SetCheckType(PLazyNode Node, TCheckType Value);
    bool ChangeCheckState(PLazyNode Node, TCheckState Value);
    virtual TCheckState DetermineNextCheckState(TCheckType CheckType, TCheckState CheckState);

    // ---- streams
    virtual void SaveToStream(TStream& Stream, PLazyNode Node = nullptr);
    virtual void LoadFromStream(TStream& Stream);
    virtual void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName, PLazyNode Node = nullptr);
    void WriteNode(TStream& Stream, PLazyNode Node);
    // Reads one node chunk into Node (nil: the root). On a failure the child
    // that was not read whole goes; Node itself stays.
    void AddNodeFromStream(TStream& Stream, std::uint32_t Version, PLazyNode Node);

    // ---- properties of the tree (construction)
    TCustomLazyTreeOptions* TreeOptions() const { return FOptions.get(); }
    TLTAutoOptions AutoOptions() const { return FOptions->AutoOptions(); }
    TLTMiscOptions MiscOptions() const { return FOptions->MiscOptions(); }
    TLTSelectionOptions SelectionOptions() const { return FOptions->SelectionOptions(); }
    TLTPaintOptions PaintOptions() const { return FOptions->PaintOptions(); }
    std::uint32_t AnimationDuration() const { return FAnimationDuration; }
    void SetAnimationDuration(std::uint32_t Value);
    std::uint32_t ChangeDelay() const { return FChangeDelay; }
    void SetChangeDelay(std::uint32_t Value) { FChangeDelay = Value; }
    std::uint32_t Indent() const { return FIndent; }
    void SetIndent(std::uint32_t Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    int TextMargin() const { return FTextMargin; }
    void SetTextMargin(int Value);
    TLTNodeAttachMode DefaultPasteMode() const { return FDefaultPasteMode; }
    void SetDefaultPasteMode(TLTNodeAttachMode Value) { FDefaultPasteMode = Value; }

    TLTHeader* Header() const { return FHeader.get(); }
    // The header's sort key and main column as the model reads them.
    int HeaderSortColumn() const;
    TSortDirection HeaderSortDirection() const;
    int HeaderMainColumn() const;
    bool HeaderUseColumns() const;

    // ---- state set and deferred notifications
    virtual void DoStateChange(TLazyTreeStates Enter, TLazyTreeStates Leave = {});
    void Change(PLazyNode Node);
    void StructureChange(PLazyNode Node, TChangeReason Reason);

    // ---- position cache (shared worker thread)
    void InterruptValidation();
    void InvalidateCache();
    void MarkValidationNeeded();
    // Rows were shown or hidden (below Parent, when given): the hidden-children
    // flag, the cache and the bars follow, or wait for the update's end.
    void RowsShownChanged(PLazyNode Parent);
    bool BuildPositionCache(); // worker thread
    std::uint32_t PositionCacheSize() const;
    const TCache& PositionCache() const { return FPositionCache; }
    PLazyNode LookUpPositionCache(std::uint32_t Position, std::uint32_t& CurrentPos) const;
    PLazyNode LookUpPositionCache(PLazyNode Node, std::uint32_t& CurrentPos) const;

    // ---- linking and initialization
    void LinkNode(PLazyNode Node, PLazyNode Destination, TLTNodeAttachMode Mode);
    void UnlinkNode(PLazyNode Node, bool KeepFocus, bool Reindex);
    std::uint32_t CountVisibleChildren(PLazyNode Node) const;
    void DetermineHiddenChildrenFlag(PLazyNode Node);
    void UpdateHiddenChildrenFlags();
    int LevelDelta(PLazyNode Node1, PLazyNode Node2) const;
    void InitNode(PLazyNode Node);
    void InitChildren(PLazyNode Node);
    bool PropagateCheckStateUp(PLazyNode Node, TCheckState NewCheckState);

    // ---- event dispatchers (model side)
    virtual bool DoGetCellIsEmpty(PLazyNode Node, int Column);
    virtual void DoChange(PLazyNode Node);
    virtual void DoCheckClick(PLazyNode Node, TCheckState NewCheckState);
    virtual void DoChecked(PLazyNode Node);
    virtual bool DoChecking(PLazyNode Node, TCheckState& NewCheckState);
    virtual void DoCollapsed(PLazyNode Node);
    virtual bool DoCollapsing(PLazyNode Node);
    virtual int DoCompare(PLazyNode Node1, PLazyNode Node2, int Column);
    virtual void DoExpanded(PLazyNode Node);
    virtual bool DoExpanding(PLazyNode Node);
    virtual void DoFocusChange(PLazyNode Node, int Column);
    virtual bool DoFocusChanging(PLazyNode OldNode, PLazyNode NewNode, int OldColumn,
                                 int NewColumn);
    virtual void DoFocusNode(PLazyNode Node, bool Ask);
    virtual void DoFreeNode(PLazyNode Node);
    virtual void DoGetNodeDataSize(int& Size);
    virtual int DoIncrementalSearch(PLazyNode Node, const std::u16string& Text);
    virtual void DoInitChildren(PLazyNode Node, std::uint32_t& ChildCount);
    virtual void DoInitNode(PLazyNode Parent, PLazyNode Node, TLTInternalStates& InitStates);
    virtual void DoLoadUserData(PLazyNode Node, TStream& Stream);
    virtual void DoMeasureItem(fw::TCanvas* TargetCanvas, PLazyNode Node, int& NodeHeight);
    virtual void DoNodeCopied(PLazyNode Node);
    virtual bool DoNodeCopying(PLazyNode Node, PLazyNode NewParent);
    virtual void DoNodeMoved(PLazyNode Node);
    virtual bool DoNodeMoving(PLazyNode Node, PLazyNode NewParent);
    virtual void DoReset(PLazyNode Node);
    virtual void DoSaveUserData(PLazyNode Node, TStream& Stream);
    virtual void DoScroll(int DeltaX, int DeltaY);
    virtual void DoStructureChange(PLazyNode Node, TChangeReason Reason);
    virtual void DoUpdating(TLTUpdateState State);
    virtual int DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas = nullptr);
    // Asks for a menu for Node, then for its ancestors while the handler lets it.
    virtual TPopupMenu* DoGetPopupMenu(PLazyNode Node, int Column, fw::TPoint P);
    // The application's own data object and drag manager, or null for the tree's.
    virtual std::shared_ptr<TLTDataObject> DoCreateDataObject();
    virtual std::shared_ptr<TLTDragManager> DoCreateDragManager();
    bool HasPopupMenu(PLazyNode Node, int Column, fw::TPoint P);
    // Pops the menu up at the client point P.
    virtual void DoPopupMenu(PLazyNode Node, int Column, fw::TPoint P);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }
    virtual void DoHotChange(PLazyNode Old, PLazyNode New);
    virtual bool DoKeyAction(std::uint16_t& CharCode, fw::TShiftState& Shift);
    virtual bool DoBeforeDrag(PLazyNode Node, int Column);
    virtual void DoGetCursor(fw::TCursor& Cursor);

    // ---- view side: header, options, painting, input, editing, clipboard
    // (LazyTreeView*.cpp, LazyTreeHeader*.cpp; the header sits in the top
    // HeaderRect().Height() pixels of the control, rows below it).
    TLTHeaderClickEvent OnHeaderClick;
    TLTHeaderClickEvent OnHeaderDblClick;
    TLTHeaderMouseEvent OnHeaderMouseDown;
    TLTHeaderMouseEvent OnHeaderMouseUp;
    TLTHeaderMouseMoveEvent OnHeaderMouseMove;
    TLTHeaderDraggingEvent OnHeaderDragging;
    TLTHeaderDraggedEvent OnHeaderDragged;
    TLTHeaderDraggedOutEvent OnHeaderDraggedOut;
    TLTHeaderPaintEvent OnHeaderDraw;
    TLTHeaderPaintQueryElementsEvent OnHeaderDrawQueryElements;
    TLTAdvancedHeaderPaintEvent OnAdvancedHeaderDraw;
    TLTGetHeaderCursorEvent OnGetHeaderCursor;
    TLTColumnResizeEvent OnColumnResize;

    virtual void DoHeaderClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift, int X,
                               int Y);
    virtual void DoHeaderDblClick(int Column, fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                  int Y);
    virtual void DoHeaderMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y);
    virtual void DoHeaderMouseMove(fw::TShiftState Shift, int X, int Y);
    virtual void DoHeaderMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y);
    virtual bool DoHeaderDragging(int Column);
    virtual void DoHeaderDragged(int Column, int OldPosition);
    virtual void DoHeaderDraggedOut(int Column, fw::TPoint DropPosition);
    virtual void DoHeaderDraw(fw::TCanvas& Canvas, TLazyTreeColumn* Column, const fw::TRect& R,
                              bool Hover, bool Pressed, TLTDropMarkMode DropMark);
    virtual void DoHeaderDrawQueryElements(THeaderPaintInfo& PaintInfo,
                                           THeaderPaintElements& Elements);
    virtual void DoAdvancedHeaderDraw(THeaderPaintInfo& PaintInfo, THeaderPaintElements Elements);
    virtual void DoGetHeaderCursor(fw::TCursor& Cursor);
    virtual void DoColumnResize(int Column);

    TScrollBarOptions* ScrollBarOptions() const { return FScrollBarOptions.get(); }
    TLTColors* Colors() const { return FColors.get(); }
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode Value);
    // Set: the mode follows the parent's (left to right in the framework).
    bool ParentBiDiMode() const { return FParentBiDiMode; }
    void SetParentBiDiMode(bool Value);
    // The header's rectangle in control coordinates (height 0 when hidden).
    fw::TRect HeaderRect() const { return FHeaderRect; }
    void UpdateHeaderRect();
    // The header's part of Loaded: main column clamped, column positions rebuilt
    // from the stored ones, header recalculated, auto-size column fitted.
    void HeaderLoaded();
    virtual std::unique_ptr<TLazyTreeColumn> GetColumnClass(TLazyTreeColumns* Collection);
    virtual void MainColumnChanged();
    void UpdateHorizontalScrollBar(bool DoRepaint);
    void UpdateVerticalScrollBar(bool DoRepaint);
    void SetOffsetX(int Value);
    void SetOffsetXY(fw::TPoint Value);
    // What DoSetOffsetXY updates besides the offsets.
    using TScrollUpdateOptions = std::uint8_t;
    static constexpr TScrollUpdateOptions suoRepaintHeader = 1, suoRepaintScrollBars = 2,
                                          suoScrollClientArea = 4, suoUpdateNCArea = 8;
    static constexpr TScrollUpdateOptions DefaultScrollUpdateFlags =
        suoRepaintHeader | suoRepaintScrollBars | suoScrollClientArea | suoUpdateNCArea;
    // Moves both offsets, limited to the content; false when nothing moved.
    // The window's pixels move along (inside ClipRect, else the rows below the
    // header) and OnScroll hears of both deltas at once.
    bool DoSetOffsetXY(fw::TPoint Value, TScrollUpdateOptions Options = DefaultScrollUpdateFlags,
                       const fw::TRect* ClipRect = nullptr);
    // The row area: the control below the header. Node positions, hit tests and
    // scrolling all measure from its top.
    int RowAreaTop() const;
    int RowAreaHeight() const;
    bool IsLoading() const { return Loading(); }
    void WndProc(fw::TMessage& Message) override;
    void Paint() override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;

    // Incremental search by typed characters.
    enum class TLTIncrementalSearch : std::uint8_t {
        isAll,
        isNone,
        isInitializedOnly,
        isVisibleOnly
    };
    enum class TLTSearchDirection : std::uint8_t { sdForward, sdBackward };
    enum class TLTSearchStart : std::uint8_t { ssAlwaysStartOver, ssLastHit, ssFocusedNode };
    TLTIncrementalSearch IncrementalSearch() const { return FIncrementalSearch; }
    // isNone stops a running search and empties its text.
    void SetIncrementalSearch(TLTIncrementalSearch Value);
    TLTSearchDirection IncrementalSearchDirection() const { return FIncrementalSearchDirection; }
    void SetIncrementalSearchDirection(TLTSearchDirection Value) {
        FIncrementalSearchDirection = Value;
    }
    TLTSearchStart IncrementalSearchStart() const { return FIncrementalSearchStart; }
    void SetIncrementalSearchStart(TLTSearchStart Value) { FIncrementalSearchStart = Value; }
    std::uint32_t IncrementalSearchTimeout() const { return FIncrementalSearchTimeout; }
    void SetIncrementalSearchTimeout(std::uint32_t Value) { FIncrementalSearchTimeout = Value; }
    void HandleIncrementalSearch(char16_t CharCode);
    const std::u16string& SearchBuffer() const { return FSearchBuffer; }

    // Painting (LazyTreePaint.cpp, the primitives in LazyTreePaintParts.cpp).
    void PaintTree(fw::TCanvas& TargetCanvas, const fw::TRect& Window, fw::TPoint Target,
                   TLTInternalPaintOptions PaintOptions);
    int DetermineLineImages(PLazyNode Node, TLineImage& LineImage);
    // The cell's content; the base tree paints nothing, the string tree its text.
    virtual void DoPaintNode(TLTPaintInfo& PaintInfo);
    PLazyNode HotNode() const { return FHotNode; }
    // Index in the check image list, -1 without a box.
    virtual int GetCheckImage(PLazyNode Node);
    virtual void PaintCheckImage(const TLTPaintInfo& PaintInfo);
    virtual void PaintImage(TLTPaintInfo& PaintInfo, TLTImageInfoIndex ImageInfoIndex,
                            bool DoOverlay);
    virtual void PaintNodeButton(fw::TCanvas& Canvas, PLazyNode Node, int Column,
                                 const fw::TRect& R, int ButtonX, int ButtonY, TBiDiMode BidiMode);
    virtual void PaintTreeLines(const TLTPaintInfo& PaintInfo, int VAlignment, int IndentSize,
                                const TLineImage& LineImage);
    // The rubber band's part in TargetRect (row-bitmap coordinates shifted by WindowOrgX).
    void PaintSelectionRectangle(fw::TCanvas& Canvas, int WindowOrgX, const fw::TRect& SelectionRect,
                                 const fw::TRect& TargetRect);
    // A selection rectangle: blended with toUseBlendedSelection, else a (rounded) frame.
    void PaintSelectionFill(fw::TCanvas& Canvas, const fw::TRect& R, fw::TColor Fill,
                            fw::TColor Frame);
    // -1 and not ghosted, then OnGetImageIndex.
    int GetImageIndex(PLazyNode Node, TLTImageKind Kind, int Column, bool& Ghosted);
    // The text part of a node's cell R: after indentation, margin, check box and
    // images, placed by the column's alignment and reading order.
    fw::TRect TextRectOf(PLazyNode Node, int Column, const fw::TRect& R, bool Unclipped);
    // The width of what comes before the text in a cell: indentation (main
    // column), margin, check box and images, each image and box with 2 pixels.
    int ContentLead(PLazyNode Node, int Column);
    // The node's levels (one more with toShowRoot) times Indent, held within reach.
    int LevelIndent(PLazyNode Node) const;
    // The widest right edge of the rows on screen (main column).
    int GetMaxRightExtend();
    // The tree's own frame (non-client painting), with BorderColor inside bevels.
    void PaintBorder(fw::TCanvas& Canvas);
    // The (negative) size of the window's frame by its styles.
    fw::TSize GetBorderDimensions();
    // The text, font and rectangle of a cell as the editor needs them.
    virtual void GetTextInfo(PLazyNode Node, int Column, fw::TFont& Font, fw::TRect& R,
                             std::u16string& Text);
    // The next visible column after the painted cell's (spanning).
    void DetermineNextColumn(const TLTPaintInfo& PaintInfo, int& NextColumn);
    bool CanShowDragImage() const { return FDragImageKind != diNoImage; }
    // Widens a cell over the empty cells after it (toAutoSpanColumns, string tree).
    virtual void AdjustPaintCellRect(TLTPaintInfo& PaintInfo, int& NextNonEmpty);
    // The row background: the erase events, the picture, the selection or the colour.
    void ClearNodeBackground(const TLTPaintInfo& PaintInfo, bool UseBackground, bool Floating,
                             fw::TRect R);
    // The picture tiled over R of Target; the origin anchors the pattern.
    void TileBackground(const fw::TBitmap& Source, fw::TCanvas& Target, fw::TPoint Offset,
                        const fw::TRect& R);
    void DrawLineImage(const TLTPaintInfo& PaintInfo, int X, int Y, int H, int VAlign,
                       TLTLineType Style, bool Reverse);
    void DrawDottedHLine(const TLTPaintInfo& PaintInfo, int Left, int Right, int Top);
    void DrawDottedVLine(const TLTPaintInfo& PaintInfo, int Top, int Bottom, int Left);
    // The button glyphs and the line pattern from the style settings.
    void PrepareBitmaps(bool NeedButtons, bool NeedLines);
    const fw::TBitmap& PlusBitmap() const { return FPlusBM; }
    const fw::TBitmap& MinusBitmap() const { return FMinusBM; }
    const TLTLinePattern& LinePattern() const { return FLinePattern; }
    // The class queries descendants override. A constructor cannot reach a
    // descendant's answer: AfterConstruction asks them again (AdoptClassObjects).
    virtual std::unique_ptr<TLTHeader> GetHeaderClass();
    virtual std::unique_ptr<TCustomLazyTreeOptions> GetOptionsClass();
    void AfterConstruction() override;
    // The framework's test, and (outside design time) a parent form that is
    // visible and can take the focus itself.
    bool CanFocus() const override;
    // With toAutoChangeScale the default node height and the header scale along.
    void ChangeScale(int M, int D) override;
    // "Columns" (the header's column stream) and the old "Options" (read only).
    void DefineProperties(fw::TFiler& Filer) override;
    // Reads the stored "Columns": a version, then the header's column stream.
    void ReadColumns(TStream& S);
    static constexpr int ColumnStreamVersion = 3;

    // ---- the property table's view rows
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    fw::TPicture& Background() { return FBackground; }
    // A copy of the picture (null: none).
    void SetBackground(const fw::TBitmap* Value);
    int BackgroundOffsetX() const { return FBackgroundOffsetX; }
    void SetBackgroundOffsetX(int Value);
    int BackgroundOffsetY() const { return FBackgroundOffsetY; }
    void SetBackgroundOffsetY(int Value);
    fw::TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(fw::TBorderStyle Value);
    TLTButtonFillMode ButtonFillMode() const { return FButtonFillMode; }
    void SetButtonFillMode(TLTButtonFillMode Value);
    TLTButtonStyle ButtonStyle() const { return FButtonStyle; }
    void SetButtonStyle(TLTButtonStyle Value);
    TCheckImageKind CheckImageKind() const { return FCheckImageKind; }
    void SetCheckImageKind(TCheckImageKind Value);
    // The list check boxes are drawn from (by CheckImageKind).
    fw::TImageList* CheckImages() const { return FCheckImages; }
    fw::TImageList* CustomCheckImages() const { return FCustomCheckImages; }
    void SetCustomCheckImages(fw::TImageList* Value);
    TClipboardFormats& ClipboardFormats() { return FClipboardFormats; }
    void SetClipboardFormats(const TClipboardFormats& Value);
    int DragHeight() const { return FDragHeight; }
    void SetDragHeight(int Value) { FDragHeight = Value; }
    int DragWidth() const { return FDragWidth; }
    void SetDragWidth(int Value) { FDragWidth = Value; }
    TLTDragImageKind DragImageKind() const { return FDragImageKind; }
    void SetDragImageKind(TLTDragImageKind Value) { FDragImageKind = Value; }
    TLTDrawSelectionMode DrawSelectionMode() const { return FDrawSelectionMode; }
    void SetDrawSelectionMode(TLTDrawSelectionMode Value) { FDrawSelectionMode = Value; }
    THintAnimationType HintAnimation() const { return FHintAnimation; }
    void SetHintAnimation(THintAnimationType Value) { FHintAnimation = Value; }
    TLTHintMode HintMode() const { return FHintMode; }
    void SetHintMode(TLTHintMode Value) { FHintMode = Value; }
    fw::TCursor HotCursor() const { return FHotCursor; }
    void SetHotCursor(fw::TCursor Value) { FHotCursor = Value; }
    fw::TImageList* Images() const { return FImages; }
    void SetImages(fw::TImageList* Value);
    fw::TImageList* StateImages() const { return FStateImages; }
    void SetStateImages(fw::TImageList* Value);
    TLTLineMode LineMode() const { return FLineMode; }
    void SetLineMode(TLTLineMode Value);
    TLTLineStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TLTLineStyle Value);
    TLTNodeAlignment NodeAlignment() const { return FNodeAlignment; }
    void SetNodeAlignment(TLTNodeAlignment Value);
    std::uint8_t SelectionBlendFactor() const { return FSelectionBlendFactor; }
    void SetSelectionBlendFactor(std::uint8_t Value) { FSelectionBlendFactor = Value; }
    std::uint32_t SelectionCurveRadius() const { return FSelectionCurveRadius; }
    void SetSelectionCurveRadius(std::uint32_t Value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool Value) { FWantTabs = Value; }
    // The obsolete single option set of old window definitions: every set is
    // emptied, then each "vo..." name turns on the "to..." option it names.
    void ReadOldOptions(const std::vector<std::string>& Identifiers);

    // ---- paint, image, clipboard, help and hint events
    using TLTPaintEvent = std::function<void(TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas)>;
    using TLTBeforeItemEraseEvent =
        std::function<void(TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas, PLazyNode Node,
                           const fw::TRect& ItemRect, fw::TColor& ItemColor,
                           TItemEraseAction& EraseAction)>;
    using TLTAfterItemEraseEvent = std::function<void(
        TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas, PLazyNode Node, const fw::TRect& ItemRect)>;
    using TLTBeforeItemPaintEvent =
        std::function<void(TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas, PLazyNode Node,
                           const fw::TRect& ItemRect, bool& CustomDraw)>;
    using TLTAfterItemPaintEvent = TLTAfterItemEraseEvent;
    using TLTCellPaintEvent =
        std::function<void(TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas, PLazyNode Node,
                           int Column, const fw::TRect& CellRect)>;
    using TLTBackgroundPaintEvent = std::function<void(
        TBaseLazyTree* Sender, fw::TCanvas& TargetCanvas, const fw::TRect& R, bool& Handled)>;
    using TLTGetImageEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node,
                                                TLTImageKind Kind, int Column, bool& Ghosted,
                                                int& ImageIndex)>;
    using TLTGetLineStyleEvent = std::function<void(TBaseLazyTree* Sender, TLTLinePattern& Bits)>;
    using TLTRenderOLEDataEvent =
        std::function<void(TBaseLazyTree* Sender, const TFormatEtc& FormatEtcIn,
                           TStgMedium& Medium, bool ForClipboard, HRESULT& Result)>;
    using TLTGetUserClipboardFormatsEvent =
        std::function<void(TBaseLazyTree* Sender, std::vector<TFormatEtc>& Formats)>;
    using TLTHelpContextEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node,
                                                   int Column, int& HelpContext)>;
    using TLTColumnClickEvent =
        std::function<void(TBaseLazyTree* Sender, int Column, fw::TShiftState Shift)>;
    TLTPaintEvent OnBeforePaint;
    TLTPaintEvent OnAfterPaint;
    TLTBeforeItemEraseEvent OnBeforeItemErase;
    TLTAfterItemEraseEvent OnAfterItemErase;
    TLTBeforeItemPaintEvent OnBeforeItemPaint;
    TLTAfterItemPaintEvent OnAfterItemPaint;
    TLTCellPaintEvent OnBeforeCellPaint;
    TLTCellPaintEvent OnAfterCellPaint;
    TLTBackgroundPaintEvent OnPaintBackground;
    TLTGetImageEvent OnGetImageIndex;
    TLTGetLineStyleEvent OnGetLineStyle;
    TLTRenderOLEDataEvent OnRenderOLEData;
    TLTGetUserClipboardFormatsEvent OnGetUserClipboardFormats;
    TLTHelpContextEvent OnGetHelpContext;
    TLTColumnClickEvent OnColumnClick;
    TLTColumnClickEvent OnColumnDblClick;
    virtual void DoBeforePaint(fw::TCanvas& Canvas);
    virtual void DoAfterPaint(fw::TCanvas& Canvas);
    virtual void DoBeforeItemErase(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& ItemRect,
                                   fw::TColor& Color, TItemEraseAction& EraseAction);
    virtual void DoAfterItemErase(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& ItemRect);
    virtual bool DoBeforeItemPaint(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& ItemRect);
    virtual void DoAfterItemPaint(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& ItemRect);
    virtual void DoBeforeCellPaint(fw::TCanvas& Canvas, PLazyNode Node, int Column,
                                   const fw::TRect& CellRect);
    virtual void DoAfterCellPaint(fw::TCanvas& Canvas, PLazyNode Node, int Column,
                                  const fw::TRect& CellRect);
    virtual bool DoPaintBackground(fw::TCanvas& Canvas, const fw::TRect& R);
    virtual void DoGetImageIndex(PLazyNode Node, TLTImageKind Kind, int Column, bool& Ghosted,
                                 int& Index);
    virtual void DoGetLineStyle(TLTLinePattern& Bits);
    virtual HRESULT DoRenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                                    bool ForClipboard);
    virtual void DoGetUserClipboardFormats(std::vector<TFormatEtc>& Formats);
    virtual void DoColumnClick(int Column, fw::TShiftState Shift);
    virtual void DoColumnDblClick(int Column, fw::TShiftState Shift);
    // The hint texts of a cell: the control's hint for both in the base tree.
    virtual std::u16string DoGetNodeHint(PLazyNode Node, int Column);
    virtual std::u16string DoGetNodeTooltip(PLazyNode Node, int Column);
    // HintAnimation with hatSystemDefault resolved.
    virtual THintAnimationType DoGetAnimationType();
    // The hint window went: the next hint request starts afresh.
    void ForgetHint();

    // ---- clipboard commands (LazyTreeClipboardCommands.cpp)
    void CopyToClipboard();
    void CutToClipboard();
    // True when nodes were inserted; a busy clipboard raises error 2007.
    bool PasteFromClipboard();
    // Redraws the node's row at once.
    void RepaintNode(PLazyNode Node);
    void InvalidateColumn(int Column);

    // ---- animation and drag protocol
    using TLTAnimationCallback =
        std::function<bool(TBaseLazyTree* Sender, int Step, int StepSize, void* Data)>;
    // Calls Callback Steps times (fewer, bigger steps when time runs short)
    // over Duration ms of the framework's clock, then once with step 0.
    void Animate(std::uint32_t Steps, std::uint32_t Duration, const TLTAnimationCallback& Callback,
                 void* Data);
    // The header's animated resize: what lies right of the column slides in 32
    // steps of a millisecond, then the column takes the width (if still there).
    void AnimateColumnResize(int Column, int NewWidth);
    // The class library's drag (dtVCL) or a drag of nodes (dtOLE).
    void BeginDrag(bool Immediate, int Threshold = -1);
    bool Dragging() const;
    // The hot node follows the mouse: the label or check box, any part with full-row select.
    void HandleHotTrack(int X, int Y);

    // Mouse: hit test in control coordinates (rows start below the header).
    void GetViewHitTestInfoAt(int X, int Y, THitInfo& HitInfo);
    virtual void DetermineHitPositionLTR(THitInfo& HitInfo, int X, int Right, TAlignment Alignment);
    virtual void DetermineHitPositionRTL(THitInfo& HitInfo, int X, int Right, TAlignment Alignment);
    // The in-row part of a hit: column, then the row test by the column's reading order
    // (GetHitTestInfoAt calls it with X in content coordinates).
    void DetermineHitPositions(int X, THitInfo& HitInfo);
    void HandleMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, const THitInfo& HitInfo);
    void HandleMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, const THitInfo& HitInfo);
    void HandleMouseDblClick(fw::TMouseButton Button, fw::TShiftState Shift,
                             const THitInfo& HitInfo);
    // A press with Shift or Ctrl in a multi-select tree changes the selection from the anchor.
    void HandleClickSelection(PLazyNode LastFocused, PLazyNode NewNode, fw::TShiftState Shift,
                              bool DragPending);

    // Rubber band, auto-scroll, wheel panning and auto-expand (LazyTreeScroll.cpp).
    using TScrollDirections = std::uint8_t;
    static constexpr TScrollDirections sdLeft = 1, sdUp = 2, sdRight = 4, sdDown = 8;
    std::uint32_t AutoScrollDelay() const { return FAutoScrollDelay; }
    void SetAutoScrollDelay(std::uint32_t Value) { FAutoScrollDelay = Value; }
    std::uint32_t AutoScrollInterval() const { return FAutoScrollInterval; }
    void SetAutoScrollInterval(std::uint32_t Value) { FAutoScrollInterval = Value; }
    std::uint32_t AutoExpandDelay() const { return FAutoExpandDelay; }
    void SetAutoExpandDelay(std::uint32_t Value) { FAutoExpandDelay = Value; }
    TScrollDirections ScrollDirections() const { return FScrollDirections; }
    // Applies the change from OldRect to NewRect to the selection; true when it changed.
    bool HandleDrawSelection(int X, int Y);
    bool CanAutoScroll() const;
    // Edges the client point (X, Y) is near or beyond, in directions that can still scroll.
    TScrollDirections DetermineScrollDirections(int X, int Y);
    void DoAutoScroll(int X, int Y);
    // One step of auto-scrolling or wheel panning; false when it stopped.
    bool DoTimerScroll();
    void StartWheelPanning(fw::TPoint Position);
    void StopWheelPanning();
    void AdjustPanningCursor(int X, int Y);
    void ShowPanningImage(const std::string& Name, fw::TPoint Centre);
    fw::HWND PanningWindow() const { return FPanningWindow; }
    // The direction picture the panning window shows (null when not panning).
    const fw::TBitmap* PanningImage() const { return FPanningImage.get(); }
    // Name of the cursor picture shown while panning ("" when none).
    const std::string& PanningCursor() const { return FPanningCursor; }
    // The drag target changed: restarts the expand timer for a collapsed node with children.
    void RestartExpandTimer(PLazyNode Target);
    void StopExpandTimer();
    // Stops one of the tree's window timers (nothing without a window).
    void StopTimer(std::uintptr_t Id);
    // The rubber band, auto-scroll and panning part of a mouse move at the client point P;
    // true when the move is used up (no hot tracking).
    bool MouseMoveScroll(fw::TPoint P);

    // Drag and drop of nodes (LazyTreeDragDrop.cpp).
    TLTDragOverEvent OnDragOver;
    TLTDragDropEvent OnDragDrop;
    TLTCreateDataObjectEvent OnCreateDataObject;
    TLTCreateDragManagerEvent OnCreateDragManager;
    TDragOperations DragOperations() const { return FDragOperations; }
    void SetDragOperations(TDragOperations Value) { FDragOperations = Value; }
    TLTDragType DragType() const { return FDragType; }
    void SetDragType(TLTDragType Value) { FDragType = Value; }
    // Made on first use (OnCreateDragManager may supply it); lives as long as the tree.
    TLTDragManager* DragManager();
    PLazyNode DropTargetNode() const { return FDropTargetNode; }
    TDropMode LastDropMode() const { return FLastDropMode; }
    // The nodes of the running drag that still exist, in tree order.
    TNodeArray DragSelection() const;
    virtual void GetNativeClipboardFormats(std::vector<TFormatEtc>& Formats);
    virtual HRESULT RenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                                  bool ForClipboard);
    // The tree of this process the data object comes from, else null.
    static TBaseLazyTree* GetTreeFromDataObject(TLTDataObject* DataObject);
    // Starts a drag of the selected nodes from the client point P; the tree's mouse
    // handling runs it until the button is released, Escape is pressed or capture is lost.
    void DoDragging(fw::TPoint P);
    // Drop-target side; points are in screen coordinates.
    virtual HRESULT DragEnter(fw::TShiftState KeyState, fw::TPoint Pt, std::uint32_t& Effect);
    virtual HRESULT DragOver(TBaseLazyTree* Source, fw::TShiftState KeyState, TDragState DragState,
                             fw::TPoint Pt, std::uint32_t& Effect);
    virtual void DragLeave();
    virtual HRESULT DragDrop(TLTDataObject* DataObject, fw::TShiftState KeyState, fw::TPoint Pt,
                             std::uint32_t& Effect);
    virtual std::uint32_t SuggestDropEffect(TBaseLazyTree* Source, fw::TShiftState Shift,
                                            fw::TPoint Pt, std::uint32_t AllowedEffects);
    virtual bool DoDragOver(TBaseLazyTree* Source, fw::TShiftState Shift, TDragState State,
                            fw::TPoint Pt, TDropMode Mode, std::uint32_t& Effect);
    virtual void DoDragDrop(TBaseLazyTree* Source, TLTDataObject* DataObject,
                            const TFormatArray& Formats, fw::TShiftState Shift, fw::TPoint Pt,
                            std::uint32_t& Effect, TDropMode Mode);
    // Inserts the node chunks the data object carries at TargetNode; true when it did.
    bool ProcessOLEData(TBaseLazyTree* Source, TLTDataObject* DataObject, PLazyNode TargetNode,
                        TLTNodeAttachMode Mode, bool Optimized);
    // The drag's share of the window messages; true when the message was consumed.
    bool HandleDragMessage(fw::TMessage& Message);
    // The picture of the dragged rows that follows the mouse over trees.
    TLTDragImage* DragImage();
    // Takes the picture of the visible dragged rows; P is the client point held.
    virtual void PrepareDragImage(fw::TPoint P);
    // The arrow above or below the drop target's row R (row-canvas coordinates).
    virtual void DoPaintDropMark(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& R);

    // In-place editing.
    using TLTCreateEditorEvent = std::function<void(
        TBaseLazyTree* Sender, PLazyNode Node, int Column, std::shared_ptr<ILTEditLink>& EditLink)>;
    using TLTEditChangingEvent =
        std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column, bool& Allowed)>;
    using TLTEditChangeEvent =
        std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column)>;
    using TLTEditCancelEvent = std::function<void(TBaseLazyTree* Sender, int Column)>;
    TLTCreateEditorEvent OnCreateEditor;
    TLTEditChangingEvent OnEditing;
    TLTEditChangeEvent OnEdited;
    TLTEditCancelEvent OnEditCancelled;
    std::uint32_t EditDelay() const { return FEditDelay; }
    void SetEditDelay(std::uint32_t Value) { FEditDelay = Value; }
    int EditColumn() const { return FEditColumn; }
    ILTEditLink* EditLink() const { return FEditLink.get(); }
    bool IsEditing() const { return InState(tsEditing); }
    virtual bool CanEdit(PLazyNode Node, int Column);
    virtual void DoCanEdit(PLazyNode Node, int Column, bool& Allowed);
    virtual std::shared_ptr<ILTEditLink> DoCreateEditor(PLazyNode Node, int Column);
    virtual void DoEdit();
    virtual bool DoEndEdit();
    virtual bool DoCancelEdit();
    // Cancels a running edit (descendants may do more).
    virtual void AbortEdit();
    void UpdateEditBounds();
    bool EditNode(PLazyNode Node, int Column);
    bool EndEditNode();
    bool CancelEditNode();

protected:
    void Loaded() override;
    // A freed tree lets its nodes go inside the free, each with its OnFreeNode.
    void BeforeDestruction() override;
    void Dispatch(fw::TMessage& Message) override;
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
    void CreateParams(fw::TCreateParams& Params) override;
    void CreateWnd() override;
    // The view's part of construction: shared resources, control style,
    // change links, the check list and the button and line pictures.
    void InitializeView();
    // Replaces the options, the header and its columns with the objects of
    // this class's queries, keeping their settings; an object whose class
    // the query answers already stays.
    void AdoptClassObjects();

    virtual void WriteChunks(TStream& Stream, PLazyNode Node);
    virtual bool ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node,
                           std::uint32_t ChunkType, int ChunkSize);
    virtual void ReadNode(TStream& Stream, std::uint32_t Version, PLazyNode Node);
    virtual void SkipNode(TStream& Stream);
    void PatchChunkSize(TStream& Stream, std::int64_t ChunkStart, std::int64_t ChunkEnd);

    // Hooks for the painting side: the tree window after a structure change.
    void UpdateScrollBars(bool DoRepaint);
    // One window scroll bar (fw::SB_HORZ or fw::SB_VERT) after the content, client or offset.
    void UpdateScrollBar(int Bar, bool DoRepaint);
    bool Loading() const { return InState(fw::TComponentStateItem::Loading); }
    bool Destroying() const { return InState(fw::TComponentStateItem::Destroying); }
    bool ReadOnly() const { return (MiscOptions() & toReadOnly) != 0; }
    bool InState(TLazyTreeState S) const { return FStates.Contains(S); }
    using fw::TComponent::InState;

private:
    // ---- input (LazyTreeInput.cpp, LazyTreeKeys.cpp, LazyTreeMessages.cpp)
    struct TMouseDownInfo {
        fw::TMouseButton Button = fw::mbLeft;
        PLazyNode Node = nullptr;
        int Column = NoColumn;
        fw::TShiftState Keys = 0;
        bool AltPress = false;
        bool LabelHit = false;
        bool CellHit = false;
        bool MultiSelect = false;
        bool DragAllowed = false;
        int NewColumn = NoColumn;
        bool ColumnChanged = false;
    };
    TMouseDownInfo ClassifyMouseDown(fw::TMouseButton Button, fw::TShiftState Shift,
                                     const THitInfo& HitInfo);
    void PressCheckBox(PLazyNode Node, bool Keyboard);
    void MouseDownClearance(const TMouseDownInfo& M);
    void MouseDownFocus(const TMouseDownInfo& M);
    void ReleaseMouseCheck(const THitInfo& HitInfo);
    struct TNavigation {
        std::uint16_t Key = 0;
        fw::TShiftState Shift = 0;
        fw::TShiftState Mods = 0;
        bool Ctrl = false;
        bool Extend = false;
        bool RangeSelect = false;
        bool NeedInvalidate = false;
        bool ClearNeeded = false;
        PLazyNode LastFocused = nullptr;
        PLazyNode Target = nullptr;
        int TargetColumn = NoColumn;
        bool SetColumn = false;
    };
    void HandleNavigationKey(std::uint16_t Key, fw::TShiftState Shift);
    bool NavigationTarget(TNavigation& N);
    bool NavigateTab(TNavigation& N);
    bool NavigatePage(TNavigation& N);
    bool NavigateHomeEnd(TNavigation& N);
    bool NavigateSideways(TNavigation& N);
    bool NavigateUpDown(TNavigation& N);
    void FinishNavigation(TNavigation& N);
    void HandleOtherKey(std::uint16_t Key, fw::TShiftState Shift);
    void HandleExpandKey(std::uint16_t Key, fw::TShiftState Shift);
    void ShowHelpOfFocusedNode();
    void PopupAtFocusedNode();
    PLazyNode FindIncrementalMatch();
    struct TMessageRoute;
    static std::span<const TMessageRoute> MessageRoutes();
    THitInfo HitAt(const fw::TMessage& Message);
    bool WMGetDlgCode(fw::TMessage& Message);
    bool WMButton(fw::TMessage& Message);
    bool WMRButtonDown(fw::TMessage& Message);
    bool WMRButtonUp(fw::TMessage& Message);
    bool WMMButtonDown(fw::TMessage& Message);
    bool WMMButtonUp(fw::TMessage& Message);
    bool WMMouseMove(fw::TMessage& Message);
    bool WMMouseWheel(fw::TMessage& Message);
    bool WMMouseLeave(fw::TMessage& Message);
    bool WMSetCursor(fw::TMessage& Message);
    bool WMTimer(fw::TMessage& Message);
    bool WMSetFocus(fw::TMessage& Message);
    bool WMKillFocus(fw::TMessage& Message);
    bool WMCancelMode(fw::TMessage& Message);
    bool WMCreate(fw::TMessage& Message);
    bool WMSize(fw::TMessage& Message);
    bool WMScroll(fw::TMessage& Message);
    bool WMEraseBkgnd(fw::TMessage& Message);
    bool WMEnable(fw::TMessage& Message);
    bool WMContextMenu(fw::TMessage& Message);
    bool WMClipboard(fw::TMessage& Message);
    bool WMChar(fw::TMessage& Message);
    bool WMPrint(fw::TMessage& Message);
    bool WMPrintClient(fw::TMessage& Message);
    bool CMLookChanged(fw::TMessage& Message);
    bool WMSysColorChange(fw::TMessage& Message);
    bool WMNCDestroy(fw::TMessage& Message);
    bool WMNCPaint(fw::TMessage& Message);
    bool WMNCButtonDown(fw::TMessage& Message);
    bool CMEnabledChanged(fw::TMessage& Message);
    bool CMCtl3DChanged(fw::TMessage& Message);
    bool CMBorderChanged(fw::TMessage& Message);
    void LeftPressDefault(fw::TMessage& Message);
    bool CMHintShow(fw::TMessage& Message);
    bool MayShowHints() const;
    bool HeaderHint(fw::THintInfo& Info);
    void UseHintWindow(fw::THintInfo& Info, PLazyNode Node, int Column,
                       const std::u16string& DefaultHint);
    bool CellHint(fw::THintInfo& Info);
    bool CMHintShowPause(fw::TMessage& Message);
    bool CMAction(fw::TMessage& Message);
    bool CMDrag(fw::TMessage& Message);
    bool CMDragStart(fw::TMessage& Message);
    bool CMDragEnd(fw::TMessage& Message);
    // A class-library drag ended: the release it took is given back, its states left.
    void DragFinished();

protected:
    // The tree's font changed (CM_FONTCHANGED, WM_SETFONT); the string tree measures again.
    virtual void FontChanged();

private:
    friend class TWorkerThread;
    friend class lt::TNodeWatch;
    // The node sets operations hold across handlers; a freed node leaves each.
    std::vector<std::unordered_set<PLazyNode>*> FNodeWatches;
    void InitRootNode(std::uint32_t OldSize = 0);
    // HandleDragMessage's pieces.
    void FinishDrag(bool Drop, fw::TShiftState Keys, fw::TPoint Pt);
    bool DragMouseMove(const fw::TMessage& Message, bool Dragging);
    bool DragButtonUp(const fw::TMessage& Message, bool Dragging);
    void MoveDrag(fw::TShiftState Keys, fw::TPoint P, bool Start);
    // Runs the queued column deletions, then frees the doomed nodes.
    void RunDeferred();
    // Deletions are refused while a walk runs.
    void RefuseWhileIterating() const;
    // A deletion the tree begins: it finishes whole, read-only or not.
    void DeleteNodeNow(PLazyNode Node, bool Reindex);
    void DeleteChildrenNow(PLazyNode Node, bool ResetHasChildren);
    // The same while handlers may hold nodes: the nodes leave the tree at
    // once (counts, links, selection, focus) and wait, doomed, for FreeDoomed.
    void DetachNode(PLazyNode Node, bool Reindex);
    void DetachChildren(PLazyNode Node, bool ResetHasChildren);
    // Marks Top's subtree doomed and takes every reference the tree keeps
    // to it away, without a handler; answers whether the focus was in it.
    bool DoomSubtree(PLazyNode Top);
    // Frees the doomed subtrees, each node with its OnFreeNode.
    void FreeDoomed();
    // Fires the doomed nodes' OnFreeNode now; their memory still waits.
    void TellDoomed();
    // A node's OnFreeNode, once, when it was initialised.
    void TellFreed(PLazyNode Node);
    // Node's rows, counts and links leave its parent, without a handler.
    void TakeOut(PLazyNode Node, bool Reindex);
    // What a detach tells once the tree holds none of the nodes: the focus
    // change (an edit of the focused node cancelled first), the repaint.
    void AfterDetach(bool Focused);
    // Frees every node below Node, deepest and last first, each leaving the
    // counts as it goes (heights and rows are the caller's).
    void FreeDescendants(PLazyNode Node);
    // Whether a node may take children now: not while it is freed, cleared or
    // read, nor in a tree on its way out.
    bool TakesChildren(PLazyNode Node) const;
    // MoveTo within this tree, once the move was allowed.
    bool MoveWithin(PLazyNode Source, PLazyNode Target, TLTNodeAttachMode Mode, bool ChildrenOnly);
    // Links children behind Node's last until it has NewChildCount; answers the first made.
    PLazyNode AppendChildren(PLazyNode Node, std::uint32_t NewChildCount);
    void NoteStructureChange() { ++FStructureStamp; }
    // Shown rows or their totals changed (see FHandlerRowChanges).
    // During a batch any change of rows but its own toggles is one.
    void NoteRowsChanged() {
        if (FHandlerDepth > FRowWatchDepth || FTotalsBatch) ++FHandlerRowChanges;
    }
    // Whether a toggle is the running batch's own, which leaves totals to its end.
    bool BatchToggle(PLazyNode Node) const;
    void BatchWalkToggle(PLazyNode Node);
    void FreeClearedLeaf(PLazyNode Node);
    // Totals of Node's subtree from its children up, after a batch that left them alone.
    void RecomputeSubtreeTotals(PLazyNode Node);
    // Shown rows of Node and below (all shown rows for the root).
    std::uint32_t ShownRowsOf(PLazyNode Node) const;
    template <class F> void BatchTotals(PLazyNode Node, F&& Run);
    bool CollapseNode(PLazyNode Node);
    bool ExpandNode(PLazyNode Node);
    void AfterToggle(PLazyNode Node, PLazyNode OldTop);
    // With toAnimatedToggle: the rows below Node slide open or shut before it
    // toggles (LazyTreeAnimation.cpp); the caller checks Node's state again.
    void AnimateToggle(PLazyNode Node, bool Expanding);
    void FillToggleStrip(fw::TCanvas& C, const fw::TRect& Strip);
    // DoSetOffsetXY's window part: the pixels, the header and the bars.
    void ShowScrolled(int DX, int DY, TScrollUpdateOptions Options, const fw::TRect* ClipRect);
    void ScrollRowIntoView(PLazyNode Node, bool Center);
    void InvalidateSelectedRowsOnScreen();
    void ClearNow();
    // The stream's iterative parts.
    struct TReadFrame;
    // The check propagation's iterative parts: a node whose new state goes
    // down to its children first, and its own change once they have theirs.
    struct TCheckFrame;
    void OpenCheckFrame(std::vector<TCheckFrame>& Frames, PLazyNode Node, TCheckState Value);
    bool SettleCheckState(PLazyNode Node, TCheckState Value);
    static void CountCheckedChild(TCheckFrame& Frame, PLazyNode Child);
    void OpenReadFrame(TStream& Stream, std::vector<TReadFrame>& Frames, PLazyNode Node);
    void FinishReadNode(PLazyNode Node, bool Linked);
    void DropUnfinishedReads(std::vector<TReadFrame>& Frames);
    void FixLoadedSelection(PLazyNode Node);
    // The stored states of the node a read goes into, which the tree counts already.
    void TakeStoredStates(PLazyNode Node, TLazyNodeStates States);
    // Node is on its way out: unlinked for OnFreeNode, or below a clearing node.
    bool BeingFreed(PLazyNode Node) const;
    // AddNodeFromStream into a node just made for it, which goes when the read fails.
    void AddNewNodeFromStream(TStream& Stream, std::uint32_t Version, PLazyNode Node);
    // A node's own chunks as WriteChunks makes them, its children left out.
    void ShallowChunks(PLazyNode Node, TMemoryStream& Scratch);
    // Takes every reference the tree keeps to Node away before its block goes.
    void ForgetNode(PLazyNode Node);
    PLazyNode MakeNewNode();
    void FreeNodeBlock(PLazyNode Node);
    // The navigation's steps answer nodes in the tree: a node a step found
    // and initialised whose handlers deleted it gives way to the one found
    // next, while the node the step started from stays in the tree.
    PLazyNode Initialised(PLazyNode Node);
    template <class F> PLazyNode SettledStep(PLazyNode From, F&& Find);
    PLazyNode ChildStep(PLazyNode Node, bool First);
    template <class F> PLazyNode LastDown(PLazyNode Node, F&& Child);
    template <class S, class L> PLazyNode PreviousStep(PLazyNode Node, S&& Sibling, L&& Last);
    // Frees Top and every block below it, without handlers (the tree goes).
    void FreeSubtreeBlocks(PLazyNode Top);
    void AdjustTotalCount(PLazyNode Node, std::int64_t Value, bool Relative);
    void AdjustTotalHeight(PLazyNode Node, std::int64_t Value, bool Relative);
    void MeasureItemHeight(PLazyNode Node);
    std::size_t NodeBlockSize() const;
    void InternalConnectNode(PLazyNode Node, PLazyNode Destination, TLTNodeAttachMode Mode);
    bool InternalAddToSelection(TNodeArray& Nodes, int Count, bool ForceInsert);
    bool InternalAddToSelection(PLazyNode Node, bool ForceInsert);
    void InternalRemoveFromSelection(PLazyNode Node);
    void InternalClearSelection();
    void MarkForRemoval(PLazyNode Node);
    void PackSelection();
    int FSelectionMarked = 0; // entries marked for removal, waiting for PackSelection
    void ResetRangeAnchor();
    void AddToTempCache(PLazyNode Node);
    void ClearTempCache();
    void WMTreeStateChange(fw::TMessage& Message);
    void SortChildrenRecursive(PLazyNode Node, int Column, TSortDirection Direction, bool DoInit);
    void FinishCutOrCopy();
    // Empties the clipboard when it holds this tree's data object.
    void ReleaseClipboardData();

    PLazyNode FRoot = nullptr;
    std::uint32_t FBusyCount = 0;
    std::uint32_t FHandlerDepth = 0;
    // The framework's handler depth when the outermost busy scope began: a
    // deeper call came from a handler (of any tree) that an operation called.
    int FBusyBase = 0;
    // Bumped by every change of links (adding, unlinking, freeing, sorting).
    std::uint64_t FStructureStamp = 0;
    // Changes of shown rows made by handlers deeper than FRowWatchDepth: a
    // batch that settles totals once at its end recounts when it moved.
    std::uint64_t FHandlerRowChanges = 0;
    std::uint32_t FRowWatchDepth = 0;
    std::deque<std::function<void()>> FDeferred; // column deletions asked for while busy
    // Tops of the subtrees deleted while busy: out of the tree, not yet freed.
    std::vector<PLazyNode> FDoomed;
    bool FDeferredPosted = false; // a message to run them is on its way
    bool FRunningDeferred = false;
    bool FCacheWanted = false; // a cache build asked for while busy: queued at the end
    // Toggles made by nodes' initialisations ask for the bars once, at the end
    // of the outermost operation rather than at each toggle.
    bool FScrollBarsWanted = false;
    bool FUpdatingWantedBars = false;
    bool FGoing = false;       // the destructor runs
    std::uint32_t FWorkerMessageDepth = 0; // inside the worker's sent message
    // Stream reading and writing without recursion: the base chunk's children
    // are left to the running reader, and to the running writer.
    bool FStreamReading = false;
    bool FShallowWrite = false;
    std::uint32_t FBaseChildren = 0;
    std::int64_t FBaseEnd = -1;
    // A full expand or collapse runs below it: its own toggles (of the node
    // its walk stands on, or made while the walk steps) leave totals to its end.
    PLazyNode FTotalsBatch = nullptr;
    PLazyNode FBatchWalkNode = nullptr;
    bool FBatchStepping = false;
    // The node its own initialisation is expanding (ivsExpanded): no user's toggle.
    PLazyNode FInitToggleNode = nullptr;
    int FNodeDataSize = -1;
    std::uint32_t FTotalInternalDataSize = 0;
    std::uint32_t FDefaultNodeHeight = 18;
    std::uint32_t FVisibleCount = 0;
    std::uint32_t FUpdateCount = 0;
    TLazyTreeStates FStates;

    std::unique_ptr<TLTHeader> FHeader;
    std::unique_ptr<TCustomLazyTreeOptions> FOptions;
    std::uint32_t FAnimationDuration = 200;
    std::uint32_t FChangeDelay = 0;
    std::uint32_t FIndent = 18;
    int FMargin = 4;
    int FTextMargin = 4;
    TLTNodeAttachMode FDefaultPasteMode = amAddChildLast;

    PLazyNode FFocusedNode = nullptr;
    int FFocusedColumn = NoColumn;
    PLazyNode FRangeAnchor = nullptr;
    int FLastSelectionLevel = -1;
    PLazyNode FHotNode = nullptr;
    TNodeArray FSelection;
    int FSelectionCount = 0;
    TNodeArray FTempNodeCache;
    int FTempNodeCount = 0;

    int FOffsetX = 0;
    int FOffsetY = 0;
    std::uint32_t FRangeX = 0;

    PLazyNode FLastChangedNode = nullptr;
    PLazyNode FLastStructureChangeNode = nullptr;
    TChangeReason FLastStructureChangeReason = crIgnore;

    TCache FPositionCache;
    // Every 8th visible node, built with the cache: a look-up walks at most
    // 7 rows from the entry its binary search finds.
    TCache FFineCache;
    TPopupMenu* FPopupMenu = nullptr;
    fw::TRect FOldRect;
    fw::TRect FNewRect;
    // tsStopValidation as the worker thread reads it.
    std::atomic<bool> FStopValidation{false};

    // ---- view side
    std::unique_ptr<TScrollBarOptions> FScrollBarOptions =
        std::make_unique<TScrollBarOptions>(this);
    std::unique_ptr<TLTColors> FColors = std::make_unique<TLTColors>(this);
    TBiDiMode FBiDiMode = bdLeftToRight;
    bool FParentBiDiMode = true;
    void ApplyBiDiMode(TBiDiMode Value);
    // Assign's frame rows: bevels, bidi mode, border style and width.
    void AssignFrame(const TBaseLazyTree& Source);
    fw::TRect FHeaderRect;
    std::shared_ptr<ILTEditLink> FEditLink;
    // Links let go of while their editors may still be on the call stack; freed
    // when an edit starts outside every handler.
    std::vector<std::shared_ptr<ILTEditLink>> FRetiredEditLinks;
    void RetireEditLink();
    int FEditColumn = NoColumn;
    std::uint32_t FEditDelay = 1000;
    PLazyNode FCheckNode = nullptr;
    TCheckState FPendingCheckState = csUncheckedNormal;
    fw::TPoint FLastClickPos;
    std::u16string FSearchBuffer;
    PLazyNode FLastSearchNode = nullptr;
    // ---- drag and drop
    std::shared_ptr<TLTDragManager> FDragManager;
    std::shared_ptr<TLTDragImage> FDragImage;
    PLazyNode FDropTargetNode = nullptr;
    TDropMode FLastDropMode = dmNowhere;
    TNodeArray FDragSelection;
    std::unordered_set<PLazyNode> FDragLive; // the entries of FDragSelection not freed since
    TDragOperations FDragOperations = doCopy | doMove;
    TLTDragType FDragType = dtOLE;
    fw::TPoint FDragStart;
    int FDragThreshold = 0; // remembered by BeginDrag: the move past which a pending drag starts
    std::uint32_t FAutoScrollDelay = 1000;
    std::uint32_t FAutoScrollInterval = 1;
    std::uint32_t FAutoExpandDelay = 1000;
    TScrollDirections FScrollDirections = 0;
    fw::TShiftState FDrawSelShiftState = 0;
    fw::HWND FPanningWindow = nullptr;
    std::unique_ptr<fw::TBitmap> FPanningImage;
    int FPanningOverlay = 0; // the picture on the screen
    std::string FPanningCursor;
    PLazyNode FExpandNode = nullptr;
    // ---- view properties
    TLTIncrementalSearch FIncrementalSearch = TLTIncrementalSearch::isNone;
    TLTSearchDirection FIncrementalSearchDirection = TLTSearchDirection::sdForward;
    TLTSearchStart FIncrementalSearchStart = TLTSearchStart::ssFocusedNode;
    std::uint32_t FIncrementalSearchTimeout = 1000;
    TAlignment FAlignment = taLeftJustify;
    fw::TPicture FBackground;
    int FBackgroundOffsetX = 0;
    int FBackgroundOffsetY = 0;
    fw::TBorderStyle FBorderStyle = fw::bsSingle;
    TLTButtonFillMode FButtonFillMode = fmTreeColor;
    TLTButtonStyle FButtonStyle = bsRectangle;
    TCheckImageKind FCheckImageKind = ckLightCheck;
    fw::TImageList* FCheckImages = nullptr;
    fw::TImageList* FCustomCheckImages = nullptr;
    TClipboardFormats FClipboardFormats{this};
    int FDragHeight = 350;
    int FDragWidth = 200;
    TLTDragImageKind FDragImageKind = diComplete;
    TLTDrawSelectionMode FDrawSelectionMode = smDottedRectangle;
    THintAnimationType FHintAnimation = hatSystemDefault;
    TLTHintMode FHintMode = hmDefault;
    fw::TCursor FHotCursor = fw::crDefault;
    fw::TImageList* FImages = nullptr;
    fw::TImageList* FStateImages = nullptr;
    TLTLineMode FLineMode = lmNormal;
    TLTLineStyle FLineStyle = lsDotted;
    TLTNodeAlignment FNodeAlignment = naProportional;
    std::uint8_t FSelectionBlendFactor = 128;
    std::uint32_t FSelectionCurveRadius = 0;
    bool FWantTabs = false;
    fw::TChangeLink FImageChangeLink;
    fw::TChangeLink FStateChangeLink;
    fw::TChangeLink FCustomCheckChangeLink;
    fw::TBitmap FPlusBM;
    fw::TBitmap FMinusBM;
    TLTLinePattern FLinePattern{};
    // Rows and cells of the hint shown last (client coordinates).
    fw::TRect FLastHintRect;
    TLTHintData FHintData;
};

} // namespace vel
