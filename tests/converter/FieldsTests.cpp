// Field splitting and value recognition.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "converter/Fields.h"

namespace quarvel {
namespace {

// US conventions: "." and ",", M/d/yyyy, h:mm:ss tt.
TLocaleSettings Us() { return LocaleSettings(TLocaleInfo{}, 2025); }

// German conventions: "," and ".", dd.MM.yyyy, HH:mm:ss.
TLocaleSettings German() {
    TLocaleInfo info;
    info.DecimalSeparator = u',';
    info.ThousandSeparator = u'.';
    info.DateSeparator = u'.';
    info.ShortDateFormat = u"dd.MM.yyyy";
    info.LongTimeFormat = u"H:mm:ss";
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
                            {u"1e5", 100000, u"0"},
                            {u"0.0001", 0.0001, u"0.0000"},
                            {u" 42 ", 42, u"#,"},
                            {u"12E3", 12000, u"0"},
                            {u"+7", 7, u"0"},
                            {u"5.", 5, u"0."},
                            {u"1 000 000", 1000000, u"#,###"},
                            {u"1234567890123456789", 1234567890123456789.0, u"0"},
                            // Too small for a double is zero, not an error.
                            {u"1e-400", 0, u"0"},
                        });
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
    // One dot: cleaned as a thousands separator, but the format walk sees a decimal point.
    ExpectNumbers(German(), {
                                {u"1.000", 1000, u"0.000"},
                                {u"35,5", 35.5, u"#0.0"},
                                // Two dots that are no date stay a number.
                                {u"1.234.567", 1234567, u"#.##0.000"},
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
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"1234567890123456789", Us(), value), fkNumber);
    EXPECT_EQ(ClassifyField(u"12345678901234567890", Us(), value), fkText);
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
                              {u"12.05.2009 10:30", 39945 + 10.5 / 24, u"DD.MM.YYYY HH:MM:SS"},
                              {u"10:30", 10.5 / 24, u"DDMMYY"},
                              {u"29.02.2008", 39507, u"DD.MM.YYYY"},
                              {u"1.5.99", 36281, u"D.M.YY"},
                              {u"23:59:59", (86399.0) / 86400, u"DDMMYY"},
                          });
    // 31 February is no date; with two dots it goes on to the number test.
    TFieldValue value;
    EXPECT_EQ(ClassifyField(u"31.02.2009", German(), value), fkNumber);
    EXPECT_EQ(value.Number, 31022009);
}

TEST(ClassifyField, DateTimesAndTheirFormatCodesUs) {
    ExpectDates(Us(), {
                          {u"5/12/2009", 39945, u"M/DD/YYYY"},
                          {u"5/12", 39945 + (DateSerial(2025, 5, 12) - DateSerial(2009, 5, 12)), u"M/DD/YY"},
                          {u"5/12/2009 10:30 PM", 39945 + 22.5 / 24, u"M/DD/YYYY HHMMSS"},
                          {u"5/12/2009 0:00:00", 39945, u"M/DD/YYYY H:MM:SS"},
                          {u"12:00 AM", 0, u"MMDDYY HHMMSS"},
                          {u"10 AM", 10.0 / 24, u"MMDDYY HHMMSS"},
                          {u"PM 1:15", 13.25 / 24, u"MMDDYY H:MM:SS"},
                          {u"10:30:15.250", (37815.25) / 86400, u"MMDDYY"},
                          {u"2/29/2008", 39507, u"M/DD/YYYY"},
                          {u"1/2/74", 63556, u"M/D/YY"},
                          {u"1/2/75", 27396, u"M/D/YY"},
                          {u"5/12/2009\u00A010:30", 39945 + 10.5 / 24, u"M/DD/YYYY HH:MM:SS"},
                      });
}

TEST(ClassifyField, YearFirstLocaleTakesTwoNumbersAsMonthAndDay) {
    TLocaleInfo info;
    info.DateSeparator = u'-';
    info.ShortDateFormat = u"yyyy-MM-dd";
    TLocaleSettings iso = LocaleSettings(info, 2025);
    ExpectDates(iso, {
                         {u"2009-05-12", 39945, u"YYYY-MM-DD"},
                         {u"5-12", DateSerial(2025, 5, 12), u"Y-MM-DD"},
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
// path, so the cases cross its limits: 2^53, powers of ten up to 1e22, exponents, signs.
TEST(ClassifyField, NumbersAreTheCorrectlyRoundedValueOfTheirDigits) {
    std::vector<std::string> texts = {"9007199254740992", "9007199254740993", "9007199254740995",
                                      "18014398509481985", "1e22", "1e23", "9e22", "123456789e-22",
                                      "123456789e-23", "0.1", "0.3", "1.7976931348623157e308", "4.9e-324",
                                      "-0", "-0.0", "0.000000000000000000", "999999999999999999", "1e-22",
                                      "3.0000000000000004", "2.2250738585072011e-308", ".1e23", "5e-1"};
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
    for (const std::string& t : texts) {
        if (t.size() >= 20) continue;
        const std::u16string field(t.begin(), t.end());
        TFieldValue value;
        ASSERT_EQ(ClassifyField(field, Us(), value), fkNumber) << t;
        const double expected = std::strtod(t.c_str(), nullptr);
        if (!std::isfinite(expected)) continue;  // beyond the range: text, tested elsewhere
        uint64_t got, want;
        std::memcpy(&got, &value.Number, 8);
        std::memcpy(&want, &expected, 8);
        EXPECT_EQ(got, want) << t << ": " << value.Number << " instead of " << expected;
    }
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
