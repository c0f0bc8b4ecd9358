#include "platform/CodePage.h"

#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <vector>

#include "platform/Text.h"

namespace quarvel {

namespace {

// An iconv descriptor released when the scope ends.
class TIconv {
public:
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
    iconv_t cd_;
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

}  // namespace

TCodePage::TCodePage() = default;

TCodePage TCodePage::ForCodeset(const std::string& codeset) {
    TCodePage page;
    if (codeset.empty() || SameName(codeset, "UTF-8") || SameName(codeset, "UTF8") ||
        SameName(codeset, "ANSI_X3.4-1968") || SameName(codeset, "ASCII") ||
        SameName(codeset, "US-ASCII")) {
        return page;
    }
    TIconv decoder("UTF-32LE", codeset.c_str());
    if (!decoder.Valid()) return page;

    // Decode every byte alone: if each one is a whole character (or invalid), the codeset is
    // single-byte and a table does the work; a byte that starts a longer sequence means multi-byte.
    bool singleByte = true;
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256 && singleByte; ++b) {
        decoder.Reset();
        char in = char(b);
        char* inPtr = &in;
        size_t inLeft = 1;
        char32_t outChar = 0;
        char* outPtr = reinterpret_cast<char*>(&outChar);
        size_t outLeft = sizeof outChar;
        size_t result = ::iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (result == static_cast<size_t>(-1) && errno == EINVAL) {
            singleByte = false;
        } else if (result == static_cast<size_t>(-1) || outLeft != 0 || outChar > 0xFFFF) {
            table[b] = Windows1252ToUnicode(static_cast<unsigned char>(b));
        } else {
            table[b] = char16_t(outChar);
        }
    }
    page.name_ = codeset;
    if (singleByte) {
        page.kind_ = Kind::SingleByte;
        page.toUnicode_ = table;
        for (int b = 255; b >= 0; --b) page.fromUnicode_[table[b]] = static_cast<unsigned char>(b);
    } else {
        page.kind_ = Kind::MultiByte;
    }
    return page;
}

TCodePage TCodePage::FromProcessLocale() {
    const char* codeset = ::nl_langinfo(CODESET);
    return ForCodeset(codeset ? codeset : "");
}

void TCodePage::AppendDecoded(std::string_view bytes, WideString& out) const {
    switch (kind_) {
        case Kind::Utf8:
            AppendUtf8AsUtf16(bytes, out);
            return;
        case Kind::SingleByte:
            out.reserve(out.size() + bytes.size());
            for (unsigned char b : bytes) out.push_back(toUnicode_[b]);
            return;
        case Kind::MultiByte:
            break;
    }
    TIconv decoder("UTF-32LE", name_.c_str());
    if (!decoder.Valid()) {
        AppendUtf8AsUtf16(bytes, out);
        return;
    }
    std::vector<char32_t> buffer(4096);
    char* inPtr = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer.data());
        size_t outLeft = buffer.size() * sizeof(char32_t);
        size_t result = ::iconv(decoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft);
        int error = result == static_cast<size_t>(-1) ? errno : 0;
        size_t produced = (buffer.size() * sizeof(char32_t) - outLeft) / sizeof(char32_t);
        for (size_t k = 0; k < produced; ++k) AppendCodePoint(buffer[k], out);
        if (error == EILSEQ || error == EINVAL) {
            // Keep the undecodable byte as its Windows-1252 character and go on after it.
            out.push_back(Windows1252ToUnicode(static_cast<unsigned char>(*inPtr)));
            ++inPtr;
            --inLeft;
            decoder.Reset();
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
}

WideString TCodePage::Decode(std::string_view bytes) const {
    WideString out;
    AppendDecoded(bytes, out);
    return out;
}

bool TCodePage::AppendEncoded(char32_t code, std::string& out) const {
    WideString text;
    AppendCodePoint(code, text);
    switch (kind_) {
        case Kind::Utf8:
            AppendUtf16AsUtf8(text, out);
            return true;
        case Kind::SingleByte: {
            if (text.size() != 1) return false;
            auto found = fromUnicode_.find(text[0]);
            if (found == fromUnicode_.end()) return false;
            out.push_back(char(found->second));
            return true;
        }
        case Kind::MultiByte:
            break;
    }
    std::string bytes = Encode(text);
    if (code != U'?' && bytes.find('?') != std::string::npos) return false;
    out += bytes;
    return true;
}

std::string TCodePage::Encode(std::u16string_view text) const {
    switch (kind_) {
        case Kind::Utf8:
            return Utf16ToUtf8(text);
        case Kind::SingleByte: {
            std::string out;
            out.reserve(text.size());
            for (char16_t c : text) {
                auto found = fromUnicode_.find(c);
                out.push_back(found == fromUnicode_.end() ? '?' : char(found->second));
            }
            return out;
        }
        case Kind::MultiByte:
            break;
    }
    TIconv encoder(name_.c_str(), "UTF-32LE");
    if (!encoder.Valid()) return Utf16ToUtf8(text);
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
        if (::iconv(encoder.Get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            encoder.Reset();
            out.push_back('?');
        } else {
            out.append(bytes, sizeof bytes - outLeft);
        }
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
