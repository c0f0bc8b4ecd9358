// The workbook's font list, the FONT record body and the colour palette.
//
// Every cell format names its font by a position in the font list; the position is also the
// FONT index in the file (readers skip index 4, and so does the writer). Colours everywhere in
// the model are palette indexes (TExcelColor); the palette turns them into RGB values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "biff/FormatRecords.h"
#include "workbook/BIFFRecs.h"

namespace quarvel {

// ---------------------------------------------------------------------------------------------
// Palette

// 65 colour values indexed by TExcelColor: red in the low byte, green in the second byte, blue
// in the third byte. Entry 64 (xcAutomatic) holds the marker 0x0F000000, which is no colour.
using TPalette = std::array<uint32_t, 65>;

// Entries 0-7 are black, 8-63 the standard BIFF8 palette, 64 the automatic marker.
extern const TPalette DefaultPalette;

// The process-wide palette. Only ResetPalette changes it; every new workbook calls it.
extern TPalette Palette;

// Copies DefaultPalette into Palette.
void ResetPalette();

// The palette entry from 8 to 63 nearest to rgb (sum of the channel distances); ties go to the
// lower index, so pure blue gives 12 and not 39. Entries 0-7 and 64 are never returned.
TExcelColor NearestPaletteIndex(uint32_t rgb);

// Palette index of a platform font colour (0xBBGGRR, red in the low byte): fifteen basic
// colours map to fixed entries, every other value goes through NearestPaletteIndex.
TExcelColor FontDescriptionColorIndex(uint32_t rgb);

// ---------------------------------------------------------------------------------------------
// Fonts

// Style set: bit 0 bold, bit 1 italic, bit 2 strikeout.
enum TXFontStyle : uint8_t { xfsBold = 0x01, xfsItalic = 0x02, xfsStrikeOut = 0x04 };
using TXFontStyles = uint8_t;

enum TXUnderline : uint8_t { xulNone, xulSingle, xulDouble, xulSingleAccount, xulDoubleAccount };
enum TXSubSuperscript : uint8_t { xssNone, xssSuperscript, xssSubscript };

// A font as the platform describes it (no toolkit types): what rich string runs are built from.
struct TFontDescription {
    WideString Name;         // face name
    int32_t Size = 10;       // whole points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    uint8_t CharSet = 0;
    uint32_t Color = 0;      // 0xBBGGRR, red in the low byte
};

// One font of the list. Name plus a value block that is compared and copied as one unit.
class TXFont {
public:
    // Longest FONT body BuildFontRecord writes: a 255-character name.
    static constexpr int MaxRecordSize = 16 + 2 * 255;

    TXFont();
    // Copies the values and the name; Index, RefCount and Exclusive start fresh.
    TXFont(const TXFont& source);
    TXFont& operator=(const TXFont&) = delete;

    // Defaults: "Arial", 200 twentieths, colour 8 (black), family 2, charset 0, no style,
    // no sub/superscript, no underline; Index 0, RefCount 0, not exclusive.
    void Reset();
    // Copies the value block and the name; Index, RefCount and Exclusive are kept.
    void Assign(const TXFont& source);

    const WideString& Name() const { return name_; }
    void SetName(const WideString& value) { name_ = value; }
    uint8_t CharSet() const { return values_.charSet; }
    void SetCharSet(uint8_t value) { values_.charSet = value; }
    uint8_t Family() const { return values_.family; }
    void SetFamily(uint8_t value) { values_.family = value; }
    TExcelColor Color() const { return static_cast<TExcelColor>(values_.color); }
    void SetColor(TExcelColor value) { values_.color = value; }
    int32_t Height20() const { return values_.height20; }
    void SetHeight20(int32_t value) { values_.height20 = value; }
    // Whole points (Height20 div 20); setting a value <= 0 changes nothing.
    int32_t Size() const { return values_.height20 / 20; }
    void SetSize(int32_t points);
    TXFontStyles Style() const { return values_.style; }
    void SetStyle(TXFontStyles value) { values_.style = value; }
    TXSubSuperscript SubSuperscript() const {
        return static_cast<TXSubSuperscript>(values_.subSuperscript);
    }
    void SetSubSuperscript(TXSubSuperscript value) { values_.subSuperscript = value; }
    TXUnderline Underline() const { return static_cast<TXUnderline>(values_.underline); }
    void SetUnderline(TXUnderline value) { values_.underline = value; }

    // Palette RGB of Color; setting an RGB value picks the nearest palette entry.
    uint32_t ColorRGB() const;
    void SetColorRGB(uint32_t rgb);

    // Position in the owning list, kept equal to it by the list.
    int32_t Index() const { return index_; }
    void SetIndex(int32_t value) { index_ = value; }
    // Holders that chose this font through a font change.
    int32_t RefCount() const { return refCount_; }
    void SetRefCount(int32_t value) { refCount_ = value; }
    // An exclusive font belongs to one holder: never shared, never found, never released.
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool value) { exclusive_ = value; }

    // Lookup equality of a list font with other: never for an exclusive font; otherwise names
    // equal ignoring case and every value equal.
    bool SameFont(const TXFont& other) const;

    void AssignFontDescription(const TFontDescription& description);
    // Not for an exclusive font; otherwise every described value equal (the name with case),
    // no sub/superscript, and single underline exactly when the description is underlined.
    bool MatchesFontDescription(const TFontDescription& description) const;

    // The fields of the font's FONT record (biff/FormatRecords.h); the name is the font's, cut to
    // 255 characters (254 if that would split a surrogate pair), and lives as long as the font.
    TFontFields FontFields() const;
    // Writes the FONT record body for the version into buffer (at least MaxRecordSize bytes)
    // and returns its length: 16 + 2 x name length for BIFF8 (26 for the default font),
    // 15 + name length with an 8-bit name for BIFF5 and older. A name longer than 255
    // characters is written as its first 255 (254 if that would split a surrogate pair).
    int BuildFontRecord(uint8_t* buffer, TExcelVersion version) const;

private:
    struct Values {
        uint8_t charSet;
        uint8_t family;
        uint8_t color;
        int32_t height20;
        uint8_t style;
        uint8_t subSuperscript;
        uint8_t underline;
        bool operator==(const Values&) const = default;
    };

    WideString name_;
    Values values_{};
    int32_t index_ = 0;
    int32_t refCount_ = 0;
    bool exclusive_ = false;
};

// The workbook's owning font list. The first FixedCount fonts (5 after creation) are permanent.
class TXFonts {
public:
    // An empty list filled with its five default fonts.
    TXFonts();
    TXFonts(const TXFonts&) = delete;
    TXFonts& operator=(const TXFonts&) = delete;
    ~TXFonts();

    // Five Adds, then FixedCount := Count.
    void AddDefaults();
    // Appends a default font whose Index is its position.
    TXFont& Add();
    // Position of the first font in list order that is SameFont with font, or -1.
    int Find(const TXFont& font) const;
    // The first equal font, else a new one assigned from font; RefCount is not touched.
    TXFont& FindOrAdd(const TXFont& font);
    // The first font matching the description, else a new one assigned from it.
    TXFont& FindOrAddDescription(const TFontDescription& description);
    // Removes and frees the font at position; later fonts move down one place. The caller
    // renumbers the cell formats that name later fonts.
    void Delete(int position);
    // Removes every font; FixedCount becomes 0.
    void Clear();

    int Count() const { return static_cast<int>(items_.size()); }
    // Font at position; a position outside 0..Count-1 is a list index error.
    TXFont& Items(int position);
    const TXFont& Items(int position) const;

    int FixedCount() const { return fixedCount_; }
    void SetFixedCount(int value) { fixedCount_ = value; }

private:
    std::vector<std::unique_ptr<TXFont>> items_;
    int fixedCount_ = 0;
};

}  // namespace quarvel
