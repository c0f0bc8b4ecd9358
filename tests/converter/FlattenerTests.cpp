// The HTML flattener: output bytes, span records, line colours and the span expansion.
#include <gtest/gtest.h>

#include <random>

#include "converter/Converter.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;

constexpr TExcelColor kGray = xcGray50;  // palette index of the default border colour

struct FlattenCase {
    const char* name;
    std::string page;
    std::string expected;
    std::vector<TSpanRecord> spans = {};
    std::vector<TExcelColor> colors = {};  // checked when not empty
    std::string header = "";
    std::u16string divider = u"TAB";
    bool tablesOnly = false;
};

void Check(const FlattenCase& c, const TCodePage& codePage = TCodePage()) {
    SCOPED_TRACE(c.name);
    TConverter converter;
    converter.CodePage = codePage;
    converter.Settings.HeaderText = c.header;
    converter.Settings.FieldDivider = c.divider;
    converter.Settings.TablesOnly = c.tablesOnly;
    EXPECT_EQ(converter.FlattenHtml(c.page), c.expected);
    EXPECT_EQ(converter.SpanList, c.spans);
    if (!c.colors.empty()) {
        EXPECT_EQ(converter.LineColors, c.colors);
    }
}

TEST(FlattenHtml, LinesFieldsAndLineColors) {
    const FlattenCase cases[] = {
        {"no tag at all", "plain text, no markup\r\n", "", {}, {xc0}},
        {"no tag, header", "a;b\r\n", "H\r\n", {{1, 1, -1, 1}}, {xcWhite, xc0}, "H"},
        {"table row", "<table><tr><td>a</td><td>b</td></tr></table>", "a\tb\r\n", {}, {kGray, xc0}},
        {"paragraph", "<p>Hello</p>", "Hello\r\n", {}, {xcWhite, xc0}},
        {"title adds an empty line", "<title>T</title>", "T\r\n\r\n", {}, {xcWhite, xcWhite, xc0}},
        {"text before the first tag is dropped", "abc<p>x</p>", "x\r\n"},
        {"leading blanks of a field are dropped, trailing ones trimmed", "<tr><td>  x  </td><td> y </td></tr>",
         "x\ty\r\n"},
        {"br outside cells ends lines", "<p>a<br>b<br/>c</p>", "a\r\nb\r\nc\r\n", {}, {xcWhite, xcWhite, xcWhite, xc0}},
        {"hr", "<p>a</p><hr><p>b</p>", "a\r\n\r\nb\r\n", {}, {xcWhite, xcWhite, xcWhite, xc0}},
        {"script and style are skipped",
         "<p>a</p><script>if (a<b) x='<td>';</script><style>p{}</style><SCRIPT>y</SCRIPT><p>b</p>", "a\r\nb\r\n"},
        {"script ends at its end tag in any case, not at a longer name",
         "<p>a</p><script>x='</scripts>'</Script ><p>b</p>", "a\r\nb\r\n"},
        {"unterminated script skips the rest", "<p>a</p><script>var x; <p>b</p>", "a\r\n"},
        {"unterminated style skips the rest", "<p>a</p><style>p{}<p>b</p>", "a\r\n"},
        {"comments are skipped", "<p>a<!-- <td>x</td> > --></p><!--><!---><p>b<!-- open", "a\r\nb"},
        {"SPACE divider drops empty fields at the end", "<tr><td>a</td><td></td><td></td></tr>", "a\r\n", {}, {},
         "", u"SPACE"},
        {"semicolon divider", "<tr><td>a</td><td>b</td></tr>", "a;b\r\n", {}, {}, "", u";"},
        {"unterminated tag ends the scan", "<p>x</p><a href=", "x\r\n"},
        {"a short tag at the very end", "<td>x</td><a>", "x\t"},
        {"< that starts no tag is text", "<p>a < b <3 <</p><", "a < b <3 <\r\n<"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

// Header cells are cells; tag names match in any case and only as whole names.
TEST(FlattenHtml, HeaderCellsAndTagNames) {
    const FlattenCase cases[] = {
        {"a thead row of th", "<table><thead><tr><th>Version</th><th>Changes</th></tr></thead></table>",
         "Version\tChanges\r\n", {}, {kGray, xc0}},
        {"th spans like td", "<tr><th colspan=2>h</th><td>x</td></tr>", "h\t\tx\r\n", {{1, 1, 2, 1}}},
        {"any letter case", "<TABLE><TR><Td>a</tD><TD>b</TD></tR></TABLE><P>c</p>d<Br>e<bR>", "a\tb\r\nc\r\nd\r\ne\r\n"},
        {"thead, tbody and brand are not th, tb or br", "<p>x<thead>y<tbody>z<brand>w</p>", "xyzw\r\n"},
        {"a longer name is another tag", "<tr><tdx>a</tdx><td>b</td></tr><prefix>c</p>", "ab\r\nc\r\n"},
        {"a name ends at a blank, a line break, / or >", "<tr\n><td\tclass=x>a</td ><td/>b</td\r\n></tr>",
         "a\tb\r\n"},
        {"closing names are whole tag names, not the bytes before >", "<p>a<a href=/p>b</p>", "ab\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, CharacterReferences) {
    const FlattenCase cases[] = {
        {"the ampersand", "<tr><td>CB&amp;S Bank</td></tr>", "CB&S Bank\r\n"},
        {"named, decimal and hex", "<p>&lt;b&gt; &quot;q&quot; &#39;c&#39; &#x3C; &#X3e; &eacute;&Eacute;</p>",
         "<b> \"q\" 'c' < > \xC3\xA9\xC3\x89\r\n"},
        {"two characters for one name", "<p>&NotEqualTilde;</p>", "\xE2\x89\x82\xCC\xB8\r\n"},
        {"outside the BMP", "<p>&#x1F600;&fopf;</p>", "\xF0\x9F\x98\x80\xF0\x9D\x95\x97\r\n"},
        {"zero, surrogates and past U+10FFFF give U+FFFD", "<p>&#0;&#xD800;&#1114112;&#99999999999999;</p>",
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\r\n"},
        {"0x80 to 0x9F are the Windows-1252 characters", "<p>&#150;&#x80;&#x81;</p>", "\xE2\x80\x93\xE2\x82\xAC\xC2\x81\r\n"},
        {"no semicolon, unknown names and bare ampersands stay", "<p>&amp &nbsp x &foo; &#x; &#12a; & ;</p>",
         "&amp &nbsp x &foo; &#x; &#12a; & ;\r\n"},
        {"references are read from the page, not across a tag", "<p>x&nb<b>sp;y</p>", "x&nbsp;y\r\n"},
        {"a cell of nbsp only is empty", "<tr><td>&nbsp;</td><td>&#160;&nbsp;x</td><td>a&nbsp;b</td></tr>",
         "\tx\ta b\r\n"},
        {"nbsp after a line break is dropped", "<p>a<br>&nbsp;b</p>", "a\r\nb\r\n"},
        {"whitespace references are blanks, not dividers or line breaks", "<tr><td>a&#9;b&#10;&#13;c</td></tr>",
         "a b c\r\n"},
        {"a decoded < starts no tag", "<p>&lt;td&gt;x</p>", "<td>x\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, ReferencesInASingleByteCodePage) {
    // In a single-byte page a reference becomes its byte where the code page holds the character,
    // and stays as written where it does not.
    const TCodePage cp1251 = TCodePage::ForCodeset("CP1251");
    const FlattenCase cases[] = {
        {"held", "<p>&copy; &#1046; &laquo;</p>", "\xA9 \xC6 \xAB\r\n"},
        {"not held", "<p>&#9660; &eacute; &#x1F600;</p>", "&#9660; &eacute; &#x1F600;\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c, cp1251);
    TConverter converter;
    converter.CodePage = cp1251;
    converter.FlattenHtml("<p>&#1046;&amp;&#9660;</p>");
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"\u0416&&#9660;"}));
}

// Whitespace as a browser shows it: single blanks, never a divider or a line break.
TEST(FlattenHtml, Whitespace) {
    const FlattenCase cases[] = {
        {"a tab-indented row", "<table>\n\t<tr>\n\t\t<td>a</td>\n\t\t<td>b</td>\n\t</tr>\n</table>", "a\tb\r\n"},
        {"tabs inside a cell", "<tr><td>a\tb\t\tc</td></tr>", "a b c\r\n"},
        {"words on two source lines keep a blank", "<p>GNOME\nAPI\r\nreference\rmanual</p>",
         "GNOME API reference manual\r\n"},
        {"runs of blanks are one", "<p>a  \t \n b &nbsp; c</p>", "a b  c\r\n"},
        {"no blank after a line break", "<p>a <br>\n  b</p>", "a\r\nb\r\n"},
        {"none at the end of the page", "<p>a</p>b \n", "a\r\nb"},
        {"blanks between tags of one word", "<p><b>bold</b> <i>it</i>\n<u>u</u></p>", "bold it u\r\n"},
        {"pre keeps blanks and ends lines at its line breaks", "<pre>\n  a  b\n\tc\r\n</pre><p>d</p>",
         "  a  b\r\n c\r\nd\r\n", {}, {xcWhite, xcWhite, xcWhite, xc0}},
        {"pre without a final line break ends its line", "<pre>x</pre>y<p>z</p>", "x\r\nyz\r\n"},
        {"pre inside a cell keeps the row one line", "<tr><td><pre>a\nb</pre></td><td>c</td></tr>", "a b\tc\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

// Line-break tags and paragraphs inside a cell are blanks of the field: the row stays one line.
TEST(FlattenHtml, BreaksInsideCells) {
    const FlattenCase cases[] = {
        {"br inside a cell", "<tr><td>a<br>b</td><td>c</td></tr>", "a b\tc\r\n", {}, {kGray, xc0}},
        {"hr and several br", "<tr><td>a<hr>b<br><br>c<br></td></tr>", "a b c\r\n"},
        {"paragraphs inside a cell", "<tr><td><p>a</p><p>b</p></td><td>c</td></tr>", "a b\tc\r\n"},
        {"after the cell's end tag br ends the line again", "<tr><td>a</td><br><td>b</td></tr>", "a\t\r\nb\r\n"},
        {"a nested table's rows are lines of their own",
         "<tr><td>x<table><tr><td>a<br>b</td></tr></table>y<br>z</td></tr>", "xa b\r\ny z\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

// Cells and rows whose end tags are left out end where the next cell, row or table starts.
TEST(FlattenHtml, OmittedEndTags) {
    const FlattenCase cases[] = {
        {"cells and rows", "<table><tr><td>a<td>b<tr><td>c<th>d</table><p>e</p>", "a\tb\r\nc\td\r\ne\r\n", {},
         {kGray, kGray, xcWhite, xc0}},
        {"a row group ends an open row", "<table><thead><tr><th>h<tbody><tr><td>1</table>", "h\r\n1\r\n"},
        {"a nested table ends its own rows only",
         "<table><tr><td>a<table><tr><td>x<td>y</table>b<td>c</table>", "ax\ty\r\nb\tc\r\n"},
        {"closed rows are left alone", "<table><tr><td>a</td></tr></table>", "a\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, ImageAltTexts) {
    const FlattenCase cases[] = {
        {"two words in double quotes", "<p>x <img src=a alt=\"Two words\"> y</p>", "x Two words y\r\n"},
        {"apostrophes, holding a double quote", "<p><img alt='say \"hi\"'></p>", "say \"hi\"\r\n"},
        {"unquoted up to the next blank", "<p><img src=x alt=pic width=3></p>", "pic\r\n"},
        {"unquoted up to the >", "<p><img alt=pic></p>", "pic\r\n"},
        {"empty alt", "<p>a<img alt=\"\">b</p>", "ab\r\n"},
        {"any case", "<P><IMG SRC=x ALT=\"Logo\"><Img aLt=\"2\"></P>", "Logo2\r\n"},
        {"no alt", "<p>a<img src=\"x.png\">b</p>", "ab\r\n"},
        {"references decoded, whitespace single blanks", "<tr><td><img alt=\"&lt; a\n\tb &amp;\"> x</td></tr>",
         "< a b & x\r\n"},
        {"the first alt counts", "<p><img alt=a alt=b></p>", "a\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, SpansAndTheirExpansion) {
    const FlattenCase cases[] = {
        {"caption before a row of three", "<table><caption>Cap</caption><tr><td>1</td><td>2</td><td>3</td></tr>",
         "Cap\r\n1\t2\t3\r\n", {{1, 1, 0, 1}}, {xcWhite, kGray, xc0}},
        {"colspan in line 3", "<p>a</p><p>b</p><tr><td colspan=\"2\">x</td><td>y</td></tr>",
         "a\r\nb\r\nx\t\ty\r\n", {{1, 3, 2, 3}}},
        {"rowspan in column 2 of line 4",
         "<p>1</p><p>2</p><p>3</p><tr><td>a</td><td rowspan=\"2\">b</td><td>c</td></tr>"
         "<tr><td>d</td><td>e</td></tr>",
         "1\r\n2\r\n3\r\na\tb\tc\r\nd\t\te\r\n", {{2, 4, 2, 5}}},
        {"values read as browsers read them",
         "<tr><td colspan=1>a</td><td colspan=\"x\">b</td><td colspan=\" 2\">c</td><td rowspan=>d</td>"
         "<td colspan=2px>e</td></tr>",
         "a\tb\tc\t\td\te\t\r\n", {{3, 1, 4, 1}, {6, 1, 7, 1}}},
        {"0 and negative values count as 1", "<tr><td>a</td><td colspan=0 rowspan=2>b</td><td rowspan=-3>c</td></tr>"
         "<tr><td>d</td><td>e</td></tr>",
         "a\tb\tc\r\nd\t\te\r\n", {{2, 1, 2, 2}}},
        {"unquoted value followed by another attribute", "<tr><td colspan=2 class=x>a</td><td>b</td></tr>",
         "a\t\tb\r\n", {{1, 1, 2, 1}}},
        {"any case, blanks around =", "<TR><TD COLSPAN=2>a</TD><td ColSpan = '2'>b</td><td>c</td></TR>",
         "a\t\tb\t\tc\r\n", {{1, 1, 2, 1}, {3, 1, 4, 1}}},
        {"records apply in order on the lines as left by the ones before",
         "<tr><td rowspan=2>a</td><td colspan=2>b</td><td>c</td></tr><tr><td>d</td><td>e</td></tr>",
         "a\tb\t\tc\r\n\td\te\r\n", {{1, 1, 1, 2}, {2, 1, 3, 1}}},
        {"a rowspan ends at the last line", "<tr><td rowspan=5>a</td><td>b</td></tr><tr><td>c</td></tr>",
         "a\tb\r\n\tc\r\n", {{1, 1, 1, 2}}},
        {"header and title with spans re-joined", "<title>T</title><tr><td colspan=2>x</td></tr>",
         "H\r\nT\r\n\r\nx\t\r\n", {{1, 1, -1, 1}, {1, 4, 2, 4}}, {xcWhite, xcWhite, xcWhite, kGray, xc0}, "H"},
        // Cells that open a line the text never reaches leave no record.
        {"a spanning cell after the last line", "<tr><td>a</td></tr><td colspan=2 rowspan=3>", "a\r\n"},
        {"a spanning cell after a zero byte", "<p>a</p>\0<td colspan=2 rowspan=3>x</td><td colspan=2>y"s,
         "a\r\n"},
        {"with spans the last line gets its line break", "<tr><td colspan=2>x</td></tr><p>tail", "x\t\r\ntail\r\n",
         {{1, 1, 2, 1}}},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, HugeSpansAreCappedLikeBrowsersDo) {
    TConverter converter;
    std::string out = converter.FlattenHtml(
        "<tr><td colspan=99999999999>x</td><td colspan=5000 rowspan=9999999>y</td></tr>");
    // Both are capped at 1000 columns; the rowspan at the one line there is.
    ASSERT_EQ(converter.SpanList.size(), 2u);
    EXPECT_EQ(converter.SpanList[0], (TSpanRecord{1, 1, 1000, 1}));
    EXPECT_EQ(converter.SpanList[1], (TSpanRecord{1001, 1, 2000, 1}));
    EXPECT_EQ(out, "x" + std::string(1000, '\t') + "y" + std::string(999, '\t') + "\r\n");
}

// The expansion as the lines' fields are rebuilt for each record in turn: the reference the
// one-pass expansion must agree with byte for byte.
std::string ExpandOneRecordAtATime(std::vector<std::string> lines, const std::vector<TSpanRecord>& spans, char d) {
    for (const TSpanRecord& span : spans) {
        if (span.Col2 <= 0) continue;
        const int extra = span.Col2 - span.Col1;
        for (int r = span.Row1 - 1; r <= span.Row2 - 1 && r < static_cast<int>(lines.size()); ++r) {
            std::vector<std::string> fields;
            size_t start = 0;
            for (;;) {
                size_t end = lines[r].find(d, start);
                fields.push_back(lines[r].substr(start, end == std::string::npos ? std::string::npos : end - start));
                if (end == std::string::npos) break;
                start = end + 1;
            }
            std::string rebuilt;
            for (size_t k = 0; k < fields.size(); ++k) {
                const bool spanned = static_cast<int>(k) == span.Col1 - 1;
                if (r != span.Row1 - 1 && spanned) rebuilt.append(static_cast<size_t>(extra + 1), d);
                rebuilt += fields[k];
                rebuilt += d;
                if (r == span.Row1 - 1 && spanned && extra > 0) rebuilt.append(static_cast<size_t>(extra), d);
            }
            if (!rebuilt.empty() && rebuilt.back() == d) rebuilt.pop_back();
            lines[r] = rebuilt;
        }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

TEST(ExpandSpans, AgreesWithRebuildingTheLinesOneRecordAtATime) {
    std::mt19937 random(20261211);
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::string> lines(1 + random() % 8);
        for (std::string& line : lines) {
            const size_t fields = random() % 6;
            for (size_t k = 0; k < fields; ++k) {
                if (k > 0) line += ';';
                if (random() % 3) line += char('a' + random() % 26);
            }
        }
        std::vector<TSpanRecord> spans;
        int32_t row = 1;
        for (size_t count = random() % 8; count > 0; --count) {
            row += static_cast<int32_t>(random() % 2);  // first lines never decrease
            const auto col = static_cast<int32_t>(1 + random() % 6);
            spans.push_back({col, row, col + static_cast<int32_t>(random() % 4), row + static_cast<int32_t>(random() % 5)});
            if (random() % 5 == 0) spans.push_back({1, row, 0, row});  // captions widen nothing
        }
        std::vector<std::string_view> views(lines.begin(), lines.end());
        std::string result;
        ExpandSpans(views, spans, ';', result);
        EXPECT_EQ(result, ExpandOneRecordAtATime(lines, spans, ';'));
    }
}

// Text outside tables is not copied and ends no line; captions and the header stay.
TEST(FlattenHtml, TablesOnly) {
    const FlattenCase cases[] = {
        {"navigation around a table",
         "<title>Page</title><p>Home | About</p>menu<br><table><caption>Cap</caption><tr><td>a<br>b</td><td>c</td>"
         "</tr></table><p>Footer &copy;</p><img alt=logo>",
         "H\r\nCap\r\na b\tc\r\n", {{1, 1, -1, 1}, {1, 2, 0, 2}}, {xcWhite, xcWhite, kGray, xc0}, "H", u"TAB", true},
        {"a page without tables is empty", "<p>a</p><br><tr><td>x</td></tr>", "", {}, {xc0}, "", u"TAB", true},
        {"text between nested tables inside a cell stays",
         "<table><tr><td>x<table><tr><td>y</td></tr></table>z</td></tr></table>after", "xy\r\nz\r\n", {}, {}, "",
         u"TAB", true},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, ZeroByteEndsLinesButNotTheText) {
    TConverter converter;
    std::string out = converter.FlattenHtml("<p>a</p>\0<TD>x</TD>"s);
    // The zero byte is copied like any byte; Lines end before it.
    EXPECT_EQ(out, "a\r\n\0x\t"s);
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"a"}));
}

TEST(FlattenHtml, LinesHoldTheOutputDecoded) {
    TConverter converter;
    // "é" in UTF-8, then a stray Windows-1252 byte.
    converter.FlattenHtml("<tr><td>caf\xC3\xA9</td><td>\x80 5</td></tr><p>x</p>");
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"caf\u00E9\t\u20AC 5", u"x"}));
}

TEST(FlattenHtml, EachCallStartsAfresh) {
    TConverter converter;
    converter.Settings.HeaderText = "H";
    converter.FlattenHtml("<tr><td colspan=2>a</td></tr><p>b</p>");
    EXPECT_EQ(converter.SpanList.size(), 2u);
    converter.Settings.HeaderText = "";
    EXPECT_EQ(converter.FlattenHtml("<p>c</p>"), "c\r\n");
    EXPECT_TRUE(converter.SpanList.empty());
    EXPECT_EQ(converter.LineColors, (std::vector<TExcelColor>{xcWhite, xc0}));
    EXPECT_EQ(converter.Lines, (std::vector<WideString>{u"c"}));
}

TEST(FlattenHtml, BorderColourIndexMarksTableRows) {
    TConverter converter;
    converter.Settings.BorderColor = ColorFromName("red");
    converter.FlattenHtml("<tr><td>a</td></tr><p>b</p>");
    EXPECT_EQ(converter.LineColors, (std::vector<TExcelColor>{xcRed, xcWhite, xc0}));
    converter.Settings.BorderColor = ColorFromName("white");
    converter.FlattenHtml("<tr><td>a</td></tr>");
    EXPECT_EQ(converter.LineColors, (std::vector<TExcelColor>{xcWhite, xc0}));
}

}  // namespace
}  // namespace quarvel
