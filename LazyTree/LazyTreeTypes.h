// The lazy tree's vocabulary: the node record and its states, the tree's
// run-time states, errors, event and drag-and-drop types.
#pragma once

#include "LazyTreeHeader.h"

#include "Controls.h"
#include "Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {
class TCanvas;
class TPopupMenu;
class TStream;
}

namespace vel {

class TBaseLazyTree;
class TLTDataObject;
namespace lt {
class TNodeWatch;
}
class TLTDragManager;
class TLTDragImage;
struct TFormatEtc;
struct TStgMedium;

// ---------------------------------------------------------------- node record

// Node state bits (TLazyNode::States).
using TLazyNodeStates = std::uint16_t;
constexpr TLazyNodeStates vsInitialized = 1u << 0;
constexpr TLazyNodeStates vsChecking = 1u << 1;
constexpr TLazyNodeStates vsCutOrCopy = 1u << 2;
constexpr TLazyNodeStates vsDisabled = 1u << 3;
constexpr TLazyNodeStates vsDeleting = 1u << 4;
constexpr TLazyNodeStates vsExpanded = 1u << 5;
constexpr TLazyNodeStates vsHasChildren = 1u << 6;
constexpr TLazyNodeStates vsVisible = 1u << 7;
constexpr TLazyNodeStates vsSelected = 1u << 8;
constexpr TLazyNodeStates vsInitialUserData = 1u << 9;
constexpr TLazyNodeStates vsAllChildrenHidden = 1u << 10;
constexpr TLazyNodeStates vsClearing = 1u << 11;
constexpr TLazyNodeStates vsMultiline = 1u << 12;
constexpr TLazyNodeStates vsHeightMeasured = 1u << 13;

enum class TCheckState : std::uint8_t {
    csUncheckedNormal,
    csUncheckedPressed,
    csCheckedNormal,
    csCheckedPressed,
    csMixedNormal,
    csMixedPressed
};
using enum TCheckState;

// Kinds of check box (TLazyNode::CheckType).
enum class TCheckType : std::uint8_t {
    ctNone,
    ctTriStateCheckBox,
    ctCheckBox,
    ctRadioButton,
    ctButton
};
// TCheckType::ctNone stays qualified: the grid's control types have a ctNone.
using TCheckType::ctButton;
using TCheckType::ctCheckBox;
using TCheckType::ctRadioButton;
using TCheckType::ctTriStateCheckBox;

enum class TLTNodeAlignment : std::uint8_t { naFromBottom, naFromTop, naProportional };
using enum TLTNodeAlignment;

// One row. The block behind the header holds the internal data area, then
// the user data area; the whole block is one zero-filled allocation.
struct TLazyNode {
    std::uint32_t Index;
    std::uint32_t ChildCount;
    std::uint16_t NodeHeight;
    TLazyNodeStates States;
    std::uint8_t Align;
    TCheckState CheckState;
    TCheckType CheckType;
    // The tree's own marks (never stored): a stale count, a deletion running.
    std::uint8_t Internal;
    // This node and all below it, exact: a count that waits for a recount
    // (adding below a node only marks its ancestors) is recounted here.
    std::uint32_t TotalCount() const;
    // The stored count, stale while Internal marks it so: read TotalCount().
    std::uint32_t CachedTotalCount;
    std::uint32_t TotalHeight;
    // The hidden root has no parent node; its owning tree sits where the
    // user data of other nodes starts (TreeFromNode).
    TLazyNode* Parent;
    TLazyNode* PrevSibling;
    TLazyNode* NextSibling;
    TLazyNode* FirstChild;
    TLazyNode* LastChild;
};
using PLazyNode = TLazyNode*;
static_assert(sizeof(TLazyNode) % 8 == 0);

// ---------------------------------------------------------- tree run-time states

enum class TLazyTreeState : std::uint8_t {
    tsCancelHintAnimation,
    tsChangePending,
    tsCheckPropagation,
    tsCollapsing,
    tsToggleFocusedSelection,
    tsClearPending,
    tsClipboardFlushing,
    tsCopyPending,
    tsCutPending,
    tsDrawSelPending,
    tsDrawSelecting,
    tsEditing,
    tsEditPending,
    tsExpanding,
    tsHint,
    tsInAnimation,
    tsIncrementalSearching,
    tsIncrementalSearchPending,
    tsIterating,
    tsKeyCheckPending,
    tsLeftButtonDown,
    tsMouseCheckPending,
    tsMiddleButtonDown,
    tsNeedScale,
    tsNeedRootCountUpdate,
    tsOLEDragging,
    tsOLEDragPending,
    tsPainting,
    tsRightButtonDown,
    tsPopupMenuShown,
    tsScrolling,
    tsScrollPending,
    tsSizing,
    tsStopValidation,
    tsStructureChangePending,
    tsSynchMode,
    tsThumbTracking,
    tsUpdateHiddenChildrenNeeded,
    tsUpdating,
    tsUseCache,
    tsUserDragObject,
    tsUseThemes,
    tsValidating,
    tsValidationNeeded,
    tsVCLDragging,
    tsVCLDragPending,
    tsWheelPanning,
    tsWheelScrolling,
    tsWindowCreating
};
using enum TLazyTreeState;

// The tree's state set, bit N = member N.
class TLazyTreeStates {
public:
    constexpr TLazyTreeStates() = default;
    constexpr TLazyTreeStates(std::initializer_list<TLazyTreeState> L) {
        for (TLazyTreeState S : L)
            FBits |= Bit(S);
    }
    static constexpr TLazyTreeStates FromBits(std::uint64_t B) {
        TLazyTreeStates R;
        R.FBits = B;
        return R;
    }
    constexpr std::uint64_t Bits() const { return FBits; }
    constexpr bool Contains(TLazyTreeState S) const { return (FBits & Bit(S)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    friend constexpr TLazyTreeStates operator+(TLazyTreeStates A, TLazyTreeStates B) {
        return FromBits(A.FBits | B.FBits);
    }
    friend constexpr TLazyTreeStates operator-(TLazyTreeStates A, TLazyTreeStates B) {
        return FromBits(A.FBits & ~B.FBits);
    }
    friend constexpr TLazyTreeStates operator*(TLazyTreeStates A, TLazyTreeStates B) {
        return FromBits(A.FBits & B.FBits);
    }
    friend constexpr bool operator==(TLazyTreeStates, TLazyTreeStates) = default;

private:
    static constexpr std::uint64_t Bit(TLazyTreeState S) {
        return std::uint64_t{1} << static_cast<unsigned>(S);
    }
    std::uint64_t FBits = 0;
};

// ------------------------------------------------------------------ small types

enum class TLTNodeAttachMode : std::uint8_t {
    amNoWhere,
    amInsertBefore,
    amInsertAfter,
    amAddChildFirst,
    amAddChildLast
};
using enum TLTNodeAttachMode;

enum class TChangeReason : std::uint8_t {
    crIgnore,
    crAccumulated,
    crChildAdded,
    crChildDeleted,
    crNodeAdded,
    crNodeCopied,
    crNodeMoved
};
using enum TChangeReason;

enum class TLTUpdateState : std::uint8_t {
    usBegin,
    usBeginSynch,
    usSynch,
    usEnd,
    usEndSynch,
    usUpdate
};
using enum TLTUpdateState;

// What OnInitNode hands back.
using TLTInternalStates = std::uint8_t;
constexpr TLTInternalStates ivsDisabled = 1u << 0;
constexpr TLTInternalStates ivsExpanded = 1u << 1;
constexpr TLTInternalStates ivsHasChildren = 1u << 2;
constexpr TLTInternalStates ivsMultiline = 1u << 3;
constexpr TLTInternalStates ivsSelected = 1u << 4;

// Hit positions (THitInfo::HitPositions), by bit.
using THitPositions = std::uint16_t;
constexpr THitPositions hpAbove = 1u << 0;
constexpr THitPositions hpBelow = 1u << 1;
constexpr THitPositions hpNowhere = 1u << 2;
constexpr THitPositions hpOnItem = 1u << 3;
constexpr THitPositions hpToLeft = 1u << 12;
constexpr THitPositions hpToRight = 1u << 13;

struct THitInfo {
    PLazyNode HitNode = nullptr;
    THitPositions HitPositions = 0;
    int HitColumn = NoColumn;
};

// One position-cache entry: a node and its top in the whole content.
struct TPositionCacheEntry {
    PLazyNode Node = nullptr;
    std::uint32_t Top = 0;
};
using TCache = std::vector<TPositionCacheEntry>;

// Sent by the worker thread: WParam = states to enter, LParam = states to
// leave, bit 0 tsStopValidation, 1 tsUseCache, 2 tsValidating, 3 tsValidationNeeded.
constexpr fw::UINT WM_TREESTATECHANGE = 0x8020;

// Timer identifiers of the tree window.
constexpr std::uintptr_t ExpandTimer = 1;
constexpr std::uintptr_t EditTimer = 2;
constexpr std::uintptr_t ScrollTimer = 4;
constexpr std::uintptr_t ChangeTimer = 5;
constexpr std::uintptr_t StructureChangeTimer = 6;
constexpr std::uintptr_t SearchTimer = 7;

// ------------------------------------------------------------------- errors

// Control errors; Code (the help context) is 2000 .. 2008.
class ELazyTreeError : public std::runtime_error {
public:
    ELazyTreeError(const std::string& Msg, int ACode) : std::runtime_error(Msg), FCode(ACode) {}
    int HelpContext() const { return FCode; }

private:
    int FCode;
};

// Raises ELazyTreeError with the message and code.
[[noreturn]] void ShowError(const std::u16string& Msg, int Code);
// Raises ELazyTreeAssertion with the message unless Condition holds.
void LTAssert(bool Condition, const char* Msg);

extern const char16_t* const SEditLinkIsNil;      // 2000
extern const char16_t* const SWrongMoveError;     // 2001
extern const char16_t* const SWrongStreamFormat;  // 2002
extern const char16_t* const SWrongStreamVersion; // 2003
extern const char16_t* const SStreamTooSmall;     // 2004
extern const char16_t* const SCorruptStream1;     // 2005
extern const char16_t* const SCorruptStream2;     // 2006
extern const char16_t* const SClipboardFailed;    // 2007
extern const char16_t* const SCannotSetUserData;  // 2008
constexpr int hcTFEditLinkIsNil = 2000;
constexpr int hcTFWrongMoveError = 2001;
constexpr int hcTFWrongStreamFormat = 2002;
constexpr int hcTFWrongStreamVersion = 2003;
constexpr int hcTFStreamTooSmall = 2004;
constexpr int hcTFCorruptStream1 = 2005;
constexpr int hcTFCorruptStream2 = 2006;
constexpr int hcTFClipboardFailed = 2007;
constexpr int hcTFCannotSetUserData = 2008;

// Walks up to the hidden root and answers its tree (asserts on nil).
TBaseLazyTree* TreeFromNode(PLazyNode Node);
// Ascending in-place sort of pointers compared as unsigned numbers.
void QuickSortPointers(std::vector<PLazyNode>& List, int L, int R);

// ------------------------------------------------------------------- events

class TBaseLazyTree;
using TLTNodeEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node)>;
using TLTChangingEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node, bool& Allowed)>;
using TLTGetNodeDataSizeEvent = std::function<void(TBaseLazyTree* Sender, int& NodeDataSize)>;
using TLTInitNodeEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode ParentNode,
                                            PLazyNode Node, TLTInternalStates& InitialStates)>;
using TLTInitChildrenEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, std::uint32_t& ChildCount)>;
using TLTMeasureItemEvent = std::function<void(TBaseLazyTree* Sender, fw::TCanvas* TargetCanvas,
                                               PLazyNode Node, int& NodeHeight)>;
using TLTCompareEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node1, PLazyNode Node2,
                                           int Column, int& Result)>;
using TLTStructureChangeEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, TChangeReason Reason)>;
using TLTStateChangeEvent =
    std::function<void(TBaseLazyTree* Sender, TLazyTreeStates Enter, TLazyTreeStates Leave)>;
using TLTUpdatingEvent = std::function<void(TBaseLazyTree* Sender, TLTUpdateState State)>;
using TLTFocusChangingEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode OldNode, PLazyNode NewNode, int OldColumn,
                       int NewColumn, bool& Allowed)>;
using TLTFocusChangeEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column)>;
using TLTCheckChangingEvent = std::function<void(TBaseLazyTree* Sender, PLazyNode Node,
                                                 TCheckState& NewState, bool& Allowed)>;
using TLTNodeCopyMoveEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, PLazyNode Target, bool& Allowed)>;
using TLTSaveNodeEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, TStream& Stream)>;
using TLTGetCellIsEmptyEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column, bool& IsEmpty)>;
using TLTIncrementalSearchEvent = std::function<void(
    TBaseLazyTree* Sender, PLazyNode Node, const std::u16string& SearchText, int& Result)>;
using TLTScrollEvent = std::function<void(TBaseLazyTree* Sender, int DeltaX, int DeltaY)>;

using TLTGetPopupMenuEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column, fw::TPoint P,
                       bool& AskParent, TPopupMenu*& PopupMenu)>;
using TLTHotNodeChangeEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode OldNode, PLazyNode NewNode)>;
using TLTKeyActionEvent = std::function<void(TBaseLazyTree* Sender, std::uint16_t& CharCode,
                                             fw::TShiftState& Shift, bool& DoDefault)>;
using TLTDragAllowedEvent =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column, bool& Allowed)>;
using TLTGetCursorEvent = std::function<void(TBaseLazyTree* Sender, fw::TCursor& Cursor)>;

// Callback of IterateSubtree.
using TLTGetNodeProc =
    std::function<void(TBaseLazyTree* Sender, PLazyNode Node, void* Data, bool& Abort)>;

using TNodeArray = std::vector<PLazyNode>;

// ------------------------------------------------------------ drag and drop

using HRESULT = std::int32_t;
enum class TDropMode : std::uint8_t { dmNowhere, dmAbove, dmOnNode, dmBelow };
using enum TDropMode;
enum class TDragState : std::uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
using enum TDragState;
enum class TLTDragType : std::uint8_t { dtOLE, dtVCL };
using enum TLTDragType;
using TDragOperations = std::uint8_t;
constexpr TDragOperations doCopy = 1, doMove = 2, doLink = 4;
using TFormatArray = std::vector<std::uint16_t>;
using TLTDragOverEvent = std::function<void(TBaseLazyTree* Sender, TBaseLazyTree* Source,
                                            fw::TShiftState Shift, TDragState State, fw::TPoint Pt,
                                            TDropMode Mode, std::uint32_t& Effect, bool& Accept)>;
using TLTDragDropEvent =
    std::function<void(TBaseLazyTree* Sender, TBaseLazyTree* Source, TLTDataObject* DataObject,
                       const TFormatArray& Formats, fw::TShiftState Shift, fw::TPoint Pt,
                       std::uint32_t& Effect, TDropMode Mode)>;
using TLTCreateDataObjectEvent =
    std::function<void(TBaseLazyTree* Sender, std::shared_ptr<TLTDataObject>& DataObject)>;
using TLTCreateDragManagerEvent =
    std::function<void(TBaseLazyTree* Sender, std::shared_ptr<TLTDragManager>& DragManager)>;

} // namespace vel
