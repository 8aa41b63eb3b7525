#pragma once
// The built-in bitmap font: one typeface, drawn from 5x9 glyphs at an
// integer scale, so that every width, height and wrap point is exact.
#include "Graphics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Text metrics in pixels, as the platform reports them for a font.
struct TTextMetric {
    int Height = 0;
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0;
    int ExternalLeading = 0;
    int AveCharWidth = 0;
    int MaxCharWidth = 0;
    int Overhang = 0;
};

// Rows of one glyph: nine rows of five pixels, bit 4 leftmost; rows 0-6 stand
// on the baseline, rows 7-8 are the descender. Unknown characters get the box.
using TGlyphRows = std::array<std::uint8_t, 9>;
const TGlyphRows& GlyphRows(char32_t c);
bool HasGlyph(char32_t c);

// Pixel height (negative = em height) -> scale: em 1-17 is 1, 18-29 is 2, ...
int FontScaleForHeight(int height);

// The built-in font at one scale and style. All characters have the same
// advance: 6 pixels per scale step, 7 when bold.
class TFontFace {
public:
    TFontFace() = default;
    TFontFace(int scale, TFontStyles style);
    explicit TFontFace(const TFont& font);

    int Scale() const { return FScale; }
    TFontStyles Style() const { return FStyle; }
    TTextMetric Metrics() const;
    int CharWidth(char32_t c) const;
    int TextWidth(std::u32string_view text) const;
    // How many leading characters fit in `width` pixels.
    std::size_t FitCount(std::u32string_view text, int width) const;

    using TPlot = std::function<void(int x, int y)>;
    // Calls plot for every pixel of `text` drawn with the top-left of its
    // first cell at (x, y), underline and strike-out included. `underlined`
    // lists indexes of characters to underline on top of the style.
    void Render(std::u32string_view text, int x, int y, const TPlot& plot,
                const std::vector<int>* underlined = nullptr) const;

private:
    int FScale = 1;
    TFontStyles FStyle = 0;
};

// Text comes in as 8-bit (each byte one character, Latin-1) or UTF-16; a
// surrogate pair is one character and a lone surrogate draws a box.
std::u32string TextToU32(std::string_view text);
std::u32string TextToU32(std::u16string_view text);

// --- DrawText-style layout -------------------------------------------------------
// Format flags at the platform's numeric values.
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_EXTERNALLEADING = 0x200;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned DT_EDITCONTROL = 0x2000;
constexpr unsigned DT_PATH_ELLIPSIS = 0x4000;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;
constexpr unsigned DT_RTLREADING = 0x20000;
constexpr unsigned DT_WORD_ELLIPSIS = 0x40000;

struct TTextLine {
    std::u32string Text;
    std::vector<int> Underlined; // from '&' prefixes
    int Width = 0;
};

// Splits text into the lines DrawText shows for a rectangle `width` pixels
// wide: prefixes, tabs, line breaks, word breaks and ellipses applied.
std::vector<TTextLine> LayoutText(const TFontFace& face, std::u32string_view text, int width,
                                  unsigned format);

} // namespace fw
