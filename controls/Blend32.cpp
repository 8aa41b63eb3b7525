#include "Blend32.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vel {
namespace {

using detail::Clamp255;
using detail::WideMix;

#if defined(__SSE2__)
// Four pixels at a time. Ex: the master-alpha form, with the weight formula
// of the set. The shortcuts are those of the per-pixel forms.
template <bool Wide, bool Ex>
void LineSse2(const TColor32* Src, TColor32* Dst, int Count, std::uint32_t M) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i c255 = _mm_set1_epi16(255);
    const __m128i opaque = _mm_set1_epi32(255);
    const __m128i mw = _mm_set1_epi16(static_cast<short>(Wide ? M : M + 1));
    int i = 0;
    for (; i + 4 <= Count; i += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + i));
        const __m128i alpha = _mm_srli_epi32(f, 24);
        const __m128i alphaZero = _mm_cmpeq_epi32(alpha, zero);
        if (_mm_movemask_epi8(alphaZero) == 0xFFFF) continue;
        __m128i* dp = reinterpret_cast<__m128i*>(Dst + i);
        __m128i a32 = alpha;
        __m128i takeF = zero;
        __m128i keepB = alphaZero;
        if constexpr (Ex) {
            // Wide: ((alpha + 1) × M) shr 8; plain: ((M + 1) × alpha) shr 8.
            const __m128i base = Wide ? _mm_add_epi32(alpha, _mm_set1_epi32(1)) : alpha;
            a32 = _mm_srli_epi16(_mm_mullo_epi16(base, mw), 8);
            keepB = _mm_or_si128(keepB, _mm_cmpeq_epi32(a32, zero));
        } else {
            takeF = _mm_cmpeq_epi32(alpha, opaque);
            if (_mm_movemask_epi8(takeF) == 0xFFFF) {
                _mm_storeu_si128(dp, f);
                continue;
            }
        }
        const __m128i b = _mm_loadu_si128(dp);
        const __m128i a16 = _mm_or_si128(a32, _mm_slli_epi32(a32, 16));
        const __m128i aLo = _mm_unpacklo_epi32(a16, a16);
        const __m128i aHi = _mm_unpackhi_epi32(a16, a16);
        const __m128i fLo = _mm_unpacklo_epi8(f, zero), fHi = _mm_unpackhi_epi8(f, zero);
        const __m128i bLo = _mm_unpacklo_epi8(b, zero), bHi = _mm_unpackhi_epi8(b, zero);
        __m128i rLo, rHi;
        if constexpr (Wide) {
            // B·256 + (F − B)·a + 128 wraps in 16 bits to the exact sum.
            rLo = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(bLo, 8), bias),
                                _mm_mullo_epi16(_mm_sub_epi16(fLo, bLo), aLo));
            rHi = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(bHi, 8), bias),
                                _mm_mullo_epi16(_mm_sub_epi16(fHi, bHi), aHi));
            rLo = _mm_srli_epi16(rLo, 8);
            rHi = _mm_srli_epi16(rHi, 8);
        } else {
            const __m128i naLo = _mm_sub_epi16(c255, aLo), naHi = _mm_sub_epi16(c255, aHi);
            rLo = _mm_add_epi16(_mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(fLo, aLo), bias), 8),
                                _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(bLo, naLo), bias), 8));
            rHi = _mm_add_epi16(_mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(fHi, aHi), bias), 8),
                                _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(bHi, naHi), bias), 8));
        }
        __m128i r = _mm_packus_epi16(rLo, rHi);
        r = _mm_or_si128(_mm_and_si128(takeF, f), _mm_andnot_si128(takeF, r));
        r = _mm_or_si128(_mm_and_si128(keepB, b), _mm_andnot_si128(keepB, r));
        _mm_storeu_si128(dp, r);
    }
    for (; i < Count; ++i) {
        if constexpr (Ex) {
            if constexpr (Wide) {
                const std::uint32_t alpha = Src[i] >> 24;
                const std::uint32_t a = ((alpha + 1) * M) >> 8;
                if (alpha != 0 && a != 0) Dst[i] = WideMix(Src[i], Dst[i], a);
            } else {
                plain::BlendMemEx(Src[i], Dst[i], M);
            }
        } else if constexpr (Wide) {
            wide::BlendMem(Src[i], Dst[i]);
        } else {
            plain::BlendMem(Src[i], Dst[i]);
        }
    }
}
#endif

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

TBlendSet BlendSet() {
    return detail::WideSelected ? TBlendSet::WideLane : TBlendSet::Plain;
}

void SetBlendSet(TBlendSet Value) {
    detail::WideSelected = Value == TBlendSet::WideLane;
}

// ------------------------------------------------------------ plain set

namespace plain {

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
#if defined(__SSE2__)
    LineSse2<false, false>(Src, Dst, Count, 0);
#else
    reference::BlendLine(TBlendSet::Plain, Src, Dst, Count);
#endif
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
#if defined(__SSE2__)
    LineSse2<false, true>(Src, Dst, Count, Clamp255(M));
#else
    reference::BlendLineEx(TBlendSet::Plain, Src, Dst, Count, M);
#endif
}

} // namespace plain

// -------------------------------------------------------- wide-lane set

namespace wide {

void BlendLine(const TColor32* Src, TColor32* Dst, int Count) {
#if defined(__SSE2__)
    LineSse2<true, false>(Src, Dst, Count, 0);
#else
    reference::BlendLine(TBlendSet::WideLane, Src, Dst, Count);
#endif
}

void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
#if defined(__SSE2__)
    LineSse2<true, true>(Src, Dst, Count, Clamp255(M));
#else
    reference::BlendLineEx(TBlendSet::WideLane, Src, Dst, Count, M);
#endif
}

} // namespace wide

namespace reference {

void BlendLine(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i)
        if (Set == TBlendSet::WideLane)
            wide::BlendMem(Src[i], Dst[i]);
        else
            plain::BlendMem(Src[i], Dst[i]);
}

void BlendLineEx(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    M = Clamp255(M);
    for (int i = 0; i < Count; ++i) {
        if (Set == TBlendSet::Plain) {
            plain::BlendMemEx(Src[i], Dst[i], M);
            continue;
        }
        // The wide-lane line weighs with ((alpha + 1) × M) shr 8.
        const std::uint32_t alpha = Src[i] >> 24;
        const std::uint32_t a = ((alpha + 1) * M) >> 8;
        if (alpha != 0 && a != 0) Dst[i] = WideMix(Src[i], Dst[i], a);
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
