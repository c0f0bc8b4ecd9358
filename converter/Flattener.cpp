// The HTML table flattener: a single pass over the page's bytes that drops tags, turns table rows,
// paragraphs, captions, titles and line-break tags into lines and table cells into fields, records
// the areas to merge, and then widens the lines so that spanned cells keep their columns.
//
// The page is read as a browser reads it where that decides what text a user sees: tag names in
// any letter case and only as whole names, every character reference decoded, whitespace collapsed
// to single blanks, comments, scripts and styles skipped, cells and rows ended by the next cell or
// row when their end tags are left out.
#include <algorithm>
#include <array>
#include <cstring>

#include "converter/Converter.h"
#include "platform/Memory.h"
#include "platform/Text.h"

namespace quarvel {

namespace {

// The named character references that end with ";", sorted by name.
struct TNamedReference {
    const char* Name;
    char32_t First;
    char32_t Second;
};
constexpr TNamedReference kNamedReferences[] = {
#include "converter/HtmlEntities.inc"
};
constexpr size_t kLongestReferenceName = [] {
    size_t longest = 0;
    for (const TNamedReference& reference : kNamedReferences) {
        longest = std::max(longest, std::char_traits<char>::length(reference.Name));
    }
    return longest;
}();

// Browsers cap spans at these values; larger ones would only make the span expansion write
// millions of dividers.
constexpr int32_t kMaxColSpan = 1000;
constexpr int32_t kMaxRowSpan = 65534;

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kNoBreakSpace = 0xA0;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Whitespace of page text: every one counts as a blank.
bool IsPageBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// A tag name ends at whitespace, "/" or ">".
bool EndsTagName(char c) { return IsPageBlank(c) || c == '/' || c == '>'; }

// What may follow "<" for it to start a tag; after any other byte it is text ("a < b").
bool StartsTag(char c) { return IsAsciiLetter(c) || c == '/' || c == '!' || c == '?'; }

bool SameNameIgnoringCase(std::string_view text, std::string_view lowerName) {
    if (text.size() != lowerName.size()) return false;
    for (size_t k = 0; k < text.size(); ++k) {
        if (AsciiLower(text[k]) != lowerName[k]) return false;
    }
    return true;
}

// The tags the flattener acts on; every other tag is dropped without effect.
enum class TTag { Other, Script, Style, Td, Th, Tr, Table, THead, TBody, TFoot, P, Caption, Title, Br, Hr, Img, Pre };

TTag TagNamed(std::string_view name) {
    struct TName {
        std::string_view Name;
        TTag Tag;
    };
    static constexpr TName kNames[] = {
        {"td", TTag::Td},       {"th", TTag::Th},       {"tr", TTag::Tr},           {"p", TTag::P},
        {"br", TTag::Br},       {"hr", TTag::Hr},       {"img", TTag::Img},         {"pre", TTag::Pre},
        {"table", TTag::Table}, {"thead", TTag::THead}, {"tbody", TTag::TBody},     {"tfoot", TTag::TFoot},
        {"title", TTag::Title}, {"style", TTag::Style}, {"script", TTag::Script},   {"caption", TTag::Caption},
    };
    if (name.empty() || name.size() > 7) return TTag::Other;
    for (const TName& known : kNames) {
        if (SameNameIgnoringCase(name, known.Name)) return known.Tag;
    }
    return TTag::Other;
}

// A numeric reference's value as a browser takes it: zero, surrogates and values past U+10FFFF
// are the replacement character, and 0x80 to 0x9F the Windows-1252 characters of those bytes.
char32_t NumericReferenceValue(uint64_t value, bool overflow) {
    if (overflow || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return kReplacementCharacter;
    }
    if (value >= 0x80 && value <= 0x9F) return Windows1252ToUnicode(static_cast<unsigned char>(value));
    return static_cast<char32_t>(value);
}

// The character reference that starts with the "&" at `at`: its length (0 when there is none) and
// the one or two characters it stands for (second 0 when one). A reference ends with ";".
size_t ReadReference(std::string_view text, size_t at, char32_t& first, char32_t& second) {
    const size_t n = text.size();
    size_t i = at + 1;
    second = 0;
    if (i < n && text[i] == '#') {
        ++i;
        const bool hex = i < n && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        const size_t digitsStart = i;
        uint64_t value = 0;
        bool overflow = false;
        for (; i < n && (hex ? IsHexDigit(text[i]) : IsDigit(text[i])); ++i) {
            const char c = text[i];
            const unsigned digit = IsDigit(c) ? unsigned(c - '0') : unsigned(AsciiLower(c) - 'a' + 10);
            value = value * (hex ? 16 : 10) + digit;
            if (value > 0x10FFFF) {
                overflow = true;
                value = 0x110000;
            }
        }
        if (i == digitsStart || i >= n || text[i] != ';') return 0;
        first = NumericReferenceValue(value, overflow);
        return i + 1 - at;
    }
    const size_t nameStart = i;
    while (i < n && i - nameStart <= kLongestReferenceName && (IsAsciiLetter(text[i]) || IsDigit(text[i]))) ++i;
    if (i == nameStart || i - nameStart > kLongestReferenceName || i >= n || text[i] != ';') return 0;
    const std::string_view name = text.substr(nameStart, i - nameStart);
    const TNamedReference* end = std::end(kNamedReferences);
    const TNamedReference* found = std::lower_bound(
        std::begin(kNamedReferences), end, name,
        [](const TNamedReference& reference, std::string_view key) { return std::string_view(reference.Name) < key; });
    if (found == end || std::string_view(found->Name) != name) return 0;
    first = found->First;
    second = found->Second;
    return i + 1 - at;
}

// Appends one character in the code page's bytes; false, appending nothing, when the code page
// cannot hold it.
bool AppendInCodePage(const TCodePage& codePage, char32_t code, std::string& out) {
    return codePage.AppendEncoded(code, out);
}

// Calls f(name, value) for every attribute of a tag's text (what follows the tag's name, up to
// its ">"): names in any case, values quoted in double or single quotes or unquoted up to the
// next blank.
template <class F>
void ForEachAttribute(std::string_view text, F&& f) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        while (i < n && (IsPageBlank(text[i]) || text[i] == '/')) ++i;
        const size_t nameStart = i;
        // An "=" that opens a name belongs to it, as browsers read it.
        if (i < n && text[i] == '=') ++i;
        while (i < n && !IsPageBlank(text[i]) && text[i] != '/' && text[i] != '=') ++i;
        const std::string_view name = text.substr(nameStart, i - nameStart);
        while (i < n && IsPageBlank(text[i])) ++i;
        std::string_view value;
        if (i < n && text[i] == '=') {
            ++i;
            while (i < n && IsPageBlank(text[i])) ++i;
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i++];
                size_t end = text.find(quote, i);
                if (end == std::string_view::npos) end = n;
                value = text.substr(i, end - i);
                i = end == n ? n : end + 1;
            } else {
                const size_t valueStart = i;
                while (i < n && !IsPageBlank(text[i])) ++i;
                value = text.substr(valueStart, i - valueStart);
            }
        }
        if (name.empty()) {
            if (i < n) ++i;
            continue;
        }
        if (f(name, value)) return;
    }
}

// The value of the first attribute of that (lower-case) name, and whether there is one.
bool FindAttribute(std::string_view tagText, std::string_view lowerName, std::string_view& value) {
    bool found = false;
    ForEachAttribute(tagText, [&](std::string_view name, std::string_view attributeValue) {
        if (!SameNameIgnoringCase(name, lowerName)) return false;
        value = attributeValue;
        found = true;
        return true;
    });
    return found;
}

// A colspan or rowspan value read as browsers read it: blanks, an optional "+", digits, and
// anything after the digits ignored; no number, 0 or a negative number give 1, and the value is
// capped.
int32_t SpanValue(std::string_view value, int32_t cap) {
    size_t i = 0;
    while (i < value.size() && IsPageBlank(value[i])) ++i;
    if (i < value.size() && value[i] == '+') ++i;
    int64_t number = 0;
    bool digits = false;
    for (; i < value.size() && IsDigit(value[i]); ++i) {
        digits = true;
        number = std::min<int64_t>(number * 10 + (value[i] - '0'), cap);
    }
    if (!digits || number < 1) return 1;
    return static_cast<int32_t>(number);
}

// Bytes that end a run of plain text: a tag, a reference, whitespace.
constexpr auto kSpecial = [] {
    std::array<bool, 256> special{};
    for (unsigned char c : {'<', '&', ' ', '\t', '\n', '\r', '\f'}) special[c] = true;
    return special;
}();

// One run of the scanner over a page.
class THtmlScanner {
public:
    THtmlScanner(std::string_view page, const TConversionSettings& settings, const TCodePage& codePage,
                 std::vector<TSpanRecord>& spans, std::vector<TExcelColor>& lineColors)
        : page_(page),
          n_(page.size()),
          codePage_(codePage),
          divider_(static_cast<char>(DividerByte(settings))),
          borderIndex_(ColorToExcelColor(settings.BorderColor)),
          tablesOnly_(settings.TablesOnly),
          spans_(spans),
          lineColors_(lineColors) {
        spans_.clear();
        lineColors_.assign(1, xc0);
        levels_.push_back({});
    }

    // The header line goes first, in the bytes it is given.
    void Header(std::string_view header) {
        if (header.empty()) return;
        out_.assign(header);
        out_ += "\r\n";
        spans_.push_back({1, 1, -1, 1});
        lineColors_[0] = xcWhite;
        NextLine();
    }

    std::string Run() {
        out_.reserve(out_.size() + page_.size());
        AdviseHugePages(out_.data(), out_.capacity());
        const char* p = page_.data();
        size_t i = 0;
        while (i < n_) {
            const char c = p[i];
            if (c == '<' && i + 1 < n_ && StartsTag(p[i + 1])) {
                i = Tag(i);
            } else if (!Copying()) {
                ++i;
            } else if (IsPageBlank(c)) {
                i = Whitespace(i);
            } else if (c == '&') {
                i = Reference(i);
            } else {
                // A run of plain text up to the next byte that needs a look.
                size_t end = i + 1;
                while (end < n_ && !kSpecial[static_cast<unsigned char>(p[end])]) ++end;
                out_.append(p + i, end - i);
                textStarted_ = true;
                i = end;
            }
        }
        // Blanks the last line ends with are not shown either.
        TrimBlanks();
        return std::move(out_);
    }

private:
    // What each table level (and the page outside any table, level 0) has open.
    struct TLevel {
        bool CellOpen = false;
        bool RowOpen = false;
    };

    enum class TLineEnd { Row, Paragraph, Caption, Title };

    TLevel& Level() { return levels_.back(); }
    bool InTable() const { return levels_.size() > 1; }
    bool InCell() const { return levels_.back().CellOpen; }
    // Text is copied once the first tag has closed; with "tables only", inside tables alone.
    bool Copying() const { return started_ && (!tablesOnly_ || InTable()); }
    // Line and field structure outside tables counts only without "tables only".
    bool Structural() const { return !tablesOnly_ || InTable(); }

    void NextLine() {
        ++line_;
        lineColors_.resize(static_cast<size_t>(line_), xc0);
    }

    void SetLineColor(TExcelColor color) { lineColors_[static_cast<size_t>(line_) - 1] = color; }

    void TrimBlanks() {
        while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    }

    // One blank between words: none at the start of a field or line and none after a blank.
    void CollapsibleBlank() {
        if (!textStarted_ || out_.empty()) return;
        const char last = out_.back();
        if (last != ' ' && last != divider_ && last != '\n') out_.push_back(' ');
    }

    size_t Whitespace(size_t i) {
        const char c = page_[i];
        if (preDepth_ == 0) {
            CollapsibleBlank();
            return i + 1;
        }
        // Inside <pre> blanks are kept and a line break ends the line, except the one right after
        // the start tag, which belongs to it.
        if (c != '\n' && c != '\r') {
            out_.push_back(' ');
            return i + 1;
        }
        size_t next = i + 1;
        if (c == '\r' && next < n_ && page_[next] == '\n') ++next;
        if (i == preStart_) return next;
        if (InCell()) {
            CollapsibleBlank();
        } else {
            BreakLine();
        }
        return next;
    }

    size_t Reference(size_t i) {
        char32_t first = 0, second = 0;
        const size_t length = ReadReference(page_, i, first, second);
        if (length == 0) {
            out_.push_back('&');
            textStarted_ = true;
            return i + 1;
        }
        DecodedText(first, second, page_.substr(i, length));
        return i + length;
    }

    // A decoded reference: a no-break space is a blank, dropped where it would open a field or a
    // line; whitespace is whitespace; every other character is written in the page's code page,
    // or as the reference was written when the code page cannot hold it.
    void DecodedText(char32_t first, char32_t second, std::string_view written) {
        if (second == 0 && first == kNoBreakSpace) {
            out_.push_back(' ');
            size_t blanks = 0;
            while (blanks < out_.size() && out_[out_.size() - 1 - blanks] == ' ') ++blanks;
            const bool whole = blanks == out_.size();
            const char before = whole ? '\0' : out_[out_.size() - 1 - blanks];
            if (whole || before == divider_ || before == '\n') {
                out_.resize(out_.size() - blanks);
            } else {
                textStarted_ = true;
            }
            return;
        }
        if (second == 0 && first < 0x80 && IsPageBlank(static_cast<char>(first))) {
            if (preDepth_ > 0) {
                out_.push_back(' ');
            } else {
                CollapsibleBlank();
            }
            return;
        }
        const size_t mark = out_.size();
        if (!AppendInCodePage(codePage_, first, out_) || (second != 0 && !AppendInCodePage(codePage_, second, out_))) {
            out_.resize(mark);
            out_.append(written);
        }
        textStarted_ = true;
    }

    // Handles the tag whose "<" is at index i; returns the index after it.
    size_t Tag(size_t i) {
        const char* p = page_.data();
        size_t j = i + 1;
        if (p[j] == '!' && j + 2 < n_ && p[j + 1] == '-' && p[j + 2] == '-') return Comment(i);
        const bool closing = p[j] == '/';
        if (closing) ++j;
        const size_t nameStart = j;
        while (j < n_ && !EndsTagName(p[j])) ++j;
        const TTag tag = TagNamed(page_.substr(nameStart, j - nameStart));
        const void* found = std::memchr(p + j, '>', n_ - j);
        // An unterminated tag ends the scan.
        if (!found) return n_;
        const size_t g = static_cast<size_t>(static_cast<const char*>(found) - p);
        started_ = true;
        if (!closing && (tag == TTag::Script || tag == TTag::Style)) {
            return SkipRawText(g + 1, tag == TTag::Script ? "script" : "style");
        }
        const std::string_view attributes = page_.substr(j, g - j);
        switch (tag) {
            case TTag::Td:
            case TTag::Th:
                if (!Structural()) break;
                if (closing) {
                    EndField();
                    Level().CellOpen = false;
                } else {
                    // A cell whose end tag was left out ends where the next one starts.
                    if (Level().CellOpen) EndField();
                    Level().CellOpen = true;
                    Level().RowOpen = true;
                    SpanAttributes(attributes);
                }
                break;
            case TTag::Tr:
                if (!Structural()) break;
                if (closing) {
                    EndLine(TLineEnd::Row);
                    Level() = TLevel{};
                } else {
                    EndOpenRow();
                    Level().RowOpen = true;
                }
                break;
            case TTag::THead:
            case TTag::TBody:
            case TTag::TFoot:
                if (Structural()) EndOpenRow();
                break;
            case TTag::Table:
                if (!closing) {
                    levels_.push_back({});
                } else if (InTable()) {
                    EndOpenRow();
                    levels_.pop_back();
                }
                break;
            case TTag::P:
                if (closing && Structural()) {
                    // A paragraph inside a cell is part of the cell: the row stays one line.
                    if (InCell()) {
                        CollapsibleBlank();
                    } else {
                        EndLine(TLineEnd::Paragraph);
                    }
                }
                break;
            case TTag::Caption:
                if (closing && Structural()) EndLine(TLineEnd::Caption);
                break;
            case TTag::Title:
                if (closing && Structural()) EndLine(TLineEnd::Title);
                break;
            case TTag::Br:
            case TTag::Hr:
                if (!Structural()) break;
                if (InCell()) {
                    CollapsibleBlank();
                } else {
                    BreakLine();
                }
                break;
            case TTag::Img:
                if (!closing && Copying()) AltText(attributes);
                break;
            case TTag::Pre:
                if (!closing) {
                    ++preDepth_;
                    preStart_ = g + 1;
                } else if (preDepth_ > 0) {
                    --preDepth_;
                    if (Structural() && !InCell() && !out_.empty() && out_.back() != '\n') EndLine(TLineEnd::Paragraph);
                }
                break;
            case TTag::Script:
            case TTag::Style:
            case TTag::Other:
                break;
        }
        return g + 1;
    }

    // A comment runs from "<!--" to "-->" ("<!-->" and "<!--->" are empty ones); without an end
    // it runs to the end of the page.
    size_t Comment(size_t i) {
        started_ = true;
        const size_t body = i + 4;
        if (body < n_ && page_[body] == '>') return body + 1;
        if (body + 1 < n_ && page_[body] == '-' && page_[body + 1] == '>') return body + 2;
        const size_t end = page_.find("-->", body);
        return end == std::string_view::npos ? n_ : end + 3;
    }

    // Skips the text of a script or style element, from `from` to the end of its end tag (the name
    // in any case, followed by whitespace, "/" or ">"); without one, the rest of the page.
    size_t SkipRawText(size_t from, std::string_view lowerName) {
        for (size_t k = from; k + 2 + lowerName.size() <= n_; ++k) {
            const void* found = std::memchr(page_.data() + k, '<', n_ - k);
            if (!found) break;
            k = static_cast<size_t>(static_cast<const char*>(found) - page_.data());
            if (k + 2 + lowerName.size() > n_ || page_[k + 1] != '/') continue;
            const size_t after = k + 2 + lowerName.size();
            if (!SameNameIgnoringCase(page_.substr(k + 2, lowerName.size()), lowerName)) continue;
            if (after < n_ && !EndsTagName(page_[after])) continue;
            const void* close = std::memchr(page_.data() + after, '>', n_ - after);
            return close ? static_cast<size_t>(static_cast<const char*>(close) - page_.data()) + 1 : n_;
        }
        return n_;
    }

    void EndField() {
        TrimBlanks();
        out_.push_back(divider_);
        textStarted_ = false;
        ++col_;
    }

    // A row whose end tag was left out ends where the next row, row group or the table starts.
    void EndOpenRow() {
        TLevel& level = Level();
        if (!level.RowOpen && !level.CellOpen) return;
        if (level.CellOpen) EndField();
        EndLine(TLineEnd::Row);
        level = TLevel{};
    }

    void EndLine(TLineEnd kind) {
        if (kind == TLineEnd::Caption) spans_.push_back({col_, line_, 0, line_});
        TrimBlanks();
        if (!out_.empty() && out_.back() == divider_) {
            out_.back() = '\r';
            out_.push_back('\n');
        } else {
            out_ += "\r\n";
        }
        SetLineColor(kind == TLineEnd::Row ? borderIndex_ : xcWhite);
        NextLine();
        if (kind == TLineEnd::Title) {
            out_ += "\r\n";
            SetLineColor(xcWhite);
            NextLine();
        }
        col_ = 1;
        textStarted_ = false;
    }

    // A line break outside a cell (br, hr, a line of <pre>): a line without borders.
    void BreakLine() {
        TrimBlanks();
        out_ += "\r\n";
        SetLineColor(xcWhite);
        NextLine();
        col_ = 1;
    }

    void SpanAttributes(std::string_view tag) {
        std::string_view value;
        const int32_t colExtra = FindAttribute(tag, "colspan", value) ? SpanValue(value, kMaxColSpan) - 1 : 0;
        const int32_t rowExtra = FindAttribute(tag, "rowspan", value) ? SpanValue(value, kMaxRowSpan) - 1 : 0;
        if (colExtra <= 0 && rowExtra <= 0) return;
        spans_.push_back({col_, line_, col_ + colExtra, line_ + rowExtra});
        col_ += colExtra;
    }

    // The whole alt text of an image, its references decoded and its whitespace single blanks.
    void AltText(std::string_view tag) {
        std::string_view value;
        if (!FindAttribute(tag, "alt", value)) return;
        std::string text;
        for (size_t i = 0; i < value.size();) {
            const char c = value[i];
            char32_t first = 0, second = 0;
            const size_t length = c == '&' ? ReadReference(value, i, first, second) : 0;
            const bool blank = length > 0 ? second == 0 && (first == kNoBreakSpace || (first < 0x80 && IsPageBlank(char(first))))
                                          : IsPageBlank(c);
            if (blank) {
                if (!text.empty() && text.back() != ' ') text.push_back(' ');
            } else if (length > 0) {
                const size_t mark = text.size();
                if (!AppendInCodePage(codePage_, first, text) || (second != 0 && !AppendInCodePage(codePage_, second, text))) {
                    text.resize(mark);
                    text.append(value.substr(i, length));
                }
            } else {
                text.push_back(c);
            }
            i += length > 0 ? length : 1;
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (text.empty()) return;
        out_ += text;
        // The picture stands where its text is: a blank after it separates the next word.
        textStarted_ = true;
    }

    std::string_view page_;
    size_t n_;
    const TCodePage& codePage_;
    char divider_;
    TExcelColor borderIndex_;
    bool tablesOnly_;
    std::vector<TSpanRecord>& spans_;
    std::vector<TExcelColor>& lineColors_;
    std::vector<TLevel> levels_;
    std::string out_;
    bool started_ = false;
    bool textStarted_ = false;
    int preDepth_ = 0;
    size_t preStart_ = SIZE_MAX;
    int32_t col_ = 1;
    int32_t line_ = 1;
};

// One line's fields while spans widen it: runs of fields, each either one field of the line or a
// number of empty fields put in.
class TWidenedLine {
public:
    void Reset(std::string_view line, char divider) {
        runs_.clear();
        fields_ = 0;
        size_t start = 0;
        for (;;) {
            const size_t end = line.find(divider, start);
            if (end == std::string_view::npos) {
                Add(line.substr(start));
                break;
            }
            Add(line.substr(start, end - start));
            start = end + 1;
        }
        cursorRun_ = 0;
        cursorField_ = 0;
    }

    size_t Fields() const { return fields_; }

    // Puts `count` empty fields before (after = false) or after field k (k < Fields()). Empty
    // fields next to empty ones join their run.
    void InsertEmpty(size_t k, size_t count, bool after) {
        const size_t run = Find(k);
        fields_ += count;
        if (runs_[run].Empty > 0) {
            runs_[run].Empty += count;
        } else if (after && run + 1 < runs_.size() && runs_[run + 1].Empty > 0) {
            runs_[run + 1].Empty += count;
        } else if (!after && run > 0 && runs_[run - 1].Empty > 0) {
            runs_[run - 1].Empty += count;
            cursorField_ += count;  // the cursor's run now starts later
        } else {
            // A new run before the field takes the field's place as the cursor's run.
            runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(after ? run + 1 : run), TRun{{}, count});
        }
    }

    void AppendTo(std::string& out, char divider) const {
        bool first = true;
        for (const TRun& run : runs_) {
            if (run.Empty > 0) {
                out.append(first ? run.Empty - 1 : run.Empty, divider);
            } else {
                if (!first) out.push_back(divider);
                out.append(run.Text);
            }
            first = false;
        }
    }

private:
    struct TRun {
        std::string_view Text;
        size_t Empty;  // > 0: this many empty fields put in; 0: the one field Text
    };

    void Add(std::string_view field) {
        runs_.push_back({field, 0});
        ++fields_;
    }

    // The run that holds field k. Spans of one source line come left to right, so the search
    // goes on from where the last one ended when it can.
    size_t Find(size_t k) {
        if (k < cursorField_) {
            cursorRun_ = 0;
            cursorField_ = 0;
        }
        for (;;) {
            const size_t width = runs_[cursorRun_].Empty > 0 ? runs_[cursorRun_].Empty : 1;
            if (k < cursorField_ + width) return cursorRun_;
            cursorField_ += width;
            ++cursorRun_;
        }
    }

    std::vector<TRun> runs_;
    size_t fields_ = 0;
    size_t cursorRun_ = 0;
    size_t cursorField_ = 0;  // the first field of cursorRun_
};

}  // namespace

// One pass over the lines applies, to each, every span that covers it, in the spans' order.
void ExpandSpans(const std::vector<std::string_view>& lines, const std::vector<TSpanRecord>& spans, char divider,
                 std::string& result) {
    std::vector<const TSpanRecord*> cells;
    for (const TSpanRecord& span : spans) {
        if (span.Col2 > 0) cells.push_back(&span);
    }
    // Spans are found line by line, so their first lines never decrease.
    std::vector<const TSpanRecord*> active;
    size_t next = 0;
    TWidenedLine widened;
    for (size_t r = 0; r < lines.size(); ++r) {
        const auto row = static_cast<int64_t>(r);
        while (next < cells.size() && int64_t(cells[next]->Row1) - 1 <= row) {
            if (int64_t(cells[next]->Row2) - 1 >= row) active.push_back(cells[next]);
            ++next;
        }
        std::erase_if(active, [row](const TSpanRecord* span) { return int64_t(span->Row2) - 1 < row; });
        if (active.empty()) {
            result += lines[r];
            result += "\r\n";
            continue;
        }
        widened.Reset(lines[r], divider);
        for (const TSpanRecord* span : active) {
            const int64_t extra = int64_t(span->Col2) - span->Col1;
            const int64_t k = int64_t(span->Col1) - 1;
            if (k < 0 || k >= static_cast<int64_t>(widened.Fields())) continue;
            if (int64_t(span->Row1) - 1 == row) {
                if (extra > 0) widened.InsertEmpty(static_cast<size_t>(k), static_cast<size_t>(extra), true);
            } else if (extra + 1 > 0) {
                widened.InsertEmpty(static_cast<size_t>(k), static_cast<size_t>(extra + 1), false);
            }
        }
        widened.AppendTo(result, divider);
        result += "\r\n";
    }
}

std::string TConverter::FlattenHtml(std::string page, bool fillLines) {
    return FlattenHtml(std::move(page), CodePage, Settings.HeaderText, fillLines);
}

std::string TConverter::FlattenHtml(std::string page, const TCodePage& codePage, std::string_view header,
                                    bool fillLines) {
    THtmlScanner scanner(page, Settings, codePage, SpanList, LineColors);
    scanner.Header(header);
    std::string out = scanner.Run();
    Lines.clear();
    if (SpanList.empty()) {
        if (fillLines) SetLines(out, codePage);
        return out;
    }
    std::vector<std::string_view> lines = SplitLines(out);
    // A rowspan ends at the last line there is, as a browser ends it at the table's last row.
    // A cell that opens a line the text never reaches (nothing follows it, or a zero byte ends
    // the text before it) has no line to merge on: its record goes.
    const auto lineCount = static_cast<int32_t>(std::min<size_t>(lines.size(), INT32_MAX));
    std::erase_if(SpanList, [lineCount](const TSpanRecord& span) { return span.Col2 > 0 && span.Row1 > lineCount; });
    for (TSpanRecord& span : SpanList) {
        if (span.Col2 > 0 && span.Row2 > lineCount) span.Row2 = lineCount;
    }
    // The page's buffer is free now and already large enough for the usual result.
    std::string result = std::move(page);
    result.clear();
    result.reserve(out.size() + 2);
    ExpandSpans(lines, SpanList, static_cast<char>(DividerByte(Settings)), result);
    if (fillLines) SetLines(result, codePage);
    return result;
}

}  // namespace quarvel
