#include "converter/Converter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "converter/Csv.h"
#include "converter/Fields.h"
#include "converter/SheetBuilder.h"
#include "platform/Encoding.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace quarvel {

namespace {

// Index of the first CR or LF at or after `from`, or the text's size.
size_t NextLineBreak(std::string_view text, size_t from) {
    const char* p = text.data();
    const size_t n = text.size();
    size_t i = from;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
        if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') return i;
    }
    return n;
}

// Calls f(line) for every line of the text, as SplitLines cuts them.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
    size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    const size_t n = text.size();
    size_t start = 0;
    while (start < n) {
        const size_t i = NextLineBreak(text, start);
        if (i == n) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, i - start));
        start = i + ((text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1);
    }
}

// A little more than the number of lines of the text (its LF bytes, or its CR bytes when it has
// no LF), so that a list of them is allocated once.
size_t LineCountHint(std::string_view text) {
    auto count = [text](char c) {
        size_t found = 0;
        for (const char *p = text.data(), *end = p + text.size();
             (p = static_cast<const char*>(std::memchr(p, c, static_cast<size_t>(end - p)))) != nullptr; ++p) {
            ++found;
        }
        return found;
    };
    size_t breaks = count('\n');
    if (breaks == 0) breaks = count('\r');
    return breaks + 1;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(LineCountHint(text));
    ForEachLine(text, [&](std::string_view line) { lines.push_back(line); });
    return lines;
}

namespace {

// The extension of the target's file name from its last "." on, ASCII lower-cased, at most
// `length` characters; empty without one. A dot in a folder name does not count.
std::string TargetExtension(std::string_view targetFile, size_t length) {
    size_t slash = targetFile.rfind('/');
    std::string_view name = slash == std::string_view::npos ? targetFile : targetFile.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot, length));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension;
}

}  // namespace

bool IsTextTarget(std::string_view targetFile) {
    const std::string extension = TargetExtension(targetFile, 4);
    return extension == ".csv" || extension == ".txt";
}

bool IsXlsxTarget(std::string_view targetFile) {
    return TargetExtension(targetFile, std::string_view::npos) == ".xlsx";
}

TConverter::TConverter() = default;

TConverter::TConverter(TLocaleInfo locale, TCodePage codePage)
    : Locale(std::move(locale)), CodePage(std::move(codePage)) {}

void TConverter::SetLines(std::string_view text) { SetLines(text, CodePage); }

void TConverter::SetLines(std::string_view text, const TCodePage& codePage) {
    Lines.clear();
    Lines.reserve(LineCountHint(text));
    ForEachLine(text, [&](std::string_view line) { codePage.AppendDecoded(line, Lines.emplace_back()); });
}

void TConverter::SplitFields(std::u16string_view line, char16_t divider) {
    if (CsvQuote == 0) {
        quarvel::SplitFields(line, divider, Fields);
        return;
    }
    std::vector<std::u16string_view> views;
    WideString scratch;
    CutQuotedFields(line, divider, CsvQuote, views, scratch);
    Fields.assign(views.begin(), views.end());
}

namespace {

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<std::string> CutWarnings(const TConversionReport& report) {
    std::vector<std::string> warnings;
    if (report.RowsCut > 0 || report.ColsCut > 0) {
        warnings.push_back(Counted(report.RowsCut, "row", "rows") + " and " +
                           Counted(report.ColsCut, "column", "columns") +
                           " beyond the sheet were left out");
    }
    if (report.TextsCut > 0) {
        warnings.push_back(Counted(report.TextsCut, "text was", "texts were") + " cut to 32767 characters");
    }
    if (report.MergesDropped > 0) {
        warnings.push_back(Counted(report.MergesDropped, "merged area that overlaps another was",
                                   "merged areas that overlap others were") +
                           " left out");
    }
    return warnings;
}

TCodePage TConverter::SourceCodePage(std::string_view bytes, size_t& bomLength) const {
    const TBom bom = DetectBom(bytes);
    bomLength = bom.Length;
    if (bom.Length > 0) {
        if (std::optional<TCodePage> page = TCodePage::ForName(bom.Encoding)) return *page;
    }
    if (!Settings.Encoding.empty()) {
        if (std::optional<TCodePage> page = TCodePage::ForName(Settings.Encoding)) return *page;
        throw Error("'" + Settings.Encoding + "' is not a known encoding");
    }
    if (!Settings.NotCleanTags) {
        const std::string declared = PrescanMetaCharset(bytes);
        if (!declared.empty()) {
            if (std::optional<TCodePage> page = TCodePage::ForName(declared)) return *page;
        }
    }
    return CodePage;
}

namespace {

// The header line in the bytes of `page`: its characters, read in the locale's code page, when
// the page's encoding holds every one of them; else the bytes as given.
std::string HeaderIn(const std::string& header, const TCodePage& locale, const TCodePage& page) {
    if (header.empty()) return header;
    const WideString text = locale.Decode(header);
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (!page.AppendEncoded(code, bytes)) return header;
    }
    return bytes;
}

}  // namespace

std::string TConverter::LoadSource(std::string bytes, bool textTarget) {
    size_t bomLength = 0;
    const TCodePage page = SourceCodePage(bytes, bomLength);
    const TCodePage utf8;
    CsvQuote = 0;
    if (Settings.NotCleanTags) {
        SpanList.clear();
        LineColors.clear();
        Lines.clear();
        const std::string& header = Settings.HeaderText;
        if (textTarget) {
            // The source as it is, after the header line; a UTF-16 source as UTF-8.
            if (page.IsUtf16()) {
                std::string text = header.empty() ? std::string() : HeaderIn(header, CodePage, utf8) + "\r\n";
                page.AppendDecodedUtf8(std::string_view(bytes).substr(bomLength), text);
                return text;
            }
            if (header.empty()) return bytes;
            std::string text = HeaderIn(header, CodePage, page);
            text.reserve(text.size() + 2 + bytes.size());
            text.append("\r\n").append(bytes);
            return text;
        }
        // The workbook reads the text as UTF-8: the header's characters, then the source's.
        std::string text = header.empty() ? std::string() : HeaderIn(header, CodePage, utf8) + "\r\n";
        const std::string_view body = std::string_view(bytes).substr(bomLength);
        if (text.empty() && bomLength == 0 && page.IsUtf8()) {
            text.swap(bytes);
        } else if (page.IsUtf8()) {
            text.append(body);  // stray bytes are read as Windows-1252 when the lines are decoded
        } else {
            page.AppendDecodedUtf8(body, text);
        }
        std::string().swap(bytes);
        SetLines(text, utf8);
        const std::string quote = SeparatorCode(Settings.StringTerminator);
        if (!quote.empty()) {
            CsvQuote = static_cast<char16_t>(StrToInt(quote));
            JoinQuotedRecords(Lines, static_cast<char16_t>(StrToInt(SeparatorCode(Settings.FieldDivider))), CsvQuote);
        }
        return {};
    }
    // Text output keeps the page's bytes where markup can be read in them; a workbook, and a page
    // whose bytes cannot be read as ASCII, is flattened from its text as UTF-8.
    const bool decode = !textTarget || !page.IsAsciiCompatible();
    const TCodePage& working = decode ? utf8 : page;
    if (decode && !page.IsUtf8()) {
        std::string text = page.DecodeToUtf8(std::string_view(bytes).substr(bomLength));
        bytes.swap(text);
    } else if (bomLength > 0) {
        bytes.erase(0, bomLength);
    }
    std::string text = FlattenHtml(std::move(bytes), working, HeaderIn(Settings.HeaderText, CodePage, working), !textTarget);
    if (!textTarget) return {};
    return text;
}

TConversionReport TConverter::RunConversion(const std::string& sourceFile, const std::string& targetFile) {
    const bool textTarget = IsTextTarget(targetFile);
    std::string text = LoadSource(ReadWholeFile(sourceFile), textTarget);
    if (!textTarget) return BuildWorkbook(*this, targetFile);
    WriteFileAtomic(targetFile, text);
    return {};
}

}  // namespace quarvel
