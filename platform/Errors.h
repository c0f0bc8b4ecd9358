// The one kind of failure the system raises: an exception carrying a message text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quarvel {

// General failure. The message is UTF-8 and is shown to the user as it stands.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The error of a list accessed outside its items: "List index out of bounds (5)".
inline Error ListIndexError(long long index) {
    return Error("List index out of bounds (" + std::to_string(index) + ")");
}

// A failed file operation. The message is the text for the operating-system error
// (FileErrorMessage: "File not found", "File access denied", ..., "I/O error %d"); Path() names the file,
// so that the command line can print "quarvel: <path>: <message>".
class FileError : public Error {
public:
    FileError(std::string path, const std::string& message, int code = 0)
        : Error(message), path_(std::move(path)), code_(code) {}
    const std::string& Path() const { return path_; }
    int Code() const { return code_; }

private:
    std::string path_;
    int code_;
};

// A message as a terminal or a log shows it: the line breaks of message boxes (a CR alone, as in
// "Error on writing record # 5\r..."; a CR LF) become LF, so that no part of it is written over.
std::string ConsoleMessage(std::string_view message);

}  // namespace quarvel
