// The converter's state and the conversion driver: one source file to one text or workbook target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "converter/Settings.h"
#include "platform/CodePage.h"
#include "platform/Locale.h"
#include "workbook/BIFFRecs.h"

namespace quarvel {

// An area to merge, 1-based. Col2 = -1: up to the last column (the header line); Col2 = 0: as wide
// as the next non-empty line (a caption).
struct TSpanRecord {
    int32_t Col1;
    int32_t Row1;
    int32_t Col2;
    int32_t Row2;
    bool operator==(const TSpanRecord&) const = default;
};

// What a conversion had to leave out: rows and columns beyond the sheet, texts cut to the longest
// a cell holds. All 0 for text output.
struct TConversionReport {
    int RowsCut = 0;
    int ColsCut = 0;
    int TextsCut = 0;
    int MergesDropped = 0;  // merged areas left out because they overlap one before them
};

// One sentence per kind of cut the report holds ("2 rows and 1 column beyond the sheet were left
// out", "1 text was cut to 32767 characters", "1 merged area that overlaps another was left
// out"); empty when nothing was cut.
std::vector<std::string> CutWarnings(const TConversionReport& report);

// Cuts text into lines: a line ends at CR, at LF or at a CR LF pair (LF CR ends two lines); a zero
// byte ends the text; a final line break adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Inserts empty fields where a cell spans several columns or rows, so that every later cell keeps
// its own column, and appends the lines to `result` with CR LF after each. The cell-span records
// (Col2 > 0) apply in the order they were made, each to the lines as the ones before left them:
// on its first line a span puts its extra columns after its field; on every further line it
// covers, as many empty fields as it is wide go before its field (a line without that field gets
// nothing). The records' first lines must not decrease.
void ExpandSpans(const std::vector<std::string_view>& lines, const std::vector<TSpanRecord>& spans, char divider,
                 std::string& result);

// True when the extension of the target's file name (from its last "." on), ASCII lower-cased and
// cut to four characters, is ".csv" or ".txt".
bool IsTextTarget(std::string_view targetFile);
// True when the extension of the target's file name, ASCII lower-cased, is exactly ".xlsx": the
// workbook is written as an Office Open XML package instead of a BIFF8 file.
bool IsXlsxTarget(std::string_view targetFile);

// The converter: the settings, the lists each conversion refills, and the locale and code page it
// reads text with. It lives as long as the batch run or the window; conversions side by side use
// one converter each.
class TConverter {
public:
    TConverter();  // US conventions, UTF-8 code page
    TConverter(TLocaleInfo locale, TCodePage codePage);

    TConversionSettings Settings;
    std::vector<WideString> Lines;           // the text as lines; line i becomes row i
    std::vector<TSpanRecord> SpanList;       // areas to merge, in the order they were found
    std::vector<TExcelColor> LineColors;     // per line; xcWhite marks a line without borders
    std::vector<WideString> Fields;          // the fields of the line last split
    TLocaleInfo Locale;
    TCodePage CodePage;
    // Set by batch mode when the process ends right after the conversion: the workbook it built
    // is then left for the system to take back with the rest of the process, instead of being
    // taken apart piece by piece. Everything else (the window, tests) leaves it unset.
    bool EndsProcess = false;

    // The quote of CSV reading: the string terminator's character for a source taken as it is
    // (/n) when one is set, else 0. Set by LoadSource; SplitFields and the sheet builder read it.
    char16_t CsvQuote = 0;

    // Converts SourceFile to TargetFile with the current settings (the paths given here). Lines
    // serve the workbook only: after a text conversion they are left empty.
    TConversionReport RunConversion(const std::string& sourceFile, const std::string& targetFile);

    // Prepares a source's bytes for a conversion with the current settings. For a text target it
    // returns the text to write (Lines left empty); for a workbook it fills Lines, SpanList and
    // LineColors and returns nothing. The source is read in the code page SourceCodePage finds,
    // its byte-order mark dropped.
    std::string LoadSource(std::string bytes, bool textTarget);

    // The encoding a source is read in: its byte-order mark decides first, then the encoding /e
    // names ("'<name>' is not a known encoding" when there is none of that name), then, for a page
    // that is flattened, the charset it declares in its first 1,024 bytes, else the locale's code
    // page. `bomLength` is the length of the mark (0 without one).
    TCodePage SourceCodePage(std::string_view bytes, size_t& bomLength) const;

    // Flattens an HTML page into delimited text; refills SpanList and LineColors, and Lines unless
    // told that nothing will read them (then Lines is emptied). The page is read in the code page,
    // whose bytes below 0x80 must always be ASCII; the text is in the same code page (a decoded
    // character reference the code page cannot hold stays as it was written). The header line,
    // in the same code page, goes first.
    std::string FlattenHtml(std::string page, const TCodePage& codePage, std::string_view header, bool fillLines);
    // The same in CodePage, with the settings' header.
    std::string FlattenHtml(std::string page, bool fillLines = true);

    // Lines := the lines of the text, decoded with the code page (CodePage when not given).
    void SetLines(std::string_view text);
    void SetLines(std::string_view text, const TCodePage& codePage);

    // Fields := the fields of one line (read as CSV when CsvQuote is set).
    void SplitFields(std::u16string_view line, char16_t divider);
};

}  // namespace quarvel
