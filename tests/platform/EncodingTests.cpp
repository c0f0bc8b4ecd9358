// Byte-order marks, encoding labels and the charset a page declares.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>

#include "platform/CodePage.h"
#include "platform/Encoding.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quarvel {
namespace {

using std::string_literals::operator""s;

TEST(DetectBom, MarksAtTheStartOnly) {
    struct Case {
        std::string bytes;
        TBomKind kind;
        size_t length;
        std::string_view encoding;
    };
    const Case cases[] = {
        {"", TBomKind::bkNone, 0, ""},
        {"abc", TBomKind::bkNone, 0, ""},
        {"\xEF\xBB\xBF", TBomKind::bkUtf8, 3, "utf-8"},
        {"\xEF\xBB\xBF<html>", TBomKind::bkUtf8, 3, "utf-8"},
        {"\xFF\xFE<\0"s, TBomKind::bkUtf16Le, 2, "utf-16le"},
        {"\xFE\xFF\0<"s, TBomKind::bkUtf16Be, 2, "utf-16be"},
        {"\xFF\xFE\0\0"s, TBomKind::bkUtf16Le, 2, "utf-16le"},  // read as UTF-16LE, as browsers do
        {"\xEF\xBB", TBomKind::bkNone, 0, ""},                   // cut short
        {"\xFF", TBomKind::bkNone, 0, ""},
        {"a\xEF\xBB\xBF", TBomKind::bkNone, 0, ""},
        {"\xBF\xBB\xEF", TBomKind::bkNone, 0, ""},
    };
    for (const Case& c : cases) {
        const TBom bom = DetectBom(c.bytes);
        EXPECT_EQ(bom.Kind, c.kind) << c.bytes;
        EXPECT_EQ(bom.Length, c.length) << c.bytes;
        EXPECT_EQ(bom.Encoding, c.encoding) << c.bytes;
    }
}

TEST(EncodingForLabel, MapsLabelsAsTheStandardDoes) {
    const std::pair<std::string, std::string> cases[] = {
        {"utf-8", "utf-8"},
        {"  UTF8\t", "utf-8"},
        {"unicode-1-1-utf-8", "utf-8"},
        {"ISO-8859-1", "windows-1252"},
        {"us-ascii", "windows-1252"},
        {"ASCII", "windows-1252"},
        {"latin1", "windows-1252"},
        {"\n\fcp1251\r ", "windows-1251"},
        {"Windows-1256", "windows-1256"},
        {"KOI8-U", "koi8-u"},
        {"iso-8859-9", "windows-1254"},
        {"tis-620", "windows-874"},
        {"Shift_JIS", "shift_jis"},
        {"windows-31j", "shift_jis"},
        {"MS932", "shift_jis"},
        {"gb2312", "gbk"},
        {"GBK", "gbk"},
        {"gb18030", "gb18030"},
        {"big5-hkscs", "big5"},
        {"ks_c_5601-1987", "euc-kr"},
        {"EUC-JP", "euc-jp"},
        {"utf-16", "utf-16le"},
        {"UTF-16BE", "utf-16be"},
        {"x-user-defined", "x-user-defined"},
        // The standard's "replacement" labels name their own encodings here.
        {"ISO-2022-KR", "iso-2022-kr"},
        {"csiso2022kr", "iso-2022-kr"},
        {"hz-gb-2312", "hz-gb-2312"},
        {"iso-2022-cn-ext", "iso-2022-cn-ext"},
        // Unknown labels.
        {"", ""},
        {"   ", ""},
        {"utf-9", ""},
        {"cp 1251", ""},
        {"windows-1251x", ""},
        {"CP437", ""},              // an iconv name, not a label
        {"utf-8\v", ""},            // a vertical tab is not an ASCII blank
        {"\xC2\xA0utf-8", ""},      // nor is a no-break space
        {"utf-8\0"s, ""},
    };
    for (const auto& [label, name] : cases) EXPECT_EQ(EncodingForLabel(label), name) << label;
}

// Runs a shell command and returns what it printed, or nullopt when it failed.
std::optional<std::string> CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    if (::pclose(pipe.release()) != 0) return std::nullopt;
    return out;
}

// The generated table agrees with the standard's data it was made from: a newer copy of the data
// without a new run of the generator fails here.
TEST(EncodingForLabel, AgreesWithTheStandardsData) {
    const std::string json = QUARVEL_SOURCE_DIR "/platform/data/whatwg-encodings.json";
    auto listed = CommandOutput(
        "/usr/bin/python3 -c 'import json,sys\n"
        "for g in json.load(open(sys.argv[1])):\n"
        "  for e in g[\"encodings\"]:\n"
        "    for l in e[\"labels\"]: print(l, e[\"name\"])' " + json);
    if (!listed) GTEST_SKIP() << "python3 could not read " << json;
    size_t count = 0;
    std::istringstream lines(*listed);
    std::string label, name;
    while (lines >> label >> name) {
        ++count;
        if (name == "replacement") {
            EXPECT_NE(EncodingForLabel(label), "") << label;
            EXPECT_NE(EncodingForLabel(label), "replacement") << label;
        } else {
            EXPECT_EQ(EncodingForLabel(label), name) << label;
        }
    }
    EXPECT_GT(count, 200u);
}

// Every encoding a label can name has a code page here, so each iconv converter named for it exists.
TEST(EncodingNames, EachHasACodePage) {
    EXPECT_EQ(EncodingNames().size(), 43u);
    for (std::string_view name : EncodingNames()) {
        std::optional<TCodePage> page = TCodePage::ForName(name);
        ASSERT_TRUE(page.has_value()) << name;
        EXPECT_EQ(page->Name(), name);
        EXPECT_EQ(page->Decode(page->Encode(u"a1")), u"a1") << name;
    }
}

TEST(PrescanMetaCharset, FindsTheDeclaration) {
    const std::pair<std::string, std::string> cases[] = {
        {R"(<meta charset="windows-1251">)", "windows-1251"},
        {R"(<META CHARSET=KOI8-R>)", "koi8-r"},
        {R"(<meta charset='Shift_JIS'>)", "shift_jis"},
        {R"(<meta charset = " iso-8859-5 " >)", "iso-8859-5"},
        {R"(<meta/charset=koi8-r>)", "koi8-r"},
        {R"(<meta http-equiv="Content-Type" content="text/html; charset=ISO-8859-2">)", "iso-8859-2"},
        {R"(<meta content="text/html;charset=gb2312" http-equiv=content-type>)", "gbk"},
        {R"(<Meta HTTP-EQUIV='CONTENT-TYPE' CONTENT='text/html; CHARSET="big5"'>)", "big5"},
        {R"(<meta http-equiv="content-type" content="text/html; charset = euc-kr ;x=y">)", "euc-kr"},
        {R"(<meta http-equiv="content-type" content="charsetx; charset=koi8-r">)", "koi8-r"},
        // A content charset counts only with the http-equiv pragma.
        {R"(<meta content="text/html; charset=koi8-r">)", ""},
        {R"(<meta http-equiv="refresh" content="text/html; charset=koi8-r">)", ""},
        {R"(<meta http-equiv="Content-Type" content="text/html">)", ""},
        // A charset attribute needs no pragma and wins over content.
        {R"(<meta content="text/html; charset=big5" http-equiv="content-type" charset="koi8-r">)", "koi8-r"},
        // The first of two equal attributes counts.
        {R"(<meta charset="koi8-r" charset="big5">)", "koi8-r"},
        // A declared UTF-16 is read as UTF-8; x-user-defined as windows-1252.
        {R"(<meta charset="utf-16">)", "utf-8"},
        {R"(<meta charset="UTF-16BE">)", "utf-8"},
        {R"(<meta charset="x-user-defined">)", "windows-1252"},
        // An unknown label is passed over for a later declaration.
        {R"(<meta charset="bogus"><meta charset="koi8-r">)", "koi8-r"},
        // Comments, other tags and their attribute values are skipped.
        {R"(<!-- <meta charset="koi8-r"> --><meta charset="iso-8859-5">)", "iso-8859-5"},
        {R"(<!--><meta charset="koi8-r">)", "koi8-r"},
        {R"(<!-- never closed <meta charset="koi8-r">)", ""},
        {R"(<div title="<meta charset=koi8-r>"><meta charset=big5>)", "big5"},
        {R"(<metal charset=koi8-r><meta charset=big5>)", "big5"},
        {R"(<!DOCTYPE html><?php x ?></p><html lang=ru><head><meta charset=koi8-r>)", "koi8-r"},
        {R"(text <meta charset=koi8-r>)", "koi8-r"},
        // Cut off before the tag ends.
        {R"(<meta charset=koi8-r)", ""},
        {R"(<meta charset="koi8-r)", ""},
        {"", ""},
        {"<html><body>no declaration</body></html>", ""},
        // Without a meta, an XML declaration at the start.
        {R"(<?xml version="1.0" encoding="ISO-8859-7"?><html>)", "iso-8859-7"},
        {R"(<?xml version='1.0' encoding = 'utf-16'?><html>)", "utf-8"},
        {R"(<?xml version="1.0"?><html>)", ""},
        {R"( <?xml version="1.0" encoding="ISO-8859-7"?>)", ""},
        {R"(<?xml version="1.0" encoding="koi8-r"?><meta charset=big5>)", "big5"},
        // UTF-16 without a mark, starting "<?x".
        {"<\0?\0x\0m\0l\0"s, "utf-16le"},
        {"\0<\0?\0x\0m\0l"s, "utf-16be"},
    };
    for (const auto& [page, encoding] : cases) EXPECT_EQ(PrescanMetaCharset(page), encoding) << page;
}

TEST(PrescanMetaCharset, ReadsOnlyTheFirst1024Bytes) {
    const std::string meta = R"(<meta charset="koi8-r">)";
    for (size_t padding : {size_t(0), size_t(500), 1024 - meta.size(), 1025 - meta.size(), size_t(1100)}) {
        const std::string page = std::string(padding, ' ') + meta + "<p>text</p>";
        EXPECT_EQ(PrescanMetaCharset(page), padding + meta.size() <= 1024 ? "koi8-r" : "") << padding;
    }
}

std::string Corpus(const std::string& name) { return ReadWholeFile(QUARVEL_CORPUS_DIR "/" + name); }

TEST(PrescanMetaCharset, CorpusPages) {
    const std::pair<std::string, std::string> cases[] = {
        {"zone_anime_cp1251.htm", "windows-1251"},
        {"arabic_newspapers_cp1256.html", "windows-1256"},
        {"2ch_shift_jis.html", "shift_jis"},
        {"baidu_home_gb2312.html", "gbk"},  // declares gb2312
        {"tidy_case-1067112_word2000_cp1252.html", "windows-1252"},
        {"ecuador_medios_radiodifusoras.html", "utf-8"},
        {"fdic_failed_bank_list.html", "utf-8"},
        {"wikipedia_ebola_epidemic.html", "utf-8"},
        {"xinhua_home_cjk_mixed_eol.html", "utf-8"},
        {"bbc_606_forum_cp1252.html", ""},  // windows-1252 without a declaration
        {"hacker_news.html", ""},
        {"google_ipod_results.html", ""},
    };
    for (const auto& [file, encoding] : cases) EXPECT_EQ(PrescanMetaCharset(Corpus(file)), encoding) << file;
}

// The declared pages decode to the words they show, and to what python3's codec of the same
// encoding gives for the whole page.
TEST(CodePage, CorpusPagesDecodeAsDeclared) {
    struct Case {
        std::string file;
        std::string pythonCodec;
        std::vector<std::string> words;  // UTF-8
    };
    const Case cases[] = {
        {"zone_anime_cp1251.htm", "cp1251", {"Наруто", "посвященный", "Эльфийская"}},
        {"arabic_newspapers_cp1256.html", "cp1256", {"الصحف", "العربية"}},
        {"2ch_shift_jis.html", "cp932", {"ちゃんねる掲示板へようこそ", "ハッキング"}},
        {"baidu_home_gb2312.html", "gb18030", {"百度一下", "你就知道"}},
        {"tidy_case-1067112_word2000_cp1252.html", "cp1252", {"Microsoft Word 9"}},
    };
    for (const Case& c : cases) {
        const std::string bytes = Corpus(c.file);
        std::optional<TCodePage> page = TCodePage::ForName(PrescanMetaCharset(bytes));
        ASSERT_TRUE(page.has_value()) << c.file;
        EXPECT_TRUE(page->IsAsciiCompatible()) << c.file;
        const std::string text = page->DecodeToUtf8(bytes);
        for (const std::string& word : c.words) EXPECT_NE(text.find(word), std::string::npos) << c.file << ": " << word;
        EXPECT_EQ(page->Decode(bytes), Utf8ToUtf16(text)) << c.file;

        auto python = CommandOutput("/usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(open(sys.argv[1], \"rb\").read()"
                                    ".decode(sys.argv[2]).encode(\"utf-8\"))' " QUARVEL_CORPUS_DIR "/" + c.file + " " + c.pythonCodec);
        if (!python) {
            ADD_FAILURE() << "python3 could not decode " << c.file;
            continue;
        }
        EXPECT_TRUE(text == *python) << c.file << " differs from python3's " << c.pythonCodec;
    }
}

}  // namespace
}  // namespace quarvel
