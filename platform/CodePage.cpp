#include "platform/CodePage.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Encoding.h"
#include "platform/Text.h"

namespace quarvel {

namespace {

constexpr size_t kFailed = static_cast<size_t>(-1);

// An iconv descriptor released when the scope ends.
class TIconv {
public:
    TIconv() = default;
    TIconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~TIconv() {
        if (Valid()) ::iconv_close(cd_);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }
    void Reset() const { ::iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

bool SameName(std::string name, std::string_view other) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return name == other;
}

void AppendCodePoint(char32_t code, WideString& out) {
    if (code >= 0x10000) {
        code -= 0x10000;
        out.push_back(char16_t(0xD800 + (code >> 10)));
        out.push_back(char16_t(0xDC00 + (code & 0x3FF)));
    } else {
        out.push_back(char16_t(code));
    }
}

// Writes the UTF-8 of a BMP character at dst; returns its length.
size_t WriteUtf8(char16_t code, char* dst) {
    if (code < 0x80) {
        dst[0] = char(code);
        return 1;
    }
    if (code < 0x800) {
        dst[0] = char(0xC0 | (code >> 6));
        dst[1] = char(0x80 | (code & 0x3F));
        return 2;
    }
    dst[0] = char(0xE0 | (code >> 12));
    dst[1] = char(0x80 | ((code >> 6) & 0x3F));
    dst[2] = char(0x80 | (code & 0x3F));
    return 3;
}

bool IsCharacter(char32_t code) { return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF); }

// What decoding a few bytes alone, from the initial state, gives.
struct TProbe {
    int Error = 0;        // 0, EILSEQ (invalid), EINVAL (incomplete) or E2BIG (more than 4 characters)
    size_t Consumed = 0;  // bytes read before the error or in all
    size_t Count = 0;     // characters produced
    char32_t First = 0;
};

TProbe ProbeDecode(const TIconv& decoder, std::string_view bytes) {
    decoder.Reset();
    char32_t chars[4] = {};
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = reinterpret_cast<char*>(chars);
    size_t outLeft = sizeof chars;
    TProbe probe;
    if (::iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == kFailed) probe.Error = errno;
    probe.Consumed = bytes.size() - inLeft;
    probe.Count = (sizeof chars - outLeft) / sizeof(char32_t);
    probe.First = chars[0];
    return probe;
}

// The bytes markup is made of: blanks, line breaks and the characters HTML and the delimited
// formats give a meaning to.
constexpr unsigned char kMarkupBytes[] = {'\t', '\n', '\f', '\r', ' ', '"', '&', '\'', '/', ';', '<', '=', '>'};

bool IsMarkupByte(unsigned char b) {
    for (unsigned char m : kMarkupBytes) {
        if (m == b) return true;
    }
    return false;
}

// Whether a multi-byte decoder reads markup as ASCII: each byte below 0x80 alone is its ASCII
// character, and a markup byte never continues a character that another byte starts. Checked
// by decoding: every lead byte (a byte that alone is an incomplete character) followed by each
// markup byte must be rejected at the lead, so that the lead becomes a stray byte and the markup
// byte is read again as itself. Some converters judge a sequence only when it is complete (GB18030
// and EUC-TW read four bytes first), so a prefix with a markup byte that is still incomplete is
// followed further, and none of its longer forms may decode. Longer prefixes (the GB18030
// four-byte form, the EUC-JP three-byte form) are tried up to 256 of each length.
bool ProbeAsciiCompatible(const TIconv& decoder) {
    for (int b = 0; b < 0x80; ++b) {
        char byte = char(b);
        TProbe probe = ProbeDecode(decoder, std::string_view(&byte, 1));
        if (probe.Error != 0 || probe.Count != 1 || probe.First != char32_t(b)) return false;
    }
    auto sample = [](std::vector<std::string>& list) {
        if (list.size() <= 256) return;
        std::vector<std::string> some;
        for (size_t k = 0; k < 256; ++k) some.push_back(list[k * list.size() / 256]);
        list.swap(some);
    };
    std::vector<std::string> prefixes;  // incomplete sequences of lead and trail bytes
    std::vector<std::string> pending;   // incomplete sequences that hold a markup byte
    for (int b = 0x80; b < 0x100; ++b) {
        std::string one(1, char(b));
        if (ProbeDecode(decoder, one).Error == EINVAL) prefixes.push_back(one);
    }
    for (int length = 1; length <= 4 && !(prefixes.empty() && pending.empty()); ++length) {
        sample(prefixes);
        sample(pending);
        std::vector<std::string> longer, longerPending;
        for (const std::string& prefix : prefixes) {
            for (int b = 0; b < 0x100; ++b) {
                const std::string bytes = prefix + char(b);
                const TProbe probe = ProbeDecode(decoder, bytes);
                const bool incomplete = probe.Error == EINVAL && probe.Consumed == 0;
                if (IsMarkupByte(static_cast<unsigned char>(b))) {
                    if (incomplete) {
                        longerPending.push_back(bytes);
                    } else if (probe.Error != EILSEQ || probe.Consumed != 0) {
                        return false;
                    }
                } else if (incomplete) {
                    longer.push_back(bytes);
                }
            }
        }
        for (const std::string& prefix : pending) {
            for (int b = 0; b < 0x100; ++b) {
                const std::string bytes = prefix + char(b);
                const TProbe probe = ProbeDecode(decoder, bytes);
                if (probe.Error == EINVAL && probe.Consumed == 0) {
                    longerPending.push_back(bytes);
                } else if (probe.Error != EILSEQ || probe.Consumed != 0) {
                    return false;
                }
            }
        }
        prefixes.swap(longer);
        pending.swap(longerPending);
    }
    return pending.empty();
}

// The probe decodes some 100,000 short sequences for the largest sets; its answers are kept for
// the life of the process.
bool CachedAsciiCompatible(const std::string& decoderName, const TIconv& decoder) {
    static std::mutex mutex;
    static std::unordered_map<std::string, bool> known;
    std::lock_guard lock(mutex);
    auto found = known.find(decoderName);
    if (found != known.end()) return found->second;
    const bool compatible = ProbeAsciiCompatible(decoder);
    known.emplace(decoderName, compatible);
    return compatible;
}

// Appends UTF-16 code units of bytes in little- or big-endian order as UTF-8 (or, with a WideString
// sink, as UTF-16): pairs of surrogates join, a lone surrogate and an odd last byte are U+FFFD.
template <typename Sink>
void DecodeUtf16(std::string_view bytes, bool bigEndian, Sink&& sink) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    auto unitAt = [&](size_t i) -> char32_t {
        return bigEndian ? char32_t(p[i] << 8 | p[i + 1]) : char32_t(p[i + 1] << 8 | p[i]);
    };
    size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        char32_t unit = unitAt(i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            sink(unit);
        } else if (unit <= 0xDBFF && i + 4 <= n && unitAt(i + 2) >= 0xDC00 && unitAt(i + 2) <= 0xDFFF) {
            sink(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else {
            sink(0xFFFD);
        }
    }
    if (i < n) sink(0xFFFD);
}

void AppendUtf16Unit(char32_t unit, bool bigEndian, std::string& out) {
    if (bigEndian) {
        out.push_back(char(unit >> 8));
        out.push_back(char(unit & 0xFF));
    } else {
        out.push_back(char(unit & 0xFF));
        out.push_back(char(unit >> 8));
    }
}

}  // namespace

struct TCodePage::TSingleByteTables {
    std::array<char16_t, 256> ToUnicode{};
    std::bitset<256> Defined;  // bytes the encoding itself defines (the others are stray bytes)
    std::array<std::array<char, 4>, 256> Utf8{};  // the UTF-8 of each byte's character
    std::array<uint8_t, 256> Utf8Length{};
    std::unordered_map<char16_t, unsigned char> FromUnicode;         // every table entry, lowest byte
    std::unordered_map<char16_t, unsigned char> DefinedFromUnicode;  // only the defined bytes
};

// The converters of a multi-byte page, opened on first use. One mutex guards them: copies of a
// page share them, and an iconv descriptor keeps state.
struct TCodePage::TIconvState {
    std::mutex Mutex;
    std::string DecoderName;
    std::string EncoderName;
    std::unique_ptr<TIconv> Decoder;  // to UTF-8
    std::unique_ptr<TIconv> Encoder;  // from UTF-32LE
    std::vector<char32_t> Gb2312;     // HZ: the 94 x 94 GB2312 characters (0 where none)

    const TIconv& OpenDecoder() {
        if (!Decoder) Decoder = std::make_unique<TIconv>("UTF-8", DecoderName.c_str());
        return *Decoder;
    }
    const TIconv& OpenEncoder() {
        if (!Encoder) Encoder = std::make_unique<TIconv>(EncoderName.c_str(), "UTF-32LE");
        return *Encoder;
    }
};

TCodePage::TCodePage() = default;

TCodePage TCodePage::SingleByteFromTable(std::string name, const std::array<char16_t, 256>& table,
                                         const std::bitset<256>& defined) {
    auto tables = std::make_shared<TSingleByteTables>();
    tables->ToUnicode = table;
    tables->Defined = defined;
    bool ascii = true;
    for (int b = 255; b >= 0; --b) {
        const char16_t c = table[b];
        if (b < 0x80 && c != char16_t(b)) ascii = false;
        tables->FromUnicode[c] = static_cast<unsigned char>(b);
        if (defined[b]) tables->DefinedFromUnicode[c] = static_cast<unsigned char>(b);
        std::string utf8;
        AppendCodePointUtf8(c, utf8);
        std::memcpy(tables->Utf8[b].data(), utf8.data(), utf8.size());
        tables->Utf8Length[b] = static_cast<uint8_t>(utf8.size());
    }
    TCodePage page;
    page.kind_ = Kind::SingleByte;
    page.name_ = std::move(name);
    page.asciiCompatible_ = ascii;
    page.tables_ = std::move(tables);
    return page;
}

// The code page of iconv converters: single-byte when every byte alone decodes to at most one
// character (tabulated then), otherwise converted through iconv. An unknown decoder gives the
// default page with an empty name.
TCodePage TCodePage::ForIconv(std::string name, std::string decoderName, std::string encoderName) {
    TIconv decoder("UTF-32LE", decoderName.c_str());
    if (!decoder.Valid()) {
        TCodePage page;
        page.name_.clear();
        return page;
    }
    // Decode every byte alone: if each one is a whole character (or invalid), the codeset is
    // single-byte and a table does the work; a byte that starts a longer sequence means multi-byte.
    bool singleByte = true;
    std::array<char16_t, 256> table{};
    std::bitset<256> defined;
    for (int b = 0; b < 256 && singleByte; ++b) {
        char in = char(b);
        TProbe probe = ProbeDecode(decoder, std::string_view(&in, 1));
        if (probe.Error == EINVAL) {
            singleByte = false;
        } else if (probe.Error != 0 || probe.Count != 1 || probe.First > 0xFFFF) {
            table[b] = Windows1252ToUnicode(static_cast<unsigned char>(b));
        } else {
            table[b] = char16_t(probe.First);
            defined[b] = true;
        }
    }
    if (singleByte && encoderName == decoderName) return SingleByteFromTable(std::move(name), table, defined);

    TCodePage page;
    page.kind_ = Kind::MultiByte;
    page.name_ = std::move(name);
    page.asciiCompatible_ = CachedAsciiCompatible(decoderName, decoder);
    page.iconv_ = std::make_shared<TIconvState>();
    page.iconv_->DecoderName = std::move(decoderName);
    page.iconv_->EncoderName = std::move(encoderName);
    return page;
}

TCodePage TCodePage::ForCodeset(const std::string& codeset) {
    if (codeset.empty() || SameName(codeset, "UTF-8") || SameName(codeset, "UTF8") ||
        SameName(codeset, "ANSI_X3.4-1968") || SameName(codeset, "ASCII") ||
        SameName(codeset, "US-ASCII")) {
        return TCodePage();
    }
    TCodePage page = ForIconv(codeset, codeset, codeset);
    if (page.name_.empty()) return TCodePage();
    return page;
}

TCodePage TCodePage::FromProcessLocale() {
    const char* codeset = ::nl_langinfo(CODESET);
    return ForCodeset(codeset ? codeset : "");
}

std::optional<TCodePage> TCodePage::ForName(std::string_view name) {
    const std::string encoding = EncodingForLabel(name);
    if (!encoding.empty()) {
        TCodePage page;
        page.name_ = encoding;
        if (encoding == "utf-8") return page;
        if (encoding == "utf-16le" || encoding == "utf-16be") {
            page.kind_ = encoding == "utf-16le" ? Kind::Utf16Le : Kind::Utf16Be;
            page.asciiCompatible_ = false;
            return page;
        }
        if (encoding == "x-user-defined") {
            // ASCII, and the bytes 80 to FF as the private-use characters F780 to F7FF.
            std::array<char16_t, 256> table{};
            for (int b = 0; b < 256; ++b) table[b] = char16_t(b < 0x80 ? b : 0xF780 + (b - 0x80));
            return SingleByteFromTable(encoding, table, std::bitset<256>().set());
        }
        if (encoding == "hz-gb-2312") {
            // ASCII with "~{" ... "~}" around GB2312 characters written in 7 bits.
            page.kind_ = Kind::Hz;
            page.asciiCompatible_ = false;
            page.iconv_ = std::make_shared<TIconvState>();
            page.iconv_->DecoderName = "EUC-CN";
            page.iconv_->EncoderName = "EUC-CN";
            return page;
        }
        const TIconvNames names = IconvNamesForEncoding(encoding);
        if (names.Decoder.empty()) return std::nullopt;
        page = ForIconv(encoding, std::string(names.Decoder), std::string(names.Encoder));
        if (page.name_.empty()) return std::nullopt;
        return page;
    }
    // An iconv name. Suffixes such as //IGNORE or //TRANSLIT are refused: they drop or change
    // characters.
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    std::string iconvName(name);
    TCodePage page = ForIconv(iconvName, iconvName, iconvName);
    if (page.name_.empty()) return std::nullopt;
    return page;
}

// ---- Decoding ----

void TCodePage::AppendDecodedMultiByte(std::string_view bytes, std::string& out) const {
    std::lock_guard lock(iconv_->Mutex);
    const TIconv& decoder = iconv_->OpenDecoder();
    if (!decoder.Valid()) {
        AppendRepairedUtf8(bytes, out);
        return;
    }
    decoder.Reset();
    size_t used = out.size();
    out.resize(used + bytes.size() * 2 + 64);
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    for (;;) {
        // Once every byte is read, one more call returns the converter to its initial state and
        // writes what it still holds.
        const bool finishing = inLeft == 0;
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t result = finishing ? ::iconv(decoder.Get(), nullptr, nullptr, &outPtr, &outLeft)
                                        : ::iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = result == kFailed ? errno : 0;
        used = static_cast<size_t>(outPtr - out.data());
        if (error == E2BIG) {
            out.resize(out.size() + out.size() / 2 + 64);
            continue;
        }
        if (finishing) break;
        if (error != 0 && inLeft > 0) {
            // An invalid or truncated sequence (or any other failure): keep its first byte as
            // its Windows-1252 character and go on after it.
            if (out.size() - used < 4) out.resize(out.size() + out.size() / 2 + 64);
            used += WriteUtf8(Windows1252ToUnicode(static_cast<unsigned char>(*inPtr)), out.data() + used);
            ++inPtr;
            --inLeft;
            decoder.Reset();
        }
    }
    out.resize(used);
}

void TCodePage::AppendDecodedHz(std::string_view bytes, std::string& out) const {
    std::vector<char32_t>* gb2312 = nullptr;
    {
        std::lock_guard lock(iconv_->Mutex);
        if (iconv_->Gb2312.empty()) {
            iconv_->Gb2312.assign(94 * 94, 0);
            TIconv decoder("UTF-32LE", iconv_->DecoderName.c_str());
            for (int row = 0; row < 94 && decoder.Valid(); ++row) {
                for (int cell = 0; cell < 94; ++cell) {
                    const char pair[2] = {char(0xA1 + row), char(0xA1 + cell)};
                    TProbe probe = ProbeDecode(decoder, std::string_view(pair, 2));
                    if (probe.Error == 0 && probe.Consumed == 2 && probe.Count == 1) iconv_->Gb2312[row * 94 + cell] = probe.First;
                }
            }
        }
        gb2312 = &iconv_->Gb2312;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    bool gbMode = false;
    for (size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        if (b == '~' && i + 1 < n) {
            const unsigned char next = p[i + 1];
            if (next == '{' || next == '}') {
                gbMode = next == '{';
                i += 2;
                continue;
            }
            if (next == '~') {
                out.push_back('~');
                i += 2;
                continue;
            }
            if (next == '\n') {  // a line break the encoder added
                i += 2;
                continue;
            }
        }
        if (gbMode && b >= 0x21 && b <= 0x7E && i + 1 < n && p[i + 1] >= 0x21 && p[i + 1] <= 0x7E) {
            const char32_t code = (*gb2312)[(b - 0x21) * 94 + (p[i + 1] - 0x21)];
            if (code != 0) {
                AppendCodePointUtf8(code, out);
                i += 2;
                continue;
            }
        }
        if (b == '\n') gbMode = false;  // a line break ends the GB2312 part
        AppendCodePointUtf8(Windows1252ToUnicode(b), out);
        ++i;
    }
}

void TCodePage::AppendDecodedUtf8(std::string_view bytes, std::string& out) const {
    switch (kind_) {
        case Kind::Utf8:
            AppendRepairedUtf8(bytes, out);
            return;
        case Kind::Utf16Le:
        case Kind::Utf16Be:
            out.reserve(out.size() + bytes.size() * 3 / 2);
            DecodeUtf16(bytes, kind_ == Kind::Utf16Be, [&](char32_t code) { AppendCodePointUtf8(code, out); });
            return;
        case Kind::SingleByte: {
            const TSingleByteTables& t = *tables_;
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
            const size_t n = bytes.size();
            // The exact size first: growing the text as it is written costs more than this pass.
            size_t length = 0;
            for (size_t i = 0; i < n; ++i) length += t.Utf8Length[p[i]];
            const size_t used = out.size();
            out.resize(used + length + 4);  // a character is written as 4 bytes, then cut
            char* w = out.data() + used;
            auto put = [&](unsigned char b) {
                std::memcpy(w, t.Utf8[b].data(), 4);
                w += t.Utf8Length[b];
            };
            size_t i = 0;
            // Blocks of 16 bytes: copied when all are ASCII (in an ASCII-based table they stand
            // for themselves), otherwise looked up one by one.
            for (; i + 16 <= n; i += 16) {
#if defined(__SSE2__)
                if (asciiCompatible_) {
                    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
                    if (_mm_movemask_epi8(block) == 0) {
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(w), block);
                        w += 16;
                        continue;
                    }
                }
#endif
                for (size_t k = 0; k < 16; ++k) put(p[i + k]);
            }
            for (; i < n; ++i) put(p[i]);
            out.resize(static_cast<size_t>(w - out.data()));
            return;
        }
        case Kind::MultiByte:
            AppendDecodedMultiByte(bytes, out);
            return;
        case Kind::Hz:
            AppendDecodedHz(bytes, out);
            return;
    }
}

std::string TCodePage::DecodeToUtf8(std::string_view bytes) const {
    std::string out;
    AppendDecodedUtf8(bytes, out);
    return out;
}

void TCodePage::AppendDecoded(std::string_view bytes, WideString& out) const {
    switch (kind_) {
        case Kind::Utf8:
            AppendUtf8AsUtf16(bytes, out);
            return;
        case Kind::Utf16Le:
        case Kind::Utf16Be:
            out.reserve(out.size() + bytes.size() / 2 + 1);
            DecodeUtf16(bytes, kind_ == Kind::Utf16Be, [&](char32_t code) { AppendCodePoint(code, out); });
            return;
        case Kind::SingleByte: {
            const TSingleByteTables& t = *tables_;
            out.reserve(out.size() + bytes.size());
            for (unsigned char b : bytes) out.push_back(t.ToUnicode[b]);
            return;
        }
        case Kind::MultiByte:
        case Kind::Hz:
            // Through UTF-8, which is always well-formed here, so both decodings agree.
            AppendUtf8AsUtf16(DecodeToUtf8(bytes), out);
            return;
    }
}

WideString TCodePage::Decode(std::string_view bytes) const {
    WideString out;
    AppendDecoded(bytes, out);
    return out;
}

// ---- Encoding ----

bool TCodePage::AppendEncodedMultiByte(char32_t code, std::string& out) const {
    std::lock_guard lock(iconv_->Mutex);
    const TIconv& encoder = iconv_->OpenEncoder();
    if (!encoder.Valid()) return false;
    encoder.Reset();
    char* inPtr = reinterpret_cast<char*>(&code);
    size_t inLeft = sizeof code;
    char bytes[32];
    char* outPtr = bytes;
    size_t outLeft = sizeof bytes;
    // A result above 0 counts characters converted "irreversibly", to something else.
    if (::iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) != 0 || inLeft != 0) {
        encoder.Reset();
        return false;
    }
    // Return to the initial shift state, as a stateful encoding's reader expects after a character.
    if (::iconv(encoder.Get(), nullptr, nullptr, &outPtr, &outLeft) == kFailed) {
        encoder.Reset();
        return false;
    }
    out.append(bytes, sizeof bytes - outLeft);
    return true;
}

bool TCodePage::AppendEncodedHz(char32_t code, std::string& out) const {
    if (code < 0x80) {
        if (code == '~') out.push_back('~');
        out.push_back(char(code));
        return true;
    }
    std::string gb;
    if (!AppendEncodedMultiByte(code, gb)) return false;
    if (gb.size() != 2) return false;
    const auto b1 = static_cast<unsigned char>(gb[0]), b2 = static_cast<unsigned char>(gb[1]);
    if (b1 < 0xA1 || b1 > 0xFE || b2 < 0xA1 || b2 > 0xFE) return false;
    out += "~{";
    out.push_back(char(b1 & 0x7F));
    out.push_back(char(b2 & 0x7F));
    out += "~}";
    return true;
}

bool TCodePage::AppendEncoded(char32_t code, std::string& out) const {
    if (!IsCharacter(code)) return false;
    if (code < 0x80 && asciiCompatible_ && kind_ != Kind::Hz) {
        out.push_back(char(code));
        return true;
    }
    switch (kind_) {
        case Kind::Utf8:
            AppendCodePointUtf8(code, out);
            return true;
        case Kind::Utf16Le:
        case Kind::Utf16Be: {
            const bool bigEndian = kind_ == Kind::Utf16Be;
            if (code >= 0x10000) {
                AppendUtf16Unit(0xD800 + ((code - 0x10000) >> 10), bigEndian, out);
                AppendUtf16Unit(0xDC00 + ((code - 0x10000) & 0x3FF), bigEndian, out);
            } else {
                AppendUtf16Unit(code, bigEndian, out);
            }
            return true;
        }
        case Kind::SingleByte: {
            if (code > 0xFFFF) return false;
            const auto& map = tables_->DefinedFromUnicode;
            auto found = map.find(char16_t(code));
            if (found == map.end()) return false;
            out.push_back(char(found->second));
            return true;
        }
        case Kind::MultiByte:
            return AppendEncodedMultiByte(code, out);
        case Kind::Hz:
            return AppendEncodedHz(code, out);
    }
    return false;
}

std::string TCodePage::Encode(std::u16string_view text) const {
    switch (kind_) {
        case Kind::Utf8:
            return Utf16ToUtf8(text);
        case Kind::SingleByte: {
            std::string out;
            out.reserve(text.size());
            for (char16_t c : text) {
                auto found = tables_->FromUnicode.find(c);
                out.push_back(found == tables_->FromUnicode.end() ? '?' : char(found->second));
            }
            return out;
        }
        case Kind::Utf16Le:
        case Kind::Utf16Be:
        case Kind::Hz: {
            std::string out;
            for (size_t i = 0; i < text.size(); ++i) {
                char32_t code = text[i];
                if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                    ++i;
                }
                if (!AppendEncoded(code, out)) out.push_back('?');
            }
            return out;
        }
        case Kind::MultiByte:
            break;
    }
    std::lock_guard lock(iconv_->Mutex);
    const TIconv& encoder = iconv_->OpenEncoder();
    if (!encoder.Valid()) return Utf16ToUtf8(text);
    encoder.Reset();
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        char* inPtr = reinterpret_cast<char*>(&code);
        size_t inLeft = sizeof code;
        char bytes[16];
        char* outPtr = bytes;
        size_t outLeft = sizeof bytes;
        if (::iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == kFailed) {
            // A "?" in its place, written through the converter so that a stateful encoding
            // shifts back to ASCII for it.
            char32_t question = U'?';
            inPtr = reinterpret_cast<char*>(&question);
            inLeft = sizeof question;
            outPtr = bytes;
            outLeft = sizeof bytes;
            if (::iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == kFailed) {
                encoder.Reset();
                out.push_back('?');
                continue;
            }
        }
        out.append(bytes, sizeof bytes - outLeft);
    }
    // Return to the initial shift state for stateful encodings.
    char tail[16];
    char* outPtr = tail;
    size_t outLeft = sizeof tail;
    ::iconv(encoder.Get(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(tail, sizeof tail - outLeft);
    return out;
}

}  // namespace quarvel
