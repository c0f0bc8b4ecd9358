#include "workbook/FormattedObj.h"

namespace quarvel {

// ---------------------------------------------------------------------------------------------
// TFormattedObject

TFormattedObject::TFormattedObject(TCellFormats& formats, uint16_t position)
    : format_(&formats.Items(position < formats.Count() ? position
                                                         : TCellFormats::DefaultCellFormat)) {}

void TFormattedObject::ReleaseFormat() noexcept {
    TCellFormat& format = *format_;
    TCellFormats& formats = *format.Owner();
    if (format.Index() < formats.FixedCount()) return;
    format.SetRefCount(format.RefCount() - 1);
    if (format.RefCount() <= 0) formats.Delete(format.Index());
}

void TFormattedObject::SetFormatIndex(uint16_t position) {
    TCellFormats& formats = Formats();
    // The target is taken before the current format is given back: deleting the current format
    // would move every later format one place down.
    TCellFormat* target = &formats.Items(position);
    if (target == format_) return;
    ReleaseFormat();
    format_ = target;
    if (target->Index() >= formats.FixedCount()) target->SetRefCount(target->RefCount() + 1);
}

void TFormattedObject::AssignFormat(const TCellFormat& format) {
    // Giving back the object's own format first could free the very format to copy.
    if (&format == format_) return;
    TCellFormats& formats = Formats();
    // A body naming a number format that does not exist would fail while being copied into the
    // list; fail before anything moves instead, so the object keeps its format.
    formats.NumberFormats().ById(format.NumberFormatIndex());
    ReleaseFormat();
    const int position = formats.Find(format);
    if (position >= 0) {
        format_ = &formats.Items(position);
        format_->SetRefCount(format_->RefCount() + 1);
    } else {
        TCellFormat& added = formats.Add(format);
        added.SetRefCount(1);
        format_ = &added;
    }
}

void TFormattedObject::AssignFont(const TXFont& font) {
    TCellFormats& formats = Formats();
    TXFonts& fonts = formats.Fonts();
    const int current = format_->FontIndex();
    if (current >= fonts.FixedCount() && current < fonts.Count()) {
        TXFont& held = fonts.Items(current);
        if (!held.Exclusive()) {
            held.SetRefCount(held.RefCount() - 1);
            // Font counts follow font changes, not the formats naming a font: a format that came
            // to share this font through a format copy (row or column propagation) would be left
            // naming another font. So the font goes only when no format but the object's own,
            // if the object holds it alone and is about to give it back, names it.
            if (held.RefCount() <= 0) {
                const bool heldAlone =
                    format_->Index() >= formats.FixedCount() && format_->RefCount() <= 1;
                if (!formats.FontInUse(current, heldAlone ? format_ : nullptr)) {
                    fonts.Delete(current);
                    formats.FontDeleted(current);
                }
            }
        }
    }
    int position = fonts.Find(font);
    if (position < 0) {
        TXFont& added = fonts.Add();
        added.Assign(font);
        added.SetRefCount(1);
        position = added.Index();
    } else {
        TXFont& found = fonts.Items(position);
        found.SetRefCount(found.RefCount() + 1);
    }
    TCellFormat temporary(&formats, *format_);
    temporary.SetFontIndex(static_cast<uint16_t>(position));
    AssignFormat(temporary);
}

bool TFormattedObject::PassNumberFormat(const WideString& value) {
    TCellFormats& formats = Formats();
    if (format_->Index() >= formats.FixedCount()) return false;
    TNumberFormats& numbers = formats.NumberFormats();
    TNumberFormat& current = numbers.ById(format_->NumberFormatIndex());
    if (current.FormatString() == value) return true;  // SetNumberFormat changes nothing
    // The copy of the format that SetNumberFormat changes takes a reference on the current number
    // format, which only a custom format gets back.
    if (current.FormatId() < TNumberFormats::FirstCustomId) current.SetRefCount(current.RefCount() + 1);
    const int32_t id = numbers.AddAndRelease(value);
    if (id >= 0 && id < TNumberFormats::FirstCustomId) {
        // A format made for the object (none equal was in the list) would also have taken a
        // reference on the built-in number format, which built-in formats never give back.
        TCellFormat made(nullptr, *format_);
        made.SetNumberFormatIndex(static_cast<uint16_t>(id));
        if (formats.Find(made) < 0) {
            TNumberFormat& builtIn = numbers.ById(id);
            builtIn.SetRefCount(builtIn.RefCount() + 1);
        }
    }
    return true;
}

const TXFont& TFormattedObject::CurrentFont() const {
    return Formats().Fonts().Items(format_->FontIndex());
}

TExcelColor TFormattedObject::FillPatternBackColor() const {
    const TExcelColor stored = format_->FillPatternBackColor();
    return stored > xcAutomatic ? xcAutomatic : stored;
}

template <class Change>
void TFormattedObject::ChangeFormat(Change change) {
    TCellFormat temporary(&Formats(), *format_);
    change(temporary);
    AssignFormat(temporary);
}

template <class Change>
void TFormattedObject::ChangeFont(Change change) {
    TXFont temporary(CurrentFont());
    change(temporary);
    AssignFont(temporary);
}

// Format setters: compare at the property's width, stop when equal, else copy-on-write.
#define QUARVEL_FORMAT_SETTER(Name, Type)                                        \
    void TFormattedObject::Set##Name(Type value) {                               \
        if (Name() == value) return;                                             \
        ChangeFormat([&](TCellFormat& format) { format.Set##Name(value); });     \
    }

QUARVEL_FORMAT_SETTER(FillPatternBackColor, TExcelColor)
QUARVEL_FORMAT_SETTER(FillPatternForeColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderBottomColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderBottomStyle, TCellBorderStyle)
QUARVEL_FORMAT_SETTER(BorderDiagColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderDiagLines, uint8_t)
QUARVEL_FORMAT_SETTER(BorderDiagStyle, TCellBorderStyle)
QUARVEL_FORMAT_SETTER(BorderLeftColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderLeftStyle, TCellBorderStyle)
QUARVEL_FORMAT_SETTER(BorderRightColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderRightStyle, TCellBorderStyle)
QUARVEL_FORMAT_SETTER(BorderTopColor, TExcelColor)
QUARVEL_FORMAT_SETTER(BorderTopStyle, TCellBorderStyle)
QUARVEL_FORMAT_SETTER(FormatOptions, TFormatOptions)
QUARVEL_FORMAT_SETTER(Indent, uint8_t)
QUARVEL_FORMAT_SETTER(Protection, TCellProtections)
QUARVEL_FORMAT_SETTER(Rotation, int16_t)
QUARVEL_FORMAT_SETTER(HorizAlignment, uint8_t)
QUARVEL_FORMAT_SETTER(VertAlignment, uint8_t)
QUARVEL_FORMAT_SETTER(FillPattern, TExcelFillPattern)

#undef QUARVEL_FORMAT_SETTER

void TFormattedObject::SetNumberFormat(const WideString& value) {
    // Compared by reference into the number format list: no copy of the string per call.
    const WideString& current =
        Formats().NumberFormats().ById(format_->NumberFormatIndex()).FormatString();
    if (current == value) return;
    ChangeFormat([&](TCellFormat& format) { format.SetNumberFormat(value); });
}

// Font setters: compare with the current font, stop when equal, else change a copy of the font.
#define QUARVEL_FONT_SETTER(Name, Type, FontSetter)                              \
    void TFormattedObject::SetFont##Name(Type value) {                           \
        if (Font##Name() == value) return;                                       \
        ChangeFont([&](TXFont& font) { font.FontSetter(value); });               \
    }

QUARVEL_FONT_SETTER(CharSet, uint8_t, SetCharSet)
QUARVEL_FONT_SETTER(ColorRGB, uint32_t, SetColorRGB)
QUARVEL_FONT_SETTER(Family, uint8_t, SetFamily)
QUARVEL_FONT_SETTER(Name, const WideString&, SetName)
QUARVEL_FONT_SETTER(Size, int32_t, SetSize)
QUARVEL_FONT_SETTER(Height20, int32_t, SetHeight20)
QUARVEL_FONT_SETTER(SubSuperscript, TXSubSuperscript, SetSubSuperscript)
QUARVEL_FONT_SETTER(Underline, TXUnderline, SetUnderline)
QUARVEL_FONT_SETTER(Style, TXFontStyles, SetStyle)

#undef QUARVEL_FONT_SETTER

// ---------------------------------------------------------------------------------------------
// TFormattedObjectNotify

template <class Setter>
void TFormattedObjectNotify::Notified(Setter setter) {
    const int32_t before = FormatIndex();
    setter();
    if (FormatIndex() != before && onFormatChange_) onFormatChange_(*this, Format(), GetIndex());
    Changed();
}

#define QUARVEL_NOTIFY_SETTER(Name, Type)                                        \
    void TFormattedObjectNotify::Set##Name(Type value) {                         \
        Notified([&] { TFormattedObject::Set##Name(value); });                   \
    }

QUARVEL_NOTIFY_SETTER(FillPatternBackColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(FillPatternForeColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderBottomColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderBottomStyle, TCellBorderStyle)
QUARVEL_NOTIFY_SETTER(BorderDiagColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderDiagLines, uint8_t)
QUARVEL_NOTIFY_SETTER(BorderDiagStyle, TCellBorderStyle)
QUARVEL_NOTIFY_SETTER(BorderLeftColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderLeftStyle, TCellBorderStyle)
QUARVEL_NOTIFY_SETTER(BorderRightColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderRightStyle, TCellBorderStyle)
QUARVEL_NOTIFY_SETTER(BorderTopColor, TExcelColor)
QUARVEL_NOTIFY_SETTER(BorderTopStyle, TCellBorderStyle)
QUARVEL_NOTIFY_SETTER(FormatOptions, TFormatOptions)
QUARVEL_NOTIFY_SETTER(Indent, uint8_t)
QUARVEL_NOTIFY_SETTER(NumberFormat, const WideString&)
QUARVEL_NOTIFY_SETTER(Protection, TCellProtections)
QUARVEL_NOTIFY_SETTER(Rotation, int16_t)
QUARVEL_NOTIFY_SETTER(HorizAlignment, uint8_t)
QUARVEL_NOTIFY_SETTER(VertAlignment, uint8_t)
QUARVEL_NOTIFY_SETTER(FillPattern, TExcelFillPattern)
QUARVEL_NOTIFY_SETTER(FontCharSet, uint8_t)
QUARVEL_NOTIFY_SETTER(FontColorRGB, uint32_t)
QUARVEL_NOTIFY_SETTER(FontFamily, uint8_t)
QUARVEL_NOTIFY_SETTER(FontName, const WideString&)
QUARVEL_NOTIFY_SETTER(FontSize, int32_t)
QUARVEL_NOTIFY_SETTER(FontHeight20, int32_t)
QUARVEL_NOTIFY_SETTER(FontSubSuperscript, TXSubSuperscript)
QUARVEL_NOTIFY_SETTER(FontUnderline, TXUnderline)
QUARVEL_NOTIFY_SETTER(FontStyle, TXFontStyles)

#undef QUARVEL_NOTIFY_SETTER

}  // namespace quarvel
