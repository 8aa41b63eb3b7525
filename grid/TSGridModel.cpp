#include "TSGridModel.h"

#include "Grids_ts.h"
#include "TSGridData.h"

#include <type_traits>

namespace vel {

// --- Kind sets and defaults ---------------------------------------------------------------

std::array<std::uint8_t, 5> KindSetBytes(TtsKindSet s) {
    std::array<std::uint8_t, 5> b{};
    for (int i = 0; i < 5; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(s >> (8 * i));
    b[4] &= 1; // kinds stop at 32
    return b;
}

TtsKindSet KindSetFromBytes(const std::uint8_t* p, std::size_t n) {
    TtsKindSet s = 0;
    for (std::size_t i = 0; i < n && i < 5; ++i)
        s |= TtsKindSet{p[i]} << (8 * i);
    return s & AllKinds;
}

TtsVariant DefaultPropertyValue(int id, int sub) {
    switch (id) {
    case prColor:
        return TtsVariant(std::int32_t{clNoneTs});
    case prFont:
    case prCombo:
    case prDateTimeDef:
    case prItemObject:
        return TtsVariant(static_cast<fw::TObject*>(nullptr));
    case prReadOnly:
    case prAlignFlag:
    case pr3D:
    case prColSelected:
        return TtsVariant(false);
    case prAlignment:
        return TtsVariant(std::uint8_t{0});
    case prWordWrap:
        return TtsVariant(std::uint8_t{wwDefault});
    case prButtonType:
        return TtsVariant(std::uint8_t{btDefault});
    case prDropDownStyle:
        return TtsVariant(std::uint8_t{ddDropDown});
    case prCellReadOnly:
        return TtsVariant(std::uint8_t{roDefault});
    case prParentFont:
    case prParentCombo:
        return TtsVariant(true);
    case prMaskName:
        return TtsVariant(std::string());
    case prPictureOption:
        if (sub < 1 || sub > 4) return {};
        return TtsVariant(std::uint8_t{dopDefault});
    case prControlType:
        return TtsVariant(std::uint8_t{ctDefault});
    case prSpinOptions:
        return TtsVariant(std::uint8_t{spoAll});
    case prSpinIncrement:
        return TtsVariant(1.0);
    case prHorzAlignment:
        return TtsVariant(std::uint8_t{htaDefault});
    case prVertAlignment:
        return TtsVariant(std::uint8_t{vtaDefault});
    case prItemInteger:
        return TtsVariant(std::int32_t{0});
    default:
        return {};
    }
}

TtsHorzAlignment HorzOfLegacy(std::uint8_t alignment, bool flag) {
    if (!flag) return htaDefault;
    switch (alignment) {
    case 1:
        return htaRight;
    case 2:
        return htaCenter;
    default:
        return htaLeft;
    }
}

void LegacyOfHorz(TtsHorzAlignment h, std::uint8_t& alignment, bool& flag) {
    alignment = h == htaRight ? 1 : h == htaCenter ? 2 : 0;
    flag = h != htaDefault;
}

// --- Shared line properties --------------------------------------------------------------------

namespace {

std::uint8_t ByteOf(const TtsVariant& v) {
    return static_cast<std::uint8_t>(VarAsInteger(v));
}

bool BoolOf(const TtsVariant& v) {
    if (auto* b = std::get_if<bool>(&v)) return *b;
    return VarAsInteger(v) != 0;
}

fw::TObject* ObjectOf(const TtsVariant& v) {
    if (auto* o = std::get_if<fw::TObject*>(&v)) return *o;
    return nullptr;
}

double FloatOf(const TtsVariant& v) {
    if (auto* d = std::get_if<double>(&v)) return *d;
    return VarAsInteger(v);
}

} // namespace

TtsVariant TtsLineProps::Get(int id, int sub) const {
    switch (id) {
    case prColor:
        return TtsVariant(std::int32_t{Color});
    case prFont:
        return TtsVariant(static_cast<fw::TObject*>(nullptr));
    case prReadOnly:
        return TtsVariant(ReadOnly);
    case prAlignFlag:
        return TtsVariant(AlignFlag);
    case prAlignment:
        return TtsVariant(Alignment);
    case pr3D:
        return TtsVariant(Is3D);
    case prWordWrap:
        return TtsVariant(std::uint8_t{WordWrap});
    case prButtonType:
        return TtsVariant(std::uint8_t{ButtonType});
    case prDropDownStyle:
        return TtsVariant(std::uint8_t{Combo ? ComboDropDownStyle(Combo.get()) : DropDownStyle});
    case prParentFont:
        return TtsVariant(ParentFont);
    case prMaskName:
        return TtsVariant(MaskName);
    case prCombo:
        return TtsVariant(ComboObject(Combo.get()));
    case prParentCombo:
        return TtsVariant(ParentCombo);
    case prPictureOption:
        if (sub < 1 || sub > 4) return {};
        return TtsVariant(std::uint8_t{Picture[static_cast<std::size_t>(sub - 1)]});
    case prControlType:
        return TtsVariant(std::uint8_t{ControlType});
    case prSpinOptions:
        return TtsVariant(SpinOptions);
    case prSpinIncrement:
        return TtsVariant(SpinIncrement);
    case prHorzAlignment:
        return TtsVariant(std::uint8_t{HorzAlignment});
    case prVertAlignment:
        return TtsVariant(std::uint8_t{VertAlignment});
    case prDateTimeDef:
        return TtsVariant(DateTimeDef);
    case prItemInteger:
        return TtsVariant(ItemInteger);
    case prItemObject:
        return TtsVariant(ItemObject);
    default:
        return {};
    }
}

bool TtsLineProps::Set(int id, int sub, const TtsVariant& v) {
    switch (id) {
    case prColor:
        Color = VarAsInteger(v);
        return true;
    case prReadOnly:
        ReadOnly = BoolOf(v);
        return true;
    case prAlignFlag:
        AlignFlag = BoolOf(v);
        HorzAlignment = HorzOfLegacy(Alignment, AlignFlag);
        return true;
    case prAlignment:
        Alignment = ByteOf(v) <= 2 ? ByteOf(v) : 0;
        HorzAlignment = HorzOfLegacy(Alignment, AlignFlag);
        return true;
    case pr3D:
        Is3D = BoolOf(v);
        return true;
    case prWordWrap:
        WordWrap = ByteOf(v) <= wwDefault ? static_cast<TtsWordWrap>(ByteOf(v)) : wwDefault;
        return true;
    case prButtonType:
        ButtonType =
            ByteOf(v) <= btDateTimePopup ? static_cast<TtsButtonType>(ByteOf(v)) : btDefault;
        return true;
    case prDropDownStyle:
        DropDownStyle = ByteOf(v) == 1 ? ddDropDownList : ddDropDown;
        if (Combo) SetComboDropDownStyle(Combo.get(), DropDownStyle);
        return true;
    case prParentFont:
        ParentFont = BoolOf(v);
        if (ParentFont && !OwnFonts) Font.reset();
        return true;
    case prMaskName:
        MaskName = VarToText(v);
        return true;
    case prParentCombo:
        ParentCombo = BoolOf(v);
        return true;
    case prPictureOption:
        if (sub < 1 || sub > 4) return false;
        Picture[static_cast<std::size_t>(sub - 1)] =
            ByteOf(v) <= dopDefault ? static_cast<TtsDrawOption>(ByteOf(v)) : dopDefault;
        return true;
    case prControlType:
        ControlType = ByteOf(v) <= ctDefault ? static_cast<TtsControlType>(ByteOf(v)) : ctDefault;
        return true;
    case prSpinOptions:
        SpinOptions = ByteOf(v) & spoAll;
        return true;
    case prSpinIncrement:
        SpinIncrement = FloatOf(v);
        return true;
    case prHorzAlignment:
        HorzAlignment =
            ByteOf(v) <= htaDefault ? static_cast<TtsHorzAlignment>(ByteOf(v)) : htaDefault;
        LegacyOfHorz(HorzAlignment, Alignment, AlignFlag);
        return true;
    case prVertAlignment:
        VertAlignment =
            ByteOf(v) <= vtaDefault ? static_cast<TtsVertAlignment>(ByteOf(v)) : vtaDefault;
        return true;
    case prDateTimeDef:
        DateTimeDef = ObjectOf(v);
        return true;
    case prItemInteger:
        ItemInteger = VarAsInteger(v);
        return true;
    case prItemObject:
        ItemObject = ObjectOf(v);
        return true;
    default:
        return false;
    }
}

bool TtsLineProps::SharedAtDefaults() const {
    return Color == clNoneTs && ParentFont && !Font && Alignment == 0 && !AlignFlag &&
           HorzAlignment == htaDefault && VertAlignment == vtaDefault && WordWrap == wwDefault &&
           !ReadOnly && !Is3D && ButtonType == btDefault && DropDownStyle == ddDropDown &&
           ParentCombo && !Combo && MaskName.empty() &&
           Picture ==
               std::array<TtsDrawOption, 4>{dopDefault, dopDefault, dopDefault, dopDefault} &&
           ControlType == ctDefault && SpinOptions == spoAll && SpinIncrement == 1.0 &&
           !DateTimeDef && !OwnFonts && ItemInteger == 0 && !ItemObject;
}

namespace {

// Field update used by the line setters: false when nothing changed, so no notice goes out.
template <class T> bool ChangeTo(T& field, const std::type_identity_t<T>& v) {
    if (field == v) return false;
    field = v;
    return true;
}

// What Assign carries over for columns and rows alike; the font follows separately.
void CopySharedProps(TtsLineProps& d, const TtsLineProps& s) {
    d.Color = s.Color;
    d.Alignment = s.Alignment;
    d.AlignFlag = s.AlignFlag;
    d.HorzAlignment = s.HorzAlignment;
    d.VertAlignment = s.VertAlignment;
    d.WordWrap = s.WordWrap;
    d.ReadOnly = s.ReadOnly;
    d.Is3D = s.Is3D;
    d.SpinOptions = s.SpinOptions;
    d.SpinIncrement = s.SpinIncrement;
    d.MaskName = s.MaskName;
    d.ControlType = s.ControlType;
    d.Picture = s.Picture;
    d.ParentCombo = s.ParentCombo;
    d.ParentFont = s.ParentFont;
    d.ItemInteger = s.ItemInteger;
    d.ItemObject = s.ItemObject;
}

// What columns and rows reach differently in the grid, so one routine serves both.
struct LineAxis {
    bool (TtsGridModel::*IsCurrent)(int) const;
    void (TtsGridModel::*SetSizeAt)(int, int);
    void (TtsGridLink::*SizeChanged)(int);
    TtsVisibleItems TtsGridModel::*Visible;
    TtsSelection TtsGridModel::*Selection;
};

constexpr LineAxis ColAxis{&TtsGridModel::IsCurrentCol, &TtsGridModel::SetColWidthAt,
                           &TtsGridLink::WidthChanged, &TtsGridModel::VisibleCols,
                           &TtsGridModel::ColSelection};
constexpr LineAxis RowAxis{&TtsGridModel::IsCurrentRow, &TtsGridModel::SetRowHeightAt,
                           &TtsGridLink::HeightChanged, &TtsGridModel::VisibleRows,
                           &TtsGridModel::RowSelection};

// A hidden line keeps its size for when it shows again.
void LineSizeChanged(TtsGridModel* g, const LineAxis& a, int display, int data, bool visible,
                     int size) {
    if (!g) return;
    TtsBusyScope busy(g); // the link's steps fire handlers, which may free the grid
    (g->*a.SetSizeAt)(display, visible ? size : 0);
    if (g->Link) {
        (g->Link->*a.SizeChanged)(data);
        g->Link->UpdateCellControl(false);
    }
}

// Hiding the current line leaves its cell first; the check's handlers may change the
// grid, so the line's place is read again after it (a line that left has no grid).
template <class Line> bool LeaveCurrentLine(Line& line, const LineAxis& a, int (Line::*display)() const) {
    TtsGridModel* g = line.Grid();
    return !g || !(g->*a.IsCurrent)((line.*display)()) || g->Link->CanLeaveCell();
}

void SetLineVisible(TtsGridModel* g, const LineAxis& a, int display, int size, bool& visible,
                    bool v) {
    visible = v;
    if (!g) return;
    if (v) {
        (g->*a.Visible).Add(display);
        (g->*a.SetSizeAt)(display, size);
    } else {
        (g->*a.Visible).Remove(display);
        (g->*a.SetSizeAt)(display, 0);
        (g->*a.Selection).Select(display, false);
    }
    if (g->Link) {
        g->Link->VisibilityChanged();
        g->Link->UpdateCellControl(false);
    }
}

// The current cell's control is closed around the change and opened again in its new kind.
template <class Change>
void SwapCellControl(TtsGridModel* g, const LineAxis& a, int display, int dataCol, int dataRow,
                     Change change) {
    TtsBusyScope busy(g);
    const bool current = g && (g->*a.IsCurrent)(display);
    if (current) g->Link->CloseCellControl(true);
    change();
    if (!g || !g->Link) return;
    if (current) g->Link->ReopenCellControl(true);
    g->Link->ControlTypeChanged(dataCol, dataRow);
}

} // namespace

// --- Lines -------------------------------------------------------------------------------------

void TtsLine::SetColor(fw::TColor v) {
    if (ChangeTo(P.Color, v)) LookChanged();
}

void TtsLine::SetHorzAlignment(TtsHorzAlignment v) {
    if (P.HorzAlignment == v) return;
    P.Set(prHorzAlignment, 0, TtsVariant(std::uint8_t{v}));
    LookChanged();
}

void TtsLine::SetVertAlignment(TtsVertAlignment v) {
    if (ChangeTo(P.VertAlignment, v)) LookChanged();
}

void TtsLine::SetWordWrap(TtsWordWrap v) {
    if (ChangeTo(P.WordWrap, v)) LookChanged();
}

void TtsLine::SetReadOnly(bool v) {
    if (!ChangeTo(P.ReadOnly, v)) return;
    CellsChanged();
    TtsGridModel* g = LineGrid();
    if (g && g->Link && IsCurrentLine()) g->Link->ReselectCurrentCell();
}

void TtsLine::SetIs3D(bool v) {
    if (ChangeTo(P.Is3D, v)) CellsChanged();
}

void TtsLine::SetFont(const fw::TFont* v) {
    if (v)
        MakeFont(*v);
    else if (P.OwnFonts && InheritedFont())
        MakeFont(*InheritedFont());
    else
        P.Font.reset();
    P.ParentFont = !v;
    LookChanged();
    if (TtsGridModel* g = LineGrid()) g->RefreshOwnFontCells();
}

TtsDrawOption TtsLine::PictureOption(int sub) const {
    return sub >= 1 && sub <= 4 ? P.Picture[static_cast<std::size_t>(sub - 1)] : dopDefault;
}

void TtsLine::SetPictureOption(int sub, TtsDrawOption v) {
    if (sub >= 1 && sub <= 4 && ChangeTo(P.Picture[static_cast<std::size_t>(sub - 1)], v))
        LookChanged();
}

// Both reach the current cell's control (whether it takes typing, what a step adds).
void TtsLine::SetSpinOptions(TtsSpinOptions v) {
    if (ChangeTo(P.SpinOptions, static_cast<TtsSpinOptions>(v & spoAll))) CellsChanged();
}

void TtsLine::SetSpinIncrement(double v) {
    if (ChangeTo(P.SpinIncrement, v)) CellsChanged();
}

// --- Columns ------------------------------------------------------------------------------------

TtsCol::TtsCol(TtsGridModel* grid, int displayCol) : FGrid(grid), FDisplayCol(displayCol) {
    FWidth = FAssignedWidth = grid ? grid->DefaultColWidth() : 64;
}

int TtsCol::DataCol() const {
    return FGrid ? FGrid->DataColAt(FDisplayCol) : FDisplayCol;
}

void TtsCol::LookChanged() {
    if (!FGrid) return;
    FGrid->RepaintCol(FDisplayCol);
}

void TtsCol::CellsChanged() {
    if (!FGrid) return;
    FGrid->RepaintCol(FDisplayCol);
}

void TtsCol::HeadingChanged() {
    if (FGrid && FGrid->Link) FGrid->Link->InvalidateDisplayCell(FDisplayCol, 0);
}

void TtsCol::SetDisplayCol(int p) {
    if (!FGrid || p == FDisplayCol || p < 1 || p > FGrid->Cols()) return;
    FGrid->MoveCol(FDisplayCol, p);
}

void TtsCol::SetAlignment(std::uint8_t v) {
    if (P.Alignment == v) return;
    P.Set(prAlignment, 0, TtsVariant(v));
    LookChanged();
}

void TtsCol::SetAlignFlag(bool v) {
    if (P.AlignFlag == v) return;
    P.Set(prAlignFlag, 0, TtsVariant(v));
    LookChanged();
}

std::string TtsCol::Heading() const {
    return FHeading.empty() ? FFieldName : FHeading;
}

void TtsCol::SetHeading(const std::string& v) {
    if (FHeading == v) return;
    FHeading = v;
    StripAccelerators(FHeading, FHeadingAccel);
    HeadingChanged();
}

void TtsCol::SetControlType(TtsControlType v) {
    if (P.ControlType == v) return;
    SwapCellControl(FGrid, ColAxis, FDisplayCol, DataCol(), -1, [&] {
        P.ControlType = v;
        CellsChanged();
    });
}

void TtsCol::SetWidth(int v) {
    v = std::clamp(v, 0, MaxLineExtent);
    FAssignedWidth = v;
    if (ChangeTo(FWidth, v)) LineSizeChanged(FGrid, ColAxis, FDisplayCol, DataCol(), FVisible, v);
}

void TtsCol::SetVisible(bool v) {
    if (FVisible == v) return;
    TtsBusyScope busy(FGrid);
    if (!LeaveCurrentLine(*this, ColAxis, &TtsCol::DisplayCol) || FVisible == v) return;
    SetLineVisible(FGrid, ColAxis, FDisplayCol, FWidth, FVisible, v);
}

void TtsCol::SetButtonType(TtsButtonType v) {
    // A drop-down list shows no buttons of its own.
    if (FGrid && FGrid->Link && FGrid->Link->IsDropDownList()) return;
    if (!ChangeTo(P.ButtonType, v)) return;
    TtsBusyScope busy(FGrid);
    CellsChanged();
    if (v == btCombo && FGrid && FGrid->Link) FGrid->Link->EnsureGridCombo();
    if (FGrid && FGrid->IsCurrentCol(FDisplayCol)) {
        FGrid->Link->UpdateCellControl(false);
        if (v == btDateTimeDropDown || v == btDateTimePopup) FGrid->Link->EndDateTimeDropDown();
    }
}

void TtsCol::SetAllowGrayed(bool v) {
    if (!ChangeTo(FAllowGrayed, v)) return;
    CellsChanged();
    if (FGrid && FGrid->IsCurrentCol(FDisplayCol)) FGrid->Link->ReloadCheckBoxValues();
}

void TtsCol::SetHeadingButton(TtsColHeadingButton v) {
    if (ChangeTo(FHeadingButton, v)) HeadingChanged();
}

void TtsCol::SetHeadingHorzAlignment(TtsHorzAlignment v) {
    if (ChangeTo(FHeadingHorz, v)) HeadingChanged();
}

void TtsCol::SetHeadingVertAlignment(TtsVertAlignment v) {
    if (ChangeTo(FHeadingVert, v)) HeadingChanged();
}

void TtsCol::SetHeadingWordWrap(TtsWordWrap v) {
    if (ChangeTo(FHeadingWordWrap, v)) HeadingChanged();
}

void TtsCol::SetHeadingColor(fw::TColor v) {
    if (ChangeTo(FHeadingColor, v)) HeadingChanged();
}

void TtsCol::SetSortPicture(TtsSortPicture v) {
    if (ChangeTo(FSortPicture, v)) HeadingChanged();
}

void TtsCol::SetMaxLength(int v) {
    if (v < 0) v = 0;
    if (FMaxLength == v) return;
    FMaxLength = v;
    if (FGrid && FGrid->Link) FGrid->Link->MaxLengthChanged(FDisplayCol, v);
}

void TtsCol::SetFieldName(const std::string& v) {
    FFieldName = v;
}

void TtsCol::SetMaskName(const std::string& v) {
    if (P.MaskName == v) return;
    P.MaskName = v;
    if (FGrid && FGrid->Link && FGrid->IsCurrentCol(FDisplayCol))
        FGrid->Link->MaskChanged(DataCol(), -1);
}

void TtsCol::SetCheckBoxValues(const std::string& v) {
    if (FCheckBoxValues == v) return;
    std::string a, b, c;
    if (!SplitBarText(v, a, b, c)) {
        const std::string msg =
            "Invalid CheckBoxValues. CheckBoxValues have the format 'Checked|Unchecked|Grayed'. "
            "The Grayed value is optional";
        if (FGrid) FGrid->RaiseGridError(msg);
        throw EInvalidGridOperation(msg);
    }
    FCheckBoxValues = v;
    CellsChanged();
    if (FGrid && FGrid->IsCurrentCol(FDisplayCol)) FGrid->Link->ReloadCheckBoxValues();
}

bool TtsCol::IsDisplayColStored() const {
    return DataCol() != FDisplayCol;
}

bool TtsCol::IsDefault() const {
    const int defWidth = FGrid ? FGrid->DefaultColWidth() : 64;
    return P.SharedAtDefaults() && FHeading.empty() && FWidth == defWidth &&
           FAssignedWidth == defWidth && FVisible && !FAllowGrayed && FHeadingButton == cbGrid &&
           FHeadingHorz == htaDefault && FHeadingVert == vtaDefault &&
           FHeadingWordWrap == wwDefault && FHeadingColor == clNoneTs && FHeadingParentFont &&
           !FHeadingFont &&
           FSortPicture == spNone && FMaxLength == 0 && FFieldName.empty() &&
           FCheckBoxValues.empty() && !FPrintTotals && !IsDisplayColStored();
}

void TtsCol::AssignProperties(const TtsCol& s) {
    TtsBusyScope busy(FGrid);
    CopySharedProps(P, s.P);
    FHeadingHorz = s.FHeadingHorz;
    FHeadingVert = s.FHeadingVert;
    FHeadingWordWrap = s.FHeadingWordWrap;
    FHeading = s.FHeading;
    FHeadingAccel = s.FHeadingAccel;
    FAssignedWidth = s.FAssignedWidth;
    FWidth = s.FAssignedWidth;
    FVisible = s.FVisible;
    FHeadingButton = s.FHeadingButton;
    FHeadingColor = s.FHeadingColor;
    FSortPicture = s.FSortPicture;
    FMaxLength = s.FMaxLength;
    FFieldName = s.FFieldName;
    FCheckBoxValues = s.FCheckBoxValues;
    FAllowGrayed = s.FAllowGrayed;
    FHeadingParentFont = s.FHeadingParentFont;
    if (s.FHeadingFont)
        MakeHeadingFont(*s.FHeadingFont);
    else
        FHeadingFont.reset();
    FPrintTotals = s.FPrintTotals;
    // The button is made anew for this column.
    if (s.FButton)
        EnsureButton();
    else
        FreeButton();
    AssignLineObjects(*this, s);
}

TtsNormalButton* TtsCol::EnsureButton() {
    if (!FButton) FButton = std::make_unique<TtsNormalButton>(this);
    return FButton.get();
}

void TtsCol::AssignFromCol(const TtsCol& source) {
    FGrid = source.FGrid;
    FDisplayCol = source.FDisplayCol;
    AssignProperties(source);
}

void TtsCol::Assign(const TtsCol& source) {
    if (&source == this) return;
    TtsBusyScope busy(FGrid);
    const int width = source.FAssignedWidth;
    AssignProperties(source);
    FWidth = -1; // apply the width with its notifications
    SetWidth(width);
    LookChanged();
}

std::string TtsCol::GetExportFieldName() const {
    if (!FFieldName.empty()) return FFieldName;
    std::string h = Heading();
    for (auto& c : h)
        if (c == ' ') c = '_';
    return h;
}

void TtsCol::ResetProperties(TtsKindSet k) {
    // Its steps fire handlers, which may take the column out of the grid: it then
    // goes on detached (parked, not freed), its changes reaching nothing.
    TtsBusyScope busy(FGrid);
    if (HasKind(k, prColor)) {
        SetColor(clNoneTs);
        SetHeadingColor(clNoneTs);
    }
    if (HasKind(k, prFont)) {
        SetFont(nullptr);
        SetHeadingFont(nullptr);
    }
    if (HasKind(k, pr3D)) SetIs3D(false);
    if (HasKind(k, prVisible)) SetVisible(true);
    if (HasKind(k, prColWidth)) {
        const int assigned = FAssignedWidth;
        SetWidth(assigned);
    }
    if (HasKind(k, prDisplayPos) && FGrid) {
        // Back to the position of its own data index.
        const int data = DataCol();
        if (data >= 1 && data != FDisplayCol) FGrid->MoveCol(FDisplayCol, data);
    }
    if (HasKind(k, prAlignFlag)) SetAlignFlag(false);
    if (HasKind(k, prAlignment)) SetAlignment(0);
    if (HasKind(k, prHorzAlignment)) {
        SetHorzAlignment(htaDefault);
        SetHeadingHorzAlignment(htaDefault);
    }
    if (HasKind(k, prVertAlignment)) {
        SetVertAlignment(vtaDefault);
        SetHeadingVertAlignment(vtaDefault);
    }
    if (HasKind(k, prSortPicture)) SetSortPicture(spNone);
    if (HasKind(k, prHeadingButton)) SetHeadingButton(cbGrid);
    if (HasKind(k, prMaxLength)) SetMaxLength(0);
    if (HasKind(k, prReadOnly)) SetReadOnly(false);
    if (HasKind(k, prWordWrap)) {
        SetWordWrap(wwDefault);
        SetHeadingWordWrap(wwDefault);
    }
    if (HasKind(k, prMaskName)) SetMaskName("");
    if (HasKind(k, prButtonType)) SetButtonType(btDefault);
    if (HasKind(k, prCombo)) SetCombo(nullptr);
    if (HasKind(k, prParentCombo)) SetParentCombo(true);
    if (HasKind(k, prPictureOption))
        for (int sub = 1; sub <= 4; ++sub)
            SetPictureOption(sub, dopDefault);
    if (HasKind(k, prSpinOptions)) SetSpinOptions(spoAll);
    if (HasKind(k, prSpinIncrement)) SetSpinIncrement(1.0);
    if (HasKind(k, prDateTimeDef)) SetDateTimeDef(nullptr);
    if (HasKind(k, prColSelected) && FGrid) FGrid->ColSelection.Select(FDisplayCol, false);
    if (HasKind(k, prControlType)) SetControlType(ctDefault);
    if (HasKind(k, prItemInteger)) P.ItemInteger = 0;
    if (HasKind(k, prItemObject)) P.ItemObject = nullptr;
}

// --- Rows
// --------------------------------------------------------------------------------------------

TtsRow::TtsRow(TtsGridModel* grid, int dataRow) : FGrid(grid), FDataRow(dataRow) {
    FHeight = FAssignedHeight = grid ? grid->DefaultRowHeight() : 14;
}

int TtsRow::DisplayRow() const {
    return FGrid ? FGrid->DisplayRowOf(FDataRow) : FDataRow;
}

void TtsRow::SetDisplayRow(int p) {
    if (FGrid) FGrid->SetDisplayRow(FDataRow, p);
}

void TtsRow::LookChanged() {
    if (FGrid) FGrid->RepaintRow(DisplayRow());
}

void TtsRow::CellsChanged() {
    if (FGrid) FGrid->RepaintRow(DisplayRow());
}

void TtsRow::SetControlType(TtsControlType v) {
    if (P.ControlType == v) return;
    SwapCellControl(FGrid, RowAxis, DisplayRow(), -1, FDataRow, [&] {
        P.ControlType = v;
        CellsChanged();
    });
}

void TtsRow::SetHeight(int v) {
    v = std::clamp(v, 0, MaxLineExtent);
    FAssignedHeight = v;
    if (ChangeTo(FHeight, v)) LineSizeChanged(FGrid, RowAxis, DisplayRow(), FDataRow, FVisible, v);
}

void TtsRow::SetVisible(bool v) {
    if (FVisible == v) return;
    TtsBusyScope busy(FGrid);
    if (!LeaveCurrentLine(*this, RowAxis, &TtsRow::DisplayRow) || FVisible == v) return;
    SetLineVisible(FGrid, RowAxis, DisplayRow(), FHeight, FVisible, v);
}

void TtsRow::SetButtonType(TtsButtonType v) {
    if (FGrid && FGrid->Link && FGrid->Link->IsDropDownList()) return;
    if (!ChangeTo(P.ButtonType, v)) return;
    TtsBusyScope busy(FGrid);
    CellsChanged();
    if (v == btCombo && FGrid && FGrid->Link) FGrid->Link->EnsureGridCombo();
    if (FGrid && FGrid->IsCurrentRow(DisplayRow())) {
        FGrid->Link->UpdateCellControl(false);
        if (v == btDateTimeDropDown || v == btDateTimePopup) FGrid->Link->EndDateTimeDropDown();
    }
}

void TtsRow::SetMaskName(const std::string& v) {
    if (P.MaskName == v) return;
    P.MaskName = v;
    if (FGrid && FGrid->Link && FGrid->IsCurrentRow(DisplayRow()))
        FGrid->Link->MaskChanged(-1, FDataRow);
}

bool TtsRow::IsDefault() const {
    // The row's display position lives in the row store, not in the object: a move
    // alone keeps no object, so a layout loads back to the objects it was saved from.
    const int def = FGrid ? FGrid->DefaultRowHeight() : 14;
    return P.SharedAtDefaults() && FHeight == def && FAssignedHeight == def && FVisible;
}

void TtsRow::AssignProperties(const TtsRow& s) {
    TtsBusyScope busy(FGrid);
    CopySharedProps(P, s.P);
    FAssignedHeight = s.FAssignedHeight;
    FHeight = s.FAssignedHeight;
    FVisible = s.FVisible;
    AssignLineObjects(*this, s);
}

void TtsRow::ResetProperties(TtsKindSet k) {
    // Its steps fire handlers, which may take the row out of the grid: it then goes
    // on detached (parked, not freed), its changes reaching nothing.
    TtsBusyScope busy(FGrid);
    if (HasKind(k, prColor)) SetColor(clNoneTs);
    if (HasKind(k, prFont)) SetFont(nullptr);
    if (HasKind(k, pr3D)) SetIs3D(false);
    if (HasKind(k, prVisible)) SetVisible(true);
    if (HasKind(k, prRowHeight)) SetHeight(FGrid ? FGrid->DefaultRowHeight() : 14);
    if (HasKind(k, prDisplayPos) && FGrid) FGrid->SetDisplayRow(FDataRow, FDataRow);
    if (HasKind(k, prAlignFlag)) P.Set(prAlignFlag, 0, TtsVariant(false));
    if (HasKind(k, prAlignment)) P.Set(prAlignment, 0, TtsVariant(std::uint8_t{0}));
    if (HasKind(k, prHorzAlignment)) SetHorzAlignment(htaDefault);
    if (HasKind(k, prVertAlignment)) SetVertAlignment(vtaDefault);
    if (HasKind(k, prReadOnly)) SetReadOnly(false);
    if (HasKind(k, prWordWrap)) SetWordWrap(wwDefault);
    if (HasKind(k, prMaskName)) SetMaskName("");
    if (HasKind(k, prButtonType)) SetButtonType(btDefault);
    if (HasKind(k, prDropDownStyle)) SetDropDownStyle(ddDropDown);
    if (HasKind(k, prCombo)) SetCombo(nullptr);
    if (HasKind(k, prParentCombo)) SetParentCombo(true);
    if (HasKind(k, prPictureOption))
        for (int sub = 1; sub <= 4; ++sub)
            SetPictureOption(sub, dopDefault);
    if (HasKind(k, prSpinOptions)) SetSpinOptions(spoAll);
    if (HasKind(k, prSpinIncrement)) SetSpinIncrement(1.0);
    if (HasKind(k, prDateTimeDef)) SetDateTimeDef(nullptr);
    if (HasKind(k, prRowSelected) && FGrid) FGrid->RowSelection.Select(DisplayRow(), false);
    if (HasKind(k, prControlType)) SetControlType(ctDefault);
    if (HasKind(k, prItemInteger)) P.ItemInteger = 0;
    if (HasKind(k, prItemObject)) P.ItemObject = nullptr;
}

// --- Cells
// ---------------------------------------------------------------------------------------------

TtsVariant TtsCell::Get(int id, int sub) const {
    return FGrid->GetCellProperty(DataCol, DataRow, id, sub);
}

bool TtsCell::Set(int id, const TtsVariant& v, int sub) {
    return FGrid->SetCellProperty(DataCol, DataRow, id, v, sub);
}

fw::TColor TtsCell::Color() const {
    return FGrid->GetCellColor(DataCol, DataRow);
}
void TtsCell::SetColor(fw::TColor v) {
    FGrid->SetCellColor(DataCol, DataRow, v);
}
TtsControlType TtsCell::ControlType() const {
    return FGrid->GetCellControlType(DataCol, DataRow);
}
void TtsCell::SetControlType(TtsControlType v) {
    FGrid->SetCellControlType(DataCol, DataRow, v);
}
TtsHorzAlignment TtsCell::HorzAlignment() const {
    return FGrid->GetCellHorzAlignment(DataCol, DataRow);
}
void TtsCell::SetHorzAlignment(TtsHorzAlignment v) {
    FGrid->SetCellHorzAlignment(DataCol, DataRow, v);
}
TtsVertAlignment TtsCell::VertAlignment() const {
    return FGrid->GetCellVertAlignment(DataCol, DataRow);
}
void TtsCell::SetVertAlignment(TtsVertAlignment v) {
    FGrid->SetCellVertAlignment(DataCol, DataRow, v);
}
TtsWordWrap TtsCell::WordWrap() const {
    return FGrid->GetCellWordWrap(DataCol, DataRow);
}
void TtsCell::SetWordWrap(TtsWordWrap v) {
    FGrid->SetCellWordWrap(DataCol, DataRow, v);
}
TtsReadOnly TtsCell::ReadOnly() const {
    return FGrid->GetCellReadOnly(DataCol, DataRow);
}
void TtsCell::SetReadOnly(TtsReadOnly v) {
    FGrid->SetCellReadOnly(DataCol, DataRow, v);
}
bool TtsCell::Is3D() const {
    return FGrid->GetCellIs3D(DataCol, DataRow);
}
void TtsCell::SetIs3D(bool v) {
    FGrid->SetCellIs3D(DataCol, DataRow, v);
}
TtsButtonType TtsCell::ButtonType() const {
    return FGrid->GetCellButtonType(DataCol, DataRow);
}
void TtsCell::SetButtonType(TtsButtonType v) {
    FGrid->SetCellButtonType(DataCol, DataRow, v);
}
std::string TtsCell::MaskName() const {
    return FGrid->GetCellMaskName(DataCol, DataRow);
}
void TtsCell::SetMaskName(const std::string& v) {
    FGrid->SetCellMaskName(DataCol, DataRow, v);
}
TtsDrawOption TtsCell::PictureOption(int sub) const {
    const TtsVariant v = Get(prPictureOption, sub);
    return VarIsEmpty(v) ? dopDefault : static_cast<TtsDrawOption>(VarAsInteger(v));
}
void TtsCell::SetPictureOption(int sub, TtsDrawOption v) {
    Set(prPictureOption, TtsVariant(std::uint8_t{v}), sub);
}
double TtsCell::SpinIncrement() const {
    return FGrid->GetCellSpinIncrement(DataCol, DataRow);
}
void TtsCell::SetSpinIncrement(double v) {
    FGrid->SetCellSpinIncrement(DataCol, DataRow, v);
}
TtsSpinOptions TtsCell::SpinOptions() const {
    return FGrid->GetCellSpinOptions(DataCol, DataRow);
}
void TtsCell::SetSpinOptions(TtsSpinOptions v) {
    FGrid->SetCellSpinOptions(DataCol, DataRow, v);
}
std::uint8_t TtsCell::Alignment() const {
    return FGrid->GetCellAlignment(DataCol, DataRow);
}
void TtsCell::SetAlignment(std::uint8_t v) {
    FGrid->SetCellAlignment(DataCol, DataRow, v);
}
bool TtsCell::AlignFlag() const {
    return FGrid->GetCellAlignFlag(DataCol, DataRow);
}
void TtsCell::SetAlignFlag(bool v) {
    FGrid->SetCellAlignFlag(DataCol, DataRow, v);
}
TtsDrawOption TtsCell::StretchPicture() const {
    return FGrid->GetCellStretchPicture(DataCol, DataRow);
}
void TtsCell::SetStretchPicture(TtsDrawOption v) {
    FGrid->SetCellStretchPicture(DataCol, DataRow, v);
}
TtsDrawOption TtsCell::ShrinkPicture() const {
    return FGrid->GetCellShrinkPicture(DataCol, DataRow);
}
void TtsCell::SetShrinkPicture(TtsDrawOption v) {
    FGrid->SetCellShrinkPicture(DataCol, DataRow, v);
}
TtsDrawOption TtsCell::CenterPicture() const {
    return FGrid->GetCellCenterPicture(DataCol, DataRow);
}
void TtsCell::SetCenterPicture(TtsDrawOption v) {
    FGrid->SetCellCenterPicture(DataCol, DataRow, v);
}
TtsDrawOption TtsCell::KeepAspectRatio() const {
    return FGrid->GetCellKeepAspectRatio(DataCol, DataRow);
}
void TtsCell::SetKeepAspectRatio(TtsDrawOption v) {
    FGrid->SetCellKeepAspectRatio(DataCol, DataRow, v);
}

} // namespace vel
