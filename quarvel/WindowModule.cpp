// The exported entry of the window module.
#include "quarvel/WindowModule.h"

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "window/Unit1.h"

extern "C" __attribute__((visibility("default"))) int quarvel_run_window(
    int* argc, char** argv, const quarvel::TConversionSettings* settings, const char* commandLineError,
    const char* usage) {
    // Nothing is thrown back across the module's border.
    try {
        return quarvel::RunMainWindow(*argc, argv, *settings, std::string(commandLineError ? commandLineError : ""),
                                      std::string_view(usage ? usage : ""));
    } catch (const std::exception& error) {
        std::cerr << "quarvel: " << error.what() << "\n";
        return 1;
    }
}

// The entry's type is the one the program calls through.
[[maybe_unused]] static constexpr TRunWindowEntry kEntryTypeCheck = &quarvel_run_window;
