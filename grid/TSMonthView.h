#pragma once
// The month view a date-time cell drops down: the month's title between two
// arrows, the week days, and six weeks of days; a day is picked with the
// mouse or the keys (arrows by day and week, Page Up/Down by month, Home/End
// to the month's ends, Enter). Dates are day counts from 30 December 1899.
#include "Controls.h"

#include <functional>
#include <string>

namespace vel {

// Calendar arithmetic on day counts.
struct TtsDate {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
};
TtsDate DecodeDayCount(int Days);
int EncodeDayCount(int Year, int Month, int Day);
int DaysInMonth(int Year, int Month);
// The date as text in the short date format of the locale (TSCommon.h).
std::string DateToText(double Date);

class TtsMonthView : public fw::TCustomControl {
public:
    static constexpr int CellWidth = 22;
    static constexpr int CellHeight = 16;
    static constexpr int TitleHeight = 20;

    explicit TtsMonthView(fw::TComponent* AOwner);

    int Date() const { return FDate; }
    // Shows the date's month with the date marked.
    void SetDate(int Days);
    int ShownYear() const { return FYear; }
    int ShownMonth() const { return FMonth; }
    // Another month, the marked day kept where the month allows.
    void StepMonth(int Months);
    // A key of the view: true when it moved the date (Enter picks).
    bool KeyStep(std::uint16_t Key);
    // The size that shows the whole month.
    fw::TSize PreferredSize() const;
    // The day under a client point; NoDay, or an arrow, elsewhere.
    static constexpr int NoDay = -2147483647 - 1;
    static constexpr int BackArrow = NoDay + 1;
    static constexpr int NextArrow = NoDay + 2;
    int DayAt(int X, int Y) const;
    bool CanFocus() const override { return false; }

    std::function<void(int Days)> OnPick;

protected:
    void Paint() override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;

private:
    // Day count of the first cell (the Sunday on or before the month's first day).
    int FirstCell() const;
    void PaintTitle(fw::TCanvas& C);
    void PaintDays(fw::TCanvas& C);
    int FDate = 0;
    int FYear = 1899;
    int FMonth = 12;
    int FPressedDay = NoDay;
};

} // namespace vel
