// The framework canvas's block copies and fills over an 800x600 area of a
// 1024x768 surface: copies from another canvas and within one (overlapping),
// with SRCCOPY and a raster operation that reads all three inputs, pattern
// blits and solid fills.
#include "Canvas.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

namespace {

using namespace fw;

constexpr int W = 800;
constexpr int H = 600;

struct TScene {
    TSurface Src, Dst;
    TCanvas SrcCanvas, DstCanvas;
    TScene() {
        std::mt19937 rng(3);
        for (TSurface* s : {&Src, &Dst}) {
            s->SetSize(1024, 768);
            for (std::uint32_t& p : s->Pixels)
                p = static_cast<std::uint32_t>(rng());
        }
        SrcCanvas.Attach(&Src, {0, 0}, {0, 0, 1024, 768});
        DstCanvas.Attach(&Dst, {0, 0}, {0, 0, 1024, 768});
        DstCanvas.Brush().SetStyle(bsSolid);
        DstCanvas.Brush().SetColor(static_cast<TColor>(0x336699));
    }
};

void Report(benchmark::State& state) {
    state.counters["Mpixels/s"] = benchmark::Counter(
        double{W} * H * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// Arg: the raster operation.
void BM_BlitFromOther(benchmark::State& state) {
    TScene s;
    const auto rop = static_cast<TRasterOp>(state.range(0));
    for (auto _ : state) {
        s.DstCanvas.BitBlt(100, 80, W, H, s.SrcCanvas, 50, 40, rop);
        benchmark::DoNotOptimize(s.Dst.Pixels.data());
    }
    Report(state);
}

void BM_BlitWithinOne(benchmark::State& state) {
    TScene s;
    const auto rop = static_cast<TRasterOp>(state.range(0));
    int step = 1;
    for (auto _ : state) {
        s.DstCanvas.BitBlt(100 + step, 80 + step, W, H, s.DstCanvas, 100, 80, rop);
        step = -step;
        benchmark::DoNotOptimize(s.Dst.Pixels.data());
    }
    Report(state);
}

void BM_PatBlt(benchmark::State& state) {
    TScene s;
    for (auto _ : state) {
        s.DstCanvas.PatBlt({100, 80, 100 + W, 80 + H}, PATINVERT);
        benchmark::DoNotOptimize(s.Dst.Pixels.data());
    }
    Report(state);
}

void BM_FillRect(benchmark::State& state) {
    TScene s;
    for (auto _ : state) {
        s.DstCanvas.FillRect({100, 80, 100 + W, 80 + H});
        benchmark::DoNotOptimize(s.Dst.Pixels.data());
    }
    Report(state);
}

} // namespace

BENCHMARK(BM_BlitFromOther)->Arg(SRCCOPY)->Arg(SRCINVERT)->Arg(0x00E20746)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlitWithinOne)->Arg(SRCCOPY)->Arg(SRCINVERT)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PatBlt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillRect)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
