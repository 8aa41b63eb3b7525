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
//   plain: q + ((B·(255 − a) + 128) shr 8)
//   wide:  q + ((B·(256 − a) + r) shr 8) = (F·a + B·(256 − a) + 128) shr 8.
// No field carries: every partial sum stays below 2^16 and the two halves
// add up to at most 255. The set only changes three constants, so a loop of
// calls made with the selected set stays one straight body that vectorises.
constexpr TColor32 Mix(TColor32 F, TColor32 B, std::uint32_t a, bool Wide) {
    const std::uint32_t nb = (Wide ? 256 : 255) - a;
    const std::uint32_t keep = Wide ? Low : 0;
    const std::uint32_t round = Wide ? 0 : 0x00800080u;
    const std::uint32_t t0 = (F & Low) * a + 0x00800080u;
    const std::uint32_t t1 = ((F >> 8) & Low) * a + 0x00800080u;
    const std::uint32_t u0 = (B & Low) * nb + (t0 & keep) + round;
    const std::uint32_t u1 = ((B >> 8) & Low) * nb + (t1 & keep) + round;
    return ((t0 >> 8) & Low) + ((u0 >> 8) & Low) + (t1 & ~Low) + (u1 & ~Low);
}

constexpr TColor32 PlainMix(TColor32 F, TColor32 B, std::uint32_t a) {
    return Mix(F, B, a, false);
}

constexpr TColor32 WideMix(TColor32 F, TColor32 B, std::uint32_t a) {
    return Mix(F, B, a, true);
}

// The selected set. A bool, so that pixel stores (32-bit words) cannot alias
// it: a loop of per-pixel calls reads it once, before the loop.
extern bool WideSelected;

} // namespace detail

// The two sets by name, whatever is selected (tests pin both). The per-pixel
// forms are inline and branch-free apart from the shortcuts, which are
// selects, so that loops over them vectorise. A left-alone B is stored back.
namespace plain {

inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    W = detail::Clamp255(W);
    const TColor32 m = detail::PlainMix(X, Y, W);
    return W == 0 ? Y : W == 255 ? X : m;
}

inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    B = Combine(F, B, W);
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    const std::uint32_t a = F >> 24;
    const TColor32 m = detail::PlainMix(F, B, a);
    return a == 0 ? B : a == 255 ? F : m;
}

inline void BlendMem(TColor32 F, TColor32& B) {
    B = Blend(F, B);
}

// The alpha byte is blended like the colour channels.
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    const TColor32 m = detail::PlainMix(F, B, a);
    return a == 0 ? B : m; // a is 0 whenever the alpha of F is
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
    W = detail::Clamp255(W);
    const TColor32 b = B;
    const TColor32 m = detail::WideMix(F, b, W);
    B = W == 0 ? b : W == 255 ? F : m;
}

inline TColor32 Blend(TColor32 F, TColor32 B) {
    return detail::WideMix(F, B, F >> 24);
}

inline void BlendMem(TColor32 F, TColor32& B) {
    const std::uint32_t a = F >> 24;
    const TColor32 b = B;
    const TColor32 m = detail::WideMix(F, b, a);
    B = a == 0 ? b : a == 255 ? F : m;
}

inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    const TColor32 m = detail::WideMix(F, B, a);
    return a == 0 ? B : m;
}

inline void BlendMemEx(TColor32 F, TColor32& B, TColor32 M) {
    B = BlendEx(F, B, M);
}

void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

} // namespace wide

// Through the selected set. Weights and master alphas above 255 count as
// 255. The set is read once and picks the mix constants and, for Combine and
// Blend, whether the plain set's shortcuts apply (as weights 0 and 255; 256
// never matches). Shortcuts both sets share are plain selects: the wide-lane
// mix with weight 0 gives B exactly, so the shared one costs it nothing.
inline TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W) {
    const bool wide = detail::WideSelected;
    const std::uint32_t none = wide ? 256 : 0, all = wide ? 256 : 255;
    W = detail::Clamp255(W);
    const TColor32 m = detail::Mix(X, Y, W, wide);
    return W == none ? Y : W == all ? X : m;
}
inline void CombineMem(TColor32 F, TColor32& B, TColor32 W) {
    W = detail::Clamp255(W);
    const TColor32 b = B;
    const TColor32 m = detail::Mix(F, b, W, detail::WideSelected);
    B = W == 0 ? b : W == 255 ? F : m;
}
inline TColor32 Blend(TColor32 F, TColor32 B) {
    const bool wide = detail::WideSelected;
    const std::uint32_t none = wide ? 256 : 0, all = wide ? 256 : 255;
    const std::uint32_t a = F >> 24;
    const TColor32 m = detail::Mix(F, B, a, wide);
    return a == none ? B : a == all ? F : m;
}
inline void BlendMem(TColor32 F, TColor32& B) {
    const std::uint32_t a = F >> 24;
    const TColor32 b = B;
    const TColor32 m = detail::Mix(F, b, a, detail::WideSelected);
    B = a == 0 ? b : a == 255 ? F : m;
}
inline TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M) {
    const std::uint32_t a = ((detail::Clamp255(M) + 1) * (F >> 24)) >> 8;
    const TColor32 m = detail::Mix(F, B, a, detail::WideSelected);
    return a == 0 ? B : m; // a is 0 whenever the alpha of F is
}
inline void BlendMemEx(TColor32 F, TColor32& B, TColor32 M) {
    B = BlendEx(F, B, M);
}
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// One pixel at a time, without the vector paths of the line blends: the
// reference the line blends are checked against.
namespace reference {
void BlendLine(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
} // namespace reference

} // namespace vel
