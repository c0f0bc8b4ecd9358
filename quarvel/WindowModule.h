// The window lives in a module of its own (quarvel-window.so), loaded only when the window is to
// open: batch runs then never load the toolkit's libraries, which would cost every run tens of
// milliseconds and megabytes before it reads a byte.
#pragma once

#include "converter/Settings.h"

// The module's file name, looked for beside the program and then at QUARVEL_WINDOW_MODULE_DIR
// (relative to the program's folder) where an installation puts it.
#define QUARVEL_WINDOW_MODULE_FILE "quarvel-window.so"
// The module's one exported function, run as RunMainWindow: returns the process's exit status.
#define QUARVEL_WINDOW_ENTRY "quarvel_run_window"

extern "C" {
using TRunWindowEntry = int (*)(int* argc, char** argv, const quarvel::TConversionSettings* settings,
                                const char* commandLineError, const char* usage);
}
