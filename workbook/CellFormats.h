// Cell formats (XF records held in memory) and number formats.
//
// A cell format is the 20-byte body of a BIFF8 XF record. Formats are shared: every cell, row and
// column that looks the same refers to one TCellFormat of the workbook's TCellFormats, whose list
// position is the XF index written to the file. Number formats live in TNumberFormats by id:
// built-ins 0 to 58, custom ones from 59.
//
// Lookups return the first equal entry in list order, as a linear scan would, but through a hash
// index, so filling a large sheet does not slow down with the number of formats.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/ByteBuffer.h"
#include "workbook/BIFFRecs.h"
#include "workbook/XLSFonts.h"

namespace quarvel {

class TCellFormats;

// Base of shared format objects: how many holders refer to the object and where it stands in its
// list (kept equal to the position by the list).
class TUsageObject {
public:
    int32_t RefCount() const { return refCount_; }
    void SetRefCount(int32_t value) { refCount_ = value; }
    int32_t Index() const { return index_; }
    void SetIndex(int32_t value) { index_ = value; }

protected:
    int32_t refCount_ = 0;
    int32_t index_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Number formats

class TNumberFormat {
public:
    TNumberFormat(int32_t id, WideString formatString, int32_t refCount)
        : formatString_(std::move(formatString)), formatId_(id), refCount_(refCount) {}

    const WideString& FormatString() const { return formatString_; }
    int32_t FormatId() const { return formatId_; }
    // Holders; -1 marks a built-in format that nothing has used (no FORMAT record for it).
    int32_t RefCount() const { return refCount_; }
    void SetRefCount(int32_t value) { refCount_ = value; }

private:
    WideString formatString_;
    int32_t formatId_;
    int32_t refCount_;
};

// Owning list of number formats in increasing id order.
class TNumberFormats {
public:
    static constexpr int32_t FirstCustomId = 59;
    static constexpr int32_t MaxFormatId = 65535;

    TNumberFormats() = default;
    TNumberFormats(const TNumberFormats&) = delete;
    TNumberFormats& operator=(const TNumberFormats&) = delete;

    // LastFormatId := 0, then the 59 built-ins with ids 0 to 58, each with RefCount -1.
    void AddBuiltIns();
    // Position of the format with exactly this string (case-sensitive); "" gives 0; -1 if none.
    int Find(const WideString& formatString) const;
    // The format with this string, its RefCount raised by one (a built-in goes from -1 to 0);
    // otherwise a new custom format with RefCount 1. Custom ids are handed out as
    // LastFormatId + 1 and never reused, until the counter reaches 65535; from then on the
    // lowest id from 59 up that no current format uses is taken, so ids always fit 16 bits.
    TNumberFormat& FindOrAdd(const WideString& formatString);
    // What FindOrAdd(formatString) followed by Release of the id it gave leaves behind, without
    // making a format: a built-in format counts one more holder (so it is used), an existing custom
    // format is as it was, and for a string not in the list the id a new format would have taken
    // is spent. Returns the id of the format found, or -1 for a string not in the list. Fails as
    // FindOrAdd does when no id is left.
    int32_t AddAndRelease(const WideString& formatString);
    // Position of the format with this id (binary search), or -1.
    int FindById(int32_t id) const;
    // The format with this id; a missing id is a list index error.
    TNumberFormat& ById(int32_t id);
    // The format with this id, or null (constant time).
    TNumberFormat* FindFormatById(int32_t id) const {
        return id >= 0 && id < static_cast<int32_t>(byId_.size()) ? byId_[id] : nullptr;
    }
    // Ignored for ids below 59; otherwise RefCount + 1. A missing id fails with
    // "Can not find number format# <id>".
    void AddRef(int32_t id);
    // Ignored for ids up to 58; a missing id fails as in AddRef; a negative RefCount is left
    // alone; otherwise RefCount - 1, and below 1 the format is removed and freed.
    void Release(int32_t id);
    // Removes every format.
    void Clear();

    int Count() const { return static_cast<int>(items_.size()); }
    TNumberFormat& Items(int position);
    const TNumberFormat& Items(int position) const;
    // The highest id handed out by the counter.
    int32_t LastFormatId() const { return lastFormatId_; }

private:
    int32_t NextCustomId();
    void Index(TNumberFormat& format);

    std::vector<std::unique_ptr<TNumberFormat>> items_;
    // Non-empty strings to their format; strings are unique in the list, since formats are
    // only added when no equal one exists.
    struct TSameString {
        bool operator()(const WideString& a, const WideString& b) const;
    };
    using TByString = std::unordered_map<WideString, TNumberFormat*, std::hash<WideString>, TSameString>;
    TByString byString_;
    // The node of the last string removed, kept for the next one added.
    TByString::node_type spareNode_;
    // Id to format, for the lookups every format copy makes.
    std::vector<TNumberFormat*> byId_;
    int32_t lastFormatId_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Cell formats

// Used-attribute flags of XF body byte 9.
enum TUsedAttribute : uint8_t {
    uaNumberFormat = 0x04,
    uaFont = 0x08,
    uaAlignment = 0x10,
    uaBorder = 0x20,
    uaBackground = 0x40,
    uaProtection = 0x80,
};

// BIFF8 alignment codes.
enum THorizAlignment : uint8_t {
    haGeneral, haLeft, haCentered, haRight, haFill, haJustify, haCenterAcrossSelection,
    haDistributed
};
enum TVertAlignment : uint8_t { vaTop, vaCentered, vaBottom, vaJustify, vaDistributed };

class TCellFormat : public TUsageObject {
public:
    static constexpr int BodySize = 20;
    using TBody = std::array<uint8_t, BodySize>;

    // A format with the new-format defaults (00 00 00 00 01 00 20 00 00 00 00 00 40 20 40 20
    // 10 00 C0 20). owner may be null; such a format cannot set a number format string.
    explicit TCellFormat(TCellFormats* owner);
    // A copy (Assign) of the format at xfIndex of owner.
    TCellFormat(TCellFormats* owner, int xfIndex);
    // A copy (Assign) of source, for owner.
    TCellFormat(TCellFormats* owner, const TCellFormat& source);
    // Gives back the reference on its number format.
    ~TCellFormat();
    TCellFormat(const TCellFormat&) = delete;
    TCellFormat& operator=(const TCellFormat&) = delete;

    TCellFormats* Owner() const { return owner_; }
    // The 20 bytes of the XF record body.
    const TBody& Body() const { return body_; }

    // Copies the body, takes a reference on the number format it names and gives back the one
    // on the number format the body named before.
    void Assign(const TCellFormat& source);
    // Bodies equal byte for byte.
    bool SameAs(const TCellFormat& other) const { return body_ == other.body_; }

    uint16_t FontIndex() const { return GetU16(0); }
    void SetFontIndex(uint16_t value);
    // The font at FontIndex of the owner's font list.
    TXFont& Font() const;

    uint16_t NumberFormatIndex() const { return GetU16(2); }
    // Stores the id; no reference counting.
    void SetNumberFormatIndex(uint16_t value);
    // The format string of NumberFormatIndex; empty without owner.
    WideString NumberFormat() const;
    // "" selects General (id 0); otherwise the string is found or added (at most 255
    // characters). The reference on the previous id is given back.
    void SetNumberFormat(const WideString& value);

    TCellProtections Protection() const { return body_[4] & 0x03; }
    void SetProtection(TCellProtections value);
    uint8_t HorizAlignment() const { return body_[6] & 0x07; }
    void SetHorizAlignment(uint8_t value);
    uint8_t VertAlignment() const { return (body_[6] >> 4) & 0x07; }
    void SetVertAlignment(uint8_t value);
    // {foWrapText, foShrinkToFit} from the wrap and shrink-to-fit flags.
    TFormatOptions FormatOptions() const;
    void SetFormatOptions(TFormatOptions value);
    // Degrees: 0..90 counter-clockwise, -1..-90 clockwise, 255 vertical text.
    int16_t Rotation() const;
    void SetRotation(int16_t degrees);
    uint8_t Indent() const { return body_[8] & 0x0F; }
    void SetIndent(uint8_t value);
    bool MergeCells() const { return (body_[8] & 0x20) != 0; }
    void SetMergeCells(bool value);
    // Byte 9: the TUsedAttribute flags.
    uint8_t UsedAttributes() const { return body_[9]; }

    TCellBorderStyle BorderLeftStyle() const;
    TCellBorderStyle BorderRightStyle() const;
    TCellBorderStyle BorderTopStyle() const;
    TCellBorderStyle BorderBottomStyle() const;
    TCellBorderStyle BorderDiagStyle() const;
    void SetBorderLeftStyle(TCellBorderStyle value);
    void SetBorderRightStyle(TCellBorderStyle value);
    void SetBorderTopStyle(TCellBorderStyle value);
    void SetBorderBottomStyle(TCellBorderStyle value);
    void SetBorderDiagStyle(TCellBorderStyle value);

    TExcelColor BorderLeftColor() const;
    TExcelColor BorderRightColor() const;
    TExcelColor BorderTopColor() const;
    TExcelColor BorderBottomColor() const;
    TExcelColor BorderDiagColor() const;
    void SetBorderLeftColor(TExcelColor value);
    void SetBorderRightColor(TExcelColor value);
    void SetBorderTopColor(TExcelColor value);
    void SetBorderBottomColor(TExcelColor value);
    void SetBorderDiagColor(TExcelColor value);
    // Bit 0 the diagonal from top left to bottom right, bit 1 from bottom left to top right.
    uint8_t BorderDiagLines() const;
    void SetBorderDiagLines(uint8_t value);

    TExcelFillPattern FillPattern() const;
    void SetFillPattern(TExcelFillPattern value);
    // The stored colour; 64 is the system foreground, 65 (the default background) the system
    // background colour.
    TExcelColor FillPatternForeColor() const;
    TExcelColor FillPatternBackColor() const;
    // A foreground colour other than 64 also makes the fill solid on background 9 (white).
    void SetFillPatternForeColor(TExcelColor value);
    void SetFillPatternBackColor(TExcelColor value);

    // Palette RGB of the colours (the pattern background limited to 64).
    uint32_t FillPatternForeColorRGB() const;
    uint32_t FillPatternBackColorRGB() const;
    uint32_t BorderBottomColorRGB() const;
    uint32_t BorderDiagColorRGB() const;
    uint32_t BorderLeftColorRGB() const;
    uint32_t BorderRightColorRGB() const;
    uint32_t BorderTopColorRGB() const;
    // Fails with "Not implemented: SetCellColorRGB".
    void SetFillPatternForeColorRGB(uint32_t rgb);
    // These six accept and ignore the value: colours are set by palette index.
    void SetFillPatternBackColorRGB(uint32_t) {}
    void SetBorderBottomColorRGB(uint32_t) {}
    void SetBorderDiagColorRGB(uint32_t) {}
    void SetBorderLeftColorRGB(uint32_t) {}
    void SetBorderRightColorRGB(uint32_t) {}
    void SetBorderTopColorRGB(uint32_t) {}

    // NumberFormatIndex is 14 or 20.
    bool IsDateTimeFormat() const;
    bool HasFill() const { return FillPattern() != efpNone; }
    bool HasBorderLines() const;
    // FontIndex above 5.
    bool HasNonDefaultFont() const { return FontIndex() > 5; }

private:
    friend class TCellFormats;
    class Edit;

    uint16_t GetU16(int offset) const { return LoadU16(body_.data() + offset); }
    void PutU16(int offset, uint16_t value) { StoreU16(body_.data() + offset, value); }
    uint32_t GetBits(int offset, int shift, int width) const;
    void PutBits(int offset, int shift, int width, uint32_t value);
    void UpdateAlignmentFlag(bool withVertical);
    void UpdateBorderFlag();
    void UpdateBackgroundFlagFromColors();
    void SetUsedFlag(uint8_t flag, bool on);
    void LoadDefault(uint16_t font, uint16_t numberFormat, uint16_t typeProtection,
                     uint8_t usedAttributes);

    TCellFormats* owner_;
    TBody body_;
    // Hash-index bookkeeping of the owning list (a format in the list is always indexed).
    bool hooked_ = false;
    uint64_t hash_ = 0;
    TCellFormat* next_ = nullptr;
};

// The workbook's owning XF list. The first FixedCount formats (22 with defaults) are permanent;
// position 15 is the default cell format.
class TCellFormats {
public:
    static constexpr int DefaultCellFormat = 15;

    // With defaults: the 59 built-in number formats, the 21-row default table, one format with
    // the new-format defaults at position 21, FixedCount 22. fonts is not owned.
    TCellFormats(TXFonts* fonts, bool withDefaults);
    TCellFormats(const TCellFormats&) = delete;
    TCellFormats& operator=(const TCellFormats&) = delete;
    ~TCellFormats();

    TXFonts& Fonts() const;
    TXFonts* FontsOrNull() const { return fonts_; }
    TNumberFormats& NumberFormats() { return numberFormats_; }
    const TNumberFormats& NumberFormats() const { return numberFormats_; }
    bool WithDefaults() const { return withDefaults_; }

    // Appends the 21 default formats; fails with "Add default formats when not empty." when the
    // list holds formats.
    void AddDefaults();
    // Appends a format with the new-format defaults; its Index is its position, RefCount 0.
    TCellFormat& Add();
    // Appends a copy (Assign) of source; RefCount 0.
    TCellFormat& Add(const TCellFormat& source);
    // Position of the first format in list order with a body equal to format's, or -1.
    int Find(const TCellFormat& format) const;
    // A count that moves on whenever the list changes in a way Find can tell: a format added,
    // removed, renumbered or edited. While it stays the same, Find gives the same answers.
    uint64_t Changes() const { return changes_; }
    // Removes and frees the format; every later format moves down one place.
    void Delete(int position);
    // Removes every format and every number format.
    void Clear();

    int Count() const { return static_cast<int>(items_.size()); }
    TCellFormat& Items(int position);
    const TCellFormat& Items(int position) const;
    int FixedCount() const { return fixedCount_; }
    void SetFixedCount(int value) { fixedCount_ = value; }

    // Font list bookkeeping for font changes: after font position fontPosition was deleted,
    // every format naming a later font names the font one place lower.
    void FontDeleted(int fontPosition);
    // Whether any format of the list other than except names the font position.
    bool FontInUse(int fontPosition, const TCellFormat* except) const;

private:
    friend class TCellFormat;
    void Hook(TCellFormat& format);
    void Unhook(TCellFormat& format);
    void Rehash(size_t bucketCount);
    TCellFormat& Append(std::unique_ptr<TCellFormat> format);
    // A format with the new-format defaults: a recycled one when available.
    std::unique_ptr<TCellFormat> NewFormat();

    TXFonts* fonts_;
    bool withDefaults_;
    int fixedCount_ = 0;
    TNumberFormats numberFormats_;                    // destroyed after the formats
    std::vector<std::unique_ptr<TCellFormat>> items_;
    // Deleted formats kept for reuse: every setter adds one format and removes another, so
    // recycling saves an allocation per setter. They name number format 0 and hold nothing.
    std::vector<std::unique_ptr<TCellFormat>> spare_;
    std::vector<TCellFormat*> buckets_;               // hash chains over the bodies
    size_t hooked_ = 0;
    uint64_t changes_ = 0;
};

}  // namespace quarvel
