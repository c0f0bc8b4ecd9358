#include "converter/Converter.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "converter/Fields.h"
#include "converter/SheetBuilder.h"
#include "platform/Files.h"

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

bool IsTextTarget(std::string_view targetFile) {
    // The extension belongs to the file name: a dot in a folder name does not count.
    size_t slash = targetFile.rfind('/');
    std::string_view name = slash == std::string_view::npos ? targetFile : targetFile.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension(name.substr(dot, 4));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension == ".csv" || extension == ".txt";
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
    quarvel::SplitFields(line, divider, Fields);
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

TConversionReport TConverter::RunConversion(const std::string& sourceFile, const std::string& targetFile) {
    std::string text = ReadWholeFile(sourceFile);
    // Text output writes the working bytes; only the workbook reads Lines.
    bool textTarget = IsTextTarget(targetFile);
    if (Settings.NotCleanTags) {
        if (!Settings.HeaderText.empty()) {
            std::string withHeader;
            withHeader.reserve(Settings.HeaderText.size() + 2 + text.size());
            withHeader.append(Settings.HeaderText).append("\r\n").append(text);
            text.swap(withHeader);
        }
        if (textTarget) {
            Lines.clear();
        } else {
            SetLines(text);
        }
        SpanList.clear();
        LineColors.clear();
    } else {
        text = FlattenHtml(std::move(text), !textTarget);
    }
    if (!textTarget) {
        // Lines hold what the workbook needs: the text's memory serves the workbook instead.
        std::string().swap(text);
        return BuildWorkbook(*this, targetFile);
    }
    WriteFileAtomic(targetFile, text);
    return {};
}

}  // namespace quarvel
