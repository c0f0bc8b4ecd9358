// Upper-casing of UTF-16 text without the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <utility>

#include "platform/UnicodeCase.h"

namespace quarvel {
namespace {

TEST(UnicodeUpper, SimpleMappingsOfTheBasicPlane) {
    const std::pair<char16_t, char16_t> cases[] = {
        {u'a', u'A'}, {u'z', u'Z'}, {u'A', u'A'}, {u'1', u'1'}, {u'@', u'@'},
        {u'à', u'À'}, {u'ö', u'Ö'}, {u'ÿ', u'Ÿ'},   // Latin-1, and its one letter outside it
        {u'ā', u'Ā'}, {u'ł', u'Ł'}, {u'ž', u'Ž'},   // alternating pairs of Latin Extended-A
        {u'Ā', u'Ā'},                              // the upper half of such a pair stays
        {u'ı', u'I'}, {u'ß', u'ß'},                // dotless i; sharp s has no one-letter capital
        {u'α', u'Α'}, {u'ς', u'Σ'},                // Greek, final sigma
        {u'я', u'Я'}, {u'ё', u'Ё'}, {u'ѣ', u'Ѣ'},   // Cyrillic, both blocks of it
        {u'ａ', u'Ａ'},                             // fullwidth
        {u'漢', u'漢'}, {char16_t(0xD801), char16_t(0xD801)},  // no case; a surrogate unit
    };
    for (auto [lower, upper] : cases)
        EXPECT_EQ(int(UnicodeUpper(lower)), int(upper)) << "U+" << std::hex << int(lower);
}

TEST(UnicodeUpper, DoesNotDependOnTheProcessLocale) {
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(UnicodeUpperCase(u"Лист1 straße"), u"ЛИСТ1 STRAßE");
    EXPECT_TRUE(SameTextIgnoringCase(u"Sheet1", u"sHEET1"));
    EXPECT_TRUE(SameTextIgnoringCase(u"лист", u"ЛИСТ"));
    EXPECT_FALSE(SameTextIgnoringCase(u"Sheet1", u"Sheet12"));
    EXPECT_FALSE(SameTextIgnoringCase(u"Sheet1", u"Sheet2"));
}

}  // namespace
}  // namespace quarvel
