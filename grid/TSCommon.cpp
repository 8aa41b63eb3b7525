#include "TSCommon.h"

#include "Bitmap.h"
#include "Controls.h"

#include "TSMbcs.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace vel {

// --- Variants ---------------------------------------------------------------------------

namespace {

bool NumberOf(const TtsVariant& v, double& out) {
    if (auto* b = std::get_if<bool>(&v)) {
        out = *b ? -1 : 0; // a true Boolean is -1 as a number
        return true;
    }
    if (auto* u = std::get_if<std::uint8_t>(&v)) {
        out = *u;
        return true;
    }
    if (auto* i = std::get_if<std::int32_t>(&v)) {
        out = *i;
        return true;
    }
    if (auto* d = std::get_if<double>(&v)) {
        out = *d;
        return true;
    }
    return false;
}

std::string Lower(std::string_view s) {
    return LowerText(s);
}

bool SameText(std::string_view a, std::string_view b) {
    return Lower(a) == Lower(b);
}

} // namespace

std::int32_t VarAsInteger(const TtsVariant& v) {
    double d = 0;
    if (NumberOf(v, d)) {
        if (!std::isfinite(d) || d > 2147483647.0 || d < -2147483648.0) return 0;
        return static_cast<std::int32_t>(std::lround(d));
    }
    if (auto* s = std::get_if<std::string>(&v)) {
        std::int32_t r = 0;
        auto res = std::from_chars(s->data(), s->data() + s->size(), r);
        return res.ec == std::errc() && res.ptr == s->data() + s->size() ? r : 0;
    }
    return 0;
}

std::string VarToText(const TtsVariant& v) {
    if (auto* i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
    if (auto* u = std::get_if<std::uint8_t>(&v)) return std::to_string(*u);
    if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    if (auto* d = std::get_if<double>(&v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

bool IsNumericVarType(const TtsVariant& v) {
    return std::holds_alternative<std::uint8_t>(v) || std::holds_alternative<std::int32_t>(v) ||
           std::holds_alternative<double>(v);
}

bool VarSame(const TtsVariant& a, const TtsVariant& b) {
    if (VarIsEmpty(a) || VarIsEmpty(b)) return VarIsEmpty(a) && VarIsEmpty(b);
    return a == b;
}

bool VarEquals(const TtsVariant& a, const TtsVariant& b) {
    if (VarSame(a, b)) return true;
    double x = 0;
    double y = 0;
    return IsNumericVarType(a) && IsNumericVarType(b) && NumberOf(a, x) && NumberOf(b, y) && x == y;
}

// --- Text ------------------------------------------------------------------------------------

std::string LowerText(std::string_view text) {
    std::string r(text);
    for (std::size_t i = 0; i < r.size();) {
        const int len = std::max(1, CharLengthAt(r, i));
        if (len == 1) r[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(r[i])));
        i += static_cast<std::size_t>(len);
    }
    return r;
}

std::string XmlEscape(std::string_view text) {
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            r += "&amp;";
        else if (c == '\'')
            r += "&apos;";
        else if (c == '"')
            r += "&quot;";
        else
            r += c;
    }
    return r;
}

std::string StripAccelerators(std::string_view text, int& position) {
    std::string r;
    position = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const int len = std::max(1, CharLengthAt(text, i));
        if (len == 1 && text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                r += '&';
                i += 2;
                continue;
            }
            if (position == 0 && i + 1 < text.size()) position = static_cast<int>(r.size()) + 1;
            ++i;
            continue;
        }
        r.append(text.substr(i, static_cast<std::size_t>(len)));
        i += static_cast<std::size_t>(len);
    }
    return r;
}

namespace {

// A double-byte character starts at i (a character start): its bytes match nothing.
bool DoubleByteAt(std::string_view buffer, std::size_t i) {
    return CharLengthAt(buffer, i) == 2 && !IsLineBreakAt(buffer, i);
}

} // namespace

int FindByte(std::string_view buffer, char byte, int length) {
    const std::size_t n = static_cast<std::size_t>(std::clamp<int>(length, 0, static_cast<int>(buffer.size())));
    for (std::size_t i = 0; i < n;) {
        if (DoubleByteAt(buffer, i)) {
            i += 2;
            continue;
        }
        if (buffer[i] == byte) return static_cast<int>(i);
        ++i;
    }
    return -1;
}

int FindByteBack(std::string_view buffer, char byte, int length) {
    // Whether a byte trails another is known from the start: one walk, the last match kept.
    const std::size_t n = static_cast<std::size_t>(std::clamp<int>(length, 0, static_cast<int>(buffer.size())));
    int found = -1;
    for (std::size_t i = 0; i < n;) {
        if (DoubleByteAt(buffer, i)) {
            i += 2;
            continue;
        }
        if (buffer[i] == byte) found = static_cast<int>(i);
        ++i;
    }
    return found;
}

void SplitAt(std::string& text, std::string& head, char separator) {
    const auto p = text.find(separator);
    if (p == std::string::npos) {
        head = text;
        text.clear();
    } else {
        head = text.substr(0, p);
        text.erase(0, p + 1);
    }
}

std::string MakeCellKey(std::string_view name, int column, int row) {
    std::string r(name);
    r += '\x01';
    r += std::to_string(column);
    r += '\x01';
    r += std::to_string(row);
    return r;
}

void ParseCellKey(std::string_view text, int& column, int& row, std::string& name) {
    column = -1;
    row = -1;
    std::string rest(text);
    SplitAt(rest, name, '\x01');
    if (rest.empty()) return;
    std::string col;
    SplitAt(rest, col, '\x01');
    auto toInt = [](const std::string& s, int& out) {
        int v = 0;
        auto res = std::from_chars(s.data(), s.data() + s.size(), v);
        if (res.ec == std::errc() && res.ptr == s.data() + s.size()) out = v;
    };
    toInt(col, column);
    toInt(rest, row);
}

bool IsWholeWordAt(std::string_view text, int position, int length) {
    auto isWord = [&](int p) {
        if (p < 1 || p > static_cast<int>(text.size())) return false;
        return std::isalnum(static_cast<unsigned char>(text[static_cast<std::size_t>(p - 1)])) != 0;
    };
    return !isWord(position - 1) && !isWord(position + length);
}

std::vector<std::string> ParseList(std::string_view text) {
    std::vector<std::string> out;
    std::string rest(text);
    while (!rest.empty()) {
        std::string item;
        SplitAt(rest, item, ';');
        const auto b = item.find_first_not_of(" \t");
        if (b == std::string::npos) continue;
        const auto e = item.find_last_not_of(" \t");
        out.push_back(item.substr(b, e - b + 1));
    }
    return out;
}

bool PointInRect(int x, int y, int left, int top, int right, int bottom) {
    return x >= left && x <= right && y >= top && y <= bottom;
}

// --- Check-box values ---------------------------------------------------------------------------

bool SplitBarText(std::string_view text, std::string& a, std::string& b, std::string& c) {
    a.clear();
    b.clear();
    c.clear();
    if (text.empty()) return true;
    std::string rest(text);
    SplitAt(rest, a, '|');
    SplitAt(rest, b, '|');
    if (rest.find('|') != std::string::npos) return false;
    c = rest;
    return !b.empty();
}

int StateOfText(std::string_view value, std::string_view text) {
    if (text.empty()) return 2;
    std::string a, b, c;
    SplitBarText(text, a, b, c);
    if (SameText(value, a)) return 1;
    if (SameText(value, b)) return 0;
    return 2;
}

TtsVariant TextOfState(int state, std::string_view text) {
    if (text.empty()) return TtsVariant(static_cast<std::uint8_t>(state & 0xFF));
    std::string a, b, c;
    SplitBarText(text, a, b, c);
    const std::string& part = state == 0 ? b : state == 1 ? a : c;
    if (SameText(part, "Null")) return TtsVariant(TtsNull{});
    return TtsVariant(part);
}

int StateOfVariant(const TtsVariant& v, std::string_view text) {
    if (auto* s = std::get_if<std::string>(&v)) return StateOfText(*s, text);
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    if (auto* u = std::get_if<std::uint8_t>(&v)) return *u;
    if (VarIsNull(v)) {
        std::string a, b, c;
        SplitBarText(text, a, b, c);
        if (SameText(a, "Null")) return 1;
        if (SameText(b, "Null")) return 0;
        return 2;
    }
    return 2;
}

int StateWithEnable(int state, bool enabled) {
    if (!enabled) return 3;
    return state >= 0 && state <= 2 ? state : 3;
}

int StateIndex(int state) {
    return state >= 0 && state <= 2 ? state : 0;
}

// --- Number text
// -----------------------------------------------------------------------------------

TtsNumberFormat NumberFormat;

namespace {

bool IsDigitAt(std::string_view t, int p) {
    return p >= 1 && p <= static_cast<int>(t.size()) &&
           std::isdigit(static_cast<unsigned char>(t[static_cast<std::size_t>(p - 1)]));
}

bool IsNumberCharAt(std::string_view t, int p) {
    if (p < 1 || p > static_cast<int>(t.size())) return false;
    const char c = t[static_cast<std::size_t>(p - 1)];
    return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
           c == NumberFormat.Thousand || c == NumberFormat.Decimal;
}

bool ToNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    std::string t = s;
    for (auto& c : t)
        if (c == NumberFormat.Decimal) c = '.';
    const char* b = t.data();
    if (*b == '+') ++b;
    auto res = std::from_chars(b, t.data() + t.size(), out);
    return res.ec == std::errc() && res.ptr == t.data() + t.size() && std::isfinite(out);
}

// The shortest general form of 15 digits, but never with an exponent: a larger number
// keeps every digit that tells it apart, a smaller one its 15 leading digits. Exact: every
// digit that tells it apart, whatever its size.
std::string FormatGeneral(double v, bool exact = false) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string s = buf;
    const bool exponent = s.find('e') != std::string::npos;
    if (exact || (exponent && std::fabs(v) >= 1)) {
        char fixed[400]; // the longest, the smallest subnormal, takes 326
        const auto r = std::to_chars(fixed, fixed + sizeof fixed, v, std::chars_format::fixed);
        s.assign(fixed, r.ptr);
    } else if (exponent) {
        const int decimals = 14 - static_cast<int>(std::floor(std::log10(std::fabs(v))));
        s.resize(static_cast<std::size_t>(decimals) + 8);
        s.resize(static_cast<std::size_t>(std::snprintf(s.data(), s.size(), "%.*f", decimals, v)));
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    for (auto& c : s)
        if (c == '.') c = NumberFormat.Decimal;
    return s;
}

int DecimalsOf(const std::string& s) {
    const auto p = s.find(NumberFormat.Decimal);
    return p == std::string::npos ? -1 : static_cast<int>(s.size() - p - 1);
}

} // namespace

int SkipDigits(std::string_view text, int position, int step) {
    while (IsDigitAt(text, position))
        position += step;
    return position;
}

int SkipNumberChars(std::string_view text, int position, int step) {
    while (IsNumberCharAt(text, position))
        position += step;
    return position;
}

bool RemoveThousandSeparators(std::string& text) {
    const char sep = NumberFormat.Thousand;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && text[i] == sep) return false;
    std::size_t start = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == start) return false;
    bool removed = false;
    std::string out = text.substr(0, i);
    while (i < text.size() && text[i] == sep) {
        std::size_t j = i + 1;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
        if (j - i - 1 != 3) return false;
        out += text.substr(i + 1, 3);
        removed = true;
        i = j;
    }
    out += text.substr(i);
    text = out;
    return removed;
}

void InsertThousandSeparators(std::string& text) {
    std::size_t start = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) start = 1;
    if (start >= text.size() || !std::isdigit(static_cast<unsigned char>(text[start]))) return;
    std::size_t end = start;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
        ++end;
    for (std::size_t p = end; p > start + 3; p -= 3)
        text.insert(p - 3, 1, NumberFormat.Thousand);
}

std::string AddToNumberText(const std::string& text, double step) {
    if (text.empty()) return FormatGeneral(step);
    std::string t = text;
    const bool hadSeparators = RemoveThousandSeparators(t);
    double v = 0;
    if (!ToNumber(t, v)) return text;
    // A sum past the largest number, or a step too small to change the number, leaves
    // the text as it was.
    const double sum = v + step;
    if (!std::isfinite(sum) || sum == v) return text;
    // Fifteen digits may round back to where the number started: the sum then keeps
    // the digits that tell it apart, so a step never shows the number going back.
    std::string r = FormatGeneral(sum);
    double shown = 0;
    if (!ToNumber(r, shown) || (step > 0 ? shown <= v : shown >= v)) r = FormatGeneral(sum, true);
    if (hadSeparators) InsertThousandSeparators(r);
    return r;
}

bool IsNumberText(const std::string& text) {
    std::string t = text;
    RemoveThousandSeparators(t);
    double v = 0;
    return ToNumber(t, v);
}

bool FindNumberAt(std::string_view text, int caret, int& start, int& length) {
    const int n = static_cast<int>(text.size());
    caret = std::clamp(caret, 0, n);
    // Characters are 1-based: the one before the caret is `caret`, the one at it caret + 1.
    int b = SkipNumberChars(text, caret, -1) + 1;
    int e = SkipNumberChars(text, caret + 1, 1);
    if (e > b && IsNumberText(std::string(text.substr(static_cast<std::size_t>(b - 1),
                                                      static_cast<std::size_t>(e - b))))) {
        start = b;
        length = e - b;
        return true;
    }
    b = SkipDigits(text, caret, -1) + 1;
    e = SkipDigits(text, caret + 1, 1);
    if (e <= b) return false;
    if (b > 1) {
        const char c = text[static_cast<std::size_t>(b - 2)];
        if ((c == '+' || c == '-') && !IsDigitAt(text, b - 2)) --b;
    }
    start = b;
    length = e - b;
    return true;
}

void PadDecimals(const std::string& old, std::string& fresh) {
    const int oldDec = DecimalsOf(old);
    if (oldDec < 0) return;
    if (DecimalsOf(fresh) < 0) fresh += NumberFormat.Decimal;
    while (DecimalsOf(fresh) < oldDec)
        fresh += '0';
}

void PadToWidth(const std::string& old, std::string& fresh) {
    PadDecimals(old, fresh);
    // The padding goes between a sign and the digits, so "-05" steps to "-04", not "0-4".
    auto signLen = [](const std::string& s) {
        return std::size_t{!s.empty() && (s[0] == '-' || s[0] == '+')};
    };
    const std::size_t oldSign = signLen(old), freshSign = signLen(fresh);
    auto intPart = [](const std::string& s, std::size_t from) {
        const auto p = s.find(NumberFormat.Decimal);
        return (p == std::string::npos ? s.size() : p) - from;
    };
    while (intPart(old, oldSign) > intPart(fresh, freshSign)) {
        const std::size_t aligned = oldSign + intPart(old, oldSign) - intPart(fresh, freshSign) - 1;
        fresh.insert(fresh.begin() + static_cast<std::ptrdiff_t>(freshSign),
                     old[aligned] == NumberFormat.Thousand ? NumberFormat.Thousand : '0');
    }
}

bool StepNumberInText(const std::string& text, int caret, int& start, std::string& newText,
                      int& length, double step) {
    int len = 0;
    if (!FindNumberAt(text, caret, start, len)) return false;
    const std::string old =
        text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len));
    std::string fresh = AddToNumberText(old, step);
    if (fresh != old) PadDecimals(old, fresh);
    newText = text.substr(0, static_cast<std::size_t>(start - 1)) + fresh +
              text.substr(static_cast<std::size_t>(start - 1 + len));
    length = static_cast<int>(fresh.size());
    return true;
}

// --- Published properties ------------------------------------------------------------------

void CopyProperty(const fw::TPropInfo& prop, fw::TObject& dest, const fw::TObject& source) {
    prop.Set(dest, prop.Get(source));
}

bool CopyPropertyByName(const std::string& name, fw::TObject& dest, const fw::TObject& source) {
    const fw::TPropInfo* prop = fw::FindPublishedProperty(source, name);
    if (!prop) return false;
    CopyProperty(*prop, dest, source);
    return true;
}

void CopyProperties(fw::TObject& dest, const fw::TObject& source, const std::string& exclusions) {
    if (&dest == &source) return;
    const std::vector<std::string> skip = ParseList(exclusions);
    for (const fw::TPropInfo& prop : fw::PublishedProperties(source)) {
        const bool skipped = std::any_of(skip.begin(), skip.end(), [&](const std::string& x) {
            return x.size() == prop.Name.size() &&
                   std::equal(x.begin(), x.end(), prop.Name.begin(), [](char a, char b) {
                       return std::tolower(static_cast<unsigned char>(a)) ==
                              std::tolower(static_cast<unsigned char>(b));
                   });
        });
        if (!skipped) CopyProperty(prop, dest, source);
    }
}

// --- Settings paths ------------------------------------------------------------------------------

bool ParseRegistryPath(std::string_view path, std::uint32_t& rootKey, std::string& rootName,
                       std::string& subPath) {
    rootKey = HKEY_CURRENT_USER;
    rootName.clear();
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\') {
        subPath = std::string(path);
        return true;
    }
    const auto rest = path.substr(2);
    const auto p = rest.find('\\');
    rootName = std::string(rest.substr(0, p));
    for (auto& c : rootName)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    subPath = p == std::string_view::npos ? std::string() : std::string(rest.substr(p));
    static const struct {
        const char* Name;
        std::uint32_t Key;
    } roots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                 {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                 {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                 {"HKEY_USERS", HKEY_USERS}};
    for (const auto& r : roots)
        if (rootName == r.Name) {
            rootKey = r.Key;
            return true;
        }
    return false;
}

std::unique_ptr<fw::TSettingsStore> OpenRegistryPath(std::string_view path, bool canCreate,
                                                     const std::string& file) {
    std::uint32_t root = 0;
    std::string rootName, sub;
    if (!ParseRegistryPath(path, root, rootName, sub))
        throw ERegistryException("Unknown registry key " + rootName);
    if (rootName.empty()) rootName = "HKEY_CURRENT_USER";
    std::string full = "\\" + rootName;
    if (sub.empty() || sub == "\\")
        ;
    else if (sub[0] == '\\')
        full += sub;
    else
        full += "\\" + sub;
    auto store = std::make_unique<fw::TSettingsStore>(file);
    if (canCreate && !store->KeyExists(full)) {
        if (!store->OpenKey(full, true)) return nullptr;
        store->CloseKey();
    }
    if (!store->OpenKey(full, false)) return nullptr;
    return store;
}

} // namespace vel

// --- Dates -------------------------------------------------------------------------------------

namespace vel {

TtsDateLocale DateLocale;

namespace {

std::string Upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimText(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Days from the civil date to 1 January 1970.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

int CurrentYear() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}

// Replaces whole-word occurrences of `word` (any case) by `with`.
bool ReplaceWord(std::string& text, const std::string& word, const std::string& with) {
    const std::string up = Upper(text);
    const std::string w = Upper(word);
    for (std::size_t p = up.find(w); p != std::string::npos; p = up.find(w, p + 1)) {
        if (IsWholeWordAt(text, static_cast<int>(p) + 1, static_cast<int>(w.size()))) {
            text.replace(p, w.size(), with);
            return true;
        }
    }
    return false;
}

} // namespace

int DateOrder() {
    for (char c : DateLocale.ShortDateFormat) {
        switch (std::toupper(static_cast<unsigned char>(c))) {
        case 'D':
            return 2;
        case 'M':
            return 1;
        case 'Y':
        case 'E':
            return 0;
        default:
            break;
        }
    }
    return 1;
}

std::string BuildDateFormat(bool fourDigitYear) {
    const std::string f = Upper(DateLocale.ShortDateFormat);
    const std::string day = f.find("DD") != std::string::npos ? "DD" : "D";
    const std::string month = f.find("MM") != std::string::npos ? "MM" : "M";
    const std::string year = fourDigitYear || f.find("YYY") != std::string::npos ? "YYYY" : "YY";
    const std::string sep(1, DateLocale.DateSeparator);
    switch (DateOrder()) {
    case 0:
        return year + sep + month + sep + day;
    case 2:
        return day + sep + month + sep + year;
    default:
        return month + sep + day + sep + year;
    }
}

std::string WidenYearFormat(const std::string& format) {
    const std::string up = Upper(format);
    const auto p = up.find("YY");
    if (p == std::string::npos || up.find('Y', p + 2) == p + 2) return format;
    if (up.find("YY", p + 2) != std::string::npos) return format;
    std::string r = format;
    r.insert(p + 2, "yy");
    return r;
}

std::string RemoveAmPm(const std::string& format) {
    const std::string up = Upper(format);
    for (const char* d : {"AM/PM", "A/P", "AMPM"}) {
        const auto p = up.find(d);
        if (p != std::string::npos) {
            std::string r = format;
            r.erase(p, std::strlen(d));
            return TrimText(r);
        }
    }
    return format;
}

bool HasTimeDesignators() {
    return !DateLocale.TimeAMString.empty() || !DateLocale.TimePMString.empty();
}

double EncodeDate(int year, int month, int day) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > days[month - 1])
        throw EConvertError("Invalid date");
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) throw EConvertError("Invalid date");
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        DaysFromCivil(1899, 12, 30));
}

double NowDateTime() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

// Names of months become their numbers between date separators; day names go.
void ReplaceDateNames(std::string& text) {
    const std::string sep(1, DateLocale.DateSeparator);
    bool month = false;
    for (const auto* names : {&DateLocale.LongMonthNames, &DateLocale.ShortMonthNames})
        for (int m = 1; m <= 12 && !month; ++m)
            month = ReplaceWord(text, (*names)[static_cast<std::size_t>(m - 1)],
                                sep + std::to_string(m) + sep);
    for (const auto* names : {&DateLocale.LongDayNames, &DateLocale.ShortDayNames})
        for (const auto& n : *names)
            ReplaceWord(text, n, "");
}

// Up to three number groups of the date; i ends where the time (if any) begins.
std::vector<std::string> DateGroups(const std::string& text, std::size_t& i) {
    std::vector<std::string> groups;
    i = 0;
    auto skipSeparators = [&] {
        while (i < text.size() && (text[i] == DateLocale.DateSeparator || text[i] == ' ' ||
                                   text[i] == ',' || text[i] == '-' || text[i] == '.'))
            ++i;
    };
    skipSeparators();
    while (groups.size() < 3 && i < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[i]))) {
        std::size_t j = i;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
            ++j;
        if (j < text.size() && text[j] == DateLocale.TimeSeparator) break; // a time
        groups.push_back(text.substr(i, j - i));
        i = j;
        skipSeparators();
    }
    return groups;
}

// The date of two or three groups in the locale's order; two mean this year.
double DateOfGroups(const std::vector<std::string>& groups, const std::string& bad) {
    if (groups.size() < 2) throw EConvertError(bad);
    auto num = [&](const std::string& g) {
        if (g.size() > 9) throw EConvertError(bad);
        return std::stoi(g);
    };
    const int order = DateOrder();
    int y = CurrentYear(), m = 0, d = 0;
    // Day and month in the locale's order, past the year when it comes first.
    const std::size_t first = groups.size() == 3 && order == 0 ? 1 : 0;
    if (order == 2) {
        d = num(groups[first]);
        m = num(groups[first + 1]);
    } else {
        m = num(groups[first]);
        d = num(groups[first + 1]);
    }
    if (groups.size() == 3) {
        const std::string& yearText = groups[order == 0 ? 0 : 2];
        y = num(yearText.substr(0, std::min<std::size_t>(4, yearText.size())));
        if (yearText.size() <= 2) y += CurrentYear() / 100 * 100;
        if (y == 0) throw EConvertError(bad);
    }
    return EncodeDate(y, m, d);
}

// The fraction of a day of "h[:mm[:ss]] [AM|PM]"; 0 for no text.
double TimeOfText(const std::string& rest, const std::string& bad) {
    if (rest.empty()) return 0;
    int h = 0, mi = 0, s = 0;
    std::size_t k = 0;
    auto part = [&](int& out) {
        std::size_t j = k;
        while (j < rest.size() && std::isdigit(static_cast<unsigned char>(rest[j])))
            ++j;
        if (j == k || j - k > 2) throw EConvertError(bad);
        out = std::stoi(rest.substr(k, j - k));
        k = j;
    };
    part(h);
    if (k < rest.size() && rest[k] == DateLocale.TimeSeparator) {
        ++k;
        part(mi);
        if (k < rest.size() && rest[k] == DateLocale.TimeSeparator) {
            ++k;
            part(s);
        }
    }
    const std::string tail = Upper(TrimText(rest.substr(k)));
    if (!tail.empty()) {
        if (tail == Upper(DateLocale.TimePMString) && h < 12)
            h += 12;
        else if (tail == Upper(DateLocale.TimeAMString) && h == 12)
            h = 0;
        else if (tail != Upper(DateLocale.TimeAMString) && tail != Upper(DateLocale.TimePMString))
            throw EConvertError(bad);
    }
    if (h > 23 || mi > 59 || s > 59) throw EConvertError(bad);
    return (h * 3600 + mi * 60 + s) / 86400.0;
}

namespace {

// Whether a date (day count and fraction) names a day of the calendar.
bool InCalendar(double date) {
    return date >= MinDayCount && date < MaxDayCount + 1.0;
}

} // namespace

int DayCountOf(double date) {
    if (std::isnan(date)) return 0;
    return static_cast<int>(std::clamp(std::floor(date), static_cast<double>(MinDayCount),
                                       static_cast<double>(MaxDayCount)));
}

double StrToDateTimeLoose(const std::string& input) {
    std::string text = TrimText(input);
    if (text.empty()) throw EConvertError("'' is not a valid date and time");
    const std::string bad = "'" + input + "' is not a valid date and time";
    // A plain number is a day count, with its fraction the time.
    const auto firstNonDigit = text.find_first_not_of("0123456789");
    if (firstNonDigit == std::string::npos || text[firstNonDigit] == DateLocale.DecimalSeparator) {
        double v = 0;
        std::string t = text;
        if (firstNonDigit != std::string::npos) t[firstNonDigit] = '.';
        auto res = std::from_chars(t.data(), t.data() + t.size(), v);
        if (res.ec != std::errc() || res.ptr != t.data() + t.size()) throw EConvertError(bad);
        if (!InCalendar(v)) throw EConvertError(bad);
        return v;
    }
    ReplaceDateNames(text);
    std::size_t i = 0;
    const std::vector<std::string> groups = DateGroups(text, i);
    return DateOfGroups(groups, bad) + TimeOfText(TrimText(text.substr(i)), bad);
}

double VarToDateTimeLoose(const TtsVariant& v) {
    try {
        if (auto* t = std::get_if<std::string>(&v); t && !t->empty()) return StrToDateTimeLoose(*t);
        if (auto* d = std::get_if<double>(&v); d && InCalendar(*d)) return *d;
    } catch (const std::exception&) {
    }
    return NowDateTime();
}

void PrimeCanvas(fw::TCanvas& canvas) {
    // A pixel of its own each time: nothing kept that an unloaded module
    // would leave behind.
    const fw::TBitmap pixel(1, 1);
    canvas.Draw(0, 0, pixel);
}

bool ControlOwnsWindow(fw::HWND window, fw::TWinControl* control) {
    if (!window || !control || !control->HandleAllocated()) return false;
    if (control->Handle() == window) return true;
    for (int i = 0; i < control->ControlCount(); ++i)
        if (auto* child = dynamic_cast<fw::TWinControl*>(control->Controls(i)))
            if (ControlOwnsWindow(window, child)) return true;
    return false;
}

} // namespace vel
