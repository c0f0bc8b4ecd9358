// Delimited text read as CSV: records over several lines, quoted fields.
#include <gtest/gtest.h>

#include "converter/Csv.h"

namespace quarvel {
namespace {

TEST(CutQuotedFields, Table) {
    struct Case {
        std::u16string record;
        std::vector<std::u16string> fields;
    };
    const Case cases[] = {
        {u"a,b,c", {u"a", u"b", u"c"}},
        {u"", {u""}},
        {u"a,,b,", {u"a", u"", u"b", u""}},
        {u"\"RIFLE,5.56 MILLIMETER\",12", {u"RIFLE,5.56 MILLIMETER", u"12"}},
        {u"\"Ministerium \"\"Pestalozzi\"\"\",x", {u"Ministerium \"Pestalozzi\"", u"x"}},
        {u"\"\"", {u""}},
        {u"\"\"\"\"", {u"\""}},
        {u"\"two\nlines\",z", {u"two\nlines", u"z"}},
        // Quotes inside an unquoted field are text; text after a closing quote is kept.
        {u"5\" pipe,x", {u"5\" pipe", u"x"}},
        {u"\"a\"b,c", {u"ab", u"c"}},
        {u" \"a,b\"", {u" \"a", u"b\""}},
        // A quote left open runs to the end of the record.
        {u"\"open,to the end", {u"open,to the end"}},
        {u"x,\"", {u"x", u""}},
    };
    std::vector<std::u16string_view> fields;
    WideString scratch;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.record.begin(), c.record.end()));
        EXPECT_EQ(CutQuotedFields(c.record, u',', u'"', fields, scratch), c.fields.size());
        EXPECT_EQ(std::vector<std::u16string>(fields.begin(), fields.end()), c.fields);
    }
    // Only the first fields are cut, every one counted; dividers in quotes still do not count.
    EXPECT_EQ(CutQuotedFields(u"\"a\"\"\",\"b,c\",d,e", u',', u'"', fields, scratch, 2), 4u);
    EXPECT_EQ(std::vector<std::u16string>(fields.begin(), fields.end()), (std::vector<std::u16string>{u"a\"", u"b,c"}));
    // Another quote character and divider.
    EXPECT_EQ(CutQuotedFields(u"'x;y';'it''s'", u';', u'\'', fields, scratch), 2u);
    EXPECT_EQ(std::vector<std::u16string>(fields.begin(), fields.end()), (std::vector<std::u16string>{u"x;y", u"it's"}));
}

TEST(JoinQuotedRecords, LineBreaksInsideQuotesBelongToTheField) {
    std::vector<WideString> lines = {u"id,text",       u"1,\"first",  u"",  u"last\"",   u"2,\"a \"\"q\"\"",
                                     u"b\",\"c\"",     u"3,5\" pipe", u"4,\"\"", u"5,\"open", u"x"};
    JoinQuotedRecords(lines, u',', u'"');
    EXPECT_EQ(lines, (std::vector<WideString>{u"id,text", u"1,\"first\n\nlast\"", u"2,\"a \"\"q\"\"\nb\",\"c\"",
                                              u"3,5\" pipe", u"4,\"\"", u"5,\"open\nx"}));
    // A quote that closes at a line's end closes the field: the next line is a record of its own.
    std::vector<WideString> closed = {u"\"a\"", u"\"b\""};
    JoinQuotedRecords(closed, u',', u'"');
    EXPECT_EQ(closed, (std::vector<WideString>{u"\"a\"", u"\"b\""}));
}

}  // namespace
}  // namespace quarvel
