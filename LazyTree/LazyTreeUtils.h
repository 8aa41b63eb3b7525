// Plain routines the tree's units share: rectangle ordering, the ellipsis
// shortener and the alpha-blending line routines.
#pragma once

#include "Types.h"

#include <cstdint>
#include <string>

namespace fw {
class TCanvas;
}

namespace vel {

// Left <= Right and Top <= Bottom.
fw::TRect OrderRect(const fw::TRect& R);

// Shortens S with "..." to fit Width in the canvas's font (left to right keeps
// the start, right to left the end); EllipsisWidth 0 measures "...". Empty
// when nothing fits; a text that already fits is shortened all the same.
std::u16string ShortenString(fw::TCanvas& Canvas, const std::u16string& S, int Width,
                             bool RightToLeft, int EllipsisWidth = 0);

enum class TAlphaBlendKind : std::uint8_t { abkConstant, abkPerPixel, abkMaster, abkColor };
using enum TAlphaBlendKind;

// Blends Count 32-bit pixels (blue in the low byte, alpha in the high one) of
// Source into Destination. Bias is added to every channel (constant, per
// pixel, master) or is the colour (a COLORREF, red in its low byte) that
// abkColor blends towards.
void AlphaBlendLine(const std::uint32_t* Source, std::uint32_t* Destination, int Count,
                    TAlphaBlendKind Mode, int ConstantAlpha, std::int32_t Bias);

// The same over a rectangle of two top-down pixel blocks: rows R.Top.. of
// Source from column R.Left go to rows Target.Y.. of Destination from column
// Target.X. Nothing for an empty rectangle; parts outside either block are cut.
void AlphaBlend(const std::uint32_t* Source, int SourceWidth, int SourceHeight,
                std::uint32_t* Destination, int DestWidth, int DestHeight, fw::TRect R,
                fw::TPoint Target, TAlphaBlendKind Mode, int ConstantAlpha, std::int32_t Bias);

// Blends Colour into the canvas's pixels under R (logical coordinates, cut to
// the canvas's clipping) at constant alpha Alpha (abkColor).
void BlendRect(fw::TCanvas& Canvas, const fw::TRect& R, fw::TColor Colour, int Alpha);

// The UTF-16 text output for systems without it: single or several lines
// (ended by NUL, CR, LF or U+2028, a CR or U+2028 and the LF after it counted
// as one break), aligned left, right or centred, measured with DT_CALCRECT
// (R.Bottom becomes the last line's top, R.Right the widest line when AdjustRight).
void DrawTextWReplacement(fw::TCanvas& Canvas, const std::u16string& Text, int Count,
                          fw::TRect& R, unsigned Format, bool AdjustRight);

} // namespace vel
