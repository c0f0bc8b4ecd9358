#include "biff/FormatRecords.h"

namespace quarvel {

namespace {

void PutFontFields(TByteSpan& body, const TFontFields& font) {
    body.PutU16(font.Height);
    body.PutU16(font.Options);
    body.PutU16(font.Color);
    body.PutU16(font.Weight);
    body.PutU16(font.Escapement);
    body.PutU8(font.Underline);
    body.PutU8(font.Family);
    body.PutU8(font.CharSet);
    body.PutU8(0);
    body.PutU8(static_cast<uint8_t>(font.Name.size()));
}

}  // namespace

void PutFont(TByteSpan& body, const TFontFields& font) {
    PutFontFields(body, font);
    body.PutU8(0x01);
    body.PutUtf16(font.Name.data(), font.Name.size());
}

void PutFontBIFF5(TByteSpan& body, const TFontFields& font) {
    PutFontFields(body, font);
    for (const char16_t c : font.Name) body.PutU8(c <= 0xFF ? static_cast<uint8_t>(c) : '?');
}

void PutFormat(TByteSpan& body, uint16_t formatId, std::u16string_view code) {
    body.PutU16(formatId);
    body.PutU16(static_cast<uint16_t>(code.size()));
    body.PutU8(0x01);
    body.PutUtf16(code.data(), code.size());
}

void PutXF(TByteSpan& body, const uint8_t* xf) { body.PutBytes(xf, XFSize); }

void PutBuiltInStyle(TByteSpan& body, uint16_t xf, uint8_t style, uint8_t level) {
    body.PutU16(static_cast<uint16_t>(xf | 0x8000));
    body.PutU8(style);
    body.PutU8(level);
}

void PutPalette(TByteSpan& body, const uint32_t* colors, size_t count) {
    body.PutU16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) body.PutU32(colors[i]);
}

}  // namespace quarvel
