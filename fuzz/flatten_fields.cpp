// Fuzzes the flattener and the field recognition: settings from the first bytes, the rest a page
// loaded for a text target and for a workbook, then every field of every line split and classified
// in the chosen locale. Stops on any broken invariant.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/Fields.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Text.h"

using namespace quarvel;
using quarvel::fuzz::Shown;

namespace {

const char16_t* const kDividers[] = {u"TAB", u";", u",", u"SPACE", u"|"};
const char* const kEncodings[] = {"", "utf-8", "windows-1251", "Shift_JIS", "UTF-16LE"};
const char* const kHeaders[] = {"", "Head", "\xD0\x97\xD0\xB0\xD0\xB3 1,5"};
const uint32_t kColours[] = {kColorGray, kColorWhite, 0x0000FF};

// A divider from the lists, or any ASCII character that neither ends a line nor the text.
WideString Divider(fuzz::TChoices& choices) {
    const uint8_t pick = choices.Byte();
    if (pick % 8 < 5) return kDividers[pick % 8];
    const char16_t c = static_cast<char16_t>(choices.Byte() & 0x7F);
    if (c == 0 || c == u'\r' || c == u'\n') return u"TAB";
    return WideString(1, c);
}

struct TLoaded {
    std::vector<WideString> Lines;
    std::vector<TSpanRecord> Spans;
    std::vector<TExcelColor> Colours;
    bool operator==(const TLoaded&) const = default;
};

TLoaded Snapshot(const TConverter& converter) { return {converter.Lines, converter.SpanList, converter.LineColors}; }

void CheckLoaded(const TLoaded& loaded, const TConversionSettings& settings, bool pageHasPre, const std::string& page) {
    const std::string where = "page: " + Shown(page);
    for (const WideString& line : loaded.Lines) {
        FUZZ_CHECK(line.find_first_of(u"\r\n") == WideString::npos, "a line holds a line break; " + where);
    }
    FUZZ_CHECK(loaded.Colours.size() >= loaded.Lines.size(), where);
    const auto lineCount = static_cast<int64_t>(loaded.Lines.size());
    for (size_t k = 0; k < loaded.Spans.size(); ++k) {
        const TSpanRecord& span = loaded.Spans[k];
        const std::string record = "span " + std::to_string(k) + " = " + std::to_string(span.Col1) + "," +
                                   std::to_string(span.Row1) + "," + std::to_string(span.Col2) + "," +
                                   std::to_string(span.Row2) + " of " + std::to_string(lineCount) + " lines; " + where;
        FUZZ_CHECK(span.Col1 >= 1 && span.Row1 >= 1, record);
        if (span.Col2 < 0) {
            // Only the header line spans every column.
            FUZZ_CHECK(k == 0 && !settings.HeaderText.empty() && span.Row1 == 1 && span.Row2 == 1, record);
        } else if (span.Col2 == 0) {
            FUZZ_CHECK(span.Row1 == span.Row2, record);
        } else {
            FUZZ_CHECK(span.Col2 >= span.Col1 && span.Row2 >= span.Row1, record);
            FUZZ_CHECK(span.Row2 <= lineCount, record);
            FUZZ_CHECK(span.Col2 - span.Col1 < 1000 && span.Row2 - span.Row1 < 65534, record);
        }
        if (k > 0) FUZZ_CHECK(span.Row1 >= loaded.Spans[k - 1].Row1, record);
    }
    // Page text is whitespace-collapsed: a field starts and ends with no blank. Not so inside
    // <pre>, where the divider is a blank, where the page's own text holds the divider (as a byte
    // or a reference) and so cuts fields of its own, or where a zero byte ends the lines within a
    // field; the header line is given as it is.
    const char16_t divider = static_cast<char16_t>(StrToInt(SeparatorCode(settings.FieldDivider)));
    if (pageHasPre || divider == u' ' || page.find(static_cast<char>(divider)) != std::string::npos ||
        page.find('&') != std::string::npos || page.find('\0') != std::string::npos)
        return;
    std::vector<WideString> fields;
    for (size_t i = settings.HeaderText.empty() ? 0 : 1; i < loaded.Lines.size(); ++i) {
        SplitFields(loaded.Lines[i], divider, fields);
        for (const WideString& field : fields) {
            FUZZ_CHECK(field.empty() || (field.front() != u' ' && field.back() != u' '),
                       "field '" + Utf16ToUtf8(field) + "' of line " + std::to_string(i) + "; " + where);
        }
    }
}

void CheckFields(TConverter& converter, const TLocaleSettings& locale, char16_t divider) {
    TFieldValue value, again;
    for (const WideString& line : converter.Lines) {
        converter.SplitFields(line, divider);
        size_t dividers = 0;
        for (char16_t c : line) dividers += c == divider;
        FUZZ_CHECK(converter.Fields.size() == dividers + 1, Utf16ToUtf8(line));
        for (const WideString& field : converter.Fields) {
            const std::string shown = "field '" + Utf16ToUtf8(field) + "'";
            const TFieldKind kind = ClassifyField(field, locale, value);
            FUZZ_CHECK(kind == fkText || kind == fkNumber || kind == fkDateTime, shown);
            FUZZ_CHECK((kind == fkText) == value.FormatCode.empty(), shown + " code '" + Utf16ToUtf8(value.FormatCode) + "'");
            FUZZ_CHECK(std::isfinite(value.Number) && std::isfinite(value.DateTime), shown);
            if (field.size() >= 20) FUZZ_CHECK(kind == fkText, shown);
            // The same field gives the same answer however often it is asked.
            const TFieldKind second = ClassifyField(field, locale, again);
            FUZZ_CHECK(second == kind && again.FormatCode == value.FormatCode &&
                           (kind != fkNumber || again.Number == value.Number) &&
                           (kind != fkDateTime || again.DateTime == value.DateTime),
                       shown);
        }
    }
}

bool HoldsPre(const std::string& page) {
    for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        size_t k = at + 1;
        if (k < page.size() && page[k] == '/') ++k;
        if (k + 3 <= page.size() && (page[k] | 0x20) == 'p' && (page[k + 1] | 0x20) == 'r' && (page[k + 2] | 0x20) == 'e')
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TChoices choices(data, size);
    TConversionSettings settings;
    settings.FieldDivider = Divider(choices);
    const uint8_t flags = choices.Byte();
    settings.HeaderText = kHeaders[flags % 3];
    settings.TablesOnly = (flags & 0x04) != 0;
    settings.BorderColor = kColours[(flags >> 3) % 3];
    settings.Encoding = kEncodings[choices.Pick(5)];
    const TLocaleInfo localeInfo = fuzz::FuzzLocale(choices.Pick(3));
    const std::string page = choices.Rest();

    TConverter converter(localeInfo, TCodePage());
    converter.Settings = settings;

    // Text target: the text to write, no lines.
    const std::string text = converter.LoadSource(page, true);
    FUZZ_CHECK(converter.Lines.empty(), Shown(page));
    const std::vector<TSpanRecord> textSpans = converter.SpanList;
    FUZZ_CHECK(converter.LoadSource(page, true) == text, "text output differs on a second run; " + Shown(page));

    // Workbook: the lines, spans and line colours, the same on every run.
    converter.LoadSource(page, false);
    const TLoaded loaded = Snapshot(converter);
    CheckLoaded(loaded, settings, HoldsPre(page), page);
    converter.LoadSource(page, false);
    FUZZ_CHECK(Snapshot(converter) == loaded, "workbook lines differ on a second run; " + Shown(page));

    // A page read as UTF-8 is flattened from the same bytes for both targets: the text output's
    // lines are the workbook's lines.
    size_t bomLength = 0;
    const TCodePage pageCodePage = converter.SourceCodePage(page, bomLength);
    if (pageCodePage.IsUtf8()) {
        const TCodePage utf8;
        const std::vector<std::string_view> textLines = SplitLines(text);
        FUZZ_CHECK(textLines.size() == loaded.Lines.size(),
                   std::to_string(textLines.size()) + " text lines, " + std::to_string(loaded.Lines.size()) +
                       " workbook lines; " + Shown(page));
        for (size_t i = 0; i < textLines.size(); ++i) {
            FUZZ_CHECK(utf8.Decode(textLines[i]) == loaded.Lines[i], "line " + std::to_string(i) + "; " + Shown(page));
        }
        FUZZ_CHECK(textSpans == loaded.Spans, "spans differ between the targets; " + Shown(page));
    } else if (pageCodePage.IsUtf16()) {
        // A UTF-16 page is written as UTF-8.
        FUZZ_CHECK(Utf16ToUtf8(Utf8ToUtf16(text)) == text, "text output is no UTF-8: " + Shown(text));
    } else if (pageCodePage.IsAsciiCompatible() && page.find('&') == std::string::npos &&
               pageCodePage.Encode(pageCodePage.Decode(std::string_view(page).substr(bomLength))) ==
                   std::string_view(page).substr(bomLength)) {
        // Markup read in the page's own bytes (text output) finds what it finds in the decoded page
        // (the workbook), as long as no reference is left as written for want of the character.
        // The header line goes in as given when the page's encoding cannot hold it. Only for pages
        // that are valid in their encoding: a stray lead byte of a multi-byte encoding that a tag
        // leaves next to the following text pairs with it in the text output.
        const std::vector<std::string_view> textLines = SplitLines(text);
        FUZZ_CHECK(textLines.size() == loaded.Lines.size(),
                   std::to_string(textLines.size()) + " text lines, " + std::to_string(loaded.Lines.size()) +
                       " workbook lines in " + pageCodePage.Name() + "; " + Shown(page));
        for (size_t i = settings.HeaderText.empty() ? 0 : 1; i < textLines.size(); ++i) {
            FUZZ_CHECK(pageCodePage.Decode(textLines[i]) == loaded.Lines[i],
                       "line " + std::to_string(i) + " in " + pageCodePage.Name() + ": text '" +
                           Utf16ToUtf8(pageCodePage.Decode(textLines[i])) + "', workbook '" +
                           Utf16ToUtf8(loaded.Lines[i]) + "'; " + Shown(page));
        }
        FUZZ_CHECK(textSpans == loaded.Spans, "spans differ between the targets; " + Shown(page));
    }

    const char16_t divider = static_cast<char16_t>(StrToInt(SeparatorCode(settings.FieldDivider)));
    CheckFields(converter, LocaleSettings(localeInfo, 2025), divider);
    return 0;
}
