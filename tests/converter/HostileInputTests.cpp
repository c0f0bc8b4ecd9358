// Inputs meant to break the scanner and the recognisers: truncated, binary, huge or malformed.
// Each page must flatten into lines that keep the flattener's invariants, its fields must classify
// soundly, a few of them go all the way to a workbook that xlrd reads back with the cells meant,
// and the memory they take stays bounded. The sanitizer build runs these as well.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <random>

#include "converter/Converter.h"
#include "converter/Fields.h"
#include "converter/SheetBuilder.h"
#include "platform/Text.h"
#include "tests/converter/ConverterSupport.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XLSWriter.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;

const std::string kRichPage =
    "<html><title>T &amp; t</title><style>p{}</style><script>x<y</script>"
    "<TABLE><caption>Cap</caption><TR><TD COLSPAN=\"2\" class=a>a&nbsp;b</TD><td rowspan=3>c</td></TR>"
    "<tr><td>1,234.5</td><td><img src=x alt=\"two words\"></td></tr><br><hr>"
    "<p>&lt;x&gt; &quot;q&quot;</p><td colspan=0 rowspan=2>z</td></tr></table></html>";

// Peak resident memory of this process so far, in MiB.
long PeakMiB() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Every field of every line, in US and German conventions: a number or a date has a format code,
// text has none, and no value is NaN or infinite.
void ExpectFieldsClassify(const TConverter& converter) {
    const TLocaleSettings locales[] = {LocaleSettings(TLocaleInfo{}, 2025), LocaleSettings(test::GermanLocale(), 2025)};
    std::vector<WideString> fields;
    TFieldValue value;
    for (const WideString& line : converter.Lines) {
        SplitFields(line, u'\t', fields);
        for (const WideString& field : fields) {
            for (const TLocaleSettings& locale : locales) {
                const TFieldKind kind = ClassifyField(field, locale, value);
                ASSERT_EQ(kind == fkText, value.FormatCode.empty()) << Utf16ToUtf8(field);
                ASSERT_TRUE(std::isfinite(value.Number) && std::isfinite(value.DateTime)) << Utf16ToUtf8(field);
                if (field.size() >= 20) {
                    ASSERT_EQ(kind, fkText) << Utf16ToUtf8(field);
                }
            }
        }
    }
}

// What the flattener must keep for any page: lines without line breaks, a colour for every line,
// span records inside the lines there are (the header record first and alone across every column),
// and the same result for the same page on every run.
void ExpectSoundFlattening(TConverter& converter, const std::string& page, const std::string& out) {
    const auto lineCount = static_cast<int32_t>(converter.Lines.size());
    for (const WideString& line : converter.Lines) {
        ASSERT_EQ(line.find_first_of(u"\r\n"), WideString::npos) << Utf16ToUtf8(line);
    }
    ASSERT_GE(converter.LineColors.size(), converter.Lines.size());
    for (size_t k = 0; k < converter.SpanList.size(); ++k) {
        const TSpanRecord& span = converter.SpanList[k];
        SCOPED_TRACE("span " + std::to_string(k) + ": " + std::to_string(span.Col1) + "," + std::to_string(span.Row1) +
                     "," + std::to_string(span.Col2) + "," + std::to_string(span.Row2) + " of " +
                     std::to_string(lineCount) + " lines");
        ASSERT_GE(span.Col1, 1);
        ASSERT_GE(span.Row1, 1);
        if (k > 0) {
            ASSERT_GE(span.Row1, converter.SpanList[k - 1].Row1);
        }
        if (span.Col2 < 0) {
            ASSERT_EQ(k, 0u);
            ASSERT_FALSE(converter.Settings.HeaderText.empty());
        } else if (span.Col2 == 0) {
            ASSERT_EQ(span.Row1, span.Row2);
        } else {
            ASSERT_GE(span.Col2, span.Col1);
            ASSERT_LT(span.Col2 - span.Col1, 1000);
            ASSERT_GE(span.Row2, span.Row1);
            ASSERT_LE(span.Row2, lineCount);
        }
    }
    TConverter again;
    again.Settings = converter.Settings;
    ASSERT_EQ(again.FlattenHtml(page), out);
    ASSERT_EQ(again.Lines, converter.Lines);
    ASSERT_EQ(again.SpanList, converter.SpanList);
    ASSERT_EQ(again.LineColors, converter.LineColors);
    // A converter used before flattens the page just the same.
    ASSERT_EQ(converter.FlattenHtml(page), out);
    ASSERT_EQ(converter.Lines, again.Lines);
    ExpectFieldsClassify(converter);
}

struct TFlattened {
    std::string Out;
    std::vector<WideString> Lines;
    std::vector<TSpanRecord> Spans;
};

TFlattened Flatten(const std::string& page, const std::string& header = "") {
    TConverter converter;
    converter.Settings.HeaderText = header;
    const std::string out = converter.FlattenHtml(page);
    ExpectSoundFlattening(converter, page, out);
    return {out, converter.Lines, converter.SpanList};
}

// Fills a workbook from the page as a conversion does, writes it into memory and has xlrd read the
// file: it must hold the sheet the model meant, and every non-empty field within the sheet's limits
// as its cell (a text as the field's characters, up to the longest a cell holds; a number or a
// date as a number). Returns the conversion's report.
TConversionReport ExpectWorkbookReadsBack(const std::string& page, const std::string& header = "") {
    TConverter converter;
    converter.Settings.HeaderText = header;
    converter.FlattenHtml(page);
    TXLSWorkbook workbook(converter.Locale);
    workbook.ApplyStoredValues();
    const TConversionReport report = FillWorkbook(converter, workbook);
    std::vector<uint8_t> stream;
    workbook.WriteToStream(TBIFF8Writer(), &stream);
    test::TTempDir dir;
    test::WriteBytes(dir.File("page.xls"), std::string(stream.begin(), stream.end()));
    const test::TSheetView file = test::ReadWorkbookFile(dir.File("page.xls"));
    EXPECT_EQ(file.Error, "");
    for (const std::string& difference : test::Differences(test::ViewOfModel(workbook), file)) {
        ADD_FAILURE() << difference;
    }
    const TLocaleSettings locale = LocaleSettings(converter.Locale, CurrentYear());
    std::vector<WideString> fields;
    TFieldValue value;
    size_t checked = 0;
    for (size_t row = 0; row < converter.Lines.size() && row < 65536; ++row) {
        SplitFields(converter.Lines[row], u'\t', fields);
        for (size_t col = 0; col < fields.size() && col < 256; ++col) {
            if (fields[col].empty()) continue;
            const auto found = file.Cells.find({static_cast<int>(row), static_cast<int>(col)});
            if (found == file.Cells.end()) {
                ADD_FAILURE() << "no cell at " << row << "," << col << " for '" << Utf16ToUtf8(fields[col]) << "'";
                continue;
            }
            ++checked;
            if (ClassifyField(fields[col], locale, value) == fkText) {
                EXPECT_EQ(found->second.Kind, "text") << row << "," << col;
                EXPECT_EQ(found->second.Text, fields[col].substr(0, 32767)) << row << "," << col;
            } else {
                EXPECT_EQ(found->second.Kind, "number") << row << "," << col << " '" << Utf16ToUtf8(fields[col]) << "'";
            }
        }
    }
    // No cell, blank or merged, lies below the last line.
    for (const auto& [position, cell] : file.Cells) {
        EXPECT_LT(static_cast<size_t>(position.first), converter.Lines.size()) << test::Describe(cell);
    }
    return report;
}

TEST(HostileInput, EveryTruncationOfAPage) {
    // The whole page as a browser shows it: title and its blank line, caption, rows with their
    // spans widened, the lines of br and hr, the paragraph and the last row's cell.
    const TFlattened whole = Flatten(kRichPage);
    EXPECT_EQ(whole.Lines, (std::vector<WideString>{u"T & t", u"", u"Cap", u"a b\t\tc", u"1,234.5\ttwo words", u"",
                                                    u"", u"<x> \"q\"", u"z"}));
    EXPECT_EQ(whole.Spans, (std::vector<TSpanRecord>{{1, 3, 0, 3}, {1, 4, 2, 4}, {3, 4, 3, 6}, {1, 9, 1, 9}}));
    for (size_t length = 0; length <= kRichPage.size(); ++length) {
        SCOPED_TRACE(length);
        const TFlattened prefix = Flatten(kRichPage.substr(0, length));
        // A header line goes first and changes nothing after it.
        const TFlattened headed = Flatten(kRichPage.substr(0, length), "H");
        ASSERT_FALSE(headed.Lines.empty());
        EXPECT_EQ(headed.Lines[0], u"H");
        EXPECT_EQ(std::vector<WideString>(headed.Lines.begin() + 1, headed.Lines.end()), prefix.Lines);
        // And every suffix: pages that start in the middle of a tag.
        Flatten(kRichPage.substr(length));
        if (HasFatalFailure()) return;
    }
    // A few all the way to a workbook: whole, cut inside a tag's attributes, begun inside a tag.
    const size_t insideTag = kRichPage.find("class=a");
    EXPECT_EQ(ExpectWorkbookReadsBack(kRichPage, "H").MergesDropped, 0);
    ExpectWorkbookReadsBack(kRichPage.substr(0, insideTag));
    ExpectWorkbookReadsBack(kRichPage.substr(insideTag));
}

TEST(HostileInput, RandomBytesAndRandomTagSoup) {
    std::mt19937 random(20240601);
    const std::vector<std::string> pieces = {
        "<", ">", "<td", "</td>", "<tr>", "</tr>", "<p>", "</p>", "<br>", "<hr>", "<img alt=", " alt=", "\"", "'",
        " colspan=", " rowspan=", "2", "0", "-1", "99999999999", "&nbsp;", "&lt;", "&", ";", " ", "\r", "\n",
        "\0"s, "\xC3", "\xA9", "\xFF", "<script", "</script>", "<style", "</style>", "</caption>", "</title>",
        "<TD", "</TD>", "x", "1.5", "12.05.2009", "5/12/2009 10:30 PM", "1e309", "<table>", "</table>", "<pre>",
        "</pre>", "<th>", "<!--", "-->", "&#x", "&#", "&amp;", "<caption>",
    };
    std::vector<std::string> pages;
    const long before = PeakMiB();
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
        SCOPED_TRACE(round);
        Flatten(page, round % 2 ? "Head" : "");
        if (HasFatalFailure()) return;
        pages.push_back(page);
    }
    // Pages of at most 200 pieces take little memory however their spans are set (one cell that
    // spans 1000 columns and 65,534 rows once took 650 MB).
    EXPECT_LT(PeakMiB() - before, 128);
    for (int round : {0, 1, 2}) {
        SCOPED_TRACE(round);
        ExpectWorkbookReadsBack(pages[static_cast<size_t>(round)], round % 2 ? "Head" : "");
    }
}

TEST(HostileInput, ZeroBytesEmptyAndBinary) {
    // Nothing, or nothing but zero bytes: no tag ever closes, so no text is copied.
    for (const std::string& page : {""s, std::string(1000, '\0')}) {
        const TFlattened nothing = Flatten(page);
        EXPECT_EQ(nothing.Out, "");
        EXPECT_TRUE(nothing.Lines.empty());
        EXPECT_TRUE(nothing.Spans.empty());
    }
    // A zero byte ends the lines; the colspan after it has no line to merge on.
    const TFlattened zeros = Flatten("<p>a\0b</p>\0<td colspan=2>x</td></tr>"s, "H");
    EXPECT_EQ(zeros.Lines, (std::vector<WideString>{u"H", u"a"}));
    EXPECT_EQ(zeros.Spans, (std::vector<TSpanRecord>{{1, 1, -1, 1}}));

    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    Flatten(binary);
    Flatten("<p>" + binary + "</p>");
    // The binary text between two tags, cut at its first zero byte, is one line of stray bytes:
    // the workbook holds what is left of it after the collapsed blanks.
    ExpectWorkbookReadsBack("<p>" + binary + "</p>");
    ExpectWorkbookReadsBack("");
}

TEST(HostileInput, VeryLongLinesAndValues) {
    std::string longCell = "<tr><td>" + std::string(2'000'000, 'x') + "</td><td colspan=3>y</td></tr>";
    TConverter converter;
    std::string out = converter.FlattenHtml(longCell);
    EXPECT_EQ(out.size(), 2'000'000 + 1 + 1 + 2 + 2);  // cells, divider, y, two spanned dividers, CR LF
    // The cell is cut to the longest text a cell holds, and says so; the file holds the cut text.
    EXPECT_EQ(ExpectWorkbookReadsBack(longCell).TextsCut, 1);

    // A paragraph of blanks is one empty line.
    EXPECT_EQ(Flatten("<p>" + std::string(1'000'000, ' ') + "</p>").Lines, (std::vector<WideString>{u""}));
    // A colspan of 100,000 digits is capped at 1000 columns.
    const TFlattened wide = Flatten("<td colspan=" + std::string(100000, '9') + ">x</td>");
    EXPECT_EQ(wide.Spans, (std::vector<TSpanRecord>{{1, 1, 1000, 1}}));
    EXPECT_EQ(wide.Lines, (std::vector<WideString>{u"x" + WideString(1000, u'\t')}));  // 999 spanned, 1 of the cell
    // An image tag that never closes ends the page.
    EXPECT_EQ(Flatten("<p>a</p><img alt=\"" + std::string(100000, 'a')).Lines, (std::vector<WideString>{u"a"}));
    // A reference after 99,999 bare "&": the ampersands stay, the no-break space at the end goes.
    EXPECT_EQ(Flatten("<p>" + std::string(100000, '&') + "nbsp;</p>").Lines,
              (std::vector<WideString>{WideString(99999, u'&')}));
    // "<" before "<" starts no tag, so nothing closes and nothing is copied.
    EXPECT_EQ(Flatten(std::string(100000, '<')).Out, "");
    // A script that never ends hides the rest of the page.
    EXPECT_EQ(Flatten("<p>x</p><script>" + std::string(100000, '<')).Lines, (std::vector<WideString>{u"x"}));
}

TEST(HostileInput, ManyWideSpansStayBounded) {
    // A small page asking for the widest spans on every row: each is capped at 1000 columns and
    // ends at the last line.
    std::string page;
    for (int row = 0; row < 50; ++row) page += "<tr><td colspan=100000 rowspan=100000>x</td></tr>";
    const long before = PeakMiB();
    TConverter converter;
    std::string out = converter.FlattenHtml(page);
    ExpectSoundFlattening(converter, page, out);
    ASSERT_EQ(converter.SpanList.size(), 50u);
    for (int row = 0; row < 50; ++row) EXPECT_EQ(converter.SpanList[size_t(row)], (TSpanRecord{1, row + 1, 1000, 50}));
    EXPECT_LT(out.size(), 50u * 50u * 1000u + 1000u);
    // In the sheet each area overlaps the first one, so only the first is merged.
    TXLSWorkbook workbook(converter.Locale);
    workbook.ApplyStoredValues();
    const TConversionReport report = FillWorkbook(converter, workbook);
    EXPECT_EQ(report.MergesDropped, 49);
    EXPECT_EQ(workbook.Sheets()[0].MergedCells().Count(), 1);
    std::vector<uint8_t> stream;
    workbook.WriteToStream(TBIFF8Writer(), &stream);
    EXPECT_GT(stream.size(), 512u);
    EXPECT_LT(PeakMiB() - before, 200);
}

TEST(HostileInput, InvalidUtf8InCellsAndFields) {
    // Bytes that are no UTF-8 are read as Windows-1252 characters, one each: a lone lead byte, an
    // encoded surrogate, a value past U+10FFFF and a sequence cut short.
    const TFlattened invalid =
        Flatten("<tr><td>\xC3</td><td>\xED\xA0\x80</td><td>\xF4\x90\x80\x80</td><td>\xE2\x82</td></tr>");
    EXPECT_EQ(invalid.Lines,
              (std::vector<WideString>{u"\u00C3\t\u00ED\u00A0\u20AC\t\u00F4\u0090\u20AC\u20AC\t\u00E2\u201A"}));
    ExpectWorkbookReadsBack("<tr><td>\xC3</td><td>\xED\xA0\x80</td><td>\xF4\x90\x80\x80</td><td>\xE2\x82</td></tr>");
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
