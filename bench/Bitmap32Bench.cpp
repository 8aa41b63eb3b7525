// TBitmap32 blending over a 1920x1080 picture beside pixman's OVER
// compositing of buffers of the same size. pixman works on premultiplied
// colour, so its figure is a throughput reference, not the same formula.
//
// Every blend reads the same two buffers, placed by the benchmark rather
// than by the allocator: both page-aligned, the backdrop `Offset` bytes past
// a page boundary (argument "offset", 0 unless given). Where malloc puts two
// 8 MB blocks depends on what was freed before, and a backdrop a few bytes
// after the source modulo 4 KiB makes stores look like they alias the next
// loads on some processors; the offset runs show how much that matters here.
//
// Every timed round starts with the upper halves of the vector registers
// clean, pixman's as well as ours: on processors with 256-bit registers,
// code in the old 128-bit encoding (pixman's, and loops compiled for the
// x86-64 baseline) can run two to three times slower while they hold data,
// and whether they do depends on which C library routine ran last.
#include "Bitmap32.h"

#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <pixman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr int W = 1920;
constexpr int H = 1080;
constexpr std::int64_t N = std::int64_t{W} * H;
constexpr std::size_t Bytes = static_cast<std::size_t>(N) * 4;
constexpr std::size_t Page = 4096;

[[gnu::target("avx")]] void ZeroUpper() {
    _mm256_zeroupper();
}
const bool HasAvx = __builtin_cpu_supports("avx") != 0;

void StartRound() {
    if (HasAvx) ZeroUpper();
}

struct TFree {
    void operator()(void* p) const { std::free(p); }
};

// Varied alpha, colour no brighter than alpha (valid for both formulas), on
// an opaque random backdrop.
class TBuffers {
public:
    explicit TBuffers(std::size_t offset)
        : FBlock(static_cast<std::uint8_t*>(std::aligned_alloc(Page, 2 * Bytes + 2 * Page))) {
        Src = reinterpret_cast<std::uint32_t*>(FBlock.get());
        Dst = reinterpret_cast<std::uint32_t*>(FBlock.get() + Bytes + Page + offset % Page);
        std::mt19937 rng(1);
        for (std::int64_t i = 0; i < N; ++i) {
            const std::uint32_t a = rng() & 0xFF;
            const std::uint32_t r = a ? rng() % (a + 1) : 0, g = a ? rng() % (a + 1) : 0,
                                b = a ? rng() % (a + 1) : 0;
            Src[i] = (a << 24) | (r << 16) | (g << 8) | b;
        }
        ResetBackdrop();
    }
    void ResetBackdrop() {
        std::mt19937 rng(2);
        for (std::int64_t i = 0; i < N; ++i)
            Dst[i] = rng() | 0xFF000000u;
    }

    std::uint32_t* Src;
    std::uint32_t* Dst;

private:
    std::unique_ptr<std::uint8_t, TFree> FBlock;
};

// Kept between runs of the same offset; the backdrop is made anew.
TBuffers& Buffers(std::int64_t offsetArg) {
    static std::unique_ptr<TBuffers> buffers;
    static std::size_t offset = ~std::size_t{0};
    const auto want = static_cast<std::size_t>(offsetArg);
    if (!buffers || offset != want) {
        buffers.reset();
        buffers = std::make_unique<TBuffers>(want);
        offset = want;
    } else {
        buffers->ResetBackdrop();
    }
    return *buffers;
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

// A loop of per-pixel calls over the whole picture, as a caller writes it:
// the wide-lane set through the common names (selected, as the processor
// check selects it here), the plain set by its own names. Forcing the plain
// set under the common names would measure calls: only the set the check
// picks on an architecture is inline there.
template <class TWide, class TPlain>
void PerPixel(benchmark::State& state, TWide wide, TPlain plain) {
    SelectSet(state);
    TBuffers& b = Buffers(state.range(1));
    const std::uint32_t* src = b.Src;
    std::uint32_t* dst = b.Dst;
    const auto rounds = [&](auto step) {
        for (auto _ : state) {
            StartRound();
            for (std::int64_t i = 0; i < N; ++i)
                step(src[i], dst[i]);
            benchmark::DoNotOptimize(dst);
            benchmark::ClobberMemory();
        }
    };
    if (state.range(0))
        rounds(wide);
    else
        rounds(plain);
    Report(state);
}

// A line blend row by row.
template <class TLine> void Rows(benchmark::State& state, TLine line) {
    SelectSet(state);
    TBuffers& b = Buffers(state.range(1));
    for (auto _ : state) {
        StartRound();
        for (int y = 0; y < H; ++y)
            line(b.Src + std::int64_t{y} * W, b.Dst + std::int64_t{y} * W);
        benchmark::DoNotOptimize(b.Dst);
        benchmark::ClobberMemory();
    }
    Report(state);
}

void BM_BlendMem(benchmark::State& state) {
    PerPixel(
        state, [](std::uint32_t f, std::uint32_t& b) { vel::BlendMem(f, b); },
        [](std::uint32_t f, std::uint32_t& b) { vel::plain::BlendMem(f, b); });
}

void BM_BlendMemEx(benchmark::State& state) {
    PerPixel(
        state, [](std::uint32_t f, std::uint32_t& b) { vel::BlendMemEx(f, b, 128); },
        [](std::uint32_t f, std::uint32_t& b) { vel::plain::BlendMemEx(f, b, 128); });
}

void BM_Combine(benchmark::State& state) {
    PerPixel(
        state, [](std::uint32_t f, std::uint32_t& b) { b = vel::Combine(f, b, 100); },
        [](std::uint32_t f, std::uint32_t& b) { b = vel::plain::Combine(f, b, 100); });
}

// The weight of each pixel from its own alpha byte: no loop-wide constant.
void BM_CombineMem(benchmark::State& state) {
    PerPixel(
        state, [](std::uint32_t f, std::uint32_t& b) { vel::CombineMem(f, b, f >> 24); },
        [](std::uint32_t f, std::uint32_t& b) { vel::plain::CombineMem(f, b, f >> 24); });
}

void BM_BlendLine(benchmark::State& state) {
    Rows(state, [](const std::uint32_t* s, std::uint32_t* d) { vel::BlendLine(s, d, W); });
}

void BM_BlendLineEx(benchmark::State& state) {
    Rows(state, [](const std::uint32_t* s, std::uint32_t* d) { vel::BlendLineEx(s, d, W, 128); });
}

// The 128-bit kernels, as processors without AVX2 run them.
void BM_BlendLine128(benchmark::State& state) {
    vel::detail::AllowRegisters256(false);
    Rows(state, [](const std::uint32_t* s, std::uint32_t* d) { vel::BlendLine(s, d, W); });
    vel::detail::AllowRegisters256(true);
}

void BM_BlendLineEx128(benchmark::State& state) {
    vel::detail::AllowRegisters256(false);
    Rows(state, [](const std::uint32_t* s, std::uint32_t* d) { vel::BlendLineEx(s, d, W, 128); });
    vel::detail::AllowRegisters256(true);
}

void BM_DrawToBlend(benchmark::State& state) {
    SelectSet(state);
    TBuffers& b = Buffers(0);
    vel::TBitmap32 src, dst;
    src.SetSize(W, H);
    dst.SetSize(W, H);
    std::memcpy(src.Bits(), b.Src, Bytes);
    std::memcpy(dst.Bits(), b.Dst, Bytes);
    src.SetDrawMode(vel::dmBlend);
    src.SetMasterAlpha(static_cast<std::uint32_t>(state.range(1)));
    for (auto _ : state) {
        StartRound();
        src.DrawTo(dst, 0, 0);
        benchmark::DoNotOptimize(dst.Bits());
    }
    Report(state);
}

void BM_PixmanOver(benchmark::State& state) {
    TBuffers& b = Buffers(state.range(0));
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, b.Src, W * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, b.Dst, W * 4);
    for (auto _ : state) {
        StartRound();
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::DoNotOptimize(b.Dst);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    state.SetLabel("pixman OVER");
    Report(state);
}

// {set, backdrop offset}
void Sets(benchmark::internal::Benchmark* b) {
    b->ArgNames({"wide", "offset"})->Args({0, 0})->Args({1, 0})->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_PixmanOver)->ArgName("offset")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendMem)->Apply(Sets);
BENCHMARK(BM_BlendMemEx)->Apply(Sets);
BENCHMARK(BM_Combine)->Apply(Sets);
BENCHMARK(BM_CombineMem)->Apply(Sets);
BENCHMARK(BM_BlendLine)->Apply(Sets);
BENCHMARK(BM_BlendLineEx)->Apply(Sets);
BENCHMARK(BM_BlendLine128)->Apply(Sets);
BENCHMARK(BM_BlendLineEx128)->Apply(Sets);
BENCHMARK(BM_DrawToBlend)
    ->ArgNames({"wide", "master"})
    ->Args({0, 255})
    ->Args({1, 255})
    ->Args({0, 128})
    ->Args({1, 128})
    ->Unit(benchmark::kMillisecond);
// The placement of the backdrop, modulo a page.
BENCHMARK(BM_BlendLine)
    ->ArgNames({"wide", "offset"})
    ->ArgsProduct({{1}, {16, 64, 1024, 4080}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanOver)->ArgName("offset")->Arg(16)->Arg(64)->Arg(1024)->Arg(4080)->Unit(
    benchmark::kMillisecond);

BENCHMARK_MAIN();
