// The tree's header: columns, their layout, painting, mouse handling and stream.
#pragma once

#include "Bitmap.h"
#include "Controls.h"
#include "Graphics.h"
#include "ImageList.h"
#include "LazyTreeDragImage.h"
#include "LazyTreeOptions.h"
#include "Messages.h"
#include "Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

class TBaseLazyTree;
class TLTHeader;
class TLazyTreeColumns;
class TLazyTreeColumn;

using TColumnIndex = int;
using TColumnPosition = std::uint32_t;
constexpr TColumnIndex NoColumn = -1;
constexpr TColumnIndex InvalidColumn = -2;

// Extents the paint adds up (the header's height, a column's margin and
// spacing, the tree's indent and margins) are held within +-MaxExtent by their
// setters, and a stream holding more is refused: a sum of a few stays in 32 bits.
constexpr int MaxExtent = 32767;
inline bool WithinExtent(int Value) {
    return Value >= -MaxExtent && Value <= MaxExtent;
}
inline int HeldExtent(int Value) {
    return Value < -MaxExtent ? -MaxExtent : Value > MaxExtent ? MaxExtent : Value;
}

enum class TLazyTreeColumnStyle : std::uint8_t { vsText, vsOwnerDraw };
using enum TLazyTreeColumnStyle;
enum class TLTHeaderColumnLayout : std::uint8_t {
    blGlyphLeft,
    blGlyphRight,
    blGlyphTop,
    blGlyphBottom
};
using enum TLTHeaderColumnLayout;
enum class TLTHeaderStyle : std::uint8_t { hsThickButtons, hsFlatButtons, hsPlates, hsXPStyle };
using enum TLTHeaderStyle;
enum class TSortDirection : std::uint8_t { sdAscending, sdDescending };
using enum TSortDirection;
enum class TLTDropMarkMode : std::uint8_t { dmmNone, dmmLeft, dmmRight };
using enum TLTDropMarkMode;

using TLTColumnOptions = std::uint16_t;
constexpr TLTColumnOptions coAllowClick = 1u << 0;
constexpr TLTColumnOptions coDraggable = 1u << 1;
constexpr TLTColumnOptions coEnabled = 1u << 2;
constexpr TLTColumnOptions coParentBidiMode = 1u << 3;
constexpr TLTColumnOptions coParentColor = 1u << 4;
constexpr TLTColumnOptions coResizable = 1u << 5;
constexpr TLTColumnOptions coShowDropMark = 1u << 6;
constexpr TLTColumnOptions coVisible = 1u << 7;
constexpr TLTColumnOptions coAutoSpring = 1u << 8;
constexpr TLTColumnOptions DefaultColumnOptions = coAllowClick | coDraggable | coEnabled |
                                                  coParentBidiMode | coParentColor | coResizable |
                                                  coShowDropMark | coVisible;

using TLTHeaderOptions = std::uint16_t;
constexpr TLTHeaderOptions hoAutoResize = 1u << 0;
constexpr TLTHeaderOptions hoColumnResize = 1u << 1;
constexpr TLTHeaderOptions hoDblClickResize = 1u << 2;
constexpr TLTHeaderOptions hoDrag = 1u << 3;
constexpr TLTHeaderOptions hoHotTrack = 1u << 4;
constexpr TLTHeaderOptions hoOwnerDraw = 1u << 5;
constexpr TLTHeaderOptions hoRestrictDrag = 1u << 6;
constexpr TLTHeaderOptions hoShowHint = 1u << 7;
constexpr TLTHeaderOptions hoShowImages = 1u << 8;
constexpr TLTHeaderOptions hoShowSortGlyphs = 1u << 9;
constexpr TLTHeaderOptions hoVisible = 1u << 10;
constexpr TLTHeaderOptions hoAutoSpring = 1u << 11;

using THeaderPaintElements = std::uint8_t;
constexpr THeaderPaintElements hpeBackground = 1u << 0;
constexpr THeaderPaintElements hpeDropMark = 1u << 1;
constexpr THeaderPaintElements hpeHeaderGlyph = 1u << 2;
constexpr THeaderPaintElements hpeSortGlyph = 1u << 3;
constexpr THeaderPaintElements hpeText = 1u << 4;

using TLTHeaderRunState = std::uint8_t;
constexpr TLTHeaderRunState hrsAutoSizing = 1u << 0;
constexpr TLTHeaderRunState hrsDragging = 1u << 1;
constexpr TLTHeaderRunState hrsDragPending = 1u << 2;
constexpr TLTHeaderRunState hrsLoading = 1u << 3;
constexpr TLTHeaderRunState hrsResizing = 1u << 4;
constexpr TLTHeaderRunState hrsResizePending = 1u << 5;

using TIndexArray = std::vector<TColumnIndex>;

// Cursor number of the header splitter.
constexpr fw::TCursor crHeaderSplit = 100;
// Timer of the tree's window that watches the mouse over the header.
constexpr std::uintptr_t HeaderTimer = 8;

// What the advanced owner draw gets for one element.
struct THeaderPaintInfo {
    fw::TCanvas* TargetCanvas = nullptr;
    TLazyTreeColumn* Column = nullptr;
    fw::TRect PaintRectangle;
    fw::TRect TextRectangle;
    bool IsHoverIndex = false;
    bool IsDownIndex = false;
    bool IsEnabled = false;
    bool ShowHeaderGlyph = false;
    bool ShowSortGlyph = false;
    bool ShowRightBorder = false;
    TLTDropMarkMode DropMark = dmmNone;
    fw::TPoint GlyphPos;
    fw::TPoint SortGlyphPos;
};

// Header events (Sender is the header).
using TLTHeaderClickEvent =
    std::function<void(TLTHeader* Sender, TColumnIndex Column, fw::TMouseButton Button,
                       fw::TShiftState Shift, int X, int Y)>;
using TLTHeaderMouseEvent = std::function<void(TLTHeader* Sender, fw::TMouseButton Button,
                                               fw::TShiftState Shift, int X, int Y)>;
using TLTHeaderMouseMoveEvent =
    std::function<void(TLTHeader* Sender, fw::TShiftState Shift, int X, int Y)>;
using TLTHeaderDraggingEvent =
    std::function<void(TLTHeader* Sender, TColumnIndex Column, bool& Allowed)>;
using TLTHeaderDraggedEvent =
    std::function<void(TLTHeader* Sender, TColumnIndex Column, int OldPosition)>;
using TLTHeaderDraggedOutEvent =
    std::function<void(TLTHeader* Sender, TColumnIndex Column, fw::TPoint DropPosition)>;
using TLTHeaderPaintEvent =
    std::function<void(TLTHeader* Sender, fw::TCanvas& HeaderCanvas, TLazyTreeColumn* Column,
                       const fw::TRect& R, bool Hover, bool Pressed, TLTDropMarkMode DropMark)>;
using TLTHeaderPaintQueryElementsEvent = std::function<void(
    TLTHeader* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements& Elements)>;
using TLTAdvancedHeaderPaintEvent = std::function<void(
    TLTHeader* Sender, THeaderPaintInfo& PaintInfo, THeaderPaintElements Elements)>;
using TLTGetHeaderCursorEvent = std::function<void(TLTHeader* Sender, fw::TCursor& Cursor)>;
using TLTColumnResizeEvent = std::function<void(TLTHeader* Sender, TColumnIndex Column)>;

class TLazyTreeColumn {
public:
    explicit TLazyTreeColumn(TLazyTreeColumns* Collection);
    virtual ~TLazyTreeColumn();
    TLazyTreeColumn(const TLazyTreeColumn&) = delete;
    TLazyTreeColumn& operator=(const TLazyTreeColumn&) = delete;

    TLazyTreeColumns* Collection() const { return FCollection; }
    TLTHeader* Header() const;
    TBaseLazyTree* Tree() const;
    // Place in the collection.
    int Index() const;
    virtual void SetIndex(int Value);

    const std::u16string& Text() const { return FText; }
    void SetText(const std::u16string& Value);
    const std::u16string& Hint() const { return FHint; }
    void SetHint(const std::u16string& Value);
    // The stored "WideText" and "WideHint": written only when not empty, read
    // from a UTF-16 or an 8-bit string value (each byte one character).
    bool WideTextStored() const { return !FText.empty(); }
    bool WideHintStored() const { return !FHint.empty(); }
    void ReadWideText(const std::u16string& Value) { SetText(Value); }
    void ReadWideText(std::string_view Value) { SetText(Widened(Value)); }
    void ReadWideHint(const std::u16string& Value) { SetHint(Value); }
    void ReadWideHint(std::string_view Value) { SetHint(Widened(Value)); }
    static std::u16string Widened(std::string_view Value) {
        std::u16string R;
        for (unsigned char C : Value)
            R += static_cast<char16_t>(C);
        return R;
    }
    int Left() const { return FLeft; }
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TColumnPosition Position() const { return FPosition; }
    void SetPosition(TColumnPosition Value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int Value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int Value);
    TLazyTreeColumnStyle Style() const { return FStyle; }
    void SetStyle(TLazyTreeColumnStyle Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode Value);
    TLTHeaderColumnLayout Layout() const { return FLayout; }
    void SetLayout(TLTHeaderColumnLayout Value);
    int Margin() const { return FMargin; }
    void SetMargin(int Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TLTColumnOptions Options() const { return FOptions; }
    void SetOptions(TLTColumnOptions Value);
    int Tag() const { return FTag; }
    void SetTag(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    int LastWidth() const { return FLastWidth; }
    fw::TColor Color() const { return FColor; }
    void SetColor(fw::TColor Value);
    float SpringRest() const { return FSpringRest; }
    void SetSpringRest(float Value) { FSpringRest = Value; }

    bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
    bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }

    virtual void Assign(const TLazyTreeColumn& Source);
    // The text, or "Column N" when the text holds a character above 255.
    virtual std::u16string GetDisplayName() const;
    virtual bool Equals(const TLazyTreeColumn& Other) const;
    virtual fw::TRect GetRect() const;
    int GetAbsoluteLeft() const;
    void RestoreLastWidth();
    void ParentBiDiModeChanged();
    void ParentColorChanged();

    // Places glyph, sort glyph and text inside Client (a step of the header painter).
    virtual void ComputeHeaderLayout(fw::TCanvas& Canvas, const fw::TRect& Client,
                                     bool UseHeaderGlyph, bool UseSortGlyph, fw::TPoint& GlyphPos,
                                     fw::TPoint& SortGlyphPos, fw::TRect& TextBounds) const;

    void LoadFromStream(TStream& Stream, int Version);
    void SaveToStream(TStream& Stream) const;

protected:
    friend class TLazyTreeColumns;
    void Changed(bool AllItems = false);

private:
    TLazyTreeColumns* FCollection;
    std::u16string FText;
    std::u16string FHint;
    int FLeft = 0;
    int FWidth = 50;
    TColumnPosition FPosition = 0;
    int FMinWidth = 10;
    int FMaxWidth = 10000;
    TLazyTreeColumnStyle FStyle = vsText;
    int FImageIndex = -1;
    TBiDiMode FBiDiMode = bdLeftToRight;
    TLTHeaderColumnLayout FLayout = blGlyphLeft;
    int FMargin = 4;
    int FSpacing = 4;
    TLTColumnOptions FOptions = DefaultColumnOptions;
    int FTag = 0;
    TAlignment FAlignment = taLeftJustify;
    int FLastWidth = 50;
    fw::TColor FColor;
    float FSpringRest = 0;
};

class TLazyTreeColumns {
public:
    explicit TLazyTreeColumns(TLTHeader* AOwner);
    virtual ~TLazyTreeColumns();
    TLazyTreeColumns(const TLazyTreeColumns&) = delete;
    TLazyTreeColumns& operator=(const TLazyTreeColumns&) = delete;

    TLTHeader* Header() const { return FHeader; }
    // A stream holding more columns is refused: the widths (10000 at most each)
    // of as many add up within 32 bits, with room.
    static constexpr int MaxColumns = 100000;
    int Count() const { return static_cast<int>(FItems.size()); }
    TLazyTreeColumn* Items(int Index) const;
    TLazyTreeColumn& operator[](int Index) const { return *Items(Index); }
    int IndexOf(const TLazyTreeColumn* Column) const;

    virtual TLazyTreeColumn* Add();
    virtual void Clear();
    // Frees the column at Index (keeps the position array and header indices right).
    void Delete(int Index);
    // Moves the item at Old to New in the collection.
    void Move(int Old, int New);

    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    // Column under P (client point of the header; Relative: P counts from the
    // scrolled origin); InvalidColumn when none.
    virtual TColumnIndex ColumnFromPosition(fw::TPoint P, bool Relative = true) const;
    // Column at a display position; NoColumn past the end.
    virtual TColumnIndex ColumnFromPosition(TColumnPosition Position) const;
    TColumnIndex GetColumnAndBounds(fw::TPoint P, int& ColumnLeft, int& ColumnRight,
                                    bool Relative = true) const;
    void GetColumnBounds(TColumnIndex Column, int& Left, int& Right) const;
    TColumnIndex GetFirstVisibleColumn() const;
    TColumnIndex GetLastVisibleColumn() const;
    TColumnIndex GetNextColumn(TColumnIndex Column) const;
    TColumnIndex GetNextVisibleColumn(TColumnIndex Column) const;
    TColumnIndex GetPreviousColumn(TColumnIndex Column) const;
    TColumnIndex GetPreviousVisibleColumn(TColumnIndex Column) const;
    std::vector<TLazyTreeColumn*> GetVisibleColumns() const;
    bool IsValidColumn(TColumnIndex Column) const { return Column >= 0 && Column < Count(); }
    int TotalWidth() const;
    bool Equals(const TLazyTreeColumns& Other) const;
    virtual void Assign(const TLazyTreeColumns& Source);
    void AnimatedResize(TColumnIndex Column, int NewWidth);
    void AdjustAutoSize(TColumnIndex CurrentIndex, bool Force = false);
    void UpdatePositions(bool Force = false);
    void FixPositions();
    void UpdateSpringColumns(int NewHeaderWidth);

    void LoadFromStream(TStream& Stream, int Version);
    void SaveToStream(TStream& Stream) const;

    virtual void PaintHeader(fw::TCanvas& Canvas, fw::TRect R, int HOffset);
    // Whether the application draws the header (plain or advanced owner draw).
    struct THeaderPaintMode {
        bool Advanced = false;
        bool OwnerDraw = false;
    };
    void PaintHeaderBackground(fw::TCanvas& B, const fw::TRect& Back,
                               const THeaderPaintMode& Mode);
    // One pass over the columns into the header bitmap; false when a draw
    // handler changed the columns meanwhile.
    bool PaintHeaderPass(fw::TCanvas& B, const fw::TRect& R, int HOffset,
                         const THeaderPaintMode& Mode);
    bool PaintStale() const { return FChangeStamp != FPaintStamp; }
    THeaderPaintInfo ColumnPaintInfo(fw::TCanvas& B, TLazyTreeColumn& C, const fw::TRect& Button,
                                     bool Last);
    void PaintColumnFace(fw::TCanvas& B, THeaderPaintInfo& Info, bool Custom);
    void PaintColumnContent(fw::TCanvas& B, THeaderPaintInfo& Info, const fw::TRect& Button,
                            THeaderPaintElements Custom);
    void DrawButtonText(fw::TCanvas& Canvas, const std::u16string& Caption, fw::TRect Bounds,
                        bool Enabled, bool Hot, unsigned DrawFormat);
    void DrawXPButton(fw::TCanvas& Canvas, fw::TRect R, bool DrawSplitter, bool Down, bool Hover);
    void HandleClick(fw::TPoint P, fw::TMouseButton Button, bool Force, bool DblClick);

    // The collection's change notification (Item null: general change).
    virtual void Update(TLazyTreeColumn* Item);
    // Moves on with every change of the columns' set, order, layout or main
    // column: a pass that holds what it took from them compares it after
    // calling a handler.
    std::uint32_t ChangeStamp() const { return FChangeStamp; }
    void NoteChange() { ++FChangeStamp; }

    // Position bookkeeping used by the columns.
    void MovePosition(TColumnIndex Column, TColumnPosition NewPosition);
    void IndexChanged(int Old, int New);
    void FixPositionArraySize();

    fw::TBitmap& HeaderBitmap() { return FHeaderBitmap; }
    TColumnIndex HoverIndex = NoColumn;
    TColumnIndex DownIndex = NoColumn;
    TColumnIndex TrackIndex = NoColumn;
    TColumnIndex ClickIndex = NoColumn;
    TIndexArray PositionToIndex;
    bool NeedPositionsFix = false;
    bool Clearing = false;
    TColumnIndex DragIndex = NoColumn;
    TColumnIndex DropTarget = NoColumn;
    bool DropBefore = false;

private:
    friend class TLazyTreeColumn;
    void Removing(TLazyTreeColumn* Column);

    TLTHeader* FHeader;
    fw::TBitmap FHeaderBitmap;
    std::vector<std::unique_ptr<TLazyTreeColumn>> FItems;
    int FUpdateCount = 0;
    std::uint32_t FChangeStamp = 0;
    std::uint32_t FPaintStamp = 0; // the stamp the header pass started from
};

class TLTHeader {
public:
    explicit TLTHeader(TBaseLazyTree* AOwner);
    virtual ~TLTHeader();
    TLTHeader(const TLTHeader&) = delete;
    TLTHeader& operator=(const TLTHeader&) = delete;

    TBaseLazyTree* Treeview() const { return FOwner; }
    TLazyTreeColumns& Columns() const { return *FColumns; }
    void SetColumns(const TLazyTreeColumns& Value) { FColumns->Assign(Value); }

    unsigned Height() const { return FHeight; }
    void SetHeight(unsigned Value);
    fw::TFont& Font() { return FFont; }
    void SetFont(const fw::TFont& Value);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TLTHeaderOptions Options() const { return FOptions; }
    void SetOptions(TLTHeaderOptions Value);
    TLTHeaderRunState States = 0;
    int TrackStart = 0;
    TLTHeaderStyle Style() const { return FStyle; }
    void SetStyle(TLTHeaderStyle Value);
    fw::TColor Background() const { return FBackground; }
    void SetBackground(fw::TColor Value);
    TColumnIndex AutoSizeIndex() const { return FAutoSizeIndex; }
    void SetAutoSizeIndex(TColumnIndex Value);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }
    TColumnIndex MainColumn() const;
    void SetMainColumn(TColumnIndex Value);
    fw::TImageList* Images() const { return FImages; }
    void SetImages(fw::TImageList* Value);
    TColumnIndex SortColumn() const { return FSortColumn; }
    void SetSortColumn(TColumnIndex Value);
    TSortDirection SortDirection() const { return FSortDirection; }
    void SetSortDirection(TSortDirection Value);
    fw::TPoint TrackPoint;
    fw::TPoint DragStart;
    TLTDragImage* DragImage() const { return FDragImage.get(); }
    int LastWidth = 0;

    bool Loading() const;
    virtual void Assign(const TLTHeader& Source);
    virtual bool CanWriteColumns() const { return true; }
    virtual void ChangeScale(int M, int D);
    // The class of the column collection; descendants answer their own.
    virtual std::unique_ptr<TLazyTreeColumns> GetColumnsClass();
    // Takes a collection of GetColumnsClass's class, the columns copied over
    // (once the header is fully made, when the query reaches descendants).
    void AdoptColumnsClass();
    virtual bool DetermineSplitterIndex(fw::TPoint P);
    virtual bool HandleMessage(fw::TMessage& Message);
    virtual void RecalculateHeader();
    virtual bool InHeader(fw::TPoint P) const;
    // The stream ends up just after the header; a failed read throws EReadError
    // and puts the stream back where the header began.
    virtual void LoadFromStream(TStream& Stream);

private:
    void ReadHeader(TStream& Stream);

public:
    virtual void SaveToStream(TStream& Stream) const;

    void Invalidate(TLazyTreeColumn* Column = nullptr, bool ExpandToBorder = false);
    static fw::TShiftState GetShiftState();
    void AutoFitColumns(bool Animated = true);
    void RestoreColumns();
    void PrepareDrag(fw::TPoint P, fw::TPoint Start);
    void DragTo(fw::TPoint P);
    // The tree's main-column field as stored, without the no-columns rule.
    TColumnIndex RawMainColumn() const { return FMainColumn; }
    // Index shifts when a column goes, and resets when all go (the collection calls these).
    void ColumnRemoved(TColumnIndex Index);
    void ColumnsCleared();

private:
    void HeaderTimerTick();
    void StopOwnerTimer(std::uintptr_t Id);
    // A running column drag or resize ends (capture, picture and drop mark go).
    void EndTracking();
    bool HandleButtonDown(fw::TMessage& Message);
    bool HandleMouseMove(fw::TMessage& Message);
    void TrackMouse(fw::TPoint P);
    bool HandleLeftButtonUp(fw::TMessage& Message);
    void DropColumn(fw::TPoint P);
    bool HandleOtherButtonUp(fw::TMessage& Message);
    bool HandleDoubleClick(fw::TMessage& Message);
    bool HandleSetCursor(fw::TMessage& Message);

    TBaseLazyTree* FOwner;
    std::unique_ptr<TLazyTreeColumns> FColumns;
    unsigned FHeight = 17;
    fw::TFont FFont;
    bool FParentFont = false;
    TLTHeaderOptions FOptions = hoColumnResize | hoDrag;
    TLTHeaderStyle FStyle = hsThickButtons;
    fw::TColor FBackground;
    TColumnIndex FAutoSizeIndex = 0;
    TPopupMenu* FPopupMenu = nullptr;
    TColumnIndex FMainColumn = NoColumn;
    fw::TImageList* FImages = nullptr;
    TColumnIndex FSortColumn = NoColumn;
    TSortDirection FSortDirection = sdAscending;
    std::unique_ptr<TLTDragImage> FDragImage;
};

// The cursor the header wants at P (control coordinates): crHeaderSplit over a
// splitter, crDefault elsewhere, after OnGetHeaderCursor had its say.
fw::TCursor HeaderCursorAt(TLTHeader& Header, fw::TPoint P);

} // namespace vel
