// Dragging nodes within and between the trees of this process.
#include "LazyTreeDragDrop.h"

#include "LazyTreeDragImage.h"
#include "LazyTreeInternal.h"

#include "Canvas.h"
#include "Input.h"
#include "NoDestroy.h"
#include "Timers.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_set>

namespace vel {

namespace {

// Trees by the number their drag manager gave them (UI thread only). Never
// destroyed: a tree freed by a late exit handler still leaves it.
std::map<std::uint32_t, TBaseLazyTree*>& LiveTrees() {
    static fw::TNoDestroy<std::map<std::uint32_t, TBaseLazyTree*>> Trees;
    return *Trees;
}

std::uint32_t NextTreeId() {
    static std::uint32_t Next = 0;
    return ++Next;
}

std::uint16_t TreeDataFormat() {
    ClipboardFormatRegistry();
    return ClipboardFormatNumber("Lazy Tree Data");
}

std::uint16_t TreeReferenceFormat() {
    ClipboardFormatRegistry();
    return ClipboardFormatNumber("Lazy Tree Reference");
}

std::uint32_t ThisProcess() {
    return static_cast<std::uint32_t>(::getpid());
}

// Copies a medium: into the object (Storing) or out of it.
HRESULT CopyMedium(const TStgMedium& Source, TStgMedium& Dest, bool Storing) {
    Dest = Source;
    switch (Source.tymed) {
    case TYMED_HGLOBAL:
        if (Storing) {
            if (!Source.hGlobal) return E_OUTOFMEMORY;
            Dest.hGlobal = std::make_shared<std::vector<std::uint8_t>>(*Source.hGlobal);
        }
        return S_OK;
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
        return Storing ? DV_E_TYMED : S_OK;
    case TYMED_FILE:
    case TYMED_ISTREAM:
        return S_OK;
    default:
        return DV_E_TYMED;
    }
}

bool SameEntry(const TFormatEtc& A, const TFormatEtc& B) {
    return A.cfFormat == B.cfFormat && A.ptd == B.ptd && A.dwAspect == B.dwAspect &&
           A.lindex == B.lindex && A.tymed == B.tymed;
}

// The tree under a screen point that takes drops, or null.
TBaseLazyTree* DropTreeAt(fw::TPoint Pt) {
    for (fw::TControl* C = fw::FindControlAtPos(Pt); C; C = C->Parent())
        if (auto* T = dynamic_cast<TBaseLazyTree*>(C))
            return (T->MiscOptions() & toAcceptOLEDrop) ? T : nullptr;
    return nullptr;
}

constexpr fw::TShiftState KeyMask = fw::ssShift | fw::ssCtrl | fw::ssAlt;

// The parts of a row that belong to the node itself, not the space around it.
constexpr THitPositions ItemArea =
    hpOnItemButton | hpOnItemCheckbox | hpOnItemLabel | hpOnNormalIcon | hpOnStateIcon;

} // namespace

TBaseLazyTree* LazyTreeFromId(std::uint32_t Id) {
    // A tree freed while a call still holds it is not found any more.
    auto It = LiveTrees().find(Id);
    return It == LiveTrees().end() || fw::Gone(It->second) ? nullptr : It->second;
}

// --- format enumerator ---------------------------------------------------------------------

HRESULT TEnumFormatEtc::Next(std::uint32_t Count, TFormatEtc* Elements, std::uint32_t* Fetched) {
    const auto Size = static_cast<std::int64_t>(FFormatEtcArray.size());
    const std::int64_t Copy = std::min<std::int64_t>(Count, Size - FCurrentIndex);
    std::uint32_t Done = 0;
    for (std::int64_t I = 0; I < Copy && Elements; ++I, ++Done)
        Elements[I] = FFormatEtcArray[static_cast<std::size_t>(FCurrentIndex + I)];
    FCurrentIndex += static_cast<std::int32_t>(Done);
    if (Fetched) *Fetched = Done;
    return Done == Count ? S_OK : S_FALSE;
}

HRESULT TEnumFormatEtc::Skip(std::uint32_t Count) {
    if (static_cast<std::int64_t>(FCurrentIndex) + Count >
        static_cast<std::int64_t>(FFormatEtcArray.size()))
        return S_FALSE;
    FCurrentIndex += static_cast<std::int32_t>(Count);
    return S_OK;
}

HRESULT TEnumFormatEtc::Reset() {
    FCurrentIndex = 0;
    return S_OK;
}

std::unique_ptr<TEnumFormatEtc> TEnumFormatEtc::Clone() const {
    auto R = std::make_unique<TEnumFormatEtc>(FTree, FFormatEtcArray);
    R->FCurrentIndex = FCurrentIndex;
    return R;
}

// --- data object ---------------------------------------------------------------------------

TLTDataObject::TLTDataObject(TBaseLazyTree* Owner, bool ForClipboard)
    : FOwnerId(Owner ? Owner->DragManager()->TreeId() : 0), FForClipboard(ForClipboard) {
    if (Owner) Owner->GetNativeClipboardFormats(FFormatEtcArray);
}

TLTDataObject::~TLTDataObject() {
    TBaseLazyTree* T = Owner();
    if (FForClipboard && T && !T->TreeStates().Contains(tsClipboardFlushing)) {
        try {
            T->CancelCutOrCopy();
        } catch (...) {
            // A destructor must not throw; the pending state is simply kept.
        }
    }
}

TBaseLazyTree* TLTDataObject::Owner() const {
    return LazyTreeFromId(FOwnerId);
}

HRESULT TLTDataObject::QueryGetData(const TFormatEtc& F) const {
    HRESULT Closest = DV_E_FORMATETC;
    for (const TFormatEtc& E : FFormatEtcArray) {
        if (E.cfFormat != F.cfFormat) continue;
        if (!(E.tymed & F.tymed)) {
            Closest = DV_E_TYMED;
        } else if (E.dwAspect != F.dwAspect) {
            if (Closest != DV_E_TYMED) Closest = DV_E_DVASPECT;
        } else if (E.lindex != F.lindex) {
            if (Closest == DV_E_FORMATETC) Closest = DV_E_LINDEX;
        } else {
            return S_OK;
        }
    }
    return Closest;
}

HRESULT TLTDataObject::GetData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium) {
    Medium = TStgMedium{};
    TBaseLazyTree* T = Owner();
    if (FormatEtcIn.cfFormat == TreeReferenceFormat()) {
        if (!T || T->TreeStates().Contains(tsClipboardFlushing)) return E_FAIL;
        TTreeReference Ref{ThisProcess(), FOwnerId};
        Medium.tymed = TYMED_HGLOBAL;
        Medium.hGlobal = std::make_shared<std::vector<std::uint8_t>>(sizeof(Ref));
        std::memcpy(Medium.hGlobal->data(), &Ref, sizeof(Ref));
        return S_OK;
    }
    const HRESULT Q = QueryGetData(FormatEtcIn);
    if (Q != S_OK) return Q;
    for (const TFormatEtc& E : FFormatEtcArray) {
        if (E.cfFormat != FormatEtcIn.cfFormat || E.ptd != FormatEtcIn.ptd ||
            E.dwAspect != FormatEtcIn.dwAspect || E.lindex != FormatEtcIn.lindex ||
            !(E.tymed & FormatEtcIn.tymed))
            continue;
        for (const TInternalStgMedium& S : FStored)
            if (S.Format == FormatEtcIn.cfFormat) return CopyMedium(S.Medium, Medium, false);
        if (!T) return E_FAIL;
        return T->RenderOLEData(FormatEtcIn, Medium, FForClipboard);
    }
    return DV_E_FORMATETC;
}

HRESULT TLTDataObject::SetData(const TFormatEtc& FormatEtc, const TStgMedium& Medium,
                               bool Release) {
    TStgMedium Kept;
    if (Release) {
        Kept = Medium;
    } else {
        const HRESULT R = CopyMedium(Medium, Kept, true);
        if (R != S_OK) return R;
    }
    bool Known = false;
    for (const TFormatEtc& E : FFormatEtcArray)
        if (SameEntry(E, FormatEtc)) Known = true;
    if (!Known) FFormatEtcArray.push_back(FormatEtc);
    auto It = std::find_if(FStored.begin(), FStored.end(), [&](const TInternalStgMedium& S) {
        return S.Format == FormatEtc.cfFormat;
    });
    if (It != FStored.end())
        It->Medium = std::move(Kept);
    else
        It = FStored.insert(FStored.end(), {FormatEtc.cfFormat, std::move(Kept)});
    if (FAdviseHolder) FAdviseHolder->SendOnDataChange(FormatEtc, It->Medium);
    return S_OK;
}

HRESULT TLTDataObject::DAdvise(const TFormatEtc& FormatEtc, std::uint32_t Advf, TAdviseSink Sink,
                               std::uint32_t& Connection) {
    if (!FAdviseHolder) FAdviseHolder = std::make_unique<TDataAdviseHolder>();
    return FAdviseHolder->Advise(FormatEtc, Advf, std::move(Sink), Connection);
}

HRESULT TLTDataObject::DUnadvise(std::uint32_t Connection) {
    return FAdviseHolder ? FAdviseHolder->Unadvise(Connection) : E_NOTIMPL;
}

HRESULT TLTDataObject::EnumDAdvise(std::vector<TStatData>& Connections) const {
    Connections.clear();
    return FAdviseHolder ? FAdviseHolder->EnumAdvise(Connections) : OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TDataAdviseHolder::Advise(const TFormatEtc& FormatEtc, std::uint32_t Advf, TAdviseSink Sink,
                                  std::uint32_t& Connection) {
    Connection = ++FLastConnection;
    FConnections.push_back({FormatEtc, Advf, std::move(Sink), Connection});
    return S_OK;
}

HRESULT TDataAdviseHolder::Unadvise(std::uint32_t Connection) {
    auto It = std::find_if(FConnections.begin(), FConnections.end(),
                           [&](const TStatData& D) { return D.Connection == Connection; });
    if (It == FConnections.end()) return OLE_E_NOCONNECTION;
    FConnections.erase(It);
    return S_OK;
}

HRESULT TDataAdviseHolder::EnumAdvise(std::vector<TStatData>& Connections) const {
    Connections = FConnections;
    return S_OK;
}

void TDataAdviseHolder::SendOnDataChange(const TFormatEtc& FormatEtc,
                                         const TStgMedium& Medium) const {
    // A copy: a sink may take its connection back while being told.
    const std::vector<TStatData> Sinks = FConnections;
    for (const TStatData& D : Sinks)
        if ((D.FormatEtc.cfFormat == 0 || D.FormatEtc.cfFormat == FormatEtc.cfFormat) && D.Sink)
            D.Sink(FormatEtc, Medium);
}

HRESULT TLTDataObject::EnumFormatEtc(TDataDir Direction, std::unique_ptr<TEnumFormatEtc>& Enum) {
    Enum.reset();
    if (Direction != DATADIR_GET) return OLE_S_USEREG;
    std::vector<TFormatEtc> Formats = FFormatEtcArray;
    TBaseLazyTree* T = Owner();
    if (T && !T->TreeStates().Contains(tsClipboardFlushing)) {
        TFormatEtc Ref;
        Ref.cfFormat = TreeReferenceFormat();
        Formats.push_back(Ref);
    }
    Enum = std::make_unique<TEnumFormatEtc>(T, std::move(Formats));
    return S_OK;
}

// --- drag manager --------------------------------------------------------------------------

TLTDragManager::TLTDragManager(TBaseLazyTree* Owner) : FOwner(Owner), FTreeId(NextTreeId()) {
    LiveTrees()[FTreeId] = Owner;
}

TLTDragManager::~TLTDragManager() {
    LiveTrees().erase(FTreeId);
    // A source that goes away mid-drag takes the drag with it.
    if (TBaseLazyTree* Target = CurrentTarget()) {
        FSession.reset();
        try {
            Target->DragManager()->DragLeave();
        } catch (...) {
            // Nothing may escape a destructor; the target has forgotten the drag all the same.
        }
    }
}

HRESULT TLTDragManager::DragEnter(std::shared_ptr<TLTDataObject> DataObject,
                                  fw::TShiftState KeyState, fw::TPoint Pt, std::uint32_t& Effect) {
    FDataObject = std::move(DataObject);
    FIsDropTarget = true;
    TBaseLazyTree* Source = TBaseLazyTree::GetTreeFromDataObject(FDataObject.get());
    FDragSourceId = Source ? Source->DragManager()->TreeId() : 0;
    return FOwner->DragEnter(KeyState, Pt, Effect);
}

HRESULT TLTDragManager::DragOver(fw::TShiftState KeyState, fw::TPoint Pt, std::uint32_t& Effect) {
    return FOwner->DragOver(GetDragSource(), KeyState, dsDragMove, Pt, Effect);
}

void TLTDragManager::ResetTarget() {
    FIsDropTarget = false;
    FDragSourceId = 0;
    FDataObject.reset();
}

HRESULT TLTDragManager::DragLeave() {
    fw::TScopeExit Reset([this] { ResetTarget(); });
    FOwner->DragLeave();
    return S_OK;
}

HRESULT TLTDragManager::Drop(std::shared_ptr<TLTDataObject> DataObject, fw::TShiftState KeyState,
                             fw::TPoint Pt, std::uint32_t& Effect) {
    fw::TScopeExit Reset([this] { ResetTarget(); });
    return FOwner->DragDrop(DataObject.get(), KeyState, Pt, Effect);
}

HRESULT TLTDragManager::QueryContinueDrag(bool EscapePressed, fw::TShiftState KeyState) const {
    const bool L = (KeyState & fw::ssLeft) != 0;
    const bool R = (KeyState & fw::ssRight) != 0;
    if ((L && R) || EscapePressed) return DRAGDROP_S_CANCEL;
    if (!L && !R) return DRAGDROP_S_DROP;
    return S_OK;
}

std::shared_ptr<TLTDataObject> TLTDragManager::GetDataObject() {
    if (FDataObject) return FDataObject;
    std::shared_ptr<TLTDataObject> R = FOwner->DoCreateDataObject();
    if (!R) R = std::make_shared<TLTDataObject>(FOwner, false);
    return R;
}

void TLTDragManager::BeginDrag(std::shared_ptr<TLTDataObject> DataObject,
                               std::uint32_t AllowedEffects) {
    FSession = std::make_unique<TSession>();
    FSession->DataObject = std::move(DataObject);
    FSession->AllowedEffects = AllowedEffects;
}

TBaseLazyTree* TLTDragManager::CurrentTarget() const {
    return FSession ? LazyTreeFromId(FSession->TargetId) : nullptr;
}

void TLTDragManager::DragMoveTo(fw::TShiftState KeyState, fw::TPoint Pt) {
    if (!FSession) return;
    TBaseLazyTree* Target = DropTreeAt(Pt);
    // The old target's handlers may free the new one: held, it is seen gone.
    const fw::TFreeGuard HoldTarget(Target ? lt::Holdable(*Target) : nullptr);
    const std::uint32_t Id = Target ? Target->DragManager()->TreeId() : 0;
    std::uint32_t Effect = FSession->AllowedEffects;
    if (Id != FSession->TargetId) {
        TBaseLazyTree* Old = CurrentTarget();
        FSession->TargetId = 0;
        FSession->Effect = 0;
        if (Old) Old->DragManager()->DragLeave();
        if (!Target || fw::Gone(Target)) return;
        FSession->TargetId = Id;
        Target->DragManager()->DragEnter(FSession->DataObject, KeyState, Pt, Effect);
    } else if (Target) {
        Target->DragManager()->DragOver(KeyState, Pt, Effect);
    } else {
        Effect = 0;
    }
    FSession->Effect = Effect & (FSession->AllowedEffects | DROPEFFECT_SCROLL);
}

std::uint32_t TLTDragManager::EndDragLoop(bool Drop, fw::TShiftState KeyState, fw::TPoint Pt) {
    // Whatever the target does, the drag is over once this returns.
    std::unique_ptr<TSession> S = std::move(FSession);
    if (!S) return 0;
    TBaseLazyTree* Target = LazyTreeFromId(S->TargetId);
    if (!Target) return 0;
    if (!Drop || (S->Effect & ~DROPEFFECT_SCROLL) == 0) {
        Target->DragManager()->DragLeave();
        return 0;
    }
    std::uint32_t Effect = S->AllowedEffects;
    if (Target->DragManager()->Drop(S->DataObject, KeyState, Pt, Effect) != S_OK) return 0;
    return Effect & S->AllowedEffects;
}

// --- the tree's side -----------------------------------------------------------------------

TLTDragManager* TBaseLazyTree::DragManager() {
    if (!FDragManager) {
        std::shared_ptr<TLTDragManager> M = DoCreateDragManager();
        if (!M || M->Owner() != this) M = std::make_shared<TLTDragManager>(this);
        FDragManager = std::move(M);
    }
    return FDragManager.get();
}

TLTDragImage* TBaseLazyTree::DragImage() {
    if (!FDragImage) FDragImage = std::make_shared<TLTDragImage>();
    return FDragImage.get();
}

void TBaseLazyTree::GetNativeClipboardFormats(std::vector<TFormatEtc>& Formats) {
    // A tree that names no formats offers all of its class.
    const std::vector<std::string>& Allowed = ClipboardFormats().Names();
    Formats = ClipboardFormatRegistry().ListFormats(TreeClassOf(*this),
                                                    Allowed.empty() ? nullptr : &Allowed);
    const std::uint16_t Data = TreeDataFormat();
    for (TFormatEtc& F : Formats)
        if (F.cfFormat == Data) F.tymed = TYMED_ISTREAM | TYMED_HGLOBAL;
    DoGetUserClipboardFormats(Formats);
}

HRESULT TBaseLazyTree::RenderOLEData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium,
                                     bool ForClipboard) {
    lt::TBusyScope Busy(*this);
    Medium = TStgMedium{};
    if (FormatEtcIn.cfFormat != TreeDataFormat())
        return DoRenderOLEData(FormatEtcIn, Medium, ForClipboard);
    if (!(FormatEtcIn.tymed & (TYMED_ISTREAM | TYMED_HGLOBAL))) return E_FAIL;
    const TNodeArray Nodes = ForClipboard ? GetSortedCutCopySet(true) : GetSortedSelection(true);
    auto Stream = std::make_shared<TMemoryStream>();
    for (PLazyNode N : Nodes)
        WriteNode(*Stream, N);
    Stream->SetPosition(0);
    if (FormatEtcIn.tymed & TYMED_ISTREAM) {
        Medium.tymed = TYMED_ISTREAM;
        Medium.pstm = std::move(Stream);
        return S_OK;
    }
    if (Nodes.empty()) return E_FAIL;
    const auto Count = static_cast<std::uint32_t>(Stream->Size());
    auto Block = std::make_shared<std::vector<std::uint8_t>>(sizeof(Count) + Count);
    std::memcpy(Block->data(), &Count, sizeof(Count));
    Stream->ReadBuffer(Block->data() + sizeof(Count), Count);
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = std::move(Block);
    return S_OK;
}

TBaseLazyTree* TBaseLazyTree::GetTreeFromDataObject(TLTDataObject* DataObject) {
    if (!DataObject) return nullptr;
    TFormatEtc F;
    F.cfFormat = TreeReferenceFormat();
    F.tymed = TYMED_HGLOBAL;
    TStgMedium M;
    if (DataObject->GetData(F, M) != S_OK || !M.hGlobal ||
        M.hGlobal->size() != sizeof(TTreeReference))
        return nullptr;
    TTreeReference Ref;
    std::memcpy(&Ref, M.hGlobal->data(), sizeof(Ref));
    return Ref.Process == ThisProcess() ? LazyTreeFromId(Ref.Tree) : nullptr;
}

void TBaseLazyTree::DoDragging(fw::TPoint P) {
    lt::TBusyScope Busy(*this);
    if (InState(tsEditing)) DoCancelEdit();
    if (FHotNode) {
        InvalidateNode(FHotNode);
        FHotNode = nullptr;
    }
    if (FFocusedNode && !Selected(FFocusedNode)) {
        AddToSelection(FFocusedNode);
        InvalidateNode(FFocusedNode);
    }
    if (HandleAllocated()) Update();
    DoStateChange({}, {tsClearPending});
    FDragSelection = GetSortedSelection(true);
    FDragLive = {FDragSelection.begin(), FDragSelection.end()};
    DoStateChange({tsOLEDragging});
    TLTDragManager* M = DragManager();
    std::shared_ptr<TLTDataObject> Data = M->GetDataObject();
    PrepareDragImage(P);
    FLastDropMode = dmOnNode;
    std::uint32_t Allowed = 0;
    if (FDragOperations & doCopy) Allowed |= DROPEFFECT_COPY;
    if (FDragOperations & doMove) Allowed |= DROPEFFECT_MOVE;
    if (FDragOperations & doLink) Allowed |= DROPEFFECT_LINK;
    if (!Allowed) Allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    M->BeginDrag(std::move(Data), Allowed);
    if (HandleAllocated()) fw::SetCapture(Handle());
}

TNodeArray TBaseLazyTree::DragSelection() const {
    TNodeArray Result;
    for (PLazyNode N : FDragSelection)
        if (FDragLive.contains(N)) Result.push_back(N);
    return Result;
}

// Ends the drag; states, selection and capture are left on every path.
void TBaseLazyTree::FinishDrag(bool Drop, fw::TShiftState Keys, fw::TPoint Pt) {
    TLTDragManager* M = FDragManager.get();
    fw::TScopeExit EndDrag([this] {
        FDragSelection.clear();
        FDragLive.clear();
        DoStateChange({}, {tsOLEDragging, tsOLEDragPending});
        if (HandleAllocated() && fw::GetCapture() == Handle()) fw::ReleaseCapture();
    });
    const std::uint32_t Effect = M->EndDragLoop(Drop, Keys, Pt);
    M->ForceDragLeave();
    DragImage()->EndDrag();
    if (Effect == DROPEFFECT_MOVE && (AutoOptions() & toAutoDeleteMovedNodes)) {
        // The drop handler, or the deletions' own handlers, may free some of
        // them: freeing a node takes it out of FDragLive.
        const TNodeArray Dragged = std::move(FDragSelection);
        FDragSelection.clear();
        lt::TUpdateScope Update(*this);
        for (PLazyNode N : Dragged)
            if (FDragLive.contains(N)) DeleteNode(N);
        Update.Leave();
    }
    EndDrag.Leave();
}

bool TBaseLazyTree::DragMouseMove(const fw::TMessage& Message, bool Dragging) {
    TLTDragManager* M = FDragManager.get();
    const fw::TShiftState Keys = fw::KeysToShiftState(Message.WParam & 0xFFFF);
    const fw::TPoint P = fw::LParamToPoint(Message.LParam);
    if (Dragging) {
        const HRESULT Go = M->QueryContinueDrag(false, Keys);
        if (Go == DRAGDROP_S_DROP)
            FinishDrag(true, Keys, ClientToScreen(P));
        else if (Go == DRAGDROP_S_CANCEL)
            FinishDrag(false, Keys, ClientToScreen(P));
        else
            MoveDrag(Keys, P, false);
        return true;
    }
    if (!InState(tsOLEDragPending)) return false;
    if (!(Keys & fw::ssLeft)) {
        DoStateChange({}, {tsOLEDragPending});
        return false;
    }
    if (std::abs(P.X - FDragStart.X) <= FDragThreshold &&
        std::abs(P.Y - FDragStart.Y) <= FDragThreshold)
        return false;
    DoStateChange({}, {tsOLEDragPending, tsEditPending});
    MoveDrag(Keys, P, true);
    return true;
}

// A handler's exception during a drag step ends the drag, so that nothing is
// left dragging or captured, and then reaches the caller.
void TBaseLazyTree::MoveDrag(fw::TShiftState Keys, fw::TPoint P, bool Start) {
    try {
        if (Start) DoDragging(FDragStart);
        DragManager()->DragMoveTo(Keys, ClientToScreen(P));
    } catch (...) {
        try {
            if (DragManager()->Dragging()) FinishDrag(false, Keys, ClientToScreen(P));
        } catch (...) {
            fw::ReportLeaveStepError();
        }
        FDragSelection.clear();
        FDragLive.clear();
        DoStateChange({}, {tsOLEDragging, tsOLEDragPending, tsClearPending});
        if (HandleAllocated() && fw::GetCapture() == Handle()) fw::ReleaseCapture();
        throw;
    }
}

bool TBaseLazyTree::DragButtonUp(const fw::TMessage& Message, bool Dragging) {
    if (!Dragging) {
        DoStateChange({}, {tsOLEDragPending});
        if (InState(tsClearPending)) {
            // No drag came of the press: only the pressed node stays selected.
            DoStateChange({}, {tsClearPending});
            PLazyNode Keep = FFocusedNode;
            ClearSelection();
            if (Keep) AddToSelection(Keep);
        }
        return false;
    }
    DoStateChange({}, {tsLeftButtonDown});
    FinishDrag(true, fw::KeysToShiftState(Message.WParam & 0xFFFF) & ~fw::ssLeft,
               ClientToScreen(fw::LParamToPoint(Message.LParam)));
    return true;
}

bool TBaseLazyTree::HandleDragMessage(fw::TMessage& Message) {
    TLTDragManager* M = FDragManager.get();
    const bool Dragging = M && M->Dragging() && InState(tsOLEDragging);
    switch (Message.Msg) {
    case fw::WM_MOUSEMOVE:
        return DragMouseMove(Message, Dragging);
    case fw::WM_LBUTTONUP:
        return DragButtonUp(Message, Dragging);
    case fw::WM_RBUTTONDOWN:
        if (!Dragging) return false;
        FinishDrag(false, 0, ClientToScreen(fw::LParamToPoint(Message.LParam)));
        return true;
    case fw::WM_KEYDOWN:
        if (!Dragging || Message.WParam != fw::VK_ESCAPE) return false;
        FinishDrag(false, 0, fw::GetCursorPos());
        return true;
    case fw::WM_CAPTURECHANGED:
        if (!Dragging ||
            (HandleAllocated() && reinterpret_cast<fw::HWND>(Message.LParam) == Handle()))
            return false;
        FinishDrag(false, 0, fw::GetCursorPos());
        return false;
    default:
        return false;
    }
}

std::uint32_t TBaseLazyTree::SuggestDropEffect(TBaseLazyTree* Source, fw::TShiftState Shift,
                                               fw::TPoint, std::uint32_t AllowedEffects) {
    std::uint32_t R = AllowedEffects;
    if (Source != this) {
        if (AllowedEffects & DROPEFFECT_COPY) R = DROPEFFECT_COPY;
    } else if (AllowedEffects & DROPEFFECT_MOVE) {
        R = DROPEFFECT_MOVE;
    }
    const fw::TShiftState Keys = Shift & KeyMask;
    auto Take = [&](std::uint32_t E) {
        if (AllowedEffects & E) R = E;
    };
    if (Keys == fw::ssCtrl)
        Take(DROPEFFECT_COPY);
    else if (Keys == (fw::ssCtrl | fw::ssShift))
        Take(DROPEFFECT_LINK);
    else if (Keys == fw::ssShift)
        Take(DROPEFFECT_MOVE);
    else if (Keys == fw::ssAlt)
        Take(DROPEFFECT_LINK);
    return R;
}

bool TBaseLazyTree::DoDragOver(TBaseLazyTree* Source, fw::TShiftState Shift, TDragState State,
                               fw::TPoint Pt, TDropMode Mode, std::uint32_t& Effect) {
    bool Accept = false;
    lt::Fire(*this, OnDragOver, this, Source, Shift, State, Pt, Mode, Effect, Accept);
    return Accept;
}

void TBaseLazyTree::DoDragDrop(TBaseLazyTree* Source, TLTDataObject* DataObject,
                               const TFormatArray& Formats, fw::TShiftState Shift, fw::TPoint Pt,
                               std::uint32_t& Effect, TDropMode Mode) {
    lt::Fire(*this, OnDragDrop, this, Source, DataObject, Formats, Shift, Pt, Effect, Mode);
}

namespace {

// Where a point over a node drops: on its item, or above or below its row's middle.
TDropMode ModeAt(TBaseLazyTree& T, const THitInfo& Info, fw::TPoint Client, bool ShowMarks) {
    if (!Info.HitNode) return dmNowhere;
    if ((Info.HitPositions & ItemArea) || !ShowMarks) return dmOnNode;
    const fw::TRect R = T.GetDisplayRect(Info.HitNode, T.HeaderMainColumn(), false);
    return Client.Y < (R.Top + R.Bottom) / 2 ? dmAbove : dmBelow;
}

} // namespace

void TBaseLazyTree::DoPaintDropMark(fw::TCanvas& Canvas, PLazyNode, const fw::TRect& R) {
    if (FLastDropMode != dmAbove && FLastDropMode != dmBelow) return;
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.Pen().SetStyle(fw::TPenStyle::psClear);
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(Colors()->DropMarkColor());
    const int L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom;
    if (FLastDropMode == dmAbove)
        Canvas.Polygon({fw::TPoint{L + 2, T}, fw::TPoint{Rt - 2, T}, fw::TPoint{Rt - 2, T + 6},
                        fw::TPoint{Rt - 6, T + 2}, fw::TPoint{L + 6, T + 2},
                        fw::TPoint{L + 2, T + 6}});
    else
        Canvas.Polygon({fw::TPoint{L + 2, B - 1}, fw::TPoint{Rt - 2, B - 1},
                        fw::TPoint{Rt - 2, B - 8}, fw::TPoint{Rt - 7, B - 3},
                        fw::TPoint{L + 7, B - 3}, fw::TPoint{L + 2, B - 8}});
}

HRESULT TBaseLazyTree::DragEnter(fw::TShiftState KeyState, fw::TPoint Pt, std::uint32_t& Effect) {
    lt::TBusyScope Busy(*this);
    const fw::TPoint Client = ScreenToClient(Pt);
    TBaseLazyTree* Source = DragManager()->GetDragSource();
    Effect = SuggestDropEffect(Source, KeyState, Client, Effect);
    if (!DoDragOver(Source, KeyState, dsDragEnter, Client, FLastDropMode, Effect)) {
        Effect = DROPEFFECT_NONE;
        return S_OK;
    }
    THitInfo Info;
    GetViewHitTestInfoAt(Client.X, Client.Y, Info);
    FLastDropMode = ModeAt(*this, Info, Client, true);
    if (Info.HitNode) {
        FDropTargetNode = Info.HitNode;
        InvalidateNode(FDropTargetNode);
    }
    if (Source) Source->DragImage()->ShowDragImage();
    return S_OK;
}

HRESULT TBaseLazyTree::DragOver(TBaseLazyTree* Source, fw::TShiftState KeyState,
                                TDragState DragState, fw::TPoint Pt, std::uint32_t& Effect) {
    lt::TBusyScope Busy(*this);
    const fw::TPoint Client = ScreenToClient(Pt);
    // Near an edge the view scrolls by one increment per move.
    bool Scrolled = false;
    const TScrollDirections Directions = DetermineScrollDirections(Client.X, Client.Y);
    if (Directions) {
        const int VStep = std::min<int>(ScrollBarOptions()->VerticalIncrement(), ClientHeight());
        const int HStep = ScrollBarOptions()->HorizontalIncrement();
        int DX = 0, DY = 0;
        if (Directions & sdUp) DY = VStep;
        if (Directions & sdDown) DY = -VStep;
        if (Directions & sdLeft) DX = HStep;
        if (Directions & sdRight) DX = -HStep;
        Scrolled = DoSetOffsetXY({OffsetX() + DX, OffsetY() + DY});
    }
    THitInfo Info;
    GetViewHitTestInfoAt(Client.X, Client.Y, Info);
    if ((TreeOptions()->MiscOptions() & toReportMode) && Info.HitColumn != HeaderMainColumn())
        Info.HitNode = nullptr;
    const TDropMode Mode = ModeAt(*this, Info, Client, (PaintOptions() & toShowDropmark) != 0);
    if (Info.HitNode != FDropTargetNode || Mode != FLastDropMode) {
        FLastDropMode = Mode;
        if (Info.HitNode != FDropTargetNode) {
            if (FFocusedColumn == NoColumn) FFocusedColumn = HeaderMainColumn();
            InvalidateNode(FDropTargetNode);
            FDropTargetNode = Info.HitNode;
            InvalidateNode(FDropTargetNode);
            RestartExpandTimer(FDropTargetNode);
        } else {
            InvalidateNode(FDropTargetNode);
        }
    }
    if (Source) Source->DragImage()->DragTo(Pt, Scrolled);
    const std::uint32_t Allowed = Effect;
    Effect = SuggestDropEffect(Source, KeyState, Client, Allowed);
    if (!DoDragOver(Source, KeyState, DragState, Client, FLastDropMode, Effect))
        Effect = DROPEFFECT_NONE;
    if (Scrolled) Effect |= DROPEFFECT_SCROLL;
    return S_OK;
}

void TBaseLazyTree::DragLeave() {
    lt::TBusyScope Busy(*this);
    StopExpandTimer();
    if (TBaseLazyTree* Source = DragManager()->GetDragSource())
        Source->DragImage()->HideDragImage();
    InvalidateNode(FDropTargetNode);
    FDropTargetNode = nullptr;
    if (HandleAllocated()) Update();
    std::uint32_t Effect = DROPEFFECT_NONE;
    DoDragOver(DragManager()->GetDragSource(), 0, dsDragLeave, fw::TPoint{}, FLastDropMode, Effect);
}

HRESULT TBaseLazyTree::DragDrop(TLTDataObject* DataObject, fw::TShiftState KeyState, fw::TPoint Pt,
                                std::uint32_t& Effect) {
    lt::TBusyScope Busy(*this);
    // The handler may delete the target node; it is only forgotten afterwards.
    fw::TScopeExit Forget([this] {
        FDropTargetNode = nullptr;
        Invalidate();
    });
    StopExpandTimer();
    if (HandleAllocated()) fw::KillTimer(Handle(), ScrollTimer);
    DoStateChange({}, {tsScrolling, tsScrollPending});
    TBaseLazyTree* Source = DragManager()->GetDragSource();
    HRESULT R = DragOver(Source, KeyState, dsDragMove, Pt, Effect);
    if (R != S_OK || (Effect & ~DROPEFFECT_SCROLL) == 0) return E_FAIL;
    TFormatArray Formats;
    std::unique_ptr<TEnumFormatEtc> Enum;
    if (DataObject) {
        const HRESULT E = DataObject->EnumFormatEtc(DATADIR_GET, Enum);
        if (E != S_OK || !Enum)
            throw ELazyTreeError("The drop's formats could not be listed.", hcTFClipboardFailed);
        TFormatEtc F;
        while (Enum->Next(1, &F, nullptr) == S_OK)
            Formats.push_back(F.cfFormat);
    }
    DoDragDrop(Source, DataObject, Formats, KeyState, ScreenToClient(Pt), Effect, FLastDropMode);
    return S_OK;
}

bool TBaseLazyTree::ProcessOLEData(TBaseLazyTree* Source, TLTDataObject* DataObject,
                                   PLazyNode TargetNode, TLTNodeAttachMode Mode, bool Optimized) {
    lt::TBusyScope Busy(*this);
    // Nowhere to attach: nothing is inserted (a node left unlinked would be lost).
    if (!DataObject || ReadOnly() || Mode == amNoWhere) return false;
    TFormatEtc F;
    F.cfFormat = TreeDataFormat();
    F.tymed = TYMED_ISTREAM | TYMED_HGLOBAL;
    if (DataObject->QueryGetData(F) != S_OK) return false;
    lt::TUpdateScope Update(*this);
    if (!TargetNode) {
        TargetNode = FRoot;
        if (Mode == amInsertBefore) Mode = amAddChildFirst;
        if (Mode == amInsertAfter) Mode = amAddChildLast;
    }
    if (Optimized && Source) {
        TNodeArray Nodes = Source->InState(tsOLEDragging) ? Source->DragSelection()
                                                          : Source->GetSortedCutCopySet(true);
        if (Mode != amInsertBefore && Mode != amAddChildLast)
            std::reverse(Nodes.begin(), Nodes.end());
        // Handlers of either tree may free listed nodes, or the target, while
        // the nodes move: each is looked at only while it lives.
        lt::TNodeWatch Live(*Source, Nodes);
        lt::TNodeWatch TargetLive(*this, {TargetNode});
        bool Moved = false;
        for (PLazyNode N : Nodes) {
            if (TargetNode != FRoot && !TargetLive.Alive(TargetNode)) break;
            if (!Live.Alive(N) || N == TargetNode || HasAsParent(TargetNode, N)) continue;
            // The source's node, maybe to this tree; its OnNodeMoving may refuse.
            if (Source->MoveTo(N, TargetNode, Mode, false)) Moved = true;
        }
        return Moved;
    }
    TStgMedium M;
    F.tymed = TYMED_ISTREAM;
    HRESULT R = DataObject->GetData(F, M);
    if (R != S_OK && Source == this) {
        F.tymed = TYMED_HGLOBAL;
        R = DataObject->GetData(F, M);
    }
    if (R != S_OK) return false;
    std::shared_ptr<TStream> Stream;
    if (M.tymed == TYMED_ISTREAM && M.pstm) {
        Stream = M.pstm;
    } else if (M.tymed == TYMED_HGLOBAL && M.hGlobal) {
        const std::vector<std::uint8_t>& B = *M.hGlobal;
        std::uint32_t Count = 0;
        if (B.size() < sizeof(Count)) return false;
        std::memcpy(&Count, B.data(), sizeof(Count));
        if (Count > B.size() - sizeof(Count)) return false;
        Stream = std::make_shared<TMemoryStream>(
            std::vector<std::uint8_t>(B.begin() + sizeof(Count),
                                      B.begin() +
                                          static_cast<std::ptrdiff_t>(sizeof(Count) + Count)),
            true);
    } else {
        return false;
    }
    Stream->SetPosition(0);
    bool Inserted = false;
    const bool Beside = Mode == amInsertBefore || Mode == amInsertAfter;
    while (Stream->Position() < Stream->Size()) {
        // A parent whose children are going (or deleted by a handler
        // meanwhile) takes none: a paste that inserts nothing answers false.
        PLazyNode Parent = Beside ? TargetNode->Parent : TargetNode;
        if (!Parent || !TakesChildren(Parent)) break;
        PLazyNode Node = MakeNewNode();
        LinkNode(Node, TargetNode, Mode);
        AddNewNodeFromStream(*Stream, TreeStreamVersion, Node);
        if (!DoNodeCopying(Node, Node->Parent)) {
            DeleteNode(Node);
            continue;
        }
        DoNodeCopied(Node);
        Inserted = true;
    }
    return Inserted;
}

} // namespace vel
