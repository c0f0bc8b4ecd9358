// Finding the encoding of a source: byte-order marks, the encoding labels of the WHATWG Encoding
// Standard, the charset an HTML page declares in its first 1,024 bytes, and the iconv converter
// that decodes each encoding.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quarvel {

enum class TBomKind { bkNone, bkUtf8, bkUtf16Le, bkUtf16Be };

struct TBom {
    TBomKind Kind = TBomKind::bkNone;
    size_t Length = 0;          // bytes of the mark: 3 for UTF-8, 2 for UTF-16, 0 without one
    std::string_view Encoding;  // "utf-8", "utf-16le", "utf-16be", or empty without a mark
};

// The byte-order mark at the start of bytes: EF BB BF (UTF-8), FF FE (UTF-16LE), FE FF (UTF-16BE).
TBom DetectBom(std::string_view bytes);

// The name of the encoding a label stands for, as the WHATWG Encoding Standard maps labels
// ("latin1" and "us-ascii" -> "windows-1252", "Shift_JIS" -> "shift_jis", "gb2312" -> "gbk",
// "utf-16" -> "utf-16le"); the label is matched in any ASCII case after the ASCII blanks around it
// are removed. Empty when the label is unknown. The labels the standard sends to its "replacement"
// encoding name their own stateful encodings here ("iso-2022-kr", "csiso2022kr" -> "iso-2022-kr",
// "iso-2022-cn", "iso-2022-cn-ext", "hz-gb-2312"), because they are decoded, not replaced.
std::string EncodingForLabel(std::string_view label);

// Every encoding name EncodingForLabel can return, in the standard's order.
std::span<const std::string_view> EncodingNames();

// The encoding an HTML page declares, found as a browser's prescan of the page's first 1,024 bytes
// finds it: a <meta charset=...>, or a <meta http-equiv="Content-Type" content="...;charset=...">
// (tag and attribute names in any case, values in double, single or no quotes), skipping comments
// and the attributes of other tags; without one, the encoding of an <?xml ... encoding="..."?>
// declaration at the very start. The result is an encoding name as EncodingForLabel gives it; a
// declared UTF-16 encoding gives "utf-8" (the bytes that declare it were read as ASCII, so they are
// not UTF-16) and x-user-defined gives "windows-1252". A page without a mark whose first bytes are
// "<?x" in UTF-16 gives "utf-16le" or "utf-16be". Empty when nothing is declared, the declaration
// ends after the first 1,024 bytes, or the label is unknown.
std::string PrescanMetaCharset(std::string_view bytes);

// The glibc iconv converters of an encoding name EncodingForLabel returns. Decoder and Encoder are
// both empty for the encodings decoded without iconv (utf-8, utf-16le, utf-16be, x-user-defined,
// hz-gb-2312) and for names that are not such encoding names. They differ only where the decoder
// also reads a wider set than should be written ("iso-2022-jp": ISO-2022-JP-2 reads the half-width
// katakana escape, ISO-2022-JP writes only what the page's readers expect).
struct TIconvNames {
    std::string_view Decoder;
    std::string_view Encoder;
};
TIconvNames IconvNamesForEncoding(std::string_view encoding);

}  // namespace quarvel
