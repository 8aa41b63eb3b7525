// Combo settings and the drop-down list grid.
#include "TSCombo.h"

#include "Input.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cctype>

namespace vel {

// --- The model's hold on combos -----------------------------------------------------------

void TtsComboDeleter::operator()(TtsCombo* combo) const {
    // A call on its grid or its list may go on after the handler that let it go.
    if (combo && combo->Owner() && combo->Owner()->ParkCombo(combo)) return;
    delete combo;
}

fw::TObject* ComboObject(TtsCombo* combo) {
    return combo;
}

TtsCombo* ComboOfVariant(const TtsVariant& v) {
    if (auto* o = std::get_if<fw::TObject*>(&v)) return dynamic_cast<TtsCombo*>(*o);
    return nullptr;
}

TtsDropDownStyle ComboDropDownStyle(const TtsCombo* combo) {
    return combo ? combo->DropDownStyle() : ddDropDown;
}

void SetComboDropDownStyle(TtsCombo* combo, TtsDropDownStyle style) {
    if (combo) combo->SetDropDownStyle(style);
}

void AssignCombo(TtsCombo* to, const TtsCombo& from) {
    if (to && to != &from) to->Assign(from);
}

void SetComboListWidth(TtsCombo* combo, int width) {
    if (combo && combo->Grid()) combo->Grid()->SetDropDownColWidth(width);
}

std::vector<std::uint8_t> ComboRecord(const TtsCombo& combo) {
    TtsComboGrid& list = *combo.Grid();
    TMemoryStream s;
    bool& writing = list.Model().IsWritingStream;
    const bool was = writing;
    writing = true;
    fw::TScopeExit restore([&writing, was] { writing = was; });
    list.WriteGridRecord(s, true);
    return s.Data();
}

void ReadComboRecord(TtsCombo& combo, const std::vector<std::uint8_t>& record) {
    TtsComboGrid& list = *combo.Grid();
    list.BeginUpdate();
    fw::TScopeExit done([&list] { list.EndUpdate(); });
    list.ResetAllProperties();
    list.ResetSettings();
    TMemoryStream s(record);
    list.ReadGridRecord(s);
}

// --- The list grid ---------------------------------------------------------------------------

namespace {

std::string Lower(const std::string& s) {
    return LowerText(s);
}

} // namespace

TtsComboGrid::TtsComboGrid(fw::TComponent* AOwner, TtsCombo* Combo, TtsBaseGrid* OwnerGrid)
    : TtsCustomGrid(AOwner), FCombo(Combo), FOwnerGrid(OwnerGrid) {
    FDropDownList = true;
    // A list of one column of items, nothing shown around it.
    SetStoreData(true);
    SetCols(1);
    SetRows(0);
    SetRowBarOn(false);
    SetHeadingOn(false);
    SetGridMode(gmBrowse);
    SetGridLines(glNone);
    // A flat list in its drop-down; one read from a stream keeps what the stream says.
    if (!IsReading()) {
        SetCtl3D(false);
        SetParentCtl3D(false);
    }
}

void TtsComboGrid::SetDropDownRows(int Value) {
    FDropDownRows = std::clamp(Value, 1, MaxDropDownLines);
    if (FOwnerGrid && FCombo && FCombo->Dropped())
        FOwnerGrid->SetDropDownSize(FDropDownCols, FDropDownRows);
}

void TtsComboGrid::SetDropDownCols(int Value) {
    FDropDownCols = std::clamp(Value, 1, MaxDropDownLines);
    if (FOwnerGrid && FCombo && FCombo->Dropped())
        FOwnerGrid->SetDropDownSize(FDropDownCols, FDropDownRows);
}

void TtsComboGrid::SetAutoFill(bool Value) {
    FAutoFill = Value;
    if (Value && !IsReading() && FAutoSearch == asNone) FAutoSearch = asTop;
}

void TtsComboGrid::SetDropDownStyle(TtsDropDownStyle Value) {
    if (FDropDownStyle == Value) return;
    FDropDownStyle = Value;
    if (FOwnerGrid) FOwnerGrid->ComboStyleChanged(FCombo);
}

std::unique_ptr<TtsBaseGrid> TtsComboGrid::CreateGridOfClass(fw::TComponent* AOwner) const {
    return std::make_unique<TtsComboGrid>(AOwner, nullptr, nullptr);
}

void TtsComboGrid::WriteGridSettings(TStream& S) {
    TtsCustomGrid::WriteGridSettings(S);
    WriteStoredSetting(S, "DropDownRows", FDropDownRows, 4);
    WriteStoredSetting(S, "DropDownCols", FDropDownCols, 1);
    WriteStoredSetting(S, "ValueCol", FValueCol, 1);
    WriteStoredSetting(S, "ComboDisplayCol", FComboDisplayCol, 1);
    WriteStoredSetting(S, "ValueColSorted", FValueColSorted, false);
    WriteStoredSetting(S, "CompareType", FCompareType, ctCaseInsensitive);
    WriteStoredSetting(S, "AutoSearch", FAutoSearch, asNone);
    WriteStoredSetting(S, "AutoFill", FAutoFill, false);
    WriteStoredSetting(S, "AutoFillConvertCase", FAutoFillConvertCase, afcOnEdit);
    WriteStoredSetting(S, "DropDownStyle", FDropDownStyle, ddDropDown);
}

bool TtsComboGrid::ReadGridSetting(const TtsStoredProp& P) {
    const std::string& N = P.Name;
    const TtsVariant& V = P.Value;
    if (P.Type == vtBinary) return false;
    if (N == "DropDownRows") SetDropDownRows(StoredRange(V, N, 1, MaxDropDownLines));
    else if (N == "DropDownCols") SetDropDownCols(StoredRange(V, N, 1, MaxDropDownLines));
    // Column numbers of the list, looked up where they are used: any is taken.
    else if (N == "ValueCol") SetValueCol(StoredInt(V, N));
    else if (N == "ComboDisplayCol") SetComboDisplayCol(StoredInt(V, N));
    else if (N == "ValueColSorted") SetValueColSorted(StoredBool(V, N));
    else if (N == "CompareType")
        SetCompareType(static_cast<TtsComboCompareType>(StoredEnum(V, N, ctOwn)));
    else if (N == "AutoSearch")
        SetAutoSearch(static_cast<TtsComboAutoSearchType>(StoredEnum(V, N, asCenter)));
    else if (N == "AutoFill") SetAutoFill(StoredBool(V, N));
    else if (N == "AutoFillConvertCase")
        SetAutoFillConvertCase(static_cast<TtsConvertCase>(StoredEnum(V, N, afcNone)));
    else if (N == "DropDownStyle")
        SetDropDownStyle(static_cast<TtsDropDownStyle>(StoredEnum(V, N, ddDropDownList)));
    else return TtsCustomGrid::ReadGridSetting(P);
    return true;
}

void TtsComboGrid::ResetSettings() {
    FDropDownRows = 4;
    FDropDownCols = 1;
    FValueCol = 1;
    FComboDisplayCol = 1;
    FValueColSorted = false;
    FCompareType = ctCaseInsensitive;
    FAutoSearch = asNone;
    FAutoFill = false;
    FAutoFillConvertCase = afcOnEdit;
    SetDropDownStyle(ddDropDown);
}

void TtsComboGrid::AssignList(const TtsComboGrid& S) {
    if (&S == this) return;
    FDropDownRows = S.FDropDownRows;
    FDropDownCols = S.FDropDownCols;
    FValueCol = S.FValueCol;
    FComboDisplayCol = S.FComboDisplayCol;
    FValueColSorted = S.FValueColSorted;
    FCompareType = S.FCompareType;
    FAutoSearch = S.FAutoSearch;
    FAutoFill = S.FAutoFill;
    FAutoFillConvertCase = S.FAutoFillConvertCase;
    OnCompare = S.OnCompare;
    AssignGrid(S, true);
    SetDropDownStyle(S.FDropDownStyle);
}

int TtsComboGrid::FindValue(const TtsVariant& Value) const {
    const std::string Want = VarToText(Value);
    auto* Self = const_cast<TtsComboGrid*>(this);
    // The comparer may change the list: a copy of it, and the rows counted anew each step.
    TtsBusyScope Busy(Self->Model());
    const auto Compare = OnCompare;
    for (int R = 1; R <= Rows(); ++R) {
        const std::string Have = VarToText(Self->CellValue(FValueCol, R));
        bool Same = false;
        switch (FCompareType) {
        case ctCaseSensitive:
            Same = Have == Want;
            break;
        case ctOwn:
            Same = Compare ? Compare(Have, Want) == 0 : Have == Want;
            break;
        default:
            Same = Lower(Have) == Lower(Want);
            break;
        }
        if (Same) return R;
    }
    return -1;
}

TtsVariant TtsComboGrid::ValueOfRow(int DataRow) {
    return CellValue(FValueCol, DataRow);
}

void TtsComboGrid::Orphan() {
    FCombo = nullptr;
    FOwnerGrid = nullptr;
    OnPick = nullptr;
    FPressed = false;
    if (HandleAllocated()) Hide();
}

void TtsComboGrid::MarkRow(int DataRow) {
    fw::TFreeGuard Hold(this); // the cell change's handler may free the combo
    if (DataRow == FMarked) return;
    FMarked = DataRow;
    ClearSelection();
    if (DataRow < 1 || DataRow > Rows()) return;
    const int Display = GetDisplayRow(DataRow);
    SelectRows(Display, Display, true);
    SetCurrentCell(std::max(1, std::min(Current().X, Cols())), Display);
    ClampInView({Current().X, Display});
}

fw::TSize TtsComboGrid::DropDownExtent(int MinWidth) {
    return DropDownExtent(MinWidth, FDropDownCols, FDropDownRows);
}

fw::TSize TtsComboGrid::DropDownExtent(int MinWidth, int ShownCols, int ShownRows) {
    ShownCols = std::max(1, ShownCols);
    ShownRows = std::max(1, ShownRows);
    int Width = RowBarOn() ? RowBarWidth() : 0;
    for (int D = 1, Taken = 0; D <= Cols() && Taken < ShownCols; ++D) {
        const TtsCol* C = Col(DataColAt(D));
        if (!C || !C->Visible()) continue;
        Width += C->Width();
        ++Taken;
    }
    const int Shown = std::clamp(Rows(), 1, ShownRows);
    int Height = Shown * DefaultRowHeight() + (HeadingOn() ? HeadingHeight() : 0);
    // Items beyond the rows shown scroll: the bar takes its width.
    if (Rows() > ShownRows) Width += fw::GetSystemMetrics(fw::SM_CXVSCROLL);
    return {std::max(Width, MinWidth), Height};
}

std::string TtsComboGrid::GridName() const {
    return FOwnerGrid ? FOwnerGrid->Name() + ".Combo" : TtsCustomGrid::GridName();
}

bool TtsComboGrid::IsReading() const {
    return TtsCustomGrid::IsReading() || (FOwnerGrid && FOwnerGrid->IsReading());
}

bool TtsComboGrid::IsWriting() const {
    return TtsCustomGrid::IsWriting() || (FOwnerGrid && FOwnerGrid->IsWriting());
}

int TtsComboGrid::RowAt(int X, int Y) const {
    const TGridCoord Cell = const_cast<TtsComboGrid*>(this)->MouseCoord(X, Y);
    if (Cell.Y < 1 || Cell.Y > Rows() || X < 0 || X >= ClientWidth()) return -1;
    return DataRowAt(Cell.Y);
}

void TtsComboGrid::MouseDown(fw::TMouseButton Button, fw::TShiftState, int X, int Y) {
    // The list takes no focus: the owner's cell keeps it while a row is chosen.
    if (Button != fw::mbLeft) return;
    FPressed = true;
    if (const int R = RowAt(X, Y); R >= 1) MarkRow(R);
}

void TtsComboGrid::MouseMove(fw::TShiftState, int X, int Y) {
    if (!FPressed) return;
    if (const int R = RowAt(X, Y); R >= 1) MarkRow(R);
}

void TtsComboGrid::MouseUp(fw::TMouseButton Button, fw::TShiftState, int X, int Y) {
    if (Button != fw::mbLeft || !FPressed) return;
    FPressed = false;
    const int R = RowAt(X, Y);
    if (R >= 1) Fire(OnPick, R);
}

// --- Combo settings ------------------------------------------------------------------------------

TtsCombo::TtsCombo(TtsBaseGrid* Owner) : FOwner(Owner) {
    FGrid = Owner->CreateComboGrid(this);
    FGrid->Hide();
    if (!Owner->IsReading()) FGrid->SetDefaultRowHeight(Owner->DefaultRowHeight());
}

TtsCombo::~TtsCombo() {
    // The list may be busy with the very handler that frees its combo (a
    // pick, a mark): it lets go of combo and owner now and goes when done.
    TtsComboGrid* List = FGrid.release();
    List->Orphan();
    fw::Free(List);
}

int TtsCombo::DropDownRows() const {
    return FGrid->DropDownRows();
}
int TtsCombo::DropDownCols() const {
    return FGrid->DropDownCols();
}
int TtsCombo::ValueCol() const {
    return FGrid->ValueCol();
}
int TtsCombo::ComboDisplayCol() const {
    return FGrid->ComboDisplayCol();
}
bool TtsCombo::ValueColSorted() const {
    return FGrid->ValueColSorted();
}
TtsComboCompareType TtsCombo::CompareType() const {
    return FGrid->CompareType();
}
TtsComboAutoSearchType TtsCombo::AutoSearch() const {
    return FGrid->AutoSearch();
}
bool TtsCombo::AutoFill() const {
    return FGrid->AutoFill();
}
TtsConvertCase TtsCombo::AutoFillConvertCase() const {
    return FGrid->AutoFillConvertCase();
}
TtsDropDownStyle TtsCombo::DropDownStyle() const {
    return FGrid->DropDownStyle();
}

// The steps below reach the owner grid's drop-down and current cell, whose
// handlers may free the grid (and this combo with it): they hold the grid.
void TtsCombo::SetDropDownRows(int Value) {
    TtsBusyScope Busy(FOwner->Model());
    if (FGrid->DropDownRows() != Value) FGrid->SetDropDownRows(Value);
}
void TtsCombo::SetDropDownCols(int Value) {
    TtsBusyScope Busy(FOwner->Model());
    if (FGrid->DropDownCols() != Value) FGrid->SetDropDownCols(Value);
}
void TtsCombo::SetValueCol(int Value) {
    FGrid->SetValueCol(Value);
}
void TtsCombo::SetComboDisplayCol(int Value) {
    FGrid->SetComboDisplayCol(Value);
}
void TtsCombo::SetValueColSorted(bool Value) {
    FGrid->SetValueColSorted(Value);
}
void TtsCombo::SetCompareType(TtsComboCompareType Value) {
    FGrid->SetCompareType(Value);
}
void TtsCombo::SetAutoSearch(TtsComboAutoSearchType Value) {
    FGrid->SetAutoSearch(Value);
}
void TtsCombo::SetAutoFill(bool Value) {
    if (FGrid->AutoFill() != Value) FGrid->SetAutoFill(Value);
}
void TtsCombo::SetAutoFillConvertCase(TtsConvertCase Value) {
    FGrid->SetAutoFillConvertCase(Value);
}
void TtsCombo::SetDropDownStyle(TtsDropDownStyle Value) {
    TtsBusyScope Busy(FOwner->Model());
    FGrid->SetDropDownStyle(Value);
}

void TtsCombo::Assign(const TtsCombo& Source) {
    TtsBusyScope Busy(FOwner->Model());
    if (&Source != this) FGrid->AssignList(*Source.FGrid);
}

void TtsCombo::Reset() {
    TtsBusyScope Busy(FOwner->Model());
    {
        FGrid->SetPaintLock(true);
        FGrid->BeginUpdate();
        fw::TScopeExit Unlock([this] {
            FGrid->EndUpdate();
            FGrid->SetPaintLock(false);
        });
        FOwner->ReleaseCombo(this, false);
        FGrid->ResetAllProperties();
        FGrid->ResetSettings();
    }
    if (FOwner->IsDropDownOpen()) FOwner->SetDropDownSize(DropDownCols(), DropDownRows());
}

const fw::TPropList& TtsCombo::PublishedProperties() const {
    using C = TtsCombo;
    static const fw::TPropList List{
        fw::PublishedProperty<C>("DropDownRows", &C::DropDownRows, &C::SetDropDownRows),
        fw::PublishedProperty<C>("DropDownCols", &C::DropDownCols, &C::SetDropDownCols),
        fw::PublishedProperty<C>("ValueCol", &C::ValueCol, &C::SetValueCol),
        fw::PublishedProperty<C>("ComboDisplayCol", &C::ComboDisplayCol, &C::SetComboDisplayCol),
        fw::PublishedProperty<C>("ValueColSorted", &C::ValueColSorted, &C::SetValueColSorted),
        fw::PublishedProperty<C>("CompareType", &C::CompareType, &C::SetCompareType),
        fw::PublishedProperty<C>("AutoSearch", &C::AutoSearch, &C::SetAutoSearch),
        fw::PublishedProperty<C>("AutoFill", &C::AutoFill, &C::SetAutoFill),
        fw::PublishedProperty<C>("AutoFillConvertCase", &C::AutoFillConvertCase,
                                 &C::SetAutoFillConvertCase),
        fw::PublishedProperty<C>("DropDownStyle", &C::DropDownStyle, &C::SetDropDownStyle),
    };
    return List;
}

bool TtsCombo::Dropped() const {
    return FOwner->IsComboDropped() && FOwner->ActiveCombo() == this;
}

} // namespace vel
