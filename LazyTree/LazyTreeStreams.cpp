// The tree stream: magic, node count and nested node chunks.
#include "LazyTreeStreams.h"

#include "LazyTreeInternal.h"

#include <algorithm>
#include <cstring>

namespace vel {

using namespace lt;

// -------------------------------------------------------------- tree stream

namespace {

constexpr char16_t MagicUnits[6] = {0x2045, u'V', u'T', 0, 0x0020, 0x2046};
const char16_t* const SNestedTooDeep = u"Stream data corrupt. Nodes nest too deeply.";
// Base chunk header and version-2 body: what a shallow write puts first.
constexpr std::size_t BasePart = sizeof(TChunkHeader) + sizeof(TChunkBaseV2);
// Stored states that a reader takes: the defined bits, less the passing ones.
constexpr TLazyNodeStates LoadedStatesMask =
    static_cast<TLazyNodeStates>(StoredStatesMask & ~(vsClearing | vsAllChildrenHidden) & 0x3FFF);

void ReadExact(TStream& Stream, void* Buffer, std::size_t Count) {
    if (Stream.Read(Buffer, Count) != Count) ShowError(SStreamTooSmall, hcTFStreamTooSmall);
}

TChunkHeader ReadHeader(TStream& Stream) {
    std::uint8_t B[8];
    ReadExact(Stream, B, 8);
    TChunkHeader H;
    std::memcpy(&H, B, 8);
    return H;
}

void WriteHeader(TStream& Stream, std::uint32_t Type, std::int32_t Size) {
    TChunkHeader H{Type, Size};
    Stream.Write(&H, sizeof(H));
}

// Links a node being read behind its parent's last child; the totals wait
// until the node has been read whole.
void LinkRaw(PLazyNode Node, PLazyNode Parent) {
    // Below a node deleted meanwhile the read goes on, into nodes that go with it.
    Node->Internal |= lt::nfRaw | (Parent->Internal & lt::nfDoomed);
    lt::ChainLast(Node, Parent);
    ++Parent->ChildCount;
    Parent->States |= vsHasChildren;
}

} // namespace

void TBaseLazyTree::PatchChunkSize(TStream& Stream, std::int64_t ChunkStart,
                                   std::int64_t ChunkEnd) {
    Stream.SetPosition(ChunkStart + 4);
    std::int64_t Size = ChunkEnd - ChunkStart - 8;
    std::int32_t S = static_cast<std::int32_t>(std::min<std::int64_t>(Size, INT32_MAX));
    Stream.Write(&S, 4);
    Stream.SetPosition(ChunkEnd);
}

void TBaseLazyTree::SaveToStream(TStream& Stream, PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    const std::int64_t Start = Stream.Position();
    std::uint8_t Magic[MagicSize];
    for (int I = 0; I < 6; ++I) {
        char16_t U = I == 3 ? TreeStreamVersion : MagicUnits[I];
        Magic[2 * I] = static_cast<std::uint8_t>(U & 0xFF);
        Magic[2 * I + 1] = static_cast<std::uint8_t>(U >> 8);
    }
    // A tree the reader would refuse is not written: the stream is cut back.
    fw::TScopeExit CutBack([&Stream, Start] {
        Stream.SetPosition(Start);
        Stream.SetSize(Start);
    });
    Stream.Write(Magic, MagicSize);
    if (Node == FRoot) Node = nullptr;
    const std::int64_t CountAt = Stream.Position();
    Stream.WriteU32(0);
    std::uint32_t Written = 0;
    if (Node) {
        WriteNode(Stream, Node);
        Written = 1;
    } else {
        for (PLazyNode Run = FRoot->FirstChild; Run; Run = Run->NextSibling, ++Written)
            WriteNode(Stream, Run);
    }
    // Handlers (initialising nodes for toInitOnSave) may have added or moved
    // top-level nodes meanwhile: the count says what the stream holds.
    const std::int64_t End = Stream.Position();
    Stream.SetPosition(CountAt);
    Stream.WriteU32(Written);
    Stream.SetPosition(End);
    CutBack.Release();
}

void TBaseLazyTree::SaveToFile(const std::string& FileName, PLazyNode Node) {
    TMemoryStream Memory;
    SaveToStream(Memory, Node);
    TFileStream File(FileName, TFileStream::TMode::fmCreate);
    File.Write(Memory.Data().data(), Memory.Data().size());
}

void TBaseLazyTree::ShallowChunks(PLazyNode Node, TMemoryStream& Scratch) {
    Scratch.SetPosition(0);
    Scratch.SetSize(0);
    const bool Was = FShallowWrite;
    FShallowWrite = true;
    fw::TScopeExit Restore([this, Was] { FShallowWrite = Was; });
    WriteChunks(Scratch, Node);
    LTAssert(Scratch.Size() >= static_cast<std::int64_t>(BasePart) &&
                 Scratch.Data()[0] == BaseChunk,
             "The base chunk must come first.");
}

void TBaseLazyTree::WriteNode(TStream& Stream, PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    // One frame per open node; the chunks that follow a node's children wait
    // in Tails, stacked like the frames.
    struct TWriteFrame {
        PLazyNode Next;
        std::int64_t NodeStart;
        std::int64_t BaseStart;
        std::size_t TailAt;
        std::uint32_t Written; // child chunks: the count stored is what was written
    };
    std::vector<TWriteFrame> Frames;
    std::vector<std::uint8_t> Tails;
    TMemoryStream Scratch;
    auto Open = [&](PLazyNode N) {
        if (Frames.size() >= MaxStreamDepth) ShowError(SNestedTooDeep, hcTFCorruptStream1);
        if (MiscOptions() & toInitOnSave) {
            if (!(N->States & vsInitialized)) InitNode(N);
            if ((N->States & vsHasChildren) && N->ChildCount == 0) InitChildren(N);
        }
        ShallowChunks(N, Scratch);
        const std::vector<std::uint8_t>& Bytes = Scratch.Data();
        // Every node that exists is written, below a node never touched too.
        TWriteFrame F{N->FirstChild, Stream.Position(), 0, Tails.size(), 0};
        WriteHeader(Stream, NodeChunk, 0);
        F.BaseStart = Stream.Position();
        Stream.Write(Bytes.data(), BasePart);
        Tails.insert(Tails.end(), Bytes.begin() + BasePart, Bytes.end());
        Frames.push_back(F);
    };
    Open(Node);
    while (!Frames.empty()) {
        if (PLazyNode Child = Frames.back().Next) {
            Frames.back().Next = Child->NextSibling;
            ++Frames.back().Written;
            Open(Child);
            continue;
        }
        const TWriteFrame F = Frames.back();
        Frames.pop_back();
        // The save handlers may have changed the children since the count was
        // taken: the stream says what it holds.
        const std::int64_t End = Stream.Position();
        Stream.SetPosition(F.BaseStart + static_cast<std::int64_t>(sizeof(TChunkHeader)));
        Stream.WriteU32(F.Written);
        Stream.SetPosition(End);
        PatchChunkSize(Stream, F.BaseStart, Stream.Position());
        if (Tails.size() > F.TailAt) Stream.Write(Tails.data() + F.TailAt, Tails.size() - F.TailAt);
        Tails.resize(F.TailAt);
        PatchChunkSize(Stream, F.NodeStart, Stream.Position());
    }
}

void TBaseLazyTree::WriteChunks(TStream& Stream, PLazyNode Node) {
    std::int64_t Start = Stream.Position();
    WriteHeader(Stream, BaseChunk, 0);
    TChunkBaseV2 Base{};
    Base.ChildCount = Node->ChildCount;
    Base.NodeHeight = Node->NodeHeight;
    Base.States = static_cast<std::uint16_t>(Node->States & StoredStatesMask);
    Base.Align = Node->Align;
    Base.CheckState = static_cast<std::uint8_t>(Node->CheckState);
    Base.CheckType = static_cast<std::uint8_t>(Node->CheckType);
    Base.Reserved = 0;
    Stream.Write(&Base, sizeof(Base));
    // The running writer puts the children in itself.
    if (!FShallowWrite)
        for (PLazyNode Run = Node->FirstChild; Run; Run = Run->NextSibling)
            WriteNode(Stream, Run);
    PatchChunkSize(Stream, Start, Stream.Position());

    std::int64_t P = Stream.Position();
    WriteHeader(Stream, UserChunk, 0);
    DoSaveUserData(Node, Stream);
    std::int64_t End = Stream.Position();
    if (End > P + 8) {
        PatchChunkSize(Stream, P, End);
    } else {
        Stream.SetPosition(P);
        Stream.SetSize(Stream.Size() - 8);
    }
}

void TBaseLazyTree::LoadFromFile(const std::string& FileName) {
    TFileStream File(FileName, TFileStream::TMode::fmOpenRead);
    LoadFromStream(File);
}

void TBaseLazyTree::LoadFromStream(TStream& Stream) {
    if (ReadOnly()) return;
    RefuseWhileIterating();
    lt::TBusyScope Busy(*this);
    // The header is checked before the tree is cleared: a stream refused
    // leaves the tree as it was.
    std::uint8_t Magic[MagicSize];
    if (Stream.Read(Magic, MagicSize) < MagicSize) ShowError(SStreamTooSmall, hcTFStreamTooSmall);
    auto Unit = [&](int I) {
        return static_cast<char16_t>(Magic[2 * I] | (Magic[2 * I + 1] << 8));
    };
    if (Unit(0) != MagicUnits[0] || Unit(1) != MagicUnits[1] || Unit(2) != MagicUnits[2] ||
        Unit(5) != MagicUnits[5])
        ShowError(SWrongStreamFormat, hcTFWrongStreamFormat);
    std::uint32_t Version = Unit(3);
    if (Version >= 3) ShowError(SWrongStreamVersion, hcTFWrongStreamVersion);
    ClearNow();
    TUpdateScope Update(*this);
    std::uint32_t Count = 0x7FFFFFFF;
    if (Version == 2) {
        std::uint8_t B[4];
        ReadExact(Stream, B, 4);
        std::memcpy(&Count, B, 4);
    }
    while (Stream.Position() < Stream.Size() && Count > 0) {
        --Count;
        PLazyNode Node = MakeNewNode();
        LinkNode(Node, FRoot, amAddChildLast);
        AddNewNodeFromStream(Stream, Version, Node);
    }
    DoNodeCopied(nullptr);
    Update.Leave();
}

struct TBaseLazyTree::TReadFrame {
    PLazyNode Node;
    std::int64_t ChunkEnd;
    std::int64_t BaseEnd; // -1 outside the base chunk
    std::uint32_t ChildrenLeft;
};

void TBaseLazyTree::OpenReadFrame(TStream& Stream, std::vector<TReadFrame>& Frames,
                                  PLazyNode Node) {
    TChunkHeader Header = ReadHeader(Stream);
    if (Header.ChunkType != NodeChunk) ShowError(SCorruptStream1, hcTFCorruptStream1);
    std::int64_t ChunkEnd = Stream.Position() + Header.ChunkSize;
    if (Header.ChunkSize < 0 || ChunkEnd > Stream.Size())
        ShowError(SStreamTooSmall, hcTFStreamTooSmall);
    // A child's chunk lies inside its parent's base chunk.
    if (!Frames.empty() && ChunkEnd > Frames.back().BaseEnd)
        ShowError(SCorruptStream2, hcTFCorruptStream2);
    Frames.push_back({Node, ChunkEnd, -1, 0});
}

void TBaseLazyTree::ReadNode(TStream& Stream, std::uint32_t Version, PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    const bool WasReading = FStreamReading;
    FStreamReading = true;
    fw::TScopeExit Restore([this, WasReading] { FStreamReading = WasReading; });
    // The node's count is made exact first: recounted once the nodes read
    // hang below it, it would take them in before its change goes up.
    if (Node) NodeTotalCount(Node);
    std::vector<TReadFrame> Frames;
    try {
        OpenReadFrame(Stream, Frames, Node);
        while (!Frames.empty()) {
            TReadFrame& F = Frames.back();
            if (F.ChildrenLeft > 0) {
                if (Frames.size() >= MaxStreamDepth) ShowError(SNestedTooDeep, hcTFCorruptStream1);
                --F.ChildrenLeft;
                PLazyNode Child = MakeNewNode();
                LinkRaw(Child, F.Node);
                // A change of links like any other: whoever keeps a chain across
                // the handlers that run this read (a sort's merge) sees it.
                NoteStructureChange();
                OpenReadFrame(Stream, Frames, Child);
                continue;
            }
            if (F.BaseEnd >= 0) {
                if (Stream.Position() != F.BaseEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
                F.BaseEnd = -1;
            }
            if (Stream.Position() < F.ChunkEnd) {
                TChunkHeader Nested = ReadHeader(Stream);
                if (Nested.ChunkSize < 0 || Stream.Position() + Nested.ChunkSize > F.ChunkEnd)
                    ShowError(SCorruptStream2, hcTFCorruptStream2);
                FBaseChildren = 0;
                FBaseEnd = -1;
                const PLazyNode N = F.Node;
                ReadChunk(Stream, Version, N, Nested.ChunkType, Nested.ChunkSize);
                TReadFrame& Same = Frames.back();
                if (Nested.ChunkType == BaseChunk && FBaseEnd >= 0) {
                    Same.ChildrenLeft = FBaseChildren;
                    Same.BaseEnd = FBaseEnd;
                }
                continue;
            }
            if (Stream.Position() != F.ChunkEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
            const PLazyNode Done = F.Node;
            Frames.pop_back();
            FinishReadNode(Done, Frames.empty());
        }
    } catch (...) {
        DropUnfinishedReads(Frames);
        throw;
    }
}

void TBaseLazyTree::FinishReadNode(PLazyNode Node, bool Linked) {
    // The nodes read into a linked node (the one read into) stay out of
    // every total, recounts included, until this node's change goes up: that
    // change is theirs alone, the others count already (one whose children
    // are being freed counts as that deletion leaves it).
    std::uint32_t Count = 1, Read = 0;
    std::uint64_t Height = Node->NodeHeight;
    bool AnyVisible = false;
    for (PLazyNode C = Node->FirstChild; C; C = C->NextSibling) {
        const std::uint32_t Below = NodeTotalCount(C);
        Count += Below;
        if (C->Internal & lt::nfRaw) Read += Below;
        if (!(C->States & vsVisible)) continue;
        AnyVisible = true;
        if (Node->States & vsExpanded) Height += C->TotalHeight;
    }
    if (Node != FRoot && Node->FirstChild) {
        if (AnyVisible)
            Node->States &= ~vsAllChildrenHidden;
        else
            Node->States |= vsAllChildrenHidden;
    }
    if (!Linked) {
        Node->CachedTotalCount = Count;
        Node->TotalHeight = static_cast<std::uint32_t>(Height);
    } else {
        // The node read into was counted already: its change goes up once.
        AdjustTotalCount(Node, Read, true);
        if (Node == FRoot)
            FRoot->TotalHeight = static_cast<std::uint32_t>(Height);
        else
            AdjustTotalHeight(Node, static_cast<std::int64_t>(Height), false);
    }
    // Every node read stays marked (not moved, given no children, left out
    // of recounts) until here.
    if (Linked)
        for (PLazyNode C = Node->FirstChild; C; C = C->NextSibling) {
            if (!(C->Internal & lt::nfRaw)) continue;
            C->Internal &= static_cast<std::uint8_t>(~lt::nfRaw);
            WalkBelow(*this, C, [](PLazyNode Read) {
                Read->Internal &= static_cast<std::uint8_t>(~lt::nfRaw);
                return true;
            });
        }
}

void TBaseLazyTree::DropUnfinishedReads(std::vector<TReadFrame>& Frames) {
    if (Frames.empty()) return;
    // The unfinished child of the node read into goes with all below it
    // (unless a handler deleted it meanwhile: it goes with that deletion);
    // what was read whole below that node stays until its caller decides.
    if (Frames.size() > 1 && !lt::Doomed(Frames[1].Node)) {
        PLazyNode Top = Frames[0].Node;
        PLazyNode Dropped = Frames[1].Node;
        // A handler may have added to the node read into since: what follows
        // the dropped child stays, numbered afresh.
        --Top->ChildCount;
        lt::Unchain(Dropped, true);
        NoteStructureChange();
        Dropped->States |= vsClearing;
        FreeDescendants(Dropped);
        DoFreeNode(Dropped);
        if (FUpdateCount == 0 && FSelectionMarked) PackSelection();
    }
    PLazyNode Top = Frames[0].Node;
    Frames.clear();
    FinishReadNode(Top, true);
}

namespace {

// A node's base record of either stream version, as version 2 holds it.
struct TStoredBase {
    std::uint32_t ChildCount = 0;
    std::uint16_t Height = 0;
    TLazyNodeStates States = 0;
    std::uint8_t Align = 0, CheckState = 0, CheckType = 0;
};

TStoredBase ReadStoredBase(TStream& Stream, std::uint32_t Version) {
    TStoredBase R;
    if (Version >= 2) {
        TChunkBaseV2 B;
        ReadExact(Stream, &B, sizeof(B));
        R = {B.ChildCount, static_cast<std::uint16_t>(B.NodeHeight), B.States, B.Align,
             B.CheckState, B.CheckType};
    } else {
        TChunkBaseV1 B;
        ReadExact(Stream, &B, sizeof(B));
        R = {B.ChildCount, static_cast<std::uint16_t>(B.NodeHeight),
             static_cast<TLazyNodeStates>(B.States | vsVisible), B.Align, B.CheckState, B.CheckType};
        if (B.States & 0x80) R.States |= vsSelected;
    }
    return R;
}

} // namespace

bool TBaseLazyTree::ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node,
                              std::uint32_t ChunkType, int ChunkSize) {
    switch (ChunkType) {
    case BaseChunk: {
        std::int64_t BaseEnd = Stream.Position() + ChunkSize;
        TStoredBase Base = ReadStoredBase(Stream, Version);
        const std::uint32_t ChildCount = Base.ChildCount;
        std::uint16_t Height = Base.Height;
        const TLazyNodeStates States = Base.States;
        std::uint8_t CheckState = Base.CheckState, CheckType = Base.CheckType;
        if (Stream.Position() > BaseEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
        if (Node != FRoot) {
            // Values outside the enumerations come back as the defaults.
            if (CheckState > static_cast<std::uint8_t>(csMixedPressed)) CheckState = 0;
            if (CheckType > static_cast<std::uint8_t>(ctButton)) CheckType = 0;
            const bool Raw = (Node->Internal & lt::nfRaw) != 0;
            if (Raw)
                Node->States = static_cast<TLazyNodeStates>((States & LoadedStatesMask) |
                                                            (Node->States & vsHasChildren));
            else
                TakeStoredStates(Node, static_cast<TLazyNodeStates>(States & LoadedStatesMask));
            Node->NodeHeight = Height;
            if (Raw)
                Node->TotalHeight = Height;
            else
                AdjustTotalHeight(Node, Height, false);
            Node->Align = Base.Align;
            Node->CheckState = static_cast<TCheckState>(CheckState);
            Node->CheckType = static_cast<TCheckType>(CheckType);
        }
        if (FStreamReading) {
            // The running reader takes the children, one chunk at a time.
            FBaseChildren = ChildCount;
            FBaseEnd = BaseEnd;
            return true;
        }
        for (std::uint32_t I = 0; I < ChildCount; ++I) {
            PLazyNode Child = MakeNewNode();
            LinkNode(Child, Node, amAddChildLast);
            try {
                ReadNode(Stream, Version, Child);
            } catch (...) {
                DeleteNodeNow(Child, true);
                throw;
            }
        }
        if (Stream.Position() != BaseEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
        return true;
    }
    case UserChunk: {
        if (ChunkSize <= 0) return true;
        std::int64_t P = Stream.Position();
        DoLoadUserData(Node, Stream);
        bool Result = Stream.Position() > P;
        if (Stream.Position() != P + ChunkSize) Stream.SetPosition(P + ChunkSize);
        return Result;
    }
    default:
        Stream.SetPosition(Stream.Position() + std::max(ChunkSize, 0));
        return false;
    }
}

void TBaseLazyTree::TakeStoredStates(PLazyNode Node, TLazyNodeStates States) {
    // The node is counted, and maybe selected, already: its rows and its
    // selection change as the setters change them.
    PLazyNode Parent = Node->Parent;
    const bool WasVisible = (Node->States & vsVisible) != 0;
    const bool NowVisible = (States & vsVisible) != 0;
    if (WasVisible != NowVisible && Parent && (Parent->States & vsExpanded)) {
        const auto Rows = static_cast<std::int64_t>(Node->TotalHeight);
        AdjustTotalHeight(Parent, NowVisible ? Rows : -Rows, true);
    }
    if ((Node->States & vsSelected) && !(States & vsSelected)) {
        if (FUpdateCount > 0)
            MarkForRemoval(Node);
        else
            InternalRemoveFromSelection(Node);
    }
    // A node initialised (or given its initial data) stays so: OnInitNode ran
    // for it, OnFreeNode will, and a save writes what it holds.
    constexpr TLazyNodeStates Kept = vsHasChildren | vsInitialized | vsInitialUserData;
    Node->States = static_cast<TLazyNodeStates>(States | (Node->States & Kept));
}

void TBaseLazyTree::SkipNode(TStream& Stream) {
    TChunkHeader Header = ReadHeader(Stream);
    if (Header.ChunkType != NodeChunk) ShowError(SCorruptStream1, hcTFCorruptStream1);
    if (Header.ChunkSize < 0 || Stream.Position() + Header.ChunkSize > Stream.Size())
        ShowError(SStreamTooSmall, hcTFStreamTooSmall);
    Stream.SetPosition(Stream.Position() + Header.ChunkSize);
}

bool TBaseLazyTree::BeingFreed(PLazyNode Node) const {
    // Unlinked for its OnFreeNode, or below a node whose children are going.
    for (PLazyNode Run = Node; Run != FRoot; Run = Run->Parent)
        if (!Run || (Run->States & (vsClearing | vsDeleting))) return true;
    return (FRoot->States & vsClearing) != 0;
}

void TBaseLazyTree::AddNodeFromStream(TStream& Stream, std::uint32_t Version, PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    if (!Node) Node = FRoot;
    // Nodes hung below a node on its way out would be freed uncounted, or
    // not at all, and a node being read takes only the stream's: its chunk
    // is passed over.
    if (BeingFreed(Node) || !TakesChildren(Node) || (Node->Internal & lt::nfReadInto)) {
        SkipNode(Stream);
        return;
    }
    // A handler's read into the same node would finish the nodes this one is
    // still reading.
    Node->Internal |= lt::nfReadInto;
    fw::TScopeExit Unmark([Node] { Node->Internal &= static_cast<std::uint8_t>(~lt::nfReadInto); });
    InterruptValidation();
    // The node's rows (itself and what shows below it) are counted afresh:
    // a node read into may already have shown children.
    const std::uint32_t Remembered = FVisibleCount;
    const std::uint32_t ShownBefore =
        Node != FRoot && FullyVisible(Node) ? 1 + CountVisibleChildren(Node) : 0;
    const TLazyNodeStates Before = Node->States;
    // Handlers that change rows while the node is read (anywhere) make the
    // sum above stale: then all rows are counted afresh.
    const std::uint64_t ChangesBefore = FHandlerRowChanges;
    const std::uint32_t WatchBefore = FRowWatchDepth;
    FRowWatchDepth = FHandlerDepth;
    // The child that was not read whole is gone already; the node given and
    // what was read whole stay, agreeing with the selection.
    auto Finish = [this, Node, Remembered, ShownBefore, Before, ChangesBefore, WatchBefore] {
        FRowWatchDepth = WatchBefore;
        if (Node == FRoot || FHandlerRowChanges != ChangesBefore)
            FVisibleCount = CountVisibleChildren(FRoot);
        else
            FVisibleCount = Remembered - ShownBefore +
                            (FullyVisible(Node) ? 1 + CountVisibleChildren(Node) : 0);
        NoteRowsChanged();
        FixLoadedSelection(Node);
        RowsShownChanged(Node != FRoot && ((Before ^ Node->States) & vsVisible) ? Node->Parent
                                                                                 : nullptr);
        if ((Before & vsSelected) && !(Node->States & vsSelected) && !Doomed(Node)) Change(Node);
    };
    try {
        ReadNode(Stream, Version, Node);
    } catch (...) {
        Finish();
        throw;
    }
    Finish();
}

void TBaseLazyTree::AddNewNodeFromStream(TStream& Stream, std::uint32_t Version, PLazyNode Node) {
    try {
        AddNodeFromStream(Stream, Version, Node);
    } catch (...) {
        DeleteNodeNow(Node, true); // made for this read, and not read whole
        throw;
    }
}

void TBaseLazyTree::FixLoadedSelection(PLazyNode Node) {
    ClearTempCache();
    if (Doomed(Node)) return; // deleted while read: nothing it holds is selected
    PLazyNode Stop = nullptr;
    if (Node != FRoot)
        for (PLazyNode Up = Node; Up != FRoot; Up = Up->Parent)
            if (Up->NextSibling) {
                Stop = Up->NextSibling;
                break;
            }
    bool Multi = (SelectionOptions() & toMultiSelect) != 0;
    for (PLazyNode Run = Node == FRoot ? GetFirstNoInit() : Node; Run && Run != Stop;
         Run = GetNextNoInit(Run)) {
        if (!(Run->States & vsSelected)) continue;
        // The node read into may be in the selection already, and stays there.
        int Index = 0;
        if (FindNodeInSelection(Run, Index, -1, -1)) continue;
        if (Multi)
            AddToTempCache(Run);
        else
            Run->States &= ~vsSelected;
    }
    if (FTempNodeCount > 0) {
        // The nodes carry vsSelected already; they only join the array.
        for (int I = 0; I < FTempNodeCount; ++I)
            FTempNodeCache[static_cast<std::size_t>(I)]->States &= ~vsSelected;
        AddToSelection(FTempNodeCache, FTempNodeCount, false);
    }
    ClearTempCache();
}

} // namespace vel
