#include "TSGLib.h"

#include "Bitmap.h"
#include "ScopeExit.h"
#include "TSMbcs.h"

#include <algorithm>

namespace vel {

bool MeasureExtentIncludesOverhang() {
    fw::TBitmap Scratch;
    Scratch.SetSize(8, 8);
    fw::TCanvas& C = Scratch.Canvas();
    C.Font().SetName("MS Sans Serif");
    C.Font().SetStyle(fw::fsItalic);
    return C.TextWidth("XX") < 2 * C.TextWidth("X");
}

bool ExtentIncludesOverhang = MeasureExtentIncludesOverhang();

bool IsDBCSLocale() {
    return FarEastLocale();
}

bool IsLeadByte(std::string_view Text, std::size_t I) {
    return ByteKindAt(Text, I) == TtsByteKind::Lead;
}

int LineGapOf(const fw::TTextMetric& Metrics) {
    return IsDBCSLocale() && Metrics.ExternalLeading > 0 ? 1 : 0;
}

namespace {

int Len(std::string_view Text) {
    return static_cast<int>(Text.size());
}

std::string_view Prefix(std::string_view Text, int Count) {
    return Text.substr(0, static_cast<std::size_t>(std::clamp(Count, 0, Len(Text))));
}

int LineHeight(const fw::TTextMetric& M) {
    return M.Height + LineGapOf(M);
}

// Width of a piece as drawn, the overhang added when there is any ink.
int InkWidth(const fw::TCanvas& C, const fw::TTextMetric& M, std::string_view Text, int Count) {
    int W = TextExtent(C, M, Text, Count).cx;
    return W > 0 ? W + M.Overhang : W;
}

// Length of a line without its trailing break (CR, LF or a pair of them).
int WithoutBreak(std::string_view Line, int L) {
    if (L <= 0 || !IsLineBreakAt(Line, static_cast<std::size_t>(L - 1))) return L;
    return static_cast<int>(PrevCharStart(Line.substr(0, static_cast<std::size_t>(L)),
                                          static_cast<std::size_t>(L)));
}

// Where the first line's top lies for bottom and centre alignment.

// Text drawn until the scope ends leaves the background as it is.
auto TransparentBackground(fw::TCanvas& C) {
    const fw::TBkMode Old = C.BkMode();
    C.SetBkMode(fw::bkTransparent);
    return fw::TScopeExit([&C, Old] { C.SetBkMode(Old); });
}

// The text-out call of these routines: the text clipped to R.
void ClippedOut(fw::TCanvas& C, int X, int Y, std::string_view Text, const fw::TRect& R) {
    if (Text.empty()) return;
    fw::TCanvasStateSaver Saver(C);
    C.IntersectClipRect(R);
    C.TextOut(X, Y, Text);
}

} // namespace

fw::TSize TextExtent(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics,
                     std::string_view Text, int Count) {
    fw::TSize S = Canvas.TextExtent(Prefix(Text, Count));
    if (ExtentIncludesOverhang && S.cx >= 1) S.cx -= Metrics.Overhang;
    return S;
}

int FirstLineBreak(std::string_view Text, int Count) {
    std::string_view P = Prefix(Text, Count);
    std::size_t I = P.find_first_of("\r\n");
    return I == std::string_view::npos ? -1 : static_cast<int>(I);
}

bool IsBlank(std::string_view Text, int I) {
    if (I < 0 || I >= Len(Text)) return false;
    char Ch = Text[static_cast<std::size_t>(I)];
    if (Ch != ' ' && Ch != '\t') return false;
    return ByteKindAt(Text, static_cast<std::size_t>(I)) != TtsByteKind::Trail;
}

bool IsWordChar(std::string_view Text, int I) {
    return I >= 0 && I < Len(Text) && Text[static_cast<std::size_t>(I)] != '\0' &&
           !IsBlank(Text, I);
}

int FirstBlank(std::string_view Text, int Count) {
    int N = std::min(Count, Len(Text));
    for (int I = 0; I < N; ++I)
        if (IsBlank(Text, I)) return I;
    return -1;
}

int SkipBlanks(std::string_view Text, int Count) {
    int N = std::min(Count, Len(Text));
    int I = 0;
    while (I < N && IsBlank(Text, I))
        ++I;
    return I;
}

int NextWordStart(std::string_view Text, int Pos) {
    int I = std::clamp(Pos, 0, Len(Text));
    int Start = I;
    while (IsWordChar(Text, I))
        ++I;
    while (I < Len(Text) && !IsWordChar(Text, I))
        ++I;
    return I - Start;
}

int PrevWordStart(std::string_view Text, int Pos) {
    int I = std::clamp(Pos, 0, Len(Text));
    int Start = I;
    while (I > 0 && !IsWordChar(Text, I - 1))
        --I;
    while (I > 0 && IsWordChar(Text, I - 1))
        --I;
    return Start - I;
}

namespace {

// Bytes of the character at I (a character start), a lead byte taking its trail along;
// line breaks are bytes here.
int DoubleByteLength(std::string_view Text, int I) {
    const auto P = static_cast<std::size_t>(I);
    return CharLengthAt(Text, P) == 2 && !IsLineBreakAt(Text, P) ? 2 : 1;
}

} // namespace

int CharsToBytes(std::string_view Text, int Chars, bool FromEnd) {
    if (!IsDBCSLocale()) return Chars;
    if (FromEnd) {
        // The characters before the last Chars ones, then the bytes after them.
        const int Skip = BytesToChars(Text, Len(Text)) - std::max(0, Chars);
        return Len(Text) - CharsToBytes(Text, std::max(0, Skip));
    }
    int I = 0;
    for (int N = 0; N < Chars && I < Len(Text); ++N)
        I += DoubleByteLength(Text, I);
    return std::min(I, Len(Text));
}

int BytesToChars(std::string_view Text, int Bytes, bool FromEnd) {
    if (!IsDBCSLocale()) return Bytes;
    // Characters with a byte among the first (last) Bytes bytes.
    const int From = FromEnd ? Len(Text) - Bytes : 0;
    const int To = FromEnd ? Len(Text) : Bytes;
    int N = 0;
    for (int I = 0; I < Len(Text) && I < To;) {
        const int L = DoubleByteLength(Text, I);
        if (I + L > From) ++N;
        I += L;
    }
    return N;
}

bool LastCharIsLineEnd(std::string_view Text, int L) {
    if (L <= 0 || L > Len(Text)) return false;
    char Ch = Text[static_cast<std::size_t>(L - 1)];
    return Ch == '\r' || Ch == '\n';
}

bool HasRoomForWrap(int Height, int LineHeight) {
    return LineHeight / 3 <= Height - LineHeight;
}

namespace {

// The visible part of a line: up to its break, and where the line ends after it (a CR LF
// pair counts as one break). Only the first Window bytes are searched.
struct TLineSpan {
    int Break = -1;
    int Visible = 0;
    int Limit = 0;
};

TLineSpan SpanWithin(std::string_view Rest, int Window) {
    TLineSpan S;
    S.Break = FirstLineBreak(Rest, Window);
    S.Visible = S.Break >= 0 ? S.Break : Window;
    S.Limit = S.Visible;
    if (S.Break >= 0) S.Limit = S.Break + CharLengthAt(Rest, static_cast<std::size_t>(S.Break));
    return S;
}

// Blanks after a cut go with the line, and so does a break right after them.
int TakeTrailingBlanks(std::string_view Rest, int N) {
    while (N < Len(Rest) && IsBlank(Rest, N))
        ++N;
    if (N < Len(Rest) &&
        (Rest[static_cast<std::size_t>(N)] == '\r' || Rest[static_cast<std::size_t>(N)] == '\n'))
        N = SpanWithin(Rest.substr(static_cast<std::size_t>(N)), 2).Limit + N;
    return N;
}

} // namespace

bool FitLine(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
             int& L, TtsHorzAlignment Align, int Width) {
    L = 0;
    int Total = Len(Text);
    int Lead = 0;
    if (Align == htaRight) Lead = SkipBlanks(Text, Total);
    if (Lead >= Total && Align == htaRight) {
        L = Total;
        return false;
    }
    if (Total == 0) return false;
    std::string_view Rest = Text.substr(static_cast<std::size_t>(Lead));
    const int RestLen = Len(Rest);
    auto Fits = [&](int N) { return InkWidth(Canvas, Metrics, Rest, N) <= Width; };
    const int Guess = Metrics.AveCharWidth > 0 ? Width / Metrics.AveCharWidth : 1;
    // The line is cut between characters only: their starts, found as the line grows.
    std::vector<int> Stops{0};
    auto NextStop = [&](std::size_t K) {
        if (K + 1 < Stops.size()) return Stops[K + 1];
        if (Stops[K] >= RestLen) return -1;
        Stops.push_back(Stops[K] + std::max(1, CharLengthAt(Rest, static_cast<std::size_t>(Stops[K]))));
        return Stops.back();
    };
    // Only what one line can take is searched for its break, so that a long text costs
    // its length, not its length times its lines: the window doubles while it all fits.
    int Window = std::min(RestLen, std::max(64, 2 * Guess + 16));
    TLineSpan S;
    int N = 0;
    bool Stopped = false; // a character did not fit
    for (;;) {
        S = SpanWithin(Rest, Window);
        std::size_t K = 0;
        Stopped = false;
        for (int Next = NextStop(K); Next >= 0 && Next <= std::min(Guess, S.Visible); Next = NextStop(K))
            ++K;
        for (int Next = NextStop(K); Next >= 0 && Next <= S.Visible; Next = NextStop(K)) {
            if (!Fits(Next)) {
                Stopped = true;
                break;
            }
            ++K;
        }
        for (; K > 0 && !Fits(Stops[K]); --K)
            Stopped = true;
        N = Stops[K];
        if (S.Break >= 0 || Window == RestLen || Stopped) break;
        Window = std::min(RestLen, Window * 2);
    }
    if (!Stopped && S.Break >= 0) {
        N = S.Limit;
    } else if (N < S.Visible) {
        // Cut inside a word: go back to just after the last blank of the line.
        if (N > 0 && IsWordChar(Rest, N) && IsWordChar(Rest, N - 1)) {
            int Cut = N;
            while (Cut > 0 && !IsBlank(Rest, Cut - 1))
                --Cut;
            if (Cut > 0) N = Cut;
        }
        // Right-aligned lines end at their last ink: the blanks before the cut stay out
        // (the next line skips them as its leading blanks); other lines take them along.
        if (Align != htaRight) N = TakeTrailingBlanks(Rest, N);
        else
            while (N > 0 && IsBlank(Rest, N - 1))
                --N;
        // A line takes at least one character.
        if (N == 0) N = std::min(RestLen, std::max(1, CharLengthAt(Rest, 0)));
    }
    L = Lead + N;
    return true;
}

void BuildLineList(const fw::TCanvas& Canvas, std::string_view Text, int Height, int MaxLines,
                   TtsLineList& Lines, bool WordWrap, TtsHorzAlignment Align, int Width) {
    Lines.clear();
    fw::TTextMetric M = Canvas.TextMetrics();
    if (!WordWrap || !HasRoomForWrap(Height, LineHeight(M))) {
        Lines.push_back(0);
        return;
    }
    int Pos = 0;
    int Total = Len(Text);
    while (Pos < Total && static_cast<int>(Lines.size()) < MaxLines) {
        int L = 0;
        if (!FitLine(Canvas, M, Text.substr(static_cast<std::size_t>(Pos)), L, Align, Width) ||
            L <= 0)
            break;
        Lines.push_back(Pos);
        Pos += L;
    }
    if (LastCharIsLineEnd(Text, Total) && static_cast<int>(Lines.size()) < MaxLines)
        Lines.push_back(Total);
    if (Lines.empty()) Lines.push_back(0);
}

int WrapWidth(int Right, int X, TtsHorzAlignment Align) {
    return Right - X - (Align == htaRight ? 2 : 1);
}

void WrappedTextHeight(const fw::TCanvas& Canvas, std::string_view Text, int Width, int& Height,
                       int& Lines, bool WordWrap, TtsHorzAlignment Align) {
    fw::TTextMetric M = Canvas.TextMetrics();
    Lines = 0;
    if (WordWrap) {
        int Pos = 0;
        int Total = Len(Text);
        while (Pos < Total) {
            int L = 0;
            if (!FitLine(Canvas, M, Text.substr(static_cast<std::size_t>(Pos)), L, Align, Width) ||
                L <= 0)
                break;
            ++Lines;
            Pos += L;
        }
        if (LastCharIsLineEnd(Text, Total)) ++Lines;
    }
    Lines = std::max(Lines, 1);
    Height = Lines * LineHeight(M);
}

void TextWidthOfLines(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics,
                      std::string_view Text, int& Width, bool AddOverhang, bool StopAtBreak,
                      int Count) {
    Width = 0;
    std::string_view T = Prefix(Text, Count);
    int Space = TextExtent(Canvas, Metrics, " ", 1).cx;
    std::size_t Pos = 0;
    while (Pos <= T.size()) {
        std::size_t B = T.find_first_of("\r\n", Pos);
        std::size_t End = B == std::string_view::npos ? T.size() : B;
        Width += TextExtent(Canvas, Metrics, T.substr(Pos), static_cast<int>(End - Pos)).cx;
        if (B == std::string_view::npos || StopAtBreak) break;
        Width += Space;
        Pos = B + static_cast<std::size_t>(CharLengthAt(T, B));
    }
    if (AddOverhang && Width > 0) Width += Metrics.Overhang;
}

void DrawUnderlined(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, int X, int UnderlineStart,
                    int Count, std::string_view Text, const fw::TRect& R, int Y) {
    std::string_view T = Prefix(Text, Count);
    int N = Len(T);
    if (UnderlineStart < 1 || UnderlineStart > N) {
        ClippedOut(Canvas, X, Y, T, R);
        return;
    }
    std::string_view Before = T.substr(0, static_cast<std::size_t>(UnderlineStart - 1));
    // The marked character whole: an accelerator may be a double-byte one.
    const int MarkLen =
        std::min(N - UnderlineStart + 1,
                 std::max(1, CharLengthAt(T, static_cast<std::size_t>(UnderlineStart - 1))));
    std::string_view Mark = T.substr(static_cast<std::size_t>(UnderlineStart - 1),
                                     static_cast<std::size_t>(MarkLen));
    std::string_view After = T.substr(static_cast<std::size_t>(UnderlineStart - 1 + MarkLen));
    ClippedOut(Canvas, X, Y, Before, R);
    X += TextExtent(Canvas, Metrics, Before, Len(Before)).cx;
    if (X >= R.Right) return;
    {
        fw::TFontStyles Old = Canvas.Font().Style();
        Canvas.Font().SetStyle(Old | fw::fsUnderline);
        fw::TScopeExit Restore([&Canvas, Old] { Canvas.Font().SetStyle(Old); });
        ClippedOut(Canvas, X, Y, Mark, R);
        X += TextExtent(Canvas, Metrics, Mark, MarkLen).cx;
    }
    if (X >= R.Right) return;
    ClippedOut(Canvas, X, Y, After, R);
}

void DrawSelectionBand(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, const fw::TRect& Band,
                       const fw::TRect& ClipRect, fw::TColor Color) {
    int Slant = (Canvas.Font().Style() & fw::fsItalic) ? Metrics.Overhang : 0;
    if (Slant > 0 && (Canvas.Font().Style() & fw::fsBold)) --Slant;
    int W = Band.Right - Band.Left + Slant;
    int H = Band.Bottom - Band.Top;
    // Only the part inside the clip is made: a long selection stays a small picture.
    int DW = std::min(W, ClipRect.Right - Band.Left);
    int DH = std::min(H, ClipRect.Bottom - Band.Top);
    if (W <= 0 || H <= 0 || DW <= 0 || DH <= 0) return;
    fw::TBitmap Pic;
    Pic.SetSize(DW, DH);
    fw::TCanvas& P = Pic.Canvas();
    P.Brush().Assign(Canvas.Brush());
    P.FillRect(fw::TRect{0, 0, DW, DH});
    P.Pen().SetWidth(1);
    P.Pen().SetColor(Color);
    P.Brush().SetStyle(fw::bsSolid);
    P.Brush().SetColor(Color);
    P.Polygon({fw::TPoint{Slant, 0}, fw::TPoint{W - 1, 0}, fw::TPoint{W - 1 - Slant, H - 1},
               fw::TPoint{0, H - 1}});
    Canvas.CopyRect(fw::Bounds(Band.Left, Band.Top, DW, DH), P, fw::TRect{0, 0, DW, DH});
}

void DrawHighlighted(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
                     int Count, const fw::TRect& R, int X, int Y, int SelStart, int SelLength,
                     fw::TColor SelBandColor, fw::TColor SelTextColor, int UnderlineStart,
                     int LineGap) {
    if (R.Left > R.Right) return;
    Count = std::clamp(Count, 0, Len(Text));
    if (SelStart < 0) {
        SelLength += SelStart;
        SelStart = 0;
    }
    auto Bk = TransparentBackground(Canvas);
    if (SelLength <= 0 || SelStart >= Count) {
        DrawUnderlined(Canvas, Metrics, X, UnderlineStart, Count, Text, R, Y);
        return;
    }
    if (SelStart + SelLength > Count) SelLength = Count - SelStart;
    std::string_view Before = Text.substr(0, static_cast<std::size_t>(SelStart));
    std::string_view Sel =
        Text.substr(static_cast<std::size_t>(SelStart), static_cast<std::size_t>(SelLength));
    std::string_view After = Text.substr(static_cast<std::size_t>(SelStart + SelLength),
                                         static_cast<std::size_t>(Count - SelStart - SelLength));
    int W1 = TextExtent(Canvas, Metrics, Before, Len(Before)).cx;
    int W2 = TextExtent(Canvas, Metrics, Sel, Len(Sel)).cx;
    fw::TRect Band{std::max(X + W1, R.Left), R.Top, X + W1 + W2, R.Top + Metrics.Height + LineGap};
    if (SelLength > 0 && Band.Left <= Band.Right)
        DrawSelectionBand(Canvas, Metrics, Band, R, SelBandColor);
    ClippedOut(Canvas, X, Y, Before, R);
    fw::TColor OldColor = Canvas.Font().Color();
    Canvas.Font().SetColor(SelTextColor);
    ClippedOut(Canvas, X + W1, Y, Sel, R);
    Canvas.Font().SetColor(OldColor);
    ClippedOut(Canvas, X + W1 + W2, Y, After, R);
}

namespace {

// Where right-aligned text starts: as many characters before End as fit Width - 1, a
// break (a CR LF pair once) counting as a space. Answers their width too.
int RightAlignedStart(const fw::TCanvas& Canvas, const fw::TTextMetric& M, std::string_view Text,
                      int End, int Width, int& W) {
    int Start = End;
    W = 0;
    const int Space = TextExtent(Canvas, M, " ", 1).cx;
    while (Start > 0) {
        const int Prev = static_cast<int>(PrevCharStart(Text, static_cast<std::size_t>(Start)));
        const int Step = Start - Prev;
        const int CW = IsLineBreakAt(Text, static_cast<std::size_t>(Prev))
                           ? Space
                           : TextExtent(Canvas, M, Text.substr(static_cast<std::size_t>(Prev)), Step).cx;
        if (W + CW > Width - 1) break;
        W += CW;
        Start = Prev;
    }
    return Start;
}

// The pieces between breaks, each break drawn as one space, until the right edge.
void DrawLinePieces(fw::TCanvas& Canvas, const fw::TTextMetric& M, std::string_view T,
                    const fw::TRect& TextR, int XPos, int Y, int SelStart, int SelLength,
                    fw::TColor BandColor, fw::TColor SelTextColor, int UnderlineStart) {
    std::size_t Pos = 0;
    const int Space = TextExtent(Canvas, M, " ", 1).cx;
    while (Pos <= T.size() && XPos < TextR.Right) {
        std::size_t B = T.find_first_of("\r\n", Pos);
        std::size_t End = B == std::string_view::npos ? T.size() : B;
        int N = static_cast<int>(End - Pos);
        std::string_view Piece = T.substr(Pos, End - Pos);
        DrawHighlighted(Canvas, M, Piece, N, TextR, XPos, Y, SelStart, SelLength, BandColor,
                        SelTextColor, UnderlineStart, 0);
        XPos += TextExtent(Canvas, M, Piece, N).cx;
        SelStart -= N;
        UnderlineStart -= N;
        if (B == std::string_view::npos) break;
        const int BL = CharLengthAt(T, B);
        DrawHighlighted(Canvas, M, " ", 1, TextR, XPos, Y, SelStart, SelStart < 1 ? SelLength : 0,
                        BandColor, SelTextColor, 0, 0);
        XPos += Space;
        SelStart -= BL;
        UnderlineStart -= BL;
        Pos = B + static_cast<std::size_t>(BL);
    }
}

// One line of text, clipped to the cell, with an optional selection.
void DrawSingleLine(fw::TCanvas& Canvas, const fw::TTextMetric& M, std::string_view Text,
                    fw::TRect R, int X, int Y0, int Skip, int UnderlineStart, int SelStart,
                    int SelLength, fw::TColor BandColor, fw::TColor SelTextColor,
                    TtsHorzAlignment HA, TtsVertAlignment VA) {
    Canvas.FillRect(R);
    fw::TRect TextR = R;
    TextR.Left = std::max(X, R.Left);
    const int Y = SingleLineTop(M, R, Y0, VA);
    int Gap = LineGapOf(M);
    if (SelLength > 0) {
        if ((VA == vtaTop || VA == vtaDefault) && Y0 + M.Height + Gap < R.Bottom)
            TextR.Bottom = Y0 + M.Height + Gap;
        else if (VA == vtaBottom && Y0 + M.Height + Gap < R.Bottom)
            TextR.Top = Y;
        else if (VA == vtaCenter && Y + M.Height + Gap < R.Bottom) {
            TextR.Top = Y;
            TextR.Bottom = Y + M.Height + Gap;
        }
    }
    const TtsLinePlace P = SingleLinePlace(Canvas, M, Text, R, X, Skip, HA);
    if (HA == htaRight) Text = Text.substr(0, static_cast<std::size_t>(P.End));
    DrawLinePieces(Canvas, M, Text.substr(static_cast<std::size_t>(P.Start)), TextR, P.X, Y,
                   SelStart - P.Start, SelLength, BandColor, SelTextColor, UnderlineStart - P.Start);
}

} // namespace

int FirstLineY(const fw::TRect& R, int Y0, const fw::TTextMetric& M, int Lines,
               TtsVertAlignment VA) {
    const int LineH = LineHeight(M);
    if (VA == vtaBottom) {
        // The last line's text, not its gap below, stands on the bottom.
        int Y = R.Bottom - M.Height;
        int Above = 1;
        while (Above < Lines && Y - LineH >= Y0) {
            Y -= LineH;
            ++Above;
        }
        return std::max(Y, Y0);
    }
    if (VA == vtaCenter && Lines * LineH + 1 < R.Bottom - Y0)
        return Y0 + (R.Bottom - Y0 - Lines * LineH) / 2;
    return Y0;
}

int SingleLineTop(const fw::TTextMetric& M, const fw::TRect& R, int Y0, TtsVertAlignment VA) {
    const int CellH = R.Bottom - Y0;
    if (VA == vtaBottom) return R.Bottom - M.Height;
    if (VA == vtaCenter && CellH > M.Height + 1) return Y0 + (CellH - M.Height) / 2;
    return Y0;
}

TtsLinePlace SingleLinePlace(const fw::TCanvas& Canvas, const fw::TTextMetric& M,
                             std::string_view Text, const fw::TRect& R, int X, int Skip,
                             TtsHorzAlignment HA) {
    TtsLinePlace P;
    const int Width = R.Right - X;
    P.X = X;
    P.End = Len(Text);
    if (HA == htaRight) {
        P.End = std::clamp(Skip > 0 ? Skip : Len(Text), 0, Len(Text));
        int W = 0;
        P.Start = RightAlignedStart(Canvas, M, Text, P.End, Width, W);
        P.X = R.Right - 1 - W;
        return P;
    }
    P.Start = std::clamp(Skip, 0, Len(Text));
    if (HA == htaCenter) {
        int TW = 0;
        TextWidthOfLines(Canvas, M, Text.substr(static_cast<std::size_t>(P.Start)), TW, false, false,
                         Len(Text) - P.Start);
        if (TW <= Width) P.X = X + (Width - TW) / 2;
    }
    return P;
}

int EditLineX(const fw::TCanvas& Canvas, const fw::TTextMetric& M, std::string_view Line,
              int Drawn, const fw::TRect& R, int X, TtsHorzAlignment HA) {
    if (HA != htaRight && HA != htaCenter) return X;
    const int W = InkWidth(Canvas, M, Line, Drawn);
    if (HA == htaRight) return R.Right - (W + 1);
    return std::max(X, R.Left + (R.Right - R.Left - W) / 2);
}

void DrawCellText(fw::TCanvas& Canvas, std::string_view Text, int Height, int UnderlineStart,
                  bool WordWrap, TtsVertAlignment VertAlign, TtsHorzAlignment HorzAlign,
                  int TopMargin, int X, fw::TRect R) {
    if (R.Left >= R.Right) return;
    auto Bk = TransparentBackground(Canvas);
    fw::TTextMetric M = Canvas.TextMetrics();
    int Gap = LineGapOf(M);
    int LineH = M.Height + Gap;
    int Y0 = TopMargin + Gap;
    if (WordWrap && HasRoomForWrap(Height - Gap, LineH)) {
        Canvas.FillRect(R);
        if (HorzAlign == htaRight) R.Left = X;
        const int W = WrapWidth(R.Right, X, HorzAlign);
        TtsLineList Lines;
        bool Listed = false;
        if ((VertAlign == vtaBottom || VertAlign == vtaCenter) && !Text.empty()) {
            BuildLineList(Canvas, Text, Height, (R.Bottom - R.Top) / LineH + 1, Lines, true,
                          HorzAlign, W);
            Listed = true;
        }
        int Y = Listed ? FirstLineY(R, Y0, M, static_cast<int>(Lines.size()), VertAlign) : Y0;
        int Pos = 0;
        std::size_t Index = 0;
        int Total = Len(Text);
        while (Y < R.Bottom && Pos < Total) {
            int L = 0;
            if (Listed) {
                if (Index >= Lines.size()) break;
                int Next = Index + 1 < Lines.size() ? Lines[Index + 1] : Total;
                Pos = Lines[Index];
                L = Next - Pos;
                ++Index;
            } else if (!FitLine(Canvas, M, Text.substr(static_cast<std::size_t>(Pos)), L, HorzAlign,
                                W) ||
                       L <= 0) {
                break;
            }
            std::string_view Line = Text.substr(static_cast<std::size_t>(Pos));
            int Drawn = WithoutBreak(Line, L);
            int LX = X;
            int LW = TextExtent(Canvas, M, Line, Drawn).cx;
            if (HorzAlign == htaRight)
                LX = R.Right - (LW + 1) - (LW > 0 ? M.Overhang : 0);
            else if (HorzAlign == htaCenter)
                // Centred on the whole cell (the editor over it centres on the cell too).
                LX = std::max(X, R.Left + (R.Right - R.Left - (LW + (LW > 0 ? M.Overhang : 0))) / 2);
            DrawUnderlined(Canvas, M, LX, UnderlineStart - Pos, Drawn, Line, R, Y);
            Pos += L;
            Y += LineH;
        }
        return;
    }
    if ((HorzAlign == htaLeft || HorzAlign == htaDefault) &&
        (VertAlign == vtaTop || VertAlign == vtaDefault) && FirstLineBreak(Text, Len(Text)) < 0) {
        Canvas.FillRect(R);
        DrawUnderlined(Canvas, M, X, UnderlineStart, Len(Text), Text, R, Y0);
        return;
    }
    DrawSingleLine(Canvas, M, Text, R, X, Y0, 0, UnderlineStart, 0, 0, fw::clHighlight,
                   fw::clHighlightText, HorzAlign == htaDefault ? htaLeft : HorzAlign, VertAlign);
}

void DrawEditLines(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
                   fw::TRect R, int X, int Y, int TopLine, const TtsLineList& Lines, int SelStart,
                   int SelLength, fw::TColor SelBandColor, fw::TColor SelTextColor,
                   TtsHorzAlignment HorzAlign, TtsVertAlignment VertAlign) {
    int Count = static_cast<int>(Lines.size());
    if (Count == 0 || TopLine < 0 || TopLine >= Count) return;
    int Total = Len(Text);
    int Base = std::clamp(Lines[static_cast<std::size_t>(TopLine)], 0, Total);
    SelStart -= Base;
    int Gap = LineGapOf(Metrics);
    int LineH = Metrics.Height + Gap;
    if (HorzAlign == htaRight && X != R.Left) {
        Canvas.FillRect(fw::TRect{R.Left, R.Top, X, R.Bottom});
        R.Left = X;
    }
    int LY = FirstLineY(R, Y, Metrics, Count, VertAlign);
    Canvas.FillRect(R);
    for (int I = TopLine; I < Count && LY < R.Bottom; ++I) {
        int Start = std::clamp(Lines[static_cast<std::size_t>(I)], 0, Total);
        int End = I + 1 < Count ? std::clamp(Lines[static_cast<std::size_t>(I + 1)], Start, Total)
                                : Total;
        std::string_view Line = Text.substr(static_cast<std::size_t>(Start));
        int Full = End - Start;
        int Drawn = WithoutBreak(Line, Full);
        const int LX = EditLineX(Canvas, Metrics, Line, Drawn, R, X, HorzAlign);
        fw::TRect LineR{R.Left, LY, R.Right, std::min(LY + LineH, R.Bottom)};
        DrawHighlighted(Canvas, Metrics, Line, Drawn, LineR, LX, LY, SelStart, SelLength,
                        SelBandColor, SelTextColor, 0, Gap);
        SelStart -= Full;
        LY += LineH;
    }
}

void DrawEditText(fw::TCanvas& Canvas, std::string_view Text, int Height, fw::TRect R, int X,
                  int TopMargin, int ScrollOffset, int TopLine, const TtsLineList* Lines,
                  int SelStart, int SelLength, fw::TColor SelBandColor, fw::TColor SelTextColor,
                  TtsHorzAlignment HorzAlign, TtsVertAlignment VertAlign, bool WordWrap) {
    if (R.Left >= R.Right) return;
    fw::TTextMetric M = Canvas.TextMetrics();
    int Gap = LineGapOf(M);
    int Y0 = TopMargin + Gap;
    if (!Lines) {
        Canvas.FillRect(R);
        return;
    }
    auto Bk = TransparentBackground(Canvas);
    if (WordWrap && HasRoomForWrap(Height - Gap, M.Height + Gap)) {
        DrawEditLines(Canvas, M, Text, R, X, Y0, TopLine, *Lines, SelStart, SelLength, SelBandColor,
                      SelTextColor, HorzAlign, VertAlign);
        return;
    }
    DrawSingleLine(Canvas, M, Text, R, X, Y0, ScrollOffset, 0, SelStart, SelLength, SelBandColor,
                   SelTextColor, HorzAlign == htaDefault ? htaLeft : HorzAlign, VertAlign);
}

} // namespace vel
