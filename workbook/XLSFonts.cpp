#include "workbook/XLSFonts.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>


namespace quarvel {

namespace {

// RGB triple written as 0xRRGGBB, stored with red in the low byte.
constexpr uint32_t Rgb(uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}

// Case folding for font names: ASCII, Latin-1, Greek and Cyrillic capitals.
char16_t LowerChar(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 32;                  // Latin-1 capitals
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;   // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                 // Cyrillic А..Я
    if (c >= 0x400 && c <= 0x40F) return c + 80;                 // Cyrillic Ѐ..Џ
    return c;
}

bool SameTextIgnoringCase(const WideString& a, const WideString& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

uint8_t UnderlineCode(uint8_t underline) {
    switch (underline) {
        case xulSingle: return 0x01;
        case xulDouble: return 0x02;
        case xulSingleAccount: return 0x21;
        case xulDoubleAccount: return 0x22;
        default: return 0x00;
    }
}

TXFontStyles DescriptionStyle(const TFontDescription& d) {
    TXFontStyles style = 0;
    if (d.Bold) style |= xfsBold;
    if (d.Italic) style |= xfsItalic;
    if (d.StrikeOut) style |= xfsStrikeOut;
    return style;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Palette

const TPalette DefaultPalette = {
    0, 0, 0, 0, 0, 0, 0, 0,
    Rgb(0x000000), Rgb(0xFFFFFF), Rgb(0xFF0000), Rgb(0x00FF00),
    Rgb(0x0000FF), Rgb(0xFFFF00), Rgb(0xFF00FF), Rgb(0x00FFFF),
    Rgb(0x800000), Rgb(0x008000), Rgb(0x000080), Rgb(0x808000),
    Rgb(0x800080), Rgb(0x008080), Rgb(0xC0C0C0), Rgb(0x808080),
    Rgb(0x9999FF), Rgb(0x993366), Rgb(0xFFFFCC), Rgb(0xCCFFFF),
    Rgb(0x660066), Rgb(0xFF8080), Rgb(0x0066CC), Rgb(0xCCCCFF),
    Rgb(0x000080), Rgb(0xFF00FF), Rgb(0xFFFF00), Rgb(0x00FFFF),
    Rgb(0x800080), Rgb(0x800000), Rgb(0x008080), Rgb(0x0000FF),
    Rgb(0x00CCFF), Rgb(0xCCFFFF), Rgb(0xCCFFCC), Rgb(0xFFFF99),
    Rgb(0x99CCFF), Rgb(0xFF99CC), Rgb(0xCC99FF), Rgb(0xFFCC99),
    Rgb(0x3366FF), Rgb(0x33CCCC), Rgb(0x99CC00), Rgb(0xFFCC00),
    Rgb(0xFF9900), Rgb(0xFF6600), Rgb(0x666699), Rgb(0x969696),
    Rgb(0x003366), Rgb(0x339966), Rgb(0x003300), Rgb(0x333300),
    Rgb(0x993300), Rgb(0x993366), Rgb(0x333399), Rgb(0x333333),
    0x0F000000,
};

TPalette Palette = DefaultPalette;

void ResetPalette() { Palette = DefaultPalette; }

TExcelColor NearestPaletteIndex(uint32_t rgb) {
    const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    int best = 16777215;
    int result = xcBlack;
    for (int i = xcBlack; i <= xcGray80; ++i) {
        const uint32_t e = Palette[i];
        const int d = std::abs(r - static_cast<int>(e & 0xFF)) +
                      std::abs(g - static_cast<int>((e >> 8) & 0xFF)) +
                      std::abs(b - static_cast<int>((e >> 16) & 0xFF));
        if (d < best) {
            best = d;
            result = i;
        }
    }
    return static_cast<TExcelColor>(result);
}

TExcelColor FontDescriptionColorIndex(uint32_t rgb) {
    switch (rgb & 0xFFFFFF) {
        case 0x000000: return static_cast<TExcelColor>(8);
        case 0x000080: return static_cast<TExcelColor>(16);
        case 0x0000FF: return static_cast<TExcelColor>(10);
        case 0x008000: return static_cast<TExcelColor>(17);
        case 0x800080: return static_cast<TExcelColor>(36);
        case 0x008080: return static_cast<TExcelColor>(19);
        case 0x00FF00: return static_cast<TExcelColor>(11);
        case 0x00FFFF: return static_cast<TExcelColor>(13);
        case 0x800000: return static_cast<TExcelColor>(18);
        case 0xFF00FF: return static_cast<TExcelColor>(33);
        case 0x808000: return static_cast<TExcelColor>(49);
        case 0x808080: return static_cast<TExcelColor>(55);
        case 0xC0C0C0: return static_cast<TExcelColor>(22);
        case 0xFF0000: return static_cast<TExcelColor>(12);
        case 0xFFFF00: return static_cast<TExcelColor>(15);
        default: return NearestPaletteIndex(rgb);
    }
}

// ---------------------------------------------------------------------------------------------
// TXFont

TXFont::TXFont() { Reset(); }

TXFont::TXFont(const TXFont& source) {
    Reset();
    Assign(source);
}

void TXFont::Reset() {
    name_ = u"Arial";
    values_ = Values{};
    values_.height20 = 200;
    values_.color = xcBlack;
    values_.family = 2;
    index_ = 0;
    refCount_ = 0;
    exclusive_ = false;
}

void TXFont::Assign(const TXFont& source) {
    values_ = source.values_;
    name_ = source.name_;
}

void TXFont::SetSize(int32_t points) {
    if (points > 0) values_.height20 = points * 20;
}

uint32_t TXFont::ColorRGB() const { return Palette[std::min<int>(values_.color, xcAutomatic)]; }

void TXFont::SetColorRGB(uint32_t rgb) { values_.color = NearestPaletteIndex(rgb); }

bool TXFont::SameFont(const TXFont& other) const {
    if (exclusive_) return false;
    return values_ == other.values_ && SameTextIgnoringCase(name_, other.name_);
}

void TXFont::AssignFontDescription(const TFontDescription& d) {
    values_.charSet = d.CharSet;
    values_.family = 2;
    values_.color = FontDescriptionColorIndex(d.Color);
    name_ = d.Name;
    values_.height20 = d.Size * 20;
    values_.style = DescriptionStyle(d);
    values_.subSuperscript = xssNone;
    values_.underline = d.Underline ? xulSingle : xulNone;
}

bool TXFont::MatchesFontDescription(const TFontDescription& d) const {
    if (exclusive_) return false;
    // The underline must agree both ways: a plain description never takes an underlined font.
    if (values_.underline != (d.Underline ? xulSingle : xulNone)) return false;
    return values_.charSet == d.CharSet && name_ == d.Name && d.Size * 20 == values_.height20 &&
           DescriptionStyle(d) == values_.style && values_.subSuperscript == xssNone &&
           FontDescriptionColorIndex(d.Color) == values_.color;
}

TFontFields TXFont::FontFields() const {
    // The length field is one byte: a longer name is cut, never in a surrogate pair.
    size_t length = std::min<size_t>(name_.size(), 255);
    if (length < name_.size() && length > 0 && name_[length - 1] >= 0xD800 && name_[length - 1] <= 0xDBFF) {
        --length;
    }
    TFontFields fields;
    fields.Height = static_cast<uint16_t>(values_.height20);
    fields.Options = 0;
    if (values_.style & xfsItalic) fields.Options |= 0x0002;
    if (values_.style & xfsStrikeOut) fields.Options |= 0x0008;
    fields.Color = values_.color == xc0 ? 0x7FFF : (values_.color & 0x7F);
    fields.Weight = (values_.style & xfsBold) ? 700 : 400;
    fields.Escapement = values_.subSuperscript;
    fields.Underline = UnderlineCode(values_.underline);
    fields.Family = values_.family;
    fields.CharSet = values_.charSet;
    fields.Name = std::u16string_view(name_).substr(0, length);
    return fields;
}

int TXFont::BuildFontRecord(uint8_t* buffer, TExcelVersion version) const {
    const TFontFields fields = FontFields();
    TByteSpan body(buffer, MaxRecordSize);
    if (version < xvExcel97) {
        PutFontBIFF5(body, fields);  // the name as 8-bit characters, no option byte
    } else {
        PutFont(body, fields);  // UTF-16 also for names that would fit in 8 bits
    }
    return static_cast<int>(body.Size());
}

// ---------------------------------------------------------------------------------------------
// TXFonts

TXFonts::TXFonts() { AddDefaults(); }

TXFonts::~TXFonts() = default;

void TXFonts::AddDefaults() {
    for (int i = 0; i < 5; ++i) Add();
    fixedCount_ = Count();
}

TXFont& TXFonts::Add() {
    items_.push_back(std::make_unique<TXFont>());
    TXFont& font = *items_.back();
    font.SetIndex(Count() - 1);
    return font;
}

int TXFonts::Find(const TXFont& font) const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[i]->SameFont(font)) return i;
    }
    return -1;
}

TXFont& TXFonts::FindOrAdd(const TXFont& font) {
    const int i = Find(font);
    if (i >= 0) return *items_[i];
    TXFont& added = Add();
    added.Assign(font);
    return added;
}

TXFont& TXFonts::FindOrAddDescription(const TFontDescription& description) {
    for (auto& font : items_) {
        if (font->MatchesFontDescription(description)) return *font;
    }
    TXFont& added = Add();
    added.AssignFontDescription(description);
    return added;
}

void TXFonts::Delete(int position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    items_.erase(items_.begin() + position);
    for (int i = position; i < Count(); ++i) items_[i]->SetIndex(items_[i]->Index() - 1);
}

void TXFonts::Clear() {
    items_.clear();
    fixedCount_ = 0;
}

TXFont& TXFonts::Items(int position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

const TXFont& TXFonts::Items(int position) const {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

}  // namespace quarvel
