#include "Graphics.h"

#include <atomic>

namespace fw {

namespace {

// A classic grey scheme: fixed so that pictures and tests are reproducible.
constexpr std::array<TColor, SystemColorCount> DefaultSystemColors = {
    RGB(200, 200, 200), // 0 scroll bar
    RGB(58, 110, 165),  // 1 desktop
    RGB(10, 36, 106),   // 2 active caption
    RGB(128, 128, 128), // 3 inactive caption
    RGB(212, 208, 200), // 4 menu
    RGB(255, 255, 255), // 5 window
    RGB(0, 0, 0),       // 6 window frame
    RGB(0, 0, 0),       // 7 menu text
    RGB(0, 0, 0),       // 8 window text
    RGB(255, 255, 255), // 9 caption text
    RGB(212, 208, 200), // 10 active border
    RGB(212, 208, 200), // 11 inactive border
    RGB(128, 128, 128), // 12 application workspace
    RGB(10, 36, 106),   // 13 highlight
    RGB(255, 255, 255), // 14 highlight text
    RGB(212, 208, 200), // 15 button face
    RGB(128, 128, 128), // 16 button shadow
    RGB(128, 128, 128), // 17 grey text
    RGB(0, 0, 0),       // 18 button text
    RGB(212, 208, 200), // 19 inactive caption text
    RGB(255, 255, 255), // 20 button highlight
    RGB(64, 64, 64),    // 21 3-D dark shadow
    RGB(212, 208, 200), // 22 3-D light
    RGB(0, 0, 0),       // 23 info text
    RGB(255, 255, 225), // 24 info background
    RGB(0, 0, 0),       // 25 unused
    RGB(0, 0, 128),     // 26 hot light
    RGB(166, 202, 240), // 27 gradient active caption
    RGB(192, 192, 192), // 28 gradient inactive caption
    RGB(49, 106, 197),  // 29 menu highlight
    RGB(212, 208, 200), // 30 menu bar
};

std::array<TColor, SystemColorCount> SystemColors = DefaultSystemColors;
std::atomic<unsigned> SystemColorsStamp{0};

} // namespace

TColor GetSysColor(int index) {
    if (index < 0 || index >= SystemColorCount) return 0;
    return SystemColors[static_cast<std::size_t>(index)];
}

void SetSysColor(int index, TColor rgb) {
    if (index < 0 || index >= SystemColorCount) return;
    SystemColors[static_cast<std::size_t>(index)] = rgb & 0xFFFFFF;
    ++SystemColorsStamp;
}

void ResetSystemColors() {
    SystemColors = DefaultSystemColors;
    ++SystemColorsStamp;
}

unsigned SystemColorsVersion() {
    return SystemColorsStamp.load();
}

TColor ColorToRGB(TColor c) {
    if (IsSystemColor(c)) return GetSysColor(c & 0xFF);
    return c;
}

std::uint32_t ColorToPixel32(TColor c) {
    if (c == clNone) return 0xFFFFFFFFu;
    if (c == clDefault) return 0xFF000000u;
    return ColorToPixel(ColorToRGB(c) & 0xFFFFFF);
}

std::uint32_t MixPixel(TPenMode mode, std::uint32_t pen, std::uint32_t dst) {
    // Truth tables over (pen, destination) bits, index pen*2 + destination.
    static constexpr std::array<unsigned, 16> Tables = {
        0x0, // pmBlack
        0xF, // pmWhite
        0xA, // pmNop
        0x5, // pmNot
        0xC, // pmCopy
        0x3, // pmNotCopy
        0xD, // pmMergePenNot
        0x4, // pmMaskPenNot
        0xB, // pmMergeNotPen
        0x2, // pmMaskNotPen
        0xE, // pmMerge
        0x1, // pmNotMerge
        0x8, // pmMask
        0x7, // pmNotMask
        0x6, // pmXor
        0x9, // pmNotXor
    };
    const unsigned t = Tables[static_cast<std::size_t>(mode)];
    std::uint32_t r = 0;
    if (t & 1) r |= ~pen & ~dst;
    if (t & 2) r |= ~pen & dst;
    if (t & 4) r |= pen & ~dst;
    if (t & 8) r |= pen & dst;
    return 0xFF000000u | (r & 0xFFFFFFu);
}

std::uint32_t RopPixel(TRasterOp rop, std::uint32_t pat, std::uint32_t src, std::uint32_t dst) {
    switch (rop) {
    case SRCCOPY:
        return src;
    case PATCOPY:
        return 0xFF000000u | pat;
    case BLACKNESS:
        return 0xFF000000u;
    case WHITENESS:
        return 0xFFFFFFFFu;
    default:
        break;
    }
    const unsigned t = (rop >> 16) & 0xFF;
    std::uint32_t r = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (!(t & (1u << i))) continue;
        const std::uint32_t p = (i & 4) ? pat : ~pat;
        const std::uint32_t s = (i & 2) ? src : ~src;
        const std::uint32_t d = (i & 1) ? dst : ~dst;
        r |= p & s & d;
    }
    return 0xFF000000u | (r & 0xFFFFFFu);
}

// --- TPen ----------------------------------------------------------------------

void TPen::Changed() {
    CallHandler(OnChange, nullptr);
}

void TPen::SetColor(TColor v) {
    if (FColor == v) return;
    FColor = v;
    Changed();
}

void TPen::SetWidth(int v) {
    if (v < 1) v = 1;
    if (FWidth == v) return;
    FWidth = v;
    Changed();
}

void TPen::SetStyle(TPenStyle v) {
    if (FStyle == v) return;
    FStyle = v;
    Changed();
}

void TPen::SetMode(TPenMode v) {
    if (FMode == v) return;
    FMode = v;
    Changed();
}

void TPen::Assign(const TPen& other) {
    if (this == &other) return;
    FColor = other.FColor;
    FWidth = other.FWidth;
    FStyle = other.FStyle;
    FMode = other.FMode;
    Changed();
}

// --- TBrush ------------------------------------------------------------------

void TBrush::Changed() {
    CallHandler(OnChange, nullptr);
}

void TBrush::SetColor(TColor v) {
    if (FColor == v) return;
    FColor = v;
    Changed();
}

void TBrush::SetStyle(TBrushStyle v) {
    if (FStyle == v) return;
    FStyle = v;
    Changed();
}

void TBrush::SetBitmap(TBitmap* v) {
    if (FBitmap == v && !FHasPattern) return;
    FBitmap = v;
    FHasPattern = false;
    Changed();
}

void TBrush::SetPattern(const TPattern8& rows) {
    FBitmap = nullptr;
    FHasPattern = true;
    FPattern = rows;
    Changed();
}

void TBrush::ClearPattern() {
    if (!FHasPattern) return;
    FHasPattern = false;
    Changed();
}

void TBrush::Assign(const TBrush& other) {
    if (this == &other) return;
    FColor = other.FColor;
    FStyle = other.FStyle;
    FBitmap = other.FBitmap;
    FHasPattern = other.FHasPattern;
    FPattern = other.FPattern;
    Changed();
}

TPattern8 HatchPattern(TBrushStyle style) {
    switch (style) {
    case bsHorizontal:
        return {0, 0, 0, 0, 0xFF, 0, 0, 0};
    case bsVertical:
        return {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08};
    case bsFDiagonal: // top left to bottom right
        return {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    case bsBDiagonal:
        return {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    case bsCross:
        return {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08};
    case bsDiagCross:
        return {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    default:
        return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    }
}

// --- TFont ---------------------------------------------------------------------

void TFont::Changed() {
    CallHandler(OnChange, nullptr);
}

void TFont::SetName(const std::string& v) {
    if (FName == v) return;
    FName = v;
    Changed();
}

int TFont::Size() const {
    // Rounded the way the platform converts between points and pixels.
    const int h = FHeight < 0 ? -FHeight : FHeight;
    const int size = (h * 72 + ScreenPixelsPerInch / 2) / ScreenPixelsPerInch;
    return FHeight < 0 ? size : -size;
}

void TFont::SetSize(int v) {
    const int a = v < 0 ? -v : v;
    const int h = (a * ScreenPixelsPerInch + 36) / 72;
    SetHeight(v < 0 ? h : -h);
}

void TFont::SetHeight(int v) {
    if (FHeight == v) return;
    FHeight = v;
    Changed();
}

void TFont::SetStyle(TFontStyles v) {
    v &= 0x0F;
    if (FStyle == v) return;
    FStyle = v;
    Changed();
}

void TFont::SetColor(TColor v) {
    if (FColor == v) return;
    FColor = v;
    Changed();
}

void TFont::Assign(const TFont& other) {
    if (this == &other) return;
    FName = other.FName;
    FHeight = other.FHeight;
    FStyle = other.FStyle;
    FColor = other.FColor;
    Changed();
}

bool TFont::SameAs(const TFont& other) const {
    return FName == other.FName && FHeight == other.FHeight && FStyle == other.FStyle &&
           FColor == other.FColor;
}

} // namespace fw
