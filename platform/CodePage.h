// Code pages: how the bytes of source files and of the header text map to Unicode, for the
// locale's codeset and for any encoding a page declares or the user names.
#pragma once

#include <array>
#include <bitset>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/WideString.h"

namespace quarvel {

class TCodePage {
public:
    // UTF-8 with Windows-1252 for stray bytes: the code page of UTF-8 and plain ASCII locales.
    TCodePage();

    // The code page of a codeset name as nl_langinfo(CODESET) gives it ("UTF-8",
    // "ANSI_X3.4-1968", "ISO-8859-1", "CP1251", ...). Single-byte codesets are tabulated once
    // through iconv; other codesets are converted through iconv. A codeset iconv does not know
    // gives the UTF-8 code page.
    static TCodePage ForCodeset(const std::string& codeset);

    // The code page of the process locale (call setlocale first).
    static TCodePage FromProcessLocale();

    // The code page of an encoding label of the WHATWG Encoding Standard ("windows-1251",
    // "Shift_JIS", "latin1", "utf-16", see EncodingForLabel) or else of an iconv name ("CP437",
    // "KOI8-RU", "EBCDIC-US"). Labels come first, so "ISO-8859-1" and "US-ASCII" give
    // windows-1252 as they do in browsers. Nullopt when neither knows the name.
    static std::optional<TCodePage> ForName(std::string_view name);

    // The encoding's name: the standard's name for a label ("windows-1251", "shift_jis", "gbk",
    // "utf-16le"), otherwise the codeset or iconv name as given ("UTF-8" for the default).
    const std::string& Name() const { return name_; }
    // UTF-8 with Windows-1252 for stray bytes.
    bool IsUtf8() const { return kind_ == Kind::Utf8; }
    bool IsUtf16() const { return kind_ == Kind::Utf16Le || kind_ == Kind::Utf16Be; }

    // True when the bytes of markup can be read without decoding: every byte below 0x80, outside a
    // multi-byte character, stands for its ASCII character, and no multi-byte character contains
    // the bytes of blanks, line breaks or the characters < > & ; " ' = /. The trail bytes of
    // Shift_JIS, GBK/GB18030, Big5 and the Korean UHC are letters, digits or other punctuation, so
    // these count as compatible; UTF-16, the ISO-2022 encodings, HZ, UTF-7 and EBCDIC do not.
    bool IsAsciiCompatible() const { return asciiCompatible_; }

    // Bytes to Unicode. Never fails and never drops a byte: a byte the encoding cannot decode
    // becomes its Windows-1252 character; in UTF-16 a lone surrogate and an odd last byte become
    // U+FFFD. A byte-order mark is decoded as the character U+FEFF: DetectBom finds it and the
    // caller passes the bytes after it.
    void AppendDecoded(std::string_view bytes, WideString& out) const;
    WideString Decode(std::string_view bytes) const;
    // The same text as UTF-8, character for character what Decode gives. Fast for large inputs.
    std::string DecodeToUtf8(std::string_view bytes) const;
    void AppendDecodedUtf8(std::string_view bytes, std::string& out) const;

    // Unicode to bytes; a character the encoding cannot hold becomes "?" (a byte of a single-byte
    // page's table encodes back to that byte, so decoding and encoding give back the bytes).
    std::string Encode(std::u16string_view text) const;

    // Appends the bytes of one character in this encoding and returns true, or returns false and
    // appends nothing when the encoding has no bytes for it. Surrogates and values past U+10FFFF
    // are no characters and give false; a character that only a stray byte decodes to (a byte the
    // encoding leaves undefined) gives false as well.
    bool AppendEncoded(char32_t code, std::string& out) const;

private:
    enum class Kind { Utf8, Utf16Le, Utf16Be, SingleByte, MultiByte, Hz };
    struct TSingleByteTables;
    struct TIconvState;

    static TCodePage ForIconv(std::string name, std::string decoder, std::string encoder);
    static TCodePage SingleByteFromTable(std::string name, const std::array<char16_t, 256>& table,
                                         const std::bitset<256>& defined);
    void AppendDecodedMultiByte(std::string_view bytes, std::string& out) const;
    void AppendDecodedHz(std::string_view bytes, std::string& out) const;
    bool AppendEncodedMultiByte(char32_t code, std::string& out) const;
    bool AppendEncodedHz(char32_t code, std::string& out) const;

    Kind kind_ = Kind::Utf8;
    std::string name_ = "UTF-8";
    bool asciiCompatible_ = true;
    // Single-byte pages: the character of every byte, which bytes the encoding defines, and
    // the way back. Shared by the copies of a page.
    std::shared_ptr<const TSingleByteTables> tables_;
    // Multi-byte pages: the iconv converters, opened when first used and shared by the copies.
    std::shared_ptr<TIconvState> iconv_;
};

}  // namespace quarvel
