// The tree windows and the host's naming at growing sizes; each time should
// grow no faster than the size (times n log n at most).
//   BM_HostNaming: n objects of one name made in one group, the host making
//     each name unique ("Bone", "Bone,1", ...); time per object flat.
//   BM_SkelTreeChain: the skeleton tree of an n-bone chain (each bone one
//     level below the last): fill and sort, RefreshAll, and the selection of
//     the deepest bone shown.
//   BM_SceneTreeNested: the scene tree refilled over groups nested n deep.
//   BM_SceneTreeShowDeepest: the scene tree of groups nested n deep, all
//     closed below the top, showing its deepest row (every group above it
//     opened, the row scrolled to, focused and selected).
//   BM_SceneTreeFollowSelection: a shown scene tree of n objects following
//     the host's selection to another object, then the message loop's idle
//     pass (the windows' own follow-up included).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "Messages.h"
#include "PluginStart.h"
#include "SceneTreeForm.h"
#include "SkelTreeForm.h"
#include "Skeleton.h"

namespace {

using namespace vel;

void BM_HostNaming(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        tsxhost::Reset();
        CtsxSobj group = tsxhost::AddGroup("Bag");
        state.ResumeTiming();
        for (int i = 0; i < n; ++i)
            tsxhost::AddNull("Bone", group);
    }
    state.SetComplexityN(n);
}
BENCHMARK(BM_HostNaming)
    ->RangeMultiplier(4)
    ->Range(1000, 64000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A chain of n bones in the current skeleton, each below the one before.
class TChainRig {
    TPluginStart FStart;

public:
    explicit TChainRig(int bones) : Bones(bones) {
        NewSkeleton();
        TSkeleton* s = CurrentSkeleton;
        TJoint* prev = nullptr;
        for (int i = 0; i <= bones; ++i) {
            TJoint* j = s->Joints.Items(s->AddJointObject(NewJointObject()));
            j->SetPosition(CtsxVec3f{static_cast<float>(i), 0, 0});
            if (prev) s->NewBone(prev, j);
            prev = j;
        }
        s->Bones.PlaceAll();
        Form = std::make_unique<TSkelTreeForm>(nullptr);
        Form->SetBounds(0, 0, 300, 400);
        Form->Show();
        fw::ProcessMessages();
    }
    int Bones;
    std::unique_ptr<TSkelTreeForm> Form;
};

void BM_SkelTreeChain(benchmark::State& state) {
    static std::unique_ptr<TChainRig> rig;
    const int n = static_cast<int>(state.range(0));
    if (!rig || rig->Bones != n) {
        rig.reset();
        rig = std::make_unique<TChainRig>(n);
    }
    TSkeleton* s = CurrentSkeleton;
    for (auto _ : state) {
        rig->Form->RebuildTree();
        fw::ProcessMessages(); // the posted sort
        s->SelectedBone = n - 1;
        rig->Form->RefreshAll();
    }
    if (rig->Form->Keys().Count() != static_cast<std::size_t>(n))
        state.SkipWithError(("the tree lists " + std::to_string(rig->Form->Keys().Count()) +
                             " rows for a chain of " + std::to_string(n))
                                .c_str());
    state.SetComplexityN(n);
}
BENCHMARK(BM_SkelTreeChain)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SceneTreeNested(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    TPluginStart start;
    CtsxSobj parent = nullptr;
    for (int i = 0; i < depth; ++i)
        parent = tsxhost::AddGroup("G", parent);
    auto form = std::make_unique<TSceneTreeForm>(nullptr);
    form->SetBounds(0, 0, 300, 400);
    form->Show();
    fw::ProcessMessages();
    for (auto _ : state)
        form->RefreshTree();
    state.SetComplexityN(depth);
}
BENCHMARK(BM_SceneTreeNested)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_SceneTreeShowDeepest(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    TPluginStart start;
    CtsxSobj deepest = nullptr;
    for (int i = 0; i < depth; ++i)
        deepest = tsxhost::AddGroup("G", deepest);
    auto form = std::make_unique<TSceneTreeForm>(nullptr);
    form->SetBounds(0, 0, 300, 400);
    form->Show();
    fw::ProcessMessages();
    for (auto _ : state) {
        state.PauseTiming();
        tsxSelectSobj(nullptr, 0, 1);
        form->RefreshTree(); // every group below the top closed again
        fw::ProcessMessages();
        state.ResumeTiming();
        tsxSelectSobj(deepest, 0, 1);
        form->SelectCurrentObject();
        fw::ProcessMessages();
    }
    if (form->Tree()->FocusedNode() != form->NodeOfObject(deepest))
        state.SkipWithError("the tree does not show the deepest row");
    state.SetComplexityN(depth);
}
BENCHMARK(BM_SceneTreeShowDeepest)
    ->Arg(2500)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The tree's position cache, which its worker builds once it is shown.
void AwaitPositionCache(TBaseLazyTree* tree) {
    for (int i = 0; i < 500 && !tree->TreeStates().Contains(tsUseCache); ++i) {
        const std::uint64_t seen = fw::WakeupCount();
        fw::ProcessMessages();
        if (!tree->TreeStates().Contains(tsUseCache)) fw::WaitForWakeup(seen, 10);
    }
}

void BM_SceneTreeFollowSelection(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TPluginStart start;
    for (int i = 0; i < n; ++i)
        tsxhost::AddGroup("Box"); // a kind the scene tree follows (type 100 on)
    auto form = std::make_unique<TSceneTreeForm>(nullptr);
    form->SetBounds(0, 0, 300, 400);
    form->Show();
    AwaitPositionCache(form->Tree());
    // A tree of a few rows has none: it needs none.
    if (n > 2000 && !form->Tree()->TreeStates().Contains(tsUseCache))
        state.SkipWithError("the shown tree has no position cache");
    std::vector<CtsxSobj> nodes = tsxhost::SceneNodes();
    std::size_t i = 0;
    for (auto _ : state) {
        i = (i + nodes.size() / 7 + 1) % nodes.size();
        tsxSelectSobj(nodes[i], 0, 1);
        form->SelectCurrentObject();
        fw::ProcessMessages();
    }
    if (form->Tree()->FocusedNode() != form->NodeOfObject(nodes[i]))
        state.SkipWithError("the tree does not follow the selection");
    state.SetComplexityN(n);
}
BENCHMARK(BM_SceneTreeFollowSelection)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oLogN);

} // namespace

BENCHMARK_MAIN();
