// Reading the locale into its plain value.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/Locale.h"

namespace quarvel {
namespace {

TEST(StrftimeToPattern, Conversions) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"%d.%m.%Y", u"dd.MM.yyyy"}, {u"%m/%d/%Y", u"MM/dd/yyyy"}, {u"%e/%m/%y", u"d/MM/yy"},
        {u"%Y-%m-%d", u"yyyy-MM-dd"}, {u"%D", u"MM/dd/yy"},          {u"%F", u"yyyy-MM-dd"},
        {u"%H:%M:%S", u"HH:mm:ss"},   {u"%T", u"HH:mm:ss"},          {u"%r", u"hh:mm:ss tt"},
        {u"%I:%M:%S %p", u"hh:mm:ss tt"}, {u"%Ey", u"yy"},         {u"%A %d", u" dd"},
        {u"100%%", u"100%"},          {u"%", u"%"},                  {u"", u""},
    };
    for (const auto& [format, pattern] : cases) {
        EXPECT_EQ(StrftimeToPattern(format), pattern) << std::string(format.begin(), format.end());
    }
}

TEST(ShortTimeFromLongTime, DropsSecondsAndNamesTheDesignator) {
    EXPECT_EQ(ShortTimeFromLongTime(u"h:mm:ss tt"), u"h:mm AMPM");
    EXPECT_EQ(ShortTimeFromLongTime(u"HH:mm:ss"), u"HH:mm");
    EXPECT_EQ(ShortTimeFromLongTime(u"H.mm.ss"), u"H.mm");
    EXPECT_EQ(ShortTimeFromLongTime(u"tt hh:mm:ss"), u"AMPM hh:mm");
    EXPECT_EQ(ShortTimeFromLongTime(u"HH:mm"), u"HH:mm");
}

TEST(PaperSizeFromMillimetres, FourSizesElseA4) {
    EXPECT_EQ(PaperSizeFromMillimetres(210, 297), 9);
    EXPECT_EQ(PaperSizeFromMillimetres(216, 279), 1);
    EXPECT_EQ(PaperSizeFromMillimetres(216, 356), 5);
    EXPECT_EQ(PaperSizeFromMillimetres(297, 420), 8);
    EXPECT_EQ(PaperSizeFromMillimetres(279, 216), 1);
    EXPECT_EQ(PaperSizeFromMillimetres(0, 0), 9);
    EXPECT_EQ(PaperSizeFromMillimetres(148, 210), 9);
}

TEST(LocaleFromSource, PosixIsUs) {
    TLocaleInfo info = LocaleFromSource(TLocaleSource{}, TCodePage());
    EXPECT_EQ(info.DecimalSeparator, u'.');
    EXPECT_EQ(info.ThousandSeparator, u',');
    EXPECT_EQ(info.DateSeparator, u'/');
    EXPECT_EQ(info.TimeSeparator, u':');
    EXPECT_EQ(info.ShortDateFormat, u"M/d/yyyy");
    EXPECT_EQ(info.LongTimeFormat, u"h:mm:ss tt");
    EXPECT_EQ(info.ShortTimeFormat, u"h:mm AMPM");
    EXPECT_EQ(info.TimeAMString, u"AM");
    EXPECT_EQ(info.TimePMString, u"PM");
    EXPECT_EQ(info.DefaultPaperSize, 9);
}

TEST(LocaleFromSource, GermanAndUsValues) {
    TLocaleSource german;
    german.NumericIsPosix = false;
    german.DecimalPoint = ",";
    german.ThousandsSeparator = ".";
    german.TimeIsPosix = false;
    german.DateFormat = "%d.%m.%Y";
    german.TimeFormat = "%T";
    german.PaperWidth = 210;
    german.PaperHeight = 297;
    TLocaleInfo de = LocaleFromSource(german, TCodePage());
    EXPECT_EQ(de.DecimalSeparator, u',');
    EXPECT_EQ(de.ThousandSeparator, u'.');
    EXPECT_EQ(de.DateSeparator, u'.');
    EXPECT_EQ(de.TimeSeparator, u':');
    EXPECT_EQ(de.ShortDateFormat, u"dd.MM.yyyy");
    EXPECT_EQ(de.LongTimeFormat, u"HH:mm:ss");
    EXPECT_EQ(de.ShortTimeFormat, u"HH:mm");
    EXPECT_EQ(de.TimeAMString, u"");
    EXPECT_EQ(de.DefaultPaperSize, 9);

    TLocaleSource us;
    us.NumericIsPosix = false;
    us.DecimalPoint = ".";
    us.ThousandsSeparator = ",";
    us.TimeIsPosix = false;
    us.DateFormat = "%m/%d/%Y";
    us.TimeFormat = "%r";
    us.AmString = "AM";
    us.PmString = "PM";
    us.PaperWidth = 216;
    us.PaperHeight = 279;
    TLocaleInfo en = LocaleFromSource(us, TCodePage());
    EXPECT_EQ(en.ShortDateFormat, u"MM/dd/yyyy");
    EXPECT_EQ(en.LongTimeFormat, u"hh:mm:ss tt");
    EXPECT_EQ(en.ShortTimeFormat, u"hh:mm AMPM");
    EXPECT_EQ(en.DateSeparator, u'/');
    EXPECT_EQ(en.DefaultPaperSize, 1);
}

TEST(LocaleFromSource, SeparatorsInTheLocalesCodePageAndWithoutGrouping) {
    TLocaleSource french;
    french.NumericIsPosix = false;
    french.DecimalPoint = ",";
    french.ThousandsSeparator = "\xE2\x80\xAF";  // narrow no-break space in UTF-8
    TLocaleInfo fr = LocaleFromSource(french, TCodePage());
    EXPECT_EQ(fr.DecimalSeparator, u',');
    EXPECT_EQ(fr.ThousandSeparator, u'\u202F');

    TLocaleSource noGrouping;
    noGrouping.NumericIsPosix = false;
    noGrouping.DecimalPoint = ",";
    EXPECT_EQ(LocaleFromSource(noGrouping, TCodePage()).ThousandSeparator, u'\u00A0');
    noGrouping.DecimalPoint = ".";
    EXPECT_EQ(LocaleFromSource(noGrouping, TCodePage()).ThousandSeparator, u',');
}

TEST(ReadProcessLocale, TheCLocaleReadsAsUs) {
    // The tests run under LC_ALL=C; the process locale of a test program is "C" unless set.
    std::setlocale(LC_ALL, "C");
    TLocaleInfo info = ReadProcessLocale();
    EXPECT_EQ(info.DecimalSeparator, u'.');
    EXPECT_EQ(info.ThousandSeparator, u',');
    EXPECT_EQ(info.ShortDateFormat, u"M/d/yyyy");
    EXPECT_EQ(info.LongTimeFormat, u"h:mm:ss tt");
    EXPECT_EQ(info.ShortTimeFormat, u"h:mm AMPM");
    EXPECT_EQ(info.DefaultPaperSize, 9);
    EXPECT_TRUE(TCodePage::FromProcessLocale().IsUtf8());
}

TEST(CurrentYear, IsPlausible) {
    int year = CurrentYear();
    EXPECT_GE(year, 2024);
    EXPECT_LE(year, 2200);
}

}  // namespace
}  // namespace quarvel
