// Conversions between UTF-8 bytes and the UTF-16 text of the model.
#pragma once

#include <string>
#include <string_view>

#include "platform/WideString.h"

namespace quarvel {

// The Unicode character of a Windows-1252 byte. The five bytes that code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, so every byte has a
// character and none is lost.
char16_t Windows1252ToUnicode(unsigned char byte);

// Decodes UTF-8 and appends it to `out`. A byte that does not belong to a well-formed UTF-8
// sequence (stray continuation byte, overlong form, encoded surrogate, truncated sequence) is
// taken as one Windows-1252 character, so text in a legacy single-byte encoding keeps every byte.
void AppendUtf8AsUtf16(std::string_view bytes, WideString& out);
WideString Utf8ToUtf16(std::string_view bytes);

// The same decoding with UTF-8 output: well-formed sequences are copied as they are and every
// other byte becomes the UTF-8 of its Windows-1252 character, so the result is always well-formed
// UTF-8 and decodes to what AppendUtf8AsUtf16 gives. Valid input is copied in long runs.
void AppendRepairedUtf8(std::string_view bytes, std::string& out);

// Appends the UTF-8 bytes of one code point (at most U+10FFFF; surrogates are encoded as they are,
// so callers pass none).
void AppendCodePointUtf8(char32_t code, std::string& out);

// Position of the first `unit` in text at or after `from`, or npos: what text.find(unit, from)
// gives, searched 8 units at a time.
size_t FindUnit(std::u16string_view text, char16_t unit, size_t from);

// How many times `unit` occurs in text at or after `from`, counted 8 units at a time.
size_t CountUnit(std::u16string_view text, char16_t unit, size_t from = 0);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD.
void AppendUtf16AsUtf8(std::u16string_view text, std::string& out);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace quarvel
