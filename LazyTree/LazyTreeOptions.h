// Option sets, scroll-bar settings and colours of a lazy tree.
#pragma once

#include "Canvas.h"
#include "Controls.h"
#include "Graphics.h"
#include "Menus.h"
#include "Messages.h"
#include "Streams.h"
#include "Types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vel {

class TBaseLazyTree;

// The class library's types, by their short names.
using fw::EReadError;
using fw::EStreamError;
using fw::TAlignment;
using fw::TBiDiMode;
using fw::TFileStream;
using fw::TMemoryStream;
using fw::TPopupMenu;
using fw::TScrollStyle;
using fw::TStream;
using enum fw::TAlignment;
using enum fw::TBiDiMode;

// Each option set is a bit set; the constants are its elements.
using TLTPaintOptions = std::uint32_t;
constexpr TLTPaintOptions toHideFocusRect = 1u << 0;
constexpr TLTPaintOptions toHideSelection = 1u << 1;
constexpr TLTPaintOptions toHotTrack = 1u << 2;
constexpr TLTPaintOptions toPopupMode = 1u << 3;
constexpr TLTPaintOptions toShowBackground = 1u << 4;
constexpr TLTPaintOptions toShowButtons = 1u << 5;
constexpr TLTPaintOptions toShowDropmark = 1u << 6;
constexpr TLTPaintOptions toShowHorzGridLines = 1u << 7;
constexpr TLTPaintOptions toShowRoot = 1u << 8;
constexpr TLTPaintOptions toShowTreeLines = 1u << 9;
constexpr TLTPaintOptions toShowVertGridLines = 1u << 10;
constexpr TLTPaintOptions toThemeAware = 1u << 11;
constexpr TLTPaintOptions toUseBlendedImages = 1u << 12;
constexpr TLTPaintOptions toGhostedIfUnfocused = 1u << 13;
constexpr TLTPaintOptions toFullVertGridLines = 1u << 14;
constexpr TLTPaintOptions toAlwaysHideSelection = 1u << 15;
constexpr TLTPaintOptions toUseBlendedSelection = 1u << 16;
constexpr TLTPaintOptions DefaultPaintOptions = toShowButtons | toShowDropmark | toShowRoot |
                                                toShowTreeLines | toThemeAware | toUseBlendedImages;

using TLTAnimationOptions = std::uint32_t;
constexpr TLTAnimationOptions toAnimatedToggle = 1u << 0;

using TLTAutoOptions = std::uint32_t;
constexpr TLTAutoOptions toAutoDropExpand = 1u << 0;
constexpr TLTAutoOptions toAutoExpand = 1u << 1;
constexpr TLTAutoOptions toAutoScroll = 1u << 2;
constexpr TLTAutoOptions toAutoScrollOnExpand = 1u << 3;
constexpr TLTAutoOptions toAutoSort = 1u << 4;
constexpr TLTAutoOptions toAutoSpanColumns = 1u << 5;
constexpr TLTAutoOptions toAutoTristateTracking = 1u << 6;
constexpr TLTAutoOptions toAutoHideButtons = 1u << 7;
constexpr TLTAutoOptions toAutoDeleteMovedNodes = 1u << 8;
constexpr TLTAutoOptions toDisableAutoscrollOnFocus = 1u << 9;
constexpr TLTAutoOptions toAutoChangeScale = 1u << 10;
constexpr TLTAutoOptions toAutoFreeOnCollapse = 1u << 11;
constexpr TLTAutoOptions DefaultAutoOptions =
    toAutoDropExpand | toAutoScrollOnExpand | toAutoTristateTracking | toAutoDeleteMovedNodes;

using TLTSelectionOptions = std::uint32_t;
constexpr TLTSelectionOptions toDisableDrawSelection = 1u << 0;
constexpr TLTSelectionOptions toExtendedFocus = 1u << 1;
constexpr TLTSelectionOptions toFullRowSelect = 1u << 2;
constexpr TLTSelectionOptions toLevelSelectConstraint = 1u << 3;
constexpr TLTSelectionOptions toMiddleClickSelect = 1u << 4;
constexpr TLTSelectionOptions toMultiSelect = 1u << 5;
constexpr TLTSelectionOptions toRightClickSelect = 1u << 6;
constexpr TLTSelectionOptions toSiblingSelectConstraint = 1u << 7;
constexpr TLTSelectionOptions toCenterScrollIntoView = 1u << 8;
constexpr TLTSelectionOptions toSimpleDrawSelection = 1u << 9;

using TLTMiscOptions = std::uint32_t;
constexpr TLTMiscOptions toAcceptOLEDrop = 1u << 0;
constexpr TLTMiscOptions toCheckSupport = 1u << 1;
constexpr TLTMiscOptions toEditable = 1u << 2;
constexpr TLTMiscOptions toFullRepaintOnResize = 1u << 3;
constexpr TLTMiscOptions toGridExtensions = 1u << 4;
constexpr TLTMiscOptions toInitOnSave = 1u << 5;
constexpr TLTMiscOptions toReportMode = 1u << 6;
constexpr TLTMiscOptions toToggleOnDblClick = 1u << 7;
constexpr TLTMiscOptions toWheelPanning = 1u << 8;
constexpr TLTMiscOptions toReadOnly = 1u << 9;
constexpr TLTMiscOptions toVariableNodeHeight = 1u << 10;
constexpr TLTMiscOptions toFullRowDrag = 1u << 11;
constexpr TLTMiscOptions DefaultMiscOptions =
    toAcceptOLEDrop | toFullRepaintOnResize | toInitOnSave | toToggleOnDblClick | toWheelPanning;

using TLTStringOptions = std::uint32_t;
constexpr TLTStringOptions toSaveCaptions = 1u << 0;
constexpr TLTStringOptions toShowStaticText = 1u << 1;
constexpr TLTStringOptions toAutoAcceptEditChange = 1u << 2;
constexpr TLTStringOptions DefaultStringOptions = toSaveCaptions | toAutoAcceptEditChange;

class TCustomLazyTreeOptions {
public:
    explicit TCustomLazyTreeOptions(TBaseLazyTree* AOwner) : FOwner(AOwner) {}
    virtual ~TCustomLazyTreeOptions() = default;

    TBaseLazyTree* Owner() const { return FOwner; }

    TLTPaintOptions PaintOptions() const { return FPaintOptions; }
    void SetPaintOptions(TLTPaintOptions Value);
    TLTAnimationOptions AnimationOptions() const { return FAnimationOptions; }
    void SetAnimationOptions(TLTAnimationOptions Value) { FAnimationOptions = Value; }
    TLTAutoOptions AutoOptions() const { return FAutoOptions; }
    void SetAutoOptions(TLTAutoOptions Value);
    TLTSelectionOptions SelectionOptions() const { return FSelectionOptions; }
    void SetSelectionOptions(TLTSelectionOptions Value);
    TLTMiscOptions MiscOptions() const { return FMiscOptions; }
    void SetMiscOptions(TLTMiscOptions Value);

    // Copies the five sets into Dest through its setters, paint options first.
    virtual void AssignTo(TCustomLazyTreeOptions& Dest) const;

protected:
    // The tree's window exists and the tree is not being loaded.
    bool Live() const;

private:
    TBaseLazyTree* FOwner;
    TLTPaintOptions FPaintOptions = DefaultPaintOptions;
    TLTAnimationOptions FAnimationOptions = 0;
    TLTAutoOptions FAutoOptions = DefaultAutoOptions;
    TLTSelectionOptions FSelectionOptions = 0;
    TLTMiscOptions FMiscOptions = DefaultMiscOptions;
};

class TCustomStringTreeOptions : public TCustomLazyTreeOptions {
public:
    using TCustomLazyTreeOptions::TCustomLazyTreeOptions;
    TLTStringOptions StringOptions() const { return FStringOptions; }
    void SetStringOptions(TLTStringOptions Value);
    void AssignTo(TCustomLazyTreeOptions& Dest) const override;

private:
    TLTStringOptions FStringOptions = DefaultStringOptions;
};
using TStringTreeOptions = TCustomStringTreeOptions;

enum class TScrollBarStyle : std::uint8_t { sbmRegular, sbmFlat, sbm3D };
using TLTScrollIncrement = std::uint16_t;

// A setting the tree refuses, with the text it reports.
class ELazyTreeAssertion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class TScrollBarOptions {
public:
    explicit TScrollBarOptions(TBaseLazyTree* AOwner) : FOwner(AOwner) {}

    TBaseLazyTree* Owner() const { return FOwner; }

    bool AlwaysVisible() const { return FAlwaysVisible; }
    void SetAlwaysVisible(bool Value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    TScrollBarStyle ScrollBarStyle() const { return FScrollBarStyle; }
    // Only sbmRegular is accepted; the others throw ELazyTreeAssertion.
    void SetScrollBarStyle(TScrollBarStyle Value);
    TLTScrollIncrement HorizontalIncrement() const { return FHorizontalIncrement; }
    void SetHorizontalIncrement(TLTScrollIncrement Value) { FHorizontalIncrement = Value; }
    TLTScrollIncrement VerticalIncrement() const { return FVerticalIncrement; }
    void SetVerticalIncrement(TLTScrollIncrement Value) { FVerticalIncrement = Value; }

    void Assign(const TScrollBarOptions& Source);

private:
    bool FAlwaysVisible = false;
    TBaseLazyTree* FOwner;
    TScrollStyle FScrollBars = TScrollStyle::ssBoth;
    TScrollBarStyle FScrollBarStyle = TScrollBarStyle::sbmRegular;
    TLTScrollIncrement FHorizontalIncrement = 20;
    TLTScrollIncrement FVerticalIncrement = 20;
};

// Indexes of TLTColors' array.
enum TLTColorIndex : int {
    ciDisabledColor,
    ciDropMarkColor,
    ciDropTargetColor,
    ciFocusedSelectionColor,
    ciGridLineColor,
    ciTreeLineColor,
    ciUnfocusedSelectionColor,
    ciBorderColor,
    ciHotColor,
    ciFocusedSelectionBorderColor,
    ciUnfocusedSelectionBorderColor,
    ciDropTargetBorderColor,
    ciSelectionRectangleBlendColor,
    ciSelectionRectangleBorderColor,
    ciHeaderHotColor,
    ciColorCount
};

class TLTColors {
public:
    explicit TLTColors(TBaseLazyTree* AOwner);

    TBaseLazyTree* Owner() const { return FOwner; }

    fw::TColor Color(int Index) const { return FColors.at(static_cast<std::size_t>(Index)); }
    void SetColor(int Index, fw::TColor Value);

    fw::TColor DisabledColor() const { return Color(ciDisabledColor); }
    void SetDisabledColor(fw::TColor V) { SetColor(ciDisabledColor, V); }
    fw::TColor DropMarkColor() const { return Color(ciDropMarkColor); }
    void SetDropMarkColor(fw::TColor V) { SetColor(ciDropMarkColor, V); }
    fw::TColor DropTargetColor() const { return Color(ciDropTargetColor); }
    void SetDropTargetColor(fw::TColor V) { SetColor(ciDropTargetColor, V); }
    fw::TColor FocusedSelectionColor() const { return Color(ciFocusedSelectionColor); }
    void SetFocusedSelectionColor(fw::TColor V) { SetColor(ciFocusedSelectionColor, V); }
    fw::TColor GridLineColor() const { return Color(ciGridLineColor); }
    void SetGridLineColor(fw::TColor V) { SetColor(ciGridLineColor, V); }
    fw::TColor TreeLineColor() const { return Color(ciTreeLineColor); }
    void SetTreeLineColor(fw::TColor V) { SetColor(ciTreeLineColor, V); }
    fw::TColor UnfocusedSelectionColor() const { return Color(ciUnfocusedSelectionColor); }
    void SetUnfocusedSelectionColor(fw::TColor V) { SetColor(ciUnfocusedSelectionColor, V); }
    fw::TColor BorderColor() const { return Color(ciBorderColor); }
    void SetBorderColor(fw::TColor V) { SetColor(ciBorderColor, V); }
    fw::TColor HotColor() const { return Color(ciHotColor); }
    void SetHotColor(fw::TColor V) { SetColor(ciHotColor, V); }
    fw::TColor FocusedSelectionBorderColor() const { return Color(ciFocusedSelectionBorderColor); }
    void SetFocusedSelectionBorderColor(fw::TColor V) {
        SetColor(ciFocusedSelectionBorderColor, V);
    }
    fw::TColor UnfocusedSelectionBorderColor() const {
        return Color(ciUnfocusedSelectionBorderColor);
    }
    void SetUnfocusedSelectionBorderColor(fw::TColor V) {
        SetColor(ciUnfocusedSelectionBorderColor, V);
    }
    fw::TColor DropTargetBorderColor() const { return Color(ciDropTargetBorderColor); }
    void SetDropTargetBorderColor(fw::TColor V) { SetColor(ciDropTargetBorderColor, V); }
    fw::TColor SelectionRectangleBlendColor() const {
        return Color(ciSelectionRectangleBlendColor);
    }
    void SetSelectionRectangleBlendColor(fw::TColor V) {
        SetColor(ciSelectionRectangleBlendColor, V);
    }
    fw::TColor SelectionRectangleBorderColor() const {
        return Color(ciSelectionRectangleBorderColor);
    }
    void SetSelectionRectangleBorderColor(fw::TColor V) {
        SetColor(ciSelectionRectangleBorderColor, V);
    }
    fw::TColor HeaderHotColor() const { return Color(ciHeaderHotColor); }
    void SetHeaderHotColor(fw::TColor V) { SetColor(ciHeaderHotColor, V); }

    void Assign(const TLTColors& Source);

private:
    TBaseLazyTree* FOwner;
    std::array<fw::TColor, ciColorCount> FColors;
};

// In-row hit positions (bits of THitInfo::HitPositions) found by the row test.
constexpr std::uint16_t hpOnItemButton = 1u << 4;
constexpr std::uint16_t hpOnItemCheckbox = 1u << 5;
constexpr std::uint16_t hpOnItemIndent = 1u << 6;
constexpr std::uint16_t hpOnItemLabel = 1u << 7;
constexpr std::uint16_t hpOnItemLeft = 1u << 8;
constexpr std::uint16_t hpOnItemRight = 1u << 9;
constexpr std::uint16_t hpOnNormalIcon = 1u << 10;
constexpr std::uint16_t hpOnStateIcon = 1u << 11;

// Paint options of one PaintTree pass.
using TLTInternalPaintOptions = std::uint8_t;
constexpr TLTInternalPaintOptions ipBackground = 1u << 0;
constexpr TLTInternalPaintOptions ipColumnColor = 1u << 1;
constexpr TLTInternalPaintOptions ipDrawFocusRect = 1u << 2;
constexpr TLTInternalPaintOptions ipDrawSelection = 1u << 3;
constexpr TLTInternalPaintOptions ipDrawDropMark = 1u << 4;
constexpr TLTInternalPaintOptions ipGridLines = 1u << 5;
constexpr TLTInternalPaintOptions ipMainOnly = 1u << 6;
constexpr TLTInternalPaintOptions ipSelectedOnly = 1u << 7;

enum class TLTLineType : std::uint8_t {
    ltNone,
    ltBottomRight,
    ltTopDown,
    ltTopDownRight,
    ltRight,
    ltTopRight,
    ltLeft,
    ltLeftBottom
};
using enum TLTLineType;
using TLineImage = std::vector<TLTLineType>;

struct TLazyNode;

// What the element painters get for one cell of one row.
struct TLTPaintInfo {
    fw::TCanvas* Canvas = nullptr;
    TLTInternalPaintOptions PaintOptions = 0;
    TLazyNode* Node = nullptr;
    int Column = -1;
    unsigned Position = 0;
    fw::TRect CellRect;    // in the row bitmap
    fw::TRect ContentRect; // the cell less the margin and the tree part
    int NodeWidth = 0;
    TAlignment Alignment = TAlignment::taLeftJustify;
    TBiDiMode BidiMode = TBiDiMode::bdLeftToRight;
    int VAlign = 0; // centre of images and button from the row's top
};

// An editor over one cell. The tree holds the current link while it edits.
class ILTEditLink {
public:
    virtual ~ILTEditLink() = default;
    virtual bool BeginEdit() = 0;
    virtual bool CancelEdit() = 0;
    virtual bool EndEdit() = 0;
    virtual bool PrepareEdit(TBaseLazyTree* Tree, void* Node, int Column) = 0;
    virtual fw::TRect GetBounds() const = 0;
    virtual void ProcessMessage(fw::TMessage& Message) = 0;
    virtual void SetBounds(fw::TRect R) = 0;
};

} // namespace vel
