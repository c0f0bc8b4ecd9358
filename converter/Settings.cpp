#include "converter/Settings.h"

#include <limits>

#include "platform/Errors.h"
#include "platform/Text.h"

namespace quarvel {

namespace {

struct TColorEntry {
    const char* Name;      // name after /C
    uint32_t Color;        // 0x00BBGGRR
    TExcelColor Index;     // palette index
    const char* EchoName;  // name in the echoed command line
};

constexpr TColorEntry kColors[] = {
    {"black", 0x000000, xcBlack, "black"},         {"maroon", 0x000080, xcDarkRed, "maroon"},
    {"green", 0x008000, xcGreen, "green"},         {"olive", 0x008080, xcBrownGreen, "olive"},
    {"navy", 0x800000, xcDarkBlue, "navy"},        {"purple", 0x800080, xcViolet, "purple"},
    {"teal", 0x808000, xcBlueGreen, "teal"},       {"gray", 0x808080, xcGray50, "gray"},
    {"silver", 0xC0C0C0, xcGray25, "silver"},      {"red", 0x0000FF, xcRed, "red"},
    {"lime", 0x00FF00, xcBrightGreen, "lime"},     {"yellow", 0x00FFFF, xcYellow, "yellow"},
    {"blue", 0xFF0000, xcBlue, "blue"},            {"fuchsia", 0xFF00FF, xcPink, "magenta"},
    {"aqua", 0xFFFF00, xcTurquoise, "cyan"},
};

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

const TColorEntry* FindColor(uint32_t color) {
    for (const auto& entry : kColors) {
        if (entry.Color == color) return &entry;
    }
    return nullptr;
}

}  // namespace

int32_t StrToInt(std::string_view text) {
    auto fail = [&]() -> int32_t { throw Error("'" + std::string(text) + "' is not a valid integer value"); };
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fail();
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return fail();
        value = value * 10 + (c - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return fail();
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return fail();
    return static_cast<int32_t>(value);
}

uint32_t ColorFromName(std::string_view name) {
    std::string lower = AsciiLower(name);
    for (const auto& entry : kColors) {
        if (lower == entry.Name) return entry.Color;
    }
    return kColorWhite;
}

TExcelColor ColorToExcelColor(uint32_t color) {
    const TColorEntry* entry = FindColor(color);
    return entry ? entry->Index : xcWhite;
}

std::string ColorEchoName(uint32_t color) {
    const TColorEntry* entry = FindColor(color);
    return entry ? entry->EchoName : "white";
}

std::string SeparatorCode(std::u16string_view entry) {
    if (entry.empty()) return "";
    std::string lower = AsciiLower(Utf16ToUtf8(entry));
    if (lower == "tab") return "9";
    if (lower == "space") return "32";
    if (lower == "no") return "";
    return std::to_string(static_cast<unsigned>(entry[0]));
}

std::string QuoteIfSpaced(std::string_view value) {
    return value.find(' ') != std::string_view::npos ? "\"" : "";
}

bool ParseCommandLine(const std::vector<std::string>& args, TConversionSettings& settings,
                      std::vector<std::string>* extraOperands) {
    if (args.size() < 2) return false;
    char pending = ' ';
    for (const std::string& arg : args) {
        // A switch begins with "/" and holds no further "/": "/home/ann/in.htm" is a file name.
        bool isSwitch = !arg.empty() && arg[0] == '/' && arg.find('/', 1) == std::string::npos;
        if (isSwitch) {
            if (arg.size() >= 2) {
                pending = arg[1];
                if (pending >= 'a' && pending <= 'z') pending = char(pending - 'a' + 'A');
            }
            // /n and /t take no value: the next value is a file name again.
            if (pending == 'N') {
                settings.NotCleanTags = true;
                pending = ' ';
            } else if (pending == 'T') {
                settings.TablesOnly = true;
                pending = ' ';
            }
            continue;
        }
        switch (pending) {
            case 'L': settings.GroupLevels = arg; break;
            case 'D': settings.StartDataRow = arg; break;
            case 'W': settings.WrapWidth = arg; break;
            case 'H': settings.HeaderText = arg; break;
            case 'E': settings.Encoding = arg; break;
            case 'F':
                if (arg == "9") {
                    settings.FieldDivider = u"TAB";
                } else if (arg == "32") {
                    settings.FieldDivider = u"SPACE";
                } else {
                    settings.FieldDivider = WideString(1, static_cast<char16_t>(StrToInt(arg)));
                }
                break;
            case 'S':
                settings.StringTerminator = WideString(1, static_cast<char16_t>(StrToInt(arg)));
                break;
            case 'C': settings.BorderColor = ColorFromName(arg); break;
            default:
                if (settings.SourceFile.empty()) {
                    settings.SourceFile = arg;
                } else if (settings.TargetFile.empty()) {
                    settings.TargetFile = arg;
                } else if (extraOperands) {
                    extraOperands->push_back(arg);
                }
                break;
        }
    }
    return !settings.SourceFile.empty() && !settings.TargetFile.empty();
}

std::string BuildCommandLine(const TConversionSettings& settings, const std::string& programPath) {
    auto quoted = [](const std::string& value) {
        std::string q = QuoteIfSpaced(value);
        return q + value + q;
    };
    std::string echo = quoted(programPath) + " ";
    echo += quoted(settings.SourceFile) + " ";
    if (!settings.SourceFile.empty()) echo += quoted(settings.TargetFile) + " ";
    if (settings.NotCleanTags) echo += "/n ";
    if (settings.TablesOnly) echo += "/t ";
    echo += "/l " + settings.GroupLevels + " ";
    echo += "/d " + settings.StartDataRow + " ";
    echo += "/w " + settings.WrapWidth + " ";
    echo += "/f " + SeparatorCode(settings.FieldDivider);
    std::string terminator = SeparatorCode(settings.StringTerminator);
    if (!terminator.empty()) echo += " /s " + terminator;
    std::string color = ColorEchoName(settings.BorderColor);
    if (color != "white") echo += " /c " + color;
    if (!settings.Encoding.empty()) echo += " /e " + quoted(settings.Encoding);
    if (!settings.HeaderText.empty()) echo += " /h " + quoted(settings.HeaderText);
    return echo;
}

unsigned char DividerByte(const TConversionSettings& settings) {
    return static_cast<unsigned char>(StrToInt(SeparatorCode(settings.FieldDivider)) & 0xFF);
}

void CheckWorkbookSettings(const TConversionSettings& settings) {
    StrToInt(settings.WrapWidth);
    int32_t levels = StrToInt(settings.GroupLevels);
    if (levels < 0 || levels > 7) {
        throw Error("Group levels must be from 0 to 7, not " + settings.GroupLevels);
    }
    if (settings.GroupLevels != "0" && StrToInt(settings.StartDataRow) < 1) {
        throw Error("Start data row must be 1 or more, not " + settings.StartDataRow);
    }
}

}  // namespace quarvel
