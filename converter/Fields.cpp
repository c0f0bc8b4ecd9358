#include "converter/Fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/Text.h"

namespace quarvel {

namespace {

constexpr char16_t kNoBreakSpace = 0x00A0;

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Parses the cleaned text of a number candidate: optional sign, digits with at most one decimal
// separator, optional exponent. A value beyond the double range is no number. `significant` gets
// the number of digits from the first one that is not 0 to the last one before the exponent.
bool ParseCleanNumber(std::u16string_view text, char16_t decimal, double& result, int& significant) {
    // Candidates have at most 19 characters, so the digits fit a small buffer of the stack.
    struct TAscii {
        char data[64];
        size_t length = 0;
        void push_back(char c) {
            if (length < sizeof data) data[length] = c;
            ++length;
        }
        size_t size() const { return length; }
    } ascii;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int intDigits = 0, leadingZeros = 0, fracDigits = 0, fracZeros = 0;
    bool nonzeroSeen = false, point = false;
    uint64_t mantissa = 0;  // all the digits as one integer: at most 19 of them, so it fits
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsDigit(c)) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - u'0');
            if (!point) {
                if (c != u'0' || nonzeroSeen) {
                    nonzeroSeen = true;
                    ++intDigits;
                } else {
                    ++leadingZeros;
                }
            } else {
                if (!nonzeroSeen && c == u'0') ++fracZeros;
                if (c != u'0') nonzeroSeen = true;
                ++fracDigits;
            }
            ascii.push_back(char(c));
        } else if (c == decimal && !point) {
            point = true;
            ascii.push_back('.');
        } else {
            break;
        }
    }
    if (intDigits + leadingZeros + fracDigits == 0) return false;
    significant = intDigits + fracDigits - fracZeros;
    long exponent = 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            negativeExponent = text[i] == u'-';
            ascii.push_back(char(text[i++]));
        }
        size_t digitsStart = i;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            ascii.push_back(char(text[i]));
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - u'0');
        }
        if (i == digitsStart) return false;
        if (negativeExponent) exponent = -exponent;
    }
    if (i != text.size()) return false;

    // Exactly representable digits scaled by an exactly representable power of ten: one rounding,
    // so the result is the correctly rounded value that from_chars gives, at a fraction of the cost.
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const long scale = exponent - fracDigits;
    if (ascii.size() <= sizeof ascii.data && mantissa <= (uint64_t(1) << 53) && scale >= -22 && scale <= 22) {
        const double digits = static_cast<double>(mantissa);
        const double value = scale >= 0 ? digits * kPowersOfTen[scale] : digits / kPowersOfTen[-scale];
        result = negative ? -value : value;
        return true;
    }

    double value = 0;
    if (ascii.size() > sizeof ascii.data) return false;  // not reached: fields of 20 or more are text
    auto [end, error] = std::from_chars(ascii.data, ascii.data + ascii.size(), value);
    if (end != ascii.data + ascii.size()) return false;
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: too large is no number, too small is zero.
        long magnitude = intDigits > 0 ? intDigits - 1 : -(fracZeros + 1);
        if (magnitude + exponent > 0) return false;
        value = 0;
    } else if (error != std::errc()) {
        return false;
    }
    if (!std::isfinite(value)) return false;
    result = negative ? -value : value;
    return true;
}

// Writes format codes into a small buffer of the stack: codes of fields of at most 19 characters
// have fewer than 48 units.
struct TCodeBuffer {
    char16_t data[48];
    size_t length = 0;
    void Add(char16_t c, int count = 1) {
        for (; count > 0 && length < sizeof data / sizeof data[0]; --count) data[length++] = c;
    }
    void Add(std::u16string_view text) {
        for (char16_t c : text) Add(c);
    }
};

// The number format code that shows the field's value with the digits the field wrote, into
// `code`; `significant` counts the digits before the exponent from the first one that is not 0.
// Codes are written as the file writes them, whatever the locale: "," groups thousands and "." is
// the decimal point; readers show them with their own characters.
//
// A character the cleaning dropped (a blank or the thousands separator) groups thousands only
// between two integer digits: blanks that pad a field, a sign or a point are no grouping, and a
// code never ends in "," (which would divide the value by 1,000).
void NumberFormatCode(std::u16string_view field, const TLocaleSettings& locale, int significant, WideString& code) {
    int intDigits = 0;         // digits before the point (or the exponent)
    bool leadingZero = false;  // the first of them is 0
    int groupAt = 0;           // integer digits before the last grouping character
    int pendingGroup = 0;      // a dropped character followed this many integer digits
    int fracDigits = 0;
    bool point = false;
    char16_t pointWritten = 0;  // the point as the field wrote it
    char16_t exponent = 0, exponentSign = 0;  // as written: "E" or "e", "+", "-" or none
    int exponentDigits = 0;
    const size_t n = field.size();
    size_t i = 0;
    for (; i < n; ++i) {
        const char16_t c = field[i];
        if (IsDigit(c)) {
            if (intDigits == 0) leadingZero = c == u'0';
            if (pendingGroup > 0) {
                groupAt = pendingGroup;
                pendingGroup = 0;
            }
            ++intDigits;
        } else if (c == u' ' || c == locale.ThousandSeparator) {
            // As the cleaning reads it: dropped, even where it is a "."
            if (intDigits > 0) pendingGroup = intDigits;
        } else if (c == u'.' || c == locale.DecimalSeparator) {
            point = true;
            pointWritten = c;
            ++i;
            break;
        } else if (c == u'e' || c == u'E') {
            break;
        }
    }
    if (point) {
        for (; i < n; ++i) {
            const char16_t c = field[i];
            if (IsDigit(c)) {
                ++fracDigits;
            } else if (c == u'e' || c == u'E') {
                break;
            }
        }
    }
    if (i < n) {
        exponent = field[i];
        for (++i; i < n; ++i) {
            const char16_t c = field[i];
            if (IsDigit(c)) {
                ++exponentDigits;
            } else if (c == u'+' || c == u'-') {
                exponentSign = c;
            }
        }
    }
    // The exponent as the field wrote it: the letter's case, "+" when it was written ("-" shows a
    // sign only before a negative exponent), at least as many digits.
    auto addExponent = [&](TCodeBuffer& out) {
        out.Add(exponent);
        out.Add(exponentSign == u'+' ? u'+' : u'-');
        out.Add(u'0', exponentDigits);
    };

    TCodeBuffer out;
    // A plus sign written before the number is shown as written (the value is positive).
    for (char16_t c : field) {
        if (c == u' ') continue;
        if (c == u'+') out.Add(u'+');
        break;
    }
    if (exponent && intDigits > 1) {
        // The reader scales the mantissa to as many integer digits as the code has, in steps of
        // that many powers of ten, so several would show other digits ("12E3" as 1E+04 or
        // 01E+04): one integer digit and the field's further significant digits as decimals.
        out.Add(u'0');
        const int decimals = significant > 0 ? significant - 1 : fracDigits;
        if (decimals > 0) {
            out.Add(u'.');
            out.Add(u'0', decimals);
        }
        addExponent(out);
        code.assign(out.data, out.length);
        return;
    }
    // Integer digits that start with 0 are shown one "0" for each, so that the zeros stay.
    const bool leadingZeros = intDigits > 1 && leadingZero;
    if (groupAt > 0) {
        const int grouped = intDigits - groupAt;  // digits after the last grouping character
        if (leadingZeros) {
            out.Add(u'0', groupAt);
            out.Add(u',');
            out.Add(u'0', grouped);
        } else {
            out.Add(u"#,");
            out.Add(u'#', grouped - 1);
            out.Add(point ? u'0' : u'#');
        }
    } else if (leadingZeros) {
        out.Add(u'0', intDigits);
    } else if (point) {
        if (intDigits > 0) {
            out.Add(u'#', intDigits - 1);
            out.Add(u'0');
        }
    } else {
        out.Add(u'0');
    }
    if (point && fracDigits == 0 && !exponent) {
        // A point with no digits after it would not show: it stands in the code as written text.
        out.Add(u'\\');
        out.Add(pointWritten);
    } else if (point) {
        out.Add(u'.');
        out.Add(u'0', fracDigits);
    }
    if (exponent) addExponent(out);
    code.assign(out.data, out.length);
}

// How a date-time that parsed was written: what its format code is built from.
struct TDateTimeShape {
    int DatePieces = 0;               // 0 for a time alone, else 2 or 3 numbers
    int DateDigits[3] = {0, 0, 0};    // digits of each number
    int TimePieces = 0;               // 0 for a date alone; 1 hour, 2 with minutes, 3 with seconds
    int HourDigits = 0;
    int FractionDigits = 0;           // digits of the seconds' fraction, 1 to 3
    int Designator = 0;               // AM/PM: 0 none, 1 before the time, 2 after it
    bool DesignatorBlank = false;     // blanks between the designator and the time
};

// The number format code that shows the date-time the way the field wrote it, into `code`: the
// date's numbers in the locale's order with the field's separator, the time's pieces that were
// written, in the file's notation (":" between the pieces, "." before the fraction of a second).
void DateTimeFormatCode(const TDateTimeShape& shape, const TLocaleSettings& locale, WideString& code) {
    TCodeBuffer out;
    if (shape.DatePieces > 0) {
        // The order the parse read the numbers in.
        const char16_t first = locale.DateOrder.empty() ? u'M' : locale.DateOrder[0];
        const char16_t* letters = first == u'D' ? u"DMY" : first == u'Y' ? u"YMD" : u"MDY";
        // Two numbers are day and month, in the locale's order, month first where the year is.
        if (shape.DatePieces == 2) letters = first == u'D' ? u"DM" : u"MD";
        for (int k = 0; k < shape.DatePieces; ++k) {
            if (k > 0) out.Add(locale.DateSeparator);
            const char16_t letter = letters[k];
            const int digits = shape.DateDigits[k];
            out.Add(letter, digits == 1 ? 1 : (digits == 4 && letter == u'Y' ? 4 : 2));
        }
    }
    if (shape.TimePieces > 0) {
        if (shape.DatePieces > 0) out.Add(u' ');
        if (shape.Designator == 1) {
            out.Add(u"AM/PM");
            if (shape.DesignatorBlank) out.Add(u' ');
        }
        out.Add(u'H', shape.HourDigits == 1 ? 1 : 2);
        if (shape.TimePieces >= 2) out.Add(u":MM");
        if (shape.TimePieces >= 3) out.Add(u":SS");
        if (shape.FractionDigits > 0) {
            out.Add(u'.');
            out.Add(u'0', shape.FractionDigits);
        }
        if (shape.Designator == 2) {
            if (shape.DesignatorBlank) out.Add(u' ');
            out.Add(u"AM/PM");
        }
    }
    code.assign(out.data, out.length);
}

// A cursor over the text of a date-time.
class TDateTimeScanner {
public:
    TDateTimeScanner(std::u16string_view text, const TLocaleSettings& locale) : text_(text), locale_(locale) {}

    size_t Pos() const { return pos_; }
    void SetPos(size_t pos) { pos_ = pos; }
    bool AtEnd() const { return pos_ == text_.size(); }

    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == u' ' || text_[pos_] == kNoBreakSpace)) ++pos_;
    }

    bool Char(char16_t c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // Up to four digits.
    bool Number(int& value, int& digits) {
        value = 0;
        digits = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            if (++digits > 4) return false;
            value = value * 10 + (text_[pos_++] - u'0');
        }
        return digits > 0;
    }

    // An AM or PM designator, the locale's or the English one, ASCII case ignored: 1 AM, 2 PM, 0 none.
    int Designator() {
        if (pos_ >= text_.size()) return 0;
        // Every candidate starts with a letter: most texts are told apart by their first unit.
        const char16_t first = AsciiUpper(text_[pos_]);
        if (first != u'A' && first != u'P' &&
            (locale_.TimeAMString.empty() || first != AsciiUpper(locale_.TimeAMString[0])) &&
            (locale_.TimePMString.empty() || first != AsciiUpper(locale_.TimePMString[0]))) {
            return 0;
        }
        const std::u16string_view candidates[4] = {locale_.TimeAMString, u"AM", locale_.TimePMString, u"PM"};
        for (int k = 0; k < 4; ++k) {
            std::u16string_view name = candidates[k];
            if (name.empty() || text_.size() - pos_ < name.size()) continue;
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i) {
                same = AsciiUpper(text_[pos_ + i]) == AsciiUpper(name[i]);
            }
            if (same) {
                pos_ += name.size();
                return k < 2 ? 1 : 2;
            }
        }
        return 0;
    }

private:
    std::u16string_view text_;
    const TLocaleSettings& locale_;
    size_t pos_ = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ScanDate(TDateTimeScanner& scan, const TLocaleSettings& locale, double& date, TDateTimeShape& shape) {
    int numbers[3] = {0, 0, 0}, digits[3] = {0, 0, 0};
    scan.SkipBlanks();
    if (!scan.Number(numbers[0], digits[0])) return false;
    scan.SkipBlanks();
    if (!scan.Char(locale.DateSeparator)) return false;
    scan.SkipBlanks();
    if (!scan.Number(numbers[1], digits[1])) return false;
    int count = 2;
    size_t afterTwo = scan.Pos();
    scan.SkipBlanks();
    if (scan.Char(locale.DateSeparator)) {
        scan.SkipBlanks();
        if (!scan.Number(numbers[2], digits[2])) return false;
        count = 3;
    } else {
        scan.SetPos(afterTwo);
    }

    char16_t order = locale.DateOrder.empty() ? u'M' : locale.DateOrder[0];
    int year, month, day, yearDigits;
    if (count == 2) {
        year = locale.CurrentYear;
        yearDigits = 4;
        if (order == u'D') {
            day = numbers[0];
            month = numbers[1];
        } else {
            month = numbers[0];
            day = numbers[1];
        }
    } else if (order == u'D') {
        day = numbers[0], month = numbers[1], year = numbers[2], yearDigits = digits[2];
    } else if (order == u'Y') {
        year = numbers[0], month = numbers[1], day = numbers[2], yearDigits = digits[0];
    } else {
        month = numbers[0], day = numbers[1], year = numbers[2], yearDigits = digits[2];
    }
    if (yearDigits <= 2) {
        int start = locale.CurrentYear - locale.TwoDigitYearCenturyWindow;
        year += start / 100 * 100;
        if (locale.TwoDigitYearCenturyWindow > 0 && year < start) year += 100;
    }
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        return false;
    }
    date = DateSerial(year, month, day);
    shape.DatePieces = count;
    for (int k = 0; k < 3; ++k) shape.DateDigits[k] = digits[k];
    return true;
}

bool ScanTime(TDateTimeScanner& scan, const TLocaleSettings& locale, double& time, TDateTimeShape& shape) {
    scan.SkipBlanks();
    int designator = scan.Designator();
    int designatorAt = designator != 0 ? 1 : 0;
    const size_t afterDesignator = scan.Pos();
    scan.SkipBlanks();
    bool designatorBlank = scan.Pos() > afterDesignator;
    int hour = 0, minute = 0, second = 0, fraction = 0, hourDigits = 0, fractionDigits = 0, digits = 0;
    int pieces = 1;
    if (!scan.Number(hour, hourDigits)) return false;
    if (scan.Char(locale.TimeSeparator)) {
        if (!scan.Number(minute, digits)) return false;
        pieces = 2;
        if (scan.Char(locale.TimeSeparator)) {
            if (!scan.Number(second, digits)) return false;
            pieces = 3;
            // A fraction of the second, in tenths, hundredths or thousandths.
            if (scan.Char(locale.DecimalSeparator)) {
                if (!scan.Number(fraction, fractionDigits) || fractionDigits > 3) return false;
            }
        }
    }
    const size_t afterTime = scan.Pos();
    scan.SkipBlanks();
    if (designator == 0) {
        designatorBlank = scan.Pos() > afterTime;
        designator = scan.Designator();
        designatorAt = designator != 0 ? 2 : 0;
        scan.SkipBlanks();
    }
    if (designator != 0) {
        if (hour < 1 || hour > 12) return false;
        if (hour == 12) hour = 0;
        if (designator == 2) hour += 12;
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    const int millisecond = fractionDigits == 1 ? fraction * 100 : fractionDigits == 2 ? fraction * 10 : fraction;
    time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
    shape.TimePieces = pieces;
    shape.HourDigits = hourDigits;
    shape.FractionDigits = fractionDigits;
    shape.Designator = designatorAt;
    shape.DesignatorBlank = designatorAt != 0 && designatorBlank;
    return true;
}

// Whether the field can be neither a number nor a date-time, judged by its first characters: a
// number's text starts (after blanks and thousands separators) with a sign, a digit or a decimal
// point, and a date-time's (after blanks) with a digit or an AM/PM designator. Only a field this
// rules out is cut short; every other one goes through the whole recognition.
bool CannotBeValue(std::u16string_view field, const TLocaleSettings& locale) {
    size_t i = 0;
    while (i < field.size() && (field[i] == u' ' || field[i] == locale.ThousandSeparator)) ++i;
    if (i == field.size()) return false;
    char16_t c = field[i];
    if (IsDigit(c) || c == u'+' || c == u'-' || c == u'.' || c == locale.DecimalSeparator) return false;
    i = 0;
    while (i < field.size() && (field[i] == u' ' || field[i] == kNoBreakSpace)) ++i;
    if (i == field.size()) return false;
    c = AsciiUpper(field[i]);
    if (IsDigit(c) || c == u'A' || c == u'P') return false;
    for (const WideString* designator : {&locale.TimeAMString, &locale.TimePMString}) {
        if (!designator->empty() && c == AsciiUpper((*designator)[0])) return false;
    }
    return true;
}

}  // namespace

WideString DateOrder(std::u16string_view shortDateFormat, char16_t dateSeparator) {
    WideString order = u"   ";
    size_t slot = 0;
    for (char16_t c : shortDateFormat) {
        if (c == u' ' || c == dateSeparator) {
            if (++slot == 3) break;
        } else if (order[slot] == u' ') {
            order[slot] = AsciiUpper(c);
            if (slot == 2) break;
        }
    }
    return order;
}

WideString TimeOrder(std::u16string_view longTimeFormat, char16_t timeSeparator) {
    WideString order = u"   ";
    size_t slot = 0;
    for (char16_t c : longTimeFormat) {
        if (c == timeSeparator) {
            if (++slot == 3) break;
        } else if (order[slot] == u' ') {
            order[slot] = AsciiUpper(c);
            if (slot == 2) break;
        }
    }
    return order;
}

TLocaleSettings LocaleSettings(const TLocaleInfo& locale, int currentYear) {
    TLocaleSettings settings;
    settings.DecimalSeparator = locale.DecimalSeparator;
    settings.ThousandSeparator = locale.ThousandSeparator;
    settings.DateSeparator = locale.DateSeparator;
    settings.TimeSeparator = locale.TimeSeparator;
    settings.ShortDateFormat = locale.ShortDateFormat;
    settings.LongTimeFormat = locale.LongTimeFormat;
    settings.TimeAMString = locale.TimeAMString;
    settings.TimePMString = locale.TimePMString;
    settings.TwoDigitYearCenturyWindow = locale.TwoDigitYearCenturyWindow;
    settings.CurrentYear = currentYear;
    settings.DateOrder = DateOrder(locale.ShortDateFormat, locale.DateSeparator);
    settings.TimeOrder = TimeOrder(locale.LongTimeFormat, locale.TimeSeparator);
    return settings;
}

void SplitFields(std::u16string_view line, char16_t divider, std::vector<WideString>& fields) {
    fields.clear();
    size_t start = 0;
    for (;;) {
        size_t end = FindUnit(line, divider, start);
        if (end == std::u16string_view::npos) {
            fields.emplace_back(line.substr(start));
            return;
        }
        fields.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
}

double DateSerial(int year, int month, int day) {
    // Days from the civil date, counted from 1 March of year 0 (proleptic Gregorian calendar).
    auto daysFromCivil = [](int y, int m, int d) {
        y -= m <= 2;
        int era = (y >= 0 ? y : y - 399) / 400;
        int yearOfEra = y - era * 400;
        int dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        return era * 146097 + dayOfEra;
    };
    return static_cast<double>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

namespace {

// Parses a date-time and says how it was written.
bool ParseDateTime(std::u16string_view text, const TLocaleSettings& locale, double& result, TDateTimeShape& shape) {
    TDateTimeScanner scan(text, locale);
    double date = 0, time = 0;
    shape = TDateTimeShape();
    if (ScanDate(scan, locale, date, shape)) {
        scan.SkipBlanks();
        if (!scan.AtEnd() && !(ScanTime(scan, locale, time, shape) && scan.AtEnd())) return false;
        result = date < 0 ? date - time : date + time;
        return true;
    }
    scan.SetPos(0);
    shape = TDateTimeShape();
    if (ScanTime(scan, locale, time, shape) && scan.AtEnd()) {
        result = time;
        return true;
    }
    return false;
}

}  // namespace

bool TryParseDateTime(std::u16string_view text, const TLocaleSettings& locale, double& result) {
    TDateTimeShape shape;
    return ParseDateTime(text, locale, result, shape);
}

TFieldKind ClassifyField(std::u16string_view field, const TLocaleSettings& locale, TFieldValue& value) {
    value.Kind = fkText;
    value.Number = 0;
    value.DateTime = 0;
    value.FormatCode.clear();
    if (field.empty() || field.size() >= 20) return fkText;

    auto asDateTime = [&]() {
        TDateTimeShape shape;
        if (!ParseDateTime(field, locale, value.DateTime, shape)) {
            value.DateTime = 0;
            return false;
        }
        value.Kind = fkDateTime;
        DateTimeFormatCode(shape, locale, value.FormatCode);
        return true;
    };

    if (CannotBeValue(field, locale)) return fkText;

    // Where the thousands separator is also the date separator, a field holding it twice is a
    // date when it parses as one; otherwise every such date would read as a large integer.
    bool dateFirst = false;
    if (locale.ThousandSeparator == locale.DateSeparator) {
        size_t dateSeparators = 0;
        for (char16_t c : field) dateSeparators += c == locale.DateSeparator;
        dateFirst = dateSeparators >= 2;
    }
    if (dateFirst && asDateTime()) return fkDateTime;

    // Fields have at most 19 characters here, and so has the cleaned text.
    bool candidate = true;
    char16_t cleaned[20];
    size_t cleanedLength = 0;
    for (char16_t c : field) {
        if (c >= u'A' && c != u'E' && c != u'e') {
            candidate = false;
            break;
        }
        if (c == u' ' || c == locale.ThousandSeparator) continue;
        cleaned[cleanedLength++] = c == u'.' ? locale.DecimalSeparator : c;
    }
    // More than 15 significant digits are more than a double holds: the cell would show other
    // digits than the field (identifiers, card numbers), so such a field is no number.
    int significant = 0;
    if (candidate &&
        ParseCleanNumber(std::u16string_view(cleaned, cleanedLength), locale.DecimalSeparator, value.Number, significant) &&
        significant <= 15) {
        value.Kind = fkNumber;
        NumberFormatCode(field, locale, significant, value.FormatCode);
        return fkNumber;
    }
    value.Number = 0;
    if (!dateFirst && asDateTime()) return fkDateTime;
    return fkText;
}

}  // namespace quarvel
