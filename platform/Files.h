// Whole-file reading and atomic whole-file writing over POSIX I/O.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarvel {

// The runtime text for an operating-system error code: "File not found", "File access denied",
// "Disk full", otherwise "I/O error <code>".
std::string FileErrorMessage(int code);

// Reads the whole file as bytes. Throws FileError naming the path.
std::string ReadWholeFile(const std::string& path);

// The size of a regular file, or 0 when it is not one or cannot be examined (never fails).
size_t FileSizeHint(const std::string& path);

// Writes bytes to a temporary file in the target's folder and renames it over the target once
// every byte is written and the file closed, so that the target appears only whole: on any failure the temporary file is removed,
// an existing target is left untouched, and FileError naming the target is thrown. A target the
// user may not write is refused ("File access denied"). A new target gets the usual permissions
// (0666 less the umask); a replaced one keeps its own.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// Full path of the running program (falls back to the given argv[0]).
std::string ProgramPath(const char* argv0);

}  // namespace quarvel
