// Columns and the column collection: layout, positions and stream.
#include "LazyTreeHeader.h"
#include "LazyTrees.h"
#include "LazyTreeInternal.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace vel {

namespace {

// Column options of older stream versions.
TLTColumnOptions ConvertColumnOptions(std::int32_t Stored, int Version) {
    const auto V = static_cast<std::uint32_t>(Stored);
    if (Version >= 3) return static_cast<TLTColumnOptions>(V & 0xFFFF);
    if (Version == 2) return static_cast<TLTColumnOptions>(V & 0xFF);
    // Bits 4-6 moved up by one when coParentColor came in at bit 4.
    return static_cast<TLTColumnOptions>((V & 0x0F) | ((V & 0x70) << 1));
}

bool TreeLoading(const TBaseLazyTree* Tree) {
    return Tree && Tree->IsLoading();
}

} // namespace

// --- TLazyTreeColumn -------------------------------------------------------

TLazyTreeColumn::TLazyTreeColumn(TLazyTreeColumns* Collection)
    : FCollection(Collection), FColor(fw::clWindow) {
    FPosition = static_cast<TColumnPosition>(Collection ? Collection->Count() : 0);
}

TLazyTreeColumn::~TLazyTreeColumn() = default;

TLTHeader* TLazyTreeColumn::Header() const {
    return FCollection ? FCollection->Header() : nullptr;
}

TBaseLazyTree* TLazyTreeColumn::Tree() const {
    return Header() ? Header()->Treeview() : nullptr;
}

int TLazyTreeColumn::Index() const {
    return FCollection ? FCollection->IndexOf(this) : -1;
}

void TLazyTreeColumn::Changed(bool AllItems) {
    if (FCollection) FCollection->Update(AllItems ? nullptr : this);
}

void TLazyTreeColumn::SetIndex(int Value) {
    const int Old = Index();
    if (!FCollection || Old == Value || Value < 0 || Value >= FCollection->Count()) return;
    FCollection->Move(Old, Value);
}

void TLazyTreeColumn::SetText(const std::u16string& Value) {
    if (FText == Value) return;
    FText = Value;
    Changed();
}

void TLazyTreeColumn::SetHint(const std::u16string& Value) {
    if (FHint == Value) return;
    FHint = Value;
    Changed();
}

void TLazyTreeColumn::SetWidth(int Value) {
    Value = std::clamp(Value, FMinWidth, std::max(FMinWidth, FMaxWidth));
    if (Value == FWidth) return;
    TLTHeader* H = Header();
    if (H && (H->Options() & hoAutoResize) && Index() == H->AutoSizeIndex() &&
        !(H->States & hrsAutoSizing))
        return;
    FLastWidth = FWidth;
    FWidth = Value;
    if (!FCollection) return;
    FCollection->UpdatePositions();
    TBaseLazyTree* T = Tree();
    // The tree outlives the handlers below; the column may not (a handler may
    // delete it), so it is looked for again after them.
    std::optional<lt::TBusyScope> Hold;
    if (T) Hold.emplace(*T, TBaseLazyTree::TBusyKind::Hold);
    TLazyTreeColumns* Columns = FCollection;
    if (!TreeLoading(T) && !Columns->Updating()) {
        if (H && (H->Options() & hoAutoResize)) Columns->AdjustAutoSize(Index());
        if (Columns->IndexOf(this) >= 0 && T) T->DoColumnResize(Index());
    }
    if (Columns->IndexOf(this) < 0) return;
    Changed();
}

void TLazyTreeColumn::SetMinWidth(int Value) {
    Value = std::clamp(Value, 0, FMaxWidth);
    if (Value == FMinWidth) return;
    FMinWidth = Value;
    SetWidth(FWidth);
    Changed();
}

void TLazyTreeColumn::SetMaxWidth(int Value) {
    Value = std::clamp(Value, FMinWidth, 10000);
    if (Value == FMaxWidth) return;
    FMaxWidth = Value;
    SetWidth(FWidth);
    Changed();
}

void TLazyTreeColumn::SetPosition(TColumnPosition Value) {
    if (Value == FPosition) return;
    TBaseLazyTree* T = Tree();
    if (TreeLoading(T) || !FCollection) {
        FPosition = Value;
        return;
    }
    Value =
        std::min<TColumnPosition>(Value, static_cast<TColumnPosition>(FCollection->Count() - 1));
    FCollection->FixPositionArraySize();
    if (FCollection->Updating()) {
        FPosition = Value;
        return;
    }
    if (T) T->EndEditNode();
    FCollection->MovePosition(Index(), Value);
    if (Header()) Header()->Invalidate(this);
    if (T) T->Invalidate();
    Changed();
}

void TLazyTreeColumn::SetStyle(TLazyTreeColumnStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TLazyTreeColumn::SetImageIndex(int Value) {
    if (Value == FImageIndex) return;
    FImageIndex = Value;
    Changed();
}

void TLazyTreeColumn::SetBiDiMode(TBiDiMode Value) {
    if (Value == FBiDiMode) return;
    FBiDiMode = Value;
    FOptions &= static_cast<TLTColumnOptions>(~coParentBidiMode);
    if (Tree()) Tree()->Invalidate();
    Changed();
}

void TLazyTreeColumn::SetLayout(TLTHeaderColumnLayout Value) {
    if (Value == FLayout) return;
    FLayout = Value;
    Changed();
}

void TLazyTreeColumn::SetMargin(int Value) {
    if (Value < 0) Value = 4;
    Value = std::min(Value, MaxExtent);
    if (Value == FMargin) return;
    FMargin = Value;
    Changed();
}

void TLazyTreeColumn::SetSpacing(int Value) {
    Value = HeldExtent(Value);
    if (Value == FSpacing) return;
    FSpacing = Value;
    Changed();
}

void TLazyTreeColumn::SetOptions(TLTColumnOptions Value) {
    if (Value == FOptions) return;
    const TLTColumnOptions TurnedOn = Value & ~FOptions;
    const TLTColumnOptions Changes = Value ^ FOptions;
    FOptions = Value;
    TBaseLazyTree* T = Tree();
    if (T && (TurnedOn & coParentBidiMode)) FBiDiMode = T->BiDiMode();
    if (T && (TurnedOn & coParentColor)) FColor = T->Color();
    if (TurnedOn & coAutoSpring) FSpringRest = 0;
    if (T && !TreeLoading(T) && ((Changes & coVisible) || (TurnedOn & coParentColor))) {
        if (FCollection) FCollection->UpdatePositions();
        if (!FCollection || !FCollection->Updating()) T->Invalidate();
        if (Changes & coVisible) T->UpdateHorizontalScrollBar(false);
    }
    Changed();
}

void TLazyTreeColumn::SetTag(int Value) {
    FTag = Value;
}

void TLazyTreeColumn::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    if (Tree()) Tree()->Invalidate();
    Changed();
}

void TLazyTreeColumn::SetColor(fw::TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    FOptions &= static_cast<TLTColumnOptions>(~coParentColor);
    if (Tree()) Tree()->Invalidate();
    Changed();
}

void TLazyTreeColumn::ParentBiDiModeChanged() {
    if ((FOptions & coParentBidiMode) && Tree() && Tree()->BiDiMode() != FBiDiMode) {
        FBiDiMode = Tree()->BiDiMode();
        Changed();
    }
}

void TLazyTreeColumn::ParentColorChanged() {
    if ((FOptions & coParentColor) && Tree() && Tree()->Color() != FColor) {
        FColor = Tree()->Color();
        Changed();
    }
}

void TLazyTreeColumn::Assign(const TLazyTreeColumn& Source) {
    // Options go last and are cleared meanwhile so that parent flags do not
    // overwrite the copied colour and reading direction.
    FOptions = 0;
    FAlignment = Source.FAlignment;
    FBiDiMode = Source.FBiDiMode;
    FColor = Source.FColor;
    FHint = Source.FHint;
    FImageIndex = Source.FImageIndex;
    FLayout = Source.FLayout;
    FMargin = Source.FMargin;
    FMaxWidth = Source.FMaxWidth;
    FMinWidth = Source.FMinWidth;
    FPosition = Source.FPosition;
    FSpacing = Source.FSpacing;
    FStyle = Source.FStyle;
    FTag = Source.FTag;
    FText = Source.FText;
    FWidth = Source.FWidth;
    FLastWidth = Source.FLastWidth;
    FOptions = Source.FOptions;
    Changed();
}

std::u16string TLazyTreeColumn::GetDisplayName() const {
    for (char16_t C : FText)
        if (C > 255) {
            const std::string N = "Column " + std::to_string(Index());
            return std::u16string(N.begin(), N.end());
        }
    return FText;
}

bool TLazyTreeColumn::Equals(const TLazyTreeColumn& O) const {
    return FAlignment == O.FAlignment && FBiDiMode == O.FBiDiMode && FColor == O.FColor &&
           FHint == O.FHint && FImageIndex == O.FImageIndex && FLayout == O.FLayout &&
           FMargin == O.FMargin && FMaxWidth == O.FMaxWidth && FMinWidth == O.FMinWidth &&
           FOptions == O.FOptions && FPosition == O.FPosition && FSpacing == O.FSpacing &&
           FStyle == O.FStyle && FTag == O.FTag && FText == O.FText && FWidth == O.FWidth;
}

fw::TRect TLazyTreeColumn::GetRect() const {
    fw::TRect R;
    if (Tree()) R = Tree()->HeaderRect();
    R.Left = FLeft;
    R.Right = FLeft + FWidth;
    return R;
}

int TLazyTreeColumn::GetAbsoluteLeft() const {
    return FLeft + (Tree() ? Tree()->OffsetX() : 0);
}

void TLazyTreeColumn::RestoreLastWidth() {
    if (FCollection) FCollection->AnimatedResize(Index(), FLastWidth);
}

void TLazyTreeColumn::LoadFromStream(TStream& S, int Version) {
    FText = S.ReadWideText();
    FHint = S.ReadWideText();
    const int W = S.ReadI32();
    const int MinW = S.ReadI32();
    const int MaxW = S.ReadI32();
    // Limits first, so that the width is clamped against the stored ones.
    FMinWidth = 0;
    FMaxWidth = 10000;
    SetMaxWidth(MaxW);
    SetMinWidth(MinW);
    SetWidth(W);
    const int St = S.ReadI32();
    SetStyle(St == 1 ? vsOwnerDraw : vsText);
    SetImageIndex(S.ReadI32());
    const int L = S.ReadI32();
    SetLayout(L >= 0 && L <= 3 ? static_cast<TLTHeaderColumnLayout>(L) : blGlyphLeft);
    const int M = S.ReadI32();
    const int Sp = S.ReadI32();
    if (!WithinExtent(M) || !WithinExtent(Sp))
        throw EReadError("Stream read error: bad column margin or spacing");
    SetMargin(M);
    SetSpacing(Sp);
    const int B = S.ReadI32();
    const TLTColumnOptions Keep = FOptions;
    SetBiDiMode(B >= 0 && B <= 3 ? static_cast<TBiDiMode>(B) : bdLeftToRight);
    FOptions = Keep;
    SetOptions(ConvertColumnOptions(S.ReadI32(), Version));
    if (Version > 0) {
        FTag = S.ReadI32();
        const int A = S.ReadI32();
        FAlignment = A >= 0 && A <= 2 ? static_cast<TAlignment>(A) : taLeftJustify;
        if (Version > 1) {
            FColor = S.ReadI32();
        }
    }
}

void TLazyTreeColumn::SaveToStream(TStream& S) const {
    S.WriteWideText(FText);
    S.WriteWideText(FHint);
    S.WriteI32(FWidth);
    S.WriteI32(FMinWidth);
    S.WriteI32(FMaxWidth);
    S.WriteI32(static_cast<int>(FStyle));
    S.WriteI32(FImageIndex);
    S.WriteI32(static_cast<int>(FLayout));
    S.WriteI32(FMargin);
    S.WriteI32(FSpacing);
    S.WriteI32(static_cast<int>(FBiDiMode));
    S.WriteI32(FOptions);
    S.WriteI32(FTag);
    S.WriteI32(static_cast<int>(FAlignment));
    S.WriteI32(FColor);
}

// --- TLazyTreeColumns ------------------------------------------------------

TLazyTreeColumns::TLazyTreeColumns(TLTHeader* AOwner) : FHeader(AOwner) {}

TLazyTreeColumns::~TLazyTreeColumns() {
    Clearing = true;
    FItems.clear();
}

TLazyTreeColumn* TLazyTreeColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return FItems[static_cast<std::size_t>(Index)].get();
}

int TLazyTreeColumns::IndexOf(const TLazyTreeColumn* Column) const {
    for (int I = 0; I < Count(); ++I)
        if (FItems[static_cast<std::size_t>(I)].get() == Column) return I;
    return -1;
}

TLazyTreeColumn* TLazyTreeColumns::Add() {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    std::unique_ptr<TLazyTreeColumn> C =
        T ? T->GetColumnClass(this) : std::make_unique<TLazyTreeColumn>(this);
    TLazyTreeColumn* Raw = C.get();
    FItems.push_back(std::move(C));
    Update(nullptr);
    return Raw;
}

void TLazyTreeColumns::Clear() {
    // An edit in a column is cancelled while the columns are whole.
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    if (T && T->IsEditing() && T->EditColumn() > NoColumn) T->CancelEditNode();
    Clearing = true;
    fw::TScopeExit EndClearing([this] { Clearing = false; });
    HoverIndex = DownIndex = TrackIndex = ClickIndex = NoColumn;
    if (FHeader && !(FHeader->States & hrsLoading)) {
        FHeader->ColumnsCleared();
    }
    FItems.clear();
    PositionToIndex.clear();
    Update(nullptr);
}

void TLazyTreeColumns::Delete(int Index) {
    TLazyTreeColumn* Doomed = Items(Index);
    if (!Doomed) return;
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    // Asked for by the tree's handler (a paint's, a resize's, a timer's): the
    // column waits for the operation's end.
    if (T && T->DeferWhileBusy([this, Doomed] {
            if (const int I = IndexOf(Doomed); I >= 0) Delete(I);
        }))
        return;
    // An edit of the column's cells is cancelled first, while the column is
    // whole; its handlers may change the columns, so the column is found again.
    if (T && T->IsEditing() && T->EditColumn() == Index) {
        T->CancelEditNode();
        Index = IndexOf(Doomed);
        if (Index < 0) return;
    }
    Removing(Doomed);
    FItems.erase(FItems.begin() + Index);
    Update(nullptr);
}

void TLazyTreeColumns::Removing(TLazyTreeColumn* Column) {
    if (Clearing) return;
    const int Old = IndexOf(Column);
    if (Old < 0) return;
    auto It = std::find(PositionToIndex.begin(), PositionToIndex.end(), Old);
    if (It != PositionToIndex.end()) PositionToIndex.erase(It);
    for (auto& I : PositionToIndex)
        if (I > Old) --I;
    auto Shift = [Old](TColumnIndex& I) {
        if (I == Old)
            I = NoColumn;
        else if (I > Old)
            --I;
    };
    Shift(HoverIndex);
    Shift(DownIndex);
    Shift(TrackIndex);
    Shift(ClickIndex);
    Shift(DragIndex);
    Shift(DropTarget);
    if (FHeader) FHeader->ColumnRemoved(Old);
}

void TLazyTreeColumns::Move(int Old, int New) {
    if (Old == New || Old < 0 || New < 0 || Old >= Count() || New >= Count()) return;
    auto Item = std::move(FItems[static_cast<std::size_t>(Old)]);
    FItems.erase(FItems.begin() + Old);
    FItems.insert(FItems.begin() + New, std::move(Item));
    IndexChanged(Old, New);
    Update(nullptr);
}

void TLazyTreeColumns::IndexChanged(int Old, int New) {
    for (auto& I : PositionToIndex) {
        if (I == Old)
            I = New;
        else if (Old < New && I > Old && I <= New)
            --I;
        else if (Old > New && I >= New && I < Old)
            ++I;
    }
}

void TLazyTreeColumns::BeginUpdate() {
    ++FUpdateCount;
}

void TLazyTreeColumns::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Update(nullptr);
}

void TLazyTreeColumns::FixPositionArraySize() {
    const auto N = static_cast<std::size_t>(Count());
    const std::size_t Old = PositionToIndex.size();
    if (N > Old) {
        PositionToIndex.resize(N);
        for (std::size_t I = Old; I < N; ++I)
            PositionToIndex[I] = static_cast<TColumnIndex>(I);
    } else if (N < Old) {
        // Indices at or above the new count slide down until all are valid.
        PositionToIndex.resize(N);
        bool Again = true;
        while (Again) {
            Again = false;
            for (auto& I : PositionToIndex)
                if (I >= static_cast<TColumnIndex>(N)) {
                    --I;
                    Again = true;
                }
        }
    }
}

void TLazyTreeColumns::MovePosition(TColumnIndex Column, TColumnPosition NewPosition) {
    auto It = std::find(PositionToIndex.begin(), PositionToIndex.end(), Column);
    if (It == PositionToIndex.end() || NewPosition >= PositionToIndex.size()) return;
    PositionToIndex.erase(It);
    PositionToIndex.insert(PositionToIndex.begin() + NewPosition, Column);
    UpdatePositions(true);
}

void TLazyTreeColumns::UpdatePositions(bool Force) {
    NoteChange();
    if (NeedPositionsFix || (Updating() && !Force)) return;
    FixPositionArraySize();
    int RunningLeft = 0;
    for (std::size_t P = 0; P < PositionToIndex.size(); ++P) {
        TLazyTreeColumn* C = Items(PositionToIndex[P]);
        if (!C) continue;
        C->FPosition = static_cast<TColumnPosition>(P);
        C->FLeft = RunningLeft;
        if (C->FOptions & coVisible) RunningLeft += C->FWidth;
    }
}

void TLazyTreeColumns::FixPositions() {
    const int N = Count();
    PositionToIndex.assign(static_cast<std::size_t>(N), NoColumn);
    std::vector<bool> Used(static_cast<std::size_t>(N), false);
    for (int I = 0; I < N; ++I) {
        const TColumnPosition P = Items(I)->FPosition;
        if (P < static_cast<TColumnPosition>(N) && PositionToIndex[P] == NoColumn) {
            PositionToIndex[P] = I;
            Used[static_cast<std::size_t>(I)] = true;
        }
    }
    // Stored positions that clash or are out of range: fill the gaps in index order.
    int Next = 0;
    for (auto& Slot : PositionToIndex) {
        if (Slot != NoColumn) continue;
        while (Used[static_cast<std::size_t>(Next)])
            ++Next;
        Slot = Next;
        Used[static_cast<std::size_t>(Next)] = true;
    }
    NeedPositionsFix = false;
    UpdatePositions(true);
}

void TLazyTreeColumns::Update(TLazyTreeColumn* Item) {
    NoteChange();
    FixPositionArraySize();
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    // The messages this sends the tree free nothing: whoever changed a
    // column goes on with it.
    std::optional<lt::TBusyScope> Hold;
    if (T) Hold.emplace(*T, TBaseLazyTree::TBusyKind::Hold);
    if (TreeLoading(T))
        NeedPositionsFix = true;
    else
        UpdatePositions();
    if (Count() > 0 && FHeader && FHeader->RawMainColumn() < 0) FHeader->SetMainColumn(0);
    if (TreeLoading(T) || !FHeader || (FHeader->States & hrsLoading) || Updating()) return;
    if (FHeader->Options() & hoAutoResize) AdjustAutoSize(InvalidColumn);
    if (Item)
        FHeader->Invalidate(Item);
    else if (T && T->HandleAllocated()) {
        T->UpdateHorizontalScrollBar(false);
        FHeader->Invalidate();
        T->Invalidate();
    }
}

TColumnIndex TLazyTreeColumns::ColumnFromPosition(fw::TPoint P, bool Relative) const {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    if (P.X < 0 || P.Y < 0 || (T && P.Y > T->Height())) return InvalidColumn;
    int Sum = Relative && T ? T->OffsetX() : 0;
    for (TColumnIndex I : PositionToIndex) {
        const TLazyTreeColumn* C = Items(I);
        if (!C || !(C->Options() & coVisible)) continue;
        Sum += C->Width();
        if (P.X < Sum) return I;
    }
    return InvalidColumn;
}

TColumnIndex TLazyTreeColumns::ColumnFromPosition(TColumnPosition Position) const {
    if (Position >= PositionToIndex.size()) return NoColumn;
    return PositionToIndex[Position];
}

TColumnIndex TLazyTreeColumns::GetColumnAndBounds(fw::TPoint P, int& ColumnLeft, int& ColumnRight,
                                                  bool Relative) const {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    ColumnLeft = Relative && T ? T->OffsetX() : 0;
    ColumnRight = ColumnLeft;
    for (TColumnIndex I : PositionToIndex) {
        const TLazyTreeColumn* C = Items(I);
        if (!C || !(C->Options() & coVisible)) continue;
        ColumnRight = ColumnLeft + C->Width();
        if (P.X < ColumnRight) return I;
        ColumnLeft = ColumnRight;
    }
    return InvalidColumn;
}

void TLazyTreeColumns::GetColumnBounds(TColumnIndex Column, int& Left, int& Right) const {
    TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr;
    if (Column == NoColumn || !IsValidColumn(Column)) {
        Left = 0;
        Right = T ? T->ClientWidth() : 0;
        return;
    }
    const TLazyTreeColumn* C = Items(Column);
    Left = C->Left() + (T ? T->OffsetX() : 0);
    Right = Left + C->Width();
}

TColumnIndex TLazyTreeColumns::GetFirstVisibleColumn() const {
    for (TColumnIndex I : PositionToIndex)
        if (Items(I) && (Items(I)->Options() & coVisible)) return I;
    return InvalidColumn;
}

TColumnIndex TLazyTreeColumns::GetLastVisibleColumn() const {
    for (auto It = PositionToIndex.rbegin(); It != PositionToIndex.rend(); ++It)
        if (Items(*It) && (Items(*It)->Options() & coVisible)) return *It;
    return InvalidColumn;
}

TColumnIndex TLazyTreeColumns::GetNextColumn(TColumnIndex Column) const {
    if (!IsValidColumn(Column)) return InvalidColumn;
    const TColumnPosition P = Items(Column)->Position() + 1;
    return P < PositionToIndex.size() ? PositionToIndex[P] : InvalidColumn;
}

TColumnIndex TLazyTreeColumns::GetNextVisibleColumn(TColumnIndex Column) const {
    for (TColumnIndex C = GetNextColumn(Column); C != InvalidColumn; C = GetNextColumn(C))
        if (Items(C)->Options() & coVisible) return C;
    return InvalidColumn;
}

TColumnIndex TLazyTreeColumns::GetPreviousColumn(TColumnIndex Column) const {
    if (!IsValidColumn(Column) || Items(Column)->Position() == 0) return InvalidColumn;
    const TColumnPosition P = Items(Column)->Position() - 1;
    return P < PositionToIndex.size() ? PositionToIndex[P] : InvalidColumn;
}

TColumnIndex TLazyTreeColumns::GetPreviousVisibleColumn(TColumnIndex Column) const {
    for (TColumnIndex C = GetPreviousColumn(Column); C != InvalidColumn; C = GetPreviousColumn(C))
        if (Items(C)->Options() & coVisible) return C;
    return InvalidColumn;
}

std::vector<TLazyTreeColumn*> TLazyTreeColumns::GetVisibleColumns() const {
    std::vector<TLazyTreeColumn*> Result;
    for (TColumnIndex I : PositionToIndex)
        if (Items(I) && (Items(I)->Options() & coVisible)) Result.push_back(Items(I));
    return Result;
}

int TLazyTreeColumns::TotalWidth() const {
    const TColumnIndex Last = GetLastVisibleColumn();
    if (Last < 0) return 0;
    return Items(Last)->Left() + Items(Last)->Width();
}

bool TLazyTreeColumns::Equals(const TLazyTreeColumns& Other) const {
    if (Count() != Other.Count() || PositionToIndex != Other.PositionToIndex) return false;
    for (int I = 0; I < Count(); ++I)
        if (!Items(I)->Equals(*Other.Items(I))) return false;
    return true;
}

void TLazyTreeColumns::Assign(const TLazyTreeColumns& Source) {
    if (&Source == this) return;
    BeginUpdate();
    fw::TScopeExit Update([this] { EndUpdate(); });
    Clearing = true;
    FItems.clear();
    Clearing = false;
    for (int I = 0; I < Source.Count(); ++I)
        Add()->Assign(*Source.Items(I));
    PositionToIndex = Source.PositionToIndex;
    Update.Leave();
}

void TLazyTreeColumns::AnimatedResize(TColumnIndex Column, int NewWidth) {
    if (TBaseLazyTree* T = FHeader ? FHeader->Treeview() : nullptr; T && &T->Header()->Columns() == this)
        return T->AnimateColumnResize(Column, NewWidth);
    // A collection of no tree's header has nothing to slide.
    TLazyTreeColumn* C = Items(Column);
    if (C) C->SetWidth(std::clamp(NewWidth, C->MinWidth(), std::max(C->MinWidth(), C->MaxWidth())));
}

void TLazyTreeColumns::AdjustAutoSize(TColumnIndex CurrentIndex, bool Force) {
    if (Count() == 0 || !FHeader) return;
    TColumnIndex AutoIndex = FHeader->AutoSizeIndex();
    if (!IsValidColumn(AutoIndex)) AutoIndex = Count() - 1;
    if (IsValidColumn(CurrentIndex) &&
        Items(CurrentIndex)->Position() >= Items(AutoIndex)->Position()) {
        AutoIndex = GetNextVisibleColumn(CurrentIndex);
        if (AutoIndex < 0) return;
    }
    TBaseLazyTree* T = FHeader->Treeview();
    int Rest = T ? T->ClientWidth() : 0;
    for (TLazyTreeColumn* V : GetVisibleColumns())
        if (V->Index() != AutoIndex) Rest -= V->Width();
    TLazyTreeColumn* A = Items(AutoIndex);
    const int NewWidth = std::clamp(Rest, A->MinWidth(), std::max(A->MinWidth(), A->MaxWidth()));
    if (NewWidth == A->Width() && !Force) return;
    A->FLastWidth = A->FWidth;
    A->FWidth = NewWidth;
    UpdatePositions(true);
    if (T) T->DoColumnResize(AutoIndex);
}

void TLazyTreeColumns::UpdateSpringColumns(int NewHeaderWidth) {
    if (!FHeader) return;
    if ((FHeader->Options() & hoAutoSpring) && FHeader->LastWidth > 0) {
        const int Difference = NewHeaderWidth - FHeader->LastWidth;
        std::vector<TLazyTreeColumn*> Springs;
        for (int I = 0; I < Count(); ++I)
            if (Items(I)->Options() & coAutoSpring) Springs.push_back(Items(I));
        if (!Springs.empty() && Difference != 0) {
            const float Share =
                static_cast<float>(std::abs(Difference)) / static_cast<float>(Springs.size());
            float Remaining = static_cast<float>(std::abs(Difference));
            for (TLazyTreeColumn* C : Springs) {
                if (Remaining < 0) break;
                const float Amount = C->FSpringRest + Share;
                const int Whole = static_cast<int>(Amount);
                C->FSpringRest = Amount - static_cast<float>(Whole);
                const int NewW = C->FWidth + (Difference > 0 ? Whole : -Whole);
                C->FWidth = std::clamp(NewW, C->FMinWidth, std::max(C->FMinWidth, C->FMaxWidth));
                Remaining -= Share;
            }
            UpdatePositions(true);
        }
    }
    FHeader->LastWidth = NewHeaderWidth;
}

void TLazyTreeColumns::LoadFromStream(TStream& S, int Version) {
    const std::int32_t N = S.ReadI32();
    if (N <= 0) return;
    // Each column takes at least 12 numbers (oldest layout) and a position entry:
    // refuse counts the stream cannot hold before anything is allocated.
    if (N > S.Remaining() / (13 * 4) || N > MaxColumns)
        throw EReadError("Stream read error: bad column count");
    Clear();
    BeginUpdate();
    fw::TScopeExit Update([this] { EndUpdate(); });
    for (int I = 0; I < N; ++I)
        Add()->LoadFromStream(S, Version);
    TIndexArray Positions(static_cast<std::size_t>(N));
    for (auto& P : Positions) {
        P = S.ReadI32();
        if (P < 0 || P >= N) throw EReadError("Stream read error: bad column position");
    }
    std::vector<TColumnIndex> Sorted = Positions;
    std::sort(Sorted.begin(), Sorted.end());
    if (std::adjacent_find(Sorted.begin(), Sorted.end()) != Sorted.end())
        throw EReadError("Stream read error: repeated column position");
    PositionToIndex = std::move(Positions);
    UpdatePositions(true);
    Update.Leave();
}

void TLazyTreeColumns::SaveToStream(TStream& S) const {
    S.WriteI32(Count());
    for (int I = 0; I < Count(); ++I)
        Items(I)->SaveToStream(S);
    for (int I = 0; I < Count(); ++I)
        S.WriteI32(I < static_cast<int>(PositionToIndex.size())
                       ? PositionToIndex[static_cast<std::size_t>(I)]
                       : I);
}

} // namespace vel
