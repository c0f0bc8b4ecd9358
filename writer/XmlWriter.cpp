#include "writer/XmlWriter.h"

#include <charconv>
#include <cstring>

namespace quarvel {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsHexUnit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// "_xHHHH_" starts at text[i] (the underscore): a reader would take it for an escaped character.
bool StartsEscapeForm(std::u16string_view text, size_t i) {
    return i + 7 <= text.size() && text[i + 1] == u'x' && IsHexUnit(text[i + 2]) && IsHexUnit(text[i + 3]) &&
           IsHexUnit(text[i + 4]) && IsHexUnit(text[i + 5]) && text[i + 6] == u'_';
}

void AppendEscapeForm(std::string& out, uint32_t unit) {
    const char form[7] = {'_', 'x', kHex[(unit >> 12) & 15], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15],
                          kHex[unit & 15], '_'};
    out.append(form, sizeof form);
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// ASCII that goes out as it is, in element text and in attributes.
bool PlainAscii(char16_t c) {
    return c >= 0x20 && c < 0x7F && c != u'&' && c != u'<' && c != u'>' && c != u'_' && c != u'"';
}

template <bool kAttribute>
void AppendEscaped(std::string& out, std::u16string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        // Runs of plain ASCII are copied without a look at each case below.
        size_t run = i;
        while (run < n && PlainAscii(text[run])) ++run;
        if (run > i) {
            const size_t start = out.size();
            out.resize(start + (run - i));
            char* p = out.data() + start;
            for (size_t k = i; k < run; ++k) *p++ = static_cast<char>(text[k]);
            i = run;
            if (i == n) break;
        }
        const char16_t c = text[i];
        if (c < 0x80) {
            switch (c) {
                case u'&': out += "&amp;"; break;
                case u'<': out += "&lt;"; break;
                case u'>': out += "&gt;"; break;
                case u'"': out += kAttribute ? "&quot;" : "\""; break;
                case u'\r': out += "&#13;"; break;
                case u'\t': out += kAttribute ? "&#9;" : "\t"; break;
                case u'\n': out += kAttribute ? "&#10;" : "\n"; break;
                case u'_':
                    if (StartsEscapeForm(text, i)) {
                        out += "_x005F_";
                    } else {
                        out += '_';
                    }
                    break;
                default:
                    if (c < 0x20) {
                        AppendEscapeForm(out, c);
                    } else {
                        out += static_cast<char>(c);
                    }
                    break;
            }
            ++i;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00));
            i += 2;
            continue;
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) {
            AppendEscapeForm(out, c);
        } else {
            AppendUtf8(out, c);
        }
        ++i;
    }
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

void AppendXmlText(std::string& out, std::u16string_view text) { AppendEscaped<false>(out, text); }

void AppendXmlAttribute(std::string& out, std::u16string_view text) { AppendEscaped<true>(out, text); }

bool NeedsSpacePreserve(std::u16string_view text) {
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

std::string ColumnName(uint32_t col) {
    char letters[8];
    int length = 0;
    uint64_t n = uint64_t(col) + 1;
    while (n > 0) {
        letters[length++] = static_cast<char>('A' + (n - 1) % 26);
        n = (n - 1) / 26;
    }
    std::string name(static_cast<size_t>(length), ' ');
    for (int k = 0; k < length; ++k) name[static_cast<size_t>(k)] = letters[length - 1 - k];
    return name;
}

void AppendCellReference(std::string& out, uint32_t col, uint32_t row) {
    out += ColumnName(col);
    AppendInteger(out, int64_t(row) + 1);
}

void AppendDouble(std::string& out, double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void AppendInteger(std::string& out, int64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

// -------------------------------------------------------------------------------------------------
// TXmlWriter

TXmlWriter::TXmlWriter(TSink sink, size_t flushSize) : sink_(std::move(sink)), flushSize_(flushSize) {
    buffer_.reserve(flushSize + 4096);
}

void TXmlWriter::Declaration() { buffer_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"; }

void TXmlWriter::Start(std::string_view name) {
    buffer_ += '<';
    buffer_ += name;
}

void TXmlWriter::End(std::string_view name) {
    buffer_ += "</";
    buffer_ += name;
    buffer_ += '>';
    Flushed();
}

void TXmlWriter::Attribute(std::string_view name, std::string_view value) {
    buffer_ += ' ';
    buffer_ += name;
    buffer_ += "=\"";
    buffer_ += value;
    buffer_ += '"';
}

void TXmlWriter::Attribute(std::string_view name, int64_t value) {
    buffer_ += ' ';
    buffer_ += name;
    buffer_ += "=\"";
    AppendInteger(buffer_, value);
    buffer_ += '"';
}

void TXmlWriter::AttributeDouble(std::string_view name, double value) {
    buffer_ += ' ';
    buffer_ += name;
    buffer_ += "=\"";
    AppendDouble(buffer_, value);
    buffer_ += '"';
}

void TXmlWriter::AttributeText(std::string_view name, std::u16string_view text) {
    buffer_ += ' ';
    buffer_ += name;
    buffer_ += "=\"";
    AppendXmlAttribute(buffer_, text);
    buffer_ += '"';
}

void TXmlWriter::TextElement(std::string_view name, std::u16string_view text) {
    Start(name);
    if (NeedsSpacePreserve(text)) Attribute("xml:space", "preserve");
    CloseStart();
    Text(text);
    End(name);
}

void TXmlWriter::Flush() {
    if (!sink_ || buffer_.empty()) return;
    sink_(buffer_.data(), buffer_.size());
    buffer_.clear();
}

}  // namespace quarvel
