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
// Deeper nesting is refused: every node level costs stack in the readers.
constexpr int MaxStreamDepth = 1024;

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

int& ReadDepth() {
    thread_local int Depth = 0;
    return Depth;
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
    std::uint8_t Magic[MagicSize];
    for (int I = 0; I < 6; ++I) {
        char16_t U = I == 3 ? TreeStreamVersion : MagicUnits[I];
        Magic[2 * I] = static_cast<std::uint8_t>(U & 0xFF);
        Magic[2 * I + 1] = static_cast<std::uint8_t>(U >> 8);
    }
    Stream.Write(Magic, MagicSize);
    if (Node == FRoot) Node = nullptr;
    Stream.WriteU32(Node ? 1 : FRoot->ChildCount);
    if (Node) {
        WriteNode(Stream, Node);
    } else {
        for (PLazyNode Run = FRoot->FirstChild; Run; Run = Run->NextSibling)
            WriteNode(Stream, Run);
    }
}

void TBaseLazyTree::SaveToFile(const std::string& FileName, PLazyNode Node) {
    TMemoryStream Memory;
    SaveToStream(Memory, Node);
    TFileStream File(FileName, TFileStream::TMode::fmCreate);
    File.Write(Memory.Data().data(), Memory.Data().size());
}

void TBaseLazyTree::WriteNode(TStream& Stream, PLazyNode Node) {
    if (MiscOptions() & toInitOnSave) {
        if (!(Node->States & vsInitialized)) InitNode(Node);
        if ((Node->States & vsHasChildren) && Node->ChildCount == 0) InitChildren(Node);
    }
    std::int64_t Start = Stream.Position();
    WriteHeader(Stream, NodeChunk, 0);
    WriteChunks(Stream, Node);
    PatchChunkSize(Stream, Start, Stream.Position());
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
    if (Node->States & vsInitialized)
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
    lt::TBusyScope Busy(*this);
    if (ReadOnly()) return;
    Clear();
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
        AddNodeFromStream(Stream, Version, Node);
    }
    DoNodeCopied(nullptr);
    Update.Leave();
}

void TBaseLazyTree::ReadNode(TStream& Stream, std::uint32_t Version, PLazyNode Node) {
    int& Depth = ReadDepth();
    if (Depth >= MaxStreamDepth)
        ShowError(u"Stream data corrupt. Nodes nest too deeply.", hcTFCorruptStream1);
    ++Depth;
    fw::TScopeExit Unnest([&Depth] { --Depth; });
    TChunkHeader Header = ReadHeader(Stream);
    if (Header.ChunkType != NodeChunk) ShowError(SCorruptStream1, hcTFCorruptStream1);
    std::int64_t ChunkEnd = Stream.Position() + Header.ChunkSize;
    if (Header.ChunkSize < 0 || ChunkEnd > Stream.Size())
        ShowError(SStreamTooSmall, hcTFStreamTooSmall);
    while (Stream.Position() < ChunkEnd) {
        TChunkHeader Nested = ReadHeader(Stream);
        if (Nested.ChunkSize < 0 || Stream.Position() + Nested.ChunkSize > ChunkEnd)
            ShowError(SCorruptStream2, hcTFCorruptStream2);
        ReadChunk(Stream, Version, Node, Nested.ChunkType, Nested.ChunkSize);
    }
    if (Stream.Position() != ChunkEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
}

bool TBaseLazyTree::ReadChunk(TStream& Stream, std::uint32_t Version, PLazyNode Node,
                              std::uint32_t ChunkType, int ChunkSize) {
    switch (ChunkType) {
    case BaseChunk: {
        std::int64_t BaseEnd = Stream.Position() + ChunkSize;
        std::uint32_t ChildCount = 0;
        std::uint16_t Height = 0;
        TLazyNodeStates States = 0;
        std::uint8_t Align = 0, CheckState = 0, CheckType = 0;
        if (Version >= 2) {
            TChunkBaseV2 B;
            ReadExact(Stream, &B, sizeof(B));
            ChildCount = B.ChildCount;
            Height = static_cast<std::uint16_t>(B.NodeHeight);
            States = B.States;
            Align = B.Align;
            CheckState = B.CheckState;
            CheckType = B.CheckType;
        } else {
            TChunkBaseV1 B;
            ReadExact(Stream, &B, sizeof(B));
            ChildCount = B.ChildCount;
            Height = static_cast<std::uint16_t>(B.NodeHeight);
            States = static_cast<TLazyNodeStates>(B.States | vsVisible);
            if (B.States & 0x80) States |= vsSelected;
            Align = B.Align;
            CheckState = B.CheckState;
            CheckType = B.CheckType;
        }
        if (Stream.Position() > BaseEnd) ShowError(SCorruptStream2, hcTFCorruptStream2);
        if (Node != FRoot) {
            // Values outside the enumerations come back as the defaults.
            if (CheckState > static_cast<std::uint8_t>(csMixedPressed)) CheckState = 0;
            if (CheckType > static_cast<std::uint8_t>(ctButton)) CheckType = 0;
            PLazyNode Parent = Node->Parent;
            bool WasVisible = (Node->States & vsVisible) != 0;
            bool NowVisible = (States & vsVisible) != 0;
            if (WasVisible && !NowVisible && Parent && (Parent->States & vsExpanded))
                AdjustTotalHeight(Parent, -static_cast<std::int64_t>(Node->TotalHeight), true);
            Node->States = static_cast<TLazyNodeStates>((States & StoredStatesMask) |
                                                        (Node->States & vsHasChildren));
            Node->NodeHeight = Height;
            AdjustTotalHeight(Node, Height, false);
            Node->Align = Align;
            Node->CheckState = static_cast<TCheckState>(CheckState);
            Node->CheckType = static_cast<TCheckType>(CheckType);
        }
        for (std::uint32_t I = 0; I < ChildCount; ++I) {
            PLazyNode Child = MakeNewNode();
            LinkNode(Child, Node, amAddChildLast);
            ReadNode(Stream, Version, Child);
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

void TBaseLazyTree::SkipNode(TStream& Stream) {
    TChunkHeader Header = ReadHeader(Stream);
    if (Header.ChunkType != NodeChunk) ShowError(SCorruptStream1, hcTFCorruptStream1);
    if (Header.ChunkSize < 0 || Stream.Position() + Header.ChunkSize > Stream.Size())
        ShowError(SStreamTooSmall, hcTFStreamTooSmall);
    Stream.SetPosition(Stream.Position() + Header.ChunkSize);
}

void TBaseLazyTree::AddNodeFromStream(TStream& Stream, std::uint32_t Version, PLazyNode Node) {
    lt::TBusyScope Busy(*this);
    if (!Node) Node = FRoot;
    std::uint32_t Remembered = FVisibleCount;
    bool WasShown = Node != FRoot && FullyVisible(Node);
    // The new node's own row and everything below it are counted afresh.
    fw::TScopeExit Recount([this, Node, Remembered, WasShown] {
        std::uint32_t Base = Remembered - (WasShown ? 1u : 0u);
        if (Node == FRoot) {
            FVisibleCount = CountVisibleChildren(Node);
        } else if (FullyVisible(Node)) {
            FVisibleCount = Base + 1 + CountVisibleChildren(Node);
        } else {
            FVisibleCount = Base;
        }
    });
    ReadNode(Stream, Version, Node);
    ClearTempCache();
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
        int Index = 0;
        if (Multi) {
            if (!FindNodeInSelection(Run, Index, -1, -1)) AddToTempCache(Run);
        } else {
            Run->States &= ~vsSelected;
        }
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
