#include "Font.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace fw {
namespace {

using TPixels = std::set<std::pair<int, int>>;

TPixels Rendered(const TFontFace& face, std::u32string_view text,
                 const std::vector<int>* underlined = nullptr) {
    TPixels px;
    face.Render(
        text, 0, 0,
        [&](int x, int y) {
            px.insert({x, y});
        },
        underlined);
    return px;
}

std::vector<std::u32string> Texts(const std::vector<TTextLine>& lines) {
    std::vector<std::u32string> out;
    for (const TTextLine& l : lines)
        out.push_back(l.Text);
    return out;
}

TEST(BuiltinFont, MetricsPerScaleAndStyle) {
    const TTextMetric m = TFontFace(1, 0).Metrics();
    EXPECT_EQ(m.Height, 12);
    EXPECT_EQ(m.Ascent, 9);
    EXPECT_EQ(m.Descent, 3);
    EXPECT_EQ(m.InternalLeading, 2);
    EXPECT_EQ(m.AveCharWidth, 6);
    EXPECT_EQ(m.Overhang, 0);
    EXPECT_EQ(TFontFace(2, fsItalic).Metrics().Overhang, 4); // the lean of the top rows
    EXPECT_EQ(TFontFace(1, fsBold).Metrics().AveCharWidth, 7);
    EXPECT_EQ(TFontFace(2, 0).Metrics().Height, 24);
    EXPECT_EQ(TFontFace(2, fsBold).CharWidth(U'W'), 14);

    TFont font; // 8 points
    EXPECT_EQ(TFontFace(font).Scale(), 1);
    font.SetSize(12);
    EXPECT_EQ(TFontFace(font).Scale(), 1);
    font.SetSize(14);
    EXPECT_EQ(TFontFace(font).Scale(), 2);
    font.SetSize(24);
    EXPECT_EQ(TFontFace(font).Scale(), 3);
    font.SetHeight(24); // a cell height, not an em height
    EXPECT_EQ(TFontFace(font).Scale(), 2);
}

TEST(BuiltinFont, WidthsCountCharactersNotCodeUnits) {
    const TFontFace face(1, 0);
    EXPECT_EQ(face.TextWidth(U"Hello"), 30);
    EXPECT_EQ(TFontFace(1, fsBold).TextWidth(U"Hello"), 35);
    EXPECT_EQ(face.TextWidth(TextToU32(std::u16string_view(u"a\U0001F600b"))), 18);
    EXPECT_EQ(TextToU32(std::u16string_view(u"\xD800x")).size(), 2u); // lone surrogate
    EXPECT_EQ(TextToU32(std::string_view("\xE9")), U"\u00E9");
    EXPECT_EQ(face.FitCount(U"abcdef", 17), 2u);
    EXPECT_EQ(face.FitCount(U"abcdef", 100), 6u);
    EXPECT_EQ(face.FitCount(U"abcdef", -3), 0u);
}

TEST(BuiltinFont, GlyphsDrawAtTheirRowsAndBoldItalicUnderlineChangeThem) {
    // '|' is column 2 of the glyph, rows 2..8 of the cell.
    TPixels bar;
    for (int y = 2; y <= 8; ++y)
        bar.insert({2, y});
    EXPECT_EQ(Rendered(TFontFace(1, 0), U"|"), bar);

    TPixels bold = bar;
    for (int y = 2; y <= 8; ++y)
        bold.insert({3, y});
    EXPECT_EQ(Rendered(TFontFace(1, fsBold), U"|"), bold);

    // Italic leans: the top row moves two pixels right, the bottom rows stay.
    const TPixels italic = Rendered(TFontFace(1, fsItalic), U"|");
    EXPECT_TRUE(italic.count({4, 2}));
    EXPECT_TRUE(italic.count({3, 5}));
    EXPECT_TRUE(italic.count({2, 8}));

    // Underline is row 10 across the whole advance.
    const TPixels under = Rendered(TFontFace(1, fsUnderline), U" ");
    TPixels row10;
    for (int x = 0; x < 6; ++x)
        row10.insert({x, 10});
    EXPECT_EQ(under, row10);
    const std::vector<int> second{1};
    EXPECT_EQ(Rendered(TFontFace(1, 0), U"  ", &second).size(), 6u);

    // Scale 2 doubles every pixel.
    EXPECT_EQ(Rendered(TFontFace(2, 0), U"|").size(), bar.size() * 4);
    // Characters without a glyph draw a 5x7 box.
    EXPECT_EQ(Rendered(TFontFace(1, 0), U"\u4E2D").size(), 20u);
    EXPECT_FALSE(HasGlyph(U'\t'));
    EXPECT_EQ(Rendered(TFontFace(1, 0), U"\u00A0").size(), 0u);
}

TEST(TextLayout, WordBreakWrapsAtTheLastSpaceThatFits) {
    const TFontFace face(1, 0);
    // "aaa bbb" is 42 pixels wide.
    EXPECT_EQ(Texts(LayoutText(face, U"aaa bbb ccc", 42, DT_WORDBREAK)),
              (std::vector<std::u32string>{U"aaa bbb", U"ccc"}));
    EXPECT_EQ(Texts(LayoutText(face, U"aaa bbb ccc", 41, DT_WORDBREAK)),
              (std::vector<std::u32string>{U"aaa", U"bbb", U"ccc"}));
    // Trailing spaces of a line are dropped, leading ones of a paragraph kept.
    EXPECT_EQ(Texts(LayoutText(face, U"  ab   cd  ", 24, DT_WORDBREAK)),
              (std::vector<std::u32string>{U"  ab", U"cd"}));
    const auto lines = LayoutText(face, U"aaa bbb ccc", 42, DT_WORDBREAK);
    EXPECT_EQ(lines[0].Width, 42);
    EXPECT_EQ(lines[1].Width, 18);
}

TEST(TextLayout, LongWordsStayWholeUnlessEditControl) {
    const TFontFace face(1, 0);
    EXPECT_EQ(Texts(LayoutText(face, U"abcdefgh ij", 24, DT_WORDBREAK)),
              (std::vector<std::u32string>{U"abcdefgh", U"ij"}));
    EXPECT_EQ(Texts(LayoutText(face, U"abcdefgh ij", 24, DT_WORDBREAK | DT_EDITCONTROL)),
              (std::vector<std::u32string>{U"abcd", U"efgh", U"ij"}));
    // Narrower than one character still makes progress.
    EXPECT_EQ(LayoutText(face, U"abc", 2, DT_WORDBREAK | DT_EDITCONTROL).size(), 3u);
}

TEST(TextLayout, LineBreaksPrefixesTabsAndEllipsis) {
    const TFontFace face(1, 0);
    EXPECT_EQ(Texts(LayoutText(face, U"a\r\nb\rc\nd\n", 100, 0)),
              (std::vector<std::u32string>{U"a", U"b", U"c", U"d", U""}));
    EXPECT_EQ(Texts(LayoutText(face, U"a\nb", 100, DT_SINGLELINE)),
              (std::vector<std::u32string>{U"a\nb"}));

    const auto pre = LayoutText(face, U"&File a&&b&", 100, DT_SINGLELINE);
    EXPECT_EQ(pre[0].Text, U"File a&b");
    EXPECT_EQ(pre[0].Underlined, std::vector<int>{0});
    EXPECT_EQ(LayoutText(face, U"&File", 100, DT_NOPREFIX)[0].Text, U"&File");

    EXPECT_EQ(LayoutText(face, U"ab\tc", 100, DT_EXPANDTABS)[0].Text, U"ab      c");

    // 40 pixels: three characters and "..." (36 pixels) fit.
    EXPECT_EQ(LayoutText(face, U"abcdefghij", 40, DT_END_ELLIPSIS | DT_SINGLELINE)[0].Text,
              U"abc...");
    EXPECT_EQ(LayoutText(face, U"abcdef", 36, DT_END_ELLIPSIS)[0].Text, U"abcdef");
    EXPECT_EQ(LayoutText(face, U"abcdef", 10, DT_END_ELLIPSIS)[0].Text, U"...");
}

} // namespace
} // namespace fw
