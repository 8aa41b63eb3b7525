// The grid engine: construction, the model's link, line sizes and counts,
// values, the current cell and its control, selections, invalidation, errors
// and layouts. Input is in TSGridInput.cpp, painting in TSGridPaint.cpp.
#include "TSGrid.h"

#include "Forms.h"
#include "Input.h"
#include "ScopeExit.h"
#include "TSShared.h"

#include <algorithm>
#include <filesystem>

namespace vel {

// --- Image link ------------------------------------------------------------------

void TtsGridImageLink::ImageListChanged() {
    FGrid->InvalidateGrid();
}

void TtsGridImageLink::ImageListFreed() {
    FGrid->InvalidateGrid();
}

// --- Construction ------------------------------------------------------------------

TtsBaseGrid::TtsBaseGrid(fw::TComponent* AOwner)
    : TCustomGrid_ts(AOwner), FModel(std::make_unique<TtsGridModel>("", DefaultCols, DefaultRows)),
      FCurrentCell(FModel.get()) {
    // The base grid runs with no options but thumb tracking; lines are the engine's own.
    SetOptions(0);
    TCustomGrid_ts::SetDefaultRowHeight(FModel->DefaultRowHeight());
    TCustomGrid_ts::SetDefaultColWidth(FModel->DefaultColWidth());
    TCustomGrid_ts::SetColCount(Cols() + 1);
    TCustomGrid_ts::SetRowCount(Rows() + 1);
    SetFixedCols(1);
    SetFixedRows(1);
    FDefaultStrategy = std::make_unique<TtsDefaultGridControl>(this);
    FEditStrategy = std::make_unique<TtsEditGridControl>(this);
    FCheckStrategy = std::make_unique<TtsCheckGridControl>(this);
    for (TtsCustomGridControl* S : {static_cast<TtsCustomGridControl*>(FDefaultStrategy.get()),
                                    static_cast<TtsCustomGridControl*>(FEditStrategy.get()),
                                    static_cast<TtsCustomGridControl*>(FCheckStrategy.get())}) {
        S->Control()->Grid = this;
        S->SetParent(this);
        BindControlEvents(*S);
    }
    FModel->Font.Assign(Font());
    FModel->HeadingFont.Assign(Font());
    FModel->Color = fw::clWindow;
    SetColor(fw::clWindow);
    FModel->AttachLink(this);
    // The row bar and the heading row are column 0 and row 0 of the model.
    FModel->Col(0)->SetWidth(FRowBarWidth);
    FModel->Row(0)->SetHeight(FHeadingHeight);
    SetBounds(Left(), Top(), 320, 120);
}

TtsBaseGrid::~TtsBaseGrid() {
    SetState(fw::TComponentStateItem::Destroying);
    CloseDropDown(true);
    TtsDropDownRegistry::Remove(this);
    FActiveCombo = nullptr;
    FModel->GridCombo = nullptr;
    FActive = nullptr;
    FCheckStrategy.reset();
    FEditStrategy.reset();
    FDefaultStrategy.reset();
    for (fw::TComponent* C : FFreeNotifies)
        RemoveFreeNotification(C);
    FModel->Link = nullptr;
    FGridCombo.reset();
    if (FCanvasInUse) GridMemoryCanvas().Release();
}

std::string TtsBaseGrid::GridName() const {
    return Name();
}

fw::TComponent* TtsBaseGrid::BusyComponent() {
    return InState(fw::TComponentStateItem::Destroying) ? nullptr : this;
}

std::uint32_t TtsBaseGrid::StructureStamp() const {
    return FModel->Stamp() + TCustomGrid_ts::StructureStamp();
}

// --- Grid-wide settings ---------------------------------------------------------------

void TtsBaseGrid::SetRowBarWidth(int Value) {
    TtsBusyScope Busy(*FModel);
    FRowBarWidth = std::clamp(Value, 0, MaxLineExtent);
    if (FRowBarOn) FModel->Col(0)->SetWidth(FRowBarWidth);
}

void TtsBaseGrid::SetHeadingHeight(int Value) {
    TtsBusyScope Busy(*FModel);
    FHeadingHeight = std::clamp(Value, 0, MaxLineExtent);
    if (FHeadingOn) FModel->Row(0)->SetHeight(FHeadingHeight);
}

void TtsBaseGrid::SetRowBarOn(bool Value) {
    if (FRowBarOn == Value) return;
    TtsBusyScope Busy(*FModel);
    FRowBarOn = Value;
    SetColWidthAt(0, Value ? FRowBarWidth : 0);
}

void TtsBaseGrid::SetHeadingOn(bool Value) {
    if (FHeadingOn == Value) return;
    TtsBusyScope Busy(*FModel);
    FHeadingOn = Value;
    SetRowHeightAt(0, Value ? FHeadingHeight : 0, true);
}

void TtsBaseGrid::SetGridFont(const fw::TFont& Value) {
    Font().Assign(Value); // CM_FONTCHANGED brings it to the model
}

void TtsBaseGrid::SetHeadingFont(const fw::TFont& Value) {
    FModel->HeadingFont.Assign(Value);
    InvalidateRow(0);
}

void TtsBaseGrid::SetGridColor(fw::TColor Value) {
    SetColor(Value); // CM_COLORCHANGED brings it to the model
}

void TtsBaseGrid::SetLineColor(fw::TColor Value) {
    if (FLineColor == Value) return;
    FLineColor = Value;
    InvalidateGrid();
}

void TtsBaseGrid::SetGridLines(TtsGridLines Value) {
    if (FGridLines == Value) return;
    TtsBusyScope Busy(*FModel);
    FGridLines = Value;
    InvalidateGrid();
    UpdateCellControl(false);
}

void TtsBaseGrid::SetThumbTracking(bool Value) {
    SetOptions(Value ? TGridOptions(goThumbTracking) : TGridOptions(0));
}

void TtsBaseGrid::SetGridMode(TtsGridMode Value) {
    if (FGridMode == Value) return;
    TtsBusyScope Busy(*FModel);
    FGridMode = Value;
    InvalidateGrid();
    UpdateCellControl(false);
}

void TtsBaseGrid::SetReadOnly(bool Value) {
    if (FModel->GridReadOnly == Value) return;
    TtsBusyScope Busy(*FModel);
    FModel->GridReadOnly = Value;
    UpdateCellControl(false);
}

void TtsBaseGrid::SetDrawOverlap(TtsDrawOverlap Value) {
    if (FModel->DrawOverlap == Value) return;
    TtsBusyScope Busy(*FModel);
    FModel->DrawOverlap = Value;
    InvalidateGrid();
    UpdateCellControl(false);
}

void TtsBaseGrid::SetImageList(TtsImageListComponent* Value) {
    FImageLink.SetImageList(Value);
    InvalidateGrid();
}

void TtsBaseGrid::SetPaintLock(bool Value) {
    if (FNoPaint == Value) return;
    TtsBusyScope Busy(*FModel);
    FNoPaint = Value;
    if (!Value) {
        InvalidateGrid();
        UpdateCellControl(false);
    }
}

void TtsBaseGrid::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        TtsBusyScope Busy(*FModel);
        InvalidateGrid();
        UpdateScrollRange();
        UpdateCellControl(true);
    }
}

// --- Values ---------------------------------------------------------------------------

void TtsBaseGrid::SetStoreData(bool Value) {
    if (Value == StoreData()) return;
    TtsBusyScope Busy(*FModel);
    FModel->SetStoreData(Value);
    if (Value) Storage()->Flag = FDataFlag;
    FCurrentCell.ClearValue();
    InvalidateGrid();
    UpdateCellControl(true);
}

void TtsBaseGrid::SetDataFlag(bool Value) {
    FDataFlag = Value;
    if (Storage()) Storage()->Flag = Value;
}

namespace {

std::uint8_t TagOf(const TtsVariant& V) {
    if (VarIsEmpty(V)) return tagEmpty;
    if (VarIsNull(V)) return tagNull;
    if (std::holds_alternative<std::string>(V) || std::holds_alternative<double>(V)) return tagText;
    if (auto* O = std::get_if<fw::TObject*>(&V))
        return dynamic_cast<fw::TBitmap*>(*O) ? tagBitmap : tagEmpty;
    return tagInteger;
}

// What the storage keeps of a value: Booleans as 1 and 0, numbers with a fraction as text.
TtsVariant StoredForm(const TtsVariant& V) {
    if (auto* B = std::get_if<bool>(&V)) return TtsVariant(std::int32_t{*B ? 1 : 0});
    if (std::holds_alternative<double>(V)) return TtsVariant(VarToText(V));
    return V;
}

} // namespace

TtsVariant TtsBaseGrid::CellValue(int DataCol, int DataRow) {
    if (DataCol < 1 || DataCol > Cols() || DataRow < 1 || DataRow > Rows()) return {};
    if (Storage()) return Storage()->GetValue(DataCol, DataRow);
    TtsVariant Value;
    Fire(OnCellLoaded, this, DataCol, DataRow, Value);
    return Value;
}

void TtsBaseGrid::SetCellValue(int DataCol, int DataRow, const TtsVariant& Value) {
    if (DataCol < 1 || DataCol > Cols() || DataRow < 1 || DataRow > Rows()) return;
    TtsBusyScope Busy(*FModel);
    if (Storage()) {
        const TtsVariant Kept = StoredForm(Value);
        Storage()->SetValue(DataCol, DataRow, TagOf(Kept), Kept);
    } else if (OnCellEdit) {
        Fire(OnCellEdit, this, DataCol, DataRow, Value);
        if (DataCol > Cols() || DataRow > Rows()) return; // its handler took the cell away
    }
    InvalidateDisplayCell(GetDisplayCol(DataCol), GetDisplayRow(DataRow));
    if (DataCol == CurrentDataCol() && DataRow == CurrentDataRow() && !FCellModified) {
        FCurrentCell.ClearValue();
        UpdateCellControl(true);
    }
}

TtsVariant TtsBaseGrid::FetchCellValue(int DataCol, int DataRow) {
    return CellValue(DataCol, DataRow);
}

void TtsBaseGrid::StoreCellValue(int DataCol, int DataRow, const TtsVariant& V) {
    SetCellValue(DataCol, DataRow, V);
    GrowInsertRow(DataRow);
}

void TtsBaseGrid::GrowInsertRow(int DataRow) {
    // A value stored in the empty insert row makes it a row: a new insert row follows.
    if (FGridMode == gmEditInsert && IsInsertRow(GetDisplayRow(DataRow))) SetRows(Rows() + 1);
}

bool TtsBaseGrid::IsInsertRow(int DisplayRow) const {
    return FGridMode == gmEditInsert && Rows() > 0 && DisplayRow == Rows();
}

void TtsBaseGrid::MarkRowChanged() {
    if (FRowChanged) return;
    FRowChanged = true;
    FRowChangedRow = CurrentDataRow();
    if (Storage()) Storage()->BufferRow(FRowChangedRow);
}

void TtsBaseGrid::UndoRowChanges() {
    if (!FRowChanged) return;
    TtsBusyScope Busy(*FModel);
    FRowChanged = false;
    if (Storage() && FRowChangedRow >= 1) Storage()->RestoreRow(FRowChangedRow);
    FCellModified = false;
    FCurrentCell.ClearValue();
    InvalidateRow(GetDisplayRow(FRowChangedRow));
    UpdateCellControl(true);
}

void TtsBaseGrid::CurrentRowLeft(int OldDataRow) {
    if (!FRowChanged) return;
    FRowChanged = false;
    if (Storage()) Storage()->ClearBuffer();
    Fire(OnRowChanged, this, OldDataRow, CurrentDataRow());
}

// --- Copies ---------------------------------------------------------------------------

void TtsBaseGrid::AssignGrid(const TtsBaseGrid& S, bool WithData) {
    if (&S == this) return;
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid
    BeginUpdate();
    fw::TScopeExit Done([this] { EndUpdate(); });
    FRowBarWidth = S.FRowBarWidth;
    FHeadingHeight = S.FHeadingHeight;
    SetRowBarOn(S.FRowBarOn);
    SetHeadingOn(S.FHeadingOn);
    SetLineColor(S.FLineColor);
    SetGridLines(S.FGridLines);
    SetGridMode(S.FGridMode);
    SetThumbTracking(S.ThumbTracking());
    StretchPicture = S.StretchPicture;
    ShrinkPicture = S.ShrinkPicture;
    CenterPicture = S.CenterPicture;
    KeepAspectRatio = S.KeepAspectRatio;
    EditColor = S.EditColor;
    EditFontColor = S.EditFontColor;
    SetGridColor(S.GridColor());
    SetGridFont(S.GridFont());
    SetDataFlag(S.FDataFlag);
    SetWantTabsValue(S.FWantTabs);
    SetAlwaysShowFocusValue(S.FAlwaysShowFocus);
    if (!WithData) SetStoreData(S.StoreData());
    FModel->Assign(*S.FModel, WithData);
    if (S.FGridCombo && !FDropDownList) AssignCombo(EnsureGridCombo(), *S.FGridCombo);
    auto* Custom = dynamic_cast<TtsCustomGrid*>(this);
    auto* Source = dynamic_cast<const TtsCustomGrid*>(&S);
    if (Custom && Source) Custom->SetCheckBoxStyle(Source->CheckBoxStyle());
}

// --- Display order ----------------------------------------------------------------------

void TtsBaseGrid::SetDisplayCol(int DataCol, int Position) {
    TtsBusyScope Busy(*FModel);
    if (TtsCol* C = Col(DataCol)) C->SetDisplayCol(Position);
}

TtsDrawOption TtsBaseGrid::EffectiveStretchPicture(int DataCol, int DataRow) const {
    return FModel->EffectivePictureOption(1, DataCol, DataRow);
}

TtsDrawOption TtsBaseGrid::EffectiveShrinkPicture(int DataCol, int DataRow) const {
    return FModel->EffectivePictureOption(2, DataCol, DataRow);
}

TtsDrawOption TtsBaseGrid::EffectiveCenterPicture(int DataCol, int DataRow) const {
    return FModel->EffectivePictureOption(3, DataCol, DataRow);
}

TtsDrawOption TtsBaseGrid::EffectiveKeepAspectRatio(int DataCol, int DataRow) const {
    return FModel->EffectivePictureOption(4, DataCol, DataRow);
}

// --- Line sizes and counts from the model -----------------------------------------------------

int TtsBaseGrid::LineSizeAt(bool Rows, int Display) const {
    return Rows ? TCustomGrid_ts::RowHeights(Display) : TCustomGrid_ts::ColWidths(Display);
}

bool TtsBaseGrid::SetColWidthAt(int DisplayCol, int Pixels) {
    if (DisplayCol < 0 || DisplayCol >= ColCount() ||
        TCustomGrid_ts::ColWidths(DisplayCol) == Pixels)
        return false;
    {
        ++FSizesPending;
        fw::TScopeExit Done([this] { --FSizesPending; });
        TCustomGrid_ts::SetColWidths(DisplayCol, Pixels);
    }
    if (!FSizesPending) ColWidthsChanged();
    return true;
}

bool TtsBaseGrid::SetRowHeightAt(int DisplayRow, int Pixels, bool Relayout) {
    if (DisplayRow < 0 || DisplayRow >= RowCount() ||
        TCustomGrid_ts::RowHeights(DisplayRow) == Pixels)
        return false;
    {
        ++FSizesPending;
        fw::TScopeExit Done([this] { --FSizesPending; });
        TCustomGrid_ts::SetRowHeights(DisplayRow, Pixels);
    }
    if (Relayout && !FSizesPending) RowHeightsChanged();
    return true;
}

void TtsBaseGrid::DefaultSizeChanged(bool Rows) {
    // The base grid drops its own sizes with a new default: lines that keep a size of
    // their own (or are hidden) take it back.
    ++FSizesPending;
    {
        fw::TScopeExit Done([this] { --FSizesPending; });
        if (Rows) {
            TCustomGrid_ts::SetDefaultRowHeight(FModel->DefaultRowHeight());
            TCustomGrid_ts::SetRowHeights(0, FHeadingOn ? FHeadingHeight : 0);
            for (int R = 1; R <= this->Rows(); ++R)
                if (const TtsRow* Obj = FModel->RowStore().Row(R))
                    TCustomGrid_ts::SetRowHeights(GetDisplayRow(R),
                                                  Obj->Visible() ? Obj->Height() : 0);
        } else {
            TCustomGrid_ts::SetDefaultColWidth(FModel->DefaultColWidth());
            for (int C = 0; C <= Cols(); ++C) {
                const TtsCol* Obj = FModel->Col(C);
                TCustomGrid_ts::SetColWidths(GetDisplayCol(C), Obj->Visible() ? Obj->Width() : 0);
            }
            TCustomGrid_ts::SetColWidths(0, FRowBarOn ? FRowBarWidth : 0);
        }
    }
    Rows ? RowHeightsChanged() : ColWidthsChanged();
}

void TtsBaseGrid::SyncBaseCounts() {
    fw::TScopeExit Done([this, Was = FSyncing] { FSyncing = Was; });
    FSyncing = true;
    if (ColCount() != Cols() + 1) TCustomGrid_ts::SetColCount(Cols() + 1);
    if (RowCount() != Rows() + 1) TCustomGrid_ts::SetRowCount(Rows() + 1);
    // An empty axis lowered the fixed line; it comes back with the first line.
    if (FixedCols() == 0 && ColCount() > 1) SetFixedCols(1);
    if (FixedRows() == 0 && RowCount() > 1) SetFixedRows(1);
}

void TtsBaseGrid::CountChanged(bool Rows, int, int, const std::vector<int>& Removed) {
    const TGridCoord Before = Current();
    const int BeforeDataRow = DataRowAt(Before.Y);
    // The model has its new count: the base grid takes it whatever a handler
    // throws meanwhile (the editor leaving, the scroll bars), and the exception
    // passes on once both agree.
    TWholeSteps Steps;
    if (!Removed.empty()) {
        FCellModified = false; // a pending edit of a line that went goes with it
        Steps.Take([&] { RemoveBaseLines(Rows, Removed); });
    }
    Steps.Take([&] { SyncBaseCounts(); });
    const int Last = Rows ? this->Rows() : Cols();
    TGridRect& R = FRange;
    if (HasCellRange()) {
        (Rows ? R.Bottom : R.Right) = std::min(Rows ? R.Bottom : R.Right, Last);
        if ((Rows ? R.Top : R.Left) > Last) R = {0, 0, -1, -1};
    }
    FCurrentCell.ClearValue();
    Steps.Take([&] {
        if (!(Current() == Before) || DataRowAt(Current().Y) != BeforeDataRow)
            CurrentCellMoved(Before);
        else
            UpdateCellControl(true);
    });
    InvalidateGrid();
    Steps.Finish();
}

void TtsBaseGrid::RemoveBaseLines(bool Rows, const std::vector<int>& Removed) {
    fw::TScopeExit Done([this, Was = FSyncing] { FSyncing = Was; });
    FSyncing = true;
    RemoveLines(Rows, Removed);
}

void TtsBaseGrid::DisplayRowMoved(int From, int To) {
    const TGridCoord Before = Current();
    MoveRow(From, To);
    InvalidateGridRect(TGridRect{0, std::min(From, To), ColCount() - 1, std::max(From, To)});
    if (!(Current() == Before)) InvalidateRow(Before.Y);
    UpdateCellControl(false);
}

void TtsBaseGrid::RowsReordered(const std::vector<int>& OldPositionOf) {
    ReorderLines(true, OldPositionOf);
    UpdateCellControl(true);
}

void TtsBaseGrid::ColMoved(int From, int To) {
    MoveColumn(From, To);
    DoColMoved(To, 1, false);
    UpdateCellControl(false);
}

void TtsBaseGrid::DoColMoved(int ToDisplayCol, int Count, bool ByUser) {
    Fire(OnColMoved, this, ToDisplayCol, Count, ByUser);
}

void TtsBaseGrid::WidthChanged(int) {
    UpdateCellControl(false);
}

void TtsBaseGrid::HeightChanged(int) {
    UpdateCellControl(false);
}

void TtsBaseGrid::VisibilityChanged() {
    UpdateScrollRange();
    ClampTopLeft();
    // A current cell on a line just hidden moves to the nearest line that shows.
    const TGridCoord C = Current();
    if (HasCurrentCell() &&
        (TCustomGrid_ts::ColWidths(C.X) <= 0 || TCustomGrid_ts::RowHeights(C.Y) <= 0)) {
        TGridCoord To = StepCell(C, 0, 0);
        if (To.X >= 1 && To.Y >= 1 && !(To == C)) {
            const TGridCoord Before = C;
            MoveCurrent(To.X, To.Y, true, true);
            CurrentCellMoved(Before);
        }
    }
    if (HasCellRange()) {
        ShrinkCellRangeCol(FRange.Left);
        ShrinkCellRangeCol(FRange.Right);
        ShrinkCellRangeRow(FRange.Top);
        ShrinkCellRangeRow(FRange.Bottom);
    }
    InvalidateGrid();
    UpdateCellControl(false);
}

// --- Invalidation ------------------------------------------------------------------------

bool TtsBaseGrid::InvalidateCol(int DisplayCol) {
    if (FNoPaint) return false;
    if (Updating() || IsReading() || !HandleAllocated()) return true;
    TCustomGrid_ts::InvalidateCol(DisplayCol);
    return true;
}

bool TtsBaseGrid::InvalidateRow(int DisplayRow) {
    if (FNoPaint) return false;
    if (Updating() || IsReading() || !HandleAllocated()) return true;
    TCustomGrid_ts::InvalidateRow(DisplayRow);
    return true;
}

bool TtsBaseGrid::InvalidateDisplayCell(int DisplayCol, int DisplayRow) {
    if (Updating() || IsReading() || !HandleAllocated()) return false;
    InvalidateCell(DisplayCol, DisplayRow);
    return true;
}

bool TtsBaseGrid::InvalidateCellIfUnlocked(int DisplayCol, int DisplayRow) {
    if (FNoPaint) return false;
    return InvalidateDisplayCell(DisplayCol, DisplayRow);
}

void TtsBaseGrid::RepaintCurrentCell() {
    if (!HasCurrentCell()) return;
    InvalidateDisplayCell(Col(), Row());
    if (FActive && FActive->GetVisible()) FActive->Invalidate();
}

// --- Errors, stores and streams ---------------------------------------------------------------

void TtsBaseGrid::RaiseGridError(const std::string& Message) const {
    FModel->RaiseGridError(Message);
}

bool TtsBaseGrid::CheckRange(int Kind, int Index, int Maximum, int Minimum) const {
    return FModel->CheckRange(Kind, Index, Maximum, Minimum);
}

bool TtsBaseGrid::IsReading() const {
    return FModel->IsReadingStream || InState(fw::TComponentStateItem::Loading);
}

bool TtsBaseGrid::IsWriting() const {
    return FModel->IsWritingStream;
}

void TtsBaseGrid::RegisterCellElement(const TtsCellElement& Element) {
    FModel->CellProps().IndexElement(Element.Key, true);
}

void TtsBaseGrid::UnregisterCellElement(const TtsCellElement& Element) {
    FModel->CellProps().IndexElement(Element.Key, false);
}

std::unique_ptr<TtsGridStreamComponent> TtsBaseGrid::CreateStreamComponent() {
    return std::make_unique<TtsGridStreamComponent>(static_cast<TtsStreamGrid*>(this));
}

void TtsBaseGrid::SaveLayout(TStream& Stream, TtsPropKinds Parts, bool SaveData, TtsKindSet Kinds) {
    TtsBusyScope Busy(*FModel);
    if (!EndCellEdit()) UndoCellEdit();
    vel::SaveLayout(static_cast<TtsStreamGrid&>(*this), Stream, Parts, SaveData, Kinds);
}

void TtsBaseGrid::LoadLayout(TStream& Stream, std::uint8_t Mode) {
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid
    const std::int64_t Start = Stream.Position();
    const std::int64_t Rest = Stream.Size() - Start;
    TMemoryStream Record(Stream.ReadBlock(static_cast<std::size_t>(std::max<std::int64_t>(Rest, 0))));
    // A copy of the grid reads first: a refused layout leaves this grid as it was.
    TrialLoad([&Record, Mode](TtsBaseGrid& G) {
        Record.SetPosition(0);
        G.ApplyLayout(Record, Mode);
    });
    Record.SetPosition(0);
    ApplyLayout(Record, Mode);
    Stream.SetPosition(Start + Record.Position());
}

void TtsBaseGrid::TrialLoad(const std::function<void(TtsBaseGrid&)>& Load) {
    // The values are left out: their reader swaps them in only when whole.
    std::unique_ptr<TtsStreamGrid> Trial = CloneGrid(false);
    auto& G = static_cast<TtsBaseGrid&>(*Trial);
    G.SetColBinding(FColBinding);
    Load(G);
}

void TtsBaseGrid::BeginLayoutLoad(std::uint8_t Mode) {
    FCellModified = false;
    FLoadMode = Mode;
    BeginUpdate();
}

void TtsBaseGrid::EndLayoutLoad() {
    FLoadMode = 0;
    FCurrentCell.ClearValue();
    EndUpdate();
}

void TtsBaseGrid::ApplyLayout(TStream& Stream, std::uint8_t Mode) {
    // The grid shows what was read even when the stream is refused part way.
    auto Done = fw::EnterScope([this, Mode] { BeginLayoutLoad(Mode); }, [this] { EndLayoutLoad(); });
    auto Carrier = CreateStreamComponent();
    Carrier->LoadMode = Mode;
    FLoadKinds = 0;
    fw::TScopeExit Kinds([this, &Carrier] { FLoadKinds = Carrier->Kinds; });
    Carrier->ReadInPlace(Stream);
}

void TtsBaseGrid::SaveLayoutToFile(const std::string& FileName, TtsPropKinds Parts,
                                   bool SaveData, TtsKindSet Kinds) {
    TMemoryStream Record;
    SaveLayout(Record, Parts, SaveData, Kinds);
    const std::string Scratch = FileName + ".new";
    {
        fw::TFileStream File(Scratch, fw::TFileStream::TMode::fmCreate);
        File.WriteBuffer(Record.Data().data(), Record.Data().size());
    }
    std::error_code Error;
    std::filesystem::rename(Scratch, FileName, Error);
    if (Error) {
        std::filesystem::remove(Scratch, Error);
        throw fw::EStreamError("Cannot write " + FileName);
    }
}

void TtsBaseGrid::LoadLayoutFromFile(const std::string& FileName, std::uint8_t Mode) {
    fw::TFileStream File(FileName, fw::TFileStream::TMode::fmOpenRead);
    TMemoryStream Record(File.ReadBlock(static_cast<std::size_t>(File.Size())));
    LoadLayout(Record, Mode);
}

void TtsBaseGrid::AddFreeNotification(fw::TComponent* Component) {
    if (!Component ||
        std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Component) != FFreeNotifies.end())
        return;
    FFreeNotifies.push_back(Component);
    FreeNotification(Component);
}

void TtsBaseGrid::RemoveFreeNotification(fw::TComponent* Component) {
    auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Component);
    if (It == FFreeNotifies.end()) return;
    FFreeNotifies.erase(It);
    fw::TComponent::RemoveFreeNotification(Component);
}

void TtsBaseGrid::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    TCustomGrid_ts::Notification(AComponent, Operation);
    if (Operation != fw::TOperation::Remove) return;
    auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (It == FFreeNotifies.end()) return;
    FFreeNotifies.erase(It);
    std::erase_if(FDateTimeUses, [AComponent](const auto& U) { return U.first == AComponent; });
    if (AComponent == FDateTimeLink.DateTimeDef()) EndDateTimeDropDown();
    // Columns, rows and cells forget a definition that went.
    for (int C = 0; C <= Cols(); ++C)
        if (TtsCol* Obj = FModel->Col(C); Obj->DateTimeDef() == AComponent)
            Obj->SetDateTimeDef(nullptr);
    for (int R = 0; R <= Rows(); ++R)
        if (TtsRow* Obj = FModel->RowStore().Row(R); Obj && Obj->P.DateTimeDef == AComponent)
            Obj->P.DateTimeDef = nullptr;
    for (TtsSetElement* E : FModel->CellProps().Elements()) {
        auto* Cell = static_cast<TtsCellElement*>(E);
        if (Cell->P.DateTimeDef == AComponent)
            FModel->CellProps().SetProperty(Cell->Key, true, 0, prDateTimeDef,
                                            TtsVariant(static_cast<fw::TObject*>(nullptr)));
    }
    ReleaseDateTimeDef(AComponent);
}

// --- Drop-down seams ------------------------------------------------------------------------

fw::HWND TtsBaseGrid::CellControlWindow() {
    return FActive && FActive->Control()->HandleAllocated() ? FActive->Control()->Handle()
                                                            : nullptr;
}


// --- The custom grid and the grid -------------------------------------------------------------

void TtsCustomGrid::SetCheckBoxStyle(TtsCheckBoxStyle Value) {
    if (FCheckBoxStyle == Value) return;
    TtsBusyScope Busy(Model());
    FCheckBoxStyle = Value;
    CheckStrategy().SetCheckBoxStyle(Value);
    InvalidateGrid();
}

void TtsGrid::SetAlwaysShowFocus(bool Value) {
    SetAlwaysShowFocusValue(Value);
}

void TtsGrid::SetWantTabs(bool Value) {
    SetWantTabsValue(Value);
}

void TtsBaseGrid::SetAlwaysShowFocusValue(bool Value) {
    if (FAlwaysShowFocus == Value) return;
    FAlwaysShowFocus = Value;
    if (FActive) FActive->SetAlwaysShowFocus(Value);
    RepaintCurrentCell();
}

void TtsBaseGrid::SetWantTabsValue(bool Value) {
    if (FWantTabs == Value) return;
    FWantTabs = Value;
    if (FActive) FActive->SetWantTab(Value);
}

} // namespace vel
