// TBitmap32 blending over a 1920x1080 picture beside pixman's OVER
// compositing of buffers of the same size. pixman works on premultiplied
// colour, so its figure is a throughput reference, not the same formula.
#include "Bitmap32.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int W = 1920;
constexpr int H = 1080;
constexpr std::int64_t N = std::int64_t{W} * H;

// Varied alpha, colour no brighter than alpha: valid for both formulas.
std::vector<std::uint32_t> Source() {
    std::vector<std::uint32_t> v(N);
    std::mt19937 rng(1);
    for (auto& p : v) {
        const std::uint32_t a = rng() & 0xFF;
        const std::uint32_t r = a ? rng() % (a + 1) : 0, g = a ? rng() % (a + 1) : 0,
                            b = a ? rng() % (a + 1) : 0;
        p = (a << 24) | (r << 16) | (g << 8) | b;
    }
    return v;
}

std::vector<std::uint32_t> Backdrop() {
    std::vector<std::uint32_t> v(N);
    std::mt19937 rng(2);
    for (auto& p : v)
        p = rng() | 0xFF000000u;
    return v;
}

void Report(benchmark::State& state) {
    state.counters["Mpixels/s"] =
        benchmark::Counter(static_cast<double>(N) * static_cast<double>(state.iterations()) / 1e6,
                           benchmark::Counter::kIsRate);
}

void SelectSet(benchmark::State& state) {
    vel::SetBlendSet(state.range(0) ? vel::TBlendSet::WideLane : vel::TBlendSet::Plain);
    state.SetLabel(state.range(0) ? "wide-lane" : "plain");
}

void BM_BlendMem(benchmark::State& state) {
    SelectSet(state);
    const auto src = Source();
    auto dst = Backdrop();
    for (auto _ : state) {
        for (std::int64_t i = 0; i < N; ++i)
            vel::BlendMem(src[i], dst[i]);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_Combine(benchmark::State& state) {
    SelectSet(state);
    const auto src = Source();
    auto dst = Backdrop();
    for (auto _ : state) {
        for (std::int64_t i = 0; i < N; ++i)
            dst[i] = vel::Combine(src[i], dst[i], 100);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_BlendLine(benchmark::State& state) {
    SelectSet(state);
    const auto src = Source();
    auto dst = Backdrop();
    for (auto _ : state) {
        for (int y = 0; y < H; ++y)
            vel::BlendLine(src.data() + std::int64_t{y} * W, dst.data() + std::int64_t{y} * W, W);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_DrawToBlend(benchmark::State& state) {
    SelectSet(state);
    const auto pixels = Source();
    vel::TBitmap32 src, dst;
    src.SetSize(W, H);
    dst.SetSize(W, H);
    std::copy(pixels.begin(), pixels.end(), src.Bits());
    const auto back = Backdrop();
    std::copy(back.begin(), back.end(), dst.Bits());
    src.SetDrawMode(vel::dmBlend);
    src.SetMasterAlpha(static_cast<std::uint32_t>(state.range(1)));
    for (auto _ : state) {
        src.DrawTo(dst, 0, 0);
        benchmark::DoNotOptimize(dst.Bits());
    }
    Report(state);
}

void BM_PixmanOver(benchmark::State& state) {
    auto src = Source();
    auto dst = Backdrop();
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, src.data(), W * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, dst.data(), W * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetLabel("pixman OVER");
    Report(state);
}

} // namespace

BENCHMARK(BM_BlendMem)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Combine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawToBlend)
    ->Args({0, 255})
    ->Args({1, 255})
    ->Args({0, 128})
    ->Args({1, 128})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanOver)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
