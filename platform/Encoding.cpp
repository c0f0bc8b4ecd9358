#include "platform/Encoding.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace quarvel {

namespace {

struct TLabelEntry {
    std::string_view Label;
    std::string_view Name;
};

#include "platform/EncodingLabels.inc"

// The glibc converters of the encodings decoded through iconv. Where glibc's table and the
// standard's index differ, the nearest converter is named and the difference is noted.
struct TIconvEntry {
    std::string_view Name;
    std::string_view Decoder;
    std::string_view Encoder;
};
constexpr TIconvEntry kIconvNames[] = {
    {"ibm866", "IBM866", "IBM866"},
    {"iso-8859-2", "ISO-8859-2", "ISO-8859-2"},
    {"iso-8859-3", "ISO-8859-3", "ISO-8859-3"},
    {"iso-8859-4", "ISO-8859-4", "ISO-8859-4"},
    {"iso-8859-5", "ISO-8859-5", "ISO-8859-5"},
    {"iso-8859-6", "ISO-8859-6", "ISO-8859-6"},
    {"iso-8859-7", "ISO-8859-7", "ISO-8859-7"},
    {"iso-8859-8", "ISO-8859-8", "ISO-8859-8"},
    {"iso-8859-8-i", "ISO-8859-8", "ISO-8859-8"},  // the same characters in logical order
    {"iso-8859-10", "ISO-8859-10", "ISO-8859-10"},
    {"iso-8859-13", "ISO-8859-13", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14", "ISO-8859-14"},
    {"iso-8859-15", "ISO-8859-15", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16", "ISO-8859-16"},
    {"koi8-r", "KOI8-R", "KOI8-R"},
    {"koi8-u", "KOI8-U", "KOI8-U"},        // the standard has U+045E/U+040E at AE/BE (box drawings here)
    {"macintosh", "MACINTOSH", "MACINTOSH"},  // C6 and F0 differ: U+0394 for U+2206, U+E01E for U+F8FF
    {"windows-874", "WINDOWS-874", "WINDOWS-874"},
    {"windows-1250", "CP1250", "CP1250"},
    {"windows-1251", "CP1251", "CP1251"},
    {"windows-1252", "CP1252", "CP1252"},
    {"windows-1253", "CP1253", "CP1253"},
    {"windows-1254", "CP1254", "CP1254"},
    {"windows-1255", "CP1255", "CP1255"},
    {"windows-1256", "CP1256", "CP1256"},
    {"windows-1257", "CP1257", "CP1257"},
    {"windows-1258", "CP1258", "CP1258"},
    {"x-mac-cyrillic", "MAC-CYRILLIC", "MAC-CYRILLIC"},  // FF is U+00A4 here, U+20AC in the standard
    // The standard decodes GBK with the GB18030 decoder.
    {"gbk", "GB18030", "GB18030"},
    {"gb18030", "GB18030", "GB18030"},
    // Big5 with the Hong Kong supplement, as the standard's index has it.
    {"big5", "BIG5-HKSCS", "BIG5-HKSCS"},
    // EUC-JP with the NEC row 13 and the Windows mappings of the JIS symbols (FF5E, 2225, FF0D,
    // FFE0, FFE1, FFE2), which the standard's index shares with shift_jis; plain EUC-JP has neither.
    {"euc-jp", "EUC-JP-MS", "EUC-JP-MS"},
    {"iso-2022-jp", "ISO-2022-JP-2", "ISO-2022-JP"},
    {"shift_jis", "WINDOWS-31J", "WINDOWS-31J"},
    // The standard's euc-kr is the Unified Hangul Code (windows-949).
    {"euc-kr", "CP949", "CP949"},
    {"iso-2022-kr", "ISO-2022-KR", "ISO-2022-KR"},
    {"iso-2022-cn", "ISO-2022-CN", "ISO-2022-CN"},
    {"iso-2022-cn-ext", "ISO-2022-CN-EXT", "ISO-2022-CN-EXT"},
};

bool IsAsciiBlank(char c) { return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// ---- The prescan of the HTML standard ("prescan a byte stream to determine its encoding") ----

// Reads the page's bytes from a position; running past the end of the bytes ends the prescan.
class TPrescan {
public:
    explicit TPrescan(std::string_view bytes) : b_(bytes) {}

    // The declared encoding name, or nullopt when the bytes ran out before a meta tag declared a
    // known encoding.
    std::optional<std::string> Run();

private:
    struct TAttribute {
        std::string Name;
        std::string Value;
    };

    bool AtEnd() const { return p_ >= b_.size(); }
    unsigned char At(size_t i) const { return static_cast<unsigned char>(b_[i]); }
    bool StartsWith(std::string_view s) const { return b_.substr(p_).starts_with(s); }

    // "Get an attribute": false when there is none here (at ">") or the bytes ran out (then
    // AtEnd() is true).
    bool GetAttribute(TAttribute& attribute);
    // Moves to the first c at or after position `from`; false (at the end) when there is none.
    bool SkipTo(char c, size_t from);

    std::string_view b_;
    size_t p_ = 0;
};

bool IsSpaceOrSlash(unsigned char c) { return IsAsciiBlank(char(c)) || c == '/'; }

bool TPrescan::SkipTo(char c, size_t from) {
    size_t found = b_.find(c, from);
    if (found == std::string_view::npos) {
        p_ = b_.size();
        return false;
    }
    p_ = found;
    return true;
}

bool TPrescan::GetAttribute(TAttribute& attribute) {
    attribute.Name.clear();
    attribute.Value.clear();
    while (!AtEnd() && IsSpaceOrSlash(At(p_))) ++p_;
    if (AtEnd() || At(p_) == '>') return false;
    // The name.
    for (;;) {
        if (AtEnd()) return false;
        char c = char(At(p_));
        if (c == '=' && !attribute.Name.empty()) {
            ++p_;
            break;
        }
        if (IsAsciiBlank(c)) {
            while (!AtEnd() && IsAsciiBlank(char(At(p_)))) ++p_;
            if (AtEnd()) return false;
            if (At(p_) != '=') return true;  // a name without a value
            ++p_;
            break;
        }
        if (c == '/' || c == '>') return true;
        attribute.Name.push_back(AsciiLower(c));
        ++p_;
    }
    // The value.
    while (!AtEnd() && IsAsciiBlank(char(At(p_)))) ++p_;
    if (AtEnd()) return false;
    char c = char(At(p_));
    if (c == '"' || c == '\'') {
        const char quote = c;
        for (;;) {
            ++p_;
            if (AtEnd()) return false;
            if (char(At(p_)) == quote) {
                ++p_;
                return true;
            }
            attribute.Value.push_back(AsciiLower(char(At(p_))));
        }
    }
    if (c == '>') return true;
    attribute.Value.push_back(AsciiLower(c));
    ++p_;
    for (;;) {
        if (AtEnd()) return false;
        c = char(At(p_));
        if (IsAsciiBlank(c) || c == '>') return true;
        attribute.Value.push_back(AsciiLower(c));
        ++p_;
    }
}

// "The algorithm for extracting a character encoding from a meta element": the label after the
// first "charset" that an "=" follows, quoted or up to a blank or ";". Nullopt when there is none.
std::optional<std::string> CharsetFromContent(std::string_view s) {
    size_t pos = 0;
    for (;;) {
        // s is already lower-cased.
        size_t found = s.find("charset", pos);
        if (found == std::string_view::npos) return std::nullopt;
        size_t i = found + 7;
        while (i < s.size() && IsAsciiBlank(s[i])) ++i;
        if (i >= s.size() || s[i] != '=') {
            pos = i;
            continue;
        }
        ++i;
        while (i < s.size() && IsAsciiBlank(s[i])) ++i;
        if (i >= s.size()) return std::nullopt;
        if (s[i] == '"' || s[i] == '\'') {
            size_t close = s.find(s[i], i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            return EncodingForLabel(s.substr(i + 1, close - i - 1));
        }
        size_t end = i;
        while (end < s.size() && !IsAsciiBlank(s[end]) && s[end] != ';') ++end;
        return EncodingForLabel(s.substr(i, end - i));
    }
}

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::optional<std::string> TPrescan::Run() {
    if (b_.starts_with(std::string_view("<\0?\0x\0", 6))) return "utf-16le";
    if (b_.starts_with(std::string_view("\0<\0?\0x", 6))) return "utf-16be";
    for (; !AtEnd(); ++p_) {
        if (StartsWith("<!--")) {
            // The "--" of "-->" may be the one that opened the comment ("<!-->").
            size_t close = b_.find("-->", p_ + 2);
            if (close == std::string_view::npos) return std::nullopt;
            p_ = close + 2;
            continue;
        }
        if (b_.size() - p_ >= 6 && At(p_) == '<' && AsciiLower(char(At(p_ + 1))) == 'm' &&
            AsciiLower(char(At(p_ + 2))) == 'e' && AsciiLower(char(At(p_ + 3))) == 't' &&
            AsciiLower(char(At(p_ + 4))) == 'a' && IsSpaceOrSlash(At(p_ + 5))) {
            p_ += 5;
            std::vector<std::string> seen;
            bool gotPragma = false;
            std::optional<bool> needPragma;
            std::optional<std::string> charset;  // "" is a label that names no encoding
            TAttribute attribute;
            while (GetAttribute(attribute)) {
                if (std::find(seen.begin(), seen.end(), attribute.Name) != seen.end()) continue;
                seen.push_back(attribute.Name);
                if (attribute.Name == "http-equiv") {
                    if (attribute.Value == "content-type") gotPragma = true;
                } else if (attribute.Name == "content") {
                    std::optional<std::string> found = CharsetFromContent(attribute.Value);
                    if (found && !found->empty() && !charset) {
                        charset = *found;
                        needPragma = true;
                    }
                } else if (attribute.Name == "charset") {
                    charset = EncodingForLabel(attribute.Value);
                    needPragma = false;
                }
            }
            if (AtEnd()) return std::nullopt;
            if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->empty()) continue;
            if (*charset == "utf-16le" || *charset == "utf-16be") return "utf-8";
            if (*charset == "x-user-defined") return "windows-1252";
            return charset;
        }
        if (At(p_) == '<' && b_.size() - p_ >= 2 &&
            (IsAsciiLetter(At(p_ + 1)) || (At(p_ + 1) == '/' && b_.size() - p_ >= 3 && IsAsciiLetter(At(p_ + 2))))) {
            while (!AtEnd() && !IsAsciiBlank(char(At(p_))) && At(p_) != '>') ++p_;
            TAttribute attribute;
            while (GetAttribute(attribute)) {
            }
            if (AtEnd()) return std::nullopt;
            continue;
        }
        if (StartsWith("<!") || StartsWith("</") || StartsWith("<?")) {
            if (!SkipTo('>', p_ + 1)) return std::nullopt;
            continue;
        }
    }
    return std::nullopt;
}

// "Get an XML encoding": the encoding="..." of an <?xml declaration at the start.
std::string XmlDeclarationEncoding(std::string_view b) {
    if (!b.starts_with("<?xml")) return "";
    size_t end = b.find('>');
    if (end == std::string_view::npos) return "";
    size_t pos = b.find("encoding");
    if (pos == std::string_view::npos || pos > end) return "";
    pos += 8;
    auto skipControls = [&] {
        while (pos < b.size() && static_cast<unsigned char>(b[pos]) <= 0x20) ++pos;
    };
    skipControls();
    if (pos >= b.size() || b[pos] != '=') return "";
    ++pos;
    skipControls();
    if (pos >= b.size() || (b[pos] != '"' && b[pos] != '\'')) return "";
    size_t close = b.find(b[pos], pos + 1);
    if (close == std::string_view::npos) return "";
    std::string_view label = b.substr(pos + 1, close - pos - 1);
    for (char c : label) {
        if (static_cast<unsigned char>(c) <= 0x20) return "";
    }
    std::string encoding = EncodingForLabel(label);
    if (encoding == "utf-16le" || encoding == "utf-16be") return "utf-8";
    return encoding;
}

}  // namespace

TBom DetectBom(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return {TBomKind::bkUtf8, 3, "utf-8"};
    if (bytes.starts_with("\xFF\xFE")) return {TBomKind::bkUtf16Le, 2, "utf-16le"};
    if (bytes.starts_with("\xFE\xFF")) return {TBomKind::bkUtf16Be, 2, "utf-16be"};
    return {};
}

std::string EncodingForLabel(std::string_view label) {
    while (!label.empty() && IsAsciiBlank(label.front())) label.remove_prefix(1);
    while (!label.empty() && IsAsciiBlank(label.back())) label.remove_suffix(1);
    std::string key(label);
    for (char& c : key) c = AsciiLower(c);
    auto found = std::lower_bound(std::begin(kEncodingLabels), std::end(kEncodingLabels), key,
                                  [](const TLabelEntry& entry, const std::string& k) { return entry.Label < k; });
    if (found == std::end(kEncodingLabels) || found->Label != key) return "";
    return std::string(found->Name);
}

std::span<const std::string_view> EncodingNames() { return kEncodingNames; }

std::string PrescanMetaCharset(std::string_view bytes) {
    std::string_view head = bytes.substr(0, 1024);
    std::optional<std::string> declared = TPrescan(head).Run();
    if (declared) return *declared;
    return XmlDeclarationEncoding(head);
}

TIconvNames IconvNamesForEncoding(std::string_view encoding) {
    for (const TIconvEntry& entry : kIconvNames) {
        if (entry.Name == encoding) return {entry.Decoder, entry.Encoder};
    }
    return {};
}

}  // namespace quarvel
