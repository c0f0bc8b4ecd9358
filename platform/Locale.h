// The locale conventions the converter and the workbook need, read from the process locale into a
// plain value so that every user of it can be given another one (tests never depend on the
// locales installed on the machine).
#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"
#include "platform/WideString.h"

namespace quarvel {

struct TLocaleInfo {
    char16_t DecimalSeparator = u'.';
    char16_t ThousandSeparator = u',';
    char16_t DateSeparator = u'/';
    char16_t TimeSeparator = u':';
    // Patterns in the runtime's notation: d, dd, M, MM, yy, yyyy, h, hh (12-hour), H, HH, mm, ss, tt.
    WideString ShortDateFormat = u"M/d/yyyy";
    WideString LongTimeFormat = u"h:mm:ss tt";
    // The long time pattern without seconds, the AM/PM placeholder written "AMPM".
    WideString ShortTimeFormat = u"h:mm AMPM";
    WideString TimeAMString = u"AM";
    WideString TimePMString = u"PM";
    // Two-digit years fall in the hundred years starting this many years before the current one.
    int TwoDigitYearCenturyWindow = 50;
    // Paper size code of the page setup: 9 A4, 1 Letter, 5 Legal, 8 A3.
    int DefaultPaperSize = 9;
};

// US conventions: what the "C" and "POSIX" locales stand for.
TLocaleInfo UsLocaleInfo();

// The raw values the C library gives for a locale, bytes in the locale's code page.
struct TLocaleSource {
    bool NumericIsPosix = true;  // LC_NUMERIC is "C"/"POSIX"
    std::string DecimalPoint;
    std::string ThousandsSeparator;
    bool TimeIsPosix = true;  // LC_TIME is "C"/"POSIX"
    std::string DateFormat;   // D_FMT, strftime notation
    std::string TimeFormat;   // T_FMT
    std::string AmString;
    std::string PmString;
    int PaperWidth = 0;  // millimetres, 0 when unknown
    int PaperHeight = 0;
};

// Translates a strftime pattern into the runtime's notation (%d dd, %e d, %m MM, %Y yyyy,
// %y yy, %H HH, %I hh, %M mm, %S ss, %p tt, %T HH:mm:ss, %r hh:mm:ss tt, %D MM/dd/yy).
WideString StrftimeToPattern(std::u16string_view format);

// The first character of a pattern that is not a letter; `fallback` when there is none.
char16_t PatternSeparator(std::u16string_view pattern, char16_t fallback);

// The short time pattern of a long one: the seconds and the separator before them left out,
// the AM/PM placeholder ("tt" or "t") written "AMPM".
WideString ShortTimeFromLongTime(std::u16string_view longTime);

// Paper size code from the paper's size in millimetres; A4 (9) when it is none of the four.
int PaperSizeFromMillimetres(int width, int height);

// Builds the conventions from raw locale values.
TLocaleInfo LocaleFromSource(const TLocaleSource& source, const TCodePage& codePage);

// Reads the process locale (after setlocale(LC_ALL, "")).
TLocaleInfo ReadProcessLocale();

// The current year of the local calendar.
int CurrentYear();

}  // namespace quarvel
