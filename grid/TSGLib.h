#pragma once
// Measuring, wrapping and drawing of cell text (8-bit; in a double-byte code
// page a lead byte and its trail byte are one character, never cut) for the
// grid's cells and its in-cell text editor.
#include "Canvas.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

enum TtsHorzAlignment : std::uint8_t { htaLeft = 0, htaRight = 1, htaCenter = 2, htaDefault = 3 };
enum TtsVertAlignment : std::uint8_t { vtaTop = 0, vtaBottom = 1, vtaCenter = 2, vtaDefault = 3 };

using TtsLineList = std::vector<std::int32_t>;

// Set at load: the font's extents include the italic overhang.
extern bool ExtentIncludesOverhang;
bool MeasureExtentIncludesOverhang();

// The system code page is a double-byte one; the byte at I leads a double-byte character.
bool IsDBCSLocale();
bool IsLeadByte(std::string_view Text, std::size_t I);
int LineGapOf(const fw::TTextMetric& Metrics);

fw::TSize TextExtent(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics,
                     std::string_view Text, int Count);
// Position of the first CR or LF within Count; -1 when none.
int FirstLineBreak(std::string_view Text, int Count);
bool IsBlank(std::string_view Text, int I);
bool IsWordChar(std::string_view Text, int I);
int FirstBlank(std::string_view Text, int Count);
// Offset of the first non-blank byte within Count (Count when none).
int SkipBlanks(std::string_view Text, int Count);
int NextWordStart(std::string_view Text, int Pos);
int PrevWordStart(std::string_view Text, int Pos);
// In a double-byte locale: the bytes that cover Chars characters from the start (the
// end), and the characters that have a byte among the first (last) Bytes bytes; a line
// break is a byte here. In other locales the counts are equal.
int CharsToBytes(std::string_view Text, int Chars, bool FromEnd = false);
int BytesToChars(std::string_view Text, int Bytes, bool FromEnd = false);
bool LastCharIsLineEnd(std::string_view Text, int Len);
bool HasRoomForWrap(int Height, int LineHeight);
bool FitLine(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
             int& Len, TtsHorzAlignment Align, int Width);
void BuildLineList(const fw::TCanvas& Canvas, std::string_view Text, int Height, int MaxLines,
                   TtsLineList& Lines, bool WordWrap, TtsHorzAlignment Align, int Width);
// The width wrapped lines fit when the text starts at X and the area ends at Right: one
// pixel inside it, a right-aligned line one more. Cells and the editor over them wrap
// alike, so a text keeps its lines when editing starts.
int WrapWidth(int Right, int X, TtsHorzAlignment Align);
void WrappedTextHeight(const fw::TCanvas& Canvas, std::string_view Text, int Width, int& Height,
                       int& Lines, bool WordWrap, TtsHorzAlignment Align);
void TextWidthOfLines(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics,
                      std::string_view Text, int& Width, bool AddOverhang, bool StopAtBreak,
                      int Count);

void DrawUnderlined(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, int X, int UnderlineStart,
                    int Count, std::string_view Text, const fw::TRect& R, int Y);
void DrawHighlighted(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
                     int Count, const fw::TRect& R, int X, int Y, int SelStart, int SelLength,
                     fw::TColor SelBandColor, fw::TColor SelTextColor, int UnderlineStart,
                     int LineGap);
void DrawSelectionBand(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, const fw::TRect& Band,
                       const fw::TRect& ClipRect, fw::TColor Color);
void DrawCellText(fw::TCanvas& Canvas, std::string_view Text, int Height, int UnderlineStart,
                  bool WordWrap, TtsVertAlignment VertAlign, TtsHorzAlignment HorzAlign,
                  int TopMargin, int X, fw::TRect R);
void DrawEditLines(fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Text,
                   fw::TRect R, int X, int Y, int TopLine, const TtsLineList& Lines, int SelStart,
                   int SelLength, fw::TColor SelBandColor, fw::TColor SelTextColor,
                   TtsHorzAlignment HorzAlign, TtsVertAlignment VertAlign);
// Where the routines below put text, so that an editor's caret and mouse find the
// characters where they are drawn.
// The top of a one-line text in R whose first line would start at Y0.
int SingleLineTop(const fw::TTextMetric& Metrics, const fw::TRect& R, int Y0,
                  TtsVertAlignment VertAlign);
// The first character a one-line text shows and its x: Skip is the first character
// (left and centred text) or the end of what shows (right-aligned text, 0: the text end).
struct TtsLinePlace {
    int Start = 0;
    int End = 0;
    int X = 0;
};
TtsLinePlace SingleLinePlace(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics,
                             std::string_view Text, const fw::TRect& R, int X, int Skip,
                             TtsHorzAlignment HorzAlign);
// The x of one line of Drawn characters among wrapped lines in R.
int EditLineX(const fw::TCanvas& Canvas, const fw::TTextMetric& Metrics, std::string_view Line,
              int Drawn, const fw::TRect& R, int X, TtsHorzAlignment HorzAlign);
// The top of the first of Lines wrapped lines in the font of M.
int FirstLineY(const fw::TRect& R, int Y0, const fw::TTextMetric& M, int Lines,
               TtsVertAlignment VertAlign);
void DrawEditText(fw::TCanvas& Canvas, std::string_view Text, int Height, fw::TRect R, int X,
                  int TopMargin, int ScrollOffset, int TopLine, const TtsLineList* Lines,
                  int SelStart, int SelLength, fw::TColor SelBandColor, fw::TColor SelTextColor,
                  TtsHorzAlignment HorzAlign, TtsVertAlignment VertAlign, bool WordWrap);

} // namespace vel
