// Fuzzes the whole conversion to a workbook in memory: settings from the first bytes (grouping
// levels, start row, wrap width, divider, /n, /s, /t, header, locale), the rest a source loaded,
// filled into a fresh workbook and written as a compound file into a buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/SheetBuilder.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XLSWriter.h"

using namespace quarvel;
using quarvel::fuzz::Shown;

namespace {

const char* const kStartRows[] = {"1", "2", "3", "5", "0", "-1", "1000"};
const char* const kWrapWidths[] = {"32", "0", "1", "2", "5", "10", "-1", "255", "300", "100000"};
const char16_t* const kDividers[] = {u"TAB", u";", u",", u"SPACE", u"|", u"\""};
const char16_t* const kQuotes[] = {u"NO", u"\"", u"'", u";"};
const char* const kHeaders[] = {"", "Head", "\xD0\x97\xD0\xB0\xD0\xB3 1,5"};

constexpr uint8_t kCompoundFileSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TChoices choices(data, size);
    TConversionSettings settings;
    const int levels = static_cast<int>(choices.Pick(8));
    settings.GroupLevels = std::to_string(levels);
    settings.StartDataRow = kStartRows[choices.Pick(std::size(kStartRows))];
    settings.WrapWidth = kWrapWidths[choices.Pick(std::size(kWrapWidths))];
    settings.FieldDivider = kDividers[choices.Pick(std::size(kDividers))];
    const uint8_t flags = choices.Byte();
    settings.NotCleanTags = (flags & 0x01) != 0;
    settings.TablesOnly = (flags & 0x02) != 0;
    settings.StringTerminator = kQuotes[(flags >> 2) % 4];
    settings.HeaderText = kHeaders[(flags >> 4) % 3];
    settings.BorderColor = (flags & 0x80) ? kColorWhite : kColorGray;
    const TLocaleInfo locale = fuzz::FuzzLocale(choices.Pick(3));
    const std::string source = choices.Rest();

    TConverter converter(locale, TCodePage());
    converter.Settings = settings;
    converter.LoadSource(source, false);

    TXLSWorkbook workbook(locale);
    workbook.ApplyStoredValues();
    // Grouping from a start row before the first must be refused; a column width outside 0 to 255
    // characters, which a wrap width outside them gives a column with long enough values, ends the
    // conversion with "Invalid value". Nothing else may stop it.
    const bool badStart = levels != 0 && StrToInt(settings.StartDataRow) < 1;
    const int32_t wrap = StrToInt(settings.WrapWidth);
    try {
        FillWorkbook(converter, workbook);
        FUZZ_CHECK(!badStart, "start row " + settings.StartDataRow + " was taken");
    } catch (const Error& error) {
        const std::string message = error.what();
        FUZZ_CHECK(badStart ? message == "Start data row must be 1 or more, not " + settings.StartDataRow
                            : (wrap < 0 || wrap > 255) && message == "Invalid value",
                   "refused: " + message + " (wrap " + settings.WrapWidth + "); " + Shown(source));
        return 0;
    }
    std::vector<uint8_t> stream;
    workbook.WriteToStream(TBIFF8Writer(), &stream);
    FUZZ_CHECK(stream.size() >= 512 && stream.size() % 512 == 0, std::to_string(stream.size()) + " bytes");
    FUZZ_CHECK(std::memcmp(stream.data(), kCompoundFileSignature, sizeof kCompoundFileSignature) == 0, Shown(source));

    // Moving alike cells straight to the format the first of them ended on must leave the very
    // workbook that running every format setter on every cell leaves.
    TConverter plain(locale, TCodePage());
    plain.Settings = settings;
    plain.LoadSource(source, false);
    TXLSWorkbook slow(locale);
    slow.ApplyStoredValues();
    FillWorkbook(plain, slow, false);
    std::vector<uint8_t> slowStream;
    slow.WriteToStream(TBIFF8Writer(), &slowStream);
    FUZZ_CHECK(slowStream == stream, "the workbooks differ with and without reused formats; " + Shown(source));
    return 0;
}
