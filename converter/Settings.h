// The settings of one conversion, the command line that fills them and the echo that shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/BIFFRecs.h"

namespace quarvel {

// Colour values are 0x00BBGGRR (red in the low byte).
constexpr uint32_t kColorWhite = 0xFFFFFF;
constexpr uint32_t kColorGray = 0x808080;

// Settings of one conversion. Paths, numeric options and the header are bytes in the process's
// own encoding (as the command line gives them and the file system takes them); numeric options
// stay text until a conversion reads them. The divider and the terminator are one character each,
// or one of the list entries "TAB", "SPACE", "NO".
struct TConversionSettings {
    std::string SourceFile;
    std::string TargetFile;
    bool NotCleanTags = false;
    bool TablesOnly = false;  // copy only the text of tables
    std::string GroupLevels = "0";
    std::string StartDataRow = "1";
    std::string WrapWidth = "32";
    WideString FieldDivider = u"TAB";
    WideString StringTerminator = u"NO";
    uint32_t BorderColor = kColorGray;
    std::string HeaderText;
    std::string Encoding;  // the source's encoding as named by /e; empty: found from the file
};

// Reads a decimal integer (optional sign, digits, 32-bit range); anything else raises
// "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// Colour of a name of the /C switch ("black" ... "aqua", ASCII case ignored); white for any other.
uint32_t ColorFromName(std::string_view name);

// Palette index of one of the 16 standard colours; xcWhite for any other colour.
TExcelColor ColorToExcelColor(uint32_t color);

// Name of a colour in the echoed command line ("magenta" and "cyan" for fuchsia and aqua);
// "white" for a colour outside the table.
std::string ColorEchoName(uint32_t color);

// "9" for "tab", "32" for "space", "" for "no" (ASCII case ignored), else the decimal code of the
// entry's first character; "" for an empty entry.
std::string SeparatorCode(std::u16string_view entry);

// One double quote when the value holds a blank, else nothing.
std::string QuoteIfSpaced(std::string_view value);

// Applies the program's arguments (without the program path) to the settings. Returns true when
// both files are named, i.e. batch mode is to run. Fewer than two arguments are not parsed.
// A non-integer value of /F or /S stops parsing with "'<value>' is not a valid integer value";
// the settings parsed before it stay. A file name after the second is ignored; when
// `extraOperands` is given, each such value is appended to it, in order.
bool ParseCommandLine(const std::vector<std::string>& args, TConversionSettings& settings,
                      std::vector<std::string>* extraOperands = nullptr);

// The command line that reproduces the settings, starting with the program path.
std::string BuildCommandLine(const TConversionSettings& settings, const std::string& programPath);

// The divider byte of the flattener: the code of the field divider, low 8 bits.
unsigned char DividerByte(const TConversionSettings& settings);

// The options a workbook conversion reads, checked before anything is written: WrapWidth an
// integer; GroupLevels an integer from 0 to 7; StartDataRow an integer of at least 1 when
// grouping is on (GroupLevels other than "0").
void CheckWorkbookSettings(const TConversionSettings& settings);

}  // namespace quarvel
