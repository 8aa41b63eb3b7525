#include "Font.h"

#include <algorithm>

namespace fw {

namespace {

// Cell rows at scale 1: two of internal leading, seven above the baseline,
// two of descender and one blank.
constexpr int CellHeight = 12;
constexpr int CellAscent = 9;
constexpr int GlyphTop = 2;
constexpr int UnderlineRow = 10;
constexpr int StrikeOutRow = 6;

// Italic leans by shifting the upper rows to the right.
int ItalicShift(int row) {
    return std::max(0, 8 - row) / 3;
}

} // namespace

int FontScaleForHeight(int height) {
    int em = height < 0 ? -height : height * 11 / 12;
    if (em == 0) em = 11;
    return std::max(1, (em + 6) / 12);
}

TFontFace::TFontFace(int scale, TFontStyles style)
    : FScale(std::clamp(scale, 1, 64)), FStyle(static_cast<TFontStyles>(style & 0x0F)) {}

TFontFace::TFontFace(const TFont& font)
    : TFontFace(FontScaleForHeight(font.Height()), font.Style()) {}

TTextMetric TFontFace::Metrics() const {
    TTextMetric m;
    m.Height = CellHeight * FScale;
    m.Ascent = CellAscent * FScale;
    m.Descent = m.Height - m.Ascent;
    m.InternalLeading = GlyphTop * FScale;
    m.ExternalLeading = 0;
    m.AveCharWidth = CharWidth(U'x');
    m.MaxCharWidth = m.AveCharWidth;
    // An italic glyph's top leans right past its advance by the largest shift.
    m.Overhang = (FStyle & fsItalic) ? ItalicShift(0) * FScale : 0;
    return m;
}

int TFontFace::CharWidth(char32_t) const {
    return ((FStyle & fsBold) ? 7 : 6) * FScale;
}

int TFontFace::TextWidth(std::u32string_view text) const {
    return static_cast<int>(std::min<std::size_t>(text.size(), 1u << 20)) * CharWidth(U'x');
}

std::size_t TFontFace::FitCount(std::u32string_view text, int width) const {
    if (width <= 0) return 0;
    return std::min<std::size_t>(text.size(), static_cast<std::size_t>(width / CharWidth(U'x')));
}

void TFontFace::Render(std::u32string_view text, int x, int y, const TPlot& plot,
                       const std::vector<int>* underlined) const {
    const int s = FScale;
    const int advance = CharWidth(U'x');
    const bool bold = (FStyle & fsBold) != 0;
    const bool italic = (FStyle & fsItalic) != 0;
    auto block = [&](int px, int py) {
        for (int dy = 0; dy < s; ++dy)
            for (int dx = 0; dx < s; ++dx)
                plot(px + dx, py + dy);
    };
    auto bar = [&](int cx, int row) {
        for (int dy = 0; dy < s; ++dy)
            for (int px = cx; px < cx + advance; ++px)
                plot(px, y + row * s + dy);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int cx = x + static_cast<int>(i) * advance;
        const TGlyphRows& rows = GlyphRows(text[i]);
        for (int g = 0; g < static_cast<int>(rows.size()); ++g) {
            const int row = GlyphTop + g;
            // Six columns, the leftmost in bit 5; bold doubles each pixel rightwards.
            unsigned bits = static_cast<unsigned>(rows[static_cast<std::size_t>(g)]) << 1;
            if (bold) bits |= bits >> 1;
            const int shift = italic ? ItalicShift(row) : 0;
            for (int col = 0; col < 6; ++col)
                if (bits & (0x20u >> col)) block(cx + (col + shift) * s, y + row * s);
        }
        const bool marked = underlined && std::find(underlined->begin(), underlined->end(),
                                                    static_cast<int>(i)) != underlined->end();
        if ((FStyle & fsUnderline) || marked) bar(cx, UnderlineRow);
        if (FStyle & fsStrikeOut) bar(cx, StrikeOutRow);
    }
}

std::u32string TextToU32(std::string_view text) {
    std::u32string r;
    r.reserve(text.size());
    for (char c : text)
        r.push_back(static_cast<unsigned char>(c));
    return r;
}

std::u32string TextToU32(std::u16string_view text) {
    std::u32string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            r.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                        (static_cast<char32_t>(text[i + 1]) - 0xDC00));
            ++i;
        } else {
            r.push_back(c);
        }
    }
    return r;
}

} // namespace fw
