// Everything that carries a cell format: cells, rows and columns.
//
// A formatted object never owns its format: it refers to one shared TCellFormat of the
// workbook's list. Every setter works by copy-on-write: copy the current format, change one
// attribute, give back the current format, then take an equal format from the list or add the
// copy. A setter that does not change the value does nothing at all.
#pragma once

#include <cstdint>
#include <functional>

#include "workbook/BIFFRecs.h"
#include "workbook/CellFormats.h"
#include "workbook/XLSFonts.h"

namespace quarvel {

class TFormattedObject {
public:
    // Refers to the format at position of formats, or to the default cell format (15) when the
    // position is not below the list's count. Takes no reference: whoever creates an object
    // on a counted format accounts for that reference.
    TFormattedObject(TCellFormats& formats, uint16_t position);
    virtual ~TFormattedObject() = default;
    TFormattedObject(const TFormattedObject&) = delete;
    TFormattedObject& operator=(const TFormattedObject&) = delete;

    // The workbook's format list (the owner of Format).
    TCellFormats& Formats() const { return *format_->Owner(); }
    TCellFormat& Format() const { return *format_; }
    // The XF index: the current list position of Format.
    int32_t FormatIndex() const { return format_->Index(); }
    // Moves the object to the format at position, taking one reference when the position is at
    // or above FixedCount, after giving back the current format.
    void SetFormatIndex(uint16_t position);
    // Makes the object use a format equal to format (found in the list or added as a copy).
    // The current format is given back before the search, so a format the object held alone is
    // gone before an equal one is looked for.
    void AssignFormat(const TCellFormat& format);
    // Makes the object use a format that is the current one with the given font.
    void AssignFont(const TXFont& font);
    // For an object about to move to another format (SetFormatIndex): leaves the lists as
    // SetNumberFormat(value) and then that move would, without making the format SetNumberFormat
    // would have made and deleted again (number formats used, and a custom id spent for a new
    // string, as TNumberFormats::AddAndRelease tells). Only for an object on one of the permanent
    // formats, which SetNumberFormat cannot delete; returns false, changing nothing, for any
    // other. The caller makes sure the move does not go to a format equal to the one made here.
    bool PassNumberFormat(const WideString& value);

    // Properties read from Format (and its font).
    TExcelColor FillPatternBackColor() const;  // at most 64: the default 65 reads as 64
    TExcelColor FillPatternForeColor() const { return format_->FillPatternForeColor(); }
    TExcelColor BorderBottomColor() const { return format_->BorderBottomColor(); }
    TCellBorderStyle BorderBottomStyle() const { return format_->BorderBottomStyle(); }
    TExcelColor BorderDiagColor() const { return format_->BorderDiagColor(); }
    uint8_t BorderDiagLines() const { return format_->BorderDiagLines(); }
    TCellBorderStyle BorderDiagStyle() const { return format_->BorderDiagStyle(); }
    TExcelColor BorderLeftColor() const { return format_->BorderLeftColor(); }
    TCellBorderStyle BorderLeftStyle() const { return format_->BorderLeftStyle(); }
    TExcelColor BorderRightColor() const { return format_->BorderRightColor(); }
    TCellBorderStyle BorderRightStyle() const { return format_->BorderRightStyle(); }
    TExcelColor BorderTopColor() const { return format_->BorderTopColor(); }
    TCellBorderStyle BorderTopStyle() const { return format_->BorderTopStyle(); }
    TFormatOptions FormatOptions() const { return format_->FormatOptions(); }
    uint8_t Indent() const { return format_->Indent(); }
    WideString NumberFormat() const { return format_->NumberFormat(); }
    TCellProtections Protection() const { return format_->Protection(); }
    int16_t Rotation() const { return format_->Rotation(); }
    uint8_t HorizAlignment() const { return format_->HorizAlignment(); }
    uint8_t VertAlignment() const { return format_->VertAlignment(); }
    TExcelFillPattern FillPattern() const { return format_->FillPattern(); }
    uint8_t FontCharSet() const { return CurrentFont().CharSet(); }
    uint32_t FontColorRGB() const { return CurrentFont().ColorRGB(); }
    uint8_t FontFamily() const { return CurrentFont().Family(); }
    const WideString& FontName() const { return CurrentFont().Name(); }
    int32_t FontSize() const { return CurrentFont().Size(); }
    int32_t FontHeight20() const { return CurrentFont().Height20(); }
    TXSubSuperscript FontSubSuperscript() const { return CurrentFont().SubSuperscript(); }
    TXUnderline FontUnderline() const { return CurrentFont().Underline(); }
    TXFontStyles FontStyle() const { return CurrentFont().Style(); }

    // The 30 setters, in this fixed order.
    virtual void SetFillPatternBackColor(TExcelColor value);
    virtual void SetFillPatternForeColor(TExcelColor value);
    virtual void SetBorderBottomColor(TExcelColor value);
    virtual void SetBorderBottomStyle(TCellBorderStyle value);
    virtual void SetBorderDiagColor(TExcelColor value);
    virtual void SetBorderDiagLines(uint8_t value);
    virtual void SetBorderDiagStyle(TCellBorderStyle value);
    virtual void SetBorderLeftColor(TExcelColor value);
    virtual void SetBorderLeftStyle(TCellBorderStyle value);
    virtual void SetBorderRightColor(TExcelColor value);
    virtual void SetBorderRightStyle(TCellBorderStyle value);
    virtual void SetBorderTopColor(TExcelColor value);
    virtual void SetBorderTopStyle(TCellBorderStyle value);
    virtual void SetFormatOptions(TFormatOptions value);
    virtual void SetIndent(uint8_t value);
    virtual void SetNumberFormat(const WideString& value);
    virtual void SetProtection(TCellProtections value);
    virtual void SetRotation(int16_t degrees);
    virtual void SetHorizAlignment(uint8_t value);
    virtual void SetVertAlignment(uint8_t value);
    virtual void SetFillPattern(TExcelFillPattern value);
    virtual void SetFontCharSet(uint8_t value);
    virtual void SetFontColorRGB(uint32_t rgb);
    virtual void SetFontFamily(uint8_t value);
    virtual void SetFontName(const WideString& value);
    virtual void SetFontSize(int32_t points);
    virtual void SetFontHeight20(int32_t value);
    virtual void SetFontSubSuperscript(TXSubSuperscript value);
    virtual void SetFontUnderline(TXUnderline value);
    virtual void SetFontStyle(TXFontStyles value);

protected:
    // Gives back the reference on Format: a format at or above FixedCount loses one count and
    // is deleted from the list when none is left. Afterwards Format may be gone, so only a
    // destructor or a method that assigns a new format may call it. Never throws.
    void ReleaseFormat() noexcept;

private:
    const TXFont& CurrentFont() const;
    // Copy-on-write of one attribute: a temporary copy of Format is changed by change and then
    // assigned. The temporary gives back its number-format reference in every case.
    template <class Change>
    void ChangeFormat(Change change);
    // Copy-on-write of one font attribute.
    template <class Change>
    void ChangeFont(Change change);

    TCellFormat* format_;
};

// Every cell is a formatted object: keep it to the vtable and the one format pointer, so that a
// full sheet stays small (the format list is reached through the format).
static_assert(sizeof(TFormattedObject) == 2 * sizeof(void*));

class TFormattedObjectNotify;

// Called after a setter moved a row or column to another format position: the new format and
// the row or column number.
using TFormatChangeEvent =
    std::function<void(TFormattedObjectNotify& sender, TCellFormat& format, int32_t index)>;

// Base of rows and columns: reports every setter that changes the format position.
class TFormattedObjectNotify : public TFormattedObject {
public:
    using TFormattedObject::TFormattedObject;

    const TFormatChangeEvent& OnFormatChange() const { return onFormatChange_; }
    void SetOnFormatChange(TFormatChangeEvent handler) { onFormatChange_ = std::move(handler); }

    // The row or column number.
    virtual int32_t GetIndex() const = 0;
    // Called after every setter, also when nothing changed.
    virtual void Changed() {}

    void SetFillPatternBackColor(TExcelColor value) override;
    void SetFillPatternForeColor(TExcelColor value) override;
    void SetBorderBottomColor(TExcelColor value) override;
    void SetBorderBottomStyle(TCellBorderStyle value) override;
    void SetBorderDiagColor(TExcelColor value) override;
    void SetBorderDiagLines(uint8_t value) override;
    void SetBorderDiagStyle(TCellBorderStyle value) override;
    void SetBorderLeftColor(TExcelColor value) override;
    void SetBorderLeftStyle(TCellBorderStyle value) override;
    void SetBorderRightColor(TExcelColor value) override;
    void SetBorderRightStyle(TCellBorderStyle value) override;
    void SetBorderTopColor(TExcelColor value) override;
    void SetBorderTopStyle(TCellBorderStyle value) override;
    void SetFormatOptions(TFormatOptions value) override;
    void SetIndent(uint8_t value) override;
    void SetNumberFormat(const WideString& value) override;
    void SetProtection(TCellProtections value) override;
    void SetRotation(int16_t degrees) override;
    void SetHorizAlignment(uint8_t value) override;
    void SetVertAlignment(uint8_t value) override;
    void SetFillPattern(TExcelFillPattern value) override;
    void SetFontCharSet(uint8_t value) override;
    void SetFontColorRGB(uint32_t rgb) override;
    void SetFontFamily(uint8_t value) override;
    void SetFontName(const WideString& value) override;
    void SetFontSize(int32_t points) override;
    void SetFontHeight20(int32_t value) override;
    void SetFontSubSuperscript(TXSubSuperscript value) override;
    void SetFontUnderline(TXUnderline value) override;
    void SetFontStyle(TXFontStyles value) override;

private:
    // Remembers FormatIndex, runs the plain setter, reports a changed position, then Changed.
    template <class Setter>
    void Notified(Setter setter);

    TFormatChangeEvent onFormatChange_;
};

}  // namespace quarvel
