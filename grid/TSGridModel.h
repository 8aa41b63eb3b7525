#pragma once
// Columns, rows and cells of the data grid and their layered properties: a
// cell's own value, else its column's and row's (row first when rows draw on
// top), else the grid's. "Default" values and clNone mean "not set here".
//
// Here: the enumerations, the link interface TtsGridLink (through which the
// model, TtsGridModel in TSGridData.h, asks the engine's window half for
// repaints and current-cell upkeep; without a link the model works alone),
// and the column, row and cell objects that read through to it.
#include "Graphics.h"
#include "TSCommon.h"
#include "TSGLib.h"
#include "TSSetLib.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vel {

class TtsGridModel;
} // namespace vel
namespace fw {
class TComponent;
}
namespace vel {

// Combo settings (TSCombo.h): held by columns, rows, cells and the grid, made
// only by the grid engine's combo factory.
class TtsCombo;
struct TtsComboDeleter {
    void operator()(TtsCombo* combo) const;
};
using TtsComboPtr = std::unique_ptr<TtsCombo, TtsComboDeleter>;
// The combo as a property value (an object reference), or null.
fw::TObject* ComboObject(TtsCombo* combo);
TtsCombo* ComboOfVariant(const TtsVariant& v);

// --- Enumerations ----------------------------------------------------------------

enum TtsControlType : std::uint8_t { ctNone = 0, ctText, ctCheck, ctPicture, ctDefault = 4 };
enum TtsButtonType : std::uint8_t {
    btCombo = 0,
    btNormal,
    btNone,
    btDefault = 3,
    btVertSpin,
    btHorzSpin,
    btDateTimeDropDown = 6,
    btDateTimePopup = 7,
};
// The in-cell control's unit names the same type.
using TtsWordWrap = std::uint8_t;
constexpr TtsWordWrap wwOn = 0;
constexpr TtsWordWrap wwOff = 1;
constexpr TtsWordWrap wwDefault = 2;
enum TtsReadOnly : std::uint8_t { roOn = 0, roOff, roDefault = 2 };
enum TtsDrawOption : std::uint8_t { dopOn = 0, dopOff, dopDefault = 2 };
enum TtsDropDownStyle : std::uint8_t { ddDropDown = 0, ddDropDownList };
enum TtsColHeadingButton : std::uint8_t { cbCell = 0, cbButton, cbGrid = 2, cbNone };
enum TtsSortPicture : std::uint8_t { spUp = 0, spDown, spBullet, spNone = 3 };
enum TtsDrawOverlap : std::uint8_t { doDrawColOnTop = 0, doDrawRowOnTop };

using TtsSpinOptions = std::uint8_t;
constexpr TtsSpinOptions spoAutoRepeat = 1;
constexpr TtsSpinOptions spoAutoIncrement = 2;
constexpr TtsSpinOptions spoKeyEdit = 4;
constexpr TtsSpinOptions spoAll = 7;

// The widest column and the highest row in pixels: widths, heights, their defaults,
// the row bar and the heading row are held in 0..MaxLineExtent, and a stored layout
// may ask for as much.
constexpr int MaxLineExtent = 32767;

// The colour that means "not set at this level".
constexpr fw::TColor clNoneTs = 0x1FFFFFFF;

// Property numbers; also the bit numbers of a kind set.
enum TtsPropertyId : std::uint8_t {
    prColor = 0,
    prFont = 1,
    prDisplayPos = 2,
    prColWidth = 3,
    prRowHeight = 4,
    prReadOnly = 5,
    prAlignFlag = 6,
    prAlignment = 7,
    pr3D = 8,
    prColSelected = 9,
    prVisible = 10,
    prRowSelected = 11,
    prHeadingButton = 12,
    prSortPicture = 13,
    prMaxLength = 14,
    prWordWrap = 15,
    prButtonType = 16,
    prDropDownStyle = 17,
    prCellReadOnly = 18,
    prParentFont = 20,
    prMaskName = 21,
    prCombo = 22,
    prParentCombo = 23,
    prPictureOption = 24, // sub-index 1 stretch, 2 shrink, 3 center, 4 keep aspect
    prControlType = 25,
    prSpinOptions = 26,
    prSpinIncrement = 27,
    prHorzAlignment = 28,
    prVertAlignment = 29,
    prDateTimeDef = 30,
    prItemInteger = 31,
    prItemObject = 32,
};

// A set of property numbers 0..32, stored as 5 bytes.
using TtsKindSet = std::uint64_t;
constexpr TtsKindSet AllKinds = (TtsKindSet{1} << 33) - 1;
constexpr TtsKindSet Kind(int id) {
    return TtsKindSet{1} << id;
}
constexpr bool HasKind(TtsKindSet s, int id) {
    return (s >> id) & 1;
}
std::array<std::uint8_t, 5> KindSetBytes(TtsKindSet s);
TtsKindSet KindSetFromBytes(const std::uint8_t* p, std::size_t n);

// Parts of a layout.
using TtsPropKinds = std::uint8_t;
constexpr TtsPropKinds pkGrid = 1;
constexpr TtsPropKinds pkCols = 2;
constexpr TtsPropKinds pkRows = 4;
constexpr TtsPropKinds pkCells = 8;

// Default value of a property number (sub-index for the picture options).
TtsVariant DefaultPropertyValue(int id, int sub);

// Legacy alignment pair <-> horizontal alignment.
TtsHorzAlignment HorzOfLegacy(std::uint8_t alignment, bool flag);
void LegacyOfHorz(TtsHorzAlignment h, std::uint8_t& alignment, bool& flag);

// --- The engine's window half --------------------------------------------------------

class TtsGridLink {
public:
    virtual ~TtsGridLink() = default;
    // The name the grid's errors carry.
    virtual std::string GridName() const { return {}; }
    // No-paint flag of the engine.
    virtual bool IsPaintLocked() const { return false; }
    virtual bool IsReading() const { return false; }
    virtual bool IsWriting() const { return false; }
    virtual bool InvalidateCol(int /*displayCol*/) { return false; }
    virtual bool InvalidateRow(int /*displayRow*/) { return false; }
    virtual bool InvalidateDisplayCell(int /*displayCol*/, int /*displayRow*/) { return false; }
    virtual int CurrentDisplayCol() const { return -1; }
    virtual int CurrentDisplayRow() const { return -1; }
    virtual void UpdateCellControl(bool /*flag*/) {}
    virtual void CloseCellControl(bool /*flag*/) {}
    virtual void ReopenCellControl(bool /*flag*/) {}
    virtual bool CanLeaveCell() { return true; }
    virtual void ControlTypeChanged(int /*dataCol*/, int /*dataRow*/) {}
    virtual void MaxLengthChanged(int /*displayCol*/, int /*length*/) {}
    virtual void MaskChanged(int /*dataCol*/, int /*dataRow*/) {}
    // The current column's check-box values or grayed flag changed.
    virtual void ReloadCheckBoxValues() {}
    virtual void ReloadCurrentValue() {}
    // Line sizes by display index. A link that keeps them (the engine, in its base
    // grid) is their only store; otherwise the model keeps its own.
    virtual bool KeepsLineSizes() const { return false; }
    virtual int LineSizeAt(bool /*rows*/, int /*display*/) const { return 0; }
    // Whether the size changed; the row variant may leave the re-layout for later.
    virtual bool SetColWidthAt(int /*displayCol*/, int /*pixels*/) { return false; }
    virtual bool SetRowHeightAt(int /*displayRow*/, int /*pixels*/, bool /*relayout*/) {
        return false;
    }
    // After a new default size, once its lines took it (while held: the link lays
    // the grid out once, here, not once a line).
    virtual void DefaultSizeChanged(bool /*rows*/) {}
    virtual void HoldLineSizes(int /*delta*/) {}
    // After the model's column or row count changed; `removed` lists, ascending, the
    // display positions (old numbering) of the lines that went.
    virtual void CountChanged(bool /*rows*/, int /*oldCount*/, int /*newCount*/,
                              const std::vector<int>& /*removed*/) {}
    virtual void DisplayRowMoved(int /*from*/, int /*to*/) {}
    // Rows took new display positions at once: entry p is the old position of the row
    // now at p (entry 0 stays 0).
    virtual void RowsReordered(const std::vector<int>& /*oldPositionOf*/) {}
    virtual void WidthChanged(int /*dataCol*/) {}
    virtual void HeightChanged(int /*dataRow*/) {}
    virtual void ColMoved(int /*from*/, int /*to*/) {}
    virtual void VisibilityChanged() {}

    // The current cell's dealings with the engine.
    // False while destroying, without rows or columns, or when the engine's own test fails.
    virtual bool HasCurrentCell() const { return false; }
    virtual bool CanEdit() const { return false; }
    virtual bool HasWindow() const { return false; }
    // The active cell-control strategy's text selection and clipboard commands.
    virtual bool HasEditor() const { return false; }
    virtual int EditorSelStart() const { return 0; }
    virtual int EditorSelLength() const { return 0; }
    virtual void SetEditorSelStart(int /*v*/) {}
    virtual void SetEditorSelLength(int /*v*/) {}
    virtual void EditorCopy() {}
    virtual void EditorCut(bool /*flag*/) {}
    // True when the editor took the clipboard's text.
    virtual bool EditorPaste(bool /*flag*/) { return false; }
    // The text the editor holds now (typed changes included).
    virtual std::string EditorText() const { return {}; }
    virtual bool CheckValue(int /*displayCol*/, const TtsVariant& /*value*/) { return true; }
    virtual bool StartEdit() { return true; }
    virtual bool ColumnEdit(int /*displayCol*/) { return true; }
    virtual void EndPendingEdit() {}
    virtual void MarkRowChanged() {}
    virtual void StoreCellValue(int /*dataCol*/, int /*dataRow*/, const TtsVariant& /*v*/) {}
    virtual void LoadControl(const TtsVariant& /*value*/, bool /*select*/) {}
    virtual TtsVariant FetchCellValue(int /*dataCol*/, int /*dataRow*/) { return {}; }
    virtual bool IsLoadingValue() const { return false; }
    virtual void SetLoadingValue(bool /*on*/) {}
    virtual void RepaintCurrentCell() {}
    virtual bool IsEditInsertMode() const { return false; }
    virtual bool MoveBlocked() const { return false; }
    virtual bool IsInsertRow(int /*displayRow*/) const { return false; }
    virtual void MoveCurrentCol(int /*displayCol*/) {}
    virtual void MeasureCellText(int /*dataCol*/, int /*dataRow*/, int& first, int& second) {
        first = second = 0;
    }

    // Combos and date-time definitions. A model without an engine makes no combo.
    virtual TtsComboPtr CreateCombo() { return nullptr; }
    // The grid-level combo, made on first use (null without an engine).
    virtual TtsCombo* EnsureGridCombo() { return nullptr; }
    // A grid that is itself a combo's drop-down list ignores button types and combos.
    virtual bool IsDropDownList() const { return false; }
    // The record of the current cell's active combo: dropped when it is this combo;
    // the pending combo state ended (and the record dropped) when it is the active one.
    virtual void ForgetActiveCombo(TtsCombo* /*combo*/) {}
    virtual void ReleasePendingCombo(bool /*flag*/) {}
    virtual void ReleaseCombo(TtsCombo* /*combo*/, bool /*flag*/) {}
    virtual void EndDateTimeDropDown() {}
    virtual void ReleaseDateTimeDef(fw::TObject* /*definition*/) {}
    // A line or cell took up (or gave up) a date-time definition: the grid keeps a
    // free notification of each definition in use.
    virtual void UseDateTimeDef(fw::TObject* /*definition*/, bool /*use*/) {}
    // After a combo's drop-down style changed: the current cell's control follows.
    virtual void ComboStyleChanged(TtsCombo* /*combo*/) {}
    // The date-time definition a stored layout names (null when there is none).
    virtual fw::TObject* FindDateTimeDef(const std::string& /*name*/) { return nullptr; }
    // A line's ReadOnly changed: the current cell is selected again when it lies
    // in the line (or there is none), so its control takes the change.
    virtual void ReselectCurrentCell() {}
    // The component a busy scope of the model holds (fw::TFreeGuard): the engine,
    // which a handler may free; it goes once the outermost scope has ended.
    virtual fw::TComponent* BusyComponent() { return nullptr; }
};

// --- Columns and rows --------------------------------------------------------------------

// Properties a column, a row and a cell element share.
struct TtsLineProps {
    fw::TColor Color = clNoneTs;
    bool ParentFont = true;
    std::unique_ptr<fw::TFont> Font; // own font, or none
    std::uint8_t Alignment = 0;      // legacy: 0 left, 1 right, 2 center
    bool AlignFlag = false;
    TtsHorzAlignment HorzAlignment = htaDefault;
    TtsVertAlignment VertAlignment = vtaDefault;
    TtsWordWrap WordWrap = wwDefault;
    bool ReadOnly = false;
    bool Is3D = false;
    TtsButtonType ButtonType = btDefault;
    TtsDropDownStyle DropDownStyle = ddDropDown;
    bool ParentCombo = true;
    std::string MaskName;
    std::array<TtsDrawOption, 4> Picture{dopDefault, dopDefault, dopDefault, dopDefault};
    TtsControlType ControlType = ctDefault;
    TtsSpinOptions SpinOptions = spoAll;
    double SpinIncrement = 1.0;
    fw::TObject* DateTimeDef = nullptr; // the date-time definition component
    TtsComboPtr Combo;                  // own combo settings, or none
    bool OwnFonts = false;
    int FontChangeLock = 0;
    std::int32_t ItemInteger = 0;
    fw::TObject* ItemObject = nullptr;

    // Shared properties by number (font, combo and keys aside).
    TtsVariant Get(int id, int sub) const;
    // False for numbers the level does not hold.
    bool Set(int id, int sub, const TtsVariant& v);
    bool SharedAtDefaults() const;
};

// What a column and a row share: the line properties and the setters that only repaint.
class TtsLine : public fw::TPersistent {
public:
    ~TtsLine() override = default;
    TtsLine(const TtsLine&) = delete;
    TtsLine& operator=(const TtsLine&) = delete;

    fw::TColor Color() const { return P.Color; }
    void SetColor(fw::TColor v);
    TtsHorzAlignment HorzAlignment() const { return P.HorzAlignment; }
    void SetHorzAlignment(TtsHorzAlignment v);
    TtsVertAlignment VertAlignment() const { return P.VertAlignment; }
    void SetVertAlignment(TtsVertAlignment v);
    TtsWordWrap WordWrap() const { return P.WordWrap; }
    void SetWordWrap(TtsWordWrap v);
    TtsControlType ControlType() const { return P.ControlType; }
    bool ReadOnly() const { return P.ReadOnly; }
    void SetReadOnly(bool v);
    bool Is3D() const { return P.Is3D; }
    void SetIs3D(bool v);
    TtsButtonType ButtonType() const { return P.ButtonType; }
    const std::string& MaskName() const { return P.MaskName; }
    bool ParentFont() const { return P.ParentFont; }
    // The own font, or null while the line inherits the grid's.
    const fw::TFont* Font() const { return P.Font.get(); }
    void SetFont(const fw::TFont* v);
    TtsDrawOption PictureOption(int sub) const; // 1 stretch, 2 shrink, 3 center, 4 keep aspect
    void SetPictureOption(int sub, TtsDrawOption v);
    TtsSpinOptions SpinOptions() const { return P.SpinOptions; }
    void SetSpinOptions(TtsSpinOptions v);
    double SpinIncrement() const { return P.SpinIncrement; }
    void SetSpinIncrement(double v);

    // The font object to change in place: the line takes an own copy of the font
    // it inherits first. A change through it makes the font the line's own.
    fw::TFont& FontObject();
    // Keeps font objects even while they only copy the grid's.
    bool OwnFonts() const { return P.OwnFonts; }
    virtual void SetOwnFonts(bool v) = 0;
    void SetParentFont(bool v);

    // Combo settings: the line's own combo, or none while it takes the grid's.
    TtsCombo* Combo() const { return P.Combo.get(); }
    // Copies the settings into the line's combo (made when missing); null drops it.
    void SetCombo(const TtsCombo* v);
    // The line's combo, made through the grid's combo factory when missing (null
    // without an engine or on a drop-down list grid).
    TtsCombo* EnsureCombo();
    bool ParentCombo() const { return P.ParentCombo; }
    void SetParentCombo(bool v);
    // Read through the combo when there is one.
    TtsDropDownStyle DropDownStyle() const;
    void SetDropDownStyle(TtsDropDownStyle v);
    fw::TObject* DateTimeDef() const { return P.DateTimeDef; }
    void SetDateTimeDef(fw::TObject* v);

    TtsLineProps P; // the shared part, read by the property collections

    // The line leaves its grid (it is parked, see TtsGridModel::DropLine): it gives
    // back its combo's and definition's uses and no longer talks to the grid.
    virtual void Detach() = 0;
    bool Detached() const { return LineGrid() == nullptr; }

protected:
    TtsLine() = default;
    // Both repaint the line; kept apart for where only the look or the cells change.
    virtual void LookChanged() = 0;
    virtual void CellsChanged() = 0;
    virtual TtsGridModel* LineGrid() const = 0;
    // The current cell lies in this line.
    virtual bool IsCurrentLine() const = 0;
    // The width a new combo's list takes its default column width from (+ 10), or -1.
    virtual int ComboListWidth() const { return -1; }
    // An own font copying `from`, its changes reported to the line.
    void MakeFont(const fw::TFont& from);
    // The font this line inherits (the grid's).
    const fw::TFont* InheritedFont() const;
    // What a going line gives back: its combo, its date-time definition.
    void ReleaseObjects();
    // Button type, date-time definition, combo and fonts of an assignment.
    static void AssignLineObjects(TtsLine& to, const TtsLine& from);
    void FontObjectChanged();
};

class TtsCol;

// The column's own cell button. The grid gives it no settings of its own: a
// column makes it, copies it with its other properties and frees it, and a
// column holding one is in use even at its defaults.
class TtsNormalButton : public fw::TObject {
public:
    explicit TtsNormalButton(TtsCol* col) : FCol(col) {}
    TtsCol* Col() const { return FCol; }

private:
    TtsCol* FCol;
};

class TtsCol : public TtsLine {
public:
    TtsCol(TtsGridModel* grid, int displayCol);
    ~TtsCol() override;
    // The stored properties (TSGridCollections.h) and "Font".
    const fw::TPropList& PublishedProperties() const override;

    TtsGridModel* Grid() const { return FGrid; }
    int DataCol() const; // -1 out of range
    int DisplayCol() const { return FDisplayCol; }
    void SetDisplayCol(int p);
    // Kept by the store when columns move; no notification.
    void SetDisplayColField(int p) { FDisplayCol = p; }
    std::uint32_t CreationNumber = 0;

    std::uint8_t Alignment() const { return P.Alignment; }
    void SetAlignment(std::uint8_t v);
    bool AlignFlag() const { return P.AlignFlag; }
    void SetAlignFlag(bool v);
    const std::string& HeadingText() const { return FHeading; }
    // The heading, or FieldName when it is empty.
    std::string Heading() const;
    void SetHeading(const std::string& v);
    int HeadingAccelPos() const { return FHeadingAccel; }
    virtual void SetControlType(TtsControlType v);
    int Width() const { return FWidth; }
    int AssignedWidth() const { return FAssignedWidth; }
    virtual void SetWidth(int v);
    void SetWidthFields(int present, int assigned) {
        FWidth = present;
        FAssignedWidth = assigned;
    }
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void SetButtonType(TtsButtonType v);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool v);
    TtsColHeadingButton HeadingButton() const { return FHeadingButton; }
    void SetHeadingButton(TtsColHeadingButton v);
    TtsHorzAlignment HeadingHorzAlignment() const { return FHeadingHorz; }
    void SetHeadingHorzAlignment(TtsHorzAlignment v);
    TtsVertAlignment HeadingVertAlignment() const { return FHeadingVert; }
    void SetHeadingVertAlignment(TtsVertAlignment v);
    TtsWordWrap HeadingWordWrap() const { return FHeadingWordWrap; }
    void SetHeadingWordWrap(TtsWordWrap v);
    fw::TColor HeadingColor() const { return FHeadingColor; }
    void SetHeadingColor(fw::TColor v);
    bool HeadingParentFont() const { return FHeadingParentFont; }
    void SetHeadingParentFont(bool v);
    TtsSortPicture SortPicture() const { return FSortPicture; }
    void SetSortPicture(TtsSortPicture v);
    int MaxLength() const { return FMaxLength; }
    virtual void SetMaxLength(int v);
    const std::string& FieldName() const { return FFieldName; }
    virtual void SetFieldName(const std::string& v);
    void SetMaskName(const std::string& v);
    const std::string& CheckBoxValues() const { return FCheckBoxValues; }
    void SetCheckBoxValues(const std::string& v);
    bool PrintTotals() const { return FPrintTotals; }
    void SetPrintTotals(bool v) { FPrintTotals = v; }

    virtual bool IsDefault() const;
    // At its defaults and without a button of its own.
    virtual bool IsUnused() const { return IsDefault() && !FButton; }
    // The column's own cell button, made on first need; FreeButton lets it go.
    TtsNormalButton* Button() const { return FButton.get(); }
    TtsNormalButton* EnsureButton();
    void FreeButton() { FButton.reset(); }
    virtual void AssignProperties(const TtsCol& source);
    virtual void AssignFromCol(const TtsCol& source);
    void Assign(const TtsCol& source);
    std::string GetExportFieldName() const;
    virtual void ResetProperties(TtsKindSet kinds);
    bool IsHeadingStored() const { return !FHeading.empty(); }
    bool IsDisplayColStored() const;
    bool IsWidthStored() const { return true; }
    // The widest text of the column's shown cells over the grid's rows; 0 without rows.
    virtual int MaxTextWidth() const;
    void SetOwnFonts(bool v) override;
    void Detach() override;
    // The heading's own font, or null while it takes the grid's heading font.
    const fw::TFont* HeadingFont() const { return FHeadingFont.get(); }
    void SetHeadingFont(const fw::TFont* v);
    // The heading font to change in place (see FontObject).
    fw::TFont& HeadingFontObject();

private:
    void LookChanged() override;
    void CellsChanged() override;
    TtsGridModel* LineGrid() const override { return FGrid; }
    bool IsCurrentLine() const override;
    int ComboListWidth() const override { return FWidth; }
    void HeadingChanged();
    void MakeHeadingFont(const fw::TFont& from);
    std::unique_ptr<fw::TFont> FHeadingFont;
    std::unique_ptr<TtsNormalButton> FButton;

    TtsGridModel* FGrid;
    int FDisplayCol;
    std::string FHeading;
    int FHeadingAccel = 0;
    int FWidth = 64;
    int FAssignedWidth = 64;
    bool FVisible = true;
    bool FAllowGrayed = false;
    TtsColHeadingButton FHeadingButton = cbGrid;
    TtsHorzAlignment FHeadingHorz = htaDefault;
    TtsVertAlignment FHeadingVert = vtaDefault;
    TtsWordWrap FHeadingWordWrap = wwDefault;
    fw::TColor FHeadingColor = clNoneTs;
    bool FHeadingParentFont = true;
    TtsSortPicture FSortPicture = spNone;
    int FMaxLength = 0;
    std::string FFieldName;
    std::string FCheckBoxValues;
    bool FPrintTotals = false;
};

class TtsRow : public TtsLine {
public:
    TtsRow(TtsGridModel* grid, int dataRow);
    ~TtsRow() override;
    const fw::TPropList& PublishedProperties() const override;

    TtsGridModel* Grid() const { return FGrid; }
    int DataRow() const { return FDataRow; }
    int DisplayRow() const;
    void SetDisplayRow(int p);

    void SetControlType(TtsControlType v);
    int Height() const { return FHeight; }
    int AssignedHeight() const { return FAssignedHeight; }
    void SetHeight(int v);
    void SetHeightFields(int present, int assigned) {
        FHeight = present;
        FAssignedHeight = assigned;
    }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    void SetButtonType(TtsButtonType v);
    void SetMaskName(const std::string& v);

    virtual bool IsDefault() const;
    virtual bool IsUnused() const { return IsDefault(); }
    virtual void AssignProperties(const TtsRow& source);
    // Takes the source's grid too (the row's data index stays its own).
    virtual void AssignFromRow(const TtsRow& source);
    // Takes the source's display position, then its properties, and shows the change.
    void Assign(const TtsRow& source);
    virtual void ResetProperties(TtsKindSet kinds);
    bool IsDisplayRowStored() const { return DisplayRow() != FDataRow; }
    void SetOwnFonts(bool v) override;
    void Detach() override;

private:
    void LookChanged() override;
    void CellsChanged() override;
    TtsGridModel* LineGrid() const override { return FGrid; }
    bool IsCurrentLine() const override;

    TtsGridModel* FGrid;
    int FDataRow;
    int FHeight = 14;
    int FAssignedHeight = 14;
    bool FVisible = true;
};

// A short-lived accessor of one cell's own properties.
class TtsCell {
public:
    TtsCell(TtsGridModel* grid, int dataCol, int dataRow)
        : DataCol(dataCol), DataRow(dataRow), FGrid(grid) {}
    TtsGridModel* Grid() const { return FGrid; }
    int DataCol;
    int DataRow;

    TtsVariant Get(int id, int sub = 0) const;
    bool Set(int id, const TtsVariant& v, int sub = 0);

    fw::TColor Color() const;
    void SetColor(fw::TColor v);
    TtsControlType ControlType() const;
    void SetControlType(TtsControlType v);
    TtsHorzAlignment HorzAlignment() const;
    void SetHorzAlignment(TtsHorzAlignment v);
    TtsVertAlignment VertAlignment() const;
    void SetVertAlignment(TtsVertAlignment v);
    TtsWordWrap WordWrap() const;
    void SetWordWrap(TtsWordWrap v);
    TtsReadOnly ReadOnly() const;
    void SetReadOnly(TtsReadOnly v);
    bool Is3D() const;
    void SetIs3D(bool v);
    TtsButtonType ButtonType() const;
    void SetButtonType(TtsButtonType v);
    std::string MaskName() const;
    void SetMaskName(const std::string& v);
    TtsDrawOption PictureOption(int sub) const;
    void SetPictureOption(int sub, TtsDrawOption v);
    double SpinIncrement() const;
    void SetSpinIncrement(double v);
    TtsSpinOptions SpinOptions() const;
    void SetSpinOptions(TtsSpinOptions v);
    // The cell's own font, or null while it inherits one.
    const fw::TFont* Font() const;
    void SetFont(const fw::TFont* v);
    bool ParentFont() const;
    void SetParentFont(bool v);
    // The cell's own combo settings, or null; setting copies them in (null drops them).
    TtsCombo* Combo() const;
    void SetCombo(const TtsCombo* v);
    // The cell's combo, made when missing.
    TtsCombo* EnsureCombo();
    bool ParentCombo() const;
    void SetParentCombo(bool v);
    TtsDropDownStyle DropDownStyle() const;
    void SetDropDownStyle(TtsDropDownStyle v);
    fw::TObject* DateTimeDef() const;
    void SetDateTimeDef(fw::TObject* v);
    // The legacy alignment pair (0 left, 1 right, 2 center; the flag says it is set).
    std::uint8_t Alignment() const;
    void SetAlignment(std::uint8_t v);
    bool AlignFlag() const;
    void SetAlignFlag(bool v);
    TtsDrawOption StretchPicture() const;
    void SetStretchPicture(TtsDrawOption v);
    TtsDrawOption ShrinkPicture() const;
    void SetShrinkPicture(TtsDrawOption v);
    TtsDrawOption CenterPicture() const;
    void SetCenterPicture(TtsDrawOption v);
    TtsDrawOption KeepAspectRatio() const;
    void SetKeepAspectRatio(TtsDrawOption v);

private:
    TtsGridModel* FGrid;
};

// The drop-down style of combo settings, and its change (TSCombo.cpp).
TtsDropDownStyle ComboDropDownStyle(const TtsCombo* combo);
void SetComboDropDownStyle(TtsCombo* combo, TtsDropDownStyle style);
void AssignCombo(TtsCombo* to, const TtsCombo& from);
// Sets the default column width of the combo's list to width + 10.
void SetComboListWidth(TtsCombo* combo, int width);
// The combo's list grid as a stored grid record (with its items), and read back
// into the list after its properties are reset.
std::vector<std::uint8_t> ComboRecord(const TtsCombo& combo);
void ReadComboRecord(TtsCombo& combo, const std::vector<std::uint8_t>& record);

} // namespace vel
