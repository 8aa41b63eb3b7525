// Data transfer of nodes within the process: a data object offering formats,
// its format enumerator, and the drag manager that is each tree's drop target
// and drop source. The drag loop is driven by the source tree's own mouse
// handling (it holds the capture), not by a modal loop.
#pragma once

#include "LazyTreeClipboard.h"
#include "LazyTreeStreams.h"
#include "LazyTrees.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vel {

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
constexpr HRESULT OLE_S_USEREG = 0x00040000;
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT OLE_E_NOCONNECTION = static_cast<HRESULT>(0x80040004u);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;

constexpr std::uint32_t DROPEFFECT_NONE = 0;
constexpr std::uint32_t DROPEFFECT_COPY = 1;
constexpr std::uint32_t DROPEFFECT_MOVE = 2;
constexpr std::uint32_t DROPEFFECT_LINK = 4;
constexpr std::uint32_t DROPEFFECT_SCROLL = 0x80000000u;

constexpr std::uint32_t TYMED_HGLOBAL = 1;
constexpr std::uint32_t TYMED_FILE = 2;
constexpr std::uint32_t TYMED_ISTREAM = 4;
constexpr std::uint32_t TYMED_GDI = 16;
constexpr std::uint32_t TYMED_MFPICT = 32;
constexpr std::uint32_t TYMED_ENHMF = 64;

enum class TDataDir : std::uint8_t { DATADIR_GET = 1, DATADIR_SET = 2 };
using enum TDataDir;

// The system's drag threshold: moved further than this (either axis) with the
// button down, a press becomes a drag (of nodes, unless BeginDrag was given
// another, or of a header column).
constexpr int DragThreshold = 4;

// A piece of transferred data. A global memory block is a shared byte block
// (handing it out shares it, storing it copies it); a stream is shared.
struct TStgMedium {
    std::uint32_t tymed = 0;
    std::shared_ptr<std::vector<std::uint8_t>> hGlobal;
    std::shared_ptr<TMemoryStream> pstm;
    std::string FileName;
};

// The "Lazy Tree Reference" block: the process and the tree the data comes from.
// Trees are named by an in-process number, never by address.
struct TTreeReference {
    std::uint32_t Process;
    std::uint32_t Tree;
};
static_assert(sizeof(TTreeReference) == 8);

// Stored formats with their data.
struct TInternalStgMedium {
    std::uint16_t Format = 0;
    TStgMedium Medium;
};

class TEnumFormatEtc {
public:
    TEnumFormatEtc(TBaseLazyTree* Tree, std::vector<TFormatEtc> Formats)
        : FTree(Tree), FFormatEtcArray(std::move(Formats)) {}
    // Copies up to Count entries; S_OK when all Count came.
    HRESULT Next(std::uint32_t Count, TFormatEtc* Elements, std::uint32_t* Fetched);
    HRESULT Skip(std::uint32_t Count);
    HRESULT Reset();
    std::unique_ptr<TEnumFormatEtc> Clone() const;
    std::int32_t CurrentIndex() const { return FCurrentIndex; }

private:
    TBaseLazyTree* FTree;
    std::vector<TFormatEtc> FFormatEtcArray;
    std::int32_t FCurrentIndex = 0;
};

// Data advise connections: each sink is told when data of its format changes.
using TAdviseSink = std::function<void(const TFormatEtc& FormatEtc, const TStgMedium& Medium)>;
struct TStatData {
    TFormatEtc FormatEtc;
    std::uint32_t Advf = 0;
    TAdviseSink Sink;
    std::uint32_t Connection = 0;
};

class TDataAdviseHolder {
public:
    HRESULT Advise(const TFormatEtc& FormatEtc, std::uint32_t Advf, TAdviseSink Sink,
                   std::uint32_t& Connection);
    // OLE_E_NOCONNECTION for a number never given or already taken back.
    HRESULT Unadvise(std::uint32_t Connection);
    HRESULT EnumAdvise(std::vector<TStatData>& Connections) const;
    // Tells the sinks whose format matches (any format when theirs is 0).
    void SendOnDataChange(const TFormatEtc& FormatEtc, const TStgMedium& Medium) const;

private:
    std::vector<TStatData> FConnections;
    std::uint32_t FLastConnection = 0;
};

class TLTDataObject {
public:
    TLTDataObject(TBaseLazyTree* Owner, bool ForClipboard);
    ~TLTDataObject();
    TLTDataObject(const TLTDataObject&) = delete;
    TLTDataObject& operator=(const TLTDataObject&) = delete;

    // The owning tree while it lives, else null.
    TBaseLazyTree* Owner() const;
    bool ForClipboard() const { return FForClipboard; }
    const std::vector<TFormatEtc>& FormatEtcArray() const { return FFormatEtcArray; }
    const std::vector<TInternalStgMedium>& InternalStgMediumArray() const { return FStored; }

    HRESULT GetData(const TFormatEtc& FormatEtcIn, TStgMedium& Medium);
    HRESULT GetDataHere(const TFormatEtc&, TStgMedium&) { return E_NOTIMPL; }
    HRESULT QueryGetData(const TFormatEtc& FormatEtc) const;
    HRESULT GetCanonicalFormatEtc(const TFormatEtc&, TFormatEtc&) const {
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT SetData(const TFormatEtc& FormatEtc, const TStgMedium& Medium, bool Release);
    HRESULT EnumFormatEtc(TDataDir Direction, std::unique_ptr<TEnumFormatEtc>& Enum);
    // The advise holder is made by the first DAdvise; without one DUnadvise is
    // not implemented and EnumDAdvise not supported.
    HRESULT DAdvise(const TFormatEtc& FormatEtc, std::uint32_t Advf, TAdviseSink Sink,
                    std::uint32_t& Connection);
    HRESULT DUnadvise(std::uint32_t Connection);
    HRESULT EnumDAdvise(std::vector<TStatData>& Connections) const;
    TDataAdviseHolder* AdviseHolder() const { return FAdviseHolder.get(); }

private:
    std::unique_ptr<TDataAdviseHolder> FAdviseHolder;
    std::uint32_t FOwnerId;
    bool FForClipboard;
    std::vector<TFormatEtc> FFormatEtcArray;
    std::vector<TInternalStgMedium> FStored;
};

// The live tree with that in-process number, or null.
TBaseLazyTree* LazyTreeFromId(std::uint32_t Id);

// A tree's drop target and drop source. Points are in screen coordinates.
class TLTDragManager {
public:
    explicit TLTDragManager(TBaseLazyTree* Owner);
    virtual ~TLTDragManager();
    TLTDragManager(const TLTDragManager&) = delete;
    TLTDragManager& operator=(const TLTDragManager&) = delete;

    TBaseLazyTree* Owner() const { return FOwner; }
    // The in-process number "Lazy Tree Reference" names the owner by.
    std::uint32_t TreeId() const { return FTreeId; }

    // Drop target.
    HRESULT DragEnter(std::shared_ptr<TLTDataObject> DataObject, fw::TShiftState KeyState,
                      fw::TPoint Pt, std::uint32_t& Effect);
    HRESULT DragOver(fw::TShiftState KeyState, fw::TPoint Pt, std::uint32_t& Effect);
    HRESULT DragLeave();
    HRESULT Drop(std::shared_ptr<TLTDataObject> DataObject, fw::TShiftState KeyState, fw::TPoint Pt,
                 std::uint32_t& Effect);
    // Drop source.
    HRESULT GiveFeedback(std::uint32_t) const { return DRAGDROP_S_USEDEFAULTCURSORS; }
    HRESULT QueryContinueDrag(bool EscapePressed, fw::TShiftState KeyState) const;

    void ForceDragLeave() {}
    std::shared_ptr<TLTDataObject> GetDataObject();
    // The tree the data over this one comes from, while it lives.
    TBaseLazyTree* GetDragSource() const { return LazyTreeFromId(FDragSourceId); }
    bool GetDropTargetHelperSupported() const { return false; }
    bool GetIsDropTarget() const { return FIsDropTarget; }

    // --- the running drag, kept by the source tree's manager
    bool Dragging() const { return FSession != nullptr; }
    void BeginDrag(std::shared_ptr<TLTDataObject> DataObject, std::uint32_t AllowedEffects);
    // The mouse moved to Pt: follows it from tree to tree.
    void DragMoveTo(fw::TShiftState KeyState, fw::TPoint Pt);
    // Ends the drag with a drop at Pt (Drop) or without one; answers the final effect.
    std::uint32_t EndDragLoop(bool Drop, fw::TShiftState KeyState, fw::TPoint Pt);
    // The tree the drag is over now, or null.
    TBaseLazyTree* CurrentTarget() const;

private:
    // Leaves the drop-target state, however the drag over this tree ended.
    void ResetTarget();
    struct TSession {
        std::shared_ptr<TLTDataObject> DataObject;
        std::uint32_t AllowedEffects = 0;
        std::uint32_t TargetId = 0;
        std::uint32_t Effect = 0;
    };
    TBaseLazyTree* FOwner;
    std::uint32_t FTreeId;
    std::uint32_t FDragSourceId = 0;
    bool FIsDropTarget = false;
    std::shared_ptr<TLTDataObject> FDataObject;
    std::unique_ptr<TSession> FSession;
};

} // namespace vel
