// Unicode upper-casing of UTF-16 text, independent of the process locale.
#pragma once

#include <string_view>

#include "platform/WideString.h"

namespace quarvel {

// The simple upper-case mapping of one code unit of the Basic Multilingual Plane: a character whose
// upper case is one character gets it ("a" to "A", "я" to "Я", "ÿ" to "Ÿ"); every other unit,
// surrogates included, is returned unchanged (so "ß" stays "ß").
char16_t UnicodeUpper(char16_t c);

// The text with every code unit upper-cased by UnicodeUpper; the length never changes.
WideString UnicodeUpperCase(std::u16string_view text);

// Whether two texts are equal after upper-casing.
bool SameTextIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace quarvel
