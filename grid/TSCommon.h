#pragma once
// Stand-alone routines of the grid: variants, text escaping, accelerators,
// cell keys, check-box value texts, number-text stepping for spin buttons,
// variant comparisons and settings paths. Its byte streams are the framework's.
#include "Classes.h"
#include "Settings.h"
#include "Streams.h"
#include "Types.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fw {
class TObject;
class TCanvas;
class TWinControl;
} // namespace fw

namespace vel {

// --- Variants ------------------------------------------------------------------

struct TtsNull {
    friend bool operator==(TtsNull, TtsNull) { return true; }
};

// Empty, null, Boolean, byte, 32-bit integer, float, text, object reference.
using TtsVariant = std::variant<std::monostate, TtsNull, bool, std::uint8_t, std::int32_t, double,
                                std::string, fw::TObject*>;

inline bool VarIsEmpty(const TtsVariant& v) {
    return std::holds_alternative<std::monostate>(v);
}
inline bool VarIsNull(const TtsVariant& v) {
    return std::holds_alternative<TtsNull>(v);
}
// Integer of a Boolean, byte, integer or float variant, or of a numeric text; 0 otherwise.
std::int32_t VarAsInteger(const TtsVariant& v);
inline TtsVariant IntegerToVar(std::int32_t v) {
    return TtsVariant(v);
}
// An integer variant as decimal text, else the variant's text ("" for empty and null).
std::string VarToText(const TtsVariant& v);
bool IsNumericVarType(const TtsVariant& v);
// Same type and, unless null, equal values; or both empty.
bool VarSame(const TtsVariant& a, const TtsVariant& b);
// VarSame, or both numeric with equal values.
bool VarEquals(const TtsVariant& a, const TtsVariant& b);

// --- Byte streams (the framework's) -----------------------------------------------

using fw::EReadError;
using fw::TMemoryStream;
using fw::TStream;

// --- Text ------------------------------------------------------------------------

std::string XmlEscape(std::string_view text);
// The letters in lower case; the bytes of a double-byte character are no letters.
std::string LowerText(std::string_view text);
// Drops single "&" markers, "&&" becomes "&"; position is the 1-based place of
// the character after the first single "&" in the result (0 when none).
std::string StripAccelerators(std::string_view text, int& position);
// 0-based index of the first / last occurrence within length, -1 when none;
// the multibyte variants skip lead and trail bytes.
int FindByte(std::string_view buffer, char byte, int length);
int FindByteBack(std::string_view buffer, char byte, int length);
// head = the text before the first separator, text = the rest after it.
void SplitAt(std::string& text, std::string& head, char separator);
std::string MakeCellKey(std::string_view name, int column, int row);
void ParseCellKey(std::string_view text, int& column, int& row, std::string& name);
// 1-based position; true when the span has no letter or digit on either side.
bool IsWholeWordAt(std::string_view text, int position, int length);
std::vector<std::string> ParseList(std::string_view text);
bool PointInRect(int x, int y, int left, int top, int right, int bottom);

// --- Check-box value texts ("Checked|Unchecked|Grayed") ----------------------------

bool SplitBarText(std::string_view text, std::string& a, std::string& b, std::string& c);
int StateOfText(std::string_view value, std::string_view text);
TtsVariant TextOfState(int state, std::string_view text);
int StateOfVariant(const TtsVariant& v, std::string_view text);
int StateWithEnable(int state, bool enabled);
int StateIndex(int state);
inline bool IsStateDefined(int state) {
    return state != 3;
}

// --- Dates and times (day counts from 30 December 1899, fractions for the time) ------

// Locale values of the date routines: the system's in the platform, fixed here.
struct TtsDateLocale {
    std::string ShortDateFormat = "M/d/yyyy";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::vector<std::string> LongMonthNames{"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
    std::vector<std::string> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::vector<std::string> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
    std::vector<std::string> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
};
extern TtsDateLocale DateLocale;

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 0 year-month-day, 1 month-day-year, 2 day-month-year.
int DateOrder();
std::string BuildDateFormat(bool fourDigitYear);
std::string WidenYearFormat(const std::string& format);
std::string RemoveAmPm(const std::string& format);
bool HasTimeDesignators();
// The calendar's range in day counts from 30 December 1899: 1 January 0001 to
// 31 December 9999. A date outside it is no date.
constexpr int MinDayCount = -693593;
constexpr int MaxDayCount = 2958465;
// The day of a date (its whole days, towards the past), held in the calendar;
// a date that is not a number gives day 0.
int DayCountOf(double date);
// Throws EConvertError for text that is no date.
double StrToDateTimeLoose(const std::string& text);
// Any failure gives the present date and time.
double VarToDateTimeLoose(const TtsVariant& v);
double NowDateTime();
double EncodeDate(int year, int month, int day); // throws EConvertError when invalid

// --- Number text (spin editing) ----------------------------------------------------

// Separators of the number texts; the locale's in the platform, fixed here.
struct TtsNumberFormat {
    char Thousand = ',';
    char Decimal = '.';
};
extern TtsNumberFormat NumberFormat;

// 1-based positions.
int SkipDigits(std::string_view text, int position, int step);
int SkipNumberChars(std::string_view text, int position, int step);
bool RemoveThousandSeparators(std::string& text);
void InsertThousandSeparators(std::string& text);
std::string AddToNumberText(const std::string& text, double step);
bool IsNumberText(const std::string& text);
// caret 0-based; start 1-based.
bool FindNumberAt(std::string_view text, int caret, int& start, int& length);
bool StepNumberInText(const std::string& text, int caret, int& start, std::string& newText,
                      int& length, double step);
void PadDecimals(const std::string& old, std::string& fresh);
void PadToWidth(const std::string& old, std::string& fresh);

// --- Published properties (fw::TPersistent) ------------------------------------------

// One published property from source to destination, an object of the property's class
// (fw::EPropertyError otherwise).
void CopyProperty(const fw::TPropInfo& prop, fw::TObject& dest, const fw::TObject& source);
// The source's property of that name, case ignored; false when it publishes none such.
bool CopyPropertyByName(const std::string& name, fw::TObject& dest, const fw::TObject& source);
// Every published property of the source but those named in the ";"-separated exclusions
// (exact names, case ignored).
void CopyProperties(fw::TObject& dest, const fw::TObject& source, const std::string& exclusions);

// --- Canvases ----------------------------------------------------------------------

// Draws a 1 x 1 picture of 32-bit pixels at (0, 0), so that the canvas works in that format.
void PrimeCanvas(fw::TCanvas& canvas);

// True when the window is the control's own or, at any depth, one of its windowed children's.
bool ControlOwnsWindow(fw::HWND window, fw::TWinControl* control);

// --- Settings paths ----------------------------------------------------------------

constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;
constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr std::uint32_t HKEY_USERS = 0x80000003u;

// A path "\\ROOT\sub" names its root; any other path lies under the default root.
bool ParseRegistryPath(std::string_view path, std::uint32_t& rootKey, std::string& rootName,
                       std::string& subPath);

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the path in a settings store; the root becomes the first key level
// ("HKEY_CURRENT_USER" for the default root). Null when the key cannot be
// opened; an unknown root raises ERegistryException.
std::unique_ptr<fw::TSettingsStore> OpenRegistryPath(std::string_view path, bool canCreate,
                                                     const std::string& file);

} // namespace vel
