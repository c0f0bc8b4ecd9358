#include "platform/Text.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarvel {

namespace {

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Widens the run of ASCII bytes at the start of [p, p + n) into w; returns its length. Blocks of
// 16 (8 without SSE2) bytes at a time; the rest of the run is left to the caller's loop.
inline size_t WidenAscii(const unsigned char* p, size_t n, char16_t* w) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(bytes) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i + 8), _mm_unpackhi_epi8(bytes, zero));
    }
#else
    for (; i + 8 <= n; i += 8) {
        uint64_t bytes;
        std::memcpy(&bytes, p + i, 8);
        if (bytes & 0x8080808080808080ull) break;
        for (size_t k = 0; k < 8; ++k) w[i + k] = p[i + k];
    }
#endif
    return i;
}

// Length of the well-formed UTF-8 sequence starting at p (at most `left` bytes), or 0.
// Follows the table of well-formed byte sequences of the Unicode standard.
inline size_t WellFormedLength(const unsigned char* p, size_t left, char32_t& code) {
    unsigned char b0 = p[0];
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (left < 2 || (p[1] & 0xC0) != 0x80) return 0;
        code = (char32_t(b0 & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 3) return 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;  // no encoded surrogates
        if (p[1] < lo || p[1] > hi || (p[2] & 0xC0) != 0x80) return 0;
        code = (char32_t(b0 & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 4) return 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
        if (p[1] < lo || p[1] > hi || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return 0;
        code = (char32_t(b0 & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
               (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

}  // namespace

char16_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
    return byte;
}

void AppendUtf8AsUtf16(std::string_view bytes, WideString& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    size_t start = out.size();
    out.resize(start + n);  // never more units than bytes
    char16_t* w = out.data() + start;
    size_t i = 0;
    while (i < n) {
        unsigned char b = p[i];
        if (b < 0x80) {
            const size_t run = WidenAscii(p + i, n - i, w);
            if (run > 0) {
                i += run;
                w += run;
                continue;
            }
            *w++ = b;
            ++i;
            continue;
        }
        char32_t code = 0;
        size_t length = WellFormedLength(p + i, n - i, code);
        if (length == 0) {
            *w++ = Windows1252ToUnicode(b);
            ++i;
        } else if (code >= 0x10000) {
            code -= 0x10000;
            *w++ = char16_t(0xD800 + (code >> 10));
            *w++ = char16_t(0xDC00 + (code & 0x3FF));
            i += length;
        } else {
            *w++ = char16_t(code);
            i += length;
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
}

size_t FindUnit(std::u16string_view text, char16_t unit, size_t from) {
    const char16_t* p = text.data();
    const size_t n = text.size();
    size_t i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted));
        if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits))) / 2;
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == unit) return i;
    }
    return std::u16string_view::npos;
}

size_t CountUnit(std::u16string_view text, char16_t unit, size_t from) {
    const char16_t* p = text.data();
    const size_t n = text.size();
    size_t i = from, count = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(unit));
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        count += static_cast<size_t>(__builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted))))) / 2;
    }
#endif
    for (; i < n; ++i) count += p[i] == unit;
    return count;
}

WideString Utf8ToUtf16(std::string_view bytes) {
    WideString out;
    AppendUtf8AsUtf16(bytes, out);
    return out;
}

void AppendRepairedUtf8(std::string_view bytes, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t runStart = 0;  // start of the well-formed bytes not yet copied
    size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        while (i + 16 <= n &&
               _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0) {
            i += 16;
        }
#endif
        if (i >= n) break;
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t code = 0;
        const size_t length = WellFormedLength(p + i, n - i, code);
        if (length > 0) {
            i += length;
            continue;
        }
        out.append(bytes.data() + runStart, i - runStart);
        AppendCodePointUtf8(Windows1252ToUnicode(p[i]), out);
        ++i;
        runStart = i;
    }
    out.append(bytes.data() + runStart, n - runStart);
}

void AppendCodePointUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xC0 | (code >> 6)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

void AppendUtf16AsUtf8(std::u16string_view text, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDFFF) {
            if (code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else {
                code = 0xFFFD;
            }
        }
        AppendCodePointUtf8(code, out);
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf16AsUtf8(text, out);
    return out;
}

}  // namespace quarvel
