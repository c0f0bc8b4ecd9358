// xl/styles.xml: the workbook's fonts, fills, borders, number formats and cell formats as
// SpreadsheetML styles, with the index of every cell format of the model in the part's cellXfs.
//
// The model's cell formats are BIFF8 XF bodies; each becomes one <xf>. Style formats (the XF
// style flag set) go into cellStyleXfs, in list order; cell formats into cellXfs, the default
// cell format (position 15) first, since cells, rows and columns without a style attribute take
// cellXfs entry 0, then the others in list order. Fonts keep their list positions, less the
// unused position 4. Fills and borders are the distinct ones the formats use, after the two fills
// and the empty border every stylesheet starts with. Number formats keep their id where it is a
// built-in id of the format with the same code; every other one the cell formats use gets an id
// from 164 on, in the order of the model's ids.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "workbook/BIFFRecs.h"

namespace quarvel {

class TCellFormat;
class TXFont;
class TXLSWorkbook;
class TXmlWriter;

// What a <fill> says: pattern, foreground and background palette index.
struct TXlsxFill {
    uint8_t Pattern = 0, Fore = 0, Back = 0;
    auto operator<=>(const TXlsxFill&) const = default;
};

// What a <border> says: the styles and palette colours of left, right, top, bottom and diagonal
// edges, and which diagonals are drawn (bit 0 top left to bottom right, bit 1 bottom left to top
// right).
struct TXlsxBorder {
    std::array<uint8_t, 5> Styles{};
    std::array<uint8_t, 5> Colours{};
    uint8_t Diagonals = 0;
    auto operator<=>(const TXlsxBorder&) const = default;
};

class TXlsxStyles {
public:
    // Numbers of the first custom number format and of the built-in ones readers know.
    static constexpr int32_t FirstCustomNumFmtId = 164;

    // Reads the workbook's lists; the workbook must not change until the part is written.
    explicit TXlsxStyles(TXLSWorkbook& workbook);

    // Index in cellXfs of the cell format at the model's position. A style format there (which
    // no cell, row or column of the model takes) is refused.
    uint32_t CellXf(int position) const;
    // The numFmtId written for a number format id of the model.
    int32_t NumFmtId(int32_t modelId) const;
    // Index in the part's font list of a model font position.
    static uint32_t FontId(int position) { return static_cast<uint32_t>(position < 4 ? position : position == 4 ? 0 : position - 1); }

    void Write(TXmlWriter& xml) const;

private:
    struct TXfEntry {
        int Position;        // in the model's list
        uint32_t FillId;
        uint32_t BorderId;
    };

    uint32_t FillIdOf(const TCellFormat& format);
    uint32_t BorderIdOf(const TCellFormat& format);
    void WriteXf(TXmlWriter& xml, const TXfEntry& entry, bool cellXf) const;

    TXLSWorkbook& workbook_;
    std::map<int32_t, int32_t> numFmtIds_;             // model id -> numFmtId, for those written
    std::vector<std::pair<int32_t, int32_t>> custom_;  // numFmtId, model id of the custom ones
    std::vector<TXlsxFill> fills_;
    std::map<TXlsxFill, uint32_t> fillIds_;
    std::vector<TXlsxBorder> borders_;
    std::map<TXlsxBorder, uint32_t> borderIds_;
    std::vector<TXfEntry> styleXfs_, cellXfs_;
    std::vector<int64_t> cellXfOf_;   // model position -> cellXfs index, -1 for a style format
    std::vector<int64_t> styleXfOf_;  // model position -> cellStyleXfs index, -1 for a cell format
};

// The single elements of the part, for the part writer and for tests that pin their text.
namespace xlsx {

// The code readers know for a built-in number format id, or null (ids 5 to 8, 23 to 36, 41 to
// 44 and from 50 on depend on the locale and are written as custom formats).
const char16_t* BuiltInNumFmtCode(int32_t id);
void WriteNumFmt(TXmlWriter& xml, int32_t id, const WideString& code);
void WriteFont(TXmlWriter& xml, const TXFont& font);
void WriteFill(TXmlWriter& xml, const TXlsxFill& fill);
void WriteBorder(TXmlWriter& xml, const TXlsxBorder& border);
// <color indexed="n"/> (or auto="1" for a font colour of 0, BIFF8's automatic font colour).
void WriteColor(TXmlWriter& xml, std::string_view element, uint8_t index);
// The <alignment> of a format (nothing when every value is the default) and its <protection>
// (nothing when locked and not hidden).
void WriteAlignment(TXmlWriter& xml, const TCellFormat& format);
void WriteProtection(TXmlWriter& xml, const TCellFormat& format);
TXlsxFill FillOf(const TCellFormat& format);
TXlsxBorder BorderOf(const TCellFormat& format);

}  // namespace xlsx

}  // namespace quarvel
