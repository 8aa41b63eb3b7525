// The framework's hot calls into controls, each of which holds what it calls
// (a free asked for meanwhile waits): a message performed on a control, an
// event fired through the copying call, and the paint of a form whose panel
// holds n graphic children (every child held while the walk calls out).
#include "Forms.h"
#include "Messages.h"

#include <benchmark/benchmark.h>

namespace {

using namespace fw;

void BM_Perform(benchmark::State& state) {
    TForm Form(nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(Form.Perform(WM_USER, 1, 2));
}

void BM_CallHandler(benchmark::State& state) {
    TForm Form(nullptr);
    int Calls = 0;
    Form.OnClick = [&Calls](TObject*) { ++Calls; };
    for (auto _ : state)
        CallHandler(Form.OnClick, &Form);
    benchmark::DoNotOptimize(Calls);
}

// Arg: the graphic children of the panel painted.
void BM_PaintChildren(benchmark::State& state) {
    TForm Form(nullptr);
    Form.SetBounds(0, 0, 800, 600);
    auto* Panel = Create<TCustomControl>(&Form);
    Panel->SetParent(&Form);
    Panel->SetBounds(0, 0, 800, 600);
    for (int I = 0; I < state.range(0); ++I) {
        auto* Child = Create<TGraphicControl>(&Form);
        Child->SetParent(Panel);
        Child->SetBounds(I % 40 * 20, I / 40 % 30 * 20, 16, 16);
    }
    Form.Show();
    ProcessMessages();
    for (auto _ : state) {
        Panel->Invalidate();
        ProcessMessages();
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_Perform);
BENCHMARK(BM_CallHandler);
BENCHMARK(BM_PaintChildren)->RangeMultiplier(8)->Range(8, 4096)->Complexity();

BENCHMARK_MAIN();
