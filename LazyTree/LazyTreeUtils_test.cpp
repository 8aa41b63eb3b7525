#include "Bitmap.h"
#include "Canvas.h"
#include "LazyTreeUtils.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(TreeUtils, OrderRectSwapsReversedEdges) {
    EXPECT_EQ(OrderRect({10, 20, 5, 2}), (fw::TRect{5, 2, 10, 20}));
}

TEST(TreeUtils, ShortenStringKeepsTheStartOrTheEnd) {
    fw::TBitmap B(10, 10);
    fw::TCanvas& C = B.Canvas();
    const std::u16string S = u"abcdefghij";
    int Ew = C.TextWidth(std::u16string_view(u"..."));
    EXPECT_EQ(ShortenString(C, S, Ew - 1, false), u"");
    EXPECT_EQ(ShortenString(C, u"", 500, false), u"");
    EXPECT_EQ(ShortenString(C, S, 0, false), u"");
    int W = C.TextWidth(std::u16string_view(u"abcd")) + Ew;
    EXPECT_EQ(ShortenString(C, S, W, false), u"abcd...");
    EXPECT_EQ(ShortenString(C, S, W, true).substr(0, 3), u"...");
    EXPECT_TRUE(ShortenString(C, S, W, true).ends_with(u"j"));
    // A text that fits is still given the ellipsis.
    EXPECT_EQ(ShortenString(C, S, 10000, false), S + u"...");
}

TEST(TreeUtils, ConstantBlendFollowsTheFormula) {
    std::uint32_t Src = 0x80FF4000, Dst = 0x10203040;
    std::uint32_t D = Dst;
    AlphaBlendLine(&Src, &D, 1, abkConstant, 0, 0);
    EXPECT_EQ(D, Dst);
    D = Dst;
    AlphaBlendLine(&Src, &D, 1, abkConstant, 255, 0);
    // Per channel: (S * 255 + D) / 256.
    EXPECT_EQ(D & 0xFF, (0x00u * 255 + 0x40) >> 8);
    EXPECT_EQ((D >> 8) & 0xFF, (0x40u * 255 + 0x30) >> 8);
    EXPECT_EQ((D >> 16) & 0xFF, (0xFFu * 255 + 0x20) >> 8);
    D = 0xFFFFFFFF;
    std::uint32_t White = 0xFFFFFFFF;
    AlphaBlendLine(&White, &D, 1, abkConstant, 128, 40); // saturates at 255
    EXPECT_EQ(D, 0xFFFFFFFFu);
}

TEST(TreeUtils, ColourBlendMovesTowardsTheColour) {
    std::uint32_t D = 0x00000000, Unused = 0;
    AlphaBlendLine(&Unused, &D, 1, abkColor, 256 - 1, 0x0000FF); // red COLORREF
    EXPECT_EQ((D >> 16) & 0xFF, 0xFEu);
    EXPECT_EQ(D & 0xFFFF, 0u);
}

TEST(TreeUtils, RectangleBlendIsCutToBothBlocks) {
    std::uint32_t Src[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    std::uint32_t Dst[4] = {0, 0, 0, 0};
    AlphaBlend(Src, 2, 2, Dst, 2, 2, {0, 0, 5, 5}, {1, 1}, abkPerPixel, 0, 0);
    EXPECT_EQ(Dst[0], 0u);
    EXPECT_EQ(Dst[3], 0xFEFEFEFEu);
    AlphaBlend(Src, 2, 2, Dst, 2, 2, {0, 0, 0, 0}, {0, 0}, abkPerPixel, 0, 0);
    EXPECT_EQ(Dst[0], 0u);
}

TEST(TreeUtils, RectangleBlendMovesNegativeEdgesWithTheirPartner) {
    const std::uint32_t Src[4] = {0xFFFFFFFF, 0, 0, 0xFFFFFFFF};
    // Target left of and above the destination: only the source's last pixel lands, at 0.
    std::uint32_t Dst[4] = {0, 0, 0, 0};
    AlphaBlend(Src, 2, 2, Dst, 2, 2, {0, 0, 2, 2}, {-1, -1}, abkPerPixel, 0, 0);
    EXPECT_EQ(Dst[0], 0xFEFEFEFEu);
    EXPECT_EQ(Dst[3], 0u);
    // Rectangle left of and above the source: its first pixel lands one step in.
    std::uint32_t Dst2[4] = {0, 0, 0, 0};
    AlphaBlend(Src, 2, 2, Dst2, 2, 2, {-1, -1, 1, 1}, {0, 0}, abkPerPixel, 0, 0);
    EXPECT_EQ(Dst2[0], 0u);
    EXPECT_EQ(Dst2[3], 0xFEFEFEFEu);
}

} // namespace
} // namespace vel
