// Program entry: batch mode from the command line; the window when no batch command line is given.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "converter/Converter.h"
#include "converter/Settings.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Memory.h"

#ifdef QUARVEL_HAS_WINDOW
#include <dlfcn.h>
#include <unistd.h>

#include "quarvel/WindowModule.h"
#endif

#ifndef QUARVEL_VERSION
#define QUARVEL_VERSION "0.0.0"
#endif
// Where an installation puts the copyright file with the licence's text.
#ifndef QUARVEL_COPYRIGHT_FILE
#define QUARVEL_COPYRIGHT_FILE "/usr/share/doc/quarvel/copyright"
#endif

namespace {

using namespace quarvel;

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: quarvel [/n] [/t] SOURCE TARGET [/l LEVELS] [/d ROW] [/w WIDTH]\n"
    "               [/f CODE] [/s CODE] [/c COLOUR] [/e ENCODING] [/h TEXT]\n"
    "       quarvel [SWITCHES]      without a source and a target: opens the window\n"
    "       quarvel --help | --version\n"
    "\n"
    "Converts a plain-text, CSV or HTML file into a workbook or into cleaned\n"
    "delimited text. The target's extension decides: .xlsx writes an Office Open\n"
    "XML workbook (a sheet of 1,048,576 rows and 16,384 columns), one beginning\n"
    "with .csv or .txt the text, any other an Excel 97 workbook (.xls: 65,536\n"
    "rows and 256 columns). What a sheet cannot hold is left out with a warning.\n"
    "\n"
    "  /n           take the source as it is (do not flatten HTML)\n"
    "  /t           tables only: leave out a page's text outside its tables\n"
    "  /l LEVELS    leading columns that drive row grouping, 0 to 7 (default 0)\n"
    "  /d ROW       first line that takes part in row grouping (default 1)\n"
    "  /w WIDTH     column width limit and wrap threshold, in characters\n"
    "               (default 32)\n"
    "  /f CODE      field divider as a character code: 9 tab, 59 ';', 44 ',',\n"
    "               32 space (default 9)\n"
    "  /s CODE      string terminator as a character code: 34 '\"', 39 \"'\"; with\n"
    "               /n a workbook reads the source as CSV quoted with it\n"
    "  /c COLOUR    border colour: black maroon green olive navy purple teal gray\n"
    "               silver red lime yellow blue fuchsia aqua (default gray); any\n"
    "               other name turns borders off\n"
    "  /e ENCODING  the source's character encoding (windows-1251, Shift_JIS,\n"
    "               ...); by default its byte-order mark, an HTML page's own\n"
    "               declaration, else the locale's\n"
    "  /h TEXT      a header line put before the text\n"
    "\n"
    "A value goes to the last switch given, so file names stand before the first\n"
    "switch that takes a value, or directly after /n or /t. An argument starting\n"
    "with \"/\" that holds another \"/\" is a file name (/home/ann/in.htm).\n"
    "\n"
    "Exit status: 0 target written, 1 conversion failed, 2 bad command line.\n";

#ifdef QUARVEL_HAS_WINDOW
// The folder of the running program, with a trailing "/" (empty when the system does not say).
std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// Loads the window module (beside the program in a build tree, in the library folder once
// installed) and returns its entry; null with `reason` set when there is none to load.
TRunWindowEntry LoadWindowModule(std::string& reason) {
    const std::string folder = ProgramFolder();
    std::string candidates[] = {folder + QUARVEL_WINDOW_MODULE_FILE,
                                folder + QUARVEL_WINDOW_MODULE_DIR "/" QUARVEL_WINDOW_MODULE_FILE};
    for (const std::string& candidate : candidates) {
        if (::access(candidate.c_str(), F_OK) != 0) continue;
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* error = ::dlerror();
            reason = error ? error : candidate + ": cannot be loaded";
            return nullptr;
        }
        if (auto entry = reinterpret_cast<TRunWindowEntry>(::dlsym(module, QUARVEL_WINDOW_ENTRY))) return entry;
        reason = candidate + ": no window entry in it";
        return nullptr;
    }
    reason = "the window module " QUARVEL_WINDOW_MODULE_FILE " was not found";
    return nullptr;
}
#endif

// Where the window takes over when the command line names no source and target. The toolkit is
// loaded and started only here, so batch mode never touches it. A build without the window, or an
// installation whose window module is missing, says so and shows the usage.
int OpenWindow(int& argc, char** argv, const TConversionSettings& settings, const std::string& parseError) {
    std::string reason = "this build has no window";
#ifdef QUARVEL_HAS_WINDOW
    if (TRunWindowEntry run = LoadWindowModule(reason)) return run(&argc, argv, &settings, parseError.c_str(), kUsage);
    reason = "the window cannot be opened: " + reason;
#else
    (void)argc;
    (void)argv;
    (void)settings;
#endif
    if (!parseError.empty()) std::cerr << "quarvel: " << parseError << "\n";
    std::cerr << kUsage;
    std::cerr << "quarvel: no source and target file given, and " << reason << "\n";
    return kExitUsage;
}

void PrintWarnings(const TConversionReport& report, const std::string& target) {
    for (const std::string& warning : CutWarnings(report)) {
        std::cerr << "quarvel: " << target << ": warning: " << warning << "\n";
    }
}

// Batch mode ends the process right after its one conversion, without taking apart what the
// conversion built: the system takes the memory back at once. Builds with a sanitizer take
// everything apart as usual, so that the leak check sees it all freed.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEndWithoutTeardown = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kEndWithoutTeardown = false;
#else
constexpr bool kEndWithoutTeardown = true;
#endif
#else
constexpr bool kEndWithoutTeardown = true;
#endif

[[noreturn]] void EndProcess(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

int RunBatch(const TConversionSettings& settings) {
    // One conversion, then the process ends: the heap is grown once, on huge pages, to what the
    // conversion will take, instead of page by page.
    ReserveHeap(HeapForSource(FileSizeHint(settings.SourceFile)));
    try {
        TConverter converter(ReadProcessLocale(), TCodePage::FromProcessLocale());
        converter.Settings = settings;
        converter.EndsProcess = kEndWithoutTeardown;
        TConversionReport report = converter.RunConversion(settings.SourceFile, settings.TargetFile);
        PrintWarnings(report, settings.TargetFile);
        if (kEndWithoutTeardown) EndProcess(kExitWritten);
        return kExitWritten;
    } catch (const FileError& error) {
        std::cerr << "quarvel: " << error.Path() << ": " << ConsoleMessage(error.what()) << "\n";
    } catch (const Error& error) {
        std::cerr << "quarvel: " << settings.TargetFile << ": " << ConsoleMessage(error.what()) << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "quarvel: " << settings.SourceFile << ": Out of memory\n";
    }
    return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return kExitWritten;
    }
    if (!args.empty() && args[0] == "--version") {
        std::cout << "quarvel " << QUARVEL_VERSION << "\n"
                  << "Copyright (C) 2026 The QUARVEL developers\n"
                  << "Licence: MIT (see " QUARVEL_COPYRIGHT_FILE ")\n";
        return kExitWritten;
    }

    TConversionSettings settings;
    bool batch = false;
    std::vector<std::string> extraOperands;
    try {
        batch = ParseCommandLine(args, settings, &extraOperands);
    } catch (const Error& error) {
        // With both files named the user meant a batch run: report it as a bad command line.
        if (!settings.SourceFile.empty() && !settings.TargetFile.empty()) {
            std::cerr << "quarvel: " << error.what() << "\n";
            return kExitUsage;
        }
        return OpenWindow(argc, argv, settings, error.what());
    }
    if (!batch) return OpenWindow(argc, argv, settings, "");
    // Only two files are converted: every further file name is said to be left out (a command
    // line with fewer than two names opens the window, so it never has any).
    for (const std::string& operand : extraOperands) {
        std::cerr << "quarvel: extra operand '" << operand << "' ignored\n";
    }
    return RunBatch(settings);
}
