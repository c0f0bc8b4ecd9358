// The HTML flattener: output bytes, span records, line colours and the span expansion.
#include <gtest/gtest.h>

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
};

void Check(const FlattenCase& c) {
    SCOPED_TRACE(c.name);
    TConverter converter;
    converter.Settings.HeaderText = c.header;
    converter.Settings.FieldDivider = c.divider;
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
        {"th is not a cell", "<tr><th>a</th><th>b</th></tr>", "ab\r\n"},
        {"text before the first tag is dropped", "abc<p>x</p>", "x\r\n"},
        {"page line breaks are not copied", "<p>one\ntwo\r\nthree</p>", "onetwothree\r\n"},
        {"leading blanks of a field are dropped, trailing ones trimmed", "<tr><td>  x  </td><td> y </td></tr>",
         "x\ty\r\n"},
        {"br inside a cell", "<tr><td>a<br>b</td><td>c</td></tr>", "a\r\nb\tc\r\n", {}, {xcWhite, kGray, xc0}},
        {"hr", "<p>a</p><hr><p>b</p>", "a\r\n\r\nb\r\n", {}, {xcWhite, xcWhite, xcWhite, xc0}},
        {"upper-case tags", "<TABLE><TR><TD>a</TD><TD>b</TD></TR></TABLE><P>c</P>", "a\tb\r\nc\r\n"},
        {"mixed-case tags are not known", "<tr><Td>a</Td><Td>b</Td></tr>", "ab\r\n"},
        {"tag names are prefixes", "<tr><tdx>a</td></tr><pre>b</p>", "a\r\nb\r\n"},
        {"script and style are skipped",
         "<p>a</p><script>if (a<b) x='<td>';</script><style>p{}</style><SCRIPT>y</SCRIPT><p>b</p>",
         "a\r\nb\r\n"},
        {"unterminated script skips the rest", "<p>a</p><script>var x; <p>b</p>", "a\r\n"},
        {"unterminated style skips the rest", "<p>a</p><style>p{}<p>b</p>", "a\r\n"},
        {"SPACE divider drops empty fields at the end", "<tr><td>a</td><td></td><td></td></tr>", "a\r\n", {}, {},
         "", u"SPACE"},
        {"semicolon divider", "<tr><td>a</td><td>b</td></tr>", "a;b\r\n", {}, {}, "", u";"},
        {"unterminated tag ends the scan", "<p>x</p><a href=", "x\r\n"},
        {"a short tag at the very end", "<td>x</td><a>", "x\t"},
        {"a lone < at the end", "<p>x</p><", "x\r\n"},
        {"closing names are tested before the >", "<p>a<a href=/p>b</p>", "a\r\nb\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, Entities) {
    const FlattenCase cases[] = {
        {"the four entities", "<p>&lt;b&gt; &quot;q&quot; a&nbsp;b</p>", "<b> \"q\" a b\r\n"},
        {"amp and numeric references stay", "<p>a &amp; b &#39;c&#39; &#x40; &copy;</p>",
         "a &amp; b &#39;c&#39; &#x40; &copy;\r\n"},
        {"a cell of nbsp only is empty", "<tr><td>&nbsp;</td><td>&nbsp;&nbsp;x</td><td>y</td></tr>",
         "\tx\ty\r\n"},
        {"nbsp after a line break is dropped", "<p>a<br>&nbsp;b</p>", "a\r\nb\r\n"},
        {"an entity without its semicolon stays", "<p>&nbsp x &lt</p>", "&nbsp x &lt\r\n"},
        {"entities are read from the output, across a tag", "<p>x&nb<b>sp;y</p>", "x y\r\n"},
        {"a field that starts with an entity", "<tr><td>&quot;x&quot;</td></tr>", "\"x\"\r\n"},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, ImageAltTexts) {
    const FlattenCase cases[] = {
        {"two words in double quotes give the first and a blank", "<p>x<img src=a alt=\"two words\">y</p>",
         "xtwo y\r\n"},
        {"apostrophes", "<p><img alt='pic'></p>", "pic\r\n"},
        {"unquoted", "<p><img src=x alt=pic></p>", "pic\r\n"},
        {"empty alt", "<p>a<img alt=\"\">b</p>", "ab\r\n"},
        {"upper case", "<P><IMG SRC=x ALT=\"Logo\"></P>", "Logo\r\n"},
        {"no alt", "<p>a<img src=\"x.png\">b</p>", "ab\r\n"},
        {"alt text is copied before the field starts and not decoded", "<tr><td><img alt=\"&lt;\"> x</td></tr>",
         "&lt;x\r\n"},
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
        {"colspan 1 and unparsable values record nothing",
         "<tr><td colspan=1>a</td><td colspan=\"x\">b</td><td colspan=\" 2\">c</td><td rowspan=>d</td></tr>",
         "a\tb\tc\td\r\n"},
        {"colspan 0 with rowspan 2", "<tr><td>a</td><td colspan=0 rowspan=2>b</td></tr><tr><td>c</td></tr>",
         "a\tb\r\nc\r\n", {{2, 1, 1, 2}}},
        {"unquoted value followed by another attribute", "<tr><td colspan=2 class=x>a</td><td>b</td></tr>",
         "a\t\tb\r\n", {{1, 1, 2, 1}}},
        {"records apply in order on the lines as left by the ones before",
         "<tr><td rowspan=2>a</td><td colspan=2>b</td><td>c</td></tr><tr><td>d</td><td>e</td></tr>",
         "a\tb\t\tc\r\n\td\te\r\n", {{1, 1, 1, 2}, {2, 1, 3, 1}}},
        {"a rowspan past the last line stops there", "<tr><td rowspan=5>a</td><td>b</td></tr>", "a\tb\r\n",
         {{1, 1, 1, 5}}},
        {"upper-case attributes", "<TR><TD COLSPAN=2>a</TD><TD>b</TD></TR>", "a\t\tb\r\n", {{1, 1, 2, 1}}},
        {"mixed-case attributes are not read", "<tr><td ColSpan=2>a</td><td>b</td></tr>", "a\tb\r\n"},
        {"header and title with spans re-joined", "<title>T</title><tr><td colspan=2>x</td></tr>",
         "H\r\nT\r\n\r\nx\t\r\n", {{1, 1, -1, 1}, {1, 4, 2, 4}}, {xcWhite, xcWhite, xcWhite, kGray, xc0}, "H"},
        {"with spans the last line gets its line break", "<tr><td colspan=2>x</td></tr><p>tail", "x\t\r\ntail\r\n",
         {{1, 1, 2, 1}}},
    };
    for (const FlattenCase& c : cases) Check(c);
}

TEST(FlattenHtml, HugeSpansAreCappedLikeBrowsersDo) {
    TConverter converter;
    std::string out = converter.FlattenHtml(
        "<tr><td colspan=99999999999>x</td><td colspan=5000 rowspan=9999999>y</td></tr>");
    // The first value is no 32-bit integer (no span); the second is capped at 1000 columns.
    ASSERT_EQ(converter.SpanList.size(), 1u);
    EXPECT_EQ(converter.SpanList[0], (TSpanRecord{2, 1, 1001, 65534}));
    EXPECT_EQ(out, "x\ty" + std::string(999, '\t') + "\r\n");
}

TEST(FlattenHtml, ZeroByteEndsLinesButNotTheText) {
    TConverter converter;
    std::string out = converter.FlattenHtml("<p>a</p>\0<TD>x</TD>"s);
    // The zero byte is copied like any byte; upper-case tags after it are not normalised.
    EXPECT_EQ(out, "a\r\n\0x"s);
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
