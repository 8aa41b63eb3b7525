#include "Blend32.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

namespace vel {
namespace {

using detail::Clamp255;

#if defined(__SSE2__)
namespace lanes128 {

struct V {
    using T = __m128i;
    static constexpr int Pixels = 4;
    static T Load(const TColor32* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void Store(TColor32* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static T Zero() { return _mm_setzero_si128(); }
    static T Set16(std::uint32_t x) { return _mm_set1_epi16(static_cast<short>(x)); }
    static T Set32(std::uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
    static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
    static T Sub16(T a, T b) { return _mm_sub_epi16(a, b); }
    static T Eq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
    static T Mul16(T a, T b) { return _mm_mullo_epi16(a, b); }
    static T Shr8(T a) { return _mm_srli_epi16(a, 8); }
    static T Or(T a, T b) { return _mm_or_si128(a, b); }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    // The low or high half's bytes of a widened to 16 bits, with those of
    // high as their upper bytes (zero for plain widening).
    static T Lo(T a, T high) { return _mm_unpacklo_epi8(a, high); }
    static T Hi(T a, T high) { return _mm_unpackhi_epi8(a, high); }
    static T Pack(T lo, T hi) { return _mm_packus_epi16(lo, hi); }
    // Each pixel's alpha in all four of its 16-bit lanes, for the pixels of
    // the low or high half: from the packed pixels in one byte shuffle where
    // the processor level has one, else from the widened half.
#if defined(__SSSE3__)
    static T AlphaLo(T packed, T) {
        return _mm_shuffle_epi8(packed, _mm_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1));
    }
    static T AlphaHi(T packed, T) {
        return _mm_shuffle_epi8(packed,
                                _mm_setr_epi8(11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1));
    }
#else
    static T AlphaLo(T, T half) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(half, 0xFF), 0xFF); }
    static T AlphaHi(T, T half) { return AlphaLo(half, half); }
#endif
    static bool AllEqual32(T a, T b) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF; }
};

#include "Blend32Lanes.inc"

// The rounds, then the last pixels one by one through the same kernel.
template <bool Wide, bool Ex>
void Line(const TColor32* Src, TColor32* Dst, int Count, std::uint32_t M) {
    const V::T mw = V::Set16(Wide ? M : M + 1);
    for (int i = LineRounds<Wide, Ex>(Src, Dst, Count, M); i < Count; ++i) {
        const V::T f = _mm_cvtsi32_si128(static_cast<int>(Src[i]));
        const V::T b = _mm_cvtsi32_si128(static_cast<int>(Dst[i]));
        Dst[i] = static_cast<TColor32>(_mm_cvtsi128_si32(MixPixels<Wide, Ex>(f, b, mw)));
    }
}

} // namespace lanes128
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VEL_BLEND32_AVX2 1
// The same kernels on 256-bit registers where the processor has them; the
// lane-wise unpack, shuffle and pack keep pixels in order within each half.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace lanes256 {

struct V {
    using T = __m256i;
    static constexpr int Pixels = 8;
    static T Load(const TColor32* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
    static void Store(TColor32* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static T Zero() { return _mm256_setzero_si256(); }
    static T Set16(std::uint32_t x) { return _mm256_set1_epi16(static_cast<short>(x)); }
    static T Set32(std::uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
    static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
    static T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
    static T Eq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
    static T Mul16(T a, T b) { return _mm256_mullo_epi16(a, b); }
    static T Shr8(T a) { return _mm256_srli_epi16(a, 8); }
    static T Or(T a, T b) { return _mm256_or_si256(a, b); }
    static T And(T a, T b) { return _mm256_and_si256(a, b); }
    static T Lo(T a, T high) { return _mm256_unpacklo_epi8(a, high); }
    static T Hi(T a, T high) { return _mm256_unpackhi_epi8(a, high); }
    static T Pack(T lo, T hi) { return _mm256_packus_epi16(lo, hi); }
    // As the 128-bit forms, in each 128-bit half of the register.
    static T AlphaLo(T packed, T) {
        return _mm256_shuffle_epi8(packed, _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1,
                                                            3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1));
    }
    static T AlphaHi(T packed, T) {
        return _mm256_shuffle_epi8(packed,
                                   _mm256_setr_epi8(11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1,
                                                    11, -1, 11, -1, 11, -1, 11, -1, 15, -1, 15, -1, 15, -1, 15, -1));
    }
    static bool AllEqual32(T a, T b) { return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, b)) == -1; }
};

#include "Blend32Lanes.inc"

// Leaves the upper register halves clean for the 128-bit tail and for the
// caller (see CleanUpperHalves).
template <bool Wide, bool Ex>
void Line(const TColor32* Src, TColor32* Dst, int Count, std::uint32_t M) {
    const int done = LineRounds<Wide, Ex>(Src, Dst, Count, M);
    _mm256_zeroupper();
    lanes128::Line<Wide, Ex>(Src + done, Dst + done, Count - done, M);
}

// On processors with 256-bit registers, 128-bit instructions of the old
// encoding run two to three times slower while the upper halves of any
// vector register hold data (measured here on an AMD EPYC; the string
// routines of the C library leave them so on processors with 512-bit
// registers). One instruction clears them.
void CleanUpperHalves() {
    _mm256_zeroupper();
}

} // namespace lanes256
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const bool HasAvx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}();
const bool HasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

bool RegistersAllowed256 = true;

// The widest kernel the processor runs; all give the same pixels.
template <bool Wide, bool Ex>
void LineKernel(const TColor32* Src, TColor32* Dst, int Count, std::uint32_t M) {
#if defined(VEL_BLEND32_AVX2)
    if (HasAvx2 && RegistersAllowed256) return lanes256::Line<Wide, Ex>(Src, Dst, Count, M);
    if (HasAvx) lanes256::CleanUpperHalves();
#endif
#if defined(__SSE2__)
    lanes128::Line<Wide, Ex>(Src, Dst, Count, M);
#else
    const TBlendSet set = Wide ? TBlendSet::WideLane : TBlendSet::Plain;
    if constexpr (Ex)
        reference::BlendLineEx(set, Src, Dst, Count, M);
    else
        reference::BlendLine(set, Src, Dst, Count);
#endif
}

} // namespace

TBlendSet DetectBlendSet() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("mmx") ? TBlendSet::WideLane : TBlendSet::Plain;
#else
    return TBlendSet::Plain;
#endif
}

// Constant-initialised to what the check answers on this architecture, so
// that blends run before the check below already take the right set.
constinit bool detail::WideSelected =
#if defined(__x86_64__)
    true;
#else
    false;
#endif

namespace {
// The processor check runs once, at load.
[[maybe_unused]] const bool LoadTimeSet = detail::WideSelected =
    DetectBlendSet() == TBlendSet::WideLane;
} // namespace

bool detail::Registers256() {
#if defined(VEL_BLEND32_AVX2)
    return HasAvx2 && RegistersAllowed256;
#else
    return false;
#endif
}

void detail::AllowRegisters256(bool Value) {
    RegistersAllowed256 = Value;
}

TBlendSet BlendSet() {
    return detail::WideSelected ? TBlendSet::WideLane : TBlendSet::Plain;
}

void SetBlendSet(TBlendSet Value) {
    detail::WideSelected = Value == TBlendSet::WideLane;
}

// The set the selected names call out of line: the one the processor check
// does not pick here.
namespace detail {
namespace {
#if defined(__x86_64__)
namespace other = plain;
#else
namespace other = wide;
#endif
} // namespace

TColor32 OtherCombine(TColor32 X, TColor32 Y, TColor32 W) {
    return other::Combine(X, Y, W);
}
TColor32 OtherCombineMem(TColor32 F, TColor32 B, TColor32 W) {
    other::CombineMem(F, B, W);
    return B;
}
TColor32 OtherBlend(TColor32 F, TColor32 B) {
    return other::Blend(F, B);
}
TColor32 OtherBlendMem(TColor32 F, TColor32 B) {
    other::BlendMem(F, B);
    return B;
}
TColor32 OtherBlendEx(TColor32 F, TColor32 B, TColor32 M) {
    return other::BlendEx(F, B, M);
}
} // namespace detail

// ------------------------------------------------------------ plain set

namespace plain {

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    LineKernel<false, false>(Src, Dst, Count, 0);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    LineKernel<false, true>(Src, Dst, Count, Clamp255(M));
}

} // namespace plain

// -------------------------------------------------------- wide-lane set

namespace wide {

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    LineKernel<true, false>(Src, Dst, Count, 0);
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    LineKernel<true, true>(Src, Dst, Count, Clamp255(M));
}

} // namespace wide

namespace reference {
namespace {

std::uint32_t Channel(std::uint32_t f, std::uint32_t b, std::uint32_t a, bool Wide) {
    return Wide ? (f * a + b * (256 - a) + 128) >> 8
                : ((f * a + 128) >> 8) + ((b * (255 - a) + 128) >> 8);
}

TColor32 PerChannel(TColor32 F, TColor32 B, std::uint32_t a, bool Wide) {
    TColor32 r = 0;
    for (int s = 0; s < 32; s += 8)
        r |= Channel((F >> s) & 0xFF, (B >> s) & 0xFF, a, Wide) << s;
    return r;
}

} // namespace

void BlendLine(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i) {
        const std::uint32_t alpha = Src[i] >> 24;
        if (alpha == 0) continue;
        Dst[i] = alpha == 255 ? Src[i] : PerChannel(Src[i], Dst[i], alpha, Set == TBlendSet::WideLane);
    }
}

void BlendLineEx(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    M = Clamp255(M);
    const bool wide = Set == TBlendSet::WideLane;
    for (int i = 0; i < Count; ++i) {
        const std::uint32_t alpha = Src[i] >> 24;
        // The wide-lane line weighs with ((alpha + 1) × M) shr 8.
        const std::uint32_t a = wide ? ((alpha + 1) * M) >> 8 : ((M + 1) * alpha) >> 8;
        if (alpha != 0 && a != 0) Dst[i] = PerChannel(Src[i], Dst[i], a, wide);
    }
}

} // namespace reference

// ------------------------------------------------------------ selection

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
    if (detail::WideSelected)
        wide::BlendLine(Src, Dst, Count);
    else
        plain::BlendLine(Src, Dst, Count);
}
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    if (detail::WideSelected)
        wide::BlendLineEx(Src, Dst, Count, M);
    else
        plain::BlendLineEx(Src, Dst, Count, M);
}

} // namespace vel
