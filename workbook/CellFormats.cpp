#include "workbook/CellFormats.h"

#include <algorithm>
#include <cstring>

namespace quarvel {

namespace {

// The built-in number formats, ids 0 to 58 in order.
const char16_t* const BuiltInFormats[59] = {
    u"",                                                        // 0 General
    u"0",
    u"0.00",
    u"#,##0",
    u"#,##0.00",
    u"_($#,##0_);($#,##0)",                                     // 5
    u"_($#,##0_);[Red]($#,##0)",
    u"_($#,##0.00_);($#,##0.00)",
    u"_($#,##0.00_);[Red]($#,##0.00)",
    u"0%",
    u"0.00%",                                                   // 10
    u"0.00E+00",
    u"# ?/?",
    u"# ?\?/?\?",
    u"m/d/yy",
    u"d-mmm-y",                                                 // 15
    u"d-mmm",
    u"mmmm-yy",
    u"h:mm AM/PM",
    u"h:mm:ss AM/PM",
    u"h:mm",                                                    // 20
    u"h:mm:SS",
    u"m/d/yy h:mm",
    u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"",  // 23 to 36
    u"_(#,##0_);(#,##0)",                                       // 37
    u"_(#,##0_);[Red](#,##0)",
    u"_(#,##0.00_);(#,##0.00)",
    u"_(#,##0.00_);[Red](#,##0.00)",                            // 40
    u"_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)",
    u"_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)",
    u"_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)",
    u"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"?\?_);_(@_)",
    u"mm:ss",                                                   // 45
    u"[h]:mm:ss",
    u"mm:ss.0",
    u"# #0.0E+0",
    u"@",
    u"", u"", u"", u"", u"", u"", u"", u"", u"",                  // 50 to 58
};

[[noreturn]] void ThrowMissingNumberFormat(int32_t id) {
    throw Error("Can not find number format# " + std::to_string(id));
}

// Gives back a reference on a number format id if the id exists; never throws. Used where a
// body is replaced or destroyed, so that an id that was stored unchecked cannot make a
// destructor or an assignment fail.
void ReleaseQuietly(TNumberFormats& formats, int32_t id) {
    if (formats.FindFormatById(id) != nullptr) formats.Release(id);
}

uint64_t HashBody(const TCellFormat::TBody& body) {
    uint64_t a, b, c;
    std::memcpy(&a, body.data(), 8);
    std::memcpy(&b, body.data() + 8, 8);
    std::memcpy(&c, body.data() + 12, 8);
    uint64_t h = a * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31) ^ b) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27) ^ c) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

// New-format defaults.
constexpr TCellFormat::TBody NewFormatBody = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x20,
                                              0x40, 0x20, 0x10, 0x00, 0xC0, 0x20};

// The default table: font, number format id, type-and-protection word, used-attribute byte.
struct DefaultRow {
    uint16_t font, numberFormat, typeProtection;
    uint8_t used;
};
constexpr DefaultRow DefaultTable[21] = {
    {0, 0, 0xFFF5, 0x00},                                                          // 0 Normal
    {1, 0, 0xFFF5, 0xF4}, {1, 0, 0xFFF5, 0xF4},                                    // 1, 2
    {2, 0, 0xFFF5, 0xF4}, {2, 0, 0xFFF5, 0xF4},                                    // 3, 4
    {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4},              // 5 to 14
    {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4},
    {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4}, {0, 0, 0xFFF5, 0xF4},
    {0, 0, 0xFFF5, 0xF4},
    {0, 0, 0x0001, 0x00},                                                          // 15 cell
    {0, 42, 0xFFF5, 0x00},                                                         // 16 Comma
    {0, 43, 0xFFF5, 0x00},                                                         // 17
    {0, 44, 0xFFF5, 0x00},                                                         // 18
    {0, 45, 0xFFF5, 0x00},                                                         // 19
    {0, 9, 0xFFF5, 0x00},                                                          // 20 Percent
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TNumberFormats

// Compared as bytes: lookups by string run for every date and number cell.
bool TNumberFormats::TSameString::operator()(const WideString& a, const WideString& b) const {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

void TNumberFormats::Index(TNumberFormat& format) {
    if (!format.FormatString().empty()) {
        // A node given up by Release is used again: a date cell adds a number format and drops it
        // again right away, for every date of a sheet.
        if (spareNode_) {
            spareNode_.key() = format.FormatString();
            spareNode_.mapped() = &format;
            auto inserted = byString_.insert(std::move(spareNode_));
            if (!inserted.inserted) spareNode_ = std::move(inserted.node);
        } else {
            byString_.emplace(format.FormatString(), &format);
        }
    }
    const auto id = static_cast<size_t>(format.FormatId());
    if (id >= byId_.size()) {
        byId_.resize(std::max(id + 1, std::min<size_t>(byId_.size() * 2, MaxFormatId + 1)),
                     nullptr);
    }
    byId_[id] = &format;
}

void TNumberFormats::AddBuiltIns() {
    lastFormatId_ = 0;
    for (int32_t id = 0; id < FirstCustomId; ++id) {
        items_.push_back(std::make_unique<TNumberFormat>(id, BuiltInFormats[id], -1));
        Index(*items_.back());
        lastFormatId_ = id;
    }
}

int TNumberFormats::Find(const WideString& formatString) const {
    if (formatString.empty()) return 0;
    const auto it = byString_.find(formatString);
    return it == byString_.end() ? -1 : FindById(it->second->FormatId());
}

int32_t TNumberFormats::NextCustomId() {
    if (lastFormatId_ < MaxFormatId) return ++lastFormatId_;
    // The counter is spent: take the lowest id from 59 up that no current format uses.
    auto it = std::lower_bound(items_.begin(), items_.end(), FirstCustomId,
                               [](const auto& f, int32_t id) { return f->FormatId() < id; });
    int32_t id = FirstCustomId;
    for (; it != items_.end() && (*it)->FormatId() == id; ++it) ++id;
    if (id > MaxFormatId) throw Error("Too many number formats");
    return id;
}

TNumberFormat& TNumberFormats::FindOrAdd(const WideString& formatString) {
    // As Find, without turning the answer into a position.
    TNumberFormat* found = nullptr;
    if (formatString.empty()) {
        if (!items_.empty()) found = items_.front().get();
    } else if (const auto it = byString_.find(formatString); it != byString_.end()) {
        found = it->second;
    }
    if (found != nullptr) {
        found->SetRefCount(found->RefCount() + 1);
        return *found;
    }
    const int32_t id = NextCustomId();
    auto format = std::make_unique<TNumberFormat>(id, formatString, 1);
    TNumberFormat& added = *format;
    auto at = std::lower_bound(items_.begin(), items_.end(), id,
                               [](const auto& f, int32_t v) { return f->FormatId() < v; });
    items_.insert(at, std::move(format));
    Index(added);
    return added;
}

int32_t TNumberFormats::AddAndRelease(const WideString& formatString) {
    TNumberFormat* found = nullptr;
    if (formatString.empty()) {
        if (!items_.empty()) found = items_.front().get();
    } else if (const auto it = byString_.find(formatString); it != byString_.end()) {
        found = it->second;
    }
    if (found == nullptr) {
        NextCustomId();
        return -1;
    }
    if (found->FormatId() < FirstCustomId) found->SetRefCount(found->RefCount() + 1);
    return found->FormatId();
}

int TNumberFormats::FindById(int32_t id) const {
    auto it = std::lower_bound(items_.begin(), items_.end(), id,
                               [](const auto& f, int32_t v) { return f->FormatId() < v; });
    if (it == items_.end() || (*it)->FormatId() != id) return -1;
    return static_cast<int>(it - items_.begin());
}

TNumberFormat& TNumberFormats::ById(int32_t id) {
    TNumberFormat* format = FindFormatById(id);
    if (format == nullptr) throw ListIndexError(id);
    return *format;
}

void TNumberFormats::AddRef(int32_t id) {
    if (id < FirstCustomId) return;
    TNumberFormat* format = FindFormatById(id);
    if (format == nullptr) ThrowMissingNumberFormat(id);
    format->SetRefCount(format->RefCount() + 1);
}

void TNumberFormats::Release(int32_t id) {
    if (id < FirstCustomId) return;
    TNumberFormat* format = FindFormatById(id);
    if (format == nullptr) ThrowMissingNumberFormat(id);
    if (format->RefCount() < 0) return;
    format->SetRefCount(format->RefCount() - 1);
    if (format->RefCount() < 1) {
        if (auto node = byString_.extract(format->FormatString())) spareNode_ = std::move(node);
        byId_[id] = nullptr;
        items_.erase(items_.begin() + FindById(id));
    }
}

void TNumberFormats::Clear() {
    byString_.clear();
    spareNode_ = {};
    byId_.clear();
    items_.clear();
}

TNumberFormat& TNumberFormats::Items(int position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

const TNumberFormat& TNumberFormats::Items(int position) const {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

// ---------------------------------------------------------------------------------------------
// TCellFormat

// Keeps the owner's hash index right while the body of a listed format changes: the format
// leaves the index before the change and re-enters it after (also when the change throws).
// Nested edits (one setter calling another) touch the index once.
class TCellFormat::Edit {
public:
    explicit Edit(TCellFormat& format) : format_(format), rehook_(format.hooked_) {
        if (rehook_) format_.owner_->Unhook(format_);
    }
    ~Edit() {
        if (rehook_) format_.owner_->Hook(format_);
    }
    Edit(const Edit&) = delete;
    Edit& operator=(const Edit&) = delete;

private:
    TCellFormat& format_;
    bool rehook_;
};

TCellFormat::TCellFormat(TCellFormats* owner) : owner_(owner), body_(NewFormatBody) {}

TCellFormat::TCellFormat(TCellFormats* owner, int xfIndex) : TCellFormat(owner) {
    if (owner == nullptr) throw ListIndexError(xfIndex);
    Assign(owner->Items(xfIndex));
}

TCellFormat::TCellFormat(TCellFormats* owner, const TCellFormat& source) : TCellFormat(owner) {
    Assign(source);
}

TCellFormat::~TCellFormat() {
    if (owner_ != nullptr) ReleaseQuietly(owner_->NumberFormats(), NumberFormatIndex());
}

// Bit fields of the little-endian dwords at offsets 10 and 14.
uint32_t TCellFormat::GetBits(int offset, int shift, int width) const {
    return (LoadU32(body_.data() + offset) >> shift) & ((1u << width) - 1);
}

void TCellFormat::PutBits(int offset, int shift, int width, uint32_t value) {
    uint8_t* p = body_.data() + offset;
    const uint32_t mask = ((1u << width) - 1) << shift;
    StoreU32(p, (LoadU32(p) & ~mask) | ((value << shift) & mask));
}

void TCellFormat::SetUsedFlag(uint8_t flag, bool on) {
    body_[9] = on ? (body_[9] | flag) : (body_[9] & ~flag);
}

void TCellFormat::UpdateAlignmentFlag(bool withVertical) {
    SetUsedFlag(uaAlignment, (body_[6] & 0x08) != 0 || HorizAlignment() != 0 ||
                                 (withVertical && VertAlignment() != 0));
}

void TCellFormat::UpdateBorderFlag() {
    SetUsedFlag(uaBorder, HasBorderLines());
}

void TCellFormat::UpdateBackgroundFlagFromColors() {
    SetUsedFlag(uaBackground, !(FillPatternForeColor() == 64 && FillPatternBackColor() == 64));
}

void TCellFormat::LoadDefault(uint16_t font, uint16_t numberFormat, uint16_t typeProtection,
                              uint8_t usedAttributes) {
    Edit edit(*this);
    body_.fill(0);
    PutU16(0, font);
    PutU16(2, numberFormat);
    PutU16(4, typeProtection);
    body_[6] = 0x20;
    body_[9] = usedAttributes;
    body_[18] = 0xC0;
    body_[19] = 0x20;
}

void TCellFormat::Assign(const TCellFormat& source) {
    const uint16_t previous = NumberFormatIndex();
    if (owner_ != nullptr) {
        TNumberFormat& format = owner_->NumberFormats().ById(source.NumberFormatIndex());
        format.SetRefCount(format.RefCount() + 1);
    }
    {
        Edit edit(*this);
        body_ = source.body_;
    }
    if (owner_ != nullptr) ReleaseQuietly(owner_->NumberFormats(), previous);
}

void TCellFormat::SetFontIndex(uint16_t value) {
    Edit edit(*this);
    PutU16(0, value);
}

TXFont& TCellFormat::Font() const {
    if (owner_ == nullptr) throw ListIndexError(FontIndex());
    return owner_->Fonts().Items(FontIndex());
}

void TCellFormat::SetNumberFormatIndex(uint16_t value) {
    Edit edit(*this);
    PutU16(2, value);
}

WideString TCellFormat::NumberFormat() const {
    if (owner_ == nullptr) return WideString();
    return owner_->NumberFormats().ById(NumberFormatIndex()).FormatString();
}

void TCellFormat::SetNumberFormat(const WideString& value) {
    if (owner_ == nullptr) throw Error("CellFormat has no parent");
    const uint16_t previous = NumberFormatIndex();
    if (value.empty()) {
        SetNumberFormatIndex(0);
    } else {
        if (value.size() >= 256) throw Error("Format string more than 255 characthers");
        const TNumberFormat& format = owner_->NumberFormats().FindOrAdd(value);
        SetNumberFormatIndex(static_cast<uint16_t>(format.FormatId()));
    }
    owner_->NumberFormats().Release(previous);
}

void TCellFormat::SetProtection(TCellProtections value) {
    Edit edit(*this);
    body_[4] = static_cast<uint8_t>((body_[4] & ~0x03) | (value & 0x03));
}

void TCellFormat::SetHorizAlignment(uint8_t value) {
    Edit edit(*this);
    body_[6] = static_cast<uint8_t>((body_[6] & ~0x07) | (value & 0x07));
    UpdateAlignmentFlag(true);
}

void TCellFormat::SetVertAlignment(uint8_t value) {
    Edit edit(*this);
    body_[6] = static_cast<uint8_t>((body_[6] & ~0x70) | ((value & 0x07) << 4));
    UpdateAlignmentFlag(true);
}

TFormatOptions TCellFormat::FormatOptions() const {
    TFormatOptions options = 0;
    if (body_[6] & 0x08) options |= foWrapText;
    if (body_[8] & 0x10) options |= foShrinkToFit;
    return options;
}

void TCellFormat::SetFormatOptions(TFormatOptions value) {
    Edit edit(*this);
    body_[6] = static_cast<uint8_t>((value & foWrapText) ? (body_[6] | 0x08) : (body_[6] & ~0x08));
    body_[8] =
        static_cast<uint8_t>((value & foShrinkToFit) ? (body_[8] | 0x10) : (body_[8] & ~0x10));
    UpdateAlignmentFlag(false);
}

int16_t TCellFormat::Rotation() const {
    const int stored = body_[7];
    if (stored <= 90 || stored == 255) return static_cast<int16_t>(stored);
    return static_cast<int16_t>(90 - stored);
}

void TCellFormat::SetRotation(int16_t degrees) {
    int stored;
    if (degrees >= 255) stored = 255;
    else if (degrees > 90) stored = 90;
    else if (degrees >= 0) stored = degrees;
    else if (degrees >= -90) stored = 90 - degrees;
    else stored = 180;
    Edit edit(*this);
    body_[7] = static_cast<uint8_t>(stored);
}

void TCellFormat::SetIndent(uint8_t value) {
    Edit edit(*this);
    body_[8] = static_cast<uint8_t>((body_[8] & ~0x0F) | (value & 0x0F));
}

void TCellFormat::SetMergeCells(bool value) {
    Edit edit(*this);
    body_[8] = static_cast<uint8_t>(value ? (body_[8] | 0x20) : (body_[8] & ~0x20));
}

// Border lines: dword at 10 holds the left, right, top and bottom styles (4 bits each), the left
// and right colours (7 bits each) and the two diagonal flags; the dword at 14 the top, bottom
// and diagonal colours, the diagonal style and the fill pattern; the word at 18 the two pattern
// colours.
TCellBorderStyle TCellFormat::BorderLeftStyle() const {
    return static_cast<TCellBorderStyle>(GetBits(10, 0, 4));
}
TCellBorderStyle TCellFormat::BorderRightStyle() const {
    return static_cast<TCellBorderStyle>(GetBits(10, 4, 4));
}
TCellBorderStyle TCellFormat::BorderTopStyle() const {
    return static_cast<TCellBorderStyle>(GetBits(10, 8, 4));
}
TCellBorderStyle TCellFormat::BorderBottomStyle() const {
    return static_cast<TCellBorderStyle>(GetBits(10, 12, 4));
}
TCellBorderStyle TCellFormat::BorderDiagStyle() const {
    return static_cast<TCellBorderStyle>(GetBits(14, 21, 4));
}

void TCellFormat::SetBorderLeftStyle(TCellBorderStyle value) {
    Edit edit(*this);
    PutBits(10, 0, 4, value);
    UpdateBorderFlag();
}
void TCellFormat::SetBorderRightStyle(TCellBorderStyle value) {
    Edit edit(*this);
    PutBits(10, 4, 4, value);
    UpdateBorderFlag();
}
void TCellFormat::SetBorderTopStyle(TCellBorderStyle value) {
    Edit edit(*this);
    PutBits(10, 8, 4, value);
    UpdateBorderFlag();
}
void TCellFormat::SetBorderBottomStyle(TCellBorderStyle value) {
    Edit edit(*this);
    PutBits(10, 12, 4, value);
    UpdateBorderFlag();
}
void TCellFormat::SetBorderDiagStyle(TCellBorderStyle value) {
    Edit edit(*this);
    PutBits(14, 21, 4, value);
    UpdateBorderFlag();
}

TExcelColor TCellFormat::BorderLeftColor() const {
    return static_cast<TExcelColor>(GetBits(10, 16, 7));
}
TExcelColor TCellFormat::BorderRightColor() const {
    return static_cast<TExcelColor>(GetBits(10, 23, 7));
}
TExcelColor TCellFormat::BorderTopColor() const {
    return static_cast<TExcelColor>(GetBits(14, 0, 7));
}
TExcelColor TCellFormat::BorderBottomColor() const {
    return static_cast<TExcelColor>(GetBits(14, 7, 7));
}
TExcelColor TCellFormat::BorderDiagColor() const {
    return static_cast<TExcelColor>(GetBits(14, 14, 7));
}

void TCellFormat::SetBorderLeftColor(TExcelColor value) {
    Edit edit(*this);
    PutBits(10, 16, 7, value);
}
void TCellFormat::SetBorderRightColor(TExcelColor value) {
    Edit edit(*this);
    PutBits(10, 23, 7, value);
}
void TCellFormat::SetBorderTopColor(TExcelColor value) {
    Edit edit(*this);
    PutBits(14, 0, 7, value);
}
void TCellFormat::SetBorderBottomColor(TExcelColor value) {
    Edit edit(*this);
    PutBits(14, 7, 7, value);
}
void TCellFormat::SetBorderDiagColor(TExcelColor value) {
    Edit edit(*this);
    PutBits(14, 14, 7, value);
}

uint8_t TCellFormat::BorderDiagLines() const { return static_cast<uint8_t>(GetBits(10, 30, 2)); }

void TCellFormat::SetBorderDiagLines(uint8_t value) {
    Edit edit(*this);
    PutBits(10, 30, 2, value);
}

TExcelFillPattern TCellFormat::FillPattern() const {
    return static_cast<TExcelFillPattern>(GetBits(14, 26, 6));
}

void TCellFormat::SetFillPattern(TExcelFillPattern value) {
    Edit edit(*this);
    PutBits(14, 26, 6, value);
    SetUsedFlag(uaBackground, value != efpNone);
}

TExcelColor TCellFormat::FillPatternForeColor() const {
    return static_cast<TExcelColor>(body_[18] & 0x7F);
}

TExcelColor TCellFormat::FillPatternBackColor() const {
    return static_cast<TExcelColor>((GetU16(18) >> 7) & 0x7F);
}

void TCellFormat::SetFillPatternForeColor(TExcelColor value) {
    Edit edit(*this);
    PutU16(18, static_cast<uint16_t>((GetU16(18) & ~0x007F) | (value & 0x7F)));
    UpdateBackgroundFlagFromColors();
    if (value != xcAutomatic) {
        // Colouring the background is one call: the fill becomes solid on white.
        SetFillPattern(efpSolid);
        SetFillPatternBackColor(xcWhite);
    }
}

void TCellFormat::SetFillPatternBackColor(TExcelColor value) {
    Edit edit(*this);
    PutU16(18, static_cast<uint16_t>((GetU16(18) & ~0x3F80) | ((value & 0x7F) << 7)));
    UpdateBackgroundFlagFromColors();
}

namespace {
uint32_t PaletteRGB(int color) { return Palette[std::min(color, static_cast<int>(xcAutomatic))]; }
}  // namespace

uint32_t TCellFormat::FillPatternForeColorRGB() const { return PaletteRGB(FillPatternForeColor()); }
uint32_t TCellFormat::FillPatternBackColorRGB() const { return PaletteRGB(FillPatternBackColor()); }
uint32_t TCellFormat::BorderBottomColorRGB() const { return PaletteRGB(BorderBottomColor()); }
uint32_t TCellFormat::BorderDiagColorRGB() const { return PaletteRGB(BorderDiagColor()); }
uint32_t TCellFormat::BorderLeftColorRGB() const { return PaletteRGB(BorderLeftColor()); }
uint32_t TCellFormat::BorderRightColorRGB() const { return PaletteRGB(BorderRightColor()); }
uint32_t TCellFormat::BorderTopColorRGB() const { return PaletteRGB(BorderTopColor()); }

void TCellFormat::SetFillPatternForeColorRGB(uint32_t) {
    throw Error("Not implemented: SetCellColorRGB");
}

bool TCellFormat::IsDateTimeFormat() const {
    return NumberFormatIndex() == 14 || NumberFormatIndex() == 20;
}

bool TCellFormat::HasBorderLines() const {
    return BorderLeftStyle() != cbsNone || BorderRightStyle() != cbsNone ||
           BorderTopStyle() != cbsNone || BorderBottomStyle() != cbsNone ||
           BorderDiagStyle() != cbsNone;
}

// ---------------------------------------------------------------------------------------------
// TCellFormats

TCellFormats::TCellFormats(TXFonts* fonts, bool withDefaults)
    : fonts_(fonts), withDefaults_(withDefaults), buckets_(256, nullptr) {
    if (withDefaults) {
        numberFormats_.AddBuiltIns();
        AddDefaults();
        Add();
        fixedCount_ = Count();
    }
}

TCellFormats::~TCellFormats() {
    // The formats go first: each gives back its number-format reference.
    for (auto& format : items_) format->hooked_ = false;
    items_.clear();
}

TXFonts& TCellFormats::Fonts() const {
    if (fonts_ == nullptr) throw Error("CellFormats has no font list");
    return *fonts_;
}

void TCellFormats::AddDefaults() {
    if (!items_.empty()) throw Error("Add default formats when not empty.");
    for (const DefaultRow& row : DefaultTable) {
        auto format = std::make_unique<TCellFormat>(this);
        format->LoadDefault(row.font, row.numberFormat, row.typeProtection, row.used);
        Append(std::move(format));
        if (row.numberFormat != 0 && row.numberFormat < numberFormats_.Count()) {
            numberFormats_.Items(row.numberFormat).SetRefCount(1);
        }
    }
}

TCellFormat& TCellFormats::Append(std::unique_ptr<TCellFormat> format) {
    format->SetIndex(Count());
    format->SetRefCount(0);
    items_.push_back(std::move(format));
    TCellFormat& added = *items_.back();
    Hook(added);
    return added;
}

std::unique_ptr<TCellFormat> TCellFormats::NewFormat() {
    if (spare_.empty()) return std::make_unique<TCellFormat>(this);
    std::unique_ptr<TCellFormat> format = std::move(spare_.back());
    spare_.pop_back();
    return format;
}

TCellFormat& TCellFormats::Add() { return Append(NewFormat()); }

TCellFormat& TCellFormats::Add(const TCellFormat& source) {
    std::unique_ptr<TCellFormat> format = NewFormat();
    format->Assign(source);
    return Append(std::move(format));
}

int TCellFormats::Find(const TCellFormat& format) const {
    const uint64_t hash = HashBody(format.body_);
    int first = -1;
    for (const TCellFormat* f = buckets_[hash & (buckets_.size() - 1)]; f; f = f->next_) {
        if (f->hash_ == hash && f->body_ == format.body_ && (first < 0 || f->Index() < first)) {
            first = f->Index();
        }
    }
    return first;
}

void TCellFormats::Delete(int position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    std::unique_ptr<TCellFormat> format = std::move(items_[position]);
    Unhook(*format);
    items_.erase(items_.begin() + position);
    for (int i = position; i < Count(); ++i) items_[i]->SetIndex(items_[i]->Index() - 1);
    // What destroying the format would do: give back its number-format reference.
    ReleaseQuietly(numberFormats_, format->NumberFormatIndex());
    if (spare_.size() < 16) {
        format->body_ = NewFormatBody;
        format->SetRefCount(0);
        spare_.push_back(std::move(format));
    } else {
        format->SetNumberFormatIndex(0);  // already given back
    }
}

void TCellFormats::Clear() {
    ++changes_;
    for (auto& format : items_) format->hooked_ = false;
    items_.clear();
    spare_.clear();
    std::fill(buckets_.begin(), buckets_.end(), nullptr);
    hooked_ = 0;
    numberFormats_.Clear();
}

TCellFormat& TCellFormats::Items(int position) {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

const TCellFormat& TCellFormats::Items(int position) const {
    if (position < 0 || position >= Count()) throw ListIndexError(position);
    return *items_[position];
}

void TCellFormats::FontDeleted(int fontPosition) {
    for (auto& format : items_) {
        if (format->FontIndex() > fontPosition) {
            format->SetFontIndex(static_cast<uint16_t>(format->FontIndex() - 1));
        }
    }
}

bool TCellFormats::FontInUse(int fontPosition, const TCellFormat* except) const {
    for (const auto& format : items_) {
        if (format.get() != except && format->FontIndex() == fontPosition) return true;
    }
    return false;
}

void TCellFormats::Hook(TCellFormat& format) {
    ++changes_;
    if (2 * (hooked_ + 1) > buckets_.size()) Rehash(buckets_.size() * 2);
    format.hash_ = HashBody(format.body_);
    TCellFormat*& head = buckets_[format.hash_ & (buckets_.size() - 1)];
    format.next_ = head;
    head = &format;
    format.hooked_ = true;
    ++hooked_;
}

void TCellFormats::Unhook(TCellFormat& format) {
    if (!format.hooked_) return;
    ++changes_;
    TCellFormat** link = &buckets_[format.hash_ & (buckets_.size() - 1)];
    while (*link != &format) link = &(*link)->next_;
    *link = format.next_;
    format.next_ = nullptr;
    format.hooked_ = false;
    --hooked_;
}

void TCellFormats::Rehash(size_t bucketCount) {
    std::vector<TCellFormat*> buckets(bucketCount, nullptr);
    for (TCellFormat* head : buckets_) {
        while (head != nullptr) {
            TCellFormat* next = head->next_;
            TCellFormat*& slot = buckets[head->hash_ & (bucketCount - 1)];
            head->next_ = slot;
            slot = head;
            head = next;
        }
    }
    buckets_.swap(buckets);
}

}  // namespace quarvel
