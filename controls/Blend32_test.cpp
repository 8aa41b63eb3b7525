#include "Blend32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vel {
namespace {

class SetScope {
public:
    explicit SetScope(TBlendSet s) : Saved(BlendSet()) { SetBlendSet(s); }
    ~SetScope() { SetBlendSet(Saved); }
    SetScope(const SetScope&) = delete;
    SetScope& operator=(const SetScope&) = delete;

private:
    TBlendSet Saved;
};

class Registers128Scope {
public:
    Registers128Scope() { detail::AllowRegisters256(false); }
    ~Registers128Scope() { detail::AllowRegisters256(true); }
    Registers128Scope(const Registers128Scope&) = delete;
    Registers128Scope& operator=(const Registers128Scope&) = delete;
};

// One channel the slow way, straight from the two formulas.
std::uint32_t PlainChannel(std::uint32_t f, std::uint32_t b, std::uint32_t a) {
    return ((f * a + 128) >> 8) + ((b * (255 - a) + 128) >> 8);
}
std::uint32_t WideChannel(std::uint32_t f, std::uint32_t b, std::uint32_t a) {
    return (f * a + b * (256 - a) + 128) >> 8;
}

TColor32 PerChannel(TColor32 F, TColor32 B, std::uint32_t a, bool Wide) {
    TColor32 r = 0;
    for (int s = 0; s < 32; s += 8) {
        const std::uint32_t f = (F >> s) & 0xFF, b = (B >> s) & 0xFF;
        r |= (Wide ? WideChannel(f, b, a) : PlainChannel(f, b, a)) << s;
    }
    return r;
}

TEST(Blend32Mix, BothSetsMatchTheChannelFormulasForEveryWeight) {
    // Neighbouring channels differ, so a carry between fields would show.
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t f = 0; f < 256; ++f)
            for (std::uint32_t b = 0; b < 256; b += 5) {
                const TColor32 F =
                    Color32(static_cast<std::uint8_t>(255 - f), static_cast<std::uint8_t>(f ^ 0x5A),
                            static_cast<std::uint8_t>(f), static_cast<std::uint8_t>(f));
                const TColor32 B =
                    Color32(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(255 - b),
                            static_cast<std::uint8_t>(b ^ 0xA5), static_cast<std::uint8_t>(b));
                ASSERT_EQ(detail::PlainMix(F, B, a), PerChannel(F, B, a, false)) << a;
                ASSERT_EQ(detail::WideMix(F, B, a), PerChannel(F, B, a, true)) << a;
            }
}

// The common names have bodies of their own; they must answer exactly what
// the named set does, shortcuts included.
TEST(Blend32Mix, CommonNamesAgreeWithTheSelectedSet) {
    std::mt19937 rng(7);
    for (TBlendSet set : {TBlendSet::Plain, TBlendSet::WideLane}) {
        SetScope scope(set);
        const bool w = set == TBlendSet::WideLane;
        for (int i = 0; i < 20000; ++i) {
            TColor32 F = rng(), B = rng();
            if (i % 4 == 1) F |= 0xFF000000;
            if (i % 4 == 2) F &= 0x00FFFFFF;
            const TColor32 W = i % 3 == 0 ? (i % 2 ? 255u : 0u) : rng() % 300;
            const TColor32 M = rng() % 300;
            ASSERT_EQ(Combine(F, B, W), w ? wide::Combine(F, B, W) : plain::Combine(F, B, W));
            ASSERT_EQ(Blend(F, B), w ? wide::Blend(F, B) : plain::Blend(F, B));
            ASSERT_EQ(BlendEx(F, B, M), w ? wide::BlendEx(F, B, M) : plain::BlendEx(F, B, M));
            TColor32 got = B, want = B;
            CombineMem(F, got, W);
            w ? wide::CombineMem(F, want, W) : plain::CombineMem(F, want, W);
            ASSERT_EQ(got, want);
            got = want = B;
            BlendMem(F, got);
            w ? wide::BlendMem(F, want) : plain::BlendMem(F, want);
            ASSERT_EQ(got, want);
            got = want = B;
            BlendMemEx(F, got, M);
            w ? wide::BlendMemEx(F, want, M) : plain::BlendMemEx(F, want, M);
            ASSERT_EQ(got, want);
        }
    }
}


// The table, one pixel and one channel at a time, shortcuts as branches.
struct TScalar {
    bool Wide;

    TColor32 Mix(TColor32 F, TColor32 B, std::uint32_t a) const { return PerChannel(F, B, a, Wide); }
    TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) const {
        W = W > 255 ? 255 : W;
        if (!Wide && W == 0) return Y;
        if (!Wide && W == 255) return X;
        return Mix(X, Y, W);
    }
    TColor32 CombineMem(TColor32 F, TColor32 B, TColor32 W) const {
        W = W > 255 ? 255 : W;
        return W == 0 ? B : W == 255 ? F : Mix(F, B, W);
    }
    TColor32 Blend(TColor32 F, TColor32 B) const {
        const std::uint32_t a = F >> 24;
        if (!Wide && a == 0) return B;
        if (!Wide && a == 255) return F;
        return Mix(F, B, a);
    }
    TColor32 BlendMem(TColor32 F, TColor32 B) const {
        const std::uint32_t a = F >> 24;
        return a == 0 ? B : a == 255 ? F : Mix(F, B, a);
    }
    TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) const {
        M = M > 255 ? 255 : M;
        const std::uint32_t a = ((M + 1) * (F >> 24)) >> 8;
        return (F >> 24) == 0 || a == 0 ? B : Mix(F, B, a);
    }
    TColor32 LineEx(TColor32 F, TColor32 B, TColor32 M) const {
        if (!Wide) return BlendEx(F, B, M);
        M = M > 255 ? 255 : M;
        const std::uint32_t a = (((F >> 24) + 1) * M) >> 8;
        return (F >> 24) == 0 || a == 0 ? B : Mix(F, B, a);
    }
};

// Random pixels with a quarter transparent and a quarter opaque, and runs
// of each long enough for the line kernels' skips.
std::vector<TColor32> Pixels(std::size_t n, std::uint32_t seed, bool back) {
    std::mt19937 rng(seed);
    std::vector<TColor32> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = rng();
        if (back) continue;
        const std::size_t run = (i / 16) % 8;
        if (run == 3 || (run != 5 && i % 4 == 1)) v[i] &= 0x00FFFFFF;
        if (run == 5 || (run != 3 && i % 4 == 2)) v[i] |= 0xFF000000;
    }
    return v;
}


// The line kernels over rows of every length up to 67, so every start and
// every tail length of the registers, with the master alpha at 0, 255 and
// one in between.
void CheckLines(const TScalar& ref, const std::vector<TColor32>& src,
                const std::vector<TColor32>& back) {
    const std::size_t n = src.size();
    std::vector<TColor32> line = back, lineEx = back;
    const auto master = [](std::size_t at) { return at % 3 ? 77u : at % 2 * 255u; };
    for (std::size_t at = 0, len = 1; at < n; at += len, len = len % 67 + 1) {
        const int count = static_cast<int>(std::min(len, n - at));
        BlendLine(src.data() + at, line.data() + at, count);
        BlendLineEx(src.data() + at, lineEx.data() + at, count, master(at));
    }
    for (std::size_t at = 0, len = 1; at < n; at += len, len = len % 67 + 1)
        for (std::size_t i = at; i < std::min(at + len, n); ++i) {
            ASSERT_EQ(line[i], ref.BlendMem(src[i], back[i])) << i;
            ASSERT_EQ(lineEx[i], ref.LineEx(src[i], back[i], master(at))) << i;
        }
}

TEST(Blend32Kernels, EveryFastFormMatchesTheTableOnMillionsOfPixels) {
    constexpr std::size_t N = std::size_t{1} << 20;
    const std::vector<TColor32> src = Pixels(N, 21, false), back = Pixels(N, 22, true);
    std::mt19937 rng(23);
    for (TBlendSet set : {TBlendSet::Plain, TBlendSet::WideLane}) {
        SetScope scope(set);
        const TScalar ref{set == TBlendSet::WideLane};
        ASSERT_NO_FATAL_FAILURE(CheckLines(ref, src, back));
        {
            Registers128Scope narrow; // the 128-bit kernels where 256-bit ones ran
            ASSERT_NO_FATAL_FAILURE(CheckLines(ref, src, back));
        }
        // Loops of per-pixel calls, as callers write them (the compiler
        // vectorises them in optimised builds).
        for (TColor32 W : {0u, 1u, 128u, 254u, 255u, 999u}) {
            std::vector<TColor32> c(N), cm = back;
            for (std::size_t i = 0; i < N; ++i)
                c[i] = Combine(src[i], back[i], W);
            for (std::size_t i = 0; i < N; ++i)
                CombineMem(src[i], cm[i], W);
            for (std::size_t i = 0; i < N; i += 7) {
                ASSERT_EQ(c[i], ref.Combine(src[i], back[i], W)) << i << " " << W;
                ASSERT_EQ(cm[i], ref.CombineMem(src[i], back[i], W)) << i << " " << W;
            }
        }
        std::vector<TColor32> b(N), bm = back;
        for (std::size_t i = 0; i < N; ++i)
            b[i] = Blend(src[i], back[i]);
        for (std::size_t i = 0; i < N; ++i)
            BlendMem(src[i], bm[i]);
        for (std::size_t i = 0; i < N; ++i) {
            ASSERT_EQ(b[i], ref.Blend(src[i], back[i])) << i;
            ASSERT_EQ(bm[i], ref.BlendMem(src[i], back[i])) << i;
        }
        for (TColor32 M : {0u, 1u, 254u, 255u, 300u, static_cast<TColor32>(rng() % 256)}) {
            std::vector<TColor32> x(N), xm = back;
            for (std::size_t i = 0; i < N; ++i)
                x[i] = BlendEx(src[i], back[i], M);
            for (std::size_t i = 0; i < N; ++i)
                BlendMemEx(src[i], xm[i], M);
            for (std::size_t i = 0; i < N; i += 7) {
                ASSERT_EQ(x[i], ref.BlendEx(src[i], back[i], M)) << i << " " << M;
                ASSERT_EQ(xm[i], ref.BlendEx(src[i], back[i], M)) << i << " " << M;
            }
        }
    }
}

} // namespace
} // namespace vel
