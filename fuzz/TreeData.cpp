// The native tree data ("Lazy Tree Data") a drop or paste hands to
// ProcessOLEData, as a memory block or a stream, with or without the tree
// reference that names its source tree: inserted whole or refused, never
// leaving the target's counts or the source's nodes broken.
#include "FuzzTarget.h"
#include "LazyStringTree.h"
#include "LazyTreeClipboard.h"
#include "LazyTreeDragDrop.h"

namespace {

using namespace vel;

std::unique_ptr<TLazyStringTree> MakeTree(std::uint32_t Roots) {
    auto T = std::make_unique<TLazyStringTree>(nullptr);
    T->SetNodeDataSize(4);
    T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
    T->OnSaveNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        St.WriteU32(*S->GetNodeDataAs<std::uint32_t>(N));
    };
    T->OnLoadNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        *S->GetNodeDataAs<std::uint32_t>(N) = St.ReadU32();
    };
    for (std::uint32_t I = 0; I < Roots; ++I)
        T->AddChild(T->AddChild(nullptr, I + 1), 100 + I);
    return T;
}

void CheckCounts(TBaseLazyTree& T) {
    std::uint32_t All = 0, Visible = 0;
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        ++All;
    for (PLazyNode N = T.GetFirstVisibleNoInit(); N; N = T.GetNextVisibleNoInit(N))
        ++Visible;
    FuzzCheck(T.TotalCount() == All, "total count");
    FuzzCheck(T.VisibleCount() == Visible, "visible count");
    std::uint64_t Height = 0;
    for (PLazyNode N = T.GetFirstVisibleNoInit(); N; N = T.GetNextVisibleNoInit(N))
        Height += N->NodeHeight;
    FuzzCheck(T.RangeY() == Height, "range");
}

} // namespace

// Byte 0: bit 0 stream medium, bit 1 the source's reference, bit 2 optimized,
// bits 3-5 the attach mode; the rest is the data.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t Flags = data[0];
    auto Source = MakeTree(3);
    auto Target = MakeTree(2);
    Source->SetSelected(Source->GetFirstNoInit(), true);
    Source->MarkCutCopyNodes();
    TLTDataObject Data(Flags & 2 ? Source.get() : nullptr, false);
    TFormatEtc F;
    F.cfFormat = ClipboardFormatNumber("Lazy Tree Data");
    TStgMedium M;
    if (Flags & 1) {
        F.tymed = M.tymed = TYMED_ISTREAM;
        M.pstm = std::make_shared<TMemoryStream>(std::vector<std::uint8_t>(data + 1, data + size));
    } else {
        F.tymed = M.tymed = TYMED_HGLOBAL;
        M.hGlobal = std::make_shared<std::vector<std::uint8_t>>(data + 1, data + size);
    }
    Data.SetData(F, M, true);
    TBaseLazyTree* From = TBaseLazyTree::GetTreeFromDataObject(&Data);
    const auto Mode = static_cast<TLTNodeAttachMode>((Flags >> 3) % 5);
    try {
        Target->ProcessOLEData(From ? From : Target.get(), &Data, Target->GetFirstNoInit(), Mode,
                               (Flags & 4) != 0);
    } catch (const ELazyTreeError&) {
    }
    CheckCounts(*Target);
    CheckCounts(*Source);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    auto T = MakeTree(2);
    TMemoryStream Chunks;
    for (PLazyNode N = T->GetFirstNoInit(); N; N = N->NextSibling)
        T->WriteNode(Chunks, N);
    const std::vector<std::uint8_t>& C = Chunks.Data();
    std::vector<std::vector<std::uint8_t>> Seeds;
    // A memory block starts with its byte count.
    std::vector<std::uint8_t> Block{0};
    const auto Size = static_cast<std::uint32_t>(C.size());
    for (int I = 0; I < 4; ++I)
        Block.push_back(static_cast<std::uint8_t>(Size >> (8 * I)));
    Block.insert(Block.end(), C.begin(), C.end());
    Seeds.push_back(Block);
    std::vector<std::uint8_t> Stream{1 | 2};
    Stream.insert(Stream.end(), C.begin(), C.end());
    Seeds.push_back(Stream);
    std::vector<std::uint8_t> Optimized{2 | 4 | (4 << 3)};
    Optimized.insert(Optimized.end(), C.begin(), C.end());
    Seeds.push_back(Optimized);
    return Seeds;
}
