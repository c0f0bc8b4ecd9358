// Field splitting and value recognition.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "converter/Fields.h"
#include "platform/Text.h"
#include "tests/converter/ConverterSupport.h"

namespace quarvel {
namespace {

// US conventions: "." and ",", M/d/yyyy, h:mm:ss tt.
TLocaleSettings Us() { return LocaleSettings(TLocaleInfo{}, 2025); }

// German conventions: "," and ".", dd.MM.yyyy, HH:mm:ss, no AM/PM strings (as glibc's de_DE).
TLocaleSettings German() { return LocaleSettings(test::GermanLocale(), 2025); }

// French conventions as glibc's fr_FR gives them: "," and a narrow no-break space (U+202F),
// dd/MM/yyyy, HH:mm:ss, no AM/PM strings.
TLocaleSettings French() {
    TLocaleInfo info;
    info.DecimalSeparator = u',';
    info.ThousandSeparator = u'\u202F';
    info.DateSeparator = u'/';
    info.ShortDateFormat = u"dd/MM/yyyy";
    info.LongTimeFormat = u"HH:mm:ss";
    info.TimeAMString = u"";
    info.TimePMString = u"";
    return LocaleSettings(info, 2025);
}

// Decimal comma with a non-breaking space for thousands (the locale of the worked examples).
TLocaleSettings CommaNbsp() {
    TLocaleInfo info;
    info.DecimalSeparator = u',';
    info.ThousandSeparator = u'\u00A0';
    info.DateSeparator = u'.';
    info.ShortDateFormat = u"dd.MM.yyyy";
    info.LongTimeFormat = u"H:mm:ss";
    return LocaleSettings(info, 2025);
}

TEST(SplitFields, CutsAtEveryDivider) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"abc", {u"abc"}},
        {u"a;;b", {u"a", u"", u"b"}},
        {u"a;b;", {u"a", u"b", u""}},
        {u"", {u""}},
        {u";", {u"", u""}},
        {u" a ;\"b\"", {u" a ", u"\"b\""}},
    };
    std::vector<WideString> fields{u"left over"};
    for (const auto& [line, expected] : cases) {
        SplitFields(line, u';', fields);
        EXPECT_EQ(fields, expected);
    }
    SplitFields(u"x\ty", u'\t', fields);
    EXPECT_EQ(fields, (std::vector<std::u16string>{u"x", u"y"}));
}

TEST(DateAndTimeOrder, FromThePatterns) {
    EXPECT_EQ(DateOrder(u"dd.MM.yyyy", u'.'), u"DMY");
    EXPECT_EQ(DateOrder(u"M/d/yyyy", u'/'), u"MDY");
    EXPECT_EQ(DateOrder(u"yyyy-MM-dd", u'-'), u"YMD");
    EXPECT_EQ(DateOrder(u"d MMM yyyy", u'/'), u"DMY");
    EXPECT_EQ(DateOrder(u"dd", u'/'), u"D  ");
    EXPECT_EQ(DateOrder(u"", u'/'), u"   ");
    EXPECT_EQ(TimeOrder(u"H:mm:ss", u':'), u"HMS");
    EXPECT_EQ(TimeOrder(u"h:mm:ss tt", u':'), u"HMS");
    EXPECT_EQ(TimeOrder(u"HH.mm", u'.'), u"HM ");
    EXPECT_EQ(Us().DateOrder, u"MDY");
    EXPECT_EQ(German().DateOrder, u"DMY");
}

struct NumberCase {
    const char16_t* field;
    double value;
    const char16_t* code;
};

void ExpectNumbers(const TLocaleSettings& locale, std::initializer_list<NumberCase> cases) {
    for (const NumberCase& c : cases) {
        std::u16string field = c.field;
        SCOPED_TRACE(std::string(field.begin(), field.end()));
        TFieldValue value;
        EXPECT_EQ(ClassifyField(field, locale, value), fkNumber);
        EXPECT_EQ(value.Kind, fkNumber);
        EXPECT_DOUBLE_EQ(value.Number, c.value);
        EXPECT_EQ(value.FormatCode, c.code);
    }
}

TEST(ClassifyField, NumbersAndTheirFormatCodesUs) {
    ExpectNumbers(Us(), {
                            {u"123", 123, u"0"},
                            {u"-3.14", -3.14, u"0.00"},
                            {u"1,234", 1234, u"#,###"},
                            {u"1,234.5", 1234.5, u"#,##0.0"},
                            {u"1234567.891", 1234567.891, u"######0.000"},
                            {u".5", 0.5, u".0"},
                            {u"0.0001", 0.0001, u"0.0000"},
                            // A written plus sign and a point without decimals show as written.
                            {u"+7", 7, u"+0"},
                            {u"5.", 5, u"0\\."},
                            {u"1 000 000", 1000000, u"#,###"},
                            // An exponent gets a scientific code; "0" would show 100000.
                            {u"1e5", 100000, u"0e-0"},
                            // Blanks that pad a field are no grouping: "#," would divide by
                            // 1,000 and show nothing.
                            {u" 42 ", 42, u"0"},
                            // Two mantissa digits would make the reader show 1E4 or 01E4.
                            {u"12E3", 12000, u"0.0E-0"},
                            // Too small for a double is zero, not an error.
                            {u"1e-400", 0, u"0e-000"},
                        });
}

// Integer digits that start with 0 keep their zeros: one "0" for each digit. A single 0 before
// the point is an ordinary integer part.
TEST(ClassifyField, LeadingZerosStayInTheCode) {
    ExpectNumbers(Us(), {
                            {u"007", 7, u"000"},
                            {u"-007", -7, u"000"},
                            {u"0123.50", 123.5, u"0000.00"},
                            {u"00.5", 0.5, u"00.0"},
                            {u"00", 0, u"00"},
                            {u"0000000000000001234", 1234, u"0000000000000000000"},  // 19 characters
                            {u"0", 0, u"0"},
                            {u"0.5", 0.5, u"0.0"},
                            {u".5", 0.5, u".0"},
                            {u"-0.25", -0.25, u"0.00"},
                            {u"10", 10, u"0"},
                            // With grouping, the zeros before the last group and those in it.
                            {u"0,001", 1, u"0,000"},
                            {u"00,012.5", 12.5, u"00,000.0"},
                        });
    ExpectNumbers(German(), {{u"007", 7, u"000"}, {u"00,5", 0.5, u"00.0"}, {u"0,5", 0.5, u"0.0"}});
}

// Codes are in the file's notation in every locale: "," groups and "." is the point. Whatever the
// cleaning dropped as a thousands separator groups in the code, and only between integer digits.
TEST(ClassifyField, GroupingAndPointInTheFilesNotation) {
    ExpectNumbers(German(), {
                                {u"1.234", 1234, u"#,###"},
                                {u"2.502", 2502, u"#,###"},
                                {u"1.234,50", 1234.5, u"#,##0.00"},
                                {u"1 234,5", 1234.5, u"#,##0.0"},
                                {u"35,5", 35.5, u"#0.0"},
                                {u"-1.234.567,891", -1234567.891, u"#,##0.000"},
                            });
    // A blank groups as the narrow no-break space does in French text (which, like any character
    // above "@", keeps a field from being a number at all).
    ExpectNumbers(French(), {
                                {u"1 234,50", 1234.5, u"#,##0.00"},
                                {u"1 234 567", 1234567, u"#,###"},
                                {u"1.5", 1.5, u"0.0"},
                                {u"-12,5", -12.5, u"#0.0"},
                            });
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"1\u202F234,50", French(), value), fkText);
    ExpectNumbers(Us(), {
                            // Blanks and separators at the edges or beside the sign are no grouping.
                            {u" 001 ", 1, u"000"},
                            {u"  12.5", 12.5, u"#0.0"},
                            {u"5,", 5, u"0"},
                            {u",5", 5, u"0"},
                            {u"- 5", -5, u"0"},
                            {u"1,234 ", 1234, u"#,###"},
                            // Dropped characters after the point group nothing: all the digits show.
                            {u"1.234,5", 1.2345, u"0.0000"},
                            {u"1, 234", 1234, u"#,###"},
                        });
    ExpectNumbers(CommaNbsp(), {{u" 42 ", 42, u"0"}, {u"1 234", 1234, u"#,###"}});
}

// A number written with an exponent shows as a scientific number: the mantissa's code, then the
// exponent as written (the letter's case, a "+" written, at least as many digits; "-" shows a sign
// only before a negative exponent, and readers add exponent digits where needed).
TEST(ClassifyField, ExponentsGetScientificCodes) {
    ExpectNumbers(Us(), {
                            {u"1e5", 1e5, u"0e-0"},
                            {u"1E5", 1e5, u"0E-0"},
                            {u"6.02E23", 6.02e23, u"0.00E-00"},
                            {u"1.5E-3", 1.5e-3, u"0.0E-0"},
                            {u"1.5e+3", 1.5e3, u"0.0e+0"},
                            {u"1e123", 1e123, u"0e-000"},
                            {u"2.5E-07", 2.5e-7, u"0.0E-00"},
                            {u".5e3", 500, u".0e-0"},
                            {u"0.5e3", 500, u"0.0e-0"},
                            {u"-1e5", -1e5, u"0e-0"},
                            // Several integer digits: one, and the other significant digits as
                            // decimals, since readers scale the mantissa to the code's integer digits.
                            {u"12E3", 12000, u"0.0E-0"},
                            {u"1,234.5e3", 1234500, u"0.0000e-0"},
                            {u"007e2", 700, u"0e-0"},
                            {u"100e3", 100000, u"0.00e-0"},
                            {u"00e5", 0, u"0e-0"},
                        });
    ExpectNumbers(German(), {{u"1,5E3", 1500, u"0.0E-0"}, {u"-2,25e-3", -0.00225, u"0.00e-0"}});
}

// More than 15 significant digits are more than a double holds: such fields stay text. Leading
// zeros do not count, nor do the exponent's digits; trailing zeros do.
TEST(ClassifyField, MoreThanFifteenSignificantDigitsStayText) {
    const struct {
        const char16_t* field;
        TFieldKind kind;
    } cases[] = {
        {u"123456789012345", fkNumber},
        {u"1234567890123456", fkText},
        {u"12345678901234567", fkText},
        {u"4111 1111 1111 1111", fkText},
        {u"1000000000000000", fkText},
        {u"000012345678901234", fkNumber},
        {u"0.00012345678901234", fkNumber},
        {u"0.01234567890123456", fkText},
        {u"1.234567890123456", fkText},
        {u"1.23456789012345e99", fkNumber},
        {u"1.234567890123456e9", fkText},
        {u"-123456789012345", fkNumber},
        {u"1,234,567,890,123", fkNumber},
    };
    for (const auto& c : cases) {
        const std::u16string field = c.field;
        SCOPED_TRACE(std::string(field.begin(), field.end()));
        TFieldValue value;
        EXPECT_EQ(ClassifyField(field, Us(), value), c.kind);
        if (c.kind == fkText) {
            EXPECT_EQ(value.Number, 0);
            EXPECT_EQ(value.FormatCode, u"");
        }
    }
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"1234567890123456", German(), value), fkText);
    EXPECT_EQ(ClassifyField(u"1234.5678.9012.3456", German(), value), fkText);
}

TEST(ClassifyField, NumbersWithDecimalCommaAndNbspGrouping) {
    ExpectNumbers(CommaNbsp(), {
                                   {u"1234,56", 1234.56, u"###0.00"},
                                   {u"1234.56", 1234.56, u"###0.00"},
                                   {u"-12,5", -12.5, u"#0.0"},
                                   {u"100", 100, u"0"},
                               });
}

TEST(ClassifyField, GermanThousandsDotAndDates) {
    // One dot: a thousands separator, in the value and in the code alike (a code with a point
    // would show 1000,000).
    ExpectNumbers(German(), {
                                {u"1.000", 1000, u"#,###"},
                                {u"35,5", 35.5, u"#0.0"},
                                // Two dots that are no date stay a number.
                                {u"1.234.567", 1234567, u"#,###"},
                                // One dot between two numbers is no date either.
                                {u"12.05", 1205, u"#,##"},
                            });
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"12.05.2009", German(), value), fkDateTime);
    EXPECT_DOUBLE_EQ(value.DateTime, 39945);
    EXPECT_EQ(value.FormatCode, u"DD.MM.YYYY");
    EXPECT_EQ(value.Number, 0);
}

TEST(ClassifyField, TextFields) {
    const char16_t* texts[] = {
        u"",
        u"abc",
        u"12F3",                  // F is no exponent and no date
        u"12345678901234567890",  // 20 characters are never examined
        u"1e309",                 // beyond the double range: stays text
        u"-1e400",
        u"1\u00A0000",  // a non-breaking space is no candidate
        u"1-2-3",
        u"--1",
        u"1.2.3",
        u"e",
        u"+",
        u"N/A",
        u"2018-01-01",  // no US date
        u"13/45/2009",
        u"2/29/2009",
        u"25:00",
        u"13:00 PM",
        u"12:30:45.1234",
        u"12/5/2009x",
    };
    for (const char16_t* text : texts) {
        std::u16string field = text;
        SCOPED_TRACE(std::string(field.begin(), field.end()));
        TFieldValue value;
        value.FormatCode = u"stale";
        value.Number = 5;
        EXPECT_EQ(ClassifyField(field, Us(), value), fkText);
        EXPECT_EQ(value.Kind, fkText);
        EXPECT_EQ(value.FormatCode, u"");
        EXPECT_EQ(value.Number, 0);
    }
    // 19 characters are examined, 20 are not.
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"-1,234,567,890.1234", Us(), value), fkNumber);
    EXPECT_EQ(ClassifyField(u"-1,234,567,890.1234 ", Us(), value), fkText);
}

struct DateCase {
    const char16_t* field;
    double value;
    const char16_t* code;
};

void ExpectDates(const TLocaleSettings& locale, std::initializer_list<DateCase> cases) {
    for (const DateCase& c : cases) {
        std::u16string field = c.field;
        SCOPED_TRACE(std::string(field.begin(), field.end()));
        TFieldValue value;
        EXPECT_EQ(ClassifyField(field, locale, value), fkDateTime);
        EXPECT_NEAR(value.DateTime, c.value, 1e-9);
        EXPECT_EQ(value.FormatCode, c.code);
    }
}

TEST(ClassifyField, DateTimesAndTheirFormatCodesGerman) {
    ExpectDates(German(), {
                              {u"12.05.2009", 39945, u"DD.MM.YYYY"},
                              {u"1.5.09", 39934, u"D.M.YY"},
                              // The time's pieces that were written, no seconds added.
                              {u"12.05.2009 10:30", 39945 + 10.5 / 24, u"DD.MM.YYYY HH:MM"},
                              // A time alone is a time, not a date of one piece.
                              {u"10:30", 10.5 / 24, u"HH:MM"},
                              {u"29.02.2008", 39507, u"DD.MM.YYYY"},
                              {u"1.5.99", 36281, u"D.M.YY"},
                              {u"23:59:59", (86399.0) / 86400, u"HH:MM:SS"},
                          });
    // 31 February is no date; with two dots it goes on to the number test.
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"31.02.2009", German(), value), fkNumber);
    EXPECT_EQ(value.Number, 31022009);
}

TEST(ClassifyField, DateTimesAndTheirFormatCodesUs) {
    ExpectDates(Us(), {
                          {u"5/12/2009", 39945, u"M/DD/YYYY"},
                          // A date without a year shows no year.
                          {u"5/12", 39945 + (DateSerial(2025, 5, 12) - DateSerial(2009, 5, 12)), u"M/DD"},
                          // The designator is no piece of the time, and the time shows as it was
                          // written: its pieces, the 12-hour clock and the designator's place.
                          {u"5/12/2009 10:30 PM", 39945 + 22.5 / 24, u"M/DD/YYYY HH:MM AM/PM"},
                          {u"5/12/2009 0:00:00", 39945, u"M/DD/YYYY H:MM:SS"},
                          {u"12:00 AM", 0, u"HH:MM AM/PM"},
                          {u"10 AM", 10.0 / 24, u"HH AM/PM"},
                          {u"PM 1:15", 13.25 / 24, u"AM/PM H:MM"},
                          {u"10:30:15.250", (37815.25) / 86400, u"HH:MM:SS.000"},
                          {u"2/29/2008", 39507, u"M/DD/YYYY"},
                          {u"1/2/74", 63556, u"M/D/YY"},
                          {u"1/2/75", 27396, u"M/D/YY"},
                          {u"5/12/2009\u00A010:30", 39945 + 10.5 / 24, u"M/DD/YYYY HH:MM"},
                      });
}

// A time shows its hour with the digits written, the minutes and seconds that were written, the
// fraction of a second with its digits, and the 12-hour clock with the designator where it stood.
TEST(ClassifyField, TimesShowThePiecesTheyWrote) {
    auto at = [](double hour, double minute, double second) { return ((hour * 60 + minute) * 60 + second) / 86400; };
    ExpectDates(Us(), {
                          {u"10:30", at(10, 30, 0), u"HH:MM"},
                          {u"13:35", at(13, 35, 0), u"HH:MM"},
                          {u"0:00", 0, u"H:MM"},
                          {u"2:22 PM", at(14, 22, 0), u"H:MM AM/PM"},
                          {u"2:22PM", at(14, 22, 0), u"H:MMAM/PM"},
                          {u"02:22 pm", at(14, 22, 0), u"HH:MM AM/PM"},
                          {u"PM 2:22", at(14, 22, 0), u"AM/PM H:MM"},
                          {u"9:05:00 AM", at(9, 5, 0), u"H:MM:SS AM/PM"},
                          {u"6/2/2009 9:27:03 AM", DateSerial(2009, 6, 2) + at(9, 27, 3), u"M/D/YYYY H:MM:SS AM/PM"},
                          {u"5/12/2009 PM 1:15", DateSerial(2009, 5, 12) + at(13, 15, 0), u"M/DD/YYYY AM/PM H:MM"},
                          {u"5/12/2009 13:35", DateSerial(2009, 5, 12) + at(13, 35, 0), u"M/DD/YYYY HH:MM"},
                          // The digits after the seconds are a decimal fraction of a second.
                          {u"12:30:45.123", at(12, 30, 45.123), u"HH:MM:SS.000"},
                          {u"12:30:45.12", at(12, 30, 45.12), u"HH:MM:SS.00"},
                          {u"12:30:45.5", at(12, 30, 45.5), u"HH:MM:SS.0"},
                          {u"12:30:45.05", at(12, 30, 45.05), u"HH:MM:SS.00"},
                      });
    // A fourth digit is more than a time code shows.
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"12:30:45.1234", Us(), value), fkText);
    ExpectDates(German(), {
                              {u"7:05", at(7, 5, 0), u"H:MM"},
                              {u"12:30:45,123", at(12, 30, 45.123), u"HH:MM:SS.000"},
                              {u"12.05.2009 10:30:15", DateSerial(2009, 5, 12) + at(10, 30, 15), u"DD.MM.YYYY HH:MM:SS"},
                              // The English designators are read in every locale.
                              {u"2:22 PM", at(14, 22, 0), u"H:MM AM/PM"},
                          });
    ExpectDates(French(), {
                              {u"07/11/2020 13:35", DateSerial(2020, 11, 7) + at(13, 35, 0), u"DD/MM/YYYY HH:MM"},
                              {u"12:30:45,5", at(12, 30, 45.5), u"HH:MM:SS.0"},
                              {u"7/11/20", DateSerial(2020, 11, 7), u"D/MM/YY"},
                          });
    TLocaleInfo info;
    info.TimeAMString = u"vorm.";
    info.TimePMString = u"nachm.";
    ExpectDates(LocaleSettings(info, 2025), {{u"nachm. 5:30", at(17, 30, 0), u"AM/PM H:MM"},
                                             {u"5:30 vorm.", at(5, 30, 0), u"H:MM AM/PM"}});
}

// A date written with two numbers has no year: its code has the two pieces only, in the order the
// numbers were read.
TEST(ClassifyField, DatesWithoutYearShowNoYear) {
    ExpectDates(Us(), {{u"5/12", DateSerial(2025, 5, 12), u"M/DD"}, {u"12/5", DateSerial(2025, 12, 5), u"MM/D"}});
    ExpectDates(French(), {{u"07/11", DateSerial(2025, 11, 7), u"DD/MM"}, {u"7/1", DateSerial(2025, 1, 7), u"D/M"}});
    // In German one dot between two numbers is a thousands separator, as before.
    ExpectNumbers(German(), {{u"12.05", 1205, u"#,##"}});
}

TEST(ClassifyField, YearFirstLocaleTakesTwoNumbersAsMonthAndDay) {
    TLocaleInfo info;
    info.DateSeparator = u'-';
    info.ShortDateFormat = u"yyyy-MM-dd";
    TLocaleSettings iso = LocaleSettings(info, 2025);
    ExpectDates(iso, {
                         {u"2009-05-12", 39945, u"YYYY-MM-DD"},
                         // Two numbers are month and day here: no year in the code either.
                         {u"5-12", DateSerial(2025, 5, 12), u"M-DD"},
                     });
}

TEST(DateSerial, CountsDaysFrom30December1899) {
    EXPECT_EQ(DateSerial(1899, 12, 30), 0);
    EXPECT_EQ(DateSerial(1900, 1, 1), 2);
    EXPECT_EQ(DateSerial(1900, 3, 1), 61);
    EXPECT_EQ(DateSerial(2009, 5, 12), 39945);
    EXPECT_EQ(DateSerial(1800, 1, 1), -36522);
    EXPECT_EQ(DateSerial(9999, 12, 31), 2958465);
    EXPECT_EQ(DateSerial(1, 1, 1), -693593);
}

// A number's value is the correctly rounded value of its digits, bit for bit (the file holds the
// double as it is): the same as strtod gives for the cleaned text. Short decimals take a fast
// path, so the cases cross its limits: powers of ten up to 1e22, exponents, signs. Fields of more
// than 15 significant digits are text.
TEST(ClassifyField, NumbersAreTheCorrectlyRoundedValueOfTheirDigits) {
    std::vector<std::string> texts = {"9007199254740992", "9007199254740993", "900719925474099",
                                      "18014398509481985", "1e22", "1e23", "9e22", "123456789e-22",
                                      "123456789e-23", "0.1", "0.3", "1.7976931348623157e308", "4.9e-324",
                                      "-0", "-0.0", "0.000000000000000000", "999999999999999999", "1e-22",
                                      "3.0000000000000004", "2.2250738585072011e-308", ".1e23", "5e-1",
                                      "999999999999999", "1.79769313486231e308", "2.2250738585072e-308",
                                      "123456789012345e-30", "0.00000000000001"};
    std::mt19937 rng(11);
    for (int k = 0; k < 20000; ++k) {
        std::string t;
        if (rng() % 4 == 0) t += rng() % 2 ? '-' : '+';
        const int digits = 1 + static_cast<int>(rng() % 17);
        const int point = static_cast<int>(rng() % (digits + 2));
        for (int d = 0; d < digits; ++d) {
            if (d == point) t += '.';
            t += static_cast<char>('0' + rng() % 10);
        }
        if (rng() % 3 == 0 && t.size() < 15) t += "e" + std::to_string(static_cast<int>(rng() % 61) - 30);
        texts.push_back(t);
    }
    int numbers = 0;
    for (const std::string& t : texts) {
        if (t.size() >= 20) continue;
        // The digits before the exponent, from the first one that is not 0.
        int significant = 0;
        bool nonzero = false;
        for (char c : t) {
            if (c == 'e') break;
            if (c < '0' || c > '9') continue;
            nonzero = nonzero || c != '0';
            significant += nonzero;
        }
        const std::u16string field(t.begin(), t.end());
        TFieldValue value;
        const TFieldKind kind = ClassifyField(field, Us(), value);
        if (significant > 15) {
            EXPECT_EQ(kind, fkText) << t;
            continue;
        }
        const double expected = std::strtod(t.c_str(), nullptr);
        if (!std::isfinite(expected)) continue;  // beyond the range: text, tested elsewhere
        ASSERT_EQ(kind, fkNumber) << t;
        ++numbers;
        uint64_t got, want;
        std::memcpy(&got, &value.Number, 8);
        std::memcpy(&want, &expected, 8);
        EXPECT_EQ(got, want) << t << ": " << value.Number << " instead of " << expected;
    }
    EXPECT_GT(numbers, 10000);
}

// Fields are let through to the whole recognition by their first characters; these all start in a
// way that still makes a value, and must not be taken for text.
TEST(ClassifyField, ValuesWithUnusualStartsAreRecognised) {
    TLocaleInfo info;
    info.TimeAMString = u"vorm.";
    info.TimePMString = u"nachm.";
    const TLocaleSettings designators = LocaleSettings(info, 2025);
    const struct {
        const char16_t* field;
        const TLocaleSettings locale;
        TFieldKind kind;
        double value;
    } cases[] = {
        {u",5", Us(), fkNumber, 5},              // a thousands separator first
        {u" ,5", Us(), fkNumber, 5},
        {u"-.5", Us(), fkNumber, -0.5},
        {u".5", Us(), fkNumber, 0.5},
        {u"+5", Us(), fkNumber, 5},
        {u"\u00A07", Us(), fkDateTime, 7.0 / 24},  // a non-breaking space before a time
        {u"am 9:15", Us(), fkDateTime, 9.25 / 24},
        {u"Pm 9:15", Us(), fkDateTime, 21.25 / 24},
        {u"nachm. 5:30", designators, fkDateTime, 17.5 / 24},
        {u"VORM. 5:30", designators, fkDateTime, 5.5 / 24},
    };
    for (const auto& c : cases) {
        const std::u16string field = c.field;
        SCOPED_TRACE(std::string(field.begin(), field.end()));
        TFieldValue value;
        ASSERT_EQ(ClassifyField(field, c.locale, value), c.kind);
        EXPECT_NEAR(c.kind == fkNumber ? value.Number : value.DateTime, c.value, 1e-12);
    }
    // Starting like a designator is not enough.
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"nachmittags", designators, value), fkText);
    EXPECT_EQ(ClassifyField(u"Paris", Us(), value), fkText);
}

// A number code of the file's notation: integer placeholders ("#,##0", "#0", "000", "0,000"),
// then a point with zeros, then an exponent ("E+00", "e-0").
bool IsNumberCode(const std::string& code) {
    size_t i = code.rfind('+', 0) == 0 ? 1 : 0;  // a plus sign as written
    auto run = [&](char c) {
        const size_t start = i;
        while (i < code.size() && code[i] == c) ++i;
        return i - start;
    };
    if (code.compare(i, 2, "#,") == 0) {
        i += 2;
        size_t digits = run('#');
        if (i < code.size() && code[i] == '0') ++i, ++digits;
        if (digits == 0) return false;
    } else if (run('0') > 0) {
        if (i < code.size() && code[i] == ',') {
            ++i;
            if (run('0') == 0) return false;
        }
    } else if (run('#') > 0) {
        if (i == code.size() || code[i] != '0') return false;
        ++i;
    }
    if (i < code.size() && code[i] == '.') {
        ++i;
        run('0');
    } else if (i + 1 < code.size() && code[i] == '\\' && (code[i + 1] == '.' || code[i + 1] == ',')) {
        i += 2;  // a point without decimals, as written text
    }
    if (i > 0 && i < code.size() && (code[i] == 'E' || code[i] == 'e')) {
        ++i;
        if (i == code.size() || (code[i] != '+' && code[i] != '-')) return false;
        ++i;
        if (run('0') == 0) return false;
    }
    return !code.empty() && i == code.size();
}

// A date-time code: date letters with their separators, then a time of hours, minutes, seconds
// and a fraction, with AM/PM before or after it.
bool IsDateTimeCode(const std::string& code) {
    size_t i = 0;
    auto letters = [&]() {
        const size_t start = i;
        while (i < code.size() && (code[i] == 'D' || code[i] == 'M' || code[i] == 'Y')) ++i;
        return i - start;
    };
    auto literal = [&](const std::string& text) {
        if (code.compare(i, text.size(), text) != 0) return false;
        i += text.size();
        return true;
    };
    if (letters() > 0) {
        int separators = 0;
        while (separators < 2 && i < code.size() && (code[i] == '.' || code[i] == '/' || code[i] == '-')) {
            ++i;
            ++separators;
            if (letters() == 0) return false;
        }
        if (separators == 0) return false;
        literal(" ");
    }
    if (literal("AM/PM")) literal(" ");
    size_t hours = 0;
    while (i < code.size() && code[i] == 'H') ++i, ++hours;
    if (hours > 2) return false;
    if (hours > 0 && literal(":MM") && literal(":SS") && literal(".")) {
        size_t zeros = 0;
        while (i < code.size() && code[i] == '0') ++i, ++zeros;
        if (zeros < 1 || zeros > 3) return false;
    }
    literal(" ");
    literal("AM/PM");
    return !code.empty() && i == code.size();
}

// Whatever the locale and the field, a number's code is one the file's notation reads: digit
// placeholders, "," only between them, "." as the point, a scientific exponent; a date-time's code
// holds only date and time letters with their separators.
TEST(ClassifyField, CodesAreAlwaysInTheFilesNotation) {
    for (const char* code : {"0", "#,##0.00", "000", "0,000", ".0", "0.", "0.0E-00", "#0.0", "+0", "0\\.", "+#0\\,"}) {
        EXPECT_TRUE(IsNumberCode(code)) << code;
    }
    for (const char* code : {"#,", "#.##0.000", "0\xC2\xA0", "E+00", "", "0.0E"}) EXPECT_FALSE(IsNumberCode(code)) << code;
    for (const char* code : {"M/DD", "DD.MM.YYYY HH:MM", "AM/PM H:MM", "H:MMAM/PM", "HH:MM:SS.000"}) {
        EXPECT_TRUE(IsDateTimeCode(code)) << code;
    }
    for (const char* code : {"DDMMYY", "MMDDYY HHMMSS", "HHH", "HH:MM:SS.0000"}) EXPECT_FALSE(IsDateTimeCode(code)) << code;
    std::mt19937 random(5);
    const std::u16string alphabet = u"0123456789000.,.,  eE+-:/.APM\u202F";
    int numbers = 0, dateTimes = 0;
    for (const TLocaleSettings& locale : {Us(), German(), French(), CommaNbsp()}) {
        for (int round = 0; round < 20000; ++round) {
            std::u16string field;
            const size_t length = 1 + random() % 12;
            for (size_t k = 0; k < length; ++k) field.push_back(alphabet[random() % alphabet.size()]);
            TFieldValue value;
            const TFieldKind kind = ClassifyField(field, locale, value);
            const std::string code = Utf16ToUtf8(value.FormatCode);
            const std::string where = Utf16ToUtf8(field) + " gives " + code;
            if (kind == fkNumber) {
                ++numbers;
                EXPECT_TRUE(IsNumberCode(code)) << where;
            } else if (kind == fkDateTime) {
                ++dateTimes;
                EXPECT_TRUE(IsDateTimeCode(code)) << where;
            }
        }
    }
    EXPECT_GT(numbers, 1000);
    EXPECT_GT(dateTimes, 100);
}

TEST(ClassifyField, ResultsAreAlwaysFinite) {
    // Anything the number parse accepts must be a finite double.
    const char16_t* fields[] = {u"9e307", u"1e308", u"1.8e308", u"99999999999999999e300", u"0e99999",
                                u"0.0000000001e-330", u"-1.7976931348623157e308"};
    for (const char16_t* field : fields) {
        TFieldValue value;
        ClassifyField(field, Us(), value);
        EXPECT_TRUE(std::isfinite(value.Number));
    }
}

}  // namespace
}  // namespace quarvel
