#include "Blend32.h"

#include <gtest/gtest.h>

#include <random>

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

} // namespace
} // namespace vel
