// Inputs meant to break the scanner and the recognisers: truncated, binary, huge or malformed.
// They must neither crash nor read out of bounds (the sanitizer build runs these as well).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "converter/Converter.h"
#include "converter/Fields.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;

const std::string kRichPage =
    "<html><title>T &amp; t</title><style>p{}</style><script>x<y</script>"
    "<TABLE><caption>Cap</caption><TR><TD COLSPAN=\"2\" class=a>a&nbsp;b</TD><td rowspan=3>c</td></TR>"
    "<tr><td>1,234.5</td><td><img src=x alt=\"two words\"></td></tr><br><hr>"
    "<p>&lt;x&gt; &quot;q&quot;</p><td colspan=0 rowspan=2>z</td></tr></table></html>";

// Every line of text that came out must be classified without trouble.
void ClassifyAll(const TConverter& converter) {
    TLocaleSettings us = LocaleSettings(TLocaleInfo{}, 2025);
    TLocaleInfo germanInfo;
    germanInfo.DecimalSeparator = u',';
    germanInfo.ThousandSeparator = u'.';
    germanInfo.DateSeparator = u'.';
    germanInfo.ShortDateFormat = u"dd.MM.yyyy";
    TLocaleSettings german = LocaleSettings(germanInfo, 2025);
    std::vector<WideString> fields;
    TFieldValue value;
    for (const WideString& line : converter.Lines) {
        SplitFields(line, u'\t', fields);
        for (const WideString& field : fields) {
            ClassifyField(field, us, value);
            ClassifyField(field, german, value);
        }
    }
}

void Flatten(const std::string& page, const std::string& header = "") {
    TConverter converter;
    converter.Settings.HeaderText = header;
    converter.FlattenHtml(page);
    ClassifyAll(converter);
}

TEST(HostileInput, EveryTruncationOfAPage) {
    for (size_t length = 0; length <= kRichPage.size(); ++length) {
        SCOPED_TRACE(length);
        Flatten(kRichPage.substr(0, length));
        Flatten(kRichPage.substr(0, length), "H");
        // And every suffix: pages that start in the middle of a tag.
        Flatten(kRichPage.substr(length));
    }
}

TEST(HostileInput, RandomBytesAndRandomTagSoup) {
    std::mt19937 random(20240601);
    const std::vector<std::string> pieces = {
        "<", ">", "<td", "</td>", "<tr>", "</tr>", "<p>", "</p>", "<br>", "<hr>", "<img alt=", " alt=", "\"", "'",
        " colspan=", " rowspan=", "2", "0", "-1", "99999999999", "&nbsp;", "&lt;", "&", ";", " ", "\r", "\n",
        "\0"s, "\xC3", "\xA9", "\xFF", "<script", "</script>", "<style", "</style>", "</caption>", "</title>",
        "<TD", "</TD>", "x", "1.5", "12.05.2009", "5/12/2009 10:30 PM", "1e309",
    };
    for (int round = 0; round < 300; ++round) {
        std::string page;
        int count = static_cast<int>(random() % 200);
        for (int k = 0; k < count; ++k) {
            if (random() % 4 == 0) {
                page.push_back(static_cast<char>(random() & 0xFF));
            } else {
                page += pieces[random() % pieces.size()];
            }
        }
        Flatten(page, round % 2 ? "Head" : "");
    }
}

TEST(HostileInput, ZeroBytesEmptyAndBinary) {
    Flatten("");
    Flatten(std::string(1000, '\0'));
    Flatten("<p>a\0b</p>\0<td colspan=2>x</td></tr>"s, "H");
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    Flatten(binary);
    Flatten("<p>" + binary + "</p>");
}

TEST(HostileInput, VeryLongLinesAndValues) {
    std::string longCell = "<tr><td>" + std::string(2'000'000, 'x') + "</td><td colspan=3>y</td></tr>";
    TConverter converter;
    std::string out = converter.FlattenHtml(longCell);
    EXPECT_EQ(out.size(), 2'000'000 + 1 + 1 + 2 + 2);  // cells, divider, y, two spanned dividers, CR LF
    Flatten("<p>" + std::string(1'000'000, ' ') + "</p>");
    Flatten("<td colspan=" + std::string(100000, '9') + ">x</td>");
    Flatten("<img alt=\"" + std::string(100000, 'a'));
    Flatten("<p>" + std::string(100000, '&') + "nbsp;</p>");
    Flatten(std::string(100000, '<'));
    Flatten("<p>x</p><script>" + std::string(100000, '<'));
}

TEST(HostileInput, ManyWideSpansStayBounded) {
    // A small page asking for the widest spans on every row.
    std::string page;
    for (int row = 0; row < 50; ++row) page += "<tr><td colspan=100000 rowspan=100000>x</td></tr>";
    TConverter converter;
    std::string out = converter.FlattenHtml(page);
    EXPECT_EQ(converter.SpanList.size(), 50u);
    EXPECT_LT(out.size(), 50u * 50u * 1000u + 1000u);
}

TEST(HostileInput, InvalidUtf8InCellsAndFields) {
    Flatten("<tr><td>\xC3</td><td>\xED\xA0\x80</td><td>\xF4\x90\x80\x80</td><td>\xE2\x82</td></tr>");
    TConverter converter;
    converter.FlattenHtml("<tr><td>1\xA0" "000</td></tr>");
    ASSERT_EQ(converter.Lines.size(), 1u);
    TFieldValue value;
    EXPECT_EQ(ClassifyField(converter.Lines[0], LocaleSettings(TLocaleInfo{}, 2025), value), fkText);
}

TEST(HostileInput, FieldsOfEveryShape) {
    TLocaleSettings us = LocaleSettings(TLocaleInfo{}, 2025);
    std::mt19937 random(7);
    const std::u16string alphabet = u"0123456789.,:/ -+eEAPM\u00A0";
    TFieldValue value;
    for (int round = 0; round < 20000; ++round) {
        std::u16string field;
        size_t length = random() % 22;
        for (size_t k = 0; k < length; ++k) field.push_back(alphabet[random() % alphabet.size()]);
        TFieldKind kind = ClassifyField(field, us, value);
        EXPECT_EQ(kind == fkText, value.FormatCode.empty()) << std::string(field.begin(), field.end());
        EXPECT_TRUE(std::isfinite(value.Number));
        EXPECT_TRUE(std::isfinite(value.DateTime));
    }
}

}  // namespace
}  // namespace quarvel
