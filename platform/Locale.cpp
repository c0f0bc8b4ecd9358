#include "platform/Locale.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <langinfo.h>

namespace quarvel {

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsPosixName(const char* name) {
    if (!name) return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0;
}

int PaperValue(nl_item item) {
#ifdef __GLIBC__
    // glibc hands these integers back in the pointer itself.
    union {
        char* string;
        unsigned int word;
    } value;
    value.string = ::nl_langinfo(item);
    return static_cast<int>(value.word);
#else
    (void)item;
    return 0;
#endif
}

}  // namespace

TLocaleInfo UsLocaleInfo() { return TLocaleInfo{}; }

WideString StrftimeToPattern(std::u16string_view format) {
    WideString out;
    for (size_t i = 0; i < format.size(); ++i) {
        char16_t c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        char16_t conversion = format[++i];
        // Alternative-representation modifiers (%Ey, %Od) read as the plain conversion.
        if ((conversion == u'E' || conversion == u'O') && i + 1 < format.size()) conversion = format[++i];
        switch (conversion) {
            case u'd': out += u"dd"; break;
            case u'e': out += u"d"; break;
            case u'm': out += u"MM"; break;
            case u'Y': out += u"yyyy"; break;
            case u'y': out += u"yy"; break;
            case u'H': out += u"HH"; break;
            case u'k': out += u"H"; break;
            case u'I': out += u"hh"; break;
            case u'l': out += u"h"; break;
            case u'M': out += u"mm"; break;
            case u'S': out += u"ss"; break;
            case u'p':
            case u'P': out += u"tt"; break;
            case u'T': out += u"HH:mm:ss"; break;
            case u'R': out += u"HH:mm"; break;
            case u'r': out += u"hh:mm:ss tt"; break;
            case u'D': out += u"MM/dd/yy"; break;
            case u'F': out += u"yyyy-MM-dd"; break;
            case u'%': out += u"%"; break;
            default: break;  // names of days and months have no place in a numeric pattern
        }
    }
    return out;
}

char16_t PatternSeparator(std::u16string_view pattern, char16_t fallback) {
    for (char16_t c : pattern) {
        if (!IsAsciiLetter(c)) return c;
    }
    return fallback;
}

WideString ShortTimeFromLongTime(std::u16string_view longTime) {
    WideString out(longTime);
    auto seconds = out.find(u's');
    if (seconds != WideString::npos) {
        size_t end = seconds;
        while (end < out.size() && out[end] == u's') ++end;
        // Also drop what stands between the minutes and the seconds (the separator).
        size_t start = seconds;
        while (start > 0 && !IsAsciiLetter(out[start - 1])) --start;
        out.erase(start, end - start);
    }
    auto ampm = out.find(u't');
    if (ampm != WideString::npos) {
        size_t end = ampm;
        while (end < out.size() && out[end] == u't') ++end;
        out.replace(ampm, end - ampm, u"AMPM");
    }
    return out;
}

int PaperSizeFromMillimetres(int width, int height) {
    struct Size {
        int width, height, code;
    };
    static constexpr Size kSizes[] = {{210, 297, 9}, {216, 279, 1}, {216, 356, 5}, {297, 420, 8}};
    for (const auto& size : kSizes) {
        if ((width == size.width && height == size.height) || (width == size.height && height == size.width)) {
            return size.code;
        }
    }
    return 9;
}

TLocaleInfo LocaleFromSource(const TLocaleSource& source, const TCodePage& codePage) {
    TLocaleInfo info = UsLocaleInfo();
    if (!source.NumericIsPosix) {
        WideString decimal = codePage.Decode(source.DecimalPoint);
        WideString thousands = codePage.Decode(source.ThousandsSeparator);
        if (!decimal.empty()) info.DecimalSeparator = decimal[0];
        // A locale without grouping still needs a separator that differs from the decimal one.
        if (!thousands.empty()) {
            info.ThousandSeparator = thousands[0];
        } else {
            info.ThousandSeparator = info.DecimalSeparator == u',' ? u'\u00A0' : u',';
        }
    }
    if (!source.TimeIsPosix) {
        WideString date = StrftimeToPattern(codePage.Decode(source.DateFormat));
        WideString time = StrftimeToPattern(codePage.Decode(source.TimeFormat));
        if (!date.empty()) info.ShortDateFormat = date;
        if (!time.empty()) info.LongTimeFormat = time;
        info.TimeAMString = codePage.Decode(source.AmString);
        info.TimePMString = codePage.Decode(source.PmString);
        info.DateSeparator = PatternSeparator(info.ShortDateFormat, u'/');
        info.TimeSeparator = PatternSeparator(info.LongTimeFormat, u':');
        info.ShortTimeFormat = ShortTimeFromLongTime(info.LongTimeFormat);
    }
    info.DefaultPaperSize = PaperSizeFromMillimetres(source.PaperWidth, source.PaperHeight);
    return info;
}

TLocaleInfo ReadProcessLocale() {
    TLocaleSource source;
    source.NumericIsPosix = IsPosixName(std::setlocale(LC_NUMERIC, nullptr));
    source.DecimalPoint = ::nl_langinfo(RADIXCHAR);
    source.ThousandsSeparator = ::nl_langinfo(THOUSEP);
    source.TimeIsPosix = IsPosixName(std::setlocale(LC_TIME, nullptr));
    source.DateFormat = ::nl_langinfo(D_FMT);
    source.TimeFormat = ::nl_langinfo(T_FMT);
    source.AmString = ::nl_langinfo(AM_STR);
    source.PmString = ::nl_langinfo(PM_STR);
#ifdef __GLIBC__
    source.PaperWidth = PaperValue(_NL_PAPER_WIDTH);
    source.PaperHeight = PaperValue(_NL_PAPER_HEIGHT);
#endif
    return LocaleFromSource(source, TCodePage::FromProcessLocale());
}

int CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace quarvel
