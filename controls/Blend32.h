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

// Weights and master alphas above 255 count as 255.
TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W);
void CombineMem(TColor32 F, TColor32& B, TColor32 W);
TColor32 Blend(TColor32 F, TColor32 B);
void BlendMem(TColor32 F, TColor32& B);
TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M);
void BlendMemEx(TColor32 F, TColor32& B, TColor32 M);
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);

// The two sets by name, whatever is selected (tests pin both).
namespace plain {
TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W);
void CombineMem(TColor32 F, TColor32& B, TColor32 W);
TColor32 Blend(TColor32 F, TColor32 B);
void BlendMem(TColor32 F, TColor32& B);
TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M);
void BlendMemEx(TColor32 F, TColor32& B, TColor32 M);
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
} // namespace plain

namespace wide {
TColor32 Combine(TColor32 X, TColor32 Y, TColor32 W);
void CombineMem(TColor32 F, TColor32& B, TColor32 W);
TColor32 Blend(TColor32 F, TColor32 B);
void BlendMem(TColor32 F, TColor32& B);
TColor32 BlendEx(TColor32 F, TColor32 B, TColor32 M);
void BlendMemEx(TColor32 F, TColor32& B, TColor32 M);
void BlendLine(const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
} // namespace wide

// One pixel at a time, without the vector paths of the line blends: the
// reference the line blends are checked against.
namespace reference {
void BlendLine(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count);
void BlendLineEx(TBlendSet Set, const TColor32* Src, TColor32* Dst, int Count, TColor32 M);
} // namespace reference

} // namespace vel
