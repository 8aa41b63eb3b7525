// Tree streams of both versions read by LoadFromStream, and node chunks added
// below a node (AddNodeFromStream). A refused stream is an ELazyTreeError and
// leaves a tree whose counts, heights and selection agree with its nodes.
#include "FuzzTarget.h"
#include "LazyStringTree.h"
#include "LazyTreeStreams.h"

#include <cstring>

namespace {

using namespace vel;

std::unique_ptr<TLazyStringTree> MakeTree(bool Multi) {
    auto T = std::make_unique<TLazyStringTree>(nullptr);
    T->SetNodeDataSize(4);
    if (Multi) T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
    T->OnSaveNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        St.WriteU32(*S->GetNodeDataAs<std::uint32_t>(N));
    };
    T->OnLoadNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        *S->GetNodeDataAs<std::uint32_t>(N) = St.ReadU32();
    };
    return T;
}

// Counts and heights recounted node by node, parents after their children.
void CheckTotals(TBaseLazyTree& T) {
    std::vector<PLazyNode> All;
    std::uint32_t Visible = 0;
    for (PLazyNode N = T.GetFirstNoInit(); N; N = T.GetNextNoInit(N))
        All.push_back(N);
    for (PLazyNode N = T.GetFirstVisibleNoInit(); N; N = T.GetNextVisibleNoInit(N))
        ++Visible;
    FuzzCheck(T.TotalCount() == All.size(), "total count");
    FuzzCheck(T.VisibleCount() == Visible, "visible count");
    int Selected = 0;
    for (auto It = All.rbegin(); It != All.rend(); ++It) {
        PLazyNode N = *It;
        std::uint64_t H = N->NodeHeight;
        std::uint32_t Count = 1;
        for (PLazyNode C = N->FirstChild; C; C = C->NextSibling) {
            Count += T.NodeTotalCount(C);
            if ((N->States & vsExpanded) && (C->States & vsVisible)) H += C->TotalHeight;
        }
        FuzzCheck(T.NodeTotalCount(N) == Count, "node count");
        FuzzCheck(N->TotalHeight == H, "node height");
        if (N->States & vsSelected) ++Selected;
    }
    FuzzCheck(Selected == T.SelectedCount(), "selection");
}

void Load(TBaseLazyTree& T, const std::vector<std::uint8_t>& Bytes) {
    TMemoryStream S(Bytes);
    try {
        T.LoadFromStream(S);
    } catch (const ELazyTreeError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    for (bool Multi : {true, false}) {
        auto T = MakeTree(Multi);
        Load(*T, bytes);
        CheckTotals(*T);
        T->FullExpand();
        CheckTotals(*T);
    }
    // The node chunks after the stream's header, added below an existing node.
    if (size > 16) {
        auto T = MakeTree(true);
        PLazyNode A = T->AddChild(nullptr, 1);
        T->SetExpanded(A, true);
        T->AddChild(A, 2);
        TMemoryStream S(std::vector<std::uint8_t>(bytes.begin() + 16, bytes.end()));
        PLazyNode Target = T->AddChild(A, 3);
        try {
            T->AddNodeFromStream(S, TreeStreamVersion, Target);
        } catch (const ELazyTreeError&) {
        }
        CheckTotals(*T);
        // Again into a node whose own children show.
        S.SetPosition(0);
        try {
            T->AddNodeFromStream(S, TreeStreamVersion, A);
        } catch (const ELazyTreeError&) {
        }
        CheckTotals(*T);
        // And into a node that is selected and hidden: the stored states replace both.
        T->SetSelected(Target, true);
        T->SetVisible(Target, false);
        S.SetPosition(0);
        try {
            T->AddNodeFromStream(S, TreeStreamVersion, Target);
        } catch (const ELazyTreeError&) {
        }
        CheckTotals(*T);
    }
    return 0;
}

namespace {

// A version-1 stream's node: 12-byte base chunks with the old state byte.
void U32(std::vector<std::uint8_t>& Out, std::uint32_t V) {
    for (int I = 0; I < 4; ++I)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
}

std::vector<std::uint8_t> V1Node(std::uint32_t Children, std::uint8_t States, std::uint32_t Depth) {
    const std::uint32_t N = Depth > 0 ? Children : 0;
    std::vector<std::uint8_t> Body;
    U32(Body, N);
    U32(Body, 18);
    Body.insert(Body.end(), {States, 50, 2, 1});
    for (std::uint32_t I = 0; I < N; ++I) {
        std::vector<std::uint8_t> C = V1Node(Children, static_cast<std::uint8_t>(States ^ 0x80), Depth - 1);
        Body.insert(Body.end(), C.begin(), C.end());
    }
    std::vector<std::uint8_t> Out;
    const auto Size = static_cast<std::uint32_t>(Body.size());
    U32(Out, 1);
    U32(Out, Size + 8);
    U32(Out, 2);
    U32(Out, Size);
    Out.insert(Out.end(), Body.begin(), Body.end());
    return Out;
}

} // namespace

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> Seeds;
    auto T = MakeTree(true);
    std::uint32_t Next = 1;
    for (int I = 0; I < 3; ++I) {
        PLazyNode Top = T->AddChild(nullptr, Next++);
        for (int J = 0; J < I; ++J)
        {
            PLazyNode Child = T->AddChild(Top, Next++);
            T->AddChild(Child, Next++);
        }
    }
    PLazyNode Second = T->GetFirstNoInit()->NextSibling;
    T->SetExpanded(Second, true);
    T->SetSelected(Second->FirstChild, true);
    T->SetVisible(Second->LastChild, false);
    TMemoryStream S;
    T->SaveToStream(S);
    Seeds.push_back(S.Data());
    std::vector<std::uint8_t> V1 = {0x45, 0x20, 'V', 0, 'T', 0, 1, 0, 0x20, 0, 0x46, 0x20};
    for (const auto& Node : {V1Node(2, 0xA1, 2), V1Node(0, 0x01, 0)})
        V1.insert(V1.end(), Node.begin(), Node.end());
    Seeds.push_back(V1);
    return Seeds;
}
