// Rectangle ordering, the ellipsis shortener and alpha blending.
#include "LazyTreeUtils.h"

#include "Canvas.h"

#include <algorithm>

namespace vel {

fw::TRect OrderRect(const fw::TRect& R) {
    return fw::TRect{std::min(R.Left, R.Right), std::min(R.Top, R.Bottom),
                     std::max(R.Left, R.Right), std::max(R.Top, R.Bottom)};
}

std::u16string ShortenString(fw::TCanvas& Canvas, const std::u16string& S, int Width,
                             bool RightToLeft, int EllipsisWidth) {
    static const std::u16string Ellipsis = u"...";
    if (S.empty() || Width <= 0) return {};
    if (EllipsisWidth == 0) EllipsisWidth = Canvas.TextWidth(std::u16string_view(Ellipsis));
    if (Width <= EllipsisWidth) return {};
    auto Fits = [&](std::u16string_view Part) {
        return Canvas.TextWidth(Part) + EllipsisWidth <= Width;
    };
    const int Len = static_cast<int>(S.size());
    if (!RightToLeft) {
        // Longest prefix that fits; the mid-point rounds up.
        int L = 0, H = Len;
        while (L < H) {
            int M = (L + H + 1) / 2;
            if (Fits(std::u16string_view(S).substr(0, static_cast<std::size_t>(M))))
                L = M;
            else
                H = M - 1;
        }
        return S.substr(0, static_cast<std::size_t>(L)) + Ellipsis;
    }
    // Shortest start index whose suffix fits; the mid-point rounds down.
    int L = 0, H = Len;
    while (L < H) {
        int M = (L + H) / 2;
        if (Fits(std::u16string_view(S).substr(static_cast<std::size_t>(M))))
            H = M;
        else
            L = M + 1;
    }
    return Ellipsis + S.substr(static_cast<std::size_t>(L));
}

namespace {

int Channel(std::uint32_t P, int Shift) {
    return static_cast<int>((P >> Shift) & 0xFF);
}

int Clamp(int V) {
    return std::clamp(V, 0, 255);
}

} // namespace

void AlphaBlendLine(const std::uint32_t* Source, std::uint32_t* Destination, int Count,
                    TAlphaBlendKind Mode, int ConstantAlpha, std::int32_t Bias) {
    ConstantAlpha = std::clamp(ConstantAlpha, 0, 255);
    // The COLORREF has red low and blue high; pixels have blue low.
    const std::uint32_t Colour = (static_cast<std::uint32_t>(Bias) & 0xFF) << 16 |
                                 (static_cast<std::uint32_t>(Bias) & 0xFF00) |
                                 ((static_cast<std::uint32_t>(Bias) >> 16) & 0xFF);
    for (int I = 0; I < Count; ++I) {
        const std::uint32_t S = Source[I];
        const std::uint32_t D = Destination[I];
        std::uint32_t Out = 0;
        int A = ConstantAlpha;
        if (Mode == abkPerPixel) A = Channel(S, 24);
        if (Mode == abkMaster) A = (Channel(S, 24) * ConstantAlpha) >> 8;
        for (int Shift = 0; Shift < 32; Shift += 8) {
            int Dc = Channel(D, Shift), V;
            if (Mode == abkColor) {
                int C = Shift == 24 ? 0 : Channel(Colour, Shift);
                V = (Dc * (256 - A) + C * A) >> 8;
            } else {
                V = (((Channel(S, Shift) - Dc) * A + 256 * Dc) >> 8) + Bias;
            }
            Out |= static_cast<std::uint32_t>(Clamp(V)) << Shift;
        }
        Destination[I] = Out;
    }
}

void AlphaBlend(const std::uint32_t* Source, int SourceWidth, int SourceHeight,
                std::uint32_t* Destination, int DestWidth, int DestHeight, fw::TRect R,
                fw::TPoint Target, TAlphaBlendKind Mode, int ConstantAlpha, std::int32_t Bias) {
    R = OrderRect(R);
    // Cut to the source, then to the destination.
    // A negative edge moves to zero and drags its partner along.
    auto ClipToZero = [](int& Edge, int& Partner) {
        if (Edge >= 0) return;
        Partner -= Edge;
        Edge = 0;
    };
    ClipToZero(R.Left, Target.X);
    ClipToZero(R.Top, Target.Y);
    ClipToZero(Target.X, R.Left);
    ClipToZero(Target.Y, R.Top);
    R.Right = std::min({R.Right, SourceWidth, R.Left + (DestWidth - Target.X)});
    R.Bottom = std::min({R.Bottom, SourceHeight, R.Top + (DestHeight - Target.Y)});
    if (R.Right <= R.Left || R.Bottom <= R.Top) return;
    const int W = R.Right - R.Left;
    for (int Y = R.Top; Y < R.Bottom; ++Y) {
        const std::uint32_t* S = Source + static_cast<std::ptrdiff_t>(Y) * SourceWidth + R.Left;
        std::uint32_t* D = Destination +
                           static_cast<std::ptrdiff_t>(Target.Y + (Y - R.Top)) * DestWidth +
                           Target.X;
        AlphaBlendLine(S, D, W, Mode, ConstantAlpha, Bias);
    }
}

} // namespace vel
