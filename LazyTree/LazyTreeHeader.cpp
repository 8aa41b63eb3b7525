// The header object: settings, stream, hit tests and mouse handling.
#include "LazyTreeHeader.h"
#include "Forms.h"
#include "Input.h"
#include "LazyTreeDragDrop.h"
#include "LazyTrees.h"
#include "ScopeExit.h"
#include "Timers.h"

#include <algorithm>
#include <typeinfo>

namespace vel {

namespace {

constexpr unsigned HeaderTimerInterval = 50;

bool TreeLoading(const TBaseLazyTree* Tree) {
    return Tree && Tree->IsLoading();
}

} // namespace

TLTHeader::TLTHeader(TBaseLazyTree* AOwner)
    : FOwner(AOwner), FColumns(std::make_unique<TLazyTreeColumns>(this)),
      FBackground(fw::clBtnFace), FDragImage(std::make_unique<TLTDragImage>()) {
    // A darkened column at constant strength: no bias after the blend, so
    // the picture's own fading alpha is not used.
    FDragImage->Transparency = 140;
    FDragImage->PreBlendBias = -50;
    FDragImage->Fade = 0;
    FDragImage->PostBlendBias = 0;
    FDragImage->MoveRestriction = dmrNone;
    FFont.OnChange = [this](fw::TObject*) { Invalidate(); };
}

TLTHeader::~TLTHeader() {
    FDragImage.reset();
    FFont.OnChange = nullptr;
    FColumns->Clearing = true;
    FColumns.reset();
}

bool TLTHeader::Loading() const {
    return (States & hrsLoading) || TreeLoading(FOwner);
}

void TLTHeader::SetHeight(unsigned Value) {
    Value = std::min(Value, static_cast<unsigned>(MaxExtent));
    if (FHeight == Value) return;
    FHeight = Value;
    if (!Loading()) RecalculateHeader();
}

void TLTHeader::SetFont(const fw::TFont& Value) {
    FFont.Assign(Value);
    FParentFont = false;
}

void TLTHeader::SetParentFont(bool Value) {
    if (FParentFont == Value) return;
    FParentFont = Value;
    if (Value && FOwner) FFont.Assign(FOwner->Font());
}

void TLTHeader::SetOptions(TLTHeaderOptions Value) {
    const TLTHeaderOptions Changes = FOptions ^ Value;
    if (!Changes) return;
    FOptions = Value;
    if ((Changes & hoAutoResize) && FColumns->Count() > 0) {
        FColumns->AdjustAutoSize(InvalidColumn);
        if (FOwner) {
            FOwner->UpdateHorizontalScrollBar(false);
            if (Value & hoAutoResize) FOwner->Invalidate();
        }
    }
    if (Changes & hoVisible) RecalculateHeader();
    if (FOwner && FOwner->HandleAllocated() && !Loading()) {
        Invalidate();
        FOwner->Invalidate();
    }
}

void TLTHeader::SetStyle(TLTHeaderStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    if (!Loading()) Invalidate();
}

void TLTHeader::SetBackground(fw::TColor Value) {
    if (FBackground == Value) return;
    FBackground = Value;
    Invalidate();
}

void TLTHeader::SetAutoSizeIndex(TColumnIndex Value) {
    if (FAutoSizeIndex == Value) return;
    FAutoSizeIndex = Value;
    if (FOptions & hoAutoResize) FColumns->AdjustAutoSize(InvalidColumn);
}

TColumnIndex TLTHeader::MainColumn() const {
    return FColumns->Count() > 0 ? FMainColumn : NoColumn;
}

void TLTHeader::SetMainColumn(TColumnIndex Value) {
    if (Loading()) {
        FMainColumn = Value;
        return;
    }
    if (FColumns->Count() == 0)
        Value = NoColumn;
    else
        Value = std::clamp(Value, 0, FColumns->Count() - 1);
    if (Value == FMainColumn) return;
    FMainColumn = Value;
    FColumns->NoteChange();
    if (!FOwner) return;
    FOwner->MainColumnChanged();
    if (!(FOwner->SelectionOptions() & toExtendedFocus)) FOwner->SetFocusedColumn(Value);
    FOwner->Invalidate();
}

void TLTHeader::SetImages(fw::TImageList* Value) {
    if (FImages == Value) return;
    FImages = Value;
    if (!Loading()) Invalidate();
}

void TLTHeader::SetSortColumn(TColumnIndex Value) {
    if (Loading()) {
        FSortColumn = Value;
        return;
    }
    Value = std::clamp(Value, NoColumn, FColumns->Count() - 1);
    if (Value == FSortColumn) return;
    Invalidate(FColumns->Items(FSortColumn));
    FSortColumn = Value;
    Invalidate(FColumns->Items(FSortColumn));
    if (FOwner && (FOwner->AutoOptions() & toAutoSort) && FOwner->UpdateCount() == 0)
        FOwner->SortTree(FSortColumn, FSortDirection, true);
}

void TLTHeader::SetSortDirection(TSortDirection Value) {
    if (Value == FSortDirection) return;
    FSortDirection = Value;
    Invalidate();
    if (FOwner && (FOwner->AutoOptions() & toAutoSort) && FOwner->UpdateCount() == 0)
        FOwner->SortTree(FSortColumn, FSortDirection, true);
}

void TLTHeader::ColumnRemoved(TColumnIndex Index) {
    auto Shift = [Index](TColumnIndex& I) {
        if (I == Index)
            I = NoColumn;
        else if (I > Index)
            --I;
    };
    Shift(FAutoSizeIndex);
    Shift(FSortColumn);
    if (FMainColumn == Index) {
        // The collection still holds the column; the first other column takes over.
        FMainColumn = FColumns->Count() > 1 ? 0 : NoColumn;
        if (FOwner) FOwner->MainColumnChanged();
    } else if (FMainColumn > Index)
        --FMainColumn;
    if (FOwner) FOwner->ColumnDeleted(Index);
}

void TLTHeader::ColumnsCleared() {
    FAutoSizeIndex = NoColumn;
    FMainColumn = NoColumn;
    FSortColumn = NoColumn;
    // The tree's focused and edited column indexes go with the columns.
    if (FOwner)
        for (TColumnIndex I = FColumns->Count(); I-- > 0;)
            FOwner->ColumnDeleted(I);
}

void TLTHeader::Assign(const TLTHeader& Source) {
    FAutoSizeIndex = Source.FAutoSizeIndex;
    FBackground = Source.FBackground;
    FColumns->Assign(*Source.FColumns);
    FFont.Assign(Source.FFont);
    FHeight = Source.FHeight;
    FImages = Source.FImages;
    FMainColumn = Source.FMainColumn;
    FOptions = Source.FOptions;
    FParentFont = Source.FParentFont;
    FPopupMenu = Source.FPopupMenu;
    FSortColumn = Source.FSortColumn;
    FSortDirection = Source.FSortDirection;
    FStyle = Source.FStyle;
    RecalculateHeader();
}

std::unique_ptr<TLazyTreeColumns> TLTHeader::GetColumnsClass() {
    return std::make_unique<TLazyTreeColumns>(this);
}

void TLTHeader::AdoptColumnsClass() {
    std::unique_ptr<TLazyTreeColumns> Columns = GetColumnsClass();
    const TLazyTreeColumns* New = Columns.get();
    const TLazyTreeColumns* Old = FColumns.get();
    if (!New || (Old && typeid(*New) == typeid(*Old))) return;
    Columns->Assign(*FColumns);
    FColumns->Clearing = true;
    FColumns = std::move(Columns);
}

void TLTHeader::ChangeScale(int M, int D) {
    if (D == 0) return;
    // In points: the height in pixels (4/3 of it) stays within reach too.
    const long long Scaled = static_cast<long long>(FFont.Size()) * M / D;
    FFont.SetSize(
        static_cast<int>(std::clamp<long long>(Scaled, -MaxExtent * 3 / 4, MaxExtent * 3 / 4)));
}

void TLTHeader::RecalculateHeader() {
    if (!FOwner) return;
    // The rectangle is kept current even before the window exists: the tree
    // can be painted into a picture without one.
    FOwner->UpdateHeaderRect();
    if (FOwner->HandleAllocated()) FOwner->Invalidate();
}

void TLTHeader::Invalidate(TLazyTreeColumn* Column, bool ExpandToBorder) {
    if (!(FOptions & hoVisible) || !FOwner || !FOwner->HandleAllocated()) return;
    fw::TRect R = FOwner->HeaderRect();
    if (Column) {
        const fw::TRect C = Column->GetRect();
        R.Left = C.Left + FOwner->OffsetX();
        if (!ExpandToBorder) R.Right = C.Right + FOwner->OffsetX();
    }
    FOwner->InvalidateRect(R);
}

bool TLTHeader::InHeader(fw::TPoint P) const {
    if (!FOwner || !(FOptions & hoVisible)) return false;
    const fw::TRect R = FOwner->HeaderRect();
    return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}

fw::TShiftState TLTHeader::GetShiftState() {
    fw::TShiftState S = 0;
    if (fw::GetKeyState(fw::VK_SHIFT) < 0) S |= fw::ssShift;
    if (fw::GetKeyState(fw::VK_CONTROL) < 0) S |= fw::ssCtrl;
    if (fw::GetKeyState(fw::VK_MENU) < 0) S |= fw::ssAlt;
    return S;
}

bool TLTHeader::DetermineSplitterIndex(fw::TPoint P) {
    FColumns->TrackIndex = NoColumn;
    const int Offset = FOwner ? FOwner->OffsetX() : 0;
    int Right = Offset + FColumns->TotalWidth();
    const auto& Order = FColumns->PositionToIndex;
    for (auto It = Order.rbegin(); It != Order.rend(); ++It) {
        TLazyTreeColumn* C = FColumns->Items(*It);
        if (!C || !(C->Options() & coVisible)) continue;
        if (Right - 3 < P.X && P.X < Right + 5) {
            if (!(C->Options() & coResizable)) return false;
            FColumns->TrackIndex = *It;
            TrackStart = Right - C->Width();
            return true;
        }
        Right -= C->Width();
    }
    return false;
}

void TLTHeader::AutoFitColumns(bool Animated) {
    if (!FOwner) return;
    for (TColumnIndex I : std::vector<TColumnIndex>(FColumns->PositionToIndex)) {
        TLazyTreeColumn* C = FColumns->Items(I);
        if (!C || (C->Options() & (coResizable | coVisible)) != (coResizable | coVisible)) continue;
        const int W = FOwner->GetMaxColumnWidth(I);
        if (Animated)
            FColumns->AnimatedResize(I, W);
        else
            C->SetWidth(W);
    }
}

void TLTHeader::RestoreColumns() {
    const auto Order = FColumns->PositionToIndex;
    for (auto It = Order.rbegin(); It != Order.rend(); ++It) {
        TLazyTreeColumn* C = FColumns->Items(*It);
        if (C && (C->Options() & (coResizable | coVisible)) == (coResizable | coVisible))
            C->RestoreLastWidth();
    }
}

// --- stream ------------------------------------------------------------------

void TLTHeader::SaveToStream(TStream& S) const {
    S.WriteI32(-1);
    S.WriteI32(3);
    FColumns->SaveToStream(S);
    S.WriteI32(FAutoSizeIndex);
    S.WriteI32(FBackground);
    S.WriteI32(static_cast<std::int32_t>(FHeight));
    S.WriteI32(FOptions);
    S.WriteI32(static_cast<int>(FStyle));
    S.WriteI32(FFont.Color());
    S.WriteI32(FFont.Height());
    S.WriteText(FFont.Name());
    S.WriteI32(0); // pitch: the built-in face has only the default
    S.WriteI32(FFont.Style());
    S.WriteI32(FMainColumn);
    S.WriteI32(FSortColumn);
    S.WriteI32(static_cast<int>(FSortDirection));
}

void TLTHeader::LoadFromStream(TStream& S) {
    // A failed load leaves the header as it was: what it held is kept aside
    // and put back, so that nothing read part way stays.
    TMemoryStream Kept;
    SaveToStream(Kept);
    bool Loaded = false;
    fw::TScopeExit PutBack([this, &Kept, &Loaded] {
        if (Loaded) return;
        Kept.SetPosition(0);
        FColumns->Clear(); // a stored count of 0 leaves the columns as they are
        ReadHeader(Kept);
    });
    ReadHeader(S);
    Loaded = true;
}

void TLTHeader::ReadHeader(TStream& S) {
    // A failed load leaves the stream where the header began.
    fw::TScopeExit Rewind([&S, Start = S.Position()] { S.SetPosition(Start); });
    States |= hrsLoading;
    const TLTHeaderOptions SavedOptions = FOptions;
    FOptions = 0;
    bool Done = false;
    fw::TScopeExit Guard([&] {
        // A failed read leaves the header loading no longer, with its options back.
        if (!Done) FOptions = SavedOptions;
        States &= static_cast<TLTHeaderRunState>(~hrsLoading);
    });
    int Version = S.ReadI32();
    if (Version >= 0) {
        S.SetPosition(S.Position() - 4);
        Version = -1;
    } else {
        Version = S.ReadI32();
    }
    FColumns->LoadFromStream(S, Version);
    const int AutoSize = S.ReadI32();
    const int Back = S.ReadI32();
    const int H = S.ReadI32();
    const int Opts = S.ReadI32();
    const int St = S.ReadI32();
    const int FontColor = S.ReadI32();
    const int FontHeight = S.ReadI32();
    const std::string Name = S.ReadText();
    S.ReadI32(); // pitch
    const int FontStyle = S.ReadI32();
    int Main = FMainColumn, Sort = FSortColumn, Dir = static_cast<int>(FSortDirection);
    if (Version > 0) {
        Main = S.ReadI32();
        Sort = S.ReadI32();
        Dir = S.ReadI32();
    }
    if (H < 0 || H > MaxExtent) throw EReadError("Stream read error: bad header height");
    if (!WithinExtent(FontHeight)) throw EReadError("Stream read error: bad font height");
    FAutoSizeIndex = AutoSize;
    FBackground = Back;
    FHeight = static_cast<unsigned>(H);
    FOptions = SavedOptions;
    FStyle = St >= 0 && St <= 3 ? static_cast<TLTHeaderStyle>(St) : hsThickButtons;
    FFont.SetColor(FontColor);
    FFont.SetHeight(FontHeight);
    FFont.SetName(Name);
    FFont.SetStyle(static_cast<fw::TFontStyles>(FontStyle & 0x0F));
    FMainColumn = Main;
    FSortColumn = Sort;
    FSortDirection = Dir == 1 ? sdDescending : sdAscending;
    Done = true;
    States &= static_cast<TLTHeaderRunState>(~hrsLoading);
    SetOptions(static_cast<TLTHeaderOptions>(Opts & 0xFFFF));
    // Values stored while loading are clamped once the columns are known.
    const int Count = FColumns->Count();
    FMainColumn = Count ? std::clamp(FMainColumn, 0, Count - 1) : NoColumn;
    FSortColumn = std::clamp(FSortColumn, NoColumn, Count - 1);
    RecalculateHeader();
    Rewind.Release();
}

// --- column drag ---------------------------------------------------------------

void TLTHeader::PrepareDrag(fw::TPoint P, fw::TPoint Start) {
    FColumns->DropTarget = NoColumn;
    FColumns->DragIndex = FColumns->ColumnFromPosition(P);
    TLazyTreeColumn* C = FColumns->Items(FColumns->DragIndex);
    if (!FOwner || !C) return;
    const fw::TRect HR = FOwner->HeaderRect();
    fw::TBitmap Whole(std::max(1, HR.Width()), std::max(1, HR.Height()));
    FColumns->PaintHeader(Whole.Canvas(), {0, 0, HR.Width(), HR.Height()}, 0);
    const int Left = C->Left() + FOwner->OffsetX();
    fw::TBitmap Button(std::max(1, C->Width()), std::max(1, HR.Height()));
    Button.Canvas().BitBlt(0, 0, C->Width(), HR.Height(), Whole.Canvas(), Left, 0, fw::SRCCOPY);
    const fw::TPoint Origin = FOwner->ClientToScreen({Left, HR.Top});
    FDragImage->MoveRestriction = (FOptions & hoRestrictDrag) ? dmrHorizontalOnly : dmrNone;
    FDragImage->PrepareDrag(Button, Origin, {Start.X - Left, Start.Y - HR.Top});
    FDragImage->ShowDragImage();
}

void TLTHeader::DragTo(fw::TPoint P) {
    const TColumnIndex Candidate = FColumns->ColumnFromPosition(P);
    bool NeedRepaint = Candidate != FColumns->DropTarget;
    if (TLazyTreeColumn* C = FColumns->Items(Candidate)) {
        const int Middle = C->Left() + (FOwner ? FOwner->OffsetX() : 0) + C->Width() / 2;
        const bool Before = P.X < Middle;
        if (Before != FColumns->DropBefore) {
            FColumns->DropBefore = Before;
            NeedRepaint = true;
        }
    }
    if (NeedRepaint) {
        Invalidate(FColumns->Items(FColumns->DropTarget));
        FColumns->DropTarget = Candidate;
        Invalidate(FColumns->Items(Candidate));
    }
    if (FOwner) FDragImage->DragTo(FOwner->ClientToScreen(P));
}

void TLTHeader::HeaderTimerTick() {
    if (!FOwner) return;
    const fw::TPoint P = FOwner->ScreenToClient(fw::GetCursorPos());
    const TColumnIndex Under = InHeader(P) ? FColumns->ColumnFromPosition(P) : InvalidColumn;
    if (!InHeader(P) || (FColumns->DownIndex >= 0 && Under != FColumns->DownIndex) ||
        (FColumns->DownIndex < 0 && Under != FColumns->HoverIndex)) {
        if (FOwner->HandleAllocated()) fw::KillTimer(FOwner->Handle(), HeaderTimer);
        FColumns->HoverIndex = NoColumn;
        FColumns->ClickIndex = NoColumn;
        FColumns->DownIndex = NoColumn;
        Invalidate();
    }
}

// --- messages --------------------------------------------------------------------

namespace {

constexpr TLTHeaderRunState Tracking = hrsDragging | hrsDragPending | hrsResizing | hrsResizePending;

} // namespace

void TLTHeader::StopOwnerTimer(std::uintptr_t Id) {
    if (FOwner && FOwner->HandleAllocated()) fw::KillTimer(FOwner->Handle(), Id);
}

void TLTHeader::EndTracking() {
    if (States & Tracking) FOwner->SetMouseCapture(false);
    if (States & hrsDragging) {
        FDragImage->EndDrag();
        FColumns->DropTarget = NoColumn;
        Invalidate();
    }
    States &= static_cast<TLTHeaderRunState>(~Tracking);
}

bool TLTHeader::HandleMessage(fw::TMessage& Message) {
    if (!FOwner) return false;
    switch (Message.Msg) {
    case fw::WM_LBUTTONDOWN:
    case fw::WM_RBUTTONDOWN:
    case fw::WM_MBUTTONDOWN:
        return HandleButtonDown(Message);
    case fw::WM_MOUSEMOVE:
        return HandleMouseMove(Message);
    case fw::WM_LBUTTONUP:
        return HandleLeftButtonUp(Message);
    case fw::WM_RBUTTONUP:
    case fw::WM_MBUTTONUP:
        return HandleOtherButtonUp(Message);
    case fw::WM_LBUTTONDBLCLK:
    case fw::WM_RBUTTONDBLCLK:
    case fw::WM_MBUTTONDBLCLK:
        return HandleDoubleClick(Message);
    case fw::WM_SETCURSOR:
        return HandleSetCursor(Message);
    case fw::WM_KEYDOWN:
        if (Message.WParam == fw::VK_ESCAPE && (States & Tracking)) {
            EndTracking();
            return true;
        }
        return false;
    case fw::WM_KILLFOCUS:
        if (States & Tracking) EndTracking();
        return false;
    case fw::WM_TIMER:
        if (Message.WParam != HeaderTimer) return false;
        HeaderTimerTick();
        return true;
    default:
        return false;
    }
}

bool TLTHeader::HandleButtonDown(fw::TMessage& Message) {
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (!InHeader(P)) return false;
    const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
    if (Message.Msg != fw::WM_LBUTTONDOWN) {
        FOwner->DoHeaderMouseDown(Message.Msg == fw::WM_RBUTTONDOWN ? fw::mbRight : fw::mbMiddle,
                                  Shift, P.X, P.Y);
        return true;
    }
    fw::Application()->CancelHint();
    StopOwnerTimer(ScrollTimer);
    FOwner->DoStateChange({}, {tsScrollPending, tsScrolling, tsEditPending});
    StopOwnerTimer(EditTimer);
    DragStart = FOwner->ClientToScreen(P);
    FOwner->DoHeaderMouseDown(fw::mbLeft, Shift, P.X, P.Y);
    TLazyTreeColumns& C = *FColumns;
    if ((FOptions & hoColumnResize) && DetermineSplitterIndex(P)) {
        C.HoverIndex = NoColumn;
        TrackPoint = P;
        States |= hrsResizePending;
        FOwner->SetMouseCapture(true);
        return true;
    }
    const TColumnIndex Under = C.ColumnFromPosition(P);
    const TColumnIndex Old = C.DownIndex;
    TLazyTreeColumn* U = C.Items(Under);
    C.DownIndex = U && (U->Options() & (coAllowClick | coEnabled)) == (coAllowClick | coEnabled)
                      ? Under
                      : NoColumn;
    Invalidate(C.Items(Old));
    Invalidate(C.Items(C.DownIndex));
    if ((FOptions & hoDrag) && U && C.DownIndex == Under && (U->Options() & coDraggable)) {
        States |= hrsDragPending;
        FOwner->SetMouseCapture(true);
    }
    return true;
}

bool TLTHeader::HandleMouseMove(fw::TMessage& Message) {
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (States & Tracking) {
        TrackMouse(P);
        return true;
    }
    if (!InHeader(P)) return false;
    TLazyTreeColumns& C = *FColumns;
    FOwner->DoHeaderMouseMove(fw::KeysToShiftState(Message.WParam), P.X, P.Y);
    const TColumnIndex Under = C.ColumnFromPosition(P);
    const TColumnIndex Hover = (FOptions & hoHotTrack) && C.IsValidColumn(Under) ? Under : NoColumn;
    if (Hover != C.HoverIndex || (C.DownIndex >= 0 && Under != C.DownIndex)) {
        Invalidate(C.Items(C.HoverIndex));
        C.HoverIndex = Hover;
        Invalidate(C.Items(C.HoverIndex));
        if (FOwner->HandleAllocated())
            fw::SetTimer(FOwner->Handle(), HeaderTimer, HeaderTimerInterval);
    }
    return true;
}

// A move while resizing or dragging a column (or about to).
void TLTHeader::TrackMouse(fw::TPoint P) {
    TLazyTreeColumns& C = *FColumns;
    if (States & hrsResizePending) {
        StopOwnerTimer(HeaderTimer);
        States = static_cast<TLTHeaderRunState>((States & ~hrsResizePending) | hrsResizing);
    }
    if (States & hrsResizing) {
        if (TLazyTreeColumn* T = C.Items(C.TrackIndex)) T->SetWidth(P.X - TrackStart);
    } else if (States & hrsDragPending) {
        const fw::TPoint Screen = FOwner->ClientToScreen(P);
        const bool Moved = std::abs(Screen.X - DragStart.X) > DragThreshold ||
                           std::abs(Screen.Y - DragStart.Y) > DragThreshold;
        if ((FOptions & hoDrag) && C.DownIndex >= 0 && Moved &&
            FOwner->DoHeaderDragging(C.DownIndex)) {
            StopOwnerTimer(HeaderTimer);
            const fw::TPoint Start = FOwner->ScreenToClient(DragStart);
            Invalidate(C.Items(C.DownIndex));
            Invalidate(C.Items(C.HoverIndex));
            C.DownIndex = NoColumn;
            C.HoverIndex = NoColumn;
            PrepareDrag(Start, Start);
            States = static_cast<TLTHeaderRunState>((States & ~hrsDragPending) | hrsDragging);
        }
    } else if (States & hrsDragging) {
        DragTo(P);
    }
}

bool TLTHeader::HandleLeftButtonUp(fw::TMessage& Message) {
    TLazyTreeColumns& C = *FColumns;
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    const bool WasTracking = (States & Tracking) != 0;
    if (!WasTracking && !InHeader(P) && C.DownIndex < 0) return false;
    fw::Application()->CancelHint();
    const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
    if (WasTracking) FOwner->SetMouseCapture(false);
    if (States & hrsDragging) DropColumn(P);
    if (!WasTracking || C.DownIndex >= 0) C.HandleClick(P, fw::mbLeft, false, false);
    FOwner->DoHeaderMouseUp(fw::mbLeft, Shift, P.X, P.Y);
    Invalidate(C.Items(C.TrackIndex));
    Invalidate(C.Items(C.DownIndex));
    C.TrackIndex = NoColumn;
    C.DownIndex = NoColumn;
    States &= static_cast<TLTHeaderRunState>(~Tracking);
    return true;
}

// The end of a column drag: a new position over the tree, else dragged out.
void TLTHeader::DropColumn(fw::TPoint P) {
    TLazyTreeColumns& C = *FColumns;
    FDragImage->EndDrag();
    TLazyTreeColumn* Dragged = C.Items(C.DragIndex);
    TLazyTreeColumn* Target = C.Items(C.DropTarget);
    const bool OverTree = FOwner->ClientRect().Contains(P);
    if (Dragged && Target && Target != Dragged && OverTree) {
        const int OldPos = static_cast<int>(Dragged->Position());
        const int TargetPos = static_cast<int>(Target->Position());
        const bool FromRight = OldPos > TargetPos;
        int NewPos;
        if (C.DropBefore)
            NewPos = FromRight ? TargetPos : std::max(0, TargetPos - 1);
        else
            NewPos = FromRight ? TargetPos + 1 : TargetPos;
        Dragged->SetPosition(static_cast<TColumnPosition>(NewPos));
        FOwner->DoHeaderDragged(C.DragIndex, OldPos);
    } else if (Dragged) {
        FOwner->DoHeaderDraggedOut(C.DragIndex, FOwner->ClientToScreen(P));
    }
    C.DropTarget = NoColumn;
    Invalidate();
}

bool TLTHeader::HandleOtherButtonUp(fw::TMessage& Message) {
    TLazyTreeColumns& C = *FColumns;
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (!InHeader(P) || (States & Tracking)) return false;
    const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
    const fw::TMouseButton Button = Message.Msg == fw::WM_RBUTTONUP ? fw::mbRight : fw::mbMiddle;
    if (Button == fw::mbRight) fw::Application()->CancelHint();
    C.HandleClick(P, Button, true, false);
    FOwner->DoHeaderMouseUp(Button, Shift, P.X, P.Y);
    C.DownIndex = NoColumn;
    if (Button != fw::mbRight) return true;
    C.TrackIndex = NoColumn;
    if (FPopupMenu) {
        StopOwnerTimer(ScrollTimer);
        StopOwnerTimer(HeaderTimer);
        C.HoverIndex = NoColumn;
        FOwner->DoStateChange({}, {tsScrollPending, tsScrolling});
        FPopupMenu->SetPopupComponent(FOwner);
        const fw::TPoint S = FOwner->ClientToScreen(P);
        FPopupMenu->Popup(S.X, S.Y);
    }
    return true;
}

bool TLTHeader::HandleDoubleClick(fw::TMessage& Message) {
    TLazyTreeColumns& C = *FColumns;
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (!InHeader(P)) return false;
    const fw::TMouseButton Button = Message.Msg == fw::WM_LBUTTONDBLCLK   ? fw::mbLeft
                                    : Message.Msg == fw::WM_RBUTTONDBLCLK ? fw::mbRight
                                                                          : fw::mbMiddle;
    if ((FOptions & hoDblClickResize) && DetermineSplitterIndex(P)) {
        if (TLazyTreeColumn* T = C.Items(C.TrackIndex))
            C.AnimatedResize(C.TrackIndex,
                             std::max(T->MinWidth(), FOwner->GetMaxColumnWidth(C.TrackIndex)));
    } else {
        C.HandleClick(P, Button, true, true);
    }
    if (C.ClickIndex >= 0)
        FOwner->DoHeaderDblClick(C.ClickIndex, Button,
                                 fw::KeysToShiftState(Message.WParam) | fw::ssDouble, P.X, P.Y);
    return true;
}

bool TLTHeader::HandleSetCursor(fw::TMessage& Message) {
    if (States & Tracking) {
        Message.Result = 1;
        return true;
    }
    const fw::TPoint P = FOwner->ScreenToClient(fw::GetCursorPos());
    if (!InHeader(P) || !(FOptions & hoColumnResize)) return false;
    const fw::TCursor Cursor = HeaderCursorAt(*this, P);
    if (Cursor == fw::crDefault) return false;
    fw::SetCurrentCursor(Cursor);
    Message.Result = 1;
    return true;
}

// Under the mouse: the header's cursor, or crDefault when the header has no say.
fw::TCursor HeaderCursorAt(TLTHeader& Header, fw::TPoint P) {
    if (!Header.InHeader(P) || !(Header.Options() & hoColumnResize)) return fw::crDefault;
    const TColumnIndex Keep = Header.Columns().TrackIndex;
    const int KeepStart = Header.TrackStart;
    fw::TCursor Cursor = Header.DetermineSplitterIndex(P) ? crHeaderSplit : fw::crDefault;
    Header.Columns().TrackIndex = Keep;
    Header.TrackStart = KeepStart;
    if (Header.Treeview()) Header.Treeview()->DoGetHeaderCursor(Cursor);
    return Cursor;
}

void TLazyTreeColumns::HandleClick(fw::TPoint P, fw::TMouseButton Button, bool Force,
                                   bool DblClick) {
    const TColumnIndex Under = ColumnFromPosition(P);
    TLazyTreeColumn* C = Items(Under);
    if (C && (C->Options() & coAllowClick) && (Force || Under == DownIndex)) {
        ClickIndex = Under;
        fw::TShiftState Shift = TLTHeader::GetShiftState();
        if (DblClick) Shift |= fw::ssDouble;
        if (FHeader && FHeader->Treeview())
            FHeader->Treeview()->DoHeaderClick(Under, Button, Shift, P.X, P.Y);
        if (FHeader) FHeader->Invalidate(C);
    } else {
        ClickIndex = NoColumn;
    }
}

} // namespace vel
