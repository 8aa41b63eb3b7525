#include "Graphics.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(SystemColors, ResolveToTheDocumentedValues) {
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clWindowText), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(clHighlight), RGB(10, 36, 106));
    EXPECT_EQ(ColorToRGB(clHighlightText), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
    EXPECT_EQ(ColorToRGB(clBtnHighlight), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clGrayText), RGB(128, 128, 128));
    EXPECT_EQ(ColorToRGB(clInfoBk), RGB(255, 255, 225));
    EXPECT_EQ(ColorToRGB(clInfoText), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(cl3DDkShadow), RGB(64, 64, 64));
    EXPECT_EQ(ColorToRGB(cl3DLight), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clActiveCaption), RGB(10, 36, 106));
    EXPECT_EQ(static_cast<std::uint32_t>(clBtnFace), 0x8000000Fu);
    // Unknown indexes are black; plain colours and markers pass through.
    EXPECT_EQ(ColorToRGB(SystemColor(200)), 0);
    EXPECT_EQ(ColorToRGB(clRed), clRed);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(ColorToRGB(clDefault), clDefault);
}

TEST(SystemColors, OverrideAndResetBumpTheVersion) {
    const unsigned v0 = SystemColorsVersion();
    SetSysColor(15, RGB(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
    EXPECT_GT(SystemColorsVersion(), v0);
    ResetSystemColors();
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
}

TEST(Colors, PixelsAreOpaqueAndMarkersPaintBlackOrWhite) {
    EXPECT_EQ(ColorToPixel32(clRed), 0xFFFF0000u);
    EXPECT_EQ(ColorToPixel32(clBtnFace), 0xFFD4D0C8u);
    EXPECT_EQ(ColorToPixel32(clNone), 0xFFFFFFFFu);
    EXPECT_EQ(ColorToPixel32(clDefault), 0xFF000000u);
    EXPECT_EQ(GetRValue(RGB(1, 2, 3)), 1);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
    EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(PenModes, MixAsTheirTruthTables) {
    const std::uint32_t pen = 0xFF0F0F0Fu, dst = 0xFF00FF33u;
    EXPECT_EQ(MixPixel(pmCopy, pen, dst), pen);
    EXPECT_EQ(MixPixel(pmNop, pen, dst), dst);
    EXPECT_EQ(MixPixel(pmBlack, pen, dst), 0xFF000000u);
    EXPECT_EQ(MixPixel(pmWhite, pen, dst), 0xFFFFFFFFu);
    EXPECT_EQ(MixPixel(pmNot, pen, dst), 0xFFFF00CCu);
    EXPECT_EQ(MixPixel(pmXor, pen, dst), 0xFF0FF03Cu);
    EXPECT_EQ(MixPixel(pmMask, pen, dst), 0xFF000F03u);
    EXPECT_EQ(MixPixel(pmMerge, pen, dst), 0xFF0FFF3Fu);
    EXPECT_EQ(MixPixel(pmNotCopy, pen, dst), 0xFFF0F0F0u);
    EXPECT_EQ(MixPixel(pmMaskPenNot, pen, dst), 0xFF0F000Cu);
    EXPECT_EQ(MixPixel(pmMergeNotPen, pen, dst), 0xFFF0FFF3u);
    EXPECT_EQ(MixPixel(pmNotXor, pen, dst), 0xFFF00FC3u);
    // XOR twice gives the destination back.
    EXPECT_EQ(MixPixel(pmXor, pen, MixPixel(pmXor, pen, dst)), dst);
}

TEST(RasterOps, DocumentedCodesComputeTheirFormulas) {
    const std::uint32_t p = 0xFFF0F0F0u, s = 0xFFCCCCCCu, d = 0xFFAAAAAAu;
    EXPECT_EQ(RopPixel(SRCCOPY, p, 0x12345678u, d), 0x12345678u); // alpha kept
    EXPECT_EQ(RopPixel(SRCPAINT, p, s, d), 0xFFEEEEEEu);
    EXPECT_EQ(RopPixel(SRCAND, p, s, d), 0xFF888888u);
    EXPECT_EQ(RopPixel(SRCINVERT, p, s, d), 0xFF666666u);
    EXPECT_EQ(RopPixel(SRCERASE, p, s, d), 0xFF444444u);
    EXPECT_EQ(RopPixel(NOTSRCCOPY, p, s, d), 0xFF333333u);
    EXPECT_EQ(RopPixel(MERGECOPY, p, s, d), 0xFFC0C0C0u);
    EXPECT_EQ(RopPixel(PATCOPY, p, s, d), 0xFFF0F0F0u);
    EXPECT_EQ(RopPixel(PATINVERT, p, s, d), 0xFF5A5A5Au);
    EXPECT_EQ(RopPixel(DSTINVERT, p, s, d), 0xFF555555u);
    EXPECT_EQ(RopPixel(BLACKNESS, p, s, d), 0xFF000000u);
    EXPECT_EQ(RopPixel(WHITENESS, p, s, d), 0xFFFFFFFFu);
    EXPECT_TRUE(RopUsesSource(SRCAND));
    EXPECT_FALSE(RopUsesSource(PATINVERT));
    EXPECT_FALSE(RopUsesSource(DSTINVERT));
    EXPECT_TRUE(RopUsesPattern(PATCOPY));
    EXPECT_FALSE(RopUsesPattern(SRCCOPY));
    EXPECT_TRUE(RopUsesPattern(MERGECOPY));
}

TEST(GraphicsObjects, ChangeEventsFireOnlyOnRealChanges) {
    int penChanges = 0, fontChanges = 0;
    TPen pen;
    pen.OnChange = [&](TObject*) { ++penChanges; };
    pen.SetColor(clBlack); // default: no change
    pen.SetColor(clRed);
    pen.SetWidth(0); // clamps to 1, the default
    EXPECT_EQ(pen.Width(), 1);
    pen.SetMode(pmXor);
    EXPECT_EQ(penChanges, 2);

    TFont font;
    font.OnChange = [&](TObject*) { ++fontChanges; };
    EXPECT_EQ(font.Size(), 8);
    EXPECT_EQ(font.Height(), -11);
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -16);
    EXPECT_EQ(font.Size(), 12);
    font.SetSize(12);
    font.SetStyle(fsBold | fsItalic);
    EXPECT_EQ(fontChanges, 2);
    TFont copy;
    copy.Assign(font);
    EXPECT_TRUE(copy.SameAs(font));
    EXPECT_FALSE(static_cast<bool>(copy.OnChange)); // handlers are not copied
}

} // namespace
} // namespace fw
