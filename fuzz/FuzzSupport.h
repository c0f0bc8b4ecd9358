// Helpers of the fuzz harnesses: choices taken from the first bytes of an input, the locales the
// harnesses convert with, and checks that stop the run with a message when an invariant breaks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Locale.h"

namespace quarvel::fuzz {

// Takes settings from the input's first bytes; what is left is the document. A short input gives
// zeros for the choices it lacks.
class TChoices {
public:
    TChoices(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // One of `count` choices.
    size_t Pick(size_t count) { return Byte() % count; }
    bool Flag() { return (Byte() & 1) != 0; }
    std::string Rest() const {
        return pos_ < size_ ? std::string(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_) : std::string();
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The locales a harness recognises fields with: US, German and French conventions as the C
// library describes them (the European ones without AM/PM designators).
inline TLocaleInfo FuzzLocale(size_t choice) {
    TLocaleInfo info = UsLocaleInfo();
    if (choice == 1) {
        info.DecimalSeparator = u',';
        info.ThousandSeparator = u'.';
        info.DateSeparator = u'.';
        info.ShortDateFormat = u"dd.MM.yyyy";
        info.LongTimeFormat = u"HH:mm:ss";
        info.ShortTimeFormat = u"HH:mm";
        info.TimeAMString = u"";
        info.TimePMString = u"";
    } else if (choice == 2) {
        info.DecimalSeparator = u',';
        info.ThousandSeparator = u'\u202F';
        info.DateSeparator = u'/';
        info.ShortDateFormat = u"dd/MM/yyyy";
        info.LongTimeFormat = u"HH:mm:ss";
        info.ShortTimeFormat = u"HH:mm";
        info.TimeAMString = u"";
        info.TimePMString = u"";
    }
    return info;
}

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// Printable form of a few bytes for a failure message.
inline std::string Shown(std::string_view bytes, size_t limit = 200) {
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

}  // namespace quarvel::fuzz

#define FUZZ_CHECK(condition, detail)                                                      \
    do {                                                                                   \
        if (!(condition)) ::quarvel::fuzz::Fail(__FILE__, __LINE__, #condition, (detail)); \
    } while (0)
