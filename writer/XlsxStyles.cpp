#include "writer/XlsxStyles.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "platform/Errors.h"
#include "workbook/CellFormats.h"
#include "workbook/XLSFonts.h"
#include "workbook/XLSWorkbook.h"
#include "writer/XmlWriter.h"

namespace quarvel {

namespace {

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The type-and-protection word of an XF body: bit 2 marks a style format, bits 4 to 15 hold the
// parent style's position.
bool IsStyleFormat(const TCellFormat& format) { return (format.Body()[4] & 0x04) != 0; }
int ParentOf(const TCellFormat& format) {
    return static_cast<int>((format.Body()[4] | (format.Body()[5] << 8)) >> 4);
}

// Rotation as the body stores it, which is also the part's notation: 0 to 90 counter-clockwise,
// 91 to 180 clockwise by the value less 90, 255 vertical.
int StoredRotation(const TCellFormat& format) { return format.Body()[7]; }
// Reading order, bits 6 and 7 of body byte 8: 0 by the content, 1 left to right, 2 right to left.
int ReadingOrder(const TCellFormat& format) { return format.Body()[8] >> 6; }

const char* const kHorizontal[8] = {"general", "left", "center", "right", "fill", "justify", "centerContinuous",
                                    "distributed"};
const char* const kVertical[5] = {"top", "center", "bottom", "justify", "distributed"};
const char* const kBorderStyles[14] = {"none",     "thin",    "medium",       "dashed",     "dotted",
                                       "thick",    "double",  "hair",         "mediumDashed", "dashDot",
                                       "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"};
const char* const kPatterns[19] = {"none",         "solid",          "mediumGray",    "darkGray",    "lightGray",
                                   "darkHorizontal", "darkVertical", "darkDown",      "darkUp",      "darkGrid",
                                   "darkTrellis",  "lightHorizontal", "lightVertical", "lightDown", "lightUp",
                                   "lightGrid",    "lightTrellis",   "gray125",       "gray0625"};
const char* const kBorderEdges[5] = {"left", "right", "top", "bottom", "diagonal"};

// The used-attribute flags of body byte 9, in the order of the apply attributes.
constexpr uint8_t kUsedFlags[6] = {uaNumberFormat, uaFont, uaBackground, uaBorder, uaAlignment, uaProtection};
constexpr const char* kApplyNames[6] = {"applyNumberFormat", "applyFont", "applyFill", "applyBorder", "applyAlignment",
                                        "applyProtection"};

bool SameAlignment(const TCellFormat& a, const TCellFormat& b) {
    return a.HorizAlignment() == b.HorizAlignment() && a.VertAlignment() == b.VertAlignment() &&
           a.FormatOptions() == b.FormatOptions() && StoredRotation(a) == StoredRotation(b) &&
           a.Indent() == b.Indent() && ReadingOrder(a) == ReadingOrder(b);
}

// The RGB value of a palette entry as the part writes it, opaque: "FFRRGGBB".
std::string ArgbOf(uint32_t colour) {
    char text[9];
    std::snprintf(text, sizeof text, "FF%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

}  // namespace

namespace xlsx {

const char16_t* BuiltInNumFmtCode(int32_t id) {
    switch (id) {
        case 0: return u"General";
        case 1: return u"0";
        case 2: return u"0.00";
        case 3: return u"#,##0";
        case 4: return u"#,##0.00";
        case 9: return u"0%";
        case 10: return u"0.00%";
        case 11: return u"0.00E+00";
        case 12: return u"# ?/?";
        case 13: return u"# ?\?/??";
        case 14: return u"mm-dd-yy";
        case 15: return u"d-mmm-yy";
        case 16: return u"d-mmm";
        case 17: return u"mmm-yy";
        case 18: return u"h:mm AM/PM";
        case 19: return u"h:mm:ss AM/PM";
        case 20: return u"h:mm";
        case 21: return u"h:mm:ss";
        case 22: return u"m/d/yy h:mm";
        case 37: return u"#,##0 ;(#,##0)";
        case 38: return u"#,##0 ;[Red](#,##0)";
        case 39: return u"#,##0.00;(#,##0.00)";
        case 40: return u"#,##0.00;[Red](#,##0.00)";
        case 45: return u"mm:ss";
        case 46: return u"[h]:mm:ss";
        case 47: return u"mmss.0";
        case 48: return u"##0.0E+0";
        case 49: return u"@";
        default: return nullptr;
    }
}

void WriteNumFmt(TXmlWriter& xml, int32_t id, const WideString& code) {
    xml.Start("numFmt");
    xml.Attribute("numFmtId", id);
    xml.AttributeText("formatCode", code);
    xml.CloseEmpty();
}

void WriteColor(TXmlWriter& xml, std::string_view element, uint8_t index) {
    xml.Start(element);
    xml.Attribute("indexed", index);
    xml.CloseEmpty();
}

void WriteFont(TXmlWriter& xml, const TXFont& font) {
    xml.Start("font");
    xml.CloseStart();
    if (font.Style() & xfsBold) xml.Raw("<b/>");
    if (font.Style() & xfsItalic) xml.Raw("<i/>");
    if (font.Style() & xfsStrikeOut) xml.Raw("<strike/>");
    switch (font.Underline()) {
        case xulSingle: xml.Raw("<u/>"); break;
        case xulDouble: xml.Raw("<u val=\"double\"/>"); break;
        case xulSingleAccount: xml.Raw("<u val=\"singleAccounting\"/>"); break;
        case xulDoubleAccount: xml.Raw("<u val=\"doubleAccounting\"/>"); break;
        default: break;
    }
    if (font.SubSuperscript() == xssSuperscript) xml.Raw("<vertAlign val=\"superscript\"/>");
    if (font.SubSuperscript() == xssSubscript) xml.Raw("<vertAlign val=\"subscript\"/>");
    xml.Start("sz");
    xml.AttributeDouble("val", font.Height20() / 20.0);
    xml.CloseEmpty();
    // Colour 0 is the automatic font colour (written 0x7FFF in a FONT record).
    if (font.Color() == xc0) {
        xml.Raw("<color auto=\"1\"/>");
    } else {
        WriteColor(xml, "color", font.Color());
    }
    xml.Start("name");
    xml.AttributeText("val", font.Name());
    xml.CloseEmpty();
    xml.Start("family");
    xml.Attribute("val", font.Family());
    xml.CloseEmpty();
    if (font.CharSet() != 0) {
        xml.Start("charset");
        xml.Attribute("val", font.CharSet());
        xml.CloseEmpty();
    }
    xml.End("font");
}

TXlsxFill FillOf(const TCellFormat& format) {
    TXlsxFill fill;
    fill.Pattern = format.FillPattern();
    if (fill.Pattern == efpNone) return fill;  // colours of no pattern show nowhere
    fill.Fore = format.FillPatternForeColor();
    fill.Back = format.FillPatternBackColor();
    return fill;
}

void WriteFill(TXmlWriter& xml, const TXlsxFill& fill) {
    xml.Raw("<fill>");
    xml.Start("patternFill");
    xml.Attribute("patternType", fill.Pattern < 19 ? kPatterns[fill.Pattern] : "none");
    if (fill.Pattern == efpNone || (fill.Pattern == efpGray125 && fill.Fore == 0 && fill.Back == 0)) {
        xml.CloseEmpty();
    } else {
        xml.CloseStart();
        WriteColor(xml, "fgColor", fill.Fore);
        WriteColor(xml, "bgColor", fill.Back);
        xml.End("patternFill");
    }
    xml.Raw("</fill>");
}

TXlsxBorder BorderOf(const TCellFormat& format) {
    TXlsxBorder border;
    border.Styles = {format.BorderLeftStyle(), format.BorderRightStyle(), format.BorderTopStyle(),
                     format.BorderBottomStyle(), format.BorderDiagStyle()};
    border.Colours = {format.BorderLeftColor(), format.BorderRightColor(), format.BorderTopColor(),
                      format.BorderBottomColor(), format.BorderDiagColor()};
    border.Diagonals = format.BorderDiagLines();
    // The colour of an edge without a line shows nowhere.
    for (size_t i = 0; i < 5; ++i)
        if (border.Styles[i] == cbsNone) border.Colours[i] = 0;
    if (border.Styles[4] == cbsNone) border.Diagonals = 0;
    return border;
}

void WriteBorder(TXmlWriter& xml, const TXlsxBorder& border) {
    xml.Start("border");
    if (border.Diagonals & 2) xml.Attribute("diagonalUp", "1");
    if (border.Diagonals & 1) xml.Attribute("diagonalDown", "1");
    xml.CloseStart();
    for (size_t i = 0; i < 5; ++i) {
        xml.Start(kBorderEdges[i]);
        if (border.Styles[i] == cbsNone) {
            xml.CloseEmpty();
            continue;
        }
        xml.Attribute("style", border.Styles[i] < 14 ? kBorderStyles[border.Styles[i]] : "thin");
        xml.CloseStart();
        WriteColor(xml, "color", border.Colours[i]);
        xml.End(kBorderEdges[i]);
    }
    xml.End("border");
}

void WriteAlignment(TXmlWriter& xml, const TCellFormat& format) {
    const uint8_t horizontal = format.HorizAlignment(), vertical = format.VertAlignment();
    const bool wrap = (format.FormatOptions() & foWrapText) != 0, shrink = (format.FormatOptions() & foShrinkToFit) != 0;
    const int rotation = StoredRotation(format), indent = format.Indent(), order = ReadingOrder(format);
    if (horizontal == haGeneral && vertical == vaBottom && !wrap && !shrink && rotation == 0 && indent == 0 && order == 0)
        return;
    xml.Start("alignment");
    if (horizontal != haGeneral) xml.Attribute("horizontal", kHorizontal[horizontal & 7]);
    if (vertical != vaBottom) xml.Attribute("vertical", vertical < 5 ? kVertical[vertical] : "bottom");
    if (rotation != 0) xml.Attribute("textRotation", rotation);
    if (wrap) xml.Attribute("wrapText", "1");
    if (indent != 0) xml.Attribute("indent", indent);
    if (shrink) xml.Attribute("shrinkToFit", "1");
    if (order != 0) xml.Attribute("readingOrder", order);
    xml.CloseEmpty();
}

void WriteProtection(TXmlWriter& xml, const TCellFormat& format) {
    const bool locked = (format.Protection() & cpLocked) != 0, hidden = (format.Protection() & cpHidden) != 0;
    if (locked && !hidden) return;
    xml.Start("protection");
    if (!locked) xml.Attribute("locked", "0");
    if (hidden) xml.Attribute("hidden", "1");
    xml.CloseEmpty();
}

}  // namespace xlsx

// -------------------------------------------------------------------------------------------------
// TXlsxStyles

TXlsxStyles::TXlsxStyles(TXLSWorkbook& workbook) : workbook_(workbook) {
    TCellFormats& formats = workbook.Formats();
    TNumberFormats& numberFormats = formats.NumberFormats();

    // Number formats: those the cell formats name.
    std::set<int32_t> named;
    for (int i = 0; i < formats.Count(); ++i) named.insert(formats.Items(i).NumberFormatIndex());
    int32_t next = FirstCustomNumFmtId;
    for (int32_t id : named) {
        const TNumberFormat* format = numberFormats.FindFormatById(id);
        const WideString code = format ? format->FormatString() : WideString();
        const char16_t* builtIn = xlsx::BuiltInNumFmtCode(id);
        // General is id 0 whatever the model names it; a built-in id stays when its code is the
        // one readers know for it.
        if (id == 0 || (builtIn && code == builtIn) || (!format && builtIn)) {
            numFmtIds_[id] = id;
        } else {
            numFmtIds_[id] = next;
            custom_.emplace_back(next, id);
            ++next;
        }
    }

    fills_ = {TXlsxFill{efpNone, 0, 0}, TXlsxFill{efpGray125, 0, 0}};
    fillIds_[fills_[0]] = 0;
    fillIds_[fills_[1]] = 1;
    borders_ = {TXlsxBorder{}};
    borderIds_[borders_[0]] = 0;

    cellXfOf_.assign(static_cast<size_t>(formats.Count()), -1);
    styleXfOf_.assign(static_cast<size_t>(formats.Count()), -1);
    for (int i = 0; i < formats.Count(); ++i) {
        if (!IsStyleFormat(formats.Items(i))) continue;
        TCellFormat& format = formats.Items(i);
        styleXfOf_[static_cast<size_t>(i)] = static_cast<int64_t>(styleXfs_.size());
        styleXfs_.push_back({i, FillIdOf(format), BorderIdOf(format)});
    }
    // The default cell format first: what cells, rows and columns without a style attribute take.
    std::vector<int> cells;
    if (TCellFormats::DefaultCellFormat < formats.Count() &&
        !IsStyleFormat(formats.Items(TCellFormats::DefaultCellFormat)))
        cells.push_back(TCellFormats::DefaultCellFormat);
    for (int i = 0; i < formats.Count(); ++i)
        if (i != TCellFormats::DefaultCellFormat && !IsStyleFormat(formats.Items(i))) cells.push_back(i);
    for (int i : cells) {
        TCellFormat& format = formats.Items(i);
        cellXfOf_[static_cast<size_t>(i)] = static_cast<int64_t>(cellXfs_.size());
        cellXfs_.push_back({i, FillIdOf(format), BorderIdOf(format)});
    }
}

uint32_t TXlsxStyles::FillIdOf(const TCellFormat& format) {
    const TXlsxFill fill = xlsx::FillOf(format);
    auto [it, added] = fillIds_.emplace(fill, static_cast<uint32_t>(fills_.size()));
    if (added) fills_.push_back(fill);
    return it->second;
}

uint32_t TXlsxStyles::BorderIdOf(const TCellFormat& format) {
    const TXlsxBorder border = xlsx::BorderOf(format);
    auto [it, added] = borderIds_.emplace(border, static_cast<uint32_t>(borders_.size()));
    if (added) borders_.push_back(border);
    return it->second;
}

uint32_t TXlsxStyles::CellXf(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= cellXfOf_.size() || cellXfOf_[static_cast<size_t>(position)] < 0)
        throw Error("Cell format " + std::to_string(position) + " is not a cell format");
    return static_cast<uint32_t>(cellXfOf_[static_cast<size_t>(position)]);
}

int32_t TXlsxStyles::NumFmtId(int32_t modelId) const {
    auto found = numFmtIds_.find(modelId);
    return found == numFmtIds_.end() ? 0 : found->second;
}

void TXlsxStyles::WriteXf(TXmlWriter& xml, const TXfEntry& entry, bool cellXf) const {
    TCellFormats& formats = workbook_.Formats();
    const TCellFormat& format = formats.Items(entry.Position);
    xml.Start("xf");
    xml.Attribute("numFmtId", NumFmtId(format.NumberFormatIndex()));
    xml.Attribute("fontId", FontId(format.FontIndex()));
    xml.Attribute("fillId", entry.FillId);
    xml.Attribute("borderId", entry.BorderId);
    const uint8_t used = format.UsedAttributes();
    if (cellXf) {
        // A cell format applies an attribute it flags as its own, and one that differs from its
        // style's, which it could not show otherwise.
        const int parent = ParentOf(format);
        const bool styled = parent < static_cast<int>(styleXfOf_.size()) && styleXfOf_[static_cast<size_t>(parent)] >= 0;
        const int64_t styleIndex = styled ? styleXfOf_[static_cast<size_t>(parent)] : 0;
        xml.Attribute("xfId", styleIndex);
        bool differs[6] = {true, true, true, true, true, true};
        if (styled || !styleXfs_.empty()) {
            const TXfEntry& style = styleXfs_[static_cast<size_t>(styleIndex)];
            const TCellFormat& base = formats.Items(style.Position);
            differs[0] = NumFmtId(format.NumberFormatIndex()) != NumFmtId(base.NumberFormatIndex());
            differs[1] = FontId(format.FontIndex()) != FontId(base.FontIndex());
            differs[2] = entry.FillId != style.FillId;
            differs[3] = entry.BorderId != style.BorderId;
            differs[4] = !SameAlignment(format, base);
            differs[5] = format.Protection() != base.Protection();
        }
        for (int k = 0; k < 6; ++k)
            if ((used & kUsedFlags[k]) || differs[k]) xml.Attribute(kApplyNames[k], "1");
    } else {
        // A style format flags the attributes it leaves to the cells.
        for (int k = 0; k < 6; ++k)
            if (used & kUsedFlags[k]) xml.Attribute(kApplyNames[k], "0");
    }
    std::string& buffer = xml.Buffer();
    const size_t before = buffer.size();
    buffer += '>';
    const size_t open = buffer.size();
    xlsx::WriteAlignment(xml, format);
    xlsx::WriteProtection(xml, format);
    if (buffer.size() == open) {
        buffer.resize(before);
        xml.CloseEmpty();
    } else {
        xml.End("xf");
    }
}

void TXlsxStyles::Write(TXmlWriter& xml) const {
    TCellFormats& formats = workbook_.Formats();
    TNumberFormats& numberFormats = formats.NumberFormats();
    TXFonts& fonts = workbook_.Fonts();

    xml.Declaration();
    xml.Start("styleSheet");
    xml.Attribute("xmlns", kMainNamespace);
    xml.CloseStart();

    if (!custom_.empty()) {
        xml.Start("numFmts");
        xml.Attribute("count", static_cast<int64_t>(custom_.size()));
        xml.CloseStart();
        for (const auto& [id, modelId] : custom_) {
            const TNumberFormat* format = numberFormats.FindFormatById(modelId);
            xlsx::WriteNumFmt(xml, id, format ? format->FormatString() : WideString());
        }
        xml.End("numFmts");
    }

    // Every font but position 4, which BIFF8 readers skip and no format of the model names.
    xml.Start("fonts");
    xml.Attribute("count", std::max(fonts.Count() - (fonts.Count() > 4 ? 1 : 0), 0));
    xml.CloseStart();
    for (int i = 0; i < fonts.Count(); ++i)
        if (i != 4) xlsx::WriteFont(xml, fonts.Items(i));
    xml.End("fonts");

    xml.Start("fills");
    xml.Attribute("count", static_cast<int64_t>(fills_.size()));
    xml.CloseStart();
    for (const TXlsxFill& fill : fills_) xlsx::WriteFill(xml, fill);
    xml.End("fills");

    xml.Start("borders");
    xml.Attribute("count", static_cast<int64_t>(borders_.size()));
    xml.CloseStart();
    for (const TXlsxBorder& border : borders_) xlsx::WriteBorder(xml, border);
    xml.End("borders");

    xml.Start("cellStyleXfs");
    xml.Attribute("count", static_cast<int64_t>(styleXfs_.size()));
    xml.CloseStart();
    for (const TXfEntry& entry : styleXfs_) WriteXf(xml, entry, false);
    xml.End("cellStyleXfs");

    xml.Start("cellXfs");
    xml.Attribute("count", static_cast<int64_t>(cellXfs_.size()));
    xml.CloseStart();
    for (const TXfEntry& entry : cellXfs_) WriteXf(xml, entry, true);
    xml.End("cellXfs");

    // The built-in styles of the workbook's style table: Normal on style format 0, Comma, Comma [0],
    // Currency, Currency [0] and Percent on 16 to 20.
    struct TStyle {
        const char* Name;
        int Position;
        int BuiltinId;
    };
    static const TStyle kStyles[6] = {{"Normal", 0, 0},        {"Comma", 16, 3},        {"Comma [0]", 17, 6},
                                      {"Currency", 18, 4},     {"Currency [0]", 19, 7}, {"Percent", 20, 5}};
    std::vector<const TStyle*> styles;
    for (const TStyle& style : kStyles) {
        if (style.Position < static_cast<int>(styleXfOf_.size()) && styleXfOf_[static_cast<size_t>(style.Position)] >= 0 &&
            (workbook_.StyleTable() || style.BuiltinId == 0))
            styles.push_back(&style);
    }
    if (!styles.empty()) {
        xml.Start("cellStyles");
        xml.Attribute("count", static_cast<int64_t>(styles.size()));
        xml.CloseStart();
        for (const TStyle* style : styles) {
            xml.Start("cellStyle");
            xml.Attribute("name", style->Name);
            xml.Attribute("xfId", styleXfOf_[static_cast<size_t>(style->Position)]);
            xml.Attribute("builtinId", style->BuiltinId);
            xml.CloseEmpty();
        }
        xml.End("cellStyles");
    }

    // The palette, only when it is not the default one (as PALETTE in a BIFF8 file): the eight
    // fixed colours, then entries 8 to 63.
    if (!std::equal(Palette.begin() + 8, Palette.end(), DefaultPalette.begin() + 8)) {
        static const uint32_t kFixed[8] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
        xml.Raw("<colors><indexedColors>");
        for (int i = 0; i < 64; ++i) {
            xml.Start("rgbColor");
            xml.Attribute("rgb", ArgbOf(i < 8 ? kFixed[i] : Palette[static_cast<size_t>(i)]));
            xml.CloseEmpty();
        }
        xml.Raw("</indexedColors></colors>");
    }
    xml.End("styleSheet");
}

}  // namespace quarvel
