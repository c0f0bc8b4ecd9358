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
// separator, optional exponent. A value beyond the double range is no number.
bool ParseCleanNumber(std::u16string_view text, char16_t decimal, double& result) {
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
    bool significant = false, point = false;
    uint64_t mantissa = 0;  // all the digits as one integer: at most 19 of them, so it fits
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsDigit(c)) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - u'0');
            if (!point) {
                if (c != u'0' || significant) {
                    significant = true;
                    ++intDigits;
                } else {
                    ++leadingZeros;
                }
            } else {
                if (!significant && c == u'0') ++fracZeros;
                if (c != u'0') significant = true;
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

// The number format code that mirrors how the field shows its digits, into `code`.
void NumberFormatCode(std::u16string_view field, const TLocaleSettings& locale, WideString& code) {
    // Built backwards from the field's last character; fields have at most 19 characters.
    char16_t built[32];
    size_t start = sizeof built / sizeof built[0];
    bool decimalSeen = false, groupingSeen = false;
    for (size_t i = field.size(); i-- > 0 && start > 0;) {
        char16_t c = field[i];
        if (c == u'.' || c == locale.DecimalSeparator) {
            built[--start] = u'.';
            decimalSeen = true;
        } else if (IsDigit(c)) {
            built[--start] = u'#';
        } else if (c == u' ' || c == locale.ThousandSeparator) {
            built[--start] = locale.ThousandSeparator;
            groupingSeen = true;
        }
    }
    char16_t* first = built + start;
    const size_t length = sizeof built / sizeof built[0] - start;
    if (decimalSeen) {
        bool pointMet = false;
        for (size_t i = length; i-- > 0;) {
            if (first[i] == u'.') {
                pointMet = true;
            } else if (first[i] == u'#') {
                first[i] = u'0';
                if (pointMet) break;
            }
        }
    }
    if (!decimalSeen && !groupingSeen) {
        code.assign(u"0");
        return;
    }
    if (groupingSeen) {
        // From the last separator (a thousands separator or a blank) on, behind one "#".
        for (size_t i = length; i-- > 0;) {
            if (first[i] == locale.ThousandSeparator || first[i] == u' ') {
                code.assign(1, u'#');
                code.append(first + i, length - i);
                return;
            }
        }
    }
    code.assign(first, length);
}

// The number format code that mirrors how the field writes its date and time, into `code`.
void DateTimeFormatCode(std::u16string_view field, const TLocaleSettings& locale, WideString& code) {
    // The date part runs to the field's last blank (a space or a no-break space), the time part
    // after it.
    size_t split = field.size();
    while (split > 0 && field[split - 1] != u' ' && field[split - 1] != kNoBreakSpace) --split;
    const bool hasTime = split > 0;
    std::u16string_view datePart = hasTime ? field.substr(0, split - 1) : field;
    std::u16string_view timePart = hasTime ? field.substr(split) : std::u16string_view();

    auto letter = [](const WideString& order, size_t k) { return k < order.size() ? order[k] : u' '; };

    // At most 3 pieces of at most 4 letters with 2 separators, a blank and 3 pieces of 2 letters
    // with 2 separators.
    char16_t out[32];
    size_t n = 0;
    auto append = [&](size_t count, char16_t c) {
        while (count-- > 0) out[n++] = c;
    };
    size_t pieces[3] = {0, 0, 0};
    char16_t separator = 0;
    size_t piece = 0;
    for (char16_t c : datePart) {
        if (c == u' ' || c == locale.DateSeparator) {
            if (!separator) separator = c;
            if (++piece == 3) break;
        } else {
            ++pieces[piece];
        }
    }
    for (size_t k = 0; k < 3; ++k) {
        char16_t l = letter(locale.DateOrder, k);
        size_t count = pieces[k] == 1 ? 1 : (pieces[k] == 4 && l == u'Y' ? 4 : 2);
        append(count, l);
        if (k < 2 && separator) append(1, separator);
    }

    if (!timePart.empty()) {
        append(1, u' ');
        size_t timePieces[3] = {0, 0, 0};
        char16_t timeSeparator = 0;
        piece = 0;
        for (char16_t c : timePart) {
            if (c == u' ' || c == locale.TimeSeparator) {
                if (!timeSeparator) timeSeparator = c;
                if (++piece == 3) break;
            } else {
                ++timePieces[piece];
            }
        }
        for (size_t k = 0; k < 3; ++k) {
            append(timePieces[k] == 1 ? 1 : 2, letter(locale.TimeOrder, k));
            if (k < 2 && timeSeparator) append(1, timeSeparator);
        }
    }
    code.assign(out, n);
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

bool ScanDate(TDateTimeScanner& scan, const TLocaleSettings& locale, double& date) {
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
    return true;
}

bool ScanTime(TDateTimeScanner& scan, const TLocaleSettings& locale, double& time) {
    scan.SkipBlanks();
    int designator = scan.Designator();
    scan.SkipBlanks();
    int hour = 0, minute = 0, second = 0, millisecond = 0, digits = 0;
    if (!scan.Number(hour, digits)) return false;
    if (scan.Char(locale.TimeSeparator)) {
        if (!scan.Number(minute, digits)) return false;
        if (scan.Char(locale.TimeSeparator)) {
            if (!scan.Number(second, digits)) return false;
            if (scan.Char(locale.DecimalSeparator)) {
                if (!scan.Number(millisecond, digits)) return false;
            }
        }
    }
    scan.SkipBlanks();
    if (designator == 0) {
        designator = scan.Designator();
        scan.SkipBlanks();
    }
    if (designator != 0) {
        if (hour < 1 || hour > 12) return false;
        if (hour == 12) hour = 0;
        if (designator == 2) hour += 12;
    }
    if (hour > 23 || minute > 59 || second > 59 || millisecond > 999) return false;
    time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
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

bool TryParseDateTime(std::u16string_view text, const TLocaleSettings& locale, double& result) {
    TDateTimeScanner scan(text, locale);
    double date = 0, time = 0;
    if (ScanDate(scan, locale, date)) {
        scan.SkipBlanks();
        if (!scan.AtEnd() && !(ScanTime(scan, locale, time) && scan.AtEnd())) return false;
        result = date < 0 ? date - time : date + time;
        return true;
    }
    scan.SetPos(0);
    if (ScanTime(scan, locale, time) && scan.AtEnd()) {
        result = time;
        return true;
    }
    return false;
}

TFieldKind ClassifyField(std::u16string_view field, const TLocaleSettings& locale, TFieldValue& value) {
    value.Kind = fkText;
    value.Number = 0;
    value.DateTime = 0;
    value.FormatCode.clear();
    if (field.empty() || field.size() >= 20) return fkText;

    auto asDateTime = [&]() {
        if (!TryParseDateTime(field, locale, value.DateTime)) return false;
        value.Kind = fkDateTime;
        DateTimeFormatCode(field, locale, value.FormatCode);
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
    if (candidate && ParseCleanNumber(std::u16string_view(cleaned, cleanedLength), locale.DecimalSeparator, value.Number)) {
        value.Kind = fkNumber;
        NumberFormatCode(field, locale, value.FormatCode);
        return fkNumber;
    }
    value.Number = 0;
    if (!dateFirst && asDateTime()) return fkDateTime;
    return fkText;
}

}  // namespace quarvel
