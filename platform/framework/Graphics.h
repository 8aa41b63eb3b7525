#pragma once
// Colours, system colours and the pen, brush and font objects of a canvas.
#include "Types.h"

#include <array>
#include <cstdint>
#include <string>

namespace fw {

class TBitmap;

// --- Colours -----------------------------------------------------------------

constexpr TColor RGB(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) {
    return c & 0xFF;
}
constexpr int GetGValue(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr int GetBValue(TColor c) {
    return (c >> 16) & 0xFF;
}

// System colours: 0x80000000 | index. They resolve to the fixed values of
// SystemColorTable() (see docs/graphics.md) unless a test overrides them.
constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<std::uint32_t>(index));
}
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
constexpr TColor clHotLight = SystemColor(26);
constexpr TColor clGradientActiveCaption = SystemColor(27);
constexpr TColor clGradientInactiveCaption = SystemColor(28);
constexpr TColor clMenuHighlight = SystemColor(29);
constexpr TColor clMenuBar = SystemColor(30);
constexpr int SystemColorCount = 31;

constexpr bool IsSystemColor(TColor c) {
    return c < 0;
}

// The RGB value (0x00BBGGRR) of system colour `index`; 0 for an unknown index.
TColor GetSysColor(int index);
// Overrides one system colour (tests simulate a colour-scheme change);
// bumps SystemColorsVersion(). ResetSystemColors() restores the table.
void SetSysColor(int index, TColor rgb);
void ResetSystemColors();
unsigned SystemColorsVersion();

// A system colour becomes its RGB value; other colours, clNone and
// clDefault come back unchanged.
TColor ColorToRGB(TColor c);
// The opaque pixel a colour paints with. clNone and clDefault are not
// colours: they paint white and black respectively.
std::uint32_t ColorToPixel32(TColor c);

// --- Pen -----------------------------------------------------------------------

enum class TPenStyle {
    psSolid,
    psDash,       // 18 on, 6 off
    psDot,        // 3 on, 3 off
    psDashDot,    // 9 on, 6 off, 3 on, 6 off
    psDashDotDot, // 9, 3, 3, 3, 3, 3
    psClear,
    psInsideFrame,
    psAlternate, // every other pixel
};
using enum TPenStyle;

// The sixteen binary mix modes of pen (and shape-filling brush) pixels.
enum class TPenMode {
    pmBlack,
    pmWhite,
    pmNop,
    pmNot,
    pmCopy,
    pmNotCopy,
    pmMergePenNot,
    pmMaskPenNot,
    pmMergeNotPen,
    pmMaskNotPen,
    pmMerge,
    pmNotMerge,
    pmMask,
    pmNotMask,
    pmXor,
    pmNotXor,
};
using enum TPenMode;

// Combines a pen pixel with a destination pixel (RGB only; the result is opaque).
std::uint32_t MixPixel(TPenMode mode, std::uint32_t pen, std::uint32_t dst);

class TPen {
public:
    TNotifyEvent OnChange;

    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    int Width() const { return FWidth; }
    void SetWidth(int v); // below 1 counts as 1
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode v);
    // Copies the values, not the handler.
    void Assign(const TPen& other);

private:
    void Changed();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
};

// --- Brush -------------------------------------------------------------------

enum class TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross,
};
using enum TBrushStyle;

// Eight rows of eight pixels, the high bit of each byte leftmost.
using TPattern8 = std::array<std::uint8_t, 8>;

class TBrush {
public:
    TNotifyEvent OnChange;

    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle v);
    // A picture that is tiled from the brush origin instead of the colour
    // (not owned; the caller keeps it alive while it is set). A monochrome
    // picture paints its black pixels in the canvas text colour (the font
    // colour) and its white pixels in the brush colour.
    TBitmap* Bitmap() const { return FBitmap; }
    void SetBitmap(TBitmap* v);
    // A monochrome 8x8 pattern: set bits paint in the brush colour, clear
    // bits in the canvas text colour. Clears any Bitmap().
    bool HasPattern() const { return FHasPattern; }
    const TPattern8& Pattern() const { return FPattern; }
    void SetPattern(const TPattern8& rows);
    void ClearPattern();
    void Assign(const TBrush& other);

private:
    void Changed();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TBitmap* FBitmap = nullptr;
    bool FHasPattern = false;
    TPattern8 FPattern{};
};

// The 8x8 hatch pattern of a hatched brush style (set bits are the lines).
TPattern8 HatchPattern(TBrushStyle style);

// --- Font --------------------------------------------------------------------

enum TFontStyle : std::uint8_t {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};
using TFontStyles = std::uint8_t;

constexpr int ScreenPixelsPerInch = 96;

// An object of the class library, so that a font can travel as an object reference.
class TFont : public TObject {
public:
    TNotifyEvent OnChange;

    // The built-in typeface draws every name the same way; the name is kept.
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v);
    // Points; Height is the pixel height, negative for the em height the
    // way the platform stores it (Height = -Size * 96 / 72).
    int Size() const;
    void SetSize(int v);
    int Height() const { return FHeight; }
    void SetHeight(int v);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    void Assign(const TFont& other);
    bool SameAs(const TFont& other) const;

private:
    void Changed();
    std::string FName = "Default";
    int FHeight = -11; // 8 points
    TFontStyles FStyle = 0;
    TColor FColor = clWindowText;
};

// --- Raster operations of block copies -----------------------------------------
// The low byte of the high word is the truth table over pattern, source and
// destination bits (index pattern*4 + source*2 + destination).
using TRasterOp = std::uint32_t;
constexpr TRasterOp SRCCOPY = 0x00CC0020;
constexpr TRasterOp SRCPAINT = 0x00EE0086;
constexpr TRasterOp SRCAND = 0x008800C6;
constexpr TRasterOp SRCINVERT = 0x00660046;
constexpr TRasterOp SRCERASE = 0x00440328;
constexpr TRasterOp NOTSRCCOPY = 0x00330008;
constexpr TRasterOp NOTSRCERASE = 0x001100A6;
constexpr TRasterOp MERGECOPY = 0x00C000CA;
constexpr TRasterOp MERGEPAINT = 0x00BB0226;
constexpr TRasterOp PATCOPY = 0x00F00021;
constexpr TRasterOp PATPAINT = 0x00FB0A09;
constexpr TRasterOp PATINVERT = 0x005A0049;
constexpr TRasterOp DSTINVERT = 0x00550009;
constexpr TRasterOp BLACKNESS = 0x00000042;
constexpr TRasterOp WHITENESS = 0x00FF0062;

// Applies a raster operation to pattern, source and destination pixels (RGB
// only; the result is opaque). SRCCOPY keeps the source's alpha byte.
std::uint32_t RopPixel(TRasterOp rop, std::uint32_t pat, std::uint32_t src, std::uint32_t dst);
constexpr bool RopUsesSource(TRasterOp rop) {
    const unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}
constexpr bool RopUsesPattern(TRasterOp rop) {
    const unsigned t = (rop >> 16) & 0xFF;
    return ((t >> 4) & 0x0F) != (t & 0x0F);
}

} // namespace fw
