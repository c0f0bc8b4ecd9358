// Whole-file reading and atomic whole-file writing over POSIX I/O, and the texts of file errors.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Errors.h"

namespace quarvel {

// The runtime text for an operating-system error code: ENOENT "File not found", EACCES and EPERM
// "File access denied", ENOSPC "Disk full", EISDIR "Is a directory", ENOTDIR "Not a directory",
// EROFS "Read-only file system", otherwise "I/O error <code>".
std::string FileErrorMessage(int code);
// The FileError for a failed operation on `path`: that text and the code.
FileError FileErrorFor(const std::string& path, int code);

// Reads the whole file as bytes. Throws FileError naming the path.
std::string ReadWholeFile(const std::string& path);

// The size of a regular file, or 0 when it is not one or cannot be examined (never fails).
size_t FileSizeHint(const std::string& path);

// The whole of `bytes` as the content of `path`, written by TAtomicFile (platform/AtomicFile.h):
// the target appears only whole, and on a failure an existing target is left untouched and
// FileError naming the target is thrown. A new target gets the usual permissions (0666 less the
// umask); a replaced one keeps its mode, owner and group.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// Full path of the running program (falls back to the given argv[0]).
std::string ProgramPath(const char* argv0);

}  // namespace quarvel
