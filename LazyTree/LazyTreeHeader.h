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
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {

class TBaseLazyTree;
class TLTHeader;
class TLTStream;
class TLazyTreeColumns;
class TLazyTreeColumn;

using TColumnIndex = int;
using TColumnPosition = std::uint32_t;
constexpr TColumnIndex NoColumn = -1;
constexpr TColumnIndex InvalidColumn = -2;

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
constexpr TLTColumnOptions DefaultColumnOptions = 0xFF;

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

// Raised when a stream ends early or holds impossible values.
class EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Little-endian byte output for the header stream.
class TLTWriter {
public:
    explicit TLTWriter(std::vector<std::uint8_t>& Out) : Out_(Out) {}
    void WriteInt(std::int32_t V);
    void WriteBytes(const void* Data, std::size_t Size);
    std::vector<std::uint8_t>& Data() { return Out_; }

private:
    std::vector<std::uint8_t>& Out_;
};

// Reads what TLTWriter wrote; every read checks the remaining length.
class TLTReader {
public:
    explicit TLTReader(std::span<const std::uint8_t> Data) : Data_(Data) {}
    std::int32_t ReadInt();
    void ReadBytes(void* Dest, std::size_t Size);
    std::size_t Position() const { return Pos_; }
    void Seek(std::size_t Position);
    std::size_t Remaining() const { return Data_.size() - Pos_; }

private:
    std::span<const std::uint8_t> Data_;
    std::size_t Pos_ = 0;
};

class TLazyTreeColumn {
public:
    explicit TLazyTreeColumn(TLazyTreeColumns* Collection);
    virtual ~TLazyTreeColumn();
    TLazyTreeColumn(const TLazyTreeColumn&) = delete;
    TLazyTreeColumn& operator=(const TLazyTreeColumn&) = delete;

    TLazyTreeColumns* Collection() const { return Collection_; }
    TLTHeader* Header() const;
    TBaseLazyTree* Tree() const;
    // Place in the collection.
    int Index() const;
    virtual void SetIndex(int Value);

    const std::u16string& Text() const { return Text_; }
    void SetText(const std::u16string& Value);
    const std::u16string& Hint() const { return Hint_; }
    void SetHint(const std::u16string& Value);
    int Left() const { return Left_; }
    int Width() const { return Width_; }
    void SetWidth(int Value);
    TColumnPosition Position() const { return Position_; }
    void SetPosition(TColumnPosition Value);
    int MinWidth() const { return MinWidth_; }
    void SetMinWidth(int Value);
    int MaxWidth() const { return MaxWidth_; }
    void SetMaxWidth(int Value);
    TLazyTreeColumnStyle Style() const { return Style_; }
    void SetStyle(TLazyTreeColumnStyle Value);
    int ImageIndex() const { return ImageIndex_; }
    void SetImageIndex(int Value);
    TBiDiMode BiDiMode() const { return BiDiMode_; }
    void SetBiDiMode(TBiDiMode Value);
    TLTHeaderColumnLayout Layout() const { return Layout_; }
    void SetLayout(TLTHeaderColumnLayout Value);
    int Margin() const { return Margin_; }
    void SetMargin(int Value);
    int Spacing() const { return Spacing_; }
    void SetSpacing(int Value);
    TLTColumnOptions Options() const { return Options_; }
    void SetOptions(TLTColumnOptions Value);
    int Tag() const { return Tag_; }
    void SetTag(int Value);
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value);
    int LastWidth() const { return LastWidth_; }
    fw::TColor Color() const { return Color_; }
    void SetColor(fw::TColor Value);
    float SpringRest() const { return SpringRest_; }
    void SetSpringRest(float Value) { SpringRest_ = Value; }

    bool UseRightToLeftReading() const { return BiDiMode_ != bdLeftToRight; }
    bool UseRightToLeftAlignment() const { return BiDiMode_ == bdRightToLeft; }

    virtual void Assign(const TLazyTreeColumn& Source);
    // The text, or "Column N" when the text holds a character above 255.
    virtual std::u16string GetDisplayName() const;
    virtual bool Equals(const TLazyTreeColumn& Other) const;
    virtual fw::TRect GetRect() const;
    int GetAbsoluteLeft() const;
    void RestoreLastWidth();
    void ParentBiDiModeChanged();
    void ParentColorChanged();

    // Places glyph, sort glyph and text inside Client (Part of the header painter).
    virtual void ComputeHeaderLayout(fw::TCanvas& Canvas, const fw::TRect& Client,
                                     bool UseHeaderGlyph, bool UseSortGlyph, fw::TPoint& GlyphPos,
                                     fw::TPoint& SortGlyphPos, fw::TRect& TextBounds) const;

    void LoadFromStream(TLTReader& Stream, int Version);
    void SaveToStream(TLTWriter& Stream) const;

protected:
    friend class TLazyTreeColumns;
    void Changed(bool AllItems = false);

private:
    TLazyTreeColumns* Collection_;
    std::u16string Text_;
    std::u16string Hint_;
    int Left_ = 0;
    int Width_ = 50;
    TColumnPosition Position_ = 0;
    int MinWidth_ = 10;
    int MaxWidth_ = 10000;
    TLazyTreeColumnStyle Style_ = vsText;
    int ImageIndex_ = -1;
    TBiDiMode BiDiMode_ = bdLeftToRight;
    TLTHeaderColumnLayout Layout_ = blGlyphLeft;
    int Margin_ = 4;
    int Spacing_ = 4;
    TLTColumnOptions Options_ = DefaultColumnOptions;
    int Tag_ = 0;
    TAlignment Alignment_ = taLeftJustify;
    int LastWidth_ = 50;
    fw::TColor Color_;
    float SpringRest_ = 0;
};

class TLazyTreeColumns {
public:
    explicit TLazyTreeColumns(TLTHeader* AOwner);
    virtual ~TLazyTreeColumns();
    TLazyTreeColumns(const TLazyTreeColumns&) = delete;
    TLazyTreeColumns& operator=(const TLazyTreeColumns&) = delete;

    TLTHeader* Header() const { return Header_; }
    int Count() const { return static_cast<int>(Items_.size()); }
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
    bool Updating() const { return UpdateCount_ > 0; }

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

    void LoadFromStream(TLTReader& Stream, int Version);
    void SaveToStream(TLTWriter& Stream) const;

    virtual void PaintHeader(fw::TCanvas& Canvas, fw::TRect R, int HOffset);
    void DrawButtonText(fw::TCanvas& Canvas, const std::u16string& Caption, fw::TRect Bounds,
                        bool Enabled, bool Hot, unsigned DrawFormat);
    void DrawXPButton(fw::TCanvas& Canvas, fw::TRect R, bool DrawSplitter, bool Down, bool Hover);
    void HandleClick(fw::TPoint P, fw::TMouseButton Button, bool Force, bool DblClick);

    // The collection's change notification (Item null: general change).
    virtual void Update(TLazyTreeColumn* Item);

    // Position bookkeeping used by the columns.
    void MovePosition(TColumnIndex Column, TColumnPosition NewPosition);
    void IndexChanged(int Old, int New);
    void FixPositionArraySize();

    fw::TBitmap& HeaderBitmap() { return HeaderBitmap_; }
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

    TLTHeader* Header_;
    fw::TBitmap HeaderBitmap_;
    std::vector<std::unique_ptr<TLazyTreeColumn>> Items_;
    int UpdateCount_ = 0;
};

class TLTHeader {
public:
    explicit TLTHeader(TBaseLazyTree* AOwner);
    virtual ~TLTHeader();
    TLTHeader(const TLTHeader&) = delete;
    TLTHeader& operator=(const TLTHeader&) = delete;

    TBaseLazyTree* Treeview() const { return Owner_; }
    TLazyTreeColumns& Columns() const { return *Columns_; }
    void SetColumns(const TLazyTreeColumns& Value) { Columns_->Assign(Value); }

    unsigned Height() const { return Height_; }
    void SetHeight(unsigned Value);
    fw::TFont& Font() { return Font_; }
    void SetFont(const fw::TFont& Value);
    bool ParentFont() const { return ParentFont_; }
    void SetParentFont(bool Value);
    TLTHeaderOptions Options() const { return Options_; }
    void SetOptions(TLTHeaderOptions Value);
    TLTHeaderRunState States = 0;
    int TrackStart = 0;
    TLTHeaderStyle Style() const { return Style_; }
    void SetStyle(TLTHeaderStyle Value);
    fw::TColor Background() const { return Background_; }
    void SetBackground(fw::TColor Value);
    TColumnIndex AutoSizeIndex() const { return AutoSizeIndex_; }
    void SetAutoSizeIndex(TColumnIndex Value);
    TPopupMenu* PopupMenu() const { return PopupMenu_; }
    void SetPopupMenu(TPopupMenu* Value) { PopupMenu_ = Value; }
    TColumnIndex MainColumn() const;
    void SetMainColumn(TColumnIndex Value);
    fw::TImageList* Images() const { return Images_; }
    void SetImages(fw::TImageList* Value);
    TColumnIndex SortColumn() const { return SortColumn_; }
    void SetSortColumn(TColumnIndex Value);
    TSortDirection SortDirection() const { return SortDirection_; }
    void SetSortDirection(TSortDirection Value);
    fw::TPoint TrackPoint;
    fw::TPoint DragStart;
    TLTDragImage* DragImage() const { return DragImage_.get(); }
    int LastWidth = 0;

    bool Loading() const;
    virtual void Assign(const TLTHeader& Source);
    virtual bool CanWriteColumns() const { return true; }
    virtual void ChangeScale(int M, int D);
    virtual bool DetermineSplitterIndex(fw::TPoint P);
    virtual bool HandleMessage(fw::TMessage& Message);
    virtual void RecalculateHeader();
    virtual bool InHeader(fw::TPoint P) const;
    virtual void LoadFromStream(TLTReader& Stream);
    virtual void SaveToStream(TLTWriter& Stream) const;
    // The same on the tree's byte streams; the stream ends up just after the header.
    void LoadFromStream(TLTStream& Stream);
    void SaveToStream(TLTStream& Stream) const;

    void Invalidate(TLazyTreeColumn* Column = nullptr, bool ExpandToBorder = false);
    static fw::TShiftState GetShiftState();
    void AutoFitColumns(bool Animated = true);
    void RestoreColumns();
    void PrepareDrag(fw::TPoint P, fw::TPoint Start);
    void DragTo(fw::TPoint P);
    // The tree's main-column field as stored, without the no-columns rule.
    TColumnIndex RawMainColumn() const { return MainColumn_; }
    // Index shifts when a column goes, and resets when all go (the collection calls these).
    void ColumnRemoved(TColumnIndex Index);
    void ColumnsCleared();

private:
    void HeaderTimerTick();

    TBaseLazyTree* Owner_;
    std::unique_ptr<TLazyTreeColumns> Columns_;
    unsigned Height_ = 17;
    fw::TFont Font_;
    bool ParentFont_ = false;
    TLTHeaderOptions Options_ = hoColumnResize | hoDrag;
    TLTHeaderStyle Style_ = hsThickButtons;
    fw::TColor Background_;
    TColumnIndex AutoSizeIndex_ = 0;
    TPopupMenu* PopupMenu_ = nullptr;
    TColumnIndex MainColumn_ = NoColumn;
    fw::TImageList* Images_ = nullptr;
    TColumnIndex SortColumn_ = NoColumn;
    TSortDirection SortDirection_ = sdAscending;
    std::unique_ptr<TLTDragImage> DragImage_;
};

// The cursor the header wants at P (control coordinates): crHeaderSplit over a
// splitter, crDefault elsewhere, after OnGetHeaderCursor had its say.
fw::TCursor HeaderCursorAt(TLTHeader& Header, fw::TPoint P);

} // namespace vel
