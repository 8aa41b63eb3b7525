#include "TSMonthView.h"

#include "Canvas.h"
#include "Input.h"
#include "TSCommon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vel {

// --- Day counts -------------------------------------------------------------------------

namespace {

// Days from 1 March of year 0 (proleptic Gregorian) to the given civil date.
long DaysFromCivil(long Y, long M, long D) {
    Y -= M <= 2;
    const long Era = (Y >= 0 ? Y : Y - 399) / 400;
    const long YoE = Y - Era * 400;
    const long DoY = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
    const long DoE = YoE * 365 + YoE / 4 - YoE / 100 + DoY;
    return Era * 146097 + DoE;
}

const long Epoch = DaysFromCivil(1899, 12, 30);

} // namespace

int EncodeDayCount(int Year, int Month, int Day) {
    return static_cast<int>(DaysFromCivil(Year, Month, Day) - Epoch);
}

TtsDate DecodeDayCount(int Days) {
    const long Z = Days + Epoch;
    const long Era = (Z >= 0 ? Z : Z - 146096) / 146097;
    const long DoE = Z - Era * 146097;
    const long YoE = (DoE - DoE / 1460 + DoE / 36524 - DoE / 146096) / 365;
    const long DoY = DoE - (365 * YoE + YoE / 4 - YoE / 100);
    const long MP = (5 * DoY + 2) / 153;
    const long D = DoY - (153 * MP + 2) / 5 + 1;
    const long M = MP + (MP < 10 ? 3 : -9);
    return {static_cast<int>(YoE + Era * 400 + (M <= 2)), static_cast<int>(M),
            static_cast<int>(D)};
}

int DaysInMonth(int Year, int Month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool Leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
    return Month == 2 && Leap ? 29 : Days[std::clamp(Month, 1, 12) - 1];
}

std::string DateToText(double Date) {
    const TtsDate D = DecodeDayCount(DayCountOf(std::trunc(Date < 0 ? Date - 0.5 : Date)));
    // The format's parts in its order: D or DD, M or MM, YY or YYYY.
    const std::string Format = BuildDateFormat(true);
    std::string Out;
    for (std::size_t I = 0; I < Format.size();) {
        const char C = Format[I];
        std::size_t N = 1;
        while (I + N < Format.size() && Format[I + N] == C)
            ++N;
        char Buf[16];
        if (C == 'D' || C == 'd')
            std::snprintf(Buf, sizeof Buf, N >= 2 ? "%02d" : "%d", D.Day);
        else if (C == 'M' || C == 'm')
            std::snprintf(Buf, sizeof Buf, N >= 2 ? "%02d" : "%d", D.Month);
        else if (C == 'Y' || C == 'y')
            std::snprintf(Buf, sizeof Buf, N >= 4 ? "%04d" : "%02d",
                          N >= 4 ? D.Year : D.Year % 100);
        else
            std::snprintf(Buf, sizeof Buf, "%.*s", static_cast<int>(N), Format.c_str() + I);
        Out += Buf;
        I += N;
    }
    return Out;
}

// --- The view ----------------------------------------------------------------------------

TtsMonthView::TtsMonthView(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    SetColor(fw::clWindow);
    SetParentColor(false);
    SetControlStyle(ControlStyle() | fw::csOpaque);
    const fw::TSize S = PreferredSize();
    SetBounds(0, 0, S.cx, S.cy);
    SetDate(EncodeDayCount(2000, 1, 1));
}

void TtsMonthView::SetDate(int Days) {
    FDate = std::clamp(Days, MinDayCount, MaxDayCount);
    const TtsDate D = DecodeDayCount(Days);
    FYear = D.Year;
    FMonth = D.Month;
    Invalidate();
}

void TtsMonthView::StepMonth(int Months) {
    const TtsDate D = DecodeDayCount(FDate);
    // Months are counted from January of year 1 and held in the calendar.
    const long long Index = std::clamp((D.Year - 1) * 12LL + (D.Month - 1) + Months, 0LL,
                                       9999 * 12LL - 1);
    const int Year = static_cast<int>(Index / 12) + 1, Month = static_cast<int>(Index % 12) + 1;
    SetDate(EncodeDayCount(Year, Month, std::min(D.Day, DaysInMonth(Year, Month))));
}

bool TtsMonthView::KeyStep(std::uint16_t Key) {
    const TtsDate D = DecodeDayCount(FDate);
    switch (Key) {
    case fw::VK_LEFT:
        SetDate(FDate - 1);
        return true;
    case fw::VK_RIGHT:
        SetDate(FDate + 1);
        return true;
    case fw::VK_UP:
        SetDate(FDate - 7);
        return true;
    case fw::VK_DOWN:
        SetDate(FDate + 7);
        return true;
    case fw::VK_PRIOR:
        StepMonth(-1);
        return true;
    case fw::VK_NEXT:
        StepMonth(1);
        return true;
    case fw::VK_HOME:
        SetDate(EncodeDayCount(D.Year, D.Month, 1));
        return true;
    case fw::VK_END:
        SetDate(EncodeDayCount(D.Year, D.Month, DaysInMonth(D.Year, D.Month)));
        return true;
    default:
        return false;
    }
}

fw::TSize TtsMonthView::PreferredSize() const {
    return {7 * CellWidth + 2, TitleHeight + 7 * CellHeight + 2};
}

int TtsMonthView::FirstCell() const {
    const int First = EncodeDayCount(FYear, FMonth, 1);
    // Day 0 (30 December 1899) was a Saturday: Sunday is 0 below.
    const int WeekDay = ((First + 6) % 7 + 7) % 7;
    return First - WeekDay;
}

int TtsMonthView::DayAt(int X, int Y) const {
    if (Y >= 0 && Y < TitleHeight) {
        if (X >= 0 && X < TitleHeight) return BackArrow;
        if (X >= Width() - TitleHeight && X < Width()) return NextArrow;
        return NoDay;
    }
    const int Row = (Y - TitleHeight - CellHeight - 1) / CellHeight;
    const int Col = (X - 1) / CellWidth;
    if (Y < TitleHeight + CellHeight + 1 || X < 1 || Col > 6 || Row > 5) return NoDay;
    const int Day = FirstCell() + Row * 7 + Col;
    return Day >= MinDayCount && Day <= MaxDayCount ? Day : NoDay;
}

void TtsMonthView::PaintTitle(fw::TCanvas& C) {
    static const char* Months[] = {"January", "February", "March",     "April",
                                   "May",     "June",     "July",      "August",
                                   "September", "October", "November", "December"};
    const int W = Width();
    C.Brush().SetColor(fw::clBtnFace);
    C.FillRect(fw::TRect{0, 0, W, TitleHeight});
    const std::string Title = std::string(Months[FMonth - 1]) + " " + std::to_string(FYear);
    C.Font().SetColor(fw::clBtnText);
    C.TextOut((W - C.TextWidth(Title)) / 2, (TitleHeight - C.TextHeight(Title)) / 2, Title);
    // The two arrows: back on the left, on on the right.
    C.Brush().SetColor(fw::clBtnText);
    C.Pen().SetColor(fw::clBtnText);
    const int Mid = TitleHeight / 2;
    C.Polygon({fw::TPoint{6, Mid}, fw::TPoint{11, Mid - 5}, fw::TPoint{11, Mid + 5}});
    C.Polygon({fw::TPoint{W - 7, Mid}, fw::TPoint{W - 12, Mid - 5}, fw::TPoint{W - 12, Mid + 5}});
}

void TtsMonthView::PaintDays(fw::TCanvas& C) {
    static const char* WeekDays[] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};
    const int Top = TitleHeight;
    C.Brush().SetColor(fw::clWindow);
    for (int I = 0; I < 7; ++I) {
        const std::string T = WeekDays[I];
        C.Font().SetColor(fw::clGrayText);
        C.TextOut(1 + I * CellWidth + (CellWidth - C.TextWidth(T)) / 2, Top + 2, T);
    }
    C.Pen().SetColor(fw::clBtnShadow);
    C.MoveTo(1, Top + CellHeight);
    C.LineTo(Width() - 1, Top + CellHeight);
    const int First = FirstCell();
    for (int Cell = 0; Cell < 42; ++Cell) {
        const int Day = First + Cell;
        const TtsDate D = DecodeDayCount(Day);
        const fw::TRect R{1 + (Cell % 7) * CellWidth, Top + CellHeight + 1 + (Cell / 7) * CellHeight,
                          1 + (Cell % 7 + 1) * CellWidth,
                          Top + CellHeight + 1 + (Cell / 7 + 1) * CellHeight};
        const bool Marked = Day == FDate;
        C.Brush().SetColor(Marked ? fw::clHighlight : fw::clWindow);
        C.FillRect(R);
        if (Day < MinDayCount || Day > MaxDayCount) continue; // past the calendar's ends: blank
        C.Font().SetColor(Marked                 ? fw::clHighlightText
                          : D.Month == FMonth    ? fw::clWindowText
                                                 : fw::clGrayText);
        const std::string T = std::to_string(D.Day);
        C.TextOut(R.Right - 4 - C.TextWidth(T), R.Top + (CellHeight - C.TextHeight(T)) / 2, T);
    }
}

void TtsMonthView::Paint() {
    fw::TCanvas& C = *Canvas();
    C.Brush().SetColor(fw::clWindow);
    C.FillRect(ClientRect());
    PaintTitle(C);
    PaintDays(C);
    C.Brush().SetColor(fw::clBtnShadow);
    C.FrameRect(ClientRect());
}

void TtsMonthView::MouseDown(fw::TMouseButton Button, fw::TShiftState, int X, int Y) {
    if (Button != fw::mbLeft) return;
    const int Day = DayAt(X, Y);
    FPressedDay = NoDay;
    if (Day == BackArrow) {
        StepMonth(-1);
    } else if (Day == NextArrow) {
        StepMonth(1);
    } else if (Day != NoDay) {
        FPressedDay = Day;
        SetDate(Day);
    }
}

void TtsMonthView::MouseUp(fw::TMouseButton Button, fw::TShiftState, int X, int Y) {
    if (Button != fw::mbLeft) return;
    const int Pressed = FPressedDay;
    FPressedDay = NoDay;
    if (Pressed != NoDay && DayAt(X, Y) == Pressed) fw::CallHandler(OnPick, Pressed);
}

} // namespace vel
