// The system code page: how the bytes of source files and of the header text map to Unicode.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

#include "workbook/BIFFRecs.h"

namespace quarvel {

class TCodePage {
public:
    // UTF-8 with Windows-1252 for stray bytes: the code page of UTF-8 and plain ASCII locales.
    TCodePage();

    // The code page of a codeset name as nl_langinfo(CODESET) gives it ("UTF-8",
    // "ANSI_X3.4-1968", "ISO-8859-1", "CP1251", ...). Single-byte codesets are tabulated once
    // through iconv; other codesets are converted through iconv on each call. A codeset iconv
    // does not know gives the UTF-8 code page.
    static TCodePage ForCodeset(const std::string& codeset);

    // The code page of the process locale (call setlocale first).
    static TCodePage FromProcessLocale();

    const std::string& Name() const { return name_; }
    bool IsUtf8() const { return kind_ == Kind::Utf8; }

    // Bytes to Unicode. Never fails and never drops a byte: a byte the codeset cannot decode
    // becomes its Windows-1252 character.
    void AppendDecoded(std::string_view bytes, WideString& out) const;
    WideString Decode(std::string_view bytes) const;

    // Appends the bytes of one character and returns true, or returns false and appends nothing
    // when the codeset cannot hold it.
    bool AppendEncoded(char32_t code, std::string& out) const;

    // Unicode to bytes; a character the codeset cannot hold becomes "?".
    std::string Encode(std::u16string_view text) const;

private:
    enum class Kind { Utf8, SingleByte, MultiByte };
    Kind kind_ = Kind::Utf8;
    std::string name_ = "UTF-8";
    std::array<char16_t, 256> toUnicode_{};
    std::unordered_map<char16_t, unsigned char> fromUnicode_;
};

}  // namespace quarvel
