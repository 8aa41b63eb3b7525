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

// Two channels per 32-bit word, each in a 16-bit field.
//   plain: ((F·a + 128) shr 8) + ((B·nb + 128) shr 8), nb = 255 − a
//   wide:  (F·a + B·nb + 128) shr 8,                   nb = 256 − a.
// No field carries: every partial sum stays below 2^16 (at most 65408) and
// the plain halves add up to at most 255.
//
// The shortcuts are folded into the weights instead of selected afterwards:
// a weight of 256 on F (nb 0) gives F and one of 256 on B (a 0) gives B
// exactly in both formulas, so "gives F" and "gives B" cost an add each.
constexpr TColor32 PlainMix(TColor32 F, TColor32 B, std::uint32_t a, std::uint32_t nb) {
    constexpr std::uint32_t Round = 0x00800080u;
    const std::uint32_t t0 = (F & Low) * a + Round;
    const std::uint32_t t1 = ((F >> 8) & Low) * a + Round;
    const std::uint32_t u0 = (B & Low) * nb + Round;
    const std::uint32_t u1 = ((B >> 8) & Low) * nb + Round;
    return ((t0 >> 8) & Low) + ((u0 >> 8) & Low) + (t1 & ~Low) + (u1 & ~Low);
}

// The wide sum as B·256 + (F − B)·a: one product per word instead of two.
// The fields' differences borrow from each other, but the word is the sum
// of the fields' values times their places modulo 2^32, and each field's
// whole sum lies in [0, 2^16), so the word ends up holding exactly those.
// The odd channels' B·256 is B's own bits in place (a shift fewer), and the
// rounding is or-ed into the low bytes, which are free there.
constexpr TColor32 WideMix(TColor32 F, TColor32 B, std::uint32_t a) {
    constexpr std::uint32_t Round = 0x00800080u;
    const std::uint32_t b0 = B & Low, bOdd = B & ~Low;
    const std::uint32_t s0 = ((F & Low) - b0) * a + ((b0 << 8) | Round);
    const std::uint32_t s1 = (((F >> 8) & Low) - (bOdd >> 8)) * a + (bOdd | Round);
    return ((s0 >> 8) & Low) | (s1 & ~Low);
}

constexpr TColor32 PlainMix(TColor32 F, TColor32 B, std::uint32_t a) {
    return PlainMix(F, B, a, 255 - a);
}

// Weight w (0..255) with "255 gives F" folded in when Opaque; "0 gives B"
// needs nothing in the wide formula and nb 256 in the plain one.
// Shifts rather than compares: they keep the vectoriser in 32-bit lanes.
constexpr std::uint32_t FoldedA(std::uint32_t w, bool Opaque) {
    return w + (Opaque ? (w + 1) >> 8 : 0);
}
constexpr std::uint32_t FoldedPlainNb(std::uint32_t w) {
    return 255 - w + ((256 - w) >> 8);
}

// The forms that keep B for weight 0 and take F for 255 in both sets.
constexpr TColor32 CombineMemOf(TColor32 F, TColor32 B, TColor32 W, bool Wide) {
    const std::uint32_t w = Clamp255(W);
    return Wide ? WideMix(F, B, FoldedA(w, true)) : PlainMix(F, B, FoldedA(w, true), FoldedPlainNb(w));
}
constexpr TColor32 BlendMemOf(TColor32 F, TColor32 B, bool Wide) {
    const std::uint32_t w = F >> 24;
    return Wide ? WideMix(F, B, FoldedA(w, true)) : PlainMix(F, B, FoldedA(w, true), FoldedPlainNb(w));
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
    return detail::PlainMix(F, B, a, detail::FoldedPlainNb(a));
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

namespace detail {

// The set the processor check picks on this architecture. Its per-pixel
// forms are inline in the selected names below; the other set's (forced by
// tests and benchmarks) are calls. A loop of calls through the selected
// names then splits on the test of the set into a straight body of the
// picked set, which vectorises, and a loop of calls. One body for both sets
// would have to hold both formulas' products and costs twice the wide one.
#if defined(__x86_64__)
constexpr bool WideByDefault = true;
namespace picked = wide;
#else
constexpr bool WideByDefault = false;
namespace picked = plain;
#endif

TColor32 OtherCombine(TColor32 X, TColor32 Y, TColor32 W);
TColor32 OtherCombineMem(TColor32 F, TColor32 B, TColor32 W);
TColor32 OtherBlend(TColor32 F, TColor32 B);
TColor32 OtherBlendMem(TColor32 F, TColor32 B);
TColor32 OtherBlendEx(TColor32 F, TColor32 B, TColor32 M);

inline bool PickedSelected() {
    return WideSelected == WideByDefault;
}

} // namespace detail

// Through the selected set.
inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    if (detail::PickedSelected()) [[likely]]
        return detail::picked::Combine(X, Y, W);
    return detail::OtherCombine(X, Y, W);
}
inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    if (detail::PickedSelected()) [[likely]]
        detail::picked::CombineMem(F, B, W);
    else
        B = detail::OtherCombineMem(F, B, W);
}
inline TColor32 Blend(TColor32 F, TColor32 B) {
    if (detail::PickedSelected()) [[likely]]
        return detail::picked::Blend(F, B);
    return detail::OtherBlend(F, B);
}
inline void BlendMem(TColor32 F, TColor32& B) {
    if (detail::PickedSelected()) [[likely]]
        detail::picked::BlendMem(F, B);
    else
        B = detail::OtherBlendMem(F, B);
}
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    if (detail::PickedSelected()) [[likely]]
        return detail::picked::BlendEx(F, B, M);
    return detail::OtherBlendEx(F, B, M);
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
