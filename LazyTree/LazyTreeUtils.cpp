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
    static constexpr char16_t Ellipsis[] = u"...";
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

void BlendRect(fw::TCanvas& Canvas, const fw::TRect& R, fw::TColor Colour, int Alpha) {
    fw::TSurface* S = Canvas.Surface();
    if (!S) return;
    const fw::TRect Clip = fw::IntersectRect(OrderRect(R), Canvas.ClipRect());
    if (Clip.IsEmpty()) return;
    const int DX = Canvas.Origin().X - Canvas.WindowOrg().X;
    const int DY = Canvas.Origin().Y - Canvas.WindowOrg().Y;
    const fw::TRect On = fw::IntersectRect(fw::OffsetRect(Clip, DX, DY),
                                           fw::TRect{0, 0, S->Width, S->Height});
    const auto Bias = static_cast<std::int32_t>(fw::ColorToRGB(Colour));
    for (int Y = On.Top; Y < On.Bottom; ++Y) {
        std::uint32_t* Row = S->Row(Y) + On.Left;
        AlphaBlendLine(Row, Row, On.Width(), abkColor, Alpha, Bias);
    }
}

namespace {

bool EndsLine(char16_t C) {
    return C == 0 || C == u'\r' || C == u'\n' || C == 0x2028;
}

} // namespace

void DrawTextWReplacement(fw::TCanvas& Canvas, const std::u16string& Text, int Count,
                          fw::TRect& R, unsigned Format, bool AdjustRight) {
    const std::size_t N =
        Count < 0 ? Text.size() : std::min(Text.size(), static_cast<std::size_t>(Count));
    const std::u16string_view All(Text.data(), N);
    const int LineHeight = Canvas.TextHeight(std::u16string_view(u"X"));
    const bool Calc = (Format & fw::DT_CALCRECT) != 0;
    const bool Single = (Format & fw::DT_SINGLELINE) != 0;
    int Widest = 0;
    auto Out = [&](std::u16string_view Line, const fw::TRect& At) {
        const int Width = Canvas.TextWidth(Line);
        Widest = std::max(Widest, Width);
        if (Calc) return;
        int X = At.Left;
        if (Format & fw::DT_RIGHT)
            X = At.Right - Width;
        else if (Format & fw::DT_CENTER)
            X = (At.Left + At.Right - Width) / 2;
        int Y = At.Top;
        if (Single && (Format & fw::DT_VCENTER)) Y = (At.Top + At.Bottom - LineHeight) / 2;
        fw::TCanvasStateSaver Saver(Canvas);
        if (!(Format & fw::DT_NOCLIP)) Canvas.IntersectClipRect(At);
        Canvas.TextOut(X, Y, Line);
    };
    fw::TRect At = R;
    if (Single) {
        Out(All, At);
        At.Top += LineHeight;
    } else {
        At.Bottom = At.Top + LineHeight;
        std::size_t Start = 0;
        while (Start <= N && (Calc || At.Top < R.Bottom)) {
            std::size_t End = Start;
            while (End < N && !EndsLine(All[End]))
                ++End;
            Out(All.substr(Start, End - Start), At);
            At = fw::OffsetRect(At, 0, LineHeight);
            if (End >= N) break;
            // A CR (or line separator) and the LF after it are one break.
            if ((All[End] == u'\r' || All[End] == 0x2028) && End + 1 < N && All[End + 1] == u'\n')
                ++End;
            Start = End + 1;
        }
    }
    if (Calc) {
        R.Bottom = At.Top;
        if (AdjustRight) R.Right = R.Left + Widest;
    }
}

} // namespace vel
