// The XML text of the parts of an Office Open XML package: a growing buffer of UTF-8 with the
// escapes SpreadsheetML text needs, handed on in pieces to whoever stores the part.
//
// Text of the model is UTF-16. Written into an element or an attribute it becomes UTF-8 with the
// XML specials escaped. A character XML 1.0 cannot hold (a control character other than TAB, LF and
// CR, U+FFFE, U+FFFF, a lone surrogate) is written as _xHHHH_, the form spreadsheet readers turn
// back into the character; an underscore that would itself start such a form is written _x005F_,
// so that the text reads back as it was. CR is written &#13;, since an XML parser turns a raw CR
// into LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quarvel {

// Appends text as the content of an element.
void AppendXmlText(std::string& out, std::u16string_view text);
// Appends text as an attribute value in double quotes (without the quotes): also '"', TAB and LF
// are escaped, which attribute-value normalisation would otherwise change.
void AppendXmlAttribute(std::string& out, std::u16string_view text);
// Whether a text element needs xml:space="preserve" to keep its blanks: it starts or ends with a
// blank, TAB, LF or CR.
bool NeedsSpacePreserve(std::u16string_view text);

// The column's letters: 0 is A, 25 Z, 26 AA, 16383 XFD.
std::string ColumnName(uint32_t col);
// Appends the A1-style reference of a cell (0-based column and row): (0, 0) is A1.
void AppendCellReference(std::string& out, uint32_t col, uint32_t row);
// Appends the shortest decimal text that reads back as the same double ("0.1", "1e+20", "-0").
void AppendDouble(std::string& out, double value);
// Appends a whole number in decimal.
void AppendInteger(std::string& out, int64_t value);

// A part being written: start tags, attributes, text and end tags appended to a buffer. When a
// sink is set, the buffer is handed to it whenever it grows past the flush size and at Flush;
// without one the whole part stays in Text().
class TXmlWriter {
public:
    using TSink = std::function<void(const char* data, size_t size)>;

    TXmlWriter() = default;
    explicit TXmlWriter(TSink sink, size_t flushSize = size_t(1) << 16);

    // The declaration every part begins with.
    void Declaration();
    // "<name"; attributes follow, then CloseStart (">") or CloseEmpty ("/>").
    void Start(std::string_view name);
    void CloseStart() { buffer_ += '>'; }
    void CloseEmpty() { buffer_ += "/>"; }
    void End(std::string_view name);
    // ' name="value"' with value taken as it is (names, numbers, fixed words).
    void Attribute(std::string_view name, std::string_view value);
    void Attribute(std::string_view name, int64_t value);
    void AttributeDouble(std::string_view name, double value);
    // ' name="text"' with the text escaped.
    void AttributeText(std::string_view name, std::u16string_view text);
    // Element content: escaped text, or bytes taken as they are.
    void Text(std::u16string_view text) { AppendXmlText(buffer_, text); }
    void Raw(std::string_view bytes) { buffer_ += bytes; }
    // <name>text</name>, with xml:space="preserve" when the text needs it.
    void TextElement(std::string_view name, std::u16string_view text);

    // The buffer itself, for writers that append to it directly; call Flushed after appending.
    std::string& Buffer() { return buffer_; }
    void Flushed() {
        if (sink_ && buffer_.size() >= flushSize_) Flush();
    }
    // Hands what is gathered to the sink (nothing without one).
    void Flush();
    // The part so far (all of it when there is no sink).
    const std::string& Text() const { return buffer_; }

private:
    TSink sink_;
    size_t flushSize_ = 0;
    std::string buffer_;
};

}  // namespace quarvel
