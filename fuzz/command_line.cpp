// Fuzzes the command line: the input cut at zero bytes is the argument list. Parsing must fail
// only with the integer error of /f or /s; the echo of what was parsed, read back as the echo's
// blanks and double quotes cut it, must give the same settings and the same echo, except where
// the echo cannot carry a value: a colour read back as white (fuchsia and aqua echo as
// magenta and cyan; white is not echoed), a value holding a double quote (quotes are not
// escaped), and the numeric values /l, /d, /w, which are echoed unquoted.
#include <cstdint>
#include <string>
#include <vector>

#include "converter/Settings.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Errors.h"

using namespace quarvel;
using quarvel::fuzz::Shown;

namespace {

// The echo cut into arguments: blanks outside double quotes separate them, the quotes go.
std::vector<std::string> SplitEcho(const std::string& echo) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, started = false;
    for (char c : echo) {
        if (c == '"') {
            quoted = !quoted;
            started = true;
        } else if (c == ' ' && !quoted) {
            if (started) args.push_back(current);
            current.clear();
            started = false;
        } else {
            current.push_back(c);
            started = true;
        }
    }
    if (started) args.push_back(current);
    return args;
}

bool EchoesPlainly(const std::string& value) { return !value.empty() && value.find_first_of(" \"") == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    std::string shown;
    for (const std::string& arg : args) shown += "[" + Shown(arg, 60) + "]";

    TConversionSettings settings;
    bool batch = false;
    try {
        batch = ParseCommandLine(args, settings);
    } catch (const Error& error) {
        const std::string message = error.what();
        FUZZ_CHECK(message.size() > 30 && message.rfind("'", 0) == 0 &&
                       message.compare(message.size() - 30, 30, "' is not a valid integer value") == 0,
                   message + "; " + shown);
        return 0;
    }
    FUZZ_CHECK(batch == (!settings.SourceFile.empty() && !settings.TargetFile.empty()), shown);
    const std::string echo = BuildCommandLine(settings, "q");
    FUZZ_CHECK(echo.rfind("q ", 0) == 0, echo);

    bool plain = true;
    for (const std::string& arg : args) plain = plain && arg.find('"') == std::string::npos;
    plain = plain && EchoesPlainly(settings.GroupLevels) && EchoesPlainly(settings.StartDataRow) &&
            EchoesPlainly(settings.WrapWidth);
    if (!plain) return 0;

    std::vector<std::string> echoed = SplitEcho(echo);
    echoed.erase(echoed.begin());  // the program
    TConversionSettings back;
    bool backBatch = false;
    try {
        backBatch = ParseCommandLine(echoed, back);
    } catch (const Error& error) {
        FUZZ_CHECK(false, std::string("the echo does not parse: ") + error.what() + "; echo " + Shown(echo) + "; " + shown);
    }
    FUZZ_CHECK(backBatch == batch, "echo " + Shown(echo) + "; " + shown);
    // Everything but the colour gives back the same echo.
    TConversionSettings sameColour = back;
    sameColour.BorderColor = settings.BorderColor;
    const std::string echoBack = BuildCommandLine(sameColour, "q");
    FUZZ_CHECK(echoBack == echo, "echo " + Shown(echo) + "; read back " + Shown(echoBack) + "; " + shown);
    const std::string colour = ColorEchoName(settings.BorderColor);
    if (colour != "white" && colour != "magenta" && colour != "cyan") {
        FUZZ_CHECK(back.BorderColor == settings.BorderColor, "echo " + Shown(echo) + "; " + shown);
    } else {
        FUZZ_CHECK(back.BorderColor == (colour == "white" ? kColorGray : kColorWhite), "echo " + Shown(echo) + "; " + shown);
    }
    FUZZ_CHECK(back.SourceFile == settings.SourceFile && back.TargetFile == settings.TargetFile &&
                   back.NotCleanTags == settings.NotCleanTags && back.TablesOnly == settings.TablesOnly &&
                   back.HeaderText == settings.HeaderText && back.Encoding == settings.Encoding &&
                   back.GroupLevels == settings.GroupLevels && back.StartDataRow == settings.StartDataRow &&
                   back.WrapWidth == settings.WrapWidth,
               "echo " + Shown(echo) + "; " + shown);
    return 0;
}
