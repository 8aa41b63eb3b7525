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

// One formula for both sets, two channels per 32-bit word. With
// q = (F·a + 128) shr 8 and r its remainder, each channel is
//   plain: q + ((B·nb + 128) shr 8), nb = 255 − a
//   wide:  q + ((B·nb + r) shr 8) = (F·a + B·nb + 128) shr 8, nb = 256 − a.
// No field carries: every partial sum stays below 2^16 and the two halves
// add up to at most 255. The set only changes three constants, so a loop of
// calls made with the selected set stays one straight body that vectorises.
//
// The shortcuts are folded into the weights instead of selected afterwards:
// a weight of 256 on F (nb 0) gives F and one of 256 on B (a 0) gives B
// exactly in both formulas, so "gives F" and "gives B" cost an add each.
constexpr TColor32 Mix(TColor32 F, TColor32 B, std::uint32_t a, std::uint32_t nb, bool Wide) {
    const std::uint32_t keep = Wide ? Low : 0;
    const std::uint32_t round = Wide ? 0 : 0x00800080u;
    const std::uint32_t t0 = (F & Low) * a + 0x00800080u;
    const std::uint32_t t1 = ((F >> 8) & Low) * a + 0x00800080u;
    const std::uint32_t u0 = (B & Low) * nb + (t0 & keep) + round;
    const std::uint32_t u1 = ((B >> 8) & Low) * nb + (t1 & keep) + round;
    return ((t0 >> 8) & Low) + ((u0 >> 8) & Low) + (t1 & ~Low) + (u1 & ~Low);
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
    const detail::TWeights w = detail::Folded(detail::Clamp255(W), false, true);
    return detail::Mix(X, Y, w.a, w.nb, false);
}

inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    B = Combine(F, B, W);
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    const detail::TWeights w = detail::Folded(F >> 24, false, true);
    return detail::Mix(F, B, w.a, w.nb, false);
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
    const detail::TWeights w = detail::Folded(detail::Clamp255(W), true, true);
    B = detail::Mix(F, B, w.a, w.nb, true);
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    return detail::WideMix(F, B, F >> 24);
}

inline void BlendMem(TColor32 F, TColor32& B) {
    const detail::TWeights w = detail::Folded(F >> 24, true, true);
    B = detail::Mix(F, B, w.a, w.nb, true);
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

// Through the selected set. Weights and master alphas above 255 count as
// 255. The set is read once and picks the mix constants and, for Combine and
// Blend, whether the plain set's shortcuts apply.
inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    const bool wide = detail::WideSelected;
    const detail::TWeights w = detail::Folded(detail::Clamp255(W), wide, !wide);
    return detail::Mix(X, Y, w.a, w.nb, wide);
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
    const bool wide = detail::WideSelected;
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    const detail::TWeights w = detail::Folded(a, wide, false);
    return detail::Mix(F, B, w.a, w.nb, wide);
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
