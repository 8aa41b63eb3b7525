#pragma once
// 32-bit pixels and the per-pixel blends under TBitmap32. Two formula sets
// exist: the plain one and the wide-lane one (all four channels in 16-bit
// lanes of one 64-bit word). The processor check at load picks one; tests
// and benchmarks may force either.
#include <cstdint>

namespace vel {

// Alpha in bits 24-31, red 16-23, green 8-15, blue 0-7; 255 is opaque.
using TColor32 = std::uint32_t;

constexpr TColor32 Gray32(std::uint8_t Intensity, std::uint8_t Alpha = 0xFF) {
    return (TColor32{Alpha} << 24) + (TColor32{Intensity} << 16) + TColor32{Intensity} * 257u;
}
constexpr TColor32 Color32(std::uint8_t R, std::uint8_t G, std::uint8_t B, std::uint8_t A = 0xFF) {
    return (TColor32{A} << 24) | (TColor32{R} << 16) | (TColor32{G} << 8) | TColor32{B};
}
constexpr std::uint32_t AlphaComponent(TColor32 C) {
    return C >> 24;
}

enum class TBlendSet { Plain, WideLane };

// The set the processor check chose: wide lanes on 64-bit x86 with the
// multimedia extension, the plain set elsewhere.
TBlendSet DetectBlendSet();
TBlendSet BlendSet();
void SetBlendSet(TBlendSet Value);

namespace detail {

constexpr std::uint32_t Low = 0x00FF00FFu;

constexpr std::uint32_t Clamp255(std::uint32_t V) {
    return V < 255 ? V : 255;
}

// One formula for both sets, two channels per 32-bit word:
//   plain: ((F·a + 128) shr 8) + ((B·nb + 128) shr 8), nb = 255 − a
//   wide:  (F·a + B·nb + 128) shr 8,                   nb = 256 − a.
// No field carries: every partial sum stays below 2^16 (at most 65408) and
// the plain halves add up to at most 255. The set only switches masks, so a
// loop of calls made with the selected set stays one straight body that
// vectorises; compilers that take the test of the set out of the loop are
// left with the cheaper wide body (one rounding, no second product to split).
//
// The shortcuts are folded into the weights instead of selected afterwards:
// a weight of 256 on F (nb 0) gives F and one of 256 on B (a 0) gives B
// exactly in both formulas, so "gives F" and "gives B" cost an add each.
constexpr TColor32 Mix(TColor32 F, TColor32 B, std::uint32_t a, std::uint32_t nb, bool Wide) {
    constexpr std::uint32_t Round = 0x00800080u;
    // Wide: B's sum takes F's product and rounding whole; plain: each rounds alone.
    const std::uint32_t joined = Wide ? ~0u : 0u;
    const std::uint32_t t0 = (F & Low) * a + Round;
    const std::uint32_t t1 = ((F >> 8) & Low) * a + Round;
    const std::uint32_t u0 = (B & Low) * nb + ((t0 & joined) | (Round & ~joined));
    const std::uint32_t u1 = ((B >> 8) & Low) * nb + ((t1 & joined) | (Round & ~joined));
    return ((t0 >> 8) & Low & ~joined) + ((u0 >> 8) & Low) + (t1 & ~Low & ~joined) +
           (u1 & ~Low);
}

constexpr TColor32 PlainMix(TColor32 F, TColor32 B, std::uint32_t a) {
    return Mix(F, B, a, 255 - a, false);
}

constexpr TColor32 WideMix(TColor32 F, TColor32 B, std::uint32_t a) {
    return Mix(F, B, a, 256 - a, true);
}

// Weight w (0..255) with the shortcuts "0 gives B" and, when Opaque, "255
// gives F" folded in; Wide: the set's formula.
struct TWeights {
    std::uint32_t a, nb;
};
// Shifts rather than compares: they keep the vectoriser in 32-bit lanes.
constexpr TWeights Folded(std::uint32_t w, bool Wide, bool Opaque) {
    const std::uint32_t a = w + (Opaque ? (w + 1) >> 8 : 0);
    // Wide: 256 − a is 256 for w = 0 already.
    const std::uint32_t nb = Wide ? 256 - a : 255 - w + ((256 - w) >> 8);
    return {a, nb};
}

// The forms that keep B for weight 0 and take F for 255 in both sets.
constexpr TColor32 CombineMemOf(TColor32 F, TColor32 B, TColor32 W, bool Wide) {
    const TWeights w = Folded(Clamp255(W), Wide, true);
    return Mix(F, B, w.a, w.nb, Wide);
}
constexpr TColor32 BlendMemOf(TColor32 F, TColor32 B, bool Wide) {
    const TWeights w = Folded(F >> 24, Wide, true);
    return Mix(F, B, w.a, w.nb, Wide);
}

// The selected set. A bool, so that pixel stores (32-bit words) cannot alias
// it: a loop of per-pixel calls reads it once, before the loop.
extern bool WideSelected;

// Whether the line blends run on 256-bit registers: where the processor has
// them, unless turned off (tests check the 128-bit kernels that way).
bool Registers256();
void AllowRegisters256(bool Value);

} // namespace detail

// The two sets by name, whatever is selected (tests pin both). The per-pixel
// forms are inline and branch-free, so that loops over them vectorise. A
// left-alone B is stored back.
namespace plain {

inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    return detail::CombineMemOf(X, Y, W, false);
}

inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    B = Combine(F, B, W);
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    return detail::BlendMemOf(F, B, false);
}

inline void BlendMem(TColor32 F, TColor32& B) {
    B = Blend(F, B);
}

// The alpha byte is blended like the colour channels. a is 0 whenever the
// alpha of F is, and 255 is no shortcut here.
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    const detail::TWeights w = detail::Folded(a, false, false);
    return detail::Mix(F, B, w.a, w.nb, false);
}

inline void BlendMemEx(TColor32 F, TColor32& B, TColor32 M) {
    B = BlendEx(F, B, M);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

} // namespace plain

namespace wide {

inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    return detail::WideMix(X, Y, detail::Clamp255(W));
}

inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    B = detail::CombineMemOf(F, B, W, true);
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    return detail::WideMix(F, B, F >> 24);
}

inline void BlendMem(TColor32 F, TColor32& B) {
    B = detail::BlendMemOf(F, B, true);
}

// a 0 gives B by the formula itself.
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    return detail::WideMix(F, B, a);
}

inline void BlendMemEx(TColor32 F, TColor32& B, TColor32 M) {
    B = BlendEx(F, B, M);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

} // namespace wide

// Through the selected set. In a caller's loop compilers move the test of
// the set out and vectorise each set's body on its own. Combine and BlendEx
// hand over to the set's functions; the others keep one body with the set
// as a flag, the only shape of them GCC 12 vectorises (measured).
inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    return detail::WideSelected ? wide::Combine(X, Y, W) : plain::Combine(X, Y, W);
}
inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    const bool wide = detail::WideSelected;
    const detail::TWeights w = detail::Folded(detail::Clamp255(W), wide, true);
    B = detail::Mix(F, B, w.a, w.nb, wide);
}
inline TColor32 Blend(TColor32 F, TColor32 B) {
    const bool wide = detail::WideSelected;
    const detail::TWeights w = detail::Folded(F >> 24, wide, !wide);
    return detail::Mix(F, B, w.a, w.nb, wide);
}
inline void BlendMem(TColor32 F, TColor32& B) {
    const bool wide = detail::WideSelected;
    const detail::TWeights w = detail::Folded(F >> 24, wide, true);
    B = detail::Mix(F, B, w.a, w.nb, wide);
}
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    return detail::WideSelected ? wide::BlendEx(F, B, M) : plain::BlendEx(F, B, M);
}
inline void BlendMemEx(TColor32 F, TColor32& B, TColor32 M) {
    B = BlendEx(F, B, M);
}
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// One pixel and one channel at a time, straight from the formulas, without
// the folded shortcuts or vector paths: what the fast forms are checked
// against.
namespace reference {
void BlendLine(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
} // namespace reference

} // namespace vel
