// Field splitting and value recognition: a line becomes fields, a field a number, a date-time or text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Locale.h"
#include "workbook/BIFFRecs.h"

namespace quarvel {

// The number and date conventions recognition uses, fixed for one conversion.
struct TLocaleSettings {
    char16_t DecimalSeparator = u'.';
    char16_t ThousandSeparator = u',';
    char16_t DateSeparator = u'/';
    char16_t TimeSeparator = u':';
    WideString ShortDateFormat = u"M/d/yyyy";
    WideString LongTimeFormat = u"h:mm:ss tt";
    WideString TimeAMString = u"AM";
    WideString TimePMString = u"PM";
    int TwoDigitYearCenturyWindow = 50;
    int CurrentYear = 2000;    // year of a date written without one; base of the two-digit window
    WideString DateOrder = u"MDY";  // from ShortDateFormat, see DateOrder()
    WideString TimeOrder = u"HMS";  // from LongTimeFormat, see TimeOrder()
};

// The settings of a locale, with the date and time orders computed.
TLocaleSettings LocaleSettings(const TLocaleInfo& locale, int currentYear);

// Three letters from a short date pattern: a blank or the date separator moves to the next slot;
// another character fills the current slot if it is still blank, ASCII letters upper-cased.
// "dd.MM.yyyy" gives "DMY", "M/d/yyyy" "MDY", "yyyy-MM-dd" (separator "-") "YMD".
WideString DateOrder(std::u16string_view shortDateFormat, char16_t dateSeparator);

// The same over a long time pattern, where only the time separator moves on: "H:mm:ss" gives "HMS".
WideString TimeOrder(std::u16string_view longTimeFormat, char16_t timeSeparator);

// Cuts a line at every divider: "a;;b" gives a, "", b; "a;b;" gives a, b, ""; "" gives one empty
// field. Fields are neither trimmed nor unquoted.
void SplitFields(std::u16string_view line, char16_t divider, std::vector<WideString>& fields);

enum TFieldKind : int { fkText = 0, fkNumber = 1, fkDateTime = 2 };

struct TFieldValue {
    TFieldKind Kind = fkText;
    double Number = 0;    // the value of a number
    double DateTime = 0;  // days since 30 December 1899, the fraction being the time of day
    WideString FormatCode;  // number format that shows the value the way the field showed it
};

// Classifies one field: a number (with its format code), a date-time (with its format code) or
// text. Fields of 20 characters or more are text, and so are numbers of more than 15 significant
// digits (more than a double holds). The code shows the value with the digits, grouping, exponent,
// date pieces and time pieces the field wrote, in the file's notation ("," groups, "." points).
TFieldKind ClassifyField(std::u16string_view field, const TLocaleSettings& locale, TFieldValue& value);

// Parses a date, a date and a time, or a time alone, as the locale writes them.
bool TryParseDateTime(std::u16string_view text, const TLocaleSettings& locale, double& result);

// Days from 30 December 1899 to the given date of the Gregorian calendar.
double DateSerial(int year, int month, int day);

}  // namespace quarvel
