#include "converter/Converter.h"

#include "converter/Fields.h"
#include "converter/SheetBuilder.h"
#include "platform/Files.h"

namespace quarvel {

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    size_t start = 0, i = 0, n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n) lines.push_back(text.substr(start));
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

void TConverter::SetLines(std::string_view text) {
    Lines.clear();
    for (std::string_view line : SplitLines(text)) Lines.push_back(CodePage.Decode(line));
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
    if (!textTarget) return BuildWorkbook(*this, targetFile);
    WriteFileAtomic(targetFile, text);
    return {};
}

}  // namespace quarvel
