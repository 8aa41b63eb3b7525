#include "TSCommon.h"
#include "TSMbcs.h"
#include "CodePage.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

namespace vel {
namespace {

TEST(Mbcs, StepsOverMixedLineBreaksAsOneCharacter) {
    const std::string t = "a\r\nb";
    EXPECT_EQ(NextCharLength(t, 1), 2);
    std::size_t i = 1;
    EXPECT_TRUE(SkipLineBreak(t, i));
    EXPECT_EQ(i, 3u);
    EXPECT_EQ(PrevCharLength(t, 3), 2);
    EXPECT_EQ(NextCharLength(t, 0), 1);
    EXPECT_EQ(NextCharLength(t, 4), 0);
    EXPECT_EQ(CharCount(t), 3);
}

TEST(Mbcs, EqualBreaksAreSeparate) {
    const std::string t = "\r\rx";
    EXPECT_EQ(NextCharLength(t, 0), 1);
    std::size_t i = 0;
    SkipLineBreak(t, i);
    EXPECT_EQ(i, 1u);
    EXPECT_EQ(PrevCharLength(t, 2), 1);
    EXPECT_EQ(NextCharLength("", 0), 0);
    EXPECT_EQ(PrevCharLength(t, 0), 0);
    std::size_t j = 2;
    EXPECT_FALSE(SkipLineBreak(t, j));
    EXPECT_EQ(j, 2u);
}

// Shift-JIS (code page 932): 0x88 0x9F and 0x95 0x5C are characters of two bytes; the
// second's trail byte is a backslash, and both bytes of the first may lead.
TEST(Mbcs, ADoubleByteCharacterIsOneCharacterInADoubleByteCodePage) {
    const std::string t = "a\x88\x9f\x95\x5c" "b";
    EXPECT_FALSE(FarEastLocale());
    EXPECT_EQ(CharCount(t), 6);
    fw::TCodePageScope Japanese(932);
    EXPECT_TRUE(FarEastLocale());
    const TtsByteKind Kinds[] = {TtsByteKind::Single, TtsByteKind::Lead,  TtsByteKind::Trail,
                                 TtsByteKind::Lead,   TtsByteKind::Trail, TtsByteKind::Single};
    for (std::size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(ByteKindAt(t, i), Kinds[i]) << i;
    EXPECT_EQ(CharCount(t), 4);
    EXPECT_EQ(NextCharLength(t, 1), 2);
    EXPECT_EQ(NextCharLength(t, 2), 2); // a trail byte answers for its character
    EXPECT_EQ(PrevCharLength(t, 5), 2);
    EXPECT_EQ(PrevCharStart(t, 5), 3u);
    EXPECT_EQ(PrevCharStart(t, 3), 1u);
    EXPECT_EQ(CharStartAtOrBefore(t, 2), 1u);
    EXPECT_EQ(CharStartAtOrBefore(t, 4), 3u);
    EXPECT_EQ(CharStartAtOrBefore(t, 3), 3u);
    // Bytes that may all lead pair from the first: the kinds alternate along the run.
    const std::string run = "\x88\x9f\x88\x9f\x88\x9f";
    for (std::size_t i = 0; i < run.size(); ++i)
        EXPECT_EQ(ByteKindAt(run, i), i % 2 ? TtsByteKind::Trail : TtsByteKind::Lead) << i;
    EXPECT_EQ(PrevCharStart(run, 6), 4u);
    EXPECT_EQ(PrevCharStart(run, 4), 2u);
    // A lead byte before a line break, a blank or the end stands alone.
    EXPECT_EQ(CharCount("\x88\r\n"), 2);
    EXPECT_EQ(CharCount("\x88 x"), 3);
    EXPECT_EQ(CharCount("ab\x88"), 3);
    EXPECT_EQ(ByteKindAt("\x88\r", 1), TtsByteKind::Single);
    EXPECT_TRUE(IsLineBreakAt("\x88\r", 1));
}

TEST(Mbcs, SteppingBackAndFindingAStartAgreeWithAWalkFromTheStart) {
    fw::TCodePageScope Japanese(932);
    std::mt19937 rng(5);
    const char bytes[] = {'\x88', '\x9f', '\x95', '\x5c', 'a', '\r', '\n', ' ', '\x81', '\xa0'};
    for (int round = 0; round < 3000; ++round) {
        std::string t(rng() % 40, 'a');
        for (char& c : t)
            c = bytes[rng() % sizeof bytes];
        std::vector<std::size_t> starts{0};
        while (starts.back() < t.size())
            starts.push_back(starts.back() + static_cast<std::size_t>(CharLengthAt(t, starts.back())));
        ASSERT_EQ(starts.back(), t.size());
        EXPECT_EQ(CharCount(t), static_cast<int>(starts.size()) - 1);
        for (std::size_t k = 1; k < starts.size(); ++k)
            ASSERT_EQ(PrevCharStart(t, starts[k]), starts[k - 1]) << k;
        for (std::size_t i = 0, k = 0; i <= t.size(); ++i) {
            while (k + 1 < starts.size() && starts[k + 1] <= i)
                ++k;
            ASSERT_EQ(CharStartAtOrBefore(t, i), starts[k]) << i;
            const bool inPair = starts[k] != i && !IsLineBreakAt(t, starts[k]);
            if (i < t.size()) {
                ASSERT_EQ(ByteKindAt(t, i) == TtsByteKind::Trail, inPair) << i;
            }
        }
    }
}

TEST(Mbcs, StepsBackOverBreaksAsTheyPairGoingForward) {
    // LF CR LF: the LF CR pair comes first, then a lone LF.
    const std::string t = "\n\r\n";
    EXPECT_EQ(CharLengthAt(t, 0), 2);
    EXPECT_EQ(PrevCharStart(t, 3), 2u);
    EXPECT_EQ(PrevCharStart(t, 2), 0u);
    EXPECT_EQ(CharStartAtOrBefore(t, 1), 0u);
    EXPECT_EQ(CharStartAtOrBefore(t, 2), 2u);
    EXPECT_EQ(PrevCharStart("\r\r", 2), 1u);
    EXPECT_EQ(PrevCharStart("ab", 0), 0u);
}

TEST(Mbcs, TheEditorsCountTakesALineBreakAsTwoAndADoubleByteCharacterAsOne) {
    EXPECT_EQ(EditCharCount("ab\r\ncd"), 6);
    EXPECT_EQ(EditCharCount("d\r\n"), 3);
    EXPECT_EQ(EditCharCount("\r"), 2); // stored as CR LF
    EXPECT_EQ(EditCharCount("\n"), 1);
    EXPECT_EQ(EditCharCount(std::string("a\0b", 3)), 3);
    EXPECT_EQ(EditCharCount("\x88\x9f"), 2);
    fw::TCodePageScope Japanese(932);
    EXPECT_EQ(EditCharCount("\x88\x9f"), 1);
}

TEST(CommonText, EscapingAcceleratorsAndKeys) {
    EXPECT_EQ(XmlEscape("a<b&c"), "a<b&amp;c");
    EXPECT_EQ(XmlEscape("'\""), "&apos;&quot;");
    int pos = -1;
    EXPECT_EQ(StripAccelerators("Fi&le && more", pos), "File & more");
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(StripAccelerators("none", pos), "none");
    EXPECT_EQ(pos, 0);
    int c = 0, r = 0;
    std::string name;
    ParseCellKey(MakeCellKey("grid", 4, 12), c, r, name);
    EXPECT_EQ(name, "grid");
    EXPECT_EQ(c, 4);
    EXPECT_EQ(r, 12);
    ParseCellKey("only", c, r, name);
    EXPECT_EQ(c, -1);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(ParseList(" a; ;b ;"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(IsWholeWordAt("a cat.", 3, 3));
    EXPECT_FALSE(IsWholeWordAt("concat", 4, 3));
}

TEST(CommonText, CheckBoxValueTexts) {
    std::string a, b, c;
    EXPECT_TRUE(SplitBarText("", a, b, c));
    EXPECT_TRUE(SplitBarText("Yes|No|Maybe", a, b, c));
    EXPECT_EQ(c, "Maybe");
    EXPECT_FALSE(SplitBarText("Yes", a, b, c));
    EXPECT_FALSE(SplitBarText("a|b|c|d", a, b, c));
    EXPECT_EQ(StateOfText("TRUE", "True|False"), 1);
    EXPECT_EQ(StateOfText("false", "True|False"), 0);
    EXPECT_EQ(StateOfText("other", "True|False"), 2);
    EXPECT_EQ(StateOfText("x", ""), 2);
    EXPECT_TRUE(VarIsNull(TextOfState(0, "Y|null")));
    EXPECT_EQ(std::get<std::string>(TextOfState(1, "Y|N")), "Y");
    EXPECT_EQ(StateOfVariant(TtsVariant(TtsNull{}), "Null|N"), 1);
    EXPECT_EQ(StateOfVariant(TtsVariant(std::int32_t{0}), "Y|N"), 0);
    EXPECT_EQ(StateWithEnable(1, false), 3);
    EXPECT_EQ(StateIndex(7), 0);
}

TEST(CommonVariants, SameAndEquals) {
    EXPECT_TRUE(VarSame(TtsVariant(), TtsVariant()));
    EXPECT_FALSE(VarSame(TtsVariant(), TtsVariant(TtsNull{})));
    EXPECT_TRUE(VarSame(TtsVariant(TtsNull{}), TtsVariant(TtsNull{})));
    EXPECT_FALSE(VarSame(TtsVariant(std::int32_t{1}), TtsVariant(1.0)));
    EXPECT_TRUE(VarEquals(TtsVariant(std::int32_t{1}), TtsVariant(1.0)));
    EXPECT_TRUE(VarEquals(TtsVariant(std::uint8_t{3}), TtsVariant(std::int32_t{3})));
    EXPECT_FALSE(VarEquals(TtsVariant(std::string("1")), TtsVariant(std::int32_t{1})));
    EXPECT_EQ(VarToText(TtsVariant(std::int32_t{-12})), "-12");
}

TEST(CommonNumbers, SpinSteppingKeepsSeparatorsAndDecimals) {
    int start = 0, length = 0;
    std::string out;
    ASSERT_TRUE(StepNumberInText("1,999", 2, start, out, length, 1));
    EXPECT_EQ(out, "2,000");
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 5);
    ASSERT_TRUE(StepNumberInText("0.50", 1, start, out, length, 1));
    EXPECT_EQ(out, "1.50");
    ASSERT_TRUE(StepNumberInText("x 9 y", 2, start, out, length, 1));
    EXPECT_EQ(out, "x 10 y");
    EXPECT_FALSE(StepNumberInText("abc", 1, start, out, length, 1));
    std::string t = "12,34";
    EXPECT_FALSE(RemoveThousandSeparators(t)); // wrong grouping: unchanged
    EXPECT_EQ(t, "12,34");
    t = "1234567";
    InsertThousandSeparators(t);
    EXPECT_EQ(t, "1,234,567");
    EXPECT_EQ(AddToNumberText("", 2.5), "2.5");
    EXPECT_EQ(AddToNumberText("abc", 1), "abc");
}

TEST(CommonNumbers, SteppedNumbersPastFifteenDigitsHaveNoExponent) {
    EXPECT_EQ(AddToNumberText("999999999999999", 1), "1000000000000000");
    EXPECT_EQ(AddToNumberText("1000000000000000", 1), "1000000000000001");
    EXPECT_EQ(AddToNumberText("-999999999999999", -1), "-1000000000000000");
    EXPECT_EQ(AddToNumberText("999,999,999,999,999", 1), "1,000,000,000,000,000");
    EXPECT_EQ(AddToNumberText("100000000000000000000", 1), "100000000000000000000");
    EXPECT_EQ(AddToNumberText("0.00003", -0.00001), "0.00002");
    EXPECT_EQ(AddToNumberText("0.0000001", 0), "0.0000001");
    int start = 0, length = 0;
    std::string out;
    ASSERT_TRUE(StepNumberInText("x 999999999999999.5 y", 3, start, out, length, 1));
    EXPECT_EQ(out, "x 1000000000000000.5 y");
    // A sum past the largest number leaves the text as it was.
    const std::string Largest(308, '9');
    EXPECT_EQ(AddToNumberText(Largest, 1e308), Largest);
}

TEST(CommonStream, ReadsPastTheEndAndBadLengthsFail) {
    TMemoryStream s;
    s.WriteI32(-2);
    s.WriteText("hey");
    s.WriteF64(1.5);
    s.SetPosition(0);
    EXPECT_EQ(s.ReadI32(), -2);
    EXPECT_EQ(s.ReadText(), "hey");
    EXPECT_EQ(s.ReadF64(), 1.5);
    EXPECT_THROW(s.ReadU8(), EReadError);
    TMemoryStream bad;
    bad.WriteI32(1 << 30);
    bad.SetPosition(0);
    EXPECT_THROW(bad.ReadText(), EReadError);
}

class RegistryPaths : public ::testing::Test {
protected:
    void SetUp() override {
        File = fw::TestPath("settings.ini");
        std::remove(File.c_str());
    }
    void TearDown() override { std::remove(File.c_str()); }
    std::string File;
};

TEST_F(RegistryPaths, RootsAreParsed) {
    std::uint32_t root = 0;
    std::string name, sub;
    EXPECT_TRUE(ParseRegistryPath("\\\\hkey_local_machine\\Soft\\X", root, name, sub));
    EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(name, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(sub, "\\Soft\\X");
    EXPECT_TRUE(ParseRegistryPath("Software\\Y", root, name, sub));
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(sub, "Software\\Y");
    EXPECT_FALSE(ParseRegistryPath("\\\\HKEY_NOWHERE\\a", root, name, sub));
}

TEST_F(RegistryPaths, OpenCreatesAndRefusesUnknownRoots) {
    EXPECT_EQ(OpenRegistryPath("Software\\Grid", false, File), nullptr);
    {
        auto s = OpenRegistryPath("Software\\Grid", true, File);
        ASSERT_NE(s, nullptr);
        s->WriteInteger("Width", 12);
    }
    auto again = OpenRegistryPath("\\\\HKEY_CURRENT_USER\\Software\\Grid", false, File);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->ReadInteger("Width"), 12);
    try {
        OpenRegistryPath("\\\\HKEY_NOWHERE\\a", true, File);
        FAIL() << "an unknown root must be refused";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Unknown registry key HKEY_NOWHERE");
    }
}

} // namespace
} // namespace vel

namespace vel {
namespace {

class Dates : public ::testing::Test {
protected:
    void TearDown() override { DateLocale = TtsDateLocale(); }
};

TEST_F(Dates, OrderAndFormatsFollowTheShortDateFormat) {
    EXPECT_EQ(DateOrder(), 1);
    EXPECT_EQ(BuildDateFormat(false), "M/D/YYYY");
    DateLocale.ShortDateFormat = "dd.MM.yy";
    DateLocale.DateSeparator = '.';
    EXPECT_EQ(DateOrder(), 2);
    EXPECT_EQ(BuildDateFormat(false), "DD.MM.YY");
    EXPECT_EQ(BuildDateFormat(true), "DD.MM.YYYY");
    DateLocale.ShortDateFormat = "yyyy-MM-dd";
    EXPECT_EQ(DateOrder(), 0);
    DateLocale.ShortDateFormat = "--";
    EXPECT_EQ(DateOrder(), 1);
    EXPECT_EQ(WidenYearFormat("dd/MM/yy"), "dd/MM/yyyy");
    EXPECT_EQ(WidenYearFormat("dd/MM/yyyy"), "dd/MM/yyyy");
    EXPECT_EQ(RemoveAmPm("h:mm AM/PM"), "h:mm");
    EXPECT_EQ(RemoveAmPm("h:mm"), "h:mm");
}

TEST_F(Dates, LooseConversion) {
    EXPECT_EQ(StrToDateTimeLoose("12"), 12.0);
    EXPECT_EQ(StrToDateTimeLoose("2.5"), 2.5);
    EXPECT_EQ(StrToDateTimeLoose("1/2/2000"), EncodeDate(2000, 1, 2));
    EXPECT_EQ(StrToDateTimeLoose("Sunday, January 2, 2000"), EncodeDate(2000, 1, 2));
    EXPECT_EQ(StrToDateTimeLoose("Mar 3 1999 1:30 PM"), EncodeDate(1999, 3, 3) + 13.5 / 24);
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_THROW(StrToDateTimeLoose("not a date"), EConvertError);
    EXPECT_THROW(StrToDateTimeLoose("2/30/2001"), EConvertError);
    EXPECT_THROW(StrToDateTimeLoose("1/2/2000 25:00"), EConvertError);
    const double before = NowDateTime();
    const double v = VarToDateTimeLoose(TtsVariant(std::string("rubbish")));
    EXPECT_GE(v, before);
    EXPECT_LT(v - before, 1.0);
    EXPECT_EQ(VarToDateTimeLoose(TtsVariant(3.25)), 3.25);
}

TEST_F(Dates, DayCountsOutsideTheCalendarAreNoDates) {
    EXPECT_EQ(EncodeDate(1, 1, 1), MinDayCount);
    EXPECT_EQ(EncodeDate(9999, 12, 31), MaxDayCount);
    EXPECT_EQ(StrToDateTimeLoose("2958465.5"), MaxDayCount + 0.5);
    for (const std::string& Text :
         {std::string("2958466"), std::string("9999999999"), std::string("2147483647"),
          std::string("99999999999999999999999"), "1" + std::string(400, '0') + ".5"})
        EXPECT_THROW(StrToDateTimeLoose(Text), EConvertError) << Text;
    const double Now = NowDateTime();
    for (double V : {1e300, -1e300, double(MaxDayCount) + 1, double(MinDayCount) - 1,
                     std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()})
        EXPECT_NEAR(VarToDateTimeLoose(TtsVariant(V)), Now, 1.0) << V;
    EXPECT_EQ(DayCountOf(-0.25), -1);
    EXPECT_EQ(DayCountOf(1e300), MaxDayCount);
    EXPECT_EQ(DayCountOf(-1e300), MinDayCount);
    EXPECT_EQ(DayCountOf(std::numeric_limits<double>::quiet_NaN()), 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(CommonText, ByteSearchesSkipTheBytesOfDoubleByteCharacters) {
    fw::TCodePageScope Japanese(932);
    const std::string t = "\\\x95\x5c\\"; // backslash, a character whose trail is one, backslash
    EXPECT_EQ(FindByte(t, '\\', 4), 0);
    EXPECT_EQ(FindByte(t.substr(1), '\\', 3), 2);
    EXPECT_EQ(FindByteBack(t, '\\', 4), 3);
    EXPECT_EQ(FindByteBack(t, '\\', 3), 0);
    int pos = 0;
    EXPECT_EQ(StripAccelerators("&\x95\x5c", pos), "\x95\x5c");
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(StripAccelerators("\x95&x", pos), "\x95x"); // no trail byte: the & marks
    EXPECT_EQ(pos, 2);
    // Case is no matter for letters only: a trail byte 'A' is not an 'a'.
    EXPECT_EQ(LowerText("AB\x88\x41"), "ab\x88\x41");
    EXPECT_EQ(StateOfText("\x88\x61", "\x88\x41|x"), 2);
    EXPECT_EQ(StateOfText("\x88\x41", "\x88\x41|x"), 1);
}

TEST(CommonText, ByteSearchAndSplitting) {
    EXPECT_EQ(FindByte("a,b,c", ',', 5), 1);
    EXPECT_EQ(FindByte("a,b,c", ',', 1), -1);
    EXPECT_EQ(FindByteBack("a,b,c", ',', 5), 3);
    EXPECT_EQ(FindByteBack("a,b,c", ',', 3), 1);
    EXPECT_EQ(FindByte("a\r\nb", '\r', 4), 1);
    EXPECT_EQ(FindByte("a\r\nb", '\n', 4), 2); // a break pair hides neither of its bytes
    EXPECT_EQ(FindByteBack("a\r\nb\r", '\r', 5), 4);
    std::string text = "one;two;three";
    std::string head;
    SplitAt(text, head, ';');
    EXPECT_EQ(head, "one");
    EXPECT_EQ(text, "two;three");
    text = "last";
    SplitAt(text, head, ';');
    EXPECT_EQ(head, "last");
    EXPECT_EQ(text, "");
    EXPECT_TRUE(PointInRect(10, 10, 0, 0, 10, 10)); // bounds inclusive
    EXPECT_FALSE(PointInRect(11, 10, 0, 0, 10, 10));
}

TEST(CommonNumbers, FindingAndPaddingNumbers) {
    int start = 0, length = 0;
    ASSERT_TRUE(FindNumberAt("ab -12.5 cd", 5, start, length));
    EXPECT_EQ(start, 4);
    EXPECT_EQ(length, 5);
    ASSERT_TRUE(FindNumberAt("x12", 99, start, length)); // caret clamped to the end
    EXPECT_EQ(start, 2);
    EXPECT_EQ(length, 2);
    EXPECT_FALSE(FindNumberAt("x12y", 99, start, length));
    EXPECT_FALSE(FindNumberAt("abc", 1, start, length));
    ASSERT_TRUE(FindNumberAt("a+1-2", 4, start, length));
    EXPECT_TRUE(IsNumberText("1,234.5"));
    EXPECT_FALSE(IsNumberText("1.2.3"));
    std::string fresh = "2";
    PadDecimals("1.000", fresh);
    EXPECT_EQ(fresh, "2.000");
    fresh = "7";
    PadToWidth("0,005", fresh);
    EXPECT_EQ(fresh, "0,007");
    for (const auto& [Old, Stepped, Padded] : {std::array<std::string, 3>{"-05", "-4", "-04"},
                                               {"+05", "6", "06"},
                                               {"-01", "0", "00"},
                                               {"05", "-1", "-01"},
                                               {"-0,005", "-4", "-0,004"}}) {
        fresh = Stepped;
        PadToWidth(Old, fresh);
        EXPECT_EQ(fresh, Padded) << Old;
    }
    std::string t = "-1,000,000 left";
    EXPECT_TRUE(RemoveThousandSeparators(t));
    EXPECT_EQ(t, "-1000000 left");
    t = ",100";
    EXPECT_FALSE(RemoveThousandSeparators(t));
}

TEST(CommonVariants, IntegersOfEveryKind) {
    EXPECT_EQ(VarAsInteger(TtsVariant(std::string("42"))), 42);
    EXPECT_EQ(VarAsInteger(TtsVariant(std::string("4x"))), 0);
    EXPECT_EQ(VarAsInteger(TtsVariant(2.6)), 3);
    EXPECT_EQ(VarAsInteger(TtsVariant(1e20)), 0); // out of range: no undefined conversion
    EXPECT_EQ(VarAsInteger(TtsVariant(std::uint8_t{200})), 200);
    EXPECT_EQ(VarAsInteger(TtsVariant()), 0);
    EXPECT_TRUE(IsNumericVarType(TtsVariant(2.0)));
    EXPECT_FALSE(IsNumericVarType(TtsVariant(true)));
    EXPECT_EQ(VarToText(TtsVariant(TtsNull{})), "");
}

} // namespace
} // namespace vel
