#include "TSGLib.h"

#include "Bitmap.h"
#include "CodePage.h"
#include "TSMbcs.h"

#include <gtest/gtest.h>

#include <random>

namespace vel {
namespace {

// The built-in face: every character 6 pixels wide, lines 12 high.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bmp.SetSize(100, 60);
        Bmp.Canvas().Brush().SetColor(fw::clWhite);
        Bmp.Canvas().FillRect(fw::TRect{0, 0, 100, 60});
        M = Bmp.Canvas().TextMetrics();
    }
    fw::TCanvas& C() { return Bmp.Canvas(); }
    bool InkIn(int L, int T, int R, int B) {
        for (int Y = T; Y < B; ++Y)
            for (int X = L; X < R; ++X)
                if (C().Pixels(X, Y) == fw::clBlack) return true;
        return false;
    }
    fw::TBitmap Bmp;
    fw::TTextMetric M;
};

TEST_F(TextTest, ScanningRoutines) {
    EXPECT_EQ(FirstLineBreak("ab\r\ncd", 6), 2);
    EXPECT_EQ(FirstLineBreak("ab\ncd", 2), -1);
    EXPECT_EQ(FirstLineBreak("abc", 3), -1);
    EXPECT_TRUE(IsBlank("a\tb", 1));
    EXPECT_FALSE(IsBlank("a\tb", 3));
    EXPECT_EQ(FirstBlank("ab cd", 5), 2);
    EXPECT_EQ(SkipBlanks("  \tx", 4), 3);
    EXPECT_EQ(NextWordStart("ab  cd", 0), 4);
    EXPECT_EQ(NextWordStart("ab  cd", 4), 2);
    EXPECT_EQ(PrevWordStart("ab  cd", 6), 2);
    EXPECT_EQ(PrevWordStart("ab  cd", 4), 4);
    EXPECT_EQ(PrevWordStart("ab", 9), 2); // a position past the end is clamped
    EXPECT_TRUE(LastCharIsLineEnd("ab\n", 3));
    EXPECT_FALSE(LastCharIsLineEnd("ab\n", 2));
    EXPECT_FALSE(LastCharIsLineEnd("", 5));
}

TEST_F(TextTest, WrapNeedsAThirdOfALineMore) {
    EXPECT_FALSE(HasRoomForWrap(12, 12));
    EXPECT_FALSE(HasRoomForWrap(15, 12));
    EXPECT_TRUE(HasRoomForWrap(16, 12));
    EXPECT_TRUE(HasRoomForWrap(18, 12));
}

TEST_F(TextTest, MeasuresWithoutOverhangAndCountsBreaksAsSpaces) {
    EXPECT_FALSE(ExtentIncludesOverhang); // the built-in italic face adds no width
    EXPECT_EQ(TextExtent(C(), M, "XX", 2).cx, 12);
    EXPECT_EQ(TextExtent(C(), M, "XX", 9).cx, 12);
    int W = 0;
    TextWidthOfLines(C(), M, "ab\r\ncd", W, false, false, 6);
    EXPECT_EQ(W, 30);
    TextWidthOfLines(C(), M, "ab\r\ncd", W, false, true, 6);
    EXPECT_EQ(W, 12);
}

TEST_F(TextTest, FitLineKeepsWordsWhole) {
    int L = 0;
    ASSERT_TRUE(FitLine(C(), M, "aaa bbb ccc", L, htaLeft, 42));
    EXPECT_EQ(L, 8); // "aaa bbb " with the blank taken along
    ASSERT_TRUE(FitLine(C(), M, "aaa bbb ccc", L, htaLeft, 41));
    EXPECT_EQ(L, 4);
    ASSERT_TRUE(FitLine(C(), M, "abcdefghij", L, htaLeft, 30));
    EXPECT_EQ(L, 5); // a word wider than the cell is split
    ASSERT_TRUE(FitLine(C(), M, "abc", L, htaLeft, 2));
    EXPECT_EQ(L, 1); // at least one character
    ASSERT_TRUE(FitLine(C(), M, "ab\r\ncd", L, htaLeft, 100));
    EXPECT_EQ(L, 4); // the line takes its break
    ASSERT_TRUE(FitLine(C(), M, "  ab", L, htaRight, 100));
    EXPECT_EQ(L, 4); // right alignment skips leading blanks into the line
    ASSERT_TRUE(FitLine(C(), M, "ab cd", L, htaRight, 26));
    EXPECT_EQ(L, 2); // and leaves the blank before its cut out
    EXPECT_FALSE(FitLine(C(), M, "", L, htaLeft, 100));
}

TEST_F(TextTest, LineListsAndWrappedHeights) {
    TtsLineList Lines;
    BuildLineList(C(), "ab\r\ncd", 48, 10, Lines, true, htaLeft, 100);
    EXPECT_EQ(Lines, (TtsLineList{0, 4}));
    BuildLineList(C(), "ab\n", 48, 10, Lines, true, htaLeft, 100);
    EXPECT_EQ(Lines, (TtsLineList{0, 3}));
    BuildLineList(C(), "aaa bbb ccc", 48, 2, Lines, true, htaLeft, 41);
    EXPECT_EQ(Lines, (TtsLineList{0, 4}));
    // One line high, or no wrapping: a single line.
    BuildLineList(C(), "aaa bbb ccc", 12, 10, Lines, true, htaLeft, 41);
    EXPECT_EQ(Lines, (TtsLineList{0}));
    BuildLineList(C(), "ab\ncd", 48, 10, Lines, false, htaLeft, 100);
    EXPECT_EQ(Lines, (TtsLineList{0}));
    int H = 0, N = 0;
    WrappedTextHeight(C(), "aaa bbb ccc", 41, H, N, true, htaLeft);
    EXPECT_EQ(N, 3);
    EXPECT_EQ(H, 36);
    WrappedTextHeight(C(), "", 41, H, N, true, htaLeft);
    EXPECT_EQ(N, 1);
    WrappedTextHeight(C(), "ab\n", 41, H, N, true, htaLeft);
    EXPECT_EQ(N, 2);
}

TEST_F(TextTest, CellTextWrapsInATallCellOnly) {
    DrawCellText(C(), "ab\r\ncd", 40, 0, true, vtaTop, htaLeft, 0, 0, fw::TRect{0, 0, 60, 40});
    EXPECT_TRUE(InkIn(0, 0, 12, 12));
    EXPECT_TRUE(InkIn(0, 12, 12, 24));
    EXPECT_FALSE(InkIn(12, 0, 60, 40));
    SetUp();
    DrawCellText(C(), "ab\r\ncd", 40, 0, false, vtaTop, htaLeft, 0, 0, fw::TRect{0, 0, 60, 40});
    EXPECT_TRUE(InkIn(18, 0, 30, 12)); // "cd" after the break drawn as a space
    EXPECT_FALSE(InkIn(0, 12, 60, 40));
}

TEST_F(TextTest, RightAlignedTextEndsOnePixelInside) {
    DrawCellText(C(), "a", 12, 0, false, vtaTop, htaRight, 0, 0, fw::TRect{0, 0, 50, 12});
    EXPECT_TRUE(InkIn(43, 0, 48, 12));
    EXPECT_FALSE(InkIn(48, 0, 50, 12));
    EXPECT_FALSE(InkIn(0, 0, 43, 12));
    // A wrapped line ends where the same text unwrapped does.
    SetUp();
    DrawCellText(C(), "ab cd", 40, 0, true, vtaTop, htaRight, 0, 0, fw::TRect{0, 0, 27, 40});
    EXPECT_TRUE(InkIn(24, 0, 25, 12));
    EXPECT_FALSE(InkIn(25, 0, 27, 12));
}

TEST_F(TextTest, CenteredAndBottomAlignedWrappedLines) {
    DrawCellText(C(), "ab cd", 48, 0, true, vtaBottom, htaCenter, 0, 0, fw::TRect{0, 0, 20, 48});
    // Two lines at the bottom of the cell, centred in 20 pixels.
    EXPECT_TRUE(InkIn(0, 24, 20, 48));
    EXPECT_FALSE(InkIn(0, 0, 20, 24));
    EXPECT_FALSE(InkIn(0, 36, 4, 48)); // "cd" starts at 4
    EXPECT_TRUE(InkIn(4, 36, 6, 48));
    // With a line gap (a double-byte code page, a font with leading) the last line's text,
    // not its gap, stands on the bottom.
    fw::TCodePageScope Japanese(932);
    fw::TTextMetric Gapped = M;
    Gapped.ExternalLeading = 2;
    EXPECT_EQ(FirstLineY(fw::TRect{0, 0, 20, 48}, 1, Gapped, 2, vtaBottom), 48 - 12 - 13);
}

TEST_F(TextTest, CentredWrappedLinesCentreOnTheWholeCell) {
    // "ab" is 12 wide: (40 - 12) / 2 from the cell's left, though the text starts at 4.
    DrawCellText(C(), "ab", 48, 0, true, vtaTop, htaCenter, 0, 4, fw::TRect{0, 0, 40, 48});
    EXPECT_FALSE(InkIn(0, 0, 14, 12));
    EXPECT_TRUE(InkIn(14, 0, 16, 12));
    // Never left of where the text starts.
    SetUp();
    DrawCellText(C(), "abcdef", 48, 0, true, vtaTop, htaCenter, 0, 4, fw::TRect{0, 0, 40, 48});
    EXPECT_FALSE(InkIn(0, 0, 4, 12));
    EXPECT_TRUE(InkIn(4, 0, 8, 12));
}

TEST_F(TextTest, UnderlinedCharacterOnly) {
    DrawUnderlined(C(), M, 0, 2, 3, "abc", fw::TRect{0, 0, 60, 12}, 0);
    // The underline row of the face is cell row 10.
    EXPECT_FALSE(InkIn(0, 10, 6, 11));
    EXPECT_TRUE(InkIn(6, 10, 12, 11));
    EXPECT_FALSE(InkIn(12, 10, 18, 11));
    EXPECT_EQ(C().Font().Style() & fw::fsUnderline, 0);
}

TEST_F(TextTest, SelectionBandBehindTheSelectedBytes) {
    const fw::TColor Band = 0x0000FF;
    DrawHighlighted(C(), M, "abc", 3, fw::TRect{0, 0, 60, 12}, 0, 0, 1, 1, Band, fw::clWhite, 0, 0);
    EXPECT_EQ(C().Pixels(6, 11), Band);
    EXPECT_EQ(C().Pixels(11, 0), Band);
    EXPECT_EQ(C().Pixels(5, 11), fw::clWhite);
    EXPECT_EQ(C().Pixels(12, 11), fw::clWhite);
    // A selection that began in an earlier piece covers the start of this one.
    SetUp();
    DrawHighlighted(C(), M, "abc", 3, fw::TRect{0, 0, 60, 12}, 0, 0, -2, 3, Band, fw::clWhite, 0,
                    0);
    EXPECT_EQ(C().Pixels(0, 11), Band);
    EXPECT_EQ(C().Pixels(6, 11), fw::clWhite);
}

TEST_F(TextTest, EmptySelectionDrawsLikeUnderlined) {
    fw::TBitmap Other;
    Other.SetSize(100, 60);
    Other.Canvas().FillRect(fw::TRect{0, 0, 100, 60});
    DrawHighlighted(C(), M, "abc", 3, fw::TRect{0, 0, 60, 12}, 2, 0, 5, 0, 0xFF, 0xFF, 1, 0);
    DrawUnderlined(Other.Canvas(), M, 2, 1, 3, "abc", fw::TRect{0, 0, 60, 12}, 0);
    for (int X = 0; X < 40; ++X)
        for (int Y = 0; Y < 12; ++Y)
            ASSERT_EQ(C().Pixels(X, Y), Other.Canvas().Pixels(X, Y)) << X << "," << Y;
}

TEST_F(TextTest, EditorTextSelectedBreakShowsAsASpace) {
    const fw::TColor Band = 0x00FF00;
    TtsLineList Lines{0};
    DrawEditText(C(), "ab\ncd", 12, fw::TRect{0, 0, 60, 12}, 0, 0, 0, 0, &Lines, 2, 1, Band,
                 fw::clWhite, htaLeft, vtaTop, false);
    EXPECT_EQ(C().Pixels(14, 11), Band);
    EXPECT_NE(C().Pixels(20, 11), Band);
}

TEST_F(TextTest, EditorLinesFromTopLine) {
    const fw::TColor Band = 0x00FF00;
    TtsLineList Lines{0, 3, 6};
    // The third line at the first line's place; the selection counts from the start.
    DrawEditText(C(), "ab\ncd\nef", 48, fw::TRect{0, 0, 60, 48}, 0, 0, 0, 2, &Lines, 6, 1, Band,
                 fw::clWhite, htaLeft, vtaTop, true);
    EXPECT_EQ(C().Pixels(0, 11), Band);
    EXPECT_TRUE(InkIn(6, 0, 12, 12));
    EXPECT_FALSE(InkIn(0, 12, 60, 48));
}

TEST_F(TextTest, EditorWithoutLinesOnlyFills) {
    C().Brush().SetColor(0x123456);
    DrawEditText(C(), "abc", 12, fw::TRect{0, 0, 30, 12}, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, htaLeft,
                 vtaTop, false);
    for (int X = 0; X < 30; ++X)
        ASSERT_EQ(C().Pixels(X, 5), 0x123456);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(TextTest, LongTextsStayWithinTheCell) {
    // 60000 pixels of selected text: the band is made only as wide as the cell.
    const std::string Long(10000, 'x');
    const fw::TColor Band = 0x0000FF;
    EXPECT_NO_THROW(DrawHighlighted(C(), M, Long, 10000, fw::TRect{0, 0, 60, 12}, 0, 0, 0, 10000,
                                    Band, fw::clWhite, 0, 0));
    EXPECT_EQ(C().Pixels(59, 11), Band);
    // Right-aligned, the end of the text shows.
    SetUp();
    DrawCellText(C(), Long + "ab", 12, 0, false, vtaTop, htaRight, 0, 0, fw::TRect{0, 0, 60, 12});
    EXPECT_TRUE(InkIn(48, 0, 59, 12));
    EXPECT_FALSE(InkIn(59, 0, 60, 12));
}

TEST_F(TextTest, RightAlignedBreakCountsAsOneSpace) {
    // "a", a CR LF pair and "b": three cells wide, ending one pixel inside.
    DrawCellText(C(), "a\r\nb", 12, 0, false, vtaTop, htaRight, 0, 0, fw::TRect{0, 0, 60, 12});
    EXPECT_TRUE(InkIn(41, 0, 47, 12));  // "a"
    EXPECT_FALSE(InkIn(47, 0, 53, 12)); // the break as a space
    EXPECT_TRUE(InkIn(53, 0, 59, 12));  // "b"
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// The line fit as first written: the whole rest of the text searched for its break.
int FitBySearchingTheRest(const fw::TCanvas& C, const fw::TTextMetric& M, std::string_view T,
                          TtsHorzAlignment Align, int Width) {
    const int Total = static_cast<int>(T.size());
    const int Lead = Align == htaRight ? SkipBlanks(T, Total) : 0;
    if (Lead >= Total) return Total;
    std::string_view Rest = T.substr(static_cast<std::size_t>(Lead));
    const int RestLen = static_cast<int>(Rest.size());
    const int Break = FirstLineBreak(Rest, RestLen);
    int Limit = RestLen;
    if (Break >= 0) {
        // A pair of two different break bytes is one break.
        Limit = Break + 1;
        if (Break + 1 < RestLen && (Rest[Break + 1] == '\r' || Rest[Break + 1] == '\n') &&
            Rest[Break + 1] != Rest[Break])
            Limit += 1;
    }
    const int Visible = Break >= 0 ? Break : RestLen;
    auto Fits = [&](int N) {
        const int W = TextExtent(C, M, Rest, N).cx;
        return (W > 0 ? W + M.Overhang : W) <= Width;
    };
    int N = 0;
    while (N < Visible && Fits(N + 1))
        ++N;
    if (N == Visible && Break >= 0) return Lead + Limit;
    if (N < Visible) {
        if (N > 0 && IsWordChar(Rest, N) && IsWordChar(Rest, N - 1)) {
            int Cut = N;
            while (Cut > 0 && !IsBlank(Rest, Cut - 1))
                --Cut;
            if (Cut > 0) N = Cut;
        }
        if (Align != htaRight) {
            while (N < Visible && IsBlank(Rest, N))
                ++N;
            if (N == Visible && Break >= 0) N = Limit;
        } else {
            while (N > 0 && IsBlank(Rest, N - 1))
                --N;
        }
        if (N == 0) N = 1;
    }
    return Lead + N;
}

TEST_F(TextTest, FitLineAgreesWithASearchOfTheWholeRest) {
    std::mt19937 Rng(7);
    const char Alphabet[] = "ab  \r\nxyz\t";
    for (int Round = 0; Round < 3000; ++Round) {
        std::string T(Rng() % 400, 'a');
        for (char& Ch : T)
            Ch = Alphabet[Rng() % (sizeof(Alphabet) - 1)];
        const auto Align = static_cast<TtsHorzAlignment>(Rng() % 3);
        const int Width = 1 + static_cast<int>(Rng() % 700);
        int L = 0;
        FitLine(C(), M, T, L, Align, Width);
        if (T.empty()) continue;
        ASSERT_EQ(L, FitBySearchingTheRest(C(), M, T, Align, Width))
            << "text of " << T.size() << " width " << Width << " align " << int(Align);
    }
}

TEST(GridTextDoubleByte, CharactersAndBytesCountALeadWithItsTrail) {
    fw::TCodePageScope Japanese(932);
    ASSERT_TRUE(IsDBCSLocale());
    const std::string T = "a\x88\x9f" "b\r\n"; // a, one character of two bytes, b, CR, LF
    EXPECT_TRUE(IsLeadByte(T, 1));
    EXPECT_FALSE(IsLeadByte(T, 2));
    EXPECT_EQ(CharsToBytes(T, 1), 1);
    EXPECT_EQ(CharsToBytes(T, 2), 3);
    EXPECT_EQ(CharsToBytes(T, 9), 6);
    EXPECT_EQ(CharsToBytes(T, 3, true), 3); // b, CR, LF: a break is bytes here
    EXPECT_EQ(CharsToBytes(T, 4, true), 5);
    EXPECT_EQ(BytesToChars(T, 2), 2); // the cut character counts
    EXPECT_EQ(BytesToChars(T, 3), 2);
    EXPECT_EQ(BytesToChars(T, 4, true), 4);
    EXPECT_EQ(BytesToChars(T, 6, true), 5);
}

TEST_F(TextTest, WrappingNeverCutsADoubleByteCharacter) {
    fw::TCodePageScope Japanese(932);
    std::mt19937 Rng(11);
    const std::string Pieces[] = {"\x88\x9f", "\x95\x5c", "\x82\xa0", "a", " ", "\r\n"};
    for (int Round = 0; Round < 400; ++Round) {
        std::string T;
        for (int I = static_cast<int>(Rng() % 60); I > 0; --I)
            T += Pieces[Rng() % 6];
        std::vector<std::size_t> Starts; // every character's start
        for (std::size_t P = 0; P < T.size(); P += static_cast<std::size_t>(CharLengthAt(T, P)))
            Starts.push_back(P);
        Starts.push_back(T.size());
        const auto Align = static_cast<TtsHorzAlignment>(Rng() % 3);
        TtsLineList Lines;
        BuildLineList(C(), T, 100, 1000, Lines, true, Align, 1 + static_cast<int>(Rng() % 60));
        for (int L : Lines)
            EXPECT_TRUE(std::binary_search(Starts.begin(), Starts.end(), static_cast<std::size_t>(L)))
                << "a line starts inside a character at " << L;
    }
}

TEST_F(TextTest, AnUnderlinedDoubleByteCharacterIsUnderlinedWhole) {
    fw::TCodePageScope Japanese(932);
    // Underlined, "\x88\x9f" draws its two glyphs over one line; the plain "x" after it starts
    // where both end.
    auto UnderlineRowInk = [&](int From, int To) {
        int N = 0;
        for (int X = From; X < To; ++X)
            N += C().Pixels(X, M.Height - 1) == fw::clBlack || C().Pixels(X, M.Height - 2) == fw::clBlack;
        return N;
    };
    DrawUnderlined(C(), M, 0, 1, 3, "\x88\x9fx", fw::TRect{0, 0, 100, 60}, 0);
    const int Char = TextExtent(C(), M, "\x88\x9f", 2).cx;
    EXPECT_GT(UnderlineRowInk(Char - 3, Char), 0) << "the trail byte's glyph is underlined";
}

} // namespace
} // namespace vel
