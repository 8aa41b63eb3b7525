// The header object: settings, stream, hit tests and mouse handling.
#include "LazyTreeHeader.h"
#include "Input.h"
#include "LazyTreeStreams.h"
#include "LazyTrees.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

// How far the mouse must travel before a pressed column starts to drag.
constexpr int DragThreshold = 4;
constexpr unsigned HeaderTimerInterval = 50;

bool TreeLoading(const TBaseLazyTree* Tree) {
    return Tree && Tree->IsLoading();
}

template <class F> struct TScopeExit {
    F Fn;
    ~TScopeExit() { Fn(); }
};
template <class F> TScopeExit(F) -> TScopeExit<F>;

} // namespace

TLTHeader::TLTHeader(TBaseLazyTree* AOwner)
    : Owner_(AOwner), Columns_(std::make_unique<TLazyTreeColumns>(this)),
      Background_(fw::clBtnFace), DragImage_(std::make_unique<TLTDragImage>()) {
    DragImage_->Transparency = 140;
    DragImage_->PostBlendBias = 206;
    DragImage_->Fade = false;
    DragImage_->MoveRestriction = dmrNone;
    Font_.OnChange = [this](fw::TObject*) { Invalidate(); };
}

TLTHeader::~TLTHeader() {
    DragImage_.reset();
    Font_.OnChange = nullptr;
    Columns_->Clearing = true;
    Columns_.reset();
}

bool TLTHeader::Loading() const {
    return (States & hrsLoading) || TreeLoading(Owner_);
}

void TLTHeader::SetHeight(unsigned Value) {
    if (Height_ == Value) return;
    Height_ = Value;
    if (!Loading()) RecalculateHeader();
}

void TLTHeader::SetFont(const fw::TFont& Value) {
    Font_.Assign(Value);
    ParentFont_ = false;
}

void TLTHeader::SetParentFont(bool Value) {
    if (ParentFont_ == Value) return;
    ParentFont_ = Value;
    if (Value && Owner_) Font_.Assign(Owner_->Font());
}

void TLTHeader::SetOptions(TLTHeaderOptions Value) {
    const TLTHeaderOptions Changes = Options_ ^ Value;
    if (!Changes) return;
    Options_ = Value;
    if ((Changes & hoAutoResize) && Columns_->Count() > 0) {
        Columns_->AdjustAutoSize(InvalidColumn);
        if (Owner_) {
            Owner_->UpdateHorizontalScrollBar(false);
            if (Value & hoAutoResize) Owner_->Invalidate();
        }
    }
    if (Changes & hoVisible) RecalculateHeader();
    if (Owner_ && Owner_->HandleAllocated() && !Loading()) {
        Invalidate();
        Owner_->Invalidate();
    }
}

void TLTHeader::SetStyle(TLTHeaderStyle Value) {
    if (Style_ == Value) return;
    Style_ = Value;
    if (!Loading()) Invalidate();
}

void TLTHeader::SetBackground(fw::TColor Value) {
    if (Background_ == Value) return;
    Background_ = Value;
    Invalidate();
}

void TLTHeader::SetAutoSizeIndex(TColumnIndex Value) {
    if (AutoSizeIndex_ == Value) return;
    AutoSizeIndex_ = Value;
    if (Options_ & hoAutoResize) Columns_->AdjustAutoSize(InvalidColumn);
}

TColumnIndex TLTHeader::MainColumn() const {
    return Columns_->Count() > 0 ? MainColumn_ : NoColumn;
}

void TLTHeader::SetMainColumn(TColumnIndex Value) {
    if (Loading()) {
        MainColumn_ = Value;
        return;
    }
    if (Columns_->Count() == 0)
        Value = NoColumn;
    else
        Value = std::clamp(Value, 0, Columns_->Count() - 1);
    if (Value == MainColumn_) return;
    MainColumn_ = Value;
    if (!Owner_) return;
    Owner_->MainColumnChanged();
    if (!(Owner_->SelectionOptions() & toExtendedFocus)) Owner_->SetFocusedColumn(Value);
    Owner_->Invalidate();
}

void TLTHeader::SetImages(fw::TImageList* Value) {
    if (Images_ == Value) return;
    Images_ = Value;
    if (!Loading()) Invalidate();
}

void TLTHeader::SetSortColumn(TColumnIndex Value) {
    if (Loading()) {
        SortColumn_ = Value;
        return;
    }
    Value = std::clamp(Value, NoColumn, Columns_->Count() - 1);
    if (Value == SortColumn_) return;
    Invalidate(Columns_->Items(SortColumn_));
    SortColumn_ = Value;
    Invalidate(Columns_->Items(SortColumn_));
    if (Owner_ && (Owner_->AutoOptions() & toAutoSort) && Owner_->UpdateCount() == 0)
        Owner_->SortTree(SortColumn_, SortDirection_, true);
}

void TLTHeader::SetSortDirection(TSortDirection Value) {
    if (Value == SortDirection_) return;
    SortDirection_ = Value;
    Invalidate();
    if (Owner_ && (Owner_->AutoOptions() & toAutoSort) && Owner_->UpdateCount() == 0)
        Owner_->SortTree(SortColumn_, SortDirection_, true);
}

void TLTHeader::ColumnRemoved(TColumnIndex Index) {
    auto Shift = [Index](TColumnIndex& I) {
        if (I == Index)
            I = NoColumn;
        else if (I > Index)
            --I;
    };
    Shift(AutoSizeIndex_);
    Shift(SortColumn_);
    if (MainColumn_ == Index) {
        // The collection still holds the column; the first other column takes over.
        MainColumn_ = Columns_->Count() > 1 ? 0 : NoColumn;
        if (Owner_) Owner_->MainColumnChanged();
    } else if (MainColumn_ > Index)
        --MainColumn_;
}

void TLTHeader::ColumnsCleared() {
    AutoSizeIndex_ = NoColumn;
    MainColumn_ = NoColumn;
    SortColumn_ = NoColumn;
}

void TLTHeader::Assign(const TLTHeader& Source) {
    AutoSizeIndex_ = Source.AutoSizeIndex_;
    Background_ = Source.Background_;
    Columns_->Assign(*Source.Columns_);
    Font_.Assign(Source.Font_);
    Height_ = Source.Height_;
    Images_ = Source.Images_;
    MainColumn_ = Source.MainColumn_;
    Options_ = Source.Options_;
    ParentFont_ = Source.ParentFont_;
    PopupMenu_ = Source.PopupMenu_;
    SortColumn_ = Source.SortColumn_;
    SortDirection_ = Source.SortDirection_;
    Style_ = Source.Style_;
    RecalculateHeader();
}

void TLTHeader::ChangeScale(int M, int D) {
    if (D == 0) return;
    const long long Scaled = static_cast<long long>(Font_.Size()) * M / D;
    Font_.SetSize(static_cast<int>(Scaled));
}

void TLTHeader::RecalculateHeader() {
    if (!Owner_) return;
    // The rectangle is kept current even before the window exists: the tree
    // can be painted into a picture without one.
    Owner_->UpdateHeaderRect();
    if (Owner_->HandleAllocated()) Owner_->Invalidate();
}

void TLTHeader::Invalidate(TLazyTreeColumn* Column, bool ExpandToBorder) {
    if (!(Options_ & hoVisible) || !Owner_ || !Owner_->HandleAllocated()) return;
    fw::TRect R = Owner_->HeaderRect();
    if (Column) {
        const fw::TRect C = Column->GetRect();
        R.Left = C.Left + Owner_->OffsetX();
        if (!ExpandToBorder) R.Right = C.Right + Owner_->OffsetX();
    }
    Owner_->InvalidateRect(R);
}

bool TLTHeader::InHeader(fw::TPoint P) const {
    if (!Owner_ || !(Options_ & hoVisible)) return false;
    const fw::TRect R = Owner_->HeaderRect();
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
    Columns_->TrackIndex = NoColumn;
    const int Offset = Owner_ ? Owner_->OffsetX() : 0;
    int Right = Offset + Columns_->TotalWidth();
    const auto& Order = Columns_->PositionToIndex;
    for (auto It = Order.rbegin(); It != Order.rend(); ++It) {
        TLazyTreeColumn* C = Columns_->Items(*It);
        if (!C || !(C->Options() & coVisible)) continue;
        if (Right - 3 < P.X && P.X < Right + 5) {
            if (!(C->Options() & coResizable)) return false;
            Columns_->TrackIndex = *It;
            TrackStart = Right - C->Width();
            return true;
        }
        Right -= C->Width();
    }
    return false;
}

void TLTHeader::AutoFitColumns(bool Animated) {
    if (!Owner_) return;
    for (TColumnIndex I : std::vector<TColumnIndex>(Columns_->PositionToIndex)) {
        TLazyTreeColumn* C = Columns_->Items(I);
        if (!C || (C->Options() & (coResizable | coVisible)) != (coResizable | coVisible)) continue;
        const int W = Owner_->GetMaxColumnWidth(I);
        if (Animated)
            Columns_->AnimatedResize(I, W);
        else
            C->SetWidth(W);
    }
}

void TLTHeader::RestoreColumns() {
    const auto Order = Columns_->PositionToIndex;
    for (auto It = Order.rbegin(); It != Order.rend(); ++It) {
        TLazyTreeColumn* C = Columns_->Items(*It);
        if (C && (C->Options() & (coResizable | coVisible)) == (coResizable | coVisible))
            C->RestoreLastWidth();
    }
}

// --- stream ------------------------------------------------------------------

void TLTHeader::SaveToStream(TLTWriter& S) const {
    S.WriteInt(-1);
    S.WriteInt(3);
    Columns_->SaveToStream(S);
    S.WriteInt(AutoSizeIndex_);
    S.WriteInt(Background_);
    S.WriteInt(static_cast<std::int32_t>(Height_));
    S.WriteInt(Options_);
    S.WriteInt(static_cast<int>(Style_));
    S.WriteInt(Font_.Color());
    S.WriteInt(Font_.Height());
    const std::string& Name = Font_.Name();
    S.WriteInt(static_cast<std::int32_t>(Name.size()));
    S.WriteBytes(Name.data(), Name.size());
    S.WriteInt(0); // pitch: the built-in face has only the default
    S.WriteInt(Font_.Style());
    S.WriteInt(MainColumn_);
    S.WriteInt(SortColumn_);
    S.WriteInt(static_cast<int>(SortDirection_));
}

void TLTHeader::LoadFromStream(TLTReader& S) {
    States |= hrsLoading;
    const TLTHeaderOptions SavedOptions = Options_;
    Options_ = 0;
    bool Done = false;
    TScopeExit Guard{[&] {
        // A failed read leaves the header loading no longer, with its options back.
        if (!Done) Options_ = SavedOptions;
        States &= static_cast<TLTHeaderRunState>(~hrsLoading);
    }};
    int Version = S.ReadInt();
    if (Version >= 0) {
        S.Seek(S.Position() - 4);
        Version = -1;
    } else {
        Version = S.ReadInt();
    }
    Columns_->LoadFromStream(S, Version);
    const int AutoSize = S.ReadInt();
    const int Back = S.ReadInt();
    const int H = S.ReadInt();
    const int Opts = S.ReadInt();
    const int St = S.ReadInt();
    const int FontColor = S.ReadInt();
    const int FontHeight = S.ReadInt();
    const std::int32_t NameLength = S.ReadInt();
    if (NameLength < 0 || static_cast<std::size_t>(NameLength) > S.Remaining())
        throw EReadError("Stream read error: bad font name length");
    std::string Name(static_cast<std::size_t>(NameLength), '\0');
    S.ReadBytes(Name.data(), Name.size());
    S.ReadInt(); // pitch
    const int FontStyle = S.ReadInt();
    int Main = MainColumn_, Sort = SortColumn_, Dir = static_cast<int>(SortDirection_);
    if (Version > 0) {
        Main = S.ReadInt();
        Sort = S.ReadInt();
        Dir = S.ReadInt();
    }
    if (H < 0) throw EReadError("Stream read error: bad header height");
    AutoSizeIndex_ = AutoSize;
    Background_ = Back;
    Height_ = static_cast<unsigned>(H);
    Options_ = SavedOptions;
    Style_ = St >= 0 && St <= 3 ? static_cast<TLTHeaderStyle>(St) : hsThickButtons;
    Font_.SetColor(FontColor);
    Font_.SetHeight(FontHeight);
    Font_.SetName(Name);
    Font_.SetStyle(static_cast<fw::TFontStyles>(FontStyle & 0x0F));
    MainColumn_ = Main;
    SortColumn_ = Sort;
    SortDirection_ = Dir == 1 ? sdDescending : sdAscending;
    Done = true;
    States &= static_cast<TLTHeaderRunState>(~hrsLoading);
    SetOptions(static_cast<TLTHeaderOptions>(Opts & 0xFFFF));
    // Values stored while loading are clamped once the columns are known.
    const int Count = Columns_->Count();
    MainColumn_ = Count ? std::clamp(MainColumn_, 0, Count - 1) : NoColumn;
    SortColumn_ = std::clamp(SortColumn_, NoColumn, Count - 1);
    RecalculateHeader();
}

void TLTHeader::SaveToStream(TLTStream& Stream) const {
    std::vector<std::uint8_t> Bytes;
    TLTWriter W(Bytes);
    SaveToStream(W);
    Stream.WriteBuffer(Bytes.data(), Bytes.size());
}

void TLTHeader::LoadFromStream(TLTStream& Stream) {
    // A header is small; more than this is no header of ours.
    constexpr std::int64_t MaxHeaderBytes = 16 << 20;
    const std::int64_t Start = Stream.Position();
    const std::int64_t Available = std::clamp<std::int64_t>(Stream.Remaining(), 0, MaxHeaderBytes);
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Available));
    Stream.ReadBuffer(Bytes.data(), Bytes.size());
    TLTReader R(Bytes);
    try {
        LoadFromStream(R);
    } catch (...) {
        Stream.SetPosition(Start);
        throw;
    }
    Stream.SetPosition(Start + static_cast<std::int64_t>(R.Position()));
}

// --- column drag ---------------------------------------------------------------

void TLTHeader::PrepareDrag(fw::TPoint P, fw::TPoint Start) {
    Columns_->DropTarget = NoColumn;
    Columns_->DragIndex = Columns_->ColumnFromPosition(P);
    TLazyTreeColumn* C = Columns_->Items(Columns_->DragIndex);
    if (!Owner_ || !C) return;
    const fw::TRect HR = Owner_->HeaderRect();
    fw::TBitmap Whole(std::max(1, HR.Width()), std::max(1, HR.Height()));
    Columns_->PaintHeader(Whole.Canvas(), {0, 0, HR.Width(), HR.Height()}, 0);
    const int Left = C->Left() + Owner_->OffsetX();
    fw::TBitmap Button(std::max(1, C->Width()), std::max(1, HR.Height()));
    Button.Canvas().BitBlt(0, 0, C->Width(), HR.Height(), Whole.Canvas(), Left, 0, fw::SRCCOPY);
    const fw::TPoint Origin = Owner_->ClientToScreen({Left, HR.Top});
    DragImage_->MoveRestriction = (Options_ & hoRestrictDrag) ? dmrHorizontalOnly : dmrNone;
    DragImage_->PrepareDrag(Button, Origin, {Start.X - Left, Start.Y - HR.Top});
    DragImage_->ShowDragImage();
}

void TLTHeader::DragTo(fw::TPoint P) {
    const TColumnIndex Candidate = Columns_->ColumnFromPosition(P);
    bool NeedRepaint = Candidate != Columns_->DropTarget;
    if (TLazyTreeColumn* C = Columns_->Items(Candidate)) {
        const int Middle = C->Left() + (Owner_ ? Owner_->OffsetX() : 0) + C->Width() / 2;
        const bool Before = P.X < Middle;
        if (Before != Columns_->DropBefore) {
            Columns_->DropBefore = Before;
            NeedRepaint = true;
        }
    }
    if (NeedRepaint) {
        Invalidate(Columns_->Items(Columns_->DropTarget));
        Columns_->DropTarget = Candidate;
        Invalidate(Columns_->Items(Candidate));
    }
    if (Owner_) DragImage_->DragTo(Owner_->ClientToScreen(P));
}

void TLTHeader::HeaderTimerTick() {
    if (!Owner_) return;
    const fw::TPoint P = Owner_->ScreenToClient(fw::GetCursorPos());
    const TColumnIndex Under = InHeader(P) ? Columns_->ColumnFromPosition(P) : InvalidColumn;
    if (!InHeader(P) || (Columns_->DownIndex >= 0 && Under != Columns_->DownIndex) ||
        (Columns_->DownIndex < 0 && Under != Columns_->HoverIndex)) {
        if (Owner_->HandleAllocated()) fw::KillTimer(Owner_->Handle(), HeaderTimer);
        Columns_->HoverIndex = NoColumn;
        Columns_->ClickIndex = NoColumn;
        Columns_->DownIndex = NoColumn;
        Invalidate();
    }
}

// --- messages --------------------------------------------------------------------

bool TLTHeader::HandleMessage(fw::TMessage& Message) {
    if (!Owner_) return false;
    TLazyTreeColumns& C = *Columns_;
    const TLTHeaderRunState Tracking =
        hrsDragging | hrsDragPending | hrsResizing | hrsResizePending;
    auto StopTimer = [this](std::uintptr_t Id) {
        if (Owner_->HandleAllocated()) fw::KillTimer(Owner_->Handle(), Id);
    };
    auto EndTracking = [&] {
        if (States & (hrsDragging | hrsDragPending | hrsResizing | hrsResizePending))
            Owner_->SetMouseCapture(false);
        if (States & hrsDragging) {
            DragImage_->EndDrag();
            C.DropTarget = NoColumn;
            Invalidate();
        }
        States &= static_cast<TLTHeaderRunState>(~Tracking);
    };

    switch (Message.Msg) {
    case fw::WM_LBUTTONDOWN:
    case fw::WM_RBUTTONDOWN:
    case fw::WM_MBUTTONDOWN: {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (!InHeader(P)) return false;
        const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
        if (Message.Msg == fw::WM_RBUTTONDOWN) {
            Owner_->DoHeaderMouseDown(fw::mbRight, Shift, P.X, P.Y);
            return true;
        }
        if (Message.Msg == fw::WM_MBUTTONDOWN) {
            Owner_->DoHeaderMouseDown(fw::mbMiddle, Shift, P.X, P.Y);
            return true;
        }
        StopTimer(ScrollTimer);
        Owner_->DoStateChange({}, {tsScrollPending, tsScrolling, tsEditPending});
        StopTimer(EditTimer);
        DragStart = Owner_->ClientToScreen(P);
        Owner_->DoHeaderMouseDown(fw::mbLeft, Shift, P.X, P.Y);
        if ((Options_ & hoColumnResize) && DetermineSplitterIndex(P)) {
            C.HoverIndex = NoColumn;
            TrackPoint = P;
            States |= hrsResizePending;
            Owner_->SetMouseCapture(true);
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
        if ((Options_ & hoDrag) && U && C.DownIndex == Under && (U->Options() & coDraggable)) {
            States |= hrsDragPending;
            Owner_->SetMouseCapture(true);
        }
        return true;
    }
    case fw::WM_MOUSEMOVE: {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (States & Tracking) {
            if (States & hrsResizePending) {
                StopTimer(HeaderTimer);
                States = static_cast<TLTHeaderRunState>((States & ~hrsResizePending) | hrsResizing);
            }
            if (States & hrsResizing) {
                if (TLazyTreeColumn* T = C.Items(C.TrackIndex)) T->SetWidth(P.X - TrackStart);
            } else if (States & hrsDragPending) {
                const fw::TPoint Screen = Owner_->ClientToScreen(P);
                if ((Options_ & hoDrag) && C.DownIndex >= 0 &&
                    (std::abs(Screen.X - DragStart.X) > DragThreshold ||
                     std::abs(Screen.Y - DragStart.Y) > DragThreshold) &&
                    Owner_->DoHeaderDragging(C.DownIndex)) {
                    StopTimer(HeaderTimer);
                    const fw::TPoint Start = Owner_->ScreenToClient(DragStart);
                    Invalidate(C.Items(C.DownIndex));
                    Invalidate(C.Items(C.HoverIndex));
                    C.DownIndex = NoColumn;
                    C.HoverIndex = NoColumn;
                    PrepareDrag(Start, Start);
                    States =
                        static_cast<TLTHeaderRunState>((States & ~hrsDragPending) | hrsDragging);
                }
            } else if (States & hrsDragging) {
                DragTo(P);
            }
            return true;
        }
        if (!InHeader(P)) return false;
        Owner_->DoHeaderMouseMove(fw::KeysToShiftState(Message.WParam), P.X, P.Y);
        const TColumnIndex Under = C.ColumnFromPosition(P);
        const TColumnIndex Hover =
            (Options_ & hoHotTrack) && C.IsValidColumn(Under) ? Under : NoColumn;
        if (Hover != C.HoverIndex || (C.DownIndex >= 0 && Under != C.DownIndex)) {
            Invalidate(C.Items(C.HoverIndex));
            C.HoverIndex = Hover;
            Invalidate(C.Items(C.HoverIndex));
            if (Owner_->HandleAllocated())
                fw::SetTimer(Owner_->Handle(), HeaderTimer, HeaderTimerInterval);
        }
        return true;
    }
    case fw::WM_LBUTTONUP: {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        const bool WasTracking = (States & Tracking) != 0;
        if (!WasTracking && !InHeader(P) && C.DownIndex < 0) return false;
        const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
        if (WasTracking) Owner_->SetMouseCapture(false);
        if (States & hrsDragging) {
            DragImage_->EndDrag();
            TLazyTreeColumn* Dragged = C.Items(C.DragIndex);
            TLazyTreeColumn* Target = C.Items(C.DropTarget);
            const fw::TRect Client{0, 0, Owner_->Width(), Owner_->Height()};
            const bool OverTree = P.X >= Client.Left && P.X < Client.Right && P.Y >= Client.Top &&
                                  P.Y < Client.Bottom;
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
                Owner_->DoHeaderDragged(C.DragIndex, OldPos);
            } else if (Dragged) {
                Owner_->DoHeaderDraggedOut(C.DragIndex, Owner_->ClientToScreen(P));
            }
            C.DropTarget = NoColumn;
            Invalidate();
        }
        if (!WasTracking) {
            C.HandleClick(P, fw::mbLeft, false, false);
            Owner_->DoHeaderMouseUp(fw::mbLeft, Shift, P.X, P.Y);
        } else {
            if (C.DownIndex >= 0) C.HandleClick(P, fw::mbLeft, false, false);
            Owner_->DoHeaderMouseUp(fw::mbLeft, Shift, P.X, P.Y);
        }
        Invalidate(C.Items(C.TrackIndex));
        Invalidate(C.Items(C.DownIndex));
        C.TrackIndex = NoColumn;
        C.DownIndex = NoColumn;
        States &= static_cast<TLTHeaderRunState>(~Tracking);
        return true;
    }
    case fw::WM_RBUTTONUP:
    case fw::WM_MBUTTONUP: {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (!InHeader(P) || (States & Tracking)) return false;
        const fw::TShiftState Shift = fw::KeysToShiftState(Message.WParam);
        const fw::TMouseButton Button =
            Message.Msg == fw::WM_RBUTTONUP ? fw::mbRight : fw::mbMiddle;
        C.HandleClick(P, Button, true, false);
        Owner_->DoHeaderMouseUp(Button, Shift, P.X, P.Y);
        C.DownIndex = NoColumn;
        if (Button == fw::mbRight) {
            C.TrackIndex = NoColumn;
            if (PopupMenu_) {
                StopTimer(ScrollTimer);
                StopTimer(HeaderTimer);
                C.HoverIndex = NoColumn;
                Owner_->DoStateChange({}, {tsScrollPending, tsScrolling});
                PopupMenu_->SetPopupComponent(Owner_);
                const fw::TPoint S = Owner_->ClientToScreen(P);
                PopupMenu_->Popup(S.X, S.Y);
            }
        }
        return true;
    }
    case fw::WM_LBUTTONDBLCLK:
    case fw::WM_RBUTTONDBLCLK:
    case fw::WM_MBUTTONDBLCLK: {
        const fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (!InHeader(P)) return false;
        const fw::TMouseButton Button = Message.Msg == fw::WM_LBUTTONDBLCLK   ? fw::mbLeft
                                        : Message.Msg == fw::WM_RBUTTONDBLCLK ? fw::mbRight
                                                                              : fw::mbMiddle;
        if ((Options_ & hoDblClickResize) && DetermineSplitterIndex(P)) {
            if (TLazyTreeColumn* T = C.Items(C.TrackIndex))
                C.AnimatedResize(C.TrackIndex,
                                 std::max(T->MinWidth(), Owner_->GetMaxColumnWidth(C.TrackIndex)));
        } else {
            C.HandleClick(P, Button, true, true);
        }
        if (C.ClickIndex >= 0)
            Owner_->DoHeaderDblClick(C.ClickIndex, Button,
                                     fw::KeysToShiftState(Message.WParam) | fw::ssDouble, P.X, P.Y);
        return true;
    }
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
        if (Message.WParam == HeaderTimer) {
            HeaderTimerTick();
            return true;
        }
        return false;
    default:
        return false;
    }
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
        if (Header_ && Header_->Treeview())
            Header_->Treeview()->DoHeaderClick(Under, Button, Shift, P.X, P.Y);
        if (Header_) Header_->Invalidate(C);
    } else {
        ClickIndex = NoColumn;
    }
}

} // namespace vel
