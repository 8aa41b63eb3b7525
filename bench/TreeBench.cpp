// The lazy tree at 10k, 100k and 1M top-level nodes, each operation beside
// the same one on a toolkit item model and tree view (bench/qt, built when
// the toolkit is installed) in the same run:
//   bench_TreeBench --benchmark_min_time=0.05
// Counters: nodes, and bytes per node for the creations.
#include "Bitmap.h"
#include "Canvas.h"
#include "Forms.h"
#include "LazyStringTree.h"
#include "LazyTreeInternal.h"
#include "Messages.h"

#include "qt/TreeAnchor.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <random>

namespace {

using namespace vel;

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// A tree with 4 bytes of data per node holding a random key, sorted on it.
std::unique_ptr<TLazyStringTree> KeyTree(fw::TWinControl* Parent = nullptr) {
    auto T = std::make_unique<TLazyStringTree>(nullptr);
    if (Parent) {
        T->SetParent(Parent);
        T->SetBounds(0, 0, 800, 600);
        T->HandleNeeded();
    }
    T->SetNodeDataSize(4);
    T->TreeOptions()->SetSelectionOptions(T->SelectionOptions() | toMultiSelect);
    T->OnInitNode = [](TBaseLazyTree* S, PLazyNode, PLazyNode N, TLTInternalStates&) {
        *S->GetNodeDataAs<std::uint32_t>(N) = N->Index * 2654435761u;
    };
    T->OnCompareNodes = [](TBaseLazyTree* S, PLazyNode A, PLazyNode B, int, int& R) {
        const std::uint32_t KA = *S->GetNodeDataAs<std::uint32_t>(A);
        const std::uint32_t KB = *S->GetNodeDataAs<std::uint32_t>(B);
        R = KA < KB ? -1 : KA > KB ? 1 : 0;
    };
    T->OnGetText = [](TBaseLazyTree*, PLazyNode N, int, TLSTTextType, std::u16string& Text) {
        Text = u"Node " + std::u16string(1, static_cast<char16_t>(u'0' + N->Index % 10));
    };
    T->OnSaveNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        St.WriteU32(*S->GetNodeDataAs<std::uint32_t>(N));
    };
    T->OnLoadNode = [](TBaseLazyTree* S, PLazyNode N, TStream& St) {
        *S->GetNodeDataAs<std::uint32_t>(N) = St.ReadU32();
    };
    return T;
}

// The shown form the painted trees sit on.
fw::TForm& Host() {
    static fw::TForm* Form = [] {
        auto* F = new fw::TForm(nullptr);
        F->SetBounds(0, 0, 820, 640);
        F->Show();
        return F;
    }();
    return *Form;
}

void WaitForCache(TBaseLazyTree& T) {
    T.InvalidateCache();
    for (int I = 0; I < 2000 && !T.TreeStates().Contains(tsUseCache); ++I) {
        const std::uint64_t Seen = fw::WakeupCount();
        fw::DeliverSentMessages();
        if (!T.TreeStates().Contains(tsUseCache)) fw::WaitForWakeup(Seen, 5);
    }
    if (!T.TreeStates().Contains(tsUseCache)) std::fprintf(stderr, "no position cache\n");
}

void Sizes(benchmark::internal::Benchmark* B) {
    B->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

void Counters(benchmark::State& State) {
    State.counters["nodes"] = static_cast<double>(State.range(0));
}

// ------------------------------------------------------------------ the tree

void Tree_Create(benchmark::State& State, bool WithInit) {
    const auto N = static_cast<std::uint32_t>(State.range(0));
    double Bytes = 0;
    for (auto _ : State) {
        State.PauseTiming();
        auto T = KeyTree();
        if (!WithInit) T->OnInitNode = nullptr;
        const std::size_t Before = HeapInUse();
        State.ResumeTiming();
        T->SetRootNodeCount(N);
        if (WithInit) T->ValidateNode(nullptr, false);
        State.PauseTiming();
        Bytes = static_cast<double>(HeapInUse() - Before) / N;
        T.reset();
        State.ResumeTiming();
    }
    State.counters["bytes/node"] = Bytes;
    Counters(State);
}
BENCHMARK_CAPTURE(Tree_Create, Plain, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Tree_Create, WithInitNode, true)->Apply(Sizes);

// Every top-level node initialises expanded (with one child, or none) in a
// shown tree: each such toggle was measured down to its row and scrolled to.
void Tree_InitExpanded(benchmark::State& State, bool WithChild) {
    const auto N = static_cast<std::uint32_t>(State.range(0));
    for (auto _ : State) {
        State.PauseTiming();
        auto T = KeyTree(&Host());
        T->OnInitNode = [WithChild](TBaseLazyTree* S, PLazyNode P, PLazyNode, TLTInternalStates& St) {
            St |= ivsExpanded;
            if (WithChild && !P) St |= ivsHasChildren;
            (void)S;
        };
        T->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 1; };
        T->SetRootNodeCount(N);
        State.ResumeTiming();
        T->ValidateNode(nullptr, true);
        State.PauseTiming();
        T.reset();
        State.ResumeTiming();
    }
    Counters(State);
}
BENCHMARK_CAPTURE(Tree_InitExpanded, Leaves, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Tree_InitExpanded, OneChild, true)->Apply(Sizes);

void Tree_Paint(benchmark::State& State, bool Middle) {
    auto T = KeyTree(&Host());
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    WaitForCache(*T);
    if (Middle) T->SetOffsetY(-static_cast<int>(T->RangeY() / 2));
    fw::TBitmap Shot;
    Shot.SetSize(800, 600);
    for (auto _ : State)
        fw::PaintControlTo(T.get(), Shot.Surface());
    Counters(State);
}
BENCHMARK_CAPTURE(Tree_Paint, Top, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Tree_Paint, Middle, true)->Apply(Sizes);

void Tree_ScrollToMiddle(benchmark::State& State) {
    auto T = KeyTree(&Host());
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    WaitForCache(*T);
    PLazyNode Middle = T->GetFirstNoInit();
    for (auto I = State.range(0) / 2; I > 0; --I)
        Middle = Middle->NextSibling;
    for (auto _ : State) {
        T->SetOffsetY(0);
        T->ScrollIntoView(Middle, true);
    }
    Counters(State);
}
BENCHMARK(Tree_ScrollToMiddle)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void Tree_GetNodeAt(benchmark::State& State) {
    auto T = KeyTree(&Host());
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    WaitForCache(*T);
    std::mt19937 Rng(1);
    const auto Range = static_cast<std::uint32_t>(T->RangeY());
    int Top = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(T->GetNodeAt(0, static_cast<int>(Rng() % Range), false, Top));
    State.SetItemsProcessed(State.iterations());
    Counters(State);
}
BENCHMARK(Tree_GetNodeAt)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void Tree_Sort(benchmark::State& State) {
    auto T = KeyTree();
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    T->ValidateNode(nullptr, false);
    for (auto _ : State) {
        T->Sort(nullptr, NoColumn, sdAscending, false);
        State.PauseTiming();
        T->Sort(nullptr, NoColumn, sdDescending, false);
        State.ResumeTiming();
    }
    Counters(State);
}
BENCHMARK(Tree_Sort)->Apply(Sizes);

void Tree_SaveLoad(benchmark::State& State) {
    auto T = KeyTree();
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    T->ValidateNode(nullptr, false);
    auto Copy = KeyTree();
    for (auto _ : State) {
        TMemoryStream S;
        T->SaveToStream(S);
        S.SetPosition(0);
        Copy->LoadFromStream(S);
    }
    Counters(State);
}
BENCHMARK(Tree_SaveLoad)->Apply(Sizes);

void Tree_SelectAllClear(benchmark::State& State) {
    auto T = KeyTree(&Host());
    T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
    for (auto _ : State) {
        T->SelectAll(false);
        T->ClearSelection();
    }
    Counters(State);
}
BENCHMARK(Tree_SelectAllClear)->Apply(Sizes);

void Tree_FullExpandChain(benchmark::State& State) {
    const auto N = static_cast<std::uint32_t>(State.range(0));
    auto T = KeyTree();
    T->OnInitNode = nullptr;
    PLazyNode Last = nullptr;
    for (std::uint32_t I = 0; I < N; ++I)
        Last = T->AddChild(Last);
    for (auto _ : State) {
        T->FullExpand();
        State.PauseTiming();
        T->FullCollapse();
        State.ResumeTiming();
    }
    Counters(State);
}
BENCHMARK(Tree_FullExpandChain)->Apply(Sizes);

void Tree_Clear(benchmark::State& State, bool Sorted) {
    for (auto _ : State) {
        State.PauseTiming();
        auto T = KeyTree();
        T->SetRootNodeCount(static_cast<std::uint32_t>(State.range(0)));
        T->ValidateNode(nullptr, false);
        if (Sorted) T->Sort(nullptr, NoColumn, sdAscending, false);
        State.ResumeTiming();
        T->Clear();
    }
    Counters(State);
}
BENCHMARK_CAPTURE(Tree_Clear, Created, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Tree_Clear, AfterSort, true)->Apply(Sizes);

// ------------------------------------------------------------------ the anchor

#ifdef VEL_QT_ANCHOR
void Anchor(benchmark::State& State, vel::anchor::TOperation Op) {
    vel::anchor::TTreeAnchor A(static_cast<int>(State.range(0)), Op);
    for (auto _ : State) {
        State.PauseTiming();
        A.Prepare();
        State.ResumeTiming();
        A.Run();
    }
    Counters(State);
}
using vel::anchor::TOperation;
BENCHMARK_CAPTURE(Anchor, Create, TOperation::Create)->Apply(Sizes);
BENCHMARK_CAPTURE(Anchor, CreateItems, TOperation::CreateItems)->Apply(Sizes);
BENCHMARK_CAPTURE(Anchor, PaintTop, TOperation::PaintTop)->Apply(Sizes);
BENCHMARK_CAPTURE(Anchor, PaintMiddle, TOperation::PaintMiddle)->Apply(Sizes);
BENCHMARK_CAPTURE(Anchor, ScrollToMiddle, TOperation::ScrollToMiddle)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Anchor, IndexAt, TOperation::IndexAt)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
// Its sort keeps the view's persistent indexes: one run at 1M takes minutes.
BENCHMARK_CAPTURE(Anchor, Sort, TOperation::Sort)->Apply(Sizes)->Iterations(1);
BENCHMARK_CAPTURE(Anchor, SelectAllClear, TOperation::SelectAllClear)->Apply(Sizes);
// The toolkit's view expands a chain by recursion: 100k levels overflow its stack.
BENCHMARK_CAPTURE(Anchor, ExpandAllChain, TOperation::ExpandAllChain)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Anchor, Clear, TOperation::Clear)->Apply(Sizes);
#endif

} // namespace

BENCHMARK_MAIN();
