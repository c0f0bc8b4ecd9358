// The formatting records of the workbook globals: FONT, FORMAT, XF, STYLE and PALETTE.
//
// Per record: its id, its body size and a function that writes the body's fields in body order
// (see biff/RecordSink.h for how they are written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/ByteBuffer.h"

namespace quarvel {

// FONT: one font of the workbook's font list; cell formats name fonts by list position (readers
// number them 0, 1, 2, 3, 5, 6, ..., so position 4 is never written).
//   offset size field
//   0      2    height in twentieths of a point
//   2      2    options: 0x0002 italic, 0x0008 struck out
//   4      2    colour: a palette index, 0x7FFF for the window's text colour
//   6      2    weight: 400 normal, 700 bold
//   8      2    escapement: 0 none, 1 superscript, 2 subscript
//   10     1    underline: 0x00 none, 0x01 single, 0x02 double, 0x21 single accounting,
//               0x22 double accounting
//   11     1    font family
//   12     1    character set
//   13     1    reserved, 0
//   14     1    name length n, in characters
//   15     1    option byte 0x01: the name is UTF-16, also when it would fit in 8 bits
//   16     2n   name
// The BIFF5 body has no option byte and the name in 8-bit characters (15 + n bytes).
inline constexpr uint16_t ridFONT = 0x0031;
struct TFontFields {
    uint16_t Height = 200;
    uint16_t Options = 0;
    uint16_t Color = 0x7FFF;
    uint16_t Weight = 400;
    uint16_t Escapement = 0;
    uint8_t Underline = 0;
    uint8_t Family = 0;
    uint8_t CharSet = 0;
    std::u16string_view Name;  // at most 255 characters
};
inline constexpr size_t FontSize(size_t nameLength) { return 16 + 2 * nameLength; }
void PutFont(TByteSpan& body, const TFontFields& font);
inline constexpr size_t FontSizeBIFF5(size_t nameLength) { return 15 + nameLength; }
// Characters above U+00FF become '?'.
void PutFontBIFF5(TByteSpan& body, const TFontFields& font);

// FORMAT: a number format code and the id cell formats name it by.
//   offset size field
//   0      2    format id
//   2      2    character count n
//   4      1    option byte 0x01: UTF-16 characters
//   5      2n   format code
inline constexpr uint16_t ridFORMAT = 0x041E;
inline constexpr size_t FormatSize(size_t length) { return 5 + 2 * length; }
void PutFormat(TByteSpan& body, uint16_t formatId, std::u16string_view code);

// XF: one cell format, as the model holds it (workbook/CellFormats.h edits the fields in place).
//   offset size field
//   0      2    font: position in the font list
//   2      2    number format id
//   4      2    bit 0 locked, bit 1 hidden, bit 2 style XF, bits 4-15 parent style XF
//   6      1    bits 0-2 horizontal alignment, bit 3 wrap, bits 4-6 vertical alignment
//   7      1    text rotation
//   8      1    bits 0-3 indent, bit 4 shrink to fit, bits 6-7 reading order
//   9      1    attributes set apart from the parent style: 0x04 number format, 0x08 font,
//               0x10 alignment, 0x20 borders, 0x40 fill, 0x80 protection
//   10     4    line styles (4 bits each) left, right, top, bottom; palette indexes (7 bits each)
//               of the left and right borders; 2 bits diagonal lines
//   14     4    palette indexes (7 bits each) of the top, bottom and diagonal borders; diagonal
//               line style (4 bits); bit 25 reserved; fill pattern (6 bits, from bit 26)
//   18     2    palette indexes (7 bits each) of the pattern and the background
inline constexpr uint16_t ridXF = 0x00E0;
inline constexpr size_t XFSize = 20;
// `xf` holds the XFSize bytes.
void PutXF(TByteSpan& body, const uint8_t* xf);

// STYLE of a built-in style: which cell format carries it.
//   offset size field
//   0      2    XF index, plus 0x8000 (a built-in style)
//   2      1    built-in style: 0 Normal, 3 Comma, 4 Currency, 5 Percent, 6 Comma [0],
//               7 Currency [0]
//   3      1    outline level, 0xFF for a style of no outline level
inline constexpr uint16_t ridSTYLE = 0x0293;
inline constexpr size_t BuiltInStyleSize = 4;
void PutBuiltInStyle(TByteSpan& body, uint16_t xf, uint8_t style, uint8_t level = 0xFF);

// PALETTE: the colours of palette indexes 8 to 8 + n - 1, written only when they differ from the
// default palette.
//   offset size field
//   0      2    colour count n (56)
//   2      4n   colours, 0x00BBGGRR
inline constexpr uint16_t ridPALETTE = 0x0092;
inline constexpr size_t PaletteSize(size_t count) { return 2 + 4 * count; }
void PutPalette(TByteSpan& body, const uint32_t* colors, size_t count);

}  // namespace quarvel
